// The main window's components: the serial ports, the timers, the chart
// area with the message panel over it, and the dashboard column with its
// boxes; the message panel's operations. The features of the window give
// the components their work when they are made (FormCreate).
//
// The column has no layout manager: the dashboard's feature places the
// boxes by the rules of plotter/core/Dashboard.h, each box at the height it
// was built with.
#include <QApplication>
#include <QButtonGroup>
#include <QComboBox>
#include <QCoreApplication>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QIntValidator>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>
#include <cstdio>

#include "foundation/GenUtil.h"
#include "foundation/qt/Language.h"
#include "instruments/qt/AfComPort.h"
#include "plotter/ChartCanvas.h"
#include "plotter/MainForm.h"
#include "plotter/PosEdit.h"
#include "plotter/QtTickTimer.h"
#include "plotter/settings/ProgramState.h"
#include "plotter/tick/UpdateTick.h"

namespace {

// The column's width at the font it was designed for; a larger window font
// widens it just enough for its widest texts.
constexpr int kDashboardWidth = 125;
int ColumnWidthFor(const QFont& font) {
  QFont bold = font;
  bold.setBold(true);
  QFont position = bold;
  position.setPointSizeF(font.pointSizeF() + 1);
  const auto advance = [](const QFont& f, const char* text) {
    return QFontMetrics(f).horizontalAdvance(QString::fromUtf8(text));
  };
  // Room around a text: box frame and margins, and a button's own padding.
  constexpr int kBoxPadding = 2 + 8;
  constexpr int kButtonPadding = 14;
  int boxNeeds = kDashboardWidth - 2 * kDashMargin;
  boxNeeds = std::max(boxNeeds, advance(position, "000°00.000'E") + kBoxPadding + 2);
  boxNeeds = std::max(boxNeeds, advance(font, "AUTOMATIC OFF") + kButtonPadding + kBoxPadding);
  boxNeeds = std::max(boxNeeds, 2 * (advance(font, "Measure") + kButtonPadding) + kBoxPadding);
  boxNeeds = std::max(boxNeeds, advance(font, "Hours") + advance(bold, "123456.78") + kBoxPadding + 4);
  boxNeeds = std::max(boxNeeds, advance(font, "000°00.000 E") + kBoxPadding + 10);
  return boxNeeds + 2 * kDashMargin;
}
constexpr int kCaptionWidth = 30;

// A box of the dashboard: a raised panel.
QFrame* MakeBox(QWidget* parent, const char* name) {
  auto* box = new QFrame(parent);
  box->setObjectName(QString::fromLatin1(name));
  box->setFrameShape(QFrame::Panel);
  box->setFrameShadow(QFrame::Raised);
  box->setAutoFillBackground(true);
  box->hide();
  return box;
}

// Fixes the box at its natural height for the column's box width.
void FixBoxSize(QFrame* box, int boxWidth, int minHeight = 0) {
  box->setFixedWidth(boxWidth);
  if (box->layout()) box->layout()->activate();
  const int h = std::max(minHeight, box->layout() ? box->layout()->sizeHint().height() : box->height());
  box->setFixedHeight(h);
}

QLabel* MakeLabel(QWidget* parent, const char* name, const char* text, bool data = false) {
  auto* l = new QLabel(QString::fromUtf8(text), parent);
  l->setObjectName(QString::fromLatin1(name));
  // Labels that show values keep their text when a language is applied.
  if (data) l->setProperty(kTagProperty, 1);
  return l;
}

// A label that shows a value: right-aligned, bold, `grow` points larger
// than the window font.
QLabel* MakeValue(QWidget* parent, const char* name, const char* text, int grow = 0) {
  QLabel* l = MakeLabel(parent, name, text, true);
  QFont f = l->font();
  f.setBold(true);
  if (grow) f.setPointSizeF(f.pointSizeF() + grow);
  l->setFont(f);
  l->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  return l;
}

QLineEdit* MakeField(QWidget* parent, const char* name, bool readOnly) {
  auto* e = new QLineEdit(parent);
  e->setObjectName(QString::fromLatin1(name));
  e->setReadOnly(readOnly);
  e->setProperty(kTagProperty, 1);
  return e;
}

QPushButton* MakeButton(QWidget* parent, const char* name, const char* text) {
  auto* b = new QPushButton(QString::fromUtf8(text), parent);
  b->setObjectName(QString::fromLatin1(name));
  b->setFocusPolicy(Qt::NoFocus);
  return b;
}

QGridLayout* BoxGrid(QFrame* box) {
  auto* g = new QGridLayout(box);
  g->setContentsMargins(4, 2, 4, 3);
  g->setHorizontalSpacing(2);
  g->setVerticalSpacing(0);
  g->setColumnMinimumWidth(0, kCaptionWidth);
  g->setColumnStretch(1, 1);
  return g;
}

// One row of a grid: a caption and a value.
void AddRow(QGridLayout* g, int row, QLabel* caption, QWidget* value) {
  g->addWidget(caption, row, 0);
  g->addWidget(value, row, 1);
}

}  // namespace

void T_Form::BuildWindow() {
  // The components that exist before FormCreate: ports, timer, panels,
  // the message table and the menus.
  GPSCom = new TAfComPort(this);
  GPSCom->setObjectName(QStringLiteral("GPSCom"));
  NMEAPort1 = new TAfComPort(this);
  NMEAPort1->setObjectName(QStringLiteral("NMEAPort1"));
  NMEAPort2 = new TAfComPort(this);
  NMEAPort2->setObjectName(QStringLiteral("NMEAPort2"));
  SetUpPorts();

  auto timer = std::make_unique<TQtTickTimer>(this, "ComTimer", TickIntervalMs());
  timer->SetOnTick([this] { ComTimerTimer(); });
  comTimer_ = std::move(timer);
  // The program state (log, trip, engine hours, fuel, last position) is
  // written every 60 ticks, a minute, while it changes: a crash or a power
  // cut loses at most that.
  auto stateTimer = std::make_unique<TQtTickTimer>(this, "StateTimer", 60 * TickIntervalMs());
  stateTimer->SetOnTick([this] {
    if (programState_) programState_->SaveStateIfChanged();
  });
  stateTimer_ = std::move(stateTimer);

  auto* central = new QWidget(this);
  central->setObjectName(QStringLiteral("Body"));
  setCentralWidget(central);

  TX_MESSAGES = new QPlainTextEdit(central);
  TX_MESSAGES->setObjectName(QStringLiteral("TX_MESSAGES"));
  TX_MESSAGES->setPlainText(QString::fromStdString(DefaultMessageText()));
  TX_MESSAGES->setReadOnly(true);
  TX_MESSAGES->hide();

  BuildMessagePanel();
  BuildDashboard();
  InstallChartCanvas();
  BuildMenus();
}

void T_Form::SetUpPorts() {
  // Port A carries all output; B and C only receive.
  GPSCom->SetOutBufSize(8192);
  NMEAPort1->SetOutBufSize(32);
  NMEAPort2->SetOutBufSize(32);
  for (TAfComPort* port : {GPSCom, NMEAPort1, NMEAPort2}) {
    connect(port, &TAfComPort::DataRecived, this, &T_Form::GPSComDataRecived);
    connect(port, &TAfComPort::PortLost, this, &T_Form::GPSComLinkChanged);
    connect(port, &TAfComPort::PortRestored, this, &T_Form::GPSComLinkChanged);
    connect(port, &TAfComPort::PortOpen, this, &T_Form::GPSComLinkChanged);
    connect(port, &TAfComPort::PortClose, this, &T_Form::GPSComLinkChanged);
  }
}

TChartCanvas* T_Form::ChartCanvas() const { return qobject_cast<TChartCanvas*>(MapCanvas); }

void T_Form::InstallChartCanvas() {
  // The chart area's canvas, the chart view's viewport once it is made.
  QWidget* old = MapCanvas;
  auto* canvas = new TChartCanvas(Scroll);
  canvas->setObjectName(QStringLiteral("MapCanvas"));
  canvas->setBackgroundRole(QPalette::Dark);
  if (old) {
    canvas->setPalette(old->palette());
    if (QLayout* layout = Scroll->layout()) delete layout->replaceWidget(old, canvas);
    delete old;
  }
  MapCanvas = canvas;
}

void T_Form::BuildMessagePanel() {
  MsgP = new QFrame(centralWidget());
  MsgP->setObjectName(QStringLiteral("MsgP"));
  MsgP->setFrameShape(QFrame::Panel);
  MsgP->setFrameShadow(QFrame::Raised);
  MsgP->setAutoFillBackground(true);
  auto* row = new QHBoxLayout(MsgP);
  row->setContentsMargins(6, 3, 6, 3);
  MsgT = MakeLabel(MsgP, "MsgT", "", true);
  MsgB = new QProgressBar(MsgP);
  MsgB->setObjectName(QStringLiteral("MsgB"));
  MsgB->setFixedWidth(200);
  row->addWidget(MsgT, 1);
  row->addWidget(MsgB);
  MsgP->hide();
}

void T_Form::BuildDashboard() {
  QWidget* body = centralWidget();

  // The chart area.
  auto* chartColumn = new QWidget(body);
  chartColumn->setObjectName(QStringLiteral("ChartColumn"));
  auto* chartLayout = new QVBoxLayout(chartColumn);
  chartLayout->setContentsMargins(0, 0, 0, 0);
  chartLayout->setSpacing(0);
  auto* scroll = new QFrame(chartColumn);
  scroll->setObjectName(QStringLiteral("Scroll"));
  scroll->setFrameShape(QFrame::StyledPanel);
  scroll->setFrameShadow(QFrame::Sunken);
  Scroll = scroll;
  auto* scrollLayout = new QVBoxLayout(scroll);
  scrollLayout->setContentsMargins(0, 0, 0, 0);
  MapCanvas = new QWidget(scroll);
  MapCanvas->setObjectName(QStringLiteral("MapCanvas"));
  MapCanvas->setAutoFillBackground(true);
  MapCanvas->setBackgroundRole(QPalette::Dark);
  MapCanvas->setContextMenuPolicy(Qt::CustomContextMenu);
  scrollLayout->addWidget(MapCanvas);
  // The message panel floats over the chart, centred (PlaceMessagePanel).
  MsgP->setParent(chartColumn);
  MsgP->hide();
  chartLayout->addWidget(scroll, 1);

  // The dashboard column; its boxes are placed by LayoutDashboard.
  DB = new QFrame(body);
  DB->setObjectName(QStringLiteral("_DB"));
  DashboardDesignWidth = ColumnWidthFor(font());
  const int boxWidth = DashboardDesignWidth - 2 * kDashMargin;
  DB->setFixedWidth(DashboardDesignWidth);
  DB->setFrameShape(QFrame::NoFrame);

  // Menu buttons.
  DB_MAINMENU = MakeBox(DB, "DB_MAINMENU");
  {
    auto* menuRow = new QHBoxLayout(DB_MAINMENU);
    menuRow->setContentsMargins(2, 2, 2, 2);
    menuRow->setSpacing(1);
    auto* toolbar = new QFrame(DB_MAINMENU);
    toolbar->setObjectName(QStringLiteral("DB_MAINMENU_X"));
    auto* toolRow = new QHBoxLayout(toolbar);
    toolRow->setContentsMargins(0, 0, 0, 0);
    toolRow->setSpacing(1);
    auto makeMenuButton = [&](const char* name, const char* text) {
      auto* b = new QToolButton(toolbar);
      b->setObjectName(QString::fromLatin1(name));
      b->setText(QString::fromUtf8(text));
      b->setAutoRaise(true);
      toolRow->addWidget(b);
      return b;
    };
    DBC_MENU_1 = makeMenuButton("DBC_MENU_1", "&File");
    DBC_MENU_2 = makeMenuButton("DBC_MENU_2", "&Tools");
    toolRow->addStretch(1);
    DBC_MENU_3 = makeMenuButton("DBC_MENU_3", "<<");
    DBC_MENU_3->setProperty(kTagProperty, 1);  // its arrow points to the side of the column
    DBC_MENU_1->setPopupMode(QToolButton::InstantPopup);
    DBC_MENU_2->setPopupMode(QToolButton::InstantPopup);
    // The drop-down arrow would sit on the captions in so narrow a column.
    toolbar->setStyleSheet(QStringLiteral("QToolButton::menu-indicator { image: none; width: 0px; }"));
    menuRow->addWidget(toolbar);
  }
  FixBoxSize(DB_MAINMENU, boxWidth);

  // Boat position and motion.
  DB_GPS = MakeBox(DB, "DB_GPS");
  {
    auto* g = BoxGrid(DB_GPS);
    DBGPSB = MakeLabel(DB_GPS, "DBGPSB", "DR", true);
    DBBLat = MakeValue(DB_GPS, "DBBLat", "00°00.000 N", 1);
    DBBLong = MakeValue(DB_GPS, "DBBLong", "000°00.000 E", 1);
    DBBhead = MakeValue(DB_GPS, "DBBhead", "---");
    DBBspeed = MakeValue(DB_GPS, "DBBspeed", "---");
    DBBMErr = MakeValue(DB_GPS, "DBBMErr", "---");
    DBBdt = MakeLabel(DB_GPS, "DBBdt", "", true);
    DBBdt->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    // On the talker's line, at its right end: the network link's state,
    // when there is one.
    DBNetState = MakeLabel(DB_GPS, "DBNetState", "", true);
    DBNetState->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    g->addWidget(DBGPSB, 0, 0, 1, 2);
    g->addWidget(DBNetState, 0, 0, 1, 2);
    g->addWidget(DBBLat, 1, 0, 1, 2);
    g->addWidget(DBBLong, 2, 0, 1, 2);
    AddRow(g, 3, MakeLabel(DB_GPS, "LabHead", "Hdg"), DBBhead);
    AddRow(g, 4, MakeLabel(DB_GPS, "LabSpeed", "kt"), DBBspeed);
    AddRow(g, 5, MakeLabel(DB_GPS, "LabMErr", "Var"), DBBMErr);
    g->addWidget(DBBdt, 6, 0, 1, 2);
  }
  FixBoxSize(DB_GPS, boxWidth);

  // Dead reckoning: the same place and size as the GPS box.
  DB_DR = MakeBox(DB, "DB_DR");
  {
    auto* g = BoxGrid(DB_DR);
    g->setVerticalSpacing(1);
    DB_DRLat = new TPosEdit(false, DB_DR);
    DB_DRLat->setObjectName(QStringLiteral("DB_DRLat"));
    DB_DRLat->setReadOnly(true);
    DB_DRLong = new TPosEdit(true, DB_DR);
    DB_DRLong->setObjectName(QStringLiteral("DB_DRLong"));
    DB_DRLong->setReadOnly(true);
    DB_DRCrs = MakeField(DB_DR, "DB_DRCrs", false);
    DB_DRCrs->setValidator(new QIntValidator(-1, 360, DB_DRCrs));
    DB_DRSpd = MakeField(DB_DR, "DB_DRSpd", false);
    DB_DRSpd->setValidator(new QIntValidator(0, 999, DB_DRSpd));
    // Typing past either end of the compass wraps round.
    connect(DB_DRCrs, &QLineEdit::textEdited, this, [this](const QString& text) {
      bool ok = false;
      const int v = text.toInt(&ok);
      if (ok && WrapCourse(v) != v) DB_DRCrs->setText(QString::number(WrapCourse(v)));
    });
    // The positions take the whole width; their letters say which is which.
    g->addWidget(DB_DRLat, 0, 0, 1, 2);
    g->addWidget(DB_DRLong, 1, 0, 1, 2);
    AddRow(g, 2, MakeLabel(DB_DR, "LabDRCrs", "Crs"), DB_DRCrs);
    AddRow(g, 3, MakeLabel(DB_DR, "LabDRSpd", "Spd"), DB_DRSpd);
    // The network link's state again, at the foot: this box takes the GPS
    // box's place while the GPS is lost, when the link's state matters
    // most.
    auto* netState = MakeLabel(DB_DR, "DBNetStateDR", "", true);
    netState->setAlignment(Qt::AlignRight | Qt::AlignBottom);
    g->addWidget(netState, 4, 0, 1, 2);
    g->setRowStretch(4, 1);
  }
  FixBoxSize(DB_DR, boxWidth);
  {
    const int h = std::max(DB_GPS->height(), DB_DR->height());
    DB_GPS->setFixedHeight(h);
    DB_DR->setFixedHeight(h);
  }

  // Log, trip, engine hours and fuel, one row each; the rows are placed by
  // hand so the fuel row can be taken out and the box shortened by it.
  DB_INSTR = MakeBox(DB, "DB_INSTR");
  {
    const int pitch = fontMetrics().height() + 3;
    int captionWidth = 0;
    for (const char* caption : {"Log", "Trip", "Hours", "Fuel"})
      captionWidth = std::max(captionWidth, fontMetrics().horizontalAdvance(QString::fromLatin1(caption)) + 2);
    struct Row {
      const char* labName;
      const char* caption;
      const char* txtName;
      const char* value;
      QLabel** lab;
      QLabel** txt;
    };
    QLabel* labTot = nullptr;
    QLabel* labTrp = nullptr;
    const Row rows[] = {
        {"LabTot", "Log", "TxtTot", "0.00", &labTot, &TxtTot},
        {"LabTrp", "Trip", "TxtTrp", "0.00", &labTrp, &TxtTrp},
        {"LabHours", "Hours", "TxtTime", "0:00", &LabHours, &TxtTime},
        {"LabFuel", "Fuel", "TxtFuel", "0.0", &LabFuel, &TxtFuel},
    };
    int y = 3;
    for (const Row& row : rows) {
      *row.lab = MakeLabel(DB_INSTR, row.labName, row.caption);
      (*row.lab)->setGeometry(4, y, captionWidth, pitch - 2);
      *row.txt = MakeValue(DB_INSTR, row.txtName, row.value);
      (*row.txt)->setGeometry(4 + captionWidth, y, boxWidth - 8 - captionWidth, pitch - 2);
      y += pitch;
    }
    DB_INSTR->setFixedSize(boxWidth, y + 3);
    DB_INSTR->setContextMenuPolicy(Qt::CustomContextMenu);
  }

  // Status buttons.
  DB_STATE = MakeBox(DB, "DB_STATE");
  {
    auto* v = new QVBoxLayout(DB_STATE);
    v->setContentsMargins(3, 3, 3, 3);
    v->setSpacing(2);
    auto makeState = [&](const char* name) {
      auto* b = MakeButton(DB_STATE, name, "");
      b->setProperty(kTagProperty, 1);  // the caption shows the state
      v->addWidget(b);
      return b;
    };
    DBI_AUTO = makeState("DBI_AUTO");
    DBI_TRACE = makeState("DBI_TRACE");
    DBI_PILOT = makeState("DBI_PILOT");
    connect(DBI_AUTO, &QPushButton::clicked, this, &T_Form::DBI_AUTOClick);
    connect(DBI_TRACE, &QPushButton::clicked, this, &T_Form::DBI_TRACEClick);
    connect(DBI_PILOT, &QPushButton::clicked, this, &T_Form::DBI_PILOTClick);
  }
  FixBoxSize(DB_STATE, boxWidth);

  // A position with its bearing and distance (cursor, marker, measuring).
  DB_MARKER = MakeBox(DB, "DB_MARKER");
  {
    auto* g = BoxGrid(DB_MARKER);
    g->setColumnMinimumWidth(0, 0);
    DB_LAT = MakeValue(DB_MARKER, "DB_LAT", "00°00.000 N");
    DB_LONG = MakeValue(DB_MARKER, "DB_LONG", "000°00.000 E");
    DB_head = MakeValue(DB_MARKER, "DB_head", "0°");
    DB_head->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    DB_Dist = MakeValue(DB_MARKER, "DB_Dist", "0.000nm");
    g->addWidget(DB_LAT, 0, 0, 1, 2);
    g->addWidget(DB_LONG, 1, 0, 1, 2);
    g->addWidget(DB_head, 2, 0);
    g->addWidget(DB_Dist, 2, 1);
  }
  FixBoxSize(DB_MARKER, boxWidth);

  // Depth, wind and compass.
  DB_DEPTH = MakeBox(DB, "DB_DEPTH");
  {
    auto* g = BoxGrid(DB_DEPTH);
    DPTLab = MakeValue(DB_DEPTH, "DPTLab", "---", 5);
    AddRow(g, 0, MakeLabel(DB_DEPTH, "LabDepth", "Depth"), DPTLab);
  }
  FixBoxSize(DB_DEPTH, boxWidth);

  DB_WIND = MakeBox(DB, "DB_WIND");
  {
    auto* g = BoxGrid(DB_WIND);
    WindSLab = MakeValue(DB_WIND, "WindSLab", "---", 5);
    AddRow(g, 0, MakeLabel(DB_WIND, "LabWind", "Wind"), WindSLab);
    // The angles two to a line: true and apparent, then the direction.
    auto* angles = new QGridLayout();
    angles->setContentsMargins(0, 0, 0, 0);
    angles->setHorizontalSpacing(4);
    angles->setVerticalSpacing(0);
    WindTLab = MakeValue(DB_WIND, "WindTLab", "---°");
    WindRLab = MakeValue(DB_WIND, "WindRLab", "---°R");
    WindGLab = MakeValue(DB_WIND, "WindGLab", "---°G");
    angles->addWidget(WindTLab, 0, 0);
    angles->addWidget(WindRLab, 0, 1);
    angles->addWidget(WindGLab, 1, 1);
    angles->setColumnStretch(0, 1);
    angles->setColumnStretch(1, 1);
    g->addLayout(angles, 1, 0, 1, 2);
    VPWSpeed = MakeValue(DB_WIND, "VPWSpeed", "0.0");
    AddRow(g, 2, MakeLabel(DB_WIND, "LabVMG", "VMG"), VPWSpeed);
  }
  FixBoxSize(DB_WIND, boxWidth);

  DB_COMPASS = MakeBox(DB, "DB_COMPASS");
  {
    auto* g = BoxGrid(DB_COMPASS);
    CompassLab = MakeValue(DB_COMPASS, "CompassLab", "---", 3);
    AddRow(g, 0, MakeLabel(DB_COMPASS, "LabCompass", "Mag"), CompassLab);
  }
  FixBoxSize(DB_COMPASS, boxWidth);

  // The route's boxes: guidance while it is active, the editor, its
  // statistics and quick buttons while it is not.
  QFrame* routeGo = MakeBox(DB, "DB_ROUTE_GO");
  {
    auto* g = BoxGrid(routeGo);
    g->setColumnMinimumWidth(0, 40);
    struct Row {
      const char* name;
      const char* caption;
    } rows[] = {{"DBRteWPID", "WP"},    {"DBRteBWR", "BWR"}, {"DBRteBOD", "BOD"},  {"DBRteRNG", "RNG"},
                {"DBRteTRNG", "TRNG"},  {"DBRteXTE", "XTE"}, {"DBRteTTG", "TTG"},  {"DBRteTTTG", "TTTG"},
                {"DBRteNEXT", "NEXT"},  {"DBRteTIME", "TIME"}, {"DBRteWCV", "WCV"}};
    int r = 0;
    for (const Row& row : rows) {
      QLabel* caption = MakeLabel(routeGo, row.name == std::string("DBRteXTE") ? "XTELabel" : "", row.caption);
      AddRow(g, r++, caption, MakeValue(routeGo, row.name, ""));
    }
    routeGo->setContextMenuPolicy(Qt::CustomContextMenu);
  }
  FixBoxSize(routeGo, boxWidth);

  QFrame* routeGuide = MakeBox(DB, "DB_ROUTEGUIDE");
  {
    auto* g = BoxGrid(routeGuide);
    QLabel* hint = MakeValue(routeGuide, "DBRteHINT", "", 3);
    hint->setAlignment(Qt::AlignCenter);
    g->addWidget(hint, 0, 0, 1, 2);
  }
  FixBoxSize(routeGuide, boxWidth, fontMetrics().height() * 2);

  QFrame* routeEdit = MakeBox(DB, "DB_RTEEDIT");
  {
    auto* g = BoxGrid(routeEdit);
    g->setVerticalSpacing(1);
    auto* list = new QComboBox(routeEdit);
    list->setObjectName(QStringLiteral("DBC_RTList"));
    auto* lat = new TPosEdit(false, routeEdit);
    lat->setObjectName(QStringLiteral("DBC_RTLat"));
    auto* lon = new TPosEdit(true, routeEdit);
    lon->setObjectName(QStringLiteral("DBC_RTLong"));
    AddRow(g, 0, MakeLabel(routeEdit, "LabRTList", "WP"), list);
    g->addWidget(lat, 1, 0, 1, 2);
    g->addWidget(lon, 2, 0, 1, 2);
    AddRow(g, 3, MakeLabel(routeEdit, "LabRTText", "Name"), MakeField(routeEdit, "DBC_RTText", false));
    AddRow(g, 4, MakeLabel(routeEdit, "LabRTSpeed", "kt"), MakeField(routeEdit, "DBC_RTSpeed", false));
    AddRow(g, 5, MakeLabel(routeEdit, "LabRTXte", "XTE"), MakeField(routeEdit, "DBC_RTXte", false));
    auto* buttons = new QGridLayout();
    buttons->setSpacing(1);
    buttons->addWidget(MakeButton(routeEdit, "RteEdUpdate", "Update"), 0, 0);
    buttons->addWidget(MakeButton(routeEdit, "RteDelSelBtn", "Delete"), 0, 1);
    buttons->addWidget(MakeButton(routeEdit, "RteAddWPBtn", "Add Position"), 1, 0, 1, 2);
    buttons->addWidget(MakeButton(routeEdit, "RteSaveBtn", "Save Route"), 2, 0, 1, 2);
    buttons->addWidget(MakeButton(routeEdit, "RteEditClose", "Close Editor"), 3, 0, 1, 2);
    g->addLayout(buttons, 6, 0, 1, 2);
  }
  FixBoxSize(routeEdit, boxWidth);

  QFrame* routeStat = MakeBox(DB, "DB_RTSTAT");
  {
    auto* g = BoxGrid(routeStat);
    g->setColumnMinimumWidth(0, 36);
    AddRow(g, 0, MakeLabel(routeStat, "LabRStart", "From"), MakeValue(routeStat, "DB_R_Start", ""));
    AddRow(g, 1, MakeLabel(routeStat, "LabREnd", "To"), MakeValue(routeStat, "DB_R_End", ""));
    AddRow(g, 2, MakeLabel(routeStat, "LabRLen", "nm"), MakeValue(routeStat, "DB_R_Len", ""));
  }
  FixBoxSize(routeStat, boxWidth);

  QFrame* quick = MakeBox(DB, "DB_QBUTT");
  {
    auto* v = new QVBoxLayout(quick);
    v->setContentsMargins(3, 3, 3, 3);
    v->setSpacing(2);
    v->addWidget(MakeButton(quick, "RteOpenBtn", "Open Route"));
    v->addWidget(MakeButton(quick, "RteReverseBtn", "Reverse Route"));
    v->addWidget(MakeButton(quick, "RteActBtn", "Activate Route"));
  }
  FixBoxSize(quick, boxWidth);

  QFrame* positions = MakeBox(DB, "DB_WAYPOINT");
  {
    auto* v = new QVBoxLayout(positions);
    v->setContentsMargins(3, 3, 3, 3);
    v->setSpacing(2);
    auto* list = new QComboBox(positions);
    list->setObjectName(QStringLiteral("DBC_RTAddWP"));
    v->addWidget(list);
    v->addWidget(MakeButton(positions, "RteGotoBtn", "Find Position"));
  }
  FixBoxSize(positions, boxWidth);

  QFrame* ais = MakeBox(DB, "DB_AISP");
  {
    auto* v = new QVBoxLayout(ais);
    v->setContentsMargins(3, 3, 3, 3);
    v->setSpacing(2);
    auto* list = new QListWidget(ais);
    list->setObjectName(QStringLiteral("BC_AIS"));
    list->setFixedHeight(fontMetrics().height() * 5);
    v->addWidget(list);
    auto* row = new QHBoxLayout();
    row->setSpacing(2);
    row->addWidget(MakeButton(ais, "AIS_Find", "Find"));
    row->addWidget(MakeButton(ais, "AIS_Info", "Info"));
    v->addLayout(row);
  }
  FixBoxSize(ais, boxWidth);

  // Night shading.
  DB_Shade = MakeBox(DB, "DB_Shade");
  {
    auto* h = new QHBoxLayout(DB_Shade);
    h->setContentsMargins(3, 3, 3, 3);
    h->setSpacing(2);
    auto* group = new QButtonGroup(DB_Shade);
    group->setExclusive(true);
    for (int i = 0; i < 4; ++i) {
      auto* b = MakeButton(DB_Shade, "", "");
      b->setText(QString::number(i + 1));
      b->setObjectName(QStringLiteral("SBC%1").arg(i));
      b->setCheckable(true);
      b->setMinimumWidth(20);
      group->addButton(b, i);
      h->addWidget(b);
      SBC[i] = b;
      connect(b, &QPushButton::clicked, this, [this, i] { SetShadeLevel(i); });
    }
  }
  FixBoxSize(DB_Shade, boxWidth);

  // What a double-click on the chart does.
  DB_DBLCLK = MakeBox(DB, "DB_DBLCLK");
  {
    auto* h = new QHBoxLayout(DB_DBLCLK);
    h->setContentsMargins(2, 2, 2, 2);
    h->setSpacing(1);
    auto* group = new QButtonGroup(DB_DBLCLK);
    group->setExclusive(true);
    auto make = [&](const char* name, const char* text) {
      QPushButton* b = MakeButton(DB_DBLCLK, name, text);
      b->setCheckable(true);
      b->setMinimumWidth(20);
      group->addButton(b);
      h->addWidget(b, 1);
      return b;
    };
    MeasureLab = make("MeasureLab", "Measure");
    CenterLab = make("CenterLab", "Center");
    CenterLab->setChecked(true);
  }
  FixBoxSize(DB_DBLCLK, boxWidth);

  QFrame* const boxes[kDashBoxCount] = {
      DB_MAINMENU, DB_GPS,     DB_DR,     DB_INSTR,  DB_STATE, DB_MARKER, DB_DEPTH, DB_WIND,  DB_COMPASS,
      routeGo,     routeGuide, routeEdit, routeStat, quick,    positions, ais,      DB_Shade, DB_DBLCLK};
  for (int i = 0; i < kDashBoxCount; ++i) DashBox[i] = boxes[i];

  DBShadow = new QFrame(DB);
  DBShadow->setObjectName(QStringLiteral("DBShadow"));
  DBShadow->setAutoFillBackground(true);

  auto* bodyLayout = new QHBoxLayout(body);
  bodyLayout->setContentsMargins(0, 0, 0, 0);
  bodyLayout->setSpacing(0);
  bodyLayout->addWidget(chartColumn, 1);
  bodyLayout->addWidget(DB);
}

void T_Form::PlaceMessagePanel() {
  if (!MsgP || !MsgP->parentWidget()) return;
  const QWidget* area = MsgP->parentWidget();
  const QSize hint = MsgP->sizeHint();
  const int w = std::min(std::max(hint.width(), 300), std::max(area->width(), 1));
  const int h = hint.height();
  // Across the middle of the chart, a little above it.
  MsgP->setGeometry((area->width() - w) / 2, std::max(0, area->height() / 2 - h), w, h);
  MsgP->raise();
}

void T_Form::ShowNotice(const std::string& text) {
  std::fprintf(stderr, "brismare: %s\n", text.c_str());
  ShowMessageLine(text);
}

void T_Form::ShowMessageLine(const std::string& text) {
  if (!MsgP || !MsgT) return;
  MsgT->setText(QString::fromStdString(text));
  if (MsgB) MsgB->hide();
  PlaceMessagePanel();
  MsgP->show();
  MsgP->raise();
}

void T_Form::HideMessage(const std::string& text) {
  if (MsgP && MsgT && MsgT->text() == QString::fromStdString(text)) MsgP->hide();
}

bool T_Form::ShowProgress(const std::string& text, int position, int max) {
  if (text.empty() && max == 0) {
    MsgP->hide();
    return false;
  }
  MsgT->setText(QString::fromStdString(text));
  if (max >= 1) {
    MsgB->setMaximum(max);
    MsgB->setValue(std::clamp(position, 0, max));
    MsgB->show();
  } else {
    MsgB->hide();
  }
  PlaceMessagePanel();
  MsgP->show();
  // Let the window repaint; no user input runs inside a long job, so a
  // command cannot start while another one is half done.
  QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
  return !MsgP->isHidden();
}

