// The route's and the positions' symbols on the chart: their sizes, colours
// and modes, their places at each chart load and zoom, painting, the mouse
// and the hints on them, and their context menus. The logic is in
// plotter/core/ChartShapes.h; the commands on the lists are the route
// editor's (plotter/route/) and the positions' (plotter/positions/).
#pragma once

#include <memory>
#include <string>

#include "plotter/WindowServices.h"
#include "plotter/chartview/ChartOverlay.h"

class QMenu;
class QWidget;
class TChartShapes;
class TRoute;
class TWorldConvert;

class TChartSymbols final : public TWindowFeature, public IChartOverlay {
 public:
  TChartSymbols(const TWindowContext& c, TRoute& route, TRoute& positions, TWorldConvert& convert,
                QWidget& canvas);
  ~TChartSymbols() override;

  // The symbols' logic, with the hooks the editors set on it.
  TChartShapes& Shapes() { return *shapes_; }
  // The hint of the symbol under the mouse ("" when none).
  const std::string& ChartHint() const { return chartHint_; }
  // Sizes and colours from the settings and the shade, then the modes.
  void ApplyShapeSettings();
  // Info boxes and movability of the symbols for the window's state.
  void UpdateShapeModes();

  // The overlay.
  void ChartLoaded(const RChartInfo& chart, const TFPointArray& extendedCorners) override;
  void ZoomChanged() override;
  void Paint(ICanvas& canvas, TPoint scroll) override;
  bool MousePress(QMouseEvent* e, TPoint scroll) override;
  bool MouseMove(QMouseEvent* e, TPoint scroll) override;
  bool MouseRelease(QMouseEvent* e, TPoint scroll) override;
  bool DoubleClick(QMouseEvent* e, TPoint scroll) override;
  bool ContextMenu(const QPoint& pos, TPoint scroll) override;

 private:
  TRoute& route_;
  QWidget& canvas_;
  QAction& unlock_;
  QMenu* routePointMenu_;
  QMenu* positionMenu_;
  std::unique_ptr<TChartShapes> shapes_;
  std::string chartHint_;
};
