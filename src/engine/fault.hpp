// The fault every checked operation of the rating formulas raises where an operation has no
// finite result (a zero divisor, a logarithm of a non-positive number, an overflow).
#pragma once

namespace aph {

struct ArithmeticFault {};

}  // namespace aph
