#include "plotter/track/TrackView.h"

#include <QAction>

#include <string>

#include "instruments/NMEA.h"
#include "navobjects/Trace.h"
#include "plotter/chartview/ChartDisplay.h"
#include "plotter/core/SysInfo.h"

TTrackView::TTrackView(const TWindowContext& c, TTrace& trace, TNMEA& parser, const TChartDisplay& chart)
    : TWindowFeature(c), trace_(trace), parser_(parser), chart_(chart), openOld_(Item("OpenOld1")) {}

void TTrackView::ApplyTrackSettings() {
  TTraceSettings& s = trace_.Settings;
  s.TrackTime = sys_.TrackTime;
  s.TrackDistance = sys_.TrackDistance;
  s.TrackCompDev = sys_.TrackCompDev;
  s.TransducerDepth = sys_.TransducerDepth;
  s.TrackDir = sys_.TrackDir;
  // A track that cannot be written is said in the message panel, once
  // until writing works again; the rest of the program goes on.
  trace_.OnWriteError = [this](const std::string& text) { window_.ShowNotice(text); };
}

void TTrackView::ApplyTracking() {
  trace_.SetRecording(flags_.Has(pfTracking), parser_.Info);
  // The day file's points (a restart on the same day) for the chart shown.
  PlaceTrackForChart();
}

void TTrackView::DBI_TRACEClick() {
  flags_.Toggle(pfTracking);
  sys_.ShowTrack = flags_.Has(pfTracking);
  openOld_.setChecked(false);
  ApplyTracking();
  window_.UpdateStatus();
  window_.RequestRepaint();
}

void TTrackView::RecordTrack() {
  const int32_t before = trace_.Count();
  trace_.RecordTick(parser_.Info);
  // A new point lengthens the drawn line: shown at the next display update.
  if (trace_.Count() != before && trace_.Visible() && trace_.ScreenCount() > 0) window_.RequestRepaint();
}

void TTrackView::PlaceTrackForChart() {
  if (!flags_.Has(pfChartLoaded)) return;
  trace_.SetViewArea(chart_.ChartInfo.Layout.Bounds);
}

void TTrackView::ChartLoaded(const RChartInfo&, const TFPointArray&) { PlaceTrackForChart(); }

void TTrackView::ZoomChanged() { trace_.RebuildScreen(); }

void TTrackView::Paint(ICanvas& canvas, TPoint scroll) {
  if (!trace_.Visible()) return;
  trace_.Draw(canvas, scroll, TrackPen(ColorToRGB(colours_.track), sys_.TrackWidth));
}
