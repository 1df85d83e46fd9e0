// The AIS targets on the chart and on the dashboard: decoding switched by
// "AIS Show", the targets placed on each chart and zoom and drawn over the
// track, the collision check of every tick, the dashboard's target list with
// "Find" and "Info", the target information window, and the tick's
// housekeeping (chart points, ageing). The decoder and the targets are
// instruments/AIS.h; the drawing and the information texts are
// plotter/core/AisDisplay.h.
#pragma once

#include <QPointer>

#include "plotter/WindowServices.h"
#include "plotter/chartview/ChartOverlay.h"

class QListWidget;
class TAisDecoder;
class TChartDisplay;
class TNMEA;
class TSpyFrm;
class TWorldConvert;

class TAisView final : public TWindowFeature, public IChartOverlay {
 public:
  // Wires the target list's buttons and "AIS Info".
  TAisView(const TWindowContext& c, TAisDecoder& ais, TNMEA& parser, TWorldConvert& converter, TChartDisplay& chart);

  // "AIS Show": decoding on, or off with the table emptied.
  void ApplyAisSettings();
  // The collision check of the tick: "AIS CPA Max" and "AIS TCPA Max"
  // against every vessel; sets or clears the AIS alarm (also with no chart
  // and with the window minimised). True when a target is in alarm.
  bool CheckAisAlarm();
  // The dashboard's target list, sorted (kinds before vessel names); the
  // selection is kept.
  void RefreshAisList();
  // The slot of the target chosen in the list, or -1.
  int SelectedAisIndex() const;
  // "Find" (the chart centred on the chosen target), "Info", and "AIS
  // Info" of the chart's menu (the target nearest to the menu position).
  void AIS_FindClick();
  void AIS_InfoClick();
  void AISInfo1Click();
  // Fills and shows the information window of a target; hides it when the
  // target has no position any more.
  void ShowAisInfo(int slot);
  // The tick: the information window follows its target; a window the user
  // closed is freed.
  void RefreshAisInfo();
  void FreeHiddenAisInfo();
  // The chart points of targets that moved (all with `force`); how many.
  int ReprojectAis(bool force);
  // Targets silent for the hide time are hidden, for the delete time freed.
  void PurgeAis(int hideMinutes, int deleteMinutes);

  QPointer<TSpyFrm> AisInfoWindow;
  int AisInfoIndex = -1;

  // The overlay.
  void ChartLoaded(const RChartInfo& chart, const TFPointArray& extendedCorners) override;
  void ZoomChanged() override;
  void Paint(ICanvas& canvas, TPoint scroll) override;

 private:
  TAisDecoder& ais_;
  TNMEA& parser_;
  TWorldConvert& converter_;
  TChartDisplay& chart_;
  QListWidget& list_;
};
