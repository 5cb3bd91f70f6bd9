// CUserOrvanta::GetCPUInfo, GetCPUCount, GetCPUPhysicalCount and
// GetCPUFrequency: the Windows side of the processor reports.
#include <x86intrin.h>

#include "collectors/processor/cpu_name.h"
#include "collectors/processor/cpu_reports.h"
#include "collectors/user_orvanta.h"
#include "framework/scoped_library.h"
#include "framework/wait_cursor.h"

namespace orvanta {
namespace {

using GetLogicalProcessorInformationFn = BOOL(WINAPI*)(SYSTEM_LOGICAL_PROCESSOR_INFORMATION*, DWORD*);

// GetLogicalProcessorInformation where kernel32 has it (Windows XP SP3 and later).
class LiveProcessorInformation : public ProcessorInformationSource {
 public:
  LiveProcessorInformation()
      : kernel32_(L"kernel32.dll"),
        query_(kernel32_.Find<GetLogicalProcessorInformationFn>("GetLogicalProcessorInformation")) {}

  bool Available() const override { return query_ != nullptr; }
  bool Query(SYSTEM_LOGICAL_PROCESSOR_INFORMATION* buffer, DWORD* length) const override {
    return query_(buffer, length) != FALSE;
  }

 private:
  ScopedLibrary kernel32_;
  GetLogicalProcessorInformationFn query_;
};

class LiveClock : public ProcessorClock {
 public:
  DWORD TickCount() override { return GetTickCount(); }
  uint64_t TimeStampCounter() override { return __rdtsc(); }
};

}  // namespace

void CUserOrvanta::GetCPUInfo(CString& report) {
  WaitCursor wait;
  WriteCPUInfoReport(report, LiveRegistry());
}

void CUserOrvanta::GetCPUCount(CString& report) {
  SYSTEM_INFO info = {};
  GetSystemInfo(&info);
  AppendFormat(report, L"%d", static_cast<int>(info.dwNumberOfProcessors));
}

void CUserOrvanta::GetCPUPhysicalCount(CString& report) {
  WriteCPUPhysicalCountReport(report, CountProcessorCores(LiveProcessorInformation()));
}

void CUserOrvanta::GetCPUFrequency(CString& report) {
  if (!HasTimeStampCounter(LiveCpuid())) return;
  LiveClock clock;
  WriteCPUFrequencyReport(report, MegahertzOf(MeasureFrequency(clock)));
}

}  // namespace orvanta
