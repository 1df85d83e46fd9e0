// Read-only access to a chart file that cannot crash the program when the
// file is cut short or removed while it is open (a chart on a USB stick
// pulled out, a file replaced by a copy still in progress). The file is read
// with pread, never mapped: with a mapping, a page past the new end of a
// truncated file raises SIGBUS.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

class TFileView {
 public:
  TFileView() = default;
  ~TFileView();
  TFileView(const TFileView&) = delete;
  TFileView& operator=(const TFileView&) = delete;
  TFileView(TFileView&& other) noexcept;
  TFileView& operator=(TFileView&& other) noexcept;

  // Opens a regular file for reading; false (and `error`) otherwise.
  bool Open(const std::string& path, std::string* error = nullptr);
  void Close();
  bool IsOpen() const { return fd_ >= 0; }
  const std::string& Path() const { return path_; }

  // The file size when it was opened. Reads never go beyond it, even when
  // the file grows later.
  uint64_t Size() const { return size_; }

  // Copies up to `n` bytes from `offset` into `dst`; returns how many were
  // read: fewer near the end, when the file has shrunk since it was opened,
  // or on a read error; 0 for an offset at or past the end.
  size_t ReadAt(uint64_t offset, void* dst, size_t n) const;
  // True when all `n` bytes were read.
  bool ReadExact(uint64_t offset, void* dst, size_t n) const;

  // Up to `n` bytes from `offset`, out of an internal window buffer: cheap
  // for decoders that scan headers byte by byte. The span is shorter when
  // the file ends (or has shrunk) earlier and is valid until the next call
  // of View, Open, Close or a move.
  std::span<const uint8_t> View(uint64_t offset, size_t n);

  // Bytes the window reads ahead at least.
  static constexpr size_t kWindowSize = 64 * 1024;

 private:
  int fd_ = -1;
  std::string path_;
  uint64_t size_ = 0;
  std::vector<uint8_t> window_;
  uint64_t windowOffset_ = 0;
  size_t windowLength_ = 0;
};
