// Chart records from foreign headers: BSB/KAP, OziExplorer, Genimap, WinGPS.
#include <cmath>
#include <span>

#include "KapWriter.h"
#include "TestSupport.h"
#include "charts/ChartInfo.h"
#include "charts/ForeignHeaders.h"
#include "charts/KAPctrl.h"
#include "geodesy/CTrans.h"

namespace {

double Deg(double radians) { return radians * kRadToDeg; }

// A KAP chart with that header (plus what makes it a chart), read into a
// cleared record.
bool ReadBsb(std::vector<std::string> header, RChartInfo& info, int w = 8, int h = 2) {
  bool hasBsb = false;
  for (const std::string& l : header) hasBsb |= l.rfind("BSB/", 0) == 0;
  if (!hasBsb) header.insert(header.begin(), "BSB/NA=T,NU=1,RA=" + std::to_string(w) + "," + std::to_string(h));
  TKapImage plan;
  plan.Width = w;
  plan.Height = h;
  plan.Depth = 1;
  plan.Header = header;
  plan.Rows.assign(static_cast<size_t>(h), std::vector<uint8_t>(static_cast<size_t>(w), 1));
  const std::string file = WriteKap(plan);
  TKAPDecoder d;
  if (d.OpenMemory({reinterpret_cast<const uint8_t*>(file.data()), file.size()}) < 0) return false;
  TChartHeadBaseCodec::ClearInfo(info);
  return d.ReadInfo(info);
}

TEST(BsbHeader, NameNumberAndSize) {
  RChartInfo info;
  ASSERT_TRUE(ReadBsb({"VER/3.0", "BSB/NA=HARBOUR APPROACH,NU=123,RA=2000,1500,DU=50", "KNP/SC=12500.4,PR=MERCATOR"},
                      info, 2000, 1500));
  EXPECT_EQ(info.Layout.Name, "HARBOUR APPROACH");
  EXPECT_EQ(info.Number, "123");
  EXPECT_EQ(info.Width, 2000);
  EXPECT_EQ(info.Height, 1500);
  EXPECT_EQ(info.Layout.Scale, 12500);
  EXPECT_EQ(info.Projection, kProjMercator);

  // The name ends at the next key whichever comes first.
  ASSERT_TRUE(ReadBsb({"BSB/NA=HARBOUR,RA=8,2", "KNP/SC=1"}, info));
  EXPECT_EQ(info.Layout.Name, "HARBOUR");
  ASSERT_TRUE(ReadBsb({"BSB/NA=A, B,DU=5,RA=8,2", "KNP/SC=1"}, info));
  EXPECT_EQ(info.Layout.Name, "A, B");
  // No KNP/: not a chart header.
  EXPECT_FALSE(ReadBsb({"BSB/NA=X,RA=8,2"}, info));
}

TEST(BsbHeader, ProjectionRules) {
  struct Case {
    const char* what;
    std::vector<std::string> header;
    int code;
    double lon0, latS, latN;  // degrees
    int inverse;
  } cases[] = {
      {"polyconic becomes transverse Mercator about PP", {"VER/3.0", "KNP/SC=1,PR=POLYCONIC,PP=-70.5"}, 2, -70.5, 0, 0, 0},
      {"Swedish grid without PP", {"VER/3.0", "KNP/SC=1,PR=SWEDISH GRID"}, 2, 15.808, 0, 0, 0},
      {"transverse Mercator from P1 (version 3: KNQ/)",
       {"VER/3.0", "KNP/SC=1,PR=TRANSVERSE MERCATOR,P1=1", "KNQ/P1=9.5,RM=INVERSE"}, 2, 9.5, 0, 0, 1},
      {"transverse Mercator from P1 (version 2: KNP/)", {"VER/2.0", "KNP/SC=1,PR=TRANSVERSE MERCATOR,P1=11"}, 2, 11, 0, 0,
       1},
      {"Lambert parallels from P2 and P3", {"VER/3.0", "KNP/SC=1,PR=LAMBERT CONFORMAL CONIC,PP=140", "KNQ/P2=-25,P3=-35"},
       3, 140, -25, -35, 0},
      {"Lambert parallels from the reference points",
       {"VER/3.0", "KNP/SC=1,PR=LAMBERT CONFORMAL CONIC,PP=10", "REF/1,0,0,54,10", "REF/2,8,2,56,11"}, 3, 10, 54.5,
       55.5, 0},
      {"central meridian from the reference points",
       {"VER/3.0", "KNP/SC=1,PR=TRANSVERSE MERCATOR", "REF/1,0,0,54,10", "REF/2,8,2,56,11"}, 2, 10.5, 0, 0, 0},
      {"unknown projection", {"VER/3.0", "KNP/SC=1,PR=GNOMONIC,PP=3"}, 0, 0, 0, 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    RChartInfo info;
    ASSERT_TRUE(ReadBsb(c.header, info));
    EXPECT_EQ(info.Projection, c.code);
    EXPECT_NEAR(Deg(info.Lon0), c.lon0, 1e-12);
    EXPECT_NEAR(Deg(info.LatS), c.latS, 1e-12);
    EXPECT_NEAR(Deg(info.LatN), c.latN, 1e-12);
    EXPECT_EQ(info.Lat0, 0);
    EXPECT_EQ(info.Inverse, c.inverse);
  }
}

TEST(BsbHeader, PointsShiftsAndText) {
  RChartInfo info;
  ASSERT_TRUE(ReadBsb({"VER/3.0", "KNP/SC=1,PR=MERCATOR,GD=nad83,UN=FATHOMS,DX=2.5,DY=x", "CPH/180",
                       "REF/1,1,1,10,179.5", "FEF/2,7,1,10,-179.5", "REF/3,7,2,9.5", "REF/4,1,2,9.5,179.5",
                       "PLY/1,10,179.5", "PLY/2,10,-179.5", "PLY/4,9.5,-179.5", "PLY/5,9.5,179.5", "PLY/6,x,1",
                       "DTM/3.6,-7.2", "CRR/First line", "    second line"},
                      info));
  // Reference points by number; REF/3 has no longitude and is left out.
  ASSERT_EQ(info.RefCount, 3);
  EXPECT_EQ(info.RefPoints[1].X, 7);
  // Across the 180 deg meridian every longitude is west.
  EXPECT_NEAR(Deg(info.RefPoints[0].Lon), -180.5, 1e-12);
  EXPECT_NEAR(Deg(info.RefPoints[1].Lon), -179.5, 1e-12);
  // Border: the gap at 3 and the broken point 6 are left out, no point at
  // 0 deg N 0 deg E.
  ASSERT_EQ(info.Layout.BorderCount, 4);
  EXPECT_NEAR(Deg(info.Layout.Border[3].X), -180.5, 1e-12);
  EXPECT_NEAR(Deg(info.Layout.Border[2].Y), 9.5, 1e-12);
  EXPECT_EQ(info.DatumName, "NAD83");
  EXPECT_EQ(info.DepthUnits, kDepthFathoms);
  EXPECT_EQ(info.PixelSizeX, 2.5);
  EXPECT_EQ(info.PixelSizeY, 0);
  EXPECT_EQ(info.PhaseShift, 180);
  // DTM: seconds of arc.
  EXPECT_NEAR(info.DatumShift.Y, (3.6 * kDegToRad + 1e-12) / 3600, 1e-20);
  EXPECT_NEAR(Deg(info.DatumShift.X) * 3600, -7.2, 1e-9);
  EXPECT_EQ(info.Comments, "First line\r\nsecond line");

  ASSERT_TRUE(ReadBsb({"VER/3.0", "KNP/SC=1,PR=MERCATOR,UN=METERS AND FEET"}, info));
  EXPECT_EQ(info.DatumShift.X, kNoDtmShift);  // no DTM/
  EXPECT_EQ(info.DatumShift.Y, kNoDtmShift);
  EXPECT_EQ(info.DepthUnits, kDepthFeet);  // the later test wins
}

TEST(OziMap, ScaleCut) {
  struct Case {
    double mm1b;
    int32_t scale;
  } cases[] = {{0, 100000000}, {-3, 100000000}, {23456.0 / 5000, 23000}, {150000.0 / 5000, 150000},
               {110000.0 / 5000, 110000}, {160000.0 / 5000, 160000}, {4.01, 20000}, {7.0 / 5000, 7},
               {99.4 / 5000, 99}, {1e12, 2100000000}, {NAN, 100000000}};
  for (const Case& c : cases) EXPECT_EQ(TChartHeadMAPCodec::ScaleFromMM1B(c.mm1b), c.scale) << c.mm1b;
}

TEST(OziMap, ReadsPointsAndBorder) {
  TChartHeadMAPCodec map;
  map.LoadFromText(
      "OziExplorer Map Data File Version 2.2\r\n"
      "Sandhamn\r\n"
      "C:\\Maps\\sandhamn.bmp\r\n"
      "1 ,Map Code,\r\n"
      "WGS 84,WGS 84,   0.0000,   0.0000,WGS 84\r\n"
      "Reserved 1\r\n"
      "Magnetic Variation,,,E\r\n"
      "Map Projection,Transverse Mercator,PolyCal,No,AutoCalOnly,No,BSBUseWPX,No\r\n"
      "Point01,xy,  100,  200,in, deg,  59, 18.0000,N,  18, 54.0000,E, grid,   ,           ,           ,N\r\n"
      "Point02,xy,     ,     ,in, deg,    ,        ,N,    ,        ,E, grid,   ,           ,           ,N\r\n"
      "Point03,xy, 1900, 1500,in, deg,  33, 30.0000,S,  70, 30.0000,W, grid,   ,           ,           ,N\r\n"
      "Point04,xy, 1900\r\n"
      "Projection Setup,     0.000000000,   15.000000000,   0.999600000,  500000.00,       0.00,,,,,\r\n"
      "MM0,Yes\r\n"
      "MMPNUM,4\r\n"
      "MMPXY,1,0,0\r\n"
      "MMPXY,2,2000,0\r\n"
      "MMPXY,4,0,1600\r\n"
      "MMPLL,1,  18.833333,  59.333333\r\n"
      "MM1B,4.543\r\n");
  RChartInfo info;
  ASSERT_TRUE(map.ReadMAP(info));
  EXPECT_EQ(info.Layout.Name, "Sandhamn");
  EXPECT_EQ(info.Layout.FileName, "C:\\Maps\\sandhamn.bmp");
  EXPECT_EQ(info.DatumName, "WGS 84");
  EXPECT_EQ(info.Layout.Scale, 22000);
  EXPECT_EQ(info.Projection, kProjTransverseMercator);
  EXPECT_NEAR(Deg(info.Lon0), 15, 1e-12);
  ASSERT_EQ(info.RefCount, 2);
  EXPECT_EQ(info.RefPoints[0].X, 100);
  EXPECT_EQ(info.RefPoints[0].Y, 200);
  EXPECT_NEAR(Deg(info.RefPoints[0].Lat), 59.3, 1e-12);
  EXPECT_NEAR(Deg(info.RefPoints[0].Lon), 18.9, 1e-12);
  EXPECT_NEAR(Deg(info.RefPoints[1].Lat), -33.5, 1e-12);
  EXPECT_NEAR(Deg(info.RefPoints[1].Lon), -70.5, 1e-12);
  // Pixel border; point 3 is missing and left out.
  ASSERT_EQ(info.Layout.BorderCount, 3);
  EXPECT_EQ(info.Layout.Border[1], (TFPoint{2000, 0}));
  EXPECT_EQ(info.Layout.Border[2], (TFPoint{0, 1600}));

  TChartHeadMAPCodec other;
  other.LoadFromText("Not a map\r\n");
  EXPECT_FALSE(other.ReadMAP(info));
  other.LoadFromText("OziExplorer Map Data File Version 2.2\r\nx\r\ny\r\n\r\nWGS 84\r\n"
                     "Map Projection,Mercator,PolyCal,No\r\n"
                     "Point01,xy,  100,  200,in, deg,  59, 18.0000,N,  18, 54.0000,E, grid\r\n");
  EXPECT_FALSE(other.ReadMAP(info));  // one point only
  EXPECT_EQ(info.Projection, kProjMercator);
}

TEST(GenimapIn8, NmeaRectangle) {
  EXPECT_DOUBLE_EQ(TChartHeadGMBCodec::PackedAngle(5430), 54.5);
  EXPECT_DOUBLE_EQ(TChartHeadGMBCodec::PackedAngle(-1230), -12.5);
  EXPECT_DOUBLE_EQ(TChartHeadGMBCodec::PackedAngle(1815.3), 18 + 15.3 / 60);

  TChartHeadGMBCodec c;
  c.LoadFromText("[Map]\r\n;[NMEARECT]=1800.000,5930.000,1830.000,5900.000\r\nother=1\r\n");
  RChartInfo info;
  info.Width = 1000;
  info.Height = 800;
  c.ReadNMEARect(info);
  ASSERT_EQ(info.RefCount, 2);
  EXPECT_EQ(info.RefPoints[0].X, 0);
  EXPECT_NEAR(Deg(info.RefPoints[0].Lon), 18, 1e-12);
  EXPECT_NEAR(Deg(info.RefPoints[0].Lat), 59, 1e-12);
  EXPECT_EQ(info.RefPoints[1].X, 999);
  EXPECT_EQ(info.RefPoints[1].Y, 799);
  EXPECT_NEAR(Deg(info.RefPoints[1].Lon), 18.5, 1e-12);
  EXPECT_NEAR(Deg(info.RefPoints[1].Lat), 59.5, 1e-12);

  RChartInfo untouched;
  c.LoadFromText(";[NMEARECT]1800,5930,1830\r\n");
  c.ReadNMEARect(untouched);
  EXPECT_EQ(untouched.RefCount, 0);
  c.LoadFromText(";[NMEARECT]1800,5930,1830,x\r\n");
  c.ReadNMEARect(untouched);
  EXPECT_EQ(untouched.RefCount, 0);
}

TEST(WinGps, ChartFile) {
  TChartHeadWinGPSCodec c;
  c.LoadFromText(
      "Description=Ankerplaats\r\nImageName=anker.png\r\nDatum=ED50\r\nWidth=2000\r\nHeight=1500\r\n"
      "Depth=Meters\r\nScale=12500.6\r\nMercator=True\r\n"
      "X10 = 1000\r\nY10=1000\r\nLatitude10=52.9\r\nLongitude10=4.9\r\n"
      "X1=10\r\nY1=20\r\nLatitude1=53.1\r\nLongitude1=4.7\r\n"
      "X2=1900\r\nY2=20\r\nLatitude2=53.1\r\nLongitude2=5.1\r\n"
      "X3=1900\r\nY3=1400\r\nLatitude3=52.8\r\nLongitude3=5.1\r\n"
      "TopMargin=10\r\nBottomMargin=20\r\nLeftMargin=30\r\nRightMargin=40\r\n");
  RChartInfo info;
  ASSERT_TRUE(c.ReadWinGPS(info));
  EXPECT_EQ(info.Layout.Name, "Ankerplaats");
  EXPECT_EQ(info.Layout.FileName, "anker.png");
  EXPECT_EQ(info.DatumName, "ED50");
  EXPECT_EQ(info.Width, 2000);
  EXPECT_EQ(info.DepthUnits, kDepthMetres);
  EXPECT_EQ(info.Layout.Scale, 12501);
  EXPECT_EQ(info.Projection, kProjMercator);
  // X1 is not X10, though X10 comes first; the points stop at the first
  // number without an X (4), so point 10 is not read.
  ASSERT_EQ(info.RefCount, 3);
  EXPECT_EQ(info.RefPoints[0].X, 10);
  EXPECT_NEAR(Deg(info.RefPoints[2].Lat), 52.8, 1e-12);
  ASSERT_EQ(info.Layout.BorderCount, 4);
  EXPECT_EQ(info.Layout.Border[0], (TFPoint{30, 10}));
  EXPECT_EQ(info.Layout.Border[2], (TFPoint{1960, 1480}));

  c.Lines.back() = "RightMargin=wide";
  ASSERT_TRUE(c.ReadWinGPS(info));
  EXPECT_EQ(info.Layout.BorderCount, 0);
  c.Lines = {"X1=1", "Y1=1", "Latitude1=1", "Longitude1=1", "Mercator=true"};
  EXPECT_FALSE(c.ReadWinGPS(info));
  EXPECT_EQ(info.Projection, kProjNone);  // only "True" exactly
}

}  // namespace
