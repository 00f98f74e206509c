// The wall-temperature search taken step by step, as a person would do it by hand: the reference
// the fast search must agree with.
#pragma once

#include <optional>
#include <string>

#include "engine/rating.hpp"

namespace aph::testing {

// Walks the grid one step at a time from step 1. Gives up after `maxSteps` steps, or when the
// single-precision step counter stops advancing (the walk would repeat forever).
std::optional<WallPoint> literalWallSearch(const WallSearchInput& in, TextRoundTrip roundTrip,
                                           double maxSteps = 16777217.0);

// Runs the fast search and the step-by-step search on one case. Empty when both agree on
// whether the search ends, on the step count and on the texts shown; otherwise what differs.
std::string compareWithLiteralSearch(const WallSearchInput& in);

// A seeded, realistic wall-search case: temperatures, film coefficients and plate data in the
// ranges a plate air preheater meets.
WallSearchInput realisticWallCase(unsigned seed, WallEnd end);

}  // namespace aph::testing
