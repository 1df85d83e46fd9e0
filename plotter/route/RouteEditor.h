// The route editor and the route's files: the editor's mode (its menus, its
// box, the chart's cursors), inserting a point with a double-click, the
// points' fields, moving, deleting, adding a position, extending,
// reversing and clearing, the route's statistics and quick buttons, and
// opening and saving route files. The logic is plotter/core/RouteUi.h, the
// route navobjects/Routes.h; the route's symbols on the chart are
// plotter/symbols/ChartSymbols.h.
#pragma once

#include "foundation/Types.h"
#include "plotter/WindowServices.h"

class QAction;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class TChartDisplay;
class TChartSymbols;
class TNavShape;
class TPosEdit;
class TRoute;
class TWorldConvert;
struct TChartCursors;
struct TPointFields;

class TRouteEditor final : public TWindowFeature {
 public:
  // Wires the editor's box, the quick buttons and the route's menu items,
  // and follows clicks and drags on the route points and double-clicks on
  // the chart in the editor.
  TRouteEditor(const TWindowContext& c, TRoute& route, TRoute& positions, TChartSymbols& symbols,
               TChartDisplay& chart, TWorldConvert& converter, TChartCursors& cursors);

  // The editor's mode.
  void RouteEditor1Click();
  void RteEditCloseClick();
  // "E&xtend": new points go at the end.
  void RouteAdd1Click();
  // The editor's box.
  void DBC_RTListChange(int index);
  void RteEdUpdateClick();
  void RteDelSelBtnClick();
  void RteAddWPBtnClick();
  void RteReverseBtnClick();
  // A point for a double-click on the chart in the editor.
  void InsertRoutePointAt(const TFPoint& viewPoint);
  void ShowRoutePoint(TNavShape* point);
  void ClearRoutePoint();
  void FillRouteList();
  // First and last point and length; "Save Route" red while changed.
  void ShowRouteStats();
  // "Delete Waypoint" of a route point's menu; the route's "&Clear" (after
  // the unsaved-list question).
  void Delete1Click();
  void RteClear1Click();
  // Route files: open (appending, "Clear old route?"), save, save as.
  void LoadRoute2Click();
  void RteSaveBtnClick();
  void RteSaveAsClick();
  // After the route was read or changed: its symbols, the editor's list,
  // the statistics (`shown`: the point the editor shows, or none).
  void AfterRouteLoad();
  void AfterRouteEdit(TNavShape* shown);
  // The close question for the route: true when it may be given up.
  bool AskRouteSaved();

 private:
  void ShowFields(const TPointFields& f);
  void SaveRouteTo(const std::string& file);

  TRoute& route_;
  TRoute& positions_;
  TChartSymbols& symbols_;
  TChartDisplay& chart_;
  TWorldConvert& converter_;
  TChartCursors& cursors_;
  QAction& extend_;
  QComboBox& list_;
  TPosEdit& lat_;
  TPosEdit& lon_;
  QLineEdit& name_;
  QLineEdit& speed_;
  QLineEdit& xte_;
  QPushButton& saveButton_;
  QLabel& start_;
  QLabel& end_;
  QLabel& length_;
  QComboBox& positionList_;
};
