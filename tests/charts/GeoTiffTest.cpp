// GeoTIFF charts: the tags we read ourselves, the raster reader over every
// layout, overviews, damage and refusals, and the georeference of whole
// files (exact, control points, user-defined systems).
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <fstream>

#include "GeoTiffFixtures.h"
#include "TestSupport.h"
#include "charts/GeoTiffChart.h"
#include "charts/GeoTiffCrs.h"
#include "charts/GeoTiffRaster.h"
#include "charts/GeoTiffTags.h"

namespace {

using gtfix::TKeys;
using gtfix::TKind;
using gtfix::TLayout;

int MaxChannelDiff(TRgb a, TRgb b) {
  return std::max({std::abs(int(RgbRed(a)) - RgbRed(b)), std::abs(int(RgbGreen(a)) - RgbGreen(b)),
                   std::abs(int(RgbBlue(a)) - RgbBlue(b))});
}

// UTM 33N, 10 m pixels from (500000, 6000000).
gtfix::TGeoTags Utm33() { return gtfix::Tags(gtfix::EpsgKeys(32633, false), {0, 0, 0, 500000, 6000000, 0}, {10, 10, 0}); }

void Overwrite(const std::string& path, uint64_t offset, const std::string& bytes) {
  std::fstream f(path, std::ios::in | std::ios::out | std::ios::binary);
  f.seekp(static_cast<std::streamoff>(offset));
  f.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

}  // namespace

// ---------------------------------------------------------------------------
// Tags

TEST(GeoKeyDirectory, ReadsKeysOfEveryPlaceAndWritesThemBack) {
  TKeys k;
  k.Short(kGeoKeyModelType, 1).Ascii(kGeoKeyCitation, "UTM 33").Double(3092, {0.9996}).Short(3072, 32633);
  std::vector<uint16_t> dir = k.Directory();
  // A short array kept in the directory itself, after the entries.
  dir[3] += 1;
  const uint16_t at = uint16_t(dir.size() + 4);
  dir.insert(dir.end(), {4000, uint16_t(kTagGeoKeyDirectory), 2, at});
  dir.insert(dir.end(), {7, 9});
  TGeoKeyDirectory d;
  std::string error;
  ASSERT_TRUE(d.Read(dir, k.doubles, k.ascii, &error)) << error;
  EXPECT_EQ(d.Short(kGeoKeyModelType), 1);
  EXPECT_EQ(d.Ascii(kGeoKeyCitation), "UTM 33");
  EXPECT_EQ(d.Double(3092), 0.9996);
  EXPECT_EQ(d.Find(4000)->Shorts, (std::vector<uint16_t>{7, 9}));
  EXPECT_FALSE(d.Double(kGeoKeyModelType));  // of another type
  // Written again and read back: the same keys.
  std::vector<uint16_t> dir2;
  std::vector<double> doubles2;
  std::string ascii2;
  d.Write(dir2, doubles2, ascii2);
  TGeoKeyDirectory d2;
  ASSERT_TRUE(d2.Read(dir2, doubles2, ascii2, &error)) << error;
  ASSERT_EQ(d2.Keys.size(), d.Keys.size());
  EXPECT_EQ(d2.Ascii(kGeoKeyCitation), "UTM 33");
  EXPECT_EQ(d2.Find(4000)->Shorts, (std::vector<uint16_t>{7, 9}));
}

// A directory that lies about itself is refused with the reason, never read
// past its data.
TEST(GeoKeyDirectory, RefusesDirectoriesThatLie) {
  const std::vector<double> doubles{1, 2};
  const std::string ascii = "abc|";
  struct Case {
    const char* what;
    std::vector<uint16_t> dir;
    const char* says;
  } cases[] = {
      {"cut short", {1, 1, 0}, "cut short"},
      {"version 2", {2, 1, 0, 0}, "version 2"},
      {"more keys than it holds", {1, 1, 0, 3, 1024, 0, 1, 1}, "claims 3 keys but holds 1"},
      {"doubles beyond the tag", {1, 1, 0, 1, 3092, 34736, 2, 1}, "outside the double parameters"},
      {"no doubles at all", {1, 1, 0, 1, 3092, 34736, 0, 0}, "outside the double parameters"},
      {"text beyond the tag", {1, 1, 0, 1, 1026, 34737, 5, 1}, "outside the text parameters"},
      {"shorts beyond the directory", {1, 1, 0, 1, 4000, 34735, 4, 6}, "outside the directory"},
      {"a value in no tag", {1, 1, 0, 1, 1024, 33550, 1, 0}, "holds no GeoKeys"},
      {"two values in place", {1, 1, 0, 1, 1024, 0, 2, 1}, "2 values in place of one"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TGeoKeyDirectory d;
    std::string error;
    EXPECT_FALSE(d.Read(c.dir, doubles, ascii, &error));
    EXPECT_NE(error.find(c.says), std::string::npos) << error;
  }
}

TEST(ModelTransformation, ReadsAsGdalDoes) {
  struct Case {
    const char* what;
    std::vector<double> tie, scale, matrix;
    bool point;
    double c[6];
  } cases[] = {
      {"tie point and scale", {0, 0, 0, 500000, 6000000, 0}, {10, 10, 0}, {}, false, {500000, 10, 0, 6000000, 0, -10}},
      {"tie point off the corner", {100, 50, 0, 501000, 5999500, 0}, {10, 10, 0}, {}, false,
       {500000, 10, 0, 6000000, 0, -10}},
      // The tie point is the centre of pixel (0, 0).
      {"pixel is point", {0, 0, 0, 500005, 5999995, 0}, {10, 10, 0}, {}, true, {500000, 10, 0, 6000000, 0, -10}},
      {"a scale wins over a matrix", {0, 0, 0, 1, 2, 0}, {1, 1, 0}, std::vector<double>(16, 7), false, {1, 1, 0, 2, 0, -1}},
      {"rotated matrix",
       {},
       {},
       {8.66, 5, 0, 500000, 5, -8.66, 0, 6000000, 0, 0, 0, 0, 0, 0, 0, 1},
       false,
       {500000, 8.66, 5, 6000000, 5, -8.66}},
      {"matrix, pixel is point",
       {},
       {},
       {10, 0, 0, 500005, 0, -10, 0, 5999995, 0, 0, 0, 0, 0, 0, 0, 1},
       true,
       {500000, 10, 0, 6000000, 0, -10}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TGeoTiffModel m;
    std::string error;
    ASSERT_TRUE(ReadModelTransformation(c.tie, c.scale, c.matrix, c.point, m, &error)) << error;
    ASSERT_EQ(m.Kind, TGeoTiffModel::TKind::Affine);
    for (int i = 0; i < 6; ++i) EXPECT_NEAR(m.Transform.C[i], c.c[i], 1e-9) << i;
  }
  // Tie points alone are control points; with PixelIsPoint at pixel centres.
  TGeoTiffModel m;
  const std::vector<double> tie{-0.5, -0.5, 0, 1, 2, 0, 99.5, 79.5, 0, 3, 4, 0};
  ASSERT_TRUE(ReadModelTransformation(tie, {}, {}, true, m));
  ASSERT_EQ(m.Kind, TGeoTiffModel::TKind::Gcps);
  ASSERT_EQ(m.Gcps.size(), 2u);
  EXPECT_EQ(m.Gcps[1].X, 100);
  EXPECT_EQ(m.Gcps[1].Y, 80);
  EXPECT_EQ(m.Gcps[1].ModelX, 3);
}

TEST(ModelTransformation, RefusesWhatCannotBeInverted) {
  struct Case {
    const char* what;
    std::vector<double> tie, scale, matrix;
    const char* says;
  } cases[] = {
      {"zero scale", {0, 0, 0, 1, 2, 0}, {0, 10, 0}, {}, "cannot be inverted"},
      {"not a number", {0, 0, 0, 1, 2, 0}, {NAN, 10, 0}, {}, "cannot be inverted"},
      {"an inverse beyond any number", {0, 0, 0, 1, 2, 0}, {1e-300, 1e-300, 0}, {}, "cannot be inverted"},
      {"degenerate matrix", {}, {}, {1, 2, 0, 0, 2, 4, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1}, "cannot be inverted"},
      {"matrix of 12", {}, {}, std::vector<double>(12, 1), "holds 12 values"},
      {"one tie point alone", {0, 0, 0, 1, 2, 0}, {}, {}, "single tie point"},
      {"tie point cut short", {0, 0, 0, 1}, {10, 10}, {}, "cut short"},
      {"scale of one value", {0, 0, 0, 1, 2, 0}, {10}, {}, "fewer than two"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TGeoTiffModel m;
    std::string error;
    EXPECT_FALSE(ReadModelTransformation(c.tie, c.scale, c.matrix, false, m, &error));
    EXPECT_NE(error.find(c.says), std::string::npos) << error;
  }
}

// ---------------------------------------------------------------------------
// Raster

// Every layout reads back its pixels, whole and through windows with steps,
// at every level, and only the blocks a window touches are decoded.
TEST(GeoTiffRaster, ReadsEveryLayoutAtEveryLevel) {
  struct Case {
    const char* what;
    TLayout l;
    int tolerance;  // JPEG
  };
  auto layout = [](TKind kind, int bits, int tile, uint16_t compression) {
    TLayout l;
    l.width = 75;
    l.height = 53;
    l.kind = kind;
    l.bits = bits;
    l.tile = tile;
    l.compression = compression;
    l.overviews = 2;
    return l;
  };
  std::vector<Case> cases = {
      {"palette 8 bits, tiled, deflate", layout(TKind::Palette, 8, 16, COMPRESSION_ADOBE_DEFLATE), 0},
      {"palette 4 bits, stripped, LZW", layout(TKind::Palette, 4, 0, COMPRESSION_LZW), 0},
      {"palette 1 bit, stripped, packbits", layout(TKind::Palette, 1, 0, COMPRESSION_PACKBITS), 0},
      {"grey, tiled, uncompressed", layout(TKind::Grey, 8, 32, COMPRESSION_NONE), 0},
      {"grey min-is-white 2 bits", layout(TKind::GreyWhite, 2, 0, COMPRESSION_ADOBE_DEFLATE), 0},
      {"RGB, stripped, LZW", layout(TKind::Rgb, 8, 0, COMPRESSION_LZW), 0},
      {"RGBA, tiled, deflate", layout(TKind::Rgba, 8, 16, COMPRESSION_ADOBE_DEFLATE), 0},
  };
  {
    TLayout l = layout(TKind::Rgb, 8, 16, COMPRESSION_ADOBE_DEFLATE);
    l.separate = true;
    cases.push_back({"RGB, separate planes", l, 0});
    TLayout j = layout(TKind::Rgb, 8, 16, COMPRESSION_JPEG);
    j.jpeg = true;
    cases.push_back({"RGB, YCbCr JPEG, tiled", j, 8});
  }
  TTempDir dir;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string path = dir / "r.tif";
    const bool smooth = c.tolerance > 0;
    ASSERT_TRUE(gtfix::WriteGeoTiff(path, c.l, Utm33(), gtfix::Pattern,
                                    smooth ? gtfix::SmoothPattern : gtfix::ColourPattern));
    TGeoTiffRaster r;
    std::string error;
    ASSERT_TRUE(r.Open(path, &error)) << error;
    ASSERT_EQ(r.LevelCount(), 3);
    const bool indexed = c.l.kind != TKind::Rgb && c.l.kind != TKind::Rgba;
    EXPECT_EQ(r.Indexed(), indexed);
    const unsigned mask = (1u << c.l.bits) - 1;
    for (int level = 0; level < 3; ++level) {
      const TRasterLevel& lv = r.Level(level);
      const int f = 1 << level;
      EXPECT_EQ(lv.Width, (75 + f - 1) / f);
      for (int step : {1, 3}) {
        const int cols = int((lv.Width - 1) / step + 1), rows = int((lv.Height - 1) / step + 1);
        std::vector<TRgb> rgb(size_t(cols) * rows);
        std::vector<uint8_t> idx(size_t(cols) * rows);
        ASSERT_TRUE(r.ReadRgb(level, 0, 0, cols, rows, step, step, rgb.data(), size_t(cols)));
        if (indexed) {
          ASSERT_TRUE(r.ReadIndexed(level, 0, 0, cols, rows, step, step, idx.data(), size_t(cols)));
        }
        int bad = 0;
        for (int y = 0; y < rows; ++y)
          for (int x = 0; x < cols; ++x) {
            const int64_t fx = int64_t(x) * step * f, fy = int64_t(y) * step * f;
            const size_t i = size_t(y) * cols + x;
            if (indexed) {
              const uint8_t want = gtfix::Pattern(fx, fy) & mask;
              bad += idx[i] != want;
              TRgb colour = r.Colours()[want];
              bad += rgb[i] != colour;
            } else {
              const TRgb want = smooth ? gtfix::SmoothPattern(fx, fy) : gtfix::ColourPattern(fx, fy);
              bad += MaxChannelDiff(rgb[i], want) > c.tolerance;
            }
          }
        EXPECT_EQ(bad, 0) << "level " << level << " step " << step;
      }
    }
    EXPECT_EQ(r.BrokenBlocks(), 0);
  }
  // Grey and palette colours: the ramp, inverted for min-is-white; the
  // colour table's 16-bit entries.
  TGeoTiffRaster r;
  ASSERT_TRUE(gtfix::WriteGeoTiff(dir / "w.tif", layout(TKind::GreyWhite, 2, 0, COMPRESSION_NONE), Utm33()));
  ASSERT_TRUE(r.Open(dir / "w.tif"));
  EXPECT_EQ(r.ColourCount(), 4);
  EXPECT_EQ(r.Colours()[0], MakeRgb(255, 255, 255));
  EXPECT_EQ(r.Colours()[1], MakeRgb(170, 170, 170));
  ASSERT_TRUE(gtfix::WriteGeoTiff(dir / "p.tif", layout(TKind::Palette, 8, 16, COMPRESSION_NONE), Utm33()));
  ASSERT_TRUE(r.Open(dir / "p.tif"));
  EXPECT_EQ(r.Colours()[5], gtfix::TestPalette(256)[5]);
}

TEST(GeoTiffRaster, DecodesOnlyTheBlocksAWindowTouches) {
  TTempDir dir;
  TLayout l = gtfix::Sized(1000, 800, 64);
  ASSERT_TRUE(gtfix::WriteGeoTiff(dir / "t.tif", l, Utm33()));
  TGeoTiffRaster r;
  ASSERT_TRUE(r.Open(dir / "t.tif"));
  std::vector<uint8_t> buf(200 * 100);
  // Columns 100..299, rows 130..229: tiles 1..4 across, 2..3 down.
  ASSERT_TRUE(r.ReadIndexed(0, 100, 130, 200, 100, 1, 1, buf.data(), 200));
  EXPECT_EQ(r.Stats().BlocksDecoded, 8);
  EXPECT_EQ(buf[0], gtfix::Pattern(100, 130));
  EXPECT_EQ(buf[199 + 99 * 200], gtfix::Pattern(299, 229));
  // Again: from the cache. A budget of one tile keeps the cache small.
  ASSERT_TRUE(r.ReadIndexed(0, 100, 130, 200, 100, 1, 1, buf.data(), 200));
  EXPECT_EQ(r.Stats().BlocksDecoded, 8);
  r.CacheBudget = 1;
  ASSERT_TRUE(r.ReadIndexed(0, 0, 0, 200, 100, 1, 1, buf.data(), 200));
  EXPECT_LE(r.Stats().CachedBytes, 64 * 64 + 64);
  // Every 64th row and column of a stripped picture: only the strips of
  // those rows.
  l.tile = 0;
  l.rowsPerStrip = 8;
  ASSERT_TRUE(gtfix::WriteGeoTiff(dir / "s.tif", l, Utm33()));
  ASSERT_TRUE(r.Open(dir / "s.tif"));
  std::vector<uint8_t> small(16 * 13);
  ASSERT_TRUE(r.ReadIndexed(0, 0, 0, 16, 13, 64, 64, small.data(), 16));
  EXPECT_EQ(r.Stats().BlocksDecoded, 13);
  EXPECT_EQ(small[15 + 12 * 16], gtfix::Pattern(960, 768));
  // Windows outside the level are refused.
  EXPECT_FALSE(r.ReadIndexed(0, 990, 0, 11, 1, 1, 1, small.data(), 16));
  EXPECT_FALSE(r.ReadIndexed(0, 0, 0, 16, 13, 64, 67, small.data(), 16));
  EXPECT_FALSE(r.ReadIndexed(1, 0, 0, 1, 1, 1, 1, small.data(), 16));
}

// Overviews: the file's own reduced images (a mask directory passed over),
// or an ".ovr" file beside it; LevelForZoom picks the level to draw.
TEST(GeoTiffRaster, FindsOverviews) {
  TTempDir dir;
  TLayout l = gtfix::Sized(400, 300, 32);
  l.overviews = 3;
  l.mask = true;
  ASSERT_TRUE(gtfix::WriteGeoTiff(dir / "in.tif", l, Utm33()));
  l.mask = false;
  l.externalOverviews = true;
  ASSERT_TRUE(gtfix::WriteGeoTiff(dir / "out.tif", l, Utm33()));
  for (const char* name : {"in.tif", "out.tif"}) {
    SCOPED_TRACE(name);
    TGeoTiffRaster r;
    ASSERT_TRUE(r.Open(dir / name));
    ASSERT_EQ(r.LevelCount(), 4);
    EXPECT_EQ(r.Level(1).Width, 200);
    EXPECT_EQ(r.Level(3).Height, 38);
    EXPECT_EQ(r.Level(3).External, std::string(name) == "out.tif");
    EXPECT_EQ(r.LevelForZoom(1), 0);
    EXPECT_EQ(r.LevelForZoom(0.5), 1);
    EXPECT_EQ(r.LevelForZoom(0.3), 1);
    EXPECT_EQ(r.LevelForZoom(0.01), 3);
    uint8_t px = 0;
    ASSERT_TRUE(r.ReadIndexed(3, 10, 7, 1, 1, 1, 1, &px, 1));
    EXPECT_EQ(px, gtfix::Pattern(80, 56));
  }
}

// A tile that cannot be decoded reads as missing and is counted once; the
// rest of the picture reads as it is.
TEST(GeoTiffRaster, BrokenTilesReadAsMissing) {
  TTempDir dir;
  for (int tile : {16, 0}) {
    SCOPED_TRACE(tile ? "tiles" : "strips");
    TLayout l = gtfix::Sized(64, 64, tile);
    l.rowsPerStrip = 16;
    const std::string path = dir / "b.tif";
    ASSERT_TRUE(gtfix::WriteGeoTiff(path, l, Utm33()));
    uint64_t offset = 0, size = 0;
    ASSERT_TRUE(gtfix::BlockPlace(path, 1, offset, size));
    Overwrite(path, offset, std::string(size_t(size), '\xFF'));
    TGeoTiffRaster r;
    ASSERT_TRUE(r.Open(path));
    std::vector<uint8_t> all(64 * 64);
    ASSERT_TRUE(r.ReadIndexed(0, 0, 0, 64, 64, 1, 1, all.data(), 64));
    ASSERT_TRUE(r.ReadIndexed(0, 0, 0, 64, 64, 1, 1, all.data(), 64));
    EXPECT_EQ(r.BrokenBlocks(), 1);
    // Block 1: tile (16..31, 0..15), or strip rows 16..31.
    const int bx = tile ? 16 : 0, by = tile ? 0 : 16, bw = tile ? 16 : 64;
    int wrong = 0;
    for (int y = 0; y < 64; ++y)
      for (int x = 0; x < 64; ++x) {
        const bool broken = x >= bx && x < bx + bw && y >= by && y < by + 16;
        wrong += all[size_t(y) * 64 + x] != (broken ? 0 : gtfix::Pattern(x, y));
      }
    EXPECT_EQ(wrong, 0);
  }
}

// What is not a chart picture, or beyond the limits, is refused with the
// reason before anything is decoded.
TEST(GeoTiffRaster, RefusesWhatIsNotAChartPicture) {
  TTempDir dir;
  struct Case {
    const char* what;
    TLayout l;
    const char* says;
  };
  auto with = [](auto change) {
    TLayout l;
    change(l);
    return l;
  };
  const Case cases[] = {
      {"16-bit grey", with([](TLayout& l) { l.kind = TKind::Grey, l.sampleBits = 16; }), "not a chart picture: 16-bit"},
      {"floating point", with([](TLayout& l) { l.kind = TKind::Grey, l.sampleBits = 32, l.sampleFormat = SAMPLEFORMAT_IEEEFP; }),
       "not a chart picture: floating-point"},
      {"signed", with([](TLayout& l) { l.kind = TKind::Grey, l.sampleFormat = SAMPLEFORMAT_INT; }),
       "not a chart picture: signed"},
      {"16-bit RGB", with([](TLayout& l) { l.kind = TKind::Rgb, l.sampleBits = 16; }), "not a chart picture: 16-bit"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string path = dir / "x.tif";
    ASSERT_TRUE(gtfix::WriteGeoTiff(path, c.l, Utm33()));
    TGeoTiffRaster r;
    std::string error;
    EXPECT_FALSE(r.Open(path, &error));
    EXPECT_NE(error.find(c.says), std::string::npos) << error;
    EXPECT_FALSE(r.IsOpen());
  }
  // Sizes beyond the limits, as bare directories (one byte of data): a side
  // of 3 000 000 000 pixels, tiles of 16400 x 16400 bytes.
  struct Bare {
    uint32_t width, height, tile;
    const char* says;
  } bare[] = {{3000000000u, 1, 0, "beyond the limit of 2147483647 pixels a side"},
              {20, 20, 16400, "beyond the size limit"}};
  for (const Bare& b : bare) {
    SCOPED_TRACE(b.says);
    TIFF* t = TIFFOpen((dir / "big.tif").c_str(), "w");
    ASSERT_TRUE(t);
    TIFFSetField(t, TIFFTAG_IMAGEWIDTH, b.width);
    TIFFSetField(t, TIFFTAG_IMAGELENGTH, b.height);
    TIFFSetField(t, TIFFTAG_BITSPERSAMPLE, uint16_t(8));
    TIFFSetField(t, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISBLACK);
    TIFFSetField(t, TIFFTAG_COMPRESSION, COMPRESSION_ADOBE_DEFLATE);
    uint8_t z[1] = {0};
    if (b.tile) {
      TIFFSetField(t, TIFFTAG_TILEWIDTH, b.tile);
      TIFFSetField(t, TIFFTAG_TILELENGTH, b.tile);
      TIFFWriteRawTile(t, 0, z, 1);
    } else {
      TIFFSetField(t, TIFFTAG_ROWSPERSTRIP, uint32_t(1));
      TIFFWriteRawStrip(t, 0, z, 1);
    }
    TIFFClose(t);
    TGeoTiffRaster r;
    std::string error;
    EXPECT_FALSE(r.Open(dir / "big.tif", &error));
    EXPECT_NE(error.find(b.says), std::string::npos) << error;
  }
  // Not a TIFF at all.
  WriteTestFile(dir / "no.tif", "GIF89a not a tiff");
  TGeoTiffRaster r;
  std::string error;
  EXPECT_FALSE(r.Open(dir / "no.tif", &error));
  EXPECT_NE(error.find("not a readable TIFF"), std::string::npos) << error;
}

// The pager draws palette GeoTIFFs through their full-resolution rows.
TEST(GeoTiffRaster, IsAPagerSource) {
  TTempDir dir;
  const TLayout l = gtfix::Sized(90, 70, 16);
  ASSERT_TRUE(gtfix::WriteGeoTiff(dir / "t.tif", l, Utm33()));
  TGeoTiffRaster r;
  ASSERT_TRUE(r.Open(dir / "t.tif"));
  TGeoTiffPagerSource s(r);
  EXPECT_EQ(s.SourceWidth(), 90);
  std::vector<uint8_t> rows(3 * 40);
  ASSERT_EQ(s.DecodeLines(10, 5, 40, 3, 20, rows.data(), 40), 3);
  EXPECT_EQ(rows[40 * 2 + 39], gtfix::Pattern(49, 45));
  TColourTable c;
  ASSERT_TRUE(s.PlainColours(c));
  EXPECT_EQ(c[3], gtfix::TestPalette(256)[3]);
  EXPECT_LT(s.DecodeLines(80, 0, 20, 1, 1, rows.data(), 40), 0);
}

// ---------------------------------------------------------------------------
// Georeference of whole files

// Placed by a tie point and a scale, by a rotated matrix, by control points,
// in a system of its own parameters: pixel -> position agrees with PROJ on
// the model coordinates, and back.
TEST(GeoTiffChart, PlacesItsRasterAsItsTagsSay) {
  TTempDir dir;
  const TLayout l = gtfix::Sized(200, 100);
  // UTM 33N and its model coordinates of pixel (x, y).
  auto utm = [](double x, double y) { return std::pair{500000 + 10 * x, 6000000 - 10 * y}; };
  TCrsDefinition utmDef;
  utmDef.ProjText = "EPSG:32633";
  utmDef.Geographic = false;
  TCrsToWgs84 proj;
  ASSERT_TRUE(proj.Setup(utmDef, TCrsBackend::Proj));
  struct Case {
    const char* what;
    gtfix::TGeoTags tags;
    bool exact;
    double tolerance;  // pixels
  };
  std::vector<double> gcps;
  for (double px : {0.0, 200.0, 100.0})
    for (double py : {0.0, 100.0, 50.0}) {
      const auto [X, Y] = utm(px, py);
      gcps.insert(gcps.end(), {px, py, 0, X, Y, 0});
    }
  // The same system as user-defined keys: Transverse Mercator on WGS 84.
  TKeys user;
  user.Short(kGeoKeyModelType, 1).Short(kGeoKeyRasterType, 1).Short(2048, 4326).Short(3072, 32767);
  user.Short(3074, 32767).Short(3075, 1).Short(3076, 9001);
  user.Double(3080, {15}).Double(3081, {0}).Double(3092, {0.9996}).Double(3082, {500000}).Double(3083, {0});
  // A rotation by 90 degrees: pixel x runs south, y runs west... and back.
  const std::vector<double> matrix{0, -10, 0, 500000 + 10 * 100, -10, 0, 0, 6000000 + 10 * 0, 0, 0, 0, 0, 0, 0, 0, 1};
  // The same in feet and in US survey feet: the false easting and the
  // model in the file's unit.
  auto inUnit = [](uint16_t unitCode, double metres) {
    TKeys k;
    k.Short(kGeoKeyModelType, 1).Short(kGeoKeyRasterType, 1).Short(2048, 4326).Short(3072, 32767);
    k.Short(3074, 32767).Short(3075, 1).Short(3076, unitCode);
    k.Double(3080, {15}).Double(3081, {0}).Double(3092, {0.9996}).Double(3082, {500000 / metres}).Double(3083, {0});
    return gtfix::Tags(k, {0, 0, 0, 500000 / metres, 6000000 / metres, 0}, {10 / metres, 10 / metres, 0});
  };
  std::vector<Case> cases = {
      {"tie point and scale", Utm33(), true, 1e-6},
      {"user-defined", gtfix::Tags(user, {0, 0, 0, 500000, 6000000, 0}, {10, 10, 0}), true, 1e-6},
      {"user-defined in feet", inUnit(9002, 0.3048), true, 1e-6},
      {"user-defined in US survey feet", inUnit(9003, 1200.0 / 3937), true, 1e-6},
      {"control points", gtfix::Tags(gtfix::EpsgKeys(32633, false), gcps), false, 0.01},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ASSERT_TRUE(gtfix::WriteGeoTiff(dir / "g.tif", l, c.tags));
    TGeoTiffChart chart;
    std::string error;
    ASSERT_TRUE(chart.Open(dir / "g.tif", &error)) << error;
    EXPECT_EQ(chart.Exact(), c.exact);
    for (double px : {0.0, 37.5, 200.0})
      for (double py : {0.0, 81.25, 100.0}) {
        TFPoint got, want;
        ASSERT_TRUE(chart.PixelToGeo(px, py, got));
        const auto [X, Y] = utm(px, py);
        ASSERT_TRUE(proj.ToWgs84(X, Y, want));
        // 1e-7 rad is about 0.6 m: a pixel is 10 m.
        EXPECT_NEAR(got.X, want.X, 1e-6 * c.tolerance + 1e-10);
        EXPECT_NEAR(got.Y, want.Y, 1e-6 * c.tolerance + 1e-10);
        double bx, by;
        ASSERT_TRUE(chart.GeoToPixel(want, bx, by));
        EXPECT_NEAR(bx, px, c.tolerance);
        EXPECT_NEAR(by, py, c.tolerance);
      }
    // The fit's input: WGS 84 points and the projection closest to UTM.
    EXPECT_EQ(chart.FitGeoRef().Projection, kProjTransverseMercator);
    EXPECT_NEAR(chart.FitGeoRef().Lon0 * kRadToDeg, 15, 1e-9);
    EXPECT_EQ(chart.FitGeoRef().DatumName, "WGS84");
    EXPECT_EQ(chart.FitGeoRef().RefPoints.size(), c.exact ? 25u : 9u);
  }
  // A rotated matrix: the middle of the raster is where the matrix puts it.
  ASSERT_TRUE(gtfix::WriteGeoTiff(dir / "m.tif", l, gtfix::Tags(gtfix::EpsgKeys(32633, false), {}, {}, matrix)));
  TGeoTiffChart chart;
  ASSERT_TRUE(chart.Open(dir / "m.tif"));
  TFPoint got, want;
  ASSERT_TRUE(chart.PixelToGeo(100, 50, got));
  ASSERT_TRUE(proj.ToWgs84(500000 + 1000 - 500, 6000000 - 1000, want));
  EXPECT_NEAR(got.X, want.X, 1e-10);
  EXPECT_NEAR(got.Y, want.Y, 1e-10);
}

// Files that cannot be placed say why, and nothing is left open.
TEST(GeoTiffChart, RefusesFilesItCannotPlace) {
  TTempDir dir;
  TLayout l;
  struct Case {
    const char* what;
    gtfix::TGeoTags tags;
    const char* says;
  };
  gtfix::TGeoTags noKeys = Utm33();
  noKeys.writeKeys = false;
  gtfix::TGeoTags lying = Utm33();
  lying.keys[3] = 40;  // claims 40 keys
  TKeys geocentric;
  geocentric.Short(kGeoKeyModelType, 3);
  // A false easting libgeotiff's fixed buffers cannot print.
  TKeys huge;
  huge.Short(kGeoKeyModelType, 1).Short(2048, 4326).Short(3072, 32767).Short(3074, 32767).Short(3075, 1);
  huge.Double(3080, {15}).Double(3082, {1e300});
  TKeys badMethod;
  badMethod.Short(kGeoKeyModelType, 1).Short(2048, 4326).Short(3072, 32767).Short(3074, 32767).Short(3075, 12345);
  const Case cases[] = {
      {"no tags", gtfix::TGeoTags(), "no georeference"},
      {"no GeoKeys", noKeys, "no coordinate system"},
      {"a lying directory", lying, "claims 40 keys"},
      {"unknown EPSG code", gtfix::Tags(gtfix::EpsgKeys(30000, false), {0, 0, 0, 1, 2, 0}, {1, 1, 0}), "EPSG:30000"},
      {"geocentric", gtfix::Tags(geocentric, {0, 0, 0, 1, 2, 0}, {1, 1, 0}), "geocentric"},
      {"unknown method", gtfix::Tags(badMethod, {0, 0, 0, 1, 2, 0}, {1, 1, 0}),
       "own definition is not supported (projection method 12345)"},
      {"a parameter out of range", gtfix::Tags(huge, {0, 0, 0, 1, 2, 0}, {1, 1, 0}), "out of any usable range"},
      {"zero pixel size", gtfix::Tags(gtfix::EpsgKeys(32633, false), {0, 0, 0, 1, 2, 0}, {10, 0, 0}),
       "cannot be inverted"},
      {"a single tie point", gtfix::Tags(gtfix::EpsgKeys(32633, false), {0, 0, 0, 1, 2, 0}), "single tie point"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ASSERT_TRUE(gtfix::WriteGeoTiff(dir / "x.tif", l, c.tags));
    TGeoTiffChart chart;
    std::string error;
    EXPECT_FALSE(chart.Open(dir / "x.tif", &error));
    EXPECT_NE(error.find(c.says), std::string::npos) << error;
    EXPECT_FALSE(chart.IsOpen());
    TFPoint p;
    EXPECT_FALSE(chart.PixelToGeo(0, 0, p));
  }
  // A plain TIFF scan is no GeoTIFF; a GeoTIFF is.
  ASSERT_TRUE(gtfix::WriteGeoTiff(dir / "plain.tif", l, gtfix::TGeoTags()));
  ASSERT_TRUE(gtfix::WriteGeoTiff(dir / "geo.TIFF", l, Utm33()));
  EXPECT_FALSE(IsGeoTiffFile(dir / "plain.tif"));
  EXPECT_TRUE(IsGeoTiffFile(dir / "geo.TIFF"));
  EXPECT_FALSE(IsGeoTiffFile(dir / "missing.tif"));
}

// The calibration of ours an exactly placed chart gives (for a WCI file or
// a ".CAL"): our fit of its reference points stays within a tenth of a
// pixel of the exact georeference over the whole chart.
TEST(GeoTiffChart, CalibrationFollowsTheExactGeoreference) {
  for (const char* stem : {"14988_2.utm15-nad83", "11361_3.wgs84", "12205_12.3857", "NZ61401.nztm"}) {
    SCOPED_TRACE(stem);
    REQUIRE_TESTDATA(tif, "geotiff/" + std::string(stem) + ".tif");
    TGeoTiffChart chart;
    ASSERT_TRUE(chart.Open(tif));
    TWorldConvert fit;
    ASSERT_TRUE(fit.SetupProjection(chart.FitGeoRef()));
    ASSERT_TRUE(fit.SetRefPoints(chart.FitGeoRef().RefPoints));
    ASSERT_TRUE(fit.Fit());
    double worst = 0;
    for (int i = 0; i <= 20; ++i)
      for (int j = 0; j <= 20; ++j) {
        const double x = double(chart.Width()) * i / 20, y = double(chart.Height()) * j / 20;
        TFPoint pos;
        double ex, ey;
        ASSERT_TRUE(fit.PixelToGeo({x, y}, pos));
        ASSERT_TRUE(chart.GeoToPixel(pos, ex, ey));
        worst = std::max(worst, std::hypot(ex - x, ey - y));
      }
    EXPECT_LT(worst, 0.1);
  }
}
