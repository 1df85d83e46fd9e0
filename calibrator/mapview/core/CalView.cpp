#include "calibrator/mapview/core/CalView.h"

#include <algorithm>
#include <cmath>

#include "geodesy/CTrans.h"

namespace {

constexpr int kSegments = 25;
constexpr double kMinutesPerRadian = kRadToDeg * 60;

bool Finite(const TFPoint& p) { return std::isfinite(p.X) && std::isfinite(p.Y); }

}  // namespace

// ---------------------------------------------------------------------------
// Zoom

double SnapZoom(double z) {
  if (!(z > 0) || !std::isfinite(z)) return z;
  const double whole = std::round(z);
  if (whole >= 1 && std::fabs(z - whole) <= 0.05) return whole;
  const double inverse = 1 / z;
  const double n = std::round(inverse);
  if (n >= 1 && std::fabs(inverse - n) <= 0.05) return 1 / n;
  return z;
}

void TCalZoom::Reset() { requested_ = applied_ = 1.0; }

bool TCalZoom::Step(double requested, int32_t width, int32_t height) {
  const double applied = SnapZoom(requested);
  if (width * applied > kMaxZoomedPixels || height * applied > kMaxZoomedPixels) return false;
  const bool changed = applied != applied_;
  requested_ = requested;
  applied_ = applied;
  return changed;
}

bool TCalZoom::ZoomIn(int32_t width, int32_t height) {
  if (!(requested_ < 3.9)) return false;
  return Step(requested_ * kZoomFactor, width, height);
}

bool TCalZoom::ZoomOut(int32_t width, int32_t height) {
  if (!(requested_ > 0.26)) return false;
  return Step(requested_ / kZoomFactor, width, height);
}

int TCalZoom::Percent() const { return static_cast<int>(std::lround(applied_ * 100)); }

// ---------------------------------------------------------------------------
// Grid

int GridLineCount(TGridDensity density, int32_t size) {
  switch (density) {
    case TGridDensity::Loose:
      return std::max(size / 500, 5);
    case TGridDensity::Normal:
      return std::max(size / 100, 20);
    case TGridDensity::Tight:
      return std::max(size / 20, 75);
    default:
      return 0;
  }
}

double GridStepMinutes(int lines, double extent) {
  if (lines <= 0 || !(extent > 0) || !std::isfinite(extent)) return 0;
  double step = 5.0 * lines < extent ? 1 : 1e-7;
  bool byFive = true;
  // Each pair of steps multiplies by 10: a few hundred always suffice.
  for (int i = 0; i < 400 && lines * step < extent; ++i) {
    step *= byFive ? 5 : 2;
    byFive = !byFive;
  }
  return lines * step >= extent && std::isfinite(step) ? step : 0;
}

std::vector<TFPoint> GeoSegmentLine(TWorldConvert& fit, const TFPoint& from, const TFPoint& to) {
  std::vector<TFPoint> out;
  out.reserve(kSegments + 1);
  for (int i = 0; i <= kSegments; ++i) {
    const double t = static_cast<double>(i) / kSegments;
    const TFPoint pos{from.X + (to.X - from.X) * t, from.Y + (to.Y - from.Y) * t};
    TFPoint px;
    if (fit.GeoToPixel(pos, px) && Finite(px)) out.push_back(px);
  }
  return out;
}

TCalGrid BuildGrid(TWorldConvert& fit, int32_t width, int32_t height, TGridDensity density) {
  TCalGrid grid;
  if (!fit.Valid || width <= 0 || height <= 0 || density == TGridDensity::None) return grid;
  const double w = width, h = height;
  double lonMin = 0, lonMax = 0, latMin = 0, latMax = 0;
  bool first = true;
  for (const TFPoint& px : {TFPoint{0, 0}, TFPoint{w, 0}, TFPoint{w, h}, TFPoint{0, h}}) {
    TFPoint g;
    if (!fit.PixelToGeo(px, g) || !Finite(g)) return grid;
    if (first) {
      lonMin = lonMax = g.X;
      latMin = latMax = g.Y;
      first = false;
    }
    lonMin = std::min(lonMin, g.X);
    lonMax = std::max(lonMax, g.X);
    latMin = std::min(latMin, g.Y);
    latMax = std::max(latMax, g.Y);
  }

  auto axis = [&](bool latitude, int lines, double lo, double hi, double& stepOut) {
    const double loMin = lo * kMinutesPerRadian, hiMin = hi * kMinutesPerRadian;
    const double step = GridStepMinutes(lines, hiMin - loMin);
    stepOut = step;
    if (!(step > 0)) return;
    const double firstLine = std::floor(loMin / step) * step;
    const int cap = 2 * lines + 2;
    for (int k = 0; k < cap; ++k) {
      const double minutes = firstLine + k * step;
      if (minutes > hiMin) break;
      TGridLine line;
      line.Latitude = latitude;
      line.Value = minutes / kMinutesPerRadian;
      line.Pixels = latitude ? GeoSegmentLine(fit, {lonMin, line.Value}, {lonMax, line.Value})
                             : GeoSegmentLine(fit, {line.Value, latMin}, {line.Value, latMax});
      if (line.Pixels.size() >= 2) grid.Lines.push_back(std::move(line));
    }
  };
  axis(true, GridLineCount(density, height), latMin, latMax, grid.LatStepMinutes);
  axis(false, GridLineCount(density, width), lonMin, lonMax, grid.LonStepMinutes);
  return grid;
}

std::vector<std::vector<TFPoint>> BorderLines(TWorldConvert& fit, const TFPointArray& border) {
  std::vector<std::vector<TFPoint>> out;
  const size_t n = border.size();
  if (n < 2 || !fit.Valid) return out;
  out.push_back(GeoSegmentLine(fit, border[n - 1], border[0]));
  for (size_t i = 0; i + 1 < n; ++i) out.push_back(GeoSegmentLine(fit, border[i], border[i + 1]));
  return out;
}
