// The calibration tool's imports of calibrations made elsewhere: the old
// chart list ("BRICHART.DIR").
#include <QAction>
#include <QMenu>

#include <filesystem>

#include "calibrator/MainForm.h"
#include "charts/OldCalibrations.h"
#include "platform/FileDialogs.h"
#include "platform/Questions.h"

void T_Form::BuildImportMenu(QMenu* menu) {
  if (!menu) return;
  QAction* old = menu->addAction(QStringLiteral("Old Brismare Calibrations"));
  old->setObjectName(QStringLiteral("ImportOldCalibrations"));
  connect(old, &QAction::triggered, this, [this] { ImportOldCalibrationsClick(); });
  menu->menuAction()->setEnabled(true);
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
  settings.Progress = [this](const std::string& text, int position, int max) {
    ShowProgress(text, position, max);
    return true;
  };
  const TOldImportReport r = ImportOldCalibrations(*file, settings);
  ShowProgress("", 0, 0);
  Say(r.Problems + r.Text(), mfIconInformation);
}
