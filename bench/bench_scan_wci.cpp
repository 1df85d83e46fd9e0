// A scanned 24-bit chart (JPEG) to WCI: streamed decode, colour reduction
// to 256 colours and the WCI writer's two passes, beside plain zlib deflate
// (default level) of the same reduced rows as they stream from the decoder.
// The synthetic scan has flat chart colours, thin lines and scanner noise.
// Its size in megapixels comes from BRISMARE_BENCH_SCAN_MPX (default 20;
// 300 for the full-size case, about 20 000 x 15 000).
// Counters: Mpx/s and the process's peak resident memory per pixel.
#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include <jpeglib.h>

#include "charts/JpegTiffImage.h"
#include "charts/Quantise.h"
#include "charts/WCIWriter.h"

namespace {

std::string TempFile(const char* name) {
  const char* dir = std::getenv("TMPDIR");
  return std::string(dir && *dir ? dir : "/tmp") + "/bench_scan_" + std::to_string(::getpid()) + name;
}

double PeakRssBytes() {
  rusage u{};
  ::getrusage(RUSAGE_SELF, &u);
  return double(u.ru_maxrss) * 1024.0;
}

struct TScan {
  std::string file = TempFile(".jpg");
  int w = 0, h = 0;
  bool ok = false;
  TScan() {
    const char* env = std::getenv("BRISMARE_BENCH_SCAN_MPX");
    const double mpx = env ? std::atof(env) : 20.0;
    w = static_cast<int>(std::sqrt(mpx * 1e6 * 4 / 3));
    h = static_cast<int>(mpx * 1e6 / w);
    if (w > 65535 || h > 65535 || w < 16 || h < 16) return;
    FILE* f = std::fopen(file.c_str(), "wb");
    if (!f) return;
    jpeg_compress_struct c{};
    jpeg_error_mgr err{};
    c.err = jpeg_std_error(&err);
    jpeg_create_compress(&c);
    jpeg_stdio_dest(&c, f);
    c.image_width = static_cast<JDIMENSION>(w);
    c.image_height = static_cast<JDIMENSION>(h);
    c.input_components = 3;
    c.in_color_space = JCS_RGB;
    jpeg_set_defaults(&c);
    jpeg_set_quality(&c, 85, TRUE);
    jpeg_start_compress(&c, TRUE);
    std::vector<JSAMPLE> row(static_cast<size_t>(w) * 3);
    uint32_t seed = 1;
    static const uint8_t kColours[][3] = {{255, 255, 255}, {250, 232, 160}, {170, 210, 240}, {120, 180, 225},
                                          {30, 30, 30},    {200, 60, 160}};
    for (int y = 0; y < h; ++y) {
      for (int x = 0; x < w; ++x) {
        // Land and depth areas in bands, grid lines, some text-like dots.
        int k = ((x / 700) + (y / 500) * 3 + (x + y) / 2100) % 4;
        if (x % 1200 < 2 || y % 900 < 2) k = 4;
        if ((x * 7 + y * 13) % 997 == 0) k = 5;
        seed = seed * 1103515245u + 12345u;
        const int noise = int((seed >> 16) % 7) - 3;
        for (int ch = 0; ch < 3; ++ch)
          row[3 * x + ch] = static_cast<JSAMPLE>(std::clamp(int(kColours[k][ch]) + noise, 0, 255));
      }
      JSAMPROW r[1] = {row.data()};
      jpeg_write_scanlines(&c, r, 1);
    }
    jpeg_finish_compress(&c);
    jpeg_destroy_compress(&c);
    std::fclose(f);
    ok = true;
  }
  ~TScan() { std::remove(file.c_str()); }
};

TScan& Scan() {
  static TScan s;
  return s;
}

void BM_ScanToWci(benchmark::State& state) {
  TScan& s = Scan();
  if (!s.ok) {
    state.SkipWithError("no synthetic scan");
    return;
  }
  const std::string out = TempFile(".wci");
  TColourQuantiser q;
  int64_t size = 0;
  for (auto _ : state) {
    TJPEGRows rows;
    if (!rows.Open(s.file) || !q.Build(rows)) {
      state.SkipWithError("cannot read the scan");
      return;
    }
    TQuantisedRows quantised(rows, q);
    TWCIWriter writer;
    writer.ConfirmReplace = false;
    writer.CompressionRatio = 1.8;
    size = writer.Convert(quantised, out, {"NA=Scan"});
  }
  const double px = double(s.w) * s.h;
  state.counters["Mpx/s"] = benchmark::Counter(px / 1e6, benchmark::Counter::kIsIterationInvariantRate);
  state.counters["rms_error"] = q.Stats().RmsError;
  state.counters["wci_MB"] = double(size) / 1e6;
  state.counters["peak_rss_bytes_per_px"] = PeakRssBytes() / px;
  std::remove(out.c_str());
}

void BM_ScanDeflateRows(benchmark::State& state) {
  TScan& s = Scan();
  if (!s.ok) {
    state.SkipWithError("no synthetic scan");
    return;
  }
  TColourQuantiser q;
  {
    TJPEGRows rows;
    if (!rows.Open(s.file) || !q.Build(rows)) {
      state.SkipWithError("cannot read the scan");
      return;
    }
  }
  int64_t total = 0;
  for (auto _ : state) {
    TJPEGRows rows;
    rows.Open(s.file);
    TQuantisedRows quantised(rows, q);
    std::vector<uint8_t> row(static_cast<size_t>(s.w));
    std::vector<uint8_t> packed(compressBound(static_cast<uLong>(s.w)));
    total = 0;
    for (int y = 0; y < s.h; ++y) {
      quantised.ReadRow(y, row.data());
      uLongf n = static_cast<uLongf>(packed.size());
      compress2(packed.data(), &n, row.data(), static_cast<uLong>(row.size()), Z_DEFAULT_COMPRESSION);
      total += static_cast<int64_t>(n);
    }
  }
  const double px = double(s.w) * s.h;
  state.counters["Mpx/s"] = benchmark::Counter(px / 1e6, benchmark::Counter::kIsIterationInvariantRate);
  state.counters["deflated_MB"] = double(total) / 1e6;
}

BENCHMARK(BM_ScanToWci)->Unit(benchmark::kSecond)->Iterations(1);
BENCHMARK(BM_ScanDeflateRows)->Unit(benchmark::kSecond)->Iterations(1);

}  // namespace
