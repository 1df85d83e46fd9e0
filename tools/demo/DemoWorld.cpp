#include "DemoWorld.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace {

// The seed of every random choice of the world.
constexpr unsigned kWorldSeed = 1852;

uint32_t Hash(int32_t x, int32_t y, uint32_t seed) {
  uint32_t h = seed * 0x9E3779B9u ^ static_cast<uint32_t>(x) * 0x8DA6B343u ^ static_cast<uint32_t>(y) * 0xD8163841u;
  h ^= h >> 15;
  h *= 0x2C1B3C6Du;
  h ^= h >> 12;
  h *= 0x297A2D39u;
  h ^= h >> 15;
  return h;
}

double Corner(int32_t x, int32_t y, uint32_t seed) { return Hash(x, y, seed) / 2147483647.5 - 1.0; }

double Fade(double t) { return t * t * t * (t * (t * 6 - 15) + 10); }

double SmoothStep(double a, double b, double v) {
  const double t = std::clamp((v - a) / (b - a), 0.0, 1.0);
  return t * t * (3 - 2 * t);
}

double Sq(double v) { return v * v; }

// Distance from p to the segment a-b.
double SegmentDistance(double px, double py, double ax, double ay, double bx, double by) {
  const double dx = bx - ax, dy = by - ay;
  const double len2 = dx * dx + dy * dy;
  double t = len2 > 0 ? ((px - ax) * dx + (py - ay) * dy) / len2 : 0;
  t = std::clamp(t, 0.0, 1.0);
  return std::hypot(px - ax - t * dx, py - ay - t * dy);
}

double PolylineDistance(double px, double py, const std::vector<TDemoPoint>& line) {
  double d = 1e300;
  for (size_t i = 1; i < line.size(); ++i)
    d = std::min(d, SegmentDistance(px, py, line[i - 1].X, line[i - 1].Y, line[i].X, line[i].Y));
  return d;
}

bool InBox(double x, double y, double x1, double y1, double x2, double y2) {
  return x >= x1 && x <= x2 && y >= y1 && y <= y2;
}

// Height of the land or the sea floor at a signed distance d from the shore
// (positive on land): a low shore rising inland, a sea floor that falls to
// about 38 m.
double ShoreProfile(double d) {
  if (d >= 0) return 0.6 + std::min(d * 0.03, 60.0);
  return std::max(-1.0 + d / 38.0, -38.0);
}

// An island of roughly elliptic shape with a ragged shore: the signed
// distance (metres, positive inside) from its shore.
double IslandDistance(double x, double y, double cx, double cy, double rx, double ry, unsigned seed) {
  const double dx = (x - cx) / rx, dy = (y - cy) / ry;
  const double r = std::hypot(dx, dy);
  const double a = std::atan2(dy, dx);
  const double shore = 1 + 0.28 * DemoFractalNoise(1.4 * std::cos(a) + 11.3, 1.4 * std::sin(a) + 5.7, seed, 4);
  return (shore - r) * std::min(rx, ry);
}

// Harbour works: the two breakwaters (centre lines) and the jetties of the
// inner basin.
const std::vector<TDemoPoint> kNorthBreakwater = {{1700, 1000}, {1200, 1000}, {1180, 830}};
const std::vector<TDemoPoint> kSouthBreakwater = {{1600, 600}, {1200, 600}, {1180, 725}};
constexpr double kJettyY[] = {720, 800, 880};

}  // namespace

double DemoNoise(double x, double y, unsigned seed) {
  const double fx = std::floor(x), fy = std::floor(y);
  const int32_t ix = static_cast<int32_t>(fx), iy = static_cast<int32_t>(fy);
  const double tx = Fade(x - fx), ty = Fade(y - fy);
  const double a = Corner(ix, iy, seed), b = Corner(ix + 1, iy, seed);
  const double c = Corner(ix, iy + 1, seed), d = Corner(ix + 1, iy + 1, seed);
  const double top = a + (b - a) * tx, bottom = c + (d - c) * tx;
  return top + (bottom - top) * ty;
}

double DemoFractalNoise(double x, double y, unsigned seed, int octaves) {
  double sum = 0, weight = 0.5, total = 0;
  for (int i = 0; i < octaves; ++i) {
    sum += weight * DemoNoise(x, y, seed + static_cast<unsigned>(i) * 101u);
    total += weight;
    x *= 2.03;
    y *= 2.03;
    weight *= 0.5;
  }
  return total > 0 ? sum / total : 0;
}

TDemoWorld::TDemoWorld() : cosLat0_(std::cos(kOriginLatDeg * kDegToRad)) {
  labels_ = {
      {{-1150, 640}, "SKARVHOLM", false, false},
      {{2500, 1250}, "BRISVIK", false, false},
      {{450, -650}, "SKARV SOUND", true, false},
      {{-3300, -1300}, "OUTER GROUNDS", true, false},
      {{-2400, 1620}, "LILLSKAR", false, false},
      {{1370, 930}, "OUTER HARBOUR", true, true},
      {{1740, 915}, "INNER BASIN", true, true},
  };
  lights_ = {
      {{-1060, 300}, 0, "FL(2)10S 17M"},
      {{1180, 830}, 1, "FL R 3S"},
      {{1180, 725}, 2, "FL G 3S"},
  };
  channels_ = {{{450, 740}, {1180, 820}, 6.5}};
  PlaceBuildings();
}

TFPoint TDemoWorld::ToGeo(const TDemoPoint& p) const {
  return {kOriginLonDeg * kDegToRad + p.X / (kMetresPerRadian * cosLat0_),
          kOriginLatDeg * kDegToRad + p.Y / kMetresPerRadian};
}

TDemoPoint TDemoWorld::ToLocal(const TFPoint& pos) const { return {LocalX(pos.X), LocalY(pos.Y)}; }

double TDemoWorld::LocalX(double lon) const { return (lon - kOriginLonDeg * kDegToRad) * kMetresPerRadian * cosLat0_; }

double TDemoWorld::LocalY(double lat) const { return (lat - kOriginLatDeg * kDegToRad) * kMetresPerRadian; }

double TDemoWorld::NaturalHeight(double x, double y) const {
  // The mainland: a shore running from south-west to north-east with a
  // headland in the south; near the harbour the shore is kept straight so
  // that the breakwaters meet it.
  const double calm = SmoothStep(250, 900, std::fabs(y - 800));
  const double coast = 1500 + 0.45 * (y - 800) - 520 * std::exp(-Sq((y + 1800) / 650)) +
                       calm * (260 * DemoFractalNoise(y / 900 + 3.1, 0.37, kWorldSeed, 5) +
                               80 * DemoFractalNoise(y / 170 + 7.9, 4.21, kWorldSeed + 5, 3));
  double d = (x - coast) * 0.912;
  // Skarvholm, the islets and a shoal whose top stays under water.
  d = std::max(d, IslandDistance(x, y, -1100, 250, 880, 640, kWorldSeed + 1));
  d = std::max(d, IslandDistance(x, y, -2400, 1400, 210, 150, kWorldSeed + 2));
  d = std::max(d, IslandDistance(x, y, -250, -1300, 120, 95, kWorldSeed + 3));
  d = std::max(d, IslandDistance(x, y, 800, 2300, 260, 170, kWorldSeed + 4));
  double h = ShoreProfile(d);
  const double shoal = -1.4 - std::hypot(x + 700, y + 1150) / 30.0;
  h = std::max(h, shoal);
  // A bank in the outer grounds, about 12 m under water.
  const double bank = IslandDistance(x, y, -3400, -700, 1100, 450, kWorldSeed + 6);
  h = std::max(h, -11.5 + std::min(0.0, bank) / 45.0);
  // An uneven sea floor, calm near the shore so that it keeps its line.
  if (h < 0) {
    const double rough = 3.0 * SmoothStep(2, 8, -h);
    h = std::min(-0.8, h + rough * DemoFractalNoise(x / 600, y / 600, kWorldSeed + 7, 4));
  }
  return h;
}

double TDemoWorld::Height(double x, double y) const {
  double h = NaturalHeight(x, y);
  // Dredged water: the approach channel, the outer harbour and the inner
  // basin.
  for (const TDemoChannel& c : channels_)
    if (InBox(x, y, c.Min.X, c.Min.Y, c.Max.X, c.Max.Y)) h = std::min(h, -c.Depth);
  if (InBox(x, y, 1185, 612, 1520, 988)) h = std::min(h, -5.0);
  if (InBox(x, y, 1500, 660, 1980, 940)) h = std::min(h, -4.5);
  // The breakwaters and jetties stand above the water.
  if (PolylineDistance(x, y, kNorthBreakwater) <= 12 || PolylineDistance(x, y, kSouthBreakwater) <= 12)
    h = std::max(h, 2.5);
  for (double jy : kJettyY)
    if (SegmentDistance(x, y, 1830, jy, 1980, jy) <= 4) h = std::max(h, 1.5);
  return h;
}

double TDemoWorld::Depth(const TDemoPoint& p) const { return std::max(0.0, -Height(p.X, p.Y)); }

void TDemoWorld::PlaceBuildings() {
  // The town of Brisvik around the harbour: blocks on a 40 m grid, where
  // the land is dry and not at the water's edge.
  for (int gy = 0; gy < 32; ++gy) {
    for (int gx = 0; gx < 24; ++gx) {
      const double cx = 1560 + gx * 40.0, cy = 260 + gy * 40.0;
      if (std::hypot(cx - 1900, cy - 800) > 620) continue;
      const uint32_t r = Hash(gx, gy, kWorldSeed + 11);
      if ((r & 0xFF) > 150) continue;
      const double w = 12 + ((r >> 8) & 15), hgt = 10 + ((r >> 12) & 11);
      bool dry = true;
      for (double ox : {-w, 0.0, w})
        for (double oy : {-hgt, 0.0, hgt})
          if (Height(cx + ox, cy + oy) < 1.2) dry = false;
      if (!dry) continue;
      buildings_.push_back({{cx - w / 2, cy - hgt / 2}, {cx + w / 2, cy + hgt / 2}});
    }
  }
}
