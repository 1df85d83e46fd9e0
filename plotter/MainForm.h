// The plotter's main window, T_Form: it creates and owns every long-lived
// object of the program, runs the start-up, shows the chart and the
// dashboard, takes the keyboard first, and on closing saves what must
// survive the run.
//
// The work is spread over several source files: MainForm.cpp (start, show,
// close, destroy), MainMenus.cpp (menus), MainKeys.cpp (keyboard map),
// MainDashboard.cpp (the dashboard column, night shading and the message
// panel), MainSettings.cpp (settings applied to the objects, the setup
// dialog, the periodic save of the program state), MainTick.cpp (the
// one-second update cycle, man overboard, "Set DR Pos"), MainChart.cpp (the
// chart view: opening charts, zoom and scroll, the mouse on the chart,
// painting, the chart commands).
#pragma once

#include <QImage>
#include <QMainWindow>
#include <QPointer>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "foundation/Types.h"
#include "charts/ChartInfo.h"
#include "plotter/Artwork.h"
#include "plotter/WindowServices.h"
#include "plotter/core/ChartLoader.h"
#include "plotter/core/ChartView.h"
#include "plotter/core/Dashboard.h"
#include "plotter/core/KeyMap.h"
#include "plotter/core/Messages.h"
#include "plotter/core/PlotterFlags.h"
#include "plotter/core/StartSteps.h"
#include "plotter/core/SysInfo.h"
#include "plotter/core/TickTimer.h"
#include "platform/Clock.h"

class QAction;
class QDialog;
class QPrinter;
class QFrame;
class QMouseEvent;
class QPainter;
class QTimer;
class QWheelEvent;
class QLabel;
class QLineEdit;
class QMenu;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QToolButton;
class QWidget;
class TPosEdit;

class TAfComPort;
class TBitmapPager;
class TChartFile;
class TChartHeadExternalCodec;
class TChartList;
class TDatum;
class TKAPDecoder;
class TLOGGBOOK;
class TLogDist;
class TMagError;
class TNMEA;
class TNMEALineBuffer;
class TQuickShape;
class TRoute;
class TSYSCOLOR;
class TSpeaker;
class ISoundSink;
class TDataShareServer;
struct TNmeaOutputSettings;
class TNavShape;
struct TPointFields;
class TTelnetSend;
class TTrace;
class TAisDecoder;
class TSpyFrm;
struct TPrintItems;
struct TPrintTrans;
class TFormTick;
class TUpdateCycle;
class TWCIDecoder;
class TWorldConvert;
class TNmeaMonitors;
class TPortLinks;
class TNmeaOutput;
class TProgramState;
class TChartSymbols;
class TChartCanvas;
class TChartShapes;
class ICanvas;
struct TKeyDecision;

// The event that applies the language file once the window is on screen.
inline constexpr int kLanguageMessage = 1027;

class T_Form : public QMainWindow, public IWindowServices {
  Q_OBJECT

 public:
  // Builds the window and runs FormCreate.
  explicit T_Form(QWidget* parent = nullptr);
  // Runs FormDestroy.
  ~T_Form() override;

  void SetForms(const TFormSet& forms);
  const TFormSet& Forms() const { return forms_; }

  // ---- state ----
  TPlotterFlags PlotterFlags;
  TNavFlags NavFlags;
  RSysInfo SysInfo;
  TMessageTable Messages;
  // What went wrong during start-up (each step is guarded on its own).
  TStartRunner StartErrors;

  // ---- owned objects, created in FormCreate and freed in FormDestroy;
  // any of them is null when its creation failed ----
  std::unique_ptr<TSpeaker> Speaker;
  std::unique_ptr<TChartList> ChartList;
  std::unique_ptr<TDatum> Datum;
  std::unique_ptr<TKAPDecoder> KAPDecoder;
  std::unique_ptr<TWCIDecoder> WCIDecoder;
  std::unique_ptr<TWorldConvert> Converter;
  // Line buffers: main (port A, owns the parser), simulation or network,
  // port B, port C.
  std::unique_ptr<TNMEALineBuffer> NMEABuffer;
  std::unique_ptr<TNMEALineBuffer> SimBuffer;
  std::unique_ptr<TNMEALineBuffer> NMEABufferB;
  std::unique_ptr<TNMEALineBuffer> NMEABufferC;
  std::unique_ptr<TLOGGBOOK> LogBook;
  std::unique_ptr<TBitmapPager> Pager;
  std::unique_ptr<TSYSCOLOR> SysColor;
  std::unique_ptr<TRoute> Positions;
  std::unique_ptr<TRoute> Route;
  std::unique_ptr<TChartHeadExternalCodec> ExternalCodec;
  std::unique_ptr<TChartFile> ChartFile;
  std::unique_ptr<TMagError> MagError;
  std::unique_ptr<TQuickShape> BoatShape;
  std::unique_ptr<TQuickShape> RingShape;
  std::unique_ptr<TQuickShape> SpeedShape;
  std::unique_ptr<TTrace> Trace;
  std::unique_ptr<TLogDist> LogDist;
  std::unique_ptr<TTelnetSend> TelnetSend;

  // The parser, through the main line buffer; null without one.
  TNMEA* Parser() const;

  // The serial ports (components of the window).
  TAfComPort* GPSCom = nullptr;
  TAfComPort* NMEAPort1 = nullptr;
  TAfComPort* NMEAPort2 = nullptr;

  // The one-second timer (object name "ComTimer").
  ITickTimer& ComTimer() override { return *comTimer_; }

  // ---- components ----
  QWidget* Scroll = nullptr;     // the chart area
  QWidget* MapCanvas = nullptr;  // the chart canvas
  QFrame* MsgP = nullptr;        // the message panel
  // Centres the message panel over the chart (when shown, on resize).
  void PlaceMessagePanel();
  QLabel* MsgT = nullptr;
  QProgressBar* MsgB = nullptr;
  QPlainTextEdit* TX_MESSAGES = nullptr;
  QFrame* DB = nullptr;  // the dashboard column "_DB"
  QFrame* DBShadow = nullptr;  // the shadow line at the chart side of the column
  // Every box of the column, by TDashBox; the named ones below are the same.
  QFrame* DashBox[kDashBoxCount] = {};
  QFrame* DB_MAINMENU = nullptr;
  QToolButton* DBC_MENU_1 = nullptr;  // "&File"
  QToolButton* DBC_MENU_2 = nullptr;  // "&Tools"
  QToolButton* DBC_MENU_3 = nullptr;  // "<<": collapse
  QFrame* DB_GPS = nullptr;
  QLabel* DBBLat = nullptr;
  QLabel* DBBLong = nullptr;
  QLabel* DBBhead = nullptr;
  QLabel* DBBspeed = nullptr;
  QLabel* DBBMErr = nullptr;
  QLabel* DBBdt = nullptr;
  QLabel* DBGPSB = nullptr;
  // The network link's state ("" without a network source).
  QLabel* DBNetState = nullptr;
  QFrame* DB_DR = nullptr;
  TPosEdit* DB_DRLat = nullptr;
  TPosEdit* DB_DRLong = nullptr;
  QLineEdit* DB_DRCrs = nullptr;
  QLineEdit* DB_DRSpd = nullptr;
  QFrame* DB_INSTR = nullptr;
  QLabel* LabHours = nullptr;
  QLabel* LabFuel = nullptr;
  QLabel* TxtTot = nullptr;
  QLabel* TxtTrp = nullptr;
  QLabel* TxtTime = nullptr;
  QLabel* TxtFuel = nullptr;
  QFrame* DB_STATE = nullptr;
  QPushButton* DBI_AUTO = nullptr;
  QPushButton* DBI_TRACE = nullptr;
  QPushButton* DBI_PILOT = nullptr;
  QFrame* DB_MARKER = nullptr;
  QLabel* DB_LAT = nullptr;
  QLabel* DB_LONG = nullptr;
  QLabel* DB_head = nullptr;
  QLabel* DB_Dist = nullptr;
  QFrame* DB_DEPTH = nullptr;
  QLabel* DPTLab = nullptr;
  QFrame* DB_WIND = nullptr;
  QLabel* WindSLab = nullptr;
  QLabel* WindTLab = nullptr;
  QLabel* WindRLab = nullptr;
  QLabel* WindGLab = nullptr;
  QLabel* VPWSpeed = nullptr;
  QFrame* DB_COMPASS = nullptr;
  QLabel* CompassLab = nullptr;
  QFrame* DB_Shade = nullptr;
  QPushButton* SBC[4] = {};
  QFrame* DB_DBLCLK = nullptr;
  QPushButton* MeasureLab = nullptr;
  QPushButton* CenterLab = nullptr;

  // Menus (no menu bar: drop-downs of DB_MAINMENU and context menus).
  QMenu* FileMenu = nullptr;
  QMenu* EditMenu = nullptr;
  QMenu* NormalPopup = nullptr;
  QMenu* RtePopup = nullptr;
  QMenu* RouteFileMenu = nullptr;
  QMenu* InstrPopup = nullptr;
  QMenu* DelRtePopup = nullptr;
  QMenu* DelWPPopup = nullptr;
  QMenu* RteGoPopup = nullptr;
  // A menu item or submenu by object name (nullptr when there is none).
  QAction* MenuItem(const char* name) const override;
  QMenu* SubMenu(const char* name) const override;
  // The menu entries the status update of every tick shows, hides or
  // checks (found once when the menus are made).
  struct TTickMenus {
    QAction* wpUnlock = nullptr;
    QAction* deleteWP = nullptr;
    QAction* activateRoute = nullptr;
    QAction* openOld = nullptr;
    QAction* setDRPos = nullptr;
    QMenu* nac = nullptr;
  };
  const TTickMenus& TickMenus() const { return tickMenus_; }

  // ---- operations used by the other parts of the window ----

  // The message panel: an empty text with max 0 hides it (false);
  // otherwise it shows the text, with the progress bar at position of max
  // when max is at least 1, lets the window repaint, and returns true.
  bool ShowProgress(const std::string& text, int position, int max) override;
  void RequestRepaint() override { repaintRequested_ = true; }
  bool RepaintRequested() const override { return repaintRequested_; }
  // Reads and clears the repaint request.
  bool TakeRepaintRequest() override;
  // The window's services to its features (WindowServices.h).
  QWidget& Window() override { return *this; }
  void ShowFailureNotice(const std::string& text) override;
  void HideMessage(const std::string& text) override;
  QMetaObject::Connection OnFormClosed(QObject* context, std::function<void()> f) override;
  // The features of the window (null when a start step they need failed).
  TNmeaMonitors& Monitors() { return *monitors_; }
  TPortLinks& Ports() { return *ports_; }
  TNmeaOutput& Output() { return *output_; }
  TProgramState& ProgramState() { return *programState_; }
  TChartSymbols& Symbols() { return *symbols_; }
  // Applies (save false) or writes (save true) the window texts of the
  // main window and the dialogs; an empty file name does nothing.
  void ApplyLanguage(const std::string& fileName, bool save);
  // The setup dialog changed "LanguageFile": "SAVE:<file>" writes a
  // language file (asking before overwriting), anything else is applied.
  void LanguageCommand();
  // Pushes the settings into the objects; `starting` leaves the ports alone.
  void ApplySettings(bool starting);
  void OpenPorts() override;
  void ClosePorts() override;
  // The setup dialog ("&Properties"): on Save the setup group is written
  // and the settings applied; Cancel changes nothing.
  void MParametersClick();

  // The dashboard: which boxes show (UpdateStatus), where (LayoutDashboard).
  void UpdateStatus() override;
  void LayoutDashboard();
  TDashSet DashboardSet() const { return dashSet_; }
  void ShowDashboard(bool expanded);
  bool DashboardExpanded() const { return dashboardExpanded_; }
  // The palette red when `on`, else the button face colour.
  QColor AlarmColour(bool on) const;
  // Refreshes the GPS box (position, heading, speed, variation, fix time,
  // talker) with its alarm colour.
  void RefreshGpsBox();
  // Refreshes the depth, wind and compass texts; true when a box should
  // appear or go because its value became known or unknown.
  bool RefreshInstrumentTexts();
  // Refreshes the log, trip, engine hours and fuel texts.
  void RefreshLogTexts();
  // Both of the above, and the box set when a value came or went.
  void UpdateInstrumentBoxes();
  // What a double-click on the chart does: measure (true) or centre.
  bool DoubleClickMeasures() const;
  void ToggleDoubleClickAction();
  // Night shading, levels 0 (day) to 3 (night).
  void SetShadeLevel(int level);
  int ShadeLevel() const override { return shadeLevel_; }
  // The colours everything is drawn with at the current shade level.
  TWindowColours Colours;
  // Instrument menu: "Reset Trip", "Reset Time", "Reset Fuel" (after a
  // question), "Log Book Entry".
  enum class TCounter { Trip, Time, Fuel };
  void ResetCounterClick(TCounter which);
  void LogBookEntryClick();
  // Asks for a line of text (title, prompt); nullopt when cancelled. Tests
  // replace it.
  std::function<std::optional<std::string>(const std::string&, const std::string&)> InputQuery;
  // Runs one of the plotter's modal windows (chart list, chart information)
  // and returns its QDialog result; by default the window's own exec().
  // Tests replace it to answer the window.
  std::function<int(QDialog&)> RunDialog;
  int ExecDialog(QDialog& dialog) override;

  // Closes the window without any question (termination signal, logout):
  // FormClose runs, and FormDestroy when the window object goes.
  void CloseOrderly();
  // FormClose has run.
  bool Closed() const override { return formClosed_; }

  // ---- window events ----
  void FormCreate();
  void FormShow();
  bool FormCloseQuery();
  void FormClose();
  void FormDestroy();
  void FormResize();
  // A key seen before the focused control; true when the key map took it.
  bool FormKeyDown(const TKeyInput& key, uint64_t timestamp, bool autoRepeat);

  // Status buttons.
  void DBI_AUTOClick();
  void DBI_TRACEClick();
  void DBI_PILOTClick();

  // Chart cursors: the normal and the fat variant of each mode.
  QCursor ChartCursors[kChartCursorCount];
  QCursor FatChartCursors[kChartCursorCount];
  bool FatCursors = false;
  TChartCursor CursorMode = ccAim;
  void ShowChartCursor();

  // View state set up at start (the chart view builds on it).
  int CurrentChart = -2;
  int PreviousChart = -2;
  double PreferredScale = 0;
  int DashboardDesignWidth = 125;
  // The position under the mouse when the last key command came (pixel on
  // the canvas, and geographic when a chart is open).
  QPoint MenuPixel;
  TFPoint MenuPos{};
  bool MenuPosValid = false;
  // Start files that could not be read this run: they are neither deleted
  // nor overwritten at the end (0 positions, 1 route).
  bool StartFileKept[2] = {false, false};

  // Called with every decision of the key map that did something; for
  // tests and the input monitor.
  std::function<void(const TKeyDecision&)> KeyObserver;

  // The update cycle that ComTimer runs (null when it could not be set up).
  TUpdateCycle* UpdateCycle() const override;
  // The marker: while it is shown the tick keeps the marker box showing its
  // position with bearing and distance from the boat.
  bool MarkerShown = false;
  TFPoint MarkerPos{};
  void SetMarker(const TFPoint& pos);
  void ClearMarker();
  void RefreshMarkerBox();
  // The route follower's cross-track and new-waypoint alarms into the
  // navigation flags.
  void ApplyRouteAlarms();
  // "&MARK MOB" (Ctrl+Space): the marker at the boat.
  void MANOVERBOARD1Click();
  // "Set &DR Pos": the dead-reckoned boat to the position under the mouse.
  void DRUpdateClick();

  // ---- the chart view (MainChart.cpp) ----

  // Zoom, scroll, the mouse on the chart, the view's history.
  TChartView View;
  // The chart on show: its record (with bounds, centre, north rotation and
  // miles per pixel), kind and files; the previous chart's file.
  RChartInfo ChartInfo;
  TChartKind ChartKind = TChartKind::None;
  std::string CurrentChartFile;
  std::string PreviousChartFile;
  // Positions of the pixels 100 beyond the chart's corners.
  TFPointArray ExtendedCorners;
  // A plain image chart (shown without the pager).
  QImage ChartImage;
  // The image chart's picture in its day colours (ChartImage is it shaded).
  QImage ChartImageDay;
  // The image chart shaded anew for the current shade level.
  void RefreshChartShade();
  // Where UpdateView and UpdateBoatPoints placed the boat (the paint draws
  // it there).
  TBoatPoints BoatPoints;
  TRings Rings;
  // Chart outlines shown ("Outline").
  bool OutlinesShown = false;

  // The canvas MapCanvas is.
  TChartCanvas* ChartCanvas() const;

  // Opens a chart file and shows it. Nothing changes unless the chart
  // opens: the chart on show stays and the message panel says why (a user
  // command also shows a message box). `interactive` is false for loads the
  // update cycle starts: no dialog or message box opens then. True when the
  // chart was loaded.
  bool LoadChart(const std::string& file, bool interactive = true);
  // Opens catalog entry `index` unless it is negative or already shown;
  // the index shown afterwards, -1 when nothing was opened.
  int OpenCatalogChart(int index, bool interactive = true);
  // The chart at a point of the view: across the chart's edge near it, else
  // the best chart at its position; centred on the position when a chart
  // opened. The index opened, or -1.
  int BestChartAtPoint(const TFPoint& viewPoint, double preferredScale);
  // The best chart for a position, centred on it when one opened.
  int BestChartForPosition(const TFPoint& pos, double preferredScale, bool interactive = true);
  // Centres on the position when the chart shows it, else opens the best
  // chart for it; in AUTOMATIC the boat's position is taken.
  void FindPosition(const TFPoint& pos);
  // Redraws the chart view.
  void Repaint();
  // The view's size in pixels.
  TPoint ViewSize() const;
  // The zoom procedure about a point of the view, and what depends on the
  // zoom.
  void ApplyZoom(const TFPoint& viewPoint, bool force);
  void ZoomTo(const TFPoint& viewPoint, double zoom);
  // One zoom step; successive steps show the chart scaled until they pause
  // for kZoomSettleMs, then it is drawn at its new zoom.
  void ZoomStep(const TFPoint& viewPoint, int delta);
  static constexpr int kZoomSettleMs = 80;
  // Draws the chart at its zoom now (the end of a series of zoom steps).
  void SettleZoom();
  bool ZoomPreviewShown() const { return !zoomFrame_.isNull(); }
  void ScrollTo(TPoint offset);
  // Centres the view on a position, shifted by (dx, dy) view pixels.
  void CentreOnPosition(const TFPoint& pos, int dx = 0, int dy = 0);
  void CentreOnViewPoint(const TFPoint& viewPoint);
  // Boat in view, range rings, title and boat points; true when the boat
  // is in view.
  bool UpdateView();
  // The boat's screen points; true when the boat's position changed.
  bool UpdateBoatPoints();
  // The boat points, the rings measured at the boat and the title (always,
  // or only when the ring step changed); whether the boat moved.
  bool PlaceBoat(bool titleAlways);
  void UpdateTitle();
  // The marker box shows the position with its bearing and distance from
  // `from`.
  void ShowPositionInfo(const TFPoint& pos, const TFPoint& from);
  // The position under a point of the view; false without a chart.
  bool PositionAtView(const TFPoint& viewPoint, TFPoint& pos) const;
  // The position lies inside the chart's border.
  bool InsideCurrentChart(const TFPoint& pos) const;
  // The update cycle's chart choice: the catalog's best chart for the
  // look-ahead point and the boat, opened without any dialog.
  void AutoOpenBestChart(const TFPoint& lookAhead, const TFPoint& boat);
  // Paints the view (the chart canvas calls it).
  void PaintChart(QPainter& painter, const QRect& dirty);
  // A line of text in the message panel, without running the event loop
  // (ShowNotice also writes it to standard error).
  void ShowMessageLine(const std::string& text) override;
  void ShowNotice(const std::string& text) override;

  // Chart commands of the menus and keys.
  void XOpenClick();
  void ListAllChartsClick();
  void Last1Click();
  void OnPosition1Click();
  // "Chart &Info": the chart on show in the chart information window.
  void MChartInfo1Click();
  void FindBest1Click();
  void NextChart1Click();
  void SmallerScale1Click();
  void OutlineMnuClick();
  void BestChartForBoatClick();
  void DBBLatClick();
  void DBBLatDblClick();
  void SetMark1Click();
  void MeasureLabClick();
  void CenterLabClick();
  // The chart keys of the key map; false when the key is not a chart key.
  bool DoChartKeyAction(const TKeyDecision& d);

  // ---- the route: guidance, the editor, its files (MainRoute.cpp) ----

  // "Activate Route" (button, menu): starts following from the boat, or
  // ends it; refused with a notice without a valid fix.
  void RteActBtnClick();
  void DeactivateRoute1Click();
  // Acknowledges a new waypoint (double-click on the indicator, menu, F5,
  // Ctrl+N): the alarm flag goes.
  void DBRteHINTDblClick();
  void ShowMagneticHeadings1Click();
  // The guidance boxes from the navigation state.
  void ShowRouteValues();
  // First and last point and length; "Save Route" red while changed.
  void ShowRouteStats();
  // The route editor.
  void RouteEditor1Click();
  void RteEditCloseClick();
  void RouteAdd1Click();
  void DBC_RTListChange(int index);
  void RteEdUpdateClick();
  void RteDelSelBtnClick();
  void RteAddWPBtnClick();
  void RteReverseBtnClick();
  // A point for a double-click on the chart in the editor.
  void InsertRoutePointAt(const TFPoint& viewPoint);
  void ShowRoutePoint(TNavShape* point);
  void ClearRoutePoint();
  void FillRouteList();
  // The positions box's list; the entry chosen stays chosen unless
  // `keepChoice` is false (after a deletion no entry is chosen).
  void FillPositionList(bool keepChoice = true);
  // Route files: open (appending, "Clear old route?"), save, save as.
  void LoadRoute2Click();
  void RteSaveBtnClick();
  void RteSaveAsClick();
  void AfterRouteLoad();
  // The close question for the route: true when it may be given up.
  bool AskRouteSaved();
  // "Find Position" of the positions box.
  void RteGotoBtnClick();
  // When the route became active (UTC), for the elapsed time.
  double RouteStartTime() const { return routeStartTime_; }

  // ---- printing (MainPrint.cpp) ----

  // "Print Chart": the options window, then the chart page; refused with a
  // notice when there is no chart or nothing of it in the view.
  void PrintImageClick();
  // The list prints: a text window in preview mode holding the heading and
  // the lines (shown through ExecDialog).
  void PrintChartListClick();
  void RoutePrintClick();
  void WPPrint1Click();
  void TrackPrint1Click();
  // The print options window (made at start and kept for the run, so the
  // choices stay as the user left them).
  TPRInit* PrintOptions();
  // The printer of the run's chart prints.
  QPrinter& Printer();
  // Chooses the printer (the platform print dialog); false when cancelled.
  // Tests replace it.
  std::function<bool(QPrinter&)> ChoosePrinter;
  // One chart page onto the painter, whose origin is the page's printable
  // corner: the chart image, positions, route, track and outlines within
  // the chart's part of the page, the scale bar, the title and the frame.
  // The caller sets the converter's scale to 1 (as PrintImageClick does).
  void PrintChart(QPainter& painter, const TPrintTrans& map, const TPrintItems& items);

  // ---- the track (MainTrack.cpp) ----

  // The recording settings and the write-error notice into the recorder.
  void ApplyTrackSettings();
  // The TRACK switch's state into the recorder: recording starts (today's
  // file, its points shown) or stops.
  void ApplyTracking();
  // The tick's offer of the boat's position to the recorder.
  void RecordTrack();
  // The chart's area to the track (a chart was loaded), its points placed
  // anew (the zoom changed), and drawn.
  void PlaceTrackForChart();
  void ReplaceTrack();
  void PaintTrack(ICanvas& canvas);

  // ---- AIS targets (MainAis.cpp) ----

  // The decoder of the parser's "!" sentences and the target table; made
  // after the parser, freed before it.
  std::unique_ptr<TAisDecoder> Ais;
  void CreateAisDecoder();
  // "AIS Show": decoding on, or off with the table emptied.
  void ApplyAisSettings();
  // The chart's area to the targets (a chart was loaded) and their chart
  // points; ReprojectAis recomputes the points of targets that moved (all
  // with `force`) and returns how many.
  void PlaceAisForChart();
  // The targets drawn on the chart (after the track).
  void PaintAis(ICanvas& canvas);
  // The collision check of the tick: "AIS CPA Max" and "AIS TCPA Max"
  // against every vessel; sets or clears the AIS alarm (also with no chart
  // and with the window minimised). True when a target is in alarm.
  bool CheckAisAlarm();
  // The dashboard's target list, sorted (kinds before vessel names); the
  // selection is kept.
  void RefreshAisList();
  // The slot of the target chosen in the list, or -1.
  int SelectedAisIndex() const;
  // "Find" (the chart centred on the chosen target), "Info", and "AIS
  // Info" of the chart's menu (the target nearest to the menu position).
  void AIS_FindClick();
  void AIS_InfoClick();
  void AISInfo1Click();
  // Fills and shows the information window of a target; hides it when the
  // target has no position any more.
  void ShowAisInfo(int slot);
  // The tick: the information window follows its target; a window the user
  // closed is freed.
  void RefreshAisInfo();
  void FreeHiddenAisInfo();
  QPointer<TSpyFrm> AisInfoWindow;
  int AisInfoIndex = -1;
  int ReprojectAis(bool force);
  // Targets silent for the hide time are hidden, for the delete time freed.
  void PurgeAis(int hideMinutes, int deleteMinutes);

  // ---- the positions' and route's list commands (MainShapes.cpp) ----

  // Positions "&Unlock", "&Delete Selected" and the "Delete Waypoint" of a
  // position's and of a route point's menu.
  void WPUnlockClick();
  void WPDelSelectClick();
  void MenuItem5Click();
  void Delete1Click();
  // Positions "&Clear" and route "&Clear" (after the unsaved-list question).
  void WPClearMnuClick();
  void RteClear1Click();

  // ---- the smaller dialogs (MainDialogs.cpp) ----

  // "Name Search" / "Search": charts by group, name and position, listed
  // in the available-charts window; the one chosen opens.
  void SearchByName1Click();
  // "Prefered Charts" (F8, Ctrl+C): the groups charts are chosen from and
  // the preferred scale.
  void PrefScale1Click();
  // "Chart Groups": the group manager; Ok saves the groups file, Cancel
  // reads it again.
  void Groups1Click();
  // The position editor on a stored position (`fromList`: the positions
  // list asked, the symbols are restyled).
  void EditPosition(TNavShape* position, bool fromList = false);
  void DBC_RTAddWPDblClick();
  // "&List Route": the route as a grid; "Update" writes the edited cells
  // back, all of them or, when one cannot be read, none.
  void RteListMnuClick();
  // The NMEA monitors, switched on and off by their menu items.
  void NMEAInput1Click();
  void NMEAOutput1Click();
  void About1Click();
  // The chart search's group mask, kept for the run.
  int32_t SearchGroupMask = 0;
  // An input box offering a text (through InputQuery when set).
  std::optional<std::string> AskDialogText(const std::string& title, const std::string& prompt,
                                           const std::string& offered) override;

  // Asks the user to name a chart's datum among the table's (a chart whose
  // datum is unknown, "Use KAP zero shift" 0). Tests replace it.
  std::function<bool(const std::string& datumName)> AskDatumAlias;

  // ---- positions, track files, route exchange files and the GPS
  // transfers (MainPositions.cpp, MainTrackFiles.cpp, MainGps.cpp) ----
  void OpenWPMnuClick();
  void WPSaveMnuClick();
  void WPSaveAsMnuClick();
  void AddWaypoint1Click();
  void AddCurrentPos1Click();
  void AddPosition(const TFPoint& pos);
  void WPImportMnuClick();
  void WPExportMnuClick();
  bool AskPositionsSaved();
  // Visibility and placement of the positions, their list and styles.
  void PositionsTail();
  void ImportWP2Click();
  void ExportWP2Click();
  // The open or save dialog of a G7ToWin or Waypoint+ file, in the
  // positions directory.
  std::optional<std::string> AskExchangeFile(const std::string& title, bool save);
  void ImportTrack1Click();
  void OpenOld1Click();
  void ImportTRCClick();
  void TrackExport1Click();
  void Positions1Click();
  void Route1Click();
  void Positions2Click();
  void Route2Click();
  void rack2Click();
  // The route of an exchange file to import: -1 for none.
  int ChooseExchangeRoute(const std::string& file);
  // Runs the transfer program with the ports closed; true when it ended by
  // itself with status 0 in time.
  bool RunTransfer(const std::string& message, const std::string& program, const std::vector<std::string>& args);
  // The time a transfer may take (tests shorten it), and a hook run while
  // it waits.
  int TransferTimeoutMs = 600000;
  std::function<void()> OnTransferWaiting;
  // The GPS menu enabled when the transfer program is there.
  void UpdateGpsMenu();

 public slots:
  // The one-second tick.
  void ComTimerTimer();
  // Bytes arrived on a serial port.
  void GPSComDataRecived(int count);
  // A port lost its device, got it back, or was opened or closed.
  void GPSComLinkChanged();

 signals:
  // The window has closed (FormClose ran); the program body ends the run.
  void FormClosed();

 protected:
  bool event(QEvent* e) override;
  bool eventFilter(QObject* watched, QEvent* e) override;
  void showEvent(QShowEvent* e) override;
  void closeEvent(QCloseEvent* e) override;
  void resizeEvent(QResizeEvent* e) override;

 private:
  void BuildWindow();
  void BuildDashboard();
  void BuildMenus();
  void BuildMessagePanel();
  void RemoveFuelRow();
  void PlaceDashboard();
  void RecomputeColours();
  void LoadStartFiles();
  void SaveStartFiles();
  void SetBoundsFromSettings();
  void StoreBoundsInSettings();
  void DoKeyAction(const TKeyDecision& d);
  void StoreMenuPosition();
  bool TextFieldFocused() const;
  std::vector<QWidget*> LanguageForms() const;
  // The message table := the lines of TX_MESSAGES (at start and after a
  // language file changed them).
  void ReloadMessageTable();
  void SetUpPorts();
  void SetUpTick();
  void InstallChartCanvas();
  void WireChartCommands();
  void CommitChart(TOpenedChart&& chart);
  void ChartFailed(const std::string& file, const TChartLoadError& error, bool interactive);
  void ChartMousePress(QMouseEvent* e);
  void ChartMouseMove(QMouseEvent* e);
  void ChartMouseRelease(QMouseEvent* e);
  void ChartDoubleClick(QMouseEvent* e);
  void ChartWheel(QWheelEvent* e);
  void ChartResized(const QSize& before, const QSize& after);
  void ShowMouseCursor(const TFPoint& viewPoint);
  void SyncConverterScale();
  void UpdateRings();
  void PaintOverlays(QPainter& painter);
  void PaintOutlines(QPainter& painter);
  // The menu item of that name enabled and running the command.
  void WireCommand(const char* name, void (T_Form::*slot)());
  template <class T>
  T* RouteWidget(const char* name) const;
  void WireRouteCommands();
  // The shape layer's route point and position events (once it exists).
  void WireRoutePointEvents();
  void ShowFields(const TPointFields& f);
  void AfterRouteEdit(TNavShape* shown);
  void SaveRouteTo(const std::string& file);
  void WireShapeCommands();
  void WirePrintCommands();
  void WireAisCommands();
  void WireDialogCommands();
  void WirePositionCommands();
  void WireTrackFileCommands();
  void WireGpsCommands();
  bool ChooseAPrinter();
  void PrintScaleBar(QPainter& painter, const TPrintTrans& map, int u);
  void ShowListPrint(const std::string& title, const std::string& heading, const std::vector<std::string>& lines);
  std::unique_ptr<QPrinter> printer_;
  // "Printer Setup" chose where the chart print in hand goes.
  bool printTargetChosen_ = false;
  // Where the receiver's datum shift was computed for the chart on show.
  std::optional<TFPoint> gpsShiftPoint_;

  TFormSet forms_;
  TTickMenus tickMenus_;
  std::unique_ptr<ITickTimer> comTimer_;
  std::unique_ptr<TFormTick> tick_;
  std::unique_ptr<ITickTimer> stateTimer_;
  TDashSet dashSet_ = kNormalDashSet;
  TKeyRepeatGate keyGate_;
  bool repaintRequested_ = false;
  bool dashboardExpanded_ = true;
  // Set while the dashboard's width change resizes the chart area.
  bool keepScrollOnResize_ = false;
  bool orderlyClose_ = false;
  bool formClosed_ = false;
  bool destroyed_ = false;
  int shadeLevel_ = 0;
  bool shadeLevelSet_ = false;
  int instrFuelRowHeight_ = 0;
  // The chart canvas's last frame, shown moved while the chart is dragged
  // with "Drag Update" off.
  QImage panFrame_;
  // While the wheel or the keys zoom step by step, the chart as it was
  // before the first step (zoom and scroll offset then), shown scaled until
  // the steps pause; then the chart is drawn at its new zoom once.
  QImage zoomFrame_;
  double zoomFrameZoom_ = 0;
  TPoint zoomFrameScroll_;
  QTimer* zoomSettle_ = nullptr;
  bool paintChartOnly_ = false;
  std::unique_ptr<ISoundSink> soundSink_;
  double routeStartTime_ = 0;
  TMonoTime routeStartMono_{};
  friend class TFormTick;
  TWindowContext ctx_;
  std::unique_ptr<TNmeaMonitors> monitors_;
  std::unique_ptr<TPortLinks> ports_;
  std::unique_ptr<TNmeaOutput> output_;
  std::unique_ptr<TProgramState> programState_;
  std::unique_ptr<TChartSymbols> symbols_;
};

// A Qt key and its modifiers as the key map sees them.
TKeyInput KeyInputFromQt(int key, Qt::KeyboardModifiers modifiers);
