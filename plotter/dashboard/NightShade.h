// Night shading, levels 0 (day) to 3 (night): the colours everything is
// drawn with, the chart's brightness (the decoders' colour tables and an
// image chart's picture), the desktop colours when "Shade Desktop" asks for
// it, the shade buttons and the window's icon. The colour rules are in
// plotter/core/Dashboard.h (ComputeWindowColours, ShadeValueForLevel).
#pragma once

#include <memory>

#include "plotter/WindowServices.h"

class QPushButton;
class QWidget;
class TBitmapPager;
class TChartDisplay;
class TChartFile;
class TChartSymbols;
class TDashboardColumn;
class TKAPDecoder;
class TQuickShape;
class TSYSCOLOR;
class TWCIDecoder;

class TNightShade final : public TWindowFeature {
 public:
  struct TObjects {
    std::unique_ptr<TKAPDecoder>& kap;
    std::unique_ptr<TWCIDecoder>& wci;
    TChartFile& chartFile;
    TBitmapPager& pager;
    TSYSCOLOR& sysColor;
    TQuickShape& boat;
    TQuickShape& rings;
    TQuickShape& speedMark;
  };
  // `colours` is the window's colour set, computed here.
  TNightShade(const TWindowContext& c, TWindowColours& colours, const TObjects& objects, TChartDisplay& chart,
              TChartSymbols& symbols, TDashboardColumn& dashboard, QWidget& canvas);

  void SetShadeLevel(int level);
  int Level() const { return level_; }
  // The colours for the level and the settings, into everything that draws
  // with them.
  void RecomputeColours();

 private:
  TWindowColours& windowColours_;
  TObjects o_;
  TChartDisplay& chart_;
  TChartSymbols& symbols_;
  TDashboardColumn& dashboard_;
  QWidget& canvas_;
  QPushButton* buttons_[4];
  int level_ = 0;
  bool levelSet_ = false;
};
