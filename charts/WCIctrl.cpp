#include "charts/WCIctrl.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>

#include "charts/ByteOrder.h"
#include "platform/AtomicFile.h"
#include "foundation/Colors.h"
#include "foundation/TextCodec.h"
#include "platform/Questions.h"

namespace {

constexpr uint32_t kOffsetMask = 0x3FFFFFFFu;
enum : uint32_t { kKindDeflate = 0, kKindRuns = 1, kKindBlank = 2, kKindOneColour = 3 };
constexpr const char* kNotValid = "THIS IS NOT A VALID WCI FILE!!!";
// Bytes read from the file at a time while a row is decoded.
constexpr size_t kReadChunk = 16384;

uint32_t Kind(uint32_t entry) { return entry >> 30; }


constexpr std::array<uint16_t, 256> MakeCrcTable() {
  std::array<uint16_t, 256> t{};
  for (uint32_t i = 0; i < 256; ++i) {
    uint32_t r = i << 8;
    for (int b = 0; b < 8; ++b) r = (r & 0x8000) ? ((r << 1) ^ 0x1021) : (r << 1);
    t[i] = static_cast<uint16_t>(r & 0xFFFF);
  }
  return t;
}
constexpr std::array<uint16_t, 256> kCrcTable = MakeCrcTable();

// Opens a WCI file to be rewritten, locked against other writers of it.
int OpenForRewrite(const std::string& file, uint64_t& size) {
  int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return -1;
  struct stat st{};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || ::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    ::close(fd);
    return -1;
  }
  size = static_cast<uint64_t>(st.st_size);
  return fd;
}

bool PReadAll(int fd, void* dst, size_t n, uint64_t offset) {
  auto* p = static_cast<uint8_t*>(dst);
  while (n > 0) {
    ssize_t r = ::pread(fd, p, n, static_cast<off_t>(offset));
    if (r < 0 && errno == EINTR) continue;
    if (r <= 0) return false;
    p += r;
    n -= static_cast<size_t>(r);
    offset += static_cast<uint64_t>(r);
  }
  return true;
}

// Replaces `file` (open as fd, `size` bytes) by a copy with `patch` written
// over the bytes at `patchAt` and `tail` appended, through a temporary file
// renamed over it: an interruption leaves the old file as it was, and
// decoders that have the old file open go on reading it.
bool RewriteFile(const std::string& file, int fd, uint64_t size, uint64_t patchAt, std::string_view patch,
                 std::string_view tail) {
  TAtomicFileWriter out;
  if (!out.Create(file)) return false;
  std::vector<uint8_t> buffer(std::min<uint64_t>(size, 1 << 20));
  for (uint64_t at = 0; at < size;) {
    const size_t n = static_cast<size_t>(std::min<uint64_t>(buffer.size(), size - at));
    if (!PReadAll(fd, buffer.data(), n, at) || !out.Write(buffer.data(), n)) return false;
    at += n;
  }
  return out.WriteAt(patchAt, patch) && out.Write(tail) && out.Commit();
}

// The result code for a header whose magic or version is wrong: minus the
// version byte, but never 0 or a value that could be taken for success.
int WrongFormatCode(const uint8_t* header, bool magicOK) {
  if (!magicOK || header[3] == 0) return -1;
  return -static_cast<int>(header[3]);
}

}  // namespace

uint16_t WCICheckValue(std::string_view bytes) {
  uint32_t r = 0;
  for (unsigned char c : bytes) r = (((r << 8) | c) ^ kCrcTable[(r >> 8) & 0xFF]) & 0xFFFF;
  return static_cast<uint16_t>(r);
}

std::string WCICheckText(std::string_view bytes) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  const uint16_t v = WCICheckValue(bytes);
  return {kHex[(v >> 12) & 15], kHex[(v >> 8) & 15], kHex[(v >> 4) & 15], kHex[v & 15]};
}

TWCIRunCoding WCIRunCoding(int depth) {
  TWCIRunCoding c;
  if (depth < 0 || depth > 6) return c;
  c.Valid = true;
  c.Shift = 7 - depth;
  c.Mask = static_cast<uint8_t>((1u << (7 - depth)) - 1);
  c.LongFlag = static_cast<uint8_t>(1u << (6 - depth));
  return c;
}

namespace {

inline bool ReadRun(const uint8_t* p, size_t available, const TWCIRunCoding& c, TWCIRun& run) {
  if (available < 1 || !c.Valid) return false;
  const uint8_t b = p[0];
  run.Colour = static_cast<uint8_t>((b & 0x7F) >> c.Shift);
  uint32_t count;
  if (!(b & 0x80)) {
    count = b & c.Mask;
    run.Bytes = 1;
  } else if (!(b & c.LongFlag)) {
    if (available < 2) return false;
    count = (static_cast<uint32_t>(b & c.Mask) << 8) | p[1];
    run.Bytes = 2;
  } else {
    if (available < 3) return false;
    count = (uint32_t{static_cast<uint8_t>(b & c.Mask & ~c.LongFlag)} << 16) | (uint32_t{p[1]} << 8) | p[2];
    run.Bytes = 3;
  }
  run.Pixels = count + 1;
  return true;
}

}  // namespace

bool ReadWCIRun(const uint8_t* p, size_t available, const TWCIRunCoding& c, TWCIRun& run) {
  return ReadRun(p, available, c, run);
}

// ---------------------------------------------------------------------------

struct TWCIDecoder::TInflater {
  z_stream z{};
  bool ready = false;
  ~TInflater() {
    if (ready) inflateEnd(&z);
  }
  bool Reset() {
    if (!ready) {
      z = z_stream{};
      if (inflateInit(&z) != Z_OK) return false;
      ready = true;
      return true;
    }
    return inflateReset(&z) == Z_OK;
  }
};

TWCIDecoder::TWCIDecoder() = default;
TWCIDecoder::~TWCIDecoder() = default;

void TWCIDecoder::ResetState() {
  file_.Close();
  open_ = false;
  fileSize_ = 0;
  depth_ = colours_ = 0;
  std::fill(std::begin(attributes_), std::end(attributes_), 0);
  width_ = height_ = 0;
  textOffset_ = paletteOffset_ = 0;
  coding_ = {};
  index_.clear();
  index_.shrink_to_fit();
  dataEnd_.clear();
  dataEnd_.shrink_to_fit();
  palette_ = {};
  text_.clear();
  textCheckOK_ = false;
  rowBuffer_.clear();
  rowBuffer_.shrink_to_fit();
  rowCache_.clear();
  rowCache_.shrink_to_fit();
  rowCacheRow_.clear();
  rowCacheRow_.shrink_to_fit();
  rowCacheSlots_ = -1;
}

void TWCIDecoder::Close() {
  ResetState();
  fileName_.clear();
}

int TWCIDecoder::LoadHeader(bool* notWCI) {
  *notWCI = false;
  const uint64_t size = file_.Size();
  uint8_t h[20];
  const size_t got = file_.ReadAt(0, h, sizeof h);
  const bool magicOK = got >= 4 && h[0] == 'W' && h[1] == 'C' && h[2] == 'I';
  if (!magicOK || h[3] != 1) {
    *notWCI = true;
    return WrongFormatCode(h, magicOK);
  }
  if (got < sizeof h) return 0;  // a WCI file cut short
  depth_ = h[4];
  colours_ = h[5] == 0 ? 256 : h[5];
  std::copy(h + 8, h + 12, attributes_);
  width_ = GetLe16(h + 12);
  height_ = GetLe16(h + 14);
  textOffset_ = GetLe32(h + 16);
  coding_ = WCIRunCoding(depth_);
  if (width_ == 0 || height_ == 0) return 0;

  // Row index and palette offset.
  const size_t indexBytes = 4 * (static_cast<size_t>(height_) + 1);
  std::vector<uint8_t> raw(indexBytes);
  if (!file_.ReadExact(20, raw.data(), indexBytes)) return 0;
  index_.resize(height_);
  for (int32_t y = 0; y < height_; ++y) index_[y] = GetLe32(raw.data() + 4 * y);
  paletteOffset_ = GetLe32(raw.data() + 4 * static_cast<size_t>(height_));

  // Where each row's data ends: the offset of the next entry with data (the
  // palette offset after the last row), found once here instead of by a
  // search per decoded row.
  dataEnd_.assign(height_, 0);
  uint32_t next = paletteOffset_ & kOffsetMask;
  for (int32_t y = height_ - 1; y >= 0; --y) {
    dataEnd_[y] = next;
    const uint32_t k = Kind(index_[y]);
    if (k == kKindDeflate || k == kKindRuns) next = index_[y] & kOffsetMask;
  }

  // Palette.
  const uint64_t paletteBytes = 3 * static_cast<uint64_t>(colours_);
  if (uint64_t{paletteOffset_} + paletteBytes > size) return 0;
  uint8_t pal[768];
  if (!file_.ReadExact(paletteOffset_, pal, static_cast<size_t>(paletteBytes))) return 0;
  palette_ = {};
  for (int i = 0; i < colours_; ++i)
    palette_[i] = 0xFF000000u | (uint32_t{pal[3 * i + 2]} << 16) | (uint32_t{pal[3 * i + 1]} << 8) | pal[3 * i];

  // Calibration text up to the byte 0x1A.
  if (textOffset_ >= size) {
    AppMessageBox(kNotValid, mfOk | mfIconError);
    return 0;
  }
  std::string raw8;
  uint64_t at = textOffset_;
  bool ended = false;
  while (at < size && raw8.size() < kMaxTextLength) {
    const size_t want = static_cast<size_t>(std::min<uint64_t>(kReadChunk, kMaxTextLength - raw8.size()));
    std::span<const uint8_t> chunk = file_.View(at, want);
    if (chunk.empty()) break;
    const void* stop = std::memchr(chunk.data(), 0x1A, chunk.size());
    const size_t n = stop ? static_cast<size_t>(static_cast<const uint8_t*>(stop) - chunk.data()) : chunk.size();
    raw8.append(reinterpret_cast<const char*>(chunk.data()), n);
    at += n;
    if (stop) {
      ended = true;
      break;
    }
  }
  if (!ended) {
    if (raw8.size() < kMaxTextLength) {
      // The file ends inside the text.
      AppMessageBox(kNotValid, mfOk | mfIconError);
      return 0;
    }
    AppMessageBox(file_.Path() + ": " + kNotValid, mfOk | mfIconWarning);
  } else {
    char check[4];
    textCheckOK_ = file_.ReadExact(at + 1, check, 4) && std::string_view(check, 4) == WCICheckText(raw8);
  }
  text_ = DecodeFileText(raw8);
  return 1;
}

int64_t TWCIDecoder::Open(const std::string& file) {
  Close();
  if (!file_.Open(file)) return -1;
  fileName_ = file;
  bool notWCI = false;
  const int r = LoadHeader(&notWCI);
  if (r != 1) {
    Close();
    return r < 0 ? r : -1;
  }
  fileSize_ = static_cast<int64_t>(file_.Size());
  errors_ = 0;
  open_ = true;
  return fileSize_;
}

int TWCIDecoder::ReadHeaderOnly(const std::string& file) {
  Close();
  if (!file_.Open(file)) return 0;
  fileName_ = file;
  bool notWCI = false;
  const int r = LoadHeader(&notWCI);
  fileSize_ = static_cast<int64_t>(file_.Size());
  file_.Close();
  if (r != 1) {
    const std::string name = fileName_;
    Close();
    fileName_ = name;
  }
  return r;
}

void TWCIDecoder::FillBitmapHeader(TBitmapHeader& h) const {
  h = TBitmapHeader{};
  h.Width = width_;
  h.Height = -height_;
  h.SizeImage = static_cast<uint32_t>(BitmapStride(width_) * height_);
  h.ClrUsed = 256;
}

void TWCIDecoder::FillColourTable(TColourTable& table) const {
  for (int i = 0; i < 256; ++i) table[i] = i < colours_ ? ShadeColor(Brightness, palette_[i]) : 0xFF000000u;
}

TColourTable TWCIDecoder::CreatePalette() const {
  TColourTable t;
  for (int i = 0; i < 256; ++i) t[i] = ShadeColor(Brightness, palette_[i] | 0xFF000000u);
  return t;
}

bool TWCIDecoder::PlainColours(TColourTable& colours) const {
  if (!open_) return false;
  for (int i = 0; i < 256; ++i) colours[i] = i < colours_ ? palette_[i] : 0xFF000000u;
  return true;
}

// ---------------------------------------------------------------------------
// Row decoding

bool TWCIDecoder::DecodeRunRow(uint64_t offset, uint64_t end, int32_t x0, int32_t w, uint8_t* out) {
  // Runs carry no row terminator: they are read until the window is full,
  // cut at its right edge, and never beyond the row's data end (the next
  // row's data, the palette or the end of the file).
  const uint64_t target = uint64_t{static_cast<uint32_t>(x0)} + static_cast<uint32_t>(w);
  uint64_t pos = 0;
  auto view = [&](uint64_t at) { return file_.View(at, static_cast<size_t>(std::min<uint64_t>(kReadChunk, end - at))); };
  std::span<const uint8_t> chunk = view(offset);
  size_t i = 0;
  TWCIRun run;
  while (pos < target) {
    if (chunk.size() - i < 3) {
      // Fewer bytes left in the chunk than the longest run: read on, unless
      // the row's data ends here.
      if (offset + chunk.size() < end) {
        offset += i;
        chunk = view(offset);
        i = 0;
      }
      if (!ReadRun(chunk.data() + i, chunk.size() - i, coding_, run)) break;
    } else {
      ReadRun(chunk.data() + i, chunk.size() - i, coding_, run);
    }
    i += run.Bytes;
    const uint64_t end = pos + run.Pixels;
    if (end > static_cast<uint64_t>(x0)) {
      const uint64_t a = std::max<uint64_t>(pos, static_cast<uint64_t>(x0));
      const uint64_t b = std::min(end, target);
      std::memset(out + (a - static_cast<uint64_t>(x0)), run.Colour, static_cast<size_t>(b - a));
    }
    pos = end;
  }
  if (pos >= target) return true;
  // The data ended first: what was not decoded stays blank.
  const uint64_t from = std::max<uint64_t>(pos, static_cast<uint64_t>(x0));
  std::memset(out + (from - static_cast<uint64_t>(x0)), 0, static_cast<size_t>(target - from));
  return false;
}

size_t TWCIDecoder::Inflate(uint64_t offset, uint64_t end, uint8_t* target, size_t need) {
  if (!inflater_) inflater_ = std::make_unique<TInflater>();
  // A zlib stream of one row is at most a little longer than the row; a
  // longer stretch up to the next row means damage, and is not read.
  const uint64_t limit = static_cast<uint64_t>(width_) + static_cast<uint64_t>(width_) / 8 + 1024;
  end = std::min({end, static_cast<uint64_t>(fileSize_), offset + limit});
  if (offset >= end || !inflater_->Reset()) return 0;
  z_stream& z = inflater_->z;
  z.next_out = target;
  z.avail_out = static_cast<uInt>(need);
  uint64_t at = offset;
  int rc = Z_OK;
  while (z.avail_out > 0 && rc == Z_OK) {
    if (z.avail_in == 0) {
      if (at >= end) break;
      std::span<const uint8_t> chunk = file_.View(at, static_cast<size_t>(std::min<uint64_t>(kReadChunk, end - at)));
      if (chunk.empty()) break;
      z.next_in = const_cast<Bytef*>(chunk.data());
      z.avail_in = static_cast<uInt>(chunk.size());
      at += chunk.size();
    }
    rc = inflate(&z, Z_NO_FLUSH);
  }
  z.next_in = nullptr;
  z.avail_in = 0;
  return need - z.avail_out;
}

bool TWCIDecoder::DecodeDeflateRow(int32_t row, int32_t x0, int32_t w, uint8_t* out) {
  const uint64_t offset = index_[row] & kOffsetMask;
  const uint64_t end = dataEnd_[row];
  const size_t width = static_cast<size_t>(width_);
  if (rowCacheSlots_ < 0) {
    int64_t slots = std::min<int64_t>(RowCacheBytes / width_, height_);
    if (slots > 1 && slots % 2 == 0) --slots;
    rowCacheSlots_ = static_cast<int32_t>(std::max<int64_t>(slots, 0));
    if (rowCacheSlots_ > 0) {
      rowCache_.resize(static_cast<size_t>(rowCacheSlots_) * width);
      rowCacheRow_.assign(static_cast<size_t>(rowCacheSlots_), -1);
    }
  }
  // The row whole, from the cache or inflated into it; otherwise only as far
  // as the window reaches, straight into the output when the window starts
  // at the left edge.
  const bool cached = rowCacheSlots_ > 0;
  const size_t slot = cached ? static_cast<size_t>(row % rowCacheSlots_) : 0;
  uint8_t* target = out;
  size_t need = static_cast<size_t>(x0) + static_cast<size_t>(w);
  size_t got;
  if (cached) {
    target = rowCache_.data() + slot * width;
    if (rowCacheRow_[slot] == row) {
      std::memcpy(out, target + x0, static_cast<size_t>(w));
      return true;
    }
    need = width;
    got = Inflate(offset, end, target, need);
    rowCacheRow_[slot] = got == need ? row : -1;
  } else {
    if (x0 > 0) {
      if (rowBuffer_.size() < width) rowBuffer_.resize(width);
      target = rowBuffer_.data();
    }
    got = Inflate(offset, end, target, need);
  }
  // Pixels of the window that were decoded; the rest stays blank.
  const size_t have = std::min(got > static_cast<size_t>(x0) ? got - static_cast<size_t>(x0) : 0, static_cast<size_t>(w));
  if (target != out && have > 0) std::memcpy(out, target + x0, have);
  if (have < static_cast<size_t>(w)) std::memset(out + have, 0, static_cast<size_t>(w) - have);
  return got >= static_cast<size_t>(x0) + static_cast<size_t>(w);
}

bool TWCIDecoder::DecodeRow(int32_t row, int32_t x0, int32_t w, uint8_t* out) {
  const uint32_t entry = index_[row];
  const uint64_t offset = entry & kOffsetMask;
  // Row data lies after the header and the row index; an offset into them
  // is damage.
  const uint64_t dataStart = 24 + 4 * static_cast<uint64_t>(height_);
  const uint64_t end = std::min<uint64_t>(dataEnd_[row], static_cast<uint64_t>(fileSize_));
  switch (Kind(entry)) {
    case kKindOneColour:
      std::memset(out, static_cast<int>(entry & 0xFF), static_cast<size_t>(w));
      return true;
    case kKindRuns:
      if (!coding_.Valid || offset < dataStart || offset >= end) break;
      return DecodeRunRow(offset, end, x0, w, out);
    case kKindDeflate:
      if (offset < dataStart) break;
      return DecodeDeflateRow(row, x0, w, out);
    default:
      break;
  }
  std::memset(out, 0, static_cast<size_t>(w));
  return false;
}

int32_t TWCIDecoder::DecodeLines(int32_t x0, int32_t y0, int32_t w, int32_t lines, int32_t step, uint8_t* dst,
                                size_t dstStride) {
  if (!open_ || x0 < 0 || y0 < 0 || w < 1 || lines < 0 || step < 1 || int64_t{x0} + w > width_) return -1;
  if (lines == 0) return 0;
  if (!dst || int64_t{y0} + int64_t{lines - 1} * step >= height_) return -1;
  for (int32_t k = 0; k < lines; ++k)
    if (!DecodeRow(y0 + k * step, x0, w, dst + static_cast<size_t>(k) * dstStride)) ++errors_;
  return lines;
}

int32_t TWCIDecoder::DecodeWindow(TPoint origin, TPoint size, std::vector<uint8_t>& stream, int32_t step) {
  if (!open_ || step < 1 || origin.X < 0 || origin.Y < 0) return 0;
  const int32_t w = static_cast<int32_t>(std::min<int64_t>(size.X, int64_t{width_} - origin.X));
  const int32_t lines = WindowLineCount(origin.Y, size.Y, step, height_);
  if (w <= 0 || lines <= 0) return origin.Y;
  const size_t stride = static_cast<size_t>(BitmapStride(w));
  const size_t bytes = stride * static_cast<size_t>(lines);
  if (stream.size() < bytes) stream.resize(bytes);
  DecodeLines(origin.X, origin.Y, w, lines, step, stream.data(), stride);
  return origin.Y + lines * step;
}

// ---------------------------------------------------------------------------
// Whole-file operations

int64_t TWCIDecoder::ExportBMP(const std::string& wciFile, const std::string& bmpFile) {
  if (Open(wciFile) <= 0) return 0;
  const uint64_t stride = static_cast<uint64_t>(BitmapStride(width_));
  const uint64_t fileSize = 14 + 40 + 1024 + stride * static_cast<uint64_t>(height_);
  if (fileSize > 0x7FFFFFFFu) {
    Close();
    return 0;
  }
  TAtomicFileWriter out;
  if (!out.Create(bmpFile)) {
    Close();
    return 0;
  }
  std::string head = "BM";
  for (uint32_t v : {static_cast<uint32_t>(fileSize), 0u, 1078u})
    for (int i = 0; i < 4; ++i) head.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
  TBitmapHeader header;
  FillBitmapHeader(header);
  header.Height = height_;
  head += BitmapHeaderBytes(header);
  TColourTable colours;
  FillColourTable(colours);
  for (TRgb c : colours)
    head += {static_cast<char>(c & 0xFF), static_cast<char>((c >> 8) & 0xFF), static_cast<char>((c >> 16) & 0xFF), '\0'};
  out.Write(head);
  std::vector<uint8_t> row(stride, 0);
  int64_t rows = 0;
  for (int32_t y = height_ - 1; y >= 0; --y) {
    if (!DecodeRow(y, 0, width_, row.data())) ++errors_;
    if (!out.Write(row.data(), row.size())) break;
    ++rows;
  }
  const bool ok = rows == height_ && out.Commit();
  Close();
  return ok ? rows : 0;
}

int64_t TWCIDecoder::ReplaceHeaderText(const std::string& file, const std::string& text) {
  const int header = ReadHeaderOnly(file);
  Close();
  if (header != 1) return header < 0 ? header : -1;
  uint64_t size = 0;
  const int fd = OpenForRewrite(file, size);
  if (fd < 0) return -1;
  int64_t result = -1;
  uint8_t h[16];
  if (PReadAll(fd, h, sizeof h, 0) && h[0] == 'W' && h[1] == 'C' && h[2] == 'I') {
    if (h[3] != 1) {
      result = WrongFormatCode(h, true);
    } else {
      // A 0x1A inside the text would end it early when it is read back.
      std::string bytes = EncodeFileText(text, TTextEncoding::Cp1252);
      std::erase(bytes, '\x1A');
      const std::string check = WCICheckText(bytes);
      bytes.push_back('\x1A');
      bytes += check;
      // The new text goes after everything else, so no byte a row, the
      // palette or the old text could be read from changes.
      const uint64_t at = size;
      const char offset[4] = {static_cast<char>(at), static_cast<char>(at >> 8), static_cast<char>(at >> 16),
                              static_cast<char>(at >> 24)};
      if (at <= 0xFFFFFFFFu && RewriteFile(file, fd, size, 16, std::string_view(offset, 4), bytes))
        result = static_cast<int64_t>(at + bytes.size());
    }
  }
  ::close(fd);
  return result;
}

int TWCIDecoder::SetAttributeBit(const std::string& file, int byte, int bit, bool on) {
  Close();
  if (byte < 0 || byte > 3 || bit < 0 || bit > 7) return -1;
  uint64_t size = 0;
  const int fd = OpenForRewrite(file, size);
  if (fd < 0) return -1;
  int result = -1;
  uint8_t h[16];
  if (PReadAll(fd, h, sizeof h, 0)) {
    const bool magicOK = h[0] == 'W' && h[1] == 'C' && h[2] == 'I';
    if (!magicOK || h[3] != 1) {
      result = WrongFormatCode(h, magicOK);
    } else {
      const uint8_t old = h[8 + byte];
      const uint8_t now = on ? static_cast<uint8_t>(old | (1u << bit)) : static_cast<uint8_t>(old & ~(1u << bit));
      const char patch = static_cast<char>(now);
      if (now == old || RewriteFile(file, fd, size, 8 + static_cast<uint64_t>(byte), std::string_view(&patch, 1), {}))
        result = old;
    }
  }
  ::close(fd);
  return result;
}
