// AIS targets at their busiest: 5 000 vessels (with names, speed lines and
// heading lines) spread over a 1920 x 1080 chart view.
//  - BM_AisDrawFrame: all of them drawn into one frame through the window's
//    canvas (QPainter on a QImage), as the chart view's paint does;
//  - BM_AisCollisionCheck: the tick's collision check over all of them
//    (a tenth closing on the own vessel, so their closest approach is
//    computed anew each time).
#include <benchmark/benchmark.h>

#include <QGuiApplication>
#include <QImage>
#include <QPainter>

#include <cmath>
#include <cstdlib>
#include <memory>
#include <string>

#include "foundation/GenUtil.h"
#include "instruments/AIS.h"
#include "instruments/NMEA.h"
#include "platform/Clock.h"
#include "platform/qt/QtCanvas.h"
#include "plotter/core/AisDisplay.h"

namespace {

constexpr int kTargets = 5000;
constexpr int kW = 1920, kH = 1080;
// The view: 57.5-57.9 N, 11.2-12.0 E.
constexpr double kNorth = 57.9, kWest = 11.2, kDegW = 0.8, kDegH = 0.4;

struct TFleet {
  TManualClock clock;
  TNMEALineBuffer buffer{nullptr, clock};
  TNMEA& parser = buffer.Parser();
  TAisDecoder ais{parser};

  TFleet() {
    parser.AisEnabled = true;
    parser.Info.Pos = {11.6 * kDegToRad, 57.7 * kDegToRad};
    parser.Info.VelEast = parser.Info.VelNorth = 0;
    ais.SetAisViewArea({(kWest + kDegW) * kDegToRad, kNorth * kDegToRad, kWest * kDegToRad, (kNorth - kDegH) * kDegToRad});
    uint32_t seed = 12345;
    auto rnd = [&seed] {
      seed = seed * 1664525u + 1013904223u;
      return (seed >> 8) / double(1u << 24);
    };
    for (int i = 0; i < kTargets; ++i) {
      TAisMessage m;
      m.Type = 1;
      m.MMSI = 211000000 + i;
      const double lat = kNorth - kDegH * rnd(), lon = kWest + kDegW * rnd();
      m.Lat = static_cast<int32_t>(std::lround(lat * 600000));
      m.Lon = static_cast<int32_t>(std::lround(lon * 600000));
      m.Speed = static_cast<int32_t>(rnd() * 200);
      m.Course = static_cast<int32_t>(rnd() * 3600);
      m.Heading = m.Course / 10;
      m.Turn = static_cast<int32_t>(rnd() * 40) - 20;
      if (i % 10 == 0) {
        // Closing: heading for the own vessel at 12 knots.
        const TFPoint to = GeoDistBearing({lon * kDegToRad, lat * kDegToRad}, parser.Info.Pos);
        m.Speed = 120;
        m.Course = static_cast<int32_t>(std::lround(to.Y * kRadToDeg * 10)) % 3600;
        m.Heading = m.Course / 10;
      }
      ais.Apply(m, false);
      TAisMessage name;
      name.Type = 5;
      name.MMSI = m.MMSI;
      name.Name.Assign("VESSEL " + std::to_string(i));
      ais.Apply(name, false);
    }
    ais.UpdateScreenPoints(true, [](const TFPoint& pos, TPoint& px) {
      px = {static_cast<int32_t>(std::lround((pos.X * kRadToDeg - kWest) / kDegW * kW)),
            static_cast<int32_t>(std::lround((kNorth - pos.Y * kRadToDeg) / kDegH * kH))};
      return true;
    });
  }
};

// Text needs the fonts of a GUI application (offscreen is enough).
void EnsureGuiApplication() {
  static int argc = 1;
  static char arg0[] = "bench_aisdisplay";
  static char* argv[] = {arg0, nullptr};
  if (QGuiApplication::instance()) return;
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  static QGuiApplication app(argc, argv);
}

void BM_AisDrawFrame(benchmark::State& state) {
  EnsureGuiApplication();
  static TFleet fleet;
  QImage image(kW, kH, QImage::Format_RGB32);
  TAisDrawSettings s;
  s.milesPerPixel = kDegW * 60 * std::cos(57.7 * kDegToRad) / kW;
  s.speedMarkSeconds = 60;
  s.labels = static_cast<int>(state.range(0));
  s.marker = 0x808000;
  TAisOwnShip own;
  own.pos = fleet.parser.Info.Pos;
  for (auto _ : state) {
    image.fill(Qt::white);
    QPainter painter(&image);
    TQtCanvas canvas(painter, kW, kH);
    DrawAisTargets(canvas, fleet.ais, s, {0, 0}, own, -1);
  }
  state.counters["targets"] = kTargets;
}
BENCHMARK(BM_AisDrawFrame)->Arg(2)->Arg(0)->Unit(benchmark::kMillisecond);  // labels on, off

void BM_AisCollisionCheck(benchmark::State& state) {
  TFleet fleet;
  int alarms = 0;
  for (auto _ : state) {
    alarms = fleet.ais.CheckAlarms(0.25, 0.5);
    benchmark::DoNotOptimize(alarms);
  }
  state.counters["alarms"] = alarms;
}
BENCHMARK(BM_AisCollisionCheck)->Unit(benchmark::kMicrosecond);

}  // namespace
