// The demo: the data set "brtool demo make" writes and "teskor -SU"
// catalogues, waypoint lists made into voyages, and the plotter sailing the
// demo voyage on its own in AUTOMATIC, from the overview into the harbour
// chart.
#include <QLabel>

#include <sys/wait.h>
#include <unistd.h>

#include <cmath>
#include <filesystem>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "PlotterFixture.h"
#include "charts/ChartFile.h"
#include "charts/ChartInfo.h"
#include "charts/ChartList.h"
#include "charts/ImageChart.h"
#include "charts/WCIctrl.h"
#include "foundation/GenUtil.h"
#include "foundation/IniFile.h"
#include "foundation/NumText.h"
#include "instruments/NMEA.h"
#include "geodesy/CTrans.h"
#include "platform/Clock.h"
#include "plotter/MainForm.h"
#include "plotter/RmcText.h"
#include "plotter/core/PlotterFlags.h"
#include "plotter/core/UpdateCycle.h"

namespace {

using namespace std::chrono_literals;

constexpr const char* kMark = "DEMO - NOT FOR NAVIGATION";
constexpr int kGroup = 9;  // sentences a fix
const char* const kGroupKinds[kGroup] = {"GPGGA", "GPRMC", "GPVTG", "HEHDT", "VWVHW",
                                         "SDDPT", "WIMWV", "WIMWV", "AIVDM"};

// The demo data set, made once for every test of this program that needs it.
struct TDemo {
  TTempDir dir;
  bool made = false;
  std::string problem;
};

const TDemo& Demo() {
  static std::unique_ptr<TDemo> demo;
  if (demo) return *demo;
  demo = std::make_unique<TDemo>();
  const std::string dir = demo->dir / "demo";
  const TProgramRun make = Brtool("demo make \"" + dir + "\"");
  if (make.status != 0) {
    demo->problem = "brtool demo make failed: " + make.out;
    return *demo;
  }
  TScopedEnv env;
  env.Set("BRISMARE_DIR", dir);
  const TProgramRun scan = RunBuiltProgram("teskor", "-SU");
  if (scan.status != 0) {
    demo->problem = "teskor -SU failed: " + scan.out;
    return *demo;
  }
  demo->made = true;
  return *demo;
}

#define REQUIRE_DEMO()                     \
  REQUIRE_PROGRAM("brtool");               \
  REQUIRE_PROGRAM("teskor");               \
  ASSERT_TRUE(Demo().made) << Demo().problem; \
  const std::string demoDir = Demo().dir / "demo/"

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string l; std::getline(in, l);) {
    if (!l.empty() && l.back() == '\r') l.pop_back();
    lines.push_back(l);
  }
  return lines;
}

std::vector<std::string> Fields(const std::string& sentence) {
  std::vector<std::string> f;
  std::istringstream in(sentence.substr(0, sentence.find('*')));
  for (std::string s; std::getline(in, s, ',');) f.push_back(s);
  return f;
}

// The checksum, computed here independently of the parser.
bool ChecksumMatches(const std::string& s) {
  const size_t star = s.find('*');
  if (s.empty() || (s[0] != '$' && s[0] != '!') || star == std::string::npos || star + 3 != s.size()) return false;
  unsigned sum = 0;
  for (size_t i = 1; i < star; ++i) sum ^= static_cast<unsigned char>(s[i]);
  return std::stoul(s.substr(star + 1), nullptr, 16) == sum;
}

// Position (radians) of an RMC sentence.
double Metres(const TFPoint& a, const TFPoint& b) { return GeoDistance(a, b) * kRadToNM * 1852; }

// The berth: the last waypoint of the demo's voyage.
TFPoint Berth() {
  TFPoint berth;
  const std::string list = ReadTestFile(std::string(BRISMARE_SOURCE_DIR) + "/data/demo/voyage.waypoints");
  for (const std::string& line : Lines(list)) {
    std::istringstream in(line);
    std::vector<std::string> w;
    for (std::string word; in >> word;) w.push_back(word);
    if (w.size() >= 7 && w[0] == "wp")
      berth = {(StrToFloatDot(w[4]) + StrToFloatDot(w[5]) / 60) * kDegToRad,
               (StrToFloatDot(w[1]) + StrToFloatDot(w[2]) / 60) * kDegToRad};
  }
  return berth;
}

// The catalog as the plotter loads it, over the demo's chart directory.
struct TDemoCatalog {
  TChartList list;
  int approaches = -1, harbour = -1;
  explicit TDemoCatalog(const std::string& demoDir) {
    list.LoadFromFile(demoDir + "BRAINDEX.BIN", demoDir + "charts");
    approaches = list.FindByName("Brisvik Approaches");
    harbour = list.FindByName("Brisvik Harbour");
  }
  int Best(const TFPoint& pos) { return list.BestChart(pos, -1, 0, 0); }
};

TEST(DemoData, TwoNestedChartsCalibratedExactlyAndCatalogued) {
  REQUIRE_DEMO();
  TDemoCatalog catalog(demoDir);
  ASSERT_EQ(catalog.list.Count(), 2);
  ASSERT_GE(catalog.approaches, 0);
  ASSERT_GE(catalog.harbour, 0);
  EXPECT_EQ(catalog.list.Entry(catalog.approaches)->Scale, 50000);
  EXPECT_EQ(catalog.list.Entry(catalog.harbour)->Scale, 10000);
  // The harbour plan lies inside the overview, and the larger scale wins
  // where both cover the water.
  for (const TFPoint& corner : catalog.list.Entry(catalog.harbour)->Border)
    EXPECT_TRUE(catalog.list.ChartContains(corner, catalog.approaches));
  EXPECT_EQ(catalog.Best(Berth()), catalog.harbour);

  for (const char* base : {"brisvik-approaches", "brisvik-harbour"}) {
    SCOPED_TRACE(base);
    // The converted chart carries the calibration and the marking.
    TWCIDecoder wci;
    ASSERT_GT(wci.Open(demoDir + "charts/" + base + ".wci"), 0);
    EXPECT_EQ(wci.ErrorCount(), 0);
    EXPECT_NE(wci.HeaderText().find("PR=1"), std::string::npos);
    EXPECT_NE(wci.HeaderText().find(kMark), std::string::npos);

    // The source image: a palette PNG whose calibration puts every
    // reference pixel exactly on its position, and the neat line's corners
    // (the border) on the reference pixels of the corners.
    TChartHeadExternalCodec codec;
    TChartFile file(codec);
    RChartInfo info;
    ASSERT_TRUE(file.LoadImage(demoDir + "source/" + base + ".png", info));
    EXPECT_EQ(file.Image().Format, TImageFormat::Indexed8);
    EXPECT_LE(file.Image().Palette.size(), 16u);
    EXPECT_EQ(info.Width, file.Image().Width);
    ASSERT_EQ(info.RefCount, 4);
    ASSERT_EQ(info.Layout.BorderCount, 4);
    TWorldConvert conv;
    ASSERT_TRUE(conv.SetupProjection(ChartGeoRef(info, false)));
    ASSERT_TRUE(conv.SetRefPoints(info.RefPoints));
    ASSERT_TRUE(conv.Fit());
    for (const TGridPoint& p : info.RefPoints) {
      TFPoint pixel;
      ASSERT_TRUE(conv.GeoToPixel({p.Lon, p.Lat}, pixel));
      EXPECT_NEAR(pixel.X, p.X, 1e-6);
      EXPECT_NEAR(pixel.Y, p.Y, 1e-6);
    }
    TFPoint topLeft;
    ASSERT_TRUE(conv.GeoToPixel(info.Layout.Border[0], topLeft));
    EXPECT_NEAR(topLeft.X, info.RefPoints[0].X, 1e-6);
    EXPECT_NEAR(topLeft.Y, info.RefPoints[0].Y, 1e-6);
  }
}

TEST(DemoData, VoyageLeavesTheOverviewForTheHarbourAndEndsAlongside) {
  REQUIRE_DEMO();
  const std::vector<std::string> lines = Lines(ReadTestFile(demoDir + "voyage.nmea"));
  ASSERT_GT(lines.size(), 100u * kGroup);
  ASSERT_EQ(lines.size() % kGroup, 0u);
  std::vector<std::string> rmc;
  for (size_t i = 0; i < lines.size(); ++i) {
    ASSERT_TRUE(ChecksumMatches(lines[i])) << "line " << i + 1 << ": " << lines[i];
    ASSERT_EQ(lines[i].substr(1, 5), kGroupKinds[i % kGroup]) << "line " << i + 1;
    if (i % kGroup == 1) rmc.push_back(lines[i]);
  }
  // One fix a second, on the receiver's clock.
  for (size_t i = 1; i < rmc.size(); ++i) {
    const std::vector<std::string> a = Fields(rmc[i - 1]), b = Fields(rmc[i]);
    auto seconds = [](const std::string& t) {
      return std::stoi(t.substr(0, 2)) * 3600 + std::stoi(t.substr(2, 2)) * 60 + std::stoi(t.substr(4, 2));
    };
    ASSERT_EQ(seconds(b[1]), seconds(a[1]) + 1) << rmc[i];
  }

  TDemoCatalog catalog(demoDir);
  const TFPoint start = RmcPosition(rmc.front()), end = RmcPosition(rmc.back());
  EXPECT_EQ(catalog.Best(start), catalog.approaches);
  EXPECT_FALSE(catalog.list.ChartContains(start, catalog.harbour));
  EXPECT_EQ(catalog.Best(end), catalog.harbour);
  EXPECT_LT(Metres(end, Berth()), 15.0);
  // Afloat all the way: the depth under the transducer never drops below
  // a metre.
  for (size_t i = 5; i < lines.size(); i += kGroup) EXPECT_GE(StrToFloatDot(Fields(lines[i])[1]), 1.0) << lines[i];

  // The demo settings: the boat at the start, AUTOMATIC on, and whole fixes
  // a tick that sail the voyage in under two minutes.
  TIniFile ini(demoDir + "demo-settings.ini");
  EXPECT_EQ(ini.ReadString("Program Setup", "Chart Dir", ""), ".\\charts");
  EXPECT_EQ(ini.ReadString("Program Setup", "NMEA_SIMUL", ""), ".\\voyage.nmea");
  EXPECT_TRUE(ini.ReadBool("Program Setup", "Auto Scroll", false));
  const int linesPerTick = ini.ReadInteger("Program Setup", "NMEA_SIMUL_READS", -1) + 1;
  ASSERT_GT(linesPerTick, 0);
  EXPECT_EQ(linesPerTick % kGroup, 0);
  const size_t ticks = (lines.size() + static_cast<size_t>(linesPerTick) - 1) / static_cast<size_t>(linesPerTick);
  EXPECT_GE(ticks, 60u);
  EXPECT_LE(ticks, 120u);
  const TFPoint last{ini.ReadFloat("Program State", "Last Long", 0), ini.ReadFloat("Program State", "Last Lat", 0)};
  EXPECT_LT(Metres(last, start), 20.0);
}

// The vessels around the boat: every AIS sentence of the replay decodes,
// and the target table ends with the four vessels by name.
TEST(DemoData, TheVesselsAroundAreHeardByName) {
  REQUIRE_DEMO();
  const TProgramRun ais = Brtool("ais --targets \"" + demoDir + "voyage.nmea\"");
  ASSERT_EQ(ais.status, 0) << ais.out;
  for (const char* name : {"SKARV FERRY", "ODIN", "MOLLY", "NORDKAPP"})
    EXPECT_NE(ais.out.find(name), std::string::npos) << name << " in " << ais.out;
}

TEST(DemoData, TheSameVoyageEveryTime) {
  REQUIRE_DEMO();
  TTempDir dir;
  ASSERT_EQ(Brtool("demo voyage \"" + std::string(BRISMARE_SOURCE_DIR) + "/data/demo/voyage.waypoints\" \"" +
                   (dir / "again.nmea") + "\"")
                .status,
            0);
  EXPECT_TRUE(ReadTestFile(dir / "again.nmea") == ReadTestFile(demoDir + "voyage.nmea"));
}

TEST(DemoVoyage, WaypointListsOfYourOwn) {
  REQUIRE_PROGRAM("brtool");
  TTempDir dir;
  // A short passage north in the open sea, across midnight, in a list
  // written on Windows.
  WriteTestFile(dir / "north.waypoints",
                "start 2025-12-31 23:59:50\r\nwind 90 20\r\ncurrent 0 0\r\nwait 5\r\n"
                "wp 56 20.000 N 002 50.000 E 6   # off we go\r\n"
                "wp 56 20.200 N 002 50.000 E 6\r\n");
  ASSERT_EQ(Brtool("demo voyage \"" + (dir / "north.waypoints") + "\" \"" + (dir / "north.nmea") + "\"").status, 0);
  const std::vector<std::string> lines = Lines(ReadTestFile(dir / "north.nmea"));
  ASSERT_FALSE(lines.empty());
  ASSERT_EQ(lines.size() % kGroup, 0u);
  const std::vector<std::string> first = Fields(lines[1]), last = Fields(lines[lines.size() - kGroup + 1]);
  EXPECT_EQ(first[1], "235950.00");
  EXPECT_EQ(first[9], "311225");
  EXPECT_EQ(last[9], "010126");
  const double course = StrToFloatDot(first[8]);
  EXPECT_LT(std::min(course, 360 - course), 3);  // north
  EXPECT_EQ(first[7], "6.0");
  const TFPoint end = RmcPosition(lines[lines.size() - kGroup + 1]);
  EXPECT_LT(Metres(end, {(2 + 50.0 / 60) * kDegToRad, (56 + 20.2 / 60) * kDegToRad}), 10.0);
  // The last five seconds at rest.
  EXPECT_EQ(Fields(lines[lines.size() - kGroup + 4])[5], "0.0");  // water speed of VHW

  // Lists that make no voyage are refused and leave no file.
  const char* const bad[] = {
      "wp 56 20 N 002 50 E 6\nwp 56 21 N 002 50 E 6\n",                // no start
      "start 2025-12-31 25:00:00\nwp 56 20 N 002 50 E 6\nwp 56 21 N 002 50 E 6\n",
      "start 2025-02-30 10:00:00\nwp 56 20 N 002 50 E 6\nwp 56 21 N 002 50 E 6\n",
      "start 2025-12-31 10:00:00\nwp 56 20 N 002 50 E 6\n",          // one waypoint
      "start 2025-12-31 10:00:00\nwp 56 60 N 002 50 E 6\nwp 56 21 N 002 50 E 6\n",
      "start 2025-12-31 10:00:00\nwp 91 0 N 002 50 E 6\nwp 56 21 N 002 50 E 6\n",
      "start 2025-12-31 10:00:00\nwp 56 20 X 002 50 E 6\nwp 56 21 N 002 50 E 6\n",
      "start 2025-12-31 10:00:00\nwp 56 20 N 002 50 E 0\nwp 56 21 N 002 50 E 6\n",
      "start 2025-12-31 10:00:00\nwp 56 20 N 002 50 E nan\nwp 56 21 N 002 50 E 6\n",
      "start 2025-12-31 10:00:00\nwp 56 20 N 002 50 E 6\nwp 56 21 N 002 50 E 6\nsail away\n",
      "start 2025-12-31 10:00:00\nwait 99999\nwp 56 20 N 002 50 E 6\nwp 56 21 N 002 50 E 6\n",
      // Across an ocean at walking pace: not reached in the time allowed.
      "start 2025-12-31 10:00:00\nwp 56 20 N 002 50 E 1\nwp 40 0 N 050 0 W 1\n",
  };
  for (const char* list : bad) {
    SCOPED_TRACE(list);
    WriteTestFile(dir / "bad.waypoints", list);
    EXPECT_EQ(Brtool("demo voyage \"" + (dir / "bad.waypoints") + "\" \"" + (dir / "bad.nmea") + "\"").status, 1);
    EXPECT_FALSE(TestFileExists(dir / "bad.nmea"));
  }
}

// The plotter itself on a copy of the demo directory, ticked by the test on
// a fake clock, as "tools/run" starts it: AUTOMATIC opens the overview at
// the start, follows the boat and opens the harbour chart when the boat
// comes into it; the dashboard shows the replay's fixes; the position kept
// at the end lies alongside in the harbour.
class DemoPlotter : public PlotterClockTest {};

TEST_F(DemoPlotter, AutomaticTakesTheBoatFromTheOverviewIntoTheHarbourChart) {
  REQUIRE_DEMO();
  std::filesystem::copy(demoDir, dir_ / "demo", std::filesystem::copy_options::recursive);
  const std::string data = dir_ / "demo/";
  env_.Set("BRISMARE_DIR", data);
  ResetDataDir();
  iniFile_ = data + "BRISMARE_2.INI";
  SetArguments({"brismare", "-I" + iniFile_});
  program_ = std::make_unique<TPlotterProgram>();
  T_Form& f = program_->MainForm();
  f.InputQuery = [](const std::string&, const std::string&) { return std::optional<std::string>(); };
  f.ComTimer().SetEnabled(false);
  Show();
  ASSERT_TRUE(f.PlotterFlags.Has(pfAutomatic));
  ASSERT_TRUE(f.SimBuffer && f.SimBuffer->ReplayOpen());

  TDemoCatalog catalog(data);
  const std::vector<std::string> lines = Lines(ReadTestFile(data + "voyage.nmea"));
  const size_t perTick = static_cast<size_t>(f.SysInfo.NmeaSimulReads + 1);
  std::vector<std::string> charts;  // the charts shown, in turn
  size_t read = 0;
  int checkedUpdates = 0;
  for (size_t tick = 0; read < lines.size() || tick < lines.size() / perTick + 10; ++tick) {
    Tick(f);
    read = std::min(lines.size(), read + perTick);
    const std::string chart = f.Chart().ChartInfo.Layout.Name;
    if (!chart.empty() && (charts.empty() || charts.back() != chart)) {
      charts.push_back(chart);
      // A chart opens for the boat where it is.
      const TFPoint boat = f.Parser()->Info.Pos;
      EXPECT_TRUE(catalog.list.ChartContains(boat, catalog.list.FindByName(chart))) << chart << " at tick " << tick;
      if (chart == "Brisvik Harbour") {
        EXPECT_EQ(charts.size(), 2u) << "the harbour chart opened at once";
      }
    }
    // At a display update the dashboard shows the last fix read.
    if (read < lines.size() && f.UpdateCycle()->DisplayCounter() == 0) {
      const std::string rmc = lines[read - kGroup + 1];
      const TFPoint fix = RmcPosition(rmc);
      EXPECT_EQ(f.DBBLat->text().toStdString(), LatToStr(fix.Y)) << rmc;
      EXPECT_EQ(f.DBBLong->text().toStdString(), LonToStr(fix.X)) << rmc;
      EXPECT_EQ(f.DBBspeed->text().toStdString(), FloatToStrFixedDot(1, StrToFloatDot(Fields(rmc)[7]))) << rmc;
      ++checkedUpdates;
    }
  }
  EXPECT_EQ(charts, (std::vector<std::string>{"Brisvik Approaches", "Brisvik Harbour"}));
  EXPECT_GT(checkedUpdates, 20);
  EXPECT_TRUE(Asked().empty());

  Stop();
  TIniFile ini(iniFile_);
  const TFPoint kept{ini.ReadFloat("Program State", "Last Long", 0), ini.ReadFloat("Program State", "Last Lat", 0)};
  EXPECT_TRUE(catalog.list.ChartContains(kept, catalog.harbour));
  EXPECT_LT(Metres(kept, Berth()), 15.0);
}

// The run command's way without a display: the program itself, offscreen,
// writing pictures as it sails.
TEST(DemoRun, ScreenshotsOfThePlotterAtWork) {
  REQUIRE_DEMO();
  REQUIRE_PROGRAM("brismare");
  TTempDir run;
  std::filesystem::copy(demoDir, run / "demo", std::filesystem::copy_options::recursive);
  const std::string data = run / "demo/";
  TScopedEnv env;
  env.Set("BRISMARE_DIR", data);
  env.Set("QT_QPA_PLATFORM", "offscreen");
  env.Set("BRISMARE_TICK_MS", "100");
  const TProgramRun r = RunBuiltProgram(
      "brismare", "\"-I" + data + "BRISMARE_2.INI\" --screenshots \"" + (run / "shots") +
                      "\" --screenshot-every 1 --screenshot-count 2");
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, (run / "shots/plotter-01.png") + "\n" + (run / "shots/plotter-02.png") + "\n");
  for (const char* name : {"shots/plotter-01.png", "shots/plotter-02.png"}) {
    const std::string bytes = ReadTestFile(run / name);
    TChartImage image;
    EXPECT_TRUE(LoadPNGImage({reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()}, image)) << name;
    EXPECT_GE(image.Width, 480);
  }
  // The replay ran: the position kept at the end is no longer the start.
  TIniFile ini(data + "BRISMARE_2.INI");
  TIniFile start(data + "demo-settings.ini");
  EXPECT_NE(ini.ReadFloat("Program State", "Last Lat", 0), start.ReadFloat("Program State", "Last Lat", 0));
}

}  // namespace
