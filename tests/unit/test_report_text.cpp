// Report formatting follows the C runtime that the module links with.
#include <gtest/gtest.h>

#include <climits>

#include "framework/report_text.h"

namespace orvanta {
namespace {

TEST(ReportText, ReadsFormatsAsTheMicrosoftRuntimeDoes) {
  // "%s" in a wide format takes a wide string.
  EXPECT_EQ(FormatText(L"%s[%s]", L"C:\\", L"Fixed"), L"C:\\[Fixed]");
  EXPECT_EQ(FormatText(L"%I64d MHz\n", 2400LL), L"2400 MHz\n");
  EXPECT_EQ(FormatText(L"%I64d", LLONG_MIN), L"-9223372036854775808");
  EXPECT_EQ(FormatText(L"%lld", 5000000000LL), L"5000000000");
  EXPECT_EQ(FormatText(L"%d.%02d", 7, 5), L"7.05");
  EXPECT_EQ(FormatText(L"%u MB\n", 4294967295u), L"4294967295 MB\n");
  EXPECT_EQ(FormatText(L"%c%c", L'A', 0x3042), L"A\x3042");
  EXPECT_EQ(FormatText(L"%.1f", 63.96), L"64.0");
  EXPECT_EQ(FormatText(L"%.1f", 0.25), L"0.3");
}

TEST(ReportText, AppendsWithoutDisturbingWhatIsThere) {
  CString text = L"SystemModel : ";
  AppendFormat(text, L"%s\n", L"");
  EXPECT_EQ(text, L"SystemModel : \n");
  AppendFormat(text, L"%s", L"");
  EXPECT_EQ(text, L"SystemModel : \n");
}

TEST(ReportText, KeepsLongTextWhole) {
  const std::wstring long_text(5000, L'x');
  CString text = L"<";
  AppendFormat(text, L"%s>", long_text.c_str());
  EXPECT_EQ(text, L"<" + long_text + L">");
}

}  // namespace
}  // namespace orvanta
