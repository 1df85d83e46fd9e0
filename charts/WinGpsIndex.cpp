#include "charts/WinGpsIndex.h"

#include <cmath>
#include <cstdint>
#include <vector>

#include "charts/ChartFile.h"
#include "charts/ChartInfo.h"
#include "charts/ForeignHeaders.h"
#include "charts/HeaderText.h"
#include "geodesy/CTrans.h"
#include "platform/AtomicFile.h"

namespace {

std::string Trim(std::string_view s) {
  size_t a = 0, b = s.size();
  while (a < b && (s[a] == ' ' || s[a] == '\t' || s[a] == '\r')) ++a;
  while (b > a && (s[b - 1] == ' ' || s[b - 1] == '\t' || s[b - 1] == '\r')) --b;
  return std::string(s.substr(a, b - a));
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> out;
  size_t at = 0;
  while (at < text.size()) {
    size_t end = text.find('\n', at);
    if (end == std::string::npos) end = text.size();
    std::string l = text.substr(at, end - at);
    if (!l.empty() && l.back() == '\r') l.pop_back();
    out.push_back(std::move(l));
    at = end + 1;
  }
  return out;
}

// The metres per radian on the sphere of one nautical mile a minute.
constexpr double kMetresPerRadian = 6366707.0194937;

}  // namespace

int32_t WinGpsEstimatedScale(double lon0, double lat0, double x0, double lon1, double lat1, double x1) {
  const double dx = x1 - x0;
  if (!(std::fabs(dx) > 0)) return 100000000;
  const double metresPerPixel =
      std::fabs((lon1 - lon0) / dx) * kMetresPerRadian * std::cos((lat0 + lat1) / 2);
  if (!std::isfinite(metresPerPixel)) return 100000000;
  return TChartHeadMAPCodec::ScaleFromMM1B(metresPerPixel);
}

TWinGpsImport ImportWinGpsCharts(const std::string& file, const std::function<void(const std::string&)>& progress) {
  TWinGpsImport result;
  std::string text;
  if (!ReadWholeFile(file, text, nullptr, uint64_t{64} << 20)) return result;
  const std::vector<std::string> lines = Lines(text);
  if (lines.empty() || UpperAscii(lines[0]).find("WINGPS") == std::string::npos) return result;
  const size_t slash = file.find_last_of('/');
  const std::string indexDir = slash == std::string::npos ? std::string() : file.substr(0, slash + 1);
  size_t i = 1;
  while (i < lines.size()) {
    if (Trim(lines[i]).empty()) {
      ++i;
      continue;
    }
    TChartHeadWinGPSCodec codec;
    for (; i < lines.size(); ++i) {
      const std::string t = Trim(lines[i]);
      if (t.empty() || UpperAscii(t) == "END") break;
      codec.Lines.push_back(lines[i]);
    }
    ++i;  // the line that ended the block
    RChartInfo info;
    if (!codec.ReadWinGPS(info) || info.Layout.FileName.empty()) {
      ++result.Skipped;
      continue;
    }
    // The border in pixels, placed through the chart's own fit.
    TWorldConvert conv;
    const RGeoRef ref = ChartGeoRef(info, false);
    if (!conv.SetupProjection(ref) || !conv.SetRefPoints(info.RefPoints) || !conv.Fit()) {
      ++result.Skipped;
      continue;
    }
    bool placed = true;
    for (TFPoint& b : info.Layout.Border) {
      TFPoint g;
      if (!conv.PixelToGeo(b, g)) {
        placed = false;
        break;
      }
      b = g;
    }
    if (!placed) {
      ++result.Skipped;
      continue;
    }
    info.Layout.BorderCount = static_cast<uint16_t>(info.Layout.Border.size());
    if (info.Layout.Scale == 0 && info.RefPoints.size() >= 2) {
      const TGridPoint& a = info.RefPoints[0];
      const TGridPoint& b = info.RefPoints[1];
      info.Layout.Scale = WinGpsEstimatedScale(a.Lon, a.Lat, a.X, b.Lon, b.Lat, b.X);
    }
    // The section goes beside the image itself, under its bare name (an
    // image named with a sub-path lies in a directory of its own).
    std::string image = info.Layout.FileName;
    for (char& c : image)
      if (c == '\\') c = '/';
    const std::string imagePath = image.size() > 0 && image[0] == '/' ? image : indexDir + image;
    const size_t cut = imagePath.find_last_of('/');
    const std::string dir = cut == std::string::npos ? std::string() : imagePath.substr(0, cut + 1);
    const std::string bare = cut == std::string::npos ? imagePath : imagePath.substr(cut + 1);
    {
      // An image calibrated already keeps its calibration.
      TChartHeadExternalCodec probeCodec;
      TChartFile probe(probeCodec);
      RChartInfo existing;
      probe.ReadHeader(imagePath, existing);
      if (probe.HeaderLoaded()) {
        ++result.Kept;
        continue;
      }
    }
    TChartHeadExternalCodec out;
    out.WriteInfo(info);
    if (!out.WriteSection(dir + "CHARTCAL.DIR", bare)) {
      ++result.Skipped;
      continue;
    }
    ++result.Imported;
    if (progress) progress("Converting " + info.Layout.Name);
  }
  return result;
}
