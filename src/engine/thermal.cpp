#include "engine/thermal.hpp"

#include "engine/checked.hpp"

namespace aph {
namespace {

// The window's value of π, seven decimals (5.4e-8 short of π), converts between radians and
// degrees in both directions, so the sine argument is 2j·arctan(Pa / Pb) up to rounding.
constexpr double kPi = 3.1415926;

// Coefficients a(i, j) of the standard series for crossflow with both streams unmixed: row i is
// the power of (1 - θ), column j the multiple 2j of the angle φ in the sine. The even columns
// are zero, so exchanging Pa and Pb leaves the sum unchanged apart from rounding.
constexpr double kCrossflowCoefficients[4][4] = {
    {0.0669, 0, 0.0395, 0},
    {-0.278, 0, -0.22, 0},
    {1.11, 0, 0.454, 0},
    {0.136, 0, -0.258, 0},
};

}  // namespace

std::optional<double> volumeFlowPerSecond(double volumeFlowPerHour) {
  return guarded([&] { return (Real(volumeFlowPerHour) / 3600).value(); });
}

std::optional<double> massFlowPerHour(double density, double volumeFlowPerSecond) {
  return guarded([&] { return (Real(density) * (Real(3600) * volumeFlowPerSecond)).value(); });
}

std::optional<double> volumeFlowFromMassFlow(double massFlowPerHour, double density) {
  return guarded([&] { return ((Real(massFlowPerHour) / density) / 3600).value(); });
}

std::optional<double> volumeFlowPerHour(double volumeFlowPerSecond) {
  return guarded([&] { return (Real(3600) * volumeFlowPerSecond).value(); });
}

namespace {
Real heatDutyReal(double density, double volumeFlowPerHour, double specificHeat,
                  double temperatureChange) {
  return Real(density) * (Real(volumeFlowPerHour) * 0.001) / 3600 * specificHeat * 1000 *
         temperatureChange;
}
}  // namespace

std::optional<double> heatDuty(double density, double volumeFlowPerHour, double specificHeat,
                               double temperatureChange) {
  return guarded([&] {
    return heatDutyReal(density, volumeFlowPerHour, specificHeat, temperatureChange).value();
  });
}

std::optional<float> heatDutySingle(double density, double volumeFlowPerHour, double specificHeat,
                                    double temperatureChange) {
  return guarded([&] {
    return toSingle(heatDutyReal(density, volumeFlowPerHour, specificHeat, temperatureChange))
        .value();
  });
}

std::optional<double> counterflowMeanTemperatureDifference(const TerminalTemperatures& t) {
  return guarded([&] {
    const Real hotEnd = Real(t.t1in) - t.t2out;
    const Real coldEnd = Real(t.t1out) - t.t2in;
    const Real ratio = hotEnd / coldEnd;
    // Only the hot-end over cold-end quotient decides; at or below 1.7 (a ratio below 1 and a
    // negative one included) the arithmetic mean serves. Above 1.7 both ends have the same sign,
    // so the logarithm is defined.
    if (ratio > 1.7) return ((coldEnd - hotEnd) / ln(coldEnd / hotEnd)).value();
    return ((coldEnd + hotEnd) / 2).value();
  });
}

std::optional<double> logarithmicCounterflowMeanTemperatureDifference(
    const TerminalTemperatures& t) {
  return guarded([&] {
    const Real coldEnd = Real(t.t1out) - t.t2in;
    const Real hotEnd = Real(t.t1in) - t.t2out;
    const Real logOfRatio = ln(coldEnd / hotEnd);
    return ((coldEnd - hotEnd) / logOfRatio).value();
  });
}

std::optional<double> crossflowMeanTemperatureDifference(const TerminalTemperatures& t) {
  return guarded([&] {
    // Temperature effectivenesses: each stream's change over the inlet temperature difference.
    Real pa, pb;
    if (t.t1out >= t.t2in) {
      pa = (Real(t.t2in) - t.t2out) / (Real(t.t2in) - t.t1in);
      pb = (Real(t.t1out) - t.t1in) / (Real(t.t2in) - t.t1in);
    } else {
      // The roles exchange when the flue gas leaves colder than the air enters; this avoids a
      // zero divisor in the angle when the flue gas does not change temperature.
      pa = (Real(t.t1in) - t.t1out) / (Real(t.t1in) - t.t2in);
      pb = (Real(t.t2out) - t.t2in) / (Real(t.t1in) - t.t2in);
    }
    // θ: the logarithmic counterflow mean over the inlet difference, written in the two
    // effectivenesses; for equal ones its limit 1 - P. φ in degrees, the window's way.
    const Real theta =
        pb != pa ? (pa - pb) / ln((Real(1) - pb) / (Real(1) - pa)) : Real(1) - (pb + pa) * 0.5;
    const Real phi = arctan(pa / pb) * 180 / kPi;

    Single sum = 0.0f;
    for (int i = 1; i <= 4; ++i) {
      for (int j = 1; j <= 4; ++j) {
        const Single term =
            toSingle(Real(kCrossflowCoefficients[i - 1][j - 1]) * power(Real(1) - theta, i) *
                     sine(Real(kPi) * (phi * (2 * j)) / 180));
        sum += term;
      }
    }
    // F = 1 - S, the crossflow correction of the counterflow mean.
    const Single correction = Single(1.0f) - sum;
    return (magnitude(Real(t.t1in) - t.t2in) * (theta * toReal(correction))).value();
  });
}

std::optional<float> multiPassMeanTemperatureDifference(double crossflow, double counterflow,
                                                        double flueGasPasses, float airPasses) {
  return guarded([&] {
    Real inverse, complement;
    if (flueGasPasses < static_cast<double>(airPasses)) {
      inverse = Real(1) / flueGasPasses;
      complement = Real(1) - inverse;
    } else {
      const Single inverseSingle = Single(1.0f) / airPasses;
      inverse = toReal(inverseSingle);
      complement = toReal(Single(1.0f) - inverseSingle);
    }
    return toSingle(power(crossflow, inverse) * power(counterflow, complement)).value();
  });
}

}  // namespace aph
