// The positions' unlock, delete and clear commands and the route's clear
// and point deletion.
#include <QAction>
#include <QMenu>
#include <QMouseEvent>
#include <QToolTip>

#include "geodesy/CTrans.h"
#include "navobjects/Routes.h"
#include "navobjects/Trace.h"
#include "platform/Questions.h"
#include "plotter/MainForm.h"
#include "plotter/core/ChartShapes.h"
#include "plotter/core/CloseQuery.h"
#include "plotter/symbols/ChartSymbols.h"

// ---------------------------------------------------------------------------
// The positions' commands

void T_Form::WPUnlockClick() {
  // The tick has toggled itself.
  UpdateStatus();
  if (Positions) {
    Positions->SetSelectedAll(false);
    Positions->StyleAll();
  }
  RequestRepaint();
}

void T_Form::WPDelSelectClick() {
  if (!Positions || !symbols_ || !tickMenus_.wpUnlock || !tickMenus_.wpUnlock->isChecked()) return;
  if (Positions->SelectedCount() == 0) return;
  Positions->DeleteSelected();
  Positions->Modified = true;
  symbols_->Shapes().SetSelectedPosition(nullptr);
  FillPositionList(false);
  RequestRepaint();
}

void T_Form::MenuItem5Click() {
  if (!symbols_ || !symbols_->Shapes().DeleteSelectedPosition()) return;
  FillPositionList(false);
  Repaint();
}

void T_Form::Delete1Click() {
  if (symbols_ && symbols_->Shapes().DeleteClickedRoutePoint()) AfterRouteEdit(nullptr);
}

void T_Form::WPClearMnuClick() {
  if (!Positions || !symbols_ || !AskListSaved(*Positions, msgPositions, Messages)) return;
  Positions->Clear();
  symbols_->Shapes().SetSelectedPosition(nullptr);
  FillPositionList();
  Repaint();
}

void T_Form::RteClear1Click() {
  if (!Route || !symbols_ || Route->Following || !AskListSaved(*Route, msgRoute, Messages)) return;
  Route->Clear();
  AfterRouteEdit(nullptr);
}

void T_Form::WireShapeCommands() {
  WireCommand("WPUnlock", &T_Form::WPUnlockClick);
  WireCommand("WPDeleteSelected", &T_Form::WPDelSelectClick);
  WireCommand("DeleteWP", &T_Form::WPDelSelectClick);
  WireCommand("DelWPWaypoint", &T_Form::MenuItem5Click);
  WireCommand("DelRteWaypoint", &T_Form::Delete1Click);
  WireCommand("WPClear", &T_Form::WPClearMnuClick);
  WireCommand("FMRouteClear", &T_Form::RteClear1Click);
  WireCommand("RFClearRoute", &T_Form::RteClear1Click);
}
