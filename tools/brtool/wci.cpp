// brtool wci: WCI chart files.
//   wci write IN OUT.wci [--ratio R] [--force]   any chart the chart layer
//        reads (KAP, NOS .GEO, WCI, and PNG, BMP, GIF, JPEG or TIFF images
//        with their calibration) as a WCI file carrying its calibration
//        header; 32-bit images are reduced to 256 colours
//   wci info FILE.wci                            header, text and damage as JSON
//   wci export FILE.wci OUT.bmp                  the image as an 8-bit BMP
//   wci cache FILE.wci on|off                    the cache-disabled mark
#include <sys/stat.h>

#include <cstdio>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "Command.h"
#include "charts/ChartFile.h"
#include "charts/ChartInfo.h"
#include "charts/HeaderText.h"
#include "charts/ImageCalibration.h"
#include "charts/ImageChart.h"
#include "charts/JpegTiffImage.h"
#include "charts/KAPctrl.h"
#include "charts/Quantise.h"
#include "charts/WCIWriter.h"
#include "charts/WCIctrl.h"
#include "foundation/GenUtil.h"
#include "foundation/NumText.h"

namespace {

void Usage() {
  std::fprintf(stderr,
               "usage: brtool wci write IN OUT.wci [--ratio R] [--force]\n"
               "       brtool wci info FILE.wci\n"
               "       brtool wci export FILE.wci OUT.bmp\n"
               "       brtool wci cache FILE.wci on|off\n"
               "  write: IN is a KAP chart, a NOS chart's .GEO file, a WCI file, or a PNG, BMP, GIF,\n"
               "         JPEG or TIFF image with its calibration (.CAL file or CHARTCAL.DIR; images of\n"
               "         more than 256 colours are reduced, the colour error is shown); the WCI file gets the\n"
               "         chart's calibration header. --ratio: how much deflate must beat run coding\n"
               "         (default 1.5); --force: replace OUT when it exists\n"
               "  info: the header, the calibration text and the rows that cannot be decoded, as JSON\n"
               "  cache on|off: mark the file so the plotter never keeps it whole in memory, or not\n");
}

std::string BareName(const std::string& path) {
  const size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// A chart to convert: its record and a row source for its pixels.
struct TSourceChart {
  RChartInfo info;
  TKAPDecoder kap;
  TWCIDecoder wci;
  TChartImage image;
  TColourQuantiser quantiser;
  std::unique_ptr<TRgbRows> scan;
  TColourTable colours{};
  std::unique_ptr<TWCIImageSource> source;
};

bool LoadSource(const std::string& file, TSourceChart& c, std::string& error) {
  const std::string ext = UpperExt(file);
  TChartHeadBaseCodec::ClearInfo(c.info);
  if (ext == ".KAP" || ext == ".GEO") {
    if (c.kap.Open(file) < 0) {
      error = "cannot open the chart: " + c.kap.LastError();
      return false;
    }
    if (!c.kap.ReadInfo(c.info)) {
      error = "the chart header has no calibration";
      return false;
    }
    c.kap.FillColourTable(c.colours);
    c.source = std::make_unique<TPagerImageSource>(c.kap, c.colours, 127);
    return true;
  }
  if (ext == ".WCI") {
    if (c.wci.Open(file) <= 0) {
      error = "cannot open the WCI file";
      return false;
    }
    TChartHeadBaseCodec codec;
    codec.LoadFromText(c.wci.HeaderText());
    codec.ReadInfo(c.info);
    c.wci.FillColourTable(c.colours);
    c.source = std::make_unique<TPagerImageSource>(c.wci, c.colours, c.wci.ColourCount());
    return true;
  }
  TChartHeadExternalCodec codec;
  if (IsJPEGExtension(ext) || IsTIFFExtension(ext)) {
    // Scans: the calibration kept for the image's own name.
    if (ReadImageCalibration(file, codec) == kCalNone) {
      error = "no calibration found for " + file;
      return false;
    }
    codec.ReadInfo(c.info);
    // Streamed: the rows are decoded once for the colours and twice by the
    // writer, never held whole.
    c.scan = OpenScanRows(file, ext, &error);
    if (!c.scan) {
      error = "cannot load the image: " + error;
      return false;
    }
    if (c.info.Width > 0 && c.info.Height > 0 && (c.info.Width != c.scan->Width() || c.info.Height != c.scan->Height())) {
      error = "the image size differs from its calibration's; the calibration may not be valid";
      return false;
    }
    if (!c.quantiser.Build(*c.scan)) {
      error = "cannot read the image's rows";
      return false;
    }
    c.source = std::make_unique<TQuantisedRows>(*c.scan, c.quantiser);
    return true;
  } else {
    TChartFile cf(codec);
    cf.SearchPath = file.rfind('/') == std::string::npos ? std::string(".") : file.substr(0, file.rfind('/'));
    cf.AlwaysBuildInfo = true;
    const bool loaded = cf.LoadImage(file, c.info);
    if (!cf.FileFound() || cf.RasterChart()) {
      error = cf.LastError().empty() ? "not a chart file" : cf.LastError();
      return false;
    }
    if (!cf.HeaderLoaded()) {
      error = "no calibration found for " + file;
      return false;
    }
    if (!loaded || cf.Image().Empty()) {
      error = "cannot load the image: " + cf.LastError();
      return false;
    }
    c.image = std::move(cf.Image());
  }
  if (c.info.Width > 0 && c.info.Height > 0 && (c.info.Width != c.image.Width || c.info.Height != c.image.Height)) {
    error = "the image size differs from its calibration's; the calibration may not be valid";
    return false;
  }
  // 32-bit images are reduced to at most 256 colours.
  if (!c.quantiser.Build(c.image)) {
    error = "cannot reduce the image's colours";
    return false;
  }
  c.source = std::make_unique<TChartImageRows>(c.image, &c.quantiser);
  return true;
}

int RunWrite(const std::string& in, const std::string& out, const std::string* ratioText, bool force) {
  TWCIWriter writer;
  if (ratioText) {
    const std::optional<double> r = TryStrToFloatDot(*ratioText);
    if (!r || !(*r > 0)) {
      std::fprintf(stderr, "brtool wci write: --ratio takes a positive number written with \".\"\n");
      return 2;
    }
    writer.CompressionRatio = *r;
  }
  struct stat st{};
  if (!force && ::stat(out.c_str(), &st) == 0) {
    std::fprintf(stderr, "brtool wci write: %s exists (--force replaces it)\n", out.c_str());
    return 1;
  }
  writer.ConfirmReplace = false;
  TSourceChart c;
  std::string error;
  if (!LoadSource(in, c, error)) {
    std::fprintf(stderr, "brtool wci write: %s\n", error.c_str());
    return 1;
  }
  // As the calibration tool stores it: the file name of the WCI file, the
  // size of the image.
  c.info.Layout.FileName = BareName(out);
  if (c.info.Layout.Name.empty()) c.info.Layout.Name = FileBaseName(out);
  c.info.Width = c.source->Width();
  c.info.Height = c.source->Height();
  TChartHeadBaseCodec codec;
  codec.WriteInfo(c.info);
  int64_t size;
  try {
    size = writer.Convert(*c.source, out, codec.Lines);
  } catch (const EWCIConvertError& e) {
    std::fprintf(stderr, "brtool wci write: %s\n", e.what());
    return 1;
  }
  int used = 0;
  for (int v : writer.ColourMap()) used += v >= 0;
  if ((c.scan || c.image.Format == TImageFormat::Rgb32) && !c.quantiser.Stats().Exact)
    std::printf("%s: colours reduced to %d, error rms %s, largest %d\n", out.c_str(),
                c.quantiser.Stats().PaletteColours, FloatToStrFixedDot(2, c.quantiser.Stats().RmsError).c_str(),
                c.quantiser.Stats().MaxError);
  std::printf("%s: %d x %d, %d colours, %lld bytes; rows: %lld one colour, %lld run-coded, %lld deflated\n",
              out.c_str(), c.source->Width(), c.source->Height(), used, static_cast<long long>(size),
              static_cast<long long>(writer.RowCounts().OneColour), static_cast<long long>(writer.RowCounts().Runs),
              static_cast<long long>(writer.RowCounts().Deflated));
  return 0;
}

int RunInfo(const std::string& file) {
  TWCIDecoder d;
  const int64_t size = d.Open(file);
  if (size <= 0) {
    std::fprintf(stderr, "brtool wci info: %s is not a readable WCI file (%lld)\n", file.c_str(),
                 static_cast<long long>(size));
    return 1;
  }
  std::vector<uint8_t> row(static_cast<size_t>(d.Width()));
  for (int32_t y = 0; y < d.Height(); ++y) d.DecodeLines(0, y, d.Width(), 1, 1, row.data(), row.size());
  std::string j = "{\n";
  j += "  \"file\": " + JsonText(file) + ",\n";
  j += "  \"size\": " + std::to_string(size) + ",\n";
  j += "  \"width\": " + std::to_string(d.Width()) + ",\n";
  j += "  \"height\": " + std::to_string(d.Height()) + ",\n";
  j += "  \"depth\": " + std::to_string(d.Depth()) + ",\n";
  j += "  \"colours\": " + std::to_string(d.ColourCount()) + ",\n";
  j += "  \"cacheDisabled\": " + std::string(d.CacheDisabled() ? "true" : "false") + ",\n";
  j += "  \"damagedRows\": " + std::to_string(d.ErrorCount()) + ",\n";
  j += "  \"textCheck\": " + std::string(d.HeaderCheckMatches() ? "true" : "false") + ",\n";
  j += "  \"text\": [";
  const std::vector<std::string> lines = SplitTextLines(d.HeaderText());
  for (size_t i = 0; i < lines.size(); ++i) j += std::string(i ? ",\n    " : "\n    ") + JsonText(lines[i]);
  j += lines.empty() ? "]\n" : "\n  ]\n";
  j += "}\n";
  std::fputs(j.c_str(), stdout);
  return d.ErrorCount() > 0 ? 3 : 0;
}

int RunWci(const BrtoolArgs& all) {
  BrtoolArgs args;
  bool force = false;
  for (const std::string& a : all) {
    if (a == "--force")
      force = true;
    else
      args.push_back(a);
  }
  BrtoolOptions opt;
  if (!ParseBrtoolOptions("wci", args, {"ratio"}, opt)) return 2;
  const std::vector<std::string>& p = opt.positional;
  if (p.size() == 3 && p[0] == "write") return RunWrite(p[1], p[2], opt.Get("ratio"), force);
  if (p.size() == 2 && p[0] == "info") return RunInfo(p[1]);
  if (p.size() == 3 && p[0] == "export") {
    TWCIDecoder d;
    const int64_t rows = d.ExportBMP(p[1], p[2]);
    if (rows <= 0) {
      std::fprintf(stderr, "brtool wci export: cannot export %s to %s\n", p[1].c_str(), p[2].c_str());
      return 1;
    }
    return 0;
  }
  if (p.size() == 3 && p[0] == "cache" && (p[2] == "on" || p[2] == "off")) {
    TWCIDecoder d;
    // Cache on: the disabling bit off.
    const int old = d.SetAttributeBit(p[1], 3, 1, p[2] == "off");
    if (old < 0) {
      std::fprintf(stderr, "brtool wci cache: cannot change %s (%d)\n", p[1].c_str(), old);
      return 1;
    }
    return 0;
  }
  Usage();
  return 2;
}

BrtoolCommand cmd{"wci",
                  "wci write|info|export|cache ...\n"
                  "                          convert charts to WCI, show, export or mark WCI files",
                  RunWci};

}  // namespace
