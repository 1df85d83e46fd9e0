// The WCI chart file: our own format, one palettised chart image compressed
// row by row together with its calibration header text.
//
// Layout (numbers little-endian):
//   0   "WCI", version 1, depth d, colour count (0 = 256), 1, 1,
//       attribute bytes 0..3 (byte 3 bit 1: cache disabled), width and
//       height (16 bits each)
//   16  file offset of the calibration text (32 bits)
//   20  row index: one 32-bit entry per row, top row first, then the file
//       offset of the palette
//   ... row data; the palette (blue, green, red per colour); the text
//       (CR LF separated lines), the byte 0x1A and four upper-case
//       hexadecimal digits of the text's check value.
//
// A row index entry carries the row's coding in its top two bits: 01 runs at
// the offset in the low 30 bits, 11 one colour (the low byte), 00 a zlib
// stream at the offset, 10 never written (a blank row). The data of a row of
// kind 00 or 01 reaches to the next entry of either kind (the palette offset
// counts).
//
// TWCIDecoder reads such files for the plotter and the calibration tool. The
// file is read through a bounded pread view: a truncated or damaged file is
// refused or shown as far as it goes, never read beyond its end.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "charts/PagerSource.h"
#include "foundation/Types.h"
#include "platform/FileView.h"

// The check value of a WCI text: CRC-CCITT (polynomial 0x1021, most
// significant bit first, start value 0, no augmentation). "abc" gives 0x1EE4.
uint16_t WCICheckValue(std::string_view bytes);
// The same as the four upper-case hexadecimal digits stored in the file.
std::string WCICheckText(std::string_view bytes);

// The run coding of a depth: colour = (b AND 0x7F) shr Shift, count bits
// b AND Mask, long-count flag LongFlag. Only depths 0..6 have run coding
// (files of more than 64 colours store their rows deflated).
struct TWCIRunCoding {
  bool Valid = false;
  int Shift = 0;
  uint8_t Mask = 0;
  uint8_t LongFlag = 0;
};
TWCIRunCoding WCIRunCoding(int depth);

// One run of a run-coded row.
struct TWCIRun {
  uint8_t Colour = 0;
  uint32_t Pixels = 0;  // count + 1
  uint8_t Bytes = 0;    // 1, 2 or 3
};
// Reads the run starting at bytes[0]. False when the bytes end inside it.
bool ReadWCIRun(const uint8_t* bytes, size_t available, const TWCIRunCoding& coding, TWCIRun& run);

class TWCIDecoder : public TPagerSource {
 public:
  TWCIDecoder();
  ~TWCIDecoder() override;
  TWCIDecoder(const TWCIDecoder&) = delete;
  TWCIDecoder& operator=(const TWCIDecoder&) = delete;

  // Shade value of the rendered chart, -99..99: 0 plain colours, positive
  // darker, negative inverted and darker.
  int Brightness = 0;
  // Deflated rows are inflated whole and kept, up to this many bytes (0:
  // none), so that windows side by side (a pan sideways) do not inflate the
  // same rows again. Takes effect at the next Open.
  int64_t RowCacheBytes = 16 << 20;

  // Opens a chart for display. Returns the file size; -1 when the file
  // cannot be read, is not a WCI file, is damaged beyond use or has version
  // byte 0; minus the version byte for any other version than 1. Closes the
  // chart opened before.
  int64_t Open(const std::string& file);
  // Reads the header, palette and text and closes the file again: 1 on
  // success, 0 on a read error or damage, -1 for a file that is not WCI (or
  // has version 0), minus the version byte for another version.
  int ReadHeaderOnly(const std::string& file);
  void Close();
  bool IsOpen() const { return open_; }

  const std::string& FileName() const { return fileName_; }
  int64_t FileSize() const { return fileSize_; }
  // The calibration text (CR LF separated lines), as UTF-8.
  const std::string& HeaderText() const { return text_; }
  // Whether the four check characters after the text match it.
  bool HeaderCheckMatches() const { return textCheckOK_; }

  int32_t Width() const { return width_; }
  int32_t Height() const { return height_; }
  int Depth() const { return depth_; }
  int ColourCount() const { return colours_; }
  bool CacheDisabled() const { return (attributes_[3] & 0x02) != 0; }
  uint8_t Attribute(int byte) const { return byte >= 0 && byte < 4 ? attributes_[byte] : 0; }
  int32_t TextOffset() const { return static_cast<int32_t>(textOffset_); }
  // Rows that failed to decode since the chart was opened.
  int64_t ErrorCount() const { return errors_; }

  // 40 bytes: width, -height (top-down), 1 plane, 8 bits, no compression,
  // image size stride * height, 256 colours used.
  void FillBitmapHeader(TBitmapHeader& header) const;
  // Colour entries 0 .. colours - 1 from the palette, shaded by Brightness;
  // the other entries black.
  void FillColourTable(TColourTable& table) const;
  // All 256 palette slots shaded by Brightness (what a logical palette was
  // on systems that had them).
  TColourTable CreatePalette() const;

  // Decodes the window (origin, size) at row step `step` into `stream`:
  // output line k (row origin.Y + k * step) at k * stride, stride the
  // clipped width rounded up to 4 bytes; the stream grows when it is too
  // small. Returns the row reached after the last decoded row, 0 when no
  // chart is open or the window is invalid.
  int32_t DecodeWindow(TPoint origin, TPoint size, std::vector<uint8_t>& stream, int32_t step);

  // TPagerSource
  int32_t SourceWidth() const override { return open_ ? width_ : 0; }
  int32_t SourceHeight() const override { return open_ ? height_ : 0; }
  int32_t DecodeLines(int32_t x0, int32_t y0, int32_t w, int32_t lines, int32_t step, uint8_t* dst,
                      size_t dstStride) override;
  bool PlainColours(TColourTable& colours) const override;

  // Writes the whole image of a WCI file as an 8-bit BMP (bottom-up rows,
  // 256 colour entries). Returns the number of rows written, 0 on failure.
  // Leaves this decoder closed.
  int64_t ExportBMP(const std::string& wciFile, const std::string& bmpFile);

  // Replaces the calibration text of a WCI file: the new text, its 0x1A and
  // check value are appended and the text offset is switched to them. The
  // file is rewritten whole through a temporary file, so an interruption
  // leaves the old file. Returns the new file size, -1 on failure, minus the
  // version byte for another version. Leaves this decoder closed.
  int64_t ReplaceHeaderText(const std::string& file, const std::string& text);

  // Sets or clears bit `bit` (0..7) of attribute byte `byte` (0..3) of a WCI
  // file. Returns the attribute byte before the change; -1 for a byte above
  // 3 or a bit above 7 (the file is left alone), for a file that cannot be
  // changed or is not WCI; minus the version byte for another version. A
  // change rewrites the file through a temporary file. Leaves this decoder
  // closed.
  int SetAttributeBit(const std::string& file, int byte, int bit, bool on);

  // Maximum length of a calibration text; a longer one is cut with a warning.
  static constexpr size_t kMaxTextLength = 1 << 20;

 private:
  struct TInflater;

  // Reads and checks header, index, palette and text from file_; the result
  // as ReadHeaderOnly.
  int LoadHeader(bool* notWCI);
  void ResetState();
  // Decodes pixels [x0, x0 + w) of one row into out; false when the row is
  // damaged (the pixels that could not be decoded are set to 0).
  bool DecodeRow(int32_t row, int32_t x0, int32_t w, uint8_t* out);
  // The runs at [offset, end).
  bool DecodeRunRow(uint64_t offset, uint64_t end, int32_t x0, int32_t w, uint8_t* out);
  bool DecodeDeflateRow(int32_t row, int32_t x0, int32_t w, uint8_t* out);
  // Inflates the zlib stream at [offset, end) into up to `need` bytes of
  // `target`; returns the bytes produced.
  size_t Inflate(uint64_t offset, uint64_t end, uint8_t* target, size_t need);

  TFileView file_;
  bool open_ = false;
  std::string fileName_;
  int64_t fileSize_ = 0;
  int depth_ = 0;
  int colours_ = 0;
  uint8_t attributes_[4] = {0, 0, 0, 0};
  int32_t width_ = 0;
  int32_t height_ = 0;
  uint32_t textOffset_ = 0;
  uint32_t paletteOffset_ = 0;
  TWCIRunCoding coding_;
  std::vector<uint32_t> index_;    // height_ entries
  std::vector<uint32_t> dataEnd_;  // per row: where its data ends
  TColourTable palette_{};         // unshaded, 0xFFRRGGBB
  std::string text_;
  bool textCheckOK_ = false;
  int64_t errors_ = 0;
  std::vector<uint8_t> rowBuffer_;
  std::unique_ptr<TInflater> inflater_;
  // Inflated rows: slot (row mod slots) holds row rowCacheRow_[slot] (-1:
  // none). An odd slot count keeps rows taken at any small step apart.
  std::vector<uint8_t> rowCache_;
  std::vector<int32_t> rowCacheRow_;
  int32_t rowCacheSlots_ = -1;  // -1: not set up yet
};
