// Real receiver logs: the decoded values against gpsd's expected output
// (the .chk files made by gpsd's regression recipe), and the whole pipeline
// on long logs.
#include <algorithm>
#include <chrono>
#include <cmath>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "NMEATestUtil.h"
#include "TestSupport.h"
#include "foundation/GenUtil.h"
#include "foundation/NumText.h"
#include "instruments/NMEAFields.h"
#include "instruments/NMEAReport.h"

namespace {

constexpr double kKnotToMs = 0.51444444444444444443;
constexpr double kTwoPi = 2 * 3.14159265358979323846;

// The value of "key" in one line of flat JSON, as text (strings without
// their quotes), or nothing.
std::optional<std::string> JsonValue(std::string_view json, std::string_view key) {
  std::string pattern = "\"" + std::string(key) + "\":";
  size_t at = json.find(pattern);
  if (at == std::string_view::npos) return std::nullopt;
  at += pattern.size();
  if (at < json.size() && json[at] == '"') {
    size_t end = json.find('"', at + 1);
    return std::string(json.substr(at + 1, end - at - 1));
  }
  size_t end = json.find_first_of(",}", at);
  return std::string(json.substr(at, end - at));
}

std::optional<double> JsonNumber(std::string_view json, std::string_view key) {
  auto text = JsonValue(json, key);
  if (!text) return std::nullopt;
  return TryStrToFloatDot(*text);
}

std::vector<std::string> SplitLines(const std::string& text) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
    start = end + 1;
  }
  return lines;
}

// What the parser made of one sentence.
struct TDecoded {
  bool accepted = false;
  std::string id;
  uint32_t updated = 0;
  TNMEAINFO info;
};

struct TCounts {
  int reports = 0, positions = 0, times = 0, dates = 0, tracks = 0, speeds = 0, depths = 0, simulated = 0;
};

// Feeds the sentences of a .chk file one by one through a line buffer and
// parser without the priority between sources (gpsd has none), then checks
// every TPV report of gpsd against the latest values decoded before it.
TCounts CompareWithGpsd(const std::string& chkPath) {
  TCounts n;
  TManualClock clock;
  TNMEALineBuffer buffer(nullptr, clock);
  TNMEA& parser = buffer.Parser();
  parser.OnSentence = [&](std::string_view) { parser.Seen = 0; };
  TDecoded current;
  parser.OnAccepted = [&](const TNdxString& s) {
    current.accepted = true;
    current.id = std::string(s.Identifier());
    current.updated = parser.Updated;
    current.info = parser.Info;
  };

  std::optional<TFPoint> pos;
  std::optional<TDateTime> time;
  bool timeDated = false;
  std::optional<double> sog, cog, depth;
  std::string lastSentence;
  for (const std::string& line : SplitLines(ReadTestFile(chkPath))) {
    if (!line.empty() && (line[0] == '$' || line[0] == '!')) {
      lastSentence = line;
      current = TDecoded{};
      clock.Advance(std::chrono::seconds(1));
      buffer.FeedText(line + "\r\n");
      if (!current.accepted) continue;
      const TNMEAINFO& I = current.info;
      if (current.updated & kSetPos) pos = I.Pos;
      if (current.updated & kSetTime) {
        time = I.GpsDateTime;
        timeDated = current.id == "RMC" || current.id == "ZDA";
      }
      if (current.id == "RMC" || current.id == "VTG" || current.id == "RMA") {
        if (current.updated & kSetSOG) sog = I.SOG;
        if (current.updated & kSetCOG) cog = I.COG;
      }
      if (current.updated & kSetDepth) depth = I.Depth;
      continue;
    }
    if (line.rfind("{\"class\":\"TPV\"", 0) != 0) continue;
    ++n.reports;
    SCOPED_TRACE("after " + lastSentence + "\n gpsd: " + line);
    auto lat = JsonNumber(line, "lat"), lon = JsonNumber(line, "lon");
    if (lat && lon && JsonNumber(line, "mode").value_or(0) >= 2) {
      if (JsonNumber(line, "status") == 8.0) {
        // gpsd reports a simulator's fix (GGA quality 8); the plotter does
        // not take it as a position.
        ++n.simulated;
      } else {
        ++n.positions;
        EXPECT_TRUE(pos.has_value());
        if (pos) {
          EXPECT_NEAR(Deg(pos->Y), *lat, 5e-9);
          EXPECT_NEAR(Deg(pos->X), *lon, 5e-9);
        }
      }
    }
    if (auto iso = JsonValue(line, "time"); iso && time) {
      // gpsd moves dates of old receivers by the GPS week rollover, so the
      // date is compared only for recent logs; the time of day always
      // (whole seconds: fractions are not kept).
      ++n.times;
      std::string ours = IsoDateTime(*time);
      EXPECT_EQ(ours.substr(11, 8), iso->substr(11, 8));
      if (timeDated && ours.compare(0, 4, "2019") >= 0) {
        ++n.dates;
        EXPECT_EQ(ours.substr(0, 10), iso->substr(0, 10));
      }
    }
    if (auto track = JsonNumber(line, "track")) {
      ++n.tracks;
      EXPECT_TRUE(cog.has_value());
      if (cog) {
        EXPECT_NEAR(Deg(*cog), *track, 1e-3);
      }
      // gpsd reports speed in m/s with three decimals.
      auto speed = JsonNumber(line, "speed");
      if (speed && sog) {
        ++n.speeds;
        EXPECT_NEAR(*sog * kKnotToMs, *speed, 6e-4);
      }
    }
    if (auto d = JsonNumber(line, "depth")) {
      ++n.depths;
      EXPECT_TRUE(depth.has_value());
      if (depth) {
        EXPECT_NEAR(*depth, *d, 1e-3);
      }
    }
  }
  return n;
}

TEST(NMEARealLogs, AgreeWithGpsd) {
  struct Case {
    const char* log;
    int minPositions, minTracks, minDepths, minDates;
  } cases[] = {
      {"nmea/GPSmap-76S.log.chk", 0, 0, 0, 0},  // a simulator: no real fix
      {"nmea/humminbird-M37.log.chk", 25, 10, 0, 0},
      {"nmea/sounder.log.chk", 100, 0, 100, 0},
      {"nmea/nmea-fuzzy-cases.log.chk", 10, 10, 0, 10},
      {"nmea/furuno_gl_ga.log.chk", 20, 20, 0, 20},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.log);
    REQUIRE_TESTDATA(path, c.log);
    TCounts n = CompareWithGpsd(path);
    EXPECT_GT(n.reports, 0);
    EXPECT_GE(n.positions, c.minPositions);
    EXPECT_GE(n.tracks, c.minTracks);
    EXPECT_GE(n.speeds, c.minTracks);
    EXPECT_GE(n.depths, c.minDepths);
    EXPECT_GE(n.dates, c.minDates);
    if (std::string(c.log).find("GPSmap") != std::string::npos) {
      EXPECT_GT(n.simulated, 0);
    }
  }
}

TEST(NMEARealLogs, SounderDepths) {
  REQUIRE_TESTDATA(path, "nmea/sounder.log");
  TManualClock clock;
  TNMEALineBuffer buffer(nullptr, clock);
  TNMEA& parser = buffer.Parser();
  std::vector<double> depths;
  parser.OnAccepted = [&](const TNdxString& s) {
    if (parser.Updated & kSetDepth) {
      EXPECT_EQ(s.Identifier(), "DBT");
      // The metre field of the same sentence.
      EXPECT_NEAR(parser.Info.Depth, ReadNumber(s.Field(3)).value_or(-1), 1e-12) << s.View();
      depths.push_back(parser.Info.Depth);
    }
  };
  buffer.FeedText(ReadTestFile(path));
  EXPECT_EQ(depths.size(), 122u);
  EXPECT_TRUE(parser.Seen & kSeenDepth);
  EXPECT_NEAR(*std::min_element(depths.begin(), depths.end()), 2.3, 1e-9);
  EXPECT_NEAR(*std::max_element(depths.begin(), depths.end()), 2.5, 1e-9);
}

// The receiver's clock steps back 13 s in the middle of the log; with the
// normal priority rules every fix is still taken as it comes.
TEST(NMEARealLogs, TimeRunningBackwardsDoesNotBreakTheState) {
  REQUIRE_TESTDATA(path, "nmea/humminbird-M37.log");
  TManualClock clock;
  TNMEALineBuffer buffer(nullptr, clock);
  TNMEA& parser = buffer.Parser();
  int rmcs = 0;
  TDateTime previous = 0;
  bool wentBack = false;
  parser.OnAccepted = [&](const TNdxString& s) {
    const TNMEAINFO& I = parser.Info;
    if (s.Identifier() != "RMC") return;
    ++rmcs;
    ASSERT_TRUE(parser.Updated & kSetPos) << s.View();
    EXPECT_EQ(I.FixStatus, kFixValid);
    EXPECT_EQ(I.LastFixTime, clock.MonoNow());
    EXPECT_NEAR(Deg(I.Pos.Y), Deg(ReadLatLon(s.Field(3), s.Field(4).empty() ? 0 : s.Field(4)[0])), 1e-12);
    EXPECT_EQ(IsoDateTime(I.GpsDateTime).substr(11, 8),
              std::string(s.Field(1).substr(0, 2)) + ":" + std::string(s.Field(1).substr(2, 2)) + ":" +
                  std::string(s.Field(1).substr(4, 2)));
    EXPECT_TRUE(std::isfinite(I.SOG) && std::isfinite(I.COG) && std::isfinite(I.VelEast));
    if (I.GpsDateTime < previous) wentBack = true;
    previous = I.GpsDateTime;
  };
  for (const std::string& line : SplitLines(ReadTestFile(path))) {
    clock.Advance(std::chrono::milliseconds(500));
    buffer.FeedText(line + "\n");
  }
  EXPECT_TRUE(wentBack);
  EXPECT_GT(rmcs, 15);
  EXPECT_EQ(parser.Info.TalkerIn, "IN");
  EXPECT_EQ(parser.Info.CogSogSource, kCogSogReceived);
}

// Every known double of the state must stay a finite number, and every
// angle in [0, 2 pi), after each sentence of a long real log.
void ExpectSaneState(const TNMEAINFO& I, const TNdxString& s) {
  const double values[] = {I.SOG, I.COG, I.Heading, I.MagCourse, I.Variation, I.CompassHeading,
                           I.RateOfTurn, I.HDOP, I.Altitude, I.Depth, I.TrueWindAngle, I.ApparentWindAngle,
                           I.TrueWindDirection, I.TrueWindSpeed, I.ApparentWindSpeed, I.WindVMG,
                           I.WaterTemp, I.MagHeading, I.WaterSpeed, I.VelEast, I.VelNorth, I.Pos.X, I.Pos.Y};
  for (double v : values) ASSERT_TRUE(std::isfinite(v)) << s.View();
  const double angles[] = {I.COG, I.MagCourse, I.TrueWindAngle, I.ApparentWindAngle, I.TrueWindDirection,
                           I.MagHeading};
  for (double a : angles) ASSERT_TRUE(a >= 0 && a < kTwoPi) << s.View();
}

// The same log fed whole and in random pieces gives the same sentences with
// the same effects.
TEST(NMEARealLogs, LongLogsInAnyPieces) {
  for (const char* log : {"nmea/Hakefjord.log", "nmea/plaka.log"}) {
    SCOPED_TRACE(log);
    REQUIRE_TESTDATA(path, log);
    const std::string text = ReadTestFile(path);
    auto run = [&](bool pieces, bool check) {
      TManualClock clock;
      TNMEALineBuffer buffer(nullptr, clock);
      TNMEA& parser = buffer.Parser();
      std::string trace;
      parser.OnAccepted = [&](const TNdxString& s) {
        clock.Advance(std::chrono::milliseconds(100));
        trace += s.Identifier();
        trace += std::to_string(parser.Updated);
        trace += ' ';
        if (check) ExpectSaneState(parser.Info, s);
      };
      std::mt19937 rng(3);
      std::uniform_int_distribution<size_t> size(1, 97);
      for (size_t at = 0; at < text.size();) {
        size_t n = pieces ? size(rng) : text.size();
        buffer.FeedText(std::string_view(text).substr(at, n));
        at += n;
      }
      return std::make_pair(trace, SentenceReportJson(parser, parser.LastLine) + parser.Info.TalkerIn +
                                       std::to_string(parser.Seen) + std::to_string(buffer.LineCount()));
    };
    auto whole = run(false, true);
    auto pieces = run(true, false);
    EXPECT_GT(whole.first.size(), 100000u);
    EXPECT_TRUE(whole == pieces);
  }
}

}  // namespace
