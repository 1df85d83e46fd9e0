// The chart catalog: the automatic chart choice runs at every display update
// while the boat moves; the plotter loads the catalog at every start; the
// calibration tool scans whole chart sets.
//
// The synthetic catalog: 10 000 charts over 40 x 20 degrees of coast, nested
// as real chart sets are (coastal 1:200 000 charts in a grid, approach
// charts 1:50 000 and harbour charts 1:25 000 and 1:10 000 placed at random),
// each with a 24-point border and priorities 1 to 3.
#include <benchmark/benchmark.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "charts/CatalogScan.h"
#include "charts/ChartFile.h"
#include "charts/ChartList.h"
#include "geodesy/Datum.h"
#include "platform/AtomicFile.h"

namespace {

constexpr double kWest = 0, kSouth = 40, kEast = 40, kNorth = 60;

TFPoint Deg(double lon, double lat) { return {lon * kDegToRad, lat * kDegToRad}; }

// A rectangle's border with `perSide` points on each side.
RChartLayout Chart(const std::string& name, int32_t scale, uint16_t priority, double lon, double lat, double w,
                   double h, const std::string& file) {
  RChartLayout e;
  e.Name = name;
  e.FileName = file;
  e.Scale = scale;
  e.Priority = priority;
  constexpr int perSide = 6;
  for (int i = 0; i < perSide; ++i) e.Border.push_back(Deg(lon + w * i / perSide, lat));
  for (int i = 0; i < perSide; ++i) e.Border.push_back(Deg(lon + w, lat + h * i / perSide));
  for (int i = 0; i < perSide; ++i) e.Border.push_back(Deg(lon + w - w * i / perSide, lat + h));
  for (int i = 0; i < perSide; ++i) e.Border.push_back(Deg(lon, lat + h - h * i / perSide));
  e.Bounds = {Deg(lon + w, 0).X, Deg(0, lat + h).Y, Deg(lon, 0).X, Deg(0, lat).Y};
  return e;
}

// The synthetic catalog; file names below `dir`.
void FillCatalog(TChartList& list, const std::string& dir) {
  std::mt19937 rng(42);
  std::uniform_real_distribution<double> lon(kWest, kEast), lat(kSouth, kNorth);
  std::uniform_int_distribution<int> prio(1, 3);
  int n = 0;
  auto add = [&](int32_t scale, uint16_t priority, double x, double y, double w, double h) {
    const std::string name = "Chart " + std::to_string(n++);
    list.AddEntry(Chart(name, scale, priority, x, y, w, h, dir + name + ".kap"), false);
  };
  for (double x = kWest; x < kEast; x += 2)
    for (double y = kSouth; y < kNorth; y += 1) add(200000, 1, x, y, 2.2, 1.1);  // 400
  for (int i = 0; i < 2400; ++i) add(50000, static_cast<uint16_t>(prio(rng)), lon(rng), lat(rng), 0.4, 0.2);
  for (int i = 0; i < 2200; ++i) add(25000, 1, lon(rng), lat(rng), 0.15, 0.08);
  for (int i = 0; i < 5000; ++i) add(10000, static_cast<uint16_t>(prio(rng)), lon(rng), lat(rng), 0.05, 0.03);
}

std::vector<TFPoint> Queries() {
  std::mt19937 rng(7);
  // A little beyond the charted area, so some positions have no chart.
  std::uniform_real_distribution<double> lon(kWest - 1, kEast + 1), lat(kSouth - 1, kNorth + 1);
  std::vector<TFPoint> q;
  for (int i = 0; i < 1024; ++i) q.push_back(Deg(lon(rng), lat(rng)));
  return q;
}

void BM_BestChart10000(benchmark::State& state) {
  TChartList list;
  FillCatalog(list, "/charts/");
  const std::vector<TFPoint> q = Queries();
  size_t i = 0;
  int found = 0;
  for (auto _ : state) {
    found += list.BestChart(q[i++ & 1023], 3, 0, 0) >= 0;
    benchmark::DoNotOptimize(found);
  }
  state.counters["entries"] = list.Count();
}
BENCHMARK(BM_BestChart10000)->Unit(benchmark::kMicrosecond);

void BM_BestChartForTwo10000(benchmark::State& state) {
  TChartList list;
  FillCatalog(list, "/charts/");
  const std::vector<TFPoint> q = Queries();
  size_t i = 0;
  for (auto _ : state) {
    const TFPoint p = q[i++ & 1023];
    benchmark::DoNotOptimize(list.BestChartForTwo({p.X + 0.0005, p.Y + 0.0003}, p, 0, 0));
  }
}
BENCHMARK(BM_BestChartForTwo10000)->Unit(benchmark::kMicrosecond);

void BM_LoadCatalog10000(benchmark::State& state) {
  TChartList list;
  FillCatalog(list, "/charts/");
  const std::string bytes = list.SaveToBytes();
  for (auto _ : state) {
    TChartList loaded;
    benchmark::DoNotOptimize(loaded.LoadFromBytes(bytes, std::string()).Entries);
  }
  state.counters["bytes"] = static_cast<double>(bytes.size());
}
BENCHMARK(BM_LoadCatalog10000)->Unit(benchmark::kMillisecond);

// A temporary directory removed at the end.
struct TScratch {
  std::string dir;
  TScratch() {
    const char* base = std::getenv("TMPDIR");
    std::string tmpl = std::string(base && *base ? base : "/tmp") + "/bench-catalog-XXXXXX";
    std::vector<char> buf(tmpl.begin(), tmpl.end());
    buf.push_back('\0');
    if (::mkdtemp(buf.data())) dir = std::string(buf.data()) + "/";
  }
  ~TScratch() {
    std::error_code ec;
    if (!dir.empty()) std::filesystem::remove_all(dir, ec);
  }
};

// The plotter's start: every entry's chart file is looked for on the disk.
void BM_LoadCatalog10000OverChartDir(benchmark::State& state) {
  TScratch s;
  TChartList list;
  FillCatalog(list, s.dir);
  std::string error;
  for (int i = 0; i < list.Count(); ++i)
    if (!AtomicWriteFile(list.GetFileName(i), "x", &error)) {
      state.SkipWithError(("cannot write the chart files: " + error).c_str());
      return;
    }
  const std::string file = s.dir + kCatalogFileName;
  if (!list.SaveToFile(file, &error)) {
    state.SkipWithError(("cannot write the catalog: " + error).c_str());
    return;
  }
  for (auto _ : state) {
    TChartList loaded;
    benchmark::DoNotOptimize(loaded.LoadFromFile(file, s.dir).Entries);
  }
}
BENCHMARK(BM_LoadCatalog10000OverChartDir)->Unit(benchmark::kMillisecond);

// Writes `count` copies of a real NOAA chart into `dir`, each with a name of
// its own (same length: the row offsets stay); with `headerOnly` only the
// text header and its end mark. False (the benchmark skipped) when the
// test data or the datum table is missing or a copy cannot be written.
bool WriteKapCopies(benchmark::State& state, const std::string& dir, int count, bool headerOnly) {
  const std::string sample = std::string(BRISMARE_TESTDATA_DIR) + "/charts/14988_2.KAP";
  std::ifstream in(sample, std::ios::binary);
  std::string kap((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  const std::string name = "BASSWOOD LAKE EASTERN PART EXTENSION  A";
  const size_t at = kap.find(name);
  const size_t end = kap.find('\x1a');
  if (at == std::string::npos || end == std::string::npos || ShippedDataDir().empty()) {
    state.SkipWithError("test data or datum table missing");
    return false;
  }
  if (headerOnly) kap.resize(end + 2);
  for (int i = 0; i < count; ++i) {
    std::string copy = kap;
    const std::string own = "CHART " + std::to_string(100000 + i);
    copy.replace(at, own.size(), own);
    std::string error;
    if (!AtomicWriteFile(dir + "C" + std::to_string(100000 + i) + ".KAP", copy, &error)) {
      state.SkipWithError(("cannot write the chart copies: " + error).c_str());
      return false;
    }
  }
  return true;
}

// What a scan of the charts in `dir` reads with: the shipped datum table
// and a chart file reader over that directory.
struct TScanTools {
  TDatum datum{ShippedDataDir() + kDatumFileName};
  TChartHeadExternalCodec codec;
  TChartFile chartFile{codec};
  explicit TScanTools(const std::string& dir) {
    chartFile.AlwaysBuildInfo = true;
    chartFile.SearchPath = dir;
  }
};

// Scanning 1 000 KAP charts (copies of a real NOAA chart, each with a name
// of its own) into an empty catalog.
void BM_ScanKapHeaders1000(benchmark::State& state) {
  TScratch s;
  constexpr int kCharts = 1000;
  if (!WriteKapCopies(state, s.dir, kCharts, false)) return;
  TScanTools tools(s.dir);
  int64_t charts = 0;
  for (auto _ : state) {
    TChartList list;
    TCatalogScanner scanner(list, tools.datum, tools.chartFile);
    scanner.ScanDirectory(s.dir, false);
    if (list.Count() != kCharts) state.SkipWithError("not every chart was added");
    charts += list.Count();
  }
  state.counters["charts/s"] = benchmark::Counter(static_cast<double>(charts), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_ScanKapHeaders1000)->Unit(benchmark::kMillisecond)->Iterations(3);

// "Update" over 10 000 KAP headers already in the catalog: every entry read
// again (the refresh), then the directory scanned for new charts (all are
// listed). The copies hold the header of a real NOAA chart with a name of
// their own and no raster: the refresh reads headers only.
void BM_UpdateKapHeaders10000(benchmark::State& state) {
  TScratch s;
  constexpr int kCharts = 10000;
  if (!WriteKapCopies(state, s.dir, kCharts, true)) return;
  TScanTools tools(s.dir);
  TChartList list;
  list.SetSearchPath(s.dir);
  TCatalogScanner scanner(list, tools.datum, tools.chartFile);
  scanner.ScanDirectory(s.dir, false);
  if (list.Count() != kCharts) {
    state.SkipWithError("not every chart was added");
    return;
  }
  int64_t headers = 0;
  for (auto _ : state) {
    scanner.ClearReport();
    scanner.RefreshEntries();
    scanner.ScanDirectory(s.dir, false);
    if (!scanner.Problems.empty() || scanner.Counters.InList != kCharts) state.SkipWithError("the update failed");
    headers += kCharts;
  }
  state.counters["headers/s"] = benchmark::Counter(static_cast<double>(headers), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_UpdateKapHeaders10000)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace
