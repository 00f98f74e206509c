#include "study/sweep.hpp"

#include <atomic>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstdio>
#include <iostream>
#include <limits>
#include <memory>
#include <mutex>
#include <thread>

#include "model/text.hpp"
#include "study/rate.hpp"
#include "study/results.hpp"

namespace aph::study {
namespace {

// Grids beyond this many designs are refused rather than left running for hours.
constexpr std::size_t kMaxDesigns = 20'000'000;
constexpr std::size_t kChunk = 256;

// A result of the run as a number; NaN when the run did not get that far.
double number(const Rating& rating, FieldId id) {
  return rating.value(id).value_or(std::numeric_limits<double>::quiet_NaN());
}

std::optional<double> parseNumber(const std::string& text) {
  const auto value = readWholeNumber(text);
  if (!value || text.empty()) return std::nullopt;
  return value;
}

void appendRow(std::string& out, const SweepPlan& plan, const std::vector<std::size_t>& index,
               const Rating& rating, const RunStatus& status) {
  for (std::size_t a = 0; a < plan.axes.size(); ++a) {
    out += csvField(plan.axes[a].texts[index[a]]);
    out += ',';
  }
  out += status.completed ? "ok," : "stopped,";
  out += violationText(violations(rating));
  for (const ResultColumn& column : sweepColumns()) {
    out += ',';
    out += rating.text(columnField(column, rating));  // plain numbers: nothing to quote
  }
  out += ',';
  std::string message;
  for (const std::string& m : status.messages) message += (message.empty() ? "" : " / ") + m;
  out += csvField(message);
  out += '\n';
}

// Draws the bar in place; `done` == `total` finishes the line.
void drawProgress(std::size_t done, std::size_t total) {
  constexpr int width = 40;
  const double share = total ? static_cast<double>(done) / static_cast<double>(total) : 1;
  const int filled = static_cast<int>(share * width);
  std::string bar(static_cast<std::size_t>(filled), '#');
  bar.append(static_cast<std::size_t>(width - filled), '.');
  std::fprintf(stderr, "\r[%s] %3d%% %zu/%zu", bar.c_str(), static_cast<int>(share * 100), done,
               total);
  if (done == total) std::fputc('\n', stderr);
  std::fflush(stderr);
}

}  // namespace

std::string gridText(double value) {
  if (value == 0) return "0";  // no "-0"
  char buffer[40];
  std::snprintf(buffer, sizeof buffer, "%.12g", value);
  return buffer;
}

Axis rangeAxis(std::size_t key, double from, double to, double step) {
  if (!(step != 0) || !std::isfinite(from) || !std::isfinite(to) || !std::isfinite(step))
    throw SweepError("the step must be a number other than 0");
  const double span = (to - from) / step;
  if (span < -1e-9)
    throw SweepError("the step does not lead from " + gridText(from) + " to " + gridText(to));
  const double count = std::floor(span + 1e-6) + 1;
  if (count > static_cast<double>(kMaxDesigns))
    throw SweepError("more than " + std::to_string(kMaxDesigns) + " values");
  Axis axis;
  axis.key = key;
  for (std::size_t k = 0; k < static_cast<std::size_t>(count); ++k) {
    const double v = from + static_cast<double>(k) * step;
    axis.texts.push_back(gridText(v));
    axis.values.push_back(*readLeadingNumber(axis.texts.back()));
  }
  return axis;
}

Axis parseVary(const std::string& argument) {
  const auto equals = argument.find('=');
  if (equals == std::string::npos)
    throw SweepError("--vary " + argument + ": expected KEY=FROM:TO:STEP or KEY=V1,V2,…");
  const std::string path = argument.substr(0, equals);
  const std::string range = argument.substr(equals + 1);
  const auto key = findKey(path);
  if (!key) throw SweepError("--vary " + argument + ": \"" + path + "\" is not a case-file key");
  if (!isNumericKey(*key))
    throw SweepError("--vary " + argument + ": \"" + path +
                     "\" is not a number and cannot be varied");
  std::vector<std::string> parts;
  const char separator = range.find(':') != std::string::npos ? ':' : ',';
  for (std::size_t start = 0;;) {
    const auto end = range.find(separator, start);
    parts.push_back(range.substr(start, end == std::string::npos ? end : end - start));
    if (end == std::string::npos) break;
    start = end + 1;
  }
  std::vector<double> numbers;
  for (const std::string& p : parts) {
    const auto v = parseNumber(p);
    if (!v) throw SweepError("--vary " + argument + ": \"" + p + "\" is not a number");
    numbers.push_back(*v);
  }
  if (separator == ':') {
    if (numbers.size() != 3)
      throw SweepError("--vary " + argument + ": expected KEY=FROM:TO:STEP or KEY=V1,V2,…");
    try {
      return rangeAxis(*key, numbers[0], numbers[1], numbers[2]);
    } catch (const SweepError& e) {
      throw SweepError("--vary " + argument + ": " + e.what());
    }
  }
  Axis axis;
  axis.key = *key;
  for (std::size_t k = 0; k < parts.size(); ++k) {
    axis.texts.push_back(parts[k]);
    axis.values.push_back(numbers[k]);
  }
  return axis;
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
    if (property && side != "plate" && plan.base.value(side + ".properties"))
      throw SweepError("\"" + path + "\" cannot be varied while \"" + side +
                       ".properties\" is \"table\"");
  }
  if (designCount(plan) > kMaxDesigns)
    throw SweepError("the grid has more than " + std::to_string(kMaxDesigns) + " designs");
}

std::size_t designCount(const SweepPlan& plan) {
  std::size_t n = 1;
  for (const Axis& axis : plan.axes) n *= axis.texts.size();
  return plan.axes.empty() ? 0 : n;
}

std::string sweepHeader(const SweepPlan& plan) {
  std::string header;
  for (const Axis& axis : plan.axes) header.append(caseKey(axis.key).path).append(",");
  header += "status,violations";
  for (const ResultColumn& column : sweepColumns()) header.append(",").append(column.name);
  return header.append(",message\n");
}

DesignEvaluator::DesignEvaluator(const Case& base) : base_(base), current_(base) {
  typeCase(prototype_, base);
}

const MainWindow& DesignEvaluator::evaluate(const std::vector<std::size_t>& keys,
                                            const std::vector<const std::string*>& texts,
                                            RunStatus& status) {
  work_ = prototype_;
  for (std::size_t k : lastKeys_) current_.values[k] = base_.values[k];
  lastKeys_ = keys;
  for (std::size_t k = 0; k < keys.size(); ++k) {
    const CaseKey& keyInfo = caseKey(keys[k]);
    current_.values[keys[k]] = *texts[k];
    if (keyInfo.kind == KeyKind::Field) {
      work_.setText(keyInfo.field, *texts[k]);
    } else if (keyInfo.kind == KeyKind::Tuning) {
      *work_.ensureDialog(DialogKind::Tuning).find(keyInfo.control) = *texts[k];
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
  std::vector<DesignValues> values(total);
  std::vector<std::string> rows(chunks);
  std::unique_ptr<std::atomic<bool>[]> ready(new std::atomic<bool>[chunks]);
  for (std::size_t c = 0; c < chunks; ++c) ready[c] = false;
  std::atomic<std::size_t> nextChunk{0};
  std::atomic<std::size_t> finished{0};
  std::mutex mutex;
  std::condition_variable wake;

  std::vector<std::size_t> keys;
  for (const Axis& axis : plan.axes) keys.push_back(axis.key);
  const std::size_t inner = plan.axes.size() == 2 ? plan.axes[1].texts.size() : 1;

  auto worker = [&] {
    DesignEvaluator evaluator(plan.base);
    std::vector<std::size_t> index(plan.axes.size());
    std::vector<const std::string*> texts(plan.axes.size());
    RunStatus status;
    for (;;) {
      const std::size_t c = nextChunk.fetch_add(1);
      if (c >= chunks) break;
      std::string out;
      if (csv) out.reserve(kChunk * 256);
      const std::size_t end = std::min(total, (c + 1) * kChunk);
      for (std::size_t d = c * kChunk; d < end; ++d) {
        index[0] = d / inner;
        if (index.size() == 2) index[1] = d % inner;
        for (std::size_t a = 0; a < index.size(); ++a) texts[a] = &plan.axes[a].texts[index[a]];
        const Rating& rating = evaluator.evaluate(keys, texts, status).rating();
        DesignValues& v = values[d];
        v.completed = status.completed;
        v.violations = violations(rating);
        v.margin = number(rating, FieldId::Text49);
        v.dpFlueGas = number(rating, FieldId::Text45);
        v.dpAir = number(rating, FieldId::Text46);
        v.kTheoretical = number(rating, FieldId::Text23);
        v.area = number(rating, FieldId::Text19);
        if (csv) appendRow(out, plan, index, rating, status);
      }
      rows[c] = std::move(out);
      {
        std::lock_guard lock(mutex);
        ready[c] = true;
        finished += end - c * kChunk;
      }
      wake.notify_all();
    }
  };

  unsigned threads = options.threads ? options.threads : std::thread::hardware_concurrency();
  threads = std::max(1u, std::min<unsigned>(threads, static_cast<unsigned>(chunks)));
  std::vector<std::thread> pool;
  for (unsigned t = 0; t < threads; ++t) pool.emplace_back(worker);

  if (csv) *csv << sweepHeader(plan);
  const auto start = std::chrono::steady_clock::now();
  bool barShown = false;
  auto lastDrawn = start;
  for (std::size_t c = 0; c < chunks; ++c) {
    std::unique_lock lock(mutex);
    while (!ready[c]) {
      wake.wait_for(lock, std::chrono::milliseconds(100));
      const auto now = std::chrono::steady_clock::now();
      if (options.progress && now - start > std::chrono::seconds(1) &&
          now - lastDrawn >= std::chrono::milliseconds(100)) {
        barShown = true;
        lastDrawn = now;
        drawProgress(finished, total);
      }
    }
    lock.unlock();
    if (csv) {
      csv->write(rows[c].data(), static_cast<std::streamsize>(rows[c].size()));
      std::string().swap(rows[c]);
    }
  }
  for (std::thread& t : pool) t.join();
  if (barShown) drawProgress(total, total);
  if (csv) csv->flush();
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
