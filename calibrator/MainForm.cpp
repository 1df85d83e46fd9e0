#include "calibrator/MainForm.h"

#include <QAction>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QTabWidget>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

#include <cstdio>

#include "calibrator/border/BorderPoints.h"
#include "calibrator/border/CheckGrid.h"
#include "calibrator/calibration/CalViews.h"
#include "calibrator/calibration/ImageCommands.h"
#include "calibrator/calibration/MeasuringSquare.h"
#include "calibrator/calibration/RefPoints.h"
#include "calibrator/catalog/CatalogMenu.h"
#include "calibrator/export/ExportCommands.h"
#include "calibrator/import/ImportCommands.h"
#include "calibrator/longrun/CommandLock.h"
#include "calibrator/longrun/MessagePanel.h"
#include "calibrator/maintenance/MaintenanceCommands.h"
#include "calibrator/mapview/ColourPanels.h"
#include "calibrator/mapview/Magnifier.h"
#include "calibrator/mapview/MapMouse.h"
#include "calibrator/mapview/MapView.h"
#include "calibrator/mapview/Readouts.h"
#include "charts/ChartList.h"
#include "geodesy/Datum.h"
#include "platform/Paths.h"
#include "platform/Questions.h"
#include "plotter/core/FileNames.h"
#include "sharedui/ChartAvail.h"
#include "sharedui/ChartCanvas.h"
#include "sharedui/ChartInfoDialog.h"
#include "sharedui/DatumAlias.h"
#include "sharedui/PosEdit.h"
#include "sharedui/SpyFrm.h"

namespace {

constexpr const char* kNotSaved = "Changes not saved. Continue?";

QLabel* Readout(QWidget* parent, const char* name) {
  auto* l = new QLabel(parent);
  l->setObjectName(QString::fromLatin1(name));
  l->setFrameShape(QFrame::StyledPanel);
  l->setMinimumWidth(40);
  l->setProperty("tag", 1);
  return l;
}

QLabel* Caption(QWidget* parent, const char* name, const char* text) {
  auto* l = new QLabel(QString::fromUtf8(text), parent);
  l->setObjectName(QString::fromLatin1(name));
  return l;
}

QAction* Item(QMenu* menu, const char* name, const char* text) {
  QAction* a = menu->addAction(QString::fromUtf8(text));
  a->setObjectName(QString::fromLatin1(name));
  return a;
}

QMenu* SubMenu(QMenu* parent, const char* name, const char* text) {
  QMenu* m = parent->addMenu(QString::fromUtf8(text));
  m->setObjectName(QString::fromLatin1(name));
  m->menuAction()->setObjectName(QString::fromLatin1(name) + QStringLiteral("Item"));
  return m;
}

// Loads the catalog file without a search path, so that entries whose files
// are gone stay; false when the catalog commands must leave the file alone.
// `noticeText`: what the user is told about a file that is not sound.
bool LoadCatalog(TChartList& catalog, const std::string& file, std::string& noticeText) {
  const TCatalogLoadResult loaded = catalog.LoadFromFile(file, std::string());
  std::vector<std::string> notice;
  bool writable = true;
  if (loaded.Status == TCatalogLoad::Damaged || loaded.Status == TCatalogLoad::WrongMagic) {
    // Kept aside before any scan writes over it; when that fails, the
    // catalog commands leave the file alone.
    writable = KeepDamagedCatalog(file, loaded, notice);
  } else if (!loaded.Message.empty()) {
    notice.push_back(loaded.Message);
  }
  if (loaded.Status == TCatalogLoad::Unreadable) writable = false;
  for (const std::string& line : notice) std::fprintf(stderr, "teskor: %s\n", line.c_str());
  for (const std::string& line : notice) noticeText += (noticeText.empty() ? "" : "\r\n") + line;
  return writable;
}

}  // namespace

// ---------------------------------------------------------------------------
// The long-lived objects, the components, the features

T_Form::T_Form(const TTeskorOptions& options, const std::string& dataDir, QWidget* parent)
    : QMainWindow(parent), Options(options), DataDir(WithTrailingSlash(dataDir)) {
  setObjectName(QStringLiteral("_Form"));
  setWindowTitle(QString::fromLatin1(kCalibrationTitle));
  IniFile = DataDir + kSettingsFileName;
  Settings = ReadTeskorSettings(IniFile, DataDir);
  std::string error;
  if (!EnsureDefaultDatumFile(DataDir, ShippedDataDir(), &error))
    std::fprintf(stderr, "teskor: no datum table in %s (%s); only WGS 84 is known\n", DataDir.c_str(), error.c_str());
  Datums = std::make_unique<TDatum>(DatumTableFile(DataDir, ShippedDataDir()));
  Catalog = std::make_unique<TChartList>();
  std::string catalogNotice;
  const bool catalogLocked = !LoadCatalog(*Catalog, DataDir + kCatalogFileName, catalogNotice);
  Catalog->SetSearchPath(ChartSearchPath(Settings.Catalog.ChartDir));
  Cal.SetSearchPath(ChartSearchPath(Settings.Catalog.ChartDir));

  BuildMenus();
  BuildMap();
  BuildPanel();
  BuildMessagePanel();
  CHInfo = new T_CHInfo(this);
  CHInfo->Datums = Datums.get();
  ChartAvail = new TChartAvail(this);
  ChartAvail->Catalog = Catalog.get();
  DatFrm = new TDatFrm(this);
  ProblemCharts = new TSpyFrm(this);
  ProblemCharts->setWindowTitle(QStringLiteral("Problem Charts"));
  MagnifierTimer = new QTimer(this);
  MagnifierTimer->setObjectName(QStringLiteral("MagnifierTimer"));

  MakeFeatures(catalogLocked);
  WireMenus();
  resize(1100, 760);
  views_->RefreshAll();
  if (!catalogNotice.empty())
    QTimer::singleShot(0, this, [this, catalogNotice] { dialogs_->Say(catalogNotice, mfIconWarning); });
}

T_Form::~T_Form() {
  Pager.Stop();
  Pager.SetDecoder(nullptr);
}

// Each feature is made once the objects it is given exist. None of them
// knows T_Form: those that need the window have it as a plain widget (the
// parent of their dialogs, the owner of their keys, the title).
void T_Form::MakeFeatures(bool catalogLocked) {
  dialogs_ = std::make_unique<TFormDialogs>(*this, Settings);
  CHInfo->InputQuery = [this](const std::string& t, const std::string& p, const std::string& o) {
    return dialogs_->Ask(t, p, o);
  };
  panel_ =
      std::make_unique<TMessagePanel>(TMessagePanelControls{*MsgP, *MsgT, *MsgB, *BT}, *centralWidget(), longCommand_);
  lock_ = std::make_unique<TCommandLock>(
      longCommand_, *panel_,
      TLockedControls{
          *this, {TB, MapCanvas, TabPage, ZoomIn, ZoomOut}, {FileMenu, EditMenu, ToolsMenu, MapPopup, MarkerPopup}});
  const TCommandServices services{*dialogs_, *lock_, *panel_};
  views_ = std::make_unique<TCalViews>(Cal, *this);
  const TSidePages pages{*TabPage, *CalPage, *BorderPage};

  // The map and the side panel, each a view shown afresh in this order.
  map_ = std::make_unique<TMapView>(TMapControls{*Scroll, *MapP, *MapCanvas, *Zl, *ZoomIn, *ZoomOut}, *this, Cal, Pager,
                                    *views_, Options.MarkerSize);
  readouts_ = std::make_unique<TReadouts>(
      TReadoutControls{*H, *W, *Xl, *Yl, *Hgt, *Wth, *ULLat, *ULLong, *LRLat, *LRLong, *Inside}, Cal, pages, *views_);
  colourPanels_ = std::make_unique<TColourPanels>(TColourPanelControls{*BCLR, *RefCN, *RefCH, *ECLR, *NeatCN, *NeatCH},
                                                  *map_, *dialogs_);
  refPoints_ = std::make_unique<TRefPoints>(
      TRefPointControls{*CPList, *CalLat, *CalLong, *CalX, *CalY, *RefPosLock, *BCalActivate, *PV, *PH}, pages, Cal,
      *map_, *views_, *dialogs_);
  borderPoints_ = std::make_unique<TBorderPoints>(
      TBorderPointControls{*BDList, *BorderLat, *BorderLong, *SetBorderButton, *BDLineShow}, pages, Cal, *map_, *views_,
      *dialogs_);
  grid_ = std::make_unique<TCheckGrid>(*ShowGrid, Cal, *map_, *views_);

  // The mouse on the map and what follows it.
  mapMouse_ = std::make_unique<TMapMouse>(*map_, Cal, pages, *refPoints_, *borderPoints_, *readouts_,
                                          TMapMenus{*MapPopup, *MarkerPopup, *MenuItem("AddPoint"),
                                                    *MenuItem("DeleteSelected"), *MenuItem("StickCalibrate")});
  magnifier_ = std::make_unique<TMagnifier>(*ZoomImg, *MagnifierTimer, *this, *MapCanvas, Cal, *mapMouse_);
  square_ = std::make_unique<TMeasuringSquare>(*this, Cal, *map_, *mapMouse_, *views_, *dialogs_);

  // The commands.
  image_ = std::make_unique<TImageCommands>(Cal, *Catalog, *map_, *square_, *views_,
                                            TImageWindows{*CHInfo, *ChartAvail}, services);
  export_ = std::make_unique<TExportCommands>(Cal, Settings, *image_, *borderPoints_, *ProblemCharts, services);
  import_ = std::make_unique<TImportCommands>(Cal, Settings, DataDir, *image_, *views_, services);
  catalog_ = std::make_unique<TCatalogMenu>(*Catalog, *Datums, Settings, DataDir, catalogLocked, Cal, *image_,
                                            TCatalogWindows{*ChartAvail, *DatFrm, *ProblemCharts}, services);
  maintenance_ = std::make_unique<TMaintenanceCommands>(*this, IniFile, DataDir, Settings, *Catalog, Cal, services);
}

// Each menu item to the feature that does its work.
void T_Form::WireMenus() {
  const auto on = [this](const char* item, auto handler) {
    connect(MenuItem(item), &QAction::triggered, this, handler);
  };
  // "File" and "Edit".
  on("OpenImage", [this] { image_->OpenImageClick(); });
  on("OpenFromList", [this] { image_->OpenFromListClick(); });
  on("CloseImage", [this] { image_->CloseImageClick(); });
  on("SaveCalibration", [this] { image_->SaveCalibrationClick(); });
  on("SaveAsCal", [this] { image_->SaveAsCalClick(); });
  on("Exit", [this] { close(); });
  on("ChartInformation", [this] { image_->ChartInformationClick(); });
  // "Tools".
  on("CurrentToWCI", [this] { export_->CurrentToWCIClick(); });
  on("CurrentWCIToBMP", [this] { export_->CurrentWCIToBMPClick(); });
  on("SingleFileToWCI", [this] { export_->SingleFileToWCIClick(); });
  on("ImagesInDirToWCI", [this] { export_->ImagesInDirToWCIClick(); });
  on("MapInDirToWCI", [this] { export_->MapInDirToWCIClick(); });
  on("CacheDisable", [this] { export_->CacheMarkClick(true); });
  on("CacheEnable", [this] { export_->CacheMarkClick(false); });
  on("ImportOldCalibrations", [this] { import_->ImportOldCalibrationsClick(); });
  on("ImportChiCalibrations", [this] { import_->ImportChiCalibrationsClick(); });
  on("ImportMapCalibration", [this] { import_->ImportMapCalibrationClick(); });
  on("ScanForNewCharts", [this] { catalog_->ScanForNewChartsClick(); });
  on("UpdateCatalog", [this] { catalog_->UpdateCatalogClick(); });
  on("AddDirectory", [this] { catalog_->AddDirectoryClick(); });
  on("RecreateCatalog", [this] { catalog_->RecreateCatalogClick(); });
  on("RemoveUnusedCalibrations", [this] { maintenance_->RemoveUnusedCalibrationsClick(); });
  on("SetDirectories", [this] { maintenance_->SetDirectoriesClick(); });
  // The map's menus.
  on("AddPoint", [this] { mapMouse_->AddPointClick(); });
  on("SelectClosest", [this] { mapMouse_->SelectClosestClick(); });
  on("DeleteSelected", [this] { mapMouse_->DeleteSelectedClick(); });
  on("StickShow", [this] { square_->StickShowClick(); });
  on("StickCalibrate", [this] { square_->StickCalibrateClick(); });
  on("DeletePoint", [this] { mapMouse_->DeleteSelectedClick(); });
  // The window's own.
  connect(CollapseButton, &QToolButton::clicked, this, [this] { CollapseButtonClick(); });
  connect(TabPage, &QTabWidget::currentChanged, this, [this](int index) { TabPageChange(index); });
}

void T_Form::TabPageChange(int index) {
  // Leaving the "Cal" page activates what was edited there; the map's menu
  // follows the page.
  if (TabPage->widget(index) != CalPage) refPoints_->ActivateOnLeave();
  mapMouse_->PageShown();
}

// "<<" collapses the side panel to 3 pixels; it comes back when the mouse
// reaches it.
void T_Form::CollapseButtonClick() {
  panelCollapsed_ = true;
  _Panel->setFixedWidth(3);
}

bool T_Form::eventFilter(QObject* watched, QEvent* e) {
  if (watched == _Panel && panelCollapsed_ && (e->type() == QEvent::Enter || e->type() == QEvent::MouseMove)) {
    panelCollapsed_ = false;
    _Panel->setFixedWidth(panelWidth_);
  }
  return QMainWindow::eventFilter(watched, e);
}

void T_Form::ApplyLanguage() { dialogs_->Translate({ChartAvail, CHInfo, DatFrm, ProblemCharts}); }

QAction* T_Form::MenuItem(const char* name) const { return findChild<QAction*>(QString::fromLatin1(name)); }

// ---------------------------------------------------------------------------
// Closing

void T_Form::CloseOrderly() {
  orderlyClose_ = true;
  if (!closed_) close();
}

void T_Form::closeEvent(QCloseEvent* e) {
  if (closed_) {
    e->accept();
    return;
  }
  if (CommandRunning()) {
    // The window stays while a long command runs; a termination signal
    // stops the command where it can stop, and closes it.
    if (!orderlyClose_) {
      e->ignore();
      return;
    }
    longCommand_.RequestCancel();
  }
  if (!orderlyClose_) {
    if ((Cal.Changed() && !dialogs_->AskYes(kNotSaved)) ||
        (Cal.SavedSomething() && !dialogs_->AskYes("Some calibrations may have changed. Quit anyway?"))) {
      e->ignore();
      return;
    }
  }
  std::string error;
  if (!SaveTeskorWinState(IniFile, isMaximized(), &error))
    std::fprintf(stderr, "teskor: the window state was not stored: %s\n", error.c_str());
  MagnifierTimer->stop();
  closed_ = true;
  e->accept();
  emit FormClosed();
}

// ---------------------------------------------------------------------------
// The components

void T_Form::BuildMenus() {
  TB = new QToolBar(this);
  TB->setObjectName(QStringLiteral("TB"));
  TB->setMovable(false);
  addToolBar(Qt::TopToolBarArea, TB);
  auto button = [this](const char* name, const char* text, QMenu* menu) {
    auto* b = new QToolButton(TB);
    b->setObjectName(QString::fromLatin1(name));
    b->setText(QString::fromUtf8(text));
    if (menu) {
      b->setMenu(menu);
      b->setPopupMode(QToolButton::InstantPopup);
    }
    TB->addWidget(b);
    return b;
  };

  FileMenu = new QMenu(this);
  FileMenu->setObjectName(QStringLiteral("FileMenu"));
  Item(FileMenu, "OpenImage", "Open Image");
  Item(FileMenu, "OpenFromList", "Open From List");
  Item(FileMenu, "CloseImage", "Close Image");
  FileMenu->addSeparator();
  Item(FileMenu, "SaveCalibration", "Save Calibration");
  Item(FileMenu, "SaveAsCal", "Save as .CAL File")->setVisible(Options.ShowSaveAsCal);
  FileMenu->addSeparator();
  Item(FileMenu, "Exit", "Exit");

  EditMenu = new QMenu(this);
  EditMenu->setObjectName(QStringLiteral("EditMenu"));
  Item(EditMenu, "ChartInformation", "Chart Information");

  ToolsMenu = new QMenu(this);
  ToolsMenu->setObjectName(QStringLiteral("ToolsMenu"));
  QMenu* convert = SubMenu(ToolsMenu, "ConvertMenu", "Convert");
  Item(convert, "CurrentToWCI", "Current to WCI");
  Item(convert, "CurrentWCIToBMP", "Current WCI to BMP");
  Item(convert, "SingleFileToWCI", "Single file to WCI");
  Item(convert, "ImagesInDirToWCI", "Images in Dir to WCI");
  Item(convert, "MapInDirToWCI", "MAP in Dir to WCI");
  convert->addSeparator();
  Item(convert, "CacheDisable", "Cache Disable");
  Item(convert, "CacheEnable", "Cache Enable");
  QMenu* import = SubMenu(ToolsMenu, "ImportCalMenu", "Import Cal");
  Item(import, "ImportOldCalibrations", "Old Brismare Calibrations");
  Item(import, "ImportChiCalibrations", "CHI Calibrations");
  Item(import, "ImportMapCalibration", ".MAP Calibration")->setVisible(Options.ShowMapCalibration);
  QMenu* autoload = SubMenu(ToolsMenu, "AutoloadMenu", "Autoload List");
  Item(autoload, "ScanForNewCharts", "Scan for New Charts");
  Item(autoload, "UpdateCatalog", "Update");
  Item(autoload, "AddDirectory", "Add Directory")->setVisible(Options.ShowAddDirectory);
  Item(autoload, "RecreateCatalog", "Recreate");
  QMenu* maintenance = SubMenu(ToolsMenu, "MaintenanceMenu", "Maintenance");
  Item(maintenance, "RemoveUnusedCalibrations", "Remove Unused  Calibrations");
  Item(ToolsMenu, "SetDirectories", "Set Directories");

  FileButton = button("FileButton", "&File", FileMenu);
  EditButton = button("EditButton", "&Edit", EditMenu);
  ToolsButton = button("ToolsButton", "&Tools", ToolsMenu);
  CollapseButton = button("CollapseButton", "<<", nullptr);

  MapPopup = new QMenu(this);
  MapPopup->setObjectName(QStringLiteral("MapPopup"));
  Item(MapPopup, "AddPoint", "Add New Cal. Point");
  Item(MapPopup, "SelectClosest", "Select Closest");
  Item(MapPopup, "DeleteSelected", "Delete Selected");
  QMenu* stick = SubMenu(MapPopup, "StickMenu", "Stick");
  stick->menuAction()->setVisible(Options.ShowStick);
  Item(stick, "StickShow", "Show");
  Item(stick, "StickCalibrate", "Calibrate");

  MarkerPopup = new QMenu(this);
  MarkerPopup->setObjectName(QStringLiteral("MarkerPopup"));
  Item(MarkerPopup, "DeletePoint", "Delete Point");
}

void T_Form::BuildMap() {
  auto* central = new QWidget(this);
  central->setObjectName(QStringLiteral("Central"));
  auto* layout = new QHBoxLayout(central);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  Scroll = new QScrollArea(central);
  Scroll->setObjectName(QStringLiteral("Scroll"));
  Scroll->setWidgetResizable(false);
  Scroll->setBackgroundRole(QPalette::Dark);
  MapP = new QWidget;
  MapP->setObjectName(QStringLiteral("MapP"));
  MapCanvas = new TChartCanvas(MapP);
  MapCanvas->setObjectName(QStringLiteral("MapCanvas"));
  MapCanvas->setContextMenuPolicy(Qt::NoContextMenu);
  Scroll->setWidget(MapP);
  layout->addWidget(Scroll, 1);
  _Panel = new QFrame(central);
  _Panel->setObjectName(QStringLiteral("_Panel"));
  _Panel->setFrameShape(QFrame::StyledPanel);
  _Panel->installEventFilter(this);
  layout->addWidget(_Panel);
  setCentralWidget(central);
}

void T_Form::BuildPanel() {
  _Panel->setFixedWidth(panelWidth_);
  auto* v = new QVBoxLayout(_Panel);
  v->setContentsMargins(4, 4, 4, 4);
  v->setSpacing(4);

  ZoomImg = new QLabel(_Panel);
  ZoomImg->setObjectName(QStringLiteral("ZoomImg"));
  ZoomImg->setFixedSize(panelWidth_ - 10, 126);
  ZoomImg->setFrameShape(QFrame::Box);
  ZoomImg->setAlignment(Qt::AlignCenter);
  v->addWidget(ZoomImg);

  TabPage = new QTabWidget(_Panel);
  TabPage->setObjectName(QStringLiteral("TabPage"));
  v->addWidget(TabPage);

  // "Cal": the reference points.
  CalPage = new QWidget;
  CalPage->setObjectName(QStringLiteral("CalPage"));
  auto* cg = new QGridLayout(CalPage);
  cg->setContentsMargins(4, 4, 4, 4);
  cg->setVerticalSpacing(3);
  CPList = new QListWidget(CalPage);
  CPList->setObjectName(QStringLiteral("CPList"));
  CPList->setFixedHeight(92);
  CPList->setProperty("tag", 1);
  PV = new QScrollBar(Qt::Vertical, CalPage);
  PV->setObjectName(QStringLiteral("PV"));
  PV->setToolTip(QStringLiteral("Vertical Position"));
  PH = new QScrollBar(Qt::Horizontal, CalPage);
  PH->setObjectName(QStringLiteral("PH"));
  PH->setToolTip(QStringLiteral("Horizontal Position"));
  cg->addWidget(CPList, 0, 0, 1, 4);
  cg->addWidget(PV, 0, 4);
  cg->addWidget(PH, 1, 0, 1, 4);
  CalLat = new TPosEdit(false, 4, CalPage);
  CalLat->setObjectName(QStringLiteral("CalLat"));
  CalLong = new TPosEdit(true, 4, CalPage);
  CalLong->setObjectName(QStringLiteral("CalLong"));
  cg->addWidget(Caption(CalPage, "CalLatLabel", "Lat"), 2, 0);
  cg->addWidget(CalLat, 2, 1, 1, 3);
  cg->addWidget(Caption(CalPage, "CalLongLabel", "Long"), 3, 0);
  cg->addWidget(CalLong, 3, 1, 1, 3);
  CalX = new QLineEdit(CalPage);
  CalX->setObjectName(QStringLiteral("CalX"));
  CalY = new QLineEdit(CalPage);
  CalY->setObjectName(QStringLiteral("CalY"));
  for (QLineEdit* e : {CalX, CalY}) e->setReadOnly(true);
  cg->addWidget(Caption(CalPage, "CalXLabel", "X"), 4, 0);
  cg->addWidget(CalX, 4, 1);
  cg->addWidget(Caption(CalPage, "CalYLabel", "Y"), 4, 2);
  cg->addWidget(CalY, 4, 3);
  RefPosLock = new QCheckBox(QStringLiteral("Lock Lat && Long"), CalPage);
  RefPosLock->setObjectName(QStringLiteral("RefPosLock"));
  cg->addWidget(RefPosLock, 5, 0, 1, 5);
  BCalActivate = new QPushButton(QStringLiteral("Activate Changes"), CalPage);
  BCalActivate->setObjectName(QStringLiteral("BCalActivate"));
  cg->addWidget(BCalActivate, 6, 0, 1, 5);
  ShowGrid = new QComboBox(CalPage);
  ShowGrid->setObjectName(QStringLiteral("ShowGrid"));
  ShowGrid->addItems({QStringLiteral("No Grid"), QStringLiteral("Loose Grid"), QStringLiteral("Normal Grid"),
                      QStringLiteral("Tight Grid")});
  cg->addWidget(ShowGrid, 7, 0, 1, 5);
  auto colourRow = [](QWidget* page, QGridLayout* g, int row,
                      std::initializer_list<std::pair<const char*, QPushButton**>> panels,
                      std::initializer_list<const char*> captions) {
    auto* h = new QHBoxLayout;
    h->setSpacing(4);
    auto caption = captions.begin();
    for (const auto& [name, slot] : panels) {
      if (caption != captions.begin()) h->addSpacing(10);
      auto* l = new QLabel(QString::fromUtf8(*caption), page);
      l->setObjectName(QString::fromLatin1(name) + QStringLiteral("Label"));
      auto* b = new QPushButton(page);
      b->setObjectName(QString::fromLatin1(name));
      b->setFixedSize(22, 16);
      b->setFlat(true);
      b->setAutoFillBackground(true);
      *slot = b;
      h->addWidget(l);
      h->addWidget(b);
      ++caption;
    }
    h->addStretch(1);
    g->addLayout(h, row, 0, 1, 5);
  };
  colourRow(CalPage, cg, 8, {{"BCLR", &BCLR}, {"RefCN", &RefCN}, {"RefCH", &RefCH}}, {"Grid", "Point", "Selected"});
  cg->setRowStretch(9, 1);
  cg->setColumnStretch(1, 1);
  cg->setColumnStretch(3, 1);
  TabPage->addTab(CalPage, QStringLiteral("Cal"));

  // "Border": the border points.
  BorderPage = new QWidget;
  BorderPage->setObjectName(QStringLiteral("BorderPage"));
  auto* bg = new QGridLayout(BorderPage);
  bg->setContentsMargins(4, 4, 4, 4);
  bg->setVerticalSpacing(3);
  BDList = new QListWidget(BorderPage);
  BDList->setObjectName(QStringLiteral("BDList"));
  BDList->setFixedHeight(92);
  BDList->setProperty("tag", 1);
  bg->addWidget(BDList, 0, 0, 1, 4);
  BorderLat = new TPosEdit(false, BorderPage);
  BorderLat->setObjectName(QStringLiteral("BorderLat"));
  BorderLong = new TPosEdit(true, BorderPage);
  BorderLong->setObjectName(QStringLiteral("BorderLong"));
  bg->addWidget(Caption(BorderPage, "BorderLatLabel", "Lat"), 1, 0);
  bg->addWidget(BorderLat, 1, 1, 1, 3);
  bg->addWidget(Caption(BorderPage, "BorderLongLabel", "Long"), 2, 0);
  bg->addWidget(BorderLong, 2, 1, 1, 3);
  Inside = new QLabel(BorderPage);
  Inside->setObjectName(QStringLiteral("Inside"));
  Inside->setProperty("tag", 1);
  bg->addWidget(Inside, 3, 0, 1, 4);
  SetBorderButton = new QPushButton(QStringLiteral("Set border to Image"), BorderPage);
  SetBorderButton->setObjectName(QStringLiteral("SetBorderButton"));
  bg->addWidget(SetBorderButton, 4, 0, 1, 4);
  BDLineShow = new QCheckBox(QStringLiteral("Show Borderline"), BorderPage);
  BDLineShow->setObjectName(QStringLiteral("BDLineShow"));
  bg->addWidget(BDLineShow, 5, 0, 1, 4);
  colourRow(BorderPage, bg, 6, {{"ECLR", &ECLR}, {"NeatCN", &NeatCN}, {"NeatCH", &NeatCH}},
            {"Line", "Point", "Selected"});
  bg->setRowStretch(7, 1);
  // The captions keep their width; the fields take the rest.
  bg->setColumnStretch(1, 1);
  TabPage->addTab(BorderPage, QStringLiteral("Border"));

  // Readouts.
  auto* r = new QGridLayout;
  r->setVerticalSpacing(2);
  H = Readout(_Panel, "H");
  W = Readout(_Panel, "W");
  Xl = Readout(_Panel, "Xl");
  Yl = Readout(_Panel, "Yl");
  Zl = Readout(_Panel, "Zl");
  Hgt = Readout(_Panel, "Hgt");
  Wth = Readout(_Panel, "Wth");
  r->addWidget(Caption(_Panel, "HLabel", "Lat"), 0, 0);
  r->addWidget(H, 0, 1, 1, 3);
  r->addWidget(Caption(_Panel, "WLabel", "Long"), 1, 0);
  r->addWidget(W, 1, 1, 1, 3);
  r->addWidget(Caption(_Panel, "XlLabel", "X"), 2, 0);
  r->addWidget(Xl, 2, 1);
  r->addWidget(Caption(_Panel, "YlLabel", "Y"), 2, 2);
  r->addWidget(Yl, 2, 3);
  r->addWidget(Caption(_Panel, "WthLabel", "W"), 3, 0);
  r->addWidget(Wth, 3, 1);
  r->addWidget(Caption(_Panel, "HgtLabel", "H"), 3, 2);
  r->addWidget(Hgt, 3, 3);
  r->addWidget(Caption(_Panel, "ZlLabel", "Zoom %"), 4, 0);
  r->addWidget(Zl, 4, 1);
  ZoomIn = new QPushButton(QStringLiteral("+"), _Panel);
  ZoomIn->setObjectName(QStringLiteral("ZoomIn"));
  ZoomOut = new QPushButton(QStringLiteral("-"), _Panel);
  ZoomOut->setObjectName(QStringLiteral("ZoomOut"));
  // Narrow buttons, so that the columns of the readouts keep equal widths.
  auto* zooms = new QHBoxLayout;
  for (QPushButton* b : {ZoomIn, ZoomOut}) {
    b->setFixedWidth(40);
    zooms->addWidget(b);
  }
  zooms->addStretch(1);
  r->addLayout(zooms, 4, 2, 1, 2);
  ULLat = Readout(_Panel, "ULLat");
  ULLong = Readout(_Panel, "ULLong");
  LRLat = Readout(_Panel, "LRLat");
  LRLong = Readout(_Panel, "LRLong");
  r->addWidget(Caption(_Panel, "ULLabel", "Upper Left"), 5, 0, 1, 4);
  r->addWidget(ULLat, 6, 0, 1, 2);
  r->addWidget(ULLong, 6, 2, 1, 2);
  r->addWidget(Caption(_Panel, "LRLabel", "Lower Right"), 7, 0, 1, 4);
  r->addWidget(LRLat, 8, 0, 1, 2);
  r->addWidget(LRLong, 8, 2, 1, 2);
  r->setColumnStretch(1, 1);
  r->setColumnStretch(3, 1);
  v->addLayout(r);
  v->addStretch(1);
}

void T_Form::BuildMessagePanel() {
  MsgP = new QFrame(centralWidget());
  MsgP->setObjectName(QStringLiteral("MsgP"));
  MsgP->setFrameShape(QFrame::Box);
  MsgP->setAutoFillBackground(true);
  auto* v = new QVBoxLayout(MsgP);
  MsgT = new QLabel(MsgP);
  MsgT->setObjectName(QStringLiteral("MsgT"));
  MsgT->setProperty("tag", 1);
  MsgB = new QProgressBar(MsgP);
  MsgB->setObjectName(QStringLiteral("MsgB"));
  BT = new QPushButton(QStringLiteral("Cancel"), MsgP);
  BT->setObjectName(QStringLiteral("BT"));
  v->addWidget(MsgT);
  v->addWidget(MsgB);
  v->addWidget(BT, 0, Qt::AlignHCenter);
  MsgP->setFixedSize(320, 110);
  MsgP->hide();
}
