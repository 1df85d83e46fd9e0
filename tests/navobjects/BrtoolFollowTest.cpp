// brtool follow, run as a user would: a route file and an NMEA log written
// here, the guidance of every fix read back from the JSON lines.
#include <cmath>
#include <sstream>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "foundation/GenUtil.h"
#include "foundation/NumText.h"
#include "navobjects/RouteFiles.h"

namespace {

TRoutePointRec Point(const char* name, double latDeg, double lonDeg) {
  TRoutePointRec p;
  p.Name = name;
  p.Position = {lonDeg * kDegToRad, latDeg * kDegToRad};
  return p;
}

// "ddmm.mmmm" (or "dddmm.mmmm") of a positive angle in degrees.
std::string NmeaAngle(double deg, int degDigits) {
  const int whole = static_cast<int>(deg);
  std::string minutes = FloatToStrFixedDot(4, (deg - whole) * 60);
  if (minutes.size() < 7) minutes.insert(0, 7 - minutes.size(), '0');
  std::string d = std::to_string(whole);
  if (static_cast<int>(d.size()) < degDigits) d.insert(0, static_cast<size_t>(degDigits) - d.size(), '0');
  return d + minutes;
}

std::string WithChecksum(const std::string& body) {
  unsigned sum = 0;
  for (char c : body) sum ^= static_cast<unsigned char>(c);
  static const char* hex = "0123456789ABCDEF";
  return "$" + body + "*" + hex[sum >> 4] + hex[sum & 15] + "\r\n";
}

std::string Rmc(int secondsAfterTen, double latDeg, double lonDeg, double knots, double courseDeg) {
  const int h = 10 + secondsAfterTen / 3600, m = secondsAfterTen / 60 % 60, s = secondsAfterTen % 60;
  const std::string time = IntToStrPad(h, '0', 2) + IntToStrPad(m, '0', 2) + IntToStrPad(s, '0', 2) + ".00";
  return WithChecksum("GPRMC," + time + ",A," + NmeaAngle(latDeg, 2) + ",N," + NmeaAngle(lonDeg, 3) + ",E," +
                      FloatToStrFixedDot(1, knots) + "," + FloatToStrFixedDot(1, courseDeg) + ",010524,,,A");
}

// The raw text of a key's value in one of the tool's JSON lines.
std::string Item(const std::string& line, const std::string& key) {
  const std::string tag = "\"" + key + "\": ";
  const size_t at = line.find(tag);
  if (at == std::string::npos) return "";
  const size_t from = at + tag.size();
  size_t end = line[from] == '"' ? line.find('"', from + 1) + 1 : line.find_first_of(",}", from);
  return line.substr(from, end - from);
}

double Num(const std::string& line, const std::string& key) { return TryStrToFloatDot(Item(line, key)).value_or(NAN); }

std::string Quoted(const std::string& path) { return "'" + path + "'"; }

TEST(BrtoolFollow, GuidanceForEveryFixUntilTheRouteEnds) {
  REQUIRE_PROGRAM("brtool");
  TTempDir dir;
  // North for 0.6 mile, then east.
  WriteTestFile(dir / "route.srw",
                EncodeSrw({Point("A", 59.0, 10.0), Point("B", 59.01, 10.0), Point("C", 59.01, 10.02)}, 45000));

  // A fix every 10 s at 12 knots (2 minutes of latitude a step), 0.01 mile
  // east of the first leg, then along the second leg and on past its end;
  // heading sentences in between give no fix.
  const double stepDeg = 12.0 / 360.0 / 60.0;
  const double east = 0.01 / 60.0 / std::cos(59.0 * kDegToRad);
  std::vector<std::pair<double, double>> fixes;  // lat, lon
  for (double lat = 58.998; lat < 59.01; lat += stepDeg) fixes.push_back({lat, 10.0 + east});
  const double lonStep = stepDeg / std::cos(59.01 * kDegToRad);
  for (double lon = 10.0 + east; lon < 10.03; lon += lonStep) fixes.push_back({59.01, lon});
  std::string nmea;
  for (size_t i = 0; i < fixes.size(); ++i) {
    const bool north = fixes[i].second < 10.0 + east + 1e-9;
    nmea += Rmc(static_cast<int>(i) * 10, fixes[i].first, fixes[i].second, 12, north ? 0 : 90);
    nmea += WithChecksum("HEHDT,45.0,T");
  }
  WriteTestFile(dir / "voyage.nmea", nmea);

  const TProgramRun r = Brtool("follow " + Quoted(dir / "route.srw") + " " + Quoted(dir / "voyage.nmea"));
  ASSERT_EQ(r.status, 0);
  std::vector<std::string> lines;
  std::istringstream in(r.out);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  ASSERT_GE(lines.size(), 3u);

  // The first fix: 0.72 mile to B, 0.01 mile right of the leg, 216 s at 12
  // knots.
  const std::string& first = lines[0];
  EXPECT_EQ(Item(first, "time"), "\"2024-05-01T10:00:00Z\"");
  EXPECT_EQ(Item(first, "wpIndex"), "1");
  EXPECT_EQ(Item(first, "wpName"), "\"B\"");
  EXPECT_NEAR(Num(first, "wpLat"), 59.01, 1e-9);
  EXPECT_NEAR(Num(first, "wpLon"), 10.0, 1e-9);
  EXPECT_NEAR(Num(first, "lat"), 58.998, 1e-6);
  EXPECT_NEAR(Num(first, "distance"), 0.72, 0.001);
  EXPECT_NEAR(Num(first, "xte"), 0.01, 0.0005);
  EXPECT_NEAR(Num(first, "bearing"), 359.2, 0.1);
  EXPECT_NEAR(Num(first, "ttg"), 216, 1);
  EXPECT_EQ(Item(first, "switched"), "false");

  // One switch to C, at the first fix within 20 s (0.0667 mile) of B; then
  // the end, reported once, at the first fix within 20 s of C.
  size_t switchAt = 0;
  for (size_t i = 1; i + 1 < lines.size(); ++i) {
    if (Item(lines[i], "switched") == "true") {
      EXPECT_EQ(switchAt, 0u) << "second switch at line " << i;
      switchAt = i;
    }
    EXPECT_EQ(Item(lines[i], "wpIndex"), switchAt && i >= switchAt ? "2" : "1") << i;
  }
  ASSERT_GT(switchAt, 0u);
  const auto milesTo = [&](size_t i, double lat, double lon) {
    return GeoDistance({fixes[i].second * kDegToRad, fixes[i].first * kDegToRad}, {lon * kDegToRad, lat * kDegToRad}) *
           kRadToNM;
  };
  const double preload = 12 * 20 / 3600.0;
  EXPECT_LT(milesTo(switchAt, 59.01, 10.0), preload);
  EXPECT_GE(milesTo(switchAt - 1, 59.01, 10.0), preload);
  const std::string& last = lines.back();
  EXPECT_EQ(Item(last, "ended"), "true");
  EXPECT_EQ(Item(last, "wpIndex"), "");
  const size_t endAt = lines.size() - 1;
  ASSERT_LT(endAt, fixes.size());
  EXPECT_LT(milesTo(endAt, 59.01, 10.02), preload);
  EXPECT_GE(milesTo(endAt - 1, 59.01, 10.02), preload);
  EXPECT_NEAR(Num(lines[endAt - 1], "xte"), 0, 1e-4);
}

TEST(BrtoolFollow, RefusesWhatIsNoRoute) {
  REQUIRE_PROGRAM("brtool");
  TTempDir dir;
  WriteTestFile(dir / "one.srw", EncodeSrw({Point("A", 59.0, 10.0)}, 45000));
  WriteTestFile(dir / "two.srw", EncodeSrw({Point("A", 59.0, 10.0), Point("B", 59.1, 10.0)}, 45000));
  WriteTestFile(dir / "places.swp", std::string(164, '\0'));
  WriteTestFile(dir / "log.nmea", Rmc(0, 59.0, 10.0, 5, 0));
  const std::string nmea = " " + Quoted(dir / "log.nmea");
  EXPECT_EQ(Brtool("follow " + Quoted(dir / "one.srw") + nmea).status, 1);
  EXPECT_EQ(Brtool("follow " + Quoted(dir / "places.swp") + nmea).status, 1);
  EXPECT_EQ(Brtool("follow " + Quoted(dir / "missing.gpx") + nmea).status, 1);
  EXPECT_EQ(Brtool("follow " + Quoted(dir / "two.srw") + " " + Quoted(dir / "missing.nmea")).status, 1);
  EXPECT_EQ(Brtool("follow " + Quoted(dir / "two.srw")).status, 2);
  EXPECT_EQ(Brtool("follow " + Quoted(dir / "two.srw") + nmea + " --force fifty").status, 2);
  EXPECT_EQ(Brtool("follow " + Quoted(dir / "two.srw") + nmea + " --preload -1").status, 2);
  // The options are taken: a boat standing at the start, with a preload of
  // an hour at 5 knots, is within reach of the end at once.
  const TProgramRun r = Brtool("follow " + Quoted(dir / "two.srw") + nmea + " --preload 7200");
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out,
            "{\"time\": \"2024-05-01T10:00:00Z\", \"lat\": 59.000000000, \"lon\": 10.000000000, \"ended\": true}\n");
}

}  // namespace
