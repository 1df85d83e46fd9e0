// GeoTIFF charts in the chart catalog: the border followed along curved
// edges, the scale at the middle, and the building scan taking GeoTIFFs
// while plain TIFF scans keep needing their calibration.
#include <gtest/gtest.h>

#include <cmath>

#include "GeoTiffFixtures.h"
#include "TestSupport.h"
#include "charts/CatalogScan.h"
#include "charts/ChartFile.h"
#include "charts/ChartList.h"
#include "charts/GeoTiffCatalog.h"
#include "geodesy/Datum.h"
#include "geodesy/ModelGeoRef.h"
#include "platform/Paths.h"

namespace {

// Pixels from an edge (top, right, bottom, left) of a w x h raster.
double OffEdge(double x, double y, double w, double h) {
  return std::min({std::fabs(y), std::fabs(x - w), std::fabs(y - h), std::fabs(x)});
}

}  // namespace

// A UTM raster of 500 km far from its central meridian at 70 degrees north:
// its edges are curves in longitude and latitude. Every straight piece of
// the border stays within a pixel of the edge.
TEST(GeoTiffCatalog, BorderFollowsCurvedEdgesWithinAPixel) {
  TCrsDefinition d;
  d.ProjText = "EPSG:32633";
  d.Geographic = false;
  d.Method = TCrsMethod::TransverseMercator;
  TCrsToWgs84 crs;
  ASSERT_TRUE(crs.Setup(d));
  const double W = 100000, H = 100000;
  const TModelGeoRef g({{700000, 5, 0, 8200000, 0, -5}}, crs, {W / 2, H / 2});
  ASSERT_TRUE(g.Valid());
  const TPixelToGeo toGeo = [&g](double x, double y, TFPoint& p) { return g.PixelToGeo(x, y, p); };
  // The farthest any straight piece of a border strays from the edges.
  auto stray = [&](const TFPointArray& border) {
    double worst = 0;
    for (size_t i = 0; i < border.size(); ++i) {
      const TFPoint& a = border[i];
      const TFPoint& b = border[(i + 1) % border.size()];
      for (double t : {0.25, 0.5, 0.75}) {
        double x, y;
        if (!g.GeoToPixel({a.X + (b.X - a.X) * t, a.Y + (b.Y - a.Y) * t}, x, y)) return 1e9;
        worst = std::max(worst, OffEdge(x, y, W, H));
      }
    }
    return worst;
  };
  const TFPointArray border = EdgeBorder(toGeo, W, H);
  EXPECT_LT(border.size(), 4000u);
  EXPECT_LE(stray(border), 1.0);
  // Four points an edge would miss the curve by far more.
  EXPECT_GT(stray(EdgeBorder(toGeo, W, H, 1e9)), 10.0);
  // The corners are border points, clockwise from the top left.
  TFPoint c;
  ASSERT_TRUE(g.PixelToGeo(W, 0, c));
  EXPECT_NE(std::find_if(border.begin(), border.end(), [&](const TFPoint& p) { return p.X == c.X && p.Y == c.Y; }),
            border.end());
  // A straight raster keeps its four corners and a few points.
  TCrsDefinition wgs;
  wgs.ProjText = "EPSG:4326";
  wgs.DatumEpsgCode = 6326;
  TCrsToWgs84 geo;
  ASSERT_TRUE(geo.Setup(wgs));
  const TModelGeoRef plain({{10, 0.001, 0, 55, 0, -0.001}}, geo, {500, 500});
  EXPECT_EQ(EdgeBorder([&](double x, double y, TFPoint& p) { return plain.PixelToGeo(x, y, p); }, 1000, 1000).size(),
            16u);
  // 1 px = 0.254 mm: 5 m pixels are a scale of about 1:19 700 (less at
  // the edge of a UTM zone, where the grid stretches the ground).
  const int32_t scale = ScaleAtMiddle(toGeo, W, H);
  EXPECT_GT(scale, 19000);
  EXPECT_LT(scale, 19700);
}

class TGeoTiffCatalogScan : public ::testing::Test {
 protected:
  void SetUp() override {
    const std::string shipped = ShippedDataDir();
    ASSERT_FALSE(shipped.empty());
    WriteTestFile(tmp / kDatumFileName, ReadTestFile(shipped + kDatumFileName));
    datum = std::make_unique<TDatum>(tmp / kDatumFileName);
    chartFile.AlwaysBuildInfo = true;
    chartFile.SearchPath = dir;
    scanner = std::make_unique<TCatalogScanner>(list, *datum, chartFile);
  }
  TTempDir tmp;
  std::string dir = tmp.path();
  std::unique_ptr<TDatum> datum;
  TChartHeadExternalCodec codec;
  TChartFile chartFile{codec};
  TChartList list;
  std::unique_ptr<TCatalogScanner> scanner;
};

TEST_F(TGeoTiffCatalogScan, AddsGeoTiffsAndLeavesPlainScansToTheirCalibration) {
  gtfix::TLayout l;
  l.width = 300;
  l.height = 200;
  // 10 m pixels of UTM 33N near its central meridian.
  ASSERT_TRUE(gtfix::WriteGeoTiff(dir + "harbour.tif", l,
                                  gtfix::Tags(gtfix::EpsgKeys(32633, false), {0, 0, 0, 500000, 6000000, 0}, {10, 10, 0})));
  ASSERT_TRUE(gtfix::WriteGeoTiff(dir + "scan.tif", l, gtfix::TGeoTags()));
  ASSERT_TRUE(gtfix::WriteGeoTiff(dir + "broken.tiff", l,
                                  gtfix::Tags(gtfix::EpsgKeys(30000, false), {0, 0, 0, 1, 2, 0}, {1, 1, 0})));
  EXPECT_EQ(scanner->ScanDirectory(dir, false), 2);
  ASSERT_EQ(list.Count(), 1);
  const RChartLayout* e = list.Entry(list.FindByName("harbour"));
  ASSERT_TRUE(e);
  EXPECT_EQ(e->FileName, dir + "harbour.tif");
  // About 10 / 0.000254.
  EXPECT_NEAR(e->Scale, 39370, 400);
  EXPECT_GE(e->Border.size(), 4u);
  // The chart is chosen at its middle, not beside it.
  TFPoint middle, outside;
  const TModelGeoRef g = [] {
    TCrsDefinition d;
    d.ProjText = "EPSG:32633";
    d.Geographic = false;
    TCrsToWgs84 c;
    c.Setup(d);
    return TModelGeoRef({{500000, 10, 0, 6000000, 0, -10}}, c, {150, 100});
  }();
  ASSERT_TRUE(g.PixelToGeo(150, 100, middle));
  ASSERT_TRUE(g.PixelToGeo(-20, 100, outside));
  EXPECT_EQ(list.BestChart(middle, -1, 0, 0), 0);
  EXPECT_EQ(list.BestChart(outside, -1, 0, 0), -1);
  // The plain scan says nothing (it comes in through a ".CAL" file); the
  // GeoTIFF that cannot be placed is reported with the reason.
  EXPECT_EQ(scanner->Counters.Other, 2);
  EXPECT_EQ(scanner->Counters.NotCalibrated, 1);
  ASSERT_EQ(scanner->Problems.size(), 1u);
  EXPECT_EQ(scanner->Problems[0].rfind("No Cal: " + dir + "broken.tiff (the coordinate system EPSG:30000 is unknown", 0),
            0u)
      << scanner->Problems[0];
  // A second scan finds the chart listed.
  scanner->ClearReport();
  EXPECT_EQ(scanner->ScanDirectory(dir, false), 1);
  EXPECT_EQ(scanner->Counters.InList, 1);
}
