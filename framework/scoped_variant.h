// ScopedVariant: owns one VARIANT and clears it when done.
#pragma once

#include <windows.h>

namespace orvanta {

class ScopedVariant {
 public:
  // Empty, with every byte of the value zero, so that a value half-stored by a
  // failed call clears safely.
  ScopedVariant() : var_{} { VariantInit(&var_); }
  ScopedVariant(const ScopedVariant&) = delete;
  ScopedVariant& operator=(const ScopedVariant&) = delete;
  ~ScopedVariant() { VariantClear(&var_); }

  const VARIANT& Get() const { return var_; }
  VARTYPE Type() const { return V_VT(&var_); }
  // Clears the held value and returns the empty VARIANT for an out-parameter.
  VARIANT* Receive() {
    VariantClear(&var_);
    return &var_;
  }
  // Hands the value over to the caller, who clears it; this one is left empty.
  [[nodiscard]] VARIANT Release() {
    const VARIANT value = var_;
    var_ = VARIANT{};
    VariantInit(&var_);
    return value;
  }

 private:
  VARIANT var_;
};

}  // namespace orvanta
