#include "study/rate.hpp"

#include <gtest/gtest.h>

#include <sstream>

#include "model/text.hpp"
#include "reference.hpp"

namespace aph::study {
namespace {

std::vector<RatedCase> ratedSample() {
  return rateAll(parseCases(R"({
    "arrangement": "counterflow", "flow_mode": "volume",
    "cases": [
      {"name": "design"},
      {"name": "table, 250 pairs", "air": {"properties": "table"}, "plate": {"pairs": 250}},
      {"name": "no pairs", "plate": {"pairs": "abc"}}
    ]})",
                            "loads.json"));
}

std::vector<std::string> lines(const std::string& text) {
  std::vector<std::string> out;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) out.push_back(line);
  return out;
}

// Splits a CSV line, quoted cells included.
std::vector<std::string> cells(const std::string& line) {
  std::vector<std::string> out(1);
  bool quoted = false;
  for (std::size_t k = 0; k < line.size(); ++k) {
    const char c = line[k];
    if (quoted && c == '"' && k + 1 < line.size() && line[k + 1] == '"') {
      out.back() += '"';
      ++k;
    } else if (c == '"') {
      quoted = !quoted;
    } else if (c == ',' && !quoted) {
      out.emplace_back();
    } else {
      out.back() += c;
    }
  }
  return out;
}

TEST(Rate, TableFlagsWhatTheWindowShowsRedAndReportsStops) {
  const std::string table = rateTable(ratedSample(), false);
  std::string marginRow, dropRow;
  for (const std::string& line : lines(table)) {
    if (line.find("裕量R(%)") != std::string::npos) marginRow = line;
    if (line.find("压降△P(Pa)") != std::string::npos && dropRow.empty()) dropRow = line;
  }
  // The design case is the default window in counterflow, worked out independently.
  const auto worked = reference::rate({});
  EXPECT_NE(marginRow.find(worked.at("Text49").text + " !"), std::string::npos) << marginRow;
  EXPECT_NE(dropRow.find(worked.at("Text45").text + " !"), std::string::npos) << dropRow;
  EXPECT_NE(table.find("no pairs (loads.json): 中止：数值输入有误！"), std::string::npos);
  EXPECT_NE(table.find("design (loads.json): 完成"), std::string::npos);
  EXPECT_EQ(table.find("\x1b["), std::string::npos);  // no colour unless asked
  EXPECT_NE(rateTable(ratedSample(), true).find("\x1b[31m"), std::string::npos);
}

TEST(Rate, CsvHasStableColumnsOneRowPerCase) {
  const auto rows = lines(rateCsv(ratedSample()));
  ASSERT_EQ(rows.size(), 4u);
  const auto header = cells(rows[0]);
  auto column = [&](const std::string& name) {
    const auto at = std::find(header.begin(), header.end(), name);
    EXPECT_NE(at, header.end()) << name;
    return static_cast<std::size_t>(at - header.begin());
  };
  for (std::size_t r = 1; r < rows.size(); ++r) EXPECT_EQ(cells(rows[r]).size(), header.size());
  const auto design = cells(rows[1]), table = cells(rows[2]), stopped = cells(rows[3]);
  EXPECT_EQ(table[column("case")], "table, 250 pairs");
  EXPECT_EQ(design[column("status")], "ok");
  EXPECT_EQ(design[column("violations")], "margin_high;dp_flue_gas;dp_air");
  EXPECT_EQ(design[column("margin")], reference::rate({}).at("Text49").text);
  // Inputs are the texts the calculation starts from: emptied by the table, then results.
  EXPECT_EQ(table[column("air.density")], "");
  EXPECT_EQ(table[column("plate.pairs")], "250");
  EXPECT_NE(table[column("air.prandtl")], "");
  EXPECT_EQ(stopped[column("status")], "stopped");
  EXPECT_EQ(stopped[column("message")], "数值输入有误！");
  EXPECT_EQ(stopped[column("margin")], "");
}

TEST(Rate, JsonCarriesUnitsFlagsAndMessages) {
  const auto json = rateJson(ratedSample());
  ASSERT_EQ(json.size(), 3u);
  EXPECT_EQ(json[0]["results"]["air.pressure_drop"]["unit"], "Pa");
  EXPECT_EQ(json[0]["results"]["air.pressure_drop"]["flagged"], true);
  EXPECT_EQ(json[0]["violations"].size(), 3u);
  EXPECT_EQ(json[1]["inputs"]["air.properties"], "table");
  EXPECT_EQ(json[2]["status"], "stopped");
  EXPECT_EQ(json[2]["messages"][0], "数值输入有误！");
}

TEST(Rate, CsvQuotesWhatNeedsIt) {
  EXPECT_EQ(csvField("75 % 负荷"), "75 % 负荷");
  EXPECT_EQ(csvField("a,b"), "\"a,b\"");
  EXPECT_EQ(csvField("say \"hi\""), "\"say \"\"hi\"\"\"");
  EXPECT_EQ(displayWidth("裕量R(%)"), 8u);
}

}  // namespace
}  // namespace aph::study
