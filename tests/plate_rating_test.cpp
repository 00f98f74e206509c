#include <gtest/gtest.h>

#include <cmath>

#include "engine/plate.hpp"
#include "engine/rating.hpp"

namespace aph {
namespace {

TEST(PlateGeometry, DefaultPack) {
  EXPECT_DOUBLE_EQ(*singlePlateArea(2.7, 4.8), 2.7 * 4.8);
  const float half = *halfHeatTransferArea(110, 2.7 * 4.8);
  EXPECT_EQ(half, static_cast<float>(110 * (2.7 * 4.8)));
  EXPECT_EQ(*heatTransferArea(half), 2 * half);
  // The flue-gas slot uses the 4.8 m channel length as its extent, the air slot the 2.4 m width.
  EXPECT_DOUBLE_EQ(*slotEquivalentDiameter(4.8, 10), 4.8 * 2 * 1000 * 10 / (4.8 * 1000 + 10));
  EXPECT_EQ(*slotEquivalentDiameterSingle(2.4, 9),
            static_cast<float>(2.4 * 2 * 1000 * 9 / (2.4 * 1000 + 9)));
  EXPECT_NEAR(*flowCrossSection(110, 2.4, 10), 2.64, 1e-12);
  EXPECT_NEAR(*flowCrossSection(110, 2.7, 10), 2.97, 1e-12);
}

TEST(PlateGeometry, ZeroDivisorsHaveNoValue) {
  EXPECT_FALSE(channelVelocity(80, 0).has_value());
  EXPECT_FALSE(channelVelocity(0, 0).has_value());
  EXPECT_FALSE(slotEquivalentDiameter(-0.01, 10).has_value());
  EXPECT_FALSE(reynoldsNumber(0.84, 30, 20, 0).has_value());
  EXPECT_FALSE(halfHeatTransferArea(1e30, 1e30).has_value());  // beyond single precision
}

TEST(HeatTransfer, NusseltAndFilmCoefficient) {
  const double nu = *nusseltNumber(1, 20000, 0.73, 1.0 / 3.0);
  EXPECT_DOUBLE_EQ(nu, 0.0907 * std::pow(20000, 0.6525) * std::pow(0.73, 1.0 / 3.0));
  EXPECT_DOUBLE_EQ(*nusseltNumber(2, 20000, 0.73, 1.0 / 3.0), 2 * nu);
  EXPECT_EQ(*nusseltNumber(0, 20000, 0.73, 1.0 / 3.0), 0);
  EXPECT_DOUBLE_EQ(*filmCoefficient(nu, 0.037, 20), nu * 0.037 / 0.02);
  EXPECT_FALSE(nusseltNumber(1, -5, 0.73, 1.0 / 3.0).has_value());  // negative Re, fractional power
  EXPECT_FALSE(filmCoefficient(nu, 0.037, 0).has_value());
}

TEST(PressureDrop, ProportionalToPathDensityAndVelocitySquared) {
  const double f = *frictionFactor(1, 20000);
  EXPECT_DOUBLE_EQ(f, 0.9109 * std::pow(20000, -0.3314));
  const double base = *pressureDrop(f, 4.8, 20, 0.84, 30);
  EXPECT_NEAR(*pressureDrop(f, 9.6, 20, 0.84, 30), 2 * base, 1e-9 * base);
  EXPECT_NEAR(*pressureDrop(f, 4.8, 20, 1.68, 30), 2 * base, 1e-9 * base);
  EXPECT_NEAR(*pressureDrop(f, 4.8, 20, 0.84, 60), 4 * base, 1e-9 * base);
  EXPECT_FALSE(frictionFactor(1, 0).has_value());  // zero under a negative power
  EXPECT_FALSE(pressureDrop(f, 4.8, 0, 0.84, 30).has_value());
}

TEST(OverallCoefficients, ResistancesInSeries) {
  EXPECT_DOUBLE_EQ(*actualOverallCoefficient(97, 0, 1.5, 17.5, 0, 116),
                   1 / (1 / 97.0 + 0 + 1.5 * 0.001 / 17.5 + 0 + 1 / 116.0));
  EXPECT_LT(*actualOverallCoefficient(97, 0.001, 1.5, 17.5, 0.002, 116),
            *actualOverallCoefficient(97, 0, 1.5, 17.5, 0, 116));
  EXPECT_FALSE(actualOverallCoefficient(0, 0, 1.5, 17.5, 0, 116).has_value());
}

TEST(OverallCoefficients, TheoreticalCoefficientInExtendedPrecision) {
  const float q2 = 13601.0879f, half = 1425.6f, dtm = 140.0f;
  const long double exact =
      static_cast<long double>(q2) * 1000 / (2 * static_cast<long double>(half)) / dtm;
  EXPECT_EQ(*theoreticalOverallCoefficient(q2, half, dtm), static_cast<float>(exact));
  EXPECT_FALSE(theoreticalOverallCoefficient(q2, half, 0).has_value());
  EXPECT_FALSE(theoreticalOverallCoefficient(q2, 0, dtm).has_value());
}

TEST(OverallCoefficients, Margin) {
  EXPECT_EQ(*surfaceMargin(52.5859, 34.0736f),
            static_cast<float>((52.5859 / static_cast<double>(34.0736f) - 1) * 100));
  EXPECT_EQ(*surfaceMargin(40, 40.0f), 0.0f);
  EXPECT_FALSE(surfaceMargin(40, 0.0f).has_value());
}

}  // namespace
}  // namespace aph
