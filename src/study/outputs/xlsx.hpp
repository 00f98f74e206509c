// Excel workbooks of the batch tool's outputs: each command output a sheet with a frozen header
// (caption, name and unit of every column), numbers as numbers with the decimals the window
// shows, texts only where a text stands, and the values the window shows in red in red. Rows
// stream to disk as they come (memory stays flat however long the sheet), and every call into
// the writer is checked: a failure is an XlsxError with the reason.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

struct lxw_workbook;
struct lxw_worksheet;
struct lxw_format;

namespace aph::study {

class XlsxError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

struct XlsxColumn {
  std::string caption;  // "空气侧进口温度(℃)"
  std::string name;     // "air.inlet_temperature", as in CSV and JSON
  std::string unit;     // "℃"; empty: none
};

struct XlsxCell {
  enum class Kind : std::uint8_t { Empty, Number, Text };
  Kind kind = Kind::Empty;
  double number = 0;
  int decimals = -1;  // the decimals shown; -1: as the spreadsheet sees fit
  std::string text;
  bool red = false;

  // What a field or a CSV cell shows: a number when the text is a number as a whole (with as
  // many decimals as it shows), the text otherwise, nothing when it is empty.
  static XlsxCell shown(std::string_view text, bool red = false);
  // Always a text (names, messages, statuses), even one that looks like a number.
  static XlsxCell label(std::string_view text, bool red = false);
};

class XlsxWorkbook {
 public:
  // A sheet's rows, the three header rows included.
  static constexpr std::size_t kMaxRows = 1'048'576;
  static constexpr std::size_t kHeaderRows = 3;
  static constexpr std::size_t kMaxDataRows = kMaxRows - kHeaderRows;

  // Starts a workbook in a private temporary folder.
  XlsxWorkbook();
  ~XlsxWorkbook();
  XlsxWorkbook(const XlsxWorkbook&) = delete;
  XlsxWorkbook& operator=(const XlsxWorkbook&) = delete;

  // A new sheet (at most 31 characters, none of []:*?/\) headed by its columns, the header and
  // the first `frozenColumns` columns frozen. Rows then go to this sheet.
  void addSheet(std::string_view name, const std::vector<XlsxColumn>& columns,
                std::size_t frozenColumns = 0);
  // The next row of the current sheet; more cells than columns are refused.
  void addRow(const std::vector<XlsxCell>& cells);
  std::size_t rows() const { return row_ > kHeaderRows ? row_ - kHeaderRows : 0; }

  // Finishes the file and hands its bytes to `write`, piece by piece, until it returns false.
  void finish(const std::function<bool(std::string_view)>& write);

  // For sheets of another layout (the case template): a sheet without the header, made
  // current and written through the writer's own calls; formats for its cells; and the check
  // of each call (an XlsxError with `what` and the writer's reason).
  lxw_worksheet* addBareSheet(std::string_view name);
  lxw_format* addFormat();
  lxw_format* decimalsFormat(int decimals) { return format(decimals, false); }
  lxw_format* headerFormat() const { return header_; }
  void check(int error, const char* what) const;

 private:
  lxw_format* format(int decimals, bool red);
  lxw_workbook* workbook_ = nullptr;
  lxw_worksheet* sheet_ = nullptr;
  lxw_format* header_ = nullptr;
  lxw_format* names_ = nullptr;
  lxw_format* units_ = nullptr;
  std::map<std::pair<int, bool>, lxw_format*> formats_;
  std::size_t columns_ = 0;
  std::size_t row_ = 0;
  std::string folder_, file_;
};

// A text fit for a cell: control characters and bytes that are not UTF-8 shown as "�", at most
// 32767 characters (cut with "…").
std::string cellText(std::string_view text);

}  // namespace aph::study
