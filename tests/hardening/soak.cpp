// The soak: each report is called many times on its own, through control
// instances that come and go, and the process keeps nothing of it: no handle,
// no window, no more than two pages of heap blocks and one allocation granule
// of committed private memory (which grows in whole granules). The reports that
// ask a system provider which keeps something of every use (the three that ask
// the DxDiag provider, and the sampling report, which creates a DirectSound
// device) keep what the provider itself keeps, measured here with the same
// number of queries the test makes itself; and the About box and the property
// sheet, opened and closed again and again, leave no window.
//
// ORVANTA_SOAK_CALLS: calls per method after the warm-up (default 12; at
// least enough that a leak of one 4 KB block per call passes the heap's
// allowance). ORVANTA_SOAK_DXDIAG_CALLS: calls of each DxDiag report, and raw
// provider queries (default 8). ORVANTA_SOAK_MODULE: a module beside the test whose
// class object makes the instances instead of ORVANTA.OCX (the leak checks).
#include <gtest/gtest.h>
#include <dsound.h>
#include <olectl.h>
#include <psapi.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <set>
#include <string>
#include <vector>

#include "control/dispatch_table.h"
#include "control/orvanta_idl.h"
#include "framework/scoped_handle.h"
#include "framework/scoped_library.h"
#include "tests/com/com_test_support.h"
#include "tests/hardening/hardening_support.h"
#include "tests/raw_dxdiag.h"

namespace orvanta {
// A method in a test's name and failure: its type-library name.
void PrintTo(const OrvantaMethod& method, std::ostream* out) {
  for (const wchar_t* c = method.type_library_name; *c; ++c) *out << static_cast<char>(*c);
}
}  // namespace orvanta

namespace orvanta::testing {
namespace {

constexpr size_t kInstances = 3;
// Calls between two replacements of the oldest control instance.
constexpr int kCallsPerInstanceChange = 7;
constexpr int kWarmUpCalls = 2;
// The smallest leak each method soak must see: one block of 4 KB a call.
constexpr long long kSmallLeak = 4096;

struct Figures {
  long handles = 0;
  long gdi_objects = 0;
  long user_objects = 0;
  long windows = 0;         // this process's windows, message-only ones included
  long window_classes = 0;  // distinct classes of those windows
  long long private_bytes = 0;
  long long heap_bytes = 0;  // blocks in use in every heap of the process

  Figures operator-(const Figures& other) const {
    return {handles - other.handles,
            gdi_objects - other.gdi_objects,
            user_objects - other.user_objects,
            windows - other.windows,
            window_classes - other.window_classes,
            private_bytes - other.private_bytes,
            heap_bytes - other.heap_bytes};
  }
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

struct WindowCensus {
  DWORD process = GetCurrentProcessId();
  long windows = 0;
  std::set<std::wstring> classes;
};

BOOL CALLBACK CountWindow(HWND window, LPARAM data) {
  auto& census = *reinterpret_cast<WindowCensus*>(data);
  DWORD process = 0;
  GetWindowThreadProcessId(window, &process);
  if (process != census.process) return TRUE;
  ++census.windows;
  wchar_t name[256];
  if (GetClassNameW(window, name, 256)) census.classes.insert(name);
  return TRUE;
}

BOOL CALLBACK CountTopWindow(HWND window, LPARAM data) {
  const long before = reinterpret_cast<WindowCensus*>(data)->windows;
  CountWindow(window, data);
  if (reinterpret_cast<WindowCensus*>(data)->windows != before) EnumChildWindows(window, CountWindow, data);
  return TRUE;
}

// Top-level, child and message-only windows of this process.
WindowCensus TakeWindowCensus() {
  WindowCensus census;
  EnumWindows(CountTopWindow, reinterpret_cast<LPARAM>(&census));
  for (HWND window = nullptr; (window = FindWindowExW(HWND_MESSAGE, window, nullptr, nullptr)) != nullptr;)
    CountTopWindow(window, reinterpret_cast<LPARAM>(&census));
  return census;
}

Figures MeasureProcess() {
  Figures figures;
  figures.handles = CountHandles();
  figures.gdi_objects = static_cast<long>(GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS));
  figures.user_objects = static_cast<long>(GetGuiResources(GetCurrentProcess(), GR_USEROBJECTS));
  const WindowCensus census = TakeWindowCensus();
  figures.windows = census.windows;
  figures.window_classes = static_cast<long>(census.classes.size());
  figures.private_bytes = PrivateBytes();
  figures.heap_bytes = HeapBytes();
  return figures;
}

long long AllocationGranule() {
  SYSTEM_INFO info = {};
  GetSystemInfo(&info);
  return info.dwAllocationGranularity;
}

// Heap blocks may come and go with the heap's own bookkeeping: two pages.
long long HeapAllowance() {
  SYSTEM_INFO info = {};
  GetSystemInfo(&info);
  return 2LL * info.dwPageSize;
}

// Whether |kept| is within |allowed| (handles, windows and bytes) plus the
// heap's two pages and one allocation granule of private bytes.
bool WithinAllowance(const Figures& kept, const Figures& allowed) {
  return kept.handles <= allowed.handles && kept.windows <= allowed.windows &&
         kept.window_classes <= allowed.window_classes && kept.heap_bytes <= allowed.heap_bytes + HeapAllowance() &&
         kept.private_bytes <= allowed.private_bytes + AllocationGranule();
}

// Growth since |before|. A thread that a platform library ends when its last
// object goes may still be ending, with its handle and its memory, and on a
// busy machine for a while: growth past |allowed| is taken again for up to
// two seconds before it stands. A leak stays.
Figures GrowthSince(const Figures& before, const Figures& allowed = {}) {
  Figures growth;
  for (int attempt = 0; attempt < 20; ++attempt) {
    if (attempt > 0) Sleep(100);
    growth = MeasureProcess() - before;
    if (WithinAllowance(growth, allowed)) break;
  }
  return growth;
}

// GetGuiResources answers 0 under Wine: the counts cannot move there, so they
// are neither checked nor shown as if they could; the windows are counted.
bool GuiObjectsCountable() {
  static const bool countable = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS) > 0;
  return countable;
}

void Print(const std::string& what, int calls, const Figures& growth) {
  std::printf("soak %-26s calls=%-4d handles=%+ld windows=%+ld classes=%+ld heap_bytes=%+lld private_bytes=%+lld",
              what.c_str(), calls, growth.handles, growth.windows, growth.window_classes, growth.heap_bytes,
              growth.private_bytes);
  if (GuiObjectsCountable()) std::printf(" gdi=%+ld user=%+ld", growth.gdi_objects, growth.user_objects);
  std::printf("\n");
  std::fflush(stdout);
}

// What the process kept over |calls| calls of |what|, against what it may
// keep: |allowed| (handles, windows and bytes), and on top the heap's two
// pages and one allocation granule of private bytes.
void ExpectKeptNoMore(const std::string& what, int calls, const Figures& kept, const Figures& allowed = {}) {
  const long long granule = AllocationGranule();
  const long long pages = HeapAllowance();
  EXPECT_LE(kept.handles, allowed.handles) << what << " kept " << kept.handles << " handles over " << calls
                                           << " calls (allowed " << allowed.handles << ")";
  EXPECT_LE(kept.windows, allowed.windows) << what << " kept " << kept.windows << " windows over " << calls
                                           << " calls";
  EXPECT_LE(kept.window_classes, allowed.window_classes)
      << what << " kept " << kept.window_classes << " window classes over " << calls << " calls";
  EXPECT_LE(kept.heap_bytes, allowed.heap_bytes + pages)
      << what << " kept " << kept.heap_bytes << " heap bytes over " << calls << " calls (allowed "
      << allowed.heap_bytes << " and " << pages << ")";
  EXPECT_LE(kept.private_bytes, allowed.private_bytes + granule)
      << what << " kept " << kept.private_bytes << " private bytes over " << calls << " calls (allowed "
      << allowed.private_bytes << " and a granule of " << granule << ")";
  if (GuiObjectsCountable()) {
    EXPECT_LE(kept.gdi_objects, allowed.gdi_objects) << what << " kept " << kept.gdi_objects << " GDI objects";
    EXPECT_LE(kept.user_objects, allowed.user_objects) << what << " kept " << kept.user_objects << " USER objects";
  }
}

int CountFromEnvironment(const char* name, int fallback) {
  if (const char* text = std::getenv(name)) {
    const int count = std::atoi(text);
    if (count > 0) return count;
  }
  return fallback;
}

int MethodCalls() { return CountFromEnvironment("ORVANTA_SOAK_CALLS", 12); }
int DxDiagCalls() { return CountFromEnvironment("ORVANTA_SOAK_DXDIAG_CALLS", 8); }

// A control instance: from ORVANTA.OCX through COM, or from the class object
// of the module that ORVANTA_SOAK_MODULE names.
ComPtr<IDispatch> NewInstance() {
  const char* name = std::getenv("ORVANTA_SOAK_MODULE");
  if (!name || !*name) return CreateControl();
  static const HMODULE module = LoadLibraryW((BinDirectory() + std::wstring(name, name + strlen(name))).c_str());
  using GetClassObjectFn = HRESULT(WINAPI*)(REFCLSID, REFIID, void**);
  const auto get_class_object =
      module ? reinterpret_cast<GetClassObjectFn>(reinterpret_cast<void*>(GetProcAddress(module, "DllGetClassObject")))
             : nullptr;
  ComPtr<IClassFactory> factory;
  ComPtr<IDispatch> control;
  EXPECT_TRUE(get_class_object) << "cannot load " << name;
  if (get_class_object && SUCCEEDED(get_class_object(CLSID_Orvanta, IID_IClassFactory, factory.ReceiveVoid()))) {
    EXPECT_EQ(factory->CreateInstance(nullptr, IID_IDispatch, control.ReceiveVoid()), S_OK);
  }
  return control;
}

// Three live instances; every few calls the oldest goes and a new one comes.
class Instances {
 public:
  Instances() {
    for (size_t i = 0; i < kInstances; ++i) live_.push_back(NewInstance());
  }
  ~Instances() {
    for (ComPtr<IDispatch>& instance : live_) {
      if (instance) {
        EXPECT_EQ(instance->Release(), 0u);
      }
      static_cast<void>(instance.Release());
    }
    EXPECT_EQ(OcxModule().CanUnloadNow(), S_OK) << "an object of the module is still alive";
  }
  Instances(const Instances&) = delete;
  Instances& operator=(const Instances&) = delete;

  // Calls |method| once; false when the answer was malformed.
  bool Call(const OrvantaMethod& method) {
    if (++calls_ % kCallsPerInstanceChange == 0) {
      // The oldest instance goes; its last reference is the test's own.
      EXPECT_EQ(live_.front()->Release(), 0u);
      static_cast<void>(live_.front().Release());
      live_.pop_front();
      live_.push_back(NewInstance());
    }
    IDispatch* instance = live_[calls_ % kInstances].Get();
    if (!instance) return false;
    const std::string fault = MalformationOf(CallForAnswer(instance, method.id), method.result);
    EXPECT_TRUE(fault.empty()) << "method " << method.id << ": " << fault;
    return fault.empty();
  }

 private:
  std::deque<ComPtr<IDispatch>> live_;
  int calls_ = 0;
};

std::string NameOf(const OrvantaMethod& method) {
  std::string name;
  for (const wchar_t* c = method.type_library_name; *c; ++c) name += static_cast<char>(*c);
  return name;
}

// The default playback device created and its caps read, as the sampling
// report does.
bool QueryDirectSound() {
  using DirectSoundCreateFn = HRESULT(WINAPI*)(const GUID*, IDirectSound**, IUnknown*);
  const ScopedLibrary dsound(L"dsound.dll");
  const auto create = dsound.Find<DirectSoundCreateFn>("DirectSoundCreate");
  ComPtr<IDirectSound> device;
  DSCAPS caps = {};
  caps.dwSize = sizeof(caps);
  return create && create(nullptr, device.Receive(), nullptr) == DS_OK && device->GetCaps(&caps) == DS_OK;
}

// The provider query of a method whose report asks a provider that keeps
// something of every use, or none: the DirectX report, the video card report
// and the registry video memory report (which asks for the video card name)
// ask DxDiag; the sampling report creates a DirectSound device.
using ProviderQuery = bool (*)();
ProviderQuery ProviderQueryOf(DISPID id) {
  if (id == 6 || id == 7 || id == 23) return QueryDxDiagDirectly;
  if (id == 19) return QueryDirectSound;
  return nullptr;
}

// Every method but the clock measurement, which spins for seconds, and the
// modal About box, which the window soak opens.
std::vector<OrvantaMethod> SoakedMethods(bool asks_provider) {
  std::vector<OrvantaMethod> methods;
  for (const OrvantaMethod& method : kOrvantaMethods) {
    if (method.id != 16 && method.id != DISPID_ABOUTBOX && (ProviderQueryOf(method.id) != nullptr) == asks_provider)
      methods.push_back(method);
  }
  return methods;
}

std::string TestNameOf(const ::testing::TestParamInfo<OrvantaMethod>& info) { return NameOf(info.param); }

class MethodSoak : public ::testing::TestWithParam<OrvantaMethod> {};

TEST_P(MethodSoak, KeepsNothingOfItsCalls) {
  const OrvantaMethod& method = GetParam();
  const int calls = MethodCalls();
  ASSERT_GT(calls * kSmallLeak, HeapAllowance())
      << "too few calls to see a leak of " << kSmallLeak << " bytes a call past the heap's allowance";
  Instances instances;
  for (int call = 0; call < kWarmUpCalls; ++call) instances.Call(method);
  const Figures warm = MeasureProcess();
  int malformed = 0;
  for (int call = 0; call < calls; ++call) malformed += !instances.Call(method);
  EXPECT_EQ(malformed, 0);
  const Figures kept = GrowthSince(warm);
  Print(NameOf(method), calls, kept);
  ExpectKeptNoMore(NameOf(method), calls, kept);
}

INSTANTIATE_TEST_SUITE_P(Soak, MethodSoak, ::testing::ValuesIn(SoakedMethods(false)), TestNameOf);

class ProviderSoak : public ::testing::TestWithParam<OrvantaMethod> {};

// Wine's DxDiag provider keeps handles and memory for every initialisation,
// and its DirectSound heap memory for every device, whoever asks: the report
// may keep what as many queries of the test's own keep, in this process, now,
// and nothing more.
TEST_P(ProviderSoak, KeepsNoMoreThanTheProviderDoes) {
  const OrvantaMethod& method = GetParam();
  const ProviderQuery query = ProviderQueryOf(method.id);
  const int calls = query == QueryDxDiagDirectly ? DxDiagCalls() : MethodCalls();
  Instances instances;
  for (int call = 0; call < kWarmUpCalls; ++call) {
    instances.Call(method);
    ASSERT_TRUE(query()) << "the provider does not answer";
  }
  Figures before = MeasureProcess();
  for (int call = 0; call < calls; ++call) query();
  const Figures provider = MeasureProcess() - before;
  Print(NameOf(method) + ":provider", calls, provider);

  before = MeasureProcess();
  int malformed = 0;
  for (int call = 0; call < calls; ++call) malformed += !instances.Call(method);
  EXPECT_EQ(malformed, 0);
  Figures allowed = provider;
  allowed.heap_bytes = std::max(0LL, provider.heap_bytes);
  allowed.private_bytes = std::max(0LL, provider.private_bytes);
  const Figures kept = GrowthSince(before, allowed);
  Print(NameOf(method), calls, kept);
  ExpectKeptNoMore(NameOf(method), calls, kept, allowed);
}

INSTANTIATE_TEST_SUITE_P(Soak, ProviderSoak, ::testing::ValuesIn(SoakedMethods(true)), TestNameOf);

// Closes every visible top-level window of one thread, from a thread of its
// own, while that thread sits in a modal loop.
class ModalCloser {
 public:
  explicit ModalCloser(DWORD thread) : thread_(thread) {
    stop_ = ScopedHandle(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    closer_ = ScopedHandle(CreateThread(nullptr, 0, Run, this, 0, nullptr));
  }
  ~ModalCloser() {
    SetEvent(stop_.Get());
    WaitForSingleObject(closer_.Get(), INFINITE);
  }
  ModalCloser(const ModalCloser&) = delete;
  ModalCloser& operator=(const ModalCloser&) = delete;
  long closed() const { return closed_; }

 private:
  static BOOL CALLBACK Close(HWND window, LPARAM self) {
    if (!IsWindowVisible(window) || !IsWindowEnabled(window)) return TRUE;
    PostMessageW(window, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    InterlockedIncrement(&reinterpret_cast<ModalCloser*>(self)->closed_);
    return TRUE;
  }
  static DWORD WINAPI Run(void* parameter) {
    auto* self = static_cast<ModalCloser*>(parameter);
    while (WaitForSingleObject(self->stop_.Get(), 50) == WAIT_TIMEOUT)
      EnumThreadWindows(self->thread_, Close, reinterpret_cast<LPARAM>(self));
    return 0;
  }

  DWORD thread_;
  volatile LONG closed_ = 0;
  ScopedHandle stop_;
  ScopedHandle closer_;
};

// Runs first: the figures the checks rest on must be real, and what cannot be
// counted here is said.
TEST(Soak, CountsWhatThisSystemCanCount) {
  if (!GuiObjectsCountable())
    std::printf("soak GDI and USER objects cannot be counted here (GetGuiResources answers 0): the soak counts "
                "the process's windows and their classes instead\n");
  const Figures figures = MeasureProcess();
  EXPECT_GT(figures.handles, 0);
  EXPECT_GT(figures.private_bytes, 0);
  EXPECT_GT(figures.heap_bytes, 0);
  EXPECT_GT(AllocationGranule(), 0);
  EXPECT_GT(HeapAllowance(), 0);
}

// The About box and the Properties verb's sheet, one after the other.
void OpenAndCloseBoth(IDispatch* control) {
  ScopedVariant result;
  EXPECT_EQ(InvokeMethod(control, DISPID_ABOUTBOX, result.Receive()), S_OK);
  ComPtr<IOleObject> object;
  ASSERT_EQ(ComPtr<IDispatch>::Share(control).As(IID_IOleObject, &object), S_OK);
  EXPECT_EQ(object->DoVerb(OLEIVERB_PROPERTIES, nullptr, nullptr, 0, nullptr, nullptr), S_OK);
}

TEST(Soak, AboutBoxAndPropertySheetKeepNothing) {
  const int calls = std::max(3, MethodCalls() / 4);
  ComPtr<IDispatch> control = CreateControl();
  ASSERT_TRUE(control);
  ModalCloser closer(GetCurrentThreadId());
  for (int call = 0; call < kWarmUpCalls; ++call) OpenAndCloseBoth(control.Get());
  const Figures warm = MeasureProcess();
  for (int call = 0; call < calls; ++call) OpenAndCloseBoth(control.Get());
  const Figures kept = GrowthSince(warm);
  Print("AboutBox and Properties", calls, kept);
  EXPECT_GE(closer.closed(), 2 * (kWarmUpCalls + calls)) << "a box or sheet did not open";
  ExpectKeptNoMore("the About box and the property sheet", calls, kept);
  control.Reset();
  EXPECT_EQ(OcxModule().CanUnloadNow(), S_OK) << "an object of the module is still alive";
}


}  // namespace
}  // namespace orvanta::testing
