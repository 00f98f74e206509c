// Physical properties of combustion air (side 2) and flue gas (side 1) from the window's built-in
// tables, both for a pressure of 1 atm, evaluated at a stream's mean temperature. The tables and
// the flue-gas specific-heat law are the window's contract and are reproduced value for value.
#pragma once

#include <cstdint>
#include <optional>

namespace aph {

// Properties of one stream at one mean temperature (mean temperature excluded). The units are those
// of the window's fields: viscosities in 10^-6 units (air at 20 °C: 18.1 and 15.06).
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

// Air properties at a mean temperature in °C, from the window's built-in table of dry air at 1 atm:
// valid from -50 °C up to, not including, 1000 °C, linear between nodes (the 1000 °C node only
// fixes the last slope). The Prandtl number is computed, not tabulated. Empty outside the table.
std::optional<PropertySet> airPropertiesAt(double meanTemperature);

// Flue-gas properties at a mean temperature in °C, from the window's built-in flue-gas table at
// 1 atm: valid from 0 °C up to, not including, 600 °C, linear between nodes 100 K apart. The
// specific heat is not interpolated: it follows the window's own law of a tabulated coefficient
// and the density (see the definition), which gives about 1.43 kJ/(kg·K) at 255 °C where a flue gas
// of this kind has about 1.1. Empty outside the table.
std::optional<PropertySet> flueGasPropertiesAt(double meanTemperature);

// Flue-gas properties on the same table and range, every column linear between its nodes, the
// specific heat the standard table's own per kilogram (about 1.1 kJ/(kg·K) where the window's
// law gives about 1.4): the batch tool's opt-in alternative, never the window's. Empty outside.
std::optional<PropertySet> standardFlueGasPropertiesAt(double meanTemperature);

// Prandtl number, dimensionless, from specific heat (kJ/(kg·K)), dynamic viscosity (10^-6 Pa·s) and
// conductivity (W/(m·K)): ((cp × μ) / λ) / 1000, the 1000 gathering the units (kJ to J, 10^-6).
// Used for properties the user typed. Empty when it has no finite value (zero conductivity).
std::optional<double> prandtlNumber(double specificHeat, double dynamicViscosity,
                                    double conductivity);

}  // namespace aph
