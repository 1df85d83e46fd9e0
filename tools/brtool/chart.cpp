// brtool chart: what the chart layer reads from a chart file, for checking
// charts by hand and against other programs (GDAL).
//   chart info FILE                 the chart record as JSON, corners in WGS 84
//   chart decode FILE OUT [...]     palette indexes (or a PNG) of the whole chart
//   chart pix2geo FILE X Y          WGS 84 longitude and latitude of a pixel
//   chart geo2pix FILE LON LAT      the pixel of a WGS 84 position
//   chart cal FILE OUT.CAL [--image NAME]  the calibration as a ".CAL" file for an image
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "ChartGeoTiff.h"
#include "ChartJson.h"
#include "Command.h"
#include "charts/ChartFile.h"
#include "charts/ChartGeo.h"
#include "charts/ChartInfo.h"
#include "charts/ForeignHeaders.h"
#include "charts/HeaderText.h"
#include "charts/ImageCalibration.h"
#include "charts/JpegTiffImage.h"
#include "charts/KAPctrl.h"
#include "charts/WCIctrl.h"
#include "foundation/NumText.h"
#include "foundation/Types.h"
#include "geodesy/CTrans.h"
#include "geodesy/Datum.h"
#include "platform/AtomicFile.h"
#include "platform/Paths.h"

namespace {

void Usage() {
  std::fprintf(stderr,
               "usage: brtool chart info FILE\n"
               "       brtool chart decode FILE OUT [--palette day|dusk|night] [--png] [--level N]\n"
               "       brtool chart pix2geo FILE X Y\n"
               "       brtool chart geo2pix FILE LON LAT\n"
               "       brtool chart cal FILE OUT.CAL [--image NAME]\n"
               "  FILE: a KAP chart, a NOS chart's .GEO file, a WCI file, an OziExplorer .MAP file,\n"
               "        a GeoTIFF, or a PNG, BMP, GIF, JPEG or TIFF image with its calibration (.CAL file or\n"
               "        CHARTCAL.DIR)\n"
               "  cal: writes the chart's calibration as OUT.CAL for an image of the same pixels,\n"
               "        named by --image NAME (default: the chart's own file name)\n"
               "  info: the chart record as JSON, with the four corners in WGS 84\n"
               "  decode: KAP/NOS charts: one byte per pixel, top row first, KAP colour index\n"
               "        minus 1 (GDAL's convention); WCI files: the file's own colour index;\n"
               "        GeoTIFF files: palette and grey as their indexes, RGB as three bytes a pixel;\n"
               "        --level N: overview N (0 the full raster);\n"
               "        --png: a PNG in the chart's colours instead.\n"
               "        Exit code 3: written, but some rows could not be decoded\n"
               "  pix2geo, geo2pix: degrees, east and north positive; pixels from the top left\n"
               "        (GeoTIFF files: without the two numbers, one pair a line from standard input)\n");
}

// A chart record read from any file the chart layer knows.
struct TLoaded {
  std::string kind;  // "KAP", "NOS", "MAP", "image"
  RChartInfo info;
  bool isKap = false;
  bool pixelBorder = false;  // the border is in pixels (MAP files)
  int64_t missingRows = 0;
  bool indexRebuilt = false;
};

bool LoadChart(const std::string& file, TLoaded& out, std::string& error) {
  const std::string ext = UpperExt(file);
  TChartHeadBaseCodec::ClearInfo(out.info);
  if (IsGeoTiffChart(file)) {
    out.kind = "GeoTIFF";
    return LoadGeoTiffInfo(file, out.info, error);
  }
  if (ext == ".KAP" || ext == ".GEO") {
    TKAPDecoder d;
    if (d.Open(file) < 0) {
      error = "cannot open the chart: " + d.LastError();
      return false;
    }
    if (!d.ReadInfo(out.info)) {
      error = "the chart header has no KNP/ record";
      return false;
    }
    out.kind = d.IsNOS() ? "NOS" : "KAP";
    out.isKap = FollowsKapDatumRules(file);
    out.missingRows = d.MissingRows();
    out.indexRebuilt = d.IndexRebuilt();
    return true;
  }
  if (ext == ".WCI") {
    TWCIDecoder d;
    if (d.Open(file) <= 0) {
      error = "cannot open the WCI file";
      return false;
    }
    TChartHeadBaseCodec codec;
    codec.LoadFromText(d.HeaderText());
    codec.ReadInfo(out.info);
    if (out.info.Width == 0 || out.info.Height == 0) {
      out.info.Width = d.Width();
      out.info.Height = d.Height();
    }
    out.kind = "WCI";
    return true;
  }
  if (ext == ".MAP") {
    TChartHeadMAPCodec map;
    if (!map.LoadFromFile(file)) {
      error = "cannot read " + file;
      return false;
    }
    if (!map.ReadMAP(out.info)) {
      error = "not an OziExplorer map file with two reference points or more";
      return false;
    }
    out.kind = "MAP";
    out.pixelBorder = true;
    return true;
  }
  if (IsJPEGExtension(ext) || IsTIFFExtension(ext)) {
    // Scans reached by their own name: the calibration kept for them.
    TChartHeadExternalCodec codec;
    if (ReadImageCalibration(file, codec) == kCalNone) {
      error = "no calibration found for " + file;
      return false;
    }
    codec.ReadInfo(out.info);
    if (out.info.Layout.FileName.empty()) out.info.Layout.FileName = ForeignFileName(file);
    if (out.info.Width == 0 || out.info.Height == 0) {
      TChartImage image;
      if (LoadImageFile(file, ext, image)) {
        out.info.Width = image.Width;
        out.info.Height = image.Height;
      }
    }
    out.kind = "image";
    return true;
  }
  TChartHeadExternalCodec codec;
  TChartFile cf(codec);
  cf.SearchPath = file.rfind('/') == std::string::npos ? std::string(".") : file.substr(0, file.rfind('/'));
  cf.AlwaysBuildInfo = true;
  cf.ReadHeader(file, out.info);
  if (!cf.FileFound() || cf.RasterChart()) {
    error = cf.RasterChart() ? "a KAP, NOS or WCI chart is read from its own file" : cf.LastError();
    return false;
  }
  if (!cf.HeaderLoaded()) {
    error = "no calibration found for " + file;
    return false;
  }
  if (out.info.Width == 0 || out.info.Height == 0) {
    RChartInfo scratch;
    if (cf.LoadImage(file, scratch)) {
      out.info.Width = cf.Image().Width;
      out.info.Height = cf.Image().Height;
    }
  }
  out.kind = "image";
  return true;
}

bool SetUp(const TLoaded& chart, TWorldConvert& w, std::string& error) {
  TDatum datum(DatumTableFile(DataDir(), ShippedDataDir()));
  const TChartSetup s = w.SetupChart(ChartGeoRef(chart.info, chart.isKap), datum, TDatumSettings());
  if (s.Error != TSetupError::None || !w.Valid) {
    error = "the chart's georeferencing cannot be set up";
    return false;
  }
  return true;
}

std::string Num(double v) { return JsonNum(v); }
std::string Deg(double radians) { return JsonDeg(radians); }

const char* ProjectionName(int code) {
  static const char* kNames[] = {"none", "Mercator", "Transverse Mercator", "Lambert Conformal Conic",
                                 "Polyconic", "Sinusoidal", "Orthographic", "Vertical Near-Side Perspective"};
  return code >= 0 && code < 8 ? kNames[code] : "unknown";
}

int RunInfo(const std::string& file) {
  TLoaded c;
  std::string error;
  if (!LoadChart(file, c, error)) {
    std::fprintf(stderr, "brtool chart info: %s\n", error.c_str());
    return 1;
  }
  const RChartInfo& i = c.info;
  static const char* kUnits[] = {"unknown", "metres", "feet", "fathoms"};
  std::string j = "{\n";
  j += "  \"file\": " + JsonText(file) + ",\n";
  j += "  \"kind\": " + JsonText(c.kind) + ",\n";
  j += "  \"name\": " + JsonText(i.Layout.Name) + ",\n";
  j += "  \"number\": " + JsonText(i.Number) + ",\n";
  j += "  \"fileName\": " + JsonText(i.Layout.FileName) + ",\n";
  j += "  \"scale\": " + std::to_string(i.Layout.Scale) + ",\n";
  j += "  \"width\": " + std::to_string(i.Width) + ",\n";
  j += "  \"height\": " + std::to_string(i.Height) + ",\n";
  j += "  \"projection\": {\"code\": " + std::to_string(i.Projection) + ", \"name\": " +
       JsonText(ProjectionName(i.Projection)) + ", \"lat0\": " + Deg(i.Lat0) + ", \"lon0\": " + Deg(i.Lon0) +
       ", \"latS\": " + Deg(i.LatS) + ", \"latN\": " + Deg(i.LatN) +
       (i.Projection == kProjPerspective ? ", \"height\": " + Num(i.P3) : std::string()) + "},\n";
  j += "  \"datum\": " + JsonText(i.DatumName) + ",\n";
  j += "  \"datumShift\": {\"lat\": " + Deg(i.DatumShift.Y) + ", \"lon\": " + Deg(i.DatumShift.X) + "},\n";
  j += "  \"depthUnits\": " + JsonText(kUnits[i.DepthUnits < 4 ? i.DepthUnits : 0]) + ",\n";
  j += "  \"pixelSize\": [" + Num(i.PixelSizeX) + ", " + Num(i.PixelSizeY) + "],\n";
  j += "  \"version\": " + Num(i.Version) + ",\n";
  j += RefPointsJson(i.RefPoints);
  j += BorderJson(i.Layout.Border, c.pixelBorder);
  if (c.kind == "KAP" || c.kind == "NOS")
    j += "  \"damage\": {\"indexRebuilt\": " + std::string(c.indexRebuilt ? "true" : "false") +
         ", \"missingRows\": " + std::to_string(c.missingRows) + "},\n";
  TWorldConvert w;
  std::string setupError;
  if (SetUp(c, w, setupError))
    j += CornersJson(i.Width, i.Height, [&w](const TFPoint& px, TFPoint& pos) { return w.PixelToGeo(px, pos); });
  else
    j += "  \"corners\": null\n";
  j += "}\n";
  std::fputs(j.c_str(), stdout);
  return 0;
}

// Writes decoded palette indexes: raw bytes, or a palettised PNG with the
// first `colours` entries of the table. Reports a failure on stderr.
bool WriteDecoded(const std::string& out, std::string& pixels, int width, int height,
                  const std::array<TRgb, 256>& table, int colours, bool png) {
  std::string error;
  bool written;
  if (png) {
    TChartImage image;
    image.Allocate(TImageFormat::Indexed8, width, height, INT64_MAX);
    std::memcpy(image.Pixels.data(), pixels.data(), pixels.size());
    pixels.clear();
    pixels.shrink_to_fit();
    image.Palette.assign(table.begin(), table.begin() + std::clamp(colours, 0, 256));
    std::string bytes;
    written = EncodePNG(image, bytes, &error) && AtomicWriteFile(out, bytes, &error);
  } else {
    written = AtomicWriteFile(out, pixels, &error);
  }
  if (!written) std::fprintf(stderr, "brtool chart decode: %s\n", error.c_str());
  return written;
}

int RunDecodeWci(const std::string& file, const std::string& out, bool png) {
  TWCIDecoder d;
  if (d.Open(file) <= 0) {
    std::fprintf(stderr, "brtool chart decode: cannot open the WCI file\n");
    return 1;
  }
  const size_t w = static_cast<size_t>(d.Width()), h = static_cast<size_t>(d.Height());
  std::string pixels(w * h, '\0');
  d.DecodeLines(0, 0, d.Width(), d.Height(), 1, reinterpret_cast<uint8_t*>(pixels.data()), w);
  std::array<TRgb, 256> table;
  d.FillColourTable(table);
  if (!WriteDecoded(out, pixels, d.Width(), d.Height(), table, d.ColourCount(), png)) return 1;
  if (d.ErrorCount() > 0) {
    std::fprintf(stderr, "brtool chart decode: %lld of %d rows could not be decoded (left as index 0)\n",
                 static_cast<long long>(d.ErrorCount()), d.Height());
    return 3;
  }
  return 0;
}

int RunDecode(const std::string& file, const std::string& out, const std::string* palette, bool png) {
  if (UpperExt(file) == ".WCI") {
    if (palette) {
      std::fprintf(stderr, "brtool chart decode: a WCI file has one colour table; --palette is for KAP charts\n");
      return 2;
    }
    return RunDecodeWci(file, out, png);
  }
  TKAPDecoder d;
  if (d.Open(file) < 0) {
    std::fprintf(stderr, "brtool chart decode: cannot open the chart: %s\n", d.LastError().c_str());
    return 1;
  }
  if (palette) {
    TKAPPalette p;
    if (*palette == "day")
      p = TKAPPalette::Day;
    else if (*palette == "dusk")
      p = TKAPPalette::Dusk;
    else if (*palette == "night")
      p = TKAPPalette::Night;
    else {
      std::fprintf(stderr, "brtool chart decode: --palette is day, dusk or night\n");
      return 2;
    }
    if (!d.SetPalette(p))
      std::fprintf(stderr, "brtool chart decode: the chart has no %s colours; using its RGB colours\n",
                   palette->c_str());
  }
  const size_t w = static_cast<size_t>(d.Width()), h = static_cast<size_t>(d.Height());
  std::string pixels(w * h, '\0');
  d.DecodeRows(0, 0, d.Width(), d.Height(), 1, reinterpret_cast<uint8_t*>(pixels.data()), w);
  std::array<TRgb, 256> table;
  d.FillColourTable(table);
  if (!WriteDecoded(out, pixels, d.Width(), d.Height(), table, 127, png)) return 1;
  if (d.RowErrors() > 0 || d.IndexRebuilt()) {
    std::fprintf(stderr, "brtool chart decode: %s%lld of %d rows could not be decoded (left as index 0)\n",
                 d.IndexRebuilt() ? "the row index is damaged; " : "", static_cast<long long>(d.RowErrors()),
                 d.Height());
    if (d.RowErrors() > 0) return 3;
  }
  return 0;
}

int RunConvert(bool toGeo, const std::string& file, const std::string& a, const std::string& b) {
  const std::optional<double> x = TryStrToFloatDot(a), y = TryStrToFloatDot(b);
  if (!x || !y) {
    std::fprintf(stderr, "brtool chart: the two numbers are written with \".\"\n");
    return 2;
  }
  TLoaded c;
  TWorldConvert w;
  std::string error;
  if (!LoadChart(file, c, error) || !SetUp(c, w, error)) {
    std::fprintf(stderr, "brtool chart: %s\n", error.c_str());
    return 1;
  }
  if (toGeo) {
    TFPoint pos;
    if (!w.PixelToGeo({*x, *y}, pos)) {
      std::fprintf(stderr, "brtool chart pix2geo: the pixel has no position\n");
      return 1;
    }
    std::printf("%s %s\n", FloatToStrFixedDot(10, pos.X * kRadToDeg).c_str(),
                FloatToStrFixedDot(10, pos.Y * kRadToDeg).c_str());
  } else {
    TFPoint pixel;
    if (!ExactGeoToPixel(w, {*x * kDegToRad, *y * kDegToRad}, pixel)) {
      std::fprintf(stderr, "brtool chart geo2pix: the position cannot be shown on this chart\n");
      return 1;
    }
    std::printf("%s %s\n", FloatToStrFixedDot(6, pixel.X).c_str(), FloatToStrFixedDot(6, pixel.Y).c_str());
  }
  return 0;
}

// The chart's calibration as a ".CAL" file for an image of the same pixels
// (an export of the chart to another format): "FN=" names the image.
int RunCal(const std::string& file, const std::string& calFile, const std::string* imageName) {
  TLoaded c;
  std::string error;
  if (!LoadChart(file, c, error)) {
    std::fprintf(stderr, "brtool chart cal: %s\n", error.c_str());
    return 1;
  }
  if (c.pixelBorder) {
    std::fprintf(stderr, "brtool chart cal: a map file's border is in pixels; convert the map first\n");
    return 1;
  }
  RChartInfo info = c.info;
  const std::string name = imageName ? *imageName : ForeignFileName(file);
  if (name.empty() || name.find_first_of("/\\") != std::string::npos) {
    std::fprintf(stderr, "brtool chart cal: --image takes a file name without directory\n");
    return 2;
  }
  info.Layout.FileName = name;
  TChartHeadBaseCodec codec;
  if (!codec.WriteInfo(info) || !codec.SaveToFile(calFile, &error)) {
    std::fprintf(stderr, "brtool chart cal: cannot write %s: %s\n", calFile.c_str(), error.c_str());
    return 1;
  }
  return 0;
}

int RunChart(const BrtoolArgs& all) {
  BrtoolArgs args;
  bool png = false;
  for (const std::string& a : all) {
    if (a == "--png")
      png = true;
    else
      args.push_back(a);
  }
  BrtoolOptions opt;
  if (!ParseBrtoolOptions("chart", args, {"palette", "image", "level"}, opt)) return 2;
  const std::vector<std::string>& p = opt.positional;
  if (p.size() >= 2 && p[0] != "cal" && IsGeoTiffChart(p[1])) {
    const int r = RunGeoTiffChart(p, opt.Get("palette"), opt.Get("level"), png);
    if (r >= 0) return r;
  }
  if (p.size() == 2 && p[0] == "info") return RunInfo(p[1]);
  if (p.size() == 3 && p[0] == "cal") return RunCal(p[1], p[2], opt.Get("image"));
  if (p.size() == 3 && p[0] == "decode") return RunDecode(p[1], p[2], opt.Get("palette"), png);
  if (p.size() == 4 && (p[0] == "pix2geo" || p[0] == "geo2pix")) return RunConvert(p[0] == "pix2geo", p[1], p[2], p[3]);
  Usage();
  return 2;
}

BrtoolCommand cmd{"chart",
                  "chart info|decode|pix2geo|geo2pix|cal FILE ...\n"
                  "                          chart record as JSON, decoded raster, pixel <-> WGS 84",
                  RunChart};

}  // namespace
