// The main window's NMEA output: the steering sentences of the update
// cycle, the route and positions uploads of the menus, and the navigation
// data line shared with other programs on this computer. The sentences are
// built by instruments/NMEAOutput.h; the queue goes out to port A or the
// network link in MainPorts.cpp.
#include <QAction>

#include <string>
#include <vector>

#include "instruments/NMEA.h"
#include "instruments/NMEAOutput.h"
#include "instruments/qt/DataShare.h"
#include "navobjects/Routes.h"
#include "platform/RuntimeDir.h"
#include "plotter/MainForm.h"
#include "plotter/core/RouteGuidance.h"
#include "plotter/core/SysInfo.h"

namespace {

std::vector<TUploadPoint> UploadPoints(const TRoute& list) {
  std::vector<TUploadPoint> points;
  points.reserve(static_cast<size_t>(list.Count()));
  for (int i = 0; i < list.Count(); ++i) points.push_back({list.At(i)->Position, list.At(i)->Caption});
  return points;
}

}  // namespace

TNmeaOutputSettings T_Form::OutputSettings() const {
  TNmeaOutputSettings s;
  s.Talker = TalkerFromUnitId(SysInfo.UnitId);
  s.NameMode = SysInfo.APCapability;
  return s;
}

void T_Form::UpdateSteering() {
  TNMEA* p = Parser();
  if (!p) return;
  const TSteering s = ComputeSteering(p->Info, steeringOffset_);
  steeringOffset_ = s.offset;
  if (!s.known) return;
  p->Info.SteerHeading = s.steerHeading;
  p->Info.SteerHeadingMag = s.steerHeadingMag;
}

bool T_Form::SendSteering() {
  TNMEA* p = Parser();
  if (!p || !PlotterFlags.Has(pfPilot)) return false;
  UpdateSteering();
  // A sentence that could not be built (a value it needs is not known yet)
  // keeps the cycle's counter where it is, so the cycle runs again at the
  // next tick instead of "AutoP Upd" ticks later. The sentences that could
  // be built go out all the same: one missing value never silences the
  // autopilot's other sentences.
  bool allBuilt = false;
  for (const std::string& sentence :
       SteeringSentences(p->Info, static_cast<uint32_t>(SysInfo.AutoPMsg), OutputSettings(), &allBuilt))
    p->AppendOutput(sentence);
  return allBuilt;
}

bool T_Form::QueueUpload(const std::vector<std::string>& sentences, const std::string& what) {
  TNMEA* p = Parser();
  if (!p || sentences.empty()) return false;
  // Nothing goes out half: an upload that has no way out or no room in the
  // queue is said, not dropped.
  if (!OutputChannelOpen()) {
    ShowNotice(what + " not sent: no NMEA output is open (port A, or a network link that sends)");
    return false;
  }
  size_t bytes = 0;
  for (const std::string& s : sentences) bytes += s.size();
  if (!p->OutputEnabled || p->Info.OutBuffer.size() + bytes > TNMEA::kMaxOutBuffer) {
    ShowNotice(what + " not sent: the output queue has no room for all of it now; try again shortly");
    return false;
  }
  for (const std::string& s : sentences) p->AppendOutput(s);
  PumpOutput();
  return true;
}

void T_Form::SendRoute() {
  if (!Route || Route->Empty()) return;
  QueueUpload(RouteUploadSentences(UploadPoints(*Route), OutputSettings()), "The route");
}

void T_Form::SendPositions() {
  if (!Positions || Positions->Empty()) return;
  QueueUpload(PositionUploadSentences(UploadPoints(*Positions), OutputSettings()), "The positions");
}

void T_Form::ApplyOutputSettings() {
  if (!SysInfo.DDE) {
    if (DataShare) DataShare->Stop();
    dataShareFailureShown_ = false;
    return;
  }
  if (!DataShare) DataShare = std::make_unique<TDataShareServer>();
  if (DataShare->Listening()) return;
  std::string error;
  if (!EnsureRuntimeDirectory(&error) || !DataShare->Start(DataSocketPath(), &error)) {
    if (!dataShareFailureShown_) ShowNotice("The navigation data line is not shared: " + error);
    dataShareFailureShown_ = true;
  }
}

void T_Form::PublishDataLine() {
  TNMEA* p = Parser();
  if (!p || !DataShare || !DataShare->Listening()) return;
  DataShare->Publish(MakeDataLine(p->Info, Route && Route->Following));
}

void T_Form::WireOutputCommands() {
  WireCommand("FMRouteExportNMEA", &T_Form::SendRoute);
  WireCommand("RFSendNMEA", &T_Form::SendRoute);
  WireCommand("WPExportNMEA", &T_Form::SendPositions);
}
