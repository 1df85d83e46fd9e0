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
#include <locale>
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

// Whether the path takes writing: a new file in a directory (removed
// again), an append to a file (of nothing).
bool Writable(const std::string& path, bool isDir) {
  if (!isDir) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_APPEND);
    if (fd < 0) return false;
    ::close(fd);
    return true;
  }
  const std::string probe = path + "/.write-probe";
  const int fd = ::open(probe.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0644);
  if (fd < 0) return false;
  ::close(fd);
  ::unlink(probe.c_str());
  return true;
}

bool SetImmutable(const std::string& path, bool on) {
#ifndef __linux__
  (void)path;
  (void)on;
  return false;
#else
  const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK);
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

TUnwritable::TUnwritable(std::string path) : path_(std::move(path)) {
  struct stat st {};
  if (::stat(path_.c_str(), &st) != 0) return;
  isDir_ = S_ISDIR(st.st_mode);
  mode_ = st.st_mode & 07777;
  if (::chmod(path_.c_str(), isDir_ ? 0555 : 0444) == 0) {
    chmodded_ = true;
    if (!Writable(path_, isDir_)) {
      ok_ = true;
      return;
    }
  }
  // Root is not stopped by the permission bits.
  if (SetImmutable(path_, true)) {
    immutable_ = true;
    ok_ = !Writable(path_, isDir_);
  }
}

TUnwritable::~TUnwritable() { Restore(); }

void TUnwritable::Restore() {
  if (immutable_) SetImmutable(path_, false);
  if (chmodded_) ::chmod(path_.c_str(), mode_);
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

bool BrtoolChartPoint(const std::string& command, const std::string& chart, double a, double b, double& outA,
                      double& outB) {
  std::ostringstream args;
  args.imbue(std::locale::classic());
  args.precision(17);
  args << "chart " << command << " '" << chart << "' " << a << " " << b;
  const TProgramRun r = Brtool(args.str());
  if (r.status != 0) return false;
  std::istringstream in(r.out);
  in.imbue(std::locale::classic());
  return static_cast<bool>(in >> outA >> outB);
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
