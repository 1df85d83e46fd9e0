// brtool chart with GeoTIFF files, against GDAL: GDAL's colours at GDAL's
// positions of the shared test files (GeoTIFFs GDAL made from the KAP
// charts), and GDAL's positions of the corners and the middle.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <sstream>

#include "GeoTiffFixtures.h"
#include "TestSupport.h"
#include "charts/GeoTiffRaster.h"
#include "charts/ImageChart.h"
#include "foundation/NumText.h"

namespace {

struct TFile {
  const char* stem;
  int tolerance;  // per channel: 0 for palettes, 8 for JPEG
};
const TFile kFiles[] = {
    {"14988_2.utm15-nad83", 0},
    {"11361_3.wgs84", 8},
    {"12205_12.3857", 0},
    {"NZ61401.nztm", 0},
};

std::string Path(const std::string& name) { return "geotiff/" + name; }

bool OnPath(const char* program) {
  return std::system(("command -v " + std::string(program) + " >/dev/null 2>&1").c_str()) == 0;
}

// Standard output of a shell command line (standard error dropped).
std::string Shell(const std::string& command) {
  std::string out;
  FILE* p = ::popen((command + " 2>/dev/null").c_str(), "r");
  if (!p) return out;
  char buf[4096];
  size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
  ::pclose(p);
  return out;
}

std::vector<double> Numbers(const std::string& text) {
  std::vector<double> v;
  std::istringstream in(text);
  in.imbue(std::locale::classic());
  std::string word;
  while (in >> word) v.push_back(TryStrToFloatDot(word).value_or(NAN));
  return v;
}

struct TListedPoint {
  double lon, lat;
  TRgb colour;
};

std::vector<TListedPoint> ReadPoints(const std::string& csv) {
  std::vector<TListedPoint> out;
  std::istringstream in(ReadTestFile(csv));
  std::string line;
  std::getline(in, line);  // header
  while (std::getline(in, line)) {
    for (char& c : line)
      if (c == ',') c = ' ';
    const std::vector<double> v = Numbers(line);
    if (v.size() >= 5) out.push_back({v[0], v[1], MakeRgb(uint8_t(v[2]), uint8_t(v[3]), uint8_t(v[4]))});
  }
  return out;
}

int MaxChannelDiff(TRgb a, TRgb b) {
  return std::max({std::abs(int(RgbRed(a)) - RgbRed(b)), std::abs(int(RgbGreen(a)) - RgbGreen(b)),
                   std::abs(int(RgbBlue(a)) - RgbBlue(b))});
}

}  // namespace

// brtool chart geo2pix of each listed position, looked up in brtool chart
// decode's picture, gives GDAL's colour.
TEST(BrtoolGeoTiff, GdalsColoursAtGdalsPositions) {
  REQUIRE_PROGRAM("brtool");
  const bool gdal = OnPath("gdallocationinfo");
  TTempDir dir;
  for (const TFile& f : kFiles) {
    SCOPED_TRACE(f.stem);
    REQUIRE_TESTDATA(tif, Path(std::string(f.stem) + ".tif"));
    REQUIRE_TESTDATA(csv, Path(std::string(f.stem) + ".points.csv"));
    std::vector<TListedPoint> points = ReadPoints(csv);
    ASSERT_GE(points.size(), 100u);
    std::string list;
    for (const TListedPoint& p : points) list += FloatToStrFixedDot(10, p.lon) + " " + FloatToStrFixedDot(10, p.lat) + "\n";
    WriteTestFile(dir / "points.txt", list);
    if (f.tolerance > 0) {
      // The RGB file's list holds some colours in another channel order
      // than GDAL reports them; GDAL itself is asked where it is present.
      if (!gdal) {
        std::printf("%s: not checked, gdallocationinfo is not installed (its points need GDAL's own colours)\n",
                    f.stem);
        continue;
      }
      const std::vector<double> v =
          Numbers(Shell("gdallocationinfo -valonly -wgs84 '" + tif + "' < '" + dir / "points.txt" + "'"));
      ASSERT_EQ(v.size(), points.size() * 3);
      int differ = 0;
      for (size_t i = 0; i < points.size(); ++i) {
        const TRgb g = MakeRgb(uint8_t(v[3 * i]), uint8_t(v[3 * i + 1]), uint8_t(v[3 * i + 2]));
        differ += g != points[i].colour;
        points[i].colour = g;
      }
      std::printf("%s: %d of %zu listed colours differ from GDAL's\n", f.stem, differ, points.size());
    }
    ASSERT_EQ(Brtool("chart decode '" + tif + "' '" + dir / "out.png" + "' --png").status, 0);
    TChartImage image;
    std::string error;
    const std::string png = ReadTestFile(dir / "out.png");
    ASSERT_TRUE(LoadPNGImage({reinterpret_cast<const uint8_t*>(png.data()), png.size()}, image, &error)) << error;
    const TProgramRun run = Brtool("chart geo2pix '" + tif + "' < '" + dir / "points.txt" + "'");
    ASSERT_EQ(run.status, 0);
    const std::vector<double> px = Numbers(run.out);
    ASSERT_EQ(px.size(), points.size() * 2);
    size_t good = 0;
    for (size_t i = 0; i < points.size(); ++i) {
      const auto x = int32_t(std::floor(px[2 * i])), y = int32_t(std::floor(px[2 * i + 1]));
      good += MaxChannelDiff(image.PixelRgb(x, y), points[i].colour) <= f.tolerance;
    }
    EXPECT_GE(double(good), 0.99 * double(points.size())) << good << " of " << points.size();
  }
}

// brtool chart pix2geo at the four corners and the middle agrees with
// gdaltransform -t_srs EPSG:4326 within half a pixel (GDAL's positions
// taken back to pixels by geo2pix).
TEST(BrtoolGeoTiff, CornersAndMiddleAgreeWithGdaltransform) {
  REQUIRE_PROGRAM("brtool");
  if (!OnPath("gdaltransform")) GTEST_SKIP() << "gdaltransform is not installed";
  TTempDir dir;
  for (const TFile& f : kFiles) {
    SCOPED_TRACE(f.stem);
    REQUIRE_TESTDATA(tif, Path(std::string(f.stem) + ".tif"));
    TGeoTiffRaster r;
    ASSERT_TRUE(r.Open(tif));
    const double W = double(r.Width()), H = double(r.Height());
    const double pixels[5][2] = {{0, 0}, {W, 0}, {W, H}, {0, H}, {W / 2, H / 2}};
    std::string list;
    for (const auto& p : pixels) list += FloatToStrFixedDot(3, p[0]) + " " + FloatToStrFixedDot(3, p[1]) + "\n";
    WriteTestFile(dir / "pixels.txt", list);
    const std::vector<double> ours = Numbers(Brtool("chart pix2geo '" + tif + "' < '" + dir / "pixels.txt" + "'").out);
    const std::vector<double> theirs =
        Numbers(Shell("gdaltransform -t_srs EPSG:4326 -output_xy '" + tif + "' < '" + dir / "pixels.txt" + "'"));
    ASSERT_EQ(ours.size(), 10u);
    ASSERT_EQ(theirs.size(), 10u);
    std::string back;
    for (size_t i = 0; i < 10; i += 2) back += FloatToStrFixedDot(12, theirs[i]) + " " + FloatToStrFixedDot(12, theirs[i + 1]) + "\n";
    WriteTestFile(dir / "gdal.txt", back);
    const std::vector<double> px = Numbers(Brtool("chart geo2pix '" + tif + "' < '" + dir / "gdal.txt" + "'").out);
    ASSERT_EQ(px.size(), 10u);
    for (int k = 0; k < 5; ++k) {
      EXPECT_LE(std::hypot(px[2 * k] - pixels[k][0], px[2 * k + 1] - pixels[k][1]), 0.5) << "point " << k;
      // In degrees the two agree far closer than that.
      EXPECT_NEAR(ours[2 * k], theirs[2 * k], 1e-7);
      EXPECT_NEAR(ours[2 * k + 1], theirs[2 * k + 1], 1e-7);
    }
  }
}

TEST(BrtoolGeoTiff, InfoShowsTheGeoreference) {
  REQUIRE_PROGRAM("brtool");
  REQUIRE_TESTDATA(tif, Path("NZ61401.nztm.tif"));
  const TProgramRun r = Brtool("chart info '" + tif + "'");
  ASSERT_EQ(r.status, 0);
  for (const char* want :
       {"\"kind\": \"GeoTIFF\"", "\"width\": 10567", "\"epsg\": 2193", "\"method\": \"Transverse Mercator\"",
        "\"datum\": \"New Zealand Geodetic Datum 2000\"", "\"projectionBy\": \"PROJ\"", "\"placedBy\": \"transformation\"",
        "{\"width\": 661, \"height\": 439, \"tiled\": true, \"block\": [256, 256]}", "\"corners\": [",
        "\"lon\": 172.708283031"})
    EXPECT_NE(r.out.find(want), std::string::npos) << want << "\n" << r.out.substr(0, 3000);
}

// decode of an overview; refusals and damage reach the exit code.
TEST(BrtoolGeoTiff, DecodesLevelsAndReportsDamage) {
  REQUIRE_PROGRAM("brtool");
  TTempDir dir;
  gtfix::TLayout l = gtfix::Sized(40, 30, 16);
  l.overviews = 1;
  const gtfix::TGeoTags utm =
      gtfix::Tags(gtfix::EpsgKeys(32633, false), {0, 0, 0, 500000, 6000000, 0}, {10, 10, 0});
  ASSERT_TRUE(gtfix::WriteGeoTiff(dir / "a.tif", l, utm));
  ASSERT_EQ(Brtool("chart decode '" + dir / "a.tif" + "' '" + dir / "a.raw" + "' --level 1").status, 0);
  const std::string raw = ReadTestFile(dir / "a.raw");
  ASSERT_EQ(raw.size(), 20u * 15u);
  EXPECT_EQ(uint8_t(raw[20 * 7 + 3]), gtfix::Pattern(6, 14));
  EXPECT_EQ(Brtool("chart decode '" + dir / "a.tif" + "' '" + dir / "b.raw" + "' --level 2").status, 2);
  EXPECT_EQ(Brtool("chart decode '" + dir / "a.tif" + "' '" + dir / "b.raw" + "' --palette night").status, 2);
  EXPECT_FALSE(TestFileExists(dir / "b.raw"));
  // RGB as three bytes a pixel.
  l.kind = gtfix::TKind::Rgb;
  l.overviews = 0;
  ASSERT_TRUE(gtfix::WriteGeoTiff(dir / "c.tif", l, utm));
  ASSERT_EQ(Brtool("chart decode '" + dir / "c.tif" + "' '" + dir / "c.raw" + "'").status, 0);
  const std::string rgb = ReadTestFile(dir / "c.raw");
  ASSERT_EQ(rgb.size(), 40u * 30u * 3);
  const TRgb want = gtfix::ColourPattern(5, 2);
  EXPECT_EQ(uint8_t(rgb[(2 * 40 + 5) * 3 + 1]), RgbGreen(want));
  // A broken tile: written, with exit code 3.
  uint64_t offset = 0, size = 0;
  ASSERT_TRUE(gtfix::BlockPlace(dir / "a.tif", 0, offset, size));
  std::string bytes = ReadTestFile(dir / "a.tif");
  bytes.replace(size_t(offset), size_t(size), std::string(size_t(size), '\x55'));
  WriteTestFile(dir / "a.tif", bytes);
  EXPECT_EQ(Brtool("chart decode '" + dir / "a.tif" + "' '" + dir / "d.raw" + "'").status, 3);
  EXPECT_TRUE(TestFileExists(dir / "d.raw"));
  // A coordinate system nobody knows: no info, no positions.
  ASSERT_TRUE(gtfix::WriteGeoTiff(dir / "e.tif", l,
                                  gtfix::Tags(gtfix::EpsgKeys(30000, false), {0, 0, 0, 1, 2, 0}, {1, 1, 0})));
  EXPECT_EQ(Brtool("chart info '" + dir / "e.tif" + "'").status, 1);
  EXPECT_EQ(Brtool("chart pix2geo '" + dir / "e.tif" + "' 1 1").status, 1);
}
