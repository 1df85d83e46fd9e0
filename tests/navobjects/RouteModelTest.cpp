// The route model: reversing, where read points go, which leg a position
// belongs to, lengths and times, lists, what is drawn for a chart, and the
// route's own file handling (merging, the changed mark, failed saves).
#include <sys/stat.h>

#include <cmath>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "foundation/GenUtil.h"
#include "geodesy/CTrans.h"
#include "navobjects/Routes.h"
#include "platform/Questions.h"

namespace {

constexpr double kLat = 0.1;  // all test routes run along this latitude

TRoutePointRec Rec(const char* name, double lon, double lat = kLat, double speed = 0, double xte = 0) {
  TRoutePointRec r;
  r.Name = name;
  r.Position = {lon, lat};
  r.LegSpeed = speed;
  r.LegXTE = xte;
  return r;
}

void Fill(TRoute& route, const TRoutePoints& points) {
  for (const TRoutePointRec& p : points) route.AddRecord(p);
}

std::vector<std::string> Names(const TRoute& route) {
  std::vector<std::string> n;
  for (int i = 0; i < route.Count(); ++i) n.push_back(route.At(i)->Caption);
  return n;
}

std::vector<std::string> Names(const TRoutePoints& points) {
  std::vector<std::string> n;
  for (const TRoutePointRec& p : points) n.push_back(p.Name);
  return n;
}

TEST(RouteModel, ReverseKeepsEachLegsValues) {
  TRoutePoints abc = {Rec("A", 0, kLat, 5, 0.1), Rec("B", 0.01, kLat, 6, 0.2), Rec("C", 0.02, kLat, 7, 0.3)};
  TRoute route;
  Fill(route, abc);
  route.Reverse();
  ASSERT_EQ(Names(route), (std::vector<std::string>{"C", "B", "A"}));
  EXPECT_EQ(route.At(0)->LegXTE, 0.3);
  EXPECT_EQ(route.At(1)->LegXTE, 0.3);
  EXPECT_EQ(route.At(2)->LegXTE, 0.2);
  EXPECT_EQ(route.At(1)->LegSpeed, 7);  // the leg C-B was B-C
  EXPECT_EQ(route.At(2)->Index, 2);

  // The same for a read list, and nothing for lists too short to turn.
  ReverseRoutePoints(abc);
  EXPECT_EQ(Names(abc), (std::vector<std::string>{"C", "B", "A"}));
  EXPECT_EQ(abc[2].LegXTE, 0.2);
  TRoutePoints one = {Rec("A", 0, kLat, 5, 0.1)};
  ReverseRoutePoints(one);
  EXPECT_EQ(one[0].LegXTE, 0.1);
}

TEST(RouteModel, ReadPointsGoWhereTheRouteGrowsLeast) {
  struct Case {
    const char* what;
    TRoutePoints route;
    TRoutePoints loaded;
    bool appendOnly;
    int index;
    std::vector<std::string> order;  // the loaded list afterwards
  };
  const TRoutePoints abc = {Rec("A", 0), Rec("B", 0.01), Rec("C", 0.02)};
  const Case cases[] = {
      {"empty route", {}, {Rec("F", 0.006), Rec("L", 0.004)}, false, 0, {"F", "L"}},
      {"between A and B", abc, {Rec("F", 0.004), Rec("L", 0.006)}, false, 1, {"F", "L"}},
      {"between A and B, turned", abc, {Rec("F", 0.006), Rec("L", 0.004)}, false, 1, {"L", "F"}},
      {"before the route", abc, {Rec("F", -0.02), Rec("L", -0.01)}, false, 0, {"F", "L"}},
      {"after the route", abc, {Rec("F", 0.03), Rec("L", 0.04)}, false, 3, {"F", "L"}},
      {"after the route, turned", abc, {Rec("F", 0.04), Rec("L", 0.03)}, false, 3, {"L", "F"}},
      {"a tie is turned", abc, {Rec("F", 0.005), Rec("L", 0.005)}, false, 1, {"L", "F"}},
      {"append only, near end first", abc, {Rec("F", 0.03), Rec("L", 0.05)}, true, 3, {"F", "L"}},
      {"append only, far end first", abc, {Rec("F", 0.05), Rec("L", 0.03)}, true, 3, {"L", "F"}},
      {"append only, empty route", {}, {Rec("F", 0.05), Rec("L", 0.03)}, true, 0, {"F", "L"}},
  };
  for (const Case& c : cases) {
    TRoute route;
    Fill(route, c.route);
    route.AppendOnly = c.appendOnly;
    TRoutePoints loaded = c.loaded;
    EXPECT_EQ(route.BestInsertIndex(loaded), c.index) << c.what;
    EXPECT_EQ(Names(loaded), c.order) << c.what;
  }
}

TEST(RouteModel, LegIndexForAPosition) {
  TRoute route;
  Fill(route, {Rec("A", 0), Rec("B", 0.01), Rec("C", 0.02)});
  struct Case {
    double lon, lat;
    int index;
  };
  const Case cases[] = {
      {-0.005, kLat, 0},         // before the first point
      {0.004, kLat + 0.001, 1},  // on the first leg, nearest A
      {0.006, kLat + 0.001, 1},  // on the first leg, nearest B
      {0.014, kLat - 0.001, 2},  // on the second leg, nearest B
      {0.019, kLat, 2},          // on the second leg, nearest C
      {0.025, kLat, 3},          // past the last point
  };
  for (const Case& c : cases) EXPECT_EQ(route.LegIndexFor({c.lon, c.lat}), c.index) << c.lon;
  route.AppendOnly = true;
  EXPECT_EQ(route.LegIndexFor({0.004, kLat}), 3);
  EXPECT_EQ(route.LegIndexFor({0.004, kLat}, true), 1);
  TRoute single;
  Fill(single, {Rec("A", 0)});
  EXPECT_EQ(single.LegIndexFor({-1, 0}), 1);
}

TEST(RouteModel, LengthTimeNamesAndNearestPoint) {
  TRoute route;
  route.Options.DefaultSpeed = 10;
  // Legs of 6 and 12 nautical miles due north; the first leg's speed is
  // its end point's (5 knots), the second's the default.
  const double mile = 1 / kRadToNM;
  Fill(route, {Rec("A", 0.3, 0.5, 20), Rec("B", 0.3, 0.5 + 6 * mile, 5), Rec("", 0.3, 0.5 + 18 * mile, 0)});
  EXPECT_NEAR(route.RouteLength(0, 2) * kRadToNM, 18, 1e-9);
  EXPECT_NEAR(route.RouteLength(2, 1) * kRadToNM, 12, 1e-9);
  EXPECT_NEAR(route.RouteTime(0, 2) * 24, 6.0 / 5 + 12.0 / 10, 1e-9);
  EXPECT_EQ(route.NameOf(2), "WP# 3");
  EXPECT_EQ(route.NameOf(0), "A");
  std::vector<std::string> names;
  route.ListNames(names);
  EXPECT_EQ(names, (std::vector<std::string>{"A", "B", "WP# 3"}));
  EXPECT_EQ(route.NearestPoint({0.3, 0.5 + 5 * mile}), route.At(1));
  EXPECT_EQ(TRoute().NearestPoint({0, 0}), nullptr);
}

TEST(RouteModel, RouteAndPositionLists) {
  TRoute route;
  route.Options.DefaultSpeed = 10;
  const double min = kDegToRad / 60;
  TRoutePointRec home = Rec("HOME", (18 * 60 + 4.25) * min, (59 * 60 + 30.5) * min, 0, 0.05 / kRadToNM);
  home.Comment = "Jetty\r\nberth 4";
  Fill(route, {home, Rec("BUOY", (18 * 60 + 4.25) * min, (59 * 60 + 35.5) * min, 6, 0.1 / kRadToNM),
               Rec("", (18 * 60 + 14.25) * min, (59 * 60 + 35.5) * min, 0, 0)});
  std::vector<std::string> lines;
  EXPECT_EQ(route.RouteList(lines), 3);
  // Due north 5 miles at 6 knots (the speed of the point the leg ends at),
  // then due east about 5.06 miles at the default 10 knots.
  EXPECT_EQ(lines, (std::vector<std::string>{
                       "  1, 59,30.500'N, 018,04.250'E,  0.0, 0.050,     ,       ,       , HOME",
                       "  2, 59,35.500'N, 018,04.250'E,  6.0, 0.100,   0,, 000:50,    5.0, BUOY",
                       "  3, 59,35.500'N, 018,14.250'E,  0.0, 0.000,  90,, 001:20,   10.1, ",
                   }));
  lines.clear();
  TRoute positions;
  Fill(positions, {home});
  EXPECT_EQ(positions.PositionList(lines), 1);
  EXPECT_EQ(lines, std::vector<std::string>{"  1, 59,30.500'N, 018,04.250'E, HOME, Jetty;berth 4"});
}

// A Mercator chart of 1000 x 800 pixels from (lon0, lat0) at the top-left
// to (lon1, lat1) at the bottom-right, degrees.
void MakeChart(TWorldConvert& w, double lon0, double lat0, double lon1, double lat1) {
  RGeoRef ref;
  ref.Projection = kProjMercator;
  ASSERT_TRUE(w.SetupProjection(ref));
  const TGridPointArray points = {{0, 0, lon0 * kDegToRad, lat0 * kDegToRad},
                                  {1000, 0, lon1 * kDegToRad, lat0 * kDegToRad},
                                  {0, 800, lon0 * kDegToRad, lat1 * kDegToRad},
                                  {1000, 800, lon1 * kDegToRad, lat1 * kDegToRad}};
  ASSERT_TRUE(w.SetRefPoints(points));
  ASSERT_TRUE(w.Fit());
}

TRoutePointRec Deg(const char* name, double lonDeg, double latDeg) {
  return Rec(name, lonDeg * kDegToRad, latDeg * kDegToRad);
}

TFRect Bounds(double west, double south, double east, double north) {
  return {east * kDegToRad, north * kDegToRad, west * kDegToRad, south * kDegToRad};
}

TEST(RouteModel, LegsAcrossTheChartAreDrawnAndGapsAreNotBridged) {
  TWorldConvert w;
  MakeChart(w, 10, 60, 11, 59.5);
  TRoute route;
  route.Convert = &w;
  // In, in, far off, far off, far off, in, in; then a leg that crosses the
  // chart from west to east with both ends far outside it.
  Fill(route, {Deg("P0", 10.2, 59.8), Deg("P1", 10.4, 59.8), Deg("P2", 14, 62), Deg("P3", 15, 62),
               Deg("P4", 14, 63), Deg("P5", 10.6, 59.7), Deg("P6", 10.8, 59.7), Deg("P7", 8, 59.6),
               Deg("P8", 13, 59.6)});
  EXPECT_EQ(route.SetViewRect(Bounds(10, 59.5, 11, 60)), 9 - 1);
  route.PlacePoints();
  std::vector<int> legs;
  for (int i = 1; i < route.Count(); ++i)
    if (route.LegVisible(i)) legs.push_back(i);
  // Legs 3 and 4 (P2-P3-P4) lie off the chart; P3 is hidden, and no line
  // joins P2 to P4.
  EXPECT_EQ(legs, (std::vector<int>{1, 2, 5, 6, 7, 8}));
  EXPECT_FALSE(route.At(3)->Visible);
  EXPECT_EQ(route.At(3)->Pos(), (TPoint{0, 0}));
  TPoint p;
  ASSERT_TRUE(w.GeoToPixelInt(route.At(0)->Position, p));
  EXPECT_EQ(route.At(0)->Pos(), p);

  TRecordingCanvas canvas;
  route.PaintLegs(canvas, {0, 0}, {0xFF0000, 2, TPenStyle::Solid});
  int lines = 0;
  for (const std::string& c : canvas.calls()) lines += c.rfind("line", 0) == 0;
  EXPECT_EQ(lines, 6);

  // A single point is shown inside the area only.
  TRoute one;
  one.Convert = &w;
  Fill(one, {Deg("X", 12, 59.8)});
  EXPECT_EQ(one.SetViewRect(Bounds(10, 59.5, 11, 60)), 0);
  one.Clear();
  Fill(one, {Deg("X", 10.5, 59.8)});
  EXPECT_EQ(one.SetViewRect(Bounds(10, 59.5, 11, 60)), 1);
}

TEST(RouteModel, PolygonViewShowsOnlyTheNeighboursOfInsidePoints) {
  TRoute positions;
  positions.IsPositions = true;
  Fill(positions, {Deg("IN", 10.5, 59.8), Deg("O1", 12, 59.8), Deg("O2", 13, 59.8), Deg("O3", 14, 59.8)});
  const std::vector<TFPoint> corners = {{10 * kDegToRad, 60 * kDegToRad},
                                        {11 * kDegToRad, 60 * kDegToRad},
                                        {11 * kDegToRad, 59.5 * kDegToRad},
                                        {10 * kDegToRad, 59.5 * kDegToRad},
                                        {0, 0}};  // a fifth corner is ignored
  EXPECT_EQ(positions.SetViewPolygon(corners), 2);
  EXPECT_TRUE(positions.At(1)->Visible);
  EXPECT_FALSE(positions.At(2)->Visible);
  // Without a chart converter nothing can be placed or hit.
  positions.PlacePoints();
  EXPECT_EQ(positions.VisibleCount, 0);
  EXPECT_EQ(positions.ShapeAtPixel({0, 0}), nullptr);
}

TEST(RouteModel, SavingEmptyFailedAndGood) {
  TTempDir dir;
  TRoute route;
  EXPECT_EQ(route.SaveToFile(dir / "empty.srw"), 0);
  EXPECT_FALSE(TestFileExists(dir / "empty.srw"));

  Fill(route, {Rec("A", 0), Rec("B", 0.01)});
  route.Modified = true;
  const std::string path = dir / "sub/r.srw";
  ASSERT_EQ(::mkdir((dir / "sub").c_str(), 0755), 0);
  WriteTestFile(path, "old contents");
  {
    TUnwritable locked(dir / "sub");
    if (!locked.Ok()) GTEST_SKIP() << "no way to make a directory unwritable here";
    EXPECT_EQ(route.SaveToFile(path), -1);
    EXPECT_FALSE(route.LastError.empty());
    EXPECT_TRUE(route.Modified);  // the changes are still unsaved
    EXPECT_TRUE(route.FileName.empty());
  }
  EXPECT_EQ(ReadTestFile(path), "old contents");
  EXPECT_EQ(route.SaveToFile(path), 2);
  EXPECT_FALSE(route.Modified);
  EXPECT_EQ(route.FileName, path);
}

TEST(RouteModel, LoadingMergesAndKeepsTheFileNameOnlyForAFreshRoute) {
  TTempDir dir;
  TRoute source;
  Fill(source, {Rec("F", 0.004), Rec("L", 0.006)});
  ASSERT_EQ(source.SaveToFile(dir / "leg.srw"), 2);

  TRoute fresh;
  EXPECT_EQ(fresh.LoadFromFile(dir / "leg.srw"), 2);
  EXPECT_EQ(fresh.FileName, dir / "leg.srw");
  EXPECT_FALSE(fresh.Modified);
  EXPECT_EQ(fresh.LoadFromFile(dir / "missing.srw"), 0);

  TRoute route;
  Fill(route, {Rec("A", 0), Rec("B", 0.01), Rec("C", 0.02)});
  route.FileName = "mine.srw";
  EXPECT_EQ(route.LoadFromFile(dir / "leg.srw"), 2);
  EXPECT_EQ(Names(route), (std::vector<std::string>{"A", "F", "L", "B", "C"}));
  EXPECT_TRUE(route.FileName.empty());
  EXPECT_TRUE(route.Modified);

  WriteTestFile(dir / "text.srw", "Datum,WGS84,WGS84,0,0,0,0,0\r\n");
  EXPECT_EQ(route.LoadFromFile(dir / "text.srw"), -1);  // not parsed as old records
  EXPECT_FALSE(route.LastError.empty());
  EXPECT_EQ(route.Count(), 5);
}

TEST(RouteModel, PositionsSkipUnnamedAndRepeatedNamesButRoutesKeepThem) {
  TTempDir dir;
  TRoute source;
  // Out and back: the same name twice is a real route.
  Fill(source, {Rec("HOME", 0), Rec("", 0.01), Rec("MARK", 0.02), Rec(" HOME ", 0.03), Rec("HOME", 0.04)});
  ASSERT_EQ(source.SaveToFile(dir / "trip.srw"), 5);

  TRoute route;
  EXPECT_EQ(route.LoadFromFile(dir / "trip.srw"), 5);

  TRoute positions;
  positions.IsPositions = true;
  Fill(positions, {Rec("MARK", 0.5)});
  EXPECT_EQ(positions.LoadPositions(dir / "trip.srw"), 1);
  EXPECT_EQ(Names(positions), (std::vector<std::string>{"MARK", "HOME"}));
  EXPECT_TRUE(positions.Modified);
}

TEST(RouteModel, ATextFileWithoutPointsIsAnImportError) {
  TTempDir dir;
  TScriptedQuestions questions;
  IUserQuestions* previous = SetUserQuestions(&questions);
  WriteTestFile(dir / "bad.txt", "Not a route\r\n");
  TRoute route;
  EXPECT_EQ(route.ImportText(dir / "bad.txt"), 0);
  ASSERT_EQ(questions.asked().size(), 1u);
  EXPECT_EQ(questions.asked()[0].text, "WP Import Error");
  EXPECT_EQ(route.Count(), 0);
  SetUserQuestions(previous);
}

}  // namespace
