// Sentences per second through a line assembler and the parser, on a real
// sailing log (Hakefjord.log: GPS, instruments and AIS mixed). The system
// clock is used, as in the plotter.
#include <benchmark/benchmark.h>

#include <fstream>
#include <sstream>
#include <string>

#include "instruments/NMEA.h"

namespace {

std::string ReadLog() {
  std::ifstream f(std::string(BRISMARE_TESTDATA_DIR) + "/nmea/Hakefjord.log", std::ios::binary);
  std::ostringstream s;
  s << f.rdbuf();
  return s.str();
}

void Run(benchmark::State& state, size_t blockSize) {
  static const std::string log = ReadLog();
  if (log.empty()) {
    state.SkipWithError("test data nmea/Hakefjord.log is absent");
    return;
  }
  if (blockSize == 0) blockSize = log.size();
  int64_t sentences = 0;
  for (auto _ : state) {
    TNMEALineBuffer buffer;
    for (size_t at = 0; at < log.size(); at += blockSize)
      buffer.FeedText(std::string_view(log).substr(at, blockSize));
    sentences += buffer.LineCount();
    benchmark::DoNotOptimize(buffer.Parser().Info.Pos);
  }
  state.counters["sentences/s"] = benchmark::Counter(static_cast<double>(sentences), benchmark::Counter::kIsRate);
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(log.size()));
}

// The whole log as one block.
void BM_NmeaWholeLog(benchmark::State& state) { Run(state, 0); }
BENCHMARK(BM_NmeaWholeLog)->Unit(benchmark::kMillisecond);

// In pieces of 64 bytes, as a serial port at 38400 baud delivers them.
void BM_NmeaSerialBlocks(benchmark::State& state) { Run(state, 64); }
BENCHMARK(BM_NmeaSerialBlocks)->Unit(benchmark::kMillisecond);

}  // namespace
