// The soak: one process calls every report round-robin, through several
// control instances that come and go, and its handles, GDI and USER objects
// and private bytes stay flat once warmed up.
//
// ORVANTA_SOAK_CALLS sets the number of calls (default: four rounds of the
// table, as CI runs it, since a round of the Direct3D, DirectDraw and DxDiag
// reports takes seconds under Wine; the benchmark runs 10000).
#include <gtest/gtest.h>
#include <dxdiag.h>
#include <olectl.h>
#include <psapi.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <vector>

#include "control/dispatch_table.h"
#include "tests/com/com_test_support.h"
#include "tests/hardening/hardening_support.h"

namespace orvanta::testing {
namespace {

// Calls between two replacements of the oldest control instance.
constexpr int kCallsPerInstanceChange = 37;
constexpr size_t kInstances = 3;
// Growth allowed between the end of the warm-up and the end of the run.
constexpr long kHandleSlack = 4;
constexpr long kGuiObjectSlack = 4;
constexpr long long kPrivateByteSlack = 1 << 20;
constexpr long long kHeapByteSlack = 64 << 10;

struct Figures {
  long handles = 0;
  long gdi_objects = 0;
  long user_objects = 0;
  long long private_bytes = 0;
  long long heap_bytes = 0;  // blocks in use in every heap of the process
};

// This process's handles, from the system-wide handle table when the
// process count is not available (Wine answers GetProcessHandleCount with 0).
long CountHandles() {
  DWORD count = 0;
  if (GetProcessHandleCount(GetCurrentProcess(), &count) && count > 0) return static_cast<long>(count);
  using QueryFn = LONG(WINAPI*)(ULONG, void*, ULONG, ULONG*);
  const auto query = reinterpret_cast<QueryFn>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "NtQuerySystemInformation")));
  if (!query) return 0;
  constexpr ULONG kSystemHandleInformation = 16;
  struct HandleEntry {
    ULONG owner_pid;
    BYTE object_type;
    BYTE flags;
    USHORT handle;
    void* object;
    ACCESS_MASK access;
  };
  std::vector<BYTE> buffer(1 << 16);
  for (;;) {
    ULONG needed = 0;
    const LONG status = query(kSystemHandleInformation, buffer.data(), static_cast<ULONG>(buffer.size()), &needed);
    if (status == static_cast<LONG>(0xC0000004)) {  // the buffer is too small
      buffer.resize(std::max<size_t>(buffer.size() * 2, needed + 4096));
      continue;
    }
    if (status != 0) return 0;
    const ULONG entries = *reinterpret_cast<const ULONG*>(buffer.data());
    const auto* entry = reinterpret_cast<const HandleEntry*>(buffer.data() + sizeof(void*));
    long mine = 0;
    for (ULONG i = 0; i < entries; ++i) mine += entry[i].owner_pid == GetCurrentProcessId();
    return mine;
  }
}

// Committed private memory: the counter, or the sum of the committed private
// regions when the counter is not available.
long long PrivateBytes() {
  PROCESS_MEMORY_COUNTERS_EX memory = {};
  memory.cb = sizeof(memory);
  if (GetProcessMemoryInfo(GetCurrentProcess(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&memory),
                           sizeof(memory)) &&
      memory.PrivateUsage > 0)
    return static_cast<long long>(memory.PrivateUsage);
  long long total = 0;
  MEMORY_BASIC_INFORMATION region = {};
  for (const BYTE* address = nullptr; VirtualQuery(address, &region, sizeof(region)) == sizeof(region);
       address = static_cast<const BYTE*>(region.BaseAddress) + region.RegionSize) {
    if (region.State == MEM_COMMIT && region.Type == MEM_PRIVATE) total += static_cast<long long>(region.RegionSize);
  }
  return total;
}

long long HeapBytes() {
  std::vector<HANDLE> heaps(GetProcessHeaps(0, nullptr) + 16);
  heaps.resize(GetProcessHeaps(static_cast<DWORD>(heaps.size()), heaps.data()));
  long long total = 0;
  for (HANDLE heap : heaps) {
    if (!HeapLock(heap)) continue;
    PROCESS_HEAP_ENTRY entry = {};
    while (HeapWalk(heap, &entry)) {
      if (entry.wFlags & PROCESS_HEAP_ENTRY_BUSY) total += entry.cbData;
    }
    HeapUnlock(heap);
  }
  return total;
}

Figures MeasureProcess() {
  Figures figures;
  figures.handles = CountHandles();
  figures.gdi_objects = static_cast<long>(GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS));
  figures.user_objects = static_cast<long>(GetGuiResources(GetCurrentProcess(), GR_USEROBJECTS));
  figures.private_bytes = PrivateBytes();
  figures.heap_bytes = HeapBytes();
  return figures;
}

void Print(const char* when, int calls, const Figures& figures) {
  std::printf("soak %-8s calls=%d handles=%ld gdi=%ld user=%ld private_bytes=%lld heap_bytes=%lld\n", when, calls,
              figures.handles, figures.gdi_objects, figures.user_objects, figures.private_bytes, figures.heap_bytes);
  std::fflush(stdout);
}

// The methods the soak calls: every one but the clock measurement, which
// spins for seconds, and the modal About box.
std::vector<const OrvantaMethod*> SoakedMethods() {
  std::vector<const OrvantaMethod*> methods;
  for (const OrvantaMethod& method : kOrvantaMethods) {
    if (method.id != 16 && method.id != DISPID_ABOUTBOX) methods.push_back(&method);
  }
  return methods;
}

// The methods whose report asks the DxDiag provider for the DirectX version:
// the DirectX report, the video card report and the registry video memory
// report, which runs the video card report.
bool AsksDxDiag(DISPID id) { return id == 6 || id == 7 || id == 23; }

// What one query of the DxDiag provider itself leaves behind (Wine's provider
// keeps some of the handles and memory that its initialisation takes):
// measured with the provider alone, after a first query has done its
// one-time work. Private bytes grow in whole commit steps, a step every few
// queries, so their cost is taken at its upper bound: the growth plus one
// step, spread over the queries.
struct ProviderCost {
  long handles = 0;
  long long heap_bytes = 0;
  long long private_bytes = 0;
};

ProviderCost DxDiagCostPerQuery() {
  constexpr int kQueries = 12;
  constexpr long long kCommitStep = 64 << 10;
  Figures before;
  for (int query = 0; query <= kQueries; ++query) {
    if (query == 1) before = MeasureProcess();
    ComPtr<IDxDiagProvider> provider;
    if (FAILED(CoCreateInstance(CLSID_DxDiagProvider, nullptr, CLSCTX_INPROC_SERVER, IID_IDxDiagProvider,
                                provider.ReceiveVoid())))
      return {};
    DXDIAG_INIT_PARAMS params = {sizeof(params), DXDIAG_DX9_SDK_VERSION, FALSE, nullptr};
    ComPtr<IDxDiagContainer> root;
    if (FAILED(provider->Initialize(&params)) || FAILED(provider->GetRootContainer(root.Receive()))) return {};
  }
  const Figures after = MeasureProcess();
  return {std::max(0L, (after.handles - before.handles) / kQueries),
          std::max(0LL, (after.heap_bytes - before.heap_bytes) / kQueries),
          std::max(0LL, after.private_bytes - before.private_bytes + kCommitStep) / kQueries};
}

int CallCount(int rounds_by_default) {
  if (const char* text = std::getenv("ORVANTA_SOAK_CALLS")) {
    const int count = std::atoi(text);
    if (count > 0) return count;
  }
  return rounds_by_default;
}

TEST(Soak, StaysFlatOverManyCallsAndReleasesEverything) {
  const std::vector<const OrvantaMethod*> methods = SoakedMethods();
  const int rounds = static_cast<int>(methods.size());
  const int calls = CallCount(4 * rounds);
  // Warm-up: two rounds or a tenth of the run, whichever is longer.
  const int warm_up = std::max(2 * rounds, calls / 10);
  ASSERT_GT(calls, warm_up) << "too few calls to see past the warm-up";

  const bool trace = std::getenv("ORVANTA_SOAK_TRACE") != nullptr;
  std::deque<ComPtr<IDispatch>> instances;
  for (size_t i = 0; i < kInstances; ++i) instances.push_back(CreateControl());
  Print("start", 0, MeasureProcess());
  const ProviderCost provider = DxDiagCostPerQuery();
  std::printf("soak the DxDiag provider alone keeps %ld handles, %lld heap bytes and at most %lld private bytes"
              " a query\n",
              provider.handles, provider.heap_bytes, provider.private_bytes);
  long dxdiag_calls = 0;

  Figures warm;
  Figures peak;
  int malformed = 0;
  for (int call = 0; call < calls; ++call) {
    if (call % kCallsPerInstanceChange == kCallsPerInstanceChange - 1) {
      // The oldest instance goes; its last reference is the test's own.
      EXPECT_EQ(instances.front()->Release(), 0u);
      static_cast<void>(instances.front().Release());
      instances.pop_front();
      instances.push_back(CreateControl());
      ASSERT_TRUE(instances.back());
    }
    const OrvantaMethod& method = *methods[call % methods.size()];
    const Answer answer = CallForAnswer(instances[call % kInstances].Get(), method.id);
    const std::string fault = MalformationOf(answer, method.result);
    if (!fault.empty() && ++malformed <= 10) ADD_FAILURE() << "method " << method.id << ": " << fault;
    // ORVANTA_SOAK_TRACE: the handle count after every call, to find the
    // method behind a growth.
    if (trace) std::printf("soak call %d method %ld handles=%ld\n", call + 1, method.id, CountHandles());

    if (call + 1 > warm_up && AsksDxDiag(method.id)) ++dxdiag_calls;
    if (call + 1 == warm_up) {
      warm = MeasureProcess();
      peak = warm;
      Print("warm", call + 1, warm);
    } else if (call + 1 > warm_up && (call + 1) % rounds == 0) {
      const Figures now = MeasureProcess();
      peak.handles = std::max(peak.handles, now.handles);
      peak.gdi_objects = std::max(peak.gdi_objects, now.gdi_objects);
      peak.user_objects = std::max(peak.user_objects, now.user_objects);
      peak.private_bytes = std::max(peak.private_bytes, now.private_bytes);
      peak.heap_bytes = std::max(peak.heap_bytes, now.heap_bytes);
    }
  }
  EXPECT_EQ(malformed, 0);

  const Figures end = MeasureProcess();
  Print("end", calls, end);
  Print("peak", calls, peak);
  // What the provider keeps for itself is the platform's, not the control's.
  EXPECT_LE(std::max(end.handles, peak.handles) - warm.handles, kHandleSlack + dxdiag_calls * provider.handles)
      << dxdiag_calls << " calls asked the DxDiag provider";
  EXPECT_LE(std::max(end.gdi_objects, peak.gdi_objects) - warm.gdi_objects, kGuiObjectSlack);
  EXPECT_LE(std::max(end.user_objects, peak.user_objects) - warm.user_objects, kGuiObjectSlack);
  EXPECT_LE(end.private_bytes - warm.private_bytes, kPrivateByteSlack + dxdiag_calls * provider.private_bytes)
      << dxdiag_calls << " calls asked the DxDiag provider";
  EXPECT_LE(end.heap_bytes - warm.heap_bytes, kHeapByteSlack + dxdiag_calls * provider.heap_bytes)
      << dxdiag_calls << " calls asked the DxDiag provider";
  // Under Wine the GDI and USER counts read 0; the handle count and the
  // memory figures must be real for the check to mean anything.
  EXPECT_GT(warm.handles, 0);
  EXPECT_GT(warm.private_bytes, 0);
  EXPECT_GT(warm.heap_bytes, 0);

  for (ComPtr<IDispatch>& instance : instances) {
    EXPECT_EQ(instance->Release(), 0u);
    static_cast<void>(instance.Release());
  }
  instances.clear();
  OcxModule module;
  EXPECT_EQ(module.CanUnloadNow(), S_OK);
}

}  // namespace
}  // namespace orvanta::testing
