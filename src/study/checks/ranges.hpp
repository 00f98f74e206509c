// The values an engineer could mean. The window rates whatever is typed into it; the batch tool
// holds each case to physical ranges first: lengths, widths, gaps, equivalent diameters, plate
// thickness and conductivity above 0, a whole number of plate pairs, no negative fouling or
// flow, tuning factors, pass counts and property values above 0, temperatures above absolute
// zero, flue gas that cools and air that warms. A value given as a text is read by the window's
// leading-number rule, then checked the same way.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "study/case_input/case_file.hpp"

namespace aph::study {

// One broken range: the key it names, and which rule (a small code, for counting).
struct RangeFault {
  std::size_t key = 0;
  std::uint16_t rule = 0;
  std::string message;  // "110.5 is out of range; allowed: a whole number ≥ 1"
};

// The first range the case breaks, in the order of the keys. Only values the case gives are
// checked (with the window's defaults for the other side of a comparison); with `keys`, only
// the rules that read one of those keys, or with `without`, only those that read none of them.
// A comparison names the key the case gives (the outlet when both are), or the one `names`
// gives when it gives one: the load case over the shared keys.
std::optional<RangeFault> rangeFault(const Case& c, std::span<const std::size_t> keys = {},
                                     bool without = false, const Case* names = nullptr);

// The two parts of the check: the rule of one key's value alone (none for a key that is not a
// number), and the rules comparing keys (gap and equivalent diameter, inlet and outlet) that read
// one of `keys`. A sweep checks the first once per value of an axis.
std::optional<RangeFault> valueFault(std::size_t key, const std::string& text);
std::optional<RangeFault> pairFault(const Case& c, std::span<const std::size_t> keys);

// "plate.pairs: a whole number ≥ 1", what a rule allows; for counting skipped candidates.
std::string ruleText(std::uint16_t rule);

}  // namespace aph::study
