// ScopedBstr: owns one automation string.
#pragma once

#include <windows.h>

#include <new>
#include <string_view>
#include <utility>

namespace orvanta {

class ScopedBstr {
 public:
  ScopedBstr() = default;
  // Adopts |bstr|.
  explicit ScopedBstr(BSTR bstr) : bstr_(bstr) {}
  // Copies |text| with its exact length (embedded zeros included); throws
  // std::bad_alloc when the string cannot be allocated.
  explicit ScopedBstr(std::wstring_view text) {
    bstr_ = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
    if (!bstr_) throw std::bad_alloc();
  }
  ScopedBstr(ScopedBstr&& other) noexcept : bstr_(other.Release()) {}
  ScopedBstr& operator=(ScopedBstr&& other) noexcept {
    if (this != &other) Reset(other.Release());
    return *this;
  }
  ScopedBstr(const ScopedBstr&) = delete;
  ScopedBstr& operator=(const ScopedBstr&) = delete;
  ~ScopedBstr() { Reset(); }

  BSTR Get() const { return bstr_; }
  UINT Length() const { return SysStringLen(bstr_); }
  std::wstring_view View() const { return {bstr_ ? bstr_ : L"", Length()}; }

  void Reset(BSTR bstr = nullptr) {
    BSTR old = std::exchange(bstr_, bstr);
    if (old) SysFreeString(old);
  }
  [[nodiscard]] BSTR Release() { return std::exchange(bstr_, nullptr); }
  BSTR* Receive() {
    Reset();
    return &bstr_;
  }

 private:
  BSTR bstr_ = nullptr;
};

}  // namespace orvanta
