#include "collectors/devices/device_walk.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <string>
#include <vector>

namespace orvanta {
namespace {

// Room for names and data in the name searches.
constexpr DWORD kNameChars = 520;
constexpr DWORD kSearchDataBytes = 520;

constexpr const wchar_t kEnumRootNt[] = L"SYSTEM\\CurrentControlSet\\Enum";
constexpr const wchar_t kEnumRoot9x[] = L"Enum";
constexpr const wchar_t kClassRootNt[] = L"SYSTEM\\CurrentControlSet\\Control\\Class";
constexpr const wchar_t kClassRoot9x[] = L"System\\CurrentControlSet\\Services\\Class";
constexpr const wchar_t kServiceRootNt[] = L"SYSTEM\\CurrentControlSet\\Services";
constexpr const wchar_t kConfigManagerEnum[] = L"Config Manager\\Enum";

// The values of each part, in the order they are read, and where each goes.
template <class Fields>
struct PartValue {
  const wchar_t* name;  // null: the key's default value
  DeviceField Fields::*field;
};
constexpr PartValue<DeviceEntry> kClassValues[] = {{nullptr, &DeviceEntry::ClassDescription}};
constexpr PartValue<DriverKeyFields> kDriverValues[] = {
    {L"DeviceDesc", &DriverKeyFields::DeviceDesc},     {L"DriverDate", &DriverKeyFields::DriverDate},
    {L"DriverVersion", &DriverKeyFields::DriverVersion}, {L"InfPath", &DriverKeyFields::InfPath},
    {L"ProviderName", &DriverKeyFields::ProviderName},
};
constexpr PartValue<DeviceKeyFields> kDeviceValues[] = {
    {L"ClassGUID", &DeviceKeyFields::ClassGUID}, {L"DeviceDesc", &DeviceKeyFields::DeviceDesc},
    {L"Driver", &DeviceKeyFields::Driver},       {L"Mfg", &DeviceKeyFields::Mfg},
    {L"Service", &DeviceKeyFields::Service},     {L"FriendlyName", &DeviceKeyFields::FriendlyName},
};

bool IsStringType(DWORD type) { return type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ; }

void ClearField(DeviceField& field) { std::memset(field, 0, sizeof(field)); }

// |text| into |field| (cleared before): up to the field's last character; a
// cut that would split a surrogate pair falls before the pair.
void StoreText(DeviceField& field, const std::wstring& text) {
  size_t kept = std::min<size_t>(text.size(), kDeviceFieldChars - 1);
  if (kept < text.size() && IS_SURROGATE_PAIR(text[kept - 1], text[kept])) --kept;
  text.copy(field, kept);
}

// Opens |parent|\|path| for reading; an empty |path| names no key.
bool OpenSubkey(RegKey& key, const RegKey& parent, const wchar_t* path) {
  if (!parent || !*path) return false;
  return key.Open(parent.Get(), path, KEY_READ) == ERROR_SUCCESS;
}

// Opens |subkey| below |root| and reads each of |values| into its field of
// |fields| (every field of a part is read, and each read clears its field
// first); false, with |fields| as they were, when the key cannot be opened.
template <class Fields, size_t N>
bool ReadPart(const RegKey& root, const wchar_t* subkey, Fields& fields, const PartValue<Fields> (&values)[N]) {
  RegKey key(root.source());
  if (!OpenSubkey(key, root, subkey)) return false;
  for (const PartValue<Fields>& value : values) ReadRegistryString(key, value.name, fields.*value.field);
  return true;
}

// The parts that follow from an instance path; true when its key was read.
bool ReadInstance(DeviceRoots& roots, DeviceEntry& entry, const wchar_t* instance_path) {
  if (!ReadDeviceKeyInfo(roots, entry, instance_path)) return false;
  ReadClassDescription(roots, entry, entry.DeviceKeyInfo.ClassGUID);
  ReadDriverKeyInfo(roots, entry, entry.DeviceKeyInfo.Driver);
  return true;
}

}  // namespace

bool ReadRegistryString(const RegKey& key, const wchar_t* name, DeviceField& field) {
  ClearField(field);
  DWORD type = REG_NONE;
  std::wstring text;
  if (key.ReadText(name, &type, &text, kLongestDeviceValueBytes) != ERROR_SUCCESS || !IsStringType(type))
    return false;
  StoreText(field, text);
  return true;
}

bool ReadRegistryDword(const RegKey& key, const wchar_t* name, DWORD* value) {
  DWORD type = REG_NONE;
  std::vector<BYTE> data;
  *value = 0;
  if (key.ReadValue(name, &type, &data, sizeof(DWORD)) != ERROR_SUCCESS) return false;
  if (type != REG_DWORD && type != REG_BINARY) return false;
  std::memcpy(value, data.data(), data.size());  // a shorter value zero-padded
  return true;
}

bool RegistryValueExists(const RegKey& key, const wchar_t* name) {
  for (DWORD index = 0;; ++index) {
    wchar_t value_name[kNameChars];
    DWORD chars = kNameChars;
    BYTE data[kSearchDataBytes];
    DWORD size = sizeof(data);
    DWORD type = REG_NONE;
    if (key.EnumValue(index, value_name, &chars, &type, data, &size) != ERROR_SUCCESS) return false;
    if (_wcsicmp(value_name, name) == 0) return true;
  }
}

bool RegistrySubkeyExists(const RegKey& key, const wchar_t* name) {
  for (DWORD index = 0;; ++index) {
    wchar_t subkey[kNameChars];
    DWORD chars = kNameChars;
    if (key.EnumKey(index, subkey, &chars) != ERROR_SUCCESS) return false;
    if (_wcsicmp(subkey, name) == 0) return true;
  }
}

bool OpenDeviceEnumRoot(RegKey& root) {
  return root.Open(HKEY_LOCAL_MACHINE, kEnumRootNt, KEY_READ) == ERROR_SUCCESS ||
         root.Open(HKEY_LOCAL_MACHINE, kEnumRoot9x, KEY_READ) == ERROR_SUCCESS;
}

bool OpenDeviceClassRoot(RegKey& root) {
  return root.Open(HKEY_LOCAL_MACHINE, kClassRootNt, KEY_READ) == ERROR_SUCCESS ||
         root.Open(HKEY_LOCAL_MACHINE, kClassRoot9x, KEY_READ) == ERROR_SUCCESS;
}

bool OpenServiceRoot(RegKey& root) {
  // Systems that only emulate HKEY_DYN_DATA (Wine) open it with an empty
  // configuration manager; it is the device root only where the
  // configuration manager lists device nodes.
  if (root.Open(HKEY_DYN_DATA, nullptr, KEY_READ) == ERROR_SUCCESS) {
    RegKey nodes(root.source());
    wchar_t name[kNameChars];
    DWORD chars = kNameChars;
    if (OpenSubkey(nodes, root, kConfigManagerEnum) && nodes.EnumKey(0, name, &chars) == ERROR_SUCCESS) return true;
  }
  return root.Open(HKEY_LOCAL_MACHINE, kServiceRootNt, KEY_READ) == ERROR_SUCCESS;
}

const RegKey& DeviceRoots::EnumRoot() {
  if (!enum_tried_) {
    enum_tried_ = true;
    OpenDeviceEnumRoot(enum_root_);
  }
  return enum_root_;
}

const RegKey& DeviceRoots::ClassRoot() {
  if (!class_tried_) {
    class_tried_ = true;
    OpenDeviceClassRoot(class_root_);
  }
  return class_root_;
}

bool ReadClassDescription(DeviceRoots& roots, DeviceEntry& entry, const wchar_t* class_subkey) {
  return ReadPart(roots.ClassRoot(), class_subkey, entry, kClassValues);
}

bool ReadDriverKeyInfo(DeviceRoots& roots, DeviceEntry& entry, const wchar_t* driver_subkey) {
  return ReadPart(roots.ClassRoot(), driver_subkey, entry.DriverKeyInfo, kDriverValues);
}

bool ReadDeviceKeyInfo(DeviceRoots& roots, DeviceEntry& entry, const wchar_t* instance_path) {
  return ReadPart(roots.EnumRoot(), instance_path, entry.DeviceKeyInfo, kDeviceValues);
}

DWORD NextServiceWithDevices(ServiceCursor& cursor) {
  cursor.service_enum.Reset();
  cursor.service.Reset();
  for (;;) {
    wchar_t name[kNameChars];
    DWORD chars = kNameChars;
    if (cursor.root.EnumKey(cursor.next_index++, name, &chars) != ERROR_SUCCESS) return 0;
    if (!OpenSubkey(cursor.service, cursor.root, name)) continue;
    if (RegistrySubkeyExists(cursor.service, L"Enum") && OpenSubkey(cursor.service_enum, cursor.service, L"Enum")) {
      const DWORD count = CountServiceDevices(cursor.service, cursor.service_enum);
      if (count > 0) return count;
    }
    cursor.service_enum.Reset();
    cursor.service.Reset();
  }
}

namespace {

DWORD CountSubkeys(const RegKey& key) {
  for (DWORD count = 0;; ++count) {
    wchar_t name[kNameChars];
    DWORD chars = kNameChars;
    if (key.EnumKey(count, name, &chars) != ERROR_SUCCESS) return count;
  }
}

// One past the highest index that an Enum key can name a device by: its
// largest value name that is a decimal number, or its number of subkeys.
DWORD DeviceIndexLimit(const RegKey& enum_key) {
  DWORD limit = CountSubkeys(enum_key);
  for (DWORD index = 0;; ++index) {
    wchar_t name[kNameChars];
    DWORD chars = kNameChars;
    const LONG status = enum_key.EnumValue(index, name, &chars, nullptr, nullptr, nullptr);
    if (status == ERROR_MORE_DATA) continue;  // a name too long to be a number
    if (status != ERROR_SUCCESS) return limit;
    if (chars == 0 || chars > 10 || std::wcsspn(name, L"0123456789") != chars) continue;
    const unsigned long long number = std::wcstoull(name, nullptr, 10);
    if (number < 0xFFFFFFFFull) limit = std::max(limit, static_cast<DWORD>(number + 1));
    else limit = 0xFFFFFFFFu;
  }
}

}  // namespace

DWORD CountServiceDevices(const RegKey& service, const RegKey& enum_key) {
  DWORD count = 0;
  // "Count" is believed only as far as the key can name devices: a damaged
  // count of four billion would otherwise keep the walk asking for devices
  // that cannot exist.
  if (RegistryValueExists(service, L"Group") && ReadRegistryDword(enum_key, L"Count", &count))
    return count == 0 ? 0 : std::min(count, DeviceIndexLimit(enum_key));
  return CountSubkeys(enum_key);
}

bool ReadServiceDevice(DeviceRoots& roots, DeviceEntry& entry, const RegKey& enum_key, DWORD index) {
  std::memset(&entry, 0, sizeof(entry));
  wchar_t index_name[12];
  _ultow(index, index_name, 10);
  DeviceField instance_path;
  if (!ReadRegistryString(enum_key, index_name, instance_path))
    return ReadDeviceByHardwareKey(roots, entry, enum_key, index);
  return ReadInstance(roots, entry, instance_path);
}

bool ReadDeviceByHardwareKey(DeviceRoots& roots, DeviceEntry& entry, const RegKey& enum_key, DWORD index) {
  wchar_t name[kNameChars];
  DWORD chars = kNameChars;
  if (enum_key.EnumKey(index, name, &chars) != ERROR_SUCCESS) return false;
  DeviceField hardware_key;
  {
    RegKey node(enum_key.source());
    if (!OpenSubkey(node, enum_key, name) || !ReadRegistryString(node, L"HardWareKey", hardware_key)) return false;
  }
  return ReadInstance(roots, entry, hardware_key);
}

bool MatchClassGuid(const wchar_t* text, const GUID& guid) {
  // Zero-padded, as the registry writes GUIDs, so that every GUID matches its
  // own text and not only those without leading zeros.
  wchar_t formatted[40];
  _snwprintf(formatted, sizeof(formatted) / sizeof(formatted[0]),
             L"{%08lx-%04x-%04x-%02x%02x-%02x%02x%02x%02x%02x%02x}", static_cast<unsigned long>(guid.Data1),
             guid.Data2, guid.Data3, guid.Data4[0], guid.Data4[1], guid.Data4[2], guid.Data4[3], guid.Data4[4],
             guid.Data4[5], guid.Data4[6], guid.Data4[7]);
  formatted[39] = L'\0';
  return _wcsicmp(formatted, text) == 0;
}

}  // namespace orvanta
