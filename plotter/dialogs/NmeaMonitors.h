// The NMEA input and output monitors ("System" menu): text windows that show
// the sentences received and sent, switched on and off by their menu items.
#pragma once

#include <QPointer>

#include <string>
#include <string_view>

#include "plotter/WindowServices.h"

class TNMEA;
class TSpyFrm;

class TNmeaMonitors final : public TWindowFeature {
 public:
  // Wires "NMEA Input Monitor" and "NMEA Output Monitor".
  TNmeaMonitors(const TWindowContext& c, TNMEA& parser);

  void NMEAInput1Click();
  void NMEAOutput1Click();
  // Sent text to the output monitor (the output pump calls it); a line
  // sent in two parts shows once it is whole.
  void MonitorOutput(std::string_view text);
  // The tick: an input monitor closed with its "X" is switched off.
  void CloseHiddenMonitors();

  QPointer<TSpyFrm> InputMonitor;
  QPointer<TSpyFrm> OutputMonitor;
  std::string OutputMonitorPartial;

 private:
  TNMEA& parser_;
};
