#include "collectors/machine/drive_space.h"

#include <iterator>

namespace orvanta {
namespace {

void AppendSpaceFields(CString& report, const DriveSpace& space) {
  report += FormatSpaceField(L"Free", space.free_bytes);
  report += FormatSpaceField(L"Total", space.total_bytes);
}

}  // namespace

uint64_t ToHundredthsOfMB(uint64_t bytes) {
  const uint64_t whole_megabytes = bytes >> 20;
  const uint64_t hundredths = ((bytes & 0xFFFFF) * 100) >> 20;
  return whole_megabytes * 100 + hundredths;
}

CString FormatSpaceField(const wchar_t* label, uint64_t bytes) {
  const uint64_t hundredths = ToHundredthsOfMB(bytes);
  const uint64_t megabytes = hundredths / 100;
  if (megabytes < 1000)
    return FormatText(L"[%s:%I64u.%02uMB]", label, megabytes, static_cast<unsigned>(hundredths % 100));
  return FormatText(L"[%s:%I64u.%02uGB]", label, megabytes / 1000, static_cast<unsigned>(megabytes % 1000 / 10));
}

const wchar_t* DriveTypeName(UINT drive_type) {
  static const wchar_t* const kNames[] = {
      L"Unknown", L"NoRootDir", L"Removable", L"Fixed", L"Remote", L"CD-ROM", L"RAM-Disk",
  };
  return drive_type < std::size(kNames) ? kNames[drive_type] : L"???";
}

bool WantsExtendedFreeSpace(DWORD platform_id, DWORD major, DWORD minor, DWORD build) {
  if (platform_id == VER_PLATFORM_WIN32_NT) return true;
  if (platform_id != VER_PLATFORM_WIN32_WINDOWS) return false;
  return major > 4 || (major == 4 && (minor >= 10 || LOWORD(build) > 1000));
}

DriveSpace SpaceFromClusters(DWORD sectors_per_cluster, DWORD bytes_per_sector, DWORD free_clusters,
                             DWORD total_clusters) {
  const uint64_t cluster_bytes = uint64_t{sectors_per_cluster} * bytes_per_sector;
  return {free_clusters * cluster_bytes, total_clusters * cluster_bytes};
}

std::vector<std::wstring> SplitDriveStrings(const wchar_t* buffer, size_t size) {
  std::vector<std::wstring> roots;
  size_t start = 0;
  while (start < size && buffer[start] != L'\0') {
    size_t end = start;
    while (end < size && buffer[end] != L'\0') ++end;
    roots.emplace_back(buffer + start, end - start);
    start = end + 1;
  }
  return roots;
}

std::wstring DriveOfPath(const std::wstring& path) {
  if (path.size() >= 2 && path[1] == L':') return path.substr(0, 2);
  return {};
}

void WriteMemoryReport(CString& report, uint64_t total_physical_bytes) {
  AppendFormat(report, L"%u MB\n", static_cast<unsigned>(total_physical_bytes >> 20));
}

void WriteDriveReport(CString& report, DriveFacts& facts) {
  for (const std::wstring& root : facts.LogicalDriveRoots()) {
    const UINT drive_type = facts.DriveType(root);
    AppendFormat(report, L"%s[%s]", root.c_str(), DriveTypeName(drive_type));
    if (drive_type == DRIVE_FIXED) AppendSpaceFields(report, facts.SpaceOf(root));
    report += L'\n';
  }
}

void WriteSystemDriveReport(CString& report, const std::wstring& system_directory, DriveFacts& facts) {
  report += L"SystemDrive:";
  AppendSpaceFields(report, facts.SpaceOf(DriveOfPath(system_directory)));
}

}  // namespace orvanta
