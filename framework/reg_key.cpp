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
  LONG Create(HKEY parent, const wchar_t* path, REGSAM access, HKEY* key) const override {
    return RegCreateKeyExW(parent, path, 0, nullptr, REG_OPTION_NON_VOLATILE, access, nullptr, key, nullptr);
  }
  void Close(HKEY key) const override { RegCloseKey(key); }
  LONG SetValue(HKEY key, const wchar_t* name, DWORD type, const BYTE* data, DWORD size) const override {
    return RegSetValueExW(key, name, 0, type, data, size);
  }
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
  return Hold(&RegistrySource::Open, parent, path, access);
}

LONG RegKey::Create(HKEY parent, const wchar_t* path, REGSAM access) {
  return Hold(&RegistrySource::Create, parent, path, access);
}

LONG RegKey::Hold(KeyCall call, HKEY parent, const wchar_t* path, REGSAM access) {
  Reset();
  HKEY key = nullptr;
  const LONG status = (source_->*call)(parent, path, access, &key);
  if (status == ERROR_SUCCESS) key_ = key;
  return status;
}

LONG RegKey::WriteString(const wchar_t* name, const std::wstring& value) const {
  const DWORD bytes = static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t));
  return source_->SetValue(key_, name, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()), bytes);
}

LONG RegKey::ReadValue(const wchar_t* name, DWORD* type, std::vector<BYTE>* data, DWORD max_bytes) const {
  // Most values fit the first buffer, so one call reads them; a larger one
  // answers ERROR_MORE_DATA with its size, and a value that grows between the
  // calls is asked for again.
  constexpr DWORD kFirstBuffer = 256;
  std::vector<BYTE> buffer(std::min(kFirstBuffer, max_bytes));
  for (;;) {
    DWORD size = static_cast<DWORD>(buffer.size());
    DWORD read_type = REG_NONE;
    const LONG status = QueryValue(name, &read_type, buffer.data(), &size);
    if (status == ERROR_MORE_DATA && buffer.size() < max_bytes) {
      // Always larger than before, even if the size answered is not.
      buffer.assign(std::min<size_t>(std::max<size_t>(size, buffer.size() * 2), max_bytes), 0);
      continue;
    }
    if (status != ERROR_SUCCESS) return status;
    buffer.resize(size);
    *type = read_type;
    *data = std::move(buffer);
    return ERROR_SUCCESS;
  }
}

LONG RegKey::ReadText(const wchar_t* name, DWORD* type, std::wstring* text, DWORD max_bytes) const {
  std::vector<BYTE> data;
  const LONG status = ReadValue(name, type, &data, max_bytes);
  if (status != ERROR_SUCCESS) return status;
  text->assign(data.size() / sizeof(wchar_t), L'\0');
  std::memcpy(text->data(), data.data(), text->size() * sizeof(wchar_t));
  text->resize(std::wcslen(text->c_str()));
  return ERROR_SUCCESS;
}

LONG DeleteKeyTree(HKEY parent, const wchar_t* path) {
  return static_cast<LONG>(SHDeleteKeyW(parent, path));
}

}  // namespace orvanta
