// The registry as the device walk reads it: the handful of key operations
// that the walk needs, behind a small interface so that the walk's logic does
// not call Windows itself. Every operation returns the registry's own status
// (ERROR_SUCCESS on success) and works on caller-owned buffers; nothing here
// allocates.
#pragma once

#include <windows.h>

#include <utility>

namespace orvanta {

class DeviceRegistry {
 public:
  virtual ~DeviceRegistry() = default;
  // Opens |parent|\|path| for reading (KEY_READ). A null |path| opens the
  // predefined key |parent| itself.
  virtual LONG Open(HKEY parent, const wchar_t* path, HKEY* key) const = 0;
  virtual void Close(HKEY key) const = 0;
  // RegQueryValueExW: |data| may be null to ask only the type and size.
  virtual LONG QueryValue(HKEY key, const wchar_t* name, DWORD* type, BYTE* data, DWORD* size) const = 0;
  // RegEnumKeyExW: |chars| holds the room in |name|, terminating zero included.
  virtual LONG EnumKey(HKEY key, DWORD index, wchar_t* name, DWORD* chars) const = 0;
  // RegEnumValueW with the name, the type and the data.
  virtual LONG EnumValue(HKEY key, DWORD index, wchar_t* name, DWORD* chars, DWORD* type, BYTE* data,
                         DWORD* size) const = 0;
};

// This machine's registry.
class LiveDeviceRegistry : public DeviceRegistry {
 public:
  LONG Open(HKEY parent, const wchar_t* path, HKEY* key) const override;
  void Close(HKEY key) const override;
  LONG QueryValue(HKEY key, const wchar_t* name, DWORD* type, BYTE* data, DWORD* size) const override;
  LONG EnumKey(HKEY key, DWORD index, wchar_t* name, DWORD* chars) const override;
  LONG EnumValue(HKEY key, DWORD index, wchar_t* name, DWORD* chars, DWORD* type, BYTE* data,
                 DWORD* size) const override;
};

// Owns one key opened through a DeviceRegistry and closes it there.
class DeviceKey {
 public:
  explicit DeviceKey(const DeviceRegistry& registry) : registry_(&registry) {}
  DeviceKey(DeviceKey&& other) noexcept : registry_(other.registry_), key_(other.Release()) {}
  DeviceKey& operator=(DeviceKey&& other) noexcept {
    if (this != &other) {
      Reset();
      registry_ = other.registry_;
      key_ = other.Release();
    }
    return *this;
  }
  DeviceKey(const DeviceKey&) = delete;
  DeviceKey& operator=(const DeviceKey&) = delete;
  ~DeviceKey() { Reset(); }

  // Closes the held key, then opens |parent|\|path| for reading. An empty
  // |path| names no key and is not opened. True when the key is open.
  bool Open(HKEY parent, const wchar_t* path) {
    Reset();
    if (path && !*path) return false;
    HKEY key = nullptr;
    if (registry_->Open(parent, path, &key) != ERROR_SUCCESS) return false;
    key_ = key;
    return true;
  }

  HKEY Get() const { return key_; }
  explicit operator bool() const { return key_ != nullptr; }
  const DeviceRegistry& registry() const { return *registry_; }

  void Reset() {
    HKEY old = std::exchange(key_, nullptr);
    if (old) registry_->Close(old);
  }
  [[nodiscard]] HKEY Release() { return std::exchange(key_, nullptr); }

 private:
  const DeviceRegistry* registry_;
  HKEY key_ = nullptr;
};

}  // namespace orvanta
