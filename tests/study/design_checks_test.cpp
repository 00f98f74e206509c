// The design checks of the batch tool: the dew-point keys of a case file, cold-end corrosion and
// heat balance as every output shows them, sizing over every load case at once, and the Excel
// workbook read back from its XML.
#include "study/checks/design_checks.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <regex>
#include <sstream>

#include "command_output.hpp"
#include "counterflow_wall.hpp"
#include "engine/dew_point.hpp"
#include "model/text.hpp"
#include "study/outputs/answers.hpp"
#include "study/outputs/curve.hpp"
#include "study/outputs/xlsx.hpp"
#include "study/studies/rate.hpp"
#include "study/studies/simulate.hpp"
#include "study/studies/size.hpp"
#include "study/studies/solve.hpp"
#include "study/studies/sweep.hpp"

namespace aph::study {
namespace {

namespace fs = std::filesystem;

Case one(const std::string& json, const ReadOptions& options = {}) {
  return parseCases(json, "case.json", options).at(0);
}

// The error a case file gives, or "" when it is read.
std::string refusal(const std::string& json, bool asTyped = false) {
  try {
    ReadOptions options;
    options.asTyped = asTyped;
    parseCases(json, "case.json", options);
    return "";
  } catch (const CaseError& e) {
    return e.what();
  }
}

// Dew-point inputs out of their physical range, or contradicting each other, are refused with
// the key named, whether or not the window's fields are taken as typed.
TEST(DesignChecks, DewPointKeysAreHeldToTheirRange) {
  struct Row {
    std::string json, error;
  };
  const std::vector<Row> rows = {
      {R"({"flue_gas": {"h2o": 0, "so3": 3}})",
       "case.json: flue_gas.h2o: 0 is out of range; allowed: 1 … 40 % (volume, wet basis"},
      {R"({"flue_gas": {"h2o": 1e-300, "so3": 3}})", "flue_gas.h2o: 1e-300 is out of range"},
      {R"({"flue_gas": {"h2o": 10, "so3": 1e-300}})",
       "flue_gas.so3: 1e-300 is out of range; allowed: 0.1 … 1000 ppm"},
      {R"({"flue_gas": {"h2o": 10, "pressure": 1e308}})",
       "flue_gas.pressure: 1e+308 is out of range; allowed: 50 … 200 kPa (absolute"},
      {R"({"flue_gas": {"h2o": 10, "so3": 3, "pressure": 30000}})", "flue_gas.pressure: 30000 is"},
      {R"({"flue_gas": {"acid_dew_point": 1e308}})",
       "flue_gas.acid_dew_point: 1e+308 is out of range; allowed: 0 … 337 ℃"},
      {R"({"limits": {"dew_point_margin": 1e308}})",
       "limits.dew_point_margin: 1e+308 is out of range; allowed: -1000 … 1000 K"},
      {R"({"flue_gas": {"h2o": "12"}})", "flue_gas.h2o: expected a number, not string"},
      {R"({"flue_gas": {"so3": 3}})", "flue_gas.so3: needs \"flue_gas.h2o\" too"},
      {R"({"flue_gas": {"h2o": 10, "so3": 3, "acid_dew_point": 120}})",
       "flue_gas.acid_dew_point: cannot be given together with \"flue_gas.so3\""},
      {R"({"limits": {"dew_point_margin": true}})",
       "limits.dew_point_margin: expected a number, not boolean"},
      {R"({"limits": {"margin": 5}})", "limits.margin: unknown key"},
      // A load case's sulphur trioxide without the water vapour anywhere.
      {R"({"cases": [{"flue_gas": {"h2o": 8}}, {"flue_gas": {"so3": 2}}]})",
       "cases[1].flue_gas.so3: needs \"flue_gas.h2o\" too"},
      {R"({"flue_gas": {"so3": 2}, "cases": [{"flue_gas": {"h2o": 8}}, {}]})",
       "case.json: flue_gas.so3: needs \"flue_gas.h2o\" too"},
  };
  for (const Row& r : rows) {
    for (const bool asTyped : {false, true}) {
      const std::string told = refusal(r.json, asTyped);
      EXPECT_NE(told.find(r.error), std::string::npos)
          << r.json << (asTyped ? " (as typed)" : "") << "\n  told: " << told;
    }
  }
  // Both ends of every range are allowed, a hair beyond either is not.
  struct Range {
    std::string group, key;
    double low, high;
  };
  for (const Range& r :
       {Range{"flue_gas", "acid_dew_point", 0, 337}, Range{"flue_gas", "h2o", 1, 40},
        Range{"flue_gas", "so3", 0.1, 1000}, Range{"flue_gas", "pressure", 50, 200},
        Range{"limits", "dew_point_margin", -1000, 1000}}) {
    for (const auto& [value, allowed] :
         {std::pair{r.low, true}, std::pair{r.high, true}, std::pair{r.low - 1e-9, false},
          std::pair{r.high + 1e-9, false}}) {
      // The sulphur trioxide needs the water vapour beside it.
      const std::string item = "\"" + r.key + "\": " + numberText(value);
      const std::string json = r.group == "limits" ? "{\"limits\": {" + item + "}}"
                               : r.key == "so3"    ? "{\"flue_gas\": {\"h2o\": 10, " + item + "}}"
                                                   : "{\"flue_gas\": {" + item + "}}";
      EXPECT_EQ(refusal(json).empty(), allowed) << json << ": " << refusal(json);
    }
  }
  EXPECT_EQ(refusal(R"({"flue_gas": {"acid_dew_point": 120, "h2o": 9}})"), "");
}

// Over the ranges the acid dew point lies above the water dew point (none below the triple
// point), as the correlation means it to: at every corner of the range of the composition and
// the pressure, since both rise with each of them.
TEST(DesignChecks, AcidDewPointAboveTheWaterDewPointOverTheRanges) {
  for (const double h2o : {1.0, 40.0})
    for (const double so3 : {0.1, 1000.0})
      for (const double pressure : {50.0, 200.0}) {
        const PartialPressures p = partialPressures(h2o, so3, pressure);
        const auto acid = acidDewPoint(p.water, p.sulphurTrioxide);
        ASSERT_TRUE(acid);
        EXPECT_GT(*acid, waterDewPoint(p.water).value_or(0))
            << h2o << " " << so3 << " " << pressure;
        EXPECT_GT(*acid, 56);
        EXPECT_LT(*acid, 212);
      }
}

TEST(DesignChecks, DewPointKeysCannotBeVaried) {
  for (const char* key : {"flue_gas.so3", "flue_gas.acid_dew_point", "limits.dew_point_margin"}) {
    try {
      parseVary(std::string(key) + "=1,2");
      ADD_FAILURE() << key;
    } catch (const SweepError& e) {
      EXPECT_NE(std::string(e.what()).find("no field of the window"), std::string::npos) << key;
    }
  }
}

// A load case's acid dew point replaces the shared composition's sulphur trioxide, and its
// sulphur trioxide the shared acid dew point: the two ways of giving it never stand together.
TEST(DesignChecks, LoadCasesOverrideTheDewPointKeys) {
  const auto cases = parseCases(R"({
    "flue_gas": {"h2o": 10, "so3": 5},
    "cases": [{}, {"flue_gas": {"acid_dew_point": 130}}, {"flue_gas": {"so3": 20}}]})",
                                "loads.json");
  ASSERT_EQ(cases.size(), 3u);
  EXPECT_EQ(cases[0].value(kSulphurTrioxideKey), "5");
  EXPECT_FALSE(cases[1].value(kSulphurTrioxideKey));
  EXPECT_EQ(cases[1].value(kWaterVapourKey), "10");
  const DewPoints given = caseDewPoints(cases[1]);
  EXPECT_TRUE(given.acidGiven);
  EXPECT_EQ(given.acid, 130);
  EXPECT_TRUE(given.water);  // still from the water vapour
  const DewPoints more = caseDewPoints(cases[2]);
  EXPECT_GT(*more.acid, *caseDewPoints(cases[0]).acid);  // more SO3, a higher dew point

  const auto back = parseCases(R"({
    "flue_gas": {"acid_dew_point": 125},
    "cases": [{}, {"flue_gas": {"h2o": 10, "so3": 5}}]})",
                               "loads.json");
  EXPECT_EQ(caseDewPoints(back[0]).acid, 125);
  EXPECT_FALSE(back[1].value(kAcidDewPointKey));
  EXPECT_FALSE(caseDewPoints(back[1]).acidGiven);
}

TEST(DesignChecks, DewPointsOfACase) {
  // Without the keys, nothing is known and nothing is checked.
  const DewPoints none = caseDewPoints(one("{}"));
  EXPECT_FALSE(none.acid);
  EXPECT_FALSE(none.water);
  // The worked check, through the case file; the pressure defaults to 101.325 kPa.
  const DewPoints worked =
      caseDewPoints(one(R"({"flue_gas": {"h2o": 12, "so3": 3.2, "pressure": 103.81}})"));
  EXPECT_NEAR(*worked.acid, 128.7, 0.05);
  EXPECT_NEAR(worked.partial->water, 93.44, 0.005);
  const DewPoints standard = caseDewPoints(one(R"({"flue_gas": {"h2o": 8, "so3": 10}})"));
  EXPECT_NEAR(standard.partial->water, 60.8, 1e-9);  // 8 % of 760 mmHg
  // Water vapour alone: the water dew point, no acid dew point.
  const DewPoints water = caseDewPoints(one(R"({"flue_gas": {"h2o": 12}})"));
  EXPECT_FALSE(water.acid);
  ASSERT_TRUE(water.water);
  EXPECT_NEAR(*water.water, 49.4, 0.3);  // 12.159 kPa: between 49 ℃ (11.74) and 50 ℃ (12.35)
}

// The required margin: the command line's over the case's over none.
TEST(DesignChecks, RequiredMarginComesFromTheCommandLineTheCaseOrZero) {
  const Case plain = one("{}");
  const Case own = one(R"({"limits": {"dew_point_margin": 15}})");
  EXPECT_EQ(requiredDewPointMargin(plain, {}), 0);
  EXPECT_EQ(requiredDewPointMargin(own, {}), 15);
  CheckSettings told;
  told.dewPointMargin = 8;
  EXPECT_EQ(requiredDewPointMargin(own, told), 8);
  EXPECT_EQ(requiredDewPointMargin(plain, told), 8);
}

// Flue gas and air with their properties in the fields: Q1 = ρ1 V1 / 3600 cp1 (t1in − t1out)
// = 1 × 1 × 1 × 100 = 100 kW; Q2 = 1 × 1 × 1 × (t2out − 20) kW.
std::string dutyCase(int airOutlet) {
  return R"({"arrangement": "counterflow", "flow_mode": "volume",
             "flue_gas": {"volume_flow": 3600, "density": 1, "specific_heat": 1,
                          "inlet_temperature": 200, "outlet_temperature": 100},
             "air": {"volume_flow": 3600, "density": 1, "specific_heat": 1,
                     "inlet_temperature": 20, "outlet_temperature": )" +
         std::to_string(airOutlet) + "}}";
}

// The heat balance is flagged just beyond its tolerance and not just within it, either way.
TEST(DesignChecks, HeatBalanceFlagOnBothSidesOfTheTolerance) {
  struct Row {
    int airOutlet;
    double balance;  // (Q1 − Q2) / Q2 in %
  };
  for (const Row& r :
       {Row{100, (100.0 - 80) / 80 * 100}, Row{145, (100.0 - 125) / 125 * 100}, Row{120, 0}}) {
    const Case c = one(dutyCase(r.airOutlet));
    const CaseRun run = rateCase(c);
    const Rating& rating = run.window.rating();
    ASSERT_TRUE(rating[Quantity::AirHeatDuty].written) << run.status.messages.size();
    // Exactly at the tolerance is still within it.
    for (const double tolerance :
         {std::fabs(r.balance) - 0.01, std::fabs(r.balance), std::fabs(r.balance) + 0.01}) {
      if (tolerance < 0) continue;
      CheckSettings settings;
      settings.balanceTolerance = tolerance;
      const DesignChecks checks = designChecks(c, rating, settings);
      ASSERT_TRUE(checks.heatBalance);
      EXPECT_NEAR(*checks.heatBalance, r.balance, 1e-6);
      const bool beyond = tolerance < std::fabs(r.balance);
      EXPECT_EQ((checks.violations & kHeatBalance) != 0, beyond) << r.airOutlet << " " << tolerance;
      EXPECT_EQ(checkFlagged(checks, CheckResult::HeatBalance), beyond);
    }
    EXPECT_EQ(tableSidesText(designChecks(c, rating, {})), "无");
  }
  // The tolerance left to its default, 5 %: Q2 = 95 kW gives +5.26 %, flagged; Q2 = 96 kW gives
  // +4.17 %, not flagged.
  for (const auto& [airOutlet, flagged] : {std::pair{115, true}, std::pair{116, false}}) {
    const Case c = one(dutyCase(airOutlet));
    const DesignChecks checks = designChecks(c, rateCase(c).window.rating(), {});
    ASSERT_TRUE(checks.heatBalance) << airOutlet;
    EXPECT_EQ((checks.violations & kHeatBalance) != 0, flagged) << *checks.heatBalance;
  }
  // No air duty, no balance: nothing to divide by.
  const Case still = one(dutyCase(20), ReadOptions{true});
  const DesignChecks none = designChecks(still, rateCase(still).window.rating(), {});
  EXPECT_FALSE(none.heatBalance);
  EXPECT_EQ(checkText(none, CheckResult::HeatBalance), "");
}

// The cold-end margin is the coldest point of the plate field's flue-gas face less the acid dew
// point, flagged when it falls short of the margin required; in counterflow that point is the
// cold end, worked out by hand. The field's coldest point and the area below the dew point are
// results of their own.
TEST(DesignChecks, ColdEndMarginAgainstTheAcidDewPoint) {
  const Case c = one(R"({"arrangement": "counterflow", "flow_mode": "volume",
                         "flue_gas": {"acid_dew_point": 90}})");
  const CaseRun run = rateCase(c);
  const double wall = counterflowColdFlueGasFace(run.window.rating());
  const double margin = wall - 90;
  ASSERT_GT(margin, 1);
  const DesignChecks exact = designChecks(c, run.window.rating(), {});
  ASSERT_TRUE(exact.dewPointMargin && exact.fieldWallMinimum && exact.areaBelowAcidDewPoint);
  EXPECT_NEAR(*exact.fieldWallMinimum, wall, 1e-3);
  EXPECT_NEAR(*exact.dewPointMargin, margin, 1e-3);
  EXPECT_EQ(*exact.areaBelowAcidDewPoint, 0);
  // A margin exactly the one required is met.
  for (const double required : {margin - 0.01, *exact.dewPointMargin, margin + 0.01}) {
    CheckSettings settings;
    settings.dewPointMargin = required;
    const DesignChecks checks = designChecks(c, run.window.rating(), settings);
    ASSERT_TRUE(checks.dewPointMargin);
    EXPECT_EQ((checks.violations & kColdEndCorrosion) != 0, required > *exact.dewPointMargin);
    EXPECT_EQ(checkFlagged(checks, CheckResult::FieldWallMinimum),
              required > *exact.dewPointMargin);
    EXPECT_EQ(checkText(checks, CheckResult::AcidDewPoint), "90.00");
  }
  // A dew point above the whole cold end: part of the plate lies below it, and no more than all.
  const Case high = one(R"({"arrangement": "counterflow", "flow_mode": "volume",
                            "flue_gas": {"acid_dew_point": 150}})");
  const DesignChecks below = designChecks(high, rateCase(high).window.rating(), {});
  ASSERT_TRUE(below.areaBelowAcidDewPoint);
  EXPECT_GT(*below.areaBelowAcidDewPoint, 0);
  EXPECT_LT(*below.areaBelowAcidDewPoint,
            *rateCase(high).window.rating().value(Quantity::HeatTransferArea));
  // No dew point: no field is worked out, and nothing is shown of it.
  const Case none = one(R"({"arrangement": "counterflow", "flow_mode": "volume"})");
  const DesignChecks without = designChecks(none, rateCase(none).window.rating(), {});
  EXPECT_FALSE(without.fieldWallMinimum);
  EXPECT_EQ(checkText(without, CheckResult::AreaBelowAcidDewPoint), "");
  // Stopped before the wall temperatures: no margin, no violation.
  const Case stops = one(R"({"flue_gas": {"acid_dew_point": 90}})");
  const DesignChecks early = designChecks(stops, rateCase(stops).window.rating(), {});
  EXPECT_FALSE(early.dewPointMargin);
  EXPECT_EQ(early.violations, 0u);
}

// Every output of rate carries the checks beside the window's results.
TEST(DesignChecks, RateShowsTheChecksEverywhere) {
  const std::vector<RatedCase> rated =
      rateAll({one(R"({"name": "酸露点", "arrangement": "counterflow", "flow_mode": "volume",
                       "flue_gas": {"h2o": 12, "so3": 3.2, "pressure": 103.81},
                       "air": {"properties": "table"}, "limits": {"dew_point_margin": 10}})")});
  const auto json = rateJson(rated)[0];
  const auto& results = json.at("results");
  EXPECT_EQ(results.at("acid_dew_point").at("text"), "128.73");
  EXPECT_EQ(results.at("acid_dew_point").at("unit"), "℃");
  EXPECT_EQ(results.at("dew_point_margin").at("unit"), "K");
  const double wall = std::stod(results.at("wall.field_min").at("text").get<std::string>());
  const bool corroding = wall - 128.73 < 10;
  EXPECT_EQ(results.at("dew_point_margin").at("flagged"), corroding);
  EXPECT_TRUE(results.contains("water_dew_point"));
  EXPECT_TRUE(results.contains("heat_balance"));
  const auto& names = json.at("violations");
  EXPECT_EQ(std::find(names.begin(), names.end(), "cold_end_corrosion") != names.end(), corroding);
  EXPECT_EQ(json.at("property_sources").at("air"), "table");
  EXPECT_EQ(json.at("property_sources").at("flue_gas"), "fields");
  EXPECT_EQ(json.at("limits").at("dew_point_margin"), 10);

  const std::string csv = rateCsv(rated);
  const std::string header = csv.substr(0, csv.find('\n'));
  EXPECT_TRUE(
      header.ends_with(",wall.cold_end_flue_gas_side,acid_dew_point,water_dew_point,"
                       "wall.field_min,area_below_acid_dew_point,dew_point_margin,heat_balance,"
                       "note"))
      << header;
  EXPECT_NE(header.find(",input.factors.air_resistance,input.flue_gas.acid_dew_point,"
                        "input.flue_gas.h2o,input.flue_gas.so3,input.flue_gas.pressure,"
                        "input.limits.dew_point_margin,"),
            std::string::npos)
      << header;
  EXPECT_NE(csv.find(",128.73,"), std::string::npos);

  const std::string table = rateTable(rated, false);
  EXPECT_NE(table.find("设计校核"), std::string::npos);
  EXPECT_NE(table.find("128.73"), std::string::npos);
  EXPECT_NE(table.find("空气侧\n"), std::string::npos) << table;  // only the air from the table
  EXPECT_EQ(table.find("nan"), std::string::npos);

  // The byte-order mark only when asked for.
  std::ostringstream plain, marked;
  for (auto [out, bom] : {std::pair{&plain, false}, std::pair{&marked, true}}) {
    RateWriter writer(*out, RateFormat::Csv, false, {}, bom);
    writer.add(rated[0]);
    writer.finish();
  }
  EXPECT_TRUE(plain.str().starts_with("file,case,"));
  EXPECT_EQ(marked.str(), "\xEF\xBB\xBF" + plain.str());
}

// Wherever a result rests on the window's flue-gas table law, it says so with the specific heat
// it took; "standard-table" types the handbook table in at the mean the window forms (whole
// degrees, halves to the even neighbour), at every trial of the off-design rating too, and closes
// the boiler's heat balance that the law opens by 31 %.
TEST(DesignChecks, TheFlueGasTableLawIsToldAndTheStandardTableTypedIn) {
  const auto interval = [](double t, double a, double b) { return a + (b - a) / 100 * (t - 200); };
  const auto density = [&](double t) { return interval(t, 0.748, 0.617); };
  const auto standard = [&](double t) { return interval(t, 1.097, 1.122); };
  const auto law = [&](double t) { return 1.42 + (1.44 - 1.42) / 100 * (t - 200) * density(t); };
  struct Row {
    std::string properties, inlet, outlet;
    double inletValue;
    std::string source, note;
  };
  for (const Row& r :
       {Row{"standard-table", "\"350.5\"", "\"160abc\"", 350.5, "standard-table", ""},
        Row{"standard-table", "351.5", "160", 351.5, "standard-table", ""},
        Row{"table", "350", "160", 350, "table",
            "flue-gas cp 1.4274 kJ/(kg·K) from the window's table law (flue gas: about 1.1)"}}) {
    const bool fromLaw = r.properties == "table";
    const auto cp = [&](double t) { return fromLaw ? law(t) : standard(t); };
    const Case c = one(R"({"name": "100 %", "arrangement": "counterflow", "flow_mode": "volume",
        "flue_gas": {"properties": ")" +
                       r.properties + R"(", "volume_flow": 294982.42,
                     "inlet_temperature": )" +
                       r.inlet + R"(, "outlet_temperature": )" + r.outlet + R"(},
        "air": {"properties": "table", "volume_flow": 300000}})");
    const double mean = (std::nearbyint(r.inletValue) + 160) / 2;
    const std::vector<RatedCase> rated = rateAll({c});
    const Rating& rating = rated[0].run.window.rating();
    EXPECT_NEAR(*rating.value(Quantity::FlueGasSpecificHeat), cp(mean), 1e-14) << r.inlet;
    // Q1 = ρ1 V1 cp1 Δt1 against Q2 = ρ2 V2 cp2 Δt2 of the air table at 115 ℃.
    const double q1 = density(mean) * 294982.42 / 3600 * cp(mean) * (r.inletValue - 160);
    const double q2 = (0.946 + (0.898 - 0.946) / 20 * 15) * 300000 / 3600 * 1.009 * 150;
    const DesignChecks checks = designChecks(c, rating, {});
    EXPECT_NEAR(*checks.heatBalance, (q1 - q2) / q2 * 100, 1e-4) << r.inlet;
    EXPECT_EQ(std::fabs(*checks.heatBalance) > 5, fromLaw);
    const auto json = rateJson(rated)[0];
    EXPECT_EQ(json.at("property_sources").at("flue_gas"), r.source);
    EXPECT_EQ(json.at("notes"),
              r.note.empty() ? nlohmann::ordered_json::array() : nlohmann::ordered_json{r.note});
    const std::string csv = rateCsv(rated);
    EXPECT_TRUE(csv.ends_with("," + r.note + "\n")) << csv.substr(csv.size() - 100);
    const std::string table = rateTable(rated, false);
    EXPECT_NE(table.find(fromLaw ? "窗口物性表公式" : "标准烟气表"), std::string::npos);
    EXPECT_EQ(
        table.find("注：烟气比热容 1.4274 kJ/(kg·K) 取自窗口物性表的比热公式") != std::string::npos,
        fromLaw);

    // Off design: the specific heat of the answer's own temperatures, told below the load table.
    OffDesignAnswer a = simulateCase(c);
    a.load = 100;
    ASSERT_EQ(a.status, SolutionStatus::Found) << r.inlet;
    const double answerMean = (std::nearbyint(r.inletValue) + std::nearbyint(*a.flueGasOutlet)) / 2;
    EXPECT_NEAR(*a.rating.run.window.rating().value(Quantity::FlueGasSpecificHeat), cp(answerMean),
                1e-14);
    std::ostringstream loads;
    AnswerWriter writer(loads, RateFormat::Table, false, true);
    writer.add(a);
    writer.finish();
    EXPECT_EQ(loads.str().find("注：烟气比热容 1.4") != std::string::npos, fromLaw) << loads.str();
  }
}

// ---- Sizing over every load case ----

// One preheater at three loads; the full load knows its acid dew point, the middle one a lower
// one, the last none.
constexpr const char* kLoads = R"({
  "arrangement": "counterflow", "flow_mode": "volume",
  "flue_gas": {"properties": "table", "channel_length": 4.8, "channel_width": 2.7, "channel_gap": 10},
  "air": {"properties": "table", "channel_length": 5.4, "channel_width": 2.4, "channel_gap": 9},
  "plate": {"pairs": 110},
  "cases": [
    {"name": "100 %", "flue_gas": {"volume_flow": 294982.42, "inlet_temperature": 350,
                                   "outlet_temperature": 160, "acid_dew_point": 98.4},
     "air": {"volume_flow": 300000, "inlet_temperature": 40, "outlet_temperature": 190}},
    {"name": "75 %", "flue_gas": {"volume_flow": 221236.82, "inlet_temperature": 330,
                                  "outlet_temperature": 148, "acid_dew_point": 80},
     "air": {"volume_flow": 225000, "inlet_temperature": 40, "outlet_temperature": 182}},
    {"name": "50 %", "flue_gas": {"volume_flow": 147491.21, "inlet_temperature": 305,
                                  "outlet_temperature": 135},
     "air": {"volume_flow": 150000, "inlet_temperature": 40, "outlet_temperature": 171}}]})";

// The smallest candidate meeting every limit at every load, by rating each candidate at each
// load on its own window, and the loads that break a limit at a candidate.
struct Scan {
  std::optional<std::size_t> found;
  std::vector<std::vector<std::string>> failing;  // per candidate, the loads breaking a limit
};
Scan bruteForce(const std::vector<Case>& loads, const Axis& axis, const Limits& limits) {
  Scan scan;
  scan.failing.resize(axis.texts.size());
  for (std::size_t k = 0; k < axis.texts.size(); ++k) {
    for (const Case& load : loads) {
      Case c = load;
      c.values[axis.key] = axis.texts[k];
      const CaseRun run = rateCase(c);
      bool met = run.status.completed;
      if (met) {
        const Rating& r = run.window.rating();
        const double margin = *r.value(Quantity::Margin);
        met = margin >= limits.marginLow && margin <= limits.marginHigh &&
              *r.value(Quantity::FlueGasPressureDrop) <= limits.maxDrop &&
              *r.value(Quantity::AirPressureDrop) <= limits.maxDrop;
        if (const auto& acid = c.value("flue_gas.acid_dew_point"))
          met = met && *r.value(Quantity::ColdEndFlueGasSideWall) - std::stod(*acid) >=
                           limits.checks.dewPointMargin.value_or(0);
      }
      if (!met) scan.failing[k].push_back(load.name);
    }
    if (scan.failing[k].empty() && !scan.found) scan.found = k;
  }
  return scan;
}

TEST(DesignChecks, SizeMeetsEveryLimitAtEveryLoadLikeABruteForceScan) {
  const std::vector<Case> loads = parseCases(kLoads, "loads.json");
  ASSERT_EQ(loads.size(), 3u);
  struct Row {
    std::string range;
    Limits limits;
    std::string binding;  // what the binding line names
  };
  const std::vector<Row> rows = {
      {"100:260:4", {0, 1000, 5000, {}}, "cold-end dew-point margin"},  // the dew point binds
      {"100:260:4", {0, 1000, 3000, {}}, "air pressure drop"},
      {"100:260:4", {0, 1000, 5000, {std::optional<double>(-1.0), 5}}, "air pressure drop"},
      {"100:160:4", {0, 1000, 500, {}}, "no value"},
      {"100:160:4",
       {0, 1000, 5000, {std::optional<double>(50.0), 5}},
       "binding: the cold-end dew-point margin at 100 %; it is at most"},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.range + " " + std::to_string(r.limits.maxDrop));
    const Axis axis = parseVary("plate.pairs=" + r.range);
    const SizeResult result = sizeDesign(loads, axis, r.limits);
    const Scan scan = bruteForce(loads, axis, r.limits);
    EXPECT_EQ(result.found, scan.found);
    const std::string words = describeSizing(axis, r.limits, result);
    EXPECT_NE(words.find(r.binding), std::string::npos) << words;
    EXPECT_TRUE(words.starts_with("cases 100 %, 75 %, 50 % (loads.json)\n")) << words;
    if (!result.found || *result.found == 0) continue;
    // The binding candidate is the one just below, and the loads named are those that fail it.
    const std::size_t below = *result.found - 1;
    EXPECT_NE(words.find("binding: at " + axis.texts[below] + ", " + scan.failing[below][0] + ": "),
              std::string::npos)
        << words;
    for (const Case& load : loads) {
      const auto& failing = scan.failing[below];
      const bool fails = std::find(failing.begin(), failing.end(), load.name) != failing.end();
      const bool named = words.find(", " + load.name + ": ") != std::string::npos ||
                         words.find("    " + load.name + ": ") != std::string::npos;
      EXPECT_EQ(named, fails) << load.name << "\n" << words;
    }
  }
}

// ---- Excel ----

// A sheet read back from the workbook's XML: every cell by its reference ("B4"), with its type
// ("n" for a number, "inlineStr" for a text), its value and whether its font is red.
struct Cell {
  std::string type, value;
  bool red = false;
};
struct Sheet {
  std::map<std::string, Cell> cells;
  std::string xml;
  // The column letter of the column whose name (second header row) is `name`.
  std::string column(const std::string& name) const {
    for (const auto& [reference, cell] : cells)
      if (reference.size() > 1 && reference.substr(reference.find_first_of("0123456789")) == "2" &&
          cell.value == name)
        return reference.substr(0, reference.find_first_of("0123456789"));
    return {};
  }
};

Sheet readSheet(const fs::path& workbook, const std::string& part) {
  Sheet sheet;
  sheet.xml = commandOutput("unzip -p '" + workbook.string() + "' " + part + " 2>/dev/null");
  const std::string styles =
      commandOutput("unzip -p '" + workbook.string() + "' xl/styles.xml 2>/dev/null");
  // The fonts in order, and each cell format's font.
  std::vector<bool> redFont;
  const std::regex font("<font>(.*?)</font>");
  const std::string fonts = styles.substr(styles.find("<fonts"));
  for (auto f = std::sregex_iterator(fonts.begin(), fonts.begin() + fonts.find("</fonts>"), font);
       f != std::sregex_iterator(); ++f)
    redFont.push_back((*f)[1].str().find("rgb=\"FFFF0000\"") != std::string::npos);
  std::vector<bool> redFormat;
  const std::string xfs = styles.substr(styles.find("<cellXfs"));
  const std::regex xf("<xf [^>]*fontId=\"(\\d+)\"");
  for (auto x = std::sregex_iterator(xfs.begin(), xfs.begin() + xfs.find("</cellXfs>"), xf);
       x != std::sregex_iterator(); ++x)
    redFormat.push_back(redFont.at(std::stoul((*x)[1].str())));
  const std::regex cell(
      "<c r=\"([A-Z]+\\d+)\"(?: s=\"(\\d+)\")?(?: t=\"(\\w+)\")?(?:/>|>(.*?)</c>)");
  for (auto c = std::sregex_iterator(sheet.xml.begin(), sheet.xml.end(), cell);
       c != std::sregex_iterator(); ++c) {
    Cell read;
    read.type = (*c)[3].matched ? (*c)[3].str() : "n";
    const std::string inner = (*c)[4].str();
    std::smatch value;
    if (std::regex_search(inner, value, std::regex("<(?:v|t)>(.*?)</(?:v|t)>")))
      read.value = value[1];
    read.red = (*c)[2].matched && redFormat.at(std::stoul((*c)[2].str()));
    sheet.cells[(*c)[1].str()] = read;
  }
  return sheet;
}

fs::path scratch(const std::string& name) {
  const fs::path dir = fs::temp_directory_path() / "aph_design_checks_tests";
  fs::create_directories(dir);
  return dir / name;
}

// The rate workbook: a frozen three-row header of captions, names and units, numbers as numbers
// with the decimals the window shows, texts where texts stand, the red flags red.
TEST(Xlsx, RateWorkbookReadBack) {
  if (commandOutput("command -v unzip").empty()) GTEST_SKIP() << "unzip not installed";
  const std::vector<RatedCase> rated = rateAll(parseCases(
      R"({"arrangement": "counterflow", "flow_mode": "volume",
          "flue_gas": {"acid_dew_point": 120},
          "cases": [{"name": "默认"}, {"name": "=1+1", "plate": {"pairs": "12abc"}}]})",
      "x.json", ReadOptions{true}));
  const fs::path path = scratch("rate.xlsx");
  {
    std::ofstream file(path, std::ios::binary);
    RateWriter writer(file, RateFormat::Xlsx);
    for (const RatedCase& r : rated) writer.add(r);
    writer.finish();
    ASSERT_TRUE(file.good());
  }
  const Sheet sheet = readSheet(path, "xl/worksheets/sheet1.xml");
  ASSERT_FALSE(sheet.cells.empty()) << sheet.xml.substr(0, 500);
  EXPECT_NE(sheet.xml.find("ySplit=\"3\""), std::string::npos);
  EXPECT_NE(sheet.xml.find("state=\"frozen\""), std::string::npos);
  const std::string margin = sheet.column("margin");
  ASSERT_FALSE(margin.empty());
  EXPECT_EQ(sheet.cells.at(margin + "1").value, "裕量R(%)");
  EXPECT_EQ(sheet.cells.at(margin + "3").value, "%");
  // The default design: margin 54.3305 % above the band, in red; K not flagged.
  const Cell& shown = sheet.cells.at(margin + "4");
  EXPECT_EQ(shown.type, "n");
  EXPECT_NEAR(std::stod(shown.value), 54.3305, 1e-9);
  EXPECT_TRUE(shown.red);
  const Cell& k = sheet.cells.at(sheet.column("k_actual") + "4");
  EXPECT_EQ(k.type, "n");
  EXPECT_FALSE(k.red);
  EXPECT_EQ(sheet.cells.at(sheet.column("flue_gas.pressure_drop") + "4").red, true);
  // Texts: the name (a formula in CSV would get an apostrophe; here it is just a text), the
  // status, a field that holds no number as a whole.
  EXPECT_EQ(sheet.cells.at("B5").type, "inlineStr");
  EXPECT_EQ(sheet.cells.at("B5").value, "=1+1");
  EXPECT_EQ(sheet.cells.at("C4").value, "ok");
  const Cell& pairs = sheet.cells.at(sheet.column("input.plate.pairs") + "5");
  EXPECT_EQ(pairs.type, "inlineStr");
  EXPECT_EQ(pairs.value, "12abc");
  // The checks: numbers, the violated one red, the violation named in its column.
  const Cell& acid = sheet.cells.at(sheet.column("acid_dew_point") + "4");
  EXPECT_EQ(acid.type, "n");
  EXPECT_EQ(acid.value, "120");
  const Cell& dew = sheet.cells.at(sheet.column("dew_point_margin") + "4");
  const double wall = std::stod(sheet.cells.at(sheet.column("wall.field_min") + "4").value);
  EXPECT_NEAR(std::stod(dew.value), wall - 120, 0.006);
  EXPECT_TRUE(dew.red);
  EXPECT_NE(sheet.cells.at("E4").value.find("cold_end_corrosion"), std::string::npos);
}

// The sweep workbook: one row per load case and grid point, the load in a `case` column.
TEST(Xlsx, SweepWorkbookOfEveryLoad) {
  if (commandOutput("command -v unzip").empty()) GTEST_SKIP() << "unzip not installed";
  const std::vector<Case> loads = parseCases(kLoads, "loads.json");
  SweepPlan plan{Case{}, {parseVary("plate.pairs=100,0,120")}};
  const fs::path path = scratch("sweep.xlsx");
  std::ostringstream csv;
  {
    XlsxWorkbook book;
    book.addSheet("sweep", sweepXlsxColumns(plan, true), 2);
    SweepOptions options;
    options.caseColumn = true;
    options.records = [&](const SweepRecord& record) {
      book.addRow(sweepXlsxCells(plan, record, &plan.base.name));
      return true;
    };
    bool first = true;
    for (const Case& load : loads) {
      plan.base = load;
      options.header = first;
      first = false;
      runSweep(plan, &csv, options);
    }
    std::ofstream file(path, std::ios::binary);
    book.finish([&](std::string_view bytes) {
      file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
      return file.good();
    });
  }
  // The CSV: a header, then three rows per load, each starting with the load's name.
  std::istringstream lines(csv.str());
  std::vector<std::string> rows;
  for (std::string line; std::getline(lines, line);) rows.push_back(line);
  ASSERT_EQ(rows.size(), 10u);
  EXPECT_TRUE(rows[0].starts_with("case,plate.pairs,status,violations,")) << rows[0];
  EXPECT_TRUE(
      rows[0].ends_with(",acid_dew_point,water_dew_point,wall.field_min,"
                        "area_below_acid_dew_point,dew_point_margin,heat_balance,message,note"));
  // Both sides from the tables: every rated design tells the flue-gas law it rests on.
  EXPECT_TRUE(
      rows[1].ends_with(",flue-gas cp 1.4274 kJ/(kg·K) from the window's table law "
                        "(flue gas: about 1.1)"))
      << rows[1];
  EXPECT_TRUE(rows[2].ends_with(",")) << rows[2];
  EXPECT_TRUE(rows[1].starts_with("100 %,100,ok,")) << rows[1];
  EXPECT_TRUE(rows[2].starts_with("100 %,0,invalid,")) << rows[2];
  EXPECT_TRUE(rows[9].starts_with("50 %,120,ok,")) << rows[9];

  const Sheet sheet = readSheet(path, "xl/worksheets/sheet1.xml");
  EXPECT_EQ(sheet.cells.at("A2").value, "case");
  EXPECT_EQ(sheet.cells.at("A4").value, "100 %");
  EXPECT_EQ(sheet.cells.at("A12").value, "50 %");
  EXPECT_EQ(sheet.cells.at("B12").type, "n");
  EXPECT_EQ(sheet.cells.at("C5").value, "invalid");
  EXPECT_EQ(sheet.cells.count("D13"), 0u);  // no more rows than designs
  const std::string acid = sheet.column("acid_dew_point");
  EXPECT_DOUBLE_EQ(std::stod(sheet.cells.at(acid + "4").value), 98.4);
  EXPECT_EQ(sheet.cells.count(acid + "10"), 0u);  // the last load knows no dew point
  const std::string balance = sheet.column("heat_balance");
  EXPECT_TRUE(sheet.cells.at(balance + "4").red);  // the table's duties disagree by 30 %
}

// The off-design rating holds its answers to the checks: the load table's margin above the acid
// dew point is the cold-end wall less the dew point, flagged below the required margin, and the
// performance curve draws the dew point as a line over the loads (none without a dew point).
TEST(DesignChecks, OffDesignAnswersCarryTheChecks) {
  const Case withDewPoint = one(R"({"arrangement": "counterflow", "flow_mode": "volume",
                                    "flue_gas": {"acid_dew_point": 120}})");
  for (const double required : {-1000.0, 0.0}) {
    CheckSettings settings;
    settings.dewPointMargin = required;
    std::vector<OperatingPoint> points;
    for (const double load : {50.0, 100.0}) {
      OffDesignAnswer a = simulateCase(loadCase(withDewPoint, load));
      a.load = load;
      ASSERT_EQ(a.status, SolutionStatus::Found) << load;
      points.push_back(operatingPoint(a, settings));
      const OperatingPoint& p = points.back();
      ASSERT_TRUE(p.wallColdEndFlueGasSide && p.dewPointMargin);
      // The plate field's coldest flue-gas face (the counterflow cold end) at the operating point
      // less the dew point. At full load the window rates this plate on the arithmetic mean
      // difference (end differences 1.3 to 1), so the plate scaled to the duty found (on the
      // logarithmic mean) lies half a kelvin off the plate with its own coefficients.
      const Rating& r = a.rating.run.window.rating();
      EXPECT_NEAR(*p.dewPointMargin, counterflowColdFlueGasFaceAsRun(r) - 120, 1e-6) << load;
      if (load == 100) {
        EXPECT_GT(std::fabs(counterflowColdFlueGasFace(r) - counterflowColdFlueGasFaceAsRun(r)),
                  0.1);
      }
      EXPECT_EQ(p.coldEndCorrosion, *p.dewPointMargin < required) << load;
      const std::string row = loadTableRow(p);
      EXPECT_EQ(row.find("!") != std::string::npos, p.coldEndCorrosion) << row;
    }
    const PerformanceChart chart = performanceChart(points, "dew");
    ASSERT_EQ(chart.curves.size(), 5u);
    EXPECT_EQ(chart.curves[4].role, CurveRole::AcidDewPoint);
    ASSERT_EQ(chart.curves[4].points.size(), 2u);
    EXPECT_EQ(chart.curves[4].points[0], std::make_pair(50.0, 120.0));
    EXPECT_EQ(chart.curves[4].points[1], std::make_pair(100.0, 120.0));
  }
  OffDesignAnswer plain = simulateCase(one(R"({"arrangement": "counterflow",
                                               "flow_mode": "volume"})"));
  const OperatingPoint p = operatingPoint(plain);
  EXPECT_FALSE(p.dewPointMargin);
  EXPECT_EQ(performanceChart({p}, "plain").curves.size(), 4u);
  // JSON: the answer's rating carries the checks under the settings given.
  CheckSettings strict;
  strict.dewPointMargin = 500;
  const auto item = offDesignJson(simulateCase(withDewPoint), strict);
  EXPECT_TRUE(item["results"]["dew_point_margin"]["flagged"].get<bool>());
  const auto lax = offDesignJson(simulateCase(withDewPoint));
  EXPECT_EQ(lax["results"]["acid_dew_point"]["text"], "120.00");
}

// The workbooks of solve and simulate: the solution's columns before the rating's, numbers as
// numbers; under a load curve a first sheet of every load and then a sheet per load listing the
// rating at it from top to bottom.
TEST(Xlsx, SolveAndSimulateWorkbooksReadBack) {
  if (commandOutput("command -v unzip").empty()) GTEST_SKIP() << "unzip not installed";
  const Case c = one(R"({"arrangement": "counterflow", "flow_mode": "volume",
                         "flue_gas": {"acid_dew_point": 120}})");
  const fs::path simulated = scratch("simulate.xlsx");
  std::vector<OffDesignAnswer> answers;
  {
    std::ofstream file(simulated, std::ios::binary);
    AnswerWriter writer(file, RateFormat::Xlsx, false, true);
    for (const double load : {60.0, 100.0}) {
      answers.push_back(simulateCase(loadCase(c, load)));
      answers.back().load = load;
      writer.add(answers.back());
    }
    writer.finish();
    ASSERT_TRUE(file.good());
  }
  const std::string book = commandOutput("unzip -p '" + simulated.string() + "' xl/workbook.xml");
  const auto loadsAt = book.find("name=\"loads\""), firstAt = book.find("name=\"负荷 60 %\""),
             secondAt = book.find("name=\"负荷 100 %\"");
  ASSERT_NE(loadsAt, std::string::npos) << book;
  ASSERT_NE(firstAt, std::string::npos) << book;
  ASSERT_NE(secondAt, std::string::npos) << book;
  EXPECT_LT(loadsAt, firstAt);
  EXPECT_LT(firstAt, secondAt);

  const Sheet loads = readSheet(simulated, "xl/worksheets/sheet1.xml");
  EXPECT_EQ(loads.cells.at("A2").value, "load");
  EXPECT_EQ(loads.cells.at("A4").value, "60");
  EXPECT_EQ(loads.cells.at("A5").value, "100");
  const std::string air = loads.column("solution.air.outlet_temperature");
  ASSERT_FALSE(air.empty());
  EXPECT_EQ(loads.cells.at(air + "5").type, "n");
  EXPECT_DOUBLE_EQ(std::stod(loads.cells.at(air + "5").value), *answers[1].airOutlet);
  const std::string dew = loads.column("dew_point_margin");
  ASSERT_FALSE(dew.empty());
  EXPECT_TRUE(loads.cells.at(dew + "4").red);  // the cold end lies below 120 ℃

  // The sheet of the 100 % load: one row per column of the first sheet, its value in column D.
  const Sheet full = readSheet(simulated, "xl/worksheets/sheet3.xml");
  std::string airRow;
  for (const auto& [reference, cell] : full.cells)
    if (reference[0] == 'B' && cell.value == "solution.air.outlet_temperature")
      airRow = reference.substr(1);
  ASSERT_FALSE(airRow.empty());
  EXPECT_EQ(full.cells.at("D" + airRow).type, "n");
  EXPECT_DOUBLE_EQ(std::stod(full.cells.at("D" + airRow).value), *answers[1].airOutlet);
  EXPECT_EQ(full.cells.at("C" + airRow).value, "℃");

  // solve: the whole number of plate pairs as a number, the status as a text.
  GoalSeekRequest request;
  request.key = *findKey("plate.pairs");
  request.result = *findResultColumn("margin");
  request.target = 15;
  const GoalSeekAnswer answer = seekGoal(c, request);
  const fs::path solved = scratch("solve.xlsx");
  {
    std::ofstream file(solved, std::ios::binary);
    AnswerWriter writer(file, RateFormat::Xlsx);
    writer.add(answer);
    writer.finish();
  }
  const Sheet sheet = readSheet(solved, "xl/worksheets/sheet1.xml");
  EXPECT_EQ(sheet.cells.at("A2").value, "solution.status");
  EXPECT_EQ(sheet.cells.at("A4").type, "inlineStr");
  EXPECT_EQ(sheet.cells.at("A4").value, std::string(statusName(answer.status)));
  const std::string value = sheet.column("solution.value");
  EXPECT_EQ(sheet.cells.at(value + "4").type, "n");
  EXPECT_EQ(sheet.cells.at(value + "4").value, answer.answer.text);
  EXPECT_EQ(sheet.cells.at(sheet.column("input.plate.pairs") + "4").value, answer.answer.text);
}

TEST(Xlsx, CellsAreValidTextAndBounded) {
  EXPECT_EQ(cellText("a\x01"
                     "b\xff"),
            "a\uFFFDb\uFFFD");
  EXPECT_EQ(cellText("负荷\tline\n"), "负荷\tline\n");
  EXPECT_EQ(cellText("\xed\xa0\x80"), "\uFFFD\uFFFD\uFFFD");  // a surrogate is no character
  const std::string cut = cellText(std::string(100'000, 'x'));
  EXPECT_LE(cut.size(), 32'767u);
  EXPECT_TRUE(cut.ends_with("…"));
  struct Row {
    std::string text;
    XlsxCell::Kind kind;
    int decimals;
  };
  for (const Row& r :
       {Row{"54.3305", XlsxCell::Kind::Number, 4}, Row{"-5", XlsxCell::Kind::Number, 0},
        Row{"1.5E+16", XlsxCell::Kind::Number, -1}, Row{"12abc", XlsxCell::Kind::Text, -1},
        Row{" 12", XlsxCell::Kind::Text, -1}, Row{"1e999", XlsxCell::Kind::Text, -1},
        Row{"", XlsxCell::Kind::Empty, -1}}) {
    const XlsxCell cell = XlsxCell::shown(r.text);
    EXPECT_EQ(cell.kind, r.kind) << r.text;
    if (cell.kind == XlsxCell::Kind::Number) {
      EXPECT_EQ(cell.decimals, r.decimals) << r.text;
    }
  }
  // A row with more cells than the sheet has columns is refused, not written.
  XlsxWorkbook book;
  book.addSheet("s", {{"a", "a", ""}});
  EXPECT_THROW(book.addRow({XlsxCell::label("x"), XlsxCell::label("y")}), XlsxError);
}

}  // namespace
}  // namespace aph::study
