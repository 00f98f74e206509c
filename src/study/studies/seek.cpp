#include "study/studies/seek.hpp"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <limits>

#include "model/text.hpp"

namespace aph::study {
namespace {

double scale(int decimals) {
  return std::pow(10.0, decimals);
}

// A value a few rounding errors past a grid line (0.1 + 0.2 in tenths) still lands on it.
double hair(double scaled) {
  return 4 * std::numeric_limits<double>::epsilon() * std::fabs(scaled);
}

bool within(const Trial& t, double tolerance) {
  return t.residual && std::fabs(*t.residual) <= tolerance;
}

bool sameSign(double x, double y) {
  return (x < 0) == (y < 0);
}

const Trial& closer(const Trial& a, const Trial& b) {
  if (!a.residual) return b;
  if (!b.residual) return a;
  return std::fabs(*b.residual) < std::fabs(*a.residual) ? b : a;
}

}  // namespace

std::string TextGrid::text(long long index) const {
  const bool negative = index < 0;
  std::string digits = std::to_string(negative ? -index : index);
  if (decimals > 0) {
    const auto d = static_cast<std::size_t>(decimals);
    if (digits.size() <= d) digits.insert(0, d + 1 - digits.size(), '0');
    digits.insert(digits.size() - d, ".");
    while (digits.back() == '0') digits.pop_back();
    if (digits.back() == '.') digits.pop_back();
  }
  if (negative && digits != "0") digits.insert(0, "-");
  return digits;
}

double TextGrid::value(long long index) const {
  return readLeadingNumber(text(index)).value_or(0);
}

double TextGrid::step() const {
  return 1 / scale(decimals);
}

std::optional<long long> TextGrid::above(double v) const {
  const double scaled = v * scale(decimals);
  if (!(std::fabs(scaled) <= static_cast<double>(kMaxGridIndex) + 1)) return std::nullopt;
  const double index = std::ceil(scaled - hair(scaled));
  if (std::fabs(index) > static_cast<double>(kMaxGridIndex)) return std::nullopt;
  return static_cast<long long>(index);
}

std::optional<long long> TextGrid::below(double v) const {
  const double scaled = v * scale(decimals);
  if (!(std::fabs(scaled) <= static_cast<double>(kMaxGridIndex) + 1)) return std::nullopt;
  const double index = std::floor(scaled + hair(scaled));
  if (std::fabs(index) > static_cast<double>(kMaxGridIndex)) return std::nullopt;
  return static_cast<long long>(index);
}

std::string_view statusName(SolutionStatus status) {
  switch (status) {
    case SolutionStatus::Found:
      return "found";
    case SolutionStatus::Grid:
      return "grid";
    case SolutionStatus::Unreachable:
      return "unreachable";
    case SolutionStatus::Bound:
      return "bound";
  }
  return "unreachable";
}

NarrowResult narrowSignChange(Trial a, Trial b, double tolerance, const Residual& residual,
                              std::size_t& budget) {
  NarrowResult out;
  if (a.index > b.index) std::swap(a, b);
  out.low = a;
  out.high = b;
  if (within(a, tolerance) || within(b, tolerance)) {
    out.end = NarrowResult::End::Found;
    out.best = within(a, tolerance) && within(b, tolerance) ? closer(a, b)
               : within(a, tolerance)                       ? a
                                                            : b;
    return out;
  }
  // Illinois weights: the residual of an end that stays put twice in a row counts half.
  double weightA = *a.residual, weightB = *b.residual;
  int lastMoved = 0;  // -1: a moved last, +1: b moved last
  long long halvingWidth = b.index - a.index;
  int slowSteps = 0;
  for (;;) {
    out.low = a;
    out.high = b;
    out.best = closer(a, b);
    const long long width = b.index - a.index;
    if (width <= 1) {
      out.end = NarrowResult::End::Grid;
      return out;
    }
    if (budget == 0) {
      out.end = NarrowResult::End::Bound;
      return out;
    }
    const bool bisect = slowSteps >= 2;
    long long m = a.index + width / 2;
    if (!bisect) {
      const double share = weightA / (weightA - weightB);
      if (std::isfinite(share))
        m = a.index + std::llround(std::clamp(share, 0.0, 1.0) * static_cast<double>(width));
    }
    m = std::clamp(m, a.index + 1, b.index - 1);
    --budget;
    Trial t{m, residual(m)};
    if (!t.residual) {
      // The run stops here: other points of the bracket, nearer each end, before giving up.
      out.stopped = m;
      for (double share : {0.25, 0.75, 0.125, 0.875, 0.375, 0.625}) {
        if (budget == 0) break;
        const long long p = std::clamp(a.index + std::llround(share * static_cast<double>(width)),
                                       a.index + 1, b.index - 1);
        if (p == m) continue;
        --budget;
        t = {p, residual(p)};
        if (t.residual) break;
        out.stopped = p;
      }
      if (!t.residual) {
        out.end = budget == 0 ? NarrowResult::End::Bound : NarrowResult::End::Stopped;
        return out;
      }
    }
    if (within(t, tolerance)) {
      out.end = NarrowResult::End::Found;
      out.best = t;
      if (sameSign(*t.residual, *a.residual))
        out.low = t;
      else
        out.high = t;
      return out;
    }
    if (sameSign(*t.residual, *a.residual)) {
      a = t;
      weightA = *t.residual;
      if (lastMoved == -1) weightB *= 0.5;
      lastMoved = -1;
    } else {
      b = t;
      weightB = *t.residual;
      if (lastMoved == 1) weightA *= 0.5;
      lastMoved = 1;
    }
    const long long now = b.index - a.index;
    if (bisect || now * 2 <= halvingWidth) {
      slowSteps = 0;
      halvingWidth = now;
    } else {
      ++slowSteps;
    }
  }
}

}  // namespace aph::study
