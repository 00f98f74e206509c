// The wall-temperature search taken step by step, as a person would do it by hand: the reference
// the fast search must agree with. The steps are those of reference.cpp, which knows nothing of
// the program's own step.
#pragma once

#include <optional>
#include <string>

#include "engine/rating.hpp"

namespace aph::testing {

// Walks the grid one step at a time from step 1 and gives up after `maxSteps` steps (by default
// the reach of the single-precision step counter).
std::optional<WallPoint> literalWallSearch(const WallSearchInput& in, double maxSteps = 16777216.0);

// Runs the fast search and the step-by-step search on one case. Empty when both agree on
// whether the search ends, on the step count and on both temperatures to the last bit;
// otherwise what differs.
std::string compareWithLiteralSearch(const WallSearchInput& in);

// A seeded, realistic wall-search case: temperatures, film coefficients and plate data in the
// ranges a plate air preheater meets.
WallSearchInput realisticWallCase(unsigned seed, WallEnd end);

}  // namespace aph::testing
