// brtool chart with GeoTIFF files (see ChartGeoTiff.h).
#include <cmath>
#include <cstdio>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "ChartGeoTiff.h"
#include "ChartJson.h"
#include "Command.h"
#include "charts/GeoTiffChart.h"
#include "charts/HeaderText.h"
#include "foundation/NumText.h"
#include "platform/AtomicFile.h"

namespace {

std::string Num(double v) { return JsonNum(v); }
std::string Deg(double radians) { return JsonDeg(radians); }

const char* MethodName(TCrsMethod m) {
  switch (m) {
    case TCrsMethod::None: return "geographic";
    case TCrsMethod::TransverseMercator: return "Transverse Mercator";
    case TCrsMethod::Mercator: return "Mercator";
    case TCrsMethod::PseudoMercator: return "Pseudo-Mercator";
    case TCrsMethod::LambertConic1SP: return "Lambert Conformal Conic (1SP)";
    case TCrsMethod::LambertConic2SP: return "Lambert Conformal Conic (2SP)";
    case TCrsMethod::Polyconic: return "Polyconic";
    case TCrsMethod::Other: break;
  }
  return "other";
}

const char* KindName(TRasterKind k) {
  switch (k) {
    case TRasterKind::Palette: return "palette";
    case TRasterKind::Grey: return "grey";
    case TRasterKind::Rgb: return "rgb";
  }
  return "";
}

bool OpenChart(const std::string& file, TGeoTiffChart& chart, const char* command) {
  std::string error;
  if (chart.Open(file, &error)) return true;
  std::fprintf(stderr, "brtool chart %s: %s: %s\n", command, file.c_str(), error.c_str());
  return false;
}

int RunInfo(const std::string& file) {
  TGeoTiffChart chart;
  if (!OpenChart(file, chart, "info")) return 1;
  RChartInfo i;
  chart.FillInfo(file, i);
  const TGeoTiffRaster& r = chart.Raster();
  const TCrsToWgs84& crs = chart.Crs();
  const TCrsDefinition& def = crs.Definition();
  std::string j = "{\n";
  j += "  \"file\": " + JsonText(file) + ",\n";
  j += "  \"kind\": \"GeoTIFF\",\n";
  j += "  \"name\": " + JsonText(i.Layout.Name) + ",\n";
  j += "  \"number\": \"\",\n";
  j += "  \"fileName\": " + JsonText(i.Layout.FileName) + ",\n";
  j += "  \"scale\": " + std::to_string(i.Layout.Scale) + ",\n";
  j += "  \"width\": " + std::to_string(i.Width) + ",\n";
  j += "  \"height\": " + std::to_string(i.Height) + ",\n";
  j += "  \"projection\": {\"code\": " + std::to_string(i.Projection) + ", \"lat0\": " + Deg(i.Lat0) +
       ", \"lon0\": " + Deg(i.Lon0) + ", \"latS\": " + Deg(i.LatS) + ", \"latN\": " + Deg(i.LatN) + "},\n";
  j += "  \"datum\": " + JsonText(crs.DatumName()) + ",\n";
  j += "  \"crs\": {\"name\": " + JsonText(crs.CrsName()) +
       ", \"epsg\": " + (def.EpsgCode > 0 ? std::to_string(def.EpsgCode) : std::string("null")) +
       ", \"method\": " + JsonText(MethodName(def.Method)) + ", \"datum\": " + JsonText(crs.DatumName()) +
       ", \"toWgs84\": " + JsonText(crs.OperationName()) +
       ", \"projectionBy\": " + JsonText(crs.OwnProjection() ? "own" : "PROJ") + "},\n";
  j += "  \"placedBy\": " + JsonText(chart.Exact() ? "transformation" : "control points") + ",\n";
  j += "  \"rasterType\": " + JsonText(chart.PixelIsPoint() ? "PixelIsPoint" : "PixelIsArea") + ",\n";
  if (chart.Exact()) {
    const TPixelTransform& t = chart.GeoRef()->Transform();
    j += "  \"transform\": [";
    for (int k = 0; k < 6; ++k) j += (k ? ", " : "") + Num(t.C[k]);
    j += "],\n";
  }
  j += "  \"raster\": {\"samples\": " + JsonText(KindName(r.Kind())) +
       ", \"bits\": " + std::to_string(r.BitsPerSample()) + ", \"compression\": " + std::to_string(r.Compression()) +
       ", \"colours\": " + std::to_string(r.ColourCount()) + ", \"levels\": [";
  for (int k = 0; k < r.LevelCount(); ++k) {
    const TRasterLevel& l = r.Level(k);
    j += std::string(k ? ", " : "") + "{\"width\": " + std::to_string(l.Width) +
         ", \"height\": " + std::to_string(l.Height) + ", \"tiled\": " + (l.Tiled ? "true" : "false") +
         ", \"block\": [" + std::to_string(l.BlockWidth) + ", " + std::to_string(l.BlockHeight) + "]" +
         (l.External ? ", \"external\": true" : "") + "}";
  }
  j += "]},\n";
  j += "  \"pixelSize\": [" + Num(i.PixelSizeX) + ", " + Num(i.PixelSizeY) + "],\n";
  j += RefPointsJson(i.RefPoints);
  j += BorderJson(i.Layout.Border, false);
  j += CornersJson(i.Width, i.Height,
                   [&chart](const TFPoint& px, TFPoint& pos) { return chart.PixelToGeo(px.X, px.Y, pos); });
  j += "}\n";
  std::fputs(j.c_str(), stdout);
  return 0;
}

// The whole raster of one level: palette indexes (one byte a pixel) or RGB
// (three bytes a pixel), or a PNG in the chart's colours.
int RunDecode(const std::string& file, const std::string& out, const std::string* levelText, bool png) {
  TGeoTiffChart chart;
  if (!OpenChart(file, chart, "decode")) return 1;
  TGeoTiffRaster& r = chart.Raster();
  int level = 0;
  if (levelText) {
    const std::optional<double> v = TryStrToFloatDot(*levelText);
    if (!v || *v < 0 || *v >= r.LevelCount() || *v != std::floor(*v)) {
      std::fprintf(stderr, "brtool chart decode: --level is 0 .. %d\n", r.LevelCount() - 1);
      return 2;
    }
    level = static_cast<int>(*v);
  }
  const TRasterLevel& l = r.Level(level);
  TChartImage image;
  if (!image.Allocate(r.Indexed() ? TImageFormat::Indexed8 : TImageFormat::Rgb32, static_cast<int32_t>(l.Width),
                      static_cast<int32_t>(l.Height), kMaxImagePixels)) {
    std::fprintf(stderr, "brtool chart decode: %lld x %lld pixels are too many to decode whole; try --level\n",
                 static_cast<long long>(l.Width), static_cast<long long>(l.Height));
    return 1;
  }
  const auto w = static_cast<int32_t>(l.Width), h = static_cast<int32_t>(l.Height);
  if (r.Indexed()) {
    r.ReadIndexed(level, 0, 0, w, h, 1, 1, image.Pixels.data(), image.Stride);
    image.Palette.assign(r.Colours().begin(), r.Colours().begin() + r.ColourCount());
  } else {
    r.ReadRgb(level, 0, 0, w, h, 1, 1, reinterpret_cast<TRgb*>(image.Pixels.data()), image.Stride / 4);
  }
  std::string bytes, error;
  bool written;
  if (png) {
    written = EncodePNG(image, bytes, &error);
  } else if (r.Indexed()) {
    bytes.assign(image.Pixels.begin(), image.Pixels.end());
    written = true;
  } else {
    bytes.reserve(static_cast<size_t>(w) * h * 3);
    for (int32_t y = 0; y < h; ++y)
      for (int32_t x = 0; x < w; ++x) {
        const TRgb c = image.PixelRgb(x, y);
        bytes += {static_cast<char>(RgbRed(c)), static_cast<char>(RgbGreen(c)), static_cast<char>(RgbBlue(c))};
      }
    written = true;
  }
  if (!written || !AtomicWriteFile(out, bytes, &error)) {
    std::fprintf(stderr, "brtool chart decode: %s\n", error.c_str());
    return 1;
  }
  if (r.BrokenBlocks() > 0) {
    std::fprintf(stderr, "brtool chart decode: %lld %s could not be decoded (left as missing)\n",
                 static_cast<long long>(r.BrokenBlocks()), l.Tiled ? "tiles" : "strips");
    return 3;
  }
  return 0;
}

// One conversion; false (with the message) when it has no answer.
bool Convert(TGeoTiffChart& chart, bool toGeo, double x, double y) {
  if (toGeo) {
    TFPoint pos;
    if (!chart.PixelToGeo(x, y, pos)) {
      std::fprintf(stderr, "brtool chart pix2geo: the pixel has no position\n");
      return false;
    }
    std::printf("%s %s\n", FloatToStrFixedDot(10, pos.X * kRadToDeg).c_str(),
                FloatToStrFixedDot(10, pos.Y * kRadToDeg).c_str());
  } else {
    double px, py;
    if (!chart.GeoToPixel({x * kDegToRad, y * kDegToRad}, px, py)) {
      std::fprintf(stderr, "brtool chart geo2pix: the position cannot be shown on this chart\n");
      return false;
    }
    std::printf("%s %s\n", FloatToStrFixedDot(6, px).c_str(), FloatToStrFixedDot(6, py).c_str());
  }
  return true;
}

// A pair from the command line, or (none given) every line "A B" of
// standard input, one output line each ("null null" for a point without an
// answer, exit code 1 at the end).
int RunConvert(bool toGeo, const std::vector<std::string>& p) {
  TGeoTiffChart chart;
  if (!OpenChart(p[1], chart, toGeo ? "pix2geo" : "geo2pix")) return 1;
  if (p.size() == 4) {
    const std::optional<double> x = TryStrToFloatDot(p[2]), y = TryStrToFloatDot(p[3]);
    if (!x || !y) {
      std::fprintf(stderr, "brtool chart: the two numbers are written with \".\"\n");
      return 2;
    }
    return Convert(chart, toGeo, *x, *y) ? 0 : 1;
  }
  int status = 0;
  char line[512];
  while (std::fgets(line, sizeof line, stdin)) {
    const std::string_view text = TrimText(line);
    const size_t cut = text.find_first_of(" \t,");
    std::optional<double> x, y;
    if (cut != std::string_view::npos) {
      x = TryStrToFloatDot(TrimText(text.substr(0, cut)));
      y = TryStrToFloatDot(TrimText(text.substr(cut + 1)));
    }
    if (!x || !y || !Convert(chart, toGeo, *x, *y)) {
      std::printf("null null\n");
      status = 1;
    }
  }
  return status;
}

}  // namespace

bool IsGeoTiffChart(const std::string& file) { return IsGeoTiffFile(file); }

int RunGeoTiffChart(const std::vector<std::string>& p, const std::string* palette, const std::string* level,
                    bool png) {
  if (p.size() == 2 && p[0] == "info") return RunInfo(p[1]);
  if (p.size() == 3 && p[0] == "decode") {
    if (palette) {
      std::fprintf(stderr, "brtool chart decode: a GeoTIFF has one colour table; --palette is for KAP charts\n");
      return 2;
    }
    return RunDecode(p[1], p[2], level, png);
  }
  if ((p.size() == 2 || p.size() == 4) && (p[0] == "pix2geo" || p[0] == "geo2pix"))
    return RunConvert(p[0] == "pix2geo", p);
  return -1;
}

bool LoadGeoTiffInfo(const std::string& file, RChartInfo& info, std::string& error) {
  TGeoTiffChart chart;
  if (!chart.Open(file, &error)) return false;
  chart.FillInfo(file, info);
  return true;
}
