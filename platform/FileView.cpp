#include "platform/FileView.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <utility>

#include "platform/ErrnoText.h"

TFileView::~TFileView() { Close(); }

TFileView::TFileView(TFileView&& other) noexcept { *this = std::move(other); }

TFileView& TFileView::operator=(TFileView&& other) noexcept {
  if (this != &other) {
    Close();
    fd_ = std::exchange(other.fd_, -1);
    path_ = std::move(other.path_);
    size_ = std::exchange(other.size_, 0);
    window_ = std::move(other.window_);
    windowOffset_ = std::exchange(other.windowOffset_, 0);
    windowLength_ = std::exchange(other.windowLength_, 0);
  }
  return *this;
}

bool TFileView::Open(const std::string& path, std::string* error) {
  Close();
  auto fail = [&](const std::string& text) {
    if (error) *error = text;
    return false;
  };
  if (path.empty() || path.find('\0') != std::string::npos) return fail("invalid file name");
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return fail(ErrnoText("cannot open", path, errno));
  struct stat st{};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_size < 0) {
    ::close(fd);
    return fail(path + " is not a regular file");
  }
  // Regular files ignore O_NONBLOCK; it only kept the open of a FIFO from hanging.
  fd_ = fd;
  path_ = path;
  size_ = static_cast<uint64_t>(st.st_size);
  return true;
}

void TFileView::Close() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
  path_.clear();
  size_ = 0;
  window_.clear();
  window_.shrink_to_fit();
  windowOffset_ = 0;
  windowLength_ = 0;
}

size_t TFileView::ReadAt(uint64_t offset, void* dst, size_t n) const {
  if (fd_ < 0 || n == 0 || offset >= size_) return 0;
  // offset < size_ <= the largest off_t, so neither the clamp nor the
  // offsets below can overflow.
  n = static_cast<size_t>(std::min<uint64_t>(n, size_ - offset));
  auto* out = static_cast<uint8_t*>(dst);
  size_t got = 0;
  while (got < n) {
    ssize_t r = ::pread(fd_, out + got, n - got, static_cast<off_t>(offset + got));
    if (r < 0) {
      if (errno == EINTR) continue;
      break;
    }
    if (r == 0) break;  // the file has shrunk
    got += static_cast<size_t>(r);
  }
  return got;
}

bool TFileView::ReadExact(uint64_t offset, void* dst, size_t n) const {
  if (n == 0) return fd_ >= 0 && offset <= size_;
  return ReadAt(offset, dst, n) == n;
}

std::span<const uint8_t> TFileView::View(uint64_t offset, size_t n) {
  if (fd_ < 0 || n == 0 || offset >= size_) return {};
  size_t want = static_cast<size_t>(std::min<uint64_t>(n, size_ - offset));
  if (offset >= windowOffset_ && offset - windowOffset_ <= windowLength_ &&
      windowLength_ - (offset - windowOffset_) >= want)
    return {window_.data() + (offset - windowOffset_), want};

  size_t fill = static_cast<size_t>(std::min<uint64_t>(std::max(want, kWindowSize), size_ - offset));
  if (window_.size() < fill) window_.resize(fill);
  windowOffset_ = offset;
  windowLength_ = ReadAt(offset, window_.data(), fill);
  return {window_.data(), std::min(want, windowLength_)};
}
