// The main window and its settings: pushing them into the objects that use
// them, and the setup dialog.
#include <QAction>
#include <QMenu>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <optional>

#include "charts/BMPager.h"
#include "foundation/Types.h"
#include "geodesy/Datum.h"
#include "geodesy/MagError.h"
#include "instruments/NMEA.h"
#include "instruments/qt/SerialDevices.h"
#include "navobjects/LogBook.h"
#include "navobjects/NavCtrls.h"
#include "platform/Questions.h"
#include "plotter/MainForm.h"
#include "plotter/Setup1.h"
#include "plotter/output/NmeaOutput.h"
#include "plotter/ports/PortLinks.h"
#include "plotter/symbols/ChartSymbols.h"
#include "plotter/core/UpdateCycle.h"

void T_Form::ApplySettings(bool starting) {
  // 1. Colours and the side of the dashboard.
  PlaceDashboard();
  RecomputeColours();
  // 2. Drawing quality and cursors.
  if (Pager) Pager->StretchMode = SysInfo.HighQualityZoom ? 1 : 3;
  FatCursors = SysInfo.FatCursors;
  ShowChartCursor();
  // 3. Symbol sizes: the boat, and the speed mark at half its size.
  const int boat = kBoatSizes[static_cast<size_t>(std::clamp(SysInfo.BoatSize, 0, 3))];
  if (BoatShape) BoatShape->SetSize(boat);
  if (SpeedShape) {
    SpeedShape->SetSize(boat / 2);
    SpeedShape->PenWidth = 2;
  }
  // 3, 5. The route's and the positions' symbols: sizes, colours, info
  // boxes and whether they may be dragged.
  if (symbols_) symbols_->ApplyShapeSettings();
  // 4, 6, 7, 10. The parser and the navigation state.
  if (TNMEA* p = Parser()) {
    p->PassFilter = SysInfo.GPSPassThrough;
    p->Info.AisCogHeadLimit = SysInfo.AISCogHeadLimit;
    p->Info.TalkerOut = TalkerFromUnitId(SysInfo.UnitId);
    p->Info.RouteIdKeep = SysInfo.RouteIdKeep;
    p->Info.WindCalc = SysInfo.WindCalc;
    p->Info.XteFactor = SysInfo.AutoPXTEAmp / 100.0;
    p->Capability = SysInfo.APCapability;
    if (!SysInfo.AISShow) SysInfo.AISPanel = false;
    // 8. A changed "GPS Datum" counts at once: the receiver's shift at the
    // chart's shift point again.
    if (PlotterFlags.Has(pfChartLoaded) && gpsShiftPoint_ && Datum) {
      Datum->SetSource(Datum->Lookup(SysInfo.GPSDatum));
      const TFPoint shift = Datum->ShiftAt(*gpsShiftPoint_);
      if (std::isfinite(shift.X) && std::isfinite(shift.Y)) p->Info.DatumOffset = shift;
    }
    // 9. The magnetic variation at the boat, now.
    if (SysInfo.MagErrCalc && MagError) {
      // Before the first fix the boat is where the last run left it.
      const TFPoint pos =
          p->Info.FixStatus == kFixNone ? TFPoint{SysInfo.LastLong, SysInfo.LastLat} : p->Info.Pos;
      if (const std::optional<double> year = DecimalYear(p->GetClock().NowUTC()))
        if (const std::optional<double> v = MagError->Declination(*year, pos.X, pos.Y, 100))
          p->Info.ModelVariation = *v;
    }
  }
  if (Speaker) {
    Speaker->Enabled = SysInfo.WarningSound;
    Speaker->GeneralSound = SysInfo.Sound1;
    // Sound names without a directory: the user's own in the data
    // directory first, then the sounds that come with the program.
    Speaker->SoundDirs = {SysInfo.ProgramDir};
    if (const std::string shipped = ShippedDataDir(); !shipped.empty()) Speaker->SoundDirs.push_back(shipped + "sounds/");
  }
  if (LogDist) LogDist->Cutoff = SysInfo.LogCutoff;
  ApplyAisSettings();
  ApplyTrackSettings();
  // 11. The ports, except during the start (they open at the first show).
  if (!starting) {
    ClosePorts();
    OpenPorts();
    if (ports_) ports_->ApplyNetworkSource();
  }
  // The shared data line ("DDE").
  if (output_) output_->ApplyOutputSettings();
  // 12. The log book.
  if (LogBook) {
    LogBook->AutoMask = static_cast<uint32_t>(SysInfo.AutoLogBook);
    LogBook->SetLogFile(SysInfo.LogBookFile, SysInfo.ProgramDir);
  }
  // 13.
  UpdateInstrumentBoxes();
  UpdateStatus();
  RequestRepaint();
}

void T_Form::MParametersClick() {
  TSetupFrm* dialog = forms_.SetupFrm;
  if (!dialog) return;
  const std::string language = SysInfo.LanguageFile;
  const std::string source = SysInfo.NmeaSimul;
  if (Datum) dialog->SetDatumNames(Datum->DatumNames());
  std::vector<std::string> devices;
  for (const TSerialDevice& d : ListSerialDevices()) devices.push_back(d.Path);
  dialog->SetSerialDevices(devices);
  if (!dialog->Execute(SysInfo)) return;
  if (SysInfo.LanguageFile != language) LanguageCommand();
  std::string error;
  if (!SaveSetup(SysInfo, &error))
    ShowFailureNotice(error);
  else if (SysInfo.NmeaSimul != source && !SaveNmeaSource(SysInfo, &error))
    ShowFailureNotice(error);
  ApplySettings(false);  // it requests the repaint
  LayoutDashboard();
  // Ring and symbol settings show at once.
  UpdateView();
}

