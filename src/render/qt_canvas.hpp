// Qt's painter behind the chart canvas: PNG images and the PDF datasheet, drawn without a
// display (the offscreen platform when none is chosen).
#pragma once

#include <functional>
#include <optional>
#include <string>

#include "render/chart.hpp"

class QPainter;
class QFont;

namespace aph::render {

// Starts the GUI application the painter's fonts need, once.
void ensureGuiApplication();

// The Song face: the first of "宋体", "SimSun", "Noto Serif CJK SC" that the system has.
QFont songFont(double points, bool bold = false);

class QtCanvas : public Canvas {
 public:
  explicit QtCanvas(QPainter& painter) : painter_(painter) {}
  void fillRect(double x, double y, double w, double h, Rgb color, double opacity) override;
  void line(double x1, double y1, double x2, double y2, Rgb color, double width,
            bool dashed) override;
  void polyline(const std::vector<std::pair<double, double>>& points, Rgb color, double width,
                bool dashed) override;
  void dot(double x, double y, double radius, Rgb color) override;
  void text(double x, double y, const std::string& text, double size, Rgb color, Align align,
            bool bold, bool vertical) override;
  double textWidth(const std::string& text, double size) override;

 private:
  QPainter& painter_;
};

// A white PNG of w × h points at `scale` pixels a point with what `draw` puts on it: the bytes of
// the file, or nothing when it cannot be drawn.
std::optional<std::string> pngImage(double w, double h, double scale,
                                    const std::function<void(Canvas&)>& draw);

// The chart as a PNG of w × h points at `scale` pixels a point: the bytes of the file, or
// nothing when it cannot be drawn.
std::optional<std::string> chartPng(const ChartData& chart, double w = 720, double h = 540,
                                    double scale = 2);
// The same written to a file. Empty on success, otherwise what went wrong.
std::string writeChartPng(const ChartData& chart, const std::string& path, double w = 720,
                          double h = 540, double scale = 2);

}  // namespace aph::render
