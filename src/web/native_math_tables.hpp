// The tables and constants of log and pow (see native_math_tables.cpp for their origin).
#pragma once

#include <array>
#include <cstdint>

namespace aph::web::math_tables {

// ln 2 split so that k × kLn2High is exact for every exponent k.
inline constexpr double kLn2High = 0x1.62e42fefa3800p-1;
inline constexpr double kLn2Low = 0x1.ef35793c76730p-45;

// log: 1/c and log(c) for the 128 subintervals of [0x1.6p-1, 0x1.6p0], the polynomial of
// log1p(r) - r, and the polynomial used close to 1.
struct LogEntry {
  double inverseCentre;
  double logCentre;
};
extern const std::array<double, 5> kLogPoly;
extern const std::array<double, 11> kLogPolyNearOne;
extern const std::array<LogEntry, 128> kLogTable;

// pow's own logarithm, with an extra tail of log(c) for about 15 more bits.
struct PowLogEntry {
  double inverseCentre;
  double logCentre;
  double logCentreTail;
};
extern const std::array<double, 7> kPowLogPoly;
extern const std::array<PowLogEntry, 128> kPowLogTable;

// exp: 2^(k/128) as (tail, bits of the scale) pairs, and the polynomial of exp(r) - 1 - r.
inline constexpr double kExpInverseLn2N = 0x1.71547652b82fep0 * 128;
inline constexpr double kExpShift = 0x1.8p52;
inline constexpr double kExpNegativeLn2HighN = -0x1.62e42fefa0000p-8;
inline constexpr double kExpNegativeLn2LowN = -0x1.cf79abc9e3b3ap-47;
extern const std::array<double, 4> kExpPoly;
extern const std::array<std::uint64_t, 256> kExpTable;

}  // namespace aph::web::math_tables
