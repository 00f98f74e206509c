// The leading-number rule and the three number texts, on arbitrary bytes.
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "model/text.hpp"

namespace {

void require(bool condition, const char* what) {
  if (!condition) {
    std::fprintf(stderr, "invariant failed: %s\n", what);
    std::abort();
  }
}

bool hasDecimals(const std::string& text, std::size_t decimals) {
  const auto point = text.find('.');
  return point != std::string::npos && text.size() - point - 1 == decimals &&
         text.find_first_not_of("-0123456789.") == std::string::npos;
}

void checkFormats(double value) {
  if (!std::isfinite(value)) return;
  const std::string fixed4 = aph::formatFixed4(value);
  require(hasDecimals(fixed4, 4), "\"0.0000\" has four decimals");
  require(hasDecimals(aph::formatFixed3(value), 3), "\"0.000\" has three decimals");
  require((value < 0) == (fixed4[0] == '-'), "minus sign exactly for negative values");
  const std::string plain = aph::formatPlain(value);
  const auto back = aph::readLeadingNumber(plain);
  if (back) {
    require(*back == 0 ? value == 0 || std::fabs(value) < 1e-300
                       : std::fabs(*back - value) <= std::fabs(value) * 1e-14,
            "plain text reads back as the same number");
  } else {
    require(std::fabs(value) > 1.7976931348623e308, "only the largest values overflow");
  }
  const auto single = static_cast<float>(value);
  if (std::isfinite(single)) {
    const auto singleBack = aph::readLeadingNumber(aph::formatPlainSingle(single));
    require(singleBack && std::fabs(*singleBack - single) <= std::fabs(single) * 1e-6,
            "single plain text reads back");
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  const auto leading = aph::readLeadingNumber(text);
  const auto whole = aph::readWholeNumber(text);
  if (leading) {
    require(std::isfinite(*leading), "a read number is finite");
    checkFormats(*leading);
  }
  if (whole) require(leading && *leading == *whole, "a whole number is its leading number");
  if (size >= sizeof(double)) {
    // Raw bits: skip NaNs and infinities by their exponent, without touching them as numbers
    // (a signalling NaN would trip the floating-point trap).
    std::uint64_t bits;
    std::memcpy(&bits, data, sizeof bits);
    if (((bits >> 52) & 0x7FF) != 0x7FF) {
      double value;
      std::memcpy(&value, &bits, sizeof value);
      checkFormats(value);
    }
  }
  return 0;
}
