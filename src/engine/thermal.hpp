// Flow conversion, heat duties and the mean temperature differences of the three arrangements,
// each exactly as the window forms it (its rules are the contract, odd ones included).
// Every function returns an empty optional when its formula meets an arithmetic fault (a zero
// divisor, a logarithm of a non-positive number, a result too large for its precision).
#pragma once

#include <optional>

namespace aph {

// Terminal temperatures in ℃: side 1 is the flue gas, side 2 the air.
struct TerminalTemperatures {
  double t1in = 0, t1out = 0, t2in = 0, t2out = 0;
};

// A volume flow goes with the density it is used with (the stream's property set, at its mean
// temperature when it comes from the tables); it is not a flow at normal conditions.
// m3/h -> m3/s.
std::optional<double> volumeFlowPerSecond(double volumeFlowPerHour);
// Mass flow in kg/h from density (kg/m3) and a volume flow in m3/s: ρ × (3600 × V).
std::optional<double> massFlowPerHour(double density, double volumeFlowPerSecond);
// Volume flow in m3/s from a mass flow in kg/h: (G / ρ) / 3600.
std::optional<double> volumeFlowFromMassFlow(double massFlowPerHour, double density);
// Volume flow back in m3/h: 3600 × V.
std::optional<double> volumeFlowPerHour(double volumeFlowPerSecond);

// Heat duty in kW of a stream from its density (kg/m3), volume flow (m3/h), specific heat
// (kJ/(kg·K)) and temperature change (K): ρ × (Vh × 0.001) / 3600 × cp × 1000 × ΔT, in that
// order. The factors 0.001 and 1000 cancel; they stay for the window's rounding. Each side's duty
// stands alone: no balance between the two is formed here.
std::optional<double> heatDuty(double density, double volumeFlowPerHour, double specificHeat,
                               double temperatureChange);
// The air-side duty, the one the theoretical coefficient uses, is kept in single precision.
std::optional<float> heatDutySingle(double density, double volumeFlowPerHour, double specificHeat,
                                    double temperatureChange);

// Counterflow mean temperature difference in K, from the hot-end difference Δta = t1in - t2out
// and the cold-end difference Δtb = t1out - t2in: the logarithmic mean when Δta / Δtb > 1.7, the
// arithmetic mean (Δta + Δtb) / 2 otherwise. This is the window's rule. It resembles the
// engineering shortcut of taking the arithmetic mean for end differences close to each other (at
// a ratio of 1.7 it lies 2.3 % above the logarithmic mean), but it tests only hot end over cold
// end: a cold-end difference larger than the hot-end one always gets the arithmetic mean, however
// far apart the two are. Where both means exist the arithmetic one is never the smaller, so the
// rule errs towards a lower theoretical coefficient and a larger margin.
std::optional<double> counterflowMeanTemperatureDifference(const TerminalTemperatures& t);

// Counterflow mean temperature difference in K, always in logarithmic form
// (Δtb - Δta) / ln(Δtb / Δta), without the 1.7 rule: the counterflow limit of the multi-pass
// arrangement.
std::optional<double> logarithmicCounterflowMeanTemperatureDifference(
    const TerminalTemperatures& t);

// Mean temperature difference in K of crossflow with both streams unmixed, by the standard series
// for that arrangement: the counterflow mean |t1in - t2in| × θ, with θ the logarithmic mean over
// the inlet difference formed from the temperature effectivenesses Pa and Pb of the two streams,
// times the correction F = 1 - S, where S sums a(i, j) (1 - θ)^i sin(2j φ) over i, j = 1 … 4
// with φ = arctan(Pa / Pb). S is summed in single precision, as the window does. The series is
// meant for effectivenesses between 0 and 1 (each stream's change smaller than the inlet
// difference); it is applied without a range check.
std::optional<double> crossflowMeanTemperatureDifference(const TerminalTemperatures& t);

// Multi-pass mean temperature difference in K, the window's own combination: the geometric
// interpolation ΔTxf^(1/n) × ΔTcf^(1 - 1/n) between the crossflow value (n = 1) and the
// logarithmic counterflow value (n → ∞), with n the smaller of the two pass counts (fractions
// allowed; the air count on a tie), rounded to single precision. With the air count chosen, 1/n
// and 1 - 1/n are singles.
std::optional<float> multiPassMeanTemperatureDifference(double crossflow, double counterflow,
                                                        double flueGasPasses, float airPasses);

}  // namespace aph
