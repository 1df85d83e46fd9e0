#include "charts/WCIWriter.h"

#include <sys/stat.h>
#include <zlib.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>

#include "platform/AtomicFile.h"
#include "charts/ByteOrder.h"
#include "charts/WCIctrl.h"
#include "foundation/GenUtil.h"
#include "foundation/TextCodec.h"
#include "platform/Questions.h"

namespace {

constexpr const char* kNoPalette = "This BMP has no Palette";
constexpr const char* kCannotConvert = "This BMP can not be converted to WCI";
constexpr uint32_t kMaxOffset = 0x3FFFFFFFu;


void Put32(std::string& s, uint32_t v) {
  for (int i = 0; i < 4; ++i) s.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
}

}  // namespace

// ---------------------------------------------------------------------------
// BMP source

TBMPImageSource::TBMPImageSource(const std::string& file) {
  if (!file_.Open(file)) throw EWCIConvertError(kCannotConvert);
  uint8_t h[54];
  if (!file_.ReadExact(0, h, sizeof h) || h[0] != 'B' || h[1] != 'M') throw EWCIConvertError(kCannotConvert);
  pixelOffset_ = GetLe32(h + 10);
  const uint32_t infoSize = GetLe32(h + 14);
  const int32_t width = static_cast<int32_t>(GetLe32(h + 18));
  const int32_t height = static_cast<int32_t>(GetLe32(h + 22));
  bits_ = GetLe16(h + 28);
  const uint32_t compression = GetLe32(h + 30);
  if (infoSize < 40 || (bits_ != 4 && bits_ != 8) || compression != 0) throw EWCIConvertError(kCannotConvert);
  if (width < 1 || width > 65535 || height == 0 || height < -65535 || height > 65535)
    throw EWCIConvertError(kCannotConvert);
  width_ = width;
  height_ = height < 0 ? -height : height;
  bottomUp_ = height > 0;

  // The colour table: the entries between the headers and the pixels.
  const uint64_t tableStart = 14 + uint64_t{infoSize};
  const uint64_t entries = pixelOffset_ > tableStart ? (pixelOffset_ - tableStart) / 4 : 0;
  const size_t count = static_cast<size_t>(std::min<uint64_t>(entries, uint64_t{1} << bits_));
  if (count == 0) throw EWCIConvertError(kNoPalette);
  std::vector<uint8_t> table(4 * count);
  if (!file_.ReadExact(tableStart, table.data(), table.size())) throw EWCIConvertError(kCannotConvert);
  palette_.resize(count);
  for (size_t i = 0; i < count; ++i)
    palette_[i] = 0xFF000000u | (uint32_t{table[4 * i + 2]} << 16) | (uint32_t{table[4 * i + 1]} << 8) | table[4 * i];

  const uint64_t rowBytes = bits_ == 8 ? uint64_t(width_) : (uint64_t(width_) + 1) / 2;
  stride_ = static_cast<size_t>((rowBytes + 3) / 4 * 4);
  if (pixelOffset_ + uint64_t{stride_} * static_cast<uint64_t>(height_) > file_.Size())
    throw EWCIConvertError(kCannotConvert);
}

bool TBMPImageSource::ReadRow(int32_t y, uint8_t* dst) {
  if (y < 0 || y >= height_) return false;
  const uint64_t fileRow = bottomUp_ ? static_cast<uint64_t>(height_ - 1 - y) : static_cast<uint64_t>(y);
  std::span<const uint8_t> row = file_.View(pixelOffset_ + fileRow * stride_, stride_);
  if (row.size() < stride_) return false;
  if (bits_ == 8) {
    std::memcpy(dst, row.data(), static_cast<size_t>(width_));
  } else {
    for (int32_t x = 0; x < width_; ++x) {
      const uint8_t b = row[static_cast<size_t>(x / 2)];
      dst[x] = (x & 1) ? (b & 0x0F) : (b >> 4);
    }
  }
  return true;
}

// ---------------------------------------------------------------------------
// Row coding

namespace {

// The end of the run of equal pixels that starts at x: rows of charts are
// long runs, so they are compared eight pixels at a time.
inline int32_t RunEnd(const uint8_t* row, int32_t x, int32_t width) {
  const uint8_t v = row[x];
  const uint64_t pattern = 0x0101010101010101ull * v;
  int32_t e = x + 1;
  while (e + 8 <= width) {
    uint64_t word;
    std::memcpy(&word, row + e, 8);
    const uint64_t diff = word ^ pattern;
    if (diff) {
      if constexpr (std::endian::native == std::endian::little)
        return e + std::countr_zero(diff) / 8;
      else
        return e + std::countl_zero(diff) / 8;
    }
    e += 8;
  }
  while (e < width && row[e] == v) ++e;
  return e;
}

// The run coding of one depth.
struct TRunWriter {
  int shift;
  uint32_t m1;
  uint32_t m2;
  uint8_t longFlag;
  explicit TRunWriter(int depth)
      : shift(7 - depth),
        m1((1u << (7 - depth)) - 1),
        m2(m1 * 128 + 127),
        longFlag(static_cast<uint8_t>(1u << (6 - depth))) {}
  // A run of colour k covering c + 1 pixels.
  void Append(uint8_t k, uint32_t c, std::vector<uint8_t>& out) const {
    const uint8_t head = static_cast<uint8_t>(k << shift);
    if (c <= m1) {
      out.push_back(static_cast<uint8_t>(head | c));
    } else if (c > m2) {
      out.push_back(static_cast<uint8_t>(head | (c >> 16) | 0x80 | longFlag));
      out.push_back(static_cast<uint8_t>((c >> 8) & 0xFF));
      out.push_back(static_cast<uint8_t>(c & 0xFF));
    } else {
      out.push_back(static_cast<uint8_t>(head | (c >> 8) | 0x80));
      out.push_back(static_cast<uint8_t>(c & 0xFF));
    }
  }
};

}  // namespace

void EncodeWCIRuns(const uint8_t* row, int32_t width, int depth, std::vector<uint8_t>& out) {
  const TRunWriter runs(depth);
  for (int32_t x = 0; x < width;) {
    const int32_t end = RunEnd(row, x, width);
    runs.Append(row[x], static_cast<uint32_t>(end - x - 1), out);
    x = end;
  }
}

std::string WCITextBytes(const std::vector<std::string>& headerLines) {
  std::string text;
  for (const std::string& line : headerLines) {
    std::string bytes = EncodeFileText(line, TTextEncoding::Cp1252);
    // A 0x1A would end the text when it is read back.
    std::erase(bytes, '\x1A');
    text += bytes;
    text += "\r\n";
  }
  text += "!File Generated by Brismare Utilities\r\n";
  return text;
}

struct TWCIWriter::TDeflater {
  z_stream z{};
  bool ready = false;
  std::vector<uint8_t> out;
  ~TDeflater() {
    if (ready) deflateEnd(&z);
  }
  // Deflates (zlib stream, default level) into `out`; its size, or 0 on
  // failure.
  size_t Deflate(const uint8_t* data, size_t n) {
    if (!ready) {
      z = z_stream{};
      if (deflateInit(&z, Z_DEFAULT_COMPRESSION) != Z_OK) return 0;
      ready = true;
    } else if (deflateReset(&z) != Z_OK) {
      return 0;
    }
    out.resize(deflateBound(&z, static_cast<uLong>(n)));
    z.next_in = const_cast<Bytef*>(data);
    z.avail_in = static_cast<uInt>(n);
    z.next_out = out.data();
    z.avail_out = static_cast<uInt>(out.size());
    if (deflate(&z, Z_FINISH) != Z_STREAM_END) return 0;
    return out.size() - z.avail_out;
  }
};

TWCIWriter::TWCIWriter() = default;
TWCIWriter::~TWCIWriter() = default;

void TWCIWriter::Report(const std::string& caption, int position, int max) {
  if (!Progress) return;
  // About two hundred reports per pass are enough for any display.
  const int step = std::max(1, max / 400);
  if (max > 0 && position / step == lastReported_ && position != max) return;
  lastReported_ = max > 0 ? position / step : -1;
  Progress(caption, position, max);
}

int64_t TWCIWriter::Convert(const std::string& bmpFile, const std::string& wciFile,
                            const std::vector<std::string>& headerLines) {
  TBMPImageSource image(bmpFile);
  return Convert(image, wciFile, headerLines);
}

int64_t TWCIWriter::Convert(TWCIImageSource& image, const std::string& wciFile,
                            const std::vector<std::string>& headerLines) {
  counts_ = {};
  colourMap_.assign(256, -1);
  lastReported_ = -1;
  const int32_t w = image.Width();
  const int32_t h = image.Height();
  const int paletteSize = image.ColourCount();
  if (w < 1 || w > 65535 || h < 1 || h > 65535) throw EWCIConvertError(kCannotConvert);
  if (paletteSize < 1) throw EWCIConvertError(kNoPalette);
  if (paletteSize > 256) throw EWCIConvertError(kCannotConvert);

  struct stat st{};
  if (ConfirmReplace && ::lstat(wciFile.c_str(), &st) == 0 && !AskYesNo("File " + wciFile + " Exists! Delete?"))
    return -1;

  struct TEndProgress {
    TWCIWriter& writer;
    ~TEndProgress() {
      if (writer.Progress) writer.Progress("", 0, 0);
    }
  } endProgress{*this};

  // Pass 1: number the colours in the order the file holds them. Once every
  // colour of the table has been met, the rest cannot change the numbering.
  std::vector<uint8_t> row(static_cast<size_t>(w));
  int used = 0;
  for (int32_t i = 0; i < h && used < paletteSize; ++i) {
    Report("Sorting", i, 2 * h);
    const int32_t y = image.BottomUp() ? h - 1 - i : i;
    if (!image.ReadRow(y, row.data())) throw EWCIConvertError(kCannotConvert);
    for (int32_t x = 0; x < w; x = RunEnd(row.data(), x, w)) {
      const uint8_t p = row[x];
      if (colourMap_[p] < 0) {
        if (p >= paletteSize) throw EWCIConvertError(kCannotConvert);
        colourMap_[p] = used++;
      }
    }
  }
  const int n = used;
  const int depth = BitsNeeded(static_cast<uint32_t>(n - 1));
  std::array<uint8_t, 256> remap{};
  std::array<uint8_t, 256> known{};
  for (int i = 0; i < 256; ++i) {
    remap[i] = static_cast<uint8_t>(std::max(colourMap_[i], 0));
    known[i] = colourMap_[i] >= 0;
  }

  TAtomicFileWriter out;
  if (!out.Create(wciFile)) throw EWCIConvertError(out.Error());
  auto write = [&](const void* data, size_t size) {
    if (!out.Write(data, size)) throw EWCIConvertError(out.Error());
  };

  std::string header = "WCI";
  header += {'\x01', static_cast<char>(depth), static_cast<char>(n & 0xFF), '\x01', '\x01', '\0', '\0', '\0', '\0'};
  header += {static_cast<char>(w & 0xFF), static_cast<char>(w >> 8), static_cast<char>(h & 0xFF),
             static_cast<char>(h >> 8)};
  // Text offset, row index and palette offset are filled in at the end.
  header.resize(24 + 4 * static_cast<size_t>(h), '\0');
  write(header.data(), header.size());

  // Pass 2: the rows, top first. Up to 64 colours, a row is taken as runs
  // and renumbered run by run; the pixels are renumbered one by one only for
  // deflate.
  const double ratio = std::isfinite(CompressionRatio) && CompressionRatio > 0 ? CompressionRatio : 1.5;
  if (!deflater_) deflater_ = std::make_unique<TDeflater>();
  const TRunWriter runWriter(std::min(depth, 6));
  std::vector<uint32_t> index(static_cast<size_t>(h) + 1);
  std::vector<uint8_t> coded(static_cast<size_t>(w));
  std::vector<uint8_t> runs;
  runs.reserve(static_cast<size_t>(w) * 3);
  auto renumber = [&] {
    uint8_t ok = 1;
    for (int32_t x = 0; x < w; ++x) {
      coded[x] = remap[row[x]];
      ok &= known[row[x]];
    }
    if (!ok) throw EWCIConvertError(kCannotConvert);
  };
  for (int32_t y = 0; y < h; ++y) {
    Report("Saving", h + y, 2 * h);
    if (!image.ReadRow(y, row.data())) throw EWCIConvertError(kCannotConvert);
    const uint64_t at = out.Position();
    if (at > kMaxOffset) throw EWCIConvertError("The WCI file would be larger than 1 GiB");
    bool deflate = n > 64;
    size_t deflated = 0;
    if (!deflate) {
      runs.clear();
      int32_t count = 0;
      for (int32_t x = 0; x < w; ++count) {
        const int32_t end = RunEnd(row.data(), x, w);
        if (!known[row[x]]) throw EWCIConvertError(kCannotConvert);
        runWriter.Append(remap[row[x]], static_cast<uint32_t>(end - x - 1), runs);
        x = end;
      }
      if (count == 1) {
        index[y] = 0xC0000000u | remap[row[0]];
        ++counts_.OneColour;
        continue;
      }
      // Deflate is tried only when the runs do worse than 8:1, and taken
      // only when it beats them by the compression ratio.
      if (static_cast<double>(w) / 8 < static_cast<double>(runs.size())) {
        renumber();
        deflated = deflater_->Deflate(coded.data(), coded.size());
        deflate = deflated > 0 && static_cast<double>(deflated) < static_cast<double>(runs.size()) / ratio;
      }
      if (!deflate) {
        index[y] = 0x40000000u | static_cast<uint32_t>(at);
        write(runs.data(), runs.size());
        ++counts_.Runs;
        continue;
      }
    } else {
      renumber();
      deflated = deflater_->Deflate(coded.data(), coded.size());
      if (deflated == 0) throw EWCIConvertError(kCannotConvert);
    }
    index[y] = static_cast<uint32_t>(at);
    write(deflater_->out.data(), deflated);
    ++counts_.Deflated;
  }

  // Palette.
  const uint64_t paletteAt = out.Position();
  if (paletteAt > kMaxOffset) throw EWCIConvertError("The WCI file would be larger than 1 GiB");
  index[h] = static_cast<uint32_t>(paletteAt);
  std::string palette(3 * static_cast<size_t>(n), '\0');
  for (int i = 0; i < 256; ++i) {
    if (colourMap_[i] < 0) continue;
    const TRgb c = image.Colour(i);
    const size_t at = 3 * static_cast<size_t>(colourMap_[i]);
    palette[at] = static_cast<char>(c & 0xFF);
    palette[at + 1] = static_cast<char>((c >> 8) & 0xFF);
    palette[at + 2] = static_cast<char>((c >> 16) & 0xFF);
  }
  write(palette.data(), palette.size());

  // Calibration text, 0x1A, check value.
  const uint64_t textAt = out.Position();
  std::string text = WCITextBytes(headerLines);
  const std::string check = WCICheckText(text);
  text.push_back('\x1A');
  text += check;
  write(text.data(), text.size());
  if (out.Position() > 0xFFFFFFFFu) throw EWCIConvertError("The WCI file would be larger than 1 GiB");

  std::string tail;
  tail.reserve(4 * index.size() + 4);
  Put32(tail, static_cast<uint32_t>(textAt));
  for (uint32_t e : index) Put32(tail, e);
  if (!out.WriteAt(16, tail)) throw EWCIConvertError(out.Error());
  const int64_t size = static_cast<int64_t>(out.Position());
  if (!out.Commit()) throw EWCIConvertError(out.Error());
  return size;
}
