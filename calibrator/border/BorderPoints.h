// The border points of the calibration tool's window, on the "Border" page:
// the list BDList, the position fields BorderLat and BorderLong, "Set border
// to Image" and "Show Borderline" (BDLineShow), which draws the border on
// the map. Their markers on the map are dragged to move a point. Border
// points are placed through a fitted calibration; none of the edits act on
// a read-only chart.
#pragma once

#include <QObject>

#include "calibrator/calibration/CalViews.h"
#include "calibrator/mapview/MapView.h"

class QCheckBox;
class QPushButton;

struct TBorderPointControls {
  QListWidget& BDList;
  TPosEdit& BorderLat;
  TPosEdit& BorderLong;
  QPushButton& SetBorderButton;
  QCheckBox& BDLineShow;
};

class TBorderPoints : public QObject, public ICalView, public IPointPage, public IMapOverlay {
 public:
  TBorderPoints(const TBorderPointControls& controls, const TSidePages& pages, TCalibration& cal, TMapView& map,
                TCalViews& views, TFormDialogs& dialogs);

  // "Set border to Image": four points 5 pixels inside the image's corners.
  void SetBorderToImageClick();

  QWidget& Page() override { return pages_.Border; }
  TNavShapeCollection& Markers() override { return map_.BorderMarkers; }
  void Select(int index, bool centre) override;
  void AddAt(const TFPoint& pixel) override;
  void SelectClosest(const TFPoint& pixel) override;
  void DeleteSelected() override;

  void Refresh() override;
  bool FieldsComplete() override;
  // The border line, when "Show Borderline" is ticked.
  void PaintOverlay(ICanvas& canvas) override;

 private:
  void RefreshList();
  void RefreshFields();
  void FieldEdited();
  void MarkerDropped(TNavShape& marker);

  TBorderPointControls c_;
  TSidePages pages_;
  TCalibration& cal_;
  TMapView& map_;
  TCalViews& views_;
  TFormDialogs& dialogs_;
  // The fields are being filled (their signals are not the user's).
  bool updating_ = false;
};
