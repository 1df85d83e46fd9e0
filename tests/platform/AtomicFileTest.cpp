#include "platform/AtomicFile.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "TestSupport.h"
#include "ChildProcess.h"

namespace {

std::vector<std::string> TempFilesOf(const std::string& dir, const std::string& name) {
  std::vector<std::string> found;
  DIR* d = ::opendir(dir.c_str());
  if (!d) return found;
  while (dirent* e = ::readdir(d))
    if (std::string(e->d_name).starts_with(name + ".tmp-")) found.emplace_back(e->d_name);
  ::closedir(d);
  return found;
}

mode_t ModeOf(const std::string& path) {
  struct stat st{};
  ::stat(path.c_str(), &st);
  return st.st_mode & 07777;
}

// A large content that differs from the others in every block, so that a
// mix of two versions cannot pass for one of them.
std::string Version(char tag, size_t size) {
  std::string s(size, tag);
  for (size_t i = 0; i < size; i += 4096) s[i] = static_cast<char>('0' + (i / 4096) % 10);
  return s;
}

}  // namespace

TEST(AtomicWriteFile, WritesReplacesAndReadsBack) {
  TTempDir dir;
  std::string path = dir / "BRISMARE_2.INI";
  std::string error;
  ASSERT_TRUE(AtomicWriteFile(path, "[Program Setup]\r\nChart Dir=.\\CHARTS\r\n", &error)) << error;
  ASSERT_TRUE(AtomicWriteFile(path, "short", &error)) << error;
  std::string back;
  ASSERT_TRUE(ReadWholeFile(path, back, &error)) << error;
  EXPECT_EQ(back, "short");
  ASSERT_TRUE(AtomicWriteFile(path, "", &error)) << error;
  ASSERT_TRUE(ReadWholeFile(path, back));
  EXPECT_EQ(back, "");
  EXPECT_EQ(ModeOf(path), 0644u);
  EXPECT_TRUE(TempFilesOf(dir.path(), "BRISMARE_2.INI").empty());
}

TEST(AtomicWriteFile, KeepsPermissionsAndSymbolicLinks) {
  TTempDir dir;
  std::string real = dir / "real.ini";
  WriteTestFile(real, "old");
  ASSERT_EQ(::chmod(real.c_str(), 0600), 0);
  std::string link = dir / "BRISMARE_2.INI";
  ASSERT_EQ(::symlink("real.ini", link.c_str()), 0);

  std::string error;
  ASSERT_TRUE(AtomicWriteFile(link, "new", &error)) << error;
  struct stat st{};
  ASSERT_EQ(::lstat(link.c_str(), &st), 0);
  EXPECT_TRUE(S_ISLNK(st.st_mode)) << "the link was replaced by a file";
  EXPECT_EQ(ReadTestFile(real), "new");
  EXPECT_EQ(ModeOf(real), 0600u);

  ASSERT_EQ(::chmod(real.c_str(), 0444), 0);  // a read-only file may still be replaced by its owner
  ASSERT_TRUE(AtomicWriteFile(real, "newer", &error)) << error;
  EXPECT_EQ(ModeOf(real), 0444u);
  EXPECT_EQ(ReadTestFile(real), "newer");
}

TEST(AtomicWriteFile, FailuresKeepTheOldFileAndLeaveNoTemporaryFile) {
  TTempDir dir;
  std::string error;
  EXPECT_FALSE(AtomicWriteFile(dir.path() + "missing/x.ini", "x", &error));
  EXPECT_NE(error.find("missing/x.ini"), std::string::npos) << error;
  EXPECT_FALSE(AtomicWriteFile(dir.path(), "x", &error)) << "a directory is no file";
  EXPECT_FALSE(AtomicWriteFile("", "x", &error));

  // A directory the user may not write to.
  std::string locked = dir / "locked";
  ASSERT_EQ(::mkdir(locked.c_str(), 0755), 0);
  std::string path = locked + "/BRAINDEX.BIN";
  WriteTestFile(path, "old catalog");
  ASSERT_EQ(::chmod(locked.c_str(), 0555), 0);
  ASSERT_EQ(::chmod(dir.path().c_str(), 0755), 0);
  int code = RunInChild([&] {
    if (!DropRootInChild()) return 2;
    std::string err;
    if (AtomicWriteFile(path, "new catalog", &err)) return 3;
    return err.find("BRAINDEX.BIN") != std::string::npos ? 0 : 4;
  });
  EXPECT_EQ(code, 0);
  EXPECT_EQ(ReadTestFile(path), "old catalog");
  EXPECT_TRUE(TempFilesOf(locked, "BRAINDEX.BIN").empty());
  ::chmod(locked.c_str(), 0755);
}

TEST(AtomicWriteFile, FullDiskKeepsTheOldFile) {
  TTempDir dir;
  std::string path = dir / "T_RTALD.SRW";
  WriteTestFile(path, "old route");
  int code = RunInChild([&] {
    if (!LimitFileSizeInChild(64 * 1024)) return 2;
    std::string err;
    if (AtomicWriteFile(path, std::string(1 << 20, 'r'), &err)) return 3;
    return err.empty() ? 4 : 0;
  });
  EXPECT_EQ(code, 0);
  EXPECT_EQ(ReadTestFile(path), "old route");
  EXPECT_TRUE(TempFilesOf(dir.path(), "T_RTALD.SRW").empty());
}

TEST(AtomicWriteFile, RemovesStaleTemporaryFilesButNotOnesBeingWritten) {
  TTempDir dir;
  std::string path = dir / "CHARTCAL.DIR";
  WriteTestFile(dir / "CHARTCAL.DIR.tmp-AbC123", "left by a writer that died");
  WriteTestFile(dir / "CHARTCAL.DIR.tmp-busy01", "being written");
  WriteTestFile(dir / "CHARTCAL.DIR.tmp-toolong1", "not ours: other name form");
  WriteTestFile(dir / "OTHER.DIR.tmp-AbC123", "another target's");
  int busy = ::open((dir / "CHARTCAL.DIR.tmp-busy01").c_str(), O_RDONLY | O_CLOEXEC);
  ASSERT_GE(busy, 0);
  ASSERT_EQ(::flock(busy, LOCK_EX), 0);

  // The lock is held by this process, but flock locks belong to the open
  // file, so the writer's own attempt to lock through a new open fails.
  ASSERT_TRUE(AtomicWriteFile(path, "[CHART]\n"));
  EXPECT_FALSE(TestFileExists(dir / "CHARTCAL.DIR.tmp-AbC123"));
  EXPECT_TRUE(TestFileExists(dir / "CHARTCAL.DIR.tmp-busy01"));
  EXPECT_TRUE(TestFileExists(dir / "CHARTCAL.DIR.tmp-toolong1"));
  EXPECT_TRUE(TestFileExists(dir / "OTHER.DIR.tmp-AbC123"));
  ::close(busy);

  EXPECT_TRUE(IsAtomicTempName("x.ini.tmp-a1B2c3", "x.ini"));
  EXPECT_FALSE(IsAtomicTempName("x.ini.tmp-a1B2c", "x.ini"));
  EXPECT_FALSE(IsAtomicTempName("y.ini.tmp-a1B2c3", "x.ini"));
}

// A writer killed at any moment leaves the file equal to one complete
// version, and at most the one temporary file of the last killed writer.
TEST(AtomicWriteFile, WriterKilledAtRandomMomentsNeverTearsTheFile) {
  TTempDir dir;
  const std::string path = dir / "BRAINDEX.BIN";
  const std::vector<std::string> versions = {Version('a', 3 << 20), Version('b', 2 << 20), Version('c', 1 << 20),
                                             Version('d', 100)};
  ASSERT_TRUE(AtomicWriteFile(path, versions[0]));

  std::mt19937 random(20250101);
  std::uniform_int_distribution<long> delayUs(0, 40000);
  int landedDuringWrite = 0;
  for (int round = 0; round < 40; ++round) {
    std::fflush(nullptr);
    pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
      for (size_t i = 0;; ++i) AtomicWriteFile(path, versions[(i + static_cast<size_t>(round)) % versions.size()]);
    }
    long us = delayUs(random);
    timespec ts{us / 1000000, (us % 1000000) * 1000};
    ::nanosleep(&ts, nullptr);
    ::kill(pid, SIGKILL);
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);

    std::string now = ReadTestFile(path);
    bool complete = false;
    for (const std::string& v : versions) complete = complete || now == v;
    ASSERT_TRUE(complete) << "round " << round << ": torn file of " << now.size() << " bytes";
    size_t temps = TempFilesOf(dir.path(), "BRAINDEX.BIN").size();
    ASSERT_LE(temps, 1u) << "round " << round;
    landedDuringWrite += temps == 1;
  }
  // The next writer clears what the last one left.
  ASSERT_TRUE(AtomicWriteFile(path, "final"));
  EXPECT_TRUE(TempFilesOf(dir.path(), "BRAINDEX.BIN").empty());
  EXPECT_EQ(ReadTestFile(path), "final");
  RecordProperty("kills during a write", landedDuringWrite);
}

// What cannot be read whole is refused with its name in the error, and
// never blocks: a missing file, a FIFO without a writer, a device that
// never ends, a file above the limit.
TEST(ReadWholeFile, RefusesWhatItCannotReadWhole) {
  TTempDir dir;
  const std::string fifo = dir / "settings.fifo";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  WriteTestFile(dir / "big.cal", std::string(5000, 'x'));
  struct Case {
    std::string path;
    uint64_t limit;
  } cases[] = {
      {dir / "nope.ini", kReadWholeFileLimit},
      {fifo, kReadWholeFileLimit},
      {"/dev/zero", kReadWholeFileLimit},
      {dir / "big.cal", 4999},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    std::string bytes = "stale", error;
    EXPECT_FALSE(ReadWholeFile(c.path, bytes, &error, c.limit));
    EXPECT_TRUE(bytes.empty());
    EXPECT_NE(error.find(c.path), std::string::npos) << error;
  }
  std::string bytes;
  EXPECT_TRUE(ReadWholeFile(dir / "big.cal", bytes, nullptr, 5000));
  EXPECT_EQ(bytes.size(), 5000u);
  // Files of /proc report a size of 0 and are read as far as they go.
  EXPECT_TRUE(ReadWholeFile("/proc/self/status", bytes));
  EXPECT_NE(bytes.find("Name:"), std::string::npos);
}
