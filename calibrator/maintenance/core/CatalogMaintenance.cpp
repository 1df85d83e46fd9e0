#include "calibrator/maintenance/core/CatalogMaintenance.h"

#include <dirent.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <optional>
#include <utility>

#include "charts/ChartInfo.h"
#include "charts/HeaderText.h"
#include "foundation/IniFile.h"
#include "foundation/TextCodec.h"
#include "platform/AtomicFile.h"
#include "platform/Paths.h"

namespace {

constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";

bool PathExists(const std::string& path) {
  struct stat st{};
  return ::stat(path.c_str(), &st) == 0;
}

// The names in a directory; false when it cannot be listed.
bool ListDirectory(const std::string& dir, std::vector<std::string>& names, std::string& error) {
  DIR* d = ::opendir(dir.c_str());
  if (!d) {
    error = std::strerror(errno);
    return false;
  }
  errno = 0;
  while (dirent* e = ::readdir(d)) {
    const std::string_view name(e->d_name);
    if (name != "." && name != "..") names.emplace_back(name);
    errno = 0;
  }
  const int err = errno;
  ::closedir(d);
  if (err != 0) {
    error = std::strerror(err);
    return false;
  }
  return true;
}

// Whether the image of a section is in the directory, in any case. The
// listing is read once for the whole file: one directory scan per section
// would make a large directory slow.
bool ImagePresent(const std::string& dir, const std::vector<std::string>& listing, const std::string& name) {
  if (name.find_first_of("/\\") != std::string::npos) return FindFileCaseInsensitive(dir, name).has_value();
  if (name.empty() || name.find('\0') != std::string::npos) return false;
  if (PathExists(dir + name)) return true;
  for (const std::string& entry : listing)
    if (SameNameIgnoringCase(entry, name) && PathExists(dir + entry)) return true;
  return false;
}

// The CR LF lines of a header file and how to write them back.
struct THeaderFileText {
  std::vector<std::string> Lines;
  TTextEncoding Encoding = TTextEncoding::Cp1252;
  bool Bom = false;
};

bool ReadHeaderFileText(const std::string& file, THeaderFileText& text, std::string& error) {
  std::string bytes;
  if (!ReadWholeFile(file, bytes, &error, kMaxHeaderFileBytes)) return false;
  text.Bom = bytes.starts_with(kUtf8Bom);
  text.Lines = SplitTextLines(DecodeFileText(bytes, &text.Encoding));
  return true;
}

std::string HeaderFileBytes(const THeaderFileText& text) {
  std::string bytes = EncodeFileText(JoinTextLines(text.Lines), text.Encoding);
  if (text.Bom && text.Encoding == TTextEncoding::Utf8) bytes.insert(0, kUtf8Bom);
  return bytes;
}

}  // namespace

// ---------------------------------------------------------------------------
// Calibrations of images that are gone

TUnusedCalibrations FindUnusedCalibrations(const std::string& dir, const TMaintenanceProgress& progress) {
  TUnusedCalibrations r;
  const std::string base = WithTrailingSlash(dir);
  std::vector<std::string> listing;
  std::string error;
  if (!ListDirectory(base.empty() ? std::string("./") : base, listing, error)) {
    r.Error = "The directory " + dir + " cannot be read (" + error + "); nothing was removed.";
    return r;
  }
  const std::optional<std::string> calFile = FindFileCaseInsensitive(base, kChartCalDirName);
  if (!calFile) {
    r.Error = std::string("There is no ") + kChartCalDirName + " in " + dir + "; nothing was removed.";
    return r;
  }
  r.CalFile = *calFile;
  THeaderFileText text;
  if (!ReadHeaderFileText(r.CalFile, text, error)) {
    r.Error = r.CalFile + " cannot be read (" + error + "); nothing was removed.";
    return r;
  }
  r.Sections = TChartHeadExternalCodec::ListSectionsIn(text.Lines);
  const int count = static_cast<int>(r.Sections.size());
  for (int i = 0; i < count; ++i) {
    const std::string& name = r.Sections[static_cast<size_t>(i)];
    if (progress) progress("Checking " + name, i, count);
    if (!ImagePresent(base, listing, name)) r.Missing.push_back(name);
  }
  return r;
}

TSectionRemoval RemoveCalibrationSections(const std::string& calFile, const std::vector<std::string>& names) {
  TSectionRemoval r;
  THeaderFileText text;
  std::string error;
  if (!ReadHeaderFileText(calFile, text, error)) {
    r.Error = calFile + " cannot be read (" + error + ")";
    return r;
  }
  const int before = static_cast<int>(TChartHeadExternalCodec::ListSectionsIn(text.Lines).size());
  for (const std::string& name : names) TChartHeadExternalCodec::RemoveSectionIn(text.Lines, name);
  const int after = static_cast<int>(TChartHeadExternalCodec::ListSectionsIn(text.Lines).size());
  if (after != before && !AtomicWriteFile(calFile, HeaderFileBytes(text), &error)) {
    r.Remaining = before;
    r.Error = calFile + " cannot be written (" + error + ")";
    return r;
  }
  r.Removed = before - after;
  r.Remaining = after;
  return r;
}

std::string UnusedCalibrationsReport(int removed, int current) {
  return "---- REMOVE UNUSED CALIBRATION, RESULT ----\r\nCalibrations Removed: " + std::to_string(removed) +
         "\r\nCurrent calibrations in file: " + std::to_string(current);
}

// ---------------------------------------------------------------------------
// Directory settings

namespace {

struct TDirectoryKey {
  const char* Key;
  std::string TDirectorySettings::*Value;
};

constexpr TDirectoryKey kDirectoryKeys[] = {
    {"Chart Dir", &TDirectorySettings::ChartDir},  {"Route Dir", &TDirectorySettings::RouteDir},
    {"WayPoint Dir", &TDirectorySettings::WaypointDir}, {"Track Dir", &TDirectorySettings::TrackDir},
    {"Temp Dir", &TDirectorySettings::TempDir},
};

}  // namespace

TDirectorySettings ReadDirectorySettings(const std::string& iniFile) {
  const TIniFile ini(iniFile);
  TDirectorySettings s;
  for (const TDirectoryKey& k : kDirectoryKeys) s.*k.Value = ini.ReadString(kDirectorySection, k.Key, s.*k.Value);
  return s;
}

bool SaveDirectorySettings(const std::string& iniFile, const TDirectorySettings& shown,
                           const TDirectorySettings& edited, std::string* error) {
  try {
    TIniFile ini(iniFile);
    bool changed = false;
    for (const TDirectoryKey& k : kDirectoryKeys) {
      if (shown.*k.Value == edited.*k.Value) continue;
      ini.WriteString(kDirectorySection, k.Key, edited.*k.Value);
      changed = true;
    }
    if (changed) ini.UpdateFile();
    return true;
  } catch (const std::exception& e) {
    if (error) *error = e.what();
    return false;
  }
}

std::string ChartDirToLines(std::string_view chartDir) {
  std::string text(chartDir);
  for (char& c : text)
    if (c == ';') c = '\n';
  return text;
}

std::string ChartDirFromLines(std::string_view text) {
  std::string joined;
  for (const std::string& line : SplitTextLines(text)) {
    // A line may itself hold ";"-separated directories.
    for (const std::string& dir : SplitDirList(line)) {
      if (!joined.empty()) joined += ';';
      joined += dir;
    }
  }
  return joined;
}

std::string ChartDirLineOfFolder(std::string folder) {
  if (!folder.empty() && folder.back() == '\\') folder += '.';
  return folder;
}
