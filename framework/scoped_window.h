// ScopedWindow: owns one window and destroys it when done.
#pragma once

#include <windows.h>

#include "framework/scoped_generic.h"

namespace orvanta {

// Destroys the window, unless it has been destroyed already.
struct WindowTraits {
  using Type = HWND;
  static HWND Invalid() { return nullptr; }
  static void Free(HWND window) {
    if (IsWindow(window)) DestroyWindow(window);
  }
};
using ScopedWindow = ScopedGeneric<WindowTraits>;

}  // namespace orvanta
