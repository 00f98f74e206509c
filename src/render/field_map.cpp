#include "render/field_map.hpp"

#include <algorithm>
#include <cmath>

#include "render/chart_parts.hpp"
#include "render/qt_canvas.hpp"

namespace aph::render {
namespace {

using namespace parts;
using study::FieldReport;
using study::FieldValues;

constexpr double kPanelWidth = 330, kPanelHeight = 270;  // the plate of one section, points
constexpr double kLeft = 70, kTop = 70, kGap = 70, kBarWidth = 90, kBottom = 74;
constexpr Rgb kHatch{40, 40, 40};
constexpr Rgb kIsotherm{255, 255, 255};

// Blue (cold) through cyan, green and yellow to red (hot).
Rgb heatColor(double share) {
  share = std::clamp(share, 0.0, 1.0);
  constexpr Rgb stops[] = {
      {40, 60, 190}, {30, 170, 220}, {60, 180, 80}, {240, 220, 50}, {215, 40, 30}};
  const double at = share * 4;
  const int k = std::min(3, static_cast<int>(at));
  const double t = at - k;
  const auto mix = [t](std::uint8_t a, std::uint8_t b) {
    return static_cast<std::uint8_t>(std::lround(a + (b - a) * t));
  };
  return {mix(stops[k].r, stops[k + 1].r), mix(stops[k].g, stops[k + 1].g),
          mix(stops[k].b, stops[k + 1].b)};
}

struct Plate {
  double left, top, width, height;
  // The plate's x runs right with the flue gas, y upwards with the air.
  double px(double x) const { return left + x * width; }
  double py(double y) const { return top + (1 - y) * height; }
};

// The segments of the level `t` over one section's flue-gas face (marching squares, each cell
// split along its diagonal into two triangles over which the wall is linear).
void isotherm(Canvas& c, const FieldReport& f, int s, const Plate& p, double t, Rgb color,
              double width, bool dashed) {
  const auto crossing = [t](const FieldValues& a, const FieldValues& b,
                            std::vector<std::pair<double, double>>& out) {
    const double va = a.flueGasFace, vb = b.flueGasFace;
    if ((va < t) == (vb < t)) return;
    const double share = (t - va) / (vb - va);
    out.emplace_back(a.x + share * (b.x - a.x), a.y + share * (b.y - a.y));
  };
  for (int j = 0; j < f.ny; ++j) {
    for (int i = 0; i < f.nx; ++i) {
      const FieldValues& a = f.node(s, i, j);
      const FieldValues& b = f.node(s, i + 1, j);
      const FieldValues& d = f.node(s, i, j + 1);
      const FieldValues& e = f.node(s, i + 1, j + 1);
      for (const auto& tri : {std::array{&a, &b, &e}, std::array{&a, &e, &d}}) {
        std::vector<std::pair<double, double>> points;
        crossing(*tri[0], *tri[1], points);
        crossing(*tri[1], *tri[2], points);
        crossing(*tri[2], *tri[0], points);
        if (points.size() == 2)
          c.line(p.px(points[0].first), p.py(points[0].second), p.px(points[1].first),
                 p.py(points[1].second), color, width, dashed);
      }
    }
  }
}

void arrow(Canvas& c, double x1, double y1, double x2, double y2, Rgb color) {
  c.line(x1, y1, x2, y2, color, 1.6, false);
  const double angle = std::atan2(y2 - y1, x2 - x1);
  for (double side : {-1.0, 1.0}) {
    const double a = angle + side * 2.7;
    c.line(x2, y2, x2 + 8 * std::cos(a), y2 + 8 * std::sin(a), color, 1.6, false);
  }
}

std::string degrees(double v) {
  return study::fixedText(v, 1) + " ℃";
}

// The mean of a stream entering a section: the flue gas along x = 0, the air along y = 0 (in
// counterflow along x = 1).
double enteringFlueGas(const FieldReport& f, int s) {
  double sum = 0;
  for (int j = 0; j <= f.ny; ++j) sum += f.node(s, 0, j).flueGas;
  return sum / (f.ny + 1);
}
double enteringAir(const FieldReport& f, int s, bool counterflow) {
  double sum = 0;
  if (counterflow) {
    for (int j = 0; j <= f.ny; ++j) sum += f.node(s, f.nx, j).air;
    return sum / (f.ny + 1);
  }
  for (int i = 0; i <= f.nx; ++i) sum += f.node(s, i, 0).air;
  return sum / (f.nx + 1);
}

void marker(Canvas& c, const Plate& p, const study::FieldExtremePoint& e, const std::string& what) {
  const double x = p.px(e.x), y = p.py(e.y);
  c.dot(x, y, 4.5, kInk);
  c.dot(x, y, 2.5, {255, 255, 255});
  const bool right = e.x < 0.5;
  const double ty = std::clamp(y + (e.y < 0.5 ? -8 : 16), p.top + 12, p.top + p.height - 4);
  c.text(x + (right ? 8 : -8), ty,
         what + (e.airFace ? "（空气侧）" : "（烟气侧）") + " " + degrees(e.temperature), 10, kInk,
         right ? Canvas::Align::Left : Canvas::Align::Right, true);
}

}  // namespace

std::pair<double, double> fieldMapSize(const FieldReport& f) {
  const double n = static_cast<double>(std::max<std::size_t>(1, f.sections.size()));
  return {kLeft + n * kPanelWidth + (n - 1) * kGap + kBarWidth + 20,
          kTop + kPanelHeight + kBottom + 30};
}

void drawFieldMap(Canvas& c, const FieldReport& f, const std::string& title, double x, double y,
                  double w, double h) {
  (void)h;
  chartTitle(c, title, x, y, w);
  const bool counterflow = f.arrangement == "counterflow";
  double lo = f.nodes.empty() ? 0 : f.nodes.front().flueGasFace, hi = lo;
  for (const FieldValues& v : f.nodes) {
    lo = std::min(lo, v.flueGasFace);
    hi = std::max(hi, v.flueGasFace);
  }
  const Scale scale = niceScale(lo, hi, 6);
  const auto share = [&](double t) { return (t - scale.lo) / (scale.hi - scale.lo); };
  const int sections = static_cast<int>(f.sections.size());
  const std::size_t perSection = static_cast<std::size_t>(f.nx) * static_cast<std::size_t>(f.ny);
  for (int s = 0; s < sections; ++s) {
    const Plate p{x + kLeft + s * (kPanelWidth + kGap), y + kTop, kPanelWidth, kPanelHeight};
    const double cw = p.width / f.nx, ch = p.height / f.ny;
    for (int j = 0; j < f.ny; ++j) {
      for (int i = 0; i < f.nx; ++i) {
        const FieldValues& cell = f.cells[static_cast<std::size_t>(s) * perSection +
                                          static_cast<std::size_t>(j * f.nx + i)];
        const double cx = p.left + i * cw, cy = p.top + (f.ny - 1 - j) * ch;
        // A hair wider than the cell, so that no seam shows between the cells.
        c.fillRect(cx, cy, cw + 0.3, ch + 0.3, heatColor(share(cell.flueGasFace)), 1);
        if (f.acidDewPoint && cell.flueGasFace < *f.acidDewPoint)
          c.line(cx, cy + ch, cx + cw, cy, kHatch, 0.6, false);
      }
    }
    for (double t = scale.lo + scale.step; t < scale.hi - scale.step * 1e-9; t += scale.step)
      isotherm(c, f, s, p, t, kIsotherm, 0.8, false);
    if (f.acidDewPoint) isotherm(c, f, s, p, *f.acidDewPoint, kLimit, 2, true);
    border(c, Frame{p.left, p.top, p.left + p.width, p.top + p.height});
    // The flows: the flue gas along x, above the plate; the air along y, left of it (in
    // counterflow below the plate, against the flue gas).
    arrow(c, p.left + 10, p.top - 18, p.left + p.width - 10, p.top - 18, kFlueGasColor);
    c.text(p.left + 10, p.top - 26, "烟气 " + degrees(enteringFlueGas(f, s)), 10, kFlueGasColor,
           Canvas::Align::Left, true);
    if (counterflow) {
      arrow(c, p.left + p.width - 10, p.top + p.height + 18, p.left + 10, p.top + p.height + 18,
            kAirColor);
      c.text(p.left + p.width - 10, p.top + p.height + 34,
             "空气 " + degrees(enteringAir(f, s, true)), 10, kAirColor, Canvas::Align::Right, true);
    } else {
      arrow(c, p.left - 18, p.top + p.height - 10, p.left - 18, p.top + 10, kAirColor);
      c.text(p.left - 26, p.top + p.height - 10, "空气 " + degrees(enteringAir(f, s, false)), 10,
             kAirColor, Canvas::Align::Left, true, true);
    }
    if (sections > 1)
      c.text(p.left + p.width / 2, p.top + p.height + 50,
             "第 " + std::to_string(s + 1) + " 段：烟气第 " +
                 std::to_string(f.sections[static_cast<std::size_t>(s)].flueGasPass + 1) +
                 " 程 × 空气第 " +
                 std::to_string(f.sections[static_cast<std::size_t>(s)].airPass + 1) + " 程",
             10, kInk, Canvas::Align::Center);
    if (f.wallMin.section == s) marker(c, p, f.wallMin, "最低");
    if (f.wallMax.section == s) marker(c, p, f.wallMax, "最高");
  }
  // The colour bar.
  const double bx = x + kLeft + sections * (kPanelWidth + kGap) - kGap + 30;
  const double top = y + kTop, height = kPanelHeight;
  constexpr int kSteps = 100;
  for (int k = 0; k < kSteps; ++k)
    c.fillRect(bx, top + height * (1 - (k + 1.0) / kSteps), 16, height / kSteps + 0.3,
               heatColor((k + 0.5) / kSteps), 1);
  border(c, Frame{bx, top, bx + 16, top + height});
  for (double t : scale.ticks()) {
    const double ty = top + height * (1 - share(t));
    c.line(bx + 16, ty, bx + 20, ty, kInk, 0.8, false);
    c.text(bx + 23, ty + 3.5, tickText(t, scale.step), 9, kInk, Canvas::Align::Left);
  }
  if (f.acidDewPoint && *f.acidDewPoint >= scale.lo && *f.acidDewPoint <= scale.hi) {
    const double ty = top + height * (1 - share(*f.acidDewPoint));
    c.line(bx - 4, ty, bx + 20, ty, kLimit, 2, true);
  }
  c.text(bx + 8, top - 10, "℃", 10, kInk, Canvas::Align::Center);
  // What is drawn, below the plates: two lines, so that neither is cut.
  const double below = y + kTop + kPanelHeight + (sections > 1 ? 70 : 50);
  c.text(x + kLeft, below, "烟气侧板面壁温；白线为等温线", 10, kInk, Canvas::Align::Left);
  if (f.acidDewPoint)
    c.text(x + kLeft, below + 14,
           c.elide("红色虚线为酸露点 " + degrees(*f.acidDewPoint) + " 等温线，斜线处低于酸露点（" +
                       study::fixedText(f.areaBelowAcidDewPoint.value_or(0), 1) + " m2）",
                   10, w - kLeft - 10),
           10, kInk, Canvas::Align::Left);
}

std::string fieldMapSvg(const FieldReport& field, const std::string& title) {
  const auto size = fieldMapSize(field);
  const double w = size.first, h = size.second;
  return svgDocument(w, h, [&](Canvas& c) { drawFieldMap(c, field, title, 0, 0, w, h); });
}

std::optional<std::string> fieldMapPng(const FieldReport& field, const std::string& title,
                                       double scale) {
  const auto size = fieldMapSize(field);
  const double w = size.first, h = size.second;
  return pngImage(w, h, scale, [&](Canvas& c) { drawFieldMap(c, field, title, 0, 0, w, h); });
}

}  // namespace aph::render
