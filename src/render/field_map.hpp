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

// The grid the heat map is drawn at, cells per section and direction, where none is chosen: finer
// than the design checks' grid, so that the isotherms run smooth.
inline constexpr int kFieldMapGrid = 64;

// The sections side by side, `perRow` of them to a row (0: all in one row), the colour bar to the
// right of the first row.
void drawFieldMap(Canvas& canvas, const study::FieldReport& field, const std::string& title,
                  double x, double y, double w, double h, int perRow = 0);
// The size, in points, the picture takes for the field: wider for more sections a row.
std::pair<double, double> fieldMapSize(const study::FieldReport& field, int perRow = 0);
std::string fieldMapSvg(const study::FieldReport& field, const std::string& title);
std::optional<std::string> fieldMapPng(const study::FieldReport& field, const std::string& title,
                                       double scale = 2);

}  // namespace aph::render
