#include "plotter/dashboard/NightShade.h"

#include <QApplication>
#include <QPushButton>
#include <QWidget>

#include "charts/BMPager.h"
#include "charts/ChartFile.h"
#include "charts/KAPctrl.h"
#include "charts/WCIctrl.h"
#include "foundation/qt/SysColor.h"
#include "navobjects/NavCtrls.h"
#include "plotter/Artwork.h"
#include "plotter/chartview/ChartDisplay.h"
#include "plotter/core/SysInfo.h"
#include "plotter/dashboard/DashboardColumn.h"
#include "plotter/symbols/ChartSymbols.h"

TNightShade::TNightShade(const TWindowContext& c, TWindowColours& colours, const TObjects& objects,
                         TChartDisplay& chart, TChartSymbols& symbols, TDashboardColumn& dashboard, QWidget& canvas)
    : TWindowFeature(c),
      windowColours_(colours),
      o_(objects),
      chart_(chart),
      symbols_(symbols),
      dashboard_(dashboard),
      canvas_(canvas),
      buttons_{&Widget<QPushButton>("SBC0"), &Widget<QPushButton>("SBC1"), &Widget<QPushButton>("SBC2"),
               &Widget<QPushButton>("SBC3")} {}

void TNightShade::RecomputeColours() {
  windowColours_ = ComputeWindowColours(ShadeValueForLevel(level_, sys_), sys_);
  // The chart background: black while shaded, the workspace colour by day.
  if (colours_.blackBackground) {
    QPalette p = QApplication::palette();
    p.setColor(QPalette::Dark, Qt::black);
    canvas_.setPalette(p);
  } else {
    canvas_.setPalette(QPalette());
  }
  o_.boat.Color = colours_.boat;
  o_.speedMark.Color = colours_.boat;
  o_.rings.Color = colours_.black;
  // The route's and the positions' colours follow the shading.
  symbols_.ApplyShapeSettings();
  // Boxes that carry a colour of their own take it again from the palette.
  dashboard_.RefreshGpsBox();
  dashboard_.RefreshInstrumentTexts();
}

void TNightShade::SetShadeLevel(int level) {
  if (level < 0 || level > 3) return;
  // The window icon: the dark one at night, the day one at level 0.
  if (!levelSet_ || (level == 0) != (level_ == 0)) window_.Window().setWindowIcon(level == 0 ? BoatIcon() : DarkIcon());
  levelSet_ = true;
  level_ = level;
  const int value = ShadeValueForLevel(level, sys_);
  // The chart is drawn again with the new brightness: the pager takes the
  // shaded colours of the decoder it draws from.
  TBitmapPager& pager = o_.pager;
  if (o_.kap) o_.kap->Brightness = value;
  if (o_.wci) o_.wci->Brightness = value;
  o_.chartFile.Brightness = value;
  if (o_.kap && pager.Decoder == o_.kap.get() && o_.kap->IsOpen())
    o_.kap->FillColourTable(pager.Colours);
  else if (o_.wci && pager.Decoder == o_.wci.get() && o_.wci->IsOpen())
    o_.wci->FillColourTable(pager.Colours);
  // A plain image chart: its picture shaded anew.
  chart_.RefreshChartShade();
  // The window colours: shaded with the desktop colours only when asked to,
  // otherwise the program's palette stays as it was.
  if (value != 0 && sys_.ShadeDesktop) {
    o_.sysColor.SetShade(value);
    o_.sysColor.ApplyShade();
  } else if (o_.sysColor.Level() != 0) {
    o_.sysColor.Restore();
  }
  RecomputeColours();
  window_.UpdateStatus();
  buttons_[level]->setChecked(true);
  window_.RequestRepaint();
}
