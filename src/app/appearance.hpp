// Typeface and measures shared by the main window and its two dialogs.
#pragma once

#include <QFont>
#include <QObject>
#include <QRect>
#include <QSize>

class QLineEdit;
class QScreen;

namespace aph::app {

// The Song typeface. The Windows family names come first; on Linux the CJK serif face of the
// Noto fonts carries the same design, and naming it keeps fontconfig from substituting a
// Japanese sans face for the Chinese captions.
QFont songFont(double points, bool bold = false);

// Where a replacement face sets a caption wider than the box its place allows (its Latin letters
// are wider than the half-width letters of the Song face), the caption is condensed just enough
// to fit, never below 85 %, instead of being cut off.
void fitCaption(QWidget& caption);

// Fields keep their width, so a long text shows only its leading characters. Installed as an
// event filter on a field, this shows the whole text as the field's tooltip while it does not
// fit, and no tooltip while it does.
class FullTextTip : public QObject {
 public:
  using QObject::QObject;
  bool eventFilter(QObject* watched, QEvent* event) override;
};
// Whether the field shows its whole text.
bool textFits(const QLineEdit& line);

// Window geometry is kept in twips (1440 to the inch) and turned into pixels by the screen's
// logical resolution, so the window keeps its proportions on any screen.
class TwipsScale {
 public:
  TwipsScale(double dotsPerInchX, double dotsPerInchY) : dpiX_(dotsPerInchX), dpiY_(dotsPerInchY) {}
  // The scale of the given screen, or of the primary screen.
  static TwipsScale of(const QScreen* screen = nullptr);

  int x(int twips) const { return pixels(twips, dpiX_); }
  int y(int twips) const { return pixels(twips, dpiY_); }
  // Edges are rounded, not sizes, so that neighbouring controls never overlap or gap by rounding.
  QRect rect(int left, int top, int width, int height) const {
    return QRect(x(left), y(top), x(left + width) - x(left), y(top + height) - y(top));
  }
  QSize size(int width, int height) const { return QSize(x(width), y(height)); }

 private:
  static int pixels(int twips, double dpi);
  double dpiX_;
  double dpiY_;
};

}  // namespace aph::app
