// The main window's layout: the chart area with the message panel above it,
// and the dashboard column with its boxes; what the boxes show, which of
// them show, the status buttons, the instrument menu and night shading.
//
// The column has no layout manager: LayoutDashboard places the boxes by
// the rules of plotter/core/Dashboard.h, each box at the height it was
// built with.
#include <QAction>
#include <QApplication>
#include <QButtonGroup>
#include <QComboBox>
#include <QCoreApplication>
#include <QDateTime>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QInputDialog>
#include <QIntValidator>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QLocale>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QTimeZone>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

#include "charts/BMPager.h"
#include "charts/ChartFile.h"
#include "charts/KAPctrl.h"
#include "charts/WCIctrl.h"
#include "foundation/Colors.h"
#include "foundation/GenUtil.h"
#include "foundation/NumText.h"
#include "foundation/qt/Language.h"
#include "foundation/qt/SysColor.h"
#include "instruments/NMEA.h"
#include "navobjects/LogBook.h"
#include "navobjects/NavCtrls.h"
#include "navobjects/Routes.h"
#include "navobjects/Trace.h"
#include "platform/Questions.h"
#include "plotter/MainForm.h"
#include "plotter/core/UpdateCycle.h"
#include "plotter/symbols/ChartSymbols.h"
#include "plotter/PosEdit.h"
#include "plotter/QtColour.h"

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

QString Text(const std::string& s) { return QString::fromStdString(s); }

// Sets a label's text only when it changed, so an unchanged dashboard
// causes no repaint.
void SetText(QLabel* l, const QString& text) {
  if (l && l->text() != text) l->setText(text);
}

// The background of a box: `colour`, or the window's own when invalid.
// Its texts take whichever of the palette's black and white reads on it.
void SetBoxColour(QWidget* box, const QColor& colour, const TWindowColours& colours) {
  if (!colour.isValid()) {
    box->setPalette(QPalette());
    return;
  }
  QPalette p = QApplication::palette();
  p.setColor(QPalette::Window, colour);
  p.setColor(QPalette::Button, colour);
  const QColor text = ToQColor(ReadableTextColour(FromQColor(p.color(QPalette::WindowText)), FromQColor(colour),
                                                  colours.palette[piBlack], colours.palette[piWhite]));
  for (QPalette::ColorRole role : {QPalette::WindowText, QPalette::ButtonText, QPalette::Text})
    p.setColor(role, text);
  box->setPalette(p);
}

// TDateTime (days since 1899-12-30, UTC) in the system's date-time form, or
// in `format`.
QString DateTimeText(TDateTime t, const QString& format = QString()) {
  if (!(t > 0) || !std::isfinite(t) || t > 2958465.0) return QString();
  const qint64 ms = static_cast<qint64>(std::llround((t - kUnixEpochDays) * 86400000.0));
  const QDateTime dt = QDateTime::fromMSecsSinceEpoch(ms, QTimeZone::utc());
  return format.isEmpty() ? QLocale::system().toString(dt, QLocale::ShortFormat) : dt.toString(format);
}

}  // namespace

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
    connect(DBC_MENU_3, &QToolButton::clicked, this, [this] { ShowDashboard(false); });
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

void T_Form::PlaceDashboard() {
  auto* body = qobject_cast<QHBoxLayout*>(centralWidget()->layout());
  if (!body) return;
  const bool left = SysInfo.Dashboard == 0;
  if (body->indexOf(DB) != (left ? 0 : 1)) {
    body->removeWidget(DB);
    body->insertWidget(left ? 0 : 1, DB);
  }
}

void T_Form::RemoveFuelRow() {
  if (LabFuel->isHidden()) return;
  DB_INSTR->setFixedHeight(DB_INSTR->height() - (LabFuel->y() - LabHours->y()));
  LabFuel->hide();
  TxtFuel->hide();
  if (QAction* a = MenuItem("ResetFuel1")) a->setVisible(false);
  if (QAction* a = MenuItem("EngineOn1")) a->setVisible(false);
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

// ---------------------------------------------------------------------------
// What the boxes show

void T_Form::UpdateInstrumentBoxes() {
  if (RefreshInstrumentTexts()) UpdateStatus();
  RefreshLogTexts();
}

void T_Form::RefreshLogTexts() {
  SetText(TxtTot, Text(FloatToStrFixedDot(2, SysInfo.TotalDistance)));
  SetText(TxtTrp, Text(FloatToStrFixedDot(2, SysInfo.TrippDistance)));
  SetText(TxtTime, Text(EngineHoursText(SysInfo.TimeCounter)));
  SetText(TxtFuel, Text(FloatToStrFixedDot(1, SysInfo.FuelUsed)));
}

bool T_Form::RefreshInstrumentTexts() {
  SetBoxColour(DB_DEPTH, NavFlags.Has(nfDepthAlarm) ? AlarmColour(true) : QColor(), Colours);
  const TNMEA* p = Parser();
  if (!p) return false;
  const TNMEAINFO& n = p->Info;
  SetText(DPTLab, Text(DepthText(n.Depth, SysInfo.TransducerDepth, SysInfo.DepthShow)));
  SetText(WindSLab, Text(WindSpeedText(n.TrueWindSpeed, SysInfo.WindShow)));
  SetText(WindTLab, Text(WholeDegreesText(n.TrueWindAngle, "°")));
  SetText(WindRLab, Text(WholeDegreesText(n.ApparentWindAngle, "°R")));
  SetText(WindGLab, Text(WholeDegreesText(n.TrueWindDirection, "°G")));
  SetText(VPWSpeed, Text(OneDecimalText(n.WindVMG)));
  SetText(CompassLab, Text(DegreesText(n.MagHeading, 1)));
  if (PlotterFlags.Has(pfRouteEditor)) return false;
  // A box whose value came or went must appear or go.
  const auto differs = [&](TDashBox box, bool on, bool known) { return on && known != dashSet_.Has(box); };
  return differs(TDashBox::DB_DEPTH, SysInfo.DepthShow > 0, IsKnown(n.Depth)) ||
         differs(TDashBox::DB_WIND, SysInfo.WindShow > 0, IsKnown(n.TrueWindSpeed)) ||
         differs(TDashBox::DB_COMPASS, SysInfo.CompassShow, IsKnown(n.MagHeading));
}

void T_Form::RefreshGpsBox() {
  if (const TNMEA* p = Parser()) {
    const TNMEAINFO& n = p->Info;
    SetText(DBBLat, Text(LatToStr(n.Pos.Y)));
    SetText(DBBLong, Text(LonToStr(n.Pos.X)));
    SetText(DBBhead, Text(DegreesText(n.Heading, 1)));
    SetText(DBBspeed, Text(OneDecimalText(n.SOG)));
    SetText(DBBMErr, IsKnown(n.Variation) ? Text(DegToStrEW(1, 1, n.Variation * kRadToDeg)) : QStringLiteral("---"));
    // The system's form when it fits the column, else a shorter one.
    QString when = DateTimeText(n.GpsDateTime);
    for (const char* shorter : {"yy-MM-dd HH:mm", "HH:mm:ss"}) {
      if (DBBdt->fontMetrics().horizontalAdvance(when) <= DBBdt->contentsRect().width()) break;
      when = DateTimeText(n.GpsDateTime, QString::fromLatin1(shorter));
    }
    SetText(DBBdt, when);
    std::string talker = n.TalkerIn.empty() ? "DR" : n.TalkerIn;
    if (n.FixQuality >= 2) talker += "-" + Messages[msgDiff];
    SetText(DBGPSB, Text(talker));
  }
  const QColor c = NavFlags.Has(nfGpsLost) ? AlarmColour(true) : QColor();
  SetBoxColour(DB_GPS, c, Colours);
  SetBoxColour(DB_DR, c, Colours);
}

QColor T_Form::AlarmColour(bool on) const {
  return on ? ToQColor(Colours.red) : QApplication::palette().color(QPalette::Button);
}

bool T_Form::DoubleClickMeasures() const { return MeasureLab && MeasureLab->isChecked(); }

void T_Form::ToggleDoubleClickAction() {
  (DoubleClickMeasures() ? CenterLab : MeasureLab)->setChecked(true);
}

// ---------------------------------------------------------------------------
// Which boxes show, and where

void T_Form::UpdateStatus() {
  if (!DBI_AUTO) return;
  if (Route) PlotterFlags.Set(pfRouteActive, Route->Following);
  const bool automatic = PlotterFlags.Has(pfAutomatic);
  const bool editor = PlotterFlags.Has(pfRouteEditor);
  const bool active = PlotterFlags.Has(pfRouteActive);
  // 2. The positions' info boxes and movability.
  if (symbols_) symbols_->UpdateShapeModes();

  if (!editor) {
    const QAction* unlock = tickMenus_.wpUnlock;
    if (QAction* a = tickMenus_.deleteWP) a->setVisible(unlock && unlock->isChecked() && !automatic);
    if (QAction* a = tickMenus_.activateRoute) a->setChecked(active);

    // The status buttons: the caption in red while the mode is off (a red
    // that still reads on the button at deep night levels).
    const QColor face = QApplication::palette().color(QPalette::Button);
    const QColor red = ToQColor(
        ReadableTextColour(Colours.red, FromQColor(face), Colours.palette[piBlack], Colours.palette[piWhite]));
    auto state = [&](QPushButton* b, int caption, bool on) {
      b->setText(Text(Messages[caption] + " " + Messages[on ? msgOn : msgOff]));
      QPalette pal = b->palette();
      pal.setColor(QPalette::ButtonText, on ? QApplication::palette().color(QPalette::ButtonText) : red);
      b->setPalette(pal);
    };
    state(DBI_AUTO, msgAutomatic, automatic);
    if (QMenu* nac = tickMenus_.nac) nac->menuAction()->setVisible(!automatic);
    DBI_PILOT->setVisible(active);
    // With tracking off and an old track on display, the button keeps the
    // caption it has.
    const QAction* openOld = tickMenus_.openOld;
    if (PlotterFlags.Has(pfTracking) || !openOld || !openOld->isChecked())
      state(DBI_TRACE, msgTrack, PlotterFlags.Has(pfTracking));
    state(DBI_PILOT, msgNmeaOut, PlotterFlags.Has(pfPilot));
  }
  DBC_MENU_2->setVisible(!editor);
  DBC_MENU_1->setMenu(editor ? RouteFileMenu : FileMenu);

  TDashState s;
  s.automatic = automatic;
  s.routeEditor = editor;
  s.routeActive = active;
  s.depthShow = SysInfo.DepthShow;
  s.windShow = SysInfo.WindShow;
  s.compassShow = SysInfo.CompassShow;
  s.showLogData = SysInfo.ShowLogData;
  s.aisPanel = SysInfo.AISPanel;
  if (const TNMEA* p = Parser()) {
    s.depthKnown = IsKnown(p->Info.Depth);
    s.windKnown = IsKnown(p->Info.TrueWindSpeed);
    s.compassKnown = IsKnown(p->Info.MagHeading);
  }
  dashSet_ = ChooseDashboardSet(s);
  LayoutDashboard();
}

void T_Form::LayoutDashboard() {
  if (!DB) return;
  const bool left = SysInfo.Dashboard == 0;
  DBC_MENU_3->setText(left ? QStringLiteral("<<") : QStringLiteral(">>"));
  if (!dashboardExpanded_) {
    for (QFrame* box : DashBox) box->hide();
    DBShadow->hide();
    return;
  }
  TDashLayoutInput in;
  in.set = dashSet_;
  for (int i = 0; i < kDashBoxCount; ++i) in.heights[i] = DashBox[i]->height();
  in.columnHeight = DB->height();
  in.gpsLost = NavFlags.Has(nfGpsLost);
  in.routeEditor = PlotterFlags.Has(pfRouteEditor);
  const TDashLayout l = LayoutDashboardBoxes(in);
  dashSet_ = l.set;
  for (int i = 0; i < kDashBoxCount; ++i) {
    QFrame* box = DashBox[i];
    if (!l.shown[i]) {
      box->hide();
      continue;
    }
    box->setGeometry(kDashMargin, l.top[i], DashboardDesignWidth - 2 * kDashMargin, box->height());
    box->show();
  }
  // The shadow line on the chart side of the column.
  QPalette p = DBShadow->palette();
  p.setColor(QPalette::Window, QApplication::palette().color(left ? QPalette::Shadow : QPalette::Light));
  DBShadow->setPalette(p);
  DBShadow->setGeometry(left ? DB->width() - 1 : 0, 0, 1, DB->height() + 10);
  DBShadow->show();
  DBShadow->raise();
}

void T_Form::ShowDashboard(bool expanded) {
  dashboardExpanded_ = expanded;
  if (expanded) {
    DB->setFixedWidth(std::max(DB->width(), DashboardDesignWidth));
    DB->setFrameShape(QFrame::NoFrame);
  } else {
    DB->setFixedWidth(3);
    DB->setFrameShape(QFrame::Panel);
    DB->setFrameShadow(QFrame::Raised);
  }
  // The chart area changes its width at once, and the chart's scroll
  // offset stays as it was (a window resize keeps the middle instead).
  keepScrollOnResize_ = true;
  if (QLayout* body = centralWidget() ? centralWidget()->layout() : nullptr) body->activate();
  keepScrollOnResize_ = false;
  // Expanded, the status decides which boxes show.
  if (expanded)
    UpdateStatus();
  else
    LayoutDashboard();
  RequestRepaint();
}

// ---------------------------------------------------------------------------
// Status buttons and the instrument menu

void T_Form::DBI_AUTOClick() {
  if (PlotterFlags.Has(pfRouteEditor)) return;
  PlotterFlags.Toggle(pfAutomatic);
  SysInfo.AutoScroll = PlotterFlags.Has(pfAutomatic);
  // Switched on: the chart for the boat at once, not at the next display
  // update (switched off, the chart on show stays).
  if (PlotterFlags.Has(pfAutomatic))
    if (TUpdateCycle* cycle = UpdateCycle()) cycle->AutoChartSwitch(true);
  UpdateStatus();
  if (Positions) Positions->StyleAll();
  RequestRepaint();
}

void T_Form::DBI_TRACEClick() {
  PlotterFlags.Toggle(pfTracking);
  SysInfo.ShowTrack = PlotterFlags.Has(pfTracking);
  if (QAction* a = MenuItem("OpenOld1")) a->setChecked(false);
  ApplyTracking();
  UpdateStatus();
  RequestRepaint();
}

void T_Form::DBI_PILOTClick() {
  PlotterFlags.Toggle(pfPilot);
  UpdateStatus();
}

void T_Form::ResetCounterClick(TCounter which) {
  struct Counter {
    int question;
    const char* entry;
    double* value;
  };
  const Counter c = which == TCounter::Trip   ? Counter{msgResetTrip, "Reset Trip from ", &SysInfo.TrippDistance}
                    : which == TCounter::Time ? Counter{msgResetTime, "Reset Time from ", &SysInfo.TimeCounter}
                                              : Counter{msgResetFuel, "Reset Fuel from ", &SysInfo.FuelUsed};
  if (!AskYesNo(Messages[c.question])) return;
  // The old value goes to the log book first: a reset is never silent.
  if (LogBook) LogBook->Log(c.entry + FloatToStrDot(*c.value), 7);
  *c.value = 0;
  RefreshLogTexts();
}

void T_Form::LogBookEntryClick() {
  std::optional<std::string> line;
  if (InputQuery) {
    line = InputQuery("Brismare ", "Log");
  } else {
    bool ok = false;
    const QString text =
        QInputDialog::getText(this, QStringLiteral("Brismare "), QStringLiteral("Log"), QLineEdit::Normal, {}, &ok);
    if (ok) line = text.toStdString();
  }
  if (line && !line->empty() && LogBook) LogBook->Log(*line, 7);
}

// ---------------------------------------------------------------------------
// Night shading

void T_Form::RecomputeColours() {
  Colours = ComputeWindowColours(ShadeValueForLevel(shadeLevel_, SysInfo), SysInfo);
  // The chart background: black while shaded, the workspace colour by day.
  if (Colours.blackBackground) {
    QPalette p = QApplication::palette();
    p.setColor(QPalette::Dark, Qt::black);
    MapCanvas->setPalette(p);
  } else {
    MapCanvas->setPalette(QPalette());
  }
  if (BoatShape) BoatShape->Color = Colours.boat;
  if (SpeedShape) SpeedShape->Color = Colours.boat;
  if (RingShape) RingShape->Color = Colours.black;
  // The route's and the positions' colours follow the shading.
  if (symbols_) symbols_->ApplyShapeSettings();
  // Boxes that carry a colour of their own take it again from the palette.
  RefreshGpsBox();
  RefreshInstrumentTexts();
}

void T_Form::SetShadeLevel(int level) {
  if (level < 0 || level > 3) return;
  // The window icon: the dark one at night, the day one at level 0.
  if (!shadeLevelSet_ || (level == 0) != (shadeLevel_ == 0)) setWindowIcon(level == 0 ? BoatIcon() : DarkIcon());
  shadeLevelSet_ = true;
  shadeLevel_ = level;
  const int value = ShadeValueForLevel(level, SysInfo);
  // The chart is drawn again with the new brightness: the pager takes the
  // shaded colours of the decoder it draws from.
  if (KAPDecoder) KAPDecoder->Brightness = value;
  if (WCIDecoder) WCIDecoder->Brightness = value;
  if (ChartFile) ChartFile->Brightness = value;
  if (Pager) {
    if (KAPDecoder && Pager->Decoder == KAPDecoder.get() && KAPDecoder->IsOpen())
      KAPDecoder->FillColourTable(Pager->Colours);
    else if (WCIDecoder && Pager->Decoder == WCIDecoder.get() && WCIDecoder->IsOpen())
      WCIDecoder->FillColourTable(Pager->Colours);
  }
  // A plain image chart: its picture shaded anew.
  RefreshChartShade();
  // The window colours: shaded with the desktop colours only when asked to,
  // otherwise the program's palette stays as it was.
  if (SysColor) {
    if (value != 0 && SysInfo.ShadeDesktop) {
      SysColor->SetShade(value);
      SysColor->ApplyShade();
    } else if (SysColor->Level() != 0) {
      SysColor->Restore();
    }
  }
  RecomputeColours();
  UpdateStatus();
  if (SBC[level]) SBC[level]->setChecked(true);
  RequestRepaint();
}

void T_Form::ShowChartCursor() {
  const int mode = std::clamp(static_cast<int>(CursorMode), 0, kChartCursorCount - 1);
  MapCanvas->setCursor(FatCursors ? FatChartCursors[mode] : ChartCursors[mode]);
}
