// AIS arrives from any receiver, transponder or network feed: any bytes must
// go through the line assemblers, the parser, the multi-part assembly, the
// six-bit decoding and into the target table without harm, and leave the
// table consistent: states, kinds and flags in range, finite numbers, one
// slot per station, texts within their records.
//
// The first byte chooses the settings. In "wrapped" mode every input line is
// the body of a sentence and gets its checksum here ("!" in front unless the
// line starts with "$"), so that the fuzzer reaches the decoder without
// having to find checksums; otherwise the bytes go to the line assemblers
// as they are.
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <set>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "instruments/AIS.h"
#include "instruments/NMEA.h"
#include "platform/Clock.h"

namespace {

[[noreturn]] void Fail(const char* what, int slot) {
  std::fprintf(stderr, "fuzz_ais: %s (slot %d)\n", what, slot);
  std::abort();
}

void Check(bool ok, const char* what, int slot = -1) {
  if (!ok) Fail(what, slot);
}

bool Finite(double v) { return std::isfinite(v); }
bool Angle(double a) { return a == NoDataValue || (a >= 0 && a < 2 * 3.14159265358979323846); }

void CheckRecord(const TAIS_Rec& t, int i) {
  Check(t.TargetState <= kAisNoPosition, "state", i);
  Check(t.Kind <= kAisKindUnknown, "kind", i);
  Check(t.ChartFlag <= kAisAged, "chart flag", i);
  for (double v : {t.SOGKnots, t.COGRad, t.HeadingRad, t.DisplayDir, t.CPA, t.TCPA, t.Range, t.Bearing,
                   t.TargetPos.X, t.TargetPos.Y})
    Check(Finite(v), "value not finite", i);
  Check(t.Name.View().size() <= 20 && t.Destination.View().size() <= 20 && t.CallSign.View().size() <= 7,
        "text too long", i);
  Check(t.SafetyText.size() <= static_cast<size_t>(kAisMaxSafetyText), "safety text too long", i);
  Check(t.RawHeading == kAisHeadingNotAvailable || (t.RawHeading >= 0 && t.RawHeading < 360), "heading", i);
  Check(t.RawCOG >= 0 && t.RawCOG <= kAisCourseNotAvailable, "course", i);
  if (t.TargetState == kAisActive)
    Check(std::fabs(t.TargetPos.Y) <= 1.5707963267948967 && std::fabs(t.TargetPos.X) <= 3.1415926535897936,
          "active target beyond the poles or 180 degrees", i);
  if (t.CpaAlarm && t.TargetState == kAisActive) Check(t.TCPA > 0, "alarm without an approach", i);
}

void CheckTable(const TAisDecoder& ais, const TNMEA& parser) {
  const int n = ais.TargetCount();
  Check(n % kAisTableStep == 0 && n <= kAisMaxTargets, "table size");
  std::set<int32_t> mmsis;
  std::set<std::pair<int32_t, int32_t>> stations;
  for (int i = 0; i < n; ++i) {
    const TAIS_Rec& t = ais.Target(i);
    CheckRecord(t, i);
    if (t.MMSI == -1) continue;
    if (t.Kind == kAisMetStation)
      Check(stations.insert({t.RawLat, t.RawLon}).second, "one met station in two slots", i);
    else
      Check(mmsis.insert(t.MMSI).second, "one station in two slots", i);
  }
  CheckRecord(ais.OwnVessel, -2);
  const TNMEAINFO& I = parser.Info;
  for (double v : {I.SOG, I.COG, I.Heading, I.CompassHeading, I.MagHeading, I.VelEast, I.VelNorth, I.Pos.X, I.Pos.Y})
    Check(Finite(v), "navigation value not finite");
  Check(Angle(I.COG) && Angle(I.MagHeading), "navigation angle out of range");
}

std::string Wrap(std::string_view body) {
  std::string s;
  char start = '!';
  if (!body.empty() && (body[0] == '$' || body[0] == '!')) {
    start = body[0];
    body.remove_prefix(1);
  }
  unsigned x = 0;
  for (char c : body) x ^= static_cast<unsigned char>(c);
  static constexpr char kHex[] = "0123456789ABCDEF";
  s += start;
  s += body;
  s += '*';
  s += kHex[(x >> 4) & 0xF];
  s += kHex[x & 0xF];
  s += "\r\n";
  return s;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  const uint8_t settings = data[0];
  ++data;
  --size;
  const bool wrapped = settings & 0x01;
  const bool alternate = settings & 0x02;   // lines alternate between two ports
  const bool housekeeping = settings & 0x04;  // the tick's work after every message
  const bool ownFilter = settings & 0x08;   // the first MMSI heard becomes the own MMSI
  const bool tinyView = settings & 0x10;
  const int stepSeconds = (settings >> 5) * 20;  // the clock moves 0 to 140 s per line

  TManualClock clock;
  TNMEALineBuffer portA(nullptr, clock);
  TNMEALineBuffer portB(&portA.Parser(), clock);
  portA.Source = kSourcePortA;
  portB.Source = kSourcePortB;
  TNMEA& parser = portA.Parser();
  TAisDecoder ais(parser);
  ais.SetAisViewArea(tinyView ? TFRect{0.21, 1.01, 0.20, 1.00} : TFRect{3.2, 1.6, -3.2, -1.6});
  parser.Info.Pos = {0.2, 1.0};
  parser.Info.VelEast = 3;
  parser.Info.VelNorth = -4;

  std::string json;
  auto project = [](const TFPoint& p, TPoint& px) {
    if (!std::isfinite(p.X) || !std::isfinite(p.Y)) return false;
    px = {static_cast<int32_t>(p.X * 1000), static_cast<int32_t>(p.Y * 1000)};
    return true;
  };
  ais.OnMessage = [&](const TAisMessage& m, bool) {
    Check(AisTypeDecoded(m.Type) && m.BitCount >= 38 && m.BitCount <= kAisMaxPayloadChars * 6, "message");
    json.clear();
    AppendAisJson(m, json);
    Check(json.size() > 2 && json.front() == '{' && json.back() == '}', "json");
    if (ownFilter && parser.OwnMMSI == 0) parser.OwnMMSI = m.MMSI;
  };
  parser.OnAccepted = [&](const TNdxString&) {
    if (!housekeeping) return;
    ais.CheckAlarms(15.0 / 1440, 0.5);
    ais.UpdateScreenPoints(false, project);
    ais.Purge(4, 60);
    if (ais.NearestTarget({0.2, 1.0}) >= ais.TargetCount()) Fail("nearest target", -1);
  };

  bool toB = false;
  size_t start = 0;
  while (start < size) {
    const uint8_t* nl = static_cast<const uint8_t*>(std::memchr(data + start, '\n', size - start));
    const size_t end = nl ? static_cast<size_t>(nl - data) : size;
    std::string_view line(reinterpret_cast<const char*>(data + start), end - start);
    TNMEALineBuffer& port = toB ? portB : portA;
    if (wrapped) {
      port.FeedText(Wrap(line));
    } else {
      port.FeedText(line);
      port.FeedText("\n");
    }
    if (alternate) toB = !toB;
    clock.Advance(std::chrono::seconds(stepSeconds));
    start = end + 1;
  }
  CheckTable(ais, parser);

  ais.CheckAlarms(15.0 / 1440, 0.5);
  ais.UpdateScreenPoints(true, project);
  std::vector<std::string> list;
  Check(ais.ListTargets(list) == static_cast<int>(list.size()), "list");
  clock.Advance(std::chrono::minutes(61));
  ais.Purge(4, 60);
  ais.Purge(4, 60);
  for (int i = 0; i < ais.TargetCount(); ++i) Check(ais.Target(i).TargetState == kAisFree, "not aged out", i);
  CheckTable(ais, parser);
  ais.ClearTargets();
  Check(ais.TargetCount() == 0, "cleared");
  return 0;
}
