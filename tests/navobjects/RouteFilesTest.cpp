// Route and position files as bytes: the binary formats (SRW, the old route,
// positions and track records, the 6-byte real), the two text formats and
// GPX, written and read back, damaged, cut short and checked against an
// outside GPX reader.
#include <cmath>
#include <string>
#include <vector>

#include "RouteFilesTestUtil.h"
#include "TestSupport.h"
#include "foundation/GenUtil.h"
#include "navobjects/RouteFiles.h"

using routetest::FromHex;
using routetest::Hex;
using routetest::TBytes;

namespace {

constexpr double kMinute = kDegToRad / 60;

TRoutePointRec Point(std::string name, double latDeg, double lonDeg, std::string comment = {}, double speed = 0,
                     double xteNm = 0, int32_t r1 = 0, int32_t r2 = 0) {
  TRoutePointRec p;
  p.Name = std::move(name);
  p.Position = {lonDeg * kDegToRad, latDeg * kDegToRad};
  p.Comment = std::move(comment);
  p.LegSpeed = speed;
  p.LegXTE = xteNm / kRadToNM;
  p.Reserved1 = r1;
  p.Reserved2 = r2;
  return p;
}

// A route with what the formats must carry: Windows-1252 letters, a comment
// with a line break, speeds, limits, reserved values, both hemispheres.
TRoutePoints SampleRoute() {
  return {Point("Åsa", 59 + 30.5 / 60, 18 + 4.25 / 60, "Jetty\r\nberth 4", 0, 0.05, 7, -1),
          Point("Sea Point", -33.5, -70.25, "", 6.5, 0.1, 0, 123456), Point("", 0.25, 179.5, "Ö café", 12.25, 0.02)};
}

std::vector<std::string> Names(const TRoutePoints& points) {
  std::vector<std::string> n;
  for (const TRoutePointRec& p : points) n.push_back(p.Name);
  return n;
}

void ExpectNear(const TRoutePoints& got, const TRoutePoints& want, double tolerance, const char* what) {
  ASSERT_EQ(got.size(), want.size()) << what;
  for (size_t i = 0; i < got.size(); ++i) {
    EXPECT_NEAR(got[i].Position.Y, want[i].Position.Y, tolerance) << what << " point " << i;
    EXPECT_NEAR(got[i].Position.X, want[i].Position.X, tolerance) << what << " point " << i;
  }
}

// ---------------------------------------------------------------------------
// SRW

TEST(RouteFilesSrw, WorkedExampleByteForByte) {
  TRoutePoints points = {Point("Åsa", 0, 0, "", 0, 0.05)};
  points[0].Position = {(18 * 60 + 4.25) * kMinute, (59 * 60 + 30.5) * kMinute};
  const std::string bytes = EncodeSrw(points, 45458.520833333336);
  const std::string expected = FromHex(
      "53 52 57 01 01 00 00 00 ab aa aa aa 50 32 e6 40 00 00 00 00 00 00 00 00"
      "57 00 00 00 | a8 8c 43 2d 2c 9e f0 3f | 70 3d aa c6 70 2f d4 3f | 00 00 00 00 00 00 00 00 |"
      "6c 57 7f 8c 78 80 ee 3e | 00 00 00 00 00 00 00 00 |"
      "00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 |"
      "03 00 c5 73 61 | 00 00");
  ASSERT_EQ(expected.size(), 111u);
  EXPECT_EQ(Hex(bytes), Hex(expected));
  EXPECT_TRUE(IsSrw(bytes));
  const TRouteReadResult r = ReadSrw(expected);
  EXPECT_EQ(r.status, TRouteReadStatus::Ok);
  EXPECT_EQ(r.points, points);
}

TEST(RouteFilesSrw, RoundTripKeepsEveryField) {
  TRoutePoints many = SampleRoute();
  many.push_back(Point(std::string(70000, 'x'), 1, 2, "long name"));  // cut to the 16-bit length
  for (const TRoutePoints& points : {TRoutePoints{}, TRoutePoints{SampleRoute()[0]}, many}) {
    int32_t header = 0;
    const TRouteReadResult r = ReadSrw(EncodeSrw(points, 45000.25, -42), &header);
    ASSERT_EQ(r.status, TRouteReadStatus::Ok) << r.error;
    EXPECT_EQ(header, -42);
    TRoutePoints want = points;
    if (want.size() == 4) want[3].Name.resize(65535);
    EXPECT_EQ(r.points, want);
  }
  // A character Windows-1252 has no place for becomes "?".
  EXPECT_EQ(ReadSrw(EncodeSrw({Point("Ω1", 0, 0)}, 0)).points[0].Name, "?1");
}

TEST(RouteFilesSrw, DamagedFilesKeepTheWholeRecordsBeforeTheDamage) {
  const TRoutePoints three = {Point("A", 1, 1), Point("B", 2, 2, "cmt"), Point("C", 3, 3)};
  const std::string good = EncodeSrw(three, 45000);
  const size_t recA = 24, recB = recA + 85;  // "A": 84 + 1 bytes
  auto withCount = [&](int32_t count) {
    std::string b = good;
    TBytes c;
    c.i32(count);
    b.replace(4, 4, c.b);
    return b;
  };
  auto withLength = [&](size_t record, int32_t length) {
    std::string b = good;
    TBytes c;
    c.i32(length);
    b.replace(record, 4, c.b);
    return b;
  };
  std::string nanLat = good;
  nanLat.replace(recB + 4, 8, FromHex("00 00 00 00 00 00 f8 7f"));
  struct Case {
    const char* what;
    std::string bytes;
    TRouteReadStatus status;
    std::vector<std::string> names;
  } cases[] = {
      {"whole file", good, TRouteReadStatus::Ok, {"A", "B", "C"}},
      {"count 0x7fffffff", withCount(0x7fffffff), TRouteReadStatus::Damaged, {"A", "B", "C"}},
      {"negative count", withCount(-5), TRouteReadStatus::Ok, {}},
      {"count below the records", withCount(2), TRouteReadStatus::Ok, {"A", "B"}},
      {"cut inside the last record", good.substr(0, good.size() - 3), TRouteReadStatus::Damaged, {"A", "B"}},
      {"cut inside a name", good.substr(0, recB + 82), TRouteReadStatus::Damaged, {"A"}},
      {"header only", good.substr(0, 24), TRouteReadStatus::Damaged, {}},
      {"header cut short", good.substr(0, 10), TRouteReadStatus::Damaged, {}},
      {"length too large", withLength(recB, 1000), TRouteReadStatus::Damaged, {"A"}},
      {"length below 84", withLength(recB, 3), TRouteReadStatus::Damaged, {"A"}},
      {"negative length", withLength(recA, -1), TRouteReadStatus::Damaged, {}},
      {"a latitude that is no number", nanLat, TRouteReadStatus::Damaged, {"A", "C"}},
      {"not SRW", "RIFF0000", TRouteReadStatus::NotThisKind, {}},
      {"empty", "", TRouteReadStatus::NotThisKind, {}},
  };
  for (const Case& c : cases) {
    const TRouteReadResult r = ReadSrw(c.bytes);
    EXPECT_EQ(r.status, c.status) << c.what;
    EXPECT_EQ(Names(r.points), c.names) << c.what;
    EXPECT_EQ(r.error.empty(), c.status == TRouteReadStatus::Ok) << c.what << ": " << r.error;
  }
}

// ---------------------------------------------------------------------------
// The 6-byte real and the old formats

TEST(RouteFilesOld, Real48Vectors) {
  const struct {
    double value;
    const char* hex;
    double readBack;
  } vectors[] = {
      {1.0, "81 00 00 00 00 00", 1.0},        {-1.0, "81 00 00 00 00 80", -1.0},
      {10.0, "84 00 00 00 00 20", 10.0},      {0.1, "7d cd cc cc cc 4c", 0.10000000000002274},
      {0.5, "80 00 00 00 00 00", 0.5},        {6.5, "83 00 00 00 00 50", 6.5},
      {12.3, "84 cd cc cc cc 44", 12.3},      {99.9, "87 cd cc cc cc 47", 99.9},
      {1e-13, "55 4c 42 13 2e 61", 1e-13},    {2.5e-39, "00 00 00 00 00 00", 0},
      {1.7e38, "ff 67 3c 9e c9 7f", 1.7e38},  {0.0, "00 00 00 00 00 00", 0},
      {std::nan(""), "00 00 00 00 00 00", 0},
  };
  for (const auto& v : vectors) {
    uint8_t b[6];
    ASSERT_TRUE(DoubleToReal48(v.value, b)) << v.value;
    EXPECT_EQ(Hex(std::string(reinterpret_cast<char*>(b), 6)), v.hex) << v.value;
    const std::string bytes = FromHex(v.hex);
    const double back = Real48ToDouble(reinterpret_cast<const uint8_t*>(bytes.data()));
    if (v.value == 0.1)
      EXPECT_EQ(back, v.readBack);
    else
      EXPECT_NEAR(back, v.readBack, std::fabs(v.readBack) * 1e-11) << v.hex;
  }
  uint8_t b[6];
  EXPECT_FALSE(DoubleToReal48(1.8e38, b));
  EXPECT_FALSE(DoubleToReal48(-INFINITY, b));
  // Just below the smallest value rounds up to it.
  ASSERT_TRUE(DoubleToReal48(std::ldexp(1 - std::ldexp(1, -45), -128), b));
  EXPECT_EQ(Hex(std::string(reinterpret_cast<char*>(b), 6)), "01 00 00 00 00 00");
}

std::string Real48(double v) {
  uint8_t b[6];
  EXPECT_TRUE(DoubleToReal48(v, b));
  return std::string(reinterpret_cast<char*>(b), 6);
}

// A 63-byte old route record.
std::string RteRecord(int32_t lat, int32_t lon, double speed, int32_t xteHundredths, uint8_t nameLength,
                      std::string_view name) {
  TBytes r;
  r.i32(lat).i32(lon).raw(Real48(speed)).zeros(2).i32(xteHundredths).zeros(2).shortString(nameLength, name, 41);
  return r.b;
}

// A 164-byte old positions record.
std::string SwpRecord(int32_t lat, int32_t lon, uint8_t nameLength, std::string_view name, uint8_t commentLength,
                      std::string_view comment) {
  TBytes r;
  r.zeros(4)
      .i32(lat)
      .i32(lon)
      .i32(3)
      .zeros(6)
      .shortString(nameLength, name, 41)
      .shortString(commentLength, comment, 101);
  return r.b;
}

TEST(RouteFilesOld, RouteRecords) {
  const std::string full(40, 'N');
  const std::string bytes =
      RteRecord(3570500, 1084250, 6.5, 5, 4, "\xC5sa!") + RteRecord(-2010000, -4215000, 0, 250, 255, full);
  ASSERT_EQ(bytes.size(), 126u);
  const TRouteReadResult r = ReadOldRoute(bytes);
  ASSERT_EQ(r.status, TRouteReadStatus::Ok) << r.error;
  ASSERT_EQ(r.points.size(), 2u);
  EXPECT_EQ(r.points[0].Name, "Åsa!");
  EXPECT_DOUBLE_EQ(r.points[0].Position.Y, (59 * 60 + 30.5) * kMinute);
  EXPECT_DOUBLE_EQ(r.points[0].Position.X, (18 * 60 + 4.25) * kMinute);
  EXPECT_EQ(r.points[0].LegSpeed, 6.5);
  EXPECT_DOUBLE_EQ(r.points[0].LegXTE * kRadToNM, 0.05);
  EXPECT_TRUE(r.points[0].Comment.empty());
  EXPECT_DOUBLE_EQ(r.points[1].Position.Y, -33.5 * kDegToRad);
  EXPECT_DOUBLE_EQ(r.points[1].LegXTE * kRadToNM, 2.5);
  EXPECT_EQ(r.points[1].Name, full);  // length byte 255 held to 40
}

TEST(RouteFilesOld, PositionRecordsKeepEveryRecord) {
  const std::string bytes = SwpRecord(3570500, 1084250, 4, "Home", 9, "Jetty \xE5\x31\x32") +
                            SwpRecord(0, 0, 0, "", 0, "") +
                            SwpRecord(-60000, -60000, 255, std::string(40, 'X'), 255, std::string(100, 'c'));
  const TRouteReadResult r = ReadOldPositions(bytes);
  ASSERT_EQ(r.status, TRouteReadStatus::Ok) << r.error;
  EXPECT_EQ(Names(r.points), (std::vector<std::string>{"Home", "", std::string(40, 'X')}));
  EXPECT_EQ(r.points[0].Comment, "Jetty å12");
  EXPECT_EQ(r.points[2].Comment, std::string(100, 'c'));
  EXPECT_DOUBLE_EQ(r.points[2].Position.Y, -kDegToRad);
  EXPECT_EQ(r.points[0].LegSpeed, 0);
  EXPECT_EQ(r.points[0].LegXTE, 0);
}

TEST(RouteFilesOld, BytesOfOtherFormatsAreRefused) {
  const std::string rte = RteRecord(3570500, 1084250, 6.5, 5, 4, "Home");
  const std::string swp = SwpRecord(3570500, 1084250, 4, "Home", 0, "");
  const std::string srw = EncodeSrw({Point("A", 1, 1)}, 0);  // 109 bytes
  const std::string text(63 * 4, 'D');                       // a whole number of records of text
  EXPECT_EQ(ReadOldRoute(rte + rte.substr(0, 10)).status, TRouteReadStatus::NotThisKind);
  EXPECT_EQ(ReadOldRoute(text).status, TRouteReadStatus::NotThisKind);
  EXPECT_EQ(ReadOldRoute(RteRecord(5400001, 0, 1, 0, 1, "x")).status, TRouteReadStatus::NotThisKind);
  EXPECT_EQ(ReadOldRoute(RteRecord(0, -10800001, 1, 0, 1, "x")).status, TRouteReadStatus::NotThisKind);
  EXPECT_EQ(ReadOldRoute(srw + srw.substr(0, 17)).status, TRouteReadStatus::NotThisKind);  // 126 bytes, the magic
  EXPECT_EQ(ReadOldPositions(std::string(164, 'D')).status, TRouteReadStatus::NotThisKind);
  EXPECT_EQ(ReadOldPositions(swp.substr(0, 163)).status, TRouteReadStatus::NotThisKind);
  EXPECT_EQ(ReadOldRoute("").status, TRouteReadStatus::Ok);
}

TEST(RouteFilesOld, TrackRecordsAsPoints) {
  auto record = [](int32_t lat, int32_t lon, double speed) {
    TBytes r;
    r.i32(lat).i32(lon).zeros(6).raw(Real48(speed)).zeros(10);
    return r.b;
  };
  const double xte = 0.1 / kRadToNM;
  const std::string bytes = record(3570500, 1084250, 5.5) + record(3570600, 1084250, 0);
  TRouteReadResult r = ReadTrackAsPoints(bytes, xte);
  ASSERT_EQ(r.status, TRouteReadStatus::Ok);
  ASSERT_EQ(r.points.size(), 2u);
  EXPECT_EQ(r.points[0].LegSpeed, 5.5);
  EXPECT_EQ(r.points[1].LegSpeed, 0.1);
  EXPECT_EQ(r.points[1].LegXTE, xte);
  EXPECT_EQ(r.points[1].Name, "");
  EXPECT_DOUBLE_EQ(r.points[1].Position.Y, 3570600 / 60000.0 * kDegToRad);
  r = ReadTrackAsPoints(bytes + "abc", xte);
  EXPECT_EQ(r.status, TRouteReadStatus::Damaged);
  EXPECT_EQ(r.points.size(), 2u);
  EXPECT_EQ(ReadTrackAsPoints(record(99999999, 0, 1), xte).status, TRouteReadStatus::NotThisKind);
}

// ---------------------------------------------------------------------------
// Comma text

TRouteTextOptions Options(int mode, bool answer = false, int* asked = nullptr) {
  TRouteTextOptions o;
  o.DefaultSpeed = 7;
  o.DefaultXTE = 0.2 / kRadToNM;
  o.DeviceNameMode = mode;
  o.ConfirmOtherDatum = [answer, asked] {
    if (asked) ++*asked;
    return answer;
  };
  return o;
}

TEST(RouteFilesText, WriterLayout) {
  const TRoutePoints points = SampleRoute();
  EXPECT_EQ(EncodeWpText(points, 1, "my route, old", Options(0)),
            "Datum,WGS84,WGS84,0,0,0,0,0\r\n"
            "RN,1,my-route--old\r\n"
            "RP,D,ASA,59.50833,18.07083,01/01/2002,01:01:01,JETTY--BERTH-4\r\n"
            "RP,D,SEA-POINT,-33.50000,-70.25000,01/01/2002,01:01:01,\r\n"
            "RP,D,R1003,0.25000,179.50000,01/01/2002,01:01:01,O-CAFE\r\n");
  EXPECT_EQ(EncodeWpText(points, -1, "ignored", Options(2)),
            "Datum,WGS84,WGS84,0,0,0,0,0\r\n"
            "WP,D,\xC5sa,59.50833,18.07083,01/01/2002,01:01:01,Jetty||berth 4\r\n"
            "WP,D,Sea Point,-33.50000,-70.25000,01/01/2002,01:01:01,\r\n"
            "WP,D,WP003,0.25000,179.50000,01/01/2002,01:01:01,\xD6 caf\xE9\r\n");
  // Numeric mode: the names are the point numbers. Longitudes are brought
  // into range, names and comments cut to 40 characters, a line break not
  // cut in half.
  TRoutePoints odd = {Point("Far", 10, 190, std::string(39, 'c') + "\r\nd")};
  EXPECT_EQ(EncodeWpText(odd, 2, "r", Options(3)),
            "Datum,WGS84,WGS84,0,0,0,0,0\r\nRN,2,r\r\nRP,D,1,10.00000,-170.00000,01/01/2002,01:01:01," +
                std::string(39, 'C') + "-\r\n");
  EXPECT_EQ(EncodeWpText(odd, 2, "r", Options(2)),
            "Datum,WGS84,WGS84,0,0,0,0,0\r\nRN,2,r\r\nRP,D,Far,10.00000,-170.00000,01/01/2002,01:01:01," +
                std::string(39, 'c') + "\r\n");
}

TEST(RouteFilesText, RoundTripInTheAsIsMode) {
  const TRoutePoints points = SampleRoute();
  for (int route : {4, -1}) {
    const TRouteReadResult r = ReadWpText(EncodeWpText(points, route, "x", Options(2)), route >= 0, Options(2));
    ASSERT_EQ(r.status, TRouteReadStatus::Ok) << r.error;
    EXPECT_EQ(Names(r.points), (std::vector<std::string>{"Åsa", "Sea Point", route >= 0 ? "R4003" : "WP003"}));
    EXPECT_EQ(r.points[0].Comment, "Jetty\r\nberth 4");
    EXPECT_EQ(r.points[2].Comment, "Ö café");
    EXPECT_EQ(r.points[1].LegSpeed, 7);
    EXPECT_DOUBLE_EQ(r.points[1].LegXTE * kRadToNM, 0.2);
    ExpectNear(r.points, points, 0.5e-5 * kDegToRad, "comma text");
  }
}

TEST(RouteFilesText, ReaderEdgeCases) {
  const std::string head = "Datum,WGS84,WGS84,0,0,0,0,0\n";
  const std::string rp = "RP,D,A,59.5,18.0,01/01/2002,01:01:01,c\n";
  struct Case {
    const char* what;
    std::string text;
    TRouteReadStatus status;
    std::vector<std::string> names;
  } cases[] = {
      {"LF lines", head + "RN,1,x\n" + rp + "RP,D,B,59.6,18.1,d,t\n", TRouteReadStatus::Ok, {"A", "B"}},
      {"CRLF lines", "Datum,WGS84\r\nRN,1,x\r\nRP,D,A,1,2,d,t\r\n", TRouteReadStatus::Ok, {"A"}},
      {"no RN line", head + rp, TRouteReadStatus::Ok, {"A"}},
      {"six items end the import", head + rp + "RP,D,B,59.6,18.1,d\n" + rp, TRouteReadStatus::Ok, {"A"}},
      {"another tag ends it", head + rp + "WP,D,B,59.6,18.1,d,t\n" + rp, TRouteReadStatus::Ok, {"A"}},
      {"a bad number ends it", head + rp + "RP,D,B,59.6x,18.1,d,t\n" + rp, TRouteReadStatus::Ok, {"A"}},
      {"a latitude beyond 90 ends it", head + rp + "RP,D,B,90.5,18.1,d,t\n", TRouteReadStatus::Ok, {"A"}},
      {"a blank line ends it", head + rp + "\n" + rp, TRouteReadStatus::Ok, {"A"}},
      {"a long line ends it", head + rp + "RP,D," + std::string(5000, 'n') + ",1,2,d,t\n", TRouteReadStatus::Ok, {"A"}},
      {"long names are kept",
       head + "RoutePoint,D," + std::string(100, 'n') + ",1,2,d,t\n",
       TRouteReadStatus::Ok,
       {std::string(100, 'n')}},
      {"blanks and quotes",
       head + "RoutePoint,D, Sea Point ,1,2,d,t\n\"RP\",D,\"B,\"\"C\"\"\",1,2,d,t\n",
       TRouteReadStatus::Ok,
       {"Sea Point", "B,\"C\""}},
      {"Waypoint lines in a route", head + "Waypoint,D,W,1,2,d,t\n", TRouteReadStatus::Ok, {"W"}},
      {"no point line", head + "RN,1,x\n", TRouteReadStatus::NoPoints, {}},
      {"a first point line with a bad number", head + "RP,D,A,x,2,d,t\n", TRouteReadStatus::NoPoints, {}},
      {"no Datum line", rp, TRouteReadStatus::NotThisKind, {}},
      {"empty", "", TRouteReadStatus::NotThisKind, {}},
  };
  for (const Case& c : cases) {
    int asked = 0;
    const TRouteReadResult r = ReadWpText(c.text, true, Options(0, false, &asked));
    EXPECT_EQ(r.status, c.status) << c.what << ": " << r.error;
    EXPECT_EQ(Names(r.points), c.names) << c.what;
    EXPECT_EQ(asked, 0) << c.what;
  }
}

TEST(RouteFilesText, FormatsCommentsAndTheDatumQuestion) {
  // Packed degrees and minutes, "||" as a line break, a comment with an
  // unquoted comma, a UTF-8 file with its byte-order mark.
  TRouteReadResult r = ReadWpText(
      "\xEF\xBB\xBF"
      "Datum,WGS84\nWP,DM,Ås,59.305,-18.0415,d,t,a||b,c\nWP,DMS,B,59.303,18.0415,d,t\n",
      false, Options(0));
  ASSERT_EQ(r.status, TRouteReadStatus::Ok) << r.error;
  EXPECT_EQ(r.points[0].Name, "Ås");
  EXPECT_EQ(r.points[0].Comment, "a\r\nb,c");
  EXPECT_NEAR(r.points[0].Position.Y, (59 * 60 + 30.5) * kMinute, 1e-12);
  EXPECT_NEAR(r.points[0].Position.X, -(18 * 60 + 4.15) * kMinute, 1e-12);
  EXPECT_NEAR(r.points[1].Position.Y, (59 * 60 + 30.5) * kMinute, 1e-12);

  const std::string otherDatum = "Datum,European 1950,x\nWP,D,A,1,2,d,t\n";
  int asked = 0;
  r = ReadWpText(otherDatum, false, Options(0, false, &asked));
  EXPECT_EQ(r.status, TRouteReadStatus::Declined);
  EXPECT_TRUE(r.points.empty());
  EXPECT_EQ(asked, 1);
  r = ReadWpText(otherDatum, false, Options(0, true, &asked));
  EXPECT_EQ(r.status, TRouteReadStatus::Ok);
  EXPECT_EQ(asked, 2);
  TRouteTextOptions noQuestion = Options(0);
  noQuestion.ConfirmOtherDatum = nullptr;  // no function: No
  EXPECT_EQ(ReadWpText(otherDatum, false, noQuestion).status, TRouteReadStatus::Declined);
  // A route file read as positions has no WP lines.
  EXPECT_EQ(ReadWpText("Datum,WGS84\nRN,1,x\nRP,D,A,1,2,d,t\n", false, Options(0)).status, TRouteReadStatus::NoPoints);
}

// ---------------------------------------------------------------------------
// G7T

TEST(RouteFilesG7t, WriterLayout) {
  const TRoutePoints points = SampleRoute();
  const std::string w =
      "W  \xC5sa             N59 30.5000 E018 04.2500 Wed Jan 01 00:01:00 2003 Jetty||berth 4\r\n"
      "W  Sea Point       S33 30.0000 W070 15.0000 Wed Jan 01 00:01:00 2003 \r\n"
      "W  R3003           N00 15.0000 E179 30.0000 Wed Jan 01 00:01:00 2003 \xD6 caf\xE9\r\n";
  EXPECT_EQ(EncodeG7t(points, 3, "Harbour run", Options(2)),
            "Version 2:G7T\r\nD WGS-84\r\nM DMM\r\n\r\n" + w + "\r\nR  03 Harbour run\r\n" + w + "E  03\r\n");
  // Positions: no route section; names cut to 15 characters; minutes that
  // round up to 60 carry into the degrees.
  TRoutePoints more = {Point("A very long name indeed", 59.99999999, -0.000000001)};
  EXPECT_EQ(EncodeG7t(more, -1, "", Options(0)),
            "Version 2:G7T\r\nD WGS-84\r\nM DMM\r\n\r\n"
            "W  A-VERY-LONG-NAM N60 00.0000 E000 00.0000 Wed Jan 01 00:01:00 2003 \r\n");
}

TEST(RouteFilesG7t, RoundTrip) {
  const TRoutePoints points = SampleRoute();
  const std::string file = EncodeG7t(points, 12, "Run", Options(2));
  EXPECT_EQ(ListG7tRoutes(file), std::vector<std::string>{"12 Run"});
  for (int route : {12, -1}) {
    const TRouteReadResult r = ReadG7t(file, route, Options(2));
    ASSERT_EQ(r.status, TRouteReadStatus::Ok) << r.error;
    EXPECT_EQ(Names(r.points), (std::vector<std::string>{"Åsa", "Sea Point", "R12003"}));
    EXPECT_EQ(r.points[0].Comment, "Jetty\r\nberth 4");
    EXPECT_EQ(r.points[2].Comment, "Ö café");
    EXPECT_EQ(r.points[0].LegSpeed, 7);
    ExpectNear(r.points, points, 0.5e-4 * kMinute, "G7T");
    // 04.25' is written and read as such, not as 04.2499'.
    EXPECT_DOUBLE_EQ(r.points[0].Position.X, (18 + 4.25 / 60) * kDegToRad);
  }
}

TEST(RouteFilesG7t, ReaderEdgeCases) {
  const std::string head = "Version 2:G7T\nD WGS-84\nM DMM\n\n";
  const std::string home = "W  HOME            N59 30.5000 E018 04.2500 Wed Jan 01 00:01:00 2003 a comment\n";
  struct Case {
    const char* what;
    std::string text;
    int route;
    TRouteReadStatus status;
    std::vector<std::string> names;
  } cases[] = {
      {"c and # lines between points",
       head + home + "c  a continuation\n# remark\n" + "W  B               S01 00.0000 W002 00.0000 x\n",
       -1,
       TRouteReadStatus::Ok,
       {"HOME", "B"}},
      {"CRLF lines",
       "Version 2:G7T\r\nD WGS-84\r\nM DMM\r\n\r\n" + home.substr(0, home.size() - 1) + "\r\n",
       -1,
       TRouteReadStatus::Ok,
       {"HOME"}},
      {"a blank line ends the points", head + home + "\n" + home, -1, TRouteReadStatus::Ok, {"HOME"}},
      {"short line first", head + "W  X\n" + home, -1, TRouteReadStatus::NoPoints, {}},
      {"short line later", head + home + "W  HOME            N59 30.5", -1, TRouteReadStatus::Damaged, {"HOME"}},
      {"no hemisphere", head + "W  HOME            X59 30.5000 E018 04.2500\n", -1, TRouteReadStatus::NoPoints, {}},
      {"minutes of 60",
       head + home + "W  B               N59 60.0000 E018 04.2500\n",
       -1,
       TRouteReadStatus::Damaged,
       {"HOME"}},
      {"route 7 of two",
       head + home + "\nR  03 First\n" + home +
           "E  03\nR  07 Second\nW  SEVEN           N01 00.0000 E001 00.0000\nE  07\n",
       7,
       TRouteReadStatus::Ok,
       {"SEVEN"}},
      {"a route that is not there", head + home + "\nR  03 First\n" + home, 4, TRouteReadStatus::NoPoints, {}},
      {"no waypoint section", head + "R  03 First\n" + home, -1, TRouteReadStatus::NoPoints, {}},
      {"DDD grid",
       "Version 2:G7T\nM DDD\nD WGS-84\nW  D               S12.5000000 W123.2500000 x\n",
       -1,
       TRouteReadStatus::Ok,
       {"D"}},
      {"DMS grid",
       "Version 2:G7T\nD WGS-84\nM DMS\nW  S               N59 30 30.00 E018 04 15.00 x\n",
       -1,
       TRouteReadStatus::Ok,
       {"S"}},
      {"UTM grid", "Version 2:G7T\nD WGS-84\nM UTM\n" + home, -1, TRouteReadStatus::NotThisKind, {}},
      {"no grid line", "Version 2:G7T\nD WGS-84\n" + home, -1, TRouteReadStatus::NotThisKind, {}},
      {"no version line", "D WGS-84\nM DMM\n" + home, -1, TRouteReadStatus::NotThisKind, {}},
      {"empty", "", -1, TRouteReadStatus::NotThisKind, {}},
  };
  for (const Case& c : cases) {
    int asked = 0;
    const TRouteReadResult r = ReadG7t(c.text, c.route, Options(0, false, &asked));
    EXPECT_EQ(r.status, c.status) << c.what << ": " << r.error;
    EXPECT_EQ(Names(r.points), c.names) << c.what;
    EXPECT_EQ(asked, 0) << c.what;
  }
}

TEST(RouteFilesG7t, HemispheresGridsAndTheDatumQuestion) {
  TRouteReadResult r = ReadG7t(
      "Version 2:G7T\nD WGS-84\nM DMM\nW  B               S01 30.0000 W002 15.0000 Wed Jan 01 00:01:00 2003 x||y\n", -1,
      Options(0));
  ASSERT_EQ(r.status, TRouteReadStatus::Ok) << r.error;
  EXPECT_DOUBLE_EQ(r.points[0].Position.Y, -1.5 * kDegToRad);
  EXPECT_DOUBLE_EQ(r.points[0].Position.X, -2.25 * kDegToRad);
  EXPECT_EQ(r.points[0].Comment, "x\r\ny");
  r = ReadG7t("Version 2:G7T\nD WGS-84\nM DDD\nW  D               S12.5000000 W123.2500000 x\n", -1, Options(0));
  EXPECT_DOUBLE_EQ(r.points[0].Position.Y, -12.5 * kDegToRad);
  EXPECT_DOUBLE_EQ(r.points[0].Position.X, -123.25 * kDegToRad);
  r = ReadG7t(
      "Version 2:G7T\nM DMS\nD WGS-84\n"
      "W  S               S59 30 30.00 W018 04 15.00 Wed Jan 01 00:01:00 2003 the comment\n",
      -1, Options(0));
  EXPECT_NEAR(r.points[0].Position.Y, -(59 + 30.5 / 60) * kDegToRad, 1e-15);
  EXPECT_NEAR(r.points[0].Position.X, -(18 + 4.25 / 60) * kDegToRad, 1e-15);
  EXPECT_EQ(r.points[0].Comment, "the comment");

  const std::string other = "Version 2:G7T\nD European 1950\nM DMM\n\nW  HOME            N59 30.5000 E018 04.2500 x\n";
  int asked = 0;
  EXPECT_EQ(ReadG7t(other, -1, Options(0, false, &asked)).status, TRouteReadStatus::Declined);
  EXPECT_EQ(ReadG7t(other, -1, Options(0, true, &asked)).status, TRouteReadStatus::Ok);
  EXPECT_EQ(asked, 2);
  EXPECT_EQ(ListG7tRoutes("Version 2:G7T\nM DMM\nR  01 " + std::string(100, 'n') + "\nR  2\nRX\n"),
            (std::vector<std::string>{"01 " + std::string(67, 'n'), "2", ""}));
  EXPECT_TRUE(ListG7tRoutes("R  01 not a G7T file\n").empty());
}

// ---------------------------------------------------------------------------
// GPX

TEST(RouteFilesGpx, RoundTripKeepsOurValues) {
  TRoutePoints points = SampleRoute();
  points[1].Name = "B & <C> \"q\"";
  points[1].Comment = "tab\tand\nLF";
  for (bool route : {true, false}) {
    const std::string doc = EncodeGpx(points, route, "Harbour & back");
    const TRouteReadResult r = ReadGpx(doc, route, Options(0));
    ASSERT_EQ(r.status, TRouteReadStatus::Ok) << r.error;
    ASSERT_EQ(r.points.size(), points.size());
    for (size_t i = 0; i < points.size(); ++i) {
      TRoutePointRec want = points[i];
      want.Position = r.points[i].Position;
      EXPECT_EQ(r.points[i], want) << i;
    }
    ExpectNear(r.points, points, 1e-14, "GPX");
    EXPECT_EQ(GpxRouteName(doc), route ? "Harbour & back" : "");
  }
  // Coordinates are the shortest decimals: no exponent, no lost digits.
  EXPECT_EQ(DegreesText(1e-8), "0.00000001");
  EXPECT_EQ(DegreesText(-179.999999999), "-179.999999999");
  const std::string doc = EncodeGpx({}, true, "");
  EXPECT_NE(doc.find("<gpx version=\"1.1\" creator=\"brismare\" xmlns=\"http://www.topografix.com/GPX/1/1\""),
            std::string::npos);
}

TEST(RouteFilesGpx, ReadsWhatOtherProgramsWrite) {
  // As gpsbabel writes from a CSV list (GPX 1.0, cmt and desc), with a
  // route after the waypoints.
  const std::string babel =
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
      "<gpx version=\"1.0\" creator=\"GPSBabel - https://www.gpsbabel.org\" "
      "xmlns=\"http://www.topografix.com/GPX/1/0\">\n"
      "  <time>2026-12-10T06:32:24.932Z</time>\n"
      "  <bounds minlat=\"-33.500000000\" minlon=\"-70.250000000\" maxlat=\"59.508333000\" maxlon=\"18.070833000\"/>\n"
      "  <wpt lat=\"59.508333000\" lon=\"18.070833000\">\n    <name>Åsa</name>\n    <cmt>a comment</cmt>\n"
      "    <desc>a comment</desc>\n  </wpt>\n"
      "  <wpt lat=\"-33.500000000\" lon=\"-70.250000000\">\n    <name>B &amp; C</name>\n    <desc>x&lt;y</desc>\n"
      "  </wpt>\n"
      "  <rte>\n    <name>The run</name>\n"
      "    <rtept lat=\"59.508333000\" lon=\"18.070833000\">\n      <name>Åsa</name>\n    </rtept>\n"
      "  </rte>\n</gpx>\n";
  TRouteReadResult r = ReadGpx(babel, false, Options(0));
  ASSERT_EQ(r.status, TRouteReadStatus::Ok) << r.error;
  EXPECT_EQ(Names(r.points), (std::vector<std::string>{"Åsa", "B & C"}));
  EXPECT_EQ(r.points[0].Comment, "a comment");
  EXPECT_EQ(r.points[1].Comment, "x<y");  // desc when there is no cmt
  EXPECT_EQ(r.points[1].LegSpeed, 7);     // the defaults without our values
  EXPECT_DOUBLE_EQ(r.points[1].LegXTE * kRadToNM, 0.2);
  EXPECT_DOUBLE_EQ(r.points[1].Position.X, -70.25 * kDegToRad);
  r = ReadGpx(babel, true, Options(0));
  ASSERT_EQ(r.status, TRouteReadStatus::Ok) << r.error;
  EXPECT_EQ(Names(r.points), std::vector<std::string>{"Åsa"});
  EXPECT_EQ(GpxRouteName(babel), "The run");

  // Prefixes, single quotes, references, CDATA, comments, a document type,
  // a Latin-1 document, extensions of other programs.
  const std::string mixed =
      "<?xml version='1.0' encoding='ISO-8859-1'?>\n<!DOCTYPE gpx [ <!ENTITY x 'y'> ]>\n<!-- made by hand -->\n"
      "<g:gpx xmlns:g='http://www.topografix.com/GPX/1/1' xmlns:o='urn:other'><g:wpt lat='1.5' lon='-2'>"
      "<g:name>a&#229;&#xE5;\xE5<![CDATA[<&>]]><?pi x?><!-- c --></g:name>"
      "<g:extensions><o:leg speedKnots='99' xteRadians='1'/></g:extensions></g:wpt></g:gpx>";
  r = ReadGpx(mixed, false, Options(0));
  ASSERT_EQ(r.status, TRouteReadStatus::Ok) << r.error;
  EXPECT_EQ(r.points[0].Name, "aååå<&>");
  EXPECT_EQ(r.points[0].LegSpeed, 7);  // not our namespace
  EXPECT_DOUBLE_EQ(r.points[0].Position.Y, 1.5 * kDegToRad);
}

TEST(RouteFilesGpx, MalformedDocumentsEndTheReading) {
  const std::string open = "<gpx xmlns='http://www.topografix.com/GPX/1/1'>";
  const std::string wpt = "<wpt lat='1' lon='2'><name>A</name></wpt>";
  std::string deep = open + wpt;
  for (int i = 0; i < 10000; ++i) deep += "<x>";
  struct Case {
    const char* what;
    std::string doc;
    TRouteReadStatus status;
    size_t points;
  } cases[] = {
      {"empty", "", TRouteReadStatus::NotThisKind, 0},
      {"not XML", "Datum,WGS84\n", TRouteReadStatus::NotThisKind, 0},
      {"another root", "<kml><wpt lat='1' lon='2'/></kml>", TRouteReadStatus::NotThisKind, 0},
      {"UTF-16", std::string("\xFF\xFE<\0g\0", 6), TRouteReadStatus::NotThisKind, 0},
      {"cut short", open + wpt + "<wpt lat='1' lon='2'><name>B", TRouteReadStatus::Damaged, 1},
      {"end tags crossed", open + wpt + "<wpt lat='1' lon='2'><name>B</wpt></name>", TRouteReadStatus::Damaged, 1},
      {"nested too deeply", deep, TRouteReadStatus::Damaged, 1},
      {"undeclared prefix", open + wpt + "<q:wpt/></gpx>", TRouteReadStatus::Damaged, 1},
      {"unknown entity", open + wpt + "<wpt lat='1' lon='2'><name>&nbsp;</name></wpt></gpx>", TRouteReadStatus::Damaged,
       1},
      {"reference to 0", open + "<wpt lat='1' lon='2'><name>&#0;</name></wpt></gpx>", TRouteReadStatus::Damaged, 0},
      {"unquoted attribute", open + "<wpt lat=1 lon='2'/></gpx>", TRouteReadStatus::Damaged, 0},
      {"attribute twice", open + "<wpt lat='1' lat='2' lon='2'/></gpx>", TRouteReadStatus::Damaged, 0},
      {"no lat", open + wpt + "<wpt lon='2'/></gpx>", TRouteReadStatus::Damaged, 1},
      {"lat beyond 90", open + "<wpt lat='91' lon='2'/></gpx>", TRouteReadStatus::Damaged, 0},
      {"text after the root", open + wpt + "</gpx>x", TRouteReadStatus::Damaged, 1},
      {"no waypoints", open + "</gpx>", TRouteReadStatus::NoPoints, 0},
  };
  for (const Case& c : cases) {
    const TRouteReadResult r = ReadGpx(c.doc, false, Options(0));
    EXPECT_EQ(r.status, c.status) << c.what << ": " << r.error;
    EXPECT_EQ(r.points.size(), c.points) << c.what;
    EXPECT_EQ(r.error.empty(), c.status == TRouteReadStatus::Ok) << c.what;
  }
  // What follows the first route does not matter to a route.
  EXPECT_EQ(ReadGpx(open + "<rte><rtept lat='1' lon='2'/></rte><rte><oops", true, Options(0)).status,
            TRouteReadStatus::Ok);
  EXPECT_EQ(ReadGpx(open + wpt + "</gpx>", true, Options(0)).status, TRouteReadStatus::NoPoints);
}

TEST(RouteFilesGpx, GpsbabelReadsWhatWeWrite) {
  if (!routetest::HaveGpsbabel())
    GTEST_SKIP() << routetest::kGpsbabel << " is not installed (apt-get install gpsbabel)";
  TRoutePoints points = SampleRoute();
  points[2].Name = "Third & last";
  TTempDir dir;
  for (bool route : {true, false}) {
    const std::string path = dir / (route ? "route.gpx" : "positions.gpx");
    WriteTestFile(path, EncodeGpx(points, route, "Run"));
    std::vector<routetest::TBabelPoint> read;
    ASSERT_TRUE(routetest::GpsbabelRead(path, "gpx", route, read)) << "gpsbabel refused " << path;
    ASSERT_EQ(read.size(), points.size());
    for (size_t i = 0; i < points.size(); ++i) {
      EXPECT_EQ(read[i].name, points[i].Name);
      EXPECT_NEAR(read[i].lat, points[i].Position.Y * kRadToDeg, 1e-6);
      EXPECT_NEAR(read[i].lon, points[i].Position.X * kRadToDeg, 1e-6);
    }
  }
}

TEST(RouteFilesG7t, GpsbabelReadsWhatWeWrite) {
  if (!routetest::HaveGpsbabel()) GTEST_SKIP() << routetest::kGpsbabel << " is not installed";
  std::string formats;
  routetest::RunCommand(std::string(routetest::kGpsbabel) + " -^3", formats);
  if (formats.find("\tg7towin\t") == std::string::npos)
    GTEST_SKIP() << "this gpsbabel has no g7towin reader (Debian's 1.8.0 has none)";
  TTempDir dir;
  const TRoutePoints points = SampleRoute();
  const std::vector<std::string> names = {"ASA", "SEA-POINT", "R1003"};  // the upper case mode
  WriteTestFile(dir / "r.g7t", EncodeG7t(points, 1, "Run", Options(0)));
  for (bool route : {true, false}) {
    std::vector<routetest::TBabelPoint> read;
    ASSERT_TRUE(routetest::GpsbabelRead(dir / "r.g7t", "g7towin", route, read));
    ASSERT_EQ(read.size(), points.size());
    for (size_t i = 0; i < points.size(); ++i) {
      EXPECT_EQ(read[i].name, names[i]);
      // A ten-thousandth of a minute, and the 6 decimals gpsbabel prints.
      EXPECT_NEAR(read[i].lat, points[i].Position.Y * kRadToDeg, 2.5e-6);
      EXPECT_NEAR(read[i].lon, points[i].Position.X * kRadToDeg, 2.5e-6);
    }
  }
}

TEST(RouteFiles, KindByExtension) {
  const std::pair<const char*, TRouteFileKind> cases[] = {
      {"/a/T_RTALD.SRW", TRouteFileKind::Srw},
      {"x.srw", TRouteFileKind::Srw},
      {"old.Rte", TRouteFileKind::OldRoute},
      {"p.SWP", TRouteFileKind::OldPositions},
      {"20240601.trc", TRouteFileKind::Track},
      {"wp.TXT", TRouteFileKind::WpText},
      {"x.g7t", TRouteFileKind::G7t},
      {"y.GpX", TRouteFileKind::Gpx},
      {"dir.gpx/file", TRouteFileKind::Unknown},
      {"noext", TRouteFileKind::Unknown},
      {"c:\\a.b\\x", TRouteFileKind::Unknown},
      {"x.gpx.bak", TRouteFileKind::Unknown},
  };
  for (const auto& [name, kind] : cases) EXPECT_EQ(RouteFileKindOf(name), kind) << name;
}

}  // namespace
