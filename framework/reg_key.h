// RegKey: owns one open registry key.
#pragma once

#include <windows.h>

#include <string>
#include <utility>
#include <vector>

namespace orvanta {

// Reads and writes return the registry's own status (ERROR_SUCCESS on success)
// and fill their out values only on success.
class RegKey {
 public:
  RegKey() = default;
  RegKey(RegKey&& other) noexcept : key_(other.Release()) {}
  RegKey& operator=(RegKey&& other) noexcept {
    if (this != &other) Reset(other.Release());
    return *this;
  }
  RegKey(const RegKey&) = delete;
  RegKey& operator=(const RegKey&) = delete;
  ~RegKey() { Reset(); }

  LONG Open(HKEY parent, const wchar_t* path, REGSAM access);
  // Opens |path|, creating the missing keys on the way.
  LONG Create(HKEY parent, const wchar_t* path, REGSAM access);

  HKEY Get() const { return key_; }
  explicit operator bool() const { return key_ != nullptr; }
  void Reset(HKEY key = nullptr) {
    HKEY old = std::exchange(key_, key);
    if (old) RegCloseKey(old);
  }
  [[nodiscard]] HKEY Release() { return std::exchange(key_, nullptr); }

  // Writes |value| as REG_SZ under |name| (null: the key's default value).
  LONG WriteString(const wchar_t* name, const std::wstring& value) const;
  // Asks a value's type and data size without reading its data.
  LONG QueryValueInfo(const wchar_t* name, DWORD* type, DWORD* size) const;
  // Reads a value's type and all of its data, however long; a value that
  // grows between the size query and the read is read again.
  LONG ReadValue(const wchar_t* name, DWORD* type, std::vector<BYTE>* data) const;

 private:
  HKEY key_ = nullptr;
};

// Registry data taken as UTF-16 text: up to the first zero character or the
// end of the data, whichever comes first. A trailing odd byte is not a
// character and is left out. A surrogate without its partner (binary data
// read as text, or a pair cut by a size limit) becomes U+FFFD, so that the
// text is always well-formed UTF-16.
std::wstring TextFromRegistryData(const BYTE* data, size_t size);

// Removes |path| below |parent| with all its subkeys and values.
LONG DeleteKeyTree(HKEY parent, const wchar_t* path);

}  // namespace orvanta
