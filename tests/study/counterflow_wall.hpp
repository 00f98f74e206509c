// The coldest point of the flue-gas face of a counterflow plate that delivers the rated duty,
// worked out by hand from a completed run: the heat Q = C1 (t1in − t1out) passes through
// K·A = Q / LMTD (exact in counterflow), both film coefficients scaled by the factor s that gives
// that K, 1/K = (1/h1 + 1/h2) / s + Rf1 + Rf2 + δ/λ; at the cold end the flux K (t1out − t2in)
// crosses the flue-gas film s·h1.
#pragma once

#include <cmath>

#include "model/result.hpp"

namespace aph::study {

inline double counterflowColdFlueGasFace(const Rating& r) {
  const auto v = [&](Quantity q) { return *r.value(q); };
  const double c1 = v(Quantity::FlueGasMassFlow) * v(Quantity::FlueGasSpecificHeat) / 3600;
  const double c2 = v(Quantity::AirMassFlow) * v(Quantity::AirSpecificHeat) / 3600;
  const double t1in = v(Quantity::FlueGasInletTemperature);
  const double t1out = v(Quantity::FlueGasOutletTemperature);
  const double t2in = v(Quantity::AirInletTemperature);
  const double duty = c1 * (t1in - t1out);
  const double hot = t1in - (t2in + duty / c2), cold = t1out - t2in;
  const double lmtd = std::fabs(hot - cold) < 1e-12 ? cold : (hot - cold) / std::log(hot / cold);
  const double k = duty / lmtd / v(Quantity::HeatTransferArea) * 1000;  // W/(m²·K)
  const double walls = r.value(Quantity::FlueGasFouling).value_or(0) +
                       r.value(Quantity::AirFouling).value_or(0) +
                       v(Quantity::PlateThickness) / 1000 / v(Quantity::PlateConductivity);
  const double h1 = v(Quantity::FlueGasFilmCoefficient), h2 = v(Quantity::AirFilmCoefficient);
  const double s = (1 / h1 + 1 / h2) / (1 / k - walls);
  return t1out - k * cold / (s * h1);
}

// The same plate at its operating point: the run's own film coefficients, unscaled, give
// K·A; the counterflow effectiveness ε = (1 − e)/(1 − r·e), e = exp(−N1 (1 − r)), r = C1/C2,
// gives the flue-gas outlet, and the cold-end flux K (t1out − t2in) crosses the film h1.
inline double counterflowColdFlueGasFaceAsRun(const Rating& r) {
  const auto v = [&](Quantity q) { return *r.value(q); };
  const double c1 = v(Quantity::FlueGasMassFlow) * v(Quantity::FlueGasSpecificHeat) / 3600;
  const double c2 = v(Quantity::AirMassFlow) * v(Quantity::AirSpecificHeat) / 3600;
  const double t1in = v(Quantity::FlueGasInletTemperature);
  const double t2in = v(Quantity::AirInletTemperature);
  const double walls = r.value(Quantity::FlueGasFouling).value_or(0) +
                       r.value(Quantity::AirFouling).value_or(0) +
                       v(Quantity::PlateThickness) / 1000 / v(Quantity::PlateConductivity);
  const double h1 = v(Quantity::FlueGasFilmCoefficient), h2 = v(Quantity::AirFilmCoefficient);
  const double k = 1 / (1 / h1 + 1 / h2 + walls);
  const double n1 = k * v(Quantity::HeatTransferArea) / 1000 / c1, ratio = c1 / c2;
  const double e = std::exp(-n1 * (1 - ratio));
  const double effectiveness =
      std::fabs(1 - ratio) < 1e-12 ? n1 / (1 + n1) : (1 - e) / (1 - ratio * e);
  const double t1out = t1in - effectiveness * (t1in - t2in);
  return t1out - k * (t1out - t2in) / h1;
}

}  // namespace aph::study
