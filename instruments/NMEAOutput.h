// NMEA 0183 sentences the plotter sends: steering sentences for an
// autopilot while a route is followed (APA, APB, RMB, BOD, BWC, the RTE of
// the active leg), waypoint and route uploads (WPL, RTE), and the one-line
// summary of the navigation data shared with other programs.
//
// Every sentence is "$" + talker + identifier + ",field"... + "*HH" (the
// exclusive-or of the bytes between "$" and "*", two upper-case hex digits)
// + CR LF; APA alone has no checksum. Sentences are bytes: names are
// written in Windows-1252 (the 8-bit character set of instruments), never
// UTF-8. A builder returns "" when the sentence cannot be built honestly
// (a value it needs is unknown): the sentence is then not sent at all
// rather than sent with a made-up 0.
//
// Values. A double of TNMEAINFO is unknown when it is NoDataValue or not
// finite. A number too large to be a real distance, cross-track error or
// speed (a million nautical miles or knots and more) cannot be formatted
// and counts as unknown too. Angles are brought into [0, 360) degrees
// first. Per sentence (R required: unknown skips the sentence; O optional:
// unknown leaves its field empty):
//   APA  R XTE and XteFactor, the bearing origin to destination.
//   APB  R XTE and XteFactor, the bearing origin to destination, the
//          bearing to the destination; O the heading to steer.
//   RMB  R XTE and XteFactor, DestPos, RangeToDest, BearingToDest;
//        O VMGToDest.
//   BOD  R BOD; O the magnetic bearing.
//   BWC  R GpsDateTime (0 or less: never set), DestPos, BearingToDest,
//          RangeToDest; O the magnetic bearing.
//   RTE (active leg) R a route being followed (RouteActive).
// Identifiers (OriginId, DestId) are sent as they are, also when empty;
// where the sentence would exceed kMaxNmeaSentence they are cut, the
// longest first.
//
// Magnetic bearings. Route guidance makes BODMag, BearingToDestMag and
// SteerHeadingMag equal to the true values while no variation is known
// (Variation unknown). Such a bearing is never labelled "M": APA and APB
// then send BOD, BearingToDest and SteerHeading with "T", and BOD and BWC
// leave their magnetic field empty (",,M").
//
// Status fields: the fix is "A" only while FixStatus is kFixValid (the
// window makes it invalid when the GPS is lost and while dead reckoning);
// "arrived" and "perpendicular passed" are "A" when no route is active and
// "V" while one is. The cross-track error is XteFactor x XTE in nautical
// miles without its sign, then "L" when XTE > 0 (the vessel is right of
// the leg and must steer left), else "R".
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "foundation/Types.h"

struct TNMEAINFO;

// What shapes output besides the navigation state.
struct TNmeaOutputSettings {
  // Two characters ("Unit Id"). Anything but exactly two ASCII letters or
  // digits is sent as "EC".
  std::string Talker = "EC";
  // "AP Capability" (MakeDeviceName); modes outside 0..4 work as 0.
  int NameMode = 0;
};

// The talker of our own sentences from "Unit Id": its first two characters
// when both are ASCII letters or digits, else "EC". The one rule for the
// settings, the sentence builders and the tagging of our own lines.
std::string OutputTalker(std::string_view unitId);

// NMEA allows 82 characters, "$" and CR LF included. Uploads keep to it.
inline constexpr size_t kMaxNmeaSentence = 82;

// ---- fields ----

// "$" + body + "*HH" + CR LF (or without the checksum for APA).
std::string FrameSentence(std::string_view body, bool withChecksum = true);
// The checksum of a sentence body (the bytes after "$" and before "*").
uint8_t NmeaChecksum(std::string_view body);
// A name or identifier (UTF-8) made safe for a sentence field in the given
// name mode: MakeDeviceName, then NmeaSafeText.
std::string NmeaFieldName(std::string_view name, int mode);
// Text (UTF-8) as Windows-1252 bytes in which every character that would
// break the framing ("$", "*", "!", "\", "^", "~", ",", bytes below 0x20
// and 0x7F) is "-"; in the Nexus mode "\" and "^" stay, with the "[", "]"
// and "_" that mode writes for national letters, which its instruments
// expect. Characters Windows-1252 lacks become "?".
std::string NmeaSafeText(std::string_view text, int mode);
// "ddmm.mmm,N" / "dddmm.mmm,E" (thousandths of a minute rounded, halves to
// even, with the carry at 60 000; "S" / "W" for negative values). "" when
// the value is not finite or the latitude lies beyond a pole; a longitude
// is first brought into [-180, 180] degrees.
std::string NmeaLatitude(double radians);
std::string NmeaLongitude(double radians);

// ---- steering sentences (while a route is followed) ----
// The destination is written cleaned (NmeaFieldName) in APA, APB and RMB
// (with the origin), dashed (PunctToDash) in BOD and the active leg's RTE,
// and as it is in BWC; dashed and unchanged identifiers pass through
// NmeaSafeText too. With RouteIdKeep the origin is "1" and the
// destination "2".

std::string MakeAPA(const TNMEAINFO& nav, const TNmeaOutputSettings& s);
std::string MakeAPB(const TNMEAINFO& nav, const TNmeaOutputSettings& s);
std::string MakeRMB(const TNMEAINFO& nav, const TNmeaOutputSettings& s);
std::string MakeBOD(const TNMEAINFO& nav, const TNmeaOutputSettings& s);
std::string MakeBWC(const TNMEAINFO& nav, const TNmeaOutputSettings& s);
std::string MakeRTEActive(const TNMEAINFO& nav, const TNmeaOutputSettings& s);

// "AutoP Msg" bits.
inline constexpr uint32_t kAutopAPA = 1;
inline constexpr uint32_t kAutopAPB = 2;
inline constexpr uint32_t kAutopRMB = 4;
inline constexpr uint32_t kAutopBOD = 8;
inline constexpr uint32_t kAutopBWC = 16;
inline constexpr uint32_t kAutopRoute = 32;  // "WPL + RTE"

// The steering cycle's sentences in order for the "AutoP Msg" bits: APA,
// APB, RMB, BOD, BWC, then the active leg's RTE when both APA and
// "WPL + RTE" are chosen. Sentences that cannot be built (a value they need
// is not known) are left out; `allBuilt`, when given, says whether every
// chosen sentence was built.
std::vector<std::string> SteeringSentences(const TNMEAINFO& nav, uint32_t autopMsg, const TNmeaOutputSettings& s,
                                           bool* allBuilt = nullptr);

// ---- uploads ----

struct TUploadPoint {
  TFPoint Position;  // radians
  std::string Name;  // UTF-8
};

// WPL: latitude, longitude, identifier (UTF-8, through NmeaSafeText and
// cut so that the sentence keeps to kMaxNmeaSentence). "" when the
// position cannot be written.
std::string MakeWPL(const TFPoint& position, std::string_view identifier, const TNmeaOutputSettings& s);
// One RTE sentence: total, number, type "c", route identifier, waypoints
// (UTF-8, through NmeaSafeText). "" when 1 <= number <= total does not
// hold or the sentence would be longer than kMaxNmeaSentence.
std::string MakeRTE(int total, int number, std::string_view routeId, const std::vector<std::string>& waypoints,
                    const TNmeaOutputSettings& s);
// The route upload: a WPL per waypoint, then the RTE sentences. Waypoint
// n (from 1) is named "nn-" + name, in the Nexus mode with n + 1 as three
// digits in front ("00403-NAME" for the third), in the Numeric mode just
// n; the whole identifier is cleaned by the mode. The Numeric and Nexus
// modes send route "00" listing the numbers 1..N, other modes one RTE of
// route "BRISMARE" per waypoint. A list that does not fit in one sentence
// is split into several (total and number count them); an identifier is
// cut where its WPL or RTE would exceed kMaxNmeaSentence. Nothing at all
// when a waypoint's position cannot be written (the route would name a
// waypoint the receiver never got) or the route is empty.
std::vector<std::string> RouteUploadSentences(const std::vector<TUploadPoint>& points, const TNmeaOutputSettings& s);
// The positions upload: a WPL per position (named by its name, or its
// number in the Numeric mode); a position that cannot be written is left
// out.
std::vector<std::string> PositionUploadSentences(const std::vector<TUploadPoint>& points,
                                                 const TNmeaOutputSettings& s);

// ---- the shared data line ----

// The line other programs read: "NO DATA" before the first update, "" when
// sharing is off; otherwise the 15 values of the boat and its instruments
// and, while a route is active, the 8 values of the leg (else ",,,,,,,,").
// Numbers are fixed-point with "." (unknown values as zeros); angles are
// radians except the positions (degrees); distances and XTE in nautical
// miles (XTE signed, without XteFactor). The last field is DestName with
// every "," and control character made "-", so that the line keeps its 23
// fields and stays one line.
inline constexpr const char* kNoDataLine = "NO DATA";
std::string MakeDataLine(const TNMEAINFO& nav, bool routeActive);
