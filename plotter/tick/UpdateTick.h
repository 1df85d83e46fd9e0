// The window's side of the one-second update cycle (plotter/core/
// UpdateCycle.h): the parts through which the tick reaches the ports, the
// dashboard, the chart view, route following, output, AIS, the track and
// the objects the window owns; and "Set &DR Pos".
#pragma once

#include <memory>

#include "plotter/WindowServices.h"

class QLineEdit;
class TAisView;
class TChartDisplay;
class TDashboardColumn;
class TLOGGBOOK;
class TLogDist;
class TMagError;
class TNMEA;
class TNMEALineBuffer;
class TNmeaMonitors;
class TNmeaOutput;
class TPortLinks;
class TPosEdit;
class TRoute;
class TRouteGuidanceView;
class TSpeaker;
class TTrackView;
class TUpdateCycle;

// Milliseconds between ticks: 1000. For tests only, the environment variable
// BRISMARE_TICK_MS (10 to 1000) runs the cycle faster; every age and
// interval (GPS lost, dead reckoning, log counter) is still measured in real
// time.
int TickIntervalMs();

class TUpdateTick final : public TWindowFeature {
 public:
  // What the tick drives. Any may be null (its start step failed): the
  // cycle's step for it then does nothing.
  struct TParts {
    TPortLinks* ports = nullptr;
    TDashboardColumn* dashboard = nullptr;
    TChartDisplay* chart = nullptr;
    TRouteGuidanceView* guidance = nullptr;
    TNmeaOutput* output = nullptr;
    TAisView* ais = nullptr;
    TTrackView* track = nullptr;
    TNmeaMonitors* monitors = nullptr;
    TRoute* route = nullptr;
    TMagError* magnetic = nullptr;
    TLogDist* log = nullptr;
    TSpeaker* speaker = nullptr;
    TLOGGBOOK* logBook = nullptr;
  };
  // `sim` is the line buffer of the replay file and the network link (may
  // be null). Dead reckoning starts where the boat was at the end of the
  // last run. Wires "Set &DR Pos".
  TUpdateTick(const TWindowContext& c, TNMEA& parser, TNMEALineBuffer* sim, const TParts& parts);
  ~TUpdateTick();

  TUpdateCycle& Cycle() { return *cycle_; }
  // "Set &DR Pos": the dead-reckoned boat to the position under the mouse.
  void DRUpdateClick();

 private:
  struct Adapters;
  TNMEA& parser_;
  TParts parts_;
  TPosEdit& drLat_;
  TPosEdit& drLong_;
  std::unique_ptr<Adapters> adapters_;
  std::unique_ptr<TUpdateCycle> cycle_;
};
