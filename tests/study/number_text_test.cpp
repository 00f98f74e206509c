#include "study/outputs/number_text.hpp"

#include <gtest/gtest.h>

#include <limits>
#include <string>

namespace {

using namespace aph::study;

// Fixed decimals and significant figures as the outputs write them, no minus sign on a text of
// zeros however it came about; the design checks' figures keep two decimals and, where those
// would read 0.00 for a value that is not zero, two significant digits, so that a small
// disagreement of the duties, or a tight tolerance, is never told as none.
TEST(NumberText, DecimalsFiguresAndNoNegativeZero) {
  struct Row {
    std::string text, expected;
  };
  for (const Row& r : {
           Row{fixedText(128.734, 2), "128.73"},
           Row{fixedText(-0.006, 2), "-0.01"},
           Row{fixedText(-0.001, 2), "0.00"},
           Row{fixedText(-0.0, 4), "0.0000"},
           Row{fixedText(-1e-9, 0), "0"},
           Row{fixedShowingText(-4.756, 2, 2), "-4.76"},
           Row{fixedShowingText(-0.0, 2, 2), "0.00"},
           Row{fixedShowingText(-0.0032, 2, 2), "-0.0032"},
           Row{fixedShowingText(0.001, 2, 2), "0.001"},
           Row{fixedShowingText(0.00499, 2, 2), "0.005"},
           Row{fixedShowingText(0.005, 2, 2), "0.01"},
           Row{fixedShowingText(-2.4e-5, 2, 2), "-0.000024"},
           Row{fixedShowingText(1e-300, 2, 2), "0." + std::string(299, '0') + "1"},
           Row{fixedShowingText(std::numeric_limits<double>::infinity(), 2, 2), ""},
           Row{figuresText(0.000221347, 6), "0.000221347"},
           Row{figuresText(0.1 + 0.2, 12), "0.3"},
           Row{figuresText(-2e16, 6), "-2e+16"},
           Row{figuresText(-0.0, 6), "0"},
           Row{figuresTextAgainst(12.3456789, 15, 7), "12.34568"},
           Row{figuresTextAgainst(14.99999996, 15, 7), "14.99999996"},
           Row{figuresTextAgainst(15.00000004, 15, 7), "15.00000004"},
           Row{figuresTextAgainst(-0.0, 15, 7), "0"},
       })
    EXPECT_EQ(r.text, r.expected);
}

}  // namespace
