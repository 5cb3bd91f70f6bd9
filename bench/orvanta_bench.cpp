// The benchmark: per-method latency of the control in one warm process, the
// whole survey, the platform floor of each report, the peer tools a user
// would run instead, and the measured clock against the time-stamp counter.
// Writes a Markdown section to the file named by its first argument. With
// --emulated (the 32-bit file in the 32-bit lane's emulated guest) only the
// method and floor tables, with fewer repeats: there the times mean little
// and the ratio of each method to its floor is the figure to read.
//
//   orvanta_bench.exe <output.md> [--emulated] [path of ORVANTA.OCX]
#include <windows.h>
#include <intrin.h>
#include <olectl.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <cwchar>
#include <map>
#include <string>
#include <vector>

#include "bench/floors.h"
#include "control/dispatch_table.h"
#include "control/orvanta_idl.h"
#include "framework/com_ptr.h"
#include "framework/scoped_handle.h"
#include "framework/scoped_library.h"
#include "framework/scoped_variant.h"

namespace orvanta::bench {
namespace {

// What each report must ask the platform for, warm and on the first call of
// the process (the operating-system and security reports cache their WMI
// answers after the first).
struct MethodFloor {
  DISPID id;
  std::vector<const char*> warm;
  std::vector<const char*> first;  // empty: as warm
};

const MethodFloor kMethodFloors[] = {
    {1, {"none"}, {"wmi", "wmi"}},
    {2, {"registry", "cursor"}, {}},
    {3, {"memory"}, {}},
    {4, {"services"}, {}},
    {5, {"ddraw"}, {}},
    {6, {"dxdiag"}, {}},
    {7, {"dxdiag", "ddrawid"}, {}},
    {8, {"drives", "cursor"}, {}},
    {9, {"dsenum"}, {}},
    {10, {"modes"}, {}},
    {11, {"services"}, {}},
    {12, {"services"}, {}},
    {13, {"services"}, {}},
    {14, {"services"}, {}},
    {15, {"current"}, {}},
    {17, {"cpuid"}, {}},
    {18, {"none"}, {}},
    {19, {"dscreate"}, {}},
    {20, {"sysdrive", "cursor"}, {}},
    {21, {"model"}, {}},
    {22, {"ddraw"}, {}},
    {23, {"dxdiag", "ddrawid", "adapters"}, {}},
    {24, {"d3d8"}, {}},
    {25, {"d3d9"}, {}},
    {26, {"d3d9"}, {}},
    {27, {"sysinfo"}, {}},
    {28, {"d3d10_1"}, {}},
    {29, {"topology"}, {}},
    {30, {"none"}, {"wmi", "wmi"}},
};

constexpr DISPID kClock = 16;

double Now() {
  static const double frequency = [] {
    LARGE_INTEGER f;
    QueryPerformanceFrequency(&f);
    return static_cast<double>(f.QuadPart);
  }();
  LARGE_INTEGER t;
  QueryPerformanceCounter(&t);
  return static_cast<double>(t.QuadPart) * 1000.0 / frequency;  // milliseconds
}

struct Timing {
  double first = 0;
  double median = 0;
  double p95 = 0;
  int repeats = 0;
};

Timing Summary(std::vector<double> samples, double first) {
  Timing timing;
  timing.first = first;
  std::sort(samples.begin(), samples.end());
  timing.repeats = static_cast<int>(samples.size());
  if (!samples.empty()) {
    timing.median = samples[samples.size() / 2];
    timing.p95 = samples[std::min(samples.size() - 1, (samples.size() * 95 + 99) / 100 - 1)];
  }
  return timing;
}

// Times |call| once on its own, then |repeats| more times.
template <class Call>
Timing Time(Call&& call, int repeats) {
  double start = Now();
  call();
  const double first = Now() - start;
  std::vector<double> samples;
  for (int i = 0; i < repeats; ++i) {
    start = Now();
    call();
    samples.push_back(Now() - start);
  }
  return Summary(std::move(samples), first);
}

// Fewer repeats for slow calls, so that a run stays within minutes.
bool emulated = false;
int RepeatsFor(double first_ms) {
  if (emulated) return first_ms > 50 ? 3 : first_ms > 5 ? 5 : 20;
  return first_ms > 50 ? 10 : first_ms > 5 ? 25 : 100;
}

std::wstring CallText(IDispatch* control, DISPID id) {
  DISPPARAMS none = {};
  ScopedVariant result;
  if (FAILED(control->Invoke(id, IID_NULL, 0, DISPATCH_METHOD, &none, result.Receive(), nullptr, nullptr)))
    return L"(failed)";
  if (result.Type() != VT_BSTR || !V_BSTR(&result.Get())) return {};
  return std::wstring(V_BSTR(&result.Get()), SysStringLen(V_BSTR(&result.Get())));
}

// Runs a peer tool under the same system and waits for it; milliseconds.
double RunPeer(const std::wstring& command) {
  std::wstring line = command;
  STARTUPINFOW startup = {};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION process = {};
  const double start = Now();
  if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr, nullptr, &startup,
                      &process))
    return -1;
  ScopedHandle process_handle(process.hProcess);
  ScopedHandle thread_handle(process.hThread);
  WaitForSingleObject(process.hProcess, 5 * 60 * 1000);
  return Now() - start;
}

double MedianPeer(const std::wstring& command, int runs) {
  std::vector<double> times;
  for (int i = 0; i < runs; ++i) times.push_back(RunPeer(command));
  std::sort(times.begin(), times.end());
  return times[times.size() / 2];
}

// The time-stamp counter's rate in MHz, counted against the performance
// counter over |ms| milliseconds.
double CounterMegahertz(double ms) {
  const double start = Now();
  const unsigned long long ticks = __rdtsc();
  while (Now() - start < ms) {
  }
  const unsigned long long end_ticks = __rdtsc();
  const double elapsed = Now() - start;
  return static_cast<double>(end_ticks - ticks) / (elapsed * 1000.0);
}

std::string Narrow(const std::wstring& text) {
  std::string out;
  for (wchar_t c : text) {
    if (c == L'\n') out += "\\n";
    else if (c == L'|') out += "\\|";
    else if (c < 0x80) out += static_cast<char>(c);
    else out += '?';
  }
  return out.size() > 60 ? out.substr(0, 57) + "..." : out;
}

const OrvantaMethod& MethodOf(DISPID id) {
  for (const OrvantaMethod& method : kOrvantaMethods) {
    if (method.id == id) return method;
  }
  return kOrvantaMethods[0];
}

using FloorTimings = std::map<std::string, Timing>;

// Each floor's raw call sequence, first time and warm.
FloorTimings TimeFloors() {
  FloorTimings floors;
  for (const Floor& floor : Floors()) {
    bool available = true;
    const Timing first = Time([&] { available = floor.run(); }, 0);
    Timing timing = Time([&] { floor.run(); }, RepeatsFor(first.first));
    timing.first = first.first;
    floors[floor.name] = timing;
    if (!available) std::fprintf(stderr, "floor %s: not available here\n", floor.name);
  }
  return floors;
}

// What the method table leaves for the sections after it.
struct MethodTimes {
  double floor_total = 0;                // the warm floors of every method
  std::map<DISPID, double> first_calls;  // each method's first call
};

// The sum of |names|' floors: their medians, or their first calls.
double FloorSum(FloorTimings& floors, const std::vector<const char*>& names, bool first) {
  double sum = 0;
  for (const char* name : names) sum += first ? floors[name].first : floors[name].median;
  return sum;
}

// One method's row: the method and its floor, timed in turn, so that a change
// in the load of a shared machine weighs on both alike.
void WriteMethodRow(FILE* out, IDispatch* control, const MethodFloor& row, FloorTimings& floors,
                    MethodTimes& times) {
  std::wstring answer;
  const Timing first = Time([&] { answer = CallText(control, row.id); }, 0);
  std::vector<double> method_samples, floor_samples;
  for (int i = RepeatsFor(std::max(first.first, FloorSum(floors, row.warm, true))); i > 0; --i) {
    double start = Now();
    CallText(control, row.id);
    method_samples.push_back(Now() - start);
    start = Now();
    for (const char* name : row.warm) FindFloor(name)->run();
    floor_samples.push_back(Now() - start);
  }
  const Timing timing = Summary(method_samples, first.first);
  times.first_calls[row.id] = first.first;
  const double floor = Summary(floor_samples, 0).median;
  times.floor_total += floor;
  // No ratio where the floor is too small to time or the report is empty.
  const double ratio = floor > 0.05 && !answer.empty() ? timing.median / floor : 0;
  std::fprintf(out, "| %ld | %ls | %.2f | %.3f | %.3f | %d | %.3f", static_cast<long>(row.id),
               MethodOf(row.id).type_library_name, timing.first, timing.median, timing.p95, timing.repeats, floor);
  if (!row.first.empty()) std::fprintf(out, " (%.1f)", FloorSum(floors, row.first, true));
  std::fprintf(out, " | %s | %s | %s |\n", ratio > 0 ? (std::to_string(ratio).substr(0, 4) + "x").c_str() : "-",
               emulated ? "-" : timing.p95 < 20 ? "yes" : "no", Narrow(answer).c_str());
}

// The table of methods, each timed in turn with its floor.
MethodTimes WriteMethodTable(FILE* out, IDispatch* control, FloorTimings& floors) {
  if (emulated)
    std::fprintf(out,
                 "## Methods: the 32-bit file, emulated\n\nThe 32-bit ORVANTA.OCX under 32-bit Wine in the 32-bit "
                 "lane's QEMU guest (TCG, no hardware virtualisation). The times are emulated: many times those of "
                 "real hardware, and they mean little on their own; the ratio of each method to its floor, timed "
                 "in turn in the same process, is the figure to read. ");
  else
    std::fprintf(out, "## Methods\n\n");
  std::fprintf(out,
               "Milliseconds. First: the first call in the process; median and p95 over the repeats that follow. "
               "Floor: the median of the raw platform calls the report needs, timed in turn with the method "
               "(first-call floor in brackets where it differs).\n\n");
  std::fprintf(out, "| id | method | first | median | p95 | repeats | floor | ratio | p95 < 20 | answer |\n");
  std::fprintf(out, "|---:|---|---:|---:|---:|---:|---:|---:|---|---|\n");
  MethodTimes times;
  for (const MethodFloor& row : kMethodFloors) WriteMethodRow(out, control, row, floors, times);
  return times;
}

void WriteFloorTable(FILE* out, FloorTimings& floors) {
  std::fprintf(out, "\n## Platform floors%s\n\n| floor | calls | first | median | p95 |\n|---|---|---:|---:|---:|\n",
               emulated ? ": the 32-bit file, emulated (milliseconds under emulation)" : "");
  for (const Floor& floor : Floors()) {
    const Timing& timing = floors[floor.name];
    std::fprintf(out, "| %s | %s | %.2f | %.3f | %.3f |\n", floor.name, floor.calls, timing.first, timing.median,
                 timing.p95);
  }
}

// The clock measurement against the counter's own rate.
void WriteClockTable(FILE* out, IDispatch* control) {
  const double counter_mhz = CounterMegahertz(2000);
  std::fprintf(out, "\n## Clock\n\n| run | GetCPUFrequency | ms | counter rate | error |\n|---:|---|---:|---:|---:|\n");
  for (int run = 1; run <= 3; ++run) {
    std::wstring answer;
    const Timing timing = Time([&] { answer = CallText(control, kClock); }, 0);
    const double reported = _wtof(answer.c_str());
    std::fprintf(out, "| %d | %s | %.0f | %.1f MHz | %+.3f%% |\n", run, Narrow(answer).c_str(), timing.first,
                 counter_mhz, counter_mhz > 0 ? (reported - counter_mhz) * 100.0 / counter_mhz : 0.0);
  }
}

// The whole survey: every method but the About box, in table order.
void WriteSurveyTable(FILE* out, IDispatch* control, double floor_total) {
  std::vector<double> surveys;
  for (int run = 0; run < 3; ++run) {
    const double start = Now();
    for (const OrvantaMethod& method : kOrvantaMethods) {
      if (method.id != DISPID_ABOUTBOX) CallText(control, method.id);
    }
    surveys.push_back(Now() - start);
  }
  std::sort(surveys.begin(), surveys.end());
  const double survey_floor = floor_total + 2000;
  std::fprintf(out,
               "\n## Whole survey\n\n| median of 3 | floors + 2000 ms clock | ratio |\n|---:|---:|---:|\n"
               "| %.0f ms | %.0f ms | %.2fx |\n",
               surveys[1], survey_floor, surveys[1] / survey_floor);
}

// Peers: the tools a user would run for the same facts.
void WritePeerTable(FILE* out, IDispatch* control, std::map<DISPID, double>& first_calls) {
  wchar_t temp[MAX_PATH];
  GetTempPathW(MAX_PATH, temp);
  const std::wstring dxdiag_file = std::wstring(temp) + L"orvanta_bench_dxdiag.txt";
  struct Peer {
    const char* fact;
    const wchar_t* command;
    DISPID id;
  };
  const std::wstring dxdiag = L"dxdiag.exe /t " + dxdiag_file;
  const Peer peers[] = {
      {"operating system", L"wmic.exe os get Caption", 1},
      {"processor name", L"wmic.exe cpu get Name", 17},
      {"DirectX version", dxdiag.c_str(), 6},
      {"display device", dxdiag.c_str(), 7},
  };
  std::fprintf(out,
               "\n## Peer tools\n\nEach peer run three times (median), as a process of its own under the same "
               "Wine; the control's figures are the first call in this process and the warm median. A ratio of 0x "
               "means the control's time was too short to measure.\n\n"
               "| fact | peer | peer ms | method | control first ms | control median ms | peer / first | "
               "peer / median |\n|---|---|---:|---|---:|---:|---:|---:|\n");
  std::map<std::wstring, double> peer_times;
  for (const Peer& peer : peers) {
    if (!peer_times.count(peer.command)) peer_times[peer.command] = MedianPeer(peer.command, 3);
    const double peer_ms = peer_times[peer.command];
    const Timing ours = Time([&] { CallText(control, peer.id); }, 10);
    const double first = first_calls[peer.id];
    std::fprintf(out, "| %s | `%ls` | %.0f | %ls | %.3f | %.3f | %.0fx | %.0fx |\n", peer.fact,
                 peer.id == 6 || peer.id == 7 ? L"dxdiag /t" : peer.command, peer_ms,
                 MethodOf(peer.id).type_library_name, first, ours.median, first > 0.001 ? peer_ms / first : 0,
                 ours.median > 0.001 ? peer_ms / ours.median : 0);
  }
  DeleteFileW(dxdiag_file.c_str());
}

// Every section in order; emulated, the method and floor tables only.
void WriteSections(FILE* out, IDispatch* control) {
  FloorTimings floors = TimeFloors();
  MethodTimes methods = WriteMethodTable(out, control, floors);
  WriteFloorTable(out, floors);
  if (emulated) return;
  WriteClockTable(out, control);
  WriteSurveyTable(out, control, methods.floor_total);
  WritePeerTable(out, control, methods.first_calls);
}

// Registers the control from |ocx_path|, measures it into |output_path| and
// unregisters it. 0, or 2 when the control cannot be registered or made, or
// the output cannot be written.
int MeasureControl(const wchar_t* output_path, const wchar_t* ocx_path) {
  using ServerFn = HRESULT(WINAPI*)();
  ScopedLibrary module(ocx_path);
  auto register_server = module.Find<ServerFn>("DllRegisterServer");
  if (!register_server || FAILED(register_server())) {
    std::fprintf(stderr, "cannot register the control\n");
    return 2;
  }
  int status = 2;
  ComPtr<IDispatch> control;
  if (FAILED(CoCreateInstance(CLSID_Orvanta, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch, control.ReceiveVoid()))) {
    std::fprintf(stderr, "cannot create the control\n");
  } else if (FILE* out = _wfopen(output_path, L"w")) {
    WriteSections(out, control.Get());
    const bool written = !std::ferror(out);
    if (std::fclose(out) == 0 && written) status = 0;
    else std::fprintf(stderr, "cannot write %ls\n", output_path);
  }
  control.Reset();
  if (auto unregister = module.Find<ServerFn>("DllUnregisterServer")) unregister();
  return status;
}

int Run(const wchar_t* output_path, const wchar_t* ocx_path) {
  if (FAILED(CoInitialize(nullptr))) return 2;
  const int status = MeasureControl(output_path, ocx_path);
  CoUninitialize();
  return status;
}

}  // namespace
}  // namespace orvanta::bench

int wmain(int argc, wchar_t** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: orvanta_bench <output.md> [--emulated] [ORVANTA.OCX]\n");
    return 2;
  }
  int next = 2;
  if (argc > next && std::wcscmp(argv[next], L"--emulated") == 0) {
    orvanta::bench::emulated = true;
    ++next;
  }
  std::wstring ocx;
  if (argc > next) {
    ocx = argv[next];
  } else {
    wchar_t path[MAX_PATH];
    const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    ocx.assign(path, length);
    ocx = ocx.substr(0, ocx.find_last_of(L'\\') + 1) + L"ORVANTA.OCX";
  }
  return orvanta::bench::Run(argv[1], ocx.c_str());
}
