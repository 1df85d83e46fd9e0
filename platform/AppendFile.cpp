#include "platform/AppendFile.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "platform/AtomicFile.h"
#include "platform/ErrnoText.h"

namespace {

// Offset just after the last "\n" of the file's first `size` bytes (0 when
// there is none); -1 on a read error.
int64_t EndOfLastLine(int fd, uint64_t size) {
  char buf[65536];
  uint64_t end = size;
  while (end > 0) {
    size_t chunk = static_cast<size_t>(std::min<uint64_t>(end, sizeof buf));
    uint64_t start = end - chunk;
    size_t got = 0;
    while (got < chunk) {
      ssize_t n = ::pread(fd, buf + got, chunk - got, static_cast<off_t>(start + got));
      if (n < 0) {
        if (errno == EINTR) continue;
        return -1;
      }
      if (n == 0) break;  // shorter than fstat said: take what is there
      got += static_cast<size_t>(n);
    }
    for (size_t i = got; i > 0; --i)
      if (buf[i - 1] == '\n') return static_cast<int64_t>(start + i);
    end = start;
  }
  return 0;
}

// Copies bytes [from, to) of `fd` to the end of the file `tornPath` and
// waits until they are on the disk. What is cut off is usually a record torn
// by a crash, but it may be a line someone typed without a final line end:
// it is kept beside the file rather than lost.
bool KeepTornTail(int fd, uint64_t from, uint64_t to, const std::string& tornPath, std::string& error) {
  int out = ::open(tornPath.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
  if (out < 0) {
    error = ErrnoText("cannot keep the torn last record in", tornPath, errno);
    return false;
  }
  char buf[65536];
  bool ok = true;
  int err = 0;
  for (uint64_t pos = from; ok && pos < to;) {
    ssize_t n = ::pread(fd, buf, static_cast<size_t>(std::min<uint64_t>(to - pos, sizeof buf)), static_cast<off_t>(pos));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      err = n < 0 ? errno : EIO;
      ok = false;
      break;
    }
    for (ssize_t done = 0; done < n;) {
      ssize_t w = ::write(out, buf + done, static_cast<size_t>(n - done));
      if (w < 0 && errno == EINTR) continue;
      if (w <= 0) {
        err = w < 0 ? errno : EIO;
        ok = false;
        break;
      }
      done += w;
    }
    pos += static_cast<uint64_t>(n);
  }
  if (ok && ::fdatasync(out) != 0) {
    err = errno;
    ok = false;
  }
  if (::close(out) != 0 && ok) {
    err = errno;
    ok = false;
  }
  if (!ok) error = ErrnoText("cannot keep the torn last record in", tornPath, err);
  return ok;
}

}  // namespace

size_t WholeRecordsLength(std::string_view bytes, TRecordFraming framing) {
  if (framing.IsLines()) {
    size_t nl = bytes.find_last_of('\n');
    return nl == std::string_view::npos ? 0 : nl + 1;
  }
  if (!framing.IsValid()) return 0;
  return bytes.size() - bytes.size() % framing.recordSize;
}

TAppendFile::~TAppendFile() { Close(); }

bool TAppendFile::Fail(const std::string& text) {
  error_ = text;
  return false;
}

bool TAppendFile::Open(const std::string& path, TRecordFraming framing) {
  Close();
  error_.clear();
  path_ = path;
  framing_ = framing;
  size_ = 0;
  trimmed_ = 0;
  needsRepair_ = false;
  if (path.empty() || path.find('\0') != std::string::npos) return Fail("invalid file name");
  if (!framing.IsValid()) return Fail("invalid record size");

  int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
  if (fd < 0) return Fail(ErrnoText("cannot open", path, errno));
  struct stat st{};
  if (::fstat(fd, &st) != 0) {
    int err = errno;
    ::close(fd);
    return Fail(ErrnoText("cannot open", path, err));
  }
  if (!S_ISREG(st.st_mode)) {
    ::close(fd);
    return Fail(path + " is not a regular file");
  }
  // One writer at a time: a second program appending to the same file
  // would interleave its records and could cut off one being written.
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    int err = errno;
    ::close(fd);
    if (err == EWOULDBLOCK) return Fail(path + " is in use by another program");
    return Fail(ErrnoText("cannot lock", path, err));
  }
  uint64_t size = static_cast<uint64_t>(st.st_size);
  uint64_t whole = size;
  if (framing.IsLines()) {
    int64_t end = EndOfLastLine(fd, size);
    if (end < 0) {
      int err = errno;
      ::close(fd);
      return Fail(ErrnoText("cannot read", path, err));
    }
    whole = static_cast<uint64_t>(end);
  } else {
    whole = size - size % framing.recordSize;
  }
  if (whole < size && !KeepTornTail(fd, whole, size, path + kTornSuffix, error_)) {
    ::close(fd);
    return false;
  }
  if (whole < size && ::ftruncate(fd, static_cast<off_t>(whole)) != 0) {
    // Appending after a torn record would shift every later record.
    int err = errno;
    ::close(fd);
    return Fail(ErrnoText("cannot cut back the torn last record of", path, err));
  }
  fd_ = fd;
  size_ = whole;
  trimmed_ = size - whole;
  return true;
}

// Removes a partial record a failed append left at the end.
bool TAppendFile::Repair() {
  if (!needsRepair_) return true;
  if (::ftruncate(fd_, static_cast<off_t>(size_)) != 0) return false;
  needsRepair_ = false;
  return true;
}

bool TAppendFile::Append(std::string_view record, bool sync) {
  if (fd_ < 0) return Fail("file not open");
  std::string withNewline;
  if (framing_.IsLines()) {
    if (record.empty() || record.back() != '\n') {
      withNewline.reserve(record.size() + 1);
      withNewline.append(record);
      withNewline.push_back('\n');
      record = withNewline;
    }
  } else if (record.size() != framing_.recordSize) {
    return Fail("record of " + std::to_string(record.size()) + " bytes where " +
                std::to_string(framing_.recordSize) + " are expected");
  }
  if (!Repair()) return Fail(ErrnoText("cannot remove a torn record from", path_, errno));

  const char* p = record.data();
  size_t left = record.size();
  while (left > 0) {
    ssize_t n = ::write(fd_, p, left);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      int err = n < 0 ? errno : EIO;
      if (left != record.size()) {
        // Part of the record is in the file: take it out again.
        needsRepair_ = true;
        Repair();
      }
      return Fail(ErrnoText("cannot write to", path_, err));
    }
    p += n;
    left -= static_cast<size_t>(n);
  }
  size_ += record.size();
  if (sync && ::fdatasync(fd_) != 0) return Fail(ErrnoText("cannot flush", path_, errno));
  return true;
}

bool TAppendFile::Close() {
  if (fd_ < 0) return true;
  int fd = fd_;
  fd_ = -1;
  if (::close(fd) != 0) return Fail(ErrnoText("cannot close", path_, errno));
  return true;
}

bool ReadWholeRecords(const std::string& path, TRecordFraming framing, std::string& bytes, std::string* error) {
  if (!framing.IsValid()) {
    if (error) *error = "invalid record size";
    bytes.clear();
    return false;
  }
  if (!ReadWholeFile(path, bytes, error)) return false;
  bytes.resize(WholeRecordsLength(bytes, framing));
  return true;
}

std::vector<std::string_view> SplitRecords(std::string_view bytes, TRecordFraming framing) {
  std::vector<std::string_view> records;
  bytes = bytes.substr(0, WholeRecordsLength(bytes, framing));
  if (framing.IsLines()) {
    size_t pos = 0;
    while (pos < bytes.size()) {
      size_t nl = bytes.find('\n', pos);
      records.push_back(bytes.substr(pos, nl + 1 - pos));
      pos = nl + 1;
    }
  } else {
    for (size_t pos = 0; pos < bytes.size(); pos += framing.recordSize)
      records.push_back(bytes.substr(pos, framing.recordSize));
  }
  return records;
}
