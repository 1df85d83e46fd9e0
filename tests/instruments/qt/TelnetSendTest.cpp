// The network link against servers of ours on loopback, on a manual clock
// (its waits are the clock's, so no test waits for them): the login bytes
// and nothing else, a log trickled byte by byte parsed whole, a server
// that goes away noticed at once and found again soon after it returns, a
// refusing server tried for as long as it takes with waits doubling from
// 1 s to a minute, a half line of one connection never joined to the next,
// a connect nobody answers given up, a peer that stops reading costing
// only relayed sentences; UDP datagrams and a multicast group; settings
// that can never work said so.
#include <QUdpSocket>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "instruments/NMEAReport.h"
#include "instruments/NMEATestUtil.h"
#include "instruments/qt/NmeaTestServer.h"
#include "instruments/qt/PtyPair.h"
#include "instruments/qt/TelnetSend.h"

namespace {

using namespace std::chrono_literals;
using TState = TTelnetSend::TState;

const std::string kVoyage = std::string(BRISMARE_SOURCE_DIR) + "/tests/plotter/data/replay_vinga.nmea";

// The link's notices, as they come.
struct TNotices {
  explicit TNotices(TTelnetSend& link) {
    QObject::connect(&link, &TTelnetSend::Notice, [this](const QString& t) { texts.push_back(t.toStdString()); });
  }
  int count() const { return static_cast<int>(texts.size()); }
  std::vector<std::string> texts;
};

// What a parser makes of the text, sentence by sentence.
class TReports {
 public:
  explicit TReports(IClock& clock) : buffer_(nullptr, clock) {
    buffer_.Parser().OnAccepted = [this](const TNdxString& s) {
      lines.push_back(SentenceReportJson(buffer_.Parser(), s));
    };
  }
  void Feed(std::string_view text) { buffer_.FeedText(text); }
  TNMEALineBuffer& Buffer() { return buffer_; }
  std::vector<std::string> lines;

 private:
  TNMEALineBuffer buffer_;
};

class NetworkLink : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(server.Listen()); }
  // One second of the tick: the clock moves, the link's timers run, and
  // the event loop settles what they started.
  void Second() {
    clock.Advance(1s);
    link.Poll();
    WaitFor([&] { return link.State() != TState::Connecting; }, 2000);
  }
  // Connected, and the server has taken connection number n.
  bool Up(int n = 1) {
    return WaitFor([&] { return link.State() == TState::Connected && server.Connections() == n; });
  }

  TManualClock clock;
  TNmeaTestServer server;
  TTelnetSend link{clock};
};

TEST_F(NetworkLink, TheLoginIsSentAfterEveryConnectAndNothingElseEver) {
  const std::string login("\x01skipper\0s3cret$GPHDT,9,T\0", 26);
  link.SetAddress(server.Address());
  link.SetLogin("skipper", "s3cret$GPHDT,9,T");
  ASSERT_TRUE(link.Connect());
  ASSERT_TRUE(Up());
  ASSERT_TRUE(WaitFor([&] { return server.Received(0).size() >= login.size(); }));
  EXPECT_FALSE(link.CanSend());
  link.SendText("$ECAPB,A,A,0.1,L,N,V,V,1,T,2,1,T,1,T*00\r\n");
  // A server that echoes what it gets: the login is not taken for text.
  server.Send(login + "$GPHDT,12.5,T\r\n");
  ASSERT_TRUE(WaitFor([&] { return link.BytesWaiting() > 0; }));
  EXPECT_EQ(link.ReceiveText(), "$GPHDT,12.5,T\r\n");

  ASSERT_TRUE(link.Connect());
  ASSERT_TRUE(WaitFor([&] { return server.Connections() == 2 && server.Received(1).size() >= login.size(); }));
  Spin(50);
  EXPECT_EQ(server.Received(0), login);
  EXPECT_EQ(server.Received(1), login);
  EXPECT_EQ(link.Description(), "TCP " + server.Address());
}

TEST_F(NetworkLink, ALogTrickledByteByByteIsParsedWhole) {
  const std::string log = ReadTestFile(kVoyage);
  TReports whole(clock), trickled(clock);
  whole.Feed(log);
  ASSERT_EQ(whole.lines.size(), 240u);

  link.SetAddress(server.Address());
  ASSERT_TRUE(link.Connect());
  ASSERT_TRUE(Up());
  server.Current()->setSocketOption(QAbstractSocket::LowDelayOption, 1);
  for (size_t i = 0; i < log.size(); ++i) {
    ASSERT_TRUE(server.Send(log.substr(i, 1)));
    ASSERT_TRUE(WaitFor([&] { return link.BytesWaiting() > 0; })) << "byte " << i;
    trickled.Feed(link.ReceiveText());
  }
  EXPECT_EQ(trickled.lines, whole.lines);
  EXPECT_TRUE(link.OutputQueue().Empty());
}

TEST_F(NetworkLink, AServerGoneIsNoticedAtOnceAndFoundAgainSoonAfterItReturns) {
  TNotices notices(link);
  link.SetAddress(server.Address());
  ASSERT_TRUE(link.Connect());
  ASSERT_TRUE(Up());
  server.Send("$GPHDT,1,T\r\n");
  ASSERT_TRUE(WaitFor([&] { return link.BytesWaiting() > 0; }));

  // The server restarts: no waiting for a minute of silence.
  server.Stop();
  ASSERT_TRUE(WaitFor([&] { return link.State() == TState::Retrying; }));
  EXPECT_EQ(link.LastFailure(), "the server closed the connection");
  ASSERT_EQ(notices.count(), 1);
  EXPECT_NE(notices.texts[0].find("closed the connection"), std::string::npos);
  // What came before the end is still there.
  EXPECT_EQ(link.ReceiveText(), "$GPHDT,1,T\r\n");

  // Refused for 20 s: tried after 1, 2, 4 and 8 s of waiting, and said
  // only once.
  const int before = link.Attempts();
  std::vector<int> attempts;
  for (int t = 1; t <= 20; ++t) {
    Second();
    if (link.Attempts() != before + static_cast<int>(attempts.size())) attempts.push_back(t);
    EXPECT_NE(link.State(), TState::Connected);
  }
  EXPECT_EQ(attempts, (std::vector<int>{1, 3, 7, 15}));
  EXPECT_EQ(notices.count(), 1);
  EXPECT_NE(link.LastFailure().find("refused"), std::string::npos) << link.LastFailure();

  // Back at second 20: connected on the next try, 16 s after the last.
  ASSERT_TRUE(server.Listen(server.Port()));
  int back = 0;
  for (int t = 21; t <= 40 && !back; ++t) {
    Second();
    if (link.State() == TState::Connected) back = t;
  }
  EXPECT_EQ(back, 31);
  EXPECT_EQ(notices.count(), 1);

  // Text again: the next outage is said again and retried from 1 s.
  ASSERT_TRUE(Up(2));
  server.Send("$GPHDT,2,T\r\n");
  ASSERT_TRUE(WaitFor([&] { return link.BytesWaiting() > 0; }));
  server.Hangup();
  ASSERT_TRUE(WaitFor([&] { return link.State() == TState::Retrying; }));
  EXPECT_EQ(notices.count(), 2);
  Second();
  EXPECT_EQ(link.State(), TState::Connected);
}

TEST_F(NetworkLink, ARefusingServerIsTriedForeverWaitingAtMostAMinute) {
  TNotices notices(link);
  // A port nobody listens on any more.
  const std::string address = server.Address();
  server.Stop();
  link.SetAddress(address);
  ASSERT_TRUE(link.Connect());
  ASSERT_TRUE(WaitFor([&] { return link.State() == TState::Retrying; }));
  // The waits between attempts: 1 s doubling, then a minute each, for as
  // long as it takes; said once.
  std::vector<int> waits;
  int attempts = link.Attempts(), since = 0;
  for (int t = 1; t <= 6 * 60; ++t) {
    Second();
    ++since;
    if (link.Attempts() != attempts) {
      attempts = link.Attempts();
      waits.push_back(since);
      since = 0;
    }
    ASSERT_NE(link.State(), TState::Off);
  }
  EXPECT_EQ(waits, (std::vector<int>{1, 2, 4, 8, 16, 32, 60, 60, 60, 60}));
  EXPECT_EQ(notices.count(), 1);
  EXPECT_NE(link.LastFailure().find("refused"), std::string::npos) << link.LastFailure();
  EXPECT_EQ(link.State(), TState::Retrying);
}

TEST_F(NetworkLink, AHalfLineOfOneConnectionNeverJoinsTheNext) {
  TReports parsed(clock);
  std::vector<double> depths;
  parsed.Buffer().Parser().OnAccepted = [&](const TNdxString&) {
    depths.push_back(parsed.Buffer().Parser().Info.Depth);
  };
  auto take = [&] {
    bool anew = false;
    const std::string text = link.ReceiveText(&anew);
    if (anew) parsed.Buffer().Reset();
    parsed.Feed(text);
    return anew;
  };
  link.SetAddress(server.Address());
  ASSERT_TRUE(link.Connect());
  ASSERT_TRUE(Up());
  EXPECT_FALSE(take());
  // No checksums: only the line boundary keeps "4." and "2" apart.
  server.Send("$SDDPT,3.0,0.5\r\n$SDDPT,4.");
  ASSERT_TRUE(WaitFor([&] { return link.BytesWaiting() > 0; }));
  server.Hangup();
  ASSERT_TRUE(WaitFor([&] { return link.State() == TState::Retrying; }));
  Second();
  ASSERT_TRUE(Up(2));
  server.Send("2,0.5\r\n$SDDPT,5.0,0.5\r\n");
  ASSERT_TRUE(WaitFor([&] { return link.BytesWaiting() >= 25 + 23; }));
  // The rest of the first connection alone, then the second's from its
  // start.
  EXPECT_FALSE(take());
  EXPECT_TRUE(take());
  EXPECT_EQ(depths, (std::vector<double>{3.0, 5.0}));
}

TEST_F(NetworkLink, AConnectNobodyAnswersIsGivenUpAndTriedAgain) {
  // A listener whose one-place queue is taken: the system lets further
  // connects wait unanswered.
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  ASSERT_GE(fd, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t len = sizeof a;
  ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
  ASSERT_EQ(::listen(fd, 0), 0);
  ASSERT_EQ(::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len), 0);
  const uint16_t port = ntohs(a.sin_port);
  QTcpSocket filler;
  filler.connectToHost(QHostAddress::LocalHost, port);
  ASSERT_TRUE(filler.waitForConnected(2000));

  link.SetAddress("127.0.0.1:" + std::to_string(port));
  ASSERT_TRUE(link.Connect());
  Spin(200);
  if (link.State() != TState::Connecting) {
    ::close(fd);
    GTEST_SKIP() << "this system answers connects beyond the listen queue";
  }
  clock.Advance(9s);
  link.Poll();
  EXPECT_EQ(link.State(), TState::Connecting);
  clock.Advance(1s);
  link.Poll();
  EXPECT_EQ(link.State(), TState::Retrying);
  EXPECT_EQ(link.LastFailure(), "no answer within 10 s");
  clock.Advance(1s);
  link.Poll();
  EXPECT_EQ(link.Attempts(), 2);
  EXPECT_EQ(link.State(), TState::Connecting);
  ::close(fd);
}

TEST_F(NetworkLink, APeerThatStopsReadingCostsOnlyRelayedSentences) {
  link.SetAddress(server.Address());
  ASSERT_TRUE(link.Connect());
  ASSERT_TRUE(Up());
  ASSERT_TRUE(link.CanSend());
  server.PauseReading();
  // Relayed sentences pour out, with one of our own every hundredth line,
  // until the system's buffers are full and the queue must drop.
  const std::string relayed = Nmea("GPGGA,120000,5740.000,N,01140.000,E,1,08,0.9,10.0,M,38.0,M,,") + "\r\n";
  std::string own;
  int ownCount = 0;
  for (int i = 0; i < 2000000 && link.OutputQueue().DroppedLines() < 1000; ++i) {
    if (i % 100 == 0) {
      const std::string line = Nmea("ECAPB,A,A," + std::to_string(ownCount++)) + "\r\n";
      own += line;
      link.SendText(line, "$EC");
    } else {
      link.SendText(relayed, "$EC");
    }
    ASSERT_LE(link.OutputQueue().Bytes(), TTelnetSend::kMaxQueuedOutput);
    if (i % 100 == 0) QCoreApplication::processEvents();
  }
  EXPECT_GE(link.OutputQueue().DroppedLines(), 1000);
  EXPECT_EQ(link.OutputQueue().DroppedOwnLines(), 0);

  // Reading again: every sentence of ours arrives, in order.
  server.ResumeReading();
  std::string ownReceived;
  ASSERT_TRUE(WaitFor(
      [&] {
        if (!link.OutputQueue().Empty()) return false;
        ownReceived.clear();
        const std::string& got = server.Received(0);
        for (size_t at = 0; (at = got.find("$ECAPB", at)) != std::string::npos;) {
          const size_t end = got.find('\n', at);
          ownReceived += got.substr(at, end - at + 1);
          at = end;
        }
        return ownReceived.size() >= own.size();
      },
      20000))
      << "queued " << link.OutputQueue().Bytes() << " received " << server.Received(0).size() << " own "
      << ownReceived.size() << " of " << own.size() << " state " << TTelnetSend::StateName(link.State());
  EXPECT_EQ(ownReceived, own);
}

TEST(NetworkSettings, ASettingThatCanNeverWorkIsSaidAndStops) {
  struct Case {
    const char* setting;
    const char* why;
  } cases[] = {
      {"IP:10110", "no server"},
      {"IP:localhost:99999", "not a port"},
      {"IP:localhost:no-such-service-here", "not a known service"},
      {"UDP:boat.lan:10110", "not an IP address"},
  };
  for (const Case& c : cases) {
    TTelnetSend link;
    TNotices notices(link);
    link.SetSource(ParseNetworkSource(c.setting));
    EXPECT_FALSE(link.Connect()) << c.setting;
    EXPECT_EQ(link.State(), TState::Off) << c.setting;
    ASSERT_EQ(notices.count(), 1) << c.setting;
    EXPECT_NE(notices.texts[0].find(c.why), std::string::npos)
        << c.setting << ": " << notices.texts[0];
  }
}

// ---- UDP ----

// A UDP port free now (the system's choice).
uint16_t FreeUdpPort() {
  QUdpSocket probe;
  if (!probe.bind(QHostAddress::LocalHost, 0)) return 0;
  return probe.localPort();
}

TEST(NetworkUdp, DatagramsAreParsedAlsoWhenASentenceIsSplitAcrossThem) {
  TManualClock clock;
  const uint16_t port = FreeUdpPort();
  ASSERT_NE(port, 0);
  TTelnetSend link(clock);
  link.SetSource(ParseNetworkSource("UDP:" + std::to_string(port)));
  ASSERT_TRUE(link.Connect());
  ASSERT_TRUE(link.Connected());
  EXPECT_EQ(link.State(), TState::NoData);
  EXPECT_FALSE(link.CanSend());

  const std::string rmc = Nmea("GPRMC,120000,A,5740.000,N,01140.000,E,5.0,90.0,140625,,,A") + "\r\n";
  const std::string dpt = Nmea("SDDPT,4.2,0.5") + "\r\n";
  QUdpSocket sender;
  for (const std::string& d : {rmc.substr(0, 20), rmc.substr(20) + dpt})
    ASSERT_EQ(sender.writeDatagram(d.data(), static_cast<qint64>(d.size()), QHostAddress::LocalHost, port),
              static_cast<qint64>(d.size()));
  ASSERT_TRUE(WaitFor([&] { return link.BytesWaiting() >= static_cast<int64_t>(rmc.size() + dpt.size()); }));
  EXPECT_EQ(link.State(), TState::Connected);
  TReports parsed(clock);
  parsed.Feed(link.ReceiveText());
  ASSERT_EQ(parsed.lines.size(), 2u);
  const TNMEAINFO& info = parsed.Buffer().Parser().Info;
  EXPECT_NEAR(Deg(info.Pos.Y), 57 + 40.0 / 60, 1e-9);
  EXPECT_DOUBLE_EQ(info.Depth, 4.2);
  // Quiet for a while: "no data".
  clock.Advance(TTelnetSend::kNoDataAfter);
  link.Poll();
  EXPECT_EQ(link.State(), TState::NoData);
}

TEST(NetworkUdp, AMulticastGroupIsJoined) {
  TManualClock clock;
  const uint16_t port = FreeUdpPort();
  ASSERT_NE(port, 0);
  const char* group = "239.255.43.21";
  TTelnetSend link(clock);
  link.SetSource(ParseNetworkSource("UDP:" + std::string(group) + ":" + std::to_string(port)));
  ASSERT_TRUE(link.Connect());
  if (link.State() == TState::Retrying) GTEST_SKIP() << "no multicast here: " << link.LastFailure();
  // Sent to the group without leaving this computer.
  QUdpSocket sender;
  ASSERT_TRUE(sender.bind(QHostAddress(QHostAddress::AnyIPv4), 0));
  sender.setSocketOption(QAbstractSocket::MulticastTtlOption, 0);
  sender.setSocketOption(QAbstractSocket::MulticastLoopbackOption, 1);
  const std::string hdt = Nmea("GPHDT,123.4,T") + "\r\n";
  ASSERT_EQ(sender.writeDatagram(hdt.data(), static_cast<qint64>(hdt.size()), QHostAddress(group), port),
            static_cast<qint64>(hdt.size()));
  ASSERT_TRUE(WaitFor([&] { return link.BytesWaiting() > 0; }));
  EXPECT_EQ(link.ReceiveText(), hdt);
}

}  // namespace
