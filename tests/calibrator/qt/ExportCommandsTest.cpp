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
  EXPECT_FALSE(f.BatchRunning());
}

}  // namespace
