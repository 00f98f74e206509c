// Plate geometry, channel flow, heat transfer, pressure drop, the overall coefficients, the margin
// and the two flags, each at chosen inputs against its formula written out here with the
// method's constants, in the method's order of operations.
//
// Rule: a test of a number never takes its expected value from the program's own output.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "engine/plate.hpp"
#include "engine/rating.hpp"

namespace aph {
namespace {

TEST(PlateGeometry, AreasDiametersAndCrossSections) {
  EXPECT_EQ(*singlePlateArea(2.7, 4.8), 2.7 * 4.8);
  const float half = *halfHeatTransferArea(110, 12.96);
  EXPECT_EQ(half, static_cast<float>(110 * 12.96));
  EXPECT_EQ(*heatTransferArea(half), static_cast<float>(2.0 * half));
  // A slot of gap s (mm) and extent b (m): 2·b·s / (b + s) with b in mm.
  const struct { double extent, gap; } slots[] = {{4.8, 10}, {2.4, 9}, {5.4, 12}, {0.5, 5}};
  for (const auto& s : slots) {
    const double de = s.extent * 2 * 1000 * s.gap / (s.extent * 1000 + s.gap);
    EXPECT_EQ(*slotEquivalentDiameter(s.extent, s.gap), de) << s.extent;
    EXPECT_EQ(*slotEquivalentDiameterSingle(s.extent, s.gap), static_cast<float>(de)) << s.extent;
  }
  // N × W × s × 0.001, left to right.
  EXPECT_EQ(*flowCrossSection(110, 2.4, 10), 110 * 2.4 * 10 * 0.001);
  EXPECT_EQ(*flowCrossSection(110, 2.7, 10), 110 * 2.7 * 10 * 0.001);
  EXPECT_NEAR(*flowCrossSection(110, 2.4, 10), 2.64, 1e-12);
  EXPECT_EQ(*channelVelocity(81.94, 2.64), 81.94 / 2.64);
}

TEST(PlateGeometry, ReynoldsNumber) {
  // ρ × (w × (de × 0.001)) / μ / 10^-6.
  const struct {
    double rho, w, de, mu;
  } cases[] = {{0.84, 31.04, 19.958, 26}, {1.087, 35.07, 17.93, 21}, {0.5, 2, 5, 40}};
  for (const auto& c : cases)
    EXPECT_EQ(*reynoldsNumber(c.rho, c.w, c.de, c.mu),
              c.rho * (c.w * (c.de * 0.001)) / c.mu / 1e-6);
}

TEST(PlateGeometry, ZeroDivisorsHaveNoValue) {
  EXPECT_FALSE(channelVelocity(80, 0).has_value());
  EXPECT_FALSE(slotEquivalentDiameter(-0.01, 10).has_value());
  EXPECT_FALSE(reynoldsNumber(0.84, 30, 20, 0).has_value());
  EXPECT_FALSE(halfHeatTransferArea(1e30, 1e30).has_value());  // beyond single precision
}

TEST(HeatTransfer, NusseltNumberAndFilmCoefficient) {
  // Nu = F × 0.0907 × Re^0.6525 × Pr^(1/3): the quotient 1/3 in double on the flue-gas side,
  // rounded to single on the air side.
  const double singleThird = static_cast<double>(1.0f / 3.0f);
  const struct {
    double factor, re, pr, exponent;
  } cases[] = {{1, 20013.44, 0.7308, 1.0 / 3.0},
               {1, 32555.89, 0.7249, singleThird},
               {1.15, 5000, 0.69, 1.0 / 3.0},
               {2, 80000, 0.9, singleThird},
               {-0.5, 300, 1.2, 1.0 / 3.0}};
  for (const auto& c : cases) {
    const double nu = c.factor * 0.0907 * std::pow(c.re, 0.6525) * std::pow(c.pr, c.exponent);
    EXPECT_EQ(*nusseltNumber(c.factor, c.re, c.pr, c.exponent), nu) << c.re;
    // h = Nu × λ / (de × 0.001).
    EXPECT_EQ(*filmCoefficient(nu, 0.037, 19.958), nu * 0.037 / (19.958 * 0.001)) << c.re;
  }
  EXPECT_EQ(*nusseltNumber(0, 20000, 0.73, 1.0 / 3.0), 0);
  EXPECT_FALSE(nusseltNumber(1, -5, 0.73, 1.0 / 3.0).has_value());  // fractional power of < 0
  EXPECT_FALSE(filmCoefficient(52.3, 0.037, 0).has_value());
}

TEST(PressureDrop, FrictionOverThePathLength) {
  // f = F × 0.9109 × Re^−0.3314; ΔP = f × (L / (de × 0.001)) × ρ × w² / 2.
  const struct {
    double factor, re, path, de, rho, w;
  } cases[] = {{1, 20013.44, 4.8, 19.958, 0.84, 31.04},
               {1, 32555.89, 5.4, 17.93, 1.087, 35.07},
               {1.2, 8000, 2.0, 8.5, 0.6, 12},
               {0.5, 150000, 6.0, 25, 1.3, 3.5}};
  for (const auto& c : cases) {
    const double f = c.factor * 0.9109 * std::pow(c.re, -0.3314);
    EXPECT_EQ(*frictionFactor(c.factor, c.re), f) << c.re;
    EXPECT_EQ(*pressureDrop(f, c.path, c.de, c.rho, c.w),
              f * (c.path / (c.de * 0.001)) * c.rho * (c.w * c.w) / 2)
        << c.re;
  }
  EXPECT_FALSE(frictionFactor(1, 0).has_value());  // zero under a negative power
  EXPECT_FALSE(pressureDrop(0.04, 4.8, 0, 0.84, 30).has_value());
}

TEST(PressureDrop, FlaggedAboveFiveHundredPascal) {
  const double above = std::nextafter(500.0, 1000.0);
  const double below = std::nextafter(500.0, 0.0);
  EXPECT_FALSE(pressureDropOverLimit(500));
  EXPECT_TRUE(pressureDropOverLimit(above));
  EXPECT_FALSE(pressureDropOverLimit(below));
  EXPECT_TRUE(pressureDropOverLimit(3327.7941));
  EXPECT_FALSE(pressureDropOverLimit(0));
  EXPECT_FALSE(pressureDropOverLimit(-800));  // a negative factor
}

TEST(OverallCoefficients, ResistancesInSeries) {
  // K = 1 / (1/h1 + Rf1 + (δ × 0.001)/λw + Rf2 + 1/h2), δ in mm.
  const struct {
    double h1, rf1, delta, lambda, rf2, h2;
  } cases[] = {{97.028, 0, 1.5, 17.5, 0, 115.949},
               {89.85, 0.0002, 0.8, 16.3, 0.0001, 104.3},
               {40, 0.001, 0.5, 15, 0.003, 300}};
  for (const auto& c : cases) {
    EXPECT_EQ(*actualOverallCoefficient(c.h1, c.rf1, c.delta, c.lambda, c.rf2, c.h2),
              1 / (1 / c.h1 + c.rf1 + c.delta * 0.001 / c.lambda + c.rf2 + 1 / c.h2))
        << c.h1;
  }
  EXPECT_FALSE(actualOverallCoefficient(0, 0, 1.5, 17.5, 0, 116).has_value());
}

TEST(OverallCoefficients, TheoreticalInExtendedPrecisionRoundedOnce) {
  // K_theo = Q2 × 1000 / (2 × A_half) / ΔTm, from singles, in long double, then to single.
  const struct {
    float q2, half, dtm;
  } cases[] = {{13601.0879f, 1425.6f, 140.0f},
               {13601.0879f, 1425.6f, 119.36702f},
               {9876.5f, 300.25f, 37.5f},
               {1.5f, 0.75f, 0.125f}};
  for (const auto& c : cases) {
    const long double k = static_cast<long double>(c.q2) * 1000 /
                          (2 * static_cast<long double>(c.half)) / static_cast<long double>(c.dtm);
    EXPECT_EQ(*theoreticalOverallCoefficient(c.q2, c.half, c.dtm), static_cast<float>(k)) << c.q2;
  }
  EXPECT_FALSE(theoreticalOverallCoefficient(13601.0879f, 1425.6f, 0).has_value());
  EXPECT_FALSE(theoreticalOverallCoefficient(13601.0879f, 0, 140.0f).has_value());
}

TEST(OverallCoefficients, MarginInPercent) {
  // R = (K_act / K_theo − 1) × 100, rounded to single.
  const struct {
    double actual;
    float theoretical;
  } cases[] = {{52.5859, 34.0736f}, {40, 40.0f}, {30, 40.0f}, {50.4037, 39.9633f}};
  for (const auto& c : cases) {
    EXPECT_EQ(*surfaceMargin(c.actual, c.theoretical),
              static_cast<float>((c.actual / static_cast<double>(c.theoretical) - 1) * 100))
        << c.actual;
  }
  EXPECT_FALSE(surfaceMargin(40, 0.0f).has_value());
}

TEST(OverallCoefficients, MarginFlaggedOutsideZeroToThirtyPercent) {
  constexpr float inf = std::numeric_limits<float>::infinity();
  const struct {
    float margin;
    bool flagged;
  } cases[] = {{0.0f, false},
               {-0.0f, false},
               {30.0f, false},
               {15.0f, false},
               {std::nextafter(0.0f, -inf), true},
               {std::nextafter(0.0f, inf), false},
               {std::nextafter(30.0f, inf), true},
               {std::nextafter(30.0f, 0.0f), false},
               {54.3305f, true},
               {-12.5f, true}};
  for (const auto& c : cases) EXPECT_EQ(marginOutsideBand(c.margin), c.flagged) << c.margin;
}

}  // namespace
}  // namespace aph
