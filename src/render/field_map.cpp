#include "render/field_map.hpp"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <unordered_map>
#include <vector>

#include "render/chart_parts.hpp"
#include "render/qt_canvas.hpp"

namespace aph::render {
namespace {

using namespace parts;
using study::FieldReport;
using study::FieldValues;

constexpr double kPanelWidth = 330, kPanelHeight = 270;  // the plate of one section, points
constexpr double kLeft = 70, kTop = 70, kGap = 70, kBarWidth = 90, kBottom = 74;
// Between rows of sections: the caption of the row above, the flue-gas arrow of the row below.
constexpr double kRowGap = 100;
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

// The level `t` over one section's flue-gas face (marching squares, each cell split along its
// diagonal into two triangles over which the wall is linear), joined into polylines: a crossing
// lies on an edge of the grid, which at most two triangles share, so the segments meeting there
// are the two neighbours of one line. Drawn as lines, not as separate segments, a dash pattern
// runs on along the isotherm however fine the grid.
std::vector<std::vector<std::pair<double, double>>> isothermLines(const FieldReport& f, int s,
                                                                  double t) {
  struct Crossing {
    double x = 0, y = 0;
    std::array<int, 2> segments{-1, -1};
  };
  std::vector<Crossing> crossings;
  std::vector<std::array<int, 2>> segments;  // the two crossings of each
  std::unordered_map<std::uint64_t, int> onEdge;
  const std::uint64_t nodes =
      static_cast<std::uint64_t>(f.nx + 1) * static_cast<std::uint64_t>(f.ny + 1);
  const auto index = [&](int i, int j) {
    return static_cast<std::uint64_t>(j) * static_cast<std::uint64_t>(f.nx + 1) +
           static_cast<std::uint64_t>(i);
  };
  // The crossing on the edge between nodes a and b, made once for both triangles beside it.
  const auto crossing = [&](std::uint64_t ka, std::uint64_t kb, const FieldValues& a,
                            const FieldValues& b) {
    const std::uint64_t key = std::min(ka, kb) * nodes + std::max(ka, kb);
    const auto [at, fresh] = onEdge.try_emplace(key, static_cast<int>(crossings.size()));
    if (fresh) {
      const double share = (t - a.flueGasFace) / (b.flueGasFace - a.flueGasFace);
      crossings.push_back({a.x + share * (b.x - a.x), a.y + share * (b.y - a.y), {-1, -1}});
    }
    return at->second;
  };
  for (int j = 0; j < f.ny; ++j) {
    for (int i = 0; i < f.nx; ++i) {
      const std::array<std::uint64_t, 4> k{index(i, j), index(i + 1, j), index(i, j + 1),
                                           index(i + 1, j + 1)};
      const std::array<const FieldValues*, 4> v{&f.node(s, i, j), &f.node(s, i + 1, j),
                                                &f.node(s, i, j + 1), &f.node(s, i + 1, j + 1)};
      for (const auto& tri : {std::array{0, 1, 3}, std::array{0, 3, 2}}) {
        std::array<int, 2> ends{-1, -1};
        int found = 0;
        for (int e = 0; e < 3; ++e) {
          const int a = tri[static_cast<std::size_t>(e)],
                    b = tri[static_cast<std::size_t>((e + 1) % 3)];
          const auto ua = static_cast<std::size_t>(a), ub = static_cast<std::size_t>(b);
          if ((v[ua]->flueGasFace < t) == (v[ub]->flueGasFace < t)) continue;
          if (found < 2)
            ends[static_cast<std::size_t>(found)] = crossing(k[ua], k[ub], *v[ua], *v[ub]);
          ++found;
        }
        if (found != 2) continue;
        const int id = static_cast<int>(segments.size());
        segments.push_back(ends);
        for (const int c : ends) {
          auto& slots = crossings[static_cast<std::size_t>(c)].segments;
          slots[slots[0] < 0 ? 0 : 1] = id;
        }
      }
    }
  }
  // Open lines first, from their ends (a crossing of one segment, on the section's border), then
  // the closed ones that are left.
  std::vector<bool> drawn(segments.size(), false);
  std::vector<std::vector<std::pair<double, double>>> lines;
  const auto follow = [&](int from, int segment) {
    std::vector<std::pair<double, double>> line;
    int at = from;
    line.emplace_back(crossings[static_cast<std::size_t>(at)].x,
                      crossings[static_cast<std::size_t>(at)].y);
    while (segment >= 0 && !drawn[static_cast<std::size_t>(segment)]) {
      drawn[static_cast<std::size_t>(segment)] = true;
      const auto& ends = segments[static_cast<std::size_t>(segment)];
      at = ends[0] == at ? ends[1] : ends[0];
      const Crossing& c = crossings[static_cast<std::size_t>(at)];
      line.emplace_back(c.x, c.y);
      segment = c.segments[0] == segment ? c.segments[1] : c.segments[0];
    }
    lines.push_back(std::move(line));
  };
  for (std::size_t c = 0; c < crossings.size(); ++c) {
    const auto& slots = crossings[c].segments;
    if (slots[1] < 0 && slots[0] >= 0 && !drawn[static_cast<std::size_t>(slots[0])])
      follow(static_cast<int>(c), slots[0]);
  }
  for (std::size_t k = 0; k < segments.size(); ++k)
    if (!drawn[k]) follow(segments[k][0], static_cast<int>(k));
  return lines;
}

void isotherm(Canvas& c, const FieldReport& f, int s, const Plate& p, double t, Rgb color,
              double width, bool dashed) {
  for (const auto& line : isothermLines(f, s, t)) {
    std::vector<std::pair<double, double>> points;
    points.reserve(line.size());
    for (const auto& [x, y] : line) points.emplace_back(p.px(x), p.py(y));
    c.polyline(points, color, width, dashed);
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

namespace {

struct Layout {
  int columns = 1, rows = 1;
};

Layout layoutOf(const FieldReport& f, int perRow) {
  const int sections = std::max(1, static_cast<int>(f.sections.size()));
  const int columns = perRow > 0 ? std::min(perRow, sections) : sections;
  return {columns, (sections + columns - 1) / columns};
}

}  // namespace

std::pair<double, double> fieldMapSize(const FieldReport& f, int perRow) {
  const Layout l = layoutOf(f, perRow);
  return {kLeft + l.columns * kPanelWidth + (l.columns - 1) * kGap + kBarWidth + 20,
          kTop + l.rows * kPanelHeight + (l.rows - 1) * kRowGap + kBottom + 30};
}

void drawFieldMap(Canvas& c, const FieldReport& f, const std::string& title, double x, double y,
                  double w, double h, int perRow) {
  (void)h;
  const Layout layout = layoutOf(f, perRow);
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
    const int column = s % layout.columns, row = s / layout.columns;
    const Plate p{x + kLeft + column * (kPanelWidth + kGap),
                  y + kTop + row * (kPanelHeight + kRowGap), kPanelWidth, kPanelHeight};
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
  const double bx = x + kLeft + layout.columns * (kPanelWidth + kGap) - kGap + 30;
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
  const double below = y + kTop + layout.rows * kPanelHeight + (layout.rows - 1) * kRowGap +
                       (sections > 1 ? 70 : 50);
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
