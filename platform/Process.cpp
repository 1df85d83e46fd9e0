#include "platform/Process.h"

#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/syscall.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <mutex>
#include <system_error>
#include <thread>

extern char** environ;

namespace {

constexpr int kKillGraceMs = 1000;

using TSteady = std::chrono::steady_clock;

// Children started without waiting whose reaper thread could not be
// started; reaped at the next RunProgram.
std::mutex gPendingMutex;
std::vector<pid_t> gPending;

void ReapPending() {
  std::lock_guard<std::mutex> lock(gPendingMutex);
  std::erase_if(gPending, [](pid_t pid) {
    int status = 0;
    pid_t r = ::waitpid(pid, &status, WNOHANG);
    return r == pid || (r < 0 && errno == ECHILD);
  });
}

int OpenPidFd(pid_t pid) {
#ifdef SYS_pidfd_open
  long fd = ::syscall(SYS_pidfd_open, pid, 0);
  return fd >= 0 ? static_cast<int>(fd) : -1;
#else
  (void)pid;
  return -1;
#endif
}

// True once the child has ended (it is not reaped); false when `timeoutMs`
// (negative: no limit) passed first.
bool WaitEnded(pid_t pid, int pidfd, int timeoutMs) {
  const auto deadline = TSteady::now() + std::chrono::milliseconds(std::max(timeoutMs, 0));
  long sleepMs = 1;
  for (;;) {
    siginfo_t info{};
    int r = ::waitid(P_PID, static_cast<id_t>(pid), &info, WEXITED | WNOWAIT | WNOHANG);
    if (r == 0 && info.si_pid == pid) return true;
    if (r < 0 && errno == EINTR) continue;
    if (r < 0) return true;  // ECHILD: reaped elsewhere (SIGCHLD ignored); nothing left to wait for
    int waitMs = -1;
    if (timeoutMs >= 0) {
      auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - TSteady::now()).count();
      if (left <= 0) return false;
      waitMs = static_cast<int>(std::min<long long>(left, INT_MAX));
    }
    if (pidfd >= 0) {
      pollfd p{pidfd, POLLIN, 0};
      ::poll(&p, 1, waitMs);
    } else {
      long ms = waitMs < 0 ? sleepMs : std::min<long>(sleepMs, waitMs);
      timespec ts{ms / 1000, (ms % 1000) * 1000000L};
      ::nanosleep(&ts, nullptr);
      sleepMs = std::min<long>(sleepMs * 2, 20);
    }
  }
}

// Reaps the child; false when its status is lost (reaped elsewhere).
bool Reap(pid_t pid, int& status) {
  for (;;) {
    pid_t r = ::waitpid(pid, &status, 0);
    if (r == pid) return true;
    if (r < 0 && errno == EINTR) continue;
    return false;
  }
}

void SignalGroup(pid_t pid, int sig) {
  ::kill(-pid, sig);  // the program and what it started in its group
  ::kill(pid, sig);   // in case it left the group
}

void ReapInBackground(pid_t pid) {
  try {
    std::thread([pid] {
      int status = 0;
      Reap(pid, status);
    }).detach();
  } catch (const std::system_error&) {
    std::lock_guard<std::mutex> lock(gPendingMutex);
    gPending.push_back(pid);
  }
}

}  // namespace

TRunResult RunProgram(const std::string& program, const std::vector<std::string>& args, int waitTimeoutMs,
                      bool wait) {
  ReapPending();
  TRunResult result;
  if (program.empty()) {
    result.osError = ENOENT;
    return result;
  }
  auto hasNul = [](const std::string& s) { return s.find('\0') != std::string::npos; };
  if (hasNul(program) || std::any_of(args.begin(), args.end(), hasNul)) {
    result.osError = EINVAL;
    return result;
  }

  std::vector<char*> argv;
  argv.reserve(args.size() + 2);
  argv.push_back(const_cast<char*>(program.c_str()));
  for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);

  posix_spawnattr_t attr;
  if (int err = ::posix_spawnattr_init(&attr); err != 0) {
    result.osError = err;
    return result;
  }
  sigset_t defaults, mask;
  sigfillset(&defaults);
  sigdelset(&defaults, SIGKILL);
  sigdelset(&defaults, SIGSTOP);
  sigemptyset(&mask);
  posix_spawnattr_setsigdefault(&attr, &defaults);
  posix_spawnattr_setsigmask(&attr, &mask);
  posix_spawnattr_setpgroup(&attr, 0);
  posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETPGROUP);

  pid_t pid = 0;
  const bool usePath = program.find('/') == std::string::npos;
  int err = usePath ? ::posix_spawnp(&pid, program.c_str(), nullptr, &attr, argv.data(), environ)
                    : ::posix_spawn(&pid, program.c_str(), nullptr, &attr, argv.data(), environ);
  ::posix_spawnattr_destroy(&attr);
  if (err != 0) {
    result.osError = err;
    return result;
  }
  result.started = true;
  result.pid = pid;

  if (!wait) {
    ReapInBackground(pid);
    return result;
  }

  int pidfd = OpenPidFd(pid);
  bool ended = WaitEnded(pid, pidfd, waitTimeoutMs);
  if (!ended) {
    result.timedOut = true;
    SignalGroup(pid, SIGTERM);
    WaitEnded(pid, pidfd, kKillGraceMs);
    // The child is not reaped yet, so its process and group ids cannot have
    // been reused: this reaches only what it left behind.
    SignalGroup(pid, SIGKILL);
  }
  if (pidfd >= 0) ::close(pidfd);

  int status = 0;
  if (Reap(pid, status)) {
    if (WIFEXITED(status) && !result.timedOut)
      result.exitCode = WEXITSTATUS(status);
    else if (WIFSIGNALED(status))
      result.termSignal = WTERMSIG(status);
  }
  return result;
}
