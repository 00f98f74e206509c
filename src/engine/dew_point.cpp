#include "engine/dew_point.hpp"

#include <array>
#include <cmath>

namespace aph {
namespace {

// 0 °C in kelvin.
constexpr double kKelvinOffset = 273.15;

// IAPWS-IF97, region 4: the coefficients n1 … n10 of the saturation-pressure equation and its
// backward equation (T* = 1 K, p* = 1 MPa), as the standard tabulates them.
constexpr std::array<double, 10> kN = {
    0.11670521452767e4,  -0.72421316703206e6, -0.17073846940092e2, 0.12020824702470e5,
    -0.32325550322333e7, 0.14915108613530e2,  -0.48232657361591e4, 0.40511340542057e6,
    -0.23855557567849,   0.65017534844798e3,
};
constexpr double kTripleTemperature = 273.15;     // K, the lower end of the line in the standard
constexpr double kCriticalTemperature = 647.096;  // K
// MPa: the saturation pressure at 273.15 K by the forward equation (611.213 Pa, rounded, in
// the standard), so that the two equations cover the same stretch of the line.
constexpr double kTriplePressure = 611.212677e-6;
constexpr double kCriticalPressure = 22.064;  // MPa

}  // namespace

PartialPressures partialPressures(double h2oPercent, double so3Ppm, double pressureKpa) {
  const double totalMmHg = pressureKpa / kMillimetreOfMercuryKpa;
  return {h2oPercent / 100 * totalMmHg, so3Ppm * 1e-6 * totalMmHg};
}

std::optional<double> acidDewPoint(double waterMmHg, double sulphurTrioxideMmHg) {
  if (!(waterMmHg > 0) || !(sulphurTrioxideMmHg > 0)) return std::nullopt;
  const double lnWater = std::log(waterMmHg);
  const double lnTrioxide = std::log(sulphurTrioxideMmHg);
  const double inverse =
      2.276 - 0.0294 * lnWater - 0.0858 * lnTrioxide + 0.0062 * lnWater * lnTrioxide;
  if (!(inverse > 0) || !std::isfinite(inverse)) return std::nullopt;
  const double kelvin = 1000 / inverse;
  if (!std::isfinite(kelvin)) return std::nullopt;
  return kelvin - kKelvinOffset;
}

// The standard's saturation-pressure equation: its quadratic in β = (p / p*)^(1/4) and
// θ = T / T* + n9 / (T / T* - n10), solved for β.
std::optional<double> saturationPressure(double kelvin) {
  if (!(kelvin >= kTripleTemperature && kelvin <= kCriticalTemperature)) return std::nullopt;
  const double theta = kelvin + kN[8] / (kelvin - kN[9]);
  const double a = theta * theta + kN[0] * theta + kN[1];
  const double b = kN[2] * theta * theta + kN[3] * theta + kN[4];
  const double c = kN[5] * theta * theta + kN[6] * theta + kN[7];
  const double ratio = 2 * c / (-b + std::sqrt(b * b - 4 * a * c));
  return ratio * ratio * ratio * ratio;
}

// The standard's backward equation: the same quadratic solved for θ at the given β, then T from θ.
std::optional<double> saturationTemperature(double megapascal) {
  if (!(megapascal >= kTriplePressure && megapascal <= kCriticalPressure)) return std::nullopt;
  const double beta = std::pow(megapascal, 0.25);
  const double e = beta * beta + kN[2] * beta + kN[5];
  const double f = kN[0] * beta * beta + kN[3] * beta + kN[6];
  const double g = kN[1] * beta * beta + kN[4] * beta + kN[7];
  const double d = 2 * g / (-f - std::sqrt(f * f - 4 * e * g));
  const double sum = kN[9] + d;
  return (sum - std::sqrt(sum * sum - 4 * (kN[8] + kN[9] * d))) / 2;
}

std::optional<double> waterDewPoint(double waterMmHg) {
  const double megapascal = waterMmHg * kMillimetreOfMercuryKpa / 1000;
  const auto kelvin = saturationTemperature(megapascal);
  if (!kelvin) return std::nullopt;
  return *kelvin - kKelvinOffset;
}

}  // namespace aph
