// The video memory reports: how much video memory DirectDraw says the primary
// display driver has.
#pragma once

#include <windows.h>

#include <optional>

#include "framework/report_text.h"

namespace orvanta {

enum class VideoMemoryScope {
  kLocal,  // memory on the card
  kAll,    // local and non-local memory
};

// The DDSCAPS capability word that selects the memory |scope| counts.
DWORD VideoMemoryCaps(VideoMemoryScope scope);

// Total video memory for a capability word; nullopt when DirectDraw, its
// IDirectDraw2 interface or the memory figure cannot be had.
class VideoMemorySource {
 public:
  virtual ~VideoMemorySource() = default;
  virtual std::optional<DWORD> TotalVideoMemory(DWORD caps) const = 0;
};

// DirectDraw of the primary display driver, from ddraw.dll.
class DirectDrawVideoMemory : public VideoMemorySource {
 public:
  std::optional<DWORD> TotalVideoMemory(DWORD caps) const override;
};

// "256.0 MB\n" (bytes / 2^20, one decimal, unsigned); empty without a figure.
void WriteVideoMemoryReport(CString& report, VideoMemoryScope scope, const VideoMemorySource& source);

}  // namespace orvanta
