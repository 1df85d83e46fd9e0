// The raster of a GeoTIFF (or of any TIFF chart picture), read through
// libtiff a window at a time: only the strips or tiles a window touches are
// decoded, and a small cache keeps decoded ones within a byte budget.
//
// Pictures are palette, grey (both read as 8-bit colour indexes with their
// colour table) or RGB(A) (read as 0xFFRRGGBB pixels, alpha dropped), 1, 2,
// 4 or 8 bits per sample for indexes and 8 for colour, stripped or tiled,
// compressed in any way libtiff decodes. Samples of 16 bits, signed or
// floating-point samples are refused: "not a chart picture".
//
// The levels are the full-resolution raster and its overviews: the file's
// own reduced-resolution images, or, when it has none, those of an overview
// file beside it ("<file>.ovr", as GDAL makes them). They are the pyramid a
// zoomed-out view draws from.
//
// A strip or tile that cannot be decoded is counted (BrokenBlocks) and reads
// as missing (index 0, kMissingRgb), never as a crash; the file is only ever
// read, never mapped.
#pragma once

#include <cstdint>
#include <list>
#include <memory>
#include <span>
#include <string>
#include <unordered_map>
#include <vector>

#include "charts/ImageChart.h"
#include "charts/PagerSource.h"

enum class TRasterKind : uint8_t { Palette, Grey, Rgb };

// What an unreadable block of an RGB raster shows.
inline constexpr TRgb kMissingRgb = 0xFF808080;

struct TRasterLevel {
  int64_t Width = 0;
  int64_t Height = 0;
  bool Tiled = false;
  // The tile size, or the width and rows per strip.
  int64_t BlockWidth = 0;
  int64_t BlockHeight = 0;
  bool External = false;  // from the ".ovr" file
};

// The values of one TIFF tag of the georeference (as many as the file holds).
struct TTiffGeoTags {
  std::vector<double> Tiepoints, PixelScale, Matrix, GeoDoubles;
  std::vector<uint16_t> GeoKeys;
  std::string GeoAscii;
  bool Any() const { return !Tiepoints.empty() || !PixelScale.empty() || !Matrix.empty() || !GeoKeys.empty(); }
};

class TGeoTiffRaster {
 public:
  TGeoTiffRaster();
  ~TGeoTiffRaster();
  TGeoTiffRaster(const TGeoTiffRaster&) = delete;
  TGeoTiffRaster& operator=(const TGeoTiffRaster&) = delete;

  // Opens the file read-only and describes its raster, its overviews
  // included. False with the reason: not a TIFF, not a chart picture,
  // beyond the size limits, a layout libtiff cannot read.
  bool Open(const std::string& path, std::string* error = nullptr);
  // The same over bytes in memory, which must outlive the raster (no
  // overview file).
  bool OpenMemory(std::span<const uint8_t> bytes, std::string* error = nullptr);
  void Close();
  bool IsOpen() const { return !levels_.empty(); }

  TRasterKind Kind() const { return kind_; }
  bool Indexed() const { return kind_ != TRasterKind::Rgb; }
  int64_t Width() const { return levels_.empty() ? 0 : Level(0).Width; }
  int64_t Height() const { return levels_.empty() ? 0 : Level(0).Height; }
  int BitsPerSample() const { return bits_; }
  int SamplesPerPixel() const { return samples_; }
  // libtiff's compression code (COMPRESSION_*).
  int Compression() const { return compression_; }
  // Palette and grey rasters: the colour of each index (2^bits entries).
  const TColourTable& Colours() const { return colours_; }
  int ColourCount() const { return colourCount_; }

  // Level 0 is the full-resolution raster, then the overviews, each smaller.
  int LevelCount() const { return static_cast<int>(levels_.size()); }
  const TRasterLevel& Level(int level) const;
  // The smallest level that still has at least `zoom` of the full
  // resolution's pixels per full-resolution pixel (level 0 for a zoom of 1
  // or more).
  int LevelForZoom(double zoom) const;

  // Reads cols x rows pixels of a level: pixel (k, l) of the window is the
  // level's pixel (x0 + k * stepX, y0 + l * stepY), window line l at
  // dst + l * dstStride. The window must lie inside the level. ReadIndexed
  // is for palette and grey rasters; ReadRgb gives any raster's colours.
  // False when the window is not inside the level or nothing is open.
  bool ReadIndexed(int level, int64_t x0, int64_t y0, int32_t cols, int32_t rows, int32_t stepX, int32_t stepY,
                   uint8_t* dst, size_t dstStride);
  bool ReadRgb(int level, int64_t x0, int64_t y0, int32_t cols, int32_t rows, int32_t stepX, int32_t stepY, TRgb* dst,
               size_t dstStridePixels);

  // The georeferencing tags of the full-resolution image.
  const TTiffGeoTags& GeoTags() const { return geoTags_; }
  // The same read from a file's first image alone; false when it is not a
  // readable TIFF.
  static bool PeekGeoTags(const std::string& path, TTiffGeoTags& tags);
  // The document name the file gives itself ("" if none).
  const std::string& DocumentName() const { return documentName_; }

  // Bytes of decoded blocks the cache keeps (at least one block is kept).
  int64_t CacheBudget = int64_t(32) << 20;

  struct TStats {
    int64_t BlocksDecoded = 0;
    int64_t CacheHits = 0;
    int64_t BrokenBlocks = 0;  // distinct blocks that could not be decoded
    int64_t CachedBytes = 0;
  };
  const TStats& Stats() const { return stats_; }
  int64_t BrokenBlocks() const { return stats_.BrokenBlocks; }
  void ClearCache();

  // A side beyond this is refused.
  static constexpr int64_t kMaxSide = INT32_MAX;
  // A decoded strip or tile beyond this (bytes) is refused.
  static constexpr int64_t kMaxBlockBytes = int64_t(256) << 20;

  struct TLevel;
  struct TBlock;

 private:
  bool OpenSource(const std::string& path, std::span<const uint8_t> bytes, bool fromFile, std::string* error);
  bool AddLevels(int file, bool external, std::string* error);
  const TBlock* GetBlock(int level, int64_t bx, int64_t by);
  bool DecodeBlock(TLevel& lv, int64_t bx, int64_t by, TBlock& block);
  // Drops the least recently used blocks beyond the budget.
  void TrimCache();
  template <class T, class Put>
  bool ReadWindow(int level, int64_t x0, int64_t y0, int32_t cols, int32_t rows, int32_t stepX, int32_t stepY,
                  T* dst, size_t dstStride, Put put);

  struct TFile;
  std::vector<std::unique_ptr<TFile>> files_;
  std::vector<std::unique_ptr<TLevel>> levels_;
  TRasterKind kind_ = TRasterKind::Palette;
  int bits_ = 8;
  int samples_ = 1;
  int compression_ = 1;
  TColourTable colours_{};
  int colourCount_ = 0;
  TTiffGeoTags geoTags_;
  std::string documentName_;

  struct TKey {
    int level;
    int64_t block;
    bool operator==(const TKey&) const = default;
  };
  struct TKeyHash {
    size_t operator()(const TKey& k) const { return std::hash<int64_t>()(k.block * 31 + k.level); }
  };
  // Most recently used first.
  std::list<std::pair<TKey, std::unique_ptr<TBlock>>> lru_;
  std::unordered_map<TKey, decltype(lru_)::iterator, TKeyHash> index_;
  std::vector<uint8_t> raw_;
  // Blocks found broken (level, block), each counted once.
  std::unordered_map<TKey, bool, TKeyHash> broken_;
  TStats stats_;
};

// The raster's full-resolution pixels as a pager source (palette and grey
// rasters): DecodeLines reads rows of level 0.
class TGeoTiffPagerSource : public TPagerSource {
 public:
  explicit TGeoTiffPagerSource(TGeoTiffRaster& raster) : raster_(raster) {}
  int32_t SourceWidth() const override;
  int32_t SourceHeight() const override;
  int32_t DecodeLines(int32_t x0, int32_t y0, int32_t w, int32_t lines, int32_t step, uint8_t* dst,
                      size_t dstStride) override;
  bool PlainColours(TColourTable& colours) const override;

 private:
  TGeoTiffRaster& raster_;
};
