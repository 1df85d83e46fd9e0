// The chart view's commands: the chart menus and keys, the GPS box, the
// marker and man overboard, the double-click action and AUTOMATIC
// (TChartDisplay, ChartDisplay.h).
#include <QAction>
#include <QApplication>
#include <QCursor>
#include <QFrame>
#include <QMenu>
#include <QPushButton>

#include <algorithm>

#include "charts/ChartFile.h"
#include "charts/ChartList.h"
#include "charts/FileNames.h"
#include "foundation/GenUtil.h"
#include "geodesy/CTrans.h"
#include "instruments/NMEA.h"
#include "navobjects/Routes.h"
#include "platform/FileDialogs.h"
#include "plotter/dialogs/AuxDialogs.h"
#include "plotter/ChartCanvas.h"
#include "plotter/QtColour.h"
#include "plotter/chartview/ChartCursors.h"
#include "plotter/chartview/ChartDisplay.h"
#include "plotter/core/KeyMap.h"
#include "plotter/core/Messages.h"
#include "plotter/core/SysInfo.h"
#include "plotter/core/UpdateCycle.h"

namespace {

QString Text(const std::string& s) { return QString::fromStdString(s); }

// The "Chart Files" filter of the open dialog.
constexpr const char* kChartFilterTail = "|*.PNG;*.BMP;*.KAP;*.WCI;*.GEO|WCI|*.WCI|BSB/KAP|*.KAP|GEO/NOS|*.GEO|PNG|*.PNG|BMP|*.BMP|*.*|*.*";
constexpr int kMsgChartFiles = 70;

// The available-charts window with the plotter's message texts and the
// night shading's colours; the chosen chart's name, or nothing.
std::optional<std::string> ChooseAvailableChart(IWindowServices& window, TChartAvail& avail,
                                                const TMessageTable& messages, const TWindowColours& colours,
                                                const TChartList* catalog) {
  avail.SetColumnCaptions(Text(messages[55]), Text(messages[56]));
  avail.SetListColours(ToQColor(colours.palette[piWhite]), ToQColor(colours.palette[piBlack]));
  avail.Catalog = catalog;
  if (window.ExecDialog(avail) != QDialog::Accepted || avail.SelectedName.empty()) return std::nullopt;
  return avail.SelectedName;
}

}  // namespace

void TChartDisplay::XOpenClick() {
  TFPoint noted;
  const bool hasNoted = PositionAtView(View.MouseView(), noted);
  TFileDialogOptions o;
  o.title = messages_[kMsgChartFiles];
  o.filter = messages_[kMsgChartFiles] + kChartFilterTail;
  o.defaultExt = "WCI";
  o.initialDir = sys_.XChartDir;
  const std::optional<std::string> chosen = OpenFileDialog(o);
  if (!chosen || chosen->empty()) return;
  sys_.XChartDir = DirectoryOf(*chosen);
  if (!LoadChart(*chosen)) return;
  PreviousChart = CurrentChart;
  CurrentChart = -1;
  o_.catalog.Current = -1;
  if (hasNoted && InsideCurrentChart(noted)) CentreOnPosition(noted);
  UpdateTitle();
}

void TChartDisplay::ListAllChartsClick() {
  if (flags_.Has(pfAutomatic) || !forms_.ChartAvail) return;
  const std::optional<std::string> chosen =
      ChooseAvailableChart(window_, *forms_.ChartAvail, messages_, colours_, &o_.catalog);
  if (!chosen) return;
  if (OpenCatalogChart(o_.catalog.FindByName(*chosen)) < 0) return;
  const TFPoint boat = o_.parser.Info.Pos;
  if (InsideCurrentChart(boat)) CentreOnPosition(boat);
}

void TChartDisplay::Last1Click() {
  if (PreviousChart < -1 || PreviousChartFile.empty()) return;
  const std::string file = PreviousChartFile;
  const TChartView::THistory history = View.Previous();
  const int previous = PreviousChart;
  if (!LoadChart(file)) return;
  View.SetTargetZoom(history.zoom);
  ApplyZoom(View.MouseView(), true);
  ScrollTo(history.scroll);
  PreviousChart = CurrentChart;
  CurrentChart = previous;
  o_.catalog.Current = CurrentChart >= 0 ? CurrentChart : -1;
  UpdateTitle();
  Repaint();
}

void TChartDisplay::OnPosition1Click() {
  TChartList& catalog = o_.catalog;
  TFPoint pos;
  if (flags_.Has(pfAutomatic))
    pos = o_.parser.Info.Pos;
  else if (MenuPosValid)
    pos = MenuPos;
  else
    return;
  if (!forms_.ChartAvail) return;
  TChartAvail& avail = *forms_.ChartAvail;
  avail.ResetList();
  catalog.ListChartsAt(
      pos, 0,
      [&](const std::string& name, int32_t scale) {
        avail.AddChartItem(name, scale, catalog.ResolvedFileName(catalog.FindByName(name)));
      },
      0);
  avail.SetFilled(true);
  const std::optional<std::string> chosen = ChooseAvailableChart(window_, avail, messages_, colours_, &catalog);
  // The next "List All" lists the whole catalog again, not the charts of
  // this position.
  avail.ResetList();
  if (!chosen) return;
  const int index = catalog.FindByName(*chosen);
  if (index == CurrentChart || OpenCatalogChart(index) >= 0) CentreOnPosition(pos);
}

void TChartDisplay::MChartInfo1Click() {
  T_CHInfo* info = forms_.CHInfo;
  if (!info) return;
  info->ReadOnlyInfo = true;
  info->Datums = &o_.datum;
  const std::string search = o_.chartFile.SearchPath;
  info->Fill(ChartInfo, CurrentChartFile.empty() ? std::string() : TChartFile::ResolveChartFile(CurrentChartFile, search));
  window_.ExecDialog(*info);
}

void TChartDisplay::FindBest1Click() {
  if (flags_.Has(pfAutomatic)) {
    BestChartForBoatClick();
    return;
  }
  const TFPoint v{double(MenuPixel.x()), double(MenuPixel.y())};
  if (BestChartAtPoint(v, 0) < 0) CentreOnViewPoint(v);
}

void TChartDisplay::NextChart1Click() {
  if (MenuPosValid) BestChartForPosition(MenuPos, PreferredScale);
}

void TChartDisplay::BestChartForBoatClick() {
  const TFPoint boat = o_.parser.Info.Pos;
  if (BestChartForPosition(boat, 0) < 0) CentreOnPosition(boat);
}

void TChartDisplay::SmallerScale1Click() {
  const bool automatic = flags_.Has(pfAutomatic);
  TFPoint pos;
  if (automatic)
    pos = o_.parser.Info.Pos;
  else if (MenuPosValid)
    pos = MenuPos;
  else
    return;
  TChartList& catalog = o_.catalog;
  catalog.Current = CurrentChart >= 0 ? CurrentChart : -1;
  const int index = catalog.SmallerScaleChart(pos, CurrentChart, sys_.BrowseGroups, ChartInfo.Layout.Scale);
  OpenCatalogChart(index);
  if (automatic) {
    const TPoint offset = window_.UpdateCycle() ? window_.UpdateCycle()->LookAheadOffset() : TPoint{};
    CentreOnPosition(pos, offset.X, offset.Y);
  } else {
    CentreOnPosition(pos);
  }
}

void TChartDisplay::OutlineMnuClick() {
  OutlinesShown = !OutlinesShown;
  for (const char* n : {"FMOutline", "RFOutline"})
    if (QAction* a = window_.MenuItem(n)) a->setChecked(OutlinesShown);
  Repaint();
}

void TChartDisplay::DBBLatClick() { FindPosition(o_.parser.Info.Pos); }

void TChartDisplay::DBBLatDblClick() { BestChartForPosition(o_.parser.Info.Pos, PreferredScale); }

void TChartDisplay::SetMark1Click() {
  if (MenuPosValid) SetMarker(MenuPos);
}

void TChartDisplay::MeasureLabClick() {
  cursors_.CursorMode = ccMeasure;
  cursors_.Show(canvas_);
}

void TChartDisplay::CenterLabClick() {
  cursors_.CursorMode = ccAim;
  cursors_.Show(canvas_);
}

bool TChartDisplay::DoubleClickMeasures() const { return measureButton_.isChecked(); }

void TChartDisplay::ToggleDoubleClickAction() {
  (DoubleClickMeasures() ? centerButton_ : measureButton_).setChecked(true);
}

void TChartDisplay::DBI_AUTOClick() {
  if (flags_.Has(pfRouteEditor)) return;
  flags_.Toggle(pfAutomatic);
  sys_.AutoScroll = flags_.Has(pfAutomatic);
  // Switched on: the chart for the boat at once, not at the next display
  // update (switched off, the chart on show stays).
  if (flags_.Has(pfAutomatic))
    if (TUpdateCycle* cycle = window_.UpdateCycle()) cycle->AutoChartSwitch(true);
  window_.UpdateStatus();
  o_.positions.StyleAll();
  window_.RequestRepaint();
}

void TChartDisplay::StoreMenuPosition() {
  MenuPixel = canvas_.mapFromGlobal(QCursor::pos());
  MenuPosValid = PositionAtView({double(MenuPixel.x()), double(MenuPixel.y())}, MenuPos);
}

bool TChartDisplay::DoChartKeyAction(const TKeyDecision& d) {
  // Keys act at the mouse, or in the middle of the view when the mouse is
  // elsewhere.
  TFPoint at{double(MenuPixel.x()), double(MenuPixel.y())};
  if (!canvas_.rect().contains(MenuPixel)) at = {ViewSize().X / 2.0, ViewSize().Y / 2.0};
  switch (d.action) {
    case TKeyAction::BestChartForBoat:
      BestChartForBoatClick();
      return true;
    case TKeyAction::SmallerScaleChart:
      SmallerScale1Click();
      return true;
    case TKeyAction::PreviousChart:
      Last1Click();
      return true;
    case TKeyAction::ToggleOutlines:
      OutlineMnuClick();
      return true;
    case TKeyAction::FindBoat:
      DBBLatClick();
      return true;
    case TKeyAction::BestChartAtMouse:
      FindBest1Click();
      return true;
    case TKeyAction::MarkerAtMouse:
      SetMark1Click();
      return true;
    case TKeyAction::ChartsOnPosition:
      OnPosition1Click();
      return true;
    case TKeyAction::ListAllCharts:
      ListAllChartsClick();
      return true;
    case TKeyAction::ZoomOutAtMouse:
      ZoomStep(at, 1);
      return true;
    case TKeyAction::ZoomInAtMouse:
      ZoomStep(at, -1);
      return true;
    default:
      return false;
  }
}

// ---------------------------------------------------------------------------
// The marker

void TChartDisplay::MANOVERBOARD1Click() { SetMarker(o_.parser.Info.Pos); }

void TChartDisplay::SetMarker(const TFPoint& pos) {
  MarkerPos = pos;
  MarkerShown = true;
  RefreshMarkerBox();
  window_.RequestRepaint();
}

void TChartDisplay::ClearMarker() {
  MarkerShown = false;
  markerBox_.setPalette(QPalette());
  window_.RequestRepaint();
}

void TChartDisplay::RefreshMarkerBox() {
  if (!MarkerShown) return;
  QPalette pal = QApplication::palette();
  pal.setColor(QPalette::Window, ToQColor(colours_.aqua));
  markerBox_.setPalette(pal);
  markerBox_.setAutoFillBackground(true);
  // The marker's position, and its bearing and distance from the boat.
  ShowPositionInfo(MarkerPos, o_.parser.Info.Pos);
}
