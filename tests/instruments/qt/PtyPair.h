// Pseudo-terminal pairs standing in for serial devices, and a wait that
// keeps the event loop running.
#pragma once

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QTimer>

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <string>
#include <string_view>

// The test holds the master side; the port under test opens SlavePath().
class TPtyPair {
 public:
  TPtyPair() {
    master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (master_ < 0 || ::grantpt(master_) != 0 || ::unlockpt(master_) != 0) {
      Close();
      return;
    }
    char name[128];
    if (::ptsname_r(master_, name, sizeof name) != 0) {
      Close();
      return;
    }
    slave_ = name;
  }
  ~TPtyPair() { Close(); }
  TPtyPair(const TPtyPair&) = delete;
  TPtyPair& operator=(const TPtyPair&) = delete;

  bool Ok() const { return master_ >= 0; }
  const std::string& SlavePath() const { return slave_; }
  int Master() const { return master_; }

  // Writes everything (waiting while the pseudo-terminal is full).
  bool Write(std::string_view bytes) {
    while (!bytes.empty()) {
      const ssize_t n = ::write(master_, bytes.data(), bytes.size());
      if (n > 0) {
        bytes.remove_prefix(static_cast<size_t>(n));
        continue;
      }
      if (n < 0 && errno == EINTR) continue;
      if (n < 0 && errno == EAGAIN) {
        pollfd p{master_, POLLOUT, 0};
        ::poll(&p, 1, 100);
        continue;
      }
      return false;
    }
    return true;
  }
  // What the port has sent and is waiting now.
  std::string Read() {
    std::string out;
    char buf[4096];
    for (;;) {
      const ssize_t n = ::read(master_, buf, sizeof buf);
      if (n > 0) {
        out.append(buf, static_cast<size_t>(n));
        continue;
      }
      if (n < 0 && errno == EINTR) continue;
      return out;
    }
  }
  // The far end goes away (as an unplugged adapter does).
  void Close() {
    if (master_ >= 0) ::close(master_);
    master_ = -1;
  }

 private:
  int master_ = -1;
  std::string slave_;
};

// Runs the event loop until pred() holds or ms milliseconds have passed
// (the default is generous: a loaded machine under the sanitizers is slow).
template <class Pred>
bool WaitFor(Pred pred, int ms = 10000) {
  QDeadlineTimer deadline(ms);
  QTimer wake;
  wake.start(5);
  while (!pred()) {
    if (deadline.hasExpired()) return false;
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
  }
  return true;
}

// Runs the event loop for ms milliseconds.
inline void Spin(int ms) {
  WaitFor([] { return false; }, ms);
}
