#include "TestSupport.h"

#include <fcntl.h>
#ifdef __linux__
#include <linux/fs.h>
#include <sys/ioctl.h>
#endif
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <utility>
#include <vector>

TTempDir::TTempDir() {
  const char* base = std::getenv("TMPDIR");
  std::string tmpl = std::string(base && *base ? base : "/tmp") + "/brismare-test-XXXXXX";
  std::vector<char> buf(tmpl.begin(), tmpl.end());
  buf.push_back('\0');
  if (!::mkdtemp(buf.data())) throw std::runtime_error("mkdtemp failed");
  path_ = std::string(buf.data()) + "/";
}

TTempDir::~TTempDir() {
  std::error_code ec;
  std::filesystem::remove_all(path_, ec);
}

namespace {

// Whether a new file can be made in the directory (it is removed again).
bool CanCreateIn(const std::string& dir) {
  const std::string probe = dir + "/.write-probe";
  const int fd = ::open(probe.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0644);
  if (fd < 0) return false;
  ::close(fd);
  ::unlink(probe.c_str());
  return true;
}

bool SetImmutable(const std::string& dir, bool on) {
#ifndef __linux__
  (void)dir;
  (void)on;
  return false;
#else
  const int fd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY);
  if (fd < 0) return false;
  int flags = 0;
  bool ok = ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
  if (ok) {
    flags = on ? (flags | FS_IMMUTABLE_FL) : (flags & ~FS_IMMUTABLE_FL);
    ok = ::ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
  }
  ::close(fd);
  return ok;
#endif
}

}  // namespace

TUnwritableDir::TUnwritableDir(std::string dir) : dir_(std::move(dir)) {
  if (::chmod(dir_.c_str(), 0555) == 0) {
    chmodded_ = true;
    if (!CanCreateIn(dir_)) {
      ok_ = true;
      return;
    }
  }
  // Root is not stopped by the permission bits.
  if (SetImmutable(dir_, true)) {
    immutable_ = true;
    ok_ = !CanCreateIn(dir_);
  }
}

TUnwritableDir::~TUnwritableDir() { Restore(); }

void TUnwritableDir::Restore() {
  if (immutable_) SetImmutable(dir_, false);
  if (chmodded_) ::chmod(dir_.c_str(), 0755);
  immutable_ = chmodded_ = false;
}

void WriteTestFile(const std::string& path, std::string_view bytes) {
  std::ofstream f(path, std::ios::binary | std::ios::trunc);
  f.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (!f) throw std::runtime_error("cannot write " + path);
}

std::string ReadTestFile(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  std::ostringstream s;
  s << f.rdbuf();
  return s.str();
}

bool TestFileExists(const std::string& path) {
  struct stat st{};
  return ::stat(path.c_str(), &st) == 0;
}

std::string TestDataFile(std::string_view relative) {
  const char* env = std::getenv("BRISMARE_TESTDATA");
  std::string dir = env && *env ? env : BRISMARE_TESTDATA_DIR;
  std::string path = dir + "/" + std::string(relative);
  return TestFileExists(path) ? path : std::string();
}

bool ProgramBuilt(const std::string& program) {
  return TestFileExists(std::string(BRISMARE_BIN_DIR) + "/" + program);
}

TProgramRun RunBuiltProgram(const std::string& program, const std::string& args) {
  TProgramRun r;
  const std::string cmd = "\"" + std::string(BRISMARE_BIN_DIR) + "/" + program + "\" " + args + " 2>/dev/null";
  FILE* p = ::popen(cmd.c_str(), "r");
  if (!p) return r;
  char buf[4096];
  size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, p)) > 0) r.out.append(buf, n);
  const int st = ::pclose(p);
  r.status = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
  return r;
}
