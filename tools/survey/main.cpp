// orvanta-survey: surveys this machine through the Pelmora Control and prints
// every answer, or merges many machines' records. See HelpText() in
// survey_report.cpp for the command line.
#include <windows.h>

#include <exception>
#include <new>
#include <optional>
#include <string>
#include <vector>

#include "framework/com_apartment.h"
#include "framework/report_text.h"
#include "tools/survey/survey_client.h"
#include "tools/survey/survey_merge.h"
#include "tools/survey/survey_pool.h"
#include "tools/survey/survey_report.h"
#include "tools/survey/survey_text.h"

namespace orvanta::survey {
namespace {

bool IsConsole(HANDLE handle) {
  DWORD mode;
  return GetConsoleMode(handle, &mode) != 0;
}

// Writes UTF-8 |bytes| to a file or pipe as they are, or to a console as the
// wide text they hold. False when not every byte was written.
bool WriteBytes(DWORD which, const std::string& bytes) {
  const HANDLE handle = GetStdHandle(which);
  DWORD written = 0;
  if (IsConsole(handle)) {
    const std::wstring text = Wide(bytes);
    return text.empty() || (WriteConsoleW(handle, text.data(), static_cast<DWORD>(text.size()), &written, nullptr) &&
                            written == text.size());
  }
  return bytes.empty() ||
         (WriteFile(handle, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) && written == bytes.size());
}

bool Write(DWORD which, std::wstring_view text) { return WriteBytes(which, Utf8(text)); }

void Fail(std::wstring_view message) { Write(STD_ERROR_HANDLE, L"orvanta-survey: " + std::wstring(message) + L"\n"); }

// Standard output's last step: a file on disk (or a share) is flushed, so
// that a write that the system held back and then could not make is seen.
bool FinishOutput() {
  const HANDLE handle = GetStdHandle(STD_OUTPUT_HANDLE);
  return GetFileType(handle) != FILE_TYPE_DISK || FlushFileBuffers(handle);
}

int NotWritten(std::wstring_view what) {
  const HRESULT hr = HRESULT_FROM_WIN32(GetLastError());
  Fail(DescribeFailure(L"writing " + std::wstring(what), hr, SystemMessage(hr)));
  return kExitNotWritten;
}

std::vector<std::wstring> Split(const std::wstring& names) {
  std::vector<std::wstring> parts;
  for (size_t start = 0; start <= names.size();) {
    const size_t comma = std::min(names.find(L',', start), names.size());
    parts.push_back(names.substr(start, comma - start));
    start = comma + 1;
  }
  return parts;
}

// The control created as |options| say and its methods that --only
// chooses; on failure nothing, with the exit code in |status| and the message
// in |error|.
std::optional<std::vector<SurveyMethod>> ChooseMethods(const Options& options, SurveyClient* client, int* status,
                                                       std::wstring* error) {
  *status = client->Create(options, error);
  std::optional<std::vector<SurveyMethod>> methods;
  if (*status == kExitOk) {
    methods = client->ReadMethods(error);
    *status = methods ? kExitOk : kExitFailure;
  }
  if (!methods) return std::nullopt;
  auto chosen = SelectMethods(*methods, options.only, [&](const std::wstring& name) {
    return client->FindIdentifier(name);
  }, error);
  if (!chosen) *status = kExitUsage;
  return chosen;
}

// A worker: asks the methods that --only names and sends each answer to the
// survey that started it, as it comes in; with --describe, sends the methods
// themselves.
int RunWorker(const Options& options) {
  // An unattended run must not stop at a dialog of the system's.
  SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX | SEM_NOOPENFILEERRORBOX);
  std::wstring error;
  const ScopedHandle pipe = ConnectToSurvey(options.worker_pipe, &error);
  if (!pipe) {
    Fail(error);
    return kExitUsage;
  }
  ComApartment apartment(COINIT_APARTMENTTHREADED);
  SurveyClient client;
  int status = kExitFailure;
  std::optional<std::vector<SurveyMethod>> chosen;
  if (!apartment.Initialized()) {
    error = DescribeFailure(L"initialising COM", apartment.Result(), SystemMessage(apartment.Result()));
  } else {
    chosen = ChooseMethods(options, &client, &status, &error);
  }
  if (options.describe) {
    const auto described = chosen ? std::optional<Description>({*chosen, client.ModuleFile()}) : std::nullopt;
    return SendDescription(pipe.Get(), described, status, error) ? status : kExitNotWritten;
  }
  if (!chosen) {
    // Every method fails for the same reason, which the survey reports.
    const Answer failed{Answer::Kind::kFailed, L"(the worker process: " + error + L")", 0, E_FAIL, S_OK};
    for (const std::wstring& name : Split(options.only)) {
      if (!SendAnswer(pipe.Get(), name, failed)) return kExitNotWritten;
    }
    return kExitFailure;
  }
  for (const SurveyMethod& method : *chosen) {
    if (!SendAnswer(pipe.Get(), method.name, client.Call(method))) return kExitNotWritten;
  }
  return kExitOk;
}

// Every chosen method's answer, asked by worker processes: side by side, or
// one after another in one worker with --serial.
std::vector<Answer> AskAll(const Options& options, const std::vector<SurveyMethod>& chosen) {
  SYSTEM_INFO system;
  GetSystemInfo(&system);
  SurveyPlan plan;
  if (options.serial) {
    plan.shares.emplace_back();
    for (size_t index = 0; index < chosen.size(); ++index) plan.shares.back().push_back(index);
  } else {
    plan = PlanSurvey(chosen, PoolSize(options.jobs, static_cast<int>(system.dwNumberOfProcessors), chosen.size()));
  }
  StatusLine status([](std::wstring_view text) { Write(STD_ERROR_HANDLE, text); },
                    IsConsole(GetStdHandle(STD_ERROR_HANDLE)));
  const int total = static_cast<int>(chosen.size());
  status.Show(0, total);
  return AskInWorkers(
      options, chosen, plan, [&](int answered) { status.Show(answered, total); },
      [&](std::wstring_view message) { status.Say(message); });
}

RecordInfo Describe(const std::wstring& module_file, DWORD started) {
  RecordInfo info;
  wchar_t name[MAX_COMPUTERNAME_LENGTH + 1];
  DWORD length = MAX_COMPUTERNAME_LENGTH + 1;
  if (GetComputerNameW(name, &length)) info.computer.assign(name, length);
  SYSTEMTIME now;
  GetSystemTime(&now);
  info.collected = FormatText(L"%04u-%02u-%02uT%02u:%02u:%02uZ", now.wYear, now.wMonth, now.wDay, now.wHour,
                              now.wMinute, now.wSecond);
  info.tool_version = Wide(ORVANTA_VERSION);
  info.tool_bits = sizeof(void*) * 8;
  info.control_path = module_file;
  info.control_version = FileVersion(info.control_path);
  info.elapsed_ms = GetTickCount() - started;
  return info;
}

// Prints the answers as text or as the JSON record; the exit code.
int Print(const Options& options, const std::vector<SurveyMethod>& chosen, const std::vector<Answer>& answers,
          const RecordInfo& info) {
  std::vector<std::pair<SurveyMethod, Answer>> in_order;
  int failed = 0;
  for (size_t index = 0; index < chosen.size(); ++index) {
    if (answers[index].kind == Answer::Kind::kFailed) ++failed;
    in_order.emplace_back(chosen[index], answers[index]);
  }
  std::wstring text;
  for (const auto& [method, answer] : in_order) text += FormatAnswer(method, answer);
  const bool written = options.json ? WriteBytes(STD_OUTPUT_HANDLE, FormatJson(in_order, info))
                                    : Write(STD_OUTPUT_HANDLE, text);
  if (!written || !FinishOutput()) return NotWritten(L"the survey");
  if (failed == 0) return kExitOk;
  Fail(FormatText(L"%d of %d methods failed", failed, static_cast<int>(chosen.size())));
  return kExitMethodFailed;
}

// The survey runs no code of the control's: a worker creates the first
// control too, so that one which hangs or crashes there ends only the worker.
int RunSurvey(const Options& options) {
  const DWORD started = GetTickCount();
  int status = kExitOk;
  std::wstring error;
  const std::optional<Description> described = DescribeInWorker(options, &status, &error);
  if (!described) {
    Fail(error);
    return status;
  }
  const std::vector<Answer> answers = AskAll(options, described->methods);
  return Print(options, described->methods, answers, Describe(described->module_file, started));
}

// The whole content of the file |path|; false when it cannot be read.
bool ReadWholeFile(const std::wstring& path, std::string* bytes) {
  const ScopedHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
  LARGE_INTEGER size;
  if (!file || !GetFileSizeEx(file.Get(), &size) || size.QuadPart > (1 << 26)) return false;
  bytes->resize(static_cast<size_t>(size.QuadPart));
  DWORD read = 0;
  return bytes->empty() || (ReadFile(file.Get(), bytes->data(), static_cast<DWORD>(bytes->size()), &read, nullptr) &&
                            read == bytes->size());
}

bool WriteWholeFile(const std::wstring& path, const std::string& bytes) {
  const ScopedHandle file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
  DWORD written = 0;
  return file && WriteFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
         written == bytes.size() && FlushFileBuffers(file.Get());
}

// The files that |input| names: itself, or the *.json files in it when it
// is a folder, by name.
std::vector<std::wstring> InputFiles(const std::wstring& input) {
  const DWORD attributes = GetFileAttributesW(input.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY)) return {input};
  const std::wstring folder = input.back() == L'\\' || input.back() == L'/' ? input : input + L"\\";
  std::vector<std::wstring> files;
  WIN32_FIND_DATAW found;
  const HANDLE search = FindFirstFileW((folder + L"*.json").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return files;
  do {
    if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) files.push_back(folder + found.cFileName);
  } while (FindNextFileW(search, &found));
  FindClose(search);
  std::sort(files.begin(), files.end());
  return files;
}

int RunMerge(const Options& options) {
  FleetMerge merge;
  bool skipped = false;
  for (const std::wstring& input : options.merge_inputs) {
    for (const std::wstring& file : InputFiles(input)) {
      std::string bytes;
      std::wstring message;
      if (!ReadWholeFile(file, &bytes)) {
        const HRESULT hr = HRESULT_FROM_WIN32(GetLastError());
        message = DescribeFailure(L"reading " + file, hr, SystemMessage(hr)) + L"; left out";
        merge.NoteSkipped(file, message);
        skipped = true;
      } else if (!merge.Add(file, bytes, &message)) {
        skipped = true;
      }
      if (!message.empty()) Fail(message);
    }
  }
  std::string expected;
  if (!options.expect.empty() && !ReadWholeFile(options.expect, &expected)) {
    const HRESULT hr = HRESULT_FROM_WIN32(GetLastError());
    Fail(DescribeFailure(L"reading " + options.expect, hr, SystemMessage(hr)));
    return kExitFailure;
  }
  for (const std::wstring& computer : merge.Expect(expected)) {
    Fail(computer + L": no record");
    skipped = true;
  }
  const std::pair<const std::wstring*, std::string (FleetMerge::*)() const> outputs[] = {
      {&options.csv, &FleetMerge::Csv}, {&options.html, &FleetMerge::Html}, {&options.jsonl, &FleetMerge::JsonLines}};
  for (const auto& [path, write] : outputs) {
    if (!path->empty() && !WriteWholeFile(*path, (merge.*write)())) return NotWritten(*path);
  }
  Write(STD_ERROR_HANDLE, FormatText(L"orvanta-survey: %d machines merged\n", static_cast<int>(merge.Machines())));
  return skipped ? kExitMethodFailed : kExitOk;
}

int Run(const std::vector<std::wstring>& args) {
  std::wstring error;
  const std::optional<Options> options = ParseCommandLine(args, &error);
  if (!options) {
    Fail(error);
    return kExitUsage;
  }
  if (options->help) {
    return Write(STD_OUTPUT_HANDLE, HelpText()) && FinishOutput() ? kExitOk : NotWritten(L"the help");
  }
  if (options->merge()) return RunMerge(*options);
  if (!options->worker_pipe.empty()) return RunWorker(*options);
  return RunSurvey(*options);
}

}  // namespace
}  // namespace orvanta::survey

int wmain(int argc, wchar_t** argv) {
  // A fixed message for each, since nothing more may be allocated.
  const auto fail = [](const char* message) {
    DWORD written = 0;
    WriteFile(GetStdHandle(STD_ERROR_HANDLE), message, static_cast<DWORD>(strlen(message)), &written, nullptr);
    return orvanta::survey::kExitFailure;
  };
  try {
    std::vector<std::wstring> args(argv + 1, argv + argc);
    return orvanta::survey::Run(args);
  } catch (const std::bad_alloc&) {
    return fail("orvanta-survey: out of memory\n");
  } catch (const std::exception& e) {
    fail("orvanta-survey: unexpected failure: ");
    fail(e.what());
    return fail("\n");
  }
}
