// What the hardening tests share: a thread's COM apartment, the answer of one
// call, and the rules for comparing answers and judging their form.
#pragma once

#include <windows.h>

#include <string>

namespace orvanta::testing {

// Enters a COM apartment on this thread for its lifetime; leaves it only when
// entering succeeded.
class ScopedApartment {
 public:
  explicit ScopedApartment(DWORD model) : result_(CoInitializeEx(nullptr, model)) {}
  ScopedApartment(const ScopedApartment&) = delete;
  ScopedApartment& operator=(const ScopedApartment&) = delete;
  ~ScopedApartment() {
    if (SUCCEEDED(result_)) CoUninitialize();
  }
  HRESULT result() const { return result_; }

 private:
  HRESULT result_;
};

// What one call of a method answered.
struct Answer {
  HRESULT result = E_FAIL;
  VARTYPE type = VT_EMPTY;
  bool null_string = false;  // a VT_BSTR answer without a string
  std::wstring text;         // the string, or the VT_I2 value in decimal
};

// Invokes the argument-less method |id| and records what it answered. Never
// fails the test itself.
Answer CallForAnswer(IDispatch* control, DISPID id);

// True for the methods whose figures change from one call to the next (free
// space on the drives, the measured clock): their answers are compared with
// every figure masked.
bool AnswerVaries(DISPID id);

// |text| with every run of decimal digits replaced by one '#'.
std::wstring WithoutFigures(const std::wstring& text);

// Empty when |answer| is a well-formed answer of a method whose result type is
// |expected_type|: the call succeeded, a non-null string (for VT_BSTR) of
// valid UTF-16 without an embedded zero and of at most |max_length| units.
// Otherwise what is wrong with it.
std::string MalformationOf(const Answer& answer, VARTYPE expected_type, size_t max_length = 1 << 18);

// The positive count that the environment variable |name| holds, else
// |fallback|: the stress tests run fewer rounds in the emulated guest.
int CountFromEnvironment(const char* name, int fallback);

}  // namespace orvanta::testing
