#include "engine/thermal.hpp"

#include <gtest/gtest.h>

#include <cmath>

namespace aph {
namespace {

TEST(Counterflow, ArithmeticUpToRatio1Point7LogarithmicAbove) {
  const struct {
    TerminalTemperatures t;
    double expected;
  } cases[] = {
      {{350, 160, 40, 190}, 140},  // 160/120 ≤ 1.7
      {{400, 150, 20, 300}, 115},  // hot end smaller than cold end
      {{350, 140, 40, 180}, 135},  // exactly 1.7: still arithmetic
      {{350, 140, 40, 179}, (100.0 - 171.0) / std::log(100.0 / 171.0)},
      {{300, 100, 50, 50}, (50.0 - 250.0) / std::log(50.0 / 250.0)},
  };
  for (const auto& c : cases)
    EXPECT_DOUBLE_EQ(*counterflowMeanTemperatureDifference(c.t), c.expected) << c.t.t1in;
}

TEST(Counterflow, ZeroColdEndDifferenceHasNoValue) {
  EXPECT_FALSE(counterflowMeanTemperatureDifference({350, 40, 40, 190}).has_value());
}

TEST(Crossflow, DefaultTemperaturesLieBelowTheCounterflowMean) {
  const double crossflow = *crossflowMeanTemperatureDifference({350, 160, 40, 190});
  EXPECT_LT(crossflow, 140);
  EXPECT_GT(crossflow, 100);
}

TEST(Crossflow, EqualEffectivenessesAvoidTheLogarithm) {
  // Pa = (40 - 190)/(40 - 340) = 0.5, Pb = (190 - 340)/(40 - 340) = 0.5.
  EXPECT_TRUE(crossflowMeanTemperatureDifference({340, 190, 40, 190}).has_value());
}

TEST(Crossflow, RolesExchangeWhenTheFlueGasLeavesBelowTheAirInlet) {
  // With t1in = t1out below the air inlet the normal form would divide by Pb = 0.
  EXPECT_TRUE(crossflowMeanTemperatureDifference({30, 30, 40, 100}).has_value());
}

TEST(Crossflow, LimitsHaveNoValue) {
  const TerminalTemperatures limits[] = {
      {350, 350, 40, 190},   // Pb = 0
      {350, 160, 350, 190},  // t1in = t2in
      {350, 160, 40, 350},   // Pa = 1
      {350, 160, 40, 500},   // effectiveness above 1: logarithm of a negative number
  };
  for (const auto& t : limits)
    EXPECT_FALSE(crossflowMeanTemperatureDifference(t).has_value()) << t.t2out;
}

TEST(MultiPass, PassCountsBlendCrossflowTowardsCounterflow) {
  const TerminalTemperatures t{350, 160, 40, 190};
  const double counterflow = *logarithmicCounterflowMeanTemperatureDifference(t);
  EXPECT_DOUBLE_EQ(counterflow, (120.0 - 160.0) / std::log(120.0 / 160.0));
  EXPECT_LT(counterflow, 140);
  const double crossflow = *crossflowMeanTemperatureDifference(t);

  EXPECT_EQ(*multiPassMeanTemperatureDifference(crossflow, counterflow, 1, 1.0f),
            static_cast<float>(crossflow));
  const float two = *multiPassMeanTemperatureDifference(crossflow, counterflow, 2, 2.0f);
  const float four = *multiPassMeanTemperatureDifference(crossflow, counterflow, 4, 4.0f);
  EXPECT_GT(two, static_cast<float>(crossflow));
  EXPECT_GT(four, two);
  EXPECT_LT(four, counterflow);
  // The smaller count decides, whichever side it is on.
  EXPECT_EQ(*multiPassMeanTemperatureDifference(crossflow, counterflow, 3, 2.0f), two);
  EXPECT_EQ(*multiPassMeanTemperatureDifference(crossflow, counterflow, 2, 3.0f), two);
  const float fractional = *multiPassMeanTemperatureDifference(crossflow, counterflow, 1.5, 2.0f);
  EXPECT_FLOAT_EQ(fractional, static_cast<float>(std::pow(crossflow, 1 / 1.5) *
                                                 std::pow(counterflow, 1 - 1 / 1.5)));
}

TEST(MultiPass, NegativeDifferenceUnderAFractionalPowerHasNoValue) {
  EXPECT_FALSE(multiPassMeanTemperatureDifference(-10, 50, 2, 2.0f).has_value());
  EXPECT_FALSE(multiPassMeanTemperatureDifference(10, 0, 0.5, 2.0f).has_value());
  // One pass raises ΔTcf to the power 0: any finite value is fine.
  EXPECT_TRUE(multiPassMeanTemperatureDifference(10, -50, 1, 1.0f).has_value());
}

TEST(HeatDuty, ProductOrderAndSinglePrecision) {
  const double q1 = *heatDuty(0.84, 294982.42, 1.04, 190);
  EXPECT_DOUBLE_EQ(q1, 0.84 * (294982.42 * 0.001) / 3600 * 1.04 * 1000 * 190);
  const float q2 = *heatDutySingle(1.087, 300000, 1.001, 150);
  EXPECT_EQ(q2, static_cast<float>(1.087 * (300000 * 0.001) / 3600 * 1.001 * 1000 * 150));
  EXPECT_LT(*heatDuty(0.84, 1000, 1.04, -10), 0);
  EXPECT_FALSE(heatDutySingle(1e30, 1e30, 1, 1).has_value());  // beyond single precision
}

TEST(FlowConversion, MassModeGivesBackTheVolumeFlow) {
  const double v1 = *volumeFlowPerSecond(294982.42);
  const double g1 = *massFlowPerHour(0.84, v1);
  const double back = *volumeFlowPerHour(*volumeFlowFromMassFlow(g1, 0.84));
  EXPECT_NEAR(back, 294982.42, 1e-9);
  EXPECT_FALSE(volumeFlowFromMassFlow(1000, 0).has_value());
}

}  // namespace
}  // namespace aph
