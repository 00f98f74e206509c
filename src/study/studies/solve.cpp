#include "study/studies/solve.hpp"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <map>
#include <sstream>

#include "model/text.hpp"
#include "study/checks/ranges.hpp"
#include "study/io/files.hpp"
#include "study/outputs/number_text.hpp"
#include "study/studies/sweep.hpp"

namespace aph::study {
namespace {

bool endsWith(std::string_view path, std::string_view tail) {
  return path.size() > tail.size() && path.ends_with(tail) &&
         path[path.size() - tail.size() - 1] == '.';
}

bool isProperty(std::string_view path) {
  return !path.starts_with("plate.") &&
         (endsWith(path, "density") || endsWith(path, "specific_heat") ||
          endsWith(path, "conductivity") || endsWith(path, "viscosity"));
}

std::string side(std::string_view path) {
  return std::string(path.substr(0, path.find('.')));
}

// The number a key's field holds once the case is typed in; empty when it is no number.
std::optional<double> caseNumber(const Case& c, std::string_view path) {
  const auto key = findKey(path);
  if (!key) return std::nullopt;
  const std::string text = c.inputText(*key);
  if (text.empty()) return std::nullopt;
  return readLeadingNumber(text);
}

std::string shown(double v) {
  return gridText(v);
}

// A result to read: seven significant digits, more where fewer would put it on the other side of
// the target or on it (14.99999996 against 15 is not shown as 15).
std::string figure(double v, double target) {
  return figuresTextAgainst(v, target, 7);
}

}  // namespace

TextGrid keyGrid(std::size_t key) {
  const std::string_view path = caseKey(key).path;
  if (path == "plate.pairs" || path.starts_with("passes.")) return {0};
  if (endsWith(path, "inlet_temperature") || endsWith(path, "outlet_temperature")) return {3};
  if (endsWith(path, "channel_length") || endsWith(path, "channel_width")) return {4};
  if (endsWith(path, "volume_flow") || endsWith(path, "mass_flow")) return {2};
  if (endsWith(path, "fouling")) return {6};
  if (path == "plate.conductivity" || path == "plate.thickness") return {3};
  if (endsWith(path, "channel_gap") || endsWith(path, "equivalent_diameter")) return {3};
  if (endsWith(path, "conductivity")) return {5};
  if (endsWith(path, "viscosity")) return {3};
  return {4};  // densities, specific heats, tuning factors
}

std::pair<double, double> defaultRange(const Case& c, std::size_t key) {
  const CaseKey& info = caseKey(key);
  const std::string_view path = info.path;
  const double step = keyGrid(key).step();
  auto need = [&](std::string_view other) {
    const auto v = caseNumber(c, other);
    if (!v)
      throw SolveError("--for " + std::string(path) + ": no default range, as " +
                       std::string(other) + " is no number in this case; give --range FROM:TO");
    return *v;
  };
  std::pair<double, double> range;
  if (path == "flue_gas.inlet_temperature") {
    range = {need("flue_gas.outlet_temperature") + step, 600};
  } else if (path == "flue_gas.outlet_temperature") {
    range = {need("air.inlet_temperature") + step, need("flue_gas.inlet_temperature") - step};
  } else if (path == "air.inlet_temperature") {
    range = {-40,
             std::min(need("air.outlet_temperature"), need("flue_gas.outlet_temperature")) - step};
  } else if (path == "air.outlet_temperature") {
    range = {need("air.inlet_temperature") + step, need("flue_gas.inlet_temperature") - step};
  } else if (endsWith(path, "volume_flow") || endsWith(path, "mass_flow")) {
    const double flow = need(path);
    if (!(flow > 0) || !std::isfinite(flow * 2))
      throw SolveError(
          "--for " + std::string(path) +
          ": no default range, as the case's flow is not above 0 (or beyond twice what a "
          "double holds); give --range");
    range = {flow * 0.1, flow * 2};
  } else if (path == "plate.pairs") {
    range = {1, 1000};
  } else if (path.starts_with("passes.")) {
    range = {1, 10};
  } else if (endsWith(path, "channel_length") || endsWith(path, "channel_width")) {
    range = {0.5, 10};
  } else if (endsWith(path, "channel_gap")) {
    const ListInfo& list = listInfo(*info.quantity);
    double lo = std::numeric_limits<double>::infinity(), hi = -lo;
    for (std::size_t k = 0; k < list.count; ++k) {
      const double v = readLeadingNumber(list.entries[k]).value_or(0);
      lo = std::min(lo, v);
      hi = std::max(hi, v);
    }
    range = {lo, hi};
  } else if (endsWith(path, "equivalent_diameter")) {
    range = {2, 60};
  } else if (path == "plate.thickness") {
    range = {0.5, 1.5};
  } else if (path == "plate.conductivity") {
    range = {10, 60};
  } else if (endsWith(path, "fouling")) {
    range = {0, 0.005};
  } else if (endsWith(path, "density")) {
    range = {0.3, 2};
  } else if (endsWith(path, "specific_heat")) {
    range = {0.9, 1.5};
  } else if (endsWith(path, "conductivity")) {
    range = {0.01, 0.1};
  } else if (endsWith(path, "viscosity")) {
    range = {10, 50};
  } else {
    range = {0.1, 10};  // tuning factors
  }
  if (!(range.first < range.second))
    throw SolveError("--for " + std::string(path) + ": the default range " + shown(range.first) +
                     ":" + shown(range.second) + " of this case is empty; give --range FROM:TO");
  return range;
}

void checkSolveKey(const Case& c, std::size_t key) {
  const std::string path(caseKey(key).path);
  if (const auto reason = unvariableReason(key))
    throw SolveError("--for " + path + ": " + *reason + ", so it cannot be solved for");
  const std::string s = side(path);
  if (const auto& table = c.value(s + ".properties"); isProperty(path) && table)
    throw SolveError("--for " + path + ": the case takes " + s + " properties from the table (\"" +
                     s + ".properties\": \"" + *table + "\")");
  const auto& mode = c.value("flow_mode");
  if (mode && *mode == "volume" && endsWith(path, "mass_flow"))
    throw SolveError("--for " + path +
                     ": in volume mode the calculation writes the mass flows; solve for " + s +
                     ".volume_flow");
  if (mode && *mode == "mass" && endsWith(path, "volume_flow"))
    throw SolveError("--for " + path +
                     ": in mass mode the calculation writes the volume flows; solve for " + s +
                     ".mass_flow");
  if (const auto reason = arrangementIgnores(c, key))
    throw SolveError("--for " + path + ": " + *reason);
  if (endsWith(path, "equivalent_diameter") &&
      !c.inputText(*findKey("flue_gas.channel_gap")).empty() &&
      !c.inputText(*findKey("air.channel_gap")).empty())
    throw SolveError("--for " + path +
                     ": the calculation forms the equivalent diameters from the channel gaps; "
                     "give a gap as \"\" to read them instead");
}

std::optional<ResultColumn> findResultColumn(std::string_view name) {
  if (name == kMeanDifferenceColumn)
    return ResultColumn{kMeanDifferenceColumn, Quantity::CounterflowMeanDifference,
                        fieldInfo(Quantity::CounterflowMeanDifference).unit};
  for (const ResultColumn& column : resultColumns())
    if (column.name == name) return column;
  return std::nullopt;
}

std::optional<GoalResult> findGoalResult(std::string_view name) {
  if (const auto column = findResultColumn(name)) return GoalResult(*column);
  for (const CheckColumn& check : kCheckColumns) {
    if (check.name != name) continue;
    GoalResult r;
    r.name = check.name;
    r.unit = check.unit;
    r.check = check.result;
    return r;
  }
  return std::nullopt;
}

std::string goalResultNames() {
  std::string names;
  for (const ResultColumn& c : resultColumns())
    names += (names.empty() ? "" : ", ") + std::string(c.name);
  names += ", " + std::string(kMeanDifferenceColumn);
  for (const CheckColumn& check : kCheckColumns) names += ", " + std::string(check.name);
  return names;
}

std::string_view conditionText(TargetCondition condition) {
  switch (condition) {
    case TargetCondition::AtLeast:
      return ">=";
    case TargetCondition::AtMost:
      return "<=";
    case TargetCondition::Equal:
      break;
  }
  return "=";
}

GoalTarget parseGoalTarget(const std::string& text) {
  const std::string option = "--target " + shortened(text);
  const auto equals = text.find('=');
  if (equals == std::string::npos)
    throw SolveError(option +
                     ": expected RESULT=VALUE, RESULT>=VALUE or RESULT<=VALUE, e.g. margin=15 or "
                     "wall.min>=110");
  GoalTarget goal;
  std::size_t nameEnd = equals;
  if (equals > 0 && (text[equals - 1] == '>' || text[equals - 1] == '<')) {
    goal.condition = text[equals - 1] == '>' ? TargetCondition::AtLeast : TargetCondition::AtMost;
    --nameEnd;
  }
  const std::string name = text.substr(0, nameEnd);
  const auto result = findGoalResult(name);
  if (!result)
    throw SolveError(option + ": \"" + shortened(name) +
                     "\" is not a result; results: " + goalResultNames());
  goal.result = *result;
  goal.target = parseOptionNumber(text.substr(equals + 1), option);
  return goal;
}

double parseOptionNumber(const std::string& text, const std::string& option) {
  std::string problem;
  if (const auto v = readRangeNumber(text, problem)) return *v;
  throw SolveError(option + ": " + problem);
}

namespace {

// Refuses a result the case gives at no value of any key: one its arrangement never forms, a dew
// point it says nothing of.
void checkGoalResult(const Case& c, const GoalResult& result) {
  const std::string option = "--target " + std::string(result.name);
  const auto& arrangement = c.value("arrangement");
  if (result.column && result.column->quantity == Quantity::MultiPassMeanDifference &&
      !(arrangement && *arrangement == "multi-pass"))
    throw SolveError(option + ": only the multi-pass arrangement forms it, and the case selects " +
                     (arrangement ? "the " + *arrangement + " arrangement" : "no arrangement"));
  if (!result.check) return;
  const DewPoints dew = caseDewPoints(c);
  switch (*result.check) {
    case CheckResult::AcidDewPoint:
    case CheckResult::FieldWallMinimum:
    case CheckResult::AreaBelowAcidDewPoint:
    case CheckResult::DewPointMargin:
      if (!dew.acid)
        throw SolveError(option + ": the case gives no acid dew point (" +
                         std::string(kAcidDewPointKey) + ", or " + std::string(kWaterVapourKey) +
                         " with " + std::string(kSulphurTrioxideKey) + ")");
      break;
    case CheckResult::WaterDewPoint:
      if (!dew.water)
        throw SolveError(option + ": the case gives no water dew point (" +
                         std::string(kWaterVapourKey) + ")");
      break;
    case CheckResult::HeatBalance:
      break;
  }
}

}  // namespace

std::pair<long long, long long> checkGoalSeek(const Case& c, const GoalSeekRequest& request) {
  checkSolveKey(c, request.key);
  checkGoalResult(c, request.result);
  const std::string path(caseKey(request.key).path);
  const TextGrid grid = keyGrid(request.key);
  const bool given = request.range.has_value();
  const auto [from, to] = given ? *request.range : defaultRange(c, request.key);
  const std::string option =
      given ? "--range " + shown(from) + ":" + shown(to) : "--for " + path + " (default range)";
  if (!(from < to)) throw SolveError(option + ": FROM must lie below TO");
  const auto low = grid.above(from);
  const auto high = grid.below(to);
  if (!low || !high)
    throw SolveError(option + ": beyond the " + std::to_string(kMaxGridIndex) +
                     " steps of the key's last decimal (" + grid.text(1) + ")");
  if (*low > *high)
    throw SolveError(option + ": holds no value of " + path + "'s last decimal (" + grid.text(1) +
                     ")");
  if (!request.asTyped) {
    for (long long end : {*low, *high}) {
      Case probe = c;
      probe.set(path, grid.text(end));
      const std::array<std::size_t, 1> keys{request.key};
      if (const auto fault = rangeFault(probe, keys))
        throw SolveError(option + ": " + std::string(caseKey(fault->key).path) + ": " +
                         fault->message);
    }
  }
  return {*low, *high};
}

namespace {

// One goal seek over the grid of the key's text: every value tried is rated once and kept, and
// the answer, its bracket and the extremes are told from the values tried, never worked back
// from a residual (which a huge target swamps). The stages run in order: scan, the edges of
// stopping stretches, the first bracket from the low end, its narrowing, the conclusion.
class GoalSearch {
 public:
  GoalSearch(const Case& c, const GoalSeekRequest& request)
      : c_(c),
        request_(request),
        grid_(keyGrid(request.key)),
        oneSided_(request.condition != TargetCondition::Equal),
        budget_(request.maxEvaluations),
        evaluator_(c, !request.asTyped),
        checks_(c, CheckSettings{}),
        keys_{request.key} {
    out_.key = request.key;
    out_.resultName = std::string(request.result.name);
    out_.target = request.target;
    out_.condition = request.condition;
    // A one-sided target is met or not: no tolerance lets a value short of it count.
    out_.tolerance = oneSided_ ? 0 : 1e-4 * std::max(1.0, std::fabs(request.target));
  }

  GoalSeekAnswer run(long long first, long long last) {
    const std::vector<Trial> scan = scanRange(first, last);
    out_.low = rangePoint(first);
    out_.high = rangePoint(last);
    findStopEdges(scan);
    std::optional<long long> answer = conclude(firstBracket());
    if (!answer && closest_) {
      // The closest the result comes to the target: beyond the results' span, the very value
      // told as the lowest or the highest (both kept as the first value that gives them).
      answer = closest_;
      out_.answer = tried_.at(*answer);
    }
    Case at = c_;
    if (answer) at.set(caseKey(request_.key).path, grid_.text(*answer));
    for (const StopGroup& g : out_.stops)
      if (out_.stopMessage.find(g.message) == std::string::npos)
        out_.stopMessage += (out_.stopMessage.empty() ? "" : "; ") + g.message;
    out_.rating = RatedCase{at, rateCase(at)};
    return std::move(out_);
  }

 private:
  // Both on one side: the nearer result; on either side: the smaller distance.
  bool closerToTarget(double a, double b) const {
    const double target = request_.target;
    if ((a >= target) == (b >= target)) return a >= target ? a < b : a > b;
    return std::fabs(a - target) < std::fabs(b - target);
  }

  // Of equal results the one at the lower value: a result that stays the same is told where it
  // is first had, in whatever order the values were tried, by the lowest, the highest and the
  // closest alike.
  static bool lower(const GoalPoint& p, const GoalPoint& q) {
    return *p.result == *q.result && p.value < q.value;
  }

  // The residual's sign tells the side of the target; one-sided, it is ≥ 0 exactly where the
  // condition is met (a result equal to the target meets both).
  double signedResidual(double result) const {
    return request_.condition == TargetCondition::AtMost ? request_.target - result
                                                         : result - request_.target;
  }

  // A run that gives no result is grouped with the runs of the same message: each value keeps
  // the message of its own run.
  void recordStop(const RunStatus& status) {
    std::string message;
    for (const std::string& m : status.messages) message += (message.empty() ? "" : " / ") + m;
    if (status.completed) message = out_.resultName + " has no value";
    auto group = std::find_if(out_.stops.begin(), out_.stops.end(), [&](const StopGroup& g) {
      return g.message == message && g.stopped == !status.completed;
    });
    if (group == out_.stops.end())
      group = out_.stops.insert(out_.stops.end(), StopGroup{message, !status.completed, 0, {}});
    ++group->count;
    if (group->at.size() < 8) group->at.push_back(text_);
    if (out_.stoppedAt.size() < 8) out_.stoppedAt.push_back(text_);
    ++out_.stoppedCount;
  }

  void recordResult(const GoalPoint& p, long long index) {
    if (!out_.lowest || *p.result < *out_.lowest->result || lower(p, *out_.lowest)) out_.lowest = p;
    if (!out_.highest || *p.result > *out_.highest->result || lower(p, *out_.highest))
      out_.highest = p;
    if (!closest_ || closerToTarget(*p.result, *tried_.at(*closest_).result) ||
        lower(p, tried_.at(*closest_)))
      closest_ = index;
  }

  // Rates the value at `index` of the grid.
  GoalPoint point(long long index) {
    text_ = grid_.text(index);
    const Rating& rating = evaluator_.evaluate(keys_, texts_, status_).rating();
    ++out_.evaluations;
    GoalPoint p{text_, grid_.value(index), std::nullopt};
    if (status_.completed) {
      p.result = request_.result.check
                     ? checkValue(checks_(rating), *request_.result.check)
                     : rating.value(columnQuantity(*request_.result.column, rating));
      if (p.result && !std::isfinite(*p.result)) p.result.reset();
    }
    if (!p.result)
      recordStop(status_);
    else
      recordResult(p, index);
    tried_[index] = p;
    return p;
  }

  std::optional<double> residual(long long index) {
    const GoalPoint p = point(index);
    if (!p.result) return std::nullopt;
    return signedResidual(*p.result);
  }

  bool meets(long long index) const {
    const auto& r = tried_.at(index).result;
    return r && signedResidual(*r) >= 0;
  }

  GoalPoint rangePoint(long long index) const {
    const auto known = tried_.find(index);
    return known != tried_.end() ? known->second
                                 : GoalPoint{grid_.text(index), grid_.value(index), std::nullopt};
  }

  // The scan: evenly spread, on the grid.
  std::vector<Trial> scanRange(long long first, long long last) {
    const long long span = last - first;
    const std::size_t count = static_cast<std::size_t>(
        std::min<long long>(static_cast<long long>(kSolveScanPoints), span + 1));
    std::vector<Trial> scan;
    for (std::size_t k = 0; k < count && budget_ > 0; ++k) {
      const long long index =
          count == 1 ? first
                     : first + static_cast<long long>(std::llround(
                                   static_cast<long double>(span) * static_cast<long double>(k) /
                                   static_cast<long double>(count - 1)));
      if (!scan.empty() && scan.back().index == index) continue;
      --budget_;
      scan.push_back({index, residual(index)});
    }
    return scan;
  }

  // Where the runs stop on part of the range, the scan's step may hide the target next to it:
  // the edge of each stopping stretch is found by bisection (a few edges at most).
  void findStopEdges(const std::vector<Trial>& scan) {
    std::size_t edges = 0;
    for (std::size_t k = 0; k + 1 < scan.size() && edges < kStopEdges; ++k) {
      if (scan[k].residual.has_value() == scan[k + 1].residual.has_value()) continue;
      ++edges;
      long long runs = scan[k].residual ? scan[k].index : scan[k + 1].index;
      long long stops = scan[k].residual ? scan[k + 1].index : scan[k].index;
      while (std::llabs(stops - runs) > 1 && budget_ > 0) {
        const long long m = runs + (stops - runs) / 2;
        --budget_;
        if (residual(m))
          runs = m;
        else
          stops = m;
      }
    }
  }

  // The first value from the low end that reaches the target, or the first sign change, among
  // every value tried so far.
  std::optional<std::pair<Trial, Trial>> firstBracket() const {
    std::optional<Trial> previous;
    for (const auto& [index, p] : tried_) {
      if (!p.result) continue;
      const Trial t{index, signedResidual(*p.result)};
      if (std::fabs(*t.residual) <= out_.tolerance) return std::pair{t, t};
      if (previous && (*previous->residual < 0) != (*t.residual < 0))
        return std::pair{*previous, t};
      previous = t;
    }
    return std::nullopt;
  }

  // The bracket narrowed to the answer and how the search ended; without a bracket, one-sided,
  // the condition may hold at every value that ran. Returns the answer's index, if any.
  std::optional<long long> conclude(const std::optional<std::pair<Trial, Trial>>& bracket) {
    if (!bracket) {
      if (oneSided_ && closest_ && meets(*closest_)) {
        // Met at every value that ran: the boundary lies beyond the range; the value nearest it.
        out_.status = SolutionStatus::Found;
        out_.metEverywhere = true;
        out_.answer = tried_.at(*closest_);
        return closest_;
      }
      out_.status = budget_ == 0 ? SolutionStatus::Bound : SolutionStatus::Unreachable;
      return std::nullopt;
    }
    NarrowResult narrowed;
    if (bracket->first.index == bracket->second.index) {
      narrowed.end = NarrowResult::End::Found;
      narrowed.best = narrowed.low = narrowed.high = bracket->first;
    } else {
      narrowed = narrowSignChange(
          bracket->first, bracket->second, out_.tolerance,
          [this](long long index) { return residual(index); }, budget_);
    }
    out_.low = tried_.at(narrowed.low.index);
    out_.high = tried_.at(narrowed.high.index);
    long long answer = narrowed.best.index;
    // One-sided, the answer is the end of the last bracket that meets the condition.
    if (oneSided_ && !meets(answer)) {
      if (meets(narrowed.low.index)) answer = narrowed.low.index;
      if (meets(narrowed.high.index)) answer = narrowed.high.index;
    }
    out_.answer = tried_.at(answer);
    switch (narrowed.end) {
      case NarrowResult::End::Found:
        out_.status = SolutionStatus::Found;
        break;
      case NarrowResult::End::Grid:
        out_.status = SolutionStatus::Grid;
        break;
      case NarrowResult::End::Bound:
        out_.status = SolutionStatus::Bound;
        break;
      case NarrowResult::End::Stopped:
        out_.status = SolutionStatus::Unreachable;
        out_.stopsInBracket = true;
        break;
    }
    return answer;
  }

  const Case& c_;
  const GoalSeekRequest& request_;
  const TextGrid grid_;
  const bool oneSided_;
  std::size_t budget_;
  DesignEvaluator evaluator_;
  const CaseChecks checks_;
  const std::vector<std::size_t> keys_;
  std::string text_;
  std::vector<const std::string*> texts_{&text_};
  RunStatus status_;
  GoalSeekAnswer out_;
  std::map<long long, GoalPoint> tried_;
  std::optional<long long> closest_;
};

}  // namespace

GoalSeekAnswer seekGoal(const Case& c, const GoalSeekRequest& request) {
  const auto [first, last] = checkGoalSeek(c, request);
  return GoalSearch(c, request).run(first, last);
}

std::string describeGoalSeek(const GoalSeekAnswer& a) {
  std::ostringstream out;
  const std::string path(caseKey(a.key).path);
  const bool oneSided = a.condition != TargetCondition::Equal;
  auto result = [&](const GoalPoint& p) {
    return p.result ? figure(*p.result, a.target) : std::string("— (no value)");
  };
  out << a.resultName << " " << conditionText(a.condition) << " " << gridText(a.target) << " by "
      << path << ": ";
  switch (a.status) {
    case SolutionStatus::Found:
      out << (oneSided ? "met" : "found") << "\n  " << path << " = " << a.answer.text << "   "
          << a.resultName << " = " << result(a.answer);
      if (!oneSided)
        out << " (within " << gridText(a.tolerance) << ")";
      else if (a.metEverywhere)
        out << " (met at every value that ran; this one comes nearest the boundary)";
      out << "\n";
      break;
    case SolutionStatus::Grid:
      out << "between two neighbouring values "
          << (keyGrid(a.key).decimals == 0 ? std::string("(whole numbers)")
                                           : keyGrid(a.key).text(1) + " apart")
          << "\n  " << path << " = " << a.low.text << "   " << a.resultName << " = "
          << result(a.low) << "\n  " << path << " = " << a.high.text << "   " << a.resultName
          << " = " << result(a.high) << "\n  "
          << (oneSided ? "the one that meets it: " : "the closer: ") << path << " = "
          << a.answer.text << "\n";
      break;
    case SolutionStatus::Unreachable:
      if (a.stopsInBracket) {
        out << "not reachable: " << a.resultName << " passes the target between " << a.low.text
            << " and " << a.high.text << ", where the calculation stops\n";
      } else if (a.lowest && a.highest) {
        out << "not reachable over " << a.low.text << "…" << a.high.text << "\n  " << a.resultName;
        if (*a.lowest->result == *a.highest->result)
          out << " = " << figure(*a.lowest->result, a.target)
              << " at every value that ran, the lowest of them " << a.lowest->text << "\n";
        else
          out << " runs from " << figure(*a.lowest->result, a.target) << " (at " << a.lowest->text
              << ") to " << figure(*a.highest->result, a.target) << " (at " << a.highest->text
              << ")\n";
      } else if (std::all_of(a.stops.begin(), a.stops.end(),
                             [](const StopGroup& g) { return g.stopped; })) {
        out << "not reachable: the calculation stops at every value tried\n";
      } else {
        out << "not reachable: no value tried gives " << a.resultName << "\n";
      }
      if (!a.answer.text.empty())
        out << "  closest: " << path << " = " << a.answer.text << "   " << a.resultName << " = "
            << result(a.answer) << "\n";
      break;
    case SolutionStatus::Bound:
      out << "not settled: the search reached its bound of " << a.evaluations << " evaluations\n";
      if (!a.answer.text.empty())
        out << "  best so far: " << path << " = " << a.answer.text << "   " << a.resultName << " = "
            << result(a.answer) << "\n";
      break;
  }
  if (a.status == SolutionStatus::Found || a.status == SolutionStatus::Grid ||
      a.status == SolutionStatus::Bound)
    out << "  bracket: " << a.low.text << " … " << a.high.text << "\n";
  out << "  evaluations: " << a.evaluations << "\n";
  for (const StopGroup& g : a.stops) {
    out << "  " << (g.stopped ? "the calculation stops" : a.resultName + " has no value") << " at "
        << g.count << " value" << (g.count == 1 ? "" : "s") << " tried (" << path << " = ";
    for (std::size_t k = 0; k < g.at.size(); ++k) out << (k ? ", " : "") << g.at[k];
    if (g.count > g.at.size()) out << ", …";
    out << ")";
    if (g.stopped && !g.message.empty()) out << ": " << g.message;
    out << "\n";
  }
  return out.str();
}

}  // namespace aph::study
