#include "charts/CatalogScan.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <exception>

#include "charts/ByteOrder.h"
#include "charts/FileNames.h"
#include "charts/GeoTiffCatalog.h"
#include "charts/GeoTiffChart.h"
#include "charts/HeaderText.h"
#include "charts/KAPctrl.h"
#include "charts/WCIctrl.h"
#include "foundation/GenUtil.h"
#include "foundation/IniFile.h"
#include "geodesy/Datum.h"
#include "platform/Paths.h"

// ---------------------------------------------------------------------------
// Settings

TCatalogSettings ReadCatalogSettings(const std::string& iniFile, const std::string& dataDir) {
  constexpr const char* kSection = "Program Setup";
  const TIniFile ini(iniFile);
  TCatalogSettings s;
  const std::string raw = ini.ReadString(kSection, "Chart Dir", ".\\CHARTS");
  const std::string base = WithTrailingSlash(dataDir);
  for (const std::string& entry : SplitDirList(raw)) {
    if (!s.ChartDir.empty()) s.ChartDir += ';';
    // A one-character entry (a drive letter, ".") is kept as it is, as the
    // plotter does.
    s.ChartDir += entry.size() <= 1 ? entry : ResolveStoredPath(entry, base);
  }
  s.UseChartNumbers = ini.ReadBool(kSection, "Use Chart Numbers", false);
  s.Datum.KapZeroShiftMode = ini.ReadInteger(kSection, "Use KAP zero shift", 2);
  if (s.Datum.KapZeroShiftMode < 0 || s.Datum.KapZeroShiftMode > 3) s.Datum.KapZeroShiftMode = 2;
  s.Datum.ReverseKapShift = ini.ReadBool(kSection, "Reverse KAP zero shift", true);
  return s;
}

// ---------------------------------------------------------------------------
// Image sizes

bool ImageSizeFromHeader(std::string_view b, int32_t& width, int32_t& height) {
  const auto* p = reinterpret_cast<const uint8_t*>(b.data());
  int64_t w = 0, h = 0;
  if (b.size() >= 24 && b.substr(0, 8) == std::string_view("\x89PNG\r\n\x1a\n", 8) && b.substr(12, 4) == "IHDR") {
    w = GetBe32(p + 16);
    h = GetBe32(p + 20);
  } else if (b.size() >= 10 && (b.substr(0, 6) == "GIF87a" || b.substr(0, 6) == "GIF89a")) {
    w = GetLe16(p + 6);
    h = GetLe16(p + 8);
  } else if (b.size() >= 26 && b.substr(0, 2) == "BM") {
    const uint32_t infoSize = GetLe32(p + 14);
    if (infoSize == 12) {
      w = GetLe16(p + 18);
      h = GetLe16(p + 20);
    } else if (infoSize >= 40) {
      w = static_cast<int32_t>(GetLe32(p + 18));
      h = static_cast<int32_t>(GetLe32(p + 22));
      if (h < 0) h = -h;  // top-down rows
    }
  }
  if (w <= 0 || h <= 0 || w > INT32_MAX || h > INT32_MAX) return false;
  width = static_cast<int32_t>(w);
  height = static_cast<int32_t>(h);
  return true;
}

bool ImageSizeOfFile(const std::string& path, int32_t& width, int32_t& height) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  char buf[32];
  ssize_t n;
  do n = ::pread(fd, buf, sizeof buf, 0);
  while (n < 0 && errno == EINTR);
  ::close(fd);
  return n > 0 && ImageSizeFromHeader(std::string_view(buf, static_cast<size_t>(n)), width, height);
}

namespace {

bool IsScannedExtension(const std::string& upperExt) {
  static constexpr std::string_view kTypes = ".BMP.PNG.GIF.KAP.WCI.CAL.GEO.";
  return upperExt.size() == 4 && kTypes.find(upperExt + ".") != std::string_view::npos;
}

struct TDirEntry {
  std::string key;  // name upper-cased, for the order
  std::string name;
  bool dir = false;
};

// The entries of a directory (following symbolic links), in name order
// ignoring case, names of equal case-folded text in byte order. False when
// the directory cannot be read.
bool ListDirectory(const std::string& dir, std::vector<TDirEntry>& out) {
  DIR* d = ::opendir(dir.c_str());
  if (!d) return false;
  while (const dirent* e = ::readdir(d)) {
    const std::string name = e->d_name;
    if (name == "." || name == "..") continue;
    struct stat st{};
    if (::stat((dir + name).c_str(), &st) != 0) continue;  // a dangling link
    if (!S_ISDIR(st.st_mode) && !S_ISREG(st.st_mode)) continue;
    out.push_back({CatalogUpper(name), name, S_ISDIR(st.st_mode)});
  }
  ::closedir(d);
  std::sort(out.begin(), out.end(), [](const TDirEntry& a, const TDirEntry& b) {
    return a.key != b.key ? a.key < b.key : a.name < b.name;
  });
  return true;
}

}  // namespace

// ---------------------------------------------------------------------------
// The scan

TCatalogScanner::TCatalogScanner(TChartList& list, TDatum& datum, TChartFile& chartFile)
    : list_(&list),
      datum_(datum),
      chartFile_(chartFile),
      kap_(std::make_unique<TKAPDecoder>()),
      wci_(std::make_unique<TWCIDecoder>()) {}

TCatalogScanner::~TCatalogScanner() = default;

void TCatalogScanner::ClearReport() {
  declined_.clear();
  Counters = TScanCounters();
  Problems.clear();
  MissingDirectories.clear();
}

void TCatalogScanner::Problem(std::string line) {
  if (OnProblem) OnProblem(line);
  Problems.push_back(std::move(line));
}

int TCatalogScanner::ScanDirectory(const std::string& directory, bool ask) {
  std::string dir = directory;
  const bool recursive = dir.find('*') != std::string::npos;
  std::erase(dir, '*');
  dir = WithTrailingSlash(ToNativePath(TrimText(dir)));
  if (dir.empty()) dir = "./";
  visited_.clear();
  struct stat st{};
  if (::stat(dir.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
    MissingDirectories.push_back(directory);
    return 0;
  }
  return ScanDir(dir, recursive, ask, 0);
}

int TCatalogScanner::ScanDir(const std::string& dir, bool recursive, bool ask, int depth) {
  struct stat st{};
  if (::stat(dir.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
    Problem("Critical error in dir " + dir);
    return 0;
  }
  // A directory reached again through a symbolic link is not scanned twice
  // (and a link to an ancestor does not loop).
  if (!visited_.insert({static_cast<uint64_t>(st.st_dev), static_cast<uint64_t>(st.st_ino)}).second) return 0;
  std::vector<TDirEntry> entries;
  if (!ListDirectory(dir, entries)) {
    Problem("Critical error in dir " + dir);
    return 0;
  }
  int result = 0;
  if (recursive) {
    for (const TDirEntry& e : entries) {
      if (!e.dir) continue;
      const std::string sub = dir + e.name + "/";
      if (depth >= kMaxDepth) {
        Problem("Critical error in dir " + sub);
        continue;
      }
      const int r = ScanDir(sub, true, ask, depth + 1);
      if (r < 0) return -1;
      result += r;
    }
  }
  for (const TDirEntry& e : entries) {
    // TIFF files count when they carry a georeference (GeoTIFF); TIFF scans
    // come in through their ".CAL" files as before.
    if (e.dir || !(IsScannedExtension(UpperExtension(e.name)) || IsGeoTiffFile(dir + e.name))) continue;
    const int r = ScanFile(dir + e.name, ask);
    if (r < 0) return -1;
    result += r;
  }
  return result;
}

int TCatalogScanner::ScanFile(const std::string& path, bool ask) {
  try {
    return ScanChart(path, ask);
  } catch (const std::exception&) {
    Problem("Critical error in file " + path);
    return 0;
  }
}

int TCatalogScanner::ScanChart(const std::string& path, bool ask) {
  TChartRead r = ReadChart(path, true);
  switch (r.Kind) {
    case TChartRead::Listed:
      ++Counters.InList;
      return 0;
    case TChartRead::Kap:
      ++Counters.KapGeo;
      break;
    case TChartRead::Wci:
      ++Counters.Wci;
      break;
    case TChartRead::Other:
      ++Counters.Other;
      break;
    case TChartRead::None:
      break;
  }
  if (r.BadDatum) Problem("Bad Datum: " + path);
  if (!r.Problem.empty()) {
    Problem(std::move(r.Problem));
    if (r.NotCalibrated) ++Counters.NotCalibrated;
    return 1;
  }
  const int added = list_->AddEntry(r.Layout, ask);
  if (added < 1) {
    Problem("DupName: " + path);
    ++Counters.DuplicateNames;
  }
  return added < 0 ? -1 : 1;
}

TCatalogScanner::TChartRead TCatalogScanner::ReadChart(const std::string& path, bool skipListed) {
  TChartRead out;
  if (skipListed && list_->FindByFileName(path) >= 0) {
    out.Kind = TChartRead::Listed;
    return out;
  }
  const std::string ext = UpperExtension(path);
  // A GeoTIFF is placed by its own georeference, its border already WGS 84.
  if (TGeoTiffScan g; ScanGeoTiff(path, g)) {
    out.Kind = TChartRead::Other;
    out.Layout = std::move(g.Layout);
    out.Problem = std::move(g.Problem);
    out.NotCalibrated = g.NotCalibrated;
    return out;
  }
  RChartInfo info;
  TChartHeadBaseCodec::ClearInfo(info);
  const bool calibrated = chartFile_.ReadHeader(path, info);
  // A ".CAL" file brings in the image it names: when that image is listed,
  // so is the chart.
  if (skipListed && chartFile_.FileFound() && chartFile_.FileName() != path &&
      list_->FindByFileName(chartFile_.FileName()) >= 0) {
    out.Kind = TChartRead::Listed;
    return out;
  }
  bool raster = false;
  const bool isKap = FollowsKapDatumRules(path);
  std::string fileName = chartFile_.FileFound() ? chartFile_.FileName() : path;
  if (calibrated) {
    out.Kind = TChartRead::Other;
  } else if (chartFile_.RasterChart()) {
    fileName = path;
    TChartHeadBaseCodec::ClearInfo(info);
    if (ext == ".KAP" || ext == ".GEO") {
      if (kap_->ReadHeaderOnly(path) && kap_->ReadInfo(info)) {
        raster = true;
        out.Kind = TChartRead::Kap;
      } else {
        TChartHeadBaseCodec::ClearInfo(info);
      }
    } else if (ext == ".WCI") {
      if (wci_->ReadHeaderOnly(path) == 1) {
        TChartHeadBaseCodec text;
        text.LoadFromText(wci_->HeaderText());
        text.ReadInfo(info);
        // The raster's own size counts, whatever the text says.
        info.Width = wci_->Width();
        info.Height = wci_->Height();
        raster = true;
        out.Kind = TChartRead::Wci;
      }
    }
    if (raster && Settings.UseChartNumbers && !info.Number.empty())
      info.Layout.Name += ":" + info.Number;
  }

  // Without a border and two reference points the chart cannot be placed;
  // without a scale it cannot be ranked against the others.
  if (info.Layout.Border.size() < 3 || info.RefPoints.size() < 2) {
    out.Problem = "No Cal: " + path;
    out.NotCalibrated = true;
    return out;
  }
  if (info.Layout.Scale <= 0) {
    out.Problem = "No Scale: " + path;
    out.NotCalibrated = true;
    return out;
  }
  // A chart without a name would be dropped when the catalog is next read.
  if (info.Layout.Name.empty()) info.Layout.Name = FileBaseName(fileName);

  // The datum decision and the border in WGS 84.
  const RGeoRef ref = ChartGeoRef(info, isKap);
  TChartDatum decision;
  // A datum the user declined is not asked about again in this run: one
  // question per name, not one per chart.
  const TDatumAliasAsk ask2 = [this](const std::string& name) {
    if (!AskDatumAlias || declined_.count(name) > 0) return false;
    if (AskDatumAlias(name)) return true;
    declined_.insert(name);
    return false;
  };
  TFPointArray border = ChartBorderToWgs84(ref, datum_, Settings.Datum, ask2, &decision);
  out.BadDatum = decision.Asked && decision.AliasDeclined;

  // Bounds: the image corners through the chart's own calibration, brought
  // to WGS 84 by the same decision as the border, so that the two tests of
  // a position agree.
  TWorldConvert w;
  if (!w.SetupProjection(ref) || !w.SetRefPoints(info.RefPoints) || !w.Fit()) {
    out.Problem = "Critical error in file " + path;
    return out;
  }
  int32_t width = info.Width, height = info.Height;
  if ((width <= 0 || height <= 0) && !raster) {
    int32_t iw = 0, ih = 0;
    if (ImageSizeOfFile(fileName, iw, ih)) {
      width = iw;
      height = ih;
    }
  }
  TFPointArray corners;
  if (width > 0 && height > 0) {
    const double W = width, H = height;
    for (const TFPoint& px : {TFPoint{0, 0}, TFPoint{W, 0}, TFPoint{W, H}, TFPoint{0, H}}) {
      TFPoint g;
      if (!w.PixelToGeo(px, g)) {
        out.Problem = "Critical error in file " + path;
        return out;
      }
      corners.push_back(decision.Rule == TChartShiftRule::Datum
                            ? datum_.ShiftPosition(g)
                            : TFPoint{g.X + decision.OwnShift.X, g.Y + decision.OwnShift.Y});
    }
  } else {
    // An image of unknown size: the border is inside it.
    corners = border;
  }
  TFRect bounds{-INFINITY, -INFINITY, INFINITY, INFINITY};
  for (const TFPoint& c : corners) {
    bounds.X1 = std::max(bounds.X1, c.X);
    bounds.Y1 = std::max(bounds.Y1, c.Y);
    bounds.X2 = std::min(bounds.X2, c.X);
    bounds.Y2 = std::min(bounds.Y2, c.Y);
  }
  bool finite = std::isfinite(bounds.X1) && std::isfinite(bounds.Y1) && std::isfinite(bounds.X2) &&
                std::isfinite(bounds.Y2);
  for (const TFPoint& b : border) finite = finite && std::isfinite(b.X) && std::isfinite(b.Y);
  if (!finite) {
    out.Problem = "Critical error in file " + path;
    return out;
  }

  out.Layout = info.Layout;
  out.Layout.Border = std::move(border);
  out.Layout.BorderCount = static_cast<uint16_t>(out.Layout.Border.size());
  out.Layout.Bounds = bounds;
  out.Layout.FileName = fileName;
  return out;
}

// ---------------------------------------------------------------------------
// The refresh

void TCatalogScanner::RefreshEntries() {
  const int count = list_->Count();
  const std::string& searchPath = list_->SearchPath();
  for (int i = 0; i < count; ++i) {
    const std::string stored = list_->GetFileName(i);
    // The chart as found now: the path stored, else by its name over the
    // chart directories (a catalog made on another machine).
    const std::string file = FindCatalogChartFile(stored, searchPath);
    if (file.empty()) {
      Problem("Not found: " + stored);
      continue;
    }
    try {
      TChartRead r = ReadChart(file, false);
      if (!r.Problem.empty()) {
        // The entry stays as it was: a chart that cannot be read now may be
        // on a disk that is not mounted.
        Problem(std::move(r.Problem));
        continue;
      }
      ReportProgress("Updating " + r.Layout.Name, i, count);
      if (r.BadDatum) Problem("Bad Datum: " + list_->Entry(i)->Name);
      r.Layout.FileName = stored;
      if (!list_->ReplaceEntry(i, r.Layout)) Problem("Critical error in file " + stored);
    } catch (const std::exception&) {
      Problem("Critical error in file " + stored);
    }
  }
}
