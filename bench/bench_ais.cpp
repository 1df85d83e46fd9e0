// AIS decoding and the target table's housekeeping.
//
// BM_AisMillionSentences: the "!" sentences of a real sailing log
// (Hakefjord.log: 15 912 VDM and VDO sentences, class A and B traffic, base
// stations, static data) repeated to a million, through a line assembler,
// the parser, the assembly, the decoding and the table, as the plotter
// receives them. Counters: sentences and decoded messages per second.
//
// BM_AisHousekeeping: the table work of the plotter's tick with 5 000
// targets: ageing, the chart points of every target and the alarm check
// (a tenth of the targets close to alarm). Goal: well under 1 ms.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cmath>
#include <fstream>
#include <sstream>
#include <string>

#include "instruments/AIS.h"
#include "instruments/NMEA.h"

namespace {

constexpr int64_t kSentences = 1000000;

// The AIS lines of the log, repeated to kSentences lines ("" without the log).
const std::string& MillionSentences() {
  static const std::string text = [] {
    std::ifstream f(std::string(BRISMARE_TESTDATA_DIR) + "/nmea/Hakefjord.log", std::ios::binary);
    std::string ais, line;
    int64_t lines = 0;
    while (std::getline(f, line))
      if (!line.empty() && line[0] == '!') {
        ais += line;
        ais += '\n';
        ++lines;
      }
    std::string out;
    if (lines == 0) return out;
    out.reserve(ais.size() * static_cast<size_t>(kSentences / lines + 1));
    for (int64_t n = 0; n < kSentences;) {
      size_t at = 0;
      while (at < ais.size() && n < kSentences) {
        const size_t end = ais.find('\n', at) + 1;
        out.append(ais, at, end - at);
        at = end;
        ++n;
      }
    }
    return out;
  }();
  return text;
}

void BM_AisMillionSentences(benchmark::State& state) {
  const std::string& text = MillionSentences();
  if (text.empty()) {
    state.SkipWithError("test data nmea/Hakefjord.log is absent");
    return;
  }
  int64_t sentences = 0, messages = 0;
  for (auto _ : state) {
    TNMEALineBuffer buffer;
    TAisDecoder ais(buffer.Parser());
    ais.OnMessage = [&messages](const TAisMessage&, bool) { ++messages; };
    buffer.FeedText(text);
    sentences += buffer.LineCount();
    benchmark::DoNotOptimize(ais.TargetCount());
  }
  state.counters["sentences/s"] = benchmark::Counter(static_cast<double>(sentences), benchmark::Counter::kIsRate);
  state.counters["messages/s"] = benchmark::Counter(static_cast<double>(messages), benchmark::Counter::kIsRate);
  state.SetItemsProcessed(sentences);
}
BENCHMARK(BM_AisMillionSentences)->Unit(benchmark::kMillisecond)->MinTime(2.0);

void BM_AisHousekeeping(benchmark::State& state) {
  const int count = static_cast<int>(state.range(0));
  TManualClock clock;
  TNMEA parser(clock);
  TAisDecoder ais(parser);
  parser.Info.Pos = {0.2, 1.0};
  parser.Info.VelEast = 0;
  parser.Info.VelNorth = 0;
  ais.SetAisViewArea({0.25, 1.05, 0.15, 0.95});
  for (int k = 0; k < count; ++k) {
    TAisMessage m;
    m.Type = 1;
    m.BitCount = 168;
    m.MMSI = 200000000 + k;
    // Spread over about 7 x 7 nautical miles around the own vessel (lying
    // still); every tenth target heads straight for it.
    const double dLat = ((k * 7919) % 2000 - 1000) * 1e-6, dLon = ((k * 104729) % 2000 - 1000) * 2e-6;
    m.Lat = static_cast<int32_t>((1.0 + dLat) / kAisRawToRad);
    m.Lon = static_cast<int32_t>((0.2 + dLon) / kAisRawToRad);
    m.Speed = 120;
    const double toOwn = std::atan2(-dLon * std::cos(1.0), -dLat) * 1800 / 3.141592653589793;
    m.Course = k % 10 == 0 ? static_cast<int32_t>(std::lround(toOwn < 0 ? toOwn + 3600 : toOwn)) % 3600 : k % 3600;
    m.Heading = 511;
    ais.Apply(m, false);
  }
  auto project = [](const TFPoint& p, TPoint& px) {
    px = {static_cast<int32_t>(p.X * 1e5), static_cast<int32_t>(p.Y * 1e5)};
    return true;
  };
  int alarms = 0;
  for (auto _ : state) {
    // Time moves on (targets are dead-reckoned) but never so far that they
    // would age out: every run works on the whole table.
    clock.Advance(std::chrono::milliseconds(1));
    const TAisDecoder::TPurge p = ais.Purge(4, 60);
    const int points = ais.UpdateScreenPoints(true, project);
    alarms = ais.CheckAlarms(30.0 / 1440, 1.0);
    benchmark::DoNotOptimize(p);
    benchmark::DoNotOptimize(points);
  }
  state.counters["targets"] = static_cast<double>(ais.Targets().size());
  state.counters["in alarm"] = static_cast<double>(alarms);
}
BENCHMARK(BM_AisHousekeeping)->Arg(5000)->Unit(benchmark::kMicrosecond);

}  // namespace
