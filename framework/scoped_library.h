// ScopedLibrary: owns one module handle from LoadLibraryW.
#pragma once

#include <windows.h>

#include <utility>

namespace orvanta {

class ScopedLibrary {
 public:
  ScopedLibrary() = default;
  // Loads |name|; Get() is null when the library cannot be loaded.
  explicit ScopedLibrary(const wchar_t* name) : module_(LoadLibraryW(name)) {}
  ScopedLibrary(ScopedLibrary&& other) noexcept : module_(other.Release()) {}
  ScopedLibrary& operator=(ScopedLibrary&& other) noexcept {
    if (this != &other) Reset(other.Release());
    return *this;
  }
  ScopedLibrary(const ScopedLibrary&) = delete;
  ScopedLibrary& operator=(const ScopedLibrary&) = delete;
  ~ScopedLibrary() { Reset(); }

  HMODULE Get() const { return module_; }
  explicit operator bool() const { return module_ != nullptr; }

  // The exported function |name| as a pointer of type Fn, or null when the
  // library is not loaded or lacks the export. Valid while the library is held.
  template <class Fn>
  Fn Find(const char* name) const {
    if (!module_) return nullptr;
    return reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(module_, name)));
  }

  void Reset(HMODULE module = nullptr) {
    HMODULE old = std::exchange(module_, module);
    if (old) FreeLibrary(old);
  }
  [[nodiscard]] HMODULE Release() { return std::exchange(module_, nullptr); }

 private:
  HMODULE module_ = nullptr;
};

}  // namespace orvanta
