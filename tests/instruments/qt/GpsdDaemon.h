// A gpsd daemon for one test: Debian's /usr/sbin/gpsd in the foreground on
// a loopback port of its own, reading one pseudo-terminal the test writes
// into as a receiver would. Started() is false, and Why() says why, when
// gpsd is missing or does not start (the test then skips).
#pragma once

#include <QProcess>
#include <QTcpServer>

#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

#include <cstdint>
#include <string>

#include "instruments/qt/PtyPair.h"

inline constexpr const char* kGpsdProgram = "/usr/sbin/gpsd";

// A TCP port on loopback free now (the system's choice).
inline uint16_t FreeTcpPort() {
  QTcpServer probe;
  if (!probe.listen(QHostAddress::LocalHost, 0)) return 0;
  return probe.serverPort();
}

// gpsd on a loopback port reading one pseudo-terminal, for one test.
class TGpsdDaemon {
 public:
  TGpsdDaemon() {
    if (::access(kGpsdProgram, X_OK) != 0) {
      why_ = std::string(kGpsdProgram) + " is missing (Debian package gpsd)";
      return;
    }
    if (!pty_.Ok()) {
      why_ = "gpsd cannot start here: no pseudo-terminal";
      return;
    }
    // The terminal passes bytes as they are (no line-end changes, no echo),
    // as a serial port that gpsd set up would.
    slave_ = ::open(pty_.SlavePath().c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    termios t{};
    if (slave_ < 0 || ::tcgetattr(slave_, &t) != 0) {
      why_ = "gpsd cannot start here: cannot open " + pty_.SlavePath();
      return;
    }
    ::cfmakeraw(&t);
    ::tcsetattr(slave_, TCSANOW, &t);
    port_ = FreeTcpPort();
    if (port_ == 0) {
      why_ = "gpsd cannot start here: no free port";
      return;
    }
    // -N: in the foreground; -n: open the device at once; -b: never write
    // to it (no probing); -S: our port.
    process_.setProgram(kGpsdProgram);
    process_.setArguments({"-N", "-n", "-b", "-S", QString::number(port_), QString::fromStdString(pty_.SlavePath())});
    process_.setProcessChannelMode(QProcess::SeparateChannels);
    process_.start();
    if (!process_.waitForStarted(5000)) {
      why_ = kGpsdProgram + std::string(" did not start: ") + process_.errorString().toStdString();
      return;
    }
    started_ = true;
  }
  ~TGpsdDaemon() {
    if (started_ && process_.state() != QProcess::NotRunning) {
      process_.terminate();
      if (!process_.waitForFinished(3000)) {
        process_.kill();
        process_.waitForFinished(3000);
      }
    }
    if (slave_ >= 0) ::close(slave_);
  }
  TGpsdDaemon(const TGpsdDaemon&) = delete;
  TGpsdDaemon& operator=(const TGpsdDaemon&) = delete;

  bool Started() const { return started_; }
  bool Running() const { return process_.state() == QProcess::Running; }
  const std::string& Why() const { return why_; }
  uint16_t Port() const { return port_; }
  TPtyPair& Device() { return pty_; }
  // What gpsd said on its standard error so far.
  std::string Errors() {
    errors_ += process_.readAllStandardError().toStdString();
    return errors_;
  }

 private:
  TPtyPair pty_;
  int slave_ = -1;
  uint16_t port_ = 0;
  QProcess process_;
  bool started_ = false;
  std::string why_;
  std::string errors_;
};
