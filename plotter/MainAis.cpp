// The main window and the AIS targets: the decoder attached to the parser,
// the "AIS" settings, the targets placed on each chart and zoom, and the
// tick's housekeeping (chart points, ageing).
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>

#include <algorithm>
#include <memory>

#include "geodesy/CTrans.h"
#include "instruments/AIS.h"
#include "instruments/NMEA.h"
#include "plotter/MainForm.h"
#include "platform/qt/QtCanvas.h"
#include "plotter/core/AisDisplay.h"
#include "plotter/core/Dashboard.h"
#include "plotter/core/SysInfo.h"
#include "sharedui/SpyFrm.h"

void T_Form::CreateAisDecoder() {
  TNMEA* p = Parser();
  if (!p) return;
  Ais = std::make_unique<TAisDecoder>(*p);
}

void T_Form::ApplyAisSettings() {
  TNMEA* p = Parser();
  if (!p) return;
  if (SysInfo.AISShow) {
    p->AisEnabled = true;
  } else if (Ais) {
    // Off: nothing is kept of what was heard, nothing further is decoded.
    Ais->ClearTargets();
  } else {
    p->AisEnabled = false;
  }
  RefreshAisList();
}

void T_Form::PlaceAisForChart() {
  if (!Ais || !PlotterFlags.Has(pfChartLoaded)) return;
  Ais->SetAisViewArea(ChartInfo.Layout.Bounds);
  ReprojectAis(true);
}

int T_Form::ReprojectAis(bool force) {
  if (!Ais || !Converter || !Converter->Valid || !PlotterFlags.Has(pfChartLoaded)) return 0;
  TWorldConvert& c = *Converter;
  return Ais->UpdateScreenPoints(force, [&c](const TFPoint& pos, TPoint& pixel) { return c.GeoToPixelInt(pos, pixel); });
}

void T_Form::PurgeAis(int hideMinutes, int deleteMinutes) {
  if (Ais) Ais->Purge(hideMinutes, deleteMinutes);
}

// ---------------------------------------------------------------------------
// Targets on the chart, the alarm, the target list and the information
// window

void T_Form::PaintAis(ICanvas& canvas) {
  TNMEA* p = Parser();
  if (!Ais || !p || !p->AisEnabled || !Converter || !Converter->Valid || !PlotterFlags.Has(pfChartLoaded)) return;
  const TNMEAINFO& n = p->Info;
  TAisDrawSettings s;
  s.labels = SysInfo.AISLabels;
  s.markerSize = SysInfo.AISMarkerSize;
  const TWindowColours& c = Colours;
  s.marker = ColorToRGB(c.aisMarker);
  s.msgAvail = ColorToRGB(c.aisMsgAvail);
  s.text = ColorToRGB(c.aisTargetText);
  s.cpa = ColorToRGB(c.aisCpa);
  s.outline = SysInfo.AISTargetOutline;
  s.speedMark = SysInfo.AISSpeedMark;
  s.cpaMax = SysInfo.AISCPAMax;
  s.speedMarkSeconds = SysInfo.SpeedMark;
  s.milesPerPixel = n.MilesPerPixel;
  s.northRotation = n.NorthRotation;
  TAisOwnShip own;
  own.pos = n.Pos;
  own.sogKnots = IsKnown(n.SOG) ? n.SOG : 0;
  own.headingRad = IsKnown(n.Heading) ? n.Heading : 0;
  TWorldConvert& conv = *Converter;
  own.toPixel = [&conv](const TFPoint& pos, TPoint& px) { return conv.GeoToPixelInt(pos, px); };
  own.onChart = [this](const TFPoint& pos) { return InsideCurrentChart(pos); };
  const int infoSlot = AisInfoWindow && AisInfoWindow->isVisible() ? AisInfoIndex : -1;
  DrawAisTargets(canvas, *Ais, s, View.Scroll(), own, infoSlot);
}

bool T_Form::CheckAisAlarm() {
  TNMEA* p = Parser();
  // With AIS off nothing can be in alarm.
  const bool alarm = Ais && p && p->AisEnabled && Ais->CheckAlarms(SysInfo.AISTCPAMax, SysInfo.AISCPAMax) > 0;
  NavFlags.Set(nfAisAlarm, alarm);
  return alarm;
}

void T_Form::WireAisCommands() {
  if (auto* b = DB->findChild<QPushButton*>(QStringLiteral("AIS_Find")))
    connect(b, &QPushButton::clicked, this, &T_Form::AIS_FindClick);
  if (auto* b = DB->findChild<QPushButton*>(QStringLiteral("AIS_Info")))
    connect(b, &QPushButton::clicked, this, &T_Form::AIS_InfoClick);
  WireCommand("AISInfo1", &T_Form::AISInfo1Click);
}

void T_Form::RefreshAisList() {
  auto* list = DB ? DB->findChild<QListWidget*>(QStringLiteral("BC_AIS")) : nullptr;
  TNMEA* p = Parser();
  if (!list) return;
  // AIS off: no target is kept, and the list shows none.
  if (!Ais || !p || !p->AisEnabled) {
    if (list->count() > 0) list->clear();
    return;
  }
  std::vector<std::string> names;
  Ais->ListTargets(names);
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

int T_Form::SelectedAisIndex() const {
  TNMEA* p = const_cast<T_Form*>(this)->Parser();
  auto* list = DB ? DB->findChild<QListWidget*>(QStringLiteral("BC_AIS")) : nullptr;
  if (!Ais || !p || !p->AisEnabled || !list || !list->currentItem()) return -1;
  const int slot = AisSlotOfListEntry(list->currentItem()->text().toStdString());
  return slot < Ais->TargetCount() ? slot : -1;
}

void T_Form::AIS_FindClick() {
  const int i = SelectedAisIndex();
  if (i < 0 || Ais->Target(i).TargetState != kAisActive) return;
  FindPosition(Ais->Target(i).TargetPos);
}

void T_Form::AIS_InfoClick() {
  const int i = SelectedAisIndex();
  if (i >= 0) ShowAisInfo(i);
}

void T_Form::AISInfo1Click() {
  TNMEA* p = Parser();
  if (!Ais || !p || !p->AisEnabled || !MenuPosValid) return;
  const int i = Ais->NearestTarget(MenuPos);
  if (i >= 0) ShowAisInfo(i);
}

void T_Form::ShowAisInfo(int i) {
  TNMEA* p = Parser();
  if (!Ais || !p || !p->AisEnabled || i < 0 || i >= Ais->TargetCount() ||
      Ais->Target(i).TargetState != kAisActive) {
    if (AisInfoWindow) AisInfoWindow->hide();
    return;
  }
  if (!AisInfoWindow) {
    AisInfoWindow = new TSpyFrm(this);
    AisInfoWindow->setObjectName(QStringLiteral("AisInfoWindow"));
    AisInfoWindow->resize(250, 276);
    AisInfoWindow->move(1, 1);
  } else if (!AisInfoWindow->isVisible()) {
    AisInfoWindow->resize(250, 276);
    AisInfoWindow->move(1, 1);
  }
  TSpyFrm& w = *AisInfoWindow;
  w.Clear();
  Ais->MarkTextShown(i);
  AisInfoIndex = i;
  w.SetPreview(Messages[84]);
  TAisInfoUnits units;
  units.depthShow = SysInfo.DepthShow;
  units.windShow = SysInfo.WindShow;
  const std::vector<std::string> lines = AisInfoLines(Ais->Target(i), i, SysInfo.AISLabels, Messages, units);
  for (const std::string& line : lines) w.AddLine(line);
  if (Ais->Target(i).TextTime != 0) w.SpyTxt->setLineWrapMode(QPlainTextEdit::WidgetWidth);
  w.resize(w.width(), static_cast<int>(lines.size()) * w.SpyTxt->fontMetrics().height() + 74);
  if (!w.isVisible()) {
    w.show();
    activateWindow();
  }
}

void T_Form::RefreshAisInfo() {
  if (AisInfoWindow && AisInfoWindow->isVisible()) ShowAisInfo(AisInfoIndex);
  RefreshAisList();
}

void T_Form::FreeHiddenAisInfo() {
  if (AisInfoWindow && !AisInfoWindow->isVisible()) {
    delete AisInfoWindow.data();
    AisInfoIndex = -1;
  }
}
