// AIS: decoding against gpsd on real recordings, multi-part assembly and
// hostile payloads, the target table's life cycle, and closest approach on
// scripted encounters computed independently here.
#include <algorithm>
#include <chrono>
#include <climits>
#include <cmath>
#include <cstdio>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "NMEATestUtil.h"
#include "TestSupport.h"
#include "instruments/AIS.h"
#include "instruments/AisTestUtil.h"

namespace {

using namespace aisfix;

// ---------------------------------------------------------------------------
// The fixture: a parser on a manual clock with the decoder attached; the own
// vessel lies still at 57.7 N 11.6 E unless a test moves it.

constexpr double kOwnLat = 57.7, kOwnLon = 11.6;

class AisTest : public testing::Test {
 protected:
  TManualClock clock;
  TNMEALineBuffer buffer{nullptr, clock};
  TNMEA& parser = buffer.Parser();
  TAisDecoder ais{parser};
  int messages = 0;

  void SetUp() override {
    buffer.Source = kSourcePortA;
    ais.OnMessage = [this](const TAisMessage&, bool) { ++messages; };
    parser.Info.Pos = {Rad(kOwnLon), Rad(kOwnLat)};
    parser.Info.VelEast = parser.Info.VelNorth = 0;
  }
  void Send(std::string_view sentence, TNMEALineBuffer* from = nullptr) {
    TNMEALineBuffer& b = from ? *from : buffer;
    b.FeedText(sentence);
    b.FeedText("\r\n");
  }
  void Send(const TPayload& p) { Send(Vdm(p)); }
  void SendAll(const std::vector<std::string>& sentences) {
    for (const std::string& s : sentences) Send(s);
  }
  int Slot(int32_t mmsi) const {
    for (int i = 0; i < ais.TargetCount(); ++i)
      if (ais.Target(i).MMSI == mmsi) return i;
    return -1;
  }
  const TAIS_Rec& Rec(int32_t mmsi) const {
    const int i = Slot(mmsi);
    EXPECT_GE(i, 0) << "no target " << mmsi;
    static const TAIS_Rec none;
    return i >= 0 ? ais.Target(i) : none;
  }
  std::vector<std::string> List() const {
    std::vector<std::string> l;
    ais.ListTargets(l);
    return l;
  }
};

// ---------------------------------------------------------------------------
// Against gpsd

// One line of JSON as printed by gpsd and by brtool ais: top-level keys with
// their values as text (strings unescaped, nested values left raw).
using TJson = std::map<std::string, std::string>;

bool ParseJsonLine(std::string_view s, TJson& out) {
  size_t i = 0;
  auto ws = [&] {
    while (i < s.size() && (s[i] == ' ' || s[i] == '\t' || s[i] == '\r')) ++i;
  };
  auto str = [&](std::string& v) {
    if (i >= s.size() || s[i] != '"') return false;
    for (++i; i < s.size() && s[i] != '"'; ++i) {
      if (s[i] == '\\' && i + 1 < s.size()) ++i;
      v += s[i];
    }
    return i++ < s.size();
  };
  ws();
  if (i >= s.size() || s[i++] != '{') return false;
  for (;;) {
    ws();
    std::string key, value;
    if (!str(key)) return false;
    ws();
    if (i >= s.size() || s[i++] != ':') return false;
    ws();
    if (i < s.size() && s[i] == '"') {
      if (!str(value)) return false;
    } else {
      int depth = 0;
      bool quoted = false;
      for (; i < s.size(); ++i) {
        const char c = s[i];
        if (quoted) {
          if (c == '\\') ++i;
          else if (c == '"') quoted = false;
        } else if (c == '"') {
          quoted = true;
        } else if (c == '[' || c == '{') {
          ++depth;
        } else if (c == ']' || c == '}') {
          if (depth == 0) break;
          --depth;
        } else if (c == ',' && depth == 0) {
          break;
        }
        value += c;
      }
    }
    out[key] = value;
    ws();
    if (i >= s.size()) return false;
    if (s[i] == '}') return true;
    if (s[i++] != ',') return false;
  }
}

// The AIS objects of one output, in order.
std::vector<TJson> AisObjects(const std::string& text) {
  std::vector<TJson> v;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    TJson j;
    if (ParseJsonLine(std::string_view(text).substr(start, end - start), j) && j["class"] == "AIS") v.push_back(j);
    start = end + 1;
  }
  return v;
}

std::string ReadCommand(const std::string& command) {
  std::string out;
  FILE* p = ::popen(command.c_str(), "r");
  if (!p) return out;
  char buf[65536];
  size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
  ::pclose(p);
  return out;
}

// A message of gpsd's output that we do not decode, on purpose.
struct TAllowedMissing {
  int Type;
  const char* MMSI;
  const char* Why;
};

struct TComparison {
  int Matched = 0;
  int FieldsCompared = 0;
  std::vector<std::string> Failures;
};

// Compares, in order, every gpsd message of a type we decode with ours, field
// by field over the fields we print. gpsd prints a type 24 report once both
// of its parts have arrived, merged; it is matched with our part B, and its
// name with our last part A of the station. Ours may hold parts gpsd has not
// printed yet; every other message must be in both, unless listed in
// `allowed`. Differences allowed everywhere: gpsd gives the name of an aid to
// navigation with its extension, we keep the first 20 characters.
TComparison CompareWithGpsd(const std::vector<TJson>& ours, const std::vector<TJson>& gpsd,
                            const std::vector<TAllowedMissing>& allowed, std::vector<int>& allowedUsed) {
  TComparison c;
  allowedUsed.assign(allowed.size(), 0);
  std::map<std::string, std::string> lastPartA;  // MMSI -> name
  size_t at = 0;
  auto decoded = [](const TJson& j) {
    const int type = std::stoi(j.at("type"));
    if (!AisTypeDecoded(type)) return false;
    return type != 8 || (j.count("dac") && j.at("dac") == "1" && j.at("fid") == "11");
  };
  for (const TJson& g : gpsd) {
    if (!decoded(g)) continue;
    const std::string type = g.at("type"), mmsi = g.at("mmsi");
    size_t k = at;
    auto same = [&](const TJson& o) {
      return o.at("type") == type && o.at("mmsi") == mmsi && (type != "24" || o.count("part") == 0 || o.at("part") == "B");
    };
    while (k < ours.size() && !same(ours[k])) ++k;
    if (k == ours.size()) {
      bool ok = false;
      for (size_t a = 0; a < allowed.size(); ++a)
        if (std::to_string(allowed[a].Type) == type && mmsi == allowed[a].MMSI) ok = ++allowedUsed[a] > 0;
      if (!ok) c.Failures.push_back("gpsd decoded type " + type + " of " + mmsi + ", we did not");
      continue;
    }
    for (size_t x = at; x < k; ++x) {
      const TJson& o = ours[x];
      if (o.at("type") == "24") {
        if (o.count("part") && o.at("part") == "A") lastPartA[o.at("mmsi")] = o.at("shipname");
      } else {
        c.Failures.push_back("we decoded type " + o.at("type") + " of " + o.at("mmsi") + ", gpsd did not");
      }
    }
    at = k + 1;
    const TJson& o = ours[k];
    ++c.Matched;
    for (const auto& [key, value] : o) {
      if (key == "class" || key == "part") continue;
      auto it = g.find(key);
      ++c.FieldsCompared;
      if (it == g.end()) {
        c.Failures.push_back("type " + type + " " + mmsi + ": gpsd has no " + key);
      } else if (type == "21" && key == "name" ? it->second.compare(0, value.size(), value) != 0
                                                : it->second != value) {
        c.Failures.push_back("type " + type + " " + mmsi + " " + key + ": ours " + value + ", gpsd " + it->second);
      }
    }
    if (type == "24" && lastPartA.count(mmsi) && g.count("shipname")) {
      ++c.FieldsCompared;
      if (g.at("shipname") != lastPartA[mmsi])
        c.Failures.push_back("type 24 " + mmsi + " shipname: ours " + lastPartA[mmsi] + ", gpsd " + g.at("shipname"));
    }
  }
  for (size_t x = at; x < ours.size(); ++x)
    if (ours[x].at("type") != "24")
      c.Failures.push_back("we decoded type " + ours[x].at("type") + " of " + ours[x].at("mmsi") + ", gpsd did not");
  return c;
}

std::string Join(const std::vector<std::string>& v) {
  std::string s;
  for (size_t i = 0; i < v.size() && i < 30; ++i) s += v[i] + "\n";
  return s;
}

// gpsd's own sample of every message type, with its expected unscaled output.
TEST(AisGpsd, SampleAgreesFieldByField) {
  REQUIRE_PROGRAM("brtool");
  REQUIRE_TESTDATA(sample, "ais/sample.aivdm");
  REQUIRE_TESTDATA(expected, "ais/sample.aivdm.ju.chk");
  const TProgramRun run = Brtool("ais \"" + sample + "\"");
  ASSERT_EQ(run.status, 0);
  const std::vector<TJson> ours = AisObjects(run.out);
  const std::vector<TJson> gpsd = AisObjects(ReadTestFile(expected));
  const std::vector<TAllowedMissing> allowed = {
      {1, "244740981", "sent with 5 fill bits (163 bits); position reports are taken at exactly 168"},
      {21, "4000003", "368 bits; aids to navigation are taken from 272 to 360 bits"},
  };
  std::vector<int> used;
  const TComparison c = CompareWithGpsd(ours, gpsd, allowed, used);
  EXPECT_TRUE(c.Failures.empty()) << Join(c.Failures);
  for (size_t a = 0; a < allowed.size(); ++a)
    EXPECT_EQ(used[a], 1) << "expected gpsd to decode " << allowed[a].MMSI << " (" << allowed[a].Why << ")";
  // Every type we decode occurs in the sample: 34 messages, all their fields.
  EXPECT_EQ(c.Matched, 34);
  EXPECT_GT(c.FieldsCompared, 400);
}

// A whole sailing log, "$" and "!" sentences mixed, VDM and VDO: every AIS
// message decodes as gpsdecode decodes it.
TEST(AisGpsd, HakefjordAgreesWithGpsdecode) {
  REQUIRE_PROGRAM("brtool");
  REQUIRE_TESTDATA(log, "nmea/Hakefjord.log");
  if (!TestFileExists("/usr/bin/gpsdecode"))
    GTEST_SKIP() << "/usr/bin/gpsdecode is missing (Debian package gpsd-clients)";
  const TProgramRun run = Brtool("ais \"" + log + "\"");
  ASSERT_EQ(run.status, 0);
  const std::vector<TJson> ours = AisObjects(run.out);
  const std::vector<TJson> gpsd = AisObjects(ReadCommand("/usr/bin/gpsdecode -u -j < \"" + log + "\" 2>/dev/null"));
  ASSERT_GT(gpsd.size(), 10000u);
  std::vector<int> used;
  const TComparison c = CompareWithGpsd(ours, gpsd, {}, used);
  EXPECT_TRUE(c.Failures.empty()) << c.Failures.size() << " differences, the first:\n" << Join(c.Failures);
  // Types 1, 3, 4, 5, 18 (VDM and the own VDO) and 24; type 8 there is FI 31.
  EXPECT_GT(c.Matched, 10700);
}

// ---------------------------------------------------------------------------
// Assembly and hostile input

// Nothing here may create a target, reach the decoder or read out of bounds
// (the sanitizers watch); a good message afterwards still decodes.
TEST_F(AisTest, HostileSentencesCreateNothing) {
  const std::string good = ClassA(211000001, 57.8, 11.7, 50, 900, 90).Text;
  std::string high = good;
  high[10] = static_cast<char>(0x80);
  std::string highFF = good;
  highFF[0] = static_cast<char>(0xFF);
  const std::vector<std::string> hostile = {
      Sentence(high, "0"),                     // byte 0x80 in the payload
      Sentence(highFF, "0"),                   // 0xFF as the type character
      Sentence(good.substr(0, 27) + "X", "0"),  // "X" lies between the two ranges
      Sentence(good, "6"),                     // fill bits 6 to 9 do not exist
      Sentence(good, "/"),
      Sentence(good, "\x1e"),                  // below "0": would make more bits than there are
      Sentence(good, ""),
      Sentence(good, "10"),
      Sentence("1", "0"),                      // one character: too short for the MMSI
      Sentence("", "0"),                       // empty payload
      Sentence("15M67F", "0"),                 // 36 bits
      Sentence(good.substr(0, 27), "0"),       // a position report of 162 bits
      Sentence(good, "0", "99", "1", "1"),     // a huge part count
      Sentence(good, "0", "10", "1", "1"),
      Sentence(good, "0", "0", "0", "1"),
      Sentence(good, "0", "3", "5", "1"),      // part beyond the count
      Sentence(good, "0", "2", "2", "1"),      // a last part without its first
      Sentence(good, "0", "2", "1", "12"),     // two-character sequence identifier
      Sentence(good, "0", "", "", ""),
  };
  for (const std::string& s : hostile) {
    SCOPED_TRACE(s);
    Send(s);
    EXPECT_EQ(messages, 0);
    EXPECT_EQ(ais.TargetCount(), 0);
  }
  // A "!" sentence always needs its checksum, even where the checksum
  // setting lets "$" sentences without one through.
  parser.ChecksumMode = 2;
  Send("!AIVDM,1,1,,A," + good + ",0");
  EXPECT_EQ(messages, 0);
  parser.ChecksumMode = 0;
  // Nine parts of 60 characters make a payload longer than any message.
  std::string long540;
  for (int i = 0; i < 9; ++i) long540 += good.substr(0, 27) + std::string(33, '0');
  SendAll(Parts({long540, 0}, '7', 60));
  EXPECT_EQ(messages, 0);
  EXPECT_EQ(ais.Assembler().PendingCount(), 0);

  Send(Sentence(good, "0"));
  EXPECT_EQ(messages, 1);
  EXPECT_EQ(Rec(211000001).TargetState, kAisActive);
}

// The bit reader refuses reads past the message and characters outside the
// six-bit alphabet; fields read across character boundaries come out whole.
TEST(AisBits, ReadsWithinTheMessageOnly) {
  TAisBits b;
  ASSERT_TRUE(b.Assign("w7", 2));  // 111111 000111, last 2 bits fill
  EXPECT_EQ(b.BitCount(), 10);
  EXPECT_EQ(b.U(4, 5), 0b11000u);
  EXPECT_EQ(b.S(0, 6), -1);
  EXPECT_TRUE(b.Ok());
  EXPECT_EQ(b.U(6, 5), 0u);  // bits 6-10: one past the last
  EXPECT_FALSE(b.Ok());
  b.ResetOk();
  EXPECT_EQ(b.U(-1, 3), 0u);
  EXPECT_FALSE(b.Ok());
  char text[8];
  EXPECT_EQ(b.Text(0, 8, true, text), 1);  // only one whole character
  for (const char* bad : {"w\x80", "x", "X", " ", "\xff"}) EXPECT_FALSE(b.Assign(bad, 0)) << bad;
  EXPECT_FALSE(b.Assign("w", 6));
  EXPECT_FALSE(b.Assign(std::string(kAisMaxPayloadChars + 1, '0'), 0));
}

// Parts are joined per source, per VDM/VDO and per sequence identifier: two
// receivers, the own transponder and two messages of one receiver may
// interleave their parts, with single-part messages in between.
TEST_F(AisTest, InterleavedMessagesAllAssemble) {
  TNMEALineBuffer portB(&parser, clock);
  portB.Source = kSourcePortB;
  const auto a = Parts(Static5(211000010, "ALPHA1", "ALPHA", 10, 5, 2, 2, 30, "GOTEBORG"), '3');
  const auto b = Parts(Static5(211000020, "BRAVO2", "BRAVO", 20, 5, 3, 3, 40, "OSLO"), '3');
  const auto own = Parts(Static5(265000000, "OWNCS", "OWN SHIP", 8, 2, 1, 2, 15, "HOME"), '3', 40, "AIVDO");
  const auto c = Parts(Static5(211000030, "CHARL3", "CHARLIE", 30, 5, 4, 4, 50, "KIEL"), '5');
  ASSERT_EQ(a.size(), 2u);
  Send(a[0]);
  Send(b[0], &portB);
  Send(own[0]);
  Send(c[0]);
  Send(Vdm(ClassA(211000040, 57.8, 11.7, 50, 900, 90)));
  Send(a[1]);
  Send(own[1]);
  Send(b[1], &portB);
  Send(c[1]);
  EXPECT_EQ(messages, 5);
  EXPECT_EQ(Rec(211000010).Name.View(), "ALPHA               ");
  EXPECT_EQ(Rec(211000020).Destination.View(), "OSLO                ");
  EXPECT_EQ(Rec(211000030).CallSign.View(), "CHARL3 ");
  EXPECT_EQ(CleanAisText(ais.OwnVessel.Name.View()), "OWN SHIP");
  EXPECT_EQ(ais.Assembler().PendingCount(), 0);
}

// Broken sequences are abandoned and never mix parts of two messages; the
// next first part starts clean.
TEST_F(AisTest, BrokenSequencesAreAbandoned) {
  const TPayload five = Static5(211000050, "ECHO5", "ECHO", 10, 5, 2, 2, 30, "RIGA");
  const auto m = Parts(five, '1');
  const auto n = Parts(Static5(211000060, "FOXT6", "FOXTROT", 10, 5, 2, 2, 30, "TALLINN"), '2');
  const auto three = Parts(five, '4', 25);
  ASSERT_EQ(three.size(), 3u);
  struct {
    const char* what;
    std::vector<std::string> sentences;
    int pendingAfter;
  } cases[] = {
      {"second part with another identifier", {m[0], n[1]}, 1},
      {"parts in the wrong order", {m[1], m[0]}, 1},
      {"a first part with fill bits", {Sentence(five.Text.substr(0, 40), "2", "2", "1", "1"), m[1]}, 0},
      {"the middle part missing", {three[0], three[2], three[1]}, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    SendAll(c.sentences);
    EXPECT_EQ(messages, 0);
    EXPECT_EQ(ais.Assembler().PendingCount(), c.pendingAfter);
    ais.Assembler().Reset();
  }
  // A first part starts afresh, also over a message left unfinished.
  Send(n[0]);
  SendAll(m);
  Send(three[0]);
  SendAll(n);
  EXPECT_EQ(messages, 2);
  EXPECT_EQ(CleanAisText(Rec(211000050).Name.View()), "ECHO");
  EXPECT_EQ(CleanAisText(Rec(211000060).Name.View()), "FOXTROT");
}

// ---------------------------------------------------------------------------
// Reports into the table

TEST_F(AisTest, ReportsSetKindsAndFields) {
  Send(ClassA(211000101, 57.75, 11.65, 123, 2240, 215, 7, -20));
  Send(ClassB(211000102, 57.76, 11.66, 51, 349, 511));
  Send(Sar(111000103, 57.77, 11.67, 42, 1545));
  Send(Station(4, 2000104, 57.78, 11.68));
  Send(Station(11, 211000105, 57.79, 11.69));
  Send(Aton(992000106, "NORTH CARDINAL", 57.80, 11.70));
  Send(Met(2000107, 3462000, 696000, 742, 224, 223, 0));
  ASSERT_EQ(messages, 7);

  const TAIS_Rec& a = Rec(211000101);
  EXPECT_EQ(a.Kind, kAisClassA);
  EXPECT_EQ(a.TargetState, kAisActive);
  EXPECT_EQ(a.RawLat, Raw(57.75));
  EXPECT_NEAR(a.TargetPos.Y, Rad(57.75), 1e-9);
  EXPECT_EQ(a.NavStatus, 7);
  EXPECT_EQ(a.RawROT, -20);
  EXPECT_DOUBLE_EQ(a.SOGKnots, 12.3);
  EXPECT_NEAR(a.COGRad, Rad(224.0), 1e-12);
  EXPECT_NEAR(a.HeadingRad, Rad(215.0), 1e-12);
  // At the default "AIS COG-Head Limit" (3 knots in the record) a vessel at
  // speed points along its course.
  EXPECT_DOUBLE_EQ(a.DisplayDir, a.COGRad);
  EXPECT_TRUE(a.Accuracy);

  const TAIS_Rec& b = Rec(211000102);
  EXPECT_EQ(b.Kind, kAisClassB);
  EXPECT_DOUBLE_EQ(b.SOGKnots, 5.1);
  EXPECT_EQ(b.RawHeading, 511);
  EXPECT_DOUBLE_EQ(b.HeadingRad, b.COGRad);  // no heading: the course

  const TAIS_Rec& s = Rec(111000103);
  EXPECT_EQ(s.Kind, kAisSarAircraft);
  EXPECT_DOUBLE_EQ(s.SOGKnots, 42.0);  // whole knots

  EXPECT_EQ(Rec(2000104).Kind, kAisBaseStation);
  EXPECT_EQ(Rec(211000105).Kind, kAisMobileStation);
  const TAIS_Rec& n = Rec(992000106);
  EXPECT_EQ(n.Kind, kAisAtoN);
  EXPECT_EQ(CleanAisText(n.Name.View()), "NORTH CARDINAL");
  EXPECT_EQ(n.TargetState, kAisActive);

  // The station's key is the parser's counter, wrapped past the largest value.
  const TAIS_Rec& m = Rec(INT_MIN);
  EXPECT_EQ(m.Kind, kAisMetStation);
  EXPECT_EQ(parser.TargetKeyCounter, INT_MIN);
  EXPECT_EQ(m.RawLat, 34620000);
  EXPECT_EQ(m.AirTemp, 142);   // raw - 600
  EXPECT_EQ(m.Pressure, 1024);  // raw + 800
  EXPECT_EQ(m.WaterTemp, 123);  // raw - 100
  EXPECT_EQ(m.WindDir, 270);
  EXPECT_FALSE(m.Ice);
  // Another report from the same position updates that record; one from
  // elsewhere is another station with the next key.
  Send(Met(2000107, 3462000, 696000, 752, 224, 223, 1));
  EXPECT_EQ(Rec(INT_MIN).AirTemp, 152);
  EXPECT_TRUE(Rec(INT_MIN).Ice);
  Send(Met(2000107, 3462500, 696000, 752, 224, 223, 3));
  EXPECT_EQ(Rec(INT_MIN + 1).Kind, kAisMetStation);
  EXPECT_FALSE(Rec(INT_MIN + 1).Ice);  // 3: not available
  EXPECT_EQ(ais.TargetCount(), 10);
}

// Values a transponder marks as unknown, or that cannot be, read as unknown.
TEST_F(AisTest, UnknownValuesStayUnknown) {
  struct {
    int sog, cog, heading;
    double sogKnots, cog_, heading_;  // degrees; -1: the other one
    int rawCog, rawHeading;
  } cases[] = {
      {80, 3600, 511, 0.0, 360.0, 360.0, 3600, 511},  // neither: speed 0, both 2 pi
      {80, 3600, 45, 8.0, 45.0, 45.0, 3600, 45},       // course from the heading
      {80, 4000, 400, 0.0, 360.0, 360.0, 3600, 511},   // out of range: not available
      {80, 900, 511, 8.0, 90.0, 90.0, 900, 511},       // heading from the course
      {1023, 900, 90, 102.3, 90.0, 90.0, 900, 90},     // speed not available
  };
  int mmsi = 211000200;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.cog);
    Send(ClassA(++mmsi, 57.8, 11.7, c.sog, c.cog, c.heading));
    const TAIS_Rec& t = Rec(mmsi);
    EXPECT_EQ(t.RawCOG, c.rawCog);
    EXPECT_EQ(t.RawHeading, c.rawHeading);
    EXPECT_DOUBLE_EQ(t.SOGKnots, c.sogKnots);
    EXPECT_NEAR(t.COGRad, Rad(c.cog_), 1e-12);
    EXPECT_NEAR(t.HeadingRad, Rad(c.heading_), 1e-12);
    EXPECT_TRUE(std::isfinite(t.DisplayDir));
    EXPECT_LE(t.TCPA, 0.0);  // moving away from the own vessel, or not known to move
  }
  // Latitude 91 degrees: no position, not listed, not drawn, no closest approach.
  Send(ClassA(211000300, 91.0, 11.7, 80, 900, 90));
  EXPECT_EQ(Rec(211000300).TargetState, kAisNoPosition);
  ais.SetAisViewArea({Rad(180), Rad(90), Rad(-180), Rad(-90)});
  EXPECT_EQ(Rec(211000300).ChartFlag, kAisOffChart);
  EXPECT_EQ(List().size(), 5u);
  EXPECT_EQ(ais.NearestTarget({Rad(11.7), Rad(91.0)}), Slot(211000201));
}

// Static data, hull outline and names; a 420-bit type 5 is taken with its
// destination cut to whole characters.
TEST_F(AisTest, StaticDataAndOutline) {
  Send(ClassA(211000400, 57.8, 11.7, 80, 900, 90));
  SendAll(Parts(Static5(211000400, "SKSB", "LISA VON LUBECK", 20, 10, 4, 6, 35, "KALMAR"), '1'));
  const TAIS_Rec& t = Rec(211000400);
  EXPECT_EQ(t.Kind, kAisClassA);
  EXPECT_EQ(CleanAisText(t.CallSign.View()), "SKSB");
  EXPECT_EQ(t.Draught, 35);
  EXPECT_EQ(t.LengthM, 30);
  ASSERT_TRUE(t.HasOutline);
  // Polar points (metres, bearing from the bow) of the hull, 10 m wide with
  // the reference point 4 m from port: bow tip on the centre line.
  const double h = 5;
  const TFPoint expect[5] = {{std::hypot(6 - h, 20), std::atan2(6 - h, 20)},
                             {std::hypot(4, 20 - h), std::atan2(-4, 20 - h)},
                             {std::hypot(6, 20 - h), std::atan2(6, 20 - h)},
                             {std::hypot(4, 10), std::atan2(-4, -10)},
                             {std::hypot(6, 10), std::atan2(6, -10)}};
  for (int k = 0; k < 5; ++k) {
    EXPECT_NEAR(t.Outline[static_cast<size_t>(k)].X, expect[k].X, 1e-9) << k;
    EXPECT_NEAR(t.Outline[static_cast<size_t>(k)].Y, expect[k].Y, 1e-9) << k;
  }

  SendAll(Parts(Static5(211000401, "SHORT", "FOUR TWENTY", 5, 5, 2, 2, 10, "ABCDEFGHIJKLMNOPQRST", 420), '2'));
  EXPECT_EQ(Rec(211000401).Destination.View(), "ABCDEFGHIJKLMNOPQRS");
  SendAll(Parts(Static5(211000402, "LONG", "FOUR TWENTYFIVE", 5, 5, 2, 2, 10, "X", 425), '3'));
  EXPECT_EQ(Slot(211000402), -1);

  // Without course and heading the outline cannot be turned: none is drawn.
  Send(ClassA(211000403, 57.8, 11.7, 80, 3600, 511));
  SendAll(Parts(Static5(211000403, "NOHDG", "ADRIFT", 20, 10, 4, 6, 35, ""), '4'));
  EXPECT_EQ(Rec(211000403).LengthM, 0);
  EXPECT_FALSE(Rec(211000403).HasOutline);

  // Class B static parts; an aid to navigation with a name extension.
  Send(PartA(211000404, "SEA@BREEZE"));
  Send(PartB(211000404, "SFB1234", 8, 2, 1, 2));
  const TAIS_Rec& b = Rec(211000404);
  EXPECT_EQ(b.Kind, kAisClassB);
  EXPECT_EQ(CleanAisText(b.Name.View()), "SEA BREEZE");  // value 0 is a space in names
  EXPECT_EQ(b.LengthM, 10);
  Send(Aton(992000405, "VIRTUAL WRECK MARK 1", 57.8, 11.7, 360));
  EXPECT_EQ(Rec(992000405).Name.View(), "VIRTUAL WRECK MARK 1");
  EXPECT_EQ(TargetLabel(Rec(992000405)), " AToN");
  EXPECT_EQ(TargetLabel(b), "SEA BREEZE");
}

// Safety texts go to active targets only and keep "@".
TEST_F(AisTest, SafetyTexts) {
  Send(Safety(211000500, "UNKNOWN SENDER"));
  EXPECT_EQ(ais.TargetCount(), 0);
  Send(ClassA(211000500, 57.8, 11.7, 80, 900, 90));
  Send(Safety(211000500, "MOB@DRILL"));
  TAIS_Rec t = Rec(211000500);
  EXPECT_EQ(t.SafetyText, "MOB@DRILL");
  EXPECT_TRUE(t.NewText);
  EXPECT_EQ(t.TextTime, clock.NowUTC());
  // Once shown, the same text again is no news; another text is.
  ais.MarkTextShown(Slot(211000500));
  Send(Safety(211000500, "MOB@DRILL"));
  EXPECT_FALSE(Rec(211000500).NewText);
  Send(Safety(211000500, "DRILL OVER"));
  EXPECT_TRUE(Rec(211000500).NewText);
}

// The own transponder: VDM from the own MMSI is ignored; VDO never makes a
// target and gives the position only while no GPS position comes in.
TEST_F(AisTest, OwnVessel) {
  parser.OwnMMSI = 265000001;
  Send(ClassA(265000001, 57.8, 11.7, 80, 900, 90));
  EXPECT_EQ(ais.TargetCount(), 0);

  Send(Nmea("GPRMC,120000,A,5742.000,N,01136.000,E,5.0,90.0,010125,,,A"));
  const TFPoint gps = parser.Info.Pos;
  Send(Vdm(ClassA(265000001, 57.9, 11.9, 62, 450, 44), "AIVDO"));
  EXPECT_EQ(parser.Info.Pos, gps);
  EXPECT_EQ(ais.TargetCount(), 0);

  parser.Seen &= ~kSeenPositionBits;  // the tick's GPS time-out
  Send(Vdm(ClassA(265000001, 57.9, 11.9, 62, 450, 44), "AIVDO"));
  const TNMEAINFO& I = parser.Info;
  EXPECT_NEAR(I.Pos.Y, Rad(57.9), 1e-9);
  EXPECT_NEAR(I.Pos.X, Rad(11.9), 1e-9);
  EXPECT_EQ(I.TalkerIn, "AI");
  EXPECT_EQ(I.FixStatus, kFixValid);
  EXPECT_EQ(I.FixQuality, 2);
  EXPECT_DOUBLE_EQ(I.SOG, 6.2);
  EXPECT_NEAR(I.COG, Rad(45), 1e-12);
  EXPECT_NEAR(I.VelEast, 6.2 * std::sin(Rad(45)), 1e-12);
  EXPECT_EQ(ais.TargetCount(), 0);

  // Speed and course not available are no data, not 102.3 knots and 360 degrees.
  Send(Vdm(ClassA(265000001, 57.9, 11.9, 1023, 3600, 511), "AIVDO"));
  EXPECT_TRUE(IsNoData(I.SOG));
  EXPECT_TRUE(IsNoData(I.COG));
  EXPECT_TRUE(IsNoData(I.VelEast));
  // No position: the fix is invalid.
  Send(Vdm(ClassA(265000001, 91, 181, 62, 450, 44), "AIVDO"));
  EXPECT_EQ(I.FixStatus, kFixInvalid);
  EXPECT_EQ(I.CogSogSource, kCogSogAisNoPos);
}

// ---------------------------------------------------------------------------
// The table's life

TEST_F(AisTest, SlotLifecycle) {
  for (int k = 0; k < 11; ++k) Send(ClassA(211000600 + k, 57.8, 11.6 + k * 0.01, 80, 900, 90));
  EXPECT_EQ(ais.TargetCount(), 20);  // grown by 10 for the eleventh
  SendAll(Parts(Static5(211000603, "OLD3", "OLD THREE", 10, 5, 2, 2, 30, ""), '1'));
  SendAll(Parts(Static5(211000601, "OLD1", "OLD ONE", 10, 5, 2, 2, 30, ""), '2'));
  const int slot3 = Slot(211000603);
  EXPECT_EQ(slot3, 3);

  // Five minutes later only one has been heard again: the others hide.
  clock.Advance(std::chrono::minutes(5));
  Send(ClassA(211000600, 57.8, 11.6, 80, 900, 90));
  EXPECT_EQ(ais.Purge(4, 60).Hidden, 10);
  EXPECT_EQ(List().size(), 1u);
  EXPECT_EQ(Rec(211000603).TargetState, kAisHidden);

  // A hidden station heard again comes back in its old slot, with its name.
  Send(ClassA(211000603, 57.8, 11.63, 80, 900, 90));
  EXPECT_EQ(Slot(211000603), slot3);
  EXPECT_EQ(Rec(211000603).TargetState, kAisActive);
  EXPECT_EQ(TargetLabel(Rec(211000603)), "OLD THREE");

  // An hour on, the silent ones are freed; a freed station heard again also
  // returns to its old slot, unless another has taken the slot meanwhile.
  clock.Advance(std::chrono::minutes(61));
  Send(ClassA(211000600, 57.8, 11.6, 80, 900, 90));
  Send(ClassA(211000603, 57.8, 11.63, 80, 900, 90));
  const TAisDecoder::TPurge p = ais.Purge(4, 60);
  EXPECT_EQ(p.Hidden, 0);
  EXPECT_EQ(p.Deleted, 9);
  EXPECT_EQ(Rec(211000601).TargetState, kAisFree);
  Send(ClassA(211000605, 57.8, 11.65, 80, 900, 90));
  EXPECT_EQ(Slot(211000605), 5);
  Send(ClassA(211000999, 57.8, 11.5, 80, 900, 90));
  EXPECT_EQ(Slot(211000999), 1);  // the first free slot, with nothing of its former station
  EXPECT_EQ(TargetLabel(Rec(211000999)), "?");
  EXPECT_EQ(Rec(211000999).LengthM, 0);
  Send(ClassA(211000601, 57.8, 11.61, 80, 900, 90));
  EXPECT_EQ(ais.Target(Slot(211000601)).TargetState, kAisActive);
  EXPECT_NE(Slot(211000601), 1);
  EXPECT_EQ(ais.TargetCount(), 20);

  ais.ClearTargets();
  EXPECT_EQ(ais.TargetCount(), 0);
  EXPECT_FALSE(parser.AisEnabled);
  Send(ClassA(211000600, 57.8, 11.6, 80, 900, 90));
  EXPECT_EQ(ais.TargetCount(), 0);  // AIS is off
}

TEST_F(AisTest, ChartFlagsListsAndPicking) {
  // A view around 60 N, where a degree of longitude is half a degree of latitude.
  ais.SetAisViewArea({Rad(12), Rad(61), Rad(10), Rad(59)});
  Send(ClassA(211000701, 60.0, 11.9, 80, 900, 90));   // 0.1 deg east of 60 N 11.8 E: 3 nm
  Send(ClassA(211000702, 60.07, 11.8, 80, 900, 90));  // 0.07 deg north: 4.2 nm
  Send(ClassA(211000703, 62.0, 11.8, 80, 900, 90));   // outside the view
  Send(Station(4, 2000704, 60.5, 11.0));
  Send(Aton(992000705, "", 60.2, 11.2));  // heard after the chart was loaded: still drawn
  EXPECT_EQ(Rec(211000701).ChartFlag, kAisOnChart);
  EXPECT_EQ(Rec(211000703).ChartFlag, kAisOffChart);
  EXPECT_EQ(Rec(992000705).ChartFlag, kAisOnChart);

  parser.AisChanged = false;
  int calls = 0;
  const int n = ais.UpdateScreenPoints(false, [&](const TFPoint& p, TPoint& px) {
    ++calls;
    px = {static_cast<int32_t>(std::lround(p.X * 1e4)), static_cast<int32_t>(std::lround(p.Y * 1e4))};
    return true;
  });
  EXPECT_EQ(n, 4);
  EXPECT_EQ(calls, 4);
  EXPECT_TRUE(parser.AisChanged);
  EXPECT_EQ(Rec(211000701).ChartPoint.X, std::lround(Rad(11.9) * 1e4));
  EXPECT_EQ(ais.UpdateScreenPoints(false, nullptr), 0);  // nothing moved since

  EXPECT_EQ(ais.NearestTarget({Rad(11.8), Rad(60.0)}), Slot(211000701));
  // Moving off the chart marks the table changed.
  parser.AisChanged = false;
  Send(ClassA(211000701, 62.0, 11.9, 80, 900, 90));
  EXPECT_TRUE(parser.AisChanged);
  EXPECT_EQ(ais.NearestTarget({Rad(11.8), Rad(60.0)}), Slot(211000702));

  const std::vector<std::string> list = List();
  EXPECT_EQ(list, (std::vector<std::string>{"?:000", "?:001", "?:002", " Base:003", " AToN:004"}));
}

// ---------------------------------------------------------------------------
// Closest approach

// The geometry on a flat local plane (nautical miles east and north of the
// own vessel, knots): time to the closest point of approach (hours) and its
// distance, computed here without the library.
struct TEncounter {
  double cpa = 0;
  double tcpaHours = 0;
};
TEncounter FlatEncounter(double x, double y, double tvx, double tvy, double ovx, double ovy) {
  const double vx = tvx - ovx, vy = tvy - ovy;
  const double t = -(x * vx + y * vy) / (vx * vx + vy * vy);
  return {std::hypot(x + vx * t, y + vy * t), t};
}

TEST_F(AisTest, ClosestApproachOfScriptedEncounters) {
  struct {
    const char* what;
    double ownSog, ownCog;   // knots, degrees
    double x, y;             // target position, nm east and north of the own vessel
    int sog, cog;            // target, tenths
    bool computed;           // a closest approach exists
    bool alarm;              // with CPA limit 0.5 nm, TCPA limit 30 minutes
  } cases[] = {
      {"head-on", 6, 0, 0.2, 4, 120, 1800, true, true},
      {"crossing from starboard", 6, 0, 2.5, 2.5, 60, 2700, true, true},
      {"crossing ahead, clear", 6, 0, 3, 1, 60, 2700, true, false},
      {"overtaking from astern", 5, 90, -2, -0.1, 150, 900, true, true},
      {"slower ahead, far", 10, 45, 10, 10, 50, 450, true, false},
      {"diverging", 6, 0, 1, -2, 80, 1800, true, false},
      {"at 0.4 knots", 6, 0, 0.1, 2, 4, 900, true, true},
      {"stationary: no approach computed", 6, 0, 0, 2, 0, 0, false, false},
      {"at 0.3 knots: as stationary", 6, 0, 0, 2, 3, 900, false, false},
      {"speed not available", 6, 0, 0, 2, 1023, 1800, false, false},
      // Neither course nor heading: the target counts as lying still, and
      // the own vessel closing on it raises the alarm.
      {"drifting dead ahead, no course or heading", 6, 0, 0.05, 2, 15, 3600, true, true},
  };
  int mmsi = 211000800;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    TNMEAINFO& I = parser.Info;
    I.VelEast = c.ownSog * std::sin(Rad(c.ownCog));
    I.VelNorth = c.ownSog * std::cos(Rad(c.ownCog));
    const double lat = kOwnLat + c.y / 60.0;
    const double lon = kOwnLon + c.x / 60.0 / std::cos(Rad((kOwnLat + lat) / 2));
    Send(ClassA(++mmsi, lat, lon, c.sog, c.cog, 511));
    const int i = Slot(mmsi);
    const TAIS_Rec& t = ais.Target(i);
    EXPECT_NEAR(t.Range, std::hypot(c.x, c.y), 1e-3);
    const double v = c.cog == 3600 ? 0 : c.sog / 10.0;  // heading 511: without a course, no speed
    const TEncounter e = FlatEncounter(c.x, c.y, v * std::sin(Rad(c.cog / 10.0)), v * std::cos(Rad(c.cog / 10.0)),
                                       I.VelEast, I.VelNorth);
    if (c.computed) {
      EXPECT_NEAR(t.CPA, e.cpa, 2e-3);
      EXPECT_NEAR(t.TCPA * 24, e.tcpaHours, 1e-3);
    } else {
      EXPECT_EQ(t.CPA, 0.0);
      EXPECT_EQ(t.TCPA, 0.0);
    }
    EXPECT_EQ(ais.CheckTargetAlarm(i, 30.0 / 1440, 0.5), c.alarm);
  }
}

// Between reports a target goes on along its course: the approach is
// computed from where it is now, not where it last reported. Only vessels
// count for the alarm.
TEST_F(AisTest, ClosestApproachFromTheDeadReckonedPosition) {
  Send(ClassA(211000900, kOwnLat + 2.0 / 60, kOwnLon, 100, 1800, 180));  // 2 nm north, 10 kn south
  const int i = Slot(211000900);
  EXPECT_NEAR(ais.Target(i).TCPA * 1440, 12.0, 0.01);
  EXPECT_EQ(ais.CheckAlarms(10.0 / 1440, 0.1), 0);  // 12 minutes away: not yet

  clock.Advance(std::chrono::minutes(6));
  EXPECT_EQ(ais.CheckAlarms(10.0 / 1440, 0.1), 0);  // stored values: still 12 minutes
  EXPECT_TRUE(ais.CheckTargetAlarm(i, 10.0 / 1440, 0.1));
  EXPECT_NEAR(ais.Target(i).Range, 1.0, 1e-3);
  EXPECT_NEAR(ais.Target(i).TCPA * 1440, 6.0, 0.01);
  EXPECT_EQ(ais.CheckAlarms(10.0 / 1440, 0.1), 1);

  // A moving search and rescue aircraft on the same line is no alarm.
  Send(Sar(111000901, kOwnLat + 2.0 / 60, kOwnLon, 100, 1800));
  EXPECT_GT(Rec(111000901).TCPA, 0);
  EXPECT_EQ(ais.CheckAlarms(10.0 / 1440, 0.1), 1);
  EXPECT_FALSE(Rec(111000901).CpaAlarm);
}

}  // namespace
