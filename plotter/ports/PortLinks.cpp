#include "plotter/ports/PortLinks.h"

#include <QLabel>

#include <algorithm>
#include <cstdio>
#include <string_view>

#include "instruments/NMEA.h"
#include "instruments/qt/AfComPort.h"
#include "plotter/dialogs/NmeaMonitors.h"

namespace {
constexpr const char* kPortNames[3] = {"A", "B", "C"};
}

TPortLinks::TPortLinks(const TWindowContext& c, TPorts ports, TBuffers buffers, TNMEA& parser,
                       std::unique_ptr<TTelnetSend>& telnet, TNmeaMonitors& monitors)
    : TWindowFeature(c),
      ports_(ports),
      buffers_(buffers),
      parser_(parser),
      telnet_(telnet),
      monitors_(monitors),
      netState_{&Widget<QLabel>("DBNetState"), &Widget<QLabel>("DBNetStateDR")} {}

void TPortLinks::PumpPorts() {
  TAfComPort* const ports[3] = {&ports_.a, &ports_.b, &ports_.c};
  TNMEALineBuffer* const buffers[3] = {&buffers_.a, &buffers_.b, &buffers_.c};
  for (int i = 0; i < 3; ++i) {
    if (ports[i]->InBufUsed() <= 0) continue;
    buffers[i]->FeedText(ports[i]->ReadString());
  }
  PumpOutput();
}

void TPortLinks::LinkChanged(TAfComPort* port) {
  TAfComPort* const ports[3] = {&ports_.a, &ports_.b, &ports_.c};
  TNMEALineBuffer* const buffers[3] = {&buffers_.a, &buffers_.b, &buffers_.c};
  for (int i = 0; i < 3; ++i) {
    if (!port || port != ports[i]) continue;
    if (port->Reopening()) {
      // The half sentence from before the loss must not join the first
      // bytes of the returning device.
      buffers[i]->Reset();
      std::fprintf(stderr, "brismare: port %s lost (%s); waiting for it to return\n", kPortNames[i],
                   port->LostReason().c_str());
    }
  }
  ShowPortNotice();
}

void TPortLinks::ShowPortNotice() {
  TAfComPort* const ports[3] = {&ports_.a, &ports_.b, &ports_.c};
  std::string text;
  for (int i = 0; i < 3; ++i) {
    if (!ports[i]->Reopening()) continue;
    if (!text.empty()) text += "   ";
    text += std::string("Port ") + kPortNames[i] + " lost (" + ports[i]->LostReason() + "), waiting for it to return";
  }
  if (!text.empty()) {
    // Shown without running the event loop: this runs inside port events.
    window_.ShowMessageLine(text);
    portNotice_ = text;
    return;
  }
  // Hide the notice, unless something else has taken the panel since.
  if (!portNotice_.empty()) window_.HideMessage(portNotice_);
  portNotice_.clear();
}
