// A raster placed in a coordinate system by an affine map of its pixels (a
// GeoTIFF's tie point with pixel scale, or its transformation matrix), as
// an exact georeference: pixel -> model coordinates -> WGS 84.
#pragma once

#include <memory>

#include "foundation/Types.h"
#include "geodesy/CrsToWgs84.h"
#include "geodesy/ExactGeoRef.h"

// Pixel (x, y) -> model (X, Y): X = C[0] + C[1] x + C[2] y,
// Y = C[3] + C[4] x + C[5] y (the order of GDAL's geotransform). Pixels are
// counted from the outer top-left corner of the top-left pixel.
struct TPixelTransform {
  double C[6] = {0, 1, 0, 0, 0, 1};

  void Apply(double x, double y, double& X, double& Y) const {
    X = C[0] + C[1] * x + C[2] * y;
    Y = C[3] + C[4] * x + C[5] * y;
  }
  // The determinant of the linear part.
  double Determinant() const { return C[1] * C[5] - C[2] * C[4]; }
  // Whether it is finite and can be inverted (its pixels have an area of
  // more than 1e-12 of their squared sides).
  bool Invertible() const;
  // The inverse (model -> pixel); false when it has none.
  bool Inverse(TPixelTransform& inverse) const;
};

class TModelGeoRef : public TExactGeoRef {
 public:
  // `transform` must be invertible and `crs` ready. `centre` is the pixel
  // whose longitude the positions keep to: longitudes come out within half a
  // turn of its longitude, so a chart across 180 degrees has no seam.
  TModelGeoRef(const TPixelTransform& transform, const TCrsToWgs84& crs, const TFPoint& centre);

  bool PixelToGeo(double x, double y, TFPoint& pos) const override;
  bool GeoToPixel(const TFPoint& pos, double& x, double& y) const override;
  std::unique_ptr<TExactGeoRef> Clone() const override;

  const TPixelTransform& Transform() const { return toModel_; }
  const TCrsToWgs84& Crs() const { return crs_; }
  bool Valid() const { return valid_; }

 private:
  TPixelTransform toModel_;
  TPixelTransform toPixel_;
  TCrsToWgs84 crs_;
  bool valid_ = false;
  double centreLon_ = 0;
  // Model X of the centre (geographic systems: positions are brought onto
  // the chart's turn of the earth before they become pixels).
  double centreX_ = 0;
};
