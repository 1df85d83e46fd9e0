// Route following: the leg the boat is on, the bearing, range, cross-track
// error and time to go to its destination, when a waypoint counts as
// reached, and what happens when the boat leaves the route.
//
// Everything is driven by the update tick (UpdateCycle once a tick) and the
// user's commands, on the main thread; no clock is read here. The results
// go to the navigation state record, where the dashboard and the NMEA
// output read them.
//
// The maths is kept total: no input (an empty route, a single point, NaN
// positions, unknown speed or heading) throws or produces a value the
// readers could take for data. Whatever cannot be computed ends following
// quietly (Following and RouteActive false; the last values stay in the
// record until the next Stop).
#include <algorithm>
#include <cmath>
#include <exception>
#include <string>

#include "foundation/GenUtil.h"
#include "instruments/NMEAInfo.h"
#include "navobjects/LogBook.h"
#include "navobjects/Routes.h"

namespace {

// The range a new leg starts its closest approach from (radians of arc;
// more than any range on the earth).
constexpr double kFarRange = 10.0;

// The speed over ground for the time to go: unknown, NaN or negative counts
// as standing still (the time to go is then the longest shown).
double SpeedOrZero(double sog) { return IsKnown(sog) && sog > 0 ? sog : 0; }

// An unknown variation counts as 0: the magnetic bearings equal the true.
double VariationOrZero(double v) { return IsKnown(v) && std::isfinite(v) ? v : 0; }

bool IsFinite(const TFPoint& p) { return std::isfinite(p.X) && std::isfinite(p.Y); }

// The waypoint identifier of the autopilot sentences: the number from 1 as
// two digits, "-" and the cleaned name; in the numeric mode the number only.
std::string WaypointId(int index, const std::string& name, int mode) {
  if (mode == dnNumeric) return std::to_string(index + 1);
  return IntToStrPad(index + 1, '0', 2) + "-" + MakeDeviceName(name, mode);
}

}  // namespace

// ---------------------------------------------------------------------------
// Helpers

void TRoute::LogRoute(const std::string& message, int category, bool once) const {
  if (!LogBook) return;
  if (once)
    LogBook->LogOnce(message, category);
  else
    LogBook->Log(message, category);
}

// The points go back to the user: unselected, unlocked and as enabled as
// the collection is (the window applies its modes again afterwards).
void TRoute::ReleasePoints() {
  for (auto& s : shapes_) {
    s->Selected = false;
    s->Locked = false;
    s->Enabled = Enabled();
  }
  StyleAll();
}

// Following ends without the ending's bookkeeping: the values in the record
// stay as they were, the alarms that depended on them are dropped.
void TRoute::EndQuietly(TNMEAINFO& nav) {
  Following = false;
  nav.RouteActive = false;
  Alarms.XteAlarm = Alarms.XteRight = Alarms.XteLeft = false;
  ReleasePoints();
}

// ---------------------------------------------------------------------------
// The operations

void TRoute::Start(TNMEAINFO& nav, bool allowReverse) {
  const bool wasFollowing = Following;
  // No destination of an earlier run survives a start, so nothing stale is
  // followed or named (an ending is logged only with a destination).
  Dest = nullptr;
  nav.RouteActive = false;
  Following = false;
  try {
    if (Count() < 2) {
      if (wasFollowing) EndQuietly(nav);
      return;
    }
    const TFPoint pos = nav.Pos;
    // Leg look-ups ignore the editor's append mode: how points are added to
    // the route must not steer navigation.
    if (allowReverse && Count() > 2 && LegIndexFor(pos, true) >= Count() - 1) Reverse();
    TNavShape* d = At(LegIndexFor(pos, true));
    if (!d) {
      // Past the last point. For a route being followed (a re-acquisition)
      // that is the end of the route, logged at its last point.
      if (wasFollowing) {
        Dest = Last();
        Following = true;
      }
      Stop(nav);
      return;
    }
    // The destination starts at the leg's origin; NextWaypoint below moves
    // it to the leg's end. A boat before the first point is led along the
    // first leg, not to the first point.
    Dest = d->Prev() ? d->Prev() : d;
    Following = true;
    nav.RouteActive = true;
    for (auto& s : shapes_) {
      s->Enabled = false;
      s->Locked = true;
    }
    // The user's activation is logged every time; a re-acquisition by the
    // "once" rule, so that a boat wandering about a leg does not fill the
    // log book.
    LogRoute("Route Started at " + NameOf(Dest->Index), kLogRoute, !allowReverse);
    // NextWaypoint computes the leg's values (Update) itself.
    NextWaypoint(nav);
  } catch (const std::exception&) {
    EndQuietly(nav);
  }
}

bool TRoute::NextWaypoint(TNMEAINFO& nav) {
  // Nothing to move along (the acknowledge command after the end).
  if (!Following) return false;
  try {
    LegChanged = true;
    if (Follow.WaypointAck) Alarms.NewWaypoint = true;
    TNavShape* next = Dest ? Dest->Next() : nullptr;
    if (!next) {
      Stop(nav);
      return false;
    }
    Dest = next;
    Select(Dest);
    LogRoute("Route Next WP at " + NameOf(Dest->Index), kLogNextWaypoint, false);

    const TNavShape& origin = *Dest->Prev();  // Dest was the point before
    nav.MinRange = kFarRange;
    nav.OriginPos = origin.Position;
    nav.DestPos = Dest->Position;
    nav.OriginIndex = origin.Index;
    nav.DestIndex = Dest->Index;
    nav.OriginId = WaypointId(origin.Index, origin.Caption, Options.DeviceNameMode);
    nav.DestId = WaypointId(Dest->Index, Dest->Caption, Options.DeviceNameMode);
    nav.DestName = Dest->Caption.empty() ? "WP-" + std::to_string(Dest->Index + 1) : Dest->Caption;

    if (!IsFinite(nav.OriginPos) || !IsFinite(nav.DestPos)) {
      EndQuietly(nav);
      return false;
    }
    nav.BOD = GeoDistBearing(nav.OriginPos, nav.DestPos).Y;
    nav.BODMag = nav.BOD - VariationOrZero(nav.Variation);
    // Without a next point there is no next bearing (0 would read as north).
    const TNavShape* after = Dest->Next();
    nav.NextLegBearing =
        after && IsFinite(after->Position) ? GeoDistBearing(nav.DestPos, after->Position).Y : NoDataValue;
    nav.RouteRemain2 = RouteLength(Dest->Index, Count() - 1);
    nav.RouteRemain1 = RouteTime(Dest->Index, Count() - 1);
    NormAngle(nav.BOD);
    NormAngle(nav.BODMag);
    Update(nav);
  } catch (const std::exception&) {
    EndQuietly(nav);
  }
  return Following;
}

void TRoute::Update(TNMEAINFO& nav) {
  if (!Following) return;
  if (!Dest) {
    EndQuietly(nav);
    return;
  }
  const TFPoint db = GeoDistBearing(nav.Pos, nav.DestPos);
  const double range = db.X, bearing = db.Y;
  if (!std::isfinite(range) || !std::isfinite(bearing) || !std::isfinite(nav.BOD)) {
    EndQuietly(nav);
    return;
  }
  nav.RangeToDest = range;
  nav.BearingToDest = bearing;
  nav.BearingToDestMag = bearing - VariationOrZero(nav.Variation);
  NormAngle(nav.BearingToDest);
  NormAngle(nav.BearingToDestMag);
  // The leg's magnetic bearing with the variation of now: the variation
  // known when the leg began may have been a first guess (the model's at
  // the last run's position, before the first fix).
  nav.BODMag = nav.BOD - VariationOrZero(nav.Variation);
  NormAngle(nav.BODMag);

  const double sog = SpeedOrZero(nav.SOG);
  // TimeToGo gives the longest time shown for no speed; a crawl must not
  // give more either (the dashboard adds and converts it).
  nav.TimeToDest = std::min(TimeToGo(range, sog), kMaxTimeToGoDays);
  // Positive when the boat is right of the leg, looking along it.
  nav.XTE = std::sin(nav.BOD - bearing) * range;
  // Without a heading there is no speed made good.
  nav.VMGToDest =
      IsKnown(nav.Heading) && std::isfinite(nav.Heading) ? std::cos(nav.Heading - bearing) * sog : NoDataValue;

  // A leg without a limit of its own (0 or less, as old route files and
  // points made without one carry) takes "Default XTE"; otherwise every
  // metre off the line would be an alarm. Without any limit: no alarm.
  double limit = Dest->LegXTE;
  if (!(limit > 0)) limit = Options.DefaultXTE;
  if (limit > 0) {
    Alarms.XteAlarm = std::fabs(nav.XTE) > limit;
    Alarms.XteRight = nav.XTE > limit;
    Alarms.XteLeft = nav.XTE < -limit;
  } else {
    Alarms.XteAlarm = Alarms.XteRight = Alarms.XteLeft = false;
  }
  if (Alarms.XteAlarm) LogRoute("XTE Error", kLogXteError, true);

  if (!(nav.MinRange <= range)) nav.MinRange = range;
}

void TRoute::UpdateCycle(TNMEAINFO& nav) {
  nav.RouteActive = Following;
  if (!Following) return;
  try {
    // The destination was freed (the route cleared, the point deleted):
    // following ends, and nothing freed is named or touched.
    if (!Dest) {
      Stop(nav);
      return;
    }
    Update(nav);

    // Arrival by time: the boat gets there within "Route Preload" seconds.
    if (Following && Follow.PreloadSeconds / 86400.0 > nav.TimeToDest) NextWaypoint(nav);

    // Leaving the waypoint: the range has grown by more than "Route Force"
    // since the closest approach. On the last leg the route ends; otherwise
    // the route is taken up again at the leg the boat is on, when that is
    // another one.
    if (Following && Dest && nav.MinRange + Follow.Force < nav.RangeToDest) {
      if (!Dest->Next())
        Stop(nav);
      else if (LegIndexFor(nav.Pos, true) != Dest->Index)
        Start(nav, false);
    }

    // Passing the waypoint: the boat is on the next leg and moving away.
    if (Following && Dest && LegIndexFor(nav.Pos, true) == Dest->Index + 1 && nav.RangeToDest > nav.MinRange)
      NextWaypoint(nav);
  } catch (const std::exception&) {
    EndQuietly(nav);
  }
  nav.RouteActive = Following;
}

void TRoute::Stop(TNMEAINFO& nav) {
  // Only a route being followed ends; a destination still set is alive
  // (freed points are forgotten), so its name can be logged.
  const TNavShape* ended = Following ? Dest : nullptr;
  Following = false;
  Alarms.XteAlarm = Alarms.XteRight = Alarms.XteLeft = false;
  nav.NextLegBearing = NoDataValue;
  nav.RangeToDest = NoDataValue;
  nav.TimeToDest = NoDataValue;
  nav.RouteRemain1 = NoDataValue;
  nav.RouteRemain2 = NoDataValue;
  nav.RouteActive = false;
  ReleasePoints();
  if (ended) {
    try {
      LogRoute("Route Ending at " + NameOf(ended->Index), kLogRoute, false);
    } catch (const std::exception&) {
      // The log entry is lost; following has ended all the same.
    }
  }
}

bool TRoute::WasLegChanged() {
  const bool changed = LegChanged;
  LegChanged = false;
  return changed;
}
