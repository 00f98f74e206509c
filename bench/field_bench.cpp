// Speed of the plate's temperature field for the default window in crossflow and in the
// multi-pass arrangement (2 × 2 passes), at the design checks' grid, for the coefficients as
// given and in the rating mode (the factor on h1 and h2 that meets the flue-gas outlet of 160 ℃);
// and at a picture's grid. Goal: 20 µs per field at the design checks' grid.
#include <benchmark/benchmark.h>

#include "engine/plate_field.hpp"

namespace {

// `aphcalc-cli rate` of the default window with crossflow selected: the film coefficients, the
// mass flows × specific heats, the plate; the same hold for the multi-pass arrangement.
aph::FieldInput defaultWindow(aph::FieldArrangement arrangement, aph::FieldGrid grid = {}) {
  aph::FieldInput in;
  in.arrangement = arrangement;
  in.flueGas = {247785.2328 * 1.04 / 3600, 350, 89.8504, 0};
  in.air = {326100 * 1.001 / 3600, 40, 115.9491, 0};
  in.plateThickness = 1.5;
  in.plateConductivity = 17.5;
  in.area = 2851.2;
  if (arrangement == aph::FieldArrangement::MultiPass) in.flueGasPasses = in.airPasses = 2;
  in.grid = grid;
  return in;
}

constexpr double kFlueGasOutlet = 160;

template <class Field>
void runField(benchmark::State& state, const aph::FieldInput& in, Field field) {
  for (auto _ : state) {
    const aph::FieldOutcome outcome = field(in);
    const auto* f = std::get_if<aph::PlateField>(&outcome);
    if (!f) {
      state.SkipWithError(aph::describe(std::get<aph::FieldError>(outcome)).c_str());
      break;
    }
    benchmark::DoNotOptimize(f->wallMin.temperature);
  }
}

void solve(benchmark::State& state, aph::FieldArrangement arrangement, aph::FieldGrid grid) {
  runField(state, defaultWindow(arrangement, grid), &aph::solvePlateField);
}
void rate(benchmark::State& state, aph::FieldArrangement arrangement) {
  runField(state, defaultWindow(arrangement),
           [](const aph::FieldInput& in) { return aph::ratePlateField(in, kFlueGasOutlet); });
}

using aph::FieldArrangement;
BENCHMARK_CAPTURE(solve, Crossflow_DesignGrid, FieldArrangement::Crossflow, aph::FieldGrid{})
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);
BENCHMARK_CAPTURE(rate, Crossflow_DesignGrid, FieldArrangement::Crossflow)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);
BENCHMARK_CAPTURE(solve, MultiPass2x2_DesignGrid, FieldArrangement::MultiPass, aph::FieldGrid{})
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);
BENCHMARK_CAPTURE(rate, MultiPass2x2_DesignGrid, FieldArrangement::MultiPass)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);
BENCHMARK_CAPTURE(solve, Crossflow_Grid128, FieldArrangement::Crossflow, aph::FieldGrid{128, 128})
    ->Unit(benchmark::kMicrosecond)
    ->Repetitions(3)
    ->ReportAggregatesOnly(true);

}  // namespace
