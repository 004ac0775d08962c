#include "app/tool_icons.h"

#include <QPainter>
#include <QPainterPath>

#include "views/command_ids.h"

namespace q3d {
namespace {

using namespace cmd;

const QColor kInk(40, 40, 40);
const QColor kPaper(250, 250, 250);
const QColor kBlue(40, 90, 190);
const QColor kRed(200, 40, 40);
const QColor kGreen(30, 140, 60);
const QColor kSkin(235, 190, 150);

void Page(QPainter& p) {
  p.setPen(kInk);
  p.setBrush(kPaper);
  QPolygon sheet;
  sheet << QPoint(4, 2) << QPoint(13, 2) << QPoint(17, 6) << QPoint(17, 18) << QPoint(4, 18);
  p.drawPolygon(sheet);
  p.drawLine(13, 2, 13, 6);
  p.drawLine(13, 6, 17, 6);
}

void Folder(QPainter& p) {
  p.setPen(kInk);
  p.setBrush(QColor(240, 200, 80));
  p.drawRect(2, 6, 15, 11);
  p.drawRect(2, 4, 6, 2);
  p.setBrush(QColor(250, 225, 120));
  QPolygon front;
  front << QPoint(5, 9) << QPoint(19, 9) << QPoint(16, 17) << QPoint(2, 17);
  p.drawPolygon(front);
}

void Disk(QPainter& p) {
  p.setPen(kInk);
  p.setBrush(kBlue);
  p.drawRect(3, 2, 15, 15);
  p.setBrush(kPaper);
  p.drawRect(6, 2, 9, 6);
  p.setBrush(QColor(180, 180, 180));
  p.drawRect(6, 11, 9, 6);
}

void Face(QPainter& p, const QRect& r, bool dots) {
  p.setPen(kInk);
  p.setBrush(kSkin);
  p.drawEllipse(r);
  if (!dots) return;
  p.setPen(Qt::NoPen);
  p.setBrush(kInk);
  const int cx = r.center().x();
  const int cy = r.center().y();
  for (const QPoint d : {QPoint(-3, -2), QPoint(3, -2), QPoint(0, 1), QPoint(-2, 4), QPoint(2, 4)})
    p.drawRect(cx + d.x(), cy + d.y(), 1, 1);
}

void Mesh(QPainter& p, const QColor& colour) {
  p.setPen(QPen(colour, 1));
  p.setBrush(Qt::NoBrush);
  const QPoint v[] = {{10, 2}, {3, 8}, {17, 8}, {5, 17}, {15, 17}, {10, 10}};
  const int edges[][2] = {{0, 1}, {0, 2}, {1, 3}, {2, 4}, {3, 4}, {5, 0}, {5, 1}, {5, 2}, {5, 3}, {5, 4}};
  for (const auto& e : edges) p.drawLine(v[e[0]], v[e[1]]);
}

void Arrow(QPainter& p, int x, int y) {
  QPolygon a;
  a << QPoint(x, y) << QPoint(x, y + 12) << QPoint(x + 3, y + 9) << QPoint(x + 6, y + 14)
    << QPoint(x + 8, y + 13) << QPoint(x + 5, y + 8) << QPoint(x + 9, y + 8);
  p.setPen(kInk);
  p.setBrush(Qt::white);
  p.drawPolygon(a);
}

void Magnifier(QPainter& p, int sign) {
  p.setPen(QPen(kInk, 2));
  p.setBrush(QColor(210, 230, 250));
  p.drawEllipse(3, 2, 10, 10);
  p.drawLine(12, 11, 17, 16);
  p.setPen(QPen(kInk, 1));
  if (sign != 0) p.drawLine(6, 7, 10, 7);
  if (sign > 0) p.drawLine(8, 5, 8, 9);
}

void Cross(QPainter& p, int x, int y, const QColor& c) {
  p.setPen(QPen(c, 1));
  p.drawLine(x - 2, y, x + 2, y);
  p.drawLine(x, y - 2, x, y + 2);
}

void UndoArrow(QPainter& p) {
  p.setPen(QPen(kBlue, 2));
  p.setBrush(Qt::NoBrush);
  p.drawArc(5, 5, 12, 10, 0, 180 * 16);
  p.setBrush(kBlue);
  QPolygon head;
  head << QPoint(2, 10) << QPoint(8, 10) << QPoint(5, 14);
  p.drawPolygon(head);
}

void Draw(QPainter& p, int id) {
  switch (id) {
    case kNew: Page(p); break;
    case kOpen: Folder(p); break;
    case kSave: Disk(p); break;
    case kExportModel:
      Disk(p);
      Mesh(p, kGreen);
      break;
    case kDelete:
      p.setPen(QPen(kRed, 3));
      p.drawLine(5, 4, 16, 15);
      p.drawLine(16, 4, 5, 15);
      break;
    case kUndo:
      UndoArrow(p);
      break;
    case kRedo:
      // Undo's arrow turned the other way.
      p.translate(kToolImageWidth - 1, 0);
      p.scale(-1, 1);
      UndoArrow(p);
      break;
    case kViews:
      p.setPen(kInk);
      p.setBrush(kPaper);
      p.drawRect(2, 3, 7, 6);
      p.drawRect(2, 11, 7, 6);
      p.drawRect(11, 3, 7, 14);
      p.fillRect(3, 4, 6, 2, kBlue);
      break;
    case kSetImages:
      p.setPen(kInk);
      p.setBrush(kPaper);
      p.drawRect(1, 4, 9, 12);
      p.drawRect(11, 4, 9, 12);
      Face(p, QRect(2, 6, 7, 8), false);
      Face(p, QRect(12, 6, 7, 8), false);
      break;
    case kManualMatching:
      Face(p, QRect(2, 2, 16, 16), true);
      Cross(p, 14, 14, kRed);
      break;
    case kAutomaticMatching:
      Face(p, QRect(1, 4, 9, 12), true);
      Face(p, QRect(11, 4, 9, 12), true);
      p.setPen(QPen(kGreen, 1));
      p.drawLine(6, 8, 15, 8);
      p.drawLine(6, 12, 15, 12);
      break;
    case kRender:
      Mesh(p, kBlue);
      break;
    case kRemoveRenderData:
      Mesh(p, QColor(140, 140, 140));
      p.setPen(QPen(kRed, 2));
      p.drawLine(3, 3, 17, 17);
      break;
    case kToolArrow: Arrow(p, 6, 2); break;
    case kToolPan: {
      p.setPen(QPen(kInk, 2));
      p.drawLine(10, 2, 10, 18);
      p.drawLine(2, 10, 18, 10);
      p.setBrush(kInk);
      for (const QPolygon& tip : {QPolygon({QPoint(10, 1), QPoint(7, 4), QPoint(13, 4)}),
                                  QPolygon({QPoint(10, 19), QPoint(7, 16), QPoint(13, 16)}),
                                  QPolygon({QPoint(1, 10), QPoint(4, 7), QPoint(4, 13)}),
                                  QPolygon({QPoint(19, 10), QPoint(16, 7), QPoint(16, 13)})})
        p.drawPolygon(tip);
      break;
    }
    case kToolZoom: Magnifier(p, 0); break;
    case kToolRoi:
      p.setPen(QPen(kInk, 1, Qt::DashLine));
      p.setBrush(Qt::NoBrush);
      p.drawRect(3, 4, 14, 11);
      p.fillRect(2, 3, 3, 3, kBlue);
      p.fillRect(16, 14, 3, 3, kBlue);
      break;
    case kFitToWindow:
      p.setPen(kInk);
      p.setBrush(kPaper);
      p.drawRect(2, 2, 16, 15);
      Face(p, QRect(6, 4, 8, 11), false);
      break;
    case kZoomIn: Magnifier(p, 1); break;
    case kZoomOut: Magnifier(p, -1); break;
    case kFullColor:
      p.setPen(Qt::NoPen);
      p.setBrush(kRed);
      p.drawEllipse(3, 3, 9, 9);
      p.setBrush(kGreen);
      p.drawEllipse(9, 3, 9, 9);
      p.setBrush(kBlue);
      p.drawEllipse(6, 8, 9, 9);
      break;
    case kGrayscale:
      for (int i = 0; i < 4; ++i) p.fillRect(2 + 4 * i, 4, 4, 12, QColor::fromHsv(0, 0, 40 + 60 * i));
      p.setPen(kInk);
      p.setBrush(Qt::NoBrush);
      p.drawRect(2, 4, 16, 12);
      break;
    case kShowPoints:
      Cross(p, 5, 6, kRed);
      Cross(p, 14, 5, kRed);
      Cross(p, 9, 14, kRed);
      break;
    case kShowPointIds:
      Cross(p, 5, 12, kRed);
      p.setPen(kInk);
      p.setFont(QFont(QStringLiteral("Sans"), 6));
      p.drawText(QRect(8, 1, 12, 10), Qt::AlignCenter, QStringLiteral("12"));
      break;
    case kShowVectors:
      Cross(p, 4, 15, kRed);
      p.setPen(QPen(kGreen, 1));
      p.drawLine(4, 15, 16, 5);
      p.drawLine(16, 5, 12, 6);
      p.drawLine(16, 5, 15, 9);
      break;
    default: break;
  }
}

}  // namespace

QPixmap ToolBitmap(int commandId) {
  QPixmap pixmap(kToolImageWidth, kToolImageHeight);
  pixmap.fill(Qt::transparent);
  QPainter painter(&pixmap);
  painter.setRenderHint(QPainter::Antialiasing, false);
  Draw(painter, commandId);
  return pixmap;
}

QIcon ToolIcon(int commandId) { return QIcon(ToolBitmap(commandId)); }

}  // namespace q3d
