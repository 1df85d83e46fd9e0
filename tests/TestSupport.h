// Helpers shared by the test programs.
#pragma once

#include <gtest/gtest.h>
#include <sys/types.h>

#include <string>
#include <string_view>

// A fresh directory, removed with everything in it at the end of the test.
class TTempDir {
 public:
  TTempDir();
  ~TTempDir();
  TTempDir(const TTempDir&) = delete;
  TTempDir& operator=(const TTempDir&) = delete;
  // The directory with a trailing '/'.
  const std::string& path() const { return path_; }
  std::string operator/(std::string_view name) const { return path_ + std::string(name); }

 private:
  std::string path_;
};

// Makes a directory refuse new files and renames, or a file refuse writes,
// while the object lives: by the permission bits, or, for root (whom they
// do not stop), by the file system's immutable flag. Ok() is false when
// neither works here (the test should then skip).
class TUnwritable {
 public:
  explicit TUnwritable(std::string path);
  ~TUnwritable();
  TUnwritable(const TUnwritable&) = delete;
  TUnwritable& operator=(const TUnwritable&) = delete;
  bool Ok() const { return ok_; }

 private:
  void Restore();
  std::string path_;
  bool isDir_ = false;
  mode_t mode_ = 0;
  bool ok_ = false;
  bool immutable_ = false;
  bool chmodded_ = false;
};

void WriteTestFile(const std::string& path, std::string_view bytes);
std::string ReadTestFile(const std::string& path);
bool TestFileExists(const std::string& path);

// Runs a program of the build (bin directory) with the arguments, as a shell
// command line: its exit status (-1 when it did not exit normally) and
// standard output; standard error is dropped.
struct TProgramRun {
  int status = -1;
  std::string out;
};
TProgramRun RunBuiltProgram(const std::string& program, const std::string& args);
bool ProgramBuilt(const std::string& program);
inline TProgramRun Brtool(const std::string& args) { return RunBuiltProgram("brtool", args); }
// The two numbers "brtool chart pix2geo" or "chart geo2pix" (`command`)
// prints for a chart file and a point (x y, or longitude latitude in
// degrees); false when brtool fails or prints something else.
bool BrtoolChartPoint(const std::string& command, const std::string& chart, double a, double b, double& outA,
                      double& outB);

// Skips the current test when a program of the build is missing.
#define REQUIRE_PROGRAM(name) \
  if (!ProgramBuilt(name)) GTEST_SKIP() << (name) << " is not built in " << BRISMARE_BIN_DIR;

// Path of a file of the third-party test data, or "" when it is absent.
std::string TestDataFile(std::string_view relative);

// Skips the current test with a clear message when a test-data file is absent.
#define REQUIRE_TESTDATA(var, relative)                                                 \
  std::string var = TestDataFile(relative);                                             \
  if (var.empty()) {                                                                    \
    GTEST_SKIP() << "test data " << (relative) << " is absent (looked in "              \
                 << BRISMARE_TESTDATA_DIR << ")";                                       \
  }
