// The main window and the track: the recorder's settings, the TRACK switch,
// one offer per tick, and the track on the chart (placed for each chart and
// zoom, drawn after the chart outlines).
#include <string>

#include "instruments/NMEA.h"
#include "navobjects/Trace.h"
#include "plotter/MainForm.h"
#include "plotter/core/SysInfo.h"

void T_Form::ApplyTrackSettings() {
  if (!Trace) return;
  TTraceSettings& s = Trace->Settings;
  s.TrackTime = SysInfo.TrackTime;
  s.TrackDistance = SysInfo.TrackDistance;
  s.TrackCompDev = SysInfo.TrackCompDev;
  s.TransducerDepth = SysInfo.TransducerDepth;
  s.TrackDir = SysInfo.TrackDir;
  // A track that cannot be written is said in the message panel, once
  // until writing works again; the rest of the program goes on.
  Trace->OnWriteError = [this](const std::string& text) { ShowNotice(text); };
}

void T_Form::ApplyTracking() {
  if (!Trace) return;
  TNMEA* p = Parser();
  if (!p) return;
  Trace->SetRecording(PlotterFlags.Has(pfTracking), p->Info);
  // The day file's points (a restart on the same day) for the chart shown.
  PlaceTrackForChart();
}

void T_Form::RecordTrack() {
  TNMEA* p = Parser();
  if (!Trace || !p) return;
  const int32_t before = Trace->Count();
  Trace->RecordTick(p->Info);
  // A new point lengthens the drawn line: shown at the next display update.
  if (Trace->Count() != before && Trace->Visible() && Trace->ScreenCount() > 0) RequestRepaint();
}

void T_Form::PlaceTrackForChart() {
  if (!Trace || !PlotterFlags.Has(pfChartLoaded)) return;
  Trace->SetViewArea(ChartInfo.Layout.Bounds);
}

void T_Form::ReplaceTrack() {
  if (Trace) Trace->RebuildScreen();
}

void T_Form::PaintTrack(ICanvas& canvas) {
  if (!Trace || !Trace->Visible()) return;
  Trace->Draw(canvas, View.Scroll(), TrackPen(ColorToRGB(Colours.track), SysInfo.TrackWidth));
}
