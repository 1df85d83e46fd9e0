// What the chart catalog keeps of a georeferenced raster: its border in
// WGS 84 followed along the raster's edges, its bounds and its scale.
#pragma once

#include <functional>
#include <string>

#include "charts/ChartInfo.h"
#include "foundation/Types.h"

// Pixel (x, y) -> WGS 84; false where there is no position.
using TPixelToGeo = std::function<bool(double x, double y, TFPoint& pos)>;

// The border of a width x height raster in WGS 84: its corners, clockwise
// from the top left, and along each edge as many points as keep the
// straight lines between them (in longitude and latitude) within
// `tolerance` pixels of the edge. Empty when a corner has no position.
TFPointArray EdgeBorder(const TPixelToGeo& toGeo, double width, double height, double tolerance = 1.0);

// The natural scale at the raster's middle: the ground size of one pixel
// there taken as 0.254 mm on paper. 0 when it cannot be measured.
int32_t ScaleAtMiddle(const TPixelToGeo& toGeo, double width, double height);

// The catalog's record of a georeferenced chart, its border in WGS 84
// already: bounds around the four corners, the border and the file name
// (full path). False when the border or bounds have no usable positions.
bool GeoChartLayout(const RChartInfo& info, const TPixelToGeo& toGeo, const std::string& path,
                    RChartLayout& layout);

// The catalog scan's reading of a GeoTIFF file (a ".tif"/".tiff" that
// carries a georeference): the record to add, or the problem line. Returns
// false when the file is not a GeoTIFF, so the scan treats it as any other
// TIFF scan.
struct TGeoTiffScan {
  RChartLayout Layout;
  std::string Problem;  // "" when Layout is the record
  bool NotCalibrated = false;
};
bool ScanGeoTiff(const std::string& path, TGeoTiffScan& out);
