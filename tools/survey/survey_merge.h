// Many machines' --json records into one table and one picture: a CSV file,
// JSON Lines and a self-contained HTML page. Plain code; reading the files
// and writing the outputs is the caller's.
#pragma once

#include <map>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

namespace orvanta::survey {

class FleetMerge {
 public:
  // Reads one input (|source| names it in messages and on the page). False,
  // with |message| saying why, when it is not a survey record or its schema
  // is not one this tool knows: it is left out. A second record of the same
  // computer keeps the one collected later, and sets |message| to say so.
  bool Add(const std::wstring& source, const std::string& bytes, std::wstring* message);

  // An input that could not be read at all, for the page's list.
  void NoteSkipped(const std::wstring& source, const std::wstring& why);

  // The computers that should have a record: one name per line of |bytes|.
  // Returns those that have none, which the page lists as missing.
  std::vector<std::wstring> Expect(const std::string& bytes);

  size_t Machines() const { return machines_.size(); }

  // One row per computer, by name, one column per record field and fact;
  // UTF-8 with a byte order mark, CRLF row ends, quoted where needed.
  std::string Csv() const;
  // One record per line, by computer name.
  std::string JsonLines() const;
  // The page: the machine count, a chart per fleet fact, the sortable table,
  // and the machines whose records failed or were left out.
  std::string Html() const;

 private:
  // A record kept as its JSON Lines text: a tenth of the memory of its parsed
  // form, read again for each output.
  struct Machine {
    std::string source;
    std::string collected;
    std::string line;
  };
  std::map<std::string, Machine> machines_;  // by upper-case computer name
  std::vector<std::pair<std::string, std::string>> skipped_;  // source, why (UTF-8)
  std::vector<std::string> missing_;                          // expected computers without a record
};

}  // namespace orvanta::survey
