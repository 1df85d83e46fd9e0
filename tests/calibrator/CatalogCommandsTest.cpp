// The calibration tool's catalog commands: the report, the start switch, the
// settings they read, and "teskor -SU" itself, run without a display over
// real charts and compared with GDAL's reading of them.
#include "calibrator/catalog/core/CatalogCommands.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstring>

#include "TestSupport.h"
#include "TinyPng.h"
#include "charts/ChartList.h"
#include "charts/HeaderText.h"
#include "foundation/IniFile.h"
#include "foundation/NumText.h"
#include "plotter/core/SysInfo.h"

extern char** environ;

namespace {

TEST(CatalogCommands, ReportLines) {
  TScanCounters c;
  c.KapGeo = 3;
  c.Wci = 1;
  c.Other = 2;
  c.DuplicateNames = 4;
  c.InList = 0;
  c.NotCalibrated = 5;
  EXPECT_EQ(CatalogReportLines(c, 17), (std::vector<std::string>{
                                           "--- AUTOLOAD SCANNING RESULT ---",
                                           "KAP/GEO Files Found: 3",
                                           "WCI Files Found: 1",
                                           "Other Files Found: 2",
                                           "Not added, Duplicate Chart Names: 4",
                                           "Not added, File Name in List: 0",
                                           "Not added, Not Calibrated: 5",
                                           "Total Number of Charts in List: 17",
                                       }));
}

TEST(CatalogCommands, TheStartSwitch) {
  struct Case {
    std::vector<std::string> params;
    bool scan;
  } cases[] = {
      {{"-SU"}, true},        {{"-su"}, true},         {{"/SU"}, true},  {{"-Supdate"}, true},
      {{"-W4", "-SU"}, true}, {{"-S"}, false},         {{"-SX"}, false}, {{"-W4"}, false},
      {{}, false},            {{"-SX", "-SU"}, false},  // the first S counts
  };
  for (const Case& c : cases) {
    std::string all;
    for (const std::string& p : c.params) all += p + " ";
    EXPECT_EQ(WantsUnattendedScan(c.params), c.scan) << all;
  }
}

TEST(CatalogCommands, TheScanReadsTheSettingsAsThePlotterDoes) {
  TTempDir tmp;
  const char* files[] = {
      "",
      "[Program Setup]\r\nChart Dir=.\\CHARTS*;C:\\MAPS;/srv/charts;;sub\\dir;x\r\n"
      "Use Chart Numbers=1\r\nUse KAP zero shift=3\r\nReverse KAP zero shift=0\r\n",
      "[Program Setup]\r\nChart Dir=\r\nUse KAP zero shift=9\r\nReverse KAP zero shift=junk\r\n",
      "[program setup]\r\nchart dir=  \"./a b\" ; ../up\r\nUSE CHART NUMBERS=-1\r\nUse KAP zero shift=-1\r\n",
  };
  for (const char* text : files) {
    SCOPED_TRACE(text);
    const std::string ini = tmp / "BRISMARE_2.INI";
    WriteTestFile(ini, text);
    const TCatalogSettings s = ReadCatalogSettings(ini, tmp.path());
    RSysInfo sys;
    InitSysInfoPaths(sys, ini, tmp.path());
    {
      TRWIniFile file(ini);
      RWDirectories(file, sys);
      RWStartOnlySettings(file, sys);
    }
    EXPECT_EQ(s.ChartDir, sys.ChartDir);
    EXPECT_EQ(s.UseChartNumbers, sys.UseChartNumbers);
    EXPECT_EQ(s.Datum.KapZeroShiftMode, sys.UseKAPZeroShift);
    EXPECT_EQ(s.Datum.ReverseKapShift, sys.ReverseKAPZeroShift);
  }
}

// ---------------------------------------------------------------------------
// The unattended scan in this process

std::string ReadAll(std::FILE* f) {
  std::rewind(f);
  std::string out;
  char buf[4096];
  size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) out.append(buf, n);
  return out;
}

struct TRun {
  int code = -1;
  std::string out, err;
};

TRun ScanIn(const std::string& dataDir) {
  std::FILE* out = std::tmpfile();
  std::FILE* err = std::tmpfile();
  TRun r;
  r.code = RunUnattendedScan(dataDir, out, err);
  r.out = ReadAll(out);
  r.err = ReadAll(err);
  std::fclose(out);
  std::fclose(err);
  return r;
}

// A calibrated PNG chart in CHARTS of the data directory.
void WriteImageChart(const TTempDir& tmp, const std::string& file, const std::string& name) {
  ::mkdir((tmp / "CHARTS").c_str(), 0755);
  WriteTestFile(tmp / ("CHARTS/" + file), TinyPng());
  const std::string base = file.substr(0, file.rfind('.'));
  WriteTestFile(tmp / ("CHARTS/" + base + ".CAL"),
                "NA=" + name + "\r\nFN=" + file +
                    "\r\nSC=20000\r\nGD=WGS84\r\nPR=0\r\nCC=3\r\nC1=0,0,58,11\r\nC2=1,0,58,12\r\nC3=0,1,57,11\r\n"
                    "BC=4\r\nB1=58,11\r\nB2=58,12\r\nB3=57,12\r\nB4=57,11\r\n");
}

TEST(CatalogCommands, ADamagedCatalogIsKeptAsideAndRebuilt) {
  TTempDir tmp;
  WriteImageChart(tmp, "a.png", "Alpha");
  WriteTestFile(tmp / "BRAINDEX.BIN", std::string("BRA\x01\xFF\xFF\xFF\x7F", 8) + "rest");
  const TRun r = ScanIn(tmp.path());
  EXPECT_EQ(r.code, kScanDone) << r.err;
  EXPECT_NE(r.err.find("damaged"), std::string::npos) << r.err;
  EXPECT_EQ(ReadTestFile(tmp / "BRAINDEX.BIN.damaged"), std::string("BRA\x01\xFF\xFF\xFF\x7F", 8) + "rest");
  TChartList list;
  EXPECT_EQ(list.LoadFromFile(tmp / "BRAINDEX.BIN", "").Status, TCatalogLoad::Loaded);
  EXPECT_EQ(list.Count(), 1);
  EXPECT_NE(r.out.find("Other Files Found: 1\n"), std::string::npos) << r.out;
}

TEST(CatalogCommands, ACatalogThatCannotBeReadOrWrittenIsLeftAlone) {
  TTempDir tmp;
  WriteImageChart(tmp, "a.png", "Alpha");
  // Not a file: nothing is scanned or written.
  ::mkdir((tmp / "BRAINDEX.BIN").c_str(), 0755);
  TRun r = ScanIn(tmp.path());
  EXPECT_EQ(r.code, kScanCatalogKept);
  EXPECT_TRUE(r.out.empty());
  ::rmdir((tmp / "BRAINDEX.BIN").c_str());
  // The catalog is a link to a file whose name leaves no room for the
  // temporary file of the atomic write: it cannot be replaced.
  const std::string target = tmp / std::string(250, 'x');
  const std::string empty("BRA\x01\0\0\0\0", 8);
  WriteTestFile(target, empty);
  ASSERT_EQ(::symlink(target.c_str(), (tmp / "BRAINDEX.BIN").c_str()), 0);
  r = ScanIn(tmp.path());
  EXPECT_EQ(r.code, kScanNotSaved);
  EXPECT_NE(r.err.find("could not be saved"), std::string::npos) << r.err;
  EXPECT_NE(r.out.find("Total Number of Charts in List: 1\n"), std::string::npos) << r.out;
  EXPECT_EQ(ReadTestFile(target), empty);
}

TEST(CatalogCommands, ProblemLinesGoToStandardError) {
  TTempDir tmp;
  WriteImageChart(tmp, "a.png", "Alpha");
  WriteImageChart(tmp, "b.png", "Alpha");
  WriteTestFile(tmp / "CHARTS/c.png", "not an image and no calibration");
  // A datum nobody knows: no one is asked, the chart is added and reported.
  WriteImageChart(tmp, "d.png", "Delta");
  std::string cal = ReadTestFile(tmp / "CHARTS/d.CAL");
  cal.replace(cal.find("GD=WGS84"), 8, "GD=NO SUCH DATUM");
  WriteTestFile(tmp / "CHARTS/d.CAL", cal);
  WriteTestFile(tmp / "BRISMARE_2.INI", "[Program Setup]\r\nChart Dir=.\\CHARTS;.\\NOWHERE\r\n");
  const TRun r = ScanIn(tmp.path());
  EXPECT_EQ(r.code, kScanDone);
  EXPECT_EQ(r.err, "No Cal: " + tmp / "CHARTS/c.png\nBad Datum: " + tmp / "CHARTS/d.CAL\nChart directory not found: " +
                       tmp / "NOWHERE\n");
  EXPECT_EQ(r.out,
            "--- AUTOLOAD SCANNING RESULT ---\nKAP/GEO Files Found: 0\nWCI Files Found: 0\nOther Files Found: 3\n"
            "Not added, Duplicate Chart Names: 0\nNot added, File Name in List: 0\nNot added, Not Calibrated: 1\n"
            "Total Number of Charts in List: 3\n");
  TChartList list;
  list.LoadFromFile(tmp / "BRAINDEX.BIN", "");
  EXPECT_GE(list.FindByName("Alpha (2)"), 0);
}

// ---------------------------------------------------------------------------
// teskor -SU as a program

// Runs teskor with the arguments in a fresh data directory, without a
// display.
TRun RunTeskor(const std::string& dataDir, const std::vector<std::string>& args) {
  const std::string program = std::string(BRISMARE_BIN_DIR) + "/teskor";
  std::vector<std::string> env;
  for (char** e = environ; *e; ++e) {
    const std::string v = *e;
    if (v.rfind("DISPLAY=", 0) == 0 || v.rfind("WAYLAND_DISPLAY=", 0) == 0 || v.rfind("QT_QPA_PLATFORM=", 0) == 0 ||
        v.rfind("BRISMARE_DIR=", 0) == 0)
      continue;
    env.push_back(v);
  }
  env.push_back("BRISMARE_DIR=" + dataDir);
  std::vector<char*> envp, argv;
  for (std::string& v : env) envp.push_back(v.data());
  envp.push_back(nullptr);
  std::vector<std::string> all = {program};
  all.insert(all.end(), args.begin(), args.end());
  for (std::string& a : all) argv.push_back(a.data());
  argv.push_back(nullptr);

  const std::string outFile = dataDir + "/.stdout", errFile = dataDir + "/.stderr";
  posix_spawn_file_actions_t fa;
  posix_spawn_file_actions_init(&fa);
  posix_spawn_file_actions_addopen(&fa, 1, outFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  posix_spawn_file_actions_addopen(&fa, 2, errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  pid_t pid;
  TRun r;
  const int rc = posix_spawn(&pid, program.c_str(), &fa, nullptr, argv.data(), envp.data());
  posix_spawn_file_actions_destroy(&fa);
  if (rc != 0) return r;
  int status = 0;
  ::waitpid(pid, &status, 0);
  r.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  r.out = ReadTestFile(outFile);
  r.err = ReadTestFile(errFile);
  ::unlink(outFile.c_str());
  ::unlink(errFile.c_str());
  return r;
}

// GDAL's corner positions of a chart (the first four rows of its
// georeferencing table: pixels (0,0), (W,0), (0,H), (W,H)), as a rectangle.
TFRect GdalCorners(const std::string& csv) {
  const std::vector<std::string> lines = SplitTextLines(ReadTestFile(csv));
  TFRect r{-INFINITY, -INFINITY, INFINITY, INFINITY};
  for (size_t i = 1; i <= 4 && i < lines.size(); ++i) {
    const std::vector<std::string> v = SplitCommaItems(lines[i]);
    const double lon = StrToFloatDot(v.at(2)) * kDegToRad, lat = StrToFloatDot(v.at(3)) * kDegToRad;
    r.X1 = std::max(r.X1, lon);
    r.Y1 = std::max(r.Y1, lat);
    r.X2 = std::min(r.X2, lon);
    r.Y2 = std::min(r.Y2, lat);
  }
  return r;
}

// The value of `key` after the "BSB/" line of a KAP header began, up to
// the next item or the end of the line.
std::string KapItem(const std::string& kap, const std::string& key, const std::string& until) {
  const std::string text = ReadTestFile(kap).substr(0, 20000);
  const size_t from = text.find(key, text.find("BSB/")) + key.size();
  return text.substr(from, std::min(text.find(until, from), text.find_first_of("\r\n", from)) - from);
}

TEST(Teskor, UnattendedScanOfRealChartsWithoutADisplay) {
  if (!TestFileExists(std::string(BRISMARE_BIN_DIR) + "/teskor")) GTEST_SKIP() << "teskor is not built";
  struct Chart {
    const char* stem;
    const char* file;
    double tolerancePx;  // how far GDAL's spline and the chart's own fit may part at the corners
  } charts[] = {
      {"14988_2", "14988_2.KAP", 2}, {"12205_12", "12205_12.KAP", 2}, {"11361_3", "11361_3.KAP", 2},
      {"NZ61401", "NZ61401.KAP", 2}, {"australia4c", "australia4c.kap", 2},
  };
  TTempDir tmp;
  ::mkdir((tmp / "CHARTS").c_str(), 0755);
  for (const Chart& c : charts) {
    REQUIRE_TESTDATA(kap, std::string("charts/") + c.file);
    WriteTestFile(tmp / ("CHARTS/" + std::string(c.file)), ReadTestFile(kap));
  }
  REQUIRE_TESTDATA(bsb, "charts/12205.BSB");
  WriteTestFile(tmp / "CHARTS/12205.BSB", ReadTestFile(bsb));

  const TRun first = RunTeskor(tmp.path(), {"-SU"});
  ASSERT_EQ(first.code, 0) << first.err;
  EXPECT_EQ(first.err, "");
  EXPECT_NE(first.out.find("KAP/GEO Files Found: 5\n"), std::string::npos) << first.out;
  EXPECT_NE(first.out.find("Total Number of Charts in List: 5\n"), std::string::npos) << first.out;

  TChartList list;
  ASSERT_EQ(list.LoadFromFile(tmp / "BRAINDEX.BIN", ChartSearchPath(tmp / "CHARTS")).Status, TCatalogLoad::Loaded);
  ASSERT_EQ(list.Count(), 5);
  for (const Chart& c : charts) {
    SCOPED_TRACE(c.stem);
    const std::string kap = TestDataFile(std::string("charts/") + c.file);
    const int i = list.FindByFileName(tmp / ("CHARTS/" + std::string(c.file)));
    ASSERT_GE(i, 0);
    const RChartLayout e = list.GetEntry(i);
    EXPECT_EQ(e.Name, KapItem(kap, "NA=", ",NU="));
    // The scale as GDAL reports the KNP/ record.
    const std::string json = ReadTestFile(TestDataFile(std::string("charts/") + c.stem + ".gdalinfo.json"));
    const size_t sc = json.find("SC=", json.find("\"BSB_KNP\""));
    EXPECT_EQ(std::to_string(e.Scale), json.substr(sc + 3, json.find(',', sc) - sc - 3));
    // The bounds: GDAL's corners in WGS 84, within 2 pixels.
    const TFRect g = GdalCorners(TestDataFile(std::string("charts/") + c.stem + ".geo.csv"));
    const double pixel = StrToFloatDot(KapItem(kap, "DX=", ","));  // metres
    const double lat = 0.5 * (g.Y1 + g.Y2);
    const double east = (e.Bounds.X1 - g.X1) * std::cos(lat) * kRadToMetre / pixel;
    const double west = (e.Bounds.X2 - g.X2) * std::cos(lat) * kRadToMetre / pixel;
    const double north = (e.Bounds.Y1 - g.Y1) * kRadToMetre / pixel;
    const double south = (e.Bounds.Y2 - g.Y2) * kRadToMetre / pixel;
    EXPECT_LT(std::fabs(east), c.tolerancePx) << east;
    EXPECT_LT(std::fabs(west), c.tolerancePx) << west;
    EXPECT_LT(std::fabs(north), c.tolerancePx) << north;
    EXPECT_LT(std::fabs(south), c.tolerancePx) << south;
    // The chart is chosen in its middle.
    const TFPoint mid{0.5 * (e.Bounds.X1 + e.Bounds.X2), 0.5 * (e.Bounds.Y1 + e.Bounds.Y2)};
    if (list.ChartContains(mid, i)) {
      EXPECT_EQ(list.BestChart(mid, -1, 0, 0), i);
    }
  }

  // Again: nothing new, the same catalog.
  const std::string before = ReadTestFile(tmp / "BRAINDEX.BIN");
  const TRun second = RunTeskor(tmp.path(), {"/su"});
  ASSERT_EQ(second.code, 0) << second.err;
  EXPECT_NE(second.out.find("KAP/GEO Files Found: 0\nWCI Files Found: 0\nOther Files Found: 0\n"), std::string::npos)
      << second.out;
  EXPECT_NE(second.out.find("Total Number of Charts in List: 5\n"), std::string::npos);
  EXPECT_EQ(ReadTestFile(tmp / "BRAINDEX.BIN"), before);
}

}  // namespace
