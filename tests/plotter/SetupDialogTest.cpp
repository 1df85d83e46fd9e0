// The setup dialog: what its controls show, what "Save" and "Cancel" do to
// the settings and the file, and the position entry fields.
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QTimer>
#include <QToolButton>

#include <functional>

#include "PlotterFixture.h"
#include "foundation/IniFile.h"
#include "navobjects/LogBook.h"
#include "navobjects/NavCtrls.h"
#include "platform/FileDialogs.h"
#include "plotter/PosEdit.h"
#include "plotter/settings/Setup1.h"
#include "plotter/core/SetupKeys.h"

namespace {

class SetupDialog : public PlotterTest {
 protected:
  TSetupFrm& Dialog() { return *program_->Forms().SetupFrm; }

  // Runs "&Properties"; `act` works the dialog while it is on screen and
  // must close it.
  void RunProperties(T_Form& f, std::function<void(TSetupFrm&)> act) {
    bool ran = false;
    QTimer::singleShot(0, &f, [&] {
      ran = true;
      ASSERT_TRUE(Dialog().isVisible());
      act(Dialog());
      if (Dialog().isVisible()) Dialog().reject();
    });
    f.MenuItem("MParameters")->trigger();
    EXPECT_TRUE(ran);
  }
};

TEST_F(SetupDialog, ControlsShowTheSettingsInTheUnitsOfTheDialog) {
  T_Form& f = Start(std::string(kQuietSettings) +
                    "Route Force=7.853353365705226E-6\r\nAIS TCPA Max=0.010416666666666666\r\n"
                    "Default XTE=0.00001454441043328608\r\nTrack CompDev=0.08726646259971647\r\n"
                    "BaudRateId B=12\r\nAIS Labels=2\r\nAuto Loggbook=5\r\nAutoP Msg=32\r\n"
                    "GPS Datum=european 1950\r\nCom Device C=/dev/ttyUSB3\r\n"
                    "[Program State]\r\nShow Log Data=1\r\n");
  TSetupFrm& d = Dialog();
  d.SetDatumNames({"WGS 84", "European 1950"});
  d.PageControl->setCurrentIndex(3);
  d.LoadControls(f.SysInfo);
  EXPECT_EQ(d.PageControl->currentIndex(), 0);  // opens on "Display"
  EXPECT_EQ(d.PageControl->tabText(0), "Display");
  EXPECT_EQ(d.Control<QDoubleSpinBox>("RteForce")->value(), 50);
  EXPECT_EQ(d.Control<QDoubleSpinBox>("DBTCPAMax")->value(), 15);
  EXPECT_EQ(d.Control<QDoubleSpinBox>("DXTE")->value(), 0.05);
  EXPECT_EQ(d.Control<QDoubleSpinBox>("TraceC")->value(), 5);
  EXPECT_EQ(d.Control<QComboBox>("grpBaudRate2")->currentText(), "115200");
  EXPECT_EQ(d.Control<QCheckBox>("FLabelsAIS")->checkState(), Qt::PartiallyChecked);
  EXPECT_EQ(d.Control<QCheckBox>("SLT")->checkState(), Qt::Checked);
  EXPECT_TRUE(d.Control<QCheckBox>("ALOE_SSS")->isChecked());
  EXPECT_FALSE(d.Control<QCheckBox>("ALOE_RSS")->isChecked());
  EXPECT_TRUE(d.Control<QCheckBox>("ALOE_LC")->isChecked());
  EXPECT_TRUE(d.Control<QCheckBox>("APOE_RTE")->isChecked());
  EXPECT_EQ(d.Control<QComboBox>("CDatum")->currentText(), "European 1950");
  EXPECT_EQ(d.Control<QComboBox>("ComDevice3")->currentText(), "/dev/ttyUSB3");
  EXPECT_EQ(d.Control<QComboBox>("FColorBoat")->currentText(), "Fuchsia");
  EXPECT_EQ(d.Control<QLineEdit>("NMEA_ID")->maxLength(), 2);
  // Ranges as the settings allow them.
  EXPECT_EQ(d.Control<QSpinBox>("FOutFact")->minimum(), 2);
  EXPECT_EQ(d.Control<QSpinBox>("SUSpeedmark")->singleStep(), 10);
  EXPECT_EQ(d.Control<QDoubleSpinBox>("DSPD")->minimum(), 0.1);
  // Every control of the tables exists with the right type.
  for (const TSetupIntKey& k : SetupIntKeys()) EXPECT_NE(d.Control<QSpinBox>(k.control), nullptr) << k.control;
  for (const TSetupFloatKey& k : SetupFloatKeys())
    EXPECT_NE(d.Control<QDoubleSpinBox>(k.control), nullptr) << k.control;
  for (const TSetupChoiceKey& k : SetupChoiceKeys())
    EXPECT_EQ(d.Control<QComboBox>(k.control)->count(), SetupListSize(k.list)) << k.control;
}

// "Save" writes the setup group at once and applies it; "Cancel" leaves
// the record and the file as they were.
TEST_F(SetupDialog, SaveWritesTheSetupGroupCancelWritesNothing) {
  T_Form& f = Start(std::string(kQuietSettings) + "[Teskor]\r\nMarker=3\r\n");
  Show();
  const std::string before = ReadTestFile(iniFile_);
  const RSysInfo recordBefore = f.SysInfo;

  const auto change = [](TSetupFrm& d) {
    d.Control<QDoubleSpinBox>("RteForce")->setValue(75);
    d.Control<QComboBox>("SUBSizeBox")->setCurrentIndex(3);
    d.Control<QCheckBox>("ALOE_LC")->setChecked(true);
    d.Control<QCheckBox>("SLT")->setCheckState(Qt::PartiallyChecked);
    d.Control<QSpinBox>("ShdNight")->setValue(-70);
    d.Control<QComboBox>("SUDashPos")->setCurrentIndex(0);
    d.Control<QLineEdit>("NMEA_ID")->setText("GP");
  };
  RunProperties(f, [&](TSetupFrm& d) {
    change(d);
    d.btCancel->click();
  });
  EXPECT_EQ(ReadTestFile(iniFile_), before);
  EXPECT_TRUE(f.SysInfo == recordBefore);

  RunProperties(f, [&](TSetupFrm& d) {
    change(d);
    d.btSave->click();
  });
  TIniFile ini(iniFile_);
  EXPECT_EQ(ini.ReadFloat("Program Setup", "Route Force", 0), MetresToRad(75));
  EXPECT_EQ(ini.ReadInteger("Program Setup", "Boat Size", 0), 3);
  EXPECT_EQ(ini.ReadInteger("Program Setup", "Auto Loggbook", 0), 4);
  EXPECT_EQ(ini.ReadInteger("Program Setup", "Shade Night", 0), -70);
  EXPECT_EQ(ini.ReadString("Program Setup", "Unit Id", ""), "GP");
  EXPECT_EQ(ini.ReadString("Teskor", "Marker", ""), "3");
  // "Show Log Data" is kept with the program state, written later.
  EXPECT_EQ(f.SysInfo.ShowLogData, 2);
  EXPECT_FALSE(ini.ValueExists("Program State", "Show Log Data"));
  // Applied at once: the boat symbol, the dashboard side, the log book.
  Settle();
  EXPECT_EQ(f.BoatShape->ShapeWidth, 2 * kBoatSizes[3]);
  EXPECT_EQ(f.DB->x(), 0);
  EXPECT_EQ(f.LogBook->AutoMask, 4u);
}

// "GPS Transfer": gpsbabel's protocol is shown and saved; the field takes
// only what can be one format name (typed text that would make an option
// or a second argument is refused).
TEST_F(SetupDialog, TheGpsProtocolIsEditedAsOneFormatName) {
  T_Form& f = Start(std::string(kQuietSettings) + "G7T=/usr/bin/gpsbabel\r\nGPS Protocol=nmea\r\n");
  Show();
  RunProperties(f, [&](TSetupFrm& d) {
    auto* protocol = d.Control<QLineEdit>("GpsProtocol");
    EXPECT_EQ(protocol->text(), "nmea");
    protocol->clear();
    for (const QChar c : QStringLiteral("-o x;garmin")) {
      QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString(c));
      QCoreApplication::sendEvent(protocol, &press);
    }
    EXPECT_EQ(protocol->text(), "oxgarmin");
    protocol->setText(QStringLiteral("garmin,snwhite=1"));
    d.btSave->click();
  });
  EXPECT_EQ(f.SysInfo.GpsProtocol, "garmin,snwhite=1");
  EXPECT_EQ(TIniFile(iniFile_).ReadString("Program Setup", "GPS Protocol", ""), "garmin,snwhite=1");
  EXPECT_EQ(TIniFile(iniFile_).ReadString("Program Setup", "G7T", ""), "/usr/bin/gpsbabel");  // not edited here
}

// Opening the dialog and saving without a change stores every value as it
// was, also values the dialog could not show exactly, bits no control
// edits and a datum the list does not know.
TEST_F(SetupDialog, SavingWithoutChangesKeepsEveryStoredValue) {
  T_Form& f = Start(std::string(kQuietSettings) +
                    "Default XTE=0.0000145444104332861\r\nRoute Force=1.23456789E-5\r\n"
                    "Default Speed=6.25\r\nAuto Loggbook=69\r\nGPS Datum=Datum Of My Own\r\n"
                    "Track CompDev=0.1\r\n");
  Show();
  const RSysInfo before = f.SysInfo;
  RunProperties(f, [](TSetupFrm& d) { d.btSave->click(); });
  EXPECT_TRUE(f.SysInfo == before);
  TIniFile ini(iniFile_);
  EXPECT_EQ(ini.ReadString("Program Setup", "Default XTE", ""), "0.0000145444104332861");
  EXPECT_EQ(ini.ReadString("Program Setup", "Route Force", ""), "0.0000123456789");
  EXPECT_EQ(ini.ReadInteger("Program Setup", "Auto Loggbook", 0), 69);
  EXPECT_EQ(ini.ReadString("Program Setup", "GPS Datum", ""), "Datum Of My Own");
}

TEST_F(SetupDialog, FileButtonsOfferTheFilesAndFillTheField) {
  TScriptedFileDialogs dialogs;
  IFileDialogs* previous = SetFileDialogs(&dialogs);
  T_Form& f = Start(std::string(kQuietSettings) + "LanguageFile=/lang/svenska.lng\r\n");
  TSetupFrm& d = Dialog();
  d.LoadControls(f.SysInfo);
  dialogs.Answer("/lang/norsk.lng");
  d.Control<QToolButton>("SULangBtn")->click();
  dialogs.Cancel();
  d.Control<QToolButton>("LogFileBtn")->click();
  SetFileDialogs(previous);

  ASSERT_EQ(dialogs.requests().size(), 2u);
  const TFileDialogOptions& lang = dialogs.requests()[0].options;
  EXPECT_EQ(lang.title, "Language File");
  EXPECT_EQ(lang.filter, "Language Files|*.LNG");
  EXPECT_EQ(lang.initialDir, "/lang/");
  EXPECT_EQ(lang.fileName, "svenska.lng");
  EXPECT_EQ(d.Control<QLineEdit>("SULangFile")->text(), "/lang/norsk.lng");
  const TFileDialogOptions& log = dialogs.requests()[1].options;
  EXPECT_EQ(log.title, "Log File");
  EXPECT_EQ(log.filter, "Text Files|*.TXT");
  EXPECT_EQ(log.fileName, "LOGBOOK.TXT");
  EXPECT_EQ(d.Control<QLineEdit>("LogFileC")->text(), "LOGBOOK.TXT");  // cancelled
}

// A changed language file is applied when the dialog is saved.
TEST_F(SetupDialog, AChangedLanguageFileIsApplied) {
  const std::string file = dir_ / "svenska.lng";
  WriteTestFile(file, "[Text_2]\r\n_Form.Exit1.Caption=Avsluta\r\nSetupFrm.btSave.Caption=Spara\r\n");
  T_Form& f = Start();
  Show();
  RunProperties(f, [&](TSetupFrm& d) {
    d.Control<QLineEdit>("SULangFile")->setText(QString::fromStdString(file));
    d.btSave->click();
  });
  EXPECT_EQ(f.MenuItem("Exit1")->text(), "Avsluta");
  EXPECT_EQ(Dialog().btSave->text(), "Spara");
}

// Types text into a field as the keyboard would.
void Type(QWidget* w, const QString& text) {
  for (QChar c : text) {
    QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString(c));
    QApplication::sendEvent(w, &press);
  }
}

TEST(PositionField, ShowsTheNineCharacterFormWithItsSeparators) {
  struct Case {
    const char* nine;
    const char* shown;
  } cases[] = {{"05930500N", "059°30.500 N"}, {"01804250E", "018°04.250 E"}, {"5930000N", "059°30.000 N"}};
  for (const Case& c : cases) EXPECT_EQ(MaskTextToDisplay(c.nine), QString::fromUtf8(c.shown)) << c.nine;
  EXPECT_EQ(DisplayToMaskText(QString::fromUtf8("059°30.500 N")), "05930500N");
  EXPECT_EQ(DisplayToMaskText(QString::fromUtf8("59_°3_.___ _")), "59 3     ");

  TPosEdit lat(false);
  lat.SetMaskText("05930500N");
  EXPECT_EQ(lat.displayText(), QString::fromUtf8("059°30.500 N"));
  EXPECT_EQ(lat.MaskText(), "05930500N");
  // Typed: digits fill the places, the letter turns upper case.
  lat.clear();
  lat.setFocus();
  lat.setCursorPosition(0);
  Type(&lat, "00530000s");
  EXPECT_EQ(lat.MaskText(), "00530000S");
  // A longitude letter is refused in a latitude field, and the other way.
  lat.setCursorPosition(11);
  Type(&lat, "E");
  EXPECT_EQ(lat.MaskText(), "00530000S");
  TPosEdit lon(true);
  lon.clear();
  lon.setCursorPosition(0);
  Type(&lon, "01804250n");
  EXPECT_EQ(lon.MaskText(), "01804250 ");
  Type(&lon, "w");
  EXPECT_EQ(lon.MaskText(), "01804250W");
}

}  // namespace
