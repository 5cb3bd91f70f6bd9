// CUserOrvanta::GetDriverInfo, GetVideocardNameInfo, GetMediaInfo, GetNetInfo,
// GetModemInfo, GetCDROMInfo and GetVRAMbyRegInfo: the Windows side of the
// device reports.
#include <ddraw.h>

#include "collectors/devices/adapter_memory.h"
#include "collectors/devices/device_reports.h"
#include "collectors/graphics/directx_version.h"
#include "collectors/user_orvanta.h"
#include "framework/com_ptr.h"
#include "framework/scoped_library.h"

namespace orvanta {
namespace {

constexpr GUID kIID_IDirectDraw4 = {0x9C59509A, 0x39BD, 0x11D1, {0x8C, 0x4A, 0x00, 0xC0, 0x4F, 0xD9, 0x30, 0xC5}};

using DirectDrawCreateFn = HRESULT(WINAPI*)(GUID*, IDirectDraw**, IUnknown*);

// DirectDraw of the default display driver, loaded by file name.
class LiveDirectDraw : public DisplayAdapterSource {
 public:
  bool Describe(std::wstring* description) const override {
    ScopedLibrary ddraw(L"ddraw.dll");
    const auto create = ddraw.Find<DirectDrawCreateFn>("DirectDrawCreate");
    if (!create) return false;
    ComPtr<IDirectDraw> directdraw;
    if (FAILED(create(nullptr, directdraw.Receive(), nullptr)) || !directdraw) return false;
    ComPtr<IDirectDraw4> directdraw4;
    if (FAILED(directdraw.As(kIID_IDirectDraw4, &directdraw4)) || !directdraw4) return false;

    DDDEVICEIDENTIFIER identifier = {};
    description->clear();
    if (SUCCEEDED(directdraw4->GetDeviceIdentifier(&identifier, 0))) {
      identifier.szDescription[sizeof(identifier.szDescription) - 1] = '\0';
      *description = WideFromThreadCodePage(identifier.szDescription);
    }
    return true;
  }

 private:
  static std::wstring WideFromThreadCodePage(const char* text) {
    const int chars = MultiByteToWideChar(CP_THREAD_ACP, 0, text, -1, nullptr, 0);
    if (chars <= 1) return std::wstring();
    std::wstring wide(static_cast<size_t>(chars), L'\0');
    MultiByteToWideChar(CP_THREAD_ACP, 0, text, -1, &wide[0], chars);
    wide.resize(static_cast<size_t>(chars) - 1);
    return wide;
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
  WriteDeviceListReport(report, LiveDeviceRegistry(), kDisplayClass | kMediaClass | kNetClass | kModemClass);
}

void CUserOrvanta::GetVideocardNameInfo(CString& report) {
  WriteVideocardNameReport(report, DirectXPacked(), LiveDirectDraw(), LiveDeviceRegistry());
}

void CUserOrvanta::GetMediaInfo(CString& report) { WriteDeviceListReport(report, LiveDeviceRegistry(), kMediaClass); }

void CUserOrvanta::GetNetInfo(CString& report) { WriteDeviceListReport(report, LiveDeviceRegistry(), kNetClass); }

void CUserOrvanta::GetModemInfo(CString& report) { WriteDeviceListReport(report, LiveDeviceRegistry(), kModemClass); }

void CUserOrvanta::GetCDROMInfo(CString& report) { WriteCDROMReport(report, LiveDeviceRegistry(), PlatformId()); }

void CUserOrvanta::GetVRAMbyRegInfo(CString& report) {
  CString videocard;
  GetVideocardNameInfo(videocard);
  WriteVRAMbyRegReport(report, LiveDeviceRegistry(), videocard);
}

}  // namespace orvanta
