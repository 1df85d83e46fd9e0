#include "geodesy/CrsToWgs84.h"

#include <proj.h>
#include <proj_experimental.h>

#include <cmath>
#include <cstring>
#include <utility>

#include "geodesy/CTrans.h"

namespace {

struct TPjFree {
  void operator()(PJ* p) const { proj_destroy(p); }
};
using TPj = std::unique_ptr<PJ, TPjFree>;

// The last message PROJ logged on a context, for error texts.
struct TProjLog {
  std::string last;
};

void LogToText(void* data, int level, const char* text) {
  if (level <= PJ_LOG_ERROR && text) static_cast<TProjLog*>(data)->last = text;
}

PJ_CONTEXT* NewContext(TProjLog* log) {
  PJ_CONTEXT* ctx = proj_context_create();
  if (!ctx) return nullptr;
  // Grids are never fetched from the network: a boat has none, and a chart
  // must open the same way everywhere.
  proj_context_set_enable_network(ctx, 0);
  proj_log_func(ctx, log, LogToText);
  return ctx;
}

bool IsEpsgCode(const PJ* obj, const char* code) {
  if (!obj) return false;
  const char* auth = proj_get_id_auth_name(obj, 0);
  const char* id = proj_get_id_code(obj, 0);
  return auth && id && std::strcmp(auth, "EPSG") == 0 && std::strcmp(id, code) == 0;
}

// The horizontal system of a bound (towgs84) or compound system.
TPj HorizontalCrs(PJ_CONTEXT* ctx, const PJ* crs) {
  switch (proj_get_type(crs)) {
    case PJ_TYPE_BOUND_CRS:
      return TPj(proj_get_source_crs(ctx, crs));
    case PJ_TYPE_COMPOUND_CRS:
      return TPj(proj_crs_get_sub_crs(ctx, crs, 0));
    default:
      return TPj(proj_clone(ctx, crs));
  }
}

// SI units (metres or radians) of one unit of the system's first axis.
double AxisUnit(PJ_CONTEXT* ctx, const PJ* crs) {
  TPj horizontal = HorizontalCrs(ctx, crs);
  if (!horizontal) return 0;
  TPj cs(proj_crs_get_coordinate_system(ctx, horizontal.get()));
  double factor = 0;
  if (!cs || !proj_cs_get_axis_info(ctx, cs.get(), 0, nullptr, nullptr, nullptr, &factor, nullptr, nullptr, nullptr))
    return 0;
  return factor;
}

std::string NameOf(const PJ* obj) {
  const char* n = obj ? proj_get_name(obj) : nullptr;
  return n ? n : "";
}

// The conversion from `from` to WGS 84, in the order of visualisation
// (easting, northing or longitude, latitude in; longitude, latitude out).
TPj ToWgs84Operation(PJ_CONTEXT* ctx, const PJ* from) {
  TPj wgs(proj_create(ctx, "EPSG:4326"));
  if (!wgs) return nullptr;
  TPj op(proj_create_crs_to_crs_from_pj(ctx, from, wgs.get(), nullptr, nullptr));
  if (!op) return nullptr;
  return TPj(proj_normalize_for_visualization(ctx, op.get()));
}

// The name of an operation; one that chooses among several by the position
// has none of its own.
std::string OperationText(const PJ* op) {
  const std::string name = NameOf(op);
  return name.empty() ? std::string("chosen by PROJ for each position") : name;
}

}  // namespace

struct TCrsToWgs84::TProjStep {
  TProjLog log;
  PJ_CONTEXT* ctx = nullptr;
  PJ* op = nullptr;

  TProjStep() : ctx(NewContext(&log)) {}
  ~TProjStep() {
    proj_destroy(op);
    if (ctx) proj_context_destroy(ctx);
  }
  TProjStep(const TProjStep&) = delete;
  TProjStep& operator=(const TProjStep&) = delete;

  std::unique_ptr<TProjStep> Clone() const {
    auto c = std::make_unique<TProjStep>();
    if (c->ctx && op) c->op = proj_clone(c->ctx, op);
    return c;
  }

  // Degrees (or the system's units) in, degrees out; false when PROJ fails.
  bool Trans(PJ_DIRECTION dir, double a, double b, double& outA, double& outB) const {
    if (!op || !std::isfinite(a) || !std::isfinite(b)) return false;
    proj_errno_reset(op);
    const PJ_COORD r = proj_trans(op, dir, proj_coord(a, b, 0, 0));
    if (proj_errno(op) != 0 || !std::isfinite(r.xy.x) || !std::isfinite(r.xy.y)) return false;
    outA = r.xy.x;
    outB = r.xy.y;
    return true;
  }
};

TCrsToWgs84::TCrsToWgs84() = default;
TCrsToWgs84::~TCrsToWgs84() = default;

TCrsToWgs84::TCrsToWgs84(const TCrsToWgs84& other) { *this = other; }

TCrsToWgs84& TCrsToWgs84::operator=(const TCrsToWgs84& other) {
  if (this == &other) return *this;
  crs_ = other.crs_;
  ready_ = other.ready_;
  own_ = other.own_;
  step_ = other.step_ ? other.step_->Clone() : nullptr;
  if (step_ && !step_->op) ready_ = false;
  toProjUnit_ = other.toProjUnit_;
  datumInputPerRadian_ = other.datumInputPerRadian_;
  proj_ = other.proj_;
  crsName_ = other.crsName_;
  datumName_ = other.datumName_;
  operationName_ = other.operationName_;
  return *this;
}

bool TCrsToWgs84::Ready() const { return ready_; }
bool TCrsToWgs84::DatumShifted() const { return step_ != nullptr; }

bool TCrsToWgs84::Setup(const TCrsDefinition& crs, TCrsBackend backend, std::string* error) {
  ready_ = false;
  own_ = false;
  step_.reset();
  crs_ = crs;
  crsName_.clear();
  datumName_.clear();
  operationName_.clear();
  toProjUnit_ = datumInputPerRadian_ = 1;
  const std::string shown = crs.Name.empty() ? crs.ProjText : crs.Name;
  auto fail = [&](const std::string& why) {
    if (error) *error = "the coordinate system " + shown + " " + why;
    step_.reset();
    return false;
  };
  if (crs.ProjText.empty()) return fail("is not defined");

  auto step = std::make_unique<TProjStep>();
  PJ_CONTEXT* ctx = step->ctx;
  if (!ctx) return fail("cannot be set up (PROJ has no context)");
  auto projError = [&] { return step->log.last.empty() ? std::string() : " (" + step->log.last + ")"; };

  // The system itself.
  TPj source(proj_create(ctx, crs.ProjText.c_str()));
  if (source && !crs.BaseProjText.empty()) {
    // Our own projection parameters on a geographic system PROJ knows by
    // code, so that it knows the datum too.
    TPj base(proj_create(ctx, crs.BaseProjText.c_str()));
    TPj conversion(source ? proj_crs_get_coordoperation(ctx, source.get()) : nullptr);
    TPj cs(source ? proj_crs_get_coordinate_system(ctx, source.get()) : nullptr);
    TPj projected;
    if (base && conversion && cs)
      projected.reset(proj_create_projected_crs(ctx, NameOf(source.get()).c_str(), base.get(), conversion.get(),
                                                cs.get()));
    if (projected) source = std::move(projected);
  }
  if (!source || !proj_is_crs(source.get())) return fail("is unknown" + projError());
  TPj horizontal = HorizontalCrs(ctx, source.get());
  const PJ_TYPE type = horizontal ? proj_get_type(horizontal.get()) : PJ_TYPE_UNKNOWN;
  const bool geographic = type == PJ_TYPE_GEOGRAPHIC_2D_CRS || type == PJ_TYPE_GEOGRAPHIC_3D_CRS;
  if (!geographic && type != PJ_TYPE_PROJECTED_CRS)
    return fail("is not supported: only geographic and projected systems place a chart");
  if (geographic != crs.Geographic)
    return fail(std::string("is ") + (geographic ? "geographic" : "projected") + " but the file's model is not");
  crsName_ = NameOf(source.get());
  // A system of the file's own parameters has no name of PROJ's.
  if (crsName_.empty() || crsName_ == "unknown") {
    crsName_ = crs.Name;
    std::erase(crsName_, '"');
  }
  {
    TPj datum(proj_crs_get_datum_forced(ctx, horizontal.get()));
    datumName_ = NameOf(datum.get());
    if (crs_.DatumEpsgCode == 0 && IsEpsgCode(datum.get(), "6326")) crs_.DatumEpsgCode = 6326;
  }
  const double nativeUnit = AxisUnit(ctx, source.get());
  if (!(nativeUnit > 0) || !std::isfinite(nativeUnit)) return fail("has no usable unit" + projError());

  // Our own projection where it is exact.
  const double a = crs.SemiMajor, b = crs.SemiMinor;
  const bool ellipsoid = std::isfinite(a) && std::isfinite(b) && a > 0 && b > 0 && b < a;
  bool own = backend == TCrsBackend::Auto && crs.PrimeMeridian == 0 && proj_get_type(source.get()) != PJ_TYPE_BOUND_CRS;
  if (own) {
    const double d = kDegToRad;
    const double invF = ellipsoid ? a / (a - b) : 0;
    switch (crs.Method) {
      case TCrsMethod::None:
        own = geographic && crs.AngularUnit > 0;
        break;
      case TCrsMethod::PseudoMercator:
        proj_.SetMercator(a * crs.ScaleFactor, 0);
        own = proj_.SetupOk && crs.ScaleFactor > 0;
        break;
      case TCrsMethod::LambertConic1SP:
        own = ellipsoid && crs.ScaleFactor > 0 &&
              proj_.SetLambert(crs.LatOrigin * d, crs.LonOrigin * d, crs.LatOrigin * d, crs.LatOrigin * d, invF, a) ==
                  0;
        break;
      case TCrsMethod::LambertConic2SP:
        own = ellipsoid && proj_.SetLambert(crs.LatOrigin * d, crs.LonOrigin * d, crs.StdParallel1 * d,
                                            crs.StdParallel2 * d, invF, a) == 0;
        break;
      case TCrsMethod::Polyconic:
        proj_.SetPolyconic(crs.LatOrigin * d, crs.LonOrigin * d, invF, a);
        own = ellipsoid;
        break;
      default:
        own = false;
    }
    own = own && proj_.SetupOk && crs.LinearUnit > 0 && std::isfinite(crs.LinearUnit);
  }

  if (own) {
    // The datum step, unless the system is on WGS 84.
    if (crs_.DatumEpsgCode != 6326) {
      TPj geodetic(proj_crs_get_geodetic_crs(ctx, horizontal.get()));
      TPj op(geodetic ? ToWgs84Operation(ctx, geodetic.get()) : nullptr);
      const double unit = geodetic ? AxisUnit(ctx, geodetic.get()) : 0;
      if (!op || !(unit > 0)) return fail("cannot be brought to WGS 84" + projError());
      datumInputPerRadian_ = 1 / unit;
      operationName_ = OperationText(op.get());
      step->op = op.release();
      step_ = std::move(step);
    }
    own_ = true;
  } else {
    TPj op = ToWgs84Operation(ctx, source.get());
    if (!op) return fail("cannot be brought to WGS 84" + projError());
    operationName_ = OperationText(op.get());
    // The file's unit against the unit PROJ takes (the same unless the
    // file states another unit than its EPSG definition).
    const double modelUnit = geographic ? crs.AngularUnit * kDegToRad : crs.LinearUnit;
    toProjUnit_ = modelUnit > 0 && std::isfinite(modelUnit) ? modelUnit / nativeUnit : 1;
    step->op = op.release();
    step_ = std::move(step);
  }
  ready_ = true;
  return true;
}

bool TCrsToWgs84::OwnForward(double x, double y, TFPoint& lonLat) const {
  const TCrsDefinition& c = crs_;
  if (c.Method == TCrsMethod::None) {
    lonLat = {x * c.AngularUnit * kDegToRad, y * c.AngularUnit * kDegToRad};
    return std::isfinite(lonLat.X) && std::isfinite(lonLat.Y);
  }
  double e = x * c.LinearUnit - c.FalseEasting, n = y * c.LinearUnit - c.FalseNorthing;
  if (c.Method == TCrsMethod::LambertConic1SP) {
    e /= c.ScaleFactor;
    n /= c.ScaleFactor;
  }
  if (!proj_.Unproject({e, n}, lonLat)) return false;
  if (c.Method == TCrsMethod::PseudoMercator) lonLat.X = AdjustLon(lonLat.X + c.LonOrigin * kDegToRad);
  return true;
}

bool TCrsToWgs84::OwnInverse(const TFPoint& lonLat, double& x, double& y) const {
  const TCrsDefinition& c = crs_;
  if (c.Method == TCrsMethod::None) {
    x = lonLat.X * kRadToDeg / c.AngularUnit;
    y = lonLat.Y * kRadToDeg / c.AngularUnit;
    return std::isfinite(x) && std::isfinite(y);
  }
  TFPoint at = lonLat, xy;
  if (c.Method == TCrsMethod::PseudoMercator) at.X = AdjustLon(at.X - c.LonOrigin * kDegToRad);
  if (!proj_.Project(at, xy)) return false;
  if (c.Method == TCrsMethod::LambertConic1SP) {
    xy.X *= c.ScaleFactor;
    xy.Y *= c.ScaleFactor;
  }
  x = (xy.X + c.FalseEasting) / c.LinearUnit;
  y = (xy.Y + c.FalseNorthing) / c.LinearUnit;
  return std::isfinite(x) && std::isfinite(y);
}

bool TCrsToWgs84::ToWgs84(double x, double y, TFPoint& pos) const {
  if (!ready_) return false;
  if (own_) {
    TFPoint lonLat;
    if (!OwnForward(x, y, lonLat)) return false;
    if (!step_) {
      pos = lonLat;
      return true;
    }
    double lon, lat;
    if (!step_->Trans(PJ_FWD, lonLat.X * datumInputPerRadian_, lonLat.Y * datumInputPerRadian_, lon, lat))
      return false;
    pos = {lon * kDegToRad, lat * kDegToRad};
    return true;
  }
  double lon, lat;
  if (!step_->Trans(PJ_FWD, x * toProjUnit_, y * toProjUnit_, lon, lat)) return false;
  pos = {lon * kDegToRad, lat * kDegToRad};
  return true;
}

bool TCrsToWgs84::FromWgs84(const TFPoint& pos, double& x, double& y) const {
  if (!ready_ || !std::isfinite(pos.X) || !std::isfinite(pos.Y)) return false;
  if (own_) {
    TFPoint lonLat = pos;
    if (step_) {
      double a, b;
      if (!step_->Trans(PJ_INV, pos.X * kRadToDeg, pos.Y * kRadToDeg, a, b)) return false;
      lonLat = {a / datumInputPerRadian_, b / datumInputPerRadian_};
    }
    return OwnInverse(lonLat, x, y);
  }
  double a, b;
  if (!step_->Trans(PJ_INV, pos.X * kRadToDeg, pos.Y * kRadToDeg, a, b)) return false;
  x = a / toProjUnit_;
  y = b / toProjUnit_;
  return std::isfinite(x) && std::isfinite(y);
}
