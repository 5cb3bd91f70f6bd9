// CUserOrvanta::GetVideocardNameInfo and GetVRAMbyRegInfo: the Windows side of
// the video card's name, and of its memory as the registry records it.
#include "collectors/graphics/direct_draw.h"
#include "collectors/graphics/directx_version.h"
#include "collectors/graphics/videocard.h"
#include "collectors/user_orvanta.h"

namespace orvanta {
namespace {

// DirectDraw's description of the default display driver.
class LiveDirectDraw : public DisplayAdapterSource {
 public:
  std::optional<std::wstring> Describe() const override {
    DefaultDirectDraw direct_draw;
    if (!direct_draw.Get()) return std::nullopt;
    ComPtr<IDirectDraw4> direct_draw4;
    if (FAILED(direct_draw.Get().As(IID_IDirectDraw4, &direct_draw4)) || !direct_draw4) return std::nullopt;

    DDDEVICEIDENTIFIER identifier = {};
    if (FAILED(direct_draw4->GetDeviceIdentifier(&identifier, 0))) return std::wstring();
    return WideFromThreadAnsi(identifier.szDescription, sizeof(identifier.szDescription));
  }
};

// The video card's name on this machine: asks the DxDiag provider (or the
// DirectX files) for the DirectX version, then DirectDraw, and walks the
// registry's Display devices where either falls short.
CString QueryVideocardName() {
  DWORD directx_packed = 0;
  QueryDirectXVersion(&directx_packed, nullptr, 0);
  return VideocardName(directx_packed, LiveDirectDraw(), LiveRegistry());
}

}  // namespace

void CUserOrvanta::GetVideocardNameInfo(CString& report) { report += QueryVideocardName(); }

void CUserOrvanta::GetVRAMbyRegInfo(CString& report) {
  WriteVRAMbyRegReport(report, LiveRegistry(), QueryVideocardName());
}

}  // namespace orvanta
