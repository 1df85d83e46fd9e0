#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>

#include "charts/ChartFile.h"
#include "charts/FileNames.h"
#include "charts/JpegTiffImage.h"
#include "charts/Quantise.h"
#include "TestSupport.h"
#include "JpegTiffFixtures.h"

namespace {

std::span<const uint8_t> Bytes(const std::string& s) {
  return {reinterpret_cast<const uint8_t*>(s.data()), s.size()};
}


int MaxChannelDiff(TRgb a, TRgb b) {
  return std::max({std::abs(int(RgbRed(a)) - RgbRed(b)), std::abs(int(RgbGreen(a)) - RgbGreen(b)),
                   std::abs(int(RgbBlue(a)) - RgbBlue(b))});
}

std::string CalFor(const std::string& fileName, int w, int h) {
  return "NA=Scan\r\nFN=" + fileName + "\r\nWI=" + std::to_string(w) + "\r\nHE=" + std::to_string(h) +
         "\r\nSC=20000\r\nBC=3\r\nB1=59,18\r\nB2=59,18.1\r\nB3=58.9,18.1\r\nCC=2\r\n"
         "C1=0,0,59,18\r\nC2=9,7,58.9,18.1\r\nPR=1\r\n";
}

}  // namespace

TEST(JpegTiffImage, DecodesPixels) {
  TTempDir dir;
  const std::vector<TRgb> palette = {MakeRgb(255, 255, 255), MakeRgb(250, 230, 150), MakeRgb(150, 200, 240),
                                     MakeRgb(20, 20, 20), MakeRgb(200, 40, 40)};
  struct Case {
    const char* name;
    std::string bytes;
    int tolerance;  // largest channel difference allowed
  };
  ASSERT_TRUE(jtfix::WriteTiff(dir / "rgb.tif", 37, 23, jtfix::Gradient, true));
  ASSERT_TRUE(jtfix::WriteTiff(dir / "plain.tif", 37, 23, jtfix::Gradient, false, {}, 23));
  ASSERT_TRUE(jtfix::WriteTiff(dir / "pal.tif", 37, 23, [](int x, int y) { return TRgb((x / 8 + y / 8 * 3) % 5); },
                               true, palette));
  const Case cases[] = {
      {"jpeg q100", jtfix::JpegBytes(37, 23, jtfix::Gradient, 100), 12},
      {"tiff rgb deflate", ReadTestFile(dir / "rgb.tif"), 0},
      {"tiff rgb one strip", ReadTestFile(dir / "plain.tif"), 0},
      {"tiff palette", ReadTestFile(dir / "pal.tif"), 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TChartImage im;
    std::string error;
    const bool jpeg = c.bytes.rfind("\xFF\xD8", 0) == 0;
    ASSERT_TRUE(jpeg ? LoadJPEGImage(Bytes(c.bytes), im, &error) : LoadTIFFImage(Bytes(c.bytes), im, &error))
        << error;
    ASSERT_EQ(im.Format, TImageFormat::Rgb32);
    ASSERT_EQ(im.Width, 37);
    ASSERT_EQ(im.Height, 23);
    int worst = 0;
    double sum = 0;
    for (int y = 0; y < 23; ++y)
      for (int x = 0; x < 37; ++x) {
        const TRgb want = std::string(c.name) == "tiff palette" ? jtfix::Blocks(x, y) : jtfix::Gradient(x, y);
        const int d = MaxChannelDiff(im.PixelRgb(x, y), want);
        worst = std::max(worst, d);
        sum += d;
      }
    EXPECT_LE(worst, c.tolerance);
    if (jpeg) {
      EXPECT_LT(sum / (37 * 23), 3.0);  // a swapped channel or row would be far off
    }
  }
}

TEST(JpegTiffImage, DamagedAndOversizedFilesAreRefused) {
  TTempDir dir;
  const std::string jpeg = jtfix::JpegBytes(40, 30, jtfix::Gradient);
  ASSERT_TRUE(jtfix::WriteTiff(dir / "t.tif", 40, 30, jtfix::Gradient, true));
  const std::string tiff = ReadTestFile(dir / "t.tif");
  std::string tiffBadOffset = tiff;
  // The first directory's offset points beyond the file.
  tiffBadOffset[4] = '\xF0';
  tiffBadOffset[5] = '\xFF';
  tiffBadOffset[6] = '\xFF';
  tiffBadOffset[7] = '\x7F';
  struct Case {
    const char* name;
    bool jpeg;
    std::string bytes;
    int64_t maxPixels;
  };
  const Case cases[] = {
      {"empty jpeg", true, "", kMaxImagePixels},
      {"text as jpeg", true, "jpeg", kMaxImagePixels},
      {"jpeg cut in its header", true, jpeg.substr(0, 100), kMaxImagePixels},
      {"jpeg over the pixel limit", true, jpeg, 40 * 30 - 1},
      {"empty tiff", false, "", kMaxImagePixels},
      {"tiff magic only", false, "II*\0", kMaxImagePixels},
      {"tiff directory beyond the file", false, tiffBadOffset, kMaxImagePixels},
      {"tiff cut short", false, tiff.substr(0, 60), kMaxImagePixels},
      {"tiff over the pixel limit", false, tiff, 40 * 30 - 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TChartImage im;
    std::string error;
    const bool ok = c.jpeg ? LoadJPEGImage(Bytes(c.bytes), im, &error, c.maxPixels)
                           : LoadTIFFImage(Bytes(c.bytes), im, &error, c.maxPixels);
    EXPECT_FALSE(ok);
    EXPECT_FALSE(error.empty());
    EXPECT_TRUE(im.Empty());
  }
  // At the limit exactly it loads.
  TChartImage im;
  EXPECT_TRUE(LoadJPEGImage(Bytes(jpeg), im, nullptr, 40 * 30));
  EXPECT_TRUE(LoadTIFFImage(Bytes(tiff), im, nullptr, 40 * 30));
}

TEST(ColourQuantiser, KeepsFewColoursExactly) {
  TChartImage im;
  ASSERT_TRUE(im.Allocate(TImageFormat::Rgb32, 50, 40, 1 << 20));
  for (int y = 0; y < 40; ++y)
    for (int x = 0; x < 50; ++x) reinterpret_cast<TRgb*>(im.Pixels.data())[y * 50 + x] = jtfix::Blocks(x, y);
  TColourQuantiser q;
  ASSERT_TRUE(q.Build(im));
  EXPECT_TRUE(q.Stats().Exact);
  EXPECT_EQ(q.Stats().PaletteColours, 5);
  EXPECT_EQ(q.Stats().MaxError, 0);
  TChartImageRows rows(im, &q);
  std::vector<uint8_t> row(50);
  for (int y = 0; y < 40; ++y) {
    ASSERT_TRUE(rows.ReadRow(y, row.data()));
    for (int x = 0; x < 50; ++x) ASSERT_EQ(rows.Colour(row[x]), jtfix::Blocks(x, y)) << x << "," << y;
  }
}

TEST(ColourQuantiser, ReducesManyColoursWithTheErrorItReports) {
  // 24-bit noise over a smooth field: far more than 256 colours.
  TChartImage im;
  const int w = 300, h = 200;
  ASSERT_TRUE(im.Allocate(TImageFormat::Rgb32, w, h, 1 << 20));
  uint32_t seed = 12345;
  auto* px = reinterpret_cast<TRgb*>(im.Pixels.data());
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      seed = seed * 1103515245u + 12345u;
      const int n = int((seed >> 16) & 7);
      px[y * w + x] = MakeRgb(static_cast<uint8_t>(x * 255 / w), static_cast<uint8_t>(y * 255 / h),
                              static_cast<uint8_t>(std::min(255, (x + y) / 2 + n)));
    }
  TColourQuantiser q;
  ASSERT_TRUE(q.Build(im));
  const TQuantiseStats& s = q.Stats();
  EXPECT_FALSE(s.Exact);
  EXPECT_GT(s.SourceColours, 256);
  EXPECT_LE(s.PaletteColours, 256);
  EXPECT_GT(s.PaletteColours, 200);  // the cut uses the colours it may
  // A smooth field in 256 colours: a few levels off per channel.
  EXPECT_LT(s.RmsError, 6.0);
  EXPECT_LE(s.MaxError, 24);
  // The reported error is the error of the mapped rows.
  TChartImageRows rows(im, &q);
  std::vector<uint8_t> row(w);
  double sum = 0;
  int worst = 0;
  for (int y = 0; y < h; ++y) {
    ASSERT_TRUE(rows.ReadRow(y, row.data()));
    for (int x = 0; x < w; ++x) {
      const TRgb a = px[y * w + x], b = rows.Colour(row[x]);
      const int dr = int(RgbRed(a)) - RgbRed(b), dg = int(RgbGreen(a)) - RgbGreen(b), db = int(RgbBlue(a)) - RgbBlue(b);
      sum += dr * dr + dg * dg + db * db;
      worst = std::max(worst, MaxChannelDiff(a, b));
    }
  }
  EXPECT_NEAR(std::sqrt(sum / (3.0 * w * h)), s.RmsError, 1e-9);
  EXPECT_EQ(worst, s.MaxError);
}

TEST(ChartFile, OpensJpegAndTiffChartsThroughTheirCalFiles) {
  // The plotter's reader: no other loaders given.
  TTempDir dir;
  WriteTestFile(dir / "scan.jpg", jtfix::JpegBytes(24, 16, jtfix::Blocks));
  WriteTestFile(dir / "scan.cal", CalFor("SCAN.JPG", 24, 16));
  ASSERT_TRUE(jtfix::WriteTiff(dir / "Sheet.TIFF", 24, 16, jtfix::Gradient));
  WriteTestFile(dir / "sheet.cal", CalFor("sheet.tiff", 24, 16));
  for (const char* cal : {"scan.cal", "sheet.cal"}) {
    SCOPED_TRACE(cal);
    TChartHeadExternalCodec codec;
    TChartFile f(codec);
    f.SearchPath = dir.path();
    RChartInfo info;
    ASSERT_TRUE(f.LoadImage(cal, info)) << f.LastError();
    EXPECT_EQ(f.CalSource(), kCalOwnFile);
    EXPECT_EQ(f.Image().Width, 24);
    EXPECT_EQ(f.Image().Height, 16);
    EXPECT_EQ(info.Layout.Name, "Scan");
    EXPECT_EQ(info.RefCount, 2);
  }
}

TEST(JpegTiffImage, StreamedRowsMatchTheWholeImage) {
  TTempDir dir;
  WriteTestFile(dir / "scan.jpg", jtfix::JpegBytes(70, 45, jtfix::Gradient, 85));
  // Deflated strips of 3 rows.
  ASSERT_TRUE(jtfix::WriteTiff(dir / "scan.tif", 70, 45, jtfix::Gradient, true));
  for (const char* name : {"scan.jpg", "scan.tif"}) {
    SCOPED_TRACE(name);
    const std::string path = dir / name;
    TChartImage whole;
    ASSERT_TRUE(LoadImageFile(path, UpperExtension(path), whole));
    std::string error;
    std::unique_ptr<TRgbRows> rows = OpenScanRows(path, UpperExtension(path), &error);
    ASSERT_TRUE(rows) << error;
    ASSERT_EQ(rows->Width(), 70);
    ASSERT_EQ(rows->Height(), 45);
    std::vector<TRgb> row(70);
    // Top to bottom, then an earlier row again (the decoder starts over).
    for (int y : {0, 1, 2, 20, 44, 3, 44}) {
      ASSERT_TRUE(rows->ReadRow(y, row.data())) << y;
      for (int x = 0; x < 70; ++x) ASSERT_EQ(row[x], whole.PixelRgb(x, y)) << x << "," << y;
    }
    EXPECT_FALSE(rows->ReadRow(45, row.data()));
    EXPECT_FALSE(rows->ReadRow(-1, row.data()));
  }
  // Files that are no images, and one cut short: refused or failing rows,
  // never a crash.
  const std::string jpeg = ReadTestFile(dir / "scan.jpg");
  WriteTestFile(dir / "cut.jpg", jpeg.substr(0, jpeg.size() / 2));
  WriteTestFile(dir / "text.tif", "II*\0not a tiff");
  std::string error;
  EXPECT_FALSE(OpenScanRows(dir / "text.tif", ".TIF", &error));
  EXPECT_FALSE(error.empty());
  EXPECT_FALSE(OpenScanRows(dir / "missing.jpg", ".JPG", &error));
  std::unique_ptr<TRgbRows> cut = OpenScanRows(dir / "cut.jpg", ".JPG", &error);
  ASSERT_TRUE(cut);  // the header is whole; the rows after the cut come out grey
  std::vector<TRgb> row(70);
  for (int y = 0; y < 45; ++y) ASSERT_TRUE(cut->ReadRow(y, row.data()));
}
