// WinGPS chart index files (".CHI"): a first line naming "WINGPS", then
// blocks of "key = value" lines, one chart each, ended by "END", an empty
// line or the end of the file. Each chart's calibration (its border given
// in pixels is placed through the chart's own fit) goes into a section of
// "CHARTCAL.DIR" beside its image.
#pragma once

#include <functional>
#include <string>

struct TWinGpsImport {
  int Imported = 0;
  int Kept = 0;     // images that have a calibration already, kept
  int Skipped = 0;  // blocks that could not be read or placed
};

// The scale of a chart from its first two reference points when it gives
// none: metres per pixel along the parallel (longitude difference per
// pixel x the radius of the sphere of one nautical mile a minute x the
// cosine of the mean latitude) x 5000, cut to two significant digits;
// 100 000 000 when that cannot be computed or is below 1.
int32_t WinGpsEstimatedScale(double lon0, double lat0, double x0, double lon1, double lat1, double x1);

// Imports the charts of an index file. Nothing for a missing file or one
// whose first line lacks "WINGPS". `progress` hears "Converting " + name.
TWinGpsImport ImportWinGpsCharts(const std::string& file, const std::function<void(const std::string&)>& progress = {});
