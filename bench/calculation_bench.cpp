// Speed of one press of "热力计算" on the default window (counterflow, volume flows), headless,
// with every field read and every text written; and of the two wall-temperature searches of that
// run, found by the closed-form estimate the calculation uses and step by step.
#include <benchmark/benchmark.h>

#include <array>

#include "engine/rating.hpp"
#include "literal_wall_search.hpp"
#include "model/text.hpp"
#include "model/window.hpp"

namespace {

class SilentUi : public aph::UserInterface {
 public:
  void showMessage(const aph::MessageBoxRequest&) override { ++messages; }
  aph::DialogOutcome showModal(aph::DialogForm&) override { return aph::DialogOutcome::Ok; }
  std::optional<aph::ChosenFile> chooseFile(const aph::FileDialogRequest&) override { return {}; }
  std::optional<std::size_t> chooseFromList(const aph::ListChoiceRequest&) override { return {}; }
  int messages = 0;
};

// The default window with counterflow and volume flows selected.
aph::MainWindow defaultCounterflowWindow(SilentUi& ui) {
  aph::MainWindow window;
  window.clickOption(aph::OptionId::Option4, ui);
  window.clickOption(aph::OptionId::Option1, ui);
  return window;
}

void BM_Command3Click_DefaultCounterflow(benchmark::State& state) {
  SilentUi ui;
  aph::MainWindow window = defaultCounterflowWindow(ui);
  for (auto _ : state) {
    window.Command3_Click(ui);
    benchmark::DoNotOptimize(window.text(aph::FieldId::Text32).data());
  }
  if (ui.messages != 0) state.SkipWithError("the default window showed a message");
}
BENCHMARK(BM_Command3Click_DefaultCounterflow)->Repetitions(5)->ReportAggregatesOnly(true);

// The hot-end and cold-end searches of the default counterflow run, with its film coefficients.
std::array<aph::WallSearchInput, 2> defaultWallSearches() {
  SilentUi ui;
  aph::MainWindow window = defaultCounterflowWindow(ui);
  window.Command3_Click(ui);
  aph::WallSearchInput hot;
  hot.h1 = window.state().flueGas.filmCoefficient;
  hot.h2 = window.state().air.filmCoefficient;
  hot.plateThickness = 1.5;
  hot.plateConductivity = 17.5;
  aph::WallSearchInput cold = hot;
  hot.end = aph::WallEnd::Hot;
  hot.flueGasTemperature = 350;
  hot.airTemperature = 190;
  cold.end = aph::WallEnd::Cold;
  cold.flueGasTemperature = 160;
  cold.airTemperature = 40;
  return {hot, cold};
}

template <class Search>
void runWallSearches(benchmark::State& state, Search search) {
  const auto inputs = defaultWallSearches();
  for (auto _ : state) {
    for (const aph::WallSearchInput& in : inputs) {
      const auto point = search(in, &aph::plainTextRoundTrip);
      if (!point) state.SkipWithError("a default wall search did not end");
      benchmark::DoNotOptimize(point);
    }
  }
}

void BM_WallSearches_Default_ClosedForm(benchmark::State& state) {
  runWallSearches(state, &aph::findWallTemperature);
}
BENCHMARK(BM_WallSearches_Default_ClosedForm)->Repetitions(5)->ReportAggregatesOnly(true);

void BM_WallSearches_Default_StepByStep(benchmark::State& state) {
  runWallSearches(state, [](const aph::WallSearchInput& in, aph::TextRoundTrip) {
    return aph::testing::literalWallSearch(in);
  });
}
BENCHMARK(BM_WallSearches_Default_StepByStep)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(3)
    ->ReportAggregatesOnly(true);

}  // namespace
