// The heat map of the plate's wall temperature: one panel per section of the plate (per pass of
// the multi-pass arrangement), the flue-gas face coloured by its temperature, isotherms, the
// acid-dew-point isotherm dashed red with the cells below it hatched, the flow directions with
// their inlet temperatures, the coldest and the hottest point marked, and a colour bar in ℃.
#pragma once

#include <optional>
#include <string>

#include "render/chart.hpp"
#include "study/checks/plate_field_run.hpp"

namespace aph::render {

void drawFieldMap(Canvas& canvas, const study::FieldReport& field, const std::string& title,
                  double x, double y, double w, double h);
// The size the picture takes for the field: wider for more sections.
std::pair<double, double> fieldMapSize(const study::FieldReport& field);
std::string fieldMapSvg(const study::FieldReport& field, const std::string& title);
std::optional<std::string> fieldMapPng(const study::FieldReport& field, const std::string& title,
                                       double scale = 2);

}  // namespace aph::render
