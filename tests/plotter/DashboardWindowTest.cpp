// The dashboard on the window: boxes that fit, the status buttons, the
// instrument menu, collapsing, night shading and the periodic save of the
// program state.
#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QEnterEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QToolButton>

#include "PlotterFixture.h"
#include "charts/ChartFile.h"
#include "charts/KAPctrl.h"
#include "foundation/IniFile.h"
#include "foundation/Types.h"
#include "foundation/qt/SysColor.h"
#include "instruments/NMEA.h"
#include "navobjects/LogBook.h"
#include "navobjects/Routes.h"
#include "plotter/PosEdit.h"

namespace {

using DashboardWindow = PlotterTest;

TColor ToColor(const QColor& c) { return MakeColor(uint8_t(c.red()), uint8_t(c.green()), uint8_t(c.blue())); }

std::string Settings(int width, int height, const std::string& more = "") {
  return std::string(kQuietSettings) + "AIS Panel=1\r\n" + more +
         "[Program State]\r\nWinState=0\r\nWinLeft=0\r\nWinTop=0\r\nWinWidth=" + std::to_string(width) +
         "\r\nWinHeight=" + std::to_string(height) + "\r\nShow Log Data=1\r\n[Fuel Data]\r\n050=20\r\n";
}

void KnowEverything(T_Form& f) {
  TNMEAINFO& n = f.Parser()->Info;
  n.Depth = 123.4;
  n.TrueWindSpeed = 25;
  n.TrueWindAngle = n.ApparentWindAngle = n.TrueWindDirection = 3.3;
  n.MagHeading = 6.1;
  n.WindVMG = -12.3;
  n.Pos = {-3.1, -1.5};
  n.Heading = 6.2;
  n.SOG = 123.4;
  n.Variation = -0.3;
  n.GpsDateTime = 46000.5;
  n.TalkerIn = "GP";
  n.FixQuality = 2;
  f.SysInfo.TotalDistance = 123456.78;
  f.SysInfo.TrippDistance = 12345.67;
  f.SysInfo.TimeCounter = 99999.99;
  f.SysInfo.FuelUsed = 99999.9;
  f.Dashboard().RefreshGpsBox();
  f.Dashboard().UpdateInstrumentBoxes();
}

// Whatever the window size and the mode, the shown boxes lie inside the
// column without overlapping, and nothing in them is cut off: every control
// lies inside its box and every text fits its label, with the widest values
// the fields can show.
TEST_F(DashboardWindow, BoxesAndTheirTextsFitAtEveryWindowSize) {
  struct Mode {
    const char* label;
    std::function<void(T_Form&)> set;
  } modes[] = {
      {"normal", [](T_Form&) {}},
      {"AUTOMATIC", [](T_Form& f) { f.PlotterFlags.Include(pfAutomatic); }},
      {"route active", [](T_Form& f) { f.Route->Following = true; }},
      {"route editor", [](T_Form& f) { f.PlotterFlags.Include(pfRouteEditor); }},
      {"GPS lost", [](T_Form& f) { f.NavFlags.Include(nfGpsLost); }},
  };
  const QSize sizes[] = {{480, 480}, {1024, 600}, {1366, 768}, {1920, 1200}};
  for (const QSize& size : sizes) {
    for (const Mode& mode : modes) {
      SCOPED_TRACE(std::string(mode.label) + " at " + std::to_string(size.width()) + "x" +
                   std::to_string(size.height()));
      T_Form& f = Start(Settings(size.width(), size.height()));
      Show();
      KnowEverything(f);
      mode.set(f);
      f.UpdateStatus();
      Settle();
      ASSERT_EQ(f.DB->height(), f.centralWidget()->height());
      int shown = 0;
      for (QFrame* box : f.DashBox) {
        if (box->isHidden()) continue;
        ++shown;
        const std::string name = box->objectName().toStdString();
        EXPECT_EQ(box->width(), f.DashboardDesignWidth - 6) << name;
        EXPECT_TRUE(f.DB->rect().contains(box->geometry())) << name;
        for (QFrame* other : f.DashBox) {
          if (other != box && !other->isHidden()) {
            EXPECT_FALSE(box->geometry().intersects(other->geometry())) << name;
          }
        }
        for (QWidget* w : box->findChildren<QWidget*>()) {
          if (w->isHidden() || !w->isVisibleTo(box)) continue;
          const QRect r(w->mapTo(box, QPoint(0, 0)), w->size());
          EXPECT_TRUE(box->rect().contains(r)) << name << ": " << w->objectName().toStdString();
          const auto fits = [&](const QString& text, int room) {
            EXPECT_LE(w->fontMetrics().horizontalAdvance(text), room)
                << name << ": " << w->objectName().toStdString() << " \"" << text.toStdString() << "\"";
          };
          if (auto* l = qobject_cast<QLabel*>(w)) fits(l->text(), l->contentsRect().width());
          if (auto* b = qobject_cast<QAbstractButton*>(w)) fits(QString(b->text()).remove(u'&'), b->width() - 6);
          if (auto* e = qobject_cast<QLineEdit*>(w)) fits(e->displayText(), e->width() - 6);
        }
      }
      EXPECT_GT(shown, 2);
      // The essentials are there even in the smallest window.
      if (mode.label == std::string("normal")) {
        for (QFrame* box : {f.DB_MAINMENU, f.DB_GPS, f.DB_MARKER, f.DB_STATE})
          EXPECT_FALSE(box->isHidden()) << box->objectName().toStdString();
      }
      Stop();
    }
  }
}

TEST_F(DashboardWindow, LostGpsPutsTheDeadReckoningBoxInItsPlace) {
  T_Form& f = Start(Settings(1024, 700));
  Show();
  const QRect gps = f.DB_GPS->geometry();
  f.NavFlags.Include(nfGpsLost);
  f.Dashboard().RefreshGpsBox();
  f.UpdateStatus();
  EXPECT_TRUE(f.DB_GPS->isHidden());
  EXPECT_FALSE(f.DB_DR->isHidden());
  EXPECT_EQ(f.DB_DR->geometry(), gps);
  EXPECT_EQ(f.DB_DR->palette().color(QPalette::Window), QColor(255, 0, 0));  // the alarm red
  f.NavFlags.Exclude(nfGpsLost);
  f.Dashboard().RefreshGpsBox();
  f.UpdateStatus();
  EXPECT_FALSE(f.DB_GPS->isHidden());
  EXPECT_TRUE(f.DB_DR->isHidden());
  EXPECT_EQ(f.DB_GPS->palette().color(QPalette::Window), QApplication::palette().color(QPalette::Window));
}

TEST_F(DashboardWindow, FieldsShowTheNavigationState) {
  T_Form& f = Start(Settings(1024, 700, "Depth Show=3\r\nWind Show=2\r\nTransducer Depth=0.5\r\n"));
  Show();
  TNMEAINFO& n = f.Parser()->Info;
  n.Pos = {18.070833 * kDegToRad, 59.508333 * kDegToRad};
  n.Heading = 84.4 * kDegToRad;
  n.SOG = 6.4;
  n.Variation = 3.1 * kDegToRad;
  n.TalkerIn = "GP";
  n.FixQuality = 2;
  n.Depth = 16;
  n.TrueWindSpeed = 5;
  n.MagHeading = NoDataValue;
  f.Dashboard().RefreshGpsBox();
  f.Dashboard().UpdateInstrumentBoxes();
  const auto text = [&](const char* name) { return f.findChild<QLabel*>(name)->text().toStdString(); };
  EXPECT_EQ(text("DBBLat"), "59°30.500'N");
  EXPECT_EQ(text("DBBLong"), "018°04.250'E");
  EXPECT_EQ(text("DBBhead"), "84.4");
  EXPECT_EQ(text("DBBspeed"), "6.4");
  EXPECT_EQ(text("DBBMErr"), "3.1°E");
  EXPECT_EQ(text("DBGPSB"), "GP-Diff");
  EXPECT_EQ(text("DPTLab"), "9F");  // 16.5 m in fathoms of 1.8288 m
  EXPECT_EQ(text("WindSLab"), "10kt");
  // Depth and wind are known, the compass is not: their boxes come and go.
  EXPECT_TRUE(f.DashboardSet().Has(TDashBox::DB_DEPTH));
  EXPECT_TRUE(f.DashboardSet().Has(TDashBox::DB_WIND));
  EXPECT_FALSE(f.DashboardSet().Has(TDashBox::DB_COMPASS));
  n.Depth = NoDataValue;
  f.Dashboard().UpdateInstrumentBoxes();
  EXPECT_FALSE(f.DashboardSet().Has(TDashBox::DB_DEPTH));
  EXPECT_TRUE(f.DB_DEPTH->isHidden());

  // Engine hours carry their minutes.
  f.SysInfo.TimeCounter = 12.9999;
  f.Dashboard().RefreshLogTexts();
  EXPECT_EQ(f.TxtTime->text(), "13:00");

  // The dead-reckoning course wraps round when typed past either end.
  f.DB_DRCrs->setText("");
  f.DB_DRCrs->setFocus();
  for (const char* typed : {"-", "1"}) {
    QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString::fromLatin1(typed));
    QApplication::sendEvent(f.DB_DRCrs, &press);
  }
  EXPECT_EQ(f.DB_DRCrs->text(), "359");
}

TEST_F(DashboardWindow, StatusButtonsSayTheModeAndKeepItForTheNextStart) {
  T_Form& f = Start(Settings(1024, 700));
  Show();
  EXPECT_EQ(f.DBI_AUTO->text(), "AUTOMATIC OFF");
  EXPECT_EQ(f.DBI_AUTO->palette().color(QPalette::ButtonText), QColor(255, 0, 0));  // red while off
  EXPECT_TRUE(f.DBI_PILOT->isHidden());  // no active route
  f.DBI_AUTO->click();
  EXPECT_EQ(f.DBI_AUTO->text(), "AUTOMATIC ON");
  EXPECT_EQ(f.DBI_AUTO->palette().color(QPalette::ButtonText), QApplication::palette().color(QPalette::ButtonText));
  EXPECT_TRUE(f.SysInfo.AutoScroll);
  EXPECT_TRUE(f.DB_MAINMENU->isHidden());  // the AUTOMATIC set
  EXPECT_FALSE(f.DB_INSTR->isHidden());

  // The route editor keeps AUTOMATIC as it is.
  f.PlotterFlags.Include(pfRouteEditor);
  f.DBI_AUTO->click();
  EXPECT_TRUE(f.PlotterFlags.Has(pfAutomatic));
  f.PlotterFlags.Exclude(pfRouteEditor);

  // TRACK, with an old track on display and tracking off, keeps its caption.
  f.DBI_TRACE->click();
  EXPECT_EQ(f.DBI_TRACE->text(), "TRACK ON");
  f.DBI_TRACE->click();
  f.MenuItem("OpenOld1")->setChecked(true);
  f.DBI_TRACE->setText("Old track");
  f.UpdateStatus();
  EXPECT_EQ(f.DBI_TRACE->text(), "Old track");

  // NMEA OUT is there while the route is active.
  f.Route->Following = true;
  f.UpdateStatus();
  EXPECT_FALSE(f.DBI_PILOT->isHidden());
  f.DBI_PILOT->click();
  EXPECT_EQ(f.DBI_PILOT->text(), "NMEA OUT ON");
}

TEST_F(DashboardWindow, InstrumentMenuResetsCountersAfterAskingAndLogsTheOldValue) {
  T_Form& f = Start(Settings(1024, 700, "Auto Loggbook=0\r\n"));
  Show();
  f.SysInfo.TrippDistance = 42.5;
  f.SysInfo.FuelUsed = 3.25;
  f.LogBook->Entries.clear();
  questions_.Clear();
  questions_.Answer(idNo);
  f.MenuItem("ResetTrip1")->trigger();
  EXPECT_EQ(f.SysInfo.TrippDistance, 42.5);
  questions_.Answer(idYes);
  f.MenuItem("ResetTrip1")->trigger();
  questions_.Answer(idYes);
  f.MenuItem("ResetFuel1")->trigger();
  EXPECT_EQ(Asked(), (std::vector<std::string>{"Reset Trip?", "Reset Trip?", "Reset Fuel?"}));
  EXPECT_EQ(f.SysInfo.TrippDistance, 0);
  EXPECT_EQ(f.SysInfo.FuelUsed, 0);
  EXPECT_EQ(f.TxtTrp->text(), "0.00");
  ASSERT_EQ(f.LogBook->Entries.size(), 2u);  // category 7 is always written
  EXPECT_EQ(f.LogBook->Entries[0].message, "Reset Trip from 42.5");
  EXPECT_EQ(f.LogBook->Entries[0].category, 7);
  EXPECT_EQ(f.LogBook->Entries[1].message, "Reset Fuel from 3.25");

  f.MenuItem("EngineOn1")->trigger();
  EXPECT_FALSE(f.SysInfo.EngineOn);

  // "Log Book Entry" (and F7): a line typed by the user.
  std::vector<std::string> prompts;
  f.InputQuery = [&](const std::string& title, const std::string& prompt) {
    prompts.push_back(title + "|" + prompt);
    return std::optional<std::string>("Anchored off Sandhamn");
  };
  Key(&f, Qt::Key_F7);
  EXPECT_EQ(prompts, (std::vector<std::string>{"Brismare |Log"}));
  EXPECT_EQ(f.LogBook->Entries.back().message, "Anchored off Sandhamn");
  EXPECT_EQ(f.LogBook->Entries.back().category, 7);
}

TEST_F(DashboardWindow, CollapsesToAnEdgeAndComesBackUnderTheMouse) {
  T_Form& f = Start(Settings(1024, 700, "Dashboard=0\r\n"));
  Show();
  EXPECT_EQ(f.DB->x(), 0);  // docked left
  EXPECT_EQ(f.DBC_MENU_3->text(), "<<");
  f.DBC_MENU_3->click();
  Settle();
  EXPECT_FALSE(f.Dashboard().DashboardExpanded());
  EXPECT_EQ(f.DB->width(), 3);
  for (QFrame* box : f.DashBox) EXPECT_TRUE(box->isHidden());
  QEnterEvent enter(QPointF(1, 1), QPointF(1, 1), QPointF(1, 1));
  QApplication::sendEvent(f.DB, &enter);
  Settle();
  EXPECT_TRUE(f.Dashboard().DashboardExpanded());
  EXPECT_EQ(f.DB->width(), f.DashboardDesignWidth);
  EXPECT_FALSE(f.DB_GPS->isHidden());

  // Ctrl+E switches what a double-click does.
  EXPECT_FALSE(f.Chart().DoubleClickMeasures());
  f.PlotterFlags.Include(pfChartLoaded);
  Key(&f, Qt::Key_E, Qt::ControlModifier);
  EXPECT_TRUE(f.Chart().DoubleClickMeasures());
}

TEST_F(DashboardWindow, ShadeLevelsRecolourTheWindowTheDrawingAndTheChart) {
  T_Form& f = Start(Settings(1024, 700, "Shade Night=60\r\nBoat Color=12\r\n"));
  Show();
  const QPalette day = QApplication::palette();
  const qint64 dayIcon = f.windowIcon().cacheKey();
  struct Case {
    int level;
    int value;
  } cases[] = {{1, 20}, {2, 40}, {3, 60}, {0, 0}};
  qint64 nightIcon = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.level);
    f.SBC[c.level]->click();
    EXPECT_EQ(f.ShadeLevel(), c.level);
    EXPECT_TRUE(f.SBC[c.level]->isChecked());
    EXPECT_EQ(f.Colours.palette, ShadePalette(c.value));
    EXPECT_EQ(f.BoatShape->Color, ShadeColor(c.value, kPalette16[piBlue]));
    EXPECT_EQ(f.RingShape->Color, ShadeColor(c.value, kPalette16[piBlack]));
    EXPECT_EQ(f.KAPDecoder->Brightness, c.value);
    EXPECT_EQ(f.ChartFile->Brightness, c.value);
    EXPECT_EQ(ToColor(QApplication::palette().color(QPalette::Window)),
              ShadeColor(c.value, ToColor(day.color(QPalette::Window))));
    EXPECT_EQ(f.MapCanvas->palette().color(QPalette::Dark) == Qt::black, c.value != 0);
    // The OFF caption stays legible.
    EXPECT_GE(ContrastRatio(ToColor(f.DBI_AUTO->palette().color(QPalette::ButtonText)),
                            ToColor(QApplication::palette().color(QPalette::Button))),
              kMinTextContrast);
    if (c.level == 1) nightIcon = f.windowIcon().cacheKey();
    if (c.level >= 1) {
      EXPECT_EQ(f.windowIcon().cacheKey(), nightIcon);  // 2 -> 3 keeps the dark icon
    }
  }
  EXPECT_NE(nightIcon, dayIcon);
  EXPECT_EQ(QApplication::palette().color(QPalette::Window), day.color(QPalette::Window));

  // Without "Shade Desktop" the program's palette stays as it is.
  f.SysInfo.ShadeDesktop = false;
  f.SetShadeLevel(3);
  EXPECT_EQ(QApplication::palette().color(QPalette::Window), day.color(QPalette::Window));
  EXPECT_EQ(f.Colours.red, ShadeColor(60, kPalette16[piRed]));
  f.SetShadeLevel(0);
}

// The program state is written every minute while it changes, so a power
// cut loses little of the log, trip, fuel and engine hours.
TEST_F(DashboardWindow, ProgramStateIsSavedWhileItChanges) {
  T_Form& f = Start(Settings(1024, 700));
  auto* timer = f.findChild<QTimer*>(QStringLiteral("StateTimer"));
  ASSERT_NE(timer, nullptr);
  EXPECT_TRUE(timer->isActive());
  EXPECT_EQ(timer->interval(), 60000);

  // Unchanged: the file is not touched.
  const std::string untouched = ReadTestFile(iniFile_);
  f.ProgramState().SaveStateIfChanged();
  EXPECT_EQ(ReadTestFile(iniFile_), untouched);

  f.SysInfo.TrippDistance = 12.5;
  f.SysInfo.TimeCounter = 3.75;
  // Meanwhile the calibration tool changed a directory in the same file.
  TIniFile other(iniFile_);
  other.WriteString("Program Setup", "Chart Dir", "/charts/new");
  other.UpdateFile();
  f.ProgramState().SaveStateIfChanged();
  TIniFile ini(iniFile_);
  EXPECT_EQ(ini.ReadFloat("Program State", "Tripp Distance", 0), 12.5);
  EXPECT_EQ(ini.ReadFloat("Program State", "Time Counter", 0), 3.75);
  EXPECT_EQ(ini.ReadString("Program Setup", "Chart Dir", ""), "/charts/new");

  // A file that cannot be written is reported once, and tried again.
  const std::string written = ReadTestFile(iniFile_);
  f.SysInfo.IniFile = dir_ / "gone/plotter.ini";
  questions_.Clear();
  f.SysInfo.FuelUsed = 1;
  f.ProgramState().SaveStateIfChanged();
  f.SysInfo.FuelUsed = 2;
  f.ProgramState().SaveStateIfChanged();
  ASSERT_EQ(questions_.asked().size(), 1u);
  EXPECT_NE(questions_.asked()[0].text.find("Unable to write"), std::string::npos);
  f.SysInfo.IniFile = iniFile_;
  f.ProgramState().SaveStateIfChanged();
  EXPECT_EQ(TIniFile(iniFile_).ReadFloat("Program State", "Fuel Used", 0), 2);
}

}  // namespace
