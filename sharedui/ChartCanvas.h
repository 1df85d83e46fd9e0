// A chart's paint box: it paints through its owner's callback and hands
// the mouse, the wheel and its size changes to it. The plotter's chart view
// is one viewport the size of the visible area, with scrolling an offset its
// painting takes into account; the calibration tool's map is the size of
// the zoomed image inside a scroll area.
#pragma once

#include <QWidget>

#include <functional>

class QPainter;

class TChartCanvas final : public QWidget {
  Q_OBJECT

 public:
  explicit TChartCanvas(QWidget* parent = nullptr);

  // Paints the view (the whole rectangle given is to be covered).
  std::function<void(QPainter& painter, const QRect& dirty)> OnPaint;
  std::function<void(QMouseEvent* e)> OnMousePress;
  std::function<void(QMouseEvent* e)> OnMouseMove;
  std::function<void(QMouseEvent* e)> OnMouseRelease;
  std::function<void(QMouseEvent* e)> OnDoubleClick;
  std::function<void(QWheelEvent* e)> OnWheel;
  // The size before and after a change.
  std::function<void(const QSize& before, const QSize& after)> OnResize;

  // Paints one frame into an image the size of the view (benchmarks,
  // screenshots and tests; the same code as on screen).
  QImage RenderFrame();

 protected:
  void paintEvent(QPaintEvent* e) override;
  void mousePressEvent(QMouseEvent* e) override;
  void mouseMoveEvent(QMouseEvent* e) override;
  void mouseReleaseEvent(QMouseEvent* e) override;
  void mouseDoubleClickEvent(QMouseEvent* e) override;
  void wheelEvent(QWheelEvent* e) override;
  void resizeEvent(QResizeEvent* e) override;
};
