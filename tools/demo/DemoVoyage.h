// The demo voyage: a list of waypoints (the ".waypoints" text format,
// described in data/demo/voyage.waypoints) turned into the NMEA 0183 text a
// boat's instruments would have sent on that passage, one group of
// sentences a second:
//
//   GPGGA, GPRMC, GPVTG   position, fix, speed and course over ground
//   HEHDT                 heading of a gyro or satellite compass
//   VWVHW                 heading and speed through the water
//   SDDPT                 depth below the transducer (0.5 m below the
//                         surface), from the demo world's sea floor
//   WIMWV (R), WIMWV (T)  apparent and true wind relative to the bow
//   AIVDM                 one AIS sentence of the vessels around (DemoAis.h)
//
// The boat turns and changes speed at realistic rates, a current sets it
// off its heading in open water, the wind gusts and veers, and the
// receiver's position wanders by a few metres as real ones do. All of it
// comes from a fixed seed, so the same list gives the same text.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "DemoWorld.h"
#include "foundation/Types.h"

struct TDemoWaypoint {
  TFPoint Pos;         // radians
  double Knots = 0;    // speed over ground on the leg to this waypoint
  int Line = 0;        // line of the list
};

struct TDemoVoyagePlan {
  // UTC of the first fix: day number (as TDateTime) and seconds of the day.
  int32_t StartDay = 0;
  int32_t StartSecond = 0;
  double WindFromDeg = 220, WindKnots = 12;
  double CurrentToDeg = 30, CurrentKnots = 0.4;
  int32_t WaitSeconds = 120;  // at rest after the last waypoint
  uint32_t Seed = 1;
  std::vector<TDemoWaypoint> Waypoints;
};

// Reads a waypoint list; false with a message naming the line when it is
// malformed or describes an impossible voyage.
bool ParseVoyagePlan(std::string_view text, TDemoVoyagePlan& plan, std::string& error);

// The voyage's limits: a list of at most this many waypoints, a voyage of
// at most this many seconds.
inline constexpr size_t kMaxDemoWaypoints = 1000;
inline constexpr int32_t kMaxDemoVoyageSeconds = 12 * 3600;

struct TDemoVoyage {
  std::vector<std::string> Sentences;  // without line ends
  int32_t Fixes = 0;
  static constexpr int kSentencesPerFix = 9;
  // The boat's true positions, one a second (radians).
  std::vector<TFPoint> Track;
  // The shallowest water under the keel's track, metres (chart depth).
  double MinDepth = 0;
};

// Sails the plan. False with a message when a waypoint cannot be reached
// in the time allowed.
bool SailVoyage(const TDemoWorld& world, const TDemoVoyagePlan& plan, TDemoVoyage& voyage, std::string& error);

// The file text: every sentence with CR LF.
std::string VoyageText(const TDemoVoyage& voyage);

// "$" + body + "*" + two hexadecimal digits of the checksum.
std::string NmeaSentence(std::string_view body);

// The list the demo sails unless told otherwise (data/demo/voyage.waypoints,
// compiled in).
std::string_view DemoDefaultVoyageText();
