// Typed facts read from the answers' documented formats (docs/manual.md,
// "Method reference"): numbers as numbers, lists as arrays, for readers that
// sort and count rather than read. Plain code; the report texts are the only
// input.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include <nlohmann/json.hpp>

#include "tools/survey/survey_report.h"

namespace orvanta::survey {

struct Facts {
  // Every fact, always with the same keys (docs/survey.schema.json, "facts"):
  // null where the method was not asked, failed, or answered that the facility
  // is missing.
  nlohmann::ordered_json values;
  // The methods whose answer does not have its documented format, with what
  // was expected; their facts are null.
  std::vector<std::pair<std::wstring, std::wstring>> unreadable;
};

Facts ReadFacts(const std::vector<std::pair<SurveyMethod, Answer>>& answers);

}  // namespace orvanta::survey
