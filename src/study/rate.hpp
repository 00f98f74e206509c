// Rating a list of cases and printing them side by side: as the window shows them (captions,
// units, values, flags), as JSON, or as CSV with one row per case.
#pragma once

#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "study/case_file.hpp"

namespace aph::study {

struct RatedCase {
  Case input;
  CaseRun run;
};

std::vector<RatedCase> rateAll(const std::vector<Case>& cases);

// A CSV field, quoted when it holds a separator, a quote or a line break.
std::string csvField(std::string_view text);

// `color`: flagged values in red with terminal escapes (besides their "!" mark).
std::string rateTable(const std::vector<RatedCase>& cases, bool color);
nlohmann::ordered_json rateJson(const std::vector<RatedCase>& cases);
std::string rateCsv(const std::vector<RatedCase>& cases);

}  // namespace aph::study
