#include "study/outputs/number_text.hpp"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "model/text.hpp"

namespace aph::study {
namespace {

bool showsOnlyZero(const std::string& text, std::size_t from) {
  return text.find_first_not_of("0.", from) == std::string::npos;
}

// "-0.00" → "0.00", "-0" → "0"; any other text as it is.
std::string& withoutNegativeZero(std::string& text) {
  if (!text.empty() && text.front() == '-' && showsOnlyZero(text, 1)) text.erase(0, 1);
  return text;
}

}  // namespace

std::string fixedText(double value, int decimals) {
  std::string text = printfFixed(value, decimals);
  return withoutNegativeZero(text);
}

std::string fixedShowingText(double value, int decimals, int figures) {
  if (!std::isfinite(value)) return {};
  std::string text = printfFixed(value, decimals);
  if (value != 0 && showsOnlyZero(text, text.front() == '-' ? 1 : 0)) {
    // The decimal exponent of the value rounded to `figures` digits ("3.2e-03").
    const std::string rounded = printfScientific(value, figures - 1);
    const auto e = rounded.find('e');
    if (e != std::string::npos) {
      const int shown = std::min(figures - 1 - std::atoi(rounded.c_str() + e + 1), 330);
      text = printfFixed(value, shown);
      for (int extra = shown; extra > decimals && text.back() == '0'; --extra) text.pop_back();
    }
  }
  return withoutNegativeZero(text);
}

std::string figuresText(double value, int figures) {
  std::string text = printfGeneral(value, figures);
  return withoutNegativeZero(text);
}

std::string figuresTextAgainst(double value, double target, int figures) {
  for (int digits = figures;; ++digits) {
    std::string text = printfGeneral(value, digits);
    const double shown = std::strtod(text.c_str(), nullptr);
    if (digits >= 17 ||
        ((shown < target) == (value < target) && (shown == target) == (value == target)))
      return withoutNegativeZero(text);
  }
}

}  // namespace aph::study
