// WCI conversion and decoding on a large real chart (NZ61401.KAP, 10517 x
// 6966 pixels, 15 colours):
//  - KAP -> WCI conversion, beside plain zlib deflate (default level) of the
//    same rows, the least any converter that deflates every row would take;
//  - full decode of the WCI, beside the full decode of the KAP.
// Skipped when the test data is absent.
#include <benchmark/benchmark.h>
#include <unistd.h>
#include <zlib.h>

#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "charts/KAPctrl.h"
#include "charts/WCIWriter.h"
#include "charts/WCIctrl.h"

namespace {

const std::string kKap = std::string(BRISMARE_TESTDATA_DIR) + "/charts/NZ61401.KAP";

std::string TempFile(const char* name) {
  const char* dir = std::getenv("TMPDIR");
  return std::string(dir && *dir ? dir : "/tmp") + "/bench_wci_" + std::to_string(::getpid()) + name;
}

struct TChart {
  TKAPDecoder kap;
  TColourTable colours{};
  std::string wci = TempFile(".wci");
  bool ok = false;
  TChart() {
    if (kap.Open(kKap) <= 0) return;
    kap.FillColourTable(colours);
    TPagerImageSource source(kap, colours, 127);
    TWCIWriter writer;
    writer.ConfirmReplace = false;
    ok = writer.Convert(source, wci, {"NA=NZ61401"}) > 0;
  }
  ~TChart() { ::unlink(wci.c_str()); }
};

TChart& Chart() {
  static TChart chart;
  return chart;
}

bool Ready(benchmark::State& state) {
  if (Chart().ok) return true;
  state.SkipWithError("test data charts/NZ61401.KAP is absent");
  return false;
}

void SetPixels(benchmark::State& state, int64_t pixels) {
  state.counters["Mpx/s"] = benchmark::Counter(static_cast<double>(pixels) * 1e-6 * state.iterations(),
                                               benchmark::Counter::kIsRate);
}

void BM_KapToWci(benchmark::State& state) {
  if (!Ready(state)) return;
  TChart& c = Chart();
  const std::string out = TempFile("-out.wci");
  TWCIWriter writer;
  writer.ConfirmReplace = false;
  int64_t size = 0;
  for (auto _ : state) {
    TPagerImageSource source(c.kap, c.colours, 127);
    size = writer.Convert(source, out, {"NA=NZ61401"});
  }
  ::unlink(out.c_str());
  SetPixels(state, int64_t{c.kap.Width()} * c.kap.Height());
  state.counters["file_MB"] = static_cast<double>(size) * 1e-6;
  state.counters["rows_runs"] = static_cast<double>(writer.RowCounts().Runs);
  state.counters["rows_deflated"] = static_cast<double>(writer.RowCounts().Deflated);
  state.counters["rows_one_colour"] = static_cast<double>(writer.RowCounts().OneColour);
}
BENCHMARK(BM_KapToWci)->Unit(benchmark::kMillisecond)->MinTime(3);

// The floor: the same rows (already decoded and renumbered) through deflate
// at the default level, one zlib stream per row, nothing written.
void BM_DeflateRowsFloor(benchmark::State& state) {
  if (!Ready(state)) return;
  TWCIDecoder d;
  d.Open(Chart().wci);
  const size_t w = static_cast<size_t>(d.Width());
  std::vector<uint8_t> pixels(w * static_cast<size_t>(d.Height()));
  d.DecodeLines(0, 0, d.Width(), d.Height(), 1, pixels.data(), w);
  z_stream z{};
  deflateInit(&z, Z_DEFAULT_COMPRESSION);
  std::vector<uint8_t> out(deflateBound(&z, static_cast<uLong>(w)));
  int64_t bytes = 0;
  for (auto _ : state) {
    bytes = 0;
    for (int32_t y = 0; y < d.Height(); ++y) {
      deflateReset(&z);
      z.next_in = pixels.data() + w * static_cast<size_t>(y);
      z.avail_in = static_cast<uInt>(w);
      z.next_out = out.data();
      z.avail_out = static_cast<uInt>(out.size());
      deflate(&z, Z_FINISH);
      bytes += static_cast<int64_t>(out.size() - z.avail_out);
    }
    benchmark::DoNotOptimize(bytes);
  }
  deflateEnd(&z);
  SetPixels(state, static_cast<int64_t>(pixels.size()));
  state.counters["deflated_MB"] = static_cast<double>(bytes) * 1e-6;
}
BENCHMARK(BM_DeflateRowsFloor)->Unit(benchmark::kMillisecond)->MinTime(3);

template <class Decoder>
void DecodeWhole(benchmark::State& state, Decoder& d) {
  const int32_t w = d.SourceWidth();
  const int32_t h = d.SourceHeight();
  const int32_t step = static_cast<int32_t>(state.range(0));
  const int32_t band = 64;
  std::vector<uint8_t> rows(static_cast<size_t>(w) * band);
  for (auto _ : state) {
    for (int32_t y = 0; y < h; y += band * step) {
      const int32_t lines = std::min(band, (h - 1 - y) / step + 1);
      d.DecodeLines(0, y, w, lines, step, rows.data(), static_cast<size_t>(w));
    }
    benchmark::DoNotOptimize(rows.data());
  }
  SetPixels(state, int64_t{w} * ((h + step - 1) / step));
}

void BM_DecodeWci(benchmark::State& state) {
  if (!Ready(state)) return;
  static TWCIDecoder d;
  if (!d.IsOpen()) d.Open(Chart().wci);
  DecodeWhole(state, d);
}
BENCHMARK(BM_DecodeWci)->Arg(1)->Arg(4)->Unit(benchmark::kMillisecond);

void BM_DecodeKap(benchmark::State& state) {
  if (!Ready(state)) return;
  DecodeWhole(state, Chart().kap);
}
BENCHMARK(BM_DecodeKap)->Arg(1)->Arg(4)->Unit(benchmark::kMillisecond);

}  // namespace
