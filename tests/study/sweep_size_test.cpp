#include <gtest/gtest.h>

#include <cmath>
#include <sstream>

#include "model/text.hpp"
#include "session/session.hpp"
#include "study/case_input/case_file.hpp"
#include "study/studies/size.hpp"
#include "study/studies/sweep.hpp"

namespace aph::study {
namespace {

Case one(const std::string& json) {
  return parseCases(json, "case.json").at(0);
}

// The same case as a session script, replayed on a fresh window by the session player: what a
// person would type and click.
session::Script scriptOf(const Case& c) {
  session::SetAction set;
  const auto& keys = caseKeys();
  for (std::size_t k = 0; k < keys.size(); ++k) {
    if (!c.values[k]) continue;
    const CaseKey& keyInfo = keys[k];
    if (keyInfo.kind == KeyKind::Properties) {
      for (const char* name : keyInfo.flueGasSide
                                  ? std::array{"Text11", "Text12", "Text13", "Text14"}
                                  : std::array{"Text4", "Text5", "Text6", "Text7"})
        set.texts.push_back({{std::nullopt, name}, ""});
    } else if (keyInfo.kind == KeyKind::Field) {
      set.texts.push_back(
          {{std::nullopt, std::string(fieldInfo(*keyInfo.quantity).name)}, *c.values[k]});
    } else if (keyInfo.kind == KeyKind::Tuning) {
      set.texts.push_back(
          {{DialogKind::Tuning, std::string(dialogFieldInfo(*keyInfo.dialogField).name)},
           *c.values[k]});
    }
  }
  session::Script script;
  script.actions.push_back(set);
  if (const auto& mode = c.value("flow_mode"))
    script.actions.push_back(
        session::ClickAction{*mode == "mass" ? "Option5" : "Option4", {}, {}, {}});
  if (const auto& arrangement = c.value("arrangement")) {
    session::ClickAction click{*arrangement == "counterflow" ? "Option1"
                               : *arrangement == "crossflow" ? "Option2"
                                                             : "Option3",
                               {},
                               {},
                               {}};
    if (click.control == "Option3") {
      session::DialogAnswer answer;
      if (const auto& n = c.value("passes.flue_gas")) answer.texts.emplace_back("Text33", *n);
      if (const auto& n = c.value("passes.air")) answer.texts.emplace_back("Text34", *n);
      click.dialog = answer;
    }
    script.actions.push_back(click);
  }
  script.actions.push_back(session::ClickAction{"Command3", {}, {}, {}});
  return script;
}

void expectSameWindow(const MainWindow& a, const MainWindow& b, const std::string& what) {
  for (const FieldInfo& info : kFields) {
    EXPECT_EQ(a.text(info.id), b.text(info.id)) << what << " " << info.name;
    EXPECT_EQ(a.field(info.id).color, b.field(info.id).color) << what << " " << info.name;
  }
  EXPECT_EQ(a.state().meanDifference, b.state().meanDifference) << what;
}

// One evaluator rates a run of designs, failing ones between good ones, each with other keys
// varied; every design must match a fresh window replaying the same case.
TEST(DesignEvaluator, EveryDesignEqualsAFreshWindow) {
  struct Row {
    std::string json;
    std::vector<std::pair<std::string, std::string>> overrides;
  };
  const std::string base =
      R"("arrangement": "counterflow", "flow_mode": "volume", "flue_gas": {"properties": "table"})";
  const std::vector<Row> rows = {
      {"{" + base + "}", {{"plate.pairs", "150"}}},
      {"{" + base + "}", {{"plate.pairs", "0"}}},  // 数值输入有误！
      {"{" + base + "}", {{"plate.pairs", "90"}, {"air.channel_gap", "12"}}},
      {"{" + base + "}", {{"flue_gas.inlet_temperature", "3000"}}},  // out of the table
      // No gap: the empty equivalent diameter is read instead, and the run stops.
      {"{" + base + "}", {{"factors.air_nu", "1.3"}, {"air.channel_gap", ""}}},
      {"{" + base + "}", {{"air.inlet_temperature", "-10"}}},
      {R"({"arrangement": "multi-pass", "passes": {"flue_gas": 2, "air": 3}, "flow_mode": "mass",
           "flue_gas": {"mass_flow": 250000}, "air": {"mass_flow": 330000}})",
       {{"passes.air", "4"}}},
      {R"({"arrangement": "multi-pass", "passes": {"flue_gas": 2, "air": 3}, "flow_mode": "mass",
           "flue_gas": {"mass_flow": 250000}, "air": {"mass_flow": 330000}})",
       {{"passes.flue_gas", "0"}}},  // 流程输入有误！
      {R"({"arrangement": "crossflow", "flow_mode": "volume", "air": {"fouling": 0.0003}})",
       {{"flue_gas.fouling", "0.0002"}, {"plate.thickness", "0.8"}}},
      {R"({"arrangement": "crossflow"})", {{"plate.pairs", "120"}}},  // no flow mode
  };
  // Evaluators keyed by base case, reused across rows of the same base.
  std::map<std::string, std::unique_ptr<DesignEvaluator>> evaluators;
  int stopped = 0;
  for (int pass = 0; pass < 2; ++pass) {
    for (const Row& r : rows) {
      const Case c = one(r.json);
      auto& evaluator = evaluators[r.json];
      if (!evaluator) evaluator = std::make_unique<DesignEvaluator>(c);
      std::vector<std::size_t> keys;
      std::vector<const std::string*> texts;
      Case merged = c;
      for (const auto& [path, text] : r.overrides) {
        keys.push_back(*findKey(path));
        texts.push_back(&text);
        merged.set(path, text);
      }
      RunStatus status;
      const MainWindow& got = evaluator->evaluate(keys, texts, status);

      MainWindow fresh;
      session::ScriptedUserInterface ui;
      session::replay(fresh, scriptOf(merged), ui);
      expectSameWindow(got, fresh, r.json + " " + r.overrides[0].second);
      std::vector<std::string> messages;
      for (const auto& m : ui.messages) messages.push_back(m.text);
      EXPECT_EQ(status.messages, messages) << r.json;
      stopped += !status.completed;
    }
  }
  EXPECT_EQ(stopped, 2 * 5);  // the rows marked above, and the run without a flow mode
}

TEST(Sweep, MorePlatePairsMeanMoreAreaAndLowerTheoreticalCoefficient) {
  SweepPlan plan{one(R"({"arrangement": "counterflow", "flow_mode": "volume"})"),
                 {parseVary("plate.pairs=60:300:20")}};
  std::ostringstream csv;
  const auto values = runSweep(plan, &csv);
  ASSERT_EQ(values.size(), 13u);
  for (std::size_t k = 1; k < values.size(); ++k) {
    EXPECT_TRUE(values[k].completed);
    EXPECT_GT(values[k].area, values[k - 1].area);
    EXPECT_LT(values[k].kTheoretical, values[k - 1].kTheoretical);
    EXPECT_LT(values[k].dpFlueGas, values[k - 1].dpFlueGas);  // slower flow, less drop
    EXPECT_LT(values[k].dpAir, values[k - 1].dpAir);
  }
  std::istringstream lines(csv.str());
  std::string line;
  std::getline(lines, line);
  EXPECT_TRUE(line.starts_with("plate.pairs,status,violations,flue_gas.heat_duty,")) << line;
  std::getline(lines, line);
  EXPECT_TRUE(line.starts_with("60,ok,")) << line;
}

TEST(Sweep, TwoParameterGridRunsFirstKeySlowestAndThreadsAgree) {
  SweepPlan plan{one(R"({"arrangement": "crossflow", "flow_mode": "volume"})"),
                 {parseVary("plate.pairs=100,110,120"), parseVary("air.channel_gap=7:9:1")}};
  std::ostringstream one, two;
  SweepOptions options;
  options.threads = 1;
  const auto a = runSweep(plan, &one, options);
  options.threads = 2;
  runSweep(plan, &two, options);
  EXPECT_EQ(one.str(), two.str());
  std::istringstream lines(one.str());
  std::string line;
  std::vector<std::string> heads;
  while (std::getline(lines, line))
    heads.push_back(line.substr(0, line.find(",", line.find(",") + 1)));
  ASSERT_EQ(heads.size(), 10u);
  EXPECT_EQ(heads[1], "100,7");
  EXPECT_EQ(heads[3], "100,9");
  EXPECT_EQ(heads[4], "110,7");
  // The 110-pair, 9 mm design is the crossflow default window.
  const CaseRun plain = rateCase(plan.base);
  EXPECT_EQ(a[5].margin, plain.window.rating().value(Quantity::Margin));
  EXPECT_EQ(formatFixed4(a[5].margin), plain.window.text(Quantity::Margin));
}

TEST(Sweep, VaryArgumentifications) {
  struct Good {
    std::string argument;
    std::vector<std::string> texts;
  };
  for (const Good& g :
       {Good{"plate.pairs=50:60:5", {"50", "55", "60"}},
        Good{"flue_gas.fouling=0.0001:0.0003:0.0001", {"0.0001", "0.0002", "0.0003"}},
        Good{"air.channel_length=1:0.8:-0.1", {"1", "0.9", "0.8"}},
        Good{"air.channel_gap=7,8,9.5", {"7", "8", "9.5"}}, Good{"factors.air_nu=1", {"1"}}}) {
    EXPECT_EQ(parseVary(g.argument).texts, g.texts) << g.argument;
  }
  for (const char* bad : {"plate.pairs", "plate.pair=1:2:1", "arrangement=1:2:1", "plate.pairs=1:2",
                          "plate.pairs=5:1:1", "plate.pairs=1:5:0", "plate.pairs=a:5:1",
                          "plate.pairs=1,,2", "air.properties=1,2"}) {
    EXPECT_THROW(parseVary(bad), SweepError) << bad;
  }
  SweepPlan table{one(R"({"air": {"properties": "table"}})"), {parseVary("air.density=1,1.1")}};
  EXPECT_THROW(checkSweep(table), SweepError);
  SweepPlan twice{one("{}"), {parseVary("plate.pairs=1,2"), parseVary("plate.pairs=3,4")}};
  EXPECT_THROW(checkSweep(twice), SweepError);
  SweepPlan three{one("{}"),
                  {parseVary("plate.pairs=1"), parseVary("air.channel_gap=7"),
                   parseVary("flue_gas.channel_gap=8")}};
  EXPECT_THROW(checkSweep(three), SweepError);
}

// The smallest candidate meeting the limits, found by rating each candidate on its own window.
std::optional<std::size_t> bruteForce(const Case& base, const Axis& axis, const Limits& limits) {
  for (std::size_t k = 0; k < axis.texts.size(); ++k) {
    Case c = base;
    c.values[axis.key] = axis.texts[k];
    const CaseRun run = rateCase(c);
    if (!run.status.completed) continue;
    // The numbers behind the window's texts, as its red flags judge them.
    const Rating& r = run.window.rating();
    const double margin = *r.value(Quantity::Margin);
    const double dp1 = *r.value(Quantity::FlueGasPressureDrop);
    const double dp2 = *r.value(Quantity::AirPressureDrop);
    if (margin >= limits.marginLow && margin <= limits.marginHigh && dp1 <= limits.maxDrop &&
        dp2 <= limits.maxDrop)
      return k;
  }
  return std::nullopt;
}

TEST(Size, AgreesWithABruteForceScan) {
  struct Row {
    std::string json, key, range;
    Limits limits;
    bool found;
  };
  const std::string design = R"({"arrangement": "counterflow", "flow_mode": "volume"})";
  const std::string hot = R"({"arrangement": "crossflow", "flow_mode": "volume",
                              "flue_gas": {"channel_gap": 14}, "air": {"channel_gap": 15}})";
  const std::vector<Row> rows = {
      {design, "plate.pairs", "", {0, 30, 500, {}}, false},  // the limits conflict
      {design, "plate.pairs", "", {0, 60, 5000, {}}, true},
      {design, "plate.pairs", "40:400:7", {20, 60, 3000, {}}, false},
      {design, "plate.pairs", "40:400:7", {20, 120, 3000, {}}, true},
      {hot, "plate.pairs", "", {0, 30, 500, {}}, true},
      {design, "air.channel_gap", "", {0, 80, 6000, {}}, true},
      {design, "air.channel_width", "1:4:0.1", {0, 80, 5000, {}}, true},
      {hot, "air.channel_length", "", {0, 30, 50, {}}, false},  // the drop limit binds
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.key + " " + r.range);
    const Case base = one(r.json);
    const std::size_t key = *findKey(r.key);
    const Axis axis = r.range.empty() ? defaultSizingAxis(key) : parseVary(r.key + "=" + r.range);
    const SizeResult result = sizeDesign(base, axis, r.limits);
    EXPECT_EQ(result.found, bruteForce(base, axis, r.limits));
    EXPECT_EQ(result.found.has_value(), r.found);
    const std::string words = describeSizing(base, axis, r.limits, result);
    EXPECT_NE(words.find("binding"), std::string::npos) << words;
    if (!r.found) {
      EXPECT_NE(words.find("no value"), std::string::npos) << words;
    }
  }
  EXPECT_THROW(defaultSizingAxis(*findKey("air.inlet_temperature")), SweepError);
}

}  // namespace
}  // namespace aph::study
