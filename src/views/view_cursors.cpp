#include "views/view_cursors.h"

#include <QPainter>
#include <QPixmap>

namespace q3d {
namespace {

QPixmap TransparentPixmap() {
  QPixmap pixmap(32, 32);
  pixmap.fill(Qt::transparent);
  return pixmap;
}

// Draws the shape twice, wide in white and narrow in black, to be seen on any image.
template <typename Shape>
void DrawOutlined(QPainter& painter, Shape shape) {
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setPen(QPen(Qt::white, 3));
  shape(painter);
  painter.setPen(QPen(Qt::black, 1));
  shape(painter);
}

}  // namespace

QCursor ZoomToolCursor() {
  QPixmap pixmap = TransparentPixmap();
  QPainter painter(&pixmap);
  DrawOutlined(painter, [](QPainter& p) {
    p.drawEllipse(QPointF(12, 12), 8, 8);
    p.drawLine(QPointF(18, 18), QPointF(28, 28));
    p.drawLine(QPointF(8, 12), QPointF(16, 12));
    p.drawLine(QPointF(12, 8), QPointF(12, 16));
  });
  return QCursor(pixmap, 12, 12);
}

QCursor PendingMatchCursor() {
  QPixmap pixmap = TransparentPixmap();
  QPainter painter(&pixmap);
  DrawOutlined(painter, [](QPainter& p) {
    p.drawLine(QPointF(16, 2), QPointF(16, 30));
    p.drawLine(QPointF(2, 16), QPointF(30, 16));
    p.drawEllipse(QPointF(16, 16), 7, 7);
  });
  return QCursor(pixmap, 16, 16);
}

QCursor EraserCursor() {
  QPixmap pixmap = TransparentPixmap();
  QPainter painter(&pixmap);
  DrawOutlined(painter, [](QPainter& p) {
    p.drawEllipse(QPointF(16, 16), 10, 10);
    p.drawPoint(QPointF(16, 16));
  });
  return QCursor(pixmap, 16, 16);
}

}  // namespace q3d
