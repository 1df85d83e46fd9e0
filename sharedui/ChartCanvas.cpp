#include "sharedui/ChartCanvas.h"

#include <QImage>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QResizeEvent>
#include <QWheelEvent>

TChartCanvas::TChartCanvas(QWidget* parent) : QWidget(parent) {
  // Every paint covers the whole dirty area itself: no erasing first.
  setAttribute(Qt::WA_OpaquePaintEvent);
  setAutoFillBackground(false);
  setMouseTracking(true);
  setFocusPolicy(Qt::ClickFocus);
  setContextMenuPolicy(Qt::CustomContextMenu);
}

QImage TChartCanvas::RenderFrame() {
  QImage image(size(), QImage::Format_RGB32);
  image.fill(Qt::black);
  QPainter painter(&image);
  if (OnPaint) OnPaint(painter, rect());
  return image;
}

void TChartCanvas::paintEvent(QPaintEvent* e) {
  QPainter painter(this);
  if (OnPaint)
    OnPaint(painter, e->rect());
  else
    painter.fillRect(e->rect(), palette().color(QPalette::Dark));
}

void TChartCanvas::mousePressEvent(QMouseEvent* e) {
  if (OnMousePress) OnMousePress(e);
}

void TChartCanvas::mouseMoveEvent(QMouseEvent* e) {
  if (OnMouseMove) OnMouseMove(e);
}

void TChartCanvas::mouseReleaseEvent(QMouseEvent* e) {
  if (OnMouseRelease) OnMouseRelease(e);
}

void TChartCanvas::mouseDoubleClickEvent(QMouseEvent* e) {
  if (OnDoubleClick) OnDoubleClick(e);
}

void TChartCanvas::wheelEvent(QWheelEvent* e) {
  if (OnWheel)
    OnWheel(e);
  else
    QWidget::wheelEvent(e);
}

void TChartCanvas::resizeEvent(QResizeEvent* e) {
  QWidget::resizeEvent(e);
  if (OnResize) OnResize(e->oldSize(), e->size());
}
