// The parts the charts are drawn from: colours, axes with round ticks (a bounded count, never
// past the resolution of the values), panels, legends, and the SVG canvas.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "render/chart.hpp"
#include "study/outputs/number_text.hpp"

namespace aph::render::parts {

constexpr Rgb kInk{30, 30, 30};
constexpr Rgb kGrid{215, 215, 215};
constexpr Rgb kLimit{220, 0, 0};
constexpr Rgb kBand{0, 150, 60};
constexpr Rgb kMarginColor{31, 90, 180};
constexpr Rgb kFlueGasColor{200, 90, 0};
constexpr Rgb kAirColor{0, 130, 150};
constexpr Rgb kPalette[] = {{31, 90, 180},  {200, 90, 0},   {40, 150, 40},   {150, 60, 170},
                            {140, 86, 75},  {220, 90, 160}, {110, 110, 110}, {160, 160, 20},
                            {20, 160, 180}, {90, 40, 20}};

// A linear or logarithmic axis from lo to hi, with ticks at multiples of `step` (linear) or at
// 1, 2 and 5 times the powers of ten (logarithmic).
struct Scale {
  double lo, hi, step;
  bool log = false;
  double map(double v, double from, double to) const {
    const double share = log ? (std::log10(std::max(v, lo * 1e-3)) - std::log10(lo)) /
                                   (std::log10(hi) - std::log10(lo))
                             : (v - lo) / (hi - lo);
    return from + share * (to - from);
  }
  // Ticks are few whatever the values: a bounded count, and none past the resolution of v.
  std::vector<double> ticks() const {
    constexpr std::size_t kMaxTicks = 40;
    std::vector<double> out;
    if (log) {
      if (!(lo > 0) || !std::isfinite(hi)) return out;
      const double decades = std::floor(std::log10(hi)) - std::floor(std::log10(lo)) + 1;
      // Over many decades only every few powers of ten, so that the labels keep apart.
      const bool sparse = decades > 10;
      const int stride = sparse ? static_cast<int>(std::ceil(decades / 10)) : 1;
      int n = 0;
      for (double decade = std::pow(10, std::floor(std::log10(lo)));
           decade <= hi && n < 700 && out.size() < kMaxTicks; decade *= 10, ++n) {
        if (n % stride) continue;
        for (double m : {1.0, 2.0, 5.0})
          if ((!sparse || m == 1) && m * decade >= lo * (1 - 1e-9) && m * decade <= hi * (1 + 1e-9))
            out.push_back(m * decade);
      }
      return out;
    }
    for (double v = std::ceil(lo / step - 1e-9) * step;
         v <= hi + step * 1e-6 && out.size() < kMaxTicks; v += step) {
      out.push_back(v);
      if (v + step == v) break;  // the step is below the resolution of v
    }
    return out;
  }
};

inline double niceStep(double span, int ticks) {
  const double raw = span / ticks;
  const double magnitude = std::pow(10, std::floor(std::log10(raw)));
  double step = magnitude;
  for (double m : {1.0, 2.0, 5.0, 10.0}) {
    step = m * magnitude;
    if (raw <= step) break;
  }
  return step;
}

// Round tick steps (1, 2, 5 × 10^n) and bounds on them around [lo, hi]; `exact` keeps the
// bounds at lo and hi.
inline Scale niceScale(double lo, double hi, int ticks = 5, bool exact = false) {
  // Values beyond a tenth of the double range would overflow the span and its ticks.
  lo = std::clamp(lo, -1e307, 1e307);
  hi = std::clamp(hi, -1e307, 1e307);
  if (!(hi > lo)) {
    const double pad = std::max(1.0, std::fabs(lo) * 0.1);
    lo -= pad;
    hi += pad;
  }
  const double step = niceStep(hi - lo, ticks);
  if (exact) return {lo, hi, step};
  return {std::floor(lo / step) * step, std::ceil(hi / step) * step, step};
}

// Bounds on 1, 2, 5 × 10^n around positive values [lo, hi].
inline Scale logScale(double lo, double hi) {
  lo = std::clamp(lo, 1e-300, 1e300);
  hi = std::clamp(hi, lo, 1e300);
  auto below = [](double v) {
    const double decade = std::pow(10, std::floor(std::log10(v)));
    for (double m : {5.0, 2.0, 1.0})
      if (m * decade <= v) return m * decade;
    return decade;
  };
  auto above = [](double v) {
    const double decade = std::pow(10, std::floor(std::log10(v)));
    for (double m : {1.0, 2.0, 5.0, 10.0})
      if (m * decade >= v) return m * decade;
    return 10 * decade;
  };
  return {below(lo), above(hi), 0, true};
}

// The decimals that tell ticks `step` apart.
inline int tickDecimals(double step) {
  return step >= 1 || step <= 0
             ? 0
             : std::min(20, static_cast<int>(std::ceil(-std::log10(step) - 1e-9)));
}

inline std::string labelText(double v, int decimals) {
  std::string text = study::fixedText(v, decimals);
  // A label longer than a dozen characters would run into its neighbours: the short form.
  if (text.size() > 12) text = study::figuresText(v, 6);
  return text;
}

inline std::string tickText(double v, double step) {
  if (std::fabs(v) < std::fabs(step) * 1e-9) v = 0;
  return labelText(v, tickDecimals(step));
}

// An axis's end is the first or last value drawn, rarely a round tick: its label has the decimals
// of the ticks and as many more (up to six) as the value needs to be told as it is.
inline std::string endText(double v, double step) {
  if (std::fabs(v) < std::fabs(step) * 1e-9) v = 0;
  const int decimals = tickDecimals(step);
  for (int extra = 0; extra < 6; ++extra) {
    const std::string text = labelText(v, decimals + extra);
    if (std::fabs(std::strtod(text.c_str(), nullptr) - v) <= std::fabs(step) * 1e-9) return text;
  }
  return labelText(v, decimals + 6);
}

struct Frame {
  double left, top, right, bottom;
};

struct AxisLabel {
  double at;  // where its centre stands
  std::string text;
};

// The labels under a linear x axis from `from` to `to`. The axis runs over exactly the values
// drawn (a sweep's first and last values, the lowest and highest load), so both ends carry their
// values; a round tick that would crowd an end label (closer than two ems of clear space) leaves
// its label out, its grid line stays.
inline std::vector<AxisLabel> xAxisLabels(Canvas& c, const Scale& xs, double from, double to,
                                          double size) {
  const std::vector<double> ticks = xs.ticks();
  auto endLabel = [&](double end) -> std::optional<AxisLabel> {
    for (double v : ticks)
      if (std::fabs(v - end) <= std::fabs(xs.step) * 1e-6) return std::nullopt;
    return AxisLabel{xs.map(end, from, to), endText(end, xs.step)};
  };
  const std::optional<AxisLabel> first = endLabel(xs.lo), last = endLabel(xs.hi);
  std::vector<AxisLabel> out;
  if (first) out.push_back(*first);
  for (double v : ticks) {
    AxisLabel label{xs.map(v, from, to), tickText(v, xs.step)};
    const double half = c.textWidth(label.text, size) / 2;
    auto crowds = [&](const std::optional<AxisLabel>& end) {
      return end &&
             std::fabs(end->at - label.at) < half + c.textWidth(end->text, size) / 2 + 2 * size;
    };
    if (!crowds(first) && !crowds(last)) out.push_back(std::move(label));
  }
  if (last) out.push_back(*last);
  return out;
}

inline void grid(Canvas& c, const Frame& f, const Scale& xs, const Scale& ys, bool xLabels) {
  for (double v : ys.ticks()) {
    const double y = ys.map(v, f.bottom, f.top);
    c.line(f.left, y, f.right, y, kGrid, 0.6, false);
    c.text(f.left - 5, y + 3.5, tickText(v, ys.log ? v : ys.step), 9, kInk, Canvas::Align::Right);
  }
  for (double v : xs.ticks()) {
    const double x = xs.map(v, f.left, f.right);
    c.line(x, f.top, x, f.bottom, kGrid, 0.6, false);
  }
  if (xLabels)
    for (const AxisLabel& label : xAxisLabels(c, xs, f.left, f.right, 9))
      c.text(label.at, f.bottom + 13, label.text, 9, kInk, Canvas::Align::Center);
}

inline void border(Canvas& c, const Frame& f) {
  c.line(f.left, f.top, f.right, f.top, kInk, 0.8, false);
  c.line(f.left, f.bottom, f.right, f.bottom, kInk, 0.8, false);
  c.line(f.left, f.top, f.left, f.bottom, kInk, 0.8, false);
  c.line(f.right, f.top, f.right, f.bottom, kInk, 0.8, false);
}

inline void plot(Canvas& c, const Frame& f, const Scale& xs, const Scale& ys, const Series& s,
                 Rgb color, bool dashed) {
  std::vector<std::pair<double, double>> points;
  for (const auto& [x, y] : s.points) {
    if (ys.log && !(y > 0)) continue;
    const double px = xs.map(x, f.left, f.right);
    const double py = ys.map(y, f.bottom, f.top);
    if (!std::isfinite(px) || !std::isfinite(py)) continue;
    points.emplace_back(std::clamp(px, f.left, f.right), std::clamp(py, f.top, f.bottom));
  }
  if (points.size() == 1) c.dot(points[0].first, points[0].second, 2.5, color);
  if (points.size() > 1) c.polyline(points, color, 1.6, dashed);
}

inline void range(const std::vector<Series>& list, double& lo, double& hi, bool xAxis) {
  for (const Series& s : list)
    for (const auto& [x, y] : s.points) {
      const double v = xAxis ? x : y;
      if (!std::isfinite(v)) continue;
      lo = std::min(lo, v);
      hi = std::max(hi, v);
    }
}

// Legend entry: a line sample (or a swatch) and its label; returns the x after it.
inline double legendItem(Canvas& c, double x, double y, const std::string& label, Rgb color,
                         bool dashed, bool swatch) {
  if (swatch) {
    c.fillRect(x, y - 8, 22, 10, color, 0.18);
  } else {
    c.line(x, y - 3, x + 22, y - 3, color, 1.6, dashed);
  }
  const std::string shown = c.elide(label, 9.5, 240);
  c.text(x + 27, y, shown, 9.5, kInk, Canvas::Align::Left);
  return x + 27 + c.textWidth(shown, 9.5) + 16;
}

// A chart's title, bold and centred over its width, cut to fit; returns where the chart goes on
// below it (`top` itself when there is no title).
inline double chartTitle(Canvas& c, const std::string& title, double x, double top, double w) {
  if (title.empty()) return top;
  c.text(x + w / 2, top + 14, c.elide(title, 12, w - 20), 12, kInk, Canvas::Align::Center, true);
  return top + 22;
}

class SvgCanvas : public Canvas {
 public:
  std::ostringstream out;

  static std::string color(Rgb c) {
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "#%02x%02x%02x", c.r, c.g, c.b);
    return buffer;
  }
  static std::string num(double v) {
    if (!std::isfinite(v)) v = 0;  // never "nan" in a document
    char buffer[400];
    std::snprintf(buffer, sizeof buffer, "%.2f", v);
    return buffer;
  }
  static std::string escaped(const std::string& text) {
    std::string out;
    for (char ch : text) {
      if (ch == '&')
        out += "&amp;";
      else if (ch == '<')
        out += "&lt;";
      else if (ch == '>')
        out += "&gt;";
      else
        out += ch;
    }
    return out;
  }
  void fillRect(double x, double y, double w, double h, Rgb c, double opacity) override {
    out << "<rect x=\"" << num(x) << "\" y=\"" << num(y) << "\" width=\"" << num(w)
        << "\" height=\"" << num(h) << "\" fill=\"" << color(c) << "\" fill-opacity=\""
        << num(opacity) << "\"/>\n";
  }
  void line(double x1, double y1, double x2, double y2, Rgb c, double width, bool dashed) override {
    out << "<line x1=\"" << num(x1) << "\" y1=\"" << num(y1) << "\" x2=\"" << num(x2) << "\" y2=\""
        << num(y2) << "\" stroke=\"" << color(c) << "\" stroke-width=\"" << num(width) << "\""
        << (dashed ? " stroke-dasharray=\"6 4\"" : "") << "/>\n";
  }
  void polyline(const std::vector<std::pair<double, double>>& points, Rgb c, double width,
                bool dashed) override {
    out << "<polyline fill=\"none\" stroke=\"" << color(c) << "\" stroke-width=\"" << num(width)
        << "\" stroke-linejoin=\"round\"" << (dashed ? " stroke-dasharray=\"6 4\"" : "")
        << " points=\"";
    for (const auto& [x, y] : points) out << num(x) << "," << num(y) << " ";
    out << "\"/>\n";
  }
  void dot(double x, double y, double radius, Rgb c) override {
    out << "<circle cx=\"" << num(x) << "\" cy=\"" << num(y) << "\" r=\"" << num(radius)
        << "\" fill=\"" << color(c) << "\"/>\n";
  }
  void text(double x, double y, const std::string& text, double size, Rgb c, Align align, bool bold,
            bool vertical) override {
    const char* anchor = align == Align::Left ? "start" : align == Align::Center ? "middle" : "end";
    out << "<text x=\"" << num(x) << "\" y=\"" << num(y) << "\" font-size=\"" << num(size)
        << "\" fill=\"" << color(c) << "\" text-anchor=\"" << anchor << "\""
        << (bold ? " font-weight=\"bold\"" : "");
    if (vertical) out << " transform=\"rotate(-90 " << num(x) << " " << num(y) << ")\"";
    out << ">" << escaped(text) << "</text>\n";
  }
};

// A whole SVG document of w × h points, white, in the Song face, with what `draw` puts on it.
inline std::string svgDocument(double w, double h, const std::function<void(Canvas&)>& draw) {
  SvgCanvas canvas;
  canvas.out << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
             << "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" << SvgCanvas::num(w)
             << "\" height=\"" << SvgCanvas::num(h) << "\" viewBox=\"0 0 " << SvgCanvas::num(w)
             << " " << SvgCanvas::num(h)
             << "\" font-family=\"'宋体', SimSun, 'Noto Serif CJK SC', serif\">\n"
             << "<rect width=\"100%\" height=\"100%\" fill=\"#ffffff\"/>\n";
  draw(canvas);
  canvas.out << "</svg>\n";
  return canvas.out.str();
}

}  // namespace aph::render::parts
