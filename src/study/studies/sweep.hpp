// Sweeps: one exchanger rated over a grid of one or two varied keys, every design on the very
// calculation of the window, spread over all cores, written as CSV in grid order.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <ostream>
#include <stdexcept>
#include <string>
#include <vector>

#include "study/case_input/case_file.hpp"
#include "study/case_input/range_syntax.hpp"
#include "study/checks/design_checks.hpp"
#include "study/checks/ranges.hpp"
#include "study/outputs/xlsx.hpp"

namespace aph::study {

// A sweep that cannot run: a varied key or range that cannot be read, a key that cannot be
// varied.
class SweepError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Grids beyond this many designs are refused rather than left running for hours: as many as one
// range may hold values.
inline constexpr std::size_t kMaxDesigns = kMaxRangeValues;

struct Axis {
  std::size_t key = 0;
  std::vector<std::string> texts;  // each value as it is typed into the field
  std::vector<double> values;
};

// A varied key read but not yet spread out: its size is known before anything is built.
struct VaryArgument {
  std::string argument;
  std::size_t key = 0;
  ValueRange range;  // FROM:TO:STEP or V1,V2,…
  std::size_t count() const { return range.count; }
};
// "plate.pairs=50:300:10" (both ends included) or "air.channel_gap=7,8,9.5". Throws SweepError
// beginning "ARGUMENT: " (the option that gave it is the caller's to name).
VaryArgument parseVaryArgument(const std::string& argument);
Axis buildAxis(const VaryArgument& vary);
// Refuses a grid of more than kMaxDesigns designs, before any axis is built.
void checkGridSize(const std::vector<VaryArgument>& varied);
Axis parseVary(const std::string& argument);
// FROM, FROM + STEP, … up to TO (within a millionth of a step).
Axis rangeAxis(std::size_t key, double from, double to, double step);

struct SweepPlan {
  Case base;
  std::vector<Axis> axes;  // one or two; the first runs slowest
};
// Refuses keys that cannot be varied, the same key twice, more than two axes, empty grids.
void checkSweep(const SweepPlan& plan);
std::size_t designCount(const SweepPlan& plan);

// Rates designs of one base case. Every design starts from a copy of a window that has the base
// case typed in and has never calculated, so it gives exactly what a freshly loaded window with
// the case would give.
//
// With `checkRanges`, a design outside the batch tool's ranges (study/checks/ranges) is not rated:
// its status is `invalid` with the reason, and the window returned has never calculated.
class DesignEvaluator {
 public:
  explicit DesignEvaluator(const Case& base, bool checkRanges = false,
                           const CheckSettings& checks = {});
  // Rates the base case with `texts[k]` typed for key `keys[k]`.
  const MainWindow& evaluate(const std::vector<std::size_t>& keys,
                             const std::vector<const std::string*>& texts, RunStatus& status);
  // The design checks of a rating of this case (the varied keys are no check keys).
  DesignChecks checks(const Rating& rating) const { return checks_(rating); }

 private:
  bool checkRanges_;
  CaseChecks checks_;
  // The first broken range among the rules that read none of the varied keys: the same for
  // every design of a sweep.
  std::vector<std::size_t> faultKeys_;
  std::optional<std::optional<RangeFault>> fixedFault_;
  // The own rule of each varied key, for the text it was last checked on.
  std::vector<const std::string*> valueTexts_;
  std::vector<std::optional<RangeFault>> valueFaults_;
  Case base_;
  Case current_;                       // the base case with the last design's keys typed over
  std::vector<std::size_t> lastKeys_;  // keys the last design typed over
  MainWindow prototype_;
  MainWindow work_;
  CaseUserInterface ui_;
};

// What sizing and the chart need of each design.
struct DesignValues {
  bool completed = false;
  bool invalid = false;     // outside the ranges: not rated
  std::uint16_t rule = 0;   // the range it breaks (study/checks/ranges)
  unsigned violations = 0;  // the window's and the design checks'
  double margin = 0, dpFlueGas = 0, dpAir = 0, kTheoretical = 0, area = 0;  // NaN when not shown
  double dewPointMargin = 0;  // K, NaN when no acid dew point is known or the run stopped short
  double requiredDewPointMargin = 0;  // K
  double heatBalance = 0;             // %, NaN when not known
  double tableLawSpecificHeat = 0;    // kJ/(kg·K) from the window's flue-gas law, NaN: none
};

// One design of a sweep as a row: the grid position, how it ended and its results as texts
// (the sweep columns, then the check results), each with the window's red flag.
struct SweepRecord {
  std::vector<std::size_t> index;  // per axis
  std::string_view status;         // "ok", "stopped", "invalid"
  std::string violations;
  std::vector<std::string> texts;  // empty for an invalid design
  std::vector<bool> flagged;
  std::string message;
  std::string note;  // what a design resting on the window's flue-gas table law says of it
};

// How the designs of a sweep ended.
struct SweepCounts {
  std::size_t completed = 0, stopped = 0, invalid = 0;
};

struct SweepOptions {
  unsigned threads = 0;           // 0, or more than there are cores: every core
  bool progress = false;          // a progress bar on stderr once the sweep has run a second
  bool asTyped = false;           // rate every design, in range or not
  bool keepValues = true;         // return the values of every design (for sizing and the chart)
  SweepCounts* counts = nullptr;  // filled when given
  CheckSettings checks;           // what the design checks hold each design to
  // Several load cases in one output: every CSV row starts with the load case's name in a
  // `case` column, and the header (with that column) is written only when `header` is set.
  bool caseColumn = false;
  bool header = true;
  // Each design's row in grid order, for outputs other than CSV (a workbook); returning false
  // stops the sweep.
  std::function<bool(const SweepRecord&)> records;
};

// A progress bar on stderr for a long run: nothing until the run has taken `after`, then redrawn
// at most ten times a second. clear() wipes it for a message (the next update draws it again);
// finish() draws it full and ends its line, once it was shown.
class ProgressBar {
 public:
  ProgressBar(bool enabled, std::size_t total,
              std::chrono::milliseconds after = std::chrono::seconds(1));
  void update(std::size_t done);
  void clear();
  void finish();

 private:
  void draw(std::size_t done);
  bool enabled_;
  std::size_t total_;
  std::chrono::steady_clock::time_point start_, lastDrawn_;
  std::chrono::milliseconds after_;
  bool shown_ = false;
};

// The worker threads a sweep starts: at most one per core.
unsigned sweepThreads(unsigned requested);

// Rates every design; writes the CSV (header and one row per design) when `csv` is given, and
// hands each row to `options.records` when that is set. Rows are written in grid order while
// the workers run, never more than a few chunks ahead of what the stream has taken; when the
// stream fails (or `records` returns false), the sweep stops (the caller finds out why).
// Designs outside the ranges are rows with status `invalid` and the reason.
std::vector<DesignValues> runSweep(const SweepPlan& plan, std::ostream* csv,
                                   const SweepOptions& options = {});

// The CSV header of a sweep; `caseColumn` starts it with the load case's `case` column.
std::string sweepHeader(const SweepPlan& plan, bool caseColumn = false);
// The same columns for a workbook, and a design's row of them.
std::vector<XlsxColumn> sweepXlsxColumns(const SweepPlan& plan, bool caseColumn = false);
std::vector<XlsxCell> sweepXlsxCells(const SweepPlan& plan, const SweepRecord& record,
                                     const std::string* caseName = nullptr);

// The sweep of the plate-pair count around the case's own count (half to one and a half times),
// as the datasheet draws it. Empty when the case's count is not a positive number.
std::optional<SweepPlan> plateCountSweep(const Case& c);

}  // namespace aph::study
