// Studies need no Qt.
#include <QPainter>
