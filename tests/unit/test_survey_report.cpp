// The survey tool's logic: choosing methods, its command line, and its text
// and JSON output, failed calls included.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "tools/survey/survey_report.h"

namespace orvanta::survey {
namespace {

// Methods as a control's type information might list them.
const std::vector<SurveyMethod> kMethods = {
    {L"GetOSInfo", 1}, {L"GetMemoryInfo", 3}, {L"GetSoundcardNameInfo", 9}, {L"IsInstall", 18}, {L"GetCPUCount", 27},
};

// The control's own table knows identifier 9 by another name.
DISPID OtherName(const std::wstring& name) { return name == L"GetSoundcardInfo" ? 9 : DISPID_UNKNOWN; }

std::vector<std::wstring> Names(const std::vector<SurveyMethod>& methods) {
  std::vector<std::wstring> names;
  for (const SurveyMethod& method : methods) names.push_back(method.name);
  return names;
}

TEST(SelectMethods, TakesEitherNameInAnyCaseInInterfaceOrder) {
  struct Case {
    const wchar_t* only;
    std::vector<std::wstring> names;
  };
  const std::vector<Case> cases = {
      {L"", {L"GetOSInfo", L"GetMemoryInfo", L"GetSoundcardNameInfo", L"IsInstall", L"GetCPUCount"}},
      {L"isinstall,GETMEMORYINFO", {L"GetMemoryInfo", L"IsInstall"}},
      {L"GetSoundcardInfo", {L"GetSoundcardNameInfo"}},
      {L"GetCPUCount,GetCPUCount,getcpucount", {L"GetCPUCount"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.only);
    std::wstring error;
    const auto methods = SelectMethods(kMethods, c.only, OtherName, &error);
    ASSERT_TRUE(methods) << testing::PrintToString(error);
    EXPECT_EQ(Names(*methods), c.names);
  }
}

TEST(SelectMethods, UnknownNamesListTheValidOnes) {
  for (const wchar_t* only : {L"GetBogusInfo", L"GetMemoryInfo,Bogus", L"GetMemoryInfo,", L",GetMemoryInfo"}) {
    SCOPED_TRACE(testing::Message() << only);
    std::wstring error;
    EXPECT_FALSE(SelectMethods(kMethods, only, OtherName, &error));
    EXPECT_EQ(error.find(L"unknown method"), 0u);
    EXPECT_NE(error.find(L"valid names: GetOSInfo, GetMemoryInfo, GetSoundcardNameInfo, IsInstall, GetCPUCount"),
              std::wstring::npos);
  }
}

TEST(ParseCommandLine, ReadsEveryOptionAndRejectsMistakes) {
  std::wstring error;
  auto options = ParseCommandLine({L"--json", L"--only", L"GetCPUCount", L"--ocx", L"C:\\x\\ORVANTA.OCX"}, &error);
  ASSERT_TRUE(options);
  EXPECT_TRUE(options->json);
  EXPECT_EQ(options->source, Source::kOcx);
  EXPECT_EQ(options->ocx_path, L"C:\\x\\ORVANTA.OCX");
  EXPECT_EQ(options->only, L"GetCPUCount");
  EXPECT_EQ(ParseCommandLine({L"--here"}, &error)->source, Source::kHere);
  EXPECT_TRUE(ParseCommandLine({L"--help"}, &error)->help);
  EXPECT_TRUE(ParseCommandLine({L"--serial"}, &error)->serial);
  EXPECT_EQ(ParseCommandLine({L"--jobs", L"32"}, &error)->jobs, 32);
  EXPECT_EQ(ParseCommandLine({}, &error)->jobs, 0);

  const std::vector<std::vector<std::wstring>> mistakes = {
      {L"--only"}, {L"--ocx"}, {L"--only", L""}, {L"--here", L"--ocx", L"a.ocx"},
      {L"--only", L"GetCPUCount", L"--only", L"IsInstall"}, {L"--verbose"},
      {L"--jobs"}, {L"--jobs", L"0"}, {L"--jobs", L"33"}, {L"--jobs", L"4294967298"}, {L"--jobs", L"-2"},
      {L"--jobs", L"2x"}, {L"--jobs", L"2", L"--jobs", L"3"}, {L"--serial", L"--jobs", L"2"},
  };
  for (const auto& args : mistakes) {
    SCOPED_TRACE(testing::PrintToString(args));
    EXPECT_FALSE(ParseCommandLine(args, &error));
    EXPECT_FALSE(error.empty());
  }
}

// The whole control in interface order, as its type information lists it.
const std::vector<SurveyMethod> kControl = {
    {L"GetOSInfo", 1}, {L"GetCPUInfo", 2}, {L"GetMemoryInfo", 3}, {L"GetDriverInfo", 4}, {L"GetVRAMInfo", 5},
    {L"GetDirectXInfo", 6}, {L"GetVideocardNameInfo", 7}, {L"GetDriveInfo", 8}, {L"GetSoundcardNameInfo", 9},
    {L"GetDisplayModeList", 10}, {L"GetMediaInfo", 11}, {L"GetNetInfo", 12}, {L"GetModemInfo", 13},
    {L"GetCDROMInfo", 14}, {L"GetNowDisplayMode", 15}, {L"GetCPUFrequency", 16}, {L"GetCPUNameInfo", 17},
    {L"IsInstall", 18}, {L"GetSamplingFrequency", 19}, {L"GetSystemDriveInfo", 20}, {L"GetSystemModelInfo", 21},
    {L"GetALLVRAMInfo", 22}, {L"GetVRAMbyRegInfo", 23}, {L"GetVideoDriverInfo", 24},
    {L"GetVertexShaderVersion", 25}, {L"GetPixelShaderVersion", 26}, {L"GetCPUCount", 27},
    {L"GetUnifiedShaderVersion", 28}, {L"GetCPUPhysicalCount", 29}, {L"GetSecuritySoftInfo", 30},
};

std::vector<DISPID> Ids(const std::vector<size_t>& indices, const std::vector<SurveyMethod>& methods) {
  std::vector<DISPID> ids;
  for (const size_t index : indices) ids.push_back(methods[index].id);
  return ids;
}

TEST(PlanSurvey, LongestChainsFirstSharedProvidersInOneChainTheClockAlone) {
  const SurveyPlan plan = PlanSurvey(kControl);
  ASSERT_EQ(plan.chains.size(), 30u - 1 - 6);
  // DxDiag, DirectSound and WMI take turns on one thread, longest first.
  EXPECT_EQ(Ids(plan.chains[0], kControl), (std::vector<DISPID>{23, 7, 6, 19, 1, 9, 30}));
  EXPECT_EQ(Ids(plan.chains[1], kControl), (std::vector<DISPID>{28}));
  std::vector<DISPID> rest;
  for (size_t i = 2; i < plan.chains.size(); ++i) {
    ASSERT_EQ(plan.chains[i].size(), 1u);
    rest.push_back(kControl[plan.chains[i][0]].id);
  }
  EXPECT_EQ(rest, (std::vector<DISPID>{5, 24, 26, 22, 25, 2, 3, 4, 8, 10, 11, 12, 13, 14, 15, 17, 18, 20, 21, 27,
                                       29}));
  EXPECT_EQ(Ids(plan.alone, kControl), (std::vector<DISPID>{16}));

  // A choice of methods: indices into the choice; no empty chain.
  const std::vector<SurveyMethod> some = {{L"GetMemoryInfo", 3}, {L"GetCPUFrequency", 16}, {L"GetCPUCount", 27}};
  const SurveyPlan small = PlanSurvey(some);
  EXPECT_EQ(small.chains, (std::vector<std::vector<size_t>>{{0}, {2}}));
  EXPECT_EQ(small.alone, (std::vector<size_t>{1}));
}

TEST(PoolSize, JobsOrProcessorsAtLeastTwoAtMostTheChains) {
  EXPECT_EQ(PoolSize(0, 1, 23), 2);
  EXPECT_EQ(PoolSize(0, 8, 23), 8);
  EXPECT_EQ(PoolSize(3, 8, 23), 3);
  EXPECT_EQ(PoolSize(1, 8, 23), 1);
  EXPECT_EQ(PoolSize(0, 64, 23), 23);
  EXPECT_EQ(PoolSize(0, 8, 0), 0);
}

Answer Text(std::wstring text) { return {Answer::Kind::kText, std::move(text)}; }
Answer Failed(HRESULT result, HRESULT exception, std::wstring message) {
  return {Answer::Kind::kFailed, std::move(message), 0, result, exception};
}

TEST(FormatAnswer, OneLineOnTheNameLineLongerOnesIndentedFailuresAsErrors) {
  EXPECT_EQ(FormatAnswer({L"GetOSInfo", 1}, Text(L"")), L"GetOSInfo (1): (empty)\n");
  EXPECT_EQ(FormatAnswer({L"GetMemoryInfo", 3}, Text(L"2048 MB\n")), L"GetMemoryInfo (3): 2048 MB\n");
  EXPECT_EQ(FormatAnswer({L"GetDriveInfo", 8}, Text(L"C:\\[Fixed]\nD:\\[CD-ROM]\n")),
            L"GetDriveInfo (8):\n    C:\\[Fixed]\n    D:\\[CD-ROM]\n");
  EXPECT_EQ(FormatAnswer({L"GetDriveInfo", 8}, Text(L"a\r\n\r\nb")), L"GetDriveInfo (8):\n    a\n\n    b\n");
  EXPECT_EQ(FormatAnswer({L"IsInstall", 18}, {Answer::Kind::kNumber, L"", 1}), L"IsInstall (18): 1\n");
  EXPECT_EQ(FormatAnswer({L"GetCPUInfo", 2}, Failed(DISP_E_EXCEPTION, E_OUTOFMEMORY, L"(the method failed: 0x8007000E)")),
            L"GetCPUInfo (2): error 0x80020009 (the method failed: 0x8007000E)\n");
  EXPECT_EQ(FormatAnswer({L"GetCPUCount", 27}, Failed(DISP_E_MEMBERNOTFOUND, S_OK, L"")),
            L"GetCPUCount (27): error 0x80020003\n");
}

TEST(FormatJson, TextsExactNumbersAsNumbersFailuresAsNullWithTheirErrors) {
  const std::string json = FormatJson({
      {{L"GetCPUInfo", 2}, Text(L"Vendor \"X\"\nGenuine\tIntel\n")},
      {{L"GetSoundcardNameInfo", 9}, Text(L"Null output \u00e9")},
      {{L"IsInstall", 18}, {Answer::Kind::kNumber, L"", 1}},
      {{L"GetMemoryInfo", 3}, Failed(DISP_E_EXCEPTION, E_OUTOFMEMORY, L"out of memory")},
      {{L"GetCPUCount", 27}, Failed(DISP_E_MEMBERNOTFOUND, S_OK, L"Member not found.")},
  });
  const auto parsed = nlohmann::ordered_json::parse(json);
  std::vector<std::string> keys;
  for (const auto& item : parsed.items()) keys.push_back(item.key());
  EXPECT_EQ(keys, (std::vector<std::string>{"GetCPUInfo", "GetSoundcardNameInfo", "IsInstall", "GetMemoryInfo",
                                            "GetCPUCount", "errors"}));
  EXPECT_EQ(parsed["GetCPUInfo"], "Vendor \"X\"\nGenuine\tIntel\n");
  EXPECT_EQ(parsed["GetSoundcardNameInfo"], "Null output \xc3\xa9");
  EXPECT_TRUE(parsed["IsInstall"].is_number_integer());
  EXPECT_TRUE(parsed["GetMemoryInfo"].is_null());
  EXPECT_EQ(parsed["errors"], nlohmann::ordered_json::parse(R"({
      "GetMemoryInfo": {"hresult": "0x80020009", "exception": "0x8007000E", "message": "out of memory"},
      "GetCPUCount": {"hresult": "0x80020003", "message": "Member not found."}})"));
  EXPECT_EQ(json.back(), '\n');
  EXPECT_FALSE(nlohmann::ordered_json::parse(FormatJson({{{L"IsInstall", 18}, {Answer::Kind::kNumber, L"", 1}}}))
                   .contains("errors"));
}

TEST(Messages, NameTheMethodTheResultAndTheWayOut) {
  EXPECT_EQ(DescribeFailure(L"GetCPUInfo (2)", E_FAIL, L"Unspecified error\r\n"),
            L"GetCPUInfo (2) failed: 0x80004005 Unspecified error");
  for (bool is_64_bit : {true, false}) {
    const std::wstring message = NotRegisteredMessage(is_64_bit);
    EXPECT_EQ(message.find(L'\n'), std::wstring::npos);
    EXPECT_NE(message.find(L"regsvr32 ORVANTA.OCX"), std::wstring::npos);
    EXPECT_EQ(message.find(L"SysWOW64") != std::wstring::npos, !is_64_bit);
  }
}

}  // namespace
}  // namespace orvanta::survey
