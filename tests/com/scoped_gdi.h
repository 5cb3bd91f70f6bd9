// Holders for the GDI objects and window contexts that the container tests
// draw with.
#pragma once

#include <windows.h>

#include "framework/scoped_generic.h"

namespace orvanta::testing {

// Owns one GDI object (pen, brush, bitmap) and deletes it when done.
template <class Handle>
struct GdiObjectTraits {
  using Type = Handle;
  static Handle Invalid() { return nullptr; }
  static void Free(Handle object) { DeleteObject(object); }
};
template <class Handle>
using ScopedGdiObject = ScopedGeneric<GdiObjectTraits<Handle>>;

// The device context of a window from GetDC, released when done.
class WindowDc {
 public:
  explicit WindowDc(HWND window) : window_(window), dc_(GetDC(window)) {}
  WindowDc(const WindowDc&) = delete;
  WindowDc& operator=(const WindowDc&) = delete;
  ~WindowDc() {
    if (dc_) ReleaseDC(window_, dc_);
  }

  HDC Get() const { return dc_; }

 private:
  HWND window_;
  HDC dc_;
};

// Selects |object| into |dc| and puts the previous object back when done.
class SelectedObject {
 public:
  SelectedObject(HDC dc, HGDIOBJ object) : dc_(dc), previous_(SelectObject(dc, object)) {}
  SelectedObject(const SelectedObject&) = delete;
  SelectedObject& operator=(const SelectedObject&) = delete;
  ~SelectedObject() {
    if (previous_) SelectObject(dc_, previous_);
  }

 private:
  HDC dc_;
  HGDIOBJ previous_;
};

}  // namespace orvanta::testing
