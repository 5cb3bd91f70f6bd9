// The processor description, core count and clock reports from given facts.
#include <gtest/gtest.h>

#include "collectors/processor/cpu_reports.h"
#include "tests/unit/fake_registry.h"

namespace orvanta {
namespace {

using testing::FakeRegistry;
using testing::UnterminatedText;

const std::wstring kOem = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\WindowsUpdate\\OemInfo";
const std::wstring kProcessor = L"HARDWARE\\DESCRIPTION\\System\\CentralProcessor\\0";

std::wstring CPUInfo(const FakeRegistry& registry) {
  CString report;
  WriteCPUInfoReport(report, registry);
  return report;
}

TEST(CPUInfoReport, ListsOemStringsThenTheProcessorInOrder) {
  FakeRegistry registry;
  registry.Text(kOem, L"WbemProduct", L"  Model 7 ")
      .Text(kOem, L"AcpiOem", L" ACPI OEM")
      .Text(kOem, L"WbemOem", L" \t\r\nMaker Inc.")
      .Text(kProcessor, L"VendorIdentifier", L"GenuineIntel")
      .Text(kProcessor, L"Identifier", L"x86 Family 15 Model 4 Stepping 1")
      .Text(kProcessor, L"ProcessorNameString", L"      Intel(R) Pentium(R) 4 CPU 3.00GHz");
  // Leading white space goes from the OEM maker and the processor name only.
  EXPECT_EQ(CPUInfo(registry),
            L" ACPI OEM\n"
            L"Maker Inc.\n"
            L"  Model 7 \n"
            L"Intel(R) Pentium(R) 4 CPU 3.00GHz\n"
            L"x86 Family 15 Model 4 Stepping 1\n"
            L"GenuineIntel\n");
}

TEST(CPUInfoReport, LeavesOutAbsentKeysAndValues) {
  FakeRegistry registry;
  registry.Key(kOem).Text(kProcessor, L"ProcessorNameString", L"   Name");
  EXPECT_EQ(CPUInfo(registry), L"Name\n");
  EXPECT_EQ(CPUInfo(FakeRegistry()), L"");
  FakeRegistry oem_only;
  oem_only.Text(kOem, L"WbemOem", L"Maker");
  EXPECT_EQ(CPUInfo(oem_only), L"Maker\n");
}

TEST(CPUInfoReport, ReadsAnyTypeAsTextUpToTheFirstZero) {
  FakeRegistry registry;
  registry.Text(kProcessor, L"ProcessorNameString", L"", REG_SZ)
      .Value(kProcessor, L"Identifier", REG_BINARY, UnterminatedText(L"No terminator"))
      .Value(kProcessor, L"VendorIdentifier", REG_MULTI_SZ, UnterminatedText(std::wstring(L"First\0Second", 12)));
  // An empty value still gives its line.
  EXPECT_EQ(CPUInfo(registry), L"\nNo terminator\nFirst\n");

  FakeRegistry odd;
  std::vector<BYTE> bytes = UnterminatedText(L"AB");
  bytes.push_back('C');  // a stray odd byte is not a character
  odd.Value(kProcessor, L"Identifier", REG_SZ, bytes).Value(kProcessor, L"VendorIdentifier", REG_DWORD, {1, 0, 0, 0});
  EXPECT_EQ(CPUInfo(odd), L"AB\n\x0001\n");
}

// GetLogicalProcessorInformation as a test describes it.
class FakeProcessorInformation : public ProcessorInformationSource {
 public:
  bool available = true;
  bool fail_read = false;
  DWORD needed_override = 0;  // reports a needed length other than the records'
  std::vector<LOGICAL_PROCESSOR_RELATIONSHIP> records;
  mutable int reads = 0;

  bool Available() const override { return available; }
  bool Query(SYSTEM_LOGICAL_PROCESSOR_INFORMATION* buffer, DWORD* length) const override {
    const DWORD needed = needed_override ? needed_override
                                         : static_cast<DWORD>(records.size() * sizeof(*buffer));
    if (!buffer || *length < needed) {
      *length = needed;
      return false;
    }
    ++reads;
    if (fail_read) return false;
    for (size_t i = 0; i < records.size(); ++i) {
      buffer[i] = {};
      buffer[i].Relationship = records[i];
    }
    *length = needed;
    return true;
  }
};

std::wstring PhysicalCount(const FakeProcessorInformation& source) {
  CString report;
  WriteCPUPhysicalCountReport(report, CountProcessorCores(source));
  return report;
}

TEST(CPUPhysicalCount, CountsCoreRecordsOnly) {
  FakeProcessorInformation source;
  for (int core = 0; core < 4; ++core) {
    source.records.push_back(RelationProcessorCore);
    source.records.push_back(RelationCache);
    source.records.push_back(RelationCache);
  }
  source.records.push_back(RelationNumaNode);
  source.records.push_back(RelationProcessorPackage);
  EXPECT_EQ(PhysicalCount(source), L"4");
}

TEST(CPUPhysicalCount, IsADashWhenTheCountIsUnknown) {
  FakeProcessorInformation missing;
  missing.available = false;
  EXPECT_EQ(PhysicalCount(missing), L"-");

  FakeProcessorInformation no_cores;
  no_cores.records = {RelationCache, RelationNumaNode};
  EXPECT_EQ(PhysicalCount(no_cores), L"-");

  FakeProcessorInformation failing;
  failing.records = {RelationProcessorCore};
  failing.fail_read = true;
  EXPECT_EQ(PhysicalCount(failing), L"-");
}

TEST(CPUPhysicalCount, ReadsAtMostSixtyFourRecords) {
  FakeProcessorInformation full;
  full.records.assign(kMaxProcessorRecords, RelationProcessorCore);
  EXPECT_EQ(PhysicalCount(full), L"64");

  FakeProcessorInformation too_many;
  too_many.records.assign(kMaxProcessorRecords + 1, RelationProcessorCore);
  EXPECT_EQ(PhysicalCount(too_many), L"-");
  EXPECT_EQ(too_many.reads, 0);
}

TEST(CPUPhysicalCount, LimitsTheBytesByTheRecordSizeOfTheArchitecture) {
  // 24-byte records on 32-bit Windows, 32-byte ones on 64-bit Windows.
#ifdef _WIN64
  constexpr DWORD kRecordBytes = 32;
#else
  constexpr DWORD kRecordBytes = 24;
#endif
  ASSERT_EQ(sizeof(SYSTEM_LOGICAL_PROCESSOR_INFORMATION), kRecordBytes);
  constexpr DWORD kLimitBytes = kMaxProcessorRecords * kRecordBytes;  // 1536 on 32-bit Windows
  FakeProcessorInformation at_limit;
  at_limit.records.assign(kMaxProcessorRecords, RelationProcessorCore);
  at_limit.needed_override = kLimitBytes;
  EXPECT_EQ(PhysicalCount(at_limit), L"64");

  FakeProcessorInformation over_limit;
  over_limit.records.assign(kMaxProcessorRecords, RelationProcessorCore);
  over_limit.needed_override = kLimitBytes + 1;
  EXPECT_EQ(PhysicalCount(over_limit), L"-");
  EXPECT_EQ(over_limit.reads, 0);
}

TEST(CPUPhysicalCount, CountsOnlyWholeRecordsWithinTheWrittenLength) {
  FakeProcessorInformation source;
  source.records = {RelationProcessorCore, RelationProcessorCore, RelationProcessorCore};
  // Two records and a part of the third.
  source.needed_override = 2 * sizeof(SYSTEM_LOGICAL_PROCESSOR_INFORMATION) + 8;
  EXPECT_EQ(PhysicalCount(source), L"2");
}

// A clock whose true time moves on by |read_us| microseconds at every reading
// of either counter. The tick count shows that time in whole steps of
// |step_ms| milliseconds (Windows' steps are about 15.6 ms); the counter runs
// at |cycles_per_ms|.
class SteppingClock : public ProcessorClock {
 public:
  SteppingClock(uint64_t start_ms, DWORD step_ms, uint64_t cycles_per_ms, uint64_t read_us)
      : now_us_(start_ms * 1000), step_ms_(step_ms), cycles_per_ms_(cycles_per_ms), read_us_(read_us) {}
  DWORD TickCount() override {
    now_us_ += read_us_;
    ++reads;
    const uint64_t ms = now_us_ / 1000;
    return static_cast<DWORD>(ms - ms % step_ms_);
  }
  uint64_t TimeStampCounter() override {
    now_us_ += read_us_;
    return 1'000'000'000'000 + now_us_ * cycles_per_ms_ / 1000;
  }
  int reads = 0;

 private:
  uint64_t now_us_;
  DWORD step_ms_;
  uint64_t cycles_per_ms_;
  uint64_t read_us_;
};

TEST(CPUFrequency, WaitsUntilMoreThanTwoSecondsHavePassed) {
  // Ticks of 1 ms, one per reading: the measurement starts at the first
  // change (2 ms), the wait ends at 2003 ms, and the elapsed time is read
  // once more after it.
  SteppingClock clock(0, 1, 1000, 1000);
  const FrequencySample sample = MeasureFrequency(clock);
  EXPECT_EQ(sample.elapsed_ms, 2002u);
  EXPECT_EQ(sample.cycles, 2002 * 1000);
}

TEST(CPUFrequency, ATickOf16MsDoesNotBiasTheResult) {
  // 2.4 GHz, started 10 ms into a 16 ms step: counting from the step's start
  // would credit the counter with 10 ms that it did not run.
  SteppingClock clock(4992 + 10, 16, 2'400'000, 1);
  const FrequencySample sample = MeasureFrequency(clock);
  EXPECT_EQ(sample.elapsed_ms, 2016u);
  EXPECT_EQ(MegahertzOf(sample), 2400);
}

TEST(CPUFrequency, SurvivesAWrapOfTheTickCounter) {
  SteppingClock clock(0xFFFFFF00u, 10, 3'000'000, 1000);
  const FrequencySample sample = MeasureFrequency(clock);
  EXPECT_EQ(sample.elapsed_ms, 2010u);
  EXPECT_LT(clock.reads, 2100);
}

TEST(CPUFrequency, TruncatesCyclesPerMillisecondAndMegahertz) {
  EXPECT_EQ(MegahertzOf({2016, 4'838'400'000}), 2400);
  EXPECT_EQ(MegahertzOf({2001, 2001LL * 2'399'999}), 2399);
  EXPECT_EQ(MegahertzOf({2001, 2001LL * 2'399'999 + 2000}), 2399);
  EXPECT_EQ(MegahertzOf({2001, 999}), 0);
  CString report;
  WriteCPUFrequencyReport(report, 2399);
  EXPECT_EQ(report, L"2399 MHz\n");
}

}  // namespace
}  // namespace orvanta
