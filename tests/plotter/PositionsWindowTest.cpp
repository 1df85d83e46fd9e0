// The positions, track file and route exchange commands of the main window
// on the offscreen platform: opening positions into the ones shown, adding
// one through the position editor, saving that fails, the route's export
// number, a track file taken as a route, and a text track imported,
// shown and exported.
#include <QAction>
#include <QComboBox>
#include <QDialog>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>

#include <filesystem>
#include <string>
#include <vector>

#include "PlotterFixture.h"
#include "charts/FileNames.h"
#include "foundation/GenUtil.h"
#include "navobjects/RouteFiles.h"
#include "navobjects/Routes.h"
#include "navobjects/Trace.h"
#include "platform/FileDialogs.h"
#include "plotter/MainForm.h"
#include "plotter/PosEdit.h"

namespace {

constexpr double kDeg = M_PI / 180;

TRoutePointRec Point(const std::string& name, double latDeg, double lonDeg) {
  TRoutePointRec r;
  r.Name = name;
  r.Position = {lonDeg * kDeg, latDeg * kDeg};
  return r;
}

std::vector<std::string> Names(const TRoute& r) {
  std::vector<std::string> n;
  for (int i = 0; i < r.Count(); ++i) n.push_back(r.At(i)->Caption);
  return n;
}

class PositionsWindow : public PlotterClockTest {
 protected:
  void SetUp() override {
    PlotterClockTest::SetUp();
    previousDialogs_ = SetFileDialogs(&dialogs_);
  }
  void TearDown() override {
    SetFileDialogs(previousDialogs_);
    PlotterClockTest::TearDown();
  }
  T_Form& RunIt() {
    T_Form& f = Run(kQuietSettings);
    f.InputQuery = [this](const std::string&, const std::string&) -> std::optional<std::string> {
      if (answers_.empty()) return std::nullopt;
      std::string a = answers_.front();
      answers_.erase(answers_.begin());
      return a;
    };
    return f;
  }
  static void Trigger(T_Form& f, const char* item) {
    QAction* a = f.MenuItem(item);
    ASSERT_NE(a, nullptr) << item;
    ASSERT_TRUE(a->isEnabled()) << item;
    a->trigger();
  }

  TScriptedFileDialogs dialogs_;
  IFileDialogs* previousDialogs_ = nullptr;
  std::vector<std::string> answers_;
};

TEST_F(PositionsWindow, OpenAddsToTheShownPositionsSkippingNamesPresent) {
  T_Form& f = RunIt();
  // Every item of the positions, track and GPS menus has its command (the
  // chart menu's "&Delete Selected" follows "&Unlock").
  for (const char* menu : {"FMPositions", "FMTrack", "GPSSend", "GPSGet", "NAPositions", "RFRoute"}) {
    for (QAction* a : f.SubMenu(menu)->actions()) {
      if (a->objectName() == QLatin1String("DeleteWP")) continue;
      EXPECT_TRUE(a->isEnabled()) << menu << " " << a->objectName().toStdString();
    }
  }
  f.Positions->AddRecord(Point("Buoy", 59.5, 18.0));
  f.Positions->AddRecord(Point("Rock", 59.6, 18.1));
  f.Positions->Modified = false;
  WriteTestFile(dir_ / "more.SRW", EncodeSrw({Point("Rock", 1, 1), Point("Wreck", 59.7, 18.2)}, 45000));
  // Cancel keeps everything, even after Yes to clearing them.
  dialogs_.Cancel();
  questions_.Answer(idYes);
  Trigger(f, "WPOpen");
  EXPECT_EQ(Names(*f.Positions), (std::vector<std::string>{"Buoy", "Rock"}));
  dialogs_.Answer(dir_ / "more.SRW");
  questions_.Answer(idNo);  // "Clear All Positions?"
  Trigger(f, "WPOpen");
  EXPECT_EQ(Names(*f.Positions), (std::vector<std::string>{"Buoy", "Rock", "Wreck"}));
  EXPECT_NEAR(f.Positions->FindByName("Rock")->Position.Y, 59.6 * kDeg, 1e-9);
  EXPECT_EQ(Asked(), (std::vector<std::string>{"Clear All Positions?", "Clear All Positions?"}));
  EXPECT_EQ(f.SysInfo.CurWayPointDir, dir_.path());
  // Yes empties them first.
  dialogs_.Answer(dir_ / "more.SRW");
  f.Positions->Modified = false;
  questions_.Answer(idYes);
  Trigger(f, "WPOpen");
  EXPECT_EQ(Names(*f.Positions), (std::vector<std::string>{"Rock", "Wreck"}));
}

TEST_F(PositionsWindow, AddingAPositionTrimsItsNameBeforeTheChecks) {
  T_Form& f = RunIt();
  f.Positions->AddRecord(Point("Buoy", 59.5, 18.0));
  f.Positions->Modified = false;
  // The editor answers with the entries of each round.
  std::vector<std::string> names = {" Buoy ", "   "};
  int rounds = 0;
  f.RunDialog = [&](QDialog& d) {
    auto* name = d.findChild<QLineEdit*>(QStringLiteral("WPText"));
    if (!name || rounds >= static_cast<int>(names.size())) return int(QDialog::Rejected);
    if (rounds == 0) {
      d.findChild<TPosEdit*>(QStringLiteral("WPLat"))->SetMaskText("05936000N");
      d.findChild<TPosEdit*>(QStringLiteral("WPLong"))->SetMaskText("01806000E");
      d.findChild<QPlainTextEdit*>(QStringLiteral("WPComment"))->setPlainText(QStringLiteral("  red  "));
    }
    name->setText(QString::fromStdString(names[rounds++]));
    return int(QDialog::Accepted);
  };
  f.PositionCommands().AddPosition({18 * kDeg, 59 * kDeg});
  // " Buoy " is "Buoy": refused with the notice, the editor again (keeping
  // the entries), where blanks end it without adding.
  EXPECT_EQ(rounds, 2);
  EXPECT_EQ(Asked(), std::vector<std::string>{"Buoy is in use."});
  EXPECT_EQ(Names(*f.Positions), std::vector<std::string>{"Buoy"});
  EXPECT_FALSE(f.Positions->Modified);

  names = {" Skerry "};
  rounds = 0;
  f.PositionCommands().AddPosition({18 * kDeg, 59 * kDeg});
  ASSERT_EQ(Names(*f.Positions), (std::vector<std::string>{"Buoy", "Skerry"}));
  const TNavShape* s = f.Positions->FindByName("Skerry");
  EXPECT_EQ(s->Comment, "red");
  EXPECT_NEAR(s->Position.Y, 59.6 * kDeg, 1e-9);
  EXPECT_NEAR(s->Position.X, 18.1 * kDeg, 1e-9);
  EXPECT_TRUE(f.Positions->Modified);
  EXPECT_TRUE(s->Selected);
}

TEST_F(PositionsWindow, AFailedSaveKeepsTheChangedMarkAndTheOldName) {
  T_Form& f = RunIt();
  f.Positions->AddRecord(Point("Buoy", 59.5, 18.0));
  f.Positions->Modified = true;
  dialogs_.Answer(dir_ / "no such dir/pos.SRW");
  Trigger(f, "WPSaveAs");
  EXPECT_TRUE(f.Positions->Modified);
  EXPECT_TRUE(f.Positions->FileName.empty());
  ASSERT_EQ(Asked().size(), 1u);
  EXPECT_NE(Asked()[0].find("could not be saved"), std::string::npos);
  dialogs_.Answer(dir_ / "pos.SRW");
  Trigger(f, "WPSaveAs");
  EXPECT_FALSE(f.Positions->Modified);
  EXPECT_EQ(f.Positions->FileName, dir_ / "pos.SRW");
  EXPECT_EQ(ReadSrw(ReadTestFile(dir_ / "pos.SRW")).points.size(), 1u);
  // "Save" goes to that file.
  f.Positions->AddRecord(Point("Rock", 59.6, 18.1));
  f.Positions->Modified = true;
  Trigger(f, "WPSave");
  EXPECT_EQ(ReadSrw(ReadTestFile(dir_ / "pos.SRW")).points.size(), 2u);
}

TEST_F(PositionsWindow, PositionsExportAndImportInBothFormats) {
  T_Form& f = RunIt();
  f.Positions->AddRecord(Point("Buoy", 59.5, 18.0));
  f.Positions->AddRecord(Point("Rock", 59.6, 18.1));
  for (const char* file : {"pos.G7T", "pos.TXT"}) {
    SCOPED_TRACE(file);
    dialogs_.Answer(dir_ / file);
    Trigger(f, "WPExport");
    ASSERT_TRUE(TestFileExists(dir_ / file));
    EXPECT_EQ(f.SysInfo.WPPDir, dir_.path());
  }
  EXPECT_EQ(ReadTestFile(dir_ / "pos.G7T").rfind("Version", 0), 0u);
  f.Positions->Modified = false;
  for (const char* file : {"pos.G7T", "pos.TXT"}) {
    SCOPED_TRACE(file);
    dialogs_.Answer(dir_ / file);
    questions_.Answer(idYes);  // "Clear All Positions?"
    Trigger(f, "WPImport");
    // Names as a receiver takes them ("AP Capability" 0).
    EXPECT_EQ(Names(*f.Positions), (std::vector<std::string>{"BUOY", "ROCK"}));
    f.Positions->Modified = false;
  }
}

TEST_F(PositionsWindow, RouteExportTakesOnlyNumbersFrom0To99) {
  T_Form& f = RunIt();
  f.Route->AddRecord(Point("Out", 59.5, 18.0));
  f.Route->AddRecord(Point("In", 59.6, 18.1));
  for (const char* answer : {"100", "abc", "-1"}) {
    dialogs_.Answer(dir_ / "r.G7T");
    answers_ = {answer};
    Trigger(f, "RFExport");
    EXPECT_FALSE(TestFileExists(dir_ / "r.G7T")) << answer;
  }
  EXPECT_TRUE(Asked().empty());
  dialogs_.Answer(dir_ / "r.G7T");
  answers_ = {"7"};
  Trigger(f, "RFExport");
  const std::string g7t = ReadTestFile(dir_ / "r.G7T");
  EXPECT_NE(g7t.find("\r\nR  07 "), std::string::npos);
  EXPECT_NE(g7t.find("\r\nE  07"), std::string::npos);
  // And back in: one route, no list to choose from.
  f.Route->Modified = false;
  dialogs_.Answer(dir_ / "r.G7T");
  questions_.Answer(idYes);  // "Clear old route?"
  Trigger(f, "RFImport");
  EXPECT_EQ(Names(*f.Route), (std::vector<std::string>{"OUT", "IN"}));
}

// A file of another datum is taken only when the user says so; No, or a
// file that cannot be read, leaves the list as it was, also after Yes to
// clearing it.
TEST_F(PositionsWindow, ImportsAskAboutAnotherDatumAndClearOnlyWhatTheyReplace) {
  T_Form& f = RunIt();
  f.Route->AddRecord(Point("OLD1", 59.5, 18.0));
  f.Route->AddRecord(Point("OLD2", 59.6, 18.1));
  f.Route->Modified = false;
  std::string text = EncodeWpText({Point("NEW1", 59.7, 18.2), Point("NEW2", 59.8, 18.3)}, 1, "trip", {});
  ASSERT_EQ(text.rfind("Datum,WGS84,", 0), 0u);
  text.replace(0, 11, "Datum,European 1950");
  WriteTestFile(dir_ / "ed50.TXT", text);
  // Yes to clearing, No to the datum: the old route stays.
  dialogs_.Answer(dir_ / "ed50.TXT");
  questions_.Answer(idYes);
  questions_.Answer(idNo);
  Trigger(f, "RFImport");
  EXPECT_EQ(Asked(), (std::vector<std::string>{"Clear old route?", "Not WGS84 Datum. Continue?"}));
  EXPECT_EQ(Names(*f.Route), (std::vector<std::string>{"OLD1", "OLD2"}));
  // Yes and Yes: the file's route in place of the old one.
  questions_.Clear();
  dialogs_.Answer(dir_ / "ed50.TXT");
  questions_.Answer(idYes);
  questions_.Answer(idYes);
  Trigger(f, "RFImport");
  EXPECT_EQ(Names(*f.Route), (std::vector<std::string>{"NEW1", "NEW2"}));

  // A G7T file without its datum line is asked about the same way.
  f.Positions->AddRecord(Point("KEEP", 59.5, 18.0));
  f.Positions->Modified = false;
  std::string g7t = EncodeG7t({Point("BUOY", 59.6, 18.1)}, -1, "", {});
  const size_t d = g7t.find("\r\nD ");
  ASSERT_NE(d, std::string::npos);
  g7t.erase(d, g7t.find("\r\n", d + 2) - d);
  WriteTestFile(dir_ / "nodatum.G7T", g7t);
  questions_.Clear();
  dialogs_.Answer(dir_ / "nodatum.G7T");
  questions_.Answer(idYes);  // "Clear All Positions?"
  questions_.Answer(idNo);   // the datum
  Trigger(f, "WPImport");
  EXPECT_EQ(Asked(), (std::vector<std::string>{"Clear All Positions?", "Not WGS84 Datum. Continue?"}));
  EXPECT_EQ(Names(*f.Positions), std::vector<std::string>{"KEEP"});
  dialogs_.Answer(dir_ / "nodatum.G7T");
  questions_.Answer(idYes);
  questions_.Answer(idYes);
  Trigger(f, "WPImport");
  EXPECT_EQ(Names(*f.Positions), std::vector<std::string>{"BUOY"});
}

// "E&xport" to a place that cannot be written says so; "Save &As" offers
// the file's name (not its whole path) in its folder; "&Delete Selected"
// leaves no entry chosen in the positions box.
TEST_F(PositionsWindow, ExportFailureSaveAsNameAndDeleteSelected) {
  T_Form& f = RunIt();
  f.Positions->AddRecord(Point("Buoy", 59.5, 18.0));
  f.Positions->AddRecord(Point("Rock", 59.6, 18.1));
  dialogs_.Answer(dir_ / "no such dir/pos.TXT");
  Trigger(f, "WPExport");
  ASSERT_EQ(Asked().size(), 1u);
  EXPECT_NE(Asked()[0].find("could not be exported"), std::string::npos) << Asked()[0];

  dialogs_.Answer(dir_ / "pos.SRW");
  Trigger(f, "WPSaveAs");
  dialogs_.Cancel();
  Trigger(f, "WPSaveAs");
  ASSERT_EQ(dialogs_.requests().size(), 3u);
  EXPECT_EQ(dialogs_.requests().back().options.fileName, "pos.SRW");
  EXPECT_EQ(dialogs_.requests().back().options.initialDir, DirectoryOf(dir_ / "pos.SRW"));

  f.PositionCommands().FillPositionList();
  auto* list = f.DB->findChild<QComboBox*>(QStringLiteral("DBC_RTAddWP"));
  list->setCurrentIndex(list->findText("Rock"));
  f.MenuItem("WPUnlock")->trigger();
  f.Positions->FindByName("Buoy")->Selected = true;
  Trigger(f, "WPDeleteSelected");
  EXPECT_EQ(Names(*f.Positions), std::vector<std::string>{"Rock"});
  EXPECT_EQ(list->currentIndex(), -1);
}

// "&Add ": a half-typed field or a latitude beyond 90 degrees is refused as
// the position editor refuses it, and the editor opens again.
TEST_F(PositionsWindow, AddingAPositionRefusesHalfTypedOrOutOfRangeFields) {
  T_Form& f = RunIt();
  const std::vector<std::string> lats = {"0593", "09500000N", "05936000N"};
  int rounds = 0;
  f.RunDialog = [&](QDialog& d) {
    auto* name = d.findChild<QLineEdit*>(QStringLiteral("WPText"));
    if (!name || rounds >= static_cast<int>(lats.size())) return int(QDialog::Rejected);
    d.findChild<TPosEdit*>(QStringLiteral("WPLat"))->SetMaskText(lats[static_cast<size_t>(rounds++)]);
    name->setText(QStringLiteral("Skerry"));
    return int(QDialog::Accepted);
  };
  f.PositionCommands().AddPosition({18 * kDeg, 59 * kDeg});
  EXPECT_EQ(rounds, 3);
  EXPECT_EQ(Asked(), std::vector<std::string>(2, "The position is not complete."));
  ASSERT_EQ(Names(*f.Positions), std::vector<std::string>{"Skerry"});
  EXPECT_NEAR(f.Positions->At(0)->Position.Y, 59.6 * kDeg, 1e-9);
}

TEST_F(PositionsWindow, ImportTrackAsRouteTakesWholeRecords) {
  T_Form& f = RunIt();
  std::string bytes;
  for (int i = 0; i < 16; ++i) {
    TTrcRecord r;
    r.Pos = {59 * 60000 + i * 100, 18 * 60000};
    r.SOG = i == 3 ? 0 : 6.5;
    bytes += EncodeTrcRecord(r);
  }
  bytes += std::string(29, '\x01');
  ASSERT_EQ(bytes.size(), 509u);
  WriteTestFile(dir_ / "day.TRC", bytes);
  dialogs_.Answer(dir_ / "day.TRC");
  Trigger(f, "RFImportTrack");
  ASSERT_EQ(f.Route->Count(), 16);
  for (int i = 0; i < 16; ++i) {
    EXPECT_TRUE(f.Route->At(i)->Caption.empty());
    EXPECT_DOUBLE_EQ(f.Route->RecordOf(*f.Route->At(i)).LegSpeed, i == 3 ? 0.1 : 6.5);
  }
  EXPECT_TRUE(f.Route->Modified);
  // A file that is no track adds nothing.
  WriteTestFile(dir_ / "bad.TRC", std::string(60, '\x7f'));
  dialogs_.Answer(dir_ / "bad.TRC");
  questions_.Answer(idNo);  // "Route is not saved! Continue?"
  Trigger(f, "RFImportTrack");
  EXPECT_EQ(f.Route->Count(), 16);
}

TEST_F(PositionsWindow, TextTrackImportedShownAndExported) {
  T_Form& f = RunIt();
  std::filesystem::create_directories(f.SysInfo.TrackDir);
  WriteTestFile(dir_ / "trip.txt",
                "Datum,WGS84\nTP,D,59.5,18.0,06/15/2024,12:30:00,1\nTP,D,59.6,18.1,06/15/2024,12:31:00,0\n");
  dialogs_.Answer(dir_ / "trip.txt");
  dialogs_.Answer(f.SysInfo.TrackDir + "/trip.TRC");
  Trigger(f, "TrkImport");
  // The target is proposed inside the track directory.
  ASSERT_EQ(dialogs_.requests().size(), 2u);
  EXPECT_EQ(dialogs_.requests()[1].options.fileName, f.SysInfo.TrackDir + "/trip.TRC");
  EXPECT_TRUE(f.Trace->Viewing());
  EXPECT_TRUE(f.MenuItem("OpenOld1")->isChecked());
  EXPECT_EQ(ReadTestFile(f.SysInfo.TrackDir + "/trip.TRC").size(), 2 * kTrcRecordSize);

  dialogs_.Answer(dir_ / "out.TXT");
  Trigger(f, "TrkExportText");
  EXPECT_EQ(ReadTestFile(dir_ / "out.TXT"),
            "2024-06-15,12:30:00, 59.50000,18.00000, 0.0,0.0\r\n2024-06-15,12:31:00, 59.60000,18.10000, 0.0,0.0\r\n");

  // "Open Old" cancelled closes the shown track; chosen, shows it again.
  dialogs_.Cancel();
  Trigger(f, "OpenOld1");
  EXPECT_FALSE(f.Trace->Viewing());
  EXPECT_FALSE(f.MenuItem("OpenOld1")->isChecked());
  dialogs_.Answer(f.SysInfo.TrackDir + "/trip.TRC");
  Trigger(f, "OpenOld1");
  EXPECT_TRUE(f.Trace->Viewing());
  EXPECT_TRUE(f.MenuItem("OpenOld1")->isChecked());
  EXPECT_EQ(f.DBI_TRACE->text(), "trip");

  // Not while a track is being recorded.
  f.Trace->Start();
  ASSERT_TRUE(f.Trace->Active());
  questions_.Clear();
  dialogs_.Answer(f.SysInfo.TrackDir + "/trip.TRC");
  Trigger(f, "OpenOld1");
  Trigger(f, "TrkImport");
  EXPECT_EQ(Asked(), std::vector<std::string>(2, "Tracking is active. Deactivate to do this"));
  EXPECT_TRUE(f.Trace->Active());
  EXPECT_FALSE(f.MenuItem("OpenOld1")->isChecked());
  f.Trace->Stop();
}

}  // namespace
