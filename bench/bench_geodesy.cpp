// Geodesy benchmarks: chart pixel <-> WGS 84 conversion of a whole track (a
// 100 000-point track must convert well within one frame), the fit of a
// chart with many reference points, and one magnetic declination.
#include <benchmark/benchmark.h>

#include <cmath>
#include <random>
#include <vector>

#include "foundation/Types.h"
#include "geodesy/CTrans.h"
#include "geodesy/MagError.h"

namespace {

constexpr size_t kTrackPoints = 100000;

double Deg(double d) { return d * kDegToRad; }

// A 10 000 x 8 000 pixel chart around 59 N 18 E with `count` reference
// points on a slightly irregular grid (so that the residual correction runs).
TWorldConvert MakeChart(uint8_t code, int count) {
  RGeoRef ref;
  ref.Projection = code;
  ref.Lat0 = code == kProjMercator ? 0 : Deg(59);
  ref.Lon0 = Deg(18);
  ref.LatS = Deg(58.5);
  ref.LatN = Deg(59.5);
  std::mt19937 rng(3);
  std::uniform_real_distribution<double> jitter(-1.5, 1.5);
  const int side = std::max(2, static_cast<int>(std::ceil(std::sqrt(count))));
  for (int i = 0; i < count; ++i) {
    const double u = static_cast<double>(i % side) / (side - 1), v = static_cast<double>(i / side) / (side - 1);
    ref.RefPoints.push_back({u * 10000 + jitter(rng), v * 8000 + jitter(rng), Deg(17.5 + u), Deg(59.5 - 0.8 * v)});
  }
  TWorldConvert w;
  w.SetupProjection(ref);
  w.SetRefPoints(ref.RefPoints);
  if (!w.Fit()) std::abort();
  return w;
}

std::vector<TFPoint> TrackPixels() {
  std::vector<TFPoint> t(kTrackPoints);
  for (size_t i = 0; i < t.size(); ++i) {
    const double s = static_cast<double>(i) / t.size();
    t[i] = {500 + 9000 * s + 300 * std::sin(40 * s), 400 + 7000 * s + 200 * std::cos(25 * s)};
  }
  return t;
}

void PixelToGeoTrack(benchmark::State& state) {
  TWorldConvert w = MakeChart(static_cast<uint8_t>(state.range(0)), static_cast<int>(state.range(1)));
  const std::vector<TFPoint> track = TrackPixels();
  std::vector<TFPoint> out(track.size());
  for (auto _ : state) {
    for (size_t i = 0; i < track.size(); ++i) w.PixelToGeo(track[i], out[i]);
    benchmark::DoNotOptimize(out.data());
  }
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * track.size()));
}

void GeoToPixelTrack(benchmark::State& state) {
  TWorldConvert w = MakeChart(static_cast<uint8_t>(state.range(0)), static_cast<int>(state.range(1)));
  const std::vector<TFPoint> pixels = TrackPixels();
  std::vector<TFPoint> track(pixels.size()), out(pixels.size());
  for (size_t i = 0; i < pixels.size(); ++i) w.PixelToGeo(pixels[i], track[i]);
  for (auto _ : state) {
    for (size_t i = 0; i < track.size(); ++i) w.GeoToPixel(track[i], out[i]);
    benchmark::DoNotOptimize(out.data());
  }
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * track.size()));
}

// Codes: 1 Mercator, 2 Transverse Mercator, 3 Lambert; reference points 4,
// 20 and 100.
void TrackArgs(benchmark::internal::Benchmark* b) {
  for (int code : {1, 2, 3})
    for (int count : {4, 20, 100}) b->Args({code, count});
  b->ArgNames({"code", "refs"})->Unit(benchmark::kMillisecond);
}

BENCHMARK(PixelToGeoTrack)->Apply(TrackArgs);
BENCHMARK(GeoToPixelTrack)->Apply(TrackArgs);

// The fit of a chart with many reference points (the calibration tool fits
// after every edit; BSB headers allow up to 255 points).
void FitManyPoints(benchmark::State& state) {
  TWorldConvert w = MakeChart(kProjTransverseMercator, static_cast<int>(state.range(0)));
  RGeoRef ref;
  ref.Projection = kProjTransverseMercator;
  ref.Lat0 = Deg(59);
  ref.Lon0 = Deg(18);
  for (const TRefRecord& r : w.Trans.Points) {
    TFPoint pos;
    w.PixelToGeo(r.Pixel, pos);
    ref.RefPoints.push_back({r.Pixel.X, r.Pixel.Y, pos.X, pos.Y});
  }
  for (auto _ : state) {
    w.SetRefPoints(ref.RefPoints);
    benchmark::DoNotOptimize(w.Fit());
  }
}
BENCHMARK(FitManyPoints)->Arg(20)->Arg(100)->Arg(255)->Arg(2000)->Unit(benchmark::kMillisecond);

// One declination at a new position each time (nothing reused), and the
// plotter's case: the same place again a minute later.
void DeclinationNewPlace(benchmark::State& state) {
  TMagError m;
  double lon = 0;
  for (auto _ : state) {
    lon += 1e-4;
    benchmark::DoNotOptimize(m.Declination(2026.5, lon, Deg(59), 100));
  }
}
BENCHMARK(DeclinationNewPlace);

void DeclinationSamePlace(benchmark::State& state) {
  TMagError m;
  double t = 2026.5;
  for (auto _ : state) {
    t += 1e-6;
    benchmark::DoNotOptimize(m.Declination(t, Deg(18), Deg(59), 100));
  }
}
BENCHMARK(DeclinationSamePlace);

}  // namespace
