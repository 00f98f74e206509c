// Plate pack geometry, channel hydraulics, heat transfer and pressure drop: N plate pairs, the
// flue gas and the air each flowing through N flat channels. Lengths come in m, channel gaps and
// equivalent diameters in mm, as in the window's fields. Every function returns an empty optional
// when its formula meets an arithmetic fault.
#pragma once

#include <optional>

namespace aph {

// Heat transfer area of one plate in m2: channel width (m) × channel length (m).
std::optional<double> singlePlateArea(double width, double length);
// Plate pairs × single-plate area, rounded to single precision.
std::optional<float> halfHeatTransferArea(double platePairs, double singlePlateArea);
// Both faces of every plate pair: 2 × A_half in single precision.
std::optional<float> heatTransferArea(float halfArea);

// Equivalent (hydraulic) diameter 4A/P in mm of a rectangular slot of gap s (mm) and extent b (m),
// 2bs / (b + s) with b in mm: (b × 2 × 1000 × s) / (b × 1000 + s). For a gap far below the
// extent it is about twice the gap. The window takes the flue-gas side's channel length and the
// air side's channel width as the extent; at plate proportions that choice moves de by well
// under 1 %. The air side's diameter is kept in single precision.
std::optional<double> slotEquivalentDiameter(double extent, double gap);
std::optional<float> slotEquivalentDiameterSingle(double extent, double gap);

// Flow cross-section in m2 of one side, N channels of width W (m) and gap s (mm):
// N × W × s × 0.001, left to right. (In counterflow the window gives the flue-gas side the air
// channel width; the caller chooses W.)
std::optional<double> flowCrossSection(double platePairs, double width, double gap);
// Mean velocity between the plates in m/s: volume flow (m3/s) over the flow cross-section (m2).
std::optional<double> channelVelocity(double volumeFlow, double crossSection);
// Reynolds number ρ w de / μ, dimensionless, with ρ in kg/m3, w in m/s, de in mm and μ in
// 10^-6 Pa·s: ρ × (w × (de × 0.001)) / μ / 10^-6, in that order.
std::optional<double> reynoldsNumber(double density, double velocity, double equivalentDiameter,
                                     double dynamicViscosity);

// The window's plate-channel heat-transfer correlation, Nu = 0.0907 Re^0.6525 Pr^(1/3), the same
// for both sides. It has the form of the usual turbulent-flow fits for plate channels; the window
// gives no validity range and applies it at every Reynolds number, with no laminar or transition
// branch and no wall-viscosity term, so at low Re it is an extrapolation.
inline constexpr double kNusseltCoefficient = 0.0907;
inline constexpr double kNusseltReynoldsExponent = 0.6525;
// Nusselt number, dimensionless: Nu = F × 0.0907 × Re^0.6525 × Pr^prandtlExponent, where F is the
// user's Nu adjustment factor of the side (1 by default), which scales the correlation (to a
// plate's test data, for instance), and the exponent is 1/3 as the caller forms it (for the air
// side rounded to single precision first).
std::optional<double> nusseltNumber(double factor, double reynolds, double prandtl,
                                    double prandtlExponent);
// Film coefficient in W/(m2·K): h = Nu × λ / (de × 0.001), λ in W/(m·K), de in mm.
std::optional<double> filmCoefficient(double nusselt, double conductivity,
                                      double equivalentDiameter);

// Friction factor of the window's plate-channel friction correlation, in the Darcy form that the
// pressure drop below uses: f = F × 0.9109 × Re^-0.3314, F the user's resistance adjustment
// factor (1 by default). Like the Nusselt correlation it is applied at every Reynolds number,
// without a stated range.
std::optional<double> frictionFactor(double factor, double reynolds);
// Channel friction pressure drop in Pa over the path length L (m): ΔP = f × (L / (de × 0.001)) ×
// ρ × w² / 2, de in mm, ρ in kg/m3, w in m/s. Friction alone: no port, inlet, outlet or turning
// losses, and no pass count.
std::optional<double> pressureDrop(double friction, double pathLength, double equivalentDiameter,
                                   double density, double velocity);

// The window's limit for each side's pressure drop, in Pa; drops above it are flagged.
inline constexpr double kPressureDropLimit = 500;
// True above the limit; a drop of exactly 500 Pa is not flagged.
bool pressureDropOverLimit(double pressureDrop);

}  // namespace aph
