#include <cmath>
#include <filesystem>
#include <string>
#include <vector>

#include "GeodesyTestData.h"
#include "TestSupport.h"
#include "foundation/IniFile.h"
#include "geodesy/Datum.h"
#include "platform/Paths.h"

namespace {

constexpr double kEarth = 6378137.0;

double Deg(double d) { return d * kDegToRad; }

const char kSmallTable[] =
    "[Datums]\r\n"
    "WGS84=WGS84,0,0,0\r\n"
    "European 1950 = International 1924 , -87 , -98 , -121\r\n"
    "GRS80 datum=GRS80,0,0,0\r\n"
    "Typo datum=Internatonal 1924,-87,-98,-121\r\n"
    "Broken datum=International 1924,-87,x,-121\r\n"
    "Short datum=International 1924,-87\r\n"
    "Empty datum=\r\n"
    "[DatumsAliases]\r\n"
    "ED50=European 1950\r\n"
    "Lost=Nowhere 1900\r\n"
    "Via typo=Typo datum\r\n"
    "[Ellips]\r\n"
    "WGS84=6378137,298.257223563\r\n"
    "GRS80=6378137,298.257222101\r\n"
    "International 1924=6378388,297\r\n"
    "[Projections]\r\n"
    "Mercator=1,0,0\r\n"
    "Lambert=3,46.5,3,44,49\r\n"
    "Bad code=9,0,0\r\n"
    "Garbled=2,x,15\r\n";

// Find and Lookup over names of every kind.
TEST(Datum, FindAndLookup) {
  TTempDir dir;
  WriteTestFile(dir / "DATUMS2.INI", kSmallTable);
  TDatum d(dir / "DATUMS2.INI");
  const TDatumParams ed50{6378388, 297, -87, -98, -121};
  struct Case {
    const char* name;
    int find;
    bool resolved;
    TDatumParams params;
  } cases[] = {
      {"", kDatumEmptyName, true, {}},
      {"WGS84", kDatumDirect, true, {}},
      {"european 1950", kDatumDirect, true, ed50},  // names ignore case, items are trimmed
      {"ED50", kDatumAlias, true, ed50},
      {"ed50", kDatumAlias, true, ed50},
      {"GRS80 datum", kDatumDirect, true, {6378137, 298.257222101, 0, 0, 0}},
      {"Lost", kDatumNotFound, false, {}},  // alias to a missing datum
      {"Nowhere", kDatumNotFound, false, {}},
      {"Empty datum", kDatumNotFound, false, {}},
      // Entries that cannot be used are not found, rather than silently WGS 84.
      {"Typo datum", kDatumNotFound, false, {}},
      {"Via typo", kDatumNotFound, false, {}},
      {"Broken datum", kDatumNotFound, false, {}},
      {"Short datum", kDatumNotFound, false, {}},
      {"a=b", kDatumNotFound, false, {}},
      {"[Datums]", kDatumNotFound, false, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(d.Find(c.name), c.find);
    bool resolved = !c.resolved;
    EXPECT_EQ(d.Lookup(c.name, &resolved), c.params);
    EXPECT_EQ(resolved, c.resolved);
  }
  const std::vector<std::string> names = d.DatumNames();
  ASSERT_EQ(names.size(), 7u);
  EXPECT_EQ(names[1], "European 1950");

  const std::vector<TProjectionPreset> presets = d.ProjectionPresets();
  ASSERT_EQ(presets.size(), 2u);
  EXPECT_EQ(presets[1].Name, "Lambert");
  EXPECT_EQ(presets[1].Code, 3);
  EXPECT_TRUE(presets[1].HasParallels);
  EXPECT_DOUBLE_EQ(presets[1].Lat0, Deg(46.5));
  EXPECT_DOUBLE_EQ(presets[1].LatN, Deg(49));
}

TEST(Datum, IdentityGivesNoShift) {
  TDatum d("/nonexistent/DATUMS2.INI");
  // A missing file: every name falls back to WGS 84, and nothing raises.
  EXPECT_EQ(d.Find("European 1950"), kDatumNotFound);
  EXPECT_EQ(d.Lookup("European 1950"), TDatumParams{});
  // WGS 84 itself is always known.
  for (const char* n : {"WGS84", "wgs 84", "WGS-84"}) {
    SCOPED_TRACE(n);
    EXPECT_EQ(d.Find(n), kDatumDirect);
    bool resolved = false;
    EXPECT_EQ(d.Lookup(n, &resolved), TDatumParams{});
    EXPECT_TRUE(resolved);
  }
  EXPECT_EQ(d.Find("WGS 8"), kDatumNotFound);
  EXPECT_EQ(d.Find("WGS842"), kDatumNotFound);
  EXPECT_TRUE(d.IsIdentity());
  const TFPoint p{Deg(18), Deg(59.3)};
  EXPECT_EQ(d.ShiftAt(p), (TFPoint{0, 0}));
  // WGS 84's axis with another flattening still counts as the identity.
  d.SetSource({6378137, 298.257222101, 0, 0, 0});
  EXPECT_TRUE(d.IsIdentity());
  EXPECT_EQ(d.ShiftAt(p), (TFPoint{0, 0}));
  EXPECT_EQ(d.ShiftPosition(p), p);
  d.SetSource({6378388, 297, -87, -98, -121});
  EXPECT_FALSE(d.IsIdentity());
  const TFPoint s = d.ShiftAt(p);
  // ED50 at 59.3 N 18 E: about 66 m west and 45 m south.
  EXPECT_NEAR(s.X * kEarth * std::cos(p.Y), -66.2, 0.2);
  EXPECT_NEAR(s.Y * kEarth, -44.9, 0.2);
  // Poles and non-numbers give no longitude shift rather than infinities.
  EXPECT_EQ(d.ShiftAt({Deg(10), Deg(90)}).X, 0);
  EXPECT_EQ(d.ShiftAt({std::nan(""), 0}), (TFPoint{0, 0}));
}

// The shift agrees with PROJ's (non-abridged) Molodensky operation to better
// than 0.1 mm.
TEST(Datum, MolodenskyAgreesWithProj) {
  for (const char* file : {"molodensky_ed50_intl.txt", "molodensky_nad27_clarke1866.txt",
                           "molodensky_osgb36_airy.txt", "molodensky_tokyo_bessel.txt",
                           "molodensky_world_krassovsky.txt"}) {
    SCOPED_TRACE(file);
    const TRefTable t = ReadRefTable(GeodesyDataFile(file));
    ASSERT_GE(t.rows.size(), 100u);
    TDatum d("/nonexistent/DATUMS2.INI");
    d.SetSource({t.Param("a"), t.Param("invf"), t.Param("dx"), t.Param("dy"), t.Param("dz")});
    double worst = 0;
    for (const auto& r : t.rows) {
      const TFPoint p{Deg(r[0]), Deg(r[1])};
      const TFPoint s = d.ShiftAt(p);
      const double east = (s.X - Deg(r[2] - r[0])) * kEarth * std::cos(p.Y);
      const double north = (s.Y - Deg(r[3] - r[1])) * kEarth;
      worst = std::max({worst, std::fabs(east), std::fabs(north)});
    }
    EXPECT_LT(worst, 1e-4);
  }
}

// The table is read again when it changes on disk, and aliases added by the
// program are there at the next look-up.
TEST(Datum, EditsAndAliases) {
  TTempDir dir;
  const std::string file = dir / "DATUMS2.INI";
  WriteTestFile(file, "[Datums]\nWGS84=WGS84,0,0,0\n[Ellips]\nWGS84=6378137,298.257223563\n");
  TDatum d(file);
  EXPECT_EQ(d.Find("NAD27"), kDatumNotFound);
  WriteTestFile(file,
                "[Datums]\nWGS84=WGS84,0,0,0\nNAD27=Clarke 1866,-8,160,176\n"
                "[Ellips]\nWGS84=6378137,298.257223563\nClarke 1866=6378206.4,294.9786982\n");
  EXPECT_EQ(d.Find("NAD27"), kDatumDirect);

  EXPECT_TRUE(d.AddAlias("NORTH AMERICAN DATUM OF 1927", "NAD27"));
  EXPECT_EQ(d.Find("North American Datum of 1927"), kDatumAlias);
  EXPECT_EQ(d.Lookup("North American Datum of 1927").DX, -8);
  // Names from chart headers that cannot be keys are refused, file intact.
  std::string error;
  EXPECT_FALSE(d.AddAlias("GD=[bad]", "NAD27", &error));
  EXPECT_FALSE(error.empty());
  EXPECT_FALSE(d.AddAlias("", "NAD27"));
  EXPECT_FALSE(d.AddAlias("Line\nbreak", "NAD27"));
  EXPECT_EQ(d.Find("NAD27"), kDatumDirect);
  EXPECT_EQ(d.Find("North American Datum of 1927"), kDatumAlias);
}

// The shipped table: every datum and alias resolves, the datums charts
// commonly name are there, and every projection set-up reads.
TEST(Datum, ShippedTable) {
  const std::string file = std::string(BRISMARE_SOURCE_DIR) + "/data/DATUMS2.INI";
  TDatum d(file);
  const std::vector<std::string> names = d.DatumNames();
  EXPECT_GE(names.size(), 12u);
  for (const std::string& n : names) {
    SCOPED_TRACE(n);
    EXPECT_EQ(d.Find(n), kDatumDirect);
  }
  const TIniFile ini(file);
  for (const std::string& alias : ini.ReadSection("DatumsAliases")) {
    SCOPED_TRACE(alias);
    EXPECT_EQ(d.Find(alias), kDatumAlias);
  }
  for (const char* n : {"WGS84", "WGS 84", "World Geodetic System 1984", "ETRS89", "European 1950", "ED50",
                        "NAD27", "NAD83", "OSGB36", "RT90", "Potsdam", "Tokyo", "Pulkovo 1942",
                        "European 1979", "Australian Geodetic 1966", "Australian Geodetic 1984", "NZGD49"}) {
    SCOPED_TRACE(n);
    EXPECT_GT(d.Find(n), 0);
  }
  for (const char* n : {"WGS84", "WGS 84", "ETRS89", "NAD83", "NORTH AMERICAN DATUM OF 1983"}) {
    SCOPED_TRACE(n);
    d.SetSource(d.Lookup(n));
    EXPECT_TRUE(d.IsIdentity());
  }
  EXPECT_EQ(d.Lookup("ED50"), (TDatumParams{6378388, 297, -87, -98, -121}));
  EXPECT_EQ(d.ProjectionPresets().size(), ini.ReadSection("Projections").size());
}

TEST(Datum, DefaultFileIsCopiedOnce) {
  TTempDir shipped, data;
  WriteTestFile(shipped / "DATUMS2.INI", kSmallTable);
  EXPECT_TRUE(EnsureDefaultDatumFile(data.path(), shipped.path()));
  EXPECT_EQ(ReadTestFile(data / "DATUMS2.INI"), kSmallTable);
  // An existing table, in any letter case, is the user's: never replaced.
  TTempDir data2;
  WriteTestFile(data2 / "datums2.ini", "[Datums]\n");
  EXPECT_TRUE(EnsureDefaultDatumFile(data2.path(), shipped.path()));
  EXPECT_EQ(ReadTestFile(data2 / "datums2.ini"), "[Datums]\n");
  EXPECT_FALSE(TestFileExists(data2 / "DATUMS2.INI"));
  // Nothing to copy from.
  TTempDir empty, data3;
  std::string error;
  EXPECT_FALSE(EnsureDefaultDatumFile(data3.path(), empty.path(), &error));
  EXPECT_FALSE(error.empty());
  // The build tree's programs find the source tree's copy beside them.
  EXPECT_EQ(ShippedDataDir(), ProgramDir() + "data/");
}

// The shipped data files are looked for in the installation's share
// directory first, then beside the program (the build tree, a portable
// copy); a directory without the datum table does not count.
TEST(Datum, ShippedDataDirPrefersTheInstalledShareDirectory) {
  TTempDir tmp;
  const std::string bin = tmp / "usr/bin/";
  const std::string share = tmp / "usr/share/brismare/";
  struct Case {
    const char* label;
    std::vector<std::string> tables;  // where DATUMS2.INI lies
    std::string expected;
  } cases[] = {
      {"installed, with copies beside the program", {share, bin + "data/", bin}, share},
      {"build tree", {bin + "data/", bin}, bin + "data/"},
      {"portable copy", {bin}, bin},
      {"a share directory without the table", {}, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    std::filesystem::remove_all(tmp / "usr");
    std::filesystem::create_directories(share);
    std::filesystem::create_directories(bin + "data");
    for (const std::string& dir : c.tables) WriteTestFile(dir + "datums2.ini", kSmallTable);
    EXPECT_EQ(ShippedDataDirOf(bin), c.expected);
    EXPECT_EQ(ShippedDataDirOf(tmp / "usr/bin"), c.expected);
  }
}

// The table is read under the name it really has: a data directory's
// "datums2.ini" is that file, not an upper-case name that does not exist.
TEST(Datum, TableFileIsTheFileFound) {
  TTempDir shipped, lower, none;
  WriteTestFile(shipped / "Datums2.Ini", kSmallTable);
  WriteTestFile(lower / "datums2.ini", "[Datums]\n");
  struct Case {
    std::string dataDir, shippedDir, expected;
  } cases[] = {
      {lower.path(), shipped.path(), lower / "datums2.ini"},
      {none.path(), shipped.path(), shipped / "Datums2.Ini"},
      {none.path(), "", none / "DATUMS2.INI"},
      {none.path(), none.path(), none / "DATUMS2.INI"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(DatumTableFile(c.dataDir, c.shippedDir), c.expected) << c.dataDir << " | " << c.shippedDir;
}

}  // namespace
