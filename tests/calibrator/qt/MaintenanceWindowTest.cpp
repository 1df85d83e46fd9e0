// The "Maintenance" and "Set Directories" commands of the calibration
// tool's window, through their menu items with scripted questions, folders
// and dialog presses.
#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "TeskorFixture.h"
#include "calibrator/maintenance/SetDirDialog.h"
#include "charts/ChartList.h"
#include "foundation/IniFile.h"
#include "platform/FileDialogs.h"
#include "platform/Questions.h"

namespace {

std::string Section(const std::string& name) { return "[" + name + "]\r\nNA=" + name + "\r\nSC=20000\r\n\r\n"; }

class MaintenanceWindow : public TeskorWindowTest {
 protected:
  std::string Ini() const { return dir_ / "BRISMARE_2.INI"; }
};

constexpr const char* kIntro =
    "Calibration data for image files not found in\r\nselected directory will be removed to save space.";

TEST_F(MaintenanceWindow, RemoveUnusedCalibrationsAsksBeforeRemoving) {
  std::filesystem::create_directory(dir_ / "charts");
  WriteTestFile(dir_ / "charts/harbour.png", "x");
  WriteTestFile(dir_ / "charts/coast.png", "x");
  const std::string cal = dir_ / "charts/CHARTCAL.DIR";
  const std::string text = Section("HARBOUR.PNG") + Section("GONE.PNG") + Section("COAST.PNG");
  WriteTestFile(cal, text);
  T_Form& f = Start();
  QAction* item = f.MenuItem("RemoveUnusedCalibrations");
  ASSERT_NE(item, nullptr);
  const std::string question =
      "1 of 3 calibrations in " + cal + " belong to images that are not there.\r\nRemove them?";

  // Cancel at the folder dialog.
  dialogs_.Cancel();
  item->trigger();
  EXPECT_EQ(Asked(), std::vector<std::string>{kIntro});
  ASSERT_EQ(dialogs_.requests().size(), 1u);
  EXPECT_EQ(dialogs_.requests()[0].options.title, "Directory to check:");

  // No: the file stays as it was.
  questions_.Clear();
  dialogs_.Answer(dir_ / "charts");
  questions_.Answer(idOk);
  questions_.Answer(idNo);
  item->trigger();
  EXPECT_EQ(Asked(), (std::vector<std::string>{kIntro, question}));
  EXPECT_EQ(ReadTestFile(cal), text);

  // Yes: one section goes, the image in another case keeps its own.
  questions_.Clear();
  dialogs_.Answer(dir_ / "charts");
  questions_.Answer(idOk);
  questions_.Answer(idYes);
  item->trigger();
  EXPECT_EQ(Asked(), (std::vector<std::string>{kIntro, question,
                                               "---- REMOVE UNUSED CALIBRATION, RESULT ----\r\n"
                                               "Calibrations Removed: 1\r\nCurrent calibrations in file: 2"}));
  EXPECT_EQ(ReadTestFile(cal), Section("HARBOUR.PNG") + Section("COAST.PNG"));

  // A directory without CHARTCAL.DIR: said so, nothing else.
  questions_.Clear();
  dialogs_.Answer(dir_.path());
  item->trigger();
  ASSERT_EQ(Asked().size(), 2u);
  EXPECT_NE(Asked()[1].find("CHARTCAL.DIR"), std::string::npos) << Asked()[1];
}

TEST_F(MaintenanceWindow, SetDirectoriesStoresTheEditedTextsOnly) {
  WriteTestFile(Ini(), "[Program Setup]\r\nChart Dir=.\\CHARTS\r\nRoute Dir=.\\ROUTES\r\n");
  T_Form& f = Start();
  const std::string a = dir_ / "a";
  const std::string b = dir_ / "b";
  bool shown = false;
  f.Dialogs().RunDialog = [&](QDialog& d) {
    auto* s = dynamic_cast<T_SetDir*>(&d);
    if (!s) return int(QDialog::Rejected);
    shown = true;
    EXPECT_EQ(s->windowTitle().toStdString(), "Set Directories");
    // The stored texts, not made absolute; a missing key shows its default.
    EXPECT_EQ(s->DIR_Cht->toPlainText().toStdString(), ".\\CHARTS");
    EXPECT_EQ(s->DIR_Rt->text().toStdString(), ".\\ROUTES");
    EXPECT_EQ(s->DIR_Wp->text().toStdString(), ".\\WAYPTS");
    EXPECT_EQ(s->DIR_Tmp->text().toStdString(), "");
    // "<<" beside an edit starts at the relative directory resolved, and
    // puts the folder chosen into the edit; Cancel leaves it.
    dialogs_.Cancel();
    s->RtBrowse->click();
    EXPECT_EQ(dialogs_.requests().back().options.initialDir, dir_ / "ROUTES");
    EXPECT_EQ(s->DIR_Rt->text().toStdString(), ".\\ROUTES");
    dialogs_.Answer(dir_ / "tracks");
    s->TrBrowse->click();
    EXPECT_EQ(s->DIR_Tr->text().toStdString(), dir_ / "tracks");
    // "<<" beside the memo starts at its last line (without "*") and adds
    // the folder as a new line.
    s->DIR_Cht->setPlainText(QString::fromStdString(a + "\n\n" + b + "*\n"));
    dialogs_.Answer("C:\\");
    s->ChtBrowse->click();
    EXPECT_EQ(dialogs_.requests().back().options.initialDir, b);
    EXPECT_EQ(s->DIR_Cht->toPlainText().toStdString(), a + "\n\n" + b + "*\nC:\\.");
    s->DIR_Cht->setPlainText(QString::fromStdString(a + "\n\n" + b + "*\n"));
    s->OkButton->click();
    return s->result();
  };
  f.MenuItem("SetDirectories")->trigger();
  ASSERT_TRUE(shown);
  const TIniFile ini(Ini());
  EXPECT_EQ(ini.ReadString("Program Setup", "Chart Dir", ""), a + ";" + b + "*");
  EXPECT_EQ(ini.ReadString("Program Setup", "Route Dir", ""), ".\\ROUTES");
  EXPECT_EQ(ini.ReadString("Program Setup", "Track Dir", ""), dir_ / "tracks");
  EXPECT_FALSE(ini.ValueExists("Program Setup", "WayPoint Dir"));
  EXPECT_FALSE(ini.ValueExists("Program Setup", "Temp Dir"));
  // The tool searches the new chart directories at once.
  EXPECT_EQ(f.Settings.Catalog.ChartDir, a + ";" + b + "*");
  EXPECT_EQ(f.Catalog->SearchPath(), a + ";" + b);
}

TEST_F(MaintenanceWindow, SetDirectoriesCancelStoresNothingYetRereadsTheChartDirs) {
  WriteTestFile(Ini(), "[Program Setup]\r\nChart Dir=.\\CHARTS\r\nLanguageFile=x.lng\r\n");
  T_Form& f = Start();
  // Changed behind the tool's back (the plotter, an editor).
  const std::string text = "[Program Setup]\r\nChart Dir=" + (dir_ / "other") + "\r\nLanguageFile=x.lng\r\n";
  WriteTestFile(Ini(), text);
  f.Dialogs().RunDialog = [](QDialog& d) {
    auto* s = dynamic_cast<T_SetDir*>(&d);
    if (!s) return int(QDialog::Rejected);
    s->DIR_Rt->setText(QStringLiteral("/elsewhere"));
    s->CancelButton->click();
    return s->result();
  };
  f.MenuItem("SetDirectories")->trigger();
  EXPECT_EQ(ReadTestFile(Ini()), text);
  EXPECT_EQ(f.Catalog->SearchPath(), dir_ / "other");
  EXPECT_EQ(f.Settings.LanguageFile, "x.lng");
}

// The dialog takes its captions from the language file; the directories it
// shows are data and stay as stored whatever the file says.
TEST_F(MaintenanceWindow, SetDirectoriesSpeaksTheLanguageFile) {
  const std::string lng = dir_ / "svenska.lng";
  WriteTestFile(lng,
                "[Text_2]\r\n_SetDir._SetDir.Caption=Kataloger\r\n_SetDir.L_Rt.Caption=Ruttkatalog\r\n"
                "_SetDir.OkButton.Caption=Verkst\xC3\xA4ll\r\n_SetDir.DIR_Cht.Lines.0=nonsense\r\n");
  WriteTestFile(Ini(), "[Program Setup]\r\nChart Dir=.\\CHARTS\r\nLanguageFile=" + lng + "\r\n");
  T_Form& f = Start();
  std::vector<std::string> seen;
  f.Dialogs().RunDialog = [&](QDialog& d) {
    auto* s = dynamic_cast<T_SetDir*>(&d);
    if (!s) return int(QDialog::Rejected);
    seen = {s->windowTitle().toStdString(), s->findChild<QLabel*>(QStringLiteral("L_Rt"))->text().toStdString(),
            s->OkButton->text().toStdString(), s->DIR_Cht->toPlainText().toStdString(),
            s->findChild<QLabel*>(QStringLiteral("L_Wp"))->text().toStdString()};
    return int(QDialog::Rejected);
  };
  f.MenuItem("SetDirectories")->trigger();
  EXPECT_EQ(seen, (std::vector<std::string>{"Kataloger", "Ruttkatalog", "Verkst\xC3\xA4ll", ".\\CHARTS",
                                            "Waypoint Directory"}));
}

TEST_F(MaintenanceWindow, SetDirectoriesStaysOpenWhenTheSettingsCannotBeWritten) {
  WriteTestFile(Ini(), "[Program Setup]\r\nRoute Dir=.\\ROUTES\r\n");
  T_Form& f = Start();
  bool skipped = false;
  f.Dialogs().RunDialog = [&](QDialog& d) {
    auto* s = dynamic_cast<T_SetDir*>(&d);
    if (!s) return int(QDialog::Rejected);
    s->DIR_Rt->setText(QStringLiteral("/elsewhere"));
    {
      TUnwritable lock(dir_.path());
      if (!lock.Ok()) {
        skipped = true;
        return int(QDialog::Rejected);
      }
      s->OkButton->click();
      EXPECT_EQ(s->result(), int(QDialog::Rejected));
      EXPECT_EQ(questions_.asked().size(), 1u);
      EXPECT_EQ(s->DIR_Rt->text().toStdString(), "/elsewhere");
    }
    s->OkButton->click();
    return s->result();
  };
  f.MenuItem("SetDirectories")->trigger();
  if (skipped) GTEST_SKIP() << "cannot make a directory unwritable here";
  EXPECT_EQ(TIniFile(Ini()).ReadString("Program Setup", "Route Dir", ""), "/elsewhere");
}

}  // namespace
