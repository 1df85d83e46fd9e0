#include "TestSupport.h"

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
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
