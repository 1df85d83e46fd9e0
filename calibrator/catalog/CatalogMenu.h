// The calibration tool's chart catalog, the "Autoload List" submenu of
// "Tools": "Scan for New Charts", "Update", "Recreate" and "Add Directory"
// (shown with the start switch O letter D). Each closes the open image,
// scans, saves the catalog and, but for "Add Directory", shows the report
// and the "Problem Charts". One scanner serves the whole run, so that "Add
// Directory" adds to the counts of the last report.
#pragma once

#include <string>

#include "calibrator/catalog/core/CatalogCommands.h"
#include "calibrator/longrun/CommandLock.h"
#include "charts/ChartFile.h"

class IOpenImage;
class TCalibration;
class TChartAvail;
class TChartList;
class TDatFrm;
class TDatum;
class TSpyFrm;
struct TTeskorSettings;

// The windows the commands show.
struct TCatalogWindows {
  TChartAvail& ChartAvail;  // listed again when next shown
  TDatFrm& DatFrm;          // a chart's datum not in the table
  TSpyFrm& ProblemCharts;
};

class TCatalogMenu {
 public:
  // The catalog file is the data directory's. `locked`: it could not be
  // read, or a damaged one could not be kept aside, at the start; the
  // commands then leave it alone.
  TCatalogMenu(TChartList& catalog, TDatum& datums, const TTeskorSettings& settings, const std::string& dataDir,
               bool locked, TCalibration& cal, IOpenImage& image, const TCatalogWindows& windows,
               const TCommandServices& services);

  void ScanForNewChartsClick();
  void UpdateCatalogClick();
  void RecreateCatalogClick();
  void AddDirectoryClick();

 private:
  // The scanner with the directories of the settings as they are now.
  TCatalogScanner& Scanner();
  // False, with a message, when the catalog file must be left alone.
  bool CatalogWritable();
  // The start shared by "Scan for New Charts", "Update" and "Recreate":
  // false when the user keeps unsaved changes.
  bool BeginCatalogCommand(bool recreate);
  void RunCatalog(TCatalogCommand command, const std::string& directory = {});

  TChartList& catalog_;
  TDatum& datums_;
  const TTeskorSettings& settings_;
  const std::string& dataDir_;
  const bool catalogLocked_;
  TCalibration& cal_;
  IOpenImage& image_;
  TCatalogWindows windows_;
  TFormDialogs& dialogs_;
  TCommandLock& lock_;
  TMessagePanel& panel_;
  TChartHeadExternalCodec scanCodec_;
  TChartFile scanFile_;
  TCatalogScanner scanner_;
};
