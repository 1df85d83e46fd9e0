// "Remove Unused  Calibrations" and "Set Directories".
#include <optional>
#include <string>

#include "calibrator/MainForm.h"
#include "calibrator/longrun/CommandLock.h"
#include "calibrator/longrun/MessagePanel.h"
#include "calibrator/maintenance/SetDirDialog.h"
#include "calibrator/maintenance/core/CatalogMaintenance.h"
#include "charts/ChartList.h"
#include "platform/FileDialogs.h"
#include "platform/Questions.h"

void T_Form::RemoveUnusedCalibrationsClick() {
  dialogs_->Say("Calibration data for image files not found in\r\nselected directory will be removed to save space.",
      mfIconInformation);
  const std::optional<std::string> dir = PickFolderDialog("Directory to check:", std::string());
  if (!dir) return;
  TUnusedCalibrations plan;
  {
    TLongRun run(*lock_, false);
    if (!run.Started()) return;
    plan = FindUnusedCalibrations(*dir, [this](const std::string& text, int position, int max) {
      panel_->Show(text, position, max);
    });
  }
  if (!plan.Ok()) {
    dialogs_->Say(plan.Error, mfIconError);
    return;
  }
  const int sections = static_cast<int>(plan.Sections.size());
  if (plan.Missing.empty()) {
    dialogs_->Say(UnusedCalibrationsReport(0, sections), mfIconInformation);
    return;
  }
  if (!dialogs_->AskYes(std::to_string(plan.Missing.size()) + " of " + std::to_string(sections) + " calibrations in " +
              plan.CalFile + " belong to images that are not there.\r\nRemove them?"))
    return;
  const TSectionRemoval r = RemoveCalibrationSections(plan.CalFile, plan.Missing);
  if (!r.Ok()) {
    dialogs_->Say(r.Error + "; nothing was removed.", mfIconError);
    return;
  }
  dialogs_->Say(UnusedCalibrationsReport(r.Removed, r.Remaining), mfIconInformation);
}

void T_Form::SetDirectoriesClick() {
  {
    T_SetDir dialog(IniFile, DataDir, this);
    dialogs_->Translate({&dialog});
    dialogs_->Exec(dialog);
  }
  // Whatever the answer, the chart directories are those of the file now.
  Settings.Catalog = ReadCatalogSettings(IniFile, DataDir);
  const std::string searchPath = ChartSearchPath(Settings.Catalog.ChartDir);
  Catalog->SetSearchPath(searchPath);
  Cal.SetSearchPath(searchPath);
}
