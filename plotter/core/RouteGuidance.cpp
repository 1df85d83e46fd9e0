#include "plotter/core/RouteGuidance.h"

#include <algorithm>
#include <cmath>

#include "foundation/GenUtil.h"
#include "foundation/Types.h"
#include "instruments/NMEAInfo.h"

namespace {

bool Usable(double v) { return IsKnown(v) && std::isfinite(v); }

}  // namespace

std::string SteeringIndicatorText(double offset) {
  static const std::string kScale = ">>>>>>>>>>____||____<<<<<<<<<<";
  const double e = std::isfinite(offset) ? std::clamp(offset, -10.0, 10.0) : 0.0;
  // Ten characters from character e + 11 (counting from 1), rounded half
  // away from zero.
  const int start = static_cast<int>(std::lround(e + 11)) - 1;
  return kScale.substr(static_cast<size_t>(std::clamp(start, 0, 20)), 10);
}

TSteering ComputeSteering(const TNMEAINFO& nav, double lastOffset) {
  TSteering s;
  s.offset = lastOffset;
  if (!Usable(nav.BOD) || !Usable(nav.XTE) || !Usable(nav.BearingToDest)) {
    s.indicator = SteeringIndicatorText(lastOffset);
    return s;
  }
  const double xteNM = nav.XTE * kRadToNM;
  const double sog = Usable(nav.SOG) ? nav.SOG : 0;
  const double a = std::clamp(sog > 0 ? xteNM * 240 / sog : xteNM * 10, -kPi / 2, kPi / 2);
  double steer = nav.BOD - a;
  double d = nav.BOD - nav.BearingToDest;
  NormAngleSigned(d);
  // The direct line turns further towards the leg than the intercept
  // course: head for the waypoint.
  if (a != 0 && (d > 0) == (a > 0) && std::fabs(d) > std::fabs(a)) steer = nav.BearingToDest;
  NormAngle(steer);
  s.known = true;
  s.steerHeading = steer;
  double mag = steer;
  if (Usable(nav.Variation)) mag -= nav.Variation;
  NormAngle(mag);
  s.steerHeadingMag = mag;
  if (Usable(nav.Heading)) {
    double e = nav.Heading - steer;
    NormAngleSigned(e);
    s.offset = std::clamp(e * 18, -10.0, 10.0);
  }
  s.indicator = SteeringIndicatorText(s.offset);
  return s;
}
