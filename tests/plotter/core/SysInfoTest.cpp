#include "plotter/core/SysInfo.h"

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "TestSupport.h"
#include "foundation/IniFile.h"
#include "foundation/Switches.h"
#include "plotter/core/SetupKeys.h"

namespace {

RSysInfo FreshRecord(const TTempDir& dir) {
  RSysInfo sys;
  InitSysInfoPaths(sys, dir / "BRISMARE_2.INI", dir.path());
  return sys;
}

void SetArguments(const std::vector<const char*>& args) {
  SetProgramArguments(static_cast<int>(args.size()), args.data());
}

TEST(SysInfo, SettingsFileFromTheCommandLineInEitherCase) {
  struct Case {
    std::vector<const char*> args;
    std::string expected;
  } cases[] = {
      {{"brismare", "-I/boat/a.ini"}, "/boat/a.ini"},
      {{"brismare", "-i/boat/b.ini"}, "/boat/b.ini"},
      {{"brismare", "-x", "-iboat.ini"}, "boat.ini"},
      {{"brismare"}, "/data/BRISMARE_2.INI"},
      {{"brismare", "-I"}, "/data/BRISMARE_2.INI"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.expected);
    SetArguments(c.args);
    EXPECT_EQ(SettingsFilePath("/data"), c.expected);
  }
  SetArguments({"brismare"});
}

TEST(SysInfo, DirectorySettingsResolveAgainstTheDataDirectory) {
  struct Case {
    const char* value;
    const char* expected;
  } cases[] = {
      {".\\CHARTS", "/base/CHARTS"},
      {"CHARTS", "/base/CHARTS"},
      {"/abs/charts", "/abs/charts"},
      {"C:\\X", "C:\\X"},
      {"X", "X"},
      {"", ""},
      {".\\A;.\\B\\*", "/base/A;/base/B/*"},
      {"sub\\.\\dir", "/base/sub/dir"},
  };
  for (const Case& c : cases) EXPECT_EQ(ResolveDirectorySetting(c.value, "/base/"), c.expected) << c.value;
}

TEST(SysInfo, MissingFileGivesTheDefaults) {
  TTempDir dir;
  RSysInfo sys = FreshRecord(dir);
  LoadSettings(sys);
  EXPECT_EQ(sys.ChartDir, dir.path() + "CHARTS");
  EXPECT_EQ(sys.CurRouteDir, dir.path() + "ROUTES");
  EXPECT_EQ(sys.ComPort[0], 1);
  EXPECT_EQ(sys.BaudRateId[0], 5);
  EXPECT_TRUE(sys.WinState);
  EXPECT_EQ(sys.WinWidth, 0);
  EXPECT_EQ(sys.G7T, dir.path() + "G7ToWin.exe");
  EXPECT_EQ(sys.DiskmapBuffer, sys.DefaultDiskmapBuffer);
  EXPECT_FALSE(TestFileExists(sys.IniFile));  // reading never creates it
}

TEST(SysInfo, ValuesOutsideTheirRangeReadAsDefaults) {
  TTempDir dir;
  WriteTestFile(dir / "BRISMARE_2.INI",
                "[Program Setup]\r\n"
                "Com Port=300\r\nBaudRateId=20\r\nCom Port B=-1\r\nBaudRateId C=-3\r\n"
                "Dashboard=7\r\nLog Cutoff=nan\r\nShade Night=500\r\nGPS Timeout=0\r\n"
                "Diskmap Buffer=-5\r\nCOG Switch Speed=-1\r\n"
                "[Program State]\r\nShow Log Data=9\r\nLast Lat=99\r\nLast Long=0.5\r\n");
  RSysInfo sys = FreshRecord(dir);
  LoadSettings(sys);
  EXPECT_EQ(sys.ComPort[0], 1);
  EXPECT_EQ(sys.BaudRateId[0], 5);
  EXPECT_EQ(sys.ComPort[1], 0);
  EXPECT_EQ(sys.BaudRateId[2], 5);
  EXPECT_EQ(sys.Dashboard, 1);
  EXPECT_DOUBLE_EQ(sys.LogCutoff, 0.2);
  EXPECT_EQ(sys.ShadeNight, 60);
  EXPECT_EQ(sys.GpsTimeout, 6);
  EXPECT_EQ(sys.DiskmapBuffer, sys.DefaultDiskmapBuffer);
  EXPECT_DOUBLE_EQ(sys.CogSwitchSpeed, 3.0);
  EXPECT_EQ(sys.ShowLogData, 0);
  EXPECT_DOUBLE_EQ(sys.LastLat, 0);
  EXPECT_DOUBLE_EQ(sys.LastLong, 0.5);
}

TEST(SysInfo, SavingAGroupKeepsEverythingElseAndReadsBack) {
  TTempDir dir;
  const std::string original =
      "; the skipper's notes\r\n"
      "[Program Setup]\r\nChart Dir=.\\KARTEN\r\nTemp Dir=/tmp\r\nAuto Scroll=0\r\n"
      "[Fuel Data]\r\n050=20\r\n100=45\r\n"
      "[Program State]\r\nTeskor WinState=1\r\nTotal Distance=1\r\n";
  WriteTestFile(dir / "BRISMARE_2.INI", original);
  RSysInfo sys = FreshRecord(dir);
  LoadSettings(sys);
  sys.TotalDistance = 1234.5678;
  sys.TrippDistance = 12.25;
  sys.TimeCounter = 101.5;
  sys.LastLat = 0.9;
  sys.LastLong = -0.2;
  sys.AutoScroll = true;
  sys.XChartDir = "/charts/extra";
  sys.WinLeft = 10;
  sys.WinTop = 20;
  sys.WinWidth = 810;  // right edge
  sys.WinHeight = 620;  // bottom edge
  sys.WinState = false;
  ASSERT_TRUE(SaveProgramState(sys));
  ASSERT_TRUE(SaveWindowGeometry(sys));

  TIniFile ini(sys.IniFile);
  EXPECT_EQ(ini.ReadString("Program Setup", "Chart Dir", ""), ".\\KARTEN");
  EXPECT_EQ(ini.ReadString("Program Setup", "Temp Dir", ""), "/tmp");
  EXPECT_EQ(ini.ReadString("Fuel Data", "050", ""), "20");
  EXPECT_EQ(ini.ReadString("Program State", "Teskor WinState", ""), "1");
  EXPECT_NE(ini.Text().find("; the skipper's notes"), std::string::npos);
  EXPECT_EQ(ini.ReadString("Program State", "WinWidth", ""), "810");

  RSysInfo back = FreshRecord(dir);
  LoadSettings(back);
  EXPECT_DOUBLE_EQ(back.TotalDistance, 1234.5678);
  EXPECT_DOUBLE_EQ(back.TrippDistance, 12.25);
  EXPECT_DOUBLE_EQ(back.TimeCounter, 101.5);
  EXPECT_DOUBLE_EQ(back.LastLat, 0.9);
  EXPECT_DOUBLE_EQ(back.LastLong, -0.2);
  EXPECT_TRUE(back.AutoScroll);
  EXPECT_EQ(back.XChartDir, "/charts/extra");
  EXPECT_EQ(back.WinLeft, 10);
  EXPECT_EQ(back.WinHeight, 620);
  EXPECT_FALSE(back.WinState);
}

// Every group saved and loaded again gives back the record it was saved
// from: once with the defaults, once with every saved key changed (a key
// that one direction forgets comes back as its default and shows).
TEST(SysInfo, SavedGroupsLoadBackToTheSameRecord) {
  TTempDir dir;
  RSysInfo defaults = FreshRecord(dir);
  LoadSettings(defaults);

  RSysInfo changed = defaults;
  for (const TSetupIntKey& k : SetupIntKeys())
    changed.*k.field = changed.*k.field == k.high ? k.low : k.high;
  for (const TSetupFloatKey& k : SetupFloatKeys()) changed.*k.field = DialogToSetting(k.unit, k.high * 0.75);
  for (const TSetupChoiceKey& k : SetupChoiceKeys())
    changed.*k.field = changed.*k.field == 0 ? SetupListSize(k.list) - 1 : 0;
  for (const TSetupCheckKey& k : SetupCheckKeys()) changed.*k.field = !(changed.*k.field);
  for (const TSetupBitKey& k : SetupBitKeys()) changed.*k.field ^= k.bit;
  for (const TSetupTriStateKey& k : SetupTriStateKeys()) changed.*k.field = (changed.*k.field + 1) % 3;
  for (const TSetupTextKey& k : SetupTextKeys()) changed.*k.field = k.maxLength == 2 ? "GP" : "/boat/x y.txt";
  changed.GPSDatum = "European 1950";
  changed.ComPort = {3, 4, 5};
  changed.BaudRateId = {12, 0, 7};
  changed.ComDevice = {"/dev/ttyUSB0", "/dev/serial/by-id/usb-x", ""};
  changed.MagErrCalc = false;
  changed.Sound1 = "bell.wav";
  changed.SoundXTER = "r.wav";
  changed.SoundXTEL = "l.wav";
  changed.SoundNMEA = "n.wav";
  changed.SoundDpt = "d.wav";
  changed.SoundAISCPA = "a.wav";
  changed.AISMsgAvailColor = 1;
  changed.AISTargetTextColor = 2;
  changed.AISCPAColor = 3;
  changed.AISTargetOutline = false;
  changed.AISSpeedMark = false;
  changed.AISHideTime = 7;
  changed.AISDeleteTime = 70;
  changed.AutoScroll = changed.ShowTrack = changed.RteMagDisp = true;
  changed.LastLat = -0.7;
  changed.LastLong = 2.5;
  changed.TotalDistance = 12345.678;
  changed.TrippDistance = 0.1;
  changed.FuelUsed = 1e-7;
  changed.TimeCounter = 1234.56789;
  changed.XChartDir = "/charts/x";
  changed.WPPDir = "/wpp";
  changed.GpsProtocol = "magellan";
  changed.BrowseGroups = 5;
  changed.AutoGroups = -2147483647 - 1;
  changed.WinLeft = -20;
  changed.WinTop = 30;
  changed.WinWidth = 1000;
  changed.WinHeight = 700;
  changed.WinState = false;

  for (const RSysInfo* rec : {&defaults, &changed}) {
    TTempDir d;
    RSysInfo saved = *rec;
    saved.IniFile = d / "BRISMARE_2.INI";
    ASSERT_TRUE(SaveSetup(saved));
    ASSERT_TRUE(SaveProgramState(saved));
    ASSERT_TRUE(SaveWindowGeometry(saved));
    RSysInfo back = FreshRecord(dir);
    back.IniFile = saved.IniFile;
    LoadSettings(back);
    EXPECT_TRUE(back == saved) << ReadTestFile(saved.IniFile);
    // Field by field, to say which one when they differ.
    for (const TSetupFloatKey& k : SetupFloatKeys()) EXPECT_EQ(back.*k.field, saved.*k.field) << k.control;
    for (const TSetupIntKey& k : SetupIntKeys()) EXPECT_EQ(back.*k.field, saved.*k.field) << k.control;
    for (const TSetupChoiceKey& k : SetupChoiceKeys()) EXPECT_EQ(back.*k.field, saved.*k.field) << k.control;
  }
}

// A file written on Windows: CR LF, "\" paths, keys in other letter case,
// Windows-1252 text, sections the plotter does not know. It reads with the
// right values, and saving a group changes only that group's values.
TEST(SysInfo, AWindowsFileReadsRightAndKeepsEverythingForeign) {
  TTempDir dir;
  const std::string original =
      "; Brismare settings\r\n"
      "[PROGRAM SETUP]\r\n"
      "chart dir=.\\CHARTS;D:\\Karten\\*;  .\\Extra\\.\\Sub  \r\n"
      "ROUTE DIR=Rutter\r\n"
      "Track Dir=/home/skipper/track\r\n"
      "Temp Dir=C:\\TEMP\r\n"
      "loggbook=C:\\B\xe5t\\LOGG.TXT\r\n"
      "BOAT COLOR=4\r\n"
      "baudrateid b=6\r\n"
      "Route Force=1.5706706731410453E-5\r\n"
      "Use Chart Numbers=1\r\n"
      "Foreign Key=kept\r\n"
      "\r\n"
      "[Teskor]\r\n"
      "Marker=3\r\n"
      "[Program State]\r\n"
      "teskor winstate=1\r\n"
      "TRIPP DISTANCE=12.5\r\n"
      "[Fuel Data]\r\n"
      "050=20\r\n"
      "100=45\r\n";
  WriteTestFile(dir / "BRISMARE_2.INI", original);
  RSysInfo sys = FreshRecord(dir);
  LoadSettings(sys);
  EXPECT_EQ(sys.ChartDir, dir.path() + "CHARTS;D:\\Karten\\*;" + dir.path() + "Extra/Sub");
  EXPECT_EQ(sys.RouteDir, dir.path() + "Rutter");
  EXPECT_EQ(sys.TrackDir, "/home/skipper/track");
  EXPECT_EQ(sys.TempDir, "C:\\TEMP");
  EXPECT_EQ(sys.LogBookFile, "C:\\Båt\\LOGG.TXT");
  EXPECT_EQ(sys.BoatColor, 4);
  EXPECT_EQ(sys.BaudRateId[1], 6);
  EXPECT_DOUBLE_EQ(RadToMetres(sys.RouteForce), 100);
  EXPECT_TRUE(sys.UseChartNumbers);
  EXPECT_TRUE(sys.TeskorWinState);
  EXPECT_DOUBLE_EQ(sys.TrippDistance, 12.5);
  ASSERT_EQ(sys.FuelData.size(), 2u);
  EXPECT_EQ(sys.FuelData[1], (std::pair<std::string, std::string>{"100", "45"}));

  // Saving: the file keeps its encoding, its line ends and every line the
  // plotter did not change.
  sys.BoatColor = 5;
  sys.TrippDistance = 0;
  ASSERT_TRUE(SaveSetup(sys));
  ASSERT_TRUE(SaveProgramState(sys));
  const std::string saved = ReadTestFile(sys.IniFile);
  for (const char* line : {"; Brismare settings\r\n", "[PROGRAM SETUP]\r\n",
                           "chart dir=.\\CHARTS;D:\\Karten\\*;  .\\Extra\\.\\Sub  \r\n",
                           "loggbook=C:\\B\xe5t\\LOGG.TXT\r\n", "Foreign Key=kept\r\n",
                           "[Teskor]\r\nMarker=3\r\n", "teskor winstate=1\r\n",
                           "[Fuel Data]\r\n050=20\r\n100=45\r\n", "Temp Dir=C:\\TEMP\r\n"})
    EXPECT_NE(saved.find(line), std::string::npos) << line;
  for (size_t i = saved.find('\n'); i != std::string::npos; i = saved.find('\n', i + 1))
    EXPECT_EQ(saved[i - 1], '\r') << "bare line feed at " << i;
  EXPECT_NE(saved.find("BOAT COLOR=5\r\n"), std::string::npos);  // replaced where it stands
  EXPECT_NE(saved.find("TRIPP DISTANCE=0\r\n"), std::string::npos);
  RSysInfo back = FreshRecord(dir);
  LoadSettings(back);
  EXPECT_EQ(back.BoatColor, 5);
  EXPECT_EQ(back.LogBookFile, sys.LogBookFile);
}

// Values a hand-edited file may hold that the program cannot use read as
// the default; the rest of the group is still read.
TEST(SysInfo, UnusableValuesReadAsTheirDefaults) {
  struct Case {
    const char* line;
    std::function<double(const RSysInfo&)> get;
    double expected;
    const char* section = "Program Setup";
  } cases[] = {
      {"Outline Factor=0", [](const RSysInfo& s) { return s.OutlineFactor; }, 20},
      {"Outline Factor=51", [](const RSysInfo& s) { return s.OutlineFactor; }, 20},
      {"Boat Size=7", [](const RSysInfo& s) { return s.BoatSize; }, 1},
      {"Waypoint Size=-1", [](const RSysInfo& s) { return s.WaypointSize; }, 1},
      {"AIS Marker Size=4", [](const RSysInfo& s) { return s.AISMarkerSize; }, 1},
      {"BaudRateId=13", [](const RSysInfo& s) { return s.BaudRateId[0]; }, 5},
      {"Boat Color=16", [](const RSysInfo& s) { return s.BoatColor; }, 13},
      {"AIS CPA Color=-1", [](const RSysInfo& s) { return s.AISCPAColor; }, 9},
      {"Rings Step=8", [](const RSysInfo& s) { return s.RingsStep; }, 0},
      {"Depth Show=4", [](const RSysInfo& s) { return s.DepthShow; }, 1},
      {"Wind Show=abc", [](const RSysInfo& s) { return s.WindShow; }, 1},
      {"AP Capability=5", [](const RSysInfo& s) { return s.APCapability; }, 0},
      {"Show Time=0", [](const RSysInfo& s) { return s.ShowTime; }, 5},
      {"AutoP Upd=-5", [](const RSysInfo& s) { return s.AutoPUpd; }, 5},
      {"Route Force=nan", [](const RSysInfo& s) { return s.RouteForce; }, 7.853353365705226e-6},
      {"Default Speed=inf", [](const RSysInfo& s) { return s.DefaultSpeed; }, 10},
      {"Track Distance=1e999", [](const RSysInfo& s) { return s.TrackDistance; }, 0.000015706706731410453},
      {"Default XTE=-1", [](const RSysInfo& s) { return s.DefaultXTE; }, 0.00001454441043328608},
      {"AIS TCPA Max=-INF", [](const RSysInfo& s) { return s.AISTCPAMax; }, 0.010416666666666666},
      {"Transducer Depth=1,5", [](const RSysInfo& s) { return s.TransducerDepth; }, 0.5},
      {"NMEA_SIMUL_READS=100000", [](const RSysInfo& s) { return s.NmeaSimulReads; }, 1},
      {"Compression Factor=0", [](const RSysInfo& s) { return s.CompressionFactor; }, 1.8},
      {"AIS COG-Head Limit=NaN", [](const RSysInfo& s) { return s.AISCogHeadLimit; }, 500},
      // Window edges: each direction is checked as a pair (left and right
      // edge, top and bottom edge); a pair that cannot be a window on any
      // screen reads as the default.
      {"WinLeft=-2147483648\r\nWinWidth=800", [](const RSysInfo& s) { return s.WinLeft; }, 0, "Program State"},
      {"WinLeft=-2147483648\r\nWinWidth=800", [](const RSysInfo& s) { return s.WinWidth; }, 0, "Program State"},
      {"WinLeft=10\r\nWinWidth=-2147483648", [](const RSysInfo& s) { return s.WinWidth; }, 0, "Program State"},
      {"WinTop=100\r\nWinHeight=50", [](const RSysInfo& s) { return s.WinHeight; }, 0, "Program State"},
      {"WinTop=100\r\nWinHeight=100", [](const RSysInfo& s) { return s.WinTop; }, 0, "Program State"},
      {"WinTop=-30000\r\nWinHeight=30000", [](const RSysInfo& s) { return s.WinHeight; }, 0, "Program State"},
      {"WinTop=32768\r\nWinHeight=32800", [](const RSysInfo& s) { return s.WinTop; }, 0, "Program State"},
      {"WinLeft=-20\r\nWinWidth=1000\r\nWinTop=2147483647", [](const RSysInfo& s) { return s.WinLeft; }, -20,
       "Program State"},
      {"WinLeft=-20\r\nWinWidth=1000\r\nWinTop=2147483647", [](const RSysInfo& s) { return s.WinTop; }, 0,
       "Program State"},
      {"WinTop=-32767\r\nWinHeight=0", [](const RSysInfo& s) { return s.WinTop; }, -32767, "Program State"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.line);
    TTempDir dir;
    const std::string setup = std::string(c.section) == "Program Setup"
                                  ? std::string("[Program Setup]\r\n") + c.line + "\r\nChart Edge=33\r\n"
                                  : std::string("[Program Setup]\r\nChart Edge=33\r\n[") + c.section + "]\r\n" +
                                        c.line + "\r\n";
    WriteTestFile(dir / "BRISMARE_2.INI", setup);
    RSysInfo sys = FreshRecord(dir);
    LoadSettings(sys);
    EXPECT_EQ(c.get(sys), c.expected);
    EXPECT_EQ(sys.ChartEdge, 33);
  }
}

TEST(SysInfo, UnitIdMustMakeASafeTalker) {
  struct Case {
    const char* unitId;
    const char* talker;
  } cases[] = {{"GP", "GP"}, {"ECX", "EC"}, {"II9", "II"}, {"E", "EC"}, {"", "EC"},
               {"$G", "EC"}, {"G*", "EC"}, {"a,", "EC"}, {"\x01P", "EC"}, {" P", "EC"},
               // The sentence builders take letters and digits only: so does the setting.
               {"E-", "EC"}, {"G.", "EC"}, {"Gé", "EC"}};
  for (const Case& c : cases) EXPECT_EQ(TalkerFromUnitId(c.unitId), c.talker) << c.unitId;

  TTempDir dir;
  WriteTestFile(dir / "BRISMARE_2.INI", "[Program Setup]\r\nUnit Id=G!\r\n");
  RSysInfo sys = FreshRecord(dir);
  LoadSettings(sys);
  EXPECT_EQ(sys.UnitId, "EC");
}

TEST(SysInfo, ProgramStateTextFollowsOnlyItsGroup) {
  RSysInfo sys;
  const std::string before = ProgramStateText(sys);
  sys.BoatColor = 2;  // another group
  sys.WinLeft = 99;   // the geometry is written at close only
  EXPECT_EQ(ProgramStateText(sys), before);
  for (auto change : std::initializer_list<void (*)(RSysInfo&)>{
           [](RSysInfo& s) { s.TrippDistance += 0.01; }, [](RSysInfo& s) { s.FuelUsed = 3; },
           [](RSysInfo& s) { s.TimeCounter = 1; }, [](RSysInfo& s) { s.LastLat = 0.1; },
           [](RSysInfo& s) { s.AutoScroll = true; }}) {
    RSysInfo c = sys;
    change(c);
    EXPECT_NE(ProgramStateText(c), before);
  }
}

TEST(SysInfo, AFailedSaveSaysSoAndLeavesTheFile) {
  TTempDir dir;
  RSysInfo sys = FreshRecord(dir);
  sys.IniFile = dir / "missing-dir/BRISMARE_2.INI";
  std::string error;
  EXPECT_FALSE(SaveProgramState(sys, &error));
  EXPECT_NE(error.find("Unable to write"), std::string::npos) << error;
}

}  // namespace

namespace {

TEST(SysInfo, SignalKAccessIsSavedAloneAndReadAtStart) {
  TTempDir dir;
  WriteTestFile(dir / "BRISMARE_2.INI",
                "[Program Setup]\r\nNMEA_SIMUL=SK\r\n[Custom]\r\nIP_Login=skipper\r\nIP_Password=pw\r\n");
  RSysInfo sys = FreshRecord(dir);
  LoadSettings(sys);
  EXPECT_EQ(sys.SignalKToken, "");
  sys.SignalKClientId = "1b9f5a6c-3f0e-4f55-9d41-2f2f7d1c0a01";
  sys.SignalKToken = "eyJhbGciOi.J9.x";
  sys.SignalKCertificate = "AB:CD:EF";
  sys.NmeaSimul = "changed, not saved";
  ASSERT_TRUE(SaveSignalKAccess(sys));
  TIniFile ini(sys.IniFile);
  EXPECT_EQ(ini.ReadString("Custom", "SignalK Token", ""), "eyJhbGciOi.J9.x");
  EXPECT_EQ(ini.ReadString("Custom", "IP_Password", ""), "pw");
  EXPECT_EQ(ini.ReadString("Program Setup", "NMEA_SIMUL", ""), "SK");
  RSysInfo back = FreshRecord(dir);
  LoadSettings(back);
  EXPECT_EQ(back.SignalKClientId, sys.SignalKClientId);
  EXPECT_EQ(back.SignalKToken, sys.SignalKToken);
  EXPECT_EQ(back.SignalKCertificate, sys.SignalKCertificate);
  // A forgotten token is saved as forgotten.
  back.SignalKToken.clear();
  ASSERT_TRUE(SaveSignalKAccess(back));
  RSysInfo again = FreshRecord(dir);
  LoadSettings(again);
  EXPECT_EQ(again.SignalKToken, "");
}

}  // namespace
