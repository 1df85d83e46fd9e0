// The parts of "brtool chart info" that every kind of chart prints alike:
// numbers, the reference points, the border and the corners.
#pragma once

#include <cmath>
#include <functional>
#include <string>

#include "charts/HeaderText.h"
#include "foundation/Types.h"
#include "geodesy/GeoRef.h"

// Numbers with 15 significant digits: degrees back from radians read as
// they were written.
inline std::string JsonNum(double v) { return std::isfinite(v) ? GeneralNumberText(v) : std::string("null"); }
inline std::string JsonDeg(double radians) { return JsonNum(radians * kRadToDeg); }

// "  \"refPoints\": [...],\n"
inline std::string RefPointsJson(const TGridPointArray& points) {
  std::string j = "  \"refPoints\": [";
  for (size_t k = 0; k < points.size(); ++k) {
    const TGridPoint& p = points[k];
    j += std::string(k ? "," : "") + "\n    {\"x\": " + JsonNum(p.X) + ", \"y\": " + JsonNum(p.Y) +
         ", \"lat\": " + JsonDeg(p.Lat) + ", \"lon\": " + JsonDeg(p.Lon) + "}";
  }
  return j + (points.empty() ? "],\n" : "\n  ],\n");
}

// "  \"border\": [...],\n": positions, or pixels (an OziExplorer map's).
inline std::string BorderJson(const TFPointArray& border, bool pixels) {
  std::string j = "  \"border\": [";
  for (size_t k = 0; k < border.size(); ++k) {
    const TFPoint& p = border[k];
    j += std::string(k ? "," : "") + "\n    " +
         (pixels ? "{\"x\": " + JsonNum(p.X) + ", \"y\": " + JsonNum(p.Y) + "}"
                 : "{\"lat\": " + JsonDeg(p.Y) + ", \"lon\": " + JsonDeg(p.X) + "}");
  }
  return j + (border.empty() ? "],\n" : "\n  ],\n");
}

// "  \"corners\": [...]\n" of a width x height raster, each corner's
// position by `toGeo` (null where it has none).
inline std::string CornersJson(double width, double height, const std::function<bool(const TFPoint&, TFPoint&)>& toGeo) {
  const TFPoint corners[4] = {{0, 0}, {width, 0}, {width, height}, {0, height}};
  std::string j = "  \"corners\": [";
  for (int k = 0; k < 4; ++k) {
    TFPoint pos;
    const bool ok = toGeo(corners[k], pos);
    j += std::string(k ? "," : "") + "\n    {\"x\": " + JsonNum(corners[k].X) + ", \"y\": " + JsonNum(corners[k].Y) +
         ", \"lon\": " + (ok ? JsonDeg(pos.X) : "null") + ", \"lat\": " + (ok ? JsonDeg(pos.Y) : "null") + "}";
  }
  return j + "\n  ]\n";
}
