// DirectDraw's video memory figures, and CUserOrvanta::GetVRAMInfo and
// GetALLVRAMInfo. ddraw.dll is loaded by file name.
#include "collectors/graphics/direct_draw.h"
#include "collectors/graphics/video_memory.h"
#include "collectors/user_orvanta.h"

namespace orvanta {

std::optional<DWORD> DirectDrawVideoMemory::TotalVideoMemory(DWORD caps) const {
  DefaultDirectDraw direct_draw;
  if (!direct_draw.Get()) return std::nullopt;
  ComPtr<IDirectDraw2> direct_draw2;
  if (direct_draw.Get().As(IID_IDirectDraw2, &direct_draw2) != S_OK) return std::nullopt;
  DDSCAPS memory = {};
  memory.dwCaps = caps;
  DWORD total = 0, free_bytes = 0;
  if (FAILED(direct_draw2->GetAvailableVidMem(&memory, &total, &free_bytes))) return std::nullopt;
  return total;
}

void CUserOrvanta::GetVRAMInfo(CString& report) {
  WriteVideoMemoryReport(report, VideoMemoryScope::kLocal, DirectDrawVideoMemory());
}

void CUserOrvanta::GetALLVRAMInfo(CString& report) {
  WriteVideoMemoryReport(report, VideoMemoryScope::kAll, DirectDrawVideoMemory());
}

}  // namespace orvanta
