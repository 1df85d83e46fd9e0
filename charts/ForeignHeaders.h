// Calibrations made for other programs: OziExplorer ".MAP" files, Genimap
// ".IN8" files and WinGPS chart files. Each codec works on the lines loaded
// with LoadFromFile (or LoadFromText) and fills an RChartInfo. The headers of
// BSB/KAP and NOS rasters are read by TKAPDecoder::ReadInfo.
//
// These files come from other people: counts are bounded, broken point lines
// are left out, and nothing in them can make a reader run away.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "charts/ChartInfo.h"

class TChartHeadMAPCodec : public TChartHeadBaseCodec {
 public:
  // Clears the record and fills it from an OziExplorer map file. The
  // border, when the file has one, is in pixels (X column, Y row). False
  // when the first line does not name the format or fewer than two
  // reference points are found.
  bool ReadMAP(RChartInfo& info) const;
  // The map scale from the "MM1B" value (metres per pixel): value * 5000
  // cut to two significant digits; 100000000 when that is below 1.
  static int32_t ScaleFromMM1B(double mm1b);
};

class TChartHeadGMBCodec : public TChartHeadBaseCodec {
 public:
  // Two reference points at the image corners from the ";[NMEARECT]" value
  // of a Genimap ".IN8" file (packed angles ddmm.mmm: west, north, east,
  // south). info.Width and info.Height must hold the image size. Changes
  // nothing when the value has fewer than four numbers; callers check
  // RefCount.
  void ReadNMEARect(RChartInfo& info) const;
  // A packed angle ddmm.mmm in degrees.
  static double PackedAngle(double value);
};

class TChartHeadWinGPSCodec : public TChartHeadBaseCodec {
 public:
  // Clears the record and fills it from the lines of one WinGPS chart. The
  // border, when the margins are given, is in pixels. False with fewer than
  // two reference points.
  bool ReadWinGPS(RChartInfo& info) const;
  // The value of the first line "key = value" (key case ignored, blanks
  // allowed before the "="), trimmed, at most 255 characters.
  std::optional<std::string> WinGPSValue(std::string_view key) const;
};

// The central meridian of the Swedish grid, degrees: charts that name that
// projection are read as Transverse Mercator about it.
inline constexpr double kSwedishGridLon0 = 15.808;
