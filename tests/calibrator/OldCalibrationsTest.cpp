// The old chart list: its position fields and lines, the old model's
// positions (Mercator checked against the formula written independently
// here), and an import into CHARTCAL.DIR sections.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <string>

#include "TestSupport.h"
#include "charts/OldCalibrations.h"
#include "charts/ChartInfo.h"
#include "charts/ImageChart.h"

namespace {

constexpr double kUnit = kPi / 10800000.0;  // radians in 1/60 000 degree

TEST(OldCalibrations, PositionFieldsAndListLines) {
  struct Case {
    const char* field;
    std::optional<int64_t> units;
  };
  const Case cases[] = {{"05830500N", 3510500},  {"01015000W", -615000}, {"00000001S", -1},
                        {"18000000E", 10800000}, {"5830500N", {}},        {"058A0500N", {}},
                        {"05860000N", {}},       {"", {}}};
  for (const Case& c : cases) EXPECT_EQ(ParseOldPosition(c.field), c.units) << c.field;

  std::optional<TOldChartLine> l =
      ParseOldChartLine("Harbour=HARBOUR.PNG;25000;05830500N;01015000E;05825000N;01025000E;1;10;-5;RT90;");
  ASSERT_TRUE(l);
  EXPECT_EQ(l->Name, "Harbour");
  EXPECT_EQ(l->File, "HARBOUR.PNG");
  EXPECT_EQ(l->Scale, 25000);
  EXPECT_EQ(l->Top, 3510500);
  EXPECT_EQ(l->Right, 625000);
  EXPECT_EQ(l->Projection, 1);
  EXPECT_EQ(l->SkewX, 10);
  EXPECT_EQ(l->SkewY, -5);
  EXPECT_EQ(l->Datum, "RT90");
  // A last field without its ";" is empty; from an unreadable field on the
  // rest count as 0; a long name keeps 40 characters.
  l = ParseOldChartLine(std::string(50, 'N') + "=A.PNG;1;05830500N;01015000E;05825000N;01025000E;2;x;7;RT90");
  ASSERT_TRUE(l);
  EXPECT_EQ(l->Name.size(), 40u);
  EXPECT_EQ(l->Projection, 2);
  EXPECT_EQ(l->SkewX, 0);
  EXPECT_EQ(l->SkewY, 0);
  EXPECT_EQ(l->Datum, "");
  EXPECT_FALSE(ParseOldChartLine("no equals sign"));
  EXPECT_FALSE(ParseOldChartLine("X=A.PNG;1;05830500N;01015000E;05825000N;"));
  EXPECT_FALSE(ParseOldChartLine("X=A.PNG;1;05830500N;bad;05825000N;01025000E;"));
  // A number longer than any field holds (it would overflow) is no number.
  EXPECT_FALSE(ParseOldChartLine("X=A.PNG;58305015000058305000;05830500N;01015000E;05825000N;01025000E;"));
}

TEST(OldCalibrations, TheOldModelPlacesPixels) {
  TOldChartLine c;
  c.Top = 58 * 60000;
  c.Bottom = 57 * 60000;
  c.Left = 10 * 60000;
  c.Right = 12 * 60000;
  // Plain: linear in both directions, with the (y + 1) and (x + 0.5) of the
  // old program.
  c.Projection = 0;
  const TOldWorldConvert plain(c, 1001, 601);
  const std::optional<TFPoint> p = plain.PixelToGeo(100, 200);
  ASSERT_TRUE(p);
  EXPECT_NEAR(p->Y / kUnit, std::round((-60000.0 * 201 + 300.5) / 600 + 58 * 60000), 0.5);
  EXPECT_NEAR(p->X / kUnit, std::round((120000.0 * 100.5 + 500.5) / 1000 + 10 * 60000), 0.5);
  // Mercator: the latitude of the row from the inverse of y = R ln tan(pi/4 + lat/2).
  c.Projection = 1;
  const TOldWorldConvert merc(c, 1001, 601);
  const double top = 58 * kPi / 180, bottom = 57 * kPi / 180;
  auto y = [](double lat) { return std::log(std::tan(kPi / 4 + lat / 2)); };
  const double k = 601 / (y(top) - y(bottom));
  for (int row : {0, 150, 300, 599}) {
    const double lat = 2 * std::atan(std::exp((y(top) * k - (row + 1)) / k)) - kPi / 2;
    const std::optional<TFPoint> q = merc.PixelToGeo(0, row);
    ASSERT_TRUE(q) << row;
    EXPECT_NEAR(q->Y, lat, 1.5 * kUnit) << row;
  }
  // Cosine-corrected longitudes: the centre column stays at the middle.
  c.Projection = 2;
  const TOldWorldConvert tm(c, 1001, 601);
  EXPECT_NEAR(tm.PixelToGeo(500, 300)->X / kUnit, 11 * 60000, 100);
  // Nothing for a side of one pixel, equal Mercator edges, or another kind.
  EXPECT_FALSE(TOldWorldConvert(c, 1, 601).PixelToGeo(0, 0));
  c.Projection = 1;
  c.Bottom = c.Top;
  EXPECT_FALSE(TOldWorldConvert(c, 1001, 601).PixelToGeo(0, 0));
  c.Projection = 7;
  EXPECT_FALSE(TOldWorldConvert(c, 1001, 601).PixelToGeo(0, 0));
}

std::string Png(int w, int h) {
  TChartImage image;
  image.Allocate(TImageFormat::Indexed8, w, h, 1 << 24);
  image.Palette = {MakeRgb(255, 255, 255)};
  std::string bytes;
  EncodePNG(image, bytes);
  return bytes;
}

TEST(OldCalibrations, ImportWritesSectionsBesideTheImages) {
  TTempDir dir;
  const std::string charts = dir / "charts";
  std::filesystem::create_directories(charts);
  WriteTestFile(charts + "/A.PNG", Png(200, 100));
  WriteTestFile(charts + "/B.PNG", "not a picture");
  WriteTestFile(charts + "/C.PNG", Png(50, 50));
  WriteTestFile(charts + "/C.CAL", "NA=Mine\r\nFN=C.PNG\r\n");
  const std::string list = dir / "BRICHART.DIR";
  WriteTestFile(list,
                "[Other]\r\nX=1\r\n[RegisterdCharts]\r\n"
                "Alpha=A.PNG;25000;05830500N;01015000E;05825000N;01025000E;1;0;0;WGS84;\r\n"
                "Broken=B.PNG;25000;05830500N;01015000E;05825000N;01025000E;1;0;0;WGS84;\r\n"
                "mine=C.PNG;25000;05830500N;01015000E;05825000N;01025000E;1;0;0;WGS84;\r\n"
                "Gone=MISSING.PNG;25000;05830500N;01015000E;05825000N;01025000E;1;0;0;;\r\n"
                "a comment line\r\n"
                "[Next]\r\nLater=A.PNG;1;05830500N;01015000E;05825000N;01025000E;\r\n");
  TOldImportSettings settings;
  settings.ChartDirs = charts;
  const TOldImportReport r = ImportOldCalibrations(list, settings);
  EXPECT_EQ(r.Found, 4);
  EXPECT_EQ(r.Matching, 3);
  EXPECT_EQ(r.Failed, 1);
  EXPECT_EQ(r.AlreadyCalibrated, 1);
  EXPECT_EQ(r.Imported(), 1);
  EXPECT_NE(r.Problems.find("Could not open image"), std::string::npos);
  EXPECT_NE(r.Text().find("Total calibrations imported: 1"), std::string::npos) << r.Text();

  // Alpha's section: three reference points and four border points at the
  // pixels 5 from the edges, placed by the old model.
  TChartHeadExternalCodec codec;
  ASSERT_TRUE(codec.ReadSection(charts + "/CHARTCAL.DIR", "A.PNG"));
  RChartInfo info;
  TChartHeadBaseCodec::ClearInfo(info);
  ASSERT_TRUE(codec.ReadInfo(info));
  EXPECT_EQ(info.Layout.Name, "Alpha");
  EXPECT_EQ(info.Layout.Scale, 25000);
  EXPECT_EQ(info.Projection, 1);
  ASSERT_EQ(info.RefPoints.size(), 3u);
  EXPECT_EQ(info.RefPoints[2].X, 194);
  EXPECT_EQ(info.RefPoints[2].Y, 94);
  ASSERT_EQ(info.Layout.Border.size(), 4u);
  EXPECT_NEAR(info.Layout.Border[0].Y, 3510500 * kUnit, 0.0005);
  // The image with its own calibration kept it; no section for it.
  EXPECT_FALSE(codec.ReadSection(charts + "/CHARTCAL.DIR", "C.PNG"));
  EXPECT_EQ(ReadTestFile(charts + "/C.CAL"), "NA=Mine\r\nFN=C.PNG\r\n");
}

}  // namespace
