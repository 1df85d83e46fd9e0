// The plotter program run as a child process (offscreen), for the tests
// that end it from outside the way a desktop session or a service manager
// would.
#pragma once

#include <signal.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <utility>
#include <vector>

// Whether the process has a handler installed for `sig` (/proc's SigCgt).
inline bool CatchesSignal(pid_t pid, int sig) {
  std::ifstream status("/proc/" + std::to_string(pid) + "/status");
  for (std::string line; std::getline(status, line);) {
    if (line.rfind("SigCgt:", 0) != 0) continue;
    std::istringstream hex(line.substr(7));
    unsigned long long mask = 0;
    hex >> std::hex >> mask;
    return (mask >> (sig - 1)) & 1;
  }
  return false;
}

class TPlotterProcess {
 public:
  using Env = std::vector<std::pair<std::string, std::string>>;

  // Starts the built brismare with "-I<settings>", BRISMARE_DIR=dataDir and
  // the further environment variables given.
  TPlotterProcess(const std::string& settings, const std::string& dataDir, const Env& env = {}) {
    const std::string program = std::string(BRISMARE_BIN_DIR) + "/brismare";
    const std::string arg = "-I" + settings;
    pid_ = ::fork();
    if (pid_ != 0) return;
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    ::setenv("BRISMARE_DIR", dataDir.c_str(), 1);
    for (const auto& [name, value] : env) ::setenv(name.c_str(), value.c_str(), 1);
    ::execl(program.c_str(), program.c_str(), arg.c_str(), static_cast<char*>(nullptr));
    ::_exit(127);
  }
  // A child still running is killed and reaped.
  ~TPlotterProcess() {
    if (pid_ <= 0) return;
    ::kill(pid_, SIGKILL);
    int status = 0;
    ::waitpid(pid_, &status, 0);
  }
  TPlotterProcess(const TPlotterProcess&) = delete;
  TPlotterProcess& operator=(const TPlotterProcess&) = delete;

  bool Started() const { return pid_ > 0; }

  // Ends the program at once, as a crash or a power cut would (SIGKILL:
  // nothing of it runs any more), and reaps it.
  void Kill() {
    if (pid_ <= 0) return;
    ::kill(pid_, SIGKILL);
    int status = 0;
    ::waitpid(pid_, &status, 0);
    pid_ = -1;
  }

  // Waits until the program has installed its SIGTERM handler (it is up);
  // false when that takes longer than `timeout`.
  bool WaitUntilUp(std::chrono::milliseconds timeout) const {
    const auto started = std::chrono::steady_clock::now();
    while (!CatchesSignal(pid_, SIGTERM)) {
      if (std::chrono::steady_clock::now() - started >= timeout) return false;
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return true;
  }

  // Sends SIGTERM and waits up to `timeout` for the program to end: its
  // wait status, or nullopt when it was still running (it is then killed).
  std::optional<int> Terminate(std::chrono::milliseconds timeout) {
    if (pid_ <= 0 || ::kill(pid_, SIGTERM) != 0) return std::nullopt;
    const auto sent = std::chrono::steady_clock::now();
    int status = 0;
    pid_t done = 0;
    while ((done = ::waitpid(pid_, &status, WNOHANG)) == 0 &&
           std::chrono::steady_clock::now() - sent < timeout)
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    if (done == 0) return std::nullopt;  // the destructor kills it
    pid_ = -1;
    return status;
  }

 private:
  pid_t pid_ = -1;
};
