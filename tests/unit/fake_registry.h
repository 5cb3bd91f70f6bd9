// A registry that a test writes, directly or through RegKey: keys below
// HKEY_LOCAL_MACHINE by path, values by name. Names compare ignoring letter case; subkeys enumerate in
// name order, values in the order they were written. HKEY_DYN_DATA does not
// exist, as on Windows NT.
#pragma once

#include <algorithm>
#include <cwchar>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "framework/reg_key.h"

namespace orvanta::testing {

class FakeRegistry : public RegistrySource {
 public:
  // Makes the key and its parents exist.
  FakeRegistry& Key(const std::wstring& path) {
    Find(&root_, path.c_str(), true);
    return *this;
  }
  // A new value, after the key's others.
  FakeRegistry& Value(const std::wstring& path, const std::wstring& name, DWORD type, std::vector<BYTE> data) {
    Find(&root_, path.c_str(), true)->values.push_back({name, type, std::move(data)});
    return *this;
  }
  // A string value stored with its terminating zero.
  FakeRegistry& Text(const std::wstring& path, const std::wstring& name, const std::wstring& text,
                     DWORD type = REG_SZ) {
    const BYTE* bytes = reinterpret_cast<const BYTE*>(text.c_str());
    return Value(path, name, type, std::vector<BYTE>(bytes, bytes + (text.size() + 1) * sizeof(wchar_t)));
  }

  mutable int open_keys = 0;  // opened and not yet closed

  LONG Open(HKEY parent, const wchar_t* path, REGSAM, HKEY* key) const override {
    Node* node = ParentOf(parent);
    if (node && path) node = Find(node, path, false);
    if (!node) return ERROR_FILE_NOT_FOUND;
    *key = reinterpret_cast<HKEY>(node);
    ++open_keys;
    return ERROR_SUCCESS;
  }
  LONG Create(HKEY parent, const wchar_t* path, REGSAM access, HKEY* key) const override {
    if (Node* node = ParentOf(parent); node && path) Find(node, path, true);
    return Open(parent, path, access, key);
  }
  void Close(HKEY) const override { --open_keys; }
  LONG SetValue(HKEY key, const wchar_t* name, DWORD type, const BYTE* data, DWORD size) const override {
    auto& values = NodeOf(key)->values;
    const auto same = [&](const Stored& value) { return _wcsicmp(value.name.c_str(), name ? name : L"") == 0; };
    const auto it = std::find_if(values.begin(), values.end(), same);
    Stored value{name ? name : L"", type, std::vector<BYTE>(data, data + size)};
    if (it == values.end()) values.push_back(std::move(value));
    else *it = std::move(value);
    return ERROR_SUCCESS;
  }
  LONG QueryValue(HKEY key, const wchar_t* name, DWORD* type, BYTE* data, DWORD* size) const override {
    for (const Stored& value : NodeOf(key)->values) {
      if (_wcsicmp(value.name.c_str(), name ? name : L"") == 0) return Give(value, type, data, size);
    }
    return ERROR_FILE_NOT_FOUND;
  }
  LONG EnumKey(HKEY key, DWORD index, wchar_t* name, DWORD* chars) const override {
    const auto& children = NodeOf(key)->children;
    return index < children.size() ? GiveName(std::next(children.begin(), index)->first, name, chars)
                                   : ERROR_NO_MORE_ITEMS;
  }
  LONG EnumValue(HKEY key, DWORD index, wchar_t* name, DWORD* chars, DWORD* type, BYTE* data,
                 DWORD* size) const override {
    const auto& values = NodeOf(key)->values;
    if (index >= values.size()) return ERROR_NO_MORE_ITEMS;
    const LONG status = GiveName(values[index].name, name, chars);
    return status == ERROR_SUCCESS && size ? Give(values[index], type, data, size) : status;
  }

 private:
  struct Stored {
    std::wstring name;
    DWORD type;
    std::vector<BYTE> data;
  };
  struct CaseLess {
    bool operator()(const std::wstring& a, const std::wstring& b) const { return _wcsicmp(a.c_str(), b.c_str()) < 0; }
  };
  struct Node {
    std::map<std::wstring, Node, CaseLess> children;
    std::vector<Stored> values;
  };

  static Node* NodeOf(HKEY key) { return reinterpret_cast<Node*>(key); }
  Node* ParentOf(HKEY parent) const {
    return parent == HKEY_LOCAL_MACHINE ? &root_ : parent == HKEY_DYN_DATA ? nullptr : NodeOf(parent);
  }
  // The key at |path| below |node|; null when it is missing and not |create|d.
  static Node* Find(Node* node, const wchar_t* path, bool create) {
    for (const wchar_t* part = path; node && *part;) {
      const wchar_t* end = part + std::wcscspn(part, L"\\");
      const std::wstring name(part, end);
      const auto it = node->children.find(name);
      node = it != node->children.end() ? &it->second : create ? &node->children[name] : nullptr;
      part = *end ? end + 1 : end;
    }
    return node;
  }
  // RegQueryValueExW's answer: the size always, the data when it fits.
  static LONG Give(const Stored& value, DWORD* type, BYTE* data, DWORD* size) {
    const DWORD room = *size;
    *size = static_cast<DWORD>(value.data.size());
    if (type) *type = value.type;
    if (data && room >= value.data.size()) std::copy(value.data.begin(), value.data.end(), data);
    return data && room < value.data.size() ? ERROR_MORE_DATA : ERROR_SUCCESS;
  }
  static LONG GiveName(const std::wstring& text, wchar_t* name, DWORD* chars) {
    if (text.size() >= *chars) return ERROR_MORE_DATA;
    std::copy(text.c_str(), text.c_str() + text.size() + 1, name);
    *chars = static_cast<DWORD>(text.size());
    return ERROR_SUCCESS;
  }

  mutable Node root_;
};

// The bytes of |text| without a terminating zero.
inline std::vector<BYTE> UnterminatedText(const std::wstring& text) {
  const BYTE* bytes = reinterpret_cast<const BYTE*>(text.data());
  return std::vector<BYTE>(bytes, bytes + text.size() * sizeof(wchar_t));
}

}  // namespace orvanta::testing
