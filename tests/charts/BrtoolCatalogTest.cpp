// brtool catalog, run as a user would, on a data directory whose catalog
// was written on Windows.
#include <sys/stat.h>

#include <cstdio>
#include <string>

#include "CatalogTestUtil.h"
#include "TestSupport.h"

namespace {

TEST(BrtoolCatalog, ListAndBestChartOfAWindowsCatalog) {
  REQUIRE_PROGRAM("brtool");
  TTempDir data;
  ::mkdir((data / "Sjokort").c_str(), 0755);
  WriteTestFile(data / "Sjokort/coast.kap", "c");
  WriteTestFile(data / "Sjokort/hamn.kap", "h");
  WriteTestFile(data / "BRISMARE_2.INI", "[Program Setup]\r\nChart Dir=.\\Sjokort\r\n");
  const RChartLayout coast = BoxEntry("x", 200000, 10, 50, 20, 60);
  const RChartLayout hamn = BoxEntry("x", 10000, 14.9, 54.9, 15.1, 55.1);
  TBytes f;
  f.raw(std::string_view("BRA\x01", 4)).i32(3);
  PutCatalogEntry(f, 0, 1, 0, 200000, coast.Bounds, "Kust", "C:\\Charts\\COAST.KAP", coast.Border);
  PutCatalogEntry(f, 0, 1, 0, 10000, hamn.Bounds, "G\xF6teborg", "C:\\Charts\\HAMN.KAP", hamn.Border);
  PutCatalogEntry(f, 0, 1, 0, 5000, hamn.Bounds, "Gone", "C:\\Charts\\GONE.KAP", hamn.Border);
  WriteTestFile(data / "BRAINDEX.BIN", f.b);
  const std::string dir = " --dir \"" + data.path() + "\"";

  TProgramRun r = Brtool("catalog list" + dir);
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, "Kust\t200000\t" + data / "Sjokort/coast.kap" +
                       "\t10.000000 50.000000 20.000000 60.000000\n"
                       "Göteborg\t10000\t" +
                       data / "Sjokort/hamn.kap" + "\t14.900000 54.900000 15.100000 55.100000\n");
  r = Brtool("catalog best 15.0 55.0" + dir);
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, data / "Sjokort/hamn.kap\n");
  r = Brtool("catalog best 12 51" + dir);
  EXPECT_EQ(r.out, data / "Sjokort/coast.kap\n");
  r = Brtool("catalog best -25.5 55" + dir);
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(Brtool("catalog best x 55" + dir).status, 2);
  EXPECT_EQ(Brtool("catalog" + dir).status, 2);

  // Damaged: the charts before the damage are listed (the programs show
  // them), standard error says what was lost, and the exit code is 3.
  const std::string err = data / "err.txt";
  WriteTestFile(data / "BRAINDEX.BIN", f.b.substr(0, f.b.size() - 20));
  // Brtool() ends the command line with its own "2>/dev/null": standard
  // error goes to a file before it, and the exit status stays brtool's.
  r = Brtool("catalog list" + dir + " 2>\"" + err + "\"; exit $?");
  EXPECT_EQ(r.status, 3);
  EXPECT_EQ(r.out, "Kust\t200000\t" + data / "Sjokort/coast.kap" +
                       "\t10.000000 50.000000 20.000000 60.000000\n"
                       "Göteborg\t10000\t" +
                       data / "Sjokort/hamn.kap" + "\t14.900000 54.900000 15.100000 55.100000\n");
  EXPECT_NE(ReadTestFile(err).find("chart 3 of 3 is cut short; the 2 charts before it were kept"), std::string::npos)
      << ReadTestFile(err);
  r = Brtool("catalog best 15.0 55.0" + dir);
  EXPECT_EQ(r.status, 3);
  EXPECT_EQ(r.out, data / "Sjokort/hamn.kap\n");
  r = Brtool("catalog best -25.5 55" + dir);
  EXPECT_EQ(r.status, 3);
  EXPECT_EQ(r.out, "");
  WriteTestFile(data / "BRAINDEX.BIN", f.b.substr(0, 40));
  r = Brtool("catalog list" + dir);
  EXPECT_EQ(r.status, 3);
  EXPECT_EQ(r.out, "");
  // Not a catalog at all: nothing to use.
  WriteTestFile(data / "BRAINDEX.BIN", "not a catalog");
  r = Brtool("catalog list" + dir);
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, "");
}

}  // namespace
