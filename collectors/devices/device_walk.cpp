#include "collectors/devices/device_walk.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <memory>

namespace orvanta {
namespace {

constexpr DWORD kFieldBytes = kDeviceFieldChars * sizeof(wchar_t);
// Room for names and data in the name searches.
constexpr DWORD kNameChars = 520;
constexpr DWORD kSearchDataBytes = 520;

constexpr const wchar_t kEnumRootNt[] = L"SYSTEM\\CurrentControlSet\\Enum";
constexpr const wchar_t kEnumRoot9x[] = L"Enum";
constexpr const wchar_t kClassRootNt[] = L"SYSTEM\\CurrentControlSet\\Control\\Class";
constexpr const wchar_t kClassRoot9x[] = L"System\\CurrentControlSet\\Services\\Class";
constexpr const wchar_t kServiceRootNt[] = L"SYSTEM\\CurrentControlSet\\Services";
constexpr const wchar_t kConfigManagerEnum[] = L"Config Manager\\Enum";

// The values of each part, in the order they are read.
struct DriverValue {
  const wchar_t* name;
  DeviceField DriverKeyFields::*field;
};
constexpr DriverValue kDriverValues[] = {
    {L"DeviceDesc", &DriverKeyFields::DeviceDesc},     {L"DriverDate", &DriverKeyFields::DriverDate},
    {L"DriverVersion", &DriverKeyFields::DriverVersion}, {L"InfPath", &DriverKeyFields::InfPath},
    {L"ProviderName", &DriverKeyFields::ProviderName},
};

struct DeviceValue {
  const wchar_t* name;
  DeviceField DeviceKeyFields::*field;
};
constexpr DeviceValue kDeviceValues[] = {
    {L"ClassGUID", &DeviceKeyFields::ClassGUID}, {L"DeviceDesc", &DeviceKeyFields::DeviceDesc},
    {L"Driver", &DeviceKeyFields::Driver},       {L"Mfg", &DeviceKeyFields::Mfg},
    {L"Service", &DeviceKeyFields::Service},     {L"FriendlyName", &DeviceKeyFields::FriendlyName},
};

bool IsStringType(DWORD type) { return type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ; }

void ClearField(DeviceField& field) { std::memset(field, 0, sizeof(field)); }

// Text of |bytes| bytes at |data| into |field|: up to the first zero, the end
// of the data or the field's last character, whichever comes first.
void StoreText(DeviceField& field, const BYTE* data, DWORD bytes) {
  DWORD chars = bytes / sizeof(wchar_t);
  if (chars > kDeviceFieldChars - 1) chars = kDeviceFieldChars - 1;
  std::memcpy(field, data, chars * sizeof(wchar_t));
  field[chars] = L'\0';
}

// A string value longer than the field: read whole, then cut. Rare; the only
// read that needs a buffer of its own.
bool ReadLongString(const DeviceRegistry& registry, HKEY key, const wchar_t* name, DWORD size, DeviceField& field) {
  for (int attempt = 0; attempt < 4; ++attempt) {
    std::unique_ptr<BYTE[]> buffer(new BYTE[size]);
    DWORD type = REG_NONE;
    DWORD read = size;
    const LONG status = registry.QueryValue(key, name, &type, buffer.get(), &read);
    if (status == ERROR_MORE_DATA && read > size) {
      size = read;  // the value grew between the two queries
      continue;
    }
    if (status != ERROR_SUCCESS || !IsStringType(type)) return false;
    StoreText(field, buffer.get(), read);
    return true;
  }
  return false;
}

// The parts that follow from an instance path; true when its key was read.
bool ReadInstance(DeviceRoots& roots, DeviceEntry& entry, const wchar_t* instance_path) {
  if (!ReadDeviceKeyInfo(roots, entry, instance_path)) return false;
  ReadClassDescription(roots, entry, entry.DeviceKeyInfo.ClassGUID);
  ReadDriverKeyInfo(roots, entry, entry.DeviceKeyInfo.Driver);
  return true;
}

}  // namespace

bool ReadRegistryString(const DeviceRegistry& registry, HKEY key, const wchar_t* name, DeviceField& field) {
  ClearField(field);
  DWORD type = REG_NONE;
  DWORD size = 0;
  if (registry.QueryValue(key, name, &type, nullptr, &size) != ERROR_SUCCESS || !IsStringType(type)) return false;

  bool read = false;
  if (size <= kFieldBytes) {
    DWORD bytes = kFieldBytes;
    read = registry.QueryValue(key, name, &type, reinterpret_cast<BYTE*>(field), &bytes) == ERROR_SUCCESS &&
           IsStringType(type);
    if (read) field[std::min<DWORD>(bytes / sizeof(wchar_t), kDeviceFieldChars - 1)] = L'\0';
  } else {
    read = ReadLongString(registry, key, name, size, field);
  }
  if (!read) ClearField(field);
  return read;
}

bool ReadRegistryDword(const DeviceRegistry& registry, HKEY key, const wchar_t* name, DWORD* value) {
  BYTE data[sizeof(DWORD)] = {};
  DWORD size = sizeof(data);
  DWORD type = REG_NONE;
  *value = 0;
  if (registry.QueryValue(key, name, &type, data, &size) != ERROR_SUCCESS) return false;
  if (type != REG_DWORD && type != REG_BINARY) return false;
  std::memset(data + size, 0, sizeof(data) - size);
  std::memcpy(value, data, sizeof(data));
  return true;
}

bool RegistryValueExists(const DeviceRegistry& registry, HKEY key, const wchar_t* name) {
  for (DWORD index = 0;; ++index) {
    wchar_t value_name[kNameChars];
    DWORD chars = kNameChars;
    BYTE data[kSearchDataBytes];
    DWORD size = sizeof(data);
    DWORD type = REG_NONE;
    if (registry.EnumValue(key, index, value_name, &chars, &type, data, &size) != ERROR_SUCCESS) return false;
    if (_wcsicmp(value_name, name) == 0) return true;
  }
}

bool RegistrySubkeyExists(const DeviceRegistry& registry, HKEY key, const wchar_t* name) {
  for (DWORD index = 0;; ++index) {
    wchar_t subkey[kNameChars];
    DWORD chars = kNameChars;
    if (registry.EnumKey(key, index, subkey, &chars) != ERROR_SUCCESS) return false;
    if (_wcsicmp(subkey, name) == 0) return true;
  }
}

bool OpenDeviceEnumRoot(DeviceKey& root) {
  return root.Open(HKEY_LOCAL_MACHINE, kEnumRootNt) || root.Open(HKEY_LOCAL_MACHINE, kEnumRoot9x);
}

bool OpenDeviceClassRoot(DeviceKey& root) {
  return root.Open(HKEY_LOCAL_MACHINE, kClassRootNt) || root.Open(HKEY_LOCAL_MACHINE, kClassRoot9x);
}

bool OpenServiceRoot(DeviceKey& root) {
  // Systems that only emulate HKEY_DYN_DATA (Wine) open it with an empty
  // configuration manager; it is the device root only where the
  // configuration manager lists device nodes.
  if (root.Open(HKEY_DYN_DATA, nullptr)) {
    DeviceKey nodes(root.registry());
    wchar_t name[kNameChars];
    DWORD chars = kNameChars;
    if (nodes.Open(root.Get(), kConfigManagerEnum) &&
        root.registry().EnumKey(nodes.Get(), 0, name, &chars) == ERROR_SUCCESS)
      return true;
  }
  return root.Open(HKEY_LOCAL_MACHINE, kServiceRootNt);
}

HKEY DeviceRoots::EnumRoot() {
  if (!enum_tried_) {
    enum_tried_ = true;
    OpenDeviceEnumRoot(enum_root_);
  }
  return enum_root_.Get();
}

HKEY DeviceRoots::ClassRoot() {
  if (!class_tried_) {
    class_tried_ = true;
    OpenDeviceClassRoot(class_root_);
  }
  return class_root_.Get();
}

bool ReadClassDescription(DeviceRoots& roots, DeviceEntry& entry, const wchar_t* class_subkey) {
  const HKEY root = roots.ClassRoot();
  DeviceKey key(roots.registry());
  if (!root || !key.Open(root, class_subkey)) return false;
  ReadRegistryString(roots.registry(), key.Get(), nullptr, entry.ClassDescription);
  return true;
}

bool ReadDriverKeyInfo(DeviceRoots& roots, DeviceEntry& entry, const wchar_t* driver_subkey) {
  const HKEY root = roots.ClassRoot();
  DeviceKey key(roots.registry());
  if (!root || !key.Open(root, driver_subkey)) return false;
  std::memset(&entry.DriverKeyInfo, 0, sizeof(entry.DriverKeyInfo));
  for (const DriverValue& value : kDriverValues)
    ReadRegistryString(roots.registry(), key.Get(), value.name, entry.DriverKeyInfo.*value.field);
  return true;
}

bool ReadDeviceKeyInfo(DeviceRoots& roots, DeviceEntry& entry, const wchar_t* instance_path) {
  const HKEY root = roots.EnumRoot();
  DeviceKey key(roots.registry());
  if (!root || !key.Open(root, instance_path)) return false;
  std::memset(&entry.DeviceKeyInfo, 0, sizeof(entry.DeviceKeyInfo));
  for (const DeviceValue& value : kDeviceValues)
    ReadRegistryString(roots.registry(), key.Get(), value.name, entry.DeviceKeyInfo.*value.field);
  return true;
}

DWORD NextServiceWithDevices(ServiceCursor& cursor) {
  const DeviceRegistry& registry = cursor.root.registry();
  cursor.service_enum.Reset();
  cursor.service.Reset();
  for (;;) {
    wchar_t name[kNameChars];
    DWORD chars = kNameChars;
    const DWORD index = cursor.next_index++;
    if (registry.EnumKey(cursor.root.Get(), index, name, &chars) != ERROR_SUCCESS) return 0;
    if (!cursor.service.Open(cursor.root.Get(), name)) continue;
    if (RegistrySubkeyExists(registry, cursor.service.Get(), L"Enum") &&
        cursor.service_enum.Open(cursor.service.Get(), L"Enum")) {
      const DWORD count = CountServiceDevices(registry, cursor.service.Get(), cursor.service_enum.Get());
      if (count > 0) return count;
    }
    cursor.service_enum.Reset();
    cursor.service.Reset();
  }
}

namespace {

DWORD CountSubkeys(const DeviceRegistry& registry, HKEY key) {
  for (DWORD count = 0;; ++count) {
    wchar_t name[kNameChars];
    DWORD chars = kNameChars;
    if (registry.EnumKey(key, count, name, &chars) != ERROR_SUCCESS) return count;
  }
}

// One past the highest index that an Enum key can name a device by: its
// largest value name that is a decimal number, or its number of subkeys.
DWORD DeviceIndexLimit(const DeviceRegistry& registry, HKEY enum_key) {
  DWORD limit = CountSubkeys(registry, enum_key);
  for (DWORD index = 0;; ++index) {
    wchar_t name[kNameChars];
    DWORD chars = kNameChars;
    const LONG status = registry.EnumValue(enum_key, index, name, &chars, nullptr, nullptr, nullptr);
    if (status == ERROR_MORE_DATA) continue;  // a name too long to be a number
    if (status != ERROR_SUCCESS) return limit;
    if (chars == 0 || chars > 10 || std::wcsspn(name, L"0123456789") != chars) continue;
    const unsigned long long number = std::wcstoull(name, nullptr, 10);
    if (number < 0xFFFFFFFFull) limit = std::max(limit, static_cast<DWORD>(number + 1));
    else limit = 0xFFFFFFFFu;
  }
}

}  // namespace

DWORD CountServiceDevices(const DeviceRegistry& registry, HKEY service, HKEY enum_key) {
  DWORD count = 0;
  // "Count" is believed only as far as the key can name devices: a damaged
  // count of four billion would otherwise keep the walk asking for devices
  // that cannot exist.
  if (RegistryValueExists(registry, service, L"Group") && ReadRegistryDword(registry, enum_key, L"Count", &count))
    return count == 0 ? 0 : std::min(count, DeviceIndexLimit(registry, enum_key));
  return CountSubkeys(registry, enum_key);
}

bool ReadServiceDevice(DeviceRoots& roots, DeviceEntry& entry, HKEY enum_key, DWORD index) {
  std::memset(&entry, 0, sizeof(entry));
  wchar_t index_name[12];
  _ultow(index, index_name, 10);
  DeviceField instance_path;
  if (!ReadRegistryString(roots.registry(), enum_key, index_name, instance_path))
    return ReadDeviceByHardwareKey(roots, entry, enum_key, index);
  return ReadInstance(roots, entry, instance_path);
}

bool ReadDeviceByHardwareKey(DeviceRoots& roots, DeviceEntry& entry, HKEY enum_key, DWORD index) {
  const DeviceRegistry& registry = roots.registry();
  wchar_t name[kNameChars];
  DWORD chars = kNameChars;
  if (registry.EnumKey(enum_key, index, name, &chars) != ERROR_SUCCESS) return false;
  DeviceField hardware_key;
  {
    DeviceKey node(registry);
    if (!node.Open(enum_key, name)) return false;
    if (!ReadRegistryString(registry, node.Get(), L"HardWareKey", hardware_key)) return false;
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
