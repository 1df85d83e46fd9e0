// The magnifier of the calibration tool's side panel (ZoomImg): every
// 100 ms (MagnifierTimer), unless the window is minimised, the map around
// the pointer (kept on the map) at three times its size, with a cross at the
// pointer.
#pragma once

#include <QObject>

class QLabel;
class QTimer;
class QWidget;
class TCalibration;
class TChartCanvas;
class TMapMouse;

class TMagnifier : public QObject {
 public:
  // Starts the timer.
  TMagnifier(QLabel& zoomImg, QTimer& timer, const QWidget& window, TChartCanvas& mapCanvas, const TCalibration& cal,
             const TMapMouse& mouse);

 private:
  void Update();

  QLabel& zoomImg_;
  const QWidget& window_;
  TChartCanvas& mapCanvas_;
  const TCalibration& cal_;
  const TMapMouse& mouse_;
};
