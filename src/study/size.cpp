#include "study/size.hpp"

#include <algorithm>
#include <cmath>
#include <numeric>
#include <sstream>

#include "study/ranges.hpp"

namespace aph::study {
namespace {

constexpr std::string_view kSizingKeys[] = {
    "plate.pairs",          "flue_gas.channel_length", "flue_gas.channel_width",
    "flue_gas.channel_gap", "air.channel_length",      "air.channel_width",
    "air.channel_gap"};

std::string fixed(double v, int decimals) {
  std::ostringstream out;
  out.setf(std::ios::fixed);
  out.precision(decimals);
  out << v;
  return out.str();
}

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
    parts.push_back("margin " + fixed(v.margin, 2) + " % below " + fixed(limits.marginLow, 2) +
                    " %");
  if (s & kAboveBand)
    parts.push_back("margin " + fixed(v.margin, 2) + " % above " + fixed(limits.marginHigh, 2) +
                    " %");
  if (s & kFlueGasOver)
    parts.push_back("flue-gas pressure drop " + fixed(v.dpFlueGas, 1) + " Pa over " +
                    fixed(limits.maxDrop, 1) + " Pa");
  if (s & kAirOver)
    parts.push_back("air pressure drop " + fixed(v.dpAir, 1) + " Pa over " +
                    fixed(limits.maxDrop, 1) + " Pa");
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
  if (keyInfo.field == FieldId::Text18) return rangeAxis(key, 1, 1000, 1);
  if (keyInfo.field == FieldId::Combo3 || keyInfo.field == FieldId::Combo4) {
    const ListInfo& list = listInfo(keyInfo.field);
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
  return s;
}

SizeResult sizeDesign(const Case& base, const Axis& candidates, const Limits& limits,
                      unsigned threads, bool asTyped) {
  SizeResult result;
  SweepPlan plan{base, {candidates}};
  SweepOptions options;
  options.threads = threads;
  options.asTyped = asTyped;
  result.values = runSweep(plan, nullptr, options);
  result.order.resize(candidates.values.size());
  std::iota(result.order.begin(), result.order.end(), std::size_t{0});
  std::stable_sort(result.order.begin(), result.order.end(), [&](std::size_t a, std::size_t b) {
    return candidates.values[a] < candidates.values[b];
  });
  for (std::size_t k : result.order) {
    if (shortfalls(result.values[k], limits) == 0) {
      result.found = k;
      break;
    }
  }
  return result;
}

std::string describeSizing(const Case& base, const Axis& candidates, const Limits& limits,
                           const SizeResult& result) {
  const CaseKey& keyInfo = caseKey(candidates.key);
  const auto& order = result.order;
  std::ostringstream out;
  const std::string name = std::string(keyInfo.path) + " (" + std::string(keyInfo.caption) + ")";
  const std::string range = candidates.texts[order.front()] + "…" + candidates.texts[order.back()];
  const std::string goal = "margin " + fixed(limits.marginLow, 2) + "…" +
                           fixed(limits.marginHigh, 2) + " %, both pressure drops ≤ " +
                           fixed(limits.maxDrop, 1) + " Pa";
  out << "case " << base.name << " (" << base.file << ")\n";
  out << "sizing " << name << " over " << range << " (" << order.size() << " values) for " << goal
      << "\n";
  // Candidates outside the ranges, counted by the range they break, in the order first met.
  std::vector<std::pair<std::uint16_t, std::size_t>> skipped;
  std::size_t skippedCount = 0;
  for (std::size_t k : order) {
    const DesignValues& v = result.values[k];
    if (!v.invalid) continue;
    ++skippedCount;
    auto at = std::find_if(skipped.begin(), skipped.end(),
                           [&](const auto& entry) { return entry.first == v.rule; });
    if (at == skipped.end()) {
      skipped.emplace_back(v.rule, 1);
    } else {
      ++at->second;
    }
  }
  if (skippedCount) {
    out << "skipped " << skippedCount << " of " << order.size()
        << " candidates outside the allowed ranges:\n";
    for (const auto& [rule, count] : skipped)
      out << "  " << ruleText(rule) << " (" << count << (count == 1 ? " candidate" : " candidates")
          << ")\n";
  }
  if (result.found) {
    const std::size_t k = *result.found;
    const DesignValues& v = result.values[k];
    out << "smallest value: " << candidates.texts[k] << "\n";
    out << "  margin " << fixed(v.margin, 4) << " %, flue-gas pressure drop "
        << fixed(v.dpFlueGas, 4) << " Pa, air pressure drop " << fixed(v.dpAir, 4) << " Pa\n";
    const auto position = std::find(order.begin(), order.end(), k) - order.begin();
    if (position == 0) {
      out << "  binding: the lower end of the range; every limit is already met there\n";
    } else {
      const std::size_t below = order[static_cast<std::size_t>(position - 1)];
      out << "  binding: at " << candidates.texts[below] << ", "
          << shortfallText(shortfalls(result.values[below], limits), result.values[below], limits)
          << "\n";
    }
    return out.str();
  }

  out << "no value in " << range << " meets every limit\n";
  std::vector<bool> completed(order.size()), inBand(order.size()), dropsOk(order.size());
  for (std::size_t k = 0; k < order.size(); ++k) {
    const unsigned s = shortfalls(result.values[k], limits);
    completed[k] = !(s & (kStopped | kInvalid));
    inBand[k] = completed[k] && !(s & (kBelowBand | kAboveBand));
    dropsOk[k] = completed[k] && !(s & (kFlueGasOver | kAirOver));
  }
  const auto count = [](const std::vector<bool>& v) {
    return std::count(v.begin(), v.end(), true);
  };
  if (count(completed) == 0) {
    if (skippedCount == order.size()) {
      out << "  binding: every candidate lies outside the allowed ranges\n";
    } else {
      out << "  binding: the calculation stops for every value"
          << (skippedCount ? " within the allowed ranges" : "") << "\n";
    }
    return out.str();
  }
  double lowMargin = INFINITY, highMargin = -INFINITY, lowDrop1 = INFINITY, lowDrop2 = INFINITY;
  for (std::size_t k = 0; k < order.size(); ++k) {
    if (!completed[k]) continue;
    const DesignValues& v = result.values[k];
    lowMargin = std::min(lowMargin, v.margin);
    highMargin = std::max(highMargin, v.margin);
    lowDrop1 = std::min(lowDrop1, v.dpFlueGas);
    lowDrop2 = std::min(lowDrop2, v.dpAir);
  }
  if (count(inBand) == 0) {
    out << "  binding: the margin band; the margin only runs from " << fixed(lowMargin, 2)
        << " % to " << fixed(highMargin, 2) << " %\n";
  }
  if (count(dropsOk) == 0) {
    if (lowDrop1 > limits.maxDrop)
      out << "  binding: the flue-gas pressure drop never falls to " << fixed(limits.maxDrop, 1)
          << " Pa (lowest " << fixed(lowDrop1, 1) << " Pa)\n";
    if (lowDrop2 > limits.maxDrop)
      out << "  binding: the air pressure drop never falls to " << fixed(limits.maxDrop, 1)
          << " Pa (lowest " << fixed(lowDrop2, 1) << " Pa)\n";
    if (lowDrop1 <= limits.maxDrop && lowDrop2 <= limits.maxDrop)
      out << "  binding: the two pressure drops never stay within " << fixed(limits.maxDrop, 1)
          << " Pa at the same value\n";
  }
  if (count(inBand) > 0 && count(dropsOk) > 0) {
    out << "  binding: both limits together, they never hold at the same value\n";
    out << "    margin in band for " << runs(candidates, order, inBand) << "\n";
    out << "    pressure drops within the limit for " << runs(candidates, order, dropsOk) << "\n";
  }
  return out.str();
}

}  // namespace aph::study
