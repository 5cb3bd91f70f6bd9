#include "collectors/graphics/videocard_name.h"

#include "collectors/devices/device_reports.h"

namespace orvanta {
namespace {

// DirectX 5.0, packed: DirectDraw names the adapter only on newer runtimes.
constexpr DWORD kDirectX5 = 0x50000;

}  // namespace

CString VideocardName(DWORD directx_packed, const DisplayAdapterSource& directdraw, const RegistrySource& registry) {
  if (directx_packed > kDirectX5) {
    if (const std::optional<std::wstring> description = directdraw.Describe()) return *description + L'\n';
  }
  CString display_devices;
  WriteDeviceListReport(display_devices, registry, kDisplayClass);
  return display_devices;
}

}  // namespace orvanta
