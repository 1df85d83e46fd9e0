// Route following, one update tick at a time:
//  - BM_FollowTick: UpdateCycle on a route of 1 000 legs of about a mile
//    (a slowly turning course at 59 N) with the boat moving along it, 100
//    ticks a leg, swinging from side to side; each tick looks up the leg
//    the boat is on (all points), each waypoint switch measures the rest
//    of the route. When the route has been sailed the boat starts again (the
//    few ticks after the route's end, 20 s before its last point, cost
//    nothing).
#include <benchmark/benchmark.h>

#include <cmath>
#include <string>
#include <vector>

#include "foundation/GenUtil.h"
#include "instruments/NMEAInfo.h"
#include "navobjects/LogBook.h"
#include "navobjects/Routes.h"

namespace {

constexpr int kLegs = 1000;
constexpr int kTicksPerLeg = 100;

TRoutePoints Voyage() {
  TRoutePoints points;
  double lon = 10.0, lat = 59.0, course = 0.3;
  uint32_t x = 7;
  auto next = [&x] {
    x = x * 1664525u + 1013904223u;
    return (x >> 8) / double(1u << 24);
  };
  for (int i = 0; i <= kLegs; ++i) {
    TRoutePointRec p;
    p.Position = {lon * kDegToRad, lat * kDegToRad};
    p.Name = "WP" + std::to_string(i);
    points.push_back(std::move(p));
    course += (next() - 0.5) * 0.8;
    const double nm = 0.8 + 0.4 * next();
    lat += nm / 60 * std::cos(course);
    lon += nm / 60 * std::sin(course) / std::cos(lat * kDegToRad);
  }
  return points;
}

// The boat's positions: along each leg, swinging 0.02 mile to either side.
std::vector<TFPoint> BoatTrack(const TRoutePoints& route) {
  std::vector<TFPoint> track;
  track.reserve(route.size() * kTicksPerLeg);
  for (size_t i = 0; i + 1 < route.size(); ++i) {
    const TFPoint a = route[i].Position, b = route[i + 1].Position;
    const TFPoint db = GeoDistBearing(a, b);
    for (int k = 0; k < kTicksPerLeg; ++k) {
      const double f = static_cast<double>(k) / kTicksPerLeg;
      const double side = 0.02 / kRadToNM * std::sin(f * 2 * kPi);
      const TFPoint on = {a.X + f * (b.X - a.X), a.Y + f * (b.Y - a.Y)};
      track.push_back(GeoOffset(on, {side, db.Y + kPi / 2}));
    }
  }
  return track;
}

void BM_FollowTick(benchmark::State& state) {
  TRoute route;
  const TRoutePoints points = Voyage();
  route.InsertList(TRoutePoints(points), 0);
  const std::vector<TFPoint> track = BoatTrack(points);
  TNMEAINFO nav;
  TLOGGBOOK log(&nav);
  log.AutoMask = 0xFFFFFFFFu;
  route.LogBook = &log;
  nav.SOG = 6;
  nav.Heading = 0.3;
  size_t at = 0;
  int64_t switches = 0;
  for (auto _ : state) {
    nav.Pos = track[at];
    if (at == 0) {
      route.Stop(nav);
      route.Start(nav, true);
    }
    route.UpdateCycle(nav);
    switches += route.WasLegChanged();
    if (++at == track.size()) at = 0;
    benchmark::DoNotOptimize(nav.XTE);
  }
  state.counters["legs"] = kLegs;
  state.counters["switches"] = static_cast<double>(switches);
}
BENCHMARK(BM_FollowTick)->Unit(benchmark::kMicrosecond);

}  // namespace
