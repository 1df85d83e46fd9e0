// brtool chart for GeoTIFF files: info, decode, pix2geo and geo2pix through
// the GeoTIFF reader and its exact georeference (or its fit of control
// points), in the output forms of the other charts.
#pragma once

#include <string>
#include <vector>

#include "charts/ChartInfo.h"

// Whether "brtool chart" hands the file to RunGeoTiffChart.
bool IsGeoTiffChart(const std::string& file);

// args: the positional arguments ("info FILE", "decode FILE OUT",
// "pix2geo FILE X Y", "geo2pix FILE LON LAT"); palette: --palette when given;
// level: --level when given (decode: an overview). Returns the exit code;
// -1 for a subcommand it does not take.
int RunGeoTiffChart(const std::vector<std::string>& args, const std::string* palette, const std::string* level,
                    bool png);

// The chart record of a GeoTIFF (its calibration for "chart cal"); false
// with the reason when the file cannot be opened.
bool LoadGeoTiffInfo(const std::string& file, RChartInfo& info, std::string& error);
