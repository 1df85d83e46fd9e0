// The GPS menu of the main window on the offscreen platform, with a stub
// transfer program of ours (tests/plotter/data/gps_stub.sh) that records
// its arguments and fails on demand, and with gpsbabel as the oracle of the
// GPX it is handed: the five command lines, the ports closed while the
// program runs, the time limit, and what lands where afterwards.
#include <QAction>
#include <QDialog>
#include <QLabel>
#include <QListWidget>
#include <QMenu>

#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <deque>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "PlotterFixture.h"
#include "foundation/GenUtil.h"
#include "instruments/qt/AfComPort.h"
#include "instruments/qt/PtyPair.h"
#include "navobjects/Routes.h"
#include "navobjects/Trace.h"
#include "platform/FileDialogs.h"
#include "platform/Process.h"
#include "plotter/dialogs/AuxDialogs.h"
#include "plotter/MainForm.h"

namespace {

const std::string kStubSource = std::string(BRISMARE_SOURCE_DIR) + "/tests/plotter/data/gps_stub.sh";
constexpr double kDeg = M_PI / 180;

TRoutePointRec Point(const std::string& name, double latDeg, double lonDeg) {
  TRoutePointRec r;
  r.Name = name;
  r.Position = {lonDeg * kDeg, latDeg * kDeg};
  r.LegSpeed = 5;
  return r;
}

std::vector<std::string> Names(const TRoute& r) {
  std::vector<std::string> n;
  for (int i = 0; i < r.Count(); ++i) n.push_back(r.At(i)->Caption);
  return n;
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string l; std::getline(in, l);) lines.push_back(l);
  return lines;
}

// A track in the column exchange format: one "T" line per minute from
// 12:30 on the day.
std::string TrackG7t(int points, const char* day = "Sat Jun 15") {
  std::string t = "Version 2:G7T\r\nM  DMM\r\nD WGS-84\r\n\r\nN  ACTIVE LOG\r\n";
  for (int i = 0; i < points; ++i)
    t += "T  N59 3" + std::to_string(i) + ".0000 E018 06.0000 " + day + " 12:3" + std::to_string(i) + ":00 2024\r\n";
  return t;
}

// The process is gone (or only a zombie no one has reaped yet).
bool Gone(pid_t pid) {
  for (int i = 0; i < 300; ++i) {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string line;
    if (!stat || !std::getline(stat, line)) return true;
    const size_t paren = line.rfind(')');
    if (paren != std::string::npos && paren + 2 < line.size() && line[paren + 2] == 'Z') return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return false;
}

// The process id the stub wrote to `path`, waiting up to `wait` for the
// whole line (the shell writes it as it starts); 0 when none came.
pid_t StubPid(const std::string& path, std::chrono::milliseconds wait = std::chrono::milliseconds(0)) {
  const auto until = std::chrono::steady_clock::now() + wait;
  for (;;) {
    const std::string text = ReadTestFile(path);
    if (!text.empty() && text.back() == '\n') {
      pid_t pid = 0;
      for (char c : text) {
        if (c < '0' || c > '9') break;
        pid = pid * 10 + (c - '0');
      }
      return pid;
    }
    if (std::chrono::steady_clock::now() >= until) return 0;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
}

class GpsWindow : public PlotterClockTest {
 protected:
  void SetUp() override {
    PlotterClockTest::SetUp();
    previousDialogs_ = SetFileDialogs(&dialogs_);
    std::filesystem::create_directories(dir_ / "bin");
    for (const char* name : {"G7ToWin", "gpsbabel"}) {
      std::filesystem::copy_file(kStubSource, dir_ / "bin/" + name);
      ::chmod((dir_ / "bin/" + name).c_str(), 0755);
    }
    env_.Set("GPS_STUB_LOG", dir_ / "stub.log");
    env_.Set("GPS_STUB_PID", dir_ / "stub.pid");
    env_.Set("GPS_STUB_CAPTURE", dir_ / "captured");
    env_.Set("GPS_STUB_SOURCE", dir_ / "source");
    env_.Set("GPS_STUB_MODE", "ok");
  }
  void TearDown() override {
    SetFileDialogs(previousDialogs_);
    PlotterClockTest::TearDown();
  }
  std::string Stub(const char* name) { return dir_ / "bin/" + name; }
  T_Form& RunWith(const std::string& program, const std::string& more = "") {
    // The first of repeated keys counts: `more` before the quiet port.
    T_Form& f = Run("[Program Setup]\r\n" + more + "Com Port=0\r\nG7T=" + program + "\r\n");
    f.Gps().TransferTimeoutMs = 30000;
    // The input boxes answer from a queue.
    f.InputQuery = [this](const std::string&, const std::string&) -> std::optional<std::string> {
      if (answers_.empty()) return std::nullopt;
      std::string a = answers_.front();
      answers_.pop_front();
      return a;
    };
    f.RunDialog = [this](QDialog& d) {
      ++dialogsRun_;
      return dialogAnswer_ ? dialogAnswer_(d) : int(QDialog::Rejected);
    };
    return f;
  }
  std::vector<std::string> StubArgs() const { return Lines(ReadTestFile(dir_ / "stub.log")); }
  static void Trigger(T_Form& f, const char* item) {
    QAction* a = f.MenuItem(item);
    ASSERT_NE(a, nullptr) << item;
    ASSERT_TRUE(a->isEnabled()) << item;
    a->trigger();
  }
  static std::string Exchange(const T_Form& f, const char* ext = ".G7T") {
    return f.SysInfo.ProgramDir + "$$G7TO$$" + ext;
  }

  TScriptedFileDialogs dialogs_;
  IFileDialogs* previousDialogs_ = nullptr;
  std::deque<std::string> answers_;
  int dialogsRun_ = 0;
  std::function<int(QDialog&)> dialogAnswer_;
};

TEST_F(GpsWindow, FiveCommandLinesWithThePortsClosedMeanwhile) {
  TPtyPair pty;
  ASSERT_TRUE(pty.Ok());
  T_Form& f = RunWith(Stub("G7ToWin"), "Com Port=1\r\nCom Device=" + pty.SlavePath() + "\r\n");
  ASSERT_TRUE(f.GPSCom->Active());
  // The menu is there because the program is.
  f.Gps().UpdateGpsMenu();
  EXPECT_TRUE(f.SubMenu("GPSMenu")->menuAction()->isEnabled());
  std::vector<bool> portOpen;
  std::vector<bool> ticking;
  std::vector<std::string> shown;
  f.Gps().OnTransferWaiting = [&] {
    portOpen.push_back(f.GPSCom->Active());
    ticking.push_back(f.ComTimer().Enabled());
    shown.push_back(f.MsgT->text().toStdString());
  };
  f.ComTimer().SetEnabled(true);
  const std::string ex = Exchange(f);

  f.Positions->AddRecord(Point("BUOY", 59.5, 18.0));
  f.Positions->AddRecord(Point("ROCK", 59.6, 18.1));
  Trigger(f, "GPSSendPositions");
  EXPECT_EQ(StubArgs(), std::vector<std::string>{ex + ",w,GPS"});
  std::string sent = ReadTestFile(dir_ / "captured");
  EXPECT_NE(sent.find("BUOY"), std::string::npos);
  EXPECT_NE(sent.find("ROCK"), std::string::npos);

  f.Route->AddRecord(Point("Out", 59.5, 18.0));
  f.Route->AddRecord(Point("In", 59.7, 18.2));
  answers_ = {"7", "Harbour"};
  Trigger(f, "GPSSendRoute");
  EXPECT_EQ(StubArgs(), std::vector<std::string>{ex + ",r,GPS"});
  sent = ReadTestFile(dir_ / "captured");
  EXPECT_NE(sent.find("R  07 Harbour"), std::string::npos);
  EXPECT_NE(sent.find("E  07"), std::string::npos);

  // Receiving positions, kept with the old ones (No to clearing them); a
  // name present is not taken twice. (Names go to the receiver cleaned, in
  // upper case with "AP Capability" 0.)
  WriteTestFile(dir_ / "source", EncodeG7t({Point("WRECK", 59.55, 18.05), Point("BUOY", 1, 1)}, -1, "", {}));
  f.Positions->Modified = false;
  Trigger(f, "GPSGetPositions");
  EXPECT_EQ(StubArgs(), std::vector<std::string>{"GPSw,," + ex});
  EXPECT_EQ(Names(*f.Positions), (std::vector<std::string>{"BUOY", "ROCK", "WRECK"}));

  // A file of one route imports it without asking which.
  WriteTestFile(dir_ / "source", EncodeG7t({Point("A", 59, 18), Point("B", 59.1, 18), Point("C", 59.2, 18)}, 4,
                                           "Coast", {}));
  f.Route->Modified = false;
  questions_.Answer(idYes);  // "Clear old route?"
  Trigger(f, "GPSGetRoute");
  EXPECT_EQ(StubArgs(), std::vector<std::string>{"GPSr,," + ex});
  EXPECT_EQ(Names(*f.Route), (std::vector<std::string>{"A", "B", "C"}));
  EXPECT_EQ(dialogsRun_, 0);

  WriteTestFile(dir_ / "source", TrackG7t(2));
  Trigger(f, "GPSGetTrack");
  EXPECT_EQ(StubArgs(), std::vector<std::string>{"GPSt,," + ex});
  const std::string track = f.SysInfo.TrackDir + "/20240615-G7T (1).TRC";
  EXPECT_EQ(ReadTestFile(track).size(), 2 * kTrcRecordSize);
  EXPECT_TRUE(f.Trace->Viewing());
  EXPECT_EQ(f.Trace->FileName(), track);
  EXPECT_TRUE(f.MenuItem("OpenOld1")->isChecked());

  // Five runs, each with the port closed and the notice up; afterwards the
  // port is open again and the notice gone.
  EXPECT_EQ(portOpen, std::vector<bool>(5, false));
  EXPECT_EQ(ticking, std::vector<bool>(5, false));
  EXPECT_TRUE(f.ComTimer().Enabled());
  f.ComTimer().SetEnabled(false);
  EXPECT_EQ(shown, (std::vector<std::string>{"Brismare -> G7ToWin -> GPS...", "Brismare -> G7ToWin -> GPS...",
                                             "GPS -> G7ToWin -> Brismare...", "GPS -> G7ToWin -> Brismare...",
                                             "GPS -> G7ToWin -> Brismare..."}));
  EXPECT_TRUE(f.GPSCom->Active());
  EXPECT_TRUE(f.MsgP->isHidden());
}

TEST_F(GpsWindow, RouteNumberAndNameAreCheckedBeforeAnyTransfer) {
  T_Form& f = RunWith(Stub("G7ToWin"));
  f.Route->AddRecord(Point("Out", 59.5, 18.0));
  for (const auto& [number, name] : std::vector<std::pair<std::string, std::string>>{
           {"100", "Harbour"}, {"abc", "Harbour"}, {"7", ""}}) {
    answers_ = {number, name};
    Trigger(f, "GPSSendRoute");
    EXPECT_FALSE(TestFileExists(dir_ / "stub.log")) << number << "/" << name;
    EXPECT_FALSE(TestFileExists(Exchange(f))) << number << "/" << name;
  }
}

TEST_F(GpsWindow, FailedOrAbandonedTransfersImportNothingAndKeepTheList) {
  TPtyPair pty;
  ASSERT_TRUE(pty.Ok());
  T_Form& f = RunWith(Stub("G7ToWin"), "Com Port=1\r\nCom Device=" + pty.SlavePath() + "\r\n");
  f.Gps().TransferTimeoutMs = 300;
  f.Positions->AddRecord(Point("Buoy", 59.5, 18.0));
  f.Positions->AddRecord(Point("Rock", 59.6, 18.1));
  f.Positions->Modified = false;
  WriteTestFile(dir_ / "source", EncodeG7t({Point("Wreck", 59.55, 18.05)}, -1, "", {}));
  // A leftover exchange file is not taken for a download.
  WriteTestFile(Exchange(f), ReadTestFile(dir_ / "source"));
  for (const char* mode : {"fail", "partial", "hang"}) {
    SCOPED_TRACE(mode);
    env_.Set("GPS_STUB_MODE", mode);
    std::filesystem::remove(dir_ / "stub.pid");
    std::filesystem::remove(dir_ / "stub.pid.child");
    questions_.Answer(idYes);  // "Clear All Positions?": only after a download
    // The time limit counts only once the stub (and in "partial" its child)
    // is known to run, however slow the machine.
    f.Gps().OnTransferWaiting = [&] {
      StubPid(dir_ / "stub.pid", std::chrono::seconds(5));
      if (std::string(mode) == "partial") StubPid(dir_ / "stub.pid.child", std::chrono::seconds(5));
    };
    const auto started = std::chrono::steady_clock::now();
    Trigger(f, "GPSGetPositions");
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(10));
    EXPECT_EQ(Names(*f.Positions), (std::vector<std::string>{"Buoy", "Rock"}));
    EXPECT_TRUE(f.GPSCom->Active());
    EXPECT_TRUE(f.MsgP->isHidden());
    // The stub and what it started are stopped.
    const pid_t pid = StubPid(dir_ / "stub.pid");
    ASSERT_GT(pid, 0);
    EXPECT_TRUE(Gone(pid));
    if (std::string(mode) == "partial") {
      const pid_t child = StubPid(dir_ / "stub.pid.child");
      ASSERT_GT(child, 0);
      EXPECT_TRUE(Gone(child));
    }
  }
  EXPECT_EQ(questions_.asked().size(), 3u);
  // What the abandoned program wrote is not left for later.
  EXPECT_FALSE(TestFileExists(Exchange(f)));
}

TEST_F(GpsWindow, AnEndingPlotterDoesNotWaitForTheReceiver) {
  T_Form& f = RunWith(Stub("G7ToWin"));
  env_.Set("GPS_STUB_MODE", "hang");
  pid_t pid = 0;
  f.Gps().OnTransferWaiting = [&] {
    pid = StubPid(dir_ / "stub.pid", std::chrono::seconds(5));  // the receiver runs
    f.CloseOrderly();
  };
  const auto started = std::chrono::steady_clock::now();
  Trigger(f, "GPSGetTrack");
  EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(10));
  EXPECT_TRUE(f.Closed());
  ASSERT_GT(pid, 0);
  EXPECT_TRUE(Gone(pid));
}

TEST_F(GpsWindow, OneOfThreeRoutesIsChosen) {
  T_Form& f = RunWith(Stub("G7ToWin"));
  // Three routes in one file: the first encoded whole, the others' route
  // sections after it.
  std::string file = EncodeG7t({Point("A1", 59, 18), Point("A2", 59.1, 18)}, 1, "First", {});
  for (int n : {2, 3}) {
    const std::string more = EncodeG7t({Point("B" + std::to_string(n), 59.2, 18), Point("C" + std::to_string(n), 59.3, 18),
                                        Point("D" + std::to_string(n), 59.4, 18)},
                                       n, "Route" + std::to_string(n), {});
    file += more.substr(more.find("\r\nR  ") + 2);
  }
  WriteTestFile(dir_ / "source", file);
  int entries = 0;
  bool selectRoute = false;
  QString caption;
  dialogAnswer_ = [&](QDialog& d) {
    auto* list = d.findChild<QListWidget*>(QStringLiteral("RList"));
    if (!list) return int(QDialog::Rejected);
    // The program's "Select Route" window, made at start.
    selectRoute = &d == f.Forms().RLForm;
    caption = d.windowTitle();
    entries = list->count();
    list->setCurrentRow(1);
    return int(QDialog::Accepted);
  };
  Trigger(f, "GPSGetRoute");
  EXPECT_EQ(dialogsRun_, 1);
  EXPECT_TRUE(selectRoute);
  EXPECT_EQ(caption.toStdString(), "Available Routes");
  EXPECT_EQ(entries, 3);
  EXPECT_EQ(Names(*f.Route), (std::vector<std::string>{"B2", "C2", "D2"}));
  // Closing the list without a choice imports nothing.
  f.Route->Modified = false;
  dialogAnswer_ = nullptr;
  questions_.Answer(idYes);
  Trigger(f, "GPSGetRoute");
  EXPECT_EQ(Names(*f.Route), (std::vector<std::string>{"B2", "C2", "D2"}));
}

TEST_F(GpsWindow, DownloadedTracksGetNumberedNamesInsideTheTrackDirectory) {
  T_Form& f = RunWith(Stub("G7ToWin"));
  std::filesystem::create_directories(f.SysInfo.TrackDir);
  const std::string leftover = f.SysInfo.TrackDir + "/$$G7TO$$.TRC";
  TTrcRecord far;
  far.Pos = {-30 * 60000, -100 * 60000};
  WriteTestFile(leftover, EncodeTrcRecord(far));
  WriteTestFile(dir_ / "source", TrackG7t(3));
  Trigger(f, "GPSGetTrack");
  Trigger(f, "GPSGetTrack");
  for (const char* n : {"(1)", "(2)"}) {
    const std::string file = f.SysInfo.TrackDir + "/20240615-G7T " + n + ".TRC";
    EXPECT_EQ(ReadTestFile(file).size(), 3 * kTrcRecordSize) << n;  // nothing of the leftover
  }
  EXPECT_FALSE(TestFileExists(leftover));
  EXPECT_EQ(f.Trace->FileName(), f.SysInfo.TrackDir + "/20240615-G7T (2).TRC");
  // Nothing received: no file, certainly none dated 1899.
  WriteTestFile(dir_ / "source", TrackG7t(0));
  Trigger(f, "GPSGetTrack");
  std::vector<std::string> files;
  for (const auto& e : std::filesystem::directory_iterator(f.SysInfo.TrackDir)) files.push_back(e.path().filename());
  std::sort(files.begin(), files.end());
  EXPECT_EQ(files, (std::vector<std::string>{"20240615-G7T (1).TRC", "20240615-G7T (2).TRC"}));
  EXPECT_FALSE(f.Trace->Viewing());
  EXPECT_FALSE(f.MenuItem("OpenOld1")->isChecked());
}

TEST_F(GpsWindow, TheMenuFollowsTheProgram) {
  T_Form& f = RunWith(dir_ / "bin/NoSuchProgram");
  f.Gps().UpdateGpsMenu();
  EXPECT_FALSE(f.SubMenu("GPSMenu")->menuAction()->isEnabled());
  // Becoming executable is enough.
  std::filesystem::copy_file(kStubSource, dir_ / "bin/NoSuchProgram");
  ::chmod((dir_ / "bin/NoSuchProgram").c_str(), 0644);
  f.Gps().UpdateGpsMenu();
  EXPECT_FALSE(f.SubMenu("GPSMenu")->menuAction()->isEnabled());
  ::chmod((dir_ / "bin/NoSuchProgram").c_str(), 0755);
  f.Gps().UpdateGpsMenu();
  EXPECT_TRUE(f.SubMenu("GPSMenu")->menuAction()->isEnabled());
}

// ---------------------------------------------------------------------------
// gpsbabel

class GpsbabelWindow : public GpsWindow {
 protected:
  void SetUp() override {
    GpsWindow::SetUp();
    if (!TestFileExists("/usr/bin/gpsbabel")) GTEST_SKIP() << "gpsbabel is not installed (/usr/bin/gpsbabel)";
  }
  // gpsbabel's reading of a file in unicsv.
  static std::string AsUnicsv(const std::string& file, const char* kind) {
    TTempDir out;
    const TRunResult r =
        RunProgram("/usr/bin/gpsbabel", {kind, "-i", "gpx", "-f", file, "-o", "unicsv", "-F", out / "out.csv"}, 30000, true);
    EXPECT_EQ(r.exitCode, 0);
    return ReadTestFile(out / "out.csv");
  }
};

TEST_F(GpsbabelWindow, SendRouteHandsGpsbabelTheRoute) {
  T_Form& f = RunWith(Stub("gpsbabel"), "Com Device=/dev/ttyUSB7\r\nGPS Protocol=nmea\r\n");
  f.Route->AddRecord(Point("Out", 59.5, 18.0));
  f.Route->AddRecord(Point("Skerry", 59.625, -18.25));
  answers_ = {"3", "Coast"};
  Trigger(f, "GPSSendRoute");
  const std::string gpx = Exchange(f, ".GPX");
  EXPECT_EQ(StubArgs(), (std::vector<std::string>{"-r", "-i", "gpx", "-f", gpx, "-o", "nmea", "-F", "/dev/ttyUSB7"}));
  std::vector<std::string> rows = Lines(AsUnicsv(dir_ / "captured", "-r"));
  ASSERT_EQ(rows.size(), 3u) << ReadTestFile(dir_ / "captured");
  for (std::string& row : rows) {
    std::erase(row, '\r');
    std::erase(row, '"');
  }
  // Names as the receiver takes them ("AP Capability" 0: upper case).
  EXPECT_EQ(rows[0], "No,Latitude,Longitude,Name");
  EXPECT_EQ(rows[1], "1,59.500000,18.000000,Out");
  EXPECT_EQ(rows[2], "2,59.625000,-18.250000,Skerry");
}

TEST_F(GpsbabelWindow, GetTrackImportsGpsbabelsGpx) {
  T_Form& f = RunWith(Stub("gpsbabel"), "Com Device=/dev/ttyUSB7\r\n");
  env_.Set("GPS_STUB_MODE", "babel");
  WriteTestFile(dir_ / "source",
                "Latitude,Longitude,Date,Time\n59.5,18.0,2024/06/15,12:30:00\n59.51,18.02,2024/06/15,12:31:00\n"
                "59.52,18.04,2024/06/16,00:10:00\n");
  Trigger(f, "GPSGetTrack");
  EXPECT_EQ(StubArgs(), (std::vector<std::string>{"-t", "-i", "garmin", "-f", "/dev/ttyUSB7", "-o", "gpx", "-F",
                                                  Exchange(f, ".GPX")}));
  // Named by the day of the last point.
  const std::string track = f.SysInfo.TrackDir + "/20240616-G7T (1).TRC";
  const TTrackReadResult r = ReadTrc(ReadTestFile(track));
  ASSERT_EQ(r.records.size(), 3u);
  EXPECT_NEAR(TrcPosition(r.records[1]).Y, 59.51 * kDeg, 1e-7);
  EXPECT_NEAR(TrcPosition(r.records[1]).X, 18.02 * kDeg, 1e-7);
  EXPECT_TRUE(f.Trace->Viewing());
}

}  // namespace
