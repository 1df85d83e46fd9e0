// The main window's ports on pseudo-terminals: each port's bytes reach its
// own line buffer, a lost device is announced in the message panel and
// picked up again, queued output leaves through port A.
#include <QFrame>
#include <QLabel>

#include <unistd.h>

#include <string>
#include <vector>

#include "PlotterFixture.h"
#include "instruments/NMEA.h"
#include "instruments/NMEATestUtil.h"
#include "instruments/qt/AfComPort.h"
#include "instruments/qt/PtyPair.h"
#include "plotter/MainForm.h"

namespace {

class PlotterPorts : public PlotterTest {
 protected:
  // Starts and shows the window with port A on `deviceA` and port B on
  // `deviceB` ("" leaves it unused); every sentence the parser receives is
  // recorded.
  T_Form& StartWith(const std::string& deviceA, const std::string& deviceB = "") {
    std::string ini = "[Program Setup]\r\nCom Port=1\r\nCom Device=" + deviceA + "\r\nBaudRateId=5\r\n";
    ini += deviceB.empty() ? "Com Port B=0\r\n" : "Com Port B=2\r\nCom Device B=" + deviceB + "\r\n";
    ini += "Com Port C=0\r\n";
    T_Form& f = Start(ini);
    Show();
    EXPECT_TRUE(questions_.asked().empty());
    EXPECT_TRUE(f.GPSCom->Active());
    f.GPSCom->RetryInterval = 20;
    f.GPSCom->RetryIntervalMax = 50;
    f.Parser()->OnSentence = [this](std::string_view s) { sentences.emplace_back(s); };
    return f;
  }
  std::vector<std::string> sentences;
};

const std::string kRmc = Nmea("GPRMC,123519,A,4807.038,N,01131.000,E,022.4,084.4,230325,003.1,W");
const std::string kDpt = Nmea("SDDPT,12.3,0.5");

TEST_F(PlotterPorts, EachPortFeedsItsOwnLineBuffer) {
  TPtyPair a, b;
  ASSERT_TRUE(a.Ok() && b.Ok());
  T_Form& f = StartWith(a.SlavePath(), b.SlavePath());
  ASSERT_TRUE(f.NMEAPort1->Active());
  // Port B's sentence arrives while port A's is half way: in a shared
  // buffer its "$" would end A's sentence.
  ASSERT_TRUE(a.Write(kRmc.substr(0, 20)));
  ASSERT_TRUE(WaitFor([&] { return f.NMEABuffer->State() == TNMEALineBuffer::TState::Sentence; }));
  ASSERT_TRUE(b.Write(kDpt + "\r\n"));
  ASSERT_TRUE(WaitFor([&] { return sentences.size() == 1; }));
  ASSERT_TRUE(a.Write(kRmc.substr(20) + "\r\n"));
  ASSERT_TRUE(WaitFor([&] { return sentences.size() == 2; }));
  EXPECT_EQ(sentences, (std::vector<std::string>{kDpt + "\r", kRmc + "\r"}));
  EXPECT_EQ(f.Parser()->Info.FixStatus, kFixValid);
}

TEST_F(PlotterPorts, ALostDeviceIsAnnouncedAndTakenBackWithoutSplicing) {
  TTempDir links;
  const std::string link = links / "ttyGPS";
  auto pty = std::make_unique<TPtyPair>();
  ASSERT_EQ(::symlink(pty->SlavePath().c_str(), link.c_str()), 0);
  T_Form& f = StartWith(link);

  // The adapter goes in the middle of a sentence without a checksum.
  ASSERT_TRUE(pty->Write("$GPRMC,123519,A,4807.038,N,01131.000,E"));
  ASSERT_TRUE(WaitFor([&] { return f.NMEABuffer->State() == TNMEALineBuffer::TState::Sentence; }));
  pty->Close();
  ::unlink(link.c_str());
  ASSERT_TRUE(WaitFor([&] { return f.GPSCom->Reopening(); }));
  EXPECT_FALSE(f.MsgP->isHidden());
  EXPECT_TRUE(f.MsgT->text().startsWith("Port A lost (" + QString::fromStdString(link)));
  EXPECT_TRUE(questions_.asked().empty());  // no box from inside a port event

  // It comes back, continuing where a new sentence had begun; the two
  // halves must not make one (acceptable) sentence.
  pty = std::make_unique<TPtyPair>();
  ASSERT_EQ(::symlink(pty->SlavePath().c_str(), link.c_str()), 0);
  ASSERT_TRUE(WaitFor([&] { return f.GPSCom->Active(); }));
  EXPECT_TRUE(f.MsgP->isHidden());
  ASSERT_TRUE(pty->Write(",022.4,084.4,230325,003.1,W\r\n" + kDpt + "\r\n"));
  ASSERT_TRUE(WaitFor([&] { return !sentences.empty(); }));
  EXPECT_EQ(sentences, std::vector<std::string>{kDpt + "\r"});
  EXPECT_EQ(f.Parser()->Info.FixStatus, kFixNone);

  // Letting go of the ports ends the wait for a lost one, and its notice.
  pty->Close();
  ASSERT_TRUE(WaitFor([&] { return f.GPSCom->Reopening(); }));
  EXPECT_FALSE(f.MsgP->isHidden());
  f.ClosePorts();
  EXPECT_FALSE(f.GPSCom->Reopening());
  EXPECT_TRUE(f.MsgP->isHidden());
}

TEST_F(PlotterPorts, QueuedOutputLeavesThroughPortAInOrder) {
  TPtyPair a;
  ASSERT_TRUE(a.Ok());
  T_Form& f = StartWith(a.SlavePath());
  std::string text;
  for (int i = 0; text.size() < 10000; ++i) text += Nmea("ECAPB,A,A," + std::to_string(i) + ",L,N,V,V") + "\r\n";
  f.Parser()->AppendOutput(text);

  // The pump takes what port A's 8192-byte queue holds, less one byte;
  // the rest follows with a later pump.
  f.Ports().PumpPorts();
  EXPECT_EQ(f.Parser()->Info.OutBuffer.size(), text.size() - 8191);
  std::string got;
  ASSERT_TRUE(WaitFor([&] {
    got += a.Read();
    f.Ports().PumpPorts();
    return got.size() >= text.size();
  }));
  EXPECT_EQ(got, text);
  EXPECT_TRUE(f.Parser()->Info.OutBuffer.empty());

  // With port A closed queued output is discarded.
  f.ClosePorts();
  f.Parser()->AppendOutput("$ECAPB*00\r\n");
  f.Ports().PumpPorts();
  EXPECT_TRUE(f.Parser()->Info.OutBuffer.empty());
}

}  // namespace
