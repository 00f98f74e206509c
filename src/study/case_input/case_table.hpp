// Case tables: load cases kept in a spreadsheet, read as a case file. A sheet holds one row of
// case-file keys ("name", "arrangement", "flue_gas.inlet_temperature", …); each row below it is
// one load case, each cell the value of its column's key, a blank cell a key left out. The rows
// above the key row are free (a title, captions, units).
//
// Two readers hand the sheet's rows to one builder: an Excel workbook (.xlsx: the sheet "工况",
// else the first) and a CSV text (comma, semicolon or tab apart; UTF-8, or GB18030 as a Chinese
// Windows saves it). The builder turns the rows into the text of a JSON case file, a list of load
// cases, which the case-file reader then reads as any other, and keeps where each value stood, so
// that every fault is told at the cell a spreadsheet shows it in ("工况!D7").
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "study/case_input/case_file.hpp"

namespace aph::study {

// A worksheet's extent: rows and columns beyond it name no cell.
inline constexpr std::uint32_t kMaxTableRows = 1'048'576;
inline constexpr std::uint32_t kMaxTableColumns = 16'384;  // A … XFD

// One cell that is not blank, as the reader found it.
struct TableCell {
  enum class Kind : std::uint8_t {
    Number,    // `number`; `date` when the cell's number format shows it as a date or time
    Text,      // `text`
    Boolean,   // TRUE or FALSE
    Error,     // an error value, `text` ("#DIV/0!")
    Uncached,  // a formula whose result the file does not hold
  };
  std::uint32_t column = 1;  // 1 is column A
  Kind kind = Kind::Text;
  bool date = false;
  bool boolean = false;
  double number = 0;
  std::string text;
};

// The cells of one row that are not blank, in column order.
struct TableRow {
  std::uint32_t number = 1;  // as the spreadsheet numbers it, from 1
  std::vector<TableCell> cells;
};

// A block of merged cells.
struct CellRange {
  std::uint32_t firstRow = 1, firstColumn = 1, lastRow = 1, lastColumn = 1;
};

// "D", "AA", "XFD".
std::string columnName(std::uint32_t column);
// A cell as a spreadsheet names it: "D7", "工况!D7", "'Load cases'!D7" (no sheet in a CSV text).
std::string cellName(std::string_view sheet, std::uint32_t row, std::uint32_t column);
// A whole row: "工况!7:7".
std::string rowName(std::string_view sheet, std::uint32_t row);
// "D7" read back: row and column, or nothing for what is no cell reference.
std::optional<std::pair<std::uint32_t, std::uint32_t>> parseCellName(std::string_view name);
// A row's name read back: the sheet's own name (its quotes undone; empty in a CSV text) and the
// row's number as written, or nothing for what is no row reference.
struct RowReference {
  std::string sheet;
  std::string row;
};
std::optional<RowReference> parseRowName(std::string_view name);

// How many case-file keys a row holds if it can be the key row: every cell a text, and at least
// half of them keys of the format. Zero for any other row.
std::size_t keyRowScore(const TableRow& row);

// What the builder made of a table: the case file and where its values came from.
struct TableCases {
  std::string json;      // {"cases": [{…}, …]}, dotted keys as nested objects
  std::string format;    // "xlsx" or "csv"
  std::string encoding;  // of a CSV text: "UTF-8", "UTF-8 with BOM" or "GB18030"
  std::string sheet;     // of a workbook: the sheet read
  std::uint32_t keyRow = 0;
  std::vector<std::pair<std::string, std::uint32_t>> columns;  // each key and its column
  std::vector<std::uint32_t> caseRows;                         // the row of each load case

  // A fault of the case file `json`, its key "cases[3].air.inlet_temperature" told as the cell
  // of that key in that load case's row ("工况!F9: air.inlet_temperature"), or as the row when
  // the table has no column for the key, of the same kind. Any other fault as it is.
  CaseError located(const CaseError& fault) const;
};

// The rows of a sheet in order, and its merged cells, made into load cases. Throws CaseError.
class CaseTableBuilder {
 public:
  CaseTableBuilder(std::string file, std::string sheet);
  void addRow(TableRow&& row);
  void addMerged(const CellRange& range);
  // The table as read; throws when it has no key row or no load case.
  TableCases finish();

 private:
  [[noreturn]] void fail(std::uint32_t row, std::uint32_t column, const std::string& key,
                         const std::string& what, CaseFault fault) const;
  void readKeys(const TableRow& row);
  void addCase(const TableRow& row);

  std::string file_, sheet_;
  TableCases table_;
  std::vector<std::optional<std::string>> keyOfColumn_;  // by column, from 1
  std::vector<CellRange> merged_;
  std::uint32_t bestRow_ = 0;  // before the key row is found: the row with the most keys
  std::size_t bestScore_ = 0, bestCells_ = 0;
};

// Whether a case file is a table rather than JSON: a zip archive or an older Excel file by its
// first bytes, or a name ending in .xlsx, .xlsm or .csv (in any case of letters).
enum class TableFormat : std::uint8_t { Xlsx, Csv };
std::optional<TableFormat> caseTableFormat(std::string_view bytes, std::string_view file);

// The readers: hand the rows of the table to `builder` (constructed by them, for the sheet they
// choose), within bounds on all they read. Throw CaseError naming `file`.
TableCases readXlsxTable(std::string_view bytes, const std::string& file);
TableCases readCsvTable(std::string_view bytes, const std::string& file);

// The table of a case file of either format as the JSON case file it stands for.
TableCases readCaseTable(std::string_view bytes, const std::string& file, TableFormat format);

}  // namespace aph::study
