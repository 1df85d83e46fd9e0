// brtool magvar and brtool proj, run as a user would.

#include <cmath>
#include <cstdio>
#include <string>

#include "TestSupport.h"
#include "foundation/NumText.h"
#include "foundation/Types.h"

namespace {

// The two numbers of a "x y" output line.
bool Pair(const std::string& out, double& x, double& y) {
  const size_t blank = out.find(' ');
  if (blank == std::string::npos) return false;
  const auto a = TryStrToFloatDot(out.substr(0, blank));
  const auto b = TryStrToFloatDot(out.substr(blank + 1, out.find('\n') - blank - 1));
  if (!a || !b) return false;
  x = *a;
  y = *b;
  return true;
}

class BrtoolGeodesy : public testing::Test {
 protected:
  void SetUp() override {
    REQUIRE_PROGRAM("brtool");
    setenv("BRISMARE_DIR", dir_.path().c_str(), 1);
  }
  void TearDown() override { unsetenv("BRISMARE_DIR"); }
  TTempDir dir_;
};

TEST_F(BrtoolGeodesy, Magvar) {
  // Published WMM-2025 test values (altitude 28 km and 63 km).
  EXPECT_EQ(Brtool("magvar 89 -121 2025.0 --alt 28000").out, "-99.77\n");
  EXPECT_EQ(Brtool("magvar 26 81 2025.5 --alt 63000").out, "0.51\n");
  const std::string cof = std::string(BRISMARE_SOURCE_DIR) + "/tests/geodesy/data/WMM_2015.COF";
  EXPECT_EQ(Brtool("magvar -80 240 2017.5 --alt 100000 --model " + cof).out, "69.00\n");

  TProgramRun r = Brtool("magvar 95 10 2026");
  EXPECT_EQ(r.out, "no data\n");
  EXPECT_EQ(r.status, 1);
  WriteTestFile(dir_ / "BAD.COF", "    2015.0  WMM-2015\n  1  0  x\n");
  r = Brtool("magvar 59 18 2026 --model " + dir_ / "BAD.COF");
  EXPECT_EQ(r.out, "no data\n");
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(Brtool("magvar 59,5 18 2026").status, 2);
}

TEST_F(BrtoolGeodesy, Proj) {
  TProgramRun r = Brtool("proj 1 fwd 15 60");
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, "0.2617993877991494 1.3169578969248166\n");
  r = Brtool("proj 1 inv 0.2617993877991494 1.3169578969248166");
  EXPECT_EQ(r.out, "15.0000000000 60.0000000000\n");
  // Against PROJ: lcc +lat_0=40 +lon_0=-96 +lat_1=33 +lat_2=45 +ellps=WGS84.
  r = Brtool("proj 3 fwd -90 41 --lat0 40 --lon0 -96 --lat1 33 --lat2 45");
  ASSERT_EQ(r.status, 0);
  double x = 0, y = 0;
  ASSERT_TRUE(Pair(r.out, x, y)) << r.out;
  EXPECT_NEAR(x, 501971.293107, 1e-6);
  EXPECT_NEAR(y, 127050.500949, 1e-6);
  EXPECT_EQ(Brtool("proj 3 fwd 0 0 --lat1 10 --lat2 -10").status, 2);  // no cone
  EXPECT_EQ(Brtool("proj 6 inv 7000000 0 --lat0 50").status, 1);      // off the disc
  EXPECT_EQ(Brtool("proj 8 fwd 0 0").status, 2);

  // On a datum: the WGS 84 position of an ED50 coordinate and back.
  const std::string datums = std::string(BRISMARE_SOURCE_DIR) + "/data/DATUMS2.INI";
  r = Brtool("proj 0 inv 0.3141592653589793 1.0349802464326374 --datum ED50 --datums " + datums);
  ASSERT_EQ(r.status, 0);
  ASSERT_TRUE(Pair(r.out, x, y)) << r.out;
  EXPECT_NEAR((x - 18) * 111320 * std::cos(59.3 * kDegToRad), -66.2, 0.5);
  EXPECT_NEAR((y - 59.3) * 111320, -44.9, 0.5);
  r = Brtool("proj 0 fwd " + r.out.substr(0, r.out.size() - 1) + " --datum ED50 --datums " + datums);
  ASSERT_TRUE(Pair(r.out, x, y)) << r.out;
  EXPECT_NEAR(x, 0.3141592653589793, 1e-11);
  EXPECT_NEAR(y, 1.0349802464326374, 1e-11);
  EXPECT_EQ(Brtool("proj 0 fwd 18 59 --datum Nowhere --datums " + datums).status, 2);
}

}  // namespace
