// The main window's serial ports: their wiring, the received bytes into
// the line buffers, queued output out to port A, and the notice while a
// port waits for its lost device.
#include <QFrame>
#include <QLabel>
#include <QProgressBar>

#include <algorithm>
#include <cstdio>
#include <string>
#include <string_view>

#include "instruments/NMEA.h"
#include "instruments/qt/AfComPort.h"
#include "instruments/qt/TelnetSend.h"
#include "plotter/MainForm.h"

namespace {
constexpr const char* kPortNames[3] = {"A", "B", "C"};
}

void T_Form::SetUpPorts() {
  // Port A carries all output; B and C only receive.
  GPSCom->SetOutBufSize(8192);
  NMEAPort1->SetOutBufSize(32);
  NMEAPort2->SetOutBufSize(32);
  for (TAfComPort* port : {GPSCom, NMEAPort1, NMEAPort2}) {
    connect(port, &TAfComPort::DataRecived, this, &T_Form::GPSComDataRecived);
    connect(port, &TAfComPort::PortLost, this, &T_Form::GPSComLinkChanged);
    connect(port, &TAfComPort::PortRestored, this, &T_Form::GPSComLinkChanged);
    connect(port, &TAfComPort::PortOpen, this, &T_Form::GPSComLinkChanged);
    connect(port, &TAfComPort::PortClose, this, &T_Form::GPSComLinkChanged);
  }
}

void T_Form::GPSComDataRecived(int /*count*/) {
  // Whichever port fired, all three are served. Nothing may escape into the
  // event loop from here.
  try {
    PumpPorts();
  } catch (...) {
  }
}

void T_Form::PumpPorts() {
  TAfComPort* const ports[3] = {GPSCom, NMEAPort1, NMEAPort2};
  TNMEALineBuffer* const buffers[3] = {NMEABuffer.get(), NMEABufferB.get(), NMEABufferC.get()};
  for (int i = 0; i < 3; ++i) {
    if (!ports[i] || ports[i]->InBufUsed() <= 0) continue;
    const std::string bytes = ports[i]->ReadString();
    // Without its line buffer (its start step failed) the bytes are taken
    // and dropped, so that they do not pile up in the port.
    if (buffers[i]) buffers[i]->FeedText(bytes);
  }
  PumpOutput();
}

bool T_Form::OutputChannelOpen() const {
  if (GPSCom && GPSCom->Active()) return true;
  return NetworkOutput && TelnetSend && TelnetSend->Connected();
}

void T_Form::PumpOutput() {
  TNMEA* parser = Parser();
  if (!parser) return;
  const bool portA = GPSCom && GPSCom->Active();
  const bool network = !portA && NetworkOutput && TelnetSend && TelnetSend->Connected();
  // A sentence is never passed back to the link it came from.
  parser->EchoSource = portA ? kSourcePortA : network ? kSourceNetwork : kSourceNone;
  std::string& out = parser->Info.OutBuffer;
  if (out.empty()) return;
  if (portA) {
    // Never more than the port's queue takes (one byte kept free), so that
    // a write is never refused; the rest waits for the next pump. The
    // queue holds bytes, and so does the buffer.
    const size_t free = static_cast<size_t>(std::max(GPSCom->OutBufFree(), 0));
    if (out.size() < free) {
      GPSCom->WriteString(out);
      out.clear();
    } else if (free >= 2) {
      GPSCom->WriteString(std::string_view(out).substr(0, free - 1));
      out.erase(0, free - 1);
    }
    return;
  }
  // Port A is closed: the network link takes it when it is up for
  // sending, without waiting. A link that refuses (gone, or a peer that
  // does not read) is no longer sent to until it is made again. Otherwise
  // the text is discarded, so that it cannot go out stale when a port
  // opens later.
  if (network && !TelnetSend->Send(out)) {
    NetworkOutput = false;
    ShowMessageLine("NMEA output over the network stopped: the link does not take it");
  }
  out.clear();
}

void T_Form::GPSComLinkChanged() {
  auto* port = qobject_cast<TAfComPort*>(sender());
  TAfComPort* const ports[3] = {GPSCom, NMEAPort1, NMEAPort2};
  TNMEALineBuffer* const buffers[3] = {NMEABuffer.get(), NMEABufferB.get(), NMEABufferC.get()};
  for (int i = 0; i < 3; ++i) {
    if (!port || port != ports[i]) continue;
    if (port->Reopening()) {
      // The half sentence from before the loss must not join the first
      // bytes of the returning device.
      if (buffers[i]) buffers[i]->Reset();
      std::fprintf(stderr, "brismare: port %s lost (%s); waiting for it to return\n", kPortNames[i],
                   port->LostReason().c_str());
    }
  }
  ShowPortNotice();
}

void T_Form::ShowPortNotice() {
  if (!MsgP || !MsgT) return;
  TAfComPort* const ports[3] = {GPSCom, NMEAPort1, NMEAPort2};
  std::string text;
  for (int i = 0; i < 3; ++i) {
    if (!ports[i] || !ports[i]->Reopening()) continue;
    if (!text.empty()) text += "   ";
    text += std::string("Port ") + kPortNames[i] + " lost (" + ports[i]->LostReason() + "), waiting for it to return";
  }
  if (!text.empty()) {
    // Shown without running the event loop: this runs inside port events.
    ShowMessageLine(text);
    portNotice_ = text;
    return;
  }
  // Hide the notice, unless something else has taken the panel since.
  if (!portNotice_.empty() && MsgT->text() == QString::fromStdString(portNotice_)) MsgP->hide();
  portNotice_.clear();
}
