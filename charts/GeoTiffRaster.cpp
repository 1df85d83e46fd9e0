#include "charts/GeoTiffRaster.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "charts/GeoTiffTags.h"
#include "charts/TiffClient.h"
#include "platform/FileView.h"

// One file the levels come from (the chart, its ".ovr" file).
struct TGeoTiffRaster::TFile {
  TFileView view;
  std::span<const uint8_t> bytes;
  bool fromFile = false;
};

// One level: its own libtiff handle on its directory.
struct TGeoTiffRaster::TLevel {
  TRasterLevel info;
  TTiffSource source;
  TIFF* tif = nullptr;
  int64_t blocksAcross = 0, blocksDown = 0;
  bool separate = false;  // one plane per sample
  int samples = 1;        // samples per pixel as decoded
  int bits = 8;
  int64_t rowBytes = 0;    // of one decoded block row (one plane when separate)
  int64_t blockBytes = 0;  // of one decoded block (one plane when separate)
  TLevel() = default;
  TLevel(const TLevel&) = delete;
  TLevel& operator=(const TLevel&) = delete;
  ~TLevel() {
    if (tif) TIFFClose(tif);
  }
};

struct TGeoTiffRaster::TBlock {
  std::vector<uint8_t> index;  // indexed rasters
  std::vector<TRgb> rgb;       // RGB rasters
  bool broken = false;
  int64_t Bytes() const { return int64_t(index.size()) + 4 * int64_t(rgb.size()) + 64; }
};

namespace {

bool Fail(std::string* error, const std::string& text) {
  if (error) *error = text;
  return false;
}

// The picture format of the directory a handle is on.
struct TFormat {
  TRasterKind kind = TRasterKind::Palette;
  int64_t width = 0, height = 0;
  int bits = 8, samples = 1;
  bool separate = false, tiled = false, minIsWhite = false;
  int64_t blockWidth = 0, blockHeight = 0;
  uint16_t compression = COMPRESSION_NONE;
  uint32_t subfileType = 0;
};

bool ReadFormat(TIFF* tif, TFormat& f, std::string& why) {
  uint32_t w = 0, h = 0;
  if (TIFFGetField(tif, TIFFTAG_IMAGEWIDTH, &w) != 1 || TIFFGetField(tif, TIFFTAG_IMAGELENGTH, &h) != 1 || w == 0 ||
      h == 0) {
    why = "a TIFF picture without a size";
    return false;
  }
  f.width = w;
  f.height = h;
  if (f.width > TGeoTiffRaster::kMaxSide || f.height > TGeoTiffRaster::kMaxSide) {
    why = "a picture of " + std::to_string(f.width) + " x " + std::to_string(f.height) +
          " pixels is beyond the limit of " + std::to_string(TGeoTiffRaster::kMaxSide) + " pixels a side";
    return false;
  }
  uint16_t bits = 1, samples = 1, format = SAMPLEFORMAT_UINT, planar = PLANARCONFIG_CONTIG, photometric = 0;
  TIFFGetFieldDefaulted(tif, TIFFTAG_BITSPERSAMPLE, &bits);
  TIFFGetFieldDefaulted(tif, TIFFTAG_SAMPLESPERPIXEL, &samples);
  TIFFGetFieldDefaulted(tif, TIFFTAG_SAMPLEFORMAT, &format);
  TIFFGetFieldDefaulted(tif, TIFFTAG_PLANARCONFIG, &planar);
  TIFFGetFieldDefaulted(tif, TIFFTAG_COMPRESSION, &f.compression);
  TIFFGetField(tif, TIFFTAG_SUBFILETYPE, &f.subfileType);
  const bool hasPhotometric = TIFFGetField(tif, TIFFTAG_PHOTOMETRIC, &photometric) == 1;
  if (!hasPhotometric) photometric = samples >= 3 ? PHOTOMETRIC_RGB : PHOTOMETRIC_MINISBLACK;
  if (format == SAMPLEFORMAT_IEEEFP || format == SAMPLEFORMAT_COMPLEXIEEEFP) {
    why = "not a chart picture: floating-point samples";
    return false;
  }
  if (format != SAMPLEFORMAT_UINT && format != SAMPLEFORMAT_VOID) {
    why = "not a chart picture: signed samples";
    return false;
  }
  if (bits > 8) {
    why = "not a chart picture: " + std::to_string(bits) + "-bit samples";
    return false;
  }
  if (samples == 0) {
    why = "a TIFF picture without samples";
    return false;
  }
  f.bits = bits;
  f.samples = samples;
  f.separate = planar == PLANARCONFIG_SEPARATE && samples > 1;
  switch (photometric) {
    case PHOTOMETRIC_PALETTE:
      f.kind = TRasterKind::Palette;
      break;
    case PHOTOMETRIC_MINISBLACK:
    case PHOTOMETRIC_MINISWHITE:
      f.kind = TRasterKind::Grey;
      f.minIsWhite = photometric == PHOTOMETRIC_MINISWHITE;
      break;
    case PHOTOMETRIC_RGB:
      f.kind = TRasterKind::Rgb;
      break;
    case PHOTOMETRIC_YCBCR:
      if (f.compression != COMPRESSION_JPEG) {
        why = "YCbCr pictures are read only when JPEG-compressed";
        return false;
      }
      // libjpeg turns them into RGB.
      TIFFSetField(tif, TIFFTAG_JPEGCOLORMODE, JPEGCOLORMODE_RGB);
      f.kind = TRasterKind::Rgb;
      f.samples = 3;
      f.separate = false;
      break;
    default:
      why = "the colour space " + std::to_string(photometric) + " of the picture is not supported";
      return false;
  }
  if (f.kind == TRasterKind::Rgb && (f.bits != 8 || f.samples < 3)) {
    why = "not a chart picture: colour of " + std::to_string(f.bits) + " bits and " + std::to_string(f.samples) +
          " samples";
    return false;
  }
  if (f.kind == TRasterKind::Palette && f.bits != 1 && f.bits != 2 && f.bits != 4 && f.bits != 8) {
    why = "not a chart picture: " + std::to_string(f.bits) + "-bit palette";
    return false;
  }
  if (f.kind == TRasterKind::Grey && f.bits != 1 && f.bits != 2 && f.bits != 4 && f.bits != 8) {
    why = "not a chart picture: " + std::to_string(f.bits) + "-bit grey";
    return false;
  }
  f.tiled = TIFFIsTiled(tif) != 0;
  if (f.tiled) {
    uint32_t tw = 0, th = 0;
    if (TIFFGetField(tif, TIFFTAG_TILEWIDTH, &tw) != 1 || TIFFGetField(tif, TIFFTAG_TILELENGTH, &th) != 1 || tw == 0 ||
        th == 0) {
      why = "tiles without a size";
      return false;
    }
    f.blockWidth = tw;
    f.blockHeight = th;
  } else {
    uint32_t rows = 0;
    TIFFGetFieldDefaulted(tif, TIFFTAG_ROWSPERSTRIP, &rows);
    f.blockWidth = f.width;
    f.blockHeight = std::clamp<int64_t>(rows, 1, f.height);
  }
  const int64_t planeSamples = f.separate ? 1 : f.samples;
  const int64_t rowBytes = (f.blockWidth * planeSamples * f.bits + 7) / 8;
  if (f.blockWidth > TGeoTiffRaster::kMaxSide || rowBytes * f.blockHeight > TGeoTiffRaster::kMaxBlockBytes) {
    why = std::string(f.tiled ? "tiles" : "strips") + " of " + std::to_string(f.blockWidth) + " x " +
          std::to_string(f.blockHeight) + " pixels are beyond the size limit";
    return false;
  }
  return true;
}

bool SameColours(TIFF* a, TIFF* b, int count) {
  uint16_t *r1, *g1, *b1, *r2, *g2, *b2;
  if (TIFFGetField(a, TIFFTAG_COLORMAP, &r1, &g1, &b1) != 1 || TIFFGetField(b, TIFFTAG_COLORMAP, &r2, &g2, &b2) != 1)
    return false;
  const size_t n = static_cast<size_t>(count) * sizeof(uint16_t);
  return std::memcmp(r1, r2, n) == 0 && std::memcmp(g1, g2, n) == 0 && std::memcmp(b1, b2, n) == 0;
}

// The values of a georeferencing tag, of whatever count type libtiff keeps
// it with (an unknown tag, or one registered by another library).
template <class T>
bool TagArray(TIFF* tif, uint32_t tag, TIFFDataType type, std::vector<T>& out) {
  out.clear();
  const TIFFField* fip = TIFFFindField(tif, tag, TIFF_ANY);
  if (!fip || TIFFFieldDataType(fip) != type) return false;
  const void* data = nullptr;
  uint64_t count = 0;
  if (TIFFFieldPassCount(fip)) {
    if (TIFFFieldReadCount(fip) == TIFF_VARIABLE2) {
      uint32_t n = 0;
      if (TIFFGetField(tif, tag, &n, &data) != 1) return false;
      count = n;
    } else {
      uint16_t n = 0;
      if (TIFFGetField(tif, tag, &n, &data) != 1) return false;
      count = n;
    }
  } else {
    return false;
  }
  if (!data || count == 0 || count > (uint64_t(1) << 24)) return false;
  const T* p = static_cast<const T*>(data);
  out.assign(p, p + count);
  return true;
}

void ReadGeoTags(TIFF* tif, TTiffGeoTags& g) {
  TagArray(tif, kTagModelTiepoint, TIFF_DOUBLE, g.Tiepoints);
  TagArray(tif, kTagModelPixelScale, TIFF_DOUBLE, g.PixelScale);
  TagArray(tif, kTagModelTransformation, TIFF_DOUBLE, g.Matrix);
  TagArray(tif, kTagGeoKeyDirectory, TIFF_SHORT, g.GeoKeys);
  TagArray(tif, kTagGeoDoubleParams, TIFF_DOUBLE, g.GeoDoubles);
  std::vector<char> ascii;
  if (TagArray(tif, kTagGeoAsciiParams, TIFF_ASCII, ascii)) {
    g.GeoAscii.assign(ascii.begin(), ascii.end());
    // The terminating NUL (and anything after one).
    g.GeoAscii.resize(std::strlen(g.GeoAscii.c_str()));
  }
}

constexpr uint8_t kMissingIndex = 0;

}  // namespace

TGeoTiffRaster::TGeoTiffRaster() = default;
TGeoTiffRaster::~TGeoTiffRaster() { Close(); }

bool TGeoTiffRaster::PeekGeoTags(const std::string& path, TTiffGeoTags& tags) {
  tags = TTiffGeoTags();
  TFileView view;
  if (!view.Open(path)) return false;
  TTiffSource source;
  source.file = &view;
  TIFF* tif = OpenTiffClient(source, tmsize_t(64) << 20, "rmO");
  if (!tif) return false;
  ReadGeoTags(tif, tags);
  TIFFClose(tif);
  return true;
}

const TRasterLevel& TGeoTiffRaster::Level(int level) const { return levels_[level]->info; }

void TGeoTiffRaster::Close() {
  ClearCache();
  levels_.clear();
  files_.clear();
  broken_.clear();
  stats_ = TStats();
  geoTags_ = TTiffGeoTags();
  documentName_.clear();
  colourCount_ = 0;
}

void TGeoTiffRaster::ClearCache() {
  lru_.clear();
  index_.clear();
  stats_.CachedBytes = 0;
}

bool TGeoTiffRaster::Open(const std::string& path, std::string* error) {
  return OpenSource(path, {}, true, error);
}

bool TGeoTiffRaster::OpenMemory(std::span<const uint8_t> bytes, std::string* error) {
  return OpenSource({}, bytes, false, error);
}

bool TGeoTiffRaster::OpenSource(const std::string& path, std::span<const uint8_t> bytes, bool fromFile,
                                std::string* error) {
  Close();
  auto file = std::make_unique<TFile>();
  file->fromFile = fromFile;
  if (fromFile) {
    if (!file->view.Open(path, error)) return false;
  } else {
    file->bytes = bytes;
  }
  files_.push_back(std::move(file));
  if (!AddLevels(0, false, error)) {
    Close();
    return false;
  }
  // Overviews from the file beside it when the chart has none of its own.
  if (fromFile && levels_.size() == 1) {
    for (const char* ext : {".ovr", ".OVR"}) {
      auto ovr = std::make_unique<TFile>();
      ovr->fromFile = true;
      if (!ovr->view.Open(path + ext)) continue;
      files_.push_back(std::move(ovr));
      std::string ignored;
      AddLevels(static_cast<int>(files_.size()) - 1, true, &ignored);
      break;
    }
  }
  std::sort(levels_.begin() + 1, levels_.end(),
            [](const auto& a, const auto& b) { return a->info.Width > b->info.Width; });
  return true;
}

bool TGeoTiffRaster::AddLevels(int fileIndex, bool external, std::string* error) {
  TFile& file = *files_[fileIndex];
  const bool first = levels_.empty();
  for (tdir_t dir = 0; dir < 64; ++dir) {
    auto lv = std::make_unique<TLevel>();
    lv->source.file = file.fromFile ? &file.view : nullptr;
    lv->source.bytes = file.bytes;
    // Strip and tile offsets are read as they are needed ("O"): a large
    // raster's tables are not read whole for every level.
    lv->tif = OpenTiffClient(lv->source, static_cast<tmsize_t>(kMaxBlockBytes) + (tmsize_t(1) << 20), "rmO");
    if (!lv->tif) {
      if (first && dir == 0) return Fail(error, "not a readable TIFF: " + lv->source.lastError);
      break;
    }
    if (dir > 0 && !TIFFSetDirectory(lv->tif, dir)) break;
    TFormat f;
    std::string why;
    if (!ReadFormat(lv->tif, f, why)) {
      if (first && dir == 0) return Fail(error, why);
      continue;
    }
    if (first && dir == 0) {
      kind_ = f.kind;
      bits_ = f.bits;
      samples_ = f.samples;
      compression_ = f.compression;
      ReadGeoTags(lv->tif, geoTags_);
      char* text = nullptr;
      if (TIFFGetField(lv->tif, TIFFTAG_DOCUMENTNAME, &text) == 1 && text && std::strlen(text) < 256)
        documentName_ = text;
      colourCount_ = kind_ == TRasterKind::Rgb ? 0 : 1 << bits_;
      colours_.fill(MakeRgb(0, 0, 0));
      if (kind_ == TRasterKind::Palette) {
        uint16_t *r, *g, *b;
        if (TIFFGetField(lv->tif, TIFFTAG_COLORMAP, &r, &g, &b) != 1)
          return Fail(error, "a palette picture without its colour table");
        // 16-bit colours; files that hold 8-bit values there are taken as
        // they are, as GDAL takes them.
        uint16_t top = 0;
        for (int i = 0; i < colourCount_; ++i) top = std::max({top, r[i], g[i], b[i]});
        const int div = top < 256 ? 1 : 257;
        for (int i = 0; i < colourCount_; ++i)
          colours_[i] = MakeRgb(uint8_t(r[i] / div), uint8_t(g[i] / div), uint8_t(b[i] / div));
      } else if (kind_ == TRasterKind::Grey) {
        for (int i = 0; i < colourCount_; ++i) {
          const int v = i * 255 / (colourCount_ - 1);
          const uint8_t c = static_cast<uint8_t>(f.minIsWhite ? 255 - v : v);
          colours_[i] = MakeRgb(c, c, c);
        }
      }
    } else {
      // An overview: a reduced image of the same kind of picture, smaller
      // than the full one (masks and other images are passed over).
      const TLevel& base = *levels_[0];
      const bool reduced = external || (f.subfileType & FILETYPE_REDUCEDIMAGE) != 0;
      if (!reduced || (f.subfileType & FILETYPE_MASK) != 0 || f.kind != kind_ || f.bits != bits_ ||
          f.width >= base.info.Width || f.height > base.info.Height ||
          (kind_ == TRasterKind::Palette && !SameColours(base.tif, lv->tif, colourCount_)))
        continue;
      bool dup = false;
      for (const auto& l : levels_) dup = dup || l->info.Width == f.width;
      if (dup) continue;
    }
    lv->info = {f.width, f.height, f.tiled, f.blockWidth, f.blockHeight, external};
    lv->blocksAcross = (f.width + f.blockWidth - 1) / f.blockWidth;
    lv->blocksDown = (f.height + f.blockHeight - 1) / f.blockHeight;
    lv->separate = f.separate;
    lv->samples = f.samples;
    lv->bits = f.bits;
    lv->rowBytes = (f.blockWidth * (f.separate ? 1 : f.samples) * f.bits + 7) / 8;
    lv->blockBytes = lv->rowBytes * f.blockHeight;
    levels_.push_back(std::move(lv));
  }
  return true;
}

int TGeoTiffRaster::LevelForZoom(double zoom) const {
  int best = 0;
  if (levels_.empty() || !(zoom > 0)) return 0;
  for (int i = 1; i < LevelCount(); ++i) {
    const double scale = double(Level(i).Width) / double(Width());
    if (scale >= zoom * (1 - 1e-9)) best = i;
  }
  return best;
}

bool TGeoTiffRaster::DecodeBlock(TLevel& lv, int64_t bx, int64_t by, TBlock& block) {
  const int64_t bw = lv.info.BlockWidth, bh = lv.info.BlockHeight;
  const size_t pixels = static_cast<size_t>(bw * bh);
  const bool indexed = Indexed();
  if (indexed)
    block.index.assign(pixels, kMissingIndex);
  else
    block.rgb.assign(pixels, kMissingRgb);
  // Rows of the block inside the picture (the last strip is shorter).
  const int64_t rows = lv.info.Tiled ? bh : std::min(bh, lv.info.Height - by * bh);
  const int planes = lv.separate ? std::min(lv.samples, indexed ? 1 : 3) : 1;
  const int64_t perPlane = lv.blocksAcross * lv.blocksDown;
  const int64_t blockIndex = by * lv.blocksAcross + bx;
  const tmsize_t want = static_cast<tmsize_t>(lv.rowBytes * rows);
  const tmsize_t room = std::max<tmsize_t>(want, lv.info.Tiled ? TIFFTileSize(lv.tif) : TIFFStripSize(lv.tif));
  if (raw_.size() < static_cast<size_t>(room) * planes) raw_.resize(static_cast<size_t>(room) * planes);
  bool whole = true;
  int64_t goodRows = rows;
  for (int p = 0; p < planes; ++p) {
    uint8_t* buf = raw_.data() + static_cast<size_t>(room) * p;
    const int64_t index = blockIndex + p * perPlane;
    const tmsize_t got = lv.info.Tiled ? TIFFReadEncodedTile(lv.tif, static_cast<uint32_t>(index), buf, room)
                                       : TIFFReadEncodedStrip(lv.tif, static_cast<uint32_t>(index), buf, room);
    if (got < want) {
      whole = false;
      goodRows = std::min<int64_t>(goodRows, got <= 0 ? 0 : got / lv.rowBytes);
    }
  }
  const int bits = lv.bits;
  for (int64_t y = 0; y < goodRows; ++y) {
    const uint8_t* row = raw_.data() + static_cast<size_t>(y * lv.rowBytes);
    if (indexed) {
      uint8_t* out = block.index.data() + static_cast<size_t>(y * bw);
      if (bits == 8) {
        const int s = lv.separate ? 1 : lv.samples;
        if (s == 1)
          std::memcpy(out, row, static_cast<size_t>(bw));
        else
          for (int64_t x = 0; x < bw; ++x) out[x] = row[x * s];
      } else {
        // Sub-byte samples, the first sample of each pixel, high bits first.
        const int s = lv.separate ? 1 : lv.samples;
        const int mask = (1 << bits) - 1;
        for (int64_t x = 0; x < bw; ++x) {
          const int64_t bit = x * s * bits;
          out[x] = static_cast<uint8_t>((row[bit >> 3] >> (8 - bits - (bit & 7))) & mask);
        }
      }
    } else {
      TRgb* out = block.rgb.data() + static_cast<size_t>(y * bw);
      if (lv.separate) {
        const uint8_t* r = row;
        const uint8_t* g = row + room;
        const uint8_t* b = row + 2 * room;
        for (int64_t x = 0; x < bw; ++x) out[x] = MakeRgb(r[x], g[x], b[x]);
      } else {
        const int s = lv.samples;
        for (int64_t x = 0; x < bw; ++x) out[x] = MakeRgb(row[x * s], row[x * s + 1], row[x * s + 2]);
      }
    }
  }
  block.broken = !whole;
  return whole;
}

const TGeoTiffRaster::TBlock* TGeoTiffRaster::GetBlock(int level, int64_t bx, int64_t by) {
  TLevel& lv = *levels_[level];
  const TKey key{level, by * lv.blocksAcross + bx};
  if (auto it = index_.find(key); it != index_.end()) {
    ++stats_.CacheHits;
    lru_.splice(lru_.begin(), lru_, it->second);
    return lru_.front().second.get();
  }
  auto block = std::make_unique<TBlock>();
  ++stats_.BlocksDecoded;
  if (!DecodeBlock(lv, bx, by, *block) && broken_.emplace(key, true).second) ++stats_.BrokenBlocks;
  stats_.CachedBytes += block->Bytes();
  lru_.emplace_front(key, std::move(block));
  index_[key] = lru_.begin();
  return lru_.front().second.get();
}

void TGeoTiffRaster::TrimCache() {
  while (lru_.size() > 1 && stats_.CachedBytes > CacheBudget) {
    stats_.CachedBytes -= lru_.back().second->Bytes();
    index_.erase(lru_.back().first);
    lru_.pop_back();
  }
}

template <class T, class Put>
bool TGeoTiffRaster::ReadWindow(int level, int64_t x0, int64_t y0, int32_t cols, int32_t rows, int32_t stepX,
                                int32_t stepY, T* dst, size_t dstStride, Put put) {
  if (level < 0 || level >= LevelCount() || cols < 1 || rows < 1 || stepX < 1 || stepY < 1 || x0 < 0 || y0 < 0 ||
      !dst)
    return false;
  const TLevel& lv = *levels_[level];
  if (x0 + int64_t(cols - 1) * stepX >= lv.info.Width || y0 + int64_t(rows - 1) * stepY >= lv.info.Height)
    return false;
  const int64_t bw = lv.info.BlockWidth, bh = lv.info.BlockHeight;
  // The blocks of the current block row, by block column from the first.
  const int64_t bx0 = x0 / bw, bx1 = (x0 + int64_t(cols - 1) * stepX) / bw;
  std::vector<const TBlock*> band(static_cast<size_t>(bx1 - bx0 + 1), nullptr);
  int64_t bandRow = -1;
  for (int32_t l = 0; l < rows; ++l) {
    const int64_t y = y0 + int64_t(l) * stepY;
    const int64_t by = y / bh;
    if (by != bandRow) {
      // Blocks of the finished band may go now, not while it is in use.
      TrimCache();
      std::fill(band.begin(), band.end(), nullptr);
      bandRow = by;
    }
    const int64_t yIn = y - by * bh;
    T* out = dst + static_cast<size_t>(l) * dstStride;
    int64_t k = 0;
    while (k < cols) {
      const int64_t x = x0 + k * stepX;
      const int64_t bx = x / bw;
      const TBlock*& block = band[static_cast<size_t>(bx - bx0)];
      if (!block) block = GetBlock(level, bx, by);
      // Window columns inside this block.
      const int64_t blockEnd = std::min((bx + 1) * bw, lv.info.Width);
      const int64_t kEnd = std::min<int64_t>(cols, (blockEnd - x0 + stepX - 1) / stepX);
      // Index in the block of window column k: yIn * bw + (x - bx * bw).
      const int64_t base = yIn * bw - bx * bw;
      if (const T* direct = put.Row(*block); direct && stepX == 1) {
        std::memcpy(out + k, direct + base + x0 + k, static_cast<size_t>(kEnd - k) * sizeof(T));
        k = kEnd;
      }
      for (; k < kEnd; ++k) out[k] = put(*block, static_cast<size_t>(base + x0 + k * stepX));
    }
  }
  TrimCache();
  return true;
}

namespace {

// How a window's pixels come out of a block: the block's own pixels (Row:
// copied as they are), or indexes through the colour table (Row null).
struct TIndexOut {
  uint8_t operator()(const TGeoTiffRaster::TBlock& b, size_t i) const;
  const uint8_t* Row(const TGeoTiffRaster::TBlock& b) const;
};
struct TRgbOut {
  TRgb operator()(const TGeoTiffRaster::TBlock& b, size_t i) const;
  const TRgb* Row(const TGeoTiffRaster::TBlock& b) const;
};
struct TColourOut {
  const TColourTable& colours;
  TRgb operator()(const TGeoTiffRaster::TBlock& b, size_t i) const;
  const TRgb* Row(const TGeoTiffRaster::TBlock&) const { return nullptr; }
};

uint8_t TIndexOut::operator()(const TGeoTiffRaster::TBlock& b, size_t i) const { return b.index[i]; }
const uint8_t* TIndexOut::Row(const TGeoTiffRaster::TBlock& b) const { return b.index.data(); }
TRgb TRgbOut::operator()(const TGeoTiffRaster::TBlock& b, size_t i) const { return b.rgb[i]; }
const TRgb* TRgbOut::Row(const TGeoTiffRaster::TBlock& b) const { return b.rgb.data(); }
TRgb TColourOut::operator()(const TGeoTiffRaster::TBlock& b, size_t i) const { return colours[b.index[i]]; }

}  // namespace

bool TGeoTiffRaster::ReadIndexed(int level, int64_t x0, int64_t y0, int32_t cols, int32_t rows, int32_t stepX,
                                 int32_t stepY, uint8_t* dst, size_t dstStride) {
  if (!Indexed()) return false;
  return ReadWindow(level, x0, y0, cols, rows, stepX, stepY, dst, dstStride, TIndexOut());
}

bool TGeoTiffRaster::ReadRgb(int level, int64_t x0, int64_t y0, int32_t cols, int32_t rows, int32_t stepX,
                             int32_t stepY, TRgb* dst, size_t dstStridePixels) {
  if (Indexed()) return ReadWindow(level, x0, y0, cols, rows, stepX, stepY, dst, dstStridePixels, TColourOut{colours_});
  return ReadWindow(level, x0, y0, cols, rows, stepX, stepY, dst, dstStridePixels, TRgbOut());
}

int32_t TGeoTiffPagerSource::SourceWidth() const {
  return raster_.IsOpen() ? static_cast<int32_t>(raster_.Width()) : 0;
}
int32_t TGeoTiffPagerSource::SourceHeight() const {
  return raster_.IsOpen() ? static_cast<int32_t>(raster_.Height()) : 0;
}

int32_t TGeoTiffPagerSource::DecodeLines(int32_t x0, int32_t y0, int32_t w, int32_t lines, int32_t step, uint8_t* dst,
                                         size_t dstStride) {
  if (!raster_.IsOpen() || !raster_.Indexed()) return -1;
  return raster_.ReadIndexed(0, x0, y0, w, lines, 1, step, dst, dstStride) ? lines : -1;
}

bool TGeoTiffPagerSource::PlainColours(TColourTable& colours) const {
  if (!raster_.IsOpen() || !raster_.Indexed()) return false;
  colours = raster_.Colours();
  return true;
}
