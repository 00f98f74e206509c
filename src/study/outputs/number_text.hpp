// Outputs: the number texts of the batch tool's tables, messages and charts.
//
// Fixed decimals and significant figures as the C library writes them from the value's exact
// binary form, so that the browser page, whose C++ library writes no doubles, says what the
// desktop says. One rule for zero: a text whose digits are all 0 has no minus sign ("0.00", never
// "-0.00"; "0", never "-0"), whether the value was -0 or a small negative one rounded away.
#pragma once

#include <string>

namespace aph::study {

// `decimals` digits after the point: 12.3456 → "12.35" (2), -0.001 → "0.00" (2).
std::string fixedText(double value, int decimals);

// `decimals` digits after the point, and where they would show a value that is not zero as 0,
// as many more as give it `figures` significant digits, trailing zeros dropped: -0.0032 →
// "-0.0032", 0.001 → "0.001", 12.345 → "12.35" (2 decimals, 2 figures). Empty for a value that
// is not finite.
std::string fixedShowingText(double value, int decimals, int figures);

// `figures` significant digits, plain or with an exponent, whichever of the two "%g" picks:
// 0.000221347 (6), 1e+16, 0.3 (12 figures of 0.1 + 0.2).
std::string figuresText(double value, int figures);

// `figures` significant digits, and more (17 at most) where fewer would put the text on the
// other side of `target` or on it: 14.99999996 against 15 is not told as 15.
std::string figuresTextAgainst(double value, double target, int figures);

}  // namespace aph::study
