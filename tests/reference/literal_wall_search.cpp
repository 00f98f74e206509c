#include "literal_wall_search.hpp"

#include <cmath>
#include <random>

#include "model/text.hpp"
#include "reference.hpp"

namespace aph::testing {

std::optional<WallPoint> literalWallSearch(const WallSearchInput& in, double maxSteps) {
  const auto point =
      reference::wallSearch({in.end == WallEnd::Hot, in.flueGasTemperature, in.airTemperature,
                             in.h1, in.h2, in.plateThickness, in.plateConductivity},
                            maxSteps);
  if (!point) return std::nullopt;
  return WallPoint{point->tg, point->ta, point->steps};
}

std::string compareWithLiteralSearch(const WallSearchInput& in) {
  const auto fast = findWallTemperature(in, &plainTextRoundTrip);
  const auto literal = literalWallSearch(in);
  if (fast.has_value() != literal.has_value())
    return fast ? "only the fast search ends" : "only the step-by-step search ends";
  if (!fast) return {};
  if (fast->steps != literal->steps)
    return "steps " + std::to_string(fast->steps) + " vs " + std::to_string(literal->steps);
  if (fast->flueGasSide != literal->flueGasSide)
    return "flue-gas side " + reference::plain(fast->flueGasSide) + " vs " +
           reference::plain(literal->flueGasSide);
  if (fast->airSide != literal->airSide)
    return "air side " + reference::plain(fast->airSide) + " vs " +
           reference::plain(literal->airSide);
  return {};
}

WallSearchInput realisticWallCase(unsigned seed, WallEnd end) {
  std::mt19937_64 random(seed);
  auto uniform = [&](double lo, double hi) {
    return std::uniform_real_distribution<double>(lo, hi)(random);
  };
  WallSearchInput in;
  in.end = end;
  const double t1in = uniform(180, 600);
  const double t1out = uniform(100, t1in - 30);
  const double t2in = uniform(-20, t1out - 30);
  const double t2out = uniform(t2in + 10, t1in - 10);
  // Film coefficients with a few decimals, as the window computes them.
  in.h1 = std::round(uniform(20, 200) * 1e4) / 1e4 + uniform(0, 1e-4);
  in.h2 = std::round(uniform(20, 200) * 1e4) / 1e4 + uniform(0, 1e-4);
  const double thicknesses[] = {0.5, 0.6, 0.7, 0.8, 0.9, 1.0, 1.2, 1.4, 1.5};
  const double conductivities[] = {15, 16.3, 17.5};
  in.plateThickness = thicknesses[random() % 9];
  in.plateConductivity = conductivities[random() % 3];
  if (end == WallEnd::Hot) {
    in.flueGasTemperature = t1in;
    in.airTemperature = t2out;
  } else {
    in.flueGasTemperature = t1out;
    in.airTemperature = t2in;
  }
  return in;
}

}  // namespace aph::testing
