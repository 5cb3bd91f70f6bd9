#include "collectors/devices/device_registry.h"

namespace orvanta {

LONG LiveDeviceRegistry::Open(HKEY parent, const wchar_t* path, HKEY* key) const {
  return RegOpenKeyExW(parent, path, 0, KEY_READ, key);
}

void LiveDeviceRegistry::Close(HKEY key) const { RegCloseKey(key); }

LONG LiveDeviceRegistry::QueryValue(HKEY key, const wchar_t* name, DWORD* type, BYTE* data, DWORD* size) const {
  return RegQueryValueExW(key, name, nullptr, type, data, size);
}

LONG LiveDeviceRegistry::EnumKey(HKEY key, DWORD index, wchar_t* name, DWORD* chars) const {
  return RegEnumKeyExW(key, index, name, chars, nullptr, nullptr, nullptr, nullptr);
}

LONG LiveDeviceRegistry::EnumValue(HKEY key, DWORD index, wchar_t* name, DWORD* chars, DWORD* type, BYTE* data,
                                   DWORD* size) const {
  return RegEnumValueW(key, index, name, chars, nullptr, type, data, size);
}

}  // namespace orvanta
