// What is drawn over the chart by the features other than the chart view:
// the route's and the positions' symbols, the track and the AIS targets.
// The chart view tells each overlay of a new chart and of a zoom, paints
// them in the order of their levels (the chart outlines between the symbols
// and the track, the boat above them all), and offers them the mouse before
// it takes it itself.
#pragma once

#include "foundation/Types.h"

class ICanvas;
class QMouseEvent;
class QPoint;
struct RChartInfo;

enum class TOverlayLevel { Symbols, Track, Targets };

class IChartOverlay {
 public:
  virtual ~IChartOverlay() = default;
  // A chart was loaded: its record and the positions of the pixels 100
  // beyond its corners.
  virtual void ChartLoaded(const RChartInfo& chart, const TFPointArray& extendedCorners) = 0;
  // The zoom changed: the screen points anew.
  virtual void ZoomChanged() = 0;
  // Draws over the chart; `scroll` is the view's offset in the zoomed chart.
  virtual void Paint(ICanvas& canvas, TPoint scroll) = 0;
  // The mouse on the chart before the chart takes it; true when taken.
  virtual bool MousePress(QMouseEvent*, TPoint /*scroll*/) { return false; }
  virtual bool MouseMove(QMouseEvent*, TPoint /*scroll*/) { return false; }
  virtual bool MouseRelease(QMouseEvent*, TPoint /*scroll*/) { return false; }
  virtual bool DoubleClick(QMouseEvent*, TPoint /*scroll*/) { return false; }
  // A context menu asked for at `pos` of the view; true when the overlay
  // showed its own.
  virtual bool ContextMenu(const QPoint& /*pos*/, TPoint /*scroll*/) { return false; }
};
