// Sizing: the smallest value of one plate-pack parameter for which, at every load case, the
// margin lies in its band, both pressure drops stay at or under the limit and the cold end keeps
// its margin above the acid dew point (where one is known).
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "study/checks/design_checks.hpp"
#include "study/studies/sweep.hpp"

namespace aph::study {

struct Limits {
  double marginLow = 0;    // %
  double marginHigh = 30;  // %
  double maxDrop = 500;    // Pa, each side
  // The dew-point margin the cold end must keep (and the heat-balance tolerance, which the plate
  // pack does not change: it is told, not sized for).
  CheckSettings checks;
};

// The parameters sizing can vary, and the candidates it tries when no range is given: every
// whole plate-pair count up to 1000, lengths and widths from 0.5 m to 10 m in 0.01 m steps, and
// the entries of the window's gap lists. Throws SweepError for any other key.
Axis defaultSizingAxis(std::size_t key);
bool isSizingKey(std::size_t key);

// Which limits a design breaks.
enum Shortfall : unsigned {
  kStopped = 1,
  kBelowBand = 2,
  kAboveBand = 4,
  kFlueGasOver = 8,
  kAirOver = 16,
  kInvalid = 32,  // outside the batch tool's ranges: not rated
  kColdEnd = 64,  // the cold-end wall closer to the acid dew point than required
};
unsigned shortfalls(const DesignValues& v, const Limits& limits);

// One load case's candidates.
struct LoadSizing {
  std::string name, file;
  std::vector<DesignValues> values;  // per candidate, in the axis' order
  bool dewPointKnown = false;        // an acid dew point is known: the cold end is checked
  double requiredDewPointMargin = 0;
};

struct SizeResult {
  std::optional<std::size_t> found;  // index of the smallest candidate meeting every limit
  std::vector<std::size_t> order;    // candidate indices from the smallest value up
  std::vector<LoadSizing> loads;     // in the order of the file
};

// Sizing over load cases given one at a time, so that only their values are kept. Candidates
// outside the ranges (study/checks/ranges) are skipped unless `asTyped`.
class SizeSearch {
 public:
  SizeSearch(const Axis& candidates, const Limits& limits, unsigned threads = 0,
             bool asTyped = false);
  void addLoad(const Case& load);
  // The smallest candidate meeting every limit at every load added.
  SizeResult finish();

 private:
  const Axis& candidates_;
  Limits limits_;
  unsigned threads_;
  bool asTyped_;
  SizeResult result_;
};

SizeResult sizeDesign(const Case& base, const Axis& candidates, const Limits& limits,
                      unsigned threads = 0, bool asTyped = false);
SizeResult sizeDesign(const std::vector<Case>& loads, const Axis& candidates, const Limits& limits,
                      unsigned threads = 0, bool asTyped = false);

// The verdict in words: the value found and the limit (and the load case) that binds, or why
// no value qualifies; candidates skipped as out of range are counted by the range they break;
// duties that disagree beyond the heat-balance tolerance are noted.
std::string describeSizing(const Axis& candidates, const Limits& limits, const SizeResult& result);
// The same (the case is named by the result).
std::string describeSizing(const Case& base, const Axis& candidates, const Limits& limits,
                           const SizeResult& result);

}  // namespace aph::study
