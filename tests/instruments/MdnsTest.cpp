// Multicast DNS replies as a responder sends them, and broken ones.
#include <cstdint>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "instruments/Mdns.h"

namespace {

using TBytes = std::vector<uint8_t>;

void U16(TBytes& b, uint16_t v) {
  b.push_back(static_cast<uint8_t>(v >> 8));
  b.push_back(static_cast<uint8_t>(v));
}
void Name(TBytes& b, const std::string& name) {
  size_t start = 0;
  while (start < name.size()) {
    size_t dot = name.find('.', start);
    if (dot == std::string::npos) dot = name.size();
    b.push_back(static_cast<uint8_t>(dot - start));
    b.insert(b.end(), name.begin() + static_cast<long>(start), name.begin() + static_cast<long>(dot));
    start = dot + 1;
  }
  b.push_back(0);
}
void Pointer(TBytes& b, uint16_t at) { U16(b, static_cast<uint16_t>(0xC000 | at)); }
// A record header after its name: type, class (cache flush), TTL, length.
void Header(TBytes& b, uint16_t type, uint16_t length) {
  U16(b, type);
  U16(b, 0x8001);
  U16(b, 0);
  U16(b, 120);
  U16(b, length);
}

// The reply of a responder for the Signal K stream on boat.local:3000.
TBytes Reply() {
  TBytes b;
  U16(b, 0);
  U16(b, 0x8400);  // a reply, authoritative
  U16(b, 0);
  U16(b, 1);  // one answer
  U16(b, 0);
  U16(b, 2);  // two additional records
  const uint16_t type = static_cast<uint16_t>(b.size());
  Name(b, "_signalk-ws._tcp.local");
  Header(b, 12, 7);
  const uint16_t instance = static_cast<uint16_t>(b.size());
  b.push_back(4);
  for (char c : std::string("boat")) b.push_back(static_cast<uint8_t>(c));
  Pointer(b, type);
  Pointer(b, instance);
  Header(b, 33, 6 + 7);
  U16(b, 0);
  U16(b, 0);
  U16(b, 3000);
  const uint16_t host = static_cast<uint16_t>(b.size());
  b.push_back(4);
  for (char c : std::string("boat")) b.push_back(static_cast<uint8_t>(c));
  Pointer(b, static_cast<uint16_t>(type + 17));  // "local" of the service type
  Pointer(b, host);
  Header(b, 1, 4);
  for (uint8_t o : {192, 168, 1, 5}) b.push_back(o);
  return b;
}

const std::vector<std::string> kTypes = {kSignalKWsService, kSignalKHttpService};

TEST(Mdns, AReplyNamesTheServer) {
  const TBytes b = Reply();
  auto services = ParseMdnsReply(b.data(), b.size(), kTypes);
  ASSERT_TRUE(services);
  ASSERT_EQ(services->size(), 1u);
  const TMdnsService& s = services->front();
  EXPECT_EQ(s.Type, "_signalk-ws._tcp.local");
  EXPECT_EQ(s.Instance, "boat._signalk-ws._tcp.local");
  EXPECT_EQ(s.Host, "boat.local");
  EXPECT_EQ(s.Port, 3000);
  EXPECT_EQ(s.Address, "192.168.1.5");
  // Other service types are not asked for.
  EXPECT_TRUE(ParseMdnsReply(b.data(), b.size(), {"_http._tcp.local"})->empty());
}

TEST(Mdns, BrokenRepliesAreRefusedWhole) {
  const TBytes good = Reply();
  // Cut anywhere inside a record: never read beyond the bytes.
  for (size_t n = 0; n < good.size(); ++n) EXPECT_FALSE(ParseMdnsReply(good.data(), n, kTypes)) << n;
  // A compression pointer to itself, and one pointing forward.
  TBytes loop = good;
  loop[12] = 0xC0;
  loop[13] = 12;
  EXPECT_FALSE(ParseMdnsReply(loop.data(), loop.size(), kTypes));
  TBytes forward = good;
  forward[12] = 0xC0;
  forward[13] = 200;
  EXPECT_FALSE(ParseMdnsReply(forward.data(), forward.size(), kTypes));
  // A record count far beyond what the bytes hold.
  TBytes many = good;
  many[6] = 0xFF;
  EXPECT_FALSE(ParseMdnsReply(many.data(), many.size(), kTypes));
  // A query is not a reply.
  const TBytes q = MdnsQuery(kTypes);
  EXPECT_FALSE(ParseMdnsReply(q.data(), q.size(), kTypes));
}

TEST(Mdns, TheQueryAsksForUnicastAnswers) {
  const TBytes q = MdnsQuery({kSignalKWsService});
  ASSERT_EQ(q.size(), 12u + 24u + 4u);
  EXPECT_EQ(q[5], 1);  // one question
  EXPECT_EQ(q[12], 11);  // "_signalk-ws"
  EXPECT_EQ(q[q.size() - 3], 12);  // PTR
  EXPECT_EQ(q[q.size() - 2], 0x80);  // unicast response wanted
}

}  // namespace
