// The survey tool's logic: its method list, its command line, and its text
// and JSON output.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "control/dispatch_table.h"
#include "tools/survey/survey_report.h"

namespace orvanta::survey {
namespace {

TEST(SurveyMethods, AgreeWithTheDispatchTable) {
  ASSERT_EQ(SurveyMethods().size(), kOrvantaMethods.size());
  for (size_t i = 0; i < kOrvantaMethods.size(); ++i) {
    const OrvantaMethod& row = kOrvantaMethods[i];
    const SurveyMethod& method = SurveyMethods()[i];
    SCOPED_TRACE(row.id);
    EXPECT_EQ(method.id, row.id);
    EXPECT_STREQ(method.name, row.type_library_name);
    const bool names_differ = std::wstring_view(row.type_library_name) != row.dispatch_name;
    EXPECT_STREQ(method.other_name ? method.other_name : method.name, row.dispatch_name);
    EXPECT_EQ(method.other_name != nullptr, names_differ);
    EXPECT_EQ(method.shows_dialog, row.result == VT_EMPTY);
  }
}

std::vector<std::wstring> Names(const std::vector<const SurveyMethod*>& methods) {
  std::vector<std::wstring> names;
  for (const SurveyMethod* method : methods) names.push_back(method->name);
  return names;
}

TEST(SelectMethods, WithoutOnlyEveryMethodButTheAboutBox) {
  std::wstring error;
  const auto methods = SelectMethods(L"", &error);
  ASSERT_TRUE(methods);
  ASSERT_EQ(methods->size(), 30u);
  EXPECT_EQ(methods->front()->name, std::wstring(L"GetOSInfo"));
  EXPECT_EQ(methods->back()->name, std::wstring(L"GetSecuritySoftInfo"));
}

TEST(SelectMethods, OnlyTakesEitherNameInAnyCaseInInterfaceOrder) {
  struct Case {
    const wchar_t* only;
    std::vector<std::wstring> names;
  };
  const Case cases[] = {
      {L"GetMemoryInfo", {L"GetMemoryInfo"}},
      {L"isinstall,GETMEMORYINFO", {L"GetMemoryInfo", L"IsInstall"}},
      {L"GetSoundcardInfo,GetSamplingFrequencyInfo", {L"GetSoundcardNameInfo", L"GetSamplingFrequency"}},
      {L"GetCPUCount,GetCPUCount,getcpucount", {L"GetCPUCount"}},
      {L"AboutBox", {L"AboutBox"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.only);
    std::wstring error;
    const auto methods = SelectMethods(c.only, &error);
    ASSERT_TRUE(methods) << testing::PrintToString(error);
    EXPECT_EQ(Names(*methods), c.names);
  }
}

TEST(SelectMethods, UnknownNamesListTheValidOnes) {
  for (const wchar_t* only : {L"GetBogusInfo", L"GetMemoryInfo,Bogus", L"GetMemoryInfo,", L",GetMemoryInfo"}) {
    SCOPED_TRACE(testing::Message() << only);
    std::wstring error;
    EXPECT_FALSE(SelectMethods(only, &error));
    EXPECT_EQ(error.find(L"unknown method"), 0u);
    EXPECT_NE(error.find(L"valid names: GetOSInfo, GetCPUInfo,"), std::wstring::npos);
    EXPECT_NE(error.find(L"GetSecuritySoftInfo, AboutBox"), std::wstring::npos);
  }
}

TEST(ParseCommandLine, ReadsEveryOption) {
  std::wstring error;
  auto options = ParseCommandLine({L"--json", L"--only", L"GetCPUCount", L"--ocx", L"C:\\x\\ORVANTA.OCX"}, &error);
  ASSERT_TRUE(options);
  EXPECT_TRUE(options->json);
  EXPECT_FALSE(options->help);
  EXPECT_EQ(options->source, Source::kOcx);
  EXPECT_EQ(options->ocx_path, L"C:\\x\\ORVANTA.OCX");
  EXPECT_EQ(Names(options->methods), std::vector<std::wstring>{L"GetCPUCount"});

  options = ParseCommandLine({L"--here"}, &error);
  ASSERT_TRUE(options);
  EXPECT_EQ(options->source, Source::kHere);
  EXPECT_EQ(options->methods.size(), 30u);
  options = ParseCommandLine({}, &error);
  ASSERT_TRUE(options);
  EXPECT_EQ(options->source, Source::kProgId);
  EXPECT_FALSE(options->json);
  EXPECT_TRUE(ParseCommandLine({L"--help"}, &error)->help);
}

TEST(ParseCommandLine, RejectsMistakes) {
  const std::vector<std::vector<std::wstring>> mistakes = {
      {L"--only"}, {L"--ocx"}, {L"--only", L""}, {L"--here", L"--ocx", L"a.ocx"}, {L"--ocx", L"a.ocx", L"--here"},
      {L"--only", L"GetCPUCount", L"--only", L"IsInstall"}, {L"--verbose"}, {L"--only", L"Nope"},
  };
  for (const auto& args : mistakes) {
    SCOPED_TRACE(testing::PrintToString(args));
    std::wstring error;
    EXPECT_FALSE(ParseCommandLine(args, &error));
    EXPECT_FALSE(error.empty());
  }
}

const SurveyMethod& Method(std::wstring_view name) {
  for (const SurveyMethod& method : SurveyMethods()) {
    if (name == method.name) return method;
  }
  throw std::invalid_argument("no such method");
}

Answer Text(std::wstring text) { return {Answer::Kind::kText, std::move(text), 0}; }

TEST(FormatAnswer, OneLineOnTheNameLineLongerOnesIndented) {
  struct Case {
    const wchar_t* name;
    Answer answer;
    const wchar_t* expected;
  };
  const Case cases[] = {
      {L"GetOSInfo", Text(L""), L"GetOSInfo (1): (empty)\n"},
      {L"GetMemoryInfo", Text(L"2048 MB\n"), L"GetMemoryInfo (3): 2048 MB\n"},
      {L"GetCPUCount", Text(L"4"), L"GetCPUCount (27): 4\n"},
      {L"GetDriveInfo", Text(L"C:\\[Fixed]\nD:\\[CD-ROM]\n"), L"GetDriveInfo (8):\n    C:\\[Fixed]\n    D:\\[CD-ROM]\n"},
      {L"GetDriveInfo", Text(L"a\r\n\r\nb"), L"GetDriveInfo (8):\n    a\n\n    b\n"},
      {L"GetCPUInfo", Text(L"\n"), L"GetCPUInfo (2): \n"},
      {L"IsInstall", {Answer::Kind::kNumber, L"", 1}, L"IsInstall (18): 1\n"},
      {L"AboutBox", {}, L"AboutBox (-552): (no answer)\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.name << " " << testing::PrintToString(c.answer.text));
    EXPECT_EQ(FormatAnswer(Method(c.name), c.answer), c.expected);
  }
}

TEST(FormatJson, KeysByTypeLibraryNameTextsExactNumbersAsNumbers) {
  const std::string json = FormatJson({
      {&Method(L"GetCPUInfo"), Text(L"Vendor \"X\"\nGenuine\tIntel\n")},
      {&Method(L"GetSoundcardNameInfo"), Text(L"Null output \u00e9")},
      {&Method(L"IsInstall"), {Answer::Kind::kNumber, L"", 1}},
      {&Method(L"AboutBox"), {}},
  });
  const auto parsed = nlohmann::ordered_json::parse(json);
  ASSERT_EQ(parsed.size(), 4u);
  std::vector<std::string> keys;
  for (const auto& item : parsed.items()) keys.push_back(item.key());
  EXPECT_EQ(keys, (std::vector<std::string>{"GetCPUInfo", "GetSoundcardNameInfo", "IsInstall", "AboutBox"}));
  EXPECT_EQ(parsed["GetCPUInfo"], "Vendor \"X\"\nGenuine\tIntel\n");
  EXPECT_EQ(parsed["GetSoundcardNameInfo"], "Null output \xc3\xa9");
  EXPECT_TRUE(parsed["IsInstall"].is_number_integer());
  EXPECT_EQ(parsed["IsInstall"], 1);
  EXPECT_TRUE(parsed["AboutBox"].is_null());
  EXPECT_NE(json.find(R"("GetCPUInfo": "Vendor \"X\"\nGenuine\tIntel\n")"), std::string::npos);
  EXPECT_EQ(json.back(), '\n');
}

TEST(Messages, NameTheMethodTheResultAndTheWayOut) {
  EXPECT_EQ(DescribeFailure(L"GetCPUInfo (2)", E_FAIL, L"Unspecified error\r\n"),
            L"GetCPUInfo (2) failed: 0x80004005 Unspecified error");
  EXPECT_EQ(DescribeFailure(L"GetCPUInfo (2)", static_cast<HRESULT>(0x80040200), L""),
            L"GetCPUInfo (2) failed: 0x80040200");
  for (bool is_64_bit : {true, false}) {
    const std::wstring message = NotRegisteredMessage(is_64_bit);
    EXPECT_EQ(message.find(L'\n'), std::wstring::npos);
    EXPECT_NE(message.find(L"regsvr32 ORVANTA.OCX"), std::wstring::npos);
    EXPECT_EQ(message.find(L"SysWOW64") != std::wstring::npos, !is_64_bit);
  }
}

}  // namespace
}  // namespace orvanta::survey
