// The performance curve drawn on any canvas: the outlet temperatures and the cold-end wall
// temperatures against load, as SVG by hand or as PNG with Qt's painter.
#pragma once

#include <optional>
#include <string>

#include "render/chart.hpp"
#include "study/outputs/curve.hpp"

namespace aph::render {

// The colour and dash of each kind of line.
struct CurveStyle {
  Rgb color;
  bool dashed = false;
};
CurveStyle curveStyle(study::CurveRole role);

// Draws the chart into the rectangle (x, y, w, h).
void drawPerformanceChart(Canvas& canvas, const study::PerformanceChart& chart, double x, double y,
                          double w, double h);

// The chart as an SVG document of w × h points.
std::string performanceSvg(const study::PerformanceChart& chart, double w = 720, double h = 480);
// The chart as a PNG of w × h points at `scale` pixels a point: the bytes of the file, or nothing
// when it cannot be drawn.
std::optional<std::string> performancePng(const study::PerformanceChart& chart, double w = 720,
                                          double h = 480, double scale = 2);

}  // namespace aph::render
