// The one way a file is written as a whole: the new content goes to a
// temporary file in the same directory, is flushed to the disk and then
// renamed over the old file, so a crash or power loss leaves either the old
// or the new file, never a torn one.
//
// Temporary files are named "<file name>.tmp-XXXXXX" and are locked (flock)
// by their writer from creation until the rename. A writer that is killed
// leaves its temporary file behind; the next AtomicWriteFile of the same
// target removes every such file that no live writer holds a lock on before
// it creates its own. So at most one stale temporary file per target exists
// at any time, and it never replaces the target.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// A file written as a whole, piece by piece, without holding it in memory
// (large chart files). The bytes go to the temporary file; Commit flushes it
// to the disk and renames it over the target, exactly as AtomicWriteFile
// does. Until Commit the old file stays as it was; a writer destroyed
// without Commit removes its temporary file.
class TAtomicFileWriter {
 public:
  TAtomicFileWriter() = default;
  ~TAtomicFileWriter();
  TAtomicFileWriter(const TAtomicFileWriter&) = delete;
  TAtomicFileWriter& operator=(const TAtomicFileWriter&) = delete;

  // Creates the temporary file for `target` (after removing stale ones of
  // dead writers). False (and Error()) on failure.
  bool Create(const std::string& target);
  // Appends bytes (buffered).
  bool Write(std::string_view bytes);
  bool Write(const void* data, size_t n) { return Write(std::string_view(static_cast<const char*>(data), n)); }
  // Overwrites bytes already written (or leaves a hole of zeros before them).
  bool WriteAt(uint64_t offset, std::string_view bytes);
  // Bytes appended so far.
  uint64_t Position() const { return position_; }
  // Flushes, syncs and renames over the target. False on failure, when the
  // target is left as it was and the temporary file is gone.
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

// Writes `bytes` to `path` atomically. An existing file keeps its permission
// bits (and, where the process may set it, its owner); a new file gets 0644.
// When `path` is a symbolic link, the file it points to is replaced and the
// link stays. On failure the old file is untouched, the temporary file is
// removed, false is returned and `error` (when given) says why.
bool AtomicWriteFile(const std::string& path, std::string_view bytes, std::string* error = nullptr);

// Reads a whole regular file of at most `maxBytes` bytes. False when it
// cannot be opened or read, is not a regular file (a pipe or a device
// named by mistake would block or never end), or holds more bytes.
inline constexpr uint64_t kReadWholeFileLimit = uint64_t{1} << 30;
bool ReadWholeFile(const std::string& path, std::string& bytes, std::string* error = nullptr,
                   uint64_t maxBytes = kReadWholeFileLimit);

// True when `name` (a bare file name) has the form of a temporary file of
// AtomicWriteFile for the target named `target` (a bare file name).
bool IsAtomicTempName(std::string_view name, std::string_view target);
