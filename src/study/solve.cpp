#include "study/solve.hpp"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <limits>
#include <sstream>

#include "model/text.hpp"
#include "study/files.hpp"
#include "study/ranges.hpp"
#include "study/sweep.hpp"

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

// A result to read: seven significant digits.
std::string figure(double v) {
  char buffer[40];
  std::snprintf(buffer, sizeof buffer, "%.7g", v);
  return buffer;
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
    const ListInfo& list = listInfo(info.field);
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
  if (!isNumericKey(key))
    throw SolveError("--for " + path + ": not a number, so it cannot be solved for");
  const std::string s = side(path);
  if (isProperty(path) && c.value(s + ".properties"))
    throw SolveError("--for " + path + ": the case takes " + s + " properties from the table (\"" +
                     s + ".properties\": \"table\")");
  const auto& mode = c.value("flow_mode");
  if (mode && *mode == "volume" && endsWith(path, "mass_flow"))
    throw SolveError("--for " + path +
                     ": in volume mode the calculation writes the mass flows; solve for " + s +
                     ".volume_flow");
  if (mode && *mode == "mass" && endsWith(path, "volume_flow"))
    throw SolveError("--for " + path +
                     ": in mass mode the calculation writes the volume flows; solve for " + s +
                     ".mass_flow");
  const auto& arrangement = c.value("arrangement");
  if (path.starts_with("passes.") && !(arrangement && *arrangement == "multi-pass"))
    throw SolveError("--for " + path +
                     ": pass counts are read only by the multi-pass arrangement, which the case "
                     "does not select");
  if (endsWith(path, "equivalent_diameter") &&
      !c.inputText(*findKey("flue_gas.channel_gap")).empty() &&
      !c.inputText(*findKey("air.channel_gap")).empty())
    throw SolveError("--for " + path +
                     ": the calculation forms the equivalent diameters from the channel gaps; "
                     "give a gap as \"\" to read them instead");
}

std::optional<ResultColumn> findResultColumn(std::string_view name) {
  if (name == kMeanDifferenceColumn)
    return ResultColumn{kMeanDifferenceColumn, FieldId::Text58, fieldInfo(FieldId::Text58).unit};
  for (const ResultColumn& column : resultColumns())
    if (column.name == name) return column;
  return std::nullopt;
}

double parseOptionNumber(const std::string& text, const std::string& option) {
  const auto v = readWholeNumber(text);
  if (!text.empty() && v && std::isfinite(*v)) return *v;
  const bool tooLarge = !text.empty() && !readLeadingNumber(text);
  throw SolveError(option + ": \"" + shortened(text) + "\" is " +
                   (tooLarge ? "beyond what a double holds" : "not a number"));
}

std::pair<long long, long long> checkGoalSeek(const Case& c, const GoalSeekRequest& request) {
  checkSolveKey(c, request.key);
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
  GoalSeekAnswer out;
  out.key = request.key;
  out.resultName = std::string(request.result.name);
  out.target = request.target;
  out.tolerance = 1e-4 * std::max(1.0, std::fabs(request.target));
  std::size_t budget = request.maxEvaluations;

  DesignEvaluator evaluator(c, !request.asTyped);
  const std::vector<std::size_t> keys{request.key};
  std::string text;
  std::vector<const std::string*> texts{&text};
  RunStatus status;
  auto point = [&](long long index) {
    text = grid.text(index);
    const Rating& rating = evaluator.evaluate(keys, texts, status).rating();
    ++out.evaluations;
    GoalPoint p{text, grid.value(index), std::nullopt};
    if (status.completed) {
      p.result = rating.value(columnField(request.result, rating));
      if (p.result && !std::isfinite(*p.result)) p.result.reset();
    }
    if (!p.result) {
      if (out.stoppedAt.size() < 8) out.stoppedAt.push_back(text);
      ++out.stoppedCount;
      if (out.stopMessage.empty()) {
        for (const std::string& m : status.messages)
          out.stopMessage += (out.stopMessage.empty() ? "" : " / ") + m;
        if (status.completed) out.stopMessage = out.resultName + " has no value";
      }
    } else {
      if (!out.lowest || *p.result < *out.lowest->result) out.lowest = p;
      if (!out.highest || *p.result > *out.highest->result) out.highest = p;
    }
    return p;
  };
  auto residual = [&](long long index) -> std::optional<double> {
    const GoalPoint p = point(index);
    if (!p.result) return std::nullopt;
    return *p.result - request.target;
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
  out.low = {grid.text(first), grid.value(first), std::nullopt};
  out.high = {grid.text(last), grid.value(last), std::nullopt};
  if (!scan.empty() && scan.front().index == first && scan.front().residual)
    out.low.result = *scan.front().residual + request.target;
  if (!scan.empty() && scan.back().index == last && scan.back().residual)
    out.high.result = *scan.back().residual + request.target;

  // Where the runs stop on part of the range, the scan's step may hide the target next to it:
  // the edge of each stopping stretch is found by bisection (a few edges at most), and the last
  // value that runs there joins the scan.
  std::vector<Trial> edges;
  for (std::size_t k = 0; k + 1 < scan.size() && edges.size() < kStopEdges; ++k) {
    if (scan[k].residual.has_value() == scan[k + 1].residual.has_value()) continue;
    Trial runs = scan[k].residual ? scan[k] : scan[k + 1];
    long long stops = scan[k].residual ? scan[k + 1].index : scan[k].index;
    while (std::llabs(stops - runs.index) > 1 && budget > 0) {
      const long long m = runs.index + (stops - runs.index) / 2;
      --budget;
      Trial t{m, residual(m)};
      if (t.residual)
        runs = t;
      else
        stops = m;
    }
    if (runs.index != scan[k].index && runs.index != scan[k + 1].index) edges.push_back(runs);
  }
  scan.insert(scan.end(), edges.begin(), edges.end());
  std::sort(scan.begin(), scan.end(),
            [](const Trial& a, const Trial& b) { return a.index < b.index; });

  // The first value from the low end that reaches the target, or the first sign change.
  std::optional<std::pair<Trial, Trial>> bracket;
  const Trial* previous = nullptr;
  for (const Trial& t : scan) {
    if (!t.residual) continue;
    if (std::fabs(*t.residual) <= out.tolerance) {
      bracket = {t, t};
      break;
    }
    if (previous && (*previous->residual < 0) != (*t.residual < 0)) {
      bracket = {*previous, t};
      break;
    }
    previous = &t;
  }

  auto goalPoint = [&](const Trial& t) {
    GoalPoint p{grid.text(t.index), grid.value(t.index), std::nullopt};
    if (t.residual) p.result = *t.residual + request.target;
    return p;
  };
  std::optional<long long> answer;
  if (bracket) {
    NarrowResult narrowed;
    if (bracket->first.index == bracket->second.index) {
      narrowed.end = NarrowResult::End::Found;
      narrowed.best = narrowed.low = narrowed.high = bracket->first;
    } else {
      narrowed = narrowSignChange(bracket->first, bracket->second, out.tolerance, residual, budget);
    }
    out.low = goalPoint(narrowed.low);
    out.high = goalPoint(narrowed.high);
    answer = narrowed.best.index;
    out.answer = goalPoint(narrowed.best);
    if (narrowed.end == NarrowResult::End::Stopped) out.stopsInBracket = true;
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
        break;
    }
  } else if (budget == 0) {
    out.status = SolutionStatus::Bound;
  } else {
    out.status = SolutionStatus::Unreachable;
  }
  if (!answer) {
    // The closest the result comes to the target.
    const Trial* best = nullptr;
    for (const Trial& t : scan)
      if (t.residual && (!best || std::fabs(*t.residual) < std::fabs(*best->residual))) best = &t;
    if (best) {
      answer = best->index;
      out.answer = goalPoint(*best);
    }
  }
  Case at = c;
  if (answer) at.set(caseKey(request.key).path, grid.text(*answer));
  out.rating = RatedCase{at, rateCase(at)};
  return out;
}

std::string describeGoalSeek(const GoalSeekAnswer& a) {
  std::ostringstream out;
  const std::string path(caseKey(a.key).path);
  auto result = [&](const GoalPoint& p) {
    return p.result ? figure(*p.result) : std::string("— (the calculation stops)");
  };
  out << a.resultName << " = " << gridText(a.target) << " by " << path << ": ";
  switch (a.status) {
    case SolutionStatus::Found:
      out << "found\n  " << path << " = " << a.answer.text << "   " << a.resultName << " = "
          << result(a.answer) << " (within " << gridText(a.tolerance) << ")\n";
      break;
    case SolutionStatus::Grid:
      out << "between two neighbouring values "
          << (keyGrid(a.key).decimals == 0 ? std::string("(whole numbers)")
                                           : keyGrid(a.key).text(1) + " apart")
          << "\n  " << path << " = " << a.low.text << "   " << a.resultName << " = "
          << result(a.low) << "\n  " << path << " = " << a.high.text << "   " << a.resultName
          << " = " << result(a.high) << "\n  the closer: " << path << " = " << a.answer.text
          << "\n";
      break;
    case SolutionStatus::Unreachable:
      if (a.stopsInBracket) {
        out << "not reachable: " << a.resultName << " passes the target between " << a.low.text
            << " and " << a.high.text << ", where the calculation stops\n";
      } else if (a.lowest && a.highest) {
        out << "not reachable over " << a.low.text << "…" << a.high.text << "\n  " << a.resultName
            << " runs from " << figure(*a.lowest->result) << " (at " << a.lowest->text << ") to "
            << figure(*a.highest->result) << " (at " << a.highest->text << ")\n";
      } else {
        out << "not reachable: the calculation stops at every value tried\n";
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
  if (a.stoppedCount) {
    out << "  the calculation stops at " << a.stoppedCount << " value"
        << (a.stoppedCount == 1 ? "" : "s") << " tried (" << path << " = ";
    for (std::size_t k = 0; k < a.stoppedAt.size(); ++k) out << (k ? ", " : "") << a.stoppedAt[k];
    if (a.stoppedCount > a.stoppedAt.size()) out << ", …";
    out << ")";
    if (!a.stopMessage.empty()) out << ": " << a.stopMessage;
    out << "\n";
  }
  return out.str();
}

}  // namespace aph::study
