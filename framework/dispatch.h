// The dispatch-table machinery: name comparison, table lookups and the way an
// exception leaving a method becomes the result of IDispatch::Invoke.
#pragma once

#include <windows.h>

#include <iterator>

#include "framework/results.h"

namespace orvanta {

// Thrown by a method to end the call with |code| as Invoke's own result.
class AutomationError {
 public:
  explicit AutomationError(HRESULT code) : code_(code) {}
  HRESULT code() const { return code_; }

 private:
  HRESULT code_;
};

// Dispatch-table names are compared with the English (United States)
// collation, ignoring letter case.
bool DispatchNamesEqual(const wchar_t* a, const wchar_t* b);

// The entry of |table| whose dispatch_name equals |name|, or null.
template <class Table>
auto FindByDispatchName(const Table& table, const wchar_t* name) -> decltype(&*std::begin(table)) {
  for (const auto& entry : table) {
    if (DispatchNamesEqual(entry.dispatch_name, name)) return &entry;
  }
  return nullptr;
}

// The entry of |table| with dispatch identifier |id|, or null.
template <class Table>
auto FindByDispatchId(const Table& table, DISPID id) -> decltype(&*std::begin(table)) {
  for (const auto& entry : table) {
    if (entry.id == id) return &entry;
  }
  return nullptr;
}

// The automation string that carries a method's text to its caller: a copy of
// the |byte_length| bytes at |bytes| (SysAllocStringByteLen). Null when it
// cannot be allocated.
BSTR AllocateResultString(const void* bytes, UINT byte_length);

// Test seam: puts |allocator| behind AllocateResultString and returns the one
// it replaces, so that a test can see how a call ends when the copy for the
// caller cannot be allocated.
using ResultStringAllocator = BSTR(WINAPI*)(LPCSTR bytes, UINT byte_length);
ResultStringAllocator SetResultStringAllocatorForTesting(ResultStringAllocator allocator);

// Fills |info| (when given) for a failed call: |scode| with the system's
// message for it as the description and |source| as the source.
void FillExcepInfo(EXCEPINFO* info, HRESULT scode, const wchar_t* source);

// Runs |call| and returns what Invoke answers for it: S_OK when it returns, the
// error's own code for an AutomationError, and DISP_E_EXCEPTION with |info|
// filled with ResultOfException() for any other exception. No exception
// leaves this function.
template <class Call>
HRESULT InvokeGuarded(EXCEPINFO* info, const wchar_t* source, Call&& call) noexcept {
  try {
    call();
    return S_OK;
  } catch (const AutomationError& error) {
    return error.code();
  } catch (...) {
    FillExcepInfo(info, ResultOfException(), source);
    return DISP_E_EXCEPTION;
  }
}

}  // namespace orvanta
