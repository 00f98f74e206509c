#include "cli/offdesign.hpp"

#include <CLI/CLI.hpp>
#include <algorithm>
#include <functional>

#include "cli/batch_support.hpp"
#include "model/text.hpp"
#include "render/curve_chart.hpp"
#include "study/case_input/case_file.hpp"
#include "study/outputs/answers.hpp"
#include "study/studies/sweep.hpp"

namespace aph::cli {

using namespace aph::study;

struct OffDesignCommands::Options {
  BatchIo* io = nullptr;
  std::optional<std::string> standardInput;  // read once, for every "-"
  std::size_t budget = 0;                    // evaluations left to the command

  CLI::App* solve = nullptr;
  CLI::App* simulate = nullptr;

  std::string file;
  std::string choice;  // --case
  std::string format = "table";
  std::string output;
  std::string plot;
  std::string key;                     // --for
  std::string target;                  // --target
  std::string range;                   // --range
  std::string load;                    // --load
  std::string dewPointMargin;          // --dew-point-margin; empty: each case's own
  std::string balanceTolerance = "5";  // --balance-tolerance
  bool bom = false;                    // --bom
  bool asTyped = false;
};

namespace {

constexpr const char* kProgram = "aphcalc-cli: ";

using Options = OffDesignCommands::Options;

ReadOptions readOptions(const Options& o) {
  ReadOptions options;
  options.asTyped = o.asTyped;
  return options;
}

std::string caseText(Options& o) {
  return caseFileText(*o.io, o.standardInput, o.file);
}

// Visits every case of the file, or the one --case chooses (by name, else by number); the whole
// file is checked first. Returns how many cases are (or would be) visited.
std::size_t visitChosen(Options& o, const std::function<void(Case&&)>& visit) {
  const std::string text = caseText(o);
  const std::string label = caseFileLabel(o.file);
  std::optional<std::size_t> chosen;
  if (!o.choice.empty()) {
    const auto number = readWholeNumber(o.choice);
    std::optional<std::size_t> byName, byNumber;
    std::size_t count = 0;
    visitCases(
        text, label,
        [&](Case&& c) {
          ++count;
          if (!byName && c.name == o.choice) byName = count;
          if (!byNumber && number && *number == static_cast<double>(count)) byNumber = count;
        },
        readOptions(o));
    chosen = byName ? byName : byNumber;
    if (!chosen)
      throw UsageError{label + ": --case " + shortened(o.choice) +
                       ": no load case of that name or number"};
  }
  std::size_t index = 0, visited = 0;
  visitCases(
      text, label,
      [&](Case&& c) {
        ++index;
        if (chosen && *chosen != index) return;
        ++visited;
        if (visit) visit(std::move(c));
      },
      readOptions(o));
  return visited;
}

RateFormat rateFormat(const Options& o) {
  return o.format == "json"   ? RateFormat::Json
         : o.format == "csv"  ? RateFormat::Csv
         : o.format == "xlsx" ? RateFormat::Xlsx
                              : RateFormat::Table;
}

// The design checks' settings, the CSV's marker and the workbook's file, checked before
// anything is read.
CheckSettings checkedOutputOptions(const Options& o, const std::string& command) {
  const CheckSettings checks = designCheckSettings(o.dewPointMargin, o.balanceTolerance);
  checkBom(o.bom, command, o.format);
  if (o.format == "xlsx") checkWorkbookOutput(*o.io, o.output, command);
  return checks;
}

// Tells why the command stopped before every case was answered.
void budgetSpent(BatchIo& io, std::size_t skipped) {
  *io.err << kProgram << "stopped after " << io.maxDesigns
          << " evaluations, the bound of one command: " << skipped << " case"
          << (skipped == 1 ? "" : "s") << " not answered\n";
}

int solveInto(Options& o, GoalSeekRequest& request, const CheckSettings& checks, Output& out,
              std::size_t count);

int solveCommand(Options& o) {
  BatchIo& io = *o.io;
  checkOutputFiles({o.file}, {{"-o", o.output}});
  const auto key = findKey(o.key);
  if (!key) throw UsageError{"--for " + shortened(o.key) + ": not a case-file key"};
  GoalSeekRequest request;
  request.key = *key;
  request.asTyped = o.asTyped;
  const GoalTarget goal = parseGoalTarget(o.target);
  request.result = goal.result;
  request.condition = goal.condition;
  request.target = goal.target;
  if (!o.range.empty()) {
    const ValueRange range =
        withOption("--range", [&] { return parseRange(o.range, RangeForm::Span); });
    request.range = {range.from, range.to};
  }
  const CheckSettings checks = checkedOutputOptions(o, "solve");

  // Every case is checked against the request before anything is rated or written.
  const std::size_t count = visitChosen(o, [&](Case&& c) { (void)checkGoalSeek(c, request); });
  if (o.format == "xlsx") checkSheetRows(count);
  Output out(io, o.output);
  try {
    return solveInto(o, request, checks, out, count);
  } catch (const XlsxError& e) {
    throw workbookFault(out, e);
  }
}

int solveInto(Options& o, GoalSeekRequest& request, const CheckSettings& checks, Output& out,
              std::size_t count) {
  BatchIo& io = *o.io;
  AnswerWriter writer(out.stream(), rateFormat(o), o.output.empty() && io.outIsTerminal, false,
                      checks, o.bom);
  int code = 0;
  std::size_t skipped = 0, done = 0;
  ProgressBar bar(io.errIsTerminal, count, io.progressAfter);
  visitChosen(o, [&](Case&& c) {
    bar.update(done++);
    if (o.budget == 0) {
      ++skipped;
      return;
    }
    request.maxEvaluations = std::min(kMaxSolveEvaluations, o.budget);
    const GoalSeekAnswer a = seekGoal(c, request);
    o.budget -= std::min(a.evaluations, o.budget);
    if (a.status != SolutionStatus::Found && a.status != SolutionStatus::Grid) {
      code = 1;
      bar.clear();
      *io.err << kProgram << c.file << ": " << c.name << ": " << a.resultName << " "
              << conditionText(a.condition) << " " << gridText(a.target) << " by "
              << caseKey(a.key).path << ": "
              << (a.status == SolutionStatus::Bound
                      ? "not settled within the bound of " + std::to_string(a.evaluations) +
                            " evaluations"
                      : "not reachable over " + a.low.text + "…" + a.high.text)
              << "\n";
    }
    writer.add(a);
    out.check();
  });
  bar.finish();
  writer.finish();
  out.close();
  if (skipped) {
    budgetSpent(io, skipped);
    code = 1;
  }
  return code;
}

int simulateInto(Options& o, const std::vector<double>& loads, const std::string& kind,
                 const CheckSettings& checks, Output& out, std::size_t count);

int simulateCommand(Options& o) {
  BatchIo& io = *o.io;
  checkOutputFiles({o.file}, {{"-o", o.output}, {"--plot", o.plot}});
  // An empty --load is refused as any other malformed one, not taken as no load curve.
  const bool loadGiven = o.simulate->count("--load") > 0;
  const std::vector<double> loads =
      loadGiven ? withOption("--load", [&] { return parseLoads(o.load); }) : std::vector<double>{};
  const std::string kind = o.plot.empty() ? "" : plotKind(o.plot);
  const CheckSettings checks = checkedOutputOptions(o, "simulate");
  if (!kind.empty() && loads.empty())
    throw UsageError{
        "--plot: the performance curve is drawn against load; give --load FROM:TO:STEP"};
  const std::size_t count = visitChosen(o, [&](Case&& c) {
    // Refuses a case without flows to scale, and a load that scales a flow beyond a double.
    for (double load : loads) (void)loadCase(c, load);
  });
  if (!loads.empty() && count > 1)
    throw UsageError{caseFileLabel(o.file) + ": holds " + std::to_string(count) +
                     " load cases; --load scales one: choose it with --case NAME or --case NUMBER"};
  if (o.format == "xlsx") checkSheetRows(loads.empty() ? count : loads.size());

  Output out(io, o.output);
  try {
    return simulateInto(o, loads, kind, checks, out, loads.empty() ? count : loads.size());
  } catch (const XlsxError& e) {
    throw workbookFault(out, e);
  }
}

int simulateInto(Options& o, const std::vector<double>& loads, const std::string& kind,
                 const CheckSettings& checks, Output& out, std::size_t count) {
  BatchIo& io = *o.io;
  AnswerWriter writer(out.stream(), rateFormat(o), o.output.empty() && io.outIsTerminal,
                      !loads.empty(), checks, o.bom);
  int code = 0;
  std::size_t skipped = 0;
  std::vector<OperatingPoint> points;
  std::string chartName;
  std::size_t done = 0;
  ProgressBar bar(io.errIsTerminal, count, io.progressAfter);
  auto answer = [&](const Case& c, std::optional<double> load) {
    bar.update(done++);
    if (o.budget == 0) {
      ++skipped;
      return;
    }
    SimulateOptions options;
    options.asTyped = o.asTyped;
    options.maxEvaluations = std::min(kMaxSimulateEvaluations, o.budget);
    OffDesignAnswer a = simulateCase(load ? loadCase(c, *load) : c, options);
    a.load = load;
    o.budget -= std::min(a.evaluations, o.budget);
    if (a.status != SolutionStatus::Found && a.status != SolutionStatus::Grid) {
      code = 1;
      bar.clear();
      *io.err << kProgram << c.file << ": " << c.name
              << (load ? " at " + gridText(*load) + " % load" : "") << ": "
              << (a.status == SolutionStatus::Bound ? "not settled: " : "no solution: ") << a.reason
              << "\n";
    }
    if (!kind.empty()) points.push_back(operatingPoint(a, checks));
    writer.add(a);
    out.check();
  };
  visitChosen(o, [&](Case&& c) {
    if (loads.empty()) return answer(c, std::nullopt);
    chartName = c.name;
    for (double load : loads) answer(c, load);
  });
  bar.finish();
  writer.finish();
  out.close();
  if (skipped) {
    budgetSpent(io, skipped);
    code = 1;
  }
  if (!kind.empty()) {
    const PerformanceChart chart = performanceChart(points, chartName);
    const bool any = std::any_of(chart.curves.begin(), chart.curves.end(),
                                 [](const Curve& c) { return !c.points.empty(); });
    if (!any) {
      *io.err << kProgram << "no load has a solution; no chart is drawn\n";
      return 1;
    }
    if (kind == "svg") {
      writeFile(io, o.plot, render::performanceSvg(chart));
    } else {
      const auto png = render::performancePng(chart);
      if (!png) throw WriteError{o.plot + ": cannot draw the chart"};
      writeFile(io, o.plot, *png);
    }
  }
  return code;
}

}  // namespace

OffDesignCommands::OffDesignCommands(CLI::App& app, BatchIo& io)
    : options_(std::make_unique<Options>()) {
  Options& o = *options_;
  o.io = &io;
  const char* asTyped =
      "Take every value as typed, as the window does: no range checks (for reproducing a "
      "window session exactly)";
  o.solve = app.add_subcommand(
      "solve", "Goal seek: the value of one key at which a result of the rating reaches a target");
  o.solve->add_option("case", o.file, "Case file (JSON), - for standard input")->required();
  o.solve
      ->add_option("--for", o.key,
                   "The key to solve for (a dotted case-file key, e.g. plate.pairs)")
      ->required();
  o.solve
      ->add_option("--target", o.target,
                   "RESULT=VALUE, RESULT>=VALUE or RESULT<=VALUE (a result name of rate's CSV, "
                   "e.g. margin=15 or margin>=15)")
      ->required();
  o.solve->add_option("--range", o.range, "FROM:TO searched (default: the key's own range)");
  o.solve->add_option("--case", o.choice, "Load case (name or number); default: every case");
  const char* format = "Output: table, JSON, CSV or an Excel workbook (xlsx, with -o)";
  o.solve->add_option("--format", o.format, format)
      ->check(CLI::IsMember({"table", "json", "csv", "xlsx"}));
  o.solve->add_option("-o,--output", o.output, "Write to this file instead of standard output");
  o.solve->add_flag("--as-typed", o.asTyped, asTyped);

  o.simulate = app.add_subcommand(
      "simulate",
      "Off-design rating: the outlet temperatures at which the margin is 0 and the heat "
      "balance closes");
  o.simulate->add_option("case", o.file, "Case file (JSON), - for standard input")->required();
  o.simulate->add_option("--case", o.choice, "Load case (name or number); default: every case");
  o.simulate->add_option("--load", o.load,
                         "FROM:TO:STEP in % of the case's flows: one answer per load");
  o.simulate->add_option("--format", o.format, format)
      ->check(CLI::IsMember({"table", "json", "csv", "xlsx"}));
  o.simulate->add_option("-o,--output", o.output, "Write to this file instead of standard output");
  o.simulate->add_option("--plot", o.plot,
                         "Performance curve against load (.png or .svg; needs --load)");
  o.simulate->add_flag("--as-typed", o.asTyped, asTyped);
  for (CLI::App* command : {o.solve, o.simulate}) {
    command->add_option("--dew-point-margin", o.dewPointMargin,
                        "Margin in K the cold-end flue-gas-side wall must keep above the acid "
                        "dew point (default: each case's limits.dew_point_margin, else 0)");
    command->add_option("--balance-tolerance", o.balanceTolerance,
                        "Largest disagreement of the two heat duties, (Q1 - Q2) / Q2, in % either "
                        "way (default 5)");
    command->add_flag(
        "--bom", o.bom,
        "Start the CSV with the UTF-8 byte-order mark, for spreadsheets that need it");
  }
}

OffDesignCommands::~OffDesignCommands() = default;

std::optional<int> OffDesignCommands::run() {
  Options& o = *options_;
  o.budget = o.io->maxDesigns;
  try {
    if (*o.solve) return solveCommand(o);
    if (*o.simulate) return simulateCommand(o);
  } catch (const SolveError& e) {
    throw UsageError{e.what()};
  }
  return std::nullopt;
}

}  // namespace aph::cli
