// CUserOrvanta::GetDriverInfo, GetMediaInfo, GetNetInfo, GetModemInfo and
// GetCDROMInfo: the Windows side of the device reports.
#include "collectors/devices/device_reports.h"
#include "collectors/user_orvanta.h"

namespace orvanta {
namespace {

DWORD PlatformId() {
  OSVERSIONINFOW version = {};
  version.dwOSVersionInfoSize = sizeof(version);
  if (!GetVersionExW(&version)) return 0;
  return version.dwPlatformId;
}

}  // namespace

void CUserOrvanta::GetDriverInfo(CString& report) {
  WriteDeviceListReport(report, LiveRegistry(), kDisplayClass | kMediaClass | kNetClass | kModemClass);
}

void CUserOrvanta::GetMediaInfo(CString& report) { WriteDeviceListReport(report, LiveRegistry(), kMediaClass); }

void CUserOrvanta::GetNetInfo(CString& report) { WriteDeviceListReport(report, LiveRegistry(), kNetClass); }

void CUserOrvanta::GetModemInfo(CString& report) { WriteDeviceListReport(report, LiveRegistry(), kModemClass); }

void CUserOrvanta::GetCDROMInfo(CString& report) { WriteCDROMReport(report, LiveRegistry(), PlatformId()); }

}  // namespace orvanta
