// PlantedKey: a key below HKEY_LOCAL_MACHINE (or another root) that a test creates and that is
// removed, with everything below it, when the test ends, however it ends.
#pragma once

#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "framework/reg_key.h"

namespace orvanta::testing {

// The key must not exist before: Plant() fails the test rather than touch a
// key that is not the test's own. Keys below it are created on demand and go
// with it.
class PlantedKey {
 public:
  // |options|: REG_OPTION_VOLATILE below a volatile parent.
  explicit PlantedKey(std::wstring path, DWORD options = REG_OPTION_NON_VOLATILE, HKEY root = HKEY_LOCAL_MACHINE)
      : path_(std::move(path)), options_(options), root_(root) {}
  PlantedKey(const PlantedKey&) = delete;
  PlantedKey& operator=(const PlantedKey&) = delete;
  ~PlantedKey() {
    key_.Reset();
    if (planted_) DeleteKeyTree(root_, path_.c_str());
  }

  void Plant() {
    RegKey existing;
    ASSERT_NE(existing.Open(root_, path_.c_str(), KEY_READ), ERROR_SUCCESS)
        << "the test would overwrite an existing key";
    HKEY key = nullptr;
    ASSERT_EQ(Create(root_, path_, &key), ERROR_SUCCESS);
    key_.Reset(key);
    planted_ = true;
  }
  void Set(const wchar_t* name, DWORD type, const void* data, size_t size) { SetAt(L"", name, type, data, size); }
  void SetText(const wchar_t* name, const std::wstring& text, DWORD type = REG_SZ) {
    SetTextAt(L"", name, text, type);
  }

  // The same below the planted key: |subpath| (empty: the key itself) is
  // created first.
  void SetAt(const std::wstring& subpath, const wchar_t* name, DWORD type, const void* data, size_t size) {
    ASSERT_TRUE(planted_);
    RegKey key;
    ASSERT_NO_FATAL_FAILURE(CreateAt(subpath, &key));
    ASSERT_EQ(RegSetValueExW(key.Get(), name, 0, type, static_cast<const BYTE*>(data), static_cast<DWORD>(size)),
              ERROR_SUCCESS);
  }
  void SetTextAt(const std::wstring& subpath, const wchar_t* name, const std::wstring& text, DWORD type = REG_SZ) {
    SetAt(subpath, name, type, text.c_str(), (text.size() + 1) * sizeof(wchar_t));
  }
  void SetDwordAt(const std::wstring& subpath, const wchar_t* name, DWORD value) {
    SetAt(subpath, name, REG_DWORD, &value, sizeof(value));
  }
  void CreateAt(const std::wstring& subpath, RegKey* key) {
    ASSERT_TRUE(planted_);
    HKEY created = nullptr;
    ASSERT_EQ(Create(key_.Get(), subpath, &created), ERROR_SUCCESS);
    key->Reset(created);
  }

 private:
  LONG Create(HKEY parent, const std::wstring& path, HKEY* key) const {
    return RegCreateKeyExW(parent, path.c_str(), 0, nullptr, options_, KEY_WRITE, nullptr, key, nullptr);
  }

  std::wstring path_;
  DWORD options_;
  HKEY root_;
  RegKey key_;
  bool planted_ = false;
};

}  // namespace orvanta::testing
