// ScopedTaskString: owns one string from the COM task allocator.
#pragma once

#include <windows.h>
#include <objbase.h>

#include "framework/scoped_generic.h"

namespace orvanta {

struct TaskStringTraits {
  using Type = LPOLESTR;
  static LPOLESTR Invalid() { return nullptr; }
  static void Free(LPOLESTR text) { CoTaskMemFree(text); }
};
using ScopedTaskString = ScopedGeneric<TaskStringTraits>;

}  // namespace orvanta
