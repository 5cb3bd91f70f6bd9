// ScopedTaskString: owns one string from the COM task allocator.
#pragma once

#include <windows.h>
#include <objbase.h>

#include <utility>

namespace orvanta {

class ScopedTaskString {
 public:
  ScopedTaskString() = default;
  // Adopts |text|, which CoTaskMemAlloc allocated.
  explicit ScopedTaskString(LPOLESTR text) : text_(text) {}
  ScopedTaskString(const ScopedTaskString&) = delete;
  ScopedTaskString& operator=(const ScopedTaskString&) = delete;
  ~ScopedTaskString() { CoTaskMemFree(text_); }

  LPOLESTR Get() const { return text_; }
  LPOLESTR* Receive() {
    CoTaskMemFree(std::exchange(text_, nullptr));
    return &text_;
  }

 private:
  LPOLESTR text_ = nullptr;
};

}  // namespace orvanta
