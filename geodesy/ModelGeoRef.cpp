#include "geodesy/ModelGeoRef.h"

#include <algorithm>
#include <cmath>

bool TPixelTransform::Invertible() const {
  for (double c : C)
    if (!std::isfinite(c)) return false;
  const double det = Determinant();
  const double side = std::max(std::hypot(C[1], C[4]), std::hypot(C[2], C[5]));
  return std::isfinite(det) && side > 0 && std::fabs(det) > 1e-12 * side * side;
}

bool TPixelTransform::Inverse(TPixelTransform& inv) const {
  if (!Invertible()) return false;
  const double det = Determinant();
  // [x y] = M^-1 ([X Y] - [C0 C3]).
  const double a = C[5] / det, b = -C[2] / det, c = -C[4] / det, d = C[1] / det;
  inv.C[1] = a;
  inv.C[2] = b;
  inv.C[4] = c;
  inv.C[5] = d;
  inv.C[0] = -(a * C[0] + b * C[3]);
  inv.C[3] = -(c * C[0] + d * C[3]);
  return inv.Invertible();
}

TModelGeoRef::TModelGeoRef(const TPixelTransform& transform, const TCrsToWgs84& crs, const TFPoint& centre)
    : toModel_(transform), crs_(crs) {
  valid_ = crs_.Ready() && toModel_.Inverse(toPixel_);
  if (!valid_) return;
  double cy;
  toModel_.Apply(centre.X, centre.Y, centreX_, cy);
  TFPoint c;
  if (crs_.ToWgs84(centreX_, cy, c))
    centreLon_ = c.X;
  else
    valid_ = false;
}

bool TModelGeoRef::PixelToGeo(double x, double y, TFPoint& pos) const {
  if (!valid_ || !std::isfinite(x) || !std::isfinite(y)) return false;
  double X, Y;
  toModel_.Apply(x, y, X, Y);
  if (!crs_.ToWgs84(X, Y, pos)) return false;
  pos.X = centreLon_ + std::remainder(pos.X - centreLon_, 2 * kPi);
  return true;
}

bool TModelGeoRef::GeoToPixel(const TFPoint& pos, double& x, double& y) const {
  if (!valid_) return false;
  double X, Y;
  if (!crs_.FromWgs84(pos, X, Y)) return false;
  if (crs_.Definition().Geographic) {
    // The model's longitude on the chart's turn of the earth.
    const double turn = 360 / crs_.Definition().AngularUnit;
    X = centreX_ + std::remainder(X - centreX_, turn);
  }
  toPixel_.Apply(X, Y, x, y);
  return std::isfinite(x) && std::isfinite(y);
}

std::unique_ptr<TExactGeoRef> TModelGeoRef::Clone() const { return std::make_unique<TModelGeoRef>(*this); }
