#include "instruments/qt/AfComPort.h"

#include <sys/stat.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <cstdio>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "instruments/NMEA.h"
#include "instruments/NMEATestUtil.h"
#include "instruments/qt/PtyPair.h"

namespace {

// A port on the slave side of a fresh pseudo-terminal, its bytes feeding a
// line buffer as the plotter wires them.
class SerialPort : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(pty.Ok());
    port.setObjectName("GPSCom");
    port.DeviceName = pty.SlavePath();
    port.SetComNumber(1);
    port.SetBaudRate(br4800);
    port.RetryInterval = 20;
    port.RetryIntervalMax = 80;
    buffer.Parser().OnSentence = [this](std::string_view s) { sentences.emplace_back(s); };
    QObject::connect(&port, &TAfComPort::DataRecived, [this](int) { buffer.FeedText(port.ReadString()); });
    QObject::connect(&port, &TAfComPort::PortLost, [this](const QString&) { ++lost; });
    QObject::connect(&port, &TAfComPort::PortRestored, [this] { ++restored; });
  }

  TPtyPair pty;
  TManualClock clock;
  TNMEALineBuffer buffer{nullptr, clock};
  TAfComPort port;
  std::vector<std::string> sentences;
  int lost = 0;
  int restored = 0;
};

// Sentences with their line ends, as the parser reports them (ending in a
// carriage return).
std::vector<std::string> AsReceived(const std::vector<std::string>& sentences) {
  std::vector<std::string> out;
  for (const std::string& s : sentences) out.push_back(s + "\r");
  return out;
}

std::string Joined(const std::vector<std::string>& sentences) {
  std::string s;
  for (const std::string& x : sentences) s += x + "\r\n";
  return s;
}

double CpuSeconds() {
  timespec ts{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
  return static_cast<double>(ts.tv_sec) + ts.tv_nsec / 1e9;
}

const std::vector<std::string> kSentences = {
    Nmea("GPRMC,123519,A,4807.038,N,01131.000,E,022.4,084.4,230325,003.1,W"),
    Nmea("GPGGA,123520,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,"),
    Nmea("SDDPT,12.3,0.5"),
    Nmea("AIVDM,1,1,,A,13aEOK?P00PD2wVMdLDRhgvL289?,0", '!'),
    Nmea("IIMWV,045.0,R,12.5,N,A"),
};

TEST_F(SerialPort, BytesSplitAnywhereAssembleIntoTheSentences) {
  port.Open();
  ASSERT_TRUE(port.Active());
  // Noise between sentences, as a receiver sends when it starts.
  const std::string stream = std::string("\xff\x00garbage\r\n", 11) + Joined(kSentences);
  const std::vector<std::string> expected = AsReceived(kSentences);

  std::mt19937 rng(7);
  struct Case {
    const char* label;
    std::function<size_t(size_t)> piece;  // size of the next piece, from the bytes left
  } cases[] = {
      {"byte by byte", [](size_t) { return size_t{1}; }},
      {"random pieces", [&](size_t left) { return std::min<size_t>(left, 1 + rng() % 23); }},
      {"all at once", [](size_t left) { return left; }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    sentences.clear();
    for (size_t at = 0; at < stream.size();) {
      const size_t n = c.piece(stream.size() - at);
      ASSERT_TRUE(pty.Write(std::string_view(stream).substr(at, n)));
      at += n;
      // Let the port see each piece on its own most of the time.
      QCoreApplication::processEvents();
    }
    ASSERT_TRUE(WaitFor([&] { return sentences.size() >= expected.size(); }));
    EXPECT_EQ(sentences, expected);
  }
}

TEST_F(SerialPort, NothingIsLostWhileTheLoopIsBusyOrNobodyReads) {
  port.SetInBufSize(1024);
  port.Open();
  std::vector<std::string> many;
  for (int i = 0; i < 300; ++i) many.push_back(Nmea("GPTXT,01,01,02,line " + std::to_string(i)));
  const std::string stream = Joined(many);
  ASSERT_GT(stream.size(), 8000u);

  // Nobody reads for a while: the port holds its buffer's worth, the driver
  // the rest, and nothing keeps the loop busy meanwhile.
  port.disconnect(&port, &TAfComPort::DataRecived, nullptr, nullptr);
  ASSERT_TRUE(pty.Write(stream));
  ASSERT_TRUE(WaitFor([&] { return port.InBufUsed() >= 1024; }));
  const double cpu = CpuSeconds();
  Spin(200);
  EXPECT_LT(CpuSeconds() - cpu, 0.1);

  std::string got;
  ASSERT_TRUE(WaitFor([&] {
    got += port.ReadString();
    return got.size() >= stream.size();
  }));
  EXPECT_EQ(got, stream);
  EXPECT_EQ(port.InBufUsed(), 0);
}

TEST_F(SerialPort, AVanishedDeviceIsReportedOnceAndReopenedWhenItReturns) {
  // The settings name a link, as /dev/serial/by-id names adapters: the
  // returning device may have another node behind the same name.
  TTempDir dir;
  const std::string link = dir / "ttyGPS";
  ASSERT_EQ(::symlink(pty.SlavePath().c_str(), link.c_str()), 0);
  port.DeviceName = link;
  port.Open();
  ASSERT_TRUE(pty.Write(kSentences[0] + "\r\n$GPGGA,1235"));
  ASSERT_TRUE(WaitFor([&] { return sentences.size() == 1; }));

  // Unplugged.
  pty.Close();
  ::unlink(link.c_str());
  ASSERT_TRUE(WaitFor([&] { return lost == 1; }));
  EXPECT_FALSE(port.Active());
  EXPECT_TRUE(port.Reopening());
  EXPECT_NE(port.LostReason().find(link), std::string::npos);
  EXPECT_EQ(port.InBufUsed(), 0);
  EXPECT_EQ(port.ReadString(), "");

  // While it is away: retries with growing pauses, no second report, no
  // busy loop.
  const double cpu = CpuSeconds();
  Spin(300);
  EXPECT_LT(CpuSeconds() - cpu, 0.15);
  EXPECT_EQ(lost, 1);
  EXPECT_GE(port.ReopenAttempts(), 2);
  EXPECT_LE(port.ReopenAttempts(), 8);

  // Plugged in again: the port comes back by itself and delivers into the
  // same line buffer.
  TPtyPair again;
  ASSERT_TRUE(again.Ok());
  ASSERT_EQ(::symlink(again.SlavePath().c_str(), link.c_str()), 0);
  ASSERT_TRUE(WaitFor([&] { return restored == 1; }));
  EXPECT_TRUE(port.Active());
  EXPECT_FALSE(port.Reopening());
  EXPECT_EQ(port.LostReason(), "");
  buffer.Reset();  // what the plotter does on a loss: no half sentence joins the new bytes
  ASSERT_TRUE(again.Write("1,4807.038,N*00\r\n" + kSentences[1] + "\r\n"));
  ASSERT_TRUE(WaitFor([&] { return sentences.size() == 2; }));
  EXPECT_EQ(sentences[1], kSentences[1] + "\r");
  EXPECT_EQ(lost, 1);
}

TEST_F(SerialPort, CloseEndsTheWaitForALostDevice) {
  int closed = 0;
  QObject::connect(&port, &TAfComPort::PortClose, [&] { ++closed; });
  port.Open();
  pty.Close();
  ASSERT_TRUE(WaitFor([&] { return lost == 1; }));
  EXPECT_EQ(closed, 0);
  port.Close();
  EXPECT_FALSE(port.Reopening());
  EXPECT_EQ(closed, 1);  // the end of the wait is a close
  const int attempts = port.ReopenAttempts();
  Spin(150);
  EXPECT_EQ(port.ReopenAttempts(), attempts);
}

TEST_F(SerialPort, WritesQueueWithoutWaitingAndArriveInOrder) {
  port.SetOutBufSize(100);
  port.Open();
  int emptied = 0;
  QObject::connect(&port, &TAfComPort::OutBufEmptied, [&] { ++emptied; });
  const std::string a = "$ECAPB,A*00\r\n", b = "$ECRMB,A*00\r\n";
  port.WriteString(a);
  port.Write(b.data(), static_cast<int>(b.size()));
  // Queued, not yet sent: the caller never waits for the device.
  EXPECT_EQ(port.OutBufFree(), 100 - static_cast<int>(a.size() + b.size()));

  // A block larger than the free space is refused whole.
  const std::string big(80, 'x');
  try {
    port.WriteString(big);
    FAIL() << "no error";
  } catch (const EAfComPortError& e) {
    EXPECT_STREQ(e.what(), "GPSCom - Write data error [requested: 80, free: 74] ");
  }
  EXPECT_EQ(port.OutBufFree(), 74);

  std::string got;
  ASSERT_TRUE(WaitFor([&] {
    got += pty.Read();
    return got.size() >= a.size() + b.size() && emptied > 0;
  }));
  EXPECT_EQ(got, a + b);
  EXPECT_EQ(port.OutBufFree(), 100);
  EXPECT_EQ(port.BytesSent(), static_cast<int64_t>(a.size() + b.size()));
}

// Numbered test lines of varied length (padding: extra length).
std::string TestLine(int n, int padding = 0) {
  return Nmea("GPTXT,01,01,02," + std::to_string(n) + "," + std::string(static_cast<size_t>(padding + n % 37), 'x')) +
         "\r\n";
}

TEST_F(SerialPort, ABoundedQueueDropsTheOldestWholeSentences) {
  port.SetOutBufSize(60);
  port.Open();
  // Within the cap nothing is dropped; beyond it the oldest go first.
  std::string l1 = "$A,1*00\r\n", l2 = "$B,22*00\r\n", l3 = "$C,333*00\r\n";
  EXPECT_EQ(port.WriteSentences(l1 + l2 + l3), 0);
  const std::string l4 = "$D," + std::string(37, '4') + "*00\r\n";  // 45 bytes: 15 too many
  EXPECT_EQ(port.WriteSentences(l4), 2);
  EXPECT_EQ(port.OutBufFree(), 60 - static_cast<int>(l3.size() + l4.size()));
  EXPECT_EQ(port.DroppedSentences(), 2);
  std::string got;
  ASSERT_TRUE(WaitFor([&] {
    got += pty.Read();
    return got.size() >= l3.size() + l4.size();
  }));
  EXPECT_EQ(got, l3 + l4);
}

TEST(SerialPortStall, ADeviceThatStopsTakingDataGetsOnlyWholeSentences) {
  // Nobody reads the far end, so the driver fills up, often in the middle
  // of a sentence; the queue keeps filling and must drop, yet what arrives
  // in the end is a run of whole sentences with gaps, the newest last.
  // Lines of several lengths make the device stop inside a sentence in at
  // least one run.
  int stoppedInsideASentence = 0;
  for (int padding : {0, 150, 400, 700}) {
    SCOPED_TRACE(padding);
    TPtyPair pty;
    ASSERT_TRUE(pty.Ok());
    TAfComPort port;
    port.SetComNumber(1);
    port.DeviceName = pty.SlavePath();
    port.SetOutBufSize(12000);
    port.Open();
    int next = 0;
    auto more = [&] {
      std::string text;
      while (text.size() < 8000) text += TestLine(next++, padding);
      port.WriteSentences(text);
    };
    for (int64_t sent = -1; port.BytesSent() != sent;) {
      sent = port.BytesSent();
      more();
      Spin(5);
    }
    // More once the device has stopped, with a partly sent sentence at the
    // head of the queue.
    for (int i = 0; i < 3; ++i) more();
    ASSERT_GT(port.DroppedSentences(), 0);

    std::string got = pty.Read();
    ASSERT_FALSE(got.empty());
    if (got.back() != '\n') ++stoppedInsideASentence;
    const std::string newest = TestLine(next - 1, padding);
    ASSERT_TRUE(WaitFor(
        [&] {
          got += pty.Read();
          return port.OutBufFree() == 12000 && got.size() >= newest.size() &&
                 got.compare(got.size() - newest.size(), newest.size(), newest) == 0;
        },
        10000));
    int lines = 0;
    int last = -1;
    for (size_t at = 0; at < got.size();) {
      const size_t end = got.find("\r\n", at);
      ASSERT_NE(end, std::string::npos) << "cut sentence at the end";
      const std::string line = got.substr(at, end + 2 - at);
      const int n = std::atoi(line.c_str() + std::string("$GPTXT,01,01,02,").size());
      ASSERT_EQ(line, TestLine(n, padding)) << "spliced or cut sentence at byte " << at;
      ASSERT_GT(n, last);
      last = n;
      ++lines;
      at = end + 2;
    }
    EXPECT_EQ(lines + port.DroppedSentences(), next);
  }
  EXPECT_GT(stoppedInsideASentence, 0);
}

TEST_F(SerialPort, OpenFailuresCarryTheirTexts) {
  TTempDir dir;
  WriteTestFile(dir / "plain", "not a device");
  struct Case {
    const char* label;
    int number;
    std::string device;
    int baud;
    int userRate;
    const char* message;
  } cases[] = {
      {"number 0", 0, pty.SlavePath(), br4800, 0, "Invalid port number (COM0)"},
      {"no such device", 3, dir / "ttyNone", br4800, 0, "Invalid port number (COM3)"},
      {"not a serial device", 3, dir / "plain", br4800, 0, "Invalid port number (COM3)"},
      {"a user rate of 0", 2, pty.SlavePath(), brUser, 0, "Error setting parameters from DCB"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    TAfComPort p;
    p.SetComNumber(c.number);
    p.DeviceName = c.device;
    p.SetBaudRate(c.baud);
    p.SetUserBaudRate(c.userRate);
    try {
      p.Open();
      ADD_FAILURE() << "opened";
    } catch (const EAfComPortCoreError& e) {
      EXPECT_STREQ(e.what(), c.message);
    }
    EXPECT_FALSE(p.Active());
    EXPECT_FALSE(p.Reopening());
  }
  // Without a device name the number names a classic port.
  TAfComPort classic;
  classic.SetComNumber(3);
  EXPECT_EQ(classic.Device(), "/dev/ttyS2");
}

TEST_F(SerialPort, TheDeviceIsOpenedExclusively) {
  port.Open();
  // A second port of this program (what a second instance would do).
  TAfComPort second;
  second.SetComNumber(2);
  second.DeviceName = pty.SlavePath();
  try {
    second.Open();
    ADD_FAILURE() << "opened twice";
  } catch (const EAfComPortCoreError& e) {
    EXPECT_STREQ(e.what(), "Can't open device COM2");
    EXPECT_NE(e.Detail().find("in use"), std::string::npos);
  }

  // Another program that does not lock (an ordinary user: the terminal's
  // exclusive flag does not bind root).
  auto otherProgramOpens = [&] {
    const pid_t pid = ::fork();
    if (pid == 0) {
      if (::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0)) ::_exit(2);
      const int fd = ::open(pty.SlavePath().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
      ::_exit(fd >= 0 ? 0 : errno == EBUSY ? 1 : 3);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  };
  if (::geteuid() == 0) {
    ASSERT_EQ(::chmod(pty.SlavePath().c_str(), 0666), 0);
  }
  EXPECT_EQ(otherProgramOpens(), 1) << "1: busy";
  // Once closed the device is free again.
  port.Close();
  EXPECT_EQ(otherProgramOpens(), 0);
  second.Open();
  EXPECT_TRUE(second.Active());
}

TEST_F(SerialPort, EveryRateOfTheTableReachesTheDevice) {
  port.Open();
  for (int ordinal = br110; ordinal < brUser; ++ordinal) {
    SCOPED_TRACE(ordinal);
    port.SetBaudRate(ordinal);
    EXPECT_EQ(port.BaudRate(), ordinal);
    EXPECT_EQ(port.ActualBaudRate(), AfBaudRateValue(ordinal, 0));
  }
  EXPECT_EQ(AfBaudRateValue(br14400, 0), 14400);
  EXPECT_EQ(AfBaudRateValue(br56000, 0), 56000);

  port.SetUserBaudRate(31250);
  port.SetBaudRate(brUser);
  EXPECT_EQ(port.ActualBaudRate(), 31250);
  // A refused rate leaves the line as it was.
  EXPECT_THROW(port.SetUserBaudRate(0), EAfComPortCoreError);
  EXPECT_EQ(port.UserBaudRate(), 31250);
  EXPECT_EQ(port.ActualBaudRate(), 31250);
  EXPECT_TRUE(port.Active());

  // A port opened at a rate outside the fixed terminal table.
  port.Close();
  port.SetBaudRate(br56000);
  port.Open();
  EXPECT_EQ(port.ActualBaudRate(), 56000);
}

TEST_F(SerialPort, MisuseOfAnOpenPortIsRefused) {
  port.Open();
  for (auto set : {&TAfComPort::SetInBufSize, &TAfComPort::SetOutBufSize}) {
    try {
      (port.*set)(64);
      ADD_FAILURE() << "size changed";
    } catch (const EAfComPortError& e) {
      EXPECT_STREQ(e.what(), "GPSCom - Port is not closed ");
    }
  }
  EXPECT_EQ(port.InBufSize(), 4096);
  EXPECT_EQ(port.OutBufSize(), 2048);

  // A short read takes nothing.
  port.disconnect(&port, &TAfComPort::DataRecived, nullptr, nullptr);
  ASSERT_TRUE(pty.Write("abc"));
  ASSERT_TRUE(WaitFor([&] { return port.InBufUsed() == 3; }));
  char four[4];
  try {
    port.Read(four, 4);
    ADD_FAILURE() << "read";
  } catch (const EAfComPortError& e) {
    EXPECT_STREQ(e.what(), "GPSCom - Read data error ");
  }
  char three[3];
  port.Read(three, 3);
  EXPECT_EQ(std::string(three, 3), "abc");
}

TEST_F(SerialPort, AClosedPortAnswersEmptyAndIgnoresWrites) {
  EXPECT_FALSE(port.Active());
  EXPECT_EQ(port.InBufUsed(), 0);
  EXPECT_EQ(port.OutBufFree(), 0);
  EXPECT_EQ(port.ReadString(), "");
  port.WriteString("$ECAPB*00\r\n");
  EXPECT_EQ(port.WriteSentences("$ECAPB*00\r\n"), 0);
  port.PurgeRx();
  EXPECT_TRUE(port.PurgeTx());

  // Purges of an open port drop what waits in either direction.
  port.Open();
  port.disconnect(&port, &TAfComPort::DataRecived, nullptr, nullptr);
  ASSERT_TRUE(pty.Write("old"));
  ASSERT_TRUE(WaitFor([&] { return port.InBufUsed() == 3; }));
  port.PurgeRx();
  EXPECT_EQ(port.InBufUsed(), 0);
  port.WriteString("unsent");
  EXPECT_TRUE(port.PurgeTx());
  EXPECT_EQ(port.OutBufFree(), port.OutBufSize());
  Spin(30);
  EXPECT_EQ(pty.Read(), "");
}

TEST_F(SerialPort, ANewNumberReopensAnOpenPort) {
  int opened = 0, closed = 0;
  QObject::connect(&port, &TAfComPort::PortOpen, [&] { ++opened; });
  QObject::connect(&port, &TAfComPort::PortClose, [&] { ++closed; });
  port.Open();
  port.SetComNumber(4);
  EXPECT_TRUE(port.Active());
  EXPECT_EQ(opened, 2);
  EXPECT_EQ(closed, 1);
  // The number names the port in messages; the device stays the named one.
  ASSERT_TRUE(pty.Write(kSentences[2] + "\r\n"));
  ASSERT_TRUE(WaitFor([&] { return sentences.size() == 1; }));
}

}  // namespace
