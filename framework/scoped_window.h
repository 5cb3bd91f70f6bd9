// ScopedWindow: owns one window and destroys it when done.
#pragma once

#include <windows.h>

#include <utility>

namespace orvanta {

class ScopedWindow {
 public:
  ScopedWindow() = default;
  // Adopts |window|.
  explicit ScopedWindow(HWND window) : window_(window) {}
  ScopedWindow(ScopedWindow&& other) noexcept : window_(other.Release()) {}
  ScopedWindow& operator=(ScopedWindow&& other) noexcept {
    if (this != &other) Reset(other.Release());
    return *this;
  }
  ScopedWindow(const ScopedWindow&) = delete;
  ScopedWindow& operator=(const ScopedWindow&) = delete;
  ~ScopedWindow() { Reset(); }

  HWND Get() const { return window_; }
  explicit operator bool() const { return window_ != nullptr; }

  void Reset(HWND window = nullptr) {
    HWND old = std::exchange(window_, window);
    if (old && IsWindow(old)) DestroyWindow(old);
  }
  [[nodiscard]] HWND Release() { return std::exchange(window_, nullptr); }

 private:
  HWND window_ = nullptr;
};

}  // namespace orvanta
