// What a sailor notices first: a changed receiver datum, night shading on
// image charts, AUTOMATIC switched on and the message panel, each taking
// effect at once in the window.
#include <gtest/gtest.h>

#include <QFrame>
#include <QImage>

#include <string>
#include <vector>

#include "ChartFixtures.h"
#include "PlotterFixture.h"
#include "charts/ChartList.h"
#include "charts/ImageChart.h"
#include "foundation/GenUtil.h"
#include "instruments/NMEA.h"
#include "plotter/ChartCanvas.h"
#include "plotter/MainForm.h"
#include "plotter/core/Dashboard.h"
#include "plotter/core/PlotterFlags.h"

namespace {

using chartfix::TChartPlan;

const std::string kWindow =
    "[Program State]\r\nWinLeft=0\r\nWinTop=0\r\nWinWidth=1000\r\nWinHeight=700\r\nWinState=0\r\n";

class SettingsWindow : public PlotterClockTest {};

TEST_F(SettingsWindow, AChangedGpsDatumCountsAtOnce) {
  TChartPlan plan;
  const std::string chart = chartfix::WriteKapChart(dir_ / "D.KAP", plan);
  T_Form& f = Run("[Program Setup]\r\nCom Port=0\r\nGPS Datum=WGS84\r\n" + kWindow);
  ASSERT_TRUE(f.LoadChart(chart));
  EXPECT_EQ(f.Parser()->Info.DatumOffset, (TFPoint{0, 0}));
  // The setup dialog's OK applies the settings: the receiver's shift now.
  f.SysInfo.GPSDatum = "European 1950";
  f.ApplySettings(false);
  const TFPoint now = f.Parser()->Info.DatumOffset;
  EXPECT_NE(now, (TFPoint{0, 0}));
  // The same as a load of the chart with that setting gives.
  ASSERT_TRUE(f.LoadChart(chart));
  EXPECT_EQ(f.Parser()->Info.DatumOffset, now);
}

TEST_F(SettingsWindow, NightShadingDarkensAnImageChartAndDayBringsItBack) {
  TChartPlan plan;
  const std::string chart = chartfix::WritePngChart(dir_ / "N.PNG", plan);
  T_Form& f = Run("[Program Setup]\r\nCom Port=0\r\n" + kWindow);
  ASSERT_TRUE(f.LoadChart(chart));
  f.Chart().ZoomTo({0, 0}, 1.0);
  const QPoint at(100 - f.Chart().View.Scroll().X, 100 - f.Chart().View.Scroll().Y);
  const uint32_t day = chartfix::ColourOf(chartfix::PixelColour(100, 100)) & 0xFFFFFF;
  auto pixel = [&] { return f.ChartCanvas()->RenderFrame().pixel(at) & 0xFFFFFF; };
  EXPECT_EQ(pixel(), day);
  f.SetShadeLevel(3);
  const int level = ShadeValueForLevel(3, f.SysInfo);
  ASSERT_NE(level, 0);
  EXPECT_EQ(pixel(), ShadeRgb(level, day) & 0xFFFFFF);
  f.SetShadeLevel(0);
  EXPECT_EQ(pixel(), day);
  // A chart loaded at night comes shaded, and goes back by day.
  f.SetShadeLevel(3);
  ASSERT_TRUE(f.LoadChart(chart));
  EXPECT_EQ(pixel(), ShadeRgb(level, day) & 0xFFFFFF);
  f.SetShadeLevel(0);
  EXPECT_EQ(pixel(), day);
}

TEST_F(SettingsWindow, AutomaticSwitchedOnOpensTheChartForTheBoatAtOnce) {
  TChartPlan plan;
  const std::string chart = chartfix::WriteKapChart(dir_ / "A.KAP", plan);
  {
    TChartList list;
    list.AddEntry(chartfix::CatalogEntry(plan, chart), false);
    ASSERT_TRUE(list.SaveToFile(dir_ / "BRAINDEX.BIN"));
  }
  T_Form& f = Run("[Program Setup]\r\nCom Port=0\r\nAuto Scroll=0\r\n" + kWindow);
  ASSERT_FALSE(f.PlotterFlags.Has(pfAutomatic));
  ASSERT_FALSE(f.PlotterFlags.Has(pfChartLoaded));
  TNMEAINFO& n = f.Parser()->Info;
  n.Pos = {10.25 * kDegToRad, 54.35 * kDegToRad};
  n.FixStatus = kFixValid;
  f.DBI_AUTOClick();
  EXPECT_TRUE(f.PlotterFlags.Has(pfAutomatic));
  EXPECT_TRUE(f.PlotterFlags.Has(pfChartLoaded)) << "no tick has run yet";
  EXPECT_EQ(f.Chart().CurrentChartFile, chart);
}

TEST_F(SettingsWindow, TheMessagePanelIsCentredOverTheChart) {
  T_Form& f = Run("[Program Setup]\r\nCom Port=0\r\n" + kWindow);
  f.ShowMessageLine("Chart error on reading X.KAP");
  Settle();
  auto centred = [&] {
    const QWidget* area = f.MsgP->parentWidget();
    const QRect g = f.MsgP->geometry();
    EXPECT_TRUE(f.MsgP->isVisible());
    EXPECT_NEAR(g.center().x(), area->width() / 2, 2);
    EXPECT_NEAR(g.bottom(), area->height() / 2, 2);
    EXPECT_TRUE(area->rect().contains(g)) << g.x() << "," << g.y() << " " << g.width() << "x" << g.height();
  };
  centred();
  f.resize(1200, 800);
  Settle();
  centred();
  f.resize(700, 500);
  Settle();
  centred();
}

}  // namespace
