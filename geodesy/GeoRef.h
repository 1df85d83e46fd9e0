// What the chart converter needs to know of a chart: its projection, its
// reference points, its border and its datum. The chart information record
// of the charts library fills one of these for every chart it opens.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "foundation/Types.h"

// One reference point of a calibration: pixel column and row, and the
// position there (radians, east and north positive). 32 bytes.
struct TGridPoint {
  double X = 0;
  double Y = 0;
  double Lon = 0;
  double Lat = 0;
  friend bool operator==(const TGridPoint&, const TGridPoint&) = default;
};
using TGridPointArray = std::vector<TGridPoint>;

struct RGeoRef {
  // Projection code 0..7 ("PR=") and its parameters, radians.
  uint8_t Projection = 0;
  double Lat0 = 0;
  double Lon0 = 0;
  double LatS = 0;
  double LatN = 0;
  // Viewing height in metres of projection 7 (the third raw parameter).
  double Height = 0;
  TGridPointArray RefPoints;
  // Border polygon in the chart's datum (X = longitude, Y = latitude).
  TFPointArray Border;
  // Datum name ("GD=") and the chart's own datum shift ("DS=", or the DTM
  // record of a KAP header; X longitude, Y latitude, radians).
  std::string DatumName = "WGS84";
  TFPoint DatumShift;
  // The chart is a BSB/KAP raster chart (its DTM shift follows the "KAP zero
  // shift" settings).
  bool IsKAP = false;
};
