// Closing the plotter: the questions, the orderly close from outside, and
// the program ending on SIGTERM.
#include <QAction>

#include <chrono>
#include <cstdio>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>

#include "PlotterFixture.h"
#include "PlotterProcess.h"
#include "foundation/IniFile.h"
#include "navobjects/LogBook.h"
#include "navobjects/Routes.h"

namespace {

using PlotterClose = PlotterTest;

void FillList(TRoute& list, int points, bool modified) {
  for (int i = 0; i < points; ++i) list.AddRecord({{}, 0, 0, 0, 0, "P" + std::to_string(i), ""});
  list.Modified = modified;
}

TEST_F(PlotterClose, QuestionsForUnsavedListsThenToQuit) {
  const std::string route = "Route is not saved! Continue?";
  const std::string positions = "Positions is not saved! Continue?";
  const std::string quit = "Do you want to quit";
  struct Case {
    const char* label;
    int routePoints;
    bool routeModified;
    int positionPoints;
    bool positionsModified;
    bool noQuitQuery;
    std::vector<int> answers;
    std::vector<std::string> asked;
    bool closes;
  } cases[] = {
      {"nothing unsaved", 0, false, 0, false, false, {idYes}, {quit}, true},
      {"unsaved route", 2, true, 0, false, false, {idYes, idYes}, {route, quit}, true},
      {"unsaved route, No", 2, true, 0, false, false, {idNo}, {route}, false},
      {"unsaved positions", 0, false, 3, true, false, {idYes, idYes}, {positions, quit}, true},
      {"unsaved positions, No to quit", 0, false, 3, true, false, {idYes, idNo}, {positions, quit}, false},
      {"both unsaved", 1, true, 1, true, false, {idYes, idYes, idYes}, {route, positions, quit}, true},
      {"empty lists marked changed", 0, true, 0, true, false, {idYes}, {quit}, true},
      {"No Quit Query", 4, true, 4, true, true, {}, {}, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    std::string settings = kQuietSettings;
    if (c.noQuitQuery) settings += "[Custom]\r\nNo Quit Query=1\r\n";
    // The positions the last case kept for the next run are not this one's.
    std::remove((dir_ / "T_WPALD.SRW").c_str());
    T_Form& f = Start(settings);
    Show();
    questions_.Clear();
    FillList(*f.Route, c.routePoints, c.routeModified);
    FillList(*f.Positions, c.positionPoints, c.positionsModified);
    for (int a : c.answers) questions_.Answer(a);
    int closed = 0;
    QObject::connect(&f, &T_Form::FormClosed, [&closed] { ++closed; });

    f.MenuItem("Exit1")->trigger();
    EXPECT_EQ(Asked(), c.asked);
    for (const auto& q : questions_.asked()) EXPECT_EQ(q.caption, "Brismare II");
    EXPECT_EQ(f.Closed(), c.closes);
    EXPECT_EQ(closed, c.closes ? 1 : 0);
    EXPECT_EQ(TIniFile(iniFile_).ValueExists("Program State", "WinLeft"), c.closes);
    Stop();
  }
}

TEST_F(PlotterClose, OrderlyCloseAsksNothingAndSavesEverything) {
  T_Form& f = Start("[Program Setup]\r\nCom Port=0\r\nAuto Loggbook=1\r\n");
  Show();
  questions_.Clear();
  FillList(*f.Route, 2, true);
  FillList(*f.Positions, 2, true);
  f.SysInfo.TrippDistance = 42.5;
  f.showNormal();
  f.setGeometry(30, 40, 700, 500);
  Settle();

  f.CloseOrderly();
  EXPECT_TRUE(f.Closed());
  EXPECT_TRUE(questions_.asked().empty());
  EXPECT_EQ(f.LogBook->Entries.back().message, "Brismare Terminated");
  TIniFile ini(iniFile_);
  // The bounds are stored as edges.
  EXPECT_EQ(ini.ReadInteger("Program State", "WinLeft", -1), 30);
  EXPECT_EQ(ini.ReadInteger("Program State", "WinTop", -1), 40);
  EXPECT_EQ(ini.ReadInteger("Program State", "WinWidth", -1), 730);
  EXPECT_EQ(ini.ReadInteger("Program State", "WinHeight", -1), 540);
  EXPECT_FALSE(ini.ReadBool("Program State", "WinState", true));
  EXPECT_EQ(ini.ReadFloat("Program State", "Tripp Distance", 0), 42.5);
  // The close wrote the state with the geometry: the window going away
  // leaves the file as it is (every write makes a new file).
  struct stat closed {};
  ASSERT_EQ(::stat(iniFile_.c_str(), &closed), 0);
  Stop();
  struct stat destroyed {};
  ASSERT_EQ(::stat(iniFile_.c_str(), &destroyed), 0);
  EXPECT_EQ(destroyed.st_ino, closed.st_ino);

  // The next run comes back to the same place.
  T_Form& again = Start(ReadTestFile(iniFile_));
  EXPECT_EQ(again.geometry(), QRect(30, 40, 700, 500));
}

TEST_F(PlotterClose, SigtermEndsTheProgramInAnOrderlyWay) {
  struct Case {
    const char* label;
    const char* settings;  // nullptr: no settings file yet
  } cases[] = {
      {"a fresh settings file", nullptr},
      {"while a port notice waits for an answer",
       "[Program Setup]\r\nCom Port=3\r\nCom Device=/nonexistent/ttyX\r\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    TTempDir dataDir;
    const std::string settings = dataDir / "brismare.ini";
    if (c.settings) WriteTestFile(settings, c.settings);
    TPlotterProcess program(settings, dataDir.path());
    ASSERT_TRUE(program.Started());
    ASSERT_TRUE(program.WaitUntilUp(std::chrono::seconds(60))) << "the program did not come up";
    // Time to get the window on screen (and the notice up).
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));

    const std::optional<int> status = program.Terminate(std::chrono::seconds(5));
    if (!status) {
      ADD_FAILURE() << "still running 5 s after SIGTERM";
      continue;
    }
    ASSERT_TRUE(WIFEXITED(*status)) << "ended by signal " << WTERMSIG(*status);
    EXPECT_EQ(WEXITSTATUS(*status), 0);
    TIniFile ini(settings);
    EXPECT_TRUE(ini.ValueExists("Program State", "WinWidth"));
    EXPECT_TRUE(ini.ValueExists("Program State", "Total Distance"));
  }
}

}  // namespace
