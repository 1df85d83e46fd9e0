// The chart view's logic without a window: zoom rules and the point under
// the mouse, the 32 760-pixel limit, scrolling and panning, the mouse
// states, the wheel, the boat's screen points, the range rings and the
// texts.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "../ChartFixtures.h"
#include "TestSupport.h"
#include "charts/ChartGeo.h"
#include "foundation/GenUtil.h"
#include "geodesy/CTrans.h"
#include "geodesy/Datum.h"
#include "instruments/NMEAInfo.h"
#include "plotter/core/ChartView.h"

namespace {

TEST(ChartViewZoom, TargetsSnapToWholeZoomsAndTheirInverses) {
  struct Case {
    double target, expected;
  } cases[] = {
      {0.48, 0.5},  {0.47, 0.47}, {0.55, 0.55}, {1.93, 2.0}, {0.33, 1.0 / 3}, {0.125, 0.125},
      {0.95, 1.0},  {1.26, 1.26}, {5.0, 4.0},   {0.05, 0.1}, {-3, 0.1},       {std::nan(""), 1.0},
  };
  for (const Case& c : cases) EXPECT_DOUBLE_EQ(SnapZoom(c.target), c.expected) << c.target;
}

TEST(ChartViewZoom, StepsReachTheRoundZoomsAndStopAtTheLimits) {
  TChartView v;
  v.SetViewSize({1000, 700});
  ASSERT_TRUE(v.BeginChart(8000, 6000, false));
  v.ApplyZoom({500, 350}, true);
  std::vector<double> up, down;
  while (v.ZoomStep({500, 350}, -1)) up.push_back(v.Zoom());
  EXPECT_EQ(up.back(), 4.0);
  EXPECT_NE(std::find(up.begin(), up.end(), 2.0), up.end());
  EXPECT_FALSE(v.ZoomStep({500, 350}, -1)) << "no step beyond 4";
  while (v.ZoomStep({500, 350}, 1)) down.push_back(v.Zoom());
  for (double z : {1.0, 0.5, 0.25, 0.125})
    EXPECT_NE(std::find(down.begin(), down.end(), z), down.end()) << z;
  EXPECT_DOUBLE_EQ(v.Zoom(), 0.1);
  EXPECT_FALSE(v.ZoomStep({500, 350}, 1)) << "no step below 0.1";
}

TEST(ChartViewZoom, ThePointUnderTheMouseStaysWhereItIs) {
  TChartView v;
  v.SetViewSize({1000, 700});
  ASSERT_TRUE(v.BeginChart(10000, 8000, false));
  v.ApplyZoom({500, 350}, true);
  v.ScrollTo({4000, 3000});
  const TFPoint mouse{313, 207};
  auto chartUnder = [&] {
    return TFPoint{(v.Scroll().X + mouse.X) / v.Zoom(), (v.Scroll().Y + mouse.Y) / v.Zoom()};
  };
  const TFPoint first = chartUnder();
  // Every step in and out, and the menu's zooms: the chart pixel under the
  // mouse moves by at most half a screen pixel.
  std::vector<std::pair<int, double>> moves;
  for (int i = 0; i < 6; ++i) moves.push_back({-1, 0});
  for (int i = 0; i < 12; ++i) moves.push_back({1, 0});
  for (double z : {0.125, 2.0, 0.25, 1.0}) moves.push_back({0, z});
  for (const auto& [delta, zoom] : moves) {
    const TFPoint before = chartUnder();
    if (delta != 0)
      v.ZoomStep(mouse, delta);
    else
      v.ZoomTo(mouse, zoom);
    const TFPoint after = chartUnder();
    EXPECT_LE(std::fabs(after.X - before.X) * v.Zoom(), 0.5 + 1e-9) << "zoom " << v.Zoom();
    EXPECT_LE(std::fabs(after.Y - before.Y) * v.Zoom(), 0.5 + 1e-9) << "zoom " << v.Zoom();
  }
  EXPECT_NEAR(chartUnder().X, first.X, 2);
  EXPECT_NEAR(chartUnder().Y, first.Y, 2);
}

TEST(ChartViewZoom, ChartsLargerThanTheLimitOpenAtTheLargestLegalZoom) {
  struct Case {
    int32_t w, h;
    double target;
    bool keep;
    double zoom;
  } cases[] = {
      {20000, 1000, 2.0, true, 1.0},      // 2 would be 40 000 pixels
      {40000, 1000, 1.0, false, 0.5},     // even 1 is too large
      {40000, 1000, 0.9, true, 0.5},      // the largest step below the target
      {40000, 1000, 0.75, true, 0.75},    // 30 000 pixels are legal
      {100000, 30000, 1.0, false, 0.25},  // 1/4 of 100 000 fits, 1/3 does not
      {8000, 6000, 4.0, true, 4.0},       // 32 000 pixels fit
  };
  for (const Case& c : cases) {
    TChartView v;
    v.SetViewSize({800, 600});
    v.SetTargetZoom(c.target);
    ASSERT_TRUE(v.BeginChart(c.w, c.h, c.keep));
    v.ApplyZoom({400, 300}, true);
    EXPECT_DOUBLE_EQ(v.Zoom(), c.zoom) << c.w << " x " << c.h;
    EXPECT_TRUE(PanelFits(c.w, c.h, v.Zoom()));
    EXPECT_LE(v.PanelSize().X, kMaxPanelSide);
  }
  // Zooming in on a legal chart stops where the limit begins.
  TChartView v;
  v.SetViewSize({800, 600});
  ASSERT_TRUE(v.BeginChart(20000, 1000, false));
  v.ApplyZoom({400, 300}, true);
  v.ZoomTo({400, 300}, 2.0);
  EXPECT_EQ(v.Zoom(), 1.0);
  // Nothing at all can show a chart of 400 000 pixels.
  EXPECT_FALSE(v.BeginChart(400000, 10, false));
  EXPECT_TRUE(TChartView::ChartTooLarge(400000, 10));
}

TEST(ChartViewScroll, OffsetsStayWithinTheChartAndSmallChartsStayTopLeft) {
  TChartView v;
  v.SetViewSize({800, 600});
  ASSERT_TRUE(v.BeginChart(300, 200, false));
  v.ApplyZoom({400, 300}, true);
  v.ScrollTo({50, 70});
  EXPECT_EQ(v.Scroll(), (TPoint{0, 0}));
  EXPECT_FALSE(v.CentreOnPanelPoint({150, 100}));
  ASSERT_TRUE(v.BeginChart(3000, 2000, false));
  v.ApplyZoom({400, 300}, true);
  v.ScrollTo({-20, 99999});
  EXPECT_EQ(v.Scroll(), (TPoint{0, 1400}));
  EXPECT_TRUE(v.CentreOnPanelPoint({1500, 1000}));
  EXPECT_EQ(v.Scroll(), (TPoint{1100, 700}));
  // A point that is not a number moves nothing.
  EXPECT_FALSE(v.CentreOnPanelPoint({std::nan(""), 5}));
  EXPECT_EQ(v.Scroll(), (TPoint{1100, 700}));
}

TEST(ChartViewMouse, PanningFollowsTheMouseExactlyWithoutDrift) {
  TChartView v;
  v.SetViewSize({800, 600});
  ASSERT_TRUE(v.BeginChart(5000, 4000, false));
  v.ApplyZoom({400, 300}, true);
  v.ScrollTo({1000, 1000});
  ASSERT_TRUE(v.MouseDown({100, 100}));
  EXPECT_EQ(v.Drag(), TDragState::Panning);
  // Many small moves out and back: the chart pixel under the mouse stays
  // the one it was pressed on, and the view comes back to where it was.
  for (int i = 1; i <= 40; ++i) {
    v.MouseMove({100.0 - 3 * i, 100.0 + 2 * i});
    EXPECT_EQ(v.Scroll(), (TPoint{1000 + 3 * i, 1000 - 2 * i}));
  }
  for (int i = 39; i >= 0; --i) v.MouseMove({100.0 - 3 * i, 100.0 + 2 * i});
  EXPECT_EQ(v.Scroll(), (TPoint{1000, 1000}));
  EXPECT_TRUE(v.PanMoved());
  // Back where it started: no repaint owed.
  EXPECT_FALSE(v.MouseUp({100, 100}, false));
  EXPECT_EQ(v.Drag(), TDragState::Idle);
}

TEST(ChartViewMouse, ReleaseRepaintsOnlyAfterAMoveWithoutDragUpdateOrAtAnotherZoom) {
  struct Case {
    bool dragUpdate;
    double zoom;
    bool move;
    bool repaint;
  } cases[] = {
      {true, 1.0, true, false}, {false, 1.0, true, true},  {true, 2.0, true, true},
      {false, 2.0, false, false}, {true, 0.5, false, false},
  };
  for (const Case& c : cases) {
    TChartView v;
    v.SetViewSize({800, 600});
    v.SetTargetZoom(c.zoom);
    ASSERT_TRUE(v.BeginChart(5000, 4000, true));
    v.ApplyZoom({400, 300}, true);
    v.ScrollTo({500, 500});
    v.MouseDown({200, 200});
    if (c.move) v.MouseMove({150, 180});
    EXPECT_EQ(v.MouseUp({150, 180}, c.dragUpdate), c.repaint) << c.dragUpdate << " " << c.zoom << " " << c.move;
  }
}

TEST(ChartViewMouse, MeasuringFromADoubleClickToTheNextRelease) {
  TChartView v;
  v.SetViewSize({800, 600});
  ASSERT_TRUE(v.BeginChart(5000, 4000, false));
  v.ApplyZoom({400, 300}, true);
  v.ScrollTo({100, 200});
  // The double click's own press and release came first; then the
  // double click arms measuring and its release starts it.
  v.ArmMeasure({10, 20});
  EXPECT_EQ(v.Drag(), TDragState::MeasureArmed);
  EXPECT_FALSE(v.MouseUp({10, 20}, true));
  EXPECT_TRUE(v.Measuring());
  const TChartView::TMove m = v.MouseMove({60, 90});
  EXPECT_TRUE(m.measureChanged);
  EXPECT_FALSE(m.scrolled);
  EXPECT_EQ(v.MeasureStart(), (TFPoint{110, 220}));
  EXPECT_EQ(v.MeasureEnd(), (TFPoint{160, 290}));
  EXPECT_EQ(v.Scroll(), (TPoint{100, 200})) << "measuring does not pan";
  EXPECT_FALSE(v.MouseDown({60, 90}));
  EXPECT_TRUE(v.Measuring());
  EXPECT_TRUE(v.MouseUp({60, 90}, true)) << "the chart is repainted without the line";
  EXPECT_EQ(v.Drag(), TDragState::Idle);
  // After a centring double click the next press does not pan.
  v.SetCentred();
  EXPECT_FALSE(v.MouseDown({5, 5}));
  EXPECT_EQ(v.Drag(), TDragState::Idle);
}

TEST(ChartViewMouse, DoubleClickDecisions) {
  using A = TDoubleClickAction;
  struct Case {
    bool automatic, nearEdge, measure, boxShown, editor, marker;
    A action;
  } cases[] = {
      {false, false, false, true, false, false, A::ChartAtPoint},   // "Center"
      {false, false, true, true, false, false, A::ArmMeasure},      // "Measure"
      {false, false, true, true, false, true, A::None},             // the marker holds the box
      {false, true, true, true, false, false, A::ChartAtPoint},     // at the edge: the next chart
      {false, false, true, false, false, false, A::ChartAtPoint},   // no action box: centre
      {false, false, false, true, true, false, A::InsertRoutePoint},
      {false, true, false, true, true, false, A::ChartAtPoint},
      {true, true, false, true, false, false, A::ArmMeasure},       // AUTOMATIC measures
      {true, false, false, true, false, true, A::None},
  };
  for (const Case& c : cases) {
    TDoubleClickContext ctx{c.automatic, c.nearEdge, c.measure, c.boxShown, c.editor, c.marker};
    EXPECT_EQ(DecideDoubleClick(ctx), c.action)
        << c.automatic << c.nearEdge << c.measure << c.boxShown << c.editor << c.marker;
  }
}

TEST(ChartViewMouse, EdgesOfTheViewAndOfTheChart) {
  TChartView v;
  v.SetViewSize({800, 600});
  ASSERT_TRUE(v.BeginChart(2000, 1500, false));
  v.ApplyZoom({400, 300}, true);
  v.ScrollTo({500, 400});
  EXPECT_TRUE(v.NearViewEdge({15, 300}, 16));
  EXPECT_TRUE(v.NearViewEdge({400, 590}, 16));
  EXPECT_FALSE(v.NearViewEdge({400, 300}, 16));
  EXPECT_FALSE(v.NearViewEdge({0, 0}, 0)) << "\"Chart Edge\" 0 has no edge zone";
  // The view's edge is not the chart's edge.
  EXPECT_FALSE(v.NearPanelEdge(v.ViewToPanel({5, 300}), 16));
  EXPECT_TRUE(v.NearPanelEdge({1990, 700}, 16));
}

TEST(ChartViewWheel, TouchpadPartsMakeWholeNotchesOnly) {
  TChartView v;
  // A touchpad: eight parts of 15 make one notch.
  int notches = 0;
  for (int i = 0; i < 7; ++i) notches += v.AddWheel(15);
  EXPECT_EQ(notches, 0);
  EXPECT_EQ(v.AddWheel(15), 1);
  EXPECT_EQ(v.AddWheel(119), 0);
  // Turning back starts afresh: what was gathered the other way is dropped.
  EXPECT_EQ(v.AddWheel(-60), 0);
  EXPECT_EQ(v.AddWheel(-60), -1);
  // A fast wheel sends two notches at once.
  EXPECT_EQ(v.AddWheel(240), 2);
  EXPECT_EQ(v.AddWheel(0), 0);
}

TEST(ChartViewHistory, FailedAutomaticChartsWaitBeforeTheyAreTriedAgain) {
  TChartView v;
  const TMonoTime t0 = std::chrono::hours(5);
  EXPECT_TRUE(v.AutoRetryAllowed("a.kap", t0));
  v.NoteAutoFailure("a.kap", t0);
  EXPECT_FALSE(v.AutoRetryAllowed("a.kap", t0 + std::chrono::seconds(59)));
  EXPECT_TRUE(v.AutoRetryAllowed("b.kap", t0));
  EXPECT_TRUE(v.AutoRetryAllowed("a.kap", t0 + std::chrono::seconds(60)));
}

// ---------------------------------------------------------------------------
// The boat

class BoatPoints : public ::testing::Test {
 protected:
  // A chart turned by `turn` radians (clockwise on the screen) about its
  // top-left reference point.
  void SetUpChart(double turn) {
    chartfix::TChartPlan s;
    RGeoRef ref;
    ref.Projection = 1;
    for (TGridPoint g : chartfix::RefPoints(s)) {
      const double x = g.X, y = g.Y;
      g.X = x * std::cos(turn) - y * std::sin(turn);
      g.Y = x * std::sin(turn) + y * std::cos(turn);
      ref.RefPoints.push_back(g);
    }
    ref.Border = chartfix::Border(s);
    ASSERT_EQ(convert_.SetupChart(ref, datum_, TDatumSettings()).Error, TSetupError::None);
    ASSERT_TRUE(convert_.Valid);
  }
  TDatum datum_{std::string(BRISMARE_SOURCE_DIR) + "/data/DATUMS2.INI"};
  TWorldConvert convert_;
  const TFPoint boat_{10.25 * kDegToRad, 54.35 * kDegToRad};
};

TEST_F(BoatPoints, StickAndSpeedMarkLieAlongTheHeading) {
  SetUpChart(0);
  convert_.SetScale(2, 2);
  const TBoatPoints b = ComputeBoatPoints(convert_, boat_, kPi / 2, 6, 60, 0);
  ASSERT_TRUE(b.valid);
  TFPoint exact;
  ASSERT_TRUE(ExactGeoToPixel(convert_, boat_, exact));
  EXPECT_EQ(b.boat, exact);
  // East on a north-up chart: straight to the right; the stick 1.5 miles,
  // the speed mark 6 knots times 60 seconds (a tenth of a mile).
  EXPECT_NEAR(b.headStick.Y, b.boat.Y, 0.5);
  EXPECT_GT(b.headStick.X, b.boat.X);
  EXPECT_NEAR((b.speedMark.X - b.boat.X) / (b.headStick.X - b.boat.X), 0.1 / 1.5, 1e-3);
  EXPECT_NEAR(b.symbolHeading, kPi / 2, 1e-3);
  EXPECT_NEAR(GeoDistance(boat_, b.headLineEnd) * kRadToNM, 1.5, 1e-6);
}

TEST_F(BoatPoints, TheSymbolTurnsWithARotatedChart) {
  const double turn = 0.3;
  SetUpChart(turn);
  const TBoatPoints b = ComputeBoatPoints(convert_, boat_, 0, 5, 60, turn);
  ASSERT_TRUE(b.valid);
  EXPECT_NEAR(b.symbolHeading, turn, 2e-3);
}

TEST_F(BoatPoints, WithoutHeadingOrSpeedTheMarksStayOnTheBoat) {
  SetUpChart(0);
  const TBoatPoints b = ComputeBoatPoints(convert_, boat_, NoDataValue, NoDataValue, 60, 0.1);
  ASSERT_TRUE(b.valid);
  EXPECT_FALSE(b.headingKnown);
  EXPECT_EQ(b.headStick, b.boat);
  EXPECT_EQ(b.speedMark, b.boat);
  EXPECT_NEAR(b.symbolHeading, 0.1, 1e-12);
  EXPECT_FALSE(ComputeBoatPoints(convert_, {std::nan(""), 1}, 0, 5, 60, 0).valid);
}

TEST(ChartViewBoat, InViewIsMeasuredToTheNearestPointOfTheBounds) {
  // A chart 2 degrees (120 miles) tall: a boat a mile north of it is in
  // view, though its south-west corner lies 120 miles away.
  const TFRect bounds{10.5 * kDegToRad, 56 * kDegToRad, 10 * kDegToRad, 54 * kDegToRad};
  const double mile = 1 / kRadToNM;
  EXPECT_EQ(DistanceToRect({10.2 * kDegToRad, 55 * kDegToRad}, bounds), 0);
  EXPECT_NEAR(DistanceToRect({10.2 * kDegToRad, 56 * kDegToRad + mile}, bounds) * kRadToNM, 1, 1e-6);
  EXPECT_LE(DistanceToRect({10.2 * kDegToRad, 56 * kDegToRad + mile}, bounds), kBoatInViewRad);
  EXPECT_GT(DistanceToRect({10.2 * kDegToRad, 56 * kDegToRad + 41 * mile}, bounds), kBoatInViewRad);
  // Across the 180th meridian the short way round counts.
  const TFRect dateLine{kPi, 0.1, kPi - 0.01, 0.09};
  EXPECT_NEAR(DistanceToRect({-kPi + 0.001, 0.095}, dateLine) * kRadToNM, 0.001 * kRadToNM * std::cos(0.095), 0.01);
  EXPECT_TRUE(std::isinf(DistanceToRect({std::nan(""), 0}, bounds)));
}

// ---------------------------------------------------------------------------
// Range rings and texts

TEST(ChartViewRings, StepCountAndSize) {
  struct Case {
    int show, step;
    double viewNM, mpp;
    bool visible;
    int index, major;
    int32_t size;
  } cases[] = {
      {0, 0, 4, 0.01, false, 0, 1, 0},      // "Show Rings" 0: none
      {1, 2, 4, 0.01, true, 0, 8, 25},      // one ring of a quarter mile (drawn solid, alone)
      {4, 0, 4.1, 0.01, true, 3, 1, 800},   // Auto A: 4 x 2 >= 4.1 x 1.2
      {4, 1, 4.1, 0.01, true, 2, 2, 400},   // Auto B: 4 x 1 >= 4.1 x 0.7
      {2, 0, 100, 0.01, true, 5, 1, 1600},  // nothing large enough: the largest step
      {3, 7, 1, 0.5, true, 5, 1, 48},       // fixed step 8 miles
      {4, 4, 4, 0, false, 2, 2, 0},         // no miles per pixel: no size, no division by 0
      {4, 4, 4, std::nan(""), false, 2, 2, 0},
  };
  for (const Case& c : cases) {
    const TRings r = ChooseRings(c.show, c.step, c.viewNM, c.mpp, c.mpp);
    EXPECT_EQ(r.visible, c.visible) << c.show << " " << c.step;
    if (c.show == 0) continue;
    EXPECT_EQ(r.stepIndex, c.index) << c.show << " " << c.step;
    EXPECT_EQ(r.majorEvery, c.major);
    EXPECT_EQ(r.width, c.size);
  }
  // Measured across and along separately.
  const TRings r = ChooseRings(2, 4, 3, 0.01, 0.02);
  EXPECT_EQ(r.width, 200);
  EXPECT_EQ(r.height, 100);
  EXPECT_DOUBLE_EQ(r.spacingNM(), 0.5);
}

TEST(ChartViewTexts, TitleDistanceAndBearing) {
  EXPECT_EQ(ChartTitle(false, "x", 1, 1, 1), "Brismare ");
  EXPECT_EQ(ChartTitle(true, "Tasman Bay", 100000, 0.5, 0.125), "Brismare [Tasman Bay - 1:100000 @ 50%] - [RR=0.125]");
  EXPECT_EQ(ChartTitle(true, "A", 50000, 1.0 / 3, 1), "Brismare [A - 1:50000 @ 33%] - [RR=1]");
  struct Case {
    double nm;
    const char* text;
  } distances[] = {{0.12345, "0.123nm"}, {9.876, "9.88nm"}, {10, "10.0nm"}, {99.94, "99.9nm"}, {100.4, "100nm"}};
  for (const Case& c : distances) EXPECT_EQ(DistanceText(c.nm), c.text);
  EXPECT_EQ(BearingText(kPi), "180°");
  EXPECT_EQ(BearingText(2 * kPi - 0.001), "0°");
  EXPECT_EQ(BearingText(-kPi / 2), "270°");
  EXPECT_EQ(OutlineMinimumScale(50000, 20, 0.5), 5000);
}

}  // namespace
