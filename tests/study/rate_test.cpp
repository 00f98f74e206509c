#include "study/studies/rate.hpp"

#include <gtest/gtest.h>

#include <set>
#include <sstream>

#include "model/text.hpp"
#include "reference.hpp"
#include "study/outputs/answers.hpp"
#include "study/studies/sweep.hpp"

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
                            "loads.json", {.asTyped = true}));
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
  // Inputs are the texts the calculation starts from (emptied by the table), results what the
  // run shows.
  EXPECT_EQ(table[column("input.air.density")], "");
  EXPECT_NE(table[column("air.density")], "");
  EXPECT_EQ(design[column("input.air.density")], "1.087");
  EXPECT_EQ(table[column("input.plate.pairs")], "250");
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

// A spreadsheet or a script keys its columns by name and by caption: none may come twice.
TEST(Rate, EveryOutputNamesAndCaptionsItsColumnsOnce) {
  const SweepPlan plan{parseCases(R"({"arrangement": "counterflow"})", "c.json").at(0),
                       {parseVary("flue_gas.density=0.8:0.9:0.1")}};
  for (const auto& columns : {rateColumns(), sweepXlsxColumns(plan, true), goalSeekXlsxColumns(),
                              offDesignXlsxColumns(true)}) {
    std::set<std::string> names, captions;
    for (const XlsxColumn& c : columns) {
      EXPECT_TRUE(names.insert(c.name).second) << c.name;
      EXPECT_TRUE(captions.insert(c.caption).second) << c.caption;
    }
  }
  const auto header = cells(lines(rateCsv(ratedSample()))[0]);
  EXPECT_EQ(std::set<std::string>(header.begin(), header.end()).size(), header.size());
}

TEST(Rate, CsvQuotesWhatNeedsIt) {
  EXPECT_EQ(csvField("75 % 负荷"), "75 % 负荷");
  EXPECT_EQ(csvField("a,b"), "\"a,b\"");
  EXPECT_EQ(csvField("say \"hi\""), "\"say \"\"hi\"\"\"");
  EXPECT_EQ(displayWidth("裕量R(%)"), 8u);
}

// A text a spreadsheet would run as a formula gets an apostrophe; numbers stay numbers.
TEST(Rate, CsvCellsNeverRunAsFormulas) {
  struct Row {
    std::string text, cell;
  };
  for (const Row& r :
       {Row{"=1+1", "'=1+1"}, Row{"@SUM(A1)", "'@SUM(A1)"}, Row{"+2+3", "'+2+3"},
        Row{"-2+3", "'-2+3"}, Row{"\t=1", "'\t=1"}, Row{"\r=1", "\"'\r=1\""},
        Row{"=HYPERLINK(\"http://x\",\"y\")", "\"'=HYPERLINK(\"\"http://x\"\",\"\"y\"\")\""},
        Row{"-5", "-5"}, Row{"-0.0001", "-0.0001"}, Row{"+12", "+12"}, Row{"-1.5E-05", "-1.5E-05"},
        Row{"-5abc", "'-5abc"}, Row{"", ""}, Row{"a=b", "a=b"}, Row{"1,5", "\"1,5\""}}) {
    EXPECT_EQ(csvField(r.text), r.cell) << r.text;
  }
}

TEST(Rate, TableCellsNeverRunIntoTheirNeighbour) {
  const std::string digits(300, '7');
  const std::string cut = tableCell(digits, 20);
  EXPECT_EQ(displayWidth(cut), 20u);
  EXPECT_TRUE(cut.starts_with("7777777777777777777"));
  EXPECT_TRUE(cut.ends_with("…"));
  const std::string wide = tableCell("裕量裕量裕量裕量裕量裕量", 9);  // two columns a character
  EXPECT_LE(displayWidth(wide), 9u);
  EXPECT_EQ(wide, "裕量裕量…");
  EXPECT_EQ(tableCell("short", 20), "short");
  EXPECT_EQ(tableCell("a\x1b[2Jb\n", 20), "a\uFFFD[2Jb\uFFFD");  // no terminal escapes
}

// The case-by-case writer gives exactly the whole-list outputs; the table continues in blocks.
TEST(Rate, WriterStreamsTheSameOutput) {
  for (const std::size_t count : {std::size_t{1}, std::size_t{3}, kTableBlock, kTableBlock + 3}) {
    std::string json = R"({"arrangement": "counterflow", "flow_mode": "volume", "cases": [)";
    for (std::size_t k = 0; k < count; ++k)
      json +=
          std::string(k ? "," : "") + R"({"plate": {"pairs": )" + std::to_string(100 + k) + "}}";
    const std::vector<RatedCase> rated = rateAll(parseCases(json + "]}", "n.json"));
    for (const RateFormat format : {RateFormat::Table, RateFormat::Json, RateFormat::Csv}) {
      std::ostringstream out;
      RateWriter writer(out, format, false);
      for (const RatedCase& r : rated) writer.add(r);
      writer.finish();
      const std::string whole = format == RateFormat::Table  ? rateTable(rated, false)
                                : format == RateFormat::Json ? rateJson(rated).dump(2) + "\n"
                                                             : rateCsv(rated);
      EXPECT_EQ(out.str(), whole) << count << " cases, format " << static_cast<int>(format);
    }
    const std::string table = rateTable(rated, false);
    std::size_t blocks = 0;
    for (std::size_t at = table.find("  工况"); at != std::string::npos;
         at = table.find("  工况", at + 1))
      ++blocks;
    EXPECT_EQ(blocks, (count + kTableBlock - 1) / kTableBlock);
  }
}

// Bytes that are not UTF-8 (a file name) become replacement characters in JSON.
TEST(Rate, JsonOfAFileNameThatIsNotUtf8) {
  std::vector<RatedCase> rated =
      rateAll(parseCases(R"({"arrangement": "counterflow"})", "bad\xff.json"));
  std::ostringstream out;
  RateWriter writer(out, RateFormat::Json);
  writer.add(rated[0]);
  writer.finish();
  EXPECT_NE(out.str().find("\"file\": \"bad\xEF\xBF\xBD.json\""), std::string::npos);
  EXPECT_TRUE(nlohmann::json::accept(out.str()));
}

}  // namespace
}  // namespace aph::study
