// Dew points of flue gas: the temperature below which sulphuric acid condenses from the gas (from
// its water-vapour and sulphur-trioxide partial pressures), and the temperature below which water
// condenses (the saturation line of water). A plate surface below the acid dew point corrodes.
// These are the batch tool's design checks beside the window's rating, from the published
// correlations named below; the window's own numbers never depend on them.
#pragma once

#include <optional>

namespace aph {

// Standard atmosphere in kPa (exact by definition) and the millimetre of mercury in kPa taken as
// the torr, 101.325 / 760 (the conventional mmHg differs by about 1 part in 10^7).
inline constexpr double kStandardPressureKpa = 101.325;
inline constexpr double kMillimetreOfMercuryKpa = kStandardPressureKpa / 760;

// Partial pressures of water vapour and sulphur trioxide, in mmHg, of a flue gas holding `h2o`
// volume per cent of water vapour (wet basis) and `so3` parts per million by volume of sulphur
// trioxide at `pressure` kPa absolute: each the volume (mole) fraction times the total pressure,
// as for ideal gases.
struct PartialPressures {
  double water = 0;            // mmHg
  double sulphurTrioxide = 0;  // mmHg
};
PartialPressures partialPressures(double h2oPercent, double so3Ppm, double pressureKpa);

// The sulphuric-acid dew point by Verhoff and Banchero (1974), in ℃:
//   1000 / T = 2.276 − 0.0294 ln pH2O − 0.0858 ln pSO3 + 0.0062 ln pH2O ln pSO3,
// T in K, partial pressures in mmHg (Chemical Engineering Progress 70 (8), 1974). An empirical
// fit for the water-vapour and SO3 contents of combustion flue gases: far from them it
// extrapolates, and no range is enforced here. Empty only when it gives no temperature (partial
// pressures not above 0, or so far outside the flue-gas range that 1000 / T is not positive).
std::optional<double> acidDewPoint(double waterMmHg, double sulphurTrioxideMmHg);

// The saturation line of water, IAPWS-IF97 region 4 (273.15 K to 647.096 K, 611.213 Pa to
// 22.064 MPa; the standard starts the line at 0 °C, 0.01 K below the triple point). The
// saturation-pressure equation, in MPa at `kelvin`, and its backward equation, the saturation
// temperature in K at `megapascal`; both solve the standard's one implicit quadratic in T and p,
// so they invert each other up to rounding. Empty outside the line.
std::optional<double> saturationPressure(double kelvin);
std::optional<double> saturationTemperature(double megapascal);

// The water dew point in ℃ of a gas whose water-vapour partial pressure is `waterMmHg`: the
// saturation temperature at that pressure. Empty where the saturation line ends (below its 0 °C
// end, where vapour would deposit as frost, and above the critical point).
std::optional<double> waterDewPoint(double waterMmHg);

}  // namespace aph
