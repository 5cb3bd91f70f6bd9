// The survey tool's logic: choosing methods, its command line, and its text
// and JSON output, failed calls included.
#include <windows.h>
#include <shellapi.h>

#include <gtest/gtest.h>

#include <algorithm>

#include <nlohmann/json.hpp>

#include "tools/survey/survey_report.h"
#include "tools/survey/survey_text.h"

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
  EXPECT_TRUE(ParseCommandLine({L"--serial", L"--timeout", L"3600"}, &error)->serial);
  EXPECT_EQ(ParseCommandLine({L"--worker", L"\\\\.\\pipe\\x"}, &error)->worker_pipe, L"\\\\.\\pipe\\x");
  EXPECT_EQ(ParseCommandLine({L"--jobs", L"32"}, &error)->jobs, 32);
  EXPECT_EQ(ParseCommandLine({}, &error)->jobs, 0);
  EXPECT_EQ(ParseCommandLine({L"--only", L"getsoundcardinfo,IsInstall"}, &error)->only, L"getsoundcardinfo,IsInstall");
  options = ParseCommandLine({L"--merge", L"a.json", L"folder", L"--csv", L"f.csv", L"--html", L"f.html"}, &error);
  ASSERT_TRUE(options) << testing::PrintToString(error);
  EXPECT_EQ(options->merge_inputs, (std::vector<std::wstring>{L"a.json", L"folder"}));
  EXPECT_EQ(options->csv + options->html + options->jsonl, L"f.csvf.html");

  // Each mistake with the message that names it.
  const std::vector<std::pair<std::vector<std::wstring>, std::wstring>> mistakes = {
      {{L"--only"}, L"--only needs a value"},
      {{L"--only", L""}, L"--only needs at least one method name"},
      {{L"--here", L"--ocx", L"a.ocx"}, L"--ocx and --here exclude each other"},
      {{L"--ocx", L"a.ocx", L"--ocx", L"b.ocx"}, L"--ocx is given twice"},
      {{L"--here", L"--here"}, L"--here is given twice"},
      {{L"--only", L"GetCPUCount", L"--only", L"IsInstall"}, L"--only is given twice"},
      {{L"--verbose"}, L"unknown argument \"--verbose\" (see --help)"},
      {{L"--jobs", L"0"}, L"--jobs needs a number of workers from 1 to 32"},
      {{L"--jobs", L"4294967298"}, L"--jobs needs a number of workers from 1 to 32"},
      {{L"--jobs", L"2x"}, L"--jobs needs a number of workers from 1 to 32"},
      {{L"--timeout", L"3601"}, L"--timeout needs a number of seconds from 1 to 3600"},
      {{L"--serial", L"--jobs", L"2"}, L"--serial and --jobs exclude each other"},
      {{L"--describe"}, L"--describe is for the survey's own worker processes"},
      {{L"--merge"}, L"--merge needs at least one file or folder"},
      {{L"--merge", L"a.json"}, L"--merge needs --csv, --html or --jsonl"},
      {{L"--merge", L"a.json", L"--csv", L"o.csv", L"--json"}, L"--merge and --json exclude each other"},
      {{L"--html", L"o.html"}, L"--csv, --html, --jsonl and --expect go with --merge"},
      {{L"--expect", L"pcs.txt"}, L"--csv, --html, --jsonl and --expect go with --merge"},
  };
  for (const auto& [args, message] : mistakes) {
    SCOPED_TRACE(testing::PrintToString(args));
    EXPECT_FALSE(ParseCommandLine(args, &error));
    EXPECT_EQ(error, message);
  }
  // An unknown --only name is found before any control is created.
  EXPECT_FALSE(ParseCommandLine({L"--only", L"GetMemoryInfo,GetBogusInfo"}, &error));
  EXPECT_EQ(error.rfind(L"unknown method \"GetBogusInfo\"; valid names: GetOSInfo, GetCPUInfo, GetMemoryInfo", 0), 0u);
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

TEST(PlanSurvey, BalancesTheWorkersLongestFirstAndKeepsTheClockAlone) {
  const SurveyPlan plan = PlanSurvey(kControl, 2);
  ASSERT_EQ(plan.shares.size(), 2u);
  ASSERT_GE(plan.shares[0].size(), 4u);
  ASSERT_GE(plan.shares[1].size(), 6u);
  // Unified shaders (2300 ms) against the three DxDiag reports, then each
  // next-longest to the share expected to end first.
  EXPECT_EQ(Ids({plan.shares[0].begin(), plan.shares[0].begin() + 4}, kControl), (std::vector<DISPID>{28, 5, 26, 25}));
  EXPECT_EQ(Ids({plan.shares[1].begin(), plan.shares[1].begin() + 6}, kControl),
            (std::vector<DISPID>{23, 7, 6, 24, 22, 19}));
  std::vector<DISPID> all = Ids(plan.shares[0], kControl);
  for (const DISPID id : Ids(plan.shares[1], kControl)) all.push_back(id);
  std::sort(all.begin(), all.end());
  std::vector<DISPID> expected;
  for (const SurveyMethod& method : kControl) {
    if (method.id != 16) expected.push_back(method.id);
  }
  EXPECT_EQ(all, expected);
  EXPECT_EQ(Ids(plan.alone, kControl), (std::vector<DISPID>{16}));

  // Indices into the choice; no empty share when there are more workers
  // than methods; none at all for the clock alone.
  const std::vector<SurveyMethod> some = {{L"GetMemoryInfo", 3}, {L"GetCPUFrequency", 16}, {L"GetCPUCount", 27}};
  EXPECT_EQ(PlanSurvey(some, 8).shares, (std::vector<std::vector<size_t>>{{0}, {2}}));
  EXPECT_EQ(PlanSurvey(some, 1).shares, (std::vector<std::vector<size_t>>{{0, 2}}));
  EXPECT_EQ(PlanSurvey(some, 1).alone, (std::vector<size_t>{1}));
  EXPECT_TRUE(PlanSurvey({{L"GetCPUFrequency", 16}}, 2).shares.empty());
}

TEST(PoolSize, JobsOrProcessorsAtLeastTwoAtMostTheMethods) {
  EXPECT_EQ(PoolSize(0, 1, 29), 2);
  EXPECT_EQ(PoolSize(0, 8, 29), 8);
  EXPECT_EQ(PoolSize(3, 8, 29), 3);
  EXPECT_EQ(PoolSize(1, 8, 29), 1);
  EXPECT_EQ(PoolSize(0, 64, 29), 29);
  EXPECT_EQ(PoolSize(0, 8, 0), 0);
}

TEST(AnswerRecords, ComeBackWholeOnlyOnceEveryByteIsIn) {
  const std::vector<std::pair<std::wstring, Answer>> sent = {
      {L"GetDriveInfo", {Answer::Kind::kText, L"C:\\[Fixed]\r\n\u00e9\U0001F600", 0, S_OK, S_OK}},
      {L"IsInstall", {Answer::Kind::kNumber, L"", -7, S_OK, S_OK}},
      {L"GetMemoryInfo", {Answer::Kind::kFailed, L"(the method failed)", 0, DISP_E_EXCEPTION, E_OUTOFMEMORY}},
      {L"GetOSInfo", {Answer::Kind::kText, L"", 0, S_OK, S_OK}},
      {L"GetCPUCount", {Answer::Kind::kNothing, L"", 0, S_OK, S_OK}},
  };
  std::string stream;
  for (const auto& [name, answer] : sent) stream += EncodeAnswer(name, answer);
  // Fed a byte at a time, as a pipe may deliver them.
  std::string bytes;
  std::vector<std::pair<std::wstring, Answer>> received;
  for (const char byte : stream) {
    bytes += byte;
    std::wstring name;
    Answer answer;
    if (TakeAnswer(&bytes, &name, &answer) == Taken::kAnswer) received.emplace_back(name, answer);
  }
  EXPECT_TRUE(bytes.empty());
  ASSERT_EQ(received.size(), sent.size());
  for (size_t i = 0; i < sent.size(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(received[i].first, sent[i].first);
    const Answer &got = received[i].second, &want = sent[i].second;
    EXPECT_EQ(got.kind, want.kind);
    EXPECT_EQ(got.text, want.text);
    EXPECT_EQ(got.number, want.number);
    EXPECT_EQ(got.result, want.result);
    EXPECT_EQ(got.exception, want.exception);
  }
  // Stray bytes before a record, or a record of an unknown kind, are no answers.
  const std::string record = EncodeAnswer(L"IsInstall", {Answer::Kind::kNumber, L"", 1, S_OK, S_OK});
  std::string damaged = record;
  damaged[4] = 9;
  for (std::string bytes : {"stray" + record, std::string("ORV") + "x", damaged}) {
    std::wstring name;
    Answer answer;
    EXPECT_EQ(TakeAnswer(&bytes, &name, &answer), Taken::kCorrupt) << testing::PrintToString(bytes);
  }
}

TEST(QuoteArgument, SurvivesTheSystemsOwnCommandLineReading) {
  for (const wchar_t* argument : {L"ORVANTA.OCX", L"C:\\Program Files\\Pelmora\\ORVANTA.OCX", L"", L"say \"hi\"",
                                  L"C:\\with space\\", L"a\\\\\"b c", L"tab\there", L"\\\\server\\share\\x.ocx"}) {
    SCOPED_TRACE(testing::PrintToString(std::wstring(argument)));
    const std::wstring command_line = L"orvanta-survey.exe --ocx " + QuoteArgument(argument) + L" --here";
    int count = 0;
    LPWSTR* arguments = CommandLineToArgvW(command_line.c_str(), &count);
    ASSERT_NE(arguments, nullptr);
    ASSERT_EQ(count, 4);
    EXPECT_EQ(std::wstring(arguments[2]), argument);
    EXPECT_EQ(std::wstring(arguments[3]), L"--here");
    LocalFree(arguments);
  }
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
  // Control characters and a lone surrogate, shown visibly.
  EXPECT_EQ(FormatAnswer({L"GetOSInfo", 1}, Text(std::wstring(L"a\x1b[1m\0\rb\xD800\tc\U0001F600", 13))),
            L"GetOSInfo (1): a\\x1B[1m\\x00\\x0Db\\uD800\tc\U0001F600\n");
}

TEST(FormatJson, AnswersExactlyThenTheRecordItsFactsAndItsErrors) {
  RecordInfo info{L"PC-01", L"2026-05-04T09:30:00Z", L"4.1.1", 64, L"4.1.1.0", L"C:\\P\\ORVANTA.OCX", 1234};
  const std::string json = FormatJson(
      {
          {{L"GetCPUInfo", 2}, Text(L"Vendor \"X\"\nGenuine\tIntel\n")},
          {{L"GetSoundcardNameInfo", 9}, Text(std::wstring(L"Null \u00e9\xD800\0!", 9))},
          {{L"IsInstall", 18}, {Answer::Kind::kNumber, L"", 1}},
          {{L"GetMemoryInfo", 3}, Failed(DISP_E_EXCEPTION, E_OUTOFMEMORY, L"out of memory")},
          {{L"GetCPUCount", 27}, Failed(DISP_E_MEMBERNOTFOUND, S_OK, L"Member not found.")},
          {{L"GetCPUPhysicalCount", 29}, Text(L"two")},
      },
      info);
  // The lone surrogate as an escape of its own, NUL escaped, the rest as UTF-8.
  EXPECT_NE(json.find("\"GetSoundcardNameInfo\": \"Null \xC3\xA9\\uD800\\u0000!\""), std::string::npos) << json;
  const auto parsed = nlohmann::ordered_json::parse(WithoutLoneSurrogates(json));
  std::vector<std::string> keys;
  for (const auto& item : parsed.items()) keys.push_back(item.key());
  EXPECT_EQ(keys, (std::vector<std::string>{"GetCPUInfo", "GetSoundcardNameInfo", "IsInstall", "GetMemoryInfo",
                                            "GetCPUCount", "GetCPUPhysicalCount", "schema", "computer", "collected",
                                            "tool", "control", "elapsedMs", "facts", "errors"}));
  EXPECT_EQ(parsed["GetCPUInfo"], "Vendor \"X\"\nGenuine\tIntel\n");
  EXPECT_TRUE(parsed["IsInstall"].is_number_integer());
  EXPECT_TRUE(parsed["GetMemoryInfo"].is_null());
  EXPECT_EQ(parsed["schema"], 1);
  EXPECT_EQ(parsed["tool"], nlohmann::ordered_json::parse(R"({"version": "4.1.1", "bits": 64})"));
  EXPECT_EQ(parsed["control"], nlohmann::ordered_json::parse(R"({"version": "4.1.1.0", "path": "C:\\P\\ORVANTA.OCX"})"));
  EXPECT_EQ(parsed["elapsedMs"], 1234);
  EXPECT_EQ(parsed["facts"]["sound"]["devices"], nullptr);  // one name per line, each with its line end
  EXPECT_EQ(parsed["errors"], nlohmann::ordered_json::parse(R"({
      "GetMemoryInfo": {"hresult": "0x80020009", "exception": "0x8007000E", "message": "out of memory"},
      "GetCPUCount": {"hresult": "0x80020003", "message": "Member not found."},
      "GetCPUPhysicalCount": {"format": "a number or \"-\"", "message": "the answer does not have its documented format"},
      "GetSoundcardNameInfo": {"format": "one name per line", "message": "the answer does not have its documented format"}})"));
  EXPECT_EQ(json.back(), '\n');
  EXPECT_FALSE(nlohmann::ordered_json::parse(FormatJson({{{L"IsInstall", 18}, {Answer::Kind::kNumber, L"", 1}}}, info))
                   .contains("errors"));
}

TEST(StatusLine, AMessageWipesTheProgressFirst) {
  std::wstring console;
  {
    StatusLine status([&](std::wstring_view text) { console += text; }, true);
    status.Show(3, 30);
    status.Say(L"a worker was ended");
    status.Show(29, 30);
  }
  EXPECT_EQ(console, L"\r3 of 30 answers in...\r                     \rorvanta-survey: a worker was ended\n"
                     L"\r29 of 30 answers in...\r                      \r");
  std::wstring piped;
  StatusLine(([&](std::wstring_view text) { piped += text; }), false).Show(1, 2);
  EXPECT_EQ(piped, L"");
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
