// How a call's result travels inside the module, from the platform's calls up
// to IDispatch::Invoke and the module's other entry points. One convention:
//
// - A report never fails. What a collector cannot learn makes its report
//   shorter, empty, "Unknown" or a fixed sentence; that text is the answer.
// - A lookup that may find nothing returns std::optional (a figure, a name, a
//   runtime), or true and false where it only answers whether.
// - A failure that ends the call is an exception: std::bad_alloc when memory
//   runs out, AutomationError when the call must fail with a code of its
//   own, std::invalid_argument when the C runtime rejects a report format.
//   No exception crosses a platform callback (CallbackFailure carries it
//   over) or a COM boundary: Invoke answers it through InvokeGuarded, every
//   other entry point through GuardedResult, both by ResultOfException.
// - Where the platform's own form is the interface, its status codes pass
//   through unchanged: the registry source answers the registry's status,
//   the DirectX version and file version queries answer an HRESULT, and the
//   WMI query layer answers 1 or 0 (a query that fails leaves its texts
//   empty, so the report cache does not look at it).
// - Outside the module, the survey tool answers the shell with its exit
//   codes (tools/survey).
#pragma once

#include <windows.h>

#include <new>

namespace orvanta {

// The HRESULT that ends a call for the exception being handled:
// E_OUTOFMEMORY for std::bad_alloc, E_UNEXPECTED for any other. Only inside a
// catch block.
inline HRESULT ResultOfException() noexcept {
  try {
    throw;
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  } catch (...) {
    return E_UNEXPECTED;
  }
}

// What |work| (which returns an HRESULT) returns, or ResultOfException() when
// it throws: the guard of an entry point that the system or a host calls.
template <class Work>
HRESULT GuardedResult(Work&& work) noexcept {
  try {
    return work();
  } catch (...) {
    return ResultOfException();
  }
}

}  // namespace orvanta
