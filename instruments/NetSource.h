// Network sources of NMEA text, as the "NMEA_SIMUL" setting names them,
// and the queue of text the plotter sends over a network link.
//
// Sources (the prefix in any letter case):
//   "IP:host:port"        a TCP server that sends NMEA text; the plotter is
//                         the client, and may send its own output back
//   "UDP:port"            NMEA datagrams from any sender to this port (Wi-Fi
//                         multiplexers broadcast to 10110)
//   "UDP:group:port"      the same from a multicast group (or, for a unicast
//                         address, received on that local address only)
//   "GPSD:host:port"      a gpsd daemon's raw NMEA stream; host and port may
//                         be left out ("GPSD:", "GPSD:host"), localhost and
//                         2947 are taken then
//   "SK:host:port"        a Signal K server (its JSON deltas over a
//                         WebSocket); "SK:host" takes port 3000, "SK" alone
//                         the server the local network announces (Host
//                         empty)
//   "SKS:host:port"       the same over TLS (wss, https); port 3443 when
//                         left out
// A port is a number from 1 to 65535 or a service name. A host given as an
// IPv6 address is written in brackets ("IP:[fe80::1]:10110").
//
// The split of "host:port" follows the settings file's old rule: the host
// is the text before the first ":", the port at most 6 characters after
// it, both without surrounding blanks; without ":" the host is empty and
// the port is the first 6 characters.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <string>
#include <string_view>

enum class TNetKind : uint8_t { None, Tcp, Udp, Gpsd, SignalK };

struct TNetSource {
  TNetKind Kind = TNetKind::None;
  // TCP, gpsd and Signal K: the server (Signal K: "" for the one the
  // network announces). UDP: the multicast group or local address, "" for
  // any.
  std::string Host;
  // A number or a service name, as written.
  std::string Port;
  // Why the source can never work ("" when it may).
  std::string Error;
  // Signal K over TLS ("SKS").
  bool Tls = false;
};

inline constexpr const char* kGpsdDefaultHost = "localhost";
inline constexpr const char* kGpsdDefaultPort = "2947";
inline constexpr const char* kSignalKDefaultPort = "3000";
inline constexpr const char* kSignalKTlsDefaultPort = "3443";

// The kind of source a "NMEA_SIMUL" value names (None: a replay file, or
// nothing).
TNetKind NetworkSourceKind(std::string_view setting);
inline bool IsNetworkSource(std::string_view setting) { return NetworkSourceKind(setting) != TNetKind::None; }

// The source named by a "NMEA_SIMUL" value; Kind None for anything else.
TNetSource ParseNetworkSource(std::string_view setting);

// "host:port" split by the rule above ("[v6]:port" as well).
void SplitHostPort(std::string_view address, std::string& host, std::string& port);

// The port as a number: 1 to 65535 written in decimal digits; 0 for
// anything else (a service name is the caller's to look up).
uint16_t PortNumber(std::string_view port);

// The "NMEA_SIMUL" value of a source (what ParseNetworkSource reads back);
// `tls` only for Signal K, whose empty host means the announced server.
std::string NetworkSourceText(TNetKind kind, std::string_view host, std::string_view port, bool tls = false);

// The source in a few words for the user: "TCP 127.0.0.1:10110", "UDP port
// 10110", "UDP 239.192.0.1 port 10110", "gpsd localhost:2947", "Signal K
// boat.local:3000", "Signal K (TLS) boat.local:3443", "Signal K (found on
// the network)".
std::string DescribeNetworkSource(const TNetSource& source);

// Text waiting to go out over a network link, whole lines at a time. It
// never holds more than its capacity: when a line does not fit, the oldest
// passed-through lines are dropped first, then the oldest of the plotter's
// own (a peer that does not read cannot make the queue grow, and the
// steering sentences outlive the relayed ones).
class TSendQueue {
 public:
  explicit TSendQueue(size_t capacity) : capacity_(capacity) {}

  // Queues text line by line (a line ends with "\n"; an unfinished last
  // piece counts as a line). Lines that start with `ownStart` are the
  // plotter's own; an empty `ownStart` makes every line its own.
  void Add(std::string_view text, std::string_view ownStart);
  // Takes lines in the order they came, as many as fit in `maxBytes` but
  // at least one.
  std::string Take(size_t maxBytes);
  void Clear();

  bool Empty() const { return own_.empty() && passed_.empty(); }
  size_t Bytes() const { return bytes_; }
  size_t Capacity() const { return capacity_; }
  // Lines dropped for want of room since the queue was made.
  int64_t DroppedLines() const { return dropped_; }
  int64_t DroppedOwnLines() const { return droppedOwn_; }

 private:
  struct TLine {
    uint64_t seq;
    std::string text;
  };
  void Push(std::string_view line, bool own);
  void DropFront(std::deque<TLine>& lines);

  size_t capacity_;
  size_t bytes_ = 0;
  uint64_t nextSeq_ = 0;
  int64_t dropped_ = 0;
  int64_t droppedOwn_ = 0;
  std::deque<TLine> own_;
  std::deque<TLine> passed_;
};
