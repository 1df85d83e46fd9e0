// The instruments' links: the three serial ports and the network source.
// Received bytes go into the ports' line buffers, queued output out to port
// A or, while port A is closed, over the network link; a port waiting for
// its lost device and the network link's failures are said in the message
// panel, the link's state on the GPS and dead-reckoning boxes. The ports'
// opening rules are in plotter/core/Ports.h, the network source in
// instruments/NetSource.h and instruments/qt/TelnetSend.h.
#pragma once

#include <memory>
#include <string>

#include "plotter/WindowServices.h"

class QLabel;
class QString;
class TAfComPort;
class TNMEA;
class TNMEALineBuffer;
class TNmeaMonitors;
class TTelnetSend;

class TPortLinks final : public TWindowFeature {
 public:
  struct TPorts {
    TAfComPort& a;
    TAfComPort& b;
    TAfComPort& c;
  };
  struct TBuffers {
    TNMEALineBuffer& a;
    TNMEALineBuffer& b;
    TNMEALineBuffer& c;
    // The replay file's and the network link's.
    TNMEALineBuffer& sim;
  };
  // `telnet` is the window's network client, made and freed here as the
  // network source setting asks.
  TPortLinks(const TWindowContext& c, TPorts ports, TBuffers buffers, TNMEA& parser,
             std::unique_ptr<TTelnetSend>& telnet, TNmeaMonitors& monitors);

  // Moves the bytes received on ports A, B and C into their line buffers,
  // then queued output to port A (the ports' data events and the tick run
  // it).
  void PumpPorts();
  // The queued output out to port A, or to the network link.
  void PumpOutput();
  // Sent text has somewhere to go: port A is open, or the network link is
  // up for sending.
  bool OutputChannelOpen() const;
  // A port lost its device, got it back, or was opened or closed.
  void LinkChanged(TAfComPort* port);

  // The network source ("NMEA_SIMUL" = "IP:", "UDP:" or "GPSD:"): the link
  // is made at start, started when the window is first shown, and started
  // again when the setup dialog changed the source.
  void CreateNetworkSource();
  void StartNetworkSource();
  void ApplyNetworkSource();
  // The tick's network step: the link's timers, then the text received (a
  // line begun on an earlier connection is forgotten first).
  std::string ReceiveNetworkText();
  // Network mode and network output off, the link stopped.
  void EndNetwork();
  // Network mode is on with a link; a new connection (false when none can
  // be made).
  bool NetworkActive() const { return NetworkMode && telnet_; }
  bool ReconnectNetwork();
  // The network client without its connections to the window (before it
  // is freed).
  void DetachNetwork();

  bool NetworkMode = false;
  bool NetworkOutput = false;

 private:
  void ShowPortNotice();
  void NetworkStateChanged();
  void NetworkNotice(const QString& text);
  void ConnectNetwork();

  TPorts ports_;
  TBuffers buffers_;
  TNMEA& parser_;
  std::unique_ptr<TTelnetSend>& telnet_;
  TNmeaMonitors& monitors_;
  // The network link's state on the GPS box and on the dead-reckoning box.
  QLabel* netState_[2];
  // The lost-device notice in the message panel ("" when none shows).
  std::string portNotice_;
  // The "NMEA_SIMUL" value the sources were set up for, and the network
  // link's notice in the message panel ("" when none shows).
  std::string networkSetting_;
  std::string networkNotice_;
  bool networkOutputDropSaid_ = false;
};
