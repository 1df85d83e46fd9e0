// The imports of calibrations made elsewhere. The readers are the charts
// code's (charts/OldCalibrations.h, charts/WinGpsIndex.h, and the map file
// reader of the calibration); these commands ask their questions, show the
// message panel and report.
#include "calibrator/import/ImportCommands.h"

#include <filesystem>

#include "calibrator/calibration/CalViews.h"
#include "calibrator/calibration/OpenImage.h"
#include "calibrator/calibration/core/Calibration.h"
#include "calibrator/dialogs/FormDialogs.h"
#include "calibrator/longrun/MessagePanel.h"
#include "calibrator/start/core/TeskorStart.h"
#include "charts/FileNames.h"
#include "charts/OldCalibrations.h"
#include "charts/WinGpsIndex.h"
#include "platform/FileDialogs.h"
#include "platform/Questions.h"

TImportCommands::TImportCommands(TCalibration& cal, const TTeskorSettings& settings, const std::string& dataDir,
                                 IOpenImage& image, TCalViews& views, const TCommandServices& services)
    : cal_(cal),
      settings_(settings),
      dataDir_(dataDir),
      image_(image),
      views_(views),
      dialogs_(services.Dialogs),
      lock_(services.Lock),
      panel_(services.Panel) {}

void TImportCommands::ImportMapCalibrationClick() {
  if (!cal_.IsOpen() || cal_.ReadOnly()) {
    // Said before a file is chosen, not after.
    dialogs_.Say(cal_.IsOpen() ? kReadOnlyCalibration : "Open the image the map file belongs to first.", mfIconWarning);
    return;
  }
  TFileDialogOptions o;
  o.title = "MAP File name";
  o.defaultExt = "MAP";
  o.filter = "MAP|*.MAP|All|*.*";
  o.initialDir = DirectoryOf(cal_.FileName());
  const std::optional<std::string> file = OpenFileDialog(o);
  if (!file) return;
  const TCalImportResult r = cal_.ImportMapCalibration(*file);
  if (!r.Ok) {
    dialogs_.Say(r.Message + "\r\nThe calibration is unchanged.", mfIconError);
    return;
  }
  views_.RefreshAll();
}

void TImportCommands::ImportOldCalibrationsClick() {
  TFileDialogOptions o;
  o.title = "Old Brismare Calibration File";
  o.defaultExt = "DIR";
  o.fileName = "BRICHART.DIR";
  o.initialDir = dataDir_;
  o.filter = "Calibration File|*.DIR;*.INF|Any File|*.*";
  const std::optional<std::string> file = OpenFileDialog(o);
  std::error_code ec;
  if (!file || !std::filesystem::is_regular_file(*file, ec)) return;
  TOldImportSettings settings;
  settings.ChartDirs = settings_.Catalog.ChartDir;
  // Each chart's image is read; "Cancel" ends the import after the chart
  // in hand (the calibrations imported so far stay).
  settings.Progress = [this](const std::string& text, int position, int max) {
    return panel_.Step(text, position, max);
  };
  TOldImportReport r;
  bool cancelled = false;
  {
    TLongRun run(lock_, true);
    if (!run.Started()) return;
    r = ImportOldCalibrations(*file, settings);
    cancelled = lock_.CancelRequested();
  }
  dialogs_.Say(r.Problems + r.Text() + (cancelled ? "\r\nCancelled." : ""), mfIconInformation);
}

void TImportCommands::ImportChiCalibrationsClick() {
  TFileDialogOptions o;
  o.title = "CHI File name";
  o.defaultExt = "CHI";
  o.filter = "CHI|*.CHI|All|*.*";
  const std::optional<std::string> file = OpenFileDialog(o);
  if (!file) return;
  // The open image goes first (with the question about unsaved changes).
  if (!image_.CloseImageClick()) return;
  TWinGpsImport r;
  {
    TLongRun run(lock_, false);
    if (!run.Started()) return;
    r = ImportWinGpsCharts(*file, [this](const std::string& text) { panel_.Show(text, 0, 0); });
  }
  std::string text =
      "------------- IMPORT RESULT -------------\r\nStentec CHI Calibrations Imported: " + std::to_string(r.Imported);
  if (r.Kept > 0) text += "\r\nAlready calibrated (kept): " + std::to_string(r.Kept);
  if (r.Skipped > 0) text += "\r\nCharts that could not be read: " + std::to_string(r.Skipped);
  dialogs_.Say(text, mfIconInformation);
}
