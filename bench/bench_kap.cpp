// KAP decoding speed on a real chart (NZ61401, 10517 x 6966 = 73 Mpx):
// the whole chart at full resolution, and screen-sized windows as the pager
// asks for them at zoom 1, 1/2, 1/4 and 1/10, at the left and right edge (the
// runs left of a window must still be read).
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include "charts/KAPctrl.h"

namespace {

std::string ChartPath() {
  const char* env = std::getenv("BRISMARE_TESTDATA");
  return std::string(env && *env ? env : BRISMARE_TESTDATA_DIR) + "/charts/NZ61401.KAP";
}

TKAPDecoder* OpenChart(benchmark::State& state) {
  static TKAPDecoder decoder;
  static bool tried = false;
  if (!tried) {
    tried = true;
    decoder.Open(ChartPath());
  }
  if (!decoder.IsOpen()) {
    state.SkipWithError(("chart not found: " + ChartPath()).c_str());
    return nullptr;
  }
  return &decoder;
}

void BM_DecodeWholeChart(benchmark::State& state) {
  TKAPDecoder* d = OpenChart(state);
  if (!d) return;
  const size_t w = static_cast<size_t>(d->Width()), h = static_cast<size_t>(d->Height());
  std::vector<uint8_t> pixels(w * h);
  for (auto _ : state) {
    d->DecodeRows(0, 0, d->Width(), d->Height(), 1, pixels.data(), w);
    benchmark::DoNotOptimize(pixels.data());
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(w * h));  // pixels
  state.counters["errors"] = static_cast<double>(d->RowErrors());
}
BENCHMARK(BM_DecodeWholeChart)->Unit(benchmark::kMillisecond)->MinTime(2.0);

// A 1920 x 1080 screen at zoom 1 / step: a window of 1920 * step columns
// and 1080 * step rows, every step-th row decoded.
void BM_ScreenWindow(benchmark::State& state) {
  TKAPDecoder* d = OpenChart(state);
  if (!d) return;
  const int step = static_cast<int>(state.range(0));
  const bool right = state.range(1) != 0;
  const int w = std::min(d->Width(), 1920 * step), h = std::min(d->Height(), 1080 * step);
  const int x0 = right ? d->Width() - w : 0, y0 = (d->Height() - h) / 2;
  std::vector<uint8_t> stream;
  for (auto _ : state) {
    benchmark::DoNotOptimize(d->DecodeWindow({x0, y0}, {w, h}, stream, step));
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * w * (h / step));  // pixels
}
BENCHMARK(BM_ScreenWindow)
    ->ArgsProduct({{1, 2, 4, 10}, {0, 1}})
    ->ArgNames({"step", "right"})
    ->Unit(benchmark::kMillisecond);

}  // namespace
