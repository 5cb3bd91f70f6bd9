// orvanta-survey: surveys this machine through the Pelmora Control and prints
// every answer. See HelpText() in survey_report.cpp for the command line.
#include <windows.h>

#include <string>
#include <vector>

#include "framework/com_apartment.h"
#include "framework/report_text.h"
#include "tools/survey/survey_client.h"
#include "tools/survey/survey_report.h"

namespace orvanta::survey {
namespace {

bool IsConsole(HANDLE handle) {
  DWORD mode;
  return GetConsoleMode(handle, &mode) != 0;
}

// Writes |text| to a console as wide text, or anywhere else as UTF-8.
void Write(DWORD which, std::wstring_view text) {
  const HANDLE handle = GetStdHandle(which);
  DWORD written = 0;
  if (IsConsole(handle)) {
    WriteConsoleW(handle, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    return;
  }
  if (text.empty()) return;
  const int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr,
                                       nullptr);
  std::string bytes(size, '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), bytes.data(), size, nullptr, nullptr);
  WriteFile(handle, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
}

// Writes UTF-8 |bytes| as they are, or to a console as the wide text they hold.
void WriteBytes(DWORD which, const std::string& bytes) {
  const HANDLE handle = GetStdHandle(which);
  DWORD written = 0;
  if (IsConsole(handle) && !bytes.empty()) {
    const int size = MultiByteToWideChar(CP_UTF8, 0, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
    std::wstring text(size, L'\0');
    MultiByteToWideChar(CP_UTF8, 0, bytes.data(), static_cast<int>(bytes.size()), text.data(), size);
    WriteConsoleW(handle, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    return;
  }
  WriteFile(handle, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
}

void Fail(const std::wstring& message) { Write(STD_ERROR_HANDLE, L"orvanta-survey: " + message + L"\n"); }

// A line on a console standard error while a slow method runs, wiped when it
// returns. Shows nothing when standard error is not a console.
class ProgressLine {
 public:
  explicit ProgressLine(const SurveyMethod& method) {
    if (method.name != L"GetCPUFrequency" || !IsConsole(GetStdHandle(STD_ERROR_HANDLE))) return;
    text_ = L"Measuring the processor clock (about two seconds)...";
    Write(STD_ERROR_HANDLE, text_);
  }
  ProgressLine(const ProgressLine&) = delete;
  ProgressLine& operator=(const ProgressLine&) = delete;
  ~ProgressLine() {
    if (!text_.empty()) Write(STD_ERROR_HANDLE, L"\r" + std::wstring(text_.size(), L' ') + L"\r");
  }

 private:
  std::wstring text_;
};

int Run(const std::vector<std::wstring>& args) {
  std::wstring error;
  const std::optional<Options> options = ParseCommandLine(args, &error);
  if (!options) {
    Fail(error);
    return kExitUsage;
  }
  if (options->help) {
    Write(STD_OUTPUT_HANDLE, HelpText());
    return kExitOk;
  }

  ComApartment apartment(COINIT_APARTMENTTHREADED);
  if (!apartment.Initialized()) {
    Fail(DescribeFailure(L"initialising COM", apartment.Result(), SystemMessage(apartment.Result())));
    return kExitFailure;
  }
  SurveyClient client;
  if (const int status = client.Create(*options, &error); status != kExitOk) {
    Fail(error);
    return status;
  }
  const std::optional<std::vector<SurveyMethod>> methods = client.ReadMethods(&error);
  if (!methods) {
    Fail(error);
    return kExitFailure;
  }
  const auto chosen = SelectMethods(
      *methods, options->only, [&](const std::wstring& name) { return client.FindIdentifier(name); }, &error);
  if (!chosen) {
    Fail(error);
    return kExitUsage;
  }

  // Every method is asked, whatever the others answered.
  std::vector<std::pair<SurveyMethod, Answer>> answers;
  int failed = 0;
  for (const SurveyMethod& method : *chosen) {
    Answer answer;
    {
      ProgressLine progress(method);
      answer = client.Call(method);
    }
    if (answer.kind == Answer::Kind::kFailed) ++failed;
    if (options->json) {
      answers.emplace_back(method, std::move(answer));
    } else {
      Write(STD_OUTPUT_HANDLE, FormatAnswer(method, answer));
    }
  }
  if (options->json) WriteBytes(STD_OUTPUT_HANDLE, FormatJson(answers));
  if (failed == 0) return kExitOk;
  Fail(FormatText(L"%d of %d methods failed", failed, static_cast<int>(chosen->size())));
  return kExitMethodFailed;
}

}  // namespace
}  // namespace orvanta::survey

int wmain(int argc, wchar_t** argv) {
  std::vector<std::wstring> args(argv + 1, argv + argc);
  return orvanta::survey::Run(args);
}
