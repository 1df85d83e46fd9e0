#include "calibrator/mapview/Magnifier.h"

#include <QLabel>
#include <QPainter>
#include <QPixmap>
#include <QTimer>

#include <algorithm>

#include "calibrator/calibration/core/Calibration.h"
#include "calibrator/mapview/MapMouse.h"
#include "sharedui/ChartCanvas.h"

namespace {

constexpr int kMagnifierMs = 100;

}  // namespace

TMagnifier::TMagnifier(QLabel& zoomImg, QTimer& timer, const QWidget& window, TChartCanvas& mapCanvas,
                       const TCalibration& cal, const TMapMouse& mouse)
    : zoomImg_(zoomImg), window_(window), mapCanvas_(mapCanvas), cal_(cal), mouse_(mouse) {
  timer.setInterval(kMagnifierMs);
  connect(&timer, &QTimer::timeout, this, [this] { Update(); });
  timer.start();
}

void TMagnifier::Update() {
  if (window_.isMinimized() || !mouse_.OverMap() || !cal_.IsOpen() || !zoomImg_.isVisible()) return;
  const QPoint pointer = mouse_.Pointer();
  const QSize out = zoomImg_.contentsRect().size();
  const QSize src(std::max(1, out.width() / 3), std::max(1, out.height() / 3));
  // The area around the pointer, kept on the map.
  int x = pointer.x() - src.width() / 2, y = pointer.y() - src.height() / 2;
  x = std::clamp(x, 0, std::max(0, mapCanvas_.width() - src.width()));
  y = std::clamp(y, 0, std::max(0, mapCanvas_.height() - src.height()));
  const QPixmap part = mapCanvas_.grab(QRect(QPoint(x, y), src));
  QPixmap big = part.scaled(out, Qt::IgnoreAspectRatio, Qt::FastTransformation);
  QPainter p(&big);
  p.setPen(QPen(Qt::red, 1));
  const int cx = (pointer.x() - x) * out.width() / src.width();
  const int cy = (pointer.y() - y) * out.height() / src.height();
  p.drawLine(cx - out.width() / 4, cy, cx + out.width() / 4, cy);
  p.drawLine(cx, cy - out.height() / 4, cx, cy + out.height() / 4);
  p.end();
  zoomImg_.setPixmap(big);
}
