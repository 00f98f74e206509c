#include "render/qt_canvas.hpp"

#include <stdlib.h>

#include <QBuffer>
#include <QByteArray>
#include <QFont>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QPen>
#include <filesystem>
#include <memory>
#include <system_error>

#include "study/io/files.hpp"

namespace aph::render {
namespace {

QColor qcolor(Rgb c, double opacity = 1) {
  QColor color(c.r, c.g, c.b);
  color.setAlphaF(static_cast<float>(opacity));
  return color;
}

QPen pen(Rgb c, double width, bool dashed) {
  QPen p(qcolor(c));
  p.setWidthF(width);
  p.setCapStyle(Qt::FlatCap);
  p.setJoinStyle(Qt::RoundJoin);
  if (dashed) p.setDashPattern({6 / width, 4 / width});
  return p;
}

// The toolkit keeps sockets and locks in the session's runtime folder (XDG_RUNTIME_DIR). Where
// the session has none, the process gets a fresh folder of its own (mode 0700, as the toolkit
// requires), removed when the program ends.
class PrivateRuntimeFolder {
 public:
  PrivateRuntimeFolder() {
    if (!qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR")) return;
    std::error_code error;
    std::filesystem::path base = std::filesystem::temp_directory_path(error);
    if (error) base = "/tmp";
    std::string pattern = (base / "aphcalc-runtime-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) return;
    created_ = pattern;
    qputenv("XDG_RUNTIME_DIR", QByteArray::fromStdString(created_));
  }
  ~PrivateRuntimeFolder() {
    if (created_.empty()) return;
    std::error_code error;
    std::filesystem::remove_all(created_, error);
  }
  PrivateRuntimeFolder(const PrivateRuntimeFolder&) = delete;
  PrivateRuntimeFolder& operator=(const PrivateRuntimeFolder&) = delete;

 private:
  std::string created_;
};

}  // namespace

void ensureGuiApplication() {
  if (QGuiApplication::instance()) return;
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  // Made before the application and so removed after it.
  static const PrivateRuntimeFolder runtimeFolder;
  static int argc = 1;
  static char name[] = "aphcalc-cli";
  static char* argv[] = {name, nullptr};
  static std::unique_ptr<QGuiApplication> app = std::make_unique<QGuiApplication>(argc, argv);
}

QFont songFont(double points, bool bold) {
  QFont font;
  font.setFamilies(
      {QStringLiteral("宋体"), QStringLiteral("SimSun"), QStringLiteral("Noto Serif CJK SC")});
  font.setPointSizeF(points);
  font.setBold(bold);
  // Shaped as Latin script, the CJK faces put alternate digits in place of the character map's
  // own ("Q1 13600 kW", "H2O"). A PDF tells its text by that map, read backwards, so those digits
  // would be drawn but lost to search and copy. Neither Han nor Latin needs shaping: every glyph
  // drawn is then the map's own.
  font.setStyleStrategy(QFont::PreferNoShaping);
  return font;
}

void QtCanvas::fillRect(double x, double y, double w, double h, Rgb color, double opacity) {
  painter_.fillRect(QRectF(x, y, w, h), qcolor(color, opacity));
}

void QtCanvas::line(double x1, double y1, double x2, double y2, Rgb color, double width,
                    bool dashed) {
  painter_.setPen(pen(color, width, dashed));
  painter_.drawLine(QPointF(x1, y1), QPointF(x2, y2));
}

void QtCanvas::polyline(const std::vector<std::pair<double, double>>& points, Rgb color,
                        double width, bool dashed) {
  if (points.empty()) return;
  QPainterPath path(QPointF(points[0].first, points[0].second));
  for (std::size_t k = 1; k < points.size(); ++k) path.lineTo(points[k].first, points[k].second);
  painter_.setPen(pen(color, width, dashed));
  painter_.setBrush(Qt::NoBrush);
  painter_.drawPath(path);
}

void QtCanvas::dot(double x, double y, double radius, Rgb color) {
  painter_.setPen(Qt::NoPen);
  painter_.setBrush(qcolor(color));
  painter_.drawEllipse(QPointF(x, y), radius, radius);
}

// Text sizes are in points of the canvas: the painter's transform maps them like every other
// length, so the font is sized in canvas units through a pixel size.
void QtCanvas::text(double x, double y, const std::string& text, double size, Rgb color,
                    Align align, bool bold, bool vertical) {
  QFont font = songFont(10, bold);
  font.setPixelSize(std::max(1, static_cast<int>(size * 4 + 0.5)));
  painter_.save();
  painter_.setFont(font);
  painter_.setPen(qcolor(color));
  painter_.translate(x, y);
  if (vertical) painter_.rotate(-90);
  painter_.scale(0.25, 0.25);
  const QString s = QString::fromStdString(text);
  const double width = QFontMetricsF(font, painter_.device()).horizontalAdvance(s);
  const double dx = align == Align::Left ? 0 : align == Align::Center ? -width / 2 : -width;
  painter_.drawText(QPointF(dx, 0), s);
  painter_.restore();
}

double QtCanvas::textWidth(const std::string& text, double size) {
  QFont font = songFont(10);
  font.setPixelSize(std::max(1, static_cast<int>(size * 4 + 0.5)));
  return QFontMetricsF(font, painter_.device()).horizontalAdvance(QString::fromStdString(text)) / 4;
}

std::optional<std::string> pngImage(double w, double h, double scale,
                                    const std::function<void(Canvas&)>& draw) {
  ensureGuiApplication();
  QImage image(static_cast<int>(w * scale), static_cast<int>(h * scale), QImage::Format_RGB32);
  if (image.isNull()) return std::nullopt;
  image.fill(Qt::white);
  QPainter painter;
  if (!painter.begin(&image)) return std::nullopt;
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setRenderHint(QPainter::TextAntialiasing);
  painter.scale(scale, scale);
  QtCanvas canvas(painter);
  draw(canvas);
  if (!painter.end()) return std::nullopt;
  QByteArray bytes;
  QBuffer buffer(&bytes);
  if (!buffer.open(QIODevice::WriteOnly) || !image.save(&buffer, "PNG")) return std::nullopt;
  return bytes.toStdString();
}

std::optional<std::string> chartPng(const ChartData& chart, double w, double h, double scale) {
  return pngImage(w, h, scale, [&](Canvas& canvas) { drawChart(canvas, chart, 0, 0, w, h); });
}

std::string writeChartPng(const ChartData& chart, const std::string& path, double w, double h,
                          double scale) {
  const auto png = chartPng(chart, w, h, scale);
  if (!png) return "cannot draw the chart";
  return study::writeWholeFile(path, *png);
}

}  // namespace aph::render
