// Goal seeking: the value of one input at which a result of the rating reaches a target ("how
// many plate pairs for a 15 % margin?"), every trial the window's own calculation on a freshly
// loaded window with the case typed in, exactly as a rating of the case with that value.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "study/checks/design_checks.hpp"
#include "study/outputs/results.hpp"
#include "study/studies/rate.hpp"
#include "study/studies/seek.hpp"

namespace aph::study {

// A goal seek that cannot run: a key or result that does not exist or that the calculation does
// not read in this case, a target or range that is not a number.
class SolveError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The last decimal each key is searched to: 0.001 ℃, 0.0001 m, whole plate pairs and passes,
// 0.001 mm, 0.01 m3/h and kg/h, and so on (docs/reference/commands.md lists them).
TextGrid keyGrid(std::size_t key);

// The range searched when none is given, from the case itself where it depends on it (the air
// outlet temperature between the air inlet and the flue-gas inlet temperature, the flows from
// 10 % to 200 % of the case's). Throws SolveError when the case leaves it empty.
std::pair<double, double> defaultRange(const Case& c, std::size_t key);

// Refuses a key the calculation does not read in this case (a property of a side whose
// properties come from the table, the mass flows in volume mode and the other way round, a key
// the case's arrangement never reads, equivalent diameters while both gaps are given).
void checkSolveKey(const Case& c, std::size_t key);

// A result column by name ("margin", "wall.min", "mean_temperature_difference").
std::optional<ResultColumn> findResultColumn(std::string_view name);

// What a goal seek drives to its target: a result of the rating, or one of the design checks
// (dew_point_margin, acid_dew_point, water_dew_point, heat_balance) worked out for each design.
struct GoalResult {
  GoalResult() = default;
  GoalResult(const ResultColumn& c)  // NOLINT(google-explicit-constructor)
      : name(c.name), unit(c.unit), column(c) {}
  std::string_view name;
  std::string_view unit;
  std::optional<ResultColumn> column;  // a result of the rating, or
  std::optional<CheckResult> check;    // a design check's result
};
std::optional<GoalResult> findGoalResult(std::string_view name);
// Every name a target may take, for messages.
std::string goalResultNames();

// How the result is to meet the target: reach it, or stay at or above, at or below it.
enum class TargetCondition : std::uint8_t { Equal, AtLeast, AtMost };
std::string_view conditionText(TargetCondition condition);  // "=", ">=", "<="

// "margin=15", "margin>=15", "air.pressure_drop<=3000". Throws SolveError naming `--target`.
struct GoalTarget {
  GoalResult result;
  TargetCondition condition = TargetCondition::Equal;
  double target = 0;
};
GoalTarget parseGoalTarget(const std::string& text);

// "15" → 15; refuses anything but a number a double holds. `option` names it in the message.
double parseOptionNumber(const std::string& text, const std::string& option);

// Scan points over the range, and the hard bound of trials of one goal seek.
inline constexpr std::size_t kSolveScanPoints = 41;
inline constexpr std::size_t kMaxSolveEvaluations = 200;
// Edges of stretches where the runs stop, each found by bisection between two scan points.
inline constexpr std::size_t kStopEdges = 4;

struct GoalSeekRequest {
  std::size_t key = 0;
  GoalResult result;
  double target = 0;
  // One-sided: the answer is the value nearest the boundary that meets the condition (on a grid,
  // the neighbour on the meeting side; elsewhere narrowed to the key's last decimal).
  TargetCondition condition = TargetCondition::Equal;
  std::optional<std::pair<double, double>> range;  // FROM:TO; none: defaultRange
  bool asTyped = false;                            // no range checks on the trials
  std::size_t maxEvaluations = kMaxSolveEvaluations;
};

// Checks the request against the case before anything is rated (key, a result the case can
// give at all, range ends within the allowed ranges unless asTyped, grid points in the range);
// returns the range as grid indices.
std::pair<long long, long long> checkGoalSeek(const Case& c, const GoalSeekRequest& request);

// A value of the key and the result there (empty when the run stops).
struct GoalPoint {
  std::string text;
  double value = 0;
  std::optional<double> result;
};

// Values at which the result could not be had, grouped by why: the run's own message (or the
// result left empty by a run that completed), how many, and the first few values.
struct StopGroup {
  std::string message;
  bool stopped = true;  // the run stopped; false: it completed without the result
  std::size_t count = 0;
  std::vector<std::string> at;
};

struct GoalSeekAnswer {
  std::size_t key = 0;
  std::string resultName;
  double target = 0;
  TargetCondition condition = TargetCondition::Equal;
  double tolerance = 0;  // 1e-4 of the target, at least 1e-4; 0 for a one-sided target
  SolutionStatus status = SolutionStatus::Unreachable;
  // Found: the value; grid: the closer of the two neighbours (one-sided: the one that meets the
  // condition); unreachable: the value whose result comes closest to the target (the lowest or
  // highest result when the target lies beyond them); bound: the best so far. No text when
  // nothing completed. Every result is the one rated at the value.
  GoalPoint answer;
  // The last bracket (grid: the two neighbouring values with their results); unreachable: the
  // range.
  GoalPoint low, high;
  // The result's lowest and highest value over the trials (for an unreachable target).
  std::optional<GoalPoint> lowest, highest;
  // Values at which the result could not be had (the first few), how many, and each distinct
  // message joined by "; "; `stops` tells which message belongs to which values.
  std::vector<std::string> stoppedAt;
  std::size_t stoppedCount = 0;
  std::string stopMessage;
  std::vector<StopGroup> stops;
  bool stopsInBracket = false;  // the target lies where the calculation stops
  bool metEverywhere = false;   // one-sided: met at every value that ran (the boundary lies beyond)
  std::size_t evaluations = 0;
  // The full rating at the answer, as `rate` gives it for a case holding the answer; with no
  // answer, the rating of the case as given.
  RatedCase rating;
};

// Scans kSolveScanPoints values evenly over the range (and the edges of stretches where the runs
// stop), takes the first sign change of result − target from the low end, and narrows it. Throws
// SolveError for a request checkGoalSeek refuses.
GoalSeekAnswer seekGoal(const Case& c, const GoalSeekRequest& request);

// The verdict in words (several lines, no rating table).
std::string describeGoalSeek(const GoalSeekAnswer& answer);

}  // namespace aph::study
