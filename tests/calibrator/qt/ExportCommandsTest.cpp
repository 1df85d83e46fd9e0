// The "Convert" menu of the calibration tool's window, with scripted
// questions and dialogs: JPEG and TIFF scans open through their ".CAL"
// files, and a directory conversion asks, converts and reports.
#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QToolBar>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "TeskorFixture.h"
#include "charts/JpegTiffFixtures.h"
#include "plotter/ChartFixtures.h"
#include "platform/FileDialogs.h"
#include "platform/Questions.h"
#include "sharedui/SpyFrm.h"

namespace {

void Settle() { SettleTeskor(); }

std::string CalText(const std::string& fileName, int w, int h) {
  return "NA=Scan\r\nFN=" + fileName + "\r\nWI=" + std::to_string(w) + "\r\nHE=" + std::to_string(h) +
         "\r\nSC=20000\r\nBC=3\r\nB1=59,18\r\nB2=59,18.1\r\nB3=58.9,18.1\r\nCC=2\r\n"
         "C1=0,0,59,18\r\nC2=30,20,58.9,18.1\r\nPR=1\r\n";
}

class ExportCommands : public TeskorWindowTest {
 protected:
  void SetUp() override {
    TeskorWindowTest::SetUp();
    std::filesystem::create_directories(dir_ / "src");
    std::filesystem::create_directories(dir_ / "dst");
    WriteTestFile(dir_ / "src/scan.jpg", jtfix::JpegBytes(48, 32, jtfix::Gradient));
    WriteTestFile(dir_ / "src/scan.cal", CalText("SCAN.JPG", 48, 32));
    ASSERT_TRUE(jtfix::WriteTiff(dir_ / "src/sheet.tif", 48, 32, jtfix::Blocks));
    WriteTestFile(dir_ / "src/sheet.cal", CalText("sheet.tif", 48, 32));
    WriteTestFile(dir_ / "src/broken.tif", "II*\0broken");
  }
};

TEST_F(ExportCommands, JpegAndTiffScansOpenThroughTheirCalFiles) {
  T_Form& f = Start();
  for (const char* cal : {"src/scan.cal", "src/sheet.cal"}) {
    SCOPED_TRACE(cal);
    dialogs_.Answer(dir_ / cal);
    f.MenuItem("OpenImage")->trigger();
    Settle();
    ASSERT_TRUE(f.Cal.IsOpen());
    EXPECT_EQ(f.Cal.Image().Width, 48);
    EXPECT_EQ(f.Cal.Image().Height, 32);
    EXPECT_EQ(f.Cal.RefCount(), 2);
  }
  // "Current to WCI" writes the open scan from a copy of its record: the
  // open image keeps its own file name and stays unchanged.
  dialogs_.Answer(dir_ / "dst/SHEET.WCI");
  f.MenuItem("CurrentToWCI")->trigger();
  Settle();
  ASSERT_TRUE(TestFileExists(dir_ / "dst/SHEET.WCI"));
  EXPECT_EQ(f.Cal.Info().Layout.FileName, "sheet.tif");
  EXPECT_FALSE(f.Cal.Changed());
  const std::string text = ReadTestFile(dir_ / "dst/SHEET.WCI");
  EXPECT_NE(text.find("FN=SHEET.WCI"), std::string::npos);
  EXPECT_NE(text.find("NA=Scan"), std::string::npos);
  // "Current WCI to BMP" wants a WCI chart.
  questions_.Clear();
  f.MenuItem("CurrentWCIToBMP")->trigger();
  EXPECT_EQ(Asked(), std::vector<std::string>{"Only WCI files can be converted."});
}

TEST_F(ExportCommands, ImagesInDirToWciAsksConvertsAndReports) {
  T_Form& f = Start();
  dialogs_.Answer(dir_ / "src");
  dialogs_.Answer(dir_ / "dst");
  for (int i = 0; i < 3; ++i) questions_.Answer(idYes);
  f.MenuItem("ImagesInDirToWCI")->trigger();
  Settle();
  const std::vector<std::string> asked = Asked();
  ASSERT_EQ(asked.size(), 4u);
  EXPECT_EQ(asked[0], "Converts all images in a source directory to a target directory.\r\nMay take long time. Continue?");
  EXPECT_EQ(asked[1], "Overwrite existing WCI files?");
  EXPECT_EQ(asked[2], "Convert images without calibration?");
  EXPECT_EQ(asked[3],
            "--- WCI CONVERT RESULT ---\r\nTotal Files Scanned: 3\r\nTotal Files Converted: 2\r\n"
            "Files with calibration: 2\r\nFiles without calibration: 0");
  EXPECT_TRUE(TestFileExists(dir_ / "dst/scan.WCI"));
  EXPECT_TRUE(TestFileExists(dir_ / "dst/sheet.WCI"));
  EXPECT_FALSE(TestFileExists(dir_ / "dst/broken.WCI"));
  const std::vector<std::string> problems = f.ProblemCharts->Lines();
  ASSERT_FALSE(problems.empty());
  EXPECT_EQ(problems[0].rfind("Could not open image broken.tif.", 0), 0u) << problems[0];
  EXPECT_TRUE(f.TB->isEnabled());
  EXPECT_FALSE(f.CommandRunning());
}

}  // namespace

namespace {

// An OziExplorer map file for the 48 x 32 scan: two points, a border of four
// pixels inside the image.
std::string ScanMap(int p2x, int p2y) {
  return "OziExplorer Map Data File Version 2.2\r\nHarbour\r\nC:\\Maps\\scan.jpg\r\n1 ,Map Code,\r\n"
         "WGS 84,WGS 84,   0.0000,   0.0000,WGS 84\r\nReserved 1\r\nMagnetic Variation,,,E\r\n"
         "Map Projection,Mercator,PolyCal,No,AutoCalOnly,No,BSBUseWPX,No\r\n"
         "Point01,xy,    0,    0,in, deg,  59, 0.0000,N,  18, 0.0000,E, grid,   ,           ,           ,N\r\n"
         "Point02,xy, " + std::to_string(p2x) + ", " + std::to_string(p2y) +
         ",in, deg,  58, 54.0000,N,  18, 6.0000,E, grid,   ,           ,           ,N\r\n"
         "MM0,Yes\r\nMMPNUM,4\r\nMMPXY,1,2,2\r\nMMPXY,2,45,2\r\nMMPXY,3,45,29\r\nMMPXY,4,2,29\r\nMM1B,4.5\r\n";
}

}  // namespace

// ".MAP Calibration" (shown with the O switch's letter M) puts a map file's
// calibration on the open scan, which keeps its file and size; the border,
// given in pixels, becomes the positions brtool finds through the map. A map
// that cannot be fitted changes nothing.
TEST_F(ExportCommands, MapCalibrationGoesOntoTheOpenImage) {
  REQUIRE_PROGRAM("brtool");
  EXPECT_FALSE(Start().MenuItem("ImportMapCalibration")->isVisible());
  TTeskorOptions options;
  options.ShowMapCalibration = true;
  T_Form& f = Start(options);
  EXPECT_TRUE(f.MenuItem("ImportMapCalibration")->isVisible());
  // Nothing open, then a read-only KAP: said before a map file is asked for.
  const std::string kap = chartfix::WriteKapChart(dir_ / "src/CHART.KAP", chartfix::TChartPlan());
  const size_t fileDialogs = dialogs_.requests().size();
  questions_.Clear();
  f.MenuItem("ImportMapCalibration")->trigger();
  EXPECT_EQ(Asked(), std::vector<std::string>{"Open the image the map file belongs to first."});
  dialogs_.Answer(kap);
  f.MenuItem("OpenImage")->trigger();
  Settle();
  ASSERT_TRUE(f.Cal.ReadOnly());
  questions_.Clear();
  f.MenuItem("ImportMapCalibration")->trigger();
  EXPECT_EQ(Asked(), std::vector<std::string>{kReadOnlyCalibration});
  EXPECT_EQ(dialogs_.requests().size(), fileDialogs + 1) << "only the open dialog";

  dialogs_.Answer(dir_ / "src/scan.cal");
  f.MenuItem("OpenImage")->trigger();
  Settle();
  ASSERT_TRUE(f.Cal.IsOpen());
  const RChartInfo before = f.Cal.Info();

  WriteTestFile(dir_ / "src/flat.map", ScanMap(0, 0));  // both points on one pixel
  questions_.Clear();
  dialogs_.Answer(dir_ / "src/flat.map");
  f.MenuItem("ImportMapCalibration")->trigger();
  EXPECT_EQ(Asked(), std::vector<std::string>{"The calibration of flat.map cannot be fitted.\r\n"
                                              "The calibration is unchanged."});
  EXPECT_FALSE(f.Cal.Changed());
  EXPECT_EQ(f.Cal.Info().RefPoints.size(), before.RefPoints.size());
  EXPECT_EQ(f.Cal.Info().Layout.Border, before.Layout.Border);
  EXPECT_EQ(f.Cal.Info().Layout.Name, "Scan");

  const std::string map = dir_ / "src/scan.map";
  WriteTestFile(map, ScanMap(47, 31));
  questions_.Clear();
  dialogs_.Answer(map);
  f.MenuItem("ImportMapCalibration")->trigger();
  EXPECT_TRUE(Asked().empty());
  EXPECT_TRUE(f.Cal.Changed());
  EXPECT_TRUE(f.Cal.FitValid());
  auto check = [&](const RChartInfo& info) {
    EXPECT_EQ(info.Layout.Name, "Harbour");
    EXPECT_EQ(info.Layout.FileName, before.Layout.FileName);
    EXPECT_EQ(info.Width, 48);
    EXPECT_EQ(info.Height, 32);
    ASSERT_EQ(info.RefPoints.size(), 2u);
    EXPECT_NEAR(info.RefPoints[1].Lon * 57.29577951308232, 18.1, 1e-9);
    EXPECT_NEAR(info.RefPoints[1].Lat * 57.29577951308232, 58.9, 1e-9);
    ASSERT_EQ(info.Layout.Border.size(), 4u);
    const int px[4][2] = {{2, 2}, {45, 2}, {45, 29}, {2, 29}};
    for (int i = 0; i < 4; ++i) {
      double lon = 0, lat = 0;
      ASSERT_TRUE(BrtoolChartPoint("pix2geo", map, px[i][0], px[i][1], lon, lat));
      EXPECT_NEAR(info.Layout.Border[i].X * 57.29577951308232, lon, 1e-7) << i;
      EXPECT_NEAR(info.Layout.Border[i].Y * 57.29577951308232, lat, 1e-7) << i;
    }
  };
  check(f.Cal.Info());
  // Saved to the scan's ".CAL" and read back the same.
  f.MenuItem("SaveCalibration")->trigger();
  Settle();
  EXPECT_FALSE(f.Cal.Changed());
  f.Cal.Close();
  dialogs_.Answer(dir_ / "src/scan.cal");
  f.MenuItem("OpenImage")->trigger();
  Settle();
  check(f.Cal.Info());
}
