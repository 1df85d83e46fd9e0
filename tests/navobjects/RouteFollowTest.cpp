// Route following: a boat sailed along and across routes one tick a second,
// with the guidance values checked against GeographicLib's solvers on the
// sphere the plotter measures on, and the cases that decide when a
// waypoint is reached, left or lost.
#include <cmath>
#include <cstdio>
#include <limits>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "RouteFilesTestUtil.h"
#include "TestSupport.h"
#include "foundation/GenUtil.h"
#include "instruments/NMEAInfo.h"
#include "navobjects/LogBook.h"
#include "navobjects/Routes.h"

namespace {

constexpr double kNm = 1.0 / kRadToNM;  // one nautical mile in radians of arc

TFPoint At(double latDeg, double lonDeg) { return {lonDeg * kDegToRad, latDeg * kDegToRad}; }

double WrapLon(double x) { return std::remainder(x, 2 * kPi); }

// The position `nm` miles from p on a bearing (degrees), by plane steps.
TFPoint Moved(TFPoint p, double bearingDeg, double nm) {
  TFPoint q = GeoOffset(p, {nm * kNm, bearingDeg * kDegToRad});
  q.X = WrapLon(q.X);
  return q;
}

struct TPt {
  std::string name;
  TFPoint pos;
  double xteNm = 0;  // 0: "Default XTE"
};

void Fill(TRoute& route, const std::vector<TPt>& pts) {
  TRoutePoints recs;
  for (const TPt& p : pts) {
    TRoutePointRec r;
    r.Name = p.name;
    r.Position = p.pos;
    r.LegXTE = p.xteNm * kNm;
    recs.push_back(r);
  }
  route.InsertList(std::move(recs), route.Count());
}

using TEntries = std::vector<std::pair<std::string, int>>;

// A route followed by a boat, its log book without a file (entries only).
struct TFollower {
  explicit TFollower(const std::vector<TPt>& pts) : log(&nav) {
    Fill(route, pts);
    log.AutoMask = 0xFFFFFFFFu;
    route.LogBook = &log;
    nav.SOG = 6;
    nav.Heading = 0;
  }
  void Put(TFPoint pos, double sog = 6, double headingDeg = 0) {
    nav.Pos = pos;
    nav.SOG = sog;
    nav.Heading = headingDeg * kDegToRad;
  }
  TEntries Entries(bool withXte = true) const {
    TEntries e;
    for (const auto& x : log.Entries)
      if (withXte || x.category != kLogXteError) e.emplace_back(x.message, x.category);
    return e;
  }
  std::string DestName() const { return route.Dest ? route.Dest->Caption : "(none)"; }

  TNMEAINFO nav;
  TRoute route;
  TLOGGBOOK log;
};

// ---------------------------------------------------------------------------
// Voyages

// A boat sailing a path at a steady speed, one tick a second.
class TBoat {
 public:
  TBoat(std::vector<TFPoint> path, double knots) : path_(std::move(path)), step_(knots / 3600.0 * kNm), knots_(knots) {}

  // Puts the boat at its next position (the first call: the path's start);
  // false when the path is sailed.
  bool Step(TNMEAINFO& nav) {
    double left = started_ ? step_ : 0;
    started_ = true;
    while (seg_ + 1 < path_.size()) {
      const TFPoint a = path_[seg_], b = path_[seg_ + 1];
      const double len = GeoDistance(a, b);
      if (done_ + left <= len) {
        done_ += left;
        const double f = len > 0 ? done_ / len : 0;
        nav.Pos = {WrapLon(a.X + f * WrapLon(b.X - a.X)), a.Y + f * (b.Y - a.Y)};
        nav.SOG = knots_;
        nav.Heading = GeoDistBearing(a, b).Y;
        return true;
      }
      left -= len - done_;
      done_ = 0;
      ++seg_;
    }
    return false;
  }
  double StepNm() const { return step_ * kRadToNM; }

 private:
  std::vector<TFPoint> path_;
  double step_;
  double knots_;
  size_t seg_ = 0;
  double done_ = 0;
  bool started_ = false;
};

struct TVoyage {
  const char* name;
  std::vector<TPt> route;
  double knots;
  // Sideways swing of the boat's path between waypoints (alternately right
  // and left of the legs).
  double swingNm;
  // Legs shorter than the distance sailed in "Route Preload" seconds.
  bool shortLegs = false;
};

std::vector<TVoyage> Voyages() {
  std::vector<TVoyage> v;
  v.push_back({"Four legs at 59 N",
               {{"P0", At(59.00, 10.50)},
                {"P1", At(59.03, 10.50)},
                {"P2", At(59.04, 10.56)},
                {"P3", At(59.01, 10.60)},
                {"P4", At(58.99, 10.55)}},
               6,
               0.04});
  v.push_back({"Across the 180th meridian at 20 S",
               {{"W1", At(-20.00, 179.90)},
                {"W2", At(-20.05, 179.98)},
                {"W3", At(-20.08, -179.93)},
                {"W4", At(-20.03, -179.86)}},
               8,
               0.03});
  v.push_back(
      {"Westward at 70 N", {{"N1", At(70.00, 20.0)}, {"N2", At(70.02, 19.9)}, {"N3", At(70.00, 19.8)}}, 5, 0.02});
  // Legs of about 20 m on a gentle curve: the 20 seconds of preload cover
  // 62 m at 6 knots.
  TVoyage shortLegs{"Legs of 20 m at 45 N", {}, 6, 0, true};
  TFPoint p = At(45.0, 5.0);
  for (int i = 0; i < 12; ++i) {
    shortLegs.route.push_back({"S" + std::to_string(i), p});
    p = Moved(p, 60 + 4 * i, 20.0 / 1852.0);
  }
  v.push_back(std::move(shortLegs));
  return v;
}

// The boat's path: from 0.05 mile before the first point, through every
// point, swinging out to the side halfway along each leg.
std::vector<TFPoint> BoatPath(const TVoyage& v) {
  std::vector<TFPoint> path;
  const auto& r = v.route;
  path.push_back(Moved(r[0].pos, GeoDistBearing(r[0].pos, r[1].pos).Y * kRadToDeg + 180, 0.05));
  for (size_t i = 0; i + 1 < r.size(); ++i) {
    path.push_back(r[i].pos);
    const TFPoint db = GeoDistBearing(r[i].pos, r[i + 1].pos);
    const double side = (i % 2 == 0 ? 90 : -90);
    path.push_back(Moved(Moved(r[i].pos, db.Y * kRadToDeg, db.X * kRadToNM / 2), db.Y * kRadToDeg + side, v.swingNm));
  }
  path.push_back(r.back().pos);
  // Sailing on past the end.
  path.push_back(Moved(r.back().pos, GeoDistBearing(r[r.size() - 2].pos, r.back().pos).Y * kRadToDeg, 0.5));
  return path;
}

// What one tick left in the record.
struct TTick {
  TFPoint pos, origin, dest;
  int destIndex = 0;
  double bod = 0, btd = 0, range = 0, xte = 0, ttd = 0, sog = 0;
  bool switched = false;
  bool following = false;
};

// Activates the route at the boat's first position and runs one update
// cycle a tick until following ends or the path is sailed.
std::vector<TTick> Sail(TFollower& f, TBoat& boat) {
  std::vector<TTick> ticks;
  boat.Step(f.nav);
  f.route.Start(f.nav, true);
  f.route.WasLegChanged();
  while (f.route.Following && boat.Step(f.nav)) {
    f.route.UpdateCycle(f.nav);
    const TNMEAINFO& n = f.nav;
    EXPECT_EQ(n.RouteActive, f.route.Following);
    ticks.push_back({n.Pos, n.OriginPos, n.DestPos, n.DestIndex, n.BOD, n.BearingToDest, n.RangeToDest, n.XTE,
                     n.TimeToDest, n.SOG, f.route.WasLegChanged(), f.route.Following});
  }
  return ticks;
}

TEST(RouteFollowVoyage, WaypointsSwitchPreloadSecondsAheadAndTheLogTellsTheVoyage) {
  for (const TVoyage& v : Voyages()) {
    SCOPED_TRACE(v.name);
    TFollower f(v.route);
    TBoat boat(BoatPath(v), v.knots);
    const std::vector<TTick> ticks = Sail(f, boat);
    ASSERT_FALSE(ticks.empty());
    ASSERT_FALSE(ticks.back().following) << "the route did not end";

    // The log book: started at the first point, every later point in turn,
    // ended at the last.
    const int n = static_cast<int>(v.route.size());
    TEntries want = {{"Route Started at " + v.route[0].name, kLogRoute}};
    for (int i = 1; i < n; ++i)
      want.push_back({"Route Next WP at " + v.route[static_cast<size_t>(i)].name, kLogNextWaypoint});
    want.push_back({"Route Ending at " + v.route.back().name, kLogRoute});
    EXPECT_EQ(f.Entries(false), want);

    // Each switch comes at the first tick that brings the waypoint within
    // "Route Preload" seconds at the boat's speed (with short legs the
    // destination runs ahead of the boat, so only the upper bound holds).
    const double preloadNm = v.knots * f.route.Follow.PreloadSeconds / 3600.0;
    int dest = 1;
    for (size_t t = 0; t < ticks.size(); ++t) {
      const TTick& k = ticks[t];
      const bool moved = !k.following || k.destIndex != dest;
      EXPECT_EQ(k.switched, moved) << "tick " << t;
      if (!moved) continue;
      if (k.following) {
        EXPECT_EQ(k.destIndex, dest + 1) << "tick " << t;
      }
      const TFPoint reached = v.route[static_cast<size_t>(dest)].pos;
      EXPECT_LT(GeoDistance(k.pos, reached) * kRadToNM, preloadNm) << "tick " << t;
      if (!v.shortLegs && t > 0) {
        EXPECT_GE(GeoDistance(ticks[t - 1].pos, reached) * kRadToNM, preloadNm) << "tick " << t;
      }
      dest = k.destIndex;
    }
    EXPECT_EQ(dest, n - 1);
  }
}

// ---- the oracle: GeographicLib's solvers on the plotter's sphere ----

bool HaveProgram(const char* name) {
  std::string out;
  return routetest::RunCommand(std::string("command -v ") + name, out) == 0 && !out.empty();
}

// Runs a solver once over all the lines of `input`; the numbers of each
// output line.
std::vector<std::vector<double>> Solve(const std::string& program, const std::string& input) {
  TTempDir dir;
  WriteTestFile(dir / "in.txt", input);
  std::string out;
  const int status = routetest::RunCommand(program + " -i -e 6366707.0194937 0 -p 9 < '" + (dir / "in.txt") + "'", out);
  EXPECT_EQ(status, 0) << program;
  std::vector<std::vector<double>> rows;
  std::istringstream lines(out);
  for (std::string line; std::getline(lines, line);) {
    std::vector<double> row;
    std::istringstream items(line);
    for (std::string item; items >> item;) row.push_back(TryStrToFloatDot(item).value_or(NAN));
    rows.push_back(row);
  }
  return rows;
}

std::string LatLon(const TFPoint& p) {
  return FloatToStrFixedDot(12, p.Y * kRadToDeg) + " " + FloatToStrFixedDot(12, p.X * kRadToDeg);
}

double AngleDiffDeg(double a, double b) { return std::fabs(std::remainder(a - b, 360.0)); }

// Tolerances. The plotter measures by mid-latitude plane sailing, the rhumb
// line's approximation on the sphere of 1852 m to the minute; its error
// grows with the square of the latitude difference: over the few miles
// here, up to 70 degrees of latitude, it is below a millimetre in range and
// a ten-thousandth of a degree in bearing. The tolerances leave room for
// ten times that (bearings are compared only over 100 m and more, where a
// millimetre is 0.0006 degree).
constexpr double kRangeTolMetres = 0.01;
constexpr double kRangeTolRelative = 1e-5;
constexpr double kBearingTolDeg = 0.001;
// The cross-track error is measured from the rhumb line of the leg, the
// oracle's from the great circle through its ends, which bulges poleward
// of the rhumb line: at a fraction f along a leg whose east-west extent is
// L, by about f (1 - f) L^2 tan(latitude) / (2 R) (0.8 m in the middle of a
// 2-mile east-west leg at 70 N). The difference may be that bulge, half as
// much again for the approximation, and 5 cm.
constexpr double kXteTolMetres = 0.05;
double GreatCircleBulge(const TTick& k, double alongFraction) {
  const double lat = (k.origin.Y + k.dest.Y) / 2;
  const double ew = WrapLon(k.dest.X - k.origin.X) * std::cos(lat) * kRadToMetre;
  return std::fabs(alongFraction * (1 - alongFraction)) * ew * ew * std::fabs(std::tan(lat)) / (2 * kRadToMetre);
}

TEST(RouteFollowVoyage, GuidanceAgreesWithGeographicLibOnTheSphere) {
  if (!HaveProgram("RhumbSolve") || !HaveProgram("GeodSolve"))
    GTEST_SKIP() << "RhumbSolve and GeodSolve (Debian package geographiclib-tools) are not installed: the guidance "
                    "values are not compared with them";
  for (const TVoyage& v : Voyages()) {
    SCOPED_TRACE(v.name);
    TFollower f(v.route);
    TBoat boat(BoatPath(v), v.knots);
    std::vector<TTick> ticks = Sail(f, boat);
    while (!ticks.empty() && !ticks.back().following) ticks.pop_back();
    ASSERT_FALSE(ticks.empty());

    // One run of each solver for the whole voyage: the rhumb line from the
    // boat to the waypoint and along the leg; the great circle from the
    // leg's origin to the boat and to the waypoint.
    std::string rhumbIn, geodIn;
    for (const TTick& k : ticks) {
      rhumbIn += LatLon(k.pos) + " " + LatLon(k.dest) + "\n" + LatLon(k.origin) + " " + LatLon(k.dest) + "\n";
      geodIn += LatLon(k.origin) + " " + LatLon(k.pos) + "\n" + LatLon(k.origin) + " " + LatLon(k.dest) + "\n";
    }
    const auto rhumb = Solve("RhumbSolve", rhumbIn);
    const auto geod = Solve("GeodSolve", geodIn);
    ASSERT_EQ(rhumb.size(), 2 * ticks.size());
    ASSERT_EQ(geod.size(), 2 * ticks.size());

    double worstRange = 0, worstBearing = 0, worstBod = 0, worstXte = 0, worstXteBeyondBulge = -1e9, worstTtd = 0;
    for (size_t t = 0; t < ticks.size(); ++t) {
      const TTick& k = ticks[t];
      const auto& toDest = rhumb[2 * t];
      const auto& leg = rhumb[2 * t + 1];
      const auto& toBoat = geod[2 * t];  // azi1 azi2 s12
      const auto& legGc = geod[2 * t + 1];
      ASSERT_GE(toDest.size(), 2u);
      ASSERT_GE(leg.size(), 2u);
      ASSERT_GE(toBoat.size(), 3u);
      ASSERT_GE(legGc.size(), 3u);
      SCOPED_TRACE("tick " + std::to_string(t));

      const double rangeM = toDest[1];
      const double dRange = std::fabs(k.range * kRadToMetre - rangeM);
      EXPECT_LE(dRange, kRangeTolMetres + kRangeTolRelative * rangeM);
      worstRange = std::max(worstRange, dRange);

      if (rangeM >= 100) {
        const double dB = AngleDiffDeg(k.btd * kRadToDeg, toDest[0]);
        EXPECT_LE(dB, kBearingTolDeg);
        worstBearing = std::max(worstBearing, dB);
      }
      const double dBod = AngleDiffDeg(k.bod * kRadToDeg, leg[0]);
      EXPECT_LE(dBod, kBearingTolDeg);
      worstBod = std::max(worstBod, dBod);

      // Great-circle cross-track distance, positive right of the leg.
      const double r = kRadToMetre;
      const double xteGc = r * std::asin(std::sin(toBoat[2] / r) * std::sin((toBoat[0] - legGc[0]) * kDegToRad));
      const double along = std::cos((toBoat[0] - legGc[0]) * kDegToRad) * toBoat[2] / legGc[2];
      const double bulge = GreatCircleBulge(k, along);
      const double dXte = std::fabs(k.xte * kRadToMetre - xteGc);
      EXPECT_LE(dXte, kXteTolMetres + 1.5 * bulge)
          << "xte " << k.xte * kRadToMetre << " m, great circle " << xteGc << " m, bulge " << bulge << " m";
      worstXte = std::max(worstXte, dXte);
      worstXteBeyondBulge = std::max(worstXteBeyondBulge, dXte - bulge);

      // Time to go at the speed over ground, in seconds.
      const double ttdS = rangeM / 1852.0 / k.sog * 3600.0;
      const double dTtd = std::fabs(k.ttd * 86400.0 - ttdS);
      EXPECT_LE(dTtd, 0.05 + kRangeTolRelative * ttdS);
      worstTtd = std::max(worstTtd, dTtd);
    }
    std::printf(
        "[ oracle   ] %s: %zu ticks; largest differences: range %.4f m, bearing %.5f deg, BOD %.6f deg, "
        "XTE %.4f m (%+.4f m beside the bulge), time to go %.4f s\n",
        v.name, ticks.size(), worstRange, worstBearing, worstBod, worstXte, worstXteBeyondBulge, worstTtd);
  }
}

// ---------------------------------------------------------------------------
// Activation

TEST(RouteFollowStart, TwoPointRouteNearItsFirstPointLeadsToItsSecond) {
  TFollower f({{"Alpha", At(59.0, 10.0)}, {"Bravo", At(59.1, 10.2)}});
  f.route.AppendOnly = true;  // the editor's append mode does not steer
  f.Put(Moved(At(59.0, 10.0), 45, 0.02));
  f.route.Start(f.nav, true);
  ASSERT_TRUE(f.route.Following);
  EXPECT_TRUE(f.nav.RouteActive);
  EXPECT_EQ(f.route.Dest, f.route.At(1));
  EXPECT_EQ(f.nav.OriginIndex, 0);
  EXPECT_EQ(f.nav.DestIndex, 1);
  EXPECT_EQ(f.nav.OriginId, "01-ALPHA");
  EXPECT_EQ(f.nav.DestId, "02-BRAVO");
  EXPECT_EQ(f.nav.DestName, "Bravo");
  // The leg's bearing by plane sailing: 0.2 degree east at cos 59.05, 0.1
  // degree north.
  EXPECT_NEAR(f.nav.BOD * kRadToDeg, std::atan2(0.2 * std::cos(59.05 * kDegToRad), 0.1) * kRadToDeg, 1e-9);
  EXPECT_EQ(f.nav.RouteRemain2, 0);
  EXPECT_EQ(f.nav.RouteRemain1, 0);
  EXPECT_EQ(f.nav.NextLegBearing, NoDataValue);  // no leg after it (0 would be north)
  EXPECT_TRUE(f.route.WasLegChanged());
  EXPECT_FALSE(f.route.WasLegChanged());
  // While followed the points cannot be moved or edited; the destination
  // is the selected one.
  for (int i = 0; i < 2; ++i) {
    EXPECT_TRUE(f.route.At(i)->Locked);
    EXPECT_FALSE(f.route.At(i)->Enabled);
    EXPECT_EQ(f.route.At(i)->Selected, i == 1);
  }
  EXPECT_EQ(f.Entries(),
            (TEntries{{"Route Started at Alpha", kLogRoute}, {"Route Next WP at Bravo", kLogNextWaypoint}}));

  // Numbers only in the numeric name mode; an unnamed point is "WP-" and
  // its number.
  TFollower g({{"Alpha", At(59.0, 10.0)}, {"", At(59.1, 10.2)}, {"Charlie", At(59.2, 10.2)}});
  g.route.Options.DeviceNameMode = dnNumeric;
  g.Put(Moved(At(59.0, 10.0), 45, 0.02));
  g.route.Start(g.nav, true);
  EXPECT_EQ(g.nav.OriginId, "1");
  EXPECT_EQ(g.nav.DestId, "2");
  EXPECT_EQ(g.nav.DestName, "WP-2");
  EXPECT_NEAR(g.nav.NextLegBearing, 0, 1e-12);  // due north to Charlie
  EXPECT_NEAR(g.nav.RouteRemain2 * kRadToNM, 6.0, 1e-9);
}

TEST(RouteFollowStart, OnlyTheUsersActivationOfALongerRouteNearItsEndReversesIt) {
  const TPt a{"A", At(59.00, 10.0)}, b{"B", At(59.05, 10.0)}, c{"C", At(59.05, 10.1)};
  const TFPoint firstLeg = At(59.02, 10.0), lastLeg = At(59.05, 10.06), pastC = At(59.05, 10.15);
  const TFPoint pastB = At(59.08, 10.0);
  struct {
    const char* what;
    std::vector<TPt> route;
    TFPoint boat;
    bool allowReverse;
    const char* first;  // the route's first point afterwards
    const char* dest;   // nullptr: not following
  } cases[] = {
      {"first leg", {a, b, c}, firstLeg, true, "A", "B"},
      {"last leg, activated", {a, b, c}, lastLeg, true, "C", "B"},
      {"last leg, re-acquired", {a, b, c}, lastLeg, false, "A", "C"},
      {"past the end, activated", {a, b, c}, pastC, true, "C", "B"},
      {"past the end, re-acquired", {a, b, c}, pastC, false, "A", nullptr},
      {"two points, on the leg near the end", {a, b}, At(59.045, 10.0), true, "A", "B"},
      {"two points, past the end", {a, b}, pastB, true, "A", nullptr},
  };
  for (const auto& k : cases) {
    SCOPED_TRACE(k.what);
    TFollower f(k.route);
    f.Put(k.boat);
    f.route.Start(f.nav, k.allowReverse);
    EXPECT_EQ(f.route.First()->Caption, k.first);
    EXPECT_EQ(f.route.Following, k.dest != nullptr);
    EXPECT_EQ(f.nav.RouteActive, k.dest != nullptr);
    if (k.dest) {
      EXPECT_EQ(f.DestName(), k.dest);
    } else {
      // A route that never started does not end either.
      EXPECT_EQ(f.Entries(), TEntries{});
      EXPECT_EQ(f.nav.RangeToDest, NoDataValue);
    }
  }
}

TEST(RouteFollowStart, WhatCannotBeFollowedOrComputedEndsQuietly) {
  // No route, or a single point: nothing starts.
  for (int n = 0; n < 2; ++n) {
    std::vector<TPt> pts;
    if (n) pts.push_back({"A", At(59, 10)});
    TFollower f(pts);
    f.route.Start(f.nav, true);
    EXPECT_FALSE(f.route.Following);
    EXPECT_FALSE(f.nav.RouteActive);
    EXPECT_FALSE(f.route.NextWaypoint(f.nav));
    f.route.UpdateCycle(f.nav);
    EXPECT_FALSE(f.nav.RouteActive);
    EXPECT_EQ(f.Entries(), TEntries{});
  }
  // A position that is no number ends following without an ending entry;
  // the last values stay, the points are the user's again.
  TFollower f({{"A", At(59.0, 10.0)}, {"B", At(59.05, 10.0)}});
  f.Put(At(59.01, 10.0));
  f.route.Start(f.nav, true);
  ASSERT_TRUE(f.route.Following);
  const double range = f.nav.RangeToDest;
  f.nav.Pos.Y = std::numeric_limits<double>::quiet_NaN();
  f.route.UpdateCycle(f.nav);
  EXPECT_FALSE(f.route.Following);
  EXPECT_FALSE(f.nav.RouteActive);
  EXPECT_EQ(f.nav.RangeToDest, range);
  EXPECT_FALSE(f.route.At(1)->Locked);
  EXPECT_EQ(f.Entries().size(), 2u);  // started, next waypoint
}

// ---------------------------------------------------------------------------
// Guidance on a leg

TEST(RouteFollowLeg, CrossTrackErrorSignSizeAndAlarms) {
  struct {
    const char* what;
    double legDeg;    // the leg's direction
    double offsetNm;  // the boat's distance right (+) or left (-) of it
    double legXteNm;  // the destination's limit (0 or less: the default)
    double defaultXteNm;
    bool alarm, right, left;
  } cases[] = {
      {"right of a northbound leg", 0, 0.1, 0.05, 0.05, true, true, false},
      {"left of a northbound leg", 0, -0.1, 0.05, 0.05, true, false, true},
      {"inside the limit", 0, 0.03, 0.05, 0.05, false, false, false},
      {"right of a southbound leg (west of it)", 180, 0.1, 0.05, 0.05, true, true, false},
      {"left of an eastbound leg (north of it)", 90, -0.2, 0.1, 0.05, true, false, true},
      {"no limit on the leg: the default", 0, 0.1, 0, 0.05, true, true, false},
      {"no limit on the leg, a wider default", 0, 0.1, 0, 0.2, false, false, false},
      {"a negative limit: the default", 0, -0.1, -1, 0.2, false, false, false},
      {"no limit at all: no alarm", 0, 0.3, 0, 0, false, false, false},
  };
  for (const auto& k : cases) {
    SCOPED_TRACE(k.what);
    // The destination at 59 N, the leg 3 miles long, the boat 1 mile before
    // the destination.
    const TFPoint dest = At(59.0, 10.0);
    const TFPoint origin = Moved(dest, k.legDeg + 180, 3);
    TFollower f({{"O", origin}, {"D", dest, k.legXteNm}});
    f.route.Options.DefaultXTE = k.defaultXteNm * kNm;
    f.Put(Moved(Moved(dest, k.legDeg + 180, 1), k.legDeg + 90, k.offsetNm));
    f.route.Start(f.nav, true);
    for (int i = 0; i < 3; ++i) f.route.UpdateCycle(f.nav);
    ASSERT_TRUE(f.route.Following);
    EXPECT_NEAR(f.nav.XTE * kRadToNM, k.offsetNm, 0.0005);
    EXPECT_NEAR(f.nav.RangeToDest * kRadToNM, std::hypot(1.0, k.offsetNm), 0.0005);
    EXPECT_NEAR(AngleDiffDeg(f.nav.BearingToDest * kRadToDeg, k.legDeg - std::atan(k.offsetNm) * kRadToDeg), 0, 0.03);
    EXPECT_EQ(f.route.Alarms.XteAlarm, k.alarm);
    EXPECT_EQ(f.route.Alarms.XteRight, k.right);
    EXPECT_EQ(f.route.Alarms.XteLeft, k.left);
    // "XTE Error" once, not once a tick.
    int xteEntries = 0;
    for (const auto& e : f.Entries()) xteEntries += e == std::make_pair(std::string("XTE Error"), kLogXteError);
    EXPECT_EQ(xteEntries, k.alarm ? 1 : 0);
  }
}

TEST(RouteFollowLeg, MagneticValuesTimeToGoAndSpeedMadeGood) {
  TFollower f({{"A", At(59.0, 10.0)}, {"B", At(59.1, 10.0)}});
  f.Put(At(59.0, 10.0), 6, 90);
  f.nav.Variation = 3 * kDegToRad;  // east
  f.route.Start(f.nav, true);
  EXPECT_NEAR(f.nav.BODMag * kRadToDeg, 357, 1e-9);
  EXPECT_NEAR(f.nav.BearingToDestMag * kRadToDeg, 357, 1e-9);
  EXPECT_NEAR(f.nav.TimeToDest * 24, 1.0, 1e-9);  // 6 miles at 6 knots
  EXPECT_NEAR(f.nav.VMGToDest, 0, 1e-9);          // heading east across a northbound line
  f.nav.Heading = 60 * kDegToRad;
  f.route.UpdateCycle(f.nav);
  EXPECT_NEAR(f.nav.VMGToDest, 3, 1e-9);
  f.nav.Heading = NoDataValue;
  f.route.UpdateCycle(f.nav);
  EXPECT_EQ(f.nav.VMGToDest, NoDataValue);

  // Without a known speed the time to go is the longest shown, and a crawl
  // gives no more.
  for (double sog : {0.0, NoDataValue, std::numeric_limits<double>::quiet_NaN(), -2.0, 1e-12}) {
    f.nav.SOG = sog;
    f.route.UpdateCycle(f.nav);
    EXPECT_EQ(f.nav.TimeToDest, 4.166655092592593) << sog;
    EXPECT_EQ(f.nav.TimeToDest, kMaxTimeToGoDays);
  }
}

// ---------------------------------------------------------------------------
// Arrival and leaving

TEST(RouteFollowArrival, StandingStillTheWaypointIsReachedOnlyByPassingOrLeavingIt) {
  TFollower f({{"A", At(59.0, 10.0)}, {"B", At(59.05, 10.0)}, {"C", At(59.1, 10.0)}});
  const TFPoint b = At(59.05, 10.0), c = At(59.1, 10.0);
  f.Put(At(59.0, 10.0), 0);
  f.route.Start(f.nav, true);
  // Right at B with no speed: no arrival by time.
  f.Put(Moved(b, 180, 0.001), 0);
  f.route.UpdateCycle(f.nav);
  EXPECT_EQ(f.DestName(), "B");
  // Drifting past B onto the next leg, 10 m a tick: passed, not left.
  for (int i = 1; i <= 3 && f.DestName() == "B"; ++i) {
    f.Put(Moved(b, 0, i * 10 / 1852.0), 0);
    f.route.UpdateCycle(f.nav);
  }
  EXPECT_EQ(f.DestName(), "C");
  EXPECT_EQ(f.Entries(), (TEntries{{"Route Started at A", kLogRoute},
                                   {"Route Next WP at B", kLogNextWaypoint},
                                   {"Route Next WP at C", kLogNextWaypoint}}));

  // Up to 10 m before C, then away sideways: following ends once the range
  // has grown by more than 50 m ("Route Force") since the closest approach.
  const TFPoint close = Moved(c, 180, 10 / 1852.0);
  f.Put(close, 0);
  f.route.UpdateCycle(f.nav);
  const double closest = GeoDistance(close, c);
  for (int i = 1; i <= 20 && f.route.Following; ++i) {
    const TFPoint p = Moved(close, 90, i * 10 / 1852.0);
    f.Put(p, 0);
    f.route.UpdateCycle(f.nav);
    const double grown = (GeoDistance(p, c) - closest) * kRadToMetre;
    EXPECT_EQ(f.route.Following, grown <= 50) << "range grown by " << grown << " m";
  }
  EXPECT_FALSE(f.route.Following);
  EXPECT_FALSE(f.nav.RouteActive);
  EXPECT_EQ(f.Entries().back(), std::make_pair(std::string("Route Ending at C"), kLogRoute));
}

TEST(RouteFollowArrival, LeavingAMiddleLegReacquiresTheRouteTackingAlongItDoesNot) {
  // A U: north, east, south.
  TFollower f({{"A", At(59.0, 10.0)}, {"B", At(59.05, 10.0)}, {"C", At(59.05, 10.1)}, {"D", At(59.0, 10.1)}});
  f.route.Follow.WaypointAck = true;
  f.Put(At(59.02, 10.0), 6, 0);
  f.route.Start(f.nav, true);
  ASSERT_EQ(f.DestName(), "B");
  EXPECT_TRUE(f.route.Alarms.NewWaypoint);
  f.route.Alarms.NewWaypoint = false;  // acknowledged
  f.route.WasLegChanged();

  // Tacking back down the leg: the range grows, but the boat is still on
  // the leg to B.
  for (int i = 1; i <= 30; ++i) {
    f.Put(Moved(At(59.02, 10.0), 180, i * 0.01), 6, 180);
    f.route.UpdateCycle(f.nav);
  }
  EXPECT_EQ(f.DestName(), "B");
  EXPECT_FALSE(f.route.WasLegChanged());

  // Across to the far leg: the route is taken up again there.
  const TFPoint from = At(59.02, 10.0);
  for (int i = 1; i <= 400 && f.DestName() == "B"; ++i) {
    f.Put(Moved(from, 90, i * 0.01), 6, 90);
    f.route.UpdateCycle(f.nav);
  }
  EXPECT_EQ(f.DestName(), "D");
  EXPECT_TRUE(f.route.Following);
  EXPECT_TRUE(f.route.WasLegChanged());
  EXPECT_TRUE(f.route.Alarms.NewWaypoint);  // raised again by the new leg
  EXPECT_EQ(f.Entries(false), (TEntries{{"Route Started at A", kLogRoute},
                                        {"Route Next WP at B", kLogNextWaypoint},
                                        {"Route Started at C", kLogRoute},
                                        {"Route Next WP at D", kLogNextWaypoint}}));
}

TEST(RouteFollowArrival, ABoatFoundPastTheEndWhenTakingUpTheRouteAgainHasEndedIt) {
  TFollower f({{"A", At(59.0, 10.0)}, {"B", At(59.05, 10.0)}, {"C", At(59.05, 10.1)}, {"D", At(59.0, 10.1)}});
  f.Put(At(59.02, 10.0));
  f.route.Start(f.nav, true);
  ASSERT_EQ(f.DestName(), "B");
  // Next seen south of D, beyond the route's end.
  f.Put(At(58.98, 10.1));
  f.route.UpdateCycle(f.nav);
  EXPECT_FALSE(f.route.Following);
  EXPECT_FALSE(f.nav.RouteActive);
  EXPECT_EQ(f.Entries(false).back(), std::make_pair(std::string("Route Ending at D"), kLogRoute));
}

// ---------------------------------------------------------------------------
// The 180th meridian

TEST(RouteFollowDateLine, TheNearestPointAndTheLegAreFoundAcrossTheMeridian) {
  // East across the meridian, north, and back west: the boat is on the
  // first leg, just west of the meridian, near the point just east of it.
  TFollower f({{"P0", At(0.0, 179.0)}, {"P1", At(0.0, -179.9)}, {"P2", At(0.5, -179.9)}, {"P3", At(0.5, 179.7)}});
  const TFPoint boat = At(0.0, 179.98);
  EXPECT_EQ(f.route.NearestPoint(boat), f.route.At(1));
  EXPECT_EQ(f.route.LegIndexFor(boat, true), 1);
  f.Put(boat, 6, 90);
  f.route.Start(f.nav, true);
  ASSERT_TRUE(f.route.Following);
  EXPECT_EQ(f.DestName(), "P1");
  EXPECT_NEAR(f.nav.RangeToDest * kRadToNM, 0.12 * 60, 1e-6);
  EXPECT_NEAR(f.nav.BearingToDest * kRadToDeg, 90, 1e-9);
}

// ---------------------------------------------------------------------------
// Ending

TEST(RouteFollowEnd, StopResetsTheGuidanceAndAStartAfterItIsLoggedAgain) {
  TFollower f({{"A", At(59.0, 10.0)}, {"B", At(59.05, 10.0), 0.05}, {"C", At(59.1, 10.0)}});
  f.route.SetEnabledAll(false);  // the window's mode for the route
  f.Put(Moved(At(59.02, 10.0), 90, 0.1));
  f.route.Start(f.nav, true);
  f.route.UpdateCycle(f.nav);
  ASSERT_TRUE(f.route.Alarms.XteAlarm);
  ASSERT_TRUE(f.route.Alarms.XteRight);
  f.route.Stop(f.nav);
  EXPECT_FALSE(f.route.Following);
  EXPECT_FALSE(f.nav.RouteActive);
  for (double v : {f.nav.NextLegBearing, f.nav.RangeToDest, f.nav.TimeToDest, f.nav.RouteRemain1, f.nav.RouteRemain2})
    EXPECT_EQ(v, NoDataValue);
  EXPECT_FALSE(f.route.Alarms.XteAlarm);
  EXPECT_FALSE(f.route.Alarms.XteRight);
  EXPECT_FALSE(f.route.Alarms.XteLeft);
  for (int i = 0; i < f.route.Count(); ++i) {
    EXPECT_FALSE(f.route.At(i)->Selected);
    EXPECT_FALSE(f.route.At(i)->Locked);
    EXPECT_FALSE(f.route.At(i)->Enabled);  // as the collection is
  }
  f.route.Stop(f.nav);  // not following: nothing more is logged
  f.route.Start(f.nav, true);
  EXPECT_TRUE(f.route.Following);
  const TEntries once = {
      {"Route Started at A", kLogRoute}, {"Route Next WP at B", kLogNextWaypoint}, {"XTE Error", kLogXteError}};
  TEntries want = once;
  want.push_back({"Route Ending at B", kLogRoute});
  want.insert(want.end(), once.begin(), once.end());
  EXPECT_EQ(f.Entries(), want);
}

TEST(RouteFollowEnd, FreeingTheDestinationWhileFollowingStopsWithoutTouchingIt) {
  for (const bool clear : {true, false}) {
    SCOPED_TRACE(clear ? "route cleared" : "destination deleted");
    TFollower f({{"A", At(59.0, 10.0)}, {"B", At(59.05, 10.0)}, {"C", At(59.1, 10.0)}});
    f.Put(At(59.02, 10.0));
    f.route.Start(f.nav, true);
    ASSERT_EQ(f.DestName(), "B");
    if (clear)
      f.route.Clear();
    else
      f.route.Delete(f.route.Dest);
    EXPECT_EQ(f.route.Dest, nullptr);
    f.route.UpdateCycle(f.nav);
    EXPECT_FALSE(f.route.Following);
    EXPECT_FALSE(f.nav.RouteActive);
    EXPECT_EQ(f.nav.RangeToDest, NoDataValue);
    f.route.UpdateCycle(f.nav);
    EXPECT_EQ(f.Entries().size(), 2u);  // no ending named after a freed point
    // What is left can be followed again.
    f.route.Start(f.nav, true);
    EXPECT_EQ(f.route.Following, !clear);
    if (!clear) {
      EXPECT_EQ(f.DestName(), "C");
    }
  }
}

}  // namespace
