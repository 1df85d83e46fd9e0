#include <cmath>
#include <limits>

#include "GeodesyTestData.h"
#include "TestSupport.h"
#include "geodesy/CTrans.h"

namespace {

constexpr double kEarth = 6378137.0;
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

double Deg(double d) { return d * kDegToRad; }

// Sets up the projection a reference table names, as a chart would.
void SetupFromTable(TProjTrans& p, const TRefTable& t) {
  const int code = static_cast<int>(t.Param("code"));
  const double lat0 = Deg(t.Param("lat0")), lon0 = Deg(t.Param("lon0"));
  switch (code) {
    case 1: p.SetMercator(1, lat0); break;
    case 2: p.SetTransverseMercator(1, kWgs84InvF, kWgs84A, lat0, lon0); break;
    case 3:
      ASSERT_EQ(p.SetLambert(lat0, lon0, Deg(t.Param("lat1")), Deg(t.Param("lat2")), kWgs84InvF, kWgs84A), 0);
      break;
    case 4: p.SetPolyconic(lat0, lon0, kWgs84InvF, kWgs84A); break;
    case 5: p.SetSinusoidal(lon0, kEarth); break;
    case 6: p.SetOrthographic(lat0, lon0, kEarth); break;
    case 7: p.SetPerspective(lat0, lon0, t.Param("height"), kEarth); break;
    default: FAIL() << "code " << code;
  }
  ASSERT_TRUE(p.SetupOk);
}

// Every projection against PROJ, forward and inverse, a few hundred points
// each. Tolerances: the spherical and exact ellipsoidal forms (Mercator on
// the unit sphere, Lambert, sinusoidal, orthographic, perspective) to 1e-6 m
// (the Lambert inverse to 1e-5 m: its latitude iteration stops at steps of
// 1e-10 rad); the series forms to their own truncation: the Transverse
// Mercator series to a few millimetres within 3 deg of the central meridian
// (centimetres at 6 deg), the Polyconic meridian series to 1 mm.
TEST(Projection, AgreesWithProj) {
  struct Case {
    const char* file;
    double tolMetres;  // forward, in projected units converted to metres
    double tolInverseMetres;
  } cases[] = {
      {"proj_merc_lat0_0.txt", 1e-6, 1e-6},       {"proj_merc_lat0_55.txt", 1e-6, 1e-6},
      {"proj_tmerc_lon15_3deg.txt", 2e-3, 2e-3},  {"proj_tmerc_lat55_3deg.txt", 2e-3, 2e-3},
      {"proj_tmerc_lon15_6deg.txt", 0.05, 0.05},  {"proj_lcc_secant.txt", 1e-6, 1e-5},
      {"proj_lcc_tangent.txt", 1e-6, 1e-5},       {"proj_lcc_south.txt", 1e-6, 1e-5},
      {"proj_poly.txt", 1e-3, 1e-3},              {"proj_sinu.txt", 1e-6, 1e-6},
      {"proj_ortho.txt", 1e-6, 1e-6},             {"proj_ortho_north_pole.txt", 1e-6, 1e-6},
      {"proj_nsper.txt", 1e-6, 1e-6},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file);
    const TRefTable t = ReadRefTable(GeodesyDataFile(c.file));
    ASSERT_GE(t.rows.size(), 300u);
    TProjTrans p;
    SetupFromTable(p, t);
    // Code 1 works on the unit sphere: its units are radians of the earth.
    const double unit = t.Param("code") == 1 ? kEarth : 1;
    double worstFwd = 0, worstInv = 0;
    for (const auto& r : t.rows) {
      ASSERT_EQ(r.size(), 4u);
      const TFPoint pos{Deg(r[0]), Deg(r[1])};
      TFPoint xy;
      ASSERT_TRUE(p.Project(pos, xy)) << r[0] << " " << r[1] << ": " << p.ErrorText();
      worstFwd = std::max({worstFwd, std::fabs(xy.X - r[2]) * unit, std::fabs(xy.Y - r[3]) * unit});
      TFPoint back;
      ASSERT_TRUE(p.Unproject({r[2], r[3]}, back)) << r[0] << " " << r[1] << ": " << p.ErrorText();
      double dlon = std::remainder(back.X - pos.X, 2 * kPi);
      worstInv = std::max({worstInv, std::fabs(back.Y - pos.Y) * kEarth,
                           std::fabs(dlon) * kEarth * std::cos(pos.Y)});
    }
    EXPECT_LE(worstFwd, c.tolMetres);
    EXPECT_LE(worstInv, c.tolInverseMetres);
  }
}

TEST(Projection, SpecialValues) {
  TProjTrans p;
  TFPoint xy, pos;
  // Code 0 with scale 1 is the identity both ways.
  p.SetNone(1);
  ASSERT_TRUE(p.Project({0.3, -0.7}, xy));
  EXPECT_EQ(xy, (TFPoint{0.3, -0.7}));
  ASSERT_TRUE(p.Unproject({0.3, -0.7}, pos));
  EXPECT_EQ(pos, (TFPoint{0.3, -0.7}));

  // Code 1: the ordinary Mercator at Lat0 = 0.
  p.SetMercator(1, 0);
  ASSERT_TRUE(p.Project({0, Deg(60)}, xy));
  EXPECT_NEAR(xy.Y, 1.3169578969248166, 1e-15);
  ASSERT_TRUE(p.Unproject(xy, pos));
  EXPECT_NEAR(pos.Y, Deg(60), 1e-12);
  // Measured from Lat0: a point 90 deg from Lat0 takes the linear fallback,
  // and longitudes are never wrapped (stored calibrations rely on both).
  p.SetMercator(1, Deg(10));
  ASSERT_TRUE(p.Project({Deg(200), Deg(-80)}, xy));
  EXPECT_DOUBLE_EQ(xy.X, Deg(200));
  EXPECT_DOUBLE_EQ(xy.Y, Deg(-90));
  ASSERT_TRUE(p.Project({0, Deg(40)}, xy));
  EXPECT_NEAR(xy.Y, std::atanh(std::sin(Deg(30))) + Deg(10), 1e-15);

  // Code 2 on the central meridian: X = 0, Y = M(lat) - M(lat0).
  p.SetTransverseMercator(1, kWgs84InvF, kWgs84A, Deg(50), Deg(15));
  TFPoint at60, at50;
  ASSERT_TRUE(p.Project({Deg(15), Deg(60)}, at60));
  ASSERT_TRUE(p.Project({Deg(15), Deg(50)}, at50));
  EXPECT_EQ(at60.X, 0);
  EXPECT_EQ(at50.Y, 0);
  EXPECT_NEAR(at60.Y, 1113225.778, 1e-3);  // the meridian arc from 50 to 60 N (PROJ)
  // The inverse reproduces points within 3 deg of the central meridian to
  // 1e-9 rad.
  for (double dl : {-3.0, -1.5, 0.0, 2.0, 3.0})
    for (double lat : {-70.0, -20.0, 0.0, 35.0, 59.5, 80.0}) {
      const TFPoint in{Deg(15 + dl), Deg(lat)};
      ASSERT_TRUE(p.Project(in, xy));
      ASSERT_TRUE(p.Unproject(xy, pos));
      EXPECT_NEAR(pos.X, in.X, 1e-9);
      EXPECT_NEAR(pos.Y, in.Y, 1e-9);
    }

  // Across the 180th meridian a point projects the same whichever way its
  // longitude is written (a chart there may give either).
  p.SetTransverseMercator(1, kWgs84InvF, kWgs84A, 0, Deg(179));
  TFPoint east, west;
  ASSERT_TRUE(p.Project({Deg(180.5), Deg(-17)}, east));
  ASSERT_TRUE(p.Project({Deg(-179.5), Deg(-17)}, west));
  EXPECT_NEAR(west.X, east.X, 1e-6);
  EXPECT_NEAR(west.Y, east.Y, 1e-6);
  EXPECT_GT(east.X, 0);

  // Code 3 tangent cone: the cone constant is the sine of the parallel.
  ASSERT_EQ(p.SetLambert(Deg(60), Deg(18), Deg(60), Deg(60), kWgs84InvF, kWgs84A), 0);
  EXPECT_DOUBLE_EQ(p.Ns, std::sin(Deg(60)));

  // Code 4 on the equator takes the straight-line rule; the inverse at
  // Y = -A * M0 gives the equator.
  p.SetPolyconic(Deg(30), Deg(-100), kWgs84InvF, kWgs84A);
  ASSERT_TRUE(p.Project({Deg(-99), 0}, xy));
  EXPECT_NEAR(xy.X, kWgs84A * Deg(1), 1e-8);
  EXPECT_DOUBLE_EQ(xy.Y, -kWgs84A * p.Ml0);
  ASSERT_TRUE(p.Unproject(xy, pos));
  EXPECT_EQ(pos.Y, 0);
  EXPECT_NEAR(pos.X, Deg(-99), 1e-15);
}

// Every way a conversion can fail returns false with ConvError set, and
// never true with a non-finite result; ConvError is cleared by the next
// successful conversion.
TEST(Projection, FailuresAreReported) {
  struct Case {
    const char* what;
    void (*setup)(TProjTrans&);
    bool forward;
    TFPoint in;
  } cases[] = {
      {"ortho inverse outside the disc", [](TProjTrans& p) { p.SetOrthographic(Deg(50), 0, kEarth); }, false,
       {kEarth + 1, 0}},
      {"ortho forward on the far side", [](TProjTrans& p) { p.SetOrthographic(Deg(50), 0, kEarth); }, true,
       {Deg(180), Deg(-50)}},
      {"nsper inverse beyond the horizon",
       [](TProjTrans& p) { p.SetPerspective(Deg(45), 0, 5e6, kEarth); }, false, {0.9 * kEarth, 0}},
      {"nsper forward beyond the horizon",
       [](TProjTrans& p) { p.SetPerspective(Deg(45), 0, 5e6, kEarth); }, true, {Deg(80), Deg(0)}},
      {"sinusoidal beyond the pole", [](TProjTrans& p) { p.SetSinusoidal(0, kEarth); }, false,
       {0, kEarth * 1.6}},
      {"Lambert pole on the wrong side",
       [](TProjTrans& p) { p.SetLambert(Deg(40), 0, Deg(33), Deg(45), kWgs84InvF, kWgs84A); }, true,
       {0, -kPi / 2}},
      {"TM inverse far off the meridian",
       [](TProjTrans& p) { p.SetTransverseMercator(1, kWgs84InvF, kWgs84A, 0, 0); }, false, {5e7, 1e6}},
      {"perspective of height 0", [](TProjTrans& p) { p.SetPerspective(Deg(45), 0, 0, kEarth); }, true,
       {0, Deg(45)}},
      {"NaN position", [](TProjTrans& p) { p.SetMercator(1, 0); }, true, {kNaN, 0}},
      {"infinite projected point", [](TProjTrans& p) { p.SetPolyconic(0, 0, kWgs84InvF, kWgs84A); }, false,
       {std::numeric_limits<double>::infinity(), 0}},
      {"code 0 with scale 0", [](TProjTrans& p) { p.SetNone(0); }, false, {1, 1}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TProjTrans p;
    c.setup(p);
    TFPoint out{1, 2};
    const bool ok = c.forward ? p.Project(c.in, out) : p.Unproject(c.in, out);
    EXPECT_FALSE(ok) << out.X << " " << out.Y;
    EXPECT_TRUE(p.ConvError);
    EXPECT_FALSE(p.ErrorText().empty());
  }
  TProjTrans p;
  p.SetOrthographic(0, 0, kEarth);
  TFPoint out;
  EXPECT_FALSE(p.Unproject({2 * kEarth, 0}, out));
  EXPECT_TRUE(p.ConvError);
  EXPECT_TRUE(p.Unproject({0.5 * kEarth, 0}, out));
  EXPECT_FALSE(p.ConvError);
}

// A Lambert set-up that cannot build its cone fails with 41 and leaves no
// cone of an earlier chart in force.
TEST(Projection, FailedLambertSetupKeepsNothing) {
  TProjTrans p;
  ASSERT_EQ(p.SetLambert(Deg(40), Deg(-96), Deg(33), Deg(45), kWgs84InvF, kWgs84A), 0);
  TFPoint xy;
  ASSERT_TRUE(p.Project({Deg(-90), Deg(41)}, xy));
  for (auto [s, n] : {std::pair{-0.5, 0.5}, std::pair{10.0, -10.0}, std::pair{kNaN, 10.0}}) {
    SCOPED_TRACE(s);
    EXPECT_EQ(p.SetLambert(0, 0, Deg(s), Deg(n), kWgs84InvF, kWgs84A), kBadLambertInit);
    EXPECT_FALSE(p.SetupOk);
    EXPECT_FALSE(p.Project({Deg(-90), Deg(41)}, xy));
    EXPECT_EQ(p.ErrorText(), "Bad Lambert Init");
    TFPoint pos;
    EXPECT_FALSE(p.Unproject({0, 0}, pos));
  }
  // A later good set-up works again.
  ASSERT_EQ(p.SetLambert(Deg(40), Deg(-96), Deg(33), Deg(45), kWgs84InvF, kWgs84A), 0);
  EXPECT_TRUE(p.Project({Deg(-90), Deg(41)}, xy));
}

TEST(Projection, AdjustLonWrapsIntoRange) {
  EXPECT_EQ(AdjustLon(1.0), 1.0);
  EXPECT_EQ(AdjustLon(-kPi), -kPi);
  EXPECT_NEAR(AdjustLon(Deg(190)), Deg(-170), 1e-15);
  EXPECT_NEAR(AdjustLon(Deg(-190)), Deg(170), 1e-15);
  EXPECT_NEAR(AdjustLon(Deg(3 * 360 + 10)), Deg(10), 1e-12);
  EXPECT_TRUE(std::isnan(AdjustLon(kNaN)));
}

}  // namespace
