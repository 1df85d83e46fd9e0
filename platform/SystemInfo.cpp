#include "platform/SystemInfo.h"

#include <sys/utsname.h>
#include <unistd.h>

#include <charconv>
#include <string_view>
#include <vector>

#include "platform/AtomicFile.h"

namespace {

// Limits at or above this are the kernel's way of saying "none"
// (cgroup v1 reports 0x7FFFFFFFFFFFF000).
constexpr uint64_t kNoLimit = uint64_t{1} << 62;

std::string_view Trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t' || s.front() == '\n' || s.front() == '\r'))
    s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\n' || s.back() == '\r'))
    s.remove_suffix(1);
  return s;
}

std::optional<uint64_t> ReadLimitFile(const std::string& path) {
  std::string text;
  if (!ReadWholeFile(path, text)) return std::nullopt;
  std::string_view v = Trim(text);
  if (v.empty() || v == "max") return std::nullopt;
  uint64_t value = 0;
  auto [end, ec] = std::from_chars(v.data(), v.data() + v.size(), value);
  if (ec != std::errc() || end != v.data() + v.size() || value == 0 || value >= kNoLimit) return std::nullopt;
  return value;
}

// The smallest limit in `file` of `dir` + `cgroupPath` and each directory
// above it up to `dir`.
std::optional<uint64_t> SmallestAlongPath(const std::string& dir, std::string_view cgroupPath,
                                          const std::string& file) {
  std::optional<uint64_t> best;
  std::string path(cgroupPath);
  if (path.empty() || path[0] != '/') path.insert(path.begin(), '/');
  // A cgroup path never holds "..", but the text comes from a file.
  if (path.find("/..") != std::string::npos) path = "/";
  for (;;) {
    while (path.size() > 1 && path.back() == '/') path.pop_back();
    std::string candidate = dir + (path == "/" ? std::string() : path) + "/" + file;
    if (auto v = ReadLimitFile(candidate); v && (!best || *v < *best)) best = v;
    if (path == "/") break;
    size_t slash = path.find_last_of('/');
    path = slash == 0 ? std::string("/") : path.substr(0, slash);
  }
  return best;
}

std::string OsReleaseName() {
  std::string text;
  if (!ReadWholeFile("/etc/os-release", text) && !ReadWholeFile("/usr/lib/os-release", text)) return std::string();
  size_t pos = 0;
  while (pos < text.size()) {
    size_t end = text.find('\n', pos);
    if (end == std::string::npos) end = text.size();
    std::string_view line = Trim(std::string_view(text).substr(pos, end - pos));
    pos = end + 1;
    constexpr std::string_view kKey = "PRETTY_NAME=";
    if (!line.starts_with(kKey)) continue;
    std::string_view v = line.substr(kKey.size());
    if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front())
      v = v.substr(1, v.size() - 2);
    std::string out;
    for (size_t i = 0; i < v.size(); ++i) {
      if (v[i] == '\\' && i + 1 < v.size()) ++i;
      out += v[i];
    }
    return out;
  }
  return std::string();
}

}  // namespace

std::optional<uint64_t> CgroupMemoryLimit(const std::string& procSelfCgroup, const std::string& cgroupRoot) {
  std::string text;
  if (!ReadWholeFile(procSelfCgroup, text)) return std::nullopt;
  std::optional<uint64_t> best;
  auto take = [&](std::optional<uint64_t> v) {
    if (v && (!best || *v < *best)) best = v;
  };
  size_t pos = 0;
  while (pos < text.size()) {
    size_t end = text.find('\n', pos);
    if (end == std::string::npos) end = text.size();
    std::string_view line = Trim(std::string_view(text).substr(pos, end - pos));
    pos = end + 1;
    // hierarchy-ID:controller-list:cgroup-path
    size_t c1 = line.find(':');
    if (c1 == std::string_view::npos) continue;
    size_t c2 = line.find(':', c1 + 1);
    if (c2 == std::string_view::npos) continue;
    std::string_view id = line.substr(0, c1);
    std::string_view controllers = line.substr(c1 + 1, c2 - c1 - 1);
    std::string_view path = line.substr(c2 + 1);
    if (id == "0" && controllers.empty()) {
      take(SmallestAlongPath(cgroupRoot, path, "memory.max"));
      // Hybrid layout: the unified hierarchy sits below "unified".
      take(SmallestAlongPath(cgroupRoot + "/unified", path, "memory.max"));
      continue;
    }
    bool memory = false;
    for (size_t p = 0; p <= controllers.size();) {
      size_t comma = controllers.find(',', p);
      if (comma == std::string_view::npos) comma = controllers.size();
      if (controllers.substr(p, comma - p) == "memory") memory = true;
      p = comma + 1;
    }
    if (memory) take(SmallestAlongPath(cgroupRoot + "/memory", path, "memory.limit_in_bytes"));
  }
  return best;
}

uint64_t TotalPhysicalMemory() {
  uint64_t total = 0;
  long pages = ::sysconf(_SC_PHYS_PAGES);
  long pageSize = ::sysconf(_SC_PAGE_SIZE);
  if (pages > 0 && pageSize > 0) {
    auto p = static_cast<uint64_t>(pages);
    auto s = static_cast<uint64_t>(pageSize);
    total = p > UINT64_MAX / s ? UINT64_MAX : p * s;
  }
  if (auto limit = CgroupMemoryLimit(); limit && (total == 0 || *limit < total)) total = *limit;
  return total;
}

std::string OsDescription() {
  std::string name = OsReleaseName();
  std::string kernel;
  utsname u{};
  if (::uname(&u) == 0) kernel = std::string(u.sysname) + " " + u.release + " " + u.machine;
  if (name.empty()) return kernel.empty() ? std::string("Unknown system") : kernel;
  if (kernel.empty()) return name;
  return name + "; " + kernel;
}
