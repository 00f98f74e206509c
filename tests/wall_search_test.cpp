#include <gtest/gtest.h>

#include <cmath>

#include "engine/rating.hpp"
#include "literal_wall_search.hpp"
#include "model/text.hpp"

namespace aph {
namespace {

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
    EXPECT_FALSE(testing::literalWallSearch(c.in, &plainTextRoundTrip, 2e5).has_value()) << c.why;
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
