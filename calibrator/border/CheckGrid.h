// The check grid of the calibration tool's map, chosen on the "Cal" page
// (ShowGrid: "No Grid", "Loose Grid", "Normal Grid", "Tight Grid"): lines of
// latitude and longitude drawn through the fit, dashed, to check it.
#pragma once

#include <QObject>

#include "calibrator/calibration/CalViews.h"
#include "calibrator/mapview/MapView.h"

class QComboBox;

class TCheckGrid : public QObject, public ICalView, public IMapOverlay {
 public:
  TCheckGrid(QComboBox& showGrid, const TCalibration& cal, TMapView& map, TCalViews& views);

  // The grid as drawn (image pixels).
  const TCalGrid& Shown() const { return grid_; }

  // The grid through the fit as it is now.
  void Refresh() override;
  void PaintOverlay(ICanvas& canvas) override;

 private:
  QComboBox& showGrid_;
  const TCalibration& cal_;
  TMapView& map_;
  TCalGrid grid_;
};
