#include "study/outputs/case_template.hpp"

#include <xlsxwriter.h>

#include <algorithm>
#include <vector>

#include "model/fields.hpp"
#include "model/text.hpp"
#include "model/window.hpp"
#include "study/case_input/case_table.hpp"
#include "study/outputs/results.hpp"
#include "study/outputs/xlsx.hpp"
#include "study/studies/rate.hpp"

namespace aph::study {
namespace {

constexpr std::string_view kTitle = "板式空预器热力计算 工况表";
constexpr std::string_view kNameCaption = "工况名称";
// Rows below the load cases that keep the drop-down lists, for the cases still to be added.
constexpr std::size_t kSpareRows = 500;

// What a column's cells hold: a number typed into a field (or read by the design checks), one of
// a few words, or the load case's name.
bool holdsNumber(std::size_t column) {
  return column > 0 && (isNumericKey(column - 1) || isCheckKey(column - 1));
}

// The words a key takes (empty for a key of numbers or a name); blank takes the window's own.
std::vector<std::string> choices(std::size_t column) {
  std::vector<std::string> words;
  if (column == 0) return words;
  const CaseKey& key = caseKey(column - 1);
  if (key.kind == KeyKind::Arrangement || key.kind == KeyKind::FlowMode)
    for (const OptionInfo& option : kOptions)
      if (isArrangement(option.id) == (key.kind == KeyKind::Arrangement))
        words.emplace_back(option.key);
  if (key.kind == KeyKind::Properties) {
    words.emplace_back(kWindowTable);
    if (key.flueGasSide) words.emplace_back(kStandardTable);
  }
  return words;
}

// "烟气侧进口温度(℃)": the caption beside the field, its side and its unit.
std::string caption(std::size_t column) {
  if (column == 0) return std::string(kNameCaption);
  const CaseKey& key = caseKey(column - 1);
  std::string text = sideCaption(key.path, key.caption);
  // The window's captions state their unit in brackets; a key's caption without one gets it.
  if (!key.unit.empty() && text.find('(') == std::string::npos &&
      text.find("（") == std::string::npos)
    text += "(" + std::string(key.unit) + ")";
  return text;
}

// The words of a choice with what each means, for the sheet "说明".
std::string choiceNote(std::size_t column) {
  const CaseKey& key = caseKey(column - 1);
  std::string note;
  if (key.kind == KeyKind::Arrangement || key.kind == KeyKind::FlowMode) {
    note = key.kind == KeyKind::Arrangement ? "流动形式，窗口中的按钮：" : "流量给定方式：";
    bool first = true;
    for (const OptionInfo& option : kOptions) {
      if (isArrangement(option.id) != (key.kind == KeyKind::Arrangement)) continue;
      note += (first ? "" : "、") + std::string(option.key) + "（" +
              std::string(option.shortCaption) + "）";
      first = false;
    }
    return note + "。空白：窗口的默认选择";
  }
  note = "table：物性取自程序的物性表（四项物性留空）";
  if (key.flueGasSide) note += "；standard-table：按标准烟气物性表填入烟气的四项物性";
  return note + "。空白：使用本行填写的物性数值";
}

std::string columnNote(std::size_t column) {
  if (column == 0) return "工况的名称，在结果中标明该工况";
  const CaseKey& key = caseKey(column - 1);
  switch (key.kind) {
    case KeyKind::Field:
      return "窗口中该输入框的数值。空白：窗口的默认值";
    case KeyKind::Tuning:
      return "可调系数对话框中的系数。空白：对话框的默认值";
    case KeyKind::Passes:
      return "多流程的流程数（仅用于 multi-pass）。空白：对话框的默认值";
    case KeyKind::Check:
      return "设计校核的输入，不填入窗口。空白：不作该项校核或取默认要求";
    case KeyKind::Arrangement:
    case KeyKind::FlowMode:
    case KeyKind::Properties:
      return choiceNote(column);
  }
  return {};
}

constexpr std::string_view kNotes[] = {
    "第 1、2 行（标题、名称与单位）可自由改写；第 3 行是工况文件的键，程序按它识别各列，请勿改动。",
    "第 3 行以下每行一个工况；空白单元格表示该项取窗口的默认值，与 JSON 工况文件中省略该键相同。",
    "数值按窗口中的单位填写；公式须在电子表格程序中保存过计算结果；请勿合并表格中的单元格。",
    "各列的含义：",
};

}  // namespace

Case windowDefaultCase() {
  const MainWindow window;
  const WindowCase shown = window.windowCase();
  Case c;
  c.name = "工况1";
  for (std::size_t k = 0; k < caseKeys().size(); ++k)
    if (isNumericKey(k))
      if (std::string text = c.inputText(k); !text.empty()) c.set(caseKey(k).path, std::move(text));
  // The window opens with no button pressed; a table to fill in starts with the first of each
  // group (counterflow, volume flows), so that its row rates as it stands.
  const auto first = [](bool arrangement) {
    for (const OptionInfo& option : kOptions)
      if (isArrangement(option.id) == arrangement) return std::string(option.key);
    return std::string();
  };
  c.set("arrangement", shown.arrangement ? std::string(*shown.arrangement) : first(true));
  c.set("flow_mode", shown.flowMode ? std::string(*shown.flowMode) : first(false));
  return c;
}

std::size_t templateColumns() {
  return caseKeys().size() + 1;
}

std::string_view templateKey(std::size_t column) {
  return column == 0 ? std::string_view("name") : caseKey(column - 1).path;
}

std::string templateCellText(const Case& c, std::size_t column) {
  if (column == 0) return c.name;
  const auto& value = c.values[column - 1];
  return value ? *value : std::string();
}

CaseTemplateWorkbook::CaseTemplateWorkbook() : book_(std::make_unique<XlsxWorkbook>()) {
  XlsxWorkbook& book = *book_;
  lxw_worksheet* sheet = book.addBareSheet(kTemplateSheet);
  lxw_format* title = book.addFormat();
  format_set_bold(title);
  format_set_font_size(title, 14);
  lxw_format* keys = book.addFormat();
  format_set_font_color(keys, 0x6E6E6E);
  format_set_italic(keys);
  format_set_bottom(keys, LXW_BORDER_THIN);
  lxw_format* text = book.addFormat();
  format_set_num_format(text, "@");
  for (std::size_t k = 0; k < templateColumns(); ++k) {
    const auto column = static_cast<lxw_col_t>(k);
    const std::size_t wide = std::max({displayWidth(templateKey(k)) + 2, std::size_t{12},
                                       std::min<std::size_t>(displayWidth(caption(k)), 24)});
    book.check(worksheet_set_column(sheet, column, column, static_cast<double>(wide),
                                    holdsNumber(k) ? nullptr : text),
               "cannot set a column's width");
  }
  book.check(worksheet_write_string(sheet, 0, 0, std::string(kTitle).c_str(), title),
             "cannot write the title");
  for (std::size_t k = 0; k < templateColumns(); ++k)
    book.check(worksheet_write_string(sheet, 1, static_cast<lxw_col_t>(k), caption(k).c_str(),
                                      book.headerFormat()),
               "cannot write the captions");
  for (std::size_t k = 0; k < templateColumns(); ++k)
    book.check(worksheet_write_string(sheet, 2, static_cast<lxw_col_t>(k),
                                      std::string(templateKey(k)).c_str(), keys),
               "cannot write the keys");
  worksheet_freeze_panes(sheet, static_cast<lxw_row_t>(kTemplateHeaderRows), 1);
  sheet_ = sheet;
}

CaseTemplateWorkbook::~CaseTemplateWorkbook() = default;

void CaseTemplateWorkbook::add(const Case& c) {
  if (kTemplateHeaderRows + cases_ >= XlsxWorkbook::kMaxRows)
    throw XlsxError("a sheet holds at most " + std::to_string(XlsxWorkbook::kMaxDataRows) +
                    " load cases");
  XlsxWorkbook& book = *book_;
  const auto row = static_cast<lxw_row_t>(kTemplateHeaderRows + cases_);
  for (std::size_t k = 0; k < templateColumns(); ++k) {
    const std::string value = templateCellText(c, k);
    if (value.empty()) continue;
    const auto column = static_cast<lxw_col_t>(k);
    // A number goes in as a number, shown with the decimals it was given, when reading the cell
    // back gives the same text; any other text stays a text.
    const XlsxCell cell = XlsxCell::shown(value);
    if (holdsNumber(k) && cell.kind == XlsxCell::Kind::Number && numberText(cell.number) == value)
      book.check(worksheet_write_number(sheet_, row, column, cell.number,
                                        book.decimalsFormat(cell.decimals)),
                 "cannot write a cell");
    else
      book.check(worksheet_write_string(sheet_, row, column, cellText(value).c_str(), nullptr),
                 "cannot write a cell");
  }
  ++cases_;
}

void CaseTemplateWorkbook::finish(const std::function<bool(std::string_view)>& write) {
  XlsxWorkbook& book = *book_;
  // The drop-down lists reach some way below the load cases, for the rows still to be filled.
  const auto firstRow = static_cast<lxw_row_t>(kTemplateHeaderRows);
  const auto lastRow = static_cast<lxw_row_t>(
      std::min<std::size_t>(kTemplateHeaderRows + cases_ + kSpareRows, XlsxWorkbook::kMaxRows) - 1);
  for (std::size_t k = 0; k < templateColumns(); ++k) {
    std::vector<std::string> words = choices(k);
    if (words.empty()) continue;
    std::vector<char*> list;
    for (std::string& word : words) list.push_back(word.data());
    list.push_back(nullptr);
    std::string allowed;
    for (const std::string& word : words) allowed += (allowed.empty() ? "" : "、") + word;
    std::string message = "请从列表中选择 " + allowed + "，或留空";
    std::string errorTitle = "输入有误";
    lxw_data_validation validation{};
    validation.validate = LXW_VALIDATION_TYPE_LIST;
    validation.value_list = list.data();
    validation.ignore_blank = LXW_VALIDATION_ON;
    validation.error_type = LXW_VALIDATION_ERROR_TYPE_STOP;
    validation.error_title = errorTitle.data();
    validation.error_message = message.data();
    const auto column = static_cast<lxw_col_t>(k);
    book.check(
        worksheet_data_validation_range(sheet_, firstRow, column, lastRow, column, &validation),
        "cannot add a drop-down list");
  }

  lxw_worksheet* notes = book.addBareSheet(kTemplateNotesSheet);
  lxw_format* bold = book.addFormat();
  format_set_bold(bold);
  lxw_format* wrap = book.addFormat();
  format_set_text_wrap(wrap);
  format_set_align(wrap, LXW_ALIGN_VERTICAL_TOP);
  const double widths[] = {6, 30, 26, 10, 70};
  for (lxw_col_t k = 0; k < 5; ++k)
    book.check(worksheet_set_column(notes, k, k, widths[k], k == 4 ? wrap : nullptr),
               "cannot set a column's width");
  lxw_row_t row = 0;
  for (const std::string_view note : kNotes)
    book.check(worksheet_write_string(notes, row++, 0, std::string(note).c_str(), nullptr),
               "cannot write the notes");
  const char* headings[] = {"列", "键", "名称", "单位", "说明"};
  for (lxw_col_t k = 0; k < 5; ++k)
    book.check(worksheet_write_string(notes, row, k, headings[k], bold), "cannot write the notes");
  ++row;
  for (std::size_t k = 0; k < templateColumns(); ++k, ++row) {
    const std::string unit = k == 0 ? std::string() : std::string(caseKey(k - 1).unit);
    const std::string texts[] = {columnName(static_cast<std::uint32_t>(k + 1)),
                                 std::string(templateKey(k)), caption(k), unit, columnNote(k)};
    for (lxw_col_t j = 0; j < 5; ++j)
      if (!texts[j].empty())
        book.check(worksheet_write_string(notes, row, j, texts[j].c_str(), j == 4 ? wrap : nullptr),
                   "cannot write the notes");
  }
  book.finish(write);
}

std::string caseTemplateCsvHeader() {
  std::string out(kUtf8Bom);
  out += csvField(kTitle) + "\n";
  for (std::size_t k = 0; k < templateColumns(); ++k) out += (k ? "," : "") + csvField(caption(k));
  out += "\n";
  for (std::size_t k = 0; k < templateColumns(); ++k)
    out += (k ? "," : "") + std::string(templateKey(k));
  return out + "\n";
}

std::string caseTemplateCsvRow(const Case& c) {
  std::string out;
  for (std::size_t k = 0; k < templateColumns(); ++k)
    out += (k ? "," : "") + csvField(templateCellText(c, k));
  return out + "\n";
}

}  // namespace aph::study
