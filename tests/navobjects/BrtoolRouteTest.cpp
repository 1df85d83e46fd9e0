// brtool route, run as a user would: a route file shown as JSON, converted
// between the formats and back, and the GPX it writes read by gpsbabel.
#include <string>

#include "RouteFilesTestUtil.h"
#include "TestSupport.h"
#include "navobjects/RouteFiles.h"

namespace {

TRoutePoints TwoPoints() {
  TRoutePointRec a;
  a.Name = "Åsa";
  a.Comment = "Jetty\r\nberth \"4\"";
  a.Position = {-(18 + 4.25 / 60) * kDegToRad, (59 + 30.5 / 60) * kDegToRad};
  a.LegXTE = 0.05 / kRadToNM;
  a.Reserved1 = 9;
  TRoutePointRec b;
  b.Name = "Sea Point";
  b.Position = {0.5 * kDegToRad, -33.5 * kDegToRad};
  b.LegSpeed = 6.5;
  b.LegXTE = 0.1 / kRadToNM;
  return {a, b};
}

std::string Quoted(const std::string& path) { return "\"" + path + "\""; }

TEST(BrtoolRoute, InfoShowsThePointsAsJson) {
  REQUIRE_PROGRAM("brtool");
  TTempDir dir;
  WriteTestFile(dir / "Harbour.SRW", EncodeSrw(TwoPoints(), 45000));
  const TProgramRun r = Brtool("route info " + Quoted(dir / "Harbour.SRW"));
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(
      r.out,
      "{\"kind\": \"srw\", \"name\": \"Harbour\", \"points\": [\n"
      "  {\"name\": \"Åsa\", \"lat\": 59.50833333333334, \"lon\": -18.070833333333333, "
      "\"comment\": \"Jetty\\u000d\\u000aberth \\\"4\\\"\", \"speed\": 0, \"xte\": 0.05},\n"
      "  {\"name\": \"Sea Point\", \"lat\": -33.5, \"lon\": 0.5, \"comment\": \"\", \"speed\": 6.5, \"xte\": 0.1}\n"
      "]}\n");

  // The route of a G7T file by its number, with its name.
  TRouteTextOptions asIs;
  asIs.DeviceNameMode = 2;
  WriteTestFile(dir / "two.g7t", EncodeG7t(TwoPoints(), 4, "Out and back", asIs));
  const TProgramRun g = Brtool("route info " + Quoted(dir / "two.g7t") + " --number 4");
  EXPECT_EQ(g.status, 0);
  EXPECT_EQ(g.out.substr(0, 52), "{\"kind\": \"g7t\", \"name\": \"Out and back\", \"points\": [\n");
  EXPECT_EQ(Brtool("route info " + Quoted(dir / "two.g7t") + " --number 5").status, 1);

  // Files that cannot be read.
  WriteTestFile(dir / "bad.srw", EncodeSrw(TwoPoints(), 0).substr(0, 60));
  WriteTestFile(dir / "bad.txt", "not a route\n");
  for (const char* name : {"bad.srw", "bad.txt", "missing.gpx", "bad.xyz"}) {
    const TProgramRun bad = Brtool("route info " + Quoted(dir / name));
    EXPECT_EQ(bad.status, 1) << name;
    EXPECT_EQ(bad.out, "") << name;
  }
  EXPECT_EQ(Brtool("route info").status, 2);
}

TEST(BrtoolRoute, ConvertRoundTrips) {
  REQUIRE_PROGRAM("brtool");
  TTempDir dir;
  const TRoutePoints points = TwoPoints();
  WriteTestFile(dir / "in.srw", EncodeSrw(points, 45000));
  // SRW -> GPX -> SRW keeps every value (positions to the last bits of the
  // degrees).
  ASSERT_EQ(Brtool("route convert " + Quoted(dir / "in.srw") + " " + Quoted(dir / "r.gpx")).status, 0);
  ASSERT_EQ(Brtool("route convert " + Quoted(dir / "r.gpx") + " " + Quoted(dir / "back.SRW")).status, 0);
  TRouteReadResult back = ReadSrw(ReadTestFile(dir / "back.SRW"));
  ASSERT_EQ(back.status, TRouteReadStatus::Ok) << back.error;
  ASSERT_EQ(back.points.size(), points.size());
  for (size_t i = 0; i < points.size(); ++i) {
    TRoutePointRec want = points[i];
    EXPECT_NEAR(back.points[i].Position.X, want.Position.X, 1e-14);
    EXPECT_NEAR(back.points[i].Position.Y, want.Position.Y, 1e-14);
    want.Position = back.points[i].Position;
    EXPECT_EQ(back.points[i], want);
  }
  // Through the text formats names keep their case with --name-mode 2.
  ASSERT_EQ(Brtool("route convert " + Quoted(dir / "in.srw") + " " + Quoted(dir / "r.txt") + " --name-mode 2").status,
            0);
  const std::string txt = ReadTestFile(dir / "r.txt");
  EXPECT_EQ(txt.substr(0, 37), "Datum,WGS84,WGS84,0,0,0,0,0\r\nRN,1,r\r\n");
  ASSERT_EQ(Brtool("route convert " + Quoted(dir / "r.txt") + " " + Quoted(dir / "r.g7t") + " --name-mode 2 --number 3")
                .status,
            0);
  const TRouteReadResult g = ReadG7t(ReadTestFile(dir / "r.g7t"), 3, TRouteTextOptions());
  ASSERT_EQ(g.status, TRouteReadStatus::Ok) << g.error;
  EXPECT_EQ(g.points[0].Name, "Åsa");
  EXPECT_EQ(g.points[0].Comment, "Jetty\r\nberth  4 ");  // the As-is mode blanks quotes
  EXPECT_NEAR(g.points[1].Position.Y, points[1].Position.Y, 1e-9);
  // Positions in and out; a route file has none.
  ASSERT_EQ(Brtool("route convert " + Quoted(dir / "in.srw") + " " + Quoted(dir / "p.txt") + " --positions").status, 0);
  EXPECT_EQ(ReadTestFile(dir / "p.txt").substr(29, 5), "WP,D,");
  ASSERT_EQ(Brtool("route convert " + Quoted(dir / "p.txt") + " " + Quoted(dir / "p.gpx") + " --positions").status, 0);
  const TRouteReadResult wpts = ReadGpx(ReadTestFile(dir / "p.gpx"), false, TRouteTextOptions());
  EXPECT_EQ(wpts.status, TRouteReadStatus::Ok) << wpts.error;
  EXPECT_EQ(wpts.points.size(), 2u);
  EXPECT_EQ(Brtool("route convert " + Quoted(dir / "r.txt") + " " + Quoted(dir / "x.gpx") + " --positions").status, 1);
  EXPECT_EQ(Brtool("route convert " + Quoted(dir / "r.gpx") + " " + Quoted(dir / "x.txt") + " --positions").status, 1);

  // Kinds that cannot be written, and nothing written over on failure.
  for (const char* out : {"x.rte", "x.SWP", "x.trc", "x.doc"})
    EXPECT_EQ(Brtool("route convert " + Quoted(dir / "in.srw") + " " + Quoted(dir / out)).status, 2) << out;
  EXPECT_FALSE(TestFileExists(dir / "x.rte"));
}

TEST(BrtoolRoute, GpsbabelReadsTheConvertedGpx) {
  REQUIRE_PROGRAM("brtool");
  if (!routetest::HaveGpsbabel())
    GTEST_SKIP() << routetest::kGpsbabel << " is not installed (apt-get install gpsbabel)";
  TTempDir dir;
  const TRoutePoints points = TwoPoints();
  WriteTestFile(dir / "in.srw", EncodeSrw(points, 45000));
  ASSERT_EQ(Brtool("route convert " + Quoted(dir / "in.srw") + " " + Quoted(dir / "out.gpx")).status, 0);
  std::vector<routetest::TBabelPoint> read;
  ASSERT_TRUE(routetest::GpsbabelRead(dir / "out.gpx", "gpx", true, read));
  ASSERT_EQ(read.size(), points.size());
  for (size_t i = 0; i < points.size(); ++i) {
    EXPECT_EQ(read[i].name, points[i].Name);
    EXPECT_NEAR(read[i].lat, points[i].Position.Y * kRadToDeg, 1e-6);
    EXPECT_NEAR(read[i].lon, points[i].Position.X * kRadToDeg, 1e-6);
  }
}

}  // namespace
