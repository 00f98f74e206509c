#include "study/outputs/xlsx.hpp"

#include <stdlib.h>
#include <xlsxwriter.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "model/text.hpp"

namespace aph::study {
namespace {

// Excel's limit is 32767 characters a cell; bytes are counted here, which is never more.
constexpr std::size_t kMaxCellBytes = 32000;

// The decimals a number text shows ("12.50" → 2); -1 for an exponent form.
int decimalsOf(std::string_view text) {
  if (text.find_first_of("eE") != std::string_view::npos) return -1;
  const auto point = text.find('.');
  if (point == std::string_view::npos) return 0;
  std::size_t digits = 0;
  for (std::size_t k = point + 1; k < text.size() && text[k] >= '0' && text[k] <= '9'; ++k)
    ++digits;
  return static_cast<int>(std::min<std::size_t>(digits, 15));
}

std::string numberFormat(int decimals) {
  if (decimals < 0) return "General";
  return decimals == 0 ? "0" : "0." + std::string(static_cast<std::size_t>(decimals), '0');
}

}  // namespace

std::string cellText(std::string_view text) {
  std::string out;
  out.reserve(std::min(text.size(), kMaxCellBytes));
  for (std::size_t k = 0; k < text.size();) {
    char32_t code = 0;
    std::size_t length = utf8Character(text, k, code);
    const bool allowed = length != 0 && (code >= 0x20 || code == '\t' || code == '\n') &&
                         code != 0xFFFE && code != 0xFFFF;
    const std::string_view piece = allowed ? text.substr(k, length) : "\uFFFD";
    if (out.size() + piece.size() > kMaxCellBytes) return out + "…";
    out += piece;
    k += length ? length : 1;
  }
  return out;
}

XlsxCell XlsxCell::shown(std::string_view text, bool red) {
  XlsxCell cell;
  cell.red = red;
  if (text.empty()) return cell;
  const auto value = readWholeNumber(text);
  if (value && std::isfinite(*value) &&
      text.find_first_not_of("+-.0123456789eE") == std::string_view::npos) {
    cell.kind = Kind::Number;
    cell.number = *value;
    cell.decimals = decimalsOf(text);
    return cell;
  }
  cell.kind = Kind::Text;
  cell.text = cellText(text);
  return cell;
}

XlsxCell XlsxCell::label(std::string_view text, bool red) {
  XlsxCell cell;
  cell.red = red;
  if (text.empty()) return cell;
  cell.kind = Kind::Text;
  cell.text = cellText(text);
  return cell;
}

XlsxWorkbook::XlsxWorkbook() {
  std::error_code error;
  const std::filesystem::path temporary = std::filesystem::temp_directory_path(error);
  if (error) throw XlsxError("no folder for temporary files (" + error.message() + ")");
  std::string pattern = (temporary / "aphcalc-xlsx-XXXXXX").string();
  if (!::mkdtemp(pattern.data()))
    throw XlsxError("cannot make a temporary folder in " + temporary.string() + " (" +
                    std::strerror(errno) + ")");
  folder_ = pattern;
  file_ = folder_ + "/book.xlsx";
  lxw_workbook_options options{};
  options.constant_memory = LXW_TRUE;  // rows go to disk as they are written
  options.tmpdir = folder_.data();
  options.use_zip64 = LXW_TRUE;  // sheets of a million rows pass 4 GiB uncompressed
  workbook_ = workbook_new_opt(file_.c_str(), &options);
  if (!workbook_) throw XlsxError("cannot start the workbook (out of memory)");
  header_ = workbook_add_format(workbook_);
  names_ = workbook_add_format(workbook_);
  units_ = workbook_add_format(workbook_);
  if (!header_ || !names_ || !units_) throw XlsxError("cannot add a cell format");
  format_set_bold(header_);
  format_set_text_wrap(header_);
  format_set_bg_color(header_, 0xEBF0F7);
  format_set_font_color(names_, 0x6E6E6E);
  format_set_italic(names_);
  format_set_bottom(units_, LXW_BORDER_THIN);
}

XlsxWorkbook::~XlsxWorkbook() {
  if (workbook_) workbook_close(workbook_);  // frees it; the file is removed below
  if (!folder_.empty()) {
    std::error_code ignored;
    std::filesystem::remove_all(folder_, ignored);
  }
}

void XlsxWorkbook::check(int error, const char* what) const {
  if (error != LXW_NO_ERROR)
    throw XlsxError(std::string(what) + ": " + lxw_strerror(static_cast<lxw_error>(error)));
}

lxw_format* XlsxWorkbook::format(int decimals, bool red) {
  const auto key = std::pair{decimals, red};
  if (const auto found = formats_.find(key); found != formats_.end()) return found->second;
  lxw_format* f = workbook_add_format(workbook_);
  if (!f) throw XlsxError("cannot add a cell format");
  if (decimals >= 0) format_set_num_format(f, numberFormat(decimals).c_str());
  if (red) format_set_font_color(f, LXW_COLOR_RED);
  formats_.emplace(key, f);
  return f;
}

void XlsxWorkbook::addSheet(std::string_view name, const std::vector<XlsxColumn>& columns,
                            std::size_t frozenColumns) {
  if (!workbook_) throw XlsxError("the workbook is already finished");
  const std::string sheetName(name);
  sheet_ = workbook_add_worksheet(workbook_, sheetName.c_str());
  if (!sheet_) throw XlsxError("cannot add the sheet \"" + sheetName + "\"");
  if (columns.size() > LXW_COL_MAX) throw XlsxError("more columns than a sheet holds");
  columns_ = columns.size();
  row_ = 0;
  for (std::size_t k = 0; k < columns.size(); ++k) {
    // Wide enough for the name, the number or the caption's first line, within reason.
    const std::size_t wide =
        std::max({displayWidth(columns[k].name) + 2, std::size_t{10},
                  std::min<std::size_t>(displayWidth(columns[k].caption), 24)});
    const auto column = static_cast<lxw_col_t>(k);
    check(worksheet_set_column(sheet_, column, column,
                               static_cast<double>(std::min<std::size_t>(wide, 40)), nullptr),
          "cannot set a column's width");
  }
  // Row by row: a row once left is on disk and cannot be written again.
  for (std::size_t k = 0; k < columns.size(); ++k)
    check(worksheet_write_string(sheet_, 0, static_cast<lxw_col_t>(k),
                                 cellText(columns[k].caption).c_str(), header_),
          "cannot write the header");
  for (std::size_t k = 0; k < columns.size(); ++k)
    check(worksheet_write_string(sheet_, 1, static_cast<lxw_col_t>(k),
                                 cellText(columns[k].name).c_str(), names_),
          "cannot write the header");
  for (std::size_t k = 0; k < columns.size(); ++k) {
    const auto column = static_cast<lxw_col_t>(k);
    check(
        columns[k].unit.empty()
            ? worksheet_write_blank(sheet_, 2, column, units_)
            : worksheet_write_string(sheet_, 2, column, cellText(columns[k].unit).c_str(), units_),
        "cannot write the header");
  }
  worksheet_freeze_panes(sheet_, static_cast<lxw_row_t>(kHeaderRows),
                         static_cast<lxw_col_t>(std::min(frozenColumns, columns.size())));
  row_ = kHeaderRows;
}

lxw_worksheet* XlsxWorkbook::addBareSheet(std::string_view name) {
  if (!workbook_) throw XlsxError("the workbook is already finished");
  const std::string sheetName(name);
  sheet_ = workbook_add_worksheet(workbook_, sheetName.c_str());
  if (!sheet_) throw XlsxError("cannot add the sheet \"" + sheetName + "\"");
  columns_ = 0;
  row_ = 0;
  return sheet_;
}

lxw_format* XlsxWorkbook::addFormat() {
  if (!workbook_) throw XlsxError("the workbook is already finished");
  lxw_format* f = workbook_add_format(workbook_);
  if (!f) throw XlsxError("cannot add a cell format");
  return f;
}

void XlsxWorkbook::addRow(const std::vector<XlsxCell>& cells) {
  if (!sheet_) throw XlsxError("no sheet to write the row to");
  if (cells.size() > columns_) throw XlsxError("a row with more cells than the sheet has columns");
  if (row_ >= kMaxRows)
    throw XlsxError("a sheet holds at most " + std::to_string(kMaxRows) + " rows");
  const auto row = static_cast<lxw_row_t>(row_);
  for (std::size_t k = 0; k < cells.size(); ++k) {
    const XlsxCell& cell = cells[k];
    const auto column = static_cast<lxw_col_t>(k);
    switch (cell.kind) {
      case XlsxCell::Kind::Number:
        check(worksheet_write_number(sheet_, row, column, cell.number,
                                     format(cell.decimals, cell.red)),
              "cannot write a cell");
        break;
      case XlsxCell::Kind::Text:
        check(worksheet_write_string(sheet_, row, column, cell.text.c_str(),
                                     cell.red ? format(-1, true) : nullptr),
              "cannot write a cell");
        break;
      case XlsxCell::Kind::Empty:
        if (cell.red)
          check(worksheet_write_blank(sheet_, row, column, format(-1, true)),
                "cannot write a cell");
        break;
    }
  }
  ++row_;
}

void XlsxWorkbook::finish(const std::function<bool(std::string_view)>& write) {
  if (!workbook_) throw XlsxError("the workbook is already finished");
  lxw_workbook* workbook = workbook_;
  workbook_ = nullptr;  // closed below, whatever it returns
  check(workbook_close(workbook), "cannot finish the workbook");
  std::ifstream in(file_, std::ios::binary);
  if (!in)
    throw XlsxError("cannot read the finished workbook back (" + std::string(std::strerror(errno)) +
                    ")");
  std::vector<char> buffer(std::size_t{1} << 16);
  while (in) {
    in.read(buffer.data(), static_cast<std::streamsize>(buffer.size()));
    const auto got = static_cast<std::size_t>(in.gcount());
    if (got && !write(std::string_view(buffer.data(), got))) return;
  }
  if (in.bad()) throw XlsxError("cannot read the finished workbook back");
}

}  // namespace aph::study
