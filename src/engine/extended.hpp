// The x87 extended format (a 64-bit significand, rounded to nearest with ties to even after every
// operation) computed in integers, for the targets whose long double is another format: in
// WebAssembly long double is a 128-bit quad, whose 113-bit significand rounds differently. The
// formulas kept in extended precision (the theoretical overall coefficient) give the same bits
// with it as with the native 80-bit long double of x86-64.
//
// Only what those formulas use is here: exact conversion from single precision and from whole
// numbers, multiplication, division, and rounding to single precision. Every operation checks
// as `Checked` does: a zero divisor and a result beyond the extended range raise ArithmeticFault.
#pragma once

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstring>

#include "engine/fault.hpp"

namespace aph {

class SoftExtended {
 public:
  // Exponents of the extended format: values of magnitude [2^-16382, 2^16384) are normal. The
  // rating's operands are single-precision values and small whole numbers, whose products and
  // quotients (at most four of them) lie far inside; leaving the normal range is a fault here.
  static constexpr int kMaxBinaryExponent = 16383;
  static constexpr int kMinBinaryExponent = -16382;

  constexpr SoftExtended() = default;
  // Exact, as a single widens to extended precision.
  SoftExtended(float value);  // NOLINT(google-explicit-constructor)
  // Exact for every whole number of up to 64 bits.
  SoftExtended(int value);  // NOLINT(google-explicit-constructor)

  // significand × 2^exponent, exactly.
  static SoftExtended fromParts(bool negative, std::uint64_t significand, int exponent);

  bool negative() const { return negative_; }
  bool isZero() const { return significand_ == 0; }
  // The value is significand × 2^exponent; a non-zero significand has its top bit set.
  std::uint64_t significand() const { return significand_; }
  int exponent() const { return exponent_; }

  friend SoftExtended operator*(SoftExtended a, SoftExtended b);
  friend SoftExtended operator/(SoftExtended a, SoftExtended b);

  // |x| > FLT_MAX, decided on the exact value.
  bool exceedsSingleRange() const;
  // Rounds to the nearest single, ties to even, subnormal singles included; the value must not
  // exceed the single range.
  float toFloat() const;

 private:
  // Rounds `high` by what was cut off below it (see the definition) and checks the range.
  static SoftExtended rounded(bool negative, std::uint64_t high, int exponent, int belowHalf);

  bool negative_ = false;
  std::uint64_t significand_ = 0;
  int exponent_ = 0;
};

// ---- Implementation ----------------------------------------------------------------------------

inline SoftExtended SoftExtended::fromParts(bool negative, std::uint64_t magnitude, int exponent) {
  SoftExtended x;
  x.negative_ = negative;
  if (magnitude == 0) return x;
  const int shift = std::countl_zero(magnitude);
  x.significand_ = magnitude << shift;
  x.exponent_ = exponent - shift;
  const int binaryExponent = x.exponent_ + 63;
  if (binaryExponent > kMaxBinaryExponent || binaryExponent < kMinBinaryExponent)
    throw ArithmeticFault{};
  return x;
}

inline SoftExtended::SoftExtended(float value) {
  std::uint32_t bits;
  static_assert(sizeof bits == sizeof value);
  std::memcpy(&bits, &value, sizeof bits);
  const bool negative = (bits >> 31) != 0;
  const int field = static_cast<int>((bits >> 23) & 0xFF);
  const std::uint32_t fraction = bits & 0x7FFFFF;
  if (field == 0xFF) throw ArithmeticFault{};  // infinity or NaN never enters a formula
  // Normal: (2^23 + fraction) × 2^(field - 150); subnormal: fraction × 2^-149.
  *this = field == 0 ? fromParts(negative, fraction, -149)
                     : fromParts(negative, (std::uint64_t{1} << 23) | fraction, field - 150);
}

inline SoftExtended::SoftExtended(int value) {
  const std::uint64_t magnitude = value < 0 ? std::uint64_t{0} - static_cast<std::uint64_t>(value)
                                            : static_cast<std::uint64_t>(value);
  *this = fromParts(value < 0, magnitude, 0);
}

// `belowHalf`: < 0 the discarded part is below half a unit of the last place, 0 exactly half,
// > 0 above half.
inline SoftExtended SoftExtended::rounded(bool negative, std::uint64_t high, int exponent,
                                          int belowHalf) {
  if (belowHalf > 0 || (belowHalf == 0 && (high & 1) != 0)) {
    ++high;
    if (high == 0) {  // carried out of the top: 2^64
      high = std::uint64_t{1} << 63;
      ++exponent;
    }
  }
  SoftExtended x;
  x.negative_ = negative;
  x.significand_ = high;
  x.exponent_ = exponent;
  const int binaryExponent = exponent + 63;
  if (binaryExponent > kMaxBinaryExponent || binaryExponent < kMinBinaryExponent)
    throw ArithmeticFault{};
  return x;
}

namespace extended_detail {

// The 128-bit product of two 64-bit numbers, as high and low halves.
struct Wide {
  std::uint64_t high;
  std::uint64_t low;
};
inline Wide multiply(std::uint64_t a, std::uint64_t b) {
  const std::uint64_t mask = 0xFFFFFFFF;
  const std::uint64_t a0 = a & mask, a1 = a >> 32, b0 = b & mask, b1 = b >> 32;
  const std::uint64_t p00 = a0 * b0, p01 = a0 * b1, p10 = a1 * b0, p11 = a1 * b1;
  const std::uint64_t middle = (p00 >> 32) + (p01 & mask) + (p10 & mask);
  return {p11 + (p01 >> 32) + (p10 >> 32) + (middle >> 32), (middle << 32) | (p00 & mask)};
}

}  // namespace extended_detail

inline SoftExtended operator*(SoftExtended a, SoftExtended b) {
  const bool negative = a.negative_ != b.negative_;
  if (a.isZero() || b.isZero()) return SoftExtended::fromParts(negative, 0, 0);
  // Both significands have their top bit set: the product has 127 or 128 bits.
  auto [high, low] = extended_detail::multiply(a.significand_, b.significand_);
  int exponent = a.exponent_ + b.exponent_ + 64;
  if ((high >> 63) == 0) {
    high = (high << 1) | (low >> 63);
    low <<= 1;
    --exponent;
  }
  constexpr std::uint64_t half = std::uint64_t{1} << 63;
  return SoftExtended::rounded(negative, high, exponent, low > half ? 1 : (low == half ? 0 : -1));
}

inline SoftExtended operator/(SoftExtended a, SoftExtended b) {
  if (b.isZero()) throw ArithmeticFault{};
  const bool negative = a.negative_ != b.negative_;
  if (a.isZero()) return SoftExtended::fromParts(negative, 0, 0);
  // Long division of sa × 2^64 by sb, one bit at a time. Both have their top bit set, so the
  // quotient lies in (2^63, 2^65): a leading bit (sa ≥ sb) and 64 more; the remainder stays
  // below sb.
  const std::uint64_t divisor = b.significand_;
  const bool leading = a.significand_ >= divisor;
  std::uint64_t remainder = leading ? a.significand_ - divisor : a.significand_;
  std::uint64_t quotient = 0;
  for (int bit = 0; bit < 64; ++bit) {
    const bool carry = (remainder >> 63) != 0;  // the doubled remainder reaches 2^64
    remainder <<= 1;
    quotient <<= 1;
    if (carry || remainder >= divisor) {
      remainder -= divisor;  // modulo 2^64, the true difference is below the divisor
      quotient |= 1;
    }
  }
  const int exponent = a.exponent_ - b.exponent_ - 64;
  if (leading) {
    // 65 bits: the last one is dropped; with the remainder it decides the rounding.
    const bool droppedBit = (quotient & 1) != 0;
    const int belowHalf = !droppedBit ? -1 : (remainder != 0 ? 1 : 0);
    return SoftExtended::rounded(negative, (std::uint64_t{1} << 63) | (quotient >> 1), exponent + 1,
                                 belowHalf);
  }
  // 64 bits: the remainder's fraction r / sb against one half (2r compared with sb, where 2r
  // may need 65 bits).
  int belowHalf;
  if ((remainder >> 63) != 0) {
    belowHalf = 1;  // 2r ≥ 2^64 > sb
  } else {
    const std::uint64_t twice = remainder << 1;
    belowHalf = twice > divisor ? 1 : (twice == divisor ? 0 : -1);
  }
  return SoftExtended::rounded(negative, quotient, exponent, belowHalf);
}

inline bool SoftExtended::exceedsSingleRange() const {
  if (isZero()) return false;
  const int binaryExponent = exponent_ + 63;
  // FLT_MAX = (2^24 - 1) × 2^104: binary exponent 127 with 24 significant bits set.
  constexpr std::uint64_t floatMaxSignificand = ((std::uint64_t{1} << 24) - 1) << 40;
  return binaryExponent > 127 || (binaryExponent == 127 && significand_ > floatMaxSignificand);
}

inline float SoftExtended::toFloat() const {
  const float sign = negative_ ? -1.0f : 1.0f;
  if (isZero()) return sign * 0.0f;
  // The unit of the last place of the single: 2^(E - 23) for a normal, 2^-149 for a subnormal.
  const int binaryExponent = exponent_ + 63;
  const int quantum = std::max(binaryExponent - 23, -149);
  const int shift = quantum - exponent_;  // 40 for a normal single, more for a subnormal one
  if (shift >= 65) return sign * 0.0f;    // below half the smallest subnormal, or exactly half
  std::uint64_t kept = shift >= 64 ? 0 : significand_ >> shift;
  const std::uint64_t rest =
      shift >= 64 ? significand_ : significand_ & ((std::uint64_t{1} << shift) - 1);
  const std::uint64_t half = std::uint64_t{1} << (shift - 1);
  if (rest > half || (rest == half && (kept & 1) != 0)) ++kept;
  // kept ≤ 2^24: exact in a single, and scaling by a power of two is exact.
  return sign * std::ldexp(static_cast<float>(kept), quantum);
}

}  // namespace aph
