// The plotter window on the offscreen platform with a network source
// ("NMEA_SIMUL=IP:127.0.0.1:port") served by a TCP server of the test on
// loopback, on the fake clock of the fixture: it follows a replayed voyage
// across a server restart and keeps the voyage's end as its last position;
// a minute of silence makes a new connection; a server that stops reading
// costs nothing but relayed output; the login's password appears nowhere
// but on the wire. The dashboard shows the link's state throughout, and a
// failure is said once. With "GPSD:" a real gpsd (skipped without one)
// feeds the plotter the fixes "brtool nmea" reads from the voyage.
#include <QLabel>

#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "PlotterFixture.h"
#include "RmcText.h"
#include "foundation/IniFile.h"
#include "foundation/NumText.h"
#include "instruments/NMEA.h"
#include "instruments/NMEATestUtil.h"
#include "instruments/qt/GpsdDaemon.h"
#include "instruments/qt/NmeaTestServer.h"
#include "instruments/qt/PtyPair.h"
#include "instruments/qt/TelnetSend.h"
#include "plotter/MainForm.h"

namespace {

using TState = TTelnetSend::TState;

// 120 fixes one second apart (RMC, then DPT) from 57°40'N 011°40'E at 6
// knots on 045°.
const std::string kVoyage = std::string(BRISMARE_SOURCE_DIR) + "/tests/plotter/data/replay_vinga.nmea";

// The voyage second by second: the RMC and DPT lines of each, with their
// line ends.
std::vector<std::string> VoyageSeconds() {
  const std::string text = ReadTestFile(kVoyage);
  std::vector<std::string> lines;
  for (size_t at = 0; at < text.size();) {
    size_t end = text.find('\n', at);
    end = end == std::string::npos ? text.size() : end + 1;
    lines.push_back(text.substr(at, end - at));
    at = end;
  }
  std::vector<std::string> seconds;
  for (size_t i = 0; i + 1 < lines.size(); i += 2) seconds.push_back(lines[i] + lines[i + 1]);
  return seconds;
}

std::string Str(const QString& s) { return s.toStdString(); }

class PlotterNetwork : public PlotterClockTest {
 protected:
  void SetUp() override {
    PlotterClockTest::SetUp();
    ASSERT_TRUE(server.Listen());
  }

  static std::string Settings(const std::string& source, const std::string& extra = "") {
    return "[Program Setup]\r\nCom Port=0\r\nShow Time=2\r\nNMEA_SIMUL=" + source + "\r\n" + extra;
  }
  // Starts the plotter on the test server and waits for its connection.
  T_Form& RunOnServer(const std::string& extra = "") {
    T_Form& f = Run(Settings("IP:" + server.Address(), extra));
    EXPECT_NE(f.TelnetSend, nullptr);
    if (f.TelnetSend)
      QObject::connect(f.TelnetSend.get(), &TTelnetSend::Notice,
                       [this](const QString& t) { notices.push_back(t.toStdString()); });
    EXPECT_TRUE(WaitFor([&] { return Link(f).State() == TState::Connected && server.Connections() == 1; }));
    EXPECT_EQ(NetState(f), "connected");
    return f;
  }
  static TTelnetSend& Link(T_Form& f) { return *f.TelnetSend; }
  static std::string NetState(T_Form& f) { return Str(f.DBNetState->text()); }
  // The link's state as the dashboard shows it: on the GPS box, or on the
  // dead-reckoning box in its place while the GPS is lost ("" when neither
  // shows it).
  static std::string ShownNetState(T_Form& f) {
    for (const QLabel* l : f.DB->findChildren<QLabel*>())
      if (l->objectName().startsWith(QStringLiteral("DBNetState")) && l->isVisible()) return Str(l->text());
    return "";
  }
  static TFPoint Position(T_Form& f) { return f.Parser()->Info.Pos; }

  // One second of the voyage: its sentences go out (when the server has a
  // connection) and have arrived when the tick runs.
  // `prefix` goes first (it is not text for the parser).
  bool Serve(T_Form& f, const std::string& second, const std::string& prefix = "") {
    const int64_t before = Link(f).BytesWaiting();
    if (!server.Send(prefix + second)) return false;
    const bool arrived =
        WaitFor([&] { return Link(f).BytesWaiting() >= before + static_cast<int64_t>(second.size()); });
    Tick(f);
    return arrived;
  }
  // A tick, and the connect it may have started settled.
  void QuietTick(T_Form& f) {
    Tick(f);
    WaitFor([&] { return Link(f).State() != TState::Connecting; }, 2000);
  }

  TNmeaTestServer server;
  std::vector<std::string> notices;
};

TEST_F(PlotterNetwork, AVoyageIsFollowedAcrossAServerRestartToItsEnd) {
  const std::vector<std::string> voyage = VoyageSeconds();
  ASSERT_EQ(voyage.size(), 120u);
  T_Form& f = RunOnServer();
  EXPECT_TRUE(f.Ports().NetworkMode);
  EXPECT_TRUE(f.Ports().NetworkOutput);

  size_t s = 0;
  for (; s < 40; ++s) {
    ASSERT_TRUE(Serve(f, voyage[s])) << "second " << s;
    const TFPoint fix = RmcPosition(voyage[s]);
    ASSERT_NEAR(Position(f).Y, fix.Y, 1e-9) << "second " << s;
    ASSERT_NEAR(Position(f).X, fix.X, 1e-9) << "second " << s;
  }
  EXPECT_EQ(NetState(f), "connected");
  EXPECT_FALSE(f.NavFlags.Has(nfGpsLost));

  // The server restarts: gone at once, not after a minute of silence.
  server.Stop();
  ASSERT_TRUE(WaitFor([&] { return Link(f).State() == TState::Retrying; }));
  EXPECT_EQ(NetState(f), "retrying");
  ASSERT_EQ(notices.size(), 1u);
  EXPECT_NE(notices[0].find("closed the connection"), std::string::npos) << notices[0];
  EXPECT_EQ(Str(f.MsgT->text()), notices[0]);
  EXPECT_TRUE(f.MsgP->isVisible());
  EXPECT_NE(Str(f.DBNetState->toolTip()).find("Last failure: the server closed the connection"), std::string::npos)
      << Str(f.DBNetState->toolTip());

  // Refusing for eight seconds while the voyage goes on (its sentences of
  // those seconds are lost), then back: found again within a few seconds.
  for (int t = 0; t < 8; ++t, ++s) {
    QuietTick(f);
    EXPECT_NE(Link(f).State(), TState::Connected);
  }
  // The GPS is lost by now: the dead-reckoning box has the GPS box's place,
  // and the link's state is still in sight.
  EXPECT_TRUE(f.NavFlags.Has(nfGpsLost));
  EXPECT_FALSE(f.DB_GPS->isVisible());
  EXPECT_EQ(ShownNetState(f), "retrying");
  // Each state's name fits the box whole.
  for (const QLabel* l : {f.DBNetState, f.DB_DR->findChild<QLabel*>(QStringLiteral("DBNetStateDR"))}) {
    ASSERT_NE(l, nullptr);
    for (TState state : {TState::Connecting, TState::Connected, TState::NoData, TState::Retrying})
      EXPECT_LE(l->fontMetrics().horizontalAdvance(QString::fromLatin1(TTelnetSend::StateName(state))),
                l->parentWidget()->contentsRect().width())
          << Str(l->objectName()) << " " << TTelnetSend::StateName(state);
  }
  ASSERT_TRUE(server.Listen(server.Port()));
  int secondsToReturn = 0;
  while (Link(f).State() != TState::Connected && secondsToReturn < 30) {
    QuietTick(f);
    ++secondsToReturn;
    ++s;
  }
  EXPECT_GE(secondsToReturn, 1);
  EXPECT_LE(secondsToReturn, 8) << "the wait between attempts is 8 s at most this early";
  ASSERT_TRUE(WaitFor([&] { return server.Connections() == 2; }));
  EXPECT_EQ(NetState(f), "connected");
  EXPECT_EQ(ShownNetState(f), "connected");
  // Said once for the whole outage; the notice goes when the link is back.
  EXPECT_EQ(notices.size(), 1u);
  EXPECT_FALSE(f.MsgP->isVisible());
  EXPECT_TRUE(f.Ports().NetworkMode);

  ASSERT_LT(s, voyage.size());
  const size_t back = s;
  for (; s < voyage.size(); ++s) {
    ASSERT_TRUE(Serve(f, voyage[s])) << "second " << s;
    // From the first fix after the outage on, the boat is where the fix
    // says (not moved on by dead reckoning in the tick that brought it).
    const TFPoint fix = RmcPosition(voyage[s]);
    ASSERT_NEAR(Position(f).Y, fix.Y, 1e-9) << "second " << s;
    ASSERT_NEAR(Position(f).X, fix.X, 1e-9) << "second " << s;
    if (s == back) {
      EXPECT_FALSE(f.NavFlags.Has(nfGpsLost));
    }
  }
  EXPECT_FALSE(f.NavFlags.Has(nfGpsLost));
  const TFPoint end = Position(f);

  Stop();
  TIniFile ini(iniFile_);
  const TFPoint last = RmcPosition(voyage.back());
  EXPECT_NEAR(ini.ReadFloat("Program State", "Last Lat", 0), last.Y, 1e-9);
  EXPECT_NEAR(ini.ReadFloat("Program State", "Last Long", 0), last.X, 1e-9);
  EXPECT_DOUBLE_EQ(ini.ReadFloat("Program State", "Last Lat", 0), end.Y);
  EXPECT_DOUBLE_EQ(ini.ReadFloat("Program State", "Last Long", 0), end.X);
  // The setting stays as written.
  EXPECT_EQ(ini.ReadString("Program Setup", "NMEA_SIMUL", ""), "IP:" + server.Address());
}

TEST_F(PlotterNetwork, AMinuteOfSilenceMakesANewConnection) {
  const std::vector<std::string> voyage = VoyageSeconds();
  T_Form& f = RunOnServer();
  for (size_t s = 0; s < 3; ++s) ASSERT_TRUE(Serve(f, voyage[s]));
  EXPECT_EQ(NetState(f), "connected");

  // The server keeps the connection and says nothing.
  const int attempts = Link(f).Attempts();
  int silent = 0;
  while (Link(f).Attempts() == attempts && silent < 70) {
    QuietTick(f);
    ++silent;
    if (silent == TTelnetSend::kNoDataAfter.count()) {
      EXPECT_EQ(NetState(f), "no data");
    }
    if (silent == 30) {
      EXPECT_TRUE(f.NavFlags.Has(nfGpsLost));
      EXPECT_EQ(ShownNetState(f), "no data");
    }
  }
  // More than 60 s without a sentence.
  EXPECT_EQ(silent, 61);
  ASSERT_TRUE(WaitFor([&] { return server.Connections() == 2; }));
  ASSERT_TRUE(WaitFor([&] { return Link(f).State() == TState::Connected; }));
  EXPECT_TRUE(f.Ports().NetworkMode);
  // Not a failure: nothing said.
  EXPECT_TRUE(notices.empty());

  // The new connection is followed (its first fix moved on by the dead
  // reckoning of the tick that still counts the GPS lost: a few metres).
  for (size_t s = 3; s < 6; ++s) {
    ASSERT_TRUE(Serve(f, voyage[s]));
    const double slack = s == 3 ? 3e-6 : 1e-9;
    const TFPoint fix = RmcPosition(voyage[s]);
    EXPECT_NEAR(Position(f).Y, fix.Y, slack) << "second " << s;
    EXPECT_NEAR(Position(f).X, fix.X, slack) << "second " << s;
  }
  EXPECT_EQ(NetState(f), "connected");
}

TEST_F(PlotterNetwork, AServerThatStopsReadingDoesNotStallThePlotter) {
  const std::vector<std::string> voyage = VoyageSeconds();
  T_Form& f = RunOnServer();
  ASSERT_TRUE(f.Ports().NetworkOutput);
  ASSERT_TRUE(Serve(f, voyage[0]));
  server.PauseReading();

  // Every second far more relayed text than a connection takes while it
  // is not read, and one line of the plotter's own talker.
  TNMEA& parser = *f.Parser();
  const std::string relayed = Nmea("IIMTW,18.5,C") + "\r\n";
  std::string block;
  while (block.size() < 512 * 1024) block += relayed;
  std::string own;
  using SteadyClock = std::chrono::steady_clock;
  std::chrono::duration<double> slowest{0};
  for (size_t s = 1; s < 40; ++s) {
    const std::string line = Nmea(parser.Info.TalkerOut + "XTE,A,A," + std::to_string(s) + ",L,N") + "\r\n";
    own += line;
    parser.Info.OutBuffer += block + line;
    const auto started = SteadyClock::now();
    ASSERT_TRUE(Serve(f, voyage[s])) << "second " << s;
    slowest = std::max<std::chrono::duration<double>>(slowest, SteadyClock::now() - started);
    // Taken from the buffer at once; the queue stays within its bound.
    EXPECT_TRUE(parser.Info.OutBuffer.empty());
    EXPECT_LE(Link(f).OutputQueue().Bytes(), TTelnetSend::kMaxQueuedOutput);
    // The input goes on as before.
    const TFPoint fix = RmcPosition(voyage[s]);
    ASSERT_NEAR(Position(f).Y, fix.Y, 1e-9) << "second " << s;
  }
  EXPECT_LT(slowest.count(), 2.0) << "a tick with a stuck peer took " << slowest.count() << " s";
  EXPECT_GT(Link(f).OutputQueue().DroppedLines(), 1000);
  EXPECT_EQ(Link(f).OutputQueue().DroppedOwnLines(), 0);
  EXPECT_EQ(NetState(f), "connected");
  // Said once.
  EXPECT_NE(Str(f.MsgT->text()).find("the oldest sentences are dropped"), std::string::npos) << Str(f.MsgT->text());

  // Reading again: whole lines only, and every line of the plotter's own.
  server.ResumeReading();
  ASSERT_TRUE(WaitFor(
      [&] {
        return Link(f).OutputQueue().Empty() &&
               server.Received(0).find(own.substr(own.size() - 20)) != std::string::npos;
      },
      20000));
  Spin(100);
  const std::string got = server.Received(0);
  std::string ownGot;
  for (size_t at = 0; at < got.size();) {
    const size_t end = got.find('\n', at);
    ASSERT_NE(end, std::string::npos) << "a line cut off at the end";
    const std::string l = got.substr(at, end + 1 - at);
    ASSERT_TRUE(l == relayed || l.find("XTE,") != std::string::npos) << "a broken line: " << l;
    if (l.find("XTE,") != std::string::npos) ownGot += l;
    at = end + 1;
  }
  EXPECT_EQ(ownGot, own);
}

TEST_F(PlotterNetwork, ASettingThatCanNeverWorkIsSaidOnceAndStops) {
  T_Form& f = Run(Settings("IP:10110"));
  ASSERT_NE(f.TelnetSend, nullptr);
  EXPECT_EQ(Link(f).State(), TState::Off);
  EXPECT_FALSE(f.Ports().NetworkMode);
  EXPECT_FALSE(f.Ports().NetworkOutput);
  EXPECT_EQ(NetState(f), "off");
  EXPECT_NE(Str(f.DBNetState->toolTip()).find("Last failure: no server named"), std::string::npos)
      << Str(f.DBNetState->toolTip());
  EXPECT_NE(Str(f.MsgT->text()).find("no server named (\"IP:host:port\")"), std::string::npos) << Str(f.MsgT->text());
  // The tick leaves it alone: nothing tried, nothing said again.
  const std::string said = Str(f.MsgT->text());
  f.MsgP->hide();
  Tick(f, 70);
  EXPECT_EQ(Link(f).Attempts(), 0);
  EXPECT_FALSE(f.MsgP->isVisible());
  EXPECT_EQ(Str(f.MsgT->text()), said);
}

// Standard error into a file while it lives.
class TCaptureStderr {
 public:
  explicit TCaptureStderr(const std::string& path) {
    std::fflush(stderr);
    saved_ = ::dup(2);
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd >= 0) {
      ::dup2(fd, 2);
      ::close(fd);
    }
  }
  ~TCaptureStderr() {
    std::fflush(stderr);
    if (saved_ >= 0) {
      ::dup2(saved_, 2);
      ::close(saved_);
    }
  }
  TCaptureStderr(const TCaptureStderr&) = delete;
  TCaptureStderr& operator=(const TCaptureStderr&) = delete;

 private:
  int saved_ = -1;
};

TEST_F(PlotterNetwork, ThePasswordGoesOnlyOverTheWire) {
  const std::string password = "Pw$GPHDT,7,T";
  const std::string login = std::string("\x01skipper\0", 9) + password + std::string(1, '\0');
  const std::string capture = dir_ / "capture.nmea";
  const std::string log = dir_ / "stderr.txt";
  const std::vector<std::string> voyage = VoyageSeconds();
  {
    TCaptureStderr quiet(log);
    T_Form& f = RunOnServer("NMEA_CAPTFILE=" + capture +
                            "\r\nNMEA_CAPTMSG=*\r\n[Custom]\r\nIP_Login=skipper\r\nIP_Password=" + password + "\r\n");
    EXPECT_FALSE(f.Ports().NetworkOutput);
    ASSERT_TRUE(WaitFor([&] { return server.Received(0).size() >= login.size(); }));
    // A server that echoes what it is sent, then sends the voyage.
    ASSERT_TRUE(Serve(f, voyage[0], login));
    for (size_t s = 1; s < 5; ++s) {
      f.Parser()->Info.OutBuffer += Nmea("ECXTE,A,A,0.1,L,N") + "\r\n";
      ASSERT_TRUE(Serve(f, voyage[s]));
    }
    EXPECT_NEAR(Position(f).Y, RmcPosition(voyage[4]).Y, 1e-9);
    // A failure is said: still without the login.
    server.Stop();
    ASSERT_TRUE(WaitFor([&] { return Link(f).State() == TState::Retrying; }));
    QuietTick(f);
    EXPECT_EQ(Str(f.DBNetState->toolTip()).find(password), std::string::npos);
    EXPECT_EQ(Str(f.MsgT->text()).find(password), std::string::npos);
    EXPECT_EQ(Link(f).Description().find("skipper"), std::string::npos);
    Stop();
  }
  // On the wire the login and nothing else.
  EXPECT_EQ(server.Received(0), login);
  const std::string captured = ReadTestFile(capture);
  EXPECT_NE(captured.find(voyage[4].substr(0, 20)), std::string::npos) << "nothing captured";
  EXPECT_EQ(captured.find("Pw"), std::string::npos) << captured;
  EXPECT_EQ(captured.find("skipper"), std::string::npos);
  const std::string errors = ReadTestFile(log);
  EXPECT_NE(errors.find("closed the connection"), std::string::npos) << errors;
  EXPECT_EQ(errors.find(password), std::string::npos) << errors;
  for (const std::string& e : events_) EXPECT_EQ(e.find(password), std::string::npos) << e;
  // The settings file keeps it as the Part stores it (a limitation).
  TIniFile ini(iniFile_);
  EXPECT_EQ(ini.ReadString("Custom", "IP_Password", ""), password);
}

// The value of a number member of a line of "brtool nmea".
double JsonNumber(const std::string& line, const std::string& key) {
  const size_t at = line.find("\"" + key + "\":");
  if (at == std::string::npos) return std::nan("");
  const size_t from = at + key.size() + 3;
  return StrToFloatDot(line.substr(from, line.find_first_of(",}", from) - from));
}

TEST_F(PlotterNetwork, GpsdFeedsThePlotterTheFixesBrtoolReads) {
  REQUIRE_PROGRAM("brtool");
  const TProgramRun run = Brtool("nmea \"" + kVoyage + "\"");
  ASSERT_EQ(run.status, 0);
  std::vector<TFPoint> expected;  // degrees
  for (size_t at = 0; at < run.out.size();) {
    size_t end = run.out.find('\n', at);
    if (end == std::string::npos) end = run.out.size();
    const std::string line = run.out.substr(at, end - at);
    if (line.find("\"lat\":") != std::string::npos)
      expected.push_back({JsonNumber(line, "lon"), JsonNumber(line, "lat")});
    at = end + 1;
  }
  const std::vector<std::string> voyage = VoyageSeconds();
  ASSERT_EQ(expected.size(), voyage.size());

  TGpsdDaemon gpsd;
  if (!gpsd.Started()) GTEST_SKIP() << gpsd.Why();
  T_Form& f = Run(Settings("GPSD:127.0.0.1:" + std::to_string(gpsd.Port())));
  ASSERT_NE(f.TelnetSend, nullptr);
  EXPECT_FALSE(f.Ports().NetworkOutput);  // gpsd is not written to
  // gpsd takes a moment to listen: the link's retries (a tick each) find it.
  const bool up = WaitFor(
      [&] {
        if (Link(f).State() == TState::Retrying) Tick(f);
        return Link(f).State() == TState::Connected || !gpsd.Running();
      },
      10000);
  if (!up || Link(f).State() != TState::Connected)
    GTEST_SKIP() << "gpsd does not serve (" << Link(f).LastFailure() << "); it said: " << gpsd.Errors();
  EXPECT_EQ(NetState(f), "connected");
  // Until gpsd has taken the watch nothing is relayed: a line of no
  // interest goes in until it comes out.
  const std::string warmUp = Nmea("GPTXT,01,01,02,warm up") + "\r\n";
  ASSERT_TRUE(WaitFor(
      [&] {
        gpsd.Device().Write(warmUp);
        Spin(20);
        return Link(f).BytesWaiting() > 0;
      },
      10000))
      << "gpsd relays nothing; it said: " << gpsd.Errors();
  Spin(100);
  Tick(f);

  // The voyage a second a tick, as a receiver on gpsd's device sends it.
  for (size_t s = 0; s < voyage.size(); ++s) {
    const int64_t before = Link(f).BytesWaiting();
    ASSERT_TRUE(gpsd.Device().Write(voyage[s]));
    gpsd.Device().Read();
    ASSERT_TRUE(WaitFor([&] { return Link(f).BytesWaiting() >= before + static_cast<int64_t>(voyage[s].size()); }))
        << "second " << s << "; gpsd said: " << gpsd.Errors();
    Tick(f);
    ASSERT_NEAR(Position(f).Y * kRadToDeg, expected[s].Y, 1e-8) << "second " << s;
    ASSERT_NEAR(Position(f).X * kRadToDeg, expected[s].X, 1e-8) << "second " << s;
  }
  EXPECT_FALSE(f.NavFlags.Has(nfGpsLost));
  EXPECT_EQ(NetState(f), "connected");
  EXPECT_NE(Str(f.DBNetState->toolTip()).find("(gpsd "), std::string::npos) << Str(f.DBNetState->toolTip());
  EXPECT_TRUE(notices.empty());

  Stop();
  TIniFile ini(iniFile_);
  EXPECT_NEAR(ini.ReadFloat("Program State", "Last Lat", 0) * kRadToDeg, expected.back().Y, 1e-8);
  EXPECT_NEAR(ini.ReadFloat("Program State", "Last Long", 0) * kRadToDeg, expected.back().X, 1e-8);
}

}  // namespace
