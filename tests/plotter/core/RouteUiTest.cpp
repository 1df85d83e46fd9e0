// The route's window logic without a window: the steering indicator, the
// guidance texts, typed positions, the editor's fields on one or several
// points, activation refusals and the proposed file name.
#include <cmath>
#include <optional>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "foundation/GenUtil.h"
#include "instruments/NMEAInfo.h"
#include "navobjects/Routes.h"
#include "plotter/core/RouteGuidance.h"
#include "plotter/core/RouteUi.h"

namespace {

constexpr double kDeg = kDegToRad;

TNMEAINFO Leg(double bodDeg, double btdDeg, double xteNM, double sog, double headingDeg) {
  TNMEAINFO n;
  n.BOD = bodDeg * kDeg;
  n.BearingToDest = btdDeg * kDeg;
  n.XTE = xteNM / kRadToNM;
  n.SOG = sog;
  n.Heading = headingDeg * kDeg;
  n.Variation = 5 * kDeg;
  return n;
}

TEST(Steering, CourseToSteerAndIndicator) {
  struct Case {
    const char* what;
    TNMEAINFO nav;
    double steerDeg;
    std::string indicator;
  };
  const Case cases[] = {
      {"on course", Leg(90, 90, 0, 6, 90), 90, "____||____"},
      // 0.1 nm right of the leg at 6 knots: an intercept of 4 radians,
      // held to a right angle, so the course is 0; a heading of 90 lies far
      // right of it.
      {"right of the leg", Leg(90, 80, 0.1, 6, 90), 0, "<<<<<<<<<<"},
      {"a little right, heading on the intercept", Leg(90, 89, 0.005, 6, 78.54), 78.54, "____||____"},
      {"a little left, heading straight", Leg(90, 91, -0.005, 6, 90), 101.46, ">>>>____||"},
      // No speed: ten times the error in miles.
      {"no speed", Leg(0, 0, 0.01, 0, 354.27), 354.27, "____||____"},
      // The waypoint lies further towards the leg than the intercept: head
      // for it.
      {"near the waypoint", Leg(90, 60, 0.001, 6, 60), 60, "____||____"},
  };
  for (const Case& c : cases) {
    const TSteering s = ComputeSteering(c.nav);
    ASSERT_TRUE(s.known) << c.what;
    EXPECT_NEAR(s.steerHeading * kRadToDeg, c.steerDeg, 0.01) << c.what;
    EXPECT_NEAR(s.steerHeadingMag * kRadToDeg, c.steerDeg - 5 + (c.steerDeg < 5 ? 360 : 0), 0.01) << c.what;
    EXPECT_EQ(s.indicator, c.indicator) << c.what;
  }
  // One character per 1/18 radian, held at ten.
  EXPECT_EQ(SteeringIndicatorText(-3), ">>>____||_");
  EXPECT_EQ(SteeringIndicatorText(3), "_||____<<<");
  EXPECT_EQ(SteeringIndicatorText(-40), ">>>>>>>>>>");
  // The heading unknown keeps the last offset; the leg unknown: no course.
  TNMEAINFO unknown = Leg(90, 90, 0, 6, 0);
  unknown.Heading = NoDataValue;
  EXPECT_EQ(ComputeSteering(unknown, 10).indicator, "<<<<<<<<<<");
  unknown.XTE = NoDataValue;
  EXPECT_FALSE(ComputeSteering(unknown).known);
}

TEST(RouteTexts, GuidanceValuesAsTheBoxesShowThem) {
  TNMEAINFO n;
  n.DestName = "BUOY";
  n.BearingToDest = 3 * kDeg;
  n.BOD = 359.97 * kDeg;
  n.NextLegBearing = NoDataValue;
  n.RangeToDest = 1.26 / kRadToNM;
  n.RouteRemain2 = 10 / kRadToNM;
  n.XTE = -0.123 / kRadToNM;
  n.TimeToDest = 3725.0 / 86400;
  n.RouteRemain1 = 7200.0 / 86400;
  n.VMGToDest = NoDataValue;
  n.Variation = 4 * kDeg;
  TRouteValueTexts t = FormatRouteValues(n, false, 61.0 / 86400, "____||____");
  EXPECT_EQ(t.wpId, "BUOY");
  EXPECT_EQ(t.bwr, "3.0");
  EXPECT_EQ(t.bod, "0.0");  // 359.97 shows as 360.0, that is 0.0
  EXPECT_EQ(t.next, "---");
  EXPECT_EQ(t.rng, "1.3");
  EXPECT_EQ(t.trng, "11.3");
  EXPECT_EQ(t.xte, "-0.12");
  EXPECT_EQ(t.ttg, "01:02:05");
  EXPECT_EQ(t.tttg, "3:02");
  EXPECT_EQ(t.time, "00:01:01");
  EXPECT_EQ(t.wcv, "---");
  t = FormatRouteValues(n, true, 0, "");
  EXPECT_EQ(t.bwr, "359.0");  // magnetic: the easterly variation less
  n.Variation = NoDataValue;
  EXPECT_EQ(FormatRouteValues(n, true, 0, "").bwr, "3.0");  // none known: true
}

TEST(RouteTexts, TypedPositions) {
  struct Case {
    const char* text;
    bool lon;
    double deg;  // NaN: refused
  };
  const double no = std::nan("");
  const Case cases[] = {
      {"05430500N", false, 54.508333333333333}, {"05430500s", false, -54.508333333333333},
      {"09000000N", false, 90},                 {"09000001N", false, no},
      {"05460000N", false, no},                 {"05430500E", false, no},
      {"0543 500N", false, no},                 {"543050N", false, no},
      {"18000000W", true, -180},                {"18000001E", true, no},
      {"01804250e", true, 18.070833333333333},  {"01804250N", true, no},
  };
  for (const Case& c : cases) {
    const std::optional<double> v = ParsePositionText(c.text, c.lon);
    if (std::isnan(c.deg)) {
      EXPECT_FALSE(v) << c.text;
    } else {
      ASSERT_TRUE(v) << c.text;
      EXPECT_NEAR(*v * kRadToDeg, c.deg, 1e-12) << c.text;
    }
  }
}

TEST(RouteEditing, FieldsOfOneOrSeveralPoints) {
  TRoute route;
  route.Options.DefaultSpeed = 6;
  for (int i = 0; i < 3; ++i) route.AddRecord({{0.2, 1.0 + i * 0.001}, 5.0 + i, 0.001, 0, 0, "P" + std::to_string(i), ""});
  TNavShape& p1 = *route.At(1);
  route.Select(&p1);
  TPointFields f = FieldsOf(route, p1);
  EXPECT_EQ(f.number, 1);
  EXPECT_TRUE(f.positionEnabled);
  EXPECT_EQ(f.name, "P1");
  EXPECT_EQ(f.speed, "6");
  // One point: position, speed, limit and name.
  f.lat = "05430000N";
  f.lon = "01015000E";
  f.speed = "7.5";
  f.xte = "0.2";
  f.name = "  NEW  ";
  EXPECT_EQ(ApplyPointFields(route, p1, f), "");
  EXPECT_NEAR(p1.Position.Y * kRadToDeg, 54.5, 1e-12);
  EXPECT_EQ(p1.LegSpeed, 7.5);
  EXPECT_NEAR(p1.LegXTE * kRadToNM, 0.2, 1e-12);
  EXPECT_EQ(p1.Caption, "NEW");
  EXPECT_TRUE(route.Modified);
  // Bad numbers change nothing.
  f.speed = "fast";
  EXPECT_NE(ApplyPointFields(route, p1, f), "");
  EXPECT_EQ(p1.LegSpeed, 7.5);

  // Several: an empty name, a speed or limit of 0 keep each point's own.
  route.At(0)->Selected = route.At(2)->Selected = true;
  route.At(1)->Selected = false;
  f = FieldsOf(route, *route.At(0));
  EXPECT_FALSE(f.positionEnabled);
  EXPECT_EQ(f.number, -1);
  // The several-points view offers nothing of one point: "Update" as shown
  // changes no point.
  EXPECT_EQ(f.name, "");
  EXPECT_EQ(f.speed, "0");
  EXPECT_EQ(f.xte, "0");
  EXPECT_EQ(ApplyPointFields(route, *route.At(0), f), "");
  EXPECT_EQ(route.At(2)->Caption, "P2");
  EXPECT_EQ(route.At(2)->LegSpeed, 7);
  f.name = "";
  f.speed = "0";
  f.xte = "0.5";
  EXPECT_EQ(ApplyPointFields(route, *route.At(0), f), "");
  EXPECT_EQ(route.At(0)->Caption, "P0");
  EXPECT_EQ(route.At(2)->LegSpeed, 7);
  EXPECT_NEAR(route.At(2)->LegXTE * kRadToNM, 0.5, 1e-12);
  EXPECT_NEAR(route.At(1)->LegXTE * kRadToNM, 0.2, 1e-12);  // not selected
}

TEST(RouteEditing, ActivationNeedsAFixAndTheProposedNameIsAFileName) {
  TRoute route;
  TNMEAINFO nav;
  EXPECT_EQ(ToggleRoute(route, nav, false), TActivation::Empty);
  route.AddRecord({{0.2, 1.0}, 0, 0, 0, 0, "A/B: start", ""});
  route.AddRecord({{0.2, 1.001}, 0, 0, 0, 0, "C*?", ""});
  EXPECT_EQ(ToggleRoute(route, nav, false), TActivation::NoPosition);  // no fix ever
  nav.FixStatus = kFixValid;
  nav.Pos = {0.2, 0.9999};
  EXPECT_EQ(ToggleRoute(route, nav, true), TActivation::NoPosition);  // GPS lost
  EXPECT_EQ(ToggleRoute(route, nav, false), TActivation::Started);
  EXPECT_EQ(ToggleRoute(route, nav, false), TActivation::Stopped);
  EXPECT_EQ(ProposedRouteFileName(route), "A-B- start - C--");
}

}  // namespace
