#include "model/text.hpp"

#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <limits>

namespace aph {
namespace {

struct ReadCase {
  const char* text;
  double expected;
};

TEST(LeadingNumber, ReadsTheLongestLeadingNumber) {
  const ReadCase cases[] = {
      {"350", 350},  {"  12.5 ", 12.5}, {"12abc", 12},    {"abc", 0},     {"", 0},
      {" ", 0},      {"-3.5", -3.5},    {"+7", 7},        {"1 2 3", 123}, {"1\t2\r\n3", 123},
      {".5", 0.5},   {"5.", 5},         {"1.2.3", 1.2},   {"1e3", 1000},  {"1E-2", 0.01},
      {"2e", 2},     {"2e+", 2},        {"2ex", 2},       {"1e 3", 1000}, {"-", 0},
      {".", 0},      {"-.e5", 0},       {"0x10", 0},      {"1,5", 1},     {"1e-400", 0},
      {"00012", 12}, {"- 4", -4},       {"3e+02kg", 300},
  };
  for (const auto& c : cases) {
    const auto value = readLeadingNumber(c.text);
    ASSERT_TRUE(value.has_value()) << '"' << c.text << '"';
    EXPECT_EQ(*value, c.expected) << '"' << c.text << '"';
  }
}

// Short decimals are read by one exact division, longer ones by the general reader; on either
// side of the border the nearest double comes out, as the compiler reads the same literal.
TEST(LeadingNumber, ReadsTheNearestDoubleOnEitherSideOfTheShortDecimalBorder) {
  const ReadCase cases[] = {
      {"0.1", 0.1},
      {"0.3", 0.3},
      {"9007199254740992", 9007199254740992.0},
      {"9007199254740993", 9007199254740993.0},
      {"900719925474099.3", 900719925474099.3},
      {"9.999999999999999", 9.999999999999999},
      {"1234567890123456.7", 1234567890123456.7},
      {"0.0000000000000000000001", 0.0000000000000000000001},
      {"0.00000000000000000000012", 0.00000000000000000000012},
      {"000000000000000000000000000.5", 0.5},
      {"-2851.2", -2851.2},
      {"123456789012345678901234567890", 123456789012345678901234567890.0},
  };
  for (const auto& c : cases) EXPECT_EQ(*readLeadingNumber(c.text), c.expected) << c.text;
  EXPECT_TRUE(std::signbit(*readLeadingNumber("-0.0")));
}

TEST(LeadingNumber, NumberTooLargeForADoubleIsAnInputError) {
  for (const char* text : {"1e999", "-1e309", "1e400abc", "9999e305"})
    EXPECT_FALSE(readLeadingNumber(text).has_value()) << text;
  EXPECT_EQ(*readLeadingNumber("1.7976931348623157e308"), DBL_MAX);
}

TEST(WholeNumber, RefusesTrailingLetters) {
  EXPECT_EQ(*readWholeNumber(" 2 "), 2);
  EXPECT_EQ(*readWholeNumber("1.5"), 1.5);
  for (const char* text : {"", "abc", "2x", "2e", "1.2.3", "-"})
    EXPECT_FALSE(readWholeNumber(text).has_value()) << text;
}

struct FixedCase {
  double value;
  int decimals;
  const char* expected;
};

TEST(FixedDecimals, RoundsHalfAwayFromZeroOnFifteenDigits) {
  const FixedCase cases[] = {
      {0, 4, "0.0000"},
      {-0.0, 4, "0.0000"},
      {140, 4, "140.0000"},
      {2.00005, 4, "2.0001"},
      {-2.00005, 4, "-2.0001"},
      {0.00005, 4, "0.0001"},
      {0.00004999, 4, "0.0000"},
      {-0.00001, 4, "-0.0000"},
      {-1e-300, 4, "-0.0000"},
      {9.99995, 4, "10.0000"},
      {99999.99995, 4, "100000.0000"},
      {1.0005, 3, "1.001"},
      {262.5664, 3, "262.566"},
      {1.5e20, 4, "150000000000000000000.0000"},
      {123456789012.34567, 4, "123456789012.3460"},
      {12345678901.234567, 4, "12345678901.2346"},  // all fifteen digits stay
      {static_cast<double>(0.1f), 4, "0.1000"},
  };
  for (const auto& c : cases) EXPECT_EQ(formatFixed(c.value, c.decimals), c.expected) << c.value;
}

struct PlainCase {
  double value;
  const char* expected;
};

TEST(PlainNumberText, DoubleUsesFifteenSignificantDigits) {
  const PlainCase cases[] = {
      {0, "0"},
      {-0.0, "0"},
      {294982.42, "294982.42"},
      {0.1 + 0.2, "0.3"},
      {1.0 / 3.0, "0.333333333333333"},
      {92.5, "92.5"},
      {-12.25, "-12.25"},
      {1e-4, "0.0001"},
      {9.99999999999999e14, "999999999999999"},
      {1e15, "1E+15"},
      {1.5e16, "1.5E+16"},
      {1e-5, "1E-05"},
      {-2.5e-7, "-2.5E-07"},
      {1e100, "1E+100"},
      {0.99999999999999999, "1"},
      {123456789.123456789, "123456789.123457"},
      // Shortest digits ending in the midpoint's 5: the exact binary value decides.
      {1234.567890123455, "1234.56789012346"},             // …455072…
      {123456.7890123445, "123456.789012344"},             // …444958…
      {4.2669419142881944e-310, "4.26694191428819E-310"},  // subnormal, shortest …882
      // The exact binary value on the midpoint: half to even.
      {123456789012345.5, "123456789012346"},
      {123456789012344.5, "123456789012344"},
      {2.0 / 3e13, "6.66666666666667E-14"},  // scaled by 10^28: 5^28 is beyond 64 bits
  };
  for (const auto& c : cases) EXPECT_EQ(formatPlain(c.value), c.expected) << c.value;
}

TEST(PlainNumberText, SingleUsesSevenSignificantDigitsOfItsFloatValue) {
  const struct {
    float value;
    const char* expected;
  } cases[] = {
      {0.1f, "0.1"},   {2851.2f, "2851.2"},  {1.0f / 3.0f, "0.3333333"}, {9999999.0f, "9999999"},
      {1e7f, "1E+07"}, {1.5e-5f, "1.5E-05"}, {-119.367f, "-119.367"},    {0.0f, "0"},
  };
  for (const auto& c : cases) EXPECT_EQ(formatPlainSingle(c.value), c.expected) << c.value;
}

TEST(PlainNumberText, RoundTripsThroughTheLeadingNumberRule) {
  for (double v : {350.0 - 0.001 * 86713, 1.0 / 7, -2.5e-9, 6.02e23, 0.001}) {
    const double back = plainTextRoundTrip(v);
    EXPECT_NEAR(back, v, std::fabs(v) * 1e-14) << v;
  }
}

}  // namespace
}  // namespace aph
