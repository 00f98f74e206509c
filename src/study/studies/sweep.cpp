#include "study/studies/sweep.hpp"

#include <atomic>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstdio>
#include <iostream>
#include <limits>
#include <memory>
#include <mutex>
#include <system_error>
#include <thread>

#include "model/text.hpp"
#include "study/io/files.hpp"
#include "study/outputs/results.hpp"
#include "study/studies/rate.hpp"

namespace aph::study {
namespace {

constexpr std::size_t kChunk = 256;

// What a chunk of designs gives the writer: CSV rows, or records for another output.
struct ChunkRows {
  std::string csv;
  std::vector<SweepRecord> records;
};
// Chunks a worker may run ahead of the writer, per worker: enough to keep every core busy while
// the writer waits on a slow reader, few enough that memory stays flat.
constexpr std::size_t kChunksAheadPerThread = 4;

// A result of the run as a number; NaN when the run did not get that far.
double number(const Rating& rating, Quantity q) {
  return rating.value(q).value_or(std::numeric_limits<double>::quiet_NaN());
}

void appendField(std::string& out, std::string_view text) {
  // Plain numbers, the common case, need no quoting: a quick look before the full rule.
  bool plain = text.empty() || (text[0] != '=' && text[0] != '+' && text[0] != '-' &&
                                text[0] != '@' && text[0] != '\t');
  for (std::size_t k = 0; plain && k < text.size(); ++k) {
    const char c = text[k];
    plain = c != ',' && c != '"' && c != '\r' && c != '\n';
  }
  if (plain) {
    out += text;
  } else {
    out += csvField(text);
  }
}

std::string messageText(const RunStatus& status) {
  std::string message;
  for (const std::string& m : status.messages) message += (message.empty() ? "" : " / ") + m;
  return message;
}

void appendRow(std::string& out, const SweepPlan& plan, const std::vector<std::size_t>& index,
               const Rating& rating, const RunStatus& status, const DesignChecks* checks,
               const std::string* caseName) {
  if (caseName) {
    appendField(out, *caseName);
    out += ',';
  }
  for (std::size_t a = 0; a < plan.axes.size(); ++a) {
    appendField(out, plan.axes[a].texts[index[a]]);
    out += ',';
  }
  if (status.invalid || !checks) {
    // Not rated: no results, only the reason.
    out += "invalid,";
    out.append(sweepColumns().size() + kCheckColumns.size(), ',');
  } else {
    out += status.completed ? "ok," : "stopped,";
    out += violationText(violations(rating) | checks->violations);
    for (const ResultColumn& column : sweepColumns()) {
      out += ',';
      // Numbers the calculation wrote (no case key reaches these fields): nothing to quote.
      out += rating.text(columnQuantity(column, rating));
    }
    for (const CheckColumn& column : kCheckColumns) {
      out += ',';
      out += checkText(*checks, column.result);
    }
  }
  out += ',';
  appendField(out, messageText(status));
  out += ',';
  if (checks && !status.invalid) out += tableLawNote(*checks);  // a plain text: nothing to quote
  out += '\n';
}

SweepRecord makeRecord(const std::vector<std::size_t>& index, const Rating& rating,
                       const RunStatus& status, const DesignChecks* checks) {
  SweepRecord record;
  record.index = index;
  record.message = messageText(status);
  if (status.invalid || !checks) {
    record.status = "invalid";
    return record;
  }
  record.status = status.completed ? "ok" : "stopped";
  record.violations = violationText(violations(rating) | checks->violations);
  record.note = tableLawNote(*checks);
  for (const ResultColumn& column : sweepColumns()) {
    const Quantity shown = columnQuantity(column, rating);
    record.texts.push_back(rating.text(shown));
    record.flagged.push_back(rating.flagged(shown));
  }
  for (const CheckColumn& column : kCheckColumns) {
    record.texts.push_back(checkText(*checks, column.result));
    record.flagged.push_back(checkFlagged(*checks, column.result));
  }
  return record;
}

}  // namespace

ProgressBar::ProgressBar(bool enabled, std::size_t total, std::chrono::milliseconds after)
    : enabled_(enabled),
      total_(total),
      start_(std::chrono::steady_clock::now()),
      lastDrawn_(start_),
      after_(after) {}

void ProgressBar::update(std::size_t done) {
  if (!enabled_) return;
  const auto now = std::chrono::steady_clock::now();
  if (now - start_ < after_ || (shown_ && now - lastDrawn_ < std::chrono::milliseconds(100)))
    return;
  shown_ = true;
  lastDrawn_ = now;
  draw(done);
}

void ProgressBar::clear() {
  if (shown_) std::fprintf(stderr, "\r%70s\r", "");
  lastDrawn_ = start_;  // drawn again at the next update
}

void ProgressBar::finish() {
  if (!shown_) return;
  draw(total_);
  std::fputc('\n', stderr);
  std::fflush(stderr);
}

// Draws the bar in place.
void ProgressBar::draw(std::size_t done) {
  constexpr int width = 40;
  const double share = total_ ? static_cast<double>(done) / static_cast<double>(total_) : 1;
  const int filled = static_cast<int>(share * width);
  std::string bar(static_cast<std::size_t>(filled), '#');
  bar.append(static_cast<std::size_t>(width - filled), '.');
  std::fprintf(stderr, "\r[%s] %3d%% %zu/%zu", bar.c_str(), static_cast<int>(share * 100), done,
               total_);
  std::fflush(stderr);
}

Axis rangeAxis(std::size_t key, double from, double to, double step) {
  RangeValues values = steppedValues(from, to, step);
  return {key, std::move(values.texts), std::move(values.values)};
}

VaryArgument parseVaryArgument(const std::string& argument) {
  const std::string shown = shortened(argument, 80);
  const std::string expected = "KEY=FROM:TO:STEP or KEY=V1,V2,…";
  const auto equals = argument.find('=');
  if (equals == std::string::npos) throw SweepError(shown + ": expected " + expected);
  const std::string path = argument.substr(0, equals);
  const auto key = findKey(path);
  if (!key) throw SweepError(shown + ": \"" + shortened(path) + "\" is not a case-file key");
  if (const auto reason = unvariableReason(*key))
    throw SweepError(shown + ": \"" + path + "\" is " + *reason + ", and cannot be varied");
  VaryArgument vary;
  vary.argument = argument;
  vary.key = *key;
  try {
    vary.range = parseRange(std::string_view(argument).substr(equals + 1), RangeForm::SteppedOrList,
                            expected);
  } catch (const RangeError& e) {
    throw SweepError(shown + ": " + e.problem());
  }
  return vary;
}

Axis buildAxis(const VaryArgument& vary) {
  RangeValues values = rangeValues(vary.range);
  return {vary.key, std::move(values.texts), std::move(values.values)};
}

void checkGridSize(const std::vector<VaryArgument>& varied) {
  std::size_t designs = 1;
  for (const VaryArgument& vary : varied) {
    const std::size_t n = vary.count();
    if (n != 0 && designs > kMaxDesigns / n)
      throw SweepError("the grid has more than " + std::to_string(kMaxDesigns) + " designs");
    designs *= n;
  }
}

Axis parseVary(const std::string& argument) {
  return buildAxis(parseVaryArgument(argument));
}

void checkSweep(const SweepPlan& plan) {
  if (plan.axes.empty()) throw SweepError("nothing to vary: give --vary KEY=FROM:TO:STEP");
  if (plan.axes.size() > 2)
    throw SweepError("a sweep varies one or two keys, not " + std::to_string(plan.axes.size()));
  if (plan.axes.size() == 2 && plan.axes[0].key == plan.axes[1].key)
    throw SweepError("\"" + std::string(caseKey(plan.axes[0].key).path) + "\" is varied twice");
  for (const Axis& axis : plan.axes) {
    const std::string path(caseKey(axis.key).path);
    if (!isNumericKey(axis.key)) throw SweepError("\"" + path + "\" cannot be varied");
    if (axis.texts.empty()) throw SweepError("\"" + path + "\" has no values to sweep");
    const std::string side = path.substr(0, path.find('.'));
    const bool property = path.ends_with(".density") || path.ends_with(".specific_heat") ||
                          path.ends_with(".conductivity") || path.ends_with(".viscosity");
    if (const auto& table = plan.base.value(side + ".properties");
        property && side != "plate" && table)
      throw SweepError("\"" + path + "\" cannot be varied while \"" + side + ".properties\" is \"" +
                       *table + "\"");
    if (const auto reason = arrangementIgnores(plan.base, axis.key))
      throw SweepError("\"" + path + "\" cannot be varied: " + *reason +
                       (plan.base.name.empty() ? "" : " (" + plan.base.name + ")"));
  }
  std::size_t designs = 1;
  for (const Axis& axis : plan.axes) {
    if (designs > kMaxDesigns / axis.texts.size())
      throw SweepError("the grid has more than " + std::to_string(kMaxDesigns) + " designs");
    designs *= axis.texts.size();
  }
  if (designs > kMaxDesigns)
    throw SweepError("the grid has more than " + std::to_string(kMaxDesigns) + " designs");
}

std::size_t designCount(const SweepPlan& plan) {
  std::size_t n = 1;
  for (const Axis& axis : plan.axes) n *= axis.texts.size();
  return plan.axes.empty() ? 0 : n;
}

unsigned sweepThreads(unsigned requested) {
  const unsigned cores = std::max(1u, std::thread::hardware_concurrency());
  return requested == 0 ? cores : std::min(requested, cores);
}

std::string sweepHeader(const SweepPlan& plan, bool caseColumn) {
  std::string header;
  for (const XlsxColumn& column : sweepXlsxColumns(plan, caseColumn))
    header.append(header.empty() ? "" : ",").append(column.name);
  return header.append("\n");
}

std::vector<XlsxColumn> sweepXlsxColumns(const SweepPlan& plan, bool caseColumn) {
  std::vector<XlsxColumn> columns;
  if (caseColumn) columns.push_back({"工况", "case", ""});
  for (const Axis& axis : plan.axes) {
    const CaseKey& key = caseKey(axis.key);
    columns.push_back(
        {sideCaption(key.path, key.caption), std::string(key.path), std::string(key.unit)});
  }
  columns.push_back({"状态", "status", ""});
  columns.push_back({"超限", "violations", ""});
  for (const ResultColumn& column : sweepColumns()) {
    const std::string caption = column.name == kMeanDifferenceColumn
                                    ? "平均温差(℃)"
                                    : sideCaption(column.name, fieldInfo(column.quantity).caption);
    columns.push_back({caption, std::string(column.name), std::string(column.unit)});
  }
  for (const CheckColumn& column : kCheckColumns)
    columns.push_back(
        {std::string(column.caption), std::string(column.name), std::string(column.unit)});
  columns.push_back({"提示", "message", ""});
  columns.push_back({"物性说明", "note", ""});
  return columns;
}

std::vector<XlsxCell> sweepXlsxCells(const SweepPlan& plan, const SweepRecord& record,
                                     const std::string* caseName) {
  std::vector<XlsxCell> cells;
  if (caseName) cells.push_back(XlsxCell::label(*caseName));
  for (std::size_t a = 0; a < plan.axes.size(); ++a)
    cells.push_back(XlsxCell::shown(plan.axes[a].texts[record.index[a]]));
  cells.push_back(XlsxCell::label(record.status));
  cells.push_back(XlsxCell::label(record.violations));
  const std::size_t results = sweepColumns().size() + kCheckColumns.size();
  for (std::size_t k = 0; k < results; ++k)
    cells.push_back(k < record.texts.size() ? XlsxCell::shown(record.texts[k], record.flagged[k])
                                            : XlsxCell{});
  cells.push_back(XlsxCell::label(record.message));
  cells.push_back(XlsxCell::label(record.note));
  return cells;
}

DesignEvaluator::DesignEvaluator(const Case& base, bool checkRanges, const CheckSettings& checks)
    : checkRanges_(checkRanges), checks_(base, checks), base_(base), current_(base) {
  typeCase(prototype_, base);
  // Each design is pressed in a copy of this window: fields the design leaves alone are then
  // read once for all of them.
  prototype_.readAllNumbers();
}

const MainWindow& DesignEvaluator::evaluate(const std::vector<std::size_t>& keys,
                                            const std::vector<const std::string*>& texts,
                                            RunStatus& status) {
  for (std::size_t k : lastKeys_) current_.values[k] = base_.values[k];
  lastKeys_ = keys;
  for (std::size_t k = 0; k < keys.size(); ++k) current_.values[keys[k]] = *texts[k];
  if (checkRanges_) {
    if (!fixedFault_ || faultKeys_ != keys) {
      faultKeys_ = keys;
      fixedFault_ = rangeFault(base_, keys, true);
      valueTexts_.assign(keys.size(), nullptr);
      valueFaults_.assign(keys.size(), std::nullopt);
    }
    // A key's own rule is looked at again only when its text changes: the slow axis rarely.
    std::optional<RangeFault> fault;
    for (std::size_t k = 0; k < keys.size(); ++k) {
      if (valueTexts_[k] != texts[k]) {
        valueTexts_[k] = texts[k];
        valueFaults_[k] = valueFault(keys[k], *texts[k]);
      }
      if (!fault && valueFaults_[k]) fault = valueFaults_[k];
    }
    if (!fault) fault = pairFault(current_, keys);
    if (!fault) fault = *fixedFault_;
    if (fault) {
      status = RunStatus{};
      status.invalid = true;
      status.rule = fault->rule;
      status.messages = {std::string(caseKey(fault->key).path) + ": " + fault->message};
      return prototype_;
    }
  }
  work_ = prototype_;
  for (std::size_t k = 0; k < keys.size(); ++k) {
    const CaseKey& keyInfo = caseKey(keys[k]);
    if (keyInfo.kind == KeyKind::Field) {
      work_.setText(*keyInfo.quantity, *texts[k]);
    } else if (keyInfo.kind == KeyKind::Tuning) {
      work_.setDialogText(*keyInfo.dialogField, *texts[k]);
    }
    // Pass counts are typed into the pass-count dialog when the multi-pass button asks.
  }
  ui_.messages.clear();
  calculateCase(work_, current_, ui_);
  status = runStatus(work_, ui_);
  return work_;
}

std::vector<DesignValues> runSweep(const SweepPlan& plan, std::ostream* csv,
                                   const SweepOptions& options) {
  checkSweep(plan);
  const std::size_t total = designCount(plan);
  const std::size_t chunks = (total + kChunk - 1) / kChunk;
  std::vector<DesignValues> values(options.keepValues ? total : 0);
  std::vector<std::size_t> keys;
  for (const Axis& axis : plan.axes) keys.push_back(axis.key);
  const std::size_t inner = plan.axes.size() == 2 ? plan.axes[1].texts.size() : 1;

  const std::string* caseName = options.caseColumn ? &plan.base.name : nullptr;
  // Rates the designs of chunk `c` into `out` (CSV rows and records) and `values`.
  auto rateChunk = [&](std::size_t c, DesignEvaluator& evaluator, ChunkRows& out,
                       SweepCounts& counts) {
    std::vector<std::size_t> index(plan.axes.size());
    std::vector<const std::string*> texts(plan.axes.size());
    RunStatus status;
    if (csv) out.csv.reserve(kChunk * 256);
    const std::size_t end = std::min(total, (c + 1) * kChunk);
    for (std::size_t d = c * kChunk; d < end; ++d) {
      index[0] = d / inner;
      if (index.size() == 2) index[1] = d % inner;
      for (std::size_t a = 0; a < index.size(); ++a) texts[a] = &plan.axes[a].texts[index[a]];
      const Rating& rating = evaluator.evaluate(keys, texts, status).rating();
      ++(status.invalid ? counts.invalid : status.completed ? counts.completed : counts.stopped);
      std::optional<DesignChecks> checks;
      if (!status.invalid) checks = evaluator.checks(rating);
      if (options.keepValues) {
        constexpr double nan = std::numeric_limits<double>::quiet_NaN();
        DesignValues& v = values[d];
        v.completed = status.completed;
        v.invalid = status.invalid;
        v.rule = status.rule;
        if (status.invalid) {
          v.margin = v.dpFlueGas = v.dpAir = v.kTheoretical = v.area = nan;
          v.dewPointMargin = v.heatBalance = v.tableLawSpecificHeat = nan;
        } else {
          v.violations = violations(rating) | checks->violations;
          v.margin = number(rating, Quantity::Margin);
          v.dpFlueGas = number(rating, Quantity::FlueGasPressureDrop);
          v.dpAir = number(rating, Quantity::AirPressureDrop);
          v.kTheoretical = number(rating, Quantity::TheoreticalCoefficient);
          v.area = number(rating, Quantity::HeatTransferArea);
          v.dewPointMargin = checks->dewPointMargin.value_or(nan);
          v.requiredDewPointMargin = checks->requiredMargin;
          v.heatBalance = checks->heatBalance.value_or(nan);
          v.tableLawSpecificHeat = checks->tableLawSpecificHeat.value_or(nan);
        }
      }
      const DesignChecks* shown = checks ? &*checks : nullptr;
      if (csv) appendRow(out.csv, plan, index, rating, status, shown, caseName);
      if (options.records) out.records.push_back(makeRecord(index, rating, status, shown));
    }
    return end - c * kChunk;
  };

  if (csv && options.header) *csv << sweepHeader(plan, options.caseColumn);
  const unsigned threads =
      static_cast<unsigned>(std::min<std::size_t>(sweepThreads(options.threads), chunks));
  // The chunks rated but not yet written sit in a ring of slots; a worker takes the next chunk
  // only while it has a slot, so a slow reader holds the workers back instead of letting the
  // rows pile up.
  const std::size_t ahead = kChunksAheadPerThread * std::max(1u, threads);
  constexpr std::size_t kEmpty = static_cast<std::size_t>(-1);
  std::vector<ChunkRows> slots(ahead);
  std::vector<std::size_t> slotChunk(ahead, kEmpty);
  std::size_t nextChunk = 0, written = 0;
  std::size_t finished = 0;
  SweepCounts counts;
  bool stop = false;
  std::exception_ptr failure;
  std::mutex mutex;
  std::condition_variable wakeWriter, wakeWorkers;

  auto worker = [&] {
    try {
      DesignEvaluator evaluator(plan.base, !options.asTyped, options.checks);
      for (;;) {
        std::size_t c;
        {
          std::unique_lock lock(mutex);
          wakeWorkers.wait(
              lock, [&] { return stop || nextChunk >= chunks || nextChunk < written + ahead; });
          if (stop || nextChunk >= chunks) return;
          c = nextChunk++;
        }
        ChunkRows out;
        SweepCounts chunkCounts;
        const std::size_t n = rateChunk(c, evaluator, out, chunkCounts);
        {
          std::lock_guard lock(mutex);
          slots[c % ahead] = std::move(out);
          slotChunk[c % ahead] = c;
          finished += n;
          counts.completed += chunkCounts.completed;
          counts.stopped += chunkCounts.stopped;
          counts.invalid += chunkCounts.invalid;
        }
        wakeWriter.notify_one();
      }
    } catch (...) {
      // An exception may not leave a thread: it stops the sweep and is thrown again below.
      {
        std::lock_guard lock(mutex);
        if (!failure) failure = std::current_exception();
        stop = true;
      }
      wakeWriter.notify_all();
      wakeWorkers.notify_all();
    }
  };

  std::vector<std::thread> pool;
  for (unsigned t = 0; t < threads; ++t) {
    try {
      pool.emplace_back(worker);
    } catch (const std::system_error&) {
      break;  // the system gives no more threads: the ones running do the work
    }
  }
  std::unique_ptr<DesignEvaluator> own;  // when no thread could be started at all
  if (pool.empty())
    own = std::make_unique<DesignEvaluator>(plan.base, !options.asTyped, options.checks);

  ProgressBar bar(options.progress, total);
  for (std::size_t c = 0; c < chunks; ++c) {
    ChunkRows rows;
    if (own) {
      finished += rateChunk(c, *own, rows, counts);
    } else {
      std::unique_lock lock(mutex);
      while (slotChunk[c % ahead] != c && !stop) {
        wakeWriter.wait_for(lock, std::chrono::milliseconds(100));
        bar.update(finished);
      }
      if (slotChunk[c % ahead] != c) break;  // stopped
      rows = std::move(slots[c % ahead]);
      slotChunk[c % ahead] = kEmpty;
    }
    bool failed = false;
    if (csv) {
      csv->write(rows.csv.data(), static_cast<std::streamsize>(rows.csv.size()));
      failed = !*csv;
    }
    for (std::size_t r = 0; !failed && r < rows.records.size(); ++r) {
      // The sink may throw: the workers are stopped and joined before it is thrown on.
      try {
        failed = !options.records(rows.records[r]);
      } catch (...) {
        std::lock_guard lock(mutex);
        if (!failure) failure = std::current_exception();
        failed = true;
      }
    }
    {
      std::lock_guard lock(mutex);
      written = c + 1;
      stop = stop || failed;
    }
    wakeWorkers.notify_all();
    if (failed) break;
  }
  {
    std::lock_guard lock(mutex);
    stop = true;
  }
  wakeWorkers.notify_all();
  for (std::thread& t : pool) t.join();
  if (failure) std::rethrow_exception(failure);
  if (options.counts) *options.counts = counts;
  bar.finish();
  if (csv && *csv) csv->flush();
  return values;
}

std::optional<SweepPlan> plateCountSweep(const Case& c) {
  const std::size_t key = *findKey("plate.pairs");
  const auto pairs = readLeadingNumber(c.inputText(key));
  if (!pairs || !(*pairs >= 1) || *pairs > 1e6) return std::nullopt;
  const double step = std::max(1.0, std::round(*pairs / 40));
  const double from = std::max(1.0, std::round(*pairs * 0.5 / step) * step);
  const double to = std::round(*pairs * 1.5 / step) * step;
  SweepPlan plan{c, {rangeAxis(key, from, to, step)}};
  return plan;
}

}  // namespace aph::study
