// The target table: lookup and creation, closest approach and alarms,
// ageing, the view area and the lists the window shows.
#include <algorithm>
#include <charconv>
#include <chrono>
#include <cmath>

#include "foundation/GenUtil.h"
#include "instruments/AIS.h"
#include "instruments/NMEA.h"

namespace {

uint64_t StationKey(int32_t rawLat, int32_t rawLon) {
  return static_cast<uint64_t>(static_cast<uint32_t>(rawLat)) << 32 | static_cast<uint32_t>(rawLon);
}

// Speed, and course or heading, known and above 0.3 knots: the target moves
// in a known direction.
// A target reporting more than 0.3 knots gets a closest-approach check.
bool UnderWay(const TAIS_Rec& t) { return t.RawSOG > 3 && t.RawSOG != kAisSpeedNotAvailable; }

// ... and it moves along a direction only when it reports its course or
// its heading (without either its speed is taken as 0: a drifting vessel
// ahead still raises the alarm as the own vessel closes on it).
bool Moving(const TAIS_Rec& t) {
  return UnderWay(t) && (t.RawCOG != kAisCourseNotAvailable || t.RawHeading != kAisHeadingNotAvailable);
}

double Known(double v) { return IsKnown(v) && std::isfinite(v) ? v : 0.0; }

TMonoTime Minutes(double minutes) {
  // Settings out of range are held to [0, ten years].
  if (!(minutes > 0)) minutes = 0;
  minutes = std::min(minutes, 5256000.0);
  return std::chrono::duration_cast<TMonoTime>(std::chrono::duration<double, std::ratio<60>>(minutes));
}

}  // namespace

// ---------------------------------------------------------------------------
// Lookup and creation

int TAisDecoder::NewSlot() {
  if (!free_.empty()) {
    const int i = *free_.begin();
    free_.erase(free_.begin());
    Forget(i);
    return i;
  }
  const size_t size = targets_.size();
  if (size + kAisTableStep > static_cast<size_t>(kAisMaxTargets)) return -1;
  targets_.resize(size + kAisTableStep);  // default records are initialised ones
  for (size_t k = size + 1; k < targets_.size(); ++k) free_.insert(static_cast<int32_t>(k));
  return static_cast<int>(size);
}

// Removes the index entries of the record in slot i before the slot is reused.
void TAisDecoder::Forget(int i) {
  const TAIS_Rec& r = targets_[static_cast<size_t>(i)];
  if (r.Kind == kAisMetStation) {
    auto it = byStation_.find(StationKey(r.RawLat, r.RawLon));
    if (it != byStation_.end() && it->second == i) byStation_.erase(it);
  } else {
    auto it = byMmsi_.find(r.MMSI);
    if (it != byMmsi_.end() && it->second == i) byMmsi_.erase(it);
  }
}

int TAisDecoder::FindOrAddTarget(int32_t mmsi) {
  int i;
  auto it = byMmsi_.find(mmsi);
  if (it != byMmsi_.end()) {
    i = it->second;
    TAIS_Rec& t = targets_[static_cast<size_t>(i)];
    if (t.TargetState == kAisFree) free_.erase(i);
    if (t.TargetState != kAisActive) {
      t.TargetState = kAisNoPosition;
      t.ChartFlag = kAisUntested;
    }
  } else {
    i = NewSlot();
    if (i < 0) return -1;
    TAIS_Rec& t = targets_[static_cast<size_t>(i)];
    InitTarget(t);
    t.MMSI = mmsi;
    t.TargetState = kAisNoPosition;
    t.ChartFlag = kAisUntested;
    byMmsi_[mmsi] = i;
  }
  TAIS_Rec& t = targets_[static_cast<size_t>(i)];
  t.LastReport = clock_.MonoNow();
  t.LastReportUTC = clock_.NowUTC();
  CurrentTarget = i;
  return i;
}

int TAisDecoder::FindOrAddStation(uint8_t kind, int32_t rawLat, int32_t rawLon) {
  const uint64_t key = StationKey(rawLat, rawLon);
  int i = -1;
  auto it = byStation_.find(key);
  if (it != byStation_.end() && targets_[static_cast<size_t>(it->second)].Kind == kind) {
    i = it->second;
    TAIS_Rec& t = targets_[static_cast<size_t>(i)];
    if (t.TargetState == kAisFree) free_.erase(i);
    if (t.TargetState != kAisActive) {
      t.TargetState = kAisNoPosition;
      t.ChartFlag = kAisUntested;
    }
  } else {
    i = NewSlot();
    if (i < 0) return -1;
    // The key counter wraps from the largest 32-bit value to the smallest.
    parser_.TargetKeyCounter = static_cast<int32_t>(static_cast<uint32_t>(parser_.TargetKeyCounter) + 1u);
    TAIS_Rec& t = targets_[static_cast<size_t>(i)];
    InitTarget(t);
    t.MMSI = parser_.TargetKeyCounter;
    t.Kind = kind;
    t.RawLat = rawLat;
    t.RawLon = rawLon;
    t.TargetState = kAisNoPosition;
    t.ChartFlag = kAisUntested;
    byStation_[key] = i;
  }
  TAIS_Rec& t = targets_[static_cast<size_t>(i)];
  t.LastReport = clock_.MonoNow();
  t.LastReportUTC = clock_.NowUTC();
  CurrentTarget = i;
  return i;
}

int TAisDecoder::FindTarget(int32_t mmsi) const {
  auto it = byMmsi_.find(mmsi);
  if (it == byMmsi_.end()) return -1;
  return targets_[static_cast<size_t>(it->second)].TargetState == kAisActive ? it->second : -1;
}

// ---------------------------------------------------------------------------
// Range and closest approach

void TAisDecoder::RangeAndBearing(TAIS_Rec& t, const TFPoint& pos) {
  const TFPoint db = GeoDistBearing(parser_.Info.Pos, pos);
  t.Range = db.X * kRadToNM;
  t.Bearing = db.Y;
}

// The target's last reported position is moved on along its course at its
// speed to the present moment; range and bearing are taken to that point,
// and the closest approach from the motion of the target relative to the
// own vessel.
void TAisDecoder::RangeAndCpa(TAIS_Rec& t) {
  const bool checked = t.Kind != kAisMetStation && t.TargetState == kAisActive && UnderWay(t);
  const bool moving = checked && Moving(t);
  TFPoint pos = t.TargetPos;
  if (moving) {
    const double hours = std::chrono::duration<double, std::ratio<3600>>(clock_.MonoNow() - t.PosTime).count();
    if (hours > 0) {
      const TFPoint ahead = GeoOffset(pos, {t.SOGKnots * hours / kRadToNM, t.COGRad});
      if (std::isfinite(ahead.X) && std::isfinite(ahead.Y)) pos = ahead;
    }
  }
  RangeAndBearing(t, pos);
  t.CpaFrom = pos;
  if (t.Kind == kAisMetStation) return;
  auto none = [&t] {
    t.CPA = 0;
    t.TCPA = 0;
    t.CpaAlarm = false;
  };
  if (!checked) return none();
  const TNMEAINFO& I = parser_.Info;
  const double speed = moving ? t.SOGKnots : 0;
  const double x = speed * std::sin(t.COGRad) - Known(I.VelEast);
  const double y = speed * std::cos(t.COGRad) - Known(I.VelNorth);
  const TFPoint rel = XYToPolar({x, y});  // relative speed (knots) and its direction
  if (!(rel.X > 0) || !std::isfinite(rel.X) || !std::isfinite(t.Range)) return none();
  const double a = t.Bearing - rel.Y;
  const double cpa = std::fabs(std::sin(a) * t.Range);
  const double tcpa = std::cos(a) * t.Range / (rel.X * -24.0);
  if (!std::isfinite(cpa) || !std::isfinite(tcpa)) return none();
  t.CPA = cpa;
  t.TCPA = tcpa;
  if (!(tcpa > 0)) t.CpaAlarm = false;
}

void TAisDecoder::UpdateRangeAndCpa(int i) {
  if (i < 0 || i >= TargetCount()) return;
  CurrentTarget = i;
  RangeAndCpa(targets_[static_cast<size_t>(i)]);
}

bool TAisDecoder::InAlarm(const TAIS_Rec& r, double tcpaLimit, double cpaLimit) {
  return r.TCPA > 0 && r.LengthM / 1852.0 + cpaLimit > r.CPA && r.TCPA < tcpaLimit;
}

bool TAisDecoder::CheckTargetAlarm(int i, double tcpaLimit, double cpaLimit) {
  if (i < 0 || i >= TargetCount()) return false;
  UpdateRangeAndCpa(i);
  TAIS_Rec& t = targets_[static_cast<size_t>(i)];
  t.CpaAlarm = InAlarm(t, tcpaLimit, cpaLimit);
  return t.CpaAlarm;
}

int TAisDecoder::CheckAlarms(double tcpaLimit, double cpaLimit) {
  int count = 0;
  for (size_t i = 0; i < targets_.size(); ++i) {
    TAIS_Rec& t = targets_[i];
    if (t.TargetState != kAisActive || t.Kind > kAisClassB) {
      t.CpaAlarm = false;
      continue;
    }
    // Only targets in alarm or close to it are recomputed against the
    // present own position; the others keep the values of their last report.
    if ((t.CpaAlarm || InAlarm(t, tcpaLimit, cpaLimit)) && CheckTargetAlarm(static_cast<int>(i), tcpaLimit, cpaLimit))
      ++count;
  }
  return count;
}

// ---------------------------------------------------------------------------
// Ageing

int TAisDecoder::HideStale(TMonoTime before) {
  int n = 0;
  for (TAIS_Rec& t : targets_) {
    if ((t.TargetState == kAisActive || t.TargetState == kAisNoPosition) && t.LastReport < before) {
      t.TargetState = kAisHidden;
      if (t.ChartFlag == kAisOnChart) parser_.AisChanged = true;
      t.ChartFlag = kAisAged;
      ++n;
    }
  }
  return n;
}

int TAisDecoder::DeleteStale(TMonoTime atOrBefore) {
  int n = 0;
  for (size_t i = 0; i < targets_.size(); ++i) {
    TAIS_Rec& t = targets_[i];
    if (t.TargetState == kAisHidden && t.LastReport <= atOrBefore) {
      // The data stay, for a station heard again, until the slot is reused.
      t.TargetState = kAisFree;
      free_.insert(static_cast<int32_t>(i));
      ++n;
    }
  }
  return n;
}

TAisDecoder::TPurge TAisDecoder::Purge(double hideMinutes, double deleteMinutes) {
  const TMonoTime now = clock_.MonoNow();
  TPurge r;
  r.Hidden = HideStale(now - Minutes(hideMinutes));
  r.Deleted = DeleteStale(now - Minutes(deleteMinutes));
  return r;
}

void TAisDecoder::ClearTargets() {
  parser_.AisEnabled = false;
  targets_.clear();
  byMmsi_.clear();
  byStation_.clear();
  free_.clear();
  assembler_.Reset();
  CurrentTarget = -1;
  parser_.AisChanged = true;
}

// ---------------------------------------------------------------------------
// The chart and the lists

void TAisDecoder::SetAisViewArea(const TFRect& area) {
  AisViewArea = area;
  for (TAIS_Rec& t : targets_) {
    t.ChartFlag = t.TargetState == kAisActive && PointInFRect(t.TargetPos, area) ? kAisOnChart : kAisOffChart;
  }
}

int TAisDecoder::UpdateScreenPoints(bool force, const TAisGeoToPixel& toPixel) {
  int n = 0;
  for (TAIS_Rec& t : targets_) {
    if (!force && !t.PosChanged) continue;
    t.PosChanged = false;
    if (t.ChartFlag != kAisOnChart) continue;
    parser_.AisChanged = true;
    TPoint p;
    if (toPixel && toPixel(t.TargetPos, p)) {
      t.ChartPoint = p;
      ++n;
    } else {
      t.ChartFlag = kAisOffChart;  // no place on this chart: not drawn
    }
  }
  return n;
}

int TAisDecoder::ListTargets(std::vector<std::string>& list) const {
  int n = 0;
  for (size_t i = 0; i < targets_.size(); ++i) {
    if (targets_[i].TargetState != kAisActive) continue;
    char digits[16];
    auto r = std::to_chars(digits, digits + sizeof digits, i);
    std::string line = TargetLabel(targets_[i]);
    line += ':';
    line.append(static_cast<size_t>(std::max<ptrdiff_t>(0, 3 - (r.ptr - digits))), '0');
    line.append(digits, r.ptr);
    list.push_back(std::move(line));
    ++n;
  }
  return n;
}

int TAisDecoder::NearestTarget(const TFPoint& pos) const {
  const double scale = std::cos(pos.Y);
  int best = -1;
  double bestD = 0;
  for (size_t i = 0; i < targets_.size(); ++i) {
    const TAIS_Rec& t = targets_[i];
    if (t.TargetState != kAisActive || t.ChartFlag != kAisOnChart) continue;
    double dLon = t.TargetPos.X - pos.X;
    if (std::fabs(dLon) > kPi) dLon = std::remainder(dLon, 2 * kPi);
    const double dx = dLon * scale, dy = t.TargetPos.Y - pos.Y;
    const double d = dx * dx + dy * dy;
    if (best < 0 || d < bestD) {
      best = static_cast<int>(i);
      bestD = d;
    }
  }
  return best;
}
