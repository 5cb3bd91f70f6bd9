// Device instances read straight out of the registry: the services (or, on
// Windows 9x, the configuration manager's dynamic data) name the instances
// they drive, and each instance is read from its key under the Enum tree, its
// class key and its driver key under the Class tree. Windows NT and Windows 9x
// keep these in different places; each root is found by trying the NT path
// first and the 9x path second.
//
// All text goes into fixed buffers of kDeviceFieldChars characters, always
// terminated: a longer value is cut to the buffer (before a surrogate pair
// that the cut would split), and a value of more than kLongestDeviceValueBytes
// bytes counts as absent. Keys are opened for reading only and closed by the
// operation that opened them, apart from the service key that
// NextServiceWithDevices leaves in the cursor.
#pragma once

#include <windows.h>

#include "framework/reg_key.h"

namespace orvanta {

inline constexpr DWORD kDeviceFieldChars = 520;
using DeviceField = wchar_t[kDeviceFieldChars];
// The longest string value that is read and cut to its field.
inline constexpr DWORD kLongestDeviceValueBytes = 4 * kDeviceFieldChars * sizeof(wchar_t);

// Values of a device's driver key, Class\<Driver>.
struct DriverKeyFields {
  DeviceField DeviceDesc;
  DeviceField DriverDate;
  DeviceField DriverVersion;
  DeviceField InfPath;
  DeviceField ProviderName;
};

// Values of a device's instance key under the Enum tree.
struct DeviceKeyFields {
  DeviceField ClassGUID;  // braced GUID text
  DeviceField DeviceDesc;
  DeviceField Driver;  // the driver key's path below the Class tree
  DeviceField Mfg;
  DeviceField Service;
  DeviceField FriendlyName;
};

// One device as the walk reads it. A field whose value was not read is empty.
// The walk reuses one entry for every device.
struct DeviceEntry {
  DeviceField ClassDescription;  // default value of Class\<ClassGUID>
  DriverKeyFields DriverKeyInfo;
  DeviceKeyFields DeviceKeyInfo;
};

// The roots of the Enum and Class trees for one walk: each is opened on first
// use and stays open until the walk ends, so a walk opens each key once.
class DeviceRoots {
 public:
  explicit DeviceRoots(const RegistrySource& registry) : enum_root_(registry), class_root_(registry) {}
  // Not open when the root cannot be opened.
  const RegKey& EnumRoot();
  const RegKey& ClassRoot();

 private:
  RegKey enum_root_;
  RegKey class_root_;
  bool enum_tried_ = false;
  bool class_tried_ = false;
};

// One walk over the services: the open root, the index of the next subkey to
// look at, the service most recently found and that service's Enum key.
struct ServiceCursor {
  explicit ServiceCursor(const RegistrySource& registry)
      : root(registry), service(registry), service_enum(registry), roots(registry) {}
  RegKey root;
  DWORD next_index = 0;
  RegKey service;
  RegKey service_enum;
  DeviceRoots roots;
};

// Typed reads. A string value (REG_SZ, REG_EXPAND_SZ, REG_MULTI_SZ: the first
// string) is stored unexpanded, cut to the field; on any failure the field is
// cleared and the result is false. |name| null reads the default value.
bool ReadRegistryString(const RegKey& key, const wchar_t* name, DeviceField& field);
// A REG_DWORD or a REG_BINARY of at most 4 bytes (a shorter one zero-padded);
// 0 and false otherwise.
bool ReadRegistryDword(const RegKey& key, const wchar_t* name, DWORD* value);

// Name searches in the registry's enumeration order, ignoring letter case.
// Each stops at the first enumeration call that fails, so a value whose name
// or data does not fit 520 characters / 520 bytes ends the value search.
bool RegistryValueExists(const RegKey& key, const wchar_t* name);
bool RegistrySubkeyExists(const RegKey& key, const wchar_t* name);

// The roots, NT path first, 9x path second. True when |root| is open.
bool OpenDeviceEnumRoot(RegKey& root);
bool OpenDeviceClassRoot(RegKey& root);
// HKEY_DYN_DATA itself where its configuration manager lists device nodes
// (Windows 9x), else the services key.
bool OpenServiceRoot(RegKey& root);

// Entry parts: open the subkey below the root, clear the part and read its
// values. True when the key was opened (whether or not the values exist);
// when it cannot be opened the part is left as it was.
bool ReadClassDescription(DeviceRoots& roots, DeviceEntry& entry, const wchar_t* class_subkey);
bool ReadDriverKeyInfo(DeviceRoots& roots, DeviceEntry& entry, const wchar_t* driver_subkey);
bool ReadDeviceKeyInfo(DeviceRoots& roots, DeviceEntry& entry, const wchar_t* instance_path);

// Moves the cursor to the next service that lists devices and returns their
// count, leaving the service and its Enum key open in the cursor; 0 when the
// walk is over (an enumeration error also ends it).
DWORD NextServiceWithDevices(ServiceCursor& cursor);
// The number of device instances that a service lists, from the service key
// and its open Enum key: "Count" when the service has a "Group" value, else
// the Enum key's subkeys. A "Count" beyond the highest index that the Enum key
// names (by a numbered value or a subkey) is cut to that index.
DWORD CountServiceDevices(const RegKey& service, const RegKey& enum_key);
// Fills |entry| with device |index| of a service's open Enum key: the
// instance path in its value "<index>", or on Windows 9x the "HardWareKey" of
// its |index|th subkey. True when the instance key was read; the class and
// driver parts may still be empty.
bool ReadServiceDevice(DeviceRoots& roots, DeviceEntry& entry, const RegKey& enum_key, DWORD index);
bool ReadDeviceByHardwareKey(DeviceRoots& roots, DeviceEntry& entry, const RegKey& enum_key, DWORD index);

// True when |text| is |guid| in braced form, ignoring letter case.
bool MatchClassGuid(const wchar_t* text, const GUID& guid);

// Calls visit(entry) for every device that the services list, in the walk's
// order, reusing |entry|. Nothing when the service root cannot be opened.
template <class Visit>
void ForEachServiceDevice(const RegistrySource& registry, DeviceEntry& entry, Visit visit) {
  ServiceCursor cursor(registry);
  if (!OpenServiceRoot(cursor.root)) return;
  while (const DWORD count = NextServiceWithDevices(cursor)) {
    for (DWORD index = 0; index < count; ++index) {
      if (ReadServiceDevice(cursor.roots, entry, cursor.service_enum, index))
        visit(static_cast<const DeviceEntry&>(entry));
    }
  }
}

}  // namespace orvanta
