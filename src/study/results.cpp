#include "study/results.hpp"

namespace aph::study {
namespace {

std::vector<ResultColumn> columnsOf(std::initializer_list<FieldId> fields) {
  std::vector<ResultColumn> columns;
  for (FieldId id : fields) columns.push_back({fieldInfo(id).column, id, fieldInfo(id).unit});
  return columns;
}

}  // namespace

const std::vector<ResultColumn>& resultColumns() {
  using F = FieldId;
  static const std::vector<ResultColumn> columns = columnsOf({
      F::Text11, F::Text12, F::Text14, F::Text13, F::Text53,  // flue-gas properties
      F::Text4,  F::Text5,  F::Text7,  F::Text6,  F::Text54,  // air properties
      F::Text8,  F::Text1,  F::Text61, F::Text62,             // flows
      F::Text58, F::Text15, F::Text59,                        // mean temperature differences
      F::Text17, F::Text19, F::Text20, F::Text55,             // areas, equivalent diameters
      F::Text21, F::Text22, F::Text24, F::Text60,             // velocities, heat duties
      F::Text25, F::Text50, F::Text30, F::Text35, F::Text31, F::Text36,  // Re, Nu, h
      F::Text45, F::Text46,                                              // pressure drops
      F::Text52, F::Text23, F::Text49,                                   // K and margin
      F::Text56, F::Text29, F::Text57, F::Text32,                        // wall temperatures
  });
  return columns;
}

const std::vector<ResultColumn>& sweepColumns() {
  using F = FieldId;
  static const std::vector<ResultColumn> columns = [] {
    std::vector<ResultColumn> list = columnsOf({F::Text60, F::Text24});
    list.push_back({kMeanDifferenceColumn, F::Text58, fieldInfo(F::Text58).unit});
    for (const ResultColumn& c :
         columnsOf({F::Text19, F::Text21, F::Text22, F::Text25, F::Text50, F::Text31, F::Text36,
                    F::Text45, F::Text46, F::Text52, F::Text23, F::Text49, F::Text56, F::Text29,
                    F::Text57, F::Text32}))
      list.push_back(c);
    return list;
  }();
  return columns;
}

FieldId columnField(const ResultColumn& column, const Rating& rating) {
  return column.name == kMeanDifferenceColumn ? meanDifferenceField(rating) : column.field;
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

FieldId meanDifferenceField(const Rating& rating) {
  if (rating.arrangement == OptionId::Option2) return FieldId::Text15;
  if (rating.arrangement == OptionId::Option3) return FieldId::Text59;
  return FieldId::Text58;
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
