// The processor description, core count and clock reports as plain logic.
// The Windows calls that feed them live in cpu_collectors.cpp.
#pragma once

#include <windows.h>

#include <cstdint>

#include "framework/reg_key.h"
#include "framework/report_text.h"

namespace orvanta {

// The OEM strings and the description of processor 0 from the registry, one
// value per line, each ended by "\n". Values are read as text whatever their
// type; absent keys and values give no line.
void WriteCPUInfoReport(CString& report, const RegistrySource& registry);

// What the core count asks of Windows.
class ProcessorInformationSource {
 public:
  virtual ~ProcessorInformationSource() = default;
  // False when the system has no GetLogicalProcessorInformation.
  virtual bool Available() const = 0;
  // GetLogicalProcessorInformation: fills |buffer| (may be null) and sets
  // |length| to the bytes written or needed.
  virtual bool Query(SYSTEM_LOGICAL_PROCESSOR_INFORMATION* buffer, DWORD* length) const = 0;
};

// The records that the core count reads at most.
inline constexpr DWORD kMaxProcessorRecords = 64;

// The number of processor-core records; 0 when the information is missing,
// needs more than kMaxProcessorRecords records, or cannot be read.
int CountProcessorCores(const ProcessorInformationSource& source);

// "%d" with the core count, or "-" when it is not known (0).
void WriteCPUPhysicalCountReport(CString& report, int cores);

// The clock that the frequency measurement reads.
class ProcessorClock {
 public:
  virtual ~ProcessorClock() = default;
  // Milliseconds since start-up, 32-bit, wrapping.
  virtual DWORD TickCount() = 0;
  // The time-stamp counter.
  virtual uint64_t TimeStampCounter() = 0;
};

struct FrequencySample {
  DWORD elapsed_ms;  // always above 2000
  int64_t cycles;
};

// Counts time-stamp-counter cycles while the tick count moves on by more than
// 2000 ms, from the first change of the tick count on, busy-waiting on the
// calling thread; unsigned tick arithmetic, so a wrap of the tick counter does
// not stop or prolong the wait.
FrequencySample MeasureFrequency(ProcessorClock& clock);

// Megahertz from a sample, truncated: cycles per millisecond, over 1000.
int64_t MegahertzOf(const FrequencySample& sample);

// "%I64d MHz\n".
void WriteCPUFrequencyReport(CString& report, int64_t megahertz);

}  // namespace orvanta
