// The main window's track file commands (an old track on the chart, a text
// track imported into a track file, the open track exported as text) and
// the route's exchange files: import and export in the two text formats,
// the choice of a route in a column exchange file, and a track file taken
// as a route.
#include <QAction>
#include <QDialog>
#include <QDialogButtonBox>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "charts/FileNames.h"
#include "foundation/GenUtil.h"
#include "navobjects/Routes.h"
#include "navobjects/Trace.h"
#include "platform/AtomicFile.h"
#include "platform/FileDialogs.h"
#include "platform/Questions.h"
#include "plotter/AuxDialogs.h"
#include "plotter/MainForm.h"
#include "plotter/core/GpsTransfer.h"

namespace {

constexpr int kMsgAvailableRoutes = 19;
constexpr int kMsgAvailableTracks = 27;
constexpr int kMsgTrackingActive = 30;
constexpr int kMsgClearOldRoute = 33;
constexpr int kMsgExportRoute = 35;
constexpr int kMsgImportRoute = 36;
constexpr int kMsgGarminInfo = 40;
constexpr int kMsgGarminRoute = 50;
constexpr int kMsgTextFileName = 66;
constexpr int kMsgTrackFiles = 69;
constexpr int kMsgImportTrack = 80;

// A whole exchange file of at most `limit` bytes; "" when it cannot be read.
std::string ReadWhole(const std::string& file, uint64_t limit) {
  std::string bytes;
  if (!ReadWholeFile(file, bytes, nullptr, limit)) bytes.clear();
  return bytes;
}

}  // namespace

int T_Form::ChooseExchangeRoute(const std::string& file) {
  const std::vector<std::string> routes = ListG7tRoutes(ReadWhole(file, kMaxRouteFileSize));
  if (routes.empty()) return -1;
  std::string chosen = routes.front();
  if (routes.size() > 1) {
    // "Select Route", made at start (or here, for a window made without
    // the program's other windows); a click on an entry chooses it.
    std::unique_ptr<TRLForm> own;
    TRLForm* choice = forms_.RLForm;
    if (!choice) {
      own = std::make_unique<TRLForm>(this);
      choice = own.get();
    }
    choice->RList->clear();
    for (const std::string& e : routes) choice->RList->addItem(QString::fromStdString(e));
    choice->setWindowTitle(QString::fromStdString(Messages[kMsgAvailableRoutes]));
    ExecDialog(*choice);
    const QListWidgetItem* item = choice->RList->currentItem();
    chosen = item && item->isSelected() ? item->text().toStdString() : std::string();
    choice->RList->clear();
    if (chosen.empty()) return -1;
  }
  const std::optional<int> n = ParseRouteNumber(chosen.substr(0, 2));
  return n ? *n : -1;
}

// ---------------------------------------------------------------------------
// The route's exchange files

void T_Form::ImportWP2Click() {
  if (!Route || Route->Following || !AskRouteSaved()) return;
  const bool clear = !Route->Empty() && AskYesNo(Messages[kMsgClearOldRoute]);
  const std::optional<std::string> file = AskExchangeFile(Messages[kMsgImportRoute], false);
  if (!file) return;
  // The old route goes only when there is something to put in its place.
  const TRoute::TReadMode mode = clear ? TRoute::TReadMode::Replace : TRoute::TReadMode::Add;
  if (IsExchangeFile(*file)) {
    const int number = ChooseExchangeRoute(*file);
    if (number < 0) return;
    Route->ImportExchange(*file, number, mode);
  } else {
    Route->ImportText(*file, mode);
  }
  SysInfo.WPPDir = DirectoryOf(*file);
  AfterRouteLoad();
}

void T_Form::ExportWP2Click() {
  if (!Route) return;
  const std::optional<std::string> file = AskExchangeFile(Messages[kMsgExportRoute], true);
  if (!file) return;
  const std::optional<std::string> answer = AskDialogText(Messages[kMsgGarminInfo], Messages[kMsgGarminRoute], "1");
  if (!answer) return;
  const std::optional<int> number = ParseRouteNumber(*answer);
  if (!number) return;
  const bool ok =
      IsExchangeFile(*file) ? Route->ExportExchange(*file, "", *number) : Route->ExportText(*file, *number);
  // A file that could not be written is said, as for the positions.
  if (!ok) {
    AppMessageBox("The route could not be exported: " + Route->LastError, mfOk | mfIconError);
    return;
  }
  SysInfo.WPPDir = DirectoryOf(*file);
}

void T_Form::ImportTrack1Click() {
  if (!Route || Route->Following || !AskRouteSaved()) return;
  const bool clear = !Route->Empty() && AskYesNo(Messages[kMsgClearOldRoute]);
  TFileDialogOptions o;
  o.title = Messages[kMsgAvailableTracks];
  o.filter = Messages[kMsgTrackFiles] + "|*.TRC|*.*|*.*";
  o.defaultExt = "TRC";
  o.initialDir = SysInfo.CurTrackDir;
  const std::optional<std::string> file = OpenFileDialog(o);
  if (file) {
    TRoutePoints points = TrackRoutePoints(ReadWhole(*file, kMaxTrackFileSize), SysInfo.DefaultXTE);
    if (!points.empty()) {
      if (clear) Route->Clear();
      const int at = Route->BestInsertIndex(points);
      Route->InsertList(std::move(points), at);
      Route->RecomputeView();
      Route->PlacePoints();
      Route->Modified = true;
    }
  }
  AfterRouteLoad();
}

// ---------------------------------------------------------------------------
// Track files

void T_Form::OpenOld1Click() {
  QAction* openOld = tickMenus_.openOld;
  if (!Trace) return;
  // The item ticks itself; the tick follows what is shown.
  auto showTick = [&] {
    if (openOld) openOld->setChecked(Trace->Viewing());
  };
  if (Trace->Active()) {
    showTick();
    AppMessageBox(Messages[kMsgTrackingActive], mfOk | mfIconWarning);
    return;
  }
  TFileDialogOptions o;
  o.title = Messages[kMsgAvailableTracks];
  o.filter = Messages[kMsgTrackFiles] + "|*.TRC";
  o.defaultExt = "TRC";
  o.initialDir = SysInfo.CurTrackDir;
  const std::optional<std::string> file = OpenFileDialog(o);
  if (!file) {
    if (Trace->Viewing()) Trace->Stop();
    showTick();
    RequestRepaint();
    return;
  }
  if (Trace->OpenForView(*file)) {
    Trace->SetVisible(true);
    if (DBI_TRACE) DBI_TRACE->setText(QString::fromStdString(FileBaseName(*file)));
    PlaceTrackForChart();
  } else {
    AppMessageBox("The track could not be read: " + Trace->LastError(), mfOk | mfIconWarning);
  }
  showTick();
  RequestRepaint();
}

void T_Form::ImportTRCClick() {
  if (!Trace) return;
  if (Trace->Active()) {
    AppMessageBox(Messages[kMsgTrackingActive], mfOk | mfIconWarning);
    return;
  }
  TFileDialogOptions o;
  o.title = Messages[kMsgImportTrack];
  o.filter = "WP+|*.TXT|G7ToWin|*.G7T|*.*|*.*";
  o.defaultExt = "TXT";
  o.initialDir = SysInfo.WPPDir;
  const std::optional<std::string> source = OpenFileDialog(o);
  if (!source) return;
  SysInfo.WPPDir = DirectoryOf(*source);
  TFileDialogOptions t;
  t.title = Messages[kMsgAvailableTracks];
  t.filter = Messages[kMsgTrackFiles] + "|*.TRC";
  t.defaultExt = "TRC";
  t.overwritePrompt = true;
  t.fileName = JoinPath(SysInfo.TrackDir, std::filesystem::path(*source).stem().string() + ".TRC");
  const std::optional<std::string> target = SaveFileDialog(t);
  if (!target) return;
  std::error_code ec;
  std::filesystem::remove(*target, ec);
  TTrackTextOptions options;
  options.ConfirmOtherDatum = [] { return AskYesNo(kOtherDatumQuestion); };
  const TTrackReadResult r = IsExchangeFile(*source) ? Trace->ImportColumnText(*source, *target, options)
                                                     : Trace->ImportCommaText(*source, *target, options);
  if (Trace->Viewing()) {
    Trace->SetVisible(true);
    if (DBI_TRACE) DBI_TRACE->setText(QString::fromStdString(FileBaseName(*target)));
    PlaceTrackForChart();
  }
  if (tickMenus_.openOld) tickMenus_.openOld->setChecked(Trace->Viewing());
  (void)r;
  RequestRepaint();
}

void T_Form::TrackExport1Click() {
  TFileDialogOptions o;
  o.title = Messages[kMsgTextFileName];
  o.filter = "TXT|*.TXT";
  o.defaultExt = "TXT";
  o.initialDir = SysInfo.WPPDir;
  o.overwritePrompt = true;
  const std::optional<std::string> file = SaveFileDialog(o);
  if (!file) return;
  std::vector<std::string> lines;
  if (Trace) Trace->ToText(lines, false);
  std::string text;
  for (const std::string& l : lines) text += l + "\r\n";
  std::string error;
  if (!AtomicWriteFile(*file, text, &error)) {
    AppMessageBox("The track could not be exported: " + error, mfOk | mfIconError);
    return;
  }
  SysInfo.WPPDir = DirectoryOf(*file);
}

void T_Form::WireTrackFileCommands() {
  WireCommand("RFImport", &T_Form::ImportWP2Click);
  WireCommand("RFExport", &T_Form::ExportWP2Click);
  WireCommand("RFImportTrack", &T_Form::ImportTrack1Click);
  WireCommand("OpenOld1", &T_Form::OpenOld1Click);
  WireCommand("TrkImport", &T_Form::ImportTRCClick);
  WireCommand("TrkExportText", &T_Form::TrackExport1Click);
}
