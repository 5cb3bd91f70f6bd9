// Registry data read as text: where it ends and what becomes of data that is
// not well-formed UTF-16.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "framework/reg_key.h"

namespace orvanta {
namespace {

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
  };
  for (const TextCase& test : cases) {
    EXPECT_EQ(TextFromRegistryData(test.data.data(), test.data.size()), test.text) << test.what;
  }
}

}  // namespace
}  // namespace orvanta
