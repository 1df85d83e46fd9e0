// What the calibration tool's map shows, as plain arithmetic: the zoom
// steps, the latitude/longitude grid drawn to check a fit, and the border
// line. Lines are polylines in image pixels (zoom 1); the window scales
// them.
#pragma once

#include <cstdint>
#include <vector>

#include "foundation/Types.h"

class TWorldConvert;

// ---------------------------------------------------------------------------
// Zoom

// The widest or tallest zoomed image the map can hold, in screen pixels.
inline constexpr double kMaxZoomedPixels = 32760;
inline constexpr double kZoomFactor = 1.26;

// The zoom applied for a requested one: a whole number when the request is
// within 0.05 of it, 1/n when 1/request is within 0.05 of the whole number n.
double SnapZoom(double requested);

class TCalZoom {
 public:
  // The zoom asked for by the buttons, and the one applied.
  double Requested() const { return requested_; }
  double Applied() const { return applied_; }
  // 1.0 (every opened image starts there).
  void Reset();
  // "+" multiplies the request by 1.26 while it is below 3.9; "-" divides it
  // while it is above 0.26. A step that would make the image (width x
  // height pixels) wider or taller than kMaxZoomedPixels is refused and
  // leaves both zooms as they were. True when the applied zoom changed.
  bool ZoomIn(int32_t width, int32_t height);
  bool ZoomOut(int32_t width, int32_t height);
  // "Zoom %": the applied zoom x 100, rounded.
  int Percent() const;

 private:
  bool Step(double requested, int32_t width, int32_t height);
  double requested_ = 1.0;
  double applied_ = 1.0;
};

// ---------------------------------------------------------------------------
// Grid

enum class TGridDensity : uint8_t { None = 0, Loose = 1, Normal = 2, Tight = 3 };

// Lines wanted across `size` image pixels: max(size / 500, 5) loose,
// max(size / 100, 20) normal, max(size / 20, 75) tight; 0 for no grid.
int GridLineCount(TGridDensity density, int32_t size);
// The grid step in minutes of arc for `lines` lines over an extent of
// `extentMinutes`: from 1 (when 5 x lines is below the extent) or 1e-7,
// multiplied alternately by 5 and 2 until lines x step reaches the extent.
// 0 when no step can be found (an extent that is not finite or positive).
double GridStepMinutes(int lines, double extentMinutes);

struct TGridLine {
  bool Latitude = false;  // a parallel (else a meridian)
  double Value = 0;       // its latitude or longitude, radians
  std::vector<TFPoint> Pixels;
};

struct TCalGrid {
  std::vector<TGridLine> Lines;
  double LatStepMinutes = 0;
  double LonStepMinutes = 0;
};

// The grid of an image of width x height pixels through the fit: parallels
// and meridians at whole multiples of the steps from below the smallest
// latitude (longitude) of the image's corners until past the largest, each
// a line of 25 segments through interpolated positions. Nothing without a
// valid fit or when a corner has no finite position; at most 2 x lines + 2
// lines per direction.
TCalGrid BuildGrid(TWorldConvert& fit, int32_t width, int32_t height, TGridDensity density);

// A line of 25 segments from `from` to `to` (positions interpolated in
// latitude and longitude) in image pixels; points that cannot be converted
// are left out.
std::vector<TFPoint> GeoSegmentLine(TWorldConvert& fit, const TFPoint& from, const TFPoint& to);

// The border line: the closing edge from the last point to the first, then
// each edge in order, as lines of 25 segments.
std::vector<std::vector<TFPoint>> BorderLines(TWorldConvert& fit, const TFPointArray& border);
