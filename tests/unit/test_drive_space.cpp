// The memory and drive reports from given figures.
#include <gtest/gtest.h>

#include <map>

#include "collectors/machine/drive_space.h"

namespace orvanta {
namespace {

constexpr uint64_t kMB = 1 << 20;

TEST(HundredthsOfMB, TruncatesAtEveryStep) {
  EXPECT_EQ(ToHundredthsOfMB(0), 0u);
  EXPECT_EQ(ToHundredthsOfMB(1), 0u);
  EXPECT_EQ(ToHundredthsOfMB(1048575), 99u);
  EXPECT_EQ(ToHundredthsOfMB(1048576), 100u);
  EXPECT_EQ(ToHundredthsOfMB(1048577), 100u);
  EXPECT_EQ(ToHundredthsOfMB(1572864), 150u);
}

TEST(HundredthsOfMB, DoesNotWrapForVolumesOf45TBAndMore) {
  // 2^32 hundredths of a megabyte and more: the figure keeps growing.
  const uint64_t bytes = 50 * 1000 * 1000 * kMB;  // 50,000,000 MB, about 52 TB
  EXPECT_EQ(ToHundredthsOfMB(bytes), 5'000'000'000u);
  EXPECT_EQ(FormatSpaceField(L"Total", bytes), L"[Total:50000.00GB]");
}

TEST(SpaceField, SwitchesFromMBToGBAtOneThousandMegabytes) {
  EXPECT_EQ(FormatSpaceField(L"Free", 0), L"[Free:0.00MB]");
  EXPECT_EQ(FormatSpaceField(L"Free", 1048575999), L"[Free:999.99MB]");
  EXPECT_EQ(FormatSpaceField(L"Free", 1048576000), L"[Free:1.00GB]");
  // 5.0499... MB: hundredths are truncated, not rounded.
  EXPECT_EQ(FormatSpaceField(L"Total", 5 * kMB + kMB / 20), L"[Total:5.04MB]");
}

TEST(SpaceField, GBDecimalsAreTruncatedTensOfMegabytes) {
  EXPECT_EQ(FormatSpaceField(L"Free", 1009 * kMB), L"[Free:1.00GB]");
  EXPECT_EQ(FormatSpaceField(L"Free", 1024 * kMB), L"[Free:1.02GB]");
  EXPECT_EQ(FormatSpaceField(L"Free", 1999 * kMB), L"[Free:1.99GB]");
  EXPECT_EQ(FormatSpaceField(L"Free", 12345678901), L"[Free:11.77GB]");
  EXPECT_EQ(FormatSpaceField(L"Total", 80023716864), L"[Total:76.31GB]");
  EXPECT_EQ(FormatSpaceField(L"Total", 500107862016), L"[Total:476.94GB]");
}

TEST(FreeSpaceQueryChoice, FollowsPlatformAndVersion) {
  // Windows 95 before OSR2 has no extended call; OSR2 (build above 1000) has.
  EXPECT_FALSE(WantsExtendedFreeSpace(VER_PLATFORM_WIN32_WINDOWS, 4, 0, 950));
  EXPECT_FALSE(WantsExtendedFreeSpace(VER_PLATFORM_WIN32_WINDOWS, 4, 0, 1000));
  EXPECT_TRUE(WantsExtendedFreeSpace(VER_PLATFORM_WIN32_WINDOWS, 4, 0, 1111));
  // Only the low 16 bits of the build number count on Windows 9x.
  EXPECT_FALSE(WantsExtendedFreeSpace(VER_PLATFORM_WIN32_WINDOWS, 4, 0, 0x040003B6));
  EXPECT_TRUE(WantsExtendedFreeSpace(VER_PLATFORM_WIN32_WINDOWS, 4, 0, 0x04000457));
  // Windows 98 and later, whatever the build.
  EXPECT_TRUE(WantsExtendedFreeSpace(VER_PLATFORM_WIN32_WINDOWS, 4, 10, 0));
  EXPECT_TRUE(WantsExtendedFreeSpace(VER_PLATFORM_WIN32_WINDOWS, 5, 0, 0));
  EXPECT_FALSE(WantsExtendedFreeSpace(VER_PLATFORM_WIN32_WINDOWS, 3, 95, 2000));
  EXPECT_TRUE(WantsExtendedFreeSpace(VER_PLATFORM_WIN32_NT, 3, 51, 0));
  EXPECT_TRUE(WantsExtendedFreeSpace(VER_PLATFORM_WIN32_NT, 10, 0, 19045));
  EXPECT_FALSE(WantsExtendedFreeSpace(VER_PLATFORM_WIN32s, 4, 10, 2000));
  EXPECT_FALSE(WantsExtendedFreeSpace(7, 10, 0, 0));
}

TEST(SpaceFromClusters, IsNotCutAtFourGigabytes) {
  const DriveSpace space = SpaceFromClusters(8, 512, 3'000'000, 20'000'000);
  EXPECT_EQ(space.free_bytes, 12'288'000'000u);
  EXPECT_EQ(space.total_bytes, 81'920'000'000u);
  const DriveSpace failed = SpaceFromClusters(0, 0, 0, 0);
  EXPECT_EQ(failed.free_bytes, 0u);
  EXPECT_EQ(failed.total_bytes, 0u);
}

TEST(DriveStrings, SplitsUpToTheEmptyStringOrTheEndOfTheBuffer) {
  const wchar_t listed[] = L"A:\\\0C:\\\0D:\\\0\0Z:\\\0";
  EXPECT_EQ(SplitDriveStrings(listed, std::size(listed)), (std::vector<std::wstring>{L"A:\\", L"C:\\", L"D:\\"}));
  const wchar_t unterminated[] = {L'C', L':', L'\\', L'\0', L'D', L':'};
  EXPECT_EQ(SplitDriveStrings(unterminated, std::size(unterminated)),
            (std::vector<std::wstring>{L"C:\\", L"D:"}));
  const wchar_t empty[4] = {};
  EXPECT_TRUE(SplitDriveStrings(empty, std::size(empty)).empty());
}

TEST(DriveOfPath, IsTheLetterAndColon) {
  EXPECT_EQ(DriveOfPath(L"C:\\WINDOWS\\system32"), L"C:");
  EXPECT_EQ(DriveOfPath(L"d:"), L"d:");
  EXPECT_EQ(DriveOfPath(L"\\\\server\\share\\system32"), L"");
  EXPECT_EQ(DriveOfPath(L"C"), L"");
  EXPECT_EQ(DriveOfPath(L""), L"");
}

// Drives as a test describes them.
class FakeDrives : public DriveFacts {
 public:
  struct Drive {
    UINT type;
    DriveSpace space;
  };
  std::vector<std::pair<std::wstring, Drive>> drives;
  std::map<std::wstring, DriveSpace> space_by_path;
  std::vector<std::wstring> asked_paths;

  std::vector<std::wstring> LogicalDriveRoots() override {
    std::vector<std::wstring> roots;
    for (const auto& [root, drive] : drives) roots.push_back(root);
    return roots;
  }
  UINT DriveType(const std::wstring& root) override {
    for (const auto& [name, drive] : drives)
      if (name == root) return drive.type;
    return DRIVE_NO_ROOT_DIR;
  }
  DriveSpace SpaceOf(const std::wstring& path) override {
    asked_paths.push_back(path);
    for (const auto& [name, drive] : drives)
      if (name == path) return drive.space;
    auto it = space_by_path.find(path);
    return it == space_by_path.end() ? DriveSpace{} : it->second;
  }
};

TEST(DriveReport, GivesSpaceForFixedDrivesOnly) {
  FakeDrives facts;
  facts.drives = {
      {L"A:\\", {DRIVE_REMOVABLE, {1 * kMB, 2 * kMB}}},
      {L"C:\\", {DRIVE_FIXED, {12345678901, 80023716864}}},
      {L"D:\\", {DRIVE_CDROM, {0, 700 * kMB}}},
      {L"E:\\", {DRIVE_REMOTE, {5 * kMB, 9 * kMB}}},
      {L"F:\\", {DRIVE_RAMDISK, {5 * kMB, 9 * kMB}}},
      {L"G:\\", {DRIVE_UNKNOWN, {5 * kMB, 9 * kMB}}},
      {L"H:\\", {DRIVE_NO_ROOT_DIR, {}}},
      {L"I:\\", {7, {5 * kMB, 9 * kMB}}},
      {L"J:\\", {DRIVE_FIXED, {}}},  // both free-space queries failed
  };
  CString report;
  WriteDriveReport(report, facts);
  EXPECT_EQ(report,
            L"A:\\[Removable]\n"
            L"C:\\[Fixed][Free:11.77GB][Total:76.31GB]\n"
            L"D:\\[CD-ROM]\n"
            L"E:\\[Remote]\n"
            L"F:\\[RAM-Disk]\n"
            L"G:\\[Unknown]\n"
            L"H:\\[NoRootDir]\n"
            L"I:\\[???]\n"
            L"J:\\[Fixed][Free:0.00MB][Total:0.00MB]\n");
  EXPECT_EQ(facts.asked_paths, (std::vector<std::wstring>{L"C:\\", L"J:\\"}));
}

TEST(DriveReport, IsEmptyWithoutDrives) {
  FakeDrives facts;
  CString report;
  WriteDriveReport(report, facts);
  EXPECT_EQ(report, L"");
}

TEST(SystemDriveReport, AsksForTheTwoCharacterDriveAndEndsWithoutLineFeed) {
  FakeDrives facts;
  facts.space_by_path[L"C:"] = {12345678901, 80023716864};
  CString report;
  WriteSystemDriveReport(report, L"C:\\WINDOWS\\system32", facts);
  EXPECT_EQ(report, L"SystemDrive:[Free:11.77GB][Total:76.31GB]");
  EXPECT_EQ(facts.asked_paths, (std::vector<std::wstring>{L"C:"}));
}

TEST(SystemDriveReport, WithoutADriveLetterAsksForTheEmptyPath) {
  FakeDrives facts;
  CString report;
  WriteSystemDriveReport(report, L"\\\\server\\windows\\system32", facts);
  EXPECT_EQ(report, L"SystemDrive:[Free:0.00MB][Total:0.00MB]");
  EXPECT_EQ(facts.asked_paths, (std::vector<std::wstring>{L""}));
}

TEST(MemoryReport, IsWholeMegabytesTruncated) {
  CString report;
  WriteMemoryReport(report, 2147483648);
  EXPECT_EQ(report, L"2048 MB\n");
  report.clear();
  WriteMemoryReport(report, 2147483647);
  EXPECT_EQ(report, L"2047 MB\n");
  report.clear();
  WriteMemoryReport(report, 64 * 1024 * kMB);
  EXPECT_EQ(report, L"65536 MB\n");
}

}  // namespace
}  // namespace orvanta
