// GeoTIFF reading on the 73 Mpx NZ61401 chart as GDAL made it (NZTM2000,
// palette, 256 x 256 deflated tiles, four overviews), beside the same chart
// as KAP in the same run:
//  - opening the chart (raster, overviews, georeference with PROJ);
//  - a 1920 x 1080 window at full resolution and at each overview, first
//    read (nothing decoded yet) and while panning by 16 pixels (the cache of
//    decoded tiles warm), reported per window: median, 95th percentile;
//  - for the KAP chart: opening it, and the same windows at the row steps a
//    pager takes when zoomed out without overviews.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <string>
#include <vector>

#include "charts/GeoTiffChart.h"
#include "charts/KAPctrl.h"

namespace {

constexpr int32_t kViewW = 1920;
constexpr int32_t kViewH = 1080;

std::string TestData(const char* name) {
  const char* env = std::getenv("BRISMARE_TESTDATA");
  return std::string(env && *env ? env : BRISMARE_TESTDATA_DIR) + "/" + name;
}
const std::string kGeoTiff = TestData("geotiff/NZ61401.nztm.tif");
const std::string kKap = TestData("charts/NZ61401.KAP");

using Clock = std::chrono::steady_clock;
double Ms(Clock::time_point since) { return std::chrono::duration<double, std::milli>(Clock::now() - since).count(); }

double Percentile(std::vector<double> v, double p) {
  std::sort(v.begin(), v.end());
  return v[std::min(v.size() - 1, static_cast<size_t>(p * (v.size() - 1) + 0.5))];
}

void BM_GeoTiffOpen(benchmark::State& state) {
  for (auto _ : state) {
    TGeoTiffChart chart;
    std::string error;
    if (!chart.Open(kGeoTiff, &error)) {
      state.SkipWithError(("cannot open " + kGeoTiff + ": " + error).c_str());
      return;
    }
    TFPoint p;
    benchmark::DoNotOptimize(chart.PixelToGeo(100, 100, p));
  }
}
BENCHMARK(BM_GeoTiffOpen)->Unit(benchmark::kMillisecond);

void BM_KapOpen(benchmark::State& state) {
  for (auto _ : state) {
    TKAPDecoder kap;
    if (kap.Open(kKap) <= 0) {
      state.SkipWithError(("cannot open " + kKap).c_str());
      return;
    }
    benchmark::DoNotOptimize(kap.Width());
  }
}
BENCHMARK(BM_KapOpen)->Unit(benchmark::kMillisecond);

// Arg: the level. A view of the level's middle, read once with nothing
// decoded and then moved 100 times by 16 pixels sideways.
void BM_GeoTiffWindow(benchmark::State& state) {
  static TGeoTiffChart chart;
  static bool opened = chart.Open(kGeoTiff);
  const int level = static_cast<int>(state.range(0));
  if (!opened || level >= chart.Raster().LevelCount()) {
    state.SkipWithError("test data geotiff/NZ61401.nztm.tif is absent");
    return;
  }
  TGeoTiffRaster& r = chart.Raster();
  const TRasterLevel& l = r.Level(level);
  const int32_t w = static_cast<int32_t>(std::min<int64_t>(l.Width, kViewW));
  const int32_t h = static_cast<int32_t>(std::min<int64_t>(l.Height, kViewH));
  std::vector<uint8_t> view(static_cast<size_t>(w) * h);
  std::vector<double> first, pan;
  for (auto _ : state) {
    r.ClearCache();
    int64_t x = (l.Width - w) / 2;
    const int64_t y = (l.Height - h) / 2;
    Clock::time_point t0 = Clock::now();
    r.ReadIndexed(level, x, y, w, h, 1, 1, view.data(), static_cast<size_t>(w));
    first.push_back(Ms(t0));
    int64_t dir = 16;
    for (int i = 0; i < 100; ++i) {
      if (x + dir < 0 || x + dir > l.Width - w) dir = -dir;
      x = std::clamp<int64_t>(x + dir, 0, l.Width - w);
      t0 = Clock::now();
      r.ReadIndexed(level, x, y, w, h, 1, 1, view.data(), static_cast<size_t>(w));
      pan.push_back(Ms(t0));
    }
    benchmark::DoNotOptimize(view.data());
  }
  state.counters["first_ms"] = Percentile(first, 0.5);
  state.counters["pan_median_ms"] = Percentile(pan, 0.5);
  state.counters["pan_p95_ms"] = Percentile(pan, 0.95);
  state.counters["level_width"] = static_cast<double>(l.Width);
  state.counters["broken"] = static_cast<double>(r.BrokenBlocks());
}
BENCHMARK(BM_GeoTiffWindow)->DenseRange(0, 4)->ArgName("level")->Unit(benchmark::kMillisecond)->Iterations(5);

// The KAP chart: a view's worth of rows at row step n (zoom 1/n without
// overviews), columns at full resolution as the pager asks for them.
void BM_KapWindow(benchmark::State& state) {
  static TKAPDecoder kap;
  static bool opened = kap.Open(kKap) > 0;
  if (!opened) {
    state.SkipWithError("test data charts/NZ61401.KAP is absent");
    return;
  }
  const int step = static_cast<int>(state.range(0));
  const int w = std::min(kap.Width(), kViewW * step), h = std::min(kap.Height(), kViewH * step);
  std::vector<uint8_t> stream;
  for (auto _ : state) {
    benchmark::DoNotOptimize(kap.DecodeWindow({(kap.Width() - w) / 2, (kap.Height() - h) / 2}, {w, h}, stream, step));
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_KapWindow)->Arg(1)->Arg(2)->Arg(16)->ArgName("step")->Unit(benchmark::kMillisecond);

}  // namespace
