// CUserOrvanta::GetNowDisplayMode and GetDisplayModeList: the display's
// information context and the display-settings enumeration.
#include "collectors/graphics/display_modes.h"
#include "collectors/user_orvanta.h"
#include "framework/scoped_dc.h"

namespace orvanta {

void CUserOrvanta::GetNowDisplayMode(CString& report) {
  ScopedDC display(CreateICW(L"DISPLAY", nullptr, nullptr, nullptr));
  std::optional<CurrentDisplayMode> mode;
  if (display) {
    mode = CurrentDisplayMode{GetDeviceCaps(display.Get(), HORZRES), GetDeviceCaps(display.Get(), VERTRES),
                              GetDeviceCaps(display.Get(), BITSPIXEL), GetDeviceCaps(display.Get(), VREFRESH)};
  }
  WriteNowDisplayModeReport(report, mode);
}

void CUserOrvanta::GetDisplayModeList(CString& report) {
  std::vector<ListedDisplayMode> modes;
  DEVMODEW mode = {};
  mode.dmSize = sizeof(mode);
  mode.dmDriverExtra = 0;
  for (DWORD index = 0; EnumDisplaySettingsW(nullptr, index, &mode); ++index)
    modes.push_back({mode.dmPelsWidth, mode.dmPelsHeight, mode.dmBitsPerPel});
  WriteDisplayModeListReport(report, modes);
}

}  // namespace orvanta
