// Tracks: the bytes of a recorded point, the rules that decide which points
// are recorded, the day files (restart, repair, midnight, empty files), the
// part of the line that is placed on the screen, the text imports and the
// export text, and GPX.
#include <sys/stat.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "RouteFilesTestUtil.h"
#include "TestSupport.h"
#include "foundation/GenUtil.h"
#include "geodesy/CTrans.h"
#include "instruments/NMEAInfo.h"
#include "navobjects/Trace.h"
#include "platform/Clock.h"
#include "platform/Questions.h"

namespace {

using routetest::FromHex;
using routetest::Hex;

constexpr TDateTime kNoon = 45458.5;                                                 // 2024-06-15 12:00 UTC
constexpr TDateTime k1230 = 45458.520833333336;                                      // 2024-06-15 12:30 UTC
const TFPoint kHarbour{(18 + 4.25 / 60) * kDegToRad, (59 + 30.5 / 60) * kDegToRad};  // 59°30.5'N 018°04.25'E

TNMEAINFO Nav(TFPoint pos, double headingDeg, double sog, double depth = NoDataValue, TDateTime time = 0) {
  TNMEAINFO n;
  n.Pos = pos;
  n.Heading = headingDeg == NoDataValue ? NoDataValue : headingDeg * kDegToRad;
  n.SOG = sog;
  n.Depth = depth;
  n.GpsDateTime = time;
  return n;
}

TTrcRecord Rec(double lonDeg, double latDeg, TDateTime time = k1230) {
  TTrcRecord r;
  r.Pos = TrackIntPos({lonDeg * kDegToRad, latDeg * kDegToRad});
  r.Time = time;
  return r;
}

// ---------------------------------------------------------------------------
// The record

TEST(TraceRecord, RecordedPointsHaveTheseBytes) {
  const TFPoint southWest{-kHarbour.X, -kHarbour.Y};
  const struct {
    const char* what;
    TNMEAINFO info;
    const char* hex;
  } cases[] = {
      {"a depth plus the transducer's", Nav(kHarbour, 90, 6.5, 12.3, k1230),
       "44 7b 36 00 5a 8b 10 00 84 03 00 00 00 00 83 00 00 00 00 50 ab aa aa aa 50 32 e6 40 80 00"},
      {"a depth of 0, south and west, a heading rounding to 360", Nav(southWest, 359.99, 0, 0),
       "bc 84 c9 ff a6 74 ef ff 10 0e 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00"},
      // No depth known is "no depth" (0), not the transducer's 0.5 m.
      {"no depth, heading or speed known", Nav(kHarbour, NoDataValue, NoDataValue, NoDataValue, k1230),
       "44 7b 36 00 5a 8b 10 00 00 00 00 00 00 00 00 00 00 00 00 00 ab aa aa aa 50 32 e6 40 00 00"},
      {"values beyond the fields saturate, NaN is written 0", Nav({4.0, 2.0}, std::nan(""), 1e40, 5000, std::nan("")),
       "c0 65 52 00 cb 3b 88 ff 00 00 00 00 00 00 ff ff ff ff ff 7f 00 00 00 00 00 00 00 00 ff 7f"},
  };
  for (const auto& c : cases) {
    const std::string bytes = EncodeTrcRecord(MakeTrackRecord(c.info, 0.5));
    EXPECT_EQ(Hex(bytes), c.hex) << c.what;
  }
  const std::string first = FromHex(cases[0].hex);
  const TTrcRecord back = DecodeTrcRecord(reinterpret_cast<const uint8_t*>(first.data()));
  EXPECT_EQ(back.Pos, (TIntPos{3570500, 1084250}));
  EXPECT_EQ(back.Heading, 900);
  EXPECT_EQ(back.SOG, 6.5);
  EXPECT_EQ(back.Time, k1230);
  EXPECT_EQ(back.Depth, 128);
  EXPECT_EQ(EncodeTrcRecord(back), first);
}

// ---------------------------------------------------------------------------
// Recording

class TraceFiles : public ::testing::Test {
 protected:
  std::string Dir() const { return dir_ / "tracks"; }
  std::string DayFile(TDateTime day) const { return TrackFileName(Dir(), day); }
  TTrcRecords Records(const std::string& path) const { return ReadTrc(ReadTestFile(path)).records; }
  void Settle(TTrace& t) const { t.Settings.TrackDir = Dir(); }
  // The boat goes `metres` on its new heading, `seconds` later; true when
  // the tick wrote a point.
  bool Step(TTrace& t, double seconds, double metres, double headingDeg, double sog) {
    clock_.Advance(std::chrono::duration<double>(seconds));
    pos_ = GeoOffset(pos_, {metres / kRadToMetre, headingDeg * kDegToRad});
    const int64_t before = TrackBytes();
    t.RecordTick(Nav(pos_, headingDeg, sog, NoDataValue, clock_.NowUTC()));
    return TrackBytes() > before;
  }
  // The bytes of the day files of the test's day and the next.
  int64_t TrackBytes() const {
    const TDateTime day = std::floor(kNoon);
    return std::max<int64_t>(FileSizeOf(DayFile(day)), 0) + std::max<int64_t>(FileSizeOf(DayFile(day + 1)), 0);
  }

  TTempDir dir_;
  TManualClock clock_{kNoon};
  TFPoint pos_ = kHarbour;
};

TEST(TraceRecording, PointsAreTakenByTimeDistanceCourseAndTheStopRule) {
  struct TStep {
    double seconds, metres, headingDeg, sog;
  };
  const struct {
    const char* what;
    int trackTime;
    double distanceMetres, compDevDeg;
    std::vector<TStep> steps;
    const char* taken;
  } cases[] = {
      // clang-format off
      {"a straight course takes only its first point",
       30, 100, 5, {{60, 200, 90, 6}, {60, 200, 90, 6}, {60, 200, 90, 6}}, "100"},
      {"turns of more than 5 degrees with 100 m are taken",
       30, 100, 5, {{60, 200, 90, 6}, {60, 200, 100, 6}, {60, 200, 103, 6}, {60, 200, 110, 6}}, "1101"},
      {"a turn within 100 m is not",
       30, 100, 5, {{60, 200, 90, 6}, {60, 50, 130, 6}}, "10"},
      {"stopping from above 0.5 knot is taken at once, once",
       30, 100, 5, {{60, 200, 90, 6}, {60, 0, 90, 0}, {60, 0, 90, 0}}, "110"},
      {"the stop rule waits for Track Time",
       30, 100, 5, {{60, 200, 90, 6}, {5, 0, 90, 0}, {30, 0, 90, 0}}, "101"},
      {"Track Time holds points back",
       30, 100, 5, {{10, 200, 90, 6}, {10, 200, 120, 6}, {10, 200, 150, 6}, {10, 200, 180, 6}}, "1001"},
      {"a distance limit of 0 drops its test",
       30, 0, 5, {{60, 200, 90, 6}, {60, 0, 100, 6}, {60, 0, 102, 6}}, "110"},
      {"a course limit of 0 drops its test",
       30, 100, 0, {{60, 200, 90, 6}, {60, 200, 90, 6}, {60, 50, 90, 6}}, "110"},
      {"limits of 0 take every tick",
       0, 0, 0, {{1, 0, 90, 6}, {1, 0, 90, 6}, {1, 0, 90, 6}}, "111"},
      // clang-format on
  };
  for (const auto& c : cases) {
    TTempDir dir;
    TManualClock clock(kNoon);
    TTrace t(nullptr, clock);
    t.Settings.TrackDir = dir / "t";
    t.Settings.TrackTime = c.trackTime;
    t.Settings.TrackDistance = c.distanceMetres / kRadToMetre;
    t.Settings.TrackCompDev = c.compDevDeg * kDegToRad;
    TFPoint pos = kHarbour;
    ASSERT_TRUE(t.StartRecording(Nav(pos, 90, 6))) << c.what;
    std::string taken;
    for (const TStep& s : c.steps) {
      clock.Advance(std::chrono::duration<double>(s.seconds));
      pos = GeoOffset(pos, {s.metres / kRadToMetre, s.headingDeg * kDegToRad});
      const int64_t before = FileSizeOf(t.FileName());
      t.RecordTick(Nav(pos, s.headingDeg, s.sog));
      taken += FileSizeOf(t.FileName()) > before ? '1' : '0';
    }
    EXPECT_EQ(taken, c.taken) << c.what;
  }
}

TEST_F(TraceFiles, ARestartOnTheSameDayGoesOnFromTheFilesLastPoint) {
  std::string firstTwo;
  {
    TTrace t(nullptr, clock_);
    Settle(t);
    ASSERT_TRUE(t.StartRecording(Nav(kHarbour, 90, 6)));
    ASSERT_TRUE(Step(t, 60, 200, 90, 6));
    ASSERT_TRUE(Step(t, 60, 200, 120, 6));
    firstTwo = ReadTestFile(DayFile(kNoon));
  }
  ASSERT_EQ(firstTwo.size(), 60u);
  TTrace t(nullptr, clock_);
  Settle(t);
  // Started at the harbour, far from where the file ends.
  ASSERT_TRUE(t.StartRecording(Nav(kHarbour, 90, 6)));
  EXPECT_EQ(t.Count(), 2);
  EXPECT_EQ(t.FileName(), DayFile(kNoon));
  EXPECT_FALSE(Step(t, 60, 60, 10, 6));  // 60 m from the file's last point
  EXPECT_TRUE(Step(t, 60, 60, 10, 6));   // 120 m
  const std::string now = ReadTestFile(DayFile(kNoon));
  ASSERT_EQ(now.size(), 90u);
  EXPECT_EQ(now.substr(0, 60), firstTwo);
  EXPECT_EQ(t.Count(), 3);
}

TEST_F(TraceFiles, ATornLastRecordIsCutOffBeforeRecordingGoesOn) {
  const TTrcRecords three = {Rec(18.0, 59.5), Rec(18.01, 59.5), Rec(18.02, 59.5)};
  const std::string whole = EncodeTrc(three);
  ASSERT_EQ(::mkdir(Dir().c_str(), 0755), 0);
  WriteTestFile(DayFile(kNoon), whole + EncodeTrcRecord(Rec(18.03, 59.5)).substr(0, 17));
  TTrace t(nullptr, clock_);
  Settle(t);
  pos_ = TrcPosition(three[2]);
  ASSERT_TRUE(t.StartRecording(Nav(pos_, 90, 6)));
  EXPECT_EQ(t.Count(), 3);
  EXPECT_EQ(FileSizeOf(DayFile(kNoon)), 90);
  EXPECT_EQ(FileSizeOf(DayFile(kNoon) + kTornSuffix), 17);
  ASSERT_TRUE(Step(t, 60, 200, 0, 6));
  const TTrcRecords after = Records(DayFile(kNoon));
  ASSERT_EQ(after.size(), 4u);
  EXPECT_EQ(TTrcRecords(after.begin(), after.begin() + 3), three);
  EXPECT_EQ(after[3].Pos, TrackIntPos(pos_));
}

TEST_F(TraceFiles, UtcMidnightStartsTheNextDaysFileWithTheFirstPointAfterIt) {
  clock_ = TManualClock(kNoon + 0.5 - 60 / 86400.0);  // 23:59:00
  TTrace t(nullptr, clock_);
  Settle(t);
  ASSERT_TRUE(t.StartRecording(Nav(pos_, 90, 6)));
  ASSERT_TRUE(Step(t, 30, 200, 90, 6));  // 23:59:30
  const TFPoint afterMidnight = GeoOffset(pos_, {200 / kRadToMetre, 120 * kDegToRad});
  ASSERT_TRUE(Step(t, 60, 200, 120, 6));  // 00:00:30
  ASSERT_TRUE(Step(t, 60, 200, 150, 6));
  const TDateTime nextDay = std::floor(kNoon) + 1;
  EXPECT_EQ(Records(DayFile(kNoon)).size(), 1u);
  const TTrcRecords second = Records(DayFile(nextDay));
  ASSERT_EQ(second.size(), 2u);
  EXPECT_EQ(second[0].Pos, TrackIntPos(afterMidnight));
  EXPECT_EQ(t.FileDay(), nextDay);
  EXPECT_EQ(t.FileName(), DayFile(nextDay));
  EXPECT_EQ(t.Count(), 2);  // the new file's points, the first included
}

TEST_F(TraceFiles, ADaySwitchThatCannotOpenTheNewFileWritesNothingAndSaysSoOnce) {
  clock_ = TManualClock(kNoon + 0.5 - 60 / 86400.0);
  TTrace t(nullptr, clock_);
  Settle(t);
  std::vector<std::string> told;
  t.OnWriteError = [&](const std::string& text) { told.push_back(text); };
  ASSERT_TRUE(t.StartRecording(Nav(pos_, 90, 6)));
  ASSERT_TRUE(Step(t, 30, 200, 90, 6));
  {
    TUnwritable locked(Dir());
    if (!locked.Ok()) GTEST_SKIP() << "no way to make a directory unwritable here";
    EXPECT_FALSE(Step(t, 60, 200, 120, 6));
    EXPECT_FALSE(t.IsOpen());
    EXPECT_FALSE(t.StartRecording(Nav(pos_, 90, 6)));
  }
  EXPECT_FALSE(TestFileExists(DayFile(std::floor(kNoon) + 1)));
  EXPECT_EQ(Records(DayFile(kNoon)).size(), 1u);
  ASSERT_EQ(told.size(), 1u);
  EXPECT_FALSE(t.LastError().empty());
}

TEST_F(TraceFiles, OnlyARecordingThatStayedEmptyRemovesItsFile) {
  TTrace t(nullptr, clock_);
  Settle(t);
  ASSERT_TRUE(t.StartRecording(Nav(pos_, 90, 6)));
  ASSERT_TRUE(TestFileExists(DayFile(kNoon)));
  t.Stop();
  EXPECT_FALSE(TestFileExists(DayFile(kNoon)));

  const std::string empty = dir_ / "old.TRC";
  WriteTestFile(empty, "");
  ASSERT_TRUE(t.OpenForView(empty));
  EXPECT_TRUE(t.Viewing());
  EXPECT_EQ(t.Count(), 0);
  t.Stop();
  EXPECT_TRUE(TestFileExists(empty));

  // A view is stopped by recording; a recording refuses a view.
  ASSERT_TRUE(t.OpenForView(empty));
  ASSERT_TRUE(t.StartRecording(Nav(pos_, 90, 6)));
  EXPECT_TRUE(t.Active());
  EXPECT_FALSE(t.OpenForView(empty));
  EXPECT_TRUE(t.Active());
}

// ---------------------------------------------------------------------------
// The line on the screen

// A Mercator chart of 1000 x 800 pixels from 10 to 11 E, 59.5 to 60 N.
void MakeChart(TWorldConvert& w) {
  RGeoRef ref;
  ref.Projection = kProjMercator;
  ASSERT_TRUE(w.SetupProjection(ref));
  const double r = kDegToRad;
  ASSERT_TRUE(w.SetRefPoints(
      {{0, 0, 10 * r, 60 * r}, {1000, 0, 11 * r, 60 * r}, {0, 800, 10 * r, 59.5 * r}, {1000, 800, 11 * r, 59.5 * r}}));
  ASSERT_TRUE(w.Fit());
}

TFRect Area(double west, double east) { return {east * kDegToRad, 60 * kDegToRad, west * kDegToRad, 59.5 * kDegToRad}; }

TPointArray PixelsOf(TWorldConvert& w, const TIntPosArray& points, int32_t first, int32_t last) {
  TPointArray px;
  for (int32_t i = first; i < last; ++i) {
    TPoint p;
    EXPECT_TRUE(w.GeoToPixelInt(IntPosToFPoint(points[static_cast<size_t>(i)]), p));
    px.push_back(p);
  }
  return px;
}

TEST_F(TraceFiles, TheScreenHoldsTheViewAndTwoPointsEitherSide) {
  TWorldConvert w;
  MakeChart(w);
  // 29 points along 59.75 N from 9.6 E eastwards, 0.0625 degrees apart:
  // points 7 to 22 lie in the chart.
  TTrcRecords records;
  for (int i = 0; i < 29; ++i) records.push_back(Rec(9.6 + 0.0625 * i, 59.75));
  WriteTestFile(dir_ / "day.TRC", EncodeTrc(records));
  TTrace t(&w, clock_);
  ASSERT_TRUE(t.OpenForView(dir_ / "day.TRC"));
  ASSERT_EQ(t.Count(), 29);
  const struct {
    double west, east;
    int32_t first, last;
  } views[] = {{10, 11, 5, 25}, {9.5, 9.7, 0, 4}, {11.3, 11.5, 26, 29}, {12, 13, 0, 0}};
  for (const auto& v : views) {
    t.SetViewArea(Area(v.west, v.east));
    EXPECT_EQ(t.FirstShown(), v.first) << v.west;
    EXPECT_EQ(t.LastShown(), v.last) << v.west;
    EXPECT_EQ(t.ScreenPoints(), PixelsOf(w, t.Points(), v.first, v.last)) << v.west;
  }
  // Drawn in panel pixels (62.5 pixels apart, from -87.5 less the scroll
  // of 100) on a canvas of 800 x 600: the legs wholly left of it and right
  // of it are left out.
  t.SetViewArea(Area(10, 11));
  TRecordingCanvas canvas(800, 600);
  t.Draw(canvas, {100, 50}, TrackPen(0xFF0000, 0));
  EXPECT_EQ(canvas.calls(), (std::vector<std::string>{
                                "pen FF0000 1 1", "brush 000000 1",
                                "polyline -62,351 0,351 63,351 125,351 187,351 250,351 312,351 375,351 438,351 500,351 "
                                "563,351 625,351 688,351 750,351 813,351"}));
  EXPECT_EQ(TrackPen(0xFF0000, 0), (TPen{0xFF0000, 1, TPenStyle::Dash}));
  EXPECT_EQ(TrackPen(0x00FF00, 3), (TPen{0x00FF00, 3, TPenStyle::Solid}));
}

TEST_F(TraceFiles, ACrowdedTrackIsPlacedAsTheConverterPlacesEachPoint) {
  TWorldConvert w;
  MakeChart(w);
  // A day's pace: 3000 points 3 m apart in a slow circle round 10.5 E.
  TTrcRecords records;
  TFPoint p{10.5 * kDegToRad, 59.75 * kDegToRad};
  for (int i = 0; i < 3000; ++i) {
    records.push_back(Rec(p.X * kRadToDeg, p.Y * kRadToDeg));
    p = GeoOffset(p, {3 / kRadToMetre, i * 0.002});
  }
  WriteTestFile(dir_ / "day.TRC", EncodeTrc(records));
  TTrace t(&w, clock_);
  ASSERT_TRUE(t.OpenForView(dir_ / "day.TRC"));
  // Every point is where the converter puts it, but for the roundings of a
  // coordinate within a thousandth of a pixel of a half (which go either
  // way).
  auto check = [&](const char* what) {
    ASSERT_EQ(t.ScreenPoints().size(), t.Points().size()) << what;
    for (size_t i = 0; i < t.Points().size(); ++i) {
      TFPoint q;
      ASSERT_TRUE(w.GeoToPixel(IntPosToFPoint(t.Points()[i]), q));
      auto near = [](double exact, int32_t got) {
        const bool tie = std::fabs(exact - std::floor(exact) - 0.5) < 1e-3;
        return got == RoundToInt(exact) || (tie && std::fabs(got - exact) < 1);
      };
      EXPECT_TRUE(near(q.X, t.ScreenPoints()[i].X) && near(q.Y, t.ScreenPoints()[i].Y))
          << what << " point " << i << ": " << q.X << " " << q.Y;
    }
  };
  // Zoom 16 (about 3.5 m a pixel), then 0.5 without converting anew.
  ASSERT_TRUE(w.SetScale(16, 16));
  t.SetViewArea(Area(10, 11));
  check("zoom 16");
  ASSERT_TRUE(w.SetScale(0.5, 0.5));
  t.RebuildScreen();
  check("zoom 0.5");
  // Another chart (here the same one shifted by a datum) places them anew.
  w.Shift = {1e-4, -2e-4};
  t.RebuildScreen();
  check("another chart");
}

TEST_F(TraceFiles, RecordingWhileTheViewShowsAnOlderPartDrawsNoLineToTheBoat) {
  TWorldConvert w;
  MakeChart(w);
  TTrace t(&w, clock_);
  Settle(t);
  t.Settings.TrackTime = 0;
  t.Settings.TrackDistance = 0;
  t.Settings.TrackCompDev = 0;
  t.SetViewArea(Area(10, 11));
  ASSERT_TRUE(t.StartRecording(Nav({10.1 * kDegToRad, 59.75 * kDegToRad}, 90, 6)));
  auto sail = [&](double lonDeg) {
    clock_.Advance(std::chrono::seconds(1));
    t.RecordTick(Nav({lonDeg * kDegToRad, 59.75 * kDegToRad}, 90, 6));
  };
  // In the view: each point joins the line.
  for (double lon : {10.2, 10.3, 10.4, 10.5, 10.6, 10.7}) sail(lon);
  EXPECT_EQ(t.ScreenPoints(), PixelsOf(w, t.Points(), 0, 6));
  // The view shows the first part; the boat sails on out of the chart.
  t.SetViewArea(Area(10.15, 10.35));
  const TPointArray older = PixelsOf(w, t.Points(), 0, 4);
  ASSERT_EQ(t.ScreenPoints(), older);
  for (double lon : {11.5, 11.6, 11.7}) sail(lon);
  EXPECT_EQ(t.Count(), 9);
  EXPECT_EQ(t.ScreenPoints(), older);
  EXPECT_EQ(t.LastShown(), 4);
  // Back into the view: the line follows the track out and back.
  sail(10.25);
  EXPECT_EQ(t.LastShown(), 10);
  EXPECT_EQ(t.ScreenPoints(), PixelsOf(w, t.Points(), 0, 10));
}

// ---------------------------------------------------------------------------
// Imports

class TraceImport : public TraceFiles {
 protected:
  void SetUp() override { previous_ = SetUserQuestions(&questions_); }
  void TearDown() override { SetUserQuestions(previous_); }
  TTrackTextOptions Options(bool datumAnswer = false) const {
    TTrackTextOptions o;
    o.ConfirmOtherDatum = [datumAnswer] { return datumAnswer; };
    o.clock = &clock_;
    return o;
  }
  bool ErrorShown() const { return !questions_.asked().empty() && questions_.asked().back().text == kTrackImportError; }

  TScriptedQuestions questions_;
  IUserQuestions* previous_ = nullptr;
};

TEST_F(TraceImport, CommaTextInEveryAngleFormat) {
  const std::string text =
      "Datum,WGS84,WGS84,0,0,0,0,0\r\n"
      "TP,D,59.5083333,-18.0708333,06/15/2024,12:30:00,1\r\n"
      "TP, DM ,59.305,-18.0425,\"06/15/2024\",12:31:00,0\r\n"
      "TrackPoint,DMS,-59.303,18.0415,06/15/2024,12:32:00,0\r\n"
      "TP,D,59.6,18.1,00/00/00,12:33:00,0\r\n"
      "TP,D,59.7,18.2,06/15/2024,12:34:00\r\n"  // 6 items: the end
      "TP,D,59.8,18.3,06/15/2024,12:35:00,0\r\n";
  WriteTestFile(dir_ / "in.txt", text);
  const std::string target = dir_ / "out.TRC";
  TTrace t(nullptr, clock_);
  const TTrackReadResult r = t.ImportCommaText(dir_ / "in.txt", target, Options());
  ASSERT_EQ(r.status, TTrackReadStatus::Ok) << r.error;
  EXPECT_FALSE(ErrorShown());
  const TTrcRecords got = Records(target);
  ASSERT_EQ(got.size(), 4u);
  const TIntPos want[] = {{3570500, -1084250}, {3570500, -1084250}, {-3570500, 1084250}, {3576000, 1086000}};
  for (size_t i = 0; i < 4; ++i) EXPECT_EQ(got[i].Pos, want[i]) << i;
  EXPECT_DOUBLE_EQ(got[0].Time, k1230);
  EXPECT_DOUBLE_EQ(got[2].Time, k1230 + 2 / 1440.0);
  EXPECT_EQ(got[3].Time, clock_.NowUTC());  // no date: now, in UTC
  EXPECT_EQ(got[1].SOG, 0);
  EXPECT_EQ(got[1].Heading, 0);
  EXPECT_EQ(got[1].Depth, 0);
  // Shown, and the last point kept for the caller.
  EXPECT_TRUE(t.Viewing());
  EXPECT_EQ(t.FileName(), target);
  // The line: the second point repeats the first, the third and fourth
  // jump across the equator (more than a radian): one point is drawn.
  EXPECT_EQ(t.Count(), 1);
  ASSERT_TRUE(t.LastImported().Valid);
  EXPECT_EQ(t.LastImported().Time, clock_.NowUTC());
}

TEST_F(TraceImport, FailuresKeepWhatWasReadAndSaySo) {
  const std::string target = dir_ / "out.TRC";
  TTrace t(nullptr, clock_);
  // Another tag after two points: the two stay in the target.
  WriteTestFile(dir_ / "tag.txt",
                "Datum,WGS84\nTP,D,59.5,18.0,06/15/2024,12:30:00,1\nTP,D,59.6,18.0,06/15/2024,12:31:00,0\n"
                "WP,D,59.7,18.0,06/15/2024,12:32:00,0\nTP,D,59.8,18.0,06/15/2024,12:33:00,0\n");
  TTrackReadResult r = t.ImportCommaText(dir_ / "tag.txt", target, Options());
  EXPECT_EQ(r.status, TTrackReadStatus::Damaged);
  EXPECT_TRUE(ErrorShown());
  EXPECT_EQ(Records(target).size(), 2u);
  EXPECT_FALSE(t.IsOpen());

  // Another datum: asked; No writes nothing.
  questions_.Clear();
  WriteTestFile(dir_ / "ed50.txt", "Datum,European 1950\nTP,D,59.5,18.0,06/15/2024,12:30:00,1\n");
  r = t.ImportCommaText(dir_ / "ed50.txt", dir_ / "ed50.TRC", Options(false));
  EXPECT_EQ(r.status, TTrackReadStatus::Declined);
  EXPECT_FALSE(TestFileExists(dir_ / "ed50.TRC"));
  EXPECT_EQ(t.ImportCommaText(dir_ / "ed50.txt", dir_ / "ed50.TRC", Options(true)).status, TTrackReadStatus::Ok);

  // No point at all is nothing received.
  questions_.Clear();
  WriteTestFile(dir_ / "none.txt", "Datum,WGS84\n\nTP,D,59.5,18.0,06/15/2024,12:30:00,1\n");
  r = t.ImportCommaText(dir_ / "none.txt", dir_ / "none.TRC", Options());
  EXPECT_EQ(r.status, TTrackReadStatus::NoPoints);
  EXPECT_TRUE(ErrorShown());
  EXPECT_FALSE(t.LastImported().Valid);
  EXPECT_FALSE(TestFileExists(dir_ / "none.TRC"));
}

TEST_F(TraceImport, AnExistingTargetIsRepairedAndAppendedTo) {
  const std::string target = dir_ / "old.TRC";
  const std::string before = EncodeTrcRecord(Rec(18.0, 59.0));
  WriteTestFile(target, before + "torn");
  WriteTestFile(dir_ / "in.txt", "Datum,WGS84\nTP,D,59.5,18.0,06/15/2024,12:30:00,1\n");
  TTrace t(nullptr, clock_);
  ASSERT_EQ(t.ImportCommaText(dir_ / "in.txt", target, Options()).status, TTrackReadStatus::Ok);
  const std::string after = ReadTestFile(target);
  ASSERT_EQ(after.size(), 60u);
  EXPECT_EQ(after.substr(0, 30), before);
  EXPECT_EQ(ReadTestFile(target + kTornSuffix), "torn");
  EXPECT_EQ(t.Count(), 2);
}

TEST_F(TraceImport, ColumnTextInTheThreeGrids) {
  const struct {
    const char* grid;
    const char* south;
    const char* north;
  } grids[] = {
      {"M DDD", "T  S59.5083333 W018.0708333 Sat Jun 15 12:30:00 2024 ; 12.5 ; 3",
       "T  N59.6000000 E018.1000000 Sat Jun 15 12:31:00 2024"},
      {"M  DMM", "T  S59 30.5000 W018 04.2500 Sat Jun 15 12:30:00 2024 ; 12.5 ; 3",
       "T  N59 36.0000 E018 06.0000 Sat Jun 15 12:31:00 2024"},
      {"M DMS", "T  S59 30 30.00 W018 04 15.00 Sat Jun 15 12:30:00 2024 ; 12.5 ; 3",
       "T  N59 36 00.00 E018 06 00.00 Sat Jun 15 12:31:00 2024"},
  };
  for (const auto& g : grids) {
    const std::string text = std::string("Version 2:G7T\r\n") + g.grid + "\r\nD WGS-84\r\n\r\nN  ACTIVE LOG\r\n" +
                             g.south + "\r\n" + g.north + "\r\n";
    const TTrackReadResult r = ReadTrackColumnText(text, Options());
    ASSERT_EQ(r.status, TTrackReadStatus::Ok) << g.grid << ": " << r.error;
    ASSERT_EQ(r.records.size(), 2u) << g.grid;
    EXPECT_EQ(r.records[0].Pos, (TIntPos{-3570500, -1084250})) << g.grid;
    EXPECT_EQ(r.records[1].Pos, (TIntPos{3576000, 1086000})) << g.grid;
    EXPECT_DOUBLE_EQ(r.records[0].Time, k1230) << g.grid;
  }
  // Another grid is refused; a point line that cannot be read ends the
  // import with the points before it.
  const std::string utm = "Version 2:G7T\nM UTM\nD WGS-84\nT  33V 0353453 6605786 Sat Jun 15 12:30:00 2024\n";
  TTrace t(nullptr, clock_);
  WriteTestFile(dir_ / "utm.g7t", utm);
  TTrackReadResult r = t.ImportColumnText(dir_ / "utm.g7t", dir_ / "utm.TRC", Options());
  EXPECT_EQ(r.status, TTrackReadStatus::NotThisKind);
  EXPECT_TRUE(ErrorShown());
  EXPECT_FALSE(TestFileExists(dir_ / "utm.TRC"));
  r = ReadTrackColumnText("V G7T\nD WGS-84\nM DMM\nT  N59 30.5000 E018 04.2500 Sat Jun 15 12:30:00 2024\nT  N59 3\n",
                          Options());
  EXPECT_EQ(r.status, TTrackReadStatus::Damaged);
  EXPECT_EQ(r.records.size(), 1u);
  // A datum other than WGS 84 is asked about.
  EXPECT_EQ(ReadTrackColumnText("V G7T\nD European 1950\nM DMM\n", Options(false)).status, TTrackReadStatus::Declined);
}

// ---------------------------------------------------------------------------
// Text and GPX

TEST_F(TraceImport, ExportAndPrintText) {
  TTrcRecord r = MakeTrackRecord(Nav(kHarbour, 90, 6.5, 12.3, k1230), 0.5);
  EXPECT_EQ(TrackTextLine(r, false), "2024-06-15,12:30:00, 59.50833,18.07083, 6.5,12.8");
  EXPECT_EQ(TrackTextLine(r, true), "2024-06-15,12:30:00, 59,30.500'N, 018,04.250'E,  6.5, 12.8");
  WriteTestFile(dir_ / "one.TRC", EncodeTrcRecord(r) + EncodeTrcRecord(Rec(-18.0, -59.5)));
  TTrace t(nullptr, clock_);
  std::vector<std::string> lines;
  EXPECT_FALSE(t.ToText(lines, false));
  ASSERT_TRUE(t.OpenForView(dir_ / "one.TRC"));
  ASSERT_TRUE(t.ToText(lines, false));
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[1], "2024-06-15,12:30:00, -59.50000,-18.00000, 0.0,0.0");
}

TEST(TraceGpx, TracksReadBackAsWrittenAndForeignOnesAreRead) {
  TTrcRecords records = {Rec(18.0, 59.5), Rec(-18.5, -59.25, 0), Rec(179.99, 89.9)};
  records[0].SOG = 6.5;
  records[0].Heading = 1234;
  records[0].Depth = 128;
  records[2].Depth = -5;
  const TTrackReadResult back = ReadTrackGpx(EncodeTrackGpx(records, "Sunday & Monday"));
  ASSERT_EQ(back.status, TTrackReadStatus::Ok) << back.error;
  EXPECT_EQ(back.records, records);

  // GPX 1.0 of another program: two segments, times with decimals and an
  // offset; a point without a position ends the reading.
  const std::string other =
      "<?xml version=\"1.0\"?>\n<gpx version=\"1.0\" xmlns=\"http://www.topografix.com/GPX/1/0\"><trk><trkseg>"
      "<trkpt lat=\"59.5\" lon=\"18\"><ele>3</ele><time>2024-06-15T14:30:00.5+02:00</time></trkpt></trkseg>"
      "<trkseg><trkpt lat=\"59.6\" lon=\"18\"><time>yesterday</time></trkpt><trkpt lon=\"1\"/></trkseg></trk></gpx>";
  const TTrackReadResult r = ReadTrackGpx(other);
  EXPECT_EQ(r.status, TTrackReadStatus::Damaged);
  ASSERT_EQ(r.records.size(), 2u);
  EXPECT_NEAR(r.records[0].Time, k1230 + 0.5 / 86400, 1e-9);
  EXPECT_EQ(r.records[1].Time, 0);
  EXPECT_EQ(ReadTrackGpx("<kml/>").status, TTrackReadStatus::NotThisKind);
}

}  // namespace
