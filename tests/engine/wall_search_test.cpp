// The wall-temperature search: one step as the method forms it, the tolerance band at its
// edges, and the fast search against the step-by-step search of reference.cpp.
//
// Rule: a test of a number never takes its expected value from the program's own output.
#include <gtest/gtest.h>

#include <cmath>

#include "engine/rating.hpp"
#include "literal_wall_search.hpp"
#include "model/text.hpp"
#include "reference.hpp"

namespace aph {
namespace {

// A round trip that shows whether, and where, the step uses it: to whole millidegrees.
double toMillidegrees(double value) {
  return std::round(value * 1000) / 1000;
}

TEST(WallSearch, OneStepAsTheMethodFormsIt) {
  const double h1 = 97.028, h2 = 115.949, delta = 1.5, lambda = 17.5;
  for (float n : {1.0f, 250.0f, 87654.0f}) {
    // Hot end: the trial starts at t1in and faces the air leaving at t2out.
    const WallStep hot =
        *wallStep({WallEnd::Hot, 350, 190, h1, h2, delta, lambda}, n, &toMillidegrees);
    const double tg = 350 - 0.001 * n;
    const double q1 = toMillidegrees(350 - tg) * h1;
    const double ta = tg - (delta * 0.001) * q1 / lambda;
    EXPECT_EQ(hot.tg, tg) << n;
    EXPECT_EQ(hot.q1, q1) << n;
    EXPECT_EQ(hot.ta, ta) << n;
    EXPECT_EQ(hot.q2, (ta - 190) * h2) << n;
    // Cold end: the trial starts at t2in and faces the gas leaving at t1out.
    const WallStep cold =
        *wallStep({WallEnd::Cold, 160, 40, h1, h2, delta, lambda}, n, &toMillidegrees);
    const double tgc = 40 + 0.001 * n;
    const double q1c = toMillidegrees(160 - tgc) * h1;
    const double tac = tgc - 0.001 * (delta * q1c) / lambda;
    EXPECT_EQ(cold.tg, tgc) << n;
    EXPECT_EQ(cold.q1, q1c) << n;
    EXPECT_EQ(cold.ta, tac) << n;
    EXPECT_EQ(cold.q2, (tac - 40) * h2) << n;
  }
  // Δq = 0.001 × (h1 + h2 + h1 × h2 × (δ × 0.001) / λw) per step.
  EXPECT_EQ(*wallStepChange({WallEnd::Hot, 350, 190, h1, h2, delta, lambda}),
            0.001 * (h1 + h2 + h1 * h2 * (delta * 0.001) / lambda));
}

TEST(WallSearch, AStepExactlyOnTheBandEdgeQualifies) {
  // h1 = h2 = 1 and no wall: at step 1000 tg = 99 exactly, q1 = 1 and q2 = 99 − 97.5 = 1.5,
  // so q2 − q1 is exactly 0.5; at step 999 it is still 0.502.
  const WallSearchInput edge{WallEnd::Hot, 100, 97.5, 1, 1, 0, 17.5};
  const WallPoint p = *findWallTemperature(edge, &plainTextRoundTrip);
  EXPECT_EQ(p.steps, 1000.0f);
  EXPECT_EQ(p.flueGasSide, 99.0);
  EXPECT_EQ(testing::literalWallSearch(edge)->steps, 1000.0f);
  // Step 1 itself on the edge: no gas-side flux (h1 = 0), and the air-side surface exactly
  // 0.5 ℃ above the air.
  const double tg1 = 1.5 - 0.001;
  const WallSearchInput first{WallEnd::Hot, 1.5, tg1 - 0.5, 0, 1, 1.5, 17.5};
  ASSERT_EQ(tg1 - (tg1 - 0.5), 0.5);
  EXPECT_EQ(findWallTemperature(first, &plainTextRoundTrip)->steps, 1.0f);
  EXPECT_EQ(testing::literalWallSearch(first)->steps, 1.0f);
}

TEST(WallSearch, TheDefaultWindowsFilmCoefficients) {
  // Worked from the default window's film coefficients (counterflow): hot end 263.287 / 262.566,
  // cold end 94.962 / 94.421.
  const auto hot = reference::wallSearch({true, 350, 190, 97.0280, 115.9491, 1.5, 17.5});
  const auto cold = reference::wallSearch({false, 160, 40, 97.0280, 115.9491, 1.5, 17.5});
  ASSERT_TRUE(hot && cold);
  const WallPoint fastHot = *findWallTemperature(
      {WallEnd::Hot, 350, 190, 97.0280, 115.9491, 1.5, 17.5}, &plainTextRoundTrip);
  const WallPoint fastCold = *findWallTemperature(
      {WallEnd::Cold, 160, 40, 97.0280, 115.9491, 1.5, 17.5}, &plainTextRoundTrip);
  EXPECT_EQ(fastHot.steps, hot->steps);
  EXPECT_EQ(fastHot.flueGasSide, hot->tg);
  EXPECT_EQ(fastHot.airSide, hot->ta);
  EXPECT_EQ(fastCold.steps, cold->steps);
  EXPECT_EQ(fastCold.flueGasSide, cold->tg);
  EXPECT_EQ(fastCold.airSide, cold->ta);
  EXPECT_EQ(reference::fixed(hot->ta, 3), "262.566");
  EXPECT_EQ(reference::fixed(cold->ta, 3), "94.421");
}

void expectSameAsLiteral(const WallSearchInput& in, const std::string& label) {
  EXPECT_EQ(testing::compareWithLiteralSearch(in), "") << label;
}

TEST(WallSearch, FastSearchMatchesTheStepByStepSearchOnRandomCases) {
  int found = 0;
  for (unsigned seed = 1; seed <= 300; ++seed) {
    for (WallEnd end : {WallEnd::Hot, WallEnd::Cold}) {
      const WallSearchInput in = testing::realisticWallCase(seed, end);
      expectSameAsLiteral(in, "seed " + std::to_string(seed));
      found += findWallTemperature(in, &plainTextRoundTrip).has_value();
    }
  }
  EXPECT_EQ(found, 600);  // realistic cases always converge
}

TEST(WallSearch, ResultsLieBetweenTheStreams) {
  WallSearchInput in{WallEnd::Hot, 350, 190, 97.028, 115.949, 1.5, 17.5};
  const WallPoint hot = *findWallTemperature(in, &plainTextRoundTrip);
  EXPECT_LT(hot.flueGasSide, 350);
  EXPECT_GT(hot.airSide, 190);
  EXPECT_GT(hot.flueGasSide, hot.airSide);
  in = {WallEnd::Cold, 160, 40, 97.028, 115.949, 1.5, 17.5};
  const WallPoint cold = *findWallTemperature(in, &plainTextRoundTrip);
  EXPECT_GT(cold.flueGasSide, 40);
  EXPECT_LT(cold.flueGasSide, 160);
  EXPECT_GT(cold.flueGasSide, cold.airSide);
}

TEST(WallSearch, FirstStepMayAlreadyQualify) {
  // Air and flue gas almost at the same temperature: step 1 is inside the band.
  const WallSearchInput in{WallEnd::Hot, 100.0005, 100, 50, 50, 1.5, 17.5};
  const WallPoint p = *findWallTemperature(in, &plainTextRoundTrip);
  EXPECT_EQ(p.steps, 1.0f);
  expectSameAsLiteral(in, "first step");
}

TEST(WallSearch, RefusesSearchesThatCannotEnd) {
  const struct {
    const char* why;
    WallSearchInput in;
  } cases[] = {
      {"step change above 1 W/m2", {WallEnd::Hot, 350, 190, 600, 600, 1.5, 17.5}},
      {"temperature cross at the hot end", {WallEnd::Hot, 150, 190, 97, 116, 1.5, 17.5}},
      {"temperature cross at the cold end", {WallEnd::Cold, 30, 40, 97, 116, 1.5, 17.5}},
      {"beyond the step counter", {WallEnd::Hot, 30000, -30000, 0.5, 0.5, 1.5, 17.5}},
  };
  for (const auto& c : cases) {
    EXPECT_FALSE(findWallTemperature(c.in, &plainTextRoundTrip).has_value()) << c.why;
    EXPECT_FALSE(testing::literalWallSearch(c.in, 2e5).has_value()) << c.why;
  }
}

TEST(WallSearch, FindsTheFirstQualifyingStepNearTheCounterLimit) {
  // About ten million steps: far, but still within reach of a single-precision counter.
  const WallSearchInput in{WallEnd::Hot, 10000, 0, 0.05, 0.05, 1.5, 17.5};
  const WallPoint p = *findWallTemperature(in, &plainTextRoundTrip);
  EXPECT_GT(p.steps, 4e6f);
  const auto at = [&](float n) { return *wallStep(in, n, &plainTextRoundTrip); };
  EXPECT_LE(std::fabs(at(p.steps).q2 - at(p.steps).q1), 0.5);
  for (float before = p.steps - 50; before < p.steps; ++before)
    EXPECT_GT(at(before).q2 - at(before).q1, 0.5) << before;
}

}  // namespace
}  // namespace aph
