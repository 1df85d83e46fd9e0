// Helpers for tests that need a process of their own: to kill it at a
// random moment, to give it a small file-size limit (a full disk), or to run
// it as an unprivileged user (so that permissions are enforced even when the
// tests run as root).
#pragma once

#include <grp.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <functional>
#include <string>

// Runs `body` in a forked child and returns its exit code; 128 + signal when
// it was killed, -1 when fork failed. The child never returns into the test
// framework.
inline int RunInChild(const std::function<int()>& body) {
  std::fflush(nullptr);
  pid_t pid = ::fork();
  if (pid < 0) return -1;
  if (pid == 0) {
    int code = 99;
    try {
      code = body();
    } catch (...) {
    }
    ::_exit(code);
  }
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0) {
  }
  if (WIFEXITED(status)) return WEXITSTATUS(status);
  if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
  return -1;
}

inline bool RunningAsRoot() { return ::geteuid() == 0; }

// In a child: becomes the user "nobody" when running as root, so that file
// permissions apply. False when that fails.
inline bool DropRootInChild() {
  if (!RunningAsRoot()) return true;
  if (::setgroups(0, nullptr) != 0) return false;
  if (::setgid(65534) != 0) return false;
  if (::setuid(65534) != 0) return false;
  return ::geteuid() != 0;
}

// In a child: files may grow to at most `bytes`; a write beyond fails with
// EFBIG as on a full disk (instead of raising SIGXFSZ).
inline bool LimitFileSizeInChild(rlim_t bytes) {
  ::signal(SIGXFSZ, SIG_IGN);
  rlimit lim{};
  if (::getrlimit(RLIMIT_FSIZE, &lim) != 0) return false;
  lim.rlim_cur = bytes;
  return ::setrlimit(RLIMIT_FSIZE, &lim) == 0;
}

// Reads the state letter and the parent of a process; false when it is gone.
inline bool ProcessState(pid_t pid, char& state, pid_t& parent) {
  std::string path = "/proc/" + std::to_string(pid) + "/stat";
  FILE* f = std::fopen(path.c_str(), "r");
  if (!f) return false;
  char buf[512] = {};
  size_t n = std::fread(buf, 1, sizeof buf - 1, f);
  std::fclose(f);
  std::string stat(buf, n);
  size_t paren = stat.rfind(')');  // the command name may hold blanks and ')'
  if (paren == std::string::npos || paren + 4 >= stat.size()) return false;
  state = stat[paren + 2];
  parent = static_cast<pid_t>(std::stol(stat.substr(paren + 4)));
  return true;
}

// A zombie child of this process (ended, never reaped).
inline bool IsOurZombie(pid_t pid) {
  char state = 0;
  pid_t parent = 0;
  return ProcessState(pid, state, parent) && state == 'Z' && parent == ::getpid();
}

// Still running (present and not a zombie).
inline bool IsRunning(pid_t pid) {
  char state = 0;
  pid_t parent = 0;
  return ProcessState(pid, state, parent) && state != 'Z' && state != 'X';
}
