#include "framework/reg_key.h"

#include <shlwapi.h>

#include <algorithm>
#include <cstring>
#include <cwchar>

namespace orvanta {
namespace {

class LiveRegistrySource : public RegistrySource {
 public:
  LONG Open(HKEY parent, const wchar_t* path, REGSAM access, HKEY* key) const override {
    return RegOpenKeyExW(parent, path, 0, access, key);
  }
  void Close(HKEY key) const override { RegCloseKey(key); }
  LONG QueryValue(HKEY key, const wchar_t* name, DWORD* type, BYTE* data, DWORD* size) const override {
    return RegQueryValueExW(key, name, nullptr, type, data, size);
  }
  LONG EnumKey(HKEY key, DWORD index, wchar_t* name, DWORD* chars) const override {
    return RegEnumKeyExW(key, index, name, chars, nullptr, nullptr, nullptr, nullptr);
  }
  LONG EnumValue(HKEY key, DWORD index, wchar_t* name, DWORD* chars, DWORD* type, BYTE* data,
                 DWORD* size) const override {
    return RegEnumValueW(key, index, name, chars, nullptr, type, data, size);
  }
};

const LiveRegistrySource kLiveRegistry;

}  // namespace

const RegistrySource& LiveRegistry() { return kLiveRegistry; }

LONG RegKey::Open(HKEY parent, const wchar_t* path, REGSAM access) {
  Reset();
  HKEY key = nullptr;
  const LONG status = source_->Open(parent, path, access, &key);
  if (status == ERROR_SUCCESS) key_ = key;
  return status;
}

LONG RegKey::Create(HKEY parent, const wchar_t* path, REGSAM access) {
  Reset();
  source_ = &LiveRegistry();
  HKEY key = nullptr;
  LONG status = RegCreateKeyExW(parent, path, 0, nullptr, REG_OPTION_NON_VOLATILE, access,
                                nullptr, &key, nullptr);
  if (status == ERROR_SUCCESS) key_ = key;
  return status;
}

LONG RegKey::WriteString(const wchar_t* name, const std::wstring& value) const {
  const DWORD bytes = static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t));
  return RegSetValueExW(key_, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                        bytes);
}

LONG RegKey::ReadValue(const wchar_t* name, DWORD* type, std::vector<BYTE>* data) const {
  // Most values fit the first buffer, so one call reads them; a larger one
  // answers ERROR_MORE_DATA with its size, and a value that grows between the
  // calls is asked for again.
  constexpr DWORD kFirstBuffer = 256;
  std::vector<BYTE> buffer(kFirstBuffer);
  for (;;) {
    DWORD size = static_cast<DWORD>(buffer.size());
    DWORD read_type = REG_NONE;
    const LONG status = QueryValue(name, &read_type, buffer.data(), &size);
    if (status == ERROR_MORE_DATA) {
      // Always larger than before, even if the size answered is not.
      buffer.assign(std::max<size_t>(size, buffer.size() * 2), 0);
      continue;
    }
    if (status != ERROR_SUCCESS) return status;
    buffer.resize(size);
    *type = read_type;
    *data = std::move(buffer);
    return ERROR_SUCCESS;
  }
}

std::wstring TextFromRegistryData(const BYTE* data, size_t size) {
  std::wstring text(size / sizeof(wchar_t), L'\0');
  std::memcpy(text.data(), data, text.size() * sizeof(wchar_t));
  text.resize(std::wcslen(text.c_str()));
  for (size_t i = 0; i < text.size(); ++i) {
    const bool high = text[i] >= 0xd800 && text[i] <= 0xdbff;
    const bool low = text[i] >= 0xdc00 && text[i] <= 0xdfff;
    if (high && i + 1 < text.size() && text[i + 1] >= 0xdc00 && text[i + 1] <= 0xdfff) {
      ++i;  // a whole pair
    } else if (high || low) {
      text[i] = 0xfffd;
    }
  }
  return text;
}

LONG DeleteKeyTree(HKEY parent, const wchar_t* path) {
  return static_cast<LONG>(SHDeleteKeyW(parent, path));
}

}  // namespace orvanta
