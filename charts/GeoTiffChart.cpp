#include "charts/GeoTiffChart.h"

#include <cmath>
#include <cstdio>

#include "charts/ChartGeo.h"
#include "charts/FileNames.h"
#include "charts/GeoTiffCatalog.h"
#include "charts/GeoTiffCrs.h"
#include "charts/JpegTiffImage.h"
#include "foundation/GenUtil.h"
#include "platform/Paths.h"

namespace {

bool Fail(std::string* error, const std::string& text) {
  if (error) *error = text;
  return false;
}

std::string Number(double v) {
  char buf[40];
  std::snprintf(buf, sizeof buf, "%.10g", v);
  return buf;
}

}  // namespace

bool IsGeoTiffFile(const std::string& path) {
  if (!IsTIFFExtension(UpperExtension(path))) return false;
  TTiffGeoTags tags;
  return TGeoTiffRaster::PeekGeoTags(path, tags) && tags.Any();
}

void ClosestProjection(const TCrsDefinition& crs, double centreLon, RGeoRef& ref) {
  const double d = kDegToRad;
  ref.Lat0 = ref.Lon0 = ref.LatS = ref.LatN = ref.Height = 0;
  switch (crs.Method) {
    case TCrsMethod::None:
      ref.Projection = kProjNone;
      break;
    case TCrsMethod::Mercator:
    case TCrsMethod::PseudoMercator:
      ref.Projection = kProjMercator;
      break;
    case TCrsMethod::TransverseMercator:
      ref.Projection = kProjTransverseMercator;
      ref.Lat0 = crs.LatOrigin * d;
      ref.Lon0 = crs.LonOrigin * d;
      break;
    case TCrsMethod::LambertConic1SP:
      ref.Projection = kProjLambert;
      ref.Lat0 = ref.LatS = ref.LatN = crs.LatOrigin * d;
      ref.Lon0 = crs.LonOrigin * d;
      break;
    case TCrsMethod::LambertConic2SP:
      ref.Projection = kProjLambert;
      ref.Lat0 = crs.LatOrigin * d;
      ref.Lon0 = crs.LonOrigin * d;
      ref.LatS = std::min(crs.StdParallel1, crs.StdParallel2) * d;
      ref.LatN = std::max(crs.StdParallel1, crs.StdParallel2) * d;
      break;
    case TCrsMethod::Polyconic:
      ref.Projection = kProjPolyconic;
      ref.Lat0 = crs.LatOrigin * d;
      ref.Lon0 = crs.LonOrigin * d;
      break;
    case TCrsMethod::Other:
      // A method of ours is needed for the fit: about the chart, any
      // conformal projection is close to any other.
      ref.Projection = kProjTransverseMercator;
      ref.Lon0 = centreLon;
      break;
  }
}

TGeoTiffChart::TGeoTiffChart() = default;
TGeoTiffChart::~TGeoTiffChart() = default;

void TGeoTiffChart::Close() {
  raster_.Close();
  keys_ = TGeoKeyDirectory();
  model_ = TGeoTiffModel();
  pixelIsPoint_ = false;
  crs_ = TCrsToWgs84();
  geoRef_.reset();
  fitRef_ = RGeoRef();
  fit_ = TWorldConvert();
  open_ = false;
}

bool TGeoTiffChart::Open(const std::string& path, std::string* error, TCrsBackend backend) {
  Close();
  if (!raster_.Open(path, error)) return false;
  return Finish(error, backend);
}

bool TGeoTiffChart::OpenMemory(std::span<const uint8_t> bytes, std::string* error, TCrsBackend backend) {
  Close();
  if (!raster_.OpenMemory(bytes, error)) return false;
  return Finish(error, backend);
}

bool TGeoTiffChart::Finish(std::string* error, TCrsBackend backend) {
  const TTiffGeoTags& tags = raster_.GeoTags();
  auto fail = [&](const std::string& text) {
    Close();
    return Fail(error, text);
  };
  if (!tags.Any()) return fail("no georeference: a plain TIFF picture, to be calibrated as a scan");
  std::string why;
  if (tags.GeoKeys.empty()) return fail("no coordinate system: the file has no GeoKey directory");
  if (!keys_.Read(tags.GeoKeys, tags.GeoDoubles, tags.GeoAscii, &why)) return fail(why);
  pixelIsPoint_ = keys_.Short(kGeoKeyRasterType) == 2;
  if (!ReadModelTransformation(tags.Tiepoints, tags.PixelScale, tags.Matrix, pixelIsPoint_, model_, &why))
    return fail(why);
  if (model_.Kind == TGeoTiffModel::TKind::None) return fail("no model transformation places the raster");
  TCrsDefinition def;
  if (!GeoTiffCrs(keys_, def, &why) || !crs_.Setup(def, backend, &why)) return fail(why);

  const double W = static_cast<double>(Width()), H = static_cast<double>(Height());
  fitRef_ = RGeoRef();
  fitRef_.DatumName = "WGS84";
  if (model_.Kind == TGeoTiffModel::TKind::Affine) {
    geoRef_ = std::make_unique<TModelGeoRef>(model_.Transform, crs_, TFPoint{W / 2, H / 2});
    if (!geoRef_->Valid()) return fail("the middle of the raster has no position in " + crs_.CrsName());
    // A calibration of ours: a grid of the exact positions.
    const int n = kCalibrationGrid;
    for (int j = 0; j < n; ++j)
      for (int i = 0; i < n; ++i) {
        const double x = W * i / (n - 1), y = H * j / (n - 1);
        TFPoint g;
        if (geoRef_->PixelToGeo(x, y, g)) fitRef_.RefPoints.push_back({x, y, g.X, g.Y});
      }
    TFPoint centre;
    geoRef_->PixelToGeo(W / 2, H / 2, centre);
    ClosestProjection(def, centre.X, fitRef_);
  } else {
    double sumSin = 0, sumCos = 0;
    for (const TModelGcp& g : model_.Gcps) {
      TFPoint pos;
      if (!crs_.ToWgs84(g.ModelX, g.ModelY, pos))
        return fail("control point at pixel (" + Number(g.X) + ", " + Number(g.Y) + ") has no position in " +
                    crs_.CrsName());
      fitRef_.RefPoints.push_back({g.X, g.Y, pos.X, pos.Y});
      sumSin += std::sin(pos.X);
      sumCos += std::cos(pos.X);
    }
    ClosestProjection(def, std::atan2(sumSin, sumCos), fitRef_);
    if (!fit_.SetupProjection(fitRef_) || !fit_.SetRefPoints(fitRef_.RefPoints) || !fit_.Fit())
      return fail("the chart's " + std::to_string(model_.Gcps.size()) + " control points cannot be fitted");
  }
  open_ = true;
  return true;
}

bool TGeoTiffChart::PixelToGeo(double x, double y, TFPoint& pos) {
  if (!open_) return false;
  if (geoRef_) return geoRef_->PixelToGeo(x, y, pos);
  return fit_.PixelToGeo({x, y}, pos);
}

bool TGeoTiffChart::GeoToPixel(const TFPoint& pos, double& x, double& y) {
  if (!open_) return false;
  if (geoRef_) return geoRef_->GeoToPixel(pos, x, y);
  TFPoint p;
  if (!ExactGeoToPixel(fit_, pos, p)) return false;
  x = p.X;
  y = p.Y;
  return true;
}

void TGeoTiffChart::FillInfo(const std::string& path, RChartInfo& info) {
  TChartHeadBaseCodec::ClearInfo(info);
  if (!open_) return;
  const std::string& own = raster_.DocumentName();
  info.Layout.Name = !own.empty() ? own : FileBaseName(path);
  info.Layout.FileName = ForeignFileName(path);
  info.Width = static_cast<int32_t>(Width());
  info.Height = static_cast<int32_t>(Height());
  info.Projection = fitRef_.Projection;
  info.Lat0 = fitRef_.Lat0;
  info.Lon0 = fitRef_.Lon0;
  info.LatS = fitRef_.LatS;
  info.LatN = fitRef_.LatN;
  info.RefPoints = fitRef_.RefPoints;
  info.RefCount = static_cast<int32_t>(info.RefPoints.size());
  info.DatumName = "WGS84";
  const TPixelToGeo toGeo = [this](double x, double y, TFPoint& p) { return PixelToGeo(x, y, p); };
  const double W = static_cast<double>(Width()), H = static_cast<double>(Height());
  info.Layout.Border = EdgeBorder(toGeo, W, H);
  info.Layout.BorderCount = static_cast<uint16_t>(info.Layout.Border.size());
  info.Layout.Scale = ScaleAtMiddle(toGeo, W, H);
  // Ground size of a pixel at the middle, metres.
  TFPoint m, mx, my;
  if (PixelToGeo(W / 2, H / 2, m) && PixelToGeo(W / 2 + 1, H / 2, mx) && PixelToGeo(W / 2, H / 2 + 1, my)) {
    info.PixelSizeX = GeoDistance(m, mx) * kRadToMetre;
    info.PixelSizeY = GeoDistance(m, my) * kRadToMetre;
  }
  const TCrsDefinition& def = crs_.Definition();
  std::string c = "Coordinate system: " + crs_.CrsName();
  if (def.EpsgCode > 0) c += " (EPSG:" + std::to_string(def.EpsgCode) + ")";
  c += "\r\nDatum: " + crs_.DatumName();
  if (!crs_.OperationName().empty()) c += "\r\nTo WGS 84: " + crs_.OperationName();
  c += std::string("\r\nPlaced by: ") + (Exact() ? "its model transformation" : "our fit of its control points");
  info.Comments = c;
}
