// The Signal K link against Signal K's own server playing real NMEA logs:
// what the plotter reads must agree with what "brtool nmea" and "brtool ais
// --targets" read from the same log; a server that stops and starts again,
// one that wants a login, one with a self-signed certificate, and one
// found by discovery.
#include <QFile>
#include <QNetworkDatagram>
#include <QSslCertificate>
#include <QUdpSocket>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "foundation/Json.h"
#include "instruments/AIS.h"
#include "instruments/Mdns.h"
#include "instruments/MdnsTestUtil.h"
#include "instruments/NMEA.h"
#include "instruments/qt/SignalKDiscovery.h"
#include "instruments/qt/SignalKLink.h"
#include "instruments/qt/SignalKServer.h"

namespace {

constexpr double kRadToDegrees = 57.295779513082320877;

// The first part of the AIS log without the second GPS's RMC and RMA (so
// that the last fix is one receiver's), written for the test.
std::string WriteSlice(const std::string& log, const std::string& to) {
  std::ifstream in(log);
  std::ostringstream out;
  std::string line;
  for (int n = 0; n < 3000 && std::getline(in, line); ++n)
    if (line.rfind("$IIRMC", 0) != 0 && line.rfind("$IIRMA", 0) != 0) out << line << '\n';
  WriteTestFile(to, out.str());
  return to;
}

// A link with its own parser and AIS table.
struct TClient {
  TNMEA parser;
  TAisDecoder ais{parser};
  TSignalKLink link;
  std::vector<std::string> notices;
  std::vector<TLinkState> states;
  int credentialChanges = 0;
  std::vector<std::string> monitor;

  TClient(IClock& clock, const std::string& source) : parser(clock), link(clock) {
    link.SetSource(ParseNetworkSource(source));
    link.AttachInstruments(&parser, &ais);
    QObject::connect(&link, &TNetLink::Notice, [this](const QString& t) { notices.push_back(t.toStdString()); });
    QObject::connect(&link, &TNetLink::StateChanged, [this] {
      if (states.empty() || states.back() != link.State()) states.push_back(link.State());
    });
    QObject::connect(&link, &TSignalKLink::CredentialsChanged, [this] { ++credentialChanges; });
    parser.OnSentence = [this](std::string_view line) {
      if (monitor.size() < 5) monitor.emplace_back(line);
    };
  }
  ~TClient() { link.AttachInstruments(nullptr, nullptr); }
  int64_t Deltas() const { return link.Reader() ? link.Reader()->Counters().Deltas : 0; }
  // Waits until the stream has been quiet for `quietMs` after bringing
  // deltas (the server sends what it has at once on subscription).
  bool WaitQuiet(int quietMs, int maxMs) {
    int64_t last = -1;
    QElapsedTimer quiet;
    quiet.start();
    return WaitFor(
        [&] {
          if (Deltas() != last) {
            last = Deltas();
            quiet.restart();
          }
          return last > 0 && quiet.elapsed() > quietMs;
        },
        maxMs, [this] { link.Poll(); });
  }
};

std::map<std::string, double> LastNmeaValues(const std::string& log) {
  std::map<std::string, double> last;
  const TProgramRun run = Brtool("nmea " + log);
  std::istringstream in(run.out);
  std::string line;
  while (std::getline(in, line)) {
    std::optional<TJsonValue> v = ParseJson(line);
    if (!v) continue;
    for (const char* key : {"lat", "lon", "sog", "cog", "depth"})
      if (std::optional<double> n = v->NumberOf(key)) last[key] = *n;
  }
  return last;
}

struct TAisRow {
  std::string name;
  double lat = 0, lon = 0;
};
// "brtool ais --targets": MMSI -> name and position of the active targets.
std::map<int32_t, TAisRow> BrtoolTargets(const std::string& log) {
  std::map<int32_t, TAisRow> rows;
  const TProgramRun run = Brtool("ais " + log + " --targets");
  std::istringstream in(run.out);
  std::string line;
  std::getline(in, line);  // the heading
  while (std::getline(in, line)) {
    // Columns: slot, MMSI, kind, state, name (20 characters from 31), lat, lon, ...
    if (line.size() < 75) continue;
    std::istringstream f(line);
    int slot;
    int32_t mmsi;
    std::string kind, state;
    f >> slot >> mmsi >> kind >> state;
    if (state != "active") continue;
    TAisRow r;
    r.name = line.substr(31, 20);
    while (!r.name.empty() && r.name.back() == ' ') r.name.pop_back();
    std::istringstream pos(line.substr(52));
    pos >> r.lat >> r.lon;
    rows[mmsi] = r;
  }
  return rows;
}

class SignalKServerTest : public testing::Test {
 protected:
  static void SetUpTestSuite() {
    const std::string missing = TSignalKServer::Missing();
    if (!missing.empty()) {
      skip_ = missing;
      return;
    }
    const std::string log = TestDataFile("nmea/Hakefjord.log");
    if (log.empty()) {
      skip_ = "test data nmea/Hakefjord.log is absent";
      return;
    }
    dir_ = new TTempDir;
    slice_ = WriteSlice(log, *dir_ / "hakefjord-start.nmea");
    TSignalKServer::TOptions o;
    o.nmeaFile = slice_;
    server_ = new TSignalKServer(o);
    if (!server_->Start()) skip_ = server_->Why();
  }
  static void TearDownTestSuite() {
    delete server_;
    server_ = nullptr;
    delete dir_;
    dir_ = nullptr;
  }
  void SetUp() override {
    if (!skip_.empty()) GTEST_SKIP() << skip_;
  }
  static std::string Source() { return "SK:localhost:" + std::to_string(server_->Port()); }

  static inline std::string skip_;
  static inline TTempDir* dir_ = nullptr;
  static inline std::string slice_;
  static inline TSignalKServer* server_ = nullptr;
};

TEST_F(SignalKServerTest, TheReplayAgreesWithTheNmeaDecoders) {
  REQUIRE_PROGRAM("brtool");
  TClient c(Clock(), Source());
  ASSERT_TRUE(c.link.Connect());
  ASSERT_TRUE(c.WaitQuiet(1500, 20000)) << c.link.LastFailure();
  EXPECT_EQ(c.link.ServerRelease(), "signalk-server 2.23.0");
  EXPECT_EQ(c.link.Reader()->Counters().Dropped(), 0);
  EXPECT_FALSE(c.link.CanSend());  // no NMEA output goes to a Signal K server
  ASSERT_FALSE(c.monitor.empty());
  EXPECT_LE(c.monitor[0].size(), TSignalKReader::kMonitorLine);

  // Own vessel: the last fix, motion and depth of the log.
  const std::map<std::string, double> nmea = LastNmeaValues(slice_);
  ASSERT_EQ(nmea.size(), 5u);
  const TNMEAINFO& I = c.parser.Info;
  EXPECT_EQ(I.FixStatus, kFixValid);
  EXPECT_NEAR(I.Pos.Y * kRadToDegrees, nmea.at("lat"), 1e-4);
  EXPECT_NEAR(I.Pos.X * kRadToDegrees, nmea.at("lon"), 1e-4);
  EXPECT_NEAR(I.SOG, nmea.at("sog"), 0.01);
  EXPECT_NEAR(I.COG * kRadToDegrees, nmea.at("cog"), 0.1);
  EXPECT_NEAR(I.Depth, nmea.at("depth"), 0.01);

  // Targets: the same stations with the same names and positions.
  const std::map<int32_t, TAisRow> expected = BrtoolTargets(slice_);
  ASSERT_GT(expected.size(), 10u);
  std::map<int32_t, const TAIS_Rec*> got;
  for (const TAIS_Rec& t : c.ais.Targets())
    if (t.TargetState == kAisActive) got[t.MMSI] = &t;
  EXPECT_EQ(got.size(), expected.size());
  for (const auto& [mmsi, row] : expected) {
    SCOPED_TRACE(mmsi);
    ASSERT_TRUE(got.count(mmsi));
    const TAIS_Rec& t = *got[mmsi];
    const std::string name = t.Kind == kAisBaseStation ? "Base" : CleanAisText(t.Name.View());
    EXPECT_EQ(name, row.name);
    EXPECT_NEAR(t.TargetPos.Y * kRadToDegrees, row.lat, 1e-5);
    EXPECT_NEAR(t.TargetPos.X * kRadToDegrees, row.lon, 1e-5);
  }
}

TEST_F(SignalKServerTest, AServerThatStopsAndStartsAgain) {
  // A clock of the test's: the back-off is followed without waiting it out.
  TManualClock clock;
  TClient c(clock, Source());
  ASSERT_TRUE(c.link.Connect());
  ASSERT_TRUE(c.WaitQuiet(500, 20000));
  ASSERT_EQ(c.link.State(), TLinkState::Connected);
  c.notices.clear();
  c.states.clear();

  server_->Stop();
  ASSERT_TRUE(WaitFor([&] { return c.link.State() == TLinkState::Retrying; }, 10000));
  // Tried again after 1, 2, 4, 8 ... s while it is away, said once.
  std::vector<int64_t> waits;
  TMonoTime retryAt = c.link.RetryAt();
  waits.push_back(std::chrono::duration_cast<std::chrono::seconds>(retryAt - clock.MonoNow()).count());
  for (int attempt = 0; attempt < 3; ++attempt) {
    clock.Advance(std::chrono::seconds(waits.back()));
    c.link.Poll();  // the next attempt
    ASSERT_TRUE(WaitFor([&] { return c.link.State() == TLinkState::Retrying && c.link.RetryAt() != retryAt; }, 10000))
        << "attempt " << attempt << ": " << TNetLink::StateName(c.link.State());
    retryAt = c.link.RetryAt();
    waits.push_back(std::chrono::duration_cast<std::chrono::seconds>(retryAt - clock.MonoNow()).count());
  }
  EXPECT_EQ(waits, (std::vector<int64_t>{1, 2, 4, 8}));
  ASSERT_EQ(c.notices.size(), 1u);
  EXPECT_NE(c.notices[0].find("trying again"), std::string::npos) << c.notices[0];

  const int64_t before = c.Deltas();
  ASSERT_TRUE(server_->Start()) << server_->Why();
  ASSERT_TRUE(WaitFor(
      [&] { return c.link.State() == TLinkState::Connected && c.Deltas() > before; }, 30000,
      [&] {
        clock.Advance(std::chrono::milliseconds(200));
        c.link.Poll();
      }))
      << c.link.LastFailure();
  EXPECT_EQ(c.notices.size(), 1u);  // coming back is not another failure
  EXPECT_EQ(c.states.front(), TLinkState::Retrying);
  EXPECT_NE(std::find(c.states.begin(), c.states.end(), TLinkState::Connecting), c.states.end());
  EXPECT_EQ(c.parser.Info.FixStatus, kFixValid);

  // A stream without deltas for a minute is opened anew.
  const int attempts = c.link.Attempts();
  clock.Advance(TSignalKLink::kStalled);
  c.link.Poll();
  EXPECT_EQ(c.link.State(), TLinkState::Retrying);
  EXPECT_NE(c.link.LastFailure().find("no delta"), std::string::npos) << c.link.LastFailure();
  clock.Advance(std::chrono::seconds(2));
  c.link.Poll();
  EXPECT_EQ(c.link.Attempts(), attempts + 1);
}

TEST_F(SignalKServerTest, FoundByDiscovery) {
  // A responder of the test's own on loopback answers for the server (the
  // machine's multicast DNS is not needed, and nothing leaves it).
  QUdpSocket responder;
  ASSERT_TRUE(responder.bind(QHostAddress::LocalHost, 0));
  const uint16_t port = server_->Port();
  QObject::connect(&responder, &QUdpSocket::readyRead, [&] {
    while (responder.hasPendingDatagrams()) {
      QNetworkDatagram d = responder.receiveDatagram();
      // The reply: PTR, SRV (sk.local, the server's port), A 127.0.0.1.
      TDnsBytes b = DnsReplyHeader(1, 2);
      const std::string instance = std::string("test.") + kSignalKWsService;
      TDnsBytes ptr, srv = {0, 0, 0, 0, uint8_t(port >> 8), uint8_t(port)};
      AppendDnsName(ptr, instance);
      AppendDnsName(srv, "sk.local");
      AppendRecord(b, kSignalKWsService, 12, ptr);
      AppendRecord(b, instance, 33, srv);
      AppendRecord(b, "sk.local", 1, {127, 0, 0, 1});
      responder.writeDatagram(reinterpret_cast<const char*>(b.data()), static_cast<qint64>(b.size()),
                              d.senderAddress(), d.senderPort());
    }
  });
  TClient c(Clock(), "SK");
  c.link.SetDiscoveryTarget(QHostAddress::LocalHost, responder.localPort());
  ASSERT_TRUE(c.link.Connect());
  ASSERT_TRUE(c.WaitQuiet(300, 20000)) << c.link.LastFailure();
  EXPECT_EQ(c.link.ServerHost(), "127.0.0.1");
  EXPECT_EQ(c.link.ServerPort(), port);
  EXPECT_NE(c.link.Description().find("127.0.0.1:" + std::to_string(port)), std::string::npos);
}

TEST(SignalKAvahi, TheMachinesResponderAnnouncesAServer) {
  // Only where Avahi runs: a service published through it is found.
  if (std::system("avahi-browse -at -p >/dev/null 2>&1") != 0 ||
      std::system("command -v avahi-publish >/dev/null 2>&1") != 0)
    GTEST_SKIP() << "no Avahi daemon runs here (avahi-daemon, avahi-utils)";
  QProcess publish;
  publish.start(QStringLiteral("avahi-publish"), {QStringLiteral("-s"), QStringLiteral("brismare-test"),
                                                 QStringLiteral("_signalk-ws._tcp"), QStringLiteral("39871")});
  ASSERT_TRUE(publish.waitForStarted(5000));
  TSignalKDiscovery d;
  bool found = false;
  QObject::connect(&d, &TSignalKDiscovery::Found, [&] {
    for (const TMdnsService& s : d.Services()) found = found || s.Port == 39871;
  });
  ASSERT_TRUE(WaitFor(
      [&] {
        d.Start();
        return found;
      },
      8000));
  publish.terminate();
  publish.waitForFinished(3000);
}

// ---------------------------------------------------------------------------
// A server with its own login

TEST(SignalKSecurity, AccessRequestApprovalAndTheKeptToken) {
  const std::string missing = TSignalKServer::Missing();
  if (!missing.empty()) GTEST_SKIP() << missing;
  REQUIRE_TESTDATA(log, "nmea/sounder.log");
  TSignalKServer::TOptions o;
  o.nmeaFile = log;
  o.security = true;
  TSignalKServer server(o);
  ASSERT_TRUE(server.Start()) << server.Why();
  ASSERT_TRUE(server.EnableSecurity()) << server.Output();
  const std::string source = "SK:localhost:" + std::to_string(server.Port());

  TSignalKLink::TCredentials kept;
  {
    TClient c(Clock(), source);
    c.link.SetCredentials({});
    ASSERT_TRUE(c.link.Connect());
    // The plotter asks, and says it waits for the owner.
    ASSERT_TRUE(WaitFor([&] { return c.link.Access().State() == TSignalKAccess::TState::Pending; }, 15000,
                        [&] { c.link.Poll(); }))
        << c.link.LastFailure();
    ASSERT_FALSE(c.notices.empty());
    EXPECT_NE(c.notices.back().find("admin page"), std::string::npos);
    const std::string clientId = c.link.Credentials().ClientId;
    ASSERT_EQ(clientId.size(), 36u);
    EXPECT_NE(server.Requests().find(clientId), std::string::npos);
    ASSERT_TRUE(server.Approve(clientId));
    ASSERT_TRUE(c.WaitQuiet(300, 20000)) << c.link.LastFailure();
    kept = c.link.Credentials();
    EXPECT_FALSE(kept.Token.empty());
    EXPECT_GE(c.credentialChanges, 2);  // the client id, then the token
    EXPECT_EQ(c.link.Access().Requests(), 1);
    for (const std::string& n : c.notices) EXPECT_EQ(n.find(kept.Token), std::string::npos);
    for (const std::string& m : c.monitor) EXPECT_EQ(m.find(kept.Token), std::string::npos);
    EXPECT_TRUE(IsKnown(c.parser.Info.Depth));
  }
  {
    // A restart of the plotter: the kept token, no new request.
    TClient c(Clock(), source);
    c.link.SetCredentials(kept);
    ASSERT_TRUE(c.link.Connect());
    ASSERT_TRUE(c.WaitQuiet(300, 20000)) << c.link.LastFailure();
    EXPECT_EQ(c.link.Access().Requests(), 0);
    EXPECT_EQ(c.credentialChanges, 0);
  }
  {
    // The owner removes the device: the token is forgotten and a new
    // request made.
    ASSERT_TRUE(server.RemoveDevice(kept.ClientId));
    TClient c(Clock(), source);
    c.link.SetCredentials(kept);
    ASSERT_TRUE(c.link.Connect());
    ASSERT_TRUE(WaitFor([&] { return c.link.Access().State() == TSignalKAccess::TState::Pending; }, 15000,
                        [&] { c.link.Poll(); }));
    EXPECT_TRUE(c.link.Credentials().Token.empty());
    EXPECT_EQ(c.link.Access().Requests(), 1);
  }
}

// ---------------------------------------------------------------------------
// TLS with a self-signed certificate

TEST(SignalKTls, ASelfSignedServerOnlyOnceItsCertificateIsAccepted) {
  const std::string missing = TSignalKServer::Missing();
  if (!missing.empty()) GTEST_SKIP() << missing;
  if (std::system("command -v openssl >/dev/null 2>&1") != 0) GTEST_SKIP() << "openssl is not installed";
  REQUIRE_TESTDATA(log, "nmea/sounder.log");
  TTempDir dir;
  const std::string cert = dir / "cert.pem", key = dir / "key.pem";
  const std::string cmd = "openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj /CN=localhost -keyout " + key +
                          " -out " + cert + " >/dev/null 2>&1";
  ASSERT_EQ(std::system(cmd.c_str()), 0);
  TSignalKServer::TOptions o;
  o.nmeaFile = log;
  o.tls = true;
  o.certFile = cert;
  o.keyFile = key;
  TSignalKServer server(o);
  ASSERT_TRUE(server.Start()) << server.Why();
  const std::string source = "SKS:localhost:" + std::to_string(server.Port());

  TClient c(Clock(), source);
  QString offered;
  QObject::connect(&c.link, &TSignalKLink::CertificateUntrusted, [&](const QString& fp, const QString&) { offered = fp; });
  c.link.SetCredentials({"", "", "00:11"});  // some other certificate's
  ASSERT_TRUE(c.link.Connect());
  ASSERT_TRUE(WaitFor([&] { return !offered.isEmpty(); }, 15000, [&] { c.link.Poll(); })) << c.link.LastFailure();
  EXPECT_EQ(c.link.State(), TLinkState::Off);
  EXPECT_EQ(c.Deltas(), 0);
  EXPECT_NE(c.link.LastFailure().find("changed"), std::string::npos) << c.link.LastFailure();
  // The fingerprint the user sees is the certificate's own.
  QFile f(QString::fromStdString(cert));
  ASSERT_TRUE(f.open(QIODevice::ReadOnly));
  EXPECT_EQ(offered.toStdString(), TSignalKLink::Fingerprint(QSslCertificate(f.readAll())));

  c.link.AcceptCertificate(offered.toStdString());
  ASSERT_TRUE(c.WaitQuiet(300, 20000)) << c.link.LastFailure();
  EXPECT_EQ(c.link.Credentials().Fingerprint, offered.toStdString());
  EXPECT_TRUE(IsKnown(c.parser.Info.Depth));
}

}  // namespace
