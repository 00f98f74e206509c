#include "render/report.hpp"

#include <QBuffer>
#include <QByteArray>
#include <QDate>
#include <QFileInfo>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <cmath>

#include "render/field_map.hpp"
#include "render/qt_canvas.hpp"
#include "study/checks/design_checks.hpp"
#include "study/checks/plate_field_run.hpp"
#include "study/io/files.hpp"
#include "study/outputs/number_text.hpp"
#include "study/outputs/results.hpp"

namespace aph::render {

using namespace aph::study;

namespace {

constexpr Rgb kInk{20, 20, 20};
constexpr Rgb kRed{255, 0, 0};
constexpr Rgb kMuted{110, 110, 110};
constexpr Rgb kRule{150, 150, 150};
constexpr Rgb kShade{235, 240, 247};

constexpr double kPageWidth = 595.28, kPageHeight = 841.89;  // A4 in points
constexpr double kMargin = 34;

// Where a field's value came from, for the side tables.
enum class Source { Input, Computed, Table, StandardTable };

const char* sourceText(Source s) {
  switch (s) {
    case Source::Input:
      return "输入";
    case Source::Table:
      return "物性表";
    case Source::StandardTable:
      return "标准烟气表";
    default:
      return "计算";
  }
}

struct Row {
  std::string caption;
  std::string value;
  Source source;
  bool red;
};

// The four property fields of a side: their case-file keys end in these names.
bool isPropertyField(const FieldInfo& info) {
  for (std::string_view name : {".density", ".specific_heat", ".conductivity", ".viscosity"})
    if (info.key.ends_with(name)) return true;
  return false;
}

std::vector<Row> sideRows(const Case& c, const Rating& r, bool flueGas) {
  std::vector<Row> rows;
  const bool table = c.value(flueGas ? "flue_gas.properties" : "air.properties").has_value();
  const Source tableSource =
      flueGas && usesStandardTable(c) ? Source::StandardTable : Source::Table;
  const bool massMode = r.flowMode == FlowMode::Mass;
  const bool volumeMode = r.flowMode == FlowMode::Volume;
  using Q = Quantity;
  for (FieldGroup group : {flueGas ? FieldGroup::FlueGasStream : FieldGroup::AirStream,
                           flueGas ? FieldGroup::FlueGasChannel : FieldGroup::AirChannel}) {
    for (const FieldInfo& info : kFields) {
      if (info.group != group || info.role == FieldRole::Unused) continue;
      Source source = info.key.empty() ? Source::Computed : Source::Input;
      if (isPropertyField(info) && table) source = tableSource;
      const Quantity q = info.quantity;
      const bool volumeField = q == Q::FlueGasVolumeFlow || q == Q::AirVolumeFlow;
      const bool massField = q == Q::FlueGasMassFlow || q == Q::AirMassFlow;
      if ((volumeField && massMode) || (massField && volumeMode)) source = Source::Computed;
      if (q == Q::FlueGasEquivalentDiameter || q == Q::AirEquivalentDiameter) {
        const bool gapsGiven =
            !r.text(Q::FlueGasChannelGap).empty() && !r.text(Q::AirChannelGap).empty();
        source = gapsGiven ? Source::Computed : Source::Input;
      }
      const ShownField& f = r[q];
      rows.push_back({std::string(info.caption), f.text, source, f.flagged});
    }
  }
  using D = DialogQuantity;
  std::vector<DialogQuantity> dialogRows =
      flueGas ? std::vector{D::FlueGasNusseltFactor, D::FlueGasResistanceFactor}
              : std::vector{D::AirNusseltFactor, D::AirResistanceFactor};
  if (r.arrangement == Arrangement::MultiPass)
    dialogRows.push_back(flueGas ? D::FlueGasPasses : D::AirPasses);
  for (const DialogQuantity d : dialogRows)
    rows.push_back(
        {std::string(dialogFieldInfo(d).caption), r.dialogField(d).text, Source::Input, false});
  return rows;
}

class Page {
 public:
  explicit Page(QPainter& painter) : canvas(painter) {}

  void text(double x, double y, const std::string& s, double size, Rgb color = kInk,
            Canvas::Align align = Canvas::Align::Left, bool bold = false) {
    canvas.text(x, y, s, size, color, align, bold, false);
  }
  void rule(double x1, double y, double x2, double width = 0.5, Rgb color = kRule) {
    canvas.line(x1, y, x2, y, color, width, false);
  }
  QtCanvas canvas;
};

// A side's table: caption, value, source; returns the y below it.
double sideTable(Page& page, double x, double y, double width, const std::string& heading,
                 const std::vector<Row>& rows) {
  constexpr double row = 11.6;
  const double valueRight = x + width - 38;
  page.canvas.fillRect(x, y, width, row + 2, kShade, 1);
  page.text(x + 4, y + 10, heading, 9.5, kInk, Canvas::Align::Left, true);
  page.text(valueRight, y + 10, "数值", 8.5, kMuted, Canvas::Align::Right);
  page.text(x + width - 3, y + 10, "来源", 8.5, kMuted, Canvas::Align::Right);
  y += row + 2;
  for (const Row& r : rows) {
    page.text(x + 4, y + 9, r.caption, 8.3);
    // A value longer than the room beside its caption is cut, never drawn over the caption.
    const double room = valueRight - (x + 4) - page.canvas.textWidth(r.caption, 8.3) - 6;
    page.text(valueRight, y + 9, r.value.empty() ? "—" : page.canvas.elide(r.value, 8.3, room), 8.3,
              r.red ? kRed : kInk, Canvas::Align::Right);
    page.text(x + width - 3, y + 9, sourceText(r.source), 7.5, kMuted, Canvas::Align::Right);
    y += row;
    page.rule(x, y, x + width, 0.3, {205, 205, 205});
  }
  page.rule(x, y, x + width, 0.8, kRule);
  return y;
}

// The words of the two design checks: the verdict, and a line of what it rests on.
struct Verdict {
  std::string text;
  bool red = false;
  std::string basis;  // smaller, below it; empty: none
  std::string note;   // a line more, of the window's flue-gas law; empty: none
};

Verdict dewPointVerdict(const Case& c, const Rating& r, const DesignChecks& checks) {
  const DewPoints& points = checks.dewPoints;
  if (!points.acid)
    return {"露点判定：未给出烟气酸露点或烟气成分，未校核冷端低温腐蚀", false, {}, {}};
  Verdict v;
  const std::string acid = checkFigure(*points.acid) + " ℃";
  if (!checks.dewPointMargin) {
    v.text = "露点判定：酸露点 " + acid + "，冷端壁温未算出，未校核";
  } else {
    v.red = checks.violations & kColdEndCorrosion;
    v.text = "露点判定：板面烟气侧最低壁温 " + checkFigure(*checks.fieldWallMinimum) +
             " ℃（窗口冷端烟气侧壁温 " + r.text(Rating::wallOf(PlateEnd::Cold, Side::FlueGas)) +
             " ℃），酸露点 " + acid + "，裕量 " + checkFigure(*checks.dewPointMargin) +
             " K，要求 ≥ " + checkFigure(checks.requiredMargin) + " K" +
             (v.red ? "（不合格）" : "（合格）") + "，低于酸露点的板面积 " +
             checkFigure(checks.areaBelowAcidDewPoint.value_or(0)) + " m2";
    if (v.red) v.basis = "冷端有低温腐蚀风险；";
  }
  const auto given = [&](std::string_view key) { return c.value(key).value_or(""); };
  if (points.acidGiven) {
    v.basis += "酸露点为给定值";
  } else {
    v.basis += "酸露点按 Verhoff–Banchero 式由烟气成分算出（H2O " + given(kWaterVapourKey) +
               " %，SO3 " + given(kSulphurTrioxideKey) + " ppm，压力 " +
               (c.value(kGasPressureKey) ? given(kGasPressureKey) : std::string("101.325")) +
               " kPa）";
  }
  if (points.water) v.basis += "；水露点 " + checkFigure(*points.water) + " ℃";
  return v;
}

Verdict heatBalanceVerdict(const Rating& r, const DesignChecks& checks) {
  Verdict v;
  const std::string tolerance = "±" + checkFigure(checks.balanceTolerance) + " %";
  if (!checks.heatBalance) {
    v.text = "热平衡判定：两侧换热量未算出，未校核";
  } else {
    v.red = checks.violations & kHeatBalance;
    v.text = "热平衡判定：Q1 " + r.text(Rating::heatDutyOf(Side::FlueGas)) + " kW，Q2 " +
             r.text(Rating::heatDutyOf(Side::Air)) +
             " kW，(Q1-Q2)/Q2 = " + checkFigure(*checks.heatBalance) + " %，" +
             (v.red ? "超出 " + tolerance + "（不合格）" : "在 " + tolerance + " 以内（合格）");
    v.basis = "Q1 烟气侧换热量，Q2 空气侧换热量；";
  }
  const std::string sides = tableSidesText(checks);
  if (sides == "无") {
    v.basis += "两侧物性均为输入值";
  } else if (!sides.empty()) {
    v.basis += sides + "物性取自物性表";
  }
  if (const std::string law = tableLawNoteChinese(checks); !law.empty())
    v.note = law + "，Q1 与热平衡以此为准（\"standard-table\" 改用标准烟气表）";
  return v;
}

// The field the heat map shows: the rating point the dew-point verdict is decided on, at the
// picture's grid, or at the design checks' own where that is too coarse for the plate's transfer
// units; nothing when the run stopped or the field cannot be had.
std::optional<FieldReport> heatMapField(const Case& c, const CaseRun& run) {
  if (!run.status.completed) return std::nullopt;
  const Rating& r = run.window.rating();
  const DewPoints dew = caseDewPoints(c);
  FieldReportOutcome f = fieldReport(r, FieldMode::Rating, kFieldMapGrid, dew.acid, dew.water);
  if (!f.report) f = fieldReport(r, FieldMode::Rating, 0, dew.acid, dew.water);
  return std::move(f.report);
}

std::string placeText(const FieldReport& f, const FieldExtremePoint& e) {
  const std::string section =
      f.sections.size() > 1 ? "第 " + std::to_string(e.section + 1) + " 段，" : "";
  return fixedText(e.temperature, 2) + " ℃（" + section + (e.airFace ? "空气侧" : "烟气侧") +
         "，x = " + fixedText(e.x, 2) + "，y = " + fixedText(e.y, 2) + "）";
}

// The heat map of the plate on a page of its own: the sections of the multi-pass arrangement in
// as many rows as draw them largest, the whole scaled to the page's width and height.
void heatMapPage(QPainter& painter, Page& page, const Case& c, const FieldReport& f) {
  const double left = kMargin, right = kPageWidth - kMargin, width = right - left;
  double y = kMargin + 14;
  page.text(kPageWidth / 2, y, "板面壁温分布", 16, kInk, Canvas::Align::Center, true);
  y += 20;
  page.text(left, y, page.canvas.elide("工况：" + c.name, 9, width), 9);
  y += 14;
  page.text(left, y,
            page.canvas.elide("按给定出口温度求得的板面温度场：两侧给热系数同比例缩放（比例因子 " +
                                  fixedText(f.scaleFactor, 4) +
                                  (f.sections.size() > 1 ? "），网格每段 " : "），网格 ") +
                                  std::to_string(f.nx) + " × " + std::to_string(f.ny),
                              9, width),
            9);
  y += 13;
  page.text(left, y, "露点判定以此温度场的烟气侧板面最低壁温为准", 9);
  y += 6;
  page.rule(left, y, right, 0.8, kInk);
  y += 10;
  const double captionRoom = 40;
  const double height = kPageHeight - kMargin - captionRoom - y;
  const int sections = std::max(1, static_cast<int>(f.sections.size()));
  int best = 1;
  double scale = 0;
  for (int perRow = 1; perRow <= sections; ++perRow) {
    const auto [w, h] = fieldMapSize(f, perRow);
    const double fits = std::min({1.0, width / w, height / h});
    if (fits > scale + 1e-9) {
      scale = fits;
      best = perRow;
    }
  }
  const auto size = fieldMapSize(f, best);
  painter.save();
  painter.translate(left + (width - size.first * scale) / 2, y);
  painter.scale(scale, scale);
  drawFieldMap(page.canvas, f, "板面壁温分布：" + c.name, 0, 0, size.first, size.second, best);
  painter.restore();
  y += size.second * scale + 12;
  // One line each, so that neither place is cut on a page of the multi-pass arrangement.
  for (const std::string& line :
       {"板面最低壁温 " + placeText(f, f.wallMin), "板面最高壁温 " + placeText(f, f.wallMax),
        "换热量 " + fixedText(f.duty, 2) + " kW"}) {
    page.text(left, y, page.canvas.elide(line, 9, width), 9);
    y += 13;
  }
  page.text(left, y,
            page.canvas.elide("x 沿烟气流动方向、y 沿空气流动方向，均为流程长度的分数", 8, width),
            8, kMuted);
}

}  // namespace

std::optional<std::string> reportPdf(const Case& c, bool asTyped, const CheckSettings& settings) {
  ensureGuiApplication();
  const CaseRun run = rateCase(c);
  const Rating& r = run.window.rating();

  QByteArray bytes;
  QBuffer buffer(&bytes);
  if (!buffer.open(QIODevice::WriteOnly)) return std::nullopt;
  QPdfWriter writer(&buffer);
  writer.setPageSize(QPageSize(QPageSize::A4));
  writer.setPageMargins(QMarginsF(0, 0, 0, 0));
  writer.setResolution(600);
  writer.setTitle(
      QString::fromStdString("板式空预器热力计算数据表 — " + study::shortened(c.name, 200)));
  writer.setCreator(QStringLiteral("aphcalc"));
  QPainter painter;
  if (!painter.begin(&writer)) return std::nullopt;
  painter.setRenderHint(QPainter::Antialiasing);
  painter.scale(writer.resolution() / 72.0, writer.resolution() / 72.0);  // points from here on
  Page page(painter);

  const double left = kMargin, right = kPageWidth - kMargin;
  double y = kMargin + 14;
  page.text(kPageWidth / 2, y, "板式空预器热力计算数据表", 16, kInk, Canvas::Align::Center, true);
  y += 20;
  const std::string file = QFileInfo(QString::fromStdString(c.file)).fileName().toStdString();
  const double width = right - left;
  const std::string fileAndDate = "文件：" + page.canvas.elide(file, 9, width / 2) + "    日期：" +
                                  QDate::currentDate().toString(Qt::ISODate).toStdString();
  page.text(
      left, y,
      page.canvas.elide("工况：" + c.name, 9, width - page.canvas.textWidth(fileAndDate, 9) - 12),
      9);
  page.text(right, y, fileAndDate, 9, kInk, Canvas::Align::Right);
  y += 14;
  std::string arrangement = "流动形式：" + std::string(arrangementCaption(r));
  if (r.arrangement == Arrangement::MultiPass &&
      run.window.dialogText(DialogQuantity::FlueGasPasses))
    arrangement += "（烟气侧流程数 " + r.dialogField(DialogQuantity::FlueGasPasses).text +
                   "，空气侧流程数 " + r.dialogField(DialogQuantity::AirPasses).text + "）";
  page.text(
      left, y,
      page.canvas.elide(arrangement + "    流量给定：" + std::string(flowModeCaption(r)), 9, width),
      9);
  y += 6;
  page.rule(left, y, right, 0.8, kInk);
  y += 6;

  const double gap = 14;
  const double half = (right - left - gap) / 2;
  const double yl = sideTable(page, left, y, half, "烟气侧", sideRows(c, r, true));
  const double yr = sideTable(page, left + half + gap, y, half, "空气侧", sideRows(c, r, false));
  y = std::max(yl, yr) + 10;

  // Plate pack, mean temperature differences and the overall coefficients: two to a row.
  page.canvas.fillRect(left, y, right - left, 13.6, kShade, 1);
  page.text(left + 4, y + 10, "板片、平均温差与传热系数", 9.5, kInk, Canvas::Align::Left, true);
  y += 13.6;
  using Q = Quantity;
  const Quantity overall[] = {Q::PlatePairs,
                              Q::PlateThickness,
                              Q::PlateConductivity,
                              Q::SinglePlateArea,
                              Q::HeatTransferArea,
                              Q::CounterflowMeanDifference,
                              Q::CrossflowMeanDifference,
                              Q::MultiPassMeanDifference,
                              Q::ActualCoefficient,
                              Q::TheoreticalCoefficient,
                              Q::Margin};
  const double cell = (right - left - gap) / 2;
  for (std::size_t k = 0; k < std::size(overall); ++k) {
    const double cx = left + static_cast<double>(k % 2) * (cell + gap);
    const double cy = y + static_cast<double>(k / 2) * 11.6;
    const ShownField& f = r[overall[k]];
    const std::string caption(fieldInfo(overall[k]).caption);
    page.text(cx + 4, cy + 9, caption, 8.3);
    const double room = cell - 38 - 4 - page.canvas.textWidth(caption, 8.3) - 6;
    page.text(cx + cell - 38, cy + 9, f.text.empty() ? "—" : page.canvas.elide(f.text, 8.3, room),
              8.3, f.flagged ? kRed : kInk, Canvas::Align::Right);
  }
  y += 11.6 * static_cast<double>((std::size(overall) + 1) / 2);
  page.rule(left, y, right, 0.8, kRule);
  y += 14;

  // Verdicts.
  if (!run.status.completed) {
    std::string text = "计算中止：";
    for (const std::string& m : run.status.messages) text += m + " ";
    if (run.status.messages.empty()) text += "计算未完成";
    page.text(left, y, page.canvas.elide(text, 10, width), 10, kRed, Canvas::Align::Left, true);
    y += 14;
  } else {
    const std::string m = r.text(Quantity::Margin) + " %";
    std::string verdict;
    if (r.marginBelowBand()) {
      verdict = "裕量判定：裕量 " + m + "，低于 0 %，换热面积不足（不合格）";
    } else if (r.marginAboveBand()) {
      verdict = "裕量判定：裕量 " + m + "，超过 30 %，换热面积富余过多（不合格）";
    } else {
      verdict = "裕量判定：裕量 " + m + "，在 0～30 % 范围内（合格）";
    }
    const bool marginBad = r.flagged(Quantity::Margin);
    page.text(left, y, page.canvas.elide(verdict, 10, width), 10, marginBad ? kRed : kInk,
              Canvas::Align::Left, true);
    y += 14;
    const unsigned v = violations(r);
    std::string drops = "压降判定：烟气侧 " + r.text(Rating::pressureDropOf(Side::FlueGas)) +
                        " Pa，空气侧 " + r.text(Rating::pressureDropOf(Side::Air)) + " Pa";
    drops += (v & (kFlueGasDrop | kAirDrop)) ? "，超过 500 Pa 限值（不合格）"
                                             : "，均不超过 500 Pa（合格）";
    page.text(left, y, page.canvas.elide(drops, 10, width), 10,
              (v & (kFlueGasDrop | kAirDrop)) ? kRed : kInk, Canvas::Align::Left, true);
    y += 14;
    const DesignChecks checks = designChecks(c, r, settings);
    for (const Verdict& verdict : {dewPointVerdict(c, r, checks), heatBalanceVerdict(r, checks)}) {
      page.text(left, y, page.canvas.elide(verdict.text, 10, width), 10, verdict.red ? kRed : kInk,
                Canvas::Align::Left, true);
      y += 12;
      if (!verdict.basis.empty()) {
        page.text(left + 10, y, page.canvas.elide(verdict.basis, 8, width - 10), 8, kMuted);
        y += 11;
      } else {
        y += 2;
      }
      if (!verdict.note.empty()) {
        page.text(left + 10, y, page.canvas.elide(verdict.note, 8, width - 10), 8, kMuted);
        y += 11;
      }
    }
  }
  y += 2;

  // The plate-count sweep around the design.
  if (const auto sweep = plateCountSweep(c)) {
    SweepOptions options;
    options.asTyped = asTyped;
    options.checks = settings;
    const auto values = runSweep(*sweep, nullptr, options);
    ChartData chart = sweepChart(*sweep, values);
    chart.title = "裕量与压降随板对数的变化（设计值 " + r.text(Quantity::PlatePairs) + "）";
    drawChart(page.canvas, chart, left, y, right - left, kPageHeight - kMargin - 12 - y);
  } else {
    page.text(left, y + 12, "板对数不是正数，无法绘制板对数变化曲线", 9, kMuted);
  }
  page.text(kPageWidth / 2, kPageHeight - kMargin + 4,
            "红色数值超出限值：压降大于 500 Pa，裕量不在 0～30 % 范围内", 7.5, kMuted,
            Canvas::Align::Center);
  if (const auto field = heatMapField(c, run)) {
    if (!writer.newPage()) return std::nullopt;
    heatMapPage(painter, page, c, *field);
  }
  if (!painter.end()) return std::nullopt;
  buffer.close();
  return bytes.toStdString();
}

std::string writeReport(const Case& c, const std::string& pdfPath, bool asTyped,
                        const CheckSettings& checks) {
  const auto pdf = reportPdf(c, asTyped, checks);
  if (!pdf) return "cannot draw the datasheet for " + pdfPath;
  return study::writeWholeFile(pdfPath, *pdf);
}

}  // namespace aph::render
