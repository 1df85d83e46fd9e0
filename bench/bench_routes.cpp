// Routes and positions on the chart, and their files:
//  - BM_DrawShapes: one frame of 1920 x 1080 pixels (a QImage through the
//    window's canvas) with 5 000 positions and a route of 1 000 points, all
//    on the chart, drawn as the chart view draws them: legs, position
//    symbols with their names, route symbols;
//  - BM_SaveSrw / BM_LoadSrw: a route of 10 000 points written to and read
//    from an SRW file (the read merges it into an empty route and places
//    it on the chart); BM_LoadPositions the same as positions, whose names
//    are checked for repeats.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <QGuiApplication>
#include <QImage>
#include <QPainter>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <memory>
#include <string>

#include "geodesy/CTrans.h"
#include "navobjects/Routes.h"
#include "platform/qt/QtCanvas.h"
#include "plotter/core/ChartShapes.h"
#include "plotter/core/Dashboard.h"
#include "plotter/core/SysInfo.h"

namespace {

constexpr int kViewW = 1920;
constexpr int kViewH = 1080;

// A Mercator chart the size of the view, 10.0 to 11.0 E, 59.5 to 60.0 N.
void MakeChart(TWorldConvert& w) {
  RGeoRef ref;
  ref.Projection = kProjMercator;
  w.SetupProjection(ref);
  const double r = kDegToRad;
  w.SetRefPoints({{0, 0, 10 * r, 60 * r},
                  {kViewW, 0, 11 * r, 60 * r},
                  {0, kViewH, 10 * r, 59.5 * r},
                  {kViewW, kViewH, 11 * r, 59.5 * r}});
  w.Fit();
}

TFRect ChartBounds() { return {11 * kDegToRad, 60 * kDegToRad, 10 * kDegToRad, 59.5 * kDegToRad}; }

TFPointArray ChartCorners() {
  const double r = kDegToRad;
  return {{10 * r, 60 * r}, {11 * r, 60 * r}, {11 * r, 59.5 * r}, {10 * r, 59.5 * r}};
}

// n points spread over the chart by a fixed pseudo-random sequence.
TRoutePoints Points(int n, const char* prefix, uint32_t seed) {
  TRoutePoints points;
  points.reserve(static_cast<size_t>(n));
  uint32_t x = seed;
  auto next = [&x] {
    x = x * 1664525u + 1013904223u;
    return (x >> 8) / double(1u << 24);
  };
  for (int i = 0; i < n; ++i) {
    TRoutePointRec p;
    p.Position = {(10.02 + 0.96 * next()) * kDegToRad, (59.51 + 0.48 * next()) * kDegToRad};
    p.Name = std::string(prefix) + std::to_string(i);
    p.LegSpeed = 6;
    points.push_back(std::move(p));
  }
  return points;
}

// A route of n points as a boat sails one: legs of a few miles (about 20 to
// 60 pixels here) in a slowly turning direction, kept on the chart.
TRoutePoints Voyage(int n, uint32_t seed) {
  TRoutePoints points;
  points.reserve(static_cast<size_t>(n));
  uint32_t x = seed;
  auto next = [&x] {
    x = x * 1664525u + 1013904223u;
    return (x >> 8) / double(1u << 24);
  };
  double lon = 10.5, lat = 59.75, course = 0;
  for (int i = 0; i < n; ++i) {
    TRoutePointRec p;
    p.Position = {lon * kDegToRad, lat * kDegToRad};
    p.Name = "R" + std::to_string(i);
    points.push_back(std::move(p));
    course += (next() - 0.5) * 1.2;
    const double step = 0.01 + 0.02 * next();  // degrees of longitude
    lon += step * std::sin(course);
    lat += step * 0.5 * std::cos(course);
    // Turned back at the chart's edge.
    if (lon < 10.03 || lon > 10.97) course = -course, lon = std::clamp(lon, 10.03, 10.97);
    if (lat < 59.52 || lat > 59.98) course = kPi - course, lat = std::clamp(lat, 59.52, 59.98);
  }
  return points;
}

struct TScene {
  TWorldConvert convert;
  TRoute route;
  TRoute positions;
  std::unique_ptr<TChartShapes> shapes;
  explicit TScene(bool labels = true) {
    MakeChart(convert);
    shapes = std::make_unique<TChartShapes>(route, positions, convert);
    RSysInfo sys;
    sys.WaypointInfobox = labels;
    shapes->ApplySettings(sys, ComputeWindowColours(0, sys));
    positions.InsertList(Points(5000, "P", 1), 0);
    route.InsertList(Voyage(1000, 2), 0);
    shapes->ChartLoaded(ChartBounds(), ChartCorners());
  }
};

// Text needs the font database of a GUI application; without a display
// the offscreen platform serves.
void NeedGuiApplication() {
  static int argc = 1;
  static char name[] = "bench_routes";
  static char* argv[] = {name, nullptr};
  if (!qEnvironmentVariableIsSet("DISPLAY") && !qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
    qputenv("QT_QPA_PLATFORM", "offscreen");
  if (!QGuiApplication::instance()) new QGuiApplication(argc, argv);
}

// Argument: the positions' names drawn beside them ("Waypoint Infobox",
// on by default) or not. Names are laid out at the first frame and copied
// from then on, so the first frame is timed on its own ("first_ms").
void BM_DrawShapes(benchmark::State& state) {
  NeedGuiApplication();
  TScene scene(state.range(0) != 0);
  QImage frame(kViewW, kViewH, QImage::Format_RGB32);
  {
    // A new name for every position, so that nothing drawn before helps.
    for (int i = 0; i < scene.positions.Count(); ++i)
      scene.positions.At(i)->Caption = "Q" + std::to_string(i) + "-" + std::to_string(state.iterations());
    frame.fill(Qt::white);
    const auto t0 = std::chrono::steady_clock::now();
    QPainter painter(&frame);
    TQtCanvas canvas(painter, kViewW, kViewH);
    scene.shapes->Paint(canvas, {0, 0});
    painter.end();
    state.counters["first_ms"] =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();
  }
  for (auto _ : state) {
    state.PauseTiming();
    frame.fill(Qt::white);
    state.ResumeTiming();
    QPainter painter(&frame);
    TQtCanvas canvas(painter, kViewW, kViewH);
    scene.shapes->Paint(canvas, {0, 0});
    painter.end();
    benchmark::DoNotOptimize(frame.constBits());
  }
  state.counters["positions_visible"] = scene.positions.VisibleCount;
  state.counters["route_visible"] = scene.route.VisibleCount;
}
BENCHMARK(BM_DrawShapes)->ArgName("labels")->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond);

// The parts of the frame: 0 the legs, 1 the positions, 2 the route symbols.
void BM_DrawPart(benchmark::State& state) {
  NeedGuiApplication();
  TScene scene;
  QImage frame(kViewW, kViewH, QImage::Format_RGB32);
  for (auto _ : state) {
    state.PauseTiming();
    frame.fill(Qt::white);
    state.ResumeTiming();
    QPainter painter(&frame);
    TQtCanvas canvas(painter, kViewW, kViewH);
    if (state.range(0) == 0) scene.route.PaintLegs(canvas, {0, 0}, scene.shapes->LegPen());
    TShapePainter p(canvas, {0, 0});
    if (state.range(0) == 1) scene.positions.PaintAll(p);
    if (state.range(0) == 2) scene.route.PaintAll(p);
    p.Flush();
    painter.end();
  }
}
BENCHMARK(BM_DrawPart)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);

std::string TempName(const char* what) {
  return "/tmp/bench_routes-" + std::to_string(::getpid()) + "-" + what + ".srw";
}

void BM_SaveSrw(benchmark::State& state) {
  TScene scene;
  TRoute route;
  route.InsertList(Points(10000, "R", 3), 0);
  const std::string file = TempName("save");
  for (auto _ : state) {
    if (route.SaveToFile(file) != 10000) state.SkipWithError(route.LastError.c_str());
  }
  std::remove(file.c_str());
}
BENCHMARK(BM_SaveSrw)->Unit(benchmark::kMillisecond);

void LoadBench(benchmark::State& state, bool positions) {
  TWorldConvert convert;
  MakeChart(convert);
  const std::string file = TempName(positions ? "positions" : "load");
  {
    TRoute route;
    route.InsertList(Points(10000, "R", 4), 0);
    if (route.SaveToFile(file) != 10000) {
      state.SkipWithError("cannot write the file");
      return;
    }
  }
  for (auto _ : state) {
    TRoute route;
    route.IsPositions = positions;
    route.Convert = &convert;
    route.SetViewRect(ChartBounds());
    if (route.LoadFromFile(file) != 10000) state.SkipWithError("read fewer points");
    benchmark::DoNotOptimize(route.VisibleCount);
  }
  std::remove(file.c_str());
}

void BM_LoadSrw(benchmark::State& state) { LoadBench(state, false); }
void BM_LoadPositions(benchmark::State& state) { LoadBench(state, true); }
BENCHMARK(BM_LoadSrw)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadPositions)->Unit(benchmark::kMillisecond);

}  // namespace
