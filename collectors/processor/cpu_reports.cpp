#include "collectors/processor/cpu_reports.h"

#include <vector>


namespace orvanta {
namespace {

struct DescriptionLine {
  const wchar_t* value;
  bool drop_leading_space;
};

struct DescriptionKey {
  const wchar_t* path;
  DescriptionLine lines[3];
};

constexpr DescriptionKey kDescriptionKeys[] = {
    {L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\WindowsUpdate\\OemInfo",
     {{L"AcpiOem", false}, {L"WbemOem", true}, {L"WbemProduct", false}}},
    {L"HARDWARE\\DESCRIPTION\\System\\CentralProcessor\\0",
     {{L"ProcessorNameString", true}, {L"Identifier", false}, {L"VendorIdentifier", false}}},
};

}  // namespace

void WriteCPUInfoReport(CString& report, const RegistrySource& registry) {
  for (const DescriptionKey& source : kDescriptionKeys) {
    RegKey key(registry);
    if (key.Open(HKEY_LOCAL_MACHINE, source.path, KEY_QUERY_VALUE) != ERROR_SUCCESS) continue;
    for (const DescriptionLine& line : source.lines) {
      DWORD type = REG_NONE;
      std::wstring text;
      if (key.ReadText(line.value, &type, &text) != ERROR_SUCCESS) continue;
      text = WellFormedText(std::move(text));
      report += line.drop_leading_space ? TrimLeadingWhiteSpace(text) : text;
      report += L'\n';
    }
  }
}

int CountProcessorCores(const ProcessorInformationSource& source) {
  if (!source.Available()) return 0;
  DWORD needed = 0;
  source.Query(nullptr, &needed);
  if (needed > kMaxProcessorRecords * sizeof(SYSTEM_LOGICAL_PROCESSOR_INFORMATION)) return 0;

  std::vector<SYSTEM_LOGICAL_PROCESSOR_INFORMATION> records(kMaxProcessorRecords);
  DWORD length = static_cast<DWORD>(records.size() * sizeof(records[0]));
  if (!source.Query(records.data(), &length)) return 0;
  // Only whole records within what was written count.
  const size_t written = std::min<size_t>(length / sizeof(records[0]), records.size());
  int cores = 0;
  for (size_t i = 0; i < written; ++i) {
    if (records[i].Relationship == RelationProcessorCore) ++cores;
  }
  return cores;
}

void WriteCPUPhysicalCountReport(CString& report, int cores) {
  if (cores > 0)
    AppendFormat(report, L"%d", cores);
  else
    report += L"-";
}

FrequencySample MeasureFrequency(ProcessorClock& clock) {
  // The tick count moves in steps (about 15.6 ms on Windows): the measurement
  // starts on a step's edge, as it ends on one, so that the ticks and the
  // counter cover the same time.
  const DWORD before = clock.TickCount();
  DWORD start_ticks;
  while ((start_ticks = clock.TickCount()) == before) {
  }
  const uint64_t start_cycles = clock.TimeStampCounter();
  while (static_cast<DWORD>(clock.TickCount() - start_ticks) <= 2000) {
  }
  const DWORD elapsed = clock.TickCount() - start_ticks;
  const uint64_t end_cycles = clock.TimeStampCounter();
  return {elapsed, static_cast<int64_t>(end_cycles - start_cycles)};
}

int64_t MegahertzOf(const FrequencySample& sample) {
  const int64_t cycles_per_ms = sample.cycles / static_cast<int64_t>(sample.elapsed_ms);
  return cycles_per_ms / 1000;
}

void WriteCPUFrequencyReport(CString& report, int64_t megahertz) {
  AppendFormat(report, L"%I64d MHz\n", megahertz);
}

}  // namespace orvanta
