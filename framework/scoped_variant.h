// ScopedVariant: owns one VARIANT and clears it when done.
#pragma once

#include <windows.h>

namespace orvanta {

class ScopedVariant {
 public:
  ScopedVariant() { VariantInit(&var_); }
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

 private:
  VARIANT var_;
};

}  // namespace orvanta
