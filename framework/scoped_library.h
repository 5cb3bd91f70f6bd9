// ScopedLibrary: owns one module handle from LoadLibraryW.
#pragma once

#include <windows.h>

#include "framework/scoped_generic.h"

namespace orvanta {

struct LibraryTraits {
  using Type = HMODULE;
  static HMODULE Invalid() { return nullptr; }
  static void Free(HMODULE module) { FreeLibrary(module); }
};

class ScopedLibrary : public ScopedGeneric<LibraryTraits> {
 public:
  using ScopedGeneric::ScopedGeneric;
  ScopedLibrary() = default;
  // Loads |name|; Get() is null when the library cannot be loaded.
  explicit ScopedLibrary(const wchar_t* name) : ScopedGeneric(LoadLibraryW(name)) {}

  // The exported function |name| as a pointer of type Fn, or null when the
  // library is not loaded or lacks the export. Valid while the library is held.
  template <class Fn>
  Fn Find(const char* name) const {
    if (!Get()) return nullptr;
    return reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(Get(), name)));
  }
};

}  // namespace orvanta
