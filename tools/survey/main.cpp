// orvanta-survey: surveys this machine through the Pelmora Control and prints
// every answer. See HelpText() in survey_report.cpp for the command line.
#include <windows.h>

#include <algorithm>
#include <exception>
#include <optional>
#include <string>
#include <vector>

#include "framework/com_apartment.h"
#include "framework/report_text.h"
#include "tools/survey/survey_client.h"
#include "tools/survey/survey_pool.h"
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

// A line on a console standard error while the survey runs: how many
// answers are in, and when the processor clock is being measured; wiped at
// the end. Shows nothing when standard error is not a console.
class ProgressLine {
 public:
  explicit ProgressLine(size_t total)
      : total_(static_cast<int>(total)), shown_(IsConsole(GetStdHandle(STD_ERROR_HANDLE))) {}
  ProgressLine(const ProgressLine&) = delete;
  ProgressLine& operator=(const ProgressLine&) = delete;
  ~ProgressLine() {
    try {
      if (width_ > 0) Write(STD_ERROR_HANDLE, L"\r" + std::wstring(width_, L' ') + L"\r");
    } catch (...) {
    }
  }

  void Show(int answered, bool measuring_clock) {
    if (!shown_) return;
    std::wstring text = FormatText(L"%d of %d answers in", answered, total_);
    text += measuring_clock ? L"; measuring the processor clock (about two seconds)..." : L"...";
    const size_t width = text.size();
    if (width < width_) text.append(width_ - width, L' ');
    width_ = std::max(width_, width);
    Write(STD_ERROR_HANDLE, L"\r" + text);
  }

 private:
  int total_;
  bool shown_;
  size_t width_ = 0;
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
  const std::vector<SurveyMethod>& asked = *chosen;
  if (options->worker) {
    // A worker's answers go to the survey that started it, as they come in.
    for (const SurveyMethod& method : asked) {
      const std::string record = EncodeAnswer(method.name, client.Call(method));
      DWORD written = 0;
      if (!WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), record.data(), static_cast<DWORD>(record.size()), &written,
                     nullptr)) {
        return kExitFailure;
      }
    }
    return kExitOk;
  }
  std::vector<std::optional<Answer>> answers(asked.size());
  {
    ProgressLine progress(asked.size());
    int answered = 0;  // asked here
    int from_workers = 0;
    const auto ask = [&](size_t index) {
      progress.Show(answered + from_workers, IsClockMethod(asked[index]));
      answers[index] = client.Call(asked[index]);
      ++answered;
    };
    SYSTEM_INFO system;
    GetSystemInfo(&system);
    const SurveyPlan plan =
        PlanSurvey(asked, PoolSize(options->jobs, static_cast<int>(system.dwNumberOfProcessors), asked.size()));
    // A single share with nothing beside it is asked here: a worker would
    // only add its start.
    if (options->serial || plan.shares.size() + (plan.alone.empty() ? 0 : 1) < 2) {
      for (size_t index = 0; index < asked.size(); ++index) ask(index);
    } else {
      progress.Show(0, false);
      AskSideBySide(
          *options, asked, plan.shares, [&] { for (const size_t index : plan.alone) ask(index); }, &answers,
          [&](int count) {
            from_workers = count;
            progress.Show(answered + from_workers, false);
          });
      // Whatever the workers could not answer, here one after another.
      int left = 0;
      for (size_t index = 0; index < asked.size(); ++index) {
        if (answers[index]) continue;
        ask(index);
        ++left;
      }
      if (left > 0) Fail(FormatText(L"%d methods were asked here, one after another: no worker answered them", left));
    }
  }
  std::vector<std::pair<SurveyMethod, Answer>> in_order;
  int failed = 0;
  for (size_t index = 0; index < asked.size(); ++index) {
    const Answer& answer = *answers[index];
    if (answer.kind == Answer::Kind::kFailed) ++failed;
    if (options->json) {
      in_order.emplace_back(asked[index], answer);
    } else {
      Write(STD_OUTPUT_HANDLE, FormatAnswer(asked[index], answer));
    }
  }
  if (options->json) WriteBytes(STD_OUTPUT_HANDLE, FormatJson(in_order));
  if (failed == 0) return kExitOk;
  Fail(FormatText(L"%d of %d methods failed", failed, static_cast<int>(chosen->size())));
  return kExitMethodFailed;
}

}  // namespace
}  // namespace orvanta::survey

int wmain(int argc, wchar_t** argv) {
  try {
    std::vector<std::wstring> args(argv + 1, argv + argc);
    return orvanta::survey::Run(args);
  } catch (const std::exception&) {
    // Out of memory: a fixed message, since nothing more can be allocated.
    static const char kMessage[] = "orvanta-survey: out of memory\n";
    DWORD written = 0;
    WriteFile(GetStdHandle(STD_ERROR_HANDLE), kMessage, sizeof(kMessage) - 1, &written, nullptr);
    return orvanta::survey::kExitFailure;
  }
}
