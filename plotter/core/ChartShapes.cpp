#include "plotter/core/ChartShapes.h"

#include <algorithm>

#include "foundation/GenUtil.h"
#include "geodesy/CTrans.h"
#include "plotter/core/Dashboard.h"
#include "plotter/core/SysInfo.h"

namespace {

int SizeOf(const std::array<int, 4>& table, int index) {
  return table[static_cast<size_t>(std::clamp(index, 0, 3))];
}

}  // namespace

TChartShapes::TChartShapes(TRoute& route, TRoute& positions, TWorldConvert& convert)
    : route_(route), positions_(positions), convert_(convert) {
  positions_.IsPositions = true;
  route_.Convert = &convert_;
  positions_.Convert = &convert_;
  positions_.NormalStyle.Shape = positions_.SelectedStyle.Shape = kPositionShape;
  route_.NormalStyle.Shape = kRouteShape;
  route_.SelectedStyle.Shape = kRouteSelectedShape;
  route_.NormalStyle.Width = route_.SelectedStyle.Width = 2;
  // Every symbol tells its name when the pointer rests on it.
  positions_.SetNameMode(true);
  route_.SetNameMode(true);
  Wire();
  ApplyModes(modes_);
}

void TChartShapes::Wire() {
  positions_.OnClick = [this](TNavShape& s, const TShapeMouse& m) { PositionClick(s, m); };
  positions_.OnDblClick = [this](TNavShape& s, const TShapeMouse&) {
    if (OnPositionEdit) OnPositionEdit(s);
  };
  positions_.OnMouseMove = [this](TNavShape&, const TShapeMouse&) { Repaint(); };
  positions_.OnMouseUp = [this](TNavShape& s, const TShapeMouse&) { Dropped(positions_, s); };
  route_.OnClick = [this](TNavShape& s, const TShapeMouse& m) { RoutePointClick(s, m); };
  route_.OnMouseMove = [this](TNavShape&, const TShapeMouse&) { Repaint(); };
  route_.OnMouseUp = [this](TNavShape& s, const TShapeMouse&) { Dropped(route_, s); };
  route_.OnInvalidate = positions_.OnInvalidate = [this] { Repaint(); };
}

void TChartShapes::Repaint() const {
  if (OnRepaint) OnRepaint();
}

void TChartShapes::ApplySettings(const RSysInfo& sys, const TWindowColours& c) {
  route_.NormalStyle.Color = c.routeNormal;
  route_.SelectedStyle.Color = c.routeSelect;
  positions_.NormalStyle.Color = c.waypointNormal;
  positions_.SelectedStyle.Color = c.waypointSelect;
  route_.SetSizeAll(SizeOf(kRouteSymbolSizes, sys.RouteSize));
  positions_.SetSizeAll(SizeOf(kPositionSymbolSizes, sys.WaypointSize));
  legColour_ = c.routeNormal;
  legWidth_ = std::clamp(sys.RouteLineWidth, 0, 6);
  route_.Follow.PreloadSeconds = sys.RoutePreload;
  route_.Follow.Force = sys.RouteForce;
  route_.Follow.WaypointAck = sys.RouteWPAck;
  for (TRoute* list : {&route_, &positions_}) {
    list->Options.DefaultSpeed = sys.DefaultSpeed;
    list->Options.DefaultXTE = sys.DefaultXTE;
    list->Options.DeviceNameMode = sys.APCapability;
    list->StyleAll();
  }
  modes_.waypointInfobox = sys.WaypointInfobox;
  modes_.routeInfobox = sys.RouteInfobox;
  ApplyModes(modes_);
}

void TChartShapes::ApplyModes(const TShapeModes& modes) {
  modes_ = modes;
  // Symbols that may not be dragged take no mouse at all: a press on them
  // pans the chart, a double click goes to the chart (in the route editor it
  // inserts a route point there). Their names still show as hints.
  const bool positionsMovable = modes.positionsUnlocked && !modes.routeEditor && !modes.automatic;
  positions_.SetMode(modes.waypointInfobox && !modes.routeEditor, positionsMovable);
  positions_.SetLockedAll(!positionsMovable);
  if (modes.routeEditor || modes.automatic) {
    positions_.SetSelectedAll(false);
    positions_.StyleAll();
  }
  route_.SetMode(modes.routeInfobox, modes.routeEditor);
  route_.SetLockedAll(!modes.routeEditor);
  Repaint();
}

void TChartShapes::ChartLoaded(const TFRect& bounds, const TFPointArray& extendedCorners) {
  route_.SetViewRect(bounds);
  positions_.SetViewPolygon(extendedCorners);
  Replace();
}

void TChartShapes::Replace() {
  TNavShape::CancelDrag();
  route_.PlacePoints();
  positions_.PlacePoints();
}

TPen TChartShapes::LegPen() const {
  if (legWidth_ <= 0) return {ColorToRGB(legColour_), 1, TPenStyle::DashDotDot};
  return {ColorToRGB(legColour_), legWidth_, TPenStyle::Solid};
}

void TChartShapes::Paint(ICanvas& canvas, TPoint scroll) const {
  if (route_.Count() >= 2) route_.PaintLegs(canvas, scroll, LegPen());
  TShapePainter p(canvas, scroll);
  positions_.PaintAll(p);
  route_.PaintAll(p);
}

TNavShape* TChartShapes::ShapeAt(TPoint panel) const {
  if (TNavShape* s = route_.ShapeAtPixel(panel)) return s;
  return positions_.ShapeAtPixel(panel);
}

bool TChartShapes::Press(const TShapeMouse& m, TShapeMenu* menu) {
  if (menu) *menu = TShapeMenu::None;
  TNavShape* s = ShapeAt(m.At);
  if (!s) return false;
  TRoute& list = s->Owner == &route_ ? route_ : positions_;
  if (m.Button == TShapeButton::Right) {
    // The right button selects the symbol as a click does, then its menu
    // opens; it never drags.
    if (&list == &route_)
      RoutePointClick(*s, {m.At, m.Button, false, false});
    else
      PositionClick(*s, {m.At, m.Button, false, false});
    if (menu) *menu = &list == &route_ ? TShapeMenu::RoutePoint : TShapeMenu::Position;
    return true;
  }
  if (m.Button != TShapeButton::Left) return false;
  list.PressOn(*s, m);
  return true;
}

bool TChartShapes::Move(const TShapeMouse& m) { return route_.MouseMove(m) || positions_.MouseMove(m); }

bool TChartShapes::Release(const TShapeMouse& m) { return route_.MouseUp(m) || positions_.MouseUp(m); }

bool TChartShapes::DoubleClick(const TShapeMouse& m) {
  TNavShape* s = ShapeAt(m.At);
  if (!s) return false;
  s->DblClick(m);
  return true;
}

std::string TChartShapes::HintAt(TPoint panel) const {
  const TNavShape* s = route_.HintShapeAt(panel);
  if (!s) s = positions_.HintShapeAt(panel);
  if (!s || s->Caption.empty()) return {};
  std::string hint = s->Caption;
  if (!s->Comment.empty()) {
    hint += '\n';
    hint += s->Comment;
  }
  return hint;
}

TNavShape* TChartShapes::SelectedPosition() const {
  return positions_.Holds(selectedPosition_) ? selectedPosition_ : nullptr;
}

TNavShape* TChartShapes::SelectedRoutePoint() const {
  return route_.Holds(selectedRoutePoint_) ? selectedRoutePoint_ : nullptr;
}

void TChartShapes::PositionClick(TNavShape& s, const TShapeMouse& m) {
  if (m.Ctrl) {
    s.Selected = !s.Selected;
  } else {
    positions_.Select(&s);
  }
  selectedPosition_ = &s;
  positions_.StyleAll();
  if (OnPositionClicked) OnPositionClicked(s);
  Repaint();
}

void TChartShapes::RoutePointClick(TNavShape& s, const TShapeMouse& m) {
  TNavShape* previous = SelectedRoutePoint();
  if (m.Ctrl) {
    s.Selected = !s.Selected;
  } else if (m.Shift && previous) {
    const int from = std::min(previous->Index, s.Index), to = std::max(previous->Index, s.Index);
    for (int i = from; i <= to; ++i)
      if (TNavShape* p = route_.At(i)) p->Selected = true;
  } else {
    route_.Select(&s);
  }
  selectedRoutePoint_ = &s;
  route_.StyleAll();
  if (OnRoutePointClicked) OnRoutePointClicked(s);
  Repaint();
}

void TChartShapes::Dropped(TRoute& list, TNavShape& s) {
  TFPoint pos;
  if (convert_.Valid && convert_.PixelToGeo({double(s.PosX()), double(s.PosY())}, pos)) {
    NormAngleSigned(pos.X);
    s.Position = pos;
    list.Modified = true;
  }
  // Legs and visibility follow the point's new place.
  list.RecomputeView();
  list.PlacePoints();
  if (&list == &positions_) {
    if (OnPositionMoved) OnPositionMoved(s);
  } else if (OnRoutePointMoved) {
    OnRoutePointMoved(s);
  }
  Repaint();
}

void TChartShapes::DeletePoint(TRoute& list, TNavShape& s) {
  list.Delete(&s);
  list.RecomputeView();
  list.PlacePoints();
  list.Modified = true;
}

bool TChartShapes::DeleteSelectedPosition() {
  TNavShape* s = SelectedPosition();
  if (!s || !s->Selected) return false;
  DeletePoint(positions_, *s);
  selectedPosition_ = nullptr;
  return true;
}

bool TChartShapes::DeleteClickedRoutePoint() {
  TNavShape* s = SelectedRoutePoint();
  if (!s || route_.Following) return false;
  DeletePoint(route_, *s);
  selectedRoutePoint_ = nullptr;
  return true;
}
