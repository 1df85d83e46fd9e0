#include "plotter/core/FirstStart.h"

#include <cstdlib>
#include <filesystem>
#include <system_error>
#include <vector>

#include "charts/ChartList.h"
#include "platform/Paths.h"
#include "plotter/core/FileNames.h"

namespace {

bool Exists(const std::string& path) {
  std::error_code ec;
  return !path.empty() && std::filesystem::exists(path, ec);
}

}  // namespace

bool IsFirstStart(const std::string& settingsFile, const std::string& catalogFile) {
  return !Exists(settingsFile) && !Exists(catalogFile);
}

std::string PrepareFirstStart(const std::string& dataDir, const std::string& chartDir) {
  const std::string data = WithTrailingSlash(dataDir);
  const std::vector<std::string> dirs = SplitDirList(ChartSearchPath(chartDir));
  std::string charts = dirs.empty() ? data + "CHARTS" : dirs.front();
  while (charts.size() > 1 && charts.back() == '/') charts.pop_back();
  std::error_code ec;
  std::filesystem::create_directories(charts, ec);

  // The catalog scan finds the data directory by the same rule as the
  // plotter, provided it sees the same BRISMARE_DIR.
  const char* env = std::getenv("BRISMARE_DIR");
  std::string scan = "teskor -SU";
  if (env && *env) scan = "BRISMARE_DIR=\"" + data + "\" " + scan;

  return "Welcome to Brismare.\n\n"
         "Your settings, chart catalog, routes, tracks and log book are kept in\n" +
         data +
         "\n\n"
         "Put your charts (KAP or NOS charts, WCI files, or PNG, BMP and GIF images with their "
         ".cal calibration) into\n" +
         charts +
         "\n"
         "or name other folders as \"Chart Dir\" in the settings file\n" +
         data + kSettingsFileName +
         "\n(edit it while Brismare is closed).\n\n"
         "Then build the chart catalog with the command\n" +
         scan +
         "\n"
         "and start Brismare again: it shows the charts of the catalog.";
}
