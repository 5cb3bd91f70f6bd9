// Registry values read through RegKey: where text ends, what becomes of data
// that is not well-formed UTF-16, the size limit of a read, and writes going
// to the key's own registry.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "framework/reg_key.h"
#include "framework/report_text.h"
#include "tests/unit/fake_registry.h"

namespace orvanta {
namespace {

using testing::FakeRegistry;

const wchar_t kKey[] = L"SOFTWARE\\Orvanta";

struct TextCase {
  const char* what;
  std::vector<BYTE> data;
  std::wstring text;
};

TEST(RegistryText, TakesWellFormedTextUpToItsEnd) {
  const TextCase cases[] = {
      {"empty", {}, L""},
      {"one odd byte", {'A'}, L""},
      {"terminated", {'A', 0, 'B', 0, 0, 0}, L"AB"},
      {"unterminated", {'A', 0, 'B', 0}, L"AB"},
      {"a trailing odd byte", {'A', 0, 'B', 0, 'C'}, L"AB"},
      {"an embedded zero", {'A', 0, 0, 0, 'B', 0}, L"A"},
      {"a surrogate pair", {0x3d, 0xd8, 0x00, 0xde, '!', 0}, L"\U0001F600!"},
      {"a pair cut in half", {'A', 0, 0x3d, 0xd8}, L"A\xfffd"},
      {"a low surrogate alone", {0x00, 0xde, 'A', 0}, L"\xfffd" L"A"},
      {"two high surrogates", {0x3d, 0xd8, 0x3d, 0xd8, 0x00, 0xde}, L"\xfffd\U0001F600"},
      {"reversed pair", {0x00, 0xde, 0x3d, 0xd8}, L"\xfffd\xfffd"},
      {"longer than the first buffer", std::vector<BYTE>(600, 'x'), std::wstring(300, L'\x7878')},
  };
  for (const TextCase& test : cases) {
    FakeRegistry registry;
    registry.Value(kKey, L"Value", REG_BINARY, test.data);
    RegKey key(registry);
    ASSERT_EQ(key.Open(HKEY_LOCAL_MACHINE, kKey, KEY_READ), ERROR_SUCCESS);
    DWORD type = REG_NONE;
    std::wstring text = L"before";
    ASSERT_EQ(key.ReadText(L"Value", &type, &text), ERROR_SUCCESS) << test.what;
    EXPECT_EQ(WellFormedText(text), test.text) << test.what;
    EXPECT_EQ(type, static_cast<DWORD>(REG_BINARY));
  }
}

TEST(RegistryText, ReadsNoValueLongerThanItsLimit) {
  FakeRegistry registry;
  registry.Value(kKey, L"Four", REG_BINARY, {1, 2, 3, 4}).Value(kKey, L"Long", REG_SZ, std::vector<BYTE>(1042, 'x'));
  RegKey key(registry);
  ASSERT_EQ(key.Open(HKEY_LOCAL_MACHINE, kKey, KEY_READ), ERROR_SUCCESS);
  DWORD type = REG_NONE;
  std::vector<BYTE> data;
  EXPECT_EQ(key.ReadValue(L"Four", &type, &data, 4), ERROR_SUCCESS);
  EXPECT_EQ(data, (std::vector<BYTE>{1, 2, 3, 4}));
  EXPECT_EQ(key.ReadValue(L"Four", &type, &data, 3), ERROR_MORE_DATA);
  std::wstring text = L"untouched";
  EXPECT_EQ(key.ReadText(L"Long", &type, &text, 1040), ERROR_MORE_DATA);
  EXPECT_EQ(text, L"untouched");
  EXPECT_EQ(key.ReadText(L"Long", &type, &text, 1042), ERROR_SUCCESS);
  EXPECT_EQ(text.size(), 521u);
}

TEST(RegistryText, WritesGoToTheKeysOwnRegistry) {
  FakeRegistry registry;
  {
    RegKey key(registry);
    ASSERT_EQ(key.Create(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Orvanta\\New", KEY_READ | KEY_WRITE), ERROR_SUCCESS);
    EXPECT_EQ(key.WriteString(nullptr, L"first"), ERROR_SUCCESS);
    EXPECT_EQ(key.WriteString(nullptr, L"second"), ERROR_SUCCESS);
  }
  RegKey key(registry);
  ASSERT_EQ(key.Open(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Orvanta\\New", KEY_READ), ERROR_SUCCESS);
  DWORD type = REG_NONE;
  std::vector<BYTE> data;
  ASSERT_EQ(key.ReadValue(nullptr, &type, &data), ERROR_SUCCESS);
  EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
  EXPECT_EQ(data.size(), sizeof(L"second"));
  EXPECT_EQ(registry.open_keys, 1);
}

}  // namespace
}  // namespace orvanta
