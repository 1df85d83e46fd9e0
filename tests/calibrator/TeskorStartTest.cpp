// The calibration tool's start: its switches (W, O), the file named on the
// command line, and the settings it shares with the plotter.
#include "calibrator/start/core/TeskorStart.h"

#include <string>
#include <vector>

#include "TestSupport.h"
#include "foundation/IniFile.h"

namespace {

TEST(TeskorStart, SwitchesAndTheFileToOpen) {
  TTempDir dir;
  const std::string existing = dir / "chart one.png";
  WriteTestFile(existing, "x");
  struct Case {
    std::vector<std::string> params;
    int marker;
    std::string flags;  // C D S M shown
    std::string file;
  } cases[] = {
      {{}, 3, "", ""},
      {{"-W5"}, 5, "", ""},
      {{"-W9"}, 5, "", ""},
      {{"-W0"}, 1, "", ""},
      {{"-Wbig"}, 3, "", ""},  // not a number: the default
      {{"/w2"}, 2, "", ""},
      {{"-OCs"}, 3, "CS", ""},
      {{"/odm"}, 3, "DM", ""},
      {{"-OX"}, 3, "", ""},
      {{"-W4", "chart.png"}, 4, "", "chart.png"},
      {{"chart.png", "-OC"}, 3, "C", "chart.png"},
      {{"-W", "4", "x.png"}, 4, "", "x.png"},  // a bare switch takes the next parameter
      {{existing, "-W2"}, 2, "", existing},     // an absolute path that exists is no switch
  };
  for (const Case& c : cases) {
    std::string all;
    for (const std::string& p : c.params) all += p + " ";
    const TTeskorOptions o = ReadStartOptions(c.params);
    EXPECT_EQ(o.MarkerSize, c.marker) << all;
    std::string flags;
    if (o.ShowSaveAsCal) flags += 'C';
    if (o.ShowAddDirectory) flags += 'D';
    if (o.ShowStick) flags += 'S';
    if (o.ShowMapCalibration) flags += 'M';
    EXPECT_EQ(flags, c.flags) << all;
    EXPECT_EQ(o.StartFile, c.file) << all;
  }
  // Marker sizes grow with the switch and stay within 1..5.
  for (int n = 1; n < 5; ++n) EXPECT_LT(MarkerPixels(n), MarkerPixels(n + 1));
  EXPECT_EQ(MarkerPixels(0), MarkerPixels(1));
  EXPECT_EQ(MarkerPixels(9), MarkerPixels(5));
}

TEST(TeskorStart, TheWindowStateIsReadAndStoredInTheSharedSettings) {
  TTempDir dir;
  const std::string ini = dir / "BRISMARE_2.INI";
  WriteTestFile(ini,
                "[Program Setup]\r\nChart Dir=charts\r\nLanguageFile=svenska.lng\r\nCom Port=3\r\n"
                "[Program State]\r\nWinState=1\r\n");
  TTeskorSettings s = ReadTeskorSettings(ini, dir.path());
  EXPECT_FALSE(s.WinState);  // the plotter's WinState is not the tool's
  EXPECT_EQ(s.LanguageFile, "svenska.lng");
  ASSERT_TRUE(SaveTeskorWinState(ini, true));
  s = ReadTeskorSettings(ini, dir.path());
  EXPECT_TRUE(s.WinState);
  // The plotter's keys stay as they were.
  const TIniFile read(ini);
  EXPECT_EQ(read.ReadString("Program Setup", "Com Port", ""), "3");
  EXPECT_EQ(read.ReadString("Program State", "WinState", ""), "1");
  EXPECT_EQ(read.ReadString("Program Setup", "Chart Dir", ""), "charts");
}

// "Compression Factor" as the plotter reads it: missing, out of range or
// not a number is 1.8.
TEST(TeskorStart, CompressionFactorKeepsToThePlottersRange) {
  TTempDir dir;
  const std::string ini = dir / "BRISMARE_2.INI";
  const struct {
    const char* line;
    double factor;
  } cases[] = {{"", 1.8}, {"Compression Factor=3.5", 3.5}, {"Compression Factor=0.01", 0.01},
               {"Compression Factor=100", 100}, {"Compression Factor=0", 1.8}, {"Compression Factor=-2", 1.8},
               {"Compression Factor=101", 1.8}, {"Compression Factor=fast", 1.8}};
  for (const auto& c : cases) {
    WriteTestFile(ini, std::string("[Program Setup]\r\n") + c.line + "\r\n");
    EXPECT_DOUBLE_EQ(ReadTeskorSettings(ini, dir.path()).CompressionFactor, c.factor) << c.line;
  }
}

}  // namespace
