// Holders for device contexts.
#pragma once

#include <windows.h>

#include "framework/scoped_generic.h"

namespace orvanta {

// Saves a device context's state and restores it when done.
class SavedDcState {
 public:
  explicit SavedDcState(HDC dc) : dc_(dc), saved_(SaveDC(dc)) {}
  SavedDcState(const SavedDcState&) = delete;
  SavedDcState& operator=(const SavedDcState&) = delete;
  ~SavedDcState() {
    if (saved_) RestoreDC(dc_, saved_);
  }

 private:
  HDC dc_;
  int saved_;
};

// The device context of one WM_PAINT: BeginPaint, then EndPaint when done.
class PaintDc {
 public:
  explicit PaintDc(HWND window) : window_(window), dc_(BeginPaint(window, &paint_)) {}
  PaintDc(const PaintDc&) = delete;
  PaintDc& operator=(const PaintDc&) = delete;
  ~PaintDc() { EndPaint(window_, &paint_); }

  HDC Get() const { return dc_; }

 private:
  HWND window_;
  PAINTSTRUCT paint_{};
  HDC dc_;
};

// Deletes a device, information or memory context (CreateDCW, CreateICW,
// CreateCompatibleDC) with DeleteDC. Not for contexts that GetDC hands out:
// those are released, not deleted.
struct DcTraits {
  using Type = HDC;
  static HDC Invalid() { return nullptr; }
  static void Free(HDC dc) { DeleteDC(dc); }
};
using ScopedDC = ScopedGeneric<DcTraits>;

}  // namespace orvanta
