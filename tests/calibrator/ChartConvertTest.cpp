#include "calibrator/export/core/ChartConvert.h"

#include <gif_lib.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <sstream>

#include "TestSupport.h"
#include "charts/JpegTiffFixtures.h"
#include "charts/KapWriter.h"
#include "charts/WciTestUtil.h"
#include "charts/ChartFile.h"
#include "charts/FileNames.h"
#include "charts/GmbImage.h"
#include "charts/KAPctrl.h"
#include "charts/WCIctrl.h"

namespace {

std::string CalText(const std::string& fileName, const std::string& name, int w, int h) {
  return "NA=" + name + "\r\nFN=" + fileName + "\r\nWI=" + std::to_string(w) + "\r\nHE=" + std::to_string(h) +
         "\r\nSC=20000\r\nBC=3\r\nB1=59,18\r\nB2=59,18.1\r\nB3=58.9,18.1\r\nCC=2\r\n"
         "C1=0,0,59,18\r\nC2=" + std::to_string(w - 1) + "," + std::to_string(h - 1) + ",58.9,18.1\r\nPR=1\r\n";
}

int GifWrite(GifFileType* g, const GifByteType* b, int n) {
  static_cast<std::string*>(g->UserData)->append(reinterpret_cast<const char*>(b), static_cast<size_t>(n));
  return n;
}

// A GIF of the Blocks picture's five colours.
std::string GifBytes(int w, int h) {
  std::string out;
  int err = 0;
  GifFileType* g = EGifOpen(&out, GifWrite, &err);
  GifColorType colours[8] = {{255, 255, 255}, {250, 230, 150}, {150, 200, 240}, {20, 20, 20}, {200, 40, 40}};
  ColorMapObject* map = GifMakeMapObject(8, colours);
  EGifPutScreenDesc(g, w, h, 8, 0, map);
  EGifPutImageDesc(g, 0, 0, w, h, false, nullptr);
  std::vector<GifPixelType> row(static_cast<size_t>(w));
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) row[x] = static_cast<GifPixelType>(((x / 8) + (y / 8) * 3) % 5);
    EGifPutLine(g, row.data(), w);
  }
  EGifCloseFile(g, &err);
  GifFreeMapObject(map);
  return out;
}

std::vector<uint8_t> BlockIndexes(int w, int h) {
  std::vector<uint8_t> px(static_cast<size_t>(w) * h);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) px[y * w + x] = static_cast<uint8_t>(((x / 8) + (y / 8) * 3) % 5);
  return px;
}
const std::vector<TRgb> kBlockPalette = {MakeRgb(255, 255, 255), MakeRgb(250, 230, 150), MakeRgb(150, 200, 240),
                                         MakeRgb(20, 20, 20), MakeRgb(200, 40, 40)};

// Every pixel of a WCI file as colours.
std::vector<TRgb> WciColours(const std::string& file, int& w, int& h) {
  TWCIDecoder d;
  if (d.Open(file) <= 0) return {};
  TColourTable table{};
  d.FillColourTable(table);
  w = d.SourceWidth();
  h = d.SourceHeight();
  const std::vector<uint8_t> idx = wcitest::DecodeAll(d);
  std::vector<TRgb> out;
  for (uint8_t i : idx) out.push_back(table[i] | 0xFF000000u);
  return out;
}

// Every pixel of a source as colours.
std::vector<TRgb> SourceColours(const std::string& file) {
  const std::string ext = UpperExtension(file);
  std::vector<TRgb> out;
  if (ext == ".KAP") {
    TKAPDecoder d;
    if (d.Open(file) < 0) return {};
    TColourTable table{};
    d.FillColourTable(table);
    for (uint8_t i : wcitest::DecodeAll(d)) out.push_back(table[i] | 0xFF000000u);
    return out;
  }
  TChartImage im;
  if (!LoadImageFile(file, ext, im)) return {};
  for (int y = 0; y < im.Height; ++y)
    for (int x = 0; x < im.Width; ++x) out.push_back(im.PixelRgb(x, y) | 0xFF000000u);
  return out;
}

int MaxDiff(const std::vector<TRgb>& a, const std::vector<TRgb>& b) {
  if (a.size() != b.size() || a.empty()) return 9999;
  int worst = 0;
  for (size_t i = 0; i < a.size(); ++i)
    worst = std::max({worst, std::abs(int(RgbRed(a[i])) - RgbRed(b[i])), std::abs(int(RgbGreen(a[i])) - RgbGreen(b[i])),
                      std::abs(int(RgbBlue(a[i])) - RgbBlue(b[i]))});
  return worst;
}

// "brtool chart info" without the lines that name the file itself or its
// format (a KAP file's BSB version is no part of the calibration).
std::string CalibrationOf(const std::string& file) {
  const TProgramRun r = Brtool("chart info '" + file + "'");
  if (r.status != 0) return "(brtool failed on " + file + ")";
  std::istringstream in(r.out);
  std::string line, out;
  while (std::getline(in, line))
    if (line.find("\"file\"") == std::string::npos && line.find("\"kind\"") == std::string::npos &&
        line.find("\"fileName\"") == std::string::npos && line.find("\"damage\"") == std::string::npos &&
        line.find("\"version\"") == std::string::npos)
      out += line + "\n";
  return out;
}

std::vector<std::string> FilesIn(const std::string& dir) {
  std::vector<std::string> out;
  for (const auto& e : std::filesystem::directory_iterator(dir)) out.push_back(e.path().filename().string());
  std::sort(out.begin(), out.end());
  return out;
}

}  // namespace

TEST(ChartConvert, MixedDirectoryConvertsWithCountsProblemsAndCalibrations) {
  REQUIRE_PROGRAM("brtool");
  TTempDir dir;
  const std::string src = dir / "src", dst = dir / "dst";
  std::filesystem::create_directories(src);
  std::filesystem::create_directories(dst);
  const int w = 40, h = 30;
  // Calibrated: PNG (.CAL), GIF (section), JPEG (section), TIFF (.CAL), KAP (built in).
  TChartImage png;
  png.Allocate(TImageFormat::Indexed8, w, h, 1 << 20);
  png.Palette = kBlockPalette;
  png.Pixels = BlockIndexes(w, h);
  std::string pngBytes;
  ASSERT_TRUE(EncodePNG(png, pngBytes));
  WriteTestFile(src + "/harbour.png", pngBytes);
  WriteTestFile(src + "/HARBOUR.CAL", CalText("HARBOUR.PNG", "Harbour", w, h));
  WriteTestFile(src + "/bay.gif", GifBytes(w, h));
  WriteTestFile(src + "/scan.jpg", jtfix::JpegBytes(w, h, jtfix::Gradient, 90));
  WriteTestFile(src + "/CHARTCAL.DIR", "[BAY.GIF]\r\n" + CalText("BAY.GIF", "Bay", w, h) + "\r\n[SCAN.JPG]\r\n" +
                                            CalText("SCAN.JPG", "Scan", w, h) + "\r\n");
  ASSERT_TRUE(jtfix::WriteTiff(src + "/sheet.tif", w, h, jtfix::Gradient));
  WriteTestFile(src + "/sheet.cal", CalText("sheet.tif", "Sheet", w, h));
  TKapImage kap;
  kap.Width = w;
  kap.Height = h;
  kap.Depth = 4;
  kap.Rows = RandomKapImage(w, h, 4, 7);
  WriteTestFile(src + "/coast.kap", WriteKap(kap));
  // Uncalibrated BMP; a damaged PNG whose old WCI must survive; a JPEG of
  // the same base name as the PNG; files that are no images.
  WriteTestFile(src + "/plain.bmp", wcitest::MakeBMP(w, h, 8, kBlockPalette, BlockIndexes(w, h)));
  WriteTestFile(src + "/broken.png", "\x89PNG\r\n\x1a\nbroken");
  WriteTestFile(src + "/harbour.jpg", jtfix::JpegBytes(w, h, jtfix::Blocks));
  WriteTestFile(src + "/notes.txt", "text");
  WriteTestFile(src + "/README", "no extension");
  WriteTestFile(src + "/odd.pn", "partial extension");
  WriteTestFile(dst + "/broken.WCI", "the old file");

  std::vector<std::string> progress;
  TConvertSettings settings;
  settings.Progress = [&](const std::string& text, int, int max) {
    if (max == 0) progress.push_back(text);
    return true;
  };
  const TBatchSummary s = ConvertImageDirectory(src, dst, true, true, settings);
  EXPECT_FALSE(s.Cancelled);
  EXPECT_EQ(s.Scanned, 8);
  EXPECT_EQ(s.Converted, 6);
  EXPECT_EQ(s.WithoutCalibration, 1);
  EXPECT_EQ(s.Report(),
            "--- WCI CONVERT RESULT ---\r\nTotal Files Scanned: 8\r\nTotal Files Converted: 6\r\n"
            "Files with calibration: 5\r\nFiles without calibration: 1");
  ASSERT_EQ(s.Problems.size(), 2u) << ::testing::PrintToString(s.Problems);
  EXPECT_EQ(s.Problems[0].rfind("Could not open image broken.png.", 0), 0u) << s.Problems[0];
  EXPECT_EQ(s.Problems[1], "Name collision: harbour.png and harbour.jpg both make harbour.WCI; harbour.png not converted");
  EXPECT_EQ(progress.front(), "Converting bay.gif. Done: 0");
  EXPECT_EQ(ReadTestFile(dst + "/broken.WCI"), "the old file");
  EXPECT_EQ(FilesIn(dst), (std::vector<std::string>{"bay.WCI", "broken.WCI", "coast.WCI", "harbour.WCI", "plain.WCI",
                                                     "scan.WCI", "sheet.WCI"}));

  // Colours: palette sources exactly, JPEG and TIFF within the error reported.
  std::map<std::string, int> reported;
  for (const auto& [name, stats] : s.Colours) reported[name] = stats.MaxError;
  ASSERT_TRUE(reported.count("scan.jpg") && reported.count("sheet.tif"));
  struct Case {
    const char* source;
    const char* wci;
    int tolerance;
    const char* calibration;  // the file brtool reads the source's calibration from
  } cases[] = {
      {"harbour.jpg", "harbour.WCI", 0, nullptr},  // the first of the two: Blocks has 5 colours, kept exactly
      {"bay.gif", "bay.WCI", 0, "bay.gif"},
      {"plain.bmp", "plain.WCI", 0, nullptr},
      {"coast.kap", "coast.WCI", 0, "coast.kap"},
      {"scan.jpg", "scan.WCI", reported["scan.jpg"], "scan.jpg"},
      {"sheet.tif", "sheet.WCI", reported["sheet.tif"], "sheet.cal"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.source);
    int ww = 0, hh = 0;
    const std::vector<TRgb> got = WciColours(dst + "/" + c.wci, ww, hh);
    EXPECT_EQ(ww, w);
    EXPECT_EQ(hh, h);
    EXPECT_LE(MaxDiff(got, SourceColours(src + "/" + c.source)), c.tolerance);
    if (c.calibration) {
      EXPECT_EQ(CalibrationOf(dst + "/" + c.wci), CalibrationOf(src + "/" + c.calibration));
    }
  }
  EXPECT_GT(reported["sheet.tif"], 0);  // the gradient has more than 256 colours
  // A name-less source gets its WCI file's base name.
  TChartHeadBaseCodec codec;
  TWCIDecoder d;
  ASSERT_GT(d.Open(dst + "/plain.WCI"), 0);
  codec.LoadFromText(d.HeaderText());
  EXPECT_EQ(codec.GetValue("NA="), "plain");
  EXPECT_EQ(codec.GetValue("FN="), "plain.WCI");
}

TEST(ChartConvert, OverwriteAndUncalibratedAnswers) {
  TTempDir dir;
  const std::string src = dir / "src", dst = dir / "dst";
  std::filesystem::create_directories(src);
  std::filesystem::create_directories(dst);
  TChartImage png;
  png.Allocate(TImageFormat::Indexed8, 16, 16, 1 << 20);
  png.Palette = kBlockPalette;
  png.Pixels = BlockIndexes(16, 16);
  std::string pngBytes;
  ASSERT_TRUE(EncodePNG(png, pngBytes));
  WriteTestFile(src + "/a.png", pngBytes);
  WriteTestFile(src + "/a.cal", CalText("a.png", "A", 16, 16));
  WriteTestFile(src + "/b.jpg", jtfix::JpegBytes(16, 16, jtfix::Gradient));
  // A calibration whose size no longer matches the image.
  WriteTestFile(src + "/c.png", pngBytes);
  WriteTestFile(src + "/c.cal", CalText("c.png", "C", 20, 16));
  WriteTestFile(dst + "/a.WCI", "old");

  TConvertSettings settings;
  struct Case {
    bool overwrite, uncalibrated;
    int converted, without;
    bool aReplaced, bWritten;
  } cases[] = {
      {false, false, 0, 0, false, false},
      {false, true, 1, 1, false, true},
      {true, false, 1, 0, true, false},
      {true, true, 2, 1, true, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.overwrite) + std::to_string(c.uncalibrated));
    WriteTestFile(dst + "/a.WCI", "old");
    std::filesystem::remove(dst + "/b.WCI");
    const TBatchSummary s = ConvertImageDirectory(src, dst, c.overwrite, c.uncalibrated, settings);
    EXPECT_EQ(s.Scanned, 3);
    EXPECT_EQ(s.Converted, c.converted);
    EXPECT_EQ(s.WithoutCalibration, c.without);
    EXPECT_EQ(ReadTestFile(dst + "/a.WCI") != "old", c.aReplaced);
    EXPECT_EQ(TestFileExists(dst + "/b.WCI"), c.bWritten);
    EXPECT_FALSE(TestFileExists(dst + "/c.WCI"));
    ASSERT_EQ(s.Problems.size(), 1u);
    EXPECT_EQ(s.Problems[0], "Image Size have changed on c.png. Calibrations may not be valid! Not Converted.");
  }
  // Nothing but the targets is left in the target directory.
  EXPECT_EQ(FilesIn(dst), (std::vector<std::string>{"a.WCI", "b.WCI"}));
}

TEST(ChartConvert, CancelAndKillLeaveTheOldFileOrNone) {
  TTempDir dir;
  const int w = 300, h = 200;
  ASSERT_TRUE(jtfix::WriteTiff(dir / "big.tif", w, h, jtfix::Gradient));
  WriteTestFile(dir / "big.cal", CalText("big.tif", "Big", w, h));
  for (bool oldFile : {true, false}) {
    SCOPED_TRACE(oldFile ? "old file" : "no old file");
    const std::string target = dir / (oldFile ? "old.WCI" : "new.WCI");
    if (oldFile) WriteTestFile(target, "the old chart");
    // Cancelled from the progress report while the rows are written.
    TConvertSettings cancel;
    cancel.Progress = [&](const std::string& caption, int position, int max) {
      return !(caption == "Saving" && position > max * 3 / 4);
    };
    const TConvertOutcome r = ConvertImageToWCI(dir / "big.tif", target, true, false, cancel);
    EXPECT_TRUE(r.Cancelled);
    EXPECT_EQ(r.Result, kConvertNotWritten);
    EXPECT_EQ(r.Problem, "Convert cancelled: big.tif");
    EXPECT_EQ(TestFileExists(target), oldFile);
    if (oldFile) {
      EXPECT_EQ(ReadTestFile(target), "the old chart");
    }

    // Killed outright in the middle of the rows (a child process).
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      TConvertSettings die;
      die.Progress = [](const std::string& caption, int position, int max) {
        if (caption == "Saving" && position > max * 3 / 4) ::kill(::getpid(), SIGKILL);
        return true;
      };
      ConvertImageToWCI(dir / "big.tif", target, true, false, die);
      ::_exit(0);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL);
    EXPECT_EQ(TestFileExists(target), oldFile);
    if (oldFile) {
      EXPECT_EQ(ReadTestFile(target), "the old chart");
    }
  }
  // And a conversion that runs through replaces it with a whole chart.
  const TConvertOutcome r = ConvertImageToWCI(dir / "big.tif", dir / "old.WCI", true, false, {});
  EXPECT_EQ(r.Result, kConvertCalibrated);
  int ww = 0, hh = 0;
  EXPECT_LE(MaxDiff(WciColours(dir / "old.WCI", ww, hh), SourceColours(dir / "big.tif")), r.Colours.MaxError);
}

TEST(ChartConvert, TooLargeImagesAreRefusedBeforeConverting) {
  TTempDir dir;
  // A PNG one pixel wider than a WCI file can hold (one row, one colour).
  TChartImage png;
  png.Allocate(TImageFormat::Indexed8, kMaxWCISide + 1, 1, 1 << 20);
  png.Palette = {MakeRgb(1, 2, 3)};
  std::string bytes;
  ASSERT_TRUE(EncodePNG(png, bytes));
  WriteTestFile(dir / "wide.png", bytes);
  const TConvertOutcome r = ConvertImageToWCI(dir / "wide.png", dir / "wide.WCI", true, true, {});
  EXPECT_EQ(r.Result, kConvertNotWritten);
  EXPECT_EQ(r.Problem, "Image too large for WCI: wide.png");
  EXPECT_FALSE(TestFileExists(dir / "wide.WCI"));
}

TEST(ChartConvert, WciToBmpWritesTheBmpAndItsSection) {
  REQUIRE_PROGRAM("brtool");
  TTempDir dir;
  WriteTestFile(dir / "chart.png", [] {
    TChartImage png;
    png.Allocate(TImageFormat::Indexed8, 24, 16, 1 << 20);
    png.Palette = kBlockPalette;
    png.Pixels = BlockIndexes(24, 16);
    std::string b;
    EncodePNG(png, b);
    return b;
  }());
  WriteTestFile(dir / "chart.cal", CalText("chart.png", "Chart", 24, 16));
  ASSERT_EQ(ConvertImageToWCI(dir / "chart.png", dir / "CHART.WCI", true, false, {}).Result, kConvertCalibrated);
  std::filesystem::create_directories(dir / "out");
  std::string error;
  ASSERT_TRUE(ExportWCIToBMP(dir / "CHART.WCI", dir / "out/CHART.BMP", error)) << error;
  TChartHeadExternalCodec codec;
  ASSERT_TRUE(codec.ReadSection(dir / "out/CHARTCAL.DIR", "CHART.BMP"));
  EXPECT_EQ(codec.GetValue("FN="), "CHART.BMP");
  EXPECT_EQ(MaxDiff(SourceColours(dir / "out/CHART.BMP"), SourceColours(dir / "chart.png")), 0);
  EXPECT_EQ(CalibrationOf(dir / "out/CHART.BMP"), CalibrationOf(dir / "chart.png"));

  // A failed export writes no section.
  EXPECT_FALSE(ExportWCIToBMP(dir / "chart.png", dir / "out/BAD.BMP", error));
  EXPECT_FALSE(codec.ReadSection(dir / "out/CHARTCAL.DIR", "BAD.BMP"));
  EXPECT_FALSE(TestFileExists(dir / "out/BAD.BMP"));
}

namespace {

std::string MapText(const std::string& image, int p2x, int p2y) {
  return "OziExplorer Map Data File Version 2.2\r\nHarbour\r\n" + image +
         "\r\n1 ,Map Code,\r\nWGS 84,WGS 84,   0.0000,   0.0000,WGS 84\r\nReserved 1\r\n"
         "Magnetic Variation,,,E\r\nMap Projection,Mercator,PolyCal,No,AutoCalOnly,No,BSBUseWPX,No\r\n"
         "Point01,xy,    0,    0,in, deg,  59, 0.0000,N,  18, 0.0000,E, grid,   ,           ,           ,N\r\n"
         "Point02,xy, " + std::to_string(p2x) + ", " + std::to_string(p2y) +
         ",in, deg,  58, 54.0000,N,  18, 6.0000,E, grid,   ,           ,           ,N\r\n"
         "MM0,Yes\r\nMMPNUM,4\r\nMMPXY,1,2,2\r\nMMPXY,2,37,2\r\nMMPXY,3,37,27\r\nMMPXY,4,2,27\r\nMM1B,4.5\r\n";
}

}  // namespace

TEST(ChartConvert, MapDirectoryToWci) {
  REQUIRE_PROGRAM("brtool");
  TTempDir dir;
  const std::string src = dir / "src", dst = dir / "dst";
  std::filesystem::create_directories(src);
  std::filesystem::create_directories(dst);
  WriteTestFile(src + "/HARBOUR.JPG", jtfix::JpegBytes(40, 30, jtfix::Gradient));
  // The image named with a Windows path: found beside the map, case ignored.
  WriteTestFile(src + "/harbour.map", MapText("C:\\Maps\\harbour.jpg", 39, 29));
  WriteTestFile(src + "/lost.map", MapText("C:\\Maps\\lost.png", 39, 29));
  WriteTestFile(dst + "/lost.WCI", "the old chart");
  // Both points on one pixel: no fit, nothing written.
  WriteTestFile(src + "/flat.map", MapText("HARBOUR.JPG", 0, 0));

  const TBatchSummary s = ConvertMapDirectory(src, dst, {});
  EXPECT_EQ(s.Converted, 1);
  EXPECT_EQ(s.MapReport(), "--- MAP CONVERT RESULT ---\r\nMAP files Converted: 1");
  EXPECT_EQ(s.Problems, (std::vector<std::string>{"The calibration of flat.map cannot be fitted.",
                                                  "The image of lost.map was not found."}));
  EXPECT_EQ(ReadTestFile(dst + "/lost.WCI"), "the old chart");
  EXPECT_FALSE(TestFileExists(dst + "/flat.WCI"));

  // The border, given in pixels, is stored as the positions of those pixels
  // (WGS 84 here) as brtool finds them through the map file.
  TWCIDecoder d;
  ASSERT_GT(d.Open(dst + "/harbour.WCI"), 0);
  TChartHeadBaseCodec codec;
  codec.LoadFromText(d.HeaderText());
  RChartInfo info;
  ASSERT_TRUE(codec.ReadInfo(info));
  EXPECT_EQ(info.Width, 40);
  EXPECT_EQ(info.Height, 30);
  EXPECT_EQ(info.Layout.Name, "Harbour");
  ASSERT_EQ(info.Layout.Border.size(), 4u);
  const int px[4][2] = {{2, 2}, {37, 2}, {37, 27}, {2, 27}};
  for (int i = 0; i < 4; ++i) {
    double lon = 0, lat = 0;
    ASSERT_TRUE(BrtoolChartPoint("pix2geo", src + "/harbour.map", px[i][0], px[i][1], lon, lat));
    EXPECT_NEAR(info.Layout.Border[i].X * 57.29577951308232, lon, 1e-7) << i;
    EXPECT_NEAR(info.Layout.Border[i].Y * 57.29577951308232, lat, 1e-7) << i;
  }
}

namespace {

// A Genimap file of 8-bit rows, each row one run of colour 1.
std::string GenimapFile(int width, int height) {
  std::string b(kGmbRowTableOffset + 4 * static_cast<size_t>(height), ' ');
  auto field = [&](size_t at, size_t w, long v) {
    char text[32];
    std::snprintf(text, sizeof text, "%*ld", static_cast<int>(w), v);
    b.replace(at, w, text, w);
  };
  field(126, 5, width);
  field(146, 5, height);
  field(176, 3, 2);
  field(196, 4, 200);  // colour 1: red 200
  for (int y = 0; y < height; ++y) {
    const uint32_t at = static_cast<uint32_t>(b.size());
    for (int i = 0; i < 4; ++i) b[kGmbRowTableOffset + 4 * y + i] = static_cast<char>(at >> (8 * i));
    b += std::string{'\x01', static_cast<char>(width)};
  }
  return b;
}

RChartInfo WciRecord(const std::string& file) {
  TWCIDecoder d;
  RChartInfo info;
  TChartHeadBaseCodec::ClearInfo(info);
  if (d.Open(file) <= 0) return info;
  TChartHeadBaseCodec codec;
  codec.LoadFromText(d.HeaderText());
  codec.ReadInfo(info);
  return info;
}

}  // namespace

// Genimap charts: the ".IN8" frame (or "NAME_.IN8") calibrates the WCI; the
// first chart of a command asks its scale, the next take theirs in
// proportion to their latitude span per row; without a frame the chart is
// converted uncalibrated.
TEST(ChartConvertGenimap, TheFrameCalibratesAndTheScaleIsAskedOnce) {
  TTempDir dir;
  WriteTestFile(dir / "A.GMB", GenimapFile(100, 2000));
  WriteTestFile(dir / "A.IN8", ";[NMEARECT]=2200.000,6000.600,2230.000,6000.000\r\n");
  WriteTestFile(dir / "B.GMB", GenimapFile(100, 2000));
  WriteTestFile(dir / "B_.IN8", ";[NMEARECT]=2200.000,6001.200,2230.000,6000.000\r\n");
  WriteTestFile(dir / "C.GMB", GenimapFile(20, 10));
  double ratio = 0;
  std::vector<std::string> asked;
  TConvertSettings s;
  s.GenimapScaleRatio = &ratio;
  s.AskGenimapScale = [&](const std::string& wci) -> std::optional<int64_t> {
    asked.push_back(wci);
    return 40000;
  };
  ASSERT_EQ(ConvertImageToWCI(dir / "A.GMB", dir / "A.WCI", true, true, s).Result, kConvertCalibrated);
  ASSERT_EQ(ConvertImageToWCI(dir / "B.GMB", dir / "B.WCI", true, true, s).Result, kConvertCalibrated);
  EXPECT_EQ(asked, std::vector<std::string>{"A.WCI"});
  const RChartInfo a = WciRecord(dir / "A.WCI"), b = WciRecord(dir / "B.WCI");
  EXPECT_EQ(a.Layout.Scale, 40000);
  EXPECT_EQ(b.Layout.Scale, 80000) << "twice the latitude span over as many rows";
  EXPECT_EQ(a.DatumName, "Finnish Nautical Charts");
  EXPECT_EQ(a.Projection, 1);
  ASSERT_EQ(a.Layout.Border.size(), 4u);
  EXPECT_NEAR(a.Layout.Border[0].X * kRadToDeg, 22.0, 1e-9);
  EXPECT_NEAR(std::max(a.Layout.Border[0].Y, a.Layout.Border[1].Y) * kRadToDeg, 60.01, 1e-9);
  // The picture itself: colour 1 everywhere.
  int w = 0, h = 0;
  const std::vector<TRgb> colours = WciColours(dir / "A.WCI", w, h);
  ASSERT_EQ(w, 100);
  ASSERT_EQ(h, 2000);
  EXPECT_EQ(colours[0], MakeRgb(200, 0, 0));
  // No frame: converted, uncalibrated (or not at all when only calibrated
  // charts are wanted).
  EXPECT_EQ(ConvertImageToWCI(dir / "C.GMB", dir / "C.WCI", true, true, s).Result, kConvertUncalibrated);
  EXPECT_EQ(ConvertImageToWCI(dir / "C.GMB", dir / "C2.WCI", true, false, s).Result, kConvertNotWritten);
}
