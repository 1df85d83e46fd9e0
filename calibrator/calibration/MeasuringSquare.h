// The measuring square of the calibration tool's map ("Stick" in the map's
// menu, shown with the start switch O letter S): "Show" toggles a square at
// the last right click; with Ctrl held, Page Up or keypad 9 enlarges it by
// one pixel, Page Down or keypad 3 shrinks it, and the arrow keys or keypad
// 4, 8, 6, 2 move it. "Calibrate", with exactly one reference point, adds two
// points a square's height above and a square's width to the right of it, a
// size in metres north and east.
#pragma once

#include <QObject>

#include "calibrator/mapview/MapView.h"

class TCalViews;
class TFormDialogs;
class TMapMouse;

class TMeasuringSquare : public QObject, public IMapOverlay {
 public:
  // The keys are the window's.
  TMeasuringSquare(QWidget& window, TCalibration& cal, TMapView& map, const TMapMouse& mouse, TCalViews& views,
                   TFormDialogs& dialogs);

  void StickShowClick();
  void StickCalibrateClick();
  // Gone (another chart is opened, or none).
  void Hide() { shown_ = false; }

  void PaintOverlay(ICanvas& canvas) override;

 private:
  void Move(int dx, int dy, int grow);

  TCalibration& cal_;
  TMapView& map_;
  const TMapMouse& mouse_;
  TCalViews& views_;
  TFormDialogs& dialogs_;
  // The square, in image pixels.
  bool shown_ = false;
  TFPoint centre_;
  int size_ = 40;
};
