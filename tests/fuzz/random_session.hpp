// Random sessions in the window: anything typed into any field, any click, any dialog answer.
// After every handler the window must still make sense; a violated invariant is reported as text.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "model/window.hpp"

namespace aph::testing {

// Where the session's choices come from: the fuzzer's bytes or a seeded generator.
class ChoiceSource {
 public:
  virtual ~ChoiceSource() = default;
  virtual bool exhausted() const = 0;
  // A whole number in [0, bound).
  virtual std::uint32_t pick(std::uint32_t bound) = 0;
  // A short raw text.
  virtual std::string rawText() = 0;
};

// Runs up to `maxActions` random actions on `window`. Returns an empty text when every invariant
// held, otherwise what went wrong.
std::string runRandomSession(MainWindow& window, ChoiceSource& choices, int maxActions);

// The invariants a window must satisfy after a press of "热力计算" that showed `messages`.
std::string checkCalculation(const MainWindow& before, const MainWindow& after,
                             const std::vector<std::string>& messages);

// No field or dialog text may show a number that is not finite.
std::string checkNoNonFiniteText(const MainWindow& window);

// The typed result of the last run agrees with the window: the same texts and red flags, each
// written number formats to the text shown, and it ended as the messages say.
std::string checkRatingAgreesWithWindow(const MainWindow& window,
                                        const std::vector<std::string>& messages);

}  // namespace aph::testing
