// DirectDraw's video memory figures, and CUserOrvanta::GetVRAMInfo and
// GetALLVRAMInfo. ddraw.dll is loaded by file name.
#include <windows.h>
#include <ddraw.h>

#include "collectors/graphics/video_memory.h"
#include "collectors/user_orvanta.h"
#include "framework/com_ptr.h"
#include "framework/scoped_library.h"

namespace orvanta {
namespace {

using DirectDrawCreateFn = HRESULT(WINAPI*)(GUID*, IDirectDraw**, IUnknown*);

}  // namespace

std::optional<DWORD> DirectDrawVideoMemory::TotalVideoMemory(DWORD caps) const {
  ScopedLibrary ddraw(L"ddraw.dll");
  auto create = ddraw.Find<DirectDrawCreateFn>("DirectDrawCreate");
  if (!create) return std::nullopt;
  // Declared after the library, so released before it is unloaded.
  ComPtr<IDirectDraw> direct_draw;
  if (create(nullptr, direct_draw.Receive(), nullptr) != DD_OK) return std::nullopt;
  ComPtr<IDirectDraw2> direct_draw2;
  if (direct_draw.As(IID_IDirectDraw2, &direct_draw2) != S_OK) return std::nullopt;
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
