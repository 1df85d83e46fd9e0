#include "plotter/ais/AisView.h"

#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>

#include <algorithm>

#include "charts/ChartInfo.h"
#include "geodesy/CTrans.h"
#include "instruments/AIS.h"
#include "instruments/NMEA.h"
#include "plotter/chartview/ChartDisplay.h"
#include "plotter/core/AisDisplay.h"
#include "plotter/core/Dashboard.h"
#include "plotter/core/SysInfo.h"
#include "sharedui/SpyFrm.h"

TAisView::TAisView(const TWindowContext& c, TAisDecoder& ais, TNMEA& parser, TWorldConvert& converter,
                   TChartDisplay& chart)
    : TWindowFeature(c),
      ais_(ais),
      parser_(parser),
      converter_(converter),
      chart_(chart),
      list_(Widget<QListWidget>("BC_AIS")) {
  QObject::connect(&Widget<QPushButton>("AIS_Find"), &QPushButton::clicked, &links_, [this] { AIS_FindClick(); });
  QObject::connect(&Widget<QPushButton>("AIS_Info"), &QPushButton::clicked, &links_, [this] { AIS_InfoClick(); });
  WireCommand("AISInfo1", [this] { AISInfo1Click(); });
}

void TAisView::ApplyAisSettings() {
  if (sys_.AISShow)
    parser_.AisEnabled = true;
  else
    // Off: nothing is kept of what was heard, nothing further is decoded.
    ais_.ClearTargets();
  RefreshAisList();
}

void TAisView::ChartLoaded(const RChartInfo& chart, const TFPointArray&) {
  if (!flags_.Has(pfChartLoaded)) return;
  ais_.SetAisViewArea(chart.Layout.Bounds);
  ReprojectAis(true);
}

void TAisView::ZoomChanged() { ReprojectAis(true); }

int TAisView::ReprojectAis(bool force) {
  if (!converter_.Valid || !flags_.Has(pfChartLoaded)) return 0;
  TWorldConvert& c = converter_;
  return ais_.UpdateScreenPoints(force, [&c](const TFPoint& pos, TPoint& pixel) { return c.GeoToPixelInt(pos, pixel); });
}

void TAisView::PurgeAis(int hideMinutes, int deleteMinutes) { ais_.Purge(hideMinutes, deleteMinutes); }

// ---------------------------------------------------------------------------
// Targets on the chart, the alarm, the target list and the information
// window

void TAisView::Paint(ICanvas& canvas, TPoint scroll) {
  if (!parser_.AisEnabled || !converter_.Valid || !flags_.Has(pfChartLoaded)) return;
  const TNMEAINFO& n = parser_.Info;
  TAisDrawSettings s;
  s.labels = sys_.AISLabels;
  s.markerSize = sys_.AISMarkerSize;
  const TWindowColours& c = colours_;
  s.marker = ColorToRGB(c.aisMarker);
  s.msgAvail = ColorToRGB(c.aisMsgAvail);
  s.text = ColorToRGB(c.aisTargetText);
  s.cpa = ColorToRGB(c.aisCpa);
  s.outline = sys_.AISTargetOutline;
  s.speedMark = sys_.AISSpeedMark;
  s.cpaMax = sys_.AISCPAMax;
  s.speedMarkSeconds = sys_.SpeedMark;
  s.milesPerPixel = n.MilesPerPixel;
  s.northRotation = n.NorthRotation;
  TAisOwnShip own;
  own.pos = n.Pos;
  own.sogKnots = IsKnown(n.SOG) ? n.SOG : 0;
  own.headingRad = IsKnown(n.Heading) ? n.Heading : 0;
  TWorldConvert& conv = converter_;
  own.toPixel = [&conv](const TFPoint& pos, TPoint& px) { return conv.GeoToPixelInt(pos, px); };
  own.onChart = [this](const TFPoint& pos) { return chart_.InsideCurrentChart(pos); };
  const int infoSlot = AisInfoWindow && AisInfoWindow->isVisible() ? AisInfoIndex : -1;
  DrawAisTargets(canvas, ais_, s, scroll, own, infoSlot);
}

bool TAisView::CheckAisAlarm() {
  // With AIS off nothing can be in alarm.
  const bool alarm = parser_.AisEnabled && ais_.CheckAlarms(sys_.AISTCPAMax, sys_.AISCPAMax) > 0;
  nav_.Set(nfAisAlarm, alarm);
  return alarm;
}

void TAisView::RefreshAisList() {
  QListWidget* list = &list_;
  // AIS off: no target is kept, and the list shows none.
  if (!parser_.AisEnabled) {
    if (list->count() > 0) list->clear();
    return;
  }
  std::vector<std::string> names;
  ais_.ListTargets(names);
  std::sort(names.begin(), names.end());
  const QString selected = list->currentItem() ? list->currentItem()->text() : QString();
  QStringList items;
  for (const std::string& n : names) items << QString::fromStdString(n);
  bool same = list->count() == items.size();
  for (int i = 0; same && i < items.size(); ++i) same = list->item(i)->text() == items[i];
  if (same) return;
  list->clear();
  list->addItems(items);
  const QList<QListWidgetItem*> again = list->findItems(selected, Qt::MatchExactly);
  if (!again.isEmpty()) list->setCurrentItem(again.front());
}

int TAisView::SelectedAisIndex() const {
  if (!parser_.AisEnabled || !list_.currentItem()) return -1;
  const int slot = AisSlotOfListEntry(list_.currentItem()->text().toStdString());
  return slot < ais_.TargetCount() ? slot : -1;
}

void TAisView::AIS_FindClick() {
  const int i = SelectedAisIndex();
  if (i < 0 || ais_.Target(i).TargetState != kAisActive) return;
  chart_.FindPosition(ais_.Target(i).TargetPos);
}

void TAisView::AIS_InfoClick() {
  const int i = SelectedAisIndex();
  if (i >= 0) ShowAisInfo(i);
}

void TAisView::AISInfo1Click() {
  if (!parser_.AisEnabled || !chart_.MenuPosValid) return;
  const int i = ais_.NearestTarget(chart_.MenuPos);
  if (i >= 0) ShowAisInfo(i);
}

void TAisView::ShowAisInfo(int i) {
  if (!parser_.AisEnabled || i < 0 || i >= ais_.TargetCount() || ais_.Target(i).TargetState != kAisActive) {
    if (AisInfoWindow) AisInfoWindow->hide();
    return;
  }
  if (!AisInfoWindow) {
    AisInfoWindow = new TSpyFrm(&window_.Window());
    AisInfoWindow->setObjectName(QStringLiteral("AisInfoWindow"));
    AisInfoWindow->resize(250, 276);
    AisInfoWindow->move(1, 1);
  } else if (!AisInfoWindow->isVisible()) {
    AisInfoWindow->resize(250, 276);
    AisInfoWindow->move(1, 1);
  }
  TSpyFrm& w = *AisInfoWindow;
  w.Clear();
  ais_.MarkTextShown(i);
  AisInfoIndex = i;
  w.SetPreview(messages_[84]);
  TAisInfoUnits units;
  units.depthShow = sys_.DepthShow;
  units.windShow = sys_.WindShow;
  const std::vector<std::string> lines = AisInfoLines(ais_.Target(i), i, sys_.AISLabels, messages_, units);
  for (const std::string& line : lines) w.AddLine(line);
  if (ais_.Target(i).TextTime != 0) w.SpyTxt->setLineWrapMode(QPlainTextEdit::WidgetWidth);
  w.resize(w.width(), static_cast<int>(lines.size()) * w.SpyTxt->fontMetrics().height() + 74);
  if (!w.isVisible()) {
    w.show();
    window_.Window().activateWindow();
  }
}

void TAisView::RefreshAisInfo() {
  if (AisInfoWindow && AisInfoWindow->isVisible()) ShowAisInfo(AisInfoIndex);
  RefreshAisList();
}

void TAisView::FreeHiddenAisInfo() {
  if (AisInfoWindow && !AisInfoWindow->isVisible()) {
    delete AisInfoWindow.data();
    AisInfoIndex = -1;
  }
}
