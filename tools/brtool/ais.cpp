// brtool ais FILE: feeds an NMEA log through the plotter's line assembler,
// parser and AIS decoder and prints one JSON object per decoded AIS message
// (VDM and VDO), with the field names and raw values of gpsd's unscaled
// output ("gpsdecode -u -j"), so that the two can be compared field by field.
// Lines beginning with "#" are comments and skipped.
//
//   --targets        print the target table after the file instead: slot,
//                    MMSI, kind, state, name, position, SOG, COG, CPA, TCPA
//                    and the age of the last report
//   --own-mmsi N     "AIS Own MSSI": VDM messages from N do not make targets
//   --hide MIN       "AIS Hide Time" (default 4)
//   --delete MIN     "AIS Delete Time" (default 60)
//
// Time follows the log: the clock moves with the UTC time of day of the
// position sentences, so that ages, dead reckoning and the hide and delete
// times act as they did on board (a log without times stays at one moment).
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>

#include <sys/types.h>

#include "Command.h"
#include "foundation/NumText.h"
#include "instruments/AIS.h"
#include "instruments/NMEA.h"
#include "platform/Clock.h"

namespace {

constexpr const char* kUsage =
    "usage: brtool ais FILE [--targets] [--own-mmsi N] [--hide MIN] [--delete MIN]\n";

const char* StateName(uint8_t state) {
  switch (state) {
    case kAisActive: return "active";
    case kAisNoPosition: return "no-pos";
    case kAisHidden: return "hidden";
    default: return "free";
  }
}

std::string Pad(std::string s, size_t width, bool right = false) {
  if (s.size() < width) s.insert(right ? 0 : s.size(), width - s.size(), ' ');
  return s;
}

std::string Fixed(int decimals, double v) { return FloatToStrFixedDot(decimals, v); }

void PrintTargets(TAisDecoder& ais, const IClock& clock) {
  std::printf("%s\n", "SLOT MMSI       KIND   STATE  NAME                 LAT        LON         SOG    COG    "
                      "CPA     TCPA     AGE");
  for (int i = 0; i < ais.TargetCount(); ++i) {
    const TAIS_Rec& t0 = ais.Target(i);
    if (t0.TargetState == kAisFree) continue;
    // Range and closest approach as of now.
    if (t0.TargetState == kAisActive) ais.UpdateRangeAndCpa(i);
    const TAIS_Rec& t = ais.Target(i);
    std::string name = t.Kind == kAisClassA || t.Kind == kAisClassB || t.Kind == kAisAtoN || t.Kind == kAisKindUnknown
                           ? CleanAisText(t.Name.View())
                           : TargetLabel(t).substr(1);
    const bool pos = t.TargetState == kAisActive;
    const bool vessel = t.Kind <= kAisSarAircraft;
    const bool speed = vessel && t.RawSOG != kAisSpeedNotAvailable;
    const bool course = vessel && t.RawCOG != kAisCourseNotAvailable;
    const bool cpa = pos && vessel && t.TCPA > 0;
    const double age = std::chrono::duration<double>(clock.MonoNow() - t.LastReport).count();
    std::string line = Pad(std::to_string(i), 4, true) + ' ' + Pad(std::to_string(t.MMSI), 11) + ' ' +
                       Pad(AisKindCode(t.Kind), 6) + ' ' + Pad(StateName(t.TargetState), 6) + ' ' +
                       Pad(name.substr(0, 20), 20) + ' ' +
                       Pad(pos ? Fixed(5, t.TargetPos.Y * kRadToDeg) : "-", 10, true) + ' ' +
                       Pad(pos ? Fixed(5, t.TargetPos.X * kRadToDeg) : "-", 11, true) + ' ' +
                       Pad(speed ? Fixed(1, t.SOGKnots) : "-", 6, true) + ' ' +
                       Pad(course ? Fixed(1, t.COGRad * kRadToDeg) : "-", 6, true) + ' ' +
                       Pad(cpa ? Fixed(2, t.CPA) : "-", 7, true) + ' ' +
                       Pad(cpa ? Fixed(1, t.TCPA * 1440) + "m" : "-", 8, true) + ' ' +
                       Pad(Fixed(0, age) + "s", 7, true);
    std::printf("%s\n", line.c_str());
  }
}

bool ReadMinutes(const BrtoolOptions& opt, const char* name, double& out) {
  const std::string* v = opt.Get(name);
  if (!v) return true;
  auto n = TryStrToFloatDot(*v);
  if (!n || *n < 0) {
    std::fprintf(stderr, "brtool ais: --%s needs a number of minutes\n", name);
    return false;
  }
  out = *n;
  return true;
}

int RunAis(const BrtoolArgs& args) {
  bool targets = false;
  BrtoolArgs rest;
  for (const std::string& a : args) {
    if (a == "--targets")
      targets = true;
    else
      rest.push_back(a);
  }
  BrtoolOptions opt;
  if (!ParseBrtoolOptions("ais", rest, {"own-mmsi", "hide", "delete"}, opt)) return 2;
  if (opt.positional.size() != 1) {
    std::fputs(kUsage, stderr);
    return 2;
  }
  double hideMinutes = 4, deleteMinutes = 60;
  if (!ReadMinutes(opt, "hide", hideMinutes) || !ReadMinutes(opt, "delete", deleteMinutes)) return 2;

  TManualClock clock;
  TNMEALineBuffer buffer(nullptr, clock);
  buffer.Source = kSourceNetwork;
  TNMEA& parser = buffer.Parser();
  if (const std::string* v = opt.Get("own-mmsi")) {
    auto n = TryStrToInt(*v);
    if (!n) {
      std::fprintf(stderr, "brtool ais: --own-mmsi needs a number\n");
      return 2;
    }
    parser.OwnMMSI = *n;
  }
  TAisDecoder ais(parser);

  std::string out;
  if (!targets) {
    ais.OnMessage = [&out](const TAisMessage& m, bool) {
      AppendAisJson(m, out);
      out += '\n';
      if (out.size() >= 65536) {
        std::fwrite(out.data(), 1, out.size(), stdout);
        out.clear();
      }
    };
  }
  // The clock follows the time of day of the log's position sentences
  // (receivers without a date get today's date from the parser, so dates
  // are not compared); the housekeeping of the plotter's tick runs every
  // minute of it.
  double lastSecond = -1;
  TMonoTime nextPurge = clock.MonoNow() + std::chrono::minutes(1);
  parser.OnAccepted = [&](const TNdxString&) {
    if (!(parser.Updated & kSetTime)) return;
    const double second = (parser.Info.GpsDateTime - std::floor(parser.Info.GpsDateTime)) * 86400.0;
    if (!std::isfinite(second)) return;
    if (lastSecond >= 0) {
      double step = second - lastSecond;
      if (step < -43200) step += 86400;  // past midnight
      // Two receivers a second apart: the later time counts. A log pieced
      // together from several recordings jumps back: time goes on from there.
      if (step <= 0 && step >= -60) return;
      if (step > 0) clock.Advance(std::chrono::duration<double>(step));
    }
    lastSecond = second;
    if (clock.MonoNow() >= nextPurge) {
      ais.Purge(hideMinutes, deleteMinutes);
      nextPurge = clock.MonoNow() + std::chrono::minutes(1);
    }
  };

  const std::string& path = opt.positional[0];
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) {
    std::fprintf(stderr, "brtool ais: cannot open %s\n", path.c_str());
    return 1;
  }
  char* line = nullptr;
  size_t capacity = 0;
  ssize_t n;
  while ((n = ::getline(&line, &capacity, f)) > 0) {
    std::string_view text(line, static_cast<size_t>(n));
    const size_t first = text.find_first_not_of(" \t");
    if (first != std::string_view::npos && text[first] == '#') continue;
    buffer.FeedText(text);
    // A last line without its line end still counts.
    if (text.back() != '\n') buffer.FeedText("\r\n");
  }
  std::free(line);
  const bool failed = std::ferror(f) != 0;
  std::fclose(f);
  if (failed) {
    std::fprintf(stderr, "brtool ais: read error in %s\n", path.c_str());
    return 1;
  }
  std::fwrite(out.data(), 1, out.size(), stdout);
  if (targets) PrintTargets(ais, clock);
  return std::fflush(stdout) == 0 ? 0 : 1;
}

BrtoolCommand cmd{"ais",
                  "ais FILE                decode the AIS sentences of a log to JSON lines (gpsd's unscaled "
                  "names) [--targets] [--own-mmsi N] [--hide MIN] [--delete MIN]",
                  RunAis};

}  // namespace
