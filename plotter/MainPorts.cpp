// The main window's serial ports and network source: their wiring, the
// received bytes into the line buffers, queued output out to port A or the
// network link, the notice while a port waits for its lost device, and the
// network link's state and failures.
#include <QFrame>
#include <QLabel>
#include <QProgressBar>

#include <algorithm>
#include <cstdio>
#include <string>
#include <string_view>

#include "instruments/NMEA.h"
#include "instruments/NetSource.h"
#include "instruments/qt/AfComPort.h"
#include "instruments/qt/TelnetSend.h"
#include "plotter/MainForm.h"
#include "plotter/core/Lifecycle.h"

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
  return NetworkOutput && TelnetSend && TelnetSend->CanSend();
}

void T_Form::PumpOutput() {
  TNMEA* parser = Parser();
  if (!parser) return;
  const bool portA = GPSCom && GPSCom->Active();
  const bool network = !portA && NetworkOutput && TelnetSend && TelnetSend->CanSend();
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
      MonitorOutput(out);
      GPSCom->WriteString(out);
      out.clear();
    } else if (free >= 2) {
      MonitorOutput(std::string_view(out).substr(0, free - 1));
      GPSCom->WriteString(std::string_view(out).substr(0, free - 1));
      out.erase(0, free - 1);
    }
    return;
  }
  // Port A is closed: the network link takes it when it is up for
  // sending, without waiting; the plotter's own sentences (our talker) are
  // kept before relayed ones when a peer does not read. Otherwise the text
  // is discarded, so that it cannot go out stale when a port opens later.
  if (network) {
    const int64_t droppedBefore = TelnetSend->OutputQueue().DroppedLines();
    MonitorOutput(out);
    TelnetSend->SendText(out, "$" + parser->Info.TalkerOut);
    if (TelnetSend->OutputQueue().DroppedLines() > droppedBefore && !networkOutputDropSaid_) {
      networkOutputDropSaid_ = true;
      ShowNotice("NMEA output over the network: the server does not take it; the oldest sentences are dropped");
    }
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

// ---------------------------------------------------------------------------
// The network source

void T_Form::CreateNetworkSource() {
  NetworkMode = false;
  NetworkOutput = false;
  networkSetting_ = SysInfo.NmeaSimul;
  if (!IsNetworkSource(SysInfo.NmeaSimul)) return;
  TelnetSend = std::make_unique<TTelnetSend>();
  NoteLifecycle("create TTelnetSend");
  connect(TelnetSend.get(), &TTelnetSend::StateChanged, this, &T_Form::NetworkStateChanged);
  connect(TelnetSend.get(), &TTelnetSend::Notice, this, &T_Form::NetworkNotice);
  NetworkMode = true;
}

void T_Form::StartNetworkSource() {
  if (!TelnetSend) return;
  const TNetSource source = ParseNetworkSource(SysInfo.NmeaSimul);
  TelnetSend->SetSource(source);
  TelnetSend->SetLogin(SysInfo.IPLogin, SysInfo.IPPassword);
  // Output goes back only over a TCP link without a login.
  NetworkMode = true;
  NetworkOutput = source.Kind == TNetKind::Tcp && SysInfo.IPLogin.empty();
  // A setting that can never work has been said in the message panel.
  if (!TelnetSend->Connect()) EndNetwork();
  NetworkStateChanged();
}

void T_Form::ApplyNetworkSource() {
  if (SysInfo.NmeaSimul == networkSetting_) return;
  if (!IsNetworkSource(SysInfo.NmeaSimul)) {
    // Network input off. (The dialog never names a replay file; one
    // written into the settings by hand is opened at the next start.)
    networkSetting_ = SysInfo.NmeaSimul;
    EndNetwork();
    if (TelnetSend) {
      TelnetSend->disconnect(this);
      TelnetSend.reset();
      NoteLifecycle("free TTelnetSend");
    }
    NetworkStateChanged();
    return;
  }
  if (SimBuffer) {
    SimBuffer->CloseReplay();
    SimBuffer->Reset();
  }
  if (TelnetSend)
    networkSetting_ = SysInfo.NmeaSimul;
  else
    CreateNetworkSource();
  StartNetworkSource();
}

std::string T_Form::ReceiveNetworkText() {
  if (!TelnetSend) return {};
  TelnetSend->Poll();
  bool anew = false;
  std::string text = TelnetSend->ReceiveText(&anew);
  // The end of a line from the connection before must not join the first
  // bytes of this one.
  if (anew && SimBuffer) SimBuffer->Reset();
  return text;
}

void T_Form::EndNetwork() {
  NetworkMode = false;
  NetworkOutput = false;
  if (TelnetSend && TelnetSend->State() != TTelnetSend::TState::Off) TelnetSend->Disconnect();
}

void T_Form::NetworkStateChanged() {
  const TTelnetSend* link = TelnetSend.get();
  // On the GPS box, and on the dead-reckoning box that takes its place
  // while the GPS is lost.
  QLabel* const labels[2] = {DBNetState, DB_DR ? DB_DR->findChild<QLabel*>(QStringLiteral("DBNetStateDR")) : nullptr};
  std::string tip;
  if (link) {
    tip = link->Description();
    if (!link->GpsdRelease().empty()) tip += " (gpsd " + link->GpsdRelease() + ")";
    if (!link->LastFailure().empty()) tip += "\nLast failure: " + link->LastFailure();
  }
  for (QLabel* label : labels) {
    if (!label) continue;
    label->setText(link ? QString::fromLatin1(TTelnetSend::StateName(link->State())) : QString());
    label->setToolTip(QString::fromStdString(tip));
  }
  if (!link) return;
  switch (link->State()) {
    case TTelnetSend::TState::Connecting:
      networkOutputDropSaid_ = false;
      break;
    case TTelnetSend::TState::Connected:
      // Working again: the failure notice goes, unless something else has
      // taken the panel since.
      if (!networkNotice_.empty()) {
        std::fprintf(stderr, "brismare: %s: receiving again\n", link->Description().c_str());
        if (MsgP && MsgT && MsgT->text() == QString::fromStdString(networkNotice_)) MsgP->hide();
        networkNotice_.clear();
      }
      break;
    default:
      break;
  }
}

void T_Form::NetworkNotice(const QString& text) {
  // Shown without running the event loop: this runs inside socket events.
  networkNotice_ = text.toStdString();
  ShowNotice(networkNotice_);
}
