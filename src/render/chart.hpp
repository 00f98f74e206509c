// src/render: drawing (SVG by hand, PNG and the PDF datasheet with Qt's painter) of what the
// studies compute; the only Qt outside the desktop window.
//
// The sweep chart drawn on any canvas: hand-written SVG here, Qt's painter for PNG images and
// the datasheet.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "study/outputs/chart.hpp"

namespace aph::render {

struct Rgb {
  std::uint8_t r = 0, g = 0, b = 0;
};

// What the chart asks of a drawing surface; coordinates in points, y downwards.
class Canvas {
 public:
  enum class Align { Left, Center, Right };
  virtual ~Canvas() = default;
  virtual void fillRect(double x, double y, double w, double h, Rgb color, double opacity) = 0;
  virtual void line(double x1, double y1, double x2, double y2, Rgb color, double width,
                    bool dashed) = 0;
  virtual void polyline(const std::vector<std::pair<double, double>>& points, Rgb color,
                        double width, bool dashed) = 0;
  virtual void dot(double x, double y, double radius, Rgb color) = 0;
  // `y` is the text's baseline; `vertical` turns it a quarter to read upwards.
  virtual void text(double x, double y, const std::string& text, double size, Rgb color,
                    Align align, bool bold = false, bool vertical = false) = 0;
  // The width the text takes; by default an estimate (CJK a full em, Latin about half).
  virtual double textWidth(const std::string& text, double size);
  // The text cut with "…" to fit `width`, whole characters only.
  std::string elide(const std::string& text, double size, double width);
};

using study::ChartData;
using study::Series;

// Draws the two panels into the rectangle (x, y, w, h).
void drawChart(Canvas& canvas, const ChartData& chart, double x, double y, double w, double h);

// The chart as an SVG document of w × h points.
std::string chartSvg(const ChartData& chart, double w = 720, double h = 540);

}  // namespace aph::render
