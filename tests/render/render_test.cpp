#include <gtest/gtest.h>

#include <QImage>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <limits>
#include <memory>
#include <set>

#include "command_output.hpp"
#include "reference.hpp"
#include "render/chart.hpp"
#include "render/curve_chart.hpp"
#include "render/qt_canvas.hpp"
#include "render/report.hpp"

namespace aph::render {
using namespace aph::study;
namespace {

namespace fs = std::filesystem;

Case designCase() {
  return parseCases(R"({"name": "测试", "arrangement": "counterflow", "flow_mode": "volume"})",
                    "design.json")
      .at(0);
}

fs::path scratch(const std::string& name) {
  const fs::path dir = fs::temp_directory_path() / "aph_batch_tests";
  fs::create_directories(dir);
  return dir / name;
}

ChartData sampleChart(bool twoParameters) {
  SweepPlan plan{designCase(), {parseVary("plate.pairs=50:300:10")}};
  if (twoParameters) plan.axes.push_back(parseVary("air.channel_gap=8,10,12"));
  return sweepChart(plan, runSweep(plan, nullptr));
}

TEST(Chart, SweepChartHoldsEveryCompletedDesign) {
  const ChartData one = sampleChart(false);
  ASSERT_EQ(one.margin.size(), 1u);
  EXPECT_EQ(one.margin[0].points.size(), 26u);
  EXPECT_EQ(one.dropAir[0].points.size(), 26u);
  EXPECT_EQ(one.design, 110.0);
  const ChartData two = sampleChart(true);
  ASSERT_EQ(two.margin.size(), 3u);
  EXPECT_EQ(two.margin[2].label, "air.channel_gap = 12");
  EXPECT_EQ(two.margin[2].points.size(), 26u);
}

TEST(Chart, SvgHasBothPanelsBandAndLimit) {
  const std::string svg = chartSvg(sampleChart(true));
  EXPECT_TRUE(svg.starts_with("<?xml")) << svg.substr(0, 40);
  EXPECT_NE(svg.rfind("</svg>"), std::string::npos);
  std::size_t polylines = 0;
  for (std::size_t at = svg.find("<polyline"); at != std::string::npos;
       at = svg.find("<polyline", at + 1))
    ++polylines;
  EXPECT_EQ(polylines, 9u);  // margin and both drops for each of three gaps
  EXPECT_NE(svg.find("500 Pa"), std::string::npos);
  EXPECT_NE(svg.find("裕量R(%)"), std::string::npos);
  EXPECT_NE(svg.find("fill-opacity"), std::string::npos);  // the 0–30 % band
}

TEST(Chart, PngIsDrawn) {
  const fs::path png = scratch("chart.png");
  fs::remove(png);
  ASSERT_EQ(writeChartPng(sampleChart(false), png.string()), "");
  QImage image(QString::fromStdString(png.string()));
  ASSERT_FALSE(image.isNull());
  EXPECT_EQ(image.width(), 1440);
  std::set<QRgb> colours;
  bool limitRed = false;
  for (int y = 0; y < image.height(); y += 3)
    for (int x = 0; x < image.width(); x += 3) {
      const QRgb p = image.pixel(x, y);
      colours.insert(p);
      limitRed |= qRed(p) > 200 && qGreen(p) < 40 && qBlue(p) < 40;
    }
  EXPECT_GT(colours.size(), 50u);  // lines, band, text: far from a blank page
  EXPECT_TRUE(limitRed);
}

// Records what the chart draws: every coordinate must be a number, and the count stays small.
class RecordingCanvas : public Canvas {
 public:
  std::size_t calls = 0;
  bool finite = true;
  std::vector<std::string> texts;
  std::vector<std::string> centred;  // horizontal and centred: titles and the x axis's labels
  void check(std::initializer_list<double> values) {
    ++calls;
    for (double v : values) finite = finite && std::isfinite(v);
  }
  void fillRect(double x, double y, double w, double h, Rgb, double) override {
    check({x, y, w, h});
  }
  void line(double x1, double y1, double x2, double y2, Rgb, double, bool) override {
    check({x1, y1, x2, y2});
  }
  void polyline(const std::vector<std::pair<double, double>>& points, Rgb, double, bool) override {
    for (const auto& [x, y] : points) check({x, y});
  }
  void dot(double x, double y, double r, Rgb) override { check({x, y, r}); }
  void text(double x, double y, const std::string& t, double, Rgb, Align align, bool,
            bool vertical) override {
    check({x, y});
    texts.push_back(t);
    if (align == Align::Center && !vertical) centred.push_back(t);
  }
};

TEST(Chart, ExtremeValuesDrawABoundedChart) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  struct Row {
    std::string what;
    std::vector<std::pair<double, double>> margin, drop;
  };
  for (const Row& r : {
           // Values past the resolution of a double: the tick step does not advance them.
           Row{"1e16",
               {{1e16, 5}, {10000000000000002.0, 6}},
               {{1e16, 400}, {10000000000000002.0, 600}}},
           Row{"huge", {{1, -1e308}, {2, 1e308}}, {{1, 1e-320}, {2, 1.7e308}}},
           Row{"not numbers", {{nan, 1}, {1, nan}, {2, 3}}, {{1, nan}, {2, 500}}},
           Row{"tiny span", {{1, 0.1}, {1 + 1e-15, 0.1 + 1e-15}}, {{1, 500}, {1 + 1e-15, 500}}},
           Row{"decades", {{1, 1}, {2, 2}}, {{1, 1e-300}, {2, 1e300}}},
       }) {
    SCOPED_TRACE(r.what);
    ChartData chart;
    chart.xLabel = std::string(5000, 'x');  // a long label, cut to the width
    chart.title = "t";
    chart.margin = {{"", r.margin}};
    chart.dropFlueGas = {{"", r.drop}};
    chart.dropAir = {{"", r.drop}};
    chart.design = r.margin.back().first;
    RecordingCanvas canvas;
    drawChart(canvas, chart, 0, 0, 720, 540);
    EXPECT_TRUE(canvas.finite);
    EXPECT_LT(canvas.calls, 400u);
    for (const std::string& t : canvas.texts) EXPECT_LE(t.size(), 400u);
    const std::string svg = chartSvg(chart);
    EXPECT_EQ(svg.find("nan"), std::string::npos);
    EXPECT_EQ(svg.find("inf"), std::string::npos);
    EXPECT_LT(svg.size(), 100'000u);
  }
}

// The x axis runs over exactly the values drawn: both ends carry their values, as precise as they
// are, and a round tick too close to an end leaves its label out.
TEST(Chart, XAxisLabelsBothEnds) {
  struct Row {
    bool performance;
    double from, to;
    std::vector<std::string> labels;
  };
  for (const Row& r : {
           Row{false, 30, 200, {"30", "50", "100", "150", "200"}},
           Row{true, 50, 150, {"50", "60", "80", "100", "120", "140", "150"}},
           Row{false, 58, 162, {"58", "80", "100", "120", "140", "162"}},
           Row{true,
               0.0065,
               0.0125,
               {"0.0065", "0.007", "0.008", "0.009", "0.010", "0.011", "0.012", "0.0125"}},
       }) {
    SCOPED_TRACE(r.from);
    const std::vector<std::pair<double, double>> points{{r.from, 40}, {r.to, 60}};
    RecordingCanvas canvas;
    if (r.performance) {
      PerformanceChart chart;
      chart.curves = {{CurveRole::AirOutlet, "", points}};
      drawPerformanceChart(canvas, chart, 0, 0, 720, 480);
    } else {
      ChartData chart;
      chart.margin = chart.dropFlueGas = chart.dropAir = {{"", points}};
      drawChart(canvas, chart, 0, 0, 720, 540);
    }
    std::vector<std::string> labels;
    for (const std::string& t : canvas.centred)
      if (!t.empty() && (std::isdigit(static_cast<unsigned char>(t[0])) || t[0] == '-'))
        labels.push_back(t);
    EXPECT_EQ(labels, r.labels);
  }
}

TEST(Chart, ElidedTextsFitTheirWidth) {
  RecordingCanvas canvas;  // the estimate: Latin about half an em, CJK a full one
  EXPECT_EQ(canvas.elide("short", 10, 100), "short");
  const std::string cut = canvas.elide(std::string(1'000'000, '9'), 10, 100);
  EXPECT_TRUE(cut.ends_with("…"));
  EXPECT_LE(canvas.textWidth(cut, 10), 100);
  const std::string chinese = canvas.elide("裕量与压降随板对数的变化", 10, 45);
  EXPECT_TRUE(chinese.ends_with("…"));
  EXPECT_LE(canvas.textWidth(chinese, 10), 45);
  EXPECT_EQ(canvas.elide("裕量", 10, 1), "…");
}

TEST(Report, FailedWritesAreTold) {
  EXPECT_NE(writeReport(designCase(), "/dev/full").find("No space left on device"),
            std::string::npos);
  EXPECT_NE(writeChartPng(sampleChart(false), "/dev/full").find("No space left on device"),
            std::string::npos);
  EXPECT_NE(writeReport(designCase(), "/nonexistent/dir/x.pdf").find("No such file"),
            std::string::npos);
}

// A run that stops on a huge flow shows 300-digit values; on the datasheet they are cut short of
// their captions.
TEST(Report, LongValuesAreCutBesideTheirCaptions) {
  const Case c = parseCases(R"({"arrangement": "counterflow", "flow_mode": "volume",
                                "flue_gas": {"volume_flow": 1e308}})",
                            "huge.json")
                     .at(0);
  const fs::path pdf = scratch("huge.pdf");
  ASSERT_EQ(writeReport(c, pdf.string()), "");
  const std::string text = commandOutput("pdftotext -layout '" + pdf.string() + "' - 2>/dev/null");
  if (text.empty()) GTEST_SKIP() << "poppler-utils not installed";
  EXPECT_NE(text.find("…"), std::string::npos);
  EXPECT_EQ(text.find(std::string(60, '0')), std::string::npos) << "a value runs on";
  // A run that stops has no field to draw: no page of it.
  EXPECT_NE(commandOutput("pdfinfo '" + pdf.string() + "' 2>/dev/null").find("Pages:           1"),
            std::string::npos);
}

// The first page holds the rating, its verdicts and the plate-count chart, the second the heat
// map of the plate.
TEST(Report, DatasheetWithVerdictChartAndHeatMap) {
  const fs::path pdf = scratch("report.pdf");
  fs::remove(pdf);
  ASSERT_EQ(writeReport(designCase(), pdf.string()), "");
  std::ifstream in(pdf, std::ios::binary);
  std::string head(5, '\0');
  in.read(head.data(), 5);
  EXPECT_EQ(head, "%PDF-");
  EXPECT_GT(fs::file_size(pdf), 20'000u);
  const std::string info = commandOutput("pdfinfo '" + pdf.string() + "' 2>/dev/null");
  if (info.empty()) GTEST_SKIP() << "poppler-utils not installed";
  EXPECT_NE(info.find("Pages:           2"), std::string::npos) << info;
  const std::string text =
      commandOutput("pdftotext -l 1 -layout '" + pdf.string() + "' - 2>/dev/null");
  EXPECT_NE(commandOutput("pdftotext -f 2 -layout '" + pdf.string() + "' - 2>/dev/null")
                .find("壁温分布：测试"),
            std::string::npos);
  // (Text extraction maps a few shared CJK glyphs to radicals, so only unambiguous words here.)
  // The margin and the flue-gas pressure drop of the default window, worked out independently.
  // Digits among Latin letters are text too ("V1(m3/h)", "Q1 … kW").
  const auto worked = reference::rate({});
  for (const std::string& expected :
       {std::string("数据表"), std::string("裕量判定"), worked.at("Text49").text,
        worked.at("Text45").text, std::string("压降判定"), std::string("逆流"),
        std::string("板对数"), std::string("设计值"), std::string("V1(m3/h)"),
        "Q1 " + worked.at("Text60").text + " kW，Q2 " + worked.at("Text24").text + " kW"})
    EXPECT_NE(text.find(expected), std::string::npos) << expected;
  const std::string fonts = commandOutput("pdffonts '" + pdf.string() + "' 2>/dev/null");
  EXPECT_NE(fonts.find("CJK"), std::string::npos) << fonts;
}

// The design checks' verdicts: a line each, with what the dew point rests on.
TEST(Report, DewPointAndHeatBalanceVerdicts) {
  const Case c = parseCases(R"({"name": "露点", "arrangement": "counterflow", "flow_mode": "volume",
                                "flue_gas": {"h2o": 12, "so3": 3.2, "pressure": 103.81}})",
                            "dew.json")
                     .at(0);
  const fs::path pdf = scratch("dew.pdf");
  CheckSettings checks;
  checks.dewPointMargin = 5;
  ASSERT_EQ(writeReport(c, pdf.string(), false, checks), "");
  const std::string text = commandOutput("pdftotext -layout '" + pdf.string() + "' - 2>/dev/null");
  if (text.empty()) GTEST_SKIP() << "poppler-utils not installed";
  for (const char* expected : {"露点判定", "128.73", "热平衡判定", "Banchero", "不合格",
                               "H2O 12 %，SO3 3.2 ppm", "(Q1-Q2)/Q2 = "})
    EXPECT_NE(text.find(expected), std::string::npos) << expected << "\n" << text;
  // Without a dew point the check is told as not made.
  ASSERT_EQ(writeReport(designCase(), pdf.string()), "");
  EXPECT_NE(commandOutput("pdftotext -layout '" + pdf.string() + "' - 2>/dev/null").find("未校核"),
            std::string::npos);
}

}  // namespace
}  // namespace aph::render
