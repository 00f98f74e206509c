// Ten thousand seeded realistic cases: the fast wall-temperature search and the step-by-step
// search must agree on the step count and the texts shown.
#include <gtest/gtest.h>

#include "calc/text.hpp"
#include "literal_wall_search.hpp"

namespace aph {
namespace {

TEST(WallSearchLong, TenThousandRandomCases) {
  for (unsigned seed = 1000; seed < 11000; ++seed) {
    const WallEnd end = seed % 2 ? WallEnd::Hot : WallEnd::Cold;
    const WallSearchInput in = testing::realisticWallCase(seed, end);
    const auto fast = findWallTemperature(in, &plainTextRoundTrip);
    const auto literal = testing::literalWallSearch(in, &plainTextRoundTrip);
    ASSERT_EQ(fast.has_value(), literal.has_value()) << seed;
    if (!fast) continue;
    ASSERT_EQ(fast->steps, literal->steps) << seed;
    ASSERT_EQ(formatPlain(fast->flueGasSide), formatPlain(literal->flueGasSide)) << seed;
    ASSERT_EQ(formatFixed3(fast->airSide), formatFixed3(literal->airSide)) << seed;
  }
}

}  // namespace
}  // namespace aph
