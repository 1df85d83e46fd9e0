// The network source and output over it (TPortLinks, PortLinks.h).
#include <QLabel>

#include <algorithm>
#include <cstdio>
#include <string_view>

#include "instruments/NMEA.h"
#include "instruments/NetSource.h"
#include "instruments/qt/AfComPort.h"
#include "instruments/qt/TelnetSend.h"
#include "plotter/core/Lifecycle.h"
#include "plotter/core/SysInfo.h"
#include "plotter/dialogs/NmeaMonitors.h"
#include "plotter/ports/PortLinks.h"

bool TPortLinks::OutputChannelOpen() const {
  if (ports_.a.Active()) return true;
  return NetworkOutput && telnet_ && telnet_->CanSend();
}

void TPortLinks::PumpOutput() {
  TAfComPort& portA = ports_.a;
  const bool toPortA = portA.Active();
  const bool network = !toPortA && NetworkOutput && telnet_ && telnet_->CanSend();
  // A sentence is never passed back to the link it came from.
  parser_.EchoSource = toPortA ? kSourcePortA : network ? kSourceNetwork : kSourceNone;
  std::string& out = parser_.Info.OutBuffer;
  if (out.empty()) return;
  if (toPortA) {
    // Never more than the port's queue takes (one byte kept free), so that
    // a write is never refused; the rest waits for the next pump. The
    // queue holds bytes, and so does the buffer.
    const size_t free = static_cast<size_t>(std::max(portA.OutBufFree(), 0));
    if (out.size() < free) {
      monitors_.MonitorOutput(out);
      portA.WriteString(out);
      out.clear();
    } else if (free >= 2) {
      monitors_.MonitorOutput(std::string_view(out).substr(0, free - 1));
      portA.WriteString(std::string_view(out).substr(0, free - 1));
      out.erase(0, free - 1);
    }
    return;
  }
  // Port A is closed: the network link takes it when it is up for
  // sending, without waiting; the plotter's own sentences (our talker) are
  // kept before relayed ones when a peer does not read. Otherwise the text
  // is discarded, so that it cannot go out stale when a port opens later.
  if (network) {
    const int64_t droppedBefore = telnet_->OutputQueue().DroppedLines();
    monitors_.MonitorOutput(out);
    telnet_->SendText(out, "$" + parser_.Info.TalkerOut);
    if (telnet_->OutputQueue().DroppedLines() > droppedBefore && !networkOutputDropSaid_) {
      networkOutputDropSaid_ = true;
      window_.ShowNotice("NMEA output over the network: the server does not take it; the oldest sentences are dropped");
    }
  }
  out.clear();
}

void TPortLinks::ConnectNetwork() {
  QObject::connect(telnet_.get(), &TTelnetSend::StateChanged, &links_, [this] { NetworkStateChanged(); });
  QObject::connect(telnet_.get(), &TTelnetSend::Notice, &links_, [this](const QString& text) { NetworkNotice(text); });
}

void TPortLinks::DetachNetwork() {
  if (telnet_) telnet_->disconnect(&links_);
}

void TPortLinks::CreateNetworkSource() {
  NetworkMode = false;
  NetworkOutput = false;
  networkSetting_ = sys_.NmeaSimul;
  if (!IsNetworkSource(sys_.NmeaSimul)) return;
  telnet_ = std::make_unique<TTelnetSend>();
  NoteLifecycle("create TTelnetSend");
  ConnectNetwork();
  NetworkMode = true;
}

void TPortLinks::StartNetworkSource() {
  if (!telnet_) return;
  const TNetSource source = ParseNetworkSource(sys_.NmeaSimul);
  telnet_->SetSource(source);
  telnet_->SetLogin(sys_.IPLogin, sys_.IPPassword);
  // Output goes back only over a TCP link without a login.
  NetworkMode = true;
  NetworkOutput = source.Kind == TNetKind::Tcp && sys_.IPLogin.empty();
  // A setting that can never work has been said in the message panel.
  if (!telnet_->Connect()) EndNetwork();
  NetworkStateChanged();
}

void TPortLinks::ApplyNetworkSource() {
  if (sys_.NmeaSimul == networkSetting_) return;
  if (!IsNetworkSource(sys_.NmeaSimul)) {
    // Network input off. (The dialog never names a replay file; one
    // written into the settings by hand is opened at the next start.)
    networkSetting_ = sys_.NmeaSimul;
    EndNetwork();
    if (telnet_) {
      DetachNetwork();
      telnet_.reset();
      NoteLifecycle("free TTelnetSend");
    }
    NetworkStateChanged();
    return;
  }
  buffers_.sim.CloseReplay();
  buffers_.sim.Reset();
  if (telnet_)
    networkSetting_ = sys_.NmeaSimul;
  else
    CreateNetworkSource();
  StartNetworkSource();
}

std::string TPortLinks::ReceiveNetworkText() {
  if (!telnet_) return {};
  telnet_->Poll();
  bool anew = false;
  std::string text = telnet_->ReceiveText(&anew);
  // The end of a line from the connection before must not join the first
  // bytes of this one.
  if (anew) buffers_.sim.Reset();
  return text;
}

bool TPortLinks::ReconnectNetwork() { return telnet_ && telnet_->Connect(); }

void TPortLinks::EndNetwork() {
  NetworkMode = false;
  NetworkOutput = false;
  if (telnet_ && telnet_->State() != TTelnetSend::TState::Off) telnet_->Disconnect();
}

void TPortLinks::NetworkStateChanged() {
  const TTelnetSend* link = telnet_.get();
  // On the GPS box, and on the dead-reckoning box that takes its place
  // while the GPS is lost.
  std::string tip;
  if (link) {
    tip = link->Description();
    if (!link->GpsdRelease().empty()) tip += " (gpsd " + link->GpsdRelease() + ")";
    if (!link->LastFailure().empty()) tip += "\nLast failure: " + link->LastFailure();
  }
  for (QLabel* label : netState_) {
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
        window_.HideMessage(networkNotice_);
        networkNotice_.clear();
      }
      break;
    default:
      break;
  }
}

void TPortLinks::NetworkNotice(const QString& text) {
  // Shown without running the event loop: this runs inside socket events.
  networkNotice_ = text.toStdString();
  window_.ShowNotice(networkNotice_);
}
