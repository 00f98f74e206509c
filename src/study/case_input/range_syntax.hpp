// Case input: the ranges of values options and case files give, FROM:TO:STEP, FROM:TO, V1,V2,….
//
// A stepped range spreads into the values a person would type into the field, twelve significant
// digits each, so that 0.1 + 0.2 types as 0.3. A message begins with the range as given and names
// no option: the caller puts the option (or the key) before it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace aph::study {

// A range that cannot be read: what() is "TEXT: PROBLEM", the text shortened to 80 bytes
// ("110:30:10: the step does not lead from 110 to 30").
class RangeError : public std::runtime_error {
 public:
  RangeError(std::string_view text, const std::string& problem);
  const std::string& problem() const { return problem_; }

 private:
  std::string problem_;
};

// A stepped range holds at most this many values.
inline constexpr std::size_t kMaxRangeValues = 20'000'000;

// The forms a range may take.
enum class RangeForm : std::uint8_t {
  Span,           // FROM:TO
  Stepped,        // FROM:TO:STEP, both ends included
  SteppedOrList,  // FROM:TO:STEP, or V1,V2,… (any text without a colon is a list)
};

struct ValueRange {
  bool list = false;
  double from = 0, to = 0, step = 0;  // a span or a stepped range
  std::vector<std::string> texts;     // a list: each value as given
  std::vector<double> values;         // a list: what each reads as
  std::size_t count = 0;              // the values of a stepped range or a list; a span: 2
};

// Reads `text` in `form`: the shape first (`expected` says what a message expects of a text of
// another shape, the form's own syntax when empty), then each number as a whole, then the
// stepped range's count. Throws RangeError.
ValueRange parseRange(std::string_view text, RangeForm form, std::string_view expected = {});

// The values of a stepped range or a list, as typed into a field and as the field reads them:
// FROM, FROM + STEP, … up to TO (within a millionth of a step); a list's texts as given.
struct RangeValues {
  std::vector<std::string> texts;
  std::vector<double> values;
};
RangeValues rangeValues(const ValueRange& range);

// How many values FROM:TO:STEP holds; throws RangeError (of the text "FROM:TO:STEP") for a step
// of 0, one that does not lead from FROM to TO, or more than kMaxRangeValues values.
std::size_t steppedCount(double from, double to, double step);
// The values of FROM:TO:STEP.
RangeValues steppedValues(double from, double to, double step);

// The number of a text that must be one as a whole; empty when it is none, `problem` then says
// why ("\"12abc\" is not a number", "\"1e999\" is beyond what a double holds").
std::optional<double> readRangeNumber(std::string_view text, std::string& problem);

// A value of a range as field text: twelve significant digits.
std::string gridText(double value);

}  // namespace aph::study
