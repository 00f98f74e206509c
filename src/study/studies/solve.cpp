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

GoalSeekAnswer seekGoal(const Case& c, const GoalSeekRequest& request) {
  const auto [first, last] = checkGoalSeek(c, request);
  const TextGrid grid = keyGrid(request.key);
  const bool oneSided = request.condition != TargetCondition::Equal;
  GoalSeekAnswer out;
  out.key = request.key;
  out.resultName = std::string(request.result.name);
  out.target = request.target;
  out.condition = request.condition;
  // A one-sided target is met or not: no tolerance lets a value short of it count.
  out.tolerance = oneSided ? 0 : 1e-4 * std::max(1.0, std::fabs(request.target));
  std::size_t budget = request.maxEvaluations;

  DesignEvaluator evaluator(c, !request.asTyped);
  const CaseChecks checks(c, CheckSettings{});
  const std::vector<std::size_t> keys{request.key};
  std::string text;
  std::vector<const std::string*> texts{&text};
  RunStatus status;
  // Every value tried, with the result rated there: the answer, its bracket and the extremes are
  // told from these, never worked back from a residual (which a huge target swamps).
  std::map<long long, GoalPoint> tried;
  auto closerToTarget = [&](double a, double b) {
    // Both on one side: the nearer result; on either side: the smaller distance.
    if ((a >= request.target) == (b >= request.target)) return a >= request.target ? a < b : a > b;
    return std::fabs(a - request.target) < std::fabs(b - request.target);
  };
  // Of equal results the one at the lower value: a result that stays the same is told where it
  // is first had, in whatever order the values were tried, by the lowest, the highest and the
  // closest alike.
  auto lower = [](const GoalPoint& p, const GoalPoint& q) {
    return *p.result == *q.result && p.value < q.value;
  };
  std::optional<long long> closest;
  auto point = [&](long long index) {
    text = grid.text(index);
    const Rating& rating = evaluator.evaluate(keys, texts, status).rating();
    ++out.evaluations;
    GoalPoint p{text, grid.value(index), std::nullopt};
    if (status.completed) {
      p.result = request.result.check
                     ? checkValue(checks(rating), *request.result.check)
                     : rating.value(columnQuantity(*request.result.column, rating));
      if (p.result && !std::isfinite(*p.result)) p.result.reset();
    }
    if (!p.result) {
      // Each value keeps the message of its own run.
      std::string message;
      for (const std::string& m : status.messages) message += (message.empty() ? "" : " / ") + m;
      if (status.completed) message = out.resultName + " has no value";
      auto group = std::find_if(out.stops.begin(), out.stops.end(), [&](const StopGroup& g) {
        return g.message == message && g.stopped == !status.completed;
      });
      if (group == out.stops.end())
        group = out.stops.insert(out.stops.end(), StopGroup{message, !status.completed, 0, {}});
      ++group->count;
      if (group->at.size() < 8) group->at.push_back(text);
      if (out.stoppedAt.size() < 8) out.stoppedAt.push_back(text);
      ++out.stoppedCount;
    } else {
      if (!out.lowest || *p.result < *out.lowest->result || lower(p, *out.lowest)) out.lowest = p;
      if (!out.highest || *p.result > *out.highest->result || lower(p, *out.highest))
        out.highest = p;
      if (!closest || closerToTarget(*p.result, *tried.at(*closest).result) ||
          lower(p, tried.at(*closest)))
        closest = index;
    }
    tried[index] = p;
    return p;
  };
  // The residual's sign tells the side of the target; one-sided, it is ≥ 0 exactly where the
  // condition is met (a result equal to the target meets both).
  auto signedResidual = [&](double result) {
    return request.condition == TargetCondition::AtMost ? request.target - result
                                                        : result - request.target;
  };
  auto residual = [&](long long index) -> std::optional<double> {
    const GoalPoint p = point(index);
    if (!p.result) return std::nullopt;
    return signedResidual(*p.result);
  };
  auto meets = [&](long long index) {
    const auto& r = tried.at(index).result;
    return r && signedResidual(*r) >= 0;
  };

  // The scan: evenly spread, on the grid.
  const long long span = last - first;
  const std::size_t count = static_cast<std::size_t>(
      std::min<long long>(static_cast<long long>(kSolveScanPoints), span + 1));
  std::vector<Trial> scan;
  for (std::size_t k = 0; k < count && budget > 0; ++k) {
    const long long index =
        count == 1 ? first
                   : first + static_cast<long long>(std::llround(
                                 static_cast<long double>(span) * static_cast<long double>(k) /
                                 static_cast<long double>(count - 1)));
    if (!scan.empty() && scan.back().index == index) continue;
    --budget;
    scan.push_back({index, residual(index)});
  }
  auto goalPoint = [&](long long index) { return tried.at(index); };
  auto range = [&](long long index) {
    const auto known = tried.find(index);
    return known != tried.end() ? known->second
                                : GoalPoint{grid.text(index), grid.value(index), std::nullopt};
  };
  out.low = range(first);
  out.high = range(last);

  // Where the runs stop on part of the range, the scan's step may hide the target next to it:
  // the edge of each stopping stretch is found by bisection (a few edges at most).
  std::size_t edges = 0;
  for (std::size_t k = 0; k + 1 < scan.size() && edges < kStopEdges; ++k) {
    if (scan[k].residual.has_value() == scan[k + 1].residual.has_value()) continue;
    ++edges;
    long long runs = scan[k].residual ? scan[k].index : scan[k + 1].index;
    long long stops = scan[k].residual ? scan[k + 1].index : scan[k].index;
    while (std::llabs(stops - runs) > 1 && budget > 0) {
      const long long m = runs + (stops - runs) / 2;
      --budget;
      if (residual(m))
        runs = m;
      else
        stops = m;
    }
  }

  // The first value from the low end that reaches the target, or the first sign change, among
  // every value tried so far.
  std::optional<std::pair<Trial, Trial>> bracket;
  std::optional<Trial> previous;
  for (const auto& [index, p] : tried) {
    if (!p.result) continue;
    const Trial t{index, signedResidual(*p.result)};
    if (std::fabs(*t.residual) <= out.tolerance) {
      bracket = {t, t};
      break;
    }
    if (previous && (*previous->residual < 0) != (*t.residual < 0)) {
      bracket = {*previous, t};
      break;
    }
    previous = t;
  }

  std::optional<long long> answer;
  if (bracket) {
    NarrowResult narrowed;
    if (bracket->first.index == bracket->second.index) {
      narrowed.end = NarrowResult::End::Found;
      narrowed.best = narrowed.low = narrowed.high = bracket->first;
    } else {
      narrowed = narrowSignChange(bracket->first, bracket->second, out.tolerance, residual, budget);
    }
    out.low = goalPoint(narrowed.low.index);
    out.high = goalPoint(narrowed.high.index);
    answer = narrowed.best.index;
    // One-sided, the answer is the end of the last bracket that meets the condition.
    if (oneSided && !meets(*answer)) {
      if (meets(narrowed.low.index)) answer = narrowed.low.index;
      if (meets(narrowed.high.index)) answer = narrowed.high.index;
    }
    out.answer = goalPoint(*answer);
    switch (narrowed.end) {
      case NarrowResult::End::Found:
        out.status = SolutionStatus::Found;
        break;
      case NarrowResult::End::Grid:
        out.status = SolutionStatus::Grid;
        break;
      case NarrowResult::End::Bound:
        out.status = SolutionStatus::Bound;
        break;
      case NarrowResult::End::Stopped:
        out.status = SolutionStatus::Unreachable;
        out.stopsInBracket = true;
        break;
    }
  } else if (oneSided && closest && meets(*closest)) {
    // Met at every value that ran: the boundary lies beyond the range; the value nearest it.
    out.status = SolutionStatus::Found;
    out.metEverywhere = true;
    answer = closest;
    out.answer = goalPoint(*answer);
  } else {
    out.status = budget == 0 ? SolutionStatus::Bound : SolutionStatus::Unreachable;
  }
  if (!answer && closest) {
    // The closest the result comes to the target: beyond the results' span, the very value told
    // as the lowest or the highest (both kept as the first value that gives them).
    answer = closest;
    out.answer = goalPoint(*answer);
  }
  Case at = c;
  if (answer) at.set(caseKey(request.key).path, grid.text(*answer));
  for (const StopGroup& g : out.stops)
    if (out.stopMessage.find(g.message) == std::string::npos)
      out.stopMessage += (out.stopMessage.empty() ? "" : "; ") + g.message;
  out.rating = RatedCase{at, rateCase(at)};
  return out;
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
