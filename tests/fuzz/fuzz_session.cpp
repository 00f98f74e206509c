// Whole sessions in the headless window, steered by the fuzzer's bytes.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdio>
#include <cstdlib>

#include "random_session.hpp"

namespace {

class FuzzedChoices : public aph::testing::ChoiceSource {
 public:
  FuzzedChoices(const std::uint8_t* data, std::size_t size) : provider_(data, size) {}
  bool exhausted() const override { return provider_.remaining_bytes() == 0; }
  std::uint32_t pick(std::uint32_t bound) override {
    return provider_.ConsumeIntegralInRange<std::uint32_t>(0, bound - 1);
  }
  std::string rawText() override { return provider_.ConsumeRandomLengthString(24); }

 private:
  mutable FuzzedDataProvider provider_;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  aph::MainWindow window;
  FuzzedChoices choices(data, size);
  const std::string failure = aph::testing::runRandomSession(window, choices, 64);
  if (!failure.empty()) {
    std::fprintf(stderr, "invariant failed: %s\n", failure.c_str());
    std::abort();
  }
  return 0;
}
