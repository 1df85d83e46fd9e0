// A GeoTIFF chart: its raster (TGeoTiffRaster) and its georeference, read
// from the file's own tags.
//
// A file placed by its model transformation (a tie point with a pixel
// scale, or a matrix) in a geographic or projected coordinate system is
// georeferenced exactly (GeoRef(): a TExactGeoRef, pixels as GDAL counts
// them). A file that has only tie points (ground control points) goes
// through our own fit of them, like a KAP chart's reference points:
// FitGeoRef() gives them in WGS 84 with the projection closest to the
// file's, for TWorldConvert.
//
// Positions are WGS 84, radians, X = longitude, Y = latitude.
#pragma once

#include <memory>
#include <span>
#include <string>

#include "charts/ChartInfo.h"
#include "charts/GeoTiffRaster.h"
#include "charts/GeoTiffTags.h"
#include "geodesy/CTrans.h"
#include "geodesy/CrsToWgs84.h"
#include "geodesy/ModelGeoRef.h"

// ".TIF", ".TIFF" (upper case, with the dot) files that carry a
// georeference: a TIFF whose first image has model transformation or
// GeoKey tags. Reads the file's first directory only; false for anything
// else, a plain TIFF scan included.
bool IsGeoTiffFile(const std::string& path);

class TGeoTiffChart {
 public:
  TGeoTiffChart();
  ~TGeoTiffChart();
  TGeoTiffChart(const TGeoTiffChart&) = delete;
  TGeoTiffChart& operator=(const TGeoTiffChart&) = delete;

  // Opens the raster and sets up its georeference. False with the reason
  // when either fails: a file without a georeference ("no georeference"), a
  // coordinate system that is unknown or not supported (named), a
  // transformation that cannot be inverted, a GeoKey directory that does not
  // hold what it claims, a raster that is not a chart picture.
  bool Open(const std::string& path, std::string* error = nullptr, TCrsBackend backend = TCrsBackend::Auto);
  // The same over bytes in memory (which must outlive the chart).
  bool OpenMemory(std::span<const uint8_t> bytes, std::string* error = nullptr,
                  TCrsBackend backend = TCrsBackend::Auto);
  void Close();
  bool IsOpen() const { return open_; }

  TGeoTiffRaster& Raster() { return raster_; }
  const TGeoTiffRaster& Raster() const { return raster_; }
  int64_t Width() const { return raster_.Width(); }
  int64_t Height() const { return raster_.Height(); }

  // Placed by its model transformation (else by control points).
  bool Exact() const { return geoRef_ != nullptr; }
  // The exact georeference (null for a control-point chart).
  const TModelGeoRef* GeoRef() const { return geoRef_.get(); }
  // The coordinate system and its conversion to WGS 84.
  const TCrsToWgs84& Crs() const { return crs_; }
  const TGeoTiffModel& Model() const { return model_; }
  const TGeoKeyDirectory& Keys() const { return keys_; }
  bool PixelIsPoint() const { return pixelIsPoint_; }

  // Reference points in WGS 84 with the projection (code and parameters)
  // closest to the file's: the control points of a control-point chart;
  // for an exactly placed chart a grid of points of its georeference (a
  // calibration of ours, as a WCI file or a ".CAL" keeps it). Datum "WGS84".
  const RGeoRef& FitGeoRef() const { return fitRef_; }

  // Pixel <-> WGS 84 by the exact georeference, or by our fit of the control
  // points. False where there is no answer.
  bool PixelToGeo(double x, double y, TFPoint& pos);
  bool GeoToPixel(const TFPoint& pos, double& x, double& y);

  // The chart information record: name (the file's own, else the file
  // name's stem), size, the projection closest to the file's, the
  // reference points of FitGeoRef, the border along the raster's edges in
  // WGS 84, the scale at the middle, and the coordinate system in the
  // comments. The positions it holds are WGS 84 ("WGS84").
  void FillInfo(const std::string& path, RChartInfo& info);

  // Points per edge of FitGeoRef's grid for an exactly placed chart.
  static constexpr int kCalibrationGrid = 5;

 private:
  bool Finish(std::string* error, TCrsBackend backend);

  TGeoTiffRaster raster_;
  TGeoKeyDirectory keys_;
  TGeoTiffModel model_;
  bool pixelIsPoint_ = false;
  TCrsToWgs84 crs_;
  std::unique_ptr<TModelGeoRef> geoRef_;
  RGeoRef fitRef_;
  TWorldConvert fit_;
  bool open_ = false;
};

// The projection code (and parameters) of ours closest to a coordinate
// system's, for our fit: geographic 0, Mercator 1, Transverse Mercator 2,
// Lambert 3, Polyconic 4; a method we do not have: Transverse Mercator
// about `centreLon` (radians).
void ClosestProjection(const TCrsDefinition& crs, double centreLon, RGeoRef& ref);
