#include "platform/qt/SignalBridge.h"

#include <QSocketNotifier>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace {

int g_pipe[2] = {-1, -1};
const int kSignals[] = {SIGTERM, SIGINT, SIGHUP};

void OnSignal(int sig) {
  const int saved = errno;
  const unsigned char b = static_cast<unsigned char>(sig);
  // A full pipe means a request is already waiting; nothing is lost.
  [[maybe_unused]] ssize_t n = ::write(g_pipe[1], &b, 1);
  errno = saved;
}

}  // namespace

TSignalBridge::TSignalBridge(QObject* parent) : QObject(parent) {}

TSignalBridge::~TSignalBridge() {
  if (!installed_) return;
  for (int sig : kSignals) std::signal(sig, SIG_DFL);
  delete notifier_;
  ::close(g_pipe[0]);
  ::close(g_pipe[1]);
  g_pipe[0] = g_pipe[1] = -1;
}

bool TSignalBridge::Install() {
  if (installed_) return true;
  if (g_pipe[0] >= 0) return false;  // one bridge per process
  if (::pipe2(g_pipe, O_CLOEXEC | O_NONBLOCK) != 0) {
    g_pipe[0] = g_pipe[1] = -1;
    return false;
  }
  notifier_ = new QSocketNotifier(g_pipe[0], QSocketNotifier::Read, this);
  connect(notifier_, &QSocketNotifier::activated, this, &TSignalBridge::Drain);
  struct sigaction sa {};
  sa.sa_handler = OnSignal;
  sigemptyset(&sa.sa_mask);
  sa.sa_flags = SA_RESTART;
  for (int sig : kSignals) ::sigaction(sig, &sa, nullptr);
  installed_ = true;
  return true;
}

void TSignalBridge::Drain() {
  unsigned char buf[16];
  ssize_t n;
  while ((n = ::read(g_pipe[0], buf, sizeof buf)) > 0)
    for (ssize_t i = 0; i < n; ++i) emit TerminationRequested(buf[i]);
}
