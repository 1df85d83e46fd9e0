// brtool with JPEG and TIFF scans: "wci write" looks their calibration up
// and reduces their colours; "chart cal" calibrates an export of a chart.
#include <gtest/gtest.h>

#include <sstream>

#include "JpegTiffFixtures.h"
#include "KapWriter.h"
#include "TestSupport.h"

namespace {

std::string CalText(const std::string& fileName, int w, int h) {
  return "NA=Scan\r\nFN=" + fileName + "\r\nWI=" + std::to_string(w) + "\r\nHE=" + std::to_string(h) +
         "\r\nSC=20000\r\nBC=3\r\nB1=59,18\r\nB2=59,18.1\r\nB3=58.9,18.1\r\nCC=2\r\n"
         "C1=0,0,59,18\r\nC2=30,20,58.9,18.1\r\nPR=1\r\n";
}

// "brtool chart info" without the lines naming the file or its format.
std::string Calibration(const std::string& file) {
  const TProgramRun r = Brtool("chart info '" + file + "'");
  if (r.status != 0) return "(brtool failed on " + file + ")";
  std::istringstream in(r.out);
  std::string line, out;
  while (std::getline(in, line)) {
    bool keep = true;
    for (const char* skip : {"\"file\"", "\"kind\"", "\"fileName\"", "\"damage\"", "\"version\""})
      keep = keep && line.find(skip) == std::string::npos;
    if (keep) out += line + "\n";
  }
  return out;
}

}  // namespace

TEST(BrtoolJpegTiff, WciWriteTakesScansWithTheirCalibration) {
  REQUIRE_PROGRAM("brtool");
  TTempDir dir;
  WriteTestFile(dir / "scan.jpg", jtfix::JpegBytes(48, 32, jtfix::Gradient));
  WriteTestFile(dir / "CHARTCAL.DIR", "[SCAN.JPG]\r\n" + CalText("SCAN.JPG", 48, 32) + "\r\n");
  ASSERT_TRUE(jtfix::WriteTiff(dir / "sheet.tiff", 48, 32, jtfix::Blocks));
  WriteTestFile(dir / "sheet.cal", CalText("sheet.tiff", 48, 32));
  WriteTestFile(dir / "bare.jpg", jtfix::JpegBytes(8, 8, jtfix::Blocks));

  TProgramRun r = Brtool("wci write '" + dir / "scan.jpg" + "' '" + dir / "scan.wci" + "'");
  ASSERT_EQ(r.status, 0);
  EXPECT_NE(r.out.find("colours reduced to"), std::string::npos) << r.out;
  EXPECT_EQ(Calibration(dir / "scan.wci"), Calibration(dir / "scan.jpg"));
  r = Brtool("wci write '" + dir / "sheet.tiff" + "' '" + dir / "sheet.wci" + "'");
  ASSERT_EQ(r.status, 0);
  EXPECT_EQ(r.out.find("colours reduced"), std::string::npos) << r.out;  // five colours: kept
  EXPECT_EQ(Calibration(dir / "sheet.wci"), Calibration(dir / "sheet.cal"));
  // No calibration: refused, nothing written.
  EXPECT_EQ(Brtool("wci write '" + dir / "bare.jpg" + "' '" + dir / "bare.wci" + "'").status, 1);
  EXPECT_FALSE(TestFileExists(dir / "bare.wci"));
}

TEST(BrtoolJpegTiff, ChartCalCalibratesAnExportOfAChart) {
  REQUIRE_PROGRAM("brtool");
  TTempDir dir;
  TKapImage kap;
  kap.Width = 40;
  kap.Height = 30;
  kap.Rows = RandomKapImage(40, 30, 4, 3);
  WriteTestFile(dir / "coast.kap", WriteKap(kap));
  ASSERT_EQ(Brtool("chart decode '" + dir / "coast.kap" + "' '" + dir / "coast.png" + "' --png").status, 0);
  ASSERT_EQ(Brtool("chart cal '" + dir / "coast.kap" + "' '" + dir / "coast.cal" + "' --image coast.png").status, 0);
  EXPECT_NE(ReadTestFile(dir / "coast.cal").find("FN=coast.png"), std::string::npos);
  EXPECT_EQ(Calibration(dir / "coast.png"), Calibration(dir / "coast.kap"));
  // A name with a directory is refused.
  EXPECT_EQ(Brtool("chart cal '" + dir / "coast.kap" + "' '" + dir / "x.cal" + "' --image a/b.png").status, 2);
  EXPECT_FALSE(TestFileExists(dir / "x.cal"));
}
