// aphcalc-cli solve and simulate end to end: the answers re-rated by `rate` from a case file that
// holds them, the machine-readable forms, the exit codes and the refusals; and the output files
// of every command.
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>

#include "cli/commands.hpp"

namespace aph::cli {
namespace {

namespace fs = std::filesystem;
using nlohmann::json;

const std::string kExamples = std::string(APH_EXAMPLES_DIR) + "/cases/";
const std::string kDefault = kExamples + "default-window.json";

class StringSink : public study::Sink {
 public:
  std::string text;

 protected:
  bool put(std::string_view bytes) override {
    text += bytes;
    return true;
  }
  bool finish() override { return true; }
};

struct Outcome {
  int code = 0;
  std::string out, err;
};

// `terminal`: standard error is a terminal, where a progress bar shows from the start.
Outcome run(std::vector<std::string> arguments, std::size_t maxDesigns = study::kMaxDesigns,
            bool terminal = false) {
  arguments.insert(arguments.begin(), "aphcalc-cli");
  std::vector<const char*> argv;
  for (const std::string& a : arguments) argv.push_back(a.c_str());
  StringSink out;
  std::ostringstream err;
  BatchIo io = BatchIo::standard();
  io.out = [&]() -> study::Sink& { return out; };
  io.err = &err;
  io.outIsTerminal = false;
  io.errIsTerminal = terminal;
  io.progressAfter = std::chrono::milliseconds(0);
  io.maxDesigns = maxDesigns;
  Outcome r;
  r.code = runProgram(static_cast<int>(argv.size()), argv.data(), io);
  r.out = out.text;
  r.err = err.str();
  return r;
}

class Scratch : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() /
           ("aph_offdesign_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
            "_" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }
  std::string path(const std::string& name) const { return (dir_ / name).string(); }
  std::string write(const std::string& name, const std::string& text) const {
    std::ofstream(path(name), std::ios::binary) << text;
    return path(name);
  }
  fs::path dir_;
};

// The default window's case file with some keys set, as a user would edit it.
std::string defaultWith(const std::map<std::string, json>& values) {
  json c = json::parse(std::ifstream(kDefault));
  for (const auto& [key, value] : values) {
    const auto dot = key.find('.');
    c[key.substr(0, dot)][key.substr(dot + 1)] = value;
  }
  return c.dump();
}

double resultNumber(const json& item, const std::string& name) {
  return std::stod(item.at("results").at(name).at("text").get<std::string>());
}

TEST_F(Scratch, SolveTheAnswerRatedByRateFromACaseFileShowsTheTarget) {
  struct Row {
    const char* key;
    const char* target;
    const char* result;
    double value;
  };
  for (const Row& row : {Row{"air.outlet_temperature", "margin=0", "margin", 0},
                         Row{"flue_gas.outlet_temperature", "wall.min=80", "wall.min", 80}}) {
    SCOPED_TRACE(row.key);
    const Outcome solved =
        run({"solve", kDefault, "--for", row.key, "--target", row.target, "--format", "json"});
    ASSERT_EQ(solved.code, 0) << solved.err;
    const json answer = json::parse(solved.out).at(0);
    const json& solution = answer.at("solution");
    EXPECT_EQ(solution.at("status"), "found");
    EXPECT_EQ(solution.at("key"), row.key);
    EXPECT_LE(solution.at("bracket").at(0).get<double>(), solution.at("value").get<double>());
    const std::string file = write("answer.json", defaultWith({{row.key, solution.at("value")}}));
    const Outcome rated = run({"rate", file, "--format", "json"});
    ASSERT_EQ(rated.code, 0) << rated.err;
    const json item = json::parse(rated.out).at(0);
    // The window shows four or three decimals: the target within them.
    EXPECT_NEAR(resultNumber(item, row.result), row.value, 1.5e-3);
    EXPECT_EQ(item.at("results"), answer.at("results"));
  }
}

TEST_F(Scratch, SimulateTheAnswerRatedByRateFromACaseFileHasMarginZeroAndABalance) {
  const Outcome simulated = run({"simulate", kDefault, "--format", "json"});
  ASSERT_EQ(simulated.code, 0) << simulated.err;
  const json solution = json::parse(simulated.out).at(0).at("solution");
  EXPECT_EQ(solution.at("status"), "found");
  const std::string file = write(
      "answer.json",
      defaultWith({{"flue_gas.outlet_temperature", solution.at("flue_gas.outlet_temperature")},
                   {"air.outlet_temperature", solution.at("air.outlet_temperature")}}));
  const Outcome rated = run({"rate", file, "--format", "json"});
  ASSERT_EQ(rated.code, 0) << rated.err;
  const json item = json::parse(rated.out).at(0);
  EXPECT_LE(std::fabs(resultNumber(item, "margin")), 0.01);
  const double q1 = resultNumber(item, "flue_gas.heat_duty");
  const double q2 = resultNumber(item, "air.heat_duty");
  EXPECT_LE(std::fabs(q1 - q2), 1e-4 * q2);
}

TEST(OffDesignCli, ALoadOfOneHundredPercentIsThePlainSimulate) {
  const Outcome plain = run({"simulate", kDefault, "--format", "json"});
  const Outcome full = run({"simulate", kDefault, "--load", "100:100:10", "--format", "json"});
  ASSERT_EQ(plain.code, 0);
  ASSERT_EQ(full.code, 0);
  json a = json::parse(plain.out), b = json::parse(full.out);
  ASSERT_EQ(b.size(), 1u);
  EXPECT_EQ(b[0].at("load"), 100);
  b[0].erase("load");
  EXPECT_EQ(a, b);
  // In the CSV too, after the load column.
  const Outcome plainCsv = run({"simulate", kDefault, "--format", "csv"});
  const Outcome fullCsv = run({"simulate", kDefault, "--load", "100:100:10", "--format", "csv"});
  EXPECT_EQ("load," + plainCsv.out.substr(0, plainCsv.out.find('\n')),
            fullCsv.out.substr(0, fullCsv.out.find('\n')));
  EXPECT_EQ("100," + plainCsv.out.substr(plainCsv.out.find('\n') + 1),
            fullCsv.out.substr(fullCsv.out.find('\n') + 1));
}

TEST(OffDesignCli, ALoadCurveIsOneRowPerLoadWithTheSolutionFirst) {
  const Outcome r = run({"simulate", kDefault, "--load", "30:110:10", "--format", "csv"});
  ASSERT_EQ(r.code, 0) << r.err;
  std::istringstream lines(r.out);
  std::string header;
  std::getline(lines, header);
  EXPECT_EQ(header.rfind("load,solution.status,solution.flue_gas.outlet_temperature,"
                         "solution.air.outlet_temperature,solution.margin,solution.heat_balance,"
                         "solution.evaluations,solution.reason,solution.other_answers,file,case,"
                         "status,",
                         0),
            0u);
  std::vector<std::string> loads;
  for (std::string line; std::getline(lines, line);)
    loads.push_back(line.substr(0, line.find(',')));
  EXPECT_EQ(loads,
            (std::vector<std::string>{"30", "40", "50", "60", "70", "80", "90", "100", "110"}));
  // The table: one row per load, and the reason of a load settled on the grid below it.
  const Outcome table = run({"simulate", kDefault, "--load", "50:70:10"});
  EXPECT_NE(table.out.find("\n60      grid"), std::string::npos) << table.out;
  EXPECT_NE(table.out.find("60 %: the margin cannot come closer to 0"), std::string::npos);
  // A load with a second answer beside a whole degree of the tables says so below the table.
  const Outcome two =
      run({"simulate", kExamples + "boiler-loads.json", "--case", "2", "--load", "100:100:1"});
  EXPECT_NE(two.out.find("100 %: 2 pairs meet both tolerances; also"), std::string::npos)
      << two.out;
}

TEST(OffDesignCli, SolveOverEveryCaseOfAFileOrTheOneChosen) {
  const std::string loads = kExamples + "boiler-loads.json";
  const Outcome all =
      run({"solve", loads, "--for", "plate.pairs", "--target", "margin=10", "--format", "csv"});
  ASSERT_EQ(all.code, 0) << all.err;
  EXPECT_EQ(std::count(all.out.begin(), all.out.end(), '\n'), 4);  // header and three cases
  EXPECT_EQ(all.out.rfind("solution.status,solution.key,solution.value,", 0), 0u);
  const Outcome chosen = run({"solve", loads, "--case", "2", "--for", "plate.pairs", "--target",
                              "margin=10", "--format", "json"});
  ASSERT_EQ(chosen.code, 0) << chosen.err;
  EXPECT_EQ(json::parse(chosen.out).size(), 1u);
}

TEST(OffDesignCli, ExitCodesAndMessages) {
  struct Row {
    std::vector<std::string> arguments;
    int code;
    const char* message;  // on stderr
  };
  const std::string stops = kExamples + "../../tests/cli/data/stops.json";
  for (const Row& row : {
           // Not reachable, no solution, a run that stops: exit 1 with the reason.
           Row{{"solve", kDefault, "--for", "plate.pairs", "--target", "margin=900"},
               1,
               "margin = 900 by plate.pairs: not reachable over 1…1000"},
           Row{{"simulate", stops, "--as-typed"}, 1, "no solution: the calculation stops"},
           // Nonsense refused with the option or key named: exit 2.
           Row{{"solve", kDefault, "--for", "plate.pears", "--target", "margin=15"},
               2,
               "--for plate.pears: not a case-file key"},
           Row{{"solve", kDefault, "--for", "plate.pairs", "--target", "margin"},
               2,
               "--target margin: expected RESULT=VALUE"},
           Row{{"solve", kDefault, "--for", "plate.pairs", "--target", "margn=15"},
               2,
               "\"margn\" is not a result; results: flue_gas.density"},
           Row{{"solve", kDefault, "--for", "plate.pairs", "--target", "margin=nan"},
               2,
               "--target margin=nan: \"nan\" is not a number"},
           Row{{"solve", kDefault, "--for", "plate.pairs", "--target", "margin=1e999"},
               2,
               "beyond what a double holds"},
           Row{{"solve", kDefault, "--for", "plate.pairs", "--target", "margin=15", "--range",
                "-5:50"},
               2,
               "--range -5:50: plate.pairs: -5 is out of range; allowed: a whole number ≥ 1"},
           Row{{"solve", kDefault, "--for", "plate.pairs", "--target", "margin=15", "--range", "5"},
               2,
               "--range 5: expected FROM:TO"},
           Row{{"solve", kDefault, "--for", "air.mass_flow", "--target", "margin=15"},
               2,
               "--for air.mass_flow: in volume mode the calculation writes the mass flows"},
           Row{{"simulate", kDefault, "--load", "0:100:10"}, 2, "--load 0:100:10: 0 % is out"},
           Row{{"simulate", kDefault, "--load", "30:110:10", "--plot", "curve.pdf"},
               2,
               "--plot curve.pdf: the chart is written as .png or .svg"},
           Row{{"simulate", kDefault, "--plot", "curve.svg"}, 2, "give --load FROM:TO:STEP"},
           Row{{"simulate", kExamples + "boiler-loads.json", "--load", "50:100:50"},
               2,
               "holds 3 load cases; --load scales one"},
           Row{{"simulate", kDefault, "--case", "7"}, 2, "--case 7: no load case"},
           Row{{"simulate", kDefault, "--load", ""}, 2, "--load : expected"},
           // A key the counterflow case never reads, a result it never forms, a design-check
           // input: refused by every command that varies a key, for the same reason.
           Row{{"solve", kDefault, "--for", "air.channel_length", "--target", "margin=15"},
               2,
               "--for air.channel_length: the counterflow arrangement runs the air along "
               "flue_gas.channel_length"},
           Row{{"sweep", kDefault, "--vary", "air.channel_length=1:2:0.5"},
               2,
               "never reads the air channel length"},
           Row{{"size", kDefault, "--vary", "air.channel_length"},
               2,
               "never reads the air channel length"},
           Row{{"sweep", kDefault, "--vary", "passes.air=1:2:1"},
               2,
               "pass counts are read only by the multi-pass arrangement"},
           Row{{"solve", kDefault, "--for", "plate.pairs", "--target", "multi_pass_mtd=120"},
               2,
               "--target multi_pass_mtd: only the multi-pass arrangement forms it"},
           Row{{"solve", kDefault, "--for", "flue_gas.so3", "--target", "margin=15"},
               2,
               "--for flue_gas.so3: an input of the design checks, no field of the window"},
           Row{{"sweep", kDefault, "--vary", "flue_gas.so3=1:2:1"},
               2,
               "\"flue_gas.so3\" is an input of the design checks, no field of the window"},
       }) {
    const Outcome r = run(row.arguments);
    EXPECT_EQ(r.code, row.code) << row.arguments[0] << " " << row.message << "\n" << r.err;
    EXPECT_NE(r.err.find(row.message), std::string::npos) << r.err;
    if (row.code == 2) {
      EXPECT_TRUE(r.out.empty());  // refused before anything is written
    }
  }
}

// The heading of each answer names its case file in full, however long its path.
TEST_F(Scratch, HeadingsNameTheCaseFileWhole) {
  const std::string file =
      write("a-case-file-whose-name-runs-well-past-forty-columns.json", defaultWith({}));
  for (const std::vector<std::string>& command :
       {std::vector<std::string>{"solve", file, "--for", "plate.pairs", "--target", "margin=15"},
        std::vector<std::string>{"simulate", file},
        std::vector<std::string>{"simulate", file, "--load", "90:100:10"}}) {
    const Outcome r = run(command);
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_NE(r.out.find(file + ": "), std::string::npos) << command[0] << "\n" << r.out;
  }
}

TEST(OffDesignCli, TheWholeCommandIsBoundedInEvaluations) {
  const Outcome r = run({"simulate", kExamples + "boiler-loads.json", "--format", "csv"}, 15);
  EXPECT_EQ(r.code, 1);
  EXPECT_NE(r.err.find("stopped after 15 evaluations, the bound of one command"), std::string::npos)
      << r.err;
  EXPECT_NE(r.err.find("not answered"), std::string::npos);
}

TEST(OffDesignCli, AProgressBarOnATerminalOnly) {
  const std::string loads = kExamples + "boiler-loads.json";
  for (const bool terminal : {true, false}) {
    for (const auto& [arguments, bar] :
         {std::pair{std::vector<std::string>{"solve", loads, "--for", "plate.pairs", "--target",
                                             "margin=10"},
                    "] 100% 3/3\n"},
          std::pair{std::vector<std::string>{"simulate", kDefault, "--load", "50:100:10"},
                    "] 100% 6/6\n"}}) {
      SCOPED_TRACE(arguments[0] + (terminal ? " on a terminal" : ""));
      ::testing::internal::CaptureStderr();
      const Outcome r = run(arguments, study::kMaxDesigns, terminal);
      const std::string drawn = ::testing::internal::GetCapturedStderr();
      EXPECT_EQ(r.code, 0) << r.err;
      EXPECT_EQ(drawn.find(bar) != std::string::npos, terminal) << drawn;
      if (!terminal) {
        EXPECT_EQ(drawn, "");
      }
    }
  }
}

TEST_F(Scratch, ThePerformanceCurveIsDrawn) {
  const Outcome svg = run({"simulate", kDefault, "--load", "40:100:20", "--plot", path("curve.svg"),
                           "-o", path("curve.csv")});
  ASSERT_EQ(svg.code, 0) << svg.err;
  EXPECT_TRUE(svg.err.empty());
  std::stringstream drawn;
  drawn << std::ifstream(path("curve.svg")).rdbuf();
  for (const char* part : {"<svg", "烟气出口温度", "空气出口温度", "冷端壁温min", "设计负荷"})
    EXPECT_NE(drawn.str().find(part), std::string::npos) << part;
  const Outcome png = run({"simulate", kDefault, "--load", "40:100:20", "--plot", path("curve.png"),
                           "-o", path("curve.csv")});
  ASSERT_EQ(png.code, 0) << png.err;
  std::string magic(8, '\0');
  std::ifstream(path("curve.png"), std::ios::binary).read(magic.data(), 8);
  EXPECT_EQ(magic, "\x89PNG\r\n\x1a\n");
}

// The files every command writes: an output that is one of the command's inputs, or the same file
// as another of its outputs, is refused before anything is read or written, however the names
// are spelled; an output replaces its file only when complete.
std::string contents(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

TEST_F(Scratch, AnOutputThatIsAnInputOrAnotherOutputIsRefused) {
  const std::string original = contents(kDefault);
  const std::string input = write("my.json", original);
  fs::create_directory(path("sub"));
  fs::create_hard_link(input, path("hard.json"));
  fs::create_symlink(input, path("link.svg"));
  fs::create_symlink("my.json", path("relative-link.json"));
  fs::create_symlink("new.svg", path("dangling.svg"));        // leads to a file not yet made
  const std::string relative = fs::relative(input).string();  // "../../tmp/…/my.json"
  const std::string vary = "plate.pairs=100:110:10";
  struct Row {
    std::vector<std::string> arguments;
    const char* message;
  };
  for (const Row& row : {
           Row{{"rate", input, "-o", input}, "the same file as the case file"},
           Row{{"rate", kDefault, input, "-o", relative}, "the same file as the case file"},
           Row{{"rate", input, "--format", "xlsx", "-o", path("sub/../my.json")},
               "the same file as the case file"},
           Row{{"solve", input, "--for", "plate.pairs", "--target", "margin=15", "-o",
                path("./hard.json")},
               "the same file as the case file"},
           Row{{"simulate", input, "--format", "xlsx", "-o", path("relative-link.json")},
               "the same file as the case file"},
           Row{{"simulate", input, "--load", "50:100:50", "-o", path("out.csv"), "--plot",
                path("link.svg")},
               "the same file as the case file"},
           Row{{"sweep", input, "--vary", vary, "-o", path("hard.json")},
               "the same file as the case file"},
           Row{{"sweep", input, "--vary", vary, "--plot", path("link.svg")},
               "the same file as the case file"},
           Row{{"report", input, "-o", path("sub/./../my.json")}, "the same file as the case file"},
           Row{{"simulate", input, "--load", "50:100:50", "-o", path("same.png"), "--plot",
                path("same.png")},
               "the same file as -o"},
           Row{{"sweep", input, "--vary", vary, "-o", path("sp.svg"), "--plot",
                path("sub/../sp.svg")},
               "the same file as -o"},
           Row{{"sweep", input, "--vary", vary, "-o", path("new.svg"), "--plot",
                path("dangling.svg")},
               "the same file as -o"},
       }) {
    SCOPED_TRACE(row.arguments[0] + " " + row.arguments.back());
    const Outcome r = run(row.arguments);
    EXPECT_EQ(r.code, 2) << r.err;
    EXPECT_NE(r.err.find(row.message), std::string::npos) << r.err;
    const std::string& output = row.arguments.back();
    EXPECT_NE(r.err.find(output), std::string::npos) << "names the output: " << r.err;
    EXPECT_EQ(contents(input), original);
    for (const char* made : {"out.csv", "same.png", "sp.svg", "new.svg"})
      EXPECT_FALSE(fs::exists(path(made))) << made;
  }
  // Devices take several outputs, and a file of the same name in another folder is another file.
  fs::create_symlink("/dev/null", path("null.svg"));
  EXPECT_EQ(
      run({"sweep", input, "--vary", vary, "-o", "/dev/null", "--plot", path("null.svg")}).code, 0);
  EXPECT_EQ(
      run({"sweep", input, "--vary", vary, "-o", path("sub/sp.svg"), "--plot", path("sp.svg")})
          .code,
      0);
}

TEST_F(Scratch, AFailedRunLeavesTheFileThatWasThere) {
  const std::string book = write("book.xlsx", "the workbook of yesterday");
  // The workbook cannot be started without a folder for its temporary files.
  const char* before = std::getenv("TMPDIR");
  const std::string saved = before ? before : "";
  ::setenv("TMPDIR", path("no-such-folder").c_str(), 1);
  const Outcome r = run({"rate", kDefault, "--format", "xlsx", "-o", book});
  before ? ::setenv("TMPDIR", saved.c_str(), 1) : ::unsetenv("TMPDIR");
  EXPECT_EQ(r.code, 1);
  EXPECT_NE(r.err.find("book.xlsx: cannot write the workbook (no folder"), std::string::npos)
      << r.err;
  EXPECT_EQ(contents(book), "the workbook of yesterday");
  EXPECT_EQ(std::distance(fs::directory_iterator(dir_), fs::directory_iterator()), 1)
      << "no temporary file is left behind";
}

// A table written by `template` rates exactly what its source rates: every result of every load
// case, the file's name aside; the window's defaults rate as the example of the window as it
// opens. A CSV case file's encoding is told in the JSON, a JSON file's is not.
TEST_F(Scratch, ATemplateRatesWhatItsSourceRates) {
  const auto rated = [](const std::string& file) {
    const Outcome r = run({"rate", file, "--format", "json"});
    EXPECT_EQ(r.code, 0) << file << ": " << r.err;
    return json::parse(r.out, nullptr, false);
  };
  struct Row {
    std::string from, output, same;  // same: the file whose rating the template's must equal
  };
  const std::string boiler = kExamples + "boiler-loads.json";
  for (const Row& row :
       {Row{boiler, "loads.xlsx", boiler}, Row{boiler, "loads.csv", boiler},
        Row{kExamples + "multi-pass.json", "passes.XLSX", kExamples + "multi-pass.json"},
        Row{kExamples + "boiler-loads.csv", "from-csv.xlsx", boiler},
        Row{"", "defaults.xlsx", kDefault}, Row{"", "defaults.csv", kDefault}}) {
    std::vector<std::string> arguments = {"template", "-o", path(row.output)};
    if (!row.from.empty()) arguments.insert(arguments.end(), {"--from", row.from});
    const Outcome made = run(arguments);
    ASSERT_EQ(made.code, 0) << row.output << ": " << made.err;
    const json expected = rated(row.same), got = rated(path(row.output));
    ASSERT_EQ(got.size(), expected.size()) << row.output;
    for (std::size_t k = 0; k < got.size(); ++k) {
      EXPECT_EQ(got[k]["results"], expected[k]["results"]) << row.output << " case " << k;
      EXPECT_EQ(got[k]["status"], "ok") << row.output << " case " << k;
      if (!row.from.empty()) {
        EXPECT_EQ(got[k]["case"], expected[k]["case"]) << row.output;
      }
    }
  }
  EXPECT_EQ(rated(kExamples + "boiler-loads.csv")[0]["encoding"], "GB18030");
  EXPECT_EQ(rated(path("loads.csv"))[0]["encoding"], "UTF-8 with BOM");
  EXPECT_FALSE(rated(boiler)[0].contains("encoding"));
  // The template never writes over the case file it is made from.
  const std::string source = write("source.csv", "name,plate.pairs\nA,90\n");
  EXPECT_EQ(run({"template", "--from", source, "-o", source}).code, 2);
  EXPECT_EQ(run({"template", "--format", "xlsx"}).code, 2) << "a workbook needs -o";
}

// The field command refuses what it cannot show, naming the option, and tells a run that stops
// as rate does.
TEST_F(Scratch, FieldRefusals) {
  const std::string stops = write("stops.json", defaultWith({{"plate.pairs", "abc"}}));
  struct Row {
    std::vector<std::string> arguments;
    int code;
    std::string message;
  };
  for (const Row& row : std::vector<Row>{
           {{"field", kDefault, "--grid", "0"}, 2, "--grid 0: expected a whole number of cells"},
           {{"field", kDefault, "--grid", "513"}, 2, "from 1 to 512"},
           {{"field", kDefault, "--load", "80"}, 2, "--load: scales the flows"},
           {{"field", kDefault, "--cells"}, 2, "--cells: one row per cell is a CSV"},
           {{"field", kExamples + "boiler-loads.json"}, 2, "choose it with --case"},
           {{"field", stops, "--as-typed"}, 1, "the calculation stopped"},
       }) {
    const Outcome r = run(row.arguments);
    EXPECT_EQ(r.code, row.code) << row.message << r.err;
    EXPECT_NE(r.err.find(row.message), std::string::npos) << r.err;
  }
}

// The rating mode meets the case's flue-gas outlet, the field's duty balances on both streams,
// and in crossflow the coldest wall is the air face where the flue gas leaves and the air
// enters (x = 1, y = 0); every cell is a row of --cells.
TEST_F(Scratch, FieldOfTheRatedPlate) {
  json c = json::parse(defaultWith({{"flue_gas.acid_dew_point", 120}}));
  c["arrangement"] = "crossflow";
  const std::string file = write("cross.json", c.dump());
  const Outcome r = run({"field", file, "--format", "json"});
  ASSERT_EQ(r.code, 0) << r.err;
  const json f = json::parse(r.out).at(0);
  EXPECT_EQ(f.at("arrangement"), "crossflow");
  EXPECT_NEAR(f.at("flue_gas").at("outlet_temperature").get<double>(), 160, 1e-6);
  const double c1 = f.at("flue_gas").at("heat_capacity_rate"),
               c2 = f.at("air").at("heat_capacity_rate");
  // 294982.42 m³/h × 0.84 kg/m³ × 1.04 kJ/(kg·K) / 3600 s/h.
  EXPECT_NEAR(c1, 294982.42 * 0.84 * 1.04 / 3600, 1e-9);
  EXPECT_NEAR(f.at("duty").get<double>(), c1 * (350 - 160), 1e-6);
  EXPECT_NEAR(f.at("duty").get<double>(),
              c2 * (f.at("air").at("outlet_temperature").get<double>() - 40), 1e-6);
  const json& low = f.at("wall").at("min");
  EXPECT_EQ(low.at("x"), 1.0);
  EXPECT_EQ(low.at("y"), 0.0);
  EXPECT_EQ(low.at("side"), "air");
  EXPECT_EQ(f.at("acid_dew_point"), 120);
  EXPECT_TRUE(f.at("water_dew_point").is_null());
  EXPECT_NEAR(f.at("area_below_acid_dew_point_fraction").get<double>() * f.at("area").get<double>(),
              f.at("area_below_acid_dew_point").get<double>(), 1e-9);

  const Outcome cells = run({"field", file, "--format", "csv", "--cells", "--grid", "20"});
  ASSERT_EQ(cells.code, 0) << cells.err;
  EXPECT_EQ(std::count(cells.out.begin(), cells.out.end(), '\n'), 1 + 20 * 20);
  // The picture is drawn on 64 × 64 cells unless --grid says otherwise; the dew point's isotherm,
  // crossing the plate once, is one dashed line on any grid (a dash restarted on every cell's
  // piece of it looks solid).
  for (const std::string grid : {"", "128"}) {
    std::vector<std::string> arguments = {"field", file,     "--format",
                                          "json",  "--plot", path("map.svg")};
    if (!grid.empty()) arguments.insert(arguments.end(), {"--grid", grid});
    const Outcome svg = run(arguments);
    ASSERT_EQ(svg.code, 0) << svg.err;
    const int cells = grid.empty() ? 64 : 128;
    EXPECT_EQ(json::parse(svg.out).at(0).at("grid"),
              json::parse("[[" + std::to_string(cells) + "," + std::to_string(cells) + "]]"));
    std::ifstream picture(path("map.svg"));
    const std::string text((std::istreambuf_iterator<char>(picture)), {});
    EXPECT_NE(text.find("酸露点"), std::string::npos);
    std::istringstream elements(text);
    int dashed = 0;
    for (std::string line; std::getline(elements, line);)
      dashed += line.starts_with("<polyline") && line.find("stroke-dasharray") != line.npos;
    EXPECT_EQ(dashed, 1) << grid;
  }
}

}  // namespace
}  // namespace aph::cli
