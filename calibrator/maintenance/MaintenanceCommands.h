// The upkeep of the calibration tool's chart directories: "Remove Unused
// Calibrations" (the "Maintenance" submenu of "Tools": the sections of a
// directory's "CHARTCAL.DIR" whose image is gone) and "Set Directories"
// (the dialog T_SetDir; afterwards the chart search path is the one of the
// settings file, whatever the answer).
#pragma once

#include <string>

#include "calibrator/longrun/CommandLock.h"

class QWidget;
class TCalibration;
class TChartList;
struct TTeskorSettings;

class TMaintenanceCommands {
 public:
  // The dialog opens over `window`; the directories are read from and
  // written to the settings file, and the catalog's and the calibration's
  // search paths follow them.
  TMaintenanceCommands(QWidget& window, const std::string& iniFile, const std::string& dataDir,
                       TTeskorSettings& settings, TChartList& catalog, TCalibration& cal,
                       const TCommandServices& services);

  void RemoveUnusedCalibrationsClick();
  void SetDirectoriesClick();

 private:
  QWidget& window_;
  const std::string& iniFile_;
  const std::string& dataDir_;
  TTeskorSettings& settings_;
  TChartList& catalog_;
  TCalibration& cal_;
  TFormDialogs& dialogs_;
  TCommandLock& lock_;
  TMessagePanel& panel_;
};
