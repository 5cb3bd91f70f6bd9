// A registry that a test writes: keys by path, values by name.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "collectors/registry_reader.h"

namespace orvanta::testing {

class FakeRegistry : public RegistryReader {
 public:
  // Makes the key exist (with no values yet).
  FakeRegistry& Key(const std::wstring& path) {
    keys_[path];
    return *this;
  }
  FakeRegistry& Value(const std::wstring& path, const std::wstring& name, DWORD type, std::vector<BYTE> data) {
    keys_[path][name] = RegistryValue{type, std::move(data)};
    return *this;
  }
  // A REG_SZ (or other string type) value stored with its terminating zero.
  FakeRegistry& Text(const std::wstring& path, const std::wstring& name, const std::wstring& text,
                     DWORD type = REG_SZ) {
    const BYTE* bytes = reinterpret_cast<const BYTE*>(text.c_str());
    return Value(path, name, type, std::vector<BYTE>(bytes, bytes + (text.size() + 1) * sizeof(wchar_t)));
  }

  std::unique_ptr<RegistryKeyReader> Open(const wchar_t* path, REGSAM) const override {
    auto it = keys_.find(path);
    if (it == keys_.end()) return nullptr;
    return std::make_unique<Key_>(it->second);
  }

 private:
  using Values = std::map<std::wstring, RegistryValue>;
  class Key_ : public RegistryKeyReader {
   public:
    explicit Key_(const Values& values) : values_(values) {}
    std::optional<RegistryValue> Read(const wchar_t* name) const override {
      auto it = values_.find(name ? name : L"");
      if (it == values_.end()) return std::nullopt;
      return it->second;
    }

   private:
    const Values& values_;
  };

  std::map<std::wstring, Values> keys_;
};

// The bytes of |text| without a terminating zero.
inline std::vector<BYTE> UnterminatedText(const std::wstring& text) {
  const BYTE* bytes = reinterpret_cast<const BYTE*>(text.data());
  return std::vector<BYTE>(bytes, bytes + text.size() * sizeof(wchar_t));
}

}  // namespace orvanta::testing
