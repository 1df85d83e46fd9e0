#include "plotter/core/SysInfo.h"

#include <string>
#include <vector>

#include "TestSupport.h"
#include "foundation/IniFile.h"
#include "foundation/Switches.h"

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

TEST(SysInfo, AFailedSaveSaysSoAndLeavesTheFile) {
  TTempDir dir;
  RSysInfo sys = FreshRecord(dir);
  sys.IniFile = dir / "missing-dir/BRISMARE_2.INI";
  std::string error;
  EXPECT_FALSE(SaveProgramState(sys, &error));
  EXPECT_NE(error.find("Unable to write"), std::string::npos) << error;
}

}  // namespace
