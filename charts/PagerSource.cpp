#include "charts/PagerSource.h"

#include <algorithm>

namespace {

void Put16(std::string& out, uint16_t v) {
  out.push_back(static_cast<char>(v & 0xFF));
  out.push_back(static_cast<char>(v >> 8));
}

void Put32(std::string& out, uint32_t v) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
}

}  // namespace

std::string BitmapHeaderBytes(const TBitmapHeader& h) {
  std::string out;
  out.reserve(40);
  Put32(out, h.Size);
  Put32(out, static_cast<uint32_t>(h.Width));
  Put32(out, static_cast<uint32_t>(h.Height));
  Put16(out, h.Planes);
  Put16(out, h.BitCount);
  Put32(out, h.Compression);
  Put32(out, h.SizeImage);
  Put32(out, static_cast<uint32_t>(h.XPelsPerMeter));
  Put32(out, static_cast<uint32_t>(h.YPelsPerMeter));
  Put32(out, h.ClrUsed);
  Put32(out, h.ClrImportant);
  return out;
}

int32_t WindowLineCount(int32_t y0, int32_t h, int32_t step, int32_t height) {
  if (step < 1 || h <= 0 || y0 < 0 || y0 >= height) return 0;
  const int64_t end = std::min<int64_t>(int64_t{y0} + h, height) - (step - 1);
  if (end <= y0) return 0;
  return static_cast<int32_t>((end - y0 + step - 1) / step);
}
