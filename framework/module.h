// The module's bookkeeping: how many objects are alive, how many locks are
// held, and where the module's own file is.
#pragma once

#include <windows.h>

#include <string>

namespace orvanta {

class ModuleState {
 public:
  static void ObjectCreated();
  static void ObjectDestroyed();
  static void Lock();
  static void Unlock();
  // True when no object of the module is alive and no lock is held.
  static bool CanUnload();

  // The handle of the module that holds this code (the OCX, or a test program
  // that links the code directly).
  static HMODULE Handle();
  // The module's full file name as the system reports it.
  static std::wstring FileName();
  // String resource |id| of the module, copied with CoTaskMemAlloc for the
  // caller to free; null when the module has no such string.
  static LPOLESTR LoadTaskString(UINT id);
};

}  // namespace orvanta
