// src/engine: the formulas of the rating, numbers in and numbers out, in the precision and
// order of operations each quantity is kept in; nothing but the standard library. This header
// holds the end of the chain.
//
// Overall heat transfer coefficients, surface margin and plate wall temperatures.
#pragma once

#include <cstdint>
#include <optional>

namespace aph {

// K = 1 / (1/h1 + Rf1 + (δ × 0.001)/λw + Rf2 + 1/h2), δ in mm; empty on an arithmetic fault.
std::optional<double> actualOverallCoefficient(double h1, double foulingFlueGas,
                                               double plateThickness, double plateConductivity,
                                               double foulingAir, double h2);

// K_theo = Q2 × 1000 / (2 × A_half) / ΔTm, formed in extended precision from the single inputs
// and rounded once to single precision.
std::optional<float> theoreticalOverallCoefficient(float airDuty, float halfArea,
                                                   float meanTemperatureDifference);

// R = (K_act / K_theo - 1) × 100 in %, rounded to single precision.
std::optional<float> surfaceMargin(double actual, float theoretical);

// The margin band outside which the surface is flagged.
inline constexpr float kMarginLow = 0;
inline constexpr float kMarginHigh = 30;
// True below 0 % or above 30 %; both ends belong to the band.
bool marginOutsideBand(float margin);

// ---- Plate wall temperatures -------------------------------------------------------------------
//
// At each end of the exchanger the flue-gas-side surface temperature tg is searched on a 0.001 ℃
// grid, starting one step away from the stream it faces: tg = t1in - 0.001 × i at the hot end,
// tg = t2in + 0.001 × j at the cold end. The step count is a single-precision number. A step
// qualifies when the heat flux from the flue gas, q1, and the heat flux into the air, q2, agree
// within 0.5 W/m2. The flue-gas temperature difference in q1 passes through the window's plain
// number text and back before it is multiplied by h1; the caller supplies that round trip.

enum class WallEnd { Hot, Cold };

struct WallSearchInput {
  WallEnd end = WallEnd::Hot;
  double flueGasTemperature = 0;  // t1in at the hot end, t1out at the cold end
  double airTemperature = 0;      // t2out at the hot end, t2in at the cold end
  double h1 = 0, h2 = 0;          // film coefficients, W/(m2·K)
  double plateThickness = 0;      // δ, mm
  double plateConductivity = 0;   // λw, W/(m·℃)
};

// The round trip of a temperature difference through the window's number text.
using TextRoundTrip = double (*)(double);

struct WallPoint {
  double flueGasSide = 0;  // tg
  double airSide = 0;      // ta
  float steps = 0;         // the qualifying step count
};

// One step of the search exactly as the window forms it. Empty on an arithmetic fault.
struct WallStep {
  double tg = 0, ta = 0, q1 = 0, q2 = 0;
};
std::optional<WallStep> wallStep(const WallSearchInput& in, float stepCount,
                                 TextRoundTrip roundTrip);

// Change of q2 - q1 from one step to the next in magnitude:
// Δq = 0.001 × (h1 + h2 + h1 × h2 × (δ × 0.001) / λw).
std::optional<double> wallStepChange(const WallSearchInput& in);

// The step count a single-precision counter can still advance to: 2^24. Beyond it adding 1 no
// longer changes the count and a step-by-step search would repeat the same trial forever.
inline constexpr float kLargestWallStepCount = 16777216.0f;

// Finds the first qualifying step of the search without walking the whole grid: a closed-form
// estimate from the (linear) change of q2 - q1 per step, then a short exact scan around it.
// Empty when the search cannot end: |Δq| > 1 (a step may jump the band), q2 - q1 moving away from
// the band, the first qualifying step beyond the counter's reach, or an arithmetic fault.
std::optional<WallPoint> findWallTemperature(const WallSearchInput& in, TextRoundTrip roundTrip);

}  // namespace aph
