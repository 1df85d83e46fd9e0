#include "calibrator/mapview/MapMouse.h"

#include <QAction>
#include <QEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QTabWidget>

#include "calibrator/calibration/core/Calibration.h"
#include "calibrator/mapview/MapView.h"
#include "calibrator/mapview/Readouts.h"
#include "sharedui/ChartCanvas.h"

namespace {

TShapeMouse ShapeMouse(const QMouseEvent* e) {
  TShapeMouse m;
  m.At = {e->position().toPoint().x(), e->position().toPoint().y()};
  m.Button = e->button() == Qt::RightButton ? TShapeButton::Right : TShapeButton::Left;
  m.Shift = e->modifiers() & Qt::ShiftModifier;
  m.Ctrl = e->modifiers() & Qt::ControlModifier;
  return m;
}

}  // namespace

TMapMouse::TMapMouse(TMapView& map, const TCalibration& cal, const TSidePages& pages, IPointPage& refPoints,
                     IPointPage& borderPoints, TReadouts& readouts, const TMapMenus& menus)
    : map_(map),
      cal_(cal),
      pages_(pages),
      refPoints_(refPoints),
      borderPoints_(borderPoints),
      readouts_(readouts),
      menus_(menus) {
  TChartCanvas& canvas = map_.Canvas();
  canvas.OnMousePress = [this](QMouseEvent* e) { Press(e); };
  canvas.OnMouseMove = [this](QMouseEvent* e) { Move(e); };
  canvas.OnMouseRelease = [this](QMouseEvent* e) { Release(e); };
  canvas.OnDoubleClick = [this](QMouseEvent* e) { DoubleClick(e); };
  canvas.installEventFilter(this);
}

IPointPage& TMapMouse::ShownPage() const { return pages_.OnCalPage() ? refPoints_ : borderPoints_; }

// ---------------------------------------------------------------------------
// The map's menu

void TMapMouse::AddPointClick() {
  if (!cal_.IsOpen() || cal_.ReadOnly()) return;
  ShownPage().AddAt(lastRightClick_);
}

void TMapMouse::SelectClosestClick() { ShownPage().SelectClosest(lastRightClick_); }

void TMapMouse::DeleteSelectedClick() { ShownPage().DeleteSelected(); }

void TMapMouse::PageShown() {
  NameAddPoint();
  map_.Update();
}

void TMapMouse::NameAddPoint() {
  menus_.AddPoint.setText(pages_.OnCalPage() ? QStringLiteral("Add New Cal. Point")
                                             : QStringLiteral("Add New Border Point"));
}

void TMapMouse::ShowMapMenu(const QPoint& global) {
  NameAddPoint();
  const bool editable = cal_.IsOpen() && !cal_.ReadOnly();
  for (QAction* a : {&menus_.AddPoint, &menus_.DeleteSelected, &menus_.StickCalibrate}) a->setEnabled(editable);
  menus_.MapPopup.popup(global);
}

// ---------------------------------------------------------------------------
// The mouse

void TMapMouse::Press(QMouseEvent* e) {
  const TShapeMouse m = ShapeMouse(e);
  const TFPoint px = map_.ImagePixelAt(e->position().toPoint());
  // The markers of the page shown take the mouse first.
  IPointPage* owner = &ShownPage();
  TNavShape* shape = owner->Markers().ShapeAtPixel(m.At);
  if (!shape) {
    owner = owner == &refPoints_ ? &borderPoints_ : &refPoints_;
    shape = owner->Markers().ShapeAtPixel(m.At);
  }
  if (e->button() == Qt::RightButton) {
    lastRightClick_ = px;
    if (shape && cal_.IsOpen() && !cal_.ReadOnly()) {
      // The marker's own menu: "Delete Point" deletes that point.
      pages_.Tabs.setCurrentWidget(&owner->Page());
      owner->Select(shape->Index, false);
      menus_.MarkerPopup.popup(e->globalPosition().toPoint());
    } else {
      ShowMapMenu(e->globalPosition().toPoint());
    }
    return;
  }
  if (e->button() != Qt::LeftButton) return;
  if (shape && !cal_.ReadOnly()) {
    owner->Markers().PressOn(*shape, m);
    return;
  }
  dragging_ = true;
  dragStart_ = e->globalPosition().toPoint();
  dragScroll_ = map_.ScrollPosition();
  map_.Canvas().setCursor(Qt::ClosedHandCursor);
}

void TMapMouse::Move(QMouseEvent* e) {
  lastMouse_ = e->position().toPoint();
  overMap_ = true;
  const TShapeMouse m = ShapeMouse(e);
  if (map_.RefMarkers.MouseMove(m) || map_.BorderMarkers.MouseMove(m))
    map_.Update();
  else if (dragging_)
    map_.ScrollTo(dragScroll_ - (e->globalPosition().toPoint() - dragStart_));
  readouts_.ShowPointer(map_.ImagePixelAt(lastMouse_));
}

void TMapMouse::Release(QMouseEvent* e) {
  const TShapeMouse m = ShapeMouse(e);
  if (map_.RefMarkers.MouseUp(m) || map_.BorderMarkers.MouseUp(m)) {
    map_.Update();
    return;
  }
  if (dragging_) {
    dragging_ = false;
    map_.Canvas().unsetCursor();
  }
}

void TMapMouse::DoubleClick(QMouseEvent* e) {
  TNavShape::CancelDrag();
  map_.CentreOn(map_.ImagePixelAt(e->position().toPoint()));
}

bool TMapMouse::eventFilter(QObject* watched, QEvent* e) {
  if (watched == &map_.Canvas() && e->type() == QEvent::Leave) overMap_ = false;
  return QObject::eventFilter(watched, e);
}
