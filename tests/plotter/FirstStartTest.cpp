// The plotter's first start on a fresh data directory: the notice that says
// where charts go and how the catalog is built, and its steps leading to a
// plotter with charts.
#include <sys/stat.h>

#include <cstdio>
#include <memory>
#include <string>

#include "ChartFixtures.h"
#include "PlotterFixture.h"

namespace {

bool IsDirectory(const std::string& path) {
  struct stat st{};
  return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

class FirstStart : public PlotterTest {
 protected:
  // Starts the plotter on the data directory's own settings file (no "-I")
  // and shows it; the answered questions are those of this start only.
  T_Form& StartOn(const std::string& dataDir) {
    env_.Set("BRISMARE_DIR", dataDir);
    ResetDataDir();
    SetArguments({"brismare"});
    questions_.Clear();
    program_ = std::make_unique<TPlotterProgram>();
    Show();
    return program_->MainForm();
  }
};

TEST_F(FirstStart, AFreshDataDirectoryGetsTheNoticeAndItsStepsLeadToCharts) {
  REQUIRE_PROGRAM("teskor");
  // The data directory does not exist yet: the program makes it.
  const std::string data = dir_ / "fresh";
  const std::string charts = data + "/CHARTS";
  StartOn(data);
  ASSERT_EQ(questions_.asked().size(), 1u);
  const TScriptedQuestions::Asked& notice = questions_.asked()[0];
  EXPECT_EQ(notice.flags, unsigned{mfOk | mfIconInformation});
  // Where the files are, where charts go (made for the user), which file
  // names other chart folders, and the command that builds the catalog of
  // this data directory.
  EXPECT_NE(notice.text.find("\n" + data + "/\n"), std::string::npos) << notice.text;
  EXPECT_NE(notice.text.find("\n" + charts + "\n"), std::string::npos) << notice.text;
  EXPECT_NE(notice.text.find(data + "/BRISMARE_2.INI"), std::string::npos) << notice.text;
  EXPECT_NE(notice.text.find("BRISMARE_DIR=\"" + data + "/\" teskor -SU"), std::string::npos) << notice.text;
  EXPECT_TRUE(IsDirectory(charts));
  Stop();

  // Doing what it says: a chart into the folder, the catalog built by the
  // command (which finds the data directory through BRISMARE_DIR).
  chartfix::WriteKapChart(charts + "/FIRST.KAP", chartfix::TChartPlan{});
  const TProgramRun scan = RunBuiltProgram("teskor", "-SU");
  ASSERT_EQ(scan.status, 0) << scan.out;
  T_Form& again = StartOn(data);
  EXPECT_TRUE(Asked().empty());
  ASSERT_TRUE(again.ChartList);
  EXPECT_EQ(again.ChartList->Count(), 1);
  Stop();

  // A data directory with a catalog is not new, even without its settings
  // file.
  ASSERT_EQ(std::remove((data + "/BRISMARE_2.INI").c_str()), 0);
  StartOn(data);
  EXPECT_TRUE(Asked().empty());
}

}  // namespace
