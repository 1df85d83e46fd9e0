// A chart whose pixels map to positions by a formula of its own (a tile
// grid in Web Mercator, a GeoTIFF's model transformation in its coordinate
// system), not by a fit of reference points.
//
// Pixels are counted from the outer top-left corner of the top-left pixel:
// pixel (i, j) covers i <= x < i + 1, j <= y < j + 1, at the chart's full
// resolution. Positions are WGS 84, radians, X = longitude, Y = latitude.
#pragma once

#include <memory>

#include "foundation/Types.h"

class TExactGeoRef {
 public:
  virtual ~TExactGeoRef() = default;

  // False where the formula has no answer (outside its domain, not finite).
  virtual bool PixelToGeo(double x, double y, TFPoint& pos) const = 0;
  virtual bool GeoToPixel(const TFPoint& pos, double& x, double& y) const = 0;

  virtual std::unique_ptr<TExactGeoRef> Clone() const = 0;
};
