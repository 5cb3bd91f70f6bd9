// DirectDraw of the default display driver, from ddraw.dll loaded by file
// name, for the reports that ask it (video memory, the video card's name).
#pragma once

#include <windows.h>
#include <ddraw.h>

#include "framework/com_ptr.h"
#include "framework/scoped_library.h"

namespace orvanta {

class DefaultDirectDraw {
 public:
  // Loads ddraw.dll and creates the object; Get() is null when either fails.
  DefaultDirectDraw() {
    using DirectDrawCreateFn = HRESULT(WINAPI*)(GUID*, IDirectDraw**, IUnknown*);
    const auto create = library_.Find<DirectDrawCreateFn>("DirectDrawCreate");
    if (create && create(nullptr, direct_draw_.Receive(), nullptr) != DD_OK) direct_draw_.Reset();
  }
  DefaultDirectDraw(const DefaultDirectDraw&) = delete;
  DefaultDirectDraw& operator=(const DefaultDirectDraw&) = delete;

  const ComPtr<IDirectDraw>& Get() const { return direct_draw_; }

 private:
  ScopedLibrary library_{L"ddraw.dll"};
  // Declared after the library, so released before it is unloaded.
  ComPtr<IDirectDraw> direct_draw_;
};

}  // namespace orvanta
