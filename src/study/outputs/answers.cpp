#include "study/outputs/answers.hpp"

#include <cmath>
#include <limits>

#include "model/text.hpp"
#include "study/io/files.hpp"
#include "study/outputs/number_text.hpp"
#include "study/studies/sweep.hpp"

namespace aph::study {
namespace {

using json = nlohmann::ordered_json;

json number(const std::optional<double>& v) {
  if (v && std::isfinite(*v)) return *v;
  return nullptr;
}

json point(const GoalPoint& p) {
  return {{"value", p.text.empty() ? json(nullptr) : json(p.value)}, {"result", number(p.result)}};
}

// rate's item for the rating: its JSON list holds one.
json ratingItem(const RatedCase& rated, const CheckSettings& checks) {
  return rateJson({rated}, checks).at(0);
}

// rate's CSV for the rating: its header and its row.
std::pair<std::string, std::string> ratingCsv(const RatedCase& rated,
                                              const CheckSettings& checks = {}) {
  const std::string both = rateCsv({rated}, checks);
  const auto end = both.find('\n');
  return {both.substr(0, end), both.substr(end + 1)};
}

std::string csvNumber(const std::optional<double>& v) {
  return v && std::isfinite(*v) ? gridText(*v) : std::string();
}

// A file path in a heading, whole however long (it tells which file the answer belongs to), with
// control characters shown as the table shows them.
std::string wholePath(const std::string& file) {
  return tableCell(file, std::numeric_limits<std::size_t>::max());
}

constexpr std::size_t kLoadWidth = 8, kStatusWidth = 13;

std::size_t columnWidth(const PointColumn& c) {
  return std::max<std::size_t>(
      12, displayWidth(std::string(c.caption) + "(" + std::string(c.unit) + ")") + 2);
}

std::string verdictStatus(const RunStatus& status) {
  std::string text;
  for (const std::string& m : status.messages) text += (text.empty() ? "" : " / ") + m;
  return text;
}

}  // namespace

json goalSeekJson(const GoalSeekAnswer& a, const CheckSettings& checks) {
  json item = ratingItem(a.rating, checks);
  json s;
  s["key"] = std::string(caseKey(a.key).path);
  s["value"] = a.answer.text.empty() ? json(nullptr) : json(a.answer.value);
  s["result"] = number(a.answer.result);
  s["result_name"] = a.resultName;
  s["condition"] = conditionText(a.condition);
  s["target"] = a.target;
  s["bracket"] = json::array({a.low.value, a.high.value});
  s["evaluations"] = a.evaluations;
  s["status"] = statusName(a.status);
  s["tolerance"] = a.tolerance;
  if (a.status == SolutionStatus::Grid)
    s["neighbours"] = json::array({point(a.low), point(a.high)});
  if (a.lowest) s["lowest"] = point(*a.lowest);
  if (a.highest) s["highest"] = point(*a.highest);
  if (a.stoppedCount) {
    s["stopped_at"] = a.stoppedAt;
    s["stopped_count"] = a.stoppedCount;
    s["stop_message"] = a.stopMessage;
    json stops = json::array();
    for (const StopGroup& g : a.stops)
      stops.push_back(
          {{"message", g.message}, {"stopped", g.stopped}, {"count", g.count}, {"at", g.at}});
    s["stops"] = std::move(stops);
  }
  item["solution"] = std::move(s);
  return item;
}

json offDesignJson(const OffDesignAnswer& a, const CheckSettings& checks) {
  json item = ratingItem(a.rating, checks);
  json s;
  s["flue_gas.outlet_temperature"] = number(a.flueGasOutlet);
  s["air.outlet_temperature"] = number(a.airOutlet);
  s["margin"] = number(a.margin);
  s["heat_balance"] = number(a.heatBalance);
  s["evaluations"] = a.evaluations;
  s["status"] = statusName(a.status);
  if (!a.reason.empty()) s["reason"] = a.reason;
  json others = json::array();
  for (const OffDesignPair& p : a.others)
    others.push_back({{"flue_gas.outlet_temperature", p.flueGasOutlet},
                      {"air.outlet_temperature", p.airOutlet},
                      {"margin", p.margin},
                      {"heat_balance", p.heatBalance}});
  s["other_answers"] = std::move(others);
  item["solution"] = std::move(s);
  if (a.load) item["load"] = *a.load;
  return item;
}

std::string goalSeekCsvHeader() {
  return "solution.status,solution.key,solution.value,solution.result_name,solution.result,"
         "solution.condition,solution.target,solution.bracket_low,solution.bracket_high,solution."
         "evaluations,"
         "solution.message," +
         ratingCsv(RatedCase{}).first + "\n";
}

// Each reason the result could not be had, with how many values it holds for.
std::string goalSeekMessage(const GoalSeekAnswer& a) {
  std::string out;
  for (const StopGroup& g : a.stops) {
    const std::string values =
        std::to_string(g.count) + " value" + (g.count == 1 ? "" : "s") + " tried";
    out += (out.empty() ? "" : "; ") +
           (g.stopped ? "the calculation stops at " + values + ": " + g.message
                      : g.message + " at " + values);
  }
  return out;
}

std::string goalSeekCsvRow(const GoalSeekAnswer& a, const CheckSettings& checks) {
  const std::string message = goalSeekMessage(a);
  std::string row = std::string(statusName(a.status)) + "," + std::string(caseKey(a.key).path) +
                    "," + a.answer.text + "," + a.resultName + "," + csvNumber(a.answer.result) +
                    "," + std::string(conditionText(a.condition)) + "," + gridText(a.target) + "," +
                    a.low.text + "," + a.high.text + "," + std::to_string(a.evaluations) + "," +
                    csvField(message) + ",";
  return row + ratingCsv(a.rating, checks).second;
}

std::string offDesignCsvHeader(bool loads) {
  return std::string(loads ? "load," : "") +
         "solution.status,solution.flue_gas.outlet_temperature,solution.air.outlet_temperature,"
         "solution.margin,solution.heat_balance,solution.evaluations,solution.reason,"
         "solution.other_answers," +
         ratingCsv(RatedCase{}).first + "\n";
}

std::string offDesignCsvRow(const OffDesignAnswer& a, bool loads, const CheckSettings& checks) {
  std::string row = loads ? csvNumber(a.load) + "," : "";
  row += std::string(statusName(a.status)) + "," + a.flueGasOutletText + "," + a.airOutletText +
         "," + csvNumber(a.margin) + "," + csvNumber(a.heatBalance) + "," +
         std::to_string(a.evaluations) + "," + csvField(a.reason) + "," +
         csvField(otherPairsText(a)) + ",";
  return row + ratingCsv(a.rating, checks).second;
}

namespace {

std::vector<XlsxColumn> withRating(std::vector<XlsxColumn> columns) {
  for (XlsxColumn& c : rateColumns()) columns.push_back(std::move(c));
  return columns;
}

std::vector<XlsxCell> withRating(std::vector<XlsxCell> cells, const RatedCase& rated,
                                 const CheckSettings& checks) {
  for (XlsxCell& c : rateCells(rated, checks)) cells.push_back(std::move(c));
  return cells;
}

XlsxCell numberCell(const std::optional<double>& v) {
  return XlsxCell::shown(csvNumber(v));
}

}  // namespace

std::vector<XlsxColumn> goalSeekXlsxColumns() {
  return withRating({{"求解状态", "solution.status", ""},
                     {"求解的键", "solution.key", ""},
                     {"解", "solution.value", ""},
                     {"目标结果", "solution.result_name", ""},
                     {"解处结果", "solution.result", ""},
                     {"目标条件", "solution.condition", ""},
                     {"目标值", "solution.target", ""},
                     {"区间下限", "solution.bracket_low", ""},
                     {"区间上限", "solution.bracket_high", ""},
                     {"计算次数", "solution.evaluations", ""},
                     {"说明", "solution.message", ""}});
}

std::vector<XlsxCell> goalSeekXlsxCells(const GoalSeekAnswer& a, const CheckSettings& checks) {
  return withRating(
      {XlsxCell::label(statusName(a.status)), XlsxCell::label(caseKey(a.key).path),
       XlsxCell::shown(a.answer.text), XlsxCell::label(a.resultName), numberCell(a.answer.result),
       XlsxCell::label(conditionText(a.condition)), XlsxCell::shown(gridText(a.target)),
       XlsxCell::shown(a.low.text), XlsxCell::shown(a.high.text),
       XlsxCell::shown(std::to_string(a.evaluations)), XlsxCell::label(goalSeekMessage(a))},
      a.rating, checks);
}

std::vector<XlsxColumn> offDesignXlsxColumns(bool loads) {
  std::vector<XlsxColumn> columns;
  if (loads) columns.push_back({"负荷", "load", "%"});
  for (XlsxColumn c :
       std::vector<XlsxColumn>{{"求解状态", "solution.status", ""},
                               {"烟气出口温度", "solution.flue_gas.outlet_temperature", "℃"},
                               {"空气出口温度", "solution.air.outlet_temperature", "℃"},
                               {"裕量R", "solution.margin", "%"},
                               {"热平衡偏差", "solution.heat_balance", "%"},
                               {"计算次数", "solution.evaluations", ""},
                               {"原因", "solution.reason", ""},
                               {"其他解（烟气/空气出口温度）", "solution.other_answers", "℃"}})
    columns.push_back(std::move(c));
  return withRating(std::move(columns));
}

std::vector<XlsxCell> offDesignXlsxCells(const OffDesignAnswer& a, bool loads,
                                         const CheckSettings& checks) {
  std::vector<XlsxCell> cells;
  if (loads) cells.push_back(numberCell(a.load));
  for (XlsxCell c : std::vector<XlsxCell>{
           XlsxCell::label(statusName(a.status)), XlsxCell::shown(a.flueGasOutletText),
           XlsxCell::shown(a.airOutletText), numberCell(a.margin), numberCell(a.heatBalance),
           XlsxCell::shown(std::to_string(a.evaluations)), XlsxCell::label(a.reason),
           XlsxCell::label(otherPairsText(a))})
    cells.push_back(std::move(c));
  return withRating(std::move(cells), a.rating, checks);
}

std::string loadTableHeader(const std::string& file, const std::string& caseName) {
  std::string out =
      "变负荷性能：" + wholePath(file) + ": " + tableCell(caseName, kTableCellWidth) + "\n";
  out += padToWidth("负荷(%)", kLoadWidth) + padToWidth("状态", kStatusWidth);
  for (const PointColumn& c : pointColumns())
    out += padToWidth(std::string(c.caption) + "(" + std::string(c.unit) + ")", columnWidth(c));
  out += "计算次数\n";
  return out;
}

std::string loadTableRow(const OperatingPoint& p) {
  std::string out =
      padToWidth(gridText(p.load), kLoadWidth) + padToWidth(statusName(p.status), kStatusWidth);
  for (const PointColumn& c : pointColumns()) {
    const auto& v = p.*(c.member);
    std::string text = v && std::isfinite(*v) ? fixedText(*v, c.decimals) : "—";
    // The cold end closer to the acid dew point than required is flagged as the window flags.
    if (c.member == &OperatingPoint::dewPointMargin && p.coldEndCorrosion) text += "!";
    out += padToWidth(text, columnWidth(c));
  }
  return out + std::to_string(p.evaluations) + "\n";
}

AnswerWriter::AnswerWriter(std::ostream& out, RateFormat format, bool color, bool loads,
                           const CheckSettings& checks, bool bom)
    : out_(out), format_(format), color_(color), loads_(loads), checks_(checks), bom_(bom) {}

AnswerWriter::~AnswerWriter() = default;

void AnswerWriter::json(const nlohmann::ordered_json& item) {
  writeJsonListItem(out_, item, count_ == 0);
}

void AnswerWriter::add(const GoalSeekAnswer& a) {
  switch (format_) {
    case RateFormat::Table:
      out_ << (count_ ? "\n" : "") << wholePath(a.rating.input.file) << ": "
           << tableCell(a.rating.input.name, kTableCellWidth) << "\n"
           << describeGoalSeek(a) << "\n"
           << rateTable({a.rating}, color_, checks_);
      break;
    case RateFormat::Json:
      json(goalSeekJson(a, checks_));
      break;
    case RateFormat::Csv:
      if (!count_) out_ << (bom_ ? kUtf8Bom : "") << goalSeekCsvHeader();
      out_ << goalSeekCsvRow(a, checks_);
      break;
    case RateFormat::Xlsx:
      if (!workbook_) {
        workbook_ = std::make_unique<XlsxWorkbook>();
        workbook_->addSheet("solve", goalSeekXlsxColumns(), 3);
      }
      workbook_->addRow(goalSeekXlsxCells(a, checks_));
      break;
  }
  ++count_;
}

void AnswerWriter::add(const OffDesignAnswer& a) {
  switch (format_) {
    case RateFormat::Table:
      if (loads_) {
        const std::string name = a.rating.input.file + ": " + a.rating.input.name;
        if (count_ == 0 || name != tableCase_) {
          flushReasons();
          out_ << (count_ ? "\n" : "") << loadTableHeader(a.rating.input.file, a.rating.input.name);
          tableCase_ = name;
        }
        out_ << loadTableRow(operatingPoint(a, checks_));
        loadLaw_.add(designChecks(a.rating, checks_));
        if (a.status == SolutionStatus::Unreachable || a.status == SolutionStatus::Bound ||
            a.status == SolutionStatus::Grid) {
          std::string why = gridText(a.load.value_or(100)) + " %: " + a.reason;
          if (!a.rating.run.status.completed && a.status != SolutionStatus::Grid &&
              a.flueGasOutletText.empty() && !verdictStatus(a.rating.run.status).empty())
            why += " (" + verdictStatus(a.rating.run.status) + ")";
          loadReasons_.push_back(std::move(why));
        }
        if (!a.others.empty())
          loadReasons_.push_back(
              gridText(a.load.value_or(100)) + " %: " + std::to_string(a.others.size() + 1) +
              " pairs meet both tolerances; also (flue gas/air outlet, ℃) " + otherPairsText(a));
      } else {
        out_ << (count_ ? "\n" : "") << wholePath(a.rating.input.file) << ": "
             << tableCell(a.rating.input.name, kTableCellWidth) << "\n"
             << describeOffDesign(a) << "\n"
             << rateTable({a.rating}, color_, checks_);
      }
      break;
    case RateFormat::Json:
      json(offDesignJson(a, checks_));
      break;
    case RateFormat::Csv:
      if (!count_) out_ << (bom_ ? kUtf8Bom : "") << offDesignCsvHeader(loads_);
      out_ << offDesignCsvRow(a, loads_, checks_);
      break;
    case RateFormat::Xlsx: {
      if (!workbook_) {
        workbook_ = std::make_unique<XlsxWorkbook>();
        workbook_->addSheet(loads_ ? "loads" : "simulate", offDesignXlsxColumns(loads_),
                            loads_ ? 2 : 1);
      }
      std::vector<XlsxCell> cells = offDesignXlsxCells(a, loads_, checks_);
      if (loads_) loadSheets_.emplace_back("负荷 " + gridText(a.load.value_or(100)) + " %", cells);
      workbook_->addRow(cells);
      break;
    }
  }
  ++count_;
}

void AnswerWriter::flushReasons() {
  for (const std::string& why : loadReasons_) out_ << "  " << why << "\n";
  loadReasons_.clear();
  out_ << loadLaw_.footnote();
  loadLaw_ = {};
}

void AnswerWriter::finish() {
  switch (format_) {
    case RateFormat::Table:
      flushReasons();
      break;
    case RateFormat::Json:
      out_ << (count_ ? "\n]\n" : "[]\n");
      break;
    case RateFormat::Csv:
      break;
    case RateFormat::Xlsx: {
      if (!workbook_) {
        workbook_ = std::make_unique<XlsxWorkbook>();
        workbook_->addSheet("answers", {});
      }
      // A sheet per load lists the rating at it from top to bottom: caption, name, unit, value.
      if (!loadSheets_.empty()) {
        const std::vector<XlsxColumn> columns = offDesignXlsxColumns(true);
        for (const auto& [name, cells] : loadSheets_) {
          workbook_->addSheet(name,
                              {{"项目", "caption", ""},
                               {"名称", "name", ""},
                               {"单位", "unit", ""},
                               {"数值", "value", ""}},
                              1);
          for (std::size_t k = 0; k < columns.size() && k < cells.size(); ++k)
            workbook_->addRow({XlsxCell::label(columns[k].caption),
                               XlsxCell::label(columns[k].name), XlsxCell::label(columns[k].unit),
                               cells[k]});
        }
      }
      workbook_->finish([&](std::string_view bytes) {
        out_.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        return static_cast<bool>(out_);
      });
      break;
    }
  }
}

}  // namespace aph::study
