#include "app/appearance.hpp"

#include <QEvent>
#include <QGuiApplication>
#include <QLineEdit>
#include <QScreen>
#include <QStringList>
#include <QStyle>
#include <QStyleOptionFrame>
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

bool textFits(const QLineEdit& line) {
  // The room the line edit gives its text: the style's contents rectangle, less the text
  // margins and the two pixels the line edit keeps clear on either side.
  QStyleOptionFrame panel;
  panel.initFrom(&line);
  panel.rect = line.rect();
  panel.lineWidth =
      line.hasFrame() ? line.style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &panel, &line) : 0;
  panel.midLineWidth = 0;
  panel.state |= QStyle::State_Sunken;
  const QRect room = line.style()
                         ->subElementRect(QStyle::SE_LineEditContents, &panel, &line)
                         .marginsRemoved(line.textMargins())
                         .adjusted(2, 0, -2, 0);
  return line.fontMetrics().horizontalAdvance(line.text()) <= room.width();
}

bool FullTextTip::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::ToolTip) {
    if (auto* line = qobject_cast<QLineEdit*>(watched))
      line->setToolTip(textFits(*line) ? QString() : line->text());
  }
  return QObject::eventFilter(watched, event);
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
