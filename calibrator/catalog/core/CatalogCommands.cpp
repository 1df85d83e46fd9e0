#include "calibrator/catalog/core/CatalogCommands.h"

#include <optional>

#include "charts/ChartFile.h"
#include "charts/ChartInfo.h"
#include "charts/ChartList.h"
#include "foundation/Switches.h"
#include "geodesy/Datum.h"
#include "platform/AtomicFile.h"
#include "platform/Paths.h"
#include "plotter/core/FileNames.h"

namespace {


void PrintLine(std::FILE* f, const std::string& line) {
  std::fwrite(line.data(), 1, line.size(), f);
  std::fputc('\n', f);
  std::fflush(f);
}

}  // namespace

std::vector<std::string> CatalogReportLines(const TScanCounters& c, int catalogCount) {
  return {
      "--- AUTOLOAD SCANNING RESULT ---",
      "KAP/GEO Files Found: " + std::to_string(c.KapGeo),
      "WCI Files Found: " + std::to_string(c.Wci),
      "Other Files Found: " + std::to_string(c.Other),
      "Not added, Duplicate Chart Names: " + std::to_string(c.DuplicateNames),
      "Not added, File Name in List: " + std::to_string(c.InList),
      "Not added, Not Calibrated: " + std::to_string(c.NotCalibrated),
      "Total Number of Charts in List: " + std::to_string(catalogCount),
  };
}

bool ScanChartDirectories(TCatalogScanner& scanner, bool ask) {
  const std::vector<std::string> dirs = SplitDirList(scanner.Settings.ChartDir);
  for (size_t i = 0; i < dirs.size(); ++i) {
    ReportProgress("Scanning " + dirs[i], static_cast<int>(i), static_cast<int>(dirs.size()));
    if (scanner.ScanDirectory(dirs[i], ask) < 0) return false;
  }
  return true;
}

void ScanForNewCharts(TCatalogScanner& scanner) {
  scanner.ClearReport();
  ScanChartDirectories(scanner, false);
  scanner.Counters.InList = 0;
}

TCatalogCommandResult RunCatalogCommand(TCatalogCommand command, TCatalogScanner& scanner,
                                        const std::string& indexFile, const std::string& directory) {
  TCatalogCommandResult r;
  TChartList& list = scanner.List();
  switch (command) {
    case TCatalogCommand::Scan:
      ScanForNewCharts(scanner);
      break;
    case TCatalogCommand::Update:
      scanner.ClearReport();
      scanner.RefreshEntries();
      ScanChartDirectories(scanner, false);
      break;
    case TCatalogCommand::Recreate: {
      scanner.ClearReport();
      TChartList fresh;
      fresh.SetSearchPath(list.SearchPath());
      scanner.SetList(fresh);
      const bool complete = ScanChartDirectories(scanner, true);
      scanner.SetList(list);
      if (!complete) {
        r.Cancelled = true;
        return r;
      }
      list.SwapEntries(fresh);
      break;
    }
    case TCatalogCommand::AddDirectory:
      ReportProgress("Scanning " + directory, 0, 0);
      r.Cancelled = scanner.ScanDirectory(directory, true) < 0;
      break;
  }
  ReportProgress("Saving List", 0, 0);
  r.Saved = list.SaveToFile(indexFile, &r.Error);
  return r;
}

bool WantsUnattendedScan(const std::vector<std::string>& params) {
  std::string value;
  return FindSwitch(params, 'S', value) && value.find_first_of("Uu") != std::string::npos;
}

bool KeepDamagedCatalog(const std::string& index, const TCatalogLoadResult& loaded, std::vector<std::string>& lines) {
  lines.push_back(loaded.Message.empty() ? index + " is not a chart catalog" : loaded.Message);
  std::string bytes, error;
  const std::string keep = index + kDamagedSuffix;
  if (!ReadWholeFile(index, bytes, &error) || !AtomicWriteFile(keep, bytes, &error)) {
    lines.push_back("The damaged catalog could not be kept (" + error + "); it was left as it is.");
    return false;
  }
  lines.push_back("The damaged catalog was kept as " + keep + "; " +
                  (loaded.Entries > 0 ? "the " + std::to_string(loaded.Entries) + " charts read from it stay listed."
                                      : std::string("a new one is built.")));
  return true;
}

int RunUnattendedScan(const std::string& dataDirIn, std::FILE* out, std::FILE* err) {
  const std::string dataDir = WithTrailingSlash(dataDirIn);
  const std::string index = dataDir + kCatalogFileName;
  const TCatalogSettings settings = ReadCatalogSettings(dataDir + kSettingsFileName, dataDir);

  std::string error;
  if (!EnsureDefaultDatumFile(dataDir, ShippedDataDir(), &error))
    PrintLine(err, "No datum table in " + dataDir + (error.empty() ? std::string() : ": " + error) +
                       "; only WGS 84 is known.");
  TDatum datum(DatumTableFile(dataDir, std::string()));

  TChartList list;
  const TCatalogLoadResult loaded = list.LoadFromFile(index, std::string());
  switch (loaded.Status) {
    case TCatalogLoad::Unreadable:
      PrintLine(err, loaded.Message);
      PrintLine(err, "The chart catalog " + index + " was left as it is.");
      return kScanCatalogKept;
    case TCatalogLoad::Damaged:
    case TCatalogLoad::WrongMagic: {
      std::vector<std::string> lines;
      const bool kept = KeepDamagedCatalog(index, loaded, lines);
      for (const std::string& line : lines) PrintLine(err, line);
      if (!kept) return kScanCatalogKept;
      break;
    }
    case TCatalogLoad::Loaded:
      if (!loaded.Message.empty()) PrintLine(err, loaded.Message);
      break;
    case TCatalogLoad::Missing:
      break;
  }

  TChartHeadExternalCodec codec;
  TChartFile chartFile(codec);
  chartFile.AlwaysBuildInfo = true;
  chartFile.SearchPath = ChartSearchPath(settings.ChartDir);
  list.SetSearchPath(chartFile.SearchPath);
  TCatalogScanner scanner(list, datum, chartFile);
  scanner.Settings = settings;
  scanner.OnProblem = [err](const std::string& line) { PrintLine(err, line); };
  ScanForNewCharts(scanner);
  for (const std::string& dir : scanner.MissingDirectories) PrintLine(err, "Chart directory not found: " + dir);

  ReportProgress("Saving List", 0, 0);
  const bool saved = list.SaveToFile(index, &error);
  for (const std::string& line : CatalogReportLines(scanner.Counters, list.Count())) PrintLine(out, line);
  if (!saved) {
    PrintLine(err, "The chart catalog " + index + " could not be saved: " + error);
    return kScanNotSaved;
  }
  return kScanDone;
}
