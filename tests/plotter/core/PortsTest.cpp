#include "plotter/core/Ports.h"

#include <stdexcept>
#include <string>
#include <vector>

#include "TestSupport.h"

namespace {

// A port that records what is done to it.
struct FakePort {
  int number = 0;
  int baud = 12;
  bool active = false;
  enum { Opens, Raises, StaysClosed } behaviour = Opens;
  std::vector<std::string> log;

  int ComNumber() const { return number; }
  void SetComNumber(int n) { number = n, log.push_back("number " + std::to_string(n)); }
  int BaudRate() const { return baud; }
  void SetBaudRate(int b) { baud = b, log.push_back("baud " + std::to_string(b)); }
  bool Active() const { return active; }
  void Open() {
    log.push_back("open");
    if (behaviour == Raises) throw std::runtime_error("Invalid port number");
    if (behaviour == Opens) active = true;
  }
  void Close() { active = false, log.push_back("close"); }
  void PurgeRx() { log.push_back("purge rx"); }
  void PurgeTx() { log.push_back("purge tx"); }
};

FakePort Port(int number, int baud, bool active, decltype(FakePort::Opens) behaviour = FakePort::Opens) {
  FakePort p;
  p.number = number;
  p.baud = baud;
  p.active = active;
  p.behaviour = behaviour;
  return p;
}

const std::string kFail = "Could Not Open Communication Port";

TEST(Ports, OpenPortFollowsTheSetting) {
  using V = std::vector<std::string>;
  struct Case {
    const char* label;
    FakePort port;
    TPortSetting setting;
    V log;
    std::vector<std::string> notices;
    bool activeAfter;
  } cases[] = {
      {"closed, opened with the setting", {}, {3, 6}, V{"baud 6", "number 3", "open", "purge tx", "purge rx"}, {}, true},
      {"number 0 is never opened", {}, {0, 5}, V{"purge tx", "purge rx"}, {}, false},
      {"open with the same setting stays open", Port(4, 5, true), {4, 5}, V{"purge tx", "purge rx"}, {}, true},
      {"a new rate reopens",
       Port(4, 5, true),
       {4, 6},
       V{"purge tx", "purge rx", "close", "baud 6", "number 4", "open", "purge tx", "purge rx"},
       {},
       true},
      {"a new number 0 closes", Port(4, 5, true), {0, 5}, V{"purge tx", "purge rx", "close", "purge tx", "purge rx"}, {}, false},
      {"an error names the port",
       Port(0, 12, false, FakePort::Raises),
       {7, 5},
       V{"baud 5", "number 7", "open", "purge tx", "purge rx"},
       {kFail + " 7"},
       false},
      {"a silent failure", Port(0, 12, false, FakePort::StaysClosed), {2, 5}, V{"baud 5", "number 2", "open", "purge tx", "purge rx"}, {kFail}, false},
      {"a rate index past the table is the default", {}, {1, 40}, V{"baud 5", "number 1", "open", "purge tx", "purge rx"}, {}, true},
  };
  for (Case& c : cases) {
    SCOPED_TRACE(c.label);
    std::vector<std::string> notices;
    OpenPort(c.port, c.setting, kFail, [&](const std::string& t) { notices.push_back(t); });
    EXPECT_EQ(c.port.log, c.log);
    EXPECT_EQ(notices, c.notices);
    EXPECT_EQ(c.port.active, c.activeAfter);
  }
}

TEST(Ports, ClosePortPurgesAndClosesOnlyAnOpenPort) {
  FakePort open = Port(1, 5, true);
  ClosePort(open);
  EXPECT_EQ(open.log, (std::vector<std::string>{"purge tx", "purge rx", "close"}));
  FakePort closed;
  ClosePort(closed);
  EXPECT_TRUE(closed.log.empty());
}

}  // namespace
