#include "platform/Paths.h"

#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <climits>
#include <cstdio>
#include <cstdlib>

#include "ChildProcess.h"
#include "ScopedEnv.h"
#include "TestSupport.h"

namespace {

bool IsDir(const std::string& p) {
  struct stat st{};
  return ::stat(p.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::string RealDir(const std::string& p) {
  char buf[PATH_MAX];
  return ::realpath(p.c_str(), buf) ? std::string(buf) + "/" : p;
}

void MakeDir(const std::string& p, mode_t mode = 0755) {
  ASSERT_EQ(::mkdir(p.c_str(), mode), 0) << p;
  ASSERT_EQ(::chmod(p.c_str(), mode), 0) << p;  // past the umask
}

}  // namespace

TEST(Paths, StoredPathsBecomeNative) {
  struct Case {
    const char* stored;
    const char* native;
  } cases[] = {
      {".\\CHARTS\\", "./CHARTS/"},
      {".\\CHARTS", "./CHARTS"},
      {".\\", "./"},
      {".", "."},
      {"", ""},
      {"/", "/"},
      {"C:\\Charts\\\\x.kap", "C:/Charts/x.kap"},
      {"charts\\.\\sub\\..\\x.kap", "charts/sub/../x.kap"},
      {"/home//skipper/./charts/", "/home/skipper/charts/"},
      {"/./x", "/x"},
      {"./././x", "./x"},
      {".//x", "./x"},
      {"a/.", "a/"},
      {"../charts", "../charts"},
      {"CHARTS\\..\\..\\x", "CHARTS/../../x"},
  };
  for (const Case& c : cases) EXPECT_EQ(ToNativePath(c.stored), c.native) << c.stored;
}

TEST(Paths, ForeignAndAbsolutePaths) {
  struct Case {
    const char* path;
    bool foreign;
    bool absolute;
  } cases[] = {
      {"C:\\Charts\\x.kap", true, false},
      {"c:x.kap", true, false},
      {"z:", true, false},
      {"\\\\nas\\charts\\x.kap", true, false},
      {"/home/skipper", false, true},
      {".\\CHARTS", false, false},
      {"CHARTS", false, false},
      {"1:\\x", false, false},
      {"//nas/charts", false, true},
      {"", false, false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(IsForeignPath(c.path), c.foreign) << c.path;
    EXPECT_EQ(IsAbsolutePath(c.path), c.absolute) << c.path;
  }
}

TEST(Paths, StoredPathsResolveAgainstTheBaseDirectory) {
  const std::string base = "/data/brismare/";
  struct Case {
    const char* stored;
    const char* resolved;
  } cases[] = {
      {".\\CHARTS", "/data/brismare/CHARTS"},
      {"./ROUTES/", "/data/brismare/ROUTES/"},
      {".\\WAYPTS\\", "/data/brismare/WAYPTS/"},
      {"TRACES", "/data/brismare/TRACES"},
      {"sub\\..\\x.kap", "/data/brismare/sub/../x.kap"},
      {".", "/data/brismare/"},
      {".\\", "/data/brismare/"},
      {"/srv/charts//x.kap", "/srv/charts/x.kap"},
      // Root-relative on the current drive: taken as an absolute path here;
      // when it does not exist the caller's fallback searches by name.
      {"\\srv\\charts", "/srv/charts"},
      // Foreign paths come back unchanged for the caller's fallback.
      {"C:\\Charts\\x.kap", "C:\\Charts\\x.kap"},
      {"\\\\nas\\charts\\x.kap", "\\\\nas\\charts\\x.kap"},
      {"", ""},
  };
  for (const Case& c : cases) EXPECT_EQ(ResolveStoredPath(c.stored, base), c.resolved) << c.stored;
  EXPECT_EQ(ResolveStoredPath(".\\CHARTS", "/data"), "/data/CHARTS");
}

TEST(Paths, FileNameOfForeignPaths) {
  struct Case {
    const char* path;
    const char* name;
  } cases[] = {
      {"C:\\OziExplorer\\Maps\\x.bmp", "x.bmp"},
      {"c:x.kap", "x.kap"},
      {"\\\\nas\\charts\\D.KAP", "D.KAP"},
      {"/srv/charts/b.kap", "b.kap"},
      {"mixed/dir\\c.kap", "c.kap"},
      {"b.kap", "b.kap"},
      {"C:\\Charts\\", ""},
  };
  for (const Case& c : cases) EXPECT_EQ(ForeignFileName(c.path), c.name) << c.path;
}

TEST(Paths, DirectoryListsSplitOnSemicolons) {
  using V = std::vector<std::string>;
  EXPECT_EQ(SplitDirList("C:\\A;.\\CHARTS; /srv/x ;;\t/opt/y\r\n"), (V{"C:\\A", ".\\CHARTS", "/srv/x", "/opt/y"}));
  EXPECT_EQ(SplitDirList("/one"), V{"/one"});
  EXPECT_EQ(SplitDirList(""), V{});
  EXPECT_EQ(SplitDirList(" ; ;"), V{});
  EXPECT_EQ(WithTrailingSlash("/a"), "/a/");
  EXPECT_EQ(WithTrailingSlash("/a/"), "/a/");
  EXPECT_EQ(WithTrailingSlash(""), "");
}

class TCaseLookup : public ::testing::Test {
 protected:
  void SetUp() override {
    WriteTestFile(dir_ / "chart.kap", "k");
    WriteTestFile(dir_ / "CHARTCAL.DIR", "c");
    MakeDir(dir_ / "Sub");
    WriteTestFile(dir_ / "Sub/Inner.CAL", "i");
    WriteTestFile(dir_ / "\xC3\x85land.kap", "a");  // "Åland.kap"
    MakeDir(dir_ / "dup");
    WriteTestFile(dir_ / "dup/a.KAP", "1");
    WriteTestFile(dir_ / "dup/A.kap", "2");
  }
  TTempDir dir_;
};

TEST_F(TCaseLookup, FindsNamesWhateverTheirCase) {
  const std::string d = dir_.path();
  struct Case {
    std::string dir;
    const char* name;
    std::optional<std::string> found;
  } cases[] = {
      {d, "chart.kap", d + "chart.kap"},
      {d, "CHART.KAP", d + "chart.kap"},
      {d, "chartcal.dir", d + "CHARTCAL.DIR"},
      {d, "sub\\inner.cal", d + "Sub/Inner.CAL"},
      {d, "SUB/./INNER.cal", d + "Sub/Inner.CAL"},
      {d, "\xC3\xA5LAND.KAP", d + "\xC3\x85land.kap"},  // "åLAND.KAP"
      {d.substr(0, d.size() - 1), "Chart.Kap", d + "chart.kap"},
      // Several candidates: an exact match first, else the first in byte order.
      {d + "dup", "a.KAP", d + "dup/a.KAP"},
      {d + "dup", "A.kap", d + "dup/A.kap"},
      {d + "dup", "a.kap", d + "dup/A.kap"},
      {d + "dup", "A.KAP", d + "dup/A.kap"},
      {d, "nochart.kap", std::nullopt},
      {d, "Sub/missing.cal", std::nullopt},
      {d, "chart.kap/x", std::nullopt},
      {d, "", std::nullopt},
      {d, "chartx.kap", std::nullopt},
      {d + "nodir", "chart.kap", std::nullopt},
  };
  for (const Case& c : cases) EXPECT_EQ(FindFileCaseInsensitive(c.dir, c.name), c.found) << c.dir << " " << c.name;
  EXPECT_TRUE(SameNameIgnoringCase("\xC3\x84R\xC3\xB6.kap", "\xC3\xA4r\xC3\x96.KAP"));  // "ÄRö" and "ärÖ"
  EXPECT_FALSE(SameNameIgnoringCase("\xC3\x97", "\xC3\xB7"));  // "×" and "÷" are no case pair
}

TEST_F(TCaseLookup, SearchesDirectoriesInOrder) {
  TTempDir other;
  WriteTestFile(other / "CHART.KAP", "o");
  WriteTestFile(other / "only.kap", "o");
  const std::string d = dir_.path();
  // The first directory that holds the name wins, even by a case-insensitive match.
  EXPECT_EQ(FindFileInDirs({d, other.path()}, "CHART.KAP"), d + "chart.kap");
  EXPECT_EQ(FindFileInDirs({other.path(), d}, "chart.kap"), other.path() + "CHART.KAP");
  EXPECT_EQ(FindFileInDirs({d, other.path()}, "ONLY.KAP"), other.path() + "only.kap");
  EXPECT_EQ(FindFileInDirs({d, other.path()}, "none.kap"), std::nullopt);
  EXPECT_EQ(FindFileInDirs({}, "chart.kap"), std::nullopt);
}

TEST(Paths, ProgramDirIsTheExecutablesDirectory) {
  const std::string& dir = ProgramDir();
  ASSERT_FALSE(dir.empty());
  EXPECT_EQ(dir.back(), '/');
  EXPECT_EQ(RealDir(dir), RealDir(BRISMARE_BIN_DIR));
}

TEST(Paths, DataDirFromTheEnvironmentIsCreated) {
  TTempDir tmp;
  TScopedEnv env;
  env.Set("BRISMARE_DIR", tmp / "deep/er/data");
  EXPECT_EQ(ComputeDataDir("/nonexistent/"), tmp / "deep/er/data/");
  EXPECT_TRUE(IsDir(tmp / "deep/er/data"));

  // A relative value counts from the current directory.
  char cwd[PATH_MAX];
  ASSERT_TRUE(::getcwd(cwd, sizeof cwd));
  ASSERT_EQ(::chdir(tmp.path().c_str()), 0);
  env.Set("BRISMARE_DIR", ".\\rel");
  std::string relative = ComputeDataDir("/nonexistent/");
  ASSERT_EQ(::chdir(cwd), 0);
  EXPECT_EQ(RealDir(relative), RealDir(tmp / "rel"));
  EXPECT_EQ(relative.back(), '/');
}

TEST(Paths, DataDirIsTheProgramDirWhenWritableElseTheXdgDataDir) {
  TTempDir tmp;
  ASSERT_EQ(::chmod(tmp.path().c_str(), 0755), 0);
  TScopedEnv env;
  env.Unset("BRISMARE_DIR");
  MakeDir(tmp / "prog");
  EXPECT_EQ(ComputeDataDir(tmp / "prog/"), tmp / "prog/");
  EXPECT_EQ(ComputeDataDir(tmp / "prog"), tmp / "prog/");

  // An installed program's directory is not writable for the user.
  ASSERT_EQ(::chmod((tmp / "prog").c_str(), 0555), 0);
  MakeDir(tmp / "xdg", 0777);
  MakeDir(tmp / "home", 0777);
  const std::string prog = tmp / "prog/";
  const std::string xdg = tmp / "xdg";
  const std::string home = tmp / "home";
  int code = RunInChild([&] {
    if (!DropRootInChild()) return 2;
    ::setenv("XDG_DATA_HOME", xdg.c_str(), 1);
    ::setenv("HOME", home.c_str(), 1);
    std::string got = ComputeDataDir(prog);
    if (got != xdg + "/brismare/" || !IsDir(got)) {
      std::fprintf(stderr, "with XDG_DATA_HOME: %s\n", got.c_str());
      return 3;
    }
    ::setenv("XDG_DATA_HOME", "relative/is/ignored", 1);
    got = ComputeDataDir(prog);
    if (got != home + "/.local/share/brismare/" || !IsDir(got)) {
      std::fprintf(stderr, "with HOME: %s\n", got.c_str());
      return 4;
    }
    return 0;
  });
  EXPECT_EQ(code, 0);
  ::chmod((tmp / "prog").c_str(), 0755);
}

// An installation (programs in <prefix>/bin, their share directory in
// <prefix>/share/brismare) keeps nothing beside its programs, even where it
// could write there: root, or a prefix in the user's home.
TEST(Paths, AnInstalledProgramsDataDirIsTheXdgDataDir) {
  TTempDir tmp;
  TScopedEnv env;
  env.Unset("BRISMARE_DIR");
  env.Set("XDG_DATA_HOME", tmp / "xdg");
  const std::string bin = tmp / "prefix/bin/";
  MakeDir(tmp / "prefix");
  MakeDir(bin);
  EXPECT_FALSE(IsInstalledProgramDir(bin));
  EXPECT_EQ(ComputeDataDir(bin), bin);  // a portable copy

  MakeDir(tmp / "prefix/share");
  MakeDir(tmp / "prefix/share/brismare");
  EXPECT_EQ(InstalledShareDir(bin), tmp / "prefix/share/brismare/");
  EXPECT_EQ(InstalledShareDir(tmp / "prefix/bin"), tmp / "prefix/share/brismare/");
  EXPECT_TRUE(IsInstalledProgramDir(bin));
  const std::string data = ComputeDataDir(bin);
  EXPECT_EQ(data, tmp / "xdg/brismare/");
  EXPECT_TRUE(IsDir(data));
  // BRISMARE_DIR still decides first.
  env.Set("BRISMARE_DIR", tmp / "mine");
  EXPECT_EQ(ComputeDataDir(bin), tmp / "mine/");
}

// The build tree is no installation: its programs (and this test, beside
// them in bin/) keep their files beside themselves and find the shipped data
// in bin/data, not in a share directory.
TEST(Paths, TheBuildTreeIsNoInstallation) {
  EXPECT_FALSE(IsInstalledProgramDir(ProgramDir()));
  EXPECT_FALSE(IsInstalledProgramDir(""));
}

TEST(Paths, DataDirIsKeptUntilReset) {
  TTempDir tmp;
  TScopedEnv env;
  env.Set("BRISMARE_DIR", tmp / "one");
  ResetDataDir();
  EXPECT_EQ(DataDir(), tmp / "one/");
  env.Set("BRISMARE_DIR", tmp / "two");
  EXPECT_EQ(DataDir(), tmp / "one/");
  ResetDataDir();
  EXPECT_EQ(DataDir(), tmp / "two/");
  ResetDataDir();
}

TEST(Paths, SpecialFolders) {
  TTempDir tmp;
  TScopedEnv env;
  const std::string home = tmp / "home";
  MakeDir(home);
  env.Set("HOME", home);
  env.Unset("XDG_DATA_HOME");
  env.Unset("XDG_DOCUMENTS_DIR");
  env.Set("XDG_CONFIG_HOME", tmp / "cfg");
  env.Set("TMPDIR", tmp.path());

  EXPECT_EQ(SpecialFolderPath(TSpecialFolder::Home), home + "/");
  EXPECT_EQ(SpecialFolderPath(TSpecialFolder::Data), home + "/.local/share/");
  EXPECT_EQ(SpecialFolderPath(TSpecialFolder::Temp), tmp.path());
  EXPECT_EQ(TempDir(), tmp.path());
  EXPECT_EQ(SpecialFolderPath(TSpecialFolder::Documents), home + "/") << "no documents folder: home";
  MakeDir(home + "/Documents");
  EXPECT_EQ(SpecialFolderPath(TSpecialFolder::Documents), home + "/Documents/");

  MakeDir(tmp / "cfg");
  WriteTestFile(tmp / "cfg/user-dirs.dirs",
                "# written by xdg-user-dirs-update\nXDG_DESKTOP_DIR=\"$HOME/Skrivbord\"\n"
                "XDG_DOCUMENTS_DIR=\"$HOME/Dokument\"\n");
  EXPECT_EQ(SpecialFolderPath(TSpecialFolder::Documents), home + "/Dokument/");
  env.Set("XDG_DOCUMENTS_DIR", "/srv/papers");
  EXPECT_EQ(SpecialFolderPath(TSpecialFolder::Documents), "/srv/papers/");

  env.Set("XDG_DATA_HOME", "/srv/data");
  EXPECT_EQ(SpecialFolderPath(TSpecialFolder::Data), "/srv/data/");
  env.Set("TMPDIR", tmp / "missing");
  EXPECT_EQ(TempDir(), "/tmp/");
  env.Set("TMPDIR", "relative");
  EXPECT_EQ(TempDir(), "/tmp/");

  env.Unset("HOME");  // then the password database tells
  std::string fromPasswd = SpecialFolderPath(TSpecialFolder::Home);
  ASSERT_FALSE(fromPasswd.empty());
  EXPECT_EQ(fromPasswd.front(), '/');
  EXPECT_EQ(fromPasswd.back(), '/');
}
