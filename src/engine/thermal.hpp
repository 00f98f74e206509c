// Flow conversion, heat duties and the mean temperature differences of the three arrangements.
// Every function returns an empty optional when its formula meets an arithmetic fault (a zero
// divisor, a logarithm of a non-positive number, a result too large for its precision).
#pragma once

#include <optional>

namespace aph {

// Terminal temperatures in ℃: side 1 is the flue gas, side 2 the air.
struct TerminalTemperatures {
  double t1in = 0, t1out = 0, t2in = 0, t2out = 0;
};

// m3/h -> m3/s.
std::optional<double> volumeFlowPerSecond(double volumeFlowPerHour);
// Mass flow in kg/h from density and a volume flow in m3/s: ρ × (3600 × V).
std::optional<double> massFlowPerHour(double density, double volumeFlowPerSecond);
// Volume flow in m3/s from a mass flow in kg/h: (G / ρ) / 3600.
std::optional<double> volumeFlowFromMassFlow(double massFlowPerHour, double density);
// Volume flow back in m3/h: 3600 × V.
std::optional<double> volumeFlowPerHour(double volumeFlowPerSecond);

// Heat duty in kW of a stream: ρ × (Vh × 0.001) / 3600 × cp × 1000 × ΔT, in that order.
std::optional<double> heatDuty(double density, double volumeFlowPerHour, double specificHeat,
                               double temperatureChange);
// The air-side duty is kept in single precision.
std::optional<float> heatDutySingle(double density, double volumeFlowPerHour, double specificHeat,
                                    double temperatureChange);

// Counterflow mean temperature difference: logarithmic when the hot-end difference exceeds 1.7
// times the cold-end one, arithmetic otherwise.
std::optional<double> counterflowMeanTemperatureDifference(const TerminalTemperatures& t);

// Counterflow mean temperature difference always in logarithmic form (multi-pass arrangement).
std::optional<double> logarithmicCounterflowMeanTemperatureDifference(
    const TerminalTemperatures& t);

// Crossflow with both streams unmixed: the counterflow mean of the inlet difference, |t1in - t2in|
// × θ, corrected by F = 1 - S, the four-by-four series in (1 - θ) and the angle φ = arctan(Pa/Pb)
// summed in single precision.
std::optional<double> crossflowMeanTemperatureDifference(const TerminalTemperatures& t);

// Multi-pass mean temperature difference ΔTxf^(1/n) × ΔTcf^(1 - 1/n) with n the smaller pass
// count, rounded to single precision. With the air count chosen, 1/n and 1 - 1/n are singles.
std::optional<float> multiPassMeanTemperatureDifference(double crossflow, double counterflow,
                                                        double flueGasPasses, float airPasses);

}  // namespace aph
