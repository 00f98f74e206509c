#include "render/chart.hpp"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <sstream>

#include "model/text.hpp"
#include "render/chart_parts.hpp"

namespace aph::render {
using namespace parts;

double Canvas::textWidth(const std::string& text, double size) {
  double em = 0;
  for (unsigned char ch : text) em += ch >= 0xE0 ? 1 : ch >= 0xC0 ? 0.6 : ch < 0x80 ? 0.55 : 0;
  return em * size;
}

std::string Canvas::elide(const std::string& text, double size, double width) {
  // No glyph is narrower than a fifth of an em: more characters than that cannot fit.
  const auto most = static_cast<std::size_t>(std::max(0.0, width / size * 5)) + 1;
  std::vector<std::size_t> starts;  // where each character begins
  for (std::size_t k = 0; k < text.size() && starts.size() <= most; ++k)
    if ((static_cast<unsigned char>(text[k]) & 0xC0) != 0x80) starts.push_back(k);
  if (starts.size() <= most && textWidth(text, size) <= width) return text;
  std::size_t keep = starts.size();
  while (keep > 0) {
    --keep;
    std::string cut = text.substr(0, starts[keep]) + "…";
    if (textWidth(cut, size) <= width) return cut;
  }
  return "…";
}

void drawChart(Canvas& c, const ChartData& chart, double x, double y, double w, double h) {
  const bool series = chart.margin.size() > 1;
  double top = chartTitle(c, chart.title, x, y, w);
  // Legend rows.
  double lx = x + 58;
  const double ly = top + 11;
  if (series) {
    lx = legendItem(c, lx, ly, "烟气侧压降", kInk, false, false);
    lx = legendItem(c, lx, ly, "空气侧压降", kInk, true, false);
  } else {
    lx = legendItem(c, lx, ly, "裕量R", kMarginColor, false, false);
    lx = legendItem(c, lx, ly, "烟气侧压降", kFlueGasColor, false, false);
    lx = legendItem(c, lx, ly, "空气侧压降", kAirColor, true, false);
  }
  lx = legendItem(c, lx, ly, "裕量区间", kBand, false, true);
  legendItem(c, lx, ly, "压降限值", kLimit, true, false);
  top += 18;
  if (series) {
    double sx = x + 58;
    double sy = top + 11;
    for (std::size_t s = 0; s < chart.margin.size() && s < std::size(kPalette); ++s) {
      if (sx > x + w - 150) {
        sx = x + 58;
        sy += 14;
        top += 14;
      }
      sx = legendItem(c, sx, sy, chart.margin[s].label, kPalette[s], false, false);
    }
    top += 18;
  }

  const double left = x + 58, right = x + w - 14;
  const double bottom = y + h - 34;
  const double gap = 16;
  const double panel = (bottom - top - gap) / 2;
  const Frame upper{left, top, right, top + panel};
  const Frame lower{left, top + panel + gap, right, bottom};

  double xlo = INFINITY, xhi = -INFINITY;
  range(chart.margin, xlo, xhi, true);
  range(chart.dropFlueGas, xlo, xhi, true);
  range(chart.dropAir, xlo, xhi, true);
  if (!std::isfinite(xlo)) {
    xlo = chart.design.value_or(0);
    xhi = xlo;
  }
  const Scale xs = niceScale(xlo, xhi, 8, true);

  double mlo = chart.bandLow, mhi = chart.bandHigh;
  range(chart.margin, mlo, mhi, false);
  const Scale ms = niceScale(mlo, mhi);
  // Pressure drops fall steeply as the pack grows: over more than a decade a logarithmic axis
  // keeps the limit line and the low drops readable.
  double dlo = chart.dropLimit, dhi = chart.dropLimit;
  range(chart.dropFlueGas, dlo, dhi, false);
  range(chart.dropAir, dlo, dhi, false);
  const Scale ds = dlo > 0 && dhi / dlo > 20 ? logScale(std::min(dlo, chart.dropLimit * 0.8), dhi)
                                             : niceScale(std::min(0.0, dlo), dhi);

  // Upper panel: margin with its band.
  const double bandTop = ms.map(chart.bandHigh, upper.bottom, upper.top);
  const double bandBottom = ms.map(chart.bandLow, upper.bottom, upper.top);
  c.fillRect(upper.left, bandTop, upper.right - upper.left, bandBottom - bandTop, kBand, 0.13);
  grid(c, upper, xs, ms, false);
  c.line(upper.left, bandTop, upper.right, bandTop, kBand, 1, true);
  c.line(upper.left, bandBottom, upper.right, bandBottom, kBand, 1, true);
  for (std::size_t s = 0; s < chart.margin.size(); ++s)
    plot(c, upper, xs, ms, chart.margin[s],
         series ? kPalette[s % std::size(kPalette)] : kMarginColor, false);
  border(c, upper);
  c.text(x + 14, (upper.top + upper.bottom) / 2, "裕量R(%)", 10, kInk, Canvas::Align::Center, false,
         true);

  // Lower panel: both pressure drops with the limit.
  grid(c, lower, xs, ds, true);
  const double limitY = ds.map(chart.dropLimit, lower.bottom, lower.top);
  c.line(lower.left, limitY, lower.right, limitY, kLimit, 1.2, true);
  c.text(lower.left + 4, limitY - 4, tickText(chart.dropLimit, 1) + " Pa", 9, kLimit,
         Canvas::Align::Left);
  for (std::size_t s = 0; s < chart.dropFlueGas.size(); ++s) {
    const Rgb flue = series ? kPalette[s % std::size(kPalette)] : kFlueGasColor;
    const Rgb air = series ? kPalette[s % std::size(kPalette)] : kAirColor;
    plot(c, lower, xs, ds, chart.dropFlueGas[s], flue, false);
    plot(c, lower, xs, ds, chart.dropAir[s], air, true);
  }
  border(c, lower);
  c.text(x + 14, (lower.top + lower.bottom) / 2, "压降△P(Pa)", 10, kInk, Canvas::Align::Center,
         false, true);

  if (chart.design && *chart.design >= xs.lo && *chart.design <= xs.hi) {
    const double dx = xs.map(*chart.design, left, right);
    for (const Frame* f : {&upper, &lower}) c.line(dx, f->top, dx, f->bottom, kInk, 1, true);
    c.text(dx + 3, upper.top + 11, "设计值", 9, kInk, Canvas::Align::Left);
  }
  c.text((left + right) / 2, y + h - 6, c.elide(chart.xLabel, 10, right - left), 10, kInk,
         Canvas::Align::Center);
}

std::string chartSvg(const ChartData& chart, double w, double h) {
  return svgDocument(w, h, [&](Canvas& canvas) { drawChart(canvas, chart, 0, 0, w, h); });
}

}  // namespace aph::render
