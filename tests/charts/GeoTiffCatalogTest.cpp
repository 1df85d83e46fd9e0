// GeoTIFF charts in the chart catalog: the border followed along curved
// edges and the scale at the middle (the scan: ChartListScanTest).
#include <gtest/gtest.h>

#include <cmath>

#include "GeoTiffFixtures.h"
#include "TestSupport.h"
#include "charts/GeoTiffCatalog.h"
#include "geodesy/ModelGeoRef.h"

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
