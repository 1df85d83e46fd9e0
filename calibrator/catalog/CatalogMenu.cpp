// The "Autoload List" commands. The work is done by the catalog commands of
// core/CatalogCommands.h; these ask their questions, show the message
// panel, fill "Problem Charts" and show the report.
#include "calibrator/catalog/CatalogMenu.h"

#include <unistd.h>

#include "calibrator/calibration/OpenImage.h"
#include "calibrator/calibration/core/Calibration.h"
#include "calibrator/dialogs/FormDialogs.h"
#include "calibrator/longrun/MessagePanel.h"
#include "calibrator/start/core/TeskorStart.h"
#include "charts/ChartList.h"
#include "foundation/GenUtil.h"
#include "geodesy/Datum.h"
#include "platform/FileDialogs.h"
#include "platform/Paths.h"
#include "platform/Questions.h"
#include "sharedui/ChartAvail.h"
#include "sharedui/DatumAlias.h"
#include "sharedui/SpyFrm.h"

namespace {

constexpr const char* kNotSavedQuestion = "Changes not saved. Continue?";

std::string JoinLines(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) text += (text.empty() ? "" : "\r\n") + line;
  return text;
}

}  // namespace

TCatalogMenu::TCatalogMenu(TChartList& catalog, TDatum& datums, const TTeskorSettings& settings,
                           const std::string& dataDir, bool locked, TCalibration& cal, IOpenImage& image,
                           const TCatalogWindows& windows, const TCommandServices& services)
    : catalog_(catalog),
      datums_(datums),
      settings_(settings),
      dataDir_(dataDir),
      catalogLocked_(locked),
      cal_(cal),
      image_(image),
      windows_(windows),
      dialogs_(services.Dialogs),
      lock_(services.Lock),
      panel_(services.Panel),
      scanFile_(scanCodec_),
      scanner_(catalog_, datums_, scanFile_) {
  scanFile_.AlwaysBuildInfo = true;
  scanner_.AskDatumAlias = [this](const std::string& name) {
    panel_.Hide();
    return windows_.DatFrm.Ask(datums_, name, [this](QDialog& d) { return dialogs_.Exec(d); });
  };
  scanner_.OnProblem = [this](const std::string& line) { windows_.ProblemCharts.AddLine(line); };
}

TCatalogScanner& TCatalogMenu::Scanner() {
  // The directories may have changed since the last command.
  scanner_.Settings = settings_.Catalog;
  scanFile_.SearchPath = ChartSearchPath(settings_.Catalog.ChartDir);
  catalog_.SetSearchPath(scanFile_.SearchPath);
  return scanner_;
}

bool TCatalogMenu::CatalogWritable() {
  if (!catalogLocked_) return true;
  dialogs_.Say("The chart list " + dataDir_ + kCatalogFileName +
                   " could not be read or kept aside when the program started; it is left as it is.",
               mfIconError);
  return false;
}

bool TCatalogMenu::BeginCatalogCommand(bool recreate) {
  if (!CatalogWritable()) return false;
  if (cal_.Changed() && !dialogs_.AskYes(kNotSavedQuestion)) return false;
  if (recreate) {
    // The old catalog is replaced only once the new one is complete; the
    // question is asked now, and a file that could not be replaced is
    // reported before the work starts.
    const std::string index = dataDir_ + kCatalogFileName;
    if (FileSizeOf(index) >= 0) {
      if (!dialogs_.AskYes("File " + index + " Exists! Delete?")) return false;
      if (::access(dataDir_.c_str(), W_OK) != 0 || ::access(index.c_str(), W_OK) != 0) {
        dialogs_.Say("File " + index + " Could not be deleted! It is propably in use!", mfIconError);
        return false;
      }
    }
  }
  cal_.SetChanged(false);
  image_.CloseImage();
  // The available charts are listed again when the window is next shown.
  windows_.ChartAvail.ResetList();
  windows_.ProblemCharts.Clear();
  return true;
}

void TCatalogMenu::RunCatalog(TCatalogCommand command, const std::string& directory) {
  TCatalogScanner& scanner = Scanner();
  TCatalogCommandResult r;
  {
    // Stopped only by Cancel at a duplicate name.
    TLongRun run(lock_, false);
    if (!run.Started()) return;
    r = RunCatalogCommand(command, scanner, dataDir_ + kCatalogFileName, directory);
  }

  if (command == TCatalogCommand::Recreate && r.Cancelled) {
    dialogs_.Say("The chart list was not recreated: the list and its file are as they were.", mfIconInformation);
    if (windows_.ProblemCharts.LineCount() > 0) windows_.ProblemCharts.show();
    return;
  }
  if (!r.Saved)
    dialogs_.Say("The chart list " + dataDir_ + kCatalogFileName + " could not be saved: " + r.Error, mfIconError);
  if (command == TCatalogCommand::AddDirectory) return;  // no report
  if (windows_.ProblemCharts.LineCount() > 0) windows_.ProblemCharts.show();
  dialogs_.Say(JoinLines(CatalogReportLines(scanner.Counters, catalog_.Count())), mfIconInformation);
}

void TCatalogMenu::ScanForNewChartsClick() {
  if (BeginCatalogCommand(false)) RunCatalog(TCatalogCommand::Scan);
}

void TCatalogMenu::UpdateCatalogClick() {
  if (BeginCatalogCommand(false)) RunCatalog(TCatalogCommand::Update);
}

void TCatalogMenu::RecreateCatalogClick() {
  if (BeginCatalogCommand(true)) RunCatalog(TCatalogCommand::Recreate);
}

void TCatalogMenu::AddDirectoryClick() {
  if (!CatalogWritable()) return;
  // Unsaved changes are asked about here too: closing the image would
  // lose them.
  if (cal_.Changed() && !dialogs_.AskYes(kNotSavedQuestion)) return;
  cal_.SetChanged(false);
  image_.CloseImage();
  const std::optional<std::string> folder = PickFolderDialog("Select Directory to Add:", std::string());
  if (!folder || folder->empty()) return;
  windows_.ChartAvail.ResetList();
  RunCatalog(TCatalogCommand::AddDirectory, *folder);
}
