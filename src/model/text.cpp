#include "model/text.hpp"

#include <locale.h>

#include <algorithm>
#include <array>
#include <bit>
#include <cerrno>
#include <charconv>
#include <clocale>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

// Where the C++ library converts floating-point numbers itself (std::from_chars and std::to_chars
// for double), the conversions use it; where it does not (the WebAssembly build's library), the
// C library's strtod and printf serve. Both read a decimal number into the nearest double and
// write the exact binary value rounded half to even, so the texts are the same either way.
#if !defined(APH_NUMBER_TEXT_BY_C_LIBRARY)
#if defined(__cpp_lib_to_chars) && __cpp_lib_to_chars >= 201611L
#define APH_NUMBER_TEXT_BY_C_LIBRARY 0
#else
#define APH_NUMBER_TEXT_BY_C_LIBRARY 1
#endif
#endif

namespace aph {
namespace {

bool isBlank(char c) {
  return c <= ' ' && (c == ' ' || c == '\t' || c == '\r' || c == '\n');
}
bool isDigit(char c) {
  return c >= '0' && c <= '9';
}

// The leading number of a text, blanks removed. Most texts hold no blanks, and then the number
// is a view into the text itself; only a text with blanks in it is copied without them.
struct Scanned {
  std::string_view number;  // the leading number, blanks removed; empty when there is none
  bool wholeText = false;   // the number spans the whole text
  std::string storage;      // the text without its blanks, when it had any
};

Scanned scanLeadingNumber(std::string_view text) {
  Scanned r;
  std::string_view s = text;
  if (std::any_of(text.begin(), text.end(), isBlank)) {
    r.storage.reserve(text.size());
    for (char c : text)
      if (!isBlank(c)) r.storage.push_back(c);
    s = r.storage;
  }

  std::size_t k = 0;
  if (k < s.size() && (s[k] == '+' || s[k] == '-')) ++k;
  std::size_t digits = 0;
  while (k < s.size() && isDigit(s[k])) ++k, ++digits;
  if (k < s.size() && s[k] == '.') {
    ++k;
    while (k < s.size() && isDigit(s[k])) ++k, ++digits;
  }
  if (digits == 0) return r;
  std::size_t end = k;
  if (k < s.size() && (s[k] == 'e' || s[k] == 'E')) {
    std::size_t e = k + 1;
    if (e < s.size() && (s[e] == '+' || s[e] == '-')) ++e;
    std::size_t expDigits = 0;
    while (e < s.size() && isDigit(s[e])) ++e, ++expDigits;
    if (expDigits > 0) end = e;
  }
  r.wholeText = end == s.size();
  r.number = s.substr(0, end);
  return r;
}

locale_t cLocale() {
  static const locale_t loc = newlocale(LC_NUMERIC_MASK, "C", static_cast<locale_t>(nullptr));
  return loc;
}

// The powers of ten a double holds exactly.
constexpr double kExactPowersOfTen[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                        1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                        1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};

// Converts a well-formed decimal number; empty on overflow. Underflow gives the nearest
// representable value (possibly zero), as a decimal reader does.
std::optional<double> convert(std::string_view number) {
  // Most field texts are short decimals such as 350 or 0.0012: their digits as a whole number
  // below 2^53 and a power of ten up to 10^22 are both exact doubles, so one division gives the
  // nearest double to the decimal, the same one the general readers find.
  {
    std::size_t k = 0;
    const bool negative = number[0] == '-';
    if (number[0] == '-' || number[0] == '+') ++k;
    std::uint64_t whole = 0;
    int fraction = -1;  // digits after the point; -1 before a point
    int counted = 0;
    for (; k < number.size(); ++k) {
      const char c = number[k];
      if (c == '.') {
        fraction = 0;
      } else if (isDigit(c) && counted < 16) {
        whole = whole * 10 + static_cast<std::uint64_t>(c - '0');
        if (whole != 0) ++counted;  // leading zeros take no place
        if (fraction >= 0) ++fraction;
      } else {
        break;  // an exponent, or too many digits: the general reader
      }
    }
    if (k == number.size() && whole <= (std::uint64_t{1} << 53) && fraction <= 22) {
      const double magnitude =
          static_cast<double>(whole) / kExactPowersOfTen[fraction < 0 ? 0 : fraction];
      return negative ? -magnitude : magnitude;
    }
  }
  double value = 0;
#if !APH_NUMBER_TEXT_BY_C_LIBRARY
  const char* begin = number.data();
  const char* const end = number.data() + number.size();
  if (*begin == '+') ++begin;
  const auto [ptr, ec] = std::from_chars(begin, end, value);
  if (ec == std::errc() && ptr == end) return value;
#endif
  // The C reader wants a terminated text; out-of-range numbers and C-library builds come here.
  const std::string terminated(number);
  errno = 0;
  value = strtod_l(terminated.c_str(), nullptr, cLocale());
  if (errno == ERANGE && std::fabs(value) == HUGE_VAL) return std::nullopt;
  if (!std::isfinite(value)) return std::nullopt;
  return value;
}

// The value's decimal digits to `significant` places (at most 17), with the decimal exponent of
// the first, held in place without allocating.
struct Decimal {
  bool negative = false;
  char digit[24] = {};  // exactly `count` digits
  int count = 0;
  int exponent = 0;
  std::string_view digits() const { return {digit, static_cast<std::size_t>(count)}; }
};

// The digits and decimal exponent of a text d.ddd…e±xx written by the library.
Decimal parsedDecimal(const char* buffer, const char* end, bool negative) {
  Decimal d;
  d.negative = negative;
  const char* e = static_cast<const char*>(std::memchr(buffer, 'e', end - buffer));
  if (!e) e = end;
  for (const char* p = buffer; p < e; ++p)
    if (isDigit(*p) && d.count < static_cast<int>(sizeof d.digit)) d.digit[d.count++] = *p;
  if (e < end) {  // e, a sign, then the exponent's digits
    const char* p = e + 1;
    const bool negativeExponent = p < end && *p == '-';
    if (p < end && (*p == '-' || *p == '+')) ++p;
    int exponent = 0;
    for (; p < end && isDigit(*p); ++p) exponent = exponent * 10 + (*p - '0');
    d.exponent = negativeExponent ? -exponent : exponent;
  }
  return d;
}

// The digits of `whole`, at least `width` of them with zeros in front; returns the end.
char* putWhole(char* p, std::uint64_t whole, int width) {
  char digits[24];
  int count = 0;
  do {
    digits[count++] = static_cast<char>('0' + whole % 10);
    whole /= 10;
  } while (whole != 0 || count < width);
  while (count > 0) *p++ = digits[--count];
  return p;
}

// The exponent form of nonzero digits d.ddd…: the first digit, the point and the others (when
// there are any), the letter, the exponent's sign and at least two of its digits: 1.5E+16, 1e-05.
char* putExponentForm(char* p, std::string_view digits, char letter, int exponent) {
  *p++ = digits[0];
  if (digits.size() > 1) {
    *p++ = '.';
    p = std::copy(digits.begin() + 1, digits.end(), p);
  }
  *p++ = letter;
  *p++ = exponent < 0 ? '-' : '+';
  return putWhole(p, static_cast<std::uint64_t>(std::abs(exponent)), 2);
}

#if !APH_NUMBER_TEXT_BY_C_LIBRARY && defined(__SIZEOF_INT128__)
#define APH_NUMBER_TEXT_EXACT_SCALING 1
// A normal double is m × 2^-s with a 53-bit whole m. For the magnitudes fields hold, the value
// scaled by 10^k to `significant` whole digits, m × 5^k / 2^(s - k), is worked out exactly in
// 128-bit integers: the quotient is the digits, the remainder against half of 2^(s - k) decides
// the rounding, half to even on the exact value as the library rounds. 5^k is whole below 2^63
// for k up to 27, and s - k must be positive: values from about 1e-13 (significant 15) to 1e15.
__extension__ typedef unsigned __int128 Uint128;  // a GNU extension, hence the marker

struct ScaledDecimal {
  std::uint64_t digits = 0;  // exactly `significant` digits
  int exponent = 0;          // decimal exponent of the first digit
};

// 10^k = 5^k × 2^k: the value is scaled by a whole 5^k below 2^63 (k up to 27) and a shift.
constexpr int kMaxExactScale = 27;
constexpr std::array<std::uint64_t, kMaxExactScale + 1> kFiveToThe = [] {
  std::array<std::uint64_t, kMaxExactScale + 1> powers{};
  powers[0] = 1;
  for (std::size_t k = 1; k < powers.size(); ++k) powers[k] = powers[k - 1] * 5;
  return powers;
}();
// 10^k up to the largest below 2^64.
constexpr std::array<std::uint64_t, 20> kTenToThe = [] {
  std::array<std::uint64_t, 20> powers{};
  powers[0] = 1;
  for (std::size_t k = 1; k < powers.size(); ++k) powers[k] = powers[k - 1] * 10;
  return powers;
}();

// The `significant` digits of a ScaledDecimal, first to last. The last eight and the ones before
// them are two whole numbers below 2^32, taken apart side by side: neither waits on the other's
// divisions.
void putDigits(char* digit, ScaledDecimal scaled, int significant) {
  auto high = static_cast<std::uint32_t>(scaled.digits / 100000000);
  auto low = static_cast<std::uint32_t>(scaled.digits % 100000000);
  const int highCount = std::max(significant - 8, 0);
  for (int k = 0; k < significant - highCount; ++k, low /= 10)
    digit[significant - 1 - k] = static_cast<char>('0' + low % 10);
  for (int k = 0; k < highCount; ++k, high /= 10)
    digit[highCount - 1 - k] = static_cast<char>('0' + high % 10);
}

// A whole number of 10^-decimals written with its point, right to left: the decimals, the point,
// then the whole part, at least one digit of it.
std::string withPoint(bool minus, std::uint64_t whole, int decimals) {
  char buffer[48];
  char* const end = buffer + sizeof buffer;
  char* p = end;
  int written = 0;
  do {
    if (written == decimals && decimals > 0) *--p = '.';
    *--p = static_cast<char>('0' + whole % 10);
    whole /= 10;
    ++written;
  } while (whole != 0 || written <= decimals);
  if (minus) *--p = '-';
  return std::string(p, end);
}

// magnitude × 10^scale = whole + a fraction, exactly; `up` when the fraction rounds the whole up
// (above one half, or one half on an odd whole). Zero is 0; false where the exact product does
// not fit (subnormal, infinite or NaN, scale beyond 0…27, whole at or beyond 2^63).
bool scaledExactly(double magnitude, int scale, std::uint64_t& whole, bool& up) {
  if (magnitude == 0) {
    whole = 0;
    up = false;
    return true;
  }
  const auto bits = std::bit_cast<std::uint64_t>(magnitude);
  const int biased = static_cast<int>(bits >> 52);
  if (biased == 0 || biased == 0x7FF || scale < 0 || scale > kMaxExactScale) return false;
  const std::uint64_t mantissa = (bits & ((std::uint64_t{1} << 52) - 1)) | std::uint64_t{1} << 52;
  // magnitude × 10^scale = mantissa × 5^scale / 2^shift
  const int shift = 1075 - biased - scale;
  if (shift < 1 || shift > 127) return false;
  const Uint128 scaled =
      static_cast<Uint128>(mantissa) * kFiveToThe[static_cast<std::size_t>(scale)];
  const Uint128 quotient = scaled >> shift;
  if (quotient >> 63 != 0) return false;
  whole = static_cast<std::uint64_t>(quotient);
  const Uint128 rest = scaled - (quotient << shift);
  const Uint128 half = static_cast<Uint128>(1) << (shift - 1);
  up = rest > half || (rest == half && (whole & 1) != 0);
  return true;
}

// The nonzero magnitude rounded to `significant` (at most 17) digits.
bool exactlyScaled(double magnitude, int significant, ScaledDecimal& out) {
  if (magnitude == 0 || significant < 1 || significant > 17) return false;
  // 10^exponent <= magnitude < 10^(exponent + 1): first a guess from the binary exponent, which
  // is that or one less, and a comparison with the power of ten above, then a correction on the
  // scaled digits, where the guess may still be one off at a power of ten not held exactly.
  const int binaryExponent = static_cast<int>(std::bit_cast<std::uint64_t>(magnitude) >> 52) - 1023;
  int exponent = static_cast<int>(std::floor(binaryExponent * 0.30102999566398120));
  constexpr int kGuessRange = 24;
  static constexpr std::array<double, 2 * kGuessRange + 1> kNearPowersOfTen = [] {
    std::array<double, 2 * kGuessRange + 1> powers{};
    powers[kGuessRange] = 1;
    for (int k = 1; k <= kGuessRange; ++k) {
      powers[kGuessRange + k] = powers[kGuessRange + k - 1] * 10;
      powers[kGuessRange - k] = powers[kGuessRange - k + 1] / 10;
    }
    return powers;
  }();
  if (std::abs(exponent + 1) <= kGuessRange &&
      magnitude >= kNearPowersOfTen[static_cast<std::size_t>(exponent + 1 + kGuessRange)])
    ++exponent;
  const auto lowest = kTenToThe[static_cast<std::size_t>(significant - 1)];
  for (int attempt = 0; attempt < 3; ++attempt) {
    std::uint64_t whole = 0;
    bool up = false;
    if (!scaledExactly(magnitude, significant - 1 - exponent, whole, up)) return false;
    if (whole < lowest) {
      --exponent;
      continue;
    }
    if (whole >= lowest * 10) {
      ++exponent;
      continue;
    }
    out.digits = whole + (up ? 1 : 0);
    out.exponent = exponent;
    if (out.digits == lowest * 10) {  // 99…9 rounds up to 100…0, one place higher
      out.digits = lowest;
      ++out.exponent;
    }
    return true;
  }
  return false;
}
#endif

Decimal decimalDigits(double value, int significant) {
  const bool negative = std::signbit(value) && value != 0;
#if defined(APH_NUMBER_TEXT_EXACT_SCALING)
  if (ScaledDecimal scaled; exactlyScaled(std::fabs(value), significant, scaled)) {
    Decimal d;
    d.negative = negative;
    d.count = significant;
    d.exponent = scaled.exponent;
    putDigits(d.digit, scaled, significant);
    return d;
  }
#endif
  // d.ddd…e±xx of the finite value's magnitude; 64 characters hold 17 digits and any exponent.
  char buffer[64];
#if APH_NUMBER_TEXT_BY_C_LIBRARY
  // Only digits are taken from the mantissa, so the locale's decimal point does not matter.
  const int length =
      std::snprintf(buffer, sizeof buffer, "%.*e", significant - 1, std::fabs(value));
  const char* end = buffer + std::max(0, std::min(length, static_cast<int>(sizeof buffer) - 1));
#else
  const auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer - 1, std::fabs(value),
                                       std::chars_format::scientific, significant - 1);
  (void)ec;
#endif
  return parsedDecimal(buffer, end, negative);
}

}  // namespace

std::optional<double> readLeadingNumber(std::string_view text) {
  const Scanned s = scanLeadingNumber(text);
  if (s.number.empty()) return 0.0;
  return convert(s.number);
}

std::optional<double> readWholeNumber(std::string_view text) {
  const Scanned s = scanLeadingNumber(text);
  if (s.number.empty() || !s.wholeText) return std::nullopt;
  return convert(s.number);
}

std::string formatFixed(double value, int decimals) {
#if defined(APH_NUMBER_TEXT_EXACT_SCALING)
  // The 15-digit form cut to the decimals, half away from zero on the first digit cut off.
  if (ScaledDecimal scaled; decimals >= 0 && decimals <= 18 &&
                            (value == 0 || exactlyScaled(std::fabs(value), 15, scaled))) {
    const int keep = value == 0 ? 0 : scaled.exponent + 1 + decimals;  // digits that stay
    if (keep <= 18) {
      std::uint64_t whole = 0;
      if (keep >= 15) {
        whole = scaled.digits * kTenToThe[static_cast<std::size_t>(keep - 15)];
      } else if (keep >= 0) {
        const std::uint64_t cut = kTenToThe[static_cast<std::size_t>(15 - keep)];
        whole = scaled.digits / cut + (scaled.digits % cut >= cut / 2 ? 1 : 0);
      }
      return withPoint(value < 0, whole, decimals);
    }
  }
#endif
  // The digits of |value| × 10^decimals rounded half away from zero: `length` of them, the first
  // `count` given in `digit` (one more than the 15 of the decimal form when a carry runs out of
  // the first), the rest zeros.
  decimals = std::max(decimals, 0);
  char digit[17];  // digit[0] is kept for that carry
  const char* first = digit + 1;
  int count = 0;
  int length = 0;
  if (value != 0 && std::isfinite(value)) {
    const Decimal d = decimalDigits(value, 15);
    const int keep = d.exponent + 1 + decimals;  // digits of the 15-digit form that stay
    if (keep >= 0) {
      count = std::min(keep, d.count);
      length = keep;
      std::memcpy(digit + 1, d.digit, static_cast<std::size_t>(count));
      if (keep < d.count && d.digit[keep] >= '5') {
        int k = count;
        while (k >= 1 && digit[k] == '9') digit[k--] = '0';
        if (k >= 1) {
          ++digit[k];
        } else {
          digit[0] = '1';  // 99…9 rounds up to 100…0, one digit longer
          first = digit;
          ++count;
          ++length;
        }
      }
    }
  }
  // Zeros in front up to one whole digit; the point before the last `decimals` digits.
  const int scaled = std::max(length, decimals + 1);
  const int lead = scaled - length;
  std::string out(static_cast<std::size_t>((value < 0 ? 1 : 0) + scaled + (decimals > 0 ? 1 : 0)),
                  '0');
  char* p = out.data();
  if (value < 0) *p++ = '-';
  for (int i = 0; i < scaled; ++i) {
    if (decimals > 0 && i == scaled - decimals) *p++ = '.';
    const int k = i - lead;
    *p++ = k >= 0 && k < count ? first[k] : '0';
  }
  return out;
}

namespace {

// A sign, at most 17 digits, a point and four zeros or an exponent of three digits.
using PlainBuffer = char[48];

// Writes the plain number text into `buffer`; returns its end.
char* plainText(PlainBuffer& buffer, double value, int significant, int plainUpperExponent) {
  char* p = buffer;
  if (value == 0 || !std::isfinite(value)) {
    *p++ = '0';
    return p;
  }
  const Decimal d = decimalDigits(value, significant);
  std::string_view digits = d.digits();
  while (digits.size() > 1 && digits.back() == '0') digits.remove_suffix(1);
  const auto put = [&p](std::string_view part) { p = std::copy(part.begin(), part.end(), p); };
  if (d.negative) *p++ = '-';
  if (d.exponent >= -4 && d.exponent < plainUpperExponent) {
    if (d.exponent < 0) {
      put("0.");
      p = std::fill_n(p, -d.exponent - 1, '0');
      put(digits);
    } else {
      const std::size_t whole = static_cast<std::size_t>(d.exponent) + 1;
      if (digits.size() <= whole) {
        put(digits);
        p = std::fill_n(p, whole - digits.size(), '0');
      } else {
        put(digits.substr(0, whole));
        *p++ = '.';
        put(digits.substr(whole));
      }
    }
    return p;
  }
  return putExponentForm(p, digits, 'E', d.exponent);
}

}  // namespace

std::string formatPlain(double value) {
  PlainBuffer buffer;
  return std::string(buffer, plainText(buffer, value, 15, 15));
}

std::string formatPlainSingle(float value) {
  PlainBuffer buffer;
  return std::string(buffer, plainText(buffer, static_cast<double>(value), 7, 7));
}

namespace {

#if APH_NUMBER_TEXT_BY_C_LIBRARY
// Whether d.ddd × 10^exponent reads back as exactly `magnitude`, and whether what it reads back
// as lies above it (as a decimal beyond the largest double does).
struct ReadBack {
  bool exact = false;
  bool above = false;
};
ReadBack readBack(const Decimal& d, double magnitude) {
  const std::string text = std::string(d.digits().substr(0, 1)) + "." +
                           std::string(d.digits().substr(1)) + "e" + std::to_string(d.exponent);
  const auto back = convert(text);
  if (!back) return {false, true};
  return {*back == magnitude, *back > magnitude};
}

// The decimal one unit in the last place above (step 1) or below (step -1), with as many digits.
Decimal nextDecimal(Decimal d, int step) {
  char* digits = d.digit;
  int k = d.count - 1;
  if (step > 0) {
    while (k >= 0 && digits[k] == '9') digits[k--] = '0';
    if (k < 0) {  // 99…9 + 1 = 100…0, one place higher
      digits[0] = '1';
      ++d.exponent;
    } else {
      ++digits[k];
    }
  } else {
    while (k >= 0 && digits[k] == '0') digits[k--] = '9';
    if (k >= 0) --digits[k];
    if (digits[0] == '0') {  // 100…0 − 1 = 99…9, one place lower
      std::fill_n(digits, d.count, '9');
      --d.exponent;
    }
  }
  return d;
}

// The fewest significant digits that read back as `value` (finite, not zero), and of those the
// nearest to it, as std::to_chars finds them.
Decimal shortestDecimal(double value) {
  const double magnitude = std::fabs(value);
  for (int significant = 1; significant < 17; ++significant) {
    const Decimal nearest = decimalDigits(value, significant);
    const ReadBack back = readBack(nearest, magnitude);
    if (back.exact) return nearest;
    // Just above a power of two the next double below lies closer than the next above, so the
    // nearest decimal may miss on the near side while the next one on the far side reads back.
    const Decimal other = nextDecimal(nearest, back.above ? -1 : 1);
    if (readBack(other, magnitude).exact) return other;
  }
  return decimalDigits(value, 17);
}
#endif

}  // namespace

std::string formatShortestFixed(double value) {
#if APH_NUMBER_TEXT_BY_C_LIBRARY
  if (value == 0 || !std::isfinite(value)) return std::signbit(value) ? "-0" : "0";
  const Decimal d = shortestDecimal(value);
  const int digits = d.count;
  std::string out = d.negative ? "-" : "";
  if (d.exponent + 1 >= digits) {
    // A whole number: its exact value, not the shortest digits followed by zeros.
    char whole[400];  // the largest double has 309 digits
    std::snprintf(whole, sizeof whole, "%.0f", std::fabs(value));
    out += whole;
  } else if (d.exponent >= 0) {
    const auto point = static_cast<std::size_t>(d.exponent) + 1;
    out += d.digits().substr(0, point);
    out += '.';
    out += d.digits().substr(point);
  } else {
    out += "0.";
    out.append(static_cast<std::size_t>(-d.exponent - 1), '0');
    out += d.digits();
  }
  return out;
#else
  char buffer[512];  // a subnormal written out takes 342 characters
  const auto [end, ec] =
      std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed);
  return ec == std::errc() ? std::string(buffer, end) : std::string("0");
#endif
}

std::string formatShortest(double value) {
#if APH_NUMBER_TEXT_BY_C_LIBRARY
  if (value == 0 || !std::isfinite(value)) return std::signbit(value) ? "-0" : "0";
  const Decimal d = shortestDecimal(value);
  const int digits = d.count;
  const int e = d.exponent;
  // Characters of either form, the sign aside: 1234.5, 0.00012345 / 1.2345e+03, 1.2345e-04.
  const int plainLength =
      e >= 0 ? std::max(digits, e + 1) + (digits > e + 1 ? 1 : 0) : digits + 1 - e;
  const int scientificLength = digits + (digits > 1 ? 1 : 0) + 2 + (std::abs(e) >= 100 ? 3 : 2);
  if (plainLength <= scientificLength) return formatShortestFixed(value);
  std::string out = d.negative ? "-" : "";
  out += d.digit[0];
  if (digits > 1) {
    out += '.';
    out += d.digits().substr(1);
  }
  char exponent[16];
  std::snprintf(exponent, sizeof exponent, "e%c%02d", e < 0 ? '-' : '+', std::abs(e));
  return out + exponent;
#else
  char buffer[512];
  const auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, value);
  return ec == std::errc() ? std::string(buffer, end) : std::string("0");
#endif
}

namespace {

// The C library's own text, of whatever length it takes.
std::string printedByC(const char* format, int precision, double value) {
  char buffer[64];
  const int length = std::snprintf(buffer, sizeof buffer, format, precision, value);
  if (length < 0) return {};
  if (static_cast<std::size_t>(length) < sizeof buffer)
    return std::string(buffer, static_cast<std::size_t>(length));
  std::string text(static_cast<std::size_t>(length), '\0');
  std::snprintf(text.data(), text.size() + 1, format, precision, value);
  return text;
}

}  // namespace

std::string printfFixed(double value, int decimals) {
#if defined(APH_NUMBER_TEXT_EXACT_SCALING)
  std::uint64_t whole = 0;
  bool up = false;
  if (decimals >= 0 && decimals <= 18 && scaledExactly(std::fabs(value), decimals, whole, up)) {
    return withPoint(std::signbit(value), whole + (up ? 1 : 0), decimals);
  }
#endif
  return printedByC("%.*f", decimals, value);
}

std::string printfScientific(double value, int precision) {
#if defined(APH_NUMBER_TEXT_EXACT_SCALING)
  if (ScaledDecimal scaled;
      precision >= 0 && exactlyScaled(std::fabs(value), precision + 1, scaled)) {
    char digit[24];
    putDigits(digit, scaled, precision + 1);
    char buffer[48];
    char* p = buffer;
    if (std::signbit(value)) *p++ = '-';
    p = putExponentForm(p, std::string_view(digit, static_cast<std::size_t>(precision + 1)), 'e',
                        scaled.exponent);
    return std::string(buffer, p);
  }
#endif
  return printedByC("%.*e", precision, value);
}

std::string printfGeneral(double value, int figures) {
#if defined(APH_NUMBER_TEXT_EXACT_SCALING)
  const int significant = figures == 0 ? 1 : figures;
  if (value == 0 && figures >= 0) return std::signbit(value) ? "-0" : "0";
  if (ScaledDecimal scaled; figures >= 0 && exactlyScaled(std::fabs(value), significant, scaled)) {
    char digit[24];
    putDigits(digit, scaled, significant);
    int count = significant;  // trailing zeros are dropped, in either style
    while (count > 1 && digit[count - 1] == '0') --count;
    const int e = scaled.exponent;
    char buffer[48];
    char* p = buffer;
    if (std::signbit(value)) *p++ = '-';
    if (e >= -4 && e < significant) {  // plain: 123.45, 0.0012345
      if (e < 0) {
        p = std::copy_n("0.0000", 1 - e, p);
        p = std::copy(digit, digit + count, p);
      } else {
        p = std::copy(digit, digit + std::min(count, e + 1), p);
        p = std::fill_n(p, std::max(0, e + 1 - count), '0');
        if (count > e + 1) {
          *p++ = '.';
          p = std::copy(digit + e + 1, digit + count, p);
        }
      }
    } else {  // with an exponent: 1.2345e+16, 1e-05
      p = putExponentForm(p, std::string_view(digit, static_cast<std::size_t>(count)), 'e', e);
    }
    return std::string(buffer, p);
  }
#endif
  return printedByC("%.*g", figures, value);
}

double plainTextRoundTrip(double value) {
  // The text is a number as a whole, without blanks: read in place, as the leading-number rule
  // would read it.
#if defined(APH_NUMBER_TEXT_EXACT_SCALING)
  // The text's digits as a whole number below 2^53 and a power of ten up to 10^22 are exact
  // doubles: one division or product gives the nearest double to the text, as reading it would.
  if (ScaledDecimal scaled; exactlyScaled(std::fabs(value), 15, scaled)) {
    const int scale = 14 - scaled.exponent;
    constexpr int kLargestExactPower = static_cast<int>(std::size(kExactPowersOfTen)) - 1;
    if (scale >= -kLargestExactPower && scale <= kLargestExactPower) {
      const auto digits = static_cast<double>(scaled.digits);
      const double magnitude =
          scale >= 0 ? digits / kExactPowersOfTen[scale] : digits * kExactPowersOfTen[-scale];
      return value < 0 ? -magnitude : magnitude;
    }
  }
#endif
  PlainBuffer buffer;
  const char* end = plainText(buffer, value, 15, 15);
  const auto back = convert(std::string_view(buffer, static_cast<std::size_t>(end - buffer)));
  return back ? *back : HUGE_VAL;
}

// Terminal columns a UTF-8 text takes: East Asian wide characters take two.
std::size_t displayWidth(std::string_view text) {
  std::size_t width = 0;
  for (std::size_t k = 0; k < text.size();) {
    const auto c = static_cast<unsigned char>(text[k]);
    char32_t cp = c;
    std::size_t length = 1;
    if (c >= 0xF0) {
      length = 4;
      cp = c & 0x07;
    } else if (c >= 0xE0) {
      length = 3;
      cp = c & 0x0F;
    } else if (c >= 0xC0) {
      length = 2;
      cp = c & 0x1F;
    }
    for (std::size_t j = 1; j < length && k + j < text.size(); ++j)
      cp = (cp << 6) | (static_cast<unsigned char>(text[k + j]) & 0x3F);
    const bool wide = (cp >= 0x1100 && cp <= 0x115F) || (cp >= 0x2E80 && cp <= 0xA4CF) ||
                      (cp >= 0xAC00 && cp <= 0xD7A3) || (cp >= 0xF900 && cp <= 0xFAFF) ||
                      (cp >= 0xFE30 && cp <= 0xFE4F) || (cp >= 0xFF00 && cp <= 0xFF60) ||
                      (cp >= 0xFFE0 && cp <= 0xFFE6);
    width += wide ? 2 : 1;
    k += length;
  }
  return width;
}

std::string padToWidth(std::string_view text, std::size_t width) {
  std::string out(text);
  const std::size_t w = displayWidth(text);
  if (w < width) out.append(width - w, ' ');
  return out;
}

std::size_t utf8Character(std::string_view text, std::size_t k, char32_t& code) {
  const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
  const unsigned char lead = byte(k);
  std::size_t length;
  char32_t least;
  if (lead < 0x80) {
    code = lead;
    return 1;
  } else if ((lead & 0xE0) == 0xC0) {
    length = 2, code = lead & 0x1F, least = 0x80;
  } else if ((lead & 0xF0) == 0xE0) {
    length = 3, code = lead & 0x0F, least = 0x800;
  } else if ((lead & 0xF8) == 0xF0) {
    length = 4, code = lead & 0x07, least = 0x10000;
  } else {
    return 0;
  }
  if (k + length > text.size()) return 0;
  for (std::size_t i = 1; i < length; ++i) {
    if ((byte(k + i) & 0xC0) != 0x80) return 0;
    code = code << 6 | (byte(k + i) & 0x3F);
  }
  if (code < least || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return 0;
  return length;
}

std::optional<std::size_t> firstNonUtf8Byte(std::string_view text) {
  char32_t code = 0;
  for (std::size_t k = 0; k < text.size();) {
    // ASCII, nearly all of a case file, a byte at a time without decoding.
    if (static_cast<unsigned char>(text[k]) < 0x80) {
      ++k;
      continue;
    }
    const std::size_t length = utf8Character(text, k, code);
    if (length == 0) return k;
    k += length;
  }
  return std::nullopt;
}

std::optional<std::string> notUtf8Reason(std::string_view text) {
  const auto bad = firstNonUtf8Byte(text);
  if (!bad) return std::nullopt;
  const auto line =
      std::count(text.begin(), text.begin() + static_cast<std::ptrdiff_t>(*bad), '\n') + 1;
  // A file saved in a legacy code page is GBK, most often, where names are Chinese.
  return "not UTF-8 at byte offset " + std::to_string(*bad) + ", line " + std::to_string(line) +
         " (GBK?); save the file as UTF-8";
}

}  // namespace aph
