// The calibration kept for an image file, looked up by the image's own name:
// its ".CAL" file beside it, else its section of the directory's
// "CHARTCAL.DIR" (names matched without regard to case). The chart file
// reader reaches JPEG and TIFF scans only through their ".CAL" files; the
// conversions look their calibration up from the image itself with this.
#pragma once

#include <string>

#include "charts/ChartFile.h"

// Loads the calibration lines into `codec`. Returns kCalOwnFile or
// kCalSection with `from` the file read, or kCalNone.
int ReadImageCalibration(const std::string& imagePath, TChartHeadExternalCodec& codec, std::string* from = nullptr);
