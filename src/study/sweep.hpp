// Sweeps: one exchanger rated over a grid of one or two varied keys, every design on the very
// calculation of the window, spread over all cores, written as CSV in grid order.
#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <ostream>
#include <stdexcept>
#include <string>
#include <vector>

#include "study/case_file.hpp"

namespace aph::study {

// A sweep that cannot run: a bad --vary, a key that cannot be varied.
class SweepError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

struct Axis {
  std::size_t key = 0;
  std::vector<std::string> texts;  // each value as it is typed into the field
  std::vector<double> values;
};

// "plate.pairs=50:300:10" (both ends included) or "air.channel_gap=7,8,9.5".
Axis parseVary(const std::string& argument);
// FROM, FROM + STEP, … up to TO (within a millionth of a step).
Axis rangeAxis(std::size_t key, double from, double to, double step);
// A grid value as field text: 12 significant digits, so that 0.1 + 0.2 types as 0.3.
std::string gridText(double value);

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
class DesignEvaluator {
 public:
  explicit DesignEvaluator(const Case& base);
  // Rates the base case with `texts[k]` typed for key `keys[k]`.
  const MainWindow& evaluate(const std::vector<std::size_t>& keys,
                             const std::vector<const std::string*>& texts, RunStatus& status);

 private:
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
  unsigned violations = 0;
  double margin = 0, dpFlueGas = 0, dpAir = 0, kTheoretical = 0, area = 0;  // NaN when not shown
};

struct SweepOptions {
  unsigned threads = 0;   // 0: every core
  bool progress = false;  // a progress bar on stderr once the sweep has run a second
};

// Rates every design; writes the CSV (header and one row per design) when `csv` is given.
std::vector<DesignValues> runSweep(const SweepPlan& plan, std::ostream* csv,
                                   const SweepOptions& options = {});

// The CSV header of a sweep.
std::string sweepHeader(const SweepPlan& plan);

// The sweep of the plate-pair count around the case's own count (half to one and a half times),
// as the datasheet draws it. Empty when the case's count is not a positive number.
std::optional<SweepPlan> plateCountSweep(const Case& c);

}  // namespace aph::study
