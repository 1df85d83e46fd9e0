#include "platform/SystemInfo.h"

#include <sys/stat.h>
#include <sys/utsname.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <array>
#include <optional>

#include "TestSupport.h"

namespace {

void MakeDirs(const std::string& path) {
  for (size_t p = 1; p <= path.size(); ++p)
    if (p == path.size() || path[p] == '/') ::mkdir(path.substr(0, p).c_str(), 0755);
}

// Writes `value` into `file` under the fake cgroup tree.
void Put(const std::string& root, const std::string& dir, const std::string& file, const std::string& value) {
  MakeDirs(root + dir);
  WriteTestFile(root + dir + "/" + file, value);
}

}  // namespace

TEST(SystemInfo, CgroupLimits) {
  constexpr uint64_t GiB = uint64_t{1} << 30;
  struct Case {
    const char* what;
    std::string procSelfCgroup;
    std::vector<std::array<std::string, 3>> files;  // directory, file, value
    std::optional<uint64_t> limit;
  } cases[] = {
      {"v2, limit on the group", "0::/user.slice/app.scope\n",
       {{"/user.slice/app.scope", "memory.max", "2147483648\n"}}, 2 * GiB},
      {"v2, smaller limit further up", "0::/user.slice/app.scope\n",
       {{"/user.slice/app.scope", "memory.max", "max\n"}, {"/user.slice", "memory.max", "1073741824\n"}}, GiB},
      {"v2, no limit", "0::/user.slice/app.scope\n", {{"/user.slice/app.scope", "memory.max", "max\n"}},
       std::nullopt},
      {"v2, namespaced root", "0::/\n", {{"", "memory.max", "536870912\n"}}, GiB / 2},
      {"v1, unlimited", "4:memory:/process_api/x\n1:cpu:/\n",
       {{"/memory/process_api/x", "memory.limit_in_bytes", "9223372036854771712\n"}}, std::nullopt},
      {"v1, limited among other controllers", "9:name=systemd:/\n4:cpuacct,memory:/docker/abc\n",
       {{"/memory/docker/abc", "memory.limit_in_bytes", "3221225472\n"}}, 3 * GiB},
      {"garbage and zero are no limits", "0::/a\n",
       {{"/a", "memory.max", "12abc\n"}, {"", "memory.max", "0\n"}}, std::nullopt},
      {"a path that climbs out stays inside", "0::/../../etc\n", {{"", "memory.max", "1048576"}},
       uint64_t{1} << 20},
      {"no memory controller", "3:cpuset:/\n", {}, std::nullopt},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TTempDir dir;
    std::string root = dir / "cgroup";
    MakeDirs(root);
    for (const auto& f : c.files) Put(root, f[0], f[1], f[2]);
    WriteTestFile(dir / "self-cgroup", c.procSelfCgroup);
    EXPECT_EQ(CgroupMemoryLimit(dir / "self-cgroup", root), c.limit);
  }
  TTempDir dir;
  EXPECT_EQ(CgroupMemoryLimit(dir / "none", dir.path()), std::nullopt);
}

TEST(SystemInfo, PhysicalMemoryAndSystemName) {
  uint64_t total = TotalPhysicalMemory();
  EXPECT_GT(total, uint64_t{16} << 20);
  uint64_t physical = static_cast<uint64_t>(::sysconf(_SC_PHYS_PAGES)) * static_cast<uint64_t>(::sysconf(_SC_PAGE_SIZE));
  EXPECT_LE(total, physical);
  if (auto limit = CgroupMemoryLimit()) {
    EXPECT_LE(total, *limit);
  }

  std::string os = OsDescription();
  utsname u{};
  ASSERT_EQ(::uname(&u), 0);
  EXPECT_NE(os.find(u.sysname), std::string::npos) << os;
  EXPECT_NE(os.find(u.release), std::string::npos) << os;
}
