// A small multicast DNS (DNS-SD) client's message handling: the one-shot
// query for a service type and the reading of the answers, which arrive
// from any computer on the network (untrusted input: every length, offset
// and compression pointer is checked; a reply that does not fit is
// refused whole).
//
// The query asks for the PTR records of the service types (for example
// "_signalk-ws._tcp.local") with the unicast-response bit, from an
// ordinary port, so that responders answer straight back to the asker.
// A reply names service instances (PTR), their host and port (SRV) and
// the host's IPv4 address (A); FindServices joins them.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

struct TMdnsService {
  std::string Type;      // "_signalk-ws._tcp.local"
  std::string Instance;  // "boat._signalk-ws._tcp.local"
  std::string Host;      // "boat.local"
  uint16_t Port = 0;
  std::string Address;   // dotted IPv4, "" when the reply carried none
};

// The query message for the PTR records of these service types.
std::vector<uint8_t> MdnsQuery(const std::vector<std::string>& types, uint16_t id = 0);

// The services of the given types that a reply describes (only those with
// host and port); none when the message is not a well-formed DNS reply.
std::optional<std::vector<TMdnsService>> ParseMdnsReply(const uint8_t* data, size_t size,
                                                        const std::vector<std::string>& types);

inline constexpr const char* kSignalKWsService = "_signalk-ws._tcp.local";
inline constexpr const char* kSignalKHttpService = "_signalk-http._tcp.local";
