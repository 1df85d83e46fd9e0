// The mouse on the calibration tool's map. The markers of the page shown
// take it first, then those of the other page: dragging a marker moves its
// point, a right click on one selects it (on its page) and opens its menu
// ("Delete Point"). Elsewhere dragging pans the view, a right click opens
// the map's menu (MapPopup) and a double click centres the view. Moving
// shows the readouts under the pointer. The map's menu acts at the last
// right click, on the points of the page shown.
#pragma once

#include <QObject>
#include <QPoint>

#include "calibrator/calibration/CalViews.h"
#include "foundation/Types.h"

class QAction;
class QMenu;
class QMouseEvent;
class TMapView;
class TReadouts;

struct TMapMenus {
  QMenu& MapPopup;
  QMenu& MarkerPopup;
  // The items of the map's menu that follow the page or the chart.
  QAction& AddPoint;
  QAction& DeleteSelected;
  QAction& StickCalibrate;
};

class TMapMouse : public QObject {
 public:
  TMapMouse(TMapView& map, const TCalibration& cal, const TSidePages& pages, IPointPage& refPoints,
            IPointPage& borderPoints, TReadouts& readouts, const TMapMenus& menus);

  // ---- the map's menu, at the last right click ----
  // "Add New Cal. Point" / "Add New Border Point", "Select Closest",
  // "Delete Selected" (and the marker's "Delete Point").
  void AddPointClick();
  void SelectClosestClick();
  void DeleteSelectedClick();
  // The page shown has changed: the menu's caption follows it.
  void PageShown();

  // ---- the pointer ----
  // The last right click on the map, in image pixels.
  TFPoint LastRightClick() const { return lastRightClick_; }
  // Whether the pointer is over the map, and where (map point).
  bool OverMap() const { return overMap_; }
  QPoint Pointer() const { return lastMouse_; }

 protected:
  bool eventFilter(QObject* watched, QEvent* e) override;

 private:
  IPointPage& ShownPage() const;
  void Press(QMouseEvent* e);
  void Move(QMouseEvent* e);
  void Release(QMouseEvent* e);
  void DoubleClick(QMouseEvent* e);
  void ShowMapMenu(const QPoint& global);
  void NameAddPoint();

  TMapView& map_;
  const TCalibration& cal_;
  TSidePages pages_;
  IPointPage& refPoints_;
  IPointPage& borderPoints_;
  TReadouts& readouts_;
  TMapMenus menus_;
  bool dragging_ = false;
  QPoint dragStart_;
  QPoint dragScroll_;
  TFPoint lastRightClick_;
  QPoint lastMouse_;
  bool overMap_ = false;
};
