// ScopedBstr: owns one automation string.
#pragma once

#include <windows.h>

#include <new>
#include <string_view>

#include "framework/scoped_generic.h"

namespace orvanta {

struct BstrTraits {
  using Type = BSTR;
  static BSTR Invalid() { return nullptr; }
  static void Free(BSTR bstr) { SysFreeString(bstr); }
};

class ScopedBstr : public ScopedGeneric<BstrTraits> {
 public:
  // Adopts a BSTR.
  using ScopedGeneric::ScopedGeneric;
  ScopedBstr() = default;
  // Copies |text| with its exact length (embedded zeros included); throws
  // std::bad_alloc when the string cannot be allocated.
  explicit ScopedBstr(std::wstring_view text)
      : ScopedGeneric(SysAllocStringLen(text.data(), static_cast<UINT>(text.size()))) {
    if (!Get()) throw std::bad_alloc();
  }

  UINT Length() const { return SysStringLen(Get()); }
  std::wstring_view View() const { return {Get() ? Get() : L"", Length()}; }
};

}  // namespace orvanta
