#include "render/curve_chart.hpp"

#include "render/chart_parts.hpp"
#include "render/qt_canvas.hpp"

namespace aph::render {

using namespace parts;
using study::CurveRole;
using study::PerformanceChart;

CurveStyle curveStyle(CurveRole role) {
  switch (role) {
    case CurveRole::FlueGasOutlet:
      return {{200, 90, 0}, false};
    case CurveRole::AirOutlet:
      return {{0, 130, 150}, false};
    case CurveRole::ColdEndWallAirSide:
      return {{31, 90, 180}, true};
    case CurveRole::ColdEndWallFlueGasSide:
      return {{150, 60, 170}, true};
    case CurveRole::AcidDewPoint:
      return {{200, 0, 0}, true};
  }
  return {kInk, false};
}

void drawPerformanceChart(Canvas& c, const PerformanceChart& chart, double x, double y, double w,
                          double h) {
  double top = chartTitle(c, chart.title, x, y, w);
  // Legend: as many entries to a row as fit.
  double lx = x + 58;
  double ly = top + 11;
  for (const study::Curve& curve : chart.curves) {
    if (lx > x + w - 170) {
      lx = x + 58;
      ly += 14;
      top += 14;
    }
    const CurveStyle style = curveStyle(curve.role);
    lx = legendItem(c, lx, ly, curve.label, style.color, style.dashed, false);
  }
  top += 22;

  const Frame frame{x + 58, top, x + w - 14, y + h - 34};
  std::vector<Series> series;
  for (const study::Curve& curve : chart.curves) series.push_back({curve.label, curve.points});
  double xlo = INFINITY, xhi = -INFINITY, tlo = INFINITY, thi = -INFINITY;
  range(series, xlo, xhi, true);
  range(series, tlo, thi, false);
  if (!std::isfinite(xlo)) xlo = xhi = chart.design.value_or(100);
  if (!std::isfinite(tlo)) tlo = thi = 0;
  const Scale xs = niceScale(xlo, xhi, 8, true);
  const Scale ts = niceScale(tlo, thi);

  grid(c, frame, xs, ts, true);
  if (chart.design && *chart.design >= xs.lo && *chart.design <= xs.hi) {
    const double dx = xs.map(*chart.design, frame.left, frame.right);
    c.line(dx, frame.top, dx, frame.bottom, kInk, 1, true);
    // The label stands right of the line, or left of it when the line is the frame's right edge.
    if (dx + 60 <= frame.right)
      c.text(dx + 3, frame.top + 11, "设计负荷", 9, kInk, Canvas::Align::Left);
    else
      c.text(dx - 3, frame.top + 11, "设计负荷", 9, kInk, Canvas::Align::Right);
  }
  for (std::size_t k = 0; k < chart.curves.size(); ++k) {
    const CurveStyle style = curveStyle(chart.curves[k].role);
    plot(c, frame, xs, ts, series[k], style.color, style.dashed);
    for (const auto& [px, py] : series[k].points) {
      const double cx = xs.map(px, frame.left, frame.right);
      const double cy = ts.map(py, frame.bottom, frame.top);
      if (std::isfinite(cx) && std::isfinite(cy) && cx >= frame.left && cx <= frame.right &&
          cy >= frame.top && cy <= frame.bottom)
        c.dot(cx, cy, 2, style.color);
    }
  }
  border(c, frame);
  c.text(x + 14, (frame.top + frame.bottom) / 2, chart.yLabel, 10, kInk, Canvas::Align::Center,
         false, true);
  c.text((frame.left + frame.right) / 2, y + h - 6,
         c.elide(chart.xLabel, 10, frame.right - frame.left), 10, kInk, Canvas::Align::Center);
}

std::string performanceSvg(const PerformanceChart& chart, double w, double h) {
  return svgDocument(w, h,
                     [&](Canvas& canvas) { drawPerformanceChart(canvas, chart, 0, 0, w, h); });
}

std::optional<std::string> performancePng(const PerformanceChart& chart, double w, double h,
                                          double scale) {
  return pngImage(w, h, scale,
                  [&](Canvas& canvas) { drawPerformanceChart(canvas, chart, 0, 0, w, h); });
}

}  // namespace aph::render
