#include <cmath>
#include <limits>
#include <random>

#include "GeodesyTestData.h"
#include "TestSupport.h"
#include "geodesy/CTrans.h"
#include "geodesy/Datum.h"

namespace {

constexpr double kEarth = 6378137.0;
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

double Deg(double d) { return d * kDegToRad; }

// Ground distance in metres between two positions (small distances).
double Metres(const TFPoint& a, const TFPoint& b) {
  const double dx = std::remainder(a.X - b.X, 2 * kPi) * std::cos(0.5 * (a.Y + b.Y));
  return std::hypot(dx, a.Y - b.Y) * kEarth;
}

// A synthetic chart: projected coordinates map to pixels by a rotated,
// anisotropic affine map, so reference points made from it fit exactly.
struct TSyntheticChart {
  RGeoRef ref;
  TProjTrans proj;
  TFPoint origin;  // projected coordinates of pixel (0, 0)
  double a11, a12, a21, a22;  // pixel = A * (projected - origin)

  TSyntheticChart(uint8_t code, double lat0, double lon0, double latS = 0, double latN = 0) {
    ref.Projection = code;
    ref.Lat0 = lat0;
    ref.Lon0 = lon0;
    ref.LatS = latS;
    ref.LatN = latN;
    TWorldConvert w;
    w.SetupProjection(ref);
    proj = w;
    // 4 m and 5.5 m pixels, rows southwards; codes 0 and 1 project in
    // radians.
    const double unit = code <= kProjMercator ? kEarth : 1;
    const double rot = Deg(12), sx = unit / 4.0, sy = -unit / 5.5;
    a11 = sx * std::cos(rot);
    a12 = -sx * std::sin(rot);
    a21 = sy * std::sin(rot);
    a22 = sy * std::cos(rot);
    proj.Project({lon0 - Deg(0.1), lat0 + Deg(0.1)}, origin);
  }
  TFPoint Pixel(const TFPoint& pos) {
    TFPoint q;
    EXPECT_TRUE(proj.Project(pos, q));
    const double x = q.X - origin.X, y = q.Y - origin.Y;
    return {a11 * x + a12 * y, a21 * x + a22 * y};
  }
  TFPoint Position(const TFPoint& pixel) {
    const double det = a11 * a22 - a12 * a21;
    const double x = (a22 * pixel.X - a12 * pixel.Y) / det, y = (a11 * pixel.Y - a21 * pixel.X) / det;
    TFPoint pos;
    EXPECT_TRUE(proj.Unproject({x + origin.X, y + origin.Y}, pos));
    return pos;
  }
  void AddRef(const TFPoint& pos, TFPoint pixelError = {0, 0}) {
    const TFPoint p = Pixel(pos);
    ref.RefPoints.push_back({p.X + pixelError.X, p.Y + pixelError.Y, pos.X, pos.Y});
  }
};

TWorldConvert FittedConverter(const RGeoRef& ref) {
  TWorldConvert w;
  EXPECT_TRUE(w.SetupProjection(ref));
  EXPECT_TRUE(w.SetRefPoints(ref.RefPoints));
  EXPECT_TRUE(w.Fit());
  return w;
}

// With reference points of an exactly affine chart (three, or more), pixel ->
// position is exact everywhere and position -> pixel inverts it.
TEST(WorldConvert, AffineChartsConvertExactly) {
  struct Case {
    const char* what;
    uint8_t code;
    double lat0, lon0, latS, latN;
    double centreLat, centreLon;
    int points;
  } cases[] = {
      {"TM, 3 points", kProjTransverseMercator, Deg(55), Deg(10), 0, 0, Deg(55), Deg(10), 3},
      {"TM, 7 points", kProjTransverseMercator, Deg(55), Deg(10), 0, 0, Deg(55), Deg(10), 7},
      {"Lambert, 5 points", kProjLambert, Deg(47), Deg(-91.6), Deg(47.033), Deg(48.05), Deg(47.5), Deg(-91.5), 5},
      {"Mercator, 4 points", kProjMercator, 0, 0, 0, 0, Deg(59), Deg(18), 4},
  };
  std::mt19937 rng(7);
  std::uniform_real_distribution<double> u(0, 1);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TSyntheticChart chart(c.code, c.lat0, c.lon0, c.latS, c.latN);
    chart.proj.Project({c.centreLon - Deg(0.1), c.centreLat + Deg(0.1)}, chart.origin);
    for (int i = 0; i < c.points; ++i)
      chart.AddRef({c.centreLon - Deg(0.1) + Deg(0.2) * u(rng), c.centreLat - Deg(0.1) + Deg(0.2) * u(rng)});
    TWorldConvert w = FittedConverter(chart.ref);
    for (int i = 0; i < 50; ++i) {
      const TFPoint pixel{5000 * u(rng) - 500, 6000 * u(rng) - 500};
      TFPoint pos, back;
      ASSERT_TRUE(w.PixelToGeo(pixel, pos));
      EXPECT_LT(Metres(pos, chart.Position(pixel)), 1e-5);
      // The Transverse Mercator series inverts itself to a fraction of a
      // millimetre, the other projections exactly.
      ASSERT_TRUE(w.GeoToPixel(pos, back));
      EXPECT_NEAR(back.X, pixel.X, 1e-3);
      EXPECT_NEAR(back.Y, pixel.Y, 1e-3);
    }
  }
}

// With reference points that do not fit one affine map, every reference
// pixel still converts to its own position exactly; between them the
// residuals are interpolated, and position -> pixel stays close to the
// inverse.
TEST(WorldConvert, ResidualsAreHonouredAtReferencePixels) {
  TSyntheticChart chart(kProjTransverseMercator, Deg(55), Deg(10));
  std::mt19937 rng(11);
  std::uniform_real_distribution<double> u(0, 1), noise(-2, 2);
  for (int i = 0; i < 9; ++i)
    chart.AddRef({Deg(9.9) + Deg(0.2) * u(rng), Deg(54.9) + Deg(0.2) * u(rng)}, {noise(rng), noise(rng)});
  TWorldConvert w = FittedConverter(chart.ref);
  int withResidual = 0;
  for (const TRefRecord& r : w.Trans.Points) withResidual += std::hypot(r.Residual.X, r.Residual.Y) > 0.1;
  EXPECT_GE(withResidual, 4);
  for (const TGridPoint& g : chart.ref.RefPoints) {
    TFPoint pos, pixel;
    ASSERT_TRUE(w.PixelToGeo({g.X, g.Y}, pos));
    // Exact up to the projection's own round trip.
    EXPECT_NEAR(pos.X, g.Lon, 1e-9);
    EXPECT_NEAR(pos.Y, g.Lat, 1e-9);
    ASSERT_TRUE(w.GeoToPixel(pos, pixel));
    EXPECT_NEAR(pixel.X, g.X, 0.5);
    EXPECT_NEAR(pixel.Y, g.Y, 0.5);
  }
  // A pixel on a reference point takes that point's residual whole; one
  // pixel away, almost all of it.
  const TRefRecord& r = w.Trans.Points[5];
  const TFPoint on = w.Trans.Correction(r.Pixel);
  EXPECT_EQ(on, r.Residual);
  const TFPoint near = w.Trans.Correction({r.Pixel.X + 1, r.Pixel.Y});
  EXPECT_NEAR(near.X, r.Residual.X, 0.01 * std::fabs(r.Residual.X) + 1e-3);
  EXPECT_NEAR(near.Y, r.Residual.Y, 0.01 * std::fabs(r.Residual.Y) + 1e-3);
}

// A north-up chart with four corner points: the base triangle's vertex 0 is
// its right-angle corner, the corner left out carries a residual (the scan
// is not quite square), and pixel -> position is exact at every corner.
TEST(WorldConvert, FourCornerChart) {
  RGeoRef ref;
  ref.Projection = kProjMercator;
  ref.RefPoints = {{0, 0, Deg(17), Deg(60)},
                   {1000, 0, Deg(19), Deg(60)},
                   {0, 1500, Deg(17), Deg(59)},
                   {1003, 1498, Deg(19), Deg(59)}};
  TWorldConvert w = FittedConverter(ref);
  const TFPoint* b = w.Trans.BaseProjected;
  const bool rightAngleAt0 = (b[0].X == b[1].X && b[0].Y == b[2].Y) || (b[0].X == b[2].X && b[0].Y == b[1].Y);
  EXPECT_TRUE(rightAngleAt0);
  int withResidual = 0;
  for (const TRefRecord& r : w.Trans.Points) withResidual += std::hypot(r.Residual.X, r.Residual.Y) > 1;
  EXPECT_EQ(withResidual, 1);
  for (const TGridPoint& g : ref.RefPoints) {
    TFPoint pos;
    ASSERT_TRUE(w.PixelToGeo({g.X, g.Y}, pos));
    EXPECT_NEAR(pos.X, g.Lon, 1e-12);
    EXPECT_NEAR(pos.Y, g.Lat, 1e-12);
  }
}

TEST(WorldConvert, TwoPointCharts) {
  RGeoRef ref;
  ref.Projection = kProjMercator;
  ref.RefPoints = {{100, 50, Deg(10), Deg(55)}, {900, 850, Deg(11), Deg(54.5)}};
  TWorldConvert w = FittedConverter(ref);
  TProjTrans m;
  m.SetMercator(1, 0);
  TFPoint q0, q1, qm;
  m.Project({Deg(10), Deg(55)}, q0);
  m.Project({Deg(11), Deg(54.5)}, q1);
  m.Project({Deg(10.25), Deg(54.8)}, qm);
  TFPoint pixel;
  ASSERT_TRUE(w.GeoToPixel({Deg(10.25), Deg(54.8)}, pixel));
  EXPECT_NEAR(pixel.X, 100 + 800 * (qm.X - q0.X) / (q1.X - q0.X), 1e-6);
  EXPECT_NEAR(pixel.Y, 50 + 800 * (qm.Y - q0.Y) / (q1.Y - q0.Y), 1e-6);
  // Two points on one meridian or one parallel give no second axis.
  for (TGridPoint second : {TGridPoint{900, 850, Deg(10), Deg(54.5)}, TGridPoint{900, 850, Deg(11), Deg(55)}}) {
    ref.RefPoints[1] = second;
    TWorldConvert bad;
    bad.SetupProjection(ref);
    bad.SetRefPoints(ref.RefPoints);
    EXPECT_FALSE(bad.Fit());
  }
}

// Reference points that cannot carry a fit make it fail, and the chart then
// converts nothing; a valid triangle is never refused for its shape.
TEST(WorldConvert, FitFailures) {
  struct Case {
    const char* what;
    uint8_t code;
    TGridPointArray points;
    bool ok;
  } cases[] = {
      {"no points", kProjMercator, {}, false},
      {"one point", kProjMercator, {{0, 0, 0.1, 0.9}}, false},
      {"collinear",
       kProjMercator,
       {{0, 0, 0.10, 0.90}, {100, 100, 0.11, 0.91}, {200, 200, 0.12, 0.92}},
       false},
      {"nearly collinear",
       kProjNone,
       {{0, 0, 0.10, 0.90}, {1000, 0, 0.11, 0.90}, {500, 1e-7, 0.105, 0.9000001}},
       false},
      {"two points at one position",
       kProjMercator,
       {{0, 0, 0.10, 0.90}, {100, 100, 0.10, 0.90}, {0, 100, 0.12, 0.88}},
       false},
      {"position not a number",
       kProjMercator,
       {{0, 0, 0.10, 0.90}, {100, 100, kNaN, 0.91}, {0, 100, 0.12, 0.88}},
       false},
      {"pixel not a number",
       kProjMercator,
       {{0, 0, 0.10, 0.90}, {kNaN, 100, 0.11, 0.91}, {0, 100, 0.12, 0.88}},
       false},
      {"point the projection rejects",
       kProjLambert,
       {{0, 0, 0.10, 0.90}, {100, 100, 0.11, -kPi / 2}, {0, 100, 0.12, 0.88}},
       false},
      // Right angle at the third vertex, legs along the axes: valid.
      {"axis-aligned right triangle",
       kProjNone,
       {{0, 0, 0.10, 0.90}, {10, 10, 0.11, 0.89}, {10, 0, 0.11, 0.90}},
       true},
      {"skinny but sound",
       kProjNone,
       {{0, 0, 0.10, 0.90}, {10000, 0, 0.20, 0.90}, {5000, 20, 0.15, 0.8998}},
       true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    RGeoRef ref;
    ref.Projection = c.code;
    ref.LatS = Deg(33);
    ref.LatN = Deg(45);
    ref.RefPoints = c.points;
    TWorldConvert w;
    ASSERT_TRUE(w.SetupProjection(ref));
    w.SetRefPoints(ref.RefPoints);
    EXPECT_EQ(w.Fit(), c.ok);
    EXPECT_EQ(w.Valid, c.ok);
    TFPoint out{1, 1};
    if (!c.ok) {
      EXPECT_FALSE(w.PixelToGeo({5, 5}, out));
      EXPECT_EQ(out, (TFPoint{0, 0}));
      EXPECT_FALSE(w.GeoToPixel({0.1, 0.9}, out));
      continue;
    }
    for (const TGridPoint& g : c.points) {
      ASSERT_TRUE(w.PixelToGeo({g.X, g.Y}, out));
      EXPECT_NEAR(out.X, g.Lon, 1e-12);
      EXPECT_NEAR(out.Y, g.Lat, 1e-12);
    }
  }
}

TEST(WorldConvert, ScaleAndIntegerForms) {
  RGeoRef ref;  // code 0: X = longitude, Y = latitude
  ref.RefPoints = {{0, 0, Deg(170), Deg(10)}, {400, 0, Deg(210), Deg(10)}, {0, 200, Deg(170), Deg(-10)}};
  TWorldConvert w = FittedConverter(ref);
  TFPoint pos;
  // 190 deg east comes back as -170 deg.
  ASSERT_TRUE(w.PixelToGeoInt({200, 100}, pos));
  EXPECT_NEAR(pos.X, Deg(-170), 1e-12);
  EXPECT_NEAR(pos.Y, 0, 1e-12);
  ASSERT_TRUE(w.PixelToGeo({200, 100}, pos));
  EXPECT_NEAR(pos.X, Deg(190), 1e-12);

  ASSERT_TRUE(w.SetScale(2, 0.5));
  TPoint p;
  ASSERT_TRUE(w.GeoToPixelInt({Deg(180), Deg(0)}, p));
  EXPECT_EQ(p, (TPoint{200, 50}));
  ASSERT_TRUE(w.PixelToGeo({200, 50}, pos));
  EXPECT_NEAR(pos.X, Deg(180), 1e-12);
  EXPECT_FALSE(w.SetScale(0, 1));
  EXPECT_FALSE(w.SetScale(1, kNaN));
  EXPECT_EQ(w.ScaleX, 2);
  // Far outside any pixel range: refused, not wrapped.
  EXPECT_FALSE(w.GeoToPixelInt({Deg(180), Deg(1e12)}, p));
}

// A chart whose longitudes run past 180 deg (stored below -180) still
// shows a position east of 180 deg.
TEST(WorldConvert, ChartAcrossTheDateLine) {
  RGeoRef ref;
  ref.Projection = kProjMercator;
  ref.RefPoints = {{0, 0, Deg(179 - 360), Deg(-16)},
                   {1000, 0, Deg(-179), Deg(-16)},
                   {0, 1000, Deg(179 - 360), Deg(-18)},
                   {1000, 1000, Deg(-179), Deg(-18)}};
  TWorldConvert w = FittedConverter(ref);
  TFPoint pixel;
  ASSERT_TRUE(w.GeoToPixel({Deg(179.5), Deg(-17)}, pixel));
  EXPECT_NEAR(pixel.X, 250, 1e-6);
  ASSERT_TRUE(w.GeoToPixel({Deg(-179.5), Deg(-17)}, pixel));
  EXPECT_NEAR(pixel.X, 750, 1e-6);
}

TEST(WorldConvert, PrintPage) {
  TPrintTrans t;
  t.SrcX = 100;
  t.SrcY = 40;
  t.SrcWidth = 700;
  t.SrcHeight = 300;
  t.DestWidth = 2480;
  t.DestHeight = 1063;
  for (TPoint c : {TPoint{100, 40}, TPoint{433, 211}, TPoint{800, 340}, TPoint{-5, 1000}}) {
    TPoint page, back;
    ASSERT_TRUE(t.ToPage(c, page));
    ASSERT_TRUE(t.FromPage(page, back));
    EXPECT_LE(std::abs(back.X - c.X), 1);
    EXPECT_LE(std::abs(back.Y - c.Y), 1);
  }
  TPoint page{7, 7};
  t.SrcWidth = 0;
  EXPECT_FALSE(t.ToPage({1, 1}, page));
  EXPECT_EQ(page, (TPoint{7, 7}));
  t.SrcWidth = 1;
  t.DestWidth = 2147483647;
  EXPECT_FALSE(t.ToPage({2147483647, 1}, page));
}

// The datum rule, one table for the chart view and the catalog.
TEST(WorldConvert, DatumRuleTable) {
  using R = TChartShiftRule;
  const TFPoint zero{0, 0}, noDtm{kNoDtmShift, kNoDtmShift}, dtm{1e-5, -2e-5};
  struct Case {
    bool kap, known;
    TFPoint ds;
    int mode;
    R rule;
    bool ask;
    TDatumQuestion question = TDatumQuestion::ModeZeroOnly;
  } cases[] = {
      // Not KAP: the chart's own shift when it has one, else the datum; an
      // unknown datum with no own shift is asked about in mode 0 only (the
      // chart view) or in every mode (the catalog scan).
      {false, true, zero, 2, R::Datum, false},
      {false, true, dtm, 2, R::ChartShift, false},
      {false, false, zero, 2, R::ChartShift, false},
      {false, false, zero, 3, R::ChartShift, false},
      {false, false, zero, 0, R::Datum, true},
      {false, false, dtm, 0, R::ChartShift, false},
      {false, false, zero, 2, R::Datum, true, TDatumQuestion::AlsoNotKap},
      {false, false, zero, 0, R::Datum, true, TDatumQuestion::AlsoNotKap},
      {true, false, dtm, 2, R::ChartShift, false, TDatumQuestion::AlsoNotKap},
      // KAP, mode 0: the datum, asking when unknown.
      {true, true, dtm, 0, R::Datum, false},
      {true, false, dtm, 0, R::Datum, true},
      // Mode 1: the chart's own shift.
      {true, true, dtm, 1, R::ChartShift, false},
      {true, true, noDtm, 1, R::ChartShift, false},
      // Mode 2: the datum when known, else the chart's shift.
      {true, true, dtm, 2, R::Datum, false},
      {true, false, dtm, 2, R::ChartShift, false},
      {true, false, noDtm, 2, R::ChartShift, false},
      // Mode 3: the chart's DTM shift when it has one, else the datum
      // (falling back to the chart's shift when the datum is unknown).
      {true, true, dtm, 3, R::ChartShift, false},
      {true, true, noDtm, 3, R::Datum, false},
      {true, false, noDtm, 3, R::ChartShift, false},
      {true, true, zero, 3, R::ChartShift, false},
      // Other modes: the datum.
      {true, true, dtm, 7, R::Datum, false},
      {true, false, dtm, -1, R::ChartShift, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "kap " << c.kap << " known " << c.known << " ds " << c.ds.X << " mode "
                                    << c.mode << " scan " << (c.question == TDatumQuestion::AlsoNotKap));
    const TChartShiftChoice ch = ChooseChartShiftRule(c.kap, c.known, c.ds, c.mode, c.question);
    EXPECT_EQ(ch.Rule, c.rule);
    EXPECT_EQ(ch.AskAlias, c.ask);
  }
  EXPECT_EQ(SignedChartShift(dtm, true, true), dtm);
  EXPECT_EQ(SignedChartShift(dtm, true, false), (TFPoint{-1e-5, 2e-5}));
  EXPECT_EQ(SignedChartShift(dtm, false, false), dtm);
}

class ChartSetupTest : public testing::Test {
 protected:
  void SetUp() override {
    WriteTestFile(dir_ / "DATUMS2.INI",
                  "[Datums]\nWGS84=WGS84,0,0,0\nEuropean 1950=International 1924,-87,-98,-121\n"
                  "[Ellips]\nWGS84=6378137,298.257223563\nInternational 1924=6378388,297\n");
  }
  RGeoRef Chart() {
    TSyntheticChart chart(kProjTransverseMercator, Deg(59), Deg(18));
    for (auto [lo, la] : {std::pair{17.9, 59.1}, std::pair{18.1, 59.1}, std::pair{17.9, 58.9},
                          std::pair{18.1, 58.9}})
      chart.AddRef({Deg(lo), Deg(la)});
    chart.ref.Border = {{Deg(17.9), Deg(59.1)}, {Deg(18.1), Deg(59.1)}, {Deg(18.1), Deg(58.9)},
                        {Deg(17.9), Deg(58.9)}};
    chart.ref.DatumName = "European 1950";
    return chart.ref;
  }
  TTempDir dir_;
  TDatumSettings settings_;
};

TEST_F(ChartSetupTest, DatumShiftFromTheTable) {
  TDatum datum(dir_ / "DATUMS2.INI");
  settings_.GpsDatum = "European 1950";
  RGeoRef ref = Chart();
  TWorldConvert w;
  const TChartSetup s = w.SetupChart(ref, datum, settings_);
  ASSERT_EQ(s.Error, TSetupError::None);
  ASSERT_TRUE(w.Valid);
  EXPECT_EQ(s.Datum.Rule, TChartShiftRule::Datum);
  const TFPoint centre{Deg(18), Deg(59)};
  EXPECT_NEAR(s.ShiftPoint.X, centre.X, 1e-12);
  const TFPoint expected = MolodenskyShift({6378388, 297, -87, -98, -121}, s.ShiftPoint);
  EXPECT_EQ(w.Shift, expected);
  EXPECT_EQ(s.GpsShift, expected);
  // The catalog's border takes the same decision, point by point.
  const TFPointArray border = ChartBorderToWgs84(ref, datum, settings_);
  ASSERT_EQ(border.size(), ref.Border.size());
  for (size_t i = 0; i < border.size(); ++i) {
    const TFPoint d = MolodenskyShift({6378388, 297, -87, -98, -121}, ref.Border[i]);
    EXPECT_EQ(border[i], (TFPoint{ref.Border[i].X + d.X, ref.Border[i].Y + d.Y}));
  }
  // A WGS 84 position lands on the pixel of its ED50 coordinates.
  TFPoint pixel, ed50Pixel, pos;
  ASSERT_TRUE(w.GeoToPixel({centre.X + expected.X, centre.Y + expected.Y}, pixel));
  const TFPoint saved = w.Shift;
  w.Shift = {0, 0};
  ASSERT_TRUE(w.GeoToPixel(centre, ed50Pixel));
  w.Shift = saved;
  EXPECT_NEAR(pixel.X, ed50Pixel.X, 1e-6);
  EXPECT_NEAR(pixel.Y, ed50Pixel.Y, 1e-6);
  ASSERT_TRUE(w.PixelToGeo(pixel, pos));
  EXPECT_NEAR(pos.X, centre.X + expected.X, 1e-12);
}

TEST_F(ChartSetupTest, ChartShiftAndSign) {
  TDatum datum(dir_ / "DATUMS2.INI");
  RGeoRef ref = Chart();
  ref.IsKAP = true;
  ref.DatumName = "NAD83";  // not in this table
  ref.DatumShift = {Deg(1.0 / 3600), Deg(-2.0 / 3600)};
  TWorldConvert w;
  TChartSetup s = w.SetupChart(ref, datum, settings_);
  EXPECT_EQ(s.Datum.Rule, TChartShiftRule::ChartShift);
  EXPECT_EQ(w.Shift, ref.DatumShift);
  settings_.ReverseKapShift = false;
  s = w.SetupChart(ref, datum, settings_);
  EXPECT_EQ(w.Shift, (TFPoint{-ref.DatumShift.X, -ref.DatumShift.Y}));
  TChartDatum decision;
  const TFPointArray border = ChartBorderToWgs84(ref, datum, settings_, {}, &decision);
  EXPECT_EQ(decision.Rule, TChartShiftRule::ChartShift);
  EXPECT_EQ(border[2], (TFPoint{ref.Border[2].X - ref.DatumShift.X, ref.Border[2].Y - ref.DatumShift.Y}));
  EXPECT_EQ(s.GpsShift, (TFPoint{0, 0}));  // no "GPS Datum": WGS 84
}

// A chart without a border takes its shifts at the middle of its reference
// points, never at a centroid of nothing.
TEST_F(ChartSetupTest, NoBorderUsesTheReferencePoints) {
  TDatum datum(dir_ / "DATUMS2.INI");
  settings_.GpsDatum = "ED50";  // unknown name: WGS 84, no shift
  RGeoRef ref = Chart();
  ref.Border.clear();
  TWorldConvert w;
  const TChartSetup s = w.SetupChart(ref, datum, settings_);
  ASSERT_TRUE(s.HasShiftPoint);
  EXPECT_NEAR(s.ShiftPoint.X, Deg(18), 1e-12);
  EXPECT_NEAR(s.ShiftPoint.Y, Deg(59), 1e-12);
  EXPECT_TRUE(std::isfinite(w.Shift.X) && std::isfinite(w.Shift.Y));
  EXPECT_NE(w.Shift, (TFPoint{0, 0}));
  EXPECT_EQ(s.GpsShift, (TFPoint{0, 0}));
  ref.RefPoints.clear();
  const TChartSetup none = w.SetupChart(ref, datum, settings_);
  EXPECT_FALSE(none.HasShiftPoint);
  EXPECT_EQ(w.Shift, (TFPoint{0, 0}));
  EXPECT_EQ(none.Error, TSetupError::FitFailed);
}

TEST_F(ChartSetupTest, UnknownDatumIsAskedAboutInModeZeroOnly) {
  TDatum datum(dir_ / "DATUMS2.INI");
  RGeoRef ref = Chart();
  ref.DatumName = "EUROPEAN DATUM 1950";
  std::vector<std::string> asked;
  // "Use KAP zero shift" 2: the chart's own shift (none), no question.
  TWorldConvert w2;
  const TChartSetup own = w2.SetupChart(ref, datum, settings_, [&](const std::string& name) {
    asked.push_back(name);
    return false;
  });
  EXPECT_TRUE(asked.empty());
  EXPECT_FALSE(own.Datum.Asked);
  EXPECT_EQ(own.Datum.Rule, TChartShiftRule::ChartShift);
  EXPECT_EQ(w2.Shift, (TFPoint{0, 0}));
  settings_.KapZeroShiftMode = 0;
  TWorldConvert w;
  TChartSetup s = w.SetupChart(ref, datum, settings_, [&](const std::string& name) {
    asked.push_back(name);
    return datum.AddAlias(name, "European 1950");
  });
  ASSERT_EQ(asked.size(), 1u);
  EXPECT_EQ(asked[0], "EUROPEAN DATUM 1950");
  EXPECT_TRUE(s.Datum.Known);
  EXPECT_NE(w.Shift, (TFPoint{0, 0}));
  // Known from now on: not asked again.
  s = w.SetupChart(ref, datum, settings_, [&](const std::string& name) {
    asked.push_back(name);
    return true;
  });
  EXPECT_EQ(asked.size(), 1u);
  // Declined: no shift, and the caller hears of it.
  ref.DatumName = "Mystery 1901";
  s = w.SetupChart(ref, datum, settings_, [](const std::string&) { return false; });
  EXPECT_TRUE(s.Datum.AliasDeclined);
  EXPECT_FALSE(s.Datum.Known);
  EXPECT_EQ(w.Shift, (TFPoint{0, 0}));
}

// A chart whose projection cannot be set up reports it and converts
// nothing: no projection of the chart before it stays in force.
TEST_F(ChartSetupTest, FailedProjectionIsReported) {
  TDatum datum(dir_ / "DATUMS2.INI");
  TSyntheticChart good(kProjLambert, Deg(40), Deg(-96), Deg(33), Deg(45));
  for (auto [lo, la] : {std::pair{-96.1, 40.1}, std::pair{-95.9, 40.1}, std::pair{-96.1, 39.9}})
    good.AddRef({Deg(lo), Deg(la)});
  TWorldConvert w;
  ASSERT_EQ(w.SetupChart(good.ref, datum, settings_).Error, TSetupError::None);
  TFPoint pixel;
  ASSERT_TRUE(w.GeoToPixel({Deg(-96), Deg(40)}, pixel));

  RGeoRef bad = good.ref;
  bad.LatS = Deg(-0.5);
  bad.LatN = Deg(0.5);
  TChartSetup s = w.SetupChart(bad, datum, settings_);
  EXPECT_EQ(s.Error, TSetupError::BadProjection);
  EXPECT_EQ(s.ProjectionResult, kBadLambertInit);
  EXPECT_FALSE(w.Valid);
  EXPECT_FALSE(w.GeoToPixel({Deg(-96), Deg(40)}, pixel));

  bad.Projection = 9;
  EXPECT_EQ(w.SetupChart(bad, datum, settings_).Error, TSetupError::UnknownProjection);
  bad.Projection = kProjPerspective;
  bad.Height = 0;
  EXPECT_EQ(w.SetupChart(bad, datum, settings_).Error, TSetupError::BadProjection);

  RGeoRef unreachable = good.ref;
  unreachable.RefPoints[1].Lat = -kPi / 2;
  s = w.SetupChart(unreachable, datum, settings_);
  EXPECT_EQ(s.Error, TSetupError::RefPointFailed);
  EXPECT_FALSE(w.Valid);
}

// ---------------------------------------------------------------------------
// Real charts: the reference points of NOAA and LINZ charts, checked against
// GDAL's reading of the same charts.

struct TKapRefs {
  TGridPointArray refs;
  double pixelSize = 0;
};

TKapRefs ReadKapRefs(const std::string& path) {
  TKapRefs out;
  std::string text = ReadTestFile(path);
  text = text.substr(0, text.find('\x1a'));
  size_t pos = 0;
  while (pos < text.size()) {
    size_t nl = text.find('\n', pos);
    if (nl == std::string::npos) nl = text.size();
    std::string line = text.substr(pos, nl - pos);
    pos = nl + 1;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    const size_t dx = line.find("DX=");
    if (dx != std::string::npos) out.pixelSize = TryStrToFloatDot(line.substr(dx + 3, line.find(',', dx) - dx - 3)).value_or(0);
    if (line.rfind("REF/", 0) != 0) continue;
    std::vector<double> v;
    size_t start = line.find(',') + 1;
    while (start != 0 && start <= line.size()) {
      const size_t comma = line.find(',', start);
      v.push_back(StrToFloatDot(line.substr(start, comma == std::string::npos ? std::string::npos : comma - start)));
      start = comma == std::string::npos ? 0 : comma + 1;
    }
    if (v.size() == 4) out.refs.push_back({v[0], v[1], Deg(v[3]), Deg(v[2])});
  }
  return out;
}

TEST(WorldConvert, RealChartsAgreeWithGdal) {
  struct Case {
    const char* stem;
    const char* kap;
    uint8_t code;
    double lon0, latS, latN;
  } cases[] = {
      {"14988_2", "14988_2.KAP", kProjLambert, -91.589, 47.033, 48.050},
      {"11361_3", "11361_3.KAP", kProjMercator, 0, 0, 0},
      {"12205_12", "12205_12.KAP", kProjMercator, 0, 0, 0},
      {"NZ61401", "NZ61401.KAP", kProjMercator, 0, 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.stem);
    REQUIRE_TESTDATA(kap, std::string("charts/") + c.kap);
    REQUIRE_TESTDATA(csv, std::string("charts/") + c.stem + ".geo.csv");
    const TKapRefs k = ReadKapRefs(kap);
    ASSERT_GE(k.refs.size(), 4u);
    ASSERT_GT(k.pixelSize, 0);
    RGeoRef ref;
    ref.Projection = c.code;
    ref.Lon0 = Deg(c.lon0);
    ref.LatS = Deg(c.latS);
    ref.LatN = Deg(c.latN);
    ref.RefPoints = k.refs;
    TWorldConvert w = FittedConverter(ref);
    // GDAL's thin-plate spline passes through every reference point and
    // bends smoothly between them; our weighting of the residuals differs
    // between the points by a few pixels at most.
    std::string text = ReadTestFile(csv);
    for (char& ch : text)
      if (ch == ',') ch = ' ';
    double worstPixels = 0;
    size_t rows = 0;
    std::string_view rest = text;
    rest.remove_prefix(rest.find('\n') + 1);
    while (!rest.empty()) {
      const size_t nl = rest.find('\n');
      const std::vector<std::string_view> f = SplitBlanks(rest.substr(0, nl));
      rest = nl == std::string_view::npos ? std::string_view() : rest.substr(nl + 1);
      if (f.size() != 4) continue;
      const TFPoint pixel{StrToFloatDot(f[0]), StrToFloatDot(f[1])};
      const TFPoint gdal{Deg(StrToFloatDot(f[2])), Deg(StrToFloatDot(f[3]))};
      TFPoint pos;
      ASSERT_TRUE(w.PixelToGeo(pixel, pos));
      worstPixels = std::max(worstPixels, Metres(pos, gdal) / k.pixelSize);
      ++rows;
    }
    EXPECT_GE(rows, 50u);
    EXPECT_LT(worstPixels, 3.0);
  }
}

}  // namespace
