// Coordinate systems to WGS 84: our own projections where they are exact
// (checked against PROJ on the same systems), PROJ for the rest, and the
// exact georeference of a raster placed by an affine map.
#include <gtest/gtest.h>

#include <cmath>

#include "geodesy/CrsToWgs84.h"
#include "geodesy/ModelGeoRef.h"

namespace {

TCrsDefinition Epsg(int code, bool geographic, TCrsMethod method) {
  TCrsDefinition d;
  d.ProjText = "EPSG:" + std::to_string(code);
  d.Name = d.ProjText;
  d.EpsgCode = code;
  d.Geographic = geographic;
  d.Method = method;
  return d;
}

// Metres between two positions (small distances).
double Metres(const TFPoint& a, const TFPoint& b) {
  const double dx = std::remainder(a.X - b.X, 2 * kPi) * std::cos(a.Y), dy = a.Y - b.Y;
  return std::hypot(dx, dy) * 6371000;
}

}  // namespace

// Our formulas do the projection step of these systems; over a grid of the
// system's area they agree with PROJ doing everything to a millimetre, in
// both directions, units (US survey feet) and datum steps included.
TEST(CrsToWgs84, OwnProjectionsAgreeWithProj) {
  struct Case {
    const char* what;
    TCrsDefinition def;
    double x0, y0, span;  // model area: x0 .. x0 + span, y0 .. y0 + span
  };
  std::vector<Case> cases;
  {
    TCrsDefinition d = Epsg(3857, false, TCrsMethod::PseudoMercator);
    d.DatumEpsgCode = 6326;
    cases.push_back({"Pseudo-Mercator (WGS 84)", d, -8500000, 4300000, 200000});
  }
  {
    TCrsDefinition d = Epsg(4326, true, TCrsMethod::None);
    d.DatumEpsgCode = 6326;
    cases.push_back({"WGS 84 geographic", d, -89.2, 28.9, 1.5});
  }
  {
    // NAD27: the datum step by PROJ after our (identity) projection step.
    TCrsDefinition d = Epsg(4267, true, TCrsMethod::None);
    d.SemiMajor = 6378206.4;
    d.SemiMinor = 6356583.8;
    cases.push_back({"NAD27 geographic", d, -95, 40, 2});
  }
  {
    // RGF93 / Lambert-93: two standard parallels, GRS 1980.
    TCrsDefinition d = Epsg(2154, false, TCrsMethod::LambertConic2SP);
    d.SemiMinor = 6356752.314140356;
    d.LatOrigin = 46.5;
    d.LonOrigin = 3;
    d.StdParallel1 = 49;
    d.StdParallel2 = 44;
    d.FalseEasting = 700000;
    d.FalseNorthing = 6600000;
    cases.push_back({"Lambert 2SP", d, 300000, 6200000, 500000});
  }
  {
    // NAD83 / California zone 3 (ftUS): the model is in US survey feet.
    TCrsDefinition d = Epsg(2227, false, TCrsMethod::LambertConic2SP);
    d.SemiMinor = 6356752.314140356;
    d.LinearUnit = 1200.0 / 3937;
    d.LatOrigin = 36.5;
    d.LonOrigin = -120.5;
    d.StdParallel1 = 38.4333333333333;
    d.StdParallel2 = 37.0666666666667;
    d.FalseEasting = 2000000.0001016;  // metres, as normalised parameters are
    d.FalseNorthing = 500000.0001016;
    cases.push_back({"Lambert 2SP, US survey feet", d, 5500000, 1800000, 800000});
  }
  {
    // JAD69 / Jamaica National Grid: one standard parallel.
    TCrsDefinition d = Epsg(24200, false, TCrsMethod::LambertConic1SP);
    d.SemiMajor = 6378206.4;
    d.SemiMinor = 6356583.8;
    d.LatOrigin = 18;
    d.LonOrigin = -77;
    d.ScaleFactor = 1;
    d.FalseEasting = 250000;
    d.FalseNorthing = 150000;
    cases.push_back({"Lambert 1SP", d, 150000, 100000, 200000});
  }
  {
    // One standard parallel with a scale factor, on a datum PROJ does not
    // know by name (the WGS 84 ellipsoid only).
    TCrsDefinition d;
    d.ProjText = "+proj=lcc +lat_1=45 +lat_0=45 +lon_0=10 +k_0=0.9998 +x_0=600000 +y_0=200000 +ellps=WGS84 +type=crs";
    d.Geographic = false;
    d.Method = TCrsMethod::LambertConic1SP;
    d.LatOrigin = 45;
    d.LonOrigin = 10;
    d.ScaleFactor = 0.9998;
    d.FalseEasting = 600000;
    d.FalseNorthing = 200000;
    cases.push_back({"Lambert 1SP, scale factor", d, 400000, 0, 400000});
  }
  {
    // SAD69 / Brazil Polyconic.
    TCrsDefinition d = Epsg(29101, false, TCrsMethod::Polyconic);
    d.SemiMajor = 6378160;
    d.SemiMinor = 6356774.719195306;
    d.LatOrigin = 0;
    d.LonOrigin = -54;
    d.FalseEasting = 5000000;
    d.FalseNorthing = 10000000;
    cases.push_back({"Polyconic", d, 4800000, 7000000, 500000});
  }
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TCrsToWgs84 own, proj;
    std::string error;
    ASSERT_TRUE(own.Setup(c.def, TCrsBackend::Auto, &error)) << error;
    ASSERT_TRUE(proj.Setup(c.def, TCrsBackend::Proj, &error)) << error;
    EXPECT_TRUE(own.OwnProjection());
    EXPECT_FALSE(proj.OwnProjection());
    double worst = 0, worstBack = 0;
    for (int i = 0; i <= 10; ++i)
      for (int j = 0; j <= 10; ++j) {
        const double x = c.x0 + c.span * i / 10, y = c.y0 + c.span * j / 10;
        TFPoint a, b;
        ASSERT_TRUE(own.ToWgs84(x, y, a));
        ASSERT_TRUE(proj.ToWgs84(x, y, b));
        worst = std::max(worst, Metres(a, b));
        // Back: against PROJ's inverse (some datum operations do not
        // come back exactly).
        double bx, by, px, py;
        ASSERT_TRUE(own.FromWgs84(b, bx, by));
        ASSERT_TRUE(proj.FromWgs84(b, px, py));
        const double unit = c.def.Geographic ? 111000 * c.def.AngularUnit : c.def.LinearUnit;
        worstBack = std::max(worstBack, std::hypot(bx - px, by - py) * unit);
      }
    EXPECT_LT(worst, 1e-3);
    EXPECT_LT(worstBack, 1e-3);
  }
}

// Transverse Mercator is not ours to do: PROJ takes it (UTM, national grids).
TEST(CrsToWgs84, TransverseMercatorGoesThroughProj) {
  TCrsDefinition d = Epsg(2193, false, TCrsMethod::TransverseMercator);
  d.LonOrigin = 173;
  d.ScaleFactor = 0.9996;
  d.FalseEasting = 1600000;
  d.FalseNorthing = 10000000;
  TCrsToWgs84 c;
  ASSERT_TRUE(c.Setup(d));
  EXPECT_FALSE(c.OwnProjection());
  // Easting, northing in, whatever EPSG's axis order (northing first here).
  TFPoint p;
  ASSERT_TRUE(c.ToWgs84(1600000, 10000000 - 4538000, p));
  EXPECT_NEAR(p.X * kRadToDeg, 173, 1e-9);
  EXPECT_NEAR(p.Y * kRadToDeg, -41, 0.05);
  EXPECT_EQ(c.CrsName(), "NZGD2000 / New Zealand Transverse Mercator 2000");
  EXPECT_EQ(c.DatumName(), "New Zealand Geodetic Datum 2000");
}

// A file that gives its model in another unit than its EPSG definition is
// read in the file's unit.
TEST(CrsToWgs84, FileUnitOverridesTheDefinitionsUnit) {
  TCrsDefinition metres = Epsg(26915, false, TCrsMethod::TransverseMercator);
  TCrsDefinition feet = metres;
  feet.LinearUnit = 0.3048;
  TCrsToWgs84 m, f;
  ASSERT_TRUE(m.Setup(metres));
  ASSERT_TRUE(f.Setup(feet));
  TFPoint a, b;
  ASSERT_TRUE(m.ToWgs84(604000, 5331000, a));
  ASSERT_TRUE(f.ToWgs84(604000 / 0.3048, 5331000 / 0.3048, b));
  EXPECT_LT(Metres(a, b), 1e-6);
}

TEST(CrsToWgs84, RefusesWhatPlacesNoChart) {
  struct Case {
    const char* text;
    bool geographic;
    const char* says;
  } cases[] = {
      {"EPSG:999999", false, "EPSG:999999 is unknown"},
      {"EPSG:4978", false, "is not supported"},  // geocentric
      {"EPSG:5703", false, "is not supported"},  // vertical
      {"EPSG:4326", false, "is geographic but the file's model is not"},
      {"", false, "is not defined"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    TCrsDefinition d;
    d.ProjText = c.text;
    d.Geographic = c.geographic;
    TCrsToWgs84 t;
    std::string error;
    EXPECT_FALSE(t.Setup(d, TCrsBackend::Auto, &error));
    EXPECT_NE(error.find(c.says), std::string::npos) << error;
    EXPECT_NE(error.find("coordinate system"), std::string::npos) << error;
    TFPoint p;
    EXPECT_FALSE(t.ToWgs84(0, 0, p));
  }
}

// A copy has its own PROJ objects: it outlives the original.
TEST(CrsToWgs84, CopiesAreIndependent) {
  auto original = std::make_unique<TCrsToWgs84>();
  ASSERT_TRUE(original->Setup(Epsg(26915, false, TCrsMethod::TransverseMercator)));
  TFPoint expected;
  ASSERT_TRUE(original->ToWgs84(604000, 5331000, expected));
  TCrsToWgs84 copy(*original);
  original.reset();
  TFPoint p;
  ASSERT_TRUE(copy.ToWgs84(604000, 5331000, p));
  EXPECT_EQ(p.X, expected.X);
  EXPECT_EQ(p.Y, expected.Y);
}

TEST(ModelGeoRef, InvertsItsTransformAndRefusesDegenerateOnes) {
  struct Case {
    TPixelTransform t;
    bool invertible;
  } cases[] = {
      {{{500000, 10, 0, 6000000, 0, -10}}, true},
      {{{500000, 8.66, 5, 6000000, 5, -8.66}}, true},  // rotated 30 degrees
      {{{500000, 10, 0, 6000000, 0, 10}}, true},       // south up
      {{{500000, 0, 0, 6000000, 0, -10}}, false},      // zero width
      {{{500000, 10, 20, 6000000, 5, 10}}, false},     // collinear
      {{{500000, NAN, 0, 6000000, 0, -10}}, false},
  };
  for (const Case& c : cases) {
    TPixelTransform inv;
    EXPECT_EQ(c.t.Inverse(inv), c.invertible) << c.t.C[1] << " " << c.t.C[2];
    if (!c.invertible) continue;
    double X, Y, x, y;
    c.t.Apply(12.5, 7.25, X, Y);
    inv.Apply(X, Y, x, y);
    EXPECT_NEAR(x, 12.5, 1e-9);
    EXPECT_NEAR(y, 7.25, 1e-9);
  }
}

// A geographic chart across 180 degrees: positions keep to the chart's
// turn of the earth, and positions given either way find their pixel.
TEST(ModelGeoRef, GeographicChartAcrossTheAntimeridian) {
  TCrsDefinition d = Epsg(4326, true, TCrsMethod::None);
  d.DatumEpsgCode = 6326;
  TCrsToWgs84 crs;
  ASSERT_TRUE(crs.Setup(d));
  // 179.5 .. 180.5 east, 1000 pixels.
  const TModelGeoRef g({{179.5, 0.001, 0, -17, 0, -0.001}}, crs, {500, 500});
  ASSERT_TRUE(g.Valid());
  TFPoint p;
  ASSERT_TRUE(g.PixelToGeo(900, 500, p));
  EXPECT_NEAR(p.X * kRadToDeg, 180.4, 1e-9);
  for (double lon : {180.4, -179.6}) {
    double x, y;
    ASSERT_TRUE(g.GeoToPixel({lon * kDegToRad, -17.5 * kDegToRad}, x, y));
    EXPECT_NEAR(x, 900, 1e-6) << lon;
    EXPECT_NEAR(y, 500, 1e-6);
  }
  // Clones convert alike.
  const std::unique_ptr<TExactGeoRef> c = g.Clone();
  TFPoint q;
  ASSERT_TRUE(c->PixelToGeo(900, 500, q));
  EXPECT_EQ(q.X, p.X);
}
