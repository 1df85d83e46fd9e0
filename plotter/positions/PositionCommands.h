// The positions (the user's waypoint list): open (merging), save, save as,
// add (the position editor with its unique-name check), import and export
// in the two text exchange formats, unlock, delete and clear, the position
// editor on a stored position, and the positions box (its list, "Find
// Position", a double-click to edit). The list is navobjects/Routes.h, its
// symbols on the chart plotter/symbols/ChartSymbols.h; the NMEA upload is
// plotter/output/NmeaOutput.h.
#pragma once

#include <optional>
#include <string>

#include "foundation/Types.h"
#include "plotter/WindowServices.h"

class QAction;
class QComboBox;
class TChartDisplay;
class TChartSymbols;
class TNMEA;
class TNavShape;
class TRoute;

// The open or save dialog of a G7ToWin or Waypoint+ file, in the exchange
// files' directory ("WPP Dir").
std::optional<std::string> AskExchangeFile(const RSysInfo& sys, const std::string& title, bool save);

class TPositionCommands final : public TWindowFeature {
 public:
  // Wires the positions' menu items and box, and follows clicks and
  // double-clicks on the positions' symbols.
  TPositionCommands(const TWindowContext& c, TRoute& positions, TChartSymbols& symbols, TChartDisplay& chart,
                    TNMEA& parser);

  void OpenWPMnuClick();
  void WPSaveMnuClick();
  void WPSaveAsMnuClick();
  void AddWaypoint1Click();
  void AddCurrentPos1Click();
  void AddPosition(const TFPoint& pos);
  void WPImportMnuClick();
  void WPExportMnuClick();
  // "&Unlock", "&Delete Selected", the "Delete Waypoint" of a position's
  // menu, and "&Clear" (after the unsaved-list question).
  void WPUnlockClick();
  void WPDelSelectClick();
  void MenuItem5Click();
  void WPClearMnuClick();
  // The close question for the positions: true when they may be given up.
  bool AskPositionsSaved();
  // No position is the chosen one (before the list is read anew).
  void ClearChosenPosition();
  // After the positions were read: their places, list and styles.
  void PositionsTail();
  // The positions box's list; the entry chosen stays chosen unless
  // `keepChoice` is false (after a deletion no entry is chosen).
  void FillPositionList(bool keepChoice = true);
  // "Find Position" of the positions box.
  void RteGotoBtnClick();
  // The position editor on a stored position (`fromList`: the positions
  // list asked, the symbols are restyled).
  void EditPosition(TNavShape* position, bool fromList = false);
  void DBC_RTAddWPDblClick();

 private:
  TRoute& positions_;
  TChartSymbols& symbols_;
  TChartDisplay& chart_;
  TNMEA& parser_;
  QAction& unlock_;
  QComboBox& list_;
};
