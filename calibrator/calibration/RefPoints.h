// The reference points of the calibration tool's window, on the "Cal" page:
// the list CPList, the position fields CalLat and CalLong, the pixel CalX,
// CalY, the one-pixel moves PV and PH, "Lock Lat && Long" (RefPosLock) and
// "Activate Changes" (BCalActivate), which fits the calibration through the
// points. Their markers on the map are dragged to move a point. None of the
// edits act on a read-only chart.
#pragma once

#include <QObject>

#include "calibrator/calibration/CalViews.h"

class QCheckBox;
class QLineEdit;
class QPushButton;
class QScrollBar;
class TMapView;
class TNavShape;
struct TCalActivation;

struct TRefPointControls {
  QListWidget& CPList;
  TPosEdit& CalLat;
  TPosEdit& CalLong;
  QLineEdit& CalX;
  QLineEdit& CalY;
  QCheckBox& RefPosLock;
  QPushButton& BCalActivate;
  QScrollBar& PV;
  QScrollBar& PH;
};

class TRefPoints : public QObject, public ICalView, public IPointPage {
 public:
  TRefPoints(const TRefPointControls& controls, const TSidePages& pages, TCalibration& cal, TMapView& map,
             TCalViews& views, TFormDialogs& dialogs);

  // "Activate Changes".
  void BCalActivateClick();
  // Leaving the "Cal" page activates what was edited there (with two
  // points or more on a chart that is not read-only).
  void ActivateOnLeave();

  QWidget& Page() override { return pages_.Cal; }
  TNavShapeCollection& Markers() override;
  void Select(int index, bool centre) override;
  void AddAt(const TFPoint& pixel) override;
  void SelectClosest(const TFPoint& pixel) override;
  void DeleteSelected() override;

  void Refresh() override;
  bool FieldsComplete() override;

 private:
  void RefreshList();
  void RefreshFields();
  void FieldEdited();
  void ScrollBarMoved();
  void MarkerDropped(TNavShape& marker);
  void ShowActivation(const TCalActivation& a);

  TRefPointControls c_;
  TSidePages pages_;
  TCalibration& cal_;
  TMapView& map_;
  TCalViews& views_;
  TFormDialogs& dialogs_;
  // The fields are being filled (their signals are not the user's).
  bool updating_ = false;
};
