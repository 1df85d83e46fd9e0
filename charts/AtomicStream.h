// A large file written as a whole, piece by piece, without holding it in
// memory: the bytes go to a temporary file beside the target (named and
// locked the way AtomicWriteFile names and locks its own, so a writer that
// died leaves nothing that could replace the target and the next atomic
// write of that target cleans it up), which Commit flushes to the disk and
// renames over the target. Until Commit, the old file stays as it was; a
// writer destroyed without Commit removes its temporary file.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

class TAtomicStreamFile {
 public:
  TAtomicStreamFile() = default;
  ~TAtomicStreamFile();
  TAtomicStreamFile(const TAtomicStreamFile&) = delete;
  TAtomicStreamFile& operator=(const TAtomicStreamFile&) = delete;

  // Creates the temporary file for `target`. False (and Error()) on failure.
  bool Create(const std::string& target);
  // Appends bytes (buffered).
  bool Write(std::string_view bytes);
  bool Write(const void* data, size_t n) { return Write(std::string_view(static_cast<const char*>(data), n)); }
  // Overwrites bytes already written (or leaves a hole of zeros before them).
  bool WriteAt(uint64_t offset, std::string_view bytes);
  // Bytes appended so far.
  uint64_t Position() const { return position_; }
  // Flushes, syncs and renames over the target. False on failure, when the
  // target is left as it was.
  bool Commit();
  // Gives up: removes the temporary file.
  void Discard();

  const std::string& Error() const { return error_; }

 private:
  bool Flush();
  bool Fail(const std::string& what, int err);

  int fd_ = -1;
  std::string target_;
  std::string temp_;
  std::vector<char> buffer_;
  uint64_t position_ = 0;   // logical end (appends)
  uint64_t flushedTo_ = 0;  // bytes of the buffer already on the file
  bool failed_ = false;
  std::string error_;
};
