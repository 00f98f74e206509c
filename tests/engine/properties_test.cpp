// The property procedures against the air and flue-gas tables typed a second time in
// reference.cpp: every node and a point inside every interval, every column; the interval bounds
// at both ends; the whole-degree rounding of the temperatures and its 16-bit limits.
//
// Rule: a test of a number never takes its expected value from the program's own output.
#include "engine/properties.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "reference.hpp"

namespace aph {
namespace {

namespace ref = reference;

void expectSame(const PropertySet& p, const ref::Properties& e, const std::string& where) {
  EXPECT_EQ(p.density, e.density) << where;
  EXPECT_EQ(p.specificHeat, e.specificHeat) << where;
  EXPECT_EQ(p.conductivity, e.conductivity) << where;
  EXPECT_EQ(p.dynamicViscosity, e.dynamicViscosity) << where;
  EXPECT_EQ(p.kinematicViscosity, e.kinematicViscosity) << where;
  EXPECT_EQ(p.prandtl, e.prandtl) << where;
}

TEST(AirProperties, EveryNodeGivesItsRow) {
  // A node starts its interval; the 1000 ℃ node only closes the last one.
  for (int k = 0; k + 1 < ref::kAirNodeCount; ++k) {
    const ref::AirNode& n = ref::kAirNodes[k];
    const auto p = airPropertiesAt(n.t);
    ASSERT_TRUE(p) << n.t;
    const double conductivity = n.conductivityE4 * 0.0001;
    expectSame(*p,
               {n.density, n.specificHeat, conductivity, n.dynamicViscosity, n.kinematicViscosity,
                n.specificHeat * n.dynamicViscosity / conductivity / 1000},
               "node " + std::to_string(n.t));
  }
}

TEST(AirProperties, InsideEveryIntervalLinearBetweenItsNodes) {
  for (int k = 0; k + 1 < ref::kAirNodeCount; ++k) {
    const double ta = ref::kAirNodes[k].t, tb = ref::kAirNodes[k + 1].t;
    for (double t : {ta + 0.3 * (tb - ta), tb - 0.5}) {
      const auto p = airPropertiesAt(t);
      ASSERT_TRUE(p) << t;
      expectSame(*p, *ref::airAt(t), "at " + std::to_string(t));
    }
  }
}

TEST(AirProperties, WorkedPoints) {
  // 115 ℃: three quarters of the way from the 100 ℃ row to the 120 ℃ row.
  const PropertySet p = *airPropertiesAt(115);
  EXPECT_EQ(p.density, 0.946 + (0.898 - 0.946) / 20 * 15);
  EXPECT_EQ(p.specificHeat, 1.009);
  EXPECT_EQ(p.conductivity, (321 + (334.0 - 321) / 20 * 15) * 0.0001);
  EXPECT_EQ(p.dynamicViscosity, 21.9 + (22.8 - 21.9) / 20 * 15);
  EXPECT_EQ(p.kinematicViscosity, 23.13 + (25.45 - 23.13) / 20 * 15);
  // The specific heat holds at 1.005 up to 60 ℃ and steps to 1.009 there.
  for (double t : {50.0, 55.0, 59.5}) EXPECT_EQ(airPropertiesAt(t)->specificHeat, 1.005) << t;
  EXPECT_EQ(airPropertiesAt(60)->specificHeat, 1.009);
  EXPECT_EQ(airPropertiesAt(150)->specificHeat, 1.013 + (1.017 - 1.013) / 20 * 10);
  EXPECT_EQ(airPropertiesAt(-50)->prandtl, 1.013 * 14.6 / (204 * 0.0001) / 1000);
}

TEST(AirProperties, HalfOpenRangeFromMinus50To1000) {
  EXPECT_TRUE(airPropertiesAt(-50).has_value());
  EXPECT_TRUE(airPropertiesAt(999.5).has_value());
  EXPECT_LT(airPropertiesAt(999.5)->dynamicViscosity, 49.0);
  for (double t : {-50.5, 1000.0, 1000.5, -1000.0})
    EXPECT_FALSE(airPropertiesAt(t).has_value()) << t;
}

TEST(FlueGasProperties, EveryNodeGivesItsRow) {
  for (int k = 0; k + 1 < ref::kFlueGasNodeCount; ++k) {
    const ref::FlueGasNode& n = ref::kFlueGasNodes[k];
    const auto p = flueGasPropertiesAt(n.t);
    ASSERT_TRUE(p) << n.t;
    // Below 200 ℃ the specific heat is 1.42 × ρ; from 200 ℃ on a node gives its c itself.
    const double cp = n.t < 200 ? 1.42 * n.density : n.heatCapacity;
    expectSame(*p,
               {n.density, cp, n.conductivity, n.dynamicViscosity, n.kinematicViscosity,
                n.dynamicViscosity * cp / n.conductivity / 1000},
               "node " + std::to_string(n.t));
  }
}

TEST(FlueGasProperties, InsideEveryIntervalLinearBetweenItsNodes) {
  for (int k = 0; k + 1 < ref::kFlueGasNodeCount; ++k) {
    const double ta = ref::kFlueGasNodes[k].t;
    for (double t : {ta + 35, ta + 99.5}) {
      const auto p = flueGasPropertiesAt(t);
      ASSERT_TRUE(p) << t;
      expectSame(*p, *ref::flueGasAt(t), "at " + std::to_string(t));
    }
  }
}

TEST(FlueGasProperties, SpecificHeatLawOnBothSidesOf200) {
  // Below 200 ℃: 1.42 times the density there, about 1.06 just below 200.
  const double rho = 0.95 + (0.748 - 0.95) / 100 * 99.5;
  EXPECT_EQ(flueGasPropertiesAt(199.5)->specificHeat, 1.42 * rho);
  EXPECT_NEAR(1.42 * rho, 1.06, 0.01);
  EXPECT_EQ(flueGasPropertiesAt(0.5)->specificHeat, 1.42 * (1.295 + (0.95 - 1.295) / 100 * 0.5));
  // From 200 ℃: c of the lower node plus the density-weighted rise.
  EXPECT_EQ(flueGasPropertiesAt(200)->specificHeat, 1.42);
  const double rho255 = 0.748 + (0.617 - 0.748) / 100 * 55;
  EXPECT_EQ(flueGasPropertiesAt(255)->specificHeat, 1.42 + (1.44 - 1.42) / 100 * 55 * rho255);
  const double rho550 = 0.457 + (0.405 - 0.457) / 100 * 50;
  EXPECT_EQ(flueGasPropertiesAt(550)->specificHeat, 1.475 + (1.49 - 1.475) / 100 * 50 * rho550);
  EXPECT_LT(flueGasPropertiesAt(255)->prandtl, 1);
}

TEST(FlueGasProperties, HalfOpenRangeFrom0To600) {
  EXPECT_TRUE(flueGasPropertiesAt(0).has_value());
  EXPECT_TRUE(flueGasPropertiesAt(599.5).has_value());
  for (double t : {600.0, 600.5, -0.5}) EXPECT_FALSE(flueGasPropertiesAt(t).has_value()) << t;
}

// The standard flue-gas table of the handbooks: the window's density, conductivity and
// viscosities with the handbook's own specific heat per kilogram, every column linear between
// nodes, over the same half-open range; its Prandtl column is cp·μ/λ of its rows.
TEST(StandardFlueGasProperties, HandbookSpecificHeatBesideTheWindowsColumns) {
  struct Row {
    double t, specificHeat, prandtl;
  };
  const Row rows[] = {{0, 1.042, 0.72},   {100, 1.068, 0.69}, {200, 1.097, 0.67},
                      {300, 1.122, 0.65}, {400, 1.151, 0.64}, {500, 1.185, 0.63},
                      {600, 1.214, 0.62}};
  for (int k = 0; k < ref::kFlueGasNodeCount; ++k) {
    const Row& r = rows[k];
    const ref::FlueGasNode& n = ref::kFlueGasNodes[k];
    ASSERT_EQ(n.t, r.t);
    // To the column's two decimals (at 100 ℃ cp·μ/λ is 0.696, printed 0.69).
    EXPECT_NEAR(r.specificHeat * n.dynamicViscosity / n.conductivity / 1000, r.prandtl, 0.007)
        << r.t;
    if (k + 1 == ref::kFlueGasNodeCount) break;
    expectSame(*standardFlueGasPropertiesAt(r.t),
               {n.density, r.specificHeat, n.conductivity, n.dynamicViscosity, n.kinematicViscosity,
                n.dynamicViscosity * r.specificHeat / n.conductivity / 1000},
               "node " + std::to_string(n.t));
    const double t = r.t + 55;
    const auto p = standardFlueGasPropertiesAt(t);
    const auto window = ref::flueGasAt(t);
    EXPECT_EQ(p->specificHeat,
              r.specificHeat + (rows[k + 1].specificHeat - r.specificHeat) / 100 * 55);
    EXPECT_EQ(p->density, window->density) << t;
    EXPECT_EQ(p->conductivity, window->conductivity) << t;
    EXPECT_EQ(p->dynamicViscosity, window->dynamicViscosity) << t;
  }
  EXPECT_TRUE(standardFlueGasPropertiesAt(599.5).has_value());
  for (double t : {600.0, -0.5}) EXPECT_FALSE(standardFlueGasPropertiesAt(t).has_value()) << t;
}

TEST(PrandtlNumber, FromTheUsersProperties) {
  EXPECT_EQ(*prandtlNumber(1.04, 26, 0.037), 1.04 * 26 / 0.037 / 1000);
  EXPECT_EQ(*prandtlNumber(1.001, 21, 0.029), 1.001 * 21 / 0.029 / 1000);
  EXPECT_FALSE(prandtlNumber(1.04, 26, 0).has_value());
  EXPECT_FALSE(prandtlNumber(0, 0, 0).has_value());
}

TEST(WholeDegrees, HalvesGoToTheEvenNeighbourWithinSixteenBits) {
  const double cases[] = {40.5,   41.5,   -0.5,    -1.5,    350.5,    351.5,    0.4,
                          -0.4,   2.5,    32766.5, 32767.4, -32767.5, -32768.5, -32768.4,
                          190.49, 190.51, -40.5,   32767.0, -32768.0};
  for (double t : cases) {
    const double whole = ref::wholeDegrees(t);
    ASSERT_TRUE(toWholeDegrees(t).has_value()) << t;
    EXPECT_EQ(*toWholeDegrees(t), whole) << t;
  }
  EXPECT_EQ(*toWholeDegrees(40.5), 40);
  EXPECT_EQ(*toWholeDegrees(41.5), 42);
  // Beyond −32768 to 32767 once rounded.
  for (double t : {32767.5, 32768.0, 40000.0, -32768.6, -32769.0, 1e300,
                   std::numeric_limits<double>::quiet_NaN()})
    EXPECT_FALSE(toWholeDegrees(t).has_value()) << t;
}

TEST(WholeDegrees, MeanIsTheSixteenBitSumHalved) {
  EXPECT_EQ(*meanOfWholeDegrees(40, 191), 115.5);
  EXPECT_EQ(*meanOfWholeDegrees(350, 160), 255);
  EXPECT_EQ(*meanOfWholeDegrees(16383, 16384), 32767 / 2.0);
  EXPECT_EQ(*meanOfWholeDegrees(-16384, -16384), -16384);
  EXPECT_FALSE(meanOfWholeDegrees(16384, 16384).has_value());
  EXPECT_FALSE(meanOfWholeDegrees(-16384, -16385).has_value());
}

}  // namespace
}  // namespace aph
