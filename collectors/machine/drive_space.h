// The memory and drive reports as plain logic: byte counts in, report text out.
// The Windows calls that supply the figures live in memory_drive_collectors.cpp.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "framework/report_text.h"

namespace orvanta {

// A size in hundredths of a megabyte (2^20 bytes), truncated. Computed in 64
// bits, so volumes of 2^32 hundredths (about 45 TB) and more print correctly.
uint64_t ToHundredthsOfMB(uint64_t bytes);

// "[<label>:<MB>.<hundredths>MB]" below 1000 whole megabytes, else
// "[<label>:<GB>.<tens of MB>GB]" where a GB is 1000 megabytes.
CString FormatSpaceField(const wchar_t* label, uint64_t bytes);

// The name printed for a GetDriveTypeW value: "Fixed", "CD-ROM", ..., "???".
const wchar_t* DriveTypeName(UINT drive_type);

// Whether GetDiskFreeSpaceExW should be used on this version of Windows: on
// Windows NT always, on Windows 95 from OSR2 (build above 1000) and on
// Windows 98 and later; on other platforms never.
bool WantsExtendedFreeSpace(DWORD platform_id, DWORD major, DWORD minor, DWORD build);

// Free space (available to the calling user) and total size of a volume.
struct DriveSpace {
  uint64_t free_bytes = 0;
  uint64_t total_bytes = 0;
};

// The space that GetDiskFreeSpaceW's cluster counts describe.
DriveSpace SpaceFromClusters(DWORD sectors_per_cluster, DWORD bytes_per_sector, DWORD free_clusters,
                             DWORD total_clusters);

// The roots in a GetLogicalDriveStringsW buffer ("A:\", "C:\", ...), in order,
// up to the empty string or the end of the buffer.
std::vector<std::wstring> SplitDriveStrings(const wchar_t* buffer, size_t size);

// The drive of a path, "C:" for "C:\WINDOWS\system32"; empty when the path
// does not start with a drive letter and a colon.
std::wstring DriveOfPath(const std::wstring& path);

// What the drive reports ask of the machine.
class DriveFacts {
 public:
  virtual ~DriveFacts() = default;
  virtual std::vector<std::wstring> LogicalDriveRoots() = 0;
  virtual UINT DriveType(const std::wstring& root) = 0;
  // Zero figures when the volume cannot be asked.
  virtual DriveSpace SpaceOf(const std::wstring& path) = 0;
};

// "<MB> MB\n" for the total physical memory.
void WriteMemoryReport(CString& report, uint64_t total_physical_bytes);

// One line per logical drive: "<root>[<type>]", and for fixed drives the free
// and total fields, each line ended by "\n".
void WriteDriveReport(CString& report, DriveFacts& facts);

// "SystemDrive:" with the free and total fields of the system directory's
// drive; no line end.
void WriteSystemDriveReport(CString& report, const std::wstring& system_directory, DriveFacts& facts);

}  // namespace orvanta
