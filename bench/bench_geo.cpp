// Hot paths of the geographic helpers: route guidance and AIS call
// GeoDistBearing every second per target; automatic chart choice tests the
// boat's position against every catalog chart's bounds and border.
#include <benchmark/benchmark.h>

#include <cmath>
#include <random>
#include <vector>

#include "foundation/GenUtil.h"

namespace {

TFPoint Pos(double latDeg, double lonDeg) { return {lonDeg * kDegToRad, latDeg * kDegToRad}; }

// A star-shaped chart border of n points around a centre, radius 0.5-1 degree.
TFPointArray Border(std::mt19937& rng, TFPoint centre, int n) {
  std::uniform_real_distribution<double> radius(0.5 * kDegToRad, 1.0 * kDegToRad);
  TFPointArray pts;
  for (int i = 0; i < n; ++i) {
    double a = 2 * kPi * i / n;
    double r = radius(rng);
    pts.push_back({centre.X + r * std::sin(a), centre.Y + r * std::cos(a)});
  }
  return pts;
}

TFRect Bounds(const TFPointArray& pts) {
  TFRect r{pts[0].X, pts[0].Y, pts[0].X, pts[0].Y};
  for (const TFPoint& p : pts) {
    r.X1 = std::max(r.X1, p.X);
    r.X2 = std::min(r.X2, p.X);
    r.Y1 = std::max(r.Y1, p.Y);
    r.Y2 = std::min(r.Y2, p.Y);
  }
  return r;
}

void BM_GeoDistBearing(benchmark::State& state) {
  std::mt19937 rng(1);
  std::uniform_real_distribution<double> lat(-60, 60), lon(-180, 180);
  std::vector<TFPoint> pts;
  for (int i = 0; i < 1024; ++i) pts.push_back(Pos(lat(rng), lon(rng)));
  size_t i = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(GeoDistBearing(pts[i & 1023], pts[(i + 1) & 1023]));
    ++i;
  }
}
BENCHMARK(BM_GeoDistBearing);

void BM_PointInPolygon50(benchmark::State& state) {
  std::mt19937 rng(2);
  TFPoint centre = Pos(59, 18);
  TFPointArray border = Border(rng, centre, 50);
  std::uniform_real_distribution<double> off(-1.2 * kDegToRad, 1.2 * kDegToRad);
  std::vector<TFPoint> tests;
  for (int i = 0; i < 1024; ++i) tests.push_back({centre.X + off(rng), centre.Y + off(rng)});
  size_t i = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(PointInPolygon(border, tests[i & 1023]));
    ++i;
  }
}
BENCHMARK(BM_PointInPolygon50);

void BM_PointInFRect(benchmark::State& state) {
  TFRect r{20 * kDegToRad, 60 * kDegToRad, 17 * kDegToRad, 58 * kDegToRad};
  std::mt19937 rng(3);
  std::uniform_real_distribution<double> lat(57, 61), lon(16, 21);
  std::vector<TFPoint> tests;
  for (int i = 0; i < 1024; ++i) tests.push_back(Pos(lat(rng), lon(rng)));
  size_t i = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(PointInFRect(tests[i & 1023], r));
    ++i;
  }
}
BENCHMARK(BM_PointInFRect);

// One automatic chart choice: bounds first, then the 50-point border, over a
// catalog of 5 000 charts spread over a sea area (should stay well under 1 ms).
void BM_CatalogChoice5000(benchmark::State& state) {
  std::mt19937 rng(4);
  std::uniform_real_distribution<double> lat(54, 66), lon(5, 30);
  std::vector<TFPointArray> borders;
  std::vector<TFRect> bounds;
  for (int i = 0; i < 5000; ++i) {
    borders.push_back(Border(rng, Pos(lat(rng), lon(rng)), 50));
    bounds.push_back(Bounds(borders.back()));
  }
  TFPoint boat = Pos(59.3, 18.1);
  for (auto _ : state) {
    int hits = 0;
    for (size_t c = 0; c < borders.size(); ++c)
      if (PointInFRect(boat, bounds[c]) && PointInPolygon(borders[c], boat)) ++hits;
    benchmark::DoNotOptimize(hits);
  }
}
BENCHMARK(BM_CatalogChoice5000)->Unit(benchmark::kMicrosecond);

}  // namespace
