// The calibration tool's main window, T_Form. It makes the long-lived
// objects (the working chart with its fit and decoders, the pager, the
// datum table, the catalog, the settings), builds the window's components
// and makes its features in a fixed order (MakeFeatures), each given the
// objects and components it works on; the menus call into the features.
// Where each feature lives (its logic without a window in the folder's core/):
//   dialogs/      TFormDialogs: messages, questions, modal windows, colours
//   longrun/      TMessagePanel: the panel MsgP; TCommandLock: long commands
//   calibration/  TCalViews: the views of the open chart; TRefPoints: the
//                 "Cal" page; TMeasuringSquare: "Stick"; TImageCommands:
//                 "File" and "Edit" (the open image, its calibration saved)
//   mapview/      TMapView: the map; TReadouts; TColourPanels; TMapMouse: the
//                 mouse and the map's menus; TMagnifier
//   border/       TBorderPoints: the "Border" page; TCheckGrid: the grid
//   export/       TExportCommands: "Tools" > "Convert"
//   import/       TImportCommands: "Tools" > "Import Cal"
//   catalog/      TCatalogMenu: "Tools" > "Autoload List"
//   maintenance/  TMaintenanceCommands: "Tools" > "Maintenance" and "Set
//                 Directories" (T_SetDir)
//   start/        the start switches and the settings
#pragma once

#include <QMainWindow>

#include <memory>
#include <string>

#include "calibrator/calibration/core/Calibration.h"
#include "calibrator/dialogs/FormDialogs.h"
#include "calibrator/longrun/core/LongCommand.h"
#include "calibrator/start/core/TeskorStart.h"
#include "charts/BMPager.h"

class QAction;
class QCheckBox;
class QComboBox;
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
class TBorderPoints;
class TCalViews;
class TCatalogMenu;
class TChartAvail;
class TChartCanvas;
class TChartList;
class TCheckGrid;
class TColourPanels;
class TCommandLock;
class TDatFrm;
class TDatum;
class TExportCommands;
class TImageCommands;
class TImportCommands;
class TMagnifier;
class TMaintenanceCommands;
class TMapMouse;
class TMapView;
class TMeasuringSquare;
class TMessagePanel;
class TPosEdit;
class TReadouts;
class TRefPoints;
class TSpyFrm;
class T_CHInfo;

class T_Form : public QMainWindow {
  Q_OBJECT

 public:
  // The data directory holds the settings file, the datum table and the
  // chart catalog.
  T_Form(const TTeskorOptions& options, const std::string& dataDir, QWidget* parent = nullptr);
  ~T_Form() override;

  // ---- what the window works on ----
  TCalibration Cal;
  TBitmapPager Pager;
  std::unique_ptr<TDatum> Datums;
  std::unique_ptr<TChartList> Catalog;
  TTeskorOptions Options;
  TTeskorSettings Settings;
  std::string DataDir;
  std::string IniFile;
  // The windows shared with the plotter, made with this one.
  T_CHInfo* CHInfo = nullptr;
  TChartAvail* ChartAvail = nullptr;
  TDatFrm* DatFrm = nullptr;
  TSpyFrm* ProblemCharts = nullptr;

  // ---- the features ----
  TFormDialogs& Dialogs() { return *dialogs_; }
  TMapView& Map() { return *map_; }
  TRefPoints& RefPoints() { return *refPoints_; }
  TBorderPoints& BorderPoints() { return *borderPoints_; }
  const TCheckGrid& Grid() const { return *grid_; }
  TImageCommands& Image() { return *image_; }

  // A long command is running: every other command is off meanwhile.
  bool CommandRunning() const { return longCommand_.Running(); }
  // Ends the run without questions (a termination signal): the answers
  // are the questions' defaults, nothing is saved half-way.
  void CloseOrderly();
  // Applies the language file of the settings to the shared windows.
  void ApplyLanguage();
  // The menu item of that object name (nullptr when none).
  QAction* MenuItem(const char* name) const;

  // ---- published components ----
  // The tool bar and the menus.
  QToolBar* TB = nullptr;
  QToolButton *FileButton = nullptr, *EditButton = nullptr, *ToolsButton = nullptr, *CollapseButton = nullptr;
  QMenu *FileMenu = nullptr, *EditMenu = nullptr, *ToolsMenu = nullptr, *MapPopup = nullptr, *MarkerPopup = nullptr;
  // The map: Image1 (the picture of a plain image) is the map view's.
  QScrollArea* Scroll = nullptr;
  QWidget* MapP = nullptr;
  TChartCanvas* MapCanvas = nullptr;
  // The side panel: the magnifier, the pages, the readouts, the zoom.
  QFrame* _Panel = nullptr;
  QLabel* ZoomImg = nullptr;
  QTimer* MagnifierTimer = nullptr;
  QTabWidget* TabPage = nullptr;
  QWidget *CalPage = nullptr, *BorderPage = nullptr;
  QLabel *H = nullptr, *W = nullptr, *Xl = nullptr, *Yl = nullptr, *Zl = nullptr, *Hgt = nullptr, *Wth = nullptr;
  QLabel *ULLat = nullptr, *ULLong = nullptr, *LRLat = nullptr, *LRLong = nullptr;
  QPushButton *ZoomIn = nullptr, *ZoomOut = nullptr;
  // "Cal".
  QListWidget* CPList = nullptr;
  TPosEdit *CalLat = nullptr, *CalLong = nullptr;
  QLineEdit *CalX = nullptr, *CalY = nullptr;
  QCheckBox* RefPosLock = nullptr;
  QPushButton* BCalActivate = nullptr;
  QComboBox* ShowGrid = nullptr;
  QScrollBar *PV = nullptr, *PH = nullptr;
  QPushButton *BCLR = nullptr, *RefCN = nullptr, *RefCH = nullptr;
  // "Border".
  QListWidget* BDList = nullptr;
  TPosEdit *BorderLat = nullptr, *BorderLong = nullptr;
  QLabel* Inside = nullptr;
  QPushButton* SetBorderButton = nullptr;
  QCheckBox* BDLineShow = nullptr;
  QPushButton *ECLR = nullptr, *NeatCN = nullptr, *NeatCH = nullptr;
  // The message panel.
  QFrame* MsgP = nullptr;
  QLabel* MsgT = nullptr;
  QProgressBar* MsgB = nullptr;
  QPushButton* BT = nullptr;

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
  void MakeFeatures(bool catalogLocked);
  void WireMenus();
  void TabPageChange(int index);
  void CollapseButtonClick();

  TLongCommand longCommand_;
  bool closed_ = false, orderlyClose_ = false, panelCollapsed_ = false;
  int panelWidth_ = 250;
  // In the order they are made (MakeFeatures), undone in reverse.
  std::unique_ptr<TFormDialogs> dialogs_;
  std::unique_ptr<TMessagePanel> panel_;
  std::unique_ptr<TCommandLock> lock_;
  std::unique_ptr<TCalViews> views_;
  std::unique_ptr<TMapView> map_;
  std::unique_ptr<TReadouts> readouts_;
  std::unique_ptr<TColourPanels> colourPanels_;
  std::unique_ptr<TRefPoints> refPoints_;
  std::unique_ptr<TBorderPoints> borderPoints_;
  std::unique_ptr<TCheckGrid> grid_;
  std::unique_ptr<TMapMouse> mapMouse_;
  std::unique_ptr<TMagnifier> magnifier_;
  std::unique_ptr<TMeasuringSquare> square_;
  std::unique_ptr<TImageCommands> image_;
  std::unique_ptr<TExportCommands> export_;
  std::unique_ptr<TImportCommands> import_;
  std::unique_ptr<TCatalogMenu> catalog_;
  std::unique_ptr<TMaintenanceCommands> maintenance_;
};
