// AIS targets: the decoder that the NMEA parser hands its "!VDM" and "!VDO"
// sentences to, the table of stations heard (one record per station, the
// slot index being its number in the user interface), the own transponder's
// record, closest-approach computation, alarms and ageing.
//
// Wiring (main window):
//   TNMEALineBuffer bufA;                  // owns the parser
//   TAisDecoder ais(bufA.Parser());        // attaches itself to the parser
//   every tick:       ais.UpdateScreenPoints(false, toPixel) ...
//   every 60 ticks:   ais.Purge(hideMinutes, deleteMinutes)
//   before drawing:   ais.CheckAlarms(tcpaMaxDays, cpaMaxMiles)
//
// Everything runs on the thread of the parser. Ages use the parser's
// monotonic clock; wall-clock times (UTC) are kept only for display.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <set>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "foundation/Types.h"
#include "instruments/AISAssembler.h"
#include "instruments/AISMessage.h"
#include "platform/Clock.h"

class TNMEA;
struct TNdxString;

// Target kinds.
inline constexpr uint8_t kAisClassA = 0;
inline constexpr uint8_t kAisClassB = 1;
inline constexpr uint8_t kAisSarAircraft = 2;
inline constexpr uint8_t kAisBaseStation = 3;
inline constexpr uint8_t kAisMobileStation = 4;
inline constexpr uint8_t kAisAtoN = 5;
inline constexpr uint8_t kAisMetStation = 6;
inline constexpr uint8_t kAisKindUnknown = 7;

// Target states. Only active targets with a position are listed, drawn,
// tested for alarms and picked by NearestTarget.
inline constexpr uint8_t kAisFree = 0;
inline constexpr uint8_t kAisHidden = 1;      // not heard for the hide time
inline constexpr uint8_t kAisActive = 2;      // with a known position
inline constexpr uint8_t kAisNoPosition = 3;  // just created or revived, or reporting no position

// Chart flags.
inline constexpr uint8_t kAisOnChart = 0;     // inside the view area: drawn
inline constexpr uint8_t kAisOffChart = 1;    // outside the view area, or no position
inline constexpr uint8_t kAisUntested = 2;    // created or revived, position not yet tested
inline constexpr uint8_t kAisAged = 3;        // hidden by ageing (also an initialised record)

// The table never grows beyond this many slots; reports from further new
// stations are ignored until ageing frees a slot. No receiver hears that
// many stations within the delete time.
inline constexpr int kAisMaxTargets = 50000;
// The table grows by this many slots at a time.
inline constexpr int kAisTableStep = 10;

// One station. Copied by value; the initial values are those of InitTarget.
struct TAIS_Rec {
  uint8_t TargetState = kAisFree;
  uint8_t Kind = kAisKindUnknown;
  // Last report that looked this record up (monotonic; ageing), and the same
  // moment in UTC for display. Safety texts do not change them.
  TMonoTime LastReport{0};
  TDateTime LastReportUTC = 0;
  // When TargetPos was reported (monotonic): closest approach is computed
  // from the position dead-reckoned from then to now.
  TMonoTime PosTime{0};
  // The MMSI; for meteorological stations a key from the parser's
  // TargetKeyCounter; -1 in an initialised record.
  int32_t MMSI = -1;
  // Position in 1/10 000 minute of arc, and in radians (X longitude, Y latitude).
  int32_t RawLat = kAisLatNotAvailable;
  int32_t RawLon = kAisLonNotAvailable;
  TFPoint TargetPos;
  // Set by position reports; cleared when the chart point is recomputed.
  bool PosChanged = false;
  TPoint ChartPoint;
  // From the own vessel: nautical miles, and radians.
  double Range = 0;
  double Bearing = 0;
  std::string SafetyText;
  uint8_t ChartFlag = kAisAged;
  // Raw speed: tenths of a knot, whole knots for aircraft; 1023 not available.
  int32_t RawSOG = 0;

  // Vessels, aircraft, base and mobile stations, aids to navigation. Texts
  // at their full decoded length (CleanAisText prepares them for display).
  TAisText<20> Name;
  TAisText<20> Destination;
  TAisText<7> CallSign;
  // Tenths of a degree, 3600 not available (any larger value is stored as 3600).
  int32_t RawCOG = 0;
  // Whole degrees, 511 not available (any value from 360 on is stored as 511).
  int32_t RawHeading = kAisHeadingNotAvailable;
  int32_t NavStatus = 0;
  int32_t RawROT = kAisTurnNotAvailable;
  bool Accuracy = false;

  // Meteorological stations: values as received with the offsets applied;
  // see the comments for units and the value meaning "not available".
  int32_t WindSpeed = 0;      // knots, 127
  int32_t WindDir = 0;        // degrees, 511
  int32_t GustSpeed = 0;      // knots, 127
  int32_t GustDir = 0;        // degrees, 511
  int32_t AirTemp = 0;        // tenths of a degree C, 1447
  int32_t Humidity = 0;       // percent, 127
  int32_t DewPoint = 0;       // tenths of a degree C, 823
  int32_t Pressure = 0;       // hPa, 1311
  int32_t PressureTrend = 0;  // code
  int32_t Visibility = 0;     // tenths of a nautical mile, 255
  int32_t WaterLevel = 0;     // tenths of a metre, 411
  int32_t LevelTrend = 0;     // code
  int32_t CurrentSpeed = 0;   // tenths of a knot, 255
  int32_t CurrentDir = 0;     // degrees, 511
  int32_t WaveHeight = 0;     // tenths of a metre, 255
  int32_t WavePeriod = 0;     // seconds, 63
  int32_t WaveDir = 0;        // degrees, 511
  int32_t SwellHeight = 0;    // tenths of a metre, 255
  int32_t SwellPeriod = 0;    // seconds, 63
  int32_t SwellDir = 0;       // degrees, 511
  int32_t WaterTemp = 0;      // tenths of a degree C, 923
  bool Ice = false;

  // Metres from the position reference point; draught in tenths of a metre.
  int32_t ToBow = 0, ToStern = 0, ToStarboard = 0, ToPort = 0;
  int32_t Draught = 0;
  // Knots (102.3 in an initialised record and when the speed is not available).
  double SOGKnots = 102.3;
  // Radians; 2 pi when not known.
  double COGRad = 2 * kPi;
  // The course when the heading is not available.
  double HeadingRad = 0;
  // Direction of the symbol: the course at speed, the heading otherwise.
  double DisplayDir = 0;
  // Closest point of approach (nautical miles) and the time to it (days,
  // 0 or negative when the target is not approaching).
  double CPA = 0;
  double TCPA = 0;
  bool CpaAlarm = false;
  // Where the target was taken to be when CPA and TCPA were computed: its
  // reported position moved on along its course to that moment. The
  // closest-approach picture starts here, as the alarm does.
  TFPoint CpaFrom;
  // Hull outline as polar points (metres, bearing from the bow) from the
  // reference point: bow tip, port shoulder, starboard shoulder, stern port
  // corner, stern starboard corner.
  bool HasOutline = false;
  std::array<TFPoint, 5> Outline{};
  // Metres, 0 when unknown.
  int32_t LengthM = 0;
  // A safety text arrived that the information window has not shown yet.
  bool NewText = false;
  // UTC of the last safety text; 0 when none.
  TDateTime TextTime = 0;
};

// Pixel position of a geographic position on the current chart, false when
// it has none (the chart converter's GeoToPixelInt).
using TAisGeoToPixel = std::function<bool(const TFPoint& pos, TPoint& pixel)>;

// Trailing spaces and "@" removed; "?" when nothing is left.
std::string CleanAisText(std::string_view s);
// The kind's name (" S.A.R", " Base", " Mob.", " AToN", " Metro") or, for
// vessels, the cleaned name.
std::string TargetLabel(const TAIS_Rec& r);
// The kind in a word for scripts: "A", "B", "SAR", "Base", "Mobile",
// "AtoN", "Met", "?".
const char* AisKindCode(uint8_t kind);
// Initialises a record (see TAIS_Rec); the station values and the chart
// point keep their contents.
void InitTarget(TAIS_Rec& r);
// Length and hull outline from the dimensions.
void MakeOutline(TAIS_Rec& r);

class TAisDecoder {
 public:
  // Attaches itself to the parser (its OnAisSentence); the parser must
  // outlive the decoder. The own vessel's record is initialised.
  explicit TAisDecoder(TNMEA& parser);
  ~TAisDecoder();
  TAisDecoder(const TAisDecoder&) = delete;
  TAisDecoder& operator=(const TAisDecoder&) = delete;

  // The table; a slot's index is the target's number.
  const std::vector<TAIS_Rec>& Targets() const { return targets_; }
  int TargetCount() const { return static_cast<int>(targets_.size()); }
  const TAIS_Rec& Target(int i) const { return targets_[static_cast<size_t>(i)]; }
  // The own transponder, from VDO.
  TAIS_Rec OwnVessel;
  // The slot that the last lookup found or created; kCurrentOwnVessel after
  // a VDO static report, -1 when none.
  static constexpr int kCurrentOwnVessel = -2;
  int CurrentTarget = -1;
  // The area of the chart shown (SetAisViewArea).
  TFRect AisViewArea;

  // Called with every message decoded (VDM and VDO alike) before it is
  // applied: for the command-line tool and the input monitor.
  std::function<void(const TAisMessage& m, bool ownVessel)> OnMessage;

  // What the parser calls: one accepted VDM (ownVessel false) or VDO sentence.
  void TakeSentence(const TNdxString& sentence, bool ownVessel);
  // Applies one decoded message to the table (VDM) or the own vessel (VDO).
  void Apply(const TAisMessage& m, bool ownVessel);

  // Lookup or creation by MMSI (free slots included: a station heard again
  // gets its old slot back with its old data); -1 when the table is full.
  int FindOrAddTarget(int32_t mmsi);
  // Lookup or creation of a meteorological station by kind and raw
  // position; a new one gets the next key of the parser's TargetKeyCounter.
  int FindOrAddStation(uint8_t kind, int32_t rawLat, int32_t rawLon);
  // The slot of an active target with this MMSI, or -1.
  int FindTarget(int32_t mmsi) const;

  // Range, bearing and closest approach of slot i against the own vessel.
  void UpdateRangeAndCpa(int i);
  // Recomputes slot i and tests it against the limits (TCPA in days, CPA
  // in nautical miles); returns its CpaAlarm.
  bool CheckTargetAlarm(int i, double tcpaLimit, double cpaLimit);
  // Tests every vessel; returns the number in alarm.
  int CheckAlarms(double tcpaLimit, double cpaLimit);

  // Hides active targets last heard before `before`; returns the number.
  int HideStale(TMonoTime before);
  // Frees hidden targets last heard at or before `atOrBefore`; returns the number.
  int DeleteStale(TMonoTime atOrBefore);
  // The tick's housekeeping: targets silent for hideMinutes are hidden,
  // hidden ones silent for deleteMinutes freed.
  struct TPurge {
    int Hidden = 0;
    int Deleted = 0;
  };
  TPurge Purge(double hideMinutes, double deleteMinutes);
  // Switches AIS off (the parser's AisEnabled) and empties the table.
  void ClearTargets();
  // A new view area: every target's chart flag is tested again.
  void SetAisViewArea(const TFRect& area);
  // Recomputes the chart points of targets that moved (all with `force`);
  // returns the number of targets on the chart recomputed.
  int UpdateScreenPoints(bool force, const TAisGeoToPixel& toPixel);
  // Appends one line per active target ("label:007"); returns the number.
  int ListTargets(std::vector<std::string>& list) const;
  // The active target on the chart nearest to a position (distances on the
  // chart: longitude differences scaled by the cosine of the latitude), or -1.
  int NearestTarget(const TFPoint& pos) const;

  // The information window has shown slot i's safety text (clears NewText).
  void MarkTextShown(int i) {
    if (i >= 0 && i < TargetCount()) targets_[static_cast<size_t>(i)].NewText = false;
  }

  // The alarm test on a record's stored values.
  static bool InAlarm(const TAIS_Rec& r, double tcpaLimit, double cpaLimit);

  TAisAssembler& Assembler() { return assembler_; }

 private:
  void ApplyVdm(const TAisMessage& m);
  void ApplyVdo(const TAisMessage& m);
  void ApplyOwnPosition();
  void TakePosition(TAIS_Rec& t, int32_t rawLat, int32_t rawLon);
  void TakeMotion(TAIS_Rec& t, const TAisMessage& m);
  void TestChartFlag(TAIS_Rec& t);
  void RangeAndBearing(TAIS_Rec& t, const TFPoint& pos);
  void RangeAndCpa(TAIS_Rec& t);
  int NewSlot();
  void Forget(int slot);

  TNMEA& parser_;
  IClock& clock_;
  TAisAssembler assembler_;
  TAisBits bits_;
  TAisMessage message_;
  std::vector<TAIS_Rec> targets_;
  // Slot of every MMSI (and station key) in the table, free slots included.
  std::unordered_map<int32_t, int32_t> byMmsi_;
  // Slot of every meteorological station by its raw position.
  std::unordered_map<uint64_t, int32_t> byStation_;
  std::set<int32_t> free_;
};
