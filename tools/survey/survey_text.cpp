#include "tools/survey/survey_text.h"

#include <windows.h>

#include <cstdio>

namespace orvanta::survey {
namespace {

bool IsHigh(unsigned unit) { return unit >= 0xD800 && unit <= 0xDBFF; }
bool IsLow(unsigned unit) { return unit >= 0xDC00 && unit <= 0xDFFF; }

void AppendCodePoint(std::string* bytes, unsigned code) {
  if (code < 0x80) {
    *bytes += static_cast<char>(code);
  } else if (code < 0x800) {
    *bytes += static_cast<char>(0xC0 | code >> 6);
    *bytes += static_cast<char>(0x80 | (code & 0x3F));
  } else if (code < 0x10000) {
    *bytes += static_cast<char>(0xE0 | code >> 12);
    *bytes += static_cast<char>(0x80 | (code >> 6 & 0x3F));
    *bytes += static_cast<char>(0x80 | (code & 0x3F));
  } else {
    *bytes += static_cast<char>(0xF0 | code >> 18);
    *bytes += static_cast<char>(0x80 | (code >> 12 & 0x3F));
    *bytes += static_cast<char>(0x80 | (code >> 6 & 0x3F));
    *bytes += static_cast<char>(0x80 | (code & 0x3F));
  }
}

std::string Escape(unsigned unit) {
  char text[8];
  std::snprintf(text, sizeof(text), "\\u%04X", unit);
  return text;
}

void AppendString(std::string* out, const std::string& bytes) {
  *out += '"';
  for (size_t i = 0; i < bytes.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(bytes[i]);
    // A surrogate in its three-byte form: ED A0..BF xx.
    if (c == 0xED && i + 2 < bytes.size() && (static_cast<unsigned char>(bytes[i + 1]) & 0xE0) == 0xA0) {
      *out += Escape(0xD000 | (static_cast<unsigned char>(bytes[i + 1]) & 0x3F) << 6 |
                     (static_cast<unsigned char>(bytes[i + 2]) & 0x3F));
      i += 2;
    } else if (c == '"' || c == '\\') {
      *out += '\\';
      *out += static_cast<char>(c);
    } else if (c == '\n') {
      *out += "\\n";
    } else if (c == '\r') {
      *out += "\\r";
    } else if (c == '\t') {
      *out += "\\t";
    } else if (c < 0x20 || c == 0x7F) {
      *out += Escape(c);
    } else {
      *out += static_cast<char>(c);
    }
  }
  *out += '"';
}

void AppendJson(std::string* out, const nlohmann::ordered_json& value, bool indent, int depth) {
  std::string inner, outer;
  if (indent) {
    inner.append(1, '\n').append(2 * (depth + 1), ' ');
    outer.append(1, '\n').append(2 * depth, ' ');
  }
  if (value.is_string()) {
    AppendString(out, value.get_ref<const std::string&>());
  } else if (value.is_object() && !value.empty()) {
    *out += '{';
    bool first = true;
    for (const auto& item : value.items()) {
      if (!first) *out += ',';
      *out += inner;
      first = false;
      AppendString(out, item.key());
      *out += indent ? ": " : ":";
      AppendJson(out, item.value(), indent, depth + 1);
    }
    *out += outer + '}';
  } else if (value.is_array() && !value.empty()) {
    *out += '[';
    bool first = true;
    for (const auto& item : value) {
      if (!first) *out += ',';
      *out += inner;
      first = false;
      AppendJson(out, item, indent, depth + 1);
    }
    *out += outer + ']';
  } else {
    *out += value.dump();  // numbers, true, false, null, {} and []
  }
}

}  // namespace

std::string Utf8(std::wstring_view text) {
  std::string bytes;
  bytes.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    unsigned code = static_cast<unsigned>(text[i]) & 0xFFFF;
    if (IsHigh(code) && i + 1 < text.size() && IsLow(text[i + 1])) {
      code = 0x10000 + ((code - 0xD800) << 10) + (static_cast<unsigned>(text[++i]) - 0xDC00);
    }
    AppendCodePoint(&bytes, code);
  }
  return bytes;
}

std::wstring Wide(std::string_view bytes) {
  if (bytes.empty()) return {};
  const int size = MultiByteToWideChar(CP_UTF8, 0, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
  std::wstring text(size, L'\0');
  MultiByteToWideChar(CP_UTF8, 0, bytes.data(), static_cast<int>(bytes.size()), text.data(), size);
  return text;
}

std::wstring Visible(std::wstring_view line) {
  std::wstring shown;
  shown.reserve(line.size());
  for (size_t i = 0; i < line.size(); ++i) {
    const unsigned unit = static_cast<unsigned>(line[i]) & 0xFFFF;
    if (IsHigh(unit) && i + 1 < line.size() && IsLow(line[i + 1])) {
      shown += line[i];
      shown += line[++i];
    } else if (IsHigh(unit) || IsLow(unit)) {
      wchar_t text[8];
      std::swprintf(text, 8, L"\\u%04X", unit);
      shown += text;
    } else if ((unit < 0x20 && unit != L'\t') || unit == 0x7F) {
      wchar_t text[8];
      std::swprintf(text, 8, L"\\x%02X", unit);
      shown += text;
    } else {
      shown += line[i];
    }
  }
  return shown;
}

std::string JsonText(const nlohmann::ordered_json& value, bool indent) {
  std::string out;
  AppendJson(&out, value, indent, 0);
  return out;
}

std::string WithoutLoneSurrogates(std::string text) {
  // Escapes \uHHHH, each standing for one UTF-16 unit, within strings; a
  // backslash before another backslash is not an escape of a unit.
  const auto unit_at = [&](size_t at) -> int {
    if (at + 6 > text.size() || text[at] != '\\' || text[at + 1] != 'u') return -1;
    unsigned unit = 0;
    if (std::sscanf(text.c_str() + at + 2, "%4x", &unit) != 1) return -1;
    return static_cast<int>(unit);
  };
  for (size_t i = 0; i + 1 < text.size(); ++i) {
    if (text[i] != '\\') continue;
    const int unit = unit_at(i);
    if (unit < 0) {
      ++i;  // a two-character escape
      continue;
    }
    const int next = unit_at(i + 6);
    if (IsHigh(unit) && IsLow(next)) {
      i += 11;
    } else if (IsHigh(unit) || IsLow(unit)) {
      text.replace(i + 2, 4, "FFFD");
      i += 5;
    } else {
      i += 5;
    }
  }
  return text;
}

}  // namespace orvanta::survey
