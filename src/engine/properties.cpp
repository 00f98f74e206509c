#include "engine/properties.hpp"

#include <array>
#include <cmath>

#include "engine/checked.hpp"

namespace aph {
namespace {

// One node of the air table: t in °C, density kg/m3, specific heat kJ/(kg·K), conductivity in
// table units of 10^-4 W/(m·K) (204 is 0.0204), dynamic viscosity 10^-6 Pa·s, kinematic viscosity
// 10^-6 m2/s.
struct AirNode {
  double t, density, specificHeat, conductivity /* 10^-4 W/(m·K) */, dynamicViscosity,
      kinematicViscosity;
};

// The window's built-in air property table: dry air at 1 atm (101.325 kPa), the values of the
// common handbook table. 31 nodes from -50 to 1000 °C, 10 K apart up to 100 °C, then 20 K to
// 200 °C, 50 K to 400 °C and 100 K to 1000 °C. Equal neighbouring values hold a property constant
// over the interval (the specific heat is tabulated to three decimals only).
constexpr std::array<AirNode, 31> kAirTable{{
    {-50, 1.584, 1.013, 204, 14.6, 9.23},   {-40, 1.515, 1.013, 212, 15.2, 10.04},
    {-30, 1.453, 1.013, 220, 15.7, 10.80},  {-20, 1.395, 1.009, 228, 16.2, 11.61},
    {-10, 1.342, 1.009, 236, 16.7, 12.43},  {0, 1.293, 1.005, 244, 17.2, 13.28},
    {10, 1.247, 1.005, 251, 17.6, 14.16},   {20, 1.205, 1.005, 259, 18.1, 15.06},
    {30, 1.165, 1.005, 267, 18.6, 16.00},   {40, 1.128, 1.005, 276, 19.1, 16.96},
    {50, 1.093, 1.005, 283, 19.6, 17.95},   {60, 1.060, 1.009, 290, 20.1, 18.97},
    {70, 1.029, 1.009, 296, 20.6, 20.02},   {80, 1.000, 1.009, 305, 21.1, 21.09},
    {90, 0.972, 1.009, 313, 21.5, 22.10},   {100, 0.946, 1.009, 321, 21.9, 23.13},
    {120, 0.898, 1.009, 334, 22.8, 25.45},  {140, 0.854, 1.013, 349, 23.7, 27.80},
    {160, 0.815, 1.017, 364, 24.5, 30.09},  {180, 0.779, 1.022, 378, 25.3, 32.49},
    {200, 0.746, 1.026, 393, 26.0, 34.85},  {250, 0.674, 1.038, 427, 27.4, 40.61},
    {300, 0.615, 1.047, 460, 29.7, 48.33},  {350, 0.566, 1.059, 491, 31.4, 55.46},
    {400, 0.524, 1.068, 521, 33.0, 63.09},  {500, 0.456, 1.093, 574, 36.2, 79.38},
    {600, 0.404, 1.114, 622, 39.1, 96.89},  {700, 0.362, 1.135, 671, 41.8, 115.4},
    {800, 0.329, 1.156, 718, 44.3, 134.8},  {900, 0.301, 1.172, 763, 46.7, 155.1},
    {1000, 0.277, 1.185, 807, 49.0, 177.1},
}};

// One node of the flue-gas table: t in °C, density kg/m3, heat-capacity coefficient c (the
// tabulated input of the specific-heat law, not itself a specific heat), conductivity W/(m·K),
// dynamic viscosity 10^-6 Pa·s, kinematic viscosity 10^-6 m2/s.
struct FlueGasNode {
  double t, density, heatCapacityCoefficient, conductivity, dynamicViscosity, kinematicViscosity;
};

// The window's built-in flue-gas property table at 1 atm, 7 nodes 100 K apart from 0 to 600 °C.
// Density, conductivity and viscosities are those of the common handbook table for a flue gas of
// average composition (by volume 13 % CO2, 11 % H2O, 76 % N2); the coefficient column is the
// window's own.
constexpr std::array<FlueGasNode, 7> kFlueGasTable{{
    {0, 1.295, 1.42, 0.0228, 15.8, 12.2},
    {100, 0.95, 1.42, 0.0313, 20.4, 21.54},
    {200, 0.748, 1.42, 0.0401, 24.5, 32.8},
    {300, 0.617, 1.44, 0.0484, 28.2, 45.81},
    {400, 0.525, 1.46, 0.057, 31.7, 60.38},
    {500, 0.457, 1.475, 0.0656, 34.8, 76.3},
    {600, 0.405, 1.49, 0.0742, 37.9, 93.61},
}};

// The specific heat per kilogram, kJ/(kg·K), at the nodes 0, 100, …, 600 ℃ of the standard
// flue-gas table of heat-transfer handbooks (r(CO2) = 0.13, r(H2O) = 0.11, r(N2) = 0.76, at
// 101.325 kPa), the very table whose density, conductivity and viscosities the flue-gas table
// above holds; the window's table carries its heat-capacity coefficient in its place. The
// handbook's Prandtl column, 0.72, 0.69, 0.67, 0.65, 0.64, 0.63, 0.62, is cp·μ/λ of these rows.
constexpr std::array<double, 7> kStandardFlueGasSpecificHeat = {1.042, 1.068, 1.097, 1.122,
                                                                1.151, 1.185, 1.214};

// Linear interpolation between the nodes Ta and Ta + width: Ya + ((Yb - Ya) / width) × (t - Ta),
// in exactly this order, so that the last bits match the window's.
double interpolate(double ya, double yb, double width, double t, double ta) {
  return ya + ((yb - ya) / width) * (t - ta);
}

// Index of the first interval [Ta, Tb) holding t, tested in ascending order: a temperature on a
// node takes that node's values, and the last node itself lies outside the table.
template <class Table>
std::optional<std::size_t> intervalOf(const Table& table, double t) {
  for (std::size_t k = 0; k + 1 < table.size(); ++k) {
    if (table[k].t <= t && t < table[k + 1].t) return k;
  }
  return std::nullopt;
}

}  // namespace

std::optional<std::int16_t> toWholeDegrees(double celsius) {
  if (!std::isfinite(celsius)) return std::nullopt;
  const double rounded = std::nearbyint(celsius);  // default rounding: halves to even
  if (rounded < -32768.0 || rounded > 32767.0) return std::nullopt;
  return static_cast<std::int16_t>(rounded);
}

std::optional<double> meanOfWholeDegrees(std::int16_t inlet, std::int16_t outlet) {
  const int sum = int{inlet} + int{outlet};
  if (sum < -32768 || sum > 32767) return std::nullopt;
  return static_cast<double>(sum) / 2;
}

std::optional<PropertySet> airPropertiesAt(double t) {
  const auto k = intervalOf(kAirTable, t);
  if (!k) return std::nullopt;
  const AirNode& a = kAirTable[*k];
  const AirNode& b = kAirTable[*k + 1];
  const double width = b.t - a.t;
  PropertySet p;
  p.density = interpolate(a.density, b.density, width, t, a.t);
  // Between 50 and 60 °C the specific heat stays at 1.005 and steps to 1.009 only at 60 °C.
  p.specificHeat = a.t == 50 ? 1.005 : interpolate(a.specificHeat, b.specificHeat, width, t, a.t);
  // Interpolated in table units, then scaled to W/(m·K).
  p.conductivity = interpolate(a.conductivity, b.conductivity, width, t, a.t) * 0.0001;
  p.dynamicViscosity = interpolate(a.dynamicViscosity, b.dynamicViscosity, width, t, a.t);
  p.kinematicViscosity = interpolate(a.kinematicViscosity, b.kinematicViscosity, width, t, a.t);
  // Pr = cp·μ/λ; the 1000 turns kJ into J and 10^-6 Pa·s into Pa·s.
  p.prandtl = ((p.specificHeat * p.dynamicViscosity) / p.conductivity) / 1000;
  return p;
}

std::optional<PropertySet> flueGasPropertiesAt(double t) {
  const auto k = intervalOf(kFlueGasTable, t);
  if (!k) return std::nullopt;
  const FlueGasNode& a = kFlueGasTable[*k];
  const FlueGasNode& b = kFlueGasTable[*k + 1];
  PropertySet p;
  p.density = interpolate(a.density, b.density, 100, t, a.t);
  p.conductivity = interpolate(a.conductivity, b.conductivity, 100, t, a.t);
  p.dynamicViscosity = interpolate(a.dynamicViscosity, b.dynamicViscosity, 100, t, a.t);
  p.kinematicViscosity = interpolate(a.kinematicViscosity, b.kinematicViscosity, 100, t, a.t);
  // The window's own specific-heat law, in kJ/(kg·K): below 200 °C the coefficient 1.42 times the
  // density; from 200 °C the node coefficient plus the density times its interpolated rise. It is
  // the contract and is kept although it is physically odd: below 200 °C it falls with the
  // density, from about 1.84 at 0 °C to about 1.06, jumps to 1.42 at 200 °C, steps up again at
  // each node above, and gives about 1.43 at the default mean of 255 °C, where this flue gas has a
  // specific heat of about 1.1.
  if (t < 200) {
    p.specificHeat = 1.42 * p.density;
  } else {
    // Only the slope term carries the density; the node coefficient is added bare.
    const double ca = a.heatCapacityCoefficient;
    const double cb = b.heatCapacityCoefficient;
    p.specificHeat = ca + (((cb - ca) / 100) * (t - a.t)) * p.density;
  }
  // Pr = μ·cp/λ with the specific heat of the law above: about 0.85 at 255 °C, where a specific
  // heat of 1.1 would give about 0.66.
  p.prandtl = ((p.dynamicViscosity * p.specificHeat) / p.conductivity) / 1000;
  return p;
}

std::optional<PropertySet> standardFlueGasPropertiesAt(double t) {
  // The window's density, conductivity and viscosities; the standard table's specific heat.
  auto p = flueGasPropertiesAt(t);
  if (!p) return p;
  const std::size_t k = *intervalOf(kFlueGasTable, t);
  p->specificHeat = interpolate(kStandardFlueGasSpecificHeat[k],
                                kStandardFlueGasSpecificHeat[k + 1], 100, t, kFlueGasTable[k].t);
  p->prandtl = ((p->dynamicViscosity * p->specificHeat) / p->conductivity) / 1000;
  return p;
}

std::optional<double> prandtlNumber(double specificHeat, double dynamicViscosity,
                                    double conductivity) {
  return guarded(
      [&] { return (((Real(specificHeat) * dynamicViscosity) / conductivity) / 1000).value(); });
}

}  // namespace aph
