#include "tools/survey/survey_pool.h"

#include <windows.h>

#include <exception>
#include <string>

#include "framework/scoped_handle.h"
#include "tools/survey/survey_client.h"

namespace orvanta::survey {
namespace {

// What the reading threads share with the caller. Each answer slot is written
// by the one thread that reads its worker's pipe and read by the caller only
// after every reading thread has ended.
struct Pool {
  const std::vector<SurveyMethod>& methods;
  std::vector<std::optional<Answer>>& answers;
  ScopedHandle answered;    // auto-reset event, set after each answer
  volatile LONG count = 0;  // answers in so far
};

struct Worker {
  Pool* pool;
  const std::vector<size_t>* share;
  ScopedHandle process;
  ScopedHandle output;  // the reading end of the worker's standard output
  ScopedHandle reader;  // the thread that reads it
};

DWORD WINAPI ReadAnswers(void* parameter) {
  Worker& worker = *static_cast<Worker*>(parameter);
  Pool& pool = *worker.pool;
  try {
    std::string bytes;
    std::wstring name;
    Answer answer;
    char buffer[4096];
    DWORD read = 0;
    while (ReadFile(worker.output.Get(), buffer, sizeof(buffer), &read, nullptr) && read > 0) {
      bytes.append(buffer, read);
      while (TakeAnswer(&bytes, &name, &answer)) {
        for (const size_t index : *worker.share) {
          if (pool.methods[index].name != name || pool.answers[index]) continue;
          pool.answers[index] = std::move(answer);
          InterlockedIncrement(&pool.count);
          SetEvent(pool.answered.Get());
          break;
        }
      }
    }
  } catch (...) {
    // Out of memory: what this worker's answers did not bring, the caller asks.
  }
  return 0;
}

// "--worker --only NAME,..." and how the control is created, for |share|.
std::wstring WorkerArguments(const Options& options, const std::vector<SurveyMethod>& methods,
                             const std::vector<size_t>& share) {
  std::wstring arguments = L" --worker --only ";
  for (const size_t index : share) arguments += methods[index].name + L",";
  arguments.pop_back();
  if (options.source == Source::kHere) arguments += L" --here";
  if (options.source == Source::kOcx) arguments += L" --ocx " + QuoteArgument(options.ocx_path);
  return arguments;
}

// Starts the worker for |worker.share| with its standard output on a pipe, on
// the processors of |processors| (all of the process's when 0), and a thread
// that reads that pipe. False when it could not be started.
bool Start(const std::wstring& program, const std::wstring& arguments, DWORD_PTR processors, Worker* worker) {
  SECURITY_ATTRIBUTES inherited = {sizeof(inherited), nullptr, TRUE};
  HANDLE reading = nullptr;
  HANDLE writing = nullptr;
  if (!CreatePipe(&reading, &writing, &inherited, 0)) return false;
  worker->output.Reset(reading);
  const ScopedHandle output(writing);
  if (!SetHandleInformation(reading, HANDLE_FLAG_INHERIT, 0)) return false;
  STARTUPINFOW startup = {};
  startup.cb = sizeof(startup);
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdOutput = writing;
  startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
  std::wstring command_line = QuoteArgument(program) + arguments;
  PROCESS_INFORMATION started = {};
  if (!CreateProcessW(program.c_str(), command_line.data(), nullptr, nullptr, TRUE, CREATE_SUSPENDED, nullptr,
                      nullptr, &startup, &started)) {
    return false;
  }
  worker->process.Reset(started.hProcess);
  const ScopedHandle thread(started.hThread);
  if (processors) SetProcessAffinityMask(started.hProcess, processors);
  worker->reader.Reset(CreateThread(nullptr, 0, ReadAnswers, worker, 0, nullptr));
  if (!worker->reader) {
    TerminateProcess(started.hProcess, 1);
    return false;
  }
  ResumeThread(started.hThread);
  return true;
}

// The highest processor of |processors|.
DWORD_PTR LastProcessor(DWORD_PTR processors) {
  DWORD_PTR last = 0;
  for (DWORD_PTR bit = 1; bit != 0 && bit <= processors; bit <<= 1) {
    if (processors & bit) last = bit;
  }
  return last;
}

}  // namespace

void AskSideBySide(const Options& options, const std::vector<SurveyMethod>& methods,
                   const std::vector<std::vector<size_t>>& shares, const std::function<void()>& meanwhile,
                   std::vector<std::optional<Answer>>* answers, const std::function<void(int)>& progress) {
  Pool pool{methods, *answers, ScopedHandle(CreateEventW(nullptr, FALSE, FALSE, nullptr))};
  const std::wstring program = ProgramPath();
  DWORD_PTR all = 0;
  DWORD_PTR system = 0;
  if (!GetProcessAffinityMask(GetCurrentProcess(), &all, &system)) all = 0;
  const DWORD_PTR own = LastProcessor(all);
  const DWORD_PTR others = all & ~own;  // none with one processor

  std::vector<Worker> workers;
  workers.reserve(shares.size());
  std::vector<std::wstring> arguments;
  for (const std::vector<size_t>& share : shares) arguments.push_back(WorkerArguments(options, methods, share));
  // Nothing below may throw while a reading thread runs: the threads use
  // |pool| and |workers|.
  std::vector<HANDLE> waiting;
  waiting.reserve(shares.size() + 1);
  waiting.push_back(pool.answered.Get());
  for (size_t i = 0; i < shares.size() && pool.answered && !program.empty(); ++i) {
    workers.push_back(Worker{&pool, &shares[i], {}, {}, {}});
    if (Start(program, arguments[i], others, &workers.back())) {
      waiting.push_back(workers.back().reader.Get());
    } else {
      workers.pop_back();
    }
  }

  std::exception_ptr failure;
  const bool side_by_side = others != 0 && !workers.empty();
  if (side_by_side) {
    const DWORD_PTR before = SetThreadAffinityMask(GetCurrentThread(), own);
    try {
      meanwhile();
    } catch (...) {
      failure = std::current_exception();
    }
    if (before) SetThreadAffinityMask(GetCurrentThread(), before);
    for (const Worker& worker : workers) SetProcessAffinityMask(worker.process.Get(), all);
  }
  // Wait for answers and for the reading threads' ends; an ended thread
  // leaves the list, the event stays.
  while (waiting.size() > 1) {
    DWORD index = 0;
    const HRESULT hr = CoWaitForMultipleHandles(0, INFINITE, static_cast<ULONG>(waiting.size()), waiting.data(),
                                                &index);
    if (FAILED(hr)) {
      WaitForMultipleObjects(static_cast<DWORD>(waiting.size() - 1), waiting.data() + 1, TRUE, INFINITE);
      break;
    }
    if (index > 0 && index < waiting.size()) waiting.erase(waiting.begin() + index);
    try {
      progress(static_cast<int>(pool.count));
    } catch (...) {
      // A progress line that cannot be shown is left out.
    }
  }
  if (failure) std::rethrow_exception(failure);
  if (!side_by_side) meanwhile();
}

}  // namespace orvanta::survey
