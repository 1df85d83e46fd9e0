// The "Autoload List" commands through the calibration tool's window, with
// scripted questions and dialogs: the scan and its report, "Update" with
// its real count of listed files, "Recreate" declined or cancelled (the
// catalog file untouched), unsaved changes, the datum question, and "Add
// Directory" without a report.
#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QToolBar>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "../TinyPng.h"
#include "TeskorFixture.h"
#include "charts/ChartList.h"
#include "platform/FileDialogs.h"
#include "platform/Questions.h"
#include "sharedui/ChartAvail.h"
#include "sharedui/DatumAlias.h"
#include "sharedui/SpyFrm.h"

namespace {

// A PNG with a section in its directory's CHARTCAL.DIR.
void WriteChart(const std::string& dir, const std::string& file, const std::string& name,
                const std::string& datum = "WGS84") {
  std::filesystem::create_directories(dir);
  WriteTestFile(dir + "/" + file, TinyPng());
  std::string cal;
  if (TestFileExists(dir + "/CHARTCAL.DIR")) cal = ReadTestFile(dir + "/CHARTCAL.DIR");
  cal += "[" + file + "]\r\nNA=" + name + "\r\nSC=20000\r\nGD=" + datum +
         "\r\nPR=0\r\nCC=3\r\nC1=0,0,58,11\r\nC2=1,0,58,12\r\nC3=0,1,57,11\r\n"
         "BC=4\r\nB1=58,11\r\nB2=58,12\r\nB3=57,12\r\nB4=57,11\r\n\r\n";
  WriteTestFile(dir + "/CHARTCAL.DIR", cal);
}

std::string Report(int other, int dup, int listed, int notCal, int total) {
  return "--- AUTOLOAD SCANNING RESULT ---\r\nKAP/GEO Files Found: 0\r\nWCI Files Found: 0\r\nOther Files Found: " +
         std::to_string(other) + "\r\nNot added, Duplicate Chart Names: " + std::to_string(dup) +
         "\r\nNot added, File Name in List: " + std::to_string(listed) +
         "\r\nNot added, Not Calibrated: " + std::to_string(notCal) +
         "\r\nTotal Number of Charts in List: " + std::to_string(total);
}

class CatalogWindow : public TeskorWindowTest {
 protected:
  void SetUp() override {
    TeskorWindowTest::SetUp();
    WriteChart(dir_ / "CHARTS", "a.png", "Alpha");
    WriteChart(dir_ / "CHARTS", "b.png", "Bravo");
    WriteTestFile(dir_ / "CHARTS/junk.png", "no image, no calibration");
  }
  T_Form& Start(const TTeskorOptions& options = {}) {
    TeskorWindowTest::Start(options);
    // The modal windows shown, by name (all declined).
    form_->Dialogs().RunDialog = [this](QDialog& d) {
      dialogsShown_.push_back(d.objectName().toStdString());
      return int(QDialog::Rejected);
    };
    return *form_;
  }
  void Trigger(const char* item) {
    questions_.Clear();
    dialogsShown_.clear();
    form_->MenuItem(item)->trigger();
    SettleTeskor();
  }
  std::string Index() const { return dir_ / "BRAINDEX.BIN"; }

  std::vector<std::string> dialogsShown_;
};

TEST_F(CatalogWindow, ScanUpdateAndTheirReports) {
  T_Form& f = Start();
  Trigger("ScanForNewCharts");
  EXPECT_EQ(Asked(), std::vector<std::string>{Report(2, 0, 0, 1, 2)});
  EXPECT_TRUE(f.ProblemCharts->isVisible());
  EXPECT_EQ(f.ProblemCharts->Lines(), std::vector<std::string>{"No Cal: " + dir_ / "CHARTS/junk.png"});
  TChartList saved;
  ASSERT_EQ(saved.LoadFromFile(Index(), "").Status, TCatalogLoad::Loaded);
  EXPECT_EQ(saved.Count(), 2);

  // Again: nothing new, and this report always counts 0 files in the list.
  f.ProblemCharts->hide();
  Trigger("ScanForNewCharts");
  EXPECT_EQ(Asked(), std::vector<std::string>{Report(0, 0, 0, 1, 2)});
  // "Update" counts them; a chart on an unknown datum asks (the dialog is
  // declined) and is reported under its catalog name.
  WriteChart(dir_ / "CHARTS", "c.png", "Charlie", "NO SUCH DATUM");
  Trigger("UpdateCatalog");
  EXPECT_EQ(Asked(), std::vector<std::string>{Report(1, 0, 2, 1, 3)});
  EXPECT_EQ(dialogsShown_, std::vector<std::string>{f.DatFrm->objectName().toStdString()});
  EXPECT_EQ(f.ProblemCharts->Lines(), (std::vector<std::string>{"Bad Datum: " + dir_ / "CHARTS/c.png",
                                                                "No Cal: " + dir_ / "CHARTS/junk.png"}));
  EXPECT_TRUE(f.TB->isEnabled());
}

TEST_F(CatalogWindow, RecreateDeclinedOrCancelledLeavesTheCatalog) {
  T_Form& f = Start();
  Trigger("ScanForNewCharts");
  // A chart that is no longer there, saved in the catalog.
  RChartLayout gone = f.Catalog->GetEntry(0);
  gone.Name = "Gone";
  gone.FileName = dir_ / "CHARTS/gone.png";
  ASSERT_EQ(f.Catalog->AddEntry(gone, false), 1);
  ASSERT_TRUE(f.Catalog->SaveToFile(Index()));
  const std::string before = ReadTestFile(Index());

  // Unsaved changes: No stops before anything else.
  f.Cal.SetChanged(true);
  questions_.Clear();
  questions_.Answer(idNo);
  form_->MenuItem("RecreateCatalog")->trigger();
  EXPECT_EQ(Asked(), std::vector<std::string>{"Changes not saved. Continue?"});
  EXPECT_TRUE(f.Cal.Changed());
  f.Cal.SetChanged(false);

  // No at the catalog file.
  questions_.Clear();
  questions_.Answer(idNo);
  form_->MenuItem("RecreateCatalog")->trigger();
  EXPECT_EQ(Asked(), std::vector<std::string>{"File " + Index() + " Exists! Delete?"});
  EXPECT_EQ(ReadTestFile(Index()), before);

  // Cancel at a duplicate name that finds no free suffix.
  for (int k = 2; k <= 101; ++k) WriteChart(dir_ / "CHARTS", "z" + std::to_string(k) + ".png", "Alpha");
  questions_.Clear();
  questions_.Answer(idYes);
  questions_.Answer(idCancel);
  form_->MenuItem("RecreateCatalog")->trigger();
  SettleTeskor();
  const std::vector<std::string> asked = Asked();
  ASSERT_EQ(asked.size(), 3u);
  EXPECT_EQ(asked[1], "Alpha already in list. Not added.");
  EXPECT_EQ(asked[2], "The chart list was not recreated: the list and its file are as they were.");
  EXPECT_EQ(ReadTestFile(Index()), before);
  EXPECT_GE(f.Catalog->FindByName("Gone"), 0);

  // Yes, and to its end: the vanished chart is gone.
  ::unlink((dir_ / "CHARTS/z101.png").c_str());
  questions_.Clear();
  questions_.Answer(idYes);
  form_->MenuItem("RecreateCatalog")->trigger();
  SettleTeskor();
  EXPECT_EQ(f.Catalog->FindByName("Gone"), -1);
  EXPECT_EQ(f.Catalog->Count(), 101);
  TChartList saved;
  ASSERT_EQ(saved.LoadFromFile(Index(), "").Status, TCatalogLoad::Loaded);
  EXPECT_EQ(saved.Count(), 101);
}

TEST_F(CatalogWindow, ADamagedCatalogIsKeptAsideAndItsChartsStay) {
  // Two charts listed, the file cut inside the second: the first is kept,
  // the file copied aside before the scan writes the new one.
  TChartList old;
  for (const char* name : {"Kept", "Lost"}) {
    RChartLayout e;
    e.Name = name;
    e.FileName = dir_ / "ELSEWHERE/" + name + ".png";
    e.Scale = 10000;
    e.Border = {{0.1, 1.0}, {0.2, 1.0}, {0.2, 0.9}};
    e.Bounds = {0.2, 1.0, 0.1, 0.9};
    ASSERT_EQ(old.AddEntry(e, false), 1);
  }
  const std::string bytes = old.SaveToBytes();
  const std::string damaged = bytes.substr(0, bytes.size() - 20);
  WriteTestFile(Index(), damaged);
  T_Form& f = Start();
  EXPECT_EQ(f.Catalog->Count(), 1);
  const std::vector<std::string> notice = Asked();
  ASSERT_EQ(notice.size(), 1u);
  EXPECT_NE(notice[0].find(Index() + ".damaged"), std::string::npos) << notice[0];
  EXPECT_EQ(ReadTestFile(Index() + ".damaged"), damaged);
  Trigger("ScanForNewCharts");
  TChartList saved;
  ASSERT_EQ(saved.LoadFromFile(Index(), "").Status, TCatalogLoad::Loaded);
  EXPECT_EQ(saved.Count(), 3);
  EXPECT_GE(saved.FindByName("Kept"), 0);
}

TEST_F(CatalogWindow, AddDirectoryAddsWithoutAReport) {
  T_Form& plain = Start();
  EXPECT_FALSE(plain.MenuItem("AddDirectory")->isVisible());
  TTeskorOptions options;
  options.ShowAddDirectory = true;
  T_Form& f = Start(options);
  ASSERT_TRUE(f.MenuItem("AddDirectory")->isVisible());
  WriteChart(dir_ / "MORE", "d.png", "Delta");
  dialogs_.Answer(dir_ / "MORE");
  Trigger("AddDirectory");
  ASSERT_EQ(dialogs_.requests().size(), 1u);
  EXPECT_EQ(dialogs_.requests()[0].options.title, "Select Directory to Add:");
  EXPECT_TRUE(Asked().empty());
  TChartList saved;
  ASSERT_EQ(saved.LoadFromFile(Index(), "").Status, TCatalogLoad::Loaded);
  EXPECT_EQ(saved.Count(), 1);
  EXPECT_GE(saved.FindByName("Delta"), 0);
  // Cancel in the folder dialog does nothing.
  dialogs_.Cancel();
  Trigger("AddDirectory");
  EXPECT_TRUE(Asked().empty());
}

}  // namespace
