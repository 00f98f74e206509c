#include "study/case_input/case_table.hpp"

#include <algorithm>
#include <array>
#include <cctype>
#include <cmath>
#include <nlohmann/json.hpp>

#include "model/text.hpp"
#include "study/io/files.hpp"

namespace aph::study {
namespace {

using nlohmann::ordered_json;

// The keys a load case's row may hold: its name and description, and every key of the format.
const std::vector<std::string>& tableKeys() {
  static const std::vector<std::string> keys = [] {
    std::vector<std::string> out = {"name", "description"};
    for (const CaseKey& key : caseKeys()) out.emplace_back(key.path);
    return out;
  }();
  return keys;
}

bool isTableKey(std::string_view text) {
  const auto& keys = tableKeys();
  return std::find(keys.begin(), keys.end(), text) != keys.end();
}

// What a key's cells hold: a free text, a number typed into a field (or read by the design
// checks), or one of a few words.
enum class Holds : std::uint8_t { Text, Number, Choice };

Holds holds(std::string_view key) {
  if (key == "name" || key == "description") return Holds::Text;
  const auto k = findKey(key);
  return k && (isNumericKey(*k) || isCheckKey(*k)) ? Holds::Number : Holds::Choice;
}

// Blanks around a cell's text are nobody's meaning: ASCII white space, the no-break space and
// the ideographic space of Chinese input methods.
std::string_view trimmed(std::string_view text) {
  static constexpr std::array<std::string_view, 6> kBlanks = {" ",  "\t",       "\r",
                                                              "\n", "\xC2\xA0", "\xE3\x80\x80"};
  for (bool cut = true; cut;) {
    cut = false;
    for (const std::string_view blank : kBlanks) {
      if (text.starts_with(blank)) text.remove_prefix(blank.size()), cut = true;
      if (text.ends_with(blank)) text.remove_suffix(blank.size()), cut = true;
    }
  }
  return text;
}

// The error values a spreadsheet shows in a cell (and writes into a CSV text).
bool isErrorValue(std::string_view text) {
  for (const std::string_view error : {"#DIV/0!", "#N/A", "#NAME?", "#NULL!", "#NUM!", "#REF!",
                                       "#VALUE!", "#GETTING_DATA", "#SPILL!", "#CALC!"})
    if (text == error) return true;
  return false;
}

// A number as a JSON case file holds it: whole numbers as integers, the rest as doubles, so that
// both go into the window as the same text a JSON file's number would.
ordered_json jsonNumber(double value) {
  constexpr double kExactIntegers = 9007199254740992.0;  // 2^53
  if (std::trunc(value) == value && std::fabs(value) <= kExactIntegers)
    return static_cast<std::int64_t>(value);
  return value;
}

// A sheet's name as a reference writes it before the "!".
std::string sheetLabel(std::string_view sheet) {
  // A name of letters, digits and underscores stands bare; any other is quoted, quotes doubled.
  bool bare = !(sheet[0] >= '0' && sheet[0] <= '9');
  for (const char c : sheet) {
    const auto u = static_cast<unsigned char>(c);
    if (u < 0x80 && !std::isalnum(u) && c != '_') bare = false;
  }
  if (bare) return std::string(sheet);
  std::string out = "'";
  for (const char c : sheet) out += c == '\'' ? std::string("''") : std::string(1, c);
  return out + "'";
}

std::string sheetPrefix(std::string_view sheet) {
  return sheet.empty() ? std::string() : sheetLabel(sheet) + "!";
}

}  // namespace

std::string columnName(std::uint32_t column) {
  std::string name;
  for (; column > 0; column = (column - 1) / 26)
    name.insert(name.begin(), static_cast<char>('A' + (column - 1) % 26));
  return name;
}

std::string cellName(std::string_view sheet, std::uint32_t row, std::uint32_t column) {
  return sheetPrefix(sheet) + columnName(column) + std::to_string(row);
}

std::string rowName(std::string_view sheet, std::uint32_t row) {
  return sheetPrefix(sheet) + std::to_string(row) + ":" + std::to_string(row);
}

std::optional<std::pair<std::uint32_t, std::uint32_t>> parseCellName(std::string_view name) {
  std::uint64_t column = 0, row = 0;
  std::size_t k = 0;
  for (; k < name.size() && std::isalpha(static_cast<unsigned char>(name[k])); ++k) {
    column = column * 26 + static_cast<std::uint64_t>(std::toupper(name[k]) - 'A' + 1);
    if (column > kMaxTableColumns) return std::nullopt;
  }
  const std::size_t digits = k;
  for (; k < name.size() && name[k] >= '0' && name[k] <= '9'; ++k) {
    row = row * 10 + static_cast<std::uint64_t>(name[k] - '0');
    if (row > kMaxTableRows) return std::nullopt;
  }
  if (column == 0 || row == 0 || digits == k || k != name.size()) return std::nullopt;
  return std::pair{static_cast<std::uint32_t>(row), static_cast<std::uint32_t>(column)};
}

std::optional<RowReference> parseRowName(std::string_view name) {
  const auto bang = name.rfind('!');
  const std::string_view label = bang == std::string_view::npos ? "" : name.substr(0, bang);
  const std::string_view local = name.substr(bang == std::string_view::npos ? 0 : bang + 1);
  const auto colon = local.find(':');
  const std::string_view row = local.substr(0, colon);
  if (colon == std::string_view::npos || row.empty() || local.substr(colon + 1) != row ||
      row.find_first_not_of("0123456789") != std::string_view::npos)
    return std::nullopt;
  RowReference reference{std::string(label), std::string(row)};
  if (label.size() >= 2 && label.front() == '\'' && label.back() == '\'') {
    // A quoted name, its quotes doubled within, as sheetLabel writes it.
    reference.sheet.clear();
    for (std::size_t k = 1; k + 1 < label.size(); ++k) {
      reference.sheet += label[k];
      if (label[k] == '\'' && label[k + 1] == '\'') ++k;
    }
  }
  return reference;
}

std::size_t keyRowScore(const TableRow& row) {
  std::size_t keys = 0;
  std::size_t cells = 0;
  for (const TableCell& cell : row.cells) {
    if (cell.kind != TableCell::Kind::Text) return 0;
    const std::string_view text = trimmed(cell.text);
    cells += !text.empty();
    keys += isTableKey(text);
  }
  return keys > 0 && 2 * keys >= cells ? keys : 0;
}

CaseError TableCases::located(const CaseError& fault) const {
  const std::string& key = fault.key();
  constexpr std::string_view kList = "cases[";
  const auto close = key.find(']');
  if (!key.starts_with(kList) || close == std::string::npos) return fault;
  std::size_t index = 0;
  for (std::size_t k = kList.size(); k < close; ++k) {
    if (key[k] < '0' || key[k] > '9' || index > caseRows.size()) return fault;
    index = index * 10 + static_cast<std::size_t>(key[k] - '0');
  }
  if (index >= caseRows.size()) return fault;
  const std::uint32_t row = caseRows[index];
  const std::string path = key.substr(std::min(key.size(), close + 2));
  if (path.empty())
    return CaseError(fault.file(), rowName(sheet, row), fault.what_wrong(), fault.fault());
  for (const auto& [columnKey, column] : columns)
    if (columnKey == path)
      return CaseError(fault.file(), cellName(sheet, row, column) + ": " + path, fault.what_wrong(),
                       fault.fault());
  return CaseError(fault.file(), rowName(sheet, row) + ": " + path, fault.what_wrong(),
                   fault.fault());
}

CaseTableBuilder::CaseTableBuilder(std::string file, std::string sheet)
    : file_(std::move(file)), sheet_(std::move(sheet)) {
  table_.sheet = sheet_;
  table_.json = R"({"cases":[)";
}

void CaseTableBuilder::fail(std::uint32_t row, std::uint32_t column, const std::string& key,
                            const std::string& what, CaseFault fault) const {
  const std::string cell = column ? cellName(sheet_, row, column) : rowName(sheet_, row);
  throw CaseError(file_, key.empty() ? cell : cell + ": " + key, what, std::move(fault));
}

void CaseTableBuilder::addRow(TableRow&& row) {
  // A text of blanks is a blank cell.
  std::erase_if(row.cells, [](TableCell& cell) {
    if (cell.kind != TableCell::Kind::Text) return false;
    cell.text = std::string(trimmed(cell.text));
    return cell.text.empty();
  });
  if (table_.keyRow) {
    if (!row.cells.empty()) addCase(row);
    return;
  }
  if (keyRowScore(row)) {
    readKeys(row);
    return;
  }
  // Told when no row turns out to be the key row: the row that came nearest.
  std::size_t keys = 0;
  for (const TableCell& cell : row.cells)
    keys += cell.kind == TableCell::Kind::Text && isTableKey(cell.text);
  if (keys > bestScore_) {
    bestScore_ = keys;
    bestCells_ = row.cells.size();
    bestRow_ = row.number;
  }
}

void CaseTableBuilder::readKeys(const TableRow& row) {
  table_.keyRow = row.number;
  keyOfColumn_.resize(row.cells.back().column + 1);
  for (const TableCell& cell : row.cells) {
    const std::string key = cell.text;
    if (!isTableKey(key)) {
      CaseFault fault(CaseFault::Kind::UnknownKey);
      const std::string what = unknownKeyReason(key, tableKeys(), &fault.other);
      fail(row.number, cell.column, shortened(key), what, std::move(fault));
    }
    for (const auto& [other, column] : table_.columns)
      if (other == key) {
        const std::string first = cellName(sheet_, row.number, column);
        fail(row.number, cell.column, key, "key given twice (also in " + first + ")",
             CaseFault(CaseFault::Kind::DuplicateKey, {}, first));
      }
    keyOfColumn_[cell.column] = key;
    table_.columns.emplace_back(key, cell.column);
  }
}

void CaseTableBuilder::addCase(const TableRow& row) {
  ordered_json values = ordered_json::object();
  for (const TableCell& cell : row.cells) {
    if (cell.column >= keyOfColumn_.size() || !keyOfColumn_[cell.column])
      fail(row.number, cell.column, "",
           "a value in a column without a key (the keys stand in row " +
               std::to_string(table_.keyRow) + ")",
           CaseFault(CaseFault::Kind::ValueWithoutKey, std::to_string(table_.keyRow)));
    const std::string& key = *keyOfColumn_[cell.column];
    const Holds kind = holds(key);
    ordered_json value;
    switch (cell.kind) {
      case TableCell::Kind::Uncached:
        fail(row.number, cell.column, key,
             "a formula whose result the workbook does not hold; open it in a spreadsheet "
             "program and save it, so that the results are stored",
             CaseFault(CaseFault::Kind::UncachedFormula));
      case TableCell::Kind::Error:
        fail(row.number, cell.column, key, "the error value " + shortened(cell.text),
             CaseFault(CaseFault::Kind::ErrorValue, shortened(cell.text)));
      case TableCell::Kind::Boolean:
        value = cell.boolean;
        break;
      case TableCell::Kind::Number:
        if (cell.date) {
          CaseFault fault(CaseFault::Kind::WrongType, "date");
          fault.expected =
              kind == Holds::Number ? CaseFault::Expected::Number : CaseFault::Expected::Text;
          fail(row.number, cell.column, key,
               std::string("a date or time (the cell's number format shows one), not ") +
                   (kind == Holds::Number ? "a number; give the cell a number format" : "a text"),
               std::move(fault));
        }
        value =
            kind == Holds::Text ? ordered_json(numberText(cell.number)) : jsonNumber(cell.number);
        break;
      case TableCell::Kind::Text:
        if (isErrorValue(cell.text))
          fail(row.number, cell.column, key, "the error value " + cell.text,
               CaseFault(CaseFault::Kind::ErrorValue, cell.text));
        if (kind == Holds::Number)
          if (const auto number = readWholeNumber(cell.text)) {
            value = jsonNumber(*number);
            break;
          }
        value = cell.text;
        break;
    }
    const auto dot = key.find('.');
    if (dot == std::string::npos)
      values[key] = std::move(value);
    else
      values[key.substr(0, dot)][key.substr(dot + 1)] = std::move(value);
  }
  if (!table_.caseRows.empty()) table_.json += ',';
  // Every text came in as UTF-8; a replacement character would only stand for a reader's fault.
  table_.json += values.dump(-1, ' ', false, ordered_json::error_handler_t::replace);
  table_.caseRows.push_back(row.number);
}

void CaseTableBuilder::addMerged(const CellRange& range) {
  merged_.push_back(range);
}

TableCases CaseTableBuilder::finish() {
  const std::string where = sheet_.empty() ? "" : sheetLabel(sheet_);
  if (!table_.keyRow) {
    std::string what =
        "no row of case-file keys (a row of texts such as name, arrangement, flow_mode, "
        "flue_gas.inlet_temperature, …, at least half of them keys, above the load cases)";
    CaseFault fault(CaseFault::Kind::NoKeyRow);
    if (bestScore_) {
      what += "; row " + std::to_string(bestRow_) + " comes nearest, with " +
              std::to_string(bestScore_) + " keys among its " + std::to_string(bestCells_) +
              " cells";
      fault.value = std::to_string(bestRow_);
    }
    throw CaseError(file_, where, what, std::move(fault));
  }
  for (const CellRange& range : merged_)
    if (range.lastRow >= table_.keyRow) {
      const std::uint32_t column = range.firstColumn;
      const std::string key =
          column < keyOfColumn_.size() && keyOfColumn_[column] ? *keyOfColumn_[column] : "";
      const std::string block = cellName("", range.firstRow, range.firstColumn) + ":" +
                                cellName("", range.lastRow, range.lastColumn);
      fail(range.firstRow, column, key,
           "merged cells (" + block +
               ") in the table; unmerge them and give each load case its own value",
           CaseFault(CaseFault::Kind::MergedCells, block));
    }
  if (table_.caseRows.empty())
    throw CaseError(file_, rowName(sheet_, table_.keyRow), "no load case below the row of keys",
                    CaseFault(CaseFault::Kind::NoCases));
  table_.json += "]}";
  return std::move(table_);
}

std::optional<TableFormat> caseTableFormat(std::string_view bytes, std::string_view file) {
  // A zip archive (an .xlsx workbook), or the container of an Excel 97-2003 or encrypted workbook.
  if (bytes.starts_with("PK\x03\x04") || bytes.starts_with("PK\x05\x06") ||
      bytes.starts_with("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1"))
    return TableFormat::Xlsx;
  std::string extension(file.substr(std::min(file.size(), file.find_last_of('.'))));
  for (char& c : extension) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  if (extension == ".xlsx" || extension == ".xlsm" || extension == ".xls") return TableFormat::Xlsx;
  if (extension == ".csv") return TableFormat::Csv;
  return std::nullopt;
}

TableCases readCaseTable(std::string_view bytes, const std::string& file, TableFormat format) {
  return format == TableFormat::Xlsx ? readXlsxTable(bytes, file) : readCsvTable(bytes, file);
}

}  // namespace aph::study
