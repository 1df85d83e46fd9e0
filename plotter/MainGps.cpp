// The main window's transfers to and from a handheld GPS: the data goes
// through an outside program (the classic transfer program with its
// exchange file, or gpsbabel with GPX), run without a shell while the
// window's serial ports are closed. The window keeps painting while the
// program runs, takes no input and runs no tick; a program that passes its
// time limit is stopped and its result ignored.
#include <QAction>
#include <QEventLoop>
#include <QMenu>
#include <QProcess>
#include <QPushButton>
#include <QTimer>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include <sys/types.h>
#include <unistd.h>

#include "foundation/GenUtil.h"
#include "foundation/IniFile.h"
#include "navobjects/Routes.h"
#include "navobjects/Trace.h"
#include "platform/AtomicFile.h"
#include "platform/Paths.h"
#include "platform/Questions.h"
#include "plotter/MainForm.h"
#include "plotter/core/ChartShapes.h"
#include "plotter/symbols/ChartSymbols.h"
#include "plotter/core/GpsTransfer.h"
#include "plotter/core/SysInfo.h"

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

}  // namespace

// ---------------------------------------------------------------------------
// Running the program

bool T_Form::RunTransfer(const std::string& message, const std::string& program,
                         const std::vector<std::string>& args) {
  const bool ticking = ComTimer().Enabled();
  ComTimer().SetEnabled(false);
  ClosePorts();
  ShowProgress(message, 0, 0);

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
  QObject::connect(this, &T_Form::FormClosed, &loop, [&] {
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

  if (Closed()) return false;
  ShowProgress("", 0, 0);
  OpenPorts();
  ComTimer().SetEnabled(ticking);
  return ok;
}

namespace {

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
std::optional<TTransferPlan> Download(T_Form& f, TGpsCommand command, const TTransferSetup& s) {
  const TTransferPlan plan = PlanTransfer(command, s.program, f.SysInfo.ProgramDir, s.device, s.protocol);
  Remove(plan.exchangeFile);
  if (!f.RunTransfer(kReceiving, plan.program, plan.args)) {
    // Whatever a failed or abandoned program left is no download.
    Remove(plan.exchangeFile);
    return std::nullopt;
  }
  if (!Exists(plan.exchangeFile)) return std::nullopt;
  return plan;
}

}  // namespace

void T_Form::UpdateGpsMenu() {
  if (QMenu* m = SubMenu("GPSMenu")) m->menuAction()->setEnabled(!TransferSetup(SysInfo).program.empty());
}

// ---------------------------------------------------------------------------
// The commands

void T_Form::Positions1Click() {
  const TTransferSetup s = TransferSetup(SysInfo);
  if (!Positions || s.program.empty()) return;
  const TTransferPlan plan = PlanTransfer(TGpsCommand::SendPositions, s.program, SysInfo.ProgramDir, s.device,
                                          s.protocol);
  Remove(plan.exchangeFile);
  const bool written = plan.gpx ? Positions->ExportGpx(plan.exchangeFile, "Positions")
                                : Positions->ExportExchange(plan.exchangeFile, "", -1);
  if (!written) return;
  RunTransfer(kSending, plan.program, plan.args);
}

void T_Form::Route1Click() {
  const TTransferSetup s = TransferSetup(SysInfo);
  if (!Route || s.program.empty()) return;
  const std::optional<std::string> numberText =
      AskDialogText(Messages[kMsgGarminInfo], Messages[kMsgGarminRoute], "1");
  if (!numberText) return;
  const std::optional<std::string> name = AskDialogText(Messages[kMsgGarminInfo], Messages[kMsgRouteName], "");
  if (!name) return;
  const std::optional<int> number = ParseRouteNumber(*numberText);
  if (!number || name->empty()) return;
  const TTransferPlan plan = PlanTransfer(TGpsCommand::SendRoute, s.program, SysInfo.ProgramDir, s.device,
                                          s.protocol);
  Remove(plan.exchangeFile);
  const bool written = plan.gpx ? Route->ExportGpx(plan.exchangeFile, *name)
                                : Route->ExportExchange(plan.exchangeFile, *name, *number);
  if (!written) return;
  RunTransfer(kSending, plan.program, plan.args);
}

void T_Form::Positions2Click() {
  const TTransferSetup s = TransferSetup(SysInfo);
  if (!Positions || s.program.empty() || !AskPositionsSaved()) return;
  const bool clear = !Positions->Empty() && AskYesNo(Messages[kMsgClearAllPositions]);
  // The user's positions go only when the receiver gave something.
  const std::optional<TTransferPlan> download = Download(*this, TGpsCommand::GetPositions, s);
  if (!download) return;
  const TTransferPlan& plan = *download;
  const TRoute::TReadMode mode = clear ? TRoute::TReadMode::Replace : TRoute::TReadMode::Add;
  if (symbols_) symbols_->Shapes().SetSelectedPosition(nullptr);
  ShowProgress("...", 0, 0);
  if (plan.gpx)
    Positions->ImportGpx(plan.exchangeFile, mode);
  else
    Positions->ImportExchange(plan.exchangeFile, -1, mode);
  PositionsTail();
  ShowProgress("", 0, 0);
}

void T_Form::Route2Click() {
  const TTransferSetup s = TransferSetup(SysInfo);
  if (!Route || s.program.empty() || Route->Following || !AskRouteSaved()) return;
  const bool clear = !Route->Empty() && AskYesNo(Messages[kMsgClearOldRoute]);
  const std::optional<TTransferPlan> download = Download(*this, TGpsCommand::GetRoute, s);
  if (!download) return;
  const TTransferPlan& plan = *download;
  const int number = plan.gpx ? 0 : ChooseExchangeRoute(plan.exchangeFile);
  if (number < 0) return;
  const TRoute::TReadMode mode = clear ? TRoute::TReadMode::Replace : TRoute::TReadMode::Add;
  ShowProgress("...", 0, 0);
  if (plan.gpx)
    Route->ImportGpx(plan.exchangeFile, mode);
  else
    Route->ImportExchange(plan.exchangeFile, number, mode);
  ShowProgress("", 0, 0);
  AfterRouteLoad();
}

void T_Form::rack2Click() {
  const TTransferSetup s = TransferSetup(SysInfo);
  if (!Trace || s.program.empty()) return;
  if (Trace->Active()) {
    AppMessageBox(Messages[kMsgTrackingActive], mfOk | mfIconWarning);
    return;
  }
  const std::optional<TTransferPlan> download = Download(*this, TGpsCommand::GetTrack, s);
  if (!download) return;
  const TTransferPlan& plan = *download;

  std::error_code ec;
  std::filesystem::create_directories(SysInfo.TrackDir, ec);
  // A download left over from an earlier run is not merged into this one.
  const std::string target = JoinPath(SysInfo.TrackDir, kDownloadTrackName);
  Remove(target);
  Trace->Stop();
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
    Trace->ImportColumnText(plan.exchangeFile, target, options);
    received = Trace->LastImported().Valid;
    lastTime = Trace->LastImported().Time;
    Trace->Stop();
  }
  if (!received) {
    Remove(target);
    if (tickMenus_.openOld) tickMenus_.openOld->setChecked(false);
    ShowNotice("Nothing was received from the GPS");
    RequestRepaint();
    return;
  }
  const std::string name = DownloadTrackName(SysInfo.TrackDir, lastTime, Exists);
  std::filesystem::rename(target, name, ec);
  if (ec) {
    AppMessageBox("The track could not be stored: " + ec.message(), mfOk | mfIconError);
    return;
  }
  if (Trace->OpenForView(name)) {
    Trace->SetVisible(true);
    if (DBI_TRACE) DBI_TRACE->setText(QString::fromStdString(FileBaseName(name)));
    PlaceTrackForChart();
  }
  if (tickMenus_.openOld) tickMenus_.openOld->setChecked(Trace->Viewing());
  RequestRepaint();
}

void T_Form::WireGpsCommands() {
  WireCommand("GPSSendPositions", &T_Form::Positions1Click);
  WireCommand("GPSSendRoute", &T_Form::Route1Click);
  WireCommand("GPSGetPositions", &T_Form::Positions2Click);
  WireCommand("GPSGetRoute", &T_Form::Route2Click);
  WireCommand("GPSGetTrack", &T_Form::rack2Click);
  // The program may come or go while the plotter runs (the setup dialog,
  // a package installed): the menu looks each time it opens.
  if (FileMenu) connect(FileMenu, &QMenu::aboutToShow, this, &T_Form::UpdateGpsMenu);
}
