#include "charts/GeoTiffCrs.h"

#include <geo_normalize.h>
#include <geo_simpletags.h>
#include <geotiff.h>
#include <geovalues.h>
#include <proj.h>

#include <cmath>
#include <memory>
#include <vector>

namespace {

bool Fail(std::string* error, std::string text) {
  if (error) *error = std::move(text);
  return false;
}

bool IsCode(int code) { return code > 0 && code < kGeoKeyUserDefined; }

void Quiet(void*, int, const char*) {}

struct TSimpleTags {
  ST_TIFF* st = ST_Create();
  GTIF* gtif = nullptr;
  PJ_CONTEXT* ctx = proj_context_create();
  ~TSimpleTags() {
    if (gtif) GTIFFree(gtif);
    if (st) ST_Destroy(st);
    if (ctx) proj_context_destroy(ctx);
  }
};

TCrsMethod MethodOf(const GTIFDefn& d) {
  if (d.Model == ModelTypeGeographic) return TCrsMethod::None;
  // EPSG's method code 1024 is the spherical Mercator of web maps, which
  // GeoTIFF's projection codes cannot tell from the ellipsoidal one.
  if (d.Projection == 1024) return TCrsMethod::PseudoMercator;
  switch (d.CTProjection) {
    case CT_TransverseMercator:
      return TCrsMethod::TransverseMercator;
    case CT_Mercator:
      return TCrsMethod::Mercator;
    case CT_LambertConfConic_1SP:
      return TCrsMethod::LambertConic1SP;
    case CT_LambertConfConic_2SP:
      return TCrsMethod::LambertConic2SP;
    case CT_Polyconic:
      return TCrsMethod::Polyconic;
    default:
      return TCrsMethod::Other;
  }
}

void TakeParameters(const GTIFDefn& d, TCrsDefinition& crs) {
  for (int i = 0; i < d.nParms && i < MAX_GTIF_PROJPARMS; ++i) {
    const double v = d.ProjParm[i];
    switch (d.ProjParmId[i]) {
      case ProjNatOriginLatGeoKey:
      case ProjFalseOriginLatGeoKey:
      case ProjCenterLatGeoKey:
        crs.LatOrigin = v;
        break;
      case ProjNatOriginLongGeoKey:
      case ProjFalseOriginLongGeoKey:
      case ProjCenterLongGeoKey:
        crs.LonOrigin = v;
        break;
      case ProjStdParallel1GeoKey:
        crs.StdParallel1 = v;
        break;
      case ProjStdParallel2GeoKey:
        crs.StdParallel2 = v;
        break;
      case ProjFalseEastingGeoKey:
      case ProjFalseOriginEastingGeoKey:
      case ProjCenterEastingGeoKey:
        crs.FalseEasting = v;
        break;
      case ProjFalseNorthingGeoKey:
      case ProjFalseOriginNorthingGeoKey:
      case ProjCenterNorthingGeoKey:
        crs.FalseNorthing = v;
        break;
      case ProjScaleAtNatOriginGeoKey:
      case ProjScaleAtCenterGeoKey:
        crs.ScaleFactor = v;
        break;
      default:
        break;
    }
  }
}

// How the file names its system, for messages.
std::string FileName(const TGeoKeyDirectory& keys, const GTIFDefn& d) {
  for (uint16_t id : {kGeoKeyProjCitation, kGeoKeyCitation, kGeoKeyGeogCitation}) {
    if (id == kGeoKeyGeogCitation && d.Model == ModelTypeProjected) continue;
    const std::optional<std::string> c = keys.Ascii(id);
    if (c && !c->empty() && c->size() < 200) return "\"" + *c + "\"";
  }
  if (d.Model == ModelTypeProjected && IsCode(d.PCS)) return "EPSG:" + std::to_string(d.PCS);
  if (d.Model == ModelTypeGeographic && IsCode(d.GCS)) return "EPSG:" + std::to_string(d.GCS);
  return "of the file's own definition";
}

// libgeotiff prints the definition into buffers of a fixed size: it is
// handed only values in the ranges real systems have (a value like 1e300
// would overrun them).
bool PrintableDefinition(const GTIFDefn& d) {
  auto within = [](double v, double limit) { return std::isfinite(v) && std::fabs(v) <= limit; };
  if (d.nParms < 0 || d.nParms > MAX_GTIF_PROJPARMS) return false;
  for (int i = 0; i < d.nParms; ++i)
    if (!within(d.ProjParm[i], 1e8)) return false;
  if (!within(d.SemiMajor, 1e8) || !within(d.SemiMinor, 1e8) || !within(d.PMLongToGreenwich, 360)) return false;
  if (!(d.UOMLengthInMeters >= 1e-6 && d.UOMLengthInMeters <= 1e6)) return false;
  if (d.TOWGS84Count < 0 || d.TOWGS84Count > 7) return false;
  for (int i = 0; i < d.TOWGS84Count; ++i)
    if (!within(d.TOWGS84[i], 1e6)) return false;
  return true;
}

}  // namespace

bool GeoTiffCrs(const TGeoKeyDirectory& keys, TCrsDefinition& crs, std::string* error) {
  crs = TCrsDefinition();
  if (keys.Keys.empty()) return Fail(error, "the GeoTIFF keys define no coordinate system");
  const std::optional<uint16_t> model = keys.Short(kGeoKeyModelType);
  if (model == ModelTypeGeocentric) return Fail(error, "geocentric coordinates place no chart");

  // libgeotiff reads the keys from clean tags written again from ours.
  std::vector<uint16_t> dir;
  std::vector<double> doubles;
  std::string ascii;
  keys.Write(dir, doubles, ascii);
  TSimpleTags tags;
  if (!tags.st || !tags.ctx) return Fail(error, "out of memory");
  proj_log_func(tags.ctx, nullptr, Quiet);
  proj_context_set_enable_network(tags.ctx, 0);
  ST_SetKey(tags.st, kTagGeoKeyDirectory, static_cast<int>(dir.size()), STT_SHORT, dir.data());
  if (!doubles.empty())
    ST_SetKey(tags.st, kTagGeoDoubleParams, static_cast<int>(doubles.size()), STT_DOUBLE, doubles.data());
  if (!ascii.empty()) ST_SetKey(tags.st, kTagGeoAsciiParams, static_cast<int>(ascii.size() + 1), STT_ASCII,
                                const_cast<char*>(ascii.c_str()));
  tags.gtif = GTIFNewSimpleTags(tags.st);
  if (!tags.gtif) return Fail(error, "the GeoTIFF keys cannot be read");
  GTIFAttachPROJContext(tags.gtif, tags.ctx);
  GTIFDefn d{};
  GTIFGetDefn(tags.gtif, &d);
  // Without a model type the keys present decide.
  if (d.Model != ModelTypeProjected && d.Model != ModelTypeGeographic) {
    if (keys.Find(kGeoKeyProjectedType))
      d.Model = ModelTypeProjected;
    else if (keys.Find(kGeoKeyGeographicType))
      d.Model = ModelTypeGeographic;
    else
      return Fail(error, "the GeoTIFF keys define no coordinate system");
  }
  const std::string named = FileName(keys, d);
  crs.Geographic = d.Model == ModelTypeGeographic;
  crs.Name = named;
  crs.Method = MethodOf(d);
  if (IsCode(d.Datum)) crs.DatumEpsgCode = d.Datum;
  if (d.SemiMajor > 0 && std::isfinite(d.SemiMajor)) crs.SemiMajor = d.SemiMajor;
  if (d.SemiMinor > 0 && std::isfinite(d.SemiMinor)) crs.SemiMinor = d.SemiMinor;
  if (std::isfinite(d.PMLongToGreenwich)) crs.PrimeMeridian = d.PMLongToGreenwich;
  if (d.UOMAngleInDegrees > 0 && std::isfinite(d.UOMAngleInDegrees)) crs.AngularUnit = d.UOMAngleInDegrees;
  if (d.UOMLengthInMeters > 0 && std::isfinite(d.UOMLengthInMeters)) crs.LinearUnit = d.UOMLengthInMeters;
  TakeParameters(d, crs);

  if (crs.Geographic && IsCode(d.GCS)) {
    crs.EpsgCode = d.GCS;
    crs.ProjText = "EPSG:" + std::to_string(d.GCS);
  } else if (!crs.Geographic && IsCode(d.PCS)) {
    crs.EpsgCode = d.PCS;
    crs.ProjText = "EPSG:" + std::to_string(d.PCS);
  } else {
    // The file's own definition, as a PROJ string.
    if (!PrintableDefinition(d))
      return Fail(error, "the coordinate system " + named + " has parameters out of any usable range");
    std::unique_ptr<char, void (*)(char*)> text(GTIFGetProj4Defn(&d), GTIFFreeMemory);
    if (!text || !*text.get())
      return Fail(error, "the coordinate system " + named + " is not supported (projection method " +
                             std::to_string(d.CTProjection) + ")");
    crs.ProjText = std::string(text.get()) + " +type=crs";
    if (!crs.Geographic && IsCode(d.GCS)) crs.BaseProjText = "EPSG:" + std::to_string(d.GCS);
  }
  return true;
}
