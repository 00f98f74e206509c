#include "study/outputs/curve.hpp"

#include <cmath>

#include "study/outputs/results.hpp"

namespace aph::study {

OperatingPoint operatingPoint(const OffDesignAnswer& a, const CheckSettings& checks) {
  OperatingPoint p;
  p.load = a.load.value_or(100);
  p.status = a.status;
  p.margin = a.margin;
  p.heatBalance = a.heatBalance;
  p.evaluations = a.evaluations;
  if (a.flueGasOutletText.empty()) return p;
  p.flueGasOutlet = a.flueGasOutlet;
  p.airOutlet = a.airOutlet;
  const Rating& r = a.rating.run.window.rating();
  auto value = [&](Quantity q) -> std::optional<double> {
    const auto v = r.value(q);
    if (v && std::isfinite(*v)) return v;
    return std::nullopt;
  };
  p.flueGasDuty = value(Quantity::FlueGasHeatDuty);
  p.airDuty = value(Quantity::AirHeatDuty);
  p.meanDifference = value(r.meanDifferenceQuantity());
  p.actualCoefficient = value(Quantity::ActualCoefficient);
  p.flueGasDrop = value(Quantity::FlueGasPressureDrop);
  p.airDrop = value(Quantity::AirPressureDrop);
  p.wallMax = value(Quantity::WallMaximum);
  p.wallHotEndAirSide = value(Quantity::HotEndAirSideWall);
  p.wallMin = value(Quantity::WallMinimum);
  p.wallColdEndFlueGasSide = value(Quantity::ColdEndFlueGasSideWall);
  const DesignChecks design = designChecks(a.rating, checks);
  p.acidDewPoint = design.dewPoints.acid;
  p.dewPointMargin = design.dewPointMargin;
  p.coldEndCorrosion = (design.violations & kColdEndCorrosion) != 0;
  return p;
}

const std::vector<PointColumn>& pointColumns() {
  using P = OperatingPoint;
  static const std::vector<PointColumn> columns = {
      {"flue_gas.outlet_temperature", "烟气出口温度", "℃", 3, &P::flueGasOutlet},
      {"air.outlet_temperature", "空气出口温度", "℃", 3, &P::airOutlet},
      {"flue_gas.heat_duty", "烟气换热量", "kW", 1, &P::flueGasDuty},
      {"air.heat_duty", "空气换热量", "kW", 1, &P::airDuty},
      {"mean_temperature_difference", "平均温差", "℃", 3, &P::meanDifference},
      {"k_actual", "实际传热系数", "W/m2·K", 3, &P::actualCoefficient},
      {"flue_gas.pressure_drop", "烟气压降", "Pa", 1, &P::flueGasDrop},
      {"air.pressure_drop", "空气压降", "Pa", 1, &P::airDrop},
      {"wall.max", "壁温max", "℃", 3, &P::wallMax},
      {"wall.hot_end_air_side", "热端空气侧壁温", "℃", 3, &P::wallHotEndAirSide},
      {"wall.min", "壁温min", "℃", 3, &P::wallMin},
      {"wall.cold_end_flue_gas_side", "冷端烟气侧壁温", "℃", 3, &P::wallColdEndFlueGasSide},
      {"margin", "裕量R", "%", 4, &P::margin},
      {"heat_balance", "热平衡偏差", "%", 4, &P::heatBalance},
      {"dew_point_margin", "冷端露点裕量", "K", 2, &P::dewPointMargin},
  };
  return columns;
}

PerformanceChart performanceChart(const std::vector<OperatingPoint>& points,
                                  const std::string& caseName) {
  PerformanceChart chart;
  chart.title = caseName.empty() ? "变负荷性能曲线" : caseName + "：变负荷性能曲线";
  chart.xLabel = "负荷 (% 设计流量)";
  chart.yLabel = "温度 (℃)";
  chart.curves = {
      {CurveRole::FlueGasOutlet, "烟气出口温度", {}},
      {CurveRole::AirOutlet, "空气出口温度", {}},
      {CurveRole::ColdEndWallAirSide, "冷端壁温min（空气侧）", {}},
      {CurveRole::ColdEndWallFlueGasSide, "冷端壁温（烟气侧）", {}},
      {CurveRole::AcidDewPoint, "烟气酸露点", {}},
  };
  for (const OperatingPoint& p : points) {
    if (p.status != SolutionStatus::Found && p.status != SolutionStatus::Grid) continue;
    const std::optional<double> values[] = {p.flueGasOutlet, p.airOutlet, p.wallMin,
                                            p.wallColdEndFlueGasSide, p.acidDewPoint};
    for (std::size_t k = 0; k < chart.curves.size(); ++k)
      if (values[k]) chart.curves[k].points.emplace_back(p.load, *values[k]);
    if (p.load == 100) chart.design = 100;
  }
  // Without a dew point in the case there is no line to draw, nor to name in the legend.
  if (chart.curves.back().points.empty()) chart.curves.pop_back();
  return chart;
}

}  // namespace aph::study
