// The calibration header text: key look-ups and writes, the record read and
// written, hostile counts.
#include <cmath>

#include "TestSupport.h"
#include "charts/ChartInfo.h"
#include "charts/HeaderText.h"
#include "foundation/Types.h"

namespace {

double Rad(double d) { return d * kDegToRad; }

TChartHeadBaseCodec& With(TChartHeadBaseCodec& c, std::vector<std::string> lines) {
  c.Lines = std::move(lines);
  return c;
}

TEST(ChartHeader, ValueLookups) {
  TChartHeadBaseCodec c;
  With(c, {"na=Harbour ", "SC=25000", "CR=first", " second", "", " third", "DX=2.5", "DY=x", "GR=$10"});
  EXPECT_EQ(c.GetValue("NA="), "Harbour");  // case ignored, trimmed
  EXPECT_EQ(c.GetValue("CR="), "first,second");
  EXPECT_EQ(c.GetValue("XX="), "");
  EXPECT_EQ(c.GetInt("SC=", 7), 25000);
  EXPECT_EQ(c.GetInt("XX=", 7), 7);
  EXPECT_EQ(c.GetInt("DY=", 7), 7);
  EXPECT_EQ(c.GetInt("GR=", 0), 16);
  EXPECT_DOUBLE_EQ(c.GetFloat("DX=", 0), 2.5);
  EXPECT_DOUBLE_EQ(c.GetFloat("DY=", -1), -1);
  EXPECT_EQ(c.GetText("CR=", "none"), "first\r\nsecond");
  EXPECT_EQ(c.GetText("cr=", "none"), "none");  // multi-line text: exact case

  struct Item {
    const char* key;
    const char* text;
    int n;
    const char* expect;
  } items[] = {
      {"RA=", "NA=X,NU=1,RA=200,150,DU=50", 1, "200"},
      {"RA=", "NA=X,NU=1,RA=200,150,DU=50", 2, "150"},
      {"RA=", "NA=X,NU=1,RA=200,150,DU=50", 0, "200,150,DU=50"},
      {"ra=", "NA=X,NU=1,RA=200, 150 ", 2, "150"},
      {"DU=", "NA=X,DU=50", 3, "50"},          // fewer items: the last
      {"RA=", "NA=X,EXTRA=5,RA=7", 1, "7"},    // keys start at an item
      {"SC=", "NA=X", 1, ""},
      {"", " a , b ", 2, "b"},
  };
  for (const Item& i : items)
    EXPECT_EQ(TChartHeadBaseCodec::GetItem(i.key, i.text, i.n), i.expect) << i.key << " in " << i.text;
}

TEST(ChartHeader, WritesReplaceWhateverTheCase) {
  TChartHeadBaseCodec c;
  With(c, {"na=Old", " old continuation", "SC=1"});
  c.PutValue("NA=", "New\r\nName");
  EXPECT_EQ(c.Lines, (std::vector<std::string>{"NA=New  Name", "SC=1"}));
  EXPECT_EQ(c.GetValue("NA="), "New  Name");
  c.PutInt("GR=", -3);
  EXPECT_EQ(c.Lines.back(), "GR=-3");

  // A comment with an empty line is written as a line of one blank; writing
  // a shorter comment removes all of the old one.
  c.PutText("CR=", "one\r\n\r\nthree");
  EXPECT_EQ(c.GetText("CR=", ""), "one\r\n\r\nthree");
  c.PutText("CR=", "short");
  EXPECT_EQ(c.Lines, (std::vector<std::string>{"NA=New  Name", "SC=1", "GR=-3", "CR=short"}));
  c.PutText("CR=", "");
  EXPECT_EQ(c.Lines.size(), 3u);
  c.DeleteKey("sc=");
  EXPECT_EQ(c.Lines, (std::vector<std::string>{"NA=New  Name", "GR=-3"}));
}

TEST(ChartHeader, PointForms) {
  TChartHeadBaseCodec c;
  With(c, {"B1=54.5,10.25", "B2=54.5", "B3=x,1", "C1=120.4,80.6,54.5,-10.000001", "C2=1,2,3"});
  const TFPoint p = c.GetLatLon("B1=", {9, 9});
  EXPECT_DOUBLE_EQ(p.X, Rad(10.25));
  EXPECT_DOUBLE_EQ(p.Y, Rad(54.5));
  EXPECT_EQ(c.GetLatLon("B2=", {9, 9}), (TFPoint{9, 9}));  // a missing item is not the other one
  EXPECT_EQ(c.GetLatLon("B3=", {9, 9}), (TFPoint{9, 9}));
  const TGridPoint r = c.GetRefPoint("C1=", {});
  EXPECT_EQ(r.X, 120.4);
  EXPECT_EQ(r.Y, 80.6);
  EXPECT_DOUBLE_EQ(r.Lat, Rad(54.5));
  EXPECT_DOUBLE_EQ(r.Lon, Rad(-10.000001));
  EXPECT_EQ(c.GetRefPoint("C2=", {7, 7, 7, 7}), (TGridPoint{7, 7, 7, 7}));

  TChartHeadBaseCodec w;
  w.PutLatLon("B1=", p);
  w.PutRefPoint("C1=", r);
  w.PutFloat("DX=", 1.0 / 3);
  w.PutFloat("DS=", 1e-7);
  EXPECT_EQ(w.Lines, (std::vector<std::string>{"B1=54.5,10.25", "C1=120,81,54.500000000000,-10.000001000000",
                                               "DX=0.333333333333333", "DS=1E-7"}));
}

RChartInfo FullRecord() {
  RChartInfo i;
  i.Layout.GroupMask = 5;
  i.Layout.Priority = 12;
  i.Layout.QualityCode = 3;
  i.Layout.Scale = 25000;
  i.Layout.Name = "Sandhamn, Inloppet";
  i.Layout.FileName = "C:\\Charts\\SANDHAMN.PNG";
  i.Layout.Border = {{Rad(18.9), Rad(59.3)}, {Rad(19.0), Rad(59.3)}, {Rad(19.0), Rad(59.25)}, {Rad(-0.5), Rad(-33.125)}};
  i.Layout.BorderCount = 4;
  i.Number = "6141";
  i.RefPoints = {{10, 20, Rad(18.91), Rad(59.29)}, {1000, 20, Rad(18.99), Rad(59.29)}, {1000, 900, Rad(18.99), Rad(59.26)}};
  i.RefCount = 3;
  i.DtValue = 1.5;
  i.DatumName = "RT90";
  i.Projection = 2;
  i.DatumShift = {Rad(1e-9), Rad(-2.5e-5)};
  i.Width = 1200;
  i.Height = 950;
  i.PixelSizeX = 2.5;
  i.PixelSizeY = 2.75;
  i.Lat0 = 0;
  i.Lon0 = Rad(15.808277);
  i.LatS = Rad(-12.5);
  i.LatN = Rad(33.25);
  i.DepthUnits = kDepthMetres;
  i.Comments = "Made from the 1998 edition.\r\n\r\n  Indented line";
  return i;
}

TEST(ChartHeader, RecordRoundTrip) {
  const RChartInfo in = FullRecord();
  TChartHeadBaseCodec w;
  ASSERT_TRUE(w.WriteInfo(in));
  // The keys in their fixed order; the file name without its directory.
  std::vector<std::string> keys;
  for (const std::string& l : w.Lines)
    keys.push_back(l.find('=') == std::string::npos ? "(continued)" : l.substr(0, l.find('=') + 1));
  EXPECT_EQ(keys, (std::vector<std::string>{"NA=", "FN=", "GR=", "PY=", "QU=", "SC=", "BC=", "B1=", "B2=", "B3=", "B4=",
                                             "CC=", "C1=", "C2=", "C3=", "GD=", "NU=", "PR=", "DS=", "WI=", "HE=", "DX=",
                                             "DY=", "LAT0=", "LON0=", "DT=", "LATS=", "LATN=", "DU=", "PC=", "CR=",
                                             "(continued)", "(continued)"}));
  EXPECT_EQ(w.Lines[1], "FN=SANDHAMN.PNG");

  TChartHeadBaseCodec r;
  r.LoadFromText(w.SaveToText());
  RChartInfo out;
  TChartHeadBaseCodec::ClearInfo(out);
  ASSERT_TRUE(r.ReadInfo(out));
  EXPECT_EQ(out.Layout.Name, in.Layout.Name);
  EXPECT_EQ(out.Layout.FileName, "SANDHAMN.PNG");
  EXPECT_EQ(out.Layout.GroupMask, 5);
  EXPECT_EQ(out.Layout.Priority, 12);
  EXPECT_EQ(out.Layout.QualityCode, 3);
  EXPECT_EQ(out.Layout.Scale, 25000);
  ASSERT_EQ(out.Layout.BorderCount, 4);
  for (size_t k = 0; k < 4; ++k) {
    EXPECT_NEAR(out.Layout.Border[k].X, in.Layout.Border[k].X, 1e-15);
    EXPECT_NEAR(out.Layout.Border[k].Y, in.Layout.Border[k].Y, 1e-15);
  }
  ASSERT_EQ(out.RefCount, 3);
  for (size_t k = 0; k < 3; ++k) {
    EXPECT_EQ(out.RefPoints[k].X, in.RefPoints[k].X);
    EXPECT_NEAR(out.RefPoints[k].Lat, in.RefPoints[k].Lat, 1e-13);
    EXPECT_NEAR(out.RefPoints[k].Lon, in.RefPoints[k].Lon, 1e-13);
  }
  EXPECT_EQ(out.DatumName, "RT90");
  EXPECT_EQ(out.Number, "6141");
  EXPECT_EQ(out.Projection, 2);
  EXPECT_NEAR(out.DatumShift.X, in.DatumShift.X, 1e-25);
  EXPECT_NEAR(out.DatumShift.Y, in.DatumShift.Y, 1e-20);
  EXPECT_EQ(out.Width, 1200);
  EXPECT_EQ(out.Height, 950);
  EXPECT_EQ(out.PixelSizeY, 2.75);
  EXPECT_NEAR(out.Lon0, in.Lon0, 1e-15);
  EXPECT_NEAR(out.LatS, in.LatS, 1e-15);
  EXPECT_NEAR(out.LatN, in.LatN, 1e-15);
  EXPECT_EQ(out.DtValue, 1.5);
  EXPECT_EQ(out.DepthUnits, kDepthMetres);
  EXPECT_EQ(out.Comments, in.Comments);
  EXPECT_EQ(out.CoefCount, 0);

  // Writing a smaller record over it leaves no stale points behind.
  RChartInfo fewer = in;
  fewer.Layout.Border.resize(3);
  fewer.RefPoints.resize(2);
  fewer.Comments = "x";
  r.WriteInfo(fewer);
  EXPECT_EQ(r.GetValue("B4="), "");
  EXPECT_EQ(r.GetValue("C3="), "");
  EXPECT_EQ(r.GetText("CR=", ""), "x");
}

// A perspective chart keeps its height through a save ("P3=", after the
// other projection parameters); other projections write no such key.
TEST(ChartHeader, APerspectiveChartKeepsItsHeight) {
  RChartInfo in = FullRecord();
  in.Projection = 7;
  in.P3 = 35786000.5;
  TChartHeadBaseCodec w;
  ASSERT_TRUE(w.WriteInfo(in));
  EXPECT_EQ(w.GetValue("P3="), "35786000.5");
  TChartHeadBaseCodec r;
  r.LoadFromText(w.SaveToText());
  RChartInfo out;
  TChartHeadBaseCodec::ClearInfo(out);
  ASSERT_TRUE(r.ReadInfo(out));
  EXPECT_EQ(out.Projection, 7);
  EXPECT_EQ(out.P3, in.P3);
  in.Projection = 1;
  TChartHeadBaseCodec mercator;
  mercator.WriteInfo(in);
  EXPECT_EQ(mercator.GetValue("P3="), "");
}

TEST(ChartHeader, CountsFromTheFileAreBounded) {
  struct Case {
    const char* what;
    std::vector<std::string> lines;
    size_t border, refs;
  } cases[] = {
      {"negative counts", {"BC=-1", "CC=-5", "B1=1,1", "C1=1,1,1,1"}, 0, 0},
      {"huge reference count, three lines", {"CC=999999999", "C1=1,2,3,4", "C2=1,2,3,4", "C3=5,6,7,8"}, 0, 3},
      {"border count above its field", {"BC=70000", "B1=1,1", "B2=2,2", "B3=3,3"}, 3, 0},
      {"a gap in the border", {"BC=5", "B1=1,1", "B2=2,2", "B4=4,4", "B5=5,5"}, 4, 0},
      {"broken point lines", {"BC=3", "B1=1,1", "B2=2", "B3=3,y", "CC=2", "C1=1,2,3", "C2=1,2,3,4"}, 1, 1},
      {"count below the lines", {"BC=2", "B1=1,1", "B2=2,2", "B3=3,3"}, 2, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TChartHeadBaseCodec codec;
    With(codec, c.lines);
    RChartInfo info;
    codec.ReadInfo(info);
    EXPECT_EQ(info.Layout.Border.size(), c.border);
    EXPECT_EQ(info.Layout.BorderCount, c.border);
    EXPECT_EQ(info.RefPoints.size(), c.refs);
    EXPECT_EQ(static_cast<size_t>(info.RefCount), c.refs);
    for (const TFPoint& p : info.Layout.Border) EXPECT_FALSE(p.X == 0 && p.Y == 0);
  }
}

TEST(ChartHeader, ProjectionNames) {
  struct Case {
    const char* name;
    int code;
  } cases[] = {{"Mercator", 1}, {"Transverse Mercator", 2}, {"UNIVERSAL TRANSVERSE MERCATOR", 2},
               {"LAMBERT CONFORMAL CONIC", 3}, {"Polyconic", 4}, {"sinusoidal", 5}, {"Swedish grid", 7},
               {"Gnomonic", 0}, {"", 0}, {"A", 0}, {"A_TRA", 0}, {"MERC", 1}, {"ME", 0}, {"  Lambert", 3}};
  for (const Case& c : cases) EXPECT_EQ(ProjectionFromName(c.name), c.code) << c.name;
}

TEST(ChartHeader, GeneralNumberForm) {
  EXPECT_EQ(GeneralNumberText(54.5), "54.5");
  EXPECT_EQ(GeneralNumberText(54.49999999999999), "54.5");  // degrees back from radians
  EXPECT_EQ(GeneralNumberText(-91.58041388890001), "-91.5804138889");
  EXPECT_EQ(GeneralNumberText(0), "0");
  EXPECT_EQ(GeneralNumberText(123456789012345678.0), "1.23456789012346E17");
  EXPECT_EQ(GeneralNumberText(2.5e-5), "0.000025");
}

}  // namespace
