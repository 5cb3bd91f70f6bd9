// The stand-in modules that tests load in place of ORVANTA.OCX. Each hands out
// the real control from ORVANTA.OCX beside it, behind a dispatch wrapper whose
// hook sees every call first and may answer it itself (a failure) or do
// something on the side (a leak). A module defines the hook; the wrapper and
// the module's DllGetClassObject come from wrapped_control.cpp.
#pragma once

#include <windows.h>

namespace orvanta {

// Returns true when it has answered the call itself, with the result in *hr
// (and the answer in *answer, which may be null). Also called with
// DISPID_UNKNOWN when a control is about to be created: true fails the
// creation with *hr.
using InvokeHook = bool (*)(DISPID id, VARIANT* answer, EXCEPINFO* info, HRESULT* hr);

// The module's hook.
extern const InvokeHook kWrapperHook;

}  // namespace orvanta
