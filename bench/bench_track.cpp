// Tracks: a day recorded at one point a second (86 400 records) on a chart
// the size of a 1920 x 1080 view.
//  - BM_LoadDay: the day file opened for viewing (one bulk read, the points
//    taken into the track); goal below 20 ms;
//  - BM_PlaceAndDraw: the view set (the shown range found and its points
//    placed) and the line drawn into a QImage through the window's canvas,
//    at zooms 0.25, 1 and 4 (the view centred on the chart); goal below
//    8 ms; "dashed" draws with the pen of a track width of 0, "newchart"
//    converts every point anew (the first frame on a chart);
//  - BM_AppendToFullDay: one point recorded at the end of a full day file,
//    written whole and flushed to the disk, and joined to the drawn line.
#include <benchmark/benchmark.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QImage>
#include <QPainter>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>

#include "foundation/GenUtil.h"
#include "geodesy/CTrans.h"
#include "instruments/NMEAInfo.h"
#include "navobjects/Trace.h"
#include "platform/AtomicFile.h"
#include "platform/Clock.h"
#include "platform/qt/QtCanvas.h"

namespace {

constexpr int kViewW = 1920;
constexpr int kViewH = 1080;
constexpr int kDay = 86400;
constexpr TDateTime kDayStart = 45458;  // 2024-06-15

// A Mercator chart the size of the view at zoom 1, 10.0 to 11.0 E, 59.5 to
// 60.0 N: its four corners as reference points.
void MakeChart(TWorldConvert& w) {
  RGeoRef ref;
  ref.Projection = kProjMercator;
  w.SetupProjection(ref);
  TGridPointArray corners;
  for (int k = 0; k < 4; ++k) {
    const int right = k & 1, bottom = k >> 1;
    corners.push_back({double(right * kViewW), double(bottom * kViewH), (10.0 + right) * kDegToRad,
                       (60.0 - 0.5 * bottom) * kDegToRad});
  }
  w.SetRefPoints(corners);
  w.Fit();
}

// A day at 6 knots, a point a second (about 3 m apart), in a slowly
// turning course kept on the chart.
TTrcRecords Day() {
  TTrcRecords records;
  records.reserve(kDay);
  uint32_t x = 7;
  auto next = [&x] {
    x = x * 1664525u + 1013904223u;
    return (x >> 8) / double(1u << 24);
  };
  double lon = 10.5, lat = 59.75, course = 0.3;
  const double step = 3.0866 / 1852 / 60;  // degrees of latitude a second
  for (int i = 0; i < kDay; ++i) {
    TTrcRecord r;
    r.Pos = TrackIntPos({lon * kDegToRad, lat * kDegToRad});
    r.SOG = 6;
    r.Heading = static_cast<int16_t>(std::fmod(course * kRadToDeg + 3600, 360) * 10);
    r.Time = kDayStart + i / 86400.0;
    records.push_back(r);
    course += (next() - 0.5) * 0.02;
    lon += step * std::sin(course) / std::cos(lat * kDegToRad);
    lat += step * std::cos(course);
    if (lon < 10.02 || lon > 10.98) course = -course, lon = std::clamp(lon, 10.02, 10.98);
    if (lat < 59.51 || lat > 59.99) course = kPi - course, lat = std::clamp(lat, 59.51, 59.99);
  }
  return records;
}

// The day file, written once per process into a directory of its own and
// removed with it at the end.
class TDayFile {
 public:
  TDayFile() : dir_("/tmp/bench_track-" + std::to_string(::getpid())) {
    ::mkdir(dir_.c_str(), 0755);
    file_ = TrackFileName(dir_, kDayStart);
    AtomicWriteFile(file_, EncodeTrc(Day()));
  }
  ~TDayFile() {
    std::remove(file_.c_str());
    ::rmdir(dir_.c_str());
  }
  const std::string& dir() const { return dir_; }
  const std::string& file() const { return file_; }

 private:
  std::string dir_, file_;
};

const TDayFile& DayFile() {
  static const TDayFile day;
  return day;
}

void BM_LoadDay(benchmark::State& state) {
  TWorldConvert convert;
  MakeChart(convert);
  const std::string& file = DayFile().file();
  for (auto _ : state) {
    TTrace t(&convert);
    if (!t.OpenForView(file) || t.Count() < kDay / 2) state.SkipWithError("the day file did not load");
    benchmark::DoNotOptimize(t.Points().data());
  }
}
BENCHMARK(BM_LoadDay)->Unit(benchmark::kMillisecond);

// Arguments: the zoom in percent; 1 for the dashed pen; 1 for a new chart
// before every frame (every point of the view converted anew, as after a
// chart is opened; else a zoom or scroll on the same chart).
void BM_PlaceAndDraw(benchmark::State& state) {
  const double zoom = state.range(0) / 100.0;
  TWorldConvert convert;
  MakeChart(convert);
  convert.SetScale(zoom, zoom);
  // The view centred on the chart: its corners back to positions.
  const TPoint scroll{static_cast<int32_t>((kViewW * zoom - kViewW) / 2),
                      static_cast<int32_t>((kViewH * zoom - kViewH) / 2)};
  TFPoint nw, se;
  convert.PixelToGeo({double(scroll.X), double(scroll.Y)}, nw);
  convert.PixelToGeo({double(scroll.X + kViewW), double(scroll.Y + kViewH)}, se);
  const TFRect area{se.X, nw.Y, nw.X, se.Y};
  TTrace t(&convert);
  if (!t.OpenForView(DayFile().file())) {
    state.SkipWithError("the day file did not load");
    return;
  }
  const TPen pen = TrackPen(0xFF00FF, state.range(1) ? 0 : 2);
  QImage frame(kViewW, kViewH, QImage::Format_RGB32);
  for (auto _ : state) {
    state.PauseTiming();
    frame.fill(Qt::white);
    // A new chart: the same one moved by a hundred-millionth of a degree.
    if (state.range(2)) convert.Shift.X = convert.Shift.X == 0 ? 1e-10 : 0;
    state.ResumeTiming();
    t.SetViewArea(area);
    QPainter painter(&frame);
    TQtCanvas canvas(painter, kViewW, kViewH);
    t.Draw(canvas, scroll, pen);
    painter.end();
    benchmark::DoNotOptimize(frame.constBits());
  }
  state.counters["shown"] = t.ScreenCount();
}
BENCHMARK(BM_PlaceAndDraw)
    ->ArgNames({"zoom%", "dashed", "newchart"})
    ->Args({25, 0, 0})
    ->Args({100, 0, 0})
    ->Args({400, 0, 0})
    ->Args({100, 1, 0})
    ->Args({25, 0, 1})
    ->Args({100, 0, 1})
    ->Args({400, 0, 1})
    ->Unit(benchmark::kMillisecond);

void BM_AppendToFullDay(benchmark::State& state) {
  TWorldConvert convert;
  MakeChart(convert);
  // A copy in a directory of its own, so that the other benchmarks keep a
  // day of exactly 86 400 points.
  const std::string dir = DayFile().dir() + "/append";
  ::mkdir(dir.c_str(), 0755);
  const std::string file = TrackFileName(dir, kDayStart);
  std::string bytes;
  ReadWholeFile(DayFile().file(), bytes);
  AtomicWriteFile(file, bytes);
  TManualClock clock(kDayStart + 0.5);
  TTrace t(&convert, clock);
  t.Settings.TrackDir = dir;
  t.Settings.TrackTime = 0;
  t.Settings.TrackDistance = 0;
  t.Settings.TrackCompDev = 0;
  t.SetViewArea({11 * kDegToRad, 60 * kDegToRad, 10 * kDegToRad, 59.5 * kDegToRad});
  TNMEAINFO info;
  info.Pos = {10.5 * kDegToRad, 59.75 * kDegToRad};
  info.SOG = 6;
  info.Heading = 0;
  if (!t.StartRecording(info) || t.Count() < kDay / 2) {
    state.SkipWithError("the day file did not open for recording");
    return;
  }
  int64_t n = 0;
  for (auto _ : state) {
    info.Pos.Y += 1e-6;  // about 6 m north
    clock.Advance(std::chrono::seconds(1));
    t.RecordTick(info);
    ++n;
  }
  if (static_cast<int64_t>(FileSizeOf(file)) != static_cast<int64_t>(bytes.size()) + n * 30)
    state.SkipWithError("not every point was written");
  t.Stop();
  std::remove(file.c_str());
  ::rmdir(dir.c_str());
}
BENCHMARK(BM_AppendToFullDay)->Unit(benchmark::kMicrosecond);

}  // namespace
