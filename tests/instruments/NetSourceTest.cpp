// Network sources without sockets: the "NMEA_SIMUL" forms, the queue of
// text sent over a link, and the filter that takes gpsd's NMEA out of its
// JSON.
#include <string>
#include <vector>

#include "TestSupport.h"
#include "instruments/GpsdStream.h"
#include "instruments/NetSource.h"

namespace {

TEST(NetSource, SettingsNameTheirSource) {
  const TNetKind N = TNetKind::None, T = TNetKind::Tcp, U = TNetKind::Udp, G = TNetKind::Gpsd,
                 K = TNetKind::SignalK;
  struct Case {
    const char* setting;
    TNetKind kind;
    const char* host;
    const char* port;
    bool works;
  } cases[] = {
      {"IP:127.0.0.1:10110", T, "127.0.0.1", "10110", true},
      {"ip:boat.local:10110", T, "boat.local", "10110", true},  // any letter case
      {"IP: 10.0.0.5 : 2000 ", T, "10.0.0.5", "2000", true},   // blanks trimmed
      {"IP:host:1234567", T, "host", "123456", false},         // cut to 6 characters: no port
      {"IP:10110", T, "", "10110", false},                     // no host: never connects
      {"IP:host:", T, "host", "", false},
      {"IP:host:0", T, "host", "0", false},
      {"IP:host:65536", T, "host", "65536", false},
      {"IP:host:telnet", T, "host", "telnet", true},  // a service name, looked up later
      {"IP:[::1]:10110", T, "::1", "10110", true},
      {"UDP:10110", U, "", "10110", true},
      {"udp:239.192.0.1:10110", U, "239.192.0.1", "10110", true},
      {"UDP:", U, "", "", false},
      {"GPSD:", G, "localhost", "2947", true},
      {"GPSD", G, "localhost", "2947", true},
      {"gpsd:pi.local", G, "pi.local", "2947", true},
      {"GPSD:pi.local:3000", G, "pi.local", "3000", true},
      {"GPSD::3000", G, "localhost", "3000", true},
      {"SK:pi.local:3000", K, "pi.local", "3000", true},
      {"sk:pi.local", K, "pi.local", "3000", true},  // the server's usual port
      {"SKS:pi.local", K, "pi.local", "3443", true},
      {"SK:[fe80::1]:3000", K, "fe80::1", "3000", true},
      {"SKS:[fe80::1]", K, "fe80::1", "3443", true},
      {"SK", K, "", "", true},  // the server the network announces
      {"SKS", K, "", "", true},
      {"SK:", K, "", "", true},
      {"SK:pi.local:99999", K, "pi.local", "99999", false},
      {"SKY:pi.local", N, "", "", false},
      {"/home/me/sunday.nmea", N, "", "", false},
      {"IPX:host:1", N, "", "", false},
      {"", N, "", "", false},
  };
  for (const Case& c : cases) {
    const TNetSource s = ParseNetworkSource(c.setting);
    EXPECT_EQ(s.Kind, c.kind) << c.setting;
    if (c.kind == N) continue;
    EXPECT_EQ(s.Host, c.host) << c.setting;
    EXPECT_EQ(s.Port, c.port) << c.setting;
    EXPECT_EQ(s.Error.empty(), c.works) << c.setting << ": " << s.Error;
  }
}

TEST(NetSource, TheSetupDialogsTextReadsBackTheSame) {
  struct Case {
    TNetKind kind;
    const char* host;
    const char* port;
    const char* text;
    bool tls = false;
  } cases[] = {
      {TNetKind::SignalK, "pi.local", "", "SK:pi.local:3000"},
      {TNetKind::SignalK, "pi.local", "4000", "SKS:pi.local:4000", true},
      {TNetKind::SignalK, "", "", "SK"},
      {TNetKind::SignalK, "fe80::1", "3000", "SK:[fe80::1]:3000"},
      {TNetKind::Tcp, "192.168.1.1", "10110", "IP:192.168.1.1:10110"},
      {TNetKind::Tcp, "fe80::1", "10110", "IP:[fe80::1]:10110"},
      {TNetKind::Udp, "", "10110", "UDP:10110"},
      {TNetKind::Udp, "239.192.0.1", "60001", "UDP:239.192.0.1:60001"},
      {TNetKind::Gpsd, "", "", "GPSD:localhost:2947"},
      {TNetKind::Gpsd, " pi ", " 2948 ", "GPSD:pi:2948"},
  };
  for (const Case& c : cases) {
    const std::string text = NetworkSourceText(c.kind, c.host, c.port, c.tls);
    EXPECT_EQ(text, c.text);
    const TNetSource s = ParseNetworkSource(text);
    EXPECT_EQ(s.Kind, c.kind) << text;
    EXPECT_EQ(s.Tls, c.tls) << text;
    EXPECT_TRUE(s.Error.empty()) << text << ": " << s.Error;
  }
  EXPECT_EQ(DescribeNetworkSource(ParseNetworkSource("UDP:239.192.0.1:60001")), "UDP 239.192.0.1 port 60001");
  EXPECT_EQ(DescribeNetworkSource(ParseNetworkSource("IP:[::1]:7")), "TCP [::1]:7");
  EXPECT_EQ(DescribeNetworkSource(ParseNetworkSource("SKS:pi:3443")), "Signal K (TLS) pi:3443");
  EXPECT_EQ(DescribeNetworkSource(ParseNetworkSource("SK")), "Signal K (found on the network)");
}

TEST(SendQueue, RelayedLinesGoFirstWhenThePeerDoesNotRead) {
  // Room for four lines of ten bytes.
  TSendQueue q(40);
  q.Add("$ECAPB,01\n$GPRMC,02\n$ECAPB,03\n$GPRMC,04\n", "$EC");
  EXPECT_EQ(q.Bytes(), 40u);
  EXPECT_EQ(q.DroppedLines(), 0);
  // Two more of our own: the two relayed lines make room.
  q.Add("$ECAPB,05\n$ECAPB,06\n", "$EC");
  EXPECT_EQ(q.DroppedLines(), 2);
  EXPECT_EQ(q.DroppedOwnLines(), 0);
  // A relayed line finds only our own: it is the one dropped.
  q.Add("$GPRMC,07\n", "$EC");
  EXPECT_EQ(q.DroppedLines(), 3);
  // Our own line: the oldest of ours goes.
  q.Add("$ECAPB,08\n", "$EC");
  EXPECT_EQ(q.DroppedOwnLines(), 1);
  EXPECT_LE(q.Bytes(), q.Capacity());
  // In the order they came; whole lines, at least one a call.
  EXPECT_EQ(q.Take(15), "$ECAPB,03\n");
  EXPECT_EQ(q.Take(1), "$ECAPB,05\n");
  EXPECT_EQ(q.Take(100), "$ECAPB,06\n$ECAPB,08\n");
  EXPECT_TRUE(q.Empty());
  EXPECT_EQ(q.Bytes(), 0u);

  // Mixed lines come out in their order; without an own start every line
  // is ours; a line larger than the queue never fits.
  TSendQueue r(100);
  r.Add("$GPGGA,1\n$ECAPB,2\n$GPGGA,3\n", "$EC");
  EXPECT_EQ(r.Take(1000), "$GPGGA,1\n$ECAPB,2\n$GPGGA,3\n");
  r.Add(std::string(101, 'x'), "");
  EXPECT_TRUE(r.Empty());
  EXPECT_EQ(r.DroppedOwnLines(), 1);
}

// A gpsd 3.22 session as it starts: its version, its device, the watch it
// agreed to, then a device's sentences.
const std::string kGpsdSession =
    "{\"class\":\"VERSION\",\"release\":\"3.22\",\"rev\":\"3.22\",\"proto_major\":3,\"proto_minor\":14}\r\n"
    "{\"class\":\"DEVICES\",\"devices\":[{\"class\":\"DEVICE\",\"path\":\"/dev/pts/3\",\"driver\":\"NMEA0183\","
    "\"subtype\":\"$GPRMC,000000,A,0000.000,N,00000.000,E,9.9,0.0,010125,,*00\",\"bps\":4800}]}\r\n"
    "{\"class\":\"WATCH\",\"enable\":true,\"json\":false,\"nmea\":true,\"raw\":0}\r\n"
    "$GNRMC,120213.000,A,5957.0062,N,01100.6429,E,0.00,0.00,310722,,,D,V*0A\r\n"
    "\r\n"
    "$GNGGA,120213.000,5957.0062,N,01100.6429,E,2,00,1.3,168.9,M,39.5,M,,*4A\r\n";

TEST(GpsdStream, OnlyTheSentencesPassInAnyPieces) {
  const std::string nmea =
      "$GNRMC,120213.000,A,5957.0062,N,01100.6429,E,0.00,0.00,310722,,,D,V*0A\r\n"
      "\r\n"
      "$GNGGA,120213.000,5957.0062,N,01100.6429,E,2,00,1.3,168.9,M,39.5,M,,*4A\r\n";
  for (size_t piece : {kGpsdSession.size(), size_t{1}, size_t{7}, size_t{100}}) {
    TGpsdStream g;
    std::string out;
    for (size_t at = 0; at < kGpsdSession.size(); at += piece) out += g.Take(kGpsdSession.substr(at, piece));
    EXPECT_EQ(out, nmea) << "pieces of " << piece;
    EXPECT_EQ(g.Release(), "3.22");
    EXPECT_EQ(g.JsonLines(), 3);
    EXPECT_FALSE(g.TakeError());
  }
}

TEST(GpsdStream, ErrorsAreReportedAndOverlongJsonIsSkipped) {
  TGpsdStream g;
  EXPECT_EQ(g.Take("{\"class\":\"ERROR\",\"message\":\"Unrecognized request '?WATC'\"}\n$GPHDT,1,T\n"),
            "$GPHDT,1,T\n");
  EXPECT_EQ(g.TakeError(), "Unrecognized request '?WATC'");
  EXPECT_FALSE(g.TakeError());  // said once
  // A JSON line beyond the limit is skipped whole, "$" and all.
  const std::string big = "{\"x\":\"" + std::string(TGpsdStream::kMaxJsonLine, '$') + "\"}\n";
  EXPECT_EQ(g.Take(big + "$GPHDT,2,T\n"), "$GPHDT,2,T\n");
  // A line begun on a connection before is forgotten.
  g.Take("{\"class\":\"TPV\",");
  g.Reset();
  EXPECT_EQ(g.Take("$GPHDT,3,T\n"), "$GPHDT,3,T\n");
}

TEST(GpsdStream, JsonStringMembers) {
  struct Case {
    const char* json;
    const char* name;
    std::optional<std::string> value;
  } cases[] = {
      {R"({"class":"VERSION"})", "class", "VERSION"},
      {R"({ "class" : "ERROR" , "message":"a \"quoted\" \\ \/ word"})", "message", R"(a "quoted" \ / word)"},
      {R"({"message":"tab\there \u00e9"})", "message", "tab here ?"},
      {R"({"message":"bad \x escape"})", "message", std::nullopt},
      {R"({"message":"unfinished)", "message", std::nullopt},
      {R"({"message":"\u12"})", "message", std::nullopt},
      {R"({"message":7})", "message", std::nullopt},
      {R"({"class":"X"})", "message", std::nullopt},
      {"{\"message\":\"\x01\xff\"}", "message", "??"},
  };
  for (const Case& c : cases) EXPECT_EQ(JsonStringMember(c.json, c.name, 100), c.value) << c.json;
  EXPECT_EQ(JsonStringMember(R"({"m":"abcdef"})", "m", 3), "abc");
}

}  // namespace
