#include "collectors/graphics/videocard.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "collectors/devices/device_reports.h"

namespace orvanta {
namespace {

// DirectX 5.0, packed: DirectDraw names the adapter only on newer runtimes.
constexpr DWORD kDirectX5 = 0x50000;

constexpr DWORD kNameChars = 512;
// The longest description and memory size values that are read; longer ones
// count as unreadable.
constexpr DWORD kDescriptionBytes = 512 * sizeof(wchar_t);
constexpr DWORD kMemorySizeBytes = 1024;

constexpr const wchar_t* kAdapterRoots[] = {
    L"System\\CurrentControlSet\\Services",
    L"System\\CurrentControlSet\\Control\\Video",
};
constexpr const wchar_t* kDescriptionValues[] = {L"Device Description", L"DriverDesc"};

// The entry's description when it qualifies as an adapter entry.
std::optional<std::wstring> AdapterDescription(const RegKey& entry) {
  DWORD type = REG_NONE;
  std::wstring description;
  if (entry.ReadText(L"HardwareInformation.AdapterString", &type, &description, kDescriptionBytes) != ERROR_SUCCESS)
    return std::nullopt;
  for (const wchar_t* name : kDescriptionValues) {
    if (entry.ReadText(name, &type, &description, kDescriptionBytes) != ERROR_SUCCESS) continue;
    if (type != REG_SZ) return std::nullopt;
    return description;
  }
  return std::nullopt;
}

// The 64-bit size that drivers keep beside a capped 32-bit one; nullopt unless
// it is exactly 8 bytes of REG_QWORD or REG_BINARY.
std::optional<uint64_t> MemorySize64(const RegKey& entry) {
  DWORD type = REG_NONE;
  std::vector<BYTE> data;
  uint64_t bytes = 0;
  if (entry.ReadValue(L"HardwareInformation.qwMemorySize", &type, &data, sizeof(bytes)) != ERROR_SUCCESS ||
      data.size() != sizeof(bytes) || (type != REG_QWORD && type != REG_BINARY))
    return std::nullopt;
  std::memcpy(&bytes, data.data(), sizeof(bytes));
  return bytes;
}

CString MemorySizeText(const RegKey& entry) {
  DWORD type = REG_NONE;
  std::vector<BYTE> data;
  if (entry.ReadValue(L"HardwareInformation.MemorySize", &type, &data, kMemorySizeBytes) != ERROR_SUCCESS)
    return L"Unknown";
  DWORD word = 0;  // the first 32-bit word, zero-padded
  if (!data.empty()) std::memcpy(&word, data.data(), std::min(data.size(), sizeof(word)));
  return FormatAdapterMemorySize(type, MemorySize64(entry).value_or(word));
}

// Leading and trailing white space of the terminated |text|: [*begin, *end).
void TrimmedRange(const wchar_t* text, const wchar_t** begin, const wchar_t** end) {
  const wchar_t* first = text;
  while (*first && IsWhiteSpace(*first)) ++first;
  const wchar_t* last = first + std::wcslen(first);
  while (last > first && IsWhiteSpace(last[-1])) --last;
  *begin = first;
  *end = last;
}

}  // namespace

CString VideocardName(DWORD directx_packed, const DisplayAdapterSource& directdraw, const RegistrySource& registry) {
  if (directx_packed > kDirectX5) {
    if (const std::optional<std::wstring> description = directdraw.Describe()) return *description + L'\n';
  }
  CString display_devices;
  WriteDeviceListReport(display_devices, registry, kDisplayClass);
  return display_devices;
}

bool SameAdapterName(const wchar_t* description, const wchar_t* name) {
  const wchar_t *a_begin, *a_end, *b_begin, *b_end;
  TrimmedRange(description, &a_begin, &a_end);
  TrimmedRange(name, &b_begin, &b_end);
  return a_end - a_begin == b_end - b_begin &&
         std::wmemcmp(a_begin, b_begin, static_cast<size_t>(a_end - a_begin)) == 0;
}

CString FormatAdapterMemorySize(DWORD type, uint64_t bytes) {
  const double megabytes = static_cast<double>(bytes) / 1024.0 / 1024.0;
  if (type == REG_BINARY) return FormatText(L"%.1f MB", megabytes);
  if (type == REG_DWORD) return FormatText(L"%.1fMB", megabytes);
  return CString();
}

std::optional<CString> FindAdapterMemorySize(const RegistrySource& registry, const wchar_t* adapter_name) {
  for (const wchar_t* root_path : kAdapterRoots) {
    RegKey root(registry);
    if (root.Open(HKEY_LOCAL_MACHINE, root_path, KEY_READ) != ERROR_SUCCESS) continue;
    for (DWORD group_index = 0;; ++group_index) {
      wchar_t group_name[kNameChars];
      DWORD chars = kNameChars;
      if (root.EnumKey(group_index, group_name, &chars) != ERROR_SUCCESS) break;
      RegKey group(registry);
      if (group.Open(root.Get(), group_name, KEY_READ) != ERROR_SUCCESS) continue;
      for (DWORD entry_index = 0;; ++entry_index) {
        wchar_t entry_name[kNameChars];
        chars = kNameChars;
        if (group.EnumKey(entry_index, entry_name, &chars) != ERROR_SUCCESS) break;
        RegKey entry(registry);
        if (entry.Open(group.Get(), entry_name, KEY_READ) != ERROR_SUCCESS) continue;
        const std::optional<std::wstring> description = AdapterDescription(entry);
        if (description && SameAdapterName(description->c_str(), adapter_name)) return MemorySizeText(entry);
      }
    }
  }
  return std::nullopt;
}

void WriteVRAMbyRegReport(CString& report, const RegistrySource& registry, const CString& videocard_report) {
  report = FindAdapterMemorySize(registry, videocard_report.c_str()).value_or(L"Unknown");
}

}  // namespace orvanta
