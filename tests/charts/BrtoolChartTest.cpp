// brtool chart, run as a user would.

#include <cmath>
#include <cstdio>

#include "KapWriter.h"
#include "TestSupport.h"
#include "charts/ChartInfo.h"
#include "charts/HeaderText.h"
#include "charts/ImageChart.h"
#include "charts/KAPctrl.h"
#include "foundation/NumText.h"

namespace {

std::vector<double> Pair(const std::string& out) {
  std::vector<double> v;
  for (const std::string& item : SplitListItems(out)) v.push_back(TryStrToFloatDot(item).value_or(NAN));
  return v;
}

class BrtoolChart : public testing::Test {
 protected:
  void SetUp() override {
    REQUIRE_PROGRAM("brtool");
    setenv("BRISMARE_DIR", dir_.path().c_str(), 1);
    plan_.Width = 50;
    plan_.Height = 40;
    plan_.Depth = 3;
    plan_.Rows = RandomKapImage(50, 40, 3, 77);
    kap_ = dir_ / "test.kap";
    WriteTestFile(kap_, WriteKap(plan_, &offsets_));
  }
  void TearDown() override { unsetenv("BRISMARE_DIR"); }
  TTempDir dir_;
  TKapImage plan_;
  std::vector<uint32_t> offsets_;
  std::string kap_;
};

TEST_F(BrtoolChart, Info) {
  const TProgramRun r = Brtool("chart info " + kap_);
  ASSERT_EQ(r.status, 0);
  EXPECT_NE(r.out.find("\"name\": \"TEST CHART\""), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("\"scale\": 50000"), std::string::npos);
  EXPECT_NE(r.out.find("\"width\": 50,\n  \"height\": 40"), std::string::npos);
  EXPECT_NE(r.out.find("\"code\": 1, \"name\": \"Mercator\""), std::string::npos);
  EXPECT_NE(r.out.find("{\"x\": 50, \"y\": 40, \"lat\": 54.2, \"lon\": 10.5}"), std::string::npos);
  EXPECT_NE(r.out.find("{\"lat\": 54.5, \"lon\": 10.5}"), std::string::npos);
  EXPECT_NE(r.out.find("{\"x\": 0, \"y\": 0, \"lon\": 10, \"lat\": 54.5}"), std::string::npos);
  EXPECT_NE(r.out.find("\"indexRebuilt\": false"), std::string::npos);
  EXPECT_EQ(Brtool("chart info " + dir_ / "none.kap").status, 1);
  EXPECT_EQ(Brtool("chart info").status, 2);
}

TEST_F(BrtoolChart, Decode) {
  ASSERT_EQ(Brtool("chart decode " + kap_ + " " + dir_ / "out.raw").status, 0);
  const std::string raw = ReadTestFile(dir_ / "out.raw");
  ASSERT_EQ(raw.size(), 50u * 40u);
  for (size_t y = 0; y < 40; ++y)
    for (size_t x = 0; x < 50; ++x) ASSERT_EQ(static_cast<uint8_t>(raw[y * 50 + x]), plan_.Rows[y][x] - 1);

  ASSERT_EQ(Brtool("chart decode " + kap_ + " " + dir_ / "out.png --png").status, 0);
  const std::string png = ReadTestFile(dir_ / "out.png");
  TChartImage img;
  ASSERT_TRUE(LoadPNGImage({reinterpret_cast<const uint8_t*>(png.data()), png.size()}, img));
  TKAPDecoder d;
  ASSERT_GE(d.Open(kap_), 0);
  EXPECT_EQ(img.PixelRgb(7, 3), d.SlotColour(plan_.Rows[3][7]));
  EXPECT_EQ(Brtool("chart decode " + kap_ + " " + dir_ / "x.png --png --palette noon").status, 2);
  // No night colours in this chart: the RGB colours, said so on stderr.
  EXPECT_EQ(Brtool("chart decode " + kap_ + " " + dir_ / "night.png --png --palette night").status, 0);

  // A damaged row: written, rows reported, exit code 3.
  std::string file = ReadTestFile(kap_);
  PutBe32(file, KapIndexOffset(file) + 4 * 5, 0xFFFFFFF0u);
  WriteTestFile(dir_ / "damaged.kap", file);
  EXPECT_EQ(Brtool("chart decode " + dir_ / "damaged.kap " + dir_ / "d.raw").status, 3);
  EXPECT_EQ(ReadTestFile(dir_ / "d.raw").substr(5 * 50, 50), std::string(50, '\0'));
}

TEST_F(BrtoolChart, PixelsAndPositions) {
  // The header's reference points span the chart exactly (Mercator).
  TProgramRun r = Brtool("chart pix2geo " + kap_ + " 50 0");
  ASSERT_EQ(r.status, 0);
  std::vector<double> v = Pair(r.out);
  ASSERT_EQ(v.size(), 2u);
  EXPECT_NEAR(v[0], 10.5, 1e-9);
  EXPECT_NEAR(v[1], 54.5, 1e-9);
  r = Brtool("chart geo2pix " + kap_ + " 10.25 54.35");
  ASSERT_EQ(r.status, 0);
  v = Pair(r.out);
  ASSERT_EQ(v.size(), 2u);
  EXPECT_NEAR(v[0], 25, 1e-6);
  const std::vector<double> back = Pair(Brtool("chart pix2geo " + kap_ + " " + FloatToStrDot(v[0]) + " " +
                                               FloatToStrDot(v[1])).out);
  ASSERT_EQ(back.size(), 2u);
  // (pixels are printed to a millionth: 1e-8 deg here)
  EXPECT_NEAR(back[0], 10.25, 1e-7);
  EXPECT_NEAR(back[1], 54.35, 1e-7);
  EXPECT_EQ(Brtool("chart pix2geo " + kap_ + " 1,5 2").status, 2);
}

TEST_F(BrtoolChart, RealChart) {
  REQUIRE_TESTDATA(kap, "charts/14988_2.KAP");
  // At a reference pixel, that point's own position (REF/1).
  const std::vector<double> v = Pair(Brtool("chart pix2geo " + kap + " 26 636").out);
  ASSERT_EQ(v.size(), 2u);
  EXPECT_NEAR(v[0], -91.6015638889, 1e-7);
  EXPECT_NEAR(v[1], 48.1164861111, 1e-7);
  const std::vector<double> p = Pair(Brtool("chart geo2pix " + kap + " -91.6015638889 48.1164861111").out);
  ASSERT_EQ(p.size(), 2u);
  EXPECT_NEAR(p[0], 26, 0.01);
  EXPECT_NEAR(p[1], 636, 0.01);
}

}  // namespace
