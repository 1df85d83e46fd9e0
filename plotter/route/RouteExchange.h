// The route's exchange files: import and export in the two text formats
// (G7ToWin's and Waypoint+'s), the choice of a route in a column exchange
// file (also for a route received from a GPS), and a track file taken as a
// route. The formats are navobjects/Routes.h and plotter/core/GpsTransfer.h.
#pragma once

#include <string>

#include "plotter/WindowServices.h"

class TRoute;
class TRouteEditor;

class TRouteExchange final : public TWindowFeature {
 public:
  // Wires "I&mport", "E&xport" and "Import &Track" of the editor's menu.
  TRouteExchange(const TWindowContext& c, TRoute& route, TRouteEditor& editor);

  void ImportWP2Click();
  void ExportWP2Click();
  void ImportTrack1Click();
  // The route of an exchange file to import ("Select Route" when it holds
  // several): its number, -1 for none.
  int ChooseExchangeRoute(const std::string& file);

 private:
  TRoute& route_;
  TRouteEditor& editor_;
};
