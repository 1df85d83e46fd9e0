// The chart view's logic, without any window: which part of the chart is in
// view and at what zoom, what the mouse is doing on it, where the boat and
// its marks lie on screen, the range rings, the title and the texts of the
// marker box. The window (plotter/ChartCanvas.h, plotter/MainChart.cpp) paints
// what this says and hands it the mouse and the wheel.
//
// Coordinates:
// - chart pixels: the chart's own raster;
// - panel pixels: chart pixels times the zoom (the chart converter works in
//   these, its scale being the zoom);
// - view pixels: the visible area, its top-left at the scroll offset of the
//   panel.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <optional>
#include <string>

#include "foundation/Types.h"
#include "platform/Clock.h"

class TWorldConvert;

// ---- zoom ----

inline constexpr double kMinZoom = 0.1;
inline constexpr double kMaxZoom = 4.0;
// No side of the zoomed chart may exceed this many pixels.
inline constexpr int32_t kMaxPanelSide = 32760;
// One wheel or key step of zoom.
inline constexpr double kZoomStepFactor = 1.26;
// A wheel notch, in the wheel's own units.
inline constexpr int kWheelNotch = 120;

// The zoom a target snaps to: whole numbers and their inverses (1/2, 1/3,
// 2, 3, ...) within 0.09 of them are taken exactly; then clamped to
// [kMinZoom, kMaxZoom]. A target that is not a number gives 1.
double SnapZoom(double target);
// The target of one zoom step: delta < 0 zooms in (times 1.26), delta > 0
// out; a result within 0.05 of a whole number becomes that number; clamped.
double ZoomStepTarget(double zoom, int delta);
// The zoomed chart keeps within kMaxPanelSide on both sides.
bool PanelFits(int32_t width, int32_t height, double zoom);
// The largest of the zoom steps 1/1, 1/2, ..., 1/10 that is not above
// `target` and keeps the zoomed chart legal; `target` itself when it is
// legal. nullopt for a chart too large to be shown at any zoom.
std::optional<double> LargestFittingZoom(int32_t width, int32_t height, double target);

// ---- the mouse on the chart ----

enum class TDragState : uint8_t { Idle, Panning, Centred, MeasureArmed, Measuring };

// What a double click on the chart asks for.
enum class TDoubleClickAction : uint8_t {
  None,
  InsertRoutePoint,  // the route editor takes a point there
  ChartAtPoint,      // the best chart at the point (or centre on it)
  ArmMeasure,        // measuring starts at the point
};

struct TDoubleClickContext {
  bool automatic = false;
  bool nearEdge = false;
  bool measureAction = false;  // the double-click action is "Measure"
  bool actionBoxShown = true;  // the box with the action buttons is shown
  bool routeEditor = false;
  bool markerShown = false;
};
TDoubleClickAction DecideDoubleClick(const TDoubleClickContext& c);

// ---- the boat ----

// 1.5 nautical miles, the length of the heading stick.
inline constexpr double kHeadingStickRad = 0.0004363323129985824;
// The boat and its marks are drawn while the boat is within 40 nautical
// miles of the chart's bounds.
inline constexpr double kBoatInViewRad = 0.011635528346628864;

// Screen geometry of the boat, in panel pixels.
struct TBoatPoints {
  bool valid = false;  // the boat's position has a place on the chart
  TFPoint boat;
  TFPoint speedMark;
  TFPoint headStick;
  // The symbol's angle: 0 up the screen, clockwise, [0, 2 pi).
  double symbolHeading = 0;
  // Positions of the speed mark and of the heading stick's end.
  TFPoint speedMarkPos;
  TFPoint headLineEnd;
  bool headingKnown = false;
};

// The boat's points for its position, heading (radians, true) and speed
// over ground (knots; the no-data value or anything not a number counts as
// unknown). `convert` works in panel pixels; `northRotation` is the chart's.
TBoatPoints ComputeBoatPoints(TWorldConvert& convert, const TFPoint& pos, double heading, double sog,
                              int speedMarkSeconds, double northRotation);

// The distance (radians of arc) from a position to the nearest point of a
// geographic rectangle (0 inside), longitudes taken the short way round.
double DistanceToRect(const TFPoint& pos, const TFRect& rect);

// ---- range rings ----

inline constexpr std::array<double, 6> kRingStepsNM = {0.25, 0.5, 1, 2, 4, 8};
// Rings whose number is a multiple of this are solid, by step index, so
// that solid rings fall on whole nautical miles.
inline constexpr std::array<int, 6> kRingMajorEvery = {8, 4, 2, 1, 1, 1};

struct TRings {
  bool visible = false;
  int stepIndex = 0;
  int count = 0;
  int majorEvery = 1;
  // Size of the outermost ring in pixels (0 when it cannot be measured).
  int32_t width = 0;
  int32_t height = 0;
  // Distance between two rings, nautical miles (half a step).
  double spacingNM() const { return kRingStepsNM[static_cast<size_t>(stepIndex)] / 2; }
};

// The rings for "Show Rings", "Rings Step", the height of the view in
// nautical miles and the miles per pixel measured across and along at the
// boat. Sizes that cannot be measured (a miles per pixel of 0 or not a
// number) give no ring size rather than a division by zero.
TRings ChooseRings(int showRings, int ringsStep, double viewHeightNM, double mppX, double mppY);

// ---- texts ----

// "Brismare [name - 1:scale @ zoom%] - [RR=spacing]", or "Brismare " with no
// chart.
std::string ChartTitle(bool chartLoaded, const std::string& name, int32_t scale, double zoom, double ringSpacingNM);
// Distance in nautical miles with 3, 2, 1 or no decimals (below 1, 10, 100
// and from 100 on) followed by "nm".
std::string DistanceText(double nm);
// Bearing in whole degrees 0..359 followed by "°".
std::string BearingText(double radians);

// The scale range of the chart outlines drawn over a chart of scale `scale`
// at `zoom`: from scale / (factor * zoom), rounded, up to `scale`.
int32_t OutlineMinimumScale(int32_t scale, int outlineFactor, double zoom);

// ---- the view ----

class TChartView {
 public:
  // ---- the chart and the visible area ----

  // A chart of this size is shown (0, 0: none).
  void SetChartSize(int32_t width, int32_t height);
  bool HasChart() const { return chartW_ > 0 && chartH_ > 0; }
  int32_t ChartWidth() const { return chartW_; }
  int32_t ChartHeight() const { return chartH_; }
  // The visible area; the scroll offset is kept in range.
  void SetViewSize(TPoint size);
  TPoint ViewSize() const { return view_; }
  // The chart at the zoom, rounded to whole pixels.
  TPoint PanelSize() const;

  double Zoom() const { return zoom_; }
  double TargetZoom() const { return target_; }
  void SetTargetZoom(double zoom) { target_ = zoom; }
  // Zoom and target back to 1 (start of the program).
  void ResetZoom() { zoom_ = target_ = 1.0; }

  // The panel pixel at the top-left of the view.
  TPoint Scroll() const { return scroll_; }
  // Scrolls so that `offset` is at the top-left, kept within the panel (a
  // chart smaller than the view stays at the top-left). True when the
  // offset changed.
  bool ScrollTo(TPoint offset);
  // Scrolls so that the panel point lies in the middle of the view.
  bool CentreOnPanelPoint(const TFPoint& panel);
  // The panel point in the middle of the view.
  TFPoint ViewCentrePanel() const;

  TFPoint ViewToPanel(const TFPoint& v) const { return {v.X + scroll_.X, v.Y + scroll_.Y}; }
  TFPoint PanelToView(const TFPoint& p) const { return {p.X - scroll_.X, p.Y - scroll_.Y}; }

  // The zoom procedure about a point of the view: the chart pixel under it
  // stays under it. The target snaps and is clamped; a target that would
  // make the chart too large leaves the zoom as it is. Returns true when
  // the zoom changed or `force` is set (the caller then re-places what
  // depends on the zoom).
  bool ApplyZoom(const TFPoint& viewPoint, bool force);
  // ZoomTo: target := zoom, then ApplyZoom.
  bool ZoomTo(const TFPoint& viewPoint, double zoom);
  // One zoom step about a point (delta < 0 in); false when nothing changed.
  bool ZoomStep(const TFPoint& viewPoint, int delta);

  // A new chart of this size comes into view at the zoom 1. With
  // `keepTarget` ("NC Zoom" "Last") the target zoom stays, otherwise it
  // becomes 1; the caller then applies it (ApplyZoom about the middle of
  // the view). A target, or the zoom of 1 the chart opens with, too large
  // for the chart becomes the largest legal step instead. False for a chart
  // that cannot be shown at any zoom (nothing changes then).
  bool BeginChart(int32_t width, int32_t height, bool keepTarget);
  // The chart is too large for any zoom.
  static bool ChartTooLarge(int32_t width, int32_t height) { return !LargestFittingZoom(width, height, 1.0); }

  // The point lies within `edge` pixels of an edge of the visible area.
  bool NearViewEdge(const TFPoint& viewPoint, int edge) const;
  // The panel point lies within `edge` pixels of the zoomed chart's own
  // edge.
  bool NearPanelEdge(const TFPoint& panelPoint, int edge) const;

  // ---- the mouse ----

  TDragState Drag() const { return drag_; }
  // The last mouse position on the view, and as a panel point.
  TFPoint MouseView() const { return mouse_; }
  TFPoint MousePanel() const { return ViewToPanel(mouse_); }
  void SetMouse(const TFPoint& viewPoint) { mouse_ = viewPoint; }
  // Left button down; true when panning started.
  bool MouseDown(const TFPoint& viewPoint);
  // What a move did.
  struct TMove {
    bool scrolled = false;        // panning moved the view
    bool measureChanged = false;  // the rubber line moved
  };
  TMove MouseMove(const TFPoint& viewPoint);
  // Button up. True when the chart is to be repainted: after a pan that
  // moved (with "Drag Update" off or a zoom other than 1) and after a
  // measurement.
  bool MouseUp(const TFPoint& viewPoint, bool dragUpdate);
  // A double click centred the view or switched charts.
  void SetCentred() { drag_ = TDragState::Centred; }
  // Measuring starts at the point with the next release.
  void ArmMeasure(const TFPoint& viewPoint);
  // Back to idle (a context menu opened).
  void ResetDrag() { drag_ = TDragState::Idle; }
  bool Measuring() const { return drag_ == TDragState::Measuring; }
  // The measured line, panel pixels.
  TFPoint MeasureStart() const { return measureStart_; }
  TFPoint MeasureEnd() const { return measureEnd_; }
  // Panning moved the view since the button went down.
  bool PanMoved() const { return panMoved_; }
  // The view offset by which the picture moved since panning started
  // (pan start scroll minus the present scroll).
  TPoint PanShift() const { return {panScroll_.X - scroll_.X, panScroll_.Y - scroll_.Y}; }

  // ---- the wheel ----

  // Adds a wheel movement (kWheelNotch per notch; touchpads send small
  // parts of it) and returns the whole notches it completes, with their
  // sign. A change of direction starts counting afresh.
  int AddWheel(int delta);

  // ---- what a chart load keeps for "Previous" ----

  struct THistory {
    double zoom = 1.0;
    TPoint scroll;
  };
  // The zoom and scroll offset of the chart shown before the current one.
  const THistory& Previous() const { return previous_; }
  // Called when a new chart is committed: the present zoom and scroll
  // become the previous ones.
  void RememberForPrevious() { previous_ = {zoom_, scroll_}; }

  // ---- charts that would not open in AUTOMATIC ----

  // A chart that failed to open is not tried again by the automatic choice
  // for kAutoRetrySeconds, so that a broken chart neither stalls every
  // update nor fills the message panel.
  static constexpr int kAutoRetrySeconds = 60;
  void NoteAutoFailure(const std::string& file, TMonoTime now) { failed_[file] = now; }
  bool AutoRetryAllowed(const std::string& file, TMonoTime now) const;
  void ClearAutoFailures() { failed_.clear(); }

 private:
  int32_t chartW_ = 0;
  int32_t chartH_ = 0;
  TPoint view_;
  double zoom_ = 1.0;
  double target_ = 1.0;
  TPoint scroll_;
  TDragState drag_ = TDragState::Idle;
  TFPoint mouse_;
  TFPoint panStart_;
  TPoint panScroll_;
  bool panMoved_ = false;
  TFPoint measureStart_;
  TFPoint measureEnd_;
  int wheel_ = 0;
  THistory previous_;
  std::map<std::string, TMonoTime> failed_;
};
