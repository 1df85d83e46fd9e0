#include "charts/GeoTiffCatalog.h"

#include <algorithm>
#include <cmath>

#include "charts/GeoTiffChart.h"
#include "foundation/GenUtil.h"

namespace {

// Subdivisions of an edge: at least this many, at most 2^kMaxDepth more.
constexpr int kStartSegments = 4;
constexpr int kMaxDepth = 10;

struct TEdgePoint {
  double x, y;
  TFPoint g;
};

// How far (pixels, across the edge) the midpoint of the straight line a-b
// in longitude and latitude lies from the edge point m: the position
// difference taken back to pixels through the local derivatives at m.
bool ChordError(const TPixelToGeo& toGeo, const TEdgePoint& a, const TEdgePoint& b, const TEdgePoint& m,
                double& error) {
  TFPoint gx, gy;
  if (!toGeo(m.x + 1, m.y, gx) || !toGeo(m.x, m.y + 1, gy)) return false;
  const double j11 = std::remainder(gx.X - m.g.X, 2 * kPi), j21 = gx.Y - m.g.Y;
  const double j12 = std::remainder(gy.X - m.g.X, 2 * kPi), j22 = gy.Y - m.g.Y;
  const double det = j11 * j22 - j12 * j21;
  if (!(std::fabs(det) > 0) || !std::isfinite(det)) return false;
  const double dLon = std::remainder((a.g.X + b.g.X) / 2 - m.g.X, 2 * kPi), dLat = (a.g.Y + b.g.Y) / 2 - m.g.Y;
  const double px = (j22 * dLon - j12 * dLat) / det, py = (j11 * dLat - j21 * dLon) / det;
  // Across the edge only: a point moved along it is still on the edge.
  const double ex = b.x - a.x, ey = b.y - a.y, len = std::hypot(ex, ey);
  error = len > 0 ? std::fabs(px * ey - py * ex) / len : std::hypot(px, py);
  return std::isfinite(error);
}

bool Refine(const TPixelToGeo& toGeo, const TEdgePoint& a, const TEdgePoint& b, double tolerance, int depth,
            TFPointArray& out) {
  TEdgePoint m{(a.x + b.x) / 2, (a.y + b.y) / 2, {}};
  if (!toGeo(m.x, m.y, m.g)) return false;
  double error = 0;
  if (depth < kMaxDepth && ChordError(toGeo, a, b, m, error) && error > tolerance) {
    if (!Refine(toGeo, a, m, tolerance, depth + 1, out)) return false;
    out.push_back(m.g);
    return Refine(toGeo, m, b, tolerance, depth + 1, out);
  }
  return true;
}

}  // namespace

TFPointArray EdgeBorder(const TPixelToGeo& toGeo, double width, double height, double tolerance) {
  const double cx[4] = {0, width, width, 0}, cy[4] = {0, 0, height, height};
  TFPointArray out;
  for (int edge = 0; edge < 4; ++edge) {
    const int next = (edge + 1) % 4;
    TEdgePoint prev{cx[edge], cy[edge], {}};
    if (!toGeo(prev.x, prev.y, prev.g)) return {};
    out.push_back(prev.g);
    for (int s = 1; s <= kStartSegments; ++s) {
      const double t = double(s) / kStartSegments;
      TEdgePoint p{cx[edge] + (cx[next] - cx[edge]) * t, cy[edge] + (cy[next] - cy[edge]) * t, {}};
      if (!toGeo(p.x, p.y, p.g) || !Refine(toGeo, prev, p, tolerance, 0, out)) return {};
      // The next corner starts the next edge.
      if (s < kStartSegments) out.push_back(p.g);
      prev = p;
    }
  }
  return out;
}

int32_t ScaleAtMiddle(const TPixelToGeo& toGeo, double width, double height) {
  const double x = width / 2, y = height / 2;
  TFPoint m, mx, my;
  if (!toGeo(x, y, m) || !toGeo(x + 1, y, mx) || !toGeo(x, y + 1, my)) return 0;
  const double metres = std::sqrt(GeoDistance(m, mx) * GeoDistance(m, my)) * kRadToMetre;
  // A pixel is 0.254 mm on paper.
  const double scale = std::round(metres / 0.000254);
  if (!std::isfinite(scale) || scale < 1) return 0;
  return static_cast<int32_t>(std::min<double>(scale, INT32_MAX));
}

bool GeoChartLayout(const RChartInfo& info, const TPixelToGeo& toGeo, const std::string& path,
                    RChartLayout& layout) {
  layout = info.Layout;
  layout.FileName = path;
  const double W = info.Width, H = info.Height;
  TFRect b{-INFINITY, -INFINITY, INFINITY, INFINITY};
  for (const TFPoint& px : {TFPoint{0, 0}, TFPoint{W, 0}, TFPoint{W, H}, TFPoint{0, H}}) {
    TFPoint g;
    if (!toGeo(px.X, px.Y, g) || !std::isfinite(g.X) || !std::isfinite(g.Y)) return false;
    b.X1 = std::max(b.X1, g.X);
    b.Y1 = std::max(b.Y1, g.Y);
    b.X2 = std::min(b.X2, g.X);
    b.Y2 = std::min(b.Y2, g.Y);
  }
  // The border bulges beyond the corners where the edges curve.
  for (const TFPoint& p : layout.Border) {
    if (!std::isfinite(p.X) || !std::isfinite(p.Y)) return false;
    b.X1 = std::max(b.X1, p.X);
    b.Y1 = std::max(b.Y1, p.Y);
    b.X2 = std::min(b.X2, p.X);
    b.Y2 = std::min(b.Y2, p.Y);
  }
  layout.Bounds = b;
  layout.BorderCount = static_cast<uint16_t>(layout.Border.size());
  return layout.Border.size() >= 3;
}

bool ScanGeoTiff(const std::string& path, TGeoTiffScan& out) {
  out = TGeoTiffScan();
  if (!IsGeoTiffFile(path)) return false;
  TGeoTiffChart chart;
  std::string error;
  if (!chart.Open(path, &error)) {
    out.Problem = "No Cal: " + path + " (" + error + ")";
    out.NotCalibrated = true;
    return true;
  }
  RChartInfo info;
  chart.FillInfo(path, info);
  const TPixelToGeo toGeo = [&chart](double x, double y, TFPoint& p) { return chart.PixelToGeo(x, y, p); };
  if (!GeoChartLayout(info, toGeo, path, out.Layout)) {
    out.Problem = "No Cal: " + path;
    out.NotCalibrated = true;
  } else if (out.Layout.Scale <= 0) {
    out.Problem = "No Scale: " + path;
    out.NotCalibrated = true;
  }
  return true;
}
