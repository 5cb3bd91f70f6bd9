#include "tests/hardening/hardening_support.h"

#include <cstdlib>
#include <cwctype>

#include "framework/scoped_variant.h"
#include "tests/com/com_test_support.h"

namespace orvanta::testing {

Answer CallForAnswer(IDispatch* control, DISPID id) {
  Answer answer;
  ScopedVariant result;
  answer.result = InvokeMethod(control, id, result.Receive());
  answer.type = result.Type();
  if (answer.type == VT_BSTR) {
    const BSTR text = V_BSTR(&result.Get());
    answer.null_string = text == nullptr;
    if (text) answer.text.assign(text, SysStringLen(text));
  } else if (answer.type == VT_I2) {
    answer.text = std::to_wstring(V_I2(&result.Get()));
  }
  return answer;
}

bool AnswerVaries(DISPID id) {
  // GetDriveInfo, GetCPUFrequency, GetSystemDriveInfo.
  return id == 8 || id == 16 || id == 20;
}

std::wstring WithoutFigures(const std::wstring& text) {
  std::wstring masked;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] >= L'0' && text[i] <= L'9') {
      if (i == 0 || text[i - 1] < L'0' || text[i - 1] > L'9') masked += L'#';
    } else {
      masked += text[i];
    }
  }
  return masked;
}

std::string MalformationOf(const Answer& answer, VARTYPE expected_type, size_t max_length) {
  if (answer.result != S_OK) return "the call failed with " + std::to_string(answer.result);
  if (answer.type != expected_type) return "the answer has type " + std::to_string(answer.type);
  if (expected_type != VT_BSTR) return {};
  if (answer.null_string) return "the answer is a null string";
  if (answer.text.size() > max_length) return "the answer has " + std::to_string(answer.text.size()) + " units";
  for (size_t i = 0; i < answer.text.size(); ++i) {
    const wchar_t unit = answer.text[i];
    if (unit == L'\0') return "a zero unit at " + std::to_string(i);
    if (unit >= 0xd800 && unit <= 0xdbff) {
      if (i + 1 == answer.text.size() || answer.text[i + 1] < 0xdc00 || answer.text[i + 1] > 0xdfff)
        return "an unpaired high surrogate at " + std::to_string(i);
      ++i;
    } else if (unit >= 0xdc00 && unit <= 0xdfff) {
      return "an unpaired low surrogate at " + std::to_string(i);
    }
  }
  return {};
}

int CountFromEnvironment(const char* name, int fallback) {
  if (const char* text = std::getenv(name)) {
    const int count = std::atoi(text);
    if (count > 0) return count;
  }
  return fallback;
}

}  // namespace orvanta::testing
