#include "plotter/route/RouteGuidanceView.h"

#include <QAction>
#include <QApplication>
#include <QFrame>
#include <QLabel>
#include <QMenu>
#include <QPushButton>

#include <chrono>
#include <string>

#include "instruments/NMEA.h"
#include "instruments/NMEAOutput.h"
#include "navobjects/Routes.h"
#include "plotter/core/RouteGuidance.h"
#include "plotter/core/RouteUi.h"
#include "plotter/core/SysInfo.h"
#include "plotter/dashboard/DashboardColumn.h"
#include "plotter/output/NmeaOutput.h"
#include "sharedui/DialogSupport.h"

namespace {

QString Q(const std::string& s) { return QString::fromStdString(s); }

// The guidance fields and what each is.
constexpr std::pair<const char*, const char*> kGuidanceFields[12] = {
    {"DBRteWPID", "Waypoint Id"},
    {"DBRteBWR", "Bearing to waypoint, Rumb Line"},
    {"DBRteBOD", "Bearing, Origin to Destination waypoint"},
    {"DBRteRNG", "Range to next waypoint"},
    {"DBRteTRNG", "Total range left"},
    {"DBRteXTE", "Crosstrack Error"},
    {"DBRteTTG", "Time  to next waypoint"},
    {"DBRteTTTG", "Total time left"},
    {"DBRteNEXT", "Next Bearing"},
    {"DBRteTIME", "Elapsed time"},
    {"DBRteWCV", "Waypoint Closure Velocity"},
    {"DBRteHINT", "Steering Indicator"},
};
constexpr int kXteField = 5;

}  // namespace

TRouteGuidanceView::TRouteGuidanceView(const TWindowContext& c, TRoute& route, TRoute& positions, TNMEA& parser,
                                       TNmeaOutput& output)
    : TWindowFeature(c),
      route_(route),
      positions_(positions),
      parser_(parser),
      output_(output),
      activateRoute_(Item("ActivateRoute1")),
      goBox_(Widget<QFrame>("DB_ROUTE_GO")),
      xteLabel_(Widget<QLabel>("XTELabel")) {
  for (int i = 0; i < 12; ++i) {
    fields_[i] = &Widget<QLabel>(kGuidanceFields[i].first);
    fields_[i]->setToolTip(QString::fromUtf8(kGuidanceFields[i].second));
  }
  QObject::connect(&Widget<QPushButton>("RteActBtn"), &QPushButton::clicked, &links_, [this] { RteActBtnClick(); });
  ::OnDoubleClick(fields_[11], [this] { DBRteHINTDblClick(); });
  QMenu* popup = window_.SubMenu("RteGoPopup");
  QObject::connect(&goBox_, &QWidget::customContextMenuRequested, &links_, [this, popup](const QPoint& pos) {
    if (popup) popup->popup(goBox_.mapToGlobal(pos));
  });
  WireCommand("ActivateRoute1", [this] { RteActBtnClick(); });
  WireCommand("DeactivateRoute1", [this] { DeactivateRoute1Click(); });
  WireCommand("AcknowledgeNewWP1", [this] { DBRteHINTDblClick(); });
  WireCommand("ShowMagneticHeadings1", [this] { ShowMagneticHeadings1Click(); });
}

void TRouteGuidanceView::RteActBtnClick() {
  const bool wasActive = route_.Following;
  const TActivation result = ToggleRoute(route_, parser_.Info, nav_.Has(nfGpsLost));
  // The menu item ticks itself when chosen: its tick is the route's state,
  // also when the activation was refused.
  activateRoute_.setChecked(route_.Following);
  switch (result) {
    case TActivation::Empty:
      return;
    case TActivation::NoPosition:
      window_.ShowNotice("The route was not activated: there is no position from the GPS");
      return;
    case TActivation::Started:
      routeStartTime_ = Clock().NowUTC();
      routeStartMono_ = Clock().MonoNow();
      // "WPL + RTE": the whole route goes to the instruments at once.
      if ((sys_.AutoPMsg & kAutopRoute) != 0) output_.SendRoute();
      break;
    case TActivation::Stopped:
      break;
  }
  ApplyRouteAlarms();
  flags_.Set(pfRouteActive, route_.Following);
  if (wasActive != route_.Following || route_.Following) ShowRouteValues();
  window_.UpdateStatus();
  positions_.StyleAll();
  window_.RequestRepaint();
}

void TRouteGuidanceView::DeactivateRoute1Click() {
  if (route_.Following) RteActBtnClick();
}

void TRouteGuidanceView::DBRteHINTDblClick() {
  // The new waypoint is seen: only the flag goes (the route does not move
  // on again).
  route_.Alarms.NewWaypoint = false;
  nav_.Exclude(nfNewWaypoint);
  ShowRouteValues();
}

void TRouteGuidanceView::ShowMagneticHeadings1Click() {
  if (QAction* a = window_.MenuItem("ShowMagneticHeadings1")) sys_.RteMagDisp = a->isChecked();
  ShowRouteValues();
}

void TRouteGuidanceView::ApplyRouteAlarms() {
  const TRouteAlarms& a = route_.Alarms;
  nav_.Set(nfXteAlarm, a.XteAlarm);
  nav_.Set(nfXteRight, a.XteRight);
  nav_.Set(nfXteLeft, a.XteLeft);
  // A new waypoint waits for its acknowledgement, which clears both.
  if (a.NewWaypoint) nav_.Include(nfNewWaypoint);
}

void TRouteGuidanceView::ShowRouteValues() {
  output_.UpdateSteering();
  const TSteering steering = ComputeSteering(parser_.Info, output_.SteeringOffset());
  // Elapsed time on the monotonic clock: a clock set from the GPS while
  // the route runs does not change it.
  const double elapsed =
      route_.Following ? std::chrono::duration<double>(Clock().MonoNow() - routeStartMono_).count() / 86400.0 : -1;
  const TRouteValueTexts t = FormatRouteValues(parser_.Info, sys_.RteMagDisp, elapsed, steering.indicator);
  const std::string* const texts[12] = {&t.wpId, &t.bwr, &t.bod,  &t.rng,  &t.trng, &t.xte,
                                        &t.ttg,  &t.tttg, &t.next, &t.time, &t.wcv,  &t.hint};
  for (int i = 0; i < 12; ++i) fields_[i]->setText(Q(*texts[i]));
  // The cross-track error in the alarm colour while it is too large, the
  // box while a new waypoint waits for its acknowledgement.
  const QColor face = QApplication::palette().color(QPalette::Window);
  auto colour = [&](QWidget& w, bool alarm) {
    QPalette pal = w.palette();
    pal.setColor(QPalette::Window, alarm ? AlarmColour(colours_, true) : face);
    w.setPalette(pal);
    w.setAutoFillBackground(alarm);
  };
  colour(*fields_[kXteField], nav_.Has(nfXteAlarm));
  colour(xteLabel_, nav_.Has(nfXteAlarm));
  colour(goBox_, nav_.Has(nfNewWaypoint));
}
