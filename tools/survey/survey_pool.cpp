#include "tools/survey/survey_pool.h"

#include <windows.h>

#include <algorithm>
#include <cwchar>
#include <optional>
#include <string>

#include "framework/report_text.h"
#include "tools/survey/survey_client.h"

namespace orvanta::survey {
namespace {

constexpr wchar_t kPipePrefix[] = L"\\\\.\\pipe\\orvanta-survey-";

// One worker process and the pipe on which its answers come, read with
// overlapped I/O so that one thread can watch every worker and its deadline.
struct Worker {
  std::vector<size_t> share;  // indices into the methods
  bool describing = false;    // it sends the control's methods (--describe), not answers
  std::vector<std::pair<std::wstring, Answer>> records;  // what it sent, when describing
  DWORD_PTR processors = 0;   // its processors while the alone share runs; 0 for all
  DWORD deadline = 0;         // milliseconds from its start
  DWORD started = 0;          // GetTickCount at its start
  ScopedHandle process;
  ScopedHandle pipe;
  ScopedHandle event;  // signalled when the pipe's connection or read completes
  OVERLAPPED overlapped = {};
  bool pending = false;    // an I/O on the pipe is under way
  bool connected = false;  // the worker has opened its pipe
  bool exited = false;     // the process has ended
  bool done = false;       // nothing more will come
  std::string bytes;       // received, not yet taken
  char buffer[4096];
  std::wstring fate;  // why it ended early, for the methods it left
  HRESULT fate_code = S_OK;
};

std::wstring PipeName() {
  static LONG counter = 0;
  LARGE_INTEGER now;
  QueryPerformanceCounter(&now);
  return FormatText(L"%s%lu-%ld-%08lX", kPipePrefix, GetCurrentProcessId(), InterlockedIncrement(&counter),
                    static_cast<unsigned long>(now.LowPart ^ GetTickCount() * 2654435761u));
}

std::wstring WorkerArguments(const Options& options, const std::vector<SurveyMethod>& methods, const Worker& worker,
                             const std::wstring& pipe) {
  std::wstring only = worker.describing ? options.only : L"";
  for (const size_t index : worker.share) only += (only.empty() ? L"" : L",") + methods[index].name;
  std::wstring arguments = L" --worker " + pipe + (worker.describing ? L" --describe" : L"");
  if (!only.empty()) arguments += L" --only " + QuoteArgument(only);
  if (options.source == Source::kHere) arguments += L" --here";
  if (options.source == Source::kOcx) arguments += L" --ocx " + QuoteArgument(options.ocx_path);
  return arguments;
}

// A job that ends every process in it when its last handle closes, that is
// when the survey ends, however it ends. Null when the system has none.
HANDLE SurveyJob() {
  static const HANDLE job = [] {
    HANDLE created = CreateJobObjectW(nullptr, nullptr);
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits = {};
    limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
    if (created && !SetInformationJobObject(created, JobObjectExtendedLimitInformation, &limits, sizeof(limits))) {
      CloseHandle(created);
      created = nullptr;
    }
    return created;
  }();
  return job;
}

// Creates the worker's process, suspended, with no console window and no
// handle of the survey's. A survey that runs in a job of someone else's (a
// scheduled task, a remote session) takes its workers out of that job into
// its own when the job allows it.
bool Launch(const std::wstring& program, std::wstring command_line, PROCESS_INFORMATION* started) {
  STARTUPINFOW startup = {};
  startup.cb = sizeof(startup);
  const DWORD flags = CREATE_SUSPENDED | CREATE_NO_WINDOW;
  for (const DWORD breakaway : {DWORD{CREATE_BREAKAWAY_FROM_JOB}, DWORD{0}}) {
    if (CreateProcessW(program.c_str(), command_line.data(), nullptr, nullptr, FALSE, flags | breakaway, nullptr,
                       nullptr, &startup, started)) {
      return true;
    }
  }
  return false;
}

// Waits for the worker to open its pipe, without blocking.
void Listen(Worker* worker) {
  worker->overlapped.hEvent = worker->event.Get();
  if (ConnectNamedPipe(worker->pipe.Get(), &worker->overlapped) || GetLastError() == ERROR_PIPE_CONNECTED) {
    worker->connected = true;
    SetEvent(worker->event.Get());
  } else {
    worker->pending = GetLastError() == ERROR_IO_PENDING;
  }
}

// Starts |worker|: its pipe, then its process, suspended until it is in the
// survey's job and on its processors. False, with its fate set, when it
// could not be started.
bool Start(const Options& options, const std::vector<SurveyMethod>& methods, const std::wstring& program,
           Worker* worker) {
  const std::wstring pipe = PipeName();
  worker->pipe.Reset(CreateNamedPipeW(pipe.c_str(), PIPE_ACCESS_INBOUND | FILE_FLAG_OVERLAPPED |
                                                        FILE_FLAG_FIRST_PIPE_INSTANCE,
                                      PIPE_TYPE_BYTE | PIPE_READMODE_BYTE | PIPE_WAIT, 1, 0, sizeof(worker->buffer),
                                      0, nullptr));
  worker->event.Reset(CreateEventW(nullptr, TRUE, FALSE, nullptr));
  PROCESS_INFORMATION started = {};
  if (!worker->pipe || !worker->event ||
      !Launch(program, QuoteArgument(program) + WorkerArguments(options, methods, *worker, pipe), &started)) {
    worker->fate_code = HRESULT_FROM_WIN32(GetLastError());
    worker->fate = DescribeFailure(L"(starting a worker process", worker->fate_code, SystemMessage(worker->fate_code)) + L")";
    worker->done = true;
    return false;
  }
  worker->process.Reset(started.hProcess);
  const ScopedHandle thread(started.hThread);
  // Without the job (a system or an outer job that refuses it), the worker's
  // own watcher still ends it with the survey (ConnectToSurvey).
  if (SurveyJob()) AssignProcessToJobObject(SurveyJob(), started.hProcess);
  if (worker->processors) SetProcessAffinityMask(started.hProcess, worker->processors);
  worker->started = GetTickCount();
  ResumeThread(started.hThread);
  Listen(worker);
  return true;
}

// Ends the pipe's I/O and the process; the worker is done.
void Finish(Worker* worker, const std::wstring& fate, HRESULT code) {
  if (worker->pending) {
    CancelIo(worker->pipe.Get());
    DWORD ignored = 0;
    GetOverlappedResult(worker->pipe.Get(), &worker->overlapped, &ignored, TRUE);
    worker->pending = false;
  }
  if (!worker->exited && worker->process) TerminateProcess(worker->process.Get(), ERROR_TIMEOUT);
  if (worker->fate.empty()) {
    worker->fate = fate;
    worker->fate_code = code;
  }
  worker->done = true;
}

// What a worker that ended before answering everything leaves as the reason.
void NoteExit(Worker* worker) {
  DWORD code = 0;
  GetExitCodeProcess(worker->process.Get(), &code);
  if (worker->fate.empty()) {
    worker->fate = FormatText(L"(the worker process asking it ended with code 0x%08lX)", static_cast<unsigned long>(code));
    worker->fate_code = static_cast<HRESULT>(code);
  }
}

// Takes the answers in |worker|'s bytes into |answers|; false when the
// bytes are not answers (stray output, a damaged record, a method not its own).
bool TakeAnswers(const std::vector<SurveyMethod>& methods, Worker* worker, std::vector<std::optional<Answer>>* answers,
                 int* count) {
  std::wstring name;
  Answer answer;
  while (true) {
    const Taken taken = TakeAnswer(&worker->bytes, &name, &answer);
    if (taken == Taken::kIncomplete) return true;
    if (taken == Taken::kCorrupt) return false;
    if (worker->describing) {
      worker->records.emplace_back(std::move(name), std::move(answer));
      continue;
    }
    const auto own = std::find_if(worker->share.begin(), worker->share.end(),
                                  [&](size_t index) { return methods[index].name == name && !(*answers)[index]; });
    if (own == worker->share.end()) return false;
    (*answers)[*own] = std::move(answer);
    ++*count;
  }
}

// The worker closed its pipe, or ended.
void Broken(Worker* worker) {
  if (WaitForSingleObject(worker->process.Get(), 1000) == WAIT_OBJECT_0) {
    worker->exited = true;
    NoteExit(worker);
  }
  Finish(worker, L"(the worker process closed its pipe)", E_FAIL);
}

// Carries |worker| on after its event was signalled: the connection made, or
// bytes read; starts the next read.
void Advance(const std::vector<SurveyMethod>& methods, Worker* worker, std::vector<std::optional<Answer>>* answers,
             int* count) {
  while (!worker->done) {
    if (worker->pending) {
      DWORD read = 0;
      const DWORD error =
          GetOverlappedResult(worker->pipe.Get(), &worker->overlapped, &read, FALSE) ? ERROR_SUCCESS : GetLastError();
      if (error == ERROR_IO_INCOMPLETE) return;
      worker->pending = false;
      if (!worker->connected) {
        if (error != ERROR_SUCCESS && error != ERROR_PIPE_CONNECTED) return Broken(worker);
        worker->connected = true;
      } else {
        if (error != ERROR_SUCCESS) return Broken(worker);
        worker->bytes.append(worker->buffer, read);
        if (!TakeAnswers(methods, worker, answers, count)) {
          return Finish(worker, L"(the worker process sent something that is not an answer)", E_UNEXPECTED);
        }
        // Every answer in (a description ends with an unnamed record): the
        // worker's own ending is not waited for.
        if (worker->describing ? !worker->records.empty() && worker->records.back().first.empty()
                               : std::all_of(worker->share.begin(), worker->share.end(),
                                             [&](size_t index) { return (*answers)[index]; })) {
          return Finish(worker, L"", S_OK);
        }
      }
    }
    ResetEvent(worker->event.Get());
    worker->pending = true;
    if (!ReadFile(worker->pipe.Get(), worker->buffer, sizeof(worker->buffer), nullptr, &worker->overlapped) &&
        GetLastError() != ERROR_IO_PENDING) {
      worker->pending = false;
      return Broken(worker);
    }
  }
}

// A handle that Run waits on: a worker's pipe event, or its process.
struct Watched {
  Worker* worker;
  bool is_process;
};

// Ends the workers past their deadline, and lists what to wait for on the
// others; returns the milliseconds until the next deadline.
DWORD Watch(std::vector<Worker>& workers, std::vector<HANDLE>* handles, std::vector<Watched>* watched) {
  DWORD wait = INFINITE;
  const DWORD now = GetTickCount();
  for (Worker& worker : workers) {
    if (worker.done) continue;
    const DWORD spent = now - worker.started;
    if (spent >= worker.deadline) {
      Finish(&worker, FormatText(L"(no answer within %lu s; the worker process asking it was ended)",
                                 static_cast<unsigned long>(worker.deadline / 1000)),
             HRESULT_FROM_WIN32(ERROR_TIMEOUT));
      continue;
    }
    wait = std::min(wait, worker.deadline - spent);
    handles->push_back(worker.event.Get());
    watched->push_back({&worker, false});
    if (!worker.exited) {
      handles->push_back(worker.process.Get());
      watched->push_back({&worker, true});
    }
  }
  return wait;
}

// Lets the workers still running use every processor.
void Widen(std::vector<Worker>& workers) {
  DWORD_PTR all = 0, system = 0;
  if (!GetProcessAffinityMask(GetCurrentProcess(), &all, &system)) return;
  for (Worker& worker : workers) {
    if (!worker.done) SetProcessAffinityMask(worker.process.Get(), all);
  }
}

// Runs |workers| until each is done: answered everything, ended, or passed
// its deadline. When |alone| names one of them, the others are widened to
// every processor once it is done.
void Run(const Options& options, const std::vector<SurveyMethod>& methods, std::vector<Worker>& workers,
         std::optional<size_t> alone, std::vector<std::optional<Answer>>* answers, int* count,
         const std::function<void(int)>& progress) {
  const std::wstring program = ProgramPath();
  for (Worker& worker : workers) Start(options, methods, program, &worker);
  while (true) {
    std::vector<HANDLE> handles;
    std::vector<Watched> watched;
    const DWORD wait = Watch(workers, &handles, &watched);
    if (alone && workers[*alone].done) {
      Widen(workers);
      alone.reset();
    }
    if (handles.empty()) return;
    const DWORD signalled = WaitForMultipleObjects(static_cast<DWORD>(handles.size()), handles.data(), FALSE, wait);
    if (signalled == WAIT_FAILED) Sleep(50);  // the deadlines still end the workers
    if (signalled >= WAIT_OBJECT_0 + handles.size()) continue;
    Worker* worker = watched[signalled - WAIT_OBJECT_0].worker;
    if (watched[signalled - WAIT_OBJECT_0].is_process) {
      worker->exited = true;
      if (!worker->connected) {
        NoteExit(worker);
        Finish(worker, L"", S_OK);
      }
      continue;
    }
    Advance(methods, worker, answers, count);
    progress(*count);
  }
}

// The answer for a method that no worker answered.
Answer FailedAnswer(const Worker& worker) {
  Answer answer;
  answer.kind = Answer::Kind::kFailed;
  answer.result = FAILED(worker.fate_code) ? worker.fate_code : E_FAIL;
  answer.text = worker.fate;
  return answer;
}

// The workers of |plan|, in two rounds: the shares, with the share alone
// beside them on a processor of its own; or, with a single processor, the
// share alone in a second round after them. The index of the share alone in
// the first round, when it is there.
std::optional<size_t> Rounds(const Options& options, const std::vector<SurveyMethod>& methods, const SurveyPlan& plan,
                             std::vector<Worker>* first, std::vector<Worker>* second) {
  DWORD_PTR all = 0, system = 0;
  if (!GetProcessAffinityMask(GetCurrentProcess(), &all, &system)) all = 0;
  DWORD_PTR own = 0;  // the highest processor, for the share alone
  for (DWORD_PTR bit = 1; bit != 0 && bit <= all; bit <<= 1) {
    if (all & bit) own = bit;
  }
  const DWORD_PTR others = all & ~own;  // none with one processor
  first->resize(plan.shares.size());
  for (size_t i = 0; i < plan.shares.size(); ++i) {
    (*first)[i].share = plan.shares[i];
    (*first)[i].processors = plan.alone.empty() ? 0 : others;
  }
  if (!plan.alone.empty()) {
    Worker& alone = others ? first->emplace_back() : second->emplace_back();
    alone.share = plan.alone;
    alone.processors = others ? own : 0;
  }
  for (std::vector<Worker>* round : {first, second}) {
    for (Worker& worker : *round) worker.deadline = WorkerDeadline(methods, worker.share, options.timeout);
  }
  return others && !plan.alone.empty() ? std::optional<size_t>(first->size() - 1) : std::nullopt;
}

// Asks the methods of |first|'s share that it left unanswered again, each in
// a worker of its own; a method that fails there too gets a failure saying why.
void AskAgain(const Options& options, const std::vector<SurveyMethod>& methods, const Worker& first,
              std::vector<std::optional<Answer>>* answers, int* count, const std::function<void(int)>& progress,
              const std::function<void(std::wstring_view)>& say) {
  int left = 0;
  for (const size_t index : first.share) left += (*answers)[index] ? 0 : 1;
  if (left == 0) return;
  say(FormatText(L"%d of %d methods of a worker were not answered %s; asking them again, one at a time", left,
                 static_cast<int>(first.share.size()), first.fate.c_str()));
  for (const size_t index : first.share) {
    if ((*answers)[index]) continue;
    std::vector<Worker> alone(1);
    alone[0].share = {index};
    alone[0].deadline = WorkerDeadline(methods, alone[0].share, options.timeout);
    Run(options, methods, alone, std::nullopt, answers, count, progress);
    if (!(*answers)[index]) (*answers)[index] = FailedAnswer(alone[0]);
  }
}

// A worker's watcher: ends the worker when the survey's process ends.
DWORD WINAPI EndWithSurvey(void* survey) {
  WaitForSingleObject(static_cast<HANDLE>(survey), INFINITE);
  TerminateProcess(GetCurrentProcess(), ERROR_PROCESS_ABORTED);
  return 0;
}

}  // namespace

std::vector<Answer> AskInWorkers(const Options& options, const std::vector<SurveyMethod>& methods,
                                 const SurveyPlan& plan, const std::function<void(int)>& progress,
                                 const std::function<void(std::wstring_view)>& say) {
  std::vector<std::optional<Answer>> answers(methods.size());
  int count = 0;
  std::vector<Worker> first, second;
  const std::optional<size_t> alone = Rounds(options, methods, plan, &first, &second);
  Run(options, methods, first, alone, &answers, &count, progress);
  Run(options, methods, second, std::nullopt, &answers, &count, progress);
  for (const std::vector<Worker>* round : {&first, &second}) {
    for (const Worker& worker : *round) AskAgain(options, methods, worker, &answers, &count, progress, say);
  }
  std::vector<Answer> in_order;
  for (std::optional<Answer>& answer : answers) in_order.push_back(std::move(*answer));
  return in_order;
}

std::optional<Description> DescribeInWorker(const Options& options, int* status, std::wstring* error) {
  std::vector<Worker> one(1);
  one[0].describing = true;
  one[0].deadline = WorkerDeadline({}, {}, options.timeout);
  std::vector<std::optional<Answer>> no_answers;
  int count = 0;
  Run(options, {}, one, std::nullopt, &no_answers, &count, [](int) {});
  const std::vector<std::pair<std::wstring, Answer>>& records = one[0].records;
  *status = kExitFailure;
  if (records.empty() || !records.back().first.empty()) {
    *error = L"creating the control and reading its methods failed " + one[0].fate;
    return std::nullopt;
  }
  const Answer& last = records.back().second;
  if (last.kind != Answer::Kind::kText) {
    if (last.number == kExitNotRegistered || last.number == kExitUsage) *status = static_cast<int>(last.number);
    *error = last.text;
    return std::nullopt;
  }
  Description described{{}, last.text};
  for (size_t i = 0; i + 1 < records.size(); ++i) {
    described.methods.push_back({records[i].first, records[i].second.number});
  }
  return described;
}

bool SendDescription(HANDLE pipe, const std::optional<Description>& described, int status, const std::wstring& error) {
  if (!described) return SendAnswer(pipe, L"", {Answer::Kind::kFailed, error, status, E_FAIL, S_OK});
  for (const SurveyMethod& method : described->methods) {
    if (!SendAnswer(pipe, method.name, {Answer::Kind::kNumber, L"", method.id, S_OK, S_OK})) return false;
  }
  return SendAnswer(pipe, L"", {Answer::Kind::kText, described->module_file, 0, S_OK, S_OK});
}

ScopedHandle ConnectToSurvey(const std::wstring& pipe, std::wstring* error) {
  *error = L"--worker is for the survey's own worker processes";
  unsigned long survey_process = 0;
  if (pipe.compare(0, std::wcslen(kPipePrefix), kPipePrefix) != 0 ||
      std::swscanf(pipe.c_str() + std::wcslen(kPipePrefix), L"%lu-", &survey_process) != 1) {
    return {};
  }
  ScopedHandle connection(CreateFileW(pipe.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr));
  // The survey's process, watched by a thread that ends this one with it.
  HANDLE survey = OpenProcess(SYNCHRONIZE, FALSE, survey_process);
  if (!connection || !survey) {
    if (survey) CloseHandle(survey);
    return {};
  }
  const HANDLE watcher = CreateThread(nullptr, 0, EndWithSurvey, survey, 0, nullptr);
  if (!watcher) {
    CloseHandle(survey);
    return {};
  }
  CloseHandle(watcher);
  error->clear();
  return connection;
}

bool SendAnswer(HANDLE pipe, std::wstring_view name, const Answer& answer) {
  const std::string record = EncodeAnswer(name, answer);
  DWORD written = 0;
  return WriteFile(pipe, record.data(), static_cast<DWORD>(record.size()), &written, nullptr) &&
         written == record.size();
}

}  // namespace orvanta::survey
