#include "tools/survey/survey_merge.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <string_view>

#include "tools/survey/survey_report.h"
#include "tools/survey/survey_text.h"

namespace orvanta::survey {
namespace {

using Json = nlohmann::ordered_json;

// The pieces one after another.
std::string Cat(std::initializer_list<std::string_view> pieces) {
  std::string text;
  for (const std::string_view piece : pieces) text.append(piece);
  return text;
}

// |bytes| without a UTF-8 byte order mark, and UTF-16 (as PowerShell's ">"
// writes) as UTF-8.
std::string AsUtf8(const std::string& bytes) {
  if (bytes.compare(0, 3, "\xEF\xBB\xBF") == 0) return bytes.substr(3);
  if (bytes.compare(0, 2, "\xFF\xFE") == 0) {
    std::wstring text((bytes.size() - 2) / 2, L'\0');
    std::copy_n(bytes.data() + 2, text.size() * 2, reinterpret_cast<char*>(text.data()));
    return Utf8(text);
  }
  return bytes;
}

std::string Upper(std::string text) {
  for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return text;
}

const Json& At(const Json& object, std::initializer_list<const char*> path) {
  static const Json kNull;
  const Json* value = &object;
  for (const char* key : path) {
    if (!value->is_object() || !value->contains(key)) return kNull;
    value = &(*value)[key];
  }
  return *value;
}

// |value| flattened into columns named by their path: objects by their keys,
// arrays of plain values joined with "; ", arrays of objects as JSON.
void Flatten(const std::string& name, const Json& value, std::vector<std::pair<std::string, Json>>* cells) {
  if (value.is_object()) {
    for (const auto& item : value.items()) Flatten(Cat({name, name.empty() ? "" : ".", item.key()}), item.value(), cells);
  } else if (value.is_array()) {
    std::string joined;
    for (const Json& item : value) {
      if (item.is_structured()) return cells->emplace_back(name, JsonText(value, false)), void();
      if (!joined.empty()) joined += "; ";
      joined += item.is_string() ? item.get<std::string>() : item.dump();
    }
    cells->emplace_back(name, joined);
  } else {
    cells->emplace_back(name, value);
  }
}

// The methods of a record that failed or whose answer could not be read.
std::string Failed(const Json& record) {
  std::string failed;
  for (const auto& item : At(record, {"errors"}).items()) failed += Cat({failed.empty() ? "" : "; ", item.key()});
  return failed;
}

std::vector<std::pair<std::string, Json>> Cells(const Json& record) {
  std::vector<std::pair<std::string, Json>> cells;
  for (const char* field : {"computer", "collected", "schema", "tool", "control", "elapsedMs"}) {
    Flatten(field, At(record, {field}), &cells);
  }
  cells.emplace_back("failed", Failed(record));
  Flatten("", At(record, {"facts"}), &cells);
  return cells;
}

std::string CsvCell(const Json& value) {
  if (value.is_null()) return "";
  if (!value.is_string()) return value.dump();
  std::string text = value.get<std::string>();
  // A text that a spreadsheet would take for a formula stays text.
  if (!text.empty() && std::string("=+-@\t\r").find(text[0]) != std::string::npos) text = Cat({"'", text});
  if (text.find_first_of(",\"\r\n") == std::string::npos) return text;
  std::string quoted = "\"";
  for (const char c : text) quoted += c == '"' ? std::string("\"\"") : std::string(1, c);
  return quoted + "\"";
}

std::string Escaped(const std::string& text) {
  std::string escaped;
  for (const char c : text) {
    switch (c) {
      case '&': escaped += "&amp;"; break;
      case '<': escaped += "&lt;"; break;
      case '>': escaped += "&gt;"; break;
      case '"': escaped += "&quot;"; break;
      case '\'': escaped += "&#39;"; break;
      default: escaped += c;
    }
  }
  return escaped;
}

std::string Text(const Json& value, const char* missing = "(unknown)") {
  if (value.is_null()) return missing;
  return value.is_string() ? value.get<std::string>() : value.dump();
}

// A band of |megabytes| among |bands| (their lower ends in MB, with labels).
std::string Band(const Json& megabytes, const std::vector<std::pair<double, const char*>>& bands) {
  if (!megabytes.is_number()) return "(unknown)";
  std::string label = bands.front().second;
  for (const auto& [lowest, name] : bands) {
    if (megabytes.get<double>() >= lowest) label = name;
  }
  return label;
}

const std::vector<std::pair<double, const char*>> kMemoryBands = {
    {0, "under 1 GB"}, {1024, "1 to 2 GB"}, {2048, "2 to 4 GB"}, {4096, "4 to 8 GB"},
    {8192, "8 to 16 GB"}, {16384, "16 to 32 GB"}, {32768, "32 GB or more"}};
const std::vector<std::pair<double, const char*>> kVideoMemoryBands = {
    {0, "under 256 MB"}, {256, "256 to 512 MB"}, {512, "512 MB to 1 GB"}, {1024, "1 to 2 GB"},
    {2048, "2 to 4 GB"}, {4096, "4 to 8 GB"}, {8192, "8 GB or more"}};

// The maker in a video card's name, by the words makers use.
std::string Maker(const Json& cards) {
  if (!cards.is_array() || cards.empty() || !cards[0].is_string()) return "(unknown)";
  const std::string name = cards[0].get<std::string>();
  const std::string upper = Upper(name);
  static const std::pair<const char*, const char*> kMakers[] = {
      {"NVIDIA", "NVIDIA"}, {"GEFORCE", "NVIDIA"}, {"QUADRO", "NVIDIA"}, {"AMD", "AMD"}, {"ATI ", "AMD"},
      {"RADEON", "AMD"},    {"INTEL", "Intel"},    {"MATROX", "Matrox"}, {"VMWARE", "VMware"},
      {"MICROSOFT", "Microsoft"}, {"S3 ", "S3"},   {"SIS ", "SiS"},      {"VIA ", "VIA"}};
  for (const auto& [word, maker] : kMakers) {
    if (upper.find(word) != std::string::npos) return maker;
  }
  return name.substr(0, name.find(' '));
}

// The highest shader model: the first hardware Direct3D 10 level, else the
// pixel shader's.
std::string ShaderModel(const Json& facts) {
  for (const Json& level : At(facts, {"shaders", "unified"})) {
    if (At(level, {"driverType"}) == "HAL") return Text(At(level, {"level"}));
  }
  return Text(At(facts, {"shaders", "pixel", "level"}), "none");
}

// The fleet facts that the page charts and the table shows, per record.
struct Column {
  const char* title;
  std::string (*of)(const Json& record);
  const std::vector<std::pair<double, const char*>>* bands;  // chart in their order, not by count
  bool charted;
};

const Column kColumns[] = {
    {"Computer", [](const Json& r) { return Text(At(r, {"computer"})); }, nullptr, false},
    {"Collected", [](const Json& r) { return Text(At(r, {"collected"})); }, nullptr, false},
    {"Operating system", [](const Json& r) { return Text(At(r, {"facts", "os"})); }, nullptr, true},
    {"Processor", [](const Json& r) { return Text(At(r, {"facts", "processor", "name"})); }, nullptr, false},
    {"Logical processors", [](const Json& r) { return Text(At(r, {"facts", "processor", "logical"})); }, nullptr, true},
    {"Memory MB", [](const Json& r) { return Text(At(r, {"facts", "memoryMB"}), ""); }, nullptr, false},
    {"Memory", [](const Json& r) { return Band(At(r, {"facts", "memoryMB"}), kMemoryBands); }, &kMemoryBands, true},
    {"DirectX", [](const Json& r) { return Text(At(r, {"facts", "directX"})); }, nullptr, true},
    {"Shader model", [](const Json& r) { return ShaderModel(At(r, {"facts"})); }, nullptr, true},
    {"Video card", [](const Json& r) {
       const Json& cards = At(r, {"facts", "videoCards"});
       return cards.is_array() && !cards.empty() ? Text(cards[0]) : std::string("(unknown)");
     }, nullptr, false},
    {"Video card maker", [](const Json& r) { return Maker(At(r, {"facts", "videoCards"})); }, nullptr, true},
    {"Video memory MB", [](const Json& r) { return Text(At(r, {"facts", "videoMemoryMB", "local"}), ""); }, nullptr, false},
    {"Video memory", [](const Json& r) { return Band(At(r, {"facts", "videoMemoryMB", "local"}), kVideoMemoryBands); },
     &kVideoMemoryBands, true},
    {"Antivirus", [](const Json& r) { return At(r, {"facts", "antivirus"}).is_null() ? std::string("none reported")
                                                                                       : std::string("present"); },
     nullptr, true},
    {"Failed methods", Failed, nullptr, false},
};

// The chart of one column: a bar per value, with how many machines have it.
std::string Chart(const Column& column, const std::vector<std::vector<std::string>>& rows, size_t index) {
  std::vector<std::pair<std::string, int>> counts;
  for (const std::vector<std::string>& row : rows) {
    const std::string& value = row[index];
    auto found = std::find_if(counts.begin(), counts.end(), [&](const auto& count) { return count.first == value; });
    if (found == counts.end()) {
      counts.emplace_back(value, 1);
    } else {
      ++found->second;
    }
  }
  if (column.bands) {
    std::vector<std::pair<std::string, int>> ordered;
    for (const auto& band : *column.bands) {
      for (const auto& count : counts) {
        if (count.first == band.second) ordered.push_back(count);
      }
    }
    for (const auto& count : counts) {
      if (count.first == "(unknown)") ordered.push_back(count);
    }
    counts = ordered;
  } else {
    std::stable_sort(counts.begin(), counts.end(), [](const auto& a, const auto& b) { return a.second > b.second; });
  }
  int most = 1;
  for (const auto& count : counts) most = std::max(most, count.second);
  std::string html = Cat({"<section class=\"chart\" data-chart=\"", std::to_string(index), "\"><h2>",
                          Escaped(column.title), "</h2><table>"});
  for (const auto& [value, count] : counts) {
    char width[16];
    std::snprintf(width, sizeof(width), "%.1f", 100.0 * count / most);
    html += Cat({"<tr data-value=\"", Escaped(value), "\" data-count=\"", std::to_string(count), "\"><th>",
                 Escaped(value), "</th><td><div class=\"bar\" style=\"width:", width,
                 "%\"></div></td><td class=\"count\">", std::to_string(count), "</td></tr>"});
  }
  return html.append("</table></section>\n");
}

constexpr char kStyle[] = R"(body{font:14px system-ui,sans-serif;margin:24px;color:#222}
h1{font-size:22px}h2{font-size:15px;margin:0 0 6px}
#charts{display:grid;grid-template-columns:repeat(auto-fill,minmax(340px,1fr));gap:16px}
.chart{border:1px solid #ddd;border-radius:6px;padding:10px}
.chart table{width:100%;border-collapse:collapse}.chart th{text-align:left;font-weight:normal;width:45%;
overflow-wrap:anywhere;padding:2px 6px 2px 0}.chart td{padding:2px 0}.count{text-align:right;width:3em}
.bar{background:#3b7dd8;height:12px;border-radius:2px;min-width:2px}
#machines{border-collapse:collapse;margin-top:16px}#machines th,#machines td{border:1px solid #ddd;padding:3px 6px}
#machines th{background:#f3f3f3;cursor:pointer;position:sticky;top:0}#problems li{color:#a00})";

constexpr char kScript[] = R"(document.querySelectorAll('#machines th').forEach(function (th, column) {
  th.addEventListener('click', function () {
    var body = th.closest('table').tBodies[0], rows = Array.prototype.slice.call(body.rows);
    var key = function (row) { return row.cells[column].textContent; };
    var numeric = rows.every(function (row) { return key(row) === '' || !isNaN(key(row)); });
    var up = th.dataset.order !== 'up';
    th.dataset.order = up ? 'up' : 'down';
    rows.sort(function (a, b) {
      var x = key(a), y = key(b);
      var c = numeric ? (x === '' ? -1 : Number(x)) - (y === '' ? -1 : Number(y)) : x.localeCompare(y);
      return up ? c : -c;
    });
    rows.forEach(function (row) { body.appendChild(row); });
  });
});)";

}  // namespace

bool FleetMerge::Add(const std::wstring& source, const std::string& bytes, std::wstring* message) {
  Json record = Json::parse(WithoutLoneSurrogates(AsUtf8(bytes)), nullptr, false);
  const Json& schema = At(record, {"schema"});
  const Json& computer = At(record, {"computer"});
  const Json& collected = At(record, {"collected"});
  if (!record.is_object() || !schema.is_number_integer() || !computer.is_string() || !collected.is_string() ||
      computer.get<std::string>().empty()) {
    *message = source + L": not a survey record (orvanta-survey --json of this version or later); left out";
  } else if (schema.get<long long>() != kSchemaVersion) {
    *message = source + L": a record of schema " + Wide(schema.dump()) +
               L", which this tool does not know (it reads schema 1); left out";
  } else {
    message->clear();
    const std::string key = Upper(computer.get<std::string>());
    Machine machine{Utf8(source), collected.get<std::string>(), JsonText(record, false)};
    auto found = machines_.find(key);
    if (found == machines_.end()) {
      machines_.emplace(key, std::move(machine));
      return true;
    }
    const bool newer = machine.collected >= found->second.collected;
    *message = Wide(found->second.source) + L" and " + source + L" are both records of " +
               Wide(computer.get<std::string>()) + L"; the one collected later is kept: " +
               (newer ? source : Wide(found->second.source));
    if (newer) found->second = std::move(machine);
    return true;
  }
  NoteSkipped(source, *message);
  return false;
}

void FleetMerge::NoteSkipped(const std::wstring& source, const std::wstring& why) {
  skipped_.emplace_back(Utf8(source), Utf8(why));
}

std::vector<std::wstring> FleetMerge::Expect(const std::string& bytes) {
  const std::string text = AsUtf8(bytes);
  std::vector<std::wstring> missing;
  for (size_t start = 0; start < text.size();) {
    const size_t end = std::min(text.find('\n', start), text.size());
    std::string name = text.substr(start, end - start);
    start = end + 1;
    name.erase(name.find_last_not_of(" \t\r") + 1);
    name.erase(0, name.find_first_not_of(" \t"));
    if (name.empty() || machines_.count(Upper(name))) continue;
    missing_.push_back(name);
    missing.push_back(Wide(name));
  }
  return missing;
}

std::string FleetMerge::Csv() const {
  // The columns of every record, in the order first seen; then the rows.
  std::vector<std::string> columns;
  for (const auto& [key, machine] : machines_) {
    for (const auto& cell : Cells(Json::parse(machine.line))) {
      if (std::find(columns.begin(), columns.end(), cell.first) == columns.end()) columns.push_back(cell.first);
    }
  }
  std::string csv = "\xEF\xBB\xBF";
  for (size_t i = 0; i < columns.size(); ++i) csv += Cat({i ? "," : "", CsvCell(columns[i])});
  csv += "\r\n";
  for (const auto& [key, machine] : machines_) {
    const auto row = Cells(Json::parse(machine.line));
    for (size_t i = 0; i < columns.size(); ++i) {
      const auto cell = std::find_if(row.begin(), row.end(), [&](const auto& c) { return c.first == columns[i]; });
      csv += Cat({i ? "," : "", cell == row.end() ? std::string() : CsvCell(cell->second)});
    }
    csv += "\r\n";
  }
  return csv;
}

std::string FleetMerge::JsonLines() const {
  std::string lines;
  for (const auto& [key, machine] : machines_) lines += Cat({machine.line, "\n"});
  return lines;
}

std::string FleetMerge::Html() const {
  std::vector<std::vector<std::string>> rows;  // per machine, the text of each column
  for (const auto& [key, machine] : machines_) {
    const Json record = Json::parse(machine.line);
    rows.emplace_back();
    for (const Column& column : kColumns) rows.back().push_back(column.of(record));
  }
  std::string html = Cat({"<!DOCTYPE html>\n<html lang=\"en\"><head><meta charset=\"utf-8\">"
                          "<title>Pelmora fleet survey</title><style>", kStyle,
                          "</style></head><body>\n<h1>Pelmora fleet survey</h1>\n<p><span id=\"machine-count\">",
                          std::to_string(rows.size()), "</span> machines</p>\n<div id=\"charts\">\n"});
  for (size_t i = 0; i < std::size(kColumns); ++i) {
    if (kColumns[i].charted) html += Chart(kColumns[i], rows, i);
  }
  html += "</div>\n<section id=\"problems\"><h2>Machines whose records failed, were left out or are missing</h2><ul>\n";
  for (const std::vector<std::string>& row : rows) {
    if (!row.back().empty()) {  // the failed methods
      const std::string computer = Escaped(row.front());
      html += Cat({"<li class=\"failed\" data-computer=\"", computer, "\">", computer, ": ", Escaped(row.back()),
                   "</li>\n"});
    }
  }
  for (const auto& [source, why] : skipped_) {
    html += Cat({"<li class=\"skipped\" data-source=\"", Escaped(source), "\">", Escaped(why), "</li>\n"});
  }
  for (const std::string& computer : missing_) {
    html += Cat({"<li class=\"missing\" data-computer=\"", Escaped(computer), "\">", Escaped(computer),
                 ": no record</li>\n"});
  }
  html += "</ul></section>\n<table id=\"machines\"><thead><tr>";
  for (const Column& column : kColumns) html += Cat({"<th>", Escaped(column.title), "</th>"});
  html += "</tr></thead><tbody>\n";
  for (const std::vector<std::string>& row : rows) {
    html += "<tr>";
    for (const std::string& value : row) html += Cat({"<td>", Escaped(value), "</td>"});
    html += "</tr>\n";
  }
  return html.append("</tbody></table>\n<script>").append(kScript).append("</script>\n</body></html>\n");
}

}  // namespace orvanta::survey
