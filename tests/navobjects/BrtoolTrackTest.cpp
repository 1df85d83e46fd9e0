// brtool track, run as a user would: a track summed up as JSON, converted
// between the formats, and the GPX it writes read by gpsbabel.
#include <cmath>
#include <string>
#include <vector>

#include "RouteFilesTestUtil.h"
#include "TestSupport.h"
#include "foundation/GenUtil.h"
#include "navobjects/Trace.h"

namespace {

constexpr TDateTime k1230 = 45458.520833333336;  // 2024-06-15 12:30 UTC

TTrcRecord At(double lonDeg, double latDeg, TDateTime time) {
  TTrcRecord r;
  r.Pos = TrackIntPos({lonDeg * kDegToRad, latDeg * kDegToRad});
  r.Time = time;
  return r;
}

// A first point without a time, then north 6 NM, then east along 59.6 N.
TTrcRecords Sample() {
  TTrcRecords r = {At(18.0, 59.5, 0), At(18.0, 59.6, k1230), At(18.1, 59.6, k1230 + 1 / 1440.0)};
  r[1].SOG = 5.5;
  r[1].Heading = 3599;
  r[1].Depth = 42;
  return r;
}

std::string Quoted(const std::string& path) { return "'" + path + "'"; }

TEST(BrtoolTrack, InfoSumsUpTheTrack) {
  REQUIRE_PROGRAM("brtool");
  TTempDir dir;
  WriteTestFile(dir / "20240615.TRC", EncodeTrc(Sample()));
  const TProgramRun r = Brtool("track info " + Quoted(dir / "20240615.TRC"));
  ASSERT_EQ(r.status, 0);
  const std::string head =
      "{\"points\": 3, \"start\": \"2024-06-15T12:30:00Z\", \"end\": \"2024-06-15T12:31:00Z\", "
      "\"distance\": ";
  ASSERT_EQ(r.out.substr(0, head.size()), head) << r.out;
  const size_t comma = r.out.find(',', head.size());
  const double nm = TryStrToFloatDot(r.out.substr(head.size(), comma - head.size())).value_or(-1);
  EXPECT_NEAR(nm, 6 + 6 * std::cos(59.6 * kDegToRad), 1e-9);
  EXPECT_EQ(r.out.substr(comma), ", \"bounds\": {\"north\": 59.6, \"south\": 59.5, \"east\": 18.1, \"west\": 18}}\n");

  WriteTestFile(dir / "empty.trc", "");
  EXPECT_EQ(Brtool("track info " + Quoted(dir / "empty.trc")).out,
            "{\"points\": 0, \"start\": null, \"end\": null, \"distance\": 0, \"bounds\": null}\n");
  WriteTestFile(dir / "other.txt", "Datum,European 1950\nTP,D,59.5,18,06/15/2024,12:30:00,1\n");
  for (const char* bad : {"missing.trc", "track.doc", "other.txt"})
    EXPECT_EQ(Brtool("track info " + Quoted(dir / bad)).status, 1) << bad;
  EXPECT_EQ(Brtool("track info").status, 2);
}

TEST(BrtoolTrack, ConvertKeepsEveryValueThroughGpx) {
  REQUIRE_PROGRAM("brtool");
  TTempDir dir;
  const std::string trc = EncodeTrc(Sample());
  WriteTestFile(dir / "in.TRC", trc);
  ASSERT_EQ(Brtool("track convert " + Quoted(dir / "in.TRC") + " " + Quoted(dir / "t.gpx")).status, 0);
  ASSERT_EQ(Brtool("track convert " + Quoted(dir / "t.gpx") + " " + Quoted(dir / "back.trc")).status, 0);
  // Times go through GPX in whole seconds: the same to the last bits.
  const TTrcRecords want = Sample();
  TTrcRecords back = ReadTrc(ReadTestFile(dir / "back.trc")).records;
  ASSERT_EQ(back.size(), want.size());
  for (size_t i = 0; i < want.size(); ++i) {
    EXPECT_NEAR(back[i].Time, want[i].Time, 1e-9) << i;
    back[i].Time = want[i].Time;
    EXPECT_EQ(back[i], want[i]) << i;
  }

  // The text formats are read.
  WriteTestFile(dir / "t.g7t",
                "Version 2:G7T\r\nM DMM\r\nD WGS-84\r\nT  N59 30.0000 E018 00.0000 Sat Jun 15 12:30:00 2024\r\n");
  ASSERT_EQ(Brtool("track convert " + Quoted(dir / "t.g7t") + " " + Quoted(dir / "g.trc")).status, 0);
  EXPECT_EQ(ReadTestFile(dir / "g.trc"), EncodeTrc({At(18.0, 59.5, k1230)}));
  // Only TRC and GPX are written, and nothing else is made.
  EXPECT_EQ(Brtool("track convert " + Quoted(dir / "in.TRC") + " " + Quoted(dir / "x.txt")).status, 2);
  EXPECT_FALSE(TestFileExists(dir / "x.txt"));
}

TEST(BrtoolTrack, GpsbabelReadsTheConvertedGpx) {
  REQUIRE_PROGRAM("brtool");
  if (!routetest::HaveGpsbabel())
    GTEST_SKIP() << routetest::kGpsbabel << " is not installed (apt-get install gpsbabel)";
  TTempDir dir;
  TTrcRecords records = Sample();
  records[0].Time = k1230 - 1 / 1440.0;
  records.push_back(At(-0.5, -33.25, k1230 + 1.5));  // south and west, two days later
  WriteTestFile(dir / "in.trc", EncodeTrc(records));
  ASSERT_EQ(Brtool("track convert " + Quoted(dir / "in.trc") + " " + Quoted(dir / "out.gpx")).status, 0);
  std::string out;
  ASSERT_EQ(
      routetest::RunCommand(
          std::string(routetest::kGpsbabel) + " -t -i gpx -f " + Quoted(dir / "out.gpx") + " -o unicsv -F -", out),
      0);
  std::vector<std::vector<std::string>> rows;
  for (size_t start = 0; start < out.size();) {
    size_t end = out.find('\n', start);
    if (end == std::string::npos) end = out.size();
    rows.push_back(routetest::CsvItems(std::string_view(out).substr(start, end - start)));
    start = end + 1;
  }
  ASSERT_EQ(rows.size(), records.size() + 1) << out;
  auto column = [&](const char* name) {
    for (size_t k = 0; k < rows[0].size(); ++k)
      if (rows[0][k] == name) return k;
    ADD_FAILURE() << "no column " << name << " in " << out;
    return size_t{0};
  };
  const size_t lat = column("Latitude"), lon = column("Longitude"), date = column("Date"), time = column("Time");
  for (size_t i = 0; i < records.size(); ++i) {
    const std::vector<std::string>& row = rows[i + 1];
    ASSERT_GT(row.size(), std::max({lat, lon, date, time})) << out;
    EXPECT_NEAR(TryStrToFloatDot(row[lat]).value_or(1e9), records[i].Pos.Lat / 60000.0, 1e-6) << i;
    EXPECT_NEAR(TryStrToFloatDot(row[lon]).value_or(1e9), records[i].Pos.Lon / 60000.0, 1e-6) << i;
    // gpsbabel writes "yyyy/mm/dd" and "hh:mm:ss".
    std::string want = DateTimeToText(records[i].Time);
    for (char& c : want)
      if (c == '-') c = '/';
    EXPECT_EQ(row[date] + " " + row[time], want) << i;
  }
}

}  // namespace
