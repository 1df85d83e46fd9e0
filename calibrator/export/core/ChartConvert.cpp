#include "calibrator/export/core/ChartConvert.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <memory>

#include "charts/ChartFile.h"
#include "charts/FileNames.h"
#include "charts/ForeignHeaders.h"
#include "charts/HeaderText.h"
#include "charts/ImageCalibration.h"
#include "charts/JpegTiffImage.h"
#include "charts/KAPctrl.h"
#include "charts/WCIWriter.h"
#include "charts/WCIctrl.h"
#include "foundation/GenUtil.h"
#include "geodesy/CTrans.h"
#include "platform/Paths.h"

namespace {

bool Exists(const std::string& path) {
  struct stat st{};
  return ::stat(path.c_str(), &st) == 0;
}

std::string BaseName(const std::string& path) {
  const size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

struct TImageWithCalibration {
  RChartInfo Info;
  TChartImage Image;
  bool HeaderLoaded = false;
  bool ImageLoaded = false;
  std::string Error;
};

// A BMP, PNG or GIF image and the calibration kept for it, found by the
// chart file reader.
void LoadWithCalibration(const std::string& path, TImageWithCalibration& out) {
  TChartHeadExternalCodec codec;
  TChartHeadBaseCodec::ClearInfo(out.Info);
  TChartFile chart(codec);
  chart.AlwaysBuildInfo = true;
  out.ImageLoaded = chart.LoadImage(path, out.Info);
  out.HeaderLoaded = chart.HeaderLoaded();
  out.Image = std::move(chart.Image());
  out.Error = chart.LastError();
}

// Raised from the writer's progress callback to abandon a file.
struct TCancelled {};

// Writes the rows and a copy of the record (nothing of the source's record
// changes) into the target; false with the outcome's problem set.
bool WriteWCI(TWCIImageSource& rows, const RChartInfo& info, const std::string& name, const std::string& target,
              const TConvertSettings& settings, TConvertOutcome& out, bool nameWithExtension = false) {
  if (rows.Width() > kMaxWCISide || rows.Height() > kMaxWCISide) {
    out.Problem = "Image too large for WCI: " + name;
    return false;
  }
  // The record of the new file (a copy: nothing of the source changes).
  RChartInfo record = info;
  record.Layout.FileName = BaseName(target);
  if (record.Layout.Name.empty()) record.Layout.Name = nameWithExtension ? BaseName(target) : FileBaseName(target);
  TChartHeadBaseCodec header;
  header.WriteInfo(record);

  TWCIWriter writer;
  writer.CompressionRatio = settings.CompressionRatio;
  writer.ConfirmReplace = false;
  if (settings.Progress)
    writer.Progress = [&settings](const std::string& caption, int position, int max) {
      // The writer's last report (no text, no maximum) comes from its
      // clean-up, also while it unwinds: it only clears the panel.
      const bool last = caption.empty() && max == 0;
      if (!settings.Progress(caption, position, max) && !last) throw TCancelled{};
    };
  try {
    out.Bytes = writer.Convert(rows, target, header.Lines);
  } catch (const TCancelled&) {
    out.Cancelled = true;
    out.Problem = "Convert cancelled: " + name;
    return false;
  } catch (const std::exception& e) {
    out.Problem = "Convert failed: " + name + ": " + e.what();
    return false;
  }
  if (out.Bytes <= 0) {
    out.Problem = "Convert failed: " + name;
    return false;
  }
  return true;
}

// A picture in memory as a WCI file: its colours reduced to a palette, the
// rows written; the outcome says how it went.
void WritePictureWCI(const TChartImage& picture, const RChartInfo& info, const std::string& name,
                     const std::string& target, bool calibrated, const TConvertSettings& settings,
                     TConvertOutcome& out) {
  TColourQuantiser quantiser;
  if (!quantiser.Build(picture)) {
    out.Problem = "Could not open image " + name + ".";
    return;
  }
  out.Colours = quantiser.Stats();
  TChartImageRows rows(picture, &quantiser);
  if (WriteWCI(rows, info, name, target, settings, out))
    out.Result = calibrated ? kConvertCalibrated : kConvertUncalibrated;
}

// A KAP or NOS chart (calibration built in) into a WCI file.
TConvertOutcome ConvertKAP(const std::string& chart, const std::string& target, const TConvertSettings& settings) {
  TConvertOutcome out;
  const std::string name = BaseName(chart);
  TKAPDecoder kap;
  RChartInfo info;
  TChartHeadBaseCodec::ClearInfo(info);
  if (kap.Open(chart) < 0 || !kap.ReadInfo(info)) {
    out.Problem = "Could not open image " + name + "." + (kap.LastError().empty() ? "" : " (" + kap.LastError() + ")");
    return out;
  }
  TColourTable colours{};
  kap.FillColourTable(colours);
  TPagerImageSource rows(kap, colours, 127);
  info.Width = rows.Width();
  info.Height = rows.Height();
  out.Colours.Exact = true;
  if (!WriteWCI(rows, info, name, target, settings, out)) return out;
  out.Result = kConvertCalibrated;
  return out;
}

// Rows passed on with a progress report every few rows; "Cancel" ends the
// file.
class TReportingRows : public TRgbRows {
 public:
  TReportingRows(TRgbRows& rows, const TConvertSettings& settings) : rows_(rows), settings_(settings) {}
  int32_t Width() const override { return rows_.Width(); }
  int32_t Height() const override { return rows_.Height(); }
  bool ReadRow(int32_t y, TRgb* dst) override {
    if (settings_.Progress && (y % 256 == 0 || y + 1 == Height()) &&
        !settings_.Progress("Counting colours", y, Height()))
      throw TCancelled{};
    return rows_.ReadRow(y, dst);
  }

 private:
  TRgbRows& rows_;
  const TConvertSettings& settings_;
};

// A JPEG or TIFF scan, streamed: its rows are decoded three times (colours,
// then the writer's two passes) and never held whole.
TConvertOutcome ConvertScan(const std::string& image, const std::string& target, bool allowUncalibrated,
                            const TConvertSettings& settings) {
  TConvertOutcome out;
  const std::string name = BaseName(image);
  TChartHeadExternalCodec codec;
  RChartInfo info;
  TChartHeadBaseCodec::ClearInfo(info);
  const bool header = ReadImageCalibration(image, codec) != kCalNone;
  if (header) {
    codec.ReadInfo(info);
    if (info.Layout.FileName.empty()) info.Layout.FileName = name;
  }
  const bool calibrated = header && info.Width > 0 && info.Height > 0 && info.RefCount >= 2;
  if (!calibrated && !allowUncalibrated) return out;
  std::string error;
  const std::unique_ptr<TRgbRows> rows = OpenScanRows(image, UpperExtension(image), &error);
  if (!rows) {
    out.Problem = "Could not open image " + name + "." + (error.empty() ? std::string() : " (" + error + ")");
    return out;
  }
  if (!header || info.Width <= 0 || info.Height <= 0) {
    info.Width = rows->Width();
    info.Height = rows->Height();
  }
  if (info.Width != rows->Width() || info.Height != rows->Height()) {
    out.Problem = "Image Size have changed on " + name + ". Calibrations may not be valid! Not Converted.";
    return out;
  }
  if (rows->Width() > kMaxWCISide || rows->Height() > kMaxWCISide) {
    out.Problem = "Image too large for WCI: " + name;
    return out;
  }
  TColourQuantiser quantiser;
  try {
    TReportingRows reporting(*rows, settings);
    if (!quantiser.Build(reporting)) {
      out.Problem = "Could not open image " + name + ". (damaged image data)";
      return out;
    }
  } catch (const TCancelled&) {
    out.Cancelled = true;
    out.Problem = "Convert cancelled: " + name;
    return out;
  }
  out.Colours = quantiser.Stats();
  TQuantisedRows quantised(*rows, quantiser);
  if (!WriteWCI(quantised, info, name, target, settings, out)) return out;
  out.Result = calibrated ? kConvertCalibrated : kConvertUncalibrated;
  return out;
}

// The ".IN8" frame of a Genimap chart: "NAME.IN8", else "NAME_.IN8" (in
// either case).
std::string GenimapFrameFile(const std::string& image) {
  const size_t dot = image.find_last_of('.');
  const std::string stem = dot == std::string::npos ? image : image.substr(0, dot);
  for (const std::string& candidate : {stem + ".IN8", stem + ".in8", stem + "_.IN8", stem + "_.in8"})
    if (Exists(candidate)) return candidate;
  return {};
}

// Calibrates the record of a Genimap chart from its frame: the corner
// positions of the ".IN8" rectangle, a scale in proportion to the latitude
// span per row (asked once per command), Mercator on the Finnish chart
// datum. False (the record untouched) without a usable frame or scale.
bool ApplyGenimapFrame(const std::string& image, const std::string& wciName, const TConvertSettings& settings,
                       RChartInfo& info) {
  const std::string frame = GenimapFrameFile(image);
  if (frame.empty()) return false;
  TChartHeadGMBCodec codec;
  if (!codec.LoadFromFile(frame)) return false;
  RChartInfo framed = info;
  framed.RefPoints.clear();
  framed.RefCount = 0;
  codec.ReadNMEARect(framed);
  if (framed.RefCount < 2 || framed.Height <= 0) return false;
  const double phi0 = framed.RefPoints[0].Lat, phi1 = framed.RefPoints[1].Lat;
  const double lon0 = framed.RefPoints[0].Lon, lon1 = framed.RefPoints[1].Lon;
  const double span = std::fabs(phi0 - phi1);
  if (!(span > 0) || !std::isfinite(span) || !std::isfinite(lon0) || !std::isfinite(lon1)) return false;
  double local = 0;
  double& ratio = settings.GenimapScaleRatio ? *settings.GenimapScaleRatio : local;
  if (!(ratio > 0)) {
    const std::optional<int64_t> scale = settings.AskGenimapScale ? settings.AskGenimapScale(wciName) : std::nullopt;
    if (!scale || *scale <= 0) return false;
    ratio = std::fabs(static_cast<double>(*scale) / span) * framed.Height;
  }
  const double x = span * ratio / framed.Height;
  const double rounded = std::round(x + 500);
  if (!std::isfinite(rounded) || rounded > 2e9) return false;
  framed.Layout.Scale = static_cast<int32_t>(static_cast<int64_t>(rounded) / 1000 * 1000);
  framed.Layout.Border = {{lon0, phi0}, {lon0, phi1}, {lon1, phi1}, {lon1, phi0}};
  framed.Layout.BorderCount = 4;
  framed.DatumName = "Finnish Nautical Charts";
  framed.Projection = 1;
  framed.DepthUnits = kDepthMetres;
  info = std::move(framed);
  return true;
}

TConvertOutcome ConvertGenimap(const std::string& image, const std::string& target, bool allowUncalibrated,
                               const TConvertSettings& settings) {
  TConvertOutcome out;
  const std::string name = BaseName(image);
  TChartImage picture;
  std::string error;
  if (!LoadImageFile(image, ".GMB", picture, &error)) {
    out.Problem = "Could not open image " + name + "." + (error.empty() ? std::string() : " (" + error + ")");
    return out;
  }
  if (picture.Width > kMaxWCISide || picture.Height > kMaxWCISide) {
    out.Problem = "Image too large for WCI: " + name;
    return out;
  }
  RChartInfo info;
  TChartHeadBaseCodec::ClearInfo(info);
  const size_t dot = name.find_last_of('.');
  info.Layout.Name = dot == std::string::npos ? name : name.substr(0, dot);
  info.Layout.FileName = BaseName(target);
  info.Width = picture.Width;
  info.Height = picture.Height;
  const bool calibrated = ApplyGenimapFrame(image, BaseName(target), settings, info);
  if (!calibrated && !allowUncalibrated) return out;
  WritePictureWCI(picture, info, name, target, calibrated, settings, out);
  return out;
}

}  // namespace

bool IsConvertibleImageType(const std::string& upperExt) {
  return upperExt == ".BMP" || upperExt == ".PNG" || upperExt == ".GIF" || upperExt == ".GMB" ||
         IsJPEGExtension(upperExt) || IsTIFFExtension(upperExt);
}

TConvertOutcome ConvertImageToWCI(const std::string& image, const std::string& target, bool overwrite,
                                  bool allowUncalibrated, const TConvertSettings& settings) {
  TConvertOutcome out;
  const std::string name = BaseName(image);
  if (!overwrite && Exists(target)) return out;
  const std::string ext = UpperExtension(image);
  if (ext == ".KAP" || ext == ".GEO") return ConvertKAP(image, target, settings);
  if (!IsConvertibleImageType(ext)) {
    out.Problem = "Not an image type: " + name;
    return out;
  }
  if (IsJPEGExtension(ext) || IsTIFFExtension(ext)) return ConvertScan(image, target, allowUncalibrated, settings);
  if (ext == ".GMB") return ConvertGenimap(image, target, allowUncalibrated, settings);
  TImageWithCalibration source;
  LoadWithCalibration(image, source);
  RChartInfo& info = source.Info;
  // A header without an image size or with fewer than two reference points
  // is no calibration either.
  const bool calibrated = source.HeaderLoaded && info.Width > 0 && info.Height > 0 && info.RefCount >= 2;
  if (!calibrated && !allowUncalibrated) return out;
  if (!source.ImageLoaded || source.Image.Empty()) {
    out.Problem = "Could not open image " + name + "." + (source.Error.empty() ? std::string() : " (" + source.Error + ")");
    return out;
  }
  const TChartImage& picture = source.Image;
  if (!source.HeaderLoaded || info.Width <= 0 || info.Height <= 0) {
    info.Width = picture.Width;
    info.Height = picture.Height;
  }
  if (info.Width != picture.Width || info.Height != picture.Height) {
    out.Problem = "Image Size have changed on " + name + ". Calibrations may not be valid! Not Converted.";
    return out;
  }
  // Refused before the colours are counted.
  if (picture.Width > kMaxWCISide || picture.Height > kMaxWCISide) {
    out.Problem = "Image too large for WCI: " + name;
    return out;
  }
  WritePictureWCI(picture, info, name, target, calibrated, settings, out);
  return out;
}

std::string TBatchSummary::Report() const {
  return "--- WCI CONVERT RESULT ---\r\nTotal Files Scanned: " + std::to_string(Scanned) +
         "\r\nTotal Files Converted: " + std::to_string(Converted) +
         "\r\nFiles with calibration: " + std::to_string(Converted - WithoutCalibration) +
         "\r\nFiles without calibration: " + std::to_string(WithoutCalibration);
}

TBatchSummary ConvertImageDirectory(const std::string& sourceDir, const std::string& targetDir, bool overwrite,
                                    bool allowUncalibrated, const TConvertSettings& settings) {
  TBatchSummary summary;
  std::vector<std::string> files;
  if (DIR* d = ::opendir(sourceDir.c_str())) {
    while (const dirent* e = ::readdir(d)) {
      const std::string n = e->d_name;
      if (n == "." || n == "..") continue;
      struct stat st{};
      const std::string path = WithTrailingSlash(sourceDir) + n;
      if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) continue;
      const std::string ext = UpperExtension(n);
      if (IsConvertibleImageType(ext) || ext == ".KAP" || ext == ".GEO") files.push_back(n);
    }
    ::closedir(d);
  }
  std::sort(files.begin(), files.end());
  // Which source owns each target name.
  std::map<std::string, std::string> owner;
  for (const std::string& n : files) {
    const std::string targetName = FileBaseName(n) + ".WCI";
    const std::string key = UpperAscii(targetName);
    ++summary.Scanned;
    if (auto it = owner.find(key); it != owner.end()) {
      summary.Problems.push_back("Name collision: " + n + " and " + it->second + " both make " + targetName + "; " +
                                 n + " not converted");
      continue;
    }
    owner.emplace(key, n);
    if (settings.Progress &&
        !settings.Progress("Converting " + n + ". Done: " + std::to_string(summary.Scanned - 1), 0, 0)) {
      summary.Cancelled = true;
      --summary.Scanned;
      break;
    }
    const TConvertOutcome r = ConvertImageToWCI(WithTrailingSlash(sourceDir) + n, WithTrailingSlash(targetDir) +
                                                targetName, overwrite, allowUncalibrated, settings);
    if (r.Result >= kConvertUncalibrated) {
      ++summary.Converted;
      if (r.Result == kConvertUncalibrated) ++summary.WithoutCalibration;
      if (!r.Colours.Exact) summary.Colours.emplace_back(n, r.Colours);
    }
    if (!r.Problem.empty()) summary.Problems.push_back(r.Problem);
    if (r.Cancelled) {
      summary.Cancelled = true;
      break;
    }
  }
  return summary;
}

bool ExportWCIToBMP(const std::string& wciFile, const std::string& bmpFile, std::string& error,
                    const RChartInfo* record) {
  TWCIDecoder wci;
  if (wci.Open(wciFile) <= 0) {
    error = "Could not open " + BaseName(wciFile) + ".";
    return false;
  }
  const int64_t w = wci.SourceWidth(), h = wci.SourceHeight();
  const int64_t stride = (w + 3) / 4 * 4;
  if (stride * h + 1078 >= (int64_t(1) << 31)) {
    error = "The chart is too large for a BMP file.";
    return false;
  }
  TChartHeadExternalCodec codec;
  codec.LoadFromText(wci.HeaderText());
  RChartInfo info;
  codec.ReadInfo(info);
  if (record) info = *record;
  wci.Close();
  if (TWCIDecoder exporter; exporter.ExportBMP(wciFile, bmpFile) <= 0) {
    error = "Could not write " + bmpFile + ".";
    return false;
  }
  const std::string bmpName = BaseName(bmpFile);
  codec.Clear();
  codec.WriteInfo(info);
  codec.PutValue("FN=", bmpName);
  if (!codec.WriteSection(DirectoryOf(bmpFile) + kChartCalDirName, bmpName, &error)) {
    if (error.empty()) error = "Could not write the calibration of " + bmpName + ".";
    return false;
  }
  return true;
}

TConvertOutcome ConvertPictureToWCI(const TChartImage& picture, const RChartInfo& record, const std::string& target,
                                    const TConvertSettings& settings) {
  TConvertOutcome out;
  const std::string name = BaseName(target);
  if (picture.Empty() || picture.Width <= 0 || picture.Height <= 0) {
    out.Problem = "This image can not be converted.";
    return out;
  }
  if (picture.Width > kMaxWCISide || picture.Height > kMaxWCISide) {
    out.Problem = "Image too large for WCI: " + name;
    return out;
  }
  TColourQuantiser quantiser;
  if (!quantiser.Build(picture)) {
    out.Problem = "This file can not be converted.";
    return out;
  }
  out.Colours = quantiser.Stats();
  TChartImageRows rows(picture, &quantiser);
  RChartInfo info = record;
  info.Width = picture.Width;
  info.Height = picture.Height;
  if (!WriteWCI(rows, info, name, target, settings, out, true)) return out;
  const bool calibrated = record.RefPoints.size() >= 2;
  out.Result = calibrated ? kConvertCalibrated : kConvertUncalibrated;
  return out;
}

namespace {

bool IsRegular(const std::string& path) {
  struct stat st{};
  return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

// The image a map file names on its third line: the file of that name
// beside the map (case ignored), else the line as written.
std::string MapImage(const TChartHeadBaseCodec& map, const std::string& mapFile) {
  if (map.Lines.size() < 3) return std::string();
  const std::string line(TrimText(map.Lines[2]));
  if (line.empty()) return std::string();
  const std::string dir = DirectoryOf(mapFile).empty() ? std::string(".") : DirectoryOf(mapFile);
  if (auto beside = FindFileCaseInsensitive(dir, ForeignFileName(line)); beside && IsRegular(*beside)) return *beside;
  const std::string native = ToNativePath(line);
  return IsRegular(native) ? native : std::string();
}

// ReadMapFile on a map file already loaded.
bool ReadMapLines(const TChartHeadMAPCodec& map, const std::string& name, RChartInfo& record, std::string& problem) {
  RChartInfo info;
  if (!map.ReadMAP(info)) {
    problem = name + " is not a map file with two reference points or more.";
    return false;
  }
  info.Layout.FileName = record.Layout.FileName;
  info.Width = record.Width;
  info.Height = record.Height;
  // The border comes in pixels: through the fit into positions. A fit that
  // fails takes nothing (every border point would land on 0, 0).
  TWorldConvert fit;
  if (!fit.SetupProjection(ChartGeoRef(info, false)) || !fit.SetRefPoints(info.RefPoints) || !fit.Fit()) {
    problem = "The calibration of " + name + " cannot be fitted.";
    return false;
  }
  for (TFPoint& p : info.Layout.Border) {
    TFPoint pos;
    if (!fit.PixelToGeo(p, pos) || !std::isfinite(pos.X) || !std::isfinite(pos.Y)) {
      problem = "The border of " + name + " has no position.";
      return false;
    }
    p = pos;
  }
  record = std::move(info);
  return true;
}

}  // namespace

bool ReadMapFile(const std::string& mapFile, RChartInfo& record, std::string& problem) {
  TChartHeadMAPCodec map;
  if (!map.LoadFromFile(mapFile)) {
    problem = "Could not read " + BaseName(mapFile) + ".";
    return false;
  }
  return ReadMapLines(map, BaseName(mapFile), record, problem);
}

TConvertOutcome ConvertMAPToWCI(const std::string& mapFile, const std::string& target,
                                const TConvertSettings& settings) {
  TConvertOutcome out;
  const std::string name = BaseName(mapFile);
  TChartHeadMAPCodec map;
  if (!map.LoadFromFile(mapFile)) {
    out.Problem = "Could not read " + name + ".";
    return out;
  }
  const std::string image = MapImage(map, mapFile);
  if (image.empty()) {
    out.Problem = "The image of " + name + " was not found.";
    return out;
  }
  // The calibration first (the fit does not depend on the image's size):
  // a map that cannot be used costs no image decoding.
  RChartInfo info;
  if (!ReadMapLines(map, name, info, out.Problem)) return out;
  // The image: palette types loaded, JPEG and TIFF streamed.
  const std::string ext = UpperExtension(image);
  TChartImage picture;
  std::unique_ptr<TRgbRows> scan;
  std::string error;
  if (IsJPEGExtension(ext) || IsTIFFExtension(ext)) {
    scan = OpenScanRows(image, ext, &error);
  } else if (IsConvertibleImageType(ext)) {
    if (!LoadImageFile(image, ext, picture, &error)) picture.Clear();
  } else {
    error = "not an image type";
  }
  if (!scan && picture.Empty()) {
    out.Problem = "Could not open image " + BaseName(image) + "." + (error.empty() ? "" : " (" + error + ")");
    return out;
  }
  info.Width = scan ? scan->Width() : picture.Width;
  info.Height = scan ? scan->Height() : picture.Height;
  TColourQuantiser quantiser;
  std::unique_ptr<TWCIImageSource> rows;
  try {
    if (scan) {
      TReportingRows reporting(*scan, settings);
      if (!quantiser.Build(reporting)) {
        out.Problem = "Could not open image " + BaseName(image) + ". (damaged image data)";
        return out;
      }
      rows = std::make_unique<TQuantisedRows>(*scan, quantiser);
    } else {
      quantiser.Build(picture);
      rows = std::make_unique<TChartImageRows>(picture, &quantiser);
    }
  } catch (const TCancelled&) {
    out.Cancelled = true;
    out.Problem = "Convert cancelled: " + name;
    return out;
  }
  out.Colours = quantiser.Stats();
  if (!WriteWCI(*rows, info, name, target, settings, out, true)) return out;
  out.Result = kConvertCalibrated;
  return out;
}

std::string TBatchSummary::MapReport() const {
  return "--- MAP CONVERT RESULT ---\r\nMAP files Converted: " + std::to_string(Converted);
}

TBatchSummary ConvertMapDirectory(const std::string& sourceDir, const std::string& targetDir,
                                  const TConvertSettings& settings) {
  TBatchSummary summary;
  std::vector<std::string> files;
  if (DIR* d = ::opendir(sourceDir.c_str())) {
    while (const dirent* e = ::readdir(d)) {
      const std::string n = e->d_name;
      if (UpperExtension(n) == ".MAP" && IsRegular(WithTrailingSlash(sourceDir) + n)) files.push_back(n);
    }
    ::closedir(d);
  }
  std::sort(files.begin(), files.end());
  for (const std::string& n : files) {
    if (settings.Progress &&
        !settings.Progress("Converting " + n + ". Converted: " + std::to_string(summary.Converted), 0, 0)) {
      summary.Cancelled = true;
      break;
    }
    ++summary.Scanned;
    const TConvertOutcome r =
        ConvertMAPToWCI(WithTrailingSlash(sourceDir) + n, WithTrailingSlash(targetDir) + FileBaseName(n) + ".WCI", settings);
    if (r.Result >= kConvertUncalibrated) ++summary.Converted;
    if (!r.Problem.empty()) summary.Problems.push_back(r.Problem);
    if (r.Cancelled) {
      summary.Cancelled = true;
      break;
    }
  }
  return summary;
}
