// Printing from the window: the chart page to PDF, read back with poppler's
// tools (pdfinfo, pdftotext, pdftoppm), and the list prints.
#include <gtest/gtest.h>

#include <QPushButton>
#include <QComboBox>
#include <QImage>
#include <QPageLayout>
#include <QPageSize>
#include <QPlainTextEdit>
#include <QPrinter>

#include <cmath>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "ChartFixtures.h"
#include "PlotterFixture.h"
#include "charts/BMPager.h"
#include "foundation/GenUtil.h"
#include "foundation/NumText.h"
#include "geodesy/CTrans.h"
#include "navobjects/Routes.h"
#include "plotter/MainForm.h"
#include "plotter/printing/PrintDialogs.h"
#include "plotter/core/PrintLayout.h"
#include "plotter/core/TickTimer.h"
#include "sharedui/SpyFrm.h"

namespace {

using chartfix::TChartPlan;

bool HasProgram(const std::string& name) {
  return std::system(("command -v " + name + " >/dev/null 2>&1").c_str()) == 0;
}

std::string Shell(const std::string& command) {
  std::string out;
  if (FILE* p = popen(command.c_str(), "r")) {
    char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
    pclose(p);
  }
  return out;
}

void PdfTo(QPrinter& printer, const std::string& file) {
  printer.setOutputFormat(QPrinter::PdfFormat);
  printer.setOutputFileName(QString::fromStdString(file));
  printer.setPageSize(QPageSize(QPageSize::A4));
}

class PrintWindow : public PlotterClockTest {
 protected:
  void SetUp() override {
    PlotterClockTest::SetUp();
    if (!HasProgram("pdfinfo") || !HasProgram("pdftotext") || !HasProgram("pdftoppm"))
      GTEST_SKIP() << "poppler-utils (pdfinfo, pdftotext, pdftoppm) are not installed";
  }
  // The options window answered with the whole chart or the view.
  void AnswerOptions(T_Form& f, bool fullChart, bool* shown = nullptr) {
    f.RunDialog = [fullChart, shown](QDialog& d) {
      auto* options = qobject_cast<TPRInit*>(&d);
      if (!options) return int(QDialog::Rejected);
      if (shown) *shown = true;
      options->PRS_Area->setCurrentIndex(fullChart ? 1 : 0);
      return int(QDialog::Accepted);
    };
  }
};

// A chart pixel's place in the page image that pdftoppm made at `dpi`.
struct TPageMap {
  double offsetX = 0, offsetY = 0;  // the printable area's corner, image pixels
  double scale = 0;                 // image pixels per chart pixel
  QPoint Of(double cx, double cy) const {
    return QPoint(int(std::lround(offsetX + cx * scale)), int(std::lround(offsetY + cy * scale)));
  }
};

int Distance(QRgb a, QRgb b) {
  return std::max({std::abs(qRed(a) - qRed(b)), std::abs(qGreen(a) - qGreen(b)), std::abs(qBlue(a) - qBlue(b))});
}

bool DarkNear(const QImage& img, QPoint p, int radius) {
  for (int dy = -radius; dy <= radius; ++dy)
    for (int dx = -radius; dx <= radius; ++dx) {
      const QPoint q = p + QPoint(dx, dy);
      if (!img.rect().contains(q)) continue;
      const QRgb c = img.pixel(q);
      if (qRed(c) < 110 && qGreen(c) < 110 && qBlue(c) < 110) return true;
    }
  return false;
}

TEST_F(PrintWindow, TheWholeChartPrintsOnOnePageWithRouteScaleBarAndTitleInDayColours) {
  TChartPlan plan;  // 400 x 300, 10.0-10.5 E, 54.2-54.5 N
  const std::string chart = chartfix::WriteKapChart(dir_ / "PRINT.KAP", plan);
  T_Form& f = Run("[Program Setup]\r\nCom Port=0\r\nShow Time=1\r\n");
  ASSERT_TRUE(f.LoadChart(chart));
  // A route across the chart's middle, away from the scale bar and title.
  const double r = kDegToRad;
  f.Route->AddRecord({{10.15 * r, 54.30 * r}, 0, 0, 0, 0, "ALPHA", ""});
  f.Route->AddRecord({{10.40 * r, 54.30 * r}, 0, 0, 0, 0, "", ""});
  f.Route->RecomputeView();
  f.Route->PlacePoints();

  for (int shade : {0, 3}) {
    SCOPED_TRACE(shade);
    f.SetShadeLevel(shade);
    const std::string pdf = dir_ / ("chart" + std::to_string(shade) + ".pdf");
    // Each print to a file asks where it goes: the print dialog names the file.
    f.Printing().ChoosePrinter = [&pdf](QPrinter& p) {
      PdfTo(p, pdf);
      return true;
    };
    bool shown = false;
    AnswerOptions(f, true, &shown);
    const bool tickWasOn = f.ComTimer().Enabled();
    TFPoint before;
    ASSERT_TRUE(f.Converter->GeoToPixel({10.25 * r, 54.35 * r}, before));
    f.PrintImageClick();
    ASSERT_TRUE(shown);
    // The window is as it was.
    EXPECT_EQ(f.ComTimer().Enabled(), tickWasOn);
    TFPoint after;
    ASSERT_TRUE(f.Converter->GeoToPixel({10.25 * r, 54.35 * r}, after));
    EXPECT_EQ(after, before);

    // One landscape A4 page (the chart is wider than high).
    const std::string info = Shell("pdfinfo '" + pdf + "'");
    std::istringstream pages(info.substr(std::min(info.find("Pages:"), info.size())));
    std::string word;
    int pageCount = 0;
    pages >> word >> pageCount;
    EXPECT_EQ(pageCount, 1) << info;
    EXPECT_NE(info.find("842 x 595"), std::string::npos) << info;
    // The title and the scale bar's label: a quarter of the diagonal cut to
    // its leading digit.
    const double quarter = GeoDistance({10.0 * r, 54.5 * r}, {10.5 * r, 54.2 * r}) * kRadToNM / 4;
    const std::string label = ScaleBarLength(quarter).Label;
    const std::string text = Shell("pdftotext '" + pdf + "' -");
    EXPECT_NE(text.find("Brismare II"), std::string::npos) << text;
    EXPECT_NE(text.find("[TEST CHART]"), std::string::npos) << text;
    EXPECT_NE(text.find(label), std::string::npos) << label << " in " << text;
    EXPECT_NE(text.find("ALPHA"), std::string::npos) << text;
    EXPECT_NE(text.find("WP:1"), std::string::npos) << text;

    // The page as pixels: the chart's own colours inside its bands, in day
    // colours also at night, and the route's leg where the chart puts it.
    const std::string png = dir_ / ("page" + std::to_string(shade));
    Shell("pdftoppm -r 150 -png -singlefile '" + pdf + "' '" + png + "'");
    const QImage page(QString::fromStdString(png + ".png"));
    ASSERT_FALSE(page.isNull());
    QPrinter& printer = f.Printing().Printer();
    const QRectF area = printer.pageLayout().paintRect(QPageLayout::Point);
    const QRect paint = printer.pageLayout().paintRectPixels(printer.resolution());
    const TPrintRect dest = PrintDest({0, 0, plan.width, plan.height}, paint.width(), paint.height());
    TPageMap map;
    map.offsetX = area.left() * 150 / 72;
    map.offsetY = area.top() * 150 / 72;
    map.scale = double(dest.Width) / plan.width * 150 / printer.resolution();
    std::istringstream a(Brtool("chart geo2pix '" + chart + "' 10.2 54.3").out);
    std::istringstream b(Brtool("chart geo2pix '" + chart + "' 10.35 54.3").out);
    double ax = 0, ay = 0, bx = 0, by = 0;
    ASSERT_TRUE(a >> ax >> ay);
    ASSERT_TRUE(b >> bx >> by);
    int sampled = 0;
    for (int cy = 12 + 24 * 6; cy < plan.height; cy += 24)
      for (int cx = 8 + 16 * 4; cx < plan.width; cx += 16 * 3) {
        if (std::abs(cy - ay) < 12) continue;  // the route's leg
        const QRgb want = chartfix::ColourOf(chartfix::PixelColour(cx, cy)) | 0xFF000000u;
        EXPECT_LE(Distance(page.pixel(map.Of(cx, cy)), want), 8) << cx << "," << cy;
        ++sampled;
      }
    EXPECT_GE(sampled, 10);
    EXPECT_TRUE(DarkNear(page, map.Of(ax, ay), 2)) << "the leg at " << ax << "," << ay;
    EXPECT_TRUE(DarkNear(page, map.Of(bx, by), 2)) << "the leg at " << bx << "," << by;
    EXPECT_FALSE(DarkNear(page, map.Of(ax, ay + 40), 2)) << "off the leg";
  }
}

TEST_F(PrintWindow, PrintingIsRefusedWithoutAChartOrWithNothingOfItInView) {
  T_Form& f = Run("[Program Setup]\r\nCom Port=0\r\n");
  bool shown = false;
  AnswerOptions(f, false, &shown);
  f.PrintImageClick();
  EXPECT_FALSE(shown);
  EXPECT_EQ(Asked(), std::vector<std::string>{"There is no chart to print."});
  // Cancelled options: nothing is printed, nothing asked.
  TChartPlan plan;
  ASSERT_TRUE(f.LoadChart(chartfix::WriteKapChart(dir_ / "P.KAP", plan)));
  const std::string pdf = dir_ / "none.pdf";
  PdfTo(f.Printing().Printer(), pdf);
  f.RunDialog = [](QDialog&) { return int(QDialog::Rejected); };
  questions_.Clear();
  f.PrintImageClick();
  EXPECT_TRUE(Asked().empty());
  EXPECT_FALSE(std::filesystem::exists(pdf));
}

// A chart printed to a file once: the next print asks again where it goes,
// and a print whose question is cancelled leaves the file as it was.
TEST_F(PrintWindow, EveryPrintToAFileAsksWhereItGoes) {
  TChartPlan plan;
  T_Form& f = Run("[Program Setup]\r\nCom Port=0\r\n");
  ASSERT_TRUE(f.LoadChart(chartfix::WriteKapChart(dir_ / "P.KAP", plan)));
  AnswerOptions(f, true);
  const std::string first = dir_ / "first.pdf", second = dir_ / "second.pdf";
  std::vector<std::string> answers = {first, second, ""};
  int asked = 0;
  f.Printing().ChoosePrinter = [&](QPrinter& p) {
    const std::string file = answers.at(static_cast<size_t>(asked++));
    if (file.empty()) return false;  // the dialog cancelled
    PdfTo(p, file);
    return true;
  };
  f.PrintImageClick();
  ASSERT_TRUE(std::filesystem::exists(first));
  const std::string firstBytes = ReadTestFile(first);
  f.PrintImageClick();
  EXPECT_EQ(asked, 2);
  EXPECT_TRUE(std::filesystem::exists(second));
  // Cancelled: nothing is written, the first file is untouched.
  f.PrintImageClick();
  EXPECT_EQ(asked, 3);
  EXPECT_EQ(ReadTestFile(first), firstBytes);

  // "Printer Setup" in the options window asked already: no second question.
  f.RunDialog = [&](QDialog& d) {
    auto* options = qobject_cast<TPRInit*>(&d);
    if (!options) return int(QDialog::Rejected);
    options->PRS_Area->setCurrentIndex(1);
    options->PRS_PRSU->click();
    return int(QDialog::Accepted);
  };
  answers = {first, second, "", dir_ / "third.pdf"};
  f.PrintImageClick();
  EXPECT_EQ(asked, 4);
  EXPECT_TRUE(std::filesystem::exists(dir_ / "third.pdf"));
}

TEST_F(PrintWindow, ListPrintsShowTheListAndPrintItPageByPage) {
  T_Form& f = Run("[Program Setup]\r\nCom Port=0\r\n");
  const double r = kDegToRad;
  for (int i = 0; i < 3; ++i)
    f.Route->AddRecord({{(10.1 + i * 0.1) * r, 54.3 * r}, 0, 0, 0, 0, "R" + std::to_string(i), ""});
  std::vector<std::string> expected;
  f.Route->RouteList(expected);
  expected.insert(expected.begin(), f.Messages[71]);

  const std::string pdf = dir_ / "route.pdf";
  std::string title;
  std::vector<std::string> lines;
  f.RunDialog = [&](QDialog& d) {
    auto* spy = qobject_cast<TSpyFrm*>(&d);
    if (!spy) return int(QDialog::Rejected);
    title = spy->PrintTitle();
    lines = spy->Lines();
    spy->ChoosePrinter = [&](QPrinter& p) {
      PdfTo(p, pdf);
      return true;
    };
    spy->SpeedButton4Click();
    return int(QDialog::Accepted);
  };
  f.RoutePrintClick();
  EXPECT_EQ(title, "Route Print Preview");
  EXPECT_EQ(lines, expected);
  const std::string text = Shell("pdftotext -layout '" + pdf + "' -");
  EXPECT_NE(text.find("Route Print Preview (1/1)"), std::string::npos) << text;
  EXPECT_NE(text.find("R2"), std::string::npos) << text;

  // The positions' list: its own title and heading, even when empty.
  f.WPPrint1Click();
  EXPECT_EQ(title, "Positions Print Preview");
  EXPECT_EQ(lines, std::vector<std::string>{f.Messages[72]});
}

}  // namespace
