// CUserOrvanta::GetMemoryInfo, GetDriveInfo and GetSystemDriveInfo: the Windows
// side of the memory and drive reports.
#include <array>

#include "collectors/machine/drive_space.h"
#include "collectors/user_orvanta.h"
#include "framework/scoped_library.h"
#include "framework/wait_cursor.h"

namespace orvanta {
namespace {

using GlobalMemoryStatusExFn = BOOL(WINAPI*)(MEMORYSTATUSEX*);
using GetDiskFreeSpaceExWFn = BOOL(WINAPI*)(const wchar_t*, ULARGE_INTEGER*, ULARGE_INTEGER*, ULARGE_INTEGER*);

// The machine's drives. Decides once, when made, whether GetDiskFreeSpaceExW
// may be used, and holds kernel32 for as long as it lives.
class LiveDriveFacts : public DriveFacts {
 public:
  LiveDriveFacts() {
    OSVERSIONINFOW version = {};
    version.dwOSVersionInfoSize = sizeof(version);
    GetVersionExW(&version);
    if (WantsExtendedFreeSpace(version.dwPlatformId, version.dwMajorVersion, version.dwMinorVersion,
                               version.dwBuildNumber)) {
      kernel32_ = ScopedLibrary(L"kernel32.dll");
      get_free_space_ex_ = kernel32_.Find<GetDiskFreeSpaceExWFn>("GetDiskFreeSpaceExW");
    }
  }

  std::vector<std::wstring> LogicalDriveRoots() override {
    std::array<wchar_t, MAX_PATH> buffer = {};  // 26 roots of four characters and the end fit
    if (GetLogicalDriveStringsW(static_cast<DWORD>(buffer.size()), buffer.data()) >= buffer.size()) return {};
    return SplitDriveStrings(buffer.data(), buffer.size());
  }

  UINT DriveType(const std::wstring& root) override { return GetDriveTypeW(root.c_str()); }

  DriveSpace SpaceOf(const std::wstring& path) override {
    ULARGE_INTEGER available = {}, total = {}, total_free = {};
    if (get_free_space_ex_ && get_free_space_ex_(path.c_str(), &available, &total, &total_free))
      return {available.QuadPart, total.QuadPart};
    DWORD sectors_per_cluster = 0, bytes_per_sector = 0, free_clusters = 0, total_clusters = 0;
    GetDiskFreeSpaceW(path.c_str(), &sectors_per_cluster, &bytes_per_sector, &free_clusters, &total_clusters);
    return SpaceFromClusters(sectors_per_cluster, bytes_per_sector, free_clusters, total_clusters);
  }

 private:
  ScopedLibrary kernel32_;
  GetDiskFreeSpaceExWFn get_free_space_ex_ = nullptr;
};

std::wstring SystemDirectory() {
  std::array<wchar_t, MAX_PATH> buffer = {};
  if (GetSystemDirectoryW(buffer.data(), static_cast<UINT>(buffer.size())) >= buffer.size()) return {};
  return buffer.data();
}

}  // namespace

// Wine answers the memory status from a copy that it refreshes at most once a
// second; a thread that asks while another is refreshing it gets success and
// zeros. No machine has no memory: a zero total is asked for again, a bounded
// number of times.
constexpr int kMemoryStatusAttempts = 100;

void CUserOrvanta::GetMemoryInfo(CString& report) {
  ScopedLibrary kernel32(L"kernel32.dll");
  if (!kernel32) return;
  // Without the extended call (or when it fails) only a 32-bit figure exists.
  auto global_memory_status_ex = kernel32.Find<GlobalMemoryStatusExFn>("GlobalMemoryStatusEx");
  uint64_t total_bytes = 0;
  for (int attempt = 0; attempt < kMemoryStatusAttempts && total_bytes == 0; ++attempt) {
    if (attempt > 0) Sleep(1);
    MEMORYSTATUSEX status_ex = {};
    status_ex.dwLength = sizeof(status_ex);
    if (global_memory_status_ex && global_memory_status_ex(&status_ex)) {
      total_bytes = status_ex.ullTotalPhys;
    } else {
      MEMORYSTATUS status = {};
      status.dwLength = sizeof(status);
      GlobalMemoryStatus(&status);
      total_bytes = status.dwTotalPhys;
    }
  }
  WriteMemoryReport(report, total_bytes);
}

void CUserOrvanta::GetDriveInfo(CString& report) {
  WaitCursor wait;
  LiveDriveFacts facts;
  WriteDriveReport(report, facts);
}

void CUserOrvanta::GetSystemDriveInfo(CString& report) {
  WaitCursor wait;
  LiveDriveFacts facts;
  WriteSystemDriveReport(report, SystemDirectory(), facts);
}

}  // namespace orvanta
