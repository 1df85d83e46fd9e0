// Transfers to and from a handheld GPS: the data goes through an outside
// program (the classic transfer program with its exchange file, or
// gpsbabel with GPX), run without a shell while the window's serial ports
// are closed. The window keeps painting while the program runs, takes no
// input and runs no tick; a program that passes its time limit is stopped
// and its result ignored. The plans are plotter/core/GpsTransfer.h.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "plotter/WindowServices.h"

class TPositionCommands;
class TRoute;
class TRouteEditor;
class TRouteExchange;
class TTrace;
class TTrackFiles;

class TGpsTransfer final : public TWindowFeature {
 public:
  // The lists and the commands that take in what was received. Wires the
  // "GPS" menu.
  struct TLists {
    TRoute& positions;
    TRoute& route;
    TTrace& trace;
    TPositionCommands& positionCommands;
    TRouteEditor& routeEditor;
    TRouteExchange& routeExchange;
    TTrackFiles& trackFiles;
  };
  TGpsTransfer(const TWindowContext& c, const TLists& lists);

  void Positions1Click();
  void Route1Click();
  void Positions2Click();
  void Route2Click();
  void rack2Click();
  // Runs the transfer program with the ports closed; true when it ended by
  // itself with status 0 in time.
  bool RunTransfer(const std::string& message, const std::string& program, const std::vector<std::string>& args);
  // The GPS menu enabled when the transfer program is there.
  void UpdateGpsMenu();

  // The time a transfer may take (tests shorten it), and a hook run while
  // it waits.
  int TransferTimeoutMs = 600000;
  std::function<void()> OnTransferWaiting;

 private:
  TLists l_;
};
