#include "platform/AtomicFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

namespace {

std::string ErrnoText(const std::string& what, const std::string& path, int err) {
  return what + " " + path + ": " + std::strerror(err);
}

std::string DirectoryOf(const std::string& path) {
  size_t slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

bool WriteAll(int fd, std::string_view bytes) {
  const char* p = bytes.data();
  size_t left = bytes.size();
  while (left > 0) {
    ssize_t n = ::write(fd, p, left);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    p += n;
    left -= static_cast<size_t>(n);
  }
  return true;
}

}  // namespace

bool AtomicWriteFile(const std::string& path, std::string_view bytes, std::string* error) {
  auto fail = [&](const std::string& text) {
    if (error) *error = text;
    return false;
  };
  if (path.empty()) return fail("empty file name");

  mode_t mode = 0644;
  struct stat st{};
  if (::stat(path.c_str(), &st) == 0) {
    if (S_ISDIR(st.st_mode)) return fail(path + " is a directory");
    mode = st.st_mode & 07777;
  }

  std::string tmpl = path + ".tmp-XXXXXX";
  std::vector<char> name(tmpl.begin(), tmpl.end());
  name.push_back('\0');
  int fd = ::mkstemp(name.data());
  if (fd < 0) return fail(ErrnoText("cannot create a temporary file beside", path, errno));
  std::string tmp(name.data());

  int err = 0;
  if (!WriteAll(fd, bytes)) err = errno;
  if (!err && ::fchmod(fd, mode) != 0) err = errno;
  if (!err && ::fsync(fd) != 0) err = errno;
  if (::close(fd) != 0 && !err) err = errno;
  if (!err && ::rename(tmp.c_str(), path.c_str()) != 0) err = errno;
  if (err) {
    ::unlink(tmp.c_str());
    return fail(ErrnoText("cannot write", path, err));
  }
  // Make the rename itself durable.
  int dfd = ::open(DirectoryOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dfd >= 0) {
    ::fsync(dfd);
    ::close(dfd);
  }
  return true;
}

bool ReadWholeFile(const std::string& path, std::string& bytes, std::string* error) {
  bytes.clear();
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    if (error) *error = ErrnoText("cannot open", path, errno);
    return false;
  }
  char buf[65536];
  for (;;) {
    ssize_t n = ::read(fd, buf, sizeof buf);
    if (n < 0) {
      if (errno == EINTR) continue;
      if (error) *error = ErrnoText("cannot read", path, errno);
      ::close(fd);
      return false;
    }
    if (n == 0) break;
    bytes.append(buf, static_cast<size_t>(n));
  }
  ::close(fd);
  return true;
}
