// The video card's name: DirectDraw's description of the default display
// adapter, or the Display devices that the registry lists.
#pragma once

#include <windows.h>

#include <optional>
#include <string>

#include "framework/reg_key.h"
#include "framework/report_text.h"

namespace orvanta {

// DirectDraw's name for the default display adapter.
class DisplayAdapterSource {
 public:
  virtual ~DisplayAdapterSource() = default;
  // The adapter's description, empty when the adapter identifier cannot be
  // read; nullopt when DirectDraw or its IDirectDraw4 interface cannot be had.
  virtual std::optional<std::wstring> Describe() const = 0;
};

// The video card report's text. With DirectX newer than 5.0 (|directx_packed|
// > 0x50000) and DirectDraw at hand, the one line DirectDraw gives;
// otherwise the Display devices, one per line (see WriteDeviceListReport).
CString VideocardName(DWORD directx_packed, const DisplayAdapterSource& directdraw, const RegistrySource& registry);

}  // namespace orvanta
