// One million random sessions through the headless window: no crash, no hang, no broken
// invariant. Prints the count and the time taken.
#include <chrono>
#include <cstdio>
#include <random>

#include "random_session.hpp"

namespace {

class SeededChoices : public aph::testing::ChoiceSource {
 public:
  explicit SeededChoices(std::uint64_t seed) : random_(seed) {}
  bool exhausted() const override { return false; }
  std::uint32_t pick(std::uint32_t bound) override {
    return std::uniform_int_distribution<std::uint32_t>(0, bound - 1)(random_);
  }
  std::string rawText() override {
    std::string text(pick(12), ' ');
    for (char& c : text) c = static_cast<char>(pick(95) + 32);
    return text;
  }

 private:
  std::mt19937_64 random_;
};

}  // namespace

int main(int argc, char** argv) {
  const long sessions = argc > 1 ? std::atol(argv[1]) : 1000000;
  const auto started = std::chrono::steady_clock::now();
  long failures = 0;
  for (long k = 0; k < sessions; ++k) {
    aph::MainWindow window;
    SeededChoices choices(static_cast<std::uint64_t>(k));
    const std::string failure = aph::testing::runRandomSession(window, choices, 24);
    if (!failure.empty()) {
      ++failures;
      if (failures <= 20) std::printf("session %ld: %s\n", k, failure.c_str());
    }
  }
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
  std::printf("%ld sessions, %ld invariant failures, %.1f s\n", sessions, failures, seconds);
  return failures == 0 ? 0 : 1;
}
