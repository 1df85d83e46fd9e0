// Language files, menus, the message panel and the ports of the main window.
#include <QAbstractButton>
#include <QAction>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QToolButton>

#include <filesystem>
#include <map>

#include "PlotterFixture.h"
#include "charts/ChartList.h"
#include "foundation/IniFile.h"
#include "foundation/qt/Language.h"
#include "plotter/dialogs/AuxDialogs.h"

namespace {

using PlotterWindow = PlotterTest;

// Every text a language file can carry, keyed by window and object.
std::map<std::string, QString> Texts(const std::vector<QWidget*>& windows) {
  std::map<std::string, QString> texts;
  for (QWidget* w : windows) {
    const std::string form = w->objectName().toStdString() + ".";
    texts[form + "title"] = w->windowTitle();
    for (QObject* o : w->findChildren<QObject*>()) {
      const std::string key = form + o->objectName().toStdString();
      if (o->objectName().isEmpty()) continue;
      if (auto* a = qobject_cast<QAction*>(o)) texts[key] = a->text();
      if (auto* m = qobject_cast<QMenu*>(o)) texts[key] = m->title();
      if (auto* l = qobject_cast<QLabel*>(o)) texts[key] = l->text();
      if (auto* b = qobject_cast<QAbstractButton*>(o)) texts[key] = b->text();
      if (auto* p = qobject_cast<QPlainTextEdit*>(o)) texts[key] = p->toPlainText();
    }
  }
  return texts;
}

TEST_F(PlotterWindow, ALanguageFileSavedAndLoadedBackChangesNoText) {
  T_Form& f = Start();
  Show();
  const std::string file = dir_ / "english.lng";
  const auto before = Texts(program_->Windows());
  ASSERT_GT(before.size(), 150u);

  f.ApplyLanguage(file, true);
  TIniFile written(file);
  EXPECT_EQ(written.ReadString(kLanguageSection, "_Form.Exit1.Caption", ""), "Exit");
  EXPECT_EQ(written.ReadString(kLanguageSection, "_Form.TX_MESSAGES.Lines.111", ""), "Wind     ");
  EXPECT_EQ(written.ReadString(kLanguageSection, "SetupFrm.SetupFrm.Caption", ""), "Brismare Setup");
  EXPECT_EQ(written.ReadString(kLanguageSection, "RLForm.RLForm.Caption", ""), "Select Route");
  // Every window of the program has its texts in the file.
  for (QWidget* w : program_->Windows()) {
    const std::string name = w->objectName().toStdString();
    EXPECT_TRUE(written.ValueExists(kLanguageSection, name + "." + name + ".Caption")) << name;
  }

  f.ApplyLanguage(file, false);
  EXPECT_EQ(Texts(program_->Windows()), before);
}

TEST_F(PlotterWindow, TheLanguageFileIsAppliedOnceTheWindowIsShown) {
  const std::string file = dir_ / "svenska.lng";
  WriteTestFile(file,
                "[Text_2]\r\n"
                "_Form.Exit1.Caption=Avsluta\r\n"
                "_Form.TX_MESSAGES.Lines.2=AUTOMATIK\r\n"
                "_Form.TX_MESSAGES.Lines.28=Vill du avsluta?\r\n"
                "S_Frm.S_Frm.Caption=Sök sjökort\r\n");
  T_Form& f = Start(std::string(kQuietSettings) + "LanguageFile=" + file + "\r\n");
  EXPECT_EQ(f.MenuItem("Exit1")->text(), "Exit");
  Show();
  EXPECT_EQ(f.MenuItem("Exit1")->text(), "Avsluta");
  EXPECT_EQ(program_->Forms().S_Frm->windowTitle(), "Sök sjökort");
  EXPECT_EQ(f.Messages[28], "Vill du avsluta?");
  EXPECT_EQ(f.DBI_AUTO->text(), "AUTOMATIK OFF");
  questions_.Clear();
  f.close();
  EXPECT_EQ(Asked(), (std::vector<std::string>{"Vill du avsluta?"}));
}

TEST_F(PlotterWindow, SaveLanguageCommandAsksBeforeOverwriting) {
  T_Form& f = Start();
  const std::string file = dir_ / "mine.lng";
  WriteTestFile(file, "[Text_2]\r\n");
  f.SysInfo.LanguageFile = "save:" + file;
  questions_.Answer(idNo);
  f.LanguageCommand();
  EXPECT_EQ(f.SysInfo.LanguageFile, file);
  EXPECT_EQ(Asked(), (std::vector<std::string>{file + " Exists! Overwrite?"}));
  EXPECT_EQ(ReadTestFile(file), "[Text_2]\r\n");

  f.SysInfo.LanguageFile = "SAVE:" + file;
  questions_.Answer(idYes);
  f.LanguageCommand();
  EXPECT_EQ(TIniFile(file).ReadString(kLanguageSection, "_Form.Exit1.Caption", ""), "Exit");
}

TEST_F(PlotterWindow, MenusAreWiredAsFarAsTheirCommandsExist) {
  T_Form& f = Start();
  Show();
  // Drop-downs of the dashboard.
  EXPECT_EQ(f.DBC_MENU_1->menu(), f.FileMenu);
  EXPECT_EQ(f.DBC_MENU_2->menu(), f.EditMenu);
  EXPECT_EQ(f.SubMenu("NAC")->title(), "&Charts");
  EXPECT_EQ(f.MenuItem("NAAddPosition")->text(), "&Add ");

  f.TakeRepaintRequest();
  f.MenuItem("RefreshScreen1")->trigger();
  EXPECT_TRUE(f.TakeRepaintRequest());
  EXPECT_FALSE(f.TakeRepaintRequest());

  f.MenuItem("Clr2")->trigger();
  EXPECT_EQ(f.ShadeLevel(), 2);
  EXPECT_TRUE(f.SBC[2]->isChecked());
  f.MenuItem("Clr0")->trigger();
  EXPECT_EQ(f.ShadeLevel(), 0);

  for (const char* name : {"NAAddPosition", "WPImport", "OpenOld1", "RFExport", "GPSGetTrack", "WPUnlock",
                           "WPDeleteSelected", "DelWPWaypoint", "DelRteWaypoint", "WPClear", "FMRouteClear", "RFSave",
                           "FMRouteOpen", "ActivateRoute1", "RouteEditor1", "FMRouteExportNMEA", "ChartInfo1", "About1",
                           "RFListRoute", "FMNameSearch", "PreferedCharts1", "ChartGroups1", "NMEAInputMonitor1",
                           "NMEAOutputMonitor1"})
    EXPECT_TRUE(f.MenuItem(name)->isEnabled()) << name;
  // No transfer program: no GPS menu.
  EXPECT_FALSE(f.SubMenu("GPSMenu")->menuAction()->isEnabled());
  EXPECT_TRUE(f.MenuItem("EngineOn1")->isChecked());

  // "E&xit" closes through the questions.
  questions_.Clear();
  questions_.Answer(idNo);
  f.MenuItem("NAExit")->trigger();
  EXPECT_EQ(Asked(), (std::vector<std::string>{"Do you want to quit"}));
  EXPECT_FALSE(f.Closed());
}

TEST_F(PlotterWindow, GpsMenuNeedsTheTransferProgram) {
  // Not there: the menu is off.
  EXPECT_FALSE(Start().SubMenu("GPSMenu")->menuAction()->isEnabled());
  Stop();
  // A program that can run (a file that cannot be started cannot transfer).
  const std::string program = dir_ / "G7ToWin.exe";
  WriteTestFile(program, "#!/bin/sh\n");
  std::filesystem::permissions(program, std::filesystem::perms::owner_all, std::filesystem::perm_options::add);
  T_Form& f = Start();
  EXPECT_TRUE(f.SubMenu("GPSMenu")->menuAction()->isEnabled());
}

TEST_F(PlotterWindow, MessagePanel) {
  T_Form& f = Start();
  Show();
  EXPECT_TRUE(f.ShowProgress("Scanning charts", 3, 10));
  EXPECT_FALSE(f.MsgP->isHidden());
  EXPECT_EQ(f.MsgT->text(), "Scanning charts");
  EXPECT_FALSE(f.MsgB->isHidden());
  EXPECT_EQ(f.MsgB->maximum(), 10);
  EXPECT_EQ(f.MsgB->value(), 3);
  EXPECT_TRUE(f.ShowProgress("Loading Chart", 0, 0));
  EXPECT_TRUE(f.MsgB->isHidden());
  EXPECT_FALSE(f.ShowProgress("", 0, 0));
  EXPECT_TRUE(f.MsgP->isHidden());
  // The panel is the progress display of long jobs elsewhere (catalog scans).
  EXPECT_TRUE(ReportProgress("Generating list", 1, 5));
  EXPECT_EQ(f.MsgT->text(), "Generating list");
  EXPECT_FALSE(ReportProgress("", 0, 0));
  Stop();
  EXPECT_FALSE(ReportProgress("after the window", 1, 2));  // uninstalled with it
}

TEST_F(PlotterWindow, CursorsAndIcons) {
  T_Form& f = Start();
  for (int i = 0; i < kChartCursorCount; ++i) {
    SCOPED_TRACE(i);
    for (const QCursor* c : {&f.Cursors.ChartCursors[i], &f.Cursors.FatChartCursors[i]}) {
      EXPECT_EQ(c->pixmap().size(), QSize(32, 32));
      EXPECT_EQ(c->hotSpot(), QPoint(15, 15));
    }
    EXPECT_NE(f.Cursors.ChartCursors[i].pixmap().toImage(), f.Cursors.FatChartCursors[i].pixmap().toImage());
  }
  // The chart shows the aim cursor at start.
  EXPECT_EQ(f.MapCanvas->cursor().pixmap().toImage(), f.Cursors.ChartCursors[ccAim].pixmap().toImage());
  EXPECT_FALSE(f.windowIcon().isNull());
  EXPECT_NE(BoatIcon().pixmap(32).toImage(), DarkIcon().pixmap(32).toImage());
}

TEST_F(PlotterWindow, APortThatCannotBeOpenedIsReported) {
  T_Form& f = Start(
      "[Program Setup]\r\nCom Port=3\r\nCom Device=/nonexistent/ttyX\r\nCom Port B=0\r\nCom Port C=0\r\n");
  EXPECT_TRUE(questions_.asked().empty());  // the ports open at the first show
  Show();
  EXPECT_EQ(Asked(), (std::vector<std::string>{"Could Not Open Communication Port 3"}));
  EXPECT_EQ(questions_.asked()[0].caption, "Brismare II");
  EXPECT_FALSE(f.StartErrors.Failed());
}

}  // namespace
