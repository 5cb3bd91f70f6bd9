#include "tools/survey/survey_report.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <cwctype>

#include <nlohmann/json.hpp>

#include "framework/report_text.h"

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

std::string Utf8(std::wstring_view text) {
  if (text.empty()) return {};
  const int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr,
                                       nullptr);
  std::string bytes(size, '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), bytes.data(), size, nullptr, nullptr);
  return bytes;
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

// What a concurrent survey knows of a method before asking it: the
// milliseconds that it typically takes in a process of its own (what the
// runtimes it loads cost under Wine, see docs/performance.md). Methods not
// listed take a few milliseconds.
struct MethodCost {
  const wchar_t* name;
  int milliseconds;
};

constexpr MethodCost kMethodCosts[] = {
    {L"GetUnifiedShaderVersion", 2300},  // eight Direct3D 10.1 devices
    {L"GetVRAMbyRegInfo", 1000},         // DxDiag, DirectDraw and the registry
    {L"GetVideocardNameInfo", 950},      // DxDiag and DirectDraw
    {L"GetDirectXInfo", 700},            // DxDiag
    {L"GetVRAMInfo", 370},               // DirectDraw
    {L"GetVideoDriverInfo", 290},        // Direct3D 8
    {L"GetPixelShaderVersion", 290},     // Direct3D 9
    {L"GetALLVRAMInfo", 280},            // DirectDraw
    {L"GetVertexShaderVersion", 280},    // Direct3D 9
    {L"GetSamplingFrequency", 20},       // DirectSound
};

int CostOf(const std::wstring& name) {
  for (const MethodCost& cost : kMethodCosts) {
    if (name == cost.name) return cost.milliseconds;
  }
  return 1;
}

// The fields of an answer record, in order, before the name and the text.
enum RecordField { kKind, kNumber, kResult, kException, kNameLength, kTextLength, kFields };

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

std::string EncodeAnswer(std::wstring_view name, const Answer& answer) {
  const uint32_t fields[kFields] = {static_cast<uint32_t>(answer.kind), static_cast<uint32_t>(answer.number),
                                    static_cast<uint32_t>(answer.result), static_cast<uint32_t>(answer.exception),
                                    static_cast<uint32_t>(name.size()), static_cast<uint32_t>(answer.text.size())};
  std::string record(reinterpret_cast<const char*>(fields), sizeof(fields));
  record.append(reinterpret_cast<const char*>(name.data()), name.size() * sizeof(wchar_t));
  record.append(reinterpret_cast<const char*>(answer.text.data()), answer.text.size() * sizeof(wchar_t));
  return record;
}

bool TakeAnswer(std::string* bytes, std::wstring* name, Answer* answer) {
  uint32_t fields[kFields];
  if (bytes->size() < sizeof(fields)) return false;
  std::memcpy(fields, bytes->data(), sizeof(fields));
  const uint64_t name_bytes = uint64_t{fields[kNameLength]} * sizeof(wchar_t);
  const uint64_t text_bytes = uint64_t{fields[kTextLength]} * sizeof(wchar_t);
  if (bytes->size() - sizeof(fields) < name_bytes + text_bytes) return false;
  const char* next = bytes->data() + sizeof(fields);
  name->assign(reinterpret_cast<const wchar_t*>(next), fields[kNameLength]);
  next += name_bytes;
  answer->kind = static_cast<Answer::Kind>(fields[kKind]);
  answer->number = static_cast<long>(fields[kNumber]);
  answer->result = static_cast<HRESULT>(fields[kResult]);
  answer->exception = static_cast<HRESULT>(fields[kException]);
  answer->text.assign(reinterpret_cast<const wchar_t*>(next), fields[kTextLength]);
  bytes->erase(0, sizeof(fields) + name_bytes + text_bytes);
  return true;
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

std::optional<Options> ParseCommandLine(const std::vector<std::wstring>& args, std::wstring* error) {
  Options options;
  std::optional<std::wstring> only;
  bool have_source = false;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::wstring& arg = args[i];
    const bool has_value = i + 1 < args.size();
    if (arg == L"--help" || arg == L"-h" || arg == L"/?") {
      options.help = true;
    } else if (arg == L"--json") {
      options.json = true;
    } else if (arg == L"--serial") {
      if (options.jobs > 0) {
        *error = L"--serial and --jobs exclude each other";
        return std::nullopt;
      }
      options.serial = true;
    } else if (arg == L"--jobs") {
      if (options.serial) {
        *error = L"--serial and --jobs exclude each other";
        return std::nullopt;
      }
      if (options.jobs > 0) {
        *error = L"--jobs is given twice";
        return std::nullopt;
      }
      const std::wstring value = has_value ? args[++i] : L"";
      int jobs = 0;
      for (const wchar_t c : value) {
        jobs = c >= L'0' && c <= L'9' && jobs <= kMostJobs ? jobs * 10 + (c - L'0') : kMostJobs + 1;
      }
      if (jobs < 1 || jobs > kMostJobs) {
        *error = FormatText(L"--jobs needs a number of workers from 1 to %d", kMostJobs);
        return std::nullopt;
      }
      options.jobs = jobs;
    } else if (arg == L"--only" || arg == L"--ocx") {
      if (!has_value) {
        *error = arg + L" needs a value";
        return std::nullopt;
      }
      if (arg == L"--only") {
        if (only) {
          *error = L"--only is given twice";
          return std::nullopt;
        }
        only = args[++i];
        if (only->empty()) {
          *error = L"--only needs at least one method name";
          return std::nullopt;
        }
        continue;
      }
      if (have_source) {
        *error = L"--ocx and --here exclude each other";
        return std::nullopt;
      }
      have_source = true;
      options.source = Source::kOcx;
      options.ocx_path = args[++i];
    } else if (arg == L"--worker") {
      options.worker = true;
    } else if (arg == L"--here") {
      if (have_source) {
        *error = L"--ocx and --here exclude each other";
        return std::nullopt;
      }
      have_source = true;
      options.source = Source::kHere;
    } else {
      *error = L"unknown argument \"" + arg + L"\" (see --help)";
      return std::nullopt;
    }
  }
  options.only = only.value_or(L"");
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
      if (!answer.text.empty()) head += L" " + answer.text;
      return head + L"\n";
    case Answer::Kind::kNumber:
      return head + FormatText(L" %ld\n", answer.number);
    case Answer::Kind::kText:
      break;
  }
  if (answer.text.empty()) return head + L" (empty)\n";
  const std::vector<std::wstring_view> lines = Lines(answer.text);
  if (lines.size() == 1) return head + L" " + std::wstring(lines.front()) + L"\n";
  std::wstring text = head + L"\n";
  for (std::wstring_view line : lines) {
    if (!line.empty()) text += L"    ";
    text += line;
    text += L"\n";
  }
  return text;
}

std::string FormatJson(const std::vector<std::pair<SurveyMethod, Answer>>& answers) {
  nlohmann::ordered_json object = nlohmann::ordered_json::object();
  nlohmann::ordered_json errors = nlohmann::ordered_json::object();
  for (const auto& [method, answer] : answers) {
    nlohmann::ordered_json& value = object[Utf8(method.name)];
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
        nlohmann::ordered_json& error = errors[Utf8(method.name)];
        error["hresult"] = HexCode(answer.result);
        if (answer.result == DISP_E_EXCEPTION) error["exception"] = HexCode(answer.exception);
        error["message"] = Utf8(answer.text);
        break;
      }
    }
  }
  if (!errors.empty()) object["errors"] = std::move(errors);
  return object.dump(2) + "\n";
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
                      [--serial | --jobs N]

Creates the Pelmora Control (ORVANTA.OCX), reads its methods from its type
information, calls each (the About box left out) and prints what each
answers.

Options:
  --json          Print one JSON object keyed by method name instead of text:
                  answers exactly as returned (line ends kept as \n),
                  IsInstall as a number, null for a method that failed, and
                  then "errors" with the HRESULT and message of each failed
                  method (docs/survey.schema.json describes it).
  --only NAMES    Call only the named methods (comma-separated, letter case
                  ignored; the control's other names GetSoundcardInfo and
                  GetSamplingFrequencyInfo are accepted too). An unknown name
                  is an error.
  --here          Create the control without registration, through the
                  side-by-side manifests beside this program:
                  orvanta-survey.here.manifest and Orvanta.Control.manifest,
                  with ORVANTA.OCX in the same folder.
  --ocx PATH      Create the control from the module file PATH, without
                  registration and without manifests.
  --serial        Ask one method after another, in interface order.
  --jobs N        Ask methods in at most N worker processes at once (1 to
                  32; by default as many as there are logical processors,
                  at least 2).
  --help          Show this text.

Without --here or --ocx the control is created by its ProgID
ORVANTA.OrvantaCtrl.1 and must be registered for this program's bitness
(regsvr32 ORVANTA.OCX; for the 32-bit file on 64-bit Windows,
%SystemRoot%\SysWOW64\regsvr32.exe ORVANTA.OCX).

Text output shows each method with its dispatch identifier; answers of more
than one line follow indented, "(empty)" stands for an empty answer and
"error 0x........" for a call that failed. Every method is asked even when
others fail. Methods are asked side by side by worker processes (copies of
this program, each with a control of its own) and printed in interface order
once all are in. GetCPUFrequency measures the clock for about two seconds on
a processor that the workers leave alone meanwhile (after them, on a machine
with one processor). While the tool waits, a progress line on standard error
shows how many answers are in, when that is a console.

Exit codes:
  0  every method answered
  1  the control could not be created or its type information not read
  2  the control is not registered
  3  the command line is wrong
  4  every method was asked, and at least one failed
)HELP";
}

}  // namespace orvanta::survey
