// The integer emulation of the x87 extended format against the native 80-bit long double of
// x86-64: every product, quotient and rounding to single precision must give the same bits.
#include "engine/extended.hpp"

#include <gtest/gtest.h>

#include <bit>
#include <cfloat>
#include <cmath>
#include <cstdint>
#include <optional>
#include <random>

#include "engine/rating.hpp"

namespace aph {
namespace {

static_assert(LDBL_MANT_DIG == 64, "the reference is the native 80-bit long double");

long double native(SoftExtended x) {
  const long double magnitude = std::ldexp(static_cast<long double>(x.significand()), x.exponent());
  return x.negative() ? -magnitude : magnitude;
}

// Both ways of rounding to single precision, with the range check of the formulas.
std::optional<float> singleOf(long double v) {
  if (std::fabs(v) > static_cast<long double>(FLT_MAX)) return std::nullopt;
  return static_cast<float>(v);
}
std::optional<float> singleOf(SoftExtended x) {
  if (x.exceedsSingleRange()) return std::nullopt;
  return x.toFloat();
}

void expectSameBits(std::optional<float> a, std::optional<float> b, const char* what) {
  ASSERT_EQ(a.has_value(), b.has_value()) << what;
  if (a) {
    ASSERT_EQ(std::bit_cast<std::uint32_t>(*a), std::bit_cast<std::uint32_t>(*b)) << what;
  }
}

class Randoms {
 public:
  explicit Randoms(std::uint64_t seed) : random_(seed) {}
  // Any finite single, subnormals and zeros included (an all-ones exponent would be infinite
  // or NaN).
  float anySingle() {
    auto bits = static_cast<std::uint32_t>(random_());
    if (((bits >> 23) & 0xFF) == 0xFF) bits &= ~(std::uint32_t{1} << 30);
    return std::bit_cast<float>(bits);
  }
  // A positive single between `low` and `high`, as the rating's duties, areas and differences.
  float between(float low, float high) {
    return low +
           (high - low) * static_cast<float>(std::ldexp(static_cast<double>(random_() >> 40), -24));
  }
  // A significand with few bits set, so that products often land exactly halfway.
  std::uint64_t shortSignificand() {
    return (random_() | (std::uint64_t{1} << 63)) &
           ~((std::uint64_t{1} << (31 + random_() % 8)) - 1);
  }
  std::uint64_t any() { return random_(); }

 private:
  std::mt19937_64 random_;
};

TEST(SoftExtended, TheoreticalCoefficientMatchesTheNativeFormula) {
  Randoms random(1);
  for (int k = 0; k < 300'000; ++k) {
    const bool realistic = k % 2 == 0;
    const float duty = realistic ? random.between(-2e4f, 2e5f) : random.anySingle();
    const float half = realistic ? random.between(0, 1e4f) : random.anySingle();
    const float difference = realistic ? random.between(-5, 400) : random.anySingle();
    std::optional<float> emulated;
    try {
      emulated = singleOf(SoftExtended(duty) * 1000 / (SoftExtended(2) * SoftExtended(half)) /
                          SoftExtended(difference));
    } catch (const ArithmeticFault&) {
    }
    // The engine's own function, natively in long double.
    expectSameBits(theoreticalOverallCoefficient(duty, half, difference), emulated, "K_theo");
    if (HasFailure()) return;
  }
}

TEST(SoftExtended, ProductsQuotientsAndRoundingMatchTheNativeFormat) {
  Randoms random(2);
  for (int k = 0; k < 400'000; ++k) {
    // Full 64-bit significands, short ones (ties), exponents that reach the subnormal singles.
    const bool shortOnes = k % 3 == 0;
    const auto a = SoftExtended::fromParts(random.any() % 2,
                                           shortOnes ? random.shortSignificand() : random.any() | 1,
                                           static_cast<int>(random.any() % 400) - 263);
    const auto b = SoftExtended::fromParts(random.any() % 2,
                                           shortOnes ? random.shortSignificand() : random.any() | 1,
                                           static_cast<int>(random.any() % 400) - 263);
    const long double na = native(a), nb = native(b);
    const SoftExtended product = a * b;
    const SoftExtended quotient = a / b;
    ASSERT_EQ(native(product), na * nb) << std::hexfloat << na << " * " << nb;
    ASSERT_EQ(native(quotient), na / nb) << std::hexfloat << na << " / " << nb;
    expectSameBits(singleOf(a), singleOf(na), "single of a");
    expectSameBits(singleOf(product), singleOf(na * nb), "single of a product");
    expectSameBits(singleOf(quotient), singleOf(na / nb), "single of a quotient");
    if (HasFailure()) return;
  }
}

TEST(SoftExtended, ExactValuesAndFaults) {
  EXPECT_EQ(native(SoftExtended(1000)), 1000.0L);
  EXPECT_EQ(native(SoftExtended(-7)), -7.0L);
  EXPECT_EQ(native(SoftExtended(0x1p-149f)), 0x1p-149L);
  EXPECT_EQ(native(SoftExtended(-FLT_MAX)), -static_cast<long double>(FLT_MAX));
  EXPECT_TRUE((SoftExtended(0.0f) * SoftExtended(-3)).isZero());
  EXPECT_THROW(SoftExtended(3) / SoftExtended(0.0f), ArithmeticFault);
  EXPECT_THROW((void)SoftExtended(INFINITY), ArithmeticFault);
  // Just above FLT_MAX is out of the single range; FLT_MAX itself and its neighbour below are not.
  const SoftExtended floatMax(FLT_MAX);
  EXPECT_FALSE(floatMax.exceedsSingleRange());
  EXPECT_TRUE(SoftExtended::fromParts(false, floatMax.significand() + 1, floatMax.exponent())
                  .exceedsSingleRange());
  // Halfway between zero and the smallest subnormal rounds to zero (even), above it up.
  EXPECT_EQ(SoftExtended::fromParts(false, std::uint64_t{1} << 63, -150 - 63).toFloat(), 0.0f);
  EXPECT_EQ(SoftExtended::fromParts(false, (std::uint64_t{1} << 63) | 1, -150 - 63).toFloat(),
            0x1p-149f);
}

}  // namespace
}  // namespace aph
