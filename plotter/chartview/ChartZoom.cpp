// The chart view: zoom and scroll, the boat's screen points, the range
// rings, the title and the marker box's texts (TChartDisplay,
// ChartDisplay.h).
#include <QLabel>
#include <QTimer>

#include <algorithm>

#include "charts/ChartGeo.h"
#include "foundation/GenUtil.h"
#include "geodesy/CTrans.h"
#include "instruments/NMEA.h"
#include "navobjects/NavCtrls.h"
#include "plotter/ChartCanvas.h"
#include "plotter/chartview/ChartDisplay.h"
#include "plotter/core/SysInfo.h"
#include "plotter/core/UpdateCycle.h"

namespace {
QString Text(const std::string& s) { return QString::fromStdString(s); }
}  // namespace

TPoint TChartDisplay::ViewSize() const { return TPoint{canvas_.width(), canvas_.height()}; }

void TChartDisplay::Repaint() {
  window_.TakeRepaintRequest();
  canvas_.update();
}

void TChartDisplay::SyncConverterScale() { o_.converter.SetScale(View.Zoom(), View.Zoom()); }

void TChartDisplay::ApplyZoom(const TFPoint& viewPoint, bool force) {
  if (!View.HasChart()) return;
  View.SetViewSize(ViewSize());
  const bool changed = View.ApplyZoom(viewPoint, force);
  SyncConverterScale();
  // The symbols, the track and the AIS targets placed anew.
  for (const auto& [level, overlay] : overlays_) overlay->ZoomChanged();
  if (TUpdateCycle* cycle = window_.UpdateCycle()) cycle->AisReprojected();
  ChartInfo.MilesPerPixel = MilesPerPixelAt(o_.converter, ChartInfo.Centre, 100);
  TNMEAINFO& n = o_.parser.Info;
  n.MilesPerPixel = ChartInfo.MilesPerPixel;
  if (changed) UpdateView();
  if (flags_.Has(pfAutomatic)) {
    const TPoint offset = window_.UpdateCycle() ? window_.UpdateCycle()->LookAheadOffset() : TPoint{};
    CentreOnPosition(n.Pos, offset.X, offset.Y);
  }
  UpdateTitle();
  Repaint();
}

void TChartDisplay::ZoomTo(const TFPoint& viewPoint, double zoom) {
  if (!View.HasChart()) return;
  SettleZoom();
  View.SetTargetZoom(zoom);
  ApplyZoom(viewPoint, true);
}

void TChartDisplay::ZoomStep(const TFPoint& viewPoint, int delta) {
  if (!flags_.Has(pfChartLoaded) || !View.HasChart() || delta == 0) return;
  const double target = ZoomStepTarget(View.Zoom(), delta);
  if (target == View.Zoom()) return;
  // The first step of a series keeps the picture as it is; every step
  // shows it scaled (a few milliseconds) instead of decoding the chart
  // anew, which zoomed far out takes the time of a frame or more.
  if (zoomFrame_.isNull()) {
    paintChartOnly_ = true;
    zoomFrame_ = canvas_.RenderFrame();
    paintChartOnly_ = false;
    zoomFrameZoom_ = View.Zoom();
    zoomFrameScroll_ = View.Scroll();
  }
  View.SetTargetZoom(target);
  ApplyZoom(viewPoint, true);
  if (!zoomFrame_.isNull()) zoomSettle_->start();
}

void TChartDisplay::SettleZoom() {
  zoomSettle_->stop();
  if (zoomFrame_.isNull()) return;
  zoomFrame_ = QImage();
  Repaint();
}

void TChartDisplay::ScrollTo(TPoint offset) {
  if (View.ScrollTo(offset)) Repaint();
}

void TChartDisplay::CentreOnPosition(const TFPoint& pos, int dx, int dy) {
  if (!View.HasChart() || !o_.converter.Valid) return;
  TFPoint panel;
  if (!ExactGeoToPixel(o_.converter, pos, panel)) return;
  View.SetViewSize(ViewSize());
  if (View.CentreOnPanelPoint({panel.X + dx, panel.Y + dy})) Repaint();
}

void TChartDisplay::CentreOnViewPoint(const TFPoint& viewPoint) {
  if (View.CentreOnPanelPoint(View.ViewToPanel(viewPoint))) Repaint();
}

bool TChartDisplay::PositionAtView(const TFPoint& viewPoint, TFPoint& pos) const {
  if (!View.HasChart() || !o_.converter.Valid) return false;
  return o_.converter.PixelToGeo(View.ViewToPanel(viewPoint), pos);
}

// ---------------------------------------------------------------------------
// The boat, the rings, the title, the marker box

bool TChartDisplay::UpdateBoatPoints() { return PlaceBoat(false); }

bool TChartDisplay::PlaceBoat(bool titleAlways) {
  TNMEAINFO& n = o_.parser.Info;
  if (View.HasChart() && o_.converter.Valid) {
    BoatPoints = ComputeBoatPoints(o_.converter, n.Pos, n.Heading, n.SOG, sys_.SpeedMark, ChartInfo.NorthRotation);
    if (BoatPoints.valid) {
      n.SpeedMarkPos = BoatPoints.speedMarkPos;
      n.HeadLineEnd = BoatPoints.headLineEnd;
      n.SymbolHeading = BoatPoints.symbolHeading;
    }
  } else {
    BoatPoints = {};
  }
  // The rings are measured at the boat: they follow it across the chart
  // (and appear once it comes where they can be measured). The title
  // names their spacing.
  const int step = Rings.stepIndex;
  UpdateRings();
  if (titleAlways || Rings.stepIndex != step) UpdateTitle();
  const bool moved = !(n.Pos == n.LastDrawPos);
  n.LastDrawPos = n.Pos;
  return moved;
}

bool TChartDisplay::UpdateView() {
  const TFPoint boat = o_.parser.Info.Pos;
  const bool boatInView =
      flags_.Has(pfChartLoaded) && DistanceToRect(boat, ChartInfo.Layout.Bounds) <= kBoatInViewRad;
  PlaceBoat(true);
  return boatInView;
}

void TChartDisplay::UpdateRings() {
  const TFPoint boat = o_.parser.Info.Pos;
  double mppX = 0, mppY = 0;
  if (View.HasChart() && o_.converter.Valid) {
    mppX = MilesPerPixelToward(o_.converter, boat, 100, 0);
    mppY = MilesPerPixelToward(o_.converter, boat, 0, 100);
  }
  Rings = ChooseRings(sys_.ShowRings, sys_.RingsStep, ViewSize().Y * ChartInfo.MilesPerPixel, mppX, mppY);
  TQuickShape& rings = o_.rings;
  rings.ShapeVisible = Rings.visible;
  rings.RingCount = Rings.count;
  rings.MajorEvery = Rings.majorEvery;
  rings.ShapeWidth = Rings.width;
  rings.ShapeHeight = Rings.height;
  rings.Color = colours_.black;
}

void TChartDisplay::UpdateTitle() {
  if (flags_.Has(pfChartLoading)) return;
  window_.Window().setWindowTitle(Text(ChartTitle(flags_.Has(pfChartLoaded), ChartInfo.Layout.Name,
                                                  ChartInfo.Layout.Scale, View.Zoom(), Rings.spacingNM())));
}

void TChartDisplay::ShowPositionInfo(const TFPoint& pos, const TFPoint& from) {
  const TFPoint db = GeoDistBearing(from, pos);
  markerLat_.setText(Text(LatToStr(pos.Y)));
  markerLong_.setText(Text(LonToStr(pos.X)));
  markerHead_.setText(Text(BearingText(db.Y)));
  markerDist_.setText(Text(DistanceText(db.X * kRadToNM)));
}
