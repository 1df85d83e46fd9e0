// Signal K deltas into the navigation state and the AIS table, without a
// server: each value must land where the NMEA sentence carrying it puts it.
#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "NMEATestUtil.h"
#include "TestSupport.h"
#include "instruments/AIS.h"
#include "instruments/SignalK.h"

namespace {

constexpr const char* kSelf = "vessels.urn:mrn:signalk:uuid:c0d79334-4e25-4245-8892-54e8ccc80000";

// One delta: a context ("" for none) and one update of the given values
// ("[{...},...]"), from `source`.
std::string Delta(std::string_view context, std::string_view values, std::string_view source = "n2k.1") {
  std::string s = "{";
  if (!context.empty()) s += "\"context\":\"" + std::string(context) + "\",";
  s += "\"updates\":[{\"$source\":\"" + std::string(source) + "\",\"timestamp\":\"2025-06-01T12:00:00.000Z\","
       "\"values\":" + std::string(values) + "}]}";
  return s;
}
std::string Value(std::string_view path, std::string_view json) {
  return "{\"path\":\"" + std::string(path) + "\",\"value\":" + std::string(json) + "}";
}

class SignalKFixture : public testing::Test {
 protected:
  TManualClock clock;
  TNMEA parser{clock};
  TAisDecoder ais{parser};
  TSignalKReader reader{parser, &ais};
  // The same values as NMEA sentences, into a parser of their own.
  TNMEALineBuffer nmea{nullptr, clock};

  void SetUp() override {
    ASSERT_EQ(reader.Take("{\"name\":\"signalk-server\",\"version\":\"2.23.0\",\"self\":\"" + std::string(kSelf) +
                          "\",\"roles\":[\"master\",\"main\"]}"),
              TSignalKReader::TKind::Hello);
  }
  void Own(std::string_view values, std::string_view source = "n2k.1") {
    EXPECT_EQ(reader.Take(Delta(kSelf, "[" + std::string(values) + "]", source)), TSignalKReader::TKind::Delta)
        << values;
  }
  void Sentence(std::string_view body) {
    nmea.FeedText(Nmea(body));
    nmea.FeedText("\r\n");
  }
  const TAIS_Rec* Target(int32_t mmsi) {
    for (const TAIS_Rec& t : ais.Targets())
      if (t.TargetState != kAisFree && t.MMSI == mmsi) return &t;
    return nullptr;
  }
};

TEST_F(SignalKFixture, OwnValuesLandWhereTheirSentencesPutThem) {
  // Each case: the Signal K values, the NMEA sentences that carry the same,
  // and the record fields that must agree.
  using F = std::function<double(const TNMEAINFO&)>;
  const F pos = [](const TNMEAINFO& i) { return i.Pos.X * 1000 + i.Pos.Y; };
  const F sog = [](const TNMEAINFO& i) { return i.SOG; };
  const F cog = [](const TNMEAINFO& i) { return i.COG; };
  const F heading = [](const TNMEAINFO& i) { return i.Heading; };
  const F velocity = [](const TNMEAINFO& i) { return i.VelEast * 100 + i.VelNorth; };
  const F magCourse = [](const TNMEAINFO& i) { return i.MagCourse; };
  const F compass = [](const TNMEAINFO& i) { return i.CompassHeading; };
  const F magHeading = [](const TNMEAINFO& i) { return i.MagHeading; };
  const F depth = [](const TNMEAINFO& i) { return i.Depth; };
  const F temp = [](const TNMEAINFO& i) { return i.WaterTemp; };
  const F stw = [](const TNMEAINFO& i) { return i.WaterSpeed; };
  const F rot = [](const TNMEAINFO& i) { return i.RateOfTurn; };
  const F wind = [](const TNMEAINFO& i) {
    return i.ApparentWindAngle + 10 * i.ApparentWindSpeed + 100 * i.TrueWindAngle + 1000 * i.TrueWindSpeed +
           10000 * i.TrueWindDirection + 100000 * i.WindVMG;
  };
  const F fix = [](const TNMEAINFO& i) { return i.FixStatus * 100 + i.CogSogSource * 10 + i.FixQuality; };
  struct Case {
    const char* name;
    std::string values;
    std::vector<std::string> sentences;
    std::vector<F> fields;
    uint32_t seen;
  } cases[] = {
      {"fix and motion as RMC",
       Value("navigation.position", R"({"latitude":59.5,"longitude":18.25})") + "," +
           Value("navigation.speedOverGround", "2.5722222222222224") + "," +
           Value("navigation.courseOverGroundTrue", "0.5235987755982988") + "," +
           Value("navigation.magneticVariation", "-0.05235987755982988"),
       {"GPRMC,120000,A,5930.000,N,01815.000,E,5.0,30.0,010625,3.0,W,A"},
       {pos, sog, cog, heading, velocity, magCourse, fix},
       kSeenRMC},
      {"slow: the compass heading is the heading",
       Value("navigation.headingTrue", "1.0") + "," + Value("navigation.speedOverGround", "0.5") + "," +
           Value("navigation.courseOverGroundTrue", "2.0"),
       {"HCHDT,57.2957795,T", "GPRMC,120000,A,5930.000,N,01815.000,E,0.97192,114.591559,010625,,,A"},
       {heading, compass, magHeading},
       kSeenHDT},
      {"true heading as HDT", Value("navigation.headingTrue", "4.0"), {"HCHDT,229.183118,T"}, {compass, magHeading, heading}, kSeenHDT},
      {"magnetic heading as HDM", Value("navigation.headingMagnetic", "0.25"), {"HCHDM,14.3239449,M"},
       {compass, magHeading, heading}, kSeenHDM},
      {"depth below the transducer as DPT", Value("environment.depth.belowTransducer", "12.5"), {"SDDPT,12.5,0.4"},
       {depth}, kSeenDepth},
      {"water temperature as MTW", Value("environment.water.temperature", "290.15"), {"YXMTW,17.0,C"}, {temp}, 0},
      {"water speed as VHW", Value("navigation.speedThroughWater", "3.0866666666666667"), {"VWVHW,,T,,M,6.0,N,,K"},
       {stw}, kSeenVHW},
      {"rate of turn as ROT", Value("navigation.rateOfTurn", "0.0174532925199433"), {"TIROT,60.0,A"}, {rot},
       kSeenROT},
      {"apparent wind as MWV R, to port",
       Value("environment.wind.angleApparent", "-0.7853981633974483") + "," +
           Value("environment.wind.speedApparent", "5.144444444444445"),
       {"WIMWV,315.0,R,10.0,N,A"},
       {wind},
       kSeenMWVRelative},
      {"true wind as MWV T",
       Value("environment.wind.angleTrueWater", "1.5707963267948966") + "," +
           Value("environment.wind.speedTrue", "7.0"),
       {"WIMWV,90.0,T,7.0,M,A"},
       {wind},
       kSeenMWVTrue},
      {"true wind direction as MWD",
       Value("environment.wind.directionTrue", "3.141592653589793") + "," + Value("environment.wind.speedTrue", "4.0"),
       {"WIMWD,180.0,T,,M,7.775377969762419,N,4.0,M"},
       {wind},
       kSeenMWD},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TManualClock caseClock;
    TNMEA sk(caseClock);
    TSignalKReader r(sk, nullptr);
    TNMEALineBuffer n(nullptr, caseClock);
    ASSERT_EQ(r.Take(Delta("", "[" + c.values + "]")), TSignalKReader::TKind::Delta);
    for (const std::string& s : c.sentences) {
      n.FeedText(Nmea(s));
      n.FeedText("\r\n");
    }
    for (size_t k = 0; k < c.fields.size(); ++k) EXPECT_NEAR(c.fields[k](sk.Info), c.fields[k](n.Parser().Info), 1e-6) << "field " << k;
    EXPECT_EQ(sk.Seen & c.seen, c.seen);
    EXPECT_EQ(n.Parser().Seen & c.seen, c.seen);  // the sentences were taken
    EXPECT_NE(n.Parser().Updated, 0u);
    EXPECT_EQ(r.Counters().Dropped(), 0);
  }
}

TEST_F(SignalKFixture, NullIsNoDataNeverZero) {
  Own(Value("navigation.position", R"({"latitude":59.5,"longitude":18.25})") + "," +
      Value("environment.depth.belowTransducer", "7.5") + "," + Value("navigation.speedOverGround", "2.0") + "," +
      Value("environment.water.temperature", "285.0"));
  const TFPoint before = parser.Info.Pos;
  EXPECT_EQ(parser.Info.FixStatus, kFixValid);
  Own(Value("navigation.position", "null") + "," + Value("environment.depth.belowTransducer", "null") + "," +
      Value("navigation.speedOverGround", "null") + "," + Value("environment.water.temperature", "null"));
  EXPECT_EQ(parser.Info.FixStatus, kFixInvalid);
  EXPECT_EQ(parser.Info.Pos.X, before.X);  // an unknown position does not move the boat
  EXPECT_TRUE(IsNoData(parser.Info.Depth));
  EXPECT_TRUE(IsNoData(parser.Info.SOG));
  EXPECT_TRUE(IsNoData(parser.Info.WaterTemp));
  EXPECT_TRUE(IsNoData(parser.Info.VelEast));
  // Apparent wind without an angle: unknown, not calm.
  Own(Value("environment.wind.angleApparent", "0.5") + "," + Value("environment.wind.speedApparent", "3.0"));
  Own(Value("environment.wind.angleApparent", "null"));
  EXPECT_TRUE(IsNoData(parser.Info.ApparentWindAngle));
  EXPECT_TRUE(IsNoData(parser.Info.ApparentWindSpeed));
  EXPECT_EQ(reader.Counters().Dropped(), 0);
}

TEST_F(SignalKFixture, DepthIsKeptBelowTheTransducer) {
  reader.TransducerDepth = 0.5;
  Own(Value("environment.depth.belowSurface", "10.0"));
  EXPECT_DOUBLE_EQ(parser.Info.Depth, 9.5);  // the settings' transducer depth
  Own(Value("environment.depth.surfaceToTransducer", "0.8") + "," + Value("environment.depth.belowSurface", "10.0"));
  EXPECT_DOUBLE_EQ(parser.Info.Depth, 9.2);  // the server's own offset
  Own(Value("environment.depth.belowKeel", "6.0"));
  EXPECT_DOUBLE_EQ(parser.Info.Depth, 9.2);  // below the keel means nothing without the keel's depth
  Own(Value("environment.depth.transducerToKeel", "1.2") + "," + Value("environment.depth.belowKeel", "6.0"));
  EXPECT_DOUBLE_EQ(parser.Info.Depth, 7.2);
  // Once the transducer's own depth comes, the others are not taken.
  Own(Value("environment.depth.belowTransducer", "4.0"));
  Own(Value("environment.depth.belowSurface", "20.0") + "," + Value("environment.depth.belowKeel", "20.0"));
  EXPECT_DOUBLE_EQ(parser.Info.Depth, 4.0);
}

TEST_F(SignalKFixture, GnssQualityAndTime) {
  Own(Value("navigation.gnss.methodQuality", "\"DGNSS fix\"") + "," + Value("navigation.gnss.satellites", "9") + "," +
      Value("navigation.gnss.horizontalDilution", "0.9") + "," + Value("navigation.gnss.antennaAltitude", "3.5"));
  EXPECT_EQ(parser.Info.FixQuality, 2);
  EXPECT_EQ(parser.Info.Satellites, 9);
  EXPECT_DOUBLE_EQ(parser.Info.HDOP, 0.9);
  EXPECT_DOUBLE_EQ(parser.Info.Altitude, 3.5);
  // Without a date, the fix's time stamp dates it.
  Own(Value("navigation.position", R"({"latitude":1,"longitude":2})"));
  EXPECT_NEAR(parser.Info.GpsDateTime, *TSignalKReader::ReadTimestamp("2025-06-01T12:00:00Z"), 1e-9);
  Own(Value("navigation.datetime", "\"2025-06-02T08:30:00.500Z\""));
  EXPECT_NEAR(parser.Info.GpsDateTime, *TSignalKReader::ReadTimestamp("2025-06-02T08:30:00.5Z"), 1e-9);
  EXPECT_TRUE(parser.Seen & kSeenDate);
  Own(Value("navigation.position", R"({"latitude":1,"longitude":2})"));
  EXPECT_NEAR(parser.Info.GpsDateTime, *TSignalKReader::ReadTimestamp("2025-06-02T08:30:00.5Z"), 1e-9);
  Own(Value("navigation.gnss.methodQuality", "\"no GPS\""));
  EXPECT_EQ(parser.Info.FixStatus, kFixInvalid);
}

TEST_F(SignalKFixture, BadInputIsDroppedAndCounted) {
  Own(Value("environment.depth.belowTransducer", "5.0"));
  struct Case {
    std::string message;
    int64_t TSignalKCounters::*counter;
  } cases[] = {
      {"<html>502 Bad Gateway</html>", &TSignalKCounters::NotJson},
      {"[1,2,3]", &TSignalKCounters::NotJson},
      {"{\"updates\":[" + std::string(TSignalKReader::kMaxMessage, ' ') + "]}", &TSignalKCounters::TooLarge},
      {Delta(kSelf, "[" + Value("environment.depth.belowTransducer", "1e999") + "]"), &TSignalKCounters::BadNumbers},
      {Delta(kSelf, "[" + Value("environment.depth.belowTransducer", "-5000") + "]"), &TSignalKCounters::BadNumbers},
      {Delta(kSelf, "[" + Value("navigation.position", R"({"latitude":95,"longitude":0})") + "]"),
       &TSignalKCounters::BadNumbers},
      {Delta(kSelf, "[" + Value("environment.depth.belowTransducer", "\"deep\"") + "]"), &TSignalKCounters::BadTypes},
      {Delta(kSelf, "[" + Value("navigation.position", "[59,18]") + "]"), &TSignalKCounters::BadTypes},
      {Delta(kSelf, "[{\"value\":3}]"), &TSignalKCounters::BadTypes},
      {"{\"context\":\"" + std::string(kSelf) + "\",\"updates\":{}}", &TSignalKCounters::BadTypes},
      {"{\"context\":7,\"updates\":[]}", &TSignalKCounters::BadTypes},
      {Delta("vessels.urn:mrn:signalk:uuid:other", "[" + Value("navigation.position", R"({"latitude":1,"longitude":1})") + "]"),
       &TSignalKCounters::TargetsRefused},  // a station without an MMSI
  };
  for (const Case& c : cases) {
    const int64_t before = reader.Counters().*c.counter;
    EXPECT_EQ(reader.Take(c.message), TSignalKReader::TKind::Dropped) << c.message.substr(0, 120);
    EXPECT_EQ(reader.Counters().*c.counter, before + 1) << c.message.substr(0, 120);
  }
  EXPECT_DOUBLE_EQ(parser.Info.Depth, 5.0);
  EXPECT_EQ(parser.Info.FixStatus, kFixNone);
}

TEST_F(SignalKFixture, ASecondSourceWaitsUntilTheFirstFallsSilent) {
  Own(Value("environment.depth.belowTransducer", "5.0"), "nmea0183.SD");
  Own(Value("environment.depth.belowTransducer", "50.0"), "n2k.35");
  EXPECT_DOUBLE_EQ(parser.Info.Depth, 5.0);
  EXPECT_EQ(reader.Counters().OtherSource, 1);
  clock.Advance(TSignalKReader::kSourceHold + std::chrono::seconds(1));
  Own(Value("environment.depth.belowTransducer", "50.0"), "n2k.35");
  EXPECT_DOUBLE_EQ(parser.Info.Depth, 50.0);
  Own(Value("environment.depth.belowTransducer", "6.0"), "nmea0183.SD");
  EXPECT_DOUBLE_EQ(parser.Info.Depth, 50.0);
}

TEST_F(SignalKFixture, StationsBecomeTargetsAsFromTheRadio) {
  const std::string ctx = "vessels.urn:mrn:imo:mmsi:246397000";
  reader.Take(Delta(ctx, "[" + Value("navigation.position", R"({"longitude":11.459363,"latitude":57.868602})") + "," +
                             Value("navigation.speedOverGround", "5.71") + "," +
                             Value("navigation.courseOverGroundTrue", "4.0387") + "," +
                             Value("navigation.headingTrue", "4.1015") + "," + Value("navigation.state", "\"moored\"") +
                             "," + Value("sensors.ais.class", "\"A\"") + "]", "file.AI"));
  reader.Take(Delta(ctx, "[" + Value("", R"({"name":"Coral Millepora"})") + "," +
                             Value("", R"({"communication":{"callsignVhf":"PDMK"}})") + "," +
                             Value("navigation.destination.commonName", "\"PORVOO  FIN\"") + "," +
                             Value("design.length", R"({"overall":100})") + "," + Value("design.beam", "15") + "," +
                             Value("design.draft", R"({"current":5.9})") + "," + Value("sensors.ais.fromBow", "85") +
                             "," + Value("sensors.ais.fromCenter", "4.5") + "]", "file.AI"));
  const TAIS_Rec* t = Target(246397000);
  ASSERT_TRUE(t);
  EXPECT_EQ(t->Kind, kAisClassA);
  EXPECT_EQ(t->TargetState, kAisActive);
  EXPECT_EQ(CleanAisText(t->Name.View()), "CORAL MILLEPORA");
  EXPECT_EQ(CleanAisText(t->CallSign.View()), "PDMK");
  EXPECT_EQ(CleanAisText(t->Destination.View()), "PORVOO  FIN");
  EXPECT_EQ(t->RawLat, 34721161);  // 57.868602 degrees in 1/10000 minute
  EXPECT_EQ(t->RawLon, 6875618);
  EXPECT_EQ(t->RawSOG, 111);
  EXPECT_EQ(t->RawCOG, 2314);
  EXPECT_EQ(t->RawHeading, 235);
  EXPECT_EQ(t->NavStatus, 5);
  EXPECT_EQ(t->ToBow, 85);
  EXPECT_EQ(t->ToStern, 15);
  EXPECT_EQ(t->ToPort, 12);
  EXPECT_EQ(t->ToStarboard, 3);
  EXPECT_EQ(t->Draught, 59);
  EXPECT_EQ(t->LengthM, 100);

  // Class B: the two halves of its static report; an aid to navigation; a
  // base station told by its MMSI before its class comes.
  reader.Take(Delta("vessels.urn:mrn:imo:mmsi:211199460",
                    "[" + Value("sensors.ais.class", "\"B\"") + "," +
                        Value("navigation.position", R"({"longitude":11.66,"latitude":57.92})") + "," +
                        Value("", R"({"name":"WIND"})") + "]"));
  reader.Take(Delta("atons.urn:mrn:imo:mmsi:992656001",
                    "[" + Value("navigation.position", R"({"longitude":11.7,"latitude":57.9})") + "," +
                        Value("", R"({"name":"HAKEFJORD N"})") + "]"));
  reader.Take(Delta("atons.urn:mrn:imo:mmsi:002655150",
                    "[" + Value("navigation.position", R"({"longitude":12.05,"latitude":57.69})") + "]"));
  ASSERT_TRUE(Target(211199460));
  EXPECT_EQ(Target(211199460)->Kind, kAisClassB);
  EXPECT_EQ(CleanAisText(Target(211199460)->Name.View()), "WIND");
  ASSERT_TRUE(Target(992656001));
  EXPECT_EQ(Target(992656001)->Kind, kAisAtoN);
  EXPECT_EQ(CleanAisText(Target(992656001)->Name.View()), "HAKEFJORD N");
  ASSERT_TRUE(Target(2655150));
  EXPECT_EQ(Target(2655150)->Kind, kAisBaseStation);

  // Not targets: the own vessel, the own transponder's reports (VDO), the
  // "AIS Own MSSI".
  const size_t before = ais.Targets().size() - std::count_if(ais.Targets().begin(), ais.Targets().end(),
                                                             [](const TAIS_Rec& r) { return r.TargetState == kAisFree; });
  reader.Take(Delta(kSelf, "[" + Value("navigation.position", R"({"longitude":11,"latitude":57})") + "]"));
  reader.Take("{\"context\":\"vessels.urn:mrn:imo:mmsi:265599690\",\"updates\":[{\"source\":{\"sentence\":\"VDO\"},"
              "\"values\":[" + Value("navigation.position", R"({"longitude":11,"latitude":57})") + "]}]}");
  reader.Take(Delta("vessels.urn:mrn:imo:mmsi:265599690",
                    "[" + Value("navigation.position", R"({"longitude":11.1,"latitude":57.1})") + "]"));
  parser.OwnMMSI = 230000001;
  reader.Take(Delta("vessels.urn:mrn:imo:mmsi:230000001",
                    "[" + Value("navigation.position", R"({"longitude":11.2,"latitude":57.2})") + "]"));
  EXPECT_FALSE(Target(265599690));
  EXPECT_FALSE(Target(230000001));
  EXPECT_EQ(ais.Targets().size() - std::count_if(ais.Targets().begin(), ais.Targets().end(),
                                                 [](const TAIS_Rec& r) { return r.TargetState == kAisFree; }),
            before);
}

TEST_F(SignalKFixture, ThousandsOfStationsStopAtTheCap) {
  const size_t n = TSignalKReader::kMaxContexts + 20;
  for (size_t i = 0; i < n; ++i)
    reader.Take(Delta("vessels.urn:mrn:imo:mmsi:" + std::to_string(200000000 + i),
                      "[{\"path\":\"navigation.position\",\"value\":{\"longitude\":11,\"latitude\":57}}]"));
  EXPECT_EQ(reader.Contexts(), TSignalKReader::kMaxContexts);
  EXPECT_EQ(reader.Counters().TargetsRefused, 20);
  EXPECT_LE(ais.TargetCount(), kAisMaxTargets);
}

TEST(SignalK, TimestampsAndContexts) {
  struct Case {
    const char* text;
    double expect;  // days since 1899-12-30; -1: refused
  } cases[] = {
      {"2025-06-01T12:00:00Z", 45809.5},
      {"2025-06-01T12:00:00.250Z", 45809.5 + 0.25 / 86400},
      {"2025-06-01T14:00:00+02:00", 45809.5},
      {"2025-06-01T10:30:00-0130", 45809.5},
      {"2025-06-01T12:00:00", 45809.5},
      {"2025-02-30T12:00:00Z", -1},
      {"2025-06-01T25:00:00Z", -1},
      {"2025-06-01T12:00:00.Z", -1},
      {"2025-06-01 12:00", -1},
      {"not a time at all!!", -1},
      {"2025-06-01T12:00:00Zjunk", -1},
  };
  for (const Case& c : cases) {
    const auto t = TSignalKReader::ReadTimestamp(c.text);
    if (c.expect < 0) {
      EXPECT_FALSE(t) << c.text;
    } else {
      ASSERT_TRUE(t) << c.text;
      EXPECT_NEAR(*t, c.expect, 1e-9) << c.text;
    }
  }
  EXPECT_EQ(TSignalKReader::ContextMmsi("vessels.urn:mrn:imo:mmsi:230000001"), 230000001);
  EXPECT_EQ(TSignalKReader::ContextMmsi("atons.urn:mrn:imo:mmsi:002655150"), 2655150);
  EXPECT_FALSE(TSignalKReader::ContextMmsi("vessels.urn:mrn:imo:mmsi:2300000011"));
  EXPECT_FALSE(TSignalKReader::ContextMmsi("vessels.urn:mrn:imo:mmsi:23000x001"));
  EXPECT_FALSE(TSignalKReader::ContextMmsi("vessels.urn:mrn:signalk:uuid:abc"));
}

TEST(SignalK, MonitorLinesAreBoundedAndPrintable) {
  const std::string line = TSignalKReader::MonitorLine(std::string("{\"a\":\"\xc3\xa5\n\"}") + std::string(1000, 'x'));
  EXPECT_EQ(line.size(), TSignalKReader::kMonitorLine);
  EXPECT_EQ(line.substr(0, 10), "{\"a\":\"?? \"");
}

}  // namespace
