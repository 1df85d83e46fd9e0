// WinGPS chart indexes: blocks of charts into CHARTCAL.DIR sections.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "TestSupport.h"
#include "charts/ChartInfo.h"
#include "charts/WinGpsIndex.h"
#include "foundation/Types.h"

namespace {

std::string Block(const std::string& name, const std::string& image, int points, const std::string& scale) {
  std::string b = "Description=" + name + "\r\nImageName=" + image + "\r\nWidth=1000\r\nHeight=800\r\n";
  if (!scale.empty()) b += "Scale=" + scale + "\r\n";
  const char* corners[][4] = {{"0", "0", "54.5", "10.0"}, {"1000", "800", "54.2", "10.5"}, {"1000", "0", "54.5", "10.5"}};
  for (int i = 0; i < points; ++i) {
    const std::string n = std::to_string(i + 1);
    b += "X" + n + "=" + corners[i][0] + "\r\nY" + n + "=" + corners[i][1] + "\r\nLatitude" + n + "=" + corners[i][2] +
         "\r\nLongitude" + n + "=" + corners[i][3] + "\r\n";
  }
  return b + "TopMargin=10\r\nBottomMargin=10\r\nLeftMargin=10\r\nRightMargin=10\r\nEND\r\n";
}

TEST(WinGpsIndex, BlocksBecomeSectionsBesideTheirImages) {
  TTempDir dir;
  const std::string index = dir / "charts.chi";
  WriteTestFile(index, "WinGPS chart index\r\n\r\n" + Block("Kiel", "KIEL.BMP", 2, "50000") + "\r\n" +
                           Block("One point", "ONE.BMP", 1, "50000") + Block("Fehmarn", "FEHMARN.BMP", 3, ""));
  std::vector<std::string> said;
  const TWinGpsImport r = ImportWinGpsCharts(index, [&](const std::string& s) { said.push_back(s); });
  EXPECT_EQ(r.Imported, 2);
  EXPECT_EQ(r.Skipped, 1);
  EXPECT_EQ(said, (std::vector<std::string>{"Converting Kiel", "Converting Fehmarn"}));

  TChartHeadExternalCodec codec;
  ASSERT_TRUE(codec.ReadSection(dir / "CHARTCAL.DIR", "KIEL.BMP"));
  RChartInfo info;
  TChartHeadBaseCodec::ClearInfo(info);
  ASSERT_TRUE(codec.ReadInfo(info));
  EXPECT_EQ(info.Layout.Scale, 50000);
  ASSERT_EQ(info.Layout.Border.size(), 4u);
  // The border, 10 pixels inside the corners, placed by the chart's fit.
  EXPECT_NEAR(info.Layout.Border[0].X * kRadToDeg, 10.0 + 0.5 * 10 / 1000, 1e-3);
  EXPECT_GT(info.Layout.Border[0].Y * kRadToDeg, 54.45);
  EXPECT_LT(info.Layout.Border[0].Y * kRadToDeg, 54.5);
  // No scale given: estimated from the first two points (two digits).
  ASSERT_TRUE(codec.ReadSection(dir / "CHARTCAL.DIR", "FEHMARN.BMP"));
  TChartHeadBaseCodec::ClearInfo(info);
  codec.ReadInfo(info);
  const double metresPerPixel = 0.5 * kDegToRad / 1000 * 6366707.0194937 * std::cos(54.35 * kDegToRad);
  const double expected = metresPerPixel * 5000;
  EXPECT_GT(info.Layout.Scale, 0);
  EXPECT_NEAR(info.Layout.Scale, expected, expected * 0.06);

  // Not an index: nothing.
  WriteTestFile(dir / "other.chi", "something else\r\n" + Block("X", "X.BMP", 2, "1"));
  EXPECT_EQ(ImportWinGpsCharts(dir / "other.chi").Imported, 0);
  EXPECT_EQ(ImportWinGpsCharts(dir / "missing.chi").Imported, 0);
  // Degenerate first points: the fallback scale, no crash.
  EXPECT_EQ(WinGpsEstimatedScale(0.1, 0.9, 5, 0.2, 0.9, 5), 100000000);
}

}  // namespace
