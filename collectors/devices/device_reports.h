// The device listing reports: one device name per line, each followed by
// "\n", in the order of the registry walk; no header and no text when no
// device matches.
#pragma once

#include <windows.h>

#include "framework/reg_key.h"
#include "framework/report_text.h"

namespace orvanta {

// Setup classes that the reports pick devices by; combine with |.
enum DeviceClassSet : unsigned {
  kDisplayClass = 1u << 0,
  kMediaClass = 1u << 1,
  kModemClass = 1u << 2,
  kNetClass = 1u << 3,
  kCDROMClass = 1u << 4,
};

// Appends the DeviceDesc of every device of the |classes|.
void WriteDeviceListReport(CString& report, const RegistrySource& registry, unsigned classes);

// Appends the name of every CD-ROM device once: the FriendlyName on Windows NT,
// the DeviceDesc on Windows 9x and Win32s (|platform| as GetVersionExW gives
// it); devices of other platforms are skipped.
void WriteCDROMReport(CString& report, const RegistrySource& registry, DWORD platform);

// Appends |name| and "\n" unless |name| is empty or already occurs anywhere in
// |report| (case-sensitive, as a part of any line too).
void AppendNameOnce(CString& report, const wchar_t* name);

}  // namespace orvanta
