// ScopedHandle: owns one kernel handle (thread, event, file) and closes it.
#pragma once

#include <windows.h>

#include <utility>

namespace orvanta {

class ScopedHandle {
 public:
  ScopedHandle() = default;
  // Adopts |handle|; null and INVALID_HANDLE_VALUE both mean none.
  explicit ScopedHandle(HANDLE handle) : handle_(handle == INVALID_HANDLE_VALUE ? nullptr : handle) {}
  ScopedHandle(ScopedHandle&& other) noexcept : handle_(std::exchange(other.handle_, nullptr)) {}
  ScopedHandle& operator=(ScopedHandle&& other) noexcept {
    if (this != &other) {
      Reset();
      handle_ = std::exchange(other.handle_, nullptr);
    }
    return *this;
  }
  ScopedHandle(const ScopedHandle&) = delete;
  ScopedHandle& operator=(const ScopedHandle&) = delete;
  ~ScopedHandle() { Reset(); }

  HANDLE Get() const { return handle_; }
  explicit operator bool() const { return handle_ != nullptr; }

  void Reset() {
    if (HANDLE old = std::exchange(handle_, nullptr)) CloseHandle(old);
  }

 private:
  HANDLE handle_ = nullptr;
};

}  // namespace orvanta
