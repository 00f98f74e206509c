#include "study/outputs/field_output.hpp"

#include "study/outputs/number_text.hpp"
#include "study/studies/rate.hpp"

namespace aph::study {
namespace {

using json = nlohmann::ordered_json;

json optionalNumber(std::optional<double> value) {
  return value ? json(*value) : json(nullptr);
}

json extremeJson(const FieldExtremePoint& e, bool sections) {
  json j = json::object();
  j["temperature"] = e.temperature;
  if (sections) j["section"] = e.section + 1;
  j["x"] = e.x;
  j["y"] = e.y;
  j["side"] = e.airFace ? "air" : "flue_gas";
  return j;
}

json streamJson(double inlet, double outlet, double rate) {
  json j = json::object();
  j["inlet_temperature"] = inlet;
  j["outlet_temperature"] = outlet;
  j["heat_capacity_rate"] = rate;
  return j;
}

std::optional<double> fractionOf(const FieldReport& f, std::optional<double> area) {
  if (!area || !(f.area > 0)) return std::nullopt;
  return *area / f.area;
}

std::string two(double v) {
  return fixedShowingText(v, 2, 2);
}

std::string arrangementCaption(const FieldReport& f) {
  if (f.arrangement == "counterflow") return "逆流";
  if (f.arrangement == "crossflow") return "错流（两侧均不混合）";
  return "折流（" + std::to_string(f.sections.size()) + " 段逆向串联的错流）";
}

std::string sideCaption(const FieldExtremePoint& e) {
  return e.airFace ? "空气侧" : "烟气侧";
}

std::string placeText(const FieldReport& f, const FieldExtremePoint& e) {
  std::string text = two(e.temperature) + " ℃（" + sideCaption(e) + "板面";
  if (f.sections.size() > 1) text += "，第 " + std::to_string(e.section + 1) + " 段";
  return text + "，x = " + fixedText(e.x, 3) + "，y = " + fixedText(e.y, 3) + "）";
}

std::string subjectName(const FieldSubject& s) {
  return s.name + (s.load ? "，负荷 " + figuresText(*s.load, 6) + " %" : "");
}

}  // namespace

json fieldJson(const FieldSubject& subject, const FieldReport& f) {
  json j = json::object();
  j["file"] = subject.file;
  j["case"] = subject.name;
  if (subject.load) j["load"] = *subject.load;
  j["mode"] = f.mode == FieldMode::Rating ? "rating" : "operation";
  j["arrangement"] = f.arrangement;
  json grid = json::array();
  for (std::size_t s = 0; s < f.sections.size(); ++s) grid.push_back(json::array({f.nx, f.ny}));
  j["grid"] = grid;
  if (f.sections.size() > 1) {
    json passes = json::array();
    for (const FieldSectionPasses& s : f.sections)
      passes.push_back({{"flue_gas_pass", s.flueGasPass + 1}, {"air_pass", s.airPass + 1}});
    j["sections"] = passes;
  }
  j["area"] = f.area;
  j["overall_coefficient"] = f.overallCoefficient;
  j["scale_factor"] = f.mode == FieldMode::Rating ? json(f.scaleFactor) : json(nullptr);
  j["duty"] = f.duty;
  j["flue_gas"] = streamJson(f.flueGasInlet, f.flueGasOutlet, f.flueGasHeatCapacityRate);
  j["air"] = streamJson(f.airInlet, f.airOutlet, f.airHeatCapacityRate);
  const bool sections = f.sections.size() > 1;
  j["wall"] = {{"min", extremeJson(f.wallMin, sections)},
               {"max", extremeJson(f.wallMax, sections)}};
  j["acid_dew_point"] = optionalNumber(f.acidDewPoint);
  j["water_dew_point"] = optionalNumber(f.waterDewPoint);
  j["area_below_acid_dew_point"] = optionalNumber(f.areaBelowAcidDewPoint);
  j["area_below_acid_dew_point_fraction"] = optionalNumber(fractionOf(f, f.areaBelowAcidDewPoint));
  j["area_below_water_dew_point"] = optionalNumber(f.areaBelowWaterDewPoint);
  j["area_below_water_dew_point_fraction"] =
      optionalNumber(fractionOf(f, f.areaBelowWaterDewPoint));
  return j;
}

std::string fieldTable(const FieldSubject& subject, const FieldReport& f) {
  std::string out = "板面温度场：" + subjectName(subject) + " (" + subject.file + ")\n";
  const auto row = [&out](const std::string& caption, const std::string& value) {
    out += "  " + caption + "：" + value + "\n";
  };
  row("工况", f.mode == FieldMode::Rating ? "按给定出口温度（给热系数同比例缩放）"
                                          : "运行工况（实际给热系数）");
  row("布置", arrangementCaption(f));
  row("网格（每段）", std::to_string(f.nx) + " × " + std::to_string(f.ny));
  row("换热面积(m2)", two(f.area));
  row("传热系数(W/m2·K)", two(f.overallCoefficient));
  if (f.mode == FieldMode::Rating) row("给热系数比例因子", fixedText(f.scaleFactor, 4));
  row("换热量(kW)", two(f.duty));
  row("烟气进口/出口温度(℃)", two(f.flueGasInlet) + " / " + two(f.flueGasOutlet));
  row("空气进口/出口温度(℃)", two(f.airInlet) + " / " + two(f.airOutlet));
  row("烟气/空气热容量(kW/K)",
      fixedText(f.flueGasHeatCapacityRate, 4) + " / " + fixedText(f.airHeatCapacityRate, 4));
  row("最低壁温", placeText(f, f.wallMin));
  row("最高壁温", placeText(f, f.wallMax));
  const auto below = [&](const char* caption, std::optional<double> point,
                         std::optional<double> area) {
    if (!point) return row(caption, "未给出");
    row(caption, two(*point) + " ℃，烟气侧板面低于它的面积 " + two(area.value_or(0)) + " m2（" +
                     two(100 * fractionOf(f, area).value_or(0)) + " %）");
  };
  below("烟气酸露点", f.acidDewPoint, f.areaBelowAcidDewPoint);
  below("烟气水露点", f.waterDewPoint, f.areaBelowWaterDewPoint);
  return out;
}

std::string fieldCsvHeader() {
  return "file,case,load,mode,arrangement,sections,nx,ny,area,overall_coefficient,scale_factor,"
         "duty,flue_gas.inlet_temperature,flue_gas.outlet_temperature,"
         "flue_gas.heat_capacity_rate,air.inlet_temperature,air.outlet_temperature,"
         "air.heat_capacity_rate,wall.min.temperature,wall.min.section,wall.min.x,wall.min.y,"
         "wall.min.side,wall.max.temperature,wall.max.section,wall.max.x,wall.max.y,"
         "wall.max.side,acid_dew_point,water_dew_point,area_below_acid_dew_point,"
         "area_below_acid_dew_point_fraction,area_below_water_dew_point,"
         "area_below_water_dew_point_fraction\n";
}

std::string fieldCsvRow(const FieldSubject& subject, const FieldReport& f) {
  const auto num = [](double v) { return figuresText(v, 10); };
  const auto opt = [&](std::optional<double> v) { return v ? num(*v) : std::string(); };
  std::string row = csvField(subject.file) + "," + csvField(subject.name) + "," +
                    (subject.load ? num(*subject.load) : "") + "," +
                    (f.mode == FieldMode::Rating ? "rating" : "operation") + "," + f.arrangement +
                    "," + std::to_string(f.sections.size()) + "," + std::to_string(f.nx) + "," +
                    std::to_string(f.ny) + "," + num(f.area) + "," + num(f.overallCoefficient) +
                    "," + (f.mode == FieldMode::Rating ? num(f.scaleFactor) : "") + "," +
                    num(f.duty) + "," + num(f.flueGasInlet) + "," + num(f.flueGasOutlet) + "," +
                    num(f.flueGasHeatCapacityRate) + "," + num(f.airInlet) + "," +
                    num(f.airOutlet) + "," + num(f.airHeatCapacityRate);
  for (const FieldExtremePoint* e : {&f.wallMin, &f.wallMax})
    row += "," + num(e->temperature) + "," + std::to_string(e->section + 1) + "," + num(e->x) +
           "," + num(e->y) + "," + (e->airFace ? "air" : "flue_gas");
  row += "," + opt(f.acidDewPoint) + "," + opt(f.waterDewPoint) + "," +
         opt(f.areaBelowAcidDewPoint) + "," + opt(fractionOf(f, f.areaBelowAcidDewPoint)) + "," +
         opt(f.areaBelowWaterDewPoint) + "," + opt(fractionOf(f, f.areaBelowWaterDewPoint));
  return row + "\n";
}

std::string fieldCellsCsvHeader() {
  return "file,case,section,flue_gas_pass,air_pass,i,j,x,y,flue_gas,air,flue_gas_face,"
         "air_face\n";
}

std::string fieldCellsCsv(const FieldSubject& subject, const FieldReport& f) {
  std::string out;
  const std::string who = csvField(subject.file) + "," + csvField(subject.name) + ",";
  std::size_t k = 0;
  for (std::size_t s = 0; s < f.sections.size(); ++s) {
    for (int j = 0; j < f.ny; ++j) {
      for (int i = 0; i < f.nx; ++i, ++k) {
        const FieldValues& c = f.cells[k];
        out += who + std::to_string(s + 1) + "," + std::to_string(f.sections[s].flueGasPass + 1) +
               "," + std::to_string(f.sections[s].airPass + 1) + "," + std::to_string(i + 1) + "," +
               std::to_string(j + 1) + "," + fixedText(c.x, 6) + "," + fixedText(c.y, 6) + "," +
               fixedText(c.flueGas, 4) + "," + fixedText(c.air, 4) + "," +
               fixedText(c.flueGasFace, 4) + "," + fixedText(c.airFace, 4) + "\n";
      }
    }
  }
  return out;
}

}  // namespace aph::study
