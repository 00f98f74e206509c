// Speed of one press of "热力计算" on the default window (counterflow, volume flows), headless,
// with every field read and every text written.
#include <benchmark/benchmark.h>

#include "calc/window.hpp"
#include "literal_wall_search.hpp"

namespace {

class SilentUi : public aph::UserInterface {
 public:
  void showMessage(const aph::MessageBoxRequest&) override { ++messages; }
  aph::DialogOutcome showModal(aph::DialogForm&) override { return aph::DialogOutcome::Ok; }
  std::optional<std::string> chooseFile(const aph::FileDialogRequest&) override { return {}; }
  int messages = 0;
};

std::optional<aph::WallPoint> literalSearch(const aph::WallSearchInput& in,
                                            aph::TextRoundTrip roundTrip) {
  return aph::testing::literalWallSearch(in, roundTrip);
}

void runDefaultWindow(benchmark::State& state, aph::WallSearch search) {
  aph::MainWindow window;
  SilentUi ui;
  window.setWallSearch(search);
  window.clickOption(aph::OptionId::Option4, ui);
  window.clickOption(aph::OptionId::Option1, ui);
  for (auto _ : state) {
    window.Command3_Click(ui);
    benchmark::DoNotOptimize(window.text(aph::FieldId::Text32).data());
  }
  if (ui.messages != 0) state.SkipWithError("the default window showed a message");
}

void BM_Command3Click_DefaultCounterflow(benchmark::State& state) {
  runDefaultWindow(state, &aph::findWallTemperature);
}
BENCHMARK(BM_Command3Click_DefaultCounterflow)->Repetitions(5)->ReportAggregatesOnly(true);

void BM_Command3Click_DefaultCounterflow_LiteralWallSearch(benchmark::State& state) {
  runDefaultWindow(state, &literalSearch);
}
BENCHMARK(BM_Command3Click_DefaultCounterflow_LiteralWallSearch)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(3)
    ->ReportAggregatesOnly(true);

}  // namespace
