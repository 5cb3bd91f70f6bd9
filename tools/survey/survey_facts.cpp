#include "tools/survey/survey_facts.h"

#include <regex>
#include <stdexcept>
#include <string_view>

#include "tools/survey/survey_text.h"

namespace orvanta::survey {
namespace {

using Json = nlohmann::ordered_json;
using Match = std::wsmatch;

// Fills the fields of one row (preset to null) from a text; false when the
// text does not have the format.
using Parser = bool (*)(const std::wstring& text, Json* fields);

// One method's facts: the keys it fills in facts[group] (at the top when
// group is empty) and how it reads them, with the format for the message.
struct FactRow {
  const wchar_t* method;
  const char* group;
  const char* keys[4];
  Parser parse;
  const wchar_t* format;
};

long long Number(const std::wstring& digits) { return std::stoll(digits); }

// Texts longer than any line of a report are not matched: the matcher
// recurses per character.
constexpr size_t kLongestLine = 4096;

bool Whole(const std::wstring& text, const wchar_t* pattern, Match* match) {
  return text.size() <= kLongestLine && std::regex_match(text, *match, std::wregex(pattern));
}

// The lines of a text whose every line ends with a line feed; false when the
// last one does not. An empty text has no lines.
bool LinesWithEnds(const std::wstring& text, std::vector<std::wstring>* lines) {
  if (!text.empty() && text.back() != L'\n') return false;
  for (size_t start = 0; start < text.size();) {
    const size_t end = text.find(L'\n', start);
    lines->push_back(text.substr(start, end - start));
    start = end + 1;
  }
  return true;
}

Json Text(const std::wstring& text) { return Utf8(text); }

// "2048 MB\n"
bool ParseMegabytes(const std::wstring& text, Json* fields) {
  Match m;
  if (!Whole(text, L"(\\d+) MB\n", &m)) return false;
  (*fields)["memoryMB"] = Number(m[1]);
  return true;
}

// "<name> Family 6 Model 15 Stepping 11", empty without CPUID.
bool ParseProcessorName(const std::wstring& text, Json* fields) {
  if (text.empty()) return true;
  Match m;
  if (!Whole(text, L"(.*) Family (\\d+) Model (\\d+) Stepping (\\d+)", &m)) return false;
  (*fields)["name"] = Text(m[1]);
  (*fields)["family"] = Number(m[2]);
  (*fields)["model"] = Number(m[3]);
  (*fields)["stepping"] = Number(m[4]);
  return true;
}

// "4"; the core count is "-" when the system does not tell it.
bool ParseCount(const std::wstring& text, Json* fields) {
  if (text == L"-") return true;
  Match m;
  if (!Whole(text, L"\\d+", &m)) return false;
  fields->begin().value() = Number(m[0]);
  return true;
}

// "2400 MHz\n", empty without a time-stamp counter.
bool ParseClock(const std::wstring& text, Json* fields) {
  if (text.empty()) return true;
  Match m;
  if (!Whole(text, L"(-?\\d+) MHz\n", &m)) return false;
  (*fields)["mhz"] = Number(m[1]);
  return true;
}

// Hundredths of a megabyte in "11.77GB" or "512.30MB" as bytes: a GB is 1000
// megabytes of 2^20 bytes, and the figure is cut at its last digit.
long long Bytes(const std::wstring& whole, const std::wstring& hundredths, const std::wstring& unit) {
  const long long tenths_or_hundredths = Number(hundredths);
  const long long megabyte_hundredths =
      unit == L"GB" ? (Number(whole) * 1000 + tenths_or_hundredths * 10) * 100 : Number(whole) * 100 + tenths_or_hundredths;
  return megabyte_hundredths * 1048576 / 100;
}

// "C:\[Fixed][Free:11.77GB][Total:76.31GB]\n", "D:\[CD-ROM]\n"
bool ParseDrives(const std::wstring& text, Json* fields) {
  std::vector<std::wstring> lines;
  if (!LinesWithEnds(text, &lines)) return false;
  Json drives = Json::array();
  for (const std::wstring& line : lines) {
    Match m;
    if (!Whole(line, L"([A-Za-z]):\\\\\\[([^\\]]*)\\](?:\\[Free:(\\d+)\\.(\\d\\d)([MG]B)\\]\\[Total:(\\d+)\\.(\\d\\d)([MG]B)\\])?",
               &m)) {
      return false;
    }
    Json drive = {{"letter", Text(m[1])}, {"kind", Text(m[2])}, {"freeBytes", nullptr}, {"totalBytes", nullptr}};
    if (m[3].matched) {
      drive["freeBytes"] = Bytes(m[3], m[4], m[5]);
      drive["totalBytes"] = Bytes(m[6], m[7], m[8]);
    }
    drives.push_back(std::move(drive));
  }
  (*fields)["drives"] = std::move(drives);
  return true;
}

// "1024 * 768  32bit (60Hz)\n"; a line end alone when the display cannot be asked.
bool ParseCurrentMode(const std::wstring& text, Json* fields) {
  if (text == L"\n") return true;
  Match m;
  if (!Whole(text, L"(-?\\d+) \\* (-?\\d+)  (-?\\d+)bit(?: \\((-?\\d+)Hz\\))?\n", &m)) return false;
  (*fields)["current"] = {{"width", Number(m[1])}, {"height", Number(m[2])}, {"bits", Number(m[3])},
                          {"hz", m[4].matched ? Json(Number(m[4])) : Json(nullptr)}};
  return true;
}

// "1024 * 768  32bit\n" per mode.
bool ParseModes(const std::wstring& text, Json* fields) {
  std::vector<std::wstring> lines;
  if (!LinesWithEnds(text, &lines)) return false;
  Json modes = Json::array();
  for (const std::wstring& line : lines) {
    Match m;
    if (!Whole(line, L"(-?\\d+) \\* (-?\\d+)  (-?\\d+)bit", &m)) return false;
    modes.push_back({{"width", Number(m[1])}, {"height", Number(m[2])}, {"bits", Number(m[3])}});
  }
  (*fields)["modes"] = std::move(modes);
  return true;
}

// "9.0c\n" or the provider's own text; "0.0\n" when nothing was found.
bool ParseDirectX(const std::wstring& text, Json* fields) {
  Match m;
  if (!Whole(text, L"([^\n]+)\n", &m)) return false;
  if (m[1] != L"0.0") (*fields)["directX"] = Text(m[1]);
  return true;
}

constexpr wchar_t kNoDirectX8[] = L"DirectX8 or subsequent ones is not installed";
constexpr wchar_t kNoDirectX10[] = L"DirectX10 or subsequent ones is not installed";

// "3.0(DirectX9)"; empty when the device cannot be asked.
bool ParseShader(const std::wstring& text, Json* fields) {
  if (text.empty() || text == kNoDirectX8) return true;
  Match m;
  if (!Whole(text, L"(\\d+\\.\\d+)\\((DirectX\\d+)\\)", &m)) return false;
  fields->begin().value() = {{"level", Text(m[1])}, {"runtime", Text(m[2])}};
  return true;
}

// "4.1(DirectX10.1/HAL_10_1)\n" or "4.0(DirectX10/HAL)" lines (the last of
// those without a line end). A Direct3D 10 device is of feature level 10_0.
bool ParseUnified(const std::wstring& text, Json* fields) {
  Json levels = Json::array();
  if (text != kNoDirectX10) {
    for (size_t start = 0; start < text.size();) {
      const size_t end = std::min(text.find(L'\n', start), text.size());
      Match m;
      const std::wstring line = text.substr(start, end - start);
      if (!Whole(line, L"(\\d+\\.\\d+)\\((DirectX10(?:\\.1)?)/([A-Z]+)(?:_(\\d+_\\d+))?\\)", &m)) return false;
      levels.push_back({{"level", Text(m[1])}, {"runtime", Text(m[2])}, {"driverType", Text(m[3])},
                        {"featureLevel", m[4].matched ? Text(m[4]) : Json("10_0")}});
      start = end + 1;
    }
  }
  (*fields)["unified"] = std::move(levels);
  return true;
}

// "256.0 MB\n" from DirectDraw, empty when it cannot be asked.
bool ParseVideoMemory(const std::wstring& text, Json* fields) {
  if (text.empty()) return true;
  Match m;
  if (!Whole(text, L"(\\d+\\.\\d) MB\n", &m)) return false;
  fields->begin().value() = std::stod(m[1]);
  return true;
}

// "256.0 MB" or "256.0MB" from the registry; "Unknown" or empty when not found.
bool ParseRegistryVideoMemory(const std::wstring& text, Json* fields) {
  if (text.empty() || text == L"Unknown") return true;
  Match m;
  if (!Whole(text, L"(\\d+\\.\\d) ?MB", &m)) return false;
  (*fields)["registry"] = std::stod(m[1]);
  return true;
}

// "<driver file>(6.14.10.7702)"
bool ParseDriver(const std::wstring& text, Json* fields) {
  if (text.empty() || text == kNoDirectX8) return true;
  Match m;
  if (!Whole(text, L"(.*)\\((\\d+\\.\\d+\\.\\d+\\.\\d+)\\)", &m)) return false;
  (*fields)["videoDriver"] = {{"file", Text(m[1])}, {"version", Text(m[2])}};
  return true;
}

// One name per line, each with its line end.
bool ParseNames(const std::wstring& text, Json* fields) {
  std::vector<std::wstring> lines;
  if (!LinesWithEnds(text, &lines)) return false;
  Json names = Json::array();
  for (const std::wstring& line : lines) names.push_back(Text(line));
  fields->begin().value() = std::move(names);
  return true;
}

// "Support 16bit", "MinSampleRate 100", "MaxSampleRate 200000" (the three
// together or none), then "Support 24bit" when it is offered.
bool ParseSampling(const std::wstring& text, Json* fields) {
  std::vector<std::wstring> lines;
  if (!LinesWithEnds(text, &lines)) return false;
  size_t next = 0;
  Match min, max;
  const bool sixteen = lines.size() >= 3 && lines[0] == L"Support 16bit" &&
                       Whole(lines[1], L"MinSampleRate (-?\\d+)", &min) && Whole(lines[2], L"MaxSampleRate (-?\\d+)", &max);
  if (sixteen) next = 3;
  const bool twenty_four = next < lines.size() && lines[next] == L"Support 24bit";
  if (next + (twenty_four ? 1 : 0) != lines.size()) return false;
  (*fields)["support16bit"] = sixteen;
  (*fields)["minSampleRate"] = sixteen ? Json(Number(min[1])) : Json(nullptr);
  (*fields)["maxSampleRate"] = sixteen ? Json(Number(max[1])) : Json(nullptr);
  (*fields)["support24bit"] = twenty_four;
  return true;
}

// "SystemModel : <text>\n" then "Product : <text>\n", each only when present.
bool ParseSystemModel(const std::wstring& text, Json* fields) {
  std::vector<std::wstring> lines;
  if (!LinesWithEnds(text, &lines) || lines.size() > 2) return false;
  for (size_t i = 0; i < lines.size(); ++i) {
    const std::wstring label = i == 0 ? L"SystemModel : " : L"Product : ";
    if (lines[i].compare(0, label.size(), label) != 0) return false;
    (*fields)[i == 0 ? "systemModel" : "product"] = Text(lines[i].substr(label.size()));
  }
  return true;
}

// One line without a line end; empty when not known.
bool ParseOneLine(const std::wstring& text, Json* fields) {
  if (text.find(L'\n') != std::wstring::npos) return false;
  if (!text.empty()) fields->begin().value() = Text(text);
  return true;
}

constexpr FactRow kFacts[] = {
    {L"GetOSInfo", "", {"os"}, ParseOneLine, L"one line"},
    {L"GetCPUNameInfo", "processor", {"name", "family", "model", "stepping"}, ParseProcessorName,
     L"\"<name> Family <n> Model <n> Stepping <n>\""},
    {L"GetCPUCount", "processor", {"logical"}, ParseCount, L"a number"},
    {L"GetCPUPhysicalCount", "processor", {"physical"}, ParseCount, L"a number or \"-\""},
    {L"GetCPUFrequency", "processor", {"mhz"}, ParseClock, L"\"<n> MHz\" and a line end"},
    {L"GetMemoryInfo", "", {"memoryMB"}, ParseMegabytes, L"\"<n> MB\" and a line end"},
    {L"GetDriveInfo", "", {"drives"}, ParseDrives, L"\"X:\\[<kind>]\" lines, fixed drives with their space"},
    {L"GetNowDisplayMode", "display", {"current"}, ParseCurrentMode, L"\"<w> * <h>  <n>bit (<n>Hz)\" and a line end"},
    {L"GetDisplayModeList", "display", {"modes"}, ParseModes, L"\"<w> * <h>  <n>bit\" lines"},
    {L"GetDirectXInfo", "", {"directX"}, ParseDirectX, L"one line with its line end"},
    {L"GetVertexShaderVersion", "shaders", {"vertex"}, ParseShader, L"\"<n>.<n>(DirectX<n>)\""},
    {L"GetPixelShaderVersion", "shaders", {"pixel"}, ParseShader, L"\"<n>.<n>(DirectX<n>)\""},
    {L"GetUnifiedShaderVersion", "shaders", {"unified"}, ParseUnified, L"\"<n>.<n>(DirectX10[.1]/<type>[_<level>])\" lines"},
    {L"GetVRAMInfo", "videoMemoryMB", {"local"}, ParseVideoMemory, L"\"<n>.<n> MB\" and a line end"},
    {L"GetALLVRAMInfo", "videoMemoryMB", {"all"}, ParseVideoMemory, L"\"<n>.<n> MB\" and a line end"},
    {L"GetVRAMbyRegInfo", "videoMemoryMB", {"registry"}, ParseRegistryVideoMemory, L"\"<n>.<n> MB\" or \"Unknown\""},
    {L"GetVideocardNameInfo", "", {"videoCards"}, ParseNames, L"one name per line"},
    {L"GetVideoDriverInfo", "", {"videoDriver"}, ParseDriver, L"\"<file>(<a>.<b>.<c>.<d>)\""},
    {L"GetSoundcardNameInfo", "sound", {"devices"}, ParseNames, L"one name per line"},
    {L"GetSamplingFrequency", "sound", {"support16bit", "minSampleRate", "maxSampleRate", "support24bit"},
     ParseSampling, L"the sampling lines"},
    {L"GetDriverInfo", "devices", {"drivers"}, ParseNames, L"one name per line"},
    {L"GetMediaInfo", "devices", {"media"}, ParseNames, L"one name per line"},
    {L"GetNetInfo", "devices", {"net"}, ParseNames, L"one name per line"},
    {L"GetModemInfo", "devices", {"modems"}, ParseNames, L"one name per line"},
    {L"GetCDROMInfo", "devices", {"cdrom"}, ParseNames, L"one name per line"},
    {L"GetSystemModelInfo", "system", {"systemModel", "product"}, ParseSystemModel,
     L"\"SystemModel : <text>\" and \"Product : <text>\" lines"},
    {L"GetSecuritySoftInfo", "", {"antivirus"}, ParseOneLine, L"one line"},
};

Json& GroupOf(Json& facts, const char* group) { return *group ? facts[group] : facts; }

Json NullFields(const FactRow& row) {
  Json fields = Json::object();
  for (const char* key : row.keys) {
    if (key) fields[key] = nullptr;
  }
  return fields;
}

}  // namespace

Facts ReadFacts(const std::vector<std::pair<SurveyMethod, Answer>>& answers) {
  Facts facts;
  facts.values = Json::object();
  for (const FactRow& row : kFacts) {
    Json fields = NullFields(row);
    for (const auto& [method, answer] : answers) {
      if (method.name != row.method || answer.kind != Answer::Kind::kText) continue;
      Json parsed = fields;
      bool read = false;
      try {
        read = row.parse(answer.text, &parsed);
      } catch (const std::logic_error&) {
        // A number too large for its field: the answer does not fit its format.
      }
      if (read) {
        fields = std::move(parsed);
      } else {
        facts.unreadable.emplace_back(method.name, row.format);
      }
    }
    Json& group = GroupOf(facts.values, row.group);
    for (auto& item : fields.items()) group[item.key()] = std::move(item.value());
  }
  return facts;
}

}  // namespace orvanta::survey
