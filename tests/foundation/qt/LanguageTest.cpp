#include <QAction>
#include <QButtonGroup>
#include <QComboBox>
#include <QEvent>
#include <QGroupBox>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QWidget>

#include <memory>

#include "QtPrint.h"
#include "TestSupport.h"
#include "foundation/IniFile.h"
#include "foundation/qt/Language.h"
#include "platform/Questions.h"

namespace {

// A small settings window with one object of every kind the pass knows.
struct TForm {
  std::unique_ptr<QWidget> form;
  QLabel* name;
  QLabel* speed;
  QLabel* twoLines;
  QPushButton* ok;
  QComboBox* dir;
  QGroupBox* units;
  QRadioButton* metres;
  QRadioButton* feet;
  QButtonGroup* modes;
  QRadioButton* day;
  QRadioButton* night;
  QListWidget* list;
  QPlainTextEdit* memo;
  QTabWidget* tabs;
  QWidget* page;
  QMenu* file;
  QAction* open;
  QAction* quit;
  QObject* openDialog;
  QLabel* data;     // tag 1
  QComboBox* ports;  // tag 1
  QLabel* fixed;    // tag 3
};

template <class T>
T* Named(QObject* parent, const char* name) {
  auto* o = new T(qobject_cast<QWidget*>(parent));
  o->setObjectName(QString::fromLatin1(name));
  return o;
}

TForm MakeForm() {
  TForm f;
  f.form = std::make_unique<QWidget>();
  QWidget* w = f.form.get();
  w->setObjectName("SetupFrm");
  w->setWindowTitle("Settings");
  w->setToolTip("Program settings");

  f.name = Named<QLabel>(w, "LblName");
  f.name->setText("Chart name");
  f.speed = Named<QLabel>(w, "LblSpeed");
  f.speed->setText(" Speed");
  f.twoLines = Named<QLabel>(w, "LblTwo");
  f.twoLines->setText("First\nSecond");
  f.ok = Named<QPushButton>(w, "BtnOk");
  f.ok->setText("&OK");
  f.ok->setToolTip("Close the dialog");

  f.dir = Named<QComboBox>(w, "CbDir");
  f.dir->addItems({"North", "1", "-", "South"});

  f.units = Named<QGroupBox>(w, "RgUnits");
  f.units->setTitle("Units");
  f.metres = Named<QRadioButton>(f.units, "RbMetres");
  f.metres->setText("Metres");
  f.feet = new QRadioButton("Feet", f.units);

  f.day = Named<QRadioButton>(w, "RbDay");
  f.day->setText("Day");
  f.night = Named<QRadioButton>(w, "RbNight");
  f.night->setText("Night");
  f.modes = new QButtonGroup(w);  // made after its buttons
  f.modes->setObjectName("RgMode");
  f.modes->addButton(f.day);
  f.modes->addButton(f.night);

  f.list = Named<QListWidget>(w, "LbKinds");
  f.list->addItems({"Buoy", "Wreck"});

  f.memo = Named<QPlainTextEdit>(w, "MemoHelp");
  f.memo->setPlainText("First line\nx\nSecond line");

  f.tabs = Named<QTabWidget>(w, "Pages");
  f.page = new QWidget;
  f.page->setObjectName("TabPorts");
  f.tabs->addTab(f.page, "Ports");

  auto* bar = Named<QMenuBar>(w, "MainMenu");
  f.file = bar->addMenu("&File");
  f.file->setObjectName("MFile");
  f.open = f.file->addAction("&Open...");
  f.open->setObjectName("MOpen");
  f.open->setToolTip("Open a chart");
  f.quit = f.file->addAction("E&xit");
  f.quit->setObjectName("MExit");

  f.openDialog = new QObject(w);
  f.openDialog->setObjectName("OD");
  f.openDialog->setProperty("title", "Open Chart");

  f.data = Named<QLabel>(w, "LblData");
  f.data->setText("Data value");
  f.data->setToolTip("Shows data");
  f.data->setProperty("tag", 1);
  f.ports = Named<QComboBox>(w, "CbPorts");
  f.ports->addItems({"Serial", "Network"});
  f.ports->setToolTip("Pick a port");
  f.ports->setProperty("tag", 1);
  f.fixed = Named<QLabel>(w, "LblFixed");
  f.fixed->setText("Fixed text");
  f.fixed->setToolTip("Fixed hint");
  f.fixed->setProperty("tag", 3);
  return f;
}

// Every text of the form, for comparisons.
QStringList Texts(const TForm& f) {
  QStringList t{f.form->windowTitle(), f.form->toolTip(),   f.name->text(),   f.speed->text(),
                f.twoLines->text(),    f.ok->text(),        f.ok->toolTip(),  f.units->title(),
                f.metres->text(),      f.feet->text(),      f.day->text(),    f.night->text(),
                f.memo->toPlainText(), f.tabs->tabText(0),  f.file->title(),  f.open->text(),
                f.open->toolTip(),     f.quit->text(),      f.quit->toolTip(), f.openDialog->property("title").toString(),
                f.data->text(),        f.data->toolTip(),   f.ports->toolTip(), f.fixed->text(),
                f.fixed->toolTip()};
  for (int i = 0; i < f.dir->count(); ++i) t << f.dir->itemText(i);
  for (int i = 0; i < f.ports->count(); ++i) t << f.ports->itemText(i);
  for (int i = 0; i < f.list->count(); ++i) t << f.list->item(i)->text();
  return t;
}

std::string Value(const std::string& path, const std::string& key) {
  TIniFile ini(path);
  return ini.ReadString(kLanguageSection, key, "<missing>");
}

bool HasKey(const std::string& path, const std::string& key) {
  return TIniFile(path).ValueExists(kLanguageSection, key);
}

TEST(Language, SavedFileHoldsTheTextsTheRulesAllow) {
  TTempDir dir;
  const std::string path = dir / "english.lng";
  TForm f = MakeForm();
  TLanguage language(kLanguageSection);
  ASSERT_TRUE(language.Translate(f.form.get(), path, true));
  EXPECT_EQ(language.FileName(), path);

  struct Expect {
    const char* key;
    const char* value;
  };
  const Expect present[] = {
      {"SetupFrm.SetupFrm.Caption", "Settings"},
      {"SetupFrm.SetupFrm.Hint", "Program settings"},
      {"SetupFrm.LblName.Caption", "Chart name"},
      {"SetupFrm.LblSpeed.Caption", " Speed"},
      {"SetupFrm.BtnOk.Caption", "&OK"},
      {"SetupFrm.BtnOk.Hint", "Close the dialog"},
      {"SetupFrm.CbDir.Items.0", "North"},
      {"SetupFrm.CbDir.Items.3", "South"},
      {"SetupFrm.RgUnits.Caption", "Units"},
      {"SetupFrm.RgUnits.Items.0", "Metres"},
      {"SetupFrm.RgUnits.Items.1", "Feet"},
      {"SetupFrm.RgMode.Items.0", "Day"},
      {"SetupFrm.RgMode.Items.1", "Night"},
      {"SetupFrm.LbKinds.Items.1", "Wreck"},
      {"SetupFrm.MemoHelp.Lines.0", "First line"},
      {"SetupFrm.MemoHelp.Lines.2", "Second line"},
      {"SetupFrm.TabPorts.Caption", "Ports"},
      {"SetupFrm.MFile.Caption", "&File"},
      {"SetupFrm.MOpen.Caption", "&Open..."},
      {"SetupFrm.MOpen.Hint", "Open a chart"},
      {"SetupFrm.MExit.Caption", "E&xit"},
      {"SetupFrm.OD.Title", "Open Chart"},
      {"SetupFrm.LblData.Hint", "Shows data"},
      {"SetupFrm.CbPorts.Hint", "Pick a port"},
  };
  for (const Expect& e : present) EXPECT_EQ(Value(path, e.key), e.value) << e.key;

  const char* absent[] = {
      "SetupFrm.CbDir.Items.1",     "SetupFrm.CbDir.Items.2",    // "1" and "-"
      "SetupFrm.MemoHelp.Lines.1",                               // one character
      "SetupFrm.LblTwo.Caption",                                 // two lines
      "SetupFrm.RbMetres.Caption",  "SetupFrm.RbDay.Caption",    // items of their groups
      "SetupFrm.MExit.Hint",                                     // Qt's own tool tip
      "SetupFrm.LblData.Caption",   "SetupFrm.CbPorts.Items.0",  // tag 1
      "SetupFrm.LblFixed.Caption",  "SetupFrm.LblFixed.Hint",    // tag 3
      "SetupFrm.RgUnits.Title",     "SetupFrm.MFile.Title",      // built-in titles are captions
  };
  for (const char* key : absent) EXPECT_FALSE(HasKey(path, key)) << key;

  // The leading blank survives in the file as a quoted value.
  EXPECT_NE(ReadTestFile(path).find("SetupFrm.LblSpeed.Caption=\" Speed\""), std::string::npos);
}

TEST(Language, SaveThenLoadRestoresEveryText) {
  TTempDir dir;
  const std::string path = dir / "english.lng";
  TForm original = MakeForm();
  ASSERT_TRUE(TLanguage(kLanguageSection).Translate(original.form.get(), path, true));

  // A fresh form whose texts were changed since: loading brings back the
  // saved ones, the leading blank included.
  TForm fresh = MakeForm();
  fresh.speed->setText("Speed");
  fresh.name->setText("Other name");
  fresh.dir->setItemText(3, "Sud");
  fresh.feet->setText("Fuss");
  fresh.memo->setPlainText("First line\nx\nChanged");
  fresh.open->setText("&Load");
  TLanguage(kLanguageSection).Translate(fresh.form.get(), path, false);
  EXPECT_EQ(Texts(fresh), Texts(original));
  EXPECT_EQ(fresh.speed->text(), " Speed");
}

TEST(Language, HandWrittenFileTranslates) {
  TTempDir dir;
  const std::string path = dir / "svenska.lng";
  // Windows-1252 bytes, as language files for the classic program are.
  WriteTestFile(path,
                "[Other]\r\n"
                "SetupFrm.LblName.Caption=Wrong section\r\n"
                "[Text_2]\r\n"
                "SetupFrm.SetupFrm.Caption=Inst\xe4llningar\r\n"
                "SetupFrm.LblName.Caption=Sj\xf6kortsnamn\r\n"
                "setupfrm.lblspeed.caption=\" Fart\"\r\n"
                "SetupFrm.BtnOk.Caption=\r\n"
                "SetupFrm.BtnOk.Hint=St\xe4ng\r\n"
                "SetupFrm.CbDir.Items.0=Norr\r\n"
                "SetupFrm.CbDir.Items.1=Ett\r\n"
                "SetupFrm.CbDir.Items.2=Streck\r\n"
                "SetupFrm.CbDir.Items.3=S\xf6""der\r\n"
                "SetupFrm.CbDir.Items.9=Out of range\r\n"
                "SetupFrm.RgUnits.Caption=Enheter\r\n"
                "SetupFrm.RgUnits.Items.1=Fot\r\n"
                "SetupFrm.RbMetres.Caption=Not as a button\r\n"
                "SetupFrm.RgMode.Items.0=Dag\r\n"
                "SetupFrm.MemoHelp.Lines.1=Never\r\n"
                "SetupFrm.MemoHelp.Lines.2=Andra raden\r\n"
                "SetupFrm.MFile.Caption=&Arkiv\r\n"
                "SetupFrm.MOpen.Caption=&\xd6ppna...\r\n"
                "SetupFrm.MExit.Hint=Avsluta\r\n"
                "SetupFrm.TabPorts.Caption=Portar\r\n"
                "SetupFrm.OD.Title=\xd6ppna sj\xf6kort\r\n"
                "SetupFrm.LblData.Caption=Never\r\n"
                "SetupFrm.LblData.Hint=Visar data\r\n"
                "SetupFrm.CbPorts.Items.0=Never\r\n"
                "SetupFrm.LblFixed.Caption=Never\r\n"
                "SetupFrm.LblFixed.Hint=Never\r\n"
                "OtherFrm.LblName.Caption=Other form\r\n");
  TForm f = MakeForm();
  TLanguage(kLanguageSection).Translate(f.form.get(), path, false);

  EXPECT_EQ(f.form->windowTitle(), QString::fromUtf8("Inställningar"));
  EXPECT_EQ(f.name->text(), QString::fromUtf8("Sjökortsnamn"));
  EXPECT_EQ(f.speed->text(), " Fart");
  EXPECT_EQ(f.ok->text(), "&OK");  // an empty value changes nothing
  EXPECT_EQ(f.ok->toolTip(), QString::fromUtf8("Stäng"));
  EXPECT_EQ(f.dir->itemText(0), "Norr");
  EXPECT_EQ(f.dir->itemText(1), "1");
  EXPECT_EQ(f.dir->itemText(2), "-");
  EXPECT_EQ(f.dir->itemText(3), QString::fromUtf8("Söder"));
  EXPECT_EQ(f.dir->count(), 4);
  EXPECT_EQ(f.units->title(), "Enheter");
  EXPECT_EQ(f.metres->text(), "Metres");
  EXPECT_EQ(f.feet->text(), "Fot");
  EXPECT_EQ(f.day->text(), "Dag");
  EXPECT_EQ(f.memo->toPlainText(), "First line\nx\nAndra raden");
  EXPECT_EQ(f.file->title(), "&Arkiv");
  EXPECT_EQ(f.open->text(), QString::fromUtf8("&Öppna..."));
  EXPECT_EQ(f.quit->toolTip(), "Exit");  // it had no hint of its own to translate
  EXPECT_EQ(f.tabs->tabText(0), "Portar");
  EXPECT_EQ(f.openDialog->property("title").toString(), QString::fromUtf8("Öppna sjökort"));
  // Tag 1: caption and items stay, the hint is translated; tag 3: all stays.
  EXPECT_EQ(f.data->text(), "Data value");
  EXPECT_EQ(f.data->toolTip(), "Visar data");
  EXPECT_EQ(f.ports->itemText(0), "Serial");
  EXPECT_EQ(f.fixed->text(), "Fixed text");
  EXPECT_EQ(f.fixed->toolTip(), "Fixed hint");
}

// An object that rebuilds its named part whenever its title changes, as
// composite widgets rebuild their helpers when given a text.
class TRebuildingOwner : public QWidget {
 public:
  explicit TRebuildingOwner(QWidget* parent) : QWidget(parent) {
    setObjectName("Owner");
    setProperty("title", "Owner title");
    Rebuild();
  }
  QLabel* part = nullptr;
  int rebuilds = 0;

 protected:
  bool event(QEvent* e) override {
    if (e->type() == QEvent::DynamicPropertyChange && part) {
      ++rebuilds;
      Rebuild();
    }
    return QWidget::event(e);
  }

 private:
  void Rebuild() {
    delete part;
    part = new QLabel("Part text", this);
    part->setObjectName("LblPart");
  }
};

TEST(Language, ObjectsDeletedByAnEarlierTextAreSkipped) {
  TTempDir dir;
  const std::string path = dir / "svenska.lng";
  WriteTestFile(path,
                "[Text_2]\r\n"
                "Form.Owner.Title=Agare\r\n"
                "Form.LblPart.Caption=Del\r\n"
                "Form.MemoA.Lines.0=Forsta\r\n"
                "Form.MemoB.Lines.0=Andra\r\n"
                "Form.LblLast.Caption=Sista\r\n");
  QWidget form;
  form.setObjectName("Form");
  auto* owner = new TRebuildingOwner(&form);
  // A text edit given new lines replaces parts of its document that the
  // pass collected beforehand.
  auto* memoA = Named<QPlainTextEdit>(&form, "MemoA");
  memoA->setPlainText("First\nSecond");
  auto* memoB = Named<QPlainTextEdit>(&form, "MemoB");
  memoB->setPlainText("Other\nLines");
  auto* last = Named<QLabel>(&form, "LblLast");
  last->setText("Last");

  TLanguage(kLanguageSection).Translate(&form, path, false);

  EXPECT_EQ(owner->property("title").toString(), "Agare");
  EXPECT_EQ(owner->rebuilds, 1);
  EXPECT_EQ(owner->part->text(), "Part text");  // made during the pass, not in it
  EXPECT_EQ(memoA->toPlainText(), "Forsta\nSecond");
  EXPECT_EQ(memoB->toPlainText(), "Andra\nLines");
  EXPECT_EQ(last->text(), "Sista");  // the pass went on to the end
}

TEST(Language, MissingFileChangesNothing) {
  TTempDir dir;
  const std::string path = dir / "absent.lng";
  TForm f = MakeForm();
  const QStringList before = Texts(f);
  EXPECT_TRUE(TLanguage(kLanguageSection).Translate(f.form.get(), path, false));
  EXPECT_EQ(Texts(f), before);
  EXPECT_FALSE(TestFileExists(path));
}

// The "LanguageFile" setting as the setup dialog hands it over.
class LanguageSetting : public ::testing::Test {
 protected:
  void SetUp() override { previous_ = SetUserQuestions(&questions_); }
  void TearDown() override { SetUserQuestions(previous_); }
  TScriptedQuestions questions_;
  IUserQuestions* previous_ = nullptr;
  TTempDir dir_;
  TForm form_ = MakeForm();
  std::vector<QWidget*> forms() { return {form_.form.get()}; }
};

TEST_F(LanguageSetting, SaveToNewFileAsksNothing) {
  const std::string path = dir_ / "new.lng";
  std::string setting = "sAvE:" + path;
  EXPECT_EQ(ApplyLanguageSetting(forms(), setting), TLanguageResult::Saved);
  EXPECT_EQ(setting, path);
  EXPECT_TRUE(questions_.asked().empty());
  EXPECT_EQ(Value(path, "SetupFrm.LblName.Caption"), "Chart name");
}

TEST_F(LanguageSetting, ExistingFileIsOverwrittenOnlyOnYes) {
  const std::string path = dir_ / "old.lng";
  const std::string old = "[Text_2]\r\nSetupFrm.LblName.Caption=Kortnamn\r\n";
  WriteTestFile(path, old);

  std::string setting = "SAVE:" + path;
  questions_.Answer(idNo);
  EXPECT_EQ(ApplyLanguageSetting(forms(), setting), TLanguageResult::Declined);
  EXPECT_EQ(setting, path);
  EXPECT_EQ(ReadTestFile(path), old);
  ASSERT_EQ(questions_.asked().size(), 1u);
  EXPECT_EQ(questions_.asked()[0].text, path + " Exists! Overwrite?");
  EXPECT_EQ(questions_.asked()[0].caption, "Brismare II");
  EXPECT_EQ(questions_.asked()[0].flags, unsigned(mfYesNo | mfIconQuestion));

  setting = "SAVE:" + path;
  questions_.Answer(idYes);
  EXPECT_EQ(ApplyLanguageSetting(forms(), setting), TLanguageResult::Saved);
  EXPECT_EQ(setting, path);
  EXPECT_EQ(Value(path, "SetupFrm.LblName.Caption"), "Chart name");
  EXPECT_EQ(Value(path, "SetupFrm.CbDir.Items.3"), "South");
}

TEST_F(LanguageSetting, OtherValuesTranslateOrDoNothing) {
  const std::string path = dir_ / "fr.lng";
  WriteTestFile(path, "[Text_2]\nSetupFrm.LblName.Caption=Nom de la carte\n");
  std::string setting;
  EXPECT_EQ(ApplyLanguageSetting(forms(), setting), TLanguageResult::Nothing);
  setting = "SAVE:";
  EXPECT_EQ(ApplyLanguageSetting(forms(), setting), TLanguageResult::Nothing);
  EXPECT_EQ(setting, "");

  setting = path;
  EXPECT_EQ(ApplyLanguageSetting(forms(), setting), TLanguageResult::Loaded);
  EXPECT_EQ(setting, path);
  EXPECT_EQ(form_.name->text(), "Nom de la carte");
  EXPECT_TRUE(questions_.asked().empty());
}

TEST_F(LanguageSetting, UnwritableFileIsReported) {
  const std::string path = dir_ / "no-such-dir/out.lng";
  std::string setting = "SAVE:" + path;
  EXPECT_EQ(ApplyLanguageSetting(forms(), setting), TLanguageResult::WriteFailed);
  ASSERT_EQ(questions_.asked().size(), 1u);
  EXPECT_EQ(questions_.asked()[0].text, "Unable to write to " + path);
  EXPECT_EQ(questions_.asked()[0].flags & mfIconMask, unsigned(mfIconError));

  TLanguage language(kLanguageSection);
  EXPECT_FALSE(language.Translate(form_.form.get(), path, true));
  EXPECT_EQ(language.LastError(), "Unable to write to " + path);
}

}  // namespace
