#include "cli/field_command.hpp"

#include <CLI/CLI.hpp>

#include "cli/batch_support.hpp"
#include "model/text.hpp"
#include "render/field_map.hpp"
#include "study/case_input/case_file.hpp"
#include "study/checks/design_checks.hpp"
#include "study/outputs/field_output.hpp"
#include "study/studies/rate.hpp"
#include "study/studies/simulate.hpp"

namespace aph::cli {

using namespace aph::study;

struct FieldCommand::Options {
  BatchIo* io = nullptr;
  std::optional<std::string> standardInput;
  CLI::App* field = nullptr;
  std::string file;
  std::string choice;  // --case
  std::string format = "table";
  std::string output;
  std::string plot;
  std::string grid;  // --grid; empty: the design checks' grid
  std::string load;  // --load
  bool simulate = false;
  bool cells = false;
  bool asTyped = false;
};

namespace {

constexpr const char* kProgram = "aphcalc-cli: ";

using Options = FieldCommand::Options;

int gridOption(const Options& o) {
  if (o.grid.empty()) return 0;
  const auto n = readWholeNumber(o.grid);
  if (!n || *n < 1 || *n > kMaxFieldGridOption)
    throw UsageError{"--grid " + shortened(o.grid) +
                     ": expected a whole number of cells from 1 to " +
                     std::to_string(kMaxFieldGridOption)};
  return static_cast<int>(*n);
}

std::optional<double> loadOption(const Options& o) {
  if (o.field->count("--load") == 0) return std::nullopt;
  if (!o.simulate)
    throw UsageError{"--load: scales the flows of an operating point; give --simulate with it"};
  const std::vector<double> loads = withOption("--load", [&] { return parseLoads(o.load); });
  if (loads.size() != 1)
    throw UsageError{"--load " + shortened(o.load) + ": the field takes one load, in %"};
  return loads.front();
}

// The load cases of the file, or the one --case chooses.
std::vector<Case> chosenCases(Options& o) {
  const std::string text = caseFileText(*o.io, o.standardInput, o.file);
  const std::string label = caseFileLabel(o.file);
  ReadOptions read;
  read.asTyped = o.asTyped;
  std::vector<Case> all;
  visitCases(
      text, label, [&](Case&& c) { all.push_back(std::move(c)); }, read);
  if (o.choice.empty()) return all;
  for (Case& c : all)
    if (c.name == o.choice) return {std::move(c)};
  const auto number = readWholeNumber(o.choice);
  if (number && *number >= 1 && *number <= static_cast<double>(all.size()))
    return {std::move(all[static_cast<std::size_t>(*number) - 1])};
  throw UsageError{label + ": --case " + shortened(o.choice) +
                   ": no load case of that name or number"};
}

struct Computed {
  std::optional<FieldReport> report;
  std::string error;
};

Computed computeField(const Options& o, const Case& c, std::optional<double> load, int grid) {
  const DewPoints dew = caseDewPoints(c);
  if (!o.simulate) {
    const CaseRun run = rateCase(c);
    const Rating& r = run.window.rating();
    if (!run.status.completed) {
      std::string text;
      for (const std::string& m : run.status.messages) text += (text.empty() ? "" : " / ") + m;
      return {std::nullopt, "the calculation stopped" + (text.empty() ? "" : ": " + text)};
    }
    FieldReportOutcome f = fieldReport(r, FieldMode::Rating, grid, dew.acid, dew.water);
    return {std::move(f.report), f.error};
  }
  SimulateOptions options;
  options.asTyped = o.asTyped;
  const OffDesignAnswer a = simulateCase(load ? loadCase(c, *load) : c, options);
  if (a.status != SolutionStatus::Found && a.status != SolutionStatus::Grid)
    return {std::nullopt,
            (a.status == SolutionStatus::Bound ? "not settled: " : "no solution: ") + a.reason};
  FieldReportOutcome f =
      fieldReport(a.rating.run.window.rating(), FieldMode::Operation, grid, dew.acid, dew.water);
  return {std::move(f.report), f.error};
}

int fieldCommand(Options& o) {
  BatchIo& io = *o.io;
  checkOutputFiles({o.file}, {{"-o", o.output}, {"--plot", o.plot}});
  const int grid = gridOption(o);
  const std::optional<double> load = loadOption(o);
  const std::string kind = o.plot.empty() ? "" : plotKind(o.plot);
  if (o.cells && o.format != "csv")
    throw UsageError{"--cells: one row per cell is a CSV; give --format csv"};
  std::vector<Case> cases = chosenCases(o);
  if (cases.size() > 1 && (o.format != "json" || !kind.empty()))
    throw UsageError{caseFileLabel(o.file) + ": holds " + std::to_string(cases.size()) +
                     " load cases; the field of one is shown (every one with --format json): "
                     "choose it with --case NAME or --case NUMBER"};
  // The picture's own grid is finer than the checks', unless --grid gives one.
  const int pictureGrid = grid ? grid : render::kFieldMapGrid;

  Output out(io, o.output);
  int code = 0;
  bool first = true;
  if (o.format == "csv") out.stream() << (o.cells ? fieldCellsCsvHeader() : fieldCsvHeader());
  nlohmann::ordered_json list = nlohmann::ordered_json::array();
  for (const Case& c : cases) {
    Computed computed = computeField(o, c, load, kind.empty() ? grid : pictureGrid);
    if (!computed.report && !kind.empty() &&
        !grid)  // too fine for nothing, too coarse: the checks'
      computed = computeField(o, c, load, 0);
    const FieldSubject subject{c.name, c.file, load};
    if (!computed.report) {
      code = 1;
      *io.err << kProgram << c.file << ": " << c.name << ": " << computed.error << "\n";
      continue;
    }
    const FieldReport& f = *computed.report;
    if (o.format == "json") {
      list.push_back(fieldJson(subject, f));
    } else if (o.format == "csv") {
      out.stream() << (o.cells ? fieldCellsCsv(subject, f) : fieldCsvRow(subject, f));
    } else {
      out.stream() << (first ? "" : "\n") << fieldTable(subject, f);
    }
    first = false;
    out.check();
    if (!kind.empty()) {
      const std::string title = "板面壁温分布：" + c.name;
      if (kind == "svg") {
        writeFile(io, o.plot, render::fieldMapSvg(f, title));
      } else {
        const auto png = render::fieldMapPng(f, title);
        if (!png) throw WriteError{o.plot + ": cannot draw the picture"};
        writeFile(io, o.plot, *png);
      }
    }
  }
  if (o.format == "json") out.stream() << list.dump(2) << "\n";
  out.close();
  return code;
}

}  // namespace

FieldCommand::FieldCommand(CLI::App& app, BatchIo& io) : options_(std::make_unique<Options>()) {
  Options& o = *options_;
  o.io = &io;
  o.field = app.add_subcommand(
      "field",
      "Temperature field of the plate: wall temperatures, coldest corner, area below the "
      "dew points");
  o.field->add_option("case", o.file, "Case file (JSON), - for standard input")->required();
  o.field->add_option("--case", o.choice, "Load case (name or number) of a list");
  o.field->add_flag("--simulate", o.simulate,
                    "The operating point simulate finds (actual film coefficients), not the plate "
                    "that delivers the stated duty");
  o.field->add_option("--load", o.load, "With --simulate: the load in % of the case's flows");
  o.field->add_option("--format", o.format, "Output: table, JSON (every load case) or CSV")
      ->check(CLI::IsMember({"table", "json", "csv"}));
  o.field->add_option("--grid", o.grid,
                      "Cells per section and direction, 1 to " +
                          std::to_string(kMaxFieldGridOption) +
                          " (default: the design checks' grid; the picture: " +
                          std::to_string(render::kFieldMapGrid) + ")");
  o.field->add_flag("--cells", o.cells, "With --format csv: one row per cell");
  o.field->add_option("--plot", o.plot, "Heat map of the wall temperature (.png or .svg)");
  o.field->add_option("-o,--output", o.output, "Write to this file instead of standard output");
  o.field->add_flag("--as-typed", o.asTyped,
                    "Take every value as typed, as the window does: no range checks");
}

FieldCommand::~FieldCommand() = default;

std::optional<int> FieldCommand::run() {
  Options& o = *options_;
  if (!*o.field) return std::nullopt;
  return fieldCommand(o);
}

}  // namespace aph::cli
