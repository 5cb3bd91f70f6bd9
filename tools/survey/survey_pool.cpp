#include "tools/survey/survey_pool.h"

#include <windows.h>

#include <exception>

#include "framework/com_apartment.h"
#include "framework/scoped_handle.h"
#include "tools/survey/survey_client.h"

namespace orvanta::survey {
namespace {

// What the threads share. Each answer slot is written by the one thread that
// took its chain and read by the caller only after every thread has ended.
struct Pool {
  const Options& options;
  const std::vector<SurveyMethod>& methods;
  const std::vector<std::vector<size_t>>& chains;
  std::vector<std::optional<Answer>>& answers;
  ScopedHandle answered;       // auto-reset event, set after each answer
  volatile LONG next = -1;     // the last chain taken
  volatile LONG count = 0;     // answers in so far
};

void AskChains(Pool& pool) {
  ComApartment apartment(COINIT_APARTMENTTHREADED);
  if (!apartment.Initialized()) return;
  SurveyClient client;
  std::wstring error;
  if (client.Create(pool.options, &error) != kExitOk) return;
  for (LONG chain = InterlockedIncrement(&pool.next); chain < static_cast<LONG>(pool.chains.size());
       chain = InterlockedIncrement(&pool.next)) {
    for (const size_t index : pool.chains[chain]) {
      pool.answers[index] = client.Call(pool.methods[index]);
      InterlockedIncrement(&pool.count);
      SetEvent(pool.answered.Get());
    }
  }
}

DWORD WINAPI Work(void* parameter) {
  try {
    AskChains(*static_cast<Pool*>(parameter));
  } catch (...) {
    // Out of memory: what this thread left unasked, the caller asks.
  }
  return 0;
}

}  // namespace

void AskSideBySide(const Options& options, const std::vector<SurveyMethod>& methods,
                   const std::vector<std::vector<size_t>>& chains, int threads,
                   std::vector<std::optional<Answer>>* answers, const std::function<void(int)>& progress) {
  Pool pool{options, methods, chains, *answers, ScopedHandle(CreateEventW(nullptr, FALSE, FALSE, nullptr))};
  if (!pool.answered) return;
  // Nothing below may throw while a thread runs: the threads use |pool|.
  std::vector<ScopedHandle> workers;
  workers.reserve(threads);
  std::vector<HANDLE> waiting;
  waiting.reserve(threads + 1);
  for (int i = 0; i < threads; ++i) {
    ScopedHandle worker(CreateThread(nullptr, 0, Work, &pool, 0, nullptr));
    if (!worker) break;
    workers.push_back(std::move(worker));
  }
  // Wait for answers and for the threads' ends; an ended thread leaves the
  // list, the event stays.
  waiting.push_back(pool.answered.Get());
  for (const ScopedHandle& worker : workers) waiting.push_back(worker.Get());
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
}

}  // namespace orvanta::survey
