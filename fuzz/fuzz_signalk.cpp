// What a Signal K server sends is untrusted: any bytes, as one message of
// its stream, must go through the JSON reader and the delta reader without
// harm, and what lands in the navigation state must be finite or the
// no-data mark. The input is cut into messages at each 0x00 byte, so that a
// hello, deltas for the own vessel and for stations follow each other.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>

#include "foundation/Json.h"
#include "instruments/AIS.h"
#include "instruments/NMEA.h"
#include "instruments/SignalK.h"
#include "platform/Clock.h"

namespace {

void Check(bool ok, const char* what) {
  if (!ok) {
    std::fprintf(stderr, "fuzz_signalk: %s\n", what);
    std::abort();
  }
}

bool Sane(double v) { return std::isfinite(v); }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view all(reinterpret_cast<const char*>(data), size);
  TManualClock clock;
  TNMEA parser(clock);
  TAisDecoder ais(parser);
  TSignalKReader reader(parser, &ais);
  size_t start = 0;
  while (start <= all.size()) {
    size_t end = all.find('\0', start);
    if (end == std::string_view::npos) end = all.size();
    const std::string_view message = all.substr(start, end - start);
    // The JSON reader on its own, with small limits.
    TJsonLimits limits;
    limits.MaxDepth = 8;
    limits.MaxValues = 200;
    (void)ParseJson(message, limits);
    reader.Take(message);
    clock.Advance(std::chrono::seconds(1));
    start = end + 1;
  }
  const TNMEAINFO& I = parser.Info;
  for (double v : {I.Pos.X, I.Pos.Y, I.SOG, I.COG, I.Heading, I.MagCourse, I.Variation, I.CompassHeading, I.MagHeading,
                   I.Depth, I.WaterTemp, I.WaterSpeed, I.RateOfTurn, I.TrueWindAngle, I.ApparentWindAngle,
                   I.TrueWindDirection, I.TrueWindSpeed, I.ApparentWindSpeed, I.WindVMG})
    Check(Sane(v), "a value that is not finite in the navigation state");
  Check(std::fabs(I.Pos.Y) <= 1.6 && std::fabs(I.Pos.X) <= 3.2, "a position off the earth");
  Check(reader.Contexts() <= TSignalKReader::kMaxContexts, "more stations than the cap");
  for (const TAIS_Rec& t : ais.Targets()) Check(Sane(t.SOGKnots) && Sane(t.COGRad), "a target's motion");
  return 0;
}
