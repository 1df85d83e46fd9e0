#include "plotter/core/ChartLoader.h"

#include <cmath>
#include <utility>

#include "charts/ChartFile.h"
#include "charts/KAPctrl.h"
#include "charts/WCIctrl.h"
#include "foundation/GenUtil.h"
#include "geodesy/Datum.h"
#include "plotter/core/ChartView.h"

namespace {

bool Finite(const TFPoint& p) { return std::isfinite(p.X) && std::isfinite(p.Y); }

bool Fail(TChartLoadError& error, std::string message, std::string reason) {
  error.Message = std::move(message);
  error.Reason = std::move(reason);
  return false;
}

const char* SetupErrorText(TSetupError e) {
  switch (e) {
    case TSetupError::UnknownProjection:
      return "the chart's projection is unknown";
    case TSetupError::BadProjection:
      return "the chart's projection parameters cannot be used";
    case TSetupError::RefPointFailed:
      return "a reference point cannot be projected";
    case TSetupError::FitFailed:
      return "the reference points do not fit (they lie on a line or coincide)";
    default:
      return "the chart's georeferencing cannot be set up";
  }
}

}  // namespace

TOpenedChart::TOpenedChart() = default;
TOpenedChart::~TOpenedChart() = default;
TOpenedChart::TOpenedChart(TOpenedChart&&) noexcept = default;
TOpenedChart& TOpenedChart::operator=(TOpenedChart&&) noexcept = default;

TPagerSource* TOpenedChart::Source() const {
  if (Kap) return Kap.get();
  if (Wci) return Wci.get();
  return nullptr;
}

double MilesPerPixelToward(TWorldConvert& convert, const TFPoint& pos, double dx, double dy) {
  TFPoint p0, from, to;
  const double len = std::hypot(dx, dy);
  if (!(len > 0) || !convert.GeoToPixel(pos, p0) || !convert.PixelToGeo(p0, from) ||
      !convert.PixelToGeo({p0.X + dx, p0.Y + dy}, to))
    return 0;
  const double mpp = GeoDistance(from, to) * kRadToNM / len;
  return std::isfinite(mpp) && mpp > 0 ? mpp : 0;
}

double MilesPerPixelAt(TWorldConvert& convert, const TFPoint& centre, double pixels) {
  return MilesPerPixelToward(convert, centre, 0, -pixels);
}

bool DeriveChartValues(TWorldConvert& convert, RChartInfo& info, TFPointArray* extendedCorners) {
  info.Layout.Bounds = {};
  info.Centre = {};
  info.NorthRotation = 0;
  info.MilesPerPixel = 0;
  const double w = info.Width, h = info.Height;
  const TFPoint pixels[4] = {{-100, -100}, {-100, h + 100}, {w + 100, h + 100}, {w + 100, -100}};
  TFPointArray corners;
  for (const TFPoint& p : pixels) {
    TFPoint g;
    if (!convert.PixelToGeo({p.X * convert.ScaleX, p.Y * convert.ScaleY}, g) || !Finite(g)) return false;
    corners.push_back(g);
  }
  TFRect b{corners[0].X, corners[0].Y, corners[0].X, corners[0].Y};
  for (const TFPoint& c : corners) {
    b.X1 = std::max(b.X1, c.X);
    b.X2 = std::min(b.X2, c.X);
    b.Y1 = std::max(b.Y1, c.Y);
    b.Y2 = std::min(b.Y2, c.Y);
  }
  // The centre: the vertex mean of the border; a chart without a border
  // (an image calibrated without border lines) takes its middle pixel.
  TFPoint centre = PolygonCentroid(info.Layout.Border);
  if (info.Layout.Border.empty() || !Finite(centre)) {
    if (!convert.PixelToGeo({w / 2 * convert.ScaleX, h / 2 * convert.ScaleY}, centre) || !Finite(centre)) return false;
  }
  TFPoint atCentre, south;
  if (!convert.GeoToPixel(centre, atCentre) || !convert.GeoToPixel({centre.X, centre.Y - 0.001}, south)) return false;
  double rotation = std::atan2(atCentre.Y - south.Y, atCentre.X - south.X) + kPi / 2;
  NormAngleSigned(rotation);
  if (!std::isfinite(rotation)) return false;
  info.Layout.Bounds = b;
  info.Centre = centre;
  info.NorthRotation = rotation;
  info.MilesPerPixel = MilesPerPixelAt(convert, centre, 1);
  if (extendedCorners) *extendedCorners = std::move(corners);
  return true;
}

bool OpenChartForView(const std::string& file, const TChartLoadOptions& options, TOpenedChart& out,
                      TChartLoadError& error) {
  out = TOpenedChart();
  out.File = file;
  if (file.empty()) return Fail(error, "Chart Load Error", "no chart file named");
  if (!options.datum || !options.codec) return Fail(error, "Chart error on reading " + file, "no datum table");
  const std::string onReading = "Chart error on reading " + file;

  TChartFile reader(*options.codec);
  reader.SearchPath = options.searchPath;
  // Plain images come in their day colours; the window shades its copy for
  // the night and goes back to this one by day.
  reader.Brightness = 0;
  RChartInfo& info = out.Info;
  TChartHeadBaseCodec::ClearInfo(info);
  reader.ReadHeader(file, info);
  if (!reader.FileFound()) return Fail(error, onReading, reader.LastError());
  out.ResolvedFile = reader.FileName();
  bool isKap = false;

  if (reader.RasterChart() && reader.TypeIndex() == kTypeWCI) {
    out.Kind = TChartKind::WCI;
    auto dec = std::make_unique<TWCIDecoder>();
    dec->Brightness = options.brightness;
    if (dec->Open(out.ResolvedFile) <= 0)
      return Fail(error, "WCI Error on reading " + file, "WCI Open error: not a readable WCI chart");
    TChartHeadBaseCodec text;
    text.LoadFromText(dec->HeaderText());
    TChartHeadBaseCodec::ClearInfo(info);
    text.ReadInfo(info);
    out.WholeImageLimit = dec->CacheDisabled() ? 0 : options.wholeImageLimit;
    info.Width = dec->Width();
    info.Height = dec->Height();
    out.Wci = std::move(dec);
  } else if (reader.RasterChart()) {
    out.Kind = TChartKind::KAP;
    auto dec = std::make_unique<TKAPDecoder>();
    dec->Brightness = options.brightness;
    if (dec->Open(out.ResolvedFile) < 0)
      return Fail(error, "KAP Error on reading " + file, "KAP/NOS Open error: " + dec->LastError());
    TChartHeadBaseCodec::ClearInfo(info);
    if (!dec->ReadInfo(info)) return Fail(error, "KAP Error on reading " + file, "the chart header cannot be read");
    isKap = FollowsKapDatumRules(out.ResolvedFile);
    info.Width = dec->Width();
    info.Height = dec->Height();
    out.WholeImageLimit = 0;
    out.Kap = std::move(dec);
  } else {
    out.Kind = TChartKind::Image;
    if (!reader.HeaderLoaded()) return Fail(error, onReading, "no calibration found for the image");
    RChartInfo again;
    if (!reader.LoadImage(file, again)) return Fail(error, onReading, reader.LastError());
    info = std::move(again);
    out.Image = std::move(reader.Image());
    if (info.Width <= 0 || info.Height <= 0) {
      info.Width = out.Image.Width;
      info.Height = out.Image.Height;
    }
  }

  if (info.RefPoints.size() < 2) return Fail(error, "Chart error reading " + file, "fewer than two reference points");
  if (info.Width <= 0 || info.Height <= 0) return Fail(error, onReading, "the chart has no size");
  if (TChartView::ChartTooLarge(info.Width, info.Height))
    return Fail(error, onReading,
                "the chart is too large to show (" + std::to_string(info.Width) + " x " +
                    std::to_string(info.Height) + " pixels)");

  // The datum: with no one to ask, the table's fallback applies and the
  // user is told in the message panel.
  const RGeoRef ref = ChartGeoRef(info, isKap);
  const bool known = options.datum->Find(ref.DatumName) > 0;
  const TChartShiftChoice choice =
      ChooseChartShiftRule(isKap, known, ref.DatumShift, options.datumSettings.KapZeroShiftMode,
                           options.datumSettings.Question);
  out.Setup = out.Converter.SetupChart(ref, *options.datum, options.datumSettings, options.askAlias);
  if (choice.AskAlias && !out.Setup.Datum.Known)
    out.Notice = "The datum \"" + ref.DatumName + "\" of " + file + " is not in the datum table; WGS 84 is assumed";
  if (out.Setup.Error != TSetupError::None || !out.Converter.Valid)
    return Fail(error, onReading, SetupErrorText(out.Setup.Error));
  out.GpsShift = out.Setup.HasShiftPoint ? out.Setup.GpsShift : TFPoint{};
  if (!Finite(out.GpsShift)) out.GpsShift = {};
  if (!DeriveChartValues(out.Converter, info, &out.ExtendedCorners))
    return Fail(error, onReading, "the chart's pixels have no positions");
  return true;
}
