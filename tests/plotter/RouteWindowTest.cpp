// The route in the main window on the offscreen platform: built on the
// chart in the editor with mouse and keys (insert, move by drag, delete,
// reverse), saved and opened again and checked with brtool; the editor's
// menus in place of the normal ones; a route activated on a replay drives
// the guidance boxes, switches waypoints and logs them; and the refusals
// and checks that keep a sailor's route safe.
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QPushButton>
#include <QToolButton>

#include <cmath>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "ChartFixtures.h"
#include "PlotterFixture.h"
#include "foundation/GenUtil.h"
#include "foundation/NumText.h"
#include "geodesy/CTrans.h"
#include "instruments/NMEA.h"
#include "navobjects/LogBook.h"
#include "navobjects/Routes.h"
#include "platform/FileDialogs.h"
#include "plotter/MainForm.h"
#include "plotter/PosEdit.h"

namespace {

using chartfix::TChartPlan;

const std::string kReplay = std::string(BRISMARE_SOURCE_DIR) + "/tests/plotter/data/replay_vinga.nmea";

class RouteWindow : public PlotterClockTest {
 protected:
  void SetUp() override {
    PlotterClockTest::SetUp();
    previousDialogs_ = SetFileDialogs(&dialogs_);
  }
  void TearDown() override {
    SetFileDialogs(previousDialogs_);
    PlotterClockTest::TearDown();
  }
  static void Mouse(T_Form& f, QEvent::Type type, QPointF at, Qt::MouseButton button = Qt::LeftButton,
                    Qt::MouseButtons buttons = Qt::LeftButton) {
    SendMouse(f.MapCanvas, type, at, button, buttons);
  }
  // A double click as the window system sends it.
  static void DoubleClick(T_Form& f, QPointF at) {
    Mouse(f, QEvent::MouseButtonPress, at);
    Mouse(f, QEvent::MouseButtonRelease, at, Qt::LeftButton, Qt::NoButton);
    Mouse(f, QEvent::MouseButtonDblClick, at);
    Mouse(f, QEvent::MouseButtonRelease, at, Qt::LeftButton, Qt::NoButton);
  }
  static QPointF ViewOf(T_Form& f, const TNavShape& s) {
    return {double(s.PosX() - f.Chart().View.Scroll().X), double(s.PosY() - f.Chart().View.Scroll().Y)};
  }
  static std::vector<std::string> Names(const TRoute& r) {
    std::vector<std::string> n;
    for (int i = 0; i < r.Count(); ++i) n.push_back(r.At(i)->Caption);
    return n;
  }
  template <class T>
  static T* Widget(T_Form& f, const char* name) {
    return f.findChild<T*>(QString::fromLatin1(name));
  }
  static std::string Text(T_Form& f, const char* label) { return Widget<QLabel>(f, label)->text().toStdString(); }

  TScriptedFileDialogs dialogs_;
  IFileDialogs* previousDialogs_ = nullptr;
};

TEST_F(RouteWindow, ARouteIsBuiltOnTheChartSavedAndOpenedAgain) {
  REQUIRE_PROGRAM("brtool");
  TChartPlan big;
  big.width = 1200;
  big.height = 900;
  T_Form& f = Run("[Program Setup]\r\nCom Port=0\r\nDefault Speed=7\r\n"
                  "[Program State]\r\nWinLeft=0\r\nWinTop=0\r\nWinWidth=1100\r\nWinHeight=760\r\nWinState=0\r\n");
  ASSERT_TRUE(f.LoadChart(chartfix::WriteKapChart(dir_ / "BIG.KAP", big)));
  f.Chart().ScrollTo({0, 0});

  // The editor: its own file menu, its own chart menu, no tools.
  f.MenuItem("RouteEditor1")->trigger();
  ASSERT_TRUE(f.PlotterFlags.Has(pfRouteEditor));
  EXPECT_EQ(f.DBC_MENU_1->menu(), f.RouteFileMenu);
  EXPECT_TRUE(f.DBC_MENU_2->isHidden());
  EXPECT_FALSE(Widget<QFrame>(f, "DB_RTEEDIT")->isHidden());

  // Three double clicks add three points; one between the first two goes
  // into that leg.
  DoubleClick(f, {100, 100});
  DoubleClick(f, {500, 100});
  DoubleClick(f, {500, 400});
  ASSERT_EQ(f.Route->Count(), 3);
  DoubleClick(f, {300, 110});
  ASSERT_EQ(f.Route->Count(), 4);
  EXPECT_NEAR(f.Route->At(1)->PosX() - f.Chart().View.Scroll().X, 300, 1);
  EXPECT_EQ(f.Route->At(0)->LegSpeed, 7);  // "Default Speed"
  EXPECT_TRUE(f.Route->Modified);
  // The new point is shown in the editor; a name and Enter name it.
  auto* name = Widget<QLineEdit>(f, "DBC_RTText");
  name->setText("MIDDLE");
  QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
  QApplication::sendEvent(name, &enter);
  EXPECT_EQ(f.Route->At(1)->Caption, "MIDDLE");
  for (int i : {0, 2, 3}) f.Route->At(i)->Caption = std::string("P") + char('0' + i);

  // A drag moves the last point 30 pixels down.
  const QPointF last = ViewOf(f, *f.Route->At(3));
  Mouse(f, QEvent::MouseButtonPress, last);
  for (int i = 1; i <= 6; ++i) Mouse(f, QEvent::MouseMove, last + QPointF(0, 5 * i));
  Mouse(f, QEvent::MouseButtonRelease, last + QPointF(0, 30), Qt::LeftButton, Qt::NoButton);
  TFPoint moved;
  ASSERT_TRUE(f.Converter->PixelToGeo(f.Chart().View.ViewToPanel({last.x(), last.y() + 30}), moved));
  EXPECT_NEAR(f.Route->At(3)->Position.Y, moved.Y, 1e-12);

  // A click selects the second point, "Delete" removes it; "Reverse" turns
  // the route.
  const QPointF second = ViewOf(f, *f.Route->At(2));
  Mouse(f, QEvent::MouseButtonPress, second);
  Mouse(f, QEvent::MouseButtonRelease, second, Qt::LeftButton, Qt::NoButton);
  Widget<QPushButton>(f, "RteDelSelBtn")->click();
  EXPECT_EQ(Names(*f.Route), (std::vector<std::string>{"P0", "MIDDLE", "P3"}));
  f.MenuItem("RFReverse")->trigger();
  EXPECT_EQ(Names(*f.Route), (std::vector<std::string>{"P3", "MIDDLE", "P0"}));

  // "Save As" proposes the first and last names; the file is the route.
  const std::string file = dir_ / "trip.srw";
  dialogs_.Answer(file);
  f.MenuItem("RFSaveAs")->trigger();
  ASSERT_FALSE(dialogs_.requests().empty());
  EXPECT_EQ(dialogs_.requests().back().options.fileName, "P3 - P0");
  EXPECT_FALSE(f.Route->Modified);
  const TProgramRun info = Brtool("route info \"" + file + "\"");
  ASSERT_EQ(info.status, 0);
  // Each point's entry: its name, then its latitude and longitude.
  auto number = [&](size_t from, const std::string& key) {
    const size_t at = info.out.find("\"" + key + "\": ", from);
    if (at == std::string::npos) return std::optional<double>();
    const size_t start = at + key.size() + 4;
    return TryStrToFloatDot(info.out.substr(start, info.out.find_first_of(",}", start) - start));
  };
  size_t from = info.out.find("\"points\"");
  for (int i = 0; i < f.Route->Count(); ++i) {
    const TNavShape& p = *f.Route->At(i);
    from = info.out.find("{\"name\": \"" + p.Caption + "\"", from);
    ASSERT_NE(from, std::string::npos) << p.Caption << " in " << info.out;
    const std::optional<double> lat = number(from, "lat"), lon = number(from, "lon");
    ASSERT_TRUE(lat && lon) << info.out;
    EXPECT_NEAR(*lat, p.Position.Y * kRadToDeg, 1e-9);
    EXPECT_NEAR(*lon, p.Position.X * kRadToDeg, 1e-9);
  }

  // Closed: the normal menus are back.
  f.MenuItem("RFCloseEditor")->trigger();
  EXPECT_FALSE(f.PlotterFlags.Has(pfRouteEditor));
  EXPECT_EQ(f.DBC_MENU_1->menu(), f.FileMenu);
  EXPECT_FALSE(f.DBC_MENU_2->isHidden());

  // Opened again over it: "Clear old route?" Yes, then the file.
  const std::vector<TFPoint> saved = {f.Route->At(0)->Position, f.Route->At(1)->Position, f.Route->At(2)->Position};
  questions_.Clear();
  questions_.Answer(idYes);
  dialogs_.Answer(file);
  f.MenuItem("FMRouteOpen")->trigger();
  EXPECT_EQ(Asked(), std::vector<std::string>{"Clear old route?"});
  ASSERT_EQ(Names(*f.Route), (std::vector<std::string>{"P3", "MIDDLE", "P0"}));
  for (int i = 0; i < 3; ++i) EXPECT_EQ(f.Route->At(i)->Position, saved[static_cast<size_t>(i)]);
  EXPECT_EQ(Text(f, "DB_R_Start"), "P3");
  EXPECT_EQ(Text(f, "DB_R_End"), "P0");
}

// A click, a Ctrl-click, a Shift-click and a drag on the route's points,
// each seen in the editor; "Update" with several points selected changes
// only what was typed into the several-points view.
TEST_F(RouteWindow, TheEditorFollowsClicksAndDragsOnThePoints) {
  TChartPlan big;
  big.width = 1200;
  big.height = 900;
  T_Form& f = Run("[Program Setup]\r\nCom Port=0\r\n"
                  "[Program State]\r\nWinLeft=0\r\nWinTop=0\r\nWinWidth=1100\r\nWinHeight=760\r\nWinState=0\r\n");
  ASSERT_TRUE(f.LoadChart(chartfix::WriteKapChart(dir_ / "BIG.KAP", big)));
  f.Chart().ScrollTo({0, 0});
  f.MenuItem("RouteEditor1")->trigger();
  for (QPointF at : {QPointF(100, 100), QPointF(400, 120), QPointF(600, 400)}) DoubleClick(f, at);
  ASSERT_EQ(f.Route->Count(), 3);
  for (int i = 0; i < 3; ++i) {
    f.Route->At(i)->Caption = "P" + std::to_string(i);
    f.Route->At(i)->LegSpeed = 5 + i;
  }
  auto click = [&](int i, Qt::KeyboardModifiers mods = Qt::NoModifier) {
    const QPointF at = ViewOf(f, *f.Route->At(i));
    SendMouse(f.MapCanvas, QEvent::MouseButtonPress, at, Qt::LeftButton, Qt::LeftButton, mods);
    SendMouse(f.MapCanvas, QEvent::MouseButtonRelease, at, Qt::LeftButton, Qt::NoButton, mods);
  };
  auto field = [&](const char* name) { return Widget<QLineEdit>(f, name)->text().toStdString(); };
  auto* list = Widget<QComboBox>(f, "DBC_RTList");
  auto* lat = Widget<TPosEdit>(f, "DBC_RTLat");

  // A plain click: that point's number, position, name and speed.
  click(1);
  EXPECT_EQ(list->currentIndex(), 1);
  EXPECT_EQ(field("DBC_RTText"), "P1");
  EXPECT_EQ(field("DBC_RTSpeed"), "6");
  EXPECT_TRUE(lat->isEnabled());
  EXPECT_EQ(lat->MaskText(), PosToMaskText(false, f.Route->At(1)->Position.Y));

  // Ctrl-click: two selected, the several-points view offers nothing of
  // either point, and "Update" as it stands changes neither.
  click(2, Qt::ControlModifier);
  EXPECT_EQ(f.Route->SelectedCount(), 2);
  EXPECT_EQ(list->currentIndex(), -1);
  EXPECT_FALSE(lat->isEnabled());
  EXPECT_EQ(field("DBC_RTText"), "");
  EXPECT_EQ(field("DBC_RTSpeed"), "0");
  Widget<QPushButton>(f, "RteEdUpdate")->click();
  EXPECT_EQ(Names(*f.Route), (std::vector<std::string>{"P0", "P1", "P2"}));
  EXPECT_EQ(f.Route->At(1)->LegSpeed, 6);
  EXPECT_EQ(f.Route->At(2)->LegSpeed, 7);
  // A typed speed goes into both selected points, and only into them.
  Widget<QLineEdit>(f, "DBC_RTSpeed")->setText("9");
  Widget<QPushButton>(f, "RteEdUpdate")->click();
  EXPECT_EQ(f.Route->At(0)->LegSpeed, 5);
  EXPECT_EQ(f.Route->At(1)->LegSpeed, 9);
  EXPECT_EQ(f.Route->At(2)->LegSpeed, 9);
  EXPECT_EQ(Names(*f.Route), (std::vector<std::string>{"P0", "P1", "P2"}));

  // A plain click on the first, Shift-click on the last: the range.
  click(0);
  EXPECT_EQ(f.Route->SelectedCount(), 1);
  EXPECT_EQ(field("DBC_RTText"), "P0");
  click(2, Qt::ShiftModifier);
  EXPECT_EQ(f.Route->SelectedCount(), 3);
  EXPECT_FALSE(lat->isEnabled());

  // Saved, then a drag: the editor shows the point's new place, the
  // length and "Save Route" in red (changed) follow.
  click(1);
  dialogs_.Answer(dir_ / "drag.srw");
  f.MenuItem("RFSaveAs")->trigger();
  ASSERT_FALSE(f.Route->Modified);
  auto* save = Widget<QPushButton>(f, "RteSaveBtn");
  const QColor plain = save->palette().color(QPalette::ButtonText);
  const std::string lengthBefore = Text(f, "DB_R_Len");
  const QPointF from = ViewOf(f, *f.Route->At(1));
  SendMouse(f.MapCanvas, QEvent::MouseButtonPress, from);
  for (int i = 1; i <= 8; ++i) SendMouse(f.MapCanvas, QEvent::MouseMove, from + QPointF(0, 10 * i));
  SendMouse(f.MapCanvas, QEvent::MouseButtonRelease, from + QPointF(0, 80), Qt::LeftButton, Qt::NoButton);
  ASSERT_TRUE(f.Route->Modified);
  EXPECT_EQ(lat->MaskText(), PosToMaskText(false, f.Route->At(1)->Position.Y));
  EXPECT_NE(Text(f, "DB_R_Len"), lengthBefore);
  EXPECT_NE(save->palette().color(QPalette::ButtonText), plain);
}

// "Add Position" puts the position where "E&xtend" says: at the end when
// ticked, into the leg it belongs to otherwise.
TEST_F(RouteWindow, AddPositionFollowsExtend) {
  T_Form& f = Run(kQuietSettings);
  TChartPlan plan;
  ASSERT_TRUE(f.LoadChart(chartfix::WriteKapChart(dir_ / "T.KAP", plan)));
  const double d = kDegToRad;
  f.Route->AddRecord({{10.1 * d, 54.3 * d}, 0, 0, 0, 0, "A", ""});
  f.Route->AddRecord({{10.4 * d, 54.3 * d}, 0, 0, 0, 0, "B", ""});
  f.Positions->AddRecord({{10.25 * d, 54.31 * d}, 0, 0, 0, 0, "MID", ""});
  f.PositionCommands().FillPositionList();
  f.RouteEditor1Click();
  auto* positions = Widget<QComboBox>(f, "DBC_RTAddWP");
  positions->setCurrentIndex(positions->findText("MID"));
  Widget<QPushButton>(f, "RteAddWPBtn")->click();
  EXPECT_EQ(Names(*f.Route), (std::vector<std::string>{"A", "MID", "B"}));
  QAction* extend = f.MenuItem("RPExtend");
  extend->trigger();
  ASSERT_TRUE(extend->isChecked());
  positions->setCurrentIndex(positions->findText("MID"));
  Widget<QPushButton>(f, "RteAddWPBtn")->click();
  EXPECT_EQ(Names(*f.Route), (std::vector<std::string>{"A", "MID", "B", "MID"}));
}

// A refused activation leaves "&Activate Route" unticked; the elapsed time
// runs on the monotonic clock, whatever the wall clock does.
TEST_F(RouteWindow, ActivationTickAndElapsedTime) {
  T_Form& f = Run("[Program Setup]\r\nCom Port=0\r\nShow Time=1\r\nNMEA_SIMUL=" + kReplay + "\r\n");
  const double lat0 = (57 + 40.0 / 60) * kDegToRad, lon0 = (11 + 40.0 / 60) * kDegToRad;
  for (int i = 0; i < 3; ++i) f.Route->AddRecord({{lon0 + i * 0.0001, lat0 + i * 0.0001}, 0, 0, 0, 0, "R", ""});
  QAction* activate = f.MenuItem("ActivateRoute1");
  activate->trigger();  // no fix yet: refused
  EXPECT_FALSE(f.Route->Following);
  EXPECT_FALSE(activate->isChecked());

  Tick(f, 4);
  activate->trigger();
  ASSERT_TRUE(f.Route->Following);
  EXPECT_TRUE(activate->isChecked());
  Tick(f, 3);
  // The clock is set a day on (a receiver's time taken over, say).
  clock_.SetUTC(clock_.NowUTC() + 1);
  Tick(f, 2);
  EXPECT_EQ(Text(f, "DBRteTIME"), DaysToHMS(5 / 86400.0));
}

TEST_F(RouteWindow, ClearOldRouteThenCancelKeepsTheRoute) {
  T_Form& f = Run(kQuietSettings);
  for (int i = 0; i < 3; ++i) f.Route->AddRecord({{0.2, 1.0 + i * 0.001}, 0, 0, 0, 0, "K" + std::to_string(i), ""});
  questions_.Answer(idYes);
  dialogs_.Cancel();
  f.LoadRoute2Click();
  EXPECT_EQ(Asked(), std::vector<std::string>{"Clear old route?"});
  EXPECT_EQ(f.Route->Count(), 3);
}

TEST_F(RouteWindow, TypedCoordinatesAreCheckedBeforeTheyMoveAPoint) {
  TChartPlan plan;
  T_Form& f = Run(kQuietSettings);
  ASSERT_TRUE(f.LoadChart(chartfix::WriteKapChart(dir_ / "T.KAP", plan)));
  f.RouteEditor1Click();
  f.RouteEditor().InsertRoutePointAt({100, 100});
  ASSERT_EQ(f.Route->Count(), 1);
  const TFPoint before = f.Route->At(0)->Position;
  auto* lat = Widget<TPosEdit>(f, "DBC_RTLat");
  struct Case {
    const char* lat;
    bool accepted;
  };
  for (const Case& c : {Case{"05461000N", false}, Case{"09100000N", false}, Case{"054300", false},
                        Case{"05430000S", true}}) {
    questions_.Clear();
    lat->SetMaskText(c.lat);
    f.RteEdUpdateClick();
    if (c.accepted) {
      EXPECT_TRUE(Asked().empty()) << c.lat;
      EXPECT_NEAR(f.Route->At(0)->Position.Y, -54.5 * kDegToRad, 1e-12);
    } else {
      EXPECT_EQ(Asked().size(), 1u) << c.lat;
      EXPECT_EQ(f.Route->At(0)->Position, before) << c.lat;
    }
  }
}

TEST_F(RouteWindow, AnActiveRouteDrivesTheGuidanceBoxes) {
  // The replay sails from 57°40.000'N 011°40.000'E at 6 knots on 045°; the
  // route lies ahead on that course, about a third of a mile a leg.
  T_Form& f = Run("[Program Setup]\r\nCom Port=0\r\nShow Time=2\r\nAuto Loggbook=10\r\nNMEA_SIMUL=" + kReplay +
                  "\r\n");
  const double lat0 = (57 + 40.0 / 60) * kDegToRad, lon0 = (11 + 40.0 / 60) * kDegToRad;
  const double step = 0.33 / kRadToNM / std::sqrt(2.0);
  for (int i = 0; i < 3; ++i)
    f.Route->AddRecord({{lon0 + i * step / std::cos(lat0), lat0 + i * step}, 0, 0, 0, 0, "R" + std::to_string(i), ""});

  // No fix yet: not activated, and said so.
  Widget<QPushButton>(f, "RteActBtn")->click();
  EXPECT_FALSE(f.Route->Following);
  EXPECT_TRUE(f.MsgT->text().startsWith("The route was not activated"));

  Tick(f, 4);
  Widget<QPushButton>(f, "RteActBtn")->click();
  ASSERT_TRUE(f.Route->Following);
  EXPECT_TRUE(f.PlotterFlags.Has(pfRouteActive));
  EXPECT_TRUE(f.DashboardSet().Has(TDashBox::DB_ROUTE_GO));
  EXPECT_FALSE(f.DashboardSet().Has(TDashBox::DB_QBUTT));
  EXPECT_FALSE(f.DBI_PILOT->isHidden());
  Tick(f, 2);
  const TNMEAINFO& n = f.Parser()->Info;
  EXPECT_EQ(Text(f, "DBRteWPID"), "R1");
  EXPECT_EQ(Text(f, "DBRteBWR"), FloatToStrWD(3, 1, n.BearingToDest * kRadToDeg));
  EXPECT_EQ(Text(f, "DBRteRNG"), FloatToStrWD(3, 1, n.RangeToDest * kRadToNM));
  EXPECT_EQ(Text(f, "DBRteXTE"), FloatToStrWD(4, 2, n.XTE * kRadToNM));
  EXPECT_EQ(Text(f, "DBRteTTG"), DaysToHMS(n.TimeToDest));
  EXPECT_EQ(Text(f, "DBRteHINT").size(), 10u);

  // A third of a mile at 6 knots: about 200 s a leg, the switch 20 s early.
  Tick(f, 200);
  EXPECT_EQ(Text(f, "DBRteWPID"), "R2");
  std::vector<std::string> route;
  for (const TLOGGBOOK::Entry& e : f.LogBook->Entries)
    if (e.category == kLogRoute || e.category == kLogNextWaypoint) route.push_back(e.message);
  EXPECT_EQ(route, (std::vector<std::string>{"Route Started at R0", "Route Next WP at R1", "Route Next WP at R2"}));

  // Deactivated from the menu of the box: the quick buttons are back.
  f.MenuItem("DeactivateRoute1")->trigger();
  EXPECT_FALSE(f.Route->Following);
  EXPECT_TRUE(f.DashboardSet().Has(TDashBox::DB_QBUTT));
  EXPECT_EQ(f.LogBook->Entries.back().message, "Route Ending at R2");
}

TEST_F(RouteWindow, TheAcknowledgeKeysClearTheNewWaypointOnly) {
  T_Form& f = Run(kQuietSettings);
  TChartPlan plan;
  ASSERT_TRUE(f.LoadChart(chartfix::WriteKapChart(dir_ / "T.KAP", plan)));
  f.NavFlags.Include(nfNewWaypoint);
  f.Route->Alarms.NewWaypoint = true;
  EXPECT_TRUE(Key(&f, Qt::Key_F5));
  EXPECT_FALSE(f.NavFlags.Has(nfNewWaypoint));
  f.NavFlags.Include(nfNewWaypoint);
  EXPECT_TRUE(Key(&f, Qt::Key_N, Qt::ControlModifier));
  EXPECT_FALSE(f.NavFlags.Has(nfNewWaypoint));
}

}  // namespace
