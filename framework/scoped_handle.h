// ScopedHandle: owns one kernel object handle (a thread, an event, a process).
#pragma once

#include <windows.h>

#include "framework/scoped_generic.h"

namespace orvanta {

// Closes the handle. Null and INVALID_HANDLE_VALUE both count as no handle,
// so the results of CreateThread, CreateEventW and CreateFileW can be held
// alike.
struct HandleTraits {
  using Type = HANDLE;
  static HANDLE Invalid() { return nullptr; }
  static HANDLE Normal(HANDLE handle) { return handle == INVALID_HANDLE_VALUE ? nullptr : handle; }
  static void Free(HANDLE handle) { CloseHandle(handle); }
};
using ScopedHandle = ScopedGeneric<HandleTraits>;

}  // namespace orvanta
