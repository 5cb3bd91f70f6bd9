// The registry as this module reads and writes it. Every call goes through a
// RegistrySource: LiveRegistry() is this machine's registry, and tests hand
// the reports a registry of their own. RegKey owns one key opened through a
// source and closes it there.
#pragma once

#include <windows.h>

#include <string>
#include <utility>
#include <vector>

namespace orvanta {

// The registry functions that the module needs. Each returns the registry's
// own status (ERROR_SUCCESS on success) and works on caller-owned buffers.
class RegistrySource {
 public:
  virtual ~RegistrySource() = default;
  // RegOpenKeyExW. A null |path| opens the predefined key |parent| itself.
  virtual LONG Open(HKEY parent, const wchar_t* path, REGSAM access, HKEY* key) const = 0;
  // RegCreateKeyExW, non-volatile: opens |path|, creating the missing keys on
  // the way.
  virtual LONG Create(HKEY parent, const wchar_t* path, REGSAM access, HKEY* key) const = 0;
  virtual void Close(HKEY key) const = 0;
  // RegSetValueExW.
  virtual LONG SetValue(HKEY key, const wchar_t* name, DWORD type, const BYTE* data, DWORD size) const = 0;
  // RegQueryValueExW: |data| may be null to ask only the type and size.
  virtual LONG QueryValue(HKEY key, const wchar_t* name, DWORD* type, BYTE* data, DWORD* size) const = 0;
  // RegEnumKeyExW: |chars| holds the room in |name|, terminating zero included.
  virtual LONG EnumKey(HKEY key, DWORD index, wchar_t* name, DWORD* chars) const = 0;
  // RegEnumValueW; |type|, |data| and |size| may be null.
  virtual LONG EnumValue(HKEY key, DWORD index, wchar_t* name, DWORD* chars, DWORD* type, BYTE* data,
                         DWORD* size) const = 0;
};

// This machine's registry.
const RegistrySource& LiveRegistry();

// Reads return the registry's own status and fill their out values only on
// success.
class RegKey {
 public:
  // A key of this machine's registry, or of |source|, which must outlive it.
  RegKey() = default;
  explicit RegKey(const RegistrySource& source) : source_(&source) {}
  RegKey(RegKey&& other) noexcept : source_(other.source_), key_(other.Release()) {}
  RegKey& operator=(RegKey&& other) noexcept {
    if (this != &other) {
      Reset();
      source_ = other.source_;
      key_ = other.Release();
    }
    return *this;
  }
  RegKey(const RegKey&) = delete;
  RegKey& operator=(const RegKey&) = delete;
  ~RegKey() { Reset(); }

  // Closes the held key, then opens |parent|\|path| (null: |parent| itself).
  LONG Open(HKEY parent, const wchar_t* path, REGSAM access);
  // The same, creating the missing keys on the way.
  LONG Create(HKEY parent, const wchar_t* path, REGSAM access);

  HKEY Get() const { return key_; }
  explicit operator bool() const { return key_ != nullptr; }
  void Reset(HKEY key = nullptr) {
    HKEY old = std::exchange(key_, key);
    if (old) source_->Close(old);
  }
  [[nodiscard]] HKEY Release() { return std::exchange(key_, nullptr); }
  const RegistrySource& source() const { return *source_; }

  // The source's operations on this key.
  LONG QueryValue(const wchar_t* name, DWORD* type, BYTE* data, DWORD* size) const {
    return source_->QueryValue(key_, name, type, data, size);
  }
  LONG EnumKey(DWORD index, wchar_t* name, DWORD* chars) const { return source_->EnumKey(key_, index, name, chars); }
  LONG EnumValue(DWORD index, wchar_t* name, DWORD* chars, DWORD* type, BYTE* data, DWORD* size) const {
    return source_->EnumValue(key_, index, name, chars, type, data, size);
  }
  // Reads a value's type and all of its data; a value that grows between the
  // size query and the read is read again. A value of more than |max_bytes|
  // bytes is not read: ERROR_MORE_DATA, as a buffer of that size answers.
  LONG ReadValue(const wchar_t* name, DWORD* type, std::vector<BYTE>* data,
                 DWORD max_bytes = kAnyValueSize) const;
  // The same, the data taken as UTF-16 text as stored: up to the first zero
  // character or the end of the data, whichever comes first; a trailing odd
  // byte is not a character and is left out. Every text the module reads
  // from the registry is read here.
  LONG ReadText(const wchar_t* name, DWORD* type, std::wstring* text, DWORD max_bytes = kAnyValueSize) const;

  // Writes |value| as REG_SZ under |name| (null: the key's default value).
  LONG WriteString(const wchar_t* name, const std::wstring& value) const;

  static constexpr DWORD kAnyValueSize = 0xFFFFFFFF;

 private:
  // Closes the held key, then holds the key that |call| opens, if it does.
  using KeyCall = LONG (RegistrySource::*)(HKEY, const wchar_t*, REGSAM, HKEY*) const;
  LONG Hold(KeyCall call, HKEY parent, const wchar_t* path, REGSAM access);

  const RegistrySource* source_ = &LiveRegistry();
  HKEY key_ = nullptr;
};

// Removes |path| below |parent| with all its subkeys and values.
LONG DeleteKeyTree(HKEY parent, const wchar_t* path);

}  // namespace orvanta
