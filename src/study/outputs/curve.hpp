// The performance curve of a preheater: what it delivers at each load, read from the off-design
// ratings, as typed rows (for tables, spreadsheets and the chart) and as chart data. Drawing it
// is left to the canvases of the renderer.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "study/checks/design_checks.hpp"
#include "study/studies/simulate.hpp"

namespace aph::study {

// One load of the curve: the answer's figures as the rating at it shows them (empty where the
// rating has no such value).
struct OperatingPoint {
  double load = 0;  // % of the case's flows
  SolutionStatus status = SolutionStatus::Unreachable;
  std::optional<double> flueGasOutlet, airOutlet;  // ℃
  std::optional<double> flueGasDuty, airDuty;      // kW
  std::optional<double> meanDifference;            // ℃, of the selected arrangement
  std::optional<double> actualCoefficient;         // W/(m2·K)
  std::optional<double> flueGasDrop, airDrop;      // Pa
  // ℃: hot end flue-gas side (wall.max) and air side, cold end air side (wall.min) and flue-gas
  // side.
  std::optional<double> wallMax, wallHotEndAirSide, wallMin, wallColdEndFlueGasSide;
  std::optional<double> margin, heatBalance;  // %
  // The design checks at the answer: the acid dew point (℃) and the cold end's margin above it
  // (K), empty when the case gives no dew point; the margin below the required one is flagged.
  std::optional<double> acidDewPoint, dewPointMargin;
  bool coldEndCorrosion = false;
  std::size_t evaluations = 0;
};
OperatingPoint operatingPoint(const OffDesignAnswer& answer, const CheckSettings& checks = {});

// The columns of the load table: heading, unit, and the figure of a point.
struct PointColumn {
  std::string_view name;     // "flue_gas.outlet_temperature"
  std::string_view caption;  // "烟气出口温度"
  std::string_view unit;
  int decimals;  // shown in the load table
  std::optional<double> OperatingPoint::*member;
};
const std::vector<PointColumn>& pointColumns();

// What a line of the chart shows; the renderer gives each its colour and dash.
enum class CurveRole : std::uint8_t {
  FlueGasOutlet,           // flue-gas outlet temperature
  AirOutlet,               // air outlet temperature
  ColdEndWallAirSide,      // wall.min
  ColdEndWallFlueGasSide,  // wall.cold_end_flue_gas_side
  AcidDewPoint,            // the flue gas's acid dew point, where the case gives one
};

struct Curve {
  CurveRole role;
  std::string label;
  std::vector<std::pair<double, double>> points;  // (load %, ℃)
};

struct PerformanceChart {
  std::string title;
  std::string xLabel, yLabel;
  std::vector<Curve> curves;
  std::optional<double> design;  // 100 % when the curve holds it: marked
};

// The curve of the loads that have an answer (found or on the grid).
PerformanceChart performanceChart(const std::vector<OperatingPoint>& points,
                                  const std::string& caseName);

}  // namespace aph::study
