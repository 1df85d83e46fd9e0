// The chart view: the mouse and the wheel on the chart, and the view's size
// changes (TChartDisplay, ChartDisplay.h). The symbols over the chart are
// offered the mouse first.
#include <QApplication>
#include <QFrame>
#include <QMouseEvent>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>

#include "geodesy/CTrans.h"
#include "instruments/NMEA.h"
#include "plotter/ChartCanvas.h"
#include "plotter/QtColour.h"
#include "plotter/chartview/ChartCursors.h"
#include "plotter/chartview/ChartDisplay.h"
#include "plotter/core/SysInfo.h"

namespace {
TFPoint ViewPointOf(const QPointF& p) { return {p.x(), p.y()}; }
}  // namespace

void TChartDisplay::ShowMouseCursor(const TFPoint& viewPoint) {
  if (flags_.Has(pfAutomatic)) {
    canvas_.setCursor(Qt::ArrowCursor);
    return;
  }
  const int mode =
      View.NearViewEdge(viewPoint, sys_.ChartEdge) ? ccPan : std::clamp(int(cursors_.CursorMode), 0, 4);
  const QCursor& c = cursors_.Of(mode);
  const QCursor shown = canvas_.cursor();
  if (shown.shape() != c.shape() || shown.pixmap().cacheKey() != c.pixmap().cacheKey()) canvas_.setCursor(c);
}

void TChartDisplay::ChartMousePress(QMouseEvent* e) {
  // A press on a position or route symbol is the symbol's.
  if (View.Drag() == TDragState::Idle)
    for (const auto& [level, overlay] : overlays_)
      if (overlay->MousePress(e, View.Scroll())) return;
  const TFPoint v = ViewPointOf(e->position());
  if (e->button() != Qt::LeftButton) {
    View.SetMouse(v);
    return;
  }
  SettleZoom();
  if (View.MouseDown(v) && !sys_.DragUpdate) {
    // The picture moves as it is while the chart is dragged.
    panFrame_ = canvas_.RenderFrame();
  }
}

void TChartDisplay::ChartMouseMove(QMouseEvent* e) {
  for (const auto& [level, overlay] : overlays_)
    if (overlay->MouseMove(e, View.Scroll())) return;
  const TFPoint v = ViewPointOf(e->position());
  const TChartView::TMove m = View.MouseMove(v);
  if (m.scrolled) {
    Repaint();
    return;
  }
  if (View.Drag() == TDragState::Panning) return;
  TFPoint pos;
  if (m.measureChanged) {
    canvas_.update();
    TFPoint start;
    if (o_.converter.PixelToGeo(View.MeasureStart(), start) && o_.converter.PixelToGeo(View.MeasureEnd(), pos)) {
      QPalette pal = QApplication::palette();
      pal.setColor(QPalette::Window, ToQColor(colours_.lime));
      markerBox_.setPalette(pal);
      markerBox_.setAutoFillBackground(true);
      ShowPositionInfo(pos, start);
    }
    return;
  }
  ShowMouseCursor(v);
  if (!MarkerShown && PositionAtView(v, pos)) {
    markerBox_.setPalette(QPalette());
    ShowPositionInfo(pos, o_.parser.Info.Pos);
  }
}

void TChartDisplay::ChartMouseRelease(QMouseEvent* e) {
  for (const auto& [level, overlay] : overlays_)
    if (overlay->MouseRelease(e, View.Scroll())) return;
  const TFPoint v = ViewPointOf(e->position());
  if (e->button() != Qt::LeftButton) return;
  const bool wasPanning = View.Drag() == TDragState::Panning;
  const bool repaint = View.MouseUp(v, sys_.DragUpdate);
  panFrame_ = QImage();
  if (repaint || wasPanning) Repaint();
}

void TChartDisplay::ChartDoubleClick(QMouseEvent* e) {
  if (e->button() != Qt::LeftButton) return;
  if (View.Drag() != TDragState::Measuring)
    for (const auto& [level, overlay] : overlays_)
      if (overlay->DoubleClick(e, View.Scroll())) return;
  const TFPoint v = ViewPointOf(e->position());
  View.SetMouse(v);
  TDoubleClickContext c;
  c.automatic = flags_.Has(pfAutomatic);
  c.nearEdge = View.NearViewEdge(v, sys_.ChartEdge);
  c.measureAction = DoubleClickMeasures();
  c.actionBoxShown = dashSet_.Has(TDashBox::DB_DBLCLK);
  c.routeEditor = flags_.Has(pfRouteEditor);
  c.markerShown = MarkerShown;
  switch (DecideDoubleClick(c)) {
    case TDoubleClickAction::ChartAtPoint:
      if (BestChartAtPoint(v, PreferredScale) < 0) CentreOnViewPoint(v);
      View.SetCentred();
      break;
    case TDoubleClickAction::ArmMeasure:
      View.ArmMeasure(v);
      break;
    case TDoubleClickAction::InsertRoutePoint:
      if (OnInsertRoutePoint) OnInsertRoutePoint(v);
      View.SetCentred();
      break;
    default:
      break;
  }
}

void TChartDisplay::ChartWheel(QWheelEvent* e) {
  e->accept();
  if (!sys_.MouseWheel) return;
  int delta = e->angleDelta().y();
  if (delta == 0) delta = e->angleDelta().x();
  if (sys_.ReverseWheelDir) delta = -delta;
  // A touchpad sends a notch in many small parts; only whole notches act.
  const int notches = View.AddWheel(delta);
  if (notches == 0) return;
  const TFPoint v = ViewPointOf(e->position());
  View.SetMouse(v);
  try {
    if ((e->buttons() & Qt::LeftButton) && flags_.Has(pfAutomatic) && flags_.Has(pfChartLoaded)) {
      // One chart change per wheel movement, however far it turned.
      if (notches > 0)
        SmallerScale1Click();
      else
        BestChartForBoatClick();
      return;
    }
    for (int i = 0, n = std::min(std::abs(notches), 4); i < n; ++i) ZoomStep(v, notches > 0 ? 1 : -1);
  } catch (...) {
  }
}

void TChartDisplay::ChartResized(const QSize& before, const QSize& after) {
  // The chart pixel in the middle of the view stays in the middle; when the
  // dashboard was collapsed or expanded the scroll offset stays instead.
  const TFPoint middle{View.Scroll().X + before.width() / 2.0, View.Scroll().Y + before.height() / 2.0};
  View.SetViewSize({after.width(), after.height()});
  if (View.HasChart() && before.isValid() && !before.isEmpty() && !keepScrollOnResize_) View.CentreOnPanelPoint(middle);
  flags_.Include(pfResized);
  window_.RequestRepaint();
}
