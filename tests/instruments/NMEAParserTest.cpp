// Acceptance, capture, pass-through and the sentence handlers.
#include <chrono>
#include <string>
#include <vector>

#include "NMEATestUtil.h"
#include "TestSupport.h"
#include "foundation/GenUtil.h"

namespace {

constexpr double kPi = 3.14159265358979323846;

// ---------------------------------------------------------------------------
// Acceptance

TEST(NMEAParser, ChecksumModes) {
  const std::string good = Nmea("GPHDT,12.5,T");  // ...*hh, upper-case digits
  std::string lower = "$GPRSA,28,A,,*";
  {
    unsigned x = 0;
    for (char c : std::string_view("GPRSA,28,A,,")) x ^= static_cast<unsigned char>(c);
    const char* hex = "0123456789abcdef";
    lower += hex[x >> 4];
    lower += hex[x & 15];
  }
  ASSERT_TRUE(lower.find_first_of("abcdef", lower.size() - 2) != std::string::npos) << lower;
  std::string wrong = good;
  wrong.back() = wrong.back() == '0' ? '1' : '0';
  const std::string ais = Nmea("AIVDM,1,1,,B,15M67FC000G?ufbE`FepT@3n00Sa,0", '!');
  std::string aisWrong = ais;
  aisWrong.back() = aisWrong.back() == '0' ? '1' : '0';

  struct Case {
    std::string sentence;
    bool accepted[3];  // with "NMEA CheckSum" 0, 1, 2
  } cases[] = {
      {"$GPHDT,12.5,T", {false, true, true}},  // no checksum
      {good, {true, true, true}},
      {lower, {false, false, true}},
      {wrong, {false, false, true}},
      {good.substr(0, good.size() - 1), {false, false, true}},  // one digit only
      {"$GPHD", {false, false, false}},  // shorter than 7 with the line end
      {ais, {true, true, true}},
      {aisWrong, {false, false, false}},  // "!" sentences are always checked
  };
  for (const auto& c : cases) {
    for (int mode = 0; mode < 3; ++mode) {
      TManualClock clock;
      TNMEALineBuffer buffer(nullptr, clock);
      int accepted = 0, seen = 0;
      buffer.Parser().ChecksumMode = mode;
      buffer.Parser().OnSentence = [&](std::string_view) { ++seen; };
      buffer.Parser().OnAccepted = [&](const TNdxString&) { ++accepted; };
      buffer.FeedText(c.sentence + "\r\n");
      EXPECT_EQ(seen, 1) << c.sentence;  // the monitor sees everything
      EXPECT_EQ(accepted, c.accepted[mode] ? 1 : 0) << c.sentence << " mode " << mode;
    }
  }
}

TEST_F(TNmeaFixture, TalkerPassThroughAndAis) {
  EXPECT_EQ(info.TalkerIn, "DR");
  parser.PassFilter = "*";
  SendBody("PGRME,19.1,M,19.8,M,27.5,M");  // proprietary: passed on, talker untouched
  EXPECT_EQ(info.TalkerIn, "DR");
  SendBody("IIHDT,10,T");
  EXPECT_EQ(info.TalkerIn, "II");
  SendBody("GPHDT,10,T");
  SendBody("IIHDT,10,T");
  EXPECT_EQ(info.TalkerIn, "GP");  // a GP talker stays
  std::vector<std::pair<std::string, bool>> ais;
  parser.OnAisSentence = [&](const TNdxString& s, bool own) { ais.emplace_back(std::string(s.View()), own); };
  const std::string vdm = Nmea("AIVDM,1,1,,A,13u=gHP3CWPlvs2Q8sHW:5fD0h6a,0", '!');
  const std::string vdo = Nmea("AIVDO,1,1,,,B3uBrjP0=0=Kjm8BoS`AcwUUwP06,0", '!');
  Send(vdm);
  Send(vdo);
  Send(Nmea("AIALR,1", '!'));
  EXPECT_EQ(ais, (std::vector<std::pair<std::string, bool>>{{vdm + "\r", false}, {vdo + "\r", true}}));
  EXPECT_EQ(info.TalkerIn, "GP");
  EXPECT_EQ(info.OutBuffer, Nmea("PGRME,19.1,M,19.8,M,27.5,M") + "\r\n" + Nmea("IIHDT,10,T") + "\r\n" +
                                Nmea("GPHDT,10,T") + "\r\n" + Nmea("IIHDT,10,T") + "\r\n");
  parser.AisEnabled = false;
  Send(vdm);
  EXPECT_EQ(ais.size(), 2u);

  // A filter passes the identifiers it names; an empty one passes nothing.
  info.OutBuffer.clear();
  parser.PassFilter = "MTWHDT";
  SendBody("IIMTW,16.8,C");
  SendBody("IIVHW,,T,25.0,M,5.9,N,10.9,K");
  EXPECT_EQ(info.OutBuffer, Nmea("IIMTW,16.8,C") + "\r\n");
  parser.PassFilter = "";
  SendBody("IIMTW,16.8,C");
  EXPECT_EQ(info.OutBuffer, Nmea("IIMTW,16.8,C") + "\r\n");

  // Passed-through text stops at its share of the outgoing buffer, which
  // stops taking any text at 65 535 characters.
  parser.PassFilter = "*";
  const size_t share = TNMEA::kMaxPassThroughBuffer;
  info.OutBuffer.assign(share - 1, 'x');
  SendBody("IIMTW,16.8,C");
  EXPECT_EQ(info.OutBuffer.size(), share - 1 + Nmea("IIMTW,16.8,C").size() + 2);
  SendBody("IIMTW,16.8,C");
  EXPECT_EQ(info.OutBuffer.size(), share - 1 + Nmea("IIMTW,16.8,C").size() + 2);
  info.OutBuffer.assign(65534, 'x');
  parser.AppendOutput("$ECAPB\r\n");
  EXPECT_EQ(info.OutBuffer.size(), 65534u + 8);
  parser.AppendOutput("$ECAPB\r\n");
  EXPECT_EQ(info.OutBuffer.size(), 65534u + 8);
  info.OutBuffer.clear();
  parser.OutputEnabled = false;
  SendBody("IIMTW,16.8,C");
  EXPECT_EQ(info.OutBuffer, "");
}

TEST_F(TNmeaFixture, CapturesAcceptedSentencesByFilter) {
  TTempDir dir;
  parser.SetCapture(dir / "capture.nmea", "RMCVDM");
  const std::string rmc = Nmea("GPRMC,092211,A,5759.097,N,01144.343,E,5.3,28.3,200715,,,A");
  const std::string vdm = Nmea("AIVDM,1,1,,A,13u=gHP3CWPlvs2Q8sHW:5fD0h6a,0", '!');
  Send(rmc);
  SendBody("GPGGA,092212,5759.097,N,01144.345,E,1,06,1.9,3.5,M,39.4,M,,");
  Send("$GPRMC,bad*01");  // refused: not captured
  Send(vdm);
  EXPECT_EQ(ReadTestFile(dir / "capture.nmea"), rmc + "\r\n" + vdm + "\r\n");

  // A file that cannot be written does not disturb the input.
  parser.SetCapture(dir / "no/such/dir/capture.nmea", "*");
  Send(rmc);
  EXPECT_EQ(info.FixStatus, kFixValid);
  EXPECT_FALSE(TestFileExists(dir / "no/such/dir/capture.nmea"));
}

TEST_F(TNmeaFixture, DispatchesOnTheWholeIdentifier) {
  // Identifiers that straddle two names of the sentence list.
  int accepted = 0;
  parser.OnAccepted = [&](const TNdxString&) { ++accepted; };
  for (const char* body : {"GPC_G,092211,A,5759.097,N,01144.343,E,5.3,28.3,200715,,,A",
                           "GP_RM,092211,A,5759.097,N,01144.343,E,5.3,28.3,200715,,,A",
                           "GPMC_,092211,A,5759.097,N,01144.343,E,5.3,28.3,200715,,,A",
                           "GP___,092211,A,5759.097,N,01144.343,E,5.3,28.3,200715,,,A"})
    SendBody(body);
  EXPECT_EQ(accepted, 4);
  EXPECT_EQ(parser.Seen, 0u);
  EXPECT_EQ(info.FixStatus, kFixNone);
}

// ---------------------------------------------------------------------------
// Position, speed, course

TEST_F(TNmeaFixture, RmcFillsPositionMotionAndTime) {
  clock.Advance(std::chrono::seconds(10));
  SendBody("GPRMC,194101,A,4426.1130,N,07140.5596,W,5.2,77.3,160906,15.8,W,D");
  EXPECT_EQ(info.FixStatus, kFixValid);
  EXPECT_EQ(info.FixQuality, 2);
  EXPECT_EQ(info.ModeIndicator, 'D');
  EXPECT_NEAR(Deg(info.Pos.Y), 44 + 26.1130 / 60, 1e-12);
  EXPECT_NEAR(Deg(info.Pos.X), -(71 + 40.5596 / 60), 1e-12);
  EXPECT_EQ(info.RawPos, info.Pos);
  EXPECT_EQ(info.LastFixTime, clock.MonoNow());
  EXPECT_DOUBLE_EQ(info.SOG, 5.2);
  EXPECT_NEAR(Deg(info.COG), 77.3, 1e-12);
  EXPECT_EQ(info.Heading, info.COG);
  EXPECT_NEAR(Deg(info.Variation), -15.8, 1e-12);
  EXPECT_NEAR(Deg(info.MagCourse), 93.1, 1e-12);
  EXPECT_NEAR(info.VelEast, 5.2 * std::sin(Rad(77.3)), 1e-12);
  EXPECT_NEAR(info.VelNorth, 5.2 * std::cos(Rad(77.3)), 1e-12);
  EXPECT_EQ(info.CogSogSource, kCogSogReceived);
  TDateTime date = 0;
  ASSERT_TRUE(TryEncodeDate(2006, 9, 16, date));
  EXPECT_DOUBLE_EQ(info.GpsDateTime, date + (19 * 3600 + 41 * 60 + 1) / 86400.0);
  EXPECT_EQ(parser.Seen, kSeenRMC | kSeenDate);

  // Without a date: today's UTC date, and no date bit.
  TNMEALineBuffer other(nullptr, clock);
  other.FeedText(Nmea("GPRMC,120000,A,5930.50,N,01800.00,E,0.0,0.0,,,") + "\r\n");
  EXPECT_DOUBLE_EQ(other.Parser().Info.GpsDateTime, std::floor(clock.NowUTC()) + 0.5);
  EXPECT_EQ(other.Parser().Seen, kSeenRMC);
}

TEST_F(TNmeaFixture, RmcFailuresAndInvalidFix) {
  SendBody("GPRMC,194101,A,4426.1130,N,07140.5596,W,5.2,77.3,160906,15.8,W");
  const TFPoint pos = info.Pos;
  const auto fixTime = info.LastFixTime;
  clock.Advance(std::chrono::seconds(1));
  // Status V: no fix, nothing moves, and RMC still outranks GGA and GLL.
  SendBody("GPRMC,194102,V,4500.0000,N,07200.0000,W,5.2,77.3,160906,15.8,W");
  EXPECT_EQ(info.FixStatus, kFixInvalid);
  EXPECT_EQ(info.FixQuality, 0);
  EXPECT_EQ(info.Pos, pos);
  EXPECT_EQ(info.LastFixTime, fixTime);
  // A position of five characters is no position, nor is a longitude
  // given where the latitude belongs.
  SendBody("GPRMC,194103,A,530.5,N,07200.0000,W,5.2,77.3,160906,15.8,W");
  SendBody("GPRMC,194103,A,17000.0000,E,07200.0000,W,5.2,77.3,160906,15.8,W");
  SendBody("GPRMC,194103,A,4426.1130,N,4426.1130,N,5.2,77.3,160906,15.8,W");
  EXPECT_EQ(info.Pos, pos);
  EXPECT_EQ(info.LastFixTime, fixTime);
  // Garbage in a number: the failure is flagged, the program goes on.
  SendBody("GPRMC,194104,A,4426.1130,N,07140.5596,W,5.2,1e300,160906,15.8,W");
  EXPECT_EQ(info.FixStatus, kFixBadData);
  EXPECT_EQ(info.CogSogSource, kCogSogBadData);
  SendBody("GPRMC,194105,A,4426.1130,N,07140.5596,W,fast,77.3,160906,15.8,W");
  EXPECT_EQ(info.FixStatus, kFixBadData);
  SendBody("GPRMC,194106,A,4426.1130,N,07140.5596,W,5.2,77.3,160906,15.8,W");
  EXPECT_EQ(info.FixStatus, kFixValid);
}

// RMC and RMA take position, motion and variation the same way. Before each
// row a compass has reported heading 100 (HDT) and variation 3 deg W (HDG).
TEST(NMEAParser, RmcAndRmaFixMotionAndVariation) {
  constexpr double kKeep = -3;  // the compass's variation
  struct Case {
    const char* body;
    double modelVariation;  // degrees, or NoDataValue
    uint8_t fix;
    double variation;  // degrees afterwards
    bool variationSet;
    double heading, magCourse;  // degrees
  } cases[] = {
      {"GPRMC,194101,A,4426.1130,N,07140.5596,W,5.2,77.3,160906,15.8,W", NoDataValue, kFixValid, -15.8, true,
       77.3, 93.1},
      {"GPRMA,A,4426.1130,N,07140.5596,W,,,5.2,77.3,15.8,W", NoDataValue, kFixValid, -15.8, true, 77.3, 93.1},
      // Slow: RMC takes the compass heading, RMA keeps the course.
      {"GPRMC,194101,A,4426.1130,N,07140.5596,W,2.0,77.3,160906,15.8,W", NoDataValue, kFixValid, -15.8, true,
       100, 115.8},
      {"GPRMA,A,4426.1130,N,07140.5596,W,,,2.0,77.3,15.8,W", NoDataValue, kFixValid, -15.8, true, 77.3, 93.1},
      // An empty variation field keeps the variation known so far.
      {"GPRMC,194101,A,4426.1130,N,07140.5596,W,5.2,77.3,160906,,,A", NoDataValue, kFixValid, kKeep, false, 77.3,
       80.3},
      {"GPRMA,A,4426.1130,N,07140.5596,W,,,5.2,77.3,,", NoDataValue, kFixValid, kKeep, false, 77.3, 80.3},
      // The magnetic model replaces whatever the sentence says.
      {"GPRMC,194101,A,4426.1130,N,07140.5596,W,5.2,77.3,160906,,", 4, kFixValid, 4, true, 77.3, 73.3},
      {"GPRMA,A,4426.1130,N,07140.5596,W,,,5.2,77.3,15.8,W", 4, kFixValid, 4, true, 77.3, 73.3},
      // A variation that is not a number is bad data.
      {"GPRMC,194101,A,4426.1130,N,07140.5596,W,5.2,77.3,160906,1x,W", NoDataValue, kFixBadData, kKeep, false,
       77.3, NoDataValue},
      {"GPRMA,A,4426.1130,N,07140.5596,W,,,5.2,77.3,1x,W", NoDataValue, kFixBadData, kKeep, false, 77.3,
       NoDataValue},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.body);
    TManualClock clock;
    TNMEALineBuffer buffer(nullptr, clock);
    TNMEA& parser = buffer.Parser();
    TNMEAINFO& info = parser.Info;
    buffer.FeedText(Nmea("IIHDG,113,,,003,W") + "\r\n" + Nmea("HEHDT,100.0,T") + "\r\n");
    ASSERT_NEAR(Deg(info.Variation), kKeep, 1e-9);
    if (IsKnown(c.modelVariation)) info.ModelVariation = Rad(c.modelVariation);
    buffer.FeedText(Nmea(c.body) + "\r\n");
    EXPECT_EQ(info.FixStatus, c.fix);
    EXPECT_NEAR(Deg(info.Pos.Y), 44 + 26.1130 / 60, 1e-12);
    EXPECT_NEAR(Deg(info.Pos.X), -(71 + 40.5596 / 60), 1e-12);
    EXPECT_EQ(info.LastFixTime, clock.MonoNow());
    EXPECT_NEAR(Deg(info.COG), 77.3, 1e-9);
    EXPECT_NEAR(Deg(info.Variation), c.variation, 1e-9);
    EXPECT_EQ((parser.Updated & kSetVariation) != 0, c.variationSet);
    EXPECT_NEAR(Deg(info.Heading), c.heading, 1e-9);
    if (c.fix != kFixValid) {
      EXPECT_EQ(info.CogSogSource, kCogSogBadData);
      continue;
    }
    EXPECT_NEAR(Deg(info.MagCourse), c.magCourse, 1e-9);
    EXPECT_NEAR(info.VelNorth, info.SOG * std::cos(info.COG), 1e-12);
    EXPECT_EQ(info.CogSogSource, kCogSogReceived);
  }
}

TEST_F(TNmeaFixture, SourcePriority) {
  const char* gga = "GPGGA,092212,5759.097,N,01144.345,E,2,06,1.9,3.5,M,39.4,M,7.6,0133";
  const char* gll = "GPGLL,5800.000,N,01200.000,E,092213,A,A";
  SendBody("GPRMC,092211,V,,,,,,,200715,,,N");
  SendBody(gga);
  // RMC (even invalid) blocks the GGA position, but GGA still fills its own values.
  EXPECT_EQ(info.FixStatus, kFixInvalid);
  EXPECT_EQ(info.Pos, TFPoint{});
  EXPECT_EQ(info.Satellites, 6);
  EXPECT_DOUBLE_EQ(info.HDOP, 1.9);
  EXPECT_DOUBLE_EQ(info.Altitude, 3.5);
  EXPECT_EQ(info.FixQuality, 2);
  EXPECT_EQ(info.DgpsAge, 8);
  EXPECT_EQ(info.DgpsStation, 133);
  SendBody(gll);
  EXPECT_EQ(info.Pos, TFPoint{});
  // The update tick clears the position bits when the fix times out.
  parser.Seen &= ~kSeenPositionBits;
  SendBody(gga);
  EXPECT_EQ(info.FixStatus, kFixValid);
  EXPECT_NEAR(Deg(info.Pos.Y), 57 + 59.097 / 60, 1e-12);
  SendBody(gll);  // GGA outranks GLL
  EXPECT_NEAR(Deg(info.Pos.Y), 57 + 59.097 / 60, 1e-12);
  // GGA quality outside 1..5 is no fix.
  parser.Seen &= ~kSeenPositionBits;
  SendBody("GPGGA,092214,5800.000,N,01200.000,E,8,06,1.9,3.5,M,39.4,M,,");
  EXPECT_EQ(info.FixStatus, kFixInvalid);
  EXPECT_NEAR(Deg(info.Pos.Y), 57 + 59.097 / 60, 1e-12);
}

TEST_F(TNmeaFixture, GllWithStatusVDoesNotMoveThePosition) {
  SendBody("ECGLL,5119.881,N,00125.169,E,164326,A,D");
  const TFPoint pos = info.Pos;
  EXPECT_EQ(info.FixStatus, kFixValid);
  EXPECT_EQ(info.FixQuality, 2);
  const auto fixTime = info.LastFixTime;
  clock.Advance(std::chrono::seconds(1));
  SendBody("ECGLL,5200.000,N,00200.000,E,164327,V,N");
  EXPECT_EQ(info.FixStatus, kFixInvalid);
  EXPECT_EQ(info.Pos, pos);
  EXPECT_EQ(info.RawPos, pos);
  EXPECT_EQ(info.LastFixTime, fixTime);
  EXPECT_EQ(info.FixQuality, 1);
}

// Speed and course from GGA fixes: one sample per 6 s of the monotonic
// clock, blended 1:3 with the previous one, courses along the shorter arc.
TEST_F(TNmeaFixture, DerivesSpeedAndCourseFromFixes) {
  // Minutes of latitude north of 59 deg and of longitude east of 18 deg.
  auto fixAt = [&](double latMin, double lonMin) {
    auto minutes = [](double m) { return (m < 10 ? "0" : "") + FloatToStrFixedDot(4, m); };
    SendBody("GPGGA,120000,59" + minutes(latMin) + ",N,018" + minutes(lonMin) + ",E,1,06,1.9,3.5,M,39.4,M,,");
  };
  const double cosLat = std::cos(Rad(59.5));
  fixAt(30, 10);
  EXPECT_EQ(info.CogSogSource, kCogSogDerived);
  EXPECT_EQ(info.SOG, NoDataValue);
  // 0.1' north-north-west (course 350 deg) in 6 s.
  const double d = 0.1;
  double lat = 30 + d * std::cos(Rad(350)), lon = 10 + d * std::sin(Rad(350)) / cosLat;
  clock.Advance(std::chrono::seconds(5));
  fixAt(lat, lon + 3);  // too early: ignored (and 3' off to the east, which would show)
  EXPECT_EQ(info.SOG, NoDataValue);
  clock.Advance(std::chrono::seconds(1));
  clock.SetUTC(clock.NowUTC() - 1.0 / 24);  // the wall clock going back does not matter
  fixAt(lat, lon);
  const double sample = d / (6.0 / 3600);  // knots
  EXPECT_NEAR(info.SOG, sample / 4, 0.01 * sample);
  EXPECT_NEAR(Deg(info.COG), 350, 0.1);  // the first course is the sample itself
  EXPECT_EQ(info.Heading, info.COG);
  // Next leg: 10 deg. Blended along the shorter arc, 350 + 20/4 = 355.
  lat += d * std::cos(Rad(10));
  lon += d * std::sin(Rad(10)) / cosLat;
  clock.Advance(std::chrono::seconds(6));
  fixAt(lat, lon);
  EXPECT_NEAR(Deg(info.COG), 355, 0.1);
  EXPECT_NEAR(info.SOG, (3 * sample / 4 + sample) / 4, 0.01 * sample);
  EXPECT_NEAR(info.VelNorth, info.SOG * std::cos(info.COG), 1e-12);
  // Once a VTG has been seen, VTG alone supplies speed and course.
  SendBody("GPVTG,200.0,T,,M,4.0,N,7.4,K");
  clock.Advance(std::chrono::seconds(60));
  fixAt(lat + 1, lon);
  EXPECT_NEAR(Deg(info.COG), 200, 1e-9);
  EXPECT_DOUBLE_EQ(info.SOG, 4.0);
}

TEST_F(TNmeaFixture, CompassHeadingSwitchesWithSpeed) {
  SendBody("GPRMC,120000,A,5930.00,N,01800.00,E,2.0,90.0,010125,5.0,E");
  EXPECT_NEAR(Deg(info.Heading), 90, 1e-9);  // no compass yet
  SendBody("HEHDT,100.0,T");
  EXPECT_NEAR(Deg(info.CompassHeading), 100, 1e-9);
  EXPECT_NEAR(Deg(info.Heading), 100, 1e-9);
  EXPECT_NEAR(Deg(info.MagHeading), 95, 1e-9);
  SendBody("GPRMC,120001,A,5930.00,N,01800.00,E,2.0,90.0,010125,5.0,E");
  EXPECT_NEAR(Deg(info.Heading), 100, 1e-9);  // slow: the compass
  EXPECT_NEAR(Deg(info.MagCourse), 95, 1e-9);
  SendBody("GPRMC,120002,A,5930.00,N,01800.00,E,3.0,90.0,010125,5.0,E");
  EXPECT_NEAR(Deg(info.Heading), 90, 1e-9);  // at the switch speed: the course
  SendBody("HEHDT,110.0,T");
  EXPECT_NEAR(Deg(info.Heading), 90, 1e-9);
  // An empty heading field is no heading at all.
  SendBody("HEHDT,,T");
  EXPECT_NEAR(Deg(info.CompassHeading), 110, 1e-9);
  // Once HDT is heard, HDM and HDG are ignored.
  SendBody("HCHDM,50.0,M");
  SendBody("HCHDG,50.0,,,5.0,E");
  EXPECT_NEAR(Deg(info.CompassHeading), 110, 1e-9);
}

TEST_F(TNmeaFixture, HdgTakesTheVariationFromItsVariationFields) {
  info.SOG = 0;
  SendBody("IIHDG,113,,,003,W");
  EXPECT_NEAR(Deg(info.MagHeading), 113, 1e-9);
  EXPECT_NEAR(Deg(info.Variation), -3, 1e-9);
  EXPECT_NEAR(Deg(info.CompassHeading), 110, 1e-9);
  EXPECT_NEAR(Deg(info.Heading), 110, 1e-9);
  EXPECT_TRUE(parser.Seen & kSeenHDG);
  // The deviation fields are not the variation.
  SendBody("IIHDG,120,2.0,E,,");
  EXPECT_NEAR(Deg(info.Variation), -3, 1e-9);  // kept: this sentence has none
  EXPECT_NEAR(Deg(info.CompassHeading), 117, 1e-9);
  info.ModelVariation = Rad(4);
  SendBody("IIHDG,120,,,003,W");
  EXPECT_NEAR(Deg(info.Variation), 4, 1e-9);
  SendBody("IIHDG,,,,003,W");  // no heading: nothing changes
  EXPECT_NEAR(Deg(info.MagHeading), 120, 1e-9);
  SendBody("HCHDM,50.0,M");  // HDG outranks HDM
  EXPECT_NEAR(Deg(info.MagHeading), 120, 1e-9);
}

TEST_F(TNmeaFixture, VhwWithoutTrueHeadingKeepsTheHeading) {
  info.Heading = Rad(200);
  SendBody("IIVHW,,T,25.0,M,5.9,N,10.9,K");
  EXPECT_NEAR(Deg(info.Heading), 200, 1e-9);
  EXPECT_NEAR(Deg(info.MagHeading), 25, 1e-9);
  EXPECT_DOUBLE_EQ(info.WaterSpeed, 5.9);
  EXPECT_EQ(parser.Seen, kSeenVHW | kSeenHDG);
  SendBody("IIVHW,210.0,T,,M,6.0,N,11.1,K");
  EXPECT_NEAR(Deg(info.Heading), 210, 1e-9);
  EXPECT_NEAR(Deg(info.MagHeading), 25, 1e-9);
}

// ---------------------------------------------------------------------------
// Depth, wind and the rest

TEST(NMEAParser, DepthSentences) {
  struct Case {
    const char* body;
    double depth;  // metres, or NoDataValue
  } cases[] = {
      {"SDDBT,12.0,f,3.6,M,2.0,F", 3.6},
      {"SDDBT,12.0,f,,,,", 12.0 / 3.28},
      {"SDDBT,2.0,F,,,,", 2.0 * 1.8288},
      {"SDDBT,3.5,M,,,,", 3.5},
      {"SDDBT,12.0,x,,,,", NoDataValue},
      {"SDDBT,12.0,,,,,", NoDataValue},
      {"SDDBT,,f,,M,,F", NoDataValue},  // empty metres: no depth, not 0 m
      {"SDDBT,,f,,,,", NoDataValue},
      {"SDDBT,1.0,f,deep,M,,F", NoDataValue},
      {"SDDPT,14.8,0.4,100.0", 14.8},
      {"SDDPT,,0.4", NoDataValue},
      {"SDDPT,x,0.4", NoDataValue},
  };
  for (const auto& c : cases) {
    TManualClock clock;
    TNMEALineBuffer buffer(nullptr, clock);
    buffer.Parser().Info.Depth = 99;
    buffer.FeedText(Nmea(c.body) + "\r\n");
    if (c.depth == NoDataValue)
      EXPECT_EQ(buffer.Parser().Info.Depth, NoDataValue) << c.body;
    else
      EXPECT_NEAR(buffer.Parser().Info.Depth, c.depth, 1e-12) << c.body;
  }
}

TEST_F(TNmeaFixture, WindSentences) {
  info.SOG = 0;
  info.Heading = Rad(30);
  SendBody("IIMWV,045,R,10.0,N,A");
  EXPECT_NEAR(Deg(info.ApparentWindAngle), 45, 1e-9);
  EXPECT_NEAR(info.ApparentWindSpeed, 5.144444444444444, 1e-12);
  // At rest the true wind is the apparent wind.
  EXPECT_NEAR(Deg(info.TrueWindAngle), 45, 1e-9);
  EXPECT_NEAR(info.TrueWindSpeed, 5.144444444444444, 1e-9);
  EXPECT_NEAR(Deg(info.TrueWindDirection), 75, 1e-9);
  EXPECT_EQ(parser.Seen, kSeenMWVRelative);
  // Status V: all wind values become 0.
  SendBody("IIMWV,045,R,10.0,N,V");
  EXPECT_EQ(info.ApparentWindAngle, 0);
  EXPECT_EQ(info.TrueWindSpeed, 0);
  EXPECT_EQ(info.WindVMG, info.SOG);
  // Under way: true wind from the triangle. 90 deg apparent at 10 kn with 10 kn
  // boat speed is 135 deg true at 14.14 kn.
  info.SOG = 10;
  SendBody("IIMWV,090,R,18.52,K,A");
  EXPECT_NEAR(Deg(info.TrueWindAngle), 135, 1e-9);
  EXPECT_NEAR(info.TrueWindSpeed / 0.51444444444444444443, 14.142135623730951, 1e-6);
  EXPECT_NEAR(info.WindVMG, std::abs(std::cos(Rad(135)) * 10), 1e-9);
  // VWR is ignored after MWV R; "L" turns the angle to port on its own.
  SendBody("IIVWR,30.0,L,10.0,N,,,,");
  EXPECT_NEAR(Deg(info.ApparentWindAngle), 90, 1e-9);
  TNMEALineBuffer other(nullptr, clock);
  other.FeedText(Nmea("IIVWR,30.0,L,10.0,M,,,,") + "\r\n");
  EXPECT_NEAR(Deg(other.Parser().Info.ApparentWindAngle), 330, 1e-9);
  EXPECT_DOUBLE_EQ(other.Parser().Info.ApparentWindSpeed, 10.0);
  // A true wind received afterwards leaves the apparent wind alone.
  SendBody("IIMWV,100,T,10.0,M,A");
  EXPECT_NEAR(Deg(info.TrueWindAngle), 100, 1e-9);
  EXPECT_NEAR(Deg(info.ApparentWindAngle), 90, 1e-9);
  // A direction-less MWD (speed only) leaves the wind alone.
  SendBody("IIMWD,,,,,08.16,N,04.20,M");
  EXPECT_NEAR(Deg(info.TrueWindAngle), 100, 1e-9);
  EXPECT_FALSE(parser.Seen & kSeenMWD);
  // Garbage: the wind is zeroed.
  SendBody("IIMWV,1e300,T,10.0,M,A");
  EXPECT_EQ(info.TrueWindAngle, 0);
}

TEST_F(TNmeaFixture, DateDatumRateAndTemperature) {
  SendBody("GPZDA,194104,16,09,2006,-05,00");
  TDateTime date = 0;
  ASSERT_TRUE(TryEncodeDate(2006, 9, 16, date));
  EXPECT_DOUBLE_EQ(info.GpsDateTime, date + (19 * 3600 + 41 * 60 + 4) / 86400.0);
  EXPECT_EQ(parser.Seen, kSeenDate);
  SendBody("GPZDA,194105,31,02,2006,,");  // no such date: unchanged
  EXPECT_DOUBLE_EQ(info.GpsDateTime, date + (19 * 3600 + 41 * 60 + 4) / 86400.0);

  // The local datum is 0.5' north and 1.5' west of WGS 84: positions are
  // moved back by that much.
  SendBody("GPDTM,999,,0.5,N,1.5,W,0.0,W84");
  EXPECT_NEAR(info.DatumOffset.Y, -Rad(0.5 / 60), 1e-15);
  EXPECT_NEAR(info.DatumOffset.X, Rad(1.5 / 60), 1e-15);
  SendBody("GPGLL,5930.500,N,01800.000,E,120000,A,A");
  EXPECT_NEAR(Deg(info.Pos.Y), 59.5, 1e-12);
  EXPECT_NEAR(Deg(info.Pos.X), 18 + 1.5 / 60, 1e-12);
  EXPECT_NEAR(Deg(info.RawPos.Y), 59 + 30.5 / 60, 1e-12);
  for (const char* bad : {"GPDTM,999,,x,N,1.5,W,0.0,W84", "GPDTM,999,,0.5,N,1e300,W,0.0,W84"}) {
    SendBody("GPDTM,999,,0.5,N,1.5,W,0.0,W84");
    SendBody(bad);
    EXPECT_EQ(info.DatumOffset, TFPoint{}) << bad;
  }

  SendBody("TIROT,-12.5,A");
  EXPECT_DOUBLE_EQ(info.RateOfTurn, -12.5);
  SendBody("TIROT,-12.5,V");
  EXPECT_EQ(info.RateOfTurn, NoDataValue);
  SendBody("IIMTW,16.8,C");
  EXPECT_DOUBLE_EQ(info.WaterTemp, 16.8);
  SendBody("IIMTW,16.8,C,extra");  // an unexpected field count is ignored
  SendBody("IIMTW,warm,C");
  EXPECT_DOUBLE_EQ(info.WaterTemp, 16.8);
}

}  // namespace
