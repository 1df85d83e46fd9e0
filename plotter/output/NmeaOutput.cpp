#include "plotter/output/NmeaOutput.h"

#include "instruments/NMEA.h"
#include "instruments/qt/DataShare.h"
#include "navobjects/Routes.h"
#include "platform/RuntimeDir.h"
#include "plotter/core/RouteGuidance.h"
#include "plotter/core/SysInfo.h"
#include "plotter/ports/PortLinks.h"

namespace {

std::vector<TUploadPoint> UploadPoints(const TRoute& list) {
  std::vector<TUploadPoint> points;
  points.reserve(static_cast<size_t>(list.Count()));
  for (int i = 0; i < list.Count(); ++i) points.push_back({list.At(i)->Position, list.At(i)->Caption});
  return points;
}

}  // namespace

TNmeaOutput::TNmeaOutput(const TWindowContext& c, TNMEA& parser, TPortLinks& ports, TRoute& route,
                         TRoute& positions)
    : TWindowFeature(c), parser_(parser), ports_(ports), route_(route), positions_(positions) {
  WireCommand("FMRouteExportNMEA", [this] { SendRoute(); });
  WireCommand("RFSendNMEA", [this] { SendRoute(); });
  WireCommand("WPExportNMEA", [this] { SendPositions(); });
}

TNmeaOutput::~TNmeaOutput() = default;

TNmeaOutputSettings TNmeaOutput::OutputSettings() const {
  TNmeaOutputSettings s;
  s.Talker = TalkerFromUnitId(sys_.UnitId);
  s.NameMode = sys_.APCapability;
  return s;
}

void TNmeaOutput::UpdateSteering() {
  const TSteering s = ComputeSteering(parser_.Info, steeringOffset_);
  steeringOffset_ = s.offset;
  if (!s.known) return;
  parser_.Info.SteerHeading = s.steerHeading;
  parser_.Info.SteerHeadingMag = s.steerHeadingMag;
}

bool TNmeaOutput::SendSteering() {
  if (!flags_.Has(pfPilot)) return false;
  UpdateSteering();
  // A sentence that could not be built (a value it needs is not known yet)
  // keeps the cycle's counter where it is, so the cycle runs again at the
  // next tick instead of "AutoP Upd" ticks later. The sentences that could
  // be built go out all the same: one missing value never silences the
  // autopilot's other sentences.
  bool allBuilt = false;
  for (const std::string& sentence :
       SteeringSentences(parser_.Info, static_cast<uint32_t>(sys_.AutoPMsg), OutputSettings(), &allBuilt))
    parser_.AppendOutput(sentence);
  return allBuilt;
}

bool TNmeaOutput::QueueUpload(const std::vector<std::string>& sentences, const std::string& what) {
  if (sentences.empty()) return false;
  // Nothing goes out half: an upload that has no way out or no room in the
  // queue is said, not dropped.
  if (!ports_.OutputChannelOpen()) {
    window_.ShowNotice(what + " not sent: no NMEA output is open (port A, or a network link that sends)");
    return false;
  }
  size_t bytes = 0;
  for (const std::string& s : sentences) bytes += s.size();
  if (!parser_.OutputEnabled || parser_.Info.OutBuffer.size() + bytes > TNMEA::kMaxOutBuffer) {
    window_.ShowNotice(what + " not sent: the output queue has no room for all of it now; try again shortly");
    return false;
  }
  for (const std::string& s : sentences) parser_.AppendOutput(s);
  ports_.PumpOutput();
  return true;
}

void TNmeaOutput::SendRoute() {
  if (route_.Empty()) return;
  QueueUpload(RouteUploadSentences(UploadPoints(route_), OutputSettings()), "The route");
}

void TNmeaOutput::SendPositions() {
  if (positions_.Empty()) return;
  QueueUpload(PositionUploadSentences(UploadPoints(positions_), OutputSettings()), "The positions");
}

void TNmeaOutput::ApplyOutputSettings() {
  if (!sys_.DDE) {
    if (DataShare) DataShare->Stop();
    dataShareFailureShown_ = false;
    return;
  }
  if (!DataShare) DataShare = std::make_unique<TDataShareServer>();
  if (DataShare->Listening()) return;
  std::string error;
  if (!EnsureRuntimeDirectory(&error) || !DataShare->Start(DataSocketPath(), &error)) {
    if (!dataShareFailureShown_) window_.ShowNotice("The navigation data line is not shared: " + error);
    dataShareFailureShown_ = true;
  }
}

void TNmeaOutput::PublishDataLine() {
  if (!DataShare || !DataShare->Listening()) return;
  DataShare->Publish(MakeDataLine(parser_.Info, route_.Following));
}

void TNmeaOutput::DBI_PILOTClick() {
  flags_.Toggle(pfPilot);
  window_.UpdateStatus();
}
