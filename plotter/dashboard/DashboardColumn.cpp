#include "plotter/dashboard/DashboardColumn.h"

#include <QAction>
#include <QApplication>
#include <QDateTime>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QLayout>
#include <QLocale>
#include <QMenu>
#include <QPushButton>
#include <QTimeZone>
#include <QToolButton>

#include <cmath>

#include "foundation/Colors.h"
#include "foundation/GenUtil.h"
#include "foundation/NumText.h"
#include "instruments/NMEA.h"
#include "navobjects/LogBook.h"
#include "navobjects/Routes.h"
#include "platform/Questions.h"
#include "plotter/QtColour.h"
#include "plotter/chartview/ChartDisplay.h"
#include "plotter/core/Messages.h"
#include "plotter/core/SysInfo.h"
#include "plotter/symbols/ChartSymbols.h"

namespace {

QString Text(const std::string& s) { return QString::fromStdString(s); }

// Sets a label's text only when it changed, so an unchanged dashboard
// causes no repaint.
void SetText(QLabel& l, const QString& text) {
  if (l.text() != text) l.setText(text);
}

// The background of a box: `colour`, or the window's own when invalid.
// Its texts take whichever of the palette's black and white reads on it.
void SetBoxColour(QWidget& box, const QColor& colour, const TWindowColours& colours) {
  if (!colour.isValid()) {
    box.setPalette(QPalette());
    return;
  }
  QPalette p = QApplication::palette();
  p.setColor(QPalette::Window, colour);
  p.setColor(QPalette::Button, colour);
  const QColor text = ToQColor(ReadableTextColour(FromQColor(p.color(QPalette::WindowText)), FromQColor(colour),
                                                  colours.palette[piBlack], colours.palette[piWhite]));
  for (QPalette::ColorRole role : {QPalette::WindowText, QPalette::ButtonText, QPalette::Text})
    p.setColor(role, text);
  box.setPalette(p);
}

// TDateTime (days since 1899-12-30, UTC) in the system's date-time form, or
// in `format`.
QString DateTimeText(TDateTime t, const QString& format = QString()) {
  if (!(t > 0) || !std::isfinite(t) || t > 2958465.0) return QString();
  const qint64 ms = static_cast<qint64>(std::llround((t - kUnixEpochDays) * 86400000.0));
  const QDateTime dt = QDateTime::fromMSecsSinceEpoch(ms, QTimeZone::utc());
  return format.isEmpty() ? QLocale::system().toString(dt, QLocale::ShortFormat) : dt.toString(format);
}

// The boxes' object names, by TDashBox.
constexpr const char* kBoxNames[kDashBoxCount] = {
    "DB_MAINMENU", "DB_GPS",      "DB_DR",     "DB_INSTR",  "DB_STATE",    "DB_MARKER", "DB_DEPTH",
    "DB_WIND",     "DB_COMPASS",  "DB_ROUTE_GO", "DB_ROUTEGUIDE", "DB_RTEEDIT", "DB_RTSTAT", "DB_QBUTT",
    "DB_WAYPOINT", "DB_AISP",     "DB_Shade",  "DB_DBLCLK"};

}  // namespace

QColor AlarmColour(const TWindowColours& colours, bool on) {
  return on ? ToQColor(colours.red) : QApplication::palette().color(QPalette::Button);
}

TDashboardColumn::TDashboardColumn(const TWindowContext& c, TDashSet& dashSet, TNMEA& parser, TRoute& route,
                                   TLOGGBOOK& logBook, TChartSymbols& symbols, TChartDisplay& chart, int designWidth)
    : TWindowFeature(c),
      set_(dashSet),
      parser_(parser),
      route_(route),
      logBook_(logBook),
      symbols_(symbols),
      chart_(chart),
      designWidth_(designWidth),
      column_(Widget<QFrame>("_DB")),
      shadow_(Widget<QFrame>("DBShadow")),
      fileButton_(Widget<QToolButton>("DBC_MENU_1")),
      toolsButton_(Widget<QToolButton>("DBC_MENU_2")),
      collapseButton_(Widget<QToolButton>("DBC_MENU_3")),
      autoButton_(Widget<QPushButton>("DBI_AUTO")),
      traceButton_(Widget<QPushButton>("DBI_TRACE")),
      pilotButton_(Widget<QPushButton>("DBI_PILOT")),
      gpsBox_(Widget<QFrame>("DB_GPS")),
      drBox_(Widget<QFrame>("DB_DR")),
      depthBox_(Widget<QFrame>("DB_DEPTH")),
      instrBox_(Widget<QFrame>("DB_INSTR")),
      lat_(Widget<QLabel>("DBBLat")),
      long_(Widget<QLabel>("DBBLong")),
      head_(Widget<QLabel>("DBBhead")),
      speed_(Widget<QLabel>("DBBspeed")),
      variation_(Widget<QLabel>("DBBMErr")),
      time_(Widget<QLabel>("DBBdt")),
      talker_(Widget<QLabel>("DBGPSB")),
      depth_(Widget<QLabel>("DPTLab")),
      windSpeed_(Widget<QLabel>("WindSLab")),
      windTrue_(Widget<QLabel>("WindTLab")),
      windRelative_(Widget<QLabel>("WindRLab")),
      windDirection_(Widget<QLabel>("WindGLab")),
      vmg_(Widget<QLabel>("VPWSpeed")),
      compass_(Widget<QLabel>("CompassLab")),
      total_(Widget<QLabel>("TxtTot")),
      trip_(Widget<QLabel>("TxtTrp")),
      hours_(Widget<QLabel>("TxtTime")),
      fuel_(Widget<QLabel>("TxtFuel")),
      hoursCaption_(Widget<QLabel>("LabHours")),
      fuelCaption_(Widget<QLabel>("LabFuel")),
      fileMenu_(window_.SubMenu("FileMenu")),
      routeFileMenu_(window_.SubMenu("RouteFileMenu")),
      chartsMenu_(window_.SubMenu("NAC")),
      unlock_(Item("WPUnlock")),
      deleteWP_(Item("DeleteWP")),
      activateRoute_(Item("ActivateRoute1")),
      openOld_(Item("OpenOld1")) {
  for (int i = 0; i < kDashBoxCount; ++i) boxes_[i] = &Widget<QFrame>(kBoxNames[i]);
  QObject::connect(&collapseButton_, &QToolButton::clicked, &links_, [this] { ShowDashboard(false); });
  // The instrument menu.
  WireCommand("LogBookEntry1", [this] { LogBookEntryClick(); });
  WireCommand("ResetTrip1", [this] { ResetCounterClick(TCounter::Trip); });
  WireCommand("ResetTime1", [this] { ResetCounterClick(TCounter::Time); });
  WireCommand("ResetFuel1", [this] { ResetCounterClick(TCounter::Fuel); });
  // Fuel is counted only while the engine runs.
  QAction& engineOn = Item("EngineOn1");
  engineOn.setEnabled(true);
  QObject::connect(&engineOn, &QAction::toggled, &links_, [this](bool on) { sys_.EngineOn = on; });
  QMenu* instruments = window_.SubMenu("InstrPopup");
  QObject::connect(&instrBox_, &QWidget::customContextMenuRequested, &links_, [this, instruments](const QPoint& pos) {
    if (instruments) instruments->popup(instrBox_.mapToGlobal(pos));
  });
}

void TDashboardColumn::PlaceDashboard() {
  auto* body = qobject_cast<QHBoxLayout*>(column_.parentWidget() ? column_.parentWidget()->layout() : nullptr);
  if (!body) return;
  const bool left = sys_.Dashboard == 0;
  if (body->indexOf(&column_) != (left ? 0 : 1)) {
    body->removeWidget(&column_);
    body->insertWidget(left ? 0 : 1, &column_);
  }
}

void TDashboardColumn::RemoveFuelRow() {
  if (fuelCaption_.isHidden()) return;
  instrBox_.setFixedHeight(instrBox_.height() - (fuelCaption_.y() - hoursCaption_.y()));
  fuelCaption_.hide();
  fuel_.hide();
  if (QAction* a = window_.MenuItem("ResetFuel1")) a->setVisible(false);
  if (QAction* a = window_.MenuItem("EngineOn1")) a->setVisible(false);
}

// ---------------------------------------------------------------------------
// What the boxes show

void TDashboardColumn::UpdateInstrumentBoxes() {
  if (RefreshInstrumentTexts()) window_.UpdateStatus();
  RefreshLogTexts();
}

void TDashboardColumn::RefreshLogTexts() {
  SetText(total_, Text(FloatToStrFixedDot(2, sys_.TotalDistance)));
  SetText(trip_, Text(FloatToStrFixedDot(2, sys_.TrippDistance)));
  SetText(hours_, Text(EngineHoursText(sys_.TimeCounter)));
  SetText(fuel_, Text(FloatToStrFixedDot(1, sys_.FuelUsed)));
}

bool TDashboardColumn::RefreshInstrumentTexts() {
  SetBoxColour(depthBox_, nav_.Has(nfDepthAlarm) ? AlarmColour(colours_, true) : QColor(), colours_);
  const TNMEAINFO& n = parser_.Info;
  SetText(depth_, Text(DepthText(n.Depth, sys_.TransducerDepth, sys_.DepthShow)));
  SetText(windSpeed_, Text(WindSpeedText(n.TrueWindSpeed, sys_.WindShow)));
  SetText(windTrue_, Text(WholeDegreesText(n.TrueWindAngle, "°")));
  SetText(windRelative_, Text(WholeDegreesText(n.ApparentWindAngle, "°R")));
  SetText(windDirection_, Text(WholeDegreesText(n.TrueWindDirection, "°G")));
  SetText(vmg_, Text(OneDecimalText(n.WindVMG)));
  SetText(compass_, Text(DegreesText(n.MagHeading, 1)));
  if (flags_.Has(pfRouteEditor)) return false;
  // A box whose value came or went must appear or go.
  const auto differs = [&](TDashBox box, bool on, bool known) { return on && known != set_.Has(box); };
  return differs(TDashBox::DB_DEPTH, sys_.DepthShow > 0, IsKnown(n.Depth)) ||
         differs(TDashBox::DB_WIND, sys_.WindShow > 0, IsKnown(n.TrueWindSpeed)) ||
         differs(TDashBox::DB_COMPASS, sys_.CompassShow, IsKnown(n.MagHeading));
}

void TDashboardColumn::RefreshGpsBox() {
  const TNMEAINFO& n = parser_.Info;
  SetText(lat_, Text(LatToStr(n.Pos.Y)));
  SetText(long_, Text(LonToStr(n.Pos.X)));
  SetText(head_, Text(DegreesText(n.Heading, 1)));
  SetText(speed_, Text(OneDecimalText(n.SOG)));
  SetText(variation_, IsKnown(n.Variation) ? Text(DegToStrEW(1, 1, n.Variation * kRadToDeg)) : QStringLiteral("---"));
  // The system's form when it fits the column, else a shorter one.
  QString when = DateTimeText(n.GpsDateTime);
  for (const char* shorter : {"yy-MM-dd HH:mm", "HH:mm:ss"}) {
    if (time_.fontMetrics().horizontalAdvance(when) <= time_.contentsRect().width()) break;
    when = DateTimeText(n.GpsDateTime, QString::fromLatin1(shorter));
  }
  SetText(time_, when);
  std::string talker = n.TalkerIn.empty() ? "DR" : n.TalkerIn;
  if (n.FixQuality >= 2) talker += "-" + messages_[msgDiff];
  SetText(talker_, Text(talker));
  const QColor c = nav_.Has(nfGpsLost) ? AlarmColour(colours_, true) : QColor();
  SetBoxColour(gpsBox_, c, colours_);
  SetBoxColour(drBox_, c, colours_);
}

// ---------------------------------------------------------------------------
// Which boxes show, and where

void TDashboardColumn::UpdateStatus() {
  flags_.Set(pfRouteActive, route_.Following);
  const bool automatic = flags_.Has(pfAutomatic);
  const bool editor = flags_.Has(pfRouteEditor);
  const bool active = flags_.Has(pfRouteActive);
  // 2. The positions' info boxes and movability.
  symbols_.UpdateShapeModes();

  if (!editor) {
    deleteWP_.setVisible(unlock_.isChecked() && !automatic);
    activateRoute_.setChecked(active);

    // The status buttons: the caption in red while the mode is off (a red
    // that still reads on the button at deep night levels).
    const QColor face = QApplication::palette().color(QPalette::Button);
    const QColor red = ToQColor(
        ReadableTextColour(colours_.red, FromQColor(face), colours_.palette[piBlack], colours_.palette[piWhite]));
    auto state = [&](QPushButton& b, int caption, bool on) {
      b.setText(Text(messages_[caption] + " " + messages_[on ? msgOn : msgOff]));
      QPalette pal = b.palette();
      pal.setColor(QPalette::ButtonText, on ? QApplication::palette().color(QPalette::ButtonText) : red);
      b.setPalette(pal);
    };
    state(autoButton_, msgAutomatic, automatic);
    if (chartsMenu_) chartsMenu_->menuAction()->setVisible(!automatic);
    pilotButton_.setVisible(active);
    // With tracking off and an old track on display, the button keeps the
    // caption it has.
    if (flags_.Has(pfTracking) || !openOld_.isChecked()) state(traceButton_, msgTrack, flags_.Has(pfTracking));
    state(pilotButton_, msgNmeaOut, flags_.Has(pfPilot));
  }
  toolsButton_.setVisible(!editor);
  fileButton_.setMenu(editor ? routeFileMenu_ : fileMenu_);

  TDashState s;
  s.automatic = automatic;
  s.routeEditor = editor;
  s.routeActive = active;
  s.depthShow = sys_.DepthShow;
  s.windShow = sys_.WindShow;
  s.compassShow = sys_.CompassShow;
  s.showLogData = sys_.ShowLogData;
  s.aisPanel = sys_.AISPanel;
  s.depthKnown = IsKnown(parser_.Info.Depth);
  s.windKnown = IsKnown(parser_.Info.TrueWindSpeed);
  s.compassKnown = IsKnown(parser_.Info.MagHeading);
  set_ = ChooseDashboardSet(s);
  LayoutDashboard();
}

void TDashboardColumn::LayoutDashboard() {
  const bool left = sys_.Dashboard == 0;
  collapseButton_.setText(left ? QStringLiteral("<<") : QStringLiteral(">>"));
  if (!expanded_) {
    for (QFrame* box : boxes_) box->hide();
    shadow_.hide();
    return;
  }
  TDashLayoutInput in;
  in.set = set_;
  for (int i = 0; i < kDashBoxCount; ++i) in.heights[i] = boxes_[i]->height();
  in.columnHeight = column_.height();
  in.gpsLost = nav_.Has(nfGpsLost);
  in.routeEditor = flags_.Has(pfRouteEditor);
  const TDashLayout l = LayoutDashboardBoxes(in);
  set_ = l.set;
  for (int i = 0; i < kDashBoxCount; ++i) {
    QFrame* box = boxes_[i];
    if (!l.shown[i]) {
      box->hide();
      continue;
    }
    box->setGeometry(kDashMargin, l.top[i], designWidth_ - 2 * kDashMargin, box->height());
    box->show();
  }
  // The shadow line on the chart side of the column.
  QPalette p = shadow_.palette();
  p.setColor(QPalette::Window, QApplication::palette().color(left ? QPalette::Shadow : QPalette::Light));
  shadow_.setPalette(p);
  shadow_.setGeometry(left ? column_.width() - 1 : 0, 0, 1, column_.height() + 10);
  shadow_.show();
  shadow_.raise();
}

void TDashboardColumn::ShowDashboard(bool expanded) {
  expanded_ = expanded;
  if (expanded) {
    column_.setFixedWidth(std::max(column_.width(), designWidth_));
    column_.setFrameShape(QFrame::NoFrame);
  } else {
    column_.setFixedWidth(3);
    column_.setFrameShape(QFrame::Panel);
    column_.setFrameShadow(QFrame::Raised);
  }
  // The chart area changes its width at once, and the chart's scroll
  // offset stays as it was (a window resize keeps the middle instead).
  chart_.KeepScrollOnResize(true);
  if (QLayout* body = column_.parentWidget() ? column_.parentWidget()->layout() : nullptr) body->activate();
  chart_.KeepScrollOnResize(false);
  // Expanded, the status decides which boxes show.
  if (expanded)
    window_.UpdateStatus();
  else
    LayoutDashboard();
  window_.RequestRepaint();
}

// ---------------------------------------------------------------------------
// The instrument menu

void TDashboardColumn::ResetCounterClick(TCounter which) {
  struct Counter {
    int question;
    const char* entry;
    double* value;
  };
  const Counter c = which == TCounter::Trip   ? Counter{msgResetTrip, "Reset Trip from ", &sys_.TrippDistance}
                    : which == TCounter::Time ? Counter{msgResetTime, "Reset Time from ", &sys_.TimeCounter}
                                              : Counter{msgResetFuel, "Reset Fuel from ", &sys_.FuelUsed};
  if (!AskYesNo(messages_[c.question])) return;
  // The old value goes to the log book first: a reset is never silent.
  logBook_.Log(c.entry + FloatToStrDot(*c.value), 7);
  *c.value = 0;
  RefreshLogTexts();
}

void TDashboardColumn::LogBookEntryClick() {
  const std::optional<std::string> line = window_.AskDialogText("Brismare ", "Log", "");
  if (line && !line->empty()) logBook_.Log(*line, 7);
}
