// The processor and system model reports of this machine through COM, with
// registry values that the tests plant and remove again.
#include <gtest/gtest.h>
#include <cpuid.h>
#include <x86intrin.h>

#include <cwctype>

#include "framework/reg_key.h"
#include "tests/com/com_test_support.h"
#include "tests/com/method_contract.h"
#include "tests/com/planted_key.h"

namespace orvanta::testing {
namespace {

const wchar_t kOemKey[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\WindowsUpdate\\OemInfo";
const wchar_t kSystemInformationKey[] = L"SYSTEM\\CurrentControlSet\\Control\\SystemInformation";
const wchar_t kProcessorKey[] = L"HARDWARE\\DESCRIPTION\\System\\CentralProcessor\\0";

class ProcessorReports : public ::testing::Test {
 protected:
  void SetUp() override {
    control_ = CreateControl();
    ASSERT_TRUE(control_);
  }
  std::wstring Report(DISPID id) { return CallReport(control_.Get(), id); }
  ComPtr<IDispatch> control_;
};

// The processor's brand string as CPUID gives it, without surrounding blanks.
std::wstring BrandString() {
  std::string brand;
  for (unsigned leaf = 0x80000002; leaf <= 0x80000004; ++leaf) {
    unsigned regs[4];
    __cpuid(leaf, regs[0], regs[1], regs[2], regs[3]);
    brand.append(reinterpret_cast<const char*>(regs), sizeof(regs));
  }
  brand.resize(brand.find('\0') == std::string::npos ? brand.size() : brand.find('\0'));
  const size_t first = brand.find_first_not_of(" \t\n\v\f\r");
  const size_t last = brand.find_last_not_of(" \t\n\v\f\r");
  return first == std::string::npos ? L"" : std::wstring(brand.begin() + first, brand.begin() + last + 1);
}

TEST_F(ProcessorReports, NameIsTheBrandStringWithFamilyModelAndStepping) {
  unsigned eax, ebx, ecx, edx;
  __cpuid(0x80000000, eax, ebx, ecx, edx);
  ASSERT_GT(eax, 0x80000000u) << "this processor has no brand string";
  __cpuid(1, eax, ebx, ecx, edx);
  const std::wstring expected = BrandString() + L" Family " + std::to_wstring((eax >> 8) & 0xF) + L" Model " +
                                std::to_wstring((eax >> 4) & 0xF) + L" Stepping " + std::to_wstring(eax & 0xF);
  EXPECT_EQ(Report(IdOf(L"GetCPUNameInfo")), expected);
}

TEST_F(ProcessorReports, CountIsTheLogicalProcessorsThatWindowsReports) {
  SYSTEM_INFO info = {};
  GetSystemInfo(&info);
  EXPECT_EQ(Report(IdOf(L"GetCPUCount")), std::to_wstring(info.dwNumberOfProcessors));
}

TEST_F(ProcessorReports, PhysicalCountIsTheCoreRecordsOrADash) {
  DWORD length = 0;
  GetLogicalProcessorInformation(nullptr, &length);
  std::vector<SYSTEM_LOGICAL_PROCESSOR_INFORMATION> records(length / sizeof(SYSTEM_LOGICAL_PROCESSOR_INFORMATION));
  int cores = 0;
  if (length <= 64 * sizeof(records[0]) && GetLogicalProcessorInformation(records.data(), &length)) {
    for (const auto& record : records) cores += record.Relationship == RelationProcessorCore;
  }
  EXPECT_EQ(Report(IdOf(L"GetCPUPhysicalCount")), cores > 0 ? std::to_wstring(cores) : L"-");
}

// The time-stamp counter's rate in MHz, measured against the performance counter.
double TimeStampCounterMegahertz() {
  LARGE_INTEGER frequency, start, now;
  QueryPerformanceFrequency(&frequency);
  QueryPerformanceCounter(&start);
  const uint64_t start_cycles = __rdtsc();
  do {
    QueryPerformanceCounter(&now);
  } while (now.QuadPart - start.QuadPart < frequency.QuadPart);
  const uint64_t cycles = __rdtsc() - start_cycles;
  const double seconds = static_cast<double>(now.QuadPart - start.QuadPart) / frequency.QuadPart;
  return cycles / seconds / 1e6;
}

TEST_F(ProcessorReports, FrequencyIsTheTimeStampCounterRate) {
  const std::wstring report = Report(IdOf(L"GetCPUFrequency"));
  ASSERT_GT(report.size(), 5u);
  ASSERT_EQ(report.substr(report.size() - 5), L" MHz\n");
  const double reported = std::stod(report.substr(0, report.size() - 5));
  const double measured = TimeStampCounterMegahertz();
  EXPECT_NEAR(reported, measured, measured * 0.02) << "reported " << reported << ", measured " << measured;
}

TEST_F(ProcessorReports, InfoListsOemStringsBeforeTheProcessor) {
  RegKey processor;
  ASSERT_EQ(processor.Open(HKEY_LOCAL_MACHINE, kProcessorKey, KEY_READ), ERROR_SUCCESS);
  std::wstring processor_lines;
  for (const wchar_t* name : {L"ProcessorNameString", L"Identifier", L"VendorIdentifier"}) {
    DWORD type = 0;
    std::wstring text;
    if (processor.ReadText(name, &type, &text) != ERROR_SUCCESS) continue;
    // The processor name loses its leading blanks.
    if (name == std::wstring(L"ProcessorNameString")) text.erase(0, text.find_first_not_of(L" \t\n\v\f\r"));
    processor_lines += text + L"\n";
  }
  ASSERT_FALSE(processor_lines.empty()) << "Wine describes no processor";
  EXPECT_EQ(Report(IdOf(L"GetCPUInfo")), processor_lines);

  PlantedKey oem(kOemKey);
  ASSERT_NO_FATAL_FAILURE(oem.Plant());
  EXPECT_EQ(Report(IdOf(L"GetCPUInfo")), processor_lines) << "an empty OEM key adds no line";
  ASSERT_NO_FATAL_FAILURE(oem.SetText(L"WbemProduct", L" Model 7"));
  ASSERT_NO_FATAL_FAILURE(oem.SetText(L"WbemOem", L"  Maker Inc."));
  ASSERT_NO_FATAL_FAILURE(oem.SetText(L"AcpiOem", L"", REG_EXPAND_SZ));
  EXPECT_EQ(Report(IdOf(L"GetCPUInfo")), L"\nMaker Inc.\n Model 7\n" + processor_lines);
}

TEST_F(ProcessorReports, SystemModelComesFromTheFirstKeyThatOpens) {
  EXPECT_EQ(Report(IdOf(L"GetSystemModelInfo")), L"") << "neither key exists in a fresh prefix";

  PlantedKey system(kSystemInformationKey);
  ASSERT_NO_FATAL_FAILURE(system.Plant());
  ASSERT_NO_FATAL_FAILURE(system.SetText(L"SystemManufacturer", L"Maker Inc."));
  ASSERT_NO_FATAL_FAILURE(system.SetText(L"SystemProductName", L"Model 7"));
  EXPECT_EQ(Report(IdOf(L"GetSystemModelInfo")), L"SystemModel : Maker Inc.\nProduct : Model 7\n");

  PlantedKey oem(kOemKey);
  ASSERT_NO_FATAL_FAILURE(oem.Plant());
  ASSERT_NO_FATAL_FAILURE(oem.SetText(L"WbemOem", L"OEM maker"));
  EXPECT_EQ(Report(IdOf(L"GetSystemModelInfo")), L"") << "the OEM key without its product value";

  ASSERT_NO_FATAL_FAILURE(oem.SetText(L"WbemProduct", L"OEM model", REG_EXPAND_SZ));
  EXPECT_EQ(Report(IdOf(L"GetSystemModelInfo")), L"Product : OEM maker\n");

  ASSERT_NO_FATAL_FAILURE(oem.SetText(L"WbemProduct", L""));
  EXPECT_EQ(Report(IdOf(L"GetSystemModelInfo")), L"SystemModel : \nProduct : OEM maker\n");

  // Over-long and unterminated text is cut to 256 characters, never read past.
  const std::wstring long_text(400, L'L');
  ASSERT_NO_FATAL_FAILURE(oem.Set(L"WbemProduct", REG_SZ, long_text.data(), long_text.size() * sizeof(wchar_t)));
  ASSERT_NO_FATAL_FAILURE(oem.Set(L"WbemOem", REG_DWORD, "\x01\x00\x00\x00", 4));
  EXPECT_EQ(Report(IdOf(L"GetSystemModelInfo")), L"SystemModel : " + std::wstring(256, L'L') + L"\n");
}

}  // namespace
}  // namespace orvanta::testing
