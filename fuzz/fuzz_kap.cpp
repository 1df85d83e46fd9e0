// KAP and NOS rasters come from anywhere: any bytes must open or be refused
// without harm, and every window of an opened chart must decode within its
// buffer. Input: a KAP file; or "N", the text of a ".GEO" file, a 0x00 byte
// and the NOS raster.
#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <span>
#include <string_view>
#include <vector>

#include "charts/ChartInfo.h"
#include "charts/KAPctrl.h"

namespace {

void Check(bool ok, const char* what) {
  if (!ok) {
    std::fprintf(stderr, "fuzz_kap: %s\n", what);
    std::abort();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view geo;
  std::span<const uint8_t> raster(data, size);
  if (size > 0 && data[0] == 'N') {
    const void* z = std::memchr(data, 0, size);
    if (!z) return 0;
    const size_t at = static_cast<size_t>(static_cast<const uint8_t*>(z) - data);
    geo = std::string_view(reinterpret_cast<const char*>(data + 1), at - 1);
    if (geo.empty()) geo = "N";
    raster = raster.subspan(at + 1);
  }
  TKAPDecoder d;
  const int64_t opened = d.OpenMemory(raster, geo);
  if (opened < 0) {
    Check(!d.IsOpen(), "refused but open");
    return 0;
  }
  Check(opened == static_cast<int64_t>(raster.size()), "size");
  const int32_t W = d.Width(), H = d.Height();
  Check(W >= 1 && H >= 1 && W <= TKAPDecoder::kMaxSide && H <= TKAPDecoder::kMaxSide, "raster size");
  Check(d.Depth() >= 1 && d.Depth() <= 7, "depth");

  std::array<TRgb, 256> table;
  d.FillColourTable(table);
  RChartInfo info;
  TChartHeadBaseCodec::ClearInfo(info);
  d.ReadInfo(info);
  Check(info.RefCount == static_cast<int32_t>(info.RefPoints.size()), "reference count");
  Check(info.Layout.BorderCount == info.Layout.Border.size(), "border count");

  // Windows from the input's own bytes, at steps 1 and 3, each no larger
  // than 300 x 300 pixels; and the first rows whole when they are narrow.
  uint32_t seed = 2166136261u;
  for (size_t i = 0; i < size && i < 64; ++i) seed = (seed ^ data[i]) * 16777619u;
  auto next = [&seed](int32_t n) {
    seed = seed * 1103515245u + 12345u;
    return n <= 0 ? 0 : static_cast<int32_t>((seed >> 4) % static_cast<uint32_t>(n));
  };
  std::vector<uint8_t> stream;
  for (int step : {1, 3}) {
    for (int k = 0; k < 3; ++k) {
      const int32_t x0 = next(W), y0 = next(H);
      const int32_t w = 1 + next(300), h = 1 + next(300);
      const int reached = d.DecodeWindow({x0, y0}, {w, h}, stream, step);
      const int32_t cw = std::min(w, W - x0), ch = std::min(h, H - y0);
      const int64_t lines = TKAPDecoder::WindowLines(ch, step);
      Check(reached == y0 + lines * step, "row reached");
      Check(stream.size() >= static_cast<size_t>(lines) * ((static_cast<size_t>(cw) + 3) & ~size_t(3)), "buffer");
    }
    if (W <= 4096) {
      std::vector<uint8_t> rows(static_cast<size_t>(W) * 4);
      const int32_t h = std::min<int32_t>(H, 4 * step);
      Check(d.DecodeRows(0, 0, W, h, step, rows.data(), static_cast<size_t>(W)) ==
                static_cast<int>(TKAPDecoder::WindowLines(h, step)),
            "rows");
    }
  }
  uint8_t line[16];
  Check(d.DecodeLines(W, 0, 1, 1, 1, line, 16) < 0, "window outside");
  Check(d.DecodeWindow({-1, 0}, {5, 5}, stream, 1) == 0, "negative origin");
  return 0;
}
