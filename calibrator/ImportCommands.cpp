// The calibration tool's imports of calibrations made elsewhere: the old
// chart list ("BRICHART.DIR"), WinGPS chart indexes (".CHI") and an
// OziExplorer map file's calibration for the open image.
#include <QAction>
#include <QMenu>

#include <filesystem>

#include "calibrator/MainForm.h"
#include "calibrator/longrun/CommandLock.h"
#include "calibrator/longrun/MessagePanel.h"
#include "charts/FileNames.h"
#include "charts/OldCalibrations.h"
#include "charts/WinGpsIndex.h"
#include "platform/FileDialogs.h"
#include "platform/Questions.h"

void T_Form::BuildImportMenu(QMenu* menu) {
  if (!menu) return;
  QAction* old = menu->addAction(QStringLiteral("Old Brismare Calibrations"));
  old->setObjectName(QStringLiteral("ImportOldCalibrations"));
  connect(old, &QAction::triggered, this, [this] { ImportOldCalibrationsClick(); });
  QAction* chi = menu->addAction(QStringLiteral("CHI Calibrations"));
  chi->setObjectName(QStringLiteral("ImportChiCalibrations"));
  connect(chi, &QAction::triggered, this, [this] { ImportChiCalibrationsClick(); });
  QAction* map = menu->addAction(QStringLiteral(".MAP Calibration"));
  map->setObjectName(QStringLiteral("ImportMapCalibration"));
  map->setVisible(Options.ShowMapCalibration);
  connect(map, &QAction::triggered, this, [this] { ImportMapCalibrationClick(); });
  menu->menuAction()->setEnabled(true);
}

void T_Form::ImportMapCalibrationClick() {
  if (!Cal.IsOpen() || Cal.ReadOnly()) {
    // Said before a file is chosen, not after.
    dialogs_->Say(Cal.IsOpen() ? kReadOnlyCalibration : "Open the image the map file belongs to first.", mfIconWarning);
    return;
  }
  TFileDialogOptions o;
  o.title = "MAP File name";
  o.defaultExt = "MAP";
  o.filter = "MAP|*.MAP|All|*.*";
  o.initialDir = DirectoryOf(Cal.FileName());
  const std::optional<std::string> file = OpenFileDialog(o);
  if (!file) return;
  const TCalImportResult r = Cal.ImportMapCalibration(*file);
  if (!r.Ok) {
    dialogs_->Say(r.Message + "\r\nThe calibration is unchanged.", mfIconError);
    return;
  }
  RefreshAll();
}

void T_Form::ImportOldCalibrationsClick() {
  TFileDialogOptions o;
  o.title = "Old Brismare Calibration File";
  o.defaultExt = "DIR";
  o.fileName = "BRICHART.DIR";
  o.initialDir = DataDir;
  o.filter = "Calibration File|*.DIR;*.INF|Any File|*.*";
  const std::optional<std::string> file = OpenFileDialog(o);
  std::error_code ec;
  if (!file || !std::filesystem::is_regular_file(*file, ec)) return;
  TOldImportSettings settings;
  settings.ChartDirs = Settings.Catalog.ChartDir;
  // Each chart's image is read; "Cancel" ends the import after the chart
  // in hand (the calibrations imported so far stay).
  settings.Progress = [this](const std::string& text, int position, int max) {
    return panel_->Step(text, position, max);
  };
  TOldImportReport r;
  bool cancelled = false;
  {
    TLongRun run(*lock_, true);
    if (!run.Started()) return;
    r = ImportOldCalibrations(*file, settings);
    cancelled = lock_->CancelRequested();
  }
  dialogs_->Say(r.Problems + r.Text() + (cancelled ? "\r\nCancelled." : ""), mfIconInformation);
}

void T_Form::ImportChiCalibrationsClick() {
  TFileDialogOptions o;
  o.title = "CHI File name";
  o.defaultExt = "CHI";
  o.filter = "CHI|*.CHI|All|*.*";
  const std::optional<std::string> file = OpenFileDialog(o);
  if (!file) return;
  // The open image goes first (with the question about unsaved changes).
  if (!CloseImageClick()) return;
  TWinGpsImport r;
  {
    TLongRun run(*lock_, false);
    if (!run.Started()) return;
    r = ImportWinGpsCharts(*file, [this](const std::string& text) { panel_->Show(text, 0, 0); });
  }
  std::string text = "------------- IMPORT RESULT -------------\r\nStentec CHI Calibrations Imported: " +
                     std::to_string(r.Imported);
  if (r.Kept > 0) text += "\r\nAlready calibrated (kept): " + std::to_string(r.Kept);
  if (r.Skipped > 0) text += "\r\nCharts that could not be read: " + std::to_string(r.Skipped);
  dialogs_->Say(text, mfIconInformation);
}
