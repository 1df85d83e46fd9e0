// The setup dialog's network page: it shows the source of "NMEA_SIMUL" with
// a line that checks it, and a saved change takes effect at once: from a
// TCP server to UDP datagrams (which are then parsed), and off again.
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QUdpSocket>

#include <functional>
#include <string>

#include "PlotterFixture.h"
#include "RmcText.h"
#include "foundation/IniFile.h"
#include "instruments/NMEA.h"
#include "instruments/NMEATestUtil.h"
#include "instruments/qt/NmeaTestServer.h"
#include "instruments/qt/PtyPair.h"
#include "instruments/qt/TelnetSend.h"
#include "plotter/MainForm.h"
#include "plotter/settings/Setup1.h"

namespace {

using TState = TTelnetSend::TState;

std::string Str(const QString& s) { return s.toStdString(); }

class SetupNetwork : public PlotterClockTest {
 protected:
  TSetupFrm& Dialog() { return *program_->Forms().SetupFrm; }
  void RunProperties(T_Form& f, std::function<void(TSetupFrm&)> act) {
    bool ran = false;
    QTimer::singleShot(0, &f, [&] {
      ran = true;
      act(Dialog());
      if (Dialog().isVisible()) Dialog().reject();
    });
    f.MenuItem("MParameters")->trigger();
    EXPECT_TRUE(ran);
  }
  static std::string Check(TSetupFrm& d) { return Str(d.Control<QLabel>("NetCheck")->text()); }
};

TEST_F(SetupNetwork, ThePageShowsAndChecksTheSource) {
  struct Case {
    const char* setting;
    int kind;
    const char* host;
    const char* port;
    const char* check;
  } cases[] = {
      {"ip:10.0.0.5:10110", 1, "10.0.0.5", "10110", "TCP 10.0.0.5:10110"},
      {"UDP:10110", 2, "", "10110", "UDP port 10110"},
      {"UDP:239.192.0.1:60001", 2, "239.192.0.1", "60001", "UDP 239.192.0.1 port 60001"},
      {"GPSD", 3, "localhost", "2947", "gpsd localhost:2947"},
      {"GPSD:boat.lan", 3, "boat.lan", "2947", "gpsd boat.lan:2947"},
      {"/home/me/sunday.nmea", 0, "", "", "No network input"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.setting);
    T_Form& f = Start("[Program Setup]\r\nCom Port=0\r\nNMEA_SIMUL=" + std::string(c.setting) + "\r\n");
    TSetupFrm& d = Dialog();
    d.LoadControls(f.SysInfo);
    EXPECT_EQ(d.Control<QComboBox>("NetKind")->currentIndex(), c.kind);
    EXPECT_EQ(Str(d.Control<QLineEdit>("NetHost")->text()), c.host);
    EXPECT_EQ(Str(d.Control<QLineEdit>("NetPort")->text()), c.port);
    EXPECT_EQ(Check(d), c.check);
    // Saved without a change: the setting stays as written.
    const std::string before = f.SysInfo.NmeaSimul;
    d.StoreControls(f.SysInfo);
    EXPECT_EQ(f.SysInfo.NmeaSimul, before);
    Stop();
  }

  T_Form& f = Start();
  TSetupFrm& d = Dialog();
  d.LoadControls(f.SysInfo);
  d.Control<QComboBox>("NetKind")->setCurrentIndex(1);
  EXPECT_EQ(Check(d), "no server named (\"IP:host:port\")");
  d.Control<QLineEdit>("NetHost")->setText("10.0.0.5");
  d.Control<QLineEdit>("NetPort")->setText("99999");
  EXPECT_EQ(Check(d), "\"99999\" is not a port (1 to 65535)");
  d.Control<QLineEdit>("NetPort")->setText("2000");
  EXPECT_EQ(Check(d), "TCP 10.0.0.5:2000");
  d.StoreControls(f.SysInfo);
  EXPECT_EQ(f.SysInfo.NmeaSimul, "IP:10.0.0.5:2000");
}

TEST_F(SetupNetwork, ASavedChangeTakesEffectAtOnce) {
  TNmeaTestServer server;
  ASSERT_TRUE(server.Listen());
  T_Form& f = Run("[Program Setup]\r\nCom Port=0\r\nNMEA_SIMUL=IP:" + server.Address() + "\r\n");
  ASSERT_TRUE(f.TelnetSend);
  ASSERT_TRUE(WaitFor([&] { return server.Connections() == 1 && f.TelnetSend->State() == TState::Connected; }));

  // To UDP on a port free now.
  uint16_t port = 0;
  {
    QUdpSocket probe;
    ASSERT_TRUE(probe.bind(QHostAddress::LocalHost, 0));
    port = probe.localPort();
  }
  RunProperties(f, [&](TSetupFrm& d) {
    EXPECT_EQ(d.Control<QComboBox>("NetKind")->currentIndex(), 1);
    d.Control<QComboBox>("NetKind")->setCurrentIndex(2);
    d.Control<QLineEdit>("NetHost")->setText("");
    d.Control<QLineEdit>("NetPort")->setText(QString::number(port));
    EXPECT_EQ(Check(d), "UDP port " + std::to_string(port));
    d.btSave->click();
  });
  EXPECT_EQ(f.SysInfo.NmeaSimul, "UDP:" + std::to_string(port));
  EXPECT_EQ(TIniFile(iniFile_).ReadString("Program Setup", "NMEA_SIMUL", ""), "UDP:" + std::to_string(port));
  ASSERT_TRUE(f.TelnetSend);
  EXPECT_TRUE(f.Ports().NetworkMode);
  EXPECT_FALSE(f.Ports().NetworkOutput);  // UDP only listens
  EXPECT_EQ(f.TelnetSend->State(), TState::NoData);
  EXPECT_EQ(Str(f.DBNetState->text()), "no data");
  // The TCP connection is given up.
  ASSERT_TRUE(
      WaitFor([&] { return server.Current() && server.Current()->state() != QAbstractSocket::ConnectedState; }));

  const std::string rmc = Nmea("GPRMC,120000,A,5740.000,N,01140.000,E,5.0,90.0,140625,,,A") + "\r\n";
  QUdpSocket sender;
  ASSERT_EQ(sender.writeDatagram(rmc.data(), static_cast<qint64>(rmc.size()), QHostAddress::LocalHost, port),
            static_cast<qint64>(rmc.size()));
  ASSERT_TRUE(WaitFor([&] { return f.TelnetSend->BytesWaiting() > 0; }));
  Tick(f);
  const TFPoint fix = RmcPosition(rmc);
  EXPECT_NEAR(f.Parser()->Info.Pos.Y, fix.Y, 1e-9);
  EXPECT_NEAR(f.Parser()->Info.Pos.X, fix.X, 1e-9);
  EXPECT_EQ(Str(f.DBNetState->text()), "connected");

  // Off: no link left.
  RunProperties(f, [&](TSetupFrm& d) {
    d.Control<QComboBox>("NetKind")->setCurrentIndex(0);
    d.btSave->click();
  });
  EXPECT_EQ(f.SysInfo.NmeaSimul, "");
  EXPECT_EQ(f.TelnetSend, nullptr);
  EXPECT_FALSE(f.Ports().NetworkMode);
  EXPECT_EQ(Str(f.DBNetState->text()), "");
  Tick(f, 2);
}

}  // namespace
