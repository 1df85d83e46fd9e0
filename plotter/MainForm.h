// The plotter's main window, T_Form: it creates and owns every long-lived
// object of the program in a fixed order, holds the window's components,
// runs the start, show, close and destroy, takes the keyboard first, and
// keeps the event handlers, each a call into the feature that does the
// work. This header is the window's index. Each feature is a class in a
// folder of its own, made in FormCreate from the objects it works with;
// its plain logic is in plotter/core/ (named in brackets):
//   chartview/  TChartDisplay: the chart on show, opening, zoom and scroll,
//               the mouse, painting, chart commands, the marker; the
//               cursors (ChartView, ChartLoader, ChartOverlays)
//   symbols/    TChartSymbols: the route's and positions' symbols (ChartShapes)
//   dashboard/  TDashboardColumn: the boxes, their layout, the instrument
//               menu; TNightShade: night shading (Dashboard)
//   tick/       TUpdateTick: the one-second cycle's parts (UpdateCycle)
//   ports/      TPortLinks: the serial ports and the network source (Ports)
//   output/     TNmeaOutput: NMEA output, the shared data line (RouteGuidance)
//   route/      TRouteGuidanceView: activation and guidance; TRouteEditor:
//               the editor, route files; TRouteExchange (RouteUi, RouteGuidance)
//   positions/  TPositionCommands: the positions' commands and box
//   track/      TTrackView: the track on the chart; TTrackFiles
//   gps/        TGpsTransfer: transfers to and from a GPS (GpsTransfer)
//   ais/        TAisView: the AIS targets' display (AisDisplay)
//   printing/   TChartPrinting and the print windows (PrintLayout)
//   dialogs/    TDialogCommands, TNmeaMonitors, the smaller dialogs' windows
//               (DialogLogic)
//   settings/   TProgramState, the setup dialog (SysInfo, SetupKeys)
// MainForm.cpp: start, show, close, destroy; MainWindow.cpp and MainMenus.cpp:
// the components; MainKeys.cpp: the keyboard map; MainSettings.cpp: settings
// and language into the objects and features; MainHandlers.cpp: the
// handlers. The features share the window's services and state
// (WindowServices.h).
#pragma once

#include <QMainWindow>

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "foundation/Types.h"
#include "plotter/WindowServices.h"
#include "plotter/chartview/ChartCursors.h"
#include "plotter/core/Dashboard.h"
#include "plotter/core/KeyMap.h"
#include "plotter/core/Messages.h"
#include "plotter/core/PlotterFlags.h"
#include "plotter/core/StartSteps.h"
#include "plotter/core/SysInfo.h"
#include "plotter/core/TickTimer.h"

class QFrame; class QLabel; class QLineEdit; class QMenu; class QPlainTextEdit; class QProgressBar; class QPushButton;
class QToolButton;
class TAfComPort; class TAisDecoder; class TBitmapPager; class TChartCanvas; class TChartFile;
class TChartHeadExternalCodec; class TChartList; class TDatum; class TKAPDecoder; class TLOGGBOOK; class TLogDist;
class TMagError; class TNMEA; class TNMEALineBuffer; class TPosEdit; class TQuickShape; class TRoute; class TSYSCOLOR;
class TSpeaker; class ISoundSink; class TTelnetSend; class TTrace; class TWCIDecoder; class TWorldConvert;
// The features of the window.
class TAisView; class TChartDisplay; class TChartPrinting; class TChartSymbols; class TDashboardColumn;
class TDialogCommands; class TGpsTransfer; class TNightShade; class TNmeaMonitors; class TNmeaOutput;
class TPortLinks; class TPositionCommands; class TProgramState; class TRouteEditor; class TRouteExchange;
class TRouteGuidanceView; class TTrackFiles; class TTrackView; class TUpdateTick;

// The event that applies the language file once the window is on screen.
inline constexpr int kLanguageMessage = 1027;

class T_Form : public QMainWindow, public IWindowServices {
  Q_OBJECT

 public:
  // Builds the window and runs FormCreate; the destructor runs FormDestroy.
  explicit T_Form(QWidget* parent = nullptr);
  ~T_Form() override;
  void SetForms(const TFormSet& forms) { forms_ = forms; }
  const TFormSet& Forms() const { return forms_; }

  // ---- the window's state ----
  TPlotterFlags PlotterFlags;
  TNavFlags NavFlags;
  RSysInfo SysInfo;
  TMessageTable Messages;
  // What went wrong during start-up (each step is guarded on its own).
  TStartRunner StartErrors;
  // The colours everything is drawn with at the current shade level.
  TWindowColours Colours;
  // The chart canvas's cursors.
  TChartCursors Cursors;
  // The dashboard boxes that are to show.
  TDashSet DashboardSet() const { return dashSet_; }
  int DashboardDesignWidth = 125;
  // Start files that could not be read this run: they are neither deleted
  // nor overwritten at the end (0 positions, 1 route).
  bool StartFileKept[2] = {false, false};

  // ---- owned objects, created in FormCreate and freed in FormDestroy;
  // any of them is null when its creation failed ----
  std::unique_ptr<TSpeaker> Speaker;
  std::unique_ptr<TChartList> ChartList;
  std::unique_ptr<TDatum> Datum;
  std::unique_ptr<TKAPDecoder> KAPDecoder;  std::unique_ptr<TWCIDecoder> WCIDecoder;
  std::unique_ptr<TWorldConvert> Converter;
  // Line buffers: main (port A, owns the parser), simulation or network,
  // port B, port C; the parser through the main one (null without it).
  std::unique_ptr<TNMEALineBuffer> NMEABuffer, SimBuffer, NMEABufferB, NMEABufferC;
  TNMEA* Parser() const;
  // The decoder of the parser's "!" sentences and the target table.
  std::unique_ptr<TAisDecoder> Ais;
  std::unique_ptr<TLOGGBOOK> LogBook;
  std::unique_ptr<TBitmapPager> Pager;
  std::unique_ptr<TSYSCOLOR> SysColor;
  std::unique_ptr<TRoute> Positions, Route;
  std::unique_ptr<TChartHeadExternalCodec> ExternalCodec;  std::unique_ptr<TChartFile> ChartFile;
  std::unique_ptr<TMagError> MagError;
  std::unique_ptr<TQuickShape> BoatShape, RingShape, SpeedShape;
  std::unique_ptr<TTrace> Trace;
  std::unique_ptr<TLogDist> LogDist;
  std::unique_ptr<TTelnetSend> TelnetSend;

  // ---- the features (each exists unless a start step it needs failed) ----
  TNmeaMonitors& Monitors() const { return *monitors_; }
  TPortLinks& Ports() const { return *ports_; }
  TChartSymbols& Symbols() const { return *symbols_; }
  TNmeaOutput& Output() const { return *output_; }
  TProgramState& ProgramState() const { return *programState_; }
  TChartDisplay& Chart() const { return *chart_; }
  TDashboardColumn& Dashboard() const { return *dashboard_; }
  TNightShade& Shading() const { return *shading_; }
  TAisView& AisView() const { return *aisView_; }
  TRouteGuidanceView& Guidance() const { return *guidance_; }
  TRouteEditor& RouteEditor() const { return *routeEditor_; }
  TRouteExchange& RouteExchange() const { return *routeExchange_; }
  TPositionCommands& PositionCommands() const { return *positions_; }
  TDialogCommands& Dialogs() const { return *dialogs_; }
  TTrackView& Track() const { return *track_; }
  TTrackFiles& TrackFiles() const { return *trackFiles_; }
  TGpsTransfer& Gps() const { return *gps_; }
  TChartPrinting& Printing() const { return *printing_; }

  // ---- components ----
  TAfComPort *GPSCom = nullptr, *NMEAPort1 = nullptr, *NMEAPort2 = nullptr;  // ports A, B, C
  QWidget *Scroll = nullptr, *MapCanvas = nullptr;  // the chart area and its canvas
  TChartCanvas* ChartCanvas() const;
  // The message panel, its text and progress bar; the message table.
  QFrame* MsgP = nullptr;  QLabel* MsgT = nullptr;  QProgressBar* MsgB = nullptr;
  QPlainTextEdit* TX_MESSAGES = nullptr;
  // The dashboard column "_DB", its shadow line and every box by TDashBox
  // (the named boxes below are the same).
  QFrame *DB = nullptr, *DBShadow = nullptr;
  QFrame* DashBox[kDashBoxCount] = {};
  QFrame* DB_MAINMENU = nullptr;
  QToolButton *DBC_MENU_1 = nullptr, *DBC_MENU_2 = nullptr, *DBC_MENU_3 = nullptr;  // "&File", "&Tools", "<<"
  QFrame* DB_GPS = nullptr;
  QLabel *DBBLat = nullptr, *DBBLong = nullptr, *DBBhead = nullptr, *DBBspeed = nullptr, *DBBMErr = nullptr,
         *DBBdt = nullptr, *DBGPSB = nullptr, *DBNetState = nullptr;
  QFrame* DB_DR = nullptr;
  TPosEdit *DB_DRLat = nullptr, *DB_DRLong = nullptr;
  QLineEdit *DB_DRCrs = nullptr, *DB_DRSpd = nullptr;
  QFrame* DB_INSTR = nullptr;
  QLabel *LabHours = nullptr, *LabFuel = nullptr, *TxtTot = nullptr, *TxtTrp = nullptr, *TxtTime = nullptr,
         *TxtFuel = nullptr;
  QFrame* DB_STATE = nullptr;  QPushButton *DBI_AUTO = nullptr, *DBI_TRACE = nullptr, *DBI_PILOT = nullptr;
  QFrame* DB_MARKER = nullptr;
  QLabel *DB_LAT = nullptr, *DB_LONG = nullptr, *DB_head = nullptr, *DB_Dist = nullptr;
  QFrame *DB_DEPTH = nullptr, *DB_WIND = nullptr, *DB_COMPASS = nullptr;
  QLabel *DPTLab = nullptr, *WindSLab = nullptr, *WindTLab = nullptr, *WindRLab = nullptr, *WindGLab = nullptr,
         *VPWSpeed = nullptr, *CompassLab = nullptr;
  QFrame* DB_Shade = nullptr;  QPushButton* SBC[4] = {};
  QFrame* DB_DBLCLK = nullptr;  QPushButton *MeasureLab = nullptr, *CenterLab = nullptr;
  // Menus (no menu bar: drop-downs of DB_MAINMENU and context menus).
  QMenu *FileMenu = nullptr, *EditMenu = nullptr, *NormalPopup = nullptr, *RtePopup = nullptr,
        *RouteFileMenu = nullptr, *InstrPopup = nullptr, *DelRtePopup = nullptr, *DelWPPopup = nullptr,
        *RteGoPopup = nullptr;

  // ---- the services the features use (WindowServices.h), and the
  // operations of the main window ----
  QWidget& Window() override { return *this; }
  bool ShowProgress(const std::string& text, int position, int max) override;
  void ShowMessageLine(const std::string& text) override;
  void ShowNotice(const std::string& text) override;
  void ShowFailureNotice(const std::string& text) override;
  void HideMessage(const std::string& text) override;
  void RequestRepaint() override { repaintRequested_ = true; }
  bool RepaintRequested() const override { return repaintRequested_; }
  bool TakeRepaintRequest() override;
  void UpdateStatus() override;
  int ShadeLevel() const override;
  int ExecDialog(QDialog& dialog) override;
  std::optional<std::string> AskDialogText(const std::string& title, const std::string& prompt,
                                           const std::string& offered) override;
  QAction* MenuItem(const char* name) const override;
  QMenu* SubMenu(const char* name) const override;
  ITickTimer& ComTimer() override { return *comTimer_; }
  TUpdateCycle* UpdateCycle() const override;
  void OpenPorts() override;
  void ClosePorts() override;
  bool Closed() const override { return formClosed_; }
  QMetaObject::Connection OnFormClosed(QObject* context, std::function<void()> f) override;
  // Handed to the chart view, the dashboard and the night shade.
  bool LoadChart(const std::string& file, bool interactive = true);
  int OpenCatalogChart(int index, bool interactive = true);
  void FindPosition(const TFPoint& pos);
  void Repaint();
  void LayoutDashboard();
  void SetShadeLevel(int level);
  // The settings into the objects and features; `starting`: not the ports.
  void ApplySettings(bool starting);
  // Applies (save false) or writes (save true) the window texts; the setup
  // dialog's "LanguageFile" ("SAVE:<file>" writes one, asking first).
  void ApplyLanguage(const std::string& fileName, bool save);
  void LanguageCommand();
  // Closes without any question (termination signal, logout).
  void CloseOrderly();

  // ---- test seams: a line of text asked for (title, prompt; nullopt when
  // cancelled), a modal window run (its QDialog result), every decision of
  // the key map that did something ----
  std::function<std::optional<std::string>(const std::string&, const std::string&)> InputQuery;
  std::function<int(QDialog&)> RunDialog;
  std::function<void(const TKeyDecision&)> KeyObserver;

  // ---- window events ----
  void FormCreate(); void FormShow(); bool FormCloseQuery(); void FormClose(); void FormDestroy(); void FormResize();
  // A key seen before the focused control; true when the key map took it.
  bool FormKeyDown(const TKeyInput& key, uint64_t timestamp, bool autoRepeat);

  // ---- the handlers of the menus, buttons and boxes (MainHandlers.cpp): the
  // chart view, the status buttons and the tick, route guidance and editor,
  // the positions, track files, GPS, AIS, printing, the dialogs ----
  void XOpenClick(); void ListAllChartsClick(); void Last1Click(); void OnPosition1Click(); void MChartInfo1Click();
  void FindBest1Click(); void NextChart1Click(); void SmallerScale1Click(); void OutlineMnuClick(); void DBBLatClick();
  void DBBLatDblClick(); void SetMark1Click(); void MeasureLabClick(); void CenterLabClick(); void MANOVERBOARD1Click();
  void DBI_AUTOClick(); void DBI_TRACEClick(); void DBI_PILOTClick(); void DRUpdateClick();
  void RteActBtnClick(); void DeactivateRoute1Click(); void DBRteHINTDblClick(); void ShowMagneticHeadings1Click();
  void RouteEditor1Click(); void RteEditCloseClick(); void RouteAdd1Click(); void DBC_RTListChange(int index);
  void RteEdUpdateClick(); void RteDelSelBtnClick(); void RteAddWPBtnClick(); void RteReverseBtnClick();
  void LoadRoute2Click(); void RteSaveBtnClick(); void RteSaveAsClick(); void Delete1Click(); void RteClear1Click();
  void ImportWP2Click(); void ExportWP2Click(); void ImportTrack1Click();
  void OpenWPMnuClick(); void WPSaveMnuClick(); void WPSaveAsMnuClick(); void AddWaypoint1Click();
  void AddCurrentPos1Click(); void WPImportMnuClick(); void WPExportMnuClick(); void WPUnlockClick();
  void WPDelSelectClick(); void MenuItem5Click(); void WPClearMnuClick(); void RteGotoBtnClick();
  void DBC_RTAddWPDblClick(); void OpenOld1Click(); void ImportTRCClick(); void TrackExport1Click();
  void Positions1Click(); void Route1Click(); void Positions2Click(); void Route2Click(); void rack2Click();
  void AIS_FindClick(); void AIS_InfoClick(); void AISInfo1Click(); void PrintImageClick(); void PrintChartListClick();
  void RoutePrintClick(); void WPPrint1Click(); void TrackPrint1Click(); void SearchByName1Click();
  void PrefScale1Click(); void Groups1Click(); void RteListMnuClick(); void NMEAInput1Click(); void NMEAOutput1Click();
  void About1Click(); void MParametersClick();

 public slots:
  // The one-second tick; bytes arrived on a serial port; a port lost its
  // device, got it back, or was opened or closed.
  void ComTimerTimer();
  void GPSComDataRecived(int count);
  void GPSComLinkChanged();

 signals:
  // The window has closed (FormClose ran); the program body ends the run.
  void FormClosed();

 protected:
  bool event(QEvent* e) override;
  bool eventFilter(QObject* watched, QEvent* e) override;
  void showEvent(QShowEvent* e) override; void closeEvent(QCloseEvent* e) override;
  void resizeEvent(QResizeEvent* e) override;

 private:
  // The components (MainWindow.cpp, MainMenus.cpp).
  void BuildWindow(); void BuildMessagePanel(); void BuildDashboard(); void BuildMenus(); void InstallChartCanvas();
  void SetUpPorts();
  // Centres the message panel over the chart (when shown, on resize).
  void PlaceMessagePanel();
  void LoadStartFiles(); void SaveStartFiles(); void SetBoundsFromSettings(); void StoreBoundsInSettings();
  void DoKeyAction(const TKeyDecision& d);
  bool TextFieldFocused() const;
  std::vector<QWidget*> LanguageForms() const;
  // The message table := the lines of TX_MESSAGES (at start and after a
  // language file changed them).
  void ReloadMessageTable();

  TFormSet forms_;
  TDashSet dashSet_ = kNormalDashSet;
  TWindowContext ctx_;
  std::unique_ptr<ITickTimer> comTimer_, stateTimer_;
  std::unique_ptr<ISoundSink> soundSink_;
  TKeyRepeatGate keyGate_;
  bool repaintRequested_ = false, orderlyClose_ = false, formClosed_ = false, destroyed_ = false;
  // The features, in the order FormCreate makes them.
  std::unique_ptr<TNmeaMonitors> monitors_;  std::unique_ptr<TPortLinks> ports_;
  std::unique_ptr<TChartSymbols> symbols_;  std::unique_ptr<TNmeaOutput> output_;
  std::unique_ptr<TProgramState> programState_;  std::unique_ptr<TChartDisplay> chart_;
  std::unique_ptr<TDashboardColumn> dashboard_;  std::unique_ptr<TNightShade> shading_;
  std::unique_ptr<TAisView> aisView_;  std::unique_ptr<TRouteGuidanceView> guidance_;
  std::unique_ptr<TRouteEditor> routeEditor_;  std::unique_ptr<TRouteExchange> routeExchange_;
  std::unique_ptr<TPositionCommands> positions_;  std::unique_ptr<TDialogCommands> dialogs_;
  std::unique_ptr<TTrackView> track_;  std::unique_ptr<TTrackFiles> trackFiles_;
  std::unique_ptr<TGpsTransfer> gps_;  std::unique_ptr<TChartPrinting> printing_;
  std::unique_ptr<TUpdateTick> tick_;
};

// A Qt key and its modifiers as the key map sees them.
TKeyInput KeyInputFromQt(int key, Qt::KeyboardModifiers modifiers);
