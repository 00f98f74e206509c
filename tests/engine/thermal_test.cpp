// Flows, heat duties and the mean temperature differences of the three arrangements against the
// formulas worked out here and in reference.cpp: the 1.7 rule of counterflow, the crossflow
// series against its own long double evaluation, the multi-pass blend.
//
// Rule: a test of a number never takes its expected value from the program's own output.
#include "engine/thermal.hpp"

#include <gtest/gtest.h>

#include <cmath>

#include "reference.hpp"

namespace aph {
namespace {

namespace ref = reference;

ref::Temperatures plainTemperatures(const TerminalTemperatures& t) {
  return {t.t1in, t.t1out, t.t2in, t.t2out};
}

TEST(Counterflow, ArithmeticUpToRatio1Point7LogarithmicAbove) {
  const struct {
    TerminalTemperatures t;
    double expected;
  } cases[] = {
      {{350, 160, 40, 190}, (120.0 + 160.0) / 2},                        // 160/120
      {{350, 140, 40, 181}, (100.0 + 169.0) / 2},                        // 1.69
      {{350, 140, 40, 180}, (100.0 + 170.0) / 2},                        // exactly 1.7
      {{350, 140, 40, 179}, (100.0 - 171.0) / std::log(100.0 / 171.0)},  // 1.71
      {{300, 100, 50, 50}, (50.0 - 250.0) / std::log(50.0 / 250.0)},     // 5
      {{400, 150, 20, 300}, (130.0 + 100.0) / 2},                        // hot end the smaller
      {{350, 30, 40, 190}, (-10.0 + 160.0) / 2},                         // negative ratio
  };
  for (const auto& c : cases)
    EXPECT_EQ(*counterflowMeanTemperatureDifference(c.t), c.expected) << c.t.t2out;
  EXPECT_FALSE(counterflowMeanTemperatureDifference({350, 40, 40, 190}).has_value());
}

TEST(Counterflow, MultiPassAlwaysTakesTheLogarithmicMean) {
  const TerminalTemperatures t{350, 160, 40, 190};
  EXPECT_EQ(*logarithmicCounterflowMeanTemperatureDifference(t),
            (120.0 - 160.0) / std::log(120.0 / 160.0));
  EXPECT_FALSE(logarithmicCounterflowMeanTemperatureDifference({350, 160, 40, 350}).has_value());
}

// Effectivenesses across the range: Pa above and below Pb, Pa = Pb, and three where the flue
// gas leaves below the air inlet and the two exchange roles.
const TerminalTemperatures kCrossflowCases[] = {
    {350, 160, 40, 190},  // the default window: Pa 150/310, Pb 190/310
    {340, 190, 40, 190},  // Pa = Pb = 0.5
    {500, 180, 30, 350},  // Pa = Pb = 320/470
    {350, 250, 40, 100},
    {350, 100, 40, 120},
    {350, 200, 40, 290},
    {400, 150, 20, 300},
    {200, 120, 20, 60},
    {500, 180, 30, 340},
    {330, 148, 40, 182},
    {600, 300, 100, 150},
    {250, 240, 20, 200},
    {180, 110, -20, 90},
    {30, 30, 40, 100},   // exchanged: Pa = 0, the normal
                         // form would divide by Pb = 0
    {30, 20, 40, 100},   // exchanged
    {150, 30, 40, 200},  // exchanged, both effectivenesses above 1
};

TEST(Crossflow, SeriesAsTheWindowFormsItAndInLongDouble) {
  for (const TerminalTemperatures& t : kCrossflowCases) {
    const auto value = crossflowMeanTemperatureDifference(t);
    const std::string where = std::to_string(t.t1in) + "/" + std::to_string(t.t1out) + "/" +
                              std::to_string(t.t2in) + "/" + std::to_string(t.t2out);
    ASSERT_TRUE(value) << where;
    // Terms and sum in single precision, as the window keeps them: to the last bit.
    EXPECT_EQ(*value, ref::crossflow(plainTemperatures(t))) << where;
    // Nothing rounded: only the single-precision sum separates the two.
    const long double exact = ref::crossflowExtended(plainTemperatures(t));
    EXPECT_NEAR(*value, static_cast<double>(exact), 2e-7 * std::fabs(static_cast<double>(exact)))
        << where;
  }
  // The default window's crossflow difference, and below the counterflow mean 140.
  EXPECT_EQ(ref::fixed(*crossflowMeanTemperatureDifference({350, 160, 40, 190}), 4), "119.3670");
}

TEST(Crossflow, EqualEffectivenessesTakeOneMinusTheirMean) {
  // Pa = Pb = 0.5: θ = 1 − 0.5 without a logarithm; φ = 45°, so only sin 90° and sin 270° count.
  const double theta = 0.5, one = 1 - theta;
  const double s = 0.0669 * one - 0.0395 * one - 0.278 * one * one + 0.22 * one * one +
                   1.11 * one * one * one - 0.454 * one * one * one +
                   0.136 * one * one * one * one + 0.258 * one * one * one * one;
  EXPECT_NEAR(*crossflowMeanTemperatureDifference({340, 190, 40, 190}), 300 * theta * (1 - s),
              1e-5);
}

TEST(Crossflow, LimitsHaveNoValue) {
  const TerminalTemperatures limits[] = {
      {350, 350, 40, 190},   // Pb = 0
      {350, 160, 350, 190},  // t1in = t2in
      {350, 160, 40, 350},   // Pa = 1
      {350, 160, 40, 500},   // an effectiveness above 1: logarithm of a negative number
  };
  for (const auto& t : limits)
    EXPECT_FALSE(crossflowMeanTemperatureDifference(t).has_value()) << t.t2out;
}

TEST(MultiPass, SmallerCountBlendsCrossflowTowardsCounterflow) {
  const TerminalTemperatures t{350, 160, 40, 190};
  const double counterflow = (120.0 - 160.0) / std::log(120.0 / 160.0);
  const double crossflow = ref::crossflow(plainTemperatures(t));
  const struct {
    double flueGas;
    float air;
    double n;
  } cases[] = {{1, 1, 1}, {1.5, 2, 1.5}, {2, 2, 2}, {4, 4, 4}, {3, 2, 2}, {2, 3, 2}};
  float previous = 0;
  for (const auto& c : cases) {
    const float blended =
        static_cast<float>(std::pow(crossflow, 1 / c.n) * std::pow(counterflow, 1 - 1 / c.n));
    EXPECT_EQ(*multiPassMeanTemperatureDifference(crossflow, counterflow, c.flueGas, c.air),
              blended)
        << c.flueGas << "/" << c.air;
    if (c.flueGas == c.air) {
      EXPECT_GT(blended, previous) << "more passes come closer to counterflow";
      previous = blended;
    }
  }
  EXPECT_EQ(*multiPassMeanTemperatureDifference(crossflow, counterflow, 1, 1.0f),
            static_cast<float>(crossflow));
}

TEST(MultiPass, AirCountTakesOneOverNInSinglePrecision) {
  // Three passes on both sides: the air count decides, and 1/3 and 1 − 1/3 are singles. The
  // double-precision blend differs, so the case tells the two apart.
  const double counterflow = (120.0 - 160.0) / std::log(120.0 / 160.0);
  const double crossflow = ref::crossflow({350, 160, 40, 190});
  const float inverse = 1.0f / 3.0f, rest = 1.0f - inverse;
  const float single = static_cast<float>(std::pow(crossflow, static_cast<double>(inverse)) *
                                          std::pow(counterflow, static_cast<double>(rest)));
  const float inDouble =
      static_cast<float>(std::pow(crossflow, 1 / 3.0) * std::pow(counterflow, 1 - 1 / 3.0));
  ASSERT_NE(single, inDouble);
  EXPECT_EQ(*multiPassMeanTemperatureDifference(crossflow, counterflow, 3, 3.0f), single);
  EXPECT_EQ(ref::multiPass(crossflow, counterflow, 3, 3.0f), single);
}

TEST(MultiPass, NegativeDifferenceUnderAFractionalPowerHasNoValue) {
  EXPECT_FALSE(multiPassMeanTemperatureDifference(-10, 50, 2, 2.0f).has_value());
  EXPECT_FALSE(multiPassMeanTemperatureDifference(10, 0, 0.5, 2.0f).has_value());
  // One pass raises ΔTcf to the power 0: any finite value is fine.
  EXPECT_TRUE(multiPassMeanTemperatureDifference(10, -50, 1, 1.0f).has_value());
}

TEST(HeatDuty, ProductOrderAndSinglePrecision) {
  // ρ × (Vh × 0.001) / 3600 × cp × 1000 × ΔT, in kW.
  EXPECT_EQ(*heatDuty(0.84, 294982.42, 1.04, 190),
            0.84 * (294982.42 * 0.001) / 3600 * 1.04 * 1000 * 190);
  EXPECT_EQ(*heatDutySingle(1.087, 300000, 1.001, 150),
            static_cast<float>(1.087 * (300000 * 0.001) / 3600 * 1.001 * 1000 * 150));
  EXPECT_EQ(ref::fixed(*heatDutySingle(1.087, 300000, 1.001, 150), 4), "13601.0879");
  EXPECT_LT(*heatDuty(0.84, 1000, 1.04, -10), 0);
  EXPECT_FALSE(heatDutySingle(1e30, 1e30, 1, 1).has_value());  // beyond single precision
}

TEST(FlowConversion, HoursSecondsAndMass) {
  EXPECT_EQ(*volumeFlowPerSecond(294982.42), 294982.42 / 3600);
  EXPECT_EQ(*massFlowPerHour(0.84, 294982.42 / 3600), 0.84 * (3600 * (294982.42 / 3600)));
  EXPECT_EQ(*volumeFlowFromMassFlow(326100, 1.087), 326100 / 1.087 / 3600);
  EXPECT_EQ(*volumeFlowPerHour(81.9), 3600 * 81.9);
  EXPECT_FALSE(volumeFlowFromMassFlow(1000, 0).has_value());
}

}  // namespace
}  // namespace aph
