// The main window's layout: the chart area with the message panel above it,
// and the dashboard column with its boxes; status buttons and night shading.
#include <QAction>
#include <QApplication>
#include <QButtonGroup>
#include <QCoreApplication>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

#include "charts/ChartFile.h"
#include "charts/KAPctrl.h"
#include "charts/WCIctrl.h"
#include "foundation/Colors.h"
#include "foundation/NumText.h"
#include "foundation/qt/Language.h"
#include "foundation/qt/SysColor.h"
#include "navobjects/Routes.h"
#include "navobjects/Trace.h"
#include "plotter/MainForm.h"

namespace {

constexpr int kDashboardWidth = 125;
constexpr int kBoxMargin = 3;
constexpr int kBoxGap = 2;

QColor ToQColor(TColor c) { return QColor(ColorRed(c), ColorGreen(c), ColorBlue(c)); }

// A box of the dashboard: a raised panel.
QFrame* MakeBox(QWidget* parent, const char* name) {
  auto* box = new QFrame(parent);
  box->setObjectName(QString::fromLatin1(name));
  box->setFrameShape(QFrame::Panel);
  box->setFrameShadow(QFrame::Raised);
  box->setAutoFillBackground(true);
  return box;
}

QLabel* MakeLabel(QWidget* parent, const char* name, const char* text, bool data = false) {
  auto* l = new QLabel(QString::fromUtf8(text), parent);
  l->setObjectName(QString::fromLatin1(name));
  // Labels that show values keep their text when a language is applied.
  if (data) l->setProperty(kTagProperty, 1);
  return l;
}

QLineEdit* MakeField(QWidget* parent, const char* name, bool readOnly) {
  auto* e = new QLineEdit(parent);
  e->setObjectName(QString::fromLatin1(name));
  e->setReadOnly(readOnly);
  e->setProperty(kTagProperty, 1);
  return e;
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
  MsgP->setParent(chartColumn);
  chartLayout->addWidget(MsgP);
  chartLayout->addWidget(scroll, 1);

  // The dashboard column.
  DB = new QFrame(body);
  DB->setObjectName(QStringLiteral("_DB"));
  DB->setFixedWidth(kDashboardWidth);
  DB->setFrameShape(QFrame::NoFrame);
  auto* dbLayout = new QVBoxLayout(DB);
  dbLayout->setContentsMargins(kBoxMargin, 0, kBoxMargin, kBoxGap);
  dbLayout->setSpacing(kBoxGap);

  // Menu buttons.
  DB_MAINMENU = MakeBox(DB, "DB_MAINMENU");
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
  dbLayout->addWidget(DB_MAINMENU);

  // Boat position.
  DB_GPS = MakeBox(DB, "DB_GPS");
  {
    auto* g = new QGridLayout(DB_GPS);
    g->setContentsMargins(4, 2, 4, 3);
    g->setVerticalSpacing(0);
    auto* lat = MakeLabel(DB_GPS, "DBBLat", "00°00.000 N", true);
    auto* lon = MakeLabel(DB_GPS, "DBBLong", "000°00.000 E", true);
    QFont big = lat->font();
    big.setBold(true);
    lat->setFont(big);
    lon->setFont(big);
    g->addWidget(MakeLabel(DB_GPS, "DBGPSB", "DR", true), 0, 0);
    g->addWidget(lat, 1, 0);
    g->addWidget(lon, 2, 0);
  }
  dbLayout->addWidget(DB_GPS);

  // Dead reckoning.
  DB_DR = MakeBox(DB, "DB_DR");
  {
    auto* g = new QGridLayout(DB_DR);
    g->setContentsMargins(4, 2, 4, 3);
    g->setVerticalSpacing(1);
    g->setHorizontalSpacing(3);
    DB_DRLat = MakeField(DB_DR, "DB_DRLat", true);
    DB_DRLong = MakeField(DB_DR, "DB_DRLong", true);
    DB_DRCrs = MakeField(DB_DR, "DB_DRCrs", false);
    DB_DRSpd = MakeField(DB_DR, "DB_DRSpd", false);
    g->addWidget(MakeLabel(DB_DR, "LabDRLat", "Lat"), 0, 0);
    g->addWidget(DB_DRLat, 0, 1);
    g->addWidget(MakeLabel(DB_DR, "LabDRLong", "Long"), 1, 0);
    g->addWidget(DB_DRLong, 1, 1);
    g->addWidget(MakeLabel(DB_DR, "LabDRCrs", "Crs"), 2, 0);
    g->addWidget(DB_DRCrs, 2, 1);
    g->addWidget(MakeLabel(DB_DR, "LabDRSpd", "Spd"), 3, 0);
    g->addWidget(DB_DRSpd, 3, 1);
  }
  DB_DR->hide();
  dbLayout->addWidget(DB_DR);

  // Log, trip, engine hours and fuel, one row each; the rows are placed by
  // hand so the fuel row can be taken out and the box shortened by it.
  DB_INSTR = MakeBox(DB, "DB_INSTR");
  {
    const int pitch = fontMetrics().height() + 3;
    const int innerWidth = kDashboardWidth - 2 * kBoxMargin;
    const int captionWidth = 44;
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
      (*row.lab)->setGeometry(5, y, captionWidth, pitch - 2);
      *row.txt = MakeLabel(DB_INSTR, row.txtName, row.value, true);
      (*row.txt)->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
      (*row.txt)->setGeometry(5 + captionWidth, y, innerWidth - 10 - captionWidth, pitch - 2);
      y += pitch;
    }
    DB_INSTR->setFixedHeight(y + 3);
    DB_INSTR->setContextMenuPolicy(Qt::CustomContextMenu);
  }
  DB_INSTR->hide();
  dbLayout->addWidget(DB_INSTR);

  dbLayout->addStretch(1);

  // Status buttons.
  DB_STATE = MakeBox(DB, "DB_STATE");
  {
    auto* v = new QVBoxLayout(DB_STATE);
    v->setContentsMargins(3, 3, 3, 3);
    v->setSpacing(2);
    auto makeState = [&](const char* name) {
      auto* b = new QPushButton(DB_STATE);
      b->setObjectName(QString::fromLatin1(name));
      b->setProperty(kTagProperty, 1);  // the caption shows the state
      b->setFocusPolicy(Qt::NoFocus);
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
  dbLayout->addWidget(DB_STATE);

  // Night shading.
  DB_Shade = MakeBox(DB, "DB_Shade");
  {
    auto* h = new QHBoxLayout(DB_Shade);
    h->setContentsMargins(3, 3, 3, 3);
    h->setSpacing(2);
    auto* group = new QButtonGroup(DB_Shade);
    group->setExclusive(true);
    for (int i = 0; i < 4; ++i) {
      auto* b = new QPushButton(QString::number(i + 1), DB_Shade);
      b->setObjectName(QStringLiteral("SBC%1").arg(i));
      b->setCheckable(true);
      b->setFocusPolicy(Qt::NoFocus);
      b->setMinimumWidth(20);
      group->addButton(b, i);
      h->addWidget(b);
      SBC[i] = b;
      connect(b, &QPushButton::clicked, this, [this, i] { SetShadeLevel(i); });
    }
  }
  dbLayout->addWidget(DB_Shade);

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
  body->removeWidget(DB);
  body->insertWidget(left ? 0 : 1, DB);
  DBC_MENU_3->setText(left ? QStringLiteral("<<") : QStringLiteral(">>"));
}

void T_Form::RemoveFuelRow() {
  if (LabFuel->isHidden()) return;
  DB_INSTR->setFixedHeight(DB_INSTR->height() - (LabFuel->y() - LabHours->y()));
  LabFuel->hide();
  TxtFuel->hide();
  if (QAction* a = MenuItem("ResetFuel1")) a->setVisible(false);
  if (QAction* a = MenuItem("EngineOn1")) a->setVisible(false);
}

void T_Form::UpdateInstrumentBoxes() {
  TxtTot->setText(QString::fromStdString(FloatToStrFixedDot(2, SysInfo.TotalDistance)));
  TxtTrp->setText(QString::fromStdString(FloatToStrFixedDot(2, SysInfo.TrippDistance)));
  const int64_t minutes = RoundToInt64(SysInfo.TimeCounter * 60.0);
  TxtTime->setText(QStringLiteral("%1:%2").arg(minutes / 60).arg(minutes % 60, 2, 10, QLatin1Char('0')));
  TxtFuel->setText(QString::fromStdString(FloatToStrFixedDot(1, SysInfo.FuelUsed)));
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
  MsgP->show();
  // Let the window repaint; no user input runs inside a long job, so a
  // command cannot start while another one is half done.
  QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
  return !MsgP->isHidden();
}

void T_Form::ShowDashboard(bool expanded) {
  dashboardExpanded_ = expanded;
  if (!expanded)
    for (QFrame* box : {DB_MAINMENU, DB_GPS, DB_DR, DB_INSTR, DB_STATE, DB_Shade}) box->hide();
  DB->setFixedWidth(expanded ? DashboardDesignWidth : 3);
  DB->setFrameShape(expanded ? QFrame::NoFrame : QFrame::Panel);
  DB->setFrameShadow(QFrame::Raised);
  // Expanded, the status decides which boxes show.
  if (expanded) UpdateStatus();
  RequestRepaint();
}

void T_Form::UpdateStatus() {
  if (!DBI_AUTO) return;
  if (Route) PlotterFlags.Set(pfRouteActive, Route->Following);
  const bool automatic = PlotterFlags.Has(pfAutomatic);
  const bool editor = PlotterFlags.Has(pfRouteEditor);

  const int shadeValue = shadeLevel_ == 1   ? SysInfo.ShadeTwilight
                         : shadeLevel_ == 2 ? SysInfo.ShadeDusk
                         : shadeLevel_ == 3 ? SysInfo.ShadeNight
                                            : 0;
  const QColor alarmRed = ToQColor(ShadeColor(shadeValue, kPalette16[piRed]));
  auto state = [&](QPushButton* b, int caption, bool on) {
    b->setText(QString::fromStdString(Messages[caption] + " " + Messages[on ? msgOn : msgOff]));
    QPalette pal = b->palette();
    pal.setColor(QPalette::ButtonText, on ? QApplication::palette().color(QPalette::ButtonText) : alarmRed);
    b->setPalette(pal);
  };
  state(DBI_AUTO, msgAutomatic, automatic);
  // With tracking off and an old track on display, the button says so.
  const QAction* openOld = MenuItem("OpenOld1");
  if (PlotterFlags.Has(pfTracking) || !openOld || !openOld->isChecked())
    state(DBI_TRACE, msgTrack, PlotterFlags.Has(pfTracking));
  state(DBI_PILOT, msgNmeaOut, PlotterFlags.Has(pfPilot));
  DBI_PILOT->setVisible(PlotterFlags.Has(pfRouteActive));
  if (QMenu* nac = SubMenu("NAC")) nac->menuAction()->setVisible(!automatic);
  if (QAction* a = MenuItem("ActivateRoute1")) a->setChecked(PlotterFlags.Has(pfRouteActive));

  // Which boxes show (the full set of boxes and their placement come with
  // the dashboard's own work).
  if (!dashboardExpanded_) return;
  DB_MAINMENU->setVisible(editor || !automatic);
  DB_GPS->setVisible(!NavFlags.Has(nfGpsLost));
  DB_DR->setVisible(NavFlags.Has(nfGpsLost));
  DB_INSTR->setVisible(!editor && (SysInfo.ShowLogData == 1 || (SysInfo.ShowLogData == 2 && automatic)));
  DB_STATE->setVisible(!editor);
  DB_Shade->setVisible(!editor);
  DBC_MENU_2->setVisible(!editor);
  DBC_MENU_1->setMenu(editor ? RouteFileMenu : FileMenu);
}

void T_Form::DBI_AUTOClick() {
  if (PlotterFlags.Has(pfRouteEditor)) return;
  PlotterFlags.Toggle(pfAutomatic);
  SysInfo.AutoScroll = PlotterFlags.Has(pfAutomatic);
  UpdateStatus();
  RequestRepaint();
}

void T_Form::DBI_TRACEClick() {
  PlotterFlags.Toggle(pfTracking);
  SysInfo.ShowTrack = PlotterFlags.Has(pfTracking);
  if (QAction* a = MenuItem("OpenOld1")) a->setChecked(false);
  if (Trace) PlotterFlags.Has(pfTracking) ? Trace->Start() : Trace->Stop();
  UpdateStatus();
  RequestRepaint();
}

void T_Form::DBI_PILOTClick() {
  PlotterFlags.Toggle(pfPilot);
  UpdateStatus();
}

void T_Form::SetShadeLevel(int level) {
  if (level < 0 || level > 3) return;
  // The window icon: the dark one at night, the day one at level 0.
  if (!shadeLevelSet_ || (level == 0) != (shadeLevel_ == 0)) setWindowIcon(level == 0 ? BoatIcon() : DarkIcon());
  shadeLevelSet_ = true;
  shadeLevel_ = level;
  const int value = level == 1 ? SysInfo.ShadeTwilight : level == 2 ? SysInfo.ShadeDusk : level == 3 ? SysInfo.ShadeNight : 0;
  if (KAPDecoder) KAPDecoder->Brightness = value;
  if (WCIDecoder) WCIDecoder->Brightness = value;
  if (ChartFile) ChartFile->Brightness = value;
  if (SysColor) {
    if (value != 0 && SysInfo.ShadeDesktop) {
      SysColor->SetShade(value);
      SysColor->ApplyShade();
    } else if (SysColor->Level() != 0) {
      SysColor->Restore();
    }
  }
  UpdateStatus();
  if (SBC[level]) SBC[level]->setChecked(true);
  RequestRepaint();
}

void T_Form::ShowChartCursor() {
  const int mode = std::clamp(static_cast<int>(CursorMode), 0, kChartCursorCount - 1);
  MapCanvas->setCursor(FatCursors ? FatChartCursors[mode] : ChartCursors[mode]);
}
