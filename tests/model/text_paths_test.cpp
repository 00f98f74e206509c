// The number texts of the build whose C++ library lacks floating-point to_chars/from_chars (the
// WebAssembly page) against those of the native build: the same source compiled both ways, here
// side by side, must give the same text for every value and the same value for every text.
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "model/text.hpp"

// The C-library variant of the same functions, in a namespace of its own.
#define APH_NUMBER_TEXT_BY_C_LIBRARY 1
#define aph aph_by_c_library
#include "../../src/model/text.cpp"  // NOLINT(bugprone-suspicious-include)
#undef aph

namespace {

// Doubles spread over every binade and sign, with the values a field shows most (moderate
// magnitudes, few significant digits, halves that test the rounding) mixed in.
class ValueSource {
 public:
  explicit ValueSource(std::uint64_t seed) : random_(seed) {}
  double next() {
    switch (random_() % 4) {
      case 0: {  // any finite bit pattern (an all-ones exponent would be infinite or NaN)
        std::uint64_t bits = random_();
        if (((bits >> 52) & 0x7FF) == 0x7FF) bits &= ~(std::uint64_t{1} << 62);
        return std::bit_cast<double>(bits);
      }
      case 1:  // the magnitudes of the window's results
        return std::ldexp(static_cast<double>(random_() >> 11), -53) *
               std::pow(10.0, static_cast<int>(random_() % 20) - 8);
      case 2: {  // short decimals, and their halves at the last digit
        const double whole = static_cast<double>(random_() % 100000000);
        const double v = whole / std::pow(10.0, static_cast<int>(random_() % 9));
        return random_() % 2 ? v + 0.5e-4 : -v;
      }
      default: {  // finite single-precision values, as the window's single fields hold
        auto bits = static_cast<std::uint32_t>(random_());
        if (((bits >> 23) & 0xFF) == 0xFF) bits &= ~(std::uint32_t{1} << 30);
        return static_cast<double>(std::bit_cast<float>(bits));
      }
    }
  }

 private:
  std::mt19937_64 random_;
};

TEST(NumberTextPaths, FormatsAgreeOnManyValues) {
  ValueSource values(20240614);
  for (int k = 0; k < 150'000; ++k) {
    const double v = values.next();
    if (!std::isfinite(v)) continue;
    ASSERT_EQ(aph::formatPlain(v), aph_by_c_library::formatPlain(v)) << std::hexfloat << v;
    ASSERT_EQ(aph::formatFixed(v, 4), aph_by_c_library::formatFixed(v, 4)) << std::hexfloat << v;
    ASSERT_EQ(aph::formatFixed(v, 3), aph_by_c_library::formatFixed(v, 3)) << std::hexfloat << v;
    for (const int places : {0, 2, 4, 11, 17}) {
      ASSERT_EQ(aph::printfFixed(v, places), aph_by_c_library::printfFixed(v, places))
          << std::hexfloat << v << " " << places;
      ASSERT_EQ(aph::printfScientific(v, places), aph_by_c_library::printfScientific(v, places))
          << std::hexfloat << v << " " << places;
      ASSERT_EQ(aph::printfGeneral(v, places), aph_by_c_library::printfGeneral(v, places))
          << std::hexfloat << v << " " << places;
    }
    const float f = static_cast<float>(v);
    if (std::isfinite(f)) {
      ASSERT_EQ(aph::formatPlainSingle(f), aph_by_c_library::formatPlainSingle(f))
          << std::hexfloat << f;
    }
  }
}

// The shortest texts a case file's numbers go into fields as: random values of every kind, and
// the values where the shortest text is hard to find (powers of two, where the next double below
// lies closer than the next above; the ends of the range; whole numbers beyond 2^53, written
// exactly; the lengths where the plain and the exponent form tie).
TEST(NumberTextPaths, ShortestTextsAgree) {
  std::vector<double> values = {0.0,
                                -0.0,
                                5e-324,
                                2.2250738585072014e-308,
                                1e-7,
                                1e-6,
                                0.1,
                                0.3,
                                1e15,
                                1e16,
                                1e21,
                                1e22,
                                1e23,
                                9007199254740993.0,
                                1234567890123456.0,
                                12345678901.0e15,
                                1.7976931348623157e308,
                                123456789012345678.0};
  for (int e = -1074; e <= 1023; ++e) {
    const double power = std::ldexp(1.0, e);
    values.insert(values.end(),
                  {power, std::nextafter(power, 0.0), std::nextafter(power, 2 * power), 3 * power});
  }
  ValueSource source(314159);
  for (int k = 0; k < 60'000; ++k) values.push_back(source.next());
  for (const double v : values) {
    if (!std::isfinite(v)) continue;
    for (const double signed_ : {v, -v}) {
      ASSERT_EQ(aph::formatShortest(signed_), aph_by_c_library::formatShortest(signed_))
          << std::hexfloat << signed_;
      ASSERT_EQ(aph::formatShortestFixed(signed_), aph_by_c_library::formatShortestFixed(signed_))
          << std::hexfloat << signed_;
    }
  }
}

TEST(NumberTextPaths, ReadingAgreesOnTextsOfEveryKind) {
  ValueSource values(7);
  std::mt19937_64 random(99);
  for (int k = 0; k < 100'000; ++k) {
    const double v = values.next();
    // The texts the window writes, and decimal texts with more digits than a double holds.
    std::string texts[] = {aph::formatPlain(v), aph::formatFixed(v, 4),
                           std::to_string(static_cast<long long>(random() % 1000000)) + "." +
                               std::to_string(random()) + "e" +
                               std::to_string(static_cast<int>(random() % 700) - 350)};
    for (const std::string& text : texts) {
      const auto native = aph::readLeadingNumber(text);
      const auto portable = aph_by_c_library::readLeadingNumber(text);
      ASSERT_EQ(native.has_value(), portable.has_value()) << text;
      if (native) {
        ASSERT_EQ(std::bit_cast<std::uint64_t>(*native), std::bit_cast<std::uint64_t>(*portable))
            << text;
      }
    }
  }
  for (const char* text : {"1e309", "-1e400", "1e-400", "4.9e-324", "2.4703282292062327e-324",
                           "+12.5", "1.7976931348623157e308", "0.000"}) {
    const auto native = aph::readLeadingNumber(text);
    const auto portable = aph_by_c_library::readLeadingNumber(text);
    ASSERT_EQ(native.has_value(), portable.has_value()) << text;
    if (native) {
      EXPECT_EQ(*native, *portable) << text;
    }
  }
}

}  // namespace
