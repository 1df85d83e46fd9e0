// brtool wci write, run as a user would: an image with its .CAL file and a
// KAP chart become WCI files that carry their calibration.
#include <sys/wait.h>

#include <gtest/gtest.h>

#include "TestSupport.h"
#include "WciTestUtil.h"
#include "charts/ChartInfo.h"
#include "charts/WCIctrl.h"

TEST(WciBrtool, ImageWithItsCalibration) {
  REQUIRE_PROGRAM("brtool");
  TTempDir dir;
  const int32_t w = 30, h = 20;
  std::vector<uint8_t> pixels(w * h);
  for (int32_t i = 0; i < w * h; ++i) pixels[i] = static_cast<uint8_t>((i / 7) % 5);
  const std::vector<TRgb> palette = {0xFFFFFFFF, 0xFF000000, 0xFFFF0000, 0xFF00FF00, 0xFF0000FF};
  WriteTestFile(dir / "HARBOUR.BMP", wcitest::MakeBMP(w, h, 8, palette, pixels));
  WriteTestFile(dir / "HARBOUR.CAL",
                "NA=Harbour\r\nFN=HARBOUR.BMP\r\nSC=25000\r\nBC=3\r\nB1=57.1,11.5\r\nB2=57.2,11.5\r\nB3=57.2,11.6\r\n"
                "CC=2\r\nC1=0,0,57.200000000000,11.500000000000\r\nC2=30,20,57.100000000000,11.600000000000\r\n"
                "PR=1\r\n");
  const std::string out = dir / "HARBOUR.WCI";
  ASSERT_EQ(Brtool("wci write \"" + (dir / "HARBOUR.BMP") + "\" \"" + out + "\"").status, 0);
  // An existing target stays unless --force.
  EXPECT_EQ(Brtool("wci write \"" + (dir / "HARBOUR.BMP") + "\" \"" + out + "\"").status, 1);
  EXPECT_EQ(Brtool("wci write \"" + (dir / "HARBOUR.BMP") + "\" \"" + out + "\" --force").status, 0);

  TWCIDecoder d;
  ASSERT_GT(d.Open(out), 0);
  // Colours are numbered as the BMP file meets them, bottom row first.
  std::vector<int> map(256, -1);
  int next = 0;
  for (int32_t y = h - 1; y >= 0; --y)
    for (int32_t x = 0; x < w; ++x)
      if (map[pixels[y * w + x]] < 0) map[pixels[y * w + x]] = next++;
  std::vector<uint8_t> expected(pixels.size());
  for (size_t i = 0; i < pixels.size(); ++i) expected[i] = static_cast<uint8_t>(map[pixels[i]]);
  EXPECT_EQ(wcitest::DecodeAll(d), expected);
  TChartHeadBaseCodec codec;
  codec.LoadFromText(d.HeaderText());
  RChartInfo info;
  TChartHeadBaseCodec::ClearInfo(info);
  EXPECT_TRUE(codec.ReadInfo(info));
  EXPECT_EQ(info.Layout.Name, "Harbour");
  EXPECT_EQ(info.Layout.FileName, "HARBOUR.WCI");
  EXPECT_EQ(info.Layout.Scale, 25000);
  EXPECT_EQ(info.RefCount, 2);
  EXPECT_EQ(info.Width, 30);
  EXPECT_EQ(info.Height, 20);
  EXPECT_EQ(Brtool("wci info \"" + out + "\"").status, 0);
}

TEST(WciBrtool, KapChart) {
  REQUIRE_PROGRAM("brtool");
  REQUIRE_TESTDATA(kap, "charts/14988_2.KAP");
  TTempDir dir;
  const std::string out = dir / "BASSWOOD.WCI";
  ASSERT_EQ(Brtool("wci write \"" + kap + "\" \"" + out + "\"").status, 0);
  TWCIDecoder d;
  ASSERT_GT(d.Open(out), 0);
  TChartHeadBaseCodec codec;
  codec.LoadFromText(d.HeaderText());
  RChartInfo info;
  TChartHeadBaseCodec::ClearInfo(info);
  EXPECT_TRUE(codec.ReadInfo(info));
  EXPECT_EQ(info.RefCount, 30);
  EXPECT_EQ(info.Layout.BorderCount, 4);
  EXPECT_EQ(info.Layout.Scale, 42240);
  EXPECT_EQ(info.Projection, 3);
  // WCI to WCI keeps the picture and the calibration.
  const std::string again = dir / "AGAIN.WCI";
  ASSERT_EQ(Brtool("wci write \"" + out + "\" \"" + again + "\"").status, 0);
  TWCIDecoder e;
  ASSERT_GT(e.Open(again), 0);
  EXPECT_EQ(wcitest::DecodeAll(e), wcitest::DecodeAll(d));
  codec.LoadFromText(e.HeaderText());
  RChartInfo second;
  TChartHeadBaseCodec::ClearInfo(second);
  EXPECT_TRUE(codec.ReadInfo(second));
  EXPECT_EQ(second.RefCount, 30);
  EXPECT_EQ(second.Layout.FileName, "AGAIN.WCI");

  // brtool chart reads WCI files too.
  EXPECT_EQ(Brtool("chart info \"" + again + "\"").status, 0);
  const std::string raw = dir / "AGAIN.RAW";
  ASSERT_EQ(Brtool("chart decode \"" + again + "\" \"" + raw + "\"").status, 0);
  const std::vector<uint8_t> pixels = wcitest::DecodeAll(e);
  EXPECT_EQ(ReadTestFile(raw), std::string(pixels.begin(), pixels.end()));
}
