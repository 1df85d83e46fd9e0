#include "plotter/track/TrackFiles.h"

#include <QAction>
#include <QPushButton>

#include <filesystem>
#include <string>
#include <vector>

#include "charts/FileNames.h"
#include "foundation/GenUtil.h"
#include "navobjects/Routes.h"
#include "navobjects/Trace.h"
#include "platform/AtomicFile.h"
#include "platform/FileDialogs.h"
#include "platform/Questions.h"
#include "plotter/core/GpsTransfer.h"
#include "plotter/core/SysInfo.h"
#include "plotter/track/TrackView.h"

namespace {

constexpr int kMsgAvailableTracks = 27;
constexpr int kMsgTrackingActive = 30;
constexpr int kMsgTextFileName = 66;
constexpr int kMsgTrackFiles = 69;
constexpr int kMsgImportTrack = 80;

}  // namespace

TTrackFiles::TTrackFiles(const TWindowContext& c, TTrace& trace, TTrackView& view)
    : TWindowFeature(c),
      trace_(trace),
      view_(view),
      openOld_(Item("OpenOld1")),
      traceButton_(Widget<QPushButton>("DBI_TRACE")) {
  WireCommand("OpenOld1", [this] { OpenOld1Click(); });
  WireCommand("TrkImport", [this] { ImportTRCClick(); });
  WireCommand("TrkExportText", [this] { TrackExport1Click(); });
}

void TTrackFiles::ShowTrackFile(const std::string& file) {
  trace_.SetVisible(true);
  traceButton_.setText(QString::fromStdString(FileBaseName(file)));
  view_.PlaceTrackForChart();
}

void TTrackFiles::OpenOld1Click() {
  // The item ticks itself; the tick follows what is shown.
  auto showTick = [&] { openOld_.setChecked(trace_.Viewing()); };
  if (trace_.Active()) {
    showTick();
    AppMessageBox(messages_[kMsgTrackingActive], mfOk | mfIconWarning);
    return;
  }
  TFileDialogOptions o;
  o.title = messages_[kMsgAvailableTracks];
  o.filter = messages_[kMsgTrackFiles] + "|*.TRC";
  o.defaultExt = "TRC";
  o.initialDir = sys_.CurTrackDir;
  const std::optional<std::string> file = OpenFileDialog(o);
  if (!file) {
    if (trace_.Viewing()) trace_.Stop();
    showTick();
    window_.RequestRepaint();
    return;
  }
  if (trace_.OpenForView(*file))
    ShowTrackFile(*file);
  else
    AppMessageBox("The track could not be read: " + trace_.LastError(), mfOk | mfIconWarning);
  showTick();
  window_.RequestRepaint();
}

void TTrackFiles::ImportTRCClick() {
  if (trace_.Active()) {
    AppMessageBox(messages_[kMsgTrackingActive], mfOk | mfIconWarning);
    return;
  }
  TFileDialogOptions o;
  o.title = messages_[kMsgImportTrack];
  o.filter = "WP+|*.TXT|G7ToWin|*.G7T|*.*|*.*";
  o.defaultExt = "TXT";
  o.initialDir = sys_.WPPDir;
  const std::optional<std::string> source = OpenFileDialog(o);
  if (!source) return;
  sys_.WPPDir = DirectoryOf(*source);
  TFileDialogOptions t;
  t.title = messages_[kMsgAvailableTracks];
  t.filter = messages_[kMsgTrackFiles] + "|*.TRC";
  t.defaultExt = "TRC";
  t.overwritePrompt = true;
  t.fileName = JoinPath(sys_.TrackDir, std::filesystem::path(*source).stem().string() + ".TRC");
  const std::optional<std::string> target = SaveFileDialog(t);
  if (!target) return;
  std::error_code ec;
  std::filesystem::remove(*target, ec);
  TTrackTextOptions options;
  options.ConfirmOtherDatum = [] { return AskYesNo(kOtherDatumQuestion); };
  const TTrackReadResult r = IsExchangeFile(*source) ? trace_.ImportColumnText(*source, *target, options)
                                                     : trace_.ImportCommaText(*source, *target, options);
  if (trace_.Viewing()) ShowTrackFile(*target);
  openOld_.setChecked(trace_.Viewing());
  (void)r;
  window_.RequestRepaint();
}

void TTrackFiles::TrackExport1Click() {
  TFileDialogOptions o;
  o.title = messages_[kMsgTextFileName];
  o.filter = "TXT|*.TXT";
  o.defaultExt = "TXT";
  o.initialDir = sys_.WPPDir;
  o.overwritePrompt = true;
  const std::optional<std::string> file = SaveFileDialog(o);
  if (!file) return;
  std::vector<std::string> lines;
  trace_.ToText(lines, false);
  std::string text;
  for (const std::string& l : lines) text += l + "\r\n";
  std::string error;
  if (!AtomicWriteFile(*file, text, &error)) {
    AppMessageBox("The track could not be exported: " + error, mfOk | mfIconError);
    return;
  }
  sys_.WPPDir = DirectoryOf(*file);
}
