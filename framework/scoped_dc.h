// Holders for device contexts and GDI objects.
#pragma once

#include <windows.h>

#include <utility>

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

// A memory device context from CreateCompatibleDC, deleted when done.
class MemoryDc {
 public:
  explicit MemoryDc(HDC reference = nullptr) : dc_(CreateCompatibleDC(reference)) {}
  MemoryDc(const MemoryDc&) = delete;
  MemoryDc& operator=(const MemoryDc&) = delete;
  ~MemoryDc() {
    if (dc_) DeleteDC(dc_);
  }

  HDC Get() const { return dc_; }

 private:
  HDC dc_;
};

// Owns one device or information context from CreateDCW/CreateICW and
// deletes it with DeleteDC when done. Not for contexts that GetDC hands out
// (those are released, not deleted: see WindowDc).
class ScopedDC {
 public:
  ScopedDC() = default;
  // Adopts |dc|, which may be null.
  explicit ScopedDC(HDC dc) : dc_(dc) {}
  ScopedDC(ScopedDC&& other) noexcept : dc_(std::exchange(other.dc_, nullptr)) {}
  ScopedDC& operator=(ScopedDC&& other) noexcept {
    if (this != &other) Reset(std::exchange(other.dc_, nullptr));
    return *this;
  }
  ScopedDC(const ScopedDC&) = delete;
  ScopedDC& operator=(const ScopedDC&) = delete;
  ~ScopedDC() { Reset(); }

  HDC Get() const { return dc_; }
  explicit operator bool() const { return dc_ != nullptr; }

  void Reset(HDC dc = nullptr) {
    HDC old = std::exchange(dc_, dc);
    if (old) DeleteDC(old);
  }

 private:
  HDC dc_ = nullptr;
};

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

// Owns one GDI object (pen, brush, bitmap) and deletes it when done.
template <class Handle>
class ScopedGdiObject {
 public:
  ScopedGdiObject() = default;
  explicit ScopedGdiObject(Handle object) : object_(object) {}
  ScopedGdiObject(const ScopedGdiObject&) = delete;
  ScopedGdiObject& operator=(const ScopedGdiObject&) = delete;
  ~ScopedGdiObject() {
    if (object_) DeleteObject(object_);
  }

  Handle Get() const { return object_; }
  explicit operator bool() const { return object_ != nullptr; }

 private:
  Handle object_ = nullptr;
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

}  // namespace orvanta
