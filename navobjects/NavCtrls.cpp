#include "navobjects/NavCtrls.h"

#include <algorithm>
#include <cmath>
#include <utility>
#include <vector>

void TNavShapeCollection::Add(TNavPoint point) {
  points_.push_back(std::move(point));
  Modified = true;
}

void TNavShapeCollection::Clear() {
  points_.clear();
  Modified = false;
}

void TQuickShape::Setup(TColor color, TQuickPenMode penMode, int size, int penWidth, TQuickPenStyle minorStyle,
                        TQuickPenStyle style) {
  Color = color;
  PenMode = penMode;
  ShapeWidth = ShapeHeight = size;
  PenWidth = penWidth;
  MinorStyle = minorStyle;
  PenStyle = style;
}

void TQuickShape::SetSize(int n) {
  ShapeWidth = ShapeHeight = 2 * n;
  PenWidth = n / 2;
}

namespace {

// Ellipses with a half axis beyond this are drawn as the arc in view.
constexpr double kLargeShape = 8192;

TPenStyle CanvasStyle(TQuickPenStyle s) { return s == qpsDot ? TPenStyle::Dot : TPenStyle::Solid; }

// Whether the ellipse (centre c, half axes a, b) crosses the rectangle: its
// bounding box meets the rectangle and the rectangle does not lie wholly
// inside it.
bool EllipseCrosses(double cx, double cy, double a, double b, const TCanvasRect& r) {
  if (cx + a < r.Left || cx - a > r.Right || cy + b < r.Top || cy - b > r.Bottom) return false;
  const double xs[2] = {double(r.Left), double(r.Right)};
  const double ys[2] = {double(r.Top), double(r.Bottom)};
  for (double x : xs)
    for (double y : ys) {
      const double u = (x - cx) / a, v = (y - cy) / b;
      if (u * u + v * v >= 1) return true;
    }
  return false;
}

}  // namespace

void TQuickShape::DrawAt(ICanvas& canvas, TPoint p, const TCanvasRect* clip) {
  if (!ShapeVisible || ShapeWidth <= 0 || ShapeHeight <= 0) return;
  if (RingCount <= 1) {
    DrawShape(canvas, p, ShapeWidth, ShapeHeight, PenStyle, clip);
    return;
  }
  const int n = RingCount;
  const double stepX = std::round(double(ShapeWidth) / n);
  const double stepY = std::round(double(ShapeHeight) / n);
  for (int d = 1; d <= n; ++d) {
    const bool major = MajorEvery > 0 && d % MajorEvery == 0;
    DrawShape(canvas, p, static_cast<int32_t>(std::min(d * stepX, 2e9)), static_cast<int32_t>(std::min(d * stepY, 2e9)),
              major ? PenStyle : MinorStyle, clip);
  }
}

void TQuickShape::DrawShape(ICanvas& canvas, TPoint p, int32_t w, int32_t h, TQuickPenStyle style,
                            const TCanvasRect* clip) {
  LastPoint = p;
  if (w <= 0 || h <= 0) return;
  const TCanvasRect r{p.X - w / 2, p.Y - h / 2, p.X - w / 2 + w, p.Y - h / 2 + h};
  const double a = w / 2.0, b = h / 2.0;
  const double cx = r.Left + a, cy = r.Top + b;
  if (clip && !IsRectangle && !EllipseCrosses(cx, cy, a, b, *clip)) return;
  if (clip && IsRectangle && (r.Right < clip->Left || r.Left > clip->Right || r.Bottom < clip->Top || r.Top > clip->Bottom))
    return;
  canvas.SetPen({ColorToRGB(Color), std::max(PenWidth, 0), CanvasStyle(style)});
  canvas.SetBrush({0, TBrushStyle::None});
  if (IsRectangle) {
    canvas.DrawRect(r);
    return;
  }
  if (!clip || std::max(a, b) <= kLargeShape) {
    canvas.DrawEllipse(r);
    return;
  }
  // A very large ellipse whose centre lies off the clip rectangle (else the
  // rectangle would lie inside it): only the arc between the directions of
  // the rectangle's corners can cross it.
  const double mid = std::atan2((clip->Top + clip->Bottom) / 2.0 - cy, ((clip->Left + clip->Right) / 2.0 - cx) * b / a);
  double lo = 0, hi = 0;
  const double xs[2] = {double(clip->Left), double(clip->Right)};
  const double ys[2] = {double(clip->Top), double(clip->Bottom)};
  for (double x : xs)
    for (double y : ys) {
      const double t = std::remainder(std::atan2(y - cy, (x - cx) * b / a) - mid, 2 * 3.14159265358979323846);
      lo = std::min(lo, t);
      hi = std::max(hi, t);
    }
  // Steps of about four pixels along the ellipse.
  const double dt = 4.0 / std::max(a, b);
  const int steps = static_cast<int>(std::min(20000.0, std::ceil((hi - lo) / dt)));
  std::vector<TCanvasPoint> points;
  points.reserve(static_cast<size_t>(steps) + 1);
  for (int i = 0; i <= steps; ++i) {
    const double t = mid + lo + (hi - lo) * i / std::max(steps, 1);
    const double x = cx + a * std::cos(t), y = cy + b * std::sin(t);
    points.push_back({static_cast<int32_t>(std::lround(std::clamp(x, -1e9, 1e9))),
                      static_cast<int32_t>(std::lround(std::clamp(y, -1e9, 1e9)))});
  }
  canvas.DrawPolyline(points.data(), points.size());
}
