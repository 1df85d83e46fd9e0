// The plotter's heartbeat: the one-second update tick.
//
// Each tick, in a fixed order: moves received bytes into the NMEA parser and
// queued output out, sets the navigation alarms, reads the replay file or the
// network link, feeds the log counter and the track, runs route following
// and autopilot output, and every "Show Time" ticks refreshes the display
// (dead reckoning, automatic chart choice, redraw, the shared data line).
// Slower countdowns run AIS housekeeping and the magnetic variation (every
// 60 ticks) and the alarm sounds (every 5 ticks).
//
// The cycle is plain C++: the window, the ports, the chart view and the
// objects of route following, AIS and so on are reached through the small
// interfaces below, and time comes from an IClock. A test drives it with a
// manual clock, one second per tick, and fakes that record every call; the
// window drives it with a QTimer.
//
// Rules the cycle keeps whatever its parts do:
// - Every age and interval (GPS lost, dead reckoning, log counter, network
//   silence) is measured on the monotonic clock, so setting the system clock
//   (from GPS, by hand, or at a change of daylight saving time) neither
//   hides a lost GPS nor moves the dead-reckoned boat.
// - A tick that starts while one runs (a step let window events run)
//   returns at once; the busy flag is released on every path.
// - A step that throws is reported and the following steps still run:
//   alarms, sounds and autopilot output never stop because one part failed.
// - While the tick runs no message box can open: any text a part would show
//   in one goes to the message panel and the box takes its default answer.
//   A box would stop alarms and autopilot output until someone answered.
// - Measuring on the chart defers only the display update; alarms, sounds,
//   AIS and countdowns go on.
#pragma once

#include <map>
#include <optional>
#include <string>

#include "foundation/Types.h"
#include "platform/Clock.h"
#include "plotter/core/PlotterFlags.h"
#include "plotter/core/Replay.h"

struct RSysInfo;
struct TNMEAINFO;
class TNMEA;
class TNMEALineBuffer;
class ITickTimer;

// ---- the parts the tick drives ----

// The serial ports: received bytes of ports A, B and C into their line
// buffers, then the queued output (TNMEAINFO::OutBuffer) out to port A or
// the network link.
class ITickPorts {
 public:
  virtual ~ITickPorts() = default;
  virtual void PumpPorts() = 0;
};

// The network source ("NMEA_SIMUL" = "IP:host:port").
class ITickNetwork {
 public:
  virtual ~ITickNetwork() = default;
  // Network mode is on.
  virtual bool Active() const = 0;
  // The text received since the last call (never waits).
  virtual std::string Receive() = 0;
  // Starts a new connection; false when none can be made (network mode
  // then ends).
  virtual bool Reconnect() = 0;
  // Ends network mode and network output.
  virtual void End() = 0;
};

// The dashboard column.
class ITickDashboard {
 public:
  virtual ~ITickDashboard() = default;
  // Recomputes which boxes show and lays them out.
  virtual void UpdateStatus() = 0;
  // Depth, wind and compass texts; true when a box must appear or go.
  virtual bool RefreshInstrumentTexts() = 0;
  // Log, trip, engine hours and fuel texts.
  virtual void RefreshLogTexts() = 0;
  // Position, heading, speed, variation, fix time and talker, with the
  // alarm colour of the GPS and dead-reckoning boxes.
  virtual void RefreshGpsBox() = 0;
  // The marker box, when a marker is shown: its position, bearing and
  // distance from the boat.
  virtual void RefreshMarker() = 0;
  // Switches the NMEA input monitor off when its window has been hidden.
  virtual void CloseHiddenMonitor() = 0;
  // The estimated heading (whole degrees) and speed (whole knots) of the
  // dead-reckoning box; nullopt when the field does not hold a number.
  virtual std::optional<int> DRCourse() const = 0;
  virtual std::optional<int> DRSpeed() const = 0;
  virtual void SetDRCourse(int degrees) = 0;
  virtual void SetDRSpeed(int knots) = 0;
  // The dead-reckoning box shows `pos`; "Set DR Pos" is offered only in
  // dead-reckoning mode.
  virtual void ShowDeadReckoning(const TFPoint& pos, bool drMode) = 0;
};

// The chart view.
class ITickChartView {
 public:
  virtual ~ITickChartView() = default;
  // The window has been shown.
  virtual bool Shown() const = 0;
  // The user is measuring on the chart.
  virtual bool Measuring() const = 0;
  // The boat lies inside the current chart's border.
  virtual bool InsideCurrentChart(const TFPoint& pos) const = 0;
  // The catalog's best chart for the look-ahead point and the boat is
  // opened (nothing when it is the current chart).
  virtual void OpenBestChart(const TFPoint& lookAhead, const TFPoint& boat) = 0;
  // Centres the view on `pos`, shifted by (dx, dy) screen pixels.
  virtual void CentreOn(const TFPoint& pos, int dx, int dy) = 0;
  // Recomputes the boat's screen points; true when the boat moved on screen.
  virtual bool UpdateBoatPoints() = 0;
  // Rebuilds the view after a resize.
  virtual void UpdateView() = 0;
  virtual void Repaint() = 0;
  virtual bool RepaintRequested() const = 0;
  virtual void RequestRepaint() = 0;
  // Reads and clears the repaint request.
  virtual bool TakeRepaintRequest() = 0;
  // Size of the chart view in pixels.
  virtual TPoint ViewSize() const = 0;
};

// Route following.
class ITickRoute {
 public:
  virtual ~ITickRoute() = default;
  // The route's own active flag.
  virtual bool Active() const = 0;
  // Updates the guidance values of the navigation state.
  virtual void UpdateCycle() = 0;
  // True once after a new leg began.
  virtual bool WasLegChanged() = 0;
  virtual void RecolourSymbols() = 0;
  // The route boxes of the dashboard.
  virtual void ShowRouteValues() = 0;
};

// Output built from the navigation state.
class ITickOutput {
 public:
  virtual ~ITickOutput() = default;
  // The autopilot sentences; true when they were built (NMEA OUT on).
  virtual bool SendSteering() = 0;
  // The shared data line for other programs.
  virtual void PublishDataLine() = 0;
};

// AIS targets and their info window.
class ITickAis {
 public:
  virtual ~ITickAis() = default;
  // Frees the target info window when it has been hidden.
  virtual void FreeHiddenInfoWindow() = 0;
  // Screen positions of the targets.
  virtual void Reproject() = 0;
  // True once after the target list changed.
  virtual bool TakeChanged() = 0;
  // Refreshes the info window when it is visible.
  virtual void RefreshInfoWindow() = 0;
  // Hides targets not heard for `hideMinutes`, deletes those not heard for
  // `deleteMinutes`.
  virtual void Purge(int hideMinutes, int deleteMinutes) = 0;
  // The collision check, every tick whatever the chart and the window do:
  // sets or clears the AIS alarm.
  virtual void CheckAlarms() {}
};

// The magnetic model.
class ITickMagnetic {
 public:
  virtual ~ITickMagnetic() = default;
  // Declination (radians, east positive) at a decimal year, a position in
  // radians and an altitude in metres; nullopt when there is none.
  virtual std::optional<double> Declination(double year, double lon, double lat, double altitudeMetres) = 0;
};

// The track recorder: takes a point when its time, distance or course
// rules say so.
class ITickTrack {
 public:
  virtual ~ITickTrack() = default;
  virtual void Record(const TNMEAINFO& info) = 0;
};

// What the log counter reports for the time since its last reading.
struct TLogReading {
  double distanceNM = 0;
  // The average speed was above "Log Cutoff".
  bool moving = false;
  // Fuel used, in fuel units.
  double fuel = 0;
};

// The log counter.
class ITickLog {
 public:
  virtual ~ITickLog() = default;
  // One speed sample (knots) per tick.
  virtual void AddSpeed(double knots) = 0;
  // Reads and restarts the counter; `seconds` is the time since the last
  // reading.
  virtual TLogReading Read(double seconds) = 0;
};

// The alarm speaker: plays a sound file ("" plays the general sound).
class ITickSound {
 public:
  virtual ~ITickSound() = default;
  virtual void Play(const std::string& soundFile) = 0;
};

// The log book.
class ITickLogBook {
 public:
  virtual ~ITickLogBook() = default;
  virtual void Log(const std::string& text, int category) = 0;
};

// The message panel: shows a line of text without stopping anything.
class ITickMessages {
 public:
  virtual ~ITickMessages() = default;
  virtual void Show(const std::string& text) = 0;
};

// The parts; any may be null (that step then does nothing).
struct TTickParts {
  ITickPorts* ports = nullptr;
  ITickNetwork* network = nullptr;
  ITickDashboard* dashboard = nullptr;
  ITickChartView* chart = nullptr;
  ITickRoute* route = nullptr;
  ITickOutput* output = nullptr;
  ITickAis* ais = nullptr;
  ITickMagnetic* magnetic = nullptr;
  ITickTrack* track = nullptr;
  ITickLog* log = nullptr;
  ITickSound* sound = nullptr;
  ITickLogBook* logBook = nullptr;
  ITickMessages* messages = nullptr;
};

// ---- the cycle ----

// Timing rules.
inline constexpr int kAisRefreshTicks = 10;
inline constexpr int kSlowTicks = 60;
inline constexpr int kSoundTicks = 5;
inline constexpr int kFirstSoundTicks = 10;
// A chart stays this many ticks after it was loaded while the boat is on it.
inline constexpr int kChartHoldTicks = 20;
// The log counter is read at most this often (seconds).
inline constexpr double kLogReadSeconds = 10;
// The network link is made again after this much silence (seconds).
inline constexpr double kNetworkSilenceSeconds = 60;
// Dead reckoning moves the boat only for speeds below this (knots).
inline constexpr double kMaxDRSpeed = 200;
// The boat counts as moving from this speed over ground (knots).
inline constexpr double kMovingSpeed = 0.5;
// The look-ahead offset follows the course from this speed (knots) and
// when the course changed by more than this (radians).
inline constexpr double kLookAheadSpeed = 1.0;
inline constexpr double kLookAheadCourseChange = 0.17;
// GPS dates before this year are taken for a receiver's week-number
// rollover and never set the system clock.
inline constexpr int kEarliestGpsYear = 2024;

// The year with its fraction as the magnetic model takes it: the year plus
// the UTC day of the year divided by 365; none for a time no date fits.
std::optional<double> DecimalYear(TDateTime utc);

// The magnetic variation is computed again once the boat is this far from
// where it was computed (radians of arc, 30 nautical miles).
inline constexpr double kVariationDistance = 30 / kRadToNM;

// The log book category of "NMEA Error".
inline constexpr int kNmeaErrorCategory = 4;

class TUpdateCycle {
 public:
  // `sim` is the line buffer of the replay file and the network link (may
  // be null). Everything given must outlive the cycle.
  TUpdateCycle(TNMEA& parser, TNMEALineBuffer* sim, RSysInfo& settings, TPlotterFlags& flags, TNavFlags& nav,
               IClock& clock, const TTickParts& parts);
  TUpdateCycle(const TUpdateCycle&) = delete;
  TUpdateCycle& operator=(const TUpdateCycle&) = delete;

  // Every tick of `timer` runs Tick.
  void Attach(ITickTimer& timer);

  // One tick. Never throws.
  void Tick();
  bool Busy() const { return busy_; }

  // The boat's position before any fix of this run (the last position of
  // the previous run), so that dead reckoning starts there and not at 0/0.
  // Does nothing once a fix has come.
  void SeedPosition(const TFPoint& pos);
  // A chart was loaded: it now stays for kChartHoldTicks while the boat is
  // on it.
  void ChartLoaded() { ticksSinceChartLoad_ = 0; }
  // The AIS targets were placed anew (a zoom): the next refresh waits its
  // full count.
  void AisReprojected() { aisCountdown_ = kAisRefreshTicks; }
  // Chart choice for the boat (AUTOMATIC, the "best chart" commands); the
  // search waits while a fresh chart still holds the boat unless forced.
  void AutoChartSwitch(bool forced);

  // ---- state, for the window and for tests ----
  int TicksSinceChartLoad() const { return ticksSinceChartLoad_; }
  int DisplayCounter() const { return displayCounter_; }
  int AutopilotCounter() const { return autopilotCounter_; }
  int AisCountdown() const { return aisCountdown_; }
  int SlowCountdown() const { return slowCountdown_; }
  int SoundCountdown() const { return soundCountdown_; }
  bool DeadReckoning() const { return drMode_; }
  bool Moving() const { return moving_; }
  TPoint LookAheadOffset() const { return lookAheadOffset_; }
  // Ticks that found the cycle busy and returned at once.
  int NestedTicks() const { return nestedTicks_; }
  // Steps that threw, all told.
  int StepFailures() const { return stepFailures_; }

 private:
  // Runs one step; an exception is reported and the tick goes on.
  template <class F>
  void Step(const char* name, F&& f);
  void Report(const char* step, const std::string& what);
  void SetAlarms();
  // No fix yet, or none for longer than "GPS Timeout" seconds.
  bool FixLost() const;
  void ReadSourcesWithoutPort();
  void InstrumentBoxes();
  void DisplayUpdate();
  void DeadReckonStep(bool drMode);
  void SetClockFromGps();
  void Countdowns();
  void AlarmSound();
  double SecondsSince(TMonoTime t) const;

  TNMEA& parser_;
  TNMEAINFO& info_;
  TNMEALineBuffer* sim_;
  RSysInfo& settings_;
  TPlotterFlags& flags_;
  TNavFlags& nav_;
  IClock& clock_;
  TTickParts parts_;

  bool busy_ = false;
  int ticksSinceChartLoad_ = 0;
  int displayCounter_ = 0;
  int autopilotCounter_ = 0;
  int aisCountdown_ = 0;
  int slowCountdown_ = 0;
  int soundCountdown_ = kFirstSoundTicks;
  // Monotonic time of the last dead-reckoning step; none before the first.
  std::optional<TMonoTime> lastDRTime_;
  bool drMode_ = false;
  bool moving_ = false;
  TPoint lookAheadOffset_;
  double lookAheadCourse_ = 0;
  TMonoTime lastLogRead_;
  // The fix the magnetic variation was last computed for.
  std::optional<TFPoint> variationPos_;
  // Start of the network link's present silence.
  std::optional<TMonoTime> networkQuietSince_;
  int nestedTicks_ = 0;
  int stepFailures_ = 0;
  // The failure last shown per step: a step failing every second is shown
  // once until its message changes.
  std::map<std::string, std::string, std::less<>> lastFailure_;
};
