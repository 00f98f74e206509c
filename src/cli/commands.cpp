#include "cli/commands.hpp"

#include <unistd.h>

#include <CLI/CLI.hpp>
#include <fstream>
#include <iostream>

#include "model/text.hpp"
#include "render/qt_canvas.hpp"
#include "render/report.hpp"
#include "study/case_file.hpp"
#include "study/rate.hpp"
#include "study/size.hpp"
#include "study/sweep.hpp"

namespace aph::cli {

using namespace aph::study;
using namespace aph::render;

struct BatchCommands::Options {
  CLI::App* rate = nullptr;
  CLI::App* sweep = nullptr;
  CLI::App* size = nullptr;
  CLI::App* report = nullptr;

  std::vector<std::string> files;
  std::string file;
  std::string format = "table";
  std::string output;
  std::string plot;
  std::string choice;  // --case
  std::vector<std::string> vary;
  std::string sizeKey;
  std::string margin = "0:30";
  double maxDrop = 500;
  std::string range;
  unsigned threads = 0;
};

namespace {

constexpr const char* kProgram = "aphcalc-cli: ";

// A usage error: told on stderr, exit code 2.
struct UsageError {
  std::string message;
};

// The one case of a file that sweep, size and report work on.
Case chooseCase(const std::string& file, const std::string& choice) {
  std::vector<Case> cases = loadCases(file);
  if (choice.empty()) {
    if (cases.size() == 1) return cases[0];
    std::string names;
    for (const Case& c : cases) names += (names.empty() ? "" : ", ") + c.name;
    throw UsageError{file + ": holds " + std::to_string(cases.size()) + " load cases (" + names +
                     "); choose one with --case NAME or --case NUMBER"};
  }
  for (const Case& c : cases)
    if (c.name == choice) return c;
  const auto number = readWholeNumber(choice);
  if (number && *number >= 1 && *number <= static_cast<double>(cases.size()) &&
      *number == static_cast<double>(static_cast<std::size_t>(*number)))
    return cases[static_cast<std::size_t>(*number) - 1];
  throw UsageError{file + ": --case " + choice + ": no load case of that name or number"};
}

// Standard output, or the file -o names.
class Output {
 public:
  explicit Output(const std::string& path) {
    if (path.empty() || path == "-") return;
    file_.open(path, std::ios::binary);
    if (!file_) throw UsageError{path + ": cannot write the output file"};
  }
  std::ostream& stream() { return file_.is_open() ? file_ : std::cout; }

 private:
  std::ofstream file_;
};

std::string plotKind(const std::string& path) {
  if (path.size() > 4) {
    std::string ext = path.substr(path.size() - 4);
    for (char& ch : ext) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
    if (ext == ".png" || ext == ".svg") return ext.substr(1);
  }
  throw UsageError{"--plot " + path + ": the chart is written as .png or .svg"};
}

int rateCommand(BatchCommands::Options& o);
int sweepCommand(BatchCommands::Options& o);
int sizeCommand(BatchCommands::Options& o);
int reportCommand(BatchCommands::Options& o);

int rateCommand(BatchCommands::Options& o) {
  std::vector<Case> cases;
  for (const std::string& file : o.files) {
    std::vector<Case> more = loadCases(file);
    cases.insert(cases.end(), more.begin(), more.end());
  }
  Output out(o.output);
  const std::vector<RatedCase> rated = rateAll(cases);
  if (o.format == "json") {
    out.stream() << rateJson(rated).dump(2) << "\n";
  } else if (o.format == "csv") {
    out.stream() << rateCsv(rated);
  } else {
    const bool color = o.output.empty() && isatty(STDOUT_FILENO);
    out.stream() << rateTable(rated, color);
  }
  int code = 0;
  for (const RatedCase& r : rated) {
    if (r.run.status.completed) continue;
    code = 1;
    std::string text;
    for (const std::string& m : r.run.status.messages) text += (text.empty() ? "" : " / ") + m;
    std::cerr << kProgram << r.input.file << ": " << r.input.name << ": the calculation stopped"
              << (text.empty() ? "" : ": " + text) << "\n";
  }
  return code;
}

int sweepCommand(BatchCommands::Options& o) {
  SweepPlan plan{chooseCase(o.file, o.choice), {}};
  for (const std::string& v : o.vary) plan.axes.push_back(parseVary(v));
  checkSweep(plan);
  const std::string kind = o.plot.empty() ? "" : plotKind(o.plot);
  Output out(o.output);
  SweepOptions options;
  options.threads = o.threads;
  options.progress = isatty(STDERR_FILENO);
  const auto values = runSweep(plan, &out.stream(), options);
  if (!kind.empty()) {
    const ChartData chart = sweepChart(plan, values);
    if (kind == "svg") {
      std::ofstream svg(o.plot, std::ios::binary);
      svg << chartSvg(chart);
      if (!svg) throw UsageError{o.plot + ": cannot write the chart"};
    } else if (const std::string error = writeChartPng(chart, o.plot); !error.empty()) {
      throw UsageError{o.plot + ": " + error};
    }
  }
  return 0;
}

std::pair<double, double> parseBand(const std::string& text) {
  const auto colon = text.find(':');
  const auto low = readWholeNumber(text.substr(0, colon));
  const auto high =
      colon == std::string::npos ? std::nullopt : readWholeNumber(text.substr(colon + 1));
  if (!low || !high || *low > *high || text.substr(0, colon).empty() ||
      text.substr(colon + 1).empty())
    throw UsageError{"--margin " + text + ": expected LOW:HIGH in %, LOW not above HIGH"};
  return {*low, *high};
}

int sizeCommand(BatchCommands::Options& o) {
  const Case base = chooseCase(o.file, o.choice);
  const auto key = findKey(o.sizeKey);
  if (!key) throw UsageError{"--vary " + o.sizeKey + ": not a case-file key"};
  Axis candidates = defaultSizingAxis(*key);
  if (!o.range.empty()) candidates = parseVary(o.sizeKey + "=" + o.range);
  Limits limits;
  std::tie(limits.marginLow, limits.marginHigh) = parseBand(o.margin);
  limits.maxDrop = o.maxDrop;
  const SizeResult result = sizeDesign(base, candidates, limits, o.threads);
  std::cout << describeSizing(base, candidates, limits, result);
  return result.found ? 0 : 1;
}

int reportCommand(BatchCommands::Options& o) {
  const Case c = chooseCase(o.file, o.choice);
  if (const std::string error = writeReport(c, o.output); !error.empty()) throw UsageError{error};
  const CaseRun run = rateCase(c);
  if (!run.status.completed) {
    std::cerr << kProgram << c.file << ": " << c.name << ": the calculation stopped";
    for (const std::string& m : run.status.messages) std::cerr << ": " << m;
    std::cerr << "\n";
    return 1;
  }
  return 0;
}

}  // namespace

BatchCommands::BatchCommands(CLI::App& app) : options_(std::make_unique<Options>()) {
  Options& o = *options_;
  o.rate = app.add_subcommand("rate", "Rate the cases of case files and print them side by side");
  o.rate->add_option("cases", o.files, "Case files (JSON); a file may hold a list of load cases")
      ->required();
  o.rate->add_option("--format", o.format, "Output: the window's table, JSON or CSV")
      ->check(CLI::IsMember({"table", "json", "csv"}));
  o.rate->add_option("-o,--output", o.output, "Write to this file instead of standard output");

  o.sweep = app.add_subcommand("sweep", "Rate a case over a grid of one or two varied keys (CSV)");
  o.sweep->add_option("case", o.file, "Case file (JSON)")->required();
  o.sweep
      ->add_option("--vary", o.vary,
                   "KEY=FROM:TO:STEP or KEY=V1,V2,... (a dotted case-file key, e.g. plate.pairs)")
      ->required();
  o.sweep->add_option("-o,--output", o.output, "Write the CSV to this file");
  o.sweep->add_option("--plot", o.plot, "Chart of margin and pressure drops (.png or .svg)");
  o.sweep->add_option("--case", o.choice, "Load case (name or number) of a list");
  o.sweep->add_option("--threads", o.threads, "Worker threads (default: every core)");

  o.size = app.add_subcommand(
      "size",
      "Smallest value of a plate-pack parameter meeting the margin band and the drop limit");
  o.size->add_option("case", o.file, "Case file (JSON)")->required();
  o.size
      ->add_option("--vary", o.sizeKey,
                   "plate.pairs, flue_gas|air.channel_length, .channel_width or .channel_gap")
      ->required();
  o.size->add_option("--margin", o.margin, "Margin band LOW:HIGH in % (default 0:30)");
  o.size->add_option("--max-dp", o.maxDrop,
                     "Largest pressure drop of each side in Pa (default 500)");
  o.size->add_option("--range", o.range, "Candidate values FROM:TO:STEP or V1,V2,...");
  o.size->add_option("--case", o.choice, "Load case (name or number) of a list");
  o.size->add_option("--threads", o.threads, "Worker threads (default: every core)");

  o.report = app.add_subcommand("report", "One-page rating datasheet (PDF, Chinese)");
  o.report->add_option("case", o.file, "Case file (JSON)")->required();
  o.report->add_option("-o,--output", o.output, "The PDF file to write")->required();
  o.report->add_option("--case", o.choice, "Load case (name or number) of a list");
}

BatchCommands::~BatchCommands() = default;

std::optional<int> BatchCommands::run() {
  Options& o = *options_;
  try {
    if (*o.rate) return rateCommand(o);
    if (*o.sweep) return sweepCommand(o);
    if (*o.size) return sizeCommand(o);
    if (*o.report) return reportCommand(o);
  } catch (const CaseError& e) {
    std::cerr << kProgram << e.what() << "\n";
    return 2;
  } catch (const SweepError& e) {
    std::cerr << kProgram << e.what() << "\n";
    return 2;
  } catch (const UsageError& e) {
    std::cerr << kProgram << e.message << "\n";
    return 2;
  }
  return std::nullopt;
}

}  // namespace aph::cli
