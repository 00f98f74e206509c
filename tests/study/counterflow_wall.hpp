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

}  // namespace aph::study
