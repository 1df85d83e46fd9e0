#include "instruments/NetSource.h"

#include <algorithm>

#include "platform/TextBasics.h"

namespace {

struct TPrefix {
  std::string_view text;
  TNetKind kind;
};
constexpr TPrefix kPrefixes[] = {{"IP:", TNetKind::Tcp},
                                 {"UDP:", TNetKind::Udp},
                                 {"GPSD:", TNetKind::Gpsd},
                                 {"SK:", TNetKind::SignalK},
                                 {"SKS:", TNetKind::SignalK}};

// "SKS" or "SKS:..." (any letter case).
bool SignalKTls(std::string_view setting) {
  return setting.size() >= 3 && (setting[2] == 'S' || setting[2] == 's') && (setting.size() == 3 || setting[3] == ':');
}

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
  if (text.size() < prefix.size()) return false;
  for (size_t i = 0; i < prefix.size(); ++i) {
    char c = text[i];
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    if (c != prefix[i]) return false;
  }
  return true;
}

bool ServiceNameLike(std::string_view port) {
  if (port.empty()) return false;
  return std::all_of(port.begin(), port.end(), [](char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' || c == '_';
  });
}

// Why a port text cannot name a port ("" when it may).
std::string PortProblem(std::string_view port) {
  if (port.empty()) return "no port given";
  if (PortNumber(port) != 0) return "";
  const bool digits = std::all_of(port.begin(), port.end(), [](char c) { return c >= '0' && c <= '9'; });
  if (digits || !ServiceNameLike(port)) return "\"" + std::string(port) + "\" is not a port (1 to 65535)";
  return "";
}

std::string HostPortText(std::string_view host, std::string_view port) {
  const bool v6 = host.find(':') != std::string_view::npos;
  std::string s;
  if (v6) s += '[';
  s += host;
  if (v6) s += ']';
  s += ':';
  s += port;
  return s;
}

// "host", "host:port", "[v6]:port" or nothing; a lone host keeps the port
// empty.
void HostWithDefaultPort(std::string_view address, std::string& host, std::string& port) {
  const std::string_view trimmed = TrimSpaceTab(address);
  if (trimmed.find(':') == std::string_view::npos && (trimmed.empty() || trimmed.front() != '[')) {
    host = std::string(trimmed);
    port.clear();
  } else {
    SplitHostPort(trimmed, host, port);
  }
}

}  // namespace

TNetKind NetworkSourceKind(std::string_view setting) {
  for (const TPrefix& p : kPrefixes)
    if (StartsWithNoCase(setting, p.text)) return p.kind;
  // "GPSD" alone: the local daemon; "SK" and "SKS" alone: the announced
  // Signal K server.
  if (setting.size() == 4 && StartsWithNoCase(setting, "GPSD")) return TNetKind::Gpsd;
  if ((setting.size() == 2 && StartsWithNoCase(setting, "SK")) || (setting.size() == 3 && StartsWithNoCase(setting, "SKS")))
    return TNetKind::SignalK;
  return TNetKind::None;
}

void SplitHostPort(std::string_view address, std::string& host, std::string& port) {
  if (!address.empty() && address.front() == '[') {
    const size_t close = address.find(']');
    if (close != std::string_view::npos) {
      host = std::string(address.substr(1, close - 1));
      std::string_view rest = address.substr(close + 1);
      port = rest.empty() || rest.front() != ':' ? std::string() : std::string(TrimSpaceTab(rest.substr(1, 6)));
      return;
    }
  }
  const size_t colon = address.find(':');
  if (colon == std::string_view::npos) {
    host.clear();
    port = std::string(TrimSpaceTab(address.substr(0, 6)));
    return;
  }
  host = std::string(TrimSpaceTab(address.substr(0, colon)));
  port = std::string(TrimSpaceTab(address.substr(colon + 1, 6)));
}

uint16_t PortNumber(std::string_view port) {
  if (port.empty() || port.size() > 5) return 0;
  uint32_t n = 0;
  for (char c : port) {
    if (c < '0' || c > '9') return 0;
    n = n * 10 + static_cast<uint32_t>(c - '0');
  }
  return n >= 1 && n <= 65535 ? static_cast<uint16_t>(n) : 0;
}

TNetSource ParseNetworkSource(std::string_view setting) {
  TNetSource s;
  s.Kind = NetworkSourceKind(setting);
  if (s.Kind == TNetKind::None) return s;
  const size_t colon = setting.find(':');
  const std::string_view address = colon == std::string_view::npos ? std::string_view() : setting.substr(colon + 1);
  switch (s.Kind) {
    case TNetKind::Tcp:
      SplitHostPort(address, s.Host, s.Port);
      if (s.Host.empty())
        s.Error = "no server named (\"IP:host:port\")";
      else
        s.Error = PortProblem(s.Port);
      break;
    case TNetKind::Udp:
      SplitHostPort(address, s.Host, s.Port);
      s.Error = PortProblem(s.Port);
      break;
    case TNetKind::Gpsd:
      HostWithDefaultPort(address, s.Host, s.Port);
      if (s.Host.empty()) s.Host = kGpsdDefaultHost;
      if (s.Port.empty()) s.Port = kGpsdDefaultPort;
      s.Error = PortProblem(s.Port);
      break;
    case TNetKind::SignalK:
      s.Tls = SignalKTls(setting);
      HostWithDefaultPort(address, s.Host, s.Port);
      // Without a host the server is looked for; a port alone means
      // nothing then.
      if (s.Host.empty())
        s.Port.clear();
      else if (s.Port.empty())
        s.Port = s.Tls ? kSignalKTlsDefaultPort : kSignalKDefaultPort;
      if (!s.Host.empty()) s.Error = PortProblem(s.Port);
      break;
    case TNetKind::None:
      break;
  }
  return s;
}

std::string NetworkSourceText(TNetKind kind, std::string_view host, std::string_view port, bool tls) {
  host = TrimSpaceTab(host);
  port = TrimSpaceTab(port);
  switch (kind) {
    case TNetKind::Tcp:
      return "IP:" + HostPortText(host, port);
    case TNetKind::Udp:
      return host.empty() ? "UDP:" + std::string(port) : "UDP:" + HostPortText(host, port);
    case TNetKind::Gpsd:
      return "GPSD:" + HostPortText(host.empty() ? kGpsdDefaultHost : host, port.empty() ? kGpsdDefaultPort : port);
    case TNetKind::SignalK: {
      const std::string prefix = tls ? "SKS" : "SK";
      if (host.empty()) return prefix;
      return prefix + ":" + HostPortText(host, port.empty() ? (tls ? kSignalKTlsDefaultPort : kSignalKDefaultPort) : port);
    }
    case TNetKind::None:
      break;
  }
  return "";
}

std::string DescribeNetworkSource(const TNetSource& s) {
  switch (s.Kind) {
    case TNetKind::Tcp:
      return "TCP " + HostPortText(s.Host, s.Port);
    case TNetKind::Udp:
      return s.Host.empty() ? "UDP port " + s.Port : "UDP " + s.Host + " port " + s.Port;
    case TNetKind::Gpsd:
      return "gpsd " + HostPortText(s.Host, s.Port);
    case TNetKind::SignalK:
      if (s.Host.empty()) return s.Tls ? "Signal K (TLS, found on the network)" : "Signal K (found on the network)";
      return (s.Tls ? "Signal K (TLS) " : "Signal K ") + HostPortText(s.Host, s.Port);
    case TNetKind::None:
      break;
  }
  return "";
}

// ---------------------------------------------------------------------------
// The send queue

void TSendQueue::Add(std::string_view text, std::string_view ownStart) {
  while (!text.empty()) {
    const size_t nl = text.find('\n');
    const size_t n = nl == std::string_view::npos ? text.size() : nl + 1;
    const std::string_view line = text.substr(0, n);
    Push(line, ownStart.empty() || line.substr(0, ownStart.size()) == ownStart);
    text.remove_prefix(n);
  }
}

void TSendQueue::DropFront(std::deque<TLine>& lines) {
  bytes_ -= lines.front().text.size();
  lines.pop_front();
  ++dropped_;
  if (&lines == &own_) ++droppedOwn_;
}

void TSendQueue::Push(std::string_view line, bool own) {
  if (line.size() > capacity_) {
    ++dropped_;
    if (own) ++droppedOwn_;
    return;
  }
  while (bytes_ + line.size() > capacity_ && !passed_.empty()) DropFront(passed_);
  if (bytes_ + line.size() > capacity_ && !own) {
    // A relayed line that finds the queue full of the plotter's own lines
    // goes rather than one of them.
    ++dropped_;
    return;
  }
  while (bytes_ + line.size() > capacity_ && !own_.empty()) DropFront(own_);
  (own ? own_ : passed_).push_back({nextSeq_++, std::string(line)});
  bytes_ += line.size();
}

std::string TSendQueue::Take(size_t maxBytes) {
  std::string out;
  while (!Empty()) {
    std::deque<TLine>* from = &own_;
    if (own_.empty() || (!passed_.empty() && passed_.front().seq < own_.front().seq)) from = &passed_;
    const std::string& line = from->front().text;
    if (!out.empty() && out.size() + line.size() > maxBytes) break;
    out += line;
    bytes_ -= line.size();
    from->pop_front();
  }
  return out;
}

void TSendQueue::Clear() {
  own_.clear();
  passed_.clear();
  bytes_ = 0;
}
