// GeoTIFF files come from anywhere. A file that opens as a chart reads
// windows at every level within them (corners and middle, also with steps),
// counts its damage instead of crashing, keeps the decoded blocks within
// the cache budget, and converts pixels to positions and back, or refuses.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <span>
#include <vector>

#include "charts/GeoTiffChart.h"

namespace {

void Check(bool ok, const char* what) {
  if (!ok) {
    std::fprintf(stderr, "fuzz_geotiff: %s\n", what);
    std::abort();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  TGeoTiffChart chart;
  std::string error;
  if (!chart.OpenMemory(std::span<const uint8_t>(data, size), &error)) {
    Check(!error.empty() && !chart.IsOpen(), "a refusal without a reason");
    return 0;
  }
  TGeoTiffRaster& r = chart.Raster();
  r.CacheBudget = 1 << 20;
  std::vector<TRgb> rgb(64 * 64);
  std::vector<uint8_t> idx(64 * 64);
  for (int level = 0; level < r.LevelCount(); ++level) {
    const TRasterLevel& l = r.Level(level);
    Check(l.Width > 0 && l.Height > 0 && l.BlockWidth > 0 && l.BlockHeight > 0, "level shape");
    const int32_t w = int32_t(std::min<int64_t>(l.Width, 64)), h = int32_t(std::min<int64_t>(l.Height, 64));
    for (const auto& [x0, y0] : {std::pair<int64_t, int64_t>{0, 0}, {l.Width - w, l.Height - h},
                                 {(l.Width - w) / 2, (l.Height - h) / 2}}) {
      Check(r.ReadRgb(level, x0, y0, w, h, 1, 1, rgb.data(), 64), "a window inside the level is refused");
      if (r.Indexed()) Check(r.ReadIndexed(level, x0, y0, w, h, 1, 1, idx.data(), 64), "indexed window");
    }
    // Every 7th pixel across the whole level, as far as 64 of them go.
    const int32_t cols = int32_t(std::min<int64_t>((l.Width - 1) / 7 + 1, 64));
    const int32_t rows = int32_t(std::min<int64_t>((l.Height - 1) / 7 + 1, 64));
    Check(r.ReadRgb(level, 0, 0, cols, rows, 7, 7, rgb.data(), 64), "a stepped window is refused");
    Check(!r.ReadRgb(level, l.Width, 0, 1, 1, 1, 1, rgb.data(), 64), "a window beyond the level");
  }
  const double W = double(chart.Width()), H = double(chart.Height());
  for (const auto& [x, y] : {std::pair{0.0, 0.0}, {W, H}, {W / 2, H / 3}}) {
    TFPoint pos;
    if (!chart.PixelToGeo(x, y, pos)) continue;
    Check(std::isfinite(pos.X) && std::isfinite(pos.Y), "a position that is not a number");
    double bx, by;
    if (chart.GeoToPixel(pos, bx, by)) Check(std::isfinite(bx) && std::isfinite(by), "a pixel that is not a number");
  }
  RChartInfo info;
  chart.FillInfo("fuzz.tif", info);
  return 0;
}
