// The main window's side of the route and positions on the chart: the
// symbols' handlers wired at start, their settings, their placement at each
// chart load and zoom, painting, the mouse and the hints on them, their
// context menus, and the positions' unlock and delete commands. The logic
// lives in plotter/core/ChartShapes.h; this file only connects it to the
// window.
#include <QAction>
#include <QMenu>
#include <QMouseEvent>
#include <QToolTip>

#include "geodesy/CTrans.h"
#include "navobjects/Routes.h"
#include "navobjects/Trace.h"
#include "platform/Questions.h"
#include "plotter/MainForm.h"
#include "plotter/core/ChartShapes.h"
#include "plotter/core/CloseQuery.h"

namespace {

TShapeMouse ShapeMouseOf(const QMouseEvent* e, TPoint scroll) {
  TShapeMouse m;
  m.At = {static_cast<int32_t>(e->position().x()) + scroll.X, static_cast<int32_t>(e->position().y()) + scroll.Y};
  switch (e->button()) {
    case Qt::RightButton:
      m.Button = TShapeButton::Right;
      break;
    case Qt::MiddleButton:
      m.Button = TShapeButton::Middle;
      break;
    default:
      m.Button = TShapeButton::Left;
  }
  m.Shift = e->modifiers().testFlag(Qt::ShiftModifier);
  m.Ctrl = e->modifiers().testFlag(Qt::ControlModifier);
  return m;
}

// A hint shown as plain text: names from files may hold "<" and "&".
QString PlainHint(const std::string& text) {
  return QStringLiteral("<p style='white-space:pre'>") + QString::fromStdString(text).toHtmlEscaped() +
         QStringLiteral("</p>");
}

}  // namespace

void T_Form::SetUpShapes() {
  if (!Route || !Positions || !Converter) return;
  Shapes = std::make_unique<TChartShapes>(*Route, *Positions, *Converter);
  // Route following writes its entries to the log book.
  Route->LogBook = LogBook.get();
  // The text and exchange formats ask before they take a file of another
  // datum (No declines the file and leaves the list as it was).
  for (TRoute* list : {Route.get(), Positions.get()})
    list->Options.ConfirmOtherDatum = [] { return AskYesNo(kOtherDatumQuestion); };
  Shapes->OnRepaint = [this] {
    if (MapCanvas) MapCanvas->update();
  };
  // A dragged symbol's new place is its position; the list is changed.
  Shapes->OnPositionMoved = [this](TNavShape&) { RequestRepaint(); };
  // The route editor follows clicks and drags on the route points.
  WireRoutePointEvents();
  // A double-click on a position's symbol opens the position editor.
  Shapes->OnPositionEdit = [this](TNavShape& s) { EditPosition(&s); };
}

void T_Form::ApplyShapeSettings() {
  if (!Shapes) return;
  Shapes->ApplySettings(SysInfo, Colours);
  UpdateShapeModes();
}

void T_Form::UpdateShapeModes() {
  if (!Shapes) return;
  TShapeModes m = Shapes->Modes();
  m.routeEditor = PlotterFlags.Has(pfRouteEditor);
  m.automatic = PlotterFlags.Has(pfAutomatic);
  m.positionsUnlocked = tickMenus_.wpUnlock && tickMenus_.wpUnlock->isChecked();
  m.waypointInfobox = SysInfo.WaypointInfobox;
  m.routeInfobox = SysInfo.RouteInfobox;
  Shapes->ApplyModes(m);
}

void T_Form::PlaceShapesForChart() {
  if (Shapes) Shapes->ChartLoaded(ChartInfo.Layout.Bounds, ExtendedCorners);
}

void T_Form::ReplaceShapes() {
  if (Shapes) Shapes->Replace();
}

void T_Form::PaintShapes(ICanvas& canvas) {
  if (Shapes) Shapes->Paint(canvas, View.Scroll());
}

bool T_Form::ShapesMousePress(QMouseEvent* e) {
  if (!Shapes || !PlotterFlags.Has(pfChartLoaded)) return false;
  // A right press selects the symbol; its menu opens with the context
  // menu request that follows (ShapeContextMenu).
  if (!Shapes->Press(ShapeMouseOf(e, View.Scroll()))) return false;
  QToolTip::hideText();
  chartHint_.clear();
  return true;
}

bool T_Form::ShapeContextMenu(const QPoint& pos) {
  if (!Shapes || !PlotterFlags.Has(pfChartLoaded)) return false;
  const TPoint scroll = View.Scroll();
  const TNavShape* s = Shapes->ShapeAt({pos.x() + scroll.X, pos.y() + scroll.Y});
  if (!s) return false;
  QMenu* menu = s->Owner == Route.get() ? DelRtePopup : DelWPPopup;
  if (menu) menu->popup(MapCanvas->mapToGlobal(pos));
  return true;
}

bool T_Form::ShapesMouseMove(QMouseEvent* e) {
  if (!Shapes) return false;
  const TShapeMouse m = ShapeMouseOf(e, View.Scroll());
  if (Shapes->Move(m)) return true;
  // Resting on a symbol: its name as the hint.
  if (e->buttons() != Qt::NoButton) return false;
  const std::string hint = Shapes->HintAt(m.At);
  if (hint == chartHint_) return false;
  chartHint_ = hint;
  if (hint.empty())
    QToolTip::hideText();
  else
    QToolTip::showText(e->globalPosition().toPoint(), PlainHint(hint), MapCanvas);
  return false;
}

bool T_Form::ShapesMouseRelease(QMouseEvent* e) {
  if (!Shapes) return false;
  return Shapes->Release(ShapeMouseOf(e, View.Scroll()));
}

bool T_Form::ShapesDoubleClick(QMouseEvent* e) {
  if (!Shapes || !PlotterFlags.Has(pfChartLoaded)) return false;
  return Shapes->DoubleClick(ShapeMouseOf(e, View.Scroll()));
}

// ---------------------------------------------------------------------------
// The positions' commands

void T_Form::WPUnlockClick() {
  // The tick has toggled itself.
  UpdateStatus();
  if (Positions) {
    Positions->SetSelectedAll(false);
    Positions->StyleAll();
  }
  RequestRepaint();
}

void T_Form::WPDelSelectClick() {
  if (!Positions || !Shapes || !tickMenus_.wpUnlock || !tickMenus_.wpUnlock->isChecked()) return;
  if (Positions->SelectedCount() == 0) return;
  Positions->DeleteSelected();
  Positions->Modified = true;
  Shapes->SetSelectedPosition(nullptr);
  FillPositionList(false);
  RequestRepaint();
}

void T_Form::MenuItem5Click() {
  if (!Shapes || !Shapes->DeleteSelectedPosition()) return;
  FillPositionList(false);
  Repaint();
}

void T_Form::Delete1Click() {
  if (Shapes && Shapes->DeleteClickedRoutePoint()) AfterRouteEdit(nullptr);
}

void T_Form::WPClearMnuClick() {
  if (!Positions || !Shapes || !AskListSaved(*Positions, msgPositions, Messages)) return;
  Positions->Clear();
  Shapes->SetSelectedPosition(nullptr);
  FillPositionList();
  Repaint();
}

void T_Form::RteClear1Click() {
  if (!Route || !Shapes || Route->Following || !AskListSaved(*Route, msgRoute, Messages)) return;
  Route->Clear();
  AfterRouteEdit(nullptr);
}

void T_Form::WireShapeCommands() {
  WireCommand("WPUnlock", &T_Form::WPUnlockClick);
  WireCommand("WPDeleteSelected", &T_Form::WPDelSelectClick);
  WireCommand("DeleteWP", &T_Form::WPDelSelectClick);
  WireCommand("DelWPWaypoint", &T_Form::MenuItem5Click);
  WireCommand("DelRteWaypoint", &T_Form::Delete1Click);
  WireCommand("WPClear", &T_Form::WPClearMnuClick);
  WireCommand("FMRouteClear", &T_Form::RteClear1Click);
  WireCommand("RFClearRoute", &T_Form::RteClear1Click);
}
