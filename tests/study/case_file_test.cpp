#include "study/case_input/case_file.hpp"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <nlohmann/json.hpp>

#include "model/text.hpp"
#include "session/session.hpp"
#include "study/io/files.hpp"
#include "study/studies/rate.hpp"

namespace aph::study {
namespace {

// As the window would take it: values out of the batch tool's ranges included.
constexpr ReadOptions kAsTyped{.asTyped = true};

Case one(const std::string& json, const ReadOptions& options = {}) {
  auto cases = parseCases(json, "case.json", options);
  EXPECT_EQ(cases.size(), 1u);
  return cases.at(0);
}

// Every key with the control it must reach, written out independently of the key table.
TEST(CaseFile, EveryKeyReachesItsField) {
  const std::map<std::string, std::string> expected = {
      {"flue_gas.volume_flow", "Text8"},
      {"flue_gas.mass_flow", "Text61"},
      {"flue_gas.inlet_temperature", "Text9"},
      {"flue_gas.outlet_temperature", "Text10"},
      {"flue_gas.density", "Text11"},
      {"flue_gas.specific_heat", "Text12"},
      {"flue_gas.conductivity", "Text14"},
      {"flue_gas.viscosity", "Text13"},
      {"flue_gas.channel_length", "Text16"},
      {"flue_gas.channel_width", "Text33"},
      {"flue_gas.channel_gap", "Combo3"},
      {"flue_gas.equivalent_diameter", "Text20"},
      {"flue_gas.fouling", "Text43"},
      {"air.volume_flow", "Text1"},
      {"air.mass_flow", "Text62"},
      {"air.inlet_temperature", "Text2"},
      {"air.outlet_temperature", "Text3"},
      {"air.density", "Text4"},
      {"air.specific_heat", "Text5"},
      {"air.conductivity", "Text7"},
      {"air.viscosity", "Text6"},
      {"air.channel_length", "Text34"},
      {"air.channel_width", "Text26"},
      {"air.channel_gap", "Combo4"},
      {"air.equivalent_diameter", "Text55"},
      {"air.fouling", "Text63"},
      {"plate.pairs", "Text18"},
      {"plate.thickness", "Combo1"},
      {"plate.conductivity", "Combo2"},
      {"factors.flue_gas_nu", "Form2.Text37"},
      {"factors.air_nu", "Form2.Text38"},
      {"factors.flue_gas_resistance", "Form2.Text39"},
      {"factors.air_resistance", "Form2.Text40"},
      {"passes.flue_gas", "Form3.Text33"},
      {"passes.air", "Form3.Text34"}};
  std::size_t numeric = 0;
  for (std::size_t k = 0; k < caseKeys().size(); ++k) numeric += isNumericKey(k);
  EXPECT_EQ(numeric, expected.size()) << "a key without an expected control";

  int n = 0;
  for (const auto& [path, control] : expected) {
    SCOPED_TRACE(path);
    const std::string group = path.substr(0, path.find('.'));
    const std::string name = path.substr(path.find('.') + 1);
    const std::string text = "7." + std::to_string(++n) + "5";
    const Case c = one("{\"arrangement\": \"multi-pass\", \"" + group + "\": {\"" + name +
                           "\": \"" + text + "\"}}",
                       kAsTyped);
    MainWindow w;
    typeCase(w, c);
    CaseUserInterface ui(&c);
    w.clickOption(OptionId::Option3, ui);  // the pass-count dialog is answered from the case
    if (control.starts_with("Form")) {
      const DialogKind kind = control[4] == '2' ? DialogKind::Tuning : DialogKind::PassCount;
      ASSERT_NE(w.dialog(kind), nullptr);
      EXPECT_EQ(*w.dialog(kind)->find(control.substr(6)), text);
    } else {
      EXPECT_EQ(w.text(*findField(control)), text);
      // Nothing else of the window moved.
      for (const FieldInfo& info : kFields) {
        if (info.name != control && !info.isList && info.id != FieldId::Text59) {
          EXPECT_EQ(w.text(info.id), info.defaultText) << info.name;
        }
      }
    }
  }
}

TEST(CaseFile, ButtonsAndPropertyTables) {
  struct Row {
    std::string json;
    OptionId arrangement, mode;
  };
  for (const Row& r : {Row{R"({"arrangement": "counterflow", "flow_mode": "volume"})",
                           OptionId::Option1, OptionId::Option4},
                       Row{R"({"arrangement": "crossflow", "flow_mode": "mass"})",
                           OptionId::Option2, OptionId::Option5}}) {
    const CaseRun run = rateCase(one(r.json));
    EXPECT_TRUE(run.window.isSelected(r.arrangement)) << r.json;
    EXPECT_TRUE(run.window.isSelected(r.mode)) << r.json;
  }
  MainWindow w;
  typeCase(w, one(R"({"air": {"properties": "table"}})"));
  for (FieldId id : {FieldId::Text4, FieldId::Text5, FieldId::Text6, FieldId::Text7})
    EXPECT_EQ(w.text(id), "");
  EXPECT_EQ(w.text(Quantity::FlueGasDensity), "0.84");  // the flue-gas side keeps its values
}

TEST(CaseFile, LeftOutKeysKeepTheDefaults) {
  const CaseRun run = rateCase(one("{}"));
  const MainWindow fresh;
  for (const FieldInfo& info : kFields) EXPECT_EQ(run.window.text(info.id), fresh.text(info.id));
  // No arrangement selected, as in the window at start-up: the calculation refuses.
  EXPECT_FALSE(run.status.completed);
  EXPECT_EQ(run.status.messages, std::vector<std::string>{"未选择流动形式！"});
}

TEST(CaseFile, NumbersGoInAsTheirTextTextsAsTyped) {
  struct Row {
    std::string value, text;
  };
  for (const Row& r : {Row{"120", "120"}, Row{"294982.42", "294982.42"}, Row{"0.0002", "0.0002"},
                       Row{"1.0", "1"}, Row{"-5", "-5"}, Row{"1e-7", "1e-07"},
                       Row{"\"12abc\"", "12abc"}, Row{"\" 1.5\"", " 1.5"}, Row{"\"\"", ""}}) {
    const Case c = one("{\"air\": {\"inlet_temperature\": " + r.value + "}}", kAsTyped);
    EXPECT_EQ(c.value("air.inlet_temperature"), r.text) << r.value;
  }
}

struct ErrorRow {
  std::string json, key, what;
};

TEST(CaseFile, EveryErrorNamesFileKeyAndFault) {
  const std::vector<ErrorRow> rows = {
      {R"({"flue": {}})", "flue", "unknown key"},
      {R"({"air": {"inlet_temprature": 40}})", "air.inlet_temprature",
       "did you mean \"inlet_temperature\""},
      {R"({"plate": {"pairs": true}})", "plate.pairs", "expected a number or a text, not boolean"},
      {R"({"plate": {"pairs": null}})", "plate.pairs", "not null"},
      {R"({"plate": {"pairs": [1]}})", "plate.pairs", "not array"},
      {R"({"air": 5})", "air", "expected an object"},
      {R"({"name": 5})", "name", "expected a text"},
      {R"({"saved": 5})", "saved", "expected a text"},
      {R"({"cases": [{"saved": "2025-03-01T14:05:09+08:00"}]})", "cases[0].saved", "unknown key"},
      {R"({"arrangement": "parallel"})", "arrangement", "is not one of"},
      {R"({"flow_mode": 1})", "flow_mode", "expected \"volume\" or \"mass\""},
      {R"({"air": {"properties": "tables"}})", "air.properties", "is not \"table\""},
      {R"({"air": {"properties": "table", "density": 1}})", "air.density",
       "cannot be given together"},
      {R"({"air": {"properties": "standard-table"}})", "air.properties", "is a flue-gas table"},
      {R"({"flue_gas": {"properties": "standard-table", "viscosity": 20}})", "flue_gas.viscosity",
       "\"standard-table\" (the table supplies it)"},
      {R"({"plate": {"pairs": 1, "pairs": 2}})", "plate.pairs", "given twice"},
      {R"({"plate": {"pairs": 1}, "plate": {}})", "plate", "given twice"},
      {R"({"cases": 3})", "cases", "expected a list"},
      {R"({"cases": []})", "cases", "empty"},
      {R"({"cases": [{}, {"air": {"x": 1}}]})", "cases[1].air.x", "unknown key"},
      {R"({"cases": [{"cases": []}]})", "cases[0].cases", "unknown key"},
      {R"([{}, {"plate": {"pairs": false}}])", "[1].plate.pairs", "not boolean"},
      {R"({"plate": })", "", "malformed JSON"},
      {R"({"plate": {"pairs": 1},})", "", "line 1"},
      {"", "", "malformed JSON"},
      // Not UTF-8 (a name in GBK, an overlong "/", a surrogate, a character cut short): told
      // with the offset, never echoed.
      {"{\"name\": \"\xb9\xf8\xc2\xaf\"}", "", "not UTF-8 at byte offset 10, line 1 (GBK?)"},
      {"{\n\"air\": {\"\xc0\xaf\": 1}}", "", "not UTF-8 at byte offset 11, line 2"},
      {"{\"name\": \"ok\xed\xa0\x80\"}", "", "not UTF-8 at byte offset 12"},
      {"{\"name\": \"x\"}\xe4\xb8", "", "not UTF-8 at byte offset 13"},
  };
  for (const ErrorRow& r : rows) {
    try {
      parseCases(r.json, "load.json");
      ADD_FAILURE() << "accepted: " << r.json;
    } catch (const CaseError& e) {
      EXPECT_EQ(e.file(), "load.json") << r.json;
      EXPECT_EQ(e.key(), r.key) << r.json;
      EXPECT_NE(e.what_wrong().find(r.what), std::string::npos) << r.json << " → " << e.what();
      EXPECT_TRUE(std::string(e.what()).starts_with("load.json: ")) << e.what();
      EXPECT_FALSE(firstNonUtf8Byte(e.what())) << e.what();
    }
  }
}

// Numbers a JSON reader cannot hold, wherever they stand: a case-file error naming the key.
TEST(CaseFile, NumbersBeyondADoubleNameTheirKey) {
  struct Row {
    std::string json, key;
  };
  for (const Row& r :
       {Row{R"({"plate": {"pairs": 1e999}})", "plate.pairs"},
        Row{R"({"plate": {"pairs": -1e999}})", "plate.pairs"},
        Row{R"({"cases": [{}, {"air": {"volume_flow": 2e308}}]})", "cases[1].air.volume_flow"},
        Row{R"([{"factors": {"air_nu": 1E400}}])", "[0].factors.air_nu"},
        Row{R"({"plate": {"pairs": [1, 1e999]}})", "plate.pairs[1]"},
        Row{R"({"plate": {"pairs": 1)" + std::string(400, '0') + "}}", "plate.pairs"}}) {
    for (const bool asTyped : {false, true}) {
      try {
        parseCases(r.json, "big.json", {.asTyped = asTyped});
        ADD_FAILURE() << "accepted: " << r.json;
      } catch (const CaseError& e) {
        EXPECT_EQ(e.key(), r.key) << e.what();
        EXPECT_NE(e.what_wrong().find("beyond what a double holds"), std::string::npos) << e.what();
        EXPECT_LT(e.what_wrong().size(), 200u) << "the number is quoted short";
      }
    }
  }
  // Tiny numbers are just 0.
  EXPECT_EQ(one(R"({"flue_gas": {"fouling": 1e-999}})").value("flue_gas.fouling"), "0");
}

// Streaming hands out the very cases the whole-file reading gives, in order, however the shared
// keys and the list are placed in the file.
TEST(CaseFile, StreamedCasesEqualTheWholeFile) {
  for (const std::string json :
       {R"({"cases": [{"name": "a"}, {"plate": {"pairs": 90}}], "plate": {"pairs": 120},
            "arrangement": "crossflow"})",
        R"({"arrangement": "crossflow", "cases": [{"air": {"properties": "table"}}, {}]})",
        R"([{"name": "x"}, {"plate": {"pairs": 7}}, {}])", R"({"name": "single"})"}) {
    const auto whole = parseCases(json, "s.json");
    std::vector<Case> streamed;
    const std::size_t count =
        visitCases(json, "s.json", [&](Case&& c) { streamed.push_back(std::move(c)); });
    ASSERT_EQ(count, whole.size()) << json;
    ASSERT_EQ(streamed.size(), whole.size()) << json;
    for (std::size_t k = 0; k < whole.size(); ++k) {
      EXPECT_EQ(streamed[k].name, whole[k].name) << json;
      EXPECT_EQ(streamed[k].values, whole[k].values) << json;
    }
  }
  const auto shared = parseCases(
      R"({"cases": [{"name": "a"}], "plate": {"pairs": 120}, "arrangement": "crossflow"})",
      "s.json");
  EXPECT_EQ(shared[0].value("plate.pairs"), "120");  // shared keys after the list still count
}

// A hostile file cannot make the reader hold much: what is cut from it is an error anyway.
TEST(CaseFile, LargeOrDeepValuesStayBoundedAndStillRefused) {
  std::string manyKeys = R"({"plate": {)";
  for (int k = 0; k < 5000; ++k) manyKeys += "\"k" + std::to_string(k) + "\": 1,";
  manyKeys += R"("pairs": 1}})";
  std::string deep =
      R"({"plate": {"pairs": )" + std::string(10000, '[') + std::string(10000, ']') + "}}";
  std::string longList = R"({"plate": {"pairs": [)";
  for (int k = 0; k < 100000; ++k) longList += "1,";
  longList += "1]}}";
  const std::string longKey = "{\"" + std::string(1'000'000, 'x') + "\": 1}";
  struct Row {
    std::string json, key, what;
  };
  for (const Row& r :
       {Row{manyKeys, "plate.k0", "unknown key"}, Row{deep, "plate.pairs", "not array"},
        Row{longList, "plate.pairs", "not array"}, Row{longKey, "", "unknown key"}}) {
    try {
      parseCases(r.json, "hostile.json");
      ADD_FAILURE() << r.json.substr(0, 80);
    } catch (const CaseError& e) {
      if (!r.key.empty()) {
        EXPECT_EQ(e.key(), r.key);
      }
      EXPECT_NE(e.what_wrong().find(r.what), std::string::npos) << e.what_wrong();
      EXPECT_LT(std::string(e.what()).size(), 400u) << "messages quote long texts short";
    }
  }
}

// Only regular files or standard input, refused before they are read.
TEST(CaseFile, OnlyRegularFilesOfBoundedSize) {
  const auto dir = std::filesystem::temp_directory_path() / "aph_case_files";
  std::filesystem::create_directories(dir);
  const auto oversize = dir / "oversize.json";
  std::filesystem::resize_file(
      [&] {
        std::ofstream(oversize).put('{');
        return oversize;
      }(),
      kMaxInputBytes + 1);
  const auto fifo = dir / "fifo.json";
  std::filesystem::remove(fifo);
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  struct Row {
    std::string path, what;
  };
  for (const Row& r :
       {Row{dir.string(), "is a directory, not a case file"},
        Row{"/dev/zero", "is not a regular file"}, Row{fifo.string(), "is not a regular file"},
        Row{oversize.string(), "more than the 64 MiB a case file may hold"},
        Row{"/nonexistent/x.json", "cannot open the case file (No such file"}}) {
    try {
      loadCases(r.path);
      ADD_FAILURE() << r.path;
    } catch (const CaseError& e) {
      EXPECT_EQ(e.file(), r.path);
      EXPECT_NE(e.what_wrong().find(r.what), std::string::npos) << e.what();
    }
  }
  std::filesystem::remove_all(dir);
}

TEST(CaseFile, MissingFileIsNamed) {
  try {
    loadCases("/nonexistent/heater.json");
    ADD_FAILURE();
  } catch (const CaseError& e) {
    EXPECT_EQ(e.file(), "/nonexistent/heater.json");
    EXPECT_NE(e.what_wrong().find("cannot open"), std::string::npos);
  }
}

TEST(CaseFile, LoadCasesOverrideTheSharedKeys) {
  const auto cases = parseCases(R"({
    "name": "APH",
    "arrangement": "counterflow", "flow_mode": "volume",
    "air": {"properties": "table", "inlet_temperature": 30},
    "flue_gas": {"density": 0.9},
    "cases": [
      {"name": "full"},
      {"air": {"density": 1.2, "specific_heat": 1, "conductivity": 0.03, "viscosity": 20}},
      {"flue_gas": {"properties": "table"}, "arrangement": "crossflow"},
      {"flue_gas": {"properties": "standard-table"}}
    ]})",
                                "loads.json");
  ASSERT_EQ(cases.size(), 4u);
  EXPECT_EQ(cases[0].name, "full");
  EXPECT_EQ(cases[1].name, "APH #2");
  EXPECT_EQ(cases[0].value("air.properties"), "table");
  EXPECT_EQ(cases[0].value("air.inlet_temperature"), "30");
  // A case's own property values replace the shared table, and the other way round.
  EXPECT_FALSE(cases[1].value("air.properties"));
  EXPECT_EQ(cases[1].value("air.density"), "1.2");
  EXPECT_EQ(cases[1].value("air.inlet_temperature"), "30");
  EXPECT_EQ(cases[2].value("flue_gas.properties"), "table");
  EXPECT_FALSE(cases[2].value("flue_gas.density"));
  EXPECT_EQ(cases[2].value("arrangement"), "crossflow");
  EXPECT_EQ(cases[1].value("arrangement"), "counterflow");
  EXPECT_EQ(cases[3].value("flue_gas.properties"), "standard-table");
  EXPECT_FALSE(cases[3].value("flue_gas.density"));
}

TEST(CaseFile, BoilerLoadExampleRatesEveryLoad) {
  const auto cases = loadCases(APH_EXAMPLES_DIR "/cases/boiler-loads.json");
  ASSERT_EQ(cases.size(), 3u);
  const auto rated = rateAll(cases);
  double previousDuty = 1e300;
  for (const RatedCase& r : rated) {
    SCOPED_TRACE(r.input.name);
    EXPECT_TRUE(r.run.status.completed);
    // Properties from the tables: the fields were emptied and the run filled them.
    EXPECT_FALSE(r.run.window.text(Quantity::FlueGasDensity).empty());
    const double duty = std::stod(r.run.window.text(Quantity::AirHeatDuty));
    EXPECT_LT(duty, previousDuty);  // less load, less air heated
    previousDuty = duty;
    EXPECT_EQ(r.run.window.text(Quantity::PlatePairs), "110");  // shared design
  }
  // The CSV has one row per case and the same columns in each.
  const std::string csv = rateCsv(rated);
  EXPECT_EQ(std::count(csv.begin(), csv.end(), '\n'), 4);
}

TEST(CaseFile, ExamplesAreValid) {
  for (const char* name : {"default-window.json", "boiler-loads.json", "multi-pass.json"}) {
    for (const Case& c : loadCases(std::string(APH_EXAMPLES_DIR "/cases/") + name)) {
      const CaseRun run = rateCase(c);
      EXPECT_TRUE(run.status.completed) << name << ": " << c.name;
    }
  }
  // The default-window example is the window as it opens, counterflow and volume flows: the same
  // texts as the replayed session of the default example.
  const CaseRun run = rateCase(loadCases(APH_EXAMPLES_DIR "/cases/default-window.json")[0]);
  std::ifstream in(APH_EXAMPLES_DIR "/default-counterflow.json");
  const std::string script((std::istreambuf_iterator<char>(in)), {});
  MainWindow replayed;
  session::ScriptedUserInterface ui;
  session::replay(replayed, session::parseScript(script), ui);
  for (const FieldInfo& info : kFields)
    EXPECT_EQ(run.window.text(info.id), replayed.text(info.id)) << info.name;
}

// The schema in the repository describes exactly the keys the reader accepts.
TEST(CaseFile, SchemaListsEveryKey) {
  std::ifstream in(APH_SCHEMA_FILE);
  const auto schema = nlohmann::json::parse(in);
  const auto& defs = schema.at("$defs");
  const auto& top = defs.at("case").at("properties");
  std::size_t listed = 0;
  for (const auto& [name, value] : top.items()) {
    if (value.contains("properties")) listed += value.at("properties").size();
    if (name == "flue_gas" || name == "air") listed += defs.at(name).at("properties").size();
    if (name == "arrangement" || name == "flow_mode") ++listed;
  }
  EXPECT_EQ(listed, caseKeys().size());
  for (const CaseKey& key : caseKeys()) {
    const std::string path(key.path);
    const auto dot = path.find('.');
    if (dot == std::string::npos) {
      EXPECT_TRUE(top.contains(path)) << path;
      continue;
    }
    const std::string group = path.substr(0, dot);
    const auto& object = top.at(group).contains("$ref") ? defs.at(group) : top.at(group);
    EXPECT_TRUE(object.at("properties").contains(path.substr(dot + 1))) << path;
  }
}

}  // namespace
}  // namespace aph::study
