#include "collectors/graphics/video_memory.h"

namespace orvanta {
namespace {

constexpr DWORD kCapsVideoMemory = 0x00004000;     // DDSCAPS_VIDEOMEMORY
constexpr DWORD kCapsLocalVideoMemory = 0x10000000;  // DDSCAPS_LOCALVIDMEM

}  // namespace

DWORD VideoMemoryCaps(VideoMemoryScope scope) {
  return scope == VideoMemoryScope::kLocal ? kCapsVideoMemory | kCapsLocalVideoMemory : kCapsVideoMemory;
}

void WriteVideoMemoryReport(CString& report, VideoMemoryScope scope, const VideoMemorySource& source) {
  const std::optional<DWORD> total = source.TotalVideoMemory(VideoMemoryCaps(scope));
  if (!total) return;
  report = FormatText(L"%.1f MB\n", static_cast<double>(*total) * (1.0 / 1024) * (1.0 / 1024));
}

}  // namespace orvanta
