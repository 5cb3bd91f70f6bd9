// The survey tool's logic: which methods it calls, how it reads its command
// line, and how it writes the answers as text or JSON. Plain values only; the
// COM calls live in survey_client.cpp.
#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace orvanta::survey {

// One method of _DOrvanta as a client calls it: its type-library name, the
// other name that the control's own table uses where it differs (or null),
// and its dispatch identifier.
struct SurveyMethod {
  const wchar_t* name;
  const wchar_t* other_name;
  DISPID id;
  bool shows_dialog;  // AboutBox: called only when asked for by name
};

// All 31 methods, in the order of the interface.
const std::vector<SurveyMethod>& SurveyMethods();

// What one call answered.
struct Answer {
  enum class Kind { kText, kNumber, kNothing };
  Kind kind = Kind::kNothing;
  std::wstring text;  // kText
  long number = 0;    // kNumber
};

// How the control is created.
enum class Source {
  kProgId,  // by ProgID, from the registration
  kOcx,     // from a given module file, without registration
  kHere,    // through the side-by-side manifests beside the tool
};

struct Options {
  bool help = false;
  bool json = false;
  Source source = Source::kProgId;
  std::wstring ocx_path;                      // kOcx
  std::vector<const SurveyMethod*> methods;   // in interface order
};

// Reads the arguments after the program name. On a mistake returns nothing
// and sets |error| to a one-line explanation (for an unknown method name, the
// list of valid ones).
std::optional<Options> ParseCommandLine(const std::vector<std::wstring>& args, std::wstring* error);

// The methods that --only names (comma-separated, letter case ignored, either
// name of a method), in interface order and each once; without --only every
// method but AboutBox.
std::optional<std::vector<const SurveyMethod*>> SelectMethods(std::wstring_view only, std::wstring* error);

// The readable report of one answer: "Name (id): answer" for a one-line
// answer, the name line and then every line indented by four spaces for a
// longer one, "(empty)" for an empty text. Every line ends with "\n".
std::wstring FormatAnswer(const SurveyMethod& method, const Answer& answer);

// One JSON object keyed by type-library name, texts exactly as answered (line
// ends kept), numbers as numbers, no answer as null. UTF-8, ends with "\n".
std::string FormatJson(const std::vector<std::pair<const SurveyMethod*, Answer>>& answers);

// The one-line message for a failed call: the method, the HRESULT in hex and
// its system message when there is one.
std::wstring DescribeFailure(std::wstring_view what, HRESULT hr, std::wstring_view message);

// The one-line message when the control is not registered for this tool's
// bitness, with the command that registers it.
std::wstring NotRegisteredMessage(bool tool_is_64_bit);

// The --help text.
std::wstring HelpText();

// Exit codes.
inline constexpr int kExitOk = 0;
inline constexpr int kExitFailure = 1;
inline constexpr int kExitNotRegistered = 2;
inline constexpr int kExitUsage = 3;

}  // namespace orvanta::survey
