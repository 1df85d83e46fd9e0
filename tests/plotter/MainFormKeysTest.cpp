// The keyboard map in the window: keys reach the map before the focused
// control, Ctrl commands need a chart, editing keys stay with text fields.
#include <QAction>
#include <QFrame>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QThread>

#include <optional>

#include "PlotterFixture.h"

namespace {

using PlotterKeys = PlotterTest;

struct KeyRow {
  const char* label;
  int key;
  Qt::KeyboardModifiers mods;
  std::optional<TKeyAction> noChart;  // nullopt: not the map's key
  std::optional<TKeyAction> withChart;
};

TEST_F(PlotterKeys, KeysToActionsWithAndWithoutAChart) {
  using A = TKeyAction;
  const Qt::KeyboardModifiers none = Qt::NoModifier;
  const Qt::KeyboardModifiers ctrl = Qt::ControlModifier;
  const Qt::KeyboardModifiers keypad = Qt::KeypadModifier;
  const KeyRow rows[] = {
      {"F2", Qt::Key_F2, none, A::ToggleAutomatic, A::ToggleAutomatic},
      {"F7", Qt::Key_F7, none, A::LogBookEntry, A::LogBookEntry},
      {"F12", Qt::Key_F12, none, A::ToggleOutlines, A::ToggleOutlines},
      {"F13", Qt::Key_F13, none, A::None, A::None},
      {"F1", Qt::Key_F1, none, std::nullopt, std::nullopt},
      {"keypad +", Qt::Key_Plus, keypad, A::ZoomInAtMouse, A::ZoomInAtMouse},
      {"keypad -", Qt::Key_Minus, keypad, A::ZoomOutAtMouse, A::ZoomOutAtMouse},
      {"main keyboard -", Qt::Key_Minus, none, std::nullopt, std::nullopt},
      {"Ctrl+Space", Qt::Key_Space, ctrl, std::nullopt, A::ManOverboard},
      {"Ctrl+3", Qt::Key_3, ctrl, std::nullopt, A::ShadeLevel},
      {"Ctrl+D", Qt::Key_D, ctrl, std::nullopt, A::ToggleDashboard},
      {"Ctrl+W", Qt::Key_W, ctrl, std::nullopt, A::ListAllCharts},
      {"Ctrl+Z", Qt::Key_Z, ctrl, std::nullopt, A::ZoomInAtMouse},
      {"Ctrl+K", Qt::Key_K, ctrl, std::nullopt, A::None},
      {"the Ctrl key", Qt::Key_Control, ctrl, std::nullopt, std::nullopt},
  };
  T_Form& f = Start();
  Show();
  f.MapCanvas->setFocus();
  std::vector<TKeyDecision> seen;
  f.KeyObserver = [&](const TKeyDecision& d) { seen.push_back(d); };

  for (bool chart : {false, true}) {
    f.PlotterFlags.Set(pfChartLoaded, chart);
    for (const KeyRow& r : rows) {
      SCOPED_TRACE(std::string(r.label) + (chart ? " with a chart" : " without a chart"));
      seen.clear();
      Key(&f, r.key, r.mods, false, 0);
      const std::optional<TKeyAction>& expected = chart ? r.withChart : r.noChart;
      ASSERT_EQ(seen.size(), expected ? 1u : 0u);
      if (expected) {
        EXPECT_EQ(KeyActionName(seen[0].action), KeyActionName(*expected));
      }
    }
  }
}

TEST_F(PlotterKeys, KeysDoWhatTheirPartsAlreadyOffer) {
  T_Form& f = Start();
  Show();
  f.MapCanvas->setFocus();
  // F2 and F3: AUTOMATIC and TRACK, kept for the next start.
  Key(&f, Qt::Key_F2);
  EXPECT_TRUE(f.PlotterFlags.Has(pfAutomatic));
  EXPECT_TRUE(f.SysInfo.AutoScroll);
  EXPECT_FALSE(f.SubMenu("NAC")->menuAction()->isVisible());
  EXPECT_EQ(f.DBI_AUTO->text(), "AUTOMATIC ON");
  Key(&f, Qt::Key_F3);
  EXPECT_TRUE(f.PlotterFlags.Has(pfTracking));
  EXPECT_TRUE(f.SysInfo.ShowTrack);
  Key(&f, Qt::Key_F2);
  EXPECT_FALSE(f.PlotterFlags.Has(pfAutomatic));

  // With a chart: night shading and the dashboard.
  f.PlotterFlags.Include(pfChartLoaded);
  Key(&f, Qt::Key_4, Qt::ControlModifier);
  EXPECT_EQ(f.ShadeLevel(), 3);
  EXPECT_TRUE(f.SBC[3]->isChecked());
  Key(&f, Qt::Key_1, Qt::ControlModifier);
  EXPECT_EQ(f.ShadeLevel(), 0);
  Key(&f, Qt::Key_D, Qt::ControlModifier);
  EXPECT_FALSE(f.Dashboard().DashboardExpanded());
  EXPECT_EQ(f.DB->width(), 3);
  Key(&f, Qt::Key_D, Qt::ControlModifier);
  EXPECT_TRUE(f.Dashboard().DashboardExpanded());
  EXPECT_EQ(f.DB->width(), f.DashboardDesignWidth);
}

TEST_F(PlotterKeys, EditingKeysReachAFocusedField) {
  T_Form& f = Start();
  Show();
  f.PlotterFlags.Include(pfChartLoaded);
  f.DB_DR->show();
  f.DB_DRCrs->setText("123");
  f.DB_DRCrs->setFocus();
  ASSERT_EQ(QApplication::focusWidget(), f.DB_DRCrs);
  std::vector<TKeyDecision> seen;
  f.KeyObserver = [&](const TKeyDecision& d) { seen.push_back(d); };

  Key(&f, Qt::Key_A, Qt::ControlModifier);
  EXPECT_EQ(f.DB_DRCrs->selectedText(), "123");  // select all, not AUTOMATIC
  EXPECT_FALSE(f.PlotterFlags.Has(pfAutomatic));
  Key(&f, Qt::Key_X, Qt::ControlModifier);
  EXPECT_EQ(f.DB_DRCrs->text(), "");  // cut, not zoom
  EXPECT_TRUE(seen.empty());
  // Command keys that are no editing keys still work while typing.
  Key(&f, Qt::Key_T, Qt::ControlModifier);
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_EQ(seen[0].action, TKeyAction::ToggleTrack);
}

TEST_F(PlotterKeys, AutoRepeatDoesNotPileUp) {
  T_Form& f = Start();
  Show();
  f.MapCanvas->setFocus();
  int runs = 0;
  // A command that takes 300 ms.
  f.KeyObserver = [&](const TKeyDecision&) {
    ++runs;
    QThread::msleep(300);
  };
  Key(&f, Qt::Key_F9, Qt::NoModifier, false, 10000);
  // Repeats the keyboard produced while the command ran are dropped ...
  for (unsigned long t = 10030; t < 10300; t += 30) Key(&f, Qt::Key_F9, Qt::NoModifier, true, t);
  EXPECT_EQ(runs, 1);
  // ... a repeat after it ran is a new command.
  Key(&f, Qt::Key_F9, Qt::NoModifier, true, 20000);
  EXPECT_EQ(runs, 2);
}

}  // namespace
