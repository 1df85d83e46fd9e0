// "Remove Unused  Calibrations" and "Set Directories". The work is done by
// core/CatalogMaintenance.h and the dialog T_SetDir; these ask their
// questions, show the message panel and report.
#include "calibrator/maintenance/MaintenanceCommands.h"

#include <optional>

#include "calibrator/calibration/core/Calibration.h"
#include "calibrator/dialogs/FormDialogs.h"
#include "calibrator/longrun/MessagePanel.h"
#include "calibrator/maintenance/SetDirDialog.h"
#include "calibrator/maintenance/core/CatalogMaintenance.h"
#include "calibrator/start/core/TeskorStart.h"
#include "charts/ChartList.h"
#include "platform/FileDialogs.h"
#include "platform/Questions.h"

TMaintenanceCommands::TMaintenanceCommands(QWidget& window, const std::string& iniFile, const std::string& dataDir,
                                           TTeskorSettings& settings, TChartList& catalog, TCalibration& cal,
                                           const TCommandServices& services)
    : window_(window),
      iniFile_(iniFile),
      dataDir_(dataDir),
      settings_(settings),
      catalog_(catalog),
      cal_(cal),
      dialogs_(services.Dialogs),
      lock_(services.Lock),
      panel_(services.Panel) {}

void TMaintenanceCommands::RemoveUnusedCalibrationsClick() {
  dialogs_.Say("Calibration data for image files not found in\r\nselected directory will be removed to save space.",
               mfIconInformation);
  const std::optional<std::string> dir = PickFolderDialog("Directory to check:", std::string());
  if (!dir) return;
  TUnusedCalibrations plan;
  {
    TLongRun run(lock_, false);
    if (!run.Started()) return;
    plan = FindUnusedCalibrations(
        *dir, [this](const std::string& text, int position, int max) { panel_.Show(text, position, max); });
  }
  if (!plan.Ok()) {
    dialogs_.Say(plan.Error, mfIconError);
    return;
  }
  const int sections = static_cast<int>(plan.Sections.size());
  if (plan.Missing.empty()) {
    dialogs_.Say(UnusedCalibrationsReport(0, sections), mfIconInformation);
    return;
  }
  if (!dialogs_.AskYes(std::to_string(plan.Missing.size()) + " of " + std::to_string(sections) + " calibrations in " +
                       plan.CalFile + " belong to images that are not there.\r\nRemove them?"))
    return;
  const TSectionRemoval r = RemoveCalibrationSections(plan.CalFile, plan.Missing);
  if (!r.Ok()) {
    dialogs_.Say(r.Error + "; nothing was removed.", mfIconError);
    return;
  }
  dialogs_.Say(UnusedCalibrationsReport(r.Removed, r.Remaining), mfIconInformation);
}

void TMaintenanceCommands::SetDirectoriesClick() {
  {
    T_SetDir dialog(iniFile_, dataDir_, &window_);
    dialogs_.Translate({&dialog});
    dialogs_.Exec(dialog);
  }
  // Whatever the answer, the chart directories are those of the file now.
  settings_.Catalog = ReadCatalogSettings(iniFile_, dataDir_);
  const std::string searchPath = ChartSearchPath(settings_.Catalog.ChartDir);
  catalog_.SetSearchPath(searchPath);
  cal_.SetSearchPath(searchPath);
}
