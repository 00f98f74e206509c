// Dew points of flue gas: the acid dew point by Verhoff and Banchero, the water dew point on
// the saturation line of IAPWS-IF97.
#include "engine/dew_point.hpp"

#include <gtest/gtest.h>

#include <cmath>

namespace aph {
namespace {

// IAPWS-IF97's own verification values for region 4: the saturation pressure (eq. 30) at 300,
// 500 and 600 K, and the saturation temperature (eq. 31) at 0.1, 1 and 10 MPa.
TEST(DewPoint, SaturationLineMatchesTheVerificationValues) {
  struct Point {
    double given, expected;
  };
  for (const Point& p :
       {Point{300, 0.353658941e-2}, Point{500, 0.263889776e1}, Point{600, 0.123443146e2}}) {
    const auto pressure = saturationPressure(p.given);
    ASSERT_TRUE(pressure) << p.given;
    EXPECT_NEAR(*pressure, p.expected, p.expected * 5e-9) << p.given << " K";
  }
  for (const Point& p :
       {Point{0.1, 0.372755919e3}, Point{1, 0.453035632e3}, Point{10, 0.584149488e3}}) {
    const auto temperature = saturationTemperature(p.given);
    ASSERT_TRUE(temperature) << p.given;
    EXPECT_NEAR(*temperature, p.expected, p.expected * 5e-9) << p.given << " MPa";
  }
}

// The backward equation inverts the forward one along the whole line, and neither goes past
// its ends (the triple point, the critical point).
TEST(DewPoint, SaturationLineEndsAtTheTripleAndCriticalPoints) {
  for (double kelvin = 273.15; kelvin <= 647; kelvin += 7.3) {
    const auto pressure = saturationPressure(kelvin);
    ASSERT_TRUE(pressure) << kelvin;
    const auto back = saturationTemperature(*pressure);
    ASSERT_TRUE(back) << kelvin;
    EXPECT_NEAR(*back, kelvin, 1e-3) << kelvin;  // the two equations agree within a millikelvin
  }
  for (const double kelvin : {273.14, 647.1, -1.0, std::nan("")})
    EXPECT_FALSE(saturationPressure(kelvin)) << kelvin;
  for (const double megapascal : {611.2e-6, 22.065, 0.0, -1.0, std::nan("")})
    EXPECT_FALSE(saturationTemperature(megapascal)) << megapascal;
}

// The worked check: 12 % water vapour and 3.2 ppm sulphur trioxide at 103.81 kPa.
TEST(DewPoint, WorkedCheck) {
  const PartialPressures p = partialPressures(12, 3.2, 103.81);
  EXPECT_NEAR(p.water, 93.44, 0.005);
  EXPECT_NEAR(p.sulphurTrioxide, 0.0024918, 3e-7);
  const auto acid = acidDewPoint(p.water, p.sulphurTrioxide);
  ASSERT_TRUE(acid);
  EXPECT_NEAR(*acid, 128.7, 0.05);
}

// The correlation evaluated here from its printed form, at pressures worked out by hand: at
// 101.325 kPa the gas stands at 760 mmHg, so 8 % water vapour is 60.8 mmHg and 10 ppm sulphur
// trioxide 0.0076 mmHg; at 100 kPa (750.0617 mmHg) 15 % and 50 ppm.
TEST(DewPoint, AcidDewPointFollowsTheCorrelation) {
  const auto correlation = [](double water, double trioxide) {
    const double a = std::log(water), b = std::log(trioxide);
    return 1000 / (2.276 - 0.0294 * a - 0.0858 * b + 0.0062 * a * b) - 273.15;
  };
  struct Row {
    double h2o, so3, kpa, water, trioxide;
  };
  for (const Row& r :
       {Row{8, 10, 101.325, 60.8, 0.0076}, Row{15, 50, 100, 0.15 * 750.0617, 50e-6 * 750.0617},
        Row{5, 1, 101.325, 38, 0.00076}}) {
    const PartialPressures p = partialPressures(r.h2o, r.so3, r.kpa);
    EXPECT_NEAR(p.water, r.water, r.water * 1e-6);
    EXPECT_NEAR(p.sulphurTrioxide, r.trioxide, r.trioxide * 1e-6);
    const auto acid = acidDewPoint(p.water, p.sulphurTrioxide);
    ASSERT_TRUE(acid);
    EXPECT_NEAR(*acid, correlation(r.water, r.trioxide), 1e-3) << r.h2o << " %, " << r.so3;
  }
  // More sulphur trioxide, a higher dew point.
  EXPECT_GT(*acidDewPoint(60, 0.01), *acidDewPoint(60, 0.001));
  EXPECT_FALSE(acidDewPoint(0, 0.01));
  EXPECT_FALSE(acidDewPoint(60, 0));
  EXPECT_FALSE(acidDewPoint(60, -1));
}

// Water condenses where its partial pressure meets the saturation line: at 50 ℃ water's
// saturation pressure is 12.352 kPa, at 100 ℃ 101.418 kPa (steam tables).
TEST(DewPoint, WaterDewPointOnTheSaturationLine) {
  const double mmHgPerKpa = 760 / 101.325;
  EXPECT_NEAR(*waterDewPoint(12.352 * mmHgPerKpa), 50.0, 0.01);
  EXPECT_NEAR(*waterDewPoint(101.418 * mmHgPerKpa), 100.0, 0.01);
  EXPECT_FALSE(waterDewPoint(0.4 * mmHgPerKpa));  // below the triple point: ice, not water
  EXPECT_FALSE(waterDewPoint(0));
}

}  // namespace
}  // namespace aph
