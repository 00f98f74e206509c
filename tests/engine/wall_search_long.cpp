// Ten thousand seeded realistic cases: the fast wall-temperature search and the step-by-step
// search must agree on the step count and the texts shown.
#include <gtest/gtest.h>

#include "literal_wall_search.hpp"

namespace aph {
namespace {

TEST(WallSearchLong, TenThousandRandomCases) {
  for (unsigned seed = 1000; seed < 11000; ++seed) {
    const WallEnd end = seed % 2 ? WallEnd::Hot : WallEnd::Cold;
    const WallSearchInput in = testing::realisticWallCase(seed, end);
    ASSERT_EQ(testing::compareWithLiteralSearch(in), "") << "seed " << seed;
  }
}

}  // namespace
}  // namespace aph
