// A case table ready to fill in: the load cases of a case file, or the window's defaults, as the
// spreadsheet the case-table readers take back (study/case_input/case_table). A title row, a row
// of captions with the units the window shows, the row of case-file keys, then one row per load
// case, every key in its own column. The workbook adds drop-down lists for the keys that take a
// word, number formats, a frozen header and a sheet "说明" explaining every column; the CSV text
// holds the same rows (UTF-8 with a byte-order mark, as spreadsheets expect).
#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "study/case_input/case_file.hpp"

struct lxw_worksheet;

namespace aph::study {

class XlsxWorkbook;

// The rows above the load cases.
inline constexpr std::size_t kTemplateHeaderRows = 3;
inline constexpr std::string_view kTemplateSheet = "工况";
inline constexpr std::string_view kTemplateNotesSheet = "说明";

// The case a fresh window stands for: every field and dialog field at its default text; of the
// buttons, which the window opens with none pressed, counterflow and volume flows.
Case windowDefaultCase();

// The text of a case's cell in the template: its value, or empty for a key it leaves out.
std::string templateCellText(const Case& c, std::size_t column);
// Columns: "name", then every key of the format in the order a case is applied.
std::size_t templateColumns();
std::string_view templateKey(std::size_t column);

// The workbook, written row by row (memory stays flat however many load cases). XlsxError on
// any failure of the writer.
class CaseTemplateWorkbook {
 public:
  CaseTemplateWorkbook();
  ~CaseTemplateWorkbook();
  CaseTemplateWorkbook(const CaseTemplateWorkbook&) = delete;
  CaseTemplateWorkbook& operator=(const CaseTemplateWorkbook&) = delete;
  void add(const Case& c);
  std::size_t cases() const { return cases_; }
  // Adds the drop-down lists and the sheet "说明", finishes the file and hands its bytes to
  // `write` piece by piece until it returns false.
  void finish(const std::function<bool(std::string_view)>& write);

 private:
  std::unique_ptr<XlsxWorkbook> book_;
  lxw_worksheet* sheet_ = nullptr;
  std::size_t cases_ = 0;
};

// The CSV text: the header rows, then each load case's row.
std::string caseTemplateCsvHeader();
std::string caseTemplateCsvRow(const Case& c);

}  // namespace aph::study
