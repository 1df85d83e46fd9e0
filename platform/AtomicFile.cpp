#include "platform/AtomicFile.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "platform/ErrnoText.h"

namespace {

constexpr std::string_view kTempInfix = ".tmp-";
constexpr size_t kTempRandom = 6;  // the XXXXXX of mkstemp
constexpr size_t kBufferSize = 1 << 20;

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

bool PWriteAll(int fd, const char* p, size_t n, uint64_t offset) {
  while (n > 0) {
    ssize_t w = ::pwrite(fd, p, n, static_cast<off_t>(offset));
    if (w < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    if (w == 0) {
      errno = EIO;
      return false;
    }
    p += w;
    n -= static_cast<size_t>(w);
    offset += static_cast<uint64_t>(w);
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

}  // namespace

bool IsAtomicTempName(std::string_view name, std::string_view target) {
  return name.size() == target.size() + kTempInfix.size() + kTempRandom && name.starts_with(target) &&
         name.substr(target.size(), kTempInfix.size()) == kTempInfix;
}

TAtomicFileWriter::~TAtomicFileWriter() { Discard(); }

bool TAtomicFileWriter::Fail(const std::string& what, int err) {
  failed_ = true;
  if (error_.empty()) error_ = what + ": " + std::strerror(err);
  return false;
}

bool TAtomicFileWriter::Create(const std::string& target) {
  Discard();
  failed_ = false;
  error_.clear();
  position_ = flushedTo_ = 0;
  if (target.empty()) return Fail("empty file name", EINVAL);
  if (target.find('\0') != std::string::npos) return Fail("invalid file name", EINVAL);
  target_ = FollowLinks(target);
  struct stat old{};
  mode_t mode = 0644;
  bool hadOld = false;
  if (::stat(target_.c_str(), &old) == 0) {
    if (S_ISDIR(old.st_mode)) return Fail(target + " is a directory", EISDIR);
    mode = old.st_mode & 07777;
    hadOld = true;
  }
  RemoveStaleTemps(target_);
  for (int attempt = 0; attempt < 3; ++attempt) {
    std::string tmpl = target_ + std::string(kTempInfix) + std::string(kTempRandom, 'X');
    std::vector<char> name(tmpl.begin(), tmpl.end());
    name.push_back('\0');
    int fd = ::mkostemp(name.data(), O_CLOEXEC);
    if (fd < 0) return Fail("cannot create a temporary file beside " + target, errno);
    // The lock marks the file as being written until the rename; stale-file
    // removal takes unlocked files only.
    ::flock(fd, LOCK_EX);
    struct stat held{}, now{};
    if (::fstat(fd, &held) == 0 && ::lstat(name.data(), &now) == 0 && held.st_ino == now.st_ino &&
        held.st_dev == now.st_dev) {
      fd_ = fd;
      temp_ = name.data();
      if (hadOld && (old.st_uid != ::geteuid() || old.st_gid != ::getegid())) {
        // Only a privileged process may hand the file to another owner; others keep theirs.
        (void)!::fchown(fd_, old.st_uid, old.st_gid);
      }
      if (::fchmod(fd_, mode) != 0) return Fail("cannot write " + target, errno);
      buffer_.reserve(kBufferSize);
      return true;
    }
    // Another writer took it for a stale file and removed it in the moment
    // before the lock: try again.
    ::close(fd);
  }
  return Fail("cannot create a temporary file beside " + target, EAGAIN);
}

bool TAtomicFileWriter::Flush() {
  if (fd_ < 0 || failed_) return false;
  if (!buffer_.empty()) {
    if (!PWriteAll(fd_, buffer_.data(), buffer_.size(), flushedTo_)) return Fail("cannot write " + target_, errno);
    flushedTo_ += buffer_.size();
    buffer_.clear();
  }
  return true;
}

bool TAtomicFileWriter::Write(std::string_view bytes) {
  if (fd_ < 0 || failed_) return false;
  if (buffer_.size() + bytes.size() > kBufferSize && !Flush()) return false;
  if (bytes.size() >= kBufferSize) {
    if (!PWriteAll(fd_, bytes.data(), bytes.size(), flushedTo_)) return Fail("cannot write " + target_, errno);
    flushedTo_ += bytes.size();
  } else {
    buffer_.insert(buffer_.end(), bytes.begin(), bytes.end());
  }
  position_ += bytes.size();
  return true;
}

bool TAtomicFileWriter::WriteAt(uint64_t offset, std::string_view bytes) {
  if (!Flush()) return false;
  if (!PWriteAll(fd_, bytes.data(), bytes.size(), offset)) return Fail("cannot write " + target_, errno);
  if (offset + bytes.size() > position_) position_ = flushedTo_ = offset + bytes.size();
  return true;
}

bool TAtomicFileWriter::Commit() {
  if (!Flush()) {
    Discard();
    return false;
  }
  if (::fsync(fd_) != 0) {
    Fail("cannot write " + target_, errno);
    Discard();
    return false;
  }
  if (::rename(temp_.c_str(), target_.c_str()) != 0) {
    Fail("cannot write " + target_, errno);
    Discard();
    return false;
  }
  int closeErr = ::close(fd_) != 0 ? errno : 0;
  fd_ = -1;
  temp_.clear();
  // Make the rename itself durable.
  int dfd = ::open(DirectoryOf(target_).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dfd >= 0) {
    ::fsync(dfd);
    ::close(dfd);
  }
  if (closeErr) return Fail("cannot write " + target_, closeErr);
  return true;
}

void TAtomicFileWriter::Discard() {
  if (fd_ >= 0) {
    ::unlink(temp_.c_str());
    ::close(fd_);
  }
  fd_ = -1;
  temp_.clear();
  buffer_.clear();
}

bool AtomicWriteFile(const std::string& path, std::string_view bytes, std::string* error) {
  TAtomicFileWriter writer;
  if (writer.Create(path) && writer.Write(bytes) && writer.Commit()) return true;
  if (error) *error = writer.Error();
  return false;
}

bool ReadWholeFile(const std::string& path, std::string& bytes, std::string* error, uint64_t maxBytes) {
  bytes.clear();
  // Without O_NONBLOCK, opening a FIFO would wait for a writer.
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) {
    if (error) *error = ErrnoText("cannot open", path, errno);
    return false;
  }
  auto fail = [&](const std::string& why) {
    if (error) *error = why;
    ::close(fd);
    bytes.clear();
    return false;
  };
  struct stat st{};
  if (::fstat(fd, &st) != 0) return fail(ErrnoText("cannot read", path, errno));
  if (!S_ISREG(st.st_mode)) return fail(path + " is not a regular file");
  // The size is counted as read: files of /proc report 0.
  if (static_cast<uint64_t>(st.st_size) > maxBytes) return fail(path + " is too large");
  char buf[65536];
  for (;;) {
    ssize_t n = ::read(fd, buf, sizeof buf);
    if (n < 0) {
      if (errno == EINTR) continue;
      return fail(ErrnoText("cannot read", path, errno));
    }
    if (n == 0) break;
    if (bytes.size() + static_cast<size_t>(n) > maxBytes) return fail(path + " is too large");
    bytes.append(buf, static_cast<size_t>(n));
  }
  ::close(fd);
  return true;
}
