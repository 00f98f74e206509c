// The batch tool's ranges: what an engineer could mean is rated, the rest refused with the key and
// what is allowed; read as typed, everything goes into the window as the window would take it.
#include "study/checks/ranges.hpp"

#include <gtest/gtest.h>

#include "study/case_input/case_file.hpp"

namespace aph::study {
namespace {

const std::string kBase = R"("arrangement": "counterflow", "flow_mode": "volume")";

std::string caseWith(const std::string& group, const std::string& entries) {
  return "{" + kBase + ", \"" + group + "\": {" + entries + "}}";
}

struct Refused {
  std::string group, entries;  // what the case gives
  std::string key, wrong, allowed;
};

TEST(Ranges, NonsenseIsRefusedWithTheKeyAndWhatIsAllowed) {
  const std::vector<Refused> rows = {
      {"air", R"("channel_length": -1)", "air.channel_length", "-1 is out of range", "> 0 m"},
      {"flue_gas", R"("channel_width": 0)", "flue_gas.channel_width", "0 is out", "> 0 m"},
      {"air", R"("channel_gap": " ")", "air.channel_gap", "\" \" (read as 0)", "> 0 mm"},
      {"flue_gas", R"("equivalent_diameter": -3)", "flue_gas.equivalent_diameter", "-3", "> 0"},
      {"air", R"("channel_gap": "")", "air.equivalent_diameter", "is empty (read as 0)",
       "> 0 mm while air.channel_gap is \"\""},
      {"plate", R"("thickness": 0)", "plate.thickness", "0 is out", "> 0 mm"},
      {"plate", R"("conductivity": -17.5)", "plate.conductivity", "-17.5", "> 0"},
      {"plate", R"("pairs": 110.5)", "plate.pairs", "110.5", "a whole number ≥ 1"},
      {"plate", R"("pairs": "110.5abc")", "plate.pairs", "\"110.5abc\" (read as 110.5)",
       "a whole number ≥ 1"},
      {"plate", R"("pairs": "abc")", "plate.pairs", "(read as 0)", "a whole number ≥ 1"},
      {"plate", R"("pairs": "1e999")", "plate.pairs", "is not a finite number", "±1.8e308"},
      {"flue_gas", R"("fouling": -0.001)", "flue_gas.fouling", "-0.001", "≥ 0 m2·℃/W"},
      {"air", R"("volume_flow": -1)", "air.volume_flow", "-1", "≥ 0 m3/h"},
      {"air", R"("density": 0)", "air.density", "0 is out", "> 0 kg/m3, or \"\""},
      {"factors", R"("air_resistance": -5)", "factors.air_resistance", "-5", "> 0, or \"\""},
      {"factors", R"("flue_gas_nu": "0")", "factors.flue_gas_nu", "0 is out", "> 0"},
      {"passes", R"("air": 0)", "passes.air", "0 is out", "> 0"},
      {"air", R"("inlet_temperature": -300)", "air.inlet_temperature", "-300", "above -273.15 ℃"},
      {"flue_gas", R"("inlet_temperature": 300, "outlet_temperature": 400)",
       "flue_gas.outlet_temperature", "400",
       "below flue_gas.inlet_temperature (300 ℃), as the flue gas cools"},
      // The window's default outlet (160 ℃) is above this inlet: the key given is named.
      {"flue_gas", R"("inlet_temperature": 100)", "flue_gas.inlet_temperature", "100",
       "above flue_gas.outlet_temperature (160 ℃)"},
      {"air", R"("outlet_temperature": 40)", "air.outlet_temperature", "40",
       "above air.inlet_temperature (40 ℃), as the air warms"},
      {"air", R"("outlet_temperature": "")", "air.outlet_temperature", "is empty (read as 0)",
       "above air.inlet_temperature (40 ℃)"},
  };
  for (const Refused& r : rows) {
    const std::string json = caseWith(r.group, r.entries);
    try {
      parseCases(json, "case.json");
      ADD_FAILURE() << "accepted: " << json;
    } catch (const CaseError& e) {
      EXPECT_EQ(e.key(), r.key) << json;
      EXPECT_NE(e.what_wrong().find(r.wrong), std::string::npos) << e.what();
      EXPECT_NE(e.what_wrong().find("allowed: "), std::string::npos) << e.what();
      EXPECT_NE(e.what_wrong().find(r.allowed), std::string::npos) << e.what();
    }
    // Read as typed, the same case goes into the window untouched.
    const auto cases = parseCases(json, "case.json", {.asTyped = true});
    ASSERT_EQ(cases.size(), 1u) << json;
  }
}

TEST(Ranges, WhatAnEngineerCouldMeanIsAccepted) {
  for (const auto& [group, entries] : std::vector<std::pair<std::string, std::string>>{
           {"plate", R"("pairs": "12abc")"},  // the leading-number rule: 12
           {"plate", R"("pairs": 1)"},
           {"air", R"("channel_gap": "", "equivalent_diameter": 18)"},
           {"air", R"("inlet_temperature": -40, "outlet_temperature": -30)"},
           {"air", R"("inlet_temperature": "")"},  // reads 0 ℃
           {"flue_gas", R"("fouling": 0, "volume_flow": "", "mass_flow": 0)"},
           {"factors", R"("air_nu": "", "flue_gas_resistance": 0.5)"},
           {"passes", R"("air": 1.5, "flue_gas": 2)"},  // fractions are used as they are
           {"flue_gas", R"("density": "", "viscosity": 26)"},
           // A value that leaves the window's default in place is not checked.
           {"air", R"("equivalent_diameter": "")"},
       }) {
    EXPECT_NO_THROW(parseCases(caseWith(group, entries), "case.json")) << group << entries;
  }
}

TEST(Ranges, LoadCasesAreCheckedAsMergedAndNamedWhereTheFileGivesTheKey) {
  struct Row {
    std::string json, key;
  };
  for (
      const Row& r : {
          // The case's own value.
          Row{R"({"air": {"inlet_temperature": 30}, "cases": [{}, {"air": {"outlet_temperature": 20}}]})",
              "cases[1].air.outlet_temperature"},
          // A shared value that a load case makes wrong is named among the shared keys.
          Row{R"({"air": {"outlet_temperature": 100}, "cases": [{"air": {"inlet_temperature": 150}}]})",
              "cases[0].air.inlet_temperature"},
          Row{R"({"plate": {"pairs": 0}, "cases": [{"plate": {"pairs": 10}}, {}]})", "plate.pairs"},
          Row{R"([{}, {"plate": {"pairs": -1}}])", "[1].plate.pairs"},
      }) {
    try {
      parseCases(r.json, "loads.json");
      ADD_FAILURE() << "accepted: " << r.json;
    } catch (const CaseError& e) {
      EXPECT_EQ(e.key(), r.key) << r.json << " → " << e.what();
    }
  }
  // A shared value every load case replaces is never rated, and never refused.
  EXPECT_EQ(
      parseCases(R"({"plate": {"pairs": 0}, "cases": [{"plate": {"pairs": 10}}]})", "loads.json")
          .size(),
      1u);
}

TEST(Ranges, ControlCharactersInNamesAreRefused) {
  for (const char* name : {"a\\u001bb", "line\\nbreak", "tab\\there", "\\u0085next"}) {
    const std::string json = std::string(R"({"name": ")") + name + "\"}";
    EXPECT_THROW(parseCases(json, "n.json"), CaseError) << name;
    EXPECT_NO_THROW(parseCases(json, "n.json", {.asTyped = true})) << name;
  }
  EXPECT_NO_THROW(parseCases(R"({"name": "75 % 负荷 — 夏季"})", "n.json"));
}

TEST(Ranges, RulesOfOneKeyAndBetweenKeysAreCountedByRule) {
  const std::size_t pairs = *findKey("plate.pairs");
  const auto a = valueFault(pairs, "0");
  const auto b = valueFault(pairs, "-7");
  ASSERT_TRUE(a && b);
  EXPECT_EQ(a->rule, b->rule);  // the same range, whatever the value
  EXPECT_EQ(ruleText(a->rule), "plate.pairs: a whole number ≥ 1");
  EXPECT_FALSE(valueFault(pairs, "7"));
  EXPECT_FALSE(valueFault(*findKey("arrangement"), "anything"));

  Case c = parseCases("{}", "c.json").at(0);
  c.set("air.outlet_temperature", "30");  // below the default inlet of 40 ℃
  const std::vector<std::size_t> varied = {*findKey("air.outlet_temperature")};
  const auto pair = pairFault(c, varied);
  ASSERT_TRUE(pair);
  EXPECT_NE(pair->rule, a->rule);
  const std::vector<std::size_t> other = {pairs};
  EXPECT_FALSE(pairFault(c, other));  // a rule that reads none of those keys
  EXPECT_TRUE(rangeFault(c, other, true));
}

}  // namespace
}  // namespace aph::study
