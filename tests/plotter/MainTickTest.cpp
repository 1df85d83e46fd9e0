// The update tick in the main window: a replay file through the timer into
// the dashboard, man overboard, notices without message boxes, and the
// program itself keeping the last position of a replay.
#include <QAction>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QTimer>

#include <sys/wait.h>

#include <algorithm>
#include <chrono>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "PlotterFixture.h"
#include "PlotterProcess.h"
#include "foundation/GenUtil.h"
#include "foundation/IniFile.h"
#include "foundation/NumText.h"
#include "instruments/NMEA.h"
#include "navobjects/LogBook.h"
#include "navobjects/Routes.h"
#include "platform/Clock.h"
#include "plotter/MainForm.h"
#include "plotter/PosEdit.h"
#include "plotter/RmcText.h"
#include "plotter/core/Dashboard.h"
#include "plotter/core/UpdateCycle.h"

namespace {

using namespace std::chrono_literals;

// 120 fixes one second apart (RMC, then DPT) from 57°40.0000'N
// 011°40.0000'E at 6 knots on 045°.
const std::string kReplay = std::string(BRISMARE_SOURCE_DIR) + "/tests/plotter/data/replay_vinga.nmea";

std::vector<std::string> ReplayLines() {
  std::ifstream in(kReplay);
  std::vector<std::string> lines;
  for (std::string l; std::getline(in, l);) {
    if (!l.empty() && l.back() == '\r') l.pop_back();
    lines.push_back(l);
  }
  return lines;
}

std::string ReplaySettings(const std::string& extra = "") {
  return "[Program Setup]\r\nCom Port=0\r\nShow Time=2\r\nNMEA_SIMUL=" + kReplay + "\r\n" + extra;
}

class PlotterTick : public PlotterClockTest {
 protected:
  static std::string Str(const QString& s) { return s.toStdString(); }
};

TEST_F(PlotterTick, ReplayFileFillsTheDashboardAndKeepsTheLastPosition) {
  const std::vector<std::string> lines = ReplayLines();
  T_Form& f = Run(ReplaySettings());
  ASSERT_NE(f.UpdateCycle(), nullptr);
  ASSERT_TRUE(f.SimBuffer && f.SimBuffer->ReplayOpen());
  // "Set DR Pos" belongs to dead reckoning only.
  EXPECT_FALSE(f.MenuItem("SetDRPos1")->isVisible());

  // Ten ticks or eleven, to end on a display update (the first tick
  // already had one: the start asked for a repaint).
  Tick(f, 10);
  int ticks = 10;
  if (f.UpdateCycle()->DisplayCounter() != 0) {
    Tick(f, 1);
    ++ticks;
  }
  ASSERT_EQ(f.UpdateCycle()->DisplayCounter(), 0);
  // Two replay lines a tick: the fix of the last tick is shown.
  const TFPoint fix = RmcPosition(lines[static_cast<size_t>(2 * (ticks - 1))]);
  EXPECT_EQ(Str(f.DBBLat->text()), LatToStr(fix.Y));
  EXPECT_EQ(Str(f.DBBLong->text()), LonToStr(fix.X));
  EXPECT_EQ(Str(f.DBBspeed->text()), "6.0");
  const TNMEAINFO& info = f.Parser()->Info;
  // 7.6 m below the transducer (both candidate ticks' DPT) and the 0.5 m
  // "Transducer Depth", in metres.
  EXPECT_EQ(Str(f.DPTLab->text()), "8.1m");
  EXPECT_EQ(Str(f.DB_DRCrs->text()), "45");
  EXPECT_EQ(Str(f.DB_DRSpd->text()), "6");
  EXPECT_EQ(f.DB_DRLat->MaskText(), PosToMaskText(false, fix.Y));
  EXPECT_EQ(f.DB_DRLong->MaskText(), PosToMaskText(true, fix.X));
  EXPECT_FALSE(f.NavFlags.Has(nfGpsLost));
  EXPECT_FALSE(f.DashboardSet().Has(TDashBox::DB_DR));

  // The file plays out; after "GPS Timeout" the dead-reckoning box takes the
  // GPS box's place and "Set DR Pos" is offered.
  Tick(f, 120 - ticks + f.SysInfo.GpsTimeout + 3);
  EXPECT_TRUE(f.NavFlags.Has(nfGpsLost));
  EXPECT_TRUE(f.DashboardSet().Has(TDashBox::DB_DR));
  EXPECT_TRUE(f.MenuItem("SetDRPos1")->isVisible());
  const TFPoint kept = info.Pos;
  const TFPoint last = RmcPosition(lines[238]);
  EXPECT_GT(kept.Y, last.Y) << "dead reckoning goes on north-east";

  Stop();
  TIniFile ini(iniFile_);
  EXPECT_DOUBLE_EQ(ini.ReadFloat("Program State", "Last Lat", 0), kept.Y);
  EXPECT_DOUBLE_EQ(ini.ReadFloat("Program State", "Last Long", 0), kept.X);
}

TEST_F(PlotterTick, TheWindowsTimerRunsTheCycle) {
  T_Form& f = Run(ReplaySettings());
  QTimer* timer = f.findChild<QTimer*>(QStringLiteral("ComTimer"));
  ASSERT_NE(timer, nullptr);
  ASSERT_TRUE(QMetaObject::invokeMethod(timer, "timeout", Qt::DirectConnection));
  EXPECT_EQ(f.SimBuffer->LineCount(), 2);
  EXPECT_EQ(Str(f.DBBLat->text()), LatToStr(RmcPosition(ReplayLines()[0]).Y));
}

TEST_F(PlotterTick, DeadReckoningStartsAtTheLastPositionOfThePreviousRun) {
  T_Form& f = Run("[Program Setup]\r\nCom Port=0\r\nShow Time=2\r\nAuto Loggbook=16\r\n"
                  "[Program State]\r\nLast Lat=1.0\r\nLast Long=0.2\r\n");
  f.DB_DRCrs->setText("90");
  f.DB_DRSpd->setText("6");
  Tick(f, 2);
  // No fix: dead reckoning from the stored position, without a first jump.
  EXPECT_EQ(f.Parser()->Info.Pos, (TFPoint{0.2, 1.0}));
  Tick(f, 2);
  const TFPoint expected = GeoOffset({0.2, 1.0}, {6 * (2.0 / 3600) / kRadToNM, kPi / 2});
  EXPECT_DOUBLE_EQ(f.Parser()->Info.Pos.X, expected.X);
  EXPECT_DOUBLE_EQ(f.Parser()->Info.Pos.Y, expected.Y);
  EXPECT_EQ(f.DB_DRLong->MaskText(), PosToMaskText(true, expected.X));
  // The log book hears of the lost input once, not at every update.
  ASSERT_TRUE(f.LogBook);
  EXPECT_EQ(std::count_if(f.LogBook->Entries.begin(), f.LogBook->Entries.end(),
                          [](const TLOGGBOOK::Entry& e) { return e.message == "NMEA Error" && e.category == 4; }),
            1);
}

TEST_F(PlotterTick, ManOverboardMarksTheBoatAndTheTickFollowsIt) {
  T_Form& f = Run(ReplaySettings());
  Tick(f, 10);
  QAction* mob = f.MenuItem("MarkMOB1");
  ASSERT_NE(mob, nullptr);
  ASSERT_TRUE(mob->isEnabled());
  mob->trigger();
  const TFPoint marked = f.Parser()->Info.Pos;
  EXPECT_TRUE(f.Chart().MarkerShown);
  EXPECT_EQ(f.Chart().MarkerPos, marked);
  EXPECT_EQ(Str(f.DB_LAT->text()), LatToStr(marked.Y));
  EXPECT_EQ(Str(f.DB_Dist->text()), "0.000nm");
  // Ten seconds on at 6 knots: the marker lies a sixtieth of a mile astern.
  Tick(f, 10);
  EXPECT_EQ(Str(f.DB_LONG->text()), LonToStr(marked.X));
  EXPECT_EQ(Str(f.DB_Dist->text()), "0.017nm");
  EXPECT_EQ(Str(f.DB_head->text()), "225°");
  // "&Clear Marker": the box follows the mouse again.
  f.MenuItem("NAClearMarker")->trigger();
  EXPECT_FALSE(f.Chart().MarkerShown);
  Tick(f, 2);
  EXPECT_EQ(Str(f.DB_Dist->text()), "0.017nm") << "no longer refreshed";
}

TEST_F(PlotterTick, NoticesOfTheTickGoToTheMessagePanel) {
  // The clock may not be set: the user is told without a box that would
  // stop the tick.
  clock_.AllowSet(false);
  T_Form& f = Run(ReplaySettings("Use GPS Clock=1\r\n"));
  Tick(f, 4);
  EXPECT_EQ(clock_.SetCount(), 1);
  EXPECT_TRUE(Asked().empty());
  EXPECT_TRUE(f.MsgP->isVisible());
  EXPECT_EQ(Str(f.MsgT->text()).rfind("The system clock could not be set", 0), 0u) << Str(f.MsgT->text());
  Tick(f, 4);
  EXPECT_EQ(clock_.SetCount(), 1) << "one attempt a run";
}

// A route followed by the tick: three points 3 nautical miles apart due
// north, the boat dead-reckoned along them at 30 knots.
TEST_F(PlotterTick, TheTickFollowsTheRouteWithSwitchingAndAlarms) {
  const double lat0 = 54.25 * kDegToRad, lon = 10.25 * kDegToRad, leg = 3 / kRadToNM;
  T_Form& f = Run("[Program Setup]\r\nCom Port=0\r\nShow Time=2\r\nAuto Loggbook=42\r\nRoute WP Ack=1\r\n"
                  "[Program State]\r\nLast Lat=" + FloatToStrDot(lat0) + "\r\nLast Long=" + FloatToStrDot(lon) +
                  "\r\n");
  for (int i = 0; i < 3; ++i) f.Route->AddRecord({{lon, lat0 + i * leg}, 0, 0, 0, 0, std::string(1, char('A' + i)), ""});
  f.DB_DRCrs->setText("0");
  f.DB_DRSpd->setText("30");
  Tick(f, 2);
  TNMEAINFO& info = f.Parser()->Info;
  f.Route->Start(info, true);
  ASSERT_TRUE(f.Route->Following);
  EXPECT_EQ(info.DestName, "B");

  double lastRange = info.RangeToDest;
  int switchedAt = -1;
  for (int t = 1; t <= 800 && f.Route->Following; ++t) {
    Tick(f);
    if (info.DestName == "C" && switchedAt < 0) switchedAt = t;
    if (switchedAt < 0) {
      // Every tick: straight at the waypoint, on the leg, nearer.
      EXPECT_LT(info.RangeToDest, lastRange + 1e-12) << t;
      EXPECT_NEAR(info.XTE * kRadToNM, 0, 1e-6) << t;
      EXPECT_NEAR(info.TimeToDest * 86400, info.RangeToDest * kRadToNM / 30 * 3600, 1.0) << t;
      lastRange = info.RangeToDest;
    }
  }
  // B is taken 20 s ("Route Preload") before the boat gets there, 360 s
  // after the start; the route ends 20 s before C.
  EXPECT_NEAR(switchedAt, 340, 3);
  EXPECT_FALSE(f.Route->Following);
  EXPECT_TRUE(f.NavFlags.Has(nfNewWaypoint));  // waits for its acknowledgement
  std::vector<std::string> route;
  for (const TLOGGBOOK::Entry& e : f.LogBook->Entries)
    if (e.category == kLogRoute || e.category == kLogNextWaypoint) route.push_back(e.message);
  EXPECT_EQ(route, (std::vector<std::string>{"Route Started at A", "Route Next WP at B", "Route Next WP at C",
                                              "Route Ending at C"}));

  // Started again near its end, the route is turned round (southbound, C
  // first). Off the leg to the east is left of it: the cross-track alarm,
  // which ends with the route.
  f.Route->Start(info, true);
  ASSERT_TRUE(f.Route->Following);
  EXPECT_EQ(f.Route->First()->Caption, "C");
  f.DB_DRCrs->setText("90");
  Tick(f, 12);
  EXPECT_TRUE(f.NavFlags.Has(nfXteAlarm));
  EXPECT_TRUE(f.NavFlags.Has(nfXteLeft));
  f.Route->Stop(info);
  f.Guidance().ApplyRouteAlarms();
  EXPECT_FALSE(f.NavFlags.Has(nfXteAlarm));
}

// ---- the program itself ----

TEST(PlotterProgramTick, AReplayedPositionIsKeptWhenTheProgramIsEnded) {
  TTempDir dataDir;
  const std::string settings = dataDir / "brismare.ini";
  // The fixes the program parses are captured as they come.
  const std::string capture = dataDir / "capture.nmea";
  WriteTestFile(settings, ReplaySettings("NMEA_CAPTFILE=" + capture + "\r\nNMEA_CAPTMSG=RMC\r\n"));
  // Twenty ticks a second: a display update every tenth of a second.
  TPlotterProcess program(settings, dataDir.path(), {{"BRISMARE_TICK_MS", "50"}});
  ASSERT_TRUE(program.Started());
  using SteadyClock = std::chrono::steady_clock;
  const auto started = SteadyClock::now();
  ASSERT_TRUE(program.WaitUntilUp(60s)) << "the program did not come up";
  // Ten fixes of the replay parsed: a few display updates have run.
  auto capturedLines = [&] {
    const std::string text = TestFileExists(capture) ? ReadTestFile(capture) : std::string();
    return std::count(text.begin(), text.end(), '\n');
  };
  while (capturedLines() < 10 && SteadyClock::now() - started < 90s) std::this_thread::sleep_for(50ms);
  EXPECT_GE(capturedLines(), 10) << "the replay did not run";
  std::this_thread::sleep_for(300ms);
  const std::optional<int> status = program.Terminate(10s);
  ASSERT_TRUE(status) << "still running 10 s after SIGTERM";
  ASSERT_TRUE(WIFEXITED(*status)) << "ended by signal " << WTERMSIG(*status);
  EXPECT_EQ(WEXITSTATUS(*status), 0);
  const std::vector<std::string> lines = ReplayLines();
  EXPECT_EQ(ReadTestFile(capture).rfind(lines[0], 0), 0u);

  // A position of the replay's track (or a few seconds of dead reckoning
  // beyond its end, north-east of it).
  TIniFile ini(settings);
  const double lat = ini.ReadFloat("Program State", "Last Lat", 0) * kRadToDeg;
  const double lon = ini.ReadFloat("Program State", "Last Long", 0) * kRadToDeg;
  EXPECT_GE(lat, 57 + 40.0 / 60);
  EXPECT_LE(lat, 57 + 40.2 / 60);
  EXPECT_GE(lon, 11 + 40.0 / 60);
  EXPECT_LE(lon, 11 + 40.4 / 60);
}

// Killed at sea (a crash, the battery switched off): what the program
// counted up to its last minute is in the settings file. The program runs
// at twenty ticks a second, so its minute of 60 ticks is 3 s here.
TEST(PlotterProgramTick, AKilledPlotterLosesAtMostItsLastMinuteOfLog) {
  TTempDir dataDir;
  const std::string settings = dataDir / "brismare.ini";
  // The replay at 6 knots, looping (the last line holds only 0x1A).
  const std::string replay = dataDir / "loop.nmea";
  WriteTestFile(replay, ReadTestFile(kReplay) + "\x1A\r\n");
  WriteTestFile(settings, "[Program Setup]\r\nCom Port=0\r\nShow Time=2\r\nNMEA_SIMUL=" + replay + "\r\n");
  using SteadyClock = std::chrono::steady_clock;
  const auto started = SteadyClock::now();
  TPlotterProcess program(settings, dataDir.path(), {{"BRISMARE_TICK_MS", "50"}});
  ASSERT_TRUE(program.Started());
  ASSERT_TRUE(program.WaitUntilUp(60s)) << "the program did not come up";
  std::this_thread::sleep_for(30s);
  program.Kill();
  const double seconds = std::chrono::duration<double>(SteadyClock::now() - started).count();

  TIniFile ini(settings);
  const double total = ini.ReadFloat("Program State", "Total Distance", 0);
  const double trip = ini.ReadFloat("Program State", "Tripp Distance", 0);
  // At most 6 knots for the whole run; at least for the run less what
  // cannot have been written: the start-up, the log's 10 s between
  // readings and the 3 s between writes.
  EXPECT_LE(total, 6 * seconds / 3600 * 1.01);
  EXPECT_GE(total, 6 * (seconds - 25) / 3600) << "after " << seconds << " s";
  EXPECT_EQ(trip, total);
}

}  // namespace
