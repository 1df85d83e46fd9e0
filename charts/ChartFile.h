// The chart file reader: takes a chart file name (as the catalog or the
// user gives it), finds the file through the chart directories, finds its
// calibration and, for plain images, loads the picture.
//
// A calibration is built into KAP and WCI files (read by their decoders), or
// kept in a ".CAL" file beside an image, or in the image's section of the
// directory's "CHARTCAL.DIR". File names stored on Windows ("C:\Charts\x.kap",
// upper-case names of lower-case files) are found: both separators are
// accepted and look-ups fall back to a case-insensitive match.
#pragma once

#include <string>

#include "charts/ChartInfo.h"
#include "charts/ImageChart.h"

// Where the calibration of the chart last read came from.
enum : int {
  kCalNone = 0,
  kCalBuiltIn = 1,  // inside the KAP or WCI file
  kCalOwnFile = 2,  // the image's ".CAL" file
  kCalSection = 3,  // a section of the directory's "CHARTCAL.DIR"
};

// Positions in TypeList.
enum : int { kTypeBMP = 0, kTypePNG = 1, kTypeGIF = 2, kTypeKAP = 3, kTypeWCI = 4, kTypeCAL = 5 };

class TChartFile {
 public:
  explicit TChartFile(TChartHeadExternalCodec& codec) : codec_(codec) {}
  TChartFile(const TChartFile&) = delete;
  TChartFile& operator=(const TChartFile&) = delete;

  // The chart directories, ";"-separated.
  std::string SearchPath;
  // The chart file types, in the order of their type indexes.
  static constexpr const char* TypeList = ".BMP.PNG.GIF.KAP.WCI.CAL.";
  // Set by the calibration tool: the record is cleared for images without a
  // calibration too.
  bool AlwaysBuildInfo = false;
  // Shade of GIF colours, -99..99 (see ShadeRgb).
  int Brightness = 0;
  // Loads images of types other than PNG, BMP and GIF (the calibration
  // tool's JPEG, TIFF, ... loaders); none in the plotter.
  TImageLoader OtherImageLoader;

  TChartHeadExternalCodec& Codec() const { return codec_; }

  // Resolves the file, finds its calibration and fills `info` from it.
  // Returns what reading the calibration header returned (true when the
  // border has three points or more); false when the file or its type is
  // unknown or nothing was read. A KAP, NOS or WCI chart is only resolved
  // (RasterChart() true, FileFound() true): its decoder reads the header.
  bool ReadHeader(const std::string& name, RChartInfo& info);
  // ReadHeader, then for an image chart the picture. False when the file
  // is not found, is a raster chart, or its picture cannot be loaded; also
  // false for an image without a calibration (unless AlwaysBuildInfo), whose
  // picture is loaded all the same (ImageLoaded()).
  bool LoadImage(const std::string& name, RChartInfo& info);
  // Drops the picture and the loaded state.
  void Reset();

  // State of the last ReadHeader.
  bool FileFound() const { return found_; }
  bool RasterChart() const { return raster_; }
  bool HeaderLoaded() const { return headerLoaded_; }
  bool ImageLoaded() const { return imageLoaded_; }
  int CalSource() const { return calSource_; }
  // 0 BMP, 1 PNG, 2 GIF, 3 KAP (also ".GEO"), 4 WCI; -1 for an image type
  // outside the list reached through its ".CAL" file.
  int TypeIndex() const { return typeIndex_; }
  // The resolved chart (or image) file, its directory (with "/"), its
  // extension and bare name in upper case.
  const std::string& FileName() const { return fileName_; }
  const std::string& Directory() const { return directory_; }
  const std::string& UpperExt() const { return upperExt_; }
  const std::string& UpperBareName() const { return upperBare_; }
  // The ".CAL" file and "CHARTCAL.DIR" that belong to the chart (none for
  // KAP and WCI charts).
  const std::string& CalFileName() const { return calFile_; }
  const std::string& CalDirFileName() const { return calDirFile_; }
  const TChartImage& Image() const { return image_; }
  TChartImage& Image() { return image_; }
  const std::string& LastError() const { return lastError_; }

  // Finds a stored chart file name: as it is, then in each directory of
  // the search path; case-insensitively. "" when not found.
  static std::string ResolveChartFile(const std::string& name, const std::string& searchPath,
                                      const std::string& firstDir = std::string());

 private:
  TChartHeadExternalCodec& codec_;
  bool found_ = false;
  bool raster_ = false;
  bool headerLoaded_ = false;
  bool imageLoaded_ = false;
  int calSource_ = kCalNone;
  int typeIndex_ = -1;
  std::string fileName_;
  std::string directory_;
  std::string upperExt_;
  std::string upperBare_;
  std::string calFile_;
  std::string calDirFile_;
  TChartImage image_;
  std::string lastError_;
};
