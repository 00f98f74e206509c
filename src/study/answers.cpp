#include "study/answers.hpp"

#include <cmath>
#include <cstdio>

#include "model/text.hpp"
#include "study/files.hpp"
#include "study/sweep.hpp"

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
json ratingItem(const RatedCase& rated) {
  return rateJson({rated}).at(0);
}

// rate's CSV for the rating: its header and its row.
std::pair<std::string, std::string> ratingCsv(const RatedCase& rated) {
  const std::string both = rateCsv({rated});
  const auto end = both.find('\n');
  return {both.substr(0, end), both.substr(end + 1)};
}

std::string csvNumber(const std::optional<double>& v) {
  return v && std::isfinite(*v) ? gridText(*v) : std::string();
}

std::string fixedText(double v, int decimals) {
  if (std::fabs(v) < 0.5 * std::pow(10.0, -decimals)) v = 0;  // no "-0.0000"
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%.*f", decimals, v);
  return buffer;
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

json goalSeekJson(const GoalSeekAnswer& a) {
  json item = ratingItem(a.rating);
  json s;
  s["key"] = std::string(caseKey(a.key).path);
  s["value"] = a.answer.text.empty() ? json(nullptr) : json(a.answer.value);
  s["result"] = number(a.answer.result);
  s["result_name"] = a.resultName;
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
  }
  item["solution"] = std::move(s);
  return item;
}

json offDesignJson(const OffDesignAnswer& a) {
  json item = ratingItem(a.rating);
  json s;
  s["flue_gas.outlet_temperature"] = number(a.flueGasOutlet);
  s["air.outlet_temperature"] = number(a.airOutlet);
  s["margin"] = number(a.margin);
  s["heat_balance"] = number(a.heatBalance);
  s["evaluations"] = a.evaluations;
  s["status"] = statusName(a.status);
  if (!a.reason.empty()) s["reason"] = a.reason;
  item["solution"] = std::move(s);
  if (a.load) item["load"] = *a.load;
  return item;
}

std::string goalSeekCsvHeader() {
  return "solution.status,solution.key,solution.value,solution.result_name,solution.result,"
         "solution.target,solution.bracket_low,solution.bracket_high,solution.evaluations,"
         "solution.message," +
         ratingCsv(RatedCase{}).first + "\n";
}

std::string goalSeekCsvRow(const GoalSeekAnswer& a) {
  std::string message;
  if (a.stoppedCount)
    message = "the calculation stops at " + std::to_string(a.stoppedCount) +
              " values tried: " + a.stopMessage;
  std::string row = std::string(statusName(a.status)) + "," + std::string(caseKey(a.key).path) +
                    "," + a.answer.text + "," + a.resultName + "," + csvNumber(a.answer.result) +
                    "," + gridText(a.target) + "," + a.low.text + "," + a.high.text + "," +
                    std::to_string(a.evaluations) + "," + csvField(message) + ",";
  return row + ratingCsv(a.rating).second;
}

std::string offDesignCsvHeader(bool loads) {
  return std::string(loads ? "load," : "") +
         "solution.status,solution.flue_gas.outlet_temperature,solution.air.outlet_temperature,"
         "solution.margin,solution.heat_balance,solution.evaluations,solution.reason," +
         ratingCsv(RatedCase{}).first + "\n";
}

std::string offDesignCsvRow(const OffDesignAnswer& a, bool loads) {
  std::string row = loads ? csvNumber(a.load) + "," : "";
  row += std::string(statusName(a.status)) + "," + a.flueGasOutletText + "," + a.airOutletText +
         "," + csvNumber(a.margin) + "," + csvNumber(a.heatBalance) + "," +
         std::to_string(a.evaluations) + "," + csvField(a.reason) + ",";
  return row + ratingCsv(a.rating).second;
}

std::string loadTableHeader(const std::string& file, const std::string& caseName) {
  std::string out = "变负荷性能：" + tableCell(file, kTableCellWidth) + ": " +
                    tableCell(caseName, kTableCellWidth) + "\n";
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
    out += padToWidth(v && std::isfinite(*v) ? fixedText(*v, c.decimals) : "—", columnWidth(c));
  }
  return out + std::to_string(p.evaluations) + "\n";
}

AnswerWriter::AnswerWriter(std::ostream& out, RateFormat format, bool color, bool loads)
    : out_(out), format_(format), color_(color), loads_(loads) {}

void AnswerWriter::json(const nlohmann::ordered_json& item) {
  // The list as nlohmann's dump(2) writes it, item by item.
  const std::string text =
      item.dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::replace);
  std::string indented = count_ ? ",\n  " : "[\n  ";
  for (char c : text) {
    indented += c;
    if (c == '\n') indented += "  ";
  }
  out_ << indented;
}

void AnswerWriter::add(const GoalSeekAnswer& a) {
  switch (format_) {
    case RateFormat::Table:
      out_ << (count_ ? "\n" : "") << tableCell(a.rating.input.file, kTableCellWidth) << ": "
           << tableCell(a.rating.input.name, kTableCellWidth) << "\n"
           << describeGoalSeek(a) << "\n"
           << rateTable({a.rating}, color_);
      break;
    case RateFormat::Json:
      json(goalSeekJson(a));
      break;
    case RateFormat::Csv:
      if (!count_) out_ << goalSeekCsvHeader();
      out_ << goalSeekCsvRow(a);
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
        out_ << loadTableRow(operatingPoint(a));
        if (a.status == SolutionStatus::Unreachable || a.status == SolutionStatus::Bound ||
            a.status == SolutionStatus::Grid) {
          std::string why = gridText(a.load.value_or(100)) + " %: " + a.reason;
          if (!a.rating.run.status.completed && a.status != SolutionStatus::Grid &&
              a.flueGasOutletText.empty() && !verdictStatus(a.rating.run.status).empty())
            why += " (" + verdictStatus(a.rating.run.status) + ")";
          loadReasons_.push_back(std::move(why));
        }
      } else {
        out_ << (count_ ? "\n" : "") << tableCell(a.rating.input.file, kTableCellWidth) << ": "
             << tableCell(a.rating.input.name, kTableCellWidth) << "\n"
             << describeOffDesign(a) << "\n"
             << rateTable({a.rating}, color_);
      }
      break;
    case RateFormat::Json:
      json(offDesignJson(a));
      break;
    case RateFormat::Csv:
      if (!count_) out_ << offDesignCsvHeader(loads_);
      out_ << offDesignCsvRow(a, loads_);
      break;
  }
  ++count_;
}

void AnswerWriter::flushReasons() {
  for (const std::string& why : loadReasons_) out_ << "  " << why << "\n";
  loadReasons_.clear();
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
  }
}

}  // namespace aph::study
