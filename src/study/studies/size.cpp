#include "study/studies/size.hpp"

#include <algorithm>
#include <cmath>
#include <numeric>
#include <sstream>

#include "study/checks/ranges.hpp"
#include "study/outputs/number_text.hpp"

namespace aph::study {
namespace {

constexpr std::string_view kSizingKeys[] = {
    "plate.pairs",          "flue_gas.channel_length", "flue_gas.channel_width",
    "flue_gas.channel_gap", "air.channel_length",      "air.channel_width",
    "air.channel_gap"};

// "50…60, 70…80": runs of consecutive candidates (in value order) that satisfy `pick`.
std::string runs(const Axis& axis, const std::vector<std::size_t>& order,
                 const std::vector<bool>& pick) {
  std::vector<std::string> parts;
  for (std::size_t k = 0; k < order.size();) {
    if (!pick[order[k]]) {
      ++k;
      continue;
    }
    std::size_t end = k;
    while (end + 1 < order.size() && pick[order[end + 1]]) ++end;
    const std::string& a = axis.texts[order[k]];
    const std::string& b = axis.texts[order[end]];
    parts.push_back(k == end ? a : a + "…" + b);
    k = end + 1;
  }
  std::string out;
  for (std::size_t k = 0; k < parts.size() && k < 4; ++k) out += (k ? ", " : "") + parts[k];
  if (parts.size() > 4) out += ", …";
  return out;
}

std::string shortfallText(unsigned s, const DesignValues& v, const Limits& limits) {
  std::vector<std::string> parts;
  if (s & kInvalid) parts.push_back("outside the allowed range (" + ruleText(v.rule) + ")");
  if (s & kStopped) parts.emplace_back("the calculation stops");
  if (s & kBelowBand)
    parts.push_back("margin " + fixedText(v.margin, 2) + " % below " +
                    fixedText(limits.marginLow, 2) + " %");
  if (s & kAboveBand)
    parts.push_back("margin " + fixedText(v.margin, 2) + " % above " +
                    fixedText(limits.marginHigh, 2) + " %");
  if (s & kFlueGasOver)
    parts.push_back("flue-gas pressure drop " + fixedText(v.dpFlueGas, 1) + " Pa over " +
                    fixedText(limits.maxDrop, 1) + " Pa");
  if (s & kAirOver)
    parts.push_back("air pressure drop " + fixedText(v.dpAir, 1) + " Pa over " +
                    fixedText(limits.maxDrop, 1) + " Pa");
  if (s & kColdEnd)
    parts.push_back("cold-end dew-point margin " + fixedText(v.dewPointMargin, 2) + " K below " +
                    fixedText(v.requiredDewPointMargin, 2) + " K");
  std::string out;
  for (std::size_t k = 0; k < parts.size(); ++k) out += (k ? "; " : "") + parts[k];
  return out;
}

}  // namespace

bool isSizingKey(std::size_t key) {
  return std::find(std::begin(kSizingKeys), std::end(kSizingKeys), caseKey(key).path) !=
         std::end(kSizingKeys);
}

Axis defaultSizingAxis(std::size_t key) {
  if (!isSizingKey(key)) {
    std::string list;
    for (std::string_view k : kSizingKeys) list.append(list.empty() ? "" : ", ").append(k);
    throw SweepError(std::string("\"")
                         .append(caseKey(key).path)
                         .append("\" is not a plate-pack parameter; size varies one of ")
                         .append(list));
  }
  const CaseKey& keyInfo = caseKey(key);
  if (keyInfo.quantity == Quantity::PlatePairs) return rangeAxis(key, 1, 1000, 1);
  if (keyInfo.quantity == Quantity::FlueGasChannelGap ||
      keyInfo.quantity == Quantity::AirChannelGap) {
    const ListInfo& list = listInfo(*keyInfo.quantity);
    Axis axis;
    axis.key = key;
    for (std::size_t k = 0; k < list.count; ++k) {
      axis.texts.emplace_back(list.entries[k]);
      axis.values.push_back(std::stod(axis.texts.back()));
    }
    return axis;
  }
  return rangeAxis(key, 0.5, 10, 0.01);
}

unsigned shortfalls(const DesignValues& v, const Limits& limits) {
  if (v.invalid) return kInvalid;
  if (!v.completed || std::isnan(v.margin) || std::isnan(v.dpFlueGas) || std::isnan(v.dpAir))
    return kStopped;
  unsigned s = 0;
  if (v.margin < limits.marginLow) s |= kBelowBand;
  if (v.margin > limits.marginHigh) s |= kAboveBand;
  if (v.dpFlueGas > limits.maxDrop) s |= kFlueGasOver;
  if (v.dpAir > limits.maxDrop) s |= kAirOver;
  if (!std::isnan(v.dewPointMargin) && v.dewPointMargin < v.requiredDewPointMargin) s |= kColdEnd;
  return s;
}

SizeSearch::SizeSearch(const Axis& candidates, const Limits& limits, unsigned threads, bool asTyped)
    : candidates_(candidates), limits_(limits), threads_(threads), asTyped_(asTyped) {
  result_.order.resize(candidates.values.size());
  std::iota(result_.order.begin(), result_.order.end(), std::size_t{0});
  std::stable_sort(result_.order.begin(), result_.order.end(), [&](std::size_t a, std::size_t b) {
    return candidates.values[a] < candidates.values[b];
  });
}

void SizeSearch::addLoad(const Case& load) {
  SweepPlan plan{load, {candidates_}};
  SweepOptions options;
  options.threads = threads_;
  options.asTyped = asTyped_;
  options.checks = limits_.checks;
  LoadSizing sizing;
  sizing.name = load.name;
  sizing.file = load.file;
  const CaseChecks checks(load, limits_.checks);
  sizing.dewPointKnown = checks.dewPoints().acid.has_value();
  sizing.requiredDewPointMargin = checks.requiredMargin();
  sizing.values = runSweep(plan, nullptr, options);
  result_.loads.push_back(std::move(sizing));
}

SizeResult SizeSearch::finish() {
  result_.found.reset();
  for (std::size_t k : result_.order) {
    bool met = !result_.loads.empty();
    for (const LoadSizing& load : result_.loads)
      met = met && shortfalls(load.values[k], limits_) == 0;
    if (met) {
      result_.found = k;
      break;
    }
  }
  return std::move(result_);
}

SizeResult sizeDesign(const Case& base, const Axis& candidates, const Limits& limits,
                      unsigned threads, bool asTyped) {
  SizeSearch search(candidates, limits, threads, asTyped);
  search.addLoad(base);
  return search.finish();
}

SizeResult sizeDesign(const std::vector<Case>& loads, const Axis& candidates, const Limits& limits,
                      unsigned threads, bool asTyped) {
  SizeSearch search(candidates, limits, threads, asTyped);
  for (const Case& load : loads) search.addLoad(load);
  return search.finish();
}

std::string describeSizing(const Case&, const Axis& candidates, const Limits& limits,
                           const SizeResult& result) {
  return describeSizing(candidates, limits, result);
}

namespace {

// Candidates outside the ranges, counted by the range they break, in the order first met.
struct SkippedCandidates {
  std::size_t count = 0;
  std::vector<std::pair<std::uint16_t, std::size_t>> byRule;
};

SkippedCandidates skippedCandidates(const std::vector<std::size_t>& order,
                                    const std::vector<LoadSizing>& loads) {
  SkippedCandidates skipped;
  for (std::size_t k : order) {
    const DesignValues* invalid = nullptr;
    for (const LoadSizing& load : loads)
      if (!invalid && load.values[k].invalid) invalid = &load.values[k];
    if (!invalid) continue;
    ++skipped.count;
    auto at = std::find_if(skipped.byRule.begin(), skipped.byRule.end(),
                           [&](const auto& entry) { return entry.first == invalid->rule; });
    if (at == skipped.byRule.end()) {
      skipped.byRule.emplace_back(invalid->rule, 1);
    } else {
      ++at->second;
    }
  }
  return skipped;
}

// Per candidate, whether each family of limits holds at every load case.
struct LimitFamilies {
  std::vector<bool> completed, inBand, dropsOk, coldOk;
};

LimitFamilies limitFamilies(std::size_t candidates, const std::vector<LoadSizing>& loads,
                            const Limits& limits) {
  LimitFamilies f{std::vector<bool>(candidates, true), std::vector<bool>(candidates, true),
                  std::vector<bool>(candidates, true), std::vector<bool>(candidates, true)};
  for (std::size_t k = 0; k < candidates; ++k) {
    for (const LoadSizing& load : loads) {
      const unsigned s = shortfalls(load.values[k], limits);
      const bool done = !(s & (kStopped | kInvalid));
      f.completed[k] = f.completed[k] && done;
      f.inBand[k] = f.inBand[k] && done && !(s & (kBelowBand | kAboveBand));
      f.dropsOk[k] = f.dropsOk[k] && done && !(s & (kFlueGasOver | kAirOver));
      f.coldOk[k] = f.coldOk[k] && done && !(s & kColdEnd);
    }
  }
  return f;
}

// What one load case reaches over the candidates it completes.
struct Reach {
  double lowMargin = INFINITY, highMargin = -INFINITY, lowDrop1 = INFINITY, lowDrop2 = INFINITY;
  double highDewMargin = -INFINITY;
  bool band = false, drops = false, cold = false;  // holds at some candidate
};

std::vector<Reach> reachOf(std::size_t candidates, const std::vector<LoadSizing>& loads,
                           const Limits& limits) {
  std::vector<Reach> reach(loads.size());
  for (std::size_t l = 0; l < loads.size(); ++l) {
    for (std::size_t k = 0; k < candidates; ++k) {
      const DesignValues& v = loads[l].values[k];
      const unsigned s = shortfalls(v, limits);
      if (s & (kStopped | kInvalid)) continue;
      Reach& r = reach[l];
      r.lowMargin = std::min(r.lowMargin, v.margin);
      r.highMargin = std::max(r.highMargin, v.margin);
      r.lowDrop1 = std::min(r.lowDrop1, v.dpFlueGas);
      r.lowDrop2 = std::min(r.lowDrop2, v.dpAir);
      if (!std::isnan(v.dewPointMargin))
        r.highDewMargin = std::max(r.highDewMargin, v.dewPointMargin);
      r.band = r.band || !(s & (kBelowBand | kAboveBand));
      r.drops = r.drops || !(s & (kFlueGasOver | kAirOver));
      r.cold = r.cold || !(s & kColdEnd);
    }
  }
  return reach;
}

std::size_t holding(const std::vector<bool>& v) {
  return static_cast<std::size_t>(std::count(v.begin(), v.end(), true));
}

// The text of a sizing, told from what was decided above.
class SizingText {
 public:
  SizingText(const Axis& candidates, const Limits& limits, const SizeResult& result)
      : candidates_(candidates),
        limits_(limits),
        order_(result.order),
        loads_(result.loads),
        several_(loads_.size() > 1),
        range_(candidates.texts[order_.front()] + "…" + candidates.texts[order_.back()]) {}

  std::string describe(const SizeResult& result) {
    header();
    const SkippedCandidates skipped = skippedCandidates(order_, loads_);
    skippedRules(skipped);
    if (result.found)
      found(*result.found);
    else
      noValue(skipped);
    balanceNotes();
    return out_.str();
  }

 private:
  // "100 % 负荷: " before what is told of one load case, when there are several.
  std::string who(const LoadSizing& load) const {
    return several_ ? load.name + ": " : std::string();
  }
  // " at 50 % 负荷" after a limit that one of several load cases never meets.
  std::string at(std::size_t l) const { return several_ ? " at " + loads_[l].name : std::string(); }

  void header() {
    const CaseKey& keyInfo = caseKey(candidates_.key);
    const std::string name = std::string(keyInfo.path) + " (" + std::string(keyInfo.caption) + ")";
    std::string goal = "margin " + fixedText(limits_.marginLow, 2) + "…" +
                       fixedText(limits_.marginHigh, 2) + " %, both pressure drops ≤ " +
                       fixedText(limits_.maxDrop, 1) + " Pa";
    // The cold end is held to its margin wherever an acid dew point is known.
    std::vector<double> required;
    for (const LoadSizing& load : loads_)
      if (load.dewPointKnown) required.push_back(load.requiredDewPointMargin);
    dewPoints_ = !required.empty();
    if (dewPoints_) {
      const bool same = std::all_of(required.begin(), required.end(),
                                    [&](double r) { return r == required.front(); });
      goal += same ? ", cold-end wall ≥ acid dew point + " + fixedText(required.front(), 2) + " K"
                   : ", cold-end wall ≥ acid dew point + each load case's margin";
    }
    if (several_) {
      out_ << "cases ";
      for (std::size_t l = 0; l < loads_.size() && l < 8; ++l)
        out_ << (l ? ", " : "") << loads_[l].name;
      if (loads_.size() > 8) out_ << ", … (" << loads_.size() << " load cases)";
      out_ << " (" << loads_.front().file << ")\n";
    } else {
      out_ << "case " << loads_.front().name << " (" << loads_.front().file << ")\n";
    }
    out_ << "sizing " << name << " over " << range_ << " (" << order_.size() << " values) for "
         << goal << (several_ ? ", at every load case" : "") << "\n";
  }

  void skippedRules(const SkippedCandidates& skipped) {
    if (!skipped.count) return;
    out_ << "skipped " << skipped.count << " of " << order_.size()
         << " candidates outside the allowed ranges:\n";
    for (const auto& [rule, count] : skipped.byRule)
      out_ << "  " << ruleText(rule) << " (" << count << (count == 1 ? " candidate" : " candidates")
           << ")\n";
  }

  // The duties do not depend on the plate pack, nor does the flue-gas specific heat they rest
  // on: told once per load case, not sized for.
  void balanceNotes() {
    for (const LoadSizing& load : loads_) {
      for (std::size_t k : order_) {
        const DesignValues& v = load.values[k];
        if (v.invalid || std::isnan(v.heatBalance)) continue;
        if (v.violations & kHeatBalance)
          out_ << "note: " << who(load)
               << "the two heat duties disagree: (Q1 - Q2) / Q2 = " << checkFigure(v.heatBalance)
               << " %, beyond ±" << checkFigure(limits_.checks.balanceTolerance)
               << " % (the plate pack does not change them)\n";
        if (!std::isnan(v.tableLawSpecificHeat))
          out_ << "note: " << who(load) << tableLawNote(v.tableLawSpecificHeat)
               << ": Q1 and the heat balance rest on it\n";
        break;
      }
    }
  }

  void found(std::size_t k) {
    out_ << "smallest value: " << candidates_.texts[k] << "\n";
    for (const LoadSizing& load : loads_) {
      const DesignValues& v = load.values[k];
      out_ << "  " << who(load) << "margin " << fixedText(v.margin, 4)
           << " %, flue-gas pressure drop " << fixedText(v.dpFlueGas, 4)
           << " Pa, air pressure drop " << fixedText(v.dpAir, 4) << " Pa";
      if (!std::isnan(v.dewPointMargin))
        out_ << ", cold-end dew-point margin " << fixedText(v.dewPointMargin, 2) << " K";
      out_ << "\n";
    }
    const auto position = std::find(order_.begin(), order_.end(), k) - order_.begin();
    if (position == 0) {
      out_ << "  binding: the lower end of the range; every limit is already met there"
           << (several_ ? " at every load case" : "") << "\n";
      return;
    }
    const std::size_t below = order_[static_cast<std::size_t>(position - 1)];
    bool first = true;
    for (const LoadSizing& load : loads_) {
      const DesignValues& v = load.values[below];
      const unsigned s = shortfalls(v, limits_);
      if (!s) continue;
      out_ << (first ? "  binding: at " + candidates_.texts[below] + ", " : std::string("    "))
           << who(load) << shortfallText(s, v, limits_) << "\n";
      first = false;
    }
  }

  void noValue(const SkippedCandidates& skipped) {
    out_ << "no value in " << range_ << " meets every limit"
         << (several_ ? " at every load case" : "") << "\n";
    const LimitFamilies f = limitFamilies(order_.size(), loads_, limits_);
    if (holding(f.completed) == 0) {
      if (skipped.count == order_.size()) {
        out_ << "  binding: every candidate lies outside the allowed ranges\n";
      } else {
        out_ << "  binding: the calculation stops for every value"
             << (skipped.count ? " within the allowed ranges" : "")
             << (several_ ? " at one load case or more" : "") << "\n";
      }
      return;
    }
    const std::vector<Reach> reach = reachOf(order_.size(), loads_, limits_);
    if (holding(f.inBand) == 0) marginBand(reach);
    if (holding(f.dropsOk) == 0) pressureDrops(reach);
    if (holding(f.coldOk) == 0) coldEnd(reach);
    if (holding(f.inBand) > 0 && holding(f.dropsOk) > 0 && holding(f.coldOk) > 0) {
      out_ << "  binding: " << (dewPoints_ ? "the limits" : "both limits")
           << " together, they never hold at the same value\n";
      out_ << "    margin in band for " << runs(candidates_, order_, f.inBand) << "\n";
      out_ << "    pressure drops within the limit for " << runs(candidates_, order_, f.dropsOk)
           << "\n";
      if (dewPoints_)
        out_ << "    cold-end dew-point margin met for " << runs(candidates_, order_, f.coldOk)
             << "\n";
    }
  }

  void marginBand(const std::vector<Reach>& reach) {
    bool told = false;
    for (std::size_t l = 0; l < loads_.size(); ++l) {
      if (reach[l].band || !std::isfinite(reach[l].lowMargin)) continue;
      out_ << "  binding: the margin band" << at(l) << "; the margin only runs from "
           << fixedText(reach[l].lowMargin, 2) << " % to " << fixedText(reach[l].highMargin, 2)
           << " %\n";
      told = true;
    }
    if (!told)
      out_ << "  binding: the margin band; it is never met at every load case at the same value\n";
  }

  void pressureDrops(const std::vector<Reach>& reach) {
    bool told = false;
    for (std::size_t l = 0; l < loads_.size(); ++l) {
      const Reach& r = reach[l];
      if (!std::isfinite(r.lowDrop1)) continue;
      if (r.lowDrop1 > limits_.maxDrop)
        out_ << "  binding: the flue-gas pressure drop never falls to "
             << fixedText(limits_.maxDrop, 1) << " Pa" << at(l) << " (lowest "
             << fixedText(r.lowDrop1, 1) << " Pa)\n";
      if (r.lowDrop2 > limits_.maxDrop)
        out_ << "  binding: the air pressure drop never falls to " << fixedText(limits_.maxDrop, 1)
             << " Pa" << at(l) << " (lowest " << fixedText(r.lowDrop2, 1) << " Pa)\n";
      told = told || r.lowDrop1 > limits_.maxDrop || r.lowDrop2 > limits_.maxDrop;
    }
    if (!told)
      out_ << "  binding: the two pressure drops never stay within "
           << fixedText(limits_.maxDrop, 1) << " Pa at the same value"
           << (several_ ? " at every load case" : "") << "\n";
  }

  void coldEnd(const std::vector<Reach>& reach) {
    bool told = false;
    for (std::size_t l = 0; l < loads_.size(); ++l) {
      if (reach[l].cold || !std::isfinite(reach[l].highDewMargin)) continue;
      out_ << "  binding: the cold-end dew-point margin" << at(l) << "; it is at most "
           << fixedText(reach[l].highDewMargin, 2) << " K, short of the "
           << fixedText(loads_[l].requiredDewPointMargin, 2) << " K required\n";
      told = true;
    }
    if (!told)
      out_ << "  binding: the cold-end dew-point margin; it is never met at every load case at "
              "the same value\n";
  }

  const Axis& candidates_;
  const Limits& limits_;
  const std::vector<std::size_t>& order_;
  const std::vector<LoadSizing>& loads_;
  const bool several_;
  const std::string range_;
  bool dewPoints_ = false;
  std::ostringstream out_;
};

}  // namespace

std::string describeSizing(const Axis& candidates, const Limits& limits, const SizeResult& result) {
  return SizingText(candidates, limits, result).describe(result);
}

}  // namespace aph::study
