#include "collectors/graphics/display_modes.h"

namespace orvanta {

void WriteNowDisplayModeReport(CString& report, const std::optional<CurrentDisplayMode>& mode) {
  if (mode) {
    // 0 and 1 both stand for the hardware's default rate, not a figure.
    if (mode->refresh_rate > 1)
      report = FormatText(L"%d * %d  %dbit (%dHz)", mode->width, mode->height, mode->bits_per_pixel,
                          mode->refresh_rate);
    else
      report = FormatText(L"%d * %d  %dbit", mode->width, mode->height, mode->bits_per_pixel);
  }
  report += L"\n";
}

void WriteDisplayModeListReport(CString& report, const std::vector<ListedDisplayMode>& modes) {
  CString previous;
  for (const ListedDisplayMode& mode : modes) {
    CString line = FormatText(L"%d * %d  %dbit\n", static_cast<int>(mode.width), static_cast<int>(mode.height),
                              static_cast<int>(mode.bits_per_pixel));
    if (line == previous) continue;
    report += line;
    previous = std::move(line);
  }
}

}  // namespace orvanta
