// CUserOrvanta::GetDriverInfo, GetVideocardNameInfo, GetMediaInfo, GetNetInfo,
// GetModemInfo, GetCDROMInfo and GetVRAMbyRegInfo: the Windows side of the
// device reports.
#include "collectors/devices/adapter_memory.h"
#include "collectors/devices/device_reports.h"
#include "collectors/graphics/direct_draw.h"
#include "collectors/graphics/directx_version.h"
#include "collectors/user_orvanta.h"
#include "framework/report_text.h"

namespace orvanta {
namespace {

// DirectDraw's description of the default display driver.
class LiveDirectDraw : public DisplayAdapterSource {
 public:
  bool Describe(std::wstring* description) const override {
    DefaultDirectDraw direct_draw;
    if (!direct_draw.Get()) return false;
    ComPtr<IDirectDraw4> direct_draw4;
    if (FAILED(direct_draw.Get().As(IID_IDirectDraw4, &direct_draw4)) || !direct_draw4) return false;

    DDDEVICEIDENTIFIER identifier = {};
    description->clear();
    if (SUCCEEDED(direct_draw4->GetDeviceIdentifier(&identifier, 0)))
      *description = WideFromThreadAnsi(identifier.szDescription, sizeof(identifier.szDescription));
    return true;
  }
};

DWORD PlatformId() {
  OSVERSIONINFOW version = {};
  version.dwOSVersionInfoSize = sizeof(version);
  if (!GetVersionExW(&version)) return 0;
  return version.dwPlatformId;
}

DWORD DirectXPacked() {
  DWORD packed = 0;
  wchar_t text[32] = {};
  if (FAILED(QueryDirectXVersion(&packed, text, 32))) return 0;
  return packed;
}

}  // namespace

void CUserOrvanta::GetDriverInfo(CString& report) {
  WriteDeviceListReport(report, LiveRegistry(), kDisplayClass | kMediaClass | kNetClass | kModemClass);
}

void CUserOrvanta::GetVideocardNameInfo(CString& report) {
  WriteVideocardNameReport(report, DirectXPacked(), LiveDirectDraw(), LiveRegistry());
}

void CUserOrvanta::GetMediaInfo(CString& report) { WriteDeviceListReport(report, LiveRegistry(), kMediaClass); }

void CUserOrvanta::GetNetInfo(CString& report) { WriteDeviceListReport(report, LiveRegistry(), kNetClass); }

void CUserOrvanta::GetModemInfo(CString& report) { WriteDeviceListReport(report, LiveRegistry(), kModemClass); }

void CUserOrvanta::GetCDROMInfo(CString& report) { WriteCDROMReport(report, LiveRegistry(), PlatformId()); }

void CUserOrvanta::GetVRAMbyRegInfo(CString& report) {
  CString videocard;
  GetVideocardNameInfo(videocard);
  WriteVRAMbyRegReport(report, LiveRegistry(), videocard);
}

}  // namespace orvanta
