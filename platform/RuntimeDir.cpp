#include "platform/RuntimeDir.h"

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

#include "platform/ErrnoText.h"

namespace {

std::string TempBase() {
  const char* tmp = std::getenv("TMPDIR");
  std::string dir = tmp && *tmp == '/' ? tmp : "/tmp";
  while (dir.size() > 1 && dir.back() == '/') dir.pop_back();
  return dir;
}

bool Fail(std::string* error, const std::string& text) {
  if (error) *error = text;
  return false;
}

}  // namespace

std::string RuntimeDirectory() {
  const char* xdg = std::getenv("XDG_RUNTIME_DIR");
  if (xdg && *xdg == '/') {
    std::string dir = xdg;
    while (dir.size() > 1 && dir.back() == '/') dir.pop_back();
    return dir + "/brismare";
  }
  return TempBase() + "/brismare-" + std::to_string(::getuid());
}

bool EnsureRuntimeDirectory(std::string* error) {
  const std::string dir = RuntimeDirectory();
  if (::mkdir(dir.c_str(), 0700) != 0 && errno != EEXIST) return Fail(error, ErrnoText("cannot make", dir, errno));
  struct stat st {};
  if (::lstat(dir.c_str(), &st) != 0) return Fail(error, ErrnoText("cannot use", dir, errno));
  if (!S_ISDIR(st.st_mode)) return Fail(error, dir + " is not a directory");
  if (st.st_uid != ::getuid()) return Fail(error, dir + " belongs to another user");
  if ((st.st_mode & 077) != 0) return Fail(error, dir + " is open to other users");
  return true;
}

std::string DataSocketPath() { return RuntimeDirectory() + "/nmeadata"; }

TLocalSocketState ProbeLocalSocket(const std::string& path) {
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  if (path.empty() || path.size() >= sizeof address.sun_path) return TLocalSocketState::None;
  path.copy(address.sun_path, path.size());
  const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (fd < 0) return TLocalSocketState::None;
  const int result = ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address);
  const int error = result == 0 ? 0 : errno;
  ::close(fd);
  // A full backlog (EAGAIN) still means someone listens there.
  if (result == 0 || error == EAGAIN || error == EINPROGRESS) return TLocalSocketState::Served;
  return error == ENOENT ? TLocalSocketState::None : TLocalSocketState::Stale;
}
