// The dashboard column: what its boxes show (position and motion,
// instruments, log and trip, the marker), which of them show and where,
// the status buttons' captions, collapsing and expanding the column, the
// instrument menu (trip, time and fuel resets, engine on, log book entry)
// and the fuel row. The column's widgets are the window's (built in
// MainWindow.cpp); the rules are in plotter/core/Dashboard.h.
#pragma once

#include <QColor>

#include "plotter/WindowServices.h"

class QFrame;
class QLabel;
class QMenu;
class QPushButton;
class QToolButton;
class TChartDisplay;
class TChartSymbols;
class TLOGGBOOK;
class TNMEA;
class TRoute;

// The palette red when `on`, else the button face colour.
QColor AlarmColour(const TWindowColours& colours, bool on);

class TDashboardColumn final : public TWindowFeature {
 public:
  // `dashSet` is the window's set of boxes to show, chosen here.
  TDashboardColumn(const TWindowContext& c, TDashSet& dashSet, TNMEA& parser, TRoute& route, TLOGGBOOK& logBook,
                   TChartSymbols& symbols, TChartDisplay& chart, int designWidth);

  // Which boxes show (with the status buttons' captions and the menus that
  // follow the state), and where.
  void UpdateStatus();
  void LayoutDashboard();
  void ShowDashboard(bool expanded);
  bool DashboardExpanded() const { return expanded_; }
  // The column on the side "Dashboard" says.
  void PlaceDashboard();
  // An empty fuel table: the fuel row and its menu items go.
  void RemoveFuelRow();

  // Refreshes the GPS box (position, heading, speed, variation, fix time,
  // talker) with its alarm colour.
  void RefreshGpsBox();
  // Refreshes the depth, wind and compass texts; true when a box should
  // appear or go because its value became known or unknown.
  bool RefreshInstrumentTexts();
  // Refreshes the log, trip, engine hours and fuel texts.
  void RefreshLogTexts();
  // Both of the above, and the box set when a value came or went.
  void UpdateInstrumentBoxes();

  // Instrument menu: "Reset Trip", "Reset Time", "Reset Fuel" (after a
  // question), "Log Book Entry".
  enum class TCounter { Trip, Time, Fuel };
  void ResetCounterClick(TCounter which);
  void LogBookEntryClick();

 private:
  TDashSet& set_;
  TNMEA& parser_;
  TRoute& route_;
  TLOGGBOOK& logBook_;
  TChartSymbols& symbols_;
  TChartDisplay& chart_;
  const int designWidth_;
  bool expanded_ = true;
  QFrame& column_;
  QFrame& shadow_;
  QFrame* boxes_[kDashBoxCount];
  QToolButton& fileButton_;
  QToolButton& toolsButton_;
  QToolButton& collapseButton_;
  QPushButton& autoButton_;
  QPushButton& traceButton_;
  QPushButton& pilotButton_;
  QFrame& gpsBox_;
  QFrame& drBox_;
  QFrame& depthBox_;
  QFrame& instrBox_;
  QLabel &lat_, &long_, &head_, &speed_, &variation_, &time_, &talker_;
  QLabel &depth_, &windSpeed_, &windTrue_, &windRelative_, &windDirection_, &vmg_, &compass_;
  QLabel &total_, &trip_, &hours_, &fuel_, &hoursCaption_, &fuelCaption_;
  QMenu* fileMenu_;
  QMenu* routeFileMenu_;
  QMenu* chartsMenu_;
  QAction& unlock_;
  QAction& deleteWP_;
  QAction& activateRoute_;
  QAction& openOld_;
};
