// Goal seeking and the grid search under it. Expected values come from the heat-duty formulas
// worked here by hand, or from re-rating a case file that holds the answer.
#include "study/studies/solve.hpp"

#include <gtest/gtest.h>

#include <cmath>

#include "counterflow_wall.hpp"

namespace aph::study {
namespace {

Case one(const std::string& json) {
  return parseCases(json, "case.json").at(0);
}

const std::string kDefault = R"({"arrangement": "counterflow", "flow_mode": "volume")";

Case defaultWindow(const std::string& more = "") {
  return one(kDefault + more + "}");
}

// The case file a user would write with the answer typed in, rated as `rate` rates it.
Rating rerated(const std::string& path, const std::string& text) {
  std::string json = kDefault;
  const auto dot = path.find('.');
  json += ", \"" + path.substr(0, dot) + "\": {\"" + path.substr(dot + 1) + "\": " + text + "}}";
  return rateCase(parseCases(json, "answer.json").at(0)).window.rating();
}

GoalSeekRequest request(const std::string& key, const std::string& result, double target,
                        TargetCondition condition = TargetCondition::Equal) {
  GoalSeekRequest r;
  r.key = *findKey(key);
  r.result = *findGoalResult(result);
  r.target = target;
  r.condition = condition;
  return r;
}

// A case that states its flue gas's acid dew point, for the design checks.
const std::string kAcid = R"(, "flue_gas": {"acid_dew_point": 120})";

TEST(TextGrid, WritesExactDecimalsWithoutTrailingZeros) {
  struct Row {
    int decimals;
    long long index;
    const char* text;
  };
  for (const Row& row :
       {Row{3, 190123, "190.123"}, Row{3, -5, "-0.005"}, Row{3, 1900, "1.9"}, Row{3, 0, "0"},
        Row{0, 110, "110"}, Row{4, 48000, "4.8"}, Row{2, -29498242, "-294982.42"}}) {
    const TextGrid grid{row.decimals};
    EXPECT_EQ(grid.text(row.index), row.text);
    EXPECT_DOUBLE_EQ(grid.value(row.index), std::stod(row.text));
  }
}

TEST(TextGrid, RoundsOntoTheGridAndRefusesWhatItCannotHold) {
  const TextGrid tenths{1};
  EXPECT_EQ(tenths.above(0.1 + 0.2), 3);  // a hair above 0.3 is still 0.3
  EXPECT_EQ(tenths.below(0.3), 3);
  EXPECT_EQ(tenths.above(0.31), 4);
  EXPECT_EQ(tenths.below(-0.31), -4);
  EXPECT_FALSE(TextGrid{3}.above(1e13));  // 10^16 steps
  EXPECT_FALSE(TextGrid{3}.below(std::nan("")));
}

TEST(NarrowSignChange, FindsLinearRootsStepsAndStopsWithinItsBudget) {
  // A straight line: regula falsi lands on the root at once.
  std::size_t calls = 0;
  Residual line = [&](long long i) -> std::optional<double> {
    ++calls;
    return 1000.0 - static_cast<double>(i);
  };
  std::size_t budget = 100;
  NarrowResult r = narrowSignChange({0, 1000.0}, {5000, -4000.0}, 0.5, line, budget);
  EXPECT_EQ(r.end, NarrowResult::End::Found);
  EXPECT_EQ(r.best.index, 1000);
  EXPECT_LE(calls, 2u);

  // A step: no value meets the tolerance; the two neighbours around the step remain.
  Residual step = [](long long i) -> std::optional<double> { return i < 777 ? 1.0 : -1.0; };
  budget = 100;
  r = narrowSignChange({0, 1.0}, {5000, -1.0}, 0.5, step, budget);
  EXPECT_EQ(r.end, NarrowResult::End::Grid);
  EXPECT_EQ(r.low.index, 776);
  EXPECT_EQ(r.high.index, 777);
  EXPECT_GE(budget, 100u - 30u);  // about log2(5000) trials, not thousands

  // Runs that stop on part of the bracket are stepped around when the root lies elsewhere...
  Residual gap = [](long long i) -> std::optional<double> {
    if (i >= 400 && i <= 600) return std::nullopt;
    return 700.0 - static_cast<double>(i);
  };
  budget = 100;
  r = narrowSignChange({0, 700.0}, {1000, -300.0}, 0.5, gap, budget);
  EXPECT_EQ(r.end, NarrowResult::End::Found);
  EXPECT_EQ(r.best.index, 700);
  // ...and end the search, named, when the sign changes where every run stops.
  Residual hole = [](long long i) -> std::optional<double> {
    if (i >= 400 && i <= 600) return std::nullopt;
    return 500.0 - static_cast<double>(i);
  };
  budget = 100;
  r = narrowSignChange({0, 500.0}, {1000, -500.0}, 0.5, hole, budget);
  EXPECT_EQ(r.end, NarrowResult::End::Stopped);
  ASSERT_TRUE(r.stopped);
  EXPECT_GE(*r.stopped, 400);
  EXPECT_LE(*r.stopped, 600);

  // The budget is a hard bound.
  budget = 3;
  r = narrowSignChange({0, 1.0}, {5000, -1.0}, 0.5, step, budget);
  EXPECT_EQ(r.end, NarrowResult::End::Bound);
  EXPECT_EQ(budget, 0u);
}

// With the window's own property fields the duties are straight lines in the outlet
// temperatures: Q = ρ · V/3600 · cp · Δt, in kW.
TEST(SeekGoal, LandsOnTheOutletTemperatureTheHeatDutyFormulaGives) {
  struct Row {
    const char* key;
    const char* result;
    double target;
    double expected;
  };
  const double air = 1.087 * (300000.0 / 3600) * 1.001;     // kW per K of air warming
  const double flueGas = 0.84 * (294982.42 / 3600) * 1.04;  // kW per K of flue-gas cooling
  for (const Row& row :
       {Row{"air.outlet_temperature", "air.heat_duty", 12000, 40 + 12000 / air},
        Row{"flue_gas.outlet_temperature", "flue_gas.heat_duty", 15000, 350 - 15000 / flueGas},
        Row{"air.inlet_temperature", "air.heat_duty", 14000, 190 - 14000 / air}}) {
    SCOPED_TRACE(row.key);
    const Case c = defaultWindow();
    const GoalSeekAnswer a = seekGoal(c, request(row.key, row.result, row.target));
    ASSERT_EQ(a.status, SolutionStatus::Found);
    EXPECT_NEAR(a.answer.value, row.expected, 0.02);
    ASSERT_TRUE(a.answer.result);
    EXPECT_NEAR(*a.answer.result, row.target, 1e-4 * row.target);
    EXPECT_LE(a.low.value, a.answer.value);
    EXPECT_GE(a.high.value, a.answer.value);
    EXPECT_LE(a.evaluations, kMaxSolveEvaluations);
  }
}

// A case file holding the answer, rated again, shows the target.
TEST(SeekGoal, TheRatingOfACaseFileHoldingTheAnswerShowsTheTarget) {
  struct Row {
    const char* key;
    const char* result;
    double target;
  };
  for (const Row& row :
       {Row{"air.outlet_temperature", "margin", 0},
        Row{"flue_gas.outlet_temperature", "wall.min", 80}, Row{"factors.air_nu", "k_actual", 50},
        Row{"flue_gas.channel_length", "air.pressure_drop", 4000}}) {
    SCOPED_TRACE(row.key);
    const Case c = defaultWindow();
    const GoalSeekAnswer a = seekGoal(c, request(row.key, row.result, row.target));
    ASSERT_EQ(a.status, SolutionStatus::Found);
    const Rating r = rerated(row.key, a.answer.text);
    ASSERT_TRUE(r.completed());
    const auto shown = r.value(findResultColumn(row.result)->quantity);
    ASSERT_TRUE(shown);
    EXPECT_LE(std::fabs(*shown - row.target), 1e-4 * std::max(1.0, std::fabs(row.target)));
    // The answer's own rating is that very rating.
    EXPECT_EQ(a.rating.run.window.rating().text(findResultColumn(row.result)->quantity),
              r.text(findResultColumn(row.result)->quantity));
  }
}

TEST(SeekGoal, WholeNumberKeysGiveBothNeighboursAroundTheTarget) {
  const GoalSeekAnswer a = seekGoal(defaultWindow(), request("plate.pairs", "margin", 15));
  ASSERT_EQ(a.status, SolutionStatus::Grid);
  EXPECT_EQ(std::stoll(a.high.text) - std::stoll(a.low.text), 1);
  ASSERT_TRUE(a.low.result && a.high.result);
  EXPECT_LT(*a.low.result, 15);  // the margin grows with the plate pairs
  EXPECT_GT(*a.high.result, 15);
  const GoalPoint& closer =
      std::fabs(*a.low.result - 15) < std::fabs(*a.high.result - 15) ? a.low : a.high;
  EXPECT_EQ(a.answer.text, closer.text);
  // Each neighbour rated on its own shows what the answer says of it.
  for (const GoalPoint& p : {a.low, a.high})
    EXPECT_FLOAT_EQ(*rerated("plate.pairs", p.text).value(Quantity::Margin), *p.result);
  // The runs that stop at the smallest packs are named, and the search goes on around them.
  EXPECT_GE(a.stoppedCount, 1u);
  EXPECT_EQ(a.stoppedAt.front(), "1");
  EXPECT_EQ(a.stopMessage, "壁温计算无法收敛！");
}

TEST(SeekGoal, AnUnreachableTargetTellsTheLowestAndHighestResult) {
  const GoalSeekAnswer a = seekGoal(defaultWindow(), request("plate.pairs", "margin", 900));
  EXPECT_EQ(a.status, SolutionStatus::Unreachable);
  ASSERT_TRUE(a.lowest && a.highest);
  EXPECT_LT(*a.lowest->result, *a.highest->result);
  EXPECT_LT(*a.highest->result, 900);
  EXPECT_EQ(a.answer.text, a.highest->text);  // the closest it comes
  EXPECT_LE(a.evaluations, kMaxSolveEvaluations);
  EXPECT_NE(describeGoalSeek(a).find("not reachable over 1…1000"), std::string::npos);
}

TEST(SeekGoal, TheTargetWhereEveryRunStopsIsUnreachableWithTheMessage) {
  // A case without an arrangement stops at every value.
  const Case c = one(R"({"flow_mode": "volume"})");
  const GoalSeekAnswer a = seekGoal(c, request("plate.pairs", "margin", 15));
  EXPECT_EQ(a.status, SolutionStatus::Unreachable);
  EXPECT_FALSE(a.lowest);
  EXPECT_EQ(a.stoppedCount, kSolveScanPoints);
  EXPECT_EQ(a.stopMessage, "未选择流动形式！");
  EXPECT_NE(describeGoalSeek(a).find("stops at every value"), std::string::npos);
}

TEST(SeekGoal, StopsAtItsBoundOfEvaluations) {
  GoalSeekRequest r = request("air.outlet_temperature", "margin", 0);
  r.maxEvaluations = 10;
  const GoalSeekAnswer a = seekGoal(defaultWindow(), r);
  EXPECT_EQ(a.status, SolutionStatus::Bound);
  EXPECT_EQ(a.evaluations, 10u);
  EXPECT_NE(describeGoalSeek(a).find("bound of 10 evaluations"), std::string::npos);
}

// Whatever the target, every number told of a value is the result rated there: a huge target
// swamps the residual, not the result. Beyond the results' span, the closest value is the one
// that gives the highest result, told beside it.
TEST(SeekGoal, EveryResultToldIsTheOneRatedAtItsValue) {
  for (const auto& [result, target] : std::vector<std::pair<std::string, double>>{
           {"margin", 1e19}, {"margin", 1e16}, {"wall.min", 1e100}}) {
    SCOPED_TRACE(result + " = " + std::to_string(target));
    const GoalSeekAnswer a = seekGoal(defaultWindow(), request("plate.pairs", result, target));
    ASSERT_EQ(a.status, SolutionStatus::Unreachable);
    ASSERT_TRUE(a.answer.result && a.highest);
    const Quantity field = findResultColumn(result)->quantity;
    EXPECT_EQ(*a.answer.result, *rerated("plate.pairs", a.answer.text).value(field));
    EXPECT_EQ(*a.highest->result, *rerated("plate.pairs", a.highest->text).value(field));
    EXPECT_EQ(a.answer.text, a.highest->text);
  }
}

// A result that stays the same over the range (the cold-end wall does not see the flue-gas inlet
// temperature) is told once, at the lowest value that runs: just above the air outlet
// temperature of 190 ℃, below which the hot end has no temperature difference.
TEST(SeekGoal, AResultThatStaysTheSameIsToldWhereItIsFirstHad) {
  const GoalSeekAnswer a =
      seekGoal(defaultWindow(), request("flue_gas.inlet_temperature", "wall.min", 1000));
  ASSERT_EQ(a.status, SolutionStatus::Unreachable);
  ASSERT_TRUE(a.lowest && a.highest);
  for (const GoalPoint* p : {&a.answer, &*a.lowest, &*a.highest}) EXPECT_EQ(p->text, "190.001");
  const std::string told = describeGoalSeek(a);
  EXPECT_NE(told.find("at every value that ran, the lowest of them 190.001"), std::string::npos)
      << told;
  EXPECT_NE(told.find("closest: flue_gas.inlet_temperature = 190.001"), std::string::npos);
}

// Values whose runs stop for different reasons each keep their own message.
TEST(SeekGoal, EachValueThatStopsKeepsItsOwnMessage) {
  GoalSeekRequest r = request("flue_gas.outlet_temperature", "margin", 15);
  r.range = std::pair{-300.0, 349.0};
  r.asTyped = true;
  const GoalSeekAnswer a = seekGoal(defaultWindow(), r);
  ASSERT_GE(a.stops.size(), 2u);
  std::size_t count = 0;
  for (const StopGroup& g : a.stops) {
    count += g.count;
    for (const std::string& value : g.at) {
      const Case at =
          parseCases(kDefault + R"(, "flue_gas": {"outlet_temperature": )" + value + "}}",
                     "at.json", {.asTyped = true})
              .at(0);
      const RunStatus status = rateCase(at).status;
      ASSERT_FALSE(status.completed) << value;
      ASSERT_EQ(status.messages.size(), 1u);
      EXPECT_EQ(status.messages.front(), g.message) << value;
    }
  }
  EXPECT_EQ(count, a.stoppedCount);
}

// The design checks' results are targets too, worked out from each rated design: the margin of
// the cold-end wall above the acid dew point, and (Q1 − Q2) / Q2.
TEST(SeekGoal, DesignCheckResultsAreTargets) {
  struct Row {
    const char* key;
    const char* result;
    double target;
    double (*fromRating)(const Rating&);
  };
  for (const Row& row : {Row{"flue_gas.outlet_temperature", "dew_point_margin", -20,
                             [](const Rating& r) { return counterflowColdFlueGasFace(r) - 120; }},
                         Row{"air.outlet_temperature", "heat_balance", 2, [](const Rating& r) {
                               const double q1 = *r.value(Quantity::FlueGasHeatDuty),
                                            q2 = *r.value(Quantity::AirHeatDuty);
                               return (q1 - q2) / q2 * 100;
                             }}}) {
    SCOPED_TRACE(row.result);
    const GoalSeekAnswer a =
        seekGoal(defaultWindow(kAcid), request(row.key, row.result, row.target));
    ASSERT_EQ(a.status, SolutionStatus::Found);
    std::string json = kDefault + ", \"flue_gas\": {\"acid_dew_point\": 120";
    json += std::string(row.key).starts_with("flue_gas.")
                ? ", \"outlet_temperature\": " + a.answer.text + "}}"
                : "}, \"air\": {\"outlet_temperature\": " + a.answer.text + "}}";
    const Rating r = rateCase(one(json)).window.rating();
    EXPECT_NEAR(row.fromRating(r), row.target, a.tolerance * 1.0001);
  }
}

// One-sided targets: the value nearest the boundary that meets the condition; the neighbour one
// step further toward the boundary, rated on its own, does not.
TEST(SeekGoal, OneSidedTargetsGiveTheNearestValueThatMeetsThem) {
  struct Row {
    const char* key;
    const char* result;
    TargetCondition condition;
    double target;
  };
  for (const Row& row : {Row{"plate.pairs", "margin", TargetCondition::AtLeast, 15},
                         Row{"plate.pairs", "air.pressure_drop", TargetCondition::AtMost, 3000},
                         Row{"air.outlet_temperature", "margin", TargetCondition::AtLeast, 0}}) {
    SCOPED_TRACE(row.result);
    const GoalSeekAnswer a =
        seekGoal(defaultWindow(), request(row.key, row.result, row.target, row.condition));
    ASSERT_TRUE(a.status == SolutionStatus::Grid || a.status == SolutionStatus::Found);
    const Quantity field = findResultColumn(row.result)->quantity;
    auto meets = [&](const std::string& text) {
      const double v = *rerated(row.key, text).value(field);
      return row.condition == TargetCondition::AtLeast ? v >= row.target : v <= row.target;
    };
    EXPECT_TRUE(meets(a.answer.text)) << a.answer.text;
    ASSERT_EQ(a.status, SolutionStatus::Grid);
    const GoalPoint& other = a.answer.text == a.low.text ? a.high : a.low;
    EXPECT_FALSE(meets(other.text)) << other.text;
    EXPECT_NEAR(a.high.value - a.low.value, keyGrid(*findKey(row.key)).step(), 1e-9);
  }
  // Met over the whole range: the value whose result comes nearest the boundary (the margin
  // grows with the plate pairs: the fewest).
  GoalSeekRequest r = request("plate.pairs", "margin", -100, TargetCondition::AtLeast);
  r.range = std::pair{20.0, 100.0};
  const GoalSeekAnswer a = seekGoal(defaultWindow(), r);
  EXPECT_EQ(a.status, SolutionStatus::Found);
  EXPECT_EQ(a.answer.text, "20");
}

TEST(SeekGoal, ParsesTargetsWithTheirCondition) {
  struct Row {
    const char* text;
    const char* result;
    TargetCondition condition;
    double target;
  };
  for (const Row& row :
       {Row{"margin=15", "margin", TargetCondition::Equal, 15},
        Row{"margin>=15", "margin", TargetCondition::AtLeast, 15},
        Row{"air.pressure_drop<=3000", "air.pressure_drop", TargetCondition::AtMost, 3000},
        Row{"dew_point_margin=-1e1", "dew_point_margin", TargetCondition::Equal, -10}}) {
    const GoalTarget t = parseGoalTarget(row.text);
    EXPECT_EQ(t.result.name, row.result);
    EXPECT_EQ(t.condition, row.condition);
    EXPECT_EQ(t.target, row.target);
  }
  for (const char* bad : {"margin", "margin>15", "margin=>15", ">=15", "margin<=x"})
    EXPECT_THROW(parseGoalTarget(bad), SolveError) << bad;
}

TEST(SeekGoal, RefusesKeysAndRangesTheCalculationCannotUse) {
  struct Row {
    const char* json;  // added to the default window
    const char* key;
    std::optional<std::pair<double, double>> range;
    const char* message;
    const char* result = "margin";
  };
  for (const Row& row : {
           Row{"", "air.mass_flow", {}, "in volume mode the calculation writes the mass flows"},
           Row{"", "passes.air", {}, "read only by the multi-pass arrangement"},
           Row{R"(, "air": {"properties": "table"})", "air.density", {}, "from the table"},
           Row{"", "air.equivalent_diameter", {}, "from the channel gaps"},
           Row{"", "arrangement", {}, "not a number"},
           Row{"", "plate.pairs", std::pair{0.0, 10.0}, "plate.pairs: 0 is out of range"},
           Row{"", "plate.pairs", std::pair{10.0, 5.0}, "FROM must lie below TO"},
           Row{"", "plate.pairs", std::pair{10.2, 10.8}, "holds no value"},
           Row{"", "air.outlet_temperature", std::pair{20.0, 100.0},
               "air.outlet_temperature: 20 is out of range"},
           Row{R"(, "air": {"inlet_temperature": 400})",
               "air.outlet_temperature",
               {},
               "default range"},
           // Keys and results the case's arrangement or its flue gas never gives.
           Row{"", "air.channel_length", {}, "never reads the air channel length"},
           Row{"", "flue_gas.so3", {}, "an input of the design checks, no field of the window"},
           Row{"", "plate.pairs", {}, "only the multi-pass arrangement forms it", "multi_pass_mtd"},
           Row{"", "plate.pairs", {}, "no acid dew point", "dew_point_margin"},
       }) {
    SCOPED_TRACE(row.key);
    GoalSeekRequest r;
    r.key = *findKey(row.key);
    r.result = *findGoalResult(row.result);
    r.range = row.range;
    const Case c = parseCases(kDefault + row.json + "}", "case.json", {.asTyped = true}).at(0);
    try {
      (void)checkGoalSeek(c, r);
      ADD_FAILURE() << "accepted";
    } catch (const SolveError& e) {
      EXPECT_NE(std::string(e.what()).find(row.message), std::string::npos) << e.what();
    }
  }
  // As typed, a range outside the checks is rated as the window would rate it.
  GoalSeekRequest typed = request("plate.pairs", "margin", 15);
  typed.range = std::pair{0.0, 10.0};
  typed.asTyped = true;
  EXPECT_EQ(checkGoalSeek(defaultWindow(), typed), (std::pair<long long, long long>{0, 10}));
}

TEST(SeekGoal, DefaultRangesFollowTheCase) {
  const Case c = defaultWindow(R"(, "air": {"inlet_temperature": 30, "volume_flow": 200000})");
  EXPECT_EQ(defaultRange(c, *findKey("air.outlet_temperature")),
            (std::pair<double, double>{30.001, 349.999}));
  EXPECT_EQ(defaultRange(c, *findKey("air.volume_flow")),
            (std::pair<double, double>{20000, 400000}));
  EXPECT_EQ(defaultRange(c, *findKey("plate.pairs")), (std::pair<double, double>{1, 1000}));
  EXPECT_EQ(defaultRange(c, *findKey("flue_gas.channel_gap")), (std::pair<double, double>{5, 15}));
  EXPECT_EQ(keyGrid(*findKey("air.outlet_temperature")).decimals, 3);
  EXPECT_EQ(keyGrid(*findKey("air.channel_length")).decimals, 4);
  EXPECT_EQ(keyGrid(*findKey("plate.pairs")).decimals, 0);
}

TEST(ParseOptionNumber, TakesNumbersAndRefusesTheRest) {
  EXPECT_EQ(parseOptionNumber("15", "--target"), 15);
  EXPECT_EQ(parseOptionNumber("-1e3", "--target"), -1000);
  for (const char* bad : {"", "abc", "nan", "inf", "12abc"})
    EXPECT_THROW(parseOptionNumber(bad, "--target"), SolveError) << bad;
  try {
    parseOptionNumber("1e999", "--range 1e999:5");
    ADD_FAILURE();
  } catch (const SolveError& e) {
    EXPECT_EQ(std::string(e.what()), "--range 1e999:5: \"1e999\" is beyond what a double holds");
  }
}

}  // namespace
}  // namespace aph::study
