// The smaller dialogs' commands: the chart search, the preferred charts,
// the chart groups, the route list grid and the about box. The windows are
// AuxDialogs.h beside it; the logic that needs no window is
// plotter/core/DialogLogic.h. The position editor is the positions'
// (plotter/positions/), the NMEA monitors are NmeaMonitors.h.
#pragma once

#include <cstdint>

#include "plotter/WindowServices.h"

class TChartDisplay;
class TChartList;
class TChartSymbols;
class TRoute;
class TRouteEditor;

class TDialogCommands final : public TWindowFeature {
 public:
  // Wires the dialogs' menu items.
  TDialogCommands(const TWindowContext& c, TChartList& catalog, TChartDisplay& chart, TRoute& route,
                  TRouteEditor& routeEditor, TChartSymbols& symbols);

  // "Name Search" / "Search": charts by group, name and position, listed
  // in the available-charts window; the one chosen opens.
  void SearchByName1Click();
  // "Prefered Charts" (F8, Ctrl+C): the groups charts are chosen from and
  // the preferred scale.
  void PrefScale1Click();
  // "Chart Groups": the group manager; Ok saves the groups file, Cancel
  // reads it again.
  void Groups1Click();
  // "&List Route": the route as a grid; "Update" writes the edited cells
  // back, all of them or, when one cannot be read, none.
  void RteListMnuClick();
  void About1Click();

  // The chart search's group mask, kept for the run.
  int32_t SearchGroupMask = 0;

 private:
  TChartList& catalog_;
  TChartDisplay& chart_;
  TRoute& route_;
  TRouteEditor& routeEditor_;
  TChartSymbols& symbols_;
};
