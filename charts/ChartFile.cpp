#include "charts/ChartFile.h"

#include <sys/stat.h>

#include "charts/FileNames.h"
#include "charts/HeaderText.h"
#include "platform/Paths.h"

namespace {

bool IsRegularFile(const std::string& path) {
  struct stat st{};
  return !path.empty() && ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

// The file `name` (relative, possibly with directories) in `dir` ("" the
// current directory), ignoring case; "" when there is no such file.
std::string FindIn(const std::string& dir, const std::string& name) {
  if (name.empty()) return std::string();
  const std::string direct = dir.empty() ? name : WithTrailingSlash(dir) + name;
  if (IsRegularFile(direct)) return direct;
  const auto found = FindFileCaseInsensitive(dir, name);
  return found && IsRegularFile(*found) ? *found : std::string();
}

int TypeIndexOf(const std::string& upperExt) {
  static constexpr const char* kTypes[] = {".BMP", ".PNG", ".GIF", ".KAP", ".WCI", ".CAL"};
  const std::string ext = upperExt == ".GEO" ? ".KAP" : upperExt;
  for (int i = 0; i < 6; ++i)
    if (ext == kTypes[i]) return i;
  return -1;
}

}  // namespace

std::string TChartFile::ResolveChartFile(const std::string& name, const std::string& searchPath,
                                         const std::string& firstDir) {
  if (name.empty() || name.find('\0') != std::string::npos) return std::string();
  std::vector<std::string> dirs;
  if (!firstDir.empty()) dirs.push_back(firstDir);
  for (const std::string& d : SplitDirList(searchPath)) dirs.push_back(ToNativePath(d));

  const std::string bare = ForeignFileName(name);
  if (IsForeignPath(name)) {
    // A Windows path: only its file name means anything here.
    for (const std::string& d : dirs)
      if (std::string hit = FindIn(d, bare); !hit.empty()) return hit;
    return std::string();
  }
  const std::string native = ToNativePath(name);
  if (IsAbsolutePath(native)) {
    if (IsRegularFile(native)) return native;
    if (std::string hit = FindIn("/", native.substr(1)); !hit.empty()) return hit;
    for (const std::string& d : dirs)
      if (std::string hit = FindIn(d, bare); !hit.empty()) return hit;
    return std::string();
  }
  if (firstDir.empty())
    if (std::string hit = FindIn(std::string(), native); !hit.empty()) return hit;
  for (const std::string& d : dirs)
    if (std::string hit = FindIn(d, native); !hit.empty()) return hit;
  return std::string();
}

void TChartFile::Reset() {
  image_.Clear();
  headerLoaded_ = false;
  imageLoaded_ = false;
}

bool TChartFile::ReadHeader(const std::string& name, RChartInfo& info) {
  Reset();
  raster_ = false;
  found_ = false;
  calSource_ = kCalNone;
  typeIndex_ = -1;
  fileName_.clear();
  directory_.clear();
  upperExt_.clear();
  upperBare_.clear();
  calFile_.clear();
  calDirFile_.clear();
  lastError_.clear();

  const std::string path = ResolveChartFile(name, SearchPath);
  if (path.empty()) {
    lastError_ = "chart file not found: " + name;
    return false;
  }
  auto take = [this](const std::string& file) {
    fileName_ = file;
    directory_ = DirectoryOf(file);
    upperExt_ = UpperExtension(file);
    upperBare_ = UpperAscii(ForeignFileName(file));
    typeIndex_ = TypeIndexOf(upperExt_);
  };
  take(path);
  if (typeIndex_ < 0) {
    lastError_ = "not a chart file type: " + path;
    return false;
  }
  const std::string dirForLookup = directory_.empty() ? std::string(".") : directory_;
  // KAP and WCI charts carry their calibration: the directory's
  // "CHARTCAL.DIR" is looked for only for the others.
  const bool builtIn = typeIndex_ == kTypeKAP || typeIndex_ == kTypeWCI;
  const std::string calDirFound = builtIn ? std::string() : FindIn(directory_, kChartCalDirName);
  if (!builtIn) calDirFile_ = calDirFound.empty() ? directory_ + kChartCalDirName : calDirFound;

  if (typeIndex_ == kTypeCAL) {
    calSource_ = kCalOwnFile;
    calFile_ = path;
    if (!codec_.LoadFromFile(path)) {
      lastError_ = "cannot read " + path;
      return false;
    }
    // The image named by "FN=": beside the ".CAL" file, else in the chart
    // directories.
    const std::string image = ResolveChartFile(ForeignFileName(codec_.GetValue("FN=")), SearchPath, dirForLookup);
    if (image.empty()) {
      lastError_ = "the image named in " + path + " was not found";
      return false;
    }
    headerLoaded_ = true;
    take(image);
  } else if (builtIn) {
    calSource_ = kCalBuiltIn;
  } else {
    const std::string base = ForeignFileName(path);
    const size_t dot = base.rfind('.');
    calFile_ = FindIn(directory_, base.substr(0, dot) + ".CAL");
    if (!calFile_.empty())
      calSource_ = kCalOwnFile;
    else if (!calDirFound.empty())
      calSource_ = kCalSection;
  }
  found_ = true;

  if (builtIn) {
    raster_ = true;
    return false;
  }
  if (!AlwaysBuildInfo && calSource_ == kCalNone) return false;
  TChartHeadBaseCodec::ClearInfo(info);
  if (!headerLoaded_) {
    if (calSource_ == kCalOwnFile)
      headerLoaded_ = codec_.LoadFromFile(calFile_);
    else if (calSource_ == kCalSection)
      headerLoaded_ = codec_.ReadSection(calDirFile_, ForeignFileName(fileName_));
  }
  if (!headerLoaded_) return false;
  const bool ok = codec_.ReadInfo(info);
  if (info.Layout.FileName.empty()) info.Layout.FileName = ForeignFileName(fileName_);
  return ok;
}

bool TChartFile::LoadImage(const std::string& name, RChartInfo& info) {
  ReadHeader(name, info);
  if (!found_ || raster_) return false;
  std::string error;
  if (!LoadImageFile(fileName_, upperExt_, image_, &error, OtherImageLoader)) {
    lastError_ = error;
    image_.Clear();
    return false;
  }
  if (upperExt_ == ".GIF" && Brightness != 0)
    for (TRgb& c : image_.Palette) c = ShadeRgb(Brightness, c);
  imageLoaded_ = true;
  // An image without a calibration is loaded (the calibration tool works
  // on it) but is no chart: the result says so, unless the caller asked for
  // a record built without one.
  if (!headerLoaded_ && !AlwaysBuildInfo) {
    if (lastError_.empty()) lastError_ = "no calibration found for " + fileName_;
    return false;
  }
  return true;
}
