// The main window and its settings: pushing them into the objects and the
// features that use them, in the order the settings' rules give; the setup
// dialog; the language file; the serial ports' opening and closing.
#include <QAction>
#include <QMenu>
#include <QPlainTextEdit>

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
#include "foundation/qt/Language.h"
#include "instruments/qt/AfComPort.h"
#include "navobjects/LogBook.h"
#include "navobjects/NavCtrls.h"
#include "platform/Questions.h"
#include "plotter/MainForm.h"
#include "plotter/dialogs/AuxDialogs.h"
#include "plotter/printing/PrintDialogs.h"
#include "plotter/settings/Setup1.h"
#include "sharedui/ChartAvail.h"
#include "sharedui/ChartInfoDialog.h"
#include "sharedui/DatumAlias.h"
#include "plotter/output/NmeaOutput.h"
#include "plotter/ports/PortLinks.h"
#include "plotter/symbols/ChartSymbols.h"
#include "plotter/ais/AisView.h"
#include "plotter/chartview/ChartDisplay.h"
#include "plotter/core/Ports.h"
#include "plotter/core/UpdateCycle.h"
#include "plotter/dashboard/DashboardColumn.h"
#include "plotter/dashboard/NightShade.h"
#include "plotter/track/TrackView.h"

void T_Form::ApplySettings(bool starting) {
  // 1. Colours and the side of the dashboard.
  if (dashboard_) dashboard_->PlaceDashboard();
  if (shading_) shading_->RecomputeColours();
  // 2. Drawing quality and cursors.
  if (Pager) Pager->StretchMode = SysInfo.HighQualityZoom ? 1 : 3;
  Cursors.FatCursors = SysInfo.FatCursors;
  Cursors.Show(*MapCanvas);
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
    if (chart_) chart_->ApplyGpsDatum();
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
  if (aisView_) aisView_->ApplyAisSettings();
  if (track_) track_->ApplyTrackSettings();
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
  if (dashboard_) dashboard_->UpdateInstrumentBoxes();
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
  if (chart_) chart_->UpdateView();
}


// ---------------------------------------------------------------------------
// Language

std::vector<QWidget*> T_Form::LanguageForms() const {
  std::vector<QWidget*> forms{const_cast<T_Form*>(this)};
  const std::initializer_list<QWidget*> others = {forms_.SetupFrm, forms_.Browser, forms_.ChartAvail,
                                                  forms_.WptEdFrm, forms_.PSForm,  forms_.PRInit,
                                                  forms_.CHInfo,   forms_.DatFrm,  forms_.GRP_Org,
                                                  forms_.S_Frm};
  for (QWidget* w : others)
    if (w) forms.push_back(w);
  // Then every other window of the program (the route selection list), so
  // that no window keeps texts the language file cannot reach.
  for (QWidget* w : forms_.All)
    if (w && std::find(forms.begin(), forms.end(), w) == forms.end()) forms.push_back(w);
  return forms;
}

void T_Form::ReloadMessageTable() {
  std::vector<std::string> lines;
  for (const QString& l : TX_MESSAGES->toPlainText().split(u'\n')) lines.push_back(l.toStdString());
  Messages.SetLines(std::move(lines));
}

void T_Form::ApplyLanguage(const std::string& fileName, bool save) {
  if (fileName.empty()) return;
  ::ApplyLanguage(LanguageForms(), fileName, save);
  if (!save) {
    // The message table follows the translated lines.
    ReloadMessageTable();
    UpdateStatus();
  }
}

void T_Form::LanguageCommand() {
  const TLanguageResult result = ApplyLanguageSetting(LanguageForms(), SysInfo.LanguageFile);
  if (result == TLanguageResult::Loaded) {
    ReloadMessageTable();
    UpdateStatus();
  }
}

// ---------------------------------------------------------------------------
// The ports

void T_Form::OpenPorts() {
  TAfComPort* ports[3] = {GPSCom, NMEAPort1, NMEAPort2};
  for (int i = 0; i < 3; ++i) {
    if (!ports[i]) continue;
    try {
      ports[i]->DeviceName = SysInfo.ComDevice[i];
      ::OpenPort(*ports[i], TPortSetting{SysInfo.ComPort[i], SysInfo.BaudRateId[i]},
                 Messages[msgCouldNotOpenPort], [](const std::string& text) { AppMessageBox(text, mfOk); });
    } catch (...) {
      // One port's trouble never keeps the others closed.
    }
  }
}

void T_Form::ClosePorts() {
  for (TAfComPort* port : {GPSCom, NMEAPort1, NMEAPort2}) {
    if (!port) continue;
    try {
      ::ClosePort(*port);
    } catch (...) {
    }
  }
}

