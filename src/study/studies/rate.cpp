#include "study/studies/rate.hpp"

#include <algorithm>
#include <sstream>

#include "model/text.hpp"
#include "study/outputs/results.hpp"

namespace aph::study {
namespace {

struct Row {
  std::string caption;
  std::vector<std::string> values;
  std::vector<bool> flagged;
};

struct Section {
  std::string heading;
  std::vector<Row> rows;
};

using Block = std::span<const RatedCase* const>;

// The window's flags and violations as the outputs show them: a settled margin is neither.
bool shownFlag(const RatedCase& c, Quantity q) {
  return c.run.window.rating().flagged(q) && !(c.marginSettled && q == Quantity::Margin);
}

unsigned shownViolations(const RatedCase& c) {
  const unsigned flags = violations(c.run.window.rating());
  return c.marginSettled ? flags & ~static_cast<unsigned>(kMarginBelow | kMarginAbove) : flags;
}

// The design checks of the batch tool, below the window's own fields.
Section checkSection(Block cases, const CheckSettings& settings) {
  std::vector<DesignChecks> checks;
  for (const RatedCase* c : cases) checks.push_back(designChecks(*c, settings));
  Section section{"设计校核", {}};
  const auto row = [&](std::string caption, auto value, auto flagged) {
    Row r{std::move(caption), {}, {}};
    for (const DesignChecks& c : checks) {
      r.values.push_back(value(c));
      r.flagged.push_back(flagged(c));
    }
    section.rows.push_back(std::move(r));
  };
  const auto never = [](const DesignChecks&) { return false; };
  for (const CheckColumn& column : kCheckColumns) {
    row(
        std::string(column.caption),
        [&](const DesignChecks& c) { return checkText(c, column.result); },
        [&](const DesignChecks& c) { return checkFlagged(c, column.result); });
    if (column.result == CheckResult::DewPointMargin)
      row(
          "要求露点裕量(K)",
          [](const DesignChecks& c) {
            return c.dewPoints.acid ? checkFigure(c.requiredMargin) : std::string();
          },
          never);
  }
  row(
      "容许热平衡偏差(±%)", [](const DesignChecks& c) { return checkFigure(c.balanceTolerance); },
      never);
  row(
      "物性取自物性表", [](const DesignChecks& c) { return tableSidesText(c); }, never);
  row(
      "烟气比热容依据",
      [](const DesignChecks& c) -> std::string {
        if (c.tableLawSpecificHeat) return "窗口物性表公式";
        if (c.flueGasStandardTable) return "标准烟气表";
        return c.flueGasProperties == PropertySource::Fields ? "输入值" : "";
      },
      never);
  return section;
}

std::vector<Section> sections(Block cases, const CheckSettings& settings) {
  std::vector<Section> out;
  for (FieldGroup group : kFieldGroups) {
    Section s{std::string(groupHeading(group)), {}};
    for (const FieldInfo& info : kFields) {
      if (info.group != group || info.role == FieldRole::Unused) continue;
      Row row{std::string(info.caption), {}, {}};
      for (const RatedCase* c : cases) {
        const ShownField& f = c->run.window.rating()[info.quantity];
        row.values.push_back(f.text);
        row.flagged.push_back(shownFlag(*c, info.quantity));
      }
      s.rows.push_back(std::move(row));
    }
    out.push_back(std::move(s));
  }

  // A dialog's fields as a section: its captions, and each case's texts.
  const auto dialogSection = [&](std::string title, DialogKind kind) {
    Section section{std::move(title), {}};
    for (const DialogFieldInfo& info : kDialogFields) {
      if (info.dialog != kind) continue;
      Row row{std::string(info.caption), {}, {}};
      for (const RatedCase* c : cases) {
        row.values.push_back(c->run.window.rating().dialogField(info.quantity).text);
        row.flagged.push_back(false);
      }
      section.rows.push_back(std::move(row));
    }
    return section;
  };
  out.push_back(dialogSection("可调系数", DialogKind::Tuning));
  const bool multiPass = std::any_of(cases.begin(), cases.end(), [](const RatedCase* c) {
    return c->run.window.rating().arrangement == Arrangement::MultiPass;
  });
  if (multiPass) out.push_back(dialogSection("折流", DialogKind::PassCount));
  out.push_back(checkSection(cases, settings));
  return out;
}

std::string statusText(const RunStatus& status) {
  if (status.completed) return "完成";
  if (status.messages.empty()) return "中止";
  std::string text = "中止：";
  for (std::size_t k = 0; k < status.messages.size(); ++k)
    text += (k ? " / " : "") + status.messages[k];
  return text;
}

}  // namespace

std::string csvField(std::string_view text) {
  std::string cell;
  if (!text.empty() && std::string_view("=+-@\t\r").find(text[0]) != std::string_view::npos &&
      !readWholeNumber(text)) {
    cell = "'";
  } else if (text.find_first_of(",\"\r\n") == std::string_view::npos) {
    return std::string(text);
  }
  cell += text;
  if (cell.find_first_of(",\"\r\n") == std::string::npos) return cell;
  std::string out = "\"";
  for (char c : cell) {
    if (c == '"') out += '"';
    out += c;
  }
  return out + "\"";
}

std::string tableCell(std::string_view text, std::size_t width) {
  std::string shown;
  for (std::size_t k = 0; k < text.size(); ++k) {
    const auto c = static_cast<unsigned char>(text[k]);
    const bool c1 = c == 0xC2 && k + 1 < text.size() &&
                    static_cast<unsigned char>(text[k + 1]) >= 0x80 &&
                    static_cast<unsigned char>(text[k + 1]) <= 0x9F;
    if (c < 0x20 || c == 0x7F || c1) {
      shown += "\uFFFD";
      k += c1;
    } else {
      shown += static_cast<char>(c);
    }
  }
  if (displayWidth(shown) <= width) return shown;
  // Whole characters up to one column short of the width, then the mark.
  std::string cut;
  std::size_t used = 0;
  for (std::size_t k = 0; k < shown.size();) {
    std::size_t length = 1;
    while (k + length < shown.size() &&
           (static_cast<unsigned char>(shown[k + length]) & 0xC0) == 0x80)
      ++length;
    const std::string_view character(shown.data() + k, length);
    const std::size_t w = displayWidth(character);
    if (used + w + 1 > width) break;
    cut += character;
    used += w;
    k += length;
  }
  return cut + "…";
}

std::vector<RatedCase> rateAll(const std::vector<Case>& cases) {
  std::vector<RatedCase> out;
  out.reserve(cases.size());
  for (const Case& c : cases) out.push_back({c, rateCase(c)});
  return out;
}

DesignChecks designChecks(const RatedCase& rated, const CheckSettings& settings) {
  return designChecks(rated.input, rated.run.window.rating(), settings, rated.field);
}

namespace {

// One table of up to kTableBlock cases side by side, with the status of each below it.
void tableBlock(std::ostream& out, Block cases, bool color, bool& anyFlag, bool& anyCheckFlag,
                TableLawSpan& law, const CheckSettings& settings) {
  const std::vector<Section> body = sections(cases, settings);
  constexpr std::size_t captionWidth = 34;
  std::vector<std::size_t> widths;
  for (std::size_t k = 0; k < cases.size(); ++k) {
    std::size_t w = std::max<std::size_t>(
        14, displayWidth(tableCell(cases[k]->input.name, kTableCellWidth)) + 2);
    for (const Section& s : body)
      for (const Row& r : s.rows)
        w = std::max(w, displayWidth(tableCell(r.values[k], kTableCellWidth)) + 3);
    widths.push_back(w);
  }
  auto line = [&](std::string_view caption, const std::vector<std::string>& values,
                  const std::vector<bool>& flagged) {
    out << "  " << padToWidth(caption, captionWidth);
    for (std::size_t k = 0; k < values.size(); ++k) {
      const std::string text = values[k].empty() ? "—" : tableCell(values[k], kTableCellWidth);
      const bool flag = !flagged.empty() && flagged[k];
      std::string cell = padToWidth(flag ? text + " !" : text, widths[k]);
      if (flag && color) cell = "\x1b[31m" + cell + "\x1b[0m";
      out << cell;
    }
    out << "\n";
  };
  std::vector<std::string> names, arrangements, modes;
  for (const RatedCase* c : cases) {
    names.push_back(c->input.name);
    arrangements.emplace_back(arrangementCaption(c->run.window.rating()));
    modes.emplace_back(flowModeCaption(c->run.window.rating()));
  }
  line("工况", names, {});
  line("流动形式", arrangements, {});
  line("流量给定", modes, {});
  for (const Section& s : body) {
    out << "\n" << s.heading << "\n";
    for (const Row& r : s.rows) line(r.caption, r.values, r.flagged);
  }
  out << "\n计算结果\n";
  for (const RatedCase* c : cases) {
    out << "  " << tableCell(c->input.name, std::string::npos) << " ("
        << tableCell(c->input.file, std::string::npos) << "): " << statusText(c->run.status)
        << "\n";
    anyFlag |= shownViolations(*c) != 0;
    const DesignChecks checks = designChecks(*c, settings);
    anyCheckFlag |= checks.violations != 0;
    law.add(checks);
  }
}

constexpr std::string_view kTableTitle = "板式空预器热力计算\n";
constexpr std::string_view kFlagNote = "\n带 ! 的数值超出限值（窗口中以红色显示）\n";
constexpr std::string_view kCheckNote =
    "设计校核中带 ! 的数值未满足要求：冷端露点裕量低于要求，或热平衡偏差超出容许值\n";

void flagNotes(std::ostream& out, bool anyFlag, bool anyCheckFlag, const TableLawSpan& law) {
  if (anyFlag) out << kFlagNote;
  if (anyCheckFlag) out << (anyFlag ? "" : "\n") << kCheckNote;
  if (const std::string note = law.footnote(); !note.empty())
    out << (anyFlag || anyCheckFlag ? "" : "\n") << note;
}

nlohmann::ordered_json jsonItem(const RatedCase& c, const CheckSettings& settings) {
  const auto& keys = caseKeys();
  const Rating& r = c.run.window.rating();
  nlohmann::ordered_json item;
  item["file"] = c.input.file;
  if (!c.input.encoding.empty()) item["encoding"] = c.input.encoding;
  item["case"] = c.input.name;
  item["status"] = c.run.status.completed ? "ok" : "stopped";
  item["messages"] = c.run.status.messages;
  item["arrangement"] = arrangementKey(r);
  item["flow_mode"] = flowModeKey(r);
  nlohmann::ordered_json inputs = nlohmann::ordered_json::object();
  for (std::size_t k = 0; k < keys.size(); ++k)
    if (c.input.values[k]) inputs[std::string(keys[k].path)] = *c.input.values[k];
  item["inputs"] = std::move(inputs);
  nlohmann::ordered_json results = nlohmann::ordered_json::object();
  for (const ResultColumn& column : resultColumns()) {
    const ShownField& f = r[column.quantity];
    results[std::string(column.name)] = {
        {"text", f.text}, {"unit", column.unit}, {"flagged", shownFlag(c, column.quantity)}};
  }
  const DesignChecks checks = designChecks(c, settings);
  for (const CheckColumn& column : kCheckColumns)
    results[std::string(column.name)] = {{"text", checkText(checks, column.result)},
                                         {"unit", column.unit},
                                         {"flagged", checkFlagged(checks, column.result)}};
  item["results"] = std::move(results);
  item["violations"] = violationNames(shownViolations(c) | checks.violations);
  item["property_sources"] = {{"flue_gas", propertySourceKey(checks, true)},
                              {"air", propertySourceKey(checks, false)}};
  nlohmann::ordered_json notes = nlohmann::ordered_json::array();
  if (const std::string note = tableLawNote(checks); !note.empty()) notes.push_back(note);
  item["notes"] = std::move(notes);
  item["limits"] = {{"dew_point_margin", checks.requiredMargin},
                    {"balance_tolerance", checks.balanceTolerance}};
  return item;
}

// The input keys of the CSV: every key typed into a field, then the check keys.
std::vector<std::size_t> inputKeys() {
  std::vector<std::size_t> keys;
  for (std::size_t k = 0; k < caseKeys().size(); ++k)
    if (isNumericKey(k)) keys.push_back(k);
  for (std::size_t k = 0; k < caseKeys().size(); ++k)
    if (isCheckKey(k)) keys.push_back(k);
  return keys;
}

// One case as the texts of the CSV's columns, each with its flag.
struct CsvCells {
  std::vector<std::string> texts;
  std::vector<bool> flagged;
  std::size_t results = 0;  // where the results begin
};

CsvCells csvCells(const RatedCase& c, const CheckSettings& settings) {
  const Rating& r = c.run.window.rating();
  const DesignChecks checks = designChecks(c, settings);
  std::string message;
  for (const std::string& m : c.run.status.messages) message += (message.empty() ? "" : " / ") + m;
  CsvCells cells;
  cells.texts = {c.input.file,
                 c.input.name,
                 c.run.status.completed ? "ok" : "stopped",
                 message,
                 violationText(shownViolations(c) | checks.violations),
                 std::string(arrangementKey(r)),
                 std::string(flowModeKey(r))};
  for (const std::size_t k : inputKeys()) cells.texts.push_back(c.input.inputText(k));
  cells.flagged.assign(cells.texts.size(), false);
  cells.results = cells.texts.size();
  for (const ResultColumn& column : resultColumns()) {
    cells.texts.push_back(r.text(column.quantity));
    cells.flagged.push_back(shownFlag(c, column.quantity));
  }
  for (const CheckColumn& column : kCheckColumns) {
    cells.texts.push_back(checkText(checks, column.result));
    cells.flagged.push_back(checkFlagged(checks, column.result));
  }
  cells.texts.push_back(tableLawNote(checks));
  cells.flagged.push_back(false);
  return cells;
}

std::string csvHeader() {
  std::string out;
  for (const XlsxColumn& column : rateColumns())
    out.append(out.empty() ? "" : ",").append(column.name);
  return out + "\n";
}

std::string csvRow(const RatedCase& c, const CheckSettings& settings) {
  const CsvCells cells = csvCells(c, settings);
  std::string out;
  for (std::size_t k = 0; k < cells.texts.size(); ++k) {
    if (k) out += ',';
    // The status, violations and buttons are plain words of this program: never quoted.
    out += k == 2 || k == 4 || k == 5 || k == 6 ? cells.texts[k] : csvField(cells.texts[k]);
  }
  return out + "\n";
}

}  // namespace

std::vector<XlsxColumn> rateColumns() {
  std::vector<XlsxColumn> columns = {{"文件", "file", ""},         {"工况", "case", ""},
                                     {"状态", "status", ""},       {"提示", "message", ""},
                                     {"超限", "violations", ""},   {"流动形式", "arrangement", ""},
                                     {"流量给定", "flow_mode", ""}};
  // An input is named apart from the result of the same key (the density typed in and the one
  // the run shows), so that no two columns share a name or a caption.
  for (const std::size_t k : inputKeys()) {
    const CaseKey& key = caseKey(k);
    columns.push_back({std::string(kInputCaption) + sideCaption(key.path, key.caption),
                       std::string(kInputColumnPrefix) + std::string(key.path),
                       std::string(key.unit)});
  }
  for (const ResultColumn& column : resultColumns())
    columns.push_back({sideCaption(column.name, fieldInfo(column.quantity).caption),
                       std::string(column.name), std::string(column.unit)});
  for (const CheckColumn& column : kCheckColumns)
    columns.push_back(
        {std::string(column.caption), std::string(column.name), std::string(column.unit)});
  columns.push_back({"物性说明", "note", ""});
  return columns;
}

std::vector<XlsxCell> rateCells(const RatedCase& rated, const CheckSettings& checks) {
  const CsvCells cells = csvCells(rated, checks);
  std::vector<XlsxCell> out;
  out.reserve(cells.texts.size());
  for (std::size_t k = 0; k < cells.texts.size(); ++k) {
    // Inputs and results are what the window's fields hold: numbers where they hold one.
    const bool field = k >= 7;
    out.push_back(field ? XlsxCell::shown(cells.texts[k], cells.flagged[k])
                        : XlsxCell::label(cells.texts[k], cells.flagged[k]));
  }
  return out;
}

std::string rateTable(const std::vector<RatedCase>& cases, bool color,
                      const CheckSettings& settings) {
  std::ostringstream out;
  std::vector<const RatedCase*> pointers;
  for (const RatedCase& c : cases) pointers.push_back(&c);
  out << kTableTitle;
  bool anyFlag = false, anyCheckFlag = false;
  TableLawSpan law;
  for (std::size_t k = 0; k < pointers.size(); k += kTableBlock) {
    if (k) out << "\n";
    tableBlock(out, Block(pointers).subspan(k, std::min(kTableBlock, pointers.size() - k)), color,
               anyFlag, anyCheckFlag, law, settings);
  }
  flagNotes(out, anyFlag, anyCheckFlag, law);
  return out.str();
}

nlohmann::ordered_json rateJson(const std::vector<RatedCase>& cases,
                                const CheckSettings& settings) {
  nlohmann::ordered_json list = nlohmann::ordered_json::array();
  for (const RatedCase& c : cases) list.push_back(jsonItem(c, settings));
  return list;
}

std::string rateCsv(const std::vector<RatedCase>& cases, const CheckSettings& settings) {
  std::string out = csvHeader();
  for (const RatedCase& c : cases) out += csvRow(c, settings);
  return out;
}

void writeJsonListItem(std::ostream& out, const nlohmann::ordered_json& item, bool first) {
  const std::string text =
      item.dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::replace);
  std::string indented = first ? "[\n  " : ",\n  ";
  indented.reserve(text.size() + text.size() / 8);
  for (char c : text) {
    indented += c;
    if (c == '\n') indented += "  ";
  }
  out << indented;
}

RateWriter::RateWriter(std::ostream& out, RateFormat format, bool color,
                       const CheckSettings& checks, bool bom)
    : out_(out), format_(format), color_(color), checks_(checks), bom_(bom) {
  if (format_ == RateFormat::Xlsx) {
    workbook_ = std::make_unique<XlsxWorkbook>();
    workbook_->addSheet("rate", rateColumns(), 2);
  }
}

RateWriter::~RateWriter() = default;

void RateWriter::add(RatedCase rated) {
  switch (format_) {
    case RateFormat::Table:
      block_.push_back(std::move(rated));
      if (block_.size() == kTableBlock) flushTable();
      break;
    case RateFormat::Json:
      writeJsonListItem(out_, jsonItem(rated, checks_), count_ == 0);
      break;
    case RateFormat::Csv:
      if (!count_) out_ << (bom_ ? kUtf8Bom : "") << csvHeader();
      out_ << csvRow(rated, checks_);
      break;
    case RateFormat::Xlsx:
      workbook_->addRow(rateCells(rated, checks_));
      break;
  }
  ++count_;
}

void RateWriter::flushTable() {
  if (block_.empty()) return;
  std::vector<const RatedCase*> pointers;
  for (const RatedCase& c : block_) pointers.push_back(&c);
  out_ << (titled_ ? std::string_view("\n") : kTableTitle);
  titled_ = true;
  tableBlock(out_, pointers, color_, anyFlag_, anyCheckFlag_, law_, checks_);
  block_.clear();
}

void RateWriter::finish() {
  switch (format_) {
    case RateFormat::Table:
      flushTable();
      if (!titled_) out_ << kTableTitle;
      flagNotes(out_, anyFlag_, anyCheckFlag_, law_);
      break;
    case RateFormat::Json:
      out_ << (count_ ? "\n]\n" : "[]\n");
      break;
    case RateFormat::Csv:
      if (!count_) out_ << (bom_ ? kUtf8Bom : "") << csvHeader();
      break;
    case RateFormat::Xlsx:
      workbook_->finish([&](std::string_view bytes) {
        out_.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        return static_cast<bool>(out_);
      });
      break;
  }
}

}  // namespace aph::study
