// Map projections (TProjTrans) and the conversion between WGS 84 positions
// and chart pixels (TWorldConvert, TCoordTrans, TPrintTrans).
//
// A chart is georeferenced in two steps: a position is projected with the
// chart's own projection, and the projected coordinates are mapped to pixels
// by an affine map through three reference points, corrected between the
// other reference points by inverse-distance weighting of their residuals.
//
// Positions are TFPoint with X = longitude, Y = latitude in radians. Nothing
// here throws: conversions return false (and leave their output undefined)
// when they cannot be done.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "foundation/Types.h"
#include "geodesy/GeoRef.h"

class TDatum;

// Projection codes, as stored in chart headers ("PR=").
enum : uint8_t {
  kProjNone = 0,
  kProjMercator = 1,
  kProjTransverseMercator = 2,
  kProjLambert = 3,
  kProjPolyconic = 4,
  kProjSinusoidal = 5,
  kProjOrthographic = 6,
  kProjPerspective = 7,
};
inline constexpr int kProjectionCount = 8;

// The WGS 84 ellipsoid.
inline constexpr double kWgs84A = 6378137.0;
inline constexpr double kWgs84InvF = 298.257223563;

// Result of SetLambert when the standard parallels cannot make a cone.
inline constexpr int kBadLambertInit = 41;

// One map projection with its parameters. Set up with one of the Set...
// operations, then Project (position -> projected) and Unproject (the
// inverse). Projected values are radians for codes 0 and 1, metres otherwise.
//
// A set-up whose parameters are unusable (non-finite values, a Lambert cone
// that cannot be built, a perspective height <= 0, a zero scale) leaves the
// object with SetupOk false: every conversion then fails, so that nothing of
// an earlier set-up stays in force.
class TProjTrans {
 public:
  TProjTrans();

  // Code 0: X = longitude * scale, Y = latitude * scale.
  void SetNone(double scale);
  // Code 1: the spherical Mercator measured from lat0 (see Project).
  void SetMercator(double scale, double lat0);
  // Code 2: Transverse Mercator (series of the USGS working manual).
  void SetTransverseMercator(double scaleFactor, double invF, double a, double lat0, double lon0);
  // Code 3: Lambert Conformal Conic with two standard parallels. Returns 0,
  // or kBadLambertInit ("Bad Lambert Init") when the parallels lie
  // symmetric about the equator or the cone constants cannot be computed;
  // the projection is then unusable.
  int SetLambert(double lat0, double lon0, double lat1, double lat2, double invF, double a);
  // Code 4: Polyconic.
  void SetPolyconic(double lat0, double lon0, double invF, double a);
  // Code 5: Sinusoidal on a sphere.
  void SetSinusoidal(double lon0, double radius);
  // Code 6: Orthographic on a sphere.
  void SetOrthographic(double lat0, double lon0, double radius);
  // Code 7: General Vertical Near-Side Perspective on a sphere, height in
  // metres above the surface (must be > 0).
  void SetPerspective(double lat0, double lon0, double height, double radius);

  // Forward conversion. False (ConvError set) when the point cannot be
  // projected: non-finite input or result, a failed iteration, a pole on the
  // wrong side of a Lambert cone, a point on the far side of an orthographic
  // or beyond the horizon of a perspective view.
  bool Project(const TFPoint& pos, TFPoint& xy);
  // Inverse conversion; false (ConvError set) when the point lies outside
  // the projection's domain or an iteration fails.
  bool Unproject(const TFPoint& xy, TFPoint& pos);

  // The error text of the last failure ("" after a success).
  std::string_view ErrorText() const { return errorText_; }

  uint8_t ProjType = kProjNone;
  double Lat0 = 0;
  double Lon0 = 0;
  double A = kWgs84A;  // semi-major axis or sphere radius, metres
  double InvF = kWgs84InvF;
  double F = 1 / kWgs84InvF;
  double Es = 0;   // first eccentricity squared
  double E = 0;    // eccentricity
  double Esp = 0;  // second eccentricity squared
  double ScaleFactor = 1;
  // Series constants.
  double Es4 = 0, Es6 = 0, TmM0 = 0;               // code 2: e^4, e^6, M(Lat0)
  double E0 = 0, E1 = 0, E2 = 0, E3 = 0, Ml0 = 0;  // code 4 (and e0..e3 generally)
  double Ns = 0, F0 = 0, Rho0 = 0;                 // code 3: cone constant, F0, rho0
  double SinLat0 = 0, CosLat0 = 1;                 // codes 6 and 7
  double P = 0;                                    // code 7: 1 + height / radius
  double Radius = 0;                               // code 5
  // Set by the last conversion when it failed; cleared at the start of each.
  bool ConvError = false;
  // Whether the set-up in force is usable.
  bool SetupOk = true;

 protected:
  // Marks the projection `code` as set up but unusable, with the reason.
  void Unusable(uint8_t code, const char* text);

 private:
  void SetEllipsoid(double invF, double a);
  void SetSeries();
  bool Fail(const char* text);
  double Mlfn(double phi) const;
  double TmMeridian(double phi, double sinphi, double cosphi) const;
  bool Phi2z(double ts, double& phi);
  bool Phi4z(double al, double b, double& c, double& phi);
  bool AzimuthalInverse(double x, double y, double rho, double z, TFPoint& pos);

  const char* errorText_ = "";
  const char* setupError_ = "";
};

// Brings an angle into [-pi, pi]; angles already inside are unchanged.
double AdjustLon(double lon);

// ---------------------------------------------------------------------------
// Affine map through a base triangle.

struct TAffine3 {
  TFPoint Org;   // source origin (base vertex 0)
  TFPoint Dest;  // its image
  double M11 = 1, M21 = 0, M12 = 0, M22 = 1;
  TFPoint Map(const TFPoint& p) const {
    const double a = p.X - Org.X, b = p.Y - Org.Y;
    return {a * M11 + b * M12 + Dest.X, a * M21 + b * M22 + Dest.Y};
  }
};

// Builds the affine map taking a[i] to b[i]. False when either triangle is
// degenerate (collinear or nearly so: twice its area is at most 1e-6 of the
// square of its longest side, i.e. its height is about a millionth of its
// length or less) or a coefficient is not finite.
bool BuildAffine3(const TFPoint a[3], const TFPoint b[3], TAffine3& m);

// One reference point of the fit.
struct TRefRecord {
  TFPoint Pixel;      // chart pixel (absolute)
  TFPoint Projected;  // projected position
  TFPoint Residual;   // ProjToPix(Projected) - Pixel; (0, 0) for the base triangle
};

class TCoordTrans {
 public:
  TFPoint BasePixel[3];
  TFPoint BaseProjected[3];
  TAffine3 PixToProj;
  TAffine3 ProjToPix;
  std::vector<TRefRecord> Points;

  int Count() const { return static_cast<int>(Points.size()); }
  // Inverse-distance weighting (power 2) of the residuals at pixel p; (0, 0)
  // with three or fewer points; a record's own residual on its pixel.
  TFPoint Correction(const TFPoint& p) const;
  // Lays the points out for Correction (done by the fit; Points must not
  // change after it without a new fit).
  void PrepareCorrection();

 private:
  // Pixel X, Y and residual X, Y of every point, in separate arrays.
  std::vector<double> px_, py_, rx_, ry_;
};

// ---------------------------------------------------------------------------
// The datum rule of a chart. The chart view (setting up TWorldConvert) and
// the chart catalog (bringing a chart's border to WGS 84) both decide it with
// ChooseChartShiftRule, so the two can never disagree.

// When the user is asked to name a chart's unknown datum. The chart view
// asks only in "Use KAP zero shift" mode 0 and otherwise takes the chart's
// own shift; the catalog scan also asks for every chart that is not KAP.
enum class TDatumQuestion : uint8_t { ModeZeroOnly, AlsoNotKap };

// "Use KAP zero shift" and "Reverse KAP zero shift" of the settings, and the
// receiver's datum ("GPS Datum").
struct TDatumSettings {
  int KapZeroShiftMode = 2;
  bool ReverseKapShift = true;
  std::string GpsDatum;
  TDatumQuestion Question = TDatumQuestion::ModeZeroOnly;
};

enum class TChartShiftRule : uint8_t {
  Datum,       // Molodensky shift from the chart's datum (the datum table)
  ChartShift,  // the chart's own shift (DS= or the KAP DTM record)
};

struct TChartShiftChoice {
  TChartShiftRule Rule = TChartShiftRule::Datum;
  // The chart's datum is not in the table and the user should be asked to
  // map its name to a known datum (the datum alias dialog) before the datum
  // is looked up. When the name stays unknown the datum table's fallback
  // (WGS 84, no shift) applies.
  bool AskAlias = false;
};

// The DS value of a KAP header without a DTM record.
inline constexpr double kNoDtmShift = -1e-12;

// The decision table.
// Charts that are not KAP: the chart's own shift when it is not (0, 0), else
// the datum. KAP charts, by mode: 0 the datum; 1 the chart's own shift; 2 the
// datum when it is known, else the chart's shift; 3 the datum when the header
// has no DTM record (DS exactly (kNoDtmShift, kNoDtmShift)), else the chart's
// shift; other values the datum. When the datum rule falls on an unknown
// datum: in a mode other than 0 the chart takes its own shift instead
// (with `question` AlsoNotKap only a KAP chart does); otherwise the user is
// asked (AskAlias).
TChartShiftChoice ChooseChartShiftRule(bool isKap, bool datumKnown, const TFPoint& chartShift, int mode,
                                       TDatumQuestion question = TDatumQuestion::ModeZeroOnly);

// The chart's own shift as applied: DS, negated for a KAP chart when
// "Reverse KAP zero shift" is off.
TFPoint SignedChartShift(const TFPoint& chartShift, bool isKap, bool reverse);

// Asked with the chart's datum name when AskAlias is set; may add an alias to
// the datum table. Returns false when the user declined.
using TDatumAliasAsk = std::function<bool(const std::string& datumName)>;

// The datum decision applied: which rule, with the chart's datum selected as
// the source of `datum` for the datum rule, or the signed own shift for the
// shift rule.
struct TChartDatum {
  TChartShiftRule Rule = TChartShiftRule::Datum;
  bool Known = true;          // the datum name resolves in the table (after asking)
  bool Asked = false;         // the alias question was asked
  bool AliasDeclined = false;  // ... and declined
  TFPoint OwnShift;           // the signed chart shift (shift rule)
};
TChartDatum ResolveChartDatum(const RGeoRef& ref, TDatum& datum, const TDatumSettings& settings,
                              const TDatumAliasAsk& ask = {});

// The chart's border brought to WGS 84 by the same decision (for the chart
// catalog): under the datum rule each point is shifted by the Molodensky
// shift at that point, under the shift rule by the chart's signed shift.
TFPointArray ChartBorderToWgs84(const RGeoRef& ref, TDatum& datum, const TDatumSettings& settings,
                                const TDatumAliasAsk& ask = {}, TChartDatum* decision = nullptr);

// The point at which a chart's datum shifts are computed: the vertex mean of
// its border; for a chart without a border the mean of its reference
// positions. False when the chart has neither.
bool ChartShiftPoint(const RGeoRef& ref, TFPoint& at);

// ---------------------------------------------------------------------------

// Why a chart's conversion could not be set up.
enum class TSetupError : uint8_t {
  None,
  UnknownProjection,  // a projection code outside 0..7
  BadProjection,      // parameters unusable (Lambert result 41, perspective height <= 0, ...)
  RefPointFailed,     // a reference point could not be projected
  FitFailed,          // fewer than two points, or no usable base triangle
};

// The outcome of setting up a chart (TWorldConvert::SetupChart).
struct TChartSetup {
  TSetupError Error = TSetupError::None;
  int ProjectionResult = 0;  // the projection set-up's result (kBadLambertInit)
  bool HasShiftPoint = false;
  TFPoint ShiftPoint;         // where the datum shifts were computed
  TChartDatum Datum;          // the datum decision (when HasShiftPoint)
  TFPoint GpsShift;           // shift of the receiver's datum to WGS 84 at ShiftPoint
};

// The conversion between WGS 84 positions and the pixels of one chart.
class TWorldConvert : public TProjTrans {
 public:
  TWorldConvert();

  // Sets the projection from the chart's code and parameters (WGS 84
  // constants). False for an unknown code or unusable parameters; the
  // projection is then unusable rather than left as it was.
  bool SetupProjection(const RGeoRef& ref);
  // Valid := false; takes the reference points, projected without the shift.
  // False when a point cannot be projected (then Fit fails).
  bool SetRefPoints(const TGridPointArray& points);
  // Fits the affine map and the residuals; ScaleX = ScaleY = 1.
  bool Fit();
  // Display zoom; non-positive or non-finite factors are refused.
  bool SetScale(double scaleX, double scaleY);

  // The whole chart set-up: Shift := (0, 0); projection, reference points,
  // fit; then the chart's datum shift by the datum rule (ResolveChartDatum)
  // at ChartShiftPoint, and the receiver's datum shift at the same point.
  TChartSetup SetupChart(const RGeoRef& ref, TDatum& datum, const TDatumSettings& settings,
                         const TDatumAliasAsk& ask = {});

  bool GeoToPixel(const TFPoint& pos, TFPoint& pixel);
  bool GeoToPixelInt(const TFPoint& pos, TPoint& pixel);
  bool PixelToGeo(const TFPoint& pixel, TFPoint& pos);
  // As PixelToGeo, with the longitude brought into [-pi, pi).
  bool PixelToGeoInt(const TPoint& pixel, TFPoint& pos);

  TCoordTrans Trans;
  bool Valid = false;
  double ScaleX = 1;
  double ScaleY = 1;
  // Datum shift added after the inverse projection (WGS 84 - chart datum).
  TFPoint Shift;
  // Middle longitude of the reference points: positions are brought onto
  // the same turn of the earth before they are projected, so a chart whose
  // longitudes run past -180 deg (stored below -pi) still shows positions
  // east of 180 deg.
  double CentreLon = 0;

 private:
  bool refsProjected_ = false;
};

// Chart pixels <-> a printed page.
struct TPrintTrans {
  int32_t SrcX = 0, SrcY = 0, SrcWidth = 0, SrcHeight = 0;
  int32_t DestWidth = 0, DestHeight = 0;
  // False (point unchanged) when a size is not positive or the result does not
  // fit a pixel coordinate (+-2^30).
  bool ToPage(const TPoint& chart, TPoint& page) const;
  bool FromPage(const TPoint& page, TPoint& chart) const;
};
