// The catalog's entries, its file "BRAINDEX.BIN" and the groups file
// "BRGROUPS.BIN": byte layout, catalogs written on Windows, damaged files,
// duplicate names and the group rules.
#include <sys/stat.h>

#include <algorithm>
#include <cmath>
#include <initializer_list>
#include <limits>
#include <utility>
#include <vector>

#include "CatalogTestUtil.h"
#include "TestSupport.h"
#include "charts/ChartList.h"
#include "platform/Questions.h"

namespace {

TEST(ChartListFile, ByteLayoutOfTheCatalogFile) {
  TChartList list;
  RChartLayout a = BoxEntry("Sjökort", 25000, 11, 57, 12, 58, 2, "/data/charts/sjökort.png");
  a.GroupMask = 0x5;
  a.QualityCode = 7;
  RChartLayout b = BoxEntry("Łeba", 50000, 17, 54, 18, 55, 1, "/data/charts/leba.kap");
  b.Border.pop_back();
  ASSERT_EQ(list.AddEntry(a, false), 1);
  ASSERT_EQ(list.AddEntry(b, false), 1);

  TBytes expect;
  expect.raw(std::string_view("BRA\x01", 4)).i32(2);
  // Names and files in Windows-1252 where the code page has the letters,
  // else in UTF-8; every entry of the list carries bit 31.
  PutCatalogEntry(expect, int32_t(0x80000005u), 2, 7, 25000, a.Bounds, "Sj\xF6kort", "/data/charts/sj\xF6kort.png",
                  a.Border);
  PutCatalogEntry(expect, INT32_MIN, 1, 0, 50000, b.Bounds, "Łeba", "/data/charts/leba.kap", b.Border);
  EXPECT_EQ(list.SaveToBytes(), expect.b);

  TChartList back;
  const TCatalogLoadResult r = back.LoadFromBytes(expect.b, "");
  ASSERT_EQ(r.Status, TCatalogLoad::Loaded);
  ASSERT_EQ(back.Count(), 2);
  for (int i = 0; i < 2; ++i) {
    const RChartLayout& in = i == 0 ? a : b;
    const RChartLayout out = back.GetEntry(i);
    EXPECT_EQ(out.Name, in.Name);
    EXPECT_EQ(out.FileName, in.FileName);
    EXPECT_EQ(out.Scale, in.Scale);
    EXPECT_EQ(out.Priority, in.Priority);
    EXPECT_EQ(out.QualityCode, in.QualityCode);
    EXPECT_EQ(out.GroupMask, kCatalogEntryBit);  // groups come from the groups file
    EXPECT_EQ(out.Bounds, in.Bounds);
    EXPECT_EQ(out.Border, in.Border);
    EXPECT_EQ(out.BorderCount, in.Border.size());
  }
  EXPECT_EQ(back.SaveToBytes().size(), expect.b.size());
}

TEST(ChartListFile, ACatalogWrittenOnWindowsLoadsAndFindsItsChartsThroughTheChartDirectories) {
  TTempDir tmp;
  ::mkdir((tmp / "kort").c_str(), 0755);
  ::mkdir((tmp / "bilder").c_str(), 0755);
  ::mkdir((tmp / "bilder/Norr").c_str(), 0755);
  WriteTestFile(tmp / "kort/goteborg.kap", "kap");
  WriteTestFile(tmp / "bilder/Norr/Koster.PNG", "png");

  const RChartLayout g = BoxEntry("x", 15000, 11.8, 57.6, 12.0, 57.8);
  const RChartLayout k = BoxEntry("x", 30000, 10.9, 58.8, 11.2, 59.0);
  TBytes file;
  file.raw(std::string_view("BRA\x01", 4)).i32(4);
  PutCatalogEntry(file, 0x5, 0, 0, 15000, g.Bounds, "G\xF6teborg hamn", "C:\\Sj\xF6kort\\GOTEBORG.KAP", g.Border);
  PutCatalogEntry(file, 0, 1, 0, 20000, g.Bounds, "", "C:\\Sj\xF6kort\\NONAME.KAP", g.Border);
  PutCatalogEntry(file, 0, 1, 0, 20000, g.Bounds, "Marstrand", "D:\\CHARTS\\MARSTRAND.KAP", g.Border);
  PutCatalogEntry(file, 0, 1, 0, 30000, k.Bounds, "Kosterhavet", "C:\\Program Files\\Brismare\\Charts\\Norr\\koster.png",
                  k.Border);
  WriteTestFile(tmp / "BRAINDEX.BIN", file.b);

  TChartList list;
  TCatalogLoadResult r = list.LoadFromFile(tmp / "BRAINDEX.BIN", tmp / "kort" + ";" + tmp / "bilder*");
  ASSERT_EQ(r.Status, TCatalogLoad::Loaded) << r.Message;
  EXPECT_EQ(r.Unnamed, 1);
  EXPECT_EQ(r.NotFound, 1);
  ASSERT_EQ(list.Count(), 2);
  EXPECT_EQ(list.GetEntry(0).Name, "Göteborg hamn");
  EXPECT_EQ(list.GetEntry(0).Priority, 1);  // 0 reads as 1
  EXPECT_EQ(list.GetEntry(0).GroupMask, kCatalogEntryBit);
  EXPECT_EQ(list.GetFileName(0), "C:\\Sjökort\\GOTEBORG.KAP");
  EXPECT_EQ(list.ResolvedFileName(0), tmp / "kort/goteborg.kap");
  EXPECT_EQ(list.GetEntry(1).Name, "Kosterhavet");
  // In a subdirectory of a chart directory scanned with its subdirectories.
  EXPECT_EQ(list.ResolvedFileName(1), tmp / "bilder/Norr/Koster.PNG");
  EXPECT_EQ(list.FindByName("Göteborg hamn"), 0);
  EXPECT_EQ(list.FindByFileName("c:\\sjÖkort\\goteborg.kap"), 0);
  EXPECT_EQ(list.BestChart(Deg(11.9, 57.7), -1, 0, 0), 0);
  EXPECT_EQ(list.ListDirectories(),
            (std::vector<std::string>{"C:\\Sjökort\\", "C:\\Program Files\\Brismare\\Charts\\Norr\\"}));

  // Without a search path (the calibration tool) nothing but the unnamed
  // entry is left out.
  r = list.LoadFromFile(tmp / "BRAINDEX.BIN", "");
  EXPECT_EQ(list.Count(), 3);
  EXPECT_EQ(r.NotFound, 0);
  EXPECT_EQ(list.ResolvedFileName(1), "D:\\CHARTS\\MARSTRAND.KAP");
  // Cut inside the last entry: the entries before it go through the same
  // rules (the unnamed one and the one whose file is gone are left out).
  WriteTestFile(tmp / "BRAINDEX.BIN", file.b.substr(0, file.b.size() - 20));
  r = list.LoadFromFile(tmp / "BRAINDEX.BIN", tmp / "kort" + ";" + tmp / "bilder*");
  EXPECT_EQ(r.Status, TCatalogLoad::Damaged);
  EXPECT_EQ(r.Unnamed, 1);
  EXPECT_EQ(r.NotFound, 1);
  ASSERT_EQ(list.Count(), 1);
  EXPECT_EQ(list.ResolvedFileName(0), tmp / "kort/goteborg.kap");
  EXPECT_NE(r.Message.find("chart 4 of 4 is cut short; 1 of the 3 charts before it was kept"), std::string::npos)
      << r.Message;
}

// A catalog of three entries with borders, as bytes; `ends` receives where
// each entry ends in the file.
std::string ThreeEntryFile(std::vector<size_t>* ends = nullptr) {
  TChartList list;
  for (const RChartLayout& e : {BoxEntry("A", 10000, 0, 0, 1, 1), BoxEntry("B", 20000, 0, 0, 2, 2),
                                BoxEntry("C", 30000, 0, 0, 3, 3)}) {
    list.AddEntry(e, false);
    if (ends) ends->push_back(list.SaveToBytes().size());
  }
  return list.SaveToBytes();
}

TEST(ChartListFile, ACatalogCutShortAnywhereKeepsTheEntriesBeforeTheCut) {
  std::vector<size_t> ends;
  const std::string full = ThreeEntryFile(&ends);
  TChartList list;
  for (size_t n = 0; n < full.size(); ++n) {
    list.AddEntry(BoxEntry("left over", 1000, 0, 0, 1, 1), false);
    list.Current = 0;
    const TCatalogLoadResult r = list.LoadFromBytes(std::string_view(full).substr(0, n), "");
    ASSERT_EQ(r.Status, TCatalogLoad::Damaged) << n;
    EXPECT_TRUE(r.DamageFound);
    EXPECT_FALSE(r.Message.empty());
    const int whole = static_cast<int>(std::count_if(ends.begin(), ends.end(), [&](size_t end) { return end <= n; }));
    ASSERT_EQ(list.Count(), whole) << n;
    EXPECT_EQ(r.Entries, whole);
    for (int i = 0; i < whole; ++i) EXPECT_EQ(list.GetEntry(i).Name, std::string(1, char('A' + i))) << n;
    EXPECT_EQ(list.Current, -1);
    EXPECT_FALSE(list.Modified());
  }
  TCatalogLoadResult r = list.LoadFromBytes(full, "");
  EXPECT_EQ(r.Status, TCatalogLoad::Loaded);
  EXPECT_FALSE(r.DamageFound);
  EXPECT_EQ(list.Count(), 3);
  // Bytes after the last entry are not read.
  EXPECT_EQ(list.LoadFromBytes(full + "junk", "").Status, TCatalogLoad::Loaded);
  EXPECT_EQ(list.Count(), 3);

  // Through a file, as the plotter loads it: the message names the file.
  TTempDir tmp;
  WriteTestFile(tmp / "BRAINDEX.BIN", full.substr(0, ends[1] + 3));
  r = list.LoadFromFile(tmp / "BRAINDEX.BIN", "");
  EXPECT_EQ(r.Status, TCatalogLoad::Damaged);
  EXPECT_EQ(list.Count(), 2);
  EXPECT_EQ(r.Message, "The chart catalog " + tmp / "BRAINDEX.BIN" +
                           " is damaged: chart 3 of 3 is cut short; the 2 charts before it were kept");
}

TEST(ChartListFile, DamageAtAChosenEntryKeepsExactlyTheEntriesBeforeIt) {
  // Five entries: the second has no name and the third no scale, so only
  // A, D and E can ever be kept.
  const RChartLayout box = BoxEntry("x", 10000, 0, 0, 1, 1);
  std::vector<size_t> starts;
  TBytes f;
  f.raw(std::string_view("BRA\x01", 4)).i32(5);
  for (const auto& [name, scale] : std::initializer_list<std::pair<const char*, int32_t>>{
           {"A", 10000}, {"", 10000}, {"Zero", 0}, {"D", 20000}, {"E", 30000}}) {
    starts.push_back(f.b.size());
    PutCatalogEntry(f, 0, 1, 0, scale, box.Bounds, name, std::string("/charts/") + name + ".kap", box.Border);
  }
  const std::string full = f.b;
  auto withCount = [&](int32_t n) {
    TBytes h;
    h.raw(std::string_view("BRA\x01", 4)).i32(n);
    return h.b + full.substr(8);
  };
  const size_t fixedPart = 48, nameAt = 48 + 2;
  struct Case {
    const char* what;
    std::string bytes;
    std::vector<std::string> kept;
    std::string message;
  };
  const Case cases[] = {
      {"inside the fixed part of the fourth entry", full.substr(0, starts[3] + 20), {"A"},
       "chart 4 of 5 is cut short; 1 of the 3 charts before it was kept"},
      {"inside the name of the fourth entry", full.substr(0, starts[3] + nameAt + 1), {"A"},
       "chart 4 of 5 is cut short; 1 of the 3 charts before it was kept"},
      {"inside the border of the fifth entry", full.substr(0, full.size() - 10), {"A", "D"},
       "the border of chart 5 of 5 is cut short; 2 of the 4 charts before it were kept"},
      {"a count larger than the entries present", withCount(9), {"A", "D", "E"},
       "it names 9 charts but holds only 5; 3 of the 5 charts were kept"},
      {"a count the file could never hold", withCount(INT32_MAX), {"A", "D", "E"},
       "it names 2147483647 charts but holds only 5; 3 of the 5 charts were kept"},
      {"inside the first entry", full.substr(0, starts[0] + fixedPart - 1), {},
       "chart 1 of 5 is cut short; no chart was kept"},
      {"a count with no entry after it", full.substr(0, 8), {}, "it names 5 charts but holds none; no chart was kept"},
  };
  for (const Case& c : cases) {
    TChartList list;
    const TCatalogLoadResult r = list.LoadFromBytes(c.bytes, "");
    EXPECT_EQ(r.Status, TCatalogLoad::Damaged) << c.what;
    EXPECT_TRUE(r.DamageFound) << c.what;
    EXPECT_EQ(r.Entries, static_cast<int>(c.kept.size())) << c.what;
    // The message says where the damage is first, then what was left out.
    EXPECT_EQ(r.Message.substr(0, c.message.size()), c.message) << c.what << ": " << r.Message;
    std::vector<std::string> names;
    for (int i = 0; i < list.Count(); ++i) names.push_back(list.GetEntry(i).Name);
    EXPECT_EQ(names, c.kept) << c.what;
    // What was kept saves as a sound catalog of those entries.
    TChartList again;
    EXPECT_EQ(again.LoadFromBytes(list.SaveToBytes(), "").Status, TCatalogLoad::Loaded) << c.what;
    EXPECT_EQ(again.Count(), list.Count()) << c.what;
  }
}

TEST(ChartListFile, FilesWithoutAUsableHeaderLoadNothing) {
  const TFRect b{1, 1, 0, 0};
  struct Case {
    const char* what;
    std::string bytes;
    TCatalogLoad status;
  };
  TBytes negative, magic;
  negative.raw(std::string_view("BRA\x01", 4)).i32(-1);
  PutCatalogEntry(negative, 0, 1, 0, 1000, b, "A", "a", {});
  magic.raw("BRG\x01").i32(1);
  PutCatalogEntry(magic, 0, 1, 0, 1000, b, "A", "a", {});
  const Case cases[] = {
      {"negative count", negative.b, TCatalogLoad::Damaged},
      {"another file's magic", magic.b, TCatalogLoad::WrongMagic},
      {"empty file", "", TCatalogLoad::Damaged},
      {"header cut short", std::string("BRA\x01\x01\x00", 6), TCatalogLoad::Damaged},
  };
  for (const Case& c : cases) {
    TChartList list;
    list.AddEntry(BoxEntry("left over", 1000, 0, 0, 1, 1), false);
    const TCatalogLoadResult r = list.LoadFromBytes(c.bytes, "");
    EXPECT_EQ(r.Status, c.status) << c.what;
    EXPECT_FALSE(r.Ok()) << c.what;
    EXPECT_FALSE(r.Message.empty()) << c.what;
    EXPECT_EQ(list.Count(), 0) << c.what;
  }
}

TEST(ChartListFile, EntriesThatCannotBeUsedAreLeftOutAndTheOthersKept) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double inf = std::numeric_limits<double>::infinity();
  const RChartLayout e = BoxEntry("x", 10000, 0, 0, 1, 1);
  TBytes f;
  f.raw(std::string_view("BRA\x01", 4)).i32(6);
  PutCatalogEntry(f, 0, 1, 0, 10000, e.Bounds, "Good 1", "a", e.Border);
  PutCatalogEntry(f, 0, 1, 0, 0, e.Bounds, "Scale 0", "b", e.Border);
  PutCatalogEntry(f, 0, 1, 0, -5, e.Bounds, "Negative scale", "c", e.Border);
  PutCatalogEntry(f, 0, 1, 0, 10000, {nan, 1, 0, 0}, "NaN bounds", "d", e.Border);
  PutCatalogEntry(f, 0, 1, 0, 10000, e.Bounds, "Infinite border", "e", {{0, 0}, {inf, 0}, {0, 1}});
  PutCatalogEntry(f, 0, 1, 0, 20000, e.Bounds, "Good 2", "f", e.Border);
  TChartList list;
  const TCatalogLoadResult r = list.LoadFromBytes(f.b, "");
  EXPECT_EQ(r.Status, TCatalogLoad::Loaded);
  EXPECT_EQ(r.Invalid, 4);
  EXPECT_FALSE(r.Message.empty());
  ASSERT_EQ(list.Count(), 2);
  EXPECT_EQ(list.GetEntry(0).Name, "Good 1");
  EXPECT_EQ(list.GetEntry(1).Name, "Good 2");
}

TEST(ChartListFile, SaveAndLoadThroughFiles) {
  TTempDir tmp;
  TChartList list;
  TCatalogLoadResult r = list.LoadFromFile(tmp / "BRAINDEX.BIN", "");
  EXPECT_EQ(r.Status, TCatalogLoad::Missing);
  EXPECT_TRUE(r.Ok());
  EXPECT_TRUE(r.Message.empty());
  EXPECT_EQ(list.LoadFromFile(tmp.path(), "").Status, TCatalogLoad::Unreadable);

  list.AddEntry(BoxEntry("A", 10000, 0, 0, 1, 1), false);
  EXPECT_TRUE(list.Modified());
  std::string error;
  EXPECT_FALSE(list.SaveToFile(tmp / "no/such/dir/BRAINDEX.BIN", &error));
  EXPECT_FALSE(error.empty());
  EXPECT_TRUE(list.Modified());
  ASSERT_TRUE(list.SaveToFile(tmp / "BRAINDEX.BIN", &error)) << error;
  EXPECT_FALSE(list.Modified());
  EXPECT_EQ(ReadTestFile(tmp / "BRAINDEX.BIN"), list.SaveToBytes());

  TChartList other;
  other.AddEntry(BoxEntry("B", 10000, 0, 0, 1, 1), false);
  r = other.LoadFromFile(tmp / "BRAINDEX.BIN", "");
  EXPECT_EQ(r.Status, TCatalogLoad::Loaded);
  EXPECT_FALSE(other.Modified());
  ASSERT_EQ(other.Count(), 1);
  EXPECT_EQ(other.GetEntry(0).Name, "A");
  EXPECT_EQ(other.IndexFile(), tmp / "BRAINDEX.BIN");
}

TEST(ChartListFile, FindByNameAndByFile) {
  TChartList list;
  EXPECT_FALSE(list.FindEntryByName("Harbour").has_value());
  EXPECT_EQ(list.Current, -1);
  list.AddEntry(BoxEntry("Harbour", 10000, 0, 0, 1, 1, 1, "/c/Sjökort/Hamn.kap"), false);
  list.AddEntry(BoxEntry("Approach", 50000, 0, 0, 1, 1), false);
  list.Current = 1;
  EXPECT_FALSE(list.FindEntryByName("harbour").has_value());  // case counts
  EXPECT_EQ(list.Current, 1);
  const std::optional<RChartLayout> e = list.FindEntryByName("Harbour");
  ASSERT_TRUE(e.has_value());
  EXPECT_EQ(e->Scale, 10000);
  EXPECT_EQ(list.Current, 0);
  EXPECT_EQ(list.FindByFileName("/C/SJÖKORT/HAMN.KAP"), 0);
  EXPECT_EQ(list.FindByFileName("/c/Sjökort/Hamn"), -1);
  EXPECT_EQ(list.GetFileName(7), "");
  EXPECT_EQ(list.GetEntry(-1).Name, "");
}

TEST(ChartListFile, DuplicateNamesGetSuffixesUnlessItIsTheSameChart) {
  TTempDir tmp;
  for (const char* d : {"a", "b", "c"}) ::mkdir((tmp / d).c_str(), 0755);
  WriteTestFile(tmp / "a/Harbour.kap", std::string(100, 'x'));
  WriteTestFile(tmp / "b/HARBOUR.KAP", std::string(100, 'y'));  // same name and size
  WriteTestFile(tmp / "c/harbour.kap", std::string(99, 'z'));
  auto chart = [&](const std::string& file) { return BoxEntry("Harbour", 10000, 0, 0, 1, 1, 1, file); };
  TChartList list;
  EXPECT_EQ(list.AddEntry(chart(tmp / "a/Harbour.kap"), false), 1);
  EXPECT_EQ(list.AddEntry(chart(tmp / "A/HARBOUR.KAP"), false), 0);  // the same file
  EXPECT_EQ(list.AddEntry(chart(tmp / "b/HARBOUR.KAP"), false), 0);  // the same chart elsewhere
  EXPECT_EQ(list.AddEntry(chart(tmp / "c/harbour.kap"), false), 1);
  EXPECT_EQ(list.AddEntry(chart(tmp / "d/other.kap"), false), 1);
  EXPECT_EQ(list.Count(), 3);
  EXPECT_EQ(list.GetEntry(1).Name, "Harbour (2)");
  EXPECT_EQ(list.GetEntry(2).Name, "Harbour (3)");
  EXPECT_EQ(list.AddEntry(BoxEntry("No scale", 0, 0, 0, 1, 1), false), 0);

  for (int k = 4; k <= 100; ++k) ASSERT_EQ(list.AddEntry(chart(tmp / ("e/" + std::to_string(k))), false), 1);
  EXPECT_EQ(list.GetEntry(list.Count() - 1).Name, "Harbour (100)");
  TScriptedQuestions script;
  IUserQuestions* previous = SetUserQuestions(&script);
  EXPECT_EQ(list.AddEntry(chart(tmp / "f/1"), false), 0);
  EXPECT_TRUE(script.asked().empty());
  script.Answer(idOk);
  EXPECT_EQ(list.AddEntry(chart(tmp / "f/2"), true), 0);
  script.Answer(idCancel);
  EXPECT_EQ(list.AddEntry(chart(tmp / "f/3"), true), -1);
  SetUserQuestions(previous);
  ASSERT_EQ(script.asked().size(), 2u);
  EXPECT_EQ(script.asked()[0].text, "Harbour already in list. Not added.");
  EXPECT_EQ(script.asked()[0].flags & mfButtonMask, unsigned(mfOkCancel));
}

TEST(ChartListFile, ListNamesByGroupAndDirectory) {
  TChartList list;
  list.AddEntry(BoxEntry("A", 1000, 0, 0, 1, 1, 1, "/charts/east/a.kap"), false);
  list.AddEntry(BoxEntry("B", 1000, 0, 0, 1, 1, 1, "/charts/west/b.kap"), false);
  list.AddEntry(BoxEntry("C", 1000, 0, 0, 1, 1, 1, "/charts/east/c.kap"), false);
  const int32_t g = int32_t(1) << list.AddGroup("East");
  list.SetGroupMask(0, g);
  std::vector<std::string> members, others;
  EXPECT_EQ(list.ListNames(g, members, "/charts/east/", others), 0);
  EXPECT_EQ(members, std::vector<std::string>{"A"});
  EXPECT_EQ(others, std::vector<std::string>{"C"});
  members.clear();
  others.clear();
  list.ListNames(g, members, "*.*", others);
  EXPECT_EQ(others, (std::vector<std::string>{"B", "C"}));
  EXPECT_EQ(list.ListDirectories(), (std::vector<std::string>{"/charts/east/", "/charts/west/"}));
}

// ---------------------------------------------------------------------------
// Groups

TEST(ChartListGroups, SlotsNamesAndBits) {
  TChartList list;
  list.AddEntry(BoxEntry("A", 1000, 0, 0, 1, 1), false);
  for (int i = 0; i < kChartGroupCount; ++i) ASSERT_EQ(list.AddGroup("G" + std::to_string(i)), i);
  EXPECT_EQ(list.AddGroup("one too many"), -1);
  EXPECT_EQ(list.GroupCount(), 24);
  EXPECT_EQ(list.GroupBit("G5"), 1 << 5);
  EXPECT_EQ(list.GroupIndex("g5"), -1);  // names compare exactly
  list.SetGroupMask(0, (1 << 5) | (1 << 7));
  list.DeleteGroup("G5");
  EXPECT_EQ(list.GroupBit("G5"), 0);
  EXPECT_EQ(list.GetEntry(0).GroupMask, kCatalogEntryBit | (1 << 7));
  EXPECT_EQ(list.AddGroup("New"), 5);  // the first free slot
  std::vector<std::string> names;
  EXPECT_EQ(list.ListGroups(names), 24);
  EXPECT_EQ(names[5], "New");

  // A rename keeps the slot, the bit and the members; it needs a group of
  // the old name and no other group of the new one.
  EXPECT_TRUE(list.RenameGroup("G7", "Seven"));
  EXPECT_EQ(list.GroupIndex("Seven"), 7);
  EXPECT_EQ(list.GroupIndex("G7"), -1);
  EXPECT_EQ(list.GetEntry(0).GroupMask, kCatalogEntryBit | (1 << 7));
  EXPECT_TRUE(list.RenameGroup("Seven", "Seven"));
  EXPECT_FALSE(list.RenameGroup("Seven", "G8"));
  EXPECT_FALSE(list.RenameGroup("G7", "Eight"));
  EXPECT_FALSE(list.RenameGroup("Seven", std::string(70000, 'x')));
  EXPECT_EQ(list.GroupIndex("G8"), 8);
  EXPECT_EQ(list.GroupIndex("Seven"), 7);
}

class TGroupsFile : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const char* n : {"Harbour", "Approach", "Coast"}) list.AddEntry(BoxEntry(n, 10000, 0, 0, 1, 1), false);
    list.AddGroup("West");
    list.AddGroup("Ålands hav");
    list.SetGroupMask(0, 1);
    list.SetGroupMask(2, 3);
  }
  TChartList list;
  TTempDir tmp;
};

TEST_F(TGroupsFile, ByteLayoutAndRoundTrip) {
  TBytes expect;
  expect.raw(std::string_view("BRG\x01", 4)).i32(3);
  expect.i32(1).u8(1).text("West");
  expect.i32(2).u8(1).text("\xC5lands hav");
  for (int i = 2; i < kChartGroupCount; ++i) expect.i32(1 << i).u8(0).text("");
  expect.i32(0).i32(int32_t(0x80000001u)).text("Harbour");
  expect.i32(1).i32(INT32_MIN).text("Approach");
  expect.i32(2).i32(int32_t(0x80000003u)).text("Coast");
  EXPECT_EQ(list.SaveGroupsToBytes(), expect.b);

  ASSERT_TRUE(list.SaveGroups(tmp / "BRGROUPS.BIN"));
  TChartList other;
  for (const char* n : {"Harbour", "Approach", "Coast"}) other.AddEntry(BoxEntry(n, 10000, 0, 0, 1, 1), false);
  const TCatalogLoadResult r = other.LoadGroups(tmp / "BRGROUPS.BIN");
  EXPECT_EQ(r.Status, TCatalogLoad::Loaded);
  EXPECT_FALSE(r.Rewritten);
  EXPECT_EQ(other.GroupBit("Ålands hav"), 2);
  EXPECT_EQ(other.GetEntry(2).GroupMask, int32_t(0x80000003u));
  EXPECT_EQ(other.SaveGroupsToBytes(), expect.b);
}

TEST_F(TGroupsFile, MembersWhoseIndexMovedAreFoundByNameAndTheFileRewritten) {
  ASSERT_TRUE(list.SaveGroups(tmp / "BRGROUPS.BIN"));
  // The catalog was rebuilt: Harbour and Coast changed places, Approach is gone.
  TChartList rebuilt;
  for (const char* n : {"Coast", "Harbour", "New"}) rebuilt.AddEntry(BoxEntry(n, 10000, 0, 0, 1, 1), false);
  const TCatalogLoadResult r = rebuilt.LoadGroups(tmp / "BRGROUPS.BIN");
  EXPECT_EQ(r.Status, TCatalogLoad::Loaded);
  EXPECT_TRUE(r.Rewritten);
  EXPECT_EQ(rebuilt.GetEntry(0).GroupMask, int32_t(0x80000003u));
  EXPECT_EQ(rebuilt.GetEntry(1).GroupMask, int32_t(0x80000001u));
  EXPECT_EQ(rebuilt.GetEntry(2).GroupMask, kCatalogEntryBit);
  EXPECT_EQ(ReadTestFile(tmp / "BRGROUPS.BIN"), rebuilt.SaveGroupsToBytes());
  EXPECT_FALSE(r.DamageFound);
  EXPECT_FALSE(TestFileExists(tmp / "BRGROUPS.BIN.damaged"));  // nothing was lost: no copy
}

TEST_F(TGroupsFile, StoredMasksAreCheckedAgainstTheGroupsThatExist) {
  TBytes f;
  f.raw(std::string_view("BRG\x01", 4)).i32(1);
  f.i32(0x7777).u8(1).text("Only");  // a wrong slot mask
  for (int i = 1; i < kChartGroupCount; ++i) f.i32(0).u8(i == 3 ? 2 : 0).text("x");
  f.i32(0).i32(-1).text("Harbour");  // every bit set
  ASSERT_EQ(list.LoadGroupsFromBytes(f.b).Status, TCatalogLoad::Loaded);
  EXPECT_EQ(list.GroupCount(), 1);
  EXPECT_EQ(list.GroupBit("Only"), 1);
  EXPECT_EQ(list.GetEntry(0).GroupMask, int32_t(0x80000001u));
  EXPECT_EQ(list.GetEntry(2).GroupMask, kCatalogEntryBit);  // memberships start afresh
}

TEST_F(TGroupsFile, DamagedGroupRecordsGiveNoGroupsAndTheFileIsLeftAlone) {
  const std::string full = list.SaveGroupsToBytes();
  const size_t groupsEnd = full.size() - (10 + 7) - (10 + 8) - (10 + 5);  // the three member records
  for (size_t n = 0; n < groupsEnd; ++n) {
    list.SetGroupMask(0, 1);
    bool rewrite = true;
    const TCatalogLoadResult r = list.LoadGroupsFromBytes(std::string_view(full).substr(0, n), &rewrite);
    ASSERT_EQ(r.Status, TCatalogLoad::Damaged) << n;
    EXPECT_TRUE(r.DamageFound);
    EXPECT_FALSE(rewrite) << n;
    EXPECT_EQ(list.GroupCount(), 0) << n;
    EXPECT_EQ(list.GetEntry(0).GroupMask, kCatalogEntryBit) << n;
  }

  const std::string cut = full.substr(0, groupsEnd - 3);
  WriteTestFile(tmp / "BRGROUPS.BIN", cut);
  const TCatalogLoadResult r = list.LoadGroups(tmp / "BRGROUPS.BIN");
  EXPECT_EQ(r.Status, TCatalogLoad::Damaged);
  EXPECT_FALSE(r.Message.empty());
  EXPECT_FALSE(r.Rewritten);
  EXPECT_EQ(ReadTestFile(tmp / "BRGROUPS.BIN"), cut);
  EXPECT_FALSE(TestFileExists(tmp / "BRGROUPS.BIN.damaged"));
  // A missing file: no groups, no message.
  const TCatalogLoadResult none = list.LoadGroups(tmp / "nothing.bin");
  EXPECT_EQ(none.Status, TCatalogLoad::Missing);
  EXPECT_TRUE(none.Message.empty());
  EXPECT_EQ(list.GroupCount(), 0);
}

TEST_F(TGroupsFile, DamagedMemberRecordsAreSkippedAndTheRestKept) {
  // Members: Harbour (group West), Approach (none), Coast (West and Ålands hav).
  const std::string full = list.SaveGroupsToBytes();
  const size_t groupsEnd = full.size() - (10 + 7) - (10 + 8) - (10 + 5);
  const size_t harbourEnd = groupsEnd + 10 + 7;
  for (size_t n = groupsEnd; n < full.size(); ++n) {
    bool rewrite = false;
    const TCatalogLoadResult r = list.LoadGroupsFromBytes(std::string_view(full).substr(0, n), &rewrite);
    ASSERT_EQ(r.Status, TCatalogLoad::Loaded) << n;
    EXPECT_TRUE(r.DamageFound) << n;
    EXPECT_TRUE(rewrite) << n;
    EXPECT_FALSE(r.Message.empty()) << n;
    EXPECT_EQ(list.GroupCount(), 2) << n;
    EXPECT_EQ(list.GetEntry(0).GroupMask, n >= harbourEnd ? int32_t(0x80000001u) : kCatalogEntryBit) << n;
    EXPECT_EQ(list.GetEntry(2).GroupMask, kCatalogEntryBit) << n;
  }
  // A count larger than the records present: all of them are read.
  TBytes huge;
  huge.raw(full.substr(0, 4)).i32(INT32_MAX).raw(full.substr(8));
  bool rewrite = false;
  TCatalogLoadResult r = list.LoadGroupsFromBytes(huge.b, &rewrite);
  EXPECT_EQ(r.Status, TCatalogLoad::Loaded);
  EXPECT_TRUE(r.DamageFound);
  EXPECT_TRUE(rewrite);
  EXPECT_EQ(r.Entries, 3);
  EXPECT_EQ(list.GetEntry(2).GroupMask, int32_t(0x80000003u));
  EXPECT_EQ(r.Message, "it names 2147483647 members but holds only 3; the 2147483644 missing ones were skipped");

  // A negative count says nothing: every record the file holds is read.
  TBytes negative;
  negative.raw(full.substr(0, 4)).i32(-2).raw(full.substr(8));
  r = list.LoadGroupsFromBytes(negative.b, &rewrite);
  EXPECT_EQ(r.Status, TCatalogLoad::Loaded);
  EXPECT_TRUE(r.DamageFound);
  EXPECT_TRUE(rewrite);
  EXPECT_EQ(r.Entries, 3);
  EXPECT_EQ(list.GetEntry(2).GroupMask, int32_t(0x80000003u));

  r = list.LoadGroupsFromBytes(full.substr(0, full.size() - 3), &rewrite);
  EXPECT_EQ(r.Message, "member 3 of 3 is cut short and was skipped");
}

TEST_F(TGroupsFile, ADamagedGroupsFileIsKeptAsideAndWrittenAgain) {
  const std::string cut = list.SaveGroupsToBytes().substr(0, list.SaveGroupsToBytes().size() - 3);
  const std::string file = tmp / "BRGROUPS.BIN";
  WriteTestFile(file, cut);
  TChartList loaded;
  for (const char* n : {"Harbour", "Approach", "Coast"}) loaded.AddEntry(BoxEntry(n, 10000, 0, 0, 1, 1), false);

  // Without a place for the copy the file stays as it is.
  ::mkdir((file + ".damaged").c_str(), 0755);
  TCatalogLoadResult r = loaded.LoadGroups(file);
  EXPECT_EQ(r.Status, TCatalogLoad::Loaded);
  EXPECT_TRUE(r.DamageFound);
  EXPECT_FALSE(r.Rewritten);
  EXPECT_NE(r.Message.find("could not be kept"), std::string::npos) << r.Message;
  EXPECT_EQ(ReadTestFile(file), cut);
  ::rmdir((file + ".damaged").c_str());

  r = loaded.LoadGroups(file);
  EXPECT_EQ(r.Status, TCatalogLoad::Loaded);
  EXPECT_TRUE(r.DamageFound);
  EXPECT_TRUE(r.Rewritten);
  EXPECT_EQ(r.Message, "The chart groups file " + file +
                           " is damaged: member 3 of 3 is cut short and was skipped; the damaged file was kept as " +
                           file + ".damaged");
  EXPECT_EQ(ReadTestFile(file + ".damaged"), cut);
  EXPECT_EQ(ReadTestFile(file), loaded.SaveGroupsToBytes());
  EXPECT_EQ(loaded.GetEntry(0).GroupMask, int32_t(0x80000001u));

  // The rewritten file loads clean, with the same groups.
  TChartList again;
  for (const char* n : {"Harbour", "Approach", "Coast"}) again.AddEntry(BoxEntry(n, 10000, 0, 0, 1, 1), false);
  r = again.LoadGroups(file);
  EXPECT_EQ(r.Status, TCatalogLoad::Loaded);
  EXPECT_FALSE(r.DamageFound);
  EXPECT_FALSE(r.Rewritten);
  EXPECT_TRUE(r.Message.empty());
  EXPECT_EQ(again.SaveGroupsToBytes(), loaded.SaveGroupsToBytes());
}

TEST_F(TGroupsFile, OverADamagedCatalogMovedIndexesDoNotRewriteTheFile) {
  ASSERT_TRUE(list.SaveGroups(tmp / "BRGROUPS.BIN"));
  const std::string before = ReadTestFile(tmp / "BRGROUPS.BIN");
  // The catalog lost Harbour (cut short) after Coast moved to the front.
  TChartList catalog;
  for (const char* n : {"Coast", "Approach", "Harbour"}) catalog.AddEntry(BoxEntry(n, 10000, 0, 0, 1, 1), false);
  const std::string bytes = catalog.SaveToBytes();
  WriteTestFile(tmp / "BRAINDEX.BIN", bytes.substr(0, bytes.size() - 5));
  TChartList damaged;
  ASSERT_EQ(damaged.LoadFromFile(tmp / "BRAINDEX.BIN", "").Status, TCatalogLoad::Damaged);
  ASSERT_EQ(damaged.Count(), 2);
  const TCatalogLoadResult r = damaged.LoadGroups(tmp / "BRGROUPS.BIN");
  EXPECT_EQ(r.Status, TCatalogLoad::Loaded);
  EXPECT_FALSE(r.Rewritten);
  EXPECT_EQ(damaged.GetEntry(0).GroupMask, int32_t(0x80000003u));  // matched by name all the same
  EXPECT_EQ(ReadTestFile(tmp / "BRGROUPS.BIN"), before);
}

}  // namespace
