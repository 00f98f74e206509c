#include "study/checks/ranges.hpp"

#include <algorithm>
#include <cmath>
#include <stdexcept>

#include "model/text.hpp"
#include "study/io/files.hpp"
#include "study/outputs/number_text.hpp"

namespace aph::study {
namespace {

// What a key's value must be.
enum Kind : std::uint16_t {
  kFinite,             // any number a double holds
  kPositive,           // > 0
  kGap,                // > 0, or exactly empty (the equivalent diameter is read instead)
  kPositiveOrEmpty,    // > 0, or empty (an empty tuning factor counts as 1; empty properties
                       // come from the table; an empty equivalent diameter is left to the gap)
  kDiameterNeeded,     // > 0 when the side's gap is empty
  kWholeAtLeastOne,    // 1, 2, 3, …
  kNotNegative,        // ≥ 0 (an empty text reads 0)
  kAboveAbsoluteZero,  // > -273.15 ℃
  kCools,              // the flue gas leaves cooler than it enters
  kWarms,              // the air leaves warmer than it enters
  kKinds
};

constexpr double kAbsoluteZero = -273.15;

std::uint16_t code(std::size_t key, Kind kind) {
  return static_cast<std::uint16_t>(key * kKinds + kind);
}

bool endsWith(std::string_view path, std::string_view tail) {
  return path.size() > tail.size() && path.ends_with(tail) &&
         path[path.size() - tail.size() - 1] == '.';
}

// The range of a key's own value; kFinite for keys with none beyond being a number.
Kind kindOf(std::string_view path) {
  if (endsWith(path, "channel_length") || endsWith(path, "channel_width") ||
      path == "plate.thickness" || path == "plate.conductivity" || path.starts_with("passes."))
    return kPositive;
  if (endsWith(path, "channel_gap")) return kGap;
  if (path == "plate.pairs") return kWholeAtLeastOne;
  if (endsWith(path, "fouling") || endsWith(path, "volume_flow") || endsWith(path, "mass_flow"))
    return kNotNegative;
  if (endsWith(path, "inlet_temperature") || endsWith(path, "outlet_temperature"))
    return kAboveAbsoluteZero;
  if (path.starts_with("factors.") || endsWith(path, "equivalent_diameter") ||
      endsWith(path, "density") || endsWith(path, "specific_heat") ||
      endsWith(path, "conductivity") || endsWith(path, "viscosity"))
    return kPositiveOrEmpty;
  return kFinite;
}

std::string number(double v) {
  return figuresText(v, 12);
}

std::string withUnit(const std::string& text, std::string_view unit) {
  return unit.empty() ? text : text + " " + std::string(unit);
}

std::string path(std::size_t key) {
  return std::string(caseKey(key).path);
}

// The side's other key: "air.channel_gap" → "air.equivalent_diameter".
std::size_t sibling(std::size_t key, std::string_view name) {
  const std::string p = path(key);
  return *findKey(p.substr(0, p.find('.') + 1) + std::string(name));
}

std::string allowedText(std::size_t key, Kind kind) {
  const std::string_view unit = caseKey(key).unit;
  switch (kind) {
    case kFinite:
      return "a number within ±1.8e308";
    case kPositive:
      return withUnit("> 0", unit);
    case kGap:
      return withUnit("> 0", unit) + ", or \"\" to give the equivalent diameter instead";
    case kPositiveOrEmpty:
      return withUnit("> 0", unit) + ", or \"\"";
    case kDiameterNeeded:
      return withUnit("> 0", unit) + " while " + path(sibling(key, "channel_gap")) + " is \"\"";
    case kWholeAtLeastOne:
      return "a whole number ≥ 1";
    case kNotNegative:
      return withUnit("≥ 0", unit);
    case kAboveAbsoluteZero:
      return withUnit("above -273.15", unit);
    case kCools:
      return "below " + path(sibling(key, "inlet_temperature")) + ", as the flue gas cools";
    case kWarms:
      return "above " + path(sibling(key, "inlet_temperature")) + ", as the air warms";
    default:
      return {};
  }
}

// The text as given, and what the leading-number rule made of it when that is not plain.
std::string shownValue(const std::string& text, std::optional<double> read) {
  if (text.empty()) return "\"\"";
  if (readWholeNumber(text)) return shortened(text);
  if (!read) return "\"" + shortened(text) + "\"";
  return "\"" + shortened(text) + "\" (read as " + number(*read) + ")";
}

// What is wrong with a value outside its range: an empty text is told as empty, not as the 0 the
// window reads from it.
std::string outOfRange(const std::string& text, std::optional<double> read) {
  if (text.empty()) return "is empty (read as 0)";
  return shownValue(text, read) + " is out of range";
}

RangeFault fault(std::size_t key, Kind kind, const std::string& text, std::optional<double> read) {
  if (kind == kFinite)
    return {key, code(key, kind),
            shownValue(text, read) + " is not a finite number; allowed: " + allowedText(key, kind)};
  return {key, code(key, kind), outOfRange(text, read) + "; allowed: " + allowedText(key, kind)};
}

bool within(Kind kind, const std::string& text, double v) {
  switch (kind) {
    case kPositive:
      return v > 0;
    case kGap:
      return text.empty() || v > 0;
    case kPositiveOrEmpty:
      return text.empty() || v > 0;
    case kWholeAtLeastOne:
      return v >= 1 && v == std::floor(v);
    case kNotNegative:
      return v >= 0;
    case kAboveAbsoluteZero:
      return v > kAbsoluteZero;
    default:
      return true;
  }
}

// Whether a rule reading `rule` is one to check.
struct Selection {
  std::span<const std::size_t> keys;
  bool without;
  bool operator()(std::initializer_list<std::size_t> rule) const {
    if (keys.empty()) return true;
    bool any = false;
    for (std::size_t k : rule) any |= std::find(keys.begin(), keys.end(), k) != keys.end();
    return any != without;
  }
};

// Each key's rule and the keys its comparisons read, worked out once.
struct KeyRule {
  Kind kind = kFinite;
  bool numeric = false;
  std::optional<std::size_t> gap;     // an equivalent diameter's gap
  std::optional<std::size_t> inlet;   // an outlet temperature's inlet
  std::optional<std::size_t> reader;  // the key whose rule also reads this one
  bool flueGas = false;
};

const std::vector<KeyRule>& keyRules() {
  static const std::vector<KeyRule> rules = [] {
    std::vector<KeyRule> out(caseKeys().size());
    if (out.size() > 64) throw std::logic_error("more case keys than the range checks mark");
    for (std::size_t k = 0; k < out.size(); ++k) {
      const std::string_view p = caseKey(k).path;
      out[k].numeric = isNumericKey(k);
      out[k].kind = kindOf(p);
      out[k].flueGas = p.starts_with("flue_gas.");
      if (endsWith(p, "equivalent_diameter")) out[k].gap = sibling(k, "channel_gap");
      if (endsWith(p, "outlet_temperature")) out[k].inlet = sibling(k, "inlet_temperature");
    }
    for (std::size_t k = 0; k < out.size(); ++k) {
      if (out[k].gap) out[*out[k].gap].reader = k;
      if (out[k].inlet) out[*out[k].inlet].reader = k;
    }
    return out;
  }();
  return rules;
}

std::optional<RangeFault> ownFault(std::size_t k, const std::string& text) {
  const auto v = readLeadingNumber(text);
  if (!v) return fault(k, kFinite, text, v);
  if (!within(keyRules()[k].kind, text, *v)) return fault(k, keyRules()[k].kind, text, v);
  return std::nullopt;
}

// The rules of the keys (`own`: of their values alone, `pairs`: comparing two keys) that the
// selection picks, in the order of the keys.
std::optional<RangeFault> scan(const Case& c, std::span<const std::size_t> keys, bool without,
                               bool own, bool pairs, const Case* names = nullptr) {
  const Selection reads{keys, without};
  const auto& all = caseKeys();
  const auto& rules = keyRules();
  // With a few keys to check (a sweep's design), only their rules and the rules reading them:
  // a mark per key, visited in the order of the keys.
  std::uint64_t marked = 0;
  if (keys.empty() || without) {
    marked = ~std::uint64_t{0};
  } else {
    for (std::size_t k : keys) {
      marked |= std::uint64_t{1} << k;
      if (rules[k].reader) marked |= std::uint64_t{1} << *rules[k].reader;
    }
  }
  for (std::size_t k = 0; k < all.size(); ++k) {
    if (!(marked >> k & 1)) continue;
    const KeyRule& rule = rules[k];
    if (!rule.numeric) continue;
    if (own && c.values[k] && reads({k}))
      if (auto f = ownFault(k, *c.values[k])) return f;
    if (!pairs) continue;
    if (rule.gap) {
      // Without a gap the calculation works from the equivalent diameter: it must be there.
      const std::size_t gap = *rule.gap;
      if ((c.values[gap] || c.values[k]) && reads({gap, k}) && c.inputText(gap).empty()) {
        const std::string text = c.inputText(k);
        const auto v = readLeadingNumber(text);
        if (v && !(*v > 0)) return fault(k, kDiameterNeeded, text, v);
      }
    }
    if (rule.inlet) {
      const std::size_t inlet = *rule.inlet;
      if (!(c.values[inlet] || c.values[k]) || !reads({inlet, k})) continue;
      const auto in = readLeadingNumber(c.inputText(inlet));
      const auto out = readLeadingNumber(c.inputText(k));
      if (!in || !out) continue;
      const bool flueGas = rule.flueGas;
      if (flueGas ? *out < *in : *out > *in) continue;
      // Named where the case gives it: the outlet, or else the inlet.
      const Case& namer = names && (names->values[k] || names->values[inlet]) ? *names : c;
      const std::size_t named = namer.values[k] ? k : inlet;
      const std::string text = c.inputText(named);
      RangeFault f{named, code(k, flueGas ? kCools : kWarms), {}};
      // "below flue_gas.inlet_temperature (300 ℃), as the flue gas cools"
      const std::size_t other = named == k ? inlet : k;
      const bool below = flueGas == (named == k);
      f.message = outOfRange(text, named == k ? out : in) +
                  "; allowed: " + (below ? "below " : "above ") + path(other) + " (" +
                  withUnit(number(named == k ? *in : *out), all[other].unit) + "), as the " +
                  (flueGas ? "flue gas cools" : "air warms");
      return f;
    }
  }
  return std::nullopt;
}

}  // namespace

std::optional<RangeFault> rangeFault(const Case& c, std::span<const std::size_t> keys, bool without,
                                     const Case* names) {
  return scan(c, keys, without, true, true, names);
}

std::optional<RangeFault> valueFault(std::size_t key, const std::string& text) {
  if (!keyRules().at(key).numeric) return std::nullopt;
  return ownFault(key, text);
}

std::optional<RangeFault> pairFault(const Case& c, std::span<const std::size_t> keys) {
  return scan(c, keys, false, false, true);
}

std::string ruleText(std::uint16_t rule) {
  const std::size_t key = rule / kKinds;
  const auto kind = static_cast<Kind>(rule % kKinds);
  return path(key) + ": " + allowedText(key, kind);
}

}  // namespace aph::study
