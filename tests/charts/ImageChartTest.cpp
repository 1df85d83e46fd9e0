// Plain image charts: PNG, BMP and GIF files loaded whole, damaged and
// oversized files refused or shown as far as they go.
#include <gif_lib.h>

#include <cstring>
#include <span>

#include "TestSupport.h"
#include "charts/ImageChart.h"

namespace {

std::span<const uint8_t> Span(const std::string& s) {
  return {reinterpret_cast<const uint8_t*>(s.data()), s.size()};
}

void Le(std::string& s, uint32_t v, int bytes) {
  for (int i = 0; i < bytes; ++i) s += static_cast<char>((v >> (8 * i)) & 0xFF);
}

// A BMP file: 40-byte header, palette, pixel rows as given (already padded).
std::string Bmp(int32_t w, int32_t h, uint16_t bits, uint32_t compression, const std::vector<uint32_t>& palette,
                const std::string& data) {
  std::string s = "BM";
  const uint32_t off = 14 + 40 + 4 * static_cast<uint32_t>(palette.size());
  Le(s, off + static_cast<uint32_t>(data.size()), 4);
  Le(s, 0, 4);
  Le(s, off, 4);
  Le(s, 40, 4);
  Le(s, static_cast<uint32_t>(w), 4);
  Le(s, static_cast<uint32_t>(h), 4);
  Le(s, 1, 2);
  Le(s, bits, 2);
  Le(s, compression, 4);
  Le(s, static_cast<uint32_t>(data.size()), 4);
  Le(s, 0, 4);
  Le(s, 0, 4);
  Le(s, static_cast<uint32_t>(palette.size()), 4);
  Le(s, 0, 4);
  for (uint32_t c : palette) Le(s, c, 4);  // 0x00RRGGBB little-endian: B, G, R, 0
  return s + data;
}

TEST(ImageChart, PngRoundTrip) {
  TChartImage idx;
  ASSERT_TRUE(idx.Allocate(TImageFormat::Indexed8, 7, 5, 1000));
  idx.Palette = {MakeRgb(1, 2, 3), MakeRgb(250, 0, 9), MakeRgb(0, 128, 255)};
  for (size_t i = 0; i < idx.Pixels.size(); ++i) idx.Pixels[i] = static_cast<uint8_t>(i % 3);
  std::string bytes;
  ASSERT_TRUE(EncodePNG(idx, bytes));
  TChartImage back;
  ASSERT_TRUE(LoadPNGImage(Span(bytes), back));
  EXPECT_EQ(back.Format, TImageFormat::Indexed8);
  EXPECT_EQ(back.Width, 7);
  EXPECT_EQ(back.Height, 5);
  for (int y = 0; y < 5; ++y)
    for (int x = 0; x < 7; ++x) EXPECT_EQ(back.PixelRgb(x, y), idx.PixelRgb(x, y));

  TChartImage rgb;
  ASSERT_TRUE(rgb.Allocate(TImageFormat::Rgb32, 4, 3, 1000));
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 4; ++x) {
      const TRgb c = MakeRgb(static_cast<uint8_t>(x * 60), static_cast<uint8_t>(y * 100), 77);
      std::memcpy(rgb.Pixels.data() + y * rgb.Stride + x * 4, &c, 4);
    }
  ASSERT_TRUE(EncodePNG(rgb, bytes));
  ASSERT_TRUE(LoadPNGImage(Span(bytes), back));
  EXPECT_EQ(back.Format, TImageFormat::Rgb32);
  EXPECT_EQ(back.PixelRgb(3, 2), MakeRgb(180, 200, 77));

  // Too many pixels for the limit; a damaged file.
  std::string error;
  EXPECT_FALSE(LoadPNGImage(Span(bytes), back, &error, 11));
  EXPECT_TRUE(back.Empty());
  EXPECT_FALSE(LoadPNGImage(Span(bytes.substr(0, bytes.size() / 2)), back, &error));
  EXPECT_FALSE(error.empty());
  EXPECT_FALSE(LoadPNGImage(Span(std::string("not a png")), back));
}

TEST(ImageChart, BmpDepthsAndCodings) {
  const std::vector<uint32_t> pal = {0x000000, 0xFF0000, 0x00FF00, 0x0000FF};
  struct Case {
    const char* what;
    std::string file;
    TImageFormat format;
    std::vector<TRgb> top, bottom;  // first and last row, width 3
  } cases[] = {
      {"8 bits bottom-up", Bmp(3, 2, 8, 0, pal, std::string("\x01\x02\x03\x00\x00\x01\x02\x00", 8)),
       TImageFormat::Indexed8,
       {MakeRgb(0, 0, 0), MakeRgb(255, 0, 0), MakeRgb(0, 255, 0)},
       {MakeRgb(255, 0, 0), MakeRgb(0, 255, 0), MakeRgb(0, 0, 255)}},
      {"8 bits top-down", Bmp(3, -2, 8, 0, pal, std::string("\x01\x02\x03\x00\x00\x01\x02\x00", 8)),
       TImageFormat::Indexed8,
       {MakeRgb(255, 0, 0), MakeRgb(0, 255, 0), MakeRgb(0, 0, 255)},
       {MakeRgb(0, 0, 0), MakeRgb(255, 0, 0), MakeRgb(0, 255, 0)}},
      {"4 bits", Bmp(3, 2, 4, 0, pal, std::string("\x12\x30\x00\x00\x01\x20\x00\x00", 8)), TImageFormat::Indexed8,
       {MakeRgb(0, 0, 0), MakeRgb(255, 0, 0), MakeRgb(0, 255, 0)},
       {MakeRgb(255, 0, 0), MakeRgb(0, 255, 0), MakeRgb(0, 0, 255)}},
      {"1 bit", Bmp(3, 2, 1, 0, {0x000000, 0xFFFFFF}, std::string("\xA0\0\0\0\x40\0\0\0", 8)),
       TImageFormat::Indexed8,
       {MakeRgb(0, 0, 0), MakeRgb(255, 255, 255), MakeRgb(0, 0, 0)},
       {MakeRgb(255, 255, 255), MakeRgb(0, 0, 0), MakeRgb(255, 255, 255)}},
      {"24 bits", Bmp(3, 2, 24, 0, {}, std::string("\x00\x00\xFF\x00\xFF\x00\xFF\x00\x00\x00\x00\x00"
                                                    "\x01\x02\x03\x04\x05\x06\x07\x08\x09\x00\x00\x00", 24)),
       TImageFormat::Rgb32,
       {MakeRgb(3, 2, 1), MakeRgb(6, 5, 4), MakeRgb(9, 8, 7)},
       {MakeRgb(255, 0, 0), MakeRgb(0, 255, 0), MakeRgb(0, 0, 255)}},
      {"run-length 8 bits",
       Bmp(3, 2, 8, 1, pal, std::string("\x03\x02\x00\x00\x00\x03\x01\x03\x02\x00\x00\x01", 12)),
       TImageFormat::Indexed8,
       {MakeRgb(255, 0, 0), MakeRgb(0, 0, 255), MakeRgb(0, 255, 0)},
       {MakeRgb(0, 255, 0), MakeRgb(0, 255, 0), MakeRgb(0, 255, 0)}},
      {"run-length 8 bits without end mark", Bmp(3, 2, 8, 1, pal, std::string("\x03\x02\x00\x00\x02\x01", 6)),
       TImageFormat::Indexed8,
       {MakeRgb(255, 0, 0), MakeRgb(255, 0, 0), MakeRgb(0, 0, 0)},
       {MakeRgb(0, 255, 0), MakeRgb(0, 255, 0), MakeRgb(0, 255, 0)}},
      {"rows missing at the end", Bmp(3, 2, 8, 0, pal, std::string("\x01\x02\x03\x00", 4)), TImageFormat::Indexed8,
       {MakeRgb(0, 0, 0), MakeRgb(0, 0, 0), MakeRgb(0, 0, 0)},
       {MakeRgb(255, 0, 0), MakeRgb(0, 255, 0), MakeRgb(0, 0, 255)}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TChartImage img;
    std::string error;
    ASSERT_TRUE(LoadBMPImage(Span(c.file), img, &error)) << error;
    EXPECT_EQ(img.Format, c.format);
    ASSERT_EQ(img.Width, 3);
    ASSERT_EQ(img.Height, 2);
    for (int x = 0; x < 3; ++x) {
      EXPECT_EQ(img.PixelRgb(x, 0), c.top[static_cast<size_t>(x)]) << x;
      EXPECT_EQ(img.PixelRgb(x, 1), c.bottom[static_cast<size_t>(x)]) << x;
    }
  }

  struct Bad {
    const char* what;
    std::string file;
  } bad[] = {
      {"not a BMP", "XX"},
      {"header cut", Bmp(3, 2, 8, 0, pal, "").substr(0, 30)},
      {"huge", Bmp(100000, 100000, 24, 0, {}, "")},
      {"zero width", Bmp(0, 2, 8, 0, pal, "")},
      {"depth 7", Bmp(3, 2, 7, 0, pal, "")},
      {"JPEG inside", Bmp(3, 2, 24, 4, {}, "")},
  };
  for (const Bad& b : bad) {
    TChartImage img;
    EXPECT_FALSE(LoadBMPImage(Span(b.file), img)) << b.what;
    EXPECT_TRUE(img.Empty()) << b.what;
  }
  // Pixel data offset past the end of the file.
  std::string far = Bmp(3, 2, 8, 0, pal, "");
  far[10] = '\xFF';
  far[11] = '\xFF';
  TChartImage img;
  EXPECT_FALSE(LoadBMPImage(Span(far), img));
}

int GifWrite(GifFileType* g, const GifByteType* b, int n) {
  static_cast<std::string*>(g->UserData)->append(reinterpret_cast<const char*>(b), static_cast<size_t>(n));
  return n;
}

// A GIF of a 6 x 5 screen with one 4 x 3 image at (1, 1); pixel (x, y) of
// the image has index (x + y) % 4.
std::string Gif(bool interlace, bool localMap) {
  std::string out;
  int err = 0;
  GifFileType* g = EGifOpen(&out, GifWrite, &err);
  GifColorType colours[4] = {{0, 0, 0}, {255, 0, 0}, {0, 255, 0}, {0, 0, 255}};
  GifColorType local[4] = {{9, 9, 9}, {10, 10, 10}, {11, 11, 11}, {12, 12, 12}};
  ColorMapObject* map = GifMakeMapObject(4, colours);
  ColorMapObject* lmap = GifMakeMapObject(4, local);
  EGifPutScreenDesc(g, 6, 5, 2, 2, map);
  EGifPutImageDesc(g, 1, 1, 4, 3, interlace, localMap ? lmap : nullptr);
  const int order[] = {0, 2, 1};  // interlaced rows of a 3-row image: pass 1 row 0, pass 3 row 2, pass 4 row 1
  for (int i = 0; i < 3; ++i) {
    const int y = interlace ? order[i] : i;
    GifPixelType row[4];
    for (int x = 0; x < 4; ++x) row[x] = static_cast<GifPixelType>((x + y) % 4);
    EGifPutLine(g, row, 4);
  }
  EGifCloseFile(g, &err);
  GifFreeMapObject(map);
  GifFreeMapObject(lmap);
  return out;
}

TEST(ImageChart, GifImages) {
  for (bool interlace : {false, true}) {
    SCOPED_TRACE(interlace ? "interlaced" : "plain");
    TChartImage img;
    std::string error;
    ASSERT_TRUE(LoadGIFImage(Span(Gif(interlace, false)), img, &error)) << error;
    EXPECT_EQ(img.Format, TImageFormat::Indexed8);
    EXPECT_EQ(img.Width, 6);
    EXPECT_EQ(img.Height, 5);
    ASSERT_EQ(img.Palette.size(), 4u);
    EXPECT_EQ(img.Pixels[0], 2);  // outside the image: the background colour
    for (int y = 0; y < 3; ++y)
      for (int x = 0; x < 4; ++x)
        EXPECT_EQ(img.Pixels[static_cast<size_t>((y + 1) * 6 + x + 1)], (x + y) % 4) << x << "," << y;
  }
  TChartImage img;
  ASSERT_TRUE(LoadGIFImage(Span(Gif(false, true)), img));
  EXPECT_EQ(img.PixelRgb(1, 1), MakeRgb(9, 9, 9));  // the image's own colours

  // Cut short: the rows that were there; cut in the header: refused.
  const std::string whole = Gif(false, false);
  for (size_t cut = 0; cut < whole.size(); ++cut) {
    TChartImage part;
    LoadGIFImage(Span(whole.substr(0, cut)), part);
  }
  EXPECT_FALSE(LoadGIFImage(Span(whole.substr(0, 12)), img));
  EXPECT_FALSE(LoadGIFImage(Span(whole), img, nullptr, 29));  // more pixels than allowed
}

TEST(ImageChart, Shading) {
  EXPECT_EQ(ShadeRgb(0, MakeRgb(200, 100, 0)), MakeRgb(200, 100, 0));
  EXPECT_EQ(ShadeRgb(50, MakeRgb(200, 100, 0)), MakeRgb(100, 50, 0));
  EXPECT_EQ(ShadeRgb(-50, MakeRgb(200, 100, 0)), MakeRgb(27, 77, 127));
  EXPECT_EQ(ShadeRgb(120, MakeRgb(200, 100, 0)), MakeRgb(2, 1, 0));
}

}  // namespace
