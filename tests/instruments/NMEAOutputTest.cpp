// The sentences the plotter sends and the shared data line: byte for byte
// from scripted navigation states, framing under hostile names, and read
// back by an independent parser (pynmea2).
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>
#include <map>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "NMEATestUtil.h"
#include "TestSupport.h"
#include "foundation/GenUtil.h"
#include "instruments/NMEAOutput.h"

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

// Radians of arc for nautical miles.
double Nm(double nm) { return nm / kRadToNM; }
// Radians for degrees and minutes.
double DegMin(double deg, double min) { return Rad(deg + min / 60); }

// Expected sentences from their bodies: with the checksum computed by the
// test helper, or without one (APA); "" stays "" (not sent).
std::string Sum(std::string_view body) { return body.empty() ? std::string() : Nmea(body) + "\r\n"; }
std::string NoSum(std::string_view body) { return body.empty() ? std::string() : "$" + std::string(body) + "\r\n"; }

// A leg being followed with every value known: 0.1234 nm right of the leg
// sent at 200 %, variation 5° E.
TNMEAINFO Leg() {
  TNMEAINFO n;
  n.FixStatus = kFixValid;
  n.GpsDateTime = 45000.0 + (9 * 3600 + 30 * 60 + 15) / 86400.0;  // 2023-03-15 09:30:15
  n.RouteActive = true;
  n.XTE = Nm(0.1234);
  n.XteFactor = 2.0;
  n.Variation = Rad(5);
  n.BOD = Rad(45.3);
  n.BODMag = Rad(40.3);
  n.BearingToDest = Rad(47.26);
  n.BearingToDestMag = Rad(42.26);
  n.SteerHeading = Rad(44);
  n.SteerHeadingMag = Rad(39);
  n.RangeToDest = Nm(1.25);
  n.VMGToDest = 5.8;
  n.DestPos = {DegMin(18, 4.25), DegMin(59, 30.5)};
  n.OriginId = "01-Alfa Bay";
  n.DestId = "02-Bravo Isl";
  n.DestName = "Bravo Isl";
  return n;
}

// Every name mode, and one outside them.
constexpr int kAllModes[] = {dnUpperCase, dnLowerCase, dnAsIs, dnNumeric, dnNexus, 7};

TNmeaOutputSettings Settings(int mode, std::string talker = "EC") {
  TNmeaOutputSettings s;
  s.Talker = std::move(talker);
  s.NameMode = mode;
  return s;
}

// ---------------------------------------------------------------------------
// Steering sentences

struct TSteerCase {
  const char* what;
  int mode;
  void (*change)(TNMEAINFO&);
  const char* apa;  // bodies; "" when the sentence is not sent
  const char* apb;
  const char* rmb;
  const char* bod;
  const char* bwc;
  const char* rte;
};

// RMB with both names of the leg would pass 82 characters: their ends are
// cut (the other sentences carry them whole).
const TSteerCase kSteerCases[] = {
    {"every value known, names as they are", dnAsIs, [](TNMEAINFO&) {},
     "ECAPA,A,A,0.25,L,N,V,V,040,M,02-Bravo Isl",
     "ECAPB,A,A,0.247,L,N,V,V,40.3,M,02-Bravo Isl,42.3,M,39.0,M",
     "ECRMB,A,0.247,L,01-Alfa Ba,02-Bravo I,5930.500,N,01804.250,E,1.25,47.3,5.8,V",
     "ECBOD,45.3,T,40.3,M,02-Bravo-Isl,01-Alfa-Bay",
     "ECBWC,093015,5930.500,N,01804.250,E,47.3,T,42.3,M,1.25,N,02-Bravo Isl",
     "ECRTE,1,1,w,BRISMARE,01-Alfa-Bay,02-Bravo-Isl"},
    // Cleaned (APA, APB, RMB), dashed (BOD, RTE) and unchanged (BWC) forms.
    {"upper-case mode", dnUpperCase, [](TNMEAINFO&) {},
     "ECAPA,A,A,0.25,L,N,V,V,040,M,02-BRAVO-ISL",
     "ECAPB,A,A,0.247,L,N,V,V,40.3,M,02-BRAVO-ISL,42.3,M,39.0,M",
     "ECRMB,A,0.247,L,01-ALFA-BA,02-BRAVO-I,5930.500,N,01804.250,E,1.25,47.3,5.8,V",
     "ECBOD,45.3,T,40.3,M,02-Bravo-Isl,01-Alfa-Bay",
     "ECBWC,093015,5930.500,N,01804.250,E,47.3,T,42.3,M,1.25,N,02-Bravo Isl",
     "ECRTE,1,1,w,BRISMARE,01-Alfa-Bay,02-Bravo-Isl"},
    {"Route Id Keep, left of the leg, southern and eastern destination", dnAsIs,
     [](TNMEAINFO& n) {
       n.RouteIdKeep = true;
       n.XTE = Nm(-0.0504);
       n.XteFactor = 1.0;
       n.DestPos = {DegMin(151, 12.5), -DegMin(33, 51.123)};
     },
     "ECAPA,A,A,0.05,R,N,V,V,040,M,2",
     "ECAPB,A,A,0.050,R,N,V,V,40.3,M,2,42.3,M,39.0,M",
     "ECRMB,A,0.050,R,1,2,3351.123,S,15112.500,E,1.25,47.3,5.8,V",
     "ECBOD,45.3,T,40.3,M,2,1",
     "ECBWC,093015,3351.123,S,15112.500,E,47.3,T,42.3,M,1.25,N,2",
     "ECRTE,1,1,w,BRISMARE,1,2"},
    // 359.96° rounds to 360: "0.0", and "000" in APA; 59°59.9996' carries
    // into the degrees.
    {"values that round up to the next unit", dnAsIs,
     [](TNMEAINFO& n) {
       n.Variation = 0;
       n.BOD = n.BODMag = n.BearingToDest = n.BearingToDestMag = n.SteerHeading = n.SteerHeadingMag = Rad(359.96);
       n.XTE = 0;
       n.DestPos = {-DegMin(10, 59.9996), DegMin(59, 59.9996)};
       n.GpsDateTime = 45000.0 + (23 * 3600 + 59 * 60 + 59) / 86400.0;
     },
     "ECAPA,A,A,0.00,R,N,V,V,000,M,02-Bravo Isl",
     "ECAPB,A,A,0.000,R,N,V,V,0.0,M,02-Bravo Isl,0.0,M,0.0,M",
     "ECRMB,A,0.000,R,01-Alfa Ba,02-Bravo Is,6000.000,N,01100.000,W,1.25,0.0,5.8,V",
     "ECBOD,0.0,T,0.0,M,02-Bravo-Isl,01-Alfa-Bay",
     "ECBWC,235959,6000.000,N,01100.000,W,0.0,T,0.0,M,1.25,N,02-Bravo Isl",
     "ECRTE,1,1,w,BRISMARE,01-Alfa-Bay,02-Bravo-Isl"},
    // Route guidance then makes the "magnetic" values the true ones.
    {"no variation known: true bearings, never labelled M", dnAsIs,
     [](TNMEAINFO& n) {
       n.Variation = NoDataValue;
       n.BODMag = n.BOD;
       n.BearingToDestMag = n.BearingToDest;
       n.SteerHeadingMag = n.SteerHeading;
     },
     "ECAPA,A,A,0.25,L,N,V,V,045,T,02-Bravo Isl",
     "ECAPB,A,A,0.247,L,N,V,V,45.3,T,02-Bravo Isl,47.3,T,44.0,T",
     "ECRMB,A,0.247,L,01-Alfa Ba,02-Bravo I,5930.500,N,01804.250,E,1.25,47.3,5.8,V",
     "ECBOD,45.3,T,,M,02-Bravo-Isl,01-Alfa-Bay",
     "ECBWC,093015,5930.500,N,01804.250,E,47.3,T,,M,1.25,N,02-Bravo Isl",
     "ECRTE,1,1,w,BRISMARE,01-Alfa-Bay,02-Bravo-Isl"},
    {"GPS lost (dead reckoning)", dnAsIs, [](TNMEAINFO& n) { n.FixStatus = kFixInvalid; },
     "ECAPA,V,A,0.25,L,N,V,V,040,M,02-Bravo Isl",
     "ECAPB,V,A,0.247,L,N,V,V,40.3,M,02-Bravo Isl,42.3,M,39.0,M",
     "ECRMB,V,0.247,L,01-Alfa Ba,02-Bravo I,5930.500,N,01804.250,E,1.25,47.3,5.8,V",
     "ECBOD,45.3,T,40.3,M,02-Bravo-Isl,01-Alfa-Bay",
     "ECBWC,093015,5930.500,N,01804.250,E,47.3,T,42.3,M,1.25,N,02-Bravo Isl",
     "ECRTE,1,1,w,BRISMARE,01-Alfa-Bay,02-Bravo-Isl"},
    {"no route active: arrived, and no active leg", dnAsIs, [](TNMEAINFO& n) { n.RouteActive = false; },
     "ECAPA,A,A,0.25,L,N,A,A,040,M,02-Bravo Isl",
     "ECAPB,A,A,0.247,L,N,A,A,40.3,M,02-Bravo Isl,42.3,M,39.0,M",
     "ECRMB,A,0.247,L,01-Alfa Ba,02-Bravo I,5930.500,N,01804.250,E,1.25,47.3,5.8,A",
     "ECBOD,45.3,T,40.3,M,02-Bravo-Isl,01-Alfa-Bay",
     "ECBWC,093015,5930.500,N,01804.250,E,47.3,T,42.3,M,1.25,N,02-Bravo Isl", ""},
    {"optional values unknown: empty fields", dnAsIs,
     [](TNMEAINFO& n) {
       n.VMGToDest = NoDataValue;
       n.SteerHeadingMag = kNaN;
     },
     "ECAPA,A,A,0.25,L,N,V,V,040,M,02-Bravo Isl",
     "ECAPB,A,A,0.247,L,N,V,V,40.3,M,02-Bravo Isl,42.3,M,,M",
     "ECRMB,A,0.247,L,01-Alfa Bay,02-Bravo Isl,5930.500,N,01804.250,E,1.25,47.3,,V",
     "ECBOD,45.3,T,40.3,M,02-Bravo-Isl,01-Alfa-Bay",
     "ECBWC,093015,5930.500,N,01804.250,E,47.3,T,42.3,M,1.25,N,02-Bravo Isl",
     "ECRTE,1,1,w,BRISMARE,01-Alfa-Bay,02-Bravo-Isl"},
};

TEST(NMEAOutput, SteeringSentencesByteForByte) {
  for (const TSteerCase& c : kSteerCases) {
    SCOPED_TRACE(c.what);
    TNMEAINFO n = Leg();
    c.change(n);
    const TNmeaOutputSettings s = Settings(c.mode);
    EXPECT_EQ(MakeAPA(n, s), NoSum(c.apa));
    EXPECT_EQ(MakeAPB(n, s), Sum(c.apb));
    EXPECT_EQ(MakeRMB(n, s), Sum(c.rmb));
    EXPECT_EQ(MakeBOD(n, s), Sum(c.bod));
    EXPECT_EQ(MakeBWC(n, s), Sum(c.bwc));
    EXPECT_EQ(MakeRTEActive(n, s), Sum(c.rte));
  }
}

TEST(NMEAOutput, ChecksumAndTalker) {
  // The checksum written out, not recomputed: XOR of "ECBOD,...".
  EXPECT_EQ(MakeBOD(Leg(), Settings(dnAsIs)), "$ECBOD,45.3,T,40.3,M,02-Bravo-Isl,01-Alfa-Bay*3E\r\n");
  EXPECT_EQ(FrameSentence("GPXTE,A,A,0.67,L,N"), "$GPXTE,A,A,0.67,L,N*6F\r\n");
  EXPECT_EQ(FrameSentence("GPXTE", false), "$GPXTE\r\n");

  // Only two ASCII letters or digits make a talker (the first two of a
  // longer "Unit Id", as the settings take it).
  for (auto [given, sent] : {std::pair{"GP", "GP"}, {"i1", "i1"}, {"G$", "EC"}, {"G", "EC"}, {"GPS", "GP"}, {"E-", "EC"},
                             {"", "EC"}, {"G,", "EC"}, {"\xC3\x85X", "EC"}})
    EXPECT_EQ(MakeBOD(Leg(), Settings(dnAsIs, given)).substr(0, 6), std::string("$") + sent + "BOD") << given;
}

// Which sentences a value that is unknown, not finite or beyond any real
// value keeps from being sent (made-up numbers are never sent).
TEST(NMEAOutput, UnknownRequiredValueSkipsTheSentence) {
  struct TCase {
    const char* what;
    void (*change)(TNMEAINFO&);
    std::string skipped;
  } cases[] = {
      {"XTE unknown", [](TNMEAINFO& n) { n.XTE = NoDataValue; }, "APA APB RMB"},
      {"XTE NaN", [](TNMEAINFO& n) { n.XTE = kNaN; }, "APA APB RMB"},
      {"XTE huge", [](TNMEAINFO& n) { n.XTE = 1e300; }, "APA APB RMB"},
      {"XteFactor infinite", [](TNMEAINFO& n) { n.XteFactor = kInf; }, "APA APB RMB"},
      {"BODMag unknown", [](TNMEAINFO& n) { n.BODMag = NoDataValue; }, "APA APB"},
      {"BOD infinite", [](TNMEAINFO& n) { n.BOD = kInf; }, "BOD"},
      {"BOD unknown, no variation",
       [](TNMEAINFO& n) {
         n.Variation = NoDataValue;
         n.BOD = NoDataValue;
       },
       "APA APB BOD"},
      {"BearingToDest unknown", [](TNMEAINFO& n) { n.BearingToDest = NoDataValue; }, "RMB BWC"},
      {"BearingToDestMag unknown", [](TNMEAINFO& n) { n.BearingToDestMag = NoDataValue; }, "APB"},
      {"RangeToDest unknown", [](TNMEAINFO& n) { n.RangeToDest = NoDataValue; }, "RMB BWC"},
      {"RangeToDest negative", [](TNMEAINFO& n) { n.RangeToDest = -Nm(1); }, "RMB BWC"},
      {"DestPos NaN", [](TNMEAINFO& n) { n.DestPos.X = kNaN; }, "RMB BWC"},
      {"DestPos beyond the pole", [](TNMEAINFO& n) { n.DestPos.Y = Rad(90.5); }, "RMB BWC"},
      {"GPS time never set", [](TNMEAINFO& n) { n.GpsDateTime = 0; }, "BWC"},
      {"GPS time NaN", [](TNMEAINFO& n) { n.GpsDateTime = kNaN; }, "BWC"},
      {"no route active", [](TNMEAINFO& n) { n.RouteActive = false; }, "RTE"},
  };
  const TNmeaOutputSettings s = Settings(dnAsIs);
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.what);
    TNMEAINFO n = Leg();
    c.change(n);
    const std::pair<const char*, std::string> built[] = {{"APA", MakeAPA(n, s)}, {"APB", MakeAPB(n, s)},
                                                         {"RMB", MakeRMB(n, s)}, {"BOD", MakeBOD(n, s)},
                                                         {"BWC", MakeBWC(n, s)}, {"RTE", MakeRTEActive(n, s)}};
    for (const auto& [id, sentence] : built)
      EXPECT_EQ(sentence.empty(), c.skipped.find(id) != std::string::npos) << id << ": " << sentence;
  }
}

TEST(NMEAOutput, SteeringCycleOrder) {
  const TNmeaOutputSettings s = Settings(dnAsIs);
  const TNMEAINFO n = Leg();
  const std::string apa = MakeAPA(n, s), apb = MakeAPB(n, s), rmb = MakeRMB(n, s), bod = MakeBOD(n, s),
                    bwc = MakeBWC(n, s), rte = MakeRTEActive(n, s);
  using V = std::vector<std::string>;
  EXPECT_EQ(SteeringSentences(n, 33, s), (V{apa, rte}));
  EXPECT_EQ(SteeringSentences(n, 32, s), V{});
  EXPECT_EQ(SteeringSentences(n, 1, s), V{apa});
  EXPECT_EQ(SteeringSentences(n, 6, s), (V{apb, rmb}));
  EXPECT_EQ(SteeringSentences(n, 63, s), (V{apa, apb, rmb, bod, bwc, rte}));
  // A sentence that cannot be built is left out; the others still go.
  TNMEAINFO lost = n;
  lost.XTE = NoDataValue;
  EXPECT_EQ(SteeringSentences(lost, 63, s), (V{bod, bwc, rte}));
}

// ---------------------------------------------------------------------------
// Names and framing

// The sentence is one framed line with a correct checksum (unless APA)
// and `commas` field separators; no name smuggled a framing character in.
// Every sentence keeps to 82 characters.
enum TKind { kSteering, kSteeringNoChecksum, kUpload };
void ExpectFramed(const std::string& s, size_t commas, int mode, TKind kind = kUpload) {
  SCOPED_TRACE(s);
  ASSERT_GE(s.size(), 8u);
  EXPECT_LE(s.size(), kMaxNmeaSentence);
  const bool checksum = kind != kSteeringNoChecksum;
  EXPECT_EQ(s.front(), '$');
  EXPECT_EQ(s.substr(s.size() - 2), "\r\n");
  const std::string body = s.substr(1, s.size() - (checksum ? 6 : 3));
  if (checksum) {
    EXPECT_EQ(Nmea(body) + "\r\n", s);
  }
  EXPECT_EQ(static_cast<size_t>(std::count(body.begin(), body.end(), ',')), commas);
  for (char c : body) {
    const auto u = static_cast<unsigned char>(c);
    EXPECT_FALSE(u < 0x20 || u == 0x7F || c == '$' || c == '*' || c == '!' || c == '~') << int(u);
    if (mode != dnNexus) {
      EXPECT_FALSE(c == '\\' || c == '^');
    }
  }
}

// The comma-separated fields of a line.
std::vector<std::string> Fields(const std::string& line) {
  std::vector<std::string> f;
  size_t start = 0;
  for (size_t at; (at = line.find(',', start)) != std::string::npos; start = at + 1) f.push_back(line.substr(start, at - start));
  f.push_back(line.substr(start));
  return f;
}

TEST(NMEAOutput, FieldNamesKeepTheFraming) {
  const std::string nasty = "A*B$C,D\\E^F~G!H\r\nI\x01J\x7FK";
  struct TCase {
    int mode;
    std::string expected;
  } cases[] = {
      {dnUpperCase, "A-B-C-D-E-F-G-H--I-J-K"},
      {dnLowerCase, "A-B-C-D-E-F-G-H--I-J-K"},
      {dnAsIs, "A-B-C D-E-F-G-H||I-J-K"},  // the name cleaning makes "," a blank, CR LF "|"
      {dnNumeric, "A-B-C-D-E-F-G-H--I-J-K"},
      {dnNexus, "A-B-C-D\\E^F-G-H--I-J-K"},  // "\" and "^" are Nexus letters
      {7, "A-B-C-D-E-F-G-H--I-J-K"},
  };
  for (const TCase& c : cases) EXPECT_EQ(NmeaFieldName(nasty, c.mode), c.expected) << c.mode;

  // Bytes for the instrument: Windows-1252, never UTF-8.
  EXPECT_EQ(NmeaFieldName("Åsa €5", dnAsIs), "\xC5sa \x80" "5");
  EXPECT_EQ(NmeaFieldName("Åsa ÄÖ", dnNexus), "[SA-\\]");
  EXPECT_EQ(NmeaFieldName("Åsa", dnUpperCase), "ASA");

  // The unchanged and dashed forms in the steering sentences are made safe
  // too, in every mode.
  for (int mode : kAllModes) {
    SCOPED_TRACE(mode);
    TNMEAINFO n = Leg();
    n.OriginId = n.DestId = nasty;
    const TNmeaOutputSettings s = Settings(mode);
    ExpectFramed(MakeAPA(n, s), 10, mode, kSteeringNoChecksum);
    ExpectFramed(MakeAPB(n, s), 14, mode, kSteering);
    ExpectFramed(MakeRMB(n, s), 13, mode, kSteering);
    ExpectFramed(MakeBOD(n, s), 6, mode, kSteering);
    ExpectFramed(MakeBWC(n, s), 12, mode, kSteering);
    ExpectFramed(MakeRTEActive(n, s), 6, mode, kSteering);
  }
}

TEST(NMEAOutput, LongWaypointNamesAreCutToKeepSteeringSentencesWithin82Characters) {
  TNMEAINFO n = Leg();
  n.OriginId = "Sandhamn Harbour North Entrance Buoy";
  n.DestId = "Lidingo Bridge Southern Approach Light";
  const TNmeaOutputSettings s = Settings(dnAsIs);
  const std::string apa = MakeAPA(n, s), apb = MakeAPB(n, s), rmb = MakeRMB(n, s), bod = MakeBOD(n, s),
                    bwc = MakeBWC(n, s), rte = MakeRTEActive(n, s);
  for (const auto& [sentence, commas, kind] : {std::tuple{apa, 10, kSteeringNoChecksum}, std::tuple{apb, 14, kSteering},
                                               std::tuple{rmb, 13, kSteering}, std::tuple{bod, 6, kSteering},
                                               std::tuple{bwc, 12, kSteering}, std::tuple{rte, 6, kSteering}})
    ExpectFramed(sentence, static_cast<size_t>(commas), dnAsIs, kind);
  // Both names of RMB lose their ends, the longer one first, and fill the
  // sentence to its last character.
  EXPECT_EQ(rmb.size(), kMaxNmeaSentence);
  const std::vector<std::string> f = Fields(rmb);
  ASSERT_GE(f.size(), 6u);
  EXPECT_EQ(n.OriginId.rfind(f[4], 0), 0u) << f[4];
  EXPECT_EQ(n.DestId.rfind(f[5], 0), 0u) << f[5];
  EXPECT_LE(std::max(f[4].size(), f[5].size()) - std::min(f[4].size(), f[5].size()), 1u);
  // Short names stay whole.
  n.OriginId = "A";
  n.DestId = "B";
  EXPECT_EQ(Fields(MakeRMB(n, s))[5], "B");
}

TEST(NMEAOutput, Coordinates) {
  struct TCase {
    double lat, lon;
    const char* latText;
    const char* lonText;
  } cases[] = {
      {DegMin(59, 30.5), DegMin(18, 4.25), "5930.500,N", "01804.250,E"},
      {DegMin(59, 59.9996), -DegMin(179, 59.9996), "6000.000,N", "18000.000,W"},
      {-DegMin(0, 0.0004), DegMin(0, 59.9994), "0000.000,S", "00059.999,E"},
      {Rad(90), Rad(190), "9000.000,N", "17000.000,W"},  // a longitude past 180 is west
      {Rad(-90), Rad(-180), "9000.000,S", "18000.000,W"},
  };
  for (const TCase& c : cases) {
    EXPECT_EQ(NmeaLatitude(c.lat), c.latText);
    EXPECT_EQ(NmeaLongitude(c.lon), c.lonText);
  }
  for (double bad : {kNaN, kInf, -kInf, Rad(90.001), 1e300}) EXPECT_EQ(NmeaLatitude(bad), "") << bad;
  for (double bad : {kNaN, kInf, -kInf}) EXPECT_EQ(NmeaLongitude(bad), "") << bad;
}

// ---------------------------------------------------------------------------
// Uploads

const std::vector<TUploadPoint> kThree = {
    {{DegMin(18, 4.25), DegMin(59, 30.5)}, "Ålö"},
    {{DegMin(18, 5), DegMin(59, 31)}, "Bäck"},
    {{-DegMin(5, 1.5), -DegMin(1, 2.125)}, "Göta kanal"},
};

std::vector<TUploadPoint> Numbered(int count) {
  std::vector<TUploadPoint> points;
  for (int i = 0; i < count; ++i) points.push_back({{Rad(18 + i * 0.01), Rad(59)}, "P" + std::to_string(i)});
  return points;
}

TEST(NMEAOutput, RouteUploadInEachMode) {
  using V = std::vector<std::string>;
  const V wplPositions = {"5930.500,N,01804.250,E", "5931.000,N,01805.000,E", "0102.125,S,00501.500,W"};
  auto wpl = [&](int k, const std::string& id) { return Sum("ECWPL," + wplPositions[size_t(k)] + "," + id); };

  // Nexus: the third waypoint is "00403-" and its name; one RTE of numbers.
  EXPECT_EQ(RouteUploadSentences(kThree, Settings(dnNexus)),
            (V{wpl(0, "00201-[L]"), wpl(1, "00302-B\\CK"), wpl(2, "00403-G]TA-KANAL"),
               Sum("ECRTE,1,1,c,00,1,2,3")}));
  EXPECT_EQ(RouteUploadSentences(kThree, Settings(dnNumeric)),
            (V{wpl(0, "1"), wpl(1, "2"), wpl(2, "3"), Sum("ECRTE,1,1,c,00,1,2,3")}));
  EXPECT_EQ(RouteUploadSentences(kThree, Settings(dnUpperCase)),
            (V{wpl(0, "01-ALO"), wpl(1, "02-BACK"), wpl(2, "03-GOTA-KANAL"), Sum("ECRTE,3,1,c,BRISMARE,01-ALO"),
               Sum("ECRTE,3,2,c,BRISMARE,02-BACK"), Sum("ECRTE,3,3,c,BRISMARE,03-GOTA-KANAL")}));
  EXPECT_EQ(RouteUploadSentences(kThree, Settings(dnAsIs)),
            (V{wpl(0, "01-\xC5l\xF6"), wpl(1, "02-B\xE4" "ck"), wpl(2, "03-G\xF6ta kanal"),
               Sum("ECRTE,3,1,c,BRISMARE,01-\xC5l\xF6"), Sum("ECRTE,3,2,c,BRISMARE,02-B\xE4" "ck"),
               Sum("ECRTE,3,3,c,BRISMARE,03-G\xF6ta kanal")}));

  EXPECT_EQ(RouteUploadSentences({}, Settings(dnNexus)), V{});
  // A waypoint without a position: the route is not sent at all.
  std::vector<TUploadPoint> broken = kThree;
  broken[1].Position.Y = kNaN;
  EXPECT_EQ(RouteUploadSentences(broken, Settings(dnUpperCase)), V{});
}

// Waypoint numbers of the RTE sentences of a numbered upload, checking
// their total and number fields on the way.
std::vector<std::string> RteNumbers(const std::vector<std::string>& sentences, size_t& rteCount) {
  std::vector<std::string> rte, numbers;
  for (const std::string& s : sentences)
    if (s.compare(0, 6, "$ECRTE") == 0) rte.push_back(s);
  rteCount = rte.size();
  for (size_t k = 0; k < rte.size(); ++k) {
    ExpectFramed(rte[k], std::count(rte[k].begin(), rte[k].end(), ','), dnNumeric);
    std::vector<std::string> f;
    std::stringstream in(rte[k].substr(1, rte[k].size() - 6));
    for (std::string field; std::getline(in, field, ',');) f.push_back(field);
    EXPECT_EQ(f[1], std::to_string(rte.size()));
    EXPECT_EQ(f[2], std::to_string(k + 1));
    EXPECT_EQ(f[3], "c");
    EXPECT_EQ(f[4], "00");
    numbers.insert(numbers.end(), f.begin() + 5, f.end());
  }
  return numbers;
}

TEST(NMEAOutput, LongNumberedRouteIsSplitWithin82Characters) {
  // 23 numbers fill one RTE to 80 characters; the 24th needs a second;
  // 100 need five, filled in order.
  for (auto [count, rteSentences] : {std::pair{23, 1u}, {24, 2u}, {100, 5u}}) {
    SCOPED_TRACE(count);
    const std::vector<std::string> sentences = RouteUploadSentences(Numbered(count), Settings(dnNumeric));
    size_t rteCount = 0;
    const std::vector<std::string> numbers = RteNumbers(sentences, rteCount);
    std::vector<std::string> expected;
    for (int i = 1; i <= count; ++i) expected.push_back(std::to_string(i));
    EXPECT_EQ(numbers, expected);
    EXPECT_EQ(sentences.size(), static_cast<size_t>(count) + rteCount);
    EXPECT_EQ(rteCount, rteSentences);
  }
}

// The last field of a sentence with a checksum.
std::string LastField(const std::string& s) {
  const size_t comma = s.rfind(',');
  return s.substr(comma + 1, s.size() - 5 - comma - 1);
}

TEST(NMEAOutput, UploadNamesNeverBreakTheFraming) {
  std::vector<TUploadPoint> points = kThree;
  points.push_back({{Rad(1), Rad(2)}, "A*B$C,D\\E^F~G!H\r\nI\x01J\x7FK"});
  points.push_back({{Rad(1), Rad(2)}, std::string(80, 'W') + "$"});  // cut to fit
  for (int mode : kAllModes) {
    SCOPED_TRACE(mode);
    const TNmeaOutputSettings s = Settings(mode);
    const std::vector<std::string> route = RouteUploadSentences(points, s);
    ASSERT_FALSE(route.empty());
    const bool numbered = mode == dnNumeric || mode == dnNexus;
    ASSERT_EQ(route.size(), numbered ? points.size() + 1 : 2 * points.size());
    for (size_t k = 0; k < points.size(); ++k) {
      ExpectFramed(route[k], 5, mode);
      // Per-waypoint RTE sentences name exactly the identifier of the WPL.
      if (!numbered) {
        ExpectFramed(route[points.size() + k], 5, mode);
        EXPECT_EQ(LastField(route[points.size() + k]), LastField(route[k]));
      }
    }
    for (const std::string& w : PositionUploadSentences(points, s)) ExpectFramed(w, 5, mode);
  }
  // The long name is cut so that the WPL has exactly 82 characters.
  const std::vector<std::string> route = RouteUploadSentences(points, Settings(dnUpperCase));
  EXPECT_EQ(route[4].size(), kMaxNmeaSentence);
  EXPECT_NE(route[4].find(",05-WWW"), std::string::npos);
}

TEST(NMEAOutput, PositionUpload) {
  using V = std::vector<std::string>;
  std::vector<TUploadPoint> points = kThree;
  points[1].Position.X = kInf;  // left out: nothing refers to it
  EXPECT_EQ(PositionUploadSentences(points, Settings(dnUpperCase)),
            (V{Sum("ECWPL,5930.500,N,01804.250,E,ALO"), Sum("ECWPL,0102.125,S,00501.500,W,GOTA-KANAL")}));
  EXPECT_EQ(PositionUploadSentences(points, Settings(dnNumeric)),
            (V{Sum("ECWPL,5930.500,N,01804.250,E,1"), Sum("ECWPL,0102.125,S,00501.500,W,3")}));
  EXPECT_EQ(PositionUploadSentences(points, Settings(dnNexus, "GP")),
            (V{Sum("GPWPL,5930.500,N,01804.250,E,[L]"), Sum("GPWPL,0102.125,S,00501.500,W,G]TA-KANAL")}));
}

TEST(NMEAOutput, SingleUploadBuilders) {
  const TNmeaOutputSettings s = Settings(dnAsIs);
  EXPECT_EQ(MakeWPL({DegMin(18, 4.25), DegMin(59, 30.5)}, "Ön,1*", s), Sum("ECWPL,5930.500,N,01804.250,E,\xD6n-1-"));
  EXPECT_EQ(MakeWPL({0, kNaN}, "X", s), "");
  EXPECT_EQ(MakeRTE(2, 1, "R$1", {"A,B", "C"}, s), Sum("ECRTE,2,1,c,R-1,A-B,C"));
  EXPECT_EQ(MakeRTE(1, 2, "R", {"A"}, s), "");  // number beyond the total
  EXPECT_EQ(MakeRTE(1, 0, "R", {"A"}, s), "");
  EXPECT_EQ(MakeRTE(1, 1, "R", {std::string(70, 'A')}, s), "");  // over 82 characters
}

// ---------------------------------------------------------------------------
// The shared data line

TEST(NMEAOutput, DataLine) {
  TNMEAINFO n = Leg();
  n.Pos = {-Rad(18.0425), Rad(59.5)};
  n.SOG = 5.8;
  n.Heading = 0.5;
  n.MagCourse = 0.4;
  n.Variation = -0.1;
  n.Depth = 12.3;
  n.TrueWindAngle = 1.0;
  n.ApparentWindAngle = 0.5;
  n.TrueWindDirection = 2.0;
  n.TrueWindSpeed = 6.5;
  n.ApparentWindSpeed = 8.25;
  n.WindVMG = -3.1;
  n.MagHeading = 0.45;
  n.WaterSpeed = 5.5;
  const std::string boat =
      "59.50000,-18.04250,5.80,0.50000,0.40000,-0.10000,12.3,1.00000,0.50000,2.00000,6.50,8.25,-3.10,0.45000,5.50";
  EXPECT_EQ(MakeDataLine(n, false), boat + ",,,,,,,,");

  // The leg: degrees, radians, XTE signed and without XteFactor; a comma
  // or line end in the name would add a field or cut the line.
  n.XTE = Nm(-0.1234);
  n.DestName = "Bravo, Isl\r\n";
  EXPECT_EQ(MakeDataLine(n, true), boat + ",59.50833,18.07083,0.79063,-0.123,0.82484,1.25,5.80,Bravo- Isl--");
  EXPECT_EQ(Fields(MakeDataLine(n, true)).size(), 23u);
  EXPECT_EQ(Fields(MakeDataLine(n, false)).size(), 23u);

  // Unknown values are zeros in their format (NaN and infinity as well).
  TNMEAINFO unknown;
  unknown.SOG = kNaN;
  unknown.Heading = kInf;
  unknown.XTE = NoDataValue;
  unknown.RangeToDest = NoDataValue;
  unknown.VMGToDest = NoDataValue;
  EXPECT_EQ(MakeDataLine(unknown, true),
            "0.00000,0.00000,0.00,0.00000,0.00000,0.00000,0.0,0.00000,0.00000,0.00000,0.00,0.00,0.00,0.00000,0.00,"
            "0.00000,0.00000,0.00000,0.000,0.00000,0.00,0.00,");
}

// ---------------------------------------------------------------------------
// An independent reader: pynmea2 (Debian package python3-nmea2) under
// Debian's own python, which has the package (a pyenv python first on PATH
// may not).

constexpr const char* kSystemPython = "/usr/bin/python3";

struct TParsed {
  std::string how;   // "checked", "nochecksum" or "error"
  std::string type;  // talker + sentence type, or the error
  std::map<std::string, std::string> fields;
};

TEST(NMEAOutput, IndependentParserReadsEverySentence) {
  if (::access(kSystemPython, X_OK) != 0) GTEST_SKIP() << kSystemPython << " is missing";

  std::vector<std::string> sentences = SteeringSentences(Leg(), 63, Settings(dnAsIs));
  ASSERT_EQ(sentences.size(), 6u);
  TNMEAINFO noVariation = Leg();
  noVariation.Variation = NoDataValue;
  noVariation.BODMag = noVariation.BOD;
  noVariation.BearingToDestMag = noVariation.BearingToDest;
  noVariation.SteerHeadingMag = noVariation.SteerHeading;
  noVariation.FixStatus = kFixInvalid;
  for (const std::string& s : SteeringSentences(noVariation, kAutopAPB | kAutopBOD | kAutopBWC, Settings(dnAsIs)))
    sentences.push_back(s);
  ASSERT_EQ(sentences.size(), 9u);
  std::vector<TUploadPoint> points = Numbered(30);
  points[0].Name = "A*B$C,D\\E~F!G";
  points[1].Name = "Åsa";
  const size_t routeAt = sentences.size();
  for (int mode : {dnAsIs, dnNumeric, dnNexus})
    for (const std::string& s : RouteUploadSentences(points, Settings(mode))) sentences.push_back(s);

  TTempDir dir;
  std::string text;
  for (const std::string& s : sentences) text += s;
  WriteTestFile(dir / "out.nmea", text);
  const std::string cmd = std::string(kSystemPython) + " '" BRISMARE_SOURCE_DIR "/tests/instruments/parse_nmea.py' '" +
                          (dir / "out.nmea") + "' 2>&1";
  FILE* p = ::popen(cmd.c_str(), "r");
  ASSERT_NE(p, nullptr);
  std::string out;
  char buf[4096];
  for (size_t got; (got = std::fread(buf, 1, sizeof buf, p)) > 0;) out.append(buf, got);
  const int status = ::pclose(p);
  if (WIFEXITED(status) && WEXITSTATUS(status) == 3)
    GTEST_SKIP() << "pynmea2 is not installed for " << kSystemPython << " (Debian package python3-nmea2)";
  ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << out;

  std::vector<TParsed> parsed;
  std::stringstream lines(out);
  for (std::string line; std::getline(lines, line);) {
    std::vector<std::string> cells;
    std::stringstream in(line);
    for (std::string cell; std::getline(in, cell, '\t');) cells.push_back(cell);
    ASSERT_GE(cells.size(), 3u) << line;
    ASSERT_EQ(cells[0], std::to_string(parsed.size())) << line;
    TParsed r{cells[1], cells[2], {}};
    for (size_t k = 3; k < cells.size(); ++k) {
      const size_t eq = cells[k].find('=');
      r.fields[cells[k].substr(0, eq)] = cells[k].substr(eq + 1);
    }
    parsed.push_back(std::move(r));
  }
  ASSERT_EQ(parsed.size(), sentences.size()) << out;

  // Every checksum accepted; APA read without one.
  for (size_t k = 0; k < parsed.size(); ++k)
    EXPECT_EQ(parsed[k].how, k == 0 ? "nochecksum" : "checked") << sentences[k] << parsed[k].type;

  auto expectFields = [&](size_t k, const char* type, std::map<std::string, std::string> want) {
    SCOPED_TRACE(sentences[k]);
    EXPECT_EQ(parsed[k].type, type);
    for (const auto& [name, value] : want) EXPECT_EQ(parsed[k].fields[name], value) << name;
  };
  expectFields(0, "ECAPA",
               {{"status_gen", "A"}, {"cross_track_err_mag", "0.25"}, {"dir_steer", "L"},
                {"arr_circle_entered", "V"}, {"perp_passed", "V"}, {"bearing_to_dest", "040"},
                {"bearing_type", "M"}, {"dest_waypoint_id", "02-Bravo Isl"}});
  expectFields(1, "ECAPB",
               {{"status_gen", "A"}, {"cross_track_err_mag", "0.247"}, {"dir_steer", "L"},
                {"bearing_to_dest", "40.3"}, {"bearing_type", "M"}, {"dest_waypoint_id", "02-Bravo Isl"},
                {"bearing_pres_dest", "42.3"}, {"heading_to_dest", "39.0"}, {"heading_to_dest_type", "M"}});
  expectFields(2, "ECRMB",
               {{"status", "A"}, {"cross_track_error", "0.247"}, {"cte_correction_dir", "L"},
                {"origin_waypoint_id", "01-Alfa Ba"}, {"dest_waypoint_id", "02-Bravo I"},
                {"dest_lat", "5930.500"}, {"dest_lat_dir", "N"}, {"dest_lon", "01804.250"}, {"dest_lon_dir", "E"},
                {"dest_range", "1.25"}, {"dest_true_bearing", "47.3"}, {"dest_velocity", "5.8"},
                {"arrival_alarm", "V"}});
  expectFields(3, "ECBOD",
               {{"bearing_t", "45.3"}, {"bearing_mag", "40.3"}, {"dest", "02-Bravo-Isl"}, {"start", "01-Alfa-Bay"}});
  expectFields(4, "ECBWC",
               {{"timestamp", "093015"}, {"lat_next", "5930.500"}, {"lon_next_direction", "E"},
                {"true_track", "47.3"}, {"mag_track", "42.3"}, {"range_next", "1.25"},
                {"waypoint_name", "02-Bravo Isl"}});
  expectFields(5, "ECRTE",
               {{"num_in_seq", "1"}, {"sen_num", "1"}, {"start_type", "w"}, {"active_route_id", "BRISMARE"},
                {"waypoint_list", "01-Alfa-Bay,02-Bravo-Isl"}});
  expectFields(6, "ECAPB",
               {{"status_gen", "V"}, {"bearing_to_dest", "45.3"}, {"bearing_type", "T"},
                {"bearing_pres_dest", "47.3"}, {"bearing_pres_dest_type", "T"}, {"heading_to_dest_type", "T"}});
  expectFields(7, "ECBOD", {{"bearing_t", "45.3"}, {"bearing_mag", ""}, {"bearing_mag_type", "M"}});
  expectFields(8, "ECBWC", {{"true_track", "47.3"}, {"mag_track", ""}, {"mag_sym", "M"}});

  // Uploads: the names came through as one field each, in Windows-1252;
  // every RTE list of a numbered route joined gives 1..30.
  expectFields(routeAt, "ECWPL", {{"waypoint_id", "01-A-B-C D-E-F-G"}});
  expectFields(routeAt + 1, "ECWPL", {{"waypoint_id", "02-\xC5sa"}, {"lat", "5900.000"}, {"lon", "01800.600"}});
  expectFields(routeAt + 30, "ECRTE", {{"num_in_seq", "30"}, {"sen_num", "1"}, {"waypoint_list", "01-A-B-C D-E-F-G"}});
  std::string joined, expected;
  for (size_t k = routeAt; k < parsed.size(); ++k)
    if (parsed[k].type == "ECRTE" && parsed[k].fields["active_route_id"] == "00")
      joined += (joined.empty() ? "" : ",") + parsed[k].fields["waypoint_list"];
  for (int twice = 0; twice < 2; ++twice)
    for (int i = 1; i <= 30; ++i) expected += (expected.empty() ? "" : ",") + std::to_string(i);
  EXPECT_EQ(joined, expected);
}

}  // namespace
