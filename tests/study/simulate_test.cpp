// The off-design rating: answers re-rated as a case holding them, the heat balance worked by hand,
// the laws that step, and the ways there is no answer.
#include "study/studies/simulate.hpp"

#include <gtest/gtest.h>

#include <cmath>

#include "study/outputs/answers.hpp"
#include "study/outputs/curve.hpp"
#include "study/studies/solve.hpp"
#include "study/studies/sweep.hpp"

namespace aph::study {
namespace {

Case one(const std::string& json) {
  return parseCases(json, "case.json").at(0);
}

Case defaultWindow(const std::string& more = "") {
  return one(R"({"arrangement": "counterflow", "flow_mode": "volume")" + more + "}");
}

// The case with the answer's outlet temperatures typed in, rated as `rate` rates it.
Rating rerated(const Case& c, const OffDesignAnswer& a) {
  Case holding = c;
  holding.set("flue_gas.outlet_temperature", a.flueGasOutletText);
  holding.set("air.outlet_temperature", a.airOutletText);
  return rateCase(holding).window.rating();
}

void expectClosed(const Rating& r) {
  ASSERT_TRUE(r.completed());
  EXPECT_LE(std::fabs(*r.value(Quantity::Margin)), kMarginTolerance);
  const double q1 = *r.value(Quantity::FlueGasHeatDuty), q2 = *r.value(Quantity::AirHeatDuty);
  EXPECT_LE(std::fabs(q1 - q2), kBalanceTolerance / 100 * q2);
}

TEST(Simulate, TheExamplesSettleWhereTheMarginIsZeroAndTheBalanceCloses) {
  for (const char* file : {"default-window.json", "multi-pass.json", "boiler-loads.json"}) {
    for (const Case& c : loadCases(std::string(APH_EXAMPLES_DIR) + "/cases/" + file)) {
      SCOPED_TRACE(c.name);
      const OffDesignAnswer a = simulateCase(c);
      ASSERT_EQ(a.status, SolutionStatus::Found) << a.reason;
      expectClosed(rerated(c, a));
      EXPECT_EQ(a.rating.run.window.rating().text(Quantity::Margin),
                rerated(c, a).text(Quantity::Margin));
      EXPECT_LE(std::fabs(*a.margin), kMarginTolerance);
      EXPECT_LE(std::fabs(*a.heatBalance), kBalanceTolerance);
      EXPECT_LE(a.evaluations, 100u);
      // At 75 % load the air outlet passes a whole degree of the table (253.5 ℃) between two
      // answers: each meets both tolerances. Elsewhere a scan of ±1.5 K finds one.
      ASSERT_EQ(a.others.size(), c.name == "75 % 负荷" ? 1u : 0u);
      for (const OffDesignPair& other : a.others) {
        OffDesignAnswer second = a;
        second.flueGasOutletText = other.flueGasOutletText;
        second.airOutletText = other.airOutletText;
        expectClosed(rerated(c, second));
        EXPECT_NE(std::nearbyint(other.airOutlet), std::nearbyint(*a.airOutlet));
        EXPECT_NE(describeOffDesign(a).find("2 pairs meet both tolerances"), std::string::npos);
      }
    }
  }
}

// With the window's own property fields, Q = ρ · V/3600 · cp · Δt on each side.
TEST(Simulate, TheDefaultWindowsBalanceHoldsByTheDutyFormula) {
  const OffDesignAnswer a = simulateCase(defaultWindow());
  ASSERT_EQ(a.status, SolutionStatus::Found);
  const double q1 = 0.84 * (294982.42 / 3600) * 1.04 * (350 - *a.flueGasOutlet);
  const double q2 = 1.087 * (300000.0 / 3600) * 1.001 * (*a.airOutlet - 40);
  EXPECT_LE(std::fabs(q1 - q2), 1e-4 * q2 + 0.01);
  // The exchanger as built is too big for the design point (margin above 30 %): it cools the
  // flue gas further and heats the air more than the design temperatures.
  EXPECT_LT(*a.flueGasOutlet, 160);
  EXPECT_GT(*a.airOutlet, 190);
}

TEST(Simulate, TheCaseOutletTemperaturesAreOnlyTheStartingGuess) {
  const OffDesignAnswer reference = simulateCase(defaultWindow());
  for (const char* guess :
       {R"(, "flue_gas": {"outlet_temperature": 340}, "air": {"outlet_temperature": 41})",
        R"(, "flue_gas": {"outlet_temperature": 41}, "air": {"outlet_temperature": 345})",
        R"(, "flue_gas": {"outlet_temperature": "abc"}, "air": {"outlet_temperature": ""})"}) {
    SCOPED_TRACE(guess);
    const Case c =
        parseCases(
            std::string(R"({"arrangement": "counterflow", "flow_mode": "volume")") + guess + "}",
            "case.json", {.asTyped = true})
            .at(0);
    const OffDesignAnswer a = simulateCase(c);
    ASSERT_EQ(a.status, SolutionStatus::Found) << a.reason;
    EXPECT_NEAR(*a.flueGasOutlet, *reference.flueGasOutlet, 0.02);
    EXPECT_NEAR(*a.airOutlet, *reference.airOutlet, 0.02);
    expectClosed(rerated(c, a));
  }
}

// Where a law of the calculation steps, the closest pair on the 0.001 ℃ grid, with its cause.
TEST(Simulate, WhereALawStepsTheClosestPairOnTheGridIsReported) {
  // At 60 % load the default window settles where the counterflow mean temperature difference
  // turns from the arithmetic to the logarithmic mean: (t1in − t2out) / (t1out − t2in) = 1.7.
  {
    const Case c = loadCase(defaultWindow(), 60);
    const OffDesignAnswer a = simulateCase(c);
    ASSERT_EQ(a.status, SolutionStatus::Grid);
    EXPECT_NE(a.reason.find("1.7 to 1"), std::string::npos) << a.reason;
    EXPECT_NEAR((350 - *a.airOutlet) / (*a.flueGasOutlet - 40), 1.7, 1e-3);
    EXPECT_GT(std::fabs(*a.margin), kMarginTolerance);
    EXPECT_LE(std::fabs(*a.heatBalance), kBalanceTolerance);
    // No pair within the balance tolerance nearby comes closer to a margin of 0: every air outlet
    // within 0.04 K, with every flue-gas outlet at which the duty formula (the window's property
    // fields) puts Q1 within the tolerance of Q2, re-rated.
    const double flueGas = 0.84 * 1.04 * 294982.42 * 0.6, air = 1.087 * 1.001 * 300000 * 0.6;
    double closest = INFINITY;
    for (int dx = -40; dx <= 40; ++dx) {
      const double x = std::round(*a.airOutlet * 1000 + dx) / 1000;
      const double y0 = 350 - (1 + 1e-4) * air * (x - 40) / flueGas;
      const double y1 = 350 - (1 - 1e-4) * air * (x - 40) / flueGas;
      for (double y = std::floor(y0 * 1000) / 1000; y <= y1 + 0.001; y += 0.001) {
        OffDesignAnswer pair;
        pair.flueGasOutletText = gridText(std::round(y * 1000) / 1000);
        pair.airOutletText = gridText(x);
        const Rating r = rerated(c, pair);
        const double q1 = *r.value(Quantity::FlueGasHeatDuty), q2 = *r.value(Quantity::AirHeatDuty);
        if (std::fabs(q1 - q2) <= kBalanceTolerance / 100 * q2)
          closest = std::min(closest, std::fabs(*r.value(Quantity::Margin)));
      }
    }
    ASSERT_LT(closest, 1);
    EXPECT_LE(std::fabs(*a.margin), closest);
  }
  // With the flue-gas table the specific heat jumps by a third where the mean flue-gas
  // temperature passes 200 ℃: the margin cannot come near 0 across the jump.
  {
    const Case c = one(R"({"arrangement": "counterflow", "flow_mode": "volume",
        "flue_gas": {"properties": "table", "inlet_temperature": 290, "outlet_temperature": 120},
        "air": {"properties": "table", "outlet_temperature": 200}})");
    const OffDesignAnswer a = simulateCase(loadCase(c, 30));
    ASSERT_EQ(a.status, SolutionStatus::Grid);
    EXPECT_NE(a.reason.find("200 ℃"), std::string::npos) << a.reason;
    // And at full load the densities of the tables step with the rounded temperatures: the
    // balance closes only to the step.
    const OffDesignAnswer full = simulateCase(c);
    ASSERT_TRUE(full.status == SolutionStatus::Grid || full.status == SolutionStatus::Found);
    if (full.status == SolutionStatus::Grid) {
      EXPECT_NE(full.reason.find("tables step"), std::string::npos) << full.reason;
    }
    EXPECT_LE(std::fabs(*full.heatBalance), 0.1);  // a density step of the table at most
  }
}

TEST(Simulate, NoSolutionIsToldWithItsCause) {
  struct Row {
    const char* json;
    const char* reason;
  };
  for (const Row& row : {
           Row{R"({"arrangement": "counterflow", "flow_mode": "volume",
                   "flue_gas": {"inlet_temperature": 30, "outlet_temperature": 20}})",
               "the air cannot be heated: the flue gas enters at 30 ℃, not above the air's 40 ℃"},
           // Far more flue gas than air and a huge pack: by the arithmetic mean the window takes
           // for end differences of less than 1.7 to 1, the margin stays above 0 up to the inlet.
           Row{R"({"arrangement": "counterflow", "flow_mode": "volume",
                   "plate": {"pairs": 3000}, "flue_gas": {"volume_flow": 900000}})",
               "the margin stays above 0 however hot the air leaves"},
           // Hardly any flue gas: it would have to leave below the air inlet temperature.
           Row{R"({"arrangement": "crossflow", "flow_mode": "volume",
                   "plate": {"pairs": 3000}, "flue_gas": {"volume_flow": 1000}})",
               "a temperature cross"},
           // A run that stops: no arrangement selected.
           Row{R"({"flow_mode": "volume"})",
               "the calculation stops at flue-gas outlet 160 ℃, air outlet 190 ℃: "
               "未选择流动形式！"},
       }) {
    SCOPED_TRACE(row.reason);
    const OffDesignAnswer a = simulateCase(one(row.json));
    EXPECT_EQ(a.status, SolutionStatus::Unreachable);
    EXPECT_NE(a.reason.find(row.reason), std::string::npos) << a.reason;
    EXPECT_NE(describeOffDesign(a).find("no solution"), std::string::npos);
  }
}

// A margin solved to 0 within the tolerance is no violation, though the window shows any margin
// below 0 in red; one the grid leaves short of 0 is.
TEST(Simulate, ASettledMarginIsNoViolation) {
  for (const auto& [load, low] : {std::pair{100.0, false}, std::pair{60.0, true}}) {
    const OffDesignAnswer a = simulateCase(loadCase(defaultWindow(), load));
    ASSERT_LT(*a.margin, 0) << load;
    const auto json = offDesignJson(a);
    const auto& names = json["violations"];
    EXPECT_EQ(std::find(names.begin(), names.end(), "margin_low") != names.end(), low) << load;
    EXPECT_EQ(json["results"]["margin"]["flagged"], low) << load;
    const std::string table = rateTable({a.rating}, false);
    const auto row = table.find("裕量R(%)");
    EXPECT_EQ(table.substr(row, table.find('\n', row) - row).find(" !") != std::string::npos, low)
        << table;
  }
}

TEST(Simulate, StopsAtItsBoundOfEvaluations) {
  SimulateOptions options;
  options.maxEvaluations = 3;
  const OffDesignAnswer a =
      simulateCase(defaultWindow(R"(, "air": {"outlet_temperature": 41})"), options);
  EXPECT_EQ(a.status, SolutionStatus::Bound);
  EXPECT_EQ(a.evaluations, 3u);
  EXPECT_NE(a.reason.find("bound of 3 evaluations"), std::string::npos);
}

TEST(LoadCase, ScalesTheFlowsOfTheCasesFlowMode) {
  const Case volume = loadCase(defaultWindow(), 50);
  EXPECT_EQ(volume.inputText(*findKey("flue_gas.volume_flow")), "147491.21");
  EXPECT_EQ(volume.inputText(*findKey("air.volume_flow")), "150000");
  const Case mass = loadCase(one(R"({"arrangement": "counterflow", "flow_mode": "mass",
              "flue_gas": {"mass_flow": 250000}, "air": {"mass_flow": 330000}})"),
                             70);
  EXPECT_EQ(mass.inputText(*findKey("flue_gas.mass_flow")), "175000");
  EXPECT_EQ(mass.inputText(*findKey("air.mass_flow")), "231000");
  EXPECT_EQ(mass.inputText(*findKey("air.volume_flow")), "300000");  // not read in mass mode
  // 100 % leaves the texts exactly as they are: the same answer as without a load.
  const Case full = loadCase(defaultWindow(), 100);
  EXPECT_EQ(full.values, defaultWindow().values);
  EXPECT_THROW(loadCase(one(R"({"arrangement": "counterflow"})"), 50), SolveError);
}

TEST(ParseLoads, ReadsARangeOfPercentagesAndRefusesNonsense) {
  EXPECT_EQ(parseLoads("30:110:10"), (std::vector<double>{30, 40, 50, 60, 70, 80, 90, 100, 110}));
  EXPECT_EQ(parseLoads("50:50:5"), (std::vector<double>{50}));
  for (const char* bad : {"0:100:10", "-10:50:10", "30:110", "10:5:1", "1:2000:1", "a:b:c",
                          "30:110:0", "1:1e999:1", "500:1500:100"})
    EXPECT_THROW(parseLoads(bad), RangeError) << bad;
}

TEST(PerformanceChart, PlotsTheLoadsThatHaveAnAnswer) {
  std::vector<OperatingPoint> points;
  for (double load : {50.0, 100.0}) {
    OffDesignAnswer a = simulateCase(loadCase(defaultWindow(), load));
    a.load = load;
    points.push_back(operatingPoint(a));
  }
  OffDesignAnswer none = simulateCase(one(R"({"flow_mode": "volume"})"));
  none.load = 70;
  points.push_back(operatingPoint(none));
  const PerformanceChart chart = performanceChart(points, "design");
  ASSERT_EQ(chart.curves.size(), 4u);
  for (const Curve& curve : chart.curves) {
    ASSERT_EQ(curve.points.size(), 2u);  // not the load without an answer
    EXPECT_EQ(curve.points[0].first, 50);
  }
  EXPECT_EQ(chart.curves[0].points[1].second, *points[1].flueGasOutlet);
  EXPECT_EQ(chart.curves[2].points[1].second, *points[1].wallMin);
  EXPECT_EQ(chart.design, 100);
  // The cold end is colder at low load.
  EXPECT_LT(chart.curves[2].points[0].second, chart.curves[2].points[1].second);
}

}  // namespace
}  // namespace aph::study
