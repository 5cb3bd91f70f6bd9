// The display mode reports: the current mode and the list of modes that the
// display device offers.
#pragma once

#include <windows.h>

#include <optional>
#include <vector>

#include "framework/report_text.h"

namespace orvanta {

// The current mode as the display's information context reports it.
struct CurrentDisplayMode {
  int width = 0;
  int height = 0;
  int bits_per_pixel = 0;
  int refresh_rate = 0;  // hertz; 0 and 1 mean the hardware's default rate
};

// One enumerated mode, as far as the list shows it.
struct ListedDisplayMode {
  DWORD width = 0;
  DWORD height = 0;
  DWORD bits_per_pixel = 0;
};

// "1024 * 768  32bit (60Hz)\n", without the refresh part when the rate is the
// hardware's default (0 or 1) or negative; "\n" alone when there is no mode.
void WriteNowDisplayModeReport(CString& report, const std::optional<CurrentDisplayMode>& mode);

// One "640 * 480  8bit\n" line per mode in the order given, a line equal to
// the one before it left out.
void WriteDisplayModeListReport(CString& report, const std::vector<ListedDisplayMode>& modes);

}  // namespace orvanta
