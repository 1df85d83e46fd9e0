// The catalog commands of the calibration tool without its window: "Update"
// reads every entry again under its catalog name, "Recreate" builds aside
// and replaces the catalog only when it ran to its end (Cancel, or the
// program killed half-way, leave the old file as it was), and "Add
// Directory" adds what is new.
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cmath>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "TinyPng.h"
#include "calibrator/catalog/core/CatalogCommands.h"
#include "charts/ChartFile.h"
#include "charts/ChartList.h"
#include "geodesy/Datum.h"
#include "platform/Questions.h"

namespace {

// A calibrated chart: a PNG and its ".CAL", covering one degree from
// (lon, lat) north-east, on a datum.
void WriteChart(const std::string& dir, const std::string& base, const std::string& name, double lon, double lat,
                const std::string& datum = "WGS84") {
  ::mkdir(dir.c_str(), 0755);
  WriteTestFile(dir + "/" + base + ".png", TinyPng());
  const std::string w = std::to_string(lon), e = std::to_string(lon + 1);
  const std::string s = std::to_string(lat), n = std::to_string(lat + 1);
  WriteTestFile(dir + "/" + base + ".CAL", "NA=" + name + "\r\nFN=" + base + ".png\r\nSC=20000\r\nGD=" + datum +
                                               "\r\nPR=0\r\nCC=3\r\nC1=0,0," + n + "," + w + "\r\nC2=1,0," + n +
                                               "," + e + "\r\nC3=0,1," + s + "," + w + "\r\nBC=4\r\nB1=" + n + "," +
                                               w + "\r\nB2=" + n + "," + e + "\r\nB3=" + s + "," + e + "\r\nB4=" +
                                               s + "," + w + "\r\n");
}

// A data directory with its chart directories, the catalog and a scanner
// as the tool sets them up.
class CatalogRun : public ::testing::Test {
 protected:
  void SetUp() override {
    previous_ = SetUserQuestions(&questions_);
    WriteTestFile(tmp_ / "DATUMS2.INI", ReadTestFile(std::string(BRISMARE_SOURCE_DIR) + "/data/DATUMS2.INI"));
    datum_ = std::make_unique<TDatum>(tmp_ / "DATUMS2.INI");
    file_.AlwaysBuildInfo = true;
    SetDirs(tmp_ / "A" + ";" + tmp_ / "B");
    scanner_ = std::make_unique<TCatalogScanner>(list_, *datum_, file_);
    scanner_->Settings = settings_;
    SetProgressCallback([this](const std::string& text, int, int) {
      progress_.push_back(text);
      return true;
    });
  }
  void TearDown() override {
    SetProgressCallback({});
    SetUserQuestions(previous_);
  }
  void SetDirs(const std::string& dirs) {
    settings_.ChartDir = dirs;
    if (scanner_) scanner_->Settings = settings_;
    file_.SearchPath = ChartSearchPath(dirs);
    list_.SetSearchPath(file_.SearchPath);
  }
  TCatalogCommandResult Run(TCatalogCommand command, const std::string& dir = {}) {
    progress_.clear();
    return RunCatalogCommand(command, *scanner_, Index(), dir);
  }
  std::string Index() const { return tmp_ / "BRAINDEX.BIN"; }
  const RChartLayout* Named(const std::string& name) const { return list_.Entry(list_.FindByName(name)); }

  TTempDir tmp_;
  TScriptedQuestions questions_;
  IUserQuestions* previous_ = nullptr;
  std::unique_ptr<TDatum> datum_;
  TChartHeadExternalCodec codec_;
  TChartFile file_{codec_};
  TChartList list_;
  TCatalogSettings settings_;
  std::unique_ptr<TCatalogScanner> scanner_;
  std::vector<std::string> progress_;
};

TEST_F(CatalogRun, UpdateReadsEveryEntryAgainUnderItsCatalogName) {
  WriteChart(tmp_ / "A", "one", "One", 11, 57);
  WriteChart(tmp_ / "A", "two", "Two", 13, 57);
  WriteChart(tmp_ / "B", "three", "Three", 15, 57);
  ASSERT_TRUE(Run(TCatalogCommand::Scan).Saved);
  ASSERT_EQ(list_.Count(), 3);

  // The first chart renamed and moved a degree north; the second gone; the
  // third on a datum nobody knows; a new fourth.
  WriteChart(tmp_ / "A", "one", "Renamed", 11, 58);
  ::unlink((tmp_ / "A/two.png").c_str());
  ::unlink((tmp_ / "A/two.CAL").c_str());
  WriteChart(tmp_ / "B", "three", "Three", 15, 57, "NO SUCH DATUM");
  WriteChart(tmp_ / "B", "four", "Four", 17, 57, "NO SUCH DATUM");
  std::vector<std::string> asked;
  scanner_->AskDatumAlias = [&](const std::string& name) {
    asked.push_back(name);
    return false;
  };
  const TCatalogCommandResult r = Run(TCatalogCommand::Update);
  EXPECT_TRUE(r.Saved) << r.Error;

  const RChartLayout* one = Named("One");
  ASSERT_TRUE(one);
  EXPECT_EQ(list_.FindByName("Renamed"), -1);
  EXPECT_NEAR(one->Bounds.Y2, 58 * kDegToRad, 1e-9);
  EXPECT_NEAR(one->Border[0].Y, 59 * kDegToRad, 1e-9);
  EXPECT_EQ(one->FileName, tmp_ / "A/one.png");
  // The progress shows the chart's own name now.
  EXPECT_NE(std::find(progress_.begin(), progress_.end(), "Updating Renamed"), progress_.end());
  // A chart whose file is gone stays as it was (its disk may be away).
  ASSERT_TRUE(Named("Two"));
  // One question for the datum, however many charts use it.
  EXPECT_EQ(asked, std::vector<std::string>{"NO SUCH DATUM"});
  EXPECT_EQ(scanner_->Problems, (std::vector<std::string>{"Not found: " + tmp_ / "A/two.png", "Bad Datum: Three",
                                                          "Bad Datum: " + tmp_ / "B/four.CAL"}));
  // Then the scan: the new chart added, the others counted as listed.
  EXPECT_TRUE(Named("Four"));
  EXPECT_EQ(scanner_->Counters.Other, 1);
  // Both files of a listed chart (the image and its ".CAL") count.
  EXPECT_EQ(scanner_->Counters.InList, 5);

  TChartList saved;
  ASSERT_EQ(saved.LoadFromFile(Index(), "").Status, TCatalogLoad::Loaded);
  EXPECT_EQ(saved.SaveToBytes(), list_.SaveToBytes());
}

TEST_F(CatalogRun, RecreateReplacesTheCatalogOnlyWhenItRanToItsEnd) {
  WriteChart(tmp_ / "A", "one", "One", 11, 57);
  WriteChart(tmp_ / "B", "two", "Two", 13, 57);
  ASSERT_TRUE(Run(TCatalogCommand::Scan).Saved);
  // An entry that is no longer on disk: Recreate drops it.
  RChartLayout gone = *Named("One");
  gone.Name = "Gone";
  gone.FileName = tmp_ / "A/gone.png";
  ASSERT_EQ(list_.AddEntry(gone, false), 1);
  ASSERT_TRUE(list_.SaveToFile(Index()));
  const std::string before = ReadTestFile(Index());

  // 101 charts called "Harbour" in B: the last finds no free name and the
  // user chooses Cancel. The list and its file stay as they were.
  for (int k = 0; k <= 100; ++k) WriteChart(tmp_ / "B", "h" + std::to_string(1000 + k), "Harbour", 13, 57);
  questions_.Answer(idCancel);
  TCatalogCommandResult r = Run(TCatalogCommand::Recreate);
  EXPECT_TRUE(r.Cancelled);
  EXPECT_FALSE(r.Saved);
  EXPECT_EQ(ReadTestFile(Index()), before);
  EXPECT_EQ(list_.SaveToBytes(), before);
  ASSERT_EQ(questions_.asked().size(), 1u);
  EXPECT_EQ(questions_.asked()[0].text, "Harbour already in list. Not added.");

  // Without the 101st: the new catalog is what a first scan of the same
  // directories gives.
  ::unlink((tmp_ / "B/h1100.png").c_str());
  ::unlink((tmp_ / "B/h1100.CAL").c_str());
  r = Run(TCatalogCommand::Recreate);
  EXPECT_TRUE(r.Saved) << r.Error;
  EXPECT_EQ(list_.FindByName("Gone"), -1);
  EXPECT_EQ(list_.Count(), 102);
  TChartList fresh;
  fresh.SetSearchPath(list_.SearchPath());
  TCatalogScanner other(fresh, *datum_, file_);
  other.Settings = settings_;
  ASSERT_TRUE(ScanChartDirectories(other, false));
  EXPECT_EQ(ReadTestFile(Index()), fresh.SaveToBytes());
  EXPECT_EQ(std::count(progress_.begin(), progress_.end(), "Saving List"), 1);
}

TEST_F(CatalogRun, RecreateKilledHalfWayLeavesTheOldCatalog) {
  for (int k = 0; k < 20; ++k) WriteChart(tmp_ / "A", "a" + std::to_string(k), "A" + std::to_string(k), 11, 57);
  for (int k = 0; k < 20; ++k) WriteChart(tmp_ / "B", "b" + std::to_string(k), "B" + std::to_string(k), 13, 57);
  ASSERT_TRUE(Run(TCatalogCommand::Scan).Saved);
  const std::string before = ReadTestFile(Index());
  // More charts, so that a new catalog would differ.
  for (int k = 0; k < 5; ++k) WriteChart(tmp_ / "B", "c" + std::to_string(k), "C" + std::to_string(k), 15, 57);

  // Killed while scanning the second directory, and just before saving.
  for (const char* at : {"Scanning ", "Saving List"}) {
    SCOPED_TRACE(at);
    const std::string when = std::string(at) == "Scanning " ? "Scanning " + tmp_ / "B" : at;
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      SetProgressCallback([when](const std::string& text, int, int) {
        if (text == when) ::raise(SIGKILL);
        return true;
      });
      RunCatalogCommand(TCatalogCommand::Recreate, *scanner_, Index());
      ::_exit(0);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL);
    EXPECT_EQ(ReadTestFile(Index()), before);
    TChartList again;
    EXPECT_EQ(again.LoadFromFile(Index(), "").Status, TCatalogLoad::Loaded);
    EXPECT_EQ(again.Count(), 40);
  }
}

TEST_F(CatalogRun, AddDirectoryAddsOnlyWhatIsNew) {
  WriteChart(tmp_ / "A", "one", "One", 11, 57);
  ASSERT_TRUE(Run(TCatalogCommand::Scan).Saved);
  scanner_->ClearReport();
  // The same chart in another directory (same name, file name and size),
  // and a new one.
  WriteChart(tmp_ / "C", "one", "One", 11, 57);
  WriteChart(tmp_ / "C", "five", "Five", 19, 57);
  const TCatalogCommandResult r = Run(TCatalogCommand::AddDirectory, tmp_ / "C");
  EXPECT_TRUE(r.Saved);
  EXPECT_EQ(list_.Count(), 2);
  EXPECT_EQ(Named("One")->FileName, tmp_ / "A/one.png");
  EXPECT_TRUE(Named("Five"));
  EXPECT_EQ(progress_.front(), "Scanning " + tmp_ / "C");
  // The copy is the chart already listed: not added, and reported as such.
  EXPECT_EQ(scanner_->Problems,
            (std::vector<std::string>{"DupName: " + tmp_ / "C/one.CAL", "DupName: " + tmp_ / "C/one.png"}));
}

}  // namespace
