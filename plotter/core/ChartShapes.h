// The route and the positions on the chart, without any window: their
// symbol styles from the settings, what the chart view draws of them and in
// which order, which symbol the mouse is on, the clicks, drags and hints on
// them, and their placement for the chart and zoom on show. The main window
// (plotter/MainShapes.cpp) hands it the mouse in chart panel pixels and
// paints through it; the route editor and the positions' commands build on
// the handlers installed here.
#pragma once

#include <functional>
#include <string>

#include "foundation/Types.h"
#include "navobjects/Routes.h"
#include "platform/Canvas.h"

struct RSysInfo;
struct TWindowColours;

// Symbol types of the two collections: positions are squares with a plus
// (the selected ones in their own colour); route points are circles, the
// selected ones and the route's last point a circle with a plus.
inline constexpr TNavShapeType kPositionShape = NavPlusRect;
inline constexpr TNavShapeType kRouteShape = NavCircle;
inline constexpr TNavShapeType kRouteSelectedShape = NavPlusCircle;

// The menu a right press on a symbol opens.
enum class TShapeMenu { None, Position, RoutePoint };

// What the collections need of the window's state.
struct TShapeModes {
  bool routeEditor = false;
  bool automatic = false;
  bool positionsUnlocked = false;  // "&Unlock" ticked
  bool waypointInfobox = true;
  bool routeInfobox = false;
};

class TChartShapes {
 public:
  TChartShapes(TRoute& route, TRoute& positions, TWorldConvert& convert);
  TChartShapes(const TChartShapes&) = delete;
  TChartShapes& operator=(const TChartShapes&) = delete;

  TRoute& Route() { return route_; }
  TRoute& Positions() { return positions_; }

  // ---- settings and modes ----
  // Sizes, colours, default speed and limit, name cleaning.
  void ApplySettings(const RSysInfo& sys, const TWindowColours& colours);
  // Info boxes and movability: positions show their names per "Waypoint
  // Infobox" (not in the route editor) and take the mouse (click, drag,
  // menu) while unlocked, outside the route editor and AUTOMATIC (their
  // selection is cleared in those); route points show their names per
  // "Route Infobox" and take the mouse in the editor.
  void ApplyModes(const TShapeModes& modes);
  const TShapeModes& Modes() const { return modes_; }

  // ---- the chart ----
  // A chart was loaded: the route learns its bounds, the positions its
  // extended corners, and both place their symbols.
  void ChartLoaded(const TFRect& bounds, const TFPointArray& extendedCorners);
  // The zoom changed: both place their symbols again.
  void Replace();

  // ---- drawing ----
  // The route's legs (pen "Route Normal Color", "Route Line Width"; 0 a thin
  // dash-dot-dot line), then the position symbols, then the route symbols;
  // `scroll` is the view's top-left in chart panel pixels.
  void Paint(ICanvas& canvas, TPoint scroll) const;
  TPen LegPen() const;

  // ---- the mouse, in chart panel pixels ----
  // The symbol under the pointer: route points first (drawn last).
  TNavShape* ShapeAt(TPoint panel) const;
  // A press: true when a symbol took it (the chart does nothing then).
  // `menu` receives the menu a right press opens.
  bool Press(const TShapeMouse& m, TShapeMenu* menu = nullptr);
  // Moves and the release while a symbol has the mouse.
  bool Move(const TShapeMouse& m);
  bool Release(const TShapeMouse& m);
  bool DoubleClick(const TShapeMouse& m);
  bool HasMouse() const { return route_.HasMouse() || positions_.HasMouse(); }
  // The hint of the symbol under the pointer: its name, and its comment on
  // a second line ("" when there is none).
  std::string HintAt(TPoint panel) const;

  // ---- selection ----
  // The selected position and route point (nullptr when none, or when the
  // point is gone).
  TNavShape* SelectedPosition() const;
  TNavShape* SelectedRoutePoint() const;
  void SetSelectedPosition(TNavShape* s) { selectedPosition_ = s; }
  void SetSelectedRoutePoint(TNavShape* s) { selectedRoutePoint_ = s; }
  // "Delete Waypoint" of a position's menu: the selected position, when it
  // is still marked selected. Of a route point's menu: the point last
  // clicked (not while the route is followed). True when one was deleted;
  // the list is marked changed and its symbols placed again.
  bool DeleteSelectedPosition();
  bool DeleteClickedRoutePoint();

  // ---- the window's part ----
  // Drawing again is needed.
  std::function<void()> OnRepaint;
  // A position was selected by a click (the list follows it).
  std::function<void(TNavShape&)> OnPositionClicked;
  // A position's symbol was double-clicked (the position editor).
  std::function<void(TNavShape&)> OnPositionEdit;
  // A position or route point was dragged to a new place.
  std::function<void(TNavShape&)> OnPositionMoved;
  std::function<void(TNavShape&)> OnRoutePointMoved;
  // A route point was clicked (the route editor shows it).
  std::function<void(TNavShape&)> OnRoutePointClicked;

 private:
  void Wire();
  void PositionClick(TNavShape& s, const TShapeMouse& m);
  void RoutePointClick(TNavShape& s, const TShapeMouse& m);
  void Dropped(TRoute& list, TNavShape& s);
  void DeletePoint(TRoute& list, TNavShape& s);
  void Repaint() const;

  TRoute& route_;
  TRoute& positions_;
  TWorldConvert& convert_;
  TShapeModes modes_;
  TColor legColour_ = 0;
  int legWidth_ = 1;
  TNavShape* selectedPosition_ = nullptr;
  TNavShape* selectedRoutePoint_ = nullptr;
};
