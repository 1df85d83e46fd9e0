// The track files' commands: an old track shown on the chart ("Open Old"),
// a text track imported into a track file, and the track shown exported as
// text. The file formats are navobjects/Trace.h.
#pragma once

#include <string>

#include "plotter/WindowServices.h"

class QAction;
class QPushButton;
class TTrace;
class TTrackView;

class TTrackFiles final : public TWindowFeature {
 public:
  // Wires "Open Old", "Import" and "Export Text".
  TTrackFiles(const TWindowContext& c, TTrace& trace, TTrackView& view);

  void OpenOld1Click();
  void ImportTRCClick();
  void TrackExport1Click();
  // A track file shown on the chart, named on the TRACK button.
  void ShowTrackFile(const std::string& file);

 private:
  TTrace& trace_;
  TTrackView& view_;
  QAction& openOld_;
  QPushButton& traceButton_;
};
