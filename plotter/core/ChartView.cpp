#include "plotter/core/ChartView.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "charts/ChartGeo.h"
#include "foundation/GenUtil.h"
#include "foundation/NumText.h"
#include "geodesy/CTrans.h"
#include "instruments/NMEAInfo.h"

namespace {

// Whole zooms and their inverses are within this of a target to be taken.
constexpr double kSnap = 0.09;
constexpr double kStepSnap = 0.05;

bool NearWhole(double v, double tolerance) {
  const double f = v - std::floor(v);
  return f < tolerance || f > 1 - tolerance;
}

int32_t ToPixel(double v) {
  if (!std::isfinite(v)) return 0;
  return static_cast<int32_t>(std::llround(std::clamp<double>(v, -kPixelLimit, kPixelLimit)));
}

bool FinitePoint(const TFPoint& p) { return std::isfinite(p.X) && std::isfinite(p.Y); }

bool KnownNumber(double v) { return IsKnown(v) && std::isfinite(v); }

}  // namespace

// ---------------------------------------------------------------------------
// Zoom rules

double SnapZoom(double target) {
  if (std::isnan(target)) return 1.0;
  double t = std::clamp(target, kMinZoom / 2, kMaxZoom * 2);
  if (NearWhole(t, kSnap) && std::round(t) >= 1) t = std::round(t);
  const double inverse = 1.0 / t;
  if (NearWhole(inverse, kSnap) && std::round(inverse) >= 1) t = 1.0 / std::round(inverse);
  return std::clamp(t, kMinZoom, kMaxZoom);
}

double ZoomStepTarget(double zoom, int delta) {
  if (!(zoom > 0) || !std::isfinite(zoom)) zoom = 1.0;
  double t = delta < 0 ? zoom * kZoomStepFactor : zoom / kZoomStepFactor;
  if (NearWhole(t, kStepSnap) && std::round(t) >= 1) t = std::round(t);
  return std::clamp(t, kMinZoom, kMaxZoom);
}

bool PanelFits(int32_t width, int32_t height, double zoom) {
  return zoom > 0 && double(width) * zoom <= kMaxPanelSide && double(height) * zoom <= kMaxPanelSide;
}

std::optional<double> LargestFittingZoom(int32_t width, int32_t height, double target) {
  if (PanelFits(width, height, target)) return target;
  for (int n = 1; n <= 10; ++n) {
    const double z = 1.0 / n;
    if (z <= target && PanelFits(width, height, z)) return z;
  }
  return std::nullopt;
}

TDoubleClickAction DecideDoubleClick(const TDoubleClickContext& c) {
  const bool centres = !c.automatic && (c.nearEdge || !c.measureAction || !c.actionBoxShown);
  if (centres) {
    if (c.routeEditor && !c.nearEdge) return TDoubleClickAction::InsertRoutePoint;
    return TDoubleClickAction::ChartAtPoint;
  }
  // AUTOMATIC, or the action "Measure": measuring, unless the marker holds
  // the marker box.
  return c.markerShown ? TDoubleClickAction::None : TDoubleClickAction::ArmMeasure;
}

// ---------------------------------------------------------------------------
// The boat

TBoatPoints ComputeBoatPoints(TWorldConvert& convert, const TFPoint& pos, double heading, double sog,
                              int speedMarkSeconds, double northRotation) {
  TBoatPoints b;
  if (!FinitePoint(pos)) return b;
  TFPoint p;
  if (!ExactGeoToPixel(convert, pos, p) || !FinitePoint(p)) return b;
  b.valid = true;
  b.boat = b.speedMark = b.headStick = p;
  b.speedMarkPos = b.headLineEnd = pos;
  b.headingKnown = KnownNumber(heading);
  if (b.headingKnown) {
    if (KnownNumber(sog) && sog > 0 && speedMarkSeconds > 0) {
      b.speedMarkPos = GeoOffset(pos, {sog * speedMarkSeconds / 3600.0 / kRadToNM, heading});
      TFPoint q;
      if (convert.GeoToPixel(b.speedMarkPos, q) && FinitePoint(q)) b.speedMark = q;
    }
    b.headLineEnd = GeoOffset(pos, {kHeadingStickRad, heading});
    TFPoint q;
    if (convert.GeoToPixel(b.headLineEnd, q) && FinitePoint(q)) b.headStick = q;
  }
  double angle;
  if (std::fabs(b.headStick.X - b.boat.X) + std::fabs(b.headStick.Y - b.boat.Y) > 5)
    angle = std::atan2(b.boat.Y - b.headStick.Y, b.boat.X - b.headStick.X) - kPi / 2;
  else
    angle = (b.headingKnown ? heading : 0) + (std::isfinite(northRotation) ? northRotation : 0);
  NormAngle(angle);
  b.symbolHeading = std::isfinite(angle) ? angle : 0;
  return b;
}

double DistanceToRect(const TFPoint& pos, const TFRect& rect) {
  if (!FinitePoint(pos)) return std::numeric_limits<double>::infinity();
  const double centre = (rect.X1 + rect.X2) / 2;
  const double lon = centre + std::remainder(pos.X - centre, 2 * kPi);
  const TFPoint p{lon, pos.Y};
  const TFPoint nearest{std::clamp(lon, std::min(rect.X1, rect.X2), std::max(rect.X1, rect.X2)),
                        std::clamp(pos.Y, std::min(rect.Y1, rect.Y2), std::max(rect.Y1, rect.Y2))};
  if (nearest == p) return 0;
  const double d = GeoDistance(p, nearest);
  return std::isfinite(d) ? d : std::numeric_limits<double>::infinity();
}

// ---------------------------------------------------------------------------
// Range rings

TRings ChooseRings(int showRings, int ringsStep, double viewHeightNM, double mppX, double mppY) {
  TRings r;
  r.count = showRings;
  if (showRings <= 0) return r;
  if (ringsStep <= 1) {
    const double factor = ringsStep == 0 ? 1.2 : 0.7;
    r.stepIndex = 5;
    for (int i = 0; i < 6; ++i) {
      if (showRings * kRingStepsNM[static_cast<size_t>(i)] >= viewHeightNM * factor) {
        r.stepIndex = i;
        break;
      }
    }
  } else {
    r.stepIndex = std::clamp(ringsStep - 2, 0, 5);
  }
  r.majorEvery = kRingMajorEvery[static_cast<size_t>(r.stepIndex)];
  const double outer = showRings * kRingStepsNM[static_cast<size_t>(r.stepIndex)];
  auto size = [outer](double mpp) -> int32_t {
    if (!(mpp > 0) || !std::isfinite(mpp)) return 0;
    const double px = outer / mpp;
    return std::isfinite(px) ? static_cast<int32_t>(std::min<double>(std::round(px), kPixelLimit)) : 0;
  };
  r.width = size(mppX);
  r.height = size(mppY);
  r.visible = r.width > 0 && r.height > 0;
  return r;
}

// ---------------------------------------------------------------------------
// Texts

std::string ChartTitle(bool chartLoaded, const std::string& name, int32_t scale, double zoom, double ringSpacingNM) {
  if (!chartLoaded) return "Brismare ";
  return "Brismare [" + name + " - 1:" + std::to_string(scale) + " @ " + std::to_string(RoundToInt(zoom * 100)) +
         "%] - [RR=" + FloatToStrDot(ringSpacingNM) + "]";
}

std::string DistanceText(double nm) {
  const int decimals = nm < 1 ? 3 : nm < 10 ? 2 : nm < 100 ? 1 : 0;
  return FloatToStrFixedDot(decimals, nm) + "nm";
}

std::string BearingText(double radians) {
  int degrees = RoundToInt(radians * kRadToDeg) % 360;
  if (degrees < 0) degrees += 360;
  return std::to_string(degrees) + "°";
}

int32_t OutlineMinimumScale(int32_t scale, int outlineFactor, double zoom) {
  if (outlineFactor <= 0 || !(zoom > 0)) return scale;
  return RoundToInt(scale / (outlineFactor * zoom), scale);
}

// ---------------------------------------------------------------------------
// The view

void TChartView::SetChartSize(int32_t width, int32_t height) {
  chartW_ = std::max(width, 0);
  chartH_ = std::max(height, 0);
  ScrollTo(scroll_);
}

void TChartView::SetViewSize(TPoint size) {
  view_ = {std::max(size.X, 0), std::max(size.Y, 0)};
  ScrollTo(scroll_);
}

TPoint TChartView::PanelSize() const {
  if (!HasChart()) return {};
  return {ToPixel(chartW_ * zoom_), ToPixel(chartH_ * zoom_)};
}

bool TChartView::ScrollTo(TPoint offset) {
  const TPoint panel = PanelSize();
  const TPoint next{std::clamp(offset.X, 0, std::max(0, panel.X - view_.X)),
                    std::clamp(offset.Y, 0, std::max(0, panel.Y - view_.Y))};
  const bool changed = !(next == scroll_);
  scroll_ = next;
  return changed;
}

bool TChartView::CentreOnPanelPoint(const TFPoint& panel) {
  if (!FinitePoint(panel)) return false;
  return ScrollTo({ToPixel(panel.X - view_.X / 2.0), ToPixel(panel.Y - view_.Y / 2.0)});
}

TFPoint TChartView::ViewCentrePanel() const {
  return {scroll_.X + view_.X / 2.0, scroll_.Y + view_.Y / 2.0};
}

bool TChartView::ApplyZoom(const TFPoint& viewPoint, bool force) {
  const TFPoint v = FinitePoint(viewPoint) ? viewPoint : TFPoint{view_.X / 2.0, view_.Y / 2.0};
  const TFPoint chart{(scroll_.X + v.X) / zoom_, (scroll_.Y + v.Y) / zoom_};
  double t = SnapZoom(target_);
  if (HasChart() && !PanelFits(chartW_, chartH_, t)) t = zoom_;
  target_ = t;
  const bool changed = force || t != zoom_;
  zoom_ = t;
  ScrollTo({ToPixel(chart.X * zoom_ - v.X), ToPixel(chart.Y * zoom_ - v.Y)});
  return changed;
}

bool TChartView::ZoomTo(const TFPoint& viewPoint, double zoom) {
  target_ = zoom;
  return ApplyZoom(viewPoint, true);
}

bool TChartView::ZoomStep(const TFPoint& viewPoint, int delta) {
  if (!HasChart() || delta == 0) return false;
  const double t = ZoomStepTarget(zoom_, delta);
  if (t == zoom_) return false;
  const double before = zoom_;
  target_ = t;
  ApplyZoom(viewPoint, true);
  return zoom_ != before;
}

bool TChartView::BeginChart(int32_t width, int32_t height, bool keepTarget) {
  const std::optional<double> opening = LargestFittingZoom(width, height, 1.0);
  if (!opening) return false;
  if (!keepTarget) target_ = 1.0;
  SetChartSize(width, height);
  zoom_ = *opening;
  target_ = LargestFittingZoom(width, height, SnapZoom(target_)).value_or(zoom_);
  return true;
}

bool TChartView::NearViewEdge(const TFPoint& v, int edge) const {
  if (edge <= 0) return false;
  return v.X < edge || v.Y < edge || v.X >= view_.X - edge || v.Y >= view_.Y - edge;
}

bool TChartView::NearPanelEdge(const TFPoint& p, int edge) const {
  if (edge <= 0 || !HasChart()) return false;
  const TPoint panel = PanelSize();
  return p.X < edge || p.Y < edge || p.X >= panel.X - edge || p.Y >= panel.Y - edge;
}

// ---------------------------------------------------------------------------
// The mouse

bool TChartView::MouseDown(const TFPoint& v) {
  mouse_ = v;
  switch (drag_) {
    case TDragState::Idle:
      drag_ = TDragState::Panning;
      panStart_ = v;
      panScroll_ = scroll_;
      panMoved_ = false;
      return true;
    case TDragState::Centred:
      drag_ = TDragState::Idle;
      return false;
    case TDragState::MeasureArmed:
      drag_ = TDragState::Measuring;
      return false;
    default:
      return false;
  }
}

TChartView::TMove TChartView::MouseMove(const TFPoint& v) {
  mouse_ = v;
  TMove m;
  if (drag_ == TDragState::Panning) {
    // Measured on the view, not on the chart: the chart moves under the
    // mouse, so chart coordinates of the mouse would feed back.
    m.scrolled = ScrollTo({panScroll_.X + ToPixel(panStart_.X - v.X), panScroll_.Y + ToPixel(panStart_.Y - v.Y)});
    panMoved_ = panMoved_ || m.scrolled;
  } else if (drag_ == TDragState::Measuring) {
    measureEnd_ = ViewToPanel(v);
    m.measureChanged = true;
  }
  return m;
}

bool TChartView::MouseUp(const TFPoint& v, bool dragUpdate) {
  mouse_ = v;
  switch (drag_) {
    case TDragState::Panning: {
      drag_ = TDragState::Idle;
      const bool moved = !(scroll_ == panScroll_);
      return moved && (!dragUpdate || zoom_ != 1.0);
    }
    case TDragState::MeasureArmed:
      drag_ = TDragState::Measuring;
      return false;
    case TDragState::Measuring:
      drag_ = TDragState::Idle;
      return true;
    default:
      drag_ = TDragState::Idle;
      return false;
  }
}

void TChartView::ArmMeasure(const TFPoint& v) {
  drag_ = TDragState::MeasureArmed;
  measureStart_ = measureEnd_ = ViewToPanel(v);
}

int TChartView::AddWheel(int delta) {
  if (delta == 0) return 0;
  if (wheel_ != 0 && (delta > 0) != (wheel_ > 0)) wheel_ = 0;
  wheel_ += std::clamp(delta, -100 * kWheelNotch, 100 * kWheelNotch);
  const int notches = wheel_ / kWheelNotch;
  wheel_ -= notches * kWheelNotch;
  return notches;
}

bool TChartView::AutoRetryAllowed(const std::string& file, TMonoTime now) const {
  const auto it = failed_.find(file);
  if (it == failed_.end()) return true;
  return now - it->second >= std::chrono::seconds(kAutoRetrySeconds);
}
