#include <gtest/gtest.h>

#include <QImage>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <set>

#include "reference.hpp"
#include "render/chart.hpp"
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

// What a command prints, or empty when it cannot run.
std::string output(const std::string& command) {
  std::string text;
  std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen(command.c_str(), "r"), pclose);
  if (!pipe) return text;
  char buffer[4096];
  while (std::size_t n = std::fread(buffer, 1, sizeof buffer, pipe.get())) text.append(buffer, n);
  return text;
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

TEST(Report, OnePageDatasheetWithVerdictAndChart) {
  const fs::path pdf = scratch("report.pdf");
  fs::remove(pdf);
  ASSERT_EQ(writeReport(designCase(), pdf.string()), "");
  std::ifstream in(pdf, std::ios::binary);
  std::string head(5, '\0');
  in.read(head.data(), 5);
  EXPECT_EQ(head, "%PDF-");
  EXPECT_GT(fs::file_size(pdf), 20'000u);
  const std::string info = output("pdfinfo '" + pdf.string() + "' 2>/dev/null");
  if (info.empty()) GTEST_SKIP() << "poppler-utils not installed";
  EXPECT_NE(info.find("Pages:           1"), std::string::npos) << info;
  const std::string text = output("pdftotext -layout '" + pdf.string() + "' - 2>/dev/null");
  // (Text extraction maps a few shared CJK glyphs to radicals, so only unambiguous words here.)
  // The margin and the flue-gas pressure drop of the default window, worked out independently.
  const auto worked = reference::rate({});
  for (const std::string& expected :
       {std::string("数据表"), std::string("裕量判定"), worked.at("Text49").text,
        worked.at("Text45").text, std::string("压降判定"), std::string("逆流"),
        std::string("板对数"), std::string("设计值")})
    EXPECT_NE(text.find(expected), std::string::npos) << expected;
  const std::string fonts = output("pdffonts '" + pdf.string() + "' 2>/dev/null");
  EXPECT_NE(fonts.find("CJK"), std::string::npos) << fonts;
}

}  // namespace
}  // namespace aph::render
