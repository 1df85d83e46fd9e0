// The plotter's two flag sets: the program state that every part of the main
// window reads (TPlotterFlags), and the navigation alarms that the update
// tick, the route follower and the AIS display write and the dashboard and
// the alarm sounds read (TNavFlags).
#pragma once

#include <cstdint>
#include <initializer_list>

// A small set of enumeration values, kept as bits.
template <class E>
class TFlagSet {
 public:
  constexpr TFlagSet() = default;
  constexpr TFlagSet(std::initializer_list<E> flags) {
    for (E f : flags) Include(f);
  }

  constexpr bool Has(E f) const { return (bits_ & Bit(f)) != 0; }
  constexpr void Include(E f) { bits_ |= Bit(f); }
  constexpr void Exclude(E f) { bits_ &= ~Bit(f); }
  constexpr void Set(E f, bool on) { on ? Include(f) : Exclude(f); }
  constexpr void Toggle(E f) { bits_ ^= Bit(f); }
  constexpr void Clear() { bits_ = 0; }
  constexpr bool Empty() const { return bits_ == 0; }
  constexpr uint32_t Bits() const { return bits_; }

  friend constexpr bool operator==(const TFlagSet&, const TFlagSet&) = default;

 private:
  static constexpr uint32_t Bit(E f) { return uint32_t{1} << static_cast<unsigned>(f); }
  uint32_t bits_ = 0;
};

enum TPlotterFlag : uint8_t {
  pfStarting,      // the window has not been shown yet
  pfChartLoaded,   // a chart has been loaded at least once
  pfChartLoading,  // a chart load is under way
  pfAutomatic,     // the view follows the boat and charts switch by themselves
  pfRouteEditor,   // the route editor is open
  pfRouteActive,   // the route is active (mirrors the route's own flag)
  pfTracking,      // track recording is on
  pfPilot,         // NMEA OUT: autopilot sentences are sent
  pfResized,       // the view must be rebuilt at the next tick
};
using TPlotterFlags = TFlagSet<TPlotterFlag>;

enum TNavFlag : uint8_t {
  nfGpsLost,         // no valid fix for longer than "GPS Timeout"
  nfNoDifferential,  // fix quality below 2
  nfDepthAlarm,      // the depth is known and below "Depth Alarm"
  nfXteAlarm,        // the cross-track error exceeds the leg's limit
  nfXteRight,        // ... on the right of the leg
  nfXteLeft,         // ... on the left of the leg
  nfNewWaypoint,     // a new waypoint waits for acknowledgement
  nfAisAlarm,        // an AIS target violates the CPA/TCPA limits
};
using TNavFlags = TFlagSet<TNavFlag>;
