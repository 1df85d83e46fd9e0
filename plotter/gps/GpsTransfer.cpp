#include "plotter/gps/GpsTransfer.h"

#include <QAction>
#include <QEventLoop>
#include <QMenu>
#include <QProcess>
#include <QPushButton>
#include <QTimer>

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include <sys/types.h>
#include <unistd.h>

#include "foundation/GenUtil.h"
#include "navobjects/Routes.h"
#include "navobjects/Trace.h"
#include "platform/AtomicFile.h"
#include "platform/Paths.h"
#include "platform/Questions.h"
#include "plotter/core/ChartShapes.h"
#include "plotter/core/GpsTransfer.h"
#include "plotter/core/SysInfo.h"
#include "plotter/core/TickTimer.h"
#include "plotter/positions/PositionCommands.h"
#include "plotter/route/RouteEditor.h"
#include "plotter/route/RouteExchange.h"
#include "plotter/track/TrackFiles.h"

namespace {

constexpr int kMsgTrackingActive = 30;
constexpr int kMsgClearOldRoute = 33;
constexpr int kMsgGarminInfo = 40;
constexpr int kMsgClearAllPositions = 43;
constexpr int kMsgGarminRoute = 50;
constexpr int kMsgRouteName = 83;
constexpr const char* kSending = "Brismare -> G7ToWin -> GPS...";
constexpr const char* kReceiving = "GPS -> G7ToWin -> Brismare...";
// After SIGTERM, the time a transfer program gets before SIGKILL.
constexpr int kKillGraceMs = 1000;

bool Exists(const std::string& f) {
  std::error_code ec;
  return std::filesystem::exists(f, ec);
}

void Remove(const std::string& f) {
  std::error_code ec;
  std::filesystem::remove(f, ec);
}

struct TTransferSetup {
  std::string program;  // "" when there is none
  std::string device;
  std::string protocol;
};

TTransferSetup TransferSetup(const RSysInfo& sys) {
  TTransferSetup s;
  const char* path = std::getenv("PATH");
  s.program = FindTransferProgram(ResolveStoredPath(sys.G7T, sys.ProgramDir), sys.G7T, path ? path : "");
  s.device = sys.ComDevice[0];
  if (s.device.empty()) s.device = "/dev/ttyS" + std::to_string(std::max(0, sys.ComPort[0] - 1));
  s.protocol = sys.GpsProtocol;
  return s;
}

// Runs a download into the plan's exchange file: the plan when the program
// ran to its end and left the file.
std::optional<TTransferPlan> Download(TGpsTransfer& gps, const RSysInfo& sys, TGpsCommand command,
                                      const TTransferSetup& s) {
  const TTransferPlan plan = PlanTransfer(command, s.program, sys.ProgramDir, s.device, s.protocol);
  Remove(plan.exchangeFile);
  if (!gps.RunTransfer(kReceiving, plan.program, plan.args)) {
    // Whatever a failed or abandoned program left is no download.
    Remove(plan.exchangeFile);
    return std::nullopt;
  }
  if (!Exists(plan.exchangeFile)) return std::nullopt;
  return plan;
}

}  // namespace

TGpsTransfer::TGpsTransfer(const TWindowContext& c, const TLists& lists) : TWindowFeature(c), l_(lists) {
  WireCommand("GPSSendPositions", [this] { Positions1Click(); });
  WireCommand("GPSSendRoute", [this] { Route1Click(); });
  WireCommand("GPSGetPositions", [this] { Positions2Click(); });
  WireCommand("GPSGetRoute", [this] { Route2Click(); });
  WireCommand("GPSGetTrack", [this] { rack2Click(); });
  // The program may come or go while the plotter runs (the setup dialog,
  // a package installed): the menu looks each time it opens.
  if (QMenu* file = window_.SubMenu("FileMenu")) QObject::connect(file, &QMenu::aboutToShow, &links_, [this] { UpdateGpsMenu(); });
}

// ---------------------------------------------------------------------------
// Running the program

bool TGpsTransfer::RunTransfer(const std::string& message, const std::string& program,
                         const std::vector<std::string>& args) {
  const bool ticking = window_.ComTimer().Enabled();
  window_.ComTimer().SetEnabled(false);
  window_.ClosePorts();
  window_.ShowProgress(message, 0, 0);

  QProcess process;
  process.setProgram(QString::fromStdString(program));
  QStringList list;
  for (const std::string& a : args) list << QString::fromStdString(a);
  process.setArguments(list);
  process.setStandardInputFile(QProcess::nullDevice());
  process.setStandardOutputFile(QProcess::nullDevice());
  process.setStandardErrorFile(QProcess::nullDevice());
  // A group of its own, so that a program given up is stopped with every
  // process it started.
  process.setChildProcessModifier([] { ::setpgid(0, 0); });

  QEventLoop loop;
  bool timedOut = false;
  bool failedToStart = false;
  QTimer limit;
  limit.setSingleShot(true);
  QTimer grace;
  grace.setSingleShot(true);
  auto signalGroup = [&process](int sig) {
    const qint64 pid = process.processId();
    if (pid > 0) ::kill(-static_cast<pid_t>(pid), sig);
  };
  QObject::connect(&process, &QProcess::finished, &loop, &QEventLoop::quit);
  QObject::connect(&process, &QProcess::errorOccurred, &loop, [&](QProcess::ProcessError e) {
    if (e == QProcess::FailedToStart) {
      failedToStart = true;
      loop.quit();
    }
  });
  QObject::connect(&limit, &QTimer::timeout, &loop, [&] {
    timedOut = true;
    signalGroup(SIGTERM);
    grace.start(kKillGraceMs);
  });
  QObject::connect(&grace, &QTimer::timeout, &loop, [&] { signalGroup(SIGKILL); });
  // The plotter told to end (a termination signal, logout) does not wait
  // for the receiver.
  window_.OnFormClosed(&loop, [&] {
    timedOut = true;
    signalGroup(SIGKILL);
  });
  if (OnTransferWaiting) QTimer::singleShot(0, &loop, [this] { OnTransferWaiting(); });

  process.start();
  if (!failedToStart && process.waitForStarted(10000)) {
    limit.start(std::max(0, TransferTimeoutMs));
    if (process.state() != QProcess::NotRunning) loop.exec(QEventLoop::ExcludeUserInputEvents);
  } else {
    failedToStart = true;
  }
  limit.stop();
  grace.stop();
  if (process.state() != QProcess::NotRunning) {
    signalGroup(SIGKILL);
    process.waitForFinished(5000);
  }
  const bool ok = !failedToStart && !timedOut && process.exitStatus() == QProcess::NormalExit &&
                  process.exitCode() == 0;

  if (window_.Closed()) return false;
  window_.ShowProgress("", 0, 0);
  window_.OpenPorts();
  window_.ComTimer().SetEnabled(ticking);
  return ok;
}

void TGpsTransfer::UpdateGpsMenu() {
  if (QMenu* m = window_.SubMenu("GPSMenu")) m->menuAction()->setEnabled(!TransferSetup(sys_).program.empty());
}

// ---------------------------------------------------------------------------
// The commands

void TGpsTransfer::Positions1Click() {
  const TTransferSetup s = TransferSetup(sys_);
  if (s.program.empty()) return;
  const TTransferPlan plan = PlanTransfer(TGpsCommand::SendPositions, s.program, sys_.ProgramDir, s.device,
                                          s.protocol);
  Remove(plan.exchangeFile);
  const bool written = plan.gpx ? l_.positions.ExportGpx(plan.exchangeFile, "Positions")
                                : l_.positions.ExportExchange(plan.exchangeFile, "", -1);
  if (!written) return;
  RunTransfer(kSending, plan.program, plan.args);
}

void TGpsTransfer::Route1Click() {
  const TTransferSetup s = TransferSetup(sys_);
  if (s.program.empty()) return;
  const std::optional<std::string> numberText =
      window_.AskDialogText(messages_[kMsgGarminInfo], messages_[kMsgGarminRoute], "1");
  if (!numberText) return;
  const std::optional<std::string> name = window_.AskDialogText(messages_[kMsgGarminInfo], messages_[kMsgRouteName], "");
  if (!name) return;
  const std::optional<int> number = ParseRouteNumber(*numberText);
  if (!number || name->empty()) return;
  const TTransferPlan plan = PlanTransfer(TGpsCommand::SendRoute, s.program, sys_.ProgramDir, s.device,
                                          s.protocol);
  Remove(plan.exchangeFile);
  const bool written = plan.gpx ? l_.route.ExportGpx(plan.exchangeFile, *name)
                                : l_.route.ExportExchange(plan.exchangeFile, *name, *number);
  if (!written) return;
  RunTransfer(kSending, plan.program, plan.args);
}

void TGpsTransfer::Positions2Click() {
  const TTransferSetup s = TransferSetup(sys_);
  if (s.program.empty() || !l_.positionCommands.AskPositionsSaved()) return;
  TRoute& positions = l_.positions;
  const bool clear = !positions.Empty() && AskYesNo(messages_[kMsgClearAllPositions]);
  // The user's positions go only when the receiver gave something.
  const std::optional<TTransferPlan> download = Download(*this, sys_, TGpsCommand::GetPositions, s);
  if (!download) return;
  const TTransferPlan& plan = *download;
  const TRoute::TReadMode mode = clear ? TRoute::TReadMode::Replace : TRoute::TReadMode::Add;
  l_.positionCommands.ClearChosenPosition();
  window_.ShowProgress("...", 0, 0);
  if (plan.gpx)
    positions.ImportGpx(plan.exchangeFile, mode);
  else
    positions.ImportExchange(plan.exchangeFile, -1, mode);
  l_.positionCommands.PositionsTail();
  window_.ShowProgress("", 0, 0);
}

void TGpsTransfer::Route2Click() {
  const TTransferSetup s = TransferSetup(sys_);
  TRoute& route = l_.route;
  if (s.program.empty() || route.Following || !l_.routeEditor.AskRouteSaved()) return;
  const bool clear = !route.Empty() && AskYesNo(messages_[kMsgClearOldRoute]);
  const std::optional<TTransferPlan> download = Download(*this, sys_, TGpsCommand::GetRoute, s);
  if (!download) return;
  const TTransferPlan& plan = *download;
  const int number = plan.gpx ? 0 : l_.routeExchange.ChooseExchangeRoute(plan.exchangeFile);
  if (number < 0) return;
  const TRoute::TReadMode mode = clear ? TRoute::TReadMode::Replace : TRoute::TReadMode::Add;
  window_.ShowProgress("...", 0, 0);
  if (plan.gpx)
    route.ImportGpx(plan.exchangeFile, mode);
  else
    route.ImportExchange(plan.exchangeFile, number, mode);
  window_.ShowProgress("", 0, 0);
  l_.routeEditor.AfterRouteLoad();
}

void TGpsTransfer::rack2Click() {
  const TTransferSetup s = TransferSetup(sys_);
  if (s.program.empty()) return;
  TTrace& trace = l_.trace;
  QAction* openOld = window_.MenuItem("OpenOld1");
  if (trace.Active()) {
    AppMessageBox(messages_[kMsgTrackingActive], mfOk | mfIconWarning);
    return;
  }
  const std::optional<TTransferPlan> download = Download(*this, sys_, TGpsCommand::GetTrack, s);
  if (!download) return;
  const TTransferPlan& plan = *download;

  std::error_code ec;
  std::filesystem::create_directories(sys_.TrackDir, ec);
  // A download left over from an earlier run is not merged into this one.
  const std::string target = JoinPath(sys_.TrackDir, kDownloadTrackName);
  Remove(target);
  trace.Stop();
  TDateTime lastTime = 0;
  bool received = false;
  if (plan.gpx) {
    std::string bytes;
    if (!ReadWholeFile(plan.exchangeFile, bytes, nullptr, kMaxTrackFileSize)) bytes.clear();
    const TTrackReadResult r = ReadTrackGpx(bytes);
    if (!r.records.empty() && AtomicWriteFile(target, EncodeTrc(r.records))) {
      received = true;
      lastTime = r.records.back().Time;
    }
  } else {
    TTrackTextOptions options;
    options.ConfirmOtherDatum = [] { return AskYesNo(kOtherDatumQuestion); };
    trace.ImportColumnText(plan.exchangeFile, target, options);
    received = trace.LastImported().Valid;
    lastTime = trace.LastImported().Time;
    trace.Stop();
  }
  if (!received) {
    Remove(target);
    if (openOld) openOld->setChecked(false);
    window_.ShowNotice("Nothing was received from the GPS");
    window_.RequestRepaint();
    return;
  }
  const std::string name = DownloadTrackName(sys_.TrackDir, lastTime, Exists);
  std::filesystem::rename(target, name, ec);
  if (ec) {
    AppMessageBox("The track could not be stored: " + ec.message(), mfOk | mfIconError);
    return;
  }
  if (trace.OpenForView(name)) l_.trackFiles.ShowTrackFile(name);
  if (openOld) openOld->setChecked(trace.Viewing());
  window_.RequestRepaint();
}
