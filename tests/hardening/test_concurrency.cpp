// Eight threads (ORVANTA_CONCURRENCY_THREADS, fewer in the emulated guest),
// each in its own apartment with its own control, call every method at the
// same moment; their answers equal those of one thread alone.
#include <gtest/gtest.h>
#include <olectl.h>

#include <map>
#include <string>
#include <vector>

#include "control/dispatch_table.h"
#include "control/orvanta_idl.h"
#include "framework/scoped_handle.h"
#include "tests/com/com_test_support.h"
#include "tests/hardening/hardening_support.h"

namespace orvanta::testing {
namespace {

int ThreadCount() { return CountFromEnvironment("ORVANTA_CONCURRENCY_THREADS", 8); }

// One thread's run: every method's result code and text.
struct ThreadRun {
  HANDLE start = nullptr;  // signalled when all threads may begin
  HRESULT apartment = E_FAIL;
  HRESULT creation = E_FAIL;
  std::map<DISPID, Answer> answers;
};

DWORD WINAPI CallEveryMethod(void* parameter) {
  ThreadRun& run = *static_cast<ThreadRun*>(parameter);
  ScopedApartment apartment(COINIT_APARTMENTTHREADED);
  run.apartment = apartment.result();
  if (FAILED(run.apartment)) return 1;
  ComPtr<IDispatch> control;
  run.creation =
      CoCreateInstance(CLSID_Orvanta, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch, control.ReceiveVoid());
  WaitForSingleObject(run.start, INFINITE);
  if (FAILED(run.creation)) return 1;
  for (const OrvantaMethod& method : kOrvantaMethods) {
    if (method.id == DISPID_ABOUTBOX) continue;
    run.answers[method.id] = CallForAnswer(control.Get(), method.id);
  }
  return 0;
}

TEST(Concurrency, ApartmentsAnswerAsOneThreadDoes) {
  ScopedHandle start(CreateEventW(nullptr, TRUE, FALSE, nullptr));
  ASSERT_TRUE(start);
  std::vector<ThreadRun> runs(ThreadCount());
  std::vector<ScopedHandle> threads;
  std::vector<HANDLE> waitable;
  for (ThreadRun& run : runs) {
    run.start = start.Get();
    threads.emplace_back(CreateThread(nullptr, 0, CallEveryMethod, &run, 0, nullptr));
    if (!threads.back()) break;
    waitable.push_back(threads.back().Get());
  }
  // The threads use |runs| until they end: wait for every one that started,
  // however long it takes (the test's own time limit ends a hang).
  SetEvent(start.Get());
  ASSERT_EQ(WaitForMultipleObjects(static_cast<DWORD>(waitable.size()), waitable.data(), TRUE, INFINITE),
            WAIT_OBJECT_0);
  ASSERT_EQ(waitable.size(), runs.size()) << "cannot start every thread";

  // The single-threaded run, in this thread's apartment, after the threads:
  // they, not it, make the first calls of the process (and build whatever is
  // built once).
  std::map<DISPID, Answer> alone;
  {
    ComPtr<IDispatch> control = CreateControl();
    ASSERT_TRUE(control);
    for (const OrvantaMethod& method : kOrvantaMethods) {
      if (method.id == DISPID_ABOUTBOX) continue;
      alone[method.id] = CallForAnswer(control.Get(), method.id);
    }
  }

  for (size_t i = 0; i < runs.size(); ++i) {
    SCOPED_TRACE("thread " + std::to_string(i));
    const ThreadRun& run = runs[i];
    ASSERT_EQ(run.apartment, S_OK);
    ASSERT_EQ(run.creation, S_OK);
    ASSERT_EQ(run.answers.size(), alone.size());
    for (const auto& [id, expected] : alone) {
      const Answer& answer = run.answers.at(id);
      EXPECT_EQ(answer.result, expected.result) << "method " << id;
      EXPECT_EQ(answer.type, expected.type) << "method " << id;
      if (AnswerVaries(id)) {
        EXPECT_EQ(WithoutFigures(answer.text), WithoutFigures(expected.text)) << "method " << id;
      } else {
        EXPECT_EQ(answer.text, expected.text) << "method " << id;
      }
    }
  }
}

}  // namespace
}  // namespace orvanta::testing
