// The "Autoload List" commands of the tool bar's "Tools" menu: the chart
// catalog scanned, refreshed, rebuilt or extended by one directory, saved,
// and reported. The work is done by the catalog commands of
// calibrator/catalog/core; these ask their questions, show the message panel, fill
// "Problem Charts" and show the report.
#include <unistd.h>

#include "calibrator/MainForm.h"
#include "calibrator/longrun/CommandLock.h"
#include "calibrator/longrun/MessagePanel.h"
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

TCatalogScanner& T_Form::Scanner() {
  if (!scanner_) {
    scanCodec_ = std::make_unique<TChartHeadExternalCodec>();
    scanFile_ = std::make_unique<TChartFile>(*scanCodec_);
    scanFile_->AlwaysBuildInfo = true;
    scanner_ = std::make_unique<TCatalogScanner>(*Catalog, *Datums, *scanFile_);
    scanner_->AskDatumAlias = [this](const std::string& name) {
      panel_->Show(std::string(), 0, 0);
      return DatFrm->Ask(*Datums, name, [this](QDialog& d) { return dialogs_->Exec(d); });
    };
    scanner_->OnProblem = [this](const std::string& line) { ProblemCharts->AddLine(line); };
  }
  // The directories may have changed since the last command.
  scanner_->Settings = Settings.Catalog;
  scanFile_->SearchPath = ChartSearchPath(Settings.Catalog.ChartDir);
  Catalog->SetSearchPath(scanFile_->SearchPath);
  return *scanner_;
}

bool T_Form::CatalogWritable() {
  if (!catalogLocked_) return true;
  dialogs_->Say("The chart list " + DataDir + kCatalogFileName +
          " could not be read or kept aside when the program started; it is left as it is.",
      mfIconError);
  return false;
}

bool T_Form::BeginCatalogCommand(bool recreate) {
  if (!CatalogWritable()) return false;
  if (Cal.Changed() && !dialogs_->AskYes(kNotSavedQuestion)) return false;
  if (recreate) {
    // The old catalog is replaced only once the new one is complete; the
    // question is asked now, and a file that could not be replaced is
    // reported before the work starts.
    const std::string index = DataDir + kCatalogFileName;
    if (FileSizeOf(index) >= 0) {
      if (!dialogs_->AskYes("File " + index + " Exists! Delete?")) return false;
      if (::access(DataDir.c_str(), W_OK) != 0 || ::access(index.c_str(), W_OK) != 0) {
        dialogs_->Say("File " + index + " Could not be deleted! It is propably in use!", mfIconError);
        return false;
      }
    }
  }
  Cal.SetChanged(false);
  CloseImage();
  // The available charts are listed again when the window is next shown.
  ChartAvail->ResetList();
  ProblemCharts->Clear();
  return true;
}

void T_Form::RunCatalog(TCatalogCommand command, const std::string& directory) {
  TCatalogScanner& scanner = Scanner();
  TCatalogCommandResult r;
  {
    // Stopped only by Cancel at a duplicate name.
    TLongRun run(*lock_, false);
    if (!run.Started()) return;
    r = RunCatalogCommand(command, scanner, DataDir + kCatalogFileName, directory);
  }

  if (command == TCatalogCommand::Recreate && r.Cancelled) {
    dialogs_->Say("The chart list was not recreated: the list and its file are as they were.", mfIconInformation);
    if (ProblemCharts->LineCount() > 0) ProblemCharts->show();
    return;
  }
  if (!r.Saved) dialogs_->Say("The chart list " + DataDir + kCatalogFileName + " could not be saved: " + r.Error, mfIconError);
  if (command == TCatalogCommand::AddDirectory) return;  // no report
  if (ProblemCharts->LineCount() > 0) ProblemCharts->show();
  dialogs_->Say(JoinLines(CatalogReportLines(scanner.Counters, Catalog->Count())), mfIconInformation);
}

void T_Form::ScanForNewChartsClick() {
  if (BeginCatalogCommand(false)) RunCatalog(TCatalogCommand::Scan);
}

void T_Form::UpdateCatalogClick() {
  if (BeginCatalogCommand(false)) RunCatalog(TCatalogCommand::Update);
}

void T_Form::RecreateCatalogClick() {
  if (BeginCatalogCommand(true)) RunCatalog(TCatalogCommand::Recreate);
}

void T_Form::AddDirectoryClick() {
  if (!CatalogWritable()) return;
  // Unsaved changes are asked about here too: closing the image would
  // lose them.
  if (Cal.Changed() && !dialogs_->AskYes(kNotSavedQuestion)) return;
  Cal.SetChanged(false);
  CloseImage();
  const std::optional<std::string> folder = PickFolderDialog("Select Directory to Add:", std::string());
  if (!folder || folder->empty()) return;
  ChartAvail->ResetList();
  RunCatalog(TCatalogCommand::AddDirectory, *folder);
}
