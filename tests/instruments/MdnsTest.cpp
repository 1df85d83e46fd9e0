// Multicast DNS replies as a responder sends them, and broken ones.
#include <cstdint>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "instruments/Mdns.h"
#include "instruments/MdnsTestUtil.h"

namespace {

using TBytes = TDnsBytes;

void Pointer(TBytes& b, uint16_t at) { AppendU16(b, static_cast<uint16_t>(0xC000 | at)); }

// The reply of a responder for the Signal K stream on boat.local:3000.
TBytes Reply() {
  TBytes b = DnsReplyHeader(1, 2);
  const uint16_t type = static_cast<uint16_t>(b.size());
  AppendDnsName(b, "_signalk-ws._tcp.local");
  AppendRecordHeader(b, 12, 7);
  const uint16_t instance = static_cast<uint16_t>(b.size());
  b.push_back(4);
  for (char c : std::string("boat")) b.push_back(static_cast<uint8_t>(c));
  Pointer(b, type);
  Pointer(b, instance);
  AppendRecordHeader(b, 33, 6 + 7);
  for (uint16_t v : {0, 0, 3000}) AppendU16(b, v);
  const uint16_t host = static_cast<uint16_t>(b.size());
  b.push_back(4);
  for (char c : std::string("boat")) b.push_back(static_cast<uint8_t>(c));
  Pointer(b, static_cast<uint16_t>(type + 17));  // "local" of the service type
  Pointer(b, host);
  AppendRecordHeader(b, 1, 4);
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
