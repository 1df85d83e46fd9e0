#include "platform/Paths.h"

#include <dirent.h>
#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <vector>

#include "platform/AtomicFile.h"
#include "platform/TextBasics.h"

namespace {

bool IsDirectory(const std::string& path) {
  struct stat st{};
  return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool Exists(const std::string& path) {
  struct stat st{};
  return ::stat(path.c_str(), &st) == 0;
}

std::string Env(const char* name) {
  const char* v = std::getenv(name);
  return v ? std::string(v) : std::string();
}

std::string CurrentDir() {
  std::vector<char> buf(4096);
  for (;;) {
    if (::getcwd(buf.data(), buf.size())) return WithTrailingSlash(buf.data());
    if (errno != ERANGE || buf.size() > (1u << 20)) return std::string();
    buf.resize(buf.size() * 2);
  }
}

std::string ComputeProgramDir() {
  std::vector<char> buf(4096);
  for (;;) {
    ssize_t n = ::readlink("/proc/self/exe", buf.data(), buf.size());
    if (n < 0) break;
    if (static_cast<size_t>(n) < buf.size()) {
      std::string exe(buf.data(), static_cast<size_t>(n));
      // A program file replaced while running reads "... (deleted)".
      constexpr std::string_view kDeleted = " (deleted)";
      if (exe.size() > kDeleted.size() && exe.ends_with(kDeleted)) exe.resize(exe.size() - kDeleted.size());
      size_t slash = exe.find_last_of('/');
      if (slash == std::string::npos) break;
      return exe.substr(0, slash + 1);
    }
    if (buf.size() > (1u << 20)) break;
    buf.resize(buf.size() * 2);
  }
  std::string cwd = CurrentDir();
  return cwd.empty() ? std::string("./") : cwd;
}

// mkdir -p. Existing directories are fine; true when `dir` is a directory at the end.
bool MakeDirs(const std::string& dir, mode_t mode) {
  if (dir.empty()) return false;
  std::string path;
  size_t pos = 0;
  while (pos <= dir.size()) {
    size_t next = dir.find('/', pos);
    if (next == std::string::npos) next = dir.size();
    path = dir.substr(0, next);
    if (!path.empty() && !IsDirectory(path)) {
      if (::mkdir(path.c_str(), mode) != 0 && errno != EEXIST) return false;
    }
    pos = next + 1;
  }
  return IsDirectory(dir);
}

bool IsWritableDir(const std::string& dir) {
  return IsDirectory(dir) && ::faccessat(AT_FDCWD, dir.c_str(), W_OK | X_OK, AT_EACCESS) == 0;
}

std::string HomeDir() {
  std::string home = Env("HOME");
  if (!home.empty() && home[0] == '/') return WithTrailingSlash(home);
  long size = ::sysconf(_SC_GETPW_R_SIZE_MAX);
  std::vector<char> buf(size > 0 ? static_cast<size_t>(size) : 16384);
  passwd pw{};
  passwd* found = nullptr;
  if (::getpwuid_r(::getuid(), &pw, buf.data(), buf.size(), &found) == 0 && found && found->pw_dir &&
      found->pw_dir[0] == '/')
    return WithTrailingSlash(found->pw_dir);
  return std::string();
}

// An XDG base directory variable: only absolute values count.
std::string XdgDir(const char* var, const char* fallbackUnderHome) {
  std::string v = Env(var);
  if (!v.empty() && v[0] == '/') return WithTrailingSlash(v);
  std::string home = HomeDir();
  if (home.empty()) return std::string();
  return home + fallbackUnderHome;
}

// Expands the value of a user-dirs.dirs line: "$HOME/x" or an absolute path.
std::string ExpandUserDir(std::string value, const std::string& home) {
  if (value.size() >= 2 && value.front() == '"' && value.back() == '"') value = value.substr(1, value.size() - 2);
  if (value.starts_with("$HOME")) {
    if (home.empty()) return std::string();
    std::string rest = value.substr(5);
    while (!rest.empty() && rest[0] == '/') rest.erase(0, 1);
    return WithTrailingSlash(home + rest);
  }
  if (!value.empty() && value[0] == '/') return WithTrailingSlash(value);
  return std::string();
}

std::string DocumentsDir() {
  std::string home = HomeDir();
  std::string v = Env("XDG_DOCUMENTS_DIR");
  if (!v.empty()) {
    std::string d = ExpandUserDir(v, home);
    if (!d.empty()) return d;
  }
  std::string config = XdgDir("XDG_CONFIG_HOME", ".config/");
  std::string text;
  if (!config.empty() && ReadWholeFile(config + "user-dirs.dirs", text)) {
    size_t pos = 0;
    while (pos < text.size()) {
      size_t end = text.find('\n', pos);
      if (end == std::string::npos) end = text.size();
      std::string_view line(text.data() + pos, end - pos);
      pos = end + 1;
      while (!line.empty() && (line.front() == ' ' || line.front() == '\t')) line.remove_prefix(1);
      while (!line.empty() && (line.back() == ' ' || line.back() == '\t' || line.back() == '\r')) line.remove_suffix(1);
      constexpr std::string_view kKey = "XDG_DOCUMENTS_DIR=";
      if (!line.starts_with(kKey)) continue;
      std::string d = ExpandUserDir(std::string(line.substr(kKey.size())), home);
      if (!d.empty()) return d;
    }
  }
  if (home.empty()) return std::string();
  if (IsDirectory(home + "Documents")) return home + "Documents/";
  return home;
}

// Finds one name component in `dir` ("" = current directory; else with a
// trailing "/"). Returns the entry's real name.
std::optional<std::string> FindEntry(const std::string& dir, const std::string& name) {
  if (Exists(dir + name)) return name;
  DIR* d = ::opendir(dir.empty() ? "." : dir.c_str());
  if (!d) return std::nullopt;
  std::string want = FoldCase(name);
  std::vector<std::string> matches;
  while (dirent* e = ::readdir(d)) {
    std::string_view entry(e->d_name);
    if (entry == "." || entry == "..") continue;
    if (entry.size() == name.size() && FoldCase(entry) == want) matches.emplace_back(entry);
  }
  ::closedir(d);
  if (matches.empty()) return std::nullopt;
  std::sort(matches.begin(), matches.end());
  return matches.front();
}

std::mutex gDataDirMutex;
std::optional<std::string> gDataDir;

}  // namespace

const std::string& ProgramDir() {
  static const std::string dir = ComputeProgramDir();
  return dir;
}

std::string InstalledShareDir(const std::string& programDir) {
  // The program directory holds no symbolic link (it comes from
  // /proc/self/exe), so its ".." may be folded: "/usr/bin/../share" is
  // "/usr/share".
  const std::string joined = WithTrailingSlash(programDir) + BRISMARE_SHARE_FROM_BIN;
  if (!IsAbsolutePath(joined)) return joined;
  return WithTrailingSlash(std::filesystem::path(joined).lexically_normal().string());
}

bool IsInstalledProgramDir(const std::string& programDir) {
  return !programDir.empty() && IsDirectory(InstalledShareDir(programDir));
}

std::string ComputeDataDir(const std::string& programDir) {
  std::string env = Env("BRISMARE_DIR");
  if (!env.empty()) {
    std::string dir = ToNativePath(env);
    if (!IsAbsolutePath(dir)) {
      std::string cwd = CurrentDir();
      dir = cwd + (dir.starts_with("./") ? dir.substr(2) : dir == "." ? std::string() : dir);
    }
    dir = WithTrailingSlash(dir);
    // An explicit choice is kept even when it cannot be created: writing then
    // fails with a message naming it, instead of silently going elsewhere.
    MakeDirs(dir, 0755);
    return dir;
  }
  // An installed program keeps nothing beside itself, even when its
  // directory is writable (for root, say).
  if (!programDir.empty() && IsWritableDir(programDir) && !IsInstalledProgramDir(programDir))
    return WithTrailingSlash(programDir);
  std::string data = XdgDir("XDG_DATA_HOME", ".local/share/");
  if (data.empty()) return WithTrailingSlash(programDir);
  std::string dir = data + "brismare/";
  MakeDirs(dir, 0700);
  return dir;
}

std::string DataDir() {
  std::lock_guard<std::mutex> lock(gDataDirMutex);
  if (!gDataDir) gDataDir = ComputeDataDir(ProgramDir());
  return *gDataDir;
}

void ResetDataDir() {
  std::lock_guard<std::mutex> lock(gDataDirMutex);
  gDataDir.reset();
}

std::string ToNativePath(std::string_view stored) {
  std::string s(stored);
  std::replace(s.begin(), s.end(), '\\', '/');
  if (s.empty() || s == ".") return s;

  const bool absolute = s[0] == '/';
  const bool leadingDot = !absolute && s.starts_with("./");
  const bool trailing = s.back() == '/' || s.ends_with("/.");

  std::string out = absolute ? "/" : leadingDot ? "./" : "";
  bool first = true;
  size_t pos = 0;
  while (pos <= s.size()) {
    size_t next = s.find('/', pos);
    if (next == std::string::npos) next = s.size();
    std::string_view part(s.data() + pos, next - pos);
    pos = next + 1;
    if (part.empty() || part == ".") continue;
    if (!first) out += '/';
    out += part;
    first = false;
  }
  if (trailing && !first) out += '/';
  return out;
}

bool IsForeignPath(std::string_view p) {
  if (p.size() >= 2 && p[1] == ':' && ((p[0] >= 'A' && p[0] <= 'Z') || (p[0] >= 'a' && p[0] <= 'z'))) return true;
  return p.starts_with("\\\\");
}

bool IsAbsolutePath(std::string_view p) { return !p.empty() && p[0] == '/'; }

std::string WithTrailingSlash(std::string_view dir) {
  std::string d(dir);
  if (!d.empty() && d.back() != '/') d += '/';
  return d;
}

std::string ResolveStoredPath(std::string_view stored, std::string_view baseDir) {
  if (stored.empty() || IsForeignPath(stored)) return std::string(stored);
  std::string p = ToNativePath(stored);
  if (IsAbsolutePath(p)) return p;
  if (p == ".")
    p.clear();
  else if (p.starts_with("./"))
    p.erase(0, 2);
  std::string base = WithTrailingSlash(baseDir);
  return base.empty() && p.empty() ? std::string("./") : base + p;
}

std::string ForeignFileName(std::string_view p) {
  size_t sep = p.find_last_of("\\/");
  if (sep != std::string_view::npos) return std::string(p.substr(sep + 1));
  if (IsForeignPath(p) && p[1] == ':') return std::string(p.substr(2));
  return std::string(p);
}

bool SameNameIgnoringCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && FoldCase(a) == FoldCase(b);
}

std::optional<std::string> FindFileCaseInsensitive(std::string_view dir, std::string_view name) {
  if (name.find('\0') != std::string_view::npos || dir.find('\0') != std::string_view::npos) return std::nullopt;
  std::string rel = ToNativePath(name);
  if (rel.empty() || IsAbsolutePath(rel)) return std::nullopt;
  std::vector<std::string> parts;
  size_t pos = 0;
  while (pos <= rel.size()) {
    size_t next = rel.find('/', pos);
    if (next == std::string::npos) next = rel.size();
    std::string part = rel.substr(pos, next - pos);
    pos = next + 1;
    if (!part.empty() && part != ".") parts.push_back(std::move(part));
  }
  if (parts.empty()) return std::nullopt;

  std::string current = WithTrailingSlash(dir);
  for (size_t i = 0; i < parts.size(); ++i) {
    if (parts[i] == "..") {
      current += "..";
    } else {
      std::optional<std::string> entry = FindEntry(current, parts[i]);
      if (!entry) return std::nullopt;
      current += *entry;
    }
    if (i + 1 < parts.size()) {
      if (!IsDirectory(current)) return std::nullopt;
      current += '/';
    }
  }
  if (!Exists(current)) return std::nullopt;
  return current;
}

std::optional<std::string> FindFileInDirs(const std::vector<std::string>& dirs, std::string_view name) {
  for (const std::string& dir : dirs)
    if (auto hit = FindFileCaseInsensitive(dir, name)) return hit;
  return std::nullopt;
}

std::vector<std::string> SplitDirList(std::string_view text) {
  std::vector<std::string> dirs;
  size_t pos = 0;
  while (pos <= text.size()) {
    size_t next = text.find(';', pos);
    if (next == std::string_view::npos) next = text.size();
    std::string_view item = text.substr(pos, next - pos);
    pos = next + 1;
    while (!item.empty() && (item.front() == ' ' || item.front() == '\t')) item.remove_prefix(1);
    while (!item.empty() && (item.back() == ' ' || item.back() == '\t' || item.back() == '\r' || item.back() == '\n'))
      item.remove_suffix(1);
    if (!item.empty()) dirs.emplace_back(item);
  }
  return dirs;
}

std::string SpecialFolderPath(TSpecialFolder folder) {
  switch (folder) {
    case TSpecialFolder::Home:
      return HomeDir();
    case TSpecialFolder::Documents:
      return DocumentsDir();
    case TSpecialFolder::Data:
      return XdgDir("XDG_DATA_HOME", ".local/share/");
    case TSpecialFolder::Temp:
      return TempDir();
  }
  return std::string();
}

std::string TempDir() {
  std::string t = Env("TMPDIR");
  if (!t.empty() && t[0] == '/' && IsDirectory(t)) return WithTrailingSlash(t);
  return "/tmp/";
}
