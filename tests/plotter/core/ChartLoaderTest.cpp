// Opening charts for the chart view: every kind the plotter shows, the
// values derived at each load, the datum question with and without someone
// to ask, and the failures with the texts the user is shown.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "../ChartFixtures.h"
#include "TestSupport.h"
#include "charts/BMPager.h"
#include "charts/CatalogScan.h"
#include "charts/ChartGeo.h"
#include "charts/KAPctrl.h"
#include "charts/WCIctrl.h"
#include "geodesy/Datum.h"
#include "plotter/core/ChartLoader.h"

namespace {

using chartfix::TChartPlan;

class ChartLoader : public ::testing::Test {
 protected:
  void SetUp() override {
    WriteTestFile(dir_ / "DATUMS2.INI", ReadTestFile(std::string(BRISMARE_SOURCE_DIR) + "/data/DATUMS2.INI"));
    datum_ = std::make_unique<TDatum>(dir_ / "DATUMS2.INI");
    options_.searchPath = dir_.path();
    options_.datum = datum_.get();
    options_.codec = &codec_;
    options_.wholeImageLimit = 12 << 20;
  }
  bool Open(const std::string& file) { return OpenChartForView(file, options_, chart_, error_); }

  TTempDir dir_;
  std::unique_ptr<TDatum> datum_;
  TChartHeadExternalCodec codec_;
  TChartLoadOptions options_;
  TOpenedChart chart_;
  TChartLoadError error_;
};

TEST_F(ChartLoader, EveryKindOpensWithTheSameGeoreference) {
  const TChartPlan s;
  struct Case {
    std::string file;
    TChartKind kind;
  } cases[] = {
      {chartfix::WriteKapChart(dir_ / "T.KAP", s), TChartKind::KAP},
      {chartfix::WriteWciChart(dir_ / "T.WCI", s), TChartKind::WCI},
      {chartfix::WritePngChart(dir_ / "T.PNG", s), TChartKind::Image},
  };
  const TFPoint middle{10.25 * kDegToRad, 54.35 * kDegToRad};
  for (const Case& c : cases) {
    ASSERT_TRUE(Open(c.file)) << c.file << ": " << error_.Message << ": " << error_.Reason;
    EXPECT_EQ(chart_.Kind, c.kind) << c.file;
    EXPECT_EQ(chart_.Info.Width, 400);
    EXPECT_EQ(chart_.Info.Height, 300);
    EXPECT_EQ(chart_.Source() != nullptr, c.kind != TChartKind::Image);
    if (c.kind == TChartKind::Image) {
      EXPECT_EQ(chart_.Image.Width, 400);
    }
    // The corners' positions (the chart is calibrated at its corners), and
    // the bounds 100 pixels beyond them on every side.
    TFPoint pixel;
    ASSERT_TRUE(ExactGeoToPixel(chart_.Converter, {10.5 * kDegToRad, 54.2 * kDegToRad}, pixel));
    EXPECT_NEAR(pixel.X, 400, 1e-3) << c.file;
    EXPECT_NEAR(pixel.Y, 300, 1e-3) << c.file;
    const TFRect& b = chart_.Info.Layout.Bounds;
    const double lonPerPixel = 0.5 * kDegToRad / 400;
    EXPECT_NEAR(b.X2, 10 * kDegToRad - 100 * lonPerPixel, 1e-9);
    EXPECT_NEAR(b.X1, 10.5 * kDegToRad + 100 * lonPerPixel, 1e-9);
    EXPECT_GT(b.Y1, 54.5 * kDegToRad);
    EXPECT_LT(b.Y2, 54.2 * kDegToRad);
    ASSERT_EQ(chart_.ExtendedCorners.size(), 4u);
    EXPECT_NEAR(chart_.Info.Centre.X, middle.X, 1e-12);
    EXPECT_NEAR(chart_.Info.Centre.Y, middle.Y, 1e-12);
    EXPECT_NEAR(chart_.Info.NorthRotation, 0, 1e-6);
    // One row of this chart: 0.3 degrees of latitude over 300 rows.
    EXPECT_NEAR(chart_.Info.MilesPerPixel, 0.3 * 60 / 300, 0.002);
    EXPECT_TRUE(chart_.Notice.empty());
  }
}

TEST_F(ChartLoader, WciFilesMarkedUncachedAreNeverDecodedWhole) {
  const std::string file = chartfix::WriteWciChart(dir_ / "C.WCI", TChartPlan());
  ASSERT_TRUE(Open(file));
  EXPECT_EQ(chart_.WholeImageLimit, options_.wholeImageLimit);
  TWCIDecoder().SetAttributeBit(file, 3, 1, true);
  ASSERT_TRUE(Open(file));
  EXPECT_EQ(chart_.WholeImageLimit, 0);
}

TEST_F(ChartLoader, AChartWithoutBorderTakesItsMiddleAsCentre) {
  TChartPlan s;
  s.border = false;
  ASSERT_TRUE(Open(chartfix::WritePngChart(dir_ / "N.PNG", s)));
  EXPECT_TRUE(std::isfinite(chart_.Info.Centre.X) && std::isfinite(chart_.Info.Centre.Y));
  EXPECT_NEAR(chart_.Info.Centre.X, 10.25 * kDegToRad, 1e-9);
  EXPECT_GT(chart_.Info.MilesPerPixel, 0);
  EXPECT_TRUE(std::isfinite(chart_.GpsShift.X) && std::isfinite(chart_.GpsShift.Y));
}

TEST_F(ChartLoader, FailuresSayWhatAndWhy) {
  TChartPlan one;
  one.refs = 1;
  TChartPlan line;
  line.refs = -1;
  chartfix::WritePngChart(dir_ / "NOCAL.PNG", TChartPlan(), false);
  chartfix::WritePngChart(dir_ / "ONE.PNG", one);
  chartfix::WritePngChart(dir_ / "LINE.PNG", line);
  WriteTestFile(dir_ / "BAD.KAP", "not a chart at all");
  WriteTestFile(dir_ / "BAD.WCI", "WCI\x01");
  TChartPlan huge;
  huge.width = 400000;
  huge.height = 2;
  chartfix::WriteKapChart(dir_ / "HUGE.KAP", huge);
  struct Case {
    std::string file;
    std::string message;
  } cases[] = {
      {"", "Chart Load Error"},
      {dir_ / "GONE.KAP", "Chart error on reading " + dir_ / "GONE.KAP"},
      {dir_ / "NOCAL.PNG", "Chart error on reading " + dir_ / "NOCAL.PNG"},
      {dir_ / "ONE.PNG", "Chart error reading " + dir_ / "ONE.PNG"},
      {dir_ / "LINE.PNG", "Chart error on reading " + dir_ / "LINE.PNG"},
      {dir_ / "BAD.KAP", "KAP Error on reading " + dir_ / "BAD.KAP"},
      {dir_ / "BAD.WCI", "WCI Error on reading " + dir_ / "BAD.WCI"},
      {dir_ / "HUGE.KAP", "Chart error on reading " + dir_ / "HUGE.KAP"},
  };
  for (const Case& c : cases) {
    error_ = {};
    EXPECT_FALSE(Open(c.file)) << c.file;
    EXPECT_EQ(error_.Message, c.message);
    EXPECT_FALSE(error_.Reason.empty()) << c.file;
  }
}

TEST_F(ChartLoader, AnUnknownDatumIsAskedOnlyWhenSomeoneIsThere) {
  TChartPlan s;
  s.datum = "NO SUCH DATUM";
  const std::string file = chartfix::WriteKapChart(dir_ / "D.KAP", s);
  options_.datumSettings.KapZeroShiftMode = 0;
  // No one to ask (a load of the update cycle): the fallback, and a notice.
  ASSERT_TRUE(Open(file));
  EXPECT_NE(chart_.Notice.find("NO SUCH DATUM"), std::string::npos);
  EXPECT_FALSE(chart_.Setup.Datum.Asked);
  // At the keyboard: the question, and no notice when it was answered.
  std::vector<std::string> asked;
  options_.askAlias = [&](const std::string& name) {
    asked.push_back(name);
    return datum_->AddAlias(name, "European 1950");
  };
  ASSERT_TRUE(Open(file));
  EXPECT_EQ(asked, std::vector<std::string>{"NO SUCH DATUM"});
  EXPECT_TRUE(chart_.Notice.empty());
  // Mode 2 takes the chart's own shift without asking.
  asked.clear();
  options_.datumSettings.KapZeroShiftMode = 2;
  s.datum = "ANOTHER UNKNOWN";
  ASSERT_TRUE(Open(chartfix::WriteKapChart(dir_ / "E.KAP", s)));
  EXPECT_TRUE(asked.empty());
  EXPECT_TRUE(chart_.Notice.empty());
}

TEST_F(ChartLoader, NosChartsTakeTheKapDatumRulesOnScreenAndInTheCatalog) {
  // A NOS chart on a known datum that also carries its own offsets: under
  // the KAP rules (mode 2, datum known) the datum decides, in the view and
  // in the catalog alike, so the border that picks the chart is the one the
  // screen shows.
  WriteTestFile(dir_ / "harbour.nos", SmallNosRaster());
  const std::string geo = dir_ / "HARBOUR.GEO";
  WriteTestFile(geo,
                "[BSB]\r\nBitmap = harbour.nos\r\nNAME=Harbour\r\nSCALE=20000\r\nPROJECTION=Mercator\r\n"
                "DATUM=European 1950\r\nLATITUDE OFFSET=0.01\r\nLONGITUDE OFFSET=0.02\r\n"
                "VERTEX1=54.5 10.0\r\nVERTEX2=54.5 10.5\r\nVERTEX3=54.2 10.5\r\nVERTEX4=54.2 10.0\r\n"
                "POINT1=10.0 54.5 0 0\r\nPOINT2=10.5 54.2 6 40\r\n");
  for (const bool reverse : {true, false}) {
    SCOPED_TRACE(reverse);
    options_.datumSettings.ReverseKapShift = reverse;
    ASSERT_TRUE(Open(geo)) << error_.Message << ": " << error_.Reason;
    EXPECT_EQ(chart_.Setup.Datum.Rule, TChartShiftRule::Datum);

    TChartList list;
    TChartFile reader(codec_);
    TCatalogScanner scanner(list, *datum_, reader);
    scanner.Settings.Datum = options_.datumSettings;
    ASSERT_EQ(scanner.ScanFile(geo, false), 1);
    ASSERT_EQ(list.Count(), 1);
    const TFPoint corner{10.0 * kDegToRad, 54.5 * kDegToRad};
    datum_->SetSource(datum_->Lookup("European 1950"));
    const TFPoint expected = datum_->ShiftPosition(corner);
    EXPECT_GT(std::abs(expected.Y - corner.Y), 1e-7);
    ASSERT_FALSE(list.Entry(0)->Border.empty());
    EXPECT_NEAR(list.Entry(0)->Border[0].X, expected.X, 1e-12);
    EXPECT_NEAR(list.Entry(0)->Border[0].Y, expected.Y, 1e-12);
  }
}

TEST(ChartLoaderReal, EveryTestChartOpens) {
  for (const char* name : {"charts/NZ61401.KAP", "charts/11361_3.KAP", "charts/12205_12.KAP", "charts/14988_2.KAP",
                           "charts/australia4c.kap"}) {
    REQUIRE_TESTDATA(path, name);
    TTempDir dir;
    WriteTestFile(dir / "DATUMS2.INI", ReadTestFile(std::string(BRISMARE_SOURCE_DIR) + "/data/DATUMS2.INI"));
    TDatum datum(dir / "DATUMS2.INI");
    TChartHeadExternalCodec codec;
    TChartLoadOptions o;
    o.datum = &datum;
    o.codec = &codec;
    TOpenedChart chart;
    TChartLoadError error;
    ASSERT_TRUE(OpenChartForView(path, o, chart, error)) << name << ": " << error.Reason;
    EXPECT_EQ(chart.Kind, TChartKind::KAP);
    EXPECT_GT(chart.Info.MilesPerPixel, 0) << name;
    EXPECT_TRUE(std::isfinite(chart.Info.NorthRotation));
  }
}

}  // namespace
