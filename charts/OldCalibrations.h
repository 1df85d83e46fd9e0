// Calibrations of the calibration tool's old chart list ("BRICHART.DIR"): a section
// "[RegisterdCharts]" with one line per chart, name = ten fields each ended
// by ";" (image file, scale, the four image edges, the old projection, two
// skew angles, the datum). Each chart's old model gives the positions of
// three reference points and a border of four points near the image's
// corners, written as a "CHARTCAL.DIR" section beside the image.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "charts/ChartInfo.h"

// A position field of nine characters: degrees (3), thousandths of minutes
// (5), and "S" or "W" for south or west; in units of 1/60 000 degree.
std::optional<int64_t> ParseOldPosition(std::string_view field);

struct TOldChartLine {
  std::string Name;  // at most 40 characters
  std::string File;  // at most 127 characters
  int32_t Scale = 0;
  int64_t Top = 0, Left = 0, Bottom = 0, Right = 0;  // 1/60 000 degree
  int Projection = 0;  // 0 plain, 1 Mercator, 2 plain with cosine-corrected longitudes
  int SkewX = 0, SkewY = 0;  // hundredths of a degree
  std::string Datum;         // at most 40 characters
};

// One line of the list (name=fields); nothing when it has no "=" or its
// first six fields do not all read. From the first of the last four fields
// that is missing or unreadable on, those count as 0 (and the datum empty).
std::optional<TOldChartLine> ParseOldChartLine(std::string_view line);

// The old calibration model of one chart, W x H pixels. Positions in
// radians (X longitude, Y latitude); nothing for a chart it cannot place
// (a side of one pixel, equal edges, an unknown projection).
class TOldWorldConvert {
 public:
  TOldWorldConvert(const TOldChartLine& chart, int32_t width, int32_t height);
  std::optional<TFPoint> PixelToGeo(int32_t x, int32_t y) const;

 private:
  TOldChartLine c_;
  int32_t w_, h_;
};

// The record of an old list entry with its image found at `imageFile` of
// W x H pixels: name, file, scale, datum, projection (Mercator, or
// Transverse Mercator at 15.808 E for the cosine-corrected kind), three
// reference points at (5, 5), (5, H - 6), (W - 6, H - 6) and a border at
// (5, 5), (W - 6, 5), (W - 6, H - 6), (5, H - 6). Nothing when the model
// cannot place them.
std::optional<RChartInfo> OldChartRecord(const TOldChartLine& chart, const std::string& imageFile, int32_t width,
                                         int32_t height);

struct TOldImportReport {
  int Found = 0;        // list lines with "="
  int Matching = 0;     // read, and their image found
  int Failed = 0;       // the image could not be read, or the model could not place it
  int AlreadyCalibrated = 0;  // the image has a calibration, which is kept
  int Imported() const { return Matching - Failed - AlreadyCalibrated; }
  std::string Problems;  // one line per failed chart
  // The closing message.
  std::string Text() const;
};

struct TOldImportSettings {
  // "Chart Dir": where images named without a directory are looked for.
  std::string ChartDirs;
  // Progress: text, position, maximum; false cancels.
  std::function<bool(const std::string& text, int position, int max)> Progress;
};

// Imports the list's calibrations: each into a section of "CHARTCAL.DIR"
// beside its image (written atomically), never over an image's existing
// calibration (its own ".CAL" or section). A list without
// "[RegisterdCharts]" imports nothing.
TOldImportReport ImportOldCalibrations(const std::string& listFile, const TOldImportSettings& settings);
