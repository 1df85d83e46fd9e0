// The track: the recorder's settings, the TRACK switch, the offer of the
// boat's position at every tick, and the track on the chart (placed for each
// chart and zoom, drawn above the chart outlines). The recorder is
// navobjects/Trace.h; the track files' commands are in TrackFiles.h.
#pragma once

#include "plotter/WindowServices.h"
#include "plotter/chartview/ChartOverlay.h"

class QAction;
class TChartDisplay;
class TNMEA;
class TTrace;

class TTrackView final : public TWindowFeature, public IChartOverlay {
 public:
  TTrackView(const TWindowContext& c, TTrace& trace, TNMEA& parser, const TChartDisplay& chart);

  // The recording settings and the write-error notice into the recorder.
  void ApplyTrackSettings();
  // The TRACK switch's state into the recorder: recording starts (today's
  // file, its points shown) or stops.
  void ApplyTracking();
  // TRACK on or off (DBI_TRACE, F3, Ctrl+T).
  void DBI_TRACEClick();
  // The tick's offer of the boat's position to the recorder.
  void RecordTrack();
  // The chart's area to the track (a chart is loaded).
  void PlaceTrackForChart();

  // The overlay.
  void ChartLoaded(const RChartInfo& chart, const TFPointArray& extendedCorners) override;
  void ZoomChanged() override;
  void Paint(ICanvas& canvas, TPoint scroll) override;

 private:
  TTrace& trace_;
  TNMEA& parser_;
  const TChartDisplay& chart_;
  QAction& openOld_;
};
