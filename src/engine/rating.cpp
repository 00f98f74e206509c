#include "engine/rating.hpp"

#include <algorithm>
#include <cfloat>
#include <cmath>

#include "engine/checked.hpp"

namespace aph {

std::optional<double> actualOverallCoefficient(double h1, double foulingFlueGas,
                                               double plateThickness, double plateConductivity,
                                               double foulingAir, double h2) {
  return guarded([&] {
    const Real resistance = Real(1) / h1 + foulingFlueGas +
                            (Real(plateThickness) * 0.001) / plateConductivity + foulingAir +
                            Real(1) / h2;
    return (Real(1) / resistance).value();
  });
}

std::optional<float> theoreticalOverallCoefficient(float airDuty, float halfArea,
                                                   float meanTemperatureDifference) {
  return guarded([&] {
    const Extended k = toExtended(airDuty) * 1000 / (Extended(2) * toExtended(halfArea)) /
                       toExtended(meanTemperatureDifference);
    return toSingle(k).value();
  });
}

std::optional<float> surfaceMargin(double actual, float theoretical) {
  return guarded(
      [&] { return toSingle((Real(actual) / toReal(Single(theoretical)) - 1) * 100).value(); });
}

bool marginOutsideBand(float margin) {
  return margin < kMarginLow || margin > kMarginHigh;
}

std::optional<WallStep> wallStep(const WallSearchInput& in, float stepCount,
                                 TextRoundTrip roundTrip) {
  return guarded([&] {
    WallStep s;
    const Real count = toReal(Single(stepCount));
    Real tg, ta, q1, q2;
    if (in.end == WallEnd::Hot) {
      tg = Real(in.flueGasTemperature) - Real(0.001) * count;
      q1 = Real(roundTrip((Real(in.flueGasTemperature) - tg).value())) * in.h1;
      ta = tg - (Real(in.plateThickness) * 0.001) * q1 / in.plateConductivity;
      q2 = (ta - in.airTemperature) * in.h2;
    } else {
      tg = Real(in.airTemperature) + Real(0.001) * count;
      q1 = Real(roundTrip((Real(in.flueGasTemperature) - tg).value())) * in.h1;
      ta = tg - Real(0.001) * (Real(in.plateThickness) * q1) / in.plateConductivity;
      q2 = (ta - in.airTemperature) * in.h2;
    }
    // The qualifying test forms q2 - q1; it must exist as a finite number too.
    (void)(q2 - q1);
    s.tg = tg.value();
    s.ta = ta.value();
    s.q1 = q1.value();
    s.q2 = q2.value();
    return s;
  });
}

std::optional<double> wallStepChange(const WallSearchInput& in) {
  return guarded([&] {
    return (Real(0.001) *
            (Real(in.h1) + in.h2 +
             Real(in.h1) * in.h2 * (Real(in.plateThickness) * 0.001) / in.plateConductivity))
        .value();
  });
}

namespace {

// The window's tolerance on |q2 - q1|, in W/m2.
constexpr double kBand = 0.5;

bool qualifies(const WallStep& s) {
  return std::fabs(s.q2 - s.q1) <= kBand;
}

}  // namespace

std::optional<WallPoint> findWallTemperature(const WallSearchInput& in, TextRoundTrip roundTrip) {
  const auto change = wallStepChange(in);
  if (!change || std::fabs(*change) > 1) return std::nullopt;
  // q2 - q1 falls by Δq per step at the hot end and rises by Δq at the cold end.
  const double slope = in.end == WallEnd::Hot ? -*change : *change;

  const auto first = wallStep(in, 1.0f, roundTrip);
  if (!first) return std::nullopt;
  if (qualifies(*first)) return WallPoint{first->tg, first->ta, 1.0f};
  const double f1 = first->q2 - first->q1;
  // The side of the band the search starts on, +1 above it, -1 below it; it must move towards
  // the band.
  const double side = f1 > kBand ? 1.0 : -1.0;
  if (!(slope * side < 0)) return std::nullopt;

  // Linear estimate of the first step that reaches the near edge of the band.
  const double stepsToBand = (std::fabs(f1) - kBand) / std::fabs(slope);
  const double limit = static_cast<double>(kLargestWallStepCount);
  if (!(stepsToBand < limit)) return std::nullopt;
  const double estimate = 1 + std::ceil(stepsToBand);

  // Rounding noise of one evaluation of q2 - q1, generously bounded; the exact scan starts early
  // enough that the noise cannot hide an earlier qualifying step.
  const double c = std::fabs(in.plateThickness * 0.001 / in.plateConductivity);
  const double coefficients = std::fabs(in.h1) + std::fabs(in.h2) + std::fabs(in.h1 * in.h2) * c;
  const double temperatures = std::fabs(in.flueGasTemperature) + std::fabs(in.airTemperature) +
                              0.001 * estimate + std::fabs(first->tg) + std::fabs(first->ta) + 1;
  const double noise = 1e-12 * (coefficients * temperatures + std::fabs(f1) + 1);
  double margin = std::isfinite(noise) ? std::ceil(noise / std::fabs(slope)) + 2 : limit;
  margin = std::min(margin, limit);

  // Back off until the exact value at the start is still short of the band.
  double start = std::max(1.0, estimate - margin - 1);
  for (int attempt = 0; start > 1 && attempt < 64; ++attempt) {
    const auto s = wallStep(in, static_cast<float>(start), roundTrip);
    if (!s) return std::nullopt;
    if ((s->q2 - s->q1) * side > kBand) break;
    margin *= 2;
    start = std::max(1.0, estimate - margin - 1);
  }

  // Exact scan from there. Passing the far edge means the band was jumped: the step-by-step
  // search would never end.
  for (double n = start + 1; n <= limit; ++n) {
    const auto s = wallStep(in, static_cast<float>(n), roundTrip);
    if (!s) return std::nullopt;
    const double f = s->q2 - s->q1;
    if (std::fabs(f) <= kBand) return WallPoint{s->tg, s->ta, static_cast<float>(n)};
    if (f * side < -kBand) return std::nullopt;
  }
  return std::nullopt;
}

}  // namespace aph
