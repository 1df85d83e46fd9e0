// The update tick driven by a manual clock, one second per tick, with fakes
// for every part it drives.
#include "plotter/core/UpdateCycle.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <fstream>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "TestSupport.h"
#include "foundation/GenUtil.h"
#include "instruments/NMEA.h"
#include "instruments/NMEATestUtil.h"
#include "platform/Questions.h"
#include "plotter/RmcText.h"
#include "plotter/core/SysInfo.h"
#include "plotter/core/TickTimer.h"

namespace {

using namespace std::chrono_literals;

// The replay file shipped with the tests: 120 fixes one second apart (RMC
// then DPT), from 57°40.0000'N 011°40.0000'E at 6 knots on 045°, the depth
// falling from 8.0 to 3.0 m.
std::string ReplayFile() { return std::string(BRISMARE_SOURCE_DIR) + "/tests/plotter/data/replay_vinga.nmea"; }

std::vector<std::string> ReplayLines() {
  std::ifstream in(ReplayFile());
  std::vector<std::string> lines;
  for (std::string l; std::getline(in, l);) {
    if (!l.empty() && l.back() == '\r') l.pop_back();
    lines.push_back(l);
  }
  return lines;
}

// Latitude and longitude (radians) of an RMC line.
// ---- fakes; every call goes into one trace ----

using TTrace = std::vector<std::string>;

struct TFakePorts final : ITickPorts {
  TTrace& trace;
  explicit TFakePorts(TTrace& t) : trace(t) {}
  std::function<void()> onPump;
  void PumpPorts() override {
    trace.push_back("pump");
    if (onPump) onPump();
  }
};

struct TFakeDashboard final : ITickDashboard {
  TTrace& trace;
  const TNMEAINFO& info;
  TFakeDashboard(TTrace& t, const TNMEAINFO& i) : trace(t), info(i) {}
  std::optional<int> course, speed;
  std::string gpsText, drText;
  bool drMode = false;
  int statusUpdates = 0, gpsRefreshes = 0, drShows = 0, logRefreshes = 0;
  std::function<void()> onGpsBox;
  void UpdateStatus() override {
    ++statusUpdates;
    trace.push_back("status");
  }
  bool RefreshInstrumentTexts() override { return false; }
  void RefreshLogTexts() override { ++logRefreshes; }
  void RefreshGpsBox() override {
    ++gpsRefreshes;
    trace.push_back("gps box");
    gpsText = LatToStr(info.Pos.Y) + " " + LonToStr(info.Pos.X);
    if (onGpsBox) onGpsBox();
  }
  void RefreshMarker() override {}
  void CloseHiddenMonitor() override {}
  std::optional<int> DRCourse() const override { return course; }
  std::optional<int> DRSpeed() const override { return speed; }
  void SetDRCourse(int degrees) override { course = degrees; }
  void SetDRSpeed(int knots) override { speed = knots; }
  void ShowDeadReckoning(const TFPoint& pos, bool dr) override {
    ++drShows;
    drMode = dr;
    drText = PosToMaskText(false, pos.Y) + " " + PosToMaskText(true, pos.X);
    trace.push_back(dr ? "dead reckoning" : "dr fields");
  }
};

struct TFakeChart final : ITickChartView {
  TTrace& trace;
  explicit TFakeChart(TTrace& t) : trace(t) {}
  bool shown = true, measuring = false, inside = true, boatMoved = false, repaintRequested = false;
  int repaints = 0;
  TPoint size{900, 600};
  std::vector<TFPoint> lookAheads;
  TPoint lastOffset;
  std::function<void()> onOpen;
  bool Shown() const override { return shown; }
  bool Measuring() const override { return measuring; }
  bool InsideCurrentChart(const TFPoint&) const override { return inside; }
  void OpenBestChart(const TFPoint& lookAhead, const TFPoint&) override {
    trace.push_back("chart choice");
    lookAheads.push_back(lookAhead);
    if (onOpen) onOpen();
  }
  void CentreOn(const TFPoint&, int dx, int dy) override { lastOffset = {dx, dy}; }
  bool UpdateBoatPoints() override { return boatMoved; }
  void UpdateView() override { trace.push_back("update view"); }
  void Repaint() override {
    ++repaints;
    trace.push_back("repaint");
  }
  bool RepaintRequested() const override { return repaintRequested; }
  void RequestRepaint() override { repaintRequested = true; }
  bool TakeRepaintRequest() override { return std::exchange(repaintRequested, false); }
  TPoint ViewSize() const override { return size; }
};

struct TFakeRoute final : ITickRoute {
  TTrace& trace;
  explicit TFakeRoute(TTrace& t) : trace(t) {}
  bool active = false;
  bool Active() const override { return active; }
  void UpdateCycle() override { trace.push_back("route"); }
  bool WasLegChanged() override { return false; }
  void RecolourSymbols() override {}
  void ShowRouteValues() override {}
};

struct TFakeOutput final : ITickOutput {
  TTrace& trace;
  explicit TFakeOutput(TTrace& t) : trace(t) {}
  bool builds = false;
  bool SendSteering() override {
    trace.push_back("steering");
    return builds;
  }
  void PublishDataLine() override { trace.push_back("data line"); }
};

struct TFakeAis final : ITickAis {
  TTrace& trace;
  explicit TFakeAis(TTrace& t) : trace(t) {}
  void FreeHiddenInfoWindow() override {}
  void Reproject() override { trace.push_back("ais"); }
  bool TakeChanged() override { return false; }
  void RefreshInfoWindow() override {}
  void Purge(int, int) override { trace.push_back("ais purge"); }
};

struct TFakeMagnetic final : ITickMagnetic {
  std::vector<double> years;
  std::optional<double> Declination(double year, double, double, double altitude) override {
    years.push_back(year);
    EXPECT_EQ(altitude, 100);
    return Rad(4.5);
  }
};

struct TFakeTrack final : ITickTrack {
  int points = 0;
  std::function<void()> onRecord;
  void Record(const TNMEAINFO&) override {
    ++points;
    if (onRecord) onRecord();
  }
};

struct TFakeLog final : ITickLog {
  double sum = 0;
  int samples = 0;
  std::vector<double> readIntervals;
  TLogReading reading{0.5, true, 0.25};
  void AddSpeed(double knots) override {
    sum += knots;
    ++samples;
  }
  TLogReading Read(double seconds) override {
    readIntervals.push_back(seconds);
    return reading;
  }
};

struct TFakeSound final : ITickSound {
  TTrace& trace;
  explicit TFakeSound(TTrace& t) : trace(t) {}
  void Play(const std::string& file) override { trace.push_back("sound " + file); }
};

struct TFakeLogBook final : ITickLogBook {
  std::vector<std::string> entries;
  void Log(const std::string& text, int category) override {
    entries.push_back(text + "/" + std::to_string(category));
  }
};

struct TFakeMessages final : ITickMessages {
  std::vector<std::string> shown;
  void Show(const std::string& text) override { shown.push_back(text); }
};

struct TFakeNetwork final : ITickNetwork {
  TTrace& trace;
  explicit TFakeNetwork(TTrace& t) : trace(t) {}
  bool on = true, reconnectWorks = true;
  std::vector<std::string> incoming;
  bool Active() const override { return on; }
  std::string Receive() override {
    if (incoming.empty()) return "";
    std::string s = incoming.front();
    incoming.erase(incoming.begin());
    return s;
  }
  bool Reconnect() override {
    trace.push_back("reconnect");
    return reconnectWorks;
  }
  void End() override {
    trace.push_back("network off");
    on = false;
  }
};

class UpdateCycleTest : public ::testing::Test {
 protected:
  UpdateCycleTest() {
    settings.WarningSound = true;
    settings.SoundNMEA = "nmea.wav";
    settings.SoundDpt = "depth.wav";
    settings.SoundAISCPA = "ais.wav";
    settings.SoundXTER = "xter.wav";
    settings.SoundXTEL = "xtel.wav";
  }

  TUpdateCycle& Cycle(bool withNetwork = false) {
    TTickParts p;
    p.ports = &ports;
    p.network = withNetwork ? &network : nullptr;
    p.dashboard = &dash;
    p.chart = &chart;
    p.route = &route;
    p.output = &output;
    p.ais = &ais;
    p.magnetic = &magnetic;
    p.track = &track;
    p.log = &log;
    p.sound = &sound;
    p.logBook = &logBook;
    p.messages = &messages;
    cycle = std::make_unique<TUpdateCycle>(parser, &sim, settings, flags, nav, clock, p);
    cycle->Attach(timer);
    return *cycle;
  }
  // One second passes, then the timer fires.
  void Tick(int n = 1) {
    for (int i = 0; i < n; ++i) {
      clock.Advance(1s);
      timer.Fire();
    }
  }
  void Send(const std::string& body) {
    buffer.FeedText(Nmea(body));
    buffer.FeedText("\r\n");
  }
  void Fix() { Send("GPRMC,120000,A,5740.000,N,01140.000,E,5.0,90.0,140625,,,A"); }
  int Count(const std::string& what) const { return static_cast<int>(std::count(trace.begin(), trace.end(), what)); }

  TManualClock clock;
  TNMEALineBuffer buffer{nullptr, clock};
  TNMEA& parser = buffer.Parser();
  TNMEAINFO& info = parser.Info;
  TNMEALineBuffer sim{&parser, clock};
  RSysInfo settings;
  TPlotterFlags flags;
  TNavFlags nav;
  TManualTickTimer timer;
  TTrace trace;
  TFakePorts ports{trace};
  TFakeNetwork network{trace};
  TFakeDashboard dash{trace, info};
  TFakeChart chart{trace};
  TFakeRoute route{trace};
  TFakeOutput output{trace};
  TFakeAis ais{trace};
  TFakeMagnetic magnetic;
  TFakeTrack track;
  TFakeLog log;
  TFakeSound sound{trace};
  TFakeLogBook logBook;
  TFakeMessages messages;
  std::unique_ptr<TUpdateCycle> cycle;
};

TEST_F(UpdateCycleTest, ReplayFileDrivesTheDashboard) {
  const std::vector<std::string> lines = ReplayLines();
  ASSERT_EQ(lines.size(), 240u);
  settings.NmeaSimulReads = 1;  // two lines a tick: one fix and its depth
  settings.ShowTime = 5;
  settings.DepthAlarm = 5;
  ASSERT_TRUE(sim.OpenReplay(ReplayFile()));
  Cycle();

  Tick(10);
  // Ten fixes read, the last one shown.
  const TFPoint tenth = RmcPosition(lines[18]);
  EXPECT_EQ(dash.gpsText, LatToStr(tenth.Y) + " " + LonToStr(tenth.X));
  EXPECT_NEAR(info.SOG, 6.0, 1e-9);
  EXPECT_FALSE(nav.Has(nfGpsLost));
  // Two display updates; the dead-reckoning box follows the GPS.
  EXPECT_EQ(dash.drShows, 2);
  EXPECT_FALSE(dash.drMode);
  EXPECT_EQ(dash.course, 45);
  EXPECT_EQ(dash.speed, 6);
  EXPECT_EQ(dash.drText, PosToMaskText(false, tenth.Y) + " " + PosToMaskText(true, tenth.X));
  EXPECT_NEAR(settings.LastLat, tenth.Y, 1e-12);
  EXPECT_NEAR(settings.LastLong, tenth.X, 1e-12);

  // The depth "4.9" of the 74th fix is the first below 5 m. The alarms are
  // set before the tick reads its replay lines, so the alarm rises a tick
  // later.
  ASSERT_EQ(lines[2 * 73 + 1].rfind("$SDDPT,4.9,", 0), 0u);
  Tick(64);
  EXPECT_FALSE(nav.Has(nfDepthAlarm));
  Tick(1);
  EXPECT_TRUE(nav.Has(nfDepthAlarm));

  // The file plays once; "GPS Timeout" seconds after the last fix the GPS
  // is lost and the boat goes on by dead reckoning.
  Tick(120 - 75);
  const TFPoint last = RmcPosition(lines[238]);
  EXPECT_EQ(dash.gpsText, LatToStr(last.Y) + " " + LonToStr(last.X));
  Tick(settings.GpsTimeout);
  EXPECT_FALSE(nav.Has(nfGpsLost));
  Tick(1);
  EXPECT_TRUE(nav.Has(nfGpsLost));
  Tick(settings.ShowTime * 2);
  EXPECT_TRUE(dash.drMode);
  EXPECT_GT(info.Pos.Y, last.Y);
  EXPECT_GT(info.Pos.X, last.X);
  EXPECT_EQ(cycle->StepFailures(), 0);
}

TEST_F(UpdateCycleTest, GpsLostExactlyAfterTheTimeoutAndClearedByTheNextFix) {
  for (int timeout : {2, 6}) {
    SCOPED_TRACE(timeout);
    settings.GpsTimeout = timeout;
    Cycle();
    Tick();
    EXPECT_TRUE(nav.Has(nfGpsLost)) << "no fix yet";
    Fix();
    EXPECT_EQ(info.FixStatus, kFixValid);
    for (int s = 1; s <= timeout; ++s) {
      Tick();
      EXPECT_FALSE(nav.Has(nfGpsLost)) << s << " s after the fix";
    }
    // Wall-clock jumps (a clock set from GPS, daylight saving time) change
    // nothing.
    clock.SetUTC(clock.NowUTC() - 1.0 / 24);
    Tick();
    EXPECT_TRUE(nav.Has(nfGpsLost)) << timeout + 1 << " s after the fix";
    // Sentences built now must not claim a valid fix.
    EXPECT_EQ(info.FixStatus, kFixInvalid);
    Fix();
    Tick();
    EXPECT_FALSE(nav.Has(nfGpsLost));
    EXPECT_EQ(info.FixStatus, kFixValid);
    clock.SetUTC(clock.NowUTC() + 1.0 / 24);
    Tick();
    EXPECT_FALSE(nav.Has(nfGpsLost));
    // The next round starts without a fresh fix.
    Tick(10);
  }
}

TEST_F(UpdateCycleTest, DeadReckoningMovesTheBoatFromTheLastPositionWithoutAJumpAtStart) {
  const TFPoint start{Rad(11.5), Rad(57.5)};
  struct Case {
    int course, speed;
    bool moves;
  } cases[] = {{90, 10, true}, {225, 6, true}, {0, 199, true}, {90, 200, false}, {-1, 10, false}, {90, 0, false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.course) + "° " + std::to_string(c.speed) + " kn");
    info.Pos = {};
    settings.ShowTime = 5;
    settings.NMEADRUpdate = false;
    Cycle();
    cycle->SeedPosition(start);
    dash.course = c.course;
    dash.speed = c.speed;
    // The first step has nothing to measure from: no jump at start.
    Tick(5);
    EXPECT_TRUE(dash.drMode);
    EXPECT_EQ(info.Pos, start);
    // The wall clock jumps an hour; the boat runs five seconds.
    clock.SetUTC(clock.NowUTC() + 1.0 / 24);
    Tick(5);
    const TFPoint expected =
        c.moves ? GeoOffset(start, {c.speed * (5.0 / 3600) / kRadToNM, c.course * kDegToRad}) : start;
    EXPECT_DOUBLE_EQ(info.Pos.X, expected.X);
    EXPECT_DOUBLE_EQ(info.Pos.Y, expected.Y);
    EXPECT_DOUBLE_EQ(settings.LastLat, expected.Y);
    if (c.moves) {
      EXPECT_DOUBLE_EQ(info.COG, c.course * kDegToRad);
      EXPECT_NEAR(info.VelNorth, c.speed * std::cos(c.course * kDegToRad), 1e-12);
    }
  }
  EXPECT_EQ(logBook.entries.back(), "NMEA Error/4");
}

TEST_F(UpdateCycleTest, DeadReckoningTakesOverFromTheGpsAndFollowsHeadingSensors) {
  settings.ShowTime = 2;
  settings.GpsTimeout = 3;
  settings.MagErrCalc = false;
  Cycle();
  Fix();
  Tick(2);
  EXPECT_FALSE(dash.drMode);
  EXPECT_EQ(dash.course, 90);
  EXPECT_EQ(dash.speed, 5);
  const TFPoint fix = info.Pos;
  // Compass and log: magnetic 80° with 5° east variation; 7.3 knots
  // through the water.
  Send("HCHDG,80.0,,,5.0,E");
  Send("VWVHW,,T,,M,7.3,N,,K");
  Tick(2);  // 4 s after the fix: lost, dead reckoning from the last update
  EXPECT_TRUE(nav.Has(nfGpsLost));
  EXPECT_TRUE(dash.drMode);
  EXPECT_EQ(dash.course, 85);
  EXPECT_EQ(dash.speed, 7);
  EXPECT_TRUE(chart.repaintRequested || chart.repaints > 0) << "the change of mode repaints";
  const TFPoint expected = GeoOffset(fix, {7 * (2.0 / 3600) / kRadToNM, Rad(85)});
  EXPECT_DOUBLE_EQ(info.Pos.X, expected.X);
  EXPECT_DOUBLE_EQ(info.Pos.Y, expected.Y);
  // Lower-ranking sentences may give the position again.
  EXPECT_EQ(parser.Seen & kSeenPositionBits, 0u);
}

TEST_F(UpdateCycleTest, DepthAlarmFollowsTheDepthAndTheSetting) {
  Cycle();
  struct Case {
    double depth, limit;
    bool alarm;
  } cases[] = {{4.9, 5, true}, {5.0, 5, false}, {5.1, 5, false}, {5.1, 6, true}, {NoDataValue, 5, false},
               {NoDataValue, 1, false}, {0.0, 1, true}};
  for (const Case& c : cases) {
    info.Depth = c.depth;
    settings.DepthAlarm = c.limit;
    Tick();
    EXPECT_EQ(nav.Has(nfDepthAlarm), c.alarm) << c.depth << " m, alarm below " << c.limit;
  }
  // Through the parser: the depth below the transducer counts.
  settings.DepthAlarm = 5;
  Send("SDDPT,4.6,0.5");
  Tick();
  EXPECT_TRUE(nav.Has(nfDepthAlarm));
  Send("SDDPT,5.2,0.5");
  Tick();
  EXPECT_FALSE(nav.Has(nfDepthAlarm));
}

TEST_F(UpdateCycleTest, ATickInsideATickReturnsAtOnce) {
  Cycle();
  int inner = 0;
  dash.onGpsBox = [&] {
    ++inner;
    timer.Fire();
    EXPECT_TRUE(cycle->Busy());
  };
  Tick();
  EXPECT_EQ(inner, 1);
  EXPECT_EQ(cycle->NestedTicks(), 1);
  EXPECT_EQ(Count("pump"), 1);
  EXPECT_FALSE(cycle->Busy());
  dash.onGpsBox = {};
  Tick();
  EXPECT_EQ(Count("pump"), 2);
}

TEST_F(UpdateCycleTest, AFailingStepNeitherStopsTheTickNorLeavesItBusy) {
  settings.ShowTime = 5;
  Cycle();
  track.onRecord = [] { throw std::runtime_error("disk gone"); };
  ports.onPump = [] { throw 42; };
  Tick(10);
  EXPECT_FALSE(cycle->Busy());
  EXPECT_EQ(cycle->StepFailures(), 20);
  // Everything after the failing steps ran: display updates and the alarm
  // sound of the lost GPS.
  EXPECT_EQ(dash.drShows, 2);
  EXPECT_EQ(Count("sound nmea.wav"), 1);
  // Each failure is shown once, not every second.
  EXPECT_EQ(messages.shown, (std::vector<std::string>{"Update error (ports): unknown error",
                                                      "Update error (track): disk gone"}));
  // A chart load that throws inside the display update (the first chart).
  track.onRecord = {};
  ports.onPump = {};
  chart.onOpen = [] { throw std::runtime_error("KAP/NOS Open error"); };
  chart.repaintRequested = true;
  Tick();
  EXPECT_FALSE(cycle->Busy());
  EXPECT_EQ(messages.shown.back(), "Update error (first chart): KAP/NOS Open error");
  chart.onOpen = {};
  const int shows = dash.drShows;
  Tick(5);
  EXPECT_GT(dash.drShows, shows);
}

TEST_F(UpdateCycleTest, MessageBoxesInsideTheTickGoToTheMessagePanel) {
  TScriptedQuestions script;
  script.Answer(idYes);
  IUserQuestions* previous = SetUserQuestions(&script);
  Cycle();
  bool answer = true;
  track.onRecord = [&] { answer = AskYesNo("Overwrite the track file?"); };
  Tick();
  EXPECT_FALSE(answer) << "no one was asked: the safe answer";
  EXPECT_TRUE(script.asked().empty());
  EXPECT_EQ(messages.shown, std::vector<std::string>{"Overwrite the track file?"});
  // Outside the tick the user is asked again.
  EXPECT_EQ(UserQuestions(), &script);
  EXPECT_TRUE(AskYesNo("Quit?"));
  SetUserQuestions(previous);
}

TEST_F(UpdateCycleTest, MeasuringDefersOnlyTheDisplayUpdate) {
  settings.ShowTime = 5;
  Cycle();
  chart.measuring = true;
  Tick(12);
  EXPECT_EQ(dash.drShows, 0);
  EXPECT_EQ(Count("sound nmea.wav"), 1) << "the alarm sounds at tick 10";
  EXPECT_EQ(Count("ais purge"), 1);
  EXPECT_EQ(track.points, 12);
  chart.measuring = false;
  Tick();
  EXPECT_EQ(dash.drShows, 1) << "the first tick after measuring updates";
  EXPECT_EQ(cycle->DisplayCounter(), 0);
}

TEST_F(UpdateCycleTest, PeriodsOfTheSteps) {
  settings.ShowTime = 5;
  settings.AutoPUpd = 3;
  settings.MagErrCalc = true;
  route.active = true;
  Cycle();
  std::vector<int> displays, purges, sounds, steering, aisRefresh;
  for (int t = 1; t <= 130; ++t) {
    trace.clear();
    Tick();
    if (Count("dr fields") + Count("dead reckoning")) displays.push_back(t);
    if (Count("ais purge")) purges.push_back(t);
    if (Count("sound nmea.wav")) sounds.push_back(t);
    if (Count("steering")) steering.push_back(t);
    if (Count("ais")) aisRefresh.push_back(t);
  }
  EXPECT_EQ(displays.size(), 26u);
  EXPECT_EQ(displays.front(), 5);
  EXPECT_EQ(displays[1], 10);
  EXPECT_EQ(purges, (std::vector<int>{1, 61, 121}));
  ASSERT_GE(sounds.size(), 2u);
  EXPECT_EQ(sounds[0], 10);
  EXPECT_EQ(sounds[1], 15);
  EXPECT_EQ(sounds.size(), 25u);
  // NMEA OUT off: nothing is built, so the call repeats every tick from
  // the third on.
  EXPECT_EQ(steering.size(), 128u);
  EXPECT_EQ(steering.front(), 3);
  // With NMEA OUT on the counter restarts after each build.
  output.builds = true;
  steering.clear();
  for (int t = 1; t <= 9; ++t) {
    trace.clear();
    Tick();
    if (Count("steering")) steering.push_back(t);
  }
  EXPECT_EQ(steering, (std::vector<int>{1, 4, 7}));
  // AIS targets are refreshed every 10 ticks from the first; a redraw
  // (the switch to dead reckoning at tick 5) refreshes them and restarts
  // the count.
  ASSERT_GE(aisRefresh.size(), 4u);
  EXPECT_EQ(std::vector<int>(aisRefresh.begin(), aisRefresh.begin() + 4), (std::vector<int>{1, 5, 15, 25}));
  // Magnetic variation with the slow work, for the decimal year of the
  // wall clock (2025-01-01 plus the run).
  ASSERT_EQ(magnetic.years.size(), 3u);
  EXPECT_NEAR(magnetic.years[0], 2025 + 1 / 365.0, 1e-9);
  EXPECT_DOUBLE_EQ(info.ModelVariation, Rad(4.5));
}

TEST_F(UpdateCycleTest, RepaintRequestsAndResizesUpdateAtOnce) {
  settings.ShowTime = 5;
  Cycle();
  Tick();
  chart.repaintRequested = true;
  Tick();
  EXPECT_EQ(dash.drShows, 1);
  EXPECT_FALSE(chart.repaintRequested);
  EXPECT_EQ(chart.repaints, 1);
  flags.Include(pfResized);
  Tick();
  EXPECT_EQ(dash.drShows, 2);
  EXPECT_FALSE(flags.Has(pfResized));
  EXPECT_EQ(Count("update view"), 1);
  // With nothing changed a display update draws nothing.
  const int repaints = chart.repaints;
  Tick(5);
  EXPECT_EQ(dash.drShows, 3);
  EXPECT_EQ(chart.repaints, repaints);
}

TEST_F(UpdateCycleTest, OnlyTheFirstAlarmSounds) {
  struct Case {
    bool gps, depth, ais, xteLeft, xteRight;
    const char* sound;  // nullptr: none
  } cases[] = {
      {true, true, true, true, true, "sound nmea.wav"}, {false, true, true, true, false, "sound depth.wav"},
      {false, false, true, true, true, "sound ais.wav"}, {false, false, false, true, true, "sound xter.wav"},
      {false, false, false, false, true, "sound xtel.wav"}, {false, false, false, false, false, nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.sound ? c.sound : "none");
    trace.clear();
    settings.GpsTimeout = 100;
    Cycle();
    if (!c.gps) Fix();
    info.Depth = c.depth ? 1.0 : 10.0;
    nav.Set(nfAisAlarm, c.ais);
    nav.Set(nfXteLeft, c.xteLeft);
    nav.Set(nfXteRight, c.xteRight);
    Tick(15);
    std::vector<std::string> sounds;
    for (const std::string& s : trace)
      if (s.rfind("sound", 0) == 0) sounds.push_back(s);
    if (c.sound)
      EXPECT_EQ(sounds, (std::vector<std::string>{c.sound, c.sound}));
    else
      EXPECT_TRUE(sounds.empty());
  }
  // "Warning Sound" off: silence.
  trace.clear();
  settings.WarningSound = false;
  nav.Include(nfAisAlarm);
  Cycle();
  Tick(15);
  for (const std::string& s : trace) EXPECT_NE(s.rfind("sound", 0), 0u) << s;
}

TEST_F(UpdateCycleTest, TheClockIsSetOnceFromAPlausibleGpsDate) {
  settings.ShowTime = 2;
  settings.ClockOneShot = true;
  Cycle();
  Fix();  // 2025-06-14 12:00 UTC
  Tick(2);
  EXPECT_EQ(clock.SetCount(), 1);
  EXPECT_DOUBLE_EQ(clock.NowUTC(), info.GpsDateTime);
  EXPECT_FALSE(settings.ClockOneShot);
  EXPECT_FALSE(nav.Has(nfGpsLost)) << "setting the clock shortens no interval";
  Fix();
  Tick(2);
  EXPECT_EQ(clock.SetCount(), 1);

  // A receiver after a week-number rollover, and a clock we may not set.
  struct Case {
    const char* rmc;
    bool allowed;
    int sets;
    const char* message;
  } cases[] = {
      {"GPRMC,120000,A,5740.000,N,01140.000,E,5.0,90.0,291105,,,A", true, 0, "The GPS date 20051129"},
      {"GPRMC,120000,A,5740.000,N,01140.000,E,5.0,90.0,140625,,,A", false, 1, "The system clock could not be set"},
  };
  for (const Case& c : cases) {
    TManualClock fresh;
    fresh.AllowSet(c.allowed);
    messages.shown.clear();
    settings.ClockOneShot = true;
    TNMEALineBuffer b{nullptr, fresh};
    TTickParts p;
    p.messages = &messages;
    TUpdateCycle other(b.Parser(), nullptr, settings, flags, nav, fresh, p);
    b.FeedText(Nmea(c.rmc) + "\r\n");
    for (int i = 0; i < 4; ++i) {
      fresh.Advance(1s);
      other.Tick();
    }
    EXPECT_EQ(fresh.SetCount(), c.sets) << c.rmc;
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].rfind(c.message, 0), 0u) << messages.shown[0];
    EXPECT_FALSE(settings.ClockOneShot);
  }
}

TEST_F(UpdateCycleTest, AutomaticChartChoiceAndLookAhead) {
  settings.ShowTime = 1;
  settings.GpsTimeout = 1000;
  settings.ChartPrefetch = 60;
  settings.AutoOffset = true;
  flags.Include(pfAutomatic);
  chart.boatMoved = true;  // redraw at every display update
  Cycle();
  info.Pos = {Rad(11), Rad(57)};
  info.SOG = 6;
  info.Heading = Rad(359);
  info.LastFixTime = clock.MonoNow();
  // No chart yet: a forced choice at the first update, then every update.
  Tick();
  ASSERT_EQ(chart.lookAheads.size(), 2u);
  const TFPoint ahead = GeoOffset(info.Pos, {6.0 / 60 / kRadToNM, Rad(359)});
  EXPECT_DOUBLE_EQ(chart.lookAheads[0].Y, ahead.Y);
  EXPECT_EQ(info.PrefetchPos, chart.lookAheads.back());
  const TPoint offset = cycle->LookAheadOffset();
  EXPECT_EQ(offset, (TPoint{RoundToInt(std::sin(Rad(359)) * 300), RoundToInt(-std::cos(Rad(359)) * 200)}));
  EXPECT_EQ(chart.lastOffset, offset);

  // A fresh chart holds the boat for 20 ticks.
  flags.Include(pfChartLoaded);
  cycle->ChartLoaded();
  chart.lookAheads.clear();
  Tick(19);
  EXPECT_TRUE(chart.lookAheads.empty());
  Tick();
  EXPECT_EQ(chart.lookAheads.size(), 1u);
  chart.inside = false;
  cycle->ChartLoaded();
  Tick();
  EXPECT_EQ(chart.lookAheads.size(), 2u) << "the boat left the fresh chart";

  // Across north the course changed by 2°: the view stays.
  info.Heading = Rad(1);
  Tick();
  EXPECT_EQ(cycle->LookAheadOffset(), offset);
  info.Heading = Rad(20);
  Tick();
  EXPECT_NE(cycle->LookAheadOffset(), offset);
  // Slow: the boat in the middle; no look-ahead time: the boat itself.
  info.SOG = 0.5;
  settings.ChartPrefetch = 0;
  Tick();
  EXPECT_EQ(cycle->LookAheadOffset(), TPoint{});
  info.SOG = 6;
  Tick();
  EXPECT_EQ(chart.lookAheads.back(), info.Pos);
}

TEST_F(UpdateCycleTest, NetworkTextIsParsedAndSilenceMakesTheLinkAgain) {
  Cycle(true);
  network.incoming.push_back(Nmea("GPRMC,120000,A,5740.000,N,01140.000,E,5.0,90.0,140625,,,A") + "\r\n$SDDPT,4.");
  network.incoming.push_back("2,0.5\r\n");
  Tick(2);
  EXPECT_FALSE(nav.Has(nfGpsLost));
  EXPECT_DOUBLE_EQ(info.Depth, 4.2);
  Tick(60);
  EXPECT_EQ(Count("reconnect"), 0);
  Tick();
  EXPECT_EQ(Count("reconnect"), 1);
  Tick(60);
  EXPECT_EQ(Count("reconnect"), 1);
  network.reconnectWorks = false;
  Tick();
  EXPECT_EQ(Count("reconnect"), 2);
  EXPECT_EQ(Count("network off"), 1);
  // The replay file is read only without a network link.
  EXPECT_FALSE(network.on);
}

TEST_F(UpdateCycleTest, ReplayReadsFollowTheSetting) {
  std::string body;
  for (int i = 0; i < 50; ++i) body += Nmea("SDDPT," + std::to_string(10 + i) + ".0,0.5") + "\r\n";
  TTempDir dir;
  WriteTestFile(dir / "sim.nmea", body);
  struct Case {
    int reads;
    double depthAfterTwoTicks;
  } cases[] = {{-1, NoDataValue}, {0, 11.0}, {1, 13.0}, {4, 19.0}};
  for (const Case& c : cases) {
    info.Depth = NoDataValue;
    settings.NmeaSimulReads = c.reads;
    ASSERT_TRUE(sim.OpenReplay(dir / "sim.nmea"));
    Cycle();
    Tick(2);
    EXPECT_EQ(info.Depth, c.depthAfterTwoTicks) << c.reads;
  }
  // The largest setting the settings file accepts reads that many lines and
  // one more in a single tick.
  body.clear();
  for (int i = 0; i < kMaxReplayLinesPerTick + 1; ++i)
    body += Nmea("SDDPT," + std::to_string(10 + i) + ".0,0.5") + "\r\n";
  WriteTestFile(dir / "long.nmea", body);
  info.Depth = NoDataValue;
  settings.NmeaSimulReads = kMaxReplayLinesPerTick - 1;
  ASSERT_TRUE(sim.OpenReplay(dir / "long.nmea"));
  Cycle();
  Tick();
  EXPECT_EQ(info.Depth, 10.0 + kMaxReplayLinesPerTick - 1);
}

TEST_F(UpdateCycleTest, LogCounterIsReadEveryTenSecondsIntoTheTotals) {
  settings.TotalDistance = 100;
  settings.TrippDistance = 10;
  settings.EngineOn = true;
  Cycle();
  info.SOG = 4;
  Tick(9);
  EXPECT_TRUE(log.readIntervals.empty());
  EXPECT_EQ(log.samples, 9);
  EXPECT_EQ(log.sum, 36);
  Tick();
  ASSERT_EQ(log.readIntervals.size(), 1u);
  EXPECT_DOUBLE_EQ(log.readIntervals[0], 10);
  EXPECT_DOUBLE_EQ(settings.TotalDistance, 100.5);
  EXPECT_DOUBLE_EQ(settings.TrippDistance, 10.5);
  EXPECT_DOUBLE_EQ(settings.TimeCounter, 10.0 / 3600);
  EXPECT_DOUBLE_EQ(settings.FuelUsed, 0.25);
  EXPECT_EQ(dash.logRefreshes, 1);
  // Engine off: no fuel; not moving: no hours.
  settings.EngineOn = false;
  log.reading = {0, false, 0.25};
  Tick(10);
  EXPECT_DOUBLE_EQ(settings.FuelUsed, 0.25);
  EXPECT_DOUBLE_EQ(settings.TimeCounter, 10.0 / 3600);
  EXPECT_DOUBLE_EQ(settings.TotalDistance, 100.5);
}

TEST_F(UpdateCycleTest, RealLogReplaysWithoutLosingTheGps) {
  REQUIRE_TESTDATA(path, "nmea/Hakefjord.log");
  settings.NmeaSimulReads = 9;
  settings.ShowTime = 5;
  ASSERT_TRUE(sim.OpenReplay(path));
  Cycle();
  int lostAfterFirstFix = 0;
  bool fixed = false;
  for (int t = 0; t < 1200; ++t) {
    Tick();
    if (fixed && nav.Has(nfGpsLost)) ++lostAfterFirstFix;
    fixed = fixed || info.LastFixTime != TMonoTime{0};
    ASSERT_TRUE(std::isfinite(info.Pos.X) && std::isfinite(info.Pos.Y));
  }
  EXPECT_TRUE(fixed);
  EXPECT_EQ(lostAfterFirstFix, 0);
  // Off Hakefjorden, north of Gothenburg.
  EXPECT_NEAR(info.Pos.Y * kRadToDeg, 58.0, 0.2);
  EXPECT_NEAR(info.Pos.X * kRadToDeg, 11.7, 0.2);
  EXPECT_EQ(dash.gpsText, LatToStr(info.Pos.Y) + " " + LonToStr(info.Pos.X));
  EXPECT_FALSE(dash.drMode);
  EXPECT_EQ(track.points, 1200);
  EXPECT_EQ(cycle->StepFailures(), 0);
}

}  // namespace
