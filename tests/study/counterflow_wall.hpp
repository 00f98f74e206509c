// The coldest point of the flue-gas face of a counterflow plate that delivers the rated duty,
// worked out by hand from a completed run: the heat Q = C1 (t1in − t1out) passes through
// K·A = Q / LMTD (exact in counterflow), both film coefficients scaled by the factor s that gives
// that K, 1/K = (1/h1 + 1/h2) / s + Rf1 + Rf2 + δ/λ; at the cold end the flux K (t1out − t2in)
// crosses the flue-gas film s·h1.
#pragma once

#include <cmath>

#include "model/result.hpp"

namespace aph::study {

// What both hand calculations take from the run: the heat capacity rates (kW/K), the inlet
// temperatures, the film coefficients and the resistance of fouling and plate (m²·K/W).
struct CounterflowPlate {
  explicit CounterflowPlate(const Rating& r)
      : c1(v(r, Quantity::FlueGasMassFlow) * v(r, Quantity::FlueGasSpecificHeat) / 3600),
        c2(v(r, Quantity::AirMassFlow) * v(r, Quantity::AirSpecificHeat) / 3600),
        t1in(v(r, Quantity::FlueGasInletTemperature)),
        t2in(v(r, Quantity::AirInletTemperature)),
        h1(v(r, Quantity::FlueGasFilmCoefficient)),
        h2(v(r, Quantity::AirFilmCoefficient)),
        walls(r.value(Quantity::FlueGasFouling).value_or(0) +
              r.value(Quantity::AirFouling).value_or(0) +
              v(r, Quantity::PlateThickness) / 1000 / v(r, Quantity::PlateConductivity)),
        area(v(r, Quantity::HeatTransferArea)) {}
  static double v(const Rating& r, Quantity q) { return *r.value(q); }
  double c1, c2, t1in, t2in, h1, h2, walls, area;
};

inline double counterflowColdFlueGasFace(const Rating& r) {
  const CounterflowPlate p(r);
  const double t1out = *r.value(Quantity::FlueGasOutletTemperature);
  const double duty = p.c1 * (p.t1in - t1out);
  const double hot = p.t1in - (p.t2in + duty / p.c2), cold = t1out - p.t2in;
  const double lmtd = std::fabs(hot - cold) < 1e-12 ? cold : (hot - cold) / std::log(hot / cold);
  const double k = duty / lmtd / p.area * 1000;  // W/(m²·K)
  const double s = (1 / p.h1 + 1 / p.h2) / (1 / k - p.walls);
  return t1out - k * cold / (s * p.h1);
}

// The same plate at its operating point: the run's own film coefficients, unscaled, give
// K·A; the counterflow effectiveness ε = (1 − e)/(1 − r·e), e = exp(−N1 (1 − r)), r = C1/C2,
// gives the flue-gas outlet, and the cold-end flux K (t1out − t2in) crosses the film h1.
inline double counterflowColdFlueGasFaceAsRun(const Rating& r) {
  const CounterflowPlate p(r);
  const double k = 1 / (1 / p.h1 + 1 / p.h2 + p.walls);
  const double n1 = k * p.area / 1000 / p.c1, ratio = p.c1 / p.c2;
  const double e = std::exp(-n1 * (1 - ratio));
  const double effectiveness =
      std::fabs(1 - ratio) < 1e-12 ? n1 / (1 + n1) : (1 - e) / (1 - ratio * e);
  const double t1out = p.t1in - effectiveness * (p.t1in - p.t2in);
  return t1out - k * (t1out - p.t2in) / p.h1;
}

}  // namespace aph::study
