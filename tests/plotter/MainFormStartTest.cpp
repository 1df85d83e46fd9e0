// Start and teardown of the plotter's main window.
#include <QAction>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QTimer>

#include <algorithm>
#include <filesystem>
#include <stdexcept>

#include "ChartFixtures.h"
#include "PlotterFixture.h"
#include "charts/ChartList.h"
#include "foundation/GenUtil.h"
#include "foundation/IniFile.h"
#include "instruments/NMEA.h"
#include "navobjects/LogBook.h"
#include "navobjects/Routes.h"
#include "plotter/PosEdit.h"
#include "plotter/core/StartSteps.h"

namespace {

const std::vector<std::string> kCreation = {
    "form T_Form",
    "create T_Form",
    "create TSpeaker",
    "create TChartList",
    "create TDatum",
    "create TKAPDecoder",
    "create TWCIDecoder",
    "create TWorldConvert",
    "create TNMEALineBuffer main",
    "create TNMEA",
    "create TLOGGBOOK",
    "create TNMEALineBuffer sim",
    "create TNMEALineBuffer B",
    "create TNMEALineBuffer C",
    "create TAisDecoder",
    "create TBitmapPager",
    "create TSYSCOLOR",
    "create TRoute positions",
    "create TRoute route",
    "create TChartHeadExternalCodec",
    "create TChartFile",
    "create TMagError",
    "create TQuickShape boat",
    "create TQuickShape rings",
    "create TQuickShape speed",
    "create TTrace",
    "create TLogDist",
    "enable ComTimer",
    "form T_CHInfo",
    "form TChartAvail",
    "form TWptEdFrm",
    "form TBrowser",
    "form TSetupFrm",
    "form TPSForm",
    "form TPRInit",
    "form TDatFrm",
    "form TGRP_Org",
    "form TS_Frm",
    "form TRLForm",
};

const std::vector<std::string> kTeardown = {
    "stop ComTimer",
    "close ports",
    "write program state",
    "write start files",
    "free TMagError",
    "free TLogDist",
    "free TTrace",
    "free TLOGGBOOK",
    "free TQuickShape boat",
    "free TQuickShape rings",
    "free TQuickShape speed",
    "free TBitmapPager",
    "free TWorldConvert",
    "free TKAPDecoder",
    "free TWCIDecoder",
    "free TRoute route",
    "free TRoute positions",
    "free TChartFile",
    "free TChartHeadExternalCodec",
    "free TChartList",
    "free TDatum",
    "free TAisDecoder",
    "free TNMEALineBuffer sim",
    "free TNMEALineBuffer B",
    "free TNMEALineBuffer C",
    "free TNMEALineBuffer main",
    "free TNMEA",
    "free TSpeaker",
    "free TSYSCOLOR",
    "free T_Form",
};

// Every object the window owns exists.
void ExpectAllObjects(const T_Form& f) {
  EXPECT_TRUE(f.Speaker && f.ChartList && f.Datum && f.KAPDecoder && f.WCIDecoder && f.Converter);
  EXPECT_TRUE(f.NMEABuffer && f.SimBuffer && f.NMEABufferB && f.NMEABufferC && f.LogBook);
  EXPECT_TRUE(f.Pager && f.SysColor && f.Positions && f.Route && f.ExternalCodec && f.ChartFile);
  EXPECT_TRUE(f.MagError && f.BoatShape && f.RingShape && f.SpeedShape && f.Trace && f.LogDist);
  // The three buffers added later feed the main buffer's parser.
  if (f.NMEABuffer && f.NMEABufferB) {
    EXPECT_EQ(&f.NMEABufferB->Parser(), &f.NMEABuffer->Parser());
  }
}

QTimer* ComTimerOf(T_Form& f) { return f.findChild<QTimer*>(QStringLiteral("ComTimer")); }

using PlotterStart = PlotterTest;

TEST_F(PlotterStart, CreatesFormsAndObjectsInOrderAndFreesThemInOrder) {
  T_Form& f = Start("[Program State]\r\nLast Lat=0.5\r\nLast Long=-0.25\r\n[Program Setup]\r\nCom Port=0\r\n");
  EXPECT_EQ(events_, kCreation);

  EXPECT_EQ(QApplication::applicationName(), "Brismare II");
  std::vector<std::string> captions;
  for (QWidget* w : program_->Windows()) captions.push_back(w->windowTitle().toStdString());
  EXPECT_EQ(captions, (std::vector<std::string>{"Brismare ", "Chart Information", "Available Charts", "Edit Position",
                                                "Browser", "Brismare Setup", "Preferred Charts", "Print Chart",
                                                "Add Chart Datum Alias", "Manage Chart Groups", "Chart Search",
                                                "Select Route"}));
  ExpectAllObjects(f);
  EXPECT_TRUE(f.StartErrors.Failures().empty()) << f.StartErrors.Describe();
  EXPECT_EQ(f.PlotterFlags, TPlotterFlags{pfStarting});
  ASSERT_NE(ComTimerOf(f), nullptr);
  EXPECT_TRUE(ComTimerOf(f)->isActive());
  EXPECT_EQ(ComTimerOf(f)->interval(), 1000);
  EXPECT_EQ(f.SysInfo.IniFile, iniFile_);
  // A fresh file has no bounds: the smallest window, at the origin.
  EXPECT_EQ(f.geometry(), QRect(0, 0, 480, 480));
  EXPECT_EQ(f.minimumSize(), QSize(480, 480));
  EXPECT_EQ(f.DB_DRLat->MaskText(), PosToMaskText(false, 0.5));
  EXPECT_EQ(f.DB_DRLong->MaskText(), PosToMaskText(true, -0.25));
  EXPECT_EQ(f.Chart().CurrentChart, -2);

  events_.clear();
  Stop();
  EXPECT_EQ(events_, kTeardown);
  TIniFile ini(iniFile_);
  EXPECT_TRUE(ini.ValueExists("Program State", "Total Distance"));
  EXPECT_EQ(ini.ReadFloat("Program State", "Last Lat", 0), 0.5);  // no fix this run: kept
}

TEST_F(PlotterStart, ComponentsCarryTheirNames) {
  T_Form& f = Start();
  for (const char* name : {"TX_MESSAGES", "_DB", "DB_MAINMENU", "DB_MAINMENU_X", "DBC_MENU_1", "DBC_MENU_2",
                           "DBC_MENU_3", "DB_INSTR", "LabHours", "LabFuel", "TxtFuel", "DB_DRLat", "DB_DRLong",
                           "DBI_AUTO", "DBI_TRACE", "DBI_PILOT", "MsgP", "MsgT", "MsgB", "MapCanvas", "Scroll",
                           "GPSCom", "NMEAPort1", "NMEAPort2", "ComTimer", "FileMenu", "EditMenu", "NormalPopup",
                           "RtePopup", "RouteFileMenu", "InstrPopup", "DelRtePopup", "DelWPPopup", "RteGoPopup",
                           "GPSMenu", "NAC", "ResetFuel1", "EngineOn1", "ShowMagneticHeadings1", "OpenOld1"})
    EXPECT_NE(f.findChild<QObject*>(QString::fromLatin1(name)), nullptr) << name;
  EXPECT_EQ(f.objectName(), "_Form");

  // The message table: 132 lines, blanks at the ends included.
  const QStringList lines = f.TX_MESSAGES->toPlainText().split(u'\n');
  EXPECT_EQ(lines.size(), 132);
  EXPECT_EQ(lines[31], " is not saved! Continue?");
  EXPECT_EQ(lines[111], "Wind     ");
  EXPECT_EQ(f.Messages[131], "Metrologic");
}

TEST_F(PlotterStart, SettingsSwitchInEitherCase) {
  for (const char* sw : {"-I", "-i"}) {
    SCOPED_TRACE(sw);
    const std::string file = dir_ / (std::string("case") + sw + ".ini");
    WriteTestFile(file, "[Program Setup]\r\nCom Port=0\r\nBaudRateId=8\r\n");
    SetArguments({"brismare", "-x", sw + file});
    program_ = std::make_unique<TPlotterProgram>();
    EXPECT_EQ(program_->MainForm().SysInfo.IniFile, file);
    EXPECT_EQ(program_->MainForm().SysInfo.BaudRateId[0], 8);
    Stop();
    EXPECT_TRUE(TIniFile(file).ValueExists("Program State", "Fuel Used"));
  }
  // Without the switch: "BRISMARE_2.INI" in the data directory.
  SetArguments({"brismare"});
  program_ = std::make_unique<TPlotterProgram>();
  EXPECT_EQ(program_->MainForm().SysInfo.IniFile, dir_ / "BRISMARE_2.INI");
}

TEST_F(PlotterStart, FailedStepsLeaveAWorkingPlotterAndAreReportedOnce) {
  struct Case {
    const char* label;
    std::vector<int> failingSteps;
    std::string settings;
    bool allObjects;
  } cases[] = {
      {"catalog, start files and settings pushes fail", {14, 16, 18, 22}, kQuietSettings, true},
      {"objects could not be made", {3, 7, 19, 21}, kQuietSettings, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    questions_.Clear();
    const std::vector<int> failing = c.failingSteps;
    TStartRunner::THook previous = TStartRunner::SetStepHook([failing](int step, const std::string&) {
      if (std::find(failing.begin(), failing.end(), step) != failing.end()) throw std::runtime_error("injected");
    });
    T_Form& f = Start(c.settings);
    TStartRunner::SetStepHook(previous);

    EXPECT_TRUE(f.StartErrors.Failed());
    if (c.allObjects) {
      ExpectAllObjects(f);
    } else {
      EXPECT_FALSE(f.Speaker || f.NMEABuffer || f.SimBuffer || f.MagError || f.Trace);
      EXPECT_TRUE(f.ChartList && f.Pager && f.Route && f.LogDist);
    }
    EXPECT_TRUE(ComTimerOf(f)->isActive());
    EXPECT_TRUE(questions_.asked().empty());  // not while the window is being built
    Show();
    EXPECT_EQ(Asked(), (std::vector<std::string>{"Unknown error during init"}));
    // The tick and the teardown run with whatever is there.
    f.ComTimer().Fire();
    Stop();
  }
}

TEST_F(PlotterStart, NetworkSourceMakesTheTcpClient) {
  T_Form& f = Start("[Program Setup]\r\nCom Port=0\r\nNMEA_SIMUL=ip:127.0.0.1:1\r\n");
  ASSERT_NE(f.TelnetSend, nullptr);
  EXPECT_TRUE(f.Ports().NetworkMode);
  EXPECT_EQ(f.SysInfo.NmeaSimul, "ip:127.0.0.1:1");  // kept as written
  const auto create = std::find(events_.begin(), events_.end(), "create TTelnetSend");
  const auto timer = std::find(events_.begin(), events_.end(), "enable ComTimer");
  EXPECT_TRUE(create < timer);
  Show();
  EXPECT_TRUE(f.Ports().NetworkOutput);  // no login: output goes over the link
  events_.clear();
  Stop();
  ASSERT_GE(events_.size(), 3u);
  EXPECT_EQ(events_[0], "stop ComTimer");
  EXPECT_EQ(events_[1], "free TTelnetSend");
  EXPECT_EQ(events_[2], "close ports");
}

TEST_F(PlotterStart, AnEmptyFuelTableRemovesTheFuelRow) {
  struct Case {
    const char* label;
    const char* fuel;
    bool fuelRow;
    int entries;
  } cases[] = {
      {"no section", "", false, 0},
      {"empty section", "[Fuel Data]\r\n", false, 0},
      {"one entry counts no fuel", "[Fuel Data]\r\n100=45\r\n", false, 1},
      {"a table", "[Fuel Data]\r\n100=45\r\n050=20\r\n", true, 2},
      // A key that is no speed is left out with a notice; start goes on.
      {"a key that is no speed", "[Fuel Data]\r\n100=45\r\nfast=30\r\n50=20\r\n", true, 2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    T_Form& f = Start(std::string(kQuietSettings) + "[Program State]\r\nShow Log Data=1\r\n" + c.fuel);
    const int rowPitch = f.LabFuel->y() - f.LabHours->y();
    EXPECT_EQ(!f.LabFuel->isHidden(), c.fuelRow);
    EXPECT_EQ(!f.TxtFuel->isHidden(), c.fuelRow);
    // The table holds the section's entries in order of speed.
    ASSERT_TRUE(f.LogDist);
    EXPECT_EQ(static_cast<int>(f.LogDist->FuelTable.size()), c.entries);
    EXPECT_FALSE(f.StartErrors.Failed());
    EXPECT_EQ(f.MsgT->text().contains("\"fast\""), std::string(c.fuel).find("fast") != std::string::npos);
    if (c.entries == 2) {
      EXPECT_EQ(f.LogDist->FuelTable[0].Speed, 50);
      EXPECT_EQ(f.LogDist->FuelTable[0].Rate, 20);
      EXPECT_EQ(f.LogDist->FuelTable[1].Speed, 100);
      EXPECT_EQ(f.LogDist->FuelTable[1].Rate, 45);
    }
    EXPECT_EQ(f.MenuItem("ResetFuel1")->isVisible(), c.fuelRow);
    EXPECT_EQ(f.MenuItem("EngineOn1")->isVisible(), c.fuelRow);
    EXPECT_TRUE(f.MenuItem("ResetTrip1")->isVisible());
    const int fullHeight = f.LabFuel->y() + rowPitch + 3;
    EXPECT_EQ(f.DB_INSTR->height(), c.fuelRow ? fullHeight : fullHeight - rowPitch);
    Stop();
  }
}

TEST_F(PlotterStart, UnreadableStartFilesAreKept) {
  const std::string positions = dir_ / "T_WPALD.SRW";
  const std::string route = dir_ / "T_RTALD.SRW";
  WriteTestFile(positions, "not a route file");
  WriteTestFile(route, "SRW\x01 damaged");
  T_Form& f = Start();
  EXPECT_TRUE(f.StartFileKept[0]);
  EXPECT_TRUE(f.StartFileKept[1]);
  EXPECT_EQ(f.Positions->Count(), 0);
  Stop();
  // Empty lists at the end would otherwise delete the files.
  EXPECT_EQ(ReadTestFile(positions), "not a route file");
  EXPECT_EQ(ReadTestFile(route), "SRW\x01 damaged");
}

TEST_F(PlotterStart, FirstShowOpensTheRunAndClearsStarting) {
  T_Form& f = Start("[Program Setup]\r\nCom Port=0\r\nAuto Loggbook=1\r\nShow Track=1\r\nAuto Scroll=1\r\n");
  EXPECT_TRUE(f.PlotterFlags.Has(pfTracking));
  EXPECT_TRUE(f.PlotterFlags.Has(pfAutomatic));
  Show();
  EXPECT_FALSE(f.PlotterFlags.Has(pfStarting));
  EXPECT_TRUE(f.isMaximized());  // "WinState" is on in a fresh file
  ASSERT_FALSE(f.LogBook->Entries.empty());
  EXPECT_EQ(f.LogBook->Entries.front().message, "Brismare Started");
  EXPECT_EQ(f.LogBook->LogFileName, dir_ / "LOGBOOK.TXT");
  // The second show (after hiding) does not start the run again.
  f.hide();
  f.show();
  Settle();
  EXPECT_EQ(f.LogBook->Entries.size(), 1u);
}

}  // namespace

TEST_F(PlotterStart, WhatWasReadBeforeTheDamageStaysAndTheUserHearsOfIt) {
  // Two charts, the first in group "Harbours".
  TChartList list;
  for (const char* name : {"First", "Second"}) {
    chartfix::TChartPlan plan;
    plan.name = name;
    plan.width = 40;
    plan.height = 30;
    const std::string file = chartfix::WritePngChart(dir_ / (std::string(name) + ".PNG"), plan);
    ASSERT_EQ(list.AddEntry(chartfix::CatalogEntry(plan, file), false), 1);
  }
  list.AddGroup("Harbours");
  ASSERT_TRUE(list.SetGroupMask(0, list.GroupBit("Harbours")));
  const std::string catalog = list.SaveToBytes(), groups = list.SaveGroupsToBytes();
  struct Case {
    const char* what;
    std::string catalog, groups;
    int charts;
    const char* reported;
  } cases[] = {
      {"catalog cut in its second chart", catalog.substr(0, catalog.size() - 10), groups, 1, "BRAINDEX.BIN"},
      {"groups cut in the last member", catalog, groups.substr(0, groups.size() - 3), 2, "BRGROUPS.BIN"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    WriteTestFile(dir_ / "BRAINDEX.BIN", c.catalog);
    WriteTestFile(dir_ / "BRGROUPS.BIN", c.groups);
    std::filesystem::remove(dir_ / "BRGROUPS.BIN.damaged");
    questions_.Clear();
    T_Form& f = Start();
    Show();
    ASSERT_EQ(f.ChartList->Count(), c.charts);
    // The first chart keeps its group either way.
    EXPECT_EQ(f.ChartList->Entry(0)->GroupMask & kGroupBitsMask, f.ChartList->GroupBit("Harbours"));
    ASSERT_EQ(Asked().size(), 1u);
    EXPECT_NE(Asked()[0].find(c.reported), std::string::npos) << Asked()[0];
    Stop();
    // The catalog file is left as it is; a groups file with a damaged
    // member is written again, its old bytes kept aside.
    EXPECT_EQ(ReadTestFile(dir_ / "BRAINDEX.BIN"), c.catalog);
    if (c.groups != groups) {
      EXPECT_EQ(ReadTestFile(dir_ / "BRGROUPS.BIN.damaged"), c.groups);
      TChartList again;
      again.LoadFromFile(dir_ / "BRAINDEX.BIN", "");
      EXPECT_EQ(again.LoadGroups(dir_ / "BRGROUPS.BIN").Status, TCatalogLoad::Loaded);
      EXPECT_FALSE(again.LoadGroups(dir_ / "BRGROUPS.BIN").DamageFound);
    } else {
      EXPECT_EQ(ReadTestFile(dir_ / "BRGROUPS.BIN"), groups);
    }
  }
}

TEST_F(PlotterStart, ADamagedCatalogIsReportedAfterShowAndLeftOnDisk) {
  // A catalog whose counts do not fit the file: the plotter starts with an
  // empty catalog, says so once the window is up, and keeps the file.
  const std::string damaged = "BRAINDEX" + std::string(64, '\xFF');
  WriteTestFile(dir_ / "BRAINDEX.BIN", damaged);
  T_Form& f = Start();
  EXPECT_FALSE(f.StartErrors.Failed());
  EXPECT_TRUE(questions_.asked().empty());
  EXPECT_EQ(f.ChartList->Count(), 0);
  Show();
  ASSERT_EQ(questions_.asked().size(), 1u);
  EXPECT_NE(questions_.asked()[0].text.find("BRAINDEX.BIN"), std::string::npos) << questions_.asked()[0].text;
  Stop();
  EXPECT_EQ(ReadTestFile(dir_ / "BRAINDEX.BIN"), damaged);
}
