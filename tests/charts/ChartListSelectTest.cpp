// Chart choice of the catalog: best, next, smaller-scale and look-ahead
// charts on a synthetic catalog of nested charts, the ranking number, the
// group rule and the lists.
#include <cmath>

#include "CatalogTestUtil.h"
#include "TestSupport.h"
#include "charts/ChartList.h"
#include "foundation/GenUtil.h"
#include "platform/Questions.h"

namespace {

enum : int { kCoast, kApproach, kApproachP3, kHarbour, kTwin, kOffcentre, kTriangle, kIsland };

// A coastal chart with nested approach and harbour charts, two identical
// harbour charts, a harbour chart a little off the others' centre, a chart
// whose border is a triangle inside its bounds, and an island chart of a
// group of its own.
class TNestedCatalog : public ::testing::Test {
 protected:
  void SetUp() override {
    Add(BoxEntry("Coast", 200000, 10, 50, 20, 60));
    Add(BoxEntry("Approach", 50000, 14, 54, 16, 56));
    Add(BoxEntry("Approach P3", 45000, 14, 54, 16, 56, 3));
    Add(BoxEntry("Harbour", 10000, 14.9, 54.9, 15.1, 55.1));
    Add(BoxEntry("Twin", 10000, 14.9, 54.9, 15.1, 55.1));
    Add(BoxEntry("Offcentre", 10500, 14.95, 54.95, 15.35, 55.35));
    RChartLayout tri = BoxEntry("Triangle", 20000, 17, 51, 19, 53);
    tri.Border = {Deg(17, 51), Deg(19, 51), Deg(17, 53)};
    Add(tri);
    Add(BoxEntry("Island", 25000, 11, 51, 12, 52));
    ASSERT_EQ(list.AddGroup("Approaches"), 0);
    ASSERT_EQ(list.AddGroup("Islands"), 1);
    list.SetGroupMask(kApproach, list.GroupBit("Approaches"));
    list.SetGroupMask(kIsland, list.GroupBit("Islands"));
  }
  void Add(const RChartLayout& e) { ASSERT_EQ(list.AddEntry(e, false), 1) << e.Name; }
  TChartList list;
};

TEST_F(TNestedCatalog, BestChartForATableOfPositions) {
  const int32_t approaches = list.GroupBit("Approaches"), islands = list.GroupBit("Islands");
  struct Case {
    const char* what;
    double lon, lat;
    int current;
    int32_t mask, reference;
    int expect;
  } cases[] = {
      {"centre of the harbour: the largest scale, the first of two equal charts", 15.0, 55.0, -1, 0, 0, kHarbour},
      {"two equal charts: the current one", 15.0, 55.0, kTwin, 0, 0, kTwin},
      {"... either way", 15.0, 55.0, kHarbour, 0, 0, kHarbour},
      {"a centred chart of a little smaller scale wins near a corner", 15.09, 55.09, -1, 0, 0, kOffcentre},
      {"priority 3 ranks 1:45 000 behind 1:50 000", 15.5, 55.5, -1, 0, 0, kApproach},
      {"reference scale 40 000: 1:50 000 before 1:10 000", 15.0, 55.0, -1, 0, 40000, kApproach},
      {"on the south edge: inside", 15.0, 54.9, -1, 0, 0, kHarbour},
      {"on the north edge: outside", 15.0, 55.1, -1, 0, 0, kOffcentre},
      {"on the east edge: outside", 15.1, 55.0, -1, 0, 0, kOffcentre},
      {"in the bounds but outside the border", 18.8, 52.8, -1, 0, 0, kCoast},
      {"inside the triangle", 17.5, 51.5, -1, 0, 0, kTriangle},
      {"outside every chart", 25.0, 55.0, -1, 0, 0, -1},
      {"outside every chart, with a current chart", 25.0, 55.0, kCoast, 0, 0, -1},
      {"a group with a chart there", 15.0, 55.0, -1, approaches, 0, kApproach},
      {"a group without a chart there: all charts", 15.0, 55.0, -1, islands, 0, kHarbour},
      {"both groups", 11.5, 51.5, -1, approaches | islands, 0, kIsland},
      {"mask -1: all charts", 15.5, 55.5, -1, -1, 0, kApproach},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    list.Current = 77;
    EXPECT_EQ(list.BestChart(Deg(c.lon, c.lat), c.current, c.mask, c.reference), c.expect);
    EXPECT_EQ(list.Current, c.expect);
  }
}

TEST_F(TNestedCatalog, NextChartCyclesAndKeepsTheCurrentChartWhenThereIsNoOther) {
  const TFPoint centre = Deg(15, 55);
  EXPECT_EQ(list.NextChart(centre, kHarbour, 0, 0), kTwin);
  EXPECT_EQ(list.NextChart(centre, kTwin, 0, 0), kHarbour);
  EXPECT_EQ(list.NextChart(centre, -1, 0, 0), kHarbour);
  // A group without a chart there: the retry with all charts.
  EXPECT_EQ(list.NextChart(centre, kHarbour, list.GroupBit("Islands"), 0), kTwin);

  TScriptedQuestions script;
  IUserQuestions* previous = SetUserQuestions(&script);
  list.Current = kApproach;
  EXPECT_EQ(list.NextChart(Deg(25, 55), kApproach, 0, 0), kApproach);
  EXPECT_TRUE(script.asked().empty());
  list.Current = -1;
  EXPECT_EQ(list.NextChart(Deg(25, 55), -1, 0, 0), -1);
  SetUserQuestions(previous);
  ASSERT_EQ(script.asked().size(), 1u);
  EXPECT_EQ(script.asked()[0].text, "Chart not found");
}

TEST_F(TNestedCatalog, SmallerScaleChartStepsOutAndNeverTriesOtherGroups) {
  const TFPoint centre = Deg(15, 55);
  struct Case {
    int32_t scale, mask;
    int expect;
  } cases[] = {
      {10000, 0, kOffcentre}, {10500, 0, kApproach}, {50000, 0, kCoast}, {200000, 0, -1},
      {10000, -1, kOffcentre}, {10000, list.GroupBit("Islands"), -1},
  };
  for (const Case& c : cases) {
    list.Current = 5;
    EXPECT_EQ(list.SmallerScaleChart(centre, kHarbour, c.mask, c.scale), c.expect) << c.scale << " " << c.mask;
    EXPECT_EQ(list.Current, c.expect);
  }
}

TEST_F(TNestedCatalog, BestChartForTwoNeedsBothPositions) {
  list.Current = -1;
  EXPECT_EQ(list.BestChartForTwo(Deg(15.09, 55.09), Deg(15, 55), 0, 0), kOffcentre);
  EXPECT_EQ(list.BestChartForTwo(Deg(15.05, 55.05), Deg(15.5, 55.5), 0, 0), kApproach);
  EXPECT_EQ(list.BestChartForTwo(Deg(25, 55), Deg(15, 55), 0, 0), -1);
  EXPECT_EQ(list.Current, -1);
  // The stored current chart wins ties.
  list.Current = kTwin;
  EXPECT_EQ(list.BestChartForTwo(Deg(15, 55), Deg(15, 55), 0, 0), kTwin);
  EXPECT_EQ(list.BestChartForTwo(Deg(15, 55), Deg(15, 55), list.GroupBit("Islands"), 0), kTwin);
}

TEST(ChartListSelect, LookAheadFavoursTheCentreTwiceAsMuch) {
  // Near chart A's corner, at chart B's centre: B's centre bonus outweighs
  // A's larger scale only at the 20 % of the look-ahead choice.
  TChartList list;
  list.AddEntry(BoxEntry("A", 10000, 0, 0, 1.2, 1.2), false);
  list.AddEntry(BoxEntry("B", 12000, 0.5, 0.5, 1.5, 1.5), false);
  const TFPoint p = Deg(1, 1);
  EXPECT_NEAR(list.Centeredness(p, 1), 1.0, 1e-12);
  EXPECT_NEAR(list.Centeredness(p, 0), 1.0 / 9, 1e-12);
  EXPECT_EQ(list.BestChart(p, -1, 0, 0), 0);
  list.Current = -1;
  EXPECT_EQ(list.BestChartForTwo(p, p, 0, 0), 1);
}

TEST(ChartListSelect, EffectiveScale) {
  struct Case {
    int32_t scale, priority, reference;
    int64_t expect;
  } cases[] = {
      {50000, 1, 0, 50000}, {50000, 3, 0, 60000}, {50000, 0, 0, 50000},  {25000, 1, 40000, 15000},
      {50000, 1, 40000, 10000}, {5, 2, 0, 5},     {15, 2, 0, 17},        {25, 2, 0, 27},
      {2000000000, 65535, 0, 2000000000 + int64_t(65534) * 200000000},  // no overflow
  };
  for (const Case& c : cases)
    EXPECT_EQ(TChartList::EffectiveScale(c.scale, c.priority, c.reference), c.expect)
        << c.scale << " " << c.priority << " " << c.reference;
}

TEST(ChartListSelect, CenterednessAndCentroidDistance) {
  TChartList list;
  list.AddEntry(BoxEntry("A", 10000, 0, 0, 2, 2), false);
  RChartLayout flat = BoxEntry("Flat", 10000, 0, 0, 2, 2);
  flat.Bounds.Y1 = flat.Bounds.Y2;  // no height
  list.AddEntry(flat, false);
  RChartLayout none = BoxEntry("No border", 10000, 0, 0, 2, 2);
  none.Border.clear();
  list.AddEntry(none, false);
  EXPECT_DOUBLE_EQ(list.Centeredness(Deg(1, 1), 0), 1.0);
  EXPECT_DOUBLE_EQ(list.Centeredness(Deg(0, 1), 0), 0.0);
  EXPECT_NEAR(list.Centeredness(Deg(1.5, 1.5), 0), 0.25, 1e-12);
  EXPECT_EQ(list.Centeredness(Deg(1, 0), 1), 0.0);
  EXPECT_EQ(list.Centeredness(Deg(1, 1), 9), 0.0);
  EXPECT_NEAR(list.CentroidDistance(Deg(1, 2), 0), 1 * kDegToRad, 1e-15);
  EXPECT_EQ(list.CentroidDistance(Deg(1, 1), 2), 10.0);
  EXPECT_FALSE(list.ChartContains(Deg(1, 1), 2));  // no border: nothing inside
  EXPECT_FALSE(list.ChartContains(Deg(1, 1), -1));
  EXPECT_FALSE(list.CurrentContains(Deg(1, 1)));
  list.Current = 0;
  EXPECT_TRUE(list.CurrentContains(Deg(1, 1)));
}

TEST(ChartListSelect, ChartsAcrossTheAntimeridian) {
  // Longitudes stored running past -180 degrees (170 E .. 170 W).
  TChartList list;
  list.AddEntry(BoxEntry("Fiji", 100000, -190, -20, -170, -10), false);
  list.AddEntry(BoxEntry("Samoa", 100000, 170, -20, 190, -10), false);
  for (double lon : {175.0, -175.0, 179.9, -179.9}) {
    EXPECT_TRUE(list.ChartContains(Deg(lon, -15), 0)) << lon;
    EXPECT_TRUE(list.ChartContains(Deg(lon, -15), 1)) << lon;
  }
  EXPECT_FALSE(list.ChartContains(Deg(165, -15), 0));
  EXPECT_FALSE(list.ChartContains(Deg(-165, -15), 1));
  EXPECT_EQ(list.BestChart(Deg(175, -15), -1, 0, 0), 0);
  EXPECT_NEAR(list.Centeredness(Deg(180, -15), 0), 1.0, 1e-12);
}

TEST_F(TNestedCatalog, ListsByPositionNameAndScale) {
  std::vector<std::string> names;
  auto collect = [&names](const std::string& name, int32_t scale) { names.push_back(name + "@" + std::to_string(scale)); };
  EXPECT_EQ(list.ListCharts(Deg(15, 55), "harb", collect, 0, 0, 0), 1);
  EXPECT_EQ(names, std::vector<std::string>{"Harbour@10000"});
  names.clear();
  EXPECT_EQ(list.ListCharts(Deg(15, 55), "", collect, 0, 10000, 50000), 5);
  EXPECT_EQ(names, (std::vector<std::string>{"Approach@50000", "Approach P3@45000", "Harbour@10000", "Twin@10000",
                                             "Offcentre@10500"}));
  names.clear();
  // The position (0, 0): any position; a group.
  EXPECT_EQ(list.ListCharts({0, 0}, "A", collect, list.GroupBit("Islands"), 0, 0), 1);
  EXPECT_EQ(names, std::vector<std::string>{"Island@25000"});
  names.clear();
  EXPECT_EQ(list.ListChartsAt(Deg(15, 55), 20000, collect, 0), 3);
  EXPECT_EQ(names, (std::vector<std::string>{"Harbour@10000", "Twin@10000", "Offcentre@10500"}));
  EXPECT_EQ(list.ListChartsAt(Deg(25, 55), 0, {}, 0), 0);
}

TEST(ChartListSelect, DistanceOutside) {
  const TFRect r{Deg(2, 2).X, Deg(2, 2).Y, Deg(1, 1).X, Deg(1, 1).Y};
  EXPECT_EQ(TChartList::DistanceOutside(Deg(1.5, 1.5), r), (TFPoint{0, 0}));
  EXPECT_EQ(TChartList::DistanceOutside(Deg(1, 1), r), (TFPoint{0, 0}));
  const TFPoint d = TChartList::DistanceOutside(Deg(1, 0), r);
  EXPECT_EQ(d, GeoDistBearing(Deg(1, 0), Deg(1, 1)));
  EXPECT_NEAR(d.X * kRadToNM, 60, 1e-9);
  EXPECT_NEAR(d.Y, 0, 1e-12);
}

}  // namespace
