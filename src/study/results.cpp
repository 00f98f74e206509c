#include "study/results.hpp"

namespace aph::study {

const std::vector<ResultColumn>& resultColumns() {
  static const std::vector<ResultColumn> columns = {
      {"flue_gas.density", FieldId::Text11, "kg/m3"},
      {"flue_gas.specific_heat", FieldId::Text12, "kJ/kg·K"},
      {"flue_gas.conductivity", FieldId::Text14, "W/m·K"},
      {"flue_gas.viscosity", FieldId::Text13, "10^-6 Pa·s"},
      {"flue_gas.prandtl", FieldId::Text53, ""},
      {"air.density", FieldId::Text4, "kg/m3"},
      {"air.specific_heat", FieldId::Text5, "kJ/kg·K"},
      {"air.conductivity", FieldId::Text7, "W/m·K"},
      {"air.viscosity", FieldId::Text6, "10^-6 Pa·s"},
      {"air.prandtl", FieldId::Text54, ""},
      {"flue_gas.volume_flow", FieldId::Text8, "m3/h"},
      {"air.volume_flow", FieldId::Text1, "m3/h"},
      {"flue_gas.mass_flow", FieldId::Text61, "kg/h"},
      {"air.mass_flow", FieldId::Text62, "kg/h"},
      {"counterflow_mtd", FieldId::Text58, "℃"},
      {"crossflow_mtd", FieldId::Text15, "℃"},
      {"multi_pass_mtd", FieldId::Text59, "℃"},
      {"plate.single_area", FieldId::Text17, "m2"},
      {"plate.area", FieldId::Text19, "m2"},
      {"flue_gas.equivalent_diameter", FieldId::Text20, "mm"},
      {"air.equivalent_diameter", FieldId::Text55, "mm"},
      {"flue_gas.velocity", FieldId::Text21, "m/s"},
      {"air.velocity", FieldId::Text22, "m/s"},
      {"air.heat_duty", FieldId::Text24, "kW"},
      {"flue_gas.heat_duty", FieldId::Text60, "kW"},
      {"flue_gas.reynolds", FieldId::Text25, ""},
      {"air.reynolds", FieldId::Text50, ""},
      {"flue_gas.nusselt", FieldId::Text30, ""},
      {"air.nusselt", FieldId::Text35, ""},
      {"flue_gas.film_coefficient", FieldId::Text31, "W/m2·K"},
      {"air.film_coefficient", FieldId::Text36, "W/m2·K"},
      {"flue_gas.pressure_drop", FieldId::Text45, "Pa"},
      {"air.pressure_drop", FieldId::Text46, "Pa"},
      {"k_actual", FieldId::Text52, "W/m2·K"},
      {"k_theoretical", FieldId::Text23, "W/m2·K"},
      {"margin", FieldId::Text49, "%"},
      {"wall.max", FieldId::Text56, "℃"},
      {"wall.hot_end_air_side", FieldId::Text29, "℃"},
      {"wall.min", FieldId::Text57, "℃"},
      {"wall.cold_end_flue_gas_side", FieldId::Text32, "℃"},
  };
  return columns;
}

unsigned violations(const MainWindow& window) {
  unsigned flags = 0;
  if (window.field(FieldId::Text49).color == TextColor::Red)
    flags |= window.text(FieldId::Text49).starts_with('-') ? kMarginBelow : kMarginAbove;
  if (window.field(FieldId::Text45).color == TextColor::Red) flags |= kFlueGasDrop;
  if (window.field(FieldId::Text46).color == TextColor::Red) flags |= kAirDrop;
  return flags;
}

std::vector<std::string> violationNames(unsigned flags) {
  std::vector<std::string> names;
  if (flags & kMarginBelow) names.emplace_back("margin_low");
  if (flags & kMarginAbove) names.emplace_back("margin_high");
  if (flags & kFlueGasDrop) names.emplace_back("dp_flue_gas");
  if (flags & kAirDrop) names.emplace_back("dp_air");
  return names;
}

std::string violationText(unsigned flags) {
  std::string out;
  for (const std::string& name : violationNames(flags)) out += (out.empty() ? "" : ";") + name;
  return out;
}

FieldId meanDifferenceField(const MainWindow& window) {
  if (window.isSelected(OptionId::Option2)) return FieldId::Text15;
  if (window.isSelected(OptionId::Option3)) return FieldId::Text59;
  return FieldId::Text58;
}

std::string_view arrangementKey(const MainWindow& w) {
  if (w.isSelected(OptionId::Option1)) return "counterflow";
  if (w.isSelected(OptionId::Option2)) return "crossflow";
  if (w.isSelected(OptionId::Option3)) return "multi-pass";
  return "";
}

std::string_view arrangementCaption(const MainWindow& w) {
  if (w.isSelected(OptionId::Option1)) return "逆流";
  if (w.isSelected(OptionId::Option2)) return "错流（不混合）";
  if (w.isSelected(OptionId::Option3)) return "折流";
  return "未选择";
}

std::string_view flowModeKey(const MainWindow& w) {
  if (w.isSelected(OptionId::Option4)) return "volume";
  if (w.isSelected(OptionId::Option5)) return "mass";
  return "";
}

std::string_view flowModeCaption(const MainWindow& w) {
  if (w.isSelected(OptionId::Option4)) return "体积流量";
  if (w.isSelected(OptionId::Option5)) return "质量流量";
  return "未选择";
}

}  // namespace aph::study
