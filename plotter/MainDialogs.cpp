// The main window's side of its smaller dialogs: the chart search, the
// preferred charts, the chart groups, the position editor, the route list
// grid, the NMEA monitors and the about box. The windows are in
// AuxDialogs.h; the logic that needs no window in core/DialogLogic.h.
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTableWidget>

#include <algorithm>
#include <string>
#include <vector>

#include "charts/ChartList.h"
#include "foundation/GenUtil.h"
#include "instruments/NMEA.h"
#include "navobjects/Routes.h"
#include "platform/Questions.h"
#include "plotter/AuxDialogs.h"
#include "plotter/MainForm.h"
#include "sharedui/DialogSupport.h"
#include "plotter/PosEdit.h"
#include "plotter/QtColour.h"
#include "plotter/core/ChartShapes.h"
#include "plotter/core/DialogLogic.h"
#include "plotter/dialogs/NmeaMonitors.h"
#include "plotter/symbols/ChartSymbols.h"

namespace {

QString Q(const std::string& s) { return QString::fromStdString(s); }
std::string S(const QString& s) { return s.toStdString(); }

}  // namespace

void T_Form::WireDialogCommands() {
  WireCommand("FMNameSearch", &T_Form::SearchByName1Click);
  WireCommand("NACSearch", &T_Form::SearchByName1Click);
  WireCommand("PreferedCharts1", &T_Form::PrefScale1Click);
  WireCommand("ChartGroups1", &T_Form::Groups1Click);
  WireCommand("RFListRoute", &T_Form::RteListMnuClick);
  WireCommand("About1", &T_Form::About1Click);
  // A double-click on the positions box or its list edits the chosen
  // position.
  for (const char* name : {"DB_WAYPOINT", "DBC_RTAddWP"})
    if (QWidget* w = DB ? DB->findChild<QWidget*>(QString::fromLatin1(name)) : nullptr)
      ::OnDoubleClick(w, [this] { DBC_RTAddWPDblClick(); });
}

std::optional<std::string> T_Form::AskDialogText(const std::string& title, const std::string& prompt,
                                           const std::string& offered) {
  if (InputQuery) return InputQuery(title, prompt);
  return AskText(this, title, prompt, offered);
}

// ---------------------------------------------------------------------------
// Chart search

void T_Form::SearchByName1Click() {
  TS_Frm* search = forms_.S_Frm;
  TChartAvail* avail = forms_.ChartAvail;
  if (!search || !avail || !ChartList) return;
  if (MenuPosValid) search->SetPosition(MenuPos);
  std::vector<std::string> names;
  ChartList->ListGroups(names);
  std::vector<bool> ticked;
  for (const std::string& n : names) ticked.push_back((ChartList->GroupBit(n) & SearchGroupMask) != 0);
  {
    const QSignalBlocker quiet(search->BGL);
    FillTickList(search->BGL, names, ticked);
  }
  if (ExecDialog(*search) != QDialog::Accepted) return;

  const std::string filter = search->CB_SC->isChecked() ? TrimBlanks(S(search->S_Txt->text())) : std::string();
  TFPoint pos{0, 0};
  bool byPosition = false;
  if (search->CB_SP->isChecked()) {
    const std::optional<double> lat = search->S_Lat->Value();
    const std::optional<double> lon = search->S_Long->Value();
    if (lat && lon) {
      pos = {*lon, *lat};
      byPosition = pos.X != 0 || pos.Y != 0;
    }
  }
  SearchGroupMask = 0;
  if (search->CB_SG->isChecked()) {
    std::vector<int32_t> bits;
    for (int i = 0; i < search->BGL->count(); ++i) bits.push_back(ChartList->GroupBit(S(search->BGL->item(i)->text())));
    SearchGroupMask = TickedGroupMask(bits, TickedItems(search->BGL));
  }

  avail->ResetList();
  {
    QApplication::setOverrideCursor(Qt::WaitCursor);
    ChartList->ListCharts(
        pos, filter,
        [&](const std::string& name, int32_t scale) {
          avail->AddChartItem(name, scale, ChartList->ResolvedFileName(ChartList->FindByName(name)));
        },
        SearchGroupMask, 0, 0);
    QApplication::restoreOverrideCursor();
  }
  avail->SetFilled(true);
  avail->SetColumnCaptions(Q(Messages[55]), Q(Messages[56]));
  avail->SetListColours(ToQColor(Colours.palette[piWhite]), ToQColor(Colours.palette[piBlack]));
  avail->Catalog = ChartList.get();
  const bool chosen = ExecDialog(*avail) == QDialog::Accepted && !avail->SelectedName.empty();
  const std::string name = avail->SelectedName;
  // The next "List All" lists the whole catalog again.
  avail->ResetList();
  if (!chosen) return;
  const int index = ChartList->FindByName(name);
  if (index < 0) return;
  // A search without a position keeps the chart's own first view rather
  // than moving to 0°N 0°E.
  if ((index == CurrentChart || OpenCatalogChart(index) >= 0) && byPosition) CentreOnPosition(pos);
}

// ---------------------------------------------------------------------------
// Preferred charts

void T_Form::PrefScale1Click() {
  TPSForm* pref = forms_.PSForm;
  if (!pref) return;
  const bool automatic = PlotterFlags.Has(pfAutomatic);
  std::vector<std::string> names;
  if (ChartList) ChartList->ListGroups(names);
  const int32_t mask = automatic ? SysInfo.AutoGroups : SysInfo.BrowseGroups;
  std::vector<bool> ticked;
  for (const std::string& n : names) ticked.push_back((ChartList->GroupBit(n) & mask) != 0);
  FillTickList(pref->BGL, names, ticked);
  if (PreferredScale != 0) {
    pref->PSSetB->setChecked(true);
    pref->PSVal->setValue(static_cast<int>(std::clamp(PreferredScale, 0.0, 10000000.0)));
  } else {
    pref->PSMaxB->setChecked(true);
    pref->PSVal->setValue(std::clamp(ChartInfo.Layout.Scale, 0, 10000000));
  }
  if (ExecDialog(*pref) != QDialog::Accepted) return;
  if (!names.empty()) {
    std::vector<int32_t> bits;
    for (int i = 0; i < pref->BGL->count(); ++i) bits.push_back(ChartList->GroupBit(S(pref->BGL->item(i)->text())));
    const int32_t chosen = TickedGroupMask(bits, TickedItems(pref->BGL));
    (automatic ? SysInfo.AutoGroups : SysInfo.BrowseGroups) = chosen;
  }
  PreferredScale = pref->PSMaxB->isChecked() ? 0 : pref->PSVal->value();
  Repaint();
}

// ---------------------------------------------------------------------------
// Chart groups

void T_Form::Groups1Click() {
  TGRP_Org* groups = forms_.GRP_Org;
  if (!groups || !ChartList) return;
  groups->Catalog = ChartList.get();
  groups->Settings = &SysInfo;
  groups->InputQuery = [this](const std::string& title, const std::string& prompt, const std::string& offered) {
    return AskDialogText(title, prompt, offered);
  };
  groups->AskYes = [](const std::string& text) { return AskYesNo(text); };
  groups->NewGroupTitle = Messages[77];
  groups->GroupNamePrompt = Messages[78];
  groups->ChangeGroupTitle = Messages[79];
  groups->DeleteQuestion = Messages[32];
  groups->SetDirectories(ChartList->ListDirectories());
  if (ExecDialog(*groups) == QDialog::Accepted) {
    std::string error;
    if (!ChartList->SaveGroups(SysInfo.GroupsFile, &error)) AppMessageBox(error, mfOk | mfIconError);
  } else {
    // Cancel undoes the membership and group changes.
    ChartList->LoadGroups(SysInfo.GroupsFile);
  }
  if (ChartList->GroupCount() == 0) {
    SysInfo.BrowseGroups = 0;
    SysInfo.AutoGroups = 0;
  }
}

// ---------------------------------------------------------------------------
// Position editor

void T_Form::EditPosition(TNavShape* p, bool fromList) {
  TWptEdFrm* ed = forms_.WptEdFrm;
  if (!ed || !p || !Positions || !Positions->Holds(p)) return;
  Positions->Select(p);
  if (symbols_) symbols_->Shapes().SetSelectedPosition(p);
  ed->WPLat->SetMaskText(PosToMaskText(false, p->Position.Y));
  ed->WPLong->SetMaskText(PosToMaskText(true, p->Position.X));
  ed->WPText->setText(Q(p->Caption));
  ed->WPComment->setPlainText(Q(p->Comment));
  std::string name;
  for (;;) {
    if (ExecDialog(*ed) != QDialog::Accepted || !Positions->Holds(p)) return;
    std::vector<std::string> others;
    for (int i = 0; i < Positions->Count(); ++i)
      if (Positions->At(i) != p) others.push_back(Positions->At(i)->Caption);
    const std::string entered = S(ed->WPText->text());
    const TPositionNameCheck check = CheckPositionName(entered, p->Caption, others);
    if (check == TPositionNameCheck::InUse) {
      AppMessageBox(TrimBlanks(entered) + " is in use.", mfOk | mfIconWarning);
      continue;
    }
    // A position without a name would be dropped when the list is read
    // again at the next start.
    if (check == TPositionNameCheck::Empty) {
      AppMessageBox("A position needs a name.", mfOk | mfIconWarning);
      continue;
    }
    const std::optional<double> lat = ed->WPLat->Value();
    const std::optional<double> lon = ed->WPLong->Value();
    if (!lat || !lon) {
      AppMessageBox("The position is not complete.", mfOk | mfIconWarning);
      continue;
    }
    name = TrimBlanks(entered);
    p->Position = {*lon, *lat};
    break;
  }
  if (name != p->Caption) {
    p->Caption = name;
    FillPositionList();
  }
  p->Comment = TrimBlanks(S(ed->WPComment->toPlainText()));
  Positions->RecomputeView();
  Positions->PlacePoints();
  Positions->Modified = true;
  if (fromList) Positions->StyleAll();
  RequestRepaint();
  FindPosition(p->Position);
}

void T_Form::DBC_RTAddWPDblClick() {
  QComboBox* list = DB ? DB->findChild<QComboBox*>(QStringLiteral("DBC_RTAddWP")) : nullptr;
  if (!list || list->currentIndex() < 0 || !Positions) return;
  if (TNavShape* p = Positions->FindByName(S(list->currentText()))) EditPosition(p, true);
}

// ---------------------------------------------------------------------------
// Route list grid

void T_Form::RteListMnuClick() {
  TBrowser* grid = forms_.Browser;
  if (!grid || !Route || Route->Count() < 2) return;
  Route->Renumber();
  std::vector<TRouteGridPoint> points;
  for (int i = 0; i < Route->Count(); ++i) {
    const TNavShape* s = Route->At(i);
    points.push_back({s->Caption, s->Position, s->LegSpeed, s->LegXTE});
  }
  std::vector<std::string> titles, masks;
  std::vector<int> widths;
  for (int c = 0; c < kRouteGridColumns; ++c) {
    titles.push_back(S(Q(Messages[57 + c]).left(20)));
    widths.push_back(kRouteGridColumnsDef[c].Width);
    masks.push_back(kRouteGridColumnsDef[c].Mask);
  }
  grid->SetGrid(titles, widths, masks, RouteGridRows(points, SysInfo.DefaultSpeed, Messages[22]), 5,
                static_cast<int>(points.size()) - 1);
  grid->setWindowTitle(Q(Route->FileName.empty() ? Messages[23] : Route->FileName));
  if (ExecDialog(*grid) != QDialog::Accepted) return;

  std::vector<TRouteGridRow> rows = grid->Rows();
  rows.resize(points.size());
  std::vector<TRouteGridPoint> read;
  // Every row is read before any is written: a row that cannot be read
  // leaves the route as it was.
  if (!ReadRouteGrid(rows, read) || static_cast<int>(read.size()) != Route->Count()) {
    AppMessageBox(Messages[25] + "!" + Messages[26], mfOk | mfIconWarning);
    return;
  }
  for (size_t i = 0; i < read.size(); ++i) {
    TNavShape* s = Route->At(static_cast<int>(i));
    s->Position = read[i].Position;
    s->LegXTE = read[i].LegXTE;
    s->LegSpeed = read[i].LegSpeed;
    s->Caption = read[i].Name;
  }
  Route->RecomputeView();
  Route->PlacePoints();
  Route->Modified = true;
  AfterRouteEdit(symbols_ ? symbols_->Shapes().SelectedRoutePoint() : nullptr);
}

void T_Form::NMEAInput1Click() {
  if (monitors_) monitors_->NMEAInput1Click();
}

void T_Form::NMEAOutput1Click() {
  if (monitors_) monitors_->NMEAOutput1Click();
}

// ---------------------------------------------------------------------------
// About

void T_Form::About1Click() {
  TAboutBox box(this);
  ExecDialog(box);
}
