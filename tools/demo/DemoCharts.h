// The demo charts: two nested Mercator charts of the demo world, an
// overview of the approaches and a harbour plan, drawn as a chart office
// would print them (depth areas and contours, soundings, lights, names, a
// compass rose, a graduated border, a title block) and marked
// "DEMO - NOT FOR NAVIGATION" in several places.
//
// Each chart is written as a palette PNG with its calibration beside it in
// a ".cal" file, the form in which a user's scanned chart arrives after
// calibration.
#pragma once

#include <string>
#include <vector>

#include "DemoCanvas.h"
#include "DemoWorld.h"
#include "charts/ChartInfo.h"

struct TDemoChartPlan {
  std::string FileBase;  // file names without extension
  std::string Name;      // "NA="
  std::string Number;    // "NU="
  int32_t Scale = 0;
  // The neat line (the edge of the chart's picture), degrees.
  double LatSouth = 0, LatNorth = 0, LonWest = 0, LonEast = 0;
  // Image pixels per minute of longitude (sets the pixel size).
  double PixelsPerLonMinute = 0;
  int Margin = 100;  // pixels between the image edge and the neat line
  // Border graduation: subdivisions and labelled steps, in minutes; the
  // decimals of the minutes in the labels.
  double LonStep = 0, LonLabelStep = 0, LatStep = 0, LatLabelStep = 0;
  int LabelDecimals = 0;
  bool HarbourScale = false;     // harbour names are shown
  double SoundingSpacing = 100;  // pixels between soundings
  double SoundingSize = 13;
  double LandNameSize = 26, WaterNameSize = 22;
  TDemoPoint RoseAt;       // centre of the compass rose
  double RoseRadius = 0;   // pixels
  bool TitleAtTop = true;  // the title block in the top or the bottom right corner
};

// The overview and the harbour plan.
std::vector<TDemoChartPlan> DemoChartPlans();

// The picture's pixels and positions: x = margin + (lon - west) * k and
// y = margin + (M(north) - M(lat)) * k, with M the Mercator ordinate
// atanh(sin lat), which is what the chart converter computes for
// projection 1.
class TDemoChartFrame {
 public:
  explicit TDemoChartFrame(const TDemoChartPlan& plan);
  int32_t Width() const { return width_; }
  int32_t Height() const { return height_; }
  // The neat line in pixels.
  double Left() const { return margin_; }
  double Top() const { return margin_; }
  double Right() const { return margin_ + neatWidth_; }
  double Bottom() const { return margin_ + neatHeight_; }
  double PixelX(double lon) const;
  double PixelY(double lat) const;
  double Lon(double x) const;
  double Lat(double y) const;

 private:
  double k_, margin_, west_, northM_, neatWidth_, neatHeight_;
  int32_t width_, height_;
};

struct TDemoChart {
  TDemoChartPlan Plan;
  TDemoCanvas Canvas;
  RChartInfo Info;  // the calibration (FN= names the PNG file)
};

// Draws one chart; `variationYear` is the decimal year of the magnetic
// variation printed in the compass rose.
TDemoChart DrawDemoChart(const TDemoWorld& world, const TDemoChartPlan& plan, double variationYear);

// Writes dir/FileBase.png and dir/FileBase.cal; false with a message when a
// file cannot be written.
bool WriteDemoChart(const TDemoChart& chart, const std::string& dir, std::string& error);
