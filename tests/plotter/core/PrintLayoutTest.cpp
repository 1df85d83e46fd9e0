#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "charts/ChartInfo.h"
#include "foundation/GenUtil.h"
#include "plotter/core/PrintLayout.h"

namespace {

TEST(PrintLayout, TheAreaToPrintIsCutAtTheChartAndNeverEmptyByDivision) {
  struct Case {
    const char* what;
    bool full;
    TPoint scroll, view;
    double zoom;
    TPrintRect expected;
  };
  const Case cases[] = {
      {"full chart", true, {300, 200}, {800, 600}, 2.0, {0, 0, 1000, 700}},
      {"view at zoom 1", false, {100, 50}, {400, 300}, 1.0, {100, 50, 400, 300}},
      {"view at zoom 2: half the pixels", false, {200, 100}, {400, 300}, 2.0, {100, 50, 200, 150}},
      {"view at zoom 0.5, cut at the edges", false, {0, 0}, {800, 600}, 0.5, {0, 0, 1000, 700}},
      {"bottom-right corner cut", false, {900, 650}, {400, 300}, 1.0, {900, 650, 100, 50}},
      {"scrolled past the chart", false, {1200, 0}, {400, 300}, 1.0, {}},
      {"no zoom", false, {0, 0}, {400, 300}, 0.0, {}},
      {"not a number", false, {0, 0}, {400, 300}, std::numeric_limits<double>::quiet_NaN(), {}},
  };
  for (const Case& c : cases)
    EXPECT_EQ(PrintSource(c.full, c.scroll, c.view, c.zoom, 1000, 700), c.expected) << c.what;
  EXPECT_TRUE(PrintSource(true, {}, {}, 1, 0, 0).Empty()) << "no chart";
}

TEST(PrintLayout, TheChartFillsThePageInOneDirectionKeepingItsShape) {
  struct Case {
    TPrintRect src;
    int pageW, pageH;
    bool landscape;
    TPrintRect dest;
  };
  const Case cases[] = {
      // Wider than the page: the page's width is filled.
      {{0, 0, 1000, 500}, 1001, 701, true, {0, 0, 1000, 499}},
      // Taller: the height.
      {{0, 0, 500, 1000}, 701, 1001, false, {0, 0, 499, 1000}},
      // A square prints portrait, filling the portrait page's width.
      {{10, 10, 300, 300}, 701, 1001, false, {0, 0, 700, 699}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(PrintLandscape(c.src), c.landscape);
    EXPECT_EQ(PrintDest(c.src, c.pageW, c.pageH), c.dest);
  }
  EXPECT_TRUE(PrintDest({}, 1000, 1000).Empty());
  EXPECT_TRUE(PrintDest({0, 0, 10, 10}, 0, 0).Empty());
  EXPECT_EQ(PrintUnit(174), 21);
  EXPECT_EQ(PrintUnit(20), 4);
}

TEST(PrintLayout, TheScaleBarIsTheQuarterDiagonalCutToItsLeadingDigit) {
  struct Case {
    double d;
    const char* label;
    int divisions;
  };
  const Case cases[] = {
      {2.7, "2 nm", 2}, {1.2, "1 nm", 10}, {0.52, "0.5 nm", 5}, {45, "40 nm", 4},
      {3.7, "3 nm", 3}, {0.0123, "0.01 nm", 10}, {999.9, "900 nm", 9}, {0.3, "0.3 nm", 3},
  };
  for (const Case& c : cases) {
    const TScaleBarLength bar = ScaleBarLength(c.d);
    EXPECT_TRUE(bar.Shown) << c.d;
    EXPECT_EQ(bar.Label, c.label) << c.d;
    EXPECT_EQ(bar.Divisions, c.divisions) << c.d;
  }
  for (double d : {0.0, 0.0001, 1000.0, -3.0, std::numeric_limits<double>::infinity(),
                   std::numeric_limits<double>::quiet_NaN()})
    EXPECT_FALSE(ScaleBarLength(d).Shown) << d;
}

TEST(PrintLayout, ChartListLinesFallIntoTheHeadingsColumns) {
  RChartLayout e;
  e.Name = "Kiel, Inner Fjord";
  e.Scale = 25000;
  e.Bounds = {10.25 * kDegToRad, 54.5 * kDegToRad, 10.0 * kDegToRad, 54.25 * kDegToRad};
  const std::string line = ChartListLine(7, e, "/charts/a,b/KIEL.KAP");
  EXPECT_EQ(line, "   7,      25000, 54,30.000'N, 010,00.000'E, 54,15.000'N, 010,15.000'E, Kiel- Inner Fjord, "
                  "/charts/a-b/KIEL.KAP");
  const std::string heading = ChartListHeading("Scale", "Name");
  EXPECT_EQ(heading, "   #,      Scale, N ,        , W  ,        , S ,        , E  ,        , Name, File");
  // Both have the same number of columns.
  auto columns = [](const std::string& s) { return std::count(s.begin(), s.end(), ','); };
  EXPECT_EQ(columns(line), columns(heading));
  EXPECT_EQ(ChartListLine(0, e, "").substr(0, 17), "   0,      25000,");
}

}  // namespace
