// Route guidance as the dashboard and the autopilot output need it: the
// course to steer back onto the leg, and the steering indicator.
#pragma once

#include <string>

struct TNMEAINFO;

struct TSteering {
  bool known = false;          // the values below could be computed
  double steerHeading = 0;     // true, radians, [0, 2 pi)
  double steerHeadingMag = 0;  // steerHeading less the variation (when known)
  // The heading's offset from the course to steer in indicator characters
  // (1/18 radian each), clamped to [-10, 10].
  double offset = 0;
  // Ten characters of ">>>>>>>>>>____||____<<<<<<<<<<": "____||____" on
  // course; ">" from the left when the heading lies left of the course to
  // steer (steer right), "<" from the right when it lies right of it.
  std::string indicator;
};

// The course to steer: the leg's bearing turned towards the leg by an
// intercept angle that grows with the cross-track error and shrinks with
// the speed (the error in nautical miles times 240 over the speed in knots,
// times 10 when the speed is not known, at most a right angle). Where the
// direct line to the waypoint already turns further towards the leg than
// that (the same side, a larger angle), the course is the direct line: near
// the waypoint the boat heads for it instead of overshooting. `lastOffset`
// is the indicator's offset of the last time, kept when the heading is not
// known.
TSteering ComputeSteering(const TNMEAINFO& nav, double lastOffset = 0);
// The indicator text for an offset in characters.
std::string SteeringIndicatorText(double offset);
