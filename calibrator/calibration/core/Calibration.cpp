#include "calibrator/calibration/core/Calibration.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <utility>

#include "calibrator/export/core/ChartConvert.h"
#include "charts/FileNames.h"
#include "charts/HeaderText.h"
#include "charts/KAPctrl.h"
#include "charts/WCIctrl.h"
#include "foundation/GenUtil.h"
#include "platform/Paths.h"

namespace {

bool Finite(const TFPoint& p) { return std::isfinite(p.X) && std::isfinite(p.Y); }

TFPoint Rounded(const TFPoint& p) { return FloatPoint(RoundFPoint(p)); }

// A default taken from the reference points only when it lies clearly away
// from 0, so a chart near the equator or Greenwich keeps 0.
constexpr double kDefaultThreshold = 2 * kDegToRad;

double MeanLatitude(const TGridPointArray& points) {
  if (points.empty()) return 0;
  double sum = 0;
  for (const TGridPoint& g : points) sum += g.Lat;
  return sum / static_cast<double>(points.size());
}

bool SameFile(const std::string& a, const std::string& b) {
  return DirectoryOf(a) == DirectoryOf(b) && SameNameIgnoringCase(ForeignFileName(a), ForeignFileName(b));
}

}  // namespace

// ---------------------------------------------------------------------------
// Pure pieces

double CalPixelSize(double d) {
  const double v = std::fabs(std::trunc(d * kCalMetresPerRadian)) / 100;
  return std::isfinite(v) ? v : 0;
}

double CircularMeanLongitude(const TGridPointArray& points) {
  if (points.empty()) return 0;
  double s = 0, c = 0;
  for (const TGridPoint& g : points) {
    s += std::sin(g.Lon);
    c += std::cos(g.Lon);
  }
  if (std::fabs(s) < 1e-12 && std::fabs(c) < 1e-12) return 0;
  return std::atan2(s, c);
}

bool MappingMirrored(const TFPoint& at, const TFPoint& right, const TFPoint& below) {
  const double k = std::cos(at.Y);
  auto east = [&](const TFPoint& p) {
    double d = p.X - at.X;
    NormAngleSigned(d);
    return d * k;
  };
  const double dEx = east(right), dNx = right.Y - at.Y;
  const double dEy = east(below), dNy = below.Y - at.Y;
  return dEx * dNy - dEy * dNx > 0;
}

size_t BorderInsertIndex(const TFPointArray& pixels, const TFPoint& click) {
  const size_t n = pixels.size();
  if (n < 3) return n;
  size_t nearest = 0;
  double best = std::numeric_limits<double>::infinity();
  for (size_t i = 0; i < n; ++i) {
    const double d = PlaneDistance(pixels[i], click);
    if (d < best) {
      best = d;
      nearest = i;
    }
  }
  const size_t prev = (nearest + n - 1) % n, next = (nearest + 1) % n;
  auto detour = [&](size_t other) {
    return std::fabs(PlaneDistance(pixels[nearest], click) + PlaneDistance(click, pixels[other]) -
                     PlaneDistance(pixels[nearest], pixels[other]));
  };
  if (detour(prev) < detour(next)) return nearest == 0 ? n : nearest;  // before the first: at the end
  return nearest + 1;
}

// ---------------------------------------------------------------------------
// TCalibration

TCalibration::TCalibration()
    : chartFile_(codec_), kap_(std::make_unique<TKAPDecoder>()), wci_(std::make_unique<TWCIDecoder>()) {
  chartFile_.AlwaysBuildInfo = true;
  TChartHeadBaseCodec::ClearInfo(info_);
}

TCalibration::~TCalibration() = default;

void TCalibration::SetSearchPath(const std::string& path) { chartFile_.SearchPath = path; }

void TCalibration::SetOtherImageLoader(TImageLoader loader) { chartFile_.OtherImageLoader = std::move(loader); }

void TCalibration::ResetChart() {
  kap_->Close();
  wci_->Close();
  chartFile_.Reset();
  image_.Clear();
  kind_ = TCalChartKind::None;
  TChartHeadBaseCodec::ClearInfo(info_);
  fileName_.clear();
  calFile_.clear();
  baseLines_.clear();
  keptBorderPixels_.clear();
  convert_ = TWorldConvert();
  SelectedRef = SelectedBorder = -1;
  changed_ = false;
}

void TCalibration::Close() { ResetChart(); }

TPagerSource* TCalibration::Source() const {
  if (kind_ == TCalChartKind::KAP) return kap_.get();
  if (kind_ == TCalChartKind::WCI) return wci_.get();
  return nullptr;
}

bool TCalibration::FillColours(TColourTable& table) const {
  if (kind_ == TCalChartKind::KAP) {
    kap_->FillColourTable(table);
    return true;
  }
  if (kind_ == TCalChartKind::WCI) {
    wci_->FillColourTable(table);
    return true;
  }
  return false;
}

TCalOpenResult TCalibration::Open(const std::string& file) {
  TCalOpenResult r;
  ResetChart();
  const std::string onError = "Error when reading " + file;
  RChartInfo info;
  TChartHeadBaseCodec::ClearInfo(info);
  chartFile_.LoadImage(file, info);
  if (!chartFile_.FileFound()) {
    r.Messages.push_back(onError);
    return r;
  }
  const std::string resolved = chartFile_.FileName();

  if (chartFile_.RasterChart() && chartFile_.TypeIndex() == kTypeWCI) {
    if (wci_->Open(resolved) <= 0) {
      wci_->Close();
      r.Messages = {"WCI Open error", onError};
      return r;
    }
    TChartHeadBaseCodec text;
    text.LoadFromText(wci_->HeaderText());
    TChartHeadBaseCodec::ClearInfo(info);
    text.ReadInfo(info);
    baseLines_ = text.Lines;
    info.Width = wci_->Width();
    info.Height = wci_->Height();
    if (info.Layout.FileName.empty()) info.Layout.FileName = ForeignFileName(resolved);
    kind_ = TCalChartKind::WCI;
  } else if (chartFile_.RasterChart()) {
    if (kap_->Open(resolved) < 0) {
      kap_->Close();
      r.Messages = {"KAP/NOS Open error", onError};
      return r;
    }
    TChartHeadBaseCodec::ClearInfo(info);
    if (!kap_->ReadInfo(info)) {
      kap_->Close();
      r.Messages = {"KAP/NOS Open error", onError};
      return r;
    }
    info.Width = kap_->Width();
    info.Height = kap_->Height();
    kind_ = TCalChartKind::KAP;
  } else {
    if (!chartFile_.ImageLoaded()) {
      r.Messages.push_back(onError);
      return r;
    }
    const bool headerLoaded = chartFile_.HeaderLoaded();
    if (headerLoaded) baseLines_ = codec_.Lines;
    if (chartFile_.CalSource() == kCalOwnFile) calFile_ = chartFile_.CalFileName();
    image_ = std::move(chartFile_.Image());
    chartFile_.Reset();
    if (info.Width <= 0 || info.Height <= 0 || !headerLoaded) {
      info.Width = image_.Width;
      info.Height = image_.Height;
    } else if (info.Width != image_.Width || info.Height != image_.Height) {
      r.Messages.push_back("Image Size have changed. Calibrations may not be valid!");
      info.Width = image_.Width;
      info.Height = image_.Height;
    }
    kind_ = TCalChartKind::Image;
  }
  fileName_ = resolved;
  info_ = std::move(info);
  r.AskChartInfo = kind_ != TCalChartKind::KAP && info_.RefPoints.empty();
  SetUpFit();
  r.Ok = true;
  return r;
}

std::string TCalibration::Title() const {
  if (!IsOpen()) return kCalibrationTitle;
  std::string t = std::string(kCalibrationTitle) + " [" + info_.Layout.Name + "]=[" + fileName_ + "]";
  if (ReadOnly()) t += ":Read-Only";
  return t;
}

void TCalibration::SetChartInformation(const RChartInfo& e) {
  if (ReadOnly() || !IsOpen()) return;
  info_.Layout.Name = e.Layout.Name;
  info_.Layout.Scale = e.Layout.Scale;
  info_.Layout.Priority = e.Layout.Priority;
  info_.Number = e.Number;
  info_.Comments = e.Comments;
  info_.Projection = e.Projection;
  info_.LatS = e.LatS;
  info_.LatN = e.LatN;
  info_.P3 = e.P3;
  info_.DepthUnits = e.DepthUnits;
  info_.DatumName = e.DatumName;
  info_.Lat0 = e.Lat0;
  info_.Lon0 = e.Lon0;
  info_.DatumShift = e.DatumShift;
  changed_ = true;
}

// ---------------------------------------------------------------------------
// The fit

bool TCalibration::SetUpFit() {
  convert_ = TWorldConvert();
  if (!IsOpen()) return false;
  const RGeoRef ref = ChartGeoRef(info_, false);
  return convert_.SetupProjection(ref) && convert_.SetRefPoints(info_.RefPoints) && convert_.Fit();
}

bool TCalibration::PixelToGeo(const TFPoint& pixel, TFPoint& pos) const {
  return convert_.Valid && convert_.PixelToGeo(pixel, pos) && Finite(pos);
}

bool TCalibration::GeoToPixel(const TFPoint& pos, TFPoint& pixel) const {
  return convert_.Valid && convert_.GeoToPixel(pos, pixel) && Finite(pixel);
}

// ---------------------------------------------------------------------------
// Reference points

TCalImportResult TCalibration::ImportMapCalibration(const std::string& mapFile) {
  TCalImportResult r;
  if (!IsOpen()) {
    r.Message = "No image is open.";
    return r;
  }
  if (ReadOnly()) {
    r.Message = kReadOnlyCalibration;
    return r;
  }
  RChartInfo record = info_;
  if (!ReadMapFile(mapFile, record, r.Message)) return r;
  info_ = std::move(record);
  SelectedRef = SelectedBorder = -1;
  changed_ = true;
  SetUpFit();
  r.Ok = true;
  return r;
}

int TCalibration::AddRefPoint(const TFPoint& pixel) {
  if (!IsOpen() || ReadOnly() || RefCount() >= kMaxCalPoints || !Finite(pixel)) return -1;
  const TFPoint px = Rounded(pixel);
  TFPoint pos;
  if (!PixelToGeo(px, pos)) pos = {0, 0};
  info_.RefPoints.push_back({px.X, px.Y, pos.X, pos.Y});
  info_.RefCount = RefCount();
  SelectedRef = RefCount() - 1;
  changed_ = true;
  return SelectedRef;
}

bool TCalibration::DeleteRefPoint(int index) {
  if (ReadOnly() || index < 0 || index >= RefCount()) return false;
  info_.RefPoints.erase(info_.RefPoints.begin() + index);
  info_.RefCount = RefCount();
  if (SelectedRef == index)
    SelectedRef = -1;
  else if (SelectedRef > index)
    --SelectedRef;
  changed_ = true;
  return true;
}

bool TCalibration::MoveRefPoint(int index, const TFPoint& pixel) {
  if (ReadOnly() || index < 0 || index >= RefCount() || !Finite(pixel)) return false;
  TGridPoint& g = info_.RefPoints[static_cast<size_t>(index)];
  const TFPoint px = Rounded(pixel);
  TFPoint pos;
  // Only a fit that holds can say where the point now is; without one the
  // position the user typed stays.
  if (!LockPositions && PixelToGeo(px, pos)) {
    g.Lon = pos.X;
    g.Lat = pos.Y;
  }
  g.X = px.X;
  g.Y = px.Y;
  changed_ = true;
  return true;
}

bool TCalibration::SetRefLatitude(int index, double lat) {
  if (ReadOnly() || index < 0 || index >= RefCount() || !std::isfinite(lat)) return false;
  info_.RefPoints[static_cast<size_t>(index)].Lat = lat;
  changed_ = true;
  return true;
}

bool TCalibration::SetRefLongitude(int index, double lon) {
  if (ReadOnly() || index < 0 || index >= RefCount() || !std::isfinite(lon)) return false;
  info_.RefPoints[static_cast<size_t>(index)].Lon = lon;
  changed_ = true;
  return true;
}

int TCalibration::ClosestRef(const TFPoint& pixel) const {
  int best = -1;
  double bestD = std::numeric_limits<double>::infinity();
  for (int i = 0; i < RefCount(); ++i) {
    const double d = PlaneDistance({Ref(i).X, Ref(i).Y}, pixel);
    if (d < bestD) {
      bestD = d;
      best = i;
    }
  }
  return best;
}

// ---------------------------------------------------------------------------
// Border points

bool TCalibration::BorderPixel(int index, TFPoint& pixel) const {
  if (index < 0 || index >= BorderCount()) return false;
  return GeoToPixel(Border(index), pixel);
}

bool TCalibration::BorderPixels(TFPointArray& pixels) const {
  pixels.clear();
  if (!convert_.Valid) return false;
  for (int i = 0; i < BorderCount(); ++i) {
    TFPoint p;
    if (!BorderPixel(i, p)) {
      pixels.clear();
      return false;
    }
    pixels.push_back(p);
  }
  return !pixels.empty();
}

int TCalibration::AddBorderPoint(const TFPoint& pixel) {
  if (!IsOpen() || ReadOnly() || BorderCount() >= kMaxCalPoints || !convert_.Valid || !Finite(pixel)) return -1;
  const TFPoint px = Rounded(pixel);
  TFPoint pos;
  if (!PixelToGeo(px, pos)) return -1;
  TFPointArray pixels;
  size_t at = static_cast<size_t>(BorderCount());
  if (BorderCount() >= 3) {
    if (!BorderPixels(pixels)) return -1;
    at = BorderInsertIndex(pixels, px);
  }
  auto& border = info_.Layout.Border;
  border.insert(border.begin() + static_cast<std::ptrdiff_t>(at), pos);
  info_.Layout.BorderCount = static_cast<uint16_t>(border.size());
  keptBorderPixels_.clear();
  SelectedBorder = static_cast<int>(at);
  changed_ = true;
  return SelectedBorder;
}

bool TCalibration::DeleteBorderPoint(int index) {
  if (ReadOnly() || index < 0 || index >= BorderCount()) return false;
  auto& border = info_.Layout.Border;
  border.erase(border.begin() + index);
  info_.Layout.BorderCount = static_cast<uint16_t>(border.size());
  if (static_cast<size_t>(index) < keptBorderPixels_.size())
    keptBorderPixels_.erase(keptBorderPixels_.begin() + index);
  if (SelectedBorder == index)
    SelectedBorder = -1;
  else if (SelectedBorder > index)
    --SelectedBorder;
  changed_ = true;
  return true;
}

bool TCalibration::SetBorderLatitude(int index, double lat) {
  if (ReadOnly() || index < 0 || index >= BorderCount() || !std::isfinite(lat)) return false;
  info_.Layout.Border[static_cast<size_t>(index)].Y = lat;
  keptBorderPixels_.clear();
  changed_ = true;
  return true;
}

bool TCalibration::SetBorderLongitude(int index, double lon) {
  if (ReadOnly() || index < 0 || index >= BorderCount() || !std::isfinite(lon)) return false;
  info_.Layout.Border[static_cast<size_t>(index)].X = lon;
  keptBorderPixels_.clear();
  changed_ = true;
  return true;
}

bool TCalibration::SetBorderToImage() {
  if (!IsOpen() || ReadOnly() || !convert_.Valid) return false;
  const double w = info_.Width, h = info_.Height;
  TFPointArray border;
  for (const TFPoint& px : {TFPoint{5, 5}, TFPoint{5, h - 5}, TFPoint{w - 5, h - 5}, TFPoint{w - 5, 5}}) {
    TFPoint pos;
    if (!PixelToGeo(px, pos)) return false;
    border.push_back(pos);
  }
  info_.Layout.Border = std::move(border);
  info_.Layout.BorderCount = 4;
  keptBorderPixels_.clear();
  SelectedBorder = -1;
  changed_ = true;
  return true;
}

int TCalibration::ClosestBorder(const TFPoint& pixel) const {
  int best = -1;
  double bestD = std::numeric_limits<double>::infinity();
  for (int i = 0; i < BorderCount(); ++i) {
    TFPoint p;
    if (!BorderPixel(i, p)) continue;
    const double d = PlaneDistance(p, pixel);
    if (d < bestD) {
      bestD = d;
      best = i;
    }
  }
  return best;
}

bool TCalibration::InsideBorder(const TFPoint& pos) const {
  return BorderCount() >= 3 && PointInPolygon(info_.Layout.Border, pos);
}

TCalGrid TCalibration::Grid(TGridDensity density) const {
  return BuildGrid(convert_, info_.Width, info_.Height, density);
}

std::vector<std::vector<TFPoint>> TCalibration::BorderLine() const {
  return BorderLines(convert_, info_.Layout.Border);
}

// ---------------------------------------------------------------------------
// Activation

void TCalibration::ApplyProjectionDefaults() {
  const uint8_t code = info_.Projection;
  if (code >= kProjTransverseMercator && code <= kProjPerspective && info_.Lon0 == 0) {
    const double lon = CircularMeanLongitude(info_.RefPoints);
    if (std::fabs(lon) > kDefaultThreshold) info_.Lon0 = lon;
  }
  if (code == kProjPerspective) {
    if (info_.P3 == 0) info_.P3 = 5000000;
    if (info_.Lat0 == 0) {
      const double lat = MeanLatitude(info_.RefPoints);
      if (std::fabs(lat) > kDefaultThreshold) info_.Lat0 = lat;
    }
  }
  if (code == kProjLambert && info_.LatS == 0 && info_.LatN == 0) {
    const double lat = MeanLatitude(info_.RefPoints);
    info_.LatS = lat - 0.5 * kDegToRad;
    info_.LatN = lat + 0.5 * kDegToRad;
  }
}

TCalActivation TCalibration::Activate() {
  TCalActivation a;
  if (!IsOpen() || RefCount() < 2) return a;
  a.Ran = true;

  // The border as pixels of the fit in force, so that it stays where it is
  // on the image; without a valid fit, the pixels of the last good one.
  TFPointArray pixels;
  if (!BorderPixels(pixels) && keptBorderPixels_.size() == static_cast<size_t>(BorderCount()))
    pixels = keptBorderPixels_;

  if (!ReadOnly()) ApplyProjectionDefaults();
  a.FitOk = SetUpFit();
  if (!a.FitOk) {
    // The border keeps its positions, and its pixels wait for a fit that
    // holds.
    keptBorderPixels_ = std::move(pixels);
    return a;
  }
  keptBorderPixels_.clear();
  if (!ReadOnly()) {
    if (!pixels.empty() && pixels.size() == static_cast<size_t>(BorderCount())) {
      TFPointArray moved;
      for (const TFPoint& px : pixels) {
        TFPoint pos;
        if (!PixelToGeo(px, pos)) {
          moved.clear();
          break;
        }
        moved.push_back(pos);
      }
      if (!moved.empty()) info_.Layout.Border = std::move(moved);
    }
    TFPoint p0, p100;
    if (PixelToGeo({0, 0}, p0) && PixelToGeo({100, 100}, p100))
      info_.PixelSizeX = info_.PixelSizeY = CalPixelSize(p100.Y - p0.Y);
  }
  // The mirror test at the middle of the image.
  const double cx = std::max(0, info_.Width / 2), cy = std::max(0, info_.Height / 2);
  TFPoint at, right, below;
  if (PixelToGeo({cx, cy}, at) && PixelToGeo({cx + 100, cy}, right) && PixelToGeo({cx, cy + 100}, below))
    a.Mirrored = MappingMirrored(at, right, below);
  return a;
}

// ---------------------------------------------------------------------------
// Measuring square

bool TCalibration::StickCalibrate(double metres, int32_t boxWidth, int32_t boxHeight) {
  if (!IsOpen() || ReadOnly() || RefCount() != 1 || !(metres > 0) || !std::isfinite(metres) || boxWidth <= 0 ||
      boxHeight <= 0)
    return false;
  const TGridPoint first = info_.RefPoints.front();
  const double dLat = metres / kCalMetresPerRadian;
  const double dLon = metres / (kCalMetresPerRadian * std::cos(first.Lat));
  if (!std::isfinite(dLon)) return false;
  info_.RefPoints.push_back({first.X, first.Y - boxHeight, first.Lon, first.Lat + dLat});
  info_.RefPoints.push_back({first.X + boxWidth, first.Y, first.Lon + dLon, first.Lat});
  info_.RefCount = RefCount();
  changed_ = true;
  return true;
}

// ---------------------------------------------------------------------------
// Saving

std::vector<std::string> TCalibration::HeaderLines() {
  TChartHeadBaseCodec out;
  out.Lines = baseLines_;
  out.WriteInfo(info_);
  return out.Lines;
}

std::string TCalibration::HeaderText() { return JoinTextLines(HeaderLines()); }

std::string TCalibration::ProposedCalFile() const {
  if (fileName_.empty()) return std::string();
  const std::string base = ForeignFileName(fileName_);
  const size_t dot = base.rfind('.');
  return DirectoryOf(fileName_) + base.substr(0, dot) + ".CAL";
}

TCalSaveResult TCalibration::CheckSavable() {
  TCalSaveResult out;
  if (!IsOpen() || ReadOnly()) return out;
  if (info_.Layout.Name.empty() || RefCount() < 2)
    out.Message = "Calibration not saved: the chart needs a name (Chart Information) and at least two reference points";
  return out;
}

bool TCalibration::PrepareForSave(TCalSaveResult& out) {
  if (info_.Width <= 0 || info_.Height <= 0) {
    info_.Width = image_.Width;
    info_.Height = image_.Height;
  }
  if (info_.Layout.FileName.empty()) info_.Layout.FileName = ForeignFileName(fileName_);
  if (!Activate().FitOk) {
    out.Message = "Error in calibration parameters";
    return false;
  }
  if (BorderCount() < 3) SetBorderToImage();
  info_.RefCount = RefCount();
  info_.Layout.BorderCount = static_cast<uint16_t>(BorderCount());
  return true;
}

void TCalibration::Saved() {
  changed_ = false;
  savedSomething_ = true;
}

TCalSaveResult TCalibration::Save() {
  TCalSaveResult out = CheckSavable();
  if (!out.Message.empty() || !IsOpen() || ReadOnly()) return out;
  if (!PrepareForSave(out)) return out;
  const std::vector<std::string> lines = HeaderLines();
  std::string error;

  if (kind_ == TCalChartKind::WCI) {
    const int64_t size = wci_->ReplaceHeaderText(fileName_, JoinTextLines(lines));
    // The decoder is closed by the rewrite: the chart is opened again
    // whatever the outcome, so the map goes on showing it.
    const bool reopened = wci_->Open(fileName_) > 0;
    out.Reopened = true;
    if (size < 0 || !reopened) {
      out.Message = "FAILED SAVING CALIBRATION FOR " + fileName_;
      if (!reopened) kind_ = TCalChartKind::None;
      return out;
    }
    baseLines_ = lines;
    out.Ok = true;
    out.Message = "Calibration updated in " + fileName_;
    Saved();
    return out;
  }

  // The ".CAL" the calibration came from, else one beside the image (which
  // the charts reader prefers to CHARTCAL.DIR), else the directory's
  // CHARTCAL.DIR.
  std::string cal = calFile_;
  if (cal.empty()) {
    const std::string base = ForeignFileName(fileName_);
    if (auto found = FindFileCaseInsensitive(DirectoryOf(fileName_), base.substr(0, base.rfind('.')) + ".CAL"))
      cal = *found;
  }
  TChartHeadExternalCodec codec;
  codec.Lines = lines;
  codec.Encoding = codec_.Encoding;
  if (!cal.empty()) {
    if (!codec.SaveToFile(cal, &error)) {
      out.Message = "FAILED SAVING CALIBRATION FOR " + fileName_ + ": " + error;
      return out;
    }
    calFile_ = cal;
    out.Message = "Calibration saved to file " + cal;
  } else {
    const std::string dir = DirectoryOf(fileName_);
    const auto found = FindFileCaseInsensitive(dir, kChartCalDirName);
    const std::string calDir = found ? *found : dir + kChartCalDirName;
    const std::string section = ForeignFileName(fileName_);
    if (!codec.WriteSection(calDir, section, &error)) {
      out.Message = "FAILED SAVING CALIBRATION FOR " + fileName_ + ": " + error;
      return out;
    }
    out.Message = "Calibration saved to section " + section + " in file " + calDir;
  }
  baseLines_ = lines;
  out.Ok = true;
  Saved();
  return out;
}

TCalSaveResult TCalibration::SaveAsCal(const std::string& file) {
  TCalSaveResult out = CheckSavable();
  if (!out.Message.empty() || !IsOpen() || ReadOnly() || file.empty()) return out;
  if (!PrepareForSave(out)) return out;
  const std::vector<std::string> lines = HeaderLines();
  TChartHeadBaseCodec codec;
  codec.Lines = lines;
  codec.Encoding = codec_.Encoding;
  std::string error;
  if (!codec.SaveToFile(file, &error)) {
    out.Message = "FAILED SAVING CALIBRATION FOR " + file + ": " + error;
    return out;
  }
  // A ".CAL" of the image's own name beside it is where the calibration is
  // read from from now on.
  if (kind_ == TCalChartKind::Image && SameFile(file, ProposedCalFile())) calFile_ = file;
  baseLines_ = lines;
  out.Ok = true;
  out.Message = "Calibration saved to file " + file;
  Saved();
  return out;
}
