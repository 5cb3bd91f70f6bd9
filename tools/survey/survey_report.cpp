#include "tools/survey/survey_report.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <cwctype>

#include <nlohmann/json.hpp>

#include "framework/report_text.h"
#include "tools/survey/survey_facts.h"
#include "tools/survey/survey_text.h"

namespace orvanta::survey {
namespace {

bool NamesEqual(std::wstring_view a, std::wstring_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (std::towlower(a[i]) != std::towlower(b[i])) return false;
  }
  return true;
}

std::wstring ValidNames(const std::vector<SurveyMethod>& methods) {
  std::wstring names;
  for (const SurveyMethod& method : methods) {
    if (!names.empty()) names += L", ";
    names += method.name;
  }
  return names;
}

std::string HexCode(HRESULT hr) {
  char text[11];
  std::snprintf(text, sizeof(text), "0x%08lX", static_cast<unsigned long>(hr));
  return text;
}

// The lines of |text|: split at line feeds, a carriage return before one
// dropped, the empty piece after a final line feed left out.
std::vector<std::wstring_view> Lines(std::wstring_view text) {
  std::vector<std::wstring_view> lines;
  while (!text.empty()) {
    const size_t end = text.find(L'\n');
    std::wstring_view line = text.substr(0, end);
    if (!line.empty() && line.back() == L'\r' && end != std::wstring_view::npos) line.remove_suffix(1);
    lines.push_back(line);
    if (end == std::wstring_view::npos) break;
    text.remove_prefix(end + 1);
  }
  return lines;
}

// The methods of _DOrvanta that this tool knows, in interface order, with
// the other name that the control's own table gives two of them, and what a
// concurrent survey knows of each before asking it: the milliseconds that it
// typically takes in a process of its own (what the runtimes it loads cost
// under Wine, see docs/performance.md); the others take a few milliseconds.
struct KnownMethod {
  const wchar_t* name;
  const wchar_t* other_name;
  int milliseconds;
};

constexpr KnownMethod kKnownMethods[] = {
    {L"GetOSInfo", nullptr, 1},
    {L"GetCPUInfo", nullptr, 1},
    {L"GetMemoryInfo", nullptr, 1},
    {L"GetDriverInfo", nullptr, 1},
    {L"GetVRAMInfo", nullptr, 370},             // DirectDraw
    {L"GetDirectXInfo", nullptr, 700},          // DxDiag
    {L"GetVideocardNameInfo", nullptr, 950},    // DxDiag and DirectDraw
    {L"GetDriveInfo", nullptr, 1},
    {L"GetSoundcardNameInfo", L"GetSoundcardInfo", 1},
    {L"GetDisplayModeList", nullptr, 1},
    {L"GetMediaInfo", nullptr, 1},
    {L"GetNetInfo", nullptr, 1},
    {L"GetModemInfo", nullptr, 1},
    {L"GetCDROMInfo", nullptr, 1},
    {L"GetNowDisplayMode", nullptr, 1},
    {L"GetCPUFrequency", nullptr, 2100},        // two seconds of counting
    {L"GetCPUNameInfo", nullptr, 1},
    {L"IsInstall", nullptr, 1},
    {L"GetSamplingFrequency", L"GetSamplingFrequencyInfo", 20},  // DirectSound
    {L"GetSystemDriveInfo", nullptr, 1},
    {L"GetSystemModelInfo", nullptr, 1},
    {L"GetALLVRAMInfo", nullptr, 280},          // DirectDraw
    {L"GetVRAMbyRegInfo", nullptr, 1000},       // DxDiag, DirectDraw and the registry
    {L"GetVideoDriverInfo", nullptr, 290},      // Direct3D 8
    {L"GetVertexShaderVersion", nullptr, 280},  // Direct3D 9
    {L"GetPixelShaderVersion", nullptr, 290},   // Direct3D 9
    {L"GetCPUCount", nullptr, 1},
    {L"GetUnifiedShaderVersion", nullptr, 2300},  // eight Direct3D 10.1 devices
    {L"GetCPUPhysicalCount", nullptr, 1},
    {L"GetSecuritySoftInfo", nullptr, 1},
};

int CostOf(const std::wstring& name) {
  for (const KnownMethod& method : kKnownMethods) {
    if (name == method.name) return method.milliseconds;
  }
  return 1;
}

bool IsKnownName(std::wstring_view name) {
  for (const KnownMethod& method : kKnownMethods) {
    if (NamesEqual(name, method.name) || (method.other_name && NamesEqual(name, method.other_name))) return true;
  }
  return false;
}

// The start of every answer record, so that stray bytes are told from answers.
constexpr char kRecordMarker[4] = {'O', 'R', 'V', 'a'};
// Lengths beyond these are no answer's: the record is damaged.
constexpr uint32_t kLongestName = 256;
constexpr uint32_t kLongestText = 1u << 24;

// The fields of an answer record, in order, after the marker and before the
// name and the text.
enum RecordField { kKind, kNumber, kResult, kException, kNameLength, kTextLength, kFields };

// A worker's time beyond what its methods typically cost: for a slow, loaded
// or emulated machine, and for the start of the process and the control.
constexpr DWORD kDeadlineMargin = 60000;
constexpr DWORD kDeadlineFactor = 10;

}  // namespace

SurveyPlan PlanSurvey(const std::vector<SurveyMethod>& methods, int workers) {
  SurveyPlan plan;
  std::vector<size_t> order;
  for (size_t i = 0; i < methods.size(); ++i) {
    if (IsClockMethod(methods[i])) {
      plan.alone.push_back(i);
    } else {
      order.push_back(i);
    }
  }
  std::stable_sort(order.begin(), order.end(),
                   [&](size_t a, size_t b) { return CostOf(methods[a].name) > CostOf(methods[b].name); });
  // Each method goes to the share that is expected to end first.
  std::vector<int> load;
  for (const size_t index : order) {
    if (static_cast<int>(plan.shares.size()) < workers) {
      plan.shares.push_back({});
      load.push_back(0);
    }
    const size_t share = std::min_element(load.begin(), load.end()) - load.begin();
    plan.shares[share].push_back(index);
    load[share] += CostOf(methods[index].name);
  }
  return plan;
}

int PoolSize(int jobs, int processors, size_t methods) {
  const int wanted = jobs > 0 ? jobs : std::max(2, processors);
  return static_cast<int>(std::min(static_cast<size_t>(wanted), methods));
}

DWORD WorkerDeadline(const std::vector<SurveyMethod>& methods, const std::vector<size_t>& share, int timeout) {
  if (timeout > 0) return static_cast<DWORD>(timeout) * 1000;
  DWORD cost = 0;
  for (const size_t index : share) cost += CostOf(methods[index].name);
  return kDeadlineMargin + kDeadlineFactor * cost;
}

std::vector<std::wstring> KnownMethodNames() {
  std::vector<std::wstring> names;
  for (const KnownMethod& method : kKnownMethods) names.push_back(method.name);
  return names;
}

std::string EncodeAnswer(std::wstring_view name, const Answer& answer) {
  const uint32_t fields[kFields] = {static_cast<uint32_t>(answer.kind), static_cast<uint32_t>(answer.number),
                                    static_cast<uint32_t>(answer.result), static_cast<uint32_t>(answer.exception),
                                    static_cast<uint32_t>(name.size()), static_cast<uint32_t>(answer.text.size())};
  std::string record(kRecordMarker, sizeof(kRecordMarker));
  record.append(reinterpret_cast<const char*>(fields), sizeof(fields));
  record.append(reinterpret_cast<const char*>(name.data()), name.size() * sizeof(wchar_t));
  record.append(reinterpret_cast<const char*>(answer.text.data()), answer.text.size() * sizeof(wchar_t));
  return record;
}

Taken TakeAnswer(std::string* bytes, std::wstring* name, Answer* answer) {
  const size_t marker = std::min(bytes->size(), sizeof(kRecordMarker));
  if (bytes->compare(0, marker, kRecordMarker, marker) != 0) return Taken::kCorrupt;
  uint32_t fields[kFields];
  const size_t head = sizeof(kRecordMarker) + sizeof(fields);
  if (bytes->size() < head) return Taken::kIncomplete;
  std::memcpy(fields, bytes->data() + sizeof(kRecordMarker), sizeof(fields));
  if (fields[kKind] > static_cast<uint32_t>(Answer::Kind::kFailed) || fields[kNameLength] > kLongestName ||
      fields[kTextLength] > kLongestText) {
    return Taken::kCorrupt;
  }
  const size_t name_bytes = size_t{fields[kNameLength]} * sizeof(wchar_t);
  const size_t text_bytes = size_t{fields[kTextLength]} * sizeof(wchar_t);
  if (bytes->size() - head < name_bytes + text_bytes) return Taken::kIncomplete;
  const char* next = bytes->data() + head;
  name->assign(reinterpret_cast<const wchar_t*>(next), fields[kNameLength]);
  next += name_bytes;
  answer->kind = static_cast<Answer::Kind>(fields[kKind]);
  answer->number = static_cast<long>(fields[kNumber]);
  answer->result = static_cast<HRESULT>(fields[kResult]);
  answer->exception = static_cast<HRESULT>(fields[kException]);
  answer->text.assign(reinterpret_cast<const wchar_t*>(next), fields[kTextLength]);
  bytes->erase(0, head + name_bytes + text_bytes);
  return Taken::kAnswer;
}

std::optional<std::vector<SurveyMethod>> SelectMethods(const std::vector<SurveyMethod>& methods,
                                                       std::wstring_view only,
                                                       const std::function<DISPID(const std::wstring&)>& identifier_of,
                                                       std::wstring* error) {
  std::vector<bool> chosen(methods.size(), only.empty());
  while (!only.empty()) {
    const size_t comma = only.find(L',');
    const std::wstring name(only.substr(0, comma));
    size_t found = methods.size();
    for (size_t i = 0; i < methods.size() && found == methods.size(); ++i) {
      if (NamesEqual(name, methods[i].name)) found = i;
    }
    if (found == methods.size() && !name.empty()) {
      const DISPID id = identifier_of(name);
      for (size_t i = 0; i < methods.size() && found == methods.size(); ++i) {
        if (id != DISPID_UNKNOWN && methods[i].id == id) found = i;
      }
    }
    if (found == methods.size()) {
      *error = L"unknown method \"" + name + L"\"; valid names: " + ValidNames(methods);
      return std::nullopt;
    }
    chosen[found] = true;
    if (comma == std::wstring_view::npos) break;
    only.remove_prefix(comma + 1);
    if (only.empty()) {
      *error = L"unknown method \"\"; valid names: " + ValidNames(methods);
      return std::nullopt;
    }
  }
  std::vector<SurveyMethod> selected;
  for (size_t i = 0; i < methods.size(); ++i) {
    if (chosen[i]) selected.push_back(methods[i]);
  }
  return selected;
}

namespace {

// A whole number from |lowest| to |highest| in |value|, or 0.
int ReadCount(const std::wstring& value, int lowest, int highest) {
  int number = 0;
  for (const wchar_t c : value) {
    number = c >= L'0' && c <= L'9' && number <= highest ? number * 10 + (c - L'0') : highest + 1;
  }
  return number >= lowest && number <= highest ? number : 0;
}

// How one option is read: what it sets from its value (when it takes one);
// false with |error| set when the value is wrong.
struct OptionRow {
  const wchar_t* name;
  bool takes_value;
  bool (*read)(const std::wstring& value, Options* options, std::wstring* error);
};

constexpr OptionRow kOptionRows[] = {
    {L"--json", false, [](const std::wstring&, Options* o, std::wstring*) { return o->json = true; }},
    {L"--serial", false, [](const std::wstring&, Options* o, std::wstring*) { return o->serial = true; }},
    {L"--here", false, [](const std::wstring&, Options* o, std::wstring*) {
       o->source = Source::kHere;
       return true;
     }},
    {L"--ocx", true, [](const std::wstring& value, Options* o, std::wstring*) {
       o->source = Source::kOcx;
       o->ocx_path = value;
       return true;
     }},
    {L"--only", true, [](const std::wstring& value, Options* o, std::wstring* error) {
       o->only = value;
       if (value.empty()) *error = L"--only needs at least one method name";
       return !value.empty();
     }},
    {L"--jobs", true, [](const std::wstring& value, Options* o, std::wstring* error) {
       o->jobs = ReadCount(value, 1, kMostJobs);
       if (!o->jobs) *error = FormatText(L"--jobs needs a number of workers from 1 to %d", kMostJobs);
       return o->jobs != 0;
     }},
    {L"--timeout", true, [](const std::wstring& value, Options* o, std::wstring* error) {
       o->timeout = ReadCount(value, 1, kMostSeconds);
       if (!o->timeout) *error = FormatText(L"--timeout needs a number of seconds from 1 to %d", kMostSeconds);
       return o->timeout != 0;
     }},
    {L"--worker", true, [](const std::wstring& value, Options* o, std::wstring*) {
       o->worker_pipe = value;
       return true;
     }},
    {L"--describe", false, [](const std::wstring&, Options* o, std::wstring*) { return o->describe = true; }},
    {L"--csv", true, [](const std::wstring& value, Options* o, std::wstring*) {
       o->csv = value;
       return true;
     }},
    {L"--html", true, [](const std::wstring& value, Options* o, std::wstring*) {
       o->html = value;
       return true;
     }},
    {L"--jsonl", true, [](const std::wstring& value, Options* o, std::wstring*) {
       o->jsonl = value;
       return true;
     }},
    {L"--expect", true, [](const std::wstring& value, Options* o, std::wstring*) {
       o->expect = value;
       return true;
     }},
};

bool IsOption(const std::wstring& arg) { return arg.size() > 1 && arg[0] == L'-'; }

// The options given together that exclude each other, or a merge given
// without an output; empty when there is none.
std::wstring Conflict(const Options& o, const std::vector<std::wstring>& given) {
  const auto has = [&](const wchar_t* name) { return std::find(given.begin(), given.end(), name) != given.end(); };
  if (has(L"--ocx") && has(L"--here")) return L"--ocx and --here exclude each other";
  if (has(L"--serial") && has(L"--jobs")) return L"--serial and --jobs exclude each other";
  if (has(L"--describe") && !has(L"--worker")) return L"--describe is for the survey's own worker processes";
  const bool output = !o.csv.empty() || !o.html.empty() || !o.jsonl.empty();
  if (!o.merge()) return output || has(L"--expect") ? L"--csv, --html, --jsonl and --expect go with --merge" : L"";
  for (const wchar_t* survey : {L"--json", L"--serial", L"--here", L"--ocx", L"--only", L"--jobs", L"--timeout",
                                L"--worker"}) {
    if (has(survey)) return std::wstring(L"--merge and ") + survey + L" exclude each other";
  }
  return output ? L"" : L"--merge needs --csv, --html or --jsonl";
}

// The first name in |only| that this tool does not know, with the valid ones.
std::wstring UnknownName(std::wstring_view only) {
  while (true) {
    const size_t comma = only.find(L',');
    const std::wstring_view name = only.substr(0, comma);
    if (!IsKnownName(name)) {
      std::wstring valid;
      for (const std::wstring& known : KnownMethodNames()) valid += (valid.empty() ? L"" : L", ") + known;
      return L"unknown method \"" + std::wstring(name) + L"\"; valid names: " + valid;
    }
    if (comma == std::wstring_view::npos) return L"";
    only.remove_prefix(comma + 1);
  }
}

}  // namespace

std::optional<Options> ParseCommandLine(const std::vector<std::wstring>& args, std::wstring* error) {
  Options options;
  std::vector<std::wstring> given;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::wstring& arg = args[i];
    if (arg == L"--help" || arg == L"-h" || arg == L"/?") {
      options.help = true;
      continue;
    }
    if (std::find(given.begin(), given.end(), arg) != given.end()) {
      *error = arg + L" is given twice";
      return std::nullopt;
    }
    given.push_back(arg);
    if (arg == L"--merge") {
      while (i + 1 < args.size() && !IsOption(args[i + 1])) options.merge_inputs.push_back(args[++i]);
      if (options.merge_inputs.empty()) *error = L"--merge needs at least one file or folder";
      if (options.merge_inputs.empty()) return std::nullopt;
      continue;
    }
    const OptionRow* row = nullptr;
    for (const OptionRow& candidate : kOptionRows) {
      if (arg == candidate.name) row = &candidate;
    }
    if (!row) {
      *error = L"unknown argument \"" + arg + L"\" (see --help)";
      return std::nullopt;
    }
    if (row->takes_value && i + 1 >= args.size()) {
      *error = arg + L" needs a value";
      return std::nullopt;
    }
    if (!row->read(row->takes_value ? args[++i] : std::wstring(), &options, error)) return std::nullopt;
  }
  *error = Conflict(options, given);
  if (error->empty() && !options.only.empty()) *error = UnknownName(options.only);
  if (!error->empty()) return std::nullopt;
  return options;
}

std::wstring QuoteArgument(std::wstring_view argument) {
  if (!argument.empty() && argument.find_first_of(L" \t\n\v\"") == std::wstring_view::npos) {
    return std::wstring(argument);
  }
  std::wstring quoted = L"\"";
  size_t backslashes = 0;
  for (const wchar_t c : argument) {
    if (c == L'\\') {
      ++backslashes;
      continue;
    }
    // Backslashes escape only before a quote: doubled there, with one more for the quote itself.
    quoted.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
    quoted += c;
    backslashes = 0;
  }
  quoted.append(backslashes * 2, L'\\');
  return quoted + L"\"";
}

std::wstring FormatAnswer(const SurveyMethod& method, const Answer& answer) {
  std::wstring head = FormatText(L"%s (%d):", method.name.c_str(), static_cast<int>(method.id));
  switch (answer.kind) {
    case Answer::Kind::kNothing:
      return head + L" (no answer)\n";
    case Answer::Kind::kFailed:
      head += FormatText(L" error 0x%08lX", static_cast<unsigned long>(answer.result));
      if (!answer.text.empty()) head += L" " + Visible(answer.text);
      return head + L"\n";
    case Answer::Kind::kNumber:
      return head + FormatText(L" %ld\n", answer.number);
    case Answer::Kind::kText:
      break;
  }
  if (answer.text.empty()) return head + L" (empty)\n";
  const std::vector<std::wstring_view> lines = Lines(answer.text);
  if (lines.size() == 1) return head + L" " + Visible(lines.front()) + L"\n";
  std::wstring text = head + L"\n";
  for (std::wstring_view line : lines) {
    if (!line.empty()) text += L"    ";
    text += Visible(line);
    text += L"\n";
  }
  return text;
}

std::string FormatJson(const std::vector<std::pair<SurveyMethod, Answer>>& answers, const RecordInfo& info) {
  using Json = nlohmann::ordered_json;
  Json object = Json::object();
  Json errors = Json::object();
  for (const auto& [method, answer] : answers) {
    Json& value = object[Utf8(method.name)];
    switch (answer.kind) {
      case Answer::Kind::kText:
        value = Utf8(answer.text);
        break;
      case Answer::Kind::kNumber:
        value = answer.number;
        break;
      case Answer::Kind::kNothing:
        value = nullptr;
        break;
      case Answer::Kind::kFailed: {
        value = nullptr;
        Json& error = errors[Utf8(method.name)];
        error["hresult"] = HexCode(answer.result);
        if (answer.result == DISP_E_EXCEPTION) error["exception"] = HexCode(answer.exception);
        error["message"] = Utf8(answer.text);
        break;
      }
    }
  }
  object["schema"] = kSchemaVersion;
  object["computer"] = Utf8(info.computer);
  object["collected"] = Utf8(info.collected);
  object["tool"] = {{"version", Utf8(info.tool_version)}, {"bits", info.tool_bits}};
  object["control"] = {{"version", info.control_version.empty() ? Json(nullptr) : Json(Utf8(info.control_version))},
                       {"path", Utf8(info.control_path)}};
  object["elapsedMs"] = info.elapsed_ms;
  Facts facts = ReadFacts(answers);
  object["facts"] = std::move(facts.values);
  for (const auto& [method, format] : facts.unreadable) {
    errors[Utf8(method)] = {{"format", Utf8(format)}, {"message", "the answer does not have its documented format"}};
  }
  if (!errors.empty()) object["errors"] = std::move(errors);
  return JsonText(object) + "\n";
}

std::wstring DescribeFailure(std::wstring_view what, HRESULT hr, std::wstring_view message) {
  std::wstring text = std::wstring(what) + FormatText(L" failed: 0x%08lX", static_cast<unsigned long>(hr));
  while (!message.empty() && IsWhiteSpace(message.back())) message.remove_suffix(1);
  if (!message.empty()) text += L" " + std::wstring(message);
  return text;
}

std::wstring NotRegisteredMessage(bool tool_is_64_bit) {
  if (tool_is_64_bit) {
    return L"the Pelmora Control (ORVANTA.OrvantaCtrl.1) is not registered for 64-bit programs: register the "
           L"64-bit ORVANTA.OCX with \"regsvr32 ORVANTA.OCX\" as administrator, or run with --here or --ocx PATH";
  }
  return L"the Pelmora Control (ORVANTA.OrvantaCtrl.1) is not registered for 32-bit programs: register the "
         L"32-bit ORVANTA.OCX with \"regsvr32 ORVANTA.OCX\" as administrator (on 64-bit Windows with "
         L"%SystemRoot%\\SysWOW64\\regsvr32.exe), or run with --here or --ocx PATH";
}

std::wstring HelpText() {
  return LR"HELP(Usage: orvanta-survey [--json] [--only NAME[,NAME...]] [--here | --ocx PATH]
                      [--serial | --jobs N] [--timeout SECONDS]
       orvanta-survey --merge FILE_OR_FOLDER... [--csv OUT.csv] [--html OUT.html]
                      [--jsonl OUT.jsonl] [--expect COMPUTERS.txt]

Creates the Pelmora Control (ORVANTA.OCX), reads its methods from its type
information, calls each (the About box left out) and prints what each
answers.

Options:
  --json          Print one JSON record instead of text: the answers keyed by
                  method name, exactly as returned (line ends kept as \n,
                  lone surrogates as \uD8xx escapes), IsInstall as a number,
                  null for a method that failed; then the computer, the time
                  (UTC), the tool and the control that answered, the facts
                  read from the answers, and "errors" for each method that
                  failed or whose answer could not be read
                  (docs/survey.schema.json describes it).
  --only NAMES    Call only the named methods (comma-separated, letter case
                  ignored; the control's other names GetSoundcardInfo and
                  GetSamplingFrequencyInfo are accepted too). An unknown name
                  is an error.
  --here          Create the control without registration, through the
                  side-by-side manifests beside this program:
                  orvanta-survey.here.manifest and Orvanta.Control.manifest,
                  with ORVANTA.OCX in the same folder.
  --ocx PATH      Create the control from the module file PATH (relative to
                  the current folder), without registration or manifests.
  --serial        Ask one method after another, in interface order, in one
                  worker process.
  --jobs N        Ask methods in at most N worker processes at once (1 to
                  32; by default as many as there are logical processors,
                  at least 2).
  --timeout S     End a worker that has not answered after S seconds (1 to
                  3600; by default a minute more than ten times what its
                  methods typically take) and ask its methods again.
  --merge INPUTS  Read the --json records in the files and folders given
                  (*.json in a folder) and write, for the latest record of
                  each computer:
    --csv FILE      one row per computer and one column per fact (UTF-8 with
                    a byte order mark, for Excel);
    --html FILE     one page with charts of the whole fleet and a table that
                    sorts by any column, needing no network;
    --jsonl FILE    one record per line (JSON Lines).
                  A file that is not a record, or whose schema this tool does
                  not know, is named on standard error and left out.
    --expect FILE   the computers that should have a record, one name per
                    line: those without one are named as missing.
  --help          Show this text.

Without --here or --ocx the control is created by its ProgID
ORVANTA.OrvantaCtrl.1 and must be registered for this program's bitness
(regsvr32 ORVANTA.OCX; for the 32-bit file on 64-bit Windows,
%SystemRoot%\SysWOW64\regsvr32.exe ORVANTA.OCX).

Text output shows each method with its dispatch identifier; answers of more
than one line follow indented, "(empty)" stands for an empty answer and
"error 0x........" for a call that failed; control characters show as \xHH.
Output is UTF-8 without a byte order mark, with LF line ends (wide text on a
console). Every method is asked even when others fail. Methods are asked side
by side by worker processes (copies of this program, each with a control of
its own, ended with the survey) and printed in interface order once all are
in. GetCPUFrequency measures the clock for about two seconds in a worker on a
processor that the others leave alone meanwhile (after them, on a machine
with one processor). A worker that crashes or passes its time limit is ended,
and its methods not yet answered are asked again, each in a fresh worker; a
method that fails there too is reported as failed. While the tool waits, a
progress line on standard error shows how many answers are in, when that is
a console.

Exit codes:
  0  every method answered (--merge: every input was read)
  1  the control could not be created or its type information not read
  2  the control is not registered
  3  the command line is wrong
  4  every method was asked, and at least one failed (--merge: an input was
     left out, or an expected computer has no record)
  5  the output could not be written
)HELP";
}

StatusLine::~StatusLine() {
  try {
    Clear();
  } catch (...) {
  }
}

void StatusLine::Show(int answered, int total) {
  if (!shown_) return;
  std::wstring text = FormatText(L"%d of %d answers in...", answered, total);
  const size_t width = text.size();
  if (width < width_) text.append(width_ - width, L' ');
  width_ = std::max(width_, width);
  write_(L"\r" + text);
}

void StatusLine::Say(std::wstring_view message) {
  Clear();
  write_(L"orvanta-survey: " + std::wstring(message) + L"\n");
}

void StatusLine::Clear() {
  if (width_ == 0) return;
  write_(L"\r" + std::wstring(width_, L' ') + L"\r");
  width_ = 0;
}

}  // namespace orvanta::survey
