// The plotter's smaller dialogs driven through their controls on the
// offscreen platform: the chart search, the preferred charts (F8), the
// chart groups manager, the position editor, the route list grid (its legs
// checked against GeodSolve on the plotter's sphere) and the NMEA input
// monitor.
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QTableWidget>
#include <QKeyEvent>
#include <QLabel>
#include <QTreeWidget>

#include <cmath>
#include <cstdio>
#include <functional>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "ChartFixtures.h"
#include "PlotterFixture.h"
#include "charts/ChartList.h"
#include "foundation/GenUtil.h"
#include "instruments/NMEA.h"
#include "instruments/qt/PtyPair.h"
#include "navobjects/Routes.h"
#include "plotter/dialogs/AuxDialogs.h"
#include "sharedui/ChartInfoDialog.h"
#include "plotter/MainForm.h"
#include "plotter/PosEdit.h"
#include "sharedui/SpyFrm.h"

namespace {


// Keys typed into a widget as the window system delivers them.
void KeyClick(QWidget* w, int key, Qt::KeyboardModifiers mods = Qt::NoModifier, const QString& text = QString()) {
  QKeyEvent press(QEvent::KeyPress, key, mods, text);
  QApplication::sendEvent(w, &press);
  QKeyEvent release(QEvent::KeyRelease, key, mods, text);
  QApplication::sendEvent(w, &release);
}
void KeyClicks(QWidget* w, const QString& text) {
  for (QChar c : text) {
    const int key = c.isLetter() ? (Qt::Key_A + (c.toUpper().unicode() - u'A')) : c.unicode();
    KeyClick(w, key, c.isUpper() ? Qt::ShiftModifier : Qt::NoModifier, QString(c));
  }
}
void MouseClick(QWidget* w) {
  const QPointF at(w->width() / 2.0, w->height() / 2.0);
  SendMouse(w, QEvent::MouseButtonPress, at);
  SendMouse(w, QEvent::MouseButtonRelease, at, Qt::LeftButton, Qt::NoButton);
}

std::vector<std::string> ListTexts(const QListWidget* list) {
  std::vector<std::string> v;
  for (int i = 0; i < list->count(); ++i) v.push_back(list->item(i)->text().toStdString());
  return v;
}

std::vector<std::string> AvailNames(TChartAvail& avail) {
  std::vector<std::string> v;
  for (int i = 0; i < avail.ChartList->topLevelItemCount(); ++i)
    v.push_back(avail.ChartList->topLevelItem(i)->text(0).toStdString());
  std::sort(v.begin(), v.end());
  return v;
}

void Tick(QListWidget* list, const char* name) {
  for (int i = 0; i < list->count(); ++i)
    if (list->item(i)->text() == QLatin1String(name)) list->item(i)->setCheckState(Qt::Checked);
}

void Select(QListWidget* list, const char* name) {
  for (int i = 0; i < list->count(); ++i)
    if (list->item(i)->text() == QLatin1String(name)) list->item(i)->setSelected(true);
}

// Runs the answer for windows of type W; every other window is cancelled.
template <class W>
std::function<int(QDialog&)> Answer(std::function<int(W&)> answer) {
  return [answer](QDialog& d) {
    if (auto* w = qobject_cast<W*>(&d)) {
      d.show();
      QCoreApplication::processEvents();
      const int r = answer(*w);
      d.hide();
      return r;
    }
    return int(QDialog::Rejected);
  };
}

int Click(QDialog& d, QPushButton* b) {
  d.setResult(QDialog::Rejected);
  b->click();
  return d.result();
}

class AuxDialogs : public PlotterTest {
 protected:
  // Four charts side by side (0.5 degrees each from 10 E) and two groups:
  // "Harbours" (the two harbour charts) and "Coast".
  void WriteCatalog() {
    TChartList list;
    chartfix::AddFourCharts(dir_.path(), list);
    ASSERT_TRUE(list.SaveToFile(dir_ / "BRAINDEX.BIN"));
    list.AddGroup("Harbours");
    list.AddGroup("Coast");
    const int32_t h = list.GroupBit("Harbours");
    for (const char* n : {"Harbour Approach", "Inner Harbour"}) {
      const int i = list.FindByName(n);
      list.SetGroupMask(i, list.Entry(i)->GroupMask | h);
    }
    ASSERT_TRUE(list.SaveGroups(dir_ / "BRGROUPS.BIN"));
  }
  // The groups file as a fresh catalog reads it: group names and the
  // members of each.
  std::map<std::string, std::vector<std::string>> SavedGroups() {
    TChartList list;
    list.LoadFromFile(dir_ / "BRAINDEX.BIN", "");
    list.LoadGroups(dir_ / "BRGROUPS.BIN");
    std::map<std::string, std::vector<std::string>> groups;
    std::vector<std::string> names;
    list.ListGroups(names);
    for (const std::string& g : names) {
      std::vector<std::string> members, others;
      list.ListNames(list.GroupBit(g), members, "", others);
      std::sort(members.begin(), members.end());
      groups[g] = members;
    }
    return groups;
  }
};

// ---------------------------------------------------------------------------

TEST_F(AuxDialogs, ChartSearchFindsChartsByGroupNameAndPositionAndOpensTheChosenOne) {
  WriteCatalog();
  T_Form& f = Start();
  Show();
  ASSERT_EQ(f.ChartList->Count(), 4);
  // The mouse between the charts: the position fields take its position,
  // but "Search on Position" stays as the last search left it.
  f.Chart().MenuPos = {10.75 * kDegToRad, 54.35 * kDegToRad};
  f.Chart().MenuPosValid = true;

  struct TCase {
    const char* what;
    std::function<void(TS_Frm&)> fill;
    std::vector<std::string> listed;
  };
  const std::vector<TCase> cases = {
      {"nothing ticked", [](TS_Frm&) {}, {"Bay Entrance", "Harbour Approach", "Inner Harbour", "coastal passage"}},
      {"name, blanks around it, case ignored",
       [](TS_Frm& s) { KeyClicks(s.S_Txt, "  HARBOUR "); },
       {"Harbour Approach", "Inner Harbour"}},
      {"position only",
       [](TS_Frm& s) {
         s.S_Lat->SetMaskText("05421000N");
         s.S_Long->SetMaskText("01215000E");  // inside "Inner Harbour" (12.0 .. 12.5 E)
       },
       {"Inner Harbour"}},
      {"group only", [](TS_Frm& s) { Tick(s.BGL, "Harbours"); }, {"Harbour Approach", "Inner Harbour"}},
      {"group and name", [](TS_Frm& s) {
         Tick(s.BGL, "Harbours");
         KeyClicks(s.S_Txt, "inner");
       }, {"Inner Harbour"}},
  };
  bool positionTickedBefore = false;
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.what);
    bool positionTickedAtShow = !positionTickedBefore;
    std::vector<std::string> groupsShown, listed;
    f.RunDialog = [&](QDialog& d) {
      if (auto* s = qobject_cast<TS_Frm*>(&d)) {
        positionTickedAtShow = s->CB_SP->isChecked();
        groupsShown = ListTexts(s->BGL);
        EXPECT_EQ(s->S_Long->MaskText(), "01045000E");
        // Each search starts from clean boxes and fields.
        for (QCheckBox* b : {s->CB_SG, s->CB_SC, s->CB_SP}) b->setChecked(false);
        s->S_Txt->clear();
        s->CB_SC->setChecked(false);
        for (int i = 0; i < s->BGL->count(); ++i) s->BGL->item(i)->setCheckState(Qt::Unchecked);
        s->CB_SG->setChecked(false);
        c.fill(*s);
        return Click(d, s->OkButton);
      }
      if (auto* a = qobject_cast<TChartAvail*>(&d)) listed = AvailNames(*a);
      return int(QDialog::Rejected);
    };
    f.SearchByName1Click();
    EXPECT_EQ(positionTickedAtShow, positionTickedBefore);
    positionTickedBefore = f.Forms().S_Frm->CB_SP->isChecked();
    EXPECT_EQ(groupsShown, (std::vector<std::string>{"Harbours", "Coast"}));
    EXPECT_EQ(listed, c.listed);
  }

  // Chosen in the list: that chart opens. Without a position search the
  // chart keeps its own first view (0°N 0°E is not looked for).
  f.RunDialog = [&](QDialog& d) {
    if (auto* s = qobject_cast<TS_Frm*>(&d)) {
      s->CB_SG->setChecked(false);
      s->CB_SP->setChecked(false);
      s->S_Txt->setText("bay");
      EXPECT_TRUE(s->CB_SC->isChecked());
      return Click(d, s->OkButton);
    }
    if (auto* a = qobject_cast<TChartAvail*>(&d)) {
      EXPECT_EQ(AvailNames(*a), (std::vector<std::string>{"Bay Entrance"}));
      a->SelectedName = "Bay Entrance";
      return int(QDialog::Accepted);
    }
    return int(QDialog::Rejected);
  };
  f.SearchByName1Click();
  EXPECT_EQ(f.Chart().CurrentChartFile, dir_ / "D.PNG");
  EXPECT_EQ(f.Chart().ChartInfo.Layout.Name, "Bay Entrance");
  // The list of the search is not what "List All" shows next.
  EXPECT_EQ(f.Forms().ChartAvail->ChartList->topLevelItemCount(), 0);
}

TEST_F(AuxDialogs, PreferredChartsFromF8WritesTheBrowseOrAutoGroupsAndThePreferredScale) {
  WriteCatalog();
  T_Form& f = Start();
  Show();
  f.ChartList->LoadGroups(dir_ / "BRGROUPS.BIN");
  const int32_t coast = f.ChartList->GroupBit("Coast");
  ASSERT_NE(coast, 0);
  int shown = 0;
  f.RunDialog = Answer<TPSForm>([&](TPSForm& p) {
    ++shown;
    EXPECT_TRUE(p.GroupPanel->isVisible());
    EXPECT_GE(p.width(), 412);
    EXPECT_TRUE(p.PSMaxB->isChecked());
    EXPECT_FALSE(p.PSVal->isEnabled());
    Tick(p.BGL, "Coast");
    p.PSSetB->click();
    EXPECT_TRUE(p.PSVal->isEnabled());
    p.PSVal->setValue(25000);
    p.setResult(QDialog::Rejected);
    KeyClick(&p, Qt::Key_Return);
    return p.result();
  });
  Key(&f, Qt::Key_F8, Qt::NoModifier, false, 1000);
  EXPECT_EQ(shown, 1);
  EXPECT_EQ(f.SysInfo.BrowseGroups, coast);
  EXPECT_EQ(f.SysInfo.AutoGroups, 0);
  EXPECT_EQ(f.Chart().PreferredScale, 25000);

  // "M" cancels: nothing changes. Ctrl+C opens it too.
  f.RunDialog = Answer<TPSForm>([&](TPSForm& p) {
    ++shown;
    EXPECT_TRUE(p.PSSetB->isChecked());
    EXPECT_EQ(p.PSVal->value(), 25000);
    p.BGL->item(0)->setCheckState(Qt::Checked);
    p.PSMaxB->setChecked(true);
    p.setResult(QDialog::Accepted);
    KeyClick(&p, Qt::Key_M);
    return p.result();
  });
  // (Ctrl commands need a chart; in a text field Ctrl+C copies.)
  ASSERT_GE(f.OpenCatalogChart(0), 0);
  if (QWidget* w = QApplication::focusWidget()) w->clearFocus();
  Key(&f, Qt::Key_C, Qt::ControlModifier, false, 100000);
  EXPECT_EQ(shown, 2);
  EXPECT_EQ(f.SysInfo.BrowseGroups, coast);
  EXPECT_EQ(f.Chart().PreferredScale, 25000);

  // "Max Scale" and Ok: no preferred scale; in AUTOMATIC the ticks are
  // the "Auto Groups".
  f.PlotterFlags.Include(pfAutomatic);
  f.RunDialog = Answer<TPSForm>([&](TPSForm& p) {
    EXPECT_EQ(TickedItems(p.BGL), (std::vector<bool>{false, false}));
    Tick(p.BGL, "Harbours");
    p.PSMaxB->setChecked(true);
    return Click(p, p.SpeedButton2);
  });
  f.PrefScale1Click();
  EXPECT_EQ(f.SysInfo.AutoGroups, f.ChartList->GroupBit("Harbours"));
  EXPECT_EQ(f.SysInfo.BrowseGroups, coast);
  EXPECT_EQ(f.Chart().PreferredScale, 0);
}

TEST_F(AuxDialogs, PreferredChartsWithoutGroupsIsNarrowAndLeavesTheGroupsAlone) {
  T_Form& f = Start();
  Show();
  f.SysInfo.BrowseGroups = 5;
  f.RunDialog = Answer<TPSForm>([&](TPSForm& p) {
    EXPECT_FALSE(p.GroupPanel->isVisible());
    EXPECT_LT(p.width(), 412);
    return Click(p, p.SpeedButton2);
  });
  f.PrefScale1Click();
  EXPECT_EQ(f.SysInfo.BrowseGroups, 5);
}

TEST_F(AuxDialogs, ChartGroupsAddRenameDeleteAndMembersAreSavedOnOkAndUndoneOnCancel) {
  WriteCatalog();
  T_Form& f = Start();
  Show();
  std::vector<std::string> answers;
  std::vector<std::string> titles;
  f.InputQuery = [&](const std::string& title, const std::string&) -> std::optional<std::string> {
    titles.push_back(title);
    if (answers.empty()) return std::nullopt;
    std::string a = answers.front();
    answers.erase(answers.begin());
    return a;
  };

  // Ok: a new group "Bays" with "Bay Entrance" as member, "Coast" renamed
  // "Open Coast", "Harbours" loses "Inner Harbour"; a name of blanks is
  // refused.
  f.RunDialog = Answer<TGRP_Org>([&](TGRP_Org& g) {
    g.PC1->setCurrentWidget(g.GTab);
    EXPECT_EQ(ListTexts(g.MGrpLst), (std::vector<std::string>{"Harbours", "Coast"}));
    answers = {"   ", "Bays"};
    g.BtnNewGrp->click();
    g.BtnNewGrp->click();
    EXPECT_EQ(ListTexts(g.MGrpLst), (std::vector<std::string>{"Harbours", "Coast", "Bays"}));
    g.MGrpLst->setCurrentRow(1);
    answers = {"Open Coast"};
    g.BtnRenGrp->click();
    EXPECT_EQ(ListTexts(g.MGrpLst), (std::vector<std::string>{"Harbours", "Open Coast", "Bays"}));

    g.PC1->setCurrentWidget(g.OTab);
    g.GrpLst->setCurrentIndex(g.GrpLst->findText("Bays"));
    EXPECT_EQ(ListTexts(g.LB1), std::vector<std::string>{});
    EXPECT_EQ(ListTexts(g.LB2),
              (std::vector<std::string>{"Bay Entrance", "Harbour Approach", "Inner Harbour", "coastal passage"}));
    Select(g.LB2, "Bay Entrance");
    g.SpeedButton1->click();
    EXPECT_EQ(ListTexts(g.LB1), std::vector<std::string>{"Bay Entrance"});
    g.GrpLst->setCurrentIndex(g.GrpLst->findText("Harbours"));
    EXPECT_EQ(ListTexts(g.LB1), (std::vector<std::string>{"Harbour Approach", "Inner Harbour"}));
    Select(g.LB1, "Inner Harbour");
    g.SpeedButton2->click();
    EXPECT_EQ(ListTexts(g.LB1), std::vector<std::string>{"Harbour Approach"});
    return Click(g, g.BtnOk);
  });
  f.Groups1Click();
  EXPECT_EQ(titles, (std::vector<std::string>{"New Group", "New Group", "Change Group"}));
  using TGroups = std::map<std::string, std::vector<std::string>>;
  const TGroups saved = {{"Bays", {"Bay Entrance"}}, {"Harbours", {"Harbour Approach"}}, {"Open Coast", {}}};
  EXPECT_EQ(SavedGroups(), saved);

  // Cancel after deleting a group, moving members and ticking groups on
  // "Autoload Groups": the table and members come back from the file, the
  // autoload ticks stay.
  f.RunDialog = Answer<TGRP_Org>([&](TGRP_Org& g) {
    g.PC1->setCurrentWidget(g.ATab);
    Tick(g.AGL, "Bays");
    Tick(g.AGL2, "Harbours");
    g.PC1->setCurrentWidget(g.GTab);
    g.MGrpLst->setCurrentRow(0);
    questions_.Answer(idYes);
    g.BtnDelGrp->click();
    EXPECT_EQ(ListTexts(g.MGrpLst), (std::vector<std::string>{"Open Coast", "Bays"}));
    return Click(g, g.BtnCancel);
  });
  f.Groups1Click();
  EXPECT_EQ(Asked().back(), "Harbours will be deleted. Ok?");
  EXPECT_EQ(f.SysInfo.AutoGroups, f.ChartList->GroupBit("Bays"));
  EXPECT_EQ(f.SysInfo.BrowseGroups, f.ChartList->GroupBit("Harbours"));
  EXPECT_EQ(f.ChartList->GroupCount(), 3);
  std::vector<std::string> members, others;
  f.ChartList->ListNames(f.ChartList->GroupBit("Harbours"), members, "", others);
  EXPECT_EQ(members, std::vector<std::string>{"Harbour Approach"});
  EXPECT_EQ(SavedGroups(), saved);
}

// The keys of "Preferred Charts" work whichever control has the focus: "M"
// in the group list closes the window as it does on the window.
TEST_F(AuxDialogs, PreferredChartsSeesTheKeysFirst) {
  WriteCatalog();
  T_Form& f = Start();
  Show();
  f.ChartList->LoadGroups(dir_ / "BRGROUPS.BIN");
  for (int key : {int(Qt::Key_M), int(Qt::Key_Escape), int(Qt::Key_Return)}) {
    int result = -1;
    f.RunDialog = Answer<TPSForm>([&](TPSForm& p) {
      p.setResult(-1);
      p.BGL->setFocus();
      // The letter as the list would take it: a search for a group's name.
      KeyClick(p.BGL, key, Qt::NoModifier, key == Qt::Key_M ? QStringLiteral("m") : QString());
      result = p.result();
      return result;
    });
    f.PrefScale1Click();
    EXPECT_EQ(result, key == Qt::Key_Return ? int(QDialog::Accepted) : int(QDialog::Rejected)) << key;
  }
}

// Two charts of the same name are two members: each takes its own group
// bit, and the details show the one chosen.
TEST_F(AuxDialogs, ChartGroupsTellChartsOfTheSameNameApart) {
  // Two charts named alike (a catalog another scan wrote, say).
  {
    TChartList list;
    const struct {
      const char* name;
      const char* file;
      int32_t scale;
    } charts[] = {{"Twin A", "A.PNG", 10000}, {"Twin B", "B.PNG", 25000}};
    for (const auto& c : charts) {
      chartfix::TChartPlan plan;
      plan.name = c.name;
      plan.scale = c.scale;
      plan.width = 40;
      plan.height = 30;
      ASSERT_GE(list.AddEntry(chartfix::CatalogEntry(plan, chartfix::WritePngChart(dir_ / c.file, plan)), false), 0);
    }
    ASSERT_TRUE(list.SaveToFile(dir_ / "BRAINDEX.BIN"));
    list.AddGroup("Coast");
    ASSERT_TRUE(list.SaveGroups(dir_ / "BRGROUPS.BIN"));
    std::string bytes = ReadTestFile(dir_ / "BRAINDEX.BIN");
    const size_t at = bytes.find("Twin B");
    ASSERT_NE(at, std::string::npos);
    bytes.replace(at, 6, "Twin A");
    WriteTestFile(dir_ / "BRAINDEX.BIN", bytes);
  }
  T_Form& f = Start();
  Show();
  int inner = -1, approach = -1;
  for (int i = 0; i < f.ChartList->Count(); ++i)
    if (f.ChartList->Entry(i)->Name == "Twin A") (f.ChartList->Entry(i)->Scale == 10000 ? inner : approach) = i;
  ASSERT_GE(inner, 0);
  ASSERT_GE(approach, 0);
  const int32_t coast = f.ChartList->GroupBit("Coast");
  f.RunDialog = Answer<TGRP_Org>([&](TGRP_Org& g) {
    g.GrpLst->setCurrentIndex(g.GrpLst->findText("Coast"));
    // The second of the two twins in the list: the one at `inner`.
    int second = -1;
    for (int i = 0; i < g.LB2->count(); ++i)
      if (g.LB2->item(i)->text() == QLatin1String("Twin A") &&
          g.LB2->item(i)->data(Qt::UserRole).toInt() == inner)
        second = i;
    EXPECT_GE(second, 0);
    if (second < 0) return int(QDialog::Rejected);
    const QPointF at = g.LB2->visualItemRect(g.LB2->item(second)).center();
    SendMouse(g.LB2->viewport(), QEvent::MouseButtonPress, at);
    SendMouse(g.LB2->viewport(), QEvent::MouseButtonRelease, at, Qt::LeftButton, Qt::NoButton);
    EXPECT_EQ(g.C_Det->text().toStdString(), "Twin A 1:10000");
    g.SpeedButton1->click();
    return Click(g, g.BtnOk);
  });
  f.Groups1Click();
  EXPECT_NE(f.ChartList->Entry(inner)->GroupMask & coast, 0);
  EXPECT_EQ(f.ChartList->Entry(approach)->GroupMask & coast, 0);
}

// "Lambert Conformal Conic" asks for both standard parallels; an answer
// that is not a number leaves both as they were.
TEST(ChartInformation, LambertParallelsChangeTogetherOrNotAtAll) {
  T_CHInfo info;
  info.show();
  info.LatS = 30 * kDegToRad;
  info.LatN = 60 * kDegToRad;
  std::vector<std::string> answers;
  info.InputQuery = [&](const std::string&, const std::string&, const std::string&) -> std::optional<std::string> {
    if (answers.empty()) return std::nullopt;
    std::string a = answers.front();
    answers.erase(answers.begin());
    return a;
  };
  auto chooseLambert = [&] {
    info.Proj->setCurrentIndex(0);
    info.Proj->setFocus();
    for (int i = 0; i < 3; ++i) KeyClick(info.Proj, Qt::Key_Down);
    ASSERT_EQ(info.Proj->currentIndex(), 3);
  };
  answers = {"41", "north"};
  chooseLambert();
  EXPECT_TRUE(answers.empty());
  EXPECT_NEAR(info.LatS, 30 * kDegToRad, 1e-12);
  EXPECT_NEAR(info.LatN, 60 * kDegToRad, 1e-12);
  answers = {"41", "49,5"};
  chooseLambert();
  EXPECT_NEAR(info.LatS, 41 * kDegToRad, 1e-12);
  EXPECT_NEAR(info.LatN, 49.5 * kDegToRad, 1e-12);
}

TEST_F(AuxDialogs, ChartGroupsMakeNoTwentyFifthGroup) {
  WriteCatalog();
  T_Form& f = Start();
  Show();
  for (int i = 2; i < kChartGroupCount; ++i) f.ChartList->AddGroup("G" + std::to_string(i));
  ASSERT_EQ(f.ChartList->GroupCount(), kChartGroupCount);
  int asked = 0;
  f.InputQuery = [&](const std::string&, const std::string&) -> std::optional<std::string> {
    ++asked;
    return std::string("One too many");
  };
  f.RunDialog = Answer<TGRP_Org>([&](TGRP_Org& g) {
    g.PC1->setCurrentWidget(g.GTab);
    g.BtnNewGrp->click();
    return Click(g, g.BtnOk);
  });
  f.Groups1Click();
  EXPECT_EQ(asked, 0);
  EXPECT_EQ(f.ChartList->GroupCount(), kChartGroupCount);
  EXPECT_EQ(SavedGroups().size(), static_cast<size_t>(kChartGroupCount));
}

// ---------------------------------------------------------------------------

TRoutePointRec Point(const char* name, double lonDeg, double latDeg, const char* comment = "") {
  TRoutePointRec r;
  r.Name = name;
  r.Comment = comment;
  r.Position = {lonDeg * kDegToRad, latDeg * kDegToRad};
  return r;
}

TEST_F(AuxDialogs, PositionEditorRefusesEmptyAndUsedNamesAndSavesTrimmedValues) {
  T_Form& f = Start();
  Show();
  f.Positions->AddRecord(Point("Buoy", 10.1, 54.3, "red"));
  f.Positions->AddRecord(Point("Pier", 10.2, 54.4));
  f.Positions->Modified = false;
  TNavShape* buoy = f.Positions->FindByName("Buoy");
  ASSERT_TRUE(buoy);

  // Each showing types one name; the last one is saved.
  const std::vector<std::string> names = {" Pier ", "   ", "  buoy  "};
  size_t shown = 0;
  f.RunDialog = Answer<TWptEdFrm>([&](TWptEdFrm& e) {
    if (shown == 0) {
      EXPECT_EQ(e.WPText->text(), "Buoy");
      EXPECT_EQ(e.WPComment->toPlainText(), "red");
      EXPECT_EQ(e.WPLat->MaskText(), "05418000N");
      EXPECT_EQ(QApplication::focusWidget(), e.WPText);
    } else {
      // The editor opens again with what the user typed.
      EXPECT_EQ(e.WPText->text().toStdString(), names[shown - 1]);
    }
    e.WPText->clear();
    KeyClicks(e.WPText, QString::fromStdString(names[shown]));
    if (++shown == names.size()) {
      e.WPComment->setPlainText("  green now \n");
      e.WPLong->SetMaskText("01030000E");
    }
    e.setResult(QDialog::Rejected);
    KeyClick(e.WPText, Qt::Key_Return);
    return e.result();
  });
  f.PositionCommands().EditPosition(buoy);
  ASSERT_EQ(shown, 3u);
  EXPECT_EQ(Asked(), (std::vector<std::string>{"Pier is in use.", "A position needs a name."}));
  EXPECT_EQ(buoy->Caption, "buoy");
  EXPECT_EQ(buoy->Comment, "green now");
  EXPECT_NEAR(buoy->Position.X, 10.5 * kDegToRad, 1e-9);
  EXPECT_NEAR(buoy->Position.Y, 54.3 * kDegToRad, 1e-9);
  EXPECT_TRUE(f.Positions->Modified);

  // Escape changes nothing.
  f.Positions->Modified = false;
  f.RunDialog = Answer<TWptEdFrm>([&](TWptEdFrm& e) {
    e.WPText->setText("Other");
    e.setResult(QDialog::Accepted);
    KeyClick(e.WPText, Qt::Key_Escape);
    return e.result();
  });
  f.PositionCommands().EditPosition(buoy);
  EXPECT_EQ(buoy->Caption, "buoy");
  EXPECT_FALSE(f.Positions->Modified);

  // A double-click on the positions list edits the position chosen there.
  f.PositionCommands().FillPositionList();
  auto* list = f.DB->findChild<QComboBox*>("DBC_RTAddWP");
  ASSERT_TRUE(list);
  list->setCurrentIndex(list->findText("Pier"));
  std::string edited;
  f.RunDialog = Answer<TWptEdFrm>([&](TWptEdFrm& e) {
    edited = e.WPText->text().toStdString();
    return int(QDialog::Rejected);
  });
  SendMouse(list, QEvent::MouseButtonDblClick, QPointF(5, 5));
  EXPECT_EQ(edited, "Pier");
}

// ---------------------------------------------------------------------------
// The route grid against GeodSolve on the sphere of one nautical mile per
// minute of arc.

struct TGeod {
  double distanceNm;
  double meanAzimuth;  // degrees: the mean of the start and end azimuths
};

std::optional<TGeod> GeodSolve(double lat1, double lon1, double lat2, double lon2) {
  std::ostringstream cmd;
  cmd.precision(12);
  cmd << "echo " << lat1 << " " << lon1 << " " << lat2 << " " << lon2
      << " | GeodSolve -i -e 6366707.0194937074957 0 -p 6 2>/dev/null";
  FILE* p = popen(cmd.str().c_str(), "r");
  if (!p) return std::nullopt;
  double azi1 = 0, azi2 = 0, s12 = 0;
  const int n = std::fscanf(p, "%lf %lf %lf", &azi1, &azi2, &s12);
  pclose(p);
  if (n != 3) return std::nullopt;
  double mean = (azi1 + azi2) / 2;
  if (mean < 0) mean += 360;
  return TGeod{s12 / 1852.0, mean};
}

double Number(const std::string& s) { return std::strtod(s.c_str(), nullptr); }

TEST_F(AuxDialogs, RouteGridAgreesWithGeodSolveAndWritesBackAllRowsOrNone) {
  if (!TestFileExists("/usr/bin/GeodSolve")) GTEST_SKIP() << "GeodSolve (GeographicLib) is not installed";
  T_Form& f = Start(std::string(kQuietSettings) + "Default Speed=5\r\n");
  Show();
  const TRoutePoints points = {Point("Start", 10.10, 54.30), Point("Mid", 10.25, 54.40), Point("", 10.30, 54.20),
                               Point("End", 10.05, 54.15)};
  for (TRoutePointRec r : points) {
    if (r.Name == "Mid") r.LegSpeed = 6;
    f.Route->AddRecord(r);
  }
  f.Route->Modified = false;

  std::vector<TRouteGridRow> shown;
  std::vector<std::string> titles;
  std::string caption;
  f.RunDialog = Answer<TBrowser>([&](TBrowser& b) {
    caption = b.windowTitle().toStdString();
    for (int c = 0; c < b.Grid->columnCount(); ++c) titles.push_back(b.Grid->horizontalHeaderItem(c)->text().toStdString());
    shown = b.Rows();
    // Only the name, position, speed and limit of point rows can be edited.
    EXPECT_TRUE(b.Grid->item(0, 1)->flags() & Qt::ItemIsEditable);
    EXPECT_TRUE(b.Grid->item(3, 5)->flags() & Qt::ItemIsEditable);
    EXPECT_FALSE(b.Grid->item(0, 6)->flags() & Qt::ItemIsEditable);
    EXPECT_FALSE(b.Grid->item(4, 1)->flags() & Qt::ItemIsEditable);
    return int(QDialog::Rejected);
  });
  f.RteListMnuClick();
  ASSERT_EQ(shown.size(), points.size() + 1);
  EXPECT_EQ(caption, "No Name");
  EXPECT_EQ(titles, (std::vector<std::string>{"Id", "Name", "Lat", "Long", "Speed", "XTE", "Dist", "Time", "BOD"}));
  EXPECT_EQ(shown[0][0], "wp 1");
  EXPECT_EQ(shown[1][4], "060");
  EXPECT_EQ(shown[0][2], "05418000N");
  EXPECT_EQ(shown[0][8], "");
  double total = 0, hours = 0;
  for (size_t i = 1; i < points.size(); ++i) {
    SCOPED_TRACE("leg " + std::to_string(i));
    const auto g = GeodSolve(points[i - 1].Position.Y * kRadToDeg, points[i - 1].Position.X * kRadToDeg,
                             points[i].Position.Y * kRadToDeg, points[i].Position.X * kRadToDeg);
    ASSERT_TRUE(g);
    total += g->distanceNm;
    hours += g->distanceNm / (i == 1 ? 6.0 : 5.0);
    // Tenths of a mile, cumulative.
    EXPECT_NEAR(Number(shown[i][6]) / 10, total, 0.06);
    const std::string bod = shown[i][8];
    ASSERT_GE(bod.size(), 3u);
    EXPECT_NEAR(Number(bod.substr(0, bod.size() - 2)), g->meanAzimuth, 0.11);
  }
  const TRouteGridRow& sum = shown.back();
  EXPECT_EQ(sum[1], "Sum and average");
  EXPECT_NEAR(Number(sum[6]) / 10, total, 0.06);
  EXPECT_NEAR(Number(sum[4]) / 10, total / hours, 0.06);
  // Whole seconds, then whole minutes.
  const int minutes = static_cast<int>(std::lround(hours * 3600)) / 60;
  char hhhmm[16];
  std::snprintf(hhhmm, sizeof hhhmm, "%03d:%02d", minutes / 60, minutes % 60);
  EXPECT_EQ(sum[7], hhhmm);

  // An edited name, position and speed are written back; a latitude of 95
  // degrees in another row makes the update change nothing.
  auto edit = [](TBrowser& b, int row, int column, const char* typed) {
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    b.Grid->setCurrentCell(row, column);
    b.Grid->editItem(b.Grid->item(row, column));
    // The editor on show (those closed before wait for the event loop to go).
    QLineEdit* editor = nullptr;
    for (QLineEdit* e : b.Grid->viewport()->findChildren<QLineEdit*>())
      if (e->isVisible()) editor = e;
    ASSERT_TRUE(editor);
    editor->selectAll();
    editor->home(false);
    editor->end(true);
    KeyClicks(editor, typed);
    KeyClick(editor, Qt::Key_Return);
    // Enter commits through a queued call.
    QCoreApplication::processEvents();
  };
  for (bool valid : {false, true}) {
    SCOPED_TRACE(valid ? "valid" : "invalid");
    f.RunDialog = Answer<TBrowser>([&](TBrowser& b) {
      edit(b, 1, 1, "Halfway");
      edit(b, 1, 2, "05424500n");
      edit(b, 1, 4, "075");
      if (!valid) edit(b, 2, 2, "09500000N");
      EXPECT_EQ(b.Cell(2, 2), valid ? "05412000N" : "09500000N");
      EXPECT_EQ(b.Cell(1, 2), "05424500N");
      EXPECT_EQ(b.Grid->item(1, 2)->data(Qt::DisplayRole).toString().toStdString(), "05424500N");
      return Click(b, b.UpdateButton);
    });
    questions_.Clear();
    f.RteListMnuClick();
    const TNavShape* mid = f.Route->At(1);
    if (!valid) {
      EXPECT_EQ(Asked().size(), 1u);
      EXPECT_EQ(mid->Caption, "Mid");
      EXPECT_NEAR(mid->Position.Y, 54.40 * kDegToRad, 1e-9);
      EXPECT_EQ(mid->LegSpeed, 6);
      EXPECT_FALSE(f.Route->Modified);
    } else {
      EXPECT_TRUE(Asked().empty());
      EXPECT_EQ(mid->Caption, "Halfway");
      EXPECT_NEAR(mid->Position.Y, (54 + 24.5 / 60) * kDegToRad, 1e-9);
      EXPECT_EQ(mid->LegSpeed, 7.5);
      EXPECT_TRUE(f.Route->Modified);
    }
  }
}

// ---------------------------------------------------------------------------

TEST_F(AuxDialogs, InputMonitorShowsSentencesAsTheyArriveAndGoesWhenClosed) {
  T_Form& f = Start();
  Show();
  QAction* item = f.MenuItem("NMEAInputMonitor1");
  ASSERT_TRUE(item && item->isEnabled());
  item->trigger();
  ASSERT_TRUE(f.Monitors().InputMonitor);
  EXPECT_TRUE(f.Monitors().InputMonitor->isVisible());
  EXPECT_EQ(f.Monitors().InputMonitor->windowTitle(), "NMEA Input Monitor");
  EXPECT_TRUE(item->isChecked());
  f.NMEABuffer->FeedText("$GPHDT,123.4,T*hh\r\n$IIDBT,10.0,f,3.0,M,1.6,F*hh\r\n");
  const std::vector<std::string> lines = f.Monitors().InputMonitor->Lines();
  ASSERT_EQ(lines.size(), 2u) << ::testing::PrintToString(lines);
  EXPECT_NE(lines[0].find("$GPHDT,123.4,T"), std::string::npos);
  EXPECT_NE(lines[1].find("$IIDBT"), std::string::npos);

  // Paused: lines are dropped, not kept for later.
  f.Monitors().InputMonitor->SetRunning(false);
  f.NMEABuffer->FeedText("$GPHDT,1.0,T*hh\r\n");
  f.Monitors().InputMonitor->SetRunning(true);
  EXPECT_EQ(f.Monitors().InputMonitor->LineCount(), 2);

  // Closed with its "X": the next tick switches it off.
  f.Monitors().InputMonitor->close();
  f.ComTimer().Fire();
  EXPECT_FALSE(f.Monitors().InputMonitor);
  EXPECT_FALSE(item->isChecked());
  EXPECT_FALSE(f.Parser()->OnSentence);
  f.NMEABuffer->FeedText("$GPHDT,2.0,T*hh\r\n");
}

class AuxMonitors : public PlotterClockTest {};

TEST_F(AuxMonitors, OutputMonitorShowsWhatIsSentAndGoesWhenClosed) {
  TPtyPair a;
  ASSERT_TRUE(a.Ok());
  T_Form& f = Run("[Program Setup]\r\nCom Port=1\r\nCom Device=" + a.SlavePath() +
                  "\r\nBaudRateId=5\r\nCom Port B=0\r\nCom Port C=0\r\n");
  // Enough sentences that the port takes them in parts, and more than the
  // monitor keeps.
  for (int i = 0; i < 80; ++i) f.Route->AddRecord(Point(("WP" + std::to_string(i + 1)).c_str(), 10.25, 54.25 + i * 0.01));
  QAction* item = f.MenuItem("NMEAOutputMonitor1");
  ASSERT_TRUE(item);
  item->trigger();
  ASSERT_TRUE(f.Monitors().OutputMonitor);
  EXPECT_EQ(f.Monitors().OutputMonitor->windowTitle(), "NMEA Output Monitor");
  f.MenuItem("FMRouteExportNMEA")->trigger();
  std::string got;
  ASSERT_TRUE(WaitFor(
      [&] {
        f.Ports().PumpPorts();
        got += a.Read();
        return f.Parser()->Info.OutBuffer.empty() && got.size() > 0 && got.back() == '\n';
      },
      10000));
  // The last lines sent, whole, as they went out, without their line ends.
  std::vector<std::string> sent;
  for (size_t start = 0, nl; (nl = got.find("\r\n", start)) != std::string::npos; start = nl + 2)
    sent.push_back(got.substr(start, nl - start));
  ASSERT_EQ(sent.size(), 160u);
  const std::vector<std::string> shown = f.Monitors().OutputMonitor->Lines();
  ASSERT_GE(shown.size(), 100u);
  ASSERT_LE(shown.size(), sent.size());
  EXPECT_EQ(shown, std::vector<std::string>(sent.end() - static_cast<long>(shown.size()), sent.end()));

  // Closed with its "X": the next pump switches it off.
  f.Monitors().OutputMonitor->close();
  f.Output().SendRoute();
  f.Ports().PumpPorts();
  EXPECT_FALSE(f.Monitors().OutputMonitor);
  EXPECT_FALSE(item->isChecked());
}

TEST_F(AuxDialogs, AboutBoxClosesOnAClick) {
  T_Form& f = Start();
  Show();
  int shown = 0;
  f.RunDialog = Answer<TAboutBox>([&](TAboutBox& a) {
    ++shown;
    EXPECT_FALSE(a.Version->text().isEmpty());
    a.setResult(QDialog::Rejected);
    MouseClick(a.ProductName);
    return a.result();
  });
  f.MenuItem("About1")->trigger();
  EXPECT_EQ(shown, 1);
}

}  // namespace
