#include "cli/commands.hpp"

#include <unistd.h>

#include <CLI/CLI.hpp>
#include <algorithm>
#include <cctype>
#include <cmath>
#include <iostream>
#include <new>
#include <sstream>

#include "cli/batch_support.hpp"
#include "cli/field_command.hpp"
#include "cli/offdesign.hpp"
#include "model/text.hpp"
#include "render/qt_canvas.hpp"
#include "render/report.hpp"
#include "session/session.hpp"
#include "study/case_input/case_file.hpp"
#include "study/case_input/window_files.hpp"
#include "study/checks/design_checks.hpp"
#include "study/outputs/case_template.hpp"
#include "study/outputs/chart.hpp"
#include "study/outputs/xlsx.hpp"
#include "study/studies/rate.hpp"
#include "study/studies/size.hpp"
#include "study/studies/sweep.hpp"

namespace aph::cli {

using namespace aph::study;
using namespace aph::render;

struct BatchCommands::Options {
  BatchIo* io = nullptr;
  std::optional<std::string> standardInput;  // read once, for every "-"

  CLI::App* rate = nullptr;
  CLI::App* sweep = nullptr;
  CLI::App* size = nullptr;
  CLI::App* report = nullptr;
  CLI::App* caseTemplate = nullptr;

  std::vector<std::string> files;
  std::string file;
  std::string format = "table";     // rate
  std::string sweepFormat = "csv";  // sweep
  std::string output;
  std::string plot;
  std::string from;            // template --from
  std::string templateFormat;  // template --format; empty: by the name of -o
  std::string choice;          // --case
  std::vector<std::string> vary;
  std::string sizeKey;
  std::string margin = "0:30";
  std::string maxDrop = "500";
  std::string range;
  std::string dewPointMargin;          // --dew-point-margin; empty: each case's own
  std::string balanceTolerance = "5";  // --balance-tolerance
  bool bom = false;                    // --bom
  unsigned threads = 0;
  bool asTyped = false;
};

namespace {

constexpr const char* kProgram = "aphcalc-cli: ";

// A chart or a size search over more designs than this cannot show or tell anything more.
constexpr std::size_t kMaxChartDesigns = 1'000'000;
constexpr std::size_t kMaxSizeCandidates = 1'000'000;
// The option ranges that make sense for a preheater's limits.
constexpr double kMaxDropLimit = 1e6;  // Pa
constexpr double kMarginLimit = 1000;  // %, either way

using Options = BatchCommands::Options;

ReadOptions readOptions(const Options& o) {
  ReadOptions options;
  options.asTyped = o.asTyped;
  return options;
}

CheckSettings checkSettings(const Options& o) {
  return designCheckSettings(o.dewPointMargin, o.balanceTolerance);
}

// The text of a case file: standard input for "-" (read once, however often it is named).
std::string caseText(Options& o, const std::string& path) {
  return caseFileText(*o.io, o.standardInput, path);
}

// The one case of a file that sweep, size and report work on. Only the case chosen (and the
// names of the first few) are kept, however many the file holds.
Case chooseCase(Options& o) {
  const std::string text = caseText(o, o.file);
  const std::string label = caseFileLabel(o.file);
  const auto number = readWholeNumber(o.choice);
  std::optional<Case> byName, byNumber, first;
  std::vector<std::string> names;
  std::size_t count = 0;
  visitCases(
      text, label,
      [&](Case&& c) {
        ++count;
        if (names.size() < 8) names.push_back(c.name);
        if (o.choice.empty()) {
          if (count == 1) first = std::move(c);
          return;
        }
        if (!byName && c.name == o.choice) {
          byName = std::move(c);
        } else if (!byNumber && number && *number == static_cast<double>(count)) {
          byNumber = std::move(c);
        }
      },
      readOptions(o));
  if (o.choice.empty()) {
    if (count == 1) return std::move(*first);
    std::string list;
    for (const std::string& name : names) list += (list.empty() ? "" : ", ") + shortened(name);
    if (count > names.size()) list += ", …";
    throw UsageError{label + ": holds " + std::to_string(count) + " load cases (" + list +
                     "); choose one with --case NAME or --case NUMBER"};
  }
  if (byName) return std::move(*byName);
  if (byNumber) return std::move(*byNumber);
  throw UsageError{label + ": --case " + shortened(o.choice) +
                   ": no load case of that name or number"};
}

std::string stoppedText(const RunStatus& status) {
  std::string text;
  for (const std::string& m : status.messages) text += (text.empty() ? "" : " / ") + m;
  return text;
}

int rateInto(Options& o, Output& out, RateFormat format, const CheckSettings& checks);

int rateCommand(Options& o) {
  BatchIo& io = *o.io;
  checkOutputFiles(o.files, {{"-o", o.output}});
  const CheckSettings checks = checkSettings(o);
  checkBom(o.bom, "rate", o.format);
  const bool workbook = o.format == "xlsx";
  if (workbook) checkWorkbookOutput(*o.io, o.output, "rate");
  // Every file is read and checked before anything is rated, so that a fault anywhere refuses
  // the command before a line is written; then each is read again and rated case by case.
  std::size_t cases = 0;
  for (const std::string& file : o.files)
    cases += visitCases(caseText(o, file), caseFileLabel(file), nullptr, readOptions(o));
  if (workbook) checkSheetRows(cases);
  Output out(io, o.output);
  const RateFormat format = o.format == "json"  ? RateFormat::Json
                            : o.format == "csv" ? RateFormat::Csv
                            : workbook          ? RateFormat::Xlsx
                                                : RateFormat::Table;
  try {
    return rateInto(o, out, format, checks);
  } catch (const XlsxError& e) {
    throw workbookFault(out, e);
  }
}

int rateInto(Options& o, Output& out, RateFormat format, const CheckSettings& checks) {
  BatchIo& io = *o.io;
  RateWriter writer(out.stream(), format, o.output.empty() && io.outIsTerminal, checks, o.bom);
  int code = 0;
  for (const std::string& file : o.files) {
    visitCases(
        caseText(o, file), caseFileLabel(file),
        [&](Case&& c) {
          CaseRun run = rateCase(c);
          if (!run.status.completed) {
            code = 1;
            const std::string text = stoppedText(run.status);
            *io.err << kProgram << c.file << ": " << c.name << ": the calculation stopped"
                    << (text.empty() ? "" : ": " + text) << "\n";
          }
          writer.add({std::move(c), std::move(run)});
          out.check();
        },
        readOptions(o));
  }
  writer.finish();
  out.close();
  return code;
}

// The load cases sweep and size work on: the one --case picks, or every case of the file.
struct Loads {
  std::string text, label;
  std::size_t count = 0;
  std::optional<Case> chosen;
  bool several() const { return !chosen && count > 1; }
};

Loads readLoads(Options& o) {
  Loads loads;
  if (!o.choice.empty()) {
    loads.chosen = chooseCase(o);
    loads.count = 1;
    return loads;
  }
  loads.text = caseText(o, o.file);
  loads.label = caseFileLabel(o.file);
  loads.count = visitCases(loads.text, loads.label, nullptr, readOptions(o));
  return loads;
}

// Hands each load case in turn to `visit`: the file is read again, case by case, so that only
// one load case is held at a time.
void eachLoad(const Options& o, const Loads& loads, const CaseVisitor& visit) {
  if (loads.chosen) {
    visit(Case(*loads.chosen));
    return;
  }
  visitCases(loads.text, loads.label, visit, readOptions(o));
}

std::string loadCount(const Loads& loads) {
  return loads.several() ? " over " + std::to_string(loads.count) + " load cases" : "";
}

int sweepCommand(Options& o) {
  BatchIo& io = *o.io;
  checkOutputFiles({o.file}, {{"-o", o.output}, {"--plot", o.plot}});
  const CheckSettings checks = checkSettings(o);
  checkBom(o.bom, "sweep", o.sweepFormat);
  const bool workbook = o.sweepFormat == "xlsx";
  if (workbook) checkWorkbookOutput(*o.io, o.output, "sweep");
  const Loads loads = readLoads(o);
  std::vector<VaryArgument> varied;
  for (const std::string& v : o.vary) {
    try {
      varied.push_back(parseVaryArgument(v));
    } catch (const SweepError& e) {
      throw UsageError{"--vary " + std::string(e.what())};
    }
  }
  if (varied.size() > 2)
    throw SweepError("a sweep varies one or two keys, not " + std::to_string(varied.size()));
  // The size of the grid is known before any axis is built: every load case rates all of it.
  checkGridSize(varied);
  std::size_t designs = 1;
  for (const VaryArgument& vary : varied) designs *= vary.count();
  if (designs > io.maxDesigns / loads.count)
    throw SweepError("the grid" + loadCount(loads) + " has more than " +
                     std::to_string(io.maxDesigns) + " designs");
  designs *= loads.count;
  const std::string kind = o.plot.empty() ? "" : plotKind(o.plot);
  if (!kind.empty() && designs > kMaxChartDesigns)
    throw UsageError{"--plot: a chart shows at most " + std::to_string(kMaxChartDesigns) +
                     " designs; this grid" + loadCount(loads) + " has " + std::to_string(designs)};
  if (workbook) checkSheetRows(designs);
  SweepPlan plan{Case{}, {}};
  for (const VaryArgument& vary : varied) plan.axes.push_back(buildAxis(vary));
  // Every load case is checked before a row is written.
  eachLoad(o, loads, [&](Case&& c) {
    plan.base = std::move(c);
    checkSweep(plan);
  });

  Output out(io, o.output);
  SweepCounts total;
  SweepOptions options;
  options.threads = o.threads;
  options.progress = io.errIsTerminal;
  options.asTyped = o.asTyped;
  options.keepValues = !kind.empty();
  options.checks = checks;
  options.caseColumn = loads.several();
  std::optional<ChartData> chart;
  try {
    std::unique_ptr<XlsxWorkbook> book;
    if (workbook) {
      book = std::make_unique<XlsxWorkbook>();
      book->addSheet("sweep", sweepXlsxColumns(plan, options.caseColumn),
                     plan.axes.size() + (options.caseColumn ? 1 : 0));
      options.records = [&](const SweepRecord& record) {
        book->addRow(sweepXlsxCells(plan, record, options.caseColumn ? &plan.base.name : nullptr));
        return true;
      };
    } else if (o.bom) {
      out.stream() << kUtf8Bom;
    }
    bool first = true;
    eachLoad(o, loads, [&](Case&& c) {
      plan.base = std::move(c);
      SweepCounts counts;
      options.counts = &counts;
      options.header = first;
      first = false;
      const auto values = runSweep(plan, workbook ? nullptr : &out.stream(), options);
      out.check();
      total.completed += counts.completed;
      total.stopped += counts.stopped;
      total.invalid += counts.invalid;
      if (kind.empty()) return;
      ChartData one = sweepChart(plan, values, options.caseColumn ? &plan.base.name : nullptr);
      if (chart) {
        addSeries(*chart, std::move(one));
      } else {
        chart = std::move(one);
      }
    });
    if (book)
      book->finish([&](std::string_view bytes) {
        out.stream().write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        return static_cast<bool>(out.stream());
      });
  } catch (const XlsxError& e) {
    throw workbookFault(out, e);
  }
  out.close();
  if (total.completed == 0) {
    *io.err << kProgram << "no design of the sweep completes (" << total.stopped << " stopped, "
            << total.invalid << " outside the allowed ranges)"
            << (kind.empty() ? "" : "; no chart is drawn") << "\n";
    return 1;
  }
  if (chart) {
    if (kind == "svg") {
      writeFile(io, o.plot, chartSvg(*chart));
    } else {
      const auto png = chartPng(*chart);
      if (!png) throw WriteError{o.plot + ": cannot draw the chart"};
      writeFile(io, o.plot, *png);
    }
  }
  return 0;
}

std::pair<double, double> parseBand(const std::string& text) {
  const std::string shown = "--margin " + shortened(text);
  const UsageError notBand{shown + ": expected LOW:HIGH in %, LOW not above HIGH"};
  const UsageError notNumbers{shown + ": expected LOW:HIGH in %, each within ±" +
                              std::to_string(static_cast<int>(kMarginLimit)) +
                              ", LOW not above HIGH"};
  ValueRange band;
  try {
    band = parseRange(text, RangeForm::Span);
  } catch (const RangeError&) {
    throw text.find(':') == std::string::npos ? notBand : notNumbers;
  }
  if (!(std::fabs(band.from) <= kMarginLimit) || !(std::fabs(band.to) <= kMarginLimit))
    throw notNumbers;
  if (band.from > band.to) throw notBand;
  return {band.from, band.to};
}

int sizeCommand(Options& o) {
  BatchIo& io = *o.io;
  const CheckSettings checks = checkSettings(o);
  const Loads loads = readLoads(o);
  const auto key = findKey(o.sizeKey);
  if (!key) throw UsageError{"--vary " + shortened(o.sizeKey) + ": not a case-file key"};
  Axis candidates = defaultSizingAxis(*key);
  if (!o.range.empty()) {
    const ValueRange range =
        withOption("--range", [&] { return parseRange(o.range, RangeForm::SteppedOrList); });
    const std::size_t most = std::min(kMaxSizeCandidates, io.maxDesigns);
    if (range.count > most)
      throw UsageError{"--range " + shortened(o.range) + ": more than " + std::to_string(most) +
                       " candidates"};
    RangeValues values = rangeValues(range);
    candidates = {*key, std::move(values.texts), std::move(values.values)};
  }
  if (candidates.texts.size() > io.maxDesigns)
    throw UsageError{"--vary " + o.sizeKey + ": more than " + std::to_string(io.maxDesigns) +
                     " candidates"};
  Limits limits;
  std::tie(limits.marginLow, limits.marginHigh) = parseBand(o.margin);
  const auto maxDrop = readWholeNumber(o.maxDrop);
  if (!maxDrop || !(*maxDrop > 0 && *maxDrop <= kMaxDropLimit))
    throw UsageError{"--max-dp " + shortened(o.maxDrop) +
                     ": expected a pressure drop in Pa, above 0 and at most 1000000"};
  limits.maxDrop = *maxDrop;
  limits.checks = checks;
  // Every load case rates every candidate.
  const std::size_t most = std::min(kMaxSizeCandidates, io.maxDesigns);
  if (candidates.texts.size() > most / loads.count)
    throw UsageError{"size" + loadCount(loads) + ": more than " + std::to_string(most) +
                     " designs (load cases × candidates); choose a load case with --case, or "
                     "fewer candidates with --range"};
  // A key the arrangement never reads would size nothing: every candidate rates the same.
  eachLoad(o, loads, [&](Case&& c) {
    if (const auto reason = arrangementIgnores(c, *key))
      throw UsageError{"--vary " + o.sizeKey + ": " + *reason +
                       (c.name.empty() ? "" : " (" + c.name + ")")};
  });
  SizeSearch search(candidates, limits, o.threads, o.asTyped);
  eachLoad(o, loads, [&](Case&& c) { search.addLoad(c); });
  const SizeResult result = search.finish();
  Output out(io, "");
  out.stream() << describeSizing(candidates, limits, result);
  out.close();
  return result.found ? 0 : 1;
}

int reportCommand(Options& o) {
  BatchIo& io = *o.io;
  checkOutputFiles({o.file}, {{"-o", o.output}});
  const CheckSettings checks = checkSettings(o);
  const Case c = chooseCase(o);
  const auto pdf = reportPdf(c, o.asTyped, checks);
  if (!pdf) throw WriteError{o.output + ": cannot draw the datasheet"};
  writeFile(io, o.output, *pdf);
  const CaseRun run = rateCase(c);
  if (!run.status.completed) {
    *io.err << kProgram << c.file << ": " << c.name << ": the calculation stopped";
    for (const std::string& m : run.status.messages) *io.err << ": " << m;
    *io.err << "\n";
    return 1;
  }
  return 0;
}

bool endsWithCsv(const std::string& path) {
  std::string end = path.substr(path.size() - std::min<std::size_t>(path.size(), 4));
  for (char& c : end) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return end == ".csv";
}

int templateCommand(Options& o) {
  BatchIo& io = *o.io;
  std::vector<std::string> inputs;
  if (!o.from.empty()) inputs.push_back(o.from);
  checkOutputFiles(inputs, {{"-o", o.output}});
  // A workbook unless asked for CSV, or writing to standard output without being asked.
  const std::string format = !o.templateFormat.empty() ? o.templateFormat
                             : o.output.empty() || o.output == "-" || endsWithCsv(o.output)
                                 ? "csv"
                                 : "xlsx";
  const bool workbook = format == "xlsx";
  if (workbook) checkWorkbookOutput(io, o.output, "template");
  std::string text, label;
  if (!o.from.empty()) {
    text = caseText(o, o.from);
    label = caseFileLabel(o.from);
    const std::size_t cases = visitCases(text, label, nullptr, readOptions(o));
    if (workbook) checkSheetRows(cases);
  }
  // The load cases of --from in turn, or the window's defaults.
  const auto eachCase = [&](const CaseVisitor& visit) {
    if (o.from.empty()) {
      visit(windowDefaultCase());
      return;
    }
    visitCases(text, label, visit, readOptions(o));
  };
  Output out(io, o.output);
  if (!workbook) {
    out.stream() << caseTemplateCsvHeader();
    eachCase([&](Case&& c) {
      out.stream() << caseTemplateCsvRow(c);
      out.check();
    });
    out.close();
    return 0;
  }
  try {
    CaseTemplateWorkbook book;
    eachCase([&](Case&& c) { book.add(c); });
    book.finish([&](std::string_view bytes) {
      out.stream().write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
      return static_cast<bool>(out.stream());
    });
  } catch (const XlsxError& e) {
    throw workbookFault(out, e);
  }
  out.close();
  return 0;
}

}  // namespace

BatchCommands::BatchCommands(CLI::App& app, BatchIo& io) : options_(std::make_unique<Options>()) {
  Options& o = *options_;
  o.io = &io;
  const char* asTyped =
      "Take every value as typed, as the window does: no range checks (for reproducing a "
      "window session exactly)";
  o.rate = app.add_subcommand("rate", "Rate the cases of case files and print them side by side");
  o.rate
      ->add_option("cases", o.files,
                   "Case files (JSON), - for standard input; a file may hold a list of load cases")
      ->required();
  const char* dewPointMargin =
      "Margin in K the cold-end flue-gas-side wall must keep above the acid dew point (default: "
      "each case's limits.dew_point_margin, else 0)";
  const char* balanceTolerance =
      "Largest disagreement of the two heat duties, (Q1 - Q2) / Q2, in % either way (default 5)";
  const char* bom = "Start the CSV with the UTF-8 byte-order mark, for spreadsheets that need it";
  const auto addChecks = [&](CLI::App* command) {
    command->add_option("--dew-point-margin", o.dewPointMargin, dewPointMargin);
    command->add_option("--balance-tolerance", o.balanceTolerance, balanceTolerance);
  };
  o.rate
      ->add_option("--format", o.format,
                   "Output: the window's table, JSON, CSV or an Excel workbook (xlsx, with -o)")
      ->check(CLI::IsMember({"table", "json", "csv", "xlsx"}));
  o.rate->add_option("-o,--output", o.output, "Write to this file instead of standard output");
  o.rate->add_flag("--bom", o.bom, bom);
  addChecks(o.rate);
  o.rate->add_flag("--as-typed", o.asTyped, asTyped);

  o.sweep = app.add_subcommand("sweep", "Rate a case over a grid of one or two varied keys (CSV)");
  o.sweep->add_option("case", o.file, "Case file (JSON), - for standard input")->required();
  o.sweep
      ->add_option("--vary", o.vary,
                   "KEY=FROM:TO:STEP or KEY=V1,V2,... (a dotted case-file key, e.g. plate.pairs)")
      ->required();
  o.sweep->add_option("-o,--output", o.output, "Write the CSV (or the workbook) to this file");
  o.sweep
      ->add_option("--format", o.sweepFormat, "Output: CSV, or an Excel workbook (xlsx, with -o)")
      ->check(CLI::IsMember({"csv", "xlsx"}));
  o.sweep->add_flag("--bom", o.bom, bom);
  o.sweep->add_option("--plot", o.plot, "Chart of margin and pressure drops (.png or .svg)");
  o.sweep->add_option("--case", o.choice,
                      "Load case (name or number) of a list; default: every load case");
  addChecks(o.sweep);
  o.sweep->add_option("--threads", o.threads, "Worker threads (default and at most: every core)");
  o.sweep->add_flag("--as-typed", o.asTyped, asTyped);

  o.size = app.add_subcommand(
      "size",
      "Smallest value of a plate-pack parameter meeting the margin band and the drop limit");
  o.size->add_option("case", o.file, "Case file (JSON), - for standard input")->required();
  o.size
      ->add_option("--vary", o.sizeKey,
                   "plate.pairs, flue_gas|air.channel_length, .channel_width or .channel_gap")
      ->required();
  o.size->add_option("--margin", o.margin, "Margin band LOW:HIGH in % (default 0:30)");
  o.size->add_option("--max-dp", o.maxDrop,
                     "Largest pressure drop of each side in Pa (default 500)");
  o.size->add_option("--range", o.range, "Candidate values FROM:TO:STEP or V1,V2,...");
  o.size->add_option("--case", o.choice,
                     "Load case (name or number) of a list; default: every load case at once");
  addChecks(o.size);
  o.size->add_option("--threads", o.threads, "Worker threads (default and at most: every core)");
  o.size->add_flag("--as-typed", o.asTyped, asTyped);

  o.report = app.add_subcommand("report",
                                "Rating datasheet with the heat map of the plate (PDF, Chinese)");
  o.report->add_option("case", o.file, "Case file (JSON), - for standard input")->required();
  o.report->add_option("-o,--output", o.output, "The PDF file to write")->required();
  o.report->add_option("--case", o.choice, "Load case (name or number) of a list");
  addChecks(o.report);
  o.report->add_flag("--as-typed", o.asTyped, asTyped);

  o.caseTemplate = app.add_subcommand(
      "template",
      "A case table to fill in (Excel workbook or CSV): the window's defaults, or the load cases "
      "of a case file");
  o.caseTemplate->add_option(
      "-o,--output", o.output,
      "The file to write (.xlsx: a workbook, .csv: CSV); default: CSV on standard output");
  o.caseTemplate->add_option("--from", o.from,
                             "Case file whose load cases fill the table (JSON, xlsx or CSV), - "
                             "for standard input");
  o.caseTemplate
      ->add_option("--format", o.templateFormat,
                   "xlsx or csv (default: by the name of -o; csv on standard output)")
      ->check(CLI::IsMember({"csv", "xlsx"}));
  o.caseTemplate->add_flag("--as-typed", o.asTyped, asTyped);
}

BatchCommands::~BatchCommands() = default;

std::optional<int> BatchCommands::run() {
  Options& o = *options_;
  if (*o.rate) return rateCommand(o);
  if (*o.sweep) return sweepCommand(o);
  if (*o.size) return sizeCommand(o);
  if (*o.report) return reportCommand(o);
  if (*o.caseTemplate) return templateCommand(o);
  return std::nullopt;
}

// ---- The program ----

namespace {

int replayCommand(BatchIo& io, const std::string& path, const std::string& format) {
  std::string text;
  try {
    text = path == "-" ? io.readStandardInput("script") : io.readFile(path, "script");
  } catch (const ReadError& e) {
    *io.err << kProgram << path << ": " << e.what() << "\n";
    return 2;
  }
  session::Script script;
  try {
    script = session::parseScript(text);
  } catch (const session::ScriptError& e) {
    *io.err << kProgram << path << ": " << e.what() << "\n";
    return 2;
  }
  MainWindow window;
  window.setCaseFiles(io.windowFiles);
  session::ScriptedUserInterface ui;
  session::replay(window, script, ui);
  Output out(io, "");
  if (format == "table") {
    out.stream() << session::formatTable(window, ui.messages);
  } else {
    out.stream() << session::snapshot(window, ui.messages)
                        .dump(2, ' ', false, nlohmann::json::error_handler_t::replace)
                 << "\n";
  }
  out.close();
  return 0;
}

int parseAndRun(int argc, const char* const* argv, BatchIo& io) {
  CLI::App app{"aphcalc-cli: thermal rating of a plate-type air preheater, without the window"};
  app.require_subcommand(1);

  std::string scriptPath;
  std::string format = "json";
  auto* replay = app.add_subcommand("replay", "Replay a session script and print the window");
  replay->add_option("script", scriptPath, "Session script (JSON), or - for standard input")
      ->required();
  replay->add_option("--format", format, "Output format")->check(CLI::IsMember({"json", "table"}));

  BatchCommands batch(app, io);
  OffDesignCommands offDesign(app, io);
  FieldCommand field(app, io);
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    std::ostringstream out, err;
    const int code = app.exit(e, out, err);
    *io.err << err.str();
    if (!out.str().empty()) {
      Output output(io, "");
      output.stream() << out.str();
      output.close();
    }
    return code == 0 ? 0 : 2;
  }
  if (*replay) return replayCommand(io, scriptPath, format);
  if (const auto code = batch.run()) return *code;
  if (const auto code = offDesign.run()) return *code;
  if (const auto code = field.run()) return *code;
  return 2;
}

}  // namespace

int runProgram(int argc, const char* const* argv, BatchIo& io) {
  try {
    return parseAndRun(argc, argv, io);
  } catch (const CaseError& e) {
    *io.err << kProgram << e.what() << "\n";
    return 2;
  } catch (const SweepError& e) {
    *io.err << kProgram << e.what() << "\n";
    return 2;
  } catch (const RangeError& e) {
    *io.err << kProgram << e.what() << "\n";
    return 2;
  } catch (const UsageError& e) {
    *io.err << kProgram << e.message << "\n";
    return 2;
  } catch (const WriteError& e) {
    *io.err << kProgram << e.message << "\n";
    return 1;
  } catch (const std::bad_alloc&) {
    io.unexpectedFault = true;
    *io.err << kProgram << "out of memory\n";
    return 1;
  } catch (const std::exception& e) {
    io.unexpectedFault = true;
    *io.err << kProgram << "stopped by an unexpected fault: " << e.what() << "\n";
    return 1;
  } catch (...) {
    io.unexpectedFault = true;
    *io.err << kProgram << "stopped by an unexpected fault\n";
    return 1;
  }
}

BatchIo BatchIo::standard() {
  BatchIo io;
  io.out = []() -> Sink& {
    static FileSink standardOutput(STDOUT_FILENO, false);
    return standardOutput;
  };
  io.err = &std::cerr;
  io.readStandardInput = [](std::string_view noun) { return study::readStandardInput(noun); };
  io.readFile = [](const std::string& path, std::string_view noun) {
    return readBounded(path, noun);
  };
  io.openOutput = [](const std::string& path) { return openReplacing(path); };
  static study::WindowCaseFiles windowFiles;
  io.windowFiles = &windowFiles;
  io.outIsTerminal = isatty(STDOUT_FILENO) == 1;
  io.errIsTerminal = isatty(STDERR_FILENO) == 1;
  return io;
}

}  // namespace aph::cli
