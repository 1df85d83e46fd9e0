// brtool nmeadata: connects to the navigation data line that a running
// plotter shares and prints the lines as they come, one per display update
// (the first at once).
//
//   --socket PATH    another socket than the plotter's (DataSocketPath())
//   --lines N        end after N lines
//   --timeout S      end when no line came for S seconds (default: wait)
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include "Command.h"
#include "foundation/NumText.h"
#include "platform/RuntimeDir.h"

namespace {

int RunNmeaData(const BrtoolArgs& args) {
  BrtoolOptions opt;
  if (!ParseBrtoolOptions("nmeadata", args, {"socket", "lines", "timeout"}, opt)) return 2;
  if (!opt.positional.empty()) {
    std::fprintf(stderr, "usage: brtool nmeadata [--socket PATH] [--lines N] [--timeout S]\n");
    return 2;
  }
  const std::string path = opt.Get("socket") ? *opt.Get("socket") : DataSocketPath();
  int64_t maxLines = -1;
  if (const std::string* v = opt.Get("lines")) {
    const auto n = TryStrToInt64(*v);
    if (!n || *n < 1) {
      std::fprintf(stderr, "brtool nmeadata: --lines needs a number above 0\n");
      return 2;
    }
    maxLines = *n;
  }
  int timeoutMs = -1;
  if (const std::string* v = opt.Get("timeout")) {
    const auto s = TryStrToFloatDot(*v);
    if (!s || !(*s > 0) || *s > 86400) {
      std::fprintf(stderr, "brtool nmeadata: --timeout needs seconds above 0\n");
      return 2;
    }
    timeoutMs = static_cast<int>(*s * 1000);
  }

  sockaddr_un addr{};
  addr.sun_family = AF_UNIX;
  if (path.size() >= sizeof addr.sun_path) {
    std::fprintf(stderr, "brtool nmeadata: the socket path is too long: %s\n", path.c_str());
    return 1;
  }
  std::memcpy(addr.sun_path, path.c_str(), path.size() + 1);
  const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0 || ::connect(fd, reinterpret_cast<const sockaddr*>(&addr), sizeof addr) != 0) {
    std::fprintf(stderr, "brtool nmeadata: cannot connect to %s: %s (is the plotter running with \"DDE\" on?)\n",
                 path.c_str(), std::strerror(errno));
    if (fd >= 0) ::close(fd);
    return 1;
  }
  std::string pending;
  int64_t lines = 0;
  char buf[4096];
  int status = 0;
  while (maxLines < 0 || lines < maxLines) {
    pollfd p{fd, POLLIN, 0};
    const int r = ::poll(&p, 1, timeoutMs);
    if (r == 0) {
      std::fprintf(stderr, "brtool nmeadata: no line for %d ms\n", timeoutMs);
      status = 1;
      break;
    }
    if (r < 0) {
      if (errno == EINTR) continue;
      status = 1;
      break;
    }
    const ssize_t n = ::read(fd, buf, sizeof buf);
    if (n <= 0) break;  // the plotter closed the line
    pending.append(buf, static_cast<size_t>(n));
    for (size_t nl; (nl = pending.find('\n')) != std::string::npos && (maxLines < 0 || lines < maxLines);) {
      std::fwrite(pending.data(), 1, nl + 1, stdout);
      pending.erase(0, nl + 1);
      ++lines;
    }
    std::fflush(stdout);
    // A line without its end never grows without bound.
    if (pending.size() > 65536) pending.clear();
  }
  ::close(fd);
  return std::fflush(stdout) == 0 ? status : 1;
}

BrtoolCommand cmd{"nmeadata",
                  "nmeadata                print the navigation data line a running plotter shares "
                  "[--socket PATH] [--lines N] [--timeout S]",
                  RunNmeaData};

}  // namespace
