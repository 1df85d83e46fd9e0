// The calibration tool's upkeep of chart directories: removing the
// calibrations of vanished images from a directory's "CHARTCAL.DIR", and the
// directory settings shared with the plotter ("Set Directories").
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

// ---------------------------------------------------------------------------
// Calibrations of images that are gone

// Progress while sections are checked: the text ("Checking " + name), the
// section's position and the number of sections.
using TMaintenanceProgress = std::function<void(const std::string& text, int position, int max)>;

// What a directory's "CHARTCAL.DIR" holds and which of its sections belong
// to images that are not in the directory.
struct TUnusedCalibrations {
  std::string CalFile;                // the "CHARTCAL.DIR" found (any case)
  std::vector<std::string> Sections;  // every section name, in file order
  std::vector<std::string> Missing;   // the names whose image is not there
  // Why the directory could not be checked; then nothing may be removed.
  std::string Error;
  bool Ok() const { return Error.empty(); }
};

// Checks every section of the directory's "CHARTCAL.DIR": its image exists
// when a file or directory of that name, in any case, is in the directory.
// A directory that cannot be listed, a missing "CHARTCAL.DIR" and a file
// that cannot be read give an Error (an unreadable directory would make
// every image look missing).
TUnusedCalibrations FindUnusedCalibrations(const std::string& dir, const TMaintenanceProgress& progress = {});

struct TSectionRemoval {
  int Removed = 0;    // sections removed
  int Remaining = 0;  // sections left in the file
  std::string Error;  // the file is unchanged when set
  bool Ok() const { return Error.empty(); }
};

// Removes the sections of those names (case ignored) from the file in one
// atomic rewrite: the other lines stay, and so does the file's text
// encoding (with its byte-order mark). The file is read again first, so
// sections added since the check stay. Nothing is written when no section
// matches.
TSectionRemoval RemoveCalibrationSections(const std::string& calFile, const std::vector<std::string>& names);

// "---- REMOVE UNUSED CALIBRATION, RESULT ----" and the counts, CR LF lines.
std::string UnusedCalibrationsReport(int removed, int current);

// ---------------------------------------------------------------------------
// Directory settings

// The directory keys of "Program Setup" as stored: relative paths (".\CHARTS")
// are kept as the user wrote them; the programs resolve them when they use
// them.
struct TDirectorySettings {
  std::string ChartDir = ".\\CHARTS";   // "Chart Dir", ";"-separated
  std::string RouteDir = ".\\ROUTES";   // "Route Dir"
  std::string WaypointDir = ".\\WAYPTS";  // "WayPoint Dir"
  std::string TrackDir = ".\\TRACES";   // "Track Dir"
  std::string TempDir;                  // "Temp Dir"
  friend bool operator==(const TDirectorySettings&, const TDirectorySettings&) = default;
};

inline constexpr const char* kDirectorySection = "Program Setup";

// The stored texts (the defaults for missing keys).
TDirectorySettings ReadDirectorySettings(const std::string& iniFile);
// Writes the keys whose text differs between `shown` (what was read) and
// `edited`; a key that did not change is not touched (a missing one stays
// missing). The file is read again first, so other keys written since stay.
// False, with the reason, when it cannot be written; the file is then
// unchanged.
bool SaveDirectorySettings(const std::string& iniFile, const TDirectorySettings& shown,
                           const TDirectorySettings& edited, std::string* error = nullptr);

// "Chart Dir" for editing, one directory per line: every ";" becomes "\n".
std::string ChartDirToLines(std::string_view chartDir);
// The edited lines back into "Chart Dir": lines (CR, LF or CR LF) and
// ";"-separated parts trimmed, empty ones dropped, joined with ";".
std::string ChartDirFromLines(std::string_view text);
// A folder chosen for the chart directory list: a name ending with "\" (a
// drive root "C:\") gets "." appended.
std::string ChartDirLineOfFolder(std::string folder);
