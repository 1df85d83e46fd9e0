// The chart view: painting the chart and what lies over it (TChartDisplay,
// ChartDisplay.h). The chart itself (the pager's strips or an image
// chart's picture), then the overlays below the chart outlines (the route's
// and the positions' symbols), the outlines, the overlays above them (the
// track, the AIS targets), the marker, the boat with its rings, speed mark,
// heading stick and wind arrow, and the measuring line.
#include <QPainter>
#include <QRegion>

#include <algorithm>
#include <cmath>

#include "charts/BMPager.h"
#include "charts/ChartGeo.h"
#include "charts/ChartList.h"
#include "foundation/GenUtil.h"
#include "geodesy/CTrans.h"
#include "instruments/AIS.h"
#include "instruments/NMEA.h"
#include "platform/qt/QtCanvas.h"
#include "plotter/ChartCanvas.h"
#include "plotter/chartview/ChartDisplay.h"
#include "plotter/core/AisDisplay.h"
#include "plotter/core/SysInfo.h"

void TChartDisplay::PaintChart(QPainter& painter, const QRect& dirty) {
  const QColor background = canvas_.palette().color(QPalette::Dark);
  if (View.Drag() == TDragState::Panning && !sys_.DragUpdate && !panFrame_.isNull()) {
    // Dragging without updates: the last picture, moved with the mouse.
    painter.fillRect(dirty, background);
    const TPoint shift = View.PanShift();
    painter.drawImage(QPoint(shift.X, shift.Y), panFrame_);
    return;
  }
  if (!flags_.Has(pfChartLoaded) || !View.HasChart()) {
    painter.fillRect(dirty, background);
    return;
  }
  View.SetViewSize(ViewSize());
  const TPoint scroll = View.Scroll();
  if (!zoomFrame_.isNull() && zoomFrameZoom_ > 0) {
    // Between zoom steps: the picture from before them, scaled so that
    // every chart point lies where it lies at the new zoom.
    const double k = View.Zoom() / zoomFrameZoom_;
    painter.fillRect(dirty, background);
    const QRectF target(zoomFrameScroll_.X * k - scroll.X, zoomFrameScroll_.Y * k - scroll.Y,
                        zoomFrame_.width() * k, zoomFrame_.height() * k);
    painter.save();
    painter.setClipRect(dirty);
    painter.drawImage(target, zoomFrame_);
    painter.restore();
    PaintOverlays(painter);
    return;
  }
  const TPoint panel = View.PanelSize();
  const QRect chartRect(-scroll.X, -scroll.Y, panel.X, panel.Y);
  // Around a chart smaller than the view: the background.
  const QRegion outside = QRegion(dirty).subtracted(QRegion(chartRect));
  for (const QRect& r : outside) painter.fillRect(r, background);

  painter.save();
  painter.setClipRect(dirty);
  TBitmapPager& pager = o_.pager;
  if (ChartKind == TChartKind::Image) {
    const QRect target = chartRect.intersected(dirty);
    if (!ChartImage.isNull() && !target.isEmpty()) {
      const double sx = double(ChartImage.width()) / panel.X, sy = double(ChartImage.height()) / panel.Y;
      const QRectF source((target.x() + scroll.X) * sx, (target.y() + scroll.Y) * sy, target.width() * sx,
                          target.height() * sy);
      painter.drawImage(QRectF(target), ChartImage, source);
    }
  } else if (pager.Active) {
    // The pager draws in the zoomed chart's coordinates.
    painter.translate(-scroll.X, -scroll.Y);
    TQtCanvas canvas(painter, panel.X, panel.Y);
    pager.SetCanvas(&canvas);
    pager.Zoom = View.Zoom();
    pager.SetDestRect({scroll.X, scroll.Y}, {ViewSize().X, ViewSize().Y});
    pager.Draw();
    pager.SetCanvas(nullptr);
  }
  painter.restore();
  if (!paintChartOnly_) PaintOverlays(painter);
}

void TChartDisplay::PaintOutlines(QPainter& painter) {
  TWorldConvert& converter = o_.converter;
  if (!converter.Valid) return;
  const int32_t scale = ChartInfo.Layout.Scale;
  const int32_t smallest = OutlineMinimumScale(scale, sys_.OutlineFactor, View.Zoom());
  const TFRect& bounds = ChartInfo.Layout.Bounds;
  TQtCanvas canvas(painter, ViewSize().X, ViewSize().Y);
  canvas.SetPen({ColorToRGB(colours_.outline), 1, TPenStyle::Solid});
  canvas.SetBrush({0, TBrushStyle::None});
  std::vector<TCanvasPoint> points;
  const TPoint scroll = View.Scroll();
  const TChartList& catalog = o_.catalog;
  for (int i = 0; i < catalog.Count(); ++i) {
    const RChartLayout* e = catalog.Entry(i);
    if (!e || e->Scale < smallest || e->Scale > scale || e->Border.size() < 2) continue;
    if (!FRectsIntersect(e->Bounds, bounds)) continue;
    if (sys_.BrowseGroups != 0 && (e->GroupMask & sys_.BrowseGroups) == 0) continue;
    points.clear();
    bool ok = true;
    for (const TFPoint& b : e->Border) {
      TFPoint px;
      if (!converter.GeoToPixel(b, px)) {
        ok = false;
        break;
      }
      const TPoint r = RoundFPoint({px.X - scroll.X, px.Y - scroll.Y});
      points.push_back({r.X, r.Y});
    }
    if (!ok) continue;
    points.push_back(points.front());
    canvas.DrawPolyline(points.data(), points.size());
  }
}

void TChartDisplay::PaintOverlays(QPainter& painter) {
  // The route legs, the position and route symbols; the outlines; the
  // track and the AIS targets.
  auto paintLevels = [&](bool below) {
    TQtCanvas canvas(painter, ViewSize().X, ViewSize().Y);
    for (const auto& [level, overlay] : overlays_)
      if ((level == TOverlayLevel::Symbols) == below) overlay->Paint(canvas, View.Scroll());
  };
  paintLevels(true);
  if (OutlinesShown) PaintOutlines(painter);
  paintLevels(false);
  TWorldConvert& converter = o_.converter;
  if (!converter.Valid) return;
  const TNMEAINFO& n = o_.parser.Info;
  // The boat where the last update of the view or the cycle placed it.
  const TBoatPoints& b = BoatPoints;
  const bool inView = DistanceToRect(n.Pos, ChartInfo.Layout.Bounds) <= kBoatInViewRad;
  TQtCanvas canvas(painter, ViewSize().X, ViewSize().Y);
  const TCanvasRect clip{0, 0, ViewSize().X, ViewSize().Y};
  TFPoint marker;
  if (MarkerShown && converter.GeoToPixel(MarkerPos, marker))
    DrawMarkerSymbol(canvas, View.PanelToView(marker), ColorToRGB(colours_.red));
  if (inView && b.valid) {
    TBoatOverlay o;
    o.boat = View.PanelToView(b.boat);
    o.speedMark = View.PanelToView(b.speedMark);
    o.headStick = View.PanelToView(b.headStick);
    o.symbolHeading = b.symbolHeading;
    o.boatShape = sys_.BoatShapeMarker;
    o.boatSymbol = &o_.boat;
    o.rings = &o_.rings;
    o.speedSymbol = &o_.speedMark;
    o.boatColour = ColorToRGB(colours_.boat);
    o.stickWidth = std::max(sys_.BoatSize, 1);
    o.showSpeedMark = IsKnown(n.SOG) && n.SOG >= 1 && sys_.SpeedMark > 0 && b.headingKnown;
    o.headingStick = !sys_.NoHeadingStick && b.headingKnown;
    const double wind = n.TrueWindSpeed;
    o.windArrow = IsKnown(wind) && std::isfinite(wind) && wind != 0 && sys_.WindShow > 0 &&
                  sys_.WindArrowColor != piWhite && IsKnown(n.TrueWindDirection) &&
                  std::isfinite(n.TrueWindDirection);
    o.windColour = ColorToRGB(colours_.windArrow);
    o.windFrom = n.TrueWindDirection + ChartInfo.NorthRotation;
    o.windSpeed = wind;
    o.markerShown = MarkerShown;
    if (MarkerShown) {
      TFPoint m;
      o.markerShown = converter.GeoToPixel(MarkerPos, m);
      o.marker = View.PanelToView(m);
    }
    o.clip = clip;
    // The own ship's hull at true scale, from its transponder's data.
    if (sys_.AISTargetOutline)
      DrawOwnShipOutline(canvas, o_.ais.OwnVessel, RoundFPoint(o.boat), b.symbolHeading, n.MilesPerPixel,
                         sys_.AISMarkerSize, ColorToRGB(colours_.boat), 1);
    DrawBoatOverlays(canvas, o);
  }
  const TDragState drag = View.Drag();
  if (drag == TDragState::Measuring || drag == TDragState::MeasureArmed) {
    canvas.SetPen({ColorToRGB(colours_.black), 1, TPenStyle::Solid});
    const TPoint a = RoundFPoint(View.PanelToView(View.MeasureStart()));
    const TPoint z = RoundFPoint(View.PanelToView(View.MeasureEnd()));
    canvas.DrawLine({a.X, a.Y}, {z.X, z.Y});
  }
}
