#include "study/outputs/results.hpp"

#include <string_view>
#include <utility>

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

namespace {
// Each violation flag with its name, in the order the names are listed.
constexpr std::pair<unsigned, std::string_view> kViolationNames[] = {
    {kMarginBelow, "margin_low"},
    {kMarginAbove, "margin_high"},
    {kFlueGasDrop, "dp_flue_gas"},
    {kAirDrop, "dp_air"},
    {kColdEndCorrosion, "cold_end_corrosion"},
    {kHeatBalance, "heat_balance"},
};
}  // namespace

std::vector<std::string> violationNames(unsigned flags) {
  std::vector<std::string> names;
  for (const auto& [flag, name] : kViolationNames)
    if (flags & flag) names.emplace_back(name);
  return names;
}

std::string violationText(unsigned flags) {
  std::string out;
  for (const auto& [flag, name] : kViolationNames) {
    if (!(flags & flag)) continue;
    if (!out.empty()) out += ';';
    out += name;
  }
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
