// Colour reduction of 32-bit images to a palette of at most 256 colours, for
// the WCI writer (which takes palettised rows).
//
// An image of 256 colours or fewer keeps its colours exactly. Otherwise the
// palette comes from a median cut over a 6-bit-per-channel histogram: the box
// with the largest (pixels x longest side squared) is split at its pixel
// median along its longest side until there are enough boxes, and each box
// gives the mean colour of its pixels. Pixels map to the palette colour
// nearest their histogram cell (a cell-to-index table, so a row costs one
// table look-up per pixel). No dithering: scanned charts are flat colours and
// dithered rows compress far worse.
#pragma once

#include <cstdint>
#include <vector>

#include "charts/ImageChart.h"
#include "charts/WCIWriter.h"

struct TQuantiseStats {
  // Colours in the source (up to 257: "more than 256") and in the palette.
  int SourceColours = 0;
  int PaletteColours = 0;
  // True when every pixel keeps its colour.
  bool Exact = false;
  // Root mean square of the red, green and blue differences, and the
  // largest single channel difference (0..255), over every pixel.
  double RmsError = 0;
  int MaxError = 0;
};

// Rows of 32-bit colour (0xFFRRGGBB), asked for top to bottom: a decoder
// that streams its rows may have to start again when an earlier row is
// asked for.
class TRgbRows {
 public:
  virtual ~TRgbRows() = default;
  virtual int32_t Width() const = 0;
  virtual int32_t Height() const = 0;
  // Row y (0 = top), Width() colours. False on a read error.
  virtual bool ReadRow(int32_t y, TRgb* dst) = 0;
};

// The rows of an Rgb32 image in memory.
class TImageRgbRows : public TRgbRows {
 public:
  explicit TImageRgbRows(const TChartImage& image) : image_(image) {}
  int32_t Width() const override { return image_.Width; }
  int32_t Height() const override { return image_.Height; }
  bool ReadRow(int32_t y, TRgb* dst) override;

 private:
  const TChartImage& image_;
};

class TColourQuantiser {
 public:
  // Builds the palette for an Rgb32 image (an Indexed8 image keeps its own
  // palette). False for an empty image or maxColours outside 2..256.
  bool Build(const TChartImage& image, int maxColours = 256);
  // The same for rows read once, top to bottom (the colour error comes
  // from the histogram cells' sums, exact without a second pass). False
  // also when a row cannot be read.
  bool Build(TRgbRows& rows, int maxColours = 256);
  const std::vector<TRgb>& Palette() const { return palette_; }
  const TQuantiseStats& Stats() const { return stats_; }
  // The palette index of a colour (the image's colours, or any other).
  uint8_t IndexOf(TRgb colour);
  // A row of TRgb as palette indexes.
  void MapRow(const TRgb* src, int32_t width, uint8_t* dst);

 private:
  static uint32_t Cell(TRgb c) { return ((c >> 18) & 0x3F) << 12 | ((c >> 10) & 0x3F) << 6 | ((c >> 2) & 0x3F); }
  uint8_t Nearest(TRgb c) const;
  void SetExact(std::vector<TRgb> colours);

  std::vector<TRgb> palette_;
  TQuantiseStats stats_;
  bool exact_ = false;
  // Exact: colours sorted, with their indexes. Otherwise: per histogram
  // cell, palette index + 1 (0 = not yet known).
  std::vector<std::pair<TRgb, uint8_t>> exactMap_;
  std::vector<uint16_t> cellIndex_;
  TRgb lastColour_ = 0;
  uint8_t lastIndex_ = 0;
  bool haveLast_ = false;
};

// Rows of 32-bit colour through a quantiser built on them, for the WCI
// writer, top row first (colours numbered in that order).
class TQuantisedRows : public TWCIImageSource {
 public:
  TQuantisedRows(TRgbRows& rows, TColourQuantiser& quantiser) : rows_(rows), q_(quantiser) {}
  int32_t Width() const override { return rows_.Width(); }
  int32_t Height() const override { return rows_.Height(); }
  int ColourCount() const override { return static_cast<int>(q_.Palette().size()); }
  TRgb Colour(int index) const override { return q_.Palette()[static_cast<size_t>(index)]; }
  bool ReadRow(int32_t y, uint8_t* dst) override;

 private:
  TRgbRows& rows_;
  TColourQuantiser& q_;
  std::vector<TRgb> row_;
};

// The rows of a loaded image for the WCI writer: palette images as they are,
// 32-bit images through a quantiser. Rows are numbered bottom row first, as a
// conversion through a BMP file numbers them.
class TChartImageRows : public TWCIImageSource {
 public:
  // `quantiser` must have been built on `image` when it is Rgb32.
  TChartImageRows(const TChartImage& image, TColourQuantiser* quantiser) : image_(image), q_(quantiser) {}
  int32_t Width() const override { return image_.Width; }
  int32_t Height() const override { return image_.Height; }
  int ColourCount() const override;
  TRgb Colour(int index) const override;
  bool ReadRow(int32_t y, uint8_t* dst) override;
  bool BottomUp() const override { return true; }

 private:
  const TChartImage& image_;
  TColourQuantiser* q_;
};
