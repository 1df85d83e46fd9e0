// GeoTIFF fixture files written with libtiff: any picture layout, overviews
// (internal or in an ".ovr" file), and the georeferencing tags as raw
// values, so that tests can also write tags that lie.
#pragma once

#include <tiffio.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "charts/GeoTiffTags.h"
#include "charts/ImageChart.h"

namespace gtfix {

// A GeoKey directory built key by key.
struct TKeys {
  std::vector<std::array<uint16_t, 4>> entries;
  std::vector<double> doubles;
  std::string ascii;

  TKeys& Short(uint16_t id, uint16_t v) {
    entries.push_back({id, 0, 1, v});
    return *this;
  }
  TKeys& Double(uint16_t id, std::vector<double> v) {
    entries.push_back({id, uint16_t(kTagGeoDoubleParams), uint16_t(v.size()), uint16_t(doubles.size())});
    doubles.insert(doubles.end(), v.begin(), v.end());
    return *this;
  }
  TKeys& Ascii(uint16_t id, const std::string& v) {
    entries.push_back({id, uint16_t(kTagGeoAsciiParams), uint16_t(v.size() + 1), uint16_t(ascii.size())});
    ascii += v + "|";
    return *this;
  }
  std::vector<uint16_t> Directory() const {
    std::vector<uint16_t> d{1, 1, 0, uint16_t(entries.size())};
    for (const auto& e : entries) d.insert(d.end(), e.begin(), e.end());
    return d;
  }
};

// Keys of a system known by its EPSG code.
inline TKeys EpsgKeys(int code, bool geographic, bool pixelIsPoint = false) {
  TKeys k;
  k.Short(kGeoKeyModelType, geographic ? 2 : 1).Short(kGeoKeyRasterType, pixelIsPoint ? 2 : 1);
  k.Short(geographic ? kGeoKeyGeographicType : kGeoKeyProjectedType, uint16_t(code));
  return k;
}

struct TGeoTags {
  std::vector<double> tiepoints, scale, matrix;
  std::vector<uint16_t> keys;
  std::vector<double> doubles;
  std::string ascii;
  bool writeKeys = true;
};

inline TGeoTags Tags(const TKeys& k, std::vector<double> tiepoints, std::vector<double> scale = {},
                     std::vector<double> matrix = {}) {
  TGeoTags t;
  t.keys = k.Directory();
  t.doubles = k.doubles;
  t.ascii = k.ascii;
  t.tiepoints = std::move(tiepoints);
  t.scale = std::move(scale);
  t.matrix = std::move(matrix);
  return t;
}

enum class TKind { Palette, Grey, GreyWhite, Rgb, Rgba };

struct TLayout {
  int width = 64, height = 48;
  TKind kind = TKind::Palette;
  int bits = 8;
  int tile = 0;  // 0: stripped
  int rowsPerStrip = 5;
  uint16_t compression = COMPRESSION_ADOBE_DEFLATE;
  bool separate = false;
  bool jpeg = false;      // YCbCr JPEG (tiles of 16)
  int overviews = 0;      // halving levels after the full image
  bool externalOverviews = false;  // in path + ".ovr" instead
  bool mask = false;      // a transparency mask directory after the image
  uint16_t sampleFormat = SAMPLEFORMAT_UINT;
  int sampleBits = 0;     // bits of a refused layout (16, 32), overrides `bits`
};

inline TLayout Sized(int width, int height, int tile = 0) {
  TLayout l;
  l.width = width;
  l.height = height;
  l.tile = tile;
  return l;
}

// Pixel values: indexes (their low bits) or colours.
using TIndexFn = std::function<uint8_t(int64_t x, int64_t y)>;
using TRgbFn = std::function<TRgb(int64_t x, int64_t y)>;

inline uint8_t Pattern(int64_t x, int64_t y) { return uint8_t(x * 7 + y * 13 + (x / 5) * (y / 3)); }
inline TRgb ColourPattern(int64_t x, int64_t y) { return MakeRgb(uint8_t(x * 3 + y), uint8_t(y * 5), uint8_t(x ^ y)); }
// Smooth enough for JPEG.
inline TRgb SmoothPattern(int64_t x, int64_t y) {
  return MakeRgb(uint8_t(40 + x), uint8_t(200 - y), uint8_t(100 + (x + y) / 4));
}

inline std::vector<TRgb> TestPalette(int n) {
  std::vector<TRgb> p;
  for (int i = 0; i < n; ++i) p.push_back(MakeRgb(uint8_t(i * 37), uint8_t(255 - i), uint8_t(i * 11)));
  return p;
}

namespace detail {

inline void RegisterGeoTags(TIFF* t) {
  static const TIFFFieldInfo kInfo[] = {
      {kTagModelPixelScale, TIFF_VARIABLE2, TIFF_VARIABLE2, TIFF_DOUBLE, FIELD_CUSTOM, 1, 1,
       const_cast<char*>("ModelPixelScale")},
      {kTagModelTiepoint, TIFF_VARIABLE2, TIFF_VARIABLE2, TIFF_DOUBLE, FIELD_CUSTOM, 1, 1,
       const_cast<char*>("ModelTiepoint")},
      {kTagModelTransformation, TIFF_VARIABLE2, TIFF_VARIABLE2, TIFF_DOUBLE, FIELD_CUSTOM, 1, 1,
       const_cast<char*>("ModelTransformation")},
      {kTagGeoKeyDirectory, TIFF_VARIABLE2, TIFF_VARIABLE2, TIFF_SHORT, FIELD_CUSTOM, 1, 1,
       const_cast<char*>("GeoKeyDirectory")},
      {kTagGeoDoubleParams, TIFF_VARIABLE2, TIFF_VARIABLE2, TIFF_DOUBLE, FIELD_CUSTOM, 1, 1,
       const_cast<char*>("GeoDoubleParams")},
      {kTagGeoAsciiParams, TIFF_VARIABLE, TIFF_VARIABLE, TIFF_ASCII, FIELD_CUSTOM, 1, 0,
       const_cast<char*>("GeoAsciiParams")},
  };
  TIFFMergeFieldInfo(t, kInfo, 6);
}

inline void SetGeoTags(TIFF* t, const TGeoTags& g) {
  auto put = [&](uint32_t tag, const std::vector<double>& v) {
    if (!v.empty()) TIFFSetField(t, tag, uint32_t(v.size()), v.data());
  };
  put(kTagModelTiepoint, g.tiepoints);
  put(kTagModelPixelScale, g.scale);
  put(kTagModelTransformation, g.matrix);
  if (g.writeKeys && !g.keys.empty()) {
    TIFFSetField(t, kTagGeoKeyDirectory, uint32_t(g.keys.size()), g.keys.data());
    put(kTagGeoDoubleParams, g.doubles);
    if (!g.ascii.empty()) TIFFSetField(t, kTagGeoAsciiParams, g.ascii.c_str());
  }
}

inline int Samples(const TLayout& l) {
  switch (l.kind) {
    case TKind::Rgb: return 3;
    case TKind::Rgba: return 4;
    default: return 1;
  }
}

// One directory: the picture at 1 / factor of the full size.
inline bool WriteImage(TIFF* t, const TLayout& l, int factor, bool reduced, const TIndexFn& index,
                       const TRgbFn& colour, const std::vector<TRgb>& palette) {
  const int w = (l.width + factor - 1) / factor, h = (l.height + factor - 1) / factor;
  const int spp = Samples(l);
  const int bits = l.sampleBits ? l.sampleBits : l.bits;
  TIFFSetField(t, TIFFTAG_IMAGEWIDTH, uint32_t(w));
  TIFFSetField(t, TIFFTAG_IMAGELENGTH, uint32_t(h));
  TIFFSetField(t, TIFFTAG_BITSPERSAMPLE, uint16_t(bits));
  TIFFSetField(t, TIFFTAG_SAMPLESPERPIXEL, uint16_t(spp));
  TIFFSetField(t, TIFFTAG_SAMPLEFORMAT, l.sampleFormat);
  TIFFSetField(t, TIFFTAG_PLANARCONFIG, l.separate ? PLANARCONFIG_SEPARATE : PLANARCONFIG_CONTIG);
  if (reduced) TIFFSetField(t, TIFFTAG_SUBFILETYPE, FILETYPE_REDUCEDIMAGE);
  if (l.kind == TKind::Rgba) {
    const uint16_t extra[] = {EXTRASAMPLE_UNASSALPHA};
    TIFFSetField(t, TIFFTAG_EXTRASAMPLES, 1, extra);
  }
  if (l.jpeg) {
    TIFFSetField(t, TIFFTAG_COMPRESSION, COMPRESSION_JPEG);
    TIFFSetField(t, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_YCBCR);
    TIFFSetField(t, TIFFTAG_JPEGQUALITY, 95);
    TIFFSetField(t, TIFFTAG_JPEGCOLORMODE, JPEGCOLORMODE_RGB);
  } else {
    TIFFSetField(t, TIFFTAG_COMPRESSION, l.compression);
    uint16_t photometric = PHOTOMETRIC_PALETTE;
    if (l.kind == TKind::Grey) photometric = PHOTOMETRIC_MINISBLACK;
    if (l.kind == TKind::GreyWhite) photometric = PHOTOMETRIC_MINISWHITE;
    if (l.kind == TKind::Rgb || l.kind == TKind::Rgba) photometric = PHOTOMETRIC_RGB;
    TIFFSetField(t, TIFFTAG_PHOTOMETRIC, photometric);
  }
  if (l.kind == TKind::Palette) {
    const size_t n = size_t(1) << bits;
    std::vector<uint16_t> r(n), g(n), b(n);
    for (size_t i = 0; i < n && i < palette.size(); ++i) {
      r[i] = uint16_t(RgbRed(palette[i]) * 257);
      g[i] = uint16_t(RgbGreen(palette[i]) * 257);
      b[i] = uint16_t(RgbBlue(palette[i]) * 257);
    }
    TIFFSetField(t, TIFFTAG_COLORMAP, r.data(), g.data(), b.data());
  }
  const int bw = l.tile ? l.tile : w, bh = l.tile ? l.tile : std::min(l.rowsPerStrip, h);
  if (l.tile) {
    TIFFSetField(t, TIFFTAG_TILEWIDTH, uint32_t(l.tile));
    TIFFSetField(t, TIFFTAG_TILELENGTH, uint32_t(l.tile));
  } else {
    TIFFSetField(t, TIFFTAG_ROWSPERSTRIP, uint32_t(bh));
  }
  const int planes = l.separate ? spp : 1, planeSpp = l.separate ? 1 : spp;
  const size_t rowBytes = (size_t(bw) * planeSpp * bits + 7) / 8;
  std::vector<uint8_t> buf;
  for (int p = 0; p < planes; ++p)
    for (int by = 0; by < h; by += bh)
      for (int bx = 0; bx < w; bx += bw) {
        const int rows = l.tile ? bh : std::min(bh, h - by);
        buf.assign(rowBytes * rows, 0);
        for (int y = 0; y < rows; ++y)
          for (int x = 0; x < bw; ++x) {
            // Beyond the picture (tile padding) the edge pixels repeat, as
            // encoders pad: JPEG blocks then have no edge to ring at.
            const int64_t fx = int64_t(std::min(bx + x, w - 1)) * factor, fy = int64_t(std::min(by + y, h - 1)) * factor;
            uint8_t* row = buf.data() + rowBytes * y;
            if (spp == 1) {
              const unsigned v = bits >= 8 ? index(fx, fy) : index(fx, fy) & ((1u << bits) - 1);
              if (bits == 8) {
                row[x] = uint8_t(v);
              } else if (bits < 8) {
                const int bit = x * bits;
                row[bit / 8] |= uint8_t(v << (8 - bits - bit % 8));
              } else {
                // 16 or 32 bits: any value, the layout is refused anyway.
                row[x * bits / 8] = uint8_t(v);
              }
            } else {
              const TRgb c = colour(fx, fy);
              const uint8_t s[4] = {RgbRed(c), RgbGreen(c), RgbBlue(c), 200};
              if (l.separate)
                row[x] = s[p];
              else
                for (int k = 0; k < spp; ++k) row[x * spp + k] = s[k];
            }
          }
        const tmsize_t n = tmsize_t(buf.size());
        if (l.tile) {
          if (TIFFWriteEncodedTile(t, TIFFComputeTile(t, uint32_t(bx), uint32_t(by), 0, uint16_t(p)), buf.data(), n) < 0)
            return false;
        } else {
          if (TIFFWriteEncodedStrip(t, TIFFComputeStrip(t, uint32_t(by), uint16_t(p)), buf.data(), n) < 0) return false;
        }
      }
  return TIFFWriteDirectory(t) == 1;
}

}  // namespace detail

// Writes the picture (and its overviews) with the tags; true on success.
inline bool WriteGeoTiff(const std::string& path, const TLayout& l, const TGeoTags& tags,
                         const TIndexFn& index = Pattern, const TRgbFn& colour = ColourPattern,
                         const std::vector<TRgb>& palette = TestPalette(256)) {
  TIFF* t = TIFFOpen(path.c_str(), "w");
  if (!t) return false;
  detail::RegisterGeoTags(t);
  detail::SetGeoTags(t, tags);
  bool ok = detail::WriteImage(t, l, 1, false, index, colour, palette);
  if (ok && l.mask) {
    // A transparency mask (1 bit, all opaque), as GDAL writes one.
    TLayout m = l;
    m.kind = TKind::Grey;
    m.bits = 1;
    m.jpeg = false;
    m.separate = false;
    TIFFSetField(t, TIFFTAG_SUBFILETYPE, FILETYPE_MASK);
    ok = detail::WriteImage(t, m, 1, false, [](int64_t, int64_t) { return uint8_t(1); }, colour, palette);
  }
  for (int k = 1; ok && k <= l.overviews && !l.externalOverviews; ++k)
    ok = detail::WriteImage(t, l, 1 << k, true, index, colour, palette);
  TIFFClose(t);
  if (ok && l.externalOverviews && l.overviews > 0) {
    TIFF* o = TIFFOpen((path + ".ovr").c_str(), "w");
    if (!o) return false;
    for (int k = 1; ok && k <= l.overviews; ++k) ok = detail::WriteImage(o, l, 1 << k, k > 1, index, colour, palette);
    TIFFClose(o);
  }
  return ok;
}

// Offset and size of one strip or tile of the first image.
inline bool BlockPlace(const std::string& path, uint32_t block, uint64_t& offset, uint64_t& size) {
  // The georeferencing tags are unknown to libtiff: no warnings about them.
  const TIFFErrorHandler warnings = TIFFSetWarningHandler(nullptr);
  TIFF* t = TIFFOpen(path.c_str(), "r");
  TIFFSetWarningHandler(warnings);
  if (!t) return false;
  const bool tiled = TIFFIsTiled(t);
  uint64_t *offsets = nullptr, *sizes = nullptr;
  const bool ok = TIFFGetField(t, tiled ? TIFFTAG_TILEOFFSETS : TIFFTAG_STRIPOFFSETS, &offsets) == 1 &&
                  TIFFGetField(t, tiled ? TIFFTAG_TILEBYTECOUNTS : TIFFTAG_STRIPBYTECOUNTS, &sizes) == 1;
  if (ok) {
    offset = offsets[block];
    size = sizes[block];
  }
  TIFFClose(t);
  return ok;
}

}  // namespace gtfix
