// src/engine: the formulas of the rating, numbers in and numbers out, in the precision and
// order of operations each quantity is kept in; nothing but the standard library. This header
// holds the end of the chain.
//
// Overall heat transfer coefficients, surface margin and plate wall temperatures.
#pragma once

#include <cstdint>
#include <optional>

namespace aph {

// Actual overall heat transfer coefficient in W/(m2·K) of the plate as built: the reciprocal of
// the series resistances film, fouling, flat plate wall, fouling, film, summed in that order:
// K = 1 / (1/h1 + Rf1 + (δ × 0.001)/λw + Rf2 + 1/h2), h in W/(m2·K), Rf in m2·K/W, δ in mm,
// λw in W/(m·K). Empty on an arithmetic fault (a film coefficient of 0, for instance).
std::optional<double> actualOverallCoefficient(double h1, double foulingFlueGas,
                                               double plateThickness, double plateConductivity,
                                               double foulingAir, double h2);

// Theoretical overall coefficient in W/(m2·K), the one the air-side duty demands: Q = K A ΔTm
// solved for K with Q2 in kW, the heat transfer area 2 × A_half in m2 and the mean temperature
// difference of the selected arrangement in K: K_theo = Q2 × 1000 / (2 × A_half) / ΔTm, formed in
// extended precision from the single inputs and rounded once to single precision.
std::optional<float> theoreticalOverallCoefficient(float airDuty, float halfArea,
                                                   float meanTemperatureDifference);

// Surface margin in %, how far the plate as built exceeds what the duty demands:
// R = (K_act / K_theo - 1) × 100, rounded to single precision.
std::optional<float> surfaceMargin(double actual, float theoretical);

// The window's acceptance band for the margin, in %: no shortfall and at most 30 % oversizing;
// a margin outside it is flagged.
inline constexpr float kMarginLow = 0;
inline constexpr float kMarginHigh = 30;
// True below 0 % or above 30 %; both ends belong to the band.
bool marginOutsideBand(float margin);

// ---- Plate wall temperatures -------------------------------------------------------------------
//
// The highest and lowest plate temperatures, in ℃: the flue-gas-side surface at the hot end
// (flue gas entering, air leaving) and the air-side surface at the cold end (flue gas leaving,
// air entering). The ends are paired as in counterflow whatever the arrangement, and fouling does
// not enter: only the two films and the plate wall, in steady one-dimensional conduction.
//
// At each end of the exchanger the flue-gas-side surface temperature tg is searched on a 0.001 ℃
// grid, starting one step away from the stream it faces: tg = t1in - 0.001 × i at the hot end,
// tg = t2in + 0.001 × j at the cold end. The step count is a single-precision number. With the
// end's flue-gas and air temperatures t1 and t2, each step forms q1 = (t1 - tg) h1, the air-side
// surface ta = tg - q1 δ / λw behind the plate and q2 = (ta - t2) h2, in W/m2. A step
// qualifies when the heat flux from the flue gas, q1, and the heat flux into the air, q2, agree
// within 0.5 W/m2; the result is the first qualifying step, on the grid, not the exact balance
// q1 = q2 (a few thousandths of a degree from it). Both the step and the tolerance are the
// window's. The flue-gas temperature difference in q1 passes through the window's plain
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
