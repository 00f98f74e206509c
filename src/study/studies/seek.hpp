// Root finding on the grid of a field's text: a value typed into a field has a last decimal, so
// a search over it runs on whole multiples of that decimal. The searches of goal seeking and of
// the off-design rating narrow a sign change of a residual on such a grid, every trial a run of
// the window's calculation, and stop at a hard bound of trials.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace aph::study {

// Values index × 10^-decimals; indices stay within ±kMaxGridIndex, where a double still holds
// every index exactly.
struct TextGrid {
  int decimals = 0;
  // The exact decimal text of a grid value: "190.123", "-0.005", "110" (no trailing zeros).
  std::string text(long long index) const;
  // The number the window reads from that text.
  double value(long long index) const;
  // The grid value at or above / at or below v; empty when v lies beyond the grid's reach.
  std::optional<long long> above(double v) const;
  std::optional<long long> below(double v) const;
  // The step between neighbouring values.
  double step() const;
};
inline constexpr long long kMaxGridIndex = 1'000'000'000'000'000;  // 10^15

// How a search ended.
enum class SolutionStatus : std::uint8_t {
  Found,        // within the tolerance
  Grid,         // the two neighbouring values of the text's grid bracket the target: the closer
  Unreachable,  // no value in the range reaches it
  Bound,        // the hard bound of trials was reached first
};
std::string_view statusName(SolutionStatus status);

// One trial: where, and the residual there (empty when the run stopped with a message).
struct Trial {
  long long index = 0;
  std::optional<double> residual;
};

// How narrowing ended: Found or Grid (`best`, with `low` and `high` the last bracket), Bound, or
// Stopped when every trial within the bracket stopped (`stopped` the last such index).
struct NarrowResult {
  enum class End : std::uint8_t { Found, Grid, Bound, Stopped } end = End::Grid;
  Trial best, low, high;
  std::optional<long long> stopped;
};

// The residual at a grid index, or empty when the run there stops. Each call is one trial.
using Residual = std::function<std::optional<double>(long long index)>;

// Narrows a sign change between trials `a` and `b` (residuals of opposite signs, or one within
// the tolerance) by regula falsi with the Illinois weighting, falling back to bisection when the
// bracket does not halve, until a residual lies within `tolerance` or the two ends are grid
// neighbours. Every trial takes one from `budget`; at 0 it ends with Bound. A trial that stops
// is stepped around (a few other points of the bracket) before the search gives up.
NarrowResult narrowSignChange(Trial a, Trial b, double tolerance, const Residual& residual,
                              std::size_t& budget);

}  // namespace aph::study
