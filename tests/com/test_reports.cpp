// Reports of this machine, asked through COM and checked against what the
// test itself learns from Windows.
#include <gtest/gtest.h>

#include <regex>
#include <sstream>

#include "tests/com/com_test_support.h"
#include "tests/com/method_contract.h"

namespace orvanta::testing {
namespace {

// A size field read back in megabytes: "11.77GB" gives 11770, "999.99MB" 999.
uint64_t FieldMegabytes(const std::wstring& whole, const std::wstring& decimals, const std::wstring& unit) {
  const uint64_t integral = std::stoull(whole);
  if (unit == L"MB") return integral;
  return integral * 1000 + std::stoull(decimals) * 10;
}

// Checks a pair of space fields against the volume's own figures.
void ExpectPlausibleSpace(const std::wsmatch& fields, size_t first, const std::wstring& path) {
  ULARGE_INTEGER available = {}, total = {}, total_free = {};
  ASSERT_TRUE(GetDiskFreeSpaceExW(path.c_str(), &available, &total, &total_free)) << path.c_str();
  const uint64_t free_mb = FieldMegabytes(fields[first], fields[first + 1], fields[first + 2]);
  const uint64_t total_mb = FieldMegabytes(fields[first + 3], fields[first + 4], fields[first + 5]);
  // The total is exact to the field's precision (10 MB in GB fields); the
  // free space may have moved a little between the two readings.
  const uint64_t volume_mb = total.QuadPart >> 20;
  EXPECT_LE(total_mb, volume_mb);
  EXPECT_GE(total_mb + 10, volume_mb);
  EXPECT_LE(free_mb, total_mb + 10);
  const uint64_t now_free_mb = available.QuadPart >> 20;
  EXPECT_LE(free_mb, now_free_mb + 1024);
  EXPECT_GE(free_mb + 1024, now_free_mb);
  EXPECT_GT(total_mb, 0u);
}

class Reports : public ::testing::Test {
 protected:
  void SetUp() override {
    control_ = CreateControl();
    ASSERT_TRUE(control_);
  }
  ComPtr<IDispatch> control_;
};

TEST_F(Reports, MemoryIsTheMachinesPhysicalMemory) {
  MEMORYSTATUSEX status = {};
  status.dwLength = sizeof(status);
  ASSERT_TRUE(GlobalMemoryStatusEx(&status));
  EXPECT_EQ(CallReport(control_.Get(), IdOf(L"GetMemoryInfo")),
            std::to_wstring(status.ullTotalPhys / (1024 * 1024)) + L" MB\n");
}

TEST_F(Reports, DrivesAreListedInOrderWithTheirTypes) {
  const std::wstring report = CallReport(control_.Get(), IdOf(L"GetDriveInfo"));
  ASSERT_FALSE(report.empty());
  ASSERT_EQ(report.back(), L'\n');

  static const std::wregex kFixed(
      LR"(([A-Z]:\\)\[Fixed\]\[Free:(\d+)\.(\d\d)(MB|GB)\]\[Total:(\d+)\.(\d\d)(MB|GB)\])");
  static const std::wregex kOther(LR"(([A-Z]:\\)\[(Removable|Remote|CD-ROM|RAM-Disk|Unknown|NoRootDir|\?\?\?)\])");

  wchar_t roots[128] = {};
  ASSERT_GT(GetLogicalDriveStringsW(128, roots), 0u);
  std::wistringstream lines(report);
  std::wstring line;
  const wchar_t* root = roots;
  bool saw_c = false, saw_z = false;
  while (std::getline(lines, line)) {
    ASSERT_NE(*root, L'\0') << "more lines than drives";
    std::wsmatch match;
    if (GetDriveTypeW(root) == DRIVE_FIXED) {
      ASSERT_TRUE(std::regex_match(line, match, kFixed)) << std::string(line.begin(), line.end());
      ExpectPlausibleSpace(match, 2, root);
    } else {
      ASSERT_TRUE(std::regex_match(line, match, kOther)) << std::string(line.begin(), line.end());
    }
    EXPECT_EQ(match[1].str(), root);
    saw_c |= line.rfind(L"C:\\[Fixed]", 0) == 0;
    saw_z |= line.rfind(L"Z:\\[Fixed]", 0) == 0;
    root += wcslen(root) + 1;
  }
  EXPECT_EQ(*root, L'\0') << "fewer lines than drives";
  EXPECT_TRUE(saw_c);
  EXPECT_TRUE(saw_z);
}

TEST_F(Reports, SystemDriveIsTheSystemDirectorysDrive) {
  const std::wstring report = CallReport(control_.Get(), IdOf(L"GetSystemDriveInfo"));
  static const std::wregex kSystemDrive(
      LR"(SystemDrive:\[Free:(\d+)\.(\d\d)(MB|GB)\]\[Total:(\d+)\.(\d\d)(MB|GB)\])");
  std::wsmatch match;
  ASSERT_TRUE(std::regex_match(report, match, kSystemDrive)) << std::string(report.begin(), report.end());
  wchar_t system_directory[MAX_PATH];
  ASSERT_GT(GetSystemDirectoryW(system_directory, MAX_PATH), 2u);
  ExpectPlausibleSpace(match, 1, std::wstring(system_directory, 3));
}

}  // namespace
}  // namespace orvanta::testing
