// Speed of a sweep: 100,000 designs (500 plate-pair counts × 200 air channel lengths) rated on
// every core with the CSV written to a file. The goal is 2 s or less for the whole grid.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

#include "study/studies/sweep.hpp"

namespace {

using namespace aph::study;

SweepPlan grid() {
  const Case base = parseCases(R"({"arrangement": "crossflow", "flow_mode": "volume",
                     "flue_gas": {"properties": "table"}, "air": {"properties": "table"}})",
                               "bench.json")
                        .at(0);
  return {base, {parseVary("plate.pairs=50:549:1"), parseVary("air.channel_length=4:5.99:0.01")}};
}

void sweep100k(benchmark::State& state) {
  const SweepPlan plan = grid();
  const auto path = std::filesystem::temp_directory_path() / "aph_batch_bench.csv";
  SweepOptions options;
  options.threads = static_cast<unsigned>(state.range(0));
  std::size_t designs = 0;
  for (auto _ : state) {
    std::ofstream csv(path, std::ios::binary);
    designs += runSweep(plan, &csv, options).size();
  }
  state.counters["designs"] = static_cast<double>(designs / state.iterations());
  state.counters["designs/s"] =
      benchmark::Counter(static_cast<double>(designs), benchmark::Counter::kIsRate);
  state.counters["csv_MB"] = static_cast<double>(std::filesystem::file_size(path)) / 1e6;
  std::filesystem::remove(path);
}
// 0: every core (the goal), 1: one worker for comparison.
BENCHMARK(sweep100k)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

}  // namespace
