// The facts read from the answers: each documented format and its missing
// answers, a text that does not fit, and every sample answer of the manual.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <regex>
#include <sstream>

#include <nlohmann/json.hpp>

#include "tools/survey/survey_facts.h"
#include "tools/survey/survey_text.h"

namespace orvanta::survey {
namespace {

using Json = nlohmann::ordered_json;

Facts FactsOf(const wchar_t* method, std::wstring text) {
  return ReadFacts({{{method, 1}, {Answer::Kind::kText, std::move(text)}}});
}

TEST(ReadFacts, EachFormatIntoTypedFields) {
  struct Case {
    const wchar_t* method;
    std::wstring text;
    const char* path;  // a JSON pointer into the facts
    const char* expected;
  };
  const Case cases[] = {
      {L"GetCPUNameInfo", L"AMD Athlon(tm) 64 X2 Dual Core Processor 4200+ Family 15 Model 11 Stepping 2", "/processor",
       R"({"name": "AMD Athlon(tm) 64 X2 Dual Core Processor 4200+", "family": 15, "model": 11, "stepping": 2,
           "logical": null, "physical": null, "mhz": null})"},
      {L"GetCPUPhysicalCount", L"-", "/processor/physical", "null"},
      {L"GetCPUFrequency", L"2400 MHz\n", "/processor/mhz", "2400"},
      {L"GetMemoryInfo", L"2048 MB\n", "/memoryMB", "2048"},
      {L"GetDriveInfo", L"A:\\[Removable]\nC:\\[Fixed][Free:11.77GB][Total:76.31GB]\nD:\\[Fixed][Free:512.30MB][Total:999.99MB]\n",
       "/drives",
       R"([{"letter": "A", "kind": "Removable", "freeBytes": null, "totalBytes": null},
           {"letter": "C", "kind": "Fixed", "freeBytes": 12341739520, "totalBytes": 80016834560},
           {"letter": "D", "kind": "Fixed", "freeBytes": 537185484, "totalBytes": 1048565514}])"},
      {L"GetNowDisplayMode", L"1024 * 768  32bit (60Hz)\n", "/display/current",
       R"({"width": 1024, "height": 768, "bits": 32, "hz": 60})"},
      {L"GetNowDisplayMode", L"1024 * 768  32bit\n", "/display/current/hz", "null"},
      {L"GetNowDisplayMode", L"\n", "/display/current", "null"},
      {L"GetDisplayModeList", L"640 * 480  8bit\n640 * 480  16bit\n", "/display/modes",
       R"([{"width": 640, "height": 480, "bits": 8}, {"width": 640, "height": 480, "bits": 16}])"},
      {L"GetDirectXInfo", L"9.0c\n", "/directX", R"("9.0c")"},
      {L"GetDirectXInfo", L"0.0\n", "/directX", "null"},
      {L"GetPixelShaderVersion", L"1.4(DirectX8)", "/shaders/pixel", R"({"level": "1.4", "runtime": "DirectX8"})"},
      {L"GetVertexShaderVersion", L"DirectX8 or subsequent ones is not installed", "/shaders/vertex", "null"},
      {L"GetUnifiedShaderVersion", L"4.0(DirectX10/HAL)\n4.0(DirectX10/REF)", "/shaders/unified",
       R"([{"level": "4.0", "runtime": "DirectX10", "driverType": "HAL", "featureLevel": "10_0"},
           {"level": "4.0", "runtime": "DirectX10", "driverType": "REF", "featureLevel": "10_0"}])"},
      {L"GetUnifiedShaderVersion", L"DirectX10 or subsequent ones is not installed", "/shaders/unified", "[]"},
      {L"GetVRAMInfo", L"256.0 MB\n", "/videoMemoryMB/local", "256.0"},
      {L"GetVRAMbyRegInfo", L"256.0MB", "/videoMemoryMB/registry", "256.0"},
      {L"GetVRAMbyRegInfo", L"Unknown", "/videoMemoryMB/registry", "null"},
      {L"GetVideoDriverInfo", L"nv4_disp.dll(6.14.10.7702)", "/videoDriver",
       R"({"file": "nv4_disp.dll", "version": "6.14.10.7702"})"},
      {L"GetSamplingFrequency", L"Support 24bit\n", "/sound",
       R"({"devices": null, "support16bit": false, "minSampleRate": null, "maxSampleRate": null, "support24bit": true})"},
      {L"GetCDROMInfo", L"X DVD-RW\n\u00c9 DVD\n", "/devices/cdrom", R"(["X DVD-RW", "\u00c9 DVD"])"},
      {L"GetNetInfo", L"", "/devices/net", "[]"},
      {L"GetSystemModelInfo", L"SystemModel : Maker\nProduct : \n", "/system", R"({"systemModel": "Maker", "product": ""})"},
      {L"GetSecuritySoftInfo", L"Defender(4.18)", "/antivirus", "\"Defender(4.18)\""},
      {L"GetOSInfo", L"", "/os", "null"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.text));
    const Facts facts = FactsOf(c.method, c.text);
    EXPECT_TRUE(facts.unreadable.empty());
    EXPECT_EQ(facts.values.at(Json::json_pointer(c.path)), Json::parse(c.expected));
  }
}

TEST(ReadFacts, ATextOutOfFormatIsNullAndNamedNeverGuessed) {
  const std::pair<const wchar_t*, const wchar_t*> cases[] = {
      {L"GetMemoryInfo", L"2048 MB"},          {L"GetMemoryInfo", L"2 GB\n"},
      {L"GetDriveInfo", L"C:\\[Fixed][Free:1.5GB]\n"}, {L"GetNowDisplayMode", L"1024 x 768\n"},
      {L"GetCPUCount", L"99999999999999999999"}, {L"GetSamplingFrequency", L"Support 16bit\n"},
      {L"GetOSInfo", L"two\nlines"},
  };
  for (const auto& [method, text] : cases) {
    SCOPED_TRACE(testing::PrintToString(std::wstring(text)));
    const Facts facts = FactsOf(method, text);
    ASSERT_EQ(facts.unreadable.size(), 1u);
    EXPECT_EQ(facts.unreadable[0].first, method);
  }
  // Not asked, or failed: every fact null, nothing unreadable.
  const Facts none = ReadFacts({{{L"GetMemoryInfo", 3}, {Answer::Kind::kFailed, L"", 0, E_FAIL}}});
  EXPECT_TRUE(none.unreadable.empty());
  EXPECT_EQ(none.values["memoryMB"], nullptr);
  EXPECT_EQ(none.values["processor"]["name"], nullptr);
}

// The manual's sample answers (ORVANTA_MANUAL names docs/manual.md): each
// reads without an error, and a sample that is not empty gives a fact.
TEST(ManualSamples, EverySampleReads) {
  const char* manual = std::getenv("ORVANTA_MANUAL");
  if (!manual) GTEST_SKIP() << "ORVANTA_MANUAL is not set";
  std::ifstream file(manual, std::ios::binary);
  ASSERT_TRUE(file) << manual;
  std::stringstream content;
  content << file.rdbuf();
  const std::string text = content.str();
  const size_t begin = text.find("<!-- samples:begin -->"), end = text.find("<!-- samples:end -->");
  ASSERT_NE(end, std::string::npos);
  const std::string samples = text.substr(begin, end - begin);
  const std::regex sample(R"(#### (\w+) \((\d+)\)\n\n(?:```text\n([\s\S]*?)\n```\n\n(\S[^\n]*)|(An empty text)))");
  int count = 0;
  for (auto it = std::sregex_iterator(samples.begin(), samples.end(), sample); it != std::sregex_iterator(); ++it) {
    const std::smatch& m = *it;
    ++count;
    if (m[4] == "A number (VT_I2), not a text.") continue;
    std::string answer = m[5].matched ? "" : m[3].str();
    if (m[4] == "Ends with a line feed.") answer += "\n";
    SCOPED_TRACE(m[1].str() + ": " + answer);
    const std::wstring method = Wide(m[1].str());
    const Facts facts = FactsOf(method.c_str(), Wide(answer));
    EXPECT_TRUE(facts.unreadable.empty());
    // The fact of a non-empty sample is there (a list is not empty).
    if (!answer.empty() && answer != "Unknown" && method != L"GetCPUInfo" && method != L"GetSystemDriveInfo") {
      EXPECT_NE(FactsOf(method.c_str(), Wide(answer)).values, FactsOf(method.c_str(), L"").values);
    }
  }
  EXPECT_EQ(count, 30);
}

}  // namespace
}  // namespace orvanta::survey
