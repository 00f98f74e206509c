#include "engine/properties.hpp"

#include <gtest/gtest.h>

namespace aph {
namespace {

TEST(WholeDegrees, RoundsHalvesToEvenWithinSixteenBits) {
  const struct {
    double celsius;
    int expected;
  } cases[] = {{40.5, 40}, {41.5, 42}, {350.5, 350},     {351.5, 352},      {0.4, 0},
               {-0.5, 0},  {-1.5, -2}, {32767.4, 32767}, {-32768.4, -32768}};
  for (const auto& c : cases) EXPECT_EQ(*toWholeDegrees(c.celsius), c.expected) << c.celsius;
  for (double outside : {32767.5, 40000.0, -32768.6, 1e300})
    EXPECT_FALSE(toWholeDegrees(outside).has_value()) << outside;
}

TEST(WholeDegrees, MeanIsTheHalvedSixteenBitSum) {
  EXPECT_EQ(*meanOfWholeDegrees(40, 191), 115.5);
  EXPECT_EQ(*meanOfWholeDegrees(350, 160), 255);
  EXPECT_FALSE(meanOfWholeDegrees(20000, 20000).has_value());
  EXPECT_FALSE(meanOfWholeDegrees(-20000, -20000).has_value());
}

// Linear interpolation written independently of the implementation's ordering.
double between(double a, double b, double fraction) {
  return a + (b - a) * fraction;
}

TEST(AirProperties, InterpolatesWithinTheTable) {
  // 115 °C lies three quarters of the way from the 100 °C node to the 120 °C node.
  const PropertySet p = *airPropertiesAt(115);
  EXPECT_NEAR(p.density, between(0.946, 0.898, 0.75), 1e-12);
  EXPECT_DOUBLE_EQ(p.specificHeat, 1.009);
  EXPECT_NEAR(p.conductivity, between(321, 334, 0.75) * 1e-4, 1e-15);
  EXPECT_NEAR(p.dynamicViscosity, between(21.9, 22.8, 0.75), 1e-12);
  EXPECT_NEAR(p.kinematicViscosity, between(23.13, 25.45, 0.75), 1e-12);
  EXPECT_NEAR(p.prandtl, p.specificHeat * p.dynamicViscosity / p.conductivity / 1000, 1e-15);
}

TEST(AirProperties, NodesAndSteps) {
  const PropertySet cold = *airPropertiesAt(-50);
  EXPECT_DOUBLE_EQ(cold.density, 1.584);
  EXPECT_DOUBLE_EQ(cold.prandtl, 1.013 * 14.6 / (204 * 0.0001) / 1000);
  // The specific heat stays 1.005 up to 60 °C, where it steps to 1.009.
  EXPECT_DOUBLE_EQ(airPropertiesAt(59.5)->specificHeat, 1.005);
  EXPECT_DOUBLE_EQ(airPropertiesAt(60)->specificHeat, 1.009);
  const struct {
    double t, cp;
  } heats[] = {{140, 1.013}, {160, 1.017}, {180, 1.022}, {200, 1.026}, {150, 1.015}};
  for (const auto& h : heats) EXPECT_NEAR(airPropertiesAt(h.t)->specificHeat, h.cp, 1e-12) << h.t;
  EXPECT_LT(airPropertiesAt(119.5)->dynamicViscosity, 22.8);
  EXPECT_LT(airPropertiesAt(119.5)->kinematicViscosity, 25.45);
  EXPECT_DOUBLE_EQ(airPropertiesAt(120)->dynamicViscosity, 22.8);
  EXPECT_DOUBLE_EQ(airPropertiesAt(120)->kinematicViscosity, 25.45);
  const PropertySet hot = *airPropertiesAt(999.5);
  EXPECT_GT(hot.density, 0.277);
  EXPECT_LT(hot.dynamicViscosity, 49.0);
}

TEST(AirProperties, OutsideTheTable) {
  for (double t : {-50.5, 1000.0, 1000.5, -1000.0})
    EXPECT_FALSE(airPropertiesAt(t).has_value()) << t;
}

TEST(FlueGasProperties, SpecificHeatLawOnEachSideOf200) {
  // Below 200 °C the specific heat is 1.42 times the density there.
  const PropertySet low = *flueGasPropertiesAt(0.5);
  EXPECT_DOUBLE_EQ(low.specificHeat, 1.42 * low.density);
  const PropertySet below = *flueGasPropertiesAt(199.5);
  EXPECT_DOUBLE_EQ(below.specificHeat, 1.42 * below.density);
  EXPECT_NEAR(below.specificHeat, 1.06, 0.01);
  EXPECT_DOUBLE_EQ(flueGasPropertiesAt(200)->specificHeat, 1.42);
  // Above, only the slope term carries the density.
  const PropertySet mid = *flueGasPropertiesAt(255);
  EXPECT_DOUBLE_EQ(mid.specificHeat, 1.42 + ((1.44 - 1.42) / 100) * 55 * mid.density);
  EXPECT_LT(mid.prandtl, 1);
  EXPECT_TRUE(flueGasPropertiesAt(550).has_value());
}

TEST(FlueGasProperties, OutsideTheTable) {
  for (double t : {600.0, 600.5, -0.5}) EXPECT_FALSE(flueGasPropertiesAt(t).has_value()) << t;
}

TEST(PrandtlNumber, ZeroConductivityHasNoValue) {
  EXPECT_DOUBLE_EQ(*prandtlNumber(1.04, 26, 0.037), 1.04 * 26 / 0.037 / 1000);
  EXPECT_FALSE(prandtlNumber(1.04, 26, 0).has_value());
  EXPECT_FALSE(prandtlNumber(0, 0, 0).has_value());
}

}  // namespace
}  // namespace aph
