#include "charts/OldCalibrations.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "charts/CatalogScan.h"
#include "charts/ChartFile.h"
#include "charts/ChartList.h"
#include "charts/HeaderText.h"
#include "foundation/GenUtil.h"
#include "platform/AtomicFile.h"
#include "platform/Paths.h"

namespace {

constexpr double kUnitToRad = kPi / 10800000.0;  // 1/60 000 degree
constexpr double kOldTmLon0 = 0.27590650017058416;

std::string Trim(std::string_view s) {
  size_t a = 0, b = s.size();
  while (a < b && (s[a] == ' ' || s[a] == '\t' || s[a] == '\r' || s[a] == '\n')) ++a;
  while (b > a && (s[b - 1] == ' ' || s[b - 1] == '\t' || s[b - 1] == '\r' || s[b - 1] == '\n')) --b;
  return std::string(s.substr(a, b - a));
}

std::optional<int64_t> Digits(std::string_view s) {
  if (s.empty()) return std::nullopt;
  // More digits than any field of the list holds is no number of it.
  if (s.size() > 12) return std::nullopt;
  int64_t v = 0;
  for (char c : s) {
    if (c < '0' || c > '9') return std::nullopt;
    v = v * 10 + (c - '0');
  }
  return v;
}

std::optional<int64_t> Integer(std::string_view s) {
  const std::string t = Trim(s);
  if (t.empty()) return std::nullopt;
  const bool negative = t[0] == '-';
  const std::optional<int64_t> v = Digits(std::string_view(t).substr(negative || t[0] == '+' ? 1 : 0));
  if (!v || *v > 2147483647) return std::nullopt;
  return negative ? -*v : *v;
}

int64_t Round(double v) { return static_cast<int64_t>(std::llround(v)); }

std::string CutText(std::string text, size_t n) {
  if (text.size() > n) text.resize(n);
  return text;
}

}  // namespace

std::optional<int64_t> ParseOldPosition(std::string_view field) {
  const std::string f = Trim(field);
  if (f.size() != 9) return std::nullopt;
  const std::optional<int64_t> deg = Digits(std::string_view(f).substr(0, 3));
  const std::optional<int64_t> thousandths = Digits(std::string_view(f).substr(3, 5));
  if (!deg || !thousandths || *deg > 180 || *thousandths >= 60000) return std::nullopt;
  const int64_t v = *deg * 60000 + *thousandths;
  const char h = f[8];
  return h == 'S' || h == 's' || h == 'W' || h == 'w' ? -v : v;
}

std::optional<TOldChartLine> ParseOldChartLine(std::string_view raw) {
  const std::string line = Trim(raw);
  const size_t eq = line.find('=');
  if (eq == std::string::npos) return std::nullopt;
  TOldChartLine c;
  c.Name = CutText(Trim(std::string_view(line).substr(0, eq)), 40);
  // Fields each ended by ";"; a last field without it counts as empty.
  std::vector<std::string> fields;
  std::string_view rest = std::string_view(line).substr(eq + 1);
  for (size_t semi; (semi = rest.find(';')) != std::string_view::npos; rest = rest.substr(semi + 1))
    fields.push_back(Trim(rest.substr(0, semi)));
  if (fields.size() < 6) return std::nullopt;
  c.File = CutText(fields[0], 127);
  const std::optional<int64_t> scale = Integer(fields[1]);
  const std::optional<int64_t> top = ParseOldPosition(fields[2]), left = ParseOldPosition(fields[3]);
  const std::optional<int64_t> bottom = ParseOldPosition(fields[4]), right = ParseOldPosition(fields[5]);
  if (c.File.empty() || !scale || !top || !left || !bottom || !right) return std::nullopt;
  c.Scale = static_cast<int32_t>(*scale);
  c.Top = *top;
  c.Left = *left;
  c.Bottom = *bottom;
  c.Right = *right;
  // The last four: from the first missing or unreadable one on, 0 (empty).
  int* numbers[] = {&c.Projection, &c.SkewX, &c.SkewY};
  size_t i = 6;
  for (; i < 9; ++i) {
    const std::optional<int64_t> v = i < fields.size() ? Integer(fields[i]) : std::nullopt;
    if (!v) break;
    *numbers[i - 6] = static_cast<int>(std::clamp<int64_t>(*v, -1000000, 1000000));
  }
  if (i == 9 && fields.size() > 9) c.Datum = CutText(fields[9], 40);
  return c;
}

TOldWorldConvert::TOldWorldConvert(const TOldChartLine& chart, int32_t width, int32_t height)
    : c_(chart), w_(width), h_(height) {}

std::optional<TFPoint> TOldWorldConvert::PixelToGeo(int32_t x, int32_t y) const {
  // Divisions by W - 1 and H - 1: a side of one pixel has no scale.
  if (w_ < 2 || h_ < 2) return std::nullopt;
  const double sx = std::sin(c_.SkewX / 100.0 * kPi / 180), sy = std::sin(c_.SkewY / 100.0 * kPi / 180);
  const double xd = static_cast<double>(Round(x + y * sx));
  const double yd = static_cast<double>(Round(y - x * sy));
  const double lat1 = static_cast<double>(c_.Top), lat2 = static_cast<double>(c_.Bottom);
  const double lon1 = static_cast<double>(c_.Left), lon2 = static_cast<double>(c_.Right);
  const double W = w_, H = h_;
  double lat = 0, lon = 0;
  switch (c_.Projection) {
    case 1: {
      const double m1 = std::atanh(std::sin(lat1 * kUnitToRad)), m2 = std::atanh(std::sin(lat2 * kUnitToRad));
      if (!(std::fabs(m1 - m2) > 0) || !std::isfinite(m1) || !std::isfinite(m2)) return std::nullopt;
      const double k = H / (m1 - m2);
      const double v = std::atan(std::sinh((m1 * k - (yd + 1)) / k)) * 5400000 / (kPi / 2);
      lat = std::isfinite(v) ? static_cast<double>(Round(v)) : 0;
      break;
    }
    case 0:
    case 2:
      lat = static_cast<double>(Round(((lat2 - lat1) * (yd + 1) + H / 2) / (H - 1) + lat1));
      break;
    default:
      return std::nullopt;
  }
  if (c_.Projection == 2) {
    const double e = static_cast<double>(Round(((lon2 - lon1) * xd + W / 2) / (W - 1) + lon1));
    const double c = (lon1 + lon2) / 2;
    const double cl = std::cos(lat * kUnitToRad);
    if (!(std::fabs(cl) > 1e-12)) return std::nullopt;
    lon = static_cast<double>(Round(c + (e - c) * std::cos(lat1 * kUnitToRad) / cl));
  } else {
    lon = static_cast<double>(Round(((lon2 - lon1) * (xd + 0.5) + W / 2) / (W - 1) + lon1));
  }
  const TFPoint p{lon * kUnitToRad, lat * kUnitToRad};
  if (!std::isfinite(p.X) || !std::isfinite(p.Y)) return std::nullopt;
  return p;
}

std::optional<RChartInfo> OldChartRecord(const TOldChartLine& chart, const std::string& imageFile, int32_t width,
                                         int32_t height) {
  if (width < 12 || height < 12) return std::nullopt;
  const TOldWorldConvert model(chart, width, height);
  RChartInfo info;
  TChartHeadBaseCodec::ClearInfo(info);
  info.Layout.Name = chart.Name;
  info.Layout.FileName = imageFile;
  info.Layout.Scale = chart.Scale;
  info.Layout.Priority = 0;
  info.Layout.QualityCode = 0;
  info.DatumName = chart.Datum;
  info.Lat0 = info.Lon0 = 0;
  info.Projection = chart.Projection == 1 ? 1 : chart.Projection == 2 ? 2 : 0;
  if (chart.Projection == 2) info.Lon0 = kOldTmLon0;
  info.Width = width;
  info.Height = height;
  const int32_t r = width - 6, b = height - 6;
  for (const auto& [x, y] : {std::pair{5, 5}, std::pair{5, b}, std::pair{r, b}}) {
    const std::optional<TFPoint> p = model.PixelToGeo(x, y);
    if (!p) return std::nullopt;
    info.RefPoints.push_back({double(x), double(y), p->X, p->Y});
  }
  info.RefCount = static_cast<int32_t>(info.RefPoints.size());
  for (const auto& [x, y] : {std::pair{5, 5}, std::pair{r, 5}, std::pair{r, b}, std::pair{5, b}}) {
    const std::optional<TFPoint> p = model.PixelToGeo(x, y);
    if (!p) return std::nullopt;
    info.Layout.Border.push_back(*p);
  }
  info.Layout.BorderCount = static_cast<uint16_t>(info.Layout.Border.size());
  return info;
}

std::string TOldImportReport::Text() const {
  std::string s = "--- OLD BRISMARE IMPORT RESULT ---\r\n";
  s += "Lines found in BRICHART.DIR: " + std::to_string(Found) + "\r\n";
  s += "Matching files found: " + std::to_string(Matching) + "\r\n";
  s += "Failed to calibrate: " + std::to_string(Failed) + "\r\n";
  if (AlreadyCalibrated > 0) s += "Already calibrated (kept): " + std::to_string(AlreadyCalibrated) + "\r\n";
  s += "Total calibrations imported: " + std::to_string(Imported());
  return s;
}

TOldImportReport ImportOldCalibrations(const std::string& listFile, const TOldImportSettings& settings) {
  TOldImportReport report;
  std::string text;
  if (!ReadWholeFile(listFile, text, nullptr)) return report;
  const std::string search = ChartSearchPath(settings.ChartDirs);
  const int max = static_cast<int>(std::min<size_t>(text.size() / 90, 1000000));
  bool inList = false;
  size_t at = 0;
  int line = 0;
  while (at < text.size()) {
    size_t end = text.find('\n', at);
    if (end == std::string::npos) end = text.size();
    const std::string l = Trim(std::string_view(text).substr(at, end - at));
    at = end + 1;
    ++line;
    if (!inList) {
      inList = UpperAscii(l) == "[REGISTERDCHARTS]";
      continue;
    }
    if (!l.empty() && l[0] == '[') break;
    if (l.find('=') == std::string::npos) continue;
    ++report.Found;
    if (settings.Progress && !settings.Progress("Reading " + listFile, std::min(line, max), max)) break;
    const std::optional<TOldChartLine> chart = ParseOldChartLine(l);
    if (!chart) continue;
    // An entry with an empty name ends the import.
    if (chart->Name.empty()) break;
    const std::string image = FindCatalogChartFile(chart->File, search);
    if (image.empty()) continue;
    ++report.Matching;
    // An image calibrated already keeps its calibration.
    {
      TChartHeadExternalCodec codec;
      TChartFile probe(codec);
      RChartInfo existing;
      probe.ReadHeader(image, existing);
      if (probe.HeaderLoaded()) {
        ++report.AlreadyCalibrated;
        continue;
      }
    }
    int32_t w = 0, h = 0;
    std::optional<RChartInfo> record;
    if (ImageSizeOfFile(image, w, h)) record = OldChartRecord(*chart, image, w, h);
    if (!record) {
      ++report.Failed;
      report.Problems += "Error: Could not open image " + CutText(image, 155) + "\r\n";
      continue;
    }
    TChartHeadExternalCodec codec;
    codec.WriteInfo(*record);
    const size_t slash = image.find_last_of('/');
    const std::string dir = slash == std::string::npos ? std::string() : image.substr(0, slash + 1);
    const std::string bare = slash == std::string::npos ? image : image.substr(slash + 1);
    std::string error;
    if (!codec.WriteSection(dir + "CHARTCAL.DIR", bare, &error)) {
      ++report.Failed;
      report.Problems += "Error: " + error + "\r\n";
      continue;
    }
    if (settings.Progress) settings.Progress("Done with " + bare, std::min(line, max), max);
  }
  return report;
}
