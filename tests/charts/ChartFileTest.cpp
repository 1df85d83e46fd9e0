// Calibration files (".CAL", "CHARTCAL.DIR") and how the chart file reader
// finds a chart and its calibration.
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "KapWriter.h"
#include "TestSupport.h"
#include "charts/ChartFile.h"
#include "charts/ChartInfo.h"
#include "charts/HeaderText.h"
#include "charts/ImageChart.h"
#include "foundation/Types.h"

namespace {

const char* kThreeSections =
    "[ONE.BMP]\r\nNA=One\r\nBC=0\r\n\r\n"
    "[Two.png]\r\nNA=Two\r\nSC=5000\r\n\r\n"
    "[THREE.GIF]\r\nNA=Three\r\n\r\n";

TEST(ChartCalDir, Sections) {
  TTempDir dir;
  const std::string file = dir / "CHARTCAL.DIR";
  WriteTestFile(file, kThreeSections);
  EXPECT_EQ(TChartHeadExternalCodec::ListSections(file), (std::vector<std::string>{"ONE.BMP", "Two.png", "THREE.GIF"}));

  TChartHeadExternalCodec c;
  ASSERT_TRUE(c.ReadSection(file, "two.PNG"));
  EXPECT_EQ(c.Lines, (std::vector<std::string>{"NA=Two", "SC=5000"}));
  EXPECT_FALSE(c.ReadSection(file, "FOUR.BMP"));
  EXPECT_TRUE(c.Lines.empty());
  EXPECT_FALSE(c.ReadSection(dir / "nothing.dir", "ONE.BMP"));

  // Writing a section that exists moves it to the end, in the caller's
  // case; the others stay as they were, byte for byte.
  c.Lines = {"NA=Two again", "SC=6000"};
  ASSERT_TRUE(c.WriteSection(file, "two.png"));
  EXPECT_EQ(ReadTestFile(file),
            "[ONE.BMP]\r\nNA=One\r\nBC=0\r\n\r\n[THREE.GIF]\r\nNA=Three\r\n\r\n[two.png]\r\nNA=Two again\r\nSC=6000\r\n\r\n");
  // Reading and writing again neither grows nor changes the file.
  const std::string before = ReadTestFile(file);
  ASSERT_TRUE(c.ReadSection(file, "TWO.PNG"));
  ASSERT_TRUE(c.WriteSection(file, "two.png"));
  EXPECT_EQ(ReadTestFile(file), before);

  ASSERT_TRUE(c.DeleteSection(file, "ONE.BMP"));
  EXPECT_EQ(ReadTestFile(file), "[THREE.GIF]\r\nNA=Three\r\n\r\n[two.png]\r\nNA=Two again\r\nSC=6000\r\n\r\n");
  EXPECT_TRUE(c.DeleteSection(file, "ONE.BMP"));  // nothing to remove
  EXPECT_FALSE(c.DeleteSection(dir / "nothing.dir", "ONE.BMP"));

  // A name listed twice (a file edited by hand): both go, so the new
  // section is the one read.
  WriteTestFile(file, "[A.BMP]\r\nNA=old 1\r\n\r\n[B.BMP]\r\nNA=b\r\n\r\n[a.bmp]\r\nNA=old 2\r\n\r\n");
  c.Lines = {"NA=new"};
  ASSERT_TRUE(c.WriteSection(file, "A.BMP"));
  ASSERT_TRUE(c.ReadSection(file, "a.bmp"));
  EXPECT_EQ(c.Lines, (std::vector<std::string>{"NA=new"}));
  EXPECT_EQ(TChartHeadExternalCodec::ListSections(file), (std::vector<std::string>{"B.BMP", "A.BMP"}));

  // A new file; lines that are not sections before the first one.
  const std::string fresh = dir / "fresh.dir";
  c.Lines = {"NA=x"};
  ASSERT_TRUE(c.WriteSection(fresh, "X.PNG"));
  EXPECT_EQ(ReadTestFile(fresh), "[X.PNG]\r\nNA=x\r\n\r\n");
  EXPECT_EQ(TChartHeadExternalCodec::ListSectionsIn({"junk", "[]", "[ab", "[x]y", "[", "[Q]"}),
            (std::vector<std::string>{"x", "Q"}));
}

TEST(ChartCalDir, FilesAreWrittenAtomicallyInTheirEncoding) {
  TTempDir dir;
  const std::string cal = dir / "MAP.CAL";
  WriteTestFile(cal, "NA=G\xF6teborg\r\nSC=10000\r\n");  // Windows-1252
  TChartHeadBaseCodec c;
  ASSERT_TRUE(c.LoadFromFile(cal));
  EXPECT_EQ(c.GetValue("NA="), "G\xC3\xB6teborg");  // UTF-8 inside
  c.PutValue("NU=", "\xC3\x85" "1");
  ASSERT_TRUE(c.SaveToFile(cal));
  EXPECT_EQ(ReadTestFile(cal), "NA=G\xF6teborg\r\nSC=10000\r\nNU=\xC5" "1\r\n");
  // A write that cannot happen leaves the old file whole.
  chmod(dir.path().c_str(), 0500);
  c.PutValue("NA=", "lost");
  std::string error;
  if (::geteuid() != 0) {
    EXPECT_FALSE(c.SaveToFile(cal, &error));
    EXPECT_FALSE(error.empty());
    EXPECT_EQ(ReadTestFile(cal), "NA=G\xF6teborg\r\nSC=10000\r\nNU=\xC5" "1\r\n");
  }
  chmod(dir.path().c_str(), 0700);
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1);
}

// A small calibrated header.
std::string CalText(const std::string& fileName, const std::string& name) {
  return "NA=" + name + "\r\nFN=" + fileName +
         "\r\nSC=20000\r\nBC=3\r\nB1=59,18\r\nB2=59,18.1\r\nB3=58.9,18.1\r\nCC=2\r\n"
         "C1=0,0,59,18\r\nC2=9,7,58.9,18.1\r\nPR=1\r\n";
}

std::string PngBytes(int w, int h, uint8_t index) {
  TChartImage img;
  img.Allocate(TImageFormat::Indexed8, w, h, 1 << 20);
  img.Palette = {MakeRgb(0, 0, 0), MakeRgb(200, 100, 0)};
  std::fill(img.Pixels.begin(), img.Pixels.end(), index);
  std::string out;
  EncodePNG(img, out);
  return out;
}

TEST(ChartFile, FindsChartsAndTheirCalibrations) {
  TTempDir dir;
  const std::string charts = dir / "charts";
  const std::string other = dir / "other";
  std::filesystem::create_directories(charts);
  std::filesystem::create_directories(other);
  WriteTestFile(charts + "/harbour.png", PngBytes(10, 8, 1));
  WriteTestFile(charts + "/HARBOUR.CAL", CalText("HARBOUR.PNG", "From the CAL file"));
  WriteTestFile(charts + "/bay.gif", "GIF89a");
  WriteTestFile(charts + "/chartcal.dir", "[HARBOUR.PNG]\r\n" + CalText("", "From the section") + "\r\n[BAY.GIF]\r\n" +
                                              CalText("", "Bay") + "\r\n");
  WriteTestFile(charts + "/scan.jpg", "jpeg");
  WriteTestFile(charts + "/scan.cal", CalText("D:\\Scans\\SCAN.JPG", "Scan"));
  WriteTestFile(charts + "/broken.cal", CalText("nowhere.png", "Broken"));
  WriteTestFile(charts + "/noext", "x");
  WriteTestFile(other + "/Deep.KAP", "not read here");

  TChartHeadExternalCodec codec;
  TChartFile f(codec);
  f.SearchPath = charts + " ; " + other;
  RChartInfo info;

  struct Case {
    std::string name;
    bool result;
    bool found;
    int calSource;
    int typeIndex;
    const char* chartName;  // nullptr: record not filled
  } cases[] = {
      // Both a ".CAL" file and a section: the ".CAL" file wins.
      {"harbour.png", true, true, kCalOwnFile, kTypePNG, "From the CAL file"},
      {charts + "/HARBOUR.PNG", true, true, kCalOwnFile, kTypePNG, "From the CAL file"},
      {"C:\\Charts\\Harbour.png", true, true, kCalOwnFile, kTypePNG, "From the CAL file"},
      {"BAY.GIF", true, true, kCalSection, kTypeGIF, "Bay"},
      // A JPEG is reached through its ".CAL" file; directly it is no chart.
      {"scan.cal", true, true, kCalOwnFile, -1, "Scan"},
      {"scan.jpg", false, false, kCalNone, -1, nullptr},
      {"broken.cal", false, false, kCalOwnFile, kTypeCAL, nullptr},
      {"noext", false, false, kCalNone, -1, nullptr},
      {"missing.png", false, false, kCalNone, -1, nullptr},
      {"deep.kap", false, true, kCalBuiltIn, kTypeKAP, nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TChartHeadBaseCodec::ClearInfo(info);
    EXPECT_EQ(f.ReadHeader(c.name, info), c.result);
    EXPECT_EQ(f.FileFound(), c.found);
    EXPECT_EQ(f.CalSource(), c.calSource);
    EXPECT_EQ(f.TypeIndex(), c.typeIndex);
    if (c.chartName) {
      EXPECT_EQ(info.Layout.Name, c.chartName);
      EXPECT_EQ(info.RefCount, 2);
    }
  }
  EXPECT_TRUE(f.ReadHeader("BAY.GIF", info) && f.HeaderLoaded());
  EXPECT_EQ(f.FileName(), charts + "/bay.gif");
  EXPECT_EQ(f.CalDirFileName(), charts + "/chartcal.dir");
  EXPECT_EQ(info.Layout.FileName, "bay.gif");  // the section has no FN=
  f.ReadHeader("deep.kap", info);
  EXPECT_TRUE(f.RasterChart());
  EXPECT_EQ(f.FileName(), other + "/Deep.KAP");
  EXPECT_EQ(f.CalDirFileName(), "");  // its calibration is inside it
  f.ReadHeader("scan.cal", info);
  EXPECT_EQ(f.FileName(), charts + "/scan.jpg");

  // An image without any calibration: the calibration tool still gets a
  // cleared record.
  WriteTestFile(other + "/plain.bmp", "BM");
  info.Layout.Name = "stale";
  EXPECT_FALSE(f.ReadHeader("plain.bmp", info));
  EXPECT_EQ(info.Layout.Name, "stale");
  f.AlwaysBuildInfo = true;
  EXPECT_FALSE(f.ReadHeader("plain.bmp", info));
  EXPECT_EQ(info.Layout.Name, "");
  EXPECT_EQ(f.CalSource(), kCalNone);
}

TEST(ChartFile, LoadsImages) {
  TTempDir dir;
  WriteTestFile(dir / "harbour.png", PngBytes(10, 8, 1));
  WriteTestFile(dir / "HARBOUR.CAL", CalText("HARBOUR.PNG", "H"));
  WriteTestFile(dir / "scan.jpg", "jpeg");
  WriteTestFile(dir / "scan.cal", CalText("SCAN.JPG", "S"));
  WriteTestFile(dir / "bad.png", "\x89PNG\r\n\x1a\nbroken");
  WriteTestFile(dir / "bad.cal", CalText("bad.png", "B"));

  TChartHeadExternalCodec codec;
  TChartFile f(codec);
  f.SearchPath = dir.path();
  RChartInfo info;
  ASSERT_TRUE(f.LoadImage("harbour.png", info));
  EXPECT_TRUE(f.ImageLoaded());
  EXPECT_EQ(f.Image().Width, 10);
  EXPECT_EQ(f.Image().PixelRgb(3, 3), MakeRgb(200, 100, 0));
  EXPECT_EQ(info.Layout.Name, "H");

  EXPECT_FALSE(f.LoadImage("bad.png", info));
  EXPECT_FALSE(f.ImageLoaded());
  EXPECT_TRUE(f.Image().Empty());
  EXPECT_FALSE(f.LastError().empty());

  // Other image types need the calibration tool's loaders.
  EXPECT_FALSE(f.LoadImage("scan.cal", info));
  f.OtherImageLoader = [](const std::string& path, TChartImage& image, std::string*) {
    return path.size() > 4 && path.substr(path.size() - 4) == ".jpg" &&
           image.Allocate(TImageFormat::Rgb32, 3, 2, 100);
  };
  EXPECT_TRUE(f.LoadImage("scan.cal", info));
  EXPECT_EQ(f.Image().Width, 3);

  // An image without a calibration: its picture, but no chart; with a
  // record built for it (the calibration tool), a chart to calibrate.
  WriteTestFile(dir / "plain.png", PngBytes(6, 4, 1));
  EXPECT_FALSE(f.LoadImage("plain.png", info));
  EXPECT_TRUE(f.ImageLoaded());
  EXPECT_EQ(f.Image().Width, 6);
  EXPECT_NE(f.LastError().find("no calibration"), std::string::npos) << f.LastError();
  f.AlwaysBuildInfo = true;
  EXPECT_TRUE(f.LoadImage("plain.png", info));
  f.AlwaysBuildInfo = false;
  f.Reset();
  EXPECT_TRUE(f.Image().Empty());
  EXPECT_FALSE(f.ImageLoaded());
  EXPECT_FALSE(f.HeaderLoaded());
}

}  // namespace
