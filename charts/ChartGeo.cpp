#include "charts/ChartGeo.h"

#include <cmath>

#include "geodesy/CTrans.h"

bool ExactGeoToPixel(TWorldConvert& w, const TFPoint& pos, TFPoint& pixel) {
  TFPoint p;
  if (!w.GeoToPixel(pos, p)) return false;
  // The position error at a pixel, longitude difference wrapped.
  auto error = [&](const TFPoint& at, TFPoint& e) {
    TFPoint g;
    if (!w.PixelToGeo(at, g)) return false;
    e = {std::remainder(pos.X - g.X, 2 * kPi), pos.Y - g.Y};
    return std::isfinite(e.X) && std::isfinite(e.Y);
  };
  TFPoint e;
  if (!error(p, e)) {
    pixel = p;
    return true;
  }
  constexpr double h = 0.5;
  for (int i = 0; i < 20; ++i) {
    TFPoint ex1, ex0, ey1, ey0;
    if (!error({p.X + h, p.Y}, ex1) || !error({p.X - h, p.Y}, ex0) || !error({p.X, p.Y + h}, ey1) ||
        !error({p.X, p.Y - h}, ey0))
      break;
    // Columns of the Jacobian of the position by the pixel (the error is
    // pos - position, hence the signs).
    const double a = (ex0.X - ex1.X) / (2 * h), c = (ex0.Y - ex1.Y) / (2 * h);
    const double b = (ey0.X - ey1.X) / (2 * h), d = (ey0.Y - ey1.Y) / (2 * h);
    const double det = a * d - b * c;
    if (!(std::fabs(det) > 0) || !std::isfinite(det)) break;
    const TFPoint step{(d * e.X - b * e.Y) / det, (a * e.Y - c * e.X) / det};
    TFPoint next{p.X + step.X, p.Y + step.Y}, en;
    if (!error(next, en) || std::hypot(en.X, en.Y) >= std::hypot(e.X, e.Y)) break;
    p = next;
    e = en;
    if (std::hypot(step.X, step.Y) < 1e-6) break;
  }
  pixel = p;
  return true;
}
