// Instrument input arrives from serial ports, a network link and files: any
// bytes, in any pieces, must go through the line assemblers and the parser
// without harm, and the navigation state must stay made of finite numbers
// with its angles in range.
//
// The first two bytes choose the parser settings and how the rest is cut
// into pieces, and how far the clock moves between pieces.
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>

#include "instruments/NMEA.h"
#include "platform/Clock.h"

namespace {

void Check(bool ok, const char* what, const TNdxString& s) {
  if (!ok) {
    std::fprintf(stderr, "fuzz_nmea: %s after \"%.*s\"\n", what, static_cast<int>(s.View().size()),
                 s.View().data());
    std::abort();
  }
}

bool Angle(double a) { return a == NoDataValue || (a >= 0 && a < 2 * 3.14159265358979323846); }

void CheckState(const TNMEA& parser, const TNdxString& s) {
  const TNMEAINFO& I = parser.Info;
  const double values[] = {I.SOG, I.COG, I.Heading, I.MagCourse, I.Variation, I.CompassHeading, I.RateOfTurn,
                           I.HDOP, I.Altitude, I.Depth, I.TrueWindAngle, I.ApparentWindAngle,
                           I.TrueWindDirection, I.TrueWindSpeed, I.ApparentWindSpeed, I.WindVMG, I.WaterTemp,
                           I.MagHeading, I.WaterSpeed, I.VelEast, I.VelNorth, I.Pos.X, I.Pos.Y, I.RawPos.X,
                           I.RawPos.Y, I.DatumOffset.X, I.DatumOffset.Y, I.PrevSOG, I.PrevCOG, I.GpsDateTime};
  for (double v : values) Check(std::isfinite(v), "a value is not finite", s);
  Check(Angle(I.COG) && Angle(I.MagCourse) && Angle(I.TrueWindAngle) && Angle(I.ApparentWindAngle) &&
            Angle(I.TrueWindDirection) && Angle(I.PrevCOG),
        "an angle is out of range", s);
  Check(I.RawPos.Y == NoDataValue || std::fabs(I.RawPos.Y) <= 1.5707963267948967, "latitude beyond a pole", s);
  Check(I.RawPos.X == NoDataValue || std::fabs(I.RawPos.X) <= 3.1415926535897936, "longitude beyond 180", s);
  Check(std::fabs(I.DatumOffset.X) < 0.02 && std::fabs(I.DatumOffset.Y) < 0.02, "datum offset", s);
  Check(I.OutBuffer.size() < TNMEA::kMaxOutBuffer + kMaxSentenceLength + 1, "output buffer overrun", s);
  Check(s.Length >= 7 && s.Length <= kMaxSentenceLength && s.View().back() == '\r', "bad sentence", s);
  Check(s.CommaCount <= kMaxSentenceCommas, "too many commas", s);
  for (int k = 1; k <= s.CommaCount; ++k) Check(s.View()[s.CommaPos[k] - 1u] == ',', "comma position", s);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  const uint8_t settings = data[0];
  const uint8_t cut = data[1];
  data += 2;
  size -= 2;

  TManualClock clock;
  TNMEALineBuffer main(nullptr, clock);
  TNMEALineBuffer second(&main.Parser(), clock);
  TNMEA& parser = main.Parser();
  parser.ChecksumMode = settings % 3;
  parser.Info.WindCalc = settings & 0x04;
  if (settings & 0x08) parser.PassFilter = "*";
  if (settings & 0x10) parser.Info.ModelVariation = 0.05;
  const bool dropPriority = settings & 0x20;  // as after a position time-out
  const bool alternate = settings & 0x40;     // two sources, pieces alternating
  parser.OnAccepted = [&](const TNdxString& s) {
    CheckState(parser, s);
    if (dropPriority) parser.Seen &= ~kSeenPositionBits;
  };
  parser.OnAisSentence = [&](const TNdxString& s, bool) {
    Check(s.Identifier() == "VDM" || s.Identifier() == "VDO", "AIS identifier", s);
  };

  const size_t piece = cut == 0 ? size : cut;
  bool toSecond = false;
  for (size_t at = 0; at < size; at += piece) {
    size_t n = size - at < piece ? size - at : piece;
    (toSecond ? second : main).Feed(data + at, n);
    if (alternate) toSecond = !toSecond;
    clock.Advance(std::chrono::milliseconds(cut * 40));
  }
  main.FeedText("\r\n");
  second.FeedText("\r\n");
  return 0;
}
