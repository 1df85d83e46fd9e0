// Genimap raster files: the header's fields, both row codings, and damaged
// files that must end in an error or a partly drawn row.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "charts/GmbImage.h"

namespace {

// A GMB file: header fields written at their offsets, then the row table
// and the rows as given.
std::vector<uint8_t> Gmb(int width, int height, const std::vector<TRgb>& colours,
                         const std::vector<std::vector<uint8_t>>& rows) {
  std::vector<uint8_t> b(kGmbRowTableOffset + 4 * rows.size(), ' ');
  auto field = [&](size_t at, size_t w, long v) {
    char text[32];
    std::snprintf(text, sizeof text, "%*ld", static_cast<int>(w), v);
    for (size_t i = 0; i < w; ++i) b[at + i] = static_cast<uint8_t>(text[i]);
  };
  field(126, 5, width);
  field(146, 5, height);
  field(176, 3, static_cast<long>(colours.size()));
  for (size_t k = 0; k < colours.size(); ++k) {
    field(181 + 15 * k, 4, RgbRed(colours[k]));
    field(185 + 15 * k, 4, RgbGreen(colours[k]));
    field(189 + 15 * k, 4, RgbBlue(colours[k]));
  }
  for (size_t y = 0; y < rows.size(); ++y) {
    const uint32_t at = static_cast<uint32_t>(b.size());
    for (int i = 0; i < 4; ++i) b[kGmbRowTableOffset + 4 * y + i] = static_cast<uint8_t>(at >> (8 * i));
    b.insert(b.end(), rows[y].begin(), rows[y].end());
  }
  return b;
}

std::string Row(const TChartImage& image, int y) {
  std::string s;
  for (int x = 0; x < image.Width; ++x) s += static_cast<char>('0' + image.Pixels[y * image.Stride + x]);
  return s;
}

TEST(GmbImage, EightAndFourBitRowsDecode) {
  const std::vector<TRgb> eight = {MakeRgb(255, 255, 255), MakeRgb(10, 20, 30), MakeRgb(0, 0, 200)};
  // 8 bits: colour, length; a long run (bit 7) across 300 pixels.
  const std::vector<uint8_t> longRun = {1, 0x81, 44};  // 1 x 300
  TChartImage image;
  std::string error;
  ASSERT_TRUE(LoadGMBImage(Gmb(300, 2, eight, {{2, 5, 1, 3, 0, 0x81, 36}, longRun}), image, &error)) << error;
  EXPECT_EQ(image.Width, 300);
  EXPECT_EQ(image.Height, 2);
  ASSERT_EQ(image.Palette.size(), 256u);
  EXPECT_EQ(image.Palette[1], MakeRgb(10, 20, 30));
  EXPECT_EQ(Row(image, 0).substr(0, 10), "2222211100");
  EXPECT_EQ(image.Pixels[299], 0);
  EXPECT_EQ(Row(image, 1), std::string(300, '1'));

  // 4 bits (16 colours): short runs, long runs (n >= 8) and the two-byte
  // length (n = 0).
  std::vector<TRgb> sixteen(16, MakeRgb(0, 0, 0));
  sixteen[5] = MakeRgb(1, 2, 3);
  ASSERT_TRUE(LoadGMBImage(Gmb(20, 1, sixteen, {{0x53, 0x98, 11, 0x70, 0x00, 0x06}}), image, &error)) << error;
  EXPECT_EQ(image.Palette.size(), 16u);
  EXPECT_EQ(Row(image, 0), "55599999999999777777");
}

TEST(GmbImage, DamagedFilesEndCleanly) {
  const std::vector<TRgb> two = {MakeRgb(0, 0, 0), MakeRgb(9, 9, 9)};
  TChartImage image;
  std::string error;
  // Too short for the header, and for the row table.
  EXPECT_FALSE(LoadGMBImage(std::vector<uint8_t>(100, ' '), image, &error));
  std::vector<uint8_t> cut = Gmb(10, 3, two, {{1, 10}, {1, 10}, {1, 10}});
  cut.resize(kGmbRowTableOffset + 5);
  EXPECT_FALSE(LoadGMBImage(cut, image, &error));
  EXPECT_NE(error.find("GMB file error"), std::string::npos);
  // No size.
  EXPECT_FALSE(LoadGMBImage(Gmb(0, 3, two, {{}, {}, {}}), image, &error));
  // A run past the row's end is cut there; a zero-length run ends the row
  // (no endless loop); a row offset past the file's end leaves the row 0; a
  // row whose data stop early keeps what it had.
  std::vector<uint8_t> f = Gmb(10, 4, two, {{1, 50}, {1, 3, 1, 0, 1, 4}, {}, {1, 4, 1}});
  const uint32_t far = 0xFFFFFFF0u;
  for (int i = 0; i < 4; ++i) f[kGmbRowTableOffset + 8 + i] = static_cast<uint8_t>(far >> (8 * i));
  ASSERT_TRUE(LoadGMBImage(f, image, &error)) << error;
  EXPECT_EQ(Row(image, 0), "1111111111");
  EXPECT_EQ(Row(image, 1), "1110000000");
  EXPECT_EQ(Row(image, 2), "0000000000");
  EXPECT_EQ(Row(image, 3), "1111000000");
  // A height beyond 32 767 is taken as 32 767 (and the row table must hold it).
  EXPECT_FALSE(LoadGMBImage(Gmb(10, 99999, two, {{1, 10}}), image, &error));
  // Larger than the pixel limit: refused before anything is allocated.
  EXPECT_FALSE(LoadGMBImage(Gmb(10, 3, two, {{1, 10}, {1, 10}, {1, 10}}), image, &error, 20));
}

// The image loader takes ".GMB" files by their extension.
TEST(GmbImage, LoadedByItsExtension) {
  TTempDir dir;
  const std::vector<uint8_t> f = Gmb(4, 1, {MakeRgb(0, 0, 0), MakeRgb(7, 8, 9)}, {{1, 4}});
  const std::string path = dir / "CHART.GMB";
  WriteTestFile(path, std::string(f.begin(), f.end()));
  TChartImage image;
  std::string error;
  ASSERT_TRUE(LoadImageFile(path, ".GMB", image, &error)) << error;
  EXPECT_EQ(image.PixelRgb(3, 0), MakeRgb(7, 8, 9));
}

}  // namespace
