// The link to a real gpsd (Debian's /usr/sbin/gpsd, started by the test on
// a loopback port of its own with a pseudo-terminal as its one device): a
// log written into the terminal comes out of the link as the NMEA gpsd
// relays, without any of gpsd's JSON, and the parser makes of it the same
// fixes "brtool nmea" reads from the log. Skipped, saying why, when gpsd
// is missing or does not start. Also a server of ours speaking as gpsd
// does: the watch asked for after every connect, its JSON kept out in any
// pieces, its errors said.
#include <chrono>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "instruments/NMEAReport.h"
#include "instruments/NMEATestUtil.h"
#include "instruments/qt/GpsdDaemon.h"
#include "instruments/qt/NmeaTestServer.h"
#include "instruments/qt/PtyPair.h"
#include "instruments/qt/TelnetSend.h"

namespace {

using TState = TTelnetSend::TState;

const std::string kVoyage = std::string(BRISMARE_SOURCE_DIR) + "/tests/plotter/data/replay_vinga.nmea";

// The lines of "brtool nmea" (or of our parse) that carry a position.
std::vector<std::string> Fixes(const std::string& reports) {
  std::vector<std::string> out;
  size_t at = 0;
  while (at < reports.size()) {
    size_t end = reports.find('\n', at);
    if (end == std::string::npos) end = reports.size();
    const std::string line = reports.substr(at, end - at);
    if (line.find("\"lat\":") != std::string::npos) out.push_back(line);
    at = end + 1;
  }
  return out;
}

// Runs the log through gpsd into the link and returns the reports of what
// the parser made of the link's text; skipped (the message in `skip`) when
// gpsd cannot serve.
std::string ThroughGpsd(const std::string& log, std::string& skip, std::string& release) {
  TGpsdDaemon gpsd;
  if (!gpsd.Started()) {
    skip = gpsd.Why();
    return {};
  }
  TManualClock clock;
  TTelnetSend link(clock);
  const std::string setting = "GPSD:127.0.0.1:" + std::to_string(gpsd.Port());
  link.SetSource(ParseNetworkSource(setting));
  EXPECT_EQ(link.Description(), "gpsd 127.0.0.1:" + std::to_string(gpsd.Port()));
  EXPECT_TRUE(link.Connect());
  // gpsd takes a moment to listen: the link's own retries find it.
  const bool up = WaitFor(
      [&] {
        if (link.State() == TState::Retrying) {
          clock.Advance(TTelnetSend::kLastRetry);
          link.Poll();
        }
        return link.State() == TState::Connected || !gpsd.Running();
      },
      10000);
  if (!up || link.State() != TState::Connected) {
    skip = "gpsd does not serve on port " + std::to_string(gpsd.Port()) + " (" + link.LastFailure() +
           "); it said: " + gpsd.Errors();
    return {};
  }
  EXPECT_FALSE(link.CanSend());

  // Until gpsd has taken the watch, what the device says is not relayed:
  // a line of no interest goes in until it comes out.
  const std::string warmUp = Nmea("GPTXT,01,01,02,warm up") + "\r\n";
  std::string received;
  auto lastWrite = std::chrono::steady_clock::now() - std::chrono::seconds(1);
  const bool watching = WaitFor(
      [&] {
        if (std::chrono::steady_clock::now() - lastWrite >= std::chrono::milliseconds(50)) {
          gpsd.Device().Write(warmUp);
          lastWrite = std::chrono::steady_clock::now();
        }
        gpsd.Device().Read();
        received += link.ReceiveText();
        return received.find(warmUp) != std::string::npos;
      },
      10000);
  EXPECT_TRUE(watching) << "gpsd relays nothing; it said: " << gpsd.Errors();
  if (!watching) return {};
  release = link.GpsdRelease();

  std::string reports;
  TNMEALineBuffer buffer;
  buffer.Parser().OnAccepted = [&](const TNdxString& s) { reports += SentenceReportJson(buffer.Parser(), s) + "\n"; };
  std::string text;
  // The log as a receiver sends it, a little at a time.
  for (size_t at = 0; at < log.size(); at += 256) {
    EXPECT_TRUE(gpsd.Device().Write(log.substr(at, 256)));
    Spin(2);
    const std::string t = link.ReceiveText();
    text += t;
    buffer.FeedText(t);
  }
  // gpsd passes the last sentence on once it is whole: the log ends with a
  // line end. A last line of no interest tells that all came through.
  const std::string last = Nmea("GPTXT,01,01,02,the end") + "\r\n";
  gpsd.Device().Write(last);
  EXPECT_TRUE(WaitFor(
      [&] {
        const std::string t = link.ReceiveText();
        text += t;
        buffer.FeedText(t);
        return text.find(last) != std::string::npos;
      },
      10000))
      << "gpsd relayed " << text.size() << " bytes of " << log.size();
  // None of gpsd's JSON reached the text.
  EXPECT_EQ(text.find('{'), std::string::npos);
  EXPECT_EQ(link.State(), TState::Connected);
  return reports;
}

TEST(GpsdLink, TheFixesOfAReplayedVoyageAreThoseBrtoolReads) {
  REQUIRE_PROGRAM("brtool");
  const TProgramRun run = Brtool("nmea \"" + kVoyage + "\"");
  ASSERT_EQ(run.status, 0);
  const std::vector<std::string> expected = Fixes(run.out);
  ASSERT_EQ(expected.size(), 120u);

  std::string skip, release;
  const std::string reports = ThroughGpsd(ReadTestFile(kVoyage), skip, release);
  if (!skip.empty()) GTEST_SKIP() << skip;
  EXPECT_FALSE(release.empty()) << "gpsd's VERSION was not seen";
  EXPECT_EQ(Fixes(reports), expected);
}

TEST(GpsdLink, TheFixesOfARealReceiversLogAreThoseBrtoolReads) {
  REQUIRE_PROGRAM("brtool");
  // A depth sounder's GLL and DBT, as gpsd's own tests have it.
  REQUIRE_TESTDATA(log, "nmea/sounder.log");
  const TProgramRun run = Brtool("nmea \"" + log + "\"");
  ASSERT_EQ(run.status, 0);
  const std::vector<std::string> expected = Fixes(run.out);
  ASSERT_GT(expected.size(), 100u);

  std::string skip, release;
  const std::string reports = ThroughGpsd(ReadTestFile(log), skip, release);
  if (!skip.empty()) GTEST_SKIP() << skip;
  // Sentences without a date take today's (as brtool's do): the two runs
  // are seconds apart.
  EXPECT_EQ(Fixes(reports), expected);
}

// A server of ours in gpsd's place, with what gpsd 3.22 says.
TEST(GpsdLink, TheWatchIsAskedForAfterEveryConnectAndGpsdsOwnWordsStayOut) {
  TNmeaTestServer server;
  ASSERT_TRUE(server.Listen());
  TManualClock clock;
  TTelnetSend link(clock);
  std::vector<std::string> notices;
  int stateChanges = 0;
  QObject::connect(&link, &TTelnetSend::Notice, [&](const QString& t) { notices.push_back(t.toStdString()); });
  QObject::connect(&link, &TTelnetSend::StateChanged, [&] { ++stateChanges; });
  link.SetSource(ParseNetworkSource("gpsd:127.0.0.1:" + std::to_string(server.Port())));
  ASSERT_TRUE(link.Connect());
  ASSERT_TRUE(WaitFor([&] { return link.State() == TState::Connected && server.Connections() == 1; }));
  EXPECT_FALSE(link.CanSend());
  ASSERT_TRUE(WaitFor([&] { return server.Received(0) == TTelnetSend::kGpsdWatch; }));

  const std::string rmc = Nmea("GPRMC,120000,A,5740.000,N,01140.000,E,5.0,90.0,140625,,,A") + "\r\n";
  const std::string session =
      "{\"class\":\"VERSION\",\"release\":\"3.22\",\"rev\":\"3.22\",\"proto_major\":3,\"proto_minor\":14}\r\n"
      "{\"class\":\"DEVICES\",\"devices\":[{\"class\":\"DEVICE\",\"path\":\"/dev/"
      "ttyUSB0\",\"driver\":\"NMEA0183\"}]}\r\n"
      "{\"class\":\"WATCH\",\"enable\":true,\"json\":false,\"nmea\":true,\"raw\":0}\r\n" +
      rmc + "{\"class\":\"ERROR\",\"message\":\"Can't open $GPHDT,1,T\"}\r\n" + rmc;
  const int changesBefore = stateChanges;
  // In pieces of 7 bytes: a JSON line is kept out also when cut.
  for (size_t at = 0; at < session.size(); at += 7) {
    ASSERT_TRUE(server.Send(session.substr(at, 7)));
    Spin(1);
  }
  ASSERT_TRUE(WaitFor([&] { return link.BytesWaiting() >= static_cast<int64_t>(2 * rmc.size()); }));
  Spin(20);
  EXPECT_EQ(link.ReceiveText(), rmc + rmc);
  EXPECT_EQ(link.GpsdRelease(), "3.22");
  // The release is news for the dashboard's tooltip.
  EXPECT_GT(stateChanges, changesBefore);
  ASSERT_EQ(notices.size(), 1u);
  EXPECT_EQ(notices[0], "gpsd 127.0.0.1:" + std::to_string(server.Port()) + " reports: Can't open $GPHDT,1,T");

  // gpsd restarts: asked again, and a JSON line cut by the end of the
  // connection never joins the next one's text.
  server.Send("{\"class\":\"DEVI");
  Spin(20);
  server.Hangup();
  ASSERT_TRUE(WaitFor([&] { return link.State() == TState::Retrying; }));
  clock.Advance(TTelnetSend::kFirstRetry);
  link.Poll();
  ASSERT_TRUE(WaitFor([&] { return link.State() == TState::Connected && server.Connections() == 2; }));
  ASSERT_TRUE(WaitFor([&] { return server.Received(1) == TTelnetSend::kGpsdWatch; }));
  server.Send("CES\"}\r\n" + rmc);
  ASSERT_TRUE(WaitFor([&] { return link.BytesWaiting() > 0; }));
  Spin(20);
  bool anew = false;
  const std::string text = link.ReceiveText(&anew);
  EXPECT_TRUE(anew);
  EXPECT_EQ(text, "CES\"}\r\n" + rmc) << "a line of the new connection that is not JSON passes to the parser";
}

TEST(NetworkLinkIpv6, AServerOnTheIpv6LoopbackIsReached) {
  QTcpServer server;
  if (!server.listen(QHostAddress::LocalHostIPv6, 0)) GTEST_SKIP() << "no IPv6 loopback here";
  QTcpSocket* peer = nullptr;
  QObject::connect(&server, &QTcpServer::newConnection, [&] { peer = server.nextPendingConnection(); });
  TManualClock clock;
  TTelnetSend link(clock);
  link.SetSource(ParseNetworkSource("IP:[::1]:" + std::to_string(server.serverPort())));
  EXPECT_EQ(link.Description(), "TCP [::1]:" + std::to_string(server.serverPort()));
  ASSERT_TRUE(link.Connect());
  ASSERT_TRUE(WaitFor([&] { return link.State() == TState::Connected && peer; })) << link.LastFailure();
  const std::string hdt = Nmea("GPHDT,12.5,T") + "\r\n";
  peer->write(hdt.data(), static_cast<qint64>(hdt.size()));
  ASSERT_TRUE(WaitFor([&] { return link.BytesWaiting() > 0; }));
  EXPECT_EQ(link.ReceiveText(), hdt);
}

}  // namespace
