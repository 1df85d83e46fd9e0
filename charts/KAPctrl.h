// The BSB/KAP raster decoder, also for NOS rasters named by a ".GEO" file.
//
// A KAP file is a text header ended by the byte 0x1A, a depth byte d (bits
// of colour index per run byte), run-length coded rows and, at its end, an
// index of the file offsets of the rows. The decoder reads the header and
// the row index once when a chart is opened and then decodes any window of
// the chart, optionally every n-th row only, as palette indexes (one byte
// per pixel: KAP colour c becomes c - 1) into rows the caller provides. It
// never holds the whole picture.
//
// Chart files come from anywhere and may be damaged or cut short: every
// read is bounded by the file, and a row that cannot be decoded is left as
// index 0 and counted, while the rest of the window is still decoded. The
// file is read with pread (TFileView), so a chart removed or truncated while
// it is open cannot crash the program.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "charts/ImageChart.h"
#include "charts/PagerSource.h"
#include "foundation/Types.h"
#include "platform/FileView.h"

struct RChartInfo;

// The colour tables a BSB header may carry: "RGB/" (the standard colours),
// "DAY/", "DSK/" (dusk) and "NGT/" (night).
enum class TKAPPalette : uint8_t { Rgb, Day, Dusk, Night };

class TKAPDecoder : public TPagerSource {
 public:
  TKAPDecoder();
  ~TKAPDecoder() override;
  TKAPDecoder(const TKAPDecoder&) = delete;
  TKAPDecoder& operator=(const TKAPDecoder&) = delete;

  // Opens a ".KAP" raster, or the raster a ".GEO" file names, for decoding.
  // Returns the raster file size, or -1 when the file cannot be read or is
  // not a KAP/NOS raster (LastError says why). Closes any chart opened
  // before. A row index that is missing or damaged is rebuilt by reading the
  // rows in sequence; the open still succeeds.
  int64_t Open(const std::string& fileName);
  // The same on a raster held in memory (the bytes must stay valid until
  // Close). With geoText, the raster is a NOS raster and geoText the text of
  // its ".GEO" file.
  int64_t OpenMemory(std::span<const uint8_t> raster, std::string_view geoText = {});
  // Reads the header and colour tables and closes the file again; the
  // header lines, colours and size stay valid. False when the header cannot
  // be read.
  bool ReadHeaderOnly(const std::string& fileName);
  void Close();
  bool IsOpen() const { return open_; }

  int32_t Width() const { return width_; }
  int32_t Height() const { return height_; }
  // Bits of colour index per run byte, 1..7.
  int Depth() const { return depth_; }
  // Width rounded up to a multiple of 4 bytes.
  int32_t Stride() const { return (width_ + 3) & ~3; }
  // Stride * Height.
  int64_t ImageSize() const { return int64_t(Stride()) * height_; }

  // Shade of the colours, -99..99 (values beyond count as the limit): 0
  // plain, positive darker, negative inverted and darker.
  int Brightness = 0;
  // Chooses the colour table the colours come from; a table the header does
  // not have falls back to "RGB/". False when it fell back.
  bool SetPalette(TKAPPalette palette);
  TKAPPalette Palette() const { return palette_; }
  bool HasPalette(TKAPPalette palette) const { return hasPalette_[static_cast<int>(palette)]; }

  // The header of an 8-bit top-down bitmap of the whole chart (128 colours
  // used).
  void FillBitmapHeader(TBitmapHeader& header) const;
  // The colour table for decoded pixels: entry n - 1 is KAP colour n
  // (n = 1..127), shaded by Brightness; the other entries are black.
  void FillColourTable(TColourTable& table) const;
  // Entry k is KAP colour k (k = 0..127; colour 0 is black), shaded.
  std::array<TRgb, 128> CreatePalette() const;
  // The unshaded colour of KAP colour index n (0..127) in the current table.
  TRgb SlotColour(int n) const;

  // Decodes the window (columns origin.X .. origin.X + size.X, rows
  // origin.Y .. origin.Y + size.Y, clipped to the chart) keeping every
  // step-th row, into `stream`: rows top-down, each padded to a multiple of
  // 4 bytes. The stream grows to hold the rows (at least one) and never
  // shrinks. Returns the row reached (origin row + rows decoded * step), 0
  // when no chart is open or the window is empty.
  int DecodeWindow(const TPoint& origin, const TPoint& size, std::vector<uint8_t>& stream, int step);
  // The same into caller-provided rows: row k of the output (chart row
  // y0 + k * step) starts at dst + k * dstStride and receives w bytes. The
  // caller provides WindowLines(h, step) rows (h, w clipped to the chart).
  // Returns the number of rows written, 0 for an empty window.
  int DecodeRows(int32_t x0, int32_t y0, int32_t w, int32_t h, int step, uint8_t* dst, size_t dstStride);
  // Output rows of a window of h rows at a step: h / step, and at least 1.
  static int64_t WindowLines(int64_t h, int step);
  // Decodes columns x0 .. x0 + w of row y into dst (w bytes). False when the
  // row is damaged or missing: what could be decoded is there, the rest is 0.
  bool DecodeRow(int32_t y, int32_t x0, int32_t w, uint8_t* dst);

  // The pager's view of the chart.
  int32_t SourceWidth() const override { return open_ ? width_ : 0; }
  int32_t SourceHeight() const override { return open_ ? height_ : 0; }
  // `lines` rows y0, y0 + step, ... of columns x0 .. x0 + w into dst (line k
  // at dst + k * dstStride). The window must lie inside the chart. Returns
  // the lines delivered, -1 when nothing can be decoded.
  int32_t DecodeLines(int32_t x0, int32_t y0, int32_t w, int32_t lines, int32_t step, uint8_t* dst,
                      size_t dstStride) override;
  // The colour table without shading (entry n - 1 = KAP colour n).
  bool PlainColours(TColourTable& colours) const override;

  // Rows that failed to decode since the chart was opened.
  int64_t RowErrors() const { return rowErrors_; }
  // The row index at the end of the file could not be used; rows were found
  // by reading them in sequence.
  bool IndexRebuilt() const { return indexRebuilt_; }
  // Rows for which there is no data at all.
  int32_t MissingRows() const { return missingRows_; }
  const std::string& LastError() const { return lastError_; }

  // Header look-ups (keys in upper case; the first matching line wins).
  std::string FindLine(std::string_view key) const;
  std::string FindLineNoSpace(std::string_view key) const;
  static std::string FindSimple(std::string_view key, const std::vector<std::string>& lines);
  std::string FindText(std::string_view key) const;
  static std::string Item(std::string_view key, std::string_view text, int n);

  const std::vector<std::string>& HeaderLines() const { return header_; }
  const std::vector<std::string>& GeoLines() const { return geo_; }
  bool IsNOS() const { return nos_; }
  const std::string& RasterFileName() const { return rasterName_; }
  const std::string& GeoFileName() const { return geoName_; }

  // Fills the record from the header (BSB) or from the ".GEO" file and the
  // raster header (NOS). The caller clears the record first. False when the
  // header is not a chart header.
  bool ReadInfo(RChartInfo& info);

  // The largest header read (bytes up to 0x1A).
  static constexpr size_t kMaxHeaderBytes = 4 << 20;
  // The largest chart side accepted.
  static constexpr int32_t kMaxSide = 1000000;

 private:
  int64_t OpenFile(const std::string& fileName, bool headerOnly);
  int64_t OpenSource(bool headerOnly);
  void ResetHeader();
  bool ReadHeader();
  void ReadRowIndex();
  void ScanRows(uint64_t limit);
  void BuildColourTables();
  std::span<const uint8_t> Bytes(uint64_t offset, size_t n);
  bool Fail(const std::string& text);

  // The raster: a file view, or bytes in memory.
  TFileView view_;
  std::span<const uint8_t> memory_;
  bool fromMemory_ = false;
  uint64_t size_ = 0;
  bool open_ = false;

  std::vector<std::string> header_;
  std::vector<std::string> geo_;
  bool nos_ = false;
  std::string rasterName_;
  std::string geoName_;

  int32_t width_ = 0;
  int32_t height_ = 0;
  int depth_ = 0;
  uint32_t countMask_ = 0;
  // Pixel value (KAP colour - 1; colour 0 gives 0) of every run byte.
  std::array<uint8_t, 256> value_{};
  uint64_t dataStart_ = 0;
  // Byte range of every row; start 0: no data for the row.
  std::vector<uint32_t> rowStart_;
  std::vector<uint32_t> rowEnd_;
  size_t maxRowBytes_ = 0;

  std::array<std::array<TRgb, 128>, 4> tables_{};
  std::array<bool, 4> hasPalette_{};
  TKAPPalette palette_ = TKAPPalette::Rgb;

  int64_t rowErrors_ = 0;
  bool indexRebuilt_ = false;
  int32_t missingRows_ = 0;
  std::string lastError_;
};
