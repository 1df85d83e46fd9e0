// The track and the AIS targets in the main window on the offscreen
// platform: a replayed voyage with TRACK on is recorded into the day file
// and drawn where brtool puts the fixes, at two zooms; a recording killed
// from outside is taken up again with every earlier point; a replay with
// AIS sentences fills the target table through the tick, and the targets
// age out.
#include <QImage>
#include <QListWidget>

#include <chrono>
#include <ctime>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "ChartFixtures.h"
#include "PlotterFixture.h"
#include "PlotterProcess.h"
#include "foundation/Colors.h"
#include "foundation/GenUtil.h"
#include "foundation/NumText.h"
#include "instruments/AIS.h"
#include "instruments/AisTestUtil.h"
#include "instruments/NMEA.h"
#include "navobjects/LogBook.h"
#include "navobjects/Trace.h"
#include "plotter/ChartCanvas.h"
#include "plotter/MainForm.h"
#include "sharedui/SpyFrm.h"
#include "plotter/core/PlotterFlags.h"

namespace {

using namespace std::chrono_literals;
using chartfix::TChartPlan;

// One leg of a replayed voyage: course (degrees true), speed (knots),
// seconds.
struct TLeg {
  double course;
  double knots;
  int seconds;
};

std::string Minutes(double degrees, int degreeDigits) {
  const double a = std::fabs(degrees);
  const int d = static_cast<int>(a);
  char text[32];
  std::snprintf(text, sizeof text, "%0*d%07.4f", degreeDigits, d, (a - d) * 60);
  return text;
}

// One RMC sentence a second along the legs from (lat, lon) in degrees,
// from 10:00:00 UTC on 2025-01-01; also the positions sent.
std::string Voyage(double lat, double lon, const std::vector<TLeg>& legs, std::vector<TFPoint>* sent = nullptr,
                   const std::vector<std::string>& extraEachSecond = {}) {
  std::string text;
  int t = 0;
  auto fix = [&](double course, double knots) {
    char time[48];
    std::snprintf(time, sizeof time, "%02d%02d%02d.00", 10 + t / 3600, t / 60 % 60, t % 60);
    const std::string body = "GPRMC," + std::string(time) + ",A," + Minutes(lat, 2) + "," + (lat < 0 ? "S" : "N") +
                             "," + Minutes(lon, 3) + "," + (lon < 0 ? "W" : "E") + "," + FloatToStrDot(knots) + "," +
                             FloatToStrDot(course) + ",010125,,,A";
    text += aisfix::WithChecksum(body, '$') + "\r\n";
    if (sent) sent->push_back({lon * kDegToRad, lat * kDegToRad});
    if (!extraEachSecond.empty()) text += extraEachSecond[static_cast<size_t>(t) % extraEachSecond.size()] + "\r\n";
    ++t;
  };
  for (const TLeg& leg : legs)
    for (int s = 0; s < leg.seconds; ++s) {
      fix(leg.course, leg.knots);
      const double nm = leg.knots / 3600;
      lat += nm * std::cos(leg.course * kDegToRad) / 60;
      lon += nm * std::sin(leg.course * kDegToRad) / 60 / std::cos(lat * kDegToRad);
    }
  return text;
}

bool HasColourNear(const QImage& image, QRgb colour, double x, double y, int radius) {
  const int cx = static_cast<int>(std::lround(x)), cy = static_cast<int>(std::lround(y));
  for (int py = cy - radius; py <= cy + radius; ++py)
    for (int px = cx - radius; px <= cx + radius; ++px)
      if (image.rect().contains(px, py) && (image.pixel(px, py) & 0xFFFFFF) == colour) return true;
  return false;
}

std::vector<std::filesystem::path> TrackFiles(const std::string& dir) {
  std::vector<std::filesystem::path> files;
  std::error_code ec;
  for (const auto& e : std::filesystem::directory_iterator(dir, ec))
    if (e.path().extension() == ".TRC") files.push_back(e.path());
  return files;
}

class TrackWindow : public PlotterClockTest {
 protected:
  // The chart pixel of a position, from brtool.
  TFPoint Geo2Pix(const std::string& chart, const TFPoint& pos) {
    std::istringstream in(Brtool("chart geo2pix \"" + chart + "\" " + FloatToStrDot(pos.X * kRadToDeg) + " " +
                                 FloatToStrDot(pos.Y * kRadToDeg))
                              .out);
    std::string x, y;
    in >> x >> y;
    const auto px = TryStrToFloatDot(x), py = TryStrToFloatDot(y);
    EXPECT_TRUE(px && py) << "brtool chart geo2pix gave no pixel";
    return {px.value_or(0), py.value_or(0)};
  }
  static TFPoint ViewOf(T_Form& f, const TFPoint& chartPixel) {
    return {chartPixel.X * f.Chart().View.Zoom() - f.Chart().View.Scroll().X, chartPixel.Y * f.Chart().View.Zoom() - f.Chart().View.Scroll().Y};
  }
};

TEST_F(TrackWindow, AReplayedVoyageIsRecordedAndDrawnWhereItsFixesLie) {
  REQUIRE_PROGRAM("brtool");
  TChartPlan plan;  // 10.0-10.5 E, 54.2-54.5 N
  plan.width = 1200;
  plan.height = 900;
  const std::string chart = chartfix::WriteKapChart(dir_ / "BIG.KAP", plan);
  // East, then north, then south-east, at 60 knots: about 70 pixels a
  // minute on this chart, the boat ending well away from the first points.
  const std::string replay = dir_ / "voyage.nmea";
  WriteTestFile(replay, Voyage(54.30, 10.10, {{90, 60, 60}, {0, 60, 60}, {135, 60, 60}}));
  const std::string trackDir = dir_ / "tracks";
  T_Form& f = Run("[Program Setup]\r\nCom Port=0\r\nShow Time=1\r\nNMEA_SIMUL=" + replay +
                  "\r\nNMEA_SIMUL_READS=0\r\nShow Track=1\r\nTrack Time=5\r\nTrack CompDev=0\r\nTrack Dir=" +
                  trackDir +
                  "\r\n[Program State]\r\nWinLeft=0\r\nWinTop=0\r\nWinWidth=1100\r\nWinHeight=760\r\nWinState=0\r\n");
  ASSERT_TRUE(f.PlotterFlags.Has(pfTracking));
  ASSERT_TRUE(f.LoadChart(chart));
  Tick(f, 185);

  // The day file of the replay's date holds the points, every one a fix
  // of the voyage, at least "Track Time" apart and 100 m apart.
  const std::vector<std::filesystem::path> files = TrackFiles(trackDir);
  ASSERT_EQ(files.size(), 1u);
  EXPECT_EQ(files[0].filename(), "20250101.TRC");
  const TTrackReadResult read = ReadTrc(ReadTestFile(files[0].string()));
  ASSERT_EQ(read.status, TTrackReadStatus::Ok);
  ASSERT_GE(read.records.size(), 20u);
  EXPECT_LE(read.records.size(), 180u / 5 + 1);  // the first fix, then one every 5 s
  EXPECT_EQ(f.Trace->Count(), static_cast<int32_t>(read.records.size()));

  const QRgb track = ColorToRGB(f.Colours.track) & 0xFFFFFF;
  const TFPoint boat = f.Parser()->Info.Pos;
  for (double zoom : {1.0, 2.0}) {
    SCOPED_TRACE(zoom);
    f.Chart().ZoomTo({550, 380}, zoom);
    f.Chart().CentreOnPosition(TrcPosition(read.records[read.records.size() / 2]));
    const QImage frame = f.ChartCanvas()->RenderFrame();
    const TFPoint boatView = ViewOf(f, Geo2Pix(chart, boat));
    int probed = 0;
    for (const TTrcRecord& r : read.records) {
      const TFPoint v = ViewOf(f, Geo2Pix(chart, TrcPosition(r)));
      // The boat's symbol covers the newest points.
      if (std::hypot(v.X - boatView.X, v.Y - boatView.Y) < 25) continue;
      EXPECT_TRUE(HasColourNear(frame, track, v.X, v.Y, 1)) << v.X << "," << v.Y;
      ++probed;
    }
    EXPECT_GE(probed, 10);
    // Away from the line: the chart.
    const TFPoint first = ViewOf(f, Geo2Pix(chart, TrcPosition(read.records.front())));
    EXPECT_FALSE(HasColourNear(frame, track, first.X + 10, first.Y + 20, 3));
  }

  // TRACK off: the recording is closed, nothing more is drawn or written.
  f.DBI_TRACEClick();
  EXPECT_FALSE(f.Trace->IsOpen());
  const QImage off = f.ChartCanvas()->RenderFrame();
  const TFPoint mid = ViewOf(f, Geo2Pix(chart, TrcPosition(read.records[3])));
  EXPECT_FALSE(HasColourNear(off, track, mid.X, mid.Y, 1));
  // On again the same day: the file goes on, its points shown again.
  f.DBI_TRACEClick();
  EXPECT_TRUE(f.Trace->Active());
  EXPECT_EQ(f.Trace->Count(), static_cast<int32_t>(read.records.size()));
}

// Killed while recording (a crash, the power gone): the day file holds
// whole records of the voyage; a record torn by the kill is cut off when
// the next run opens the file, and recording goes on after the earlier
// points. The program runs at twenty ticks a second here.
TEST(PlotterProgramTrack, AKilledRecordingGoesOnAfterEveryWholePoint) {
  TTempDir dataDir;
  const std::string settings = dataDir / "brismare.ini";
  std::vector<TFPoint> sent;
  const std::string replay = dataDir / "voyage.nmea";
  WriteTestFile(replay, Voyage(57.60, 11.60, {{45, 20, 600}}, &sent));
  const std::string trackDir = dataDir / "tracks";
  WriteTestFile(settings, "[Program Setup]\r\nCom Port=0\r\nNMEA_SIMUL=" + replay +
                              "\r\nNMEA_SIMUL_READS=0\r\nShow Track=1\r\nTrack Time=0\r\nTrack CompDev=0\r\n"
                              "Track Distance=0\r\nTrack Dir=" +
                              trackDir + "\r\n");
  std::string bytes;
  {
    TPlotterProcess program(settings, dataDir.path(), {{"BRISMARE_TICK_MS", "50"}});
    ASSERT_TRUE(program.Started());
    ASSERT_TRUE(program.WaitUntilUp(60s)) << "the program did not come up";
    // Until a few dozen points are on disk, then the power goes.
    const auto started = std::chrono::steady_clock::now();
    while (std::chrono::steady_clock::now() - started < 60s) {
      const std::vector<std::filesystem::path> files = TrackFiles(trackDir);
      std::error_code ec;
      if (files.size() == 1 && std::filesystem::file_size(files[0], ec) >= 40 * 30) break;
      std::this_thread::sleep_for(20ms);
    }
    program.Kill();
  }
  const std::vector<std::filesystem::path> files = TrackFiles(trackDir);
  ASSERT_EQ(files.size(), 1u);
  bytes = ReadTestFile(files[0].string());
  ASSERT_GE(bytes.size(), 40u * 30);
  // Every whole record is a fix of the voyage, in its order.
  const TTrackReadResult killed = ReadTrc(bytes);
  ASSERT_EQ(killed.status, TTrackReadStatus::Ok);
  size_t at = 0;
  for (const TTrcRecord& r : killed.records) {
    const TFPoint p = TrcPosition(r);
    while (at < sent.size() && std::hypot(sent[at].X - p.X, sent[at].Y - p.Y) > 1e-6) ++at;
    ASSERT_LT(at, sent.size()) << "a recorded point that was never sent";
  }
  // A kill in the middle of a write leaves part of a record: so it is.
  const size_t whole = bytes.size() / 30 * 30;
  WriteTestFile(files[0].string(), bytes.substr(0, whole) + bytes.substr(whole - 30, 17));

  // The next run on the same day takes the file up again.
  {
    TTrace trace(nullptr);
    trace.Settings.TrackDir = trackDir;
    trace.Settings.TrackTime = 0;
    trace.Settings.TrackCompDev = 0;
    trace.Settings.TrackDistance = 0;
    TNMEAINFO info;
    info.Pos = sent.back();
    ASSERT_TRUE(trace.StartRecording(info));
    EXPECT_EQ(trace.Count(), static_cast<int32_t>(whole / 30));
    info.Pos.Y += 0.0001;
    info.SOG = 20;
    trace.RecordTick(info);
    trace.Stop();
  }
  const std::string after = ReadTestFile(files[0].string());
  ASSERT_EQ(after.size(), whole + 30);
  EXPECT_EQ(after.substr(0, whole), bytes.substr(0, whole));
  EXPECT_EQ(ReadTestFile(files[0].string() + ".torn"), bytes.substr(whole - 30, 17));
}

class AisWindow : public TrackWindow {};

TEST_F(AisWindow, AReplayWithAisSentencesFillsTheTargetTable) {
  // Two vessels and a base station near the boat; one vessel gets its name.
  const std::vector<std::string> ais = {
      aisfix::Vdm(aisfix::ClassA(265000001, 57.61, 11.62, 80, 900, 90)),
      aisfix::Vdm(aisfix::ClassB(265000002, 57.59, 11.58, 50, 1800, 180)),
      aisfix::Vdm(aisfix::Station(4, 2655000, 57.65, 11.70)),
      aisfix::Vdm(aisfix::Static5(265000001, "SABC1", "VINGA EXPRESS", 30, 10, 5, 5, 40, "GOTEBORG")),
  };
  const std::string replay = dir_ / "ais.nmea";
  // Forty seconds with AIS, then twenty minutes of fixes alone.
  WriteTestFile(replay, Voyage(57.60, 11.60, {{45, 6, 40}}, nullptr, ais) + Voyage(57.61, 11.61, {{45, 6, 1200}}));
  T_Form& f = Run("[Program Setup]\r\nCom Port=0\r\nShow Time=2\r\nNMEA_SIMUL=" + replay +
                  "\r\nNMEA_SIMUL_READS=1\r\nAIS Hide Time=4\r\nAIS Delete Time=10\r\n");
  ASSERT_TRUE(f.Ais);
  Tick(f, 40);
  const TAisDecoder& a = *f.Ais;
  auto slot = [&](int32_t mmsi) -> const TAIS_Rec* {
    for (const TAIS_Rec& r : a.Targets())
      if (r.MMSI == mmsi) return &r;
    return nullptr;
  };
  const TAIS_Rec* express = slot(265000001);
  const TAIS_Rec* classB = slot(265000002);
  const TAIS_Rec* base = slot(2655000);
  ASSERT_TRUE(express && classB && base);
  EXPECT_EQ(express->Kind, kAisClassA);
  EXPECT_EQ(CleanAisText(express->Name.View()), "VINGA EXPRESS");
  EXPECT_EQ(classB->Kind, kAisClassB);
  EXPECT_EQ(base->Kind, kAisBaseStation);
  EXPECT_EQ(express->TargetState, kAisActive);
  EXPECT_NEAR(express->TargetPos.Y * kRadToDeg, 57.61, 1e-5);
  // Range from the boat (57.60 N 11.60 E, moved a little since).
  EXPECT_GT(express->Range, 0.3);
  EXPECT_LT(express->Range, 1.2);

  // Silent for the hide time: hidden by the tick's housekeeping; for the
  // delete time: the slot is free.
  Tick(f, 5 * 60);
  EXPECT_EQ(slot(265000001)->TargetState, kAisHidden);
  Tick(f, 10 * 60);
  EXPECT_EQ(slot(265000001)->TargetState, kAisFree);

  // "AIS Show" off empties the table and stops decoding.
  f.SysInfo.AISShow = false;
  f.ApplySettings(false);
  EXPECT_EQ(f.Ais->TargetCount(), 0);
  EXPECT_FALSE(f.Parser()->AisEnabled);
}


// The information window in a time zone two hours east of UTC: the "UTC:"
// line is the report's time in UTC, speeds and courses read as written;
// switching AIS off empties the dashboard's list at once.
TEST_F(AisWindow, TheInformationWindowShowsUtcAndPlainNumbers) {
  env_.Set("TZ", "<+02>-2");
  tzset();
  const std::vector<std::string> ais = {aisfix::Vdm(aisfix::ClassA(265000003, 57.61, 11.62, 3, 2193, 511)),
                                        aisfix::Vdm(aisfix::Static5(265000003, "SABC3", "DRIFTER", 10, 5, 2, 2, 20, ""))};
  const std::string replay = dir_ / "ais.nmea";
  WriteTestFile(replay, Voyage(57.60, 11.60, {{45, 6, 20}}, nullptr, ais));
  T_Form& f = Run("[Program Setup]\r\nCom Port=0\r\nShow Time=1\r\nNMEA_SIMUL=" + replay + "\r\n");
  Tick(f, 6);
  auto* list = f.DB->findChild<QListWidget*>(QStringLiteral("BC_AIS"));
  ASSERT_TRUE(list);
  const QList<QListWidgetItem*> items = list->findItems(QStringLiteral("DRIFTER:"), Qt::MatchStartsWith);
  ASSERT_EQ(items.size(), 1) << list->count();
  list->setCurrentItem(items.front());
  f.AIS_InfoClick();
  ASSERT_TRUE(f.AisView().AisInfoWindow);
  const TAIS_Rec* t = nullptr;
  for (const TAIS_Rec& r : f.Ais->Targets())
    if (r.MMSI == 265000003) t = &r;
  ASSERT_TRUE(t);
  const std::vector<std::string> lines = f.AisView().AisInfoWindow->Lines();
  ASSERT_GE(lines.size(), 6u);
  EXPECT_EQ(lines[0], "UTC:\t" + DateTimeToText(t->LastReportUTC));
  EXPECT_EQ(lines[4], "SOG:\t0.3kn");
  EXPECT_EQ(lines[5], "COG:\t219.3\xC2\xB0");

  f.SysInfo.AISShow = false;
  f.ApplySettings(false);
  EXPECT_EQ(list->count(), 0);
}
// The targets on the chart where the chart puts their positions: a vessel
// heading north at 10 knots on a course of 090 (its triangle and heading
// line north, its speed line east), its name below it, and a base station.
TEST_F(AisWindow, TargetsAreDrawnWhereTheChartPutsThem) {
  REQUIRE_PROGRAM("brtool");
  TChartPlan plan;  // 10.0-10.5 E, 54.2-54.5 N
  plan.width = 1200;  // larger than the view: "Find" can centre on a target
  plan.height = 900;
  const std::string chart = chartfix::WriteKapChart(dir_ / "AIS.KAP", plan);
  const std::vector<std::string> ais = {
      aisfix::Vdm(aisfix::ClassA(265000001, 54.35, 10.20, 100, 900, 0)),
      aisfix::Vdm(aisfix::Static5(265000001, "SABC1", "NORDWIND", 30, 10, 5, 5, 40, "KIEL")),
      aisfix::Vdm(aisfix::Station(4, 2655000, 54.25, 10.40)),
  };
  const std::string replay = dir_ / "ais.nmea";
  WriteTestFile(replay, Voyage(54.30, 10.40, {{0, 0, 30}}, nullptr, ais));
  for (int labels : {2, 0}) {
    SCOPED_TRACE(labels);
    T_Form& f = Run("[Program Setup]\r\nCom Port=0\r\nShow Time=1\r\nSpeed Mark=600\r\nAIS Labels=" +
                    std::to_string(labels) + "\r\nNMEA_SIMUL=" + replay +
                    "\r\n[Program State]\r\nWinLeft=0\r\nWinTop=0\r\nWinWidth=1100\r\nWinHeight=760\r\nWinState=0\r\n");
    ASSERT_TRUE(f.LoadChart(chart));
    f.Chart().ZoomTo({200, 150}, 1.0);
    f.Chart().CentreOnPosition({10.30 * kDegToRad, 54.32 * kDegToRad});
    Tick(f, 12);
    const QImage frame = f.ChartCanvas()->RenderFrame();
    const QRgb marker = ColorToRGB(f.Colours.aisMarker) & 0xFFFFFF;
    const TFPoint v = ViewOf(f, Geo2Pix(chart, {10.20 * kDegToRad, 54.35 * kDegToRad}));
    // The triangle around the position, the heading line 20 to 60 pixels
    // north, the speed line east (10 kn at 600 s of "Speed Mark").
    EXPECT_TRUE(HasColourNear(frame, marker, v.X, v.Y - 10, 2));
    EXPECT_TRUE(HasColourNear(frame, marker, v.X, v.Y - 40, 1));
    const double perKnot = 600.0 / 3600 / f.Parser()->Info.MilesPerPixel;
    EXPECT_TRUE(HasColourNear(frame, marker, v.X + 5 * perKnot, v.Y, 1)) << perKnot;
    EXPECT_FALSE(HasColourNear(frame, marker, v.X, v.Y + 30, 3));
    // The name below the symbol, in the text colour, only with labels on.
    const QRgb text = ColorToRGB(f.Colours.aisTargetText) & 0xFFFFFF;
    bool named = false;
    for (int dy = 6; dy < 22 && !named; ++dy)
      for (int dx = 0; dx < 60 && !named; ++dx) named = HasColourNear(frame, text, v.X + dx, v.Y + dy, 0);
    EXPECT_EQ(named, labels != 0);
    // The base station: its cross.
    const TFPoint b = ViewOf(f, Geo2Pix(chart, {10.40 * kDegToRad, 54.25 * kDegToRad}));
    EXPECT_TRUE(HasColourNear(frame, marker, b.X, b.Y - 10, 1));
    EXPECT_TRUE(HasColourNear(frame, marker, b.X + 10, b.Y, 1));
    // The information window of the vessel, from the dashboard's list.
    auto* list = f.DB->findChild<QListWidget*>(QStringLiteral("BC_AIS"));
    ASSERT_TRUE(list);
    const QList<QListWidgetItem*> items = list->findItems(QStringLiteral("NORDWIND:"), Qt::MatchStartsWith);
    ASSERT_EQ(items.size(), 1) << list->count();
    list->setCurrentItem(items.front());
    f.AIS_InfoClick();
    ASSERT_TRUE(f.AisView().AisInfoWindow);
    EXPECT_TRUE(f.AisView().AisInfoWindow->isVisible());
    EXPECT_EQ(f.AisView().AisInfoWindow->Lines().at(1), "Name:\tNORDWIND");
    // "Find" centres the chart on it.
    f.AIS_FindClick();
    const TFPoint centred = ViewOf(f, Geo2Pix(chart, {10.20 * kDegToRad, 54.35 * kDegToRad}));
    EXPECT_NEAR(centred.X, f.Chart().ViewSize().X / 2.0, 2);
    EXPECT_NEAR(centred.Y, f.Chart().ViewSize().Y / 2.0, 2);
    Stop();
  }
}

class TRecordingSink : public ISoundSink {
 public:
  bool PlayFile(const std::string& path) override {
    played.push_back(path);
    return true;
  }
  void Beep() override { played.push_back("beep"); }
  std::vector<std::string> played;
};

// The collision check runs in the tick: with no chart loaded and the window
// minimised a closing vessel raises the alarm and its sound; the alarm ends
// when the vessel has passed, and another closing vessel raises it again.
TEST_F(AisWindow, TheAlarmSoundsWithoutAChartAndWhileMinimised) {
  const std::string sound = dir_ / "cpa.wav";
  WriteTestFile(sound, "RIFF");
  // The boat lies still at 57.60 N 11.60 E.
  const std::string closing = aisfix::Vdm(aisfix::ClassA(265000001, 57.62, 11.60, 120, 1800, 180));
  const std::string passed = aisfix::Vdm(aisfix::ClassA(265000001, 57.57, 11.60, 120, 1800, 180));
  const std::string other = aisfix::Vdm(aisfix::ClassA(265000002, 57.60, 11.64, 120, 2700, 270));
  const std::string replay = dir_ / "cpa.nmea";
  WriteTestFile(replay, Voyage(57.60, 11.60, {{0, 0, 30}}, nullptr, {closing}) +
                            Voyage(57.60, 11.60, {{0, 0, 30}}, nullptr, {passed}) +
                            Voyage(57.60, 11.60, {{0, 0, 30}}, nullptr, {other}));
  T_Form& f = Run("[Program Setup]\r\nCom Port=0\r\nShow Time=1\r\nWarning Sound=1\r\nSound AIS CPA=" + sound +
                  "\r\nNMEA_SIMUL=" + replay + "\r\n");
  TRecordingSink sink;
  f.Speaker->Sink = &sink;
  f.showMinimized();
  ASSERT_FALSE(f.PlotterFlags.Has(pfChartLoaded));
  auto soundsOfAlarm = [&] { return std::count(sink.played.begin(), sink.played.end(), sound); };
  // Each phase of the replay lasts 30 ticks.
  Tick(f, 25);
  EXPECT_TRUE(f.NavFlags.Has(nfAisAlarm));
  EXPECT_GE(soundsOfAlarm(), 1);
  Tick(f, 30);
  EXPECT_FALSE(f.NavFlags.Has(nfAisAlarm));
  sink.played.clear();
  Tick(f, 3);
  EXPECT_FALSE(f.NavFlags.Has(nfAisAlarm)) << "not before the other vessel is heard";
  Tick(f, 12);
  EXPECT_TRUE(f.NavFlags.Has(nfAisAlarm));
  EXPECT_GE(soundsOfAlarm(), 1);
  f.Speaker->Sink = nullptr;
}

}  // namespace
