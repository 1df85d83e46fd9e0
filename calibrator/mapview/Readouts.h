// The readouts of the calibration tool's side panel: the latitude "Lat" (H),
// longitude "Long" (W) and image pixel "X" (Xl), "Y" (Yl) under the pointer,
// the image size "H" (Hgt) and "W" (Wth), the positions of the upper left
// (ULLat, ULLong) and lower right (LRLat, LRLong) pixels, and on the
// "Border" page whether the pointer is inside the border (Inside).
#pragma once

#include "calibrator/calibration/CalViews.h"

class QLabel;
struct TFPoint;

struct TReadoutControls {
  QLabel& H;
  QLabel& W;
  QLabel& Xl;
  QLabel& Yl;
  QLabel& Hgt;
  QLabel& Wth;
  QLabel& ULLat;
  QLabel& ULLong;
  QLabel& LRLat;
  QLabel& LRLong;
  QLabel& Inside;
};

class TReadouts : public ICalView {
 public:
  TReadouts(const TReadoutControls& controls, const TCalibration& cal, const TSidePages& pages, TCalViews& views);
  // The readouts of the image pixel under the pointer.
  void ShowPointer(const TFPoint& imagePixel);
  // The image size and the corners.
  void Refresh() override;

 private:
  TReadoutControls c_;
  const TCalibration& cal_;
  TSidePages pages_;
};
