// The AIS decoder: from accepted sentences to the target table and the own
// vessel. The table's housekeeping lives in AISTargets.cpp.
#include "instruments/AIS.h"

#include <algorithm>
#include <cmath>

#include "foundation/GenUtil.h"
#include "instruments/NMEA.h"
#include "instruments/NMEAFields.h"

namespace {

constexpr double kTwoPi = 2 * kPi;
// Radians per tenth of a degree.
constexpr double kTenthDegToRad = kPi / 1800.0;
constexpr int32_t kMaxRawLat = 90 * 600000;
constexpr int32_t kMaxRawLon = 180 * 600000;

bool ValidPosition(int32_t rawLat, int32_t rawLon) {
  return rawLat >= -kMaxRawLat && rawLat <= kMaxRawLat && rawLon >= -kMaxRawLon && rawLon <= kMaxRawLon;
}

// Headings from 360 on and courses from 3600 on are not valid: they are
// stored as the "not available" values.
int32_t NormalHeading(int32_t raw) { return raw >= 0 && raw < 360 ? raw : kAisHeadingNotAvailable; }
int32_t NormalCourse(int32_t raw) { return raw >= 0 && raw < 3600 ? raw : kAisCourseNotAvailable; }

void DecodeStatic(TAIS_Rec& r, const TAisMessage& m) {
  r.Kind = kAisClassA;
  r.CallSign = m.CallSign;
  r.Name = m.Name;
  r.ToBow = m.ToBow;
  r.ToStern = m.ToStern;
  r.ToPort = m.ToPort;
  r.ToStarboard = m.ToStarboard;
  r.Draught = m.Draught;
  r.Destination = m.Destination;
  MakeOutline(r);
}

void TakeStaticPart(TAIS_Rec& r, const TAisMessage& m) {
  if (m.Part == 0) {
    r.Name = m.Name;
  } else if (m.Part == 1) {
    r.CallSign = m.CallSign;
    r.ToBow = m.ToBow;
    r.ToStern = m.ToStern;
    r.ToPort = m.ToPort;
    r.ToStarboard = m.ToStarboard;
    MakeOutline(r);
  }
}

void TakeMet(TAIS_Rec& r, const TAisMet& w) {
  r.WindSpeed = w.WindSpeed;
  r.WindDir = w.WindDir;
  r.GustSpeed = w.WindGust;
  r.GustDir = w.GustDir;
  r.AirTemp = w.AirTemp - 600;
  r.Humidity = w.Humidity;
  r.DewPoint = w.DewPoint - 200;
  r.Pressure = w.Pressure + 800;
  r.PressureTrend = w.PressureTrend;
  r.Visibility = w.Visibility;
  r.WaterLevel = w.WaterLevel - 100;
  r.LevelTrend = w.LevelTrend;
  r.CurrentSpeed = w.CurrentSpeed;
  r.CurrentDir = w.CurrentDir;
  r.WaveHeight = w.WaveHeight;
  r.WavePeriod = w.WavePeriod;
  r.WaveDir = w.WaveDir;
  r.SwellHeight = w.SwellHeight;
  r.SwellPeriod = w.SwellPeriod;
  r.SwellDir = w.SwellDir;
  r.WaterTemp = w.WaterTemp - 100;
  // 1 is ice; 0 none, 2 reserved, 3 not available.
  r.Ice = w.Ice == 1;
}

}  // namespace

// ---------------------------------------------------------------------------
// Records

std::string CleanAisText(std::string_view s) {
  while (!s.empty() && (s.back() == ' ' || s.back() == '@')) s.remove_suffix(1);
  return s.empty() ? std::string("?") : std::string(s);
}

std::string TargetLabel(const TAIS_Rec& r) {
  switch (r.Kind) {
    case kAisSarAircraft: return " S.A.R";
    case kAisBaseStation: return " Base";
    case kAisMobileStation: return " Mob.";
    case kAisAtoN: return " AToN";
    case kAisMetStation: return " Metro";
    default: return CleanAisText(r.Name.View());
  }
}

const char* AisKindCode(uint8_t kind) {
  switch (kind) {
    case kAisClassA: return "A";
    case kAisClassB: return "B";
    case kAisSarAircraft: return "SAR";
    case kAisBaseStation: return "Base";
    case kAisMobileStation: return "Mobile";
    case kAisAtoN: return "AtoN";
    case kAisMetStation: return "Met";
    default: return "?";
  }
}

void InitTarget(TAIS_Rec& r) {
  r.MMSI = -1;
  r.TargetState = kAisFree;
  r.ChartFlag = kAisAged;
  r.RawLat = kAisLatNotAvailable;
  r.RawLon = kAisLonNotAvailable;
  r.LastReport = TMonoTime{0};
  r.LastReportUTC = 0;
  r.PosTime = TMonoTime{0};
  r.Name.Clear();
  r.Destination.Clear();
  r.CallSign.Clear();
  r.SafetyText.clear();
  r.Draught = 0;
  r.ToBow = r.ToStern = r.ToStarboard = r.ToPort = 0;
  r.RawHeading = kAisHeadingNotAvailable;
  r.SOGKnots = 102.3;
  r.COGRad = kTwoPi;
  r.RawROT = kAisTurnNotAvailable;
  r.HasOutline = false;
  r.LengthM = 0;
  r.HeadingRad = 0;
  r.DisplayDir = 0;
  r.RawCOG = 0;
  r.CPA = 0;
  r.TCPA = 0;
  r.CpaFrom = {};
  r.CpaAlarm = false;
  r.RawSOG = 0;
  r.TextTime = 0;
  r.Kind = kAisKindUnknown;
  // What belongs to a previous occupant of the slot and would otherwise show
  // for the new one: its status, accuracy and unread-text mark.
  r.NavStatus = 0;
  r.Accuracy = false;
  r.NewText = false;
}

void MakeOutline(TAIS_Rec& r) {
  if (r.ToBow + r.ToStern == 0 || r.ToStarboard + r.ToPort == 0) {
    r.HasOutline = false;
    return;
  }
  r.HasOutline = true;
  r.LengthM = r.ToBow + r.ToStern;
  // Without course and heading the outline could not be turned.
  if (r.RawHeading == kAisHeadingNotAvailable && r.RawCOG == kAisCourseNotAvailable) {
    r.LengthM = 0;
    r.HasOutline = false;
  }
  const double h = (r.ToStarboard + r.ToPort) / 2.0;
  const double bow = r.ToBow, stern = r.ToStern, port = r.ToPort, starboard = r.ToStarboard;
  r.Outline[0] = XYToPolar({starboard - h, bow});
  r.Outline[1] = XYToPolar({-port, bow - h});
  r.Outline[2] = XYToPolar({starboard, bow - h});
  r.Outline[3] = XYToPolar({-port, -stern});
  r.Outline[4] = XYToPolar({starboard, -stern});
}

// ---------------------------------------------------------------------------
// Decoder

TAisDecoder::TAisDecoder(TNMEA& parser) : parser_(parser), clock_(parser.GetClock()) {
  InitTarget(OwnVessel);
  parser_.OnAisSentence = [this](const TNdxString& sentence, bool ownVessel) { TakeSentence(sentence, ownVessel); };
}

TAisDecoder::~TAisDecoder() { parser_.OnAisSentence = nullptr; }

void TAisDecoder::TakeSentence(const TNdxString& sentence, bool ownVessel) {
  TAisFragment f;
  if (!ParseAisFragment(sentence, f)) return;
  if (assembler_.Take(f, parser_.CurrentSource, ownVessel, bits_) != TAisAssembler::TResult::Complete) return;
  if (!DecodeAisMessage(bits_, message_)) return;
  if (OnMessage) OnMessage(message_, ownVessel);
  Apply(message_, ownVessel);
}

void TAisDecoder::Apply(const TAisMessage& m, bool ownVessel) {
  if (ownVessel)
    ApplyVdo(m);
  else
    ApplyVdm(m);
}

void TAisDecoder::TakePosition(TAIS_Rec& t, int32_t rawLat, int32_t rawLon) {
  t.RawLat = rawLat;
  t.RawLon = rawLon;
  t.TargetPos = {rawLon * kAisRawToRad, rawLat * kAisRawToRad};
  t.PosTime = clock_.MonoNow();
  t.TargetState = ValidPosition(rawLat, rawLon) ? kAisActive : kAisNoPosition;
}

// Speed, course and heading of types 1, 2, 3, 9, 18 and 19.
void TAisDecoder::TakeMotion(TAIS_Rec& t, const TAisMessage& m) {
  if (m.Type == 9) {
    t.RawSOG = m.Speed;
    t.SOGKnots = m.Speed;
  } else {
    if (m.Type <= 3) {
      t.NavStatus = m.NavStatus;
      t.RawROT = m.Turn;
    }
    t.RawSOG = m.Speed;
    t.SOGKnots = m.Speed * 0.1;
    t.RawHeading = NormalHeading(m.Heading);
  }
  t.RawCOG = NormalCourse(m.Course);
  const bool courseKnown = t.RawCOG != kAisCourseNotAvailable;
  const bool headingKnown = t.RawHeading != kAisHeadingNotAvailable;
  t.COGRad = courseKnown ? t.RawCOG * kTenthDegToRad : kTwoPi;
  t.HeadingRad = headingKnown ? t.RawHeading * kDegToRad : t.COGRad;
  if (!courseKnown) t.COGRad = t.HeadingRad;
  if (!courseKnown && !headingKnown) t.SOGKnots = 0;
  const bool speedKnown = t.RawSOG != kAisSpeedNotAvailable;
  t.DisplayDir = speedKnown && t.SOGKnots >= parser_.Info.AisCogHeadLimit ? t.COGRad : t.HeadingRad;
}

void TAisDecoder::TestChartFlag(TAIS_Rec& t) {
  if (t.TargetState == kAisActive && PointInFRect(t.TargetPos, AisViewArea)) {
    t.ChartFlag = kAisOnChart;
    return;
  }
  if (t.ChartFlag == kAisOnChart) parser_.AisChanged = true;
  t.ChartFlag = kAisOffChart;
}

void TAisDecoder::ApplyVdm(const TAisMessage& m) {
  if (m.MMSI == parser_.OwnMMSI) return;
  switch (m.Type) {
    case 1: case 2: case 3: case 9: case 18: case 19: {
      const int i = FindOrAddTarget(m.MMSI);
      if (i < 0) return;
      TAIS_Rec& t = targets_[static_cast<size_t>(i)];
      t.Kind = m.Type == 9 ? kAisSarAircraft : m.Type >= 18 ? kAisClassB : kAisClassA;
      t.Accuracy = m.Accuracy;
      TakePosition(t, m.Lat, m.Lon);
      TakeMotion(t, m);
      t.PosChanged = true;
      RangeAndCpa(t);
      TestChartFlag(t);
      break;
    }
    case 4: case 11: {
      const int i = FindOrAddTarget(m.MMSI);
      if (i < 0) return;
      TAIS_Rec& t = targets_[static_cast<size_t>(i)];
      if (m.Type == 11)
        t.Kind = kAisMobileStation;
      else if (t.Kind == kAisKindUnknown)
        t.Kind = kAisBaseStation;
      t.Accuracy = m.Accuracy;
      TakePosition(t, m.Lat, m.Lon);
      t.CpaAlarm = false;
      RangeAndBearing(t, t.TargetPos);
      t.PosChanged = true;
      TestChartFlag(t);
      break;
    }
    case 5: {
      const int i = FindOrAddTarget(m.MMSI);
      if (i >= 0) DecodeStatic(targets_[static_cast<size_t>(i)], m);
      break;
    }
    case 8: {
      // Stations are told apart by their position (1/1000 minute, kept in
      // the record's units).
      const int32_t lat = m.Lat * 10, lon = m.Lon * 10;
      const int i = FindOrAddStation(kAisMetStation, lat, lon);
      if (i < 0) return;
      TAIS_Rec& t = targets_[static_cast<size_t>(i)];
      t.Kind = kAisMetStation;
      TakePosition(t, lat, lon);
      TakeMet(t, m.Met);
      RangeAndCpa(t);
      // A station first heard while a chart is shown is drawn from the next
      // refresh on, like a vessel.
      t.PosChanged = true;
      TestChartFlag(t);
      break;
    }
    case 14: {
      const int i = FindTarget(m.MMSI);
      if (i < 0) return;
      CurrentTarget = i;
      TAIS_Rec& t = targets_[static_cast<size_t>(i)];
      const std::string_view text = m.Text.View();
      if (t.TextTime == 0 || text != t.SafetyText) t.NewText = true;
      t.SafetyText.assign(text);
      t.TextTime = clock_.NowUTC();
      break;
    }
    case 21: {
      const int i = FindOrAddTarget(m.MMSI);
      if (i < 0) return;
      TAIS_Rec& t = targets_[static_cast<size_t>(i)];
      t.Kind = kAisAtoN;
      t.Name = m.Name;
      t.Accuracy = m.Accuracy;
      TakePosition(t, m.Lat, m.Lon);
      RangeAndBearing(t, t.TargetPos);
      t.CpaAlarm = false;
      t.PosChanged = true;
      TestChartFlag(t);
      break;
    }
    case 24: {
      const int i = FindOrAddTarget(m.MMSI);
      if (i < 0) return;
      TAIS_Rec& t = targets_[static_cast<size_t>(i)];
      t.Kind = kAisClassB;
      TakeStaticPart(t, m);
      break;
    }
    default:
      break;
  }
}

void TAisDecoder::ApplyVdo(const TAisMessage& m) {
  TAIS_Rec& own = OwnVessel;
  switch (m.Type) {
    case 1: case 2: case 3: case 18:
      if (m.BitCount != 168) return;
      // A GPS position outranks the transponder's.
      if (parser_.Seen & (kSeenRMC | kSeenGGA | kSeenGLL)) return;
      if (m.Type <= 3) own.Kind = kAisClassA;
      own.Accuracy = m.Accuracy;
      TakePosition(own, m.Lat, m.Lon);
      TakeMotion(own, m);
      own.LastReport = clock_.MonoNow();
      own.LastReportUTC = clock_.NowUTC();
      ApplyOwnPosition();
      break;
    case 5:
      CurrentTarget = kCurrentOwnVessel;
      DecodeStatic(own, m);
      break;
    case 24:
      TakeStaticPart(own, m);
      break;
    default:
      break;
  }
}

// The own transponder's position report as the vessel's position, while no
// GPS position is being received.
void TAisDecoder::ApplyOwnPosition() {
  TNMEAINFO& I = parser_.Info;
  const TAIS_Rec& own = OwnVessel;
  parser_.Updated |= kSetFix | kSetQuality;
  if (own.TargetState != kAisActive) {
    I.FixStatus = kFixInvalid;
    I.CogSogSource = kCogSogAisNoPos;
    I.FixQuality = 0;
    return;
  }
  I.RawPos = own.TargetPos;
  I.Pos = {I.RawPos.X + I.DatumOffset.X, I.RawPos.Y + I.DatumOffset.Y};
  I.FixQuality = own.Accuracy ? 2 : 1;
  // A speed or course the transponder does not know is no data, not
  // 102.3 knots or 360 degrees.
  const bool motionKnown = own.RawCOG != kAisCourseNotAvailable || own.RawHeading != kAisHeadingNotAvailable;
  I.SOG = own.RawSOG != kAisSpeedNotAvailable ? own.SOGKnots : NoDataValue;
  I.COG = motionKnown ? NormalisedAngle(own.COGRad) : NoDataValue;
  if (IsKnown(I.ModelVariation)) {
    I.Variation = I.ModelVariation;
    parser_.Updated |= kSetVariation;
  }
  I.CompassHeading = own.RawHeading == kAisHeadingNotAvailable ? I.COG : own.HeadingRad;
  I.Heading = I.COG;
  if (IsKnown(I.SOG) && I.SOG < parser_.CogSwitchSpeed && IsKnown(I.CompassHeading)) I.Heading = I.CompassHeading;
  if (IsKnown(I.CompassHeading) && IsKnown(I.Variation)) {
    I.MagHeading = NormalisedAngle(I.CompassHeading - I.Variation);
    parser_.Updated |= kSetMagHeading;
  }
  if (IsKnown(I.SOG) && IsKnown(I.COG)) {
    I.VelEast = std::sin(I.COG) * I.SOG;
    I.VelNorth = std::cos(I.COG) * I.SOG;
  } else {
    I.VelEast = I.VelNorth = NoDataValue;
  }
  I.TalkerIn = "AI";
  I.FixStatus = kFixValid;
  I.CogSogSource = kCogSogReceived;
  I.LastFixTime = clock_.MonoNow();
  I.GpsDateTime = clock_.NowUTC();
  parser_.Updated |= kSetPos | kSetSOG | kSetCOG | kSetHeading | kSetCompass | kSetVelocity | kSetTime;
}
