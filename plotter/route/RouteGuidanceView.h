// Route guidance: activating and ending the route, the guidance boxes with
// the steering indicator, acknowledging a new waypoint, magnetic headings,
// and the route follower's alarms into the navigation flags. The values and
// their texts are plotter/core/RouteUi.h and plotter/core/RouteGuidance.h;
// route following itself is navobjects/Routes.h.
#pragma once

#include "platform/Clock.h"
#include "plotter/WindowServices.h"

class QAction;
class QFrame;
class QLabel;
class TNMEA;
class TNmeaOutput;
class TRoute;

class TRouteGuidanceView final : public TWindowFeature {
 public:
  // Wires the guidance boxes, "Activate Route" and the guidance menu.
  TRouteGuidanceView(const TWindowContext& c, TRoute& route, TRoute& positions, TNMEA& parser, TNmeaOutput& output);

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
  // The route follower's cross-track and new-waypoint alarms into the
  // navigation flags.
  void ApplyRouteAlarms();
  // When the route became active (UTC), for the elapsed time.
  double RouteStartTime() const { return routeStartTime_; }

 private:
  TRoute& route_;
  TRoute& positions_;
  TNMEA& parser_;
  TNmeaOutput& output_;
  QAction& activateRoute_;
  QFrame& goBox_;
  QLabel& xteLabel_;
  // The guidance fields, in the order of kGuidanceFields.
  QLabel* fields_[12];
  double routeStartTime_ = 0;
  TMonoTime routeStartMono_{};
};
