#include "foundation/IniFile.h"

#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <bit>
#include <clocale>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <limits>

#include "TestSupport.h"

namespace {

using Strings = std::vector<std::string>;
using Pairs = std::vector<std::pair<std::string, std::string>>;

// A settings file as the Windows program leaves it: CR LF, "\" paths, quoted
// values, mixed-case keys, a comment, a duplicate key, another program's
// section and a Windows-1252 "Å" (byte C5).
constexpr std::string_view kWindowsIni =
    "; Brismare settings\r\n"
    "[Program Setup]\r\n"
    "Chart Dir=.\\CHARTS;D:\\Kort\\Sj\xF6kort\r\n"
    "Show Time=2\r\n"
    "LanguageFile=\"C:\\Program Files\\Brismare\\svenska.lng\"\r\n"
    "SHOW TIME=9\r\n"
    "\r\n"
    "[Foreign Tool]\r\n"
    "Window = 10, 20, 300, 400\r\n"
    "Harbour=\xC5land\r\n"
    "\r\n"
    "[Program State]\r\n"
    "Zoom=100\r\n";

TEST(IniFile, WindowsFileKeepsEverythingItDoesNotChange) {
  TTempDir dir;
  std::string path = dir / "BRISMARE_2.INI";
  WriteTestFile(path, kWindowsIni);
  {
    TIniFile ini(path);
    EXPECT_EQ(ini.Encoding(), TTextEncoding::Cp1252);
    EXPECT_EQ(ini.ReadString("program setup", "CHART DIR", ""), ".\\CHARTS;D:\\Kort\\Sj\xC3\xB6kort");
    EXPECT_EQ(ini.ReadString("Program Setup", "LanguageFile", ""), "C:\\Program Files\\Brismare\\svenska.lng");
    EXPECT_EQ(ini.ReadInteger("Program Setup", "show time", 0), 2);  // the first of the duplicates
    EXPECT_EQ(ini.ReadString("Foreign Tool", "window", ""), "10, 20, 300, 400");
    EXPECT_EQ(ini.ReadString("Foreign Tool", "Harbour", ""), "\xC3\x85land");

    ini.WriteInteger("Program Setup", "show time", 5);
    ini.WriteString("Program Setup", "Track Dir", "/home/skipper/tracks");
    ini.WriteInteger("Night", "Shade", 60);
    EXPECT_TRUE(ini.Modified());
    ini.UpdateFile();
    EXPECT_FALSE(ini.Modified());
  }
  EXPECT_EQ(ReadTestFile(path),
            "; Brismare settings\r\n"
            "[Program Setup]\r\n"
            "Chart Dir=.\\CHARTS;D:\\Kort\\Sj\xF6kort\r\n"
            "Show Time=5\r\n"
            "LanguageFile=\"C:\\Program Files\\Brismare\\svenska.lng\"\r\n"
            "SHOW TIME=9\r\n"
            "Track Dir=/home/skipper/tracks\r\n"
            "\r\n"
            "[Foreign Tool]\r\n"
            "Window = 10, 20, 300, 400\r\n"
            "Harbour=\xC5land\r\n"
            "\r\n"
            "[Program State]\r\n"
            "Zoom=100\r\n"
            "\r\n"
            "[Night]\r\n"
            "Shade=60\r\n");

  // Writing what is already there changes nothing and writes nothing.
  TIniFile again(path);
  again.WriteInteger("PROGRAM SETUP", "Show Time", 5);
  again.WriteString("Foreign Tool", "Window", "10, 20, 300, 400");
  EXPECT_FALSE(again.Modified());
}

TEST(IniFile, ReadingFollowsPrivateProfileRules) {
  TIniFile ini = TIniFile::FromBytes(
      "Orphan=before any section\n"
      "[ Setup ]\n"
      "  Name  =  value with blanks  \n"
      "Quoted=\" Speed\"\n"
      "Inner=a \"b\" c\n"
      "Half=\"abc\n"
      "Empty=\n"
      "EmptyQuoted=\"\"\n"
      ";Comment=1\n"
      "  ; Indented=1\n"
      "Dup=first\n"
      "dup=second\n"
      "NoEquals\n"
      "=no key\n"
      "[broken\n"
      "Eq=a=b\n"
      "Tab\t=\tx\t\n"
      "[setup]\n"
      "Late=hidden by the first [Setup]\n"
      "[Other]\r"
      "Lone=cr\r\n"
      "[\xC3\x85LAND]\n"
      "\xC3\x96st=1\n");
  struct Case {
    const char* section;
    const char* key;
    std::optional<std::string> value;
  } cases[] = {
      {"setup", "name", "value with blanks"},
      {" SETUP ", " Name\t", "value with blanks"},
      {"Setup", "quoted", " Speed"},
      {"Setup", "Inner", "a \"b\" c"},
      {"Setup", "Half", "\"abc"},
      {"Setup", "Empty", ""},
      {"Setup", "EmptyQuoted", ""},
      {"Setup", ";Comment", std::nullopt},
      {"Setup", "; Indented", std::nullopt},
      {"Setup", "DUP", "first"},
      {"Setup", "NoEquals", std::nullopt},
      {"Setup", "", std::nullopt},
      {"Setup", "Eq", "a=b"},
      {"Setup", "Tab", "x"},
      {"Setup", "Late", std::nullopt},
      {"Setup", "Missing", std::nullopt},
      {"", "Orphan", std::nullopt},
      {"Nowhere", "Name", std::nullopt},
      {"Other", "Lone", "cr"},
      {"\xC3\xA5land", "\xC3\xB6ST", "1"},  // Latin-1 letters fold too
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.section) + " / " + c.key);
    EXPECT_EQ(ini.Read(c.section, c.key), c.value);
    EXPECT_EQ(ini.ValueExists(c.section, c.key), c.value.has_value());
  }
  // Missing and empty differ.
  EXPECT_EQ(ini.ReadString("Setup", "Empty", "def"), "");
  EXPECT_EQ(ini.ReadString("Setup", "Missing", "def"), "def");

  EXPECT_EQ(ini.ReadSections(), (Strings{"Setup", "Other", "\xC3\x85LAND"}));
  EXPECT_TRUE(ini.SectionExists("OTHER"));
  EXPECT_FALSE(ini.SectionExists("broken"));
  EXPECT_EQ(ini.ReadSection("setup"),
            (Strings{"Name", "Quoted", "Inner", "Half", "Empty", "EmptyQuoted", "Dup", "Eq", "Tab"}));
  EXPECT_EQ(ini.ReadSectionValues("Other"), (Pairs{{"Lone", "cr"}}));
  EXPECT_TRUE(ini.ReadSection("Nowhere").empty());
}

TEST(IniFile, WrittenValuesReadBackUnchanged) {
  struct Case {
    std::string value;
    std::string line;  // as stored
    std::string read;  // as read back
  } cases[] = {
      {" Speed", "K=\" Speed\"", " Speed"},
      {"trailing ", "K=\"trailing \"", "trailing "},
      {"\"quoted\"", "K=\"\"quoted\"\"", "\"quoted\""},
      {"\"", "K=\"", "\""},
      {"", "K=", ""},
      {"  ", "K=\"  \"", "  "},
      {"two\r\nlines", "K=two  lines", "two  lines"},
      {"x=y;z", "K=x=y;z", "x=y;z"},
      {"[Section]", "K=[Section]", "[Section]"},
      {"C:\\Charts", "K=C:\\Charts", "C:\\Charts"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.value);
    TIniFile ini = TIniFile::FromBytes("[S]\r\nK=old\r\nNext=1\r\n");
    ini.WriteString("S", "K", c.value);
    EXPECT_EQ(ini.Text(), "[S]\r\n" + c.line + "\r\nNext=1\r\n");
    EXPECT_EQ(ini.Read("S", "K"), c.read);
    TIniFile reread = TIniFile::FromBytes(ini.FileBytes());
    EXPECT_EQ(reread.Read("S", "K"), c.read);
    EXPECT_EQ(reread.Read("S", "Next"), "1");
  }
  // A replaced value keeps the key's spelling and the blanks around "=".
  TIniFile spaced = TIniFile::FromBytes("[S]\r\n  Key = old \r\n");
  spaced.WriteString("s", "KEY", "new");
  EXPECT_EQ(spaced.Text(), "[S]\r\n  Key = new\r\n");
}

TEST(IniFile, NamesThatCannotBeStoredAreRejected) {
  const std::string before = "[S]\r\nK=1\r\n";
  struct Case {
    std::string section, key;
  } cases[] = {
      {"S", "a=b"},     {"S", ""},   {"S", "  "},         {"S", "[x"},
      {"S", ";x"},      {"S", " ;x"}, {"S", "a\nb"},       {"S", std::string("a\0b", 3)},
      {"S", "a\x7F"},   {"a]b", "K"}, {"[a", "K"},         {";a", "K"},
      {"a\rb", "K"},    {"Datum\nK=x", "K"},
  };
  TIniFile ini = TIniFile::FromBytes(before);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.section + " / " + c.key);
    EXPECT_THROW(ini.WriteString(c.section, c.key, "v"), std::invalid_argument);
    EXPECT_THROW(ini.WriteInteger(c.section, c.key, 1), std::invalid_argument);
  }
  EXPECT_FALSE(ini.Modified());
  EXPECT_EQ(ini.Text(), before);
  // Names with blanks and "=" in section names are fine.
  ini.WriteString("Datum = WGS 84", "European 1950", "x");
  EXPECT_EQ(ini.Read("datum = wgs 84", "EUROPEAN 1950"), "x");
}

TEST(IniFile, EraseAndDeleteRemoveDuplicatesToo) {
  TIniFile ini = TIniFile::FromBytes(
      "[A]\r\nk=1\r\n; about k\r\nK=2\r\nj=3\r\n[B]\r\nx=1\r\n[a]\r\nlate=4\r\n[C]\r\ny=5\r\n");
  ini.DeleteKey("a", "K");
  EXPECT_FALSE(ini.ValueExists("A", "k"));
  EXPECT_EQ(ini.Text(), "[A]\r\n; about k\r\nj=3\r\n[B]\r\nx=1\r\n[a]\r\nlate=4\r\n[C]\r\ny=5\r\n");
  ini.EraseSection("A");
  EXPECT_FALSE(ini.SectionExists("A"));
  EXPECT_FALSE(ini.ValueExists("A", "late"));
  EXPECT_EQ(ini.Text(), "[B]\r\nx=1\r\n[C]\r\ny=5\r\n");
  EXPECT_EQ(ini.ReadSections(), (Strings{"B", "C"}));
  // Writing after the erase starts the section afresh at the end.
  ini.WriteString("A", "k", "new");
  EXPECT_EQ(ini.Text(), "[B]\r\nx=1\r\n[C]\r\ny=5\r\n\r\n[A]\r\nk=new\r\n");
  // A key of a hidden duplicate section is written into the first one.
  TIniFile dup = TIniFile::FromBytes("[S]\r\na=1\r\n\r\n[T]\r\n[s]\r\nb=2\r\n");
  dup.WriteString("S", "b", "3");
  EXPECT_EQ(dup.Text(), "[S]\r\na=1\r\nb=3\r\n\r\n[T]\r\n[s]\r\nb=2\r\n");
  EXPECT_EQ(dup.Read("S", "b"), "3");
}

// Number text must not follow the user's locale.
class CommaLocale {
 public:
  CommaLocale() { active_ = std::setlocale(LC_ALL, "de_DE.UTF-8") != nullptr; }
  ~CommaLocale() { std::setlocale(LC_ALL, "C"); }
  bool active() const { return active_; }

 private:
  bool active_ = false;
};

struct RSettings {
  std::string chartDir = ".\\CHARTS";
  std::string caption = "Speed";
  int32_t showTime = 2;
  int32_t colour = 12;
  int32_t minInt = 0;
  bool autoScroll = true;
  bool track = false;
  double xteLimit = 0.05 / 3437.7467707849392526;
  double lat = 1.0;
  double tiny = 1.0;
  double huge = 1.0;
  double third = 1.0;
  double noData = 0.0;
};

void RWSettings(TRWIniFile& ini, bool write, RSettings& r) {
  const RSettings def;
  ini.RWString("Program Setup", "Chart Dir", write, r.chartDir, def.chartDir);
  ini.RWString("Program Setup", "Caption", write, r.caption, def.caption);
  ini.RWInteger("Program Setup", "Show Time", write, r.showTime, def.showTime);
  ini.RWInteger("Program Setup", "Route Color", write, r.colour, def.colour);
  ini.RWInteger("Program Setup", "Min Int", write, r.minInt, def.minInt);
  ini.RWBool("Program State", "Auto Scroll", write, r.autoScroll, def.autoScroll);
  ini.RWBool("Program State", "Track", write, r.track, def.track);
  ini.RWFloat("Program Setup", "XTE Limit", write, r.xteLimit, def.xteLimit);
  ini.RWFloat("Program State", "Lat", write, r.lat, def.lat);
  ini.RWFloat("Program State", "Tiny", write, r.tiny, def.tiny);
  ini.RWFloat("Program State", "Huge", write, r.huge, def.huge);
  ini.RWFloat("Program State", "Third", write, r.third, def.third);
  ini.RWFloat("Program State", "No Data", write, r.noData, def.noData);
}

TEST(IniFile, SymmetricPassRestoresEveryValueExactly) {
  CommaLocale locale;
  TTempDir dir;
  std::string path = dir / "settings.ini";
  RSettings saved;
  saved.chartDir = "/home/skipper/charts;C:\\Kort";
  saved.caption = " Speed";
  saved.showTime = -7;
  saved.colour = 0;
  saved.minInt = std::numeric_limits<int32_t>::min();
  saved.autoScroll = false;
  saved.track = true;
  saved.xteLimit = 0.00001454441043328608;
  saved.lat = 1.0471975511965976;
  saved.tiny = 5e-324;
  saved.huge = std::numeric_limits<double>::max();
  saved.third = -1.0 / 3;
  saved.noData = 1e-13;
  {
    TRWIniFile ini(path);
    EXPECT_TRUE(ini.RWString("S", "K", true, saved.chartDir, ""));
    RWSettings(ini, true, saved);
  }  // saved when the object goes
  RSettings loaded;
  {
    TRWIniFile ini(path);
    EXPECT_FALSE(ini.RWInteger("S", "missing", false, loaded.showTime, 0));
    RWSettings(ini, false, loaded);
    EXPECT_FALSE(ini.Modified());
  }
  EXPECT_EQ(loaded.chartDir, saved.chartDir);
  EXPECT_EQ(loaded.caption, saved.caption);
  EXPECT_EQ(loaded.showTime, saved.showTime);
  EXPECT_EQ(loaded.colour, saved.colour);
  EXPECT_EQ(loaded.minInt, saved.minInt);
  EXPECT_EQ(loaded.autoScroll, saved.autoScroll);
  EXPECT_EQ(loaded.track, saved.track);
  auto sameBits = [](double a, double b) { return std::bit_cast<uint64_t>(a) == std::bit_cast<uint64_t>(b); };
  EXPECT_PRED2(sameBits, loaded.xteLimit, saved.xteLimit);
  EXPECT_PRED2(sameBits, loaded.lat, saved.lat);
  EXPECT_PRED2(sameBits, loaded.tiny, saved.tiny);
  EXPECT_PRED2(sameBits, loaded.huge, saved.huge);
  EXPECT_PRED2(sameBits, loaded.third, saved.third);
  EXPECT_PRED2(sameBits, loaded.noData, saved.noData);
  std::string text = ReadTestFile(path);
  EXPECT_NE(text.find("XTE Limit=0.00001454441043328608\r\n"), std::string::npos) << text;
  EXPECT_NE(text.find("Caption=\" Speed\"\r\n"), std::string::npos) << text;

  // A file without the keys gives every default.
  TRWIniFile empty(dir / "none.ini");
  RSettings fresh;
  fresh.showTime = 99;
  fresh.xteLimit = 99;
  RWSettings(empty, false, fresh);
  EXPECT_EQ(fresh.showTime, RSettings().showTime);
  EXPECT_EQ(fresh.xteLimit, RSettings().xteLimit);
  EXPECT_FALSE(TestFileExists(dir / "none.ini"));
}

TEST(IniFile, MalformedNumbersGiveTheDefault) {
  CommaLocale locale;
  if (!locale.active()) GTEST_SKIP() << "no comma locale installed";
  struct Case {
    const char* text;
    std::optional<double> asFloat;
    std::optional<int32_t> asInt;
    std::optional<bool> asBool;
  } cases[] = {
      {"0.5", 0.5, {}, {}},
      {" 0.5 ", 0.5, {}, {}},
      {"\"0.5\"", 0.5, {}, {}},
      {"1,5", {}, {}, {}},
      {"abc", {}, {}, {}},
      {"", {}, {}, {}},
      {"NAN", {}, {}, {}},
      {"INF", {}, {}, {}},
      {"-inf", {}, {}, {}},
      {"1e999", {}, {}, {}},
      {"-12", -12.0, -12, true},
      {"0", 0.0, 0, false},
      {"2", 2.0, 2, true},
      {"0x1F", {}, 31, true},
      {"$10", {}, 16, true},
      {"12abc", {}, {}, {}},
      {"2147483648", 2147483648.0, {}, {}},
      {"yes", {}, {}, {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    TIniFile f = TIniFile::FromBytes(std::string("[S]\nK=") + c.text + "\n");
    EXPECT_EQ(f.ReadFloat("S", "K", -99.0), c.asFloat.value_or(-99.0));
    EXPECT_EQ(f.ReadInteger("S", "K", -99), c.asInt.value_or(-99));
    EXPECT_EQ(f.ReadBool("S", "K", true), c.asBool.value_or(true));
    EXPECT_EQ(f.ReadBool("S", "K", false), c.asBool.value_or(false));
  }
  // The RW forms share the rule; a stored float is written with ".".
  TTempDir dir;
  {
    TRWIniFile rw(dir / "x.ini");
    double v = 0.25;
    rw.RWFloat("S", "F", true, v, 0);
    rw.WriteString("S", "Bad", "abc");
  }
  TRWIniFile rw(dir / "x.ini");
  EXPECT_EQ(ReadTestFile(dir / "x.ini"), "[S]\r\nF=0.25\r\nBad=abc\r\n");
  double v = 7;
  rw.RWFloat("S", "Bad", false, v, 3.5);
  EXPECT_EQ(v, 3.5);
  rw.RWFloat("S", "F", false, v, 3.5);
  EXPECT_EQ(v, 0.25);
}

TEST(IniFile, RefusedWriteRaisesAndKeepsTheOldFile) {
  TTempDir dir;
  // A directory where the file should be.
  std::string dirPath = dir / "BRISMARE_2.INI";
  ASSERT_EQ(::mkdir(dirPath.c_str(), 0755), 0);
  {
    TIniFile ini(dirPath);
    ini.WriteInteger("S", "K", 1);
    try {
      ini.UpdateFile();
      ADD_FAILURE() << "no error";
    } catch (const EIniWriteError& e) {
      EXPECT_EQ(std::string(e.what()), "Unable to write to " + dirPath);
    }
    EXPECT_TRUE(ini.Modified());
  }  // the destructor's second attempt fails quietly
  EXPECT_TRUE(std::filesystem::is_directory(dirPath));

  // The platform refusing the bytes (a file size limit works even for root).
  std::string path = dir / "settings.ini";
  const std::string old = "[S]\r\nK=old\r\n";
  WriteTestFile(path, old);
  struct rlimit saved{};
  ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
  auto oldHandler = ::signal(SIGXFSZ, SIG_IGN);
  struct rlimit small = saved;
  small.rlim_cur = 64;
  ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
  {
    TIniFile ini(path);
    ini.WriteString("S", "K", std::string(200, 'x'));
    EXPECT_THROW(ini.UpdateFile(), EIniWriteError);
  }
  ::setrlimit(RLIMIT_FSIZE, &saved);
  ::signal(SIGXFSZ, oldHandler);
  EXPECT_EQ(ReadTestFile(path), old);
  for (const auto& e : std::filesystem::directory_iterator(dir.path()))
    EXPECT_TRUE(e.path().filename() == "settings.ini" || e.path().filename() == "BRISMARE_2.INI") << e.path();

  // A file the user made read-only stays as it is.
  ASSERT_EQ(::chmod(path.c_str(), 0444), 0);
  {
    TIniFile ini(path);
    ini.WriteString("S", "K", "new");
    EXPECT_THROW(ini.UpdateFile(), EIniWriteError);
  }
  EXPECT_EQ(ReadTestFile(path), old);
  ::chmod(path.c_str(), 0644);
}

TEST(IniFile, ReadOnlyDirectoryRefusesTheWrite) {
  TTempDir dir;
  const std::string old = "[S]\r\nK=old\r\n";
  std::string roDir = dir / "ro";
  ASSERT_EQ(::mkdir(roDir.c_str(), 0755), 0);
  WriteTestFile(roDir + "/x.ini", old);
  {
    TUnwritable locked(roDir);
    if (!locked.Ok()) GTEST_SKIP() << "no way to make a directory unwritable here";
    TIniFile ini(roDir + "/x.ini");
    ini.WriteString("S", "K", "new");
    EXPECT_THROW(ini.UpdateFile(), EIniWriteError);
  }
  EXPECT_EQ(ReadTestFile(roDir + "/x.ini"), old);
}

TEST(IniFile, SymbolicLinkStaysALink) {
  TTempDir dir;
  WriteTestFile(dir / "real.ini", "[S]\r\nK=1\r\n");
  ASSERT_EQ(::symlink((dir / "real.ini").c_str(), (dir / "link.ini").c_str()), 0);
  {
    TIniFile ini(dir / "link.ini");
    ini.WriteInteger("S", "K", 2);
    ini.UpdateFile();
  }
  EXPECT_TRUE(std::filesystem::is_symlink(dir / "link.ini"));
  EXPECT_EQ(ReadTestFile(dir / "real.ini"), "[S]\r\nK=2\r\n");
}

TEST(IniFile, FilesAreWrittenInTheEncodingTheyWereReadIn) {
  TTempDir dir;
  struct Case {
    const char* name;
    std::string original;  // bytes on disk
    TTextEncoding encoding;
    std::string harbour;   // the value read, UTF-8
  } cases[] = {
      {"Windows-1252", "[S]\r\nHarbour=\xC5land\r\n", TTextEncoding::Cp1252, "\xC3\x85land"},
      {"UTF-8", "[S]\r\nHarbour=\xC3\x85land\r\n", TTextEncoding::Utf8, "\xC3\x85land"},
      {"UTF-8 with BOM", "\xEF\xBB\xBF[S]\r\nHarbour=\xC3\x85land\r\n", TTextEncoding::Utf8, "\xC3\x85land"},
      {"ASCII", "[S]\r\nHarbour=Aland\r\n", TTextEncoding::Cp1252, "Aland"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    std::string path = dir / "enc.ini";
    WriteTestFile(path, c.original);
    {
      TIniFile ini(path);
      EXPECT_EQ(ini.Encoding(), c.encoding);
      EXPECT_EQ(ini.Read("s", "harbour"), c.harbour);
      ini.WriteString("S", "Town", "\xC3\x96regrund");  // "Öregrund"
      ini.UpdateFile();
    }
    std::string town = c.encoding == TTextEncoding::Utf8 ? "\xC3\x96regrund" : "\xD6regrund";
    EXPECT_EQ(ReadTestFile(path), c.original + "Town=" + town + "\r\n");
    TIniFile reread(path);
    EXPECT_EQ(reread.Read("S", "Town"), "\xC3\x96regrund");
    EXPECT_EQ(reread.Read("S", "Harbour"), c.harbour);
  }

  // A new file is Windows-1252.
  {
    TIniFile ini(dir / "new.ini");
    ini.WriteString("S", "Harbour", "\xC3\x85land");
  }
  EXPECT_EQ(ReadTestFile(dir / "new.ini"), "[S]\r\nHarbour=\xC5land\r\n");

  // A character Windows-1252 cannot hold ("ł") is not lost: the file
  // becomes UTF-8, foreign lines included.
  WriteTestFile(dir / "pl.ini", "[S]\r\nHarbour=\xC5land\r\n");
  {
    TIniFile ini(dir / "pl.ini");
    ini.WriteString("S", "Chart Dir", "/home/micha\xC5\x82/charts");
    EXPECT_EQ(ini.Encoding(), TTextEncoding::Utf8);
  }
  EXPECT_EQ(ReadTestFile(dir / "pl.ini"), "[S]\r\nHarbour=\xC3\x85land\r\nChart Dir=/home/micha\xC5\x82/charts\r\n");
  TIniFile pl(dir / "pl.ini");
  EXPECT_EQ(pl.Read("S", "Chart Dir"), "/home/micha\xC5\x82/charts");

  // Windows-1252 text that would read back as UTF-8 ("Ã…" is C3 85) once the
  // byte that made the file Windows-1252 is gone is written as UTF-8.
  TIniFile odd = TIniFile::FromBytes("[S]\r\nA=\xC3\x85\r\n[T]\r\nB=\xFF\r\n");
  EXPECT_EQ(odd.Read("S", "A"), "\xC3\x83\xE2\x80\xA6");
  odd.EraseSection("T");
  EXPECT_EQ(TIniFile::FromBytes(odd.FileBytes()).Read("S", "A"), "\xC3\x83\xE2\x80\xA6");
}

TEST(IniFile, ArbitraryBytesAreKeptAndIgnored) {
  std::string huge(1 << 20, 'x');
  std::string nul("Nul=a\0b", 7);
  std::string input = "[S]\r\n" + nul + "\r\nlone=cr\rno equals here\n[unclosed\r\n" + huge +
                      "\r\n\x01\x02\x03\r\n[S2] trailing text\r\nk=v";
  TIniFile ini = TIniFile::FromBytes(input);
  EXPECT_EQ(ini.Read("S", "Nul"), std::string("a\0b", 3));
  EXPECT_EQ(ini.Read("S", "lone"), "cr");
  EXPECT_EQ(ini.Read("S2", "k"), "v");
  EXPECT_EQ(ini.ReadSection("S"), (Strings{"Nul", "lone"}));
  ini.WriteString("S", "New", "1");
  EXPECT_EQ(ini.Text(), "[S]\r\n" + nul + "\r\nlone=cr\r\nNew=1\r\nno equals here\r\n[unclosed\r\n" + huge +
                            "\r\n\x01\x02\x03\r\n[S2] trailing text\r\nk=v\r\n");
  EXPECT_EQ(TIniFile::FromBytes(ini.FileBytes()).Text(), ini.Text());
}

}  // namespace
