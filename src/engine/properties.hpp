// Physical properties of combustion air and flue gas from the built-in tables.
#pragma once

#include <cstdint>
#include <optional>

namespace aph {

// Properties of one stream at one mean temperature (mean temperature excluded).
struct PropertySet {
  double density = 0;             // kg/m3
  double specificHeat = 0;        // kJ/(kg·K)
  double conductivity = 0;        // W/(m·K)
  double dynamicViscosity = 0;    // 10^-6 Pa·s
  double kinematicViscosity = 0;  // 10^-6 m2/s
  double prandtl = 0;             // –
};

// A temperature rounded to 16-bit whole degrees, halves to the even neighbour (40.5 -> 40,
// 41.5 -> 42). Empty when the rounded value does not fit a 16-bit signed integer.
std::optional<std::int16_t> toWholeDegrees(double celsius);

// Mean of an inlet and an outlet temperature in whole degrees: the 16-bit sum halved, so always a
// whole or half degree. Empty when the sum leaves the 16-bit range.
std::optional<double> meanOfWholeDegrees(std::int16_t inlet, std::int16_t outlet);

// Air properties on the table from -50 to 1000 °C (1000 excluded), linear between nodes.
// Empty outside the table.
std::optional<PropertySet> airPropertiesAt(double meanTemperature);

// Flue-gas properties on the table from 0 to 600 °C (600 excluded); the specific heat follows the
// density-weighted law of the flue-gas table. Empty outside the table.
std::optional<PropertySet> flueGasPropertiesAt(double meanTemperature);

// Flue-gas properties on the same table and range, every column linear between its nodes, the
// specific heat the standard table's own per kilogram (about 1.1 kJ/(kg·K) where the window's
// law gives about 1.4): the batch tool's opt-in alternative, never the window's. Empty outside.
std::optional<PropertySet> standardFlueGasPropertiesAt(double meanTemperature);

// Prandtl number from specific heat (kJ/(kg·K)), dynamic viscosity (10^-6 Pa·s) and conductivity
// (W/(m·K)): ((cp × μ) / λ) / 1000. Empty when it has no finite value (zero conductivity).
std::optional<double> prandtlNumber(double specificHeat, double dynamicViscosity,
                                    double conductivity);

}  // namespace aph
