// The survey tool's logic: which methods it calls, how it reads its command
// line, and how it writes the answers as text or JSON. Plain values only; the
// COM calls, among them reading the methods from the control's type
// information, live in survey_client.cpp.
#pragma once

#include <windows.h>

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace orvanta::survey {

// One method of _DOrvanta as the control's type information describes it.
struct SurveyMethod {
  std::wstring name;  // the name in the type library
  DISPID id;
};

// The processor clock, which measures time by spinning: asked on a processor
// of its own.
inline bool IsClockMethod(const SurveyMethod& method) { return method.name == L"GetCPUFrequency"; }

// What one call answered.
struct Answer {
  enum class Kind { kText, kNumber, kNothing, kFailed };
  Kind kind = Kind::kNothing;
  std::wstring text;          // kText: the answer; kFailed: what went wrong, in words
  long number = 0;            // kNumber
  HRESULT result = S_OK;      // kFailed: what Invoke returned
  HRESULT exception = S_OK;   // kFailed with DISP_E_EXCEPTION: the method's own code
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
  std::wstring ocx_path;  // kOcx
  std::wstring only;      // --only's names, comma-separated; empty for every method
  bool serial = false;    // --serial: one method after another, in interface order
  int jobs = 0;           // --jobs: the most worker processes; 0 for the default
  bool worker = false;    // --worker: a worker process, which sends its answers (EncodeAnswer) to its output
};

// Reads the arguments after the program name. On a mistake returns nothing
// and sets |error| to a one-line explanation.
std::optional<Options> ParseCommandLine(const std::vector<std::wstring>& args, std::wstring* error);

// The methods of |methods| (the control's, in interface order) that |only|
// names: comma-separated, letter case ignored, each once, in interface order;
// every method when |only| is empty. A name that |methods| lacks is given to
// |identifier_of|, which answers the identifier that the control itself gives
// it (its other name) or DISPID_UNKNOWN; a name still unknown is an error that
// lists the valid ones.
std::optional<std::vector<SurveyMethod>> SelectMethods(const std::vector<SurveyMethod>& methods,
                                                       std::wstring_view only,
                                                       const std::function<DISPID(const std::wstring&)>& identifier_of,
                                                       std::wstring* error);

// How a concurrent survey asks the chosen methods (indices into them).
struct SurveyPlan {
  // Each share is asked by one worker process, one method after another;
  // the shares run side by side. Shares are balanced by what their methods
  // typically cost, the longest methods placed first; no share is empty.
  std::vector<std::vector<size_t>> shares;
  // Asked by the survey itself, on a processor that no worker uses while it
  // runs: the processor clock, which measures time by spinning and is thrown
  // off by any other work on its processor.
  std::vector<size_t> alone;
};
SurveyPlan PlanSurvey(const std::vector<SurveyMethod>& methods, int workers);

// The number of worker processes for |methods| methods to share: --jobs
// when given, otherwise the number of logical processors and at least 2,
// never more than there are methods.
int PoolSize(int jobs, int processors, size_t methods);

// One answer as a worker process sends it to the survey over a pipe: the
// method's name and the answer's fields in one record.
std::string EncodeAnswer(std::wstring_view name, const Answer& answer);

// Takes the first whole record from the front of |bytes| into |name| and
// |answer|; false, with |bytes| untouched, while the record is not complete.
bool TakeAnswer(std::string* bytes, std::wstring* name, Answer* answer);

// |argument| as a command line carries it to a program that reads its
// arguments the way CommandLineToArgvW does: quoted when it holds blanks or
// quotes, or is empty.
std::wstring QuoteArgument(std::wstring_view argument);

// The readable report of one answer: "Name (id): answer" for a one-line
// answer, the name line and then every line indented by four spaces for a
// longer one, "(empty)" for an empty text, "error 0x........ <what>" for a
// failed call. Every line ends with "\n".
std::wstring FormatAnswer(const SurveyMethod& method, const Answer& answer);

// One JSON object keyed by type-library name (docs/survey.schema.json): texts
// exactly as answered (line ends kept), numbers as numbers, null for no
// answer and for a failed call; then, when a call failed, "errors" with one
// object per failed method: its "hresult", the method's own "exception" code
// when there is one, and a "message". UTF-8, ends with "\n".
std::string FormatJson(const std::vector<std::pair<SurveyMethod, Answer>>& answers);

// The one-line message for a failed call: the method, the HRESULT in hex and
// its system message when there is one.
std::wstring DescribeFailure(std::wstring_view what, HRESULT hr, std::wstring_view message);

// The one-line message when the control is not registered for this tool's
// bitness, with the command that registers it.
std::wstring NotRegisteredMessage(bool tool_is_64_bit);

// The --help text.
std::wstring HelpText();

// The most worker processes that --jobs accepts.
inline constexpr int kMostJobs = 32;

// Exit codes.
inline constexpr int kExitOk = 0;
inline constexpr int kExitFailure = 1;         // the control could not be created or described
inline constexpr int kExitNotRegistered = 2;
inline constexpr int kExitUsage = 3;
inline constexpr int kExitMethodFailed = 4;    // every method was asked; at least one failed

}  // namespace orvanta::survey
