#include "app/appearance.hpp"

#include <QGuiApplication>
#include <QScreen>
#include <QStringList>
#include <QWidget>
#include <algorithm>
#include <cmath>

namespace aph::app {

QFont songFont(double points, bool bold) {
  QFont font;
  font.setFamilies(
      {QStringLiteral("宋体"), QStringLiteral("SimSun"), QStringLiteral("Noto Serif CJK SC")});
  font.setStyleHint(QFont::Serif);
  font.setPointSizeF(points);
  font.setBold(bold);
  return font;
}

void fitCaption(QWidget& caption) {
  const int needed = caption.sizeHint().width();
  const int room = caption.width();
  if (needed <= room || needed <= 0) return;
  QFont font = caption.font();
  int stretch = std::max(85, 100 * room / needed);
  font.setStretch(stretch);
  caption.setFont(font);
  // Rounding of the condensed advances may need one more step.
  while (caption.sizeHint().width() > room && stretch > 85) {
    font.setStretch(--stretch);
    caption.setFont(font);
  }
}

TwipsScale TwipsScale::of(const QScreen* screen) {
  if (!screen) screen = QGuiApplication::primaryScreen();
  if (!screen) return TwipsScale(96, 96);
  return TwipsScale(screen->logicalDotsPerInchX(), screen->logicalDotsPerInchY());
}

int TwipsScale::pixels(int twips, double dpi) {
  return static_cast<int>(std::lround(twips * dpi / 1440.0));
}

}  // namespace aph::app
