// Append-only record files: the daily track files (fixed-size binary
// records), the log book and the NMEA capture file (text lines).
//
// Such a file is never rewritten. Each record goes to the file with one
// write as soon as it is appended, so a program crash loses nothing already
// appended. A crash or power loss in the middle of a write can leave a torn
// last record; the file is therefore cut back to the end of its last whole
// record when it is opened for appending (the bytes cut off are added to
// "<file>.torn" first, so a line typed without a final line end is not
// lost), and a failed append removes what part of its record reached the
// file. Readers take only whole records. A file open for appending is
// locked: a second writer, in this or another program, is refused.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// How a file is cut into records.
struct TRecordFraming {
  bool lines = true;      // text lines, each ending in "\n"
  size_t recordSize = 0;  // bytes per record when not lines

  static TRecordFraming Fixed(size_t n) { return TRecordFraming{false, n}; }
  static TRecordFraming Lines() { return TRecordFraming{true, 0}; }
  bool IsLines() const { return lines; }
  bool IsValid() const { return lines || recordSize > 0; }
};

// Length of the longest prefix of `bytes` made of whole records (0 for an
// invalid framing).
size_t WholeRecordsLength(std::string_view bytes, TRecordFraming framing);

// Added to a record file's name for the file that keeps what Open cut off.
inline constexpr const char* kTornSuffix = ".torn";

class TAppendFile {
 public:
  TAppendFile() = default;
  ~TAppendFile();
  TAppendFile(const TAppendFile&) = delete;
  TAppendFile& operator=(const TAppendFile&) = delete;

  // Opens (creating it when missing) a file for appending and cuts it back
  // to its last whole record, keeping what it cuts off in "<path>.torn".
  // Fails, changing nothing, when another writer has the file open or the
  // cut-off bytes cannot be kept. A fixed framing needs a record size above 0.
  bool Open(const std::string& path, TRecordFraming framing);
  // Appends one whole record. With fixed records `record` must be exactly one
  // record long; with line records a missing final "\n" is added (text may
  // hold further "\n", each then ends a record of its own). `sync` also
  // waits until the data is on the disk (fdatasync). On failure (disk full,
  // read-only medium, ...) false with LastError(); the file then still ends
  // with a whole record. When only the fdatasync fails the record was
  // written, but may not be on the disk; false is returned as well.
  bool Append(std::string_view record, bool sync = false);
  // Closes the file; false when the system reports a failure on closing.
  bool Close();

  bool IsOpen() const { return fd_ >= 0; }
  const std::string& Path() const { return path_; }
  // Bytes in the file (whole records only).
  uint64_t Size() const { return size_; }
  // Bytes of a torn last record that Open cut off.
  uint64_t TrimmedAtOpen() const { return trimmed_; }
  const std::string& LastError() const { return error_; }

 private:
  bool Fail(const std::string& text);
  bool Repair();

  int fd_ = -1;
  std::string path_;
  TRecordFraming framing_;
  uint64_t size_ = 0;
  uint64_t trimmed_ = 0;
  bool needsRepair_ = false;
  std::string error_;
};

// Reads a record file and keeps only its whole records (a torn last record
// is left out). False when the file cannot be read.
bool ReadWholeRecords(const std::string& path, TRecordFraming framing, std::string& bytes,
                      std::string* error = nullptr);

// The records of `bytes` (whole records only; line records keep their "\n").
std::vector<std::string_view> SplitRecords(std::string_view bytes, TRecordFraming framing);
