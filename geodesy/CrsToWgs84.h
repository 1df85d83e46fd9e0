// Coordinates of a geographic or projected coordinate reference system (as a
// georeferenced raster names it: an EPSG code, or its own definition) to
// WGS 84 positions and back.
//
// A conversion has two steps: the projection (model coordinates to latitude
// and longitude on the system's own datum) and the datum (that datum to
// WGS 84). Our own formulas (TProjTrans) take the projection step where they
// are exact: geographic coordinates, the spherical "Pseudo-Mercator" of web
// maps, Lambert Conformal Conic with one or two standard parallels, and
// Polyconic. Every other projection, and every datum other than WGS 84, goes
// through PROJ, which chooses the same datum transformations as GDAL. Our
// Transverse Mercator is a series good to a few millimetres near its central
// meridian only, so Transverse Mercator systems (UTM and the national grids)
// go through PROJ.
//
// Positions are WGS 84, radians, X = longitude, Y = latitude. Model
// coordinates are (easting, northing), or (longitude, latitude) of a
// geographic system, in the system's units, whatever the axis order its
// EPSG definition states. Nothing here throws; conversions that cannot be
// done return false.
#pragma once

#include <memory>
#include <string>

#include "foundation/Types.h"
#include "geodesy/CTrans.h"

// The projection methods the projection step knows by name.
enum class TCrsMethod : uint8_t {
  None,  // a geographic system
  TransverseMercator,
  Mercator,        // ellipsoidal Mercator (one standard parallel, or the scale at the equator)
  PseudoMercator,  // spherical Mercator on the semi-major axis (EPSG:3857)
  LambertConic1SP,
  LambertConic2SP,
  Polyconic,
  Other,  // any other method: PROJ only
};

// A coordinate reference system, normalised.
struct TCrsDefinition {
  bool Geographic = true;
  // What PROJ builds the system from: "EPSG:26915", or a PROJ string with
  // "+type=crs". Required.
  std::string ProjText;
  // For a projected system defined by its own parameters: the geographic
  // system it is based on ("EPSG:4269"), so that PROJ knows its datum. Empty:
  // ProjText says all.
  std::string BaseProjText;
  // Shown in messages and the chart information ("NAD83 / UTM zone 15N").
  std::string Name;
  int EpsgCode = 0;       // of the system itself, 0 when it has none
  int DatumEpsgCode = 0;  // 6326 for WGS 84; 0 unknown
  TCrsMethod Method = TCrsMethod::None;
  // The ellipsoid (metres); a sphere has SemiMinor == SemiMajor.
  double SemiMajor = 6378137.0;
  double SemiMinor = 6356752.314245179;
  double PrimeMeridian = 0;  // degrees east of Greenwich
  // Model units: metres per unit of a projected system, degrees per unit of
  // a geographic one.
  double LinearUnit = 1;
  double AngularUnit = 1;
  // Projection parameters in degrees and metres. For Lambert 2SP the origin
  // is the false origin.
  double LatOrigin = 0;
  double LonOrigin = 0;
  double StdParallel1 = 0;
  double StdParallel2 = 0;
  double ScaleFactor = 1;
  double FalseEasting = 0;
  double FalseNorthing = 0;
};

enum class TCrsBackend : uint8_t {
  Auto,  // our own projection where it is exact, PROJ otherwise
  Proj,  // PROJ for both steps, whatever the method
};

class TCrsToWgs84 {
 public:
  TCrsToWgs84();
  ~TCrsToWgs84();
  // Copies are independent (their own PROJ objects).
  TCrsToWgs84(const TCrsToWgs84& other);
  TCrsToWgs84& operator=(const TCrsToWgs84& other);

  // False, with the reason (naming the system), when PROJ does not know the
  // system or cannot convert it to WGS 84 (a geocentric or vertical system).
  bool Setup(const TCrsDefinition& crs, TCrsBackend backend = TCrsBackend::Auto, std::string* error = nullptr);
  bool Ready() const;

  bool ToWgs84(double x, double y, TFPoint& pos) const;
  bool FromWgs84(const TFPoint& pos, double& x, double& y) const;

  const TCrsDefinition& Definition() const { return crs_; }
  // Whether our own projection does the projection step; whether PROJ
  // shifts the datum.
  bool OwnProjection() const { return own_; }
  bool DatumShifted() const;
  // As PROJ names them ("" before Setup): the system, its datum, and the
  // datum operation to WGS 84.
  const std::string& CrsName() const { return crsName_; }
  const std::string& DatumName() const { return datumName_; }
  const std::string& OperationName() const { return operationName_; }

  struct TProjStep;

 private:
  bool OwnForward(double x, double y, TFPoint& lonLat) const;
  bool OwnInverse(const TFPoint& lonLat, double& x, double& y) const;

  TCrsDefinition crs_;
  // Our own projection (its conversions note their errors in it).
  mutable TProjTrans proj_;
  bool ready_ = false;
  bool own_ = false;
  // Projection step done by PROJ: the whole conversion (model -> WGS 84
  // degrees). Own projection step: the datum step only (geographic degrees
  // of the system's datum -> WGS 84 degrees), null for WGS 84.
  std::unique_ptr<TProjStep> step_;
  // Model units to the units PROJ takes (the file's unit against the one
  // of the EPSG definition); radians to PROJ's angular input of the datum
  // step.
  double toProjUnit_ = 1;
  double datumInputPerRadian_ = 1;
  std::string crsName_, datumName_, operationName_;
};
