// Scanned charts kept as JPEG or TIFF, calibrated by a ".CAL" that names
// them, open in the chart view like any image chart. ImageMagick makes the files
// from a PNG chart of ours (the test skips without it).
#include <gtest/gtest.h>

#include <QImage>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "ChartFixtures.h"
#include "PlotterFixture.h"
#include "charts/ChartInfo.h"
#include "plotter/ChartCanvas.h"
#include "plotter/MainForm.h"

namespace {

using chartfix::TChartPlan;

class ScannedChartWindow : public PlotterClockTest {};

int Distance(QRgb a, QRgb b) {
  return std::max({std::abs(qRed(a) - qRed(b)), std::abs(qGreen(a) - qGreen(b)), std::abs(qBlue(a) - qBlue(b))});
}

TEST_F(ScannedChartWindow, JpegAndTiffChartsWithACalFileOpenInTheView) {
  TChartPlan plan;
  const std::string png = chartfix::WritePngChart(dir_ / "SCAN.PNG", plan, false);
  T_Form& f = Run("[Program Setup]\r\nCom Port=0\r\n[Program State]\r\nWinLeft=0\r\nWinTop=0\r\nWinWidth=1000\r\n"
                  "WinHeight=700\r\nWinState=0\r\n");
  for (const char* ext : {".JPG", ".TIF"}) {
    SCOPED_TRACE(ext);
    const std::string file = dir_ / (std::string("SCAN") + ext);
    const std::string command = "convert '" + png + "' -quality 95 '" + file + "' >/dev/null 2>&1";
    if (std::system(command.c_str()) != 0 || !std::filesystem::exists(file))
      GTEST_SKIP() << "ImageMagick's convert could not write " << file;
    TChartHeadBaseCodec cal;
    cal.Lines = chartfix::CalibrationLines(plan, std::string("SCAN") + ext);
    const std::string calFile = dir_ / "SCAN.CAL";
    ASSERT_TRUE(cal.SaveToFile(calFile));
    // Opened through its calibration, as the catalog lists such charts.
    ASSERT_TRUE(f.LoadChart(calFile)) << (Asked().empty() ? std::string() : Asked().back());
    EXPECT_EQ(f.Chart().ChartInfo.Width, plan.width);
    EXPECT_EQ(f.Chart().ChartInfo.Height, plan.height);
    f.Chart().ZoomTo({0, 0}, 1.0);
    const QImage frame = f.ChartCanvas()->RenderFrame();
    // The middle of a colour band shows the band's colour (JPEG: nearly).
    for (const auto& [x, y] : {std::pair{8 + 16 * 3, 12 + 24 * 2}, std::pair{8 + 16 * 10, 12 + 24 * 5}}) {
      const QRgb want = chartfix::ColourOf(chartfix::PixelColour(x, y)) | 0xFF000000u;
      const QPoint at(x - f.Chart().View.Scroll().X, y - f.Chart().View.Scroll().Y);
      EXPECT_LE(Distance(frame.pixel(at), want), 12) << x << "," << y;
    }
  }
}

}  // namespace
