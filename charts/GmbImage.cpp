#include "charts/GmbImage.h"

#include <algorithm>

namespace {

bool Fail(std::string* error, const char* text) {
  if (error) *error = text;
  return false;
}

// A decimal field: each character 0x30..0x3F adds its low four bits as a
// digit; other characters (blanks) are passed over. Capped, so that no
// field can overflow.
int64_t Field(std::span<const uint8_t> header, size_t at, size_t width) {
  int64_t v = 0;
  for (size_t i = at; i < at + width && i < header.size(); ++i) {
    const uint8_t c = header[i];
    if (c >= 0x30 && c <= 0x3F) v = std::min<int64_t>(v * 10 + (c & 0x0F), 1000000000);
  }
  return v;
}

uint32_t Le32(std::span<const uint8_t> b, size_t at) {
  return uint32_t(b[at]) | uint32_t(b[at + 1]) << 8 | uint32_t(b[at + 2]) << 16 | uint32_t(b[at + 3]) << 24;
}

// Reads bytes of a row from its offset on; past the end of the file it
// gives nothing more.
class TRowReader {
 public:
  TRowReader(std::span<const uint8_t> bytes, size_t at) : bytes_(bytes), at_(at) {}
  bool Next(uint8_t& b) {
    if (at_ >= bytes_.size()) return false;
    b = bytes_[at_++];
    return true;
  }

 private:
  std::span<const uint8_t> bytes_;
  size_t at_;
};

void DecodeRow8(TRowReader& r, uint8_t* row, int32_t width) {
  int32_t x = 0;
  while (x < width) {
    uint8_t colour = 0, l = 0;
    if (!r.Next(colour) || !r.Next(l)) return;
    int32_t length = l;
    if (l & 0x80) {
      uint8_t low = 0;
      if (!r.Next(low)) return;
      length = (l & 0x7F) * 256 + low;
    }
    // A zero-length run would never end the row.
    if (length == 0) return;
    const int32_t n = std::min(length, width - x);
    std::fill(row + x, row + x + n, colour);
    x += n;
  }
}

void DecodeRow4(TRowReader& r, uint8_t* row, int32_t width) {
  int32_t x = 0;
  while (x < width) {
    uint8_t b = 0;
    if (!r.Next(b)) return;
    const uint8_t colour = b >> 4;
    const int n = b & 0x0F;
    int32_t length = n;
    if (n >= 8) {
      uint8_t low = 0;
      if (!r.Next(low)) return;
      length = (n & 7) * 256 + low;
    } else if (n == 0) {
      uint8_t hi = 0, lo = 0;
      if (!r.Next(hi) || !r.Next(lo)) return;
      length = hi * 256 + lo;
    }
    // A run of length 0, or one past the row's end, ends the row undrawn.
    if (length == 0 || length > width - x) return;
    std::fill(row + x, row + x + length, colour);
    x += length;
  }
}

}  // namespace

bool LoadGMBImage(std::span<const uint8_t> bytes, TChartImage& image, std::string* error, int64_t maxPixels) {
  image.Clear();
  if (bytes.size() < kGmbHeaderSize) return Fail(error, "GMB header error");
  const std::span<const uint8_t> header = bytes.first(kGmbHeaderSize);
  const int64_t width = Field(header, 126, 5);
  const int64_t height = std::min<int64_t>(Field(header, 146, 5), 32767);
  int64_t colours = Field(header, 176, 3);
  if (colours == 0) colours = Field(header, 166, 3);
  if (width <= 0 || height <= 0) return Fail(error, "GMB header error: no image size");
  // The colour loop counts modulo 256 (0 means 256).
  int count = static_cast<int>(colours % 256);
  if (count == 0) count = 256;
  const bool nibbles = count == 16;
  std::vector<TRgb> palette(nibbles ? 16 : 256, MakeRgb(0, 0, 0));
  for (int k = 0; k < count && k < static_cast<int>(palette.size()); ++k) {
    const size_t at = 181 + 15 * static_cast<size_t>(k);
    if (at + 12 > header.size()) break;
    auto channel = [&](size_t off) { return static_cast<uint8_t>(std::min<int64_t>(Field(header, at + off, 4), 255)); };
    palette[static_cast<size_t>(k)] = MakeRgb(channel(0), channel(4), channel(8));
  }
  const uint64_t tableEnd = kGmbRowTableOffset + 4 * static_cast<uint64_t>(height);
  if (bytes.size() < tableEnd) return Fail(error, "GMB file error: the row table is cut short");
  if (!image.Allocate(TImageFormat::Indexed8, static_cast<int32_t>(width), static_cast<int32_t>(height), maxPixels))
    return Fail(error, "GMB image too large");
  image.Palette = std::move(palette);
  for (int64_t y = 0; y < height; ++y) {
    const uint32_t offset = Le32(bytes, kGmbRowTableOffset + 4 * static_cast<size_t>(y));
    TRowReader reader(bytes, offset);
    uint8_t* row = image.Pixels.data() + static_cast<size_t>(y) * image.Stride;
    if (nibbles)
      DecodeRow4(reader, row, image.Width);
    else
      DecodeRow8(reader, row, image.Width);
  }
  return true;
}
