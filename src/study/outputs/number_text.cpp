#include "study/outputs/number_text.hpp"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace aph::study {
namespace {

// snprintf into a string of whatever length the text takes.
std::string printed(const char* format, int precision, double value) {
  char buffer[64];
  const int length = std::snprintf(buffer, sizeof buffer, format, precision, value);
  if (length < 0) return {};
  if (static_cast<std::size_t>(length) < sizeof buffer)
    return std::string(buffer, static_cast<std::size_t>(length));
  std::string text(static_cast<std::size_t>(length), '\0');
  std::snprintf(text.data(), text.size() + 1, format, precision, value);
  return text;
}

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
  std::string text = printed("%.*f", decimals, value);
  return withoutNegativeZero(text);
}

std::string fixedShowingText(double value, int decimals, int figures) {
  if (!std::isfinite(value)) return {};
  std::string text = printed("%.*f", decimals, value);
  if (value != 0 && showsOnlyZero(text, text.front() == '-' ? 1 : 0)) {
    // The decimal exponent of the value rounded to `figures` digits ("3.2e-03").
    const std::string rounded = printed("%.*e", figures - 1, value);
    const auto e = rounded.find('e');
    if (e != std::string::npos) {
      const int shown = std::min(figures - 1 - std::atoi(rounded.c_str() + e + 1), 330);
      text = printed("%.*f", shown, value);
      for (int extra = shown; extra > decimals && text.back() == '0'; --extra) text.pop_back();
    }
  }
  return withoutNegativeZero(text);
}

std::string figuresText(double value, int figures) {
  std::string text = printed("%.*g", figures, value);
  return withoutNegativeZero(text);
}

std::string figuresTextAgainst(double value, double target, int figures) {
  for (int digits = figures;; ++digits) {
    std::string text = printed("%.*g", digits, value);
    const double shown = std::strtod(text.c_str(), nullptr);
    if (digits >= 17 ||
        ((shown < target) == (value < target) && (shown == target) == (value == target)))
      return withoutNegativeZero(text);
  }
}

}  // namespace aph::study
