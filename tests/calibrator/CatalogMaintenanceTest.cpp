// Upkeep of chart directories: the calibrations of vanished images removed
// from CHARTCAL.DIR, and the directory settings of "Set Directories".
#include "calibrator/maintenance/core/CatalogMaintenance.h"

#include <filesystem>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "foundation/IniFile.h"

namespace {

std::string Section(const std::string& name, const std::string& chartName) {
  return "[" + name + "]\r\nNA=" + chartName + "\r\nFN=" + name + "\r\nSC=20000\r\n\r\n";
}

TEST(CatalogMaintenance, ChartDirLinesAreJoinedWithoutEmptyEntries) {
  const struct {
    const char* lines;
    const char* stored;
  } cases[] = {
      {"C:\\CHARTS\n\nD:\\MAPS*", "C:\\CHARTS;D:\\MAPS*"},
      {"C:\\CHARTS\n\nD:\\MAPS*\n", "C:\\CHARTS;D:\\MAPS*"},  // a final line break adds no ";"
      {"C:\\CHARTS\r\n\r\nD:\\MAPS*\r\n", "C:\\CHARTS;D:\\MAPS*"},
      {"\n  /home/me/charts  \n\t\n./more*\r", "/home/me/charts;./more*"},
      {"a;;b;\nc", "a;b;c"},  // a line holding ";" itself
      {"", ""},
      {"\n \n", ""},
      {"C:\\My Charts", "C:\\My Charts"},  // inner blanks stay
  };
  for (const auto& c : cases) EXPECT_EQ(ChartDirFromLines(c.lines), c.stored) << c.lines;
  EXPECT_EQ(ChartDirToLines(".\\CHARTS;D:\\MAPS*"), ".\\CHARTS\nD:\\MAPS*");
  EXPECT_EQ(ChartDirFromLines(ChartDirToLines(".\\CHARTS;D:\\MAPS*")), ".\\CHARTS;D:\\MAPS*");
  EXPECT_EQ(ChartDirLineOfFolder("C:\\"), "C:\\.");
  EXPECT_EQ(ChartDirLineOfFolder("/home/me/charts"), "/home/me/charts");
}

TEST(CatalogMaintenance, SectionsOfMissingImagesAreRemovedInOneRewrite) {
  TTempDir dir;
  // On disk in lower case: the section "HARBOUR.PNG" belongs to harbour.png.
  WriteTestFile(dir / "harbour.png", "x");
  WriteTestFile(dir / "coast.png", "x");
  const std::string text = "; kept comment\r\n" + Section("HARBOUR.PNG", "Harbour") + Section("gone.png", "Gone") +
                           Section("coast.png", "Coast");
  WriteTestFile(dir / "chartcal.dir", text);  // found in any case
  std::vector<std::string> progress;
  const TUnusedCalibrations plan =
      FindUnusedCalibrations(dir.path(), [&](const std::string& t, int, int) { progress.push_back(t); });
  ASSERT_TRUE(plan.Ok()) << plan.Error;
  EXPECT_EQ(plan.CalFile, dir / "chartcal.dir");
  EXPECT_EQ(plan.Sections, (std::vector<std::string>{"HARBOUR.PNG", "gone.png", "coast.png"}));
  EXPECT_EQ(plan.Missing, std::vector<std::string>{"gone.png"});
  EXPECT_EQ(progress, (std::vector<std::string>{"Checking HARBOUR.PNG", "Checking gone.png", "Checking coast.png"}));

  const TSectionRemoval r = RemoveCalibrationSections(plan.CalFile, plan.Missing);
  ASSERT_TRUE(r.Ok()) << r.Error;
  EXPECT_EQ(r.Removed, 1);
  EXPECT_EQ(r.Remaining, 2);
  EXPECT_EQ(ReadTestFile(dir / "chartcal.dir"),
            "; kept comment\r\n" + Section("HARBOUR.PNG", "Harbour") + Section("coast.png", "Coast"));
  EXPECT_EQ(UnusedCalibrationsReport(r.Removed, r.Remaining),
            "---- REMOVE UNUSED CALIBRATION, RESULT ----\r\nCalibrations Removed: 1\r\n"
            "Current calibrations in file: 2");
  // Nothing left to remove: the file is not written again.
  const TSectionRemoval again = RemoveCalibrationSections(plan.CalFile, {"nothing.png"});
  EXPECT_TRUE(again.Ok());
  EXPECT_EQ(again.Removed, 0);
  EXPECT_EQ(again.Remaining, 2);
}

TEST(CatalogMaintenance, TheFileKeepsItsEncoding) {
  TTempDir dir;
  WriteTestFile(dir / "a.png", "x");
  // Windows-1252: "Å" is the byte C5.
  const std::string cp1252 = Section("A.PNG", "\xC5land") + Section("B.PNG", "B");
  WriteTestFile(dir / "CHARTCAL.DIR", cp1252);
  TSectionRemoval r = RemoveCalibrationSections(dir / "CHARTCAL.DIR", {"b.png"});
  ASSERT_TRUE(r.Ok()) << r.Error;
  EXPECT_EQ(ReadTestFile(dir / "CHARTCAL.DIR"), Section("A.PNG", "\xC5land"));
  // UTF-8 with its byte-order mark.
  const std::string bom = "\xEF\xBB\xBF";
  WriteTestFile(dir / "CHARTCAL.DIR", bom + Section("A.PNG", "\xC3\x85land") + Section("B.PNG", "B"));
  r = RemoveCalibrationSections(dir / "CHARTCAL.DIR", {"B.PNG"});
  ASSERT_TRUE(r.Ok()) << r.Error;
  EXPECT_EQ(ReadTestFile(dir / "CHARTCAL.DIR"), bom + Section("A.PNG", "\xC3\x85land"));
}

TEST(CatalogMaintenance, NothingIsRemovedWhenTheDirectoryOrFileCannotBeRead) {
  TTempDir dir;
  WriteTestFile(dir / "plain", "x");
  for (const std::string& d : {dir / "absent", dir / "plain"}) {
    const TUnusedCalibrations plan = FindUnusedCalibrations(d);
    EXPECT_FALSE(plan.Ok()) << d;
    EXPECT_TRUE(plan.Missing.empty());
  }
  // No CHARTCAL.DIR at all.
  TUnusedCalibrations plan = FindUnusedCalibrations(dir.path());
  EXPECT_FALSE(plan.Ok());
  EXPECT_NE(plan.Error.find("CHARTCAL.DIR"), std::string::npos) << plan.Error;
  // A CHARTCAL.DIR that is a directory.
  std::filesystem::create_directory(dir / "CHARTCAL.DIR");
  plan = FindUnusedCalibrations(dir.path());
  EXPECT_FALSE(plan.Ok());
  EXPECT_TRUE(plan.Missing.empty());
}

TEST(CatalogMaintenance, AFailedRewriteLeavesTheFileAsItWas) {
  TTempDir dir;
  std::filesystem::create_directory(dir / "charts");
  const std::string file = dir / "charts/CHARTCAL.DIR";
  const std::string text = Section("A.PNG", "A") + Section("B.PNG", "B");
  WriteTestFile(file, text);
  TUnwritable lock(dir / "charts");
  if (!lock.Ok()) GTEST_SKIP() << "cannot make a directory unwritable here";
  const TSectionRemoval r = RemoveCalibrationSections(file, {"A.PNG", "B.PNG"});
  EXPECT_FALSE(r.Ok());
  EXPECT_EQ(r.Removed, 0);
  EXPECT_EQ(ReadTestFile(file), text);
}

TEST(CatalogMaintenance, OnlyChangedDirectoryKeysAreStoredAsTyped) {
  TTempDir dir;
  const std::string ini = dir / "BRISMARE_2.INI";
  const std::string before =
      "[Program Setup]\r\nChart Dir=.\\CHARTS;D:\\MAPS*\r\nRoute Dir=.\\ROUTES\r\nCom Port=3\r\n";
  WriteTestFile(ini, before);
  const TDirectorySettings shown = ReadDirectorySettings(ini);
  EXPECT_EQ(shown.ChartDir, ".\\CHARTS;D:\\MAPS*");  // raw, not made absolute
  EXPECT_EQ(shown.WaypointDir, ".\\WAYPTS");         // missing: the default
  EXPECT_EQ(shown.TempDir, "");
  // Unchanged: the file is not touched.
  ASSERT_TRUE(SaveDirectorySettings(ini, shown, shown));
  EXPECT_EQ(ReadTestFile(ini), before);

  TDirectorySettings edited = shown;
  edited.TrackDir = "/data/tracks";
  ASSERT_TRUE(SaveDirectorySettings(ini, shown, edited));
  const TIniFile after(ini);
  EXPECT_EQ(after.ReadString("Program Setup", "Chart Dir", ""), ".\\CHARTS;D:\\MAPS*");
  EXPECT_EQ(after.ReadString("Program Setup", "Track Dir", ""), "/data/tracks");
  EXPECT_FALSE(after.ValueExists("Program Setup", "WayPoint Dir"));  // left missing
  EXPECT_EQ(after.ReadString("Program Setup", "Com Port", ""), "3");
}

}  // namespace
