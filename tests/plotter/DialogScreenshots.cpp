// Pictures of the smaller dialogs, filled as in use, for looking at
// (tools/screenshot-dialogs.sh runs this with BRISMARE_DIALOG_SHOTS set to
// the directory for the PNG files and, for a large font, with
// BRISMARE_DIALOG_SHOTS_FONT set to a point size). Without the variable
// the test is skipped.
#include <QComboBox>
#include <QFont>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTableWidget>

#include <cstdlib>
#include <string>

#include "ChartFixtures.h"
#include "PlotterFixture.h"
#include "charts/ChartList.h"
#include "instruments/NMEA.h"
#include "navobjects/Routes.h"
#include "plotter/dialogs/AuxDialogs.h"
#include "plotter/MainForm.h"
#include "plotter/PosEdit.h"
#include "plotter/printing/PrintDialogs.h"
#include "plotter/settings/Setup1.h"
#include "sharedui/SpyFrm.h"

namespace {

class DialogScreenshots : public PlotterTest {};

TEST_F(DialogScreenshots, WriteThePictures) {
  const char* dir = std::getenv("BRISMARE_DIALOG_SHOTS");
  if (!dir || !*dir) GTEST_SKIP() << "BRISMARE_DIALOG_SHOTS is not set";
  const std::string out = dir;
  const char* fontSize = std::getenv("BRISMARE_DIALOG_SHOTS_FONT");
  const std::string suffix = fontSize && *fontSize ? std::string("-large") : std::string();
  const QFont before = QApplication::font();
  if (fontSize && *fontSize) {
    QFont big = before;
    big.setPointSizeF(std::atof(fontSize));
    QApplication::setFont(big);
  }

  // A small catalog with groups; its charts in the directory the script
  // names (its path shows in the pictures), else in the data directory.
  const char* chartsDir = std::getenv("BRISMARE_DIALOG_SHOTS_CHARTS");
  const std::string charts = chartsDir && *chartsDir ? std::string(chartsDir) : dir_.path();
  {
    TChartList list;
    const char* names[] = {"Harbour Approach", "Coastal Passage North", "Inner Harbour", "Bay Entrance"};
    for (int i = 0; i < 4; ++i) {
      chartfix::TChartPlan plan;
      plan.name = names[i];
      plan.scale = 10000 * (i + 1);
      plan.width = 40;
      plan.height = 30;
      plan.west += i;
      plan.east += i;
      const std::string file = chartfix::WritePngChart(charts + "/C" + std::to_string(i) + ".PNG", plan);
      list.AddEntry(chartfix::CatalogEntry(plan, file), false);
    }
    list.SaveToFile(dir_ / "BRAINDEX.BIN");
    list.AddGroup("Harbours");
    list.AddGroup("Coast");
    list.AddGroup("Baltic Sea");
    list.SetGroupMask(0, list.Entry(0)->GroupMask | list.GroupBit("Harbours"));
    list.SaveGroups(dir_ / "BRGROUPS.BIN");
  }
  T_Form& f = Start();
  Show();
  TRoutePointRec a, b, c;
  a.Name = "Harbour entrance";
  a.Position = {10.10 * kDegToRad, 54.30 * kDegToRad};
  b.Name = "Sound";
  b.Position = {10.25 * kDegToRad, 54.40 * kDegToRad};
  b.LegSpeed = 6;
  c.Name = "Anchorage";
  c.Position = {10.30 * kDegToRad, 54.20 * kDegToRad};
  for (const TRoutePointRec& r : {a, b, c}) f.Route->AddRecord(r);
  f.Positions->AddRecord(a);
  f.Chart().MenuPos = {10.2 * kDegToRad, 54.33 * kDegToRad};
  f.Chart().MenuPosValid = true;

  auto shoot = [&](QWidget& w, const std::string& name) {
    w.show();
    for (int i = 0; i < 5; ++i) QCoreApplication::processEvents();
    EXPECT_TRUE(w.grab().save(QString::fromStdString(out + "/" + name + suffix + ".png"))) << name;
  };
  f.RunDialog = [&](QDialog& d) {
    if (auto* s = qobject_cast<TS_Frm*>(&d)) {
      s->S_Txt->setText("harbour");
      shoot(d, "chart-search");
    } else if (auto* p = qobject_cast<TPSForm*>(&d)) {
      p->BGL->item(0)->setCheckState(Qt::Checked);
      shoot(d, "preferred-charts");
    } else if (auto* g = qobject_cast<TGRP_Org*>(&d)) {
      d.show();
      g->GrpLst->setCurrentIndex(0);
      g->LB2->item(0)->setSelected(true);
      shoot(d, "chart-groups-organize");
      g->PC1->setCurrentWidget(g->ATab);
      shoot(d, "chart-groups-autoload");
      g->PC1->setCurrentWidget(g->GTab);
      shoot(d, "chart-groups-setup");
    } else if (qobject_cast<TWptEdFrm*>(&d)) {
      qobject_cast<TWptEdFrm*>(&d)->WPComment->setPlainText("Green buoy, lit");
      shoot(d, "position-editor");
    } else if (qobject_cast<TBrowser*>(&d)) {
      shoot(d, "route-list");
    } else if (qobject_cast<TAboutBox*>(&d)) {
      shoot(d, "about");
    }
    d.hide();
    return int(QDialog::Rejected);
  };
  f.SearchByName1Click();
  f.PrefScale1Click();
  f.Groups1Click();
  f.PositionCommands().EditPosition(f.Positions->At(0));
  f.RteListMnuClick();
  f.About1Click();

  TRLForm* select = f.Forms().RLForm;
  for (const char* n : {"1: Brisvik - Sandhamn", "2: Sandhamn - Utö", "3: Around the island"}) select->RList->addItem(n);
  shoot(*select, "select-route");
  select->hide();

  f.NMEAInput1Click();
  f.NMEABuffer->FeedText("$GPRMC,101530,A,5418.000,N,01006.000,E,5.2,45.0,101226,2.5,E*hh\r\n"
                         "$GPGGA,101530,5418.000,N,01006.000,E,1,08,0.9,2.0,M,40.0,M,,*hh\r\n"
                         "$IIDBT,32.8,f,10.0,M,5.4,F*hh\r\n");
  shoot(*f.Monitors().InputMonitor, "nmea-input-monitor");
  f.NMEAInput1Click();
  // The setup dialog, page by page.
  TSetupFrm* setup = f.Forms().SetupFrm;
  setup->LoadControls(f.SysInfo);
  for (int i = 0; i < setup->PageControl->count(); ++i) {
    setup->PageControl->setCurrentIndex(i);
    shoot(*setup, "setup-" + setup->PageControl->widget(i)->objectName().toStdString());
  }
  setup->hide();
  // Printing: the options window and a list in preview.
  shoot(*f.Forms().PRInit, "print-options");
  f.Forms().PRInit->hide();
  f.RunDialog = [&](QDialog& d) {
    shoot(d, "route-print-preview");
    return int(QDialog::Rejected);
  };
  f.RoutePrintClick();
  // The message panel over the chart area.
  f.ShowMessageLine("Chart error on reading HARBOUR.KAP: the chart has no size");
  shoot(f, "message-panel");
  QApplication::setFont(before);
}

}  // namespace
