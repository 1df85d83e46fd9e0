// The navigation state record: the blackboard that the NMEA parser fills
// and that route guidance, the update tick, the output builders and the
// window read and write. Everything runs on the main thread; no locks.
#pragma once

#include <cstdint>
#include <string>

#include "foundation/Types.h"
#include "platform/Clock.h"

// Marks a missing value in every double field of TNMEAINFO and in the
// results of the NMEA field readers. Compare with ==; it is never the result
// of arithmetic on known values that callers would mistake for data.
inline constexpr double NoDataValue = 1e-13;

inline bool IsNoData(double v) { return v == NoDataValue; }
inline bool IsKnown(double v) { return v != NoDataValue; }

// Knots per metre per second (the record keeps wind speeds in m/s).
inline constexpr double kMsToKnot = 1.9438444924406047517;

// Kinds of sentence received (TNMEA::Seen). The parser only adds bits; the
// update tick removes kSeenPositionBits when the position times out so that
// lower-priority sources may supply the position again.
inline constexpr uint32_t kSeenRMC = 0x00001;
inline constexpr uint32_t kSeenRMA = 0x00002;
inline constexpr uint32_t kSeenGGA = 0x00004;
inline constexpr uint32_t kSeenGLL = 0x00008;
inline constexpr uint32_t kSeenDepth = 0x00010;        // DBT, DPT
inline constexpr uint32_t kSeenVTG = 0x00020;
inline constexpr uint32_t kSeenVWR = 0x00040;          // apparent wind
inline constexpr uint32_t kSeenVWT = 0x00080;          // true wind
inline constexpr uint32_t kSeenMWVTrue = 0x00100;
inline constexpr uint32_t kSeenMWVRelative = 0x00200;
inline constexpr uint32_t kSeenMWD = 0x00400;
inline constexpr uint32_t kSeenVHW = 0x00800;
inline constexpr uint32_t kSeenHDM = 0x01000;
inline constexpr uint32_t kSeenHDG = 0x02000;          // HDG, or VHW with a magnetic heading
inline constexpr uint32_t kSeenDate = 0x08000;         // RMC with a date, ZDA
inline constexpr uint32_t kSeenHDT = 0x20000;
inline constexpr uint32_t kSeenROT = 0x40000;
inline constexpr uint32_t kSeenPositionBits = kSeenRMC | kSeenRMA | kSeenGGA | kSeenGLL | kSeenDate;

// FixStatus values.
inline constexpr uint8_t kFixNone = 0;      // nothing received yet
inline constexpr uint8_t kFixInvalid = 3;   // the receiver reports no valid fix
inline constexpr uint8_t kFixValid = 4;
inline constexpr uint8_t kFixBadData = 5;   // the last RMC or RMA could not be read

// CogSogSource values.
inline constexpr uint8_t kCogSogNone = 0;
inline constexpr uint8_t kCogSogDerived = 2;     // from successive fixes
inline constexpr uint8_t kCogSogAisNoPos = 3;    // own-vessel AIS report without a position
inline constexpr uint8_t kCogSogReceived = 4;    // RMC, RMA, VTG or own-vessel AIS
inline constexpr uint8_t kCogSogBadData = 5;     // the last RMC, RMA or VTG could not be read

// Units: angles radians (bearings clockwise from north, east and north
// positive), speeds knots unless noted, distances radians of arc, dates
// TDateTime. The initial values below are those of a freshly created parser.
// Elapsed-time fields hold the monotonic clock (IClock::MonoNow); a zero
// time means "never".
struct TNMEAINFO {
  // Monotonic time of the last accepted position.
  TMonoTime LastFixTime{0};
  // UTC date and time of the last fix as reported by the receiver.
  TDateTime GpsDateTime = 0;
  uint8_t FixStatus = kFixNone;
  // The position used everywhere: RawPos + DatumOffset (dead reckoning
  // moves it too).
  TFPoint Pos;
  TFPoint RawPos;
  uint8_t CogSogSource = kCogSogNone;
  double SOG = NoDataValue;
  double COG = NoDataValue;
  // The vessel's heading as the plotter uses it (true): the course over
  // ground, replaced by the compass heading at low speed.
  double Heading = NoDataValue;
  double SymbolHeading = 0;
  double MagCourse = NoDataValue;
  // East positive.
  double Variation = NoDataValue;
  // True heading from a heading sensor.
  double CompassHeading = NoDataValue;
  // From the magnetic model; when known it replaces every received variation.
  double ModelVariation = NoDataValue;
  // Degrees per minute as received.
  double RateOfTurn = 0;
  int32_t FixQuality = 0;
  int32_t ModeIndicator = 0;
  int32_t Satellites = 0;
  double HDOP = NoDataValue;
  // Metres.
  double Altitude = NoDataValue;
  int32_t DgpsStation = 0;
  int32_t DgpsAge = 0;
  // Added to every received position (X longitude, Y latitude).
  TFPoint DatumOffset;
  // Metres below the transducer.
  double Depth = NoDataValue;
  double TrueWindAngle = NoDataValue;
  double ApparentWindAngle = NoDataValue;
  double TrueWindDirection = NoDataValue;
  // Wind speeds in metres per second.
  double TrueWindSpeed = NoDataValue;
  double ApparentWindSpeed = NoDataValue;
  // Speed made good up or down wind, knots.
  double WindVMG = 0;
  // Degrees Celsius as received.
  double WaterTemp = NoDataValue;
  double MagHeading = NoDataValue;
  // Speed through the water, knots.
  double WaterSpeed = NoDataValue;
  // Compute the wind from the apparent wind even when true wind is received.
  bool WindCalc = false;
  double VelEast = NoDataValue;
  double VelNorth = NoDataValue;
  // Kept for deriving speed and course from successive fixes.
  TFPoint PrevFixPos{NoDataValue, NoDataValue};
  TFPoint LastDrawPos;
  TFPoint PrefetchPos;
  TFPoint SpeedMarkPos;
  TFPoint HeadLineEnd;
  double PrevSOG = NoDataValue;
  double PrevCOG = NoDataValue;
  TMonoTime PrevFixTime{0};

  // Route guidance and autopilot output.
  bool RouteIdKeep = false;
  double XteFactor = 1.0;
  bool RouteActive = false;
  TFPoint OriginPos;
  TFPoint DestPos;
  std::string OriginId;
  std::string DestId;
  std::string DestName;
  int32_t OriginIndex = 0;
  int32_t DestIndex = 0;
  double XTE = NoDataValue;
  double BOD = NoDataValue;
  double BearingToDest = NoDataValue;
  double BODMag = NoDataValue;
  double BearingToDestMag = NoDataValue;
  double TimeToDest = 0;
  double RouteRemain1 = 0;
  double RangeToDest = 0;
  double RouteRemain2 = 0;
  double VMGToDest = 0;
  double NextLegBearing = 0;
  double MinRange = 0;
  double SteerHeading = 0;
  double SteerHeadingMag = 0;

  // Chart view values copied here at each chart load.
  double NorthRotation = 0;
  double MilesPerPixel = 0;

  // Outgoing NMEA text waiting to be sent; see TNMEA::AppendOutput.
  std::string OutBuffer;
  // Talker put in front of sentences the plotter sends (2 characters).
  std::string TalkerOut;
  // Talker of received sentences.
  std::string TalkerIn = "DR";

  double AisCogHeadLimit = 3.0;
};
