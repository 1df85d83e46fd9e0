// JPEG and TIFF fixture files written with libjpeg and libtiff.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "charts/ImageChart.h"

// libjpeg's header needs size_t and FILE declared first.
#include <jpeglib.h>
#include <tiffio.h>

namespace jtfix {

using TPixelFn = std::function<TRgb(int x, int y)>;

// A baseline colour JPEG of the pixels; returns the file's bytes.
inline std::string JpegBytes(int w, int h, const TPixelFn& px, int quality = 95) {
  jpeg_compress_struct c{};
  jpeg_error_mgr err{};
  c.err = jpeg_std_error(&err);
  jpeg_create_compress(&c);
  unsigned char* buf = nullptr;
  unsigned long size = 0;
  jpeg_mem_dest(&c, &buf, &size);
  c.image_width = static_cast<JDIMENSION>(w);
  c.image_height = static_cast<JDIMENSION>(h);
  c.input_components = 3;
  c.in_color_space = JCS_RGB;
  jpeg_set_defaults(&c);
  jpeg_set_quality(&c, quality, TRUE);
  jpeg_start_compress(&c, TRUE);
  std::vector<JSAMPLE> row(static_cast<size_t>(w) * 3);
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      const TRgb v = px(x, y);
      row[3 * x] = RgbRed(v);
      row[3 * x + 1] = RgbGreen(v);
      row[3 * x + 2] = RgbBlue(v);
    }
    JSAMPROW r[1] = {row.data()};
    jpeg_write_scanlines(&c, r, 1);
  }
  jpeg_finish_compress(&c);
  std::string out(reinterpret_cast<const char*>(buf), size);
  jpeg_destroy_compress(&c);
  std::free(buf);
  return out;
}

// A TIFF file: 24-bit RGB in strips of `rowsPerStrip` (deflate or none), or
// with `palette` given, an 8-bit palette image of the indexes px returns in
// its low byte.
inline bool WriteTiff(const std::string& path, int w, int h, const TPixelFn& px, bool deflate = true,
                      const std::vector<TRgb>& palette = {}, int rowsPerStrip = 3) {
  TIFF* t = TIFFOpen(path.c_str(), "w");
  if (!t) return false;
  TIFFSetField(t, TIFFTAG_IMAGEWIDTH, static_cast<uint32_t>(w));
  TIFFSetField(t, TIFFTAG_IMAGELENGTH, static_cast<uint32_t>(h));
  TIFFSetField(t, TIFFTAG_BITSPERSAMPLE, 8);
  TIFFSetField(t, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
  TIFFSetField(t, TIFFTAG_ROWSPERSTRIP, static_cast<uint32_t>(rowsPerStrip));
  TIFFSetField(t, TIFFTAG_COMPRESSION, deflate ? COMPRESSION_ADOBE_DEFLATE : COMPRESSION_NONE);
  const bool indexed = !palette.empty();
  std::vector<uint16_t> r(256), g(256), b(256);
  if (indexed) {
    TIFFSetField(t, TIFFTAG_SAMPLESPERPIXEL, 1);
    TIFFSetField(t, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_PALETTE);
    for (size_t i = 0; i < palette.size() && i < 256; ++i) {
      r[i] = static_cast<uint16_t>(RgbRed(palette[i]) * 257);
      g[i] = static_cast<uint16_t>(RgbGreen(palette[i]) * 257);
      b[i] = static_cast<uint16_t>(RgbBlue(palette[i]) * 257);
    }
    TIFFSetField(t, TIFFTAG_COLORMAP, r.data(), g.data(), b.data());
  } else {
    TIFFSetField(t, TIFFTAG_SAMPLESPERPIXEL, 3);
    TIFFSetField(t, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_RGB);
  }
  std::vector<uint8_t> row(static_cast<size_t>(w) * (indexed ? 1 : 3));
  bool ok = true;
  for (int y = 0; y < h && ok; ++y) {
    for (int x = 0; x < w; ++x) {
      const TRgb v = px(x, y);
      if (indexed) {
        row[x] = static_cast<uint8_t>(v);
      } else {
        row[3 * x] = RgbRed(v);
        row[3 * x + 1] = RgbGreen(v);
        row[3 * x + 2] = RgbBlue(v);
      }
    }
    ok = TIFFWriteScanline(t, row.data(), static_cast<uint32_t>(y), 0) == 1;
  }
  TIFFClose(t);
  return ok;
}

// A smooth 24-bit picture with many colours.
inline TRgb Gradient(int x, int y) {
  return MakeRgb(static_cast<uint8_t>(x * 5), static_cast<uint8_t>(y * 7), static_cast<uint8_t>((x + y) * 3));
}

// A chart-like picture of a few flat colours in blocks.
inline TRgb Blocks(int x, int y) {
  static const TRgb kColours[] = {MakeRgb(255, 255, 255), MakeRgb(250, 230, 150), MakeRgb(150, 200, 240),
                                  MakeRgb(20, 20, 20), MakeRgb(200, 40, 40)};
  return kColours[((x / 8) + (y / 8) * 3) % 5];
}

}  // namespace jtfix
