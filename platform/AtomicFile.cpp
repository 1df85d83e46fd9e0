#include "platform/AtomicFile.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

constexpr std::string_view kTempInfix = ".tmp-";
constexpr size_t kTempRandom = 6;  // the XXXXXX of mkstemp

std::string ErrnoText(const std::string& what, const std::string& path, int err) {
  return what + " " + path + ": " + std::strerror(err);
}

std::string DirectoryOf(const std::string& path) {
  size_t slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

std::string NameOf(const std::string& path) {
  size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Writes everything; on failure errno tells why.
bool WriteAll(int fd, std::string_view bytes) {
  const char* p = bytes.data();
  size_t left = bytes.size();
  while (left > 0) {
    ssize_t n = ::write(fd, p, left);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    if (n == 0) {
      errno = EIO;
      return false;
    }
    p += n;
    left -= static_cast<size_t>(n);
  }
  return true;
}

// The file a symbolic link finally points to; `path` itself when it is not a
// link or the link leads nowhere.
std::string FollowLinks(const std::string& path) {
  struct stat st{};
  if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return path;
  char* real = ::realpath(path.c_str(), nullptr);
  if (!real) return path;
  std::string result(real);
  std::free(real);
  return result;
}

// Removes the temporary files of `target` that writers which died left
// behind. A file someone holds a lock on is being written and stays.
void RemoveStaleTemps(const std::string& target) {
  const std::string dir = DirectoryOf(target);
  const std::string name = NameOf(target);
  DIR* d = ::opendir(dir.c_str());
  if (!d) return;
  std::vector<std::string> stale;
  while (dirent* e = ::readdir(d))
    if (IsAtomicTempName(e->d_name, name)) stale.emplace_back(e->d_name);
  ::closedir(d);
  for (const std::string& entry : stale) {
    std::string path = dir + "/" + entry;
    int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) continue;
    struct stat held{}, now{};
    if (::fstat(fd, &held) == 0 && S_ISREG(held.st_mode) && ::flock(fd, LOCK_EX | LOCK_NB) == 0 &&
        ::lstat(path.c_str(), &now) == 0 && now.st_ino == held.st_ino && now.st_dev == held.st_dev)
      ::unlink(path.c_str());
    ::close(fd);
  }
}

enum class TAttempt { Done, Failed, Retry };

TAttempt WriteOnce(const std::string& target, std::string_view bytes, mode_t mode, const struct stat* old,
                   std::string& errorText) {
  std::string tmpl = target + std::string(kTempInfix) + std::string(kTempRandom, 'X');
  std::vector<char> name(tmpl.begin(), tmpl.end());
  name.push_back('\0');
  int fd = ::mkostemp(name.data(), O_CLOEXEC);
  if (fd < 0) {
    errorText = ErrnoText("cannot create a temporary file beside", target, errno);
    return TAttempt::Failed;
  }
  std::string tmp(name.data());
  // Held until the rename: marks the file as being written (see RemoveStaleTemps).
  ::flock(fd, LOCK_EX);

  int err = 0;
  if (!WriteAll(fd, bytes)) err = errno;
  if (!err && old && (old->st_uid != ::geteuid() || old->st_gid != ::getegid())) {
    // Only a privileged process may hand the file to another owner; others keep theirs.
    (void)!::fchown(fd, old->st_uid, old->st_gid);
  }
  if (!err && ::fchmod(fd, mode) != 0) err = errno;
  if (!err && ::fsync(fd) != 0) err = errno;
  if (!err && ::rename(tmp.c_str(), target.c_str()) != 0) err = errno;
  bool renamed = !err;
  if (::close(fd) != 0 && !err) err = errno;
  if (err && !renamed) {
    // ENOENT: another writer took our fresh file for a stale one in the moment
    // before we locked it; nothing was replaced, so try again.
    if (err == ENOENT && ::access(DirectoryOf(target).c_str(), F_OK) == 0) return TAttempt::Retry;
    ::unlink(tmp.c_str());
    errorText = ErrnoText("cannot write", target, err);
    return TAttempt::Failed;
  }
  return TAttempt::Done;
}

}  // namespace

bool IsAtomicTempName(std::string_view name, std::string_view target) {
  return name.size() == target.size() + kTempInfix.size() + kTempRandom && name.starts_with(target) &&
         name.substr(target.size(), kTempInfix.size()) == kTempInfix;
}

bool AtomicWriteFile(const std::string& path, std::string_view bytes, std::string* error) {
  auto fail = [&](const std::string& text) {
    if (error) *error = text;
    return false;
  };
  if (path.empty()) return fail("empty file name");
  if (path.find('\0') != std::string::npos) return fail("invalid file name");
  const std::string target = FollowLinks(path);

  mode_t mode = 0644;
  struct stat st{};
  const struct stat* old = nullptr;
  if (::stat(target.c_str(), &st) == 0) {
    if (S_ISDIR(st.st_mode)) return fail(path + " is a directory");
    mode = st.st_mode & 07777;
    old = &st;
  }

  RemoveStaleTemps(target);
  std::string text;
  TAttempt result = TAttempt::Retry;
  for (int attempt = 0; attempt < 3 && result == TAttempt::Retry; ++attempt)
    result = WriteOnce(target, bytes, mode, old, text);
  if (result != TAttempt::Done) return fail(text.empty() ? ErrnoText("cannot write", path, ENOENT) : text);

  // Make the rename itself durable.
  int dfd = ::open(DirectoryOf(target).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
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
      bytes.clear();
      return false;
    }
    if (n == 0) break;
    bytes.append(buf, static_cast<size_t>(n));
  }
  ::close(fd);
  return true;
}
