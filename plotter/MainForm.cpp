#include "plotter/MainForm.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QFrame>
#include <QGuiApplication>
#include <QLabel>
#include <QMenu>
#include <QPlainTextEdit>
#include <QScreen>
#include <QShowEvent>
#include <QTimer>
#include <QToolTip>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <stdexcept>
#include <system_error>

#include "charts/BMPager.h"
#include "charts/ChartFile.h"
#include "charts/ChartList.h"
#include "charts/HeaderText.h"
#include "charts/KAPctrl.h"
#include "charts/WCIctrl.h"
#include "foundation/Colors.h"
#include "foundation/GenUtil.h"
#include "foundation/IniFile.h"
#include "foundation/qt/Language.h"
#include "foundation/qt/SysColor.h"
#include "geodesy/CTrans.h"
#include "geodesy/Datum.h"
#include "geodesy/MagError.h"
#include "instruments/AIS.h"
#include "instruments/NMEA.h"
#include "instruments/qt/AfComPort.h"
#include "instruments/qt/TelnetSend.h"
#include "navobjects/LogBook.h"
#include "navobjects/NavCtrls.h"
#include "navobjects/Routes.h"
#include "navobjects/Trace.h"
#include "platform/Paths.h"
#include "platform/Questions.h"
#include "plotter/ChartCanvas.h"
#include "plotter/PosEdit.h"
#include "plotter/QtSound.h"
#include "plotter/QtTickTimer.h"
#include "plotter/ais/AisView.h"
#include "plotter/chartview/ChartDisplay.h"
#include "plotter/core/CloseQuery.h"
#include "plotter/core/FirstStart.h"
#include "plotter/core/Lifecycle.h"
#include "plotter/core/Ports.h"
#include "plotter/core/UpdateCycle.h"
#include "plotter/dashboard/DashboardColumn.h"
#include "plotter/dashboard/NightShade.h"
#include "plotter/dialogs/AuxDialogs.h"
#include "plotter/dialogs/DialogCommands.h"
#include "plotter/dialogs/NmeaMonitors.h"
#include "plotter/gps/GpsTransfer.h"
#include "plotter/output/NmeaOutput.h"
#include "plotter/ports/PortLinks.h"
#include "plotter/positions/PositionCommands.h"
#include "plotter/printing/ChartPrinting.h"
#include "plotter/route/RouteEditor.h"
#include "plotter/route/RouteExchange.h"
#include "plotter/route/RouteGuidanceView.h"
#include "plotter/settings/ProgramState.h"
#include "plotter/symbols/ChartSymbols.h"
#include "plotter/tick/UpdateTick.h"
#include "plotter/track/TrackFiles.h"
#include "plotter/track/TrackView.h"

namespace {

constexpr const char* kPositionsStartFile = "T_WPALD.SRW";
constexpr const char* kRouteStartFile = "T_RTALD.SRW";

bool FileExists(const std::string& path) {
  std::error_code ec;
  return !path.empty() && std::filesystem::is_regular_file(path, ec);
}

// An object a feature is made with. A feature is made only from objects
// that exist: when one is missing (its own step failed), so is the step
// that would make the feature.
template <class T>
T& Need(T* p) {
  if (!p) throw std::runtime_error("an object it needs is missing");
  return *p;
}
template <class T>
T& Need(const std::unique_ptr<T>& p) {
  return Need(p.get());
}

// Hides the message panel when it is clicked: a notice of the tick waits for
// the user without stopping anything.
class TClickToHide final : public QObject {
 public:
  explicit TClickToHide(QWidget* panel) : QObject(panel), panel_(panel) {}

 protected:
  bool eventFilter(QObject* watched, QEvent* e) override {
    if (e->type() == QEvent::MouseButtonPress) panel_->hide();
    return QObject::eventFilter(watched, e);
  }

 private:
  QWidget* panel_;
};

// Frees one owned object and records it.
template <class T>
void Free(std::unique_ptr<T>& p, const char* what) {
  if (!p) return;
  p.reset();
  NoteLifecycle(std::string("free ") + what);
}

}  // namespace

T_Form::T_Form(QWidget* parent)
    : QMainWindow(parent), ctx_{*this, SysInfo, PlotterFlags, NavFlags, Messages, Colours, dashSet_, forms_} {
  setObjectName(QStringLiteral("_Form"));
  setWindowTitle(QStringLiteral("Brismare "));
  // The smallest useful window; the stored bounds never shrink it further.
  setMinimumSize(480, 480);
  BuildWindow();
  NoteLifecycle("create T_Form");
  FormCreate();
  // Key preview: the window sees every key of its controls first.
  qApp->installEventFilter(this);
}

T_Form::~T_Form() { FormDestroy(); }

TNMEA* T_Form::Parser() const { return NMEABuffer ? &NMEABuffer->Parser() : nullptr; }

// ---------------------------------------------------------------------------
// Start
//
// The long-lived objects are made in the order of the steps below, each
// step guarded on its own; each feature of the window is made in a step of
// its own right after the objects it works with, from them. A feature whose
// objects are missing is not made, and the handlers that would reach it do
// nothing.

void T_Form::FormCreate() {
  TStartRunner& r = StartErrors;
  PlotterFlags = {pfStarting};

  r.Step(1, "settings file", [&] { InitSysInfoPaths(SysInfo, SettingsFilePath(DataDir()), DataDir()); });
  bool firstStart = false;
  r.Step(1, "first start", [&] { firstStart = IsFirstStart(SysInfo.IniFile, SysInfo.IndexFile); });

  r.Step(2, "chart cursors", [&] {
    Cursors.Load();
    Cursors.FatCursors = false;
    Cursors.CursorMode = ccAim;
    Cursors.Show(*MapCanvas);
  });

  r.Step(3, "speaker", [&] {
    Speaker = std::make_unique<TSpeaker>();
    NoteLifecycle("create TSpeaker");
    soundSink_ = std::make_unique<TQtSoundSink>();
    Speaker->Sink = soundSink_.get();
  });

  r.Step(4, "hint font", [&] {
    QToolTip::setFont(font());
    DashboardDesignWidth = DB->minimumWidth();
  });

  r.Step(5, "chart catalog", [&] {
    ChartList = std::make_unique<TChartList>();
    NoteLifecycle("create TChartList");
  });

  r.Step(6, "datum table", [&] {
    EnsureDefaultDatumFile(SysInfo.ProgramDir, ShippedDataDir());
    // Aliases the user adds go to the data directory's table, never to the
    // shipped one: no shipped directory here.
    Datum = std::make_unique<TDatum>(DatumTableFile(SysInfo.ProgramDir, std::string()));
    NoteLifecycle("create TDatum");
  });
  r.Step(6, "decoders", [&] {
    KAPDecoder = std::make_unique<TKAPDecoder>();
    NoteLifecycle("create TKAPDecoder");
    WCIDecoder = std::make_unique<TWCIDecoder>();
    NoteLifecycle("create TWCIDecoder");
  });
  r.Step(6, "chart converter", [&] {
    Converter = std::make_unique<TWorldConvert>();
    NoteLifecycle("create TWorldConvert");
  });

  r.Step(7, "NMEA input", [&] {
    NMEABuffer = std::make_unique<TNMEALineBuffer>();
    NMEABuffer->Source = kSourcePortA;
    NoteLifecycle("create TNMEALineBuffer main");
    NoteLifecycle("create TNMEA");
    NMEABuffer->Parser().Converter = Converter.get();
  });
  r.Step(7, "log book", [&] {
    LogBook = std::make_unique<TLOGGBOOK>(NMEABuffer ? &NMEABuffer->Parser().Info : nullptr);
    NoteLifecycle("create TLOGGBOOK");
    LogBook->TotalDistance = &SysInfo.TotalDistance;
    // A lost entry is said in the message panel, once, without stopping
    // anything.
    LogBook->OnWriteError = [this](const std::string& text) { ShowNotice(text); };
  });
  r.Step(7, "further line buffers", [&] {
    TNMEA* parser = &Need(Parser());
    SimBuffer = std::make_unique<TNMEALineBuffer>(parser);
    SimBuffer->Source = kSourceNetwork;
    NoteLifecycle("create TNMEALineBuffer sim");
    NMEABufferB = std::make_unique<TNMEALineBuffer>(parser);
    NMEABufferB->Source = kSourcePortB;
    NoteLifecycle("create TNMEALineBuffer B");
    NMEABufferC = std::make_unique<TNMEALineBuffer>(parser);
    NMEABufferC->Source = kSourcePortC;
    NoteLifecycle("create TNMEALineBuffer C");
  });
  r.Step(7, "AIS decoder", [&] {
    Ais = std::make_unique<TAisDecoder>(Need(Parser()));
    NoteLifecycle("create TAisDecoder");
  });
  r.Step(7, "NMEA monitors", [&] { monitors_ = std::make_unique<TNmeaMonitors>(ctx_, Need(Parser())); });
  r.Step(7, "ports and network", [&] {
    ports_ = std::make_unique<TPortLinks>(
        ctx_, TPortLinks::TPorts{*GPSCom, *NMEAPort1, *NMEAPort2},
        TPortLinks::TBuffers{Need(NMEABuffer), Need(NMEABufferB), Need(NMEABufferC), Need(SimBuffer)},
        Need(Parser()), TelnetSend, Need(monitors_));
  });

  r.Step(8, "message table", [&] { ReloadMessageTable(); });

  r.Step(9, "pager", [&] {
    Pager = std::make_unique<TBitmapPager>();
    NoteLifecycle("create TBitmapPager");
    SysInfo.DefaultDiskmapBuffer = static_cast<int32_t>(Pager->MemoryBudget / 1024);
    SysInfo.DefaultDiskmapImageMem = static_cast<int32_t>(Pager->WholeImageLimit / 1024);
    Pager->Decoder = KAPDecoder.get();
    if (Converter) Converter->SetScale(1.0, 1.0);
  });

  r.Step(10, "colour scheme", [&] {
    SysColor = std::make_unique<TSYSCOLOR>();
    NoteLifecycle("create TSYSCOLOR");
  });

  r.Step(11, "positions and route", [&] {
    Positions = std::make_unique<TRoute>();
    NoteLifecycle("create TRoute positions");
    Route = std::make_unique<TRoute>();
    NoteLifecycle("create TRoute route");
    // Route following writes its entries to the log book.
    Route->LogBook = LogBook.get();
    // The text and exchange formats ask before they take a file of another
    // datum (No declines the file and leaves the list as it was).
    for (TRoute* list : {Route.get(), Positions.get()})
      list->Options.ConfirmOtherDatum = [] { return AskYesNo(kOtherDatumQuestion); };
  });
  r.Step(11, "route and position symbols", [&] {
    symbols_ = std::make_unique<TChartSymbols>(ctx_, Need(Route), Need(Positions), Need(Converter), *MapCanvas);
  });
  r.Step(11, "NMEA output", [&] {
    output_ = std::make_unique<TNmeaOutput>(ctx_, Need(Parser()), Need(ports_), Need(Route), Need(Positions));
  });

  r.Step(12, "chart file reader", [&] {
    ExternalCodec = std::make_unique<TChartHeadExternalCodec>();
    NoteLifecycle("create TChartHeadExternalCodec");
    ChartFile = std::make_unique<TChartFile>(*ExternalCodec);
    NoteLifecycle("create TChartFile");
  });

  r.Step(13, "read settings", [&] { LoadSettings(SysInfo); });
  r.Step(13, "program state", [&] { programState_ = std::make_unique<TProgramState>(ctx_); });

  r.Step(14, "parser and pager settings", [&] {
    if (TNMEA* p = Parser()) {
      p->ChecksumMode = SysInfo.NmeaCheckSum;
      p->CogSwitchSpeed = SysInfo.CogSwitchSpeed;
      p->OwnMMSI = SysInfo.AisOwnMMSI;
    }
    if (Pager) {
      Pager->MemoryBudget = int64_t{SysInfo.DiskmapBuffer} * 1024;
      Pager->WholeImageLimit = int64_t{SysInfo.DiskmapImageMem} * 1024;
      Pager->MaxZoomOutRes = SysInfo.MaxZoomOutRes;
    }
  });

  r.Step(15, "window bounds", [&] { SetBoundsFromSettings(); });

  r.Step(16, "open catalog", [&] {
    // The chart directories without the "*" marks of recursive scanning.
    if (ChartFile) ChartFile->SearchPath = ChartSearchPath(SysInfo.ChartDir);
    if (ChartList) {
      // A damaged catalog keeps the charts read before the damage and is left
      // on disk as it is; a groups file whose damaged member records were
      // skipped is written again (its old bytes kept beside it). The user
      // hears of either once the window is up.
      std::string problems;
      for (const TCatalogLoadResult& result :
           {ChartList->LoadFromFile(SysInfo.IndexFile, SysInfo.ChartDir), ChartList->LoadGroups(SysInfo.GroupsFile)})
        if ((!result.Ok() || result.DamageFound) && !result.Message.empty())
          problems += (problems.empty() ? "" : "\n") + result.Message;
      if (!problems.empty())
        QTimer::singleShot(0, this, [this, problems] {
          if (!destroyed_) ShowFailureNotice(problems);
        });
    }
  });

  r.Step(16, "first-start notice", [&] {
    if (!firstStart) return;
    const std::string notice = PrepareFirstStart(SysInfo.ProgramDir, SysInfo.ChartDir);
    QTimer::singleShot(0, this, [this, notice] {
      if (!destroyed_) AppMessageBox(notice, mfOk | mfIconInformation);
    });
  });

  r.Step(17, "progress and title", [&] {
    SetProgressCallback([this](const std::string& text, int position, int max) {
      return ShowProgress(text, position, max);
    });
    setWindowTitle(QStringLiteral("Brismare "));
  });

  r.Step(18, "start files", [&] { LoadStartFiles(); });

  r.Step(19, "magnetic model", [&] {
    MagError = std::make_unique<TMagError>(true);
    NoteLifecycle("create TMagError");
    const std::string cof = ResolveStoredPath(SysInfo.MwwCof, SysInfo.ProgramDir);
    // A file that cannot be read or does not load leaves the built-in model.
    if (FileExists(cof)) MagError->LoadFile(cof);
    MagError->Prepare(12);
  });

  r.Step(20, "quick shapes", [&] {
    const TColor fuchsia = kPalette16[piFuchsia];
    BoatShape = std::make_unique<TQuickShape>();
    BoatShape->Setup(fuchsia, qpmCopy, 16, 2, qpsSolid, qpsSolid);
    NoteLifecycle("create TQuickShape boat");
    RingShape = std::make_unique<TQuickShape>();
    RingShape->Setup(kPalette16[piBlack], qpmCopy, 50, 1, qpsDot, qpsSolid);
    NoteLifecycle("create TQuickShape rings");
    SpeedShape = std::make_unique<TQuickShape>();
    SpeedShape->Setup(fuchsia, qpmCopy, 8, 2, qpsSolid, qpsSolid);
    NoteLifecycle("create TQuickShape speed");
  });
  r.Step(20, "chart view", [&] {
    const TChartDisplay::TObjects objects{Need(ChartList), Need(Datum),     KAPDecoder,      WCIDecoder,
                                          Need(Converter), Need(Pager),     Need(ExternalCodec), Need(ChartFile),
                                          Need(Parser()),  Need(Ais),       Need(BoatShape), Need(RingShape),
                                          Need(SpeedShape), Need(Positions)};
    chart_ = std::make_unique<TChartDisplay>(ctx_, objects, Need(ChartCanvas()), Cursors);
    chart_->AddOverlay(TOverlayLevel::Symbols, Need(symbols_));
  });
  r.Step(20, "dashboard", [&] {
    dashboard_ = std::make_unique<TDashboardColumn>(ctx_, dashSet_, Need(Parser()), Need(Route), Need(LogBook),
                                                    Need(symbols_), Need(chart_), DashboardDesignWidth);
  });
  r.Step(20, "night shading", [&] {
    const TNightShade::TObjects objects{KAPDecoder,      WCIDecoder,      Need(ChartFile), Need(Pager),
                                        Need(SysColor),  Need(BoatShape), Need(RingShape), Need(SpeedShape)};
    shading_ = std::make_unique<TNightShade>(ctx_, Colours, objects, Need(chart_), Need(symbols_), Need(dashboard_),
                                             *MapCanvas);
  });
  r.Step(20, "AIS view", [&] {
    aisView_ = std::make_unique<TAisView>(ctx_, Need(Ais), Need(Parser()), Need(Converter), Need(chart_));
    chart_->AddOverlay(TOverlayLevel::Targets, *aisView_);
  });
  r.Step(20, "route guidance", [&] {
    guidance_ = std::make_unique<TRouteGuidanceView>(ctx_, Need(Route), Need(Positions), Need(Parser()),
                                                     Need(output_));
  });
  r.Step(20, "route editor", [&] {
    routeEditor_ = std::make_unique<TRouteEditor>(ctx_, Need(Route), Need(Positions), Need(symbols_), Need(chart_),
                                                  Need(Converter), Cursors);
    routeExchange_ = std::make_unique<TRouteExchange>(ctx_, *Route, *routeEditor_);
  });
  r.Step(20, "positions", [&] {
    positions_ = std::make_unique<TPositionCommands>(ctx_, Need(Positions), Need(symbols_), Need(chart_),
                                                     Need(Parser()));
  });
  r.Step(20, "dialogs", [&] {
    dialogs_ = std::make_unique<TDialogCommands>(ctx_, Need(ChartList), Need(chart_), Need(Route),
                                                 Need(routeEditor_), Need(symbols_));
  });

  r.Step(21, "track recorder", [&] {
    Trace = std::make_unique<TTrace>(Converter.get());
    NoteLifecycle("create TTrace");
  });
  r.Step(21, "track view", [&] {
    track_ = std::make_unique<TTrackView>(ctx_, Need(Trace), Need(Parser()), Need(chart_));
    chart_->AddOverlay(TOverlayLevel::Track, *track_);
    trackFiles_ = std::make_unique<TTrackFiles>(ctx_, *Trace, *track_);
  });
  r.Step(21, "GPS transfer", [&] {
    gps_ = std::make_unique<TGpsTransfer>(
        ctx_, TGpsTransfer::TLists{Need(Positions), Need(Route), Need(Trace), Need(positions_), Need(routeEditor_),
                                   Need(routeExchange_), Need(trackFiles_)});
  });
  r.Step(21, "printing", [&] {
    printing_ = std::make_unique<TChartPrinting>(
        ctx_, TChartPrinting::TObjects{Need(chart_), Need(Pager), KAPDecoder, WCIDecoder, Need(Converter),
                                       Need(ChartList), Need(Positions), Need(Route), Need(Trace)});
  });

  r.Step(22, "modes", [&] {
    SetShadeLevel(0);
    PlotterFlags.Set(pfAutomatic, SysInfo.AutoScroll);
    PlotterFlags.Set(pfTracking, SysInfo.ShowTrack);
    if (QAction* a = MenuItem("ShowMagneticHeadings1")) a->setChecked(SysInfo.RteMagDisp);
  });

  r.Step(23, "log counter", [&] {
    LogDist = std::make_unique<TLogDist>();
    NoteLifecycle("create TLogDist");
    LogDist->Reset();
    LogDist->Cutoff = SysInfo.LogCutoff;
  });
  r.Step(23, "fuel table", [&] {
    if (!LogDist) return;
    // The section as the settings were read, not the whole file again.
    TIniFile fuel = TIniFile::FromBytes({});
    for (const auto& [speed, rate] : SysInfo.FuelData) fuel.WriteString(kFuelSection, speed, rate);
    std::vector<std::string> skipped;
    LogDist->LoadFuelTable(fuel, kFuelSection, &skipped);
    if (!skipped.empty()) {
      std::string keys;
      for (const std::string& k : skipped) keys += (keys.empty() ? "\"" : ", \"") + k + "\"";
      ShowNotice("Fuel Data: " + keys + (skipped.size() == 1 ? " is" : " are") +
                 " not a speed in tenths of a knot and left out");
    }
  });
  r.Step(23, "fuel row", [&] {
    // Fuel is counted from two table entries on.
    if (!LogDist || !LogDist->CountsFuel()) Need(dashboard_).RemoveFuelRow();
  });

  // The chart view starts with no chart (current and previous -2) and no
  // preferred scale.
  r.Step(24, "chart state", [&] { SysInfo.ClockOneShot = SysInfo.UseGPSClock; });

  r.Step(25, "apply settings", [&] { ApplySettings(true); });

  r.Step(26, "network source", [&] {
    try {
      Need(ports_).CreateNetworkSource();
    } catch (...) {
      // Without a client the plotter simply has no network source.
      TelnetSend.reset();
      if (ports_) ports_->NetworkMode = false;
    }
  });

  r.Step(27, "update cycle", [&] {
    TUpdateTick::TParts parts;
    parts.ports = ports_.get();
    parts.dashboard = dashboard_.get();
    parts.chart = chart_.get();
    parts.guidance = guidance_.get();
    parts.output = output_.get();
    parts.ais = aisView_.get();
    parts.track = track_.get();
    parts.monitors = monitors_.get();
    parts.route = Route.get();
    parts.magnetic = MagError.get();
    parts.log = LogDist.get();
    parts.speaker = Speaker.get();
    parts.logBook = LogBook.get();
    tick_ = std::make_unique<TUpdateTick>(ctx_, Need(Parser()), SimBuffer.get(), parts);
    if (MsgP) MsgP->installEventFilter(new TClickToHide(MsgP));
  });
  r.Step(27, "timer", [&] {
    comTimer_->SetEnabled(true);
    NoteLifecycle("enable ComTimer");
    stateTimer_->SetEnabled(true);
  });

  r.Step(28, "dead-reckoning fields", [&] {
    DB_DRLat->SetMaskText(PosToMaskText(false, SysInfo.LastLat));
    DB_DRLong->SetMaskText(PosToMaskText(true, SysInfo.LastLong));
  });

  r.Step(29, "dashboard", [&] { Need(dashboard_).ShowDashboard(!SysInfo.NoStartupDash); });

  // The transfer program: a file named by "G7T", or gpsbabel found on the
  // search path.
  r.Step(30, "GPS menu", [&] { Need(gps_).UpdateGpsMenu(); });

  // The user hears of start-up problems once the message loop runs, after
  // the window is on screen.
  if (r.Failed())
    QTimer::singleShot(0, this, [this] {
      if (!destroyed_) StartErrors.ReportOnce();
    });
}

void T_Form::SetBoundsFromSettings() {
  // The keys hold the edges of the normal window (right and bottom too).
  QRect r(QPoint(SysInfo.WinLeft, SysInfo.WinTop), QPoint(SysInfo.WinWidth - 1, SysInfo.WinHeight - 1));
  r.setWidth(std::max(r.width(), minimumWidth()));
  r.setHeight(std::max(r.height(), minimumHeight()));
  // A window stored on a screen that is no longer there comes back to the
  // first one.
  bool onScreen = QGuiApplication::screens().isEmpty();
  for (QScreen* s : QGuiApplication::screens())
    if (s->availableGeometry().intersects(r)) onScreen = true;
  if (!onScreen) r.moveTopLeft(QPoint(0, 0));
  setGeometry(r);
}

void T_Form::StoreBoundsInSettings() {
  const QRect r = normalGeometry().isValid() ? normalGeometry() : geometry();
  SysInfo.WinLeft = r.left();
  SysInfo.WinTop = r.top();
  SysInfo.WinWidth = r.left() + r.width();
  SysInfo.WinHeight = r.top() + r.height();
}

void T_Form::LoadStartFiles() {
  struct Item {
    TRoute* list;
    const char* file;
    int index;
  };
  const Item items[] = {{Positions.get(), kPositionsStartFile, 0}, {Route.get(), kRouteStartFile, 1}};
  for (const Item& it : items) {
    const std::string path = SysInfo.ProgramDir + it.file;
    if (!it.list || !FileExists(path)) continue;
    const int n = it.index == 0 ? it.list->LoadPositions(path) : it.list->LoadFromFile(path);
    if (n < 0 || it.list->LastReadDamaged) {
      // An unreadable or damaged start file still holds the user's data:
      // it is kept (what could be read of it is shown).
      StartFileKept[it.index] = true;
      ShowNotice(path + " could not be read whole; it is kept as it is" +
                 (it.list->LastError.empty() ? std::string() : " (" + it.list->LastError + ")"));
    }
    it.list->FileName.clear();
  }
}

void T_Form::SaveStartFiles() {
  struct Item {
    TRoute* list;
    const char* file;
    bool autoload;
    int index;
  };
  const Item items[] = {{Positions.get(), kPositionsStartFile, SysInfo.AutoloadWaypts, 0},
                        {Route.get(), kRouteStartFile, SysInfo.AutoloadRoute, 1}};
  for (const Item& it : items) {
    const std::string path = SysInfo.ProgramDir + it.file;
    const bool save = it.list && it.autoload && it.list->Count() > 0;
    std::error_code ec;
    if (StartFileKept[it.index]) {
      // The file could not be read at start: it is not deleted, and before
      // a new list replaces it, it is set aside.
      if (!save) continue;
      std::filesystem::rename(path, path + ".bak", ec);
      if (ec) continue;
    }
    if (save) {
      if (it.list->SaveToFile(path) < 0)
        std::fprintf(stderr, "brismare: %s could not be written: %s\n", path.c_str(), it.list->LastError.c_str());
    } else if (FileExists(path)) {
      std::filesystem::remove(path, ec);
    }
  }
}

// ---------------------------------------------------------------------------
// Show

void T_Form::showEvent(QShowEvent* e) {
  QMainWindow::showEvent(e);
  // A restore from the task bar is spontaneous and not a new show.
  if (!e->spontaneous()) FormShow();
}

void T_Form::FormShow() {
  TStartRunner& r = StartErrors;
  TX_MESSAGES->hide();
  QCoreApplication::postEvent(this, new QEvent(static_cast<QEvent::Type>(kLanguageMessage)));

  if (PlotterFlags.Has(pfStarting)) {
    r.Step(101, "groups dialog", [&] {
      if (forms_.GRP_Org) forms_.GRP_Org->Catalog = ChartList.get();
    });
    r.Step(102, "window state", [&] {
      if (SysInfo.WinState) setWindowState(windowState() | Qt::WindowMaximized);
    });
    r.Step(103, "log book", [&] {
      if (LogBook) LogBook->Log("Brismare Started", 0);
    });
    r.Step(104, "instrument boxes", [&] {
      if (dashboard_) dashboard_->UpdateInstrumentBoxes();
    });
    r.Step(105, "track", [&] {
      if (track_) track_->ApplyTracking();
    });
    r.Step(106, "simulation file", [&] {
      if (!(ports_ && ports_->NetworkMode) && SimBuffer && !SysInfo.NmeaSimul.empty())
        SimBuffer->OpenReplay(ResolveStoredPath(SysInfo.NmeaSimul, SysInfo.ProgramDir));
    });
    r.Step(107, "sentence capture", [&] {
      if (TNMEA* p = Parser(); p && !SysInfo.NmeaCaptFile.empty())
        p->SetCapture(ResolveStoredPath(SysInfo.NmeaCaptFile, SysInfo.ProgramDir), SysInfo.NmeaCaptMsg);
    });
    r.Step(108, "open ports", [&] { ApplySettings(false); });
  }
  PlotterFlags.Exclude(pfStarting);
  r.Step(109, "status", [&] { UpdateStatus(); });

  if (ports_ && ports_->NetworkMode && TelnetSend) {
    r.Step(110, "network", [&] { ports_->StartNetworkSource(); });
  }
  if (r.Failed())
    QTimer::singleShot(0, this, [this] {
      if (!destroyed_) StartErrors.ReportOnce();
    });
}

bool T_Form::event(QEvent* e) {
  if (e->type() == static_cast<QEvent::Type>(kLanguageMessage)) {
    try {
      ApplyLanguage(SysInfo.LanguageFile, false);
    } catch (...) {
      // A broken language file leaves the built-in texts.
    }
    return true;
  }
  return QMainWindow::event(e);
}

// ---------------------------------------------------------------------------
// The repaint request

bool T_Form::TakeRepaintRequest() {
  const bool r = repaintRequested_;
  repaintRequested_ = false;
  return r;
}

// ---------------------------------------------------------------------------
// Resize

void T_Form::resizeEvent(QResizeEvent* e) {
  QMainWindow::resizeEvent(e);
  FormResize();
}

void T_Form::FormResize() {
  PlotterFlags.Include(pfResized);
  PlaceMessagePanel();
}

// ---------------------------------------------------------------------------
// Close

void T_Form::CloseOrderly() {
  orderlyClose_ = true;
  if (!formClosed_) close();
}

bool T_Form::FormCloseQuery() {
  TCloseState s;
  s.noQuitQuery = SysInfo.NoQuitQuery;
  if (Route) {
    s.routeModified = Route->Modified;
    s.routeCount = Route->Count();
  }
  if (Positions) {
    s.positionsModified = Positions->Modified;
    s.positionsCount = Positions->Count();
  }
  return CloseAllowed(s, Messages);
}

void T_Form::closeEvent(QCloseEvent* e) {
  if (formClosed_) {
    e->accept();
    return;
  }
  bool allowed = true;
  if (!orderlyClose_) {
    try {
      allowed = FormCloseQuery();
    } catch (...) {
      allowed = true;  // the questions must never trap the user
    }
  }
  if (!allowed) {
    e->ignore();
    return;
  }
  FormClose();
  e->accept();
  emit FormClosed();
}

QMetaObject::Connection T_Form::OnFormClosed(QObject* context, std::function<void()> f) {
  return connect(this, &T_Form::FormClosed, context, std::move(f));
}

void T_Form::ShowFailureNotice(const std::string& text) {
  std::fprintf(stderr, "brismare: %s\n", text.c_str());
  // No box while the program is being ended from outside: nobody may be
  // there to answer it.
  if (!orderlyClose_) AppMessageBox(text, mfOk | mfIconError);
}

void T_Form::FormClose() {
  formClosed_ = true;
  try {
    if (LogBook) LogBook->Log("Brismare Terminated", 0);
  } catch (...) {
  }
  try {
    if (ShadeLevel() != 0 && SysColor) SysColor->Restore();
  } catch (...) {
  }
  SysInfo.WinState = isMaximized();
  StoreBoundsInSettings();
  if (programState_) programState_->SaveAtClose();
}

// ---------------------------------------------------------------------------
// Destroy

void T_Form::FormDestroy() {
  if (destroyed_) return;
  destroyed_ = true;
  qApp->removeEventFilter(this);
  // Nothing may tick into objects that are going away.
  if (comTimer_) {
    comTimer_->SetEnabled(false);
    NoteLifecycle("stop ComTimer");
  }
  if (tick_ && !tick_->Cycle().Busy()) tick_.reset();
  if (stateTimer_) stateTimer_->SetEnabled(false);
  SetProgressCallback({});

  auto guarded = [](auto&& f) {
    try {
      f();
    } catch (...) {
    }
  };

  guarded([&] {
    if (ports_) ports_->DetachNetwork();
    Free(TelnetSend, "TTelnetSend");
  });
  guarded([&] {
    for (TAfComPort* port : {GPSCom, NMEAPort1, NMEAPort2})
      if (port) port->disconnect(this);
    ClosePorts();
    NoteLifecycle("close ports");
  });
  guarded([&] {
    if (programState_) programState_->SaveAtDestroy();
  });
  guarded([&] {
    SaveStartFiles();
    NoteLifecycle("write start files");
  });

  // The features go before the objects they were given, the last made
  // first (the shared data line's socket closes with the output).
  guarded([&] { printing_.reset(); });
  guarded([&] { gps_.reset(); });
  guarded([&] { trackFiles_.reset(); });
  guarded([&] { track_.reset(); });
  guarded([&] { dialogs_.reset(); });
  guarded([&] { positions_.reset(); });
  guarded([&] { routeExchange_.reset(); });
  guarded([&] { routeEditor_.reset(); });
  guarded([&] { guidance_.reset(); });
  guarded([&] { aisView_.reset(); });
  guarded([&] { shading_.reset(); });
  guarded([&] { dashboard_.reset(); });
  guarded([&] { chart_.reset(); });
  guarded([&] { programState_.reset(); });
  guarded([&] { output_.reset(); });
  guarded([&] { symbols_.reset(); });
  guarded([&] { ports_.reset(); });
  guarded([&] { monitors_.reset(); });
  guarded([&] { Free(MagError, "TMagError"); });
  guarded([&] { Free(LogDist, "TLogDist"); });
  guarded([&] { Free(Trace, "TTrace"); });
  guarded([&] { Free(LogBook, "TLOGGBOOK"); });
  guarded([&] { Free(BoatShape, "TQuickShape boat"); });
  guarded([&] { Free(RingShape, "TQuickShape rings"); });
  guarded([&] { Free(SpeedShape, "TQuickShape speed"); });
  guarded([&] { Free(Pager, "TBitmapPager"); });
  guarded([&] {
    if (TNMEA* p = Parser()) p->Converter = nullptr;
    Free(Converter, "TWorldConvert");
  });
  guarded([&] { Free(KAPDecoder, "TKAPDecoder"); });
  guarded([&] { Free(WCIDecoder, "TWCIDecoder"); });
  guarded([&] { Free(Route, "TRoute route"); });
  guarded([&] { Free(Positions, "TRoute positions"); });
  guarded([&] { Free(ChartFile, "TChartFile"); });
  guarded([&] { Free(ExternalCodec, "TChartHeadExternalCodec"); });
  guarded([&] { Free(ChartList, "TChartList"); });
  guarded([&] { Free(Datum, "TDatum"); });
  // The decoder leaves the parser before the parser goes; the buffers that
  // share the parser go before the one that owns it.
  guarded([&] { Free(Ais, "TAisDecoder"); });
  guarded([&] { Free(SimBuffer, "TNMEALineBuffer sim"); });
  guarded([&] { Free(NMEABufferB, "TNMEALineBuffer B"); });
  guarded([&] { Free(NMEABufferC, "TNMEALineBuffer C"); });
  guarded([&] {
    if (!NMEABuffer) return;
    NMEABuffer.reset();
    NoteLifecycle("free TNMEALineBuffer main");
    NoteLifecycle("free TNMEA");
  });
  guarded([&] { Free(Speaker, "TSpeaker"); });
  guarded([&] { soundSink_.reset(); });
  guarded([&] { Free(SysColor, "TSYSCOLOR"); });
  NoteLifecycle("free T_Form");
}
