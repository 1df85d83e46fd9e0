#include "plotter/core/ChartOverlays.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "foundation/Types.h"
#include "navobjects/NavCtrls.h"

namespace {

int32_t Px(double v) {
  if (!std::isfinite(v)) return 0;
  return static_cast<int32_t>(std::lround(std::clamp<double>(v, -(1 << 30), 1 << 30)));
}

TCanvasPoint At(const TFPoint& p) { return {Px(p.X), Px(p.Y)}; }

TRGB ShapeColour(const TQuickShape* shape) { return shape ? ColorToRGB(shape->Color) : 0; }

// A line from a to b cut to the rectangle grown by `margin` (Liang-Barsky),
// so that a line to a point far off the screen is drawn as its visible part;
// false when nothing of it is visible.
bool ClipLine(TFPoint& a, TFPoint& b, const TCanvasRect& r, double margin) {
  const double x0 = r.Left - margin, y0 = r.Top - margin, x1 = r.Right + margin, y1 = r.Bottom + margin;
  double t0 = 0, t1 = 1;
  const double dx = b.X - a.X, dy = b.Y - a.Y;
  const double p[4] = {-dx, dx, -dy, dy};
  const double q[4] = {a.X - x0, x1 - a.X, a.Y - y0, y1 - a.Y};
  for (int i = 0; i < 4; ++i) {
    if (p[i] == 0) {
      if (q[i] < 0) return false;
      continue;
    }
    const double t = q[i] / p[i];
    if (p[i] < 0)
      t0 = std::max(t0, t);
    else
      t1 = std::min(t1, t);
    if (t0 > t1) return false;
  }
  const TFPoint from = a;
  a = {from.X + t0 * dx, from.Y + t0 * dy};
  b = {from.X + t1 * dx, from.Y + t1 * dy};
  return std::isfinite(a.X) && std::isfinite(a.Y) && std::isfinite(b.X) && std::isfinite(b.Y);
}

void Line(ICanvas& canvas, TFPoint a, TFPoint b, const TCanvasRect& clip) {
  if (ClipLine(a, b, clip, 64)) canvas.DrawLine(At(a), At(b));
}

void WindArrow(ICanvas& canvas, const TBoatOverlay& o) {
  const double v = o.windSpeed;
  const int width = v > 12 ? 4 : v > 8 ? 3 : v > 4 ? 2 : 1;
  canvas.SetPen({o.windColour, width, v < 1 ? TPenStyle::Dot : TPenStyle::Solid});
  // The head 25 pixels from the boat towards where the wind comes from, the
  // shaft 80 pixels further out: the arrow points at the boat.
  const TCanvasPoint head = ScreenOffset(o.boat, 25, o.windFrom);
  const TCanvasPoint tail = ScreenOffset(o.boat, 105, o.windFrom);
  canvas.DrawLine(head, tail);
  const TFPoint h{double(head.X), double(head.Y)};
  const double barb = 36 * kPi / 180;
  canvas.DrawLine(head, ScreenOffset(h, 15, o.windFrom + barb));
  canvas.DrawLine(head, ScreenOffset(h, 15, o.windFrom - barb));
}

void BoatSymbol(ICanvas& canvas, const TBoatOverlay& o) {
  TQuickShape* shape = o.boatSymbol;
  if (!shape) return;
  const TPoint centre{Px(o.boat.X), Px(o.boat.Y)};
  if (o.boatShape != 1 && o.boatShape != 2) {
    shape->DrawAt(canvas, centre, &o.clip);
    return;
  }
  const double s = shape->ShapeWidth;
  const double h = o.symbolHeading;
  const double d20 = 20 * kPi / 180, d45 = 45 * kPi / 180;
  TCanvasPoint pts[6];
  size_t n = 0;
  if (o.boatShape == 1) {
    // Bow twice the symbol size ahead; the hull 20 degrees off the course
    // line forward and aft.
    pts[n++] = ScreenOffset(o.boat, 2 * s, h);
    pts[n++] = ScreenOffset(o.boat, s, h + d20);
    pts[n++] = ScreenOffset(o.boat, s, h + kPi - d20);
    pts[n++] = ScreenOffset(o.boat, s, h + kPi + d20);
    pts[n++] = ScreenOffset(o.boat, s, h - d20);
  } else {
    // An arrow: the point ahead, barbs 45 degrees off the reverse course,
    // the outline through the boat point between them.
    pts[n++] = ScreenOffset(o.boat, s, h);
    pts[n++] = ScreenOffset(o.boat, 2 * s / 3, h + kPi - d45);
    pts[n++] = At(o.boat);
    pts[n++] = ScreenOffset(o.boat, 2 * s / 3, h + kPi + d45);
  }
  pts[n] = pts[0];
  canvas.SetPen({ShapeColour(shape), std::max(shape->PenWidth, 1), TPenStyle::Solid});
  canvas.SetBrush({0, TBrushStyle::None});
  canvas.DrawPolyline(pts, n + 1);
}

}  // namespace

TCanvasPoint ScreenOffset(const TFPoint& p, double length, double bearing) {
  return {Px(p.X + length * std::sin(bearing)), Px(p.Y - length * std::cos(bearing))};
}

void DrawBoatOverlays(ICanvas& canvas, const TBoatOverlay& o) {
  if (o.windArrow) WindArrow(canvas, o);
  if (o.markerShown) {
    canvas.SetPen({o.boatColour, 1, TPenStyle::Dot});
    Line(canvas, o.marker, o.boat, o.clip);
  }
  BoatSymbol(canvas, o);
  if (o.rings) o.rings->DrawAt(canvas, {Px(o.boat.X), Px(o.boat.Y)}, &o.clip);
  if (o.showSpeedMark && o.speedSymbol) o.speedSymbol->DrawAt(canvas, {Px(o.speedMark.X), Px(o.speedMark.Y)}, &o.clip);
  if (o.headingStick) {
    canvas.SetPen({o.boatColour, std::max(o.stickWidth, 1), TPenStyle::Solid});
    Line(canvas, o.boat, o.headStick, o.clip);
  }
}

void DrawMarkerSymbol(ICanvas& canvas, const TFPoint& at, TRGB colour) {
  const TCanvasPoint c = At(at);
  canvas.SetPen({colour, 2, TPenStyle::Solid});
  canvas.SetBrush({0, TBrushStyle::None});
  canvas.DrawEllipse({c.X - 9, c.Y - 9, c.X + 9, c.Y + 9});
  canvas.DrawLine({c.X - 13, c.Y}, {c.X + 13, c.Y});
  canvas.DrawLine({c.X, c.Y - 13}, {c.X, c.Y + 13});
}
