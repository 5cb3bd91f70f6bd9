#include "framework/report_text.h"

#include <windows.h>

#include <stdarg.h>
#include <stdio.h>
#include <wchar.h>

#include <exception>
#include <stdexcept>

namespace orvanta {
namespace {

// Appends the formatted text; hands back, rather than throws, what went wrong,
// so that the caller can end its argument list first.
std::exception_ptr AppendFormatV(CString& text, const wchar_t* format, va_list args) noexcept {
  try {
    va_list measure;
    va_copy(measure, args);
    const int length = _vscwprintf(format, measure);
    va_end(measure);
    if (length < 0) throw std::invalid_argument("report format rejected by the C runtime");

    const size_t start = text.size();
    text.resize(start + static_cast<size_t>(length) + 1);
    _vsnwprintf(&text[start], static_cast<size_t>(length) + 1, format, args);
    text.resize(start + static_cast<size_t>(length));
    return nullptr;
  } catch (...) {
    return std::current_exception();
  }
}

}  // namespace

void AppendFormat(CString& text, const wchar_t* format, ...) {
  va_list args;
  va_start(args, format);
  const std::exception_ptr error = AppendFormatV(text, format, args);
  va_end(args);
  if (error) std::rethrow_exception(error);
}

CString FormatText(const wchar_t* format, ...) {
  CString text;
  va_list args;
  va_start(args, format);
  const std::exception_ptr error = AppendFormatV(text, format, args);
  va_end(args);
  if (error) std::rethrow_exception(error);
  return text;
}

bool IsWhiteSpace(wchar_t c) {
  return c == L' ' || c == L'\t' || c == L'\n' || c == L'\v' || c == L'\f' || c == L'\r';
}

std::wstring TrimLeadingWhiteSpace(const std::wstring& text) {
  size_t start = 0;
  while (start < text.size() && IsWhiteSpace(text[start])) ++start;
  return text.substr(start);
}

std::wstring WellFormedText(std::wstring text) {
  for (size_t i = 0; i < text.size(); ++i) {
    if (i + 1 < text.size() && IS_SURROGATE_PAIR(text[i], text[i + 1])) {
      ++i;  // a whole pair
    } else if (IS_HIGH_SURROGATE(text[i]) || IS_LOW_SURROGATE(text[i])) {
      text[i] = 0xfffd;
    }
  }
  return text;
}

std::wstring WideFromThreadAnsi(const char* text, size_t capacity) {
  size_t length = 0;
  while (length < capacity && text[length] != '\0') ++length;
  if (length == 0) return {};
  const int wide_length = MultiByteToWideChar(CP_THREAD_ACP, 0, text, static_cast<int>(length), nullptr, 0);
  if (wide_length <= 0) return {};
  std::wstring wide(static_cast<size_t>(wide_length), L'\0');
  MultiByteToWideChar(CP_THREAD_ACP, 0, text, static_cast<int>(length), wide.data(), wide_length);
  return wide;
}

}  // namespace orvanta
