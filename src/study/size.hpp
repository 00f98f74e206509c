// Sizing: the smallest value of one plate-pack parameter for which the margin lies in its band
// and both pressure drops stay at or under the limit.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "study/sweep.hpp"

namespace aph::study {

struct Limits {
  double marginLow = 0;    // %
  double marginHigh = 30;  // %
  double maxDrop = 500;    // Pa, each side
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
};
unsigned shortfalls(const DesignValues& v, const Limits& limits);

struct SizeResult {
  std::optional<std::size_t> found;  // index of the smallest candidate meeting every limit
  std::vector<std::size_t> order;    // candidate indices from the smallest value up
  std::vector<DesignValues> values;  // per candidate, in the axis' order
};

// Candidates outside the ranges (study/ranges) are skipped unless `asTyped`.
SizeResult sizeDesign(const Case& base, const Axis& candidates, const Limits& limits,
                      unsigned threads = 0, bool asTyped = false);

// The verdict in words: the value found and the limit that binds, or why no value qualifies;
// candidates skipped as out of range are counted by the range they break.
std::string describeSizing(const Case& base, const Axis& candidates, const Limits& limits,
                           const SizeResult& result);

}  // namespace aph::study
