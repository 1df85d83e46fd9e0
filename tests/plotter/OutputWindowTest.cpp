// NMEA output of the plotter, with a pseudo-terminal as port A: the
// steering sentences of an active route every "AutoP Upd" ticks, status
// "V" once the GPS is lost, a route upload that arrives whole (or a notice
// when it has nowhere to go); and the navigation data line shared on the
// local socket, read by a client and by brtool.
#include <QFrame>
#include <QLabel>
#include <QLocalSocket>
#include <QProcess>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "PlotterFixture.h"
#include "instruments/NMEA.h"
#include "instruments/NMEAOutput.h"
#include "instruments/NMEATestUtil.h"
#include "instruments/qt/AfComPort.h"
#include "instruments/qt/DataShare.h"
#include "instruments/qt/PtyPair.h"
#include "navobjects/Routes.h"
#include "platform/RuntimeDir.h"
#include "plotter/MainForm.h"
#include "plotter/RmcText.h"

namespace {

// An RMC fix at a position (radians) moving at `knots` on 000°, at 12:00:s.
std::string Rmc(const TFPoint& pos, double knots, int second) {
  auto dm = [](double rad, int degreeDigits) {
    const double deg = std::fabs(rad) * kRadToDeg;
    const int d = static_cast<int>(deg);
    char buf[32];
    std::snprintf(buf, sizeof buf, "%0*d%07.4f", degreeDigits, d, (deg - d) * 60);
    return std::string(buf);
  };
  char time[16];
  std::snprintf(time, sizeof time, "12%02d%02d", second / 60 % 60, second % 60);
  return Nmea(std::string("GPRMC,") + time + ",A," + dm(pos.Y, 2) + (pos.Y < 0 ? ",S," : ",N,") + dm(pos.X, 3) +
              (pos.X < 0 ? ",W," : ",E,") + FloatToStrFixedDot(1, knots) + ",0.0,150625,5.0,E") +
         "\r\n";
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  size_t start = 0;
  for (size_t nl; (nl = text.find("\r\n", start)) != std::string::npos; start = nl + 2)
    lines.push_back(text.substr(start, nl - start));
  return lines;
}

class PlotterOutput : public PlotterClockTest {
 protected:
  std::string PortSettings(const std::string& device, const std::string& extra) {
    return "[Program Setup]\r\nCom Port=1\r\nCom Device=" + device +
           "\r\nBaudRateId=5\r\nCom Port B=0\r\nCom Port C=0\r\nShow Time=2\r\n" + extra;
  }
  // Three points 3 miles apart due north from 54.25 N 10.25 E.
  static void NorthRoute(TRoute& route, int points = 3, double spacingNM = 3) {
    route.Clear();
    for (int i = 0; i < points; ++i)
      route.AddRecord({{10.25 * kDegToRad, 54.25 * kDegToRad + i * spacingNM / kRadToNM},
                       0,
                       0,
                       0,
                       0,
                       "WP" + std::to_string(i + 1),
                       ""});
  }
};

TEST_F(PlotterOutput, SteeringSentencesEveryUpdateIntervalAndVWhenTheGpsIsLost) {
  TPtyPair a;
  ASSERT_TRUE(a.Ok());
  // APB, RMB and BOD every third tick.
  T_Form& f = Run(PortSettings(a.SlavePath(), "AutoP Msg=14\r\nAutoP Upd=3\r\nGPS Timeout=4\r\n"));
  ASSERT_TRUE(f.GPSCom->Active());
  NorthRoute(*f.Route);
  TNMEAINFO& info = f.Parser()->Info;
  TFPoint boat{10.25 * kDegToRad, 54.25 * kDegToRad + 0.2 / kRadToNM};
  std::string sent;
  auto fix = [&](int t) {
    const int64_t before = f.NMEABuffer->LineCount();
    ASSERT_TRUE(a.Write(Rmc(boat, 12, t)));
    ASSERT_TRUE(WaitFor([&] { return f.NMEABuffer->LineCount() > before; }));
    boat.Y += 12.0 / 3600 / kRadToNM;
  };
  fix(0);
  f.Route->Start(info, true);
  ASSERT_TRUE(f.Route->Following);
  f.DBI_PILOTClick();
  ASSERT_TRUE(f.PlotterFlags.Has(pfPilot));
  for (int t = 1; t <= 18; ++t) {
    fix(t);
    Tick(f);
    WaitFor([&] { return false; }, 5);
    sent += a.Read();
  }
  // The GPS goes quiet: dead reckoning, and the sentences say their data
  // is not valid.
  for (int t = 19; t <= 36; ++t) {
    Tick(f);
    WaitFor([&] { return false; }, 5);
    sent += a.Read();
  }
  ASSERT_TRUE(WaitFor([&] {
    sent += a.Read();
    return !sent.empty() && sent.size() >= 2 && sent.substr(sent.size() - 2) == "\r\n";
  }));
  std::vector<std::vector<std::string>> sentences;
  for (const std::string& line : Lines(sent)) {
    ASSERT_EQ(line.substr(0, 3), "$EC") << line;
    const size_t star = line.find('*');
    ASSERT_NE(star, std::string::npos) << line;
    EXPECT_EQ(NmeaChecksum(line.substr(1, star - 1)), static_cast<uint8_t>(std::stoi(line.substr(star + 1), nullptr, 16)))
        << line;
    sentences.push_back(SentenceFields(line));
  }
  // Groups in the chosen order, the fix status of APB and RMB alike.
  // 36 ticks: a cycle at the end of every third (the 4th, the 7th, ...).
  ASSERT_EQ(sentences.size(), 33u) << sent;
  std::vector<char> fixStatus;
  for (size_t i = 0; i < sentences.size(); i += 3) {
    EXPECT_EQ(sentences[i][0], "$ECAPB");
    EXPECT_EQ(sentences[i + 1][0], "$ECRMB");
    EXPECT_EQ(sentences[i + 2][0], "$ECBOD");
    fixStatus.push_back(sentences[i][1][0]);
    EXPECT_EQ(sentences[i + 1][1], sentences[i][1]);
  }
  ASSERT_EQ(fixStatus.size(), 11u);
  EXPECT_EQ(fixStatus.front(), 'A');
  EXPECT_EQ(fixStatus.back(), 'V');
  // Valid while fixes came, not valid from the GPS timeout on, never again
  // valid after that.
  const auto firstV = std::find(fixStatus.begin(), fixStatus.end(), 'V');
  EXPECT_TRUE(std::all_of(firstV, fixStatus.end(), [](char c) { return c == 'V'; }));
  EXPECT_GE(firstV - fixStatus.begin(), 5);
  // The leg's magnetic bearing with the variation the fixes brought, not the
  // model's guess before the first fix.
  const std::vector<std::string>& bod = sentences.back();
  EXPECT_EQ(bod[3], sentences[sentences.size() - 3][8]) << "BOD and APB agree";
  double magnetic = 0;
  ASSERT_TRUE(TryStrToFloatDot(bod[3]));
  magnetic = *TryStrToFloatDot(bod[3]);
  EXPECT_GT(magnetic, 350);  // north less an easterly variation
}

TEST_F(PlotterOutput, ARouteUploadArrivesWholeOrIsSaidNotToGo) {
  TPtyPair a;
  ASSERT_TRUE(a.Ok());
  T_Form& f = Run(PortSettings(a.SlavePath(), ""));
  NorthRoute(*f.Route, 100, 0.5);
  std::vector<TUploadPoint> points;
  for (int i = 0; i < f.Route->Count(); ++i) points.push_back({f.Route->At(i)->Position, f.Route->At(i)->Caption});
  std::string expected;
  for (const std::string& s : RouteUploadSentences(points, f.Output().OutputSettings())) expected += s;
  f.MenuItem("FMRouteExportNMEA")->trigger();
  std::string got;
  ASSERT_TRUE(WaitFor(
      [&] {
        got += a.Read();
        f.Ports().PumpPorts();
        return got.size() >= expected.size();
      },
      10000));
  EXPECT_EQ(got, expected);
  EXPECT_EQ(Lines(got).size(), 200u);  // a WPL and an RTE per waypoint

  // Port A closed and no network link: nothing is queued, and the user is
  // told.
  f.ClosePorts();
  f.MenuItem("FMRouteExportNMEA")->trigger();
  EXPECT_TRUE(f.Parser()->Info.OutBuffer.empty());
  EXPECT_FALSE(f.MsgP->isHidden());
  EXPECT_TRUE(f.MsgT->text().startsWith("The route not sent")) << f.MsgT->text().toStdString();
}

TEST_F(PlotterOutput, TheDataLineReachesClientsAndBrtool) {
  REQUIRE_PROGRAM("brtool");
  TTempDir runtime;
  env_.Set("XDG_RUNTIME_DIR", runtime.path());
  T_Form& f = Run("[Program Setup]\r\nCom Port=0\r\nShow Time=2\r\nDDE=1\r\n");
  ASSERT_TRUE(f.Output().DataShare && f.Output().DataShare->Listening());
  EXPECT_EQ(f.Output().DataShare->Path(), runtime / "brismare/nmeadata");

  QLocalSocket client;
  client.connectToServer(QString::fromStdString(DataSocketPath()));
  ASSERT_TRUE(client.waitForConnected(2000));
  std::string text;
  ASSERT_TRUE(WaitFor([&] {
    text += client.readAll().toStdString();
    return text.find('\n') != std::string::npos;
  }));
  EXPECT_EQ(text, "NO DATA\n");

  // brtool prints the line it is given on connecting and the next one.
  QProcess brtool;
  brtool.start(QString::fromStdString(std::string(BRISMARE_BIN_DIR) + "/brtool"),
               {"nmeadata", "--lines", "2", "--timeout", "20"});
  ASSERT_TRUE(brtool.waitForStarted(5000));
  ASSERT_TRUE(WaitFor([&] { return f.Output().DataShare->ClientCount() == 2; }, 10000));
  f.Parser()->Info.Pos = {18.07083 * kDegToRad, 59.50833 * kDegToRad};
  f.Parser()->Info.SOG = 5.2;
  text.clear();
  // Each display update (every second tick) sends the line.
  Tick(f, 2);
  ASSERT_TRUE(WaitFor([&] {
    text += client.readAll().toStdString();
    return text.find('\n') != std::string::npos;
  }));
  const std::string line = text.substr(0, text.find('\n'));
  EXPECT_EQ(line, MakeDataLine(f.Parser()->Info, false));
  EXPECT_EQ(line.rfind("59.50833,18.07083,5.20,", 0), 0u) << line;
  ASSERT_TRUE(WaitFor([&] { return brtool.state() == QProcess::NotRunning; }, 10000));
  EXPECT_EQ(brtool.exitCode(), 0);
  EXPECT_EQ(brtool.readAllStandardOutput().toStdString(), "NO DATA\n" + line + "\n");

  // "DDE" off: the socket goes.
  f.SysInfo.DDE = false;
  f.ApplySettings(false);
  EXPECT_FALSE(f.Output().DataShare->Listening());
  EXPECT_FALSE(TestFileExists(DataSocketPath()));
}

}  // namespace
