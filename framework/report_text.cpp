#include "framework/report_text.h"

#include <stdarg.h>
#include <stdio.h>
#include <wchar.h>

#include <stdexcept>

namespace orvanta {
namespace {

void AppendFormatV(CString& text, const wchar_t* format, va_list args) {
  va_list measure;
  va_copy(measure, args);
  const int length = _vscwprintf(format, measure);
  va_end(measure);
  if (length < 0) throw std::invalid_argument("report format rejected by the C runtime");

  const size_t start = text.size();
  text.resize(start + static_cast<size_t>(length) + 1);
  _vsnwprintf(&text[start], static_cast<size_t>(length) + 1, format, args);
  text.resize(start + static_cast<size_t>(length));
}

}  // namespace

void AppendFormat(CString& text, const wchar_t* format, ...) {
  va_list args;
  va_start(args, format);
  try {
    AppendFormatV(text, format, args);
  } catch (...) {
    va_end(args);
    throw;
  }
  va_end(args);
}

CString FormatText(const wchar_t* format, ...) {
  CString text;
  va_list args;
  va_start(args, format);
  try {
    AppendFormatV(text, format, args);
  } catch (...) {
    va_end(args);
    throw;
  }
  va_end(args);
  return text;
}

}  // namespace orvanta
