// The log book file line by line, the once and always rules with the mask,
// write failures; the log counter's distance, running time and fuel on a
// manual clock; the speaker's choice of sound; the ring shape's styles.
#include <sys/stat.h>
#include <unistd.h>

#include <cmath>
#include <cstdlib>
#include <ctime>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "foundation/IniFile.h"
#include "instruments/NMEAInfo.h"
#include "navobjects/LogBook.h"
#include "navobjects/NavCtrls.h"
#include "platform/Clock.h"

namespace {

// Local time is UTC in these tests, and the clock stands at
// 2024-06-15 12:30:00.
class LogBookTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* tz = std::getenv("TZ");
    oldTz_ = tz ? tz : "";
    hadTz_ = tz != nullptr;
    ::setenv("TZ", "UTC", 1);
    ::tzset();
    previous_ = SetClock(&clock_);
    info_.Pos = {(18 * 60 + 4.25) / 60.0 * kDegToRad, (59 * 60 + 30.5) / 60.0 * kDegToRad};
  }
  void TearDown() override {
    SetClock(previous_);
    if (hadTz_)
      ::setenv("TZ", oldTz_.c_str(), 1);
    else
      ::unsetenv("TZ");
    ::tzset();
  }
  TManualClock clock_{45458.520833333336};
  IClock* previous_ = nullptr;
  TNMEAINFO info_;
  TTempDir dir_;
  std::string oldTz_;
  bool hadTz_ = false;
};

TEST_F(LogBookTest, EntriesFollowTheMaskAndTheOnceAndAlwaysRules) {
  TLOGGBOOK book(&info_);
  double log = 123.456;
  book.TotalDistance = &log;
  book.SetLogFile("LOGBOOK.TXT", dir_.path());
  EXPECT_EQ(book.LogFileName, dir_ / "LOGBOOK.TXT");

  const std::string stamp = "2024-06-15 12:30:00, 59\xC2\xB0" "30.500'N, 018\xC2\xB0" "04.250'E, 123.46nm, ";
  struct Step {
    uint32_t mask;
    bool once;
    const char* message;
    int category;
    bool written;
  };
  const Step steps[] = {
      {0, false, "Brismare Started", kLogStartStop, false},     // nothing allowed but category 7
      {0, false, "Reset Trip From 12.5", kLogUser, true},
      {0, true, "NMEA Error", kLogNmeaError, false},
      {16 | 32, true, "NMEA Error", kLogNmeaError, true},
      {16 | 32, true, "NMEA Error", kLogNmeaError, false},      // once: not again
      {16, true, "XTE Error", kLogXteError, false},             // blocked: changes nothing
      {16, true, "NMEA Error", kLogNmeaError, false},
      {16 | 32, true, "XTE Error", kLogXteError, true},
      {16 | 32, true, "NMEA Error", kLogNmeaError, true},       // another came between
      {2 | 8, true, "Route Started at HOME", kLogRoute, true},
      {2 | 8, false, "Route Next WP at BUOY", kLogNextWaypoint, true},
      {2 | 8, false, "Route Next WP at BUOY", kLogNextWaypoint, true},  // always
      {2 | 8, true, "Typed, with a comma", kLogUser, true},
      {2 | 8, true, "Typed again", kLogUser, true},             // 7 is never held back
  };
  std::string expected = std::string(kLogBookHeader) + "\r\n\r\n";
  for (const Step& s : steps) {
    book.AutoMask = s.mask;
    if (s.once)
      book.LogOnce(s.message, s.category);
    else
      book.Log(s.message, s.category);
    if (s.written) expected += stamp + s.message + "\r\n";
  }
  EXPECT_EQ(ReadTestFile(dir_ / "LOGBOOK.TXT"), expected);

  // A line break in a message would cut the entry in two.
  book.Log("two\r\nlines", kLogUser);
  EXPECT_NE(ReadTestFile(dir_ / "LOGBOOK.TXT").find(stamp + "two  lines\r\n"), std::string::npos);
  // No name: no log book.
  book.SetLogFile("", dir_.path());
  EXPECT_FALSE(book.LogEnabled);
  EXPECT_FALSE(book.AppendLine("x"));
}

TEST_F(LogBookTest, AnEntryThatCannotBeWrittenIsReportedOnce) {
  const std::string sub = dir_ / "sub";
  ASSERT_EQ(::mkdir(sub.c_str(), 0755), 0);
  TLOGGBOOK book(&info_);
  std::vector<std::string> reported;
  book.OnWriteError = [&](const std::string& text) { reported.push_back(text); };
  book.SetLogFile(sub + "/LOGBOOK.TXT", "");
  {
    TUnwritable locked(sub);
    if (!locked.Ok()) GTEST_SKIP() << "no way to make a directory unwritable here";
    book.Log("lost", kLogUser);
    book.Log("lost too", kLogUser);
  }
  ASSERT_EQ(reported.size(), 1u);
  EXPECT_NE(reported[0].find("LOGBOOK.TXT"), std::string::npos) << reported[0];
  book.Log("written", kLogUser);
  EXPECT_NE(ReadTestFile(sub + "/LOGBOOK.TXT").find("written"), std::string::npos);
  // Failing again after a success is reported again.
  {
    TUnwritable locked(sub + "/LOGBOOK.TXT");
    ASSERT_TRUE(locked.Ok());
    book.Log("lost again", kLogUser);
  }
  EXPECT_EQ(reported.size(), 2u);
}

TEST_F(LogBookTest, TheCounterMeasuresOnTheMonotonicClock) {
  TLogDist log(clock_);
  EXPECT_EQ(log.ReadLog(), 0);  // no samples
  auto sail = [&](double knots, int seconds) {
    for (int i = 0; i < seconds; ++i) {
      log.AddSpeed(knots);
      clock_.Advance(std::chrono::seconds(1));
    }
  };
  sail(6, 3600);
  EXPECT_EQ(log.SecondsSinceRead(), 3600);
  EXPECT_NEAR(log.ReadLog(), 6.0, 1e-9);
  EXPECT_TRUE(log.Moving);
  EXPECT_NEAR(log.Interval * 24, 1.0, 1e-9);

  // Exactly at the cutoff counts as not moving.
  log.Cutoff = 0.2;
  sail(0.2, 600);
  EXPECT_EQ(log.ReadLog(), 0);
  EXPECT_FALSE(log.Moving);

  // The wall clock set back a day (GPS time, daylight saving): nothing
  // happens to the log.
  sail(4, 900);
  clock_.SetUTC(clock_.NowUTC() - 1);
  EXPECT_NEAR(log.ReadLog(), 1.0, 1e-9);
  // Unknown and absurd speeds count as 0.
  log.AddSpeed(NoDataValue);
  log.AddSpeed(std::nan(""));
  log.AddSpeed(5000);
  clock_.Advance(std::chrono::seconds(3));
  EXPECT_EQ(log.ReadLog(), 0);
}

TEST_F(LogBookTest, FuelFromTheTableInOrderOfSpeed) {
  TIniFile ini = TIniFile::FromBytes("[Fuel Data]\r\n100=60\r\n0=5\r\n 50=20\r\nfast=99\r\n050=25\r\n-3=1\r\n");
  TLogDist log(clock_);
  std::vector<std::string> skipped;
  EXPECT_EQ(log.LoadFuelTable(ini, "Fuel Data", &skipped), 3);
  EXPECT_EQ(log.FuelTable, (std::vector<TFuelEntry>{{0, 5}, {50, 25}, {100, 60}}));
  EXPECT_EQ(skipped, (std::vector<std::string>{"fast", "-3"}));
  struct Case {
    double knots;
    double rate;
  };
  for (const Case& c : {Case{0, 5}, Case{2.5, 15}, Case{5, 25}, Case{7.5, 42.5}, Case{10, 60}, Case{30, 60}})
    EXPECT_DOUBLE_EQ(log.FuelRate(c.knots), c.rate) << c.knots;

  // A day: two hours at 5 knots, an hour stopped with the engine on, three
  // hours at 7.5 knots. Fuel units: rate / 10 per hour.
  auto hours = [&](double knots, int h) {
    double miles = 0, fuel = 0, running = 0;
    for (int block = 0; block < h * 360; ++block) {  // read every 10 s
      for (int i = 0; i < 10; ++i) {
        log.AddSpeed(knots);
        clock_.Advance(std::chrono::seconds(1));
      }
      miles += log.ReadLog();
      fuel += log.FuelUsed;
      if (log.Moving) running += log.Interval * 24;
    }
    return std::vector<double>{miles, fuel, running};
  };
  const auto a = hours(5, 2), b = hours(0, 1), c = hours(7.5, 3);
  EXPECT_NEAR(a[0] + b[0] + c[0], 10 + 22.5, 1e-6);
  EXPECT_NEAR(a[1] + b[1] + c[1], 2 * 2.5 + 1 * 0.5 + 3 * 4.25, 1e-6);
  EXPECT_NEAR(a[2] + b[2] + c[2], 5, 1e-6);  // engine hours count while moving

  // One entry cannot count fuel.
  TIniFile one = TIniFile::FromBytes("[Fuel Data]\r\n50=20\r\n");
  log.LoadFuelTable(one, "Fuel Data");
  EXPECT_FALSE(log.CountsFuel());
  log.AddSpeed(5);
  clock_.Advance(std::chrono::seconds(10));
  log.ReadLog();
  EXPECT_EQ(log.FuelUsed, 0);
  // Any number of entries.
  std::string many = "[Fuel Data]\r\n";
  for (int i = 0; i < 40; ++i) many += std::to_string(i * 5) + "=" + std::to_string(i) + "\r\n";
  TIniFile big = TIniFile::FromBytes(many);
  EXPECT_EQ(log.LoadFuelTable(big, "Fuel Data"), 40);
  EXPECT_DOUBLE_EQ(log.FuelRate(19.5), 39);
}

// Records what the speaker plays.
class TRecordingSink final : public ISoundSink {
 public:
  bool PlayFile(const std::string& path) override {
    played.push_back(path);
    return playable;
  }
  void Beep() override { played.push_back("beep"); }
  std::vector<std::string> played;
  bool playable = true;
};

TEST_F(LogBookTest, TheSpeakerPlaysTheAlarmsFileOrFallsBack) {
  const std::string own = dir_ / "own/";
  const std::string shipped = dir_ / "shipped/";
  ASSERT_EQ(::mkdir(own.c_str(), 0755), 0);
  ASSERT_EQ(::mkdir(shipped.c_str(), 0755), 0);
  WriteTestFile(own + "Horn.wav", "RIFF");
  WriteTestFile(shipped + "Ding.wav", "RIFF");
  WriteTestFile(shipped + "Depth.wav", "RIFF");
  TRecordingSink sink;
  TSpeaker speaker;
  speaker.Sink = &sink;
  speaker.SoundDirs = {own, shipped};
  struct Case {
    std::string file;
    bool enabled;
    std::string played;
  };
  const Case cases[] = {
      {"Horn.wav", false, ""},                          // disabled: silence
      {"NONE", true, ""},          {"none", true, ""},   // any case
      {"Horn.wav", true, own + "Horn.wav"},
      {"HORN.WAV", true, own + "Horn.wav"},             // names fall back to any case
      {"C:\\BRISMARE\\DEPTH.WAV", true, shipped + "Depth.wav"},
      {"", true, shipped + "Ding.wav"},                 // empty: the general sound
      {"Missing.wav", true, shipped + "Ding.wav"},
      {own + "Horn.wav", true, own + "Horn.wav"},
  };
  for (const Case& c : cases) {
    sink.played.clear();
    speaker.Enabled = c.enabled;
    speaker.Play(c.file);
    EXPECT_EQ(speaker.LastPlayed, c.played) << c.file;
    EXPECT_EQ(sink.played.size(), c.played.empty() ? 0u : 1u) << c.file;
  }
  // Without the general sound, or when nothing can be played: the system's
  // alert sound.
  speaker.GeneralSound = "Gone.wav";
  speaker.Play("Missing.wav");
  EXPECT_EQ(speaker.LastPlayed, "beep");
  speaker.GeneralSound = "Ding.wav";
  sink.playable = false;
  sink.played.clear();
  speaker.Play("Horn.wav");
  EXPECT_EQ(sink.played, (std::vector<std::string>{own + "Horn.wav", shipped + "Ding.wav", "beep"}));
}

TEST(QuickShape, RingsTakeTheirStylesAndNoMajorRingsWithoutAStep) {
  auto styles = [](int rings, int majorEvery) {
    TQuickShape s;
    s.Setup(kPalette16[piBlack], qpmCopy, 80, 1, qpsDot, qpsSolid);
    s.RingCount = rings;
    s.MajorEvery = majorEvery;
    TRecordingCanvas canvas;
    s.DrawAt(canvas, {100, 100});
    std::string seen;
    for (const std::string& c : canvas.calls())
      if (c.rfind("pen", 0) == 0) seen += c.back() == '0' ? 'S' : 'D';
    return seen;
  };
  EXPECT_EQ(styles(4, 2), "DSDS");
  EXPECT_EQ(styles(1, 2), "S");
  EXPECT_EQ(styles(3, 0), "DDD");
  EXPECT_EQ(styles(3, -1), "DDD");
}

}  // namespace
