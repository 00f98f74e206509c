// The page's log and pow against the native C library they stand in for: the same bits for
// every argument, special values included.
#include "web/native_math.hpp"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <random>

namespace {

bool sameResult(double a, double b) {
  return (std::isnan(a) && std::isnan(b)) ||
         std::bit_cast<std::uint64_t>(a) == std::bit_cast<std::uint64_t>(b);
}

// The native library takes the algorithms reproduced here only on x86-64 with fused
// multiply-add; elsewhere it runs other code, whose results are not the reference.
bool nativeLibraryIsTheReference() {
#if defined(__x86_64__) && defined(__GLIBC__)
  __builtin_cpu_init();
  return __builtin_cpu_supports("fma") && __builtin_cpu_supports("avx2");
#else
  return false;
#endif
}

class NativeMath : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!nativeLibraryIsTheReference())
      GTEST_SKIP() << "the native C library runs another variant of log and pow here";
  }
  double uniform(double low, double high) {
    return low + (high - low) * (static_cast<double>(random_() >> 11) * 0x1.0p-53);
  }
  std::uint64_t bits() { return random_(); }

 private:
  std::mt19937_64 random_{2024};
};

TEST_F(NativeMath, LogAgreesEverywhere) {
  const double special[] = {
      0.0,         -0.0,        1.0,        -1.0,          INFINITY,
      -INFINITY,   NAN,         0x1p-1074,  0x1p-1022,     0x1.fffffffffffffp1023,
      1 - 0x1p-53, 1 + 0x1p-52, 1 - 0x1p-4, 1 + 0x1.09p-4, 0.5,
      2.0};
  for (double x : special)
    ASSERT_TRUE(sameResult(aph::web::nativeLog(x), std::log(x))) << std::hexfloat << x;
  for (int k = 0; k < 3'000'000; ++k) {
    double x;
    switch (k % 3) {
      case 0:
        x = std::bit_cast<double>(bits());  // any double: subnormal, huge, negative, NaN
        break;
      case 1:
        x = uniform(1 - 0x1p-4, 1 + 0x1.09p-4);  // the polynomial around 1
        break;
      default:
        x = uniform(0.01, 100);  // ratios of temperature differences
    }
    ASSERT_TRUE(sameResult(aph::web::nativeLog(x), std::log(x))) << std::hexfloat << x;
  }
}

TEST_F(NativeMath, PowAgreesEverywhere) {
  const double special[] = {0.0,  -0.0,      1.0,        -1.0,
                            2.0,  0.5,       INFINITY,   -INFINITY,
                            NAN,  0x1p-1074, -0x1p-1074, 0x1.fffffffffffffp1023,
                            -3.0, 0x1p-70,   0x1p64,     -0x1p64};
  for (double x : special)
    for (double y : special)
      ASSERT_TRUE(sameResult(aph::web::nativePow(x, y), std::pow(x, y)))
          << std::hexfloat << x << " ^ " << y;
  for (int k = 0; k < 3'000'000; ++k) {
    double x, y;
    switch (k % 5) {
      case 0:  // any two doubles
        x = std::bit_cast<double>(bits());
        y = std::bit_cast<double>(bits());
        break;
      case 1:  // Reynolds numbers to the exponents of the Nusselt and friction laws
        x = uniform(1, 1e6);
        y = uniform(-1, 1);
        break;
      case 2:  // Prandtl numbers, and the multi-pass weighting of two differences
        x = uniform(0.3, 400);
        y = uniform(0, 1);
        break;
      case 3:  // whole powers of negative and positive numbers
        x = uniform(-3, 3);
        y = static_cast<double>(static_cast<int>(bits() % 9) - 4);
        break;
      default:  // results near overflow and in the subnormal range
        x = uniform(1.5, 2.5);
        y = (bits() % 2 ? 1 : -1) * uniform(900, 1500);
    }
    ASSERT_TRUE(sameResult(aph::web::nativePow(x, y), std::pow(x, y)))
        << std::hexfloat << x << " ^ " << y;
  }
}

}  // namespace
