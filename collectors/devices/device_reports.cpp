#include "collectors/devices/device_reports.h"

#include "collectors/devices/device_walk.h"

namespace orvanta {
namespace {

struct SetupClass {
  DeviceClassSet bit;
  GUID guid;
};

constexpr SetupClass kSetupClasses[] = {
    {kDisplayClass, {0x4D36E968, 0xE325, 0x11CE, {0xBF, 0xC1, 0x08, 0x00, 0x2B, 0xE1, 0x03, 0x18}}},
    {kMediaClass, {0x4D36E96C, 0xE325, 0x11CE, {0xBF, 0xC1, 0x08, 0x00, 0x2B, 0xE1, 0x03, 0x18}}},
    {kModemClass, {0x4D36E96D, 0xE325, 0x11CE, {0xBF, 0xC1, 0x08, 0x00, 0x2B, 0xE1, 0x03, 0x18}}},
    {kNetClass, {0x4D36E972, 0xE325, 0x11CE, {0xBF, 0xC1, 0x08, 0x00, 0x2B, 0xE1, 0x03, 0x18}}},
    {kCDROMClass, {0x4D36E965, 0xE325, 0x11CE, {0xBF, 0xC1, 0x08, 0x00, 0x2B, 0xE1, 0x03, 0x18}}},
};

bool IsOfClass(const DeviceEntry& entry, unsigned classes) {
  for (const SetupClass& setup_class : kSetupClasses) {
    if ((classes & setup_class.bit) && MatchClassGuid(entry.DeviceKeyInfo.ClassGUID, setup_class.guid)) return true;
  }
  return false;
}

}  // namespace

void WriteDeviceListReport(CString& report, const RegistrySource& registry, unsigned classes) {
  DeviceEntry entry;
  ForEachServiceDevice(registry, entry, [&](const DeviceEntry& device) {
    if (!IsOfClass(device, classes)) return;
    report += device.DeviceKeyInfo.DeviceDesc;
    report += L'\n';
  });
}

void WriteCDROMReport(CString& report, const RegistrySource& registry, DWORD platform) {
  DeviceEntry entry;
  ForEachServiceDevice(registry, entry, [&](const DeviceEntry& device) {
    if (!IsOfClass(device, kCDROMClass)) return;
    switch (platform) {
      case VER_PLATFORM_WIN32s:
      case VER_PLATFORM_WIN32_WINDOWS:
        AppendNameOnce(report, device.DeviceKeyInfo.DeviceDesc);
        break;
      case VER_PLATFORM_WIN32_NT:
        AppendNameOnce(report, device.DeviceKeyInfo.FriendlyName);
        break;
      default:
        break;
    }
  });
}

void AppendNameOnce(CString& report, const wchar_t* name) {
  if (!*name || report.find(name) != CString::npos) return;
  report += name;
  report += L'\n';
}

}  // namespace orvanta
