#include "study/case_input/range_syntax.hpp"

#include <cmath>

#include "model/text.hpp"
#include "study/io/files.hpp"
#include "study/outputs/number_text.hpp"

namespace aph::study {
namespace {

constexpr std::size_t kShownBytes = 80;

std::vector<std::string_view> split(std::string_view text, char separator) {
  std::vector<std::string_view> parts;
  for (std::size_t start = 0;;) {
    const auto end = text.find(separator, start);
    parts.push_back(text.substr(start, end == std::string_view::npos ? end : end - start));
    if (end == std::string_view::npos) return parts;
    start = end + 1;
  }
}

std::string_view formSyntax(RangeForm form) {
  switch (form) {
    case RangeForm::Span:
      return "FROM:TO";
    case RangeForm::Stepped:
      return "FROM:TO:STEP";
    case RangeForm::SteppedOrList:
      break;
  }
  return "FROM:TO:STEP or V1,V2,…";
}

// The count of a stepped range, or the problem with it.
std::optional<std::size_t> countOf(double from, double to, double step, std::string& problem) {
  const std::string tooMany = "more than " + std::to_string(kMaxRangeValues) + " values";
  if (!(step != 0) || !std::isfinite(from) || !std::isfinite(to) || !std::isfinite(step)) {
    problem = "the step must be a number other than 0";
    return std::nullopt;
  }
  const double span = (to - from) / step;
  if (!std::isfinite(span)) {
    problem = tooMany;
    return std::nullopt;
  }
  if (span < -1e-9) {
    problem = "the step does not lead from " + gridText(from) + " to " + gridText(to);
    return std::nullopt;
  }
  const double count = std::floor(span + 1e-6) + 1;
  if (count > static_cast<double>(kMaxRangeValues)) {
    problem = tooMany;
    return std::nullopt;
  }
  return static_cast<std::size_t>(count);
}

}  // namespace

RangeError::RangeError(std::string_view text, const std::string& problem)
    : std::runtime_error(shortened(text, kShownBytes) + ": " + problem), problem_(problem) {}

std::optional<double> readRangeNumber(std::string_view text, std::string& problem) {
  const auto v = readWholeNumber(text);
  if (!text.empty() && v) return v;
  const bool tooLarge = !text.empty() && !readLeadingNumber(text);
  problem = "\"" + shortened(text) + "\" is " +
            (tooLarge ? "beyond what a double holds" : "not a number");
  return std::nullopt;
}

ValueRange parseRange(std::string_view text, RangeForm form, std::string_view expected) {
  const bool list = form == RangeForm::SteppedOrList && text.find(':') == std::string_view::npos;
  const auto parts = split(text, list ? ',' : ':');
  if (!list && parts.size() != (form == RangeForm::Span ? 2u : 3u))
    throw RangeError(text,
                     "expected " + std::string(expected.empty() ? formSyntax(form) : expected));
  std::vector<double> numbers;
  std::string problem;
  for (std::string_view part : parts) {
    const auto v = readRangeNumber(part, problem);
    if (!v) throw RangeError(text, problem);
    numbers.push_back(*v);
  }
  ValueRange range;
  range.list = list;
  if (list) {
    range.texts.assign(parts.begin(), parts.end());
    range.values = std::move(numbers);
    range.count = parts.size();
    return range;
  }
  range.from = numbers[0];
  range.to = numbers[1];
  range.count = 2;
  if (form == RangeForm::Span) return range;
  range.step = numbers[2];
  const auto count = countOf(range.from, range.to, range.step, problem);
  if (!count) throw RangeError(text, problem);
  range.count = *count;
  return range;
}

std::size_t steppedCount(double from, double to, double step) {
  std::string problem;
  const auto count = countOf(from, to, step, problem);
  if (!count) throw RangeError(gridText(from) + ":" + gridText(to) + ":" + gridText(step), problem);
  return *count;
}

RangeValues steppedValues(double from, double to, double step) {
  const std::size_t count = steppedCount(from, to, step);
  RangeValues out;
  out.texts.reserve(count);
  out.values.reserve(count);
  for (std::size_t k = 0; k < count; ++k) {
    out.texts.push_back(gridText(from + static_cast<double>(k) * step));
    out.values.push_back(readLeadingNumber(out.texts.back()).value_or(0));
  }
  return out;
}

RangeValues rangeValues(const ValueRange& range) {
  if (range.list) return {range.texts, range.values};
  return steppedValues(range.from, range.to, range.step);
}

std::string gridText(double value) {
  return figuresText(value, 12);
}

}  // namespace aph::study
