// Plate pack geometry, channel hydraulics, heat transfer and pressure drop. Every function
// returns an empty optional when its formula meets an arithmetic fault.
#pragma once

#include <optional>

namespace aph {

// Heat transfer area of one plate in m2: width × length.
std::optional<double> singlePlateArea(double width, double length);
// Plate pairs × single-plate area, rounded to single precision.
std::optional<float> halfHeatTransferArea(double platePairs, double singlePlateArea);
// Both faces of every plate pair: 2 × A_half in single precision.
std::optional<float> heatTransferArea(float halfArea);

// Hydraulic diameter in mm of a slot of gap s (mm) and extent b (m): (b × 2 × 1000 × s) /
// (b × 1000 + s).
std::optional<double> slotEquivalentDiameter(double extent, double gap);
std::optional<float> slotEquivalentDiameterSingle(double extent, double gap);

// Flow cross-section in m2 of one side: N × W × s × 0.001 (gap in mm), left to right.
std::optional<double> flowCrossSection(double platePairs, double width, double gap);
// Mean velocity between the plates in m/s.
std::optional<double> channelVelocity(double volumeFlow, double crossSection);
// Re = ρ × (w × (de × 0.001)) / μ / 10^-6 with de in mm and μ in 10^-6 Pa·s.
std::optional<double> reynoldsNumber(double density, double velocity, double equivalentDiameter,
                                     double dynamicViscosity);

// Plate-channel correlation constants.
inline constexpr double kNusseltCoefficient = 0.0907;
inline constexpr double kNusseltReynoldsExponent = 0.6525;
// Nu = F × 0.0907 × Re^0.6525 × Pr^prandtlExponent.
std::optional<double> nusseltNumber(double factor, double reynolds, double prandtl,
                                    double prandtlExponent);
// h = Nu × λ / (de × 0.001), de in mm.
std::optional<double> filmCoefficient(double nusselt, double conductivity,
                                      double equivalentDiameter);

// f = F × 0.9109 × Re^-0.3314.
std::optional<double> frictionFactor(double factor, double reynolds);
// ΔP = f × (L / (de × 0.001)) × ρ × w² / 2 in Pa.
std::optional<double> pressureDrop(double friction, double pathLength, double equivalentDiameter,
                                   double density, double velocity);

// Pressure drops above this are flagged.
inline constexpr double kPressureDropLimit = 500;
// True above the limit; a drop of exactly 500 Pa is not flagged.
bool pressureDropOverLimit(double pressureDrop);

}  // namespace aph
