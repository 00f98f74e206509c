// The sweep chart: the surface margin with its band, and the two pressure drops with their
// limit, against the swept parameter. Drawn on any canvas: hand-written SVG here, Qt's painter
// for PNG images and the datasheet.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "cli/batch/sweep.hpp"

namespace aph::batch {

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
};

struct Series {
  std::string label;  // empty in a one-parameter sweep
  std::vector<std::pair<double, double>> points;
};

struct ChartData {
  std::string title;
  std::string xLabel;
  std::vector<Series> margin;
  std::vector<Series> dropFlueGas;
  std::vector<Series> dropAir;
  double bandLow = 0, bandHigh = 30, dropLimit = 500;
  std::optional<double> design;  // the design's own value, marked on both panels
};

// Margin and pressure drops of a sweep's completed designs, a series per value of the second
// parameter.
ChartData sweepChart(const SweepPlan& plan, const std::vector<DesignValues>& values);

// Draws the two panels into the rectangle (x, y, w, h).
void drawChart(Canvas& canvas, const ChartData& chart, double x, double y, double w, double h);

// The chart as an SVG document of w × h points.
std::string chartSvg(const ChartData& chart, double w = 720, double h = 540);

}  // namespace aph::batch
