// The main window and the AIS targets: the decoder attached to the parser,
// the "AIS" settings, the targets placed on each chart and zoom, and the
// tick's housekeeping (chart points, ageing).
#include <memory>

#include "geodesy/CTrans.h"
#include "instruments/AIS.h"
#include "instruments/NMEA.h"
#include "plotter/MainForm.h"
#include "plotter/core/SysInfo.h"

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
