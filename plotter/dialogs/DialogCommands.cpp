#include "plotter/dialogs/DialogCommands.h"

#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QListWidget>
#include <QRadioButton>
#include <QSpinBox>

#include <algorithm>
#include <string>
#include <vector>

#include "charts/ChartList.h"
#include "foundation/GenUtil.h"
#include "navobjects/Routes.h"
#include "platform/Questions.h"
#include "plotter/dialogs/AuxDialogs.h"
#include "plotter/PosEdit.h"
#include "plotter/QtColour.h"
#include "plotter/chartview/ChartDisplay.h"
#include "plotter/core/ChartShapes.h"
#include "plotter/core/DialogLogic.h"
#include "plotter/core/SysInfo.h"
#include "plotter/route/RouteEditor.h"
#include "plotter/symbols/ChartSymbols.h"
#include "sharedui/DialogSupport.h"

namespace {

QString Q(const std::string& s) { return QString::fromStdString(s); }
std::string S(const QString& s) { return s.toStdString(); }

}  // namespace

TDialogCommands::TDialogCommands(const TWindowContext& c, TChartList& catalog, TChartDisplay& chart, TRoute& route,
                                 TRouteEditor& routeEditor, TChartSymbols& symbols)
    : TWindowFeature(c),
      catalog_(catalog),
      chart_(chart),
      route_(route),
      routeEditor_(routeEditor),
      symbols_(symbols) {
  WireCommand("FMNameSearch", [this] { SearchByName1Click(); });
  WireCommand("NACSearch", [this] { SearchByName1Click(); });
  WireCommand("PreferedCharts1", [this] { PrefScale1Click(); });
  WireCommand("ChartGroups1", [this] { Groups1Click(); });
  WireCommand("RFListRoute", [this] { RteListMnuClick(); });
  WireCommand("About1", [this] { About1Click(); });
}

// ---------------------------------------------------------------------------
// Chart search

void TDialogCommands::SearchByName1Click() {
  TS_Frm* search = forms_.S_Frm;
  TChartAvail* avail = forms_.ChartAvail;
  if (!search || !avail) return;
  if (chart_.MenuPosValid) search->SetPosition(chart_.MenuPos);
  std::vector<std::string> names;
  catalog_.ListGroups(names);
  std::vector<bool> ticked;
  for (const std::string& n : names) ticked.push_back((catalog_.GroupBit(n) & SearchGroupMask) != 0);
  {
    const QSignalBlocker quiet(search->BGL);
    FillTickList(search->BGL, names, ticked);
  }
  if (window_.ExecDialog(*search) != QDialog::Accepted) return;

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
    for (int i = 0; i < search->BGL->count(); ++i) bits.push_back(catalog_.GroupBit(S(search->BGL->item(i)->text())));
    SearchGroupMask = TickedGroupMask(bits, TickedItems(search->BGL));
  }

  avail->ResetList();
  {
    QApplication::setOverrideCursor(Qt::WaitCursor);
    catalog_.ListCharts(
        pos, filter,
        [&](const std::string& name, int32_t scale) {
          avail->AddChartItem(name, scale, catalog_.ResolvedFileName(catalog_.FindByName(name)));
        },
        SearchGroupMask, 0, 0);
    QApplication::restoreOverrideCursor();
  }
  avail->SetFilled(true);
  avail->SetColumnCaptions(Q(messages_[55]), Q(messages_[56]));
  avail->SetListColours(ToQColor(colours_.palette[piWhite]), ToQColor(colours_.palette[piBlack]));
  avail->Catalog = &catalog_;
  const bool chosen = window_.ExecDialog(*avail) == QDialog::Accepted && !avail->SelectedName.empty();
  const std::string name = avail->SelectedName;
  // The next "List All" lists the whole catalog again.
  avail->ResetList();
  if (!chosen) return;
  const int index = catalog_.FindByName(name);
  if (index < 0) return;
  // A search without a position keeps the chart's own first view rather
  // than moving to 0°N 0°E.
  if ((index == chart_.CurrentChart || chart_.OpenCatalogChart(index) >= 0) && byPosition) chart_.CentreOnPosition(pos);
}

// ---------------------------------------------------------------------------
// Preferred charts

void TDialogCommands::PrefScale1Click() {
  TPSForm* pref = forms_.PSForm;
  if (!pref) return;
  const bool automatic = flags_.Has(pfAutomatic);
  std::vector<std::string> names;
  catalog_.ListGroups(names);
  const int32_t mask = automatic ? sys_.AutoGroups : sys_.BrowseGroups;
  std::vector<bool> ticked;
  for (const std::string& n : names) ticked.push_back((catalog_.GroupBit(n) & mask) != 0);
  FillTickList(pref->BGL, names, ticked);
  if (chart_.PreferredScale != 0) {
    pref->PSSetB->setChecked(true);
    pref->PSVal->setValue(static_cast<int>(std::clamp(chart_.PreferredScale, 0.0, 10000000.0)));
  } else {
    pref->PSMaxB->setChecked(true);
    pref->PSVal->setValue(std::clamp(chart_.ChartInfo.Layout.Scale, 0, 10000000));
  }
  if (window_.ExecDialog(*pref) != QDialog::Accepted) return;
  if (!names.empty()) {
    std::vector<int32_t> bits;
    for (int i = 0; i < pref->BGL->count(); ++i) bits.push_back(catalog_.GroupBit(S(pref->BGL->item(i)->text())));
    const int32_t chosen = TickedGroupMask(bits, TickedItems(pref->BGL));
    (automatic ? sys_.AutoGroups : sys_.BrowseGroups) = chosen;
  }
  chart_.PreferredScale = pref->PSMaxB->isChecked() ? 0 : pref->PSVal->value();
  chart_.Repaint();
}

// ---------------------------------------------------------------------------
// Chart groups

void TDialogCommands::Groups1Click() {
  TGRP_Org* groups = forms_.GRP_Org;
  if (!groups) return;
  groups->Catalog = &catalog_;
  groups->Settings = &sys_;
  groups->InputQuery = [this](const std::string& title, const std::string& prompt, const std::string& offered) {
    return window_.AskDialogText(title, prompt, offered);
  };
  groups->AskYes = [](const std::string& text) { return AskYesNo(text); };
  groups->NewGroupTitle = messages_[77];
  groups->GroupNamePrompt = messages_[78];
  groups->ChangeGroupTitle = messages_[79];
  groups->DeleteQuestion = messages_[32];
  groups->SetDirectories(catalog_.ListDirectories());
  if (window_.ExecDialog(*groups) == QDialog::Accepted) {
    std::string error;
    if (!catalog_.SaveGroups(sys_.GroupsFile, &error)) AppMessageBox(error, mfOk | mfIconError);
  } else {
    // Cancel undoes the membership and group changes.
    catalog_.LoadGroups(sys_.GroupsFile);
  }
  if (catalog_.GroupCount() == 0) {
    sys_.BrowseGroups = 0;
    sys_.AutoGroups = 0;
  }
}

// ---------------------------------------------------------------------------
// Route list grid

void TDialogCommands::RteListMnuClick() {
  TBrowser* grid = forms_.Browser;
  if (!grid || route_.Count() < 2) return;
  route_.Renumber();
  std::vector<TRouteGridPoint> points;
  for (int i = 0; i < route_.Count(); ++i) {
    const TNavShape* s = route_.At(i);
    points.push_back({s->Caption, s->Position, s->LegSpeed, s->LegXTE});
  }
  std::vector<std::string> titles, masks;
  std::vector<int> widths;
  for (int c = 0; c < kRouteGridColumns; ++c) {
    titles.push_back(S(Q(messages_[57 + c]).left(20)));
    widths.push_back(kRouteGridColumnsDef[c].Width);
    masks.push_back(kRouteGridColumnsDef[c].Mask);
  }
  grid->SetGrid(titles, widths, masks, RouteGridRows(points, sys_.DefaultSpeed, messages_[22]), 5,
                static_cast<int>(points.size()) - 1);
  grid->setWindowTitle(Q(route_.FileName.empty() ? messages_[23] : route_.FileName));
  if (window_.ExecDialog(*grid) != QDialog::Accepted) return;

  std::vector<TRouteGridRow> rows = grid->Rows();
  rows.resize(points.size());
  std::vector<TRouteGridPoint> read;
  // Every row is read before any is written: a row that cannot be read
  // leaves the route as it was.
  if (!ReadRouteGrid(rows, read) || static_cast<int>(read.size()) != route_.Count()) {
    AppMessageBox(messages_[25] + "!" + messages_[26], mfOk | mfIconWarning);
    return;
  }
  for (size_t i = 0; i < read.size(); ++i) {
    TNavShape* s = route_.At(static_cast<int>(i));
    s->Position = read[i].Position;
    s->LegXTE = read[i].LegXTE;
    s->LegSpeed = read[i].LegSpeed;
    s->Caption = read[i].Name;
  }
  route_.RecomputeView();
  route_.PlacePoints();
  route_.Modified = true;
  routeEditor_.AfterRouteEdit(symbols_.Shapes().SelectedRoutePoint());
}

// ---------------------------------------------------------------------------
// About

void TDialogCommands::About1Click() {
  TAboutBox box(&window_.Window());
  window_.ExecDialog(box);
}
