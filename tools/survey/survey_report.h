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

// The methods that this tool knows, by type-library name, in interface order:
// --only names are checked against them before the control is created.
std::vector<std::wstring> KnownMethodNames();

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
  int timeout = 0;        // --timeout: seconds a worker may take; 0 for its share's expected cost and a margin
  // --worker PIPE: a worker process of a survey, which sends its answers
  // (EncodeAnswer) to the named pipe that the survey made for it.
  std::wstring worker_pipe;
  // --describe, with --worker: the worker sends the control's methods that
  // --only chooses instead of their answers (DescribeInWorker).
  bool describe = false;
  // --merge INPUT... with at least one of --csv, --html and --jsonl.
  std::vector<std::wstring> merge_inputs;
  std::wstring csv, html, jsonl;
  std::wstring expect;  // --expect: the computers that should have a record, one name per line
  bool merge() const { return !merge_inputs.empty(); }
};

// Reads the arguments after the program name. On a mistake returns nothing
// and sets |error| to a one-line explanation. Names in --only are checked
// against the methods that this tool knows, before any control is created.
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
  // Asked by a worker of its own, on a processor that no other worker uses
  // while it runs: the processor clock, which measures time by spinning and is
  // thrown off by any other work on its processor.
  std::vector<size_t> alone;
};
SurveyPlan PlanSurvey(const std::vector<SurveyMethod>& methods, int workers);

// The number of worker processes for |methods| methods to share: --jobs
// when given, otherwise the number of logical processors and at least 2,
// never more than there are methods.
int PoolSize(int jobs, int processors, size_t methods);

// The milliseconds that a worker asking |share| (indices into |methods|) may
// take: --timeout's seconds when given (|timeout| > 0), otherwise ten times
// what the methods typically cost and a minute for a slow or loaded machine.
DWORD WorkerDeadline(const std::vector<SurveyMethod>& methods, const std::vector<size_t>& share, int timeout);

// One answer as a worker process sends it to the survey over its pipe: a
// marker, the method's name and the answer's fields in one record.
std::string EncodeAnswer(std::wstring_view name, const Answer& answer);

enum class Taken {
  kAnswer,      // a whole record was taken from the front of the bytes
  kIncomplete,  // not yet a whole record; the bytes are left as they are
  kCorrupt,     // the bytes are not a record: no marker, or fields out of range
};
// Takes the first record from the front of |bytes| into |name| and |answer|.
Taken TakeAnswer(std::string* bytes, std::wstring* name, Answer* answer);

// |argument| as a command line carries it to a program that reads its
// arguments the way CommandLineToArgvW does: quoted when it holds blanks or
// quotes, or is empty.
std::wstring QuoteArgument(std::wstring_view argument);

// The readable report of one answer: "Name (id): answer" for a one-line
// answer, the name line and then every line indented by four spaces for a
// longer one, "(empty)" for an empty text, "error 0x........ <what>" for a
// failed call. Control characters are shown visibly (Visible). Every line
// ends with "\n".
std::wstring FormatAnswer(const SurveyMethod& method, const Answer& answer);

// What a record says of itself, beside the answers.
struct RecordInfo {
  std::wstring computer;
  std::wstring collected;        // UTC, ISO 8601 ("2026-05-04T09:30:00Z")
  std::wstring tool_version;     // "4.1.1"
  int tool_bits = 0;             // 32 or 64
  std::wstring control_version;  // the module file's version, "4.1.1.0", or empty when it has none
  std::wstring control_path;     // the module file that answered
  long long elapsed_ms = 0;
};

// The version of the record's layout (docs/survey.schema.json): a new field
// keeps it, a renamed or removed one changes it.
inline constexpr int kSchemaVersion = 1;

// One JSON object (docs/survey.schema.json): first the answers keyed by
// type-library name, texts exactly as answered (line ends kept), numbers as
// numbers, null for no answer and for a failed call; then the record's own
// fields (schema, computer, collected, tool, control, elapsedMs) and the
// facts read from the answers (ReadFacts); then, when a call failed or an
// answer does not have its documented format, "errors" with one object per
// method: for a failed call its "hresult" and the method's own "exception"
// code when there is one, for an unreadable answer the "format" expected;
// and a "message". UTF-8, lone surrogates as \uD8xx escapes; ends with "\n".
std::string FormatJson(const std::vector<std::pair<SurveyMethod, Answer>>& answers, const RecordInfo& info);

// The one-line message for a failed call: the method, the HRESULT in hex and
// its system message when there is one.
std::wstring DescribeFailure(std::wstring_view what, HRESULT hr, std::wstring_view message);

// The one-line message when the control is not registered for this tool's
// bitness, with the command that registers it.
std::wstring NotRegisteredMessage(bool tool_is_64_bit);

// The --help text.
std::wstring HelpText();

// A progress line on a console, and the messages written below it: a message
// first wipes the line, so that the two never share a line. |write| puts text
// on standard error; |shown| is false when that is not a console, and then
// no progress is written.
class StatusLine {
 public:
  StatusLine(std::function<void(std::wstring_view)> write, bool shown) : write_(std::move(write)), shown_(shown) {}
  StatusLine(const StatusLine&) = delete;
  StatusLine& operator=(const StatusLine&) = delete;
  ~StatusLine();

  // "3 of 30 answers in...".
  void Show(int answered, int total);
  // "orvanta-survey: <message>" on a line of its own.
  void Say(std::wstring_view message);
  // Wipes the progress line.
  void Clear();

 private:
  std::function<void(std::wstring_view)> write_;
  bool shown_;
  size_t width_ = 0;  // of the progress line on the console, 0 when none is there
};

// The most worker processes that --jobs accepts, and the most seconds that
// --timeout does.
inline constexpr int kMostJobs = 32;
inline constexpr int kMostSeconds = 3600;

// Exit codes.
inline constexpr int kExitOk = 0;
inline constexpr int kExitFailure = 1;         // the control could not be created or described
inline constexpr int kExitNotRegistered = 2;
inline constexpr int kExitUsage = 3;
inline constexpr int kExitMethodFailed = 4;    // every method was asked; at least one failed (--merge: an input was skipped)
inline constexpr int kExitNotWritten = 5;      // the output could not be written

}  // namespace orvanta::survey
