// The WCI writer: turns a palettised image and a calibration header into a
// WCI file (layout in WCIctrl.h).
//
// Only the colours the image uses are kept, renumbered in the order they are
// first met (in the source's file order); each row is stored as one colour,
// as runs or deflated, whichever is smallest by the rules below; the palette
// and the calibration text with its check value follow the rows. The image
// is never held in memory: it is read twice, row by row (once to number the
// colours, once to code the rows), and the new file is written beside the
// target and renamed over it only when it is complete.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "charts/PagerSource.h"
#include "platform/FileView.h"

// An image that cannot be converted ("This BMP has no Palette", "This BMP
// can not be converted to WCI") or a file that cannot be written.
class EWCIConvertError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// A palettised image, read row by row.
class TWCIImageSource {
 public:
  virtual ~TWCIImageSource() = default;
  virtual int32_t Width() const = 0;
  virtual int32_t Height() const = 0;
  // The colour table: ColourCount() entries 0xFFRRGGBB (1..256).
  virtual int ColourCount() const = 0;
  virtual TRgb Colour(int index) const = 0;
  // Row y (0 = top) as palette indexes, Width() bytes. False on a read
  // error.
  virtual bool ReadRow(int32_t y, uint8_t* dst) = 0;
  // Whether the rows are stored bottom row first (a BMP file): colours are
  // numbered in the order the file holds them.
  virtual bool BottomUp() const { return false; }
};

// An uncompressed BMP file of 4 or 8 bits per pixel with a colour table
// (rows bottom-up, or top-down for a negative height).
class TBMPImageSource : public TWCIImageSource {
 public:
  // Raises EWCIConvertError for a file that is not such a BMP.
  explicit TBMPImageSource(const std::string& file);
  int32_t Width() const override { return width_; }
  int32_t Height() const override { return height_; }
  int ColourCount() const override { return static_cast<int>(palette_.size()); }
  TRgb Colour(int index) const override { return palette_[index]; }
  bool ReadRow(int32_t y, uint8_t* dst) override;
  bool BottomUp() const override { return bottomUp_; }

 private:
  TFileView file_;
  int32_t width_ = 0;
  int32_t height_ = 0;
  int bits_ = 8;
  bool bottomUp_ = true;
  uint64_t pixelOffset_ = 0;
  size_t stride_ = 0;
  std::vector<TRgb> palette_;
};

// The rows a pager source (a chart decoder) gives, with its colour table.
class TPagerImageSource : public TWCIImageSource {
 public:
  TPagerImageSource(TPagerSource& source, const TColourTable& colours, int colourCount)
      : source_(source), colours_(colours), count_(colourCount) {}
  int32_t Width() const override { return source_.SourceWidth(); }
  int32_t Height() const override { return source_.SourceHeight(); }
  int ColourCount() const override { return count_; }
  TRgb Colour(int index) const override { return colours_[index]; }
  bool ReadRow(int32_t y, uint8_t* dst) override {
    return source_.DecodeLines(0, y, Width(), 1, 1, dst, static_cast<size_t>(Width())) == 1;
  }

 private:
  TPagerSource& source_;
  TColourTable colours_;
  int count_;
};

// Codes a row of pixels as runs at a depth (0..6), appending to `out`.
void EncodeWCIRuns(const uint8_t* row, int32_t width, int depth, std::vector<uint8_t>& out);

class TWCIWriter {
 public:
  TWCIWriter();
  ~TWCIWriter();
  TWCIWriter(const TWCIWriter&) = delete;
  TWCIWriter& operator=(const TWCIWriter&) = delete;

  // Deflate is chosen for a row only when it beats the runs by this factor
  // (a value that is not positive counts as 1.5).
  double CompressionRatio = 1.5;
  // Progress: caption ("Sorting", "Saving"), position, maximum; a last call
  // with an empty caption and maximum 0 ends the display.
  std::function<void(const std::string& caption, int position, int max)> Progress;
  // Ask before an existing target is replaced (the question of
  // ConfirmDeleteFile); off: replace it.
  bool ConfirmReplace = true;

  // Converts a BMP file. Returns the size of the written file, or -1 when
  // the user declined to replace an existing one. Raises EWCIConvertError.
  int64_t Convert(const std::string& bmpFile, const std::string& wciFile, const std::vector<std::string>& headerLines);
  // The same for any palettised image.
  int64_t Convert(TWCIImageSource& image, const std::string& wciFile, const std::vector<std::string>& headerLines);

  // How the rows of the last conversion were stored.
  struct TRowCounts {
    int64_t OneColour = 0;
    int64_t Runs = 0;
    int64_t Deflated = 0;
  };
  const TRowCounts& RowCounts() const { return counts_; }
  // Colour numbering of the last conversion: new index of each source index,
  // -1 for colours not used.
  const std::vector<int>& ColourMap() const { return colourMap_; }

 private:
  struct TDeflater;
  void Report(const std::string& caption, int position, int max);

  std::unique_ptr<TDeflater> deflater_;
  TRowCounts counts_;
  std::vector<int> colourMap_;
  int lastReported_ = -1;
};

// The calibration text as the writer stores it: the lines (UTF-8) in
// Windows-1252, each ended by CR LF, then the line
// "!File Generated by Brismare Utilities" and CR LF; bytes 0x1A removed.
std::string WCITextBytes(const std::vector<std::string>& headerLines);
