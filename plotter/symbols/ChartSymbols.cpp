#include "plotter/symbols/ChartSymbols.h"

#include <QAction>
#include <QMenu>
#include <QMouseEvent>
#include <QToolTip>
#include <QWidget>

#include "charts/ChartInfo.h"
#include "navobjects/Routes.h"
#include "plotter/core/ChartShapes.h"
#include "plotter/core/SysInfo.h"

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

TChartSymbols::TChartSymbols(const TWindowContext& c, TRoute& route, TRoute& positions, TWorldConvert& convert,
                             QWidget& canvas)
    : TWindowFeature(c),
      route_(route),
      canvas_(canvas),
      unlock_(Item("WPUnlock")),
      routePointMenu_(window_.SubMenu("DelRtePopup")),
      positionMenu_(window_.SubMenu("DelWPPopup")),
      shapes_(std::make_unique<TChartShapes>(route, positions, convert)) {
  shapes_->OnRepaint = [this] { canvas_.update(); };
  // A dragged symbol's new place is its position; the list is changed.
  shapes_->OnPositionMoved = [this](TNavShape&) { window_.RequestRepaint(); };
}

TChartSymbols::~TChartSymbols() = default;

void TChartSymbols::ApplyShapeSettings() {
  shapes_->ApplySettings(sys_, colours_);
  UpdateShapeModes();
}

void TChartSymbols::UpdateShapeModes() {
  TShapeModes m = shapes_->Modes();
  m.routeEditor = flags_.Has(pfRouteEditor);
  m.automatic = flags_.Has(pfAutomatic);
  m.positionsUnlocked = unlock_.isChecked();
  m.waypointInfobox = sys_.WaypointInfobox;
  m.routeInfobox = sys_.RouteInfobox;
  shapes_->ApplyModes(m);
}

void TChartSymbols::ChartLoaded(const RChartInfo& chart, const TFPointArray& extendedCorners) {
  shapes_->ChartLoaded(chart.Layout.Bounds, extendedCorners);
}

void TChartSymbols::ZoomChanged() { shapes_->Replace(); }

void TChartSymbols::Paint(ICanvas& canvas, TPoint scroll) { shapes_->Paint(canvas, scroll); }

bool TChartSymbols::MousePress(QMouseEvent* e, TPoint scroll) {
  if (!flags_.Has(pfChartLoaded)) return false;
  // A right press selects the symbol; its menu opens with the context
  // menu request that follows (ContextMenu).
  if (!shapes_->Press(ShapeMouseOf(e, scroll))) return false;
  QToolTip::hideText();
  chartHint_.clear();
  return true;
}

bool TChartSymbols::ContextMenu(const QPoint& pos, TPoint scroll) {
  if (!flags_.Has(pfChartLoaded)) return false;
  const TNavShape* s = shapes_->ShapeAt({pos.x() + scroll.X, pos.y() + scroll.Y});
  if (!s) return false;
  QMenu* menu = s->Owner == &route_ ? routePointMenu_ : positionMenu_;
  if (menu) menu->popup(canvas_.mapToGlobal(pos));
  return true;
}

bool TChartSymbols::MouseMove(QMouseEvent* e, TPoint scroll) {
  const TShapeMouse m = ShapeMouseOf(e, scroll);
  if (shapes_->Move(m)) return true;
  // Resting on a symbol: its name as the hint.
  if (e->buttons() != Qt::NoButton) return false;
  const std::string hint = shapes_->HintAt(m.At);
  if (hint == chartHint_) return false;
  chartHint_ = hint;
  if (hint.empty())
    QToolTip::hideText();
  else
    QToolTip::showText(e->globalPosition().toPoint(), PlainHint(hint), &canvas_);
  return false;
}

bool TChartSymbols::MouseRelease(QMouseEvent* e, TPoint scroll) {
  return shapes_->Release(ShapeMouseOf(e, scroll));
}

bool TChartSymbols::DoubleClick(QMouseEvent* e, TPoint scroll) {
  if (!flags_.Has(pfChartLoaded)) return false;
  return shapes_->DoubleClick(ShapeMouseOf(e, scroll));
}
