#include "study/checks/plate_field_run.hpp"

#include <algorithm>
#include <cmath>
#include <limits>
#include <variant>

#include "engine/plate_field.hpp"

namespace aph::study {
namespace {

static_assert(kMaxFieldGridOption == kMaxFieldGrid);

constexpr double kNotKnown = std::numeric_limits<double>::quiet_NaN();
constexpr double kSecondsPerHour = 3600;

double valueOf(const Rating& r, Quantity q) {
  return r.value(q).value_or(kNotKnown);
}

// kg/h: the mass flow the run showed or read, else density × volume flow.
double massFlow(const Rating& r, Quantity mass, Quantity density, Quantity volume) {
  if (const auto m = r.value(mass)) return *m;
  return valueOf(r, density) * valueOf(r, volume);
}

FieldArrangement arrangementOf(const Rating& r) {
  if (r.arrangement == Arrangement::Crossflow) return FieldArrangement::Crossflow;
  if (r.arrangement == Arrangement::MultiPass) return FieldArrangement::MultiPass;
  return FieldArrangement::Counterflow;
}

FieldInput inputOf(const Rating& r, FieldGrid grid) {
  FieldInput in;
  in.arrangement = arrangementOf(r);
  in.flueGas.heatCapacityRate = massFlow(r, Quantity::FlueGasMassFlow, Quantity::FlueGasDensity,
                                         Quantity::FlueGasVolumeFlow) *
                                valueOf(r, Quantity::FlueGasSpecificHeat) / kSecondsPerHour;
  in.flueGas.inletTemperature = valueOf(r, Quantity::FlueGasInletTemperature);
  in.flueGas.filmCoefficient = valueOf(r, Quantity::FlueGasFilmCoefficient);
  in.flueGas.fouling = r.value(Quantity::FlueGasFouling).value_or(0);
  in.air.heatCapacityRate =
      massFlow(r, Quantity::AirMassFlow, Quantity::AirDensity, Quantity::AirVolumeFlow) *
      valueOf(r, Quantity::AirSpecificHeat) / kSecondsPerHour;
  in.air.inletTemperature = valueOf(r, Quantity::AirInletTemperature);
  in.air.filmCoefficient = valueOf(r, Quantity::AirFilmCoefficient);
  in.air.fouling = r.value(Quantity::AirFouling).value_or(0);
  in.plateThickness = valueOf(r, Quantity::PlateThickness);
  in.plateConductivity = valueOf(r, Quantity::PlateConductivity);
  in.area = valueOf(r, Quantity::HeatTransferArea);
  if (in.arrangement == FieldArrangement::MultiPass) {
    in.flueGasPasses = r.dialogField(DialogQuantity::FlueGasPasses).value.value_or(kNotKnown);
    in.airPasses = r.dialogField(DialogQuantity::AirPasses).value.value_or(kNotKnown);
  }
  in.grid = grid;
  return in;
}

FieldOutcome fieldOf(const Rating& r, FieldMode mode, FieldGrid grid) {
  if (!r.completed())
    return FieldError{FieldError::Cause::Temperature, "the rating (it stopped)", kNotKnown};
  const FieldInput in = inputOf(r, grid);
  if (mode == FieldMode::Operation) return solvePlateField(in);
  return ratePlateField(in, valueOf(r, Quantity::FlueGasOutletTemperature));
}

std::string stoppedOrDescribed(const Rating& r, const FieldError& e) {
  if (!r.completed())
    return "the calculation stopped" + (r.message.empty() ? "" : ": " + r.message);
  return "plate field: " + describe(e);
}

double flueGasFaceMinimum(const PlateField& f) {
  double low = std::numeric_limits<double>::infinity();
  for (const FieldPoint& p : f.nodes) low = std::min(low, p.flueGasFace);
  return low;
}

FieldValues valuesOf(const FieldPoint& p, double x, double y) {
  return {x, y, p.flueGas, p.air, p.flueGasFace, p.airFace};
}

FieldExtremePoint extremeOf(const WallExtreme& e) {
  return {e.temperature, e.section, e.x, e.y, e.face == PlateFace::Air};
}

}  // namespace

FieldCheckOutcome fieldCheck(const Rating& rating, std::optional<double> acidDewPoint,
                             FieldMode mode) {
  const FieldOutcome outcome = fieldOf(rating, mode, {});
  if (const auto* e = std::get_if<FieldError>(&outcome))
    return {std::nullopt, stoppedOrDescribed(rating, *e)};
  const PlateField& f = std::get<PlateField>(outcome);
  FieldCheck check;
  check.flueGasFaceMinimum = flueGasFaceMinimum(f);
  if (acidDewPoint) check.areaBelowAcidDewPoint = areaBelow(f, *acidDewPoint, PlateFace::FlueGas);
  return {check, {}};
}

FieldReportOutcome fieldReport(const Rating& rating, FieldMode mode, int grid,
                               std::optional<double> acidDewPoint,
                               std::optional<double> waterDewPoint) {
  const FieldOutcome outcome = fieldOf(rating, mode, {grid, grid});
  if (const auto* e = std::get_if<FieldError>(&outcome))
    return {std::nullopt, stoppedOrDescribed(rating, *e)};
  const PlateField& f = std::get<PlateField>(outcome);
  FieldReport r;
  r.mode = mode;
  r.arrangement = f.arrangement == FieldArrangement::Counterflow ? "counterflow"
                  : f.arrangement == FieldArrangement::Crossflow ? "crossflow"
                                                                 : "multi_pass";
  r.nx = f.grid.alongFlueGas;
  r.ny = f.grid.alongAir;
  for (const FieldSection& s : f.sections) r.sections.push_back({s.flueGasPass, s.airPass});
  const int count = static_cast<int>(f.sections.size());
  for (int s = 0; s < count; ++s) {
    for (int j = 0; j < r.ny; ++j)
      for (int i = 0; i < r.nx; ++i)
        r.cells.push_back(valuesOf(f.cell(s, i, j), (i + 0.5) / r.nx, (j + 0.5) / r.ny));
    for (int j = 0; j <= r.ny; ++j)
      for (int i = 0; i <= r.nx; ++i)
        r.nodes.push_back(valuesOf(f.node(s, i, j), static_cast<double>(i) / r.nx,
                                   static_cast<double>(j) / r.ny));
  }
  r.area = f.area;
  r.overallCoefficient = f.overallCoefficient;
  r.scaleFactor = f.scaleFactor;
  r.duty = f.duty;
  r.flueGasInlet = f.flueGasInlet;
  r.flueGasOutlet = f.flueGasOutlet;
  r.airInlet = f.airInlet;
  r.airOutlet = f.airOutlet;
  r.flueGasHeatCapacityRate = f.flueGasHeatCapacityRate;
  r.airHeatCapacityRate = f.airHeatCapacityRate;
  r.wallMin = extremeOf(f.wallMin);
  r.wallMax = extremeOf(f.wallMax);
  r.acidDewPoint = acidDewPoint;
  r.waterDewPoint = waterDewPoint;
  if (acidDewPoint) r.areaBelowAcidDewPoint = areaBelow(f, *acidDewPoint, PlateFace::FlueGas);
  if (waterDewPoint) r.areaBelowWaterDewPoint = areaBelow(f, *waterDewPoint, PlateFace::FlueGas);
  return {r, {}};
}

}  // namespace aph::study
