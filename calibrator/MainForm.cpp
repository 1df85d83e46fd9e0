#include "calibrator/MainForm.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QColorDialog>
#include <QComboBox>
#include <QCursor>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QImageReader>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QShortcut>
#include <QTabWidget>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "calibrator/dialogs/FormDialogs.h"
#include "calibrator/longrun/CommandLock.h"
#include "calibrator/longrun/MessagePanel.h"
#include "charts/ChartList.h"
#include "charts/FileNames.h"
#include "foundation/GenUtil.h"
#include "foundation/qt/Language.h"
#include "geodesy/Datum.h"
#include "platform/Clock.h"
#include "platform/FileDialogs.h"
#include "platform/Paths.h"
#include "platform/Questions.h"
#include "platform/qt/QtCanvas.h"
#include "plotter/core/FileNames.h"
#include "sharedui/ChartAvail.h"
#include "sharedui/ChartCanvas.h"
#include "sharedui/ChartInfoDialog.h"
#include "sharedui/DatumAlias.h"
#include "sharedui/PosEdit.h"
#include "sharedui/SpyFrm.h"

namespace {

QString Q(const std::string& s) { return QString::fromStdString(s); }

QColor ToQColor(TColor c) { return QColor(ColorRed(c), ColorGreen(c), ColorBlue(c)); }

constexpr const char* kOpenFilter =
    "Chart File|*.PNG;*.BMP;*.GIF;*.KAP;*.WCI;*.CAL;*.GEO|WCI|*.WCI|BSB/KAP|*.KAP|GEO/NOS|*.GEO|PNG|*.PNG|BMP|*.BMP|"
    "Any File|*.*";
constexpr const char* kNotSaved = "Changes not saved. Continue?";
constexpr int kMagnifierMs = 100;

// Images other than PNG, BMP and GIF (JPEG, TIFF, ...), reached through
// their ".CAL" file, through Qt's image readers.
bool LoadOtherImage(const std::string& path, TChartImage& image, std::string* error) {
  QImageReader reader(Q(path));
  const QSize size = reader.size();
  if (size.isValid() && int64_t(size.width()) * size.height() > kMaxImagePixels) {
    if (error) *error = "the image is too large";
    return false;
  }
  QImage q = reader.read();
  if (q.isNull()) {
    if (error) *error = reader.errorString().toStdString();
    return false;
  }
  q = q.convertToFormat(QImage::Format_RGB32);
  if (!image.Allocate(TImageFormat::Rgb32, q.width(), q.height(), kMaxImagePixels)) {
    if (error) *error = "the image is too large";
    return false;
  }
  for (int y = 0; y < q.height(); ++y)
    std::copy_n(q.constScanLine(y), image.Stride, image.Pixels.data() + size_t(y) * image.Stride);
  return true;
}

// The picture of a plain image, over the calibration's own pixels (no copy).
QImage WrapImage(const TChartImage& im) {
  if (im.Empty() || im.Width <= 0 || im.Height <= 0) return {};
  if (im.Format == TImageFormat::Rgb32)
    return QImage(im.Pixels.data(), im.Width, im.Height, static_cast<qsizetype>(im.Stride), QImage::Format_RGB32);
  QImage q(im.Pixels.data(), im.Width, im.Height, static_cast<qsizetype>(im.Stride), QImage::Format_Indexed8);
  QList<QRgb> table;
  for (TRgb c : im.Palette) table.push_back(c | 0xFF000000u);
  while (table.size() < 256) table.push_back(0xFF000000u);
  q.setColorTable(table);
  return q;
}

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

TShapeMouse ShapeMouse(const QMouseEvent* e) {
  TShapeMouse m;
  m.At = {e->position().toPoint().x(), e->position().toPoint().y()};
  m.Button = e->button() == Qt::RightButton ? TShapeButton::Right : TShapeButton::Left;
  m.Shift = e->modifiers() & Qt::ShiftModifier;
  m.Ctrl = e->modifiers() & Qt::ControlModifier;
  return m;
}

std::string PointName(int index) { return "Point " + std::to_string(index + 1); }

}  // namespace

// ---------------------------------------------------------------------------
// Building the window

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
  // Loaded without a search path: entries whose files are gone stay.
  const TCatalogLoadResult loaded = Catalog->LoadFromFile(DataDir + kCatalogFileName, std::string());
  std::vector<std::string> catalogNotice;
  if (loaded.Status == TCatalogLoad::Damaged || loaded.Status == TCatalogLoad::WrongMagic) {
    // Kept aside before any scan writes over it; when that fails, the
    // catalog commands leave the file alone.
    catalogLocked_ = !KeepDamagedCatalog(DataDir + kCatalogFileName, loaded, catalogNotice);
  } else if (!loaded.Message.empty()) {
    catalogNotice.push_back(loaded.Message);
  }
  if (loaded.Status == TCatalogLoad::Unreadable) catalogLocked_ = true;
  for (const std::string& line : catalogNotice) std::fprintf(stderr, "teskor: %s\n", line.c_str());
  Catalog->SetSearchPath(ChartSearchPath(Settings.Catalog.ChartDir));
  Cal.SetSearchPath(ChartSearchPath(Settings.Catalog.ChartDir));
  Cal.SetOtherImageLoader(LoadOtherImage);

  dialogs_ = std::make_unique<TFormDialogs>(*this, Settings);
  BuildMenus();
  BuildMap();
  BuildPanel();
  BuildMessagePanel();
  BuildShortcuts();
  panel_ = std::make_unique<TMessagePanel>(TMessagePanelControls{*MsgP, *MsgT, *MsgB, *BT}, *centralWidget(),
                                           longCommand_);
  lock_ = std::make_unique<TCommandLock>(
      longCommand_, *panel_,
      TLockedControls{*this, {TB, MapCanvas, TabPage, ZoomIn, ZoomOut}, {FileMenu, EditMenu, ToolsMenu, MapPopup, MarkerPopup}});

  CHInfo = new T_CHInfo(this);
  CHInfo->Datums = Datums.get();
  CHInfo->InputQuery = [this](const std::string& t, const std::string& p, const std::string& o) { return dialogs_->Ask(t, p, o); };
  ChartAvail = new TChartAvail(this);
  ChartAvail->Catalog = Catalog.get();
  DatFrm = new TDatFrm(this);
  ProblemCharts = new TSpyFrm(this);
  ProblemCharts->setWindowTitle(QStringLiteral("Problem Charts"));

  RefMarkers.Size = BorderMarkers.Size = MarkerPixels(Options.MarkerSize);
  RefMarkers.OnMouseUp = [this](TNavShape& s, const TShapeMouse&) { RefMarkerDropped(s); };
  RefMarkers.OnClick = [this](TNavShape& s, const TShapeMouse&) { SelectRefPoint(s.Index, false); };
  BorderMarkers.OnMouseUp = [this](TNavShape& s, const TShapeMouse&) { BorderMarkerDropped(s); };
  BorderMarkers.OnClick = [this](TNavShape& s, const TShapeMouse&) { SelectBorderPoint(s.Index, false); };
  ApplyMarkerStyles();

  MagnifierTimer = new QTimer(this);
  MagnifierTimer->setObjectName(QStringLiteral("MagnifierTimer"));
  MagnifierTimer->setInterval(kMagnifierMs);
  connect(MagnifierTimer, &QTimer::timeout, this, [this] { UpdateMagnifier(); });
  MagnifierTimer->start();

  resize(1100, 760);
  RefreshAll();
  if (!catalogNotice.empty()) {
    std::string text;
    for (const std::string& line : catalogNotice) text += (text.empty() ? "" : "\r\n") + line;
    QTimer::singleShot(0, this, [this, text] { dialogs_->Say(text, mfIconWarning); });
  }
}

T_Form::~T_Form() {
  Pager.Stop();
  Pager.SetDecoder(nullptr);
}

QAction* T_Form::MenuItem(const char* name) const { return findChild<QAction*>(QString::fromLatin1(name)); }

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
  connect(Item(FileMenu, "OpenImage", "Open Image"), &QAction::triggered, this, [this] { OpenImageClick(); });
  connect(Item(FileMenu, "OpenFromList", "Open From List"), &QAction::triggered, this, [this] { OpenFromListClick(); });
  connect(Item(FileMenu, "CloseImage", "Close Image"), &QAction::triggered, this, [this] { CloseImageClick(); });
  FileMenu->addSeparator();
  connect(Item(FileMenu, "SaveCalibration", "Save Calibration"), &QAction::triggered, this,
          [this] { SaveCalibrationClick(); });
  QAction* saveAs = Item(FileMenu, "SaveAsCal", "Save as .CAL File");
  saveAs->setVisible(Options.ShowSaveAsCal);
  connect(saveAs, &QAction::triggered, this, [this] { SaveAsCalClick(); });
  FileMenu->addSeparator();
  connect(Item(FileMenu, "Exit", "Exit"), &QAction::triggered, this, [this] { close(); });

  EditMenu = new QMenu(this);
  EditMenu->setObjectName(QStringLiteral("EditMenu"));
  connect(Item(EditMenu, "ChartInformation", "Chart Information"), &QAction::triggered, this,
          [this] { ChartInformationClick(); });

  // The conversions (ExportCommands.cpp), the imports (ImportCommands.cpp),
  // the catalog (CatalogMenu.cpp) and its upkeep (MaintenanceCommands.cpp).
  ToolsMenu = new QMenu(this);
  ToolsMenu->setObjectName(QStringLiteral("ToolsMenu"));
  BuildConvertMenu(SubMenu(ToolsMenu, "ConvertMenu", "Convert"));
  BuildImportMenu(SubMenu(ToolsMenu, "ImportCalMenu", "Import Cal"));
  QMenu* autoload = SubMenu(ToolsMenu, "AutoloadMenu", "Autoload List");
  connect(Item(autoload, "ScanForNewCharts", "Scan for New Charts"), &QAction::triggered, this,
          [this] { ScanForNewChartsClick(); });
  connect(Item(autoload, "UpdateCatalog", "Update"), &QAction::triggered, this, [this] { UpdateCatalogClick(); });
  QAction* addDir = Item(autoload, "AddDirectory", "Add Directory");
  addDir->setVisible(Options.ShowAddDirectory);
  connect(addDir, &QAction::triggered, this, [this] { AddDirectoryClick(); });
  connect(Item(autoload, "RecreateCatalog", "Recreate"), &QAction::triggered, this,
          [this] { RecreateCatalogClick(); });
  QMenu* maintenance = SubMenu(ToolsMenu, "MaintenanceMenu", "Maintenance");
  connect(Item(maintenance, "RemoveUnusedCalibrations", "Remove Unused  Calibrations"), &QAction::triggered, this,
          [this] { RemoveUnusedCalibrationsClick(); });
  connect(Item(ToolsMenu, "SetDirectories", "Set Directories"), &QAction::triggered, this,
          [this] { SetDirectoriesClick(); });

  FileButton = button("FileButton", "&File", FileMenu);
  EditButton = button("EditButton", "&Edit", EditMenu);
  ToolsButton = button("ToolsButton", "&Tools", ToolsMenu);
  CollapseButton = button("CollapseButton", "<<", nullptr);
  connect(CollapseButton, &QToolButton::clicked, this, [this] {
    panelCollapsed_ = true;
    _Panel->setFixedWidth(3);
  });

  MapPopup = new QMenu(this);
  MapPopup->setObjectName(QStringLiteral("MapPopup"));
  connect(Item(MapPopup, "AddPoint", "Add New Cal. Point"), &QAction::triggered, this, [this] { AddPointClick(); });
  connect(Item(MapPopup, "SelectClosest", "Select Closest"), &QAction::triggered, this, [this] { SelectClosestClick(); });
  connect(Item(MapPopup, "DeleteSelected", "Delete Selected"), &QAction::triggered, this,
          [this] { DeleteSelectedClick(); });
  QMenu* stick = SubMenu(MapPopup, "StickMenu", "Stick");
  stick->menuAction()->setVisible(Options.ShowStick);
  connect(Item(stick, "StickShow", "Show"), &QAction::triggered, this, [this] { StickShowClick(); });
  connect(Item(stick, "StickCalibrate", "Calibrate"), &QAction::triggered, this, [this] { StickCalibrateClick(); });

  MarkerPopup = new QMenu(this);
  MarkerPopup->setObjectName(QStringLiteral("MarkerPopup"));
  connect(Item(MarkerPopup, "DeletePoint", "Delete Point"), &QAction::triggered, this, [this] { DeleteSelectedClick(); });
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
  MapCanvas->OnPaint = [this](QPainter& p, const QRect& dirty) { PaintMap(p, dirty); };
  MapCanvas->OnMousePress = [this](QMouseEvent* e) { MapMousePress(e); };
  MapCanvas->OnMouseMove = [this](QMouseEvent* e) { MapMouseMove(e); };
  MapCanvas->OnMouseRelease = [this](QMouseEvent* e) { MapMouseRelease(e); };
  MapCanvas->OnDoubleClick = [this](QMouseEvent* e) { MapDoubleClick(e); };
  MapCanvas->installEventFilter(this);
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
  auto colourRow = [](QWidget* page, QGridLayout* g, int row, std::initializer_list<std::pair<const char*, QPushButton**>> panels,
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
  colourRow(BorderPage, bg, 6, {{"ECLR", &ECLR}, {"NeatCN", &NeatCN}, {"NeatCH", &NeatCH}}, {"Line", "Point", "Selected"});
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

  // Wiring.
  connect(CPList, &QListWidget::currentRowChanged, this, [this](int row) {
    if (!updatingFields_) SelectRefPoint(row);
  });
  connect(BDList, &QListWidget::currentRowChanged, this, [this](int row) {
    if (!updatingFields_) SelectBorderPoint(row);
  });
  connect(CalLat, &QLineEdit::textEdited, this, [this] { RefFieldEdited(); });
  connect(CalLong, &QLineEdit::textEdited, this, [this] { RefFieldEdited(); });
  connect(BorderLat, &QLineEdit::textEdited, this, [this] { BorderFieldEdited(); });
  connect(BorderLong, &QLineEdit::textEdited, this, [this] { BorderFieldEdited(); });
  connect(PV, &QScrollBar::valueChanged, this, [this] { ScrollBarMoved(); });
  connect(PH, &QScrollBar::valueChanged, this, [this] { ScrollBarMoved(); });
  connect(RefPosLock, &QCheckBox::toggled, this, [this](bool on) { Cal.LockPositions = on; });
  connect(BCalActivate, &QPushButton::clicked, this, [this] { BCalActivateClick(); });
  connect(ShowGrid, &QComboBox::currentIndexChanged, this, [this] {
    RebuildGrid();
    MapCanvas->update();
  });
  connect(SetBorderButton, &QPushButton::clicked, this, [this] { SetBorderToImageClick(); });
  connect(BDLineShow, &QCheckBox::toggled, this, [this] { MapCanvas->update(); });
  connect(TabPage, &QTabWidget::currentChanged, this, [this](int index) { PageChanged(index); });
  connect(ZoomIn, &QPushButton::clicked, this, [this] { ZoomInClick(); });
  connect(ZoomOut, &QPushButton::clicked, this, [this] { ZoomOutClick(); });
  const std::pair<QPushButton*, TColor*> panels[] = {{BCLR, &Colours.Grid},         {RefCN, &Colours.RefNormal},
                                                     {RefCH, &Colours.RefSelected}, {ECLR, &Colours.BorderLine},
                                                     {NeatCN, &Colours.NeatNormal}, {NeatCH, &Colours.NeatSelected}};
  for (const auto& [panel, colour] : panels) {
    PaintPanel(panel, *colour);
    QPushButton* p = panel;
    TColor* c = colour;
    connect(p, &QPushButton::clicked, this, [this, p, c] { PickPanelColour(p, *c); });
  }
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

void T_Form::BuildShortcuts() {
  // The measuring square: Ctrl with Page Up / keypad 9 (larger), Page Down /
  // keypad 3 (smaller), the arrows / keypad 4 8 6 2 (move).
  struct TStickKey {
    QKeyCombination key;
    int dx, dy, grow;
  };
  const TStickKey keys[] = {
      {Qt::ControlModifier | Qt::Key_PageUp, 0, 0, 1},
      {Qt::ControlModifier | Qt::KeypadModifier | Qt::Key_9, 0, 0, 1},
      {Qt::ControlModifier | Qt::Key_PageDown, 0, 0, -1},
      {Qt::ControlModifier | Qt::KeypadModifier | Qt::Key_3, 0, 0, -1},
      {Qt::ControlModifier | Qt::Key_Left, -1, 0, 0},
      {Qt::ControlModifier | Qt::KeypadModifier | Qt::Key_4, -1, 0, 0},
      {Qt::ControlModifier | Qt::Key_Right, 1, 0, 0},
      {Qt::ControlModifier | Qt::KeypadModifier | Qt::Key_6, 1, 0, 0},
      {Qt::ControlModifier | Qt::Key_Up, 0, -1, 0},
      {Qt::ControlModifier | Qt::KeypadModifier | Qt::Key_8, 0, -1, 0},
      {Qt::ControlModifier | Qt::Key_Down, 0, 1, 0},
      {Qt::ControlModifier | Qt::KeypadModifier | Qt::Key_2, 0, 1, 0},
  };
  for (const TStickKey& k : keys) {
    auto* s = new QShortcut(QKeySequence(k.key), this);
    const int dx = k.dx, dy = k.dy, grow = k.grow;
    connect(s, &QShortcut::activated, this, [this, dx, dy, grow] { MoveStick(dx, dy, grow); });
  }
}

void T_Form::ApplyLanguage() { dialogs_->Translate({ChartAvail, CHInfo, DatFrm, ProblemCharts}); }

// ---------------------------------------------------------------------------
// Opening, closing, saving

bool T_Form::OpenFile(const std::string& file) {
  // The image a long command may be reading stays.
  if (CommandRunning()) return false;
  if (Cal.Changed() && !dialogs_->AskYes(kNotSaved)) return false;
  // A draw under way cancels the open.
  if (!Pager.Stop()) return false;
  Pager.SetDecoder(nullptr);
  Pager.ClearCache();
  Image1 = QImage();
  Zoom.Reset();
  RefMarkers.Clear();
  BorderMarkers.Clear();
  const TCalOpenResult r = Cal.Open(file);
  stickShown_ = false;
  BindChart();
  for (const std::string& m : r.Messages) dialogs_->Say(m, r.Ok ? mfIconWarning : mfIconError);
  RefreshAll();
  if (r.Ok && Cal.Width() > 0) CentreOn({Cal.Width() / 2.0, Cal.Height() / 2.0});
  if (r.AskChartInfo) ChartInformationClick();
  return r.Ok;
}

void T_Form::BindChart() {
  Image1 = QImage();
  Pager.Active = false;
  if (TPagerSource* source = Cal.Source()) {
    Pager.SetDecoder(source);
    Cal.FillColours(Pager.Colours);
    Pager.SetImageSize(Cal.Width(), Cal.Height());
    Pager.Active = true;
  } else {
    Pager.SetDecoder(nullptr);
    Image1 = WrapImage(Cal.Image());
  }
}

void T_Form::OpenImageClick() {
  TFileDialogOptions o;
  o.title = "Open Image";
  o.filter = kOpenFilter;
  o.initialDir = Cal.IsOpen() ? DirectoryOf(Cal.FileName()) : std::string();
  const std::optional<std::string> file = OpenFileDialog(o);
  if (file && !file->empty()) OpenFile(*file);
}

void T_Form::OpenFromListClick() {
  ChartAvail->Catalog = Catalog.get();
  if (dialogs_->Exec(*ChartAvail) != QDialog::Accepted || ChartAvail->SelectedName.empty()) return;
  const std::string name = ChartAvail->SelectedName;
  const int index = Catalog->FindByName(name);
  const std::string file =
      index < 0 ? std::string() : FindCatalogChartFile(Catalog->GetFileName(index), Catalog->SearchPath());
  if (file.empty()) {
    dialogs_->Say("File " + name + " not found", mfIconError);
    return;
  }
  OpenFile(file);
}

bool T_Form::CloseImageClick() {
  if (Cal.IsOpen() && Cal.Changed() && !dialogs_->AskYes(kNotSaved)) return false;
  CloseImage();
  return !Cal.IsOpen();
}

void T_Form::CloseImage() {
  if (CommandRunning()) return;
  Pager.Stop();
  Pager.SetDecoder(nullptr);
  Pager.ClearCache();
  Pager.Active = false;
  Image1 = QImage();
  RefMarkers.Clear();
  BorderMarkers.Clear();
  Cal.Close();
  stickShown_ = false;
  Zoom.Reset();
  RefreshAll();
}

bool T_Form::FieldsComplete() {
  const auto check = [this](TPosEdit* field, int index, const char* what) {
    if (index < 0 || field->Value()) return true;
    dialogs_->Say(std::string("Incomplete position: ") + what + " " + PointName(index), mfIconWarning);
    field->setFocus();
    return false;
  };
  return check(CalLat, Cal.SelectedRef, "Cal.") && check(CalLong, Cal.SelectedRef, "Cal.") &&
         check(BorderLat, Cal.SelectedBorder, "Border") && check(BorderLong, Cal.SelectedBorder, "Border");
}

void T_Form::SaveCalibrationClick() {
  if (!Cal.IsOpen() || Cal.ReadOnly() || !FieldsComplete()) return;
  TCalSaveResult r;
  {
    TLongRun run(*lock_, false);
    if (!run.Started()) return;
    if (Cal.Kind() == TCalChartKind::WCI) {
      Pager.Stop();
      panel_->Show("Saving....", 0, 0);
    }
    r = Cal.Save();
  }
  if (r.Reopened) BindChart();
  RefreshAll();
  if (!r.Message.empty()) dialogs_->Say(r.Message, r.Ok ? mfIconInformation : mfIconError);
}

void T_Form::SaveAsCalClick() {
  if (!Cal.IsOpen() || Cal.ReadOnly() || !FieldsComplete()) return;
  TFileDialogOptions o;
  o.title = "CAL File name";
  o.filter = "CAL|*.CAL|All|*.*";
  o.defaultExt = "CAL";
  o.fileName = Cal.ProposedCalFile();
  o.overwritePrompt = true;
  const std::optional<std::string> file = SaveFileDialog(o);
  if (!file || file->empty()) return;
  const TCalSaveResult r = Cal.SaveAsCal(*file);
  RefreshAll();
  if (!r.Message.empty()) dialogs_->Say(r.Message, r.Ok ? mfIconInformation : mfIconError);
}

void T_Form::ChartInformationClick() {
  if (!Cal.IsOpen()) return;
  CHInfo->ReadOnlyInfo = Cal.ReadOnly();
  CHInfo->Fill(Cal.Info(), Cal.FileName());
  if (dialogs_->Exec(*CHInfo) != QDialog::Accepted || Cal.ReadOnly()) return;
  RChartInfo edited = Cal.Info();
  CHInfo->ReadBack(edited);
  Cal.SetChartInformation(edited);
  UpdateTitle();
}

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
// Points

bool T_Form::OnCalPage() const { return TabPage->currentWidget() == CalPage; }

void T_Form::AddPointClick() {
  if (!Cal.IsOpen() || Cal.ReadOnly()) return;
  if (OnCalPage()) {
    const int i = Cal.AddRefPoint(lastRightClick_);
    if (i >= 0) SelectRefPoint(i, false);
    return;
  }
  if (!Cal.FitValid()) {
    dialogs_->Say("Border points need an activated calibration (Activate Changes)", mfIconWarning);
    return;
  }
  const int i = Cal.AddBorderPoint(lastRightClick_);
  if (i >= 0) SelectBorderPoint(i, false);
}

void T_Form::SelectClosestClick() {
  if (OnCalPage())
    SelectRefPoint(Cal.ClosestRef(lastRightClick_));
  else
    SelectBorderPoint(Cal.ClosestBorder(lastRightClick_));
}

void T_Form::DeleteSelectedClick() {
  if (OnCalPage()) {
    if (Cal.DeleteRefPoint(Cal.SelectedRef)) SelectRefPoint(-1, false);
  } else {
    if (Cal.DeleteBorderPoint(Cal.SelectedBorder)) SelectBorderPoint(-1, false);
  }
  RefreshAll();
}

void T_Form::SelectRefPoint(int index, bool centre) {
  if (index >= Cal.RefCount()) index = -1;
  Cal.SelectedRef = index;
  RefreshLists();
  RefreshRefFields();
  SyncMarkers();
  if (centre && index >= 0) CentreOn({Cal.Ref(index).X, Cal.Ref(index).Y});
  MapCanvas->update();
}

void T_Form::SelectBorderPoint(int index, bool centre) {
  if (index >= Cal.BorderCount()) index = -1;
  Cal.SelectedBorder = index;
  RefreshLists();
  RefreshBorderFields();
  SyncMarkers();
  TFPoint px;
  if (centre && index >= 0 && Cal.BorderPixel(index, px)) CentreOn(px);
  MapCanvas->update();
}

void T_Form::RefFieldEdited() {
  const int i = Cal.SelectedRef;
  if (i < 0 || updatingFields_) return;
  for (TPosEdit* f : {CalLat, CalLong}) {
    const std::optional<double> v = f->Value();
    // A half-typed position is never taken (it would read as 0).
    f->setStyleSheet(v ? QString() : QStringLiteral("background-color: #ffd0d0"));
    if (!v) continue;
    if (f == CalLat)
      Cal.SetRefLatitude(i, *v);
    else
      Cal.SetRefLongitude(i, *v);
  }
}

void T_Form::BorderFieldEdited() {
  const int i = Cal.SelectedBorder;
  if (i < 0 || updatingFields_) return;
  bool changed = false;
  for (TPosEdit* f : {BorderLat, BorderLong}) {
    const std::optional<double> v = f->Value();
    f->setStyleSheet(v ? QString() : QStringLiteral("background-color: #ffd0d0"));
    if (!v) continue;
    changed |= f == BorderLat ? Cal.SetBorderLatitude(i, *v) : Cal.SetBorderLongitude(i, *v);
  }
  if (changed) {
    SyncMarkers();
    MapCanvas->update();
  }
}

void T_Form::ScrollBarMoved() {
  const int i = Cal.SelectedRef;
  if (updatingFields_ || i < 0) return;
  Cal.MoveRefPoint(i, {double(PH->value()), double(PV->value())});
  RefreshRefFields();
  SyncMarkers();
  MapCanvas->update();
}

void T_Form::RefMarkerDropped(TNavShape& s) {
  const int i = s.Index;
  Cal.MoveRefPoint(i, ImagePixelAt(QPoint(s.PosX(), s.PosY())));
  SelectRefPoint(i, false);
}

void T_Form::BorderMarkerDropped(TNavShape& s) {
  const int i = s.Index;
  TFPoint pos;
  if (Cal.PixelToGeo(ImagePixelAt(QPoint(s.PosX(), s.PosY())), pos)) {
    Cal.SetBorderLatitude(i, pos.Y);
    Cal.SetBorderLongitude(i, pos.X);
  }
  SelectBorderPoint(i, false);
}

void T_Form::BCalActivateClick() {
  if (!Cal.IsOpen() || !FieldsComplete()) return;
  ShowActivation(Cal.Activate());
}

void T_Form::ShowActivation(const TCalActivation& a) {
  RefreshAll();
  if (!a.Ran) return;
  if (!a.FitOk)
    dialogs_->Say("Error in calibration parameters", mfIconError);
  else if (a.Mirrored)
    dialogs_->Say("Calibration appears to be mirrored. Make sure E/W and N/S is set correct", mfIconWarning);
}

void T_Form::SetBorderToImageClick() {
  if (!Cal.IsOpen() || Cal.ReadOnly()) return;
  if (!Cal.SetBorderToImage()) {
    dialogs_->Say("Border points need an activated calibration (Activate Changes)", mfIconWarning);
    return;
  }
  RefreshAll();
}

void T_Form::PageChanged(int index) {
  // Leaving the "Cal" page activates what was edited there.
  if (TabPage->widget(index) != CalPage && Cal.IsOpen() && !Cal.ReadOnly() && Cal.RefCount() >= 2 &&
      FieldsComplete())
    ShowActivation(Cal.Activate());
  if (QAction* add = MenuItem("AddPoint"))
    add->setText(OnCalPage() ? QStringLiteral("Add New Cal. Point") : QStringLiteral("Add New Border Point"));
  MapCanvas->update();
}

// ---------------------------------------------------------------------------
// The measuring square

void T_Form::StickShowClick() {
  stickShown_ = !stickShown_ && Cal.IsOpen();
  if (stickShown_) stickCentre_ = lastRightClick_;
  MapCanvas->update();
}

void T_Form::MoveStick(int dx, int dy, int grow) {
  if (!stickShown_) return;
  stickCentre_.X += dx;
  stickCentre_.Y += dy;
  stickSize_ = std::clamp(stickSize_ + grow, 2, 10000);
  MapCanvas->update();
}

void T_Form::StickCalibrateClick() {
  if (!stickShown_ || Cal.RefCount() != 1 || Cal.ReadOnly()) return;
  const std::optional<std::string> answer = dialogs_->Ask("Box Size", "Size in Meters", "100");
  if (!answer) return;
  const std::optional<double> metres = TryStrToFloatDot(*answer);
  if (!metres || !(*metres > 0)) {
    dialogs_->Say("Not a size in metres: " + *answer, mfIconWarning);
    return;
  }
  Cal.StickCalibrate(*metres, stickSize_, stickSize_);
  RefreshAll();
}

// ---------------------------------------------------------------------------
// Zoom and scrolling

TFPoint T_Form::ImagePixelAt(const QPoint& p) const {
  const double z = Zoom.Applied();
  return {std::round(p.x() / z), std::round(p.y() / z)};
}

QPoint T_Form::MapPointOf(const TFPoint& px) const {
  const double z = Zoom.Applied();
  return {static_cast<int>(std::lround(px.X * z)), static_cast<int>(std::lround(px.Y * z))};
}

void T_Form::CentreOn(const TFPoint& px) {
  const QPoint m = MapPointOf(px);
  Scroll->horizontalScrollBar()->setValue(m.x() - Scroll->viewport()->width() / 2);
  Scroll->verticalScrollBar()->setValue(m.y() - Scroll->viewport()->height() / 2);
}

void T_Form::ZoomInClick() {
  if (!Cal.IsOpen()) return;
  const TFPoint centre = ImagePixelAt(QPoint(Scroll->horizontalScrollBar()->value() + Scroll->viewport()->width() / 2,
                                             Scroll->verticalScrollBar()->value() + Scroll->viewport()->height() / 2));
  if (!Zoom.ZoomIn(Cal.Width(), Cal.Height())) return;
  ApplyZoom(true);
  CentreOn(centre);
}

void T_Form::ZoomOutClick() {
  if (!Cal.IsOpen()) return;
  const TFPoint centre = ImagePixelAt(QPoint(Scroll->horizontalScrollBar()->value() + Scroll->viewport()->width() / 2,
                                             Scroll->verticalScrollBar()->value() + Scroll->viewport()->height() / 2));
  if (!Zoom.ZoomOut(Cal.Width(), Cal.Height())) return;
  ApplyZoom(true);
  CentreOn(centre);
}

void T_Form::ApplyZoom(bool zoomed) {
  if (zoomed) Pager.ClearCache();
  LayoutMap();
  SyncMarkers();
  Zl->setText(QString::number(Zoom.Percent()));
  MapCanvas->update();
}

void T_Form::LayoutMap() {
  const double z = Zoom.Applied();
  const QSize size = Cal.IsOpen() ? QSize(static_cast<int>(std::ceil(Cal.Width() * z)),
                                          static_cast<int>(std::ceil(Cal.Height() * z)))
                                  : QSize(1, 1);
  MapP->resize(size);
  MapCanvas->setGeometry(0, 0, size.width(), size.height());
}

// ---------------------------------------------------------------------------
// Views of the calibration

void T_Form::RefreshAll() {
  if (Cal.SelectedRef >= Cal.RefCount()) Cal.SelectedRef = -1;
  if (Cal.SelectedBorder >= Cal.BorderCount()) Cal.SelectedBorder = -1;
  UpdateTitle();
  LayoutMap();
  Zl->setText(QString::number(Zoom.Percent()));
  Hgt->setText(Cal.IsOpen() ? QString::number(Cal.Height()) : QString());
  Wth->setText(Cal.IsOpen() ? QString::number(Cal.Width()) : QString());
  RefPosLock->setChecked(Cal.LockPositions);
  for (QWidget* w : {static_cast<QWidget*>(BCalActivate), static_cast<QWidget*>(SetBorderButton),
                     static_cast<QWidget*>(CalLat), static_cast<QWidget*>(CalLong),
                     static_cast<QWidget*>(BorderLat), static_cast<QWidget*>(BorderLong),
                     static_cast<QWidget*>(PV), static_cast<QWidget*>(PH)})
    w->setEnabled(Cal.IsOpen() && !Cal.ReadOnly());
  RefreshLists();
  RefreshRefFields();
  RefreshBorderFields();
  UpdateCorners();
  RebuildGrid();
  SyncMarkers();
  MapCanvas->update();
}

void T_Form::UpdateTitle() { setWindowTitle(Q(Cal.Title())); }

void T_Form::RefreshLists() {
  updatingFields_ = true;
  auto fill = [](QListWidget* list, int count, int selected) {
    if (list->count() != count) {
      list->clear();
      for (int i = 0; i < count; ++i) list->addItem(Q(PointName(i)));
    }
    list->setCurrentRow(selected);
  };
  fill(CPList, Cal.RefCount(), Cal.SelectedRef);
  fill(BDList, Cal.BorderCount(), Cal.SelectedBorder);
  updatingFields_ = false;
}

void T_Form::RefreshRefFields() {
  updatingFields_ = true;
  const int i = Cal.SelectedRef;
  PV->setRange(0, std::max(0, Cal.Height() - 1));
  PH->setRange(0, std::max(0, Cal.Width() - 1));
  for (TPosEdit* f : {CalLat, CalLong}) f->setStyleSheet(QString());
  if (i >= 0) {
    const TGridPoint& g = Cal.Ref(i);
    CalLat->SetValue(g.Lat);
    CalLong->SetValue(g.Lon);
    CalX->setText(QString::number(std::lround(g.X)));
    CalY->setText(QString::number(std::lround(g.Y)));
    PV->setValue(static_cast<int>(std::lround(g.Y)));
    PH->setValue(static_cast<int>(std::lround(g.X)));
  } else {
    CalLat->SetValue(0);
    CalLong->SetValue(0);
    CalX->clear();
    CalY->clear();
  }
  const bool editable = Cal.IsOpen() && !Cal.ReadOnly() && i >= 0;
  for (QWidget* w : {static_cast<QWidget*>(CalLat), static_cast<QWidget*>(CalLong), static_cast<QWidget*>(PV),
                     static_cast<QWidget*>(PH)})
    w->setEnabled(editable);
  updatingFields_ = false;
}

void T_Form::RefreshBorderFields() {
  updatingFields_ = true;
  const int i = Cal.SelectedBorder;
  for (TPosEdit* f : {BorderLat, BorderLong}) f->setStyleSheet(QString());
  if (i >= 0) {
    BorderLat->SetValue(Cal.Border(i).Y);
    BorderLong->SetValue(Cal.Border(i).X);
  } else {
    BorderLat->SetValue(0);
    BorderLong->SetValue(0);
  }
  const bool editable = Cal.IsOpen() && !Cal.ReadOnly() && i >= 0;
  BorderLat->setEnabled(editable);
  BorderLong->setEnabled(editable);
  updatingFields_ = false;
}

void T_Form::UpdateCorners() {
  TFPoint ul, lr;
  const bool ok = Cal.IsOpen() && Cal.PixelToGeo({0, 0}, ul) &&
                  Cal.PixelToGeo({double(Cal.Width() - 1), double(Cal.Height() - 1)}, lr);
  ULLat->setText(ok ? Q(LatToStr(ul.Y)) : QString());
  ULLong->setText(ok ? Q(LonToStr(ul.X)) : QString());
  LRLat->setText(ok ? Q(LatToStr(lr.Y)) : QString());
  LRLong->setText(ok ? Q(LonToStr(lr.X)) : QString());
}

void T_Form::UpdateReadouts(const TFPoint& px, bool overMap) {
  if (!overMap || !Cal.IsOpen()) return;
  Xl->setText(QString::number(std::lround(px.X)));
  Yl->setText(QString::number(std::lround(px.Y)));
  TFPoint pos;
  const bool ok = Cal.PixelToGeo(px, pos);
  H->setText(ok ? Q(LatToStr(pos.Y)) : QString());
  W->setText(ok ? Q(LonToStr(pos.X)) : QString());
  if (!OnCalPage() && Cal.BorderCount() >= 3 && ok)
    Inside->setText(Cal.InsideBorder(pos) ? QStringLiteral("INSIDE") : QStringLiteral("OUTSIDE"));
  else if (Cal.BorderCount() < 3)
    Inside->clear();
}

void T_Form::ApplyMarkerStyles() {
  RefMarkers.NormalStyle.Color = Colours.RefNormal;
  RefMarkers.SelectedStyle.Color = Colours.RefSelected;
  RefMarkers.NormalStyle.Shape = RefMarkers.SelectedStyle.Shape = NavPlusCircle;
  BorderMarkers.NormalStyle.Color = Colours.NeatNormal;
  BorderMarkers.SelectedStyle.Color = Colours.NeatSelected;
  BorderMarkers.NormalStyle.Shape = BorderMarkers.SelectedStyle.Shape = NavPlusRect;
  RefMarkers.SelectedStyle.Width = BorderMarkers.SelectedStyle.Width = 2;
  RefMarkers.StyleAll();
  BorderMarkers.StyleAll();
}

void T_Form::SyncMarkers() {
  // Not under a drag: the marker being dragged stays the one the mouse has.
  if (RefMarkers.HasMouse() || BorderMarkers.HasMouse()) return;
  RefMarkers.Clear();
  BorderMarkers.Clear();
  for (int i = 0; i < Cal.RefCount(); ++i) {
    const QPoint p = MapPointOf({Cal.Ref(i).X, Cal.Ref(i).Y});
    TNavShape* s = RefMarkers.Add({p.x(), p.y()}, false);
    s->Caption = PointName(i);
    s->Selected = i == Cal.SelectedRef;
    s->Locked = Cal.ReadOnly();
  }
  for (int i = 0; i < Cal.BorderCount(); ++i) {
    TFPoint px;
    if (!Cal.BorderPixel(i, px)) {
      BorderMarkers.Clear();
      break;
    }
    const QPoint p = MapPointOf(px);
    TNavShape* s = BorderMarkers.Add({p.x(), p.y()}, false);
    s->Caption = PointName(i);
    s->Selected = i == Cal.SelectedBorder;
    s->Locked = Cal.ReadOnly();
  }
  RefMarkers.StyleAll();
  BorderMarkers.StyleAll();
}

void T_Form::RebuildGrid() {
  grid_ = Cal.IsOpen() ? Cal.Grid(static_cast<TGridDensity>(std::clamp(ShowGrid->currentIndex(), 0, 3))) : TCalGrid();
}

// ---------------------------------------------------------------------------
// Painting

void T_Form::PaintMap(QPainter& painter, const QRect& dirty) {
  painter.fillRect(dirty, palette().color(QPalette::Dark));
  if (!Cal.IsOpen()) return;
  const double z = Zoom.Applied();
  const QRect chart(0, 0, MapCanvas->width(), MapCanvas->height());
  const QRect r = dirty.intersected(chart);
  if (!Image1.isNull()) {
    const QRectF source(r.x() / z, r.y() / z, r.width() / z, r.height() / z);
    painter.drawImage(QRectF(r), Image1, source);
  } else if (Pager.Active) {
    TQtCanvas canvas(painter, chart.width(), chart.height());
    Pager.SetCanvas(&canvas);
    Pager.Zoom = z;
    Pager.SetDestRect({r.x(), r.y()}, {r.width(), r.height()});
    Pager.Draw();
    Pager.SetCanvas(nullptr);
  }

  TQtCanvas canvas(painter, chart.width(), chart.height());
  auto polyline = [&](const std::vector<TFPoint>& pixels) {
    std::vector<TCanvasPoint> pts;
    pts.reserve(pixels.size());
    for (const TFPoint& p : pixels) {
      const QPoint m = MapPointOf(p);
      pts.push_back({m.x(), m.y()});
    }
    if (pts.size() >= 2) canvas.DrawPolyline(pts.data(), pts.size());
  };
  if (!grid_.Lines.empty()) {
    canvas.SetPen({ColorToRGB(Colours.Grid), 1, TPenStyle::Dash});
    for (const TGridLine& line : grid_.Lines) polyline(line.Pixels);
  }
  if (BDLineShow->isChecked()) {
    canvas.SetPen({ColorToRGB(Colours.BorderLine), 2, TPenStyle::Solid});
    for (const std::vector<TFPoint>& edge : Cal.BorderLine()) polyline(edge);
  }
  {
    TShapePainter shapes(canvas, {0, 0});
    BorderMarkers.PaintAll(shapes);
    RefMarkers.PaintAll(shapes);
  }
  if (stickShown_) {
    const QPoint c = MapPointOf(stickCentre_);
    const int half = static_cast<int>(std::lround(stickSize_ * z / 2));
    canvas.SetPen({ColorToRGB(Colours.RefSelected), 1, TPenStyle::Solid});
    canvas.SetBrush({0, TBrushStyle::None});
    canvas.DrawRect({c.x() - half, c.y() - half, c.x() + half + 1, c.y() + half + 1});
  }
}

// ---------------------------------------------------------------------------
// The mouse on the map

void T_Form::MapMousePress(QMouseEvent* e) {
  const TShapeMouse m = ShapeMouse(e);
  const TFPoint px = ImagePixelAt(e->position().toPoint());
  // The markers of the page shown take the mouse first.
  TNavShapeCollection* first = OnCalPage() ? &RefMarkers : &BorderMarkers;
  TNavShapeCollection* second = OnCalPage() ? &BorderMarkers : &RefMarkers;
  TNavShapeCollection* owner = first;
  TNavShape* shape = first->ShapeAtPixel(m.At);
  if (!shape) {
    owner = second;
    shape = second->ShapeAtPixel(m.At);
  }
  if (e->button() == Qt::RightButton) {
    lastRightClick_ = px;
    if (shape && Cal.IsOpen() && !Cal.ReadOnly()) {
      // The marker's own menu: "Delete Point" deletes that point.
      if (owner == &RefMarkers) {
        TabPage->setCurrentWidget(CalPage);
        SelectRefPoint(shape->Index, false);
      } else {
        TabPage->setCurrentWidget(BorderPage);
        SelectBorderPoint(shape->Index, false);
      }
      MarkerPopup->popup(e->globalPosition().toPoint());
    } else {
      ShowMapMenu(e->globalPosition().toPoint());
    }
    return;
  }
  if (e->button() != Qt::LeftButton) return;
  if (shape && !Cal.ReadOnly()) {
    owner->PressOn(*shape, m);
    return;
  }
  dragging_ = true;
  dragStart_ = e->globalPosition().toPoint();
  dragScroll_ = {Scroll->horizontalScrollBar()->value(), Scroll->verticalScrollBar()->value()};
  MapCanvas->setCursor(Qt::ClosedHandCursor);
}

void T_Form::MapMouseMove(QMouseEvent* e) {
  lastMouse_ = e->position().toPoint();
  mouseOverMap_ = true;
  const TShapeMouse m = ShapeMouse(e);
  if (RefMarkers.MouseMove(m) || BorderMarkers.MouseMove(m)) {
    MapCanvas->update();
  } else if (dragging_) {
    const QPoint d = e->globalPosition().toPoint() - dragStart_;
    Scroll->horizontalScrollBar()->setValue(dragScroll_.x() - d.x());
    Scroll->verticalScrollBar()->setValue(dragScroll_.y() - d.y());
  }
  UpdateReadouts(ImagePixelAt(lastMouse_), true);
}

void T_Form::MapMouseRelease(QMouseEvent* e) {
  const TShapeMouse m = ShapeMouse(e);
  if (RefMarkers.MouseUp(m) || BorderMarkers.MouseUp(m)) {
    MapCanvas->update();
    return;
  }
  if (dragging_) {
    dragging_ = false;
    MapCanvas->unsetCursor();
  }
}

void T_Form::MapDoubleClick(QMouseEvent* e) {
  TNavShape::CancelDrag();
  CentreOn(ImagePixelAt(e->position().toPoint()));
}

void T_Form::ShowMapMenu(const QPoint& global) {
  if (QAction* add = MenuItem("AddPoint"))
    add->setText(OnCalPage() ? QStringLiteral("Add New Cal. Point") : QStringLiteral("Add New Border Point"));
  const bool editable = Cal.IsOpen() && !Cal.ReadOnly();
  for (const char* n : {"AddPoint", "DeleteSelected", "StickCalibrate"})
    if (QAction* a = MenuItem(n)) a->setEnabled(editable);
  MapPopup->popup(global);
}

bool T_Form::eventFilter(QObject* watched, QEvent* e) {
  if (watched == MapCanvas && e->type() == QEvent::Leave) mouseOverMap_ = false;
  // The collapsed side panel comes back when the mouse reaches it.
  if (watched == _Panel && panelCollapsed_ && (e->type() == QEvent::Enter || e->type() == QEvent::MouseMove)) {
    panelCollapsed_ = false;
    _Panel->setFixedWidth(panelWidth_);
  }
  return QMainWindow::eventFilter(watched, e);
}

// ---------------------------------------------------------------------------
// Magnifier and colour panels

void T_Form::UpdateMagnifier() {
  if (isMinimized() || !mouseOverMap_ || !Cal.IsOpen() || !ZoomImg->isVisible()) return;
  const QSize out = ZoomImg->contentsRect().size();
  const QSize src(std::max(1, out.width() / 3), std::max(1, out.height() / 3));
  // The area around the pointer, kept on the map.
  int x = lastMouse_.x() - src.width() / 2, y = lastMouse_.y() - src.height() / 2;
  x = std::clamp(x, 0, std::max(0, MapCanvas->width() - src.width()));
  y = std::clamp(y, 0, std::max(0, MapCanvas->height() - src.height()));
  const QPixmap part = MapCanvas->grab(QRect(QPoint(x, y), src));
  QPixmap big = part.scaled(out, Qt::IgnoreAspectRatio, Qt::FastTransformation);
  QPainter p(&big);
  p.setPen(QPen(Qt::red, 1));
  const int cx = (lastMouse_.x() - x) * out.width() / src.width();
  const int cy = (lastMouse_.y() - y) * out.height() / src.height();
  p.drawLine(cx - out.width() / 4, cy, cx + out.width() / 4, cy);
  p.drawLine(cx, cy - out.height() / 4, cx, cy + out.height() / 4);
  p.end();
  ZoomImg->setPixmap(big);
}

void T_Form::PaintPanel(QPushButton* panel, TColor colour) {
  panel->setStyleSheet(QStringLiteral("background-color: %1; border: 1px solid black").arg(ToQColor(colour).name()));
}

void T_Form::PickPanelColour(QPushButton* panel, TColor& colour) {
  const QColor current = ToQColor(colour);
  const std::optional<QColor> chosen = dialogs_->ChooseColour(current);
  if (!chosen) return;
  colour = MakeColor(static_cast<uint8_t>(chosen->red()), static_cast<uint8_t>(chosen->green()),
                     static_cast<uint8_t>(chosen->blue()));
  PaintPanel(panel, colour);
  ApplyMarkerStyles();
  MapCanvas->update();
}
