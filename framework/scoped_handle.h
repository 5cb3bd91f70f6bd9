// ScopedHandle: owns one kernel object handle (a thread, an event, a process).
#pragma once

#include <windows.h>

#include <utility>

namespace orvanta {

// Closes the handle when reset or destroyed. Null and INVALID_HANDLE_VALUE
// both count as no handle, so the results of CreateThread, CreateEventW and
// CreateFileW can be held alike.
class ScopedHandle {
 public:
  ScopedHandle() = default;
  explicit ScopedHandle(HANDLE handle) : handle_(Normal(handle)) {}
  ScopedHandle(ScopedHandle&& other) noexcept : handle_(other.Release()) {}
  ScopedHandle& operator=(ScopedHandle&& other) noexcept {
    if (this != &other) Reset(other.Release());
    return *this;
  }
  ScopedHandle(const ScopedHandle&) = delete;
  ScopedHandle& operator=(const ScopedHandle&) = delete;
  ~ScopedHandle() { Reset(); }

  HANDLE Get() const { return handle_; }
  explicit operator bool() const { return handle_ != nullptr; }

  void Reset(HANDLE handle = nullptr) {
    HANDLE old = std::exchange(handle_, Normal(handle));
    if (old) CloseHandle(old);
  }
  [[nodiscard]] HANDLE Release() { return std::exchange(handle_, nullptr); }

 private:
  static HANDLE Normal(HANDLE handle) { return handle == INVALID_HANDLE_VALUE ? nullptr : handle; }

  HANDLE handle_ = nullptr;
};

}  // namespace orvanta
