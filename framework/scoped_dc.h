// ScopedDC: owns one device or information context from CreateDCW/CreateICW.
#pragma once

#include <windows.h>

#include <utility>

namespace orvanta {

// Deletes the context with DeleteDC when destroyed. Not for contexts that
// GetDC hands out (those are released, not deleted).
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

}  // namespace orvanta
