// Speed of the off-design rating and of goal seeking, every trial a run of the window's own
// calculation: one simulate of the default window (goal: well under 100 ms), a performance curve
// of 30 loads (goal: under 2 s), and a goal seek of the plate-pair count.
#include <benchmark/benchmark.h>

#include "study/studies/simulate.hpp"
#include "study/studies/solve.hpp"

namespace {

using namespace aph::study;

Case defaultWindow() {
  return parseCases(R"({"arrangement": "counterflow", "flow_mode": "volume"})", "bench.json").at(0);
}

void simulateDefaultWindow(benchmark::State& state) {
  const Case c = defaultWindow();
  std::size_t evaluations = 0;
  for (auto _ : state) {
    const OffDesignAnswer a = simulateCase(c);
    evaluations += a.evaluations;
    benchmark::DoNotOptimize(a.margin);
  }
  state.counters["evaluations"] = static_cast<double>(evaluations / state.iterations());
}
BENCHMARK(simulateDefaultWindow)->Unit(benchmark::kMillisecond);

// 30 loads from 30 % to 117 % of the default window's flows, with the properties from the
// tables (where the laws step most).
void loadCurve30(benchmark::State& state) {
  const Case c = state.range(0)
                     ? parseCases(R"({"arrangement": "counterflow", "flow_mode": "volume",
      "flue_gas": {"properties": "table"}, "air": {"properties": "table"}})",
                                  "bench.json")
                           .at(0)
                     : defaultWindow();
  const std::vector<double> loads = parseLoads("30:117:3");
  std::size_t evaluations = 0;
  for (auto _ : state) {
    for (double load : loads) {
      const OffDesignAnswer a = simulateCase(loadCase(c, load));
      evaluations += a.evaluations;
      benchmark::DoNotOptimize(a.margin);
    }
  }
  state.counters["loads"] = static_cast<double>(loads.size());
  state.counters["evaluations"] = static_cast<double>(evaluations / state.iterations());
}
// 0: the default window's own properties, 1: both sides from the tables.
BENCHMARK(loadCurve30)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

void solvePlatePairs(benchmark::State& state) {
  const Case c = defaultWindow();
  GoalSeekRequest request;
  request.key = *findKey("plate.pairs");
  request.result = *findResultColumn("margin");
  request.target = 15;
  for (auto _ : state) benchmark::DoNotOptimize(seekGoal(c, request).evaluations);
}
BENCHMARK(solvePlatePairs)->Unit(benchmark::kMillisecond);

}  // namespace
