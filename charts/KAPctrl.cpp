#include "charts/KAPctrl.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <exception>

#include "charts/ByteOrder.h"
#include "charts/FileNames.h"
#include "charts/HeaderText.h"
#include "foundation/GenUtil.h"
#include "foundation/NumText.h"
#include "foundation/TextCodec.h"
#include "platform/AtomicFile.h"
#include "platform/Paths.h"

namespace {

constexpr size_t kChunk = 64 * 1024;
// Zero bytes that may stand between the 0x1A and the depth byte.
constexpr size_t kMaxJunkBytes = 100;
// Run lengths are kept below this while their extension bytes are added up.
constexpr uint32_t kRunCap = 1u << 24;
// The largest ".GEO" file read.
constexpr uint64_t kMaxGeoBytes = 4 << 20;

// Item n after the key, but only when the value has that many items.
bool CountItem(std::string_view key, std::string_view value, int n, int32_t& out) {
  const size_t at = FindItemKey(value, key);
  if (at == std::string_view::npos) return false;
  const std::vector<std::string> items = SplitCommaItems(value.substr(at));
  if (items.size() < static_cast<size_t>(n)) return false;
  const auto v = TryStrToInt(items[static_cast<size_t>(n - 1)]);
  if (!v) return false;
  out = *v;
  return true;
}

}  // namespace

TKAPDecoder::TKAPDecoder() = default;

TKAPDecoder::~TKAPDecoder() { Close(); }

bool TKAPDecoder::Fail(const std::string& text) {
  lastError_ = text;
  return false;
}

void TKAPDecoder::Close() {
  view_.Close();
  memory_ = {};
  fromMemory_ = false;
  size_ = 0;
  open_ = false;
  rowStart_.clear();
  rowStart_.shrink_to_fit();
  rowEnd_.clear();
  rowEnd_.shrink_to_fit();
}

std::span<const uint8_t> TKAPDecoder::Bytes(uint64_t offset, size_t n) {
  if (fromMemory_) {
    if (offset >= memory_.size()) return {};
    return memory_.subspan(static_cast<size_t>(offset), std::min<uint64_t>(n, memory_.size() - offset));
  }
  return view_.View(offset, n);
}

int64_t TKAPDecoder::Open(const std::string& fileName) { return OpenFile(fileName, false); }

void TKAPDecoder::ResetHeader() {
  header_.clear();
  width_ = height_ = 0;
  depth_ = 0;
  hasPalette_.fill(false);
  for (auto& t : tables_) t.fill(MakeRgb(0, 0, 0));
}

int64_t TKAPDecoder::OpenFile(const std::string& fileName, bool headerOnly) {
  Close();
  ResetHeader();
  geo_.clear();
  nos_ = false;
  geoName_.clear();
  rasterName_.clear();
  lastError_.clear();
  std::string geoText;
  if (UpperExtension(fileName) == ".GEO") {
    if (!ReadWholeFile(fileName, geoText, nullptr, kMaxGeoBytes)) {
      Fail("cannot read " + fileName);
      return -1;
    }
    geo_ = SplitTextLines(DecodeFileText(geoText));
    nos_ = true;
    geoName_ = fileName;
    // The raster lies beside the ".GEO" file, whatever directory the text
    // gives it.
    const std::string bitmap = ForeignFileName(HeaderFindLineNoSpace(geo_, "BITMAP="));
    const auto found = bitmap.empty() ? std::nullopt : FindFileCaseInsensitive(DirectoryOf(fileName), bitmap);
    if (!found) {
      Fail("the raster \"" + bitmap + "\" of " + fileName + " was not found");
      return -1;
    }
    rasterName_ = *found;
  } else {
    rasterName_ = fileName;
  }
  std::string error;
  if (!view_.Open(rasterName_, &error)) {
    Fail(error);
    return -1;
  }
  size_ = view_.Size();
  return OpenSource(headerOnly);
}

int64_t TKAPDecoder::OpenMemory(std::span<const uint8_t> raster, std::string_view geoText) {
  Close();
  ResetHeader();
  geo_.clear();
  geoName_.clear();
  rasterName_.clear();
  lastError_.clear();
  nos_ = !geoText.empty();
  if (nos_) geo_ = SplitTextLines(DecodeFileText(geoText));
  memory_ = raster;
  fromMemory_ = true;
  size_ = raster.size();
  return OpenSource(false);
}

bool TKAPDecoder::ReadHeaderOnly(const std::string& fileName) {
  const bool ok = OpenFile(fileName, true) >= 0;
  Close();
  return ok;
}

int64_t TKAPDecoder::OpenSource(bool headerOnly) {
  open_ = true;
  rowErrors_ = 0;
  indexRebuilt_ = false;
  missingRows_ = 0;
  if (!ReadHeader()) {
    Close();
    return -1;
  }
  if (!headerOnly) ReadRowIndex();
  return static_cast<int64_t>(size_);
}

bool TKAPDecoder::ReadHeader() {
  ResetHeader();

  // The text up to the 0x1A.
  std::string raw;
  uint64_t pos = 0;
  bool found = false;
  while (raw.size() < kMaxHeaderBytes) {
    const std::span<const uint8_t> s = Bytes(pos, kChunk);
    if (s.empty()) break;
    const void* z = std::memchr(s.data(), 0x1A, s.size());
    const size_t take = z ? static_cast<size_t>(static_cast<const uint8_t*>(z) - s.data()) : s.size();
    raw.append(reinterpret_cast<const char*>(s.data()), take);
    pos += take;
    if (z) {
      found = true;
      break;
    }
  }
  if (!found) return Fail("the chart header has no end mark (0x1A)");
  const uint64_t headerEnd = pos;
  const std::string text = DecodeFileText(raw);
  header_ = SplitTextLines(text);
  if (UpperAscii(text).find(nos_ ? "NOS/" : "BSB/") == std::string::npos)
    return Fail(nos_ ? "not a NOS raster header" : "not a BSB/KAP header");

  BuildColourTables();

  int32_t w = 0, h = 0;
  const bool sized = nos_ ? CountItem("RA=", FindLineNoSpace("NOS/"), 3, w) && CountItem("RA=", FindLineNoSpace("NOS/"), 4, h)
                          : CountItem("RA=", FindLine("BSB/"), 1, w) && CountItem("RA=", FindLine("BSB/"), 2, h);
  if (!sized) return Fail("the header gives no raster size (RA=)");
  if (w < 1 || h < 1 || w > kMaxSide || h > kMaxSide) return Fail("raster size out of range");
  width_ = w;
  height_ = h;

  // The depth byte: after the 0x1A and usually one zero byte. Some files
  // store it as an ASCII digit. The header's "IFM/" value takes precedence.
  int depth = 0;
  const std::span<const uint8_t> after = Bytes(headerEnd + 1, kMaxJunkBytes + 1);
  size_t i = 0;
  while (i < after.size() && i < kMaxJunkBytes && after[i] == 0) ++i;
  if (i < after.size()) {
    const uint8_t b = after[i];
    if (b >= 1 && b <= 7)
      depth = b;
    else if (b >= '1' && b <= '7')
      depth = b - '0';
  }
  dataStart_ = headerEnd + 1 + i + (depth ? 1 : 0);
  const std::string ifm = FindLine("IFM/");
  if (!ifm.empty()) {
    const int32_t d = RoundToInt(TryStrToFloatDot(ifm).value_or(0), 0);
    if (d >= 1 && d <= 7) depth = d;
  }
  if (depth < 1 || depth > 7) return Fail("the chart gives no colour depth");
  depth_ = depth;
  const int shift = 7 - depth_;
  countMask_ = (1u << shift) - 1;
  for (int b = 0; b < 256; ++b) {
    const int c = (b & 0x7F) >> shift;
    value_[static_cast<size_t>(b)] = static_cast<uint8_t>(c > 0 ? c - 1 : 0);
  }
  return true;
}

void TKAPDecoder::BuildColourTables() {
  static constexpr std::string_view kKeys[] = {"RGB/", "DAY/", "DSK/", "NGT/"};
  std::array<std::array<bool, 128>, 4> set{};
  std::string stripped;
  for (const std::string& full : header_) {
    std::string_view line = full;
    if (nos_) {
      stripped.clear();
      for (char c : full)
        if (c != ' ') stripped += c;
      line = stripped;
    }
    for (size_t t = 0; t < 4; ++t) {
      const int n = NumberedKey(line, kKeys[t], ",", 127);
      if (n == 0 || set[t][static_cast<size_t>(n)]) continue;
      const std::string_view rest =
          line.substr(std::min(line.size(), line.find(',') + 1), kHeaderValueLimit);
      int32_t rgb[3];
      bool ok = true;
      for (int k = 0; k < 3 && ok; ++k) {
        const auto v = TryStrToInt(GetItemText("", rest, k + 1));
        ok = v.has_value();
        if (ok) rgb[k] = std::clamp<int32_t>(*v, 0, 255);
      }
      if (!ok) continue;
      set[t][static_cast<size_t>(n)] = true;
      hasPalette_[t] = true;
      tables_[t][static_cast<size_t>(n)] =
          MakeRgb(static_cast<uint8_t>(rgb[0]), static_cast<uint8_t>(rgb[1]), static_cast<uint8_t>(rgb[2]));
    }
  }
  if (!hasPalette_[static_cast<int>(palette_)]) palette_ = TKAPPalette::Rgb;
}

void TKAPDecoder::ReadRowIndex() {
  rowStart_.clear();
  rowEnd_.clear();
  missingRows_ = 0;
  indexRebuilt_ = false;
  const uint64_t h = static_cast<uint64_t>(height_);
  // Rows cannot be shorter than two bytes, nor index entries than four: a
  // table longer than that would only describe rows that are not there.
  const size_t tableRows = static_cast<size_t>(std::min<uint64_t>(h, size_ / 2 + 2));
  rowStart_.assign(tableRows, 0);
  maxRowBytes_ = 4 * static_cast<size_t>(width_) + 64;

  uint64_t indexOff = 0;
  if (size_ >= 4) {
    const std::span<const uint8_t> tail = Bytes(size_ - 4, 4);
    if (tail.size() == 4) indexOff = GetBe32(tail.data());
  }
  bool usable = size_ >= dataStart_ + 4 && indexOff >= dataStart_ && indexOff <= size_ - 4;
  const uint64_t entries = usable ? (size_ - 4 - indexOff) / 4 : 0;
  // A table one row short is known from real charts: the last row is
  // missing, the others are fine.
  if (usable && entries + 1 < h) usable = false;
  uint64_t limit = size_;
  if (usable) {
    const size_t n = static_cast<size_t>(std::min<uint64_t>({entries, h, tableRows}));
    size_t invalid = 0;
    for (size_t done = 0; done < n;) {
      const size_t part = std::min<size_t>(n - done, kChunk / 4);
      const std::span<const uint8_t> s = Bytes(indexOff + 4 * done, part * 4);
      if (s.size() < part * 4) {
        invalid += n - done;
        break;
      }
      for (size_t k = 0; k < part; ++k) {
        const uint32_t off = GetBe32(s.data() + 4 * k);
        if (off >= dataStart_ && off < indexOff)
          rowStart_[done + k] = off;
        else
          ++invalid;
      }
      done += part;
    }
    limit = indexOff;
    // A table whose entries mostly point nowhere is not the row index.
    if (invalid > n / 2) usable = false;
  }
  if (!usable) {
    std::fill(rowStart_.begin(), rowStart_.end(), 0);
    // The rows run to the end of what is there (a damaged index cannot be
    // trusted to say where they end).
    limit = size_;
    ScanRows(limit);
    indexRebuilt_ = true;
  }

  // Each row ends where the next row in the file begins.
  std::vector<uint32_t> sorted;
  sorted.reserve(rowStart_.size());
  for (uint32_t s : rowStart_)
    if (s) sorted.push_back(s);
  std::sort(sorted.begin(), sorted.end());
  sorted.erase(std::unique(sorted.begin(), sorted.end()), sorted.end());
  rowEnd_.assign(rowStart_.size(), 0);
  for (size_t y = 0; y < rowStart_.size(); ++y) {
    const uint32_t s = rowStart_[y];
    if (!s) {
      ++missingRows_;
      continue;
    }
    const auto next = std::upper_bound(sorted.begin(), sorted.end(), s);
    const uint64_t end = next != sorted.end() ? *next : limit;
    rowEnd_[y] = static_cast<uint32_t>(std::min<uint64_t>({end, uint64_t(s) + maxRowBytes_, UINT32_MAX}));
  }
  missingRows_ += static_cast<int32_t>(h - rowStart_.size());
}

void TKAPDecoder::ScanRows(uint64_t limit) {
  limit = std::min<uint64_t>(limit, UINT32_MAX);
  uint64_t pos = dataStart_;
  std::span<const uint8_t> chunk;
  uint64_t chunkOff = 0;
  auto next = [&]() -> int {
    if (pos >= limit) return -1;
    if (pos - chunkOff >= chunk.size() || pos < chunkOff) {
      chunk = Bytes(pos, static_cast<size_t>(std::min<uint64_t>(kChunk, limit - pos)));
      chunkOff = pos;
      if (chunk.empty()) return -1;
    }
    return chunk[static_cast<size_t>(pos++ - chunkOff)];
  };
  size_t y = 0;
  while (y < rowStart_.size() && pos < limit) {
    const uint64_t start = pos;
    int b;
    do b = next();
    while (b > 0 && (b & 0x80));  // the row number
    if (b < 0) break;
    bool ended = false;
    while ((b = next()) >= 0) {
      if (b == 0) {
        ended = true;
        break;
      }
      while (b >= 0 && (b & 0x80)) b = next();
      if (b < 0) break;
    }
    if (start > 0) rowStart_[y++] = static_cast<uint32_t>(start);
    if (!ended) break;
  }
}

bool TKAPDecoder::DecodeRow(int32_t y, int32_t x0, int32_t w, uint8_t* dst) {
  if (!open_ || y < 0 || y >= height_ || x0 < 0 || w <= 0 || x0 >= width_) return false;
  w = std::min(w, width_ - x0);
  const size_t yi = static_cast<size_t>(y);
  const uint32_t start = yi < rowStart_.size() ? rowStart_[yi] : 0;
  if (!start) {
    std::memset(dst, 0, static_cast<size_t>(w));
    return false;
  }
  const std::span<const uint8_t> bytes = Bytes(start, rowEnd_[yi] - start);
  const uint8_t* p = bytes.data();
  const uint8_t* const e = p + bytes.size();

  // The row number: its value is not needed, rows are found by the index.
  while (p < e && (*p & 0x80)) ++p;
  if (p >= e) {
    std::memset(dst, 0, static_cast<size_t>(w));
    return false;
  }
  ++p;

  const int64_t xEnd = int64_t(x0) + w;
  int64_t pos = 0;
  bool ok = true;
  const uint32_t countMask = countMask_;
  while (true) {
    if (p >= e) {  // the row has no end mark
      ok = false;
      break;
    }
    uint32_t b = *p++;
    if (b == 0) break;
    const uint8_t v = value_[b];
    uint32_t r = b & countMask;
    while (b & 0x80) {
      if (p >= e) {
        ok = false;
        break;
      }
      b = *p++;
      r = std::min((r << 7) | (b & 0x7F), kRunCap);
    }
    if (!ok) break;
    const int64_t next = pos + r + 1;
    if (next > x0) {
      const int64_t from = std::max<int64_t>(pos, x0);
      const int64_t to = std::min(next, xEnd);
      std::memset(dst + (from - x0), v, static_cast<size_t>(to - from));
      if (next >= xEnd) {
        pos = xEnd;
        break;
      }
    }
    pos = next;
  }
  // A row that ends early: the rest is index 0.
  if (pos < xEnd) {
    const int64_t from = std::max<int64_t>(pos, x0);
    std::memset(dst + (from - x0), 0, static_cast<size_t>(xEnd - from));
  }
  return ok;
}

int64_t TKAPDecoder::WindowLines(int64_t h, int step) {
  if (step < 1) step = 1;
  return std::max<int64_t>(1, h / step);
}

int TKAPDecoder::DecodeRows(int32_t x0, int32_t y0, int32_t w, int32_t h, int step, uint8_t* dst, size_t dstStride) {
  if (!open_ || x0 < 0 || y0 < 0 || x0 >= width_ || y0 >= height_ || w <= 0 || h <= 0) return 0;
  if (step < 1) step = 1;
  w = std::min(w, width_ - x0);
  h = std::min(h, height_ - y0);
  const int64_t lines = WindowLines(h, step);
  for (int64_t k = 0; k < lines; ++k) {
    const int64_t y = y0 + k * step;
    if (!DecodeRow(static_cast<int32_t>(y), x0, w, dst + static_cast<size_t>(k) * dstStride)) ++rowErrors_;
  }
  return static_cast<int>(lines);
}

int TKAPDecoder::DecodeWindow(const TPoint& origin, const TPoint& size, std::vector<uint8_t>& stream, int step) {
  if (!open_) return 0;
  if (step < 1) step = 1;
  const int32_t x0 = origin.X, y0 = origin.Y;
  if (x0 < 0 || y0 < 0 || x0 >= width_ || y0 >= height_ || size.X <= 0 || size.Y <= 0) return 0;
  const int32_t w = std::min(size.X, width_ - x0);
  const int32_t h = std::min(size.Y, height_ - y0);
  const size_t stride = (static_cast<size_t>(w) + 3) & ~size_t(3);
  const int64_t lines = WindowLines(h, step);
  const size_t need = static_cast<size_t>(lines) * stride;
  try {
    if (stream.size() < need) stream.resize(need);
  } catch (const std::exception&) {  // no memory for a window that large
    return 0;
  }
  DecodeRows(x0, y0, w, h, step, stream.data(), stride);
  if (stride > static_cast<size_t>(w))
    for (int64_t k = 0; k < lines; ++k)
      std::memset(stream.data() + static_cast<size_t>(k) * stride + w, 0, stride - static_cast<size_t>(w));
  return static_cast<int>(std::min<int64_t>(y0 + lines * step, INT_MAX));
}

int32_t TKAPDecoder::DecodeLines(int32_t x0, int32_t y0, int32_t w, int32_t lines, int32_t step, uint8_t* dst,
                                 size_t dstStride) {
  if (!open_ || !dst || x0 < 0 || y0 < 0 || w <= 0 || lines <= 0 || step < 1 || int64_t(x0) + w > width_ ||
      y0 + int64_t(lines - 1) * step >= height_)
    return -1;
  for (int32_t k = 0; k < lines; ++k)
    if (!DecodeRow(y0 + k * step, x0, w, dst + static_cast<size_t>(k) * dstStride)) ++rowErrors_;
  return lines;
}

// ---------------------------------------------------------------------------
// Colours

bool TKAPDecoder::PlainColours(TColourTable& colours) const {
  colours.fill(MakeRgb(0, 0, 0));
  for (int n = 1; n <= 127; ++n) colours[static_cast<size_t>(n - 1)] = SlotColour(n);
  return true;
}

bool TKAPDecoder::SetPalette(TKAPPalette palette) {
  if (hasPalette_[static_cast<int>(palette)]) {
    palette_ = palette;
    return true;
  }
  palette_ = TKAPPalette::Rgb;
  return palette == TKAPPalette::Rgb;
}

TRgb TKAPDecoder::SlotColour(int n) const {
  if (n < 0 || n > 127) return MakeRgb(0, 0, 0);
  return tables_[static_cast<size_t>(palette_)][static_cast<size_t>(n)];
}

void TKAPDecoder::FillBitmapHeader(TBitmapHeader& header) const {
  header = TBitmapHeader();
  header.Width = width_;
  header.Height = -height_;
  header.SizeImage = static_cast<uint32_t>(std::min<int64_t>(ImageSize(), UINT32_MAX));
  header.ClrUsed = 128;
}

void TKAPDecoder::FillColourTable(TColourTable& table) const {
  table.fill(MakeRgb(0, 0, 0));
  for (int n = 1; n <= 127; ++n) table[static_cast<size_t>(n - 1)] = ShadeRgb(Brightness, SlotColour(n));
}

std::array<TRgb, 128> TKAPDecoder::CreatePalette() const {
  std::array<TRgb, 128> p;
  for (int k = 0; k < 128; ++k) p[static_cast<size_t>(k)] = ShadeRgb(Brightness, SlotColour(k));
  return p;
}

// ---------------------------------------------------------------------------
// Header look-ups

std::string TKAPDecoder::FindLine(std::string_view key) const { return HeaderFindLine(header_, key); }

std::string TKAPDecoder::FindLineNoSpace(std::string_view key) const { return HeaderFindLineNoSpace(header_, key); }

std::string TKAPDecoder::FindSimple(std::string_view key, const std::vector<std::string>& lines) {
  return HeaderFindSimple(lines, key);
}

std::string TKAPDecoder::FindText(std::string_view key) const { return HeaderFindText(header_, key); }

std::string TKAPDecoder::Item(std::string_view key, std::string_view text, int n) {
  return GetItemText(key, text, n);
}
