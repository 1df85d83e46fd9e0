#include "plotter/Artwork.h"

#include <QPainter>
#include <QPainterPath>
#include <QPolygon>

namespace {

constexpr int C = kCursorHotSpot.x();  // 15: the centre of every cursor

// Draws `paint` twice: a white halo, then the black stroke over it, so the
// cursor shows on dark and light chart colours alike.
template <class F>
void Outlined(QPainter& p, int width, F paint) {
  p.setBrush(Qt::NoBrush);
  p.setPen(QPen(Qt::white, width + 2, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin));
  paint(p);
  p.setPen(QPen(Qt::black, width, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin));
  paint(p);
}

// Cross hairs with a free centre, so the point under the hot spot stays
// visible.
void CrossHairs(QPainter& p, int gap, int reach) {
  p.drawLine(C, C - reach, C, C - gap);
  p.drawLine(C, C + gap, C, C + reach);
  p.drawLine(C - reach, C, C - gap, C);
  p.drawLine(C + gap, C, C + reach, C);
}

void DrawMeasure(QPainter& p, int w) {
  Outlined(p, w, [](QPainter& q) {
    CrossHairs(q, 3, 9);
    // A divider: two legs from a hinge, at the lower right.
    q.drawLine(26, 19, 21, 30);
    q.drawLine(26, 19, 30, 30);
  });
}

void DrawRouteAdd(QPainter& p, int w) {
  Outlined(p, w, [](QPainter& q) {
    CrossHairs(q, 3, 9);
    q.drawLine(26, 20, 26, 30);  // "+"
    q.drawLine(21, 25, 31, 25);
  });
}

void DrawRouteIns(QPainter& p, int w) {
  Outlined(p, w, [](QPainter& q) {
    CrossHairs(q, 3, 9);
    // Two route legs meeting at an inserted point.
    q.drawLine(20, 30, 25, 22);
    q.drawLine(25, 22, 31, 30);
    q.drawRect(23, 20, 4, 4);
  });
}

void DrawAim(QPainter& p, int w) {
  Outlined(p, w, [](QPainter& q) {
    CrossHairs(q, 4, 13);
    q.drawEllipse(QPoint(C, C), 8, 8);
  });
}

void DrawPan(QPainter& p, int w) {
  Outlined(p, w, [](QPainter& q) {
    q.drawLine(C, C - 12, C, C + 12);
    q.drawLine(C - 12, C, C + 12, C);
    // Arrow heads.
    const QPolygon heads[] = {
        QPolygon({QPoint(C - 4, C - 8), QPoint(C, C - 12), QPoint(C + 4, C - 8)}),
        QPolygon({QPoint(C - 4, C + 8), QPoint(C, C + 12), QPoint(C + 4, C + 8)}),
        QPolygon({QPoint(C - 8, C - 4), QPoint(C - 12, C), QPoint(C - 8, C + 4)}),
        QPolygon({QPoint(C + 8, C - 4), QPoint(C + 12, C), QPoint(C + 8, C + 4)}),
    };
    for (const QPolygon& h : heads) q.drawPolyline(h);
  });
}

// A sailing boat on the water, in the given colours.
QPixmap BoatPicture(int size, QColor sea, QColor hull, QColor sail, QColor frame) {
  QPixmap pm(size, size);
  pm.fill(Qt::transparent);
  QPainter p(&pm);
  p.setRenderHint(QPainter::Antialiasing);
  p.scale(size / 32.0, size / 32.0);
  p.setPen(QPen(frame, 1));
  p.setBrush(sea);
  p.drawRoundedRect(QRectF(0.5, 0.5, 31, 31), 5, 5);
  // Sails.
  p.setBrush(sail);
  p.drawPolygon(QPolygonF({QPointF(16, 4), QPointF(16, 21), QPointF(6, 21)}));
  p.drawPolygon(QPolygonF({QPointF(17.5, 8), QPointF(17.5, 21), QPointF(25, 21)}));
  // Hull.
  p.setBrush(hull);
  QPainterPath hullPath;
  hullPath.moveTo(4, 23);
  hullPath.lineTo(28, 23);
  hullPath.lineTo(24, 28);
  hullPath.lineTo(8, 28);
  hullPath.closeSubpath();
  p.drawPath(hullPath);
  return pm;
}

QIcon MakeIcon(QColor sea, QColor hull, QColor sail, QColor frame) {
  QIcon icon;
  for (int size : {16, 32}) icon.addPixmap(BoatPicture(size, sea, hull, sail, frame));
  return icon;
}

}  // namespace

QPixmap ChartCursorImage(TChartCursor cursor, bool fat) {
  QPixmap pm(kCursorSize, kCursorSize);
  pm.fill(Qt::transparent);
  QPainter p(&pm);
  const int w = fat ? 3 : 1;
  switch (cursor) {
    case ccMeasure: DrawMeasure(p, w); break;
    case ccRouteAdd: DrawRouteAdd(p, w); break;
    case ccRouteIns: DrawRouteIns(p, w); break;
    case ccAim: DrawAim(p, w); break;
    case ccPan: DrawPan(p, w); break;
  }
  return pm;
}

QCursor ChartCursor(TChartCursor cursor, bool fat) {
  return QCursor(ChartCursorImage(cursor, fat), kCursorHotSpot.x(), kCursorHotSpot.y());
}

QIcon BoatIcon() { return MakeIcon(QColor(40, 110, 200), QColor(150, 40, 30), Qt::white, QColor(20, 40, 80)); }

QIcon DarkIcon() { return MakeIcon(QColor(10, 10, 10), QColor(90, 0, 0), QColor(120, 0, 0), QColor(60, 0, 0)); }
