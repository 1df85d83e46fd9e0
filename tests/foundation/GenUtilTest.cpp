// Geographic and plane arithmetic, and behaviour on hostile numbers.
#include <cmath>
#include <limits>
#include <random>

#include "TestSupport.h"
#include "foundation/GenUtil.h"

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kTwoPi = 2 * kPi;

TFPoint Pos(double latDeg, double lonDeg) { return {lonDeg * kDegToRad, latDeg * kDegToRad}; }
double Nm(double rad) { return rad * kRadToNM; }
double Deg(double rad) { return rad * kRadToDeg; }

// A rhumb line on a sphere of 1 NM = 1 minute of arc, from the Mercator
// (isometric) latitude: the exact course-and-distance the plane sailing
// approximates. Returns (distance, bearing) in radians.
TFPoint RhumbLine(const TFPoint& from, const TFPoint& to) {
  double dLat = to.Y - from.Y;
  double dLon = std::remainder(to.X - from.X, kTwoPi);
  double dPsi = std::log(std::tan(kPi / 4 + to.Y / 2) / std::tan(kPi / 4 + from.Y / 2));
  double q = std::fabs(dPsi) > 1e-12 ? dLat / dPsi : std::cos(from.Y);
  double bearing = std::atan2(dLon, dPsi);
  if (bearing < 0) bearing += kTwoPi;
  return {std::sqrt(dLat * dLat + q * q * dLon * dLon), bearing};
}

TEST(GenUtilGeo, DistanceAndBearingOfPlainLegs) {
  struct Case {
    const char* name;
    TFPoint from, to;
    double nm, bearingDeg;
  } cases[] = {
      {"to itself", Pos(59, 18), Pos(59, 18), 0, 90},
      {"due north", Pos(10, 5), Pos(11, 5), 60, 0},
      {"due south", Pos(10, 5), Pos(9, 5), 60, 180},
      {"due east on the equator", Pos(0, 5), Pos(0, 6), 60, 90},
      {"due west on the equator", Pos(0, 6), Pos(0, 5), 60, 270},
      {"due east at 60N", Pos(60, 5), Pos(60, 7), 60, 90},
      {"across 180 eastward", Pos(0, 170), Pos(0, -175), 900, 90},
      {"across 180 westward", Pos(0, -175), Pos(0, 170), 900, 270},
      {"across 180 at 60S", Pos(-60, 179), Pos(-60, -179), 60, 90},
      {"across 0", Pos(0, -1), Pos(0, 1), 120, 90},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TFPoint r = GeoDistBearing(c.from, c.to);
    EXPECT_NEAR(Nm(r.X), c.nm, 1e-9);
    EXPECT_NEAR(Deg(r.Y), c.bearingDeg, 1e-9);
    EXPECT_GE(r.Y, 0);
    EXPECT_LT(r.Y, kTwoPi);
    EXPECT_EQ(GeoDistance(c.from, c.to), r.X);
  }
  // Exact values where the rule fixes them.
  EXPECT_EQ(GeoDistBearing(Pos(59, 18), Pos(59, 18)).Y, kPi / 2);
  EXPECT_EQ(GeoDistBearing(Pos(0, 6), Pos(0, 5)).Y, 1.5 * kPi);
  // A bearing a hair west of north stays below 2*pi.
  TFPoint hair = GeoDistBearing({0, 0}, {-1e-18, 1});
  EXPECT_GE(hair.Y, 0);
  EXPECT_LT(hair.Y, kTwoPi);

  EXPECT_NEAR(Nm(GeoDistanceVia(Pos(0, 0), Pos(1, 0), Pos(1, 1))), 60 + 60 * std::cos(kDegToRad), 1e-9);
}

// Plane sailing against the rhumb line on the same sphere. Measured
// agreement, start latitudes below 59 degrees: legs of 20-50 NM within
// 1.5e-5 relative in distance and 0.0011 degree in bearing; legs up to
// 200 NM within 2.5e-4 and 0.018 degree. The tolerances below leave a small
// margin over that. A 400 NM leg at 60-65 N is about 0.12 % long and 0.08
// degree off: the accepted price of the method.
TEST(GenUtilGeo, PlaneSailingAgreesWithTheRhumbLine) {
  for (double maxLen : {50.0, 200.0}) {
    const double distTol = maxLen <= 50 ? 2e-5 : 3e-4;
    const double bearingTol = (maxLen <= 50 ? 0.0015 : 0.025) * kDegToRad;
    std::mt19937 rng(7);
    std::uniform_real_distribution<double> lat(-59, 59), lon(-180, 180), dir(0, 360), len(20, maxLen);
    for (int i = 0; i < 2000; ++i) {
      TFPoint from = Pos(lat(rng), lon(rng));
      TFPoint polar{len(rng) / kRadToNM, dir(rng) * kDegToRad};
      // Place the end point with the rhumb line so the oracle owns the geometry.
      double dLat = polar.X * std::cos(polar.Y);
      TFPoint to{0, from.Y + dLat};
      double dPsi = std::log(std::tan(kPi / 4 + to.Y / 2) / std::tan(kPi / 4 + from.Y / 2));
      double q = std::fabs(dPsi) > 1e-12 ? dLat / dPsi : std::cos(from.Y);
      to.X = std::remainder(from.X + polar.X * std::sin(polar.Y) / q, kTwoPi);

      TFPoint want = RhumbLine(from, to);
      TFPoint got = GeoDistBearing(from, to);
      SCOPED_TRACE(testing::Message() << "leg " << i << " from " << Deg(from.Y) << "," << Deg(from.X));
      ASSERT_NEAR(got.X, want.X, want.X * distTol);
      ASSERT_NEAR(std::remainder(got.Y - want.Y, kTwoPi), 0, bearingTol);
    }
  }
  TFPoint far = GeoDistBearing(Pos(60, 10), Pos(65, 20));
  TFPoint farRhumb = RhumbLine(Pos(60, 10), Pos(65, 20));
  EXPECT_NEAR(Nm(far.X), Nm(farRhumb.X), 0.0015 * Nm(farRhumb.X));
  EXPECT_NEAR(Deg(far.Y), Deg(farRhumb.Y), 0.1);
}

// The dead-reckoning step scales longitude at the start latitude, the
// distance at the mid latitude; on legs up to 0.1 NM they agree within
// 1e-9 radian (6 mm) in distance and 2e-5 radian in bearing.
TEST(GenUtilGeo, OffsetThenDistanceBearingReturnsTheLeg) {
  std::mt19937 rng(3);
  std::uniform_real_distribution<double> lat(-60, 60), lon(-179, 179), dir(0, 360), len(0.001, 0.1);
  for (int i = 0; i < 1000; ++i) {
    TFPoint pos = Pos(lat(rng), lon(rng));
    TFPoint leg{len(rng) / kRadToNM, dir(rng) * kDegToRad};
    TFPoint back = GeoDistBearing(pos, GeoOffset(pos, leg));
    ASSERT_NEAR(back.X, leg.X, 1e-9);
    ASSERT_NEAR(std::remainder(back.Y - leg.Y, kTwoPi), 0, 2e-5);
  }
  TFPoint east = GeoOffset(Pos(60, 0), {1 / kRadToNM, kPi / 2});
  EXPECT_NEAR(Deg(east.X), 2.0 / 60, 1e-12);  // a mile east at 60N is two minutes of longitude
  EXPECT_NEAR(Deg(east.Y), 60, 1e-12);
}

TEST(GenUtilGeo, TimeToGo) {
  EXPECT_DOUBLE_EQ(TimeToGo(10 / kRadToNM, 5), 2.0 / 24);
  for (double speed : {0.0, -3.0, kNaN, 1e-320}) {
    SCOPED_TRACE(speed);
    EXPECT_EQ(TimeToGo(10 / kRadToNM, speed), kMaxTimeToGoDays);
  }
  EXPECT_EQ(TimeToGo(kInf, 5), kMaxTimeToGoDays);
  EXPECT_EQ(TimeToGo(kNaN, 5), kMaxTimeToGoDays);
  // Long passages are not cut to the display limit: routes add these up.
  EXPECT_DOUBLE_EQ(TimeToGo(600 / kRadToNM, 5), 5.0);
  EXPECT_EQ(DaysToHMS(TimeToGo(1, 0)), "99:59:59");
}

TEST(GenUtilGeo, CompactPositionsRoundTripExactly) {
  std::mt19937 rng(11);
  std::uniform_int_distribution<int32_t> lat(-5400000, 5400000), lon(-10800000, 10800000);
  std::vector<TIntPos> all = {{0, 0}, {5400000, 10800000}, {-5400000, -10800000}, {1, -1}, {3570500, 1084250}};
  for (int i = 0; i < 10000; ++i) all.push_back({lat(rng), lon(rng)});
  for (const TIntPos& p : all) ASSERT_EQ(FPointToIntPos(IntPosToFPoint(p)), p) << p.Lat << " " << p.Lon;

  TFPoint f = IntPosToFPoint({3570500, 1084250});  // 59°30.5'N 18°04.25'E
  EXPECT_NEAR(Deg(f.Y), 59 + 30.5 / 60, 1e-12);
  EXPECT_NEAR(Deg(f.X), 18 + 4.25 / 60, 1e-12);
  EXPECT_DOUBLE_EQ(IntPosUnitToRad(10800000), kPi);
  // Values that cannot be held become 0 instead of undefined behaviour.
  EXPECT_EQ(FPointToIntPos({kNaN, 1e300}), (TIntPos{0, 0}));
}

TEST(GenUtilGeo, NormalisedAngles) {
  struct Case {
    double in, zeroTo2Pi, signedPi;
  } cases[] = {
      {0, 0, 0},
      {1, 1, 1},
      {-1, kTwoPi - 1, -1},
      {kPi, kPi, kPi},
      {-kPi, kPi, -kPi},
      {190 * kDegToRad, 190 * kDegToRad, -170 * kDegToRad},
      {-190 * kDegToRad, 170 * kDegToRad, 170 * kDegToRad},
      {kTwoPi, 0, 0},
      {-kTwoPi, 0, 0},
      {7 * kTwoPi + 0.5, 0.5, 0.5},
      {-7 * kTwoPi - 0.5, kTwoPi - 0.5, -0.5},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.in);
    double a = c.in, s = c.in;
    NormAngle(a);
    NormAngleSigned(s);
    EXPECT_NEAR(a, c.zeroTo2Pi, 1e-12);
    EXPECT_NEAR(s, c.signedPi, 1e-12);
    EXPECT_GE(a, 0);
    EXPECT_LT(a, kTwoPi);
    EXPECT_LE(std::fabs(s), kPi);
  }
  double negZero = -kTwoPi;
  NormAngle(negZero);
  EXPECT_FALSE(std::signbit(negZero));
  // Inside the range nothing moves, not even by a rounding step.
  double inside = 3.0;
  NormAngleSigned(inside);
  EXPECT_EQ(inside, 3.0);
}

// Every function that takes a number survives the numbers a broken
// instrument or file can produce, and gives its documented fallback.
TEST(GenUtilGeo, HostileNumbersNeverCrash) {
  const double hostile[] = {kNaN,  kInf, -kInf, 1e300, -1e300, std::numeric_limits<double>::max(),
                            -std::numeric_limits<double>::max(), 1e-320, 4e9, -4e9};
  for (double v : hostile) {
    SCOPED_TRACE(v);
    double a = v, s = v;
    NormAngle(a);
    NormAngleSigned(s);
    if (std::isfinite(v)) {
      EXPECT_TRUE(a >= 0 && a < kTwoPi) << a;
      EXPECT_LE(std::fabs(s), kPi);
    } else {
      EXPECT_TRUE(std::isnan(a));
      EXPECT_TRUE(std::isnan(s));
    }
    for (const std::string& t : {LatToStr(v), LonToStr(v)}) {
      if (std::isfinite(v)) {
        EXPECT_NE(t.find("\u00B0"), std::string::npos) << t;
      } else {
        EXPECT_TRUE(t == "00000000N" || t == "00000000E") << t;
      }
    }
    EXPECT_EQ(PosToMaskText(false, v).size(), 9u);
    EXPECT_EQ(PosToMaskText(true, v).size(), 9u);
    EXPECT_EQ(PosToMaskText10(true, v).size(), 10u);
    std::string hms = DaysToHMS(v);
    EXPECT_TRUE(hms >= "00:00:00" && hms <= "99:59:59") << hms;
    EXPECT_EQ(SecondsToHMS(v).size(), 8u);
    EXPECT_FALSE(SecondsToHHHMM(v).empty());
    EXPECT_FALSE(SecondsToHMM(v).empty());
    double ttg = TimeToGo(v, 5);
    EXPECT_TRUE(std::isfinite(ttg));
    ttg = TimeToGo(1, v);
    EXPECT_TRUE(std::isfinite(ttg));
    GeoDistBearing({v, v}, {0, 0});
    GeoOffset({0, v}, {v, v});
    FPointToIntPos({v, v});
    TPoint px = RoundFPoint({v, -v});
    EXPECT_LE(std::abs(px.X), kPixelLimit);
    PolarToPixel({v, 1});
    RotatePolarToPixel({1, 1}, v, v);
    RadToAngleText(2, v);
    DegToStrEW(4, 1, v);
    AngleToDegrees(2, v);
    DegreesToAngle(2, v);
    DateToYYYYMMDD(v);
    PointInPolygon(TFPointArray{{0, 0}, {v, 0}, {v, v}}, {1, 1});
    EXPECT_FALSE(std::isnan(EnsureRangeFloat(v, -1, 1)));
  }
}

TEST(GenUtilPlane, PolarPairs) {
  struct Case {
    TFPoint xy;
    double length, bearing;
  } cases[] = {
      {{0, 0}, 0, kPi / 2},        // the origin counts as "east"
      {{3, 0}, 3, kPi / 2},        {{-3, 0}, 3, 1.5 * kPi},
      {{0, 2}, 2, 0},              {{0, -2}, 2, kPi},
      {{-1, -1}, std::sqrt(2.0), -0.75 * kPi},  // not normalised
      {{3, 4}, 5, std::atan2(3.0, 4.0)},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.xy.X << "," << c.xy.Y);
    TFPoint p = XYToPolar(c.xy);
    EXPECT_DOUBLE_EQ(p.X, c.length);
    EXPECT_DOUBLE_EQ(p.Y, c.bearing);
    TFPoint back = PolarToXY(p);
    EXPECT_NEAR(back.X, c.xy.X, 1e-12);
    EXPECT_NEAR(back.Y, c.xy.Y, 1e-12);
  }
  // Scaled and turned a quarter clockwise: north becomes east.
  TFPoint r = RotatePolar({10, 0}, 2, kPi / 2);
  EXPECT_NEAR(r.X, 20, 1e-12);
  EXPECT_NEAR(r.Y, 0, 1e-12);
  EXPECT_EQ(RotatePolarToPixel({10, 0}, 2, kPi / 2), (TPoint{20, 0}));
  EXPECT_EQ(PolarToPixel({10, kPi}), (TPoint{0, -10}));
}

TEST(GenUtilPlane, PixelRoundingAndOffsets) {
  struct Case {
    double in;
    int32_t out;
  } cases[] = {{0.5, 0}, {1.5, 2}, {2.5, 2}, {-2.5, -2}, {-0.4, 0}, {2.6, 3},
               {kNaN, 0}, {1e300, kPixelLimit}, {-kInf, -kPixelLimit}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.in);
    EXPECT_EQ(RoundFPoint({c.in, 0}).X, c.out);
    EXPECT_EQ(RoundFPoint({0, c.in}).Y, c.out);
  }
  EXPECT_EQ(FloatPoint({-3, 7}), (TFPoint{-3, 7}));
  EXPECT_EQ(PointAddOffset({1, 2}, {10, -20}), (TPoint{11, -18}));
  constexpr int32_t kMax = std::numeric_limits<int32_t>::max();
  constexpr int32_t kMin = std::numeric_limits<int32_t>::min();
  EXPECT_EQ(PointAddOffset({kMax, kMin}, {1, -1}), (TPoint{kMax, kMin}));
}

TEST(GenUtilPlane, PointArithmetic) {
  EXPECT_EQ(FPointAdd({1, 2}, {3, 5}), (TFPoint{4, 7}));
  EXPECT_EQ(FPointSub({1, 2}, {3, 5}), (TFPoint{-2, -3}));
  EXPECT_EQ(FPointMul({1, -2}, 3), (TFPoint{3, -6}));
  EXPECT_EQ(FPointDiv({3, -6}, 3), (TFPoint{1, -2}));
  TFPoint a{1, 2}, b{3, 4};
  FPointSwap(a, b);
  EXPECT_EQ(a, (TFPoint{3, 4}));
  EXPECT_EQ(b, (TFPoint{1, 2}));
  EXPECT_TRUE(SameFPoint({0.0, 1}, {-0.0, 1}));
  EXPECT_FALSE(SameFPoint({kNaN, 1}, {kNaN, 1}));
  EXPECT_DOUBLE_EQ(PlaneDistance({1, 1}, {4, 5}), 5);
  EXPECT_DOUBLE_EQ(TrianglePerimeter({0, 0}, {3, 0}, {3, 4}), 12);

  // Vertex mean, not area centroid: the extra point near one corner pulls it.
  EXPECT_EQ(PolygonCentroid({{0, 0}, {4, 0}, {4, 4}, {0, 4}}), (TFPoint{2, 2}));
  EXPECT_EQ(PolygonCentroid({{0, 0}, {4, 0}, {4, 4}, {0, 4}, {0, 2}}), (TFPoint{1.6, 2}));
  EXPECT_EQ(PolygonCentroid({}), (TFPoint{0, 0}));

  double hi = 1, lo = 5;
  OrderDesc(hi, lo);
  EXPECT_EQ(hi, 5);
  EXPECT_EQ(lo, 1);
  OrderDesc(hi, lo);
  EXPECT_EQ(hi, 5);
}

TEST(GenUtilPlane, InterpolatedPoints) {
  TFPointArray pts;
  InterpolatePoints(pts, 4, {0, 10}, {8, 2});
  ASSERT_EQ(pts.size(), 5u);
  EXPECT_EQ(pts, (TFPointArray{{0, 10}, {2, 8}, {4, 6}, {6, 4}, {8, 2}}));

  TFPointArray one(3, TFPoint{9, 9});
  InterpolatePoints(one, 1, {1, 1}, {2, 2});
  EXPECT_EQ(one, (TFPointArray{{1, 1}, {2, 2}, {9, 9}}));  // longer arrays keep the rest

  TFPointArray untouched{{5, 5}};
  InterpolatePoints(untouched, 0, {1, 1}, {2, 2});
  InterpolatePoints(untouched, -3, {1, 1}, {2, 2});
  EXPECT_EQ(untouched, (TFPointArray{{5, 5}}));
}

TEST(GenUtilPlane, PointInPolygon) {
  const TFPointArray square{{0, 0}, {10, 0}, {10, 10}, {0, 10}};
  const TFPointArray squareClosed{{0, 0}, {10, 0}, {10, 10}, {0, 10}, {0, 0}};
  // A "U": the notch between x 4 and 6 above y 4 is outside.
  const TFPointArray u{{0, 0}, {10, 0}, {10, 10}, {6, 10}, {6, 4}, {4, 4}, {4, 10}, {0, 10}};
  const TFPointArray triangle{{0, 0}, {10, 0}, {5, 8}};
  struct Case {
    const char* name;
    const TFPointArray* poly;
    TFPoint t;
    bool inside;
  } cases[] = {
      {"square centre", &square, {5, 5}, true},
      {"square outside right", &square, {15, 5}, false},
      {"square outside above", &square, {5, 15}, false},
      {"on the right vertical edge", &square, {10, 5}, false},
      {"on the left vertical edge", &square, {0, 5}, false},
      {"closed square centre", &squareClosed, {5, 5}, true},
      {"closed square edge", &squareClosed, {10, 5}, false},
      {"in the notch", &u, {5, 8}, false},
      {"below the notch", &u, {5, 2}, true},
      {"left arm", &u, {2, 8}, true},
      {"right arm", &u, {8, 8}, true},
      {"right of the U", &u, {12, 8}, false},
      {"triangle inside", &triangle, {5, 3}, true},
      {"triangle outside beside the apex", &triangle, {8, 7}, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(PointInPolygon(*c.poly, c.t), c.inside);
    EXPECT_EQ(PointInPolygon(c.poly->data(), c.poly->size(), c.t), c.inside);
  }
  EXPECT_FALSE(PointInPolygon(TFPointArray{}, {0, 0}));
  EXPECT_FALSE(PointInPolygon(nullptr, 5, {0, 0}));
  EXPECT_FALSE(PointInPolygon(TFPointArray{{1, 1}}, {1, 1}));
  EXPECT_FALSE(PointInPolygon(square, {kNaN, 5}));
  EXPECT_FALSE(PointInPolygon(square, {5, kNaN}));
  // An edge whose slope overflows is an arithmetic failure: outside.
  EXPECT_FALSE(PointInPolygon(TFPointArray{{-1e308, 0}, {1e308, 1e-300}, {1e308, 10}, {-1e308, 10}}, {0, 5e-301}));
}

TEST(GenUtilPlane, Rectangles) {
  TFRect r{10, 20, 0, 0};
  EXPECT_TRUE(PointInFRect({0, 0}, r));
  EXPECT_TRUE(PointInFRect({10, 20}, r));
  EXPECT_FALSE(PointInFRect({10.000001, 5}, r));
  EXPECT_FALSE(PointInFRect({5, kNaN}, r));

  TFRect swapped{0, 0, 10, 20};
  NormFRect(swapped);
  EXPECT_EQ(swapped, r);

  struct Case {
    const char* name;
    TFRect a, b;
    bool overlap, intersect;
  } cases[] = {
      {"corner inside", {10, 10, 0, 0}, {15, 15, 5, 5}, true, true},
      {"one inside the other", {10, 10, 0, 0}, {6, 6, 4, 4}, true, true},
      {"plus sign", {10, 6, 0, 4}, {6, 10, 4, 0}, false, true},
      {"long thin leg across a view", {100, 5.1, -100, 4.9}, {10, 10, 0, 0}, false, true},
      {"shared edge", {10, 10, 0, 0}, {20, 10, 10, 0}, true, true},
      {"apart", {10, 10, 0, 0}, {30, 30, 20, 20}, false, false},
      {"apart in Y only", {10, 10, 0, 0}, {10, 30, 0, 20}, false, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(FRectsOverlap(c.a, c.b), c.overlap);
    EXPECT_EQ(FRectsOverlap(c.b, c.a), c.overlap);
    EXPECT_EQ(FRectsIntersect(c.a, c.b), c.intersect);
    EXPECT_EQ(FRectsIntersect(c.b, c.a), c.intersect);
  }
}

}  // namespace
