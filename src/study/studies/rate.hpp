// Rating a list of cases and printing them side by side: as the window shows them (captions,
// units, values, flags), as JSON, or as CSV with one row per case.
#pragma once

#include <cstdint>
#include <memory>
#include <nlohmann/json.hpp>
#include <ostream>
#include <span>
#include <string>
#include <vector>

#include "study/case_input/case_file.hpp"
#include "study/checks/design_checks.hpp"
#include "study/outputs/xlsx.hpp"

namespace aph::study {

struct RatedCase {
  Case input;
  CaseRun run;
  // The margin is the 0 an off-design rating settled on, within its tolerance: the outputs
  // neither flag it nor count it a violation (the window's red stands for a pack short of duty
  // or far beyond it, which a margin solved to 0 is not).
  bool marginSettled = false;
  // Where the field of the design checks stands: the rating point of the design, or, at the
  // outlet temperatures an off-design rating found, the operating point (the run's own film
  // coefficients, unscaled).
  FieldMode field = FieldMode::Rating;
};
// The design checks of a rated case, its field where the case says.
DesignChecks designChecks(const RatedCase& rated, const CheckSettings& settings);

std::vector<RatedCase> rateAll(const std::vector<Case>& cases);

// A CSV field, quoted when it holds a separator, a quote or a line break. A text a spreadsheet
// would take for a formula (one beginning with =, +, -, @, a tab or a CR, and not a number) gets
// a leading apostrophe; numbers stay numbers.
std::string csvField(std::string_view text);

// A table cell: control characters shown as "�", and a text wider than `width` terminal columns
// cut to fit with "…", so that no value runs into its neighbour.
std::string tableCell(std::string_view text, std::size_t width);
// The widest value a column of the table shows in full.
inline constexpr std::size_t kTableCellWidth = 40;
// Cases side by side in one table; more cases continue in further tables below.
inline constexpr std::size_t kTableBlock = 8;

// Every output carries the design checks (study/checks/design_checks) beside the window's results.
// `color`: flagged values in red with terminal escapes (besides their "!" mark).
std::string rateTable(const std::vector<RatedCase>& cases, bool color,
                      const CheckSettings& checks = {});
nlohmann::ordered_json rateJson(const std::vector<RatedCase>& cases,
                                const CheckSettings& checks = {});
std::string rateCsv(const std::vector<RatedCase>& cases, const CheckSettings& checks = {});

// Writes one item of a JSON list as nlohmann's dump(2) writes the list: "[" before the first,
// "," before the others, each item indented one level (the list is closed with "\n]\n").
void writeJsonListItem(std::ostream& out, const nlohmann::ordered_json& item, bool first);

// The columns of the CSV (and of the workbook): file, case, status, message, violations,
// arrangement, flow mode, every input key, the check keys, every result, the check results.
// Inputs are named "input." + key and captioned "输入：" + caption, results by their own names.
inline constexpr std::string_view kInputColumnPrefix = "input.";
inline constexpr std::string_view kInputCaption = "输入：";
std::vector<XlsxColumn> rateColumns();
// One case's row of those columns as workbook cells.
std::vector<XlsxCell> rateCells(const RatedCase& rated, const CheckSettings& checks = {});

// The same outputs written case by case as the cases are rated, so that memory holds one case
// (one block of the table) at a time. The output is byte for byte the one above; the workbook
// has one sheet, "rate", of the CSV's columns. `bom` starts the CSV with the UTF-8 byte-order
// mark. Writing a workbook throws XlsxError when the writer fails.
enum class RateFormat : std::uint8_t { Table, Json, Csv, Xlsx };
class RateWriter {
 public:
  RateWriter(std::ostream& out, RateFormat format, bool color = false,
             const CheckSettings& checks = {}, bool bom = false);
  ~RateWriter();
  void add(RatedCase rated);
  // Writes what is left; call once after the last case.
  void finish();

 private:
  void flushTable();
  std::ostream& out_;
  RateFormat format_;
  bool color_;
  CheckSettings checks_;
  bool bom_;
  std::size_t count_ = 0;
  bool anyFlag_ = false;
  bool anyCheckFlag_ = false;
  TableLawSpan law_;
  bool titled_ = false;
  std::vector<RatedCase> block_;
  std::unique_ptr<XlsxWorkbook> workbook_;
};

// The byte-order mark a spreadsheet looks for to read a CSV as UTF-8.
inline constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";

}  // namespace aph::study
