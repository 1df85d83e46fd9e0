// Conversions of the calibration tool that need no window: an image (with
// the calibration kept beside it) into a WCI chart, a directory of images
// into WCI charts, and a WCI chart back into a BMP with a "CHARTCAL.DIR"
// section.
//
// Targets are never deleted first: the WCI writer builds the new file beside
// the target and renames it over the old one only when it is complete, so a
// failure or a kill leaves the old file (or none). A failed image is not
// counted as converted and gets a "Problem Charts" line.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "charts/ChartInfo.h"
#include "charts/Quantise.h"

// An image type the conversions read: ".BMP", ".PNG", ".GIF", the JPEG and
// the TIFF extensions (whole upper-case extension with its dot; "" is none).
bool IsConvertibleImageType(const std::string& upperExt);

// The largest WCI image side (16-bit sizes).
inline constexpr int32_t kMaxWCISide = 65535;

struct TConvertSettings {
  // Deflate only beats the runs by this factor ("Compression Factor").
  double CompressionRatio = 1.8;
  // Progress: text, position, maximum (0: no bar). Returns false to cancel;
  // the file in hand is abandoned (its old target stays) and a directory
  // run stops.
  std::function<bool(const std::string& text, int position, int max)> Progress;
  // Genimap charts (".GMB" with an ".IN8" frame): the scale question for
  // the first of a command ("Scale for chart " + the WCI name; a whole
  // number, or nothing), and the ratio of scale to latitude span per row
  // kept for the rest of the command (0: not known yet). Without the
  // question such charts are converted uncalibrated.
  std::function<std::optional<int64_t>(const std::string& wciName)> AskGenimapScale;
  double* GenimapScaleRatio = nullptr;
};

enum : int { kConvertNotWritten = 0, kConvertUncalibrated = 1, kConvertCalibrated = 2 };

struct TConvertOutcome {
  // kConvertNotWritten, kConvertUncalibrated or kConvertCalibrated.
  int Result = kConvertNotWritten;
  // Why the file was not written ("" when it was, or when an existing
  // target was kept because overwriting was not allowed, or an
  // uncalibrated image was skipped as asked).
  std::string Problem;
  // The colour reduction of a 32-bit source.
  TQuantiseStats Colours;
  bool Cancelled = false;
  int64_t Bytes = 0;
};

// One image, or a KAP or NOS chart, into a WCI file. The calibration is looked up for the source
// itself: its ".CAL" file, else its section of the directory's
// "CHARTCAL.DIR". Without a usable calibration (none, no image size, fewer
// than two reference points) the result is kConvertUncalibrated when
// allowUncalibrated, else nothing is written.
TConvertOutcome ConvertImageToWCI(const std::string& image, const std::string& target, bool overwrite,
                                  bool allowUncalibrated, const TConvertSettings& settings);

// The open picture and a copy of its record into a WCI file (the record
// itself is not changed). A record without a name takes the WCI file's name
// with its extension.
TConvertOutcome ConvertPictureToWCI(const TChartImage& picture, const RChartInfo& record, const std::string& target,
                                    const TConvertSettings& settings);

struct TBatchSummary {
  int Scanned = 0;
  int Converted = 0;
  int WithoutCalibration = 0;
  bool Cancelled = false;
  // "Problem Charts" lines: failed files and output name collisions.
  std::vector<std::string> Problems;
  // Per converted file: its name and colour error (32-bit sources).
  std::vector<std::pair<std::string, TQuantiseStats>> Colours;
  // "--- WCI CONVERT RESULT ---" and the counts, CR LF separated.
  std::string Report() const;
  // "--- MAP CONVERT RESULT ---" and the count of converted map files.
  std::string MapReport() const;
};

// Every image (and KAP or NOS chart) of `sourceDir` (not its subdirectories), in name order, into
// `targetDir` as NAME.WCI. Two images of one base name (HARBOUR.PNG and
// HARBOUR.JPG) would make the same file: the first converts, the others are
// listed in Problems and counted as scanned only.
TBatchSummary ConvertImageDirectory(const std::string& sourceDir, const std::string& targetDir, bool overwrite,
                                    bool allowUncalibrated, const TConvertSettings& settings);

// An OziExplorer map file's calibration for an image of `record`'s size:
// the reference points, projection, datum, name and scale of the map, and
// its border (given in pixels) turned into positions through the fit of the
// map's points. `record` keeps its file name, width and height; it is
// changed only on success. On failure `problem` says why (unreadable, not a
// map with two points or more, no fit, a border point without a position).
bool ReadMapFile(const std::string& mapFile, RChartInfo& record, std::string& problem);

// An OziExplorer map file and the image it names (beside it, else as
// written) into a WCI file; the map's border, in pixels, goes through the
// fit of its reference points into positions. Nothing is written when the
// image is missing, the map unreadable or the fit fails. A record without
// a name takes the WCI file's name.
TConvertOutcome ConvertMAPToWCI(const std::string& mapFile, const std::string& target,
                                const TConvertSettings& settings);

// Every "*.MAP" file of `sourceDir` into `targetDir` as NAME.WCI (replacing
// existing files, as "MAP in Dir to WCI" does); Converted counts them.
TBatchSummary ConvertMapDirectory(const std::string& sourceDir, const std::string& targetDir,
                                  const TConvertSettings& settings);

// A WCI chart into an 8-bit BMP and the BMP's section in its directory's
// "CHARTCAL.DIR" (with "FN=" the BMP's name). Refused before anything is
// written when the BMP would pass the 2 GiB of its size fields; no section
// is written when the export fails. The section holds `record` when given
// (the open chart's record), else the WCI file's own calibration.
bool ExportWCIToBMP(const std::string& wciFile, const std::string& bmpFile, std::string& error,
                    const RChartInfo* record = nullptr);
