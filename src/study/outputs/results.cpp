#include "study/outputs/results.hpp"

namespace aph::study {
namespace {

std::vector<ResultColumn> columnsOf(std::initializer_list<Quantity> quantities) {
  std::vector<ResultColumn> columns;
  for (Quantity q : quantities) columns.push_back({fieldInfo(q).column, q, fieldInfo(q).unit});
  return columns;
}

}  // namespace

const std::vector<ResultColumn>& resultColumns() {
  using Q = Quantity;
  static const std::vector<ResultColumn> columns = columnsOf({
      Q::FlueGasDensity,
      Q::FlueGasSpecificHeat,
      Q::FlueGasConductivity,
      Q::FlueGasViscosity,
      Q::FlueGasPrandtl,  //
      Q::AirDensity,
      Q::AirSpecificHeat,
      Q::AirConductivity,
      Q::AirViscosity,
      Q::AirPrandtl,
      Q::FlueGasVolumeFlow,
      Q::AirVolumeFlow,
      Q::FlueGasMassFlow,
      Q::AirMassFlow,
      Q::CounterflowMeanDifference,
      Q::CrossflowMeanDifference,
      Q::MultiPassMeanDifference,
      Q::SinglePlateArea,
      Q::HeatTransferArea,
      Q::FlueGasEquivalentDiameter,
      Q::AirEquivalentDiameter,  //
      Q::FlueGasVelocity,
      Q::AirVelocity,
      Q::AirHeatDuty,
      Q::FlueGasHeatDuty,
      Q::FlueGasReynolds,
      Q::AirReynolds,
      Q::FlueGasNusselt,
      Q::AirNusselt,
      Q::FlueGasFilmCoefficient,
      Q::AirFilmCoefficient,  //
      Q::FlueGasPressureDrop,
      Q::AirPressureDrop,  //
      Q::ActualCoefficient,
      Q::TheoreticalCoefficient,
      Q::Margin,
      Q::WallMaximum,
      Q::HotEndAirSideWall,
      Q::WallMinimum,
      Q::ColdEndFlueGasSideWall,
  });
  return columns;
}

const std::vector<ResultColumn>& sweepColumns() {
  using Q = Quantity;
  static const std::vector<ResultColumn> columns = [] {
    std::vector<ResultColumn> list = columnsOf({Q::FlueGasHeatDuty, Q::AirHeatDuty});
    list.push_back({kMeanDifferenceColumn, Q::CounterflowMeanDifference,
                    fieldInfo(Q::CounterflowMeanDifference).unit});
    for (const ResultColumn& c :
         columnsOf({Q::HeatTransferArea, Q::FlueGasVelocity, Q::AirVelocity, Q::FlueGasReynolds,
                    Q::AirReynolds, Q::FlueGasFilmCoefficient, Q::AirFilmCoefficient,
                    Q::FlueGasPressureDrop, Q::AirPressureDrop, Q::ActualCoefficient,
                    Q::TheoreticalCoefficient, Q::Margin, Q::WallMaximum, Q::HotEndAirSideWall,
                    Q::WallMinimum, Q::ColdEndFlueGasSideWall}))
      list.push_back(c);
    return list;
  }();
  return columns;
}

Quantity columnQuantity(const ResultColumn& column, const Rating& rating) {
  return column.name == kMeanDifferenceColumn ? rating.meanDifferenceQuantity() : column.quantity;
}

unsigned violations(const Rating& rating) {
  unsigned flags = 0;
  if (rating.marginBelowBand()) flags |= kMarginBelow;
  if (rating.marginAboveBand()) flags |= kMarginAbove;
  if (rating.flueGasDropOverLimit()) flags |= kFlueGasDrop;
  if (rating.airDropOverLimit()) flags |= kAirDrop;
  return flags;
}

std::vector<std::string> violationNames(unsigned flags) {
  std::vector<std::string> names;
  if (flags & kMarginBelow) names.emplace_back("margin_low");
  if (flags & kMarginAbove) names.emplace_back("margin_high");
  if (flags & kFlueGasDrop) names.emplace_back("dp_flue_gas");
  if (flags & kAirDrop) names.emplace_back("dp_air");
  if (flags & kColdEndCorrosion) names.emplace_back("cold_end_corrosion");
  if (flags & kHeatBalance) names.emplace_back("heat_balance");
  return names;
}

std::string violationText(unsigned flags) {
  std::string out;
  for (const std::string& name : violationNames(flags)) out += (out.empty() ? "" : ";") + name;
  return out;
}

std::string sideCaption(std::string_view path, std::string_view caption) {
  std::string out(caption);
  // The two walls the window captions alike, each under its side's heading, by where they lie.
  if (path == "wall.hot_end_air_side") return "热端空气侧" + out;
  if (path == "wall.cold_end_flue_gas_side") return "冷端烟气侧" + out;
  if (out.find("烟气") != std::string::npos || out.find("空气") != std::string::npos) return out;
  if (path.starts_with("flue_gas.")) return "烟气侧" + out;
  if (path.starts_with("air.")) return "空气侧" + out;
  return out;
}

std::string_view arrangementKey(const Rating& rating) {
  return rating.arrangement ? optionInfo(*rating.arrangement).key : "";
}

std::string_view arrangementCaption(const Rating& rating) {
  return rating.arrangement ? optionInfo(*rating.arrangement).shortCaption : kNothingSelected;
}

std::string_view flowModeKey(const Rating& rating) {
  return rating.flowMode ? optionInfo(*rating.flowMode).key : "";
}

std::string_view flowModeCaption(const Rating& rating) {
  return rating.flowMode ? optionInfo(*rating.flowMode).shortCaption : kNothingSelected;
}

}  // namespace aph::study
