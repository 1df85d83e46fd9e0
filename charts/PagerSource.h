// What the bitmap pager draws from: a palettised raster that can decode any
// window of its rows on demand (the WCI decoder, the KAP decoder, an image
// held in memory), and the bitmap description the decoders fill in.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

// Colours of colour tables and screen pixels: 0xFFRRGGBB.
using TRgb = uint32_t;
using TColourTable = std::array<TRgb, 256>;

// The 40-byte header of a device-independent bitmap, as stored in BMP files
// (little-endian there).
struct TBitmapHeader {
  uint32_t Size = 40;
  int32_t Width = 0;
  int32_t Height = 0;  // negative: rows top-down
  uint16_t Planes = 1;
  uint16_t BitCount = 8;
  uint32_t Compression = 0;
  uint32_t SizeImage = 0;
  int32_t XPelsPerMeter = 0;
  int32_t YPelsPerMeter = 0;
  uint32_t ClrUsed = 0;
  uint32_t ClrImportant = 0;
  friend bool operator==(const TBitmapHeader&, const TBitmapHeader&) = default;
};

// The header as the 40 bytes of a BMP file.
std::string BitmapHeaderBytes(const TBitmapHeader& header);

// Row stride of an 8-bit bitmap: the width rounded up to a multiple of 4.
inline int64_t BitmapStride(int64_t width) { return width <= 0 ? 0 : (width + 3) / 4 * 4; }

// Number of rows a window of `h` rows from `y0` gives at row step `step` in
// an image of `height` rows: rows y0, y0 + step, ... below
// min(y0 + h, height) - (step - 1).
int32_t WindowLineCount(int32_t y0, int32_t h, int32_t step, int32_t height);

class TPagerSource {
 public:
  virtual ~TPagerSource() = default;

  // The raster size; 0 when nothing is open.
  virtual int32_t SourceWidth() const { return 0; }
  virtual int32_t SourceHeight() const { return 0; }

  // Decodes `lines` rows y0, y0 + step, y0 + 2 * step, ..., each from column
  // x0 for `w` pixels, into `dst`: line k at dst + k * dstStride, one palette
  // index per pixel. The window must lie inside the raster (x0 >= 0,
  // x0 + w <= width, the last row below height, step >= 1). A row that
  // cannot be decoded (damage) keeps index 0 where it could not be read and
  // is counted by the source; the other rows are decoded as usual. Returns
  // the number of lines delivered, or a negative value when nothing can be
  // decoded (no chart open, window outside the raster).
  virtual int32_t DecodeLines(int32_t x0, int32_t y0, int32_t w, int32_t lines, int32_t step, uint8_t* dst,
                              size_t dstStride) {
    (void)x0, (void)y0, (void)w, (void)lines, (void)step, (void)dst, (void)dstStride;
    return -1;
  }

  // The chart's own colours without night shading. The "black on white"
  // reduction keeps what is dark on the paper chart, whatever the shading
  // makes of it. False when the source does not know them.
  virtual bool PlainColours(TColourTable& colours) const {
    (void)colours;
    return false;
  }
};
