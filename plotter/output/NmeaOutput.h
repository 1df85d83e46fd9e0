// NMEA output: the steering sentences of the update cycle (NMEA OUT), the
// route and positions uploads of the menus, and the navigation data line
// shared with other programs on this computer ("DDE"). The sentences are
// built by instruments/NMEAOutput.h, the course to steer by
// plotter/core/RouteGuidance.h; the queue goes out through the ports
// (plotter/ports/PortLinks.h).
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "instruments/NMEAOutput.h"
#include "plotter/WindowServices.h"

class TDataShareServer;
class TNMEA;
class TPortLinks;
class TRoute;

class TNmeaOutput final : public TWindowFeature {
 public:
  // Wires the "Export NMEA" and "Send to &NMEA" items.
  TNmeaOutput(const TWindowContext& c, TNMEA& parser, TPortLinks& ports, TRoute& route, TRoute& positions);
  ~TNmeaOutput();

  TNmeaOutputSettings OutputSettings() const;
  // The course to steer and the steering indicator's offset into the
  // navigation state.
  void UpdateSteering();
  double SteeringOffset() const { return steeringOffset_; }
  // The steering cycle: the sentences of "AutoP Msg" queued; false while
  // NMEA OUT is off.
  bool SendSteering();
  // "Export NMEA" / "Send to &NMEA" of the route, "Export NMEA" of the
  // positions: queued whole, or not at all with a notice.
  void SendRoute();
  void SendPositions();
  // Starts or stops sharing the data line ("DDE").
  void ApplyOutputSettings();
  // The data line of this display update to every client.
  void PublishDataLine();
  // NMEA OUT on or off (DBI_PILOT, F4, Ctrl+P).
  void DBI_PILOTClick();

  // The navigation data line for other programs ("DDE" on).
  std::unique_ptr<TDataShareServer> DataShare;

 private:
  bool QueueUpload(const std::vector<std::string>& sentences, const std::string& what);

  TNMEA& parser_;
  TPortLinks& ports_;
  TRoute& route_;
  TRoute& positions_;
  double steeringOffset_ = 0;
  bool dataShareFailureShown_ = false;
};
