#include "charts/AtomicStream.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace {

constexpr size_t kBufferSize = 1 << 20;

std::string DirectoryOf(const std::string& path) {
  size_t slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

// The file a symbolic link finally points to, so that the link stays a link.
std::string FollowLinks(const std::string& path) {
  struct stat st{};
  if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return path;
  char* real = ::realpath(path.c_str(), nullptr);
  if (!real) return path;
  std::string result(real);
  std::free(real);
  return result;
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

}  // namespace

TAtomicStreamFile::~TAtomicStreamFile() { Discard(); }

bool TAtomicStreamFile::Fail(const std::string& what, int err) {
  failed_ = true;
  if (error_.empty()) error_ = what + ": " + std::strerror(err);
  return false;
}

bool TAtomicStreamFile::Create(const std::string& target) {
  Discard();
  failed_ = false;
  error_.clear();
  position_ = flushedTo_ = 0;
  if (target.empty() || target.find('\0') != std::string::npos) return Fail("invalid file name", EINVAL);
  target_ = FollowLinks(target);
  struct stat old{};
  mode_t mode = 0644;
  if (::stat(target_.c_str(), &old) == 0) {
    if (S_ISDIR(old.st_mode)) return Fail(target + " is a directory", EISDIR);
    mode = old.st_mode & 07777;
  }
  for (int attempt = 0; attempt < 3; ++attempt) {
    std::string tmpl = target_ + ".tmp-XXXXXX";
    std::vector<char> name(tmpl.begin(), tmpl.end());
    name.push_back('\0');
    int fd = ::mkostemp(name.data(), O_CLOEXEC);
    if (fd < 0) return Fail("cannot create a temporary file beside " + target, errno);
    // The lock marks the file as being written; an atomic write of the same
    // target removes unlocked temporary files only.
    ::flock(fd, LOCK_EX);
    struct stat held{}, now{};
    if (::fstat(fd, &held) == 0 && ::lstat(name.data(), &now) == 0 && held.st_ino == now.st_ino &&
        held.st_dev == now.st_dev) {
      fd_ = fd;
      temp_ = name.data();
      (void)::fchmod(fd_, mode);
      buffer_.reserve(kBufferSize);
      return true;
    }
    // Taken for a stale file and removed in the moment before the lock.
    ::close(fd);
  }
  return Fail("cannot create a temporary file beside " + target, EAGAIN);
}

bool TAtomicStreamFile::Flush() {
  if (fd_ < 0 || failed_) return false;
  if (!buffer_.empty()) {
    if (!PWriteAll(fd_, buffer_.data(), buffer_.size(), flushedTo_)) return Fail("cannot write " + target_, errno);
    flushedTo_ += buffer_.size();
    buffer_.clear();
  }
  return true;
}

bool TAtomicStreamFile::Write(std::string_view bytes) {
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

bool TAtomicStreamFile::WriteAt(uint64_t offset, std::string_view bytes) {
  if (!Flush()) return false;
  if (!PWriteAll(fd_, bytes.data(), bytes.size(), offset)) return Fail("cannot write " + target_, errno);
  if (offset + bytes.size() > position_) position_ = flushedTo_ = offset + bytes.size();
  return true;
}

bool TAtomicStreamFile::Commit() {
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
    Fail("cannot replace " + target_, errno);
    Discard();
    return false;
  }
  ::close(fd_);
  fd_ = -1;
  temp_.clear();
  // Make the rename itself durable.
  int dfd = ::open(DirectoryOf(target_).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dfd >= 0) {
    ::fsync(dfd);
    ::close(dfd);
  }
  return true;
}

void TAtomicStreamFile::Discard() {
  if (fd_ >= 0) {
    ::unlink(temp_.c_str());
    ::close(fd_);
  }
  fd_ = -1;
  temp_.clear();
  buffer_.clear();
}
