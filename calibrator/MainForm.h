// The calibration tool's main window, T_Form: the map of the open image
// with its reference points, border points, border line and check grid,
// the side panel with the points' fields, the readouts and the magnifier,
// and the menus of the tool bar. The calibration itself is TCalibration
// (calibrator/calibration/core); this window shows it and hands it the user's edits.
//
// Map coordinates: the map widget is the zoomed image (screen pixel = image
// pixel x zoom) inside the scroll area.
#pragma once

#include <QColor>
#include <QImage>
#include <QMainWindow>

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "calibrator/catalog/core/CatalogCommands.h"
#include "calibrator/calibration/core/Calibration.h"
#include "calibrator/dialogs/FormDialogs.h"
#include "calibrator/longrun/core/LongCommand.h"
#include "calibrator/start/core/TeskorStart.h"
#include "charts/BMPager.h"
#include "foundation/Colors.h"
#include "navobjects/NavCtrls.h"
#include "sharedui/DialogSupport.h"

class QAction;
class QCheckBox;
class QComboBox;
class QDialog;
class QFrame;
class QLabel;
class QLineEdit;
class QListWidget;
class QMenu;
class QProgressBar;
class QPushButton;
class QScrollArea;
class QScrollBar;
class QTabWidget;
class QTimer;
class QToolBar;
class QToolButton;
class TChartCanvas;
class TCommandLock;
class TFormDialogs;
class TMessagePanel;
class TChartList;
class TDatum;
class TPosEdit;
class T_CHInfo;
class TChartAvail;
class TDatFrm;
class TSpyFrm;
struct TBatchSummary;
struct TConvertSettings;

// The colours of the map's marks (the colour panels of the side panel).
struct TCalColours {
  TColor Grid = kPalette16[piFuchsia];        // BCLR
  TColor RefNormal = kPalette16[piBlack];     // RefCN
  TColor RefSelected = kPalette16[piRed];     // RefCH
  TColor BorderLine = kPalette16[piFuchsia];  // ECLR
  TColor NeatNormal = kPalette16[piBlack];    // NeatCN
  TColor NeatSelected = kPalette16[piRed];    // NeatCH
};

class T_Form : public QMainWindow {
  Q_OBJECT

 public:
  // The data directory holds the settings file, the datum table and the
  // chart catalog.
  T_Form(const TTeskorOptions& options, const std::string& dataDir, QWidget* parent = nullptr);
  ~T_Form() override;

  // ---- what the window works on ----
  TCalibration Cal;
  TCalZoom Zoom;
  TBitmapPager Pager;
  std::unique_ptr<TDatum> Datums;
  std::unique_ptr<TChartList> Catalog;
  TNavShapeCollection RefMarkers;
  TNavShapeCollection BorderMarkers;
  TCalColours Colours;
  TTeskorOptions Options;
  TTeskorSettings Settings;
  std::string DataDir;
  std::string IniFile;

  // The windows shared with the plotter, made with this one.
  T_CHInfo* CHInfo = nullptr;
  TChartAvail* ChartAvail = nullptr;
  TDatFrm* DatFrm = nullptr;
  TSpyFrm* ProblemCharts = nullptr;

  // ---- commands ----
  // Opens a file (after "Changes not saved. Continue?" when needed); true
  // when it is open.
  bool OpenFile(const std::string& file);
  void OpenImageClick();
  void OpenFromListClick();
  // False when the user keeps the image for its unsaved changes.
  bool CloseImageClick();
  void SaveCalibrationClick();
  void SaveAsCalClick();
  void ChartInformationClick();
  // "Activate Changes".
  void BCalActivateClick();
  void SetBorderToImageClick();
  // The map's menu at the last right click: add a point (reference or
  // border, by the page shown), select the closest, delete the selected.
  void AddPointClick();
  void SelectClosestClick();
  void DeleteSelectedClick();
  void ZoomInClick();
  void ZoomOutClick();
  // "Stick": the measuring square.
  void StickShowClick();
  void StickCalibrateClick();
  // Chart export (ExportCommands.cpp): the "Convert" menu and the cache
  // marks of WCI files.
  void CurrentToWCIClick();
  void CurrentWCIToBMPClick();
  void SingleFileToWCIClick();
  void ImagesInDirToWCIClick();
  void MapInDirToWCIClick();
  void CacheMarkClick(bool disable);
  // The chart catalog (CatalogMenu.cpp): the "Autoload List" commands, each
  // ending with the catalog saved and, but for "Add Directory", the report.
  void ScanForNewChartsClick();
  void UpdateCatalogClick();
  void RecreateCatalogClick();
  void AddDirectoryClick();
  // "Remove Unused  Calibrations" and "Set Directories"
  // (MaintenanceCommands.cpp).
  void RemoveUnusedCalibrationsClick();
  void SetDirectoriesClick();
  // A long command is running: every other command is off meanwhile.
  bool CommandRunning() const { return longCommand_.Running(); }
  // Ends the run without questions (a termination signal): the answers
  // are the questions' defaults, nothing is saved half-way.
  void CloseOrderly();
  bool Closed() const { return closed_; }

  // Selects a reference (border) point: its marker, its fields, and the
  // view centred on it.
  void SelectRefPoint(int index, bool centre = true);
  void SelectBorderPoint(int index, bool centre = true);
  bool OnCalPage() const;
  // The image pixel under a map (widget) point, and back.
  TFPoint ImagePixelAt(const QPoint& mapPoint) const;
  QPoint MapPointOf(const TFPoint& imagePixel) const;
  // Scrolls so that the image pixel is in the middle of the view.
  void CentreOn(const TFPoint& imagePixel);
  // The grid as drawn (image pixels), for checks.
  const TCalGrid& GridShown() const { return grid_; }
  // The last right click on the map, in image pixels.
  TFPoint LastRightClick() const { return lastRightClick_; }
  // Refreshes every view of the calibration (after changes made from
  // outside the window's own commands).
  void RefreshAll();
  // Applies the language file of the settings to the shared windows.
  void ApplyLanguage();
  // The window's messages, questions and modal windows (tests answer them).
  TFormDialogs& Dialogs() { return *dialogs_; }

  // ---- published components ----
  QToolBar* TB = nullptr;
  QToolButton* FileButton = nullptr;
  QToolButton* EditButton = nullptr;
  QToolButton* ToolsButton = nullptr;
  QToolButton* CollapseButton = nullptr;
  QScrollArea* Scroll = nullptr;
  QWidget* MapP = nullptr;
  TChartCanvas* MapCanvas = nullptr;
  QImage Image1;
  QFrame* _Panel = nullptr;
  QLabel* ZoomImg = nullptr;
  QTabWidget* TabPage = nullptr;
  QWidget* CalPage = nullptr;
  QWidget* BorderPage = nullptr;
  QLabel* H = nullptr;    // latitude under the pointer
  QLabel* W = nullptr;    // longitude under the pointer
  QLabel* Xl = nullptr;
  QLabel* Yl = nullptr;
  QLabel* Zl = nullptr;   // "Zoom %"
  QLabel* Hgt = nullptr;  // image height
  QLabel* Wth = nullptr;  // image width
  QLabel* ULLat = nullptr;
  QLabel* ULLong = nullptr;
  QLabel* LRLat = nullptr;
  QLabel* LRLong = nullptr;
  QPushButton* ZoomIn = nullptr;
  QPushButton* ZoomOut = nullptr;
  QListWidget* CPList = nullptr;
  TPosEdit* CalLat = nullptr;
  TPosEdit* CalLong = nullptr;
  QLineEdit* CalX = nullptr;
  QLineEdit* CalY = nullptr;
  QCheckBox* RefPosLock = nullptr;
  QPushButton* BCalActivate = nullptr;
  QComboBox* ShowGrid = nullptr;
  QScrollBar* PV = nullptr;
  QScrollBar* PH = nullptr;
  QListWidget* BDList = nullptr;
  TPosEdit* BorderLat = nullptr;
  TPosEdit* BorderLong = nullptr;
  QLabel* Inside = nullptr;
  QPushButton* SetBorderButton = nullptr;
  QCheckBox* BDLineShow = nullptr;
  QPushButton* BCLR = nullptr;
  QPushButton* RefCN = nullptr;
  QPushButton* RefCH = nullptr;
  QPushButton* ECLR = nullptr;
  QPushButton* NeatCN = nullptr;
  QPushButton* NeatCH = nullptr;
  QFrame* MsgP = nullptr;
  QLabel* MsgT = nullptr;
  QProgressBar* MsgB = nullptr;
  QPushButton* BT = nullptr;
  QMenu* FileMenu = nullptr;
  QMenu* EditMenu = nullptr;
  QMenu* ToolsMenu = nullptr;
  QMenu* MapPopup = nullptr;
  QMenu* MarkerPopup = nullptr;
  QTimer* MagnifierTimer = nullptr;

  // The menu item of that object name (nullptr when none).
  QAction* MenuItem(const char* name) const;

 signals:
  // The window has closed; the program ends the run.
  void FormClosed();

 protected:
  void closeEvent(QCloseEvent* e) override;
  bool eventFilter(QObject* watched, QEvent* e) override;

 private:
  void BuildMenus();
  void BuildMap();
  void BuildPanel();
  void BuildMessagePanel();
  void BuildShortcuts();
  void BuildConvertMenu(QMenu* convert);
  // A directory conversion: the open image closed first, the tool bar off
  // while `convert` runs, its problems in "Problem Charts". False when it
  // did not run or found nothing to report.
  bool RunBatch(const std::function<TBatchSummary(TConvertSettings&)>& convert, TBatchSummary& summary);
  // A conversion's settings: "Compression Factor" and the message panel.
  TConvertSettings ConvertSettings();
  void BindChart();
  void LayoutMap();
  void UpdateTitle();
  void UpdateReadouts(const TFPoint& imagePixel, bool overMap);
  void UpdateCorners();
  void RefreshLists();
  void RefreshRefFields();
  void RefreshBorderFields();
  void SyncMarkers();
  void RebuildGrid();
  void ApplyMarkerStyles();
  void PaintMap(QPainter& painter, const QRect& dirty);
  void MapMousePress(QMouseEvent* e);
  void MapMouseMove(QMouseEvent* e);
  void MapMouseRelease(QMouseEvent* e);
  void MapDoubleClick(QMouseEvent* e);
  void ShowMapMenu(const QPoint& global);
  void RefMarkerDropped(TNavShape& s);
  void BorderMarkerDropped(TNavShape& s);
  void RefFieldEdited();
  void BorderFieldEdited();
  void ScrollBarMoved();
  void PageChanged(int index);
  void ApplyZoom(bool zoomed);
  void UpdateMagnifier();
  void PickPanelColour(QPushButton* panel, TColor& colour);
  void PaintPanel(QPushButton* panel, TColor colour);
  // "Import Cal" (ImportCommands.cpp).
  void BuildImportMenu(QMenu* menu);
  void ImportOldCalibrationsClick();
  void ImportChiCalibrationsClick();
  void ImportMapCalibrationClick();
  void MoveStick(int dx, int dy, int grow);
  // False (with a message) while a position field is half typed.
  bool FieldsComplete();
  void ShowActivation(const TCalActivation& a);

  TCalGrid grid_;
  bool dragging_ = false;
  QPoint dragStart_;
  QPoint dragScroll_;
  TFPoint lastRightClick_;
  QPoint lastMouse_;
  bool mouseOverMap_ = false;
  bool updatingFields_ = false;
  bool closed_ = false;
  bool orderlyClose_ = false;
  bool panelCollapsed_ = false;
  int panelWidth_ = 250;
  TLongCommand longCommand_;
  std::unique_ptr<TFormDialogs> dialogs_;
  std::unique_ptr<TMessagePanel> panel_;
  std::unique_ptr<TCommandLock> lock_;
  // Scale per latitude span of the Genimap charts of one command (0: ask).
  double genimapScaleRatio_ = 0;
  void SetGenimapQuestion(TConvertSettings& settings);
  // The catalog commands (CatalogMenu.cpp): one scanner for the run, so
  // that "Add Directory" adds to the counts of the last report.
  std::unique_ptr<TChartHeadExternalCodec> scanCodec_;
  std::unique_ptr<TChartFile> scanFile_;
  std::unique_ptr<TCatalogScanner> scanner_;
  // The catalog file could not be read, or a damaged one could not be kept
  // aside: the catalog commands do not write over it.
  bool catalogLocked_ = false;
  TCatalogScanner& Scanner();
  // The start shared by "Scan for New Charts", "Update" and "Recreate":
  // false when the user keeps unsaved changes.
  bool BeginCatalogCommand(bool recreate);
  // False, with a message, when the catalog file must be left alone.
  bool CatalogWritable();
  void RunCatalog(TCatalogCommand command, const std::string& directory = {});
  // Closes the open image without asking.
  void CloseImage();
  // The measuring square, in image pixels.
  bool stickShown_ = false;
  TFPoint stickCentre_;
  int stickSize_ = 40;
};
