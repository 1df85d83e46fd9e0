#include "plotter/route/RouteExchange.h"

#include <QListWidget>

#include <memory>
#include <string>
#include <vector>

#include "charts/FileNames.h"
#include "navobjects/Routes.h"
#include "navobjects/Trace.h"
#include "platform/AtomicFile.h"
#include "platform/FileDialogs.h"
#include "platform/Questions.h"
#include "plotter/dialogs/AuxDialogs.h"
#include "plotter/core/GpsTransfer.h"
#include "plotter/core/SysInfo.h"
#include "plotter/positions/PositionCommands.h"
#include "plotter/route/RouteEditor.h"

namespace {

constexpr int kMsgAvailableRoutes = 19;
constexpr int kMsgAvailableTracks = 27;
constexpr int kMsgClearOldRoute = 33;
constexpr int kMsgExportRoute = 35;
constexpr int kMsgImportRoute = 36;
constexpr int kMsgGarminInfo = 40;
constexpr int kMsgGarminRoute = 50;
constexpr int kMsgTrackFiles = 69;

// A whole exchange file of at most `limit` bytes; "" when it cannot be read.
std::string ReadWhole(const std::string& file, uint64_t limit) {
  std::string bytes;
  if (!ReadWholeFile(file, bytes, nullptr, limit)) bytes.clear();
  return bytes;
}

}  // namespace

TRouteExchange::TRouteExchange(const TWindowContext& c, TRoute& route, TRouteEditor& editor)
    : TWindowFeature(c), route_(route), editor_(editor) {
  WireCommand("RFImport", [this] { ImportWP2Click(); });
  WireCommand("RFExport", [this] { ExportWP2Click(); });
  WireCommand("RFImportTrack", [this] { ImportTrack1Click(); });
}

int TRouteExchange::ChooseExchangeRoute(const std::string& file) {
  const std::vector<std::string> routes = ListG7tRoutes(ReadWhole(file, kMaxRouteFileSize));
  if (routes.empty()) return -1;
  std::string chosen = routes.front();
  if (routes.size() > 1) {
    // "Select Route", made at start (or here, for a window made without
    // the program's other windows); a click on an entry chooses it.
    std::unique_ptr<TRLForm> own;
    TRLForm* choice = forms_.RLForm;
    if (!choice) {
      own = std::make_unique<TRLForm>(&window_.Window());
      choice = own.get();
    }
    choice->RList->clear();
    for (const std::string& e : routes) choice->RList->addItem(QString::fromStdString(e));
    choice->setWindowTitle(QString::fromStdString(messages_[kMsgAvailableRoutes]));
    window_.ExecDialog(*choice);
    const QListWidgetItem* item = choice->RList->currentItem();
    chosen = item && item->isSelected() ? item->text().toStdString() : std::string();
    choice->RList->clear();
    if (chosen.empty()) return -1;
  }
  const std::optional<int> n = ParseRouteNumber(chosen.substr(0, 2));
  return n ? *n : -1;
}

void TRouteExchange::ImportWP2Click() {
  if (route_.Following || !editor_.AskRouteSaved()) return;
  const bool clear = !route_.Empty() && AskYesNo(messages_[kMsgClearOldRoute]);
  const std::optional<std::string> file = AskExchangeFile(sys_, messages_[kMsgImportRoute], false);
  if (!file) return;
  // The old route goes only when there is something to put in its place.
  const TRoute::TReadMode mode = clear ? TRoute::TReadMode::Replace : TRoute::TReadMode::Add;
  if (IsExchangeFile(*file)) {
    const int number = ChooseExchangeRoute(*file);
    if (number < 0) return;
    route_.ImportExchange(*file, number, mode);
  } else {
    route_.ImportText(*file, mode);
  }
  sys_.WPPDir = DirectoryOf(*file);
  editor_.AfterRouteLoad();
}

void TRouteExchange::ExportWP2Click() {
  const std::optional<std::string> file = AskExchangeFile(sys_, messages_[kMsgExportRoute], true);
  if (!file) return;
  const std::optional<std::string> answer =
      window_.AskDialogText(messages_[kMsgGarminInfo], messages_[kMsgGarminRoute], "1");
  if (!answer) return;
  const std::optional<int> number = ParseRouteNumber(*answer);
  if (!number) return;
  const bool ok =
      IsExchangeFile(*file) ? route_.ExportExchange(*file, "", *number) : route_.ExportText(*file, *number);
  // A file that could not be written is said, as for the positions.
  if (!ok) {
    AppMessageBox("The route could not be exported: " + route_.LastError, mfOk | mfIconError);
    return;
  }
  sys_.WPPDir = DirectoryOf(*file);
}

void TRouteExchange::ImportTrack1Click() {
  if (route_.Following || !editor_.AskRouteSaved()) return;
  const bool clear = !route_.Empty() && AskYesNo(messages_[kMsgClearOldRoute]);
  TFileDialogOptions o;
  o.title = messages_[kMsgAvailableTracks];
  o.filter = messages_[kMsgTrackFiles] + "|*.TRC|*.*|*.*";
  o.defaultExt = "TRC";
  o.initialDir = sys_.CurTrackDir;
  const std::optional<std::string> file = OpenFileDialog(o);
  if (file) {
    TRoutePoints points = TrackRoutePoints(ReadWhole(*file, kMaxTrackFileSize), sys_.DefaultXTE);
    if (!points.empty()) {
      if (clear) route_.Clear();
      const int at = route_.BestInsertIndex(points);
      route_.InsertList(std::move(points), at);
      route_.RecomputeView();
      route_.PlacePoints();
      route_.Modified = true;
    }
  }
  editor_.AfterRouteLoad();
}
