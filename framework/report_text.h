// Report text: the growable wide string that collectors fill, and printf-style
// formatting done by the C runtime that the module is linked with.
#pragma once

#include <string>

namespace orvanta {

// A report under construction. UTF-16; may hold any characters.
using CString = std::wstring;

// Appends |format| filled with the arguments, as the C runtime's wide printf
// reads it ("%s" takes a wide string, "%I64d" a 64-bit integer). Throws
// std::bad_alloc when the text cannot grow and std::invalid_argument when the
// runtime rejects the format.
void AppendFormat(CString& text, const wchar_t* format, ...);

// The same, into a new string.
CString FormatText(const wchar_t* format, ...);

// White space as reports trim it: space, tab, line feed, vertical tab, form
// feed and carriage return.
bool IsWhiteSpace(wchar_t c);

// |text| without its leading white space.
std::wstring TrimLeadingWhiteSpace(const std::wstring& text);

// |text| with every surrogate that lacks its partner (binary data read as
// text, or a pair cut by a size limit) replaced by U+FFFD, so that the text is
// well-formed UTF-16.
std::wstring WellFormedText(std::wstring text);

// Narrow text from a platform record (a DirectDraw or Direct3D description or
// driver name) as wide text, through the thread's ANSI code page. Reads at
// most |capacity| bytes, so a record whose text fills it without a
// terminator is still read safely.
std::wstring WideFromThreadAnsi(const char* text, size_t capacity);

}  // namespace orvanta
