// The survey tool's text conversions, in one place: UTF-16 answers to the
// UTF-8 that it writes, answers made visible for a console, and JSON text
// that carries every answer exactly, lone surrogates included.
#pragma once

#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

namespace orvanta::survey {

// |text| as UTF-8. A lone surrogate, which UTF-8 cannot carry, is written in
// the same three-byte form as a paired one would be (generalised UTF-8), so
// that JsonText can write it back as a \uD8xx escape.
std::string Utf8(std::wstring_view text);

// UTF-8 |bytes| as UTF-16; an invalid sequence becomes U+FFFD.
std::wstring Wide(std::string_view bytes);

// |line| for a reader's eyes: a control character other than tab, and a
// lone surrogate, shown as \xHH or \uHHHH; everything else as it is.
std::wstring Visible(std::wstring_view line);

// |value| as JSON text: indented by two spaces per level (or on one line when
// |indent| is false), strings holding generalised UTF-8 (see Utf8) with lone
// surrogates as \uD8xx escapes and control characters escaped, the rest as
// UTF-8. No line end after the last character.
std::string JsonText(const nlohmann::ordered_json& value, bool indent = true);

// |text| (JSON) with every lone surrogate escape replaced by \uFFFD, so that a
// parser that insists on pairs reads it.
std::string WithoutLoneSurrogates(std::string text);

}  // namespace orvanta::survey
