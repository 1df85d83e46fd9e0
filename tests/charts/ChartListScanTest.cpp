// The building scan of the chart catalog over written chart directories:
// which files become entries and with what, the problem lines, the order of
// duplicate names, subdirectories and link loops, the datum decision of each
// chart, and files that are broken.
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>

#include "CatalogTestUtil.h"
#include "GeoTiffFixtures.h"
#include "KapWriter.h"
#include "TestSupport.h"
#include "charts/CatalogScan.h"
#include "charts/ChartFile.h"
#include "charts/ChartInfo.h"
#include "charts/ImageChart.h"
#include "charts/KAPctrl.h"
#include "charts/WCIWriter.h"
#include "geodesy/CTrans.h"
#include "geodesy/Datum.h"
#include "geodesy/ModelGeoRef.h"
#include "platform/Questions.h"

namespace {

std::string Png(int w, int h) {
  TChartImage im;
  im.Allocate(TImageFormat::Indexed8, w, h, 1 << 24);
  im.Palette = {MakeRgb(255, 255, 255)};
  std::string out;
  EncodePNG(im, out);
  return out;
}

// The calibration of a w x h image covering lon1..lon2, lat1..lat2 (degrees)
// in plate carrée, with the image corners as border.
RChartInfo ImageInfo(const std::string& name, int32_t scale, double lon1, double lat1, double lon2, double lat2,
                     int w, int h, bool withSize = true) {
  RChartInfo info;
  TChartHeadBaseCodec::ClearInfo(info);
  info.Layout.Name = name;
  info.Layout.Scale = scale;
  info.Layout.Border = {Deg(lon1, lat2), Deg(lon2, lat2), Deg(lon2, lat1), Deg(lon1, lat1)};
  info.Layout.BorderCount = 4;
  info.RefPoints = {{0, 0, lon1 * kDegToRad, lat2 * kDegToRad},
                    {double(w), 0, lon2 * kDegToRad, lat2 * kDegToRad},
                    {0, double(h), lon1 * kDegToRad, lat1 * kDegToRad}};
  info.RefCount = 3;
  info.Projection = kProjNone;
  if (withSize) {
    info.Width = w;
    info.Height = h;
  }
  return info;
}

void WriteCal(const std::string& path, RChartInfo info, const std::string& image) {
  info.Layout.FileName = image;
  TChartHeadBaseCodec c;
  ASSERT_TRUE(c.WriteInfo(info));
  ASSERT_TRUE(c.SaveToFile(path));
}

void WriteSection(const std::string& dir, const std::string& image, RChartInfo info) {
  info.Layout.FileName = image;
  TChartHeadExternalCodec c;
  ASSERT_TRUE(c.WriteInfo(info));
  ASSERT_TRUE(c.WriteSection(dir + kChartCalDirName, image));
}

// A 40 x 20 KAP chart with the default test header, some values replaced.
std::string Kap(const std::string& nameLine, const std::string& datum, const std::string& dtmLine) {
  std::vector<std::string> header = DefaultKapHeader(40, 20, 3);
  for (std::string& line : header) {
    if (line.rfind("BSB/", 0) == 0) line = "BSB/" + nameLine + ",RA=40,20,DU=254";
    if (line.rfind("KNP/", 0) == 0) line = "KNP/SC=50000,GD=" + datum + ",PR=MERCATOR,PP=54.0,PI=UNKNOWN,SP=,SK=0.0";
    if (line.rfind("DTM/", 0) == 0) line = dtmLine;
  }
  std::erase(header, std::string());
  TKapImage s;
  s.Width = 40;
  s.Height = 20;
  s.Depth = 3;
  s.Header = header;
  s.Rows.assign(20, std::vector<uint8_t>(40, 1));
  return WriteKap(s);
}

// A one-colour image for the WCI writer.
class TPlainImage : public TWCIImageSource {
 public:
  TPlainImage(int32_t w, int32_t h) : w_(w), h_(h) {}
  int32_t Width() const override { return w_; }
  int32_t Height() const override { return h_; }
  int ColourCount() const override { return 1; }
  TRgb Colour(int) const override { return MakeRgb(200, 220, 255); }
  bool ReadRow(int32_t, uint8_t* dst) override {
    std::fill(dst, dst + w_, 0);
    return true;
  }

 private:
  int32_t w_, h_;
};

void WriteWci(const std::string& path, const RChartInfo& info) {
  TChartHeadBaseCodec c;
  ASSERT_TRUE(c.WriteInfo(info));
  TPlainImage image(info.Width, info.Height);
  TWCIWriter writer;
  writer.ConfirmReplace = false;
  ASSERT_GT(writer.Convert(image, path, c.Lines), 0);
}

void MakeDir(const std::string& path) { ASSERT_EQ(::mkdir(path.c_str(), 0755), 0) << path; }

class TScan : public ::testing::Test {
 protected:
  void SetUp() override {
    const std::string shipped = ShippedDataDir();
    ASSERT_FALSE(shipped.empty());
    WriteTestFile(tmp / kDatumFileName, ReadTestFile(shipped + kDatumFileName));
    datum = std::make_unique<TDatum>(tmp / kDatumFileName);
    MakeDir(tmp / "charts");
    chartFile.AlwaysBuildInfo = true;
    chartFile.SearchPath = tmp / "charts";
    scanner = std::make_unique<TCatalogScanner>(list, *datum, chartFile);
  }
  const RChartLayout* Named(const std::string& name) { return list.Entry(list.FindByName(name)); }

  TTempDir tmp;
  std::string dir = tmp / "charts/";
  std::unique_ptr<TDatum> datum;
  TChartHeadExternalCodec codec;
  TChartFile chartFile{codec};
  TChartList list;
  std::unique_ptr<TCatalogScanner> scanner;
};

TEST_F(TScan, EveryKindOfChartFileAndTheProblemLines) {
  WriteTestFile(dir + "a.png", Png(200, 100));
  WriteCal(dir + "a.CAL", ImageInfo("Alpha", 25000, 11, 57, 12, 58, 200, 100), "a.png");
  WriteTestFile(dir + "b.png", Png(300, 150));
  WriteSection(dir, "b.png", ImageInfo("Bravo", 50000, 10, 56, 13, 58, 300, 150, false));  // size from the image
  WriteTestFile(dir + "c.png", Png(10, 10));                                                // no calibration
  WriteTestFile(dir + "harbour.kap", Kap("NA=TEST CHART,NU=T1", "WGS84", "DTM/0.0,0.0"));
  WriteTestFile(dir + "12205.BSB", "CRR/a chart-level index\r\nCHT/NA=X,NU=1\r\n");
  WriteTestFile(dir + "notes.txt", "not a chart");
  MakeDir(dir + "sub");
  WriteTestFile(dir + "sub/d.png", Png(100, 100));
  WriteSection(dir + "sub/", "d.png", ImageInfo("Delta", 10000, 11.5, 57.5, 11.6, 57.6, 100, 100));

  EXPECT_EQ(scanner->ScanDirectory(dir, false), 4);
  EXPECT_EQ(scanner->Counters.Other, 2);
  EXPECT_EQ(scanner->Counters.KapGeo, 1);
  EXPECT_EQ(scanner->Counters.NotCalibrated, 1);
  EXPECT_EQ(scanner->Counters.InList, 1);  // a.png, brought in by a.CAL
  EXPECT_EQ(scanner->Counters.DuplicateNames, 0);
  EXPECT_EQ(scanner->Problems, std::vector<std::string>{"No Cal: " + dir + "c.png"});
  ASSERT_EQ(list.Count(), 3);

  const RChartLayout* a = Named("Alpha");
  ASSERT_TRUE(a);
  EXPECT_EQ(a->FileName, dir + "a.png");
  EXPECT_EQ(a->Scale, 25000);
  EXPECT_EQ(a->BorderCount, 4);
  const TFRect expect{12 * kDegToRad, 58 * kDegToRad, 11 * kDegToRad, 57 * kDegToRad};
  EXPECT_NEAR(a->Bounds.X1, expect.X1, 1e-12);
  EXPECT_NEAR(a->Bounds.Y1, expect.Y1, 1e-12);
  EXPECT_NEAR(a->Bounds.X2, expect.X2, 1e-12);
  EXPECT_NEAR(a->Bounds.Y2, expect.Y2, 1e-12);
  const RChartLayout* b = Named("Bravo");
  ASSERT_TRUE(b);
  EXPECT_NEAR(b->Bounds.X1, 13 * kDegToRad, 1e-12);  // the image's own size
  EXPECT_NEAR(b->Bounds.Y2, 56 * kDegToRad, 1e-12);
  const RChartLayout* k = Named("TEST CHART");
  ASSERT_TRUE(k);
  EXPECT_EQ(k->FileName, dir + "harbour.kap");
  EXPECT_EQ(k->Scale, 50000);
  EXPECT_EQ(list.BestChart(Deg(11.5, 57.5), -1, 0, 0), list.FindByName("Alpha"));
  EXPECT_EQ(list.BestChart(Deg(10.25, 54.35), -1, 0, 0), list.FindByName("TEST CHART"));

  // With "*" the subdirectory too; what is listed stays as it is.
  scanner->ClearReport();
  EXPECT_EQ(scanner->ScanDirectory(tmp / "charts*", false), 2);  // d.png and c.png again
  EXPECT_EQ(scanner->Counters.InList, 4);
  EXPECT_EQ(scanner->Counters.Other, 1);
  ASSERT_EQ(list.Count(), 4);
  EXPECT_EQ(list.GetEntry(3).Name, "Delta");
  EXPECT_EQ(list.GetEntry(3).FileName, dir + "sub/d.png");

  // Once more: nothing new.
  scanner->ClearReport();
  scanner->ScanDirectory(tmp / "charts*", false);
  EXPECT_EQ(scanner->Counters.Other + scanner->Counters.KapGeo + scanner->Counters.Wci, 0);
  EXPECT_EQ(list.Count(), 4);
}

TEST_F(TScan, NosChartsAndBmpImages) {
  WriteTestFile(dir + "harbour.nos", SmallNosRaster());
  WriteTestFile(dir + "HARBOUR.GEO",
                "[BSB]\r\nBitmap = C:\\CHARTS\\Harbour.NOS\r\nNAME=Harbour\r\nSCALE=20000\r\n"
                "PROJECTION=Mercator\r\nDATUM=WGS84\r\nVERTEX1=54.5 10.0\r\nVERTEX2=54.5 10.5\r\n"
                "VERTEX3=54.2 10.5\r\nVERTEX4=54.2 10.0\r\nPOINT1=10.0 54.5 0 0\r\nPOINT2=10.5 54.2 6 40\r\n");
  // An 8-bit BMP of 30 x 20 pixels, calibrated without its size.
  TBytes bmp;
  const int stride = 32;
  bmp.raw("BM").i32(54 + 4 + stride * 20).i32(0).i32(54 + 4);
  bmp.i32(40).i32(30).i32(20).u16(1).u16(8).i32(0).i32(stride * 20).i32(0).i32(0).i32(1).i32(0);
  bmp.i32(0x00FFFFFF).raw(std::string(stride * 20, '\0'));
  WriteTestFile(dir + "m.bmp", bmp.b);
  WriteCal(dir + "m.CAL", ImageInfo("Mooring", 5000, 10.2, 54.3, 10.3, 54.4, 30, 20, false), "m.bmp");

  EXPECT_EQ(scanner->ScanDirectory(dir, false), 2);
  EXPECT_EQ(scanner->Counters.KapGeo, 1);
  EXPECT_EQ(scanner->Counters.Other, 1);
  EXPECT_TRUE(scanner->Problems.empty());
  const RChartLayout* nos = Named("Harbour");
  ASSERT_TRUE(nos);
  EXPECT_EQ(nos->FileName, dir + "HARBOUR.GEO");
  EXPECT_EQ(nos->Scale, 20000);
  EXPECT_EQ(list.BestChart(Deg(10.45, 54.25), -1, 0, 0), list.FindByName("Harbour"));
  const RChartLayout* m = Named("Mooring");
  ASSERT_TRUE(m);
  EXPECT_EQ(m->FileName, dir + "m.bmp");
  EXPECT_NEAR(m->Bounds.X1, 10.3 * kDegToRad, 1e-12);
  EXPECT_NEAR(m->Bounds.Y2, 54.3 * kDegToRad, 1e-12);
}

TEST_F(TScan, DuplicateNamesAndProblemLinesDoNotDependOnTheOrderFilesWereMade) {
  // Made in an order that differs from the name order.
  for (const char* d : {"c", "A", "d", "b"}) MakeDir(dir + d);
  const struct {
    const char* sub;
    const char* file;
    int size;
  } files[] = {{"c", "h3.png", 30}, {"A", "h1.png", 10}, {"d", "h1.png", 10}, {"b", "h2.png", 20}};
  for (const auto& f : files) {
    WriteTestFile(dir + f.sub + "/" + f.file, Png(f.size, f.size));
    WriteSection(dir + f.sub + "/", f.file, ImageInfo("Harbour", 10000, 11, 57, 12, 58, f.size, f.size));
  }
  for (const char* f : {"Zeta.png", "alpha.png", "Beta.png"}) {
    WriteTestFile(dir + f, Png(5, 5));
    WriteSection(dir, f, ImageInfo("Same", 10000, 11, 57, 12, 58, 5, 5));
  }
  scanner->ScanDirectory(dir + "*", false);
  auto fileOf = [&](const std::string& name) { return list.GetFileName(list.FindByName(name)); };
  EXPECT_EQ(fileOf("Harbour"), dir + "A/h1.png");
  EXPECT_EQ(fileOf("Harbour (2)"), dir + "b/h2.png");
  EXPECT_EQ(fileOf("Harbour (3)"), dir + "c/h3.png");
  EXPECT_EQ(fileOf("Same"), dir + "alpha.png");
  EXPECT_EQ(fileOf("Same (2)"), dir + "Beta.png");
  EXPECT_EQ(fileOf("Same (3)"), dir + "Zeta.png");
  // The same image (name and size) in another directory.
  EXPECT_EQ(scanner->Problems, std::vector<std::string>{"DupName: " + dir + "d/h1.png"});
  EXPECT_EQ(scanner->Counters.DuplicateNames, 1);
  EXPECT_EQ(list.Count(), 6);
}

TEST_F(TScan, LinkedDirectoriesAreScannedOnceAndLoopsEnd) {
  MakeDir(dir + "sub");
  MakeDir(tmp / "elsewhere");
  WriteTestFile(dir + "sub/d.png", Png(10, 10));
  WriteSection(dir + "sub/", "d.png", ImageInfo("Delta", 10000, 11, 57, 12, 58, 10, 10));
  WriteTestFile(tmp / "elsewhere/e.png", Png(10, 10));
  WriteSection(tmp / "elsewhere/", "e.png", ImageInfo("Echo", 10000, 11, 57, 12, 58, 10, 10));
  ASSERT_EQ(::symlink(dir.c_str(), (dir + "sub/up").c_str()), 0);            // to an ancestor
  ASSERT_EQ(::symlink((dir + "sub").c_str(), (dir + "again").c_str()), 0);   // the same directory twice
  ASSERT_EQ(::symlink((tmp / "elsewhere").c_str(), (dir + "link").c_str()), 0);
  ASSERT_EQ(::symlink((dir + "missing").c_str(), (dir + "dangling.png").c_str()), 0);
  EXPECT_EQ(scanner->ScanDirectory(dir + "*", false), 2);
  EXPECT_EQ(list.Count(), 2);
  EXPECT_TRUE(scanner->Problems.empty());
  // "again" sorts before "sub": the directory is listed under that path.
  EXPECT_EQ(list.GetFileName(list.FindByName("Delta")), dir + "again/d.png");
  EXPECT_EQ(list.GetFileName(list.FindByName("Echo")), dir + "link/e.png");

  scanner->ClearReport();
  EXPECT_EQ(scanner->ScanDirectory(tmp / "no such dir", false), 0);
  EXPECT_EQ(scanner->MissingDirectories, std::vector<std::string>{tmp / "no such dir"});
}

TEST_F(TScan, ChartNumbersAreAddedToRasterChartNamesOnly) {
  scanner->Settings.UseChartNumbers = true;
  WriteTestFile(dir + "harbour.kap", Kap("NA=HARBOUR,NU=1234", "WGS84", "DTM/0.0,0.0"));
  RChartInfo wci = ImageInfo("Fjord", 20000, 10.3, 54.3, 10.4, 54.4, 64, 32);
  wci.Number = "77";
  WriteWci(dir + "fjord.wci", wci);
  WriteTestFile(dir + "p.png", Png(10, 10));
  RChartInfo info = ImageInfo("Pier", 5000, 10.1, 54.3, 10.2, 54.4, 10, 10);
  info.Number = "55";
  WriteSection(dir, "p.png", info);
  scanner->ScanDirectory(dir, false);
  EXPECT_GE(list.FindByName("HARBOUR:1234"), 0);
  EXPECT_GE(list.FindByName("Pier"), 0);
  EXPECT_EQ(scanner->Counters.KapGeo, 1);
  EXPECT_EQ(scanner->Counters.Wci, 1);
  EXPECT_EQ(scanner->Counters.Other, 1);
  const RChartLayout* f = list.Entry(list.FindByName("Fjord:77"));
  ASSERT_TRUE(f);
  EXPECT_EQ(f->FileName, dir + "fjord.wci");
  EXPECT_NEAR(f->Bounds.X1, 10.4 * kDegToRad, 1e-12);
  EXPECT_NEAR(f->Bounds.Y2, 54.3 * kDegToRad, 1e-12);
}

// The border as the scan must store it: the raw border by the shared datum
// decision of the chart view.
TFPointArray ExpectedBorder(const RChartInfo& info, bool isKap, TDatum& datum, const TDatumSettings& settings) {
  return ChartBorderToWgs84(ChartGeoRef(info, isKap), datum, settings);
}

TEST_F(TScan, EachChartGetsItsOwnDatumDecision) {
  // A KAP chart on a known datum, then one on an unknown datum with its own
  // shift, then the other way round: no chart's datum is carried into the
  // next.
  WriteTestFile(dir + "1.kap", Kap("NA=ONE,NU=1", "European 1950", "DTM/3.6,7.2"));
  WriteTestFile(dir + "2.kap", Kap("NA=TWO,NU=2", "Atlantis 1900", "DTM/3.6,7.2"));
  WriteTestFile(dir + "3.kap", Kap("NA=THREE,NU=3", "European 1950", "DTM/3.6,7.2"));
  scanner->ScanDirectory(dir, false);
  ASSERT_EQ(list.Count(), 3);
  EXPECT_TRUE(scanner->Problems.empty());
  for (const char* f : {"1.kap", "2.kap", "3.kap"}) {
    SCOPED_TRACE(f);
    TKAPDecoder d;
    ASSERT_TRUE(d.ReadHeaderOnly(dir + f));
    RChartInfo info;
    TChartHeadBaseCodec::ClearInfo(info);
    ASSERT_TRUE(d.ReadInfo(info));
    const TFPointArray expect = ExpectedBorder(info, true, *datum, TDatumSettings());
    const RChartLayout* e = list.Entry(list.FindByFileName(dir + f));
    ASSERT_TRUE(e);
    ASSERT_EQ(e->Border.size(), expect.size());
    for (size_t i = 0; i < expect.size(); ++i) {
      EXPECT_NEAR(e->Border[i].X, expect[i].X, 1e-15);
      EXPECT_NEAR(e->Border[i].Y, expect[i].Y, 1e-15);
    }
    // ED50 moves a position in Germany by roughly 100 m; the DTM record by
    // 3.6" and 7.2".
    const double dLat = (e->Border[0].Y - info.Layout.Border[0].Y) * kRadToDeg * 3600;
    if (std::string(f) == "2.kap")
      EXPECT_NEAR(dLat, 3.6, 1e-9);
    else
      EXPECT_GT(std::fabs(dLat - 3.6), 0.5);
    // The bounds went through the same shift as the border (whose first two
    // points are the top corners).
    EXPECT_NEAR(e->Bounds.Y1, std::max(e->Border[0].Y, e->Border[1].Y), 1e-11);
  }
}

TEST_F(TScan, AnUnknownDatumIsAskedAboutAndADeclinedQuestionIsReported) {
  WriteTestFile(dir + "k.kap", Kap("NA=KAP CHART,NU=1", "Atlantis 1900", "DTM/0.0,0.0"));
  WriteTestFile(dir + "p.png", Png(10, 10));
  RChartInfo img = ImageInfo("Image chart", 5000, 10.1, 54.3, 10.2, 54.4, 10, 10);
  img.DatumName = "Atlantis 1900";
  WriteSection(dir, "p.png", img);

  // KAP charts in mode 0 and images ask; nobody answers: both are added and
  // reported.
  scanner->Settings.Datum.KapZeroShiftMode = 0;
  scanner->ScanDirectory(dir, false);
  EXPECT_EQ(scanner->Problems, (std::vector<std::string>{"Bad Datum: " + dir + "k.kap", "Bad Datum: " + dir + "p.png"}));
  EXPECT_EQ(list.Count(), 2);

  // In mode 2 a KAP chart takes its own shift and nothing is asked. The
  // image's question is answered by mapping the name to ED50.
  list.Clear();
  scanner->ClearReport();
  scanner->Settings.Datum.KapZeroShiftMode = 2;
  std::vector<std::string> asked;
  scanner->AskDatumAlias = [&](const std::string& name) {
    asked.push_back(name);
    return datum->AddAlias(name, "European 1950");
  };
  scanner->ScanDirectory(dir, false);
  EXPECT_TRUE(scanner->Problems.empty());
  EXPECT_EQ(asked, std::vector<std::string>{"Atlantis 1900"});
  const RChartLayout* e = list.Entry(list.FindByName("Image chart"));
  ASSERT_TRUE(e);
  datum->SetSource(datum->Lookup("European 1950"));
  const TFPoint shifted = datum->ShiftPosition(img.Layout.Border[0]);
  EXPECT_NEAR(e->Border[0].X, shifted.X, 1e-15);
  EXPECT_NEAR(e->Border[0].Y, shifted.Y, 1e-15);
}

TEST_F(TScan, BrokenFilesAreReportedAndTheScanGoesOn) {
  WriteTestFile(dir + "a_random.kap", std::string(3000, '\x5a'));
  WriteTestFile(dir + "b_empty.wci", "");
  WriteTestFile(dir + "c_cut.png", Png(50, 50).substr(0, 10));  // not even its size
  WriteCal(dir + "c_cut.CAL", ImageInfo("Cut", 10000, 11, 57, 12, 58, 50, 50, false), "c_cut.png");
  WriteTestFile(dir + "d_lost.CAL", "NA=Lost\r\nFN=nowhere.png\r\nCC=2000000000\r\nBC=2000000000\r\n");
  WriteTestFile(dir + "e_nos.geo", "NAME=X\r\nBITMAP=missing.nos\r\n");
  RChartInfo flat = ImageInfo("Flat", 10000, 11, 57, 12, 58, 10, 10);
  flat.RefPoints = {{0, 0, 0.2, 1.0}, {5, 5, 0.2, 1.0}, {10, 10, 0.2, 1.0}};  // no usable fit
  WriteTestFile(dir + "f_flat.png", Png(10, 10));
  WriteSection(dir, "f_flat.png", flat);
  RChartInfo noScale = ImageInfo("No scale", 0, 11, 57, 12, 58, 10, 10);
  WriteTestFile(dir + "g_noscale.png", Png(10, 10));
  WriteSection(dir, "g_noscale.png", noScale);
  WriteTestFile(dir + "h_good.png", Png(10, 10));
  WriteSection(dir, "h_good.png", ImageInfo("", 10000, 11, 57, 12, 58, 10, 10));  // no name

  scanner->ScanDirectory(dir, false);
  EXPECT_EQ(scanner->Problems,
            (std::vector<std::string>{"No Cal: " + dir + "a_random.kap", "No Cal: " + dir + "b_empty.wci",
                                      "No Cal: " + dir + "d_lost.CAL", "No Cal: " + dir + "e_nos.geo",
                                      "Critical error in file " + dir + "f_flat.png",
                                      "No Scale: " + dir + "g_noscale.png"}));
  EXPECT_EQ(scanner->Counters.NotCalibrated, 5);
  // The cut image's size comes from nowhere: its bounds are its border's.
  ASSERT_EQ(list.Count(), 2);
  const RChartLayout* cut = list.Entry(list.FindByName("Cut"));
  ASSERT_TRUE(cut);
  EXPECT_NEAR(cut->Bounds.X1, 12 * kDegToRad, 1e-12);
  // A chart without a name is named after its file.
  EXPECT_GE(list.FindByName("h_good"), 0);
}

TEST_F(TScan, ThousandsOfReferencePointsAndHostileCountsDoNotStallTheScan) {
  // 4 000 reference points on a 100 x 50 image (every triple tried for the
  // base triangle would be about 10^10), with counts far beyond the lines.
  RChartInfo info = ImageInfo("Dense", 10000, 11, 57, 12, 58, 100, 50);
  info.RefPoints.clear();
  for (int i = 0; i < 4000; ++i) {
    const double x = i % 100, y = i / 100;  // whole pixels, as the header stores them
    info.RefPoints.push_back({x, y, (11 + x / 100) * kDegToRad, (58 - y / 50) * kDegToRad});
  }
  info.RefCount = 4000;
  WriteTestFile(dir + "dense.png", Png(100, 50));
  info.Layout.FileName = "dense.png";
  TChartHeadBaseCodec c;
  ASSERT_TRUE(c.WriteInfo(info));
  c.PutValue("CC=", "2000000000");
  c.PutValue("BC=", "2000000000");
  ASSERT_TRUE(c.SaveToFile(dir + "dense.CAL"));
  EXPECT_EQ(scanner->ScanDirectory(dir, false), 1);
  EXPECT_TRUE(scanner->Problems.empty());
  const RChartLayout* dense = Named("Dense");
  ASSERT_TRUE(dense);
  EXPECT_EQ(dense->Border.size(), 4u);
  EXPECT_NEAR(dense->Bounds.X1, 12 * kDegToRad, 1e-9);
  EXPECT_NEAR(dense->Bounds.Y2, 57 * kDegToRad, 1e-9);
}

TEST_F(TScan, CancelAtADuplicateNameEndsTheScan) {
  for (int k = 1; k <= 100; ++k)
    list.AddEntry(BoxEntry(k == 1 ? std::string("Harbour") : "Harbour (" + std::to_string(k) + ")", 10000, 0, 0, 1, 1),
                  false);
  for (const char* f : {"a.png", "b.png"}) {
    WriteTestFile(dir + f, Png(10, 10));
    WriteSection(dir, f, ImageInfo(f[0] == 'a' ? "Harbour" : "Other", 10000, 11, 57, 12, 58, 10, 10));
  }
  TScriptedQuestions script;
  IUserQuestions* previous = SetUserQuestions(&script);
  script.Answer(idCancel);
  EXPECT_EQ(scanner->ScanDirectory(dir, true), -1);
  SetUserQuestions(previous);
  EXPECT_EQ(scanner->Problems, std::vector<std::string>{"DupName: " + dir + "a.png"});
  EXPECT_LT(list.FindByName("Other"), 0);  // b.png was not reached
  // Without asking, the scan goes on.
  scanner->ClearReport();
  EXPECT_EQ(scanner->ScanDirectory(dir, false), 2);
  EXPECT_GE(list.FindByName("Other"), 0);
}

TEST(CatalogScan, ImageSizesFromTheFirstBytes) {
  int32_t w = 0, h = 0;
  ASSERT_TRUE(ImageSizeFromHeader(Png(321, 123), w, h));
  EXPECT_EQ(w, 321);
  EXPECT_EQ(h, 123);
  TBytes gif;
  gif.raw("GIF89a").u16(640).u16(480).raw("....");
  ASSERT_TRUE(ImageSizeFromHeader(gif.b, w, h));
  EXPECT_EQ(w, 640);
  TBytes bmp;  // top-down rows: negative height
  bmp.raw("BM").i32(0).i32(0).i32(54).i32(40).i32(100).i32(-50).u16(1).u16(8);
  ASSERT_TRUE(ImageSizeFromHeader(bmp.b, w, h));
  EXPECT_EQ(h, 50);
  EXPECT_FALSE(ImageSizeFromHeader("GIF89a", w, h));
  EXPECT_FALSE(ImageSizeFromHeader(std::string(40, '\0'), w, h));
  TBytes zero;
  zero.raw("GIF87a").u16(0).u16(10);
  EXPECT_FALSE(ImageSizeFromHeader(zero.b, w, h));
}

TEST(CatalogScan, SettingsAndSearchPath) {
  TTempDir tmp;
  WriteTestFile(tmp / "BRISMARE_2.INI",
                "[Program Setup]\r\nChart Dir=.\\CHARTS*;C:\\MAPS;/srv/charts;;sub\\dir\r\n"
                "Use Chart Numbers=1\r\nUse KAP zero shift=7\r\nReverse KAP zero shift=0\r\n");
  TCatalogSettings s = ReadCatalogSettings(tmp / "BRISMARE_2.INI", tmp.path());
  EXPECT_EQ(s.ChartDir, tmp / "CHARTS*;C:\\MAPS;/srv/charts;" + tmp / "sub/dir");
  EXPECT_TRUE(s.UseChartNumbers);
  EXPECT_EQ(s.Datum.KapZeroShiftMode, 2);  // out of range
  EXPECT_FALSE(s.Datum.ReverseKapShift);
  EXPECT_EQ(ChartSearchPath(s.ChartDir), tmp / "CHARTS;C:\\MAPS;/srv/charts;" + tmp / "sub/dir");
  s = ReadCatalogSettings(tmp / "none.ini", tmp.path());
  EXPECT_EQ(s.ChartDir, tmp / "CHARTS");
  EXPECT_FALSE(s.UseChartNumbers);
  EXPECT_EQ(s.Datum.KapZeroShiftMode, 2);
  EXPECT_TRUE(s.Datum.ReverseKapShift);
}

// GeoTIFFs come in placed by their own georeference; a plain TIFF scan
// keeps coming in through its calibration only.
TEST_F(TScan, AddsGeoTiffsAndLeavesPlainScansToTheirCalibration) {
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

}  // namespace
