// The control's dispatch table: every method of _DOrvanta with its identifier,
// its names and what answers it. Name lookup, invocation, the documentation
// and the type-library test all read this one table.
#pragma once

#include <windows.h>

#include <array>

#include "collectors/user_orvanta.h"

namespace orvanta {

struct OrvantaMethod {
  DISPID id;
  const wchar_t* type_library_name;  // the name in the type library
  const wchar_t* dispatch_name;      // the name in the dispatch table
  VARTYPE result;                    // VT_BSTR, VT_I2, or VT_EMPTY for none
  Collector collector;               // fills the report; null when none does
};

inline constexpr DISPID kDispidIsInstall = 18;
// Answered from the process's WMI report cache, not by a collector.
inline constexpr DISPID kDispidGetOSInfo = 1;
inline constexpr DISPID kDispidGetSecuritySoftInfo = 30;

extern const std::array<OrvantaMethod, 31> kOrvantaMethods;

}  // namespace orvanta
