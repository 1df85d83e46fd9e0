#include "instruments/SignalK.h"

#include <algorithm>
#include <cmath>

#include "foundation/GenUtil.h"
#include "foundation/Json.h"
#include "instruments/AIS.h"
#include "instruments/NMEA.h"
#include "instruments/NMEAFields.h"

namespace {

constexpr double kKelvinToCelsius = 273.15;
constexpr double kRadPerSecToDegPerMin = kRadToDeg * 60.0;
// Limits beyond which a value is garbage rather than a measurement.
constexpr double kMaxAngle = 100.0;        // radians (angles come as -pi..2pi)
constexpr double kMaxSpeed = 300.0;        // metres a second
constexpr double kMaxDepth = 12000.0;      // metres
constexpr double kMaxDimension = 1000.0;   // metres (vessel sizes)
constexpr double kMaxRateOfTurn = 10.0;    // radians a second

// The paths the reader knows.
enum class TPath : uint8_t {
  Unknown,
  Root,  // "": name, mmsi, communication of a station
  Position,
  Sog,
  Cog,
  HeadingTrue,
  HeadingMagnetic,
  Variation,
  WaterSpeed,
  RateOfTurn,
  State,
  Destination,
  DateTime,
  GnssQuality,
  GnssSatellites,
  GnssHdop,
  GnssAltitude,
  GnssDgpsAge,
  GnssDgpsStation,
  DepthBelowTransducer,
  DepthBelowSurface,
  DepthBelowKeel,
  SurfaceToTransducer,
  TransducerToKeel,
  WaterTemp,
  WindAngleApparent,
  WindSpeedApparent,
  WindAngleTrueWater,
  WindAngleTrueGround,
  WindSpeedTrue,
  WindDirectionTrue,
  Name,
  CallSign,
  Length,
  Beam,
  Draft,
  FromBow,
  FromCenter,
  AisClass,
};

struct TPathName {
  std::string_view name;
  TPath path;
};
constexpr TPathName kPaths[] = {
    {"", TPath::Root},
    {"navigation.position", TPath::Position},
    {"navigation.speedOverGround", TPath::Sog},
    {"navigation.courseOverGroundTrue", TPath::Cog},
    {"navigation.headingTrue", TPath::HeadingTrue},
    {"navigation.headingMagnetic", TPath::HeadingMagnetic},
    {"navigation.magneticVariation", TPath::Variation},
    {"navigation.speedThroughWater", TPath::WaterSpeed},
    {"navigation.rateOfTurn", TPath::RateOfTurn},
    {"navigation.state", TPath::State},
    {"navigation.destination.commonName", TPath::Destination},
    {"navigation.datetime", TPath::DateTime},
    {"navigation.gnss.methodQuality", TPath::GnssQuality},
    {"navigation.gnss.satellites", TPath::GnssSatellites},
    {"navigation.gnss.horizontalDilution", TPath::GnssHdop},
    {"navigation.gnss.antennaAltitude", TPath::GnssAltitude},
    {"navigation.gnss.differentialAge", TPath::GnssDgpsAge},
    {"navigation.gnss.differentialReference", TPath::GnssDgpsStation},
    {"environment.depth.belowTransducer", TPath::DepthBelowTransducer},
    {"environment.depth.belowSurface", TPath::DepthBelowSurface},
    {"environment.depth.belowKeel", TPath::DepthBelowKeel},
    {"environment.depth.surfaceToTransducer", TPath::SurfaceToTransducer},
    {"environment.depth.transducerToKeel", TPath::TransducerToKeel},
    {"environment.water.temperature", TPath::WaterTemp},
    {"environment.wind.angleApparent", TPath::WindAngleApparent},
    {"environment.wind.speedApparent", TPath::WindSpeedApparent},
    {"environment.wind.angleTrueWater", TPath::WindAngleTrueWater},
    {"environment.wind.angleTrueGround", TPath::WindAngleTrueGround},
    {"environment.wind.speedTrue", TPath::WindSpeedTrue},
    {"environment.wind.directionTrue", TPath::WindDirectionTrue},
    {"name", TPath::Name},
    {"communication.callsignVhf", TPath::CallSign},
    {"design.length", TPath::Length},
    {"design.beam", TPath::Beam},
    {"design.draft", TPath::Draft},
    {"sensors.ais.fromBow", TPath::FromBow},
    {"sensors.ais.fromCenter", TPath::FromCenter},
    {"sensors.ais.class", TPath::AisClass},
};

TPath PathOf(std::string_view name) {
  for (const TPathName& p : kPaths)
    if (p.name == name) return p.path;
  return TPath::Unknown;
}

// Navigational status codes by their Signal K names.
constexpr std::string_view kStates[] = {"motoring",
                                        "anchored",
                                        "not-under-command",
                                        "restricted-manouverability",
                                        "constrained-by-draft",
                                        "moored",
                                        "aground",
                                        "fishing",
                                        "sailing",
                                        "hazardous-material-high-speed",
                                        "hazardous-material-wing-in-ground",
                                        "power-driven-towing-astern",
                                        "power-driven-pushing-ahead-or-towing-alongside",
                                        "reserved",
                                        "ais-sart",
                                        "default"};

// GNSS fix qualities by name, in the order of the GGA quality indicator.
constexpr std::string_view kQualities[] = {"no GPS",         "GNSS Fix",           "DGNSS fix",
                                           "Precise GNSS",   "RTK fixed integer",  "RTK float",
                                           "Estimated (DR) mode", "Manual input", "Simulator mode"};

int32_t RoundClamp(double v, double lo, double hi) {
  return static_cast<int32_t>(std::lround(std::clamp(v, lo, hi)));
}

int Digit(char c) { return c >= '0' && c <= '9' ? c - '0' : -1; }

// Digits at text[pos, pos + n) as a number; -1 when they are not digits.
int Digits(std::string_view text, size_t pos, size_t n) {
  if (pos + n > text.size()) return -1;
  int v = 0;
  for (size_t i = 0; i < n; ++i) {
    const int d = Digit(text[pos + i]);
    if (d < 0) return -1;
    v = v * 10 + d;
  }
  return v;
}

bool IsSelfContext(std::string_view context, const std::string& self) {
  return context.empty() || context == "vessels.self" || (!self.empty() && context == self);
}

template <size_t N>
void AssignText(TAisText<N>& to, const std::string& from) {
  // AIS texts are upper case six-bit characters; anything else shows as "?".
  std::string s;
  for (unsigned char c : from) {
    if (s.size() >= N) break;
    char u = static_cast<char>(c);
    if (c >= 'a' && c <= 'z') u = static_cast<char>(c - 'a' + 'A');
    if (static_cast<unsigned char>(u) < 32 || static_cast<unsigned char>(u) > 95) u = '?';
    s += u;
  }
  to.Assign(s);
}

}  // namespace

struct TSignalKReader::TOwnFrame {
  std::optional<double> Lat, Lon;
  bool PositionNull = false;
  std::optional<double> Sog, Cog, HeadingTrue, HeadingMagnetic, Variation, WaterSpeed, RateOfTurn;
  std::optional<double> DepthT, DepthS, DepthK, WaterTemp;
  std::optional<double> ApparentAngle, ApparentSpeed, TrueAngle, TrueSpeed, TrueDirection;
  TNMEA::TGnss Gnss;
  bool GnssAny = false;
  std::optional<TDateTime> DateTime;
};

TSignalKReader::TSignalKReader(TNMEA& parser, TAisDecoder* ais)
    : parser_(parser),
      ais_(ais),
      clock_(parser.GetClock()),
      apparentAngle_(NoDataValue),
      apparentSpeed_(NoDataValue),
      trueAngle_(NoDataValue),
      trueSpeed_(NoDataValue),
      trueDirection_(NoDataValue),
      surfaceToTransducer_(NoDataValue),
      transducerToKeel_(NoDataValue) {}

TSignalKReader::~TSignalKReader() = default;

void TSignalKReader::Restart() {
  self_.clear();
  held_.clear();
}

std::string TSignalKReader::MonitorLine(std::string_view message) {
  std::string line;
  for (unsigned char c : message) {
    if (line.size() >= kMonitorLine) break;
    if (c == '\n' || c == '\r' || c == '\t') c = ' ';
    line += c >= 32 && c < 127 ? static_cast<char>(c) : '?';
  }
  return line;
}

std::string TSignalKReader::SubscribeMessage() {
  // Every vessel: the own vessel's instruments and what AIS tells of the
  // others ("" carries their names); aids to navigation and base stations.
  return "{\"context\":\"vessels.*\",\"subscribe\":["
         "{\"path\":\"navigation.*\"},{\"path\":\"environment.depth.*\"},{\"path\":\"environment.wind.*\"},"
         "{\"path\":\"environment.water.temperature\"},{\"path\":\"design.*\"},{\"path\":\"sensors.ais.*\"},"
         "{\"path\":\"communication.*\"},{\"path\":\"\"}]}\n"
         "{\"context\":\"atons.*\",\"subscribe\":["
         "{\"path\":\"navigation.*\"},{\"path\":\"sensors.ais.*\"},{\"path\":\"\"}]}";
}

std::optional<TDateTime> TSignalKReader::ReadTimestamp(std::string_view t) {
  // YYYY-MM-DDTHH:MM:SS[.fff][Z|+hh:mm|-hh:mm]
  if (t.size() < 19 || t.size() > 40 || t[4] != '-' || t[7] != '-' || (t[10] != 'T' && t[10] != ' ') ||
      t[13] != ':' || t[16] != ':')
    return std::nullopt;
  const int year = Digits(t, 0, 4), month = Digits(t, 5, 2), day = Digits(t, 8, 2);
  const int hour = Digits(t, 11, 2), minute = Digits(t, 14, 2), second = Digits(t, 17, 2);
  if (year < 0 || month < 0 || day < 0 || hour < 0 || hour > 23 || minute < 0 || minute > 59 || second < 0 ||
      second > 60)
    return std::nullopt;
  size_t pos = 19;
  double fraction = 0;
  if (pos < t.size() && t[pos] == '.') {
    ++pos;
    double scale = 0.1;
    const size_t start = pos;
    while (pos < t.size() && Digit(t[pos]) >= 0) {
      fraction += Digit(t[pos]) * scale;
      scale /= 10;
      ++pos;
    }
    if (pos == start) return std::nullopt;
  }
  int offsetMinutes = 0;
  if (pos < t.size() && t[pos] == 'Z') {
    ++pos;
  } else if (pos < t.size() && (t[pos] == '+' || t[pos] == '-')) {
    const int h = Digits(t, pos + 1, 2);
    const int m = pos + 3 < t.size() && t[pos + 3] == ':' ? Digits(t, pos + 4, 2) : Digits(t, pos + 3, 2);
    if (h < 0 || h > 23 || m < 0 || m > 59) return std::nullopt;
    offsetMinutes = (h * 60 + m) * (t[pos] == '+' ? 1 : -1);
    pos += t[pos + 3] == ':' ? 6 : 5;
  }
  if (pos != t.size()) return std::nullopt;
  TDateTime date = 0;
  if (!TryEncodeDate(year, month, day, date)) return std::nullopt;
  const double seconds = hour * 3600.0 + minute * 60.0 + second + fraction - offsetMinutes * 60.0;
  return date + seconds / 86400.0;
}

std::optional<int32_t> TSignalKReader::ContextMmsi(std::string_view context) {
  constexpr std::string_view kMarker = "urn:mrn:imo:mmsi:";
  const size_t at = context.rfind(kMarker);
  if (at == std::string_view::npos) return std::nullopt;
  const std::string_view digits = context.substr(at + kMarker.size());
  if (digits.empty() || digits.size() > 9) return std::nullopt;
  int32_t v = 0;
  for (char c : digits) {
    if (Digit(c) < 0) return std::nullopt;
    v = v * 10 + Digit(c);
  }
  return v;
}

std::optional<double> TSignalKReader::Number(const TJsonValue& v, double lo, double hi) {
  if (v.IsNull()) return NoDataValue;
  if (!v.IsNumber()) {
    ++counters_.BadTypes;
    return std::nullopt;
  }
  const double d = v.Number();
  if (!std::isfinite(d) || d < lo || d > hi) {
    ++counters_.BadNumbers;
    return std::nullopt;
  }
  return d;
}

bool TSignalKReader::Position(const TJsonValue& v, double& lat, double& lon) {
  lat = lon = NoDataValue;
  if (v.IsNull()) return true;
  const TJsonValue* la = v.Find("latitude");
  const TJsonValue* lo = v.Find("longitude");
  if (!v.IsObject() || !la || !lo) {
    ++counters_.BadTypes;
    return false;
  }
  const std::optional<double> a = Number(*la, -90, 90), o = Number(*lo, -180, 180);
  if (!a || !o) return false;
  if (IsKnown(*a) && IsKnown(*o)) {
    lat = *a;
    lon = *o;
  }
  return true;
}

// ---------------------------------------------------------------------------
// Messages

TSignalKReader::TKind TSignalKReader::Take(std::string_view message) {
  ++counters_.Messages;
  if (OnMessage) OnMessage(MonitorLine(message));
  if (message.size() > kMaxMessage) {
    ++counters_.TooLarge;
    return TKind::Dropped;
  }
  TJsonLimits limits;
  limits.MaxBytes = kMaxMessage;
  limits.MaxDepth = 16;
  limits.MaxString = 4096;
  std::optional<TJsonValue> msg = ParseJson(message, limits);
  if (!msg || !msg->IsObject()) {
    ++counters_.NotJson;
    return TKind::Dropped;
  }
  if (msg->Find("updates")) {
    const int64_t bad = counters_.Dropped();
    Delta(*msg);
    return counters_.Dropped() > bad ? TKind::Dropped : TKind::Delta;
  }
  if (msg->Find("self") || msg->Find("roles")) {
    Hello(*msg);
    return TKind::Hello;
  }
  return TKind::Other;
}

void TSignalKReader::Hello(const TJsonValue& msg) {
  auto text = [](const std::string* s) { return s ? MonitorLine(s->substr(0, 100)) : std::string(); };
  // "vessels.urn:..." (some servers leave out "vessels.").
  if (const std::string* self = msg.StringOf("self"); self && self->size() <= kMaxContextLength)
    self_ = self->rfind("vessels.", 0) == 0 ? *self : "vessels." + *self;
  serverName_ = text(msg.StringOf("name"));
  serverVersion_ = text(msg.StringOf("version"));
}

void TSignalKReader::Delta(const TJsonValue& msg) {
  const TJsonValue* updates = msg.ArrayOf("updates");
  if (!updates) {
    ++counters_.BadTypes;
    return;
  }
  ++counters_.Deltas;
  std::string context;
  if (const TJsonValue* c = msg.Find("context")) {
    if (!c->IsString() || c->String().size() > kMaxContextLength) {
      ++counters_.BadTypes;
      return;
    }
    context = c->String();
  }
  const bool own = IsSelfContext(context, self_);
  TTarget* target = nullptr;
  if (!own) {
    if (!ais_) return;
    const bool aton = context.rfind("atons.", 0) == 0;
    if (!aton && context.rfind("vessels.", 0) != 0) return;  // aircraft, shore stations, ...
    auto it = targets_.find(context);
    if (it == targets_.end()) {
      const std::optional<int32_t> mmsi = ContextMmsi(context);
      if (!mmsi || *mmsi == 0 || targets_.size() >= kMaxContexts) {
        ++counters_.TargetsRefused;
        return;
      }
      it = targets_.emplace(context, TTarget{}).first;
      it->second.Mmsi = *mmsi;
      it->second.Aton = aton;
    }
    target = &it->second;
  }
  for (const TJsonValue& update : updates->Items()) {
    if (!update.IsObject()) {
      ++counters_.BadTypes;
      continue;
    }
    updateTimestamp_ = 0;
    if (const std::string* ts = update.StringOf("timestamp")) {
      if (std::optional<TDateTime> t = ReadTimestamp(*ts)) updateTimestamp_ = lastTimestamp_ = *t;
    }
    if (own) {
      const std::string* source = update.StringOf("$source");
      OwnUpdate(update, source ? std::string_view(*source) : std::string_view());
    } else {
      // The own transponder's reports, which a server files under its MMSI.
      const TJsonValue* src = update.ObjectOf("source");
      const std::string* sentence = src ? src->StringOf("sentence") : nullptr;
      if (sentence && *sentence == "VDO") target->OwnTransponder = true;
      if (!target->OwnTransponder) TargetUpdate(*target, update);
    }
  }
}

// ---------------------------------------------------------------------------
// The own vessel

bool TSignalKReader::HoldSource(const std::string& path, std::string_view source) {
  const TMonoTime now = clock_.MonoNow();
  auto it = held_.find(path);
  if (it == held_.end() || it->second.source == source || now - it->second.last > kSourceHold) {
    if (it == held_.end()) it = held_.emplace(path, THeld{}).first;
    it->second.source.assign(source.substr(0, 100));
    it->second.last = now;
    return true;
  }
  ++counters_.OtherSource;
  return false;
}

template <class F>
void TSignalKReader::EachValue(const TJsonValue& update, F&& take) {
  const TJsonValue* values = update.ArrayOf("values");
  if (!values) {
    // An update may carry only "meta".
    if (!update.Find("meta")) ++counters_.BadTypes;
    return;
  }
  for (const TJsonValue& v : values->Items()) {
    const std::string* path = v.StringOf("path");
    const TJsonValue* value = v.Find("value");
    if (!path || !value) {
      ++counters_.BadTypes;
      continue;
    }
    take(*path, *value);
  }
}

void TSignalKReader::OwnUpdate(const TJsonValue& update, std::string_view source) {
  TOwnFrame f;
  EachValue(update, [&](const std::string& path, const TJsonValue& value) {
    if (PathOf(path) == TPath::Unknown || !HoldSource(path, source)) return;
    OwnValue(f, path, value);
  });
  ApplyOwn(f);
}

void TSignalKReader::OwnValue(TOwnFrame& f, std::string_view pathName, const TJsonValue& value) {
  const TPath path = PathOf(pathName);
  auto number = [&](double lo, double hi) { return Number(value, lo, hi); };
  std::optional<double>* slot = nullptr;
  std::optional<double> v;
  switch (path) {
    case TPath::Position: {
      double lat, lon;
      if (!Position(value, lat, lon)) return;
      if (IsNoData(lat)) {
        f.PositionNull = true;
        break;
      }
      f.Lat = lat * kDegToRad;
      f.Lon = lon * kDegToRad;
      break;
    }
    case TPath::Sog:
      slot = &f.Sog;
      v = number(-kMaxSpeed, kMaxSpeed);
      if (v && IsKnown(*v)) *v = std::fabs(*v) * kMsToKnot;
      break;
    case TPath::Cog: slot = &f.Cog; v = number(-kMaxAngle, kMaxAngle); break;
    case TPath::HeadingTrue: slot = &f.HeadingTrue; v = number(-kMaxAngle, kMaxAngle); break;
    case TPath::HeadingMagnetic: slot = &f.HeadingMagnetic; v = number(-kMaxAngle, kMaxAngle); break;
    case TPath::Variation: slot = &f.Variation; v = number(-kPi, kPi); break;
    case TPath::WaterSpeed:
      slot = &f.WaterSpeed;
      v = number(-kMaxSpeed, kMaxSpeed);
      if (v && IsKnown(*v)) *v *= kMsToKnot;
      break;
    case TPath::RateOfTurn:
      slot = &f.RateOfTurn;
      v = number(-kMaxRateOfTurn, kMaxRateOfTurn);
      if (v && IsKnown(*v)) *v *= kRadPerSecToDegPerMin;
      break;
    case TPath::DepthBelowTransducer: slot = &f.DepthT; v = number(-100, kMaxDepth); break;
    case TPath::DepthBelowSurface: slot = &f.DepthS; v = number(-100, kMaxDepth); break;
    case TPath::DepthBelowKeel: slot = &f.DepthK; v = number(-100, kMaxDepth); break;
    case TPath::SurfaceToTransducer:
      if ((v = number(-100, 100)) && IsKnown(*v)) surfaceToTransducer_ = *v;
      return;
    case TPath::TransducerToKeel:
      if ((v = number(-100, 100)) && IsKnown(*v)) transducerToKeel_ = *v;
      return;
    case TPath::WaterTemp:
      slot = &f.WaterTemp;
      v = number(0, 500);
      if (v && IsKnown(*v)) *v -= kKelvinToCelsius;
      break;
    case TPath::WindAngleApparent: slot = &f.ApparentAngle; v = number(-kMaxAngle, kMaxAngle); break;
    case TPath::WindSpeedApparent: slot = &f.ApparentSpeed; v = number(0, kMaxSpeed); break;
    case TPath::WindAngleTrueWater:
    case TPath::WindAngleTrueGround:
      // The wind relative to the water is the one the record keeps; the
      // ground wind stands in when no other comes.
      if (path == TPath::WindAngleTrueGround && f.TrueAngle) return;
      slot = &f.TrueAngle;
      v = number(-kMaxAngle, kMaxAngle);
      break;
    case TPath::WindSpeedTrue: slot = &f.TrueSpeed; v = number(0, kMaxSpeed); break;
    case TPath::WindDirectionTrue: slot = &f.TrueDirection; v = number(-kMaxAngle, kMaxAngle); break;
    case TPath::GnssQuality: {
      f.GnssAny = true;
      if (value.IsNull()) {
        f.Gnss.Quality = 0;
        break;
      }
      if (!value.IsString()) {
        ++counters_.BadTypes;
        return;
      }
      int32_t q = -1;
      for (size_t i = 0; i < std::size(kQualities); ++i)
        if (value.String() == kQualities[i]) q = static_cast<int32_t>(i);
      if (q >= 0) f.Gnss.Quality = q;
      return;
    }
    case TPath::GnssSatellites:
    case TPath::GnssDgpsAge:
    case TPath::GnssDgpsStation: {
      v = number(0, 100000);
      if (!v || IsNoData(*v)) return;
      f.GnssAny = true;
      const int32_t n = RoundClamp(*v, 0, 100000);
      (path == TPath::GnssSatellites ? f.Gnss.Satellites : path == TPath::GnssDgpsAge ? f.Gnss.DgpsAge
                                                                                       : f.Gnss.DgpsStation) = n;
      return;
    }
    case TPath::GnssHdop:
    case TPath::GnssAltitude:
      v = path == TPath::GnssHdop ? number(0, 1000) : number(-20000, 100000);
      if (!v) return;
      f.GnssAny = true;
      (path == TPath::GnssHdop ? f.Gnss.HDOP : f.Gnss.Altitude) = *v;
      return;
    case TPath::DateTime:
      if (value.IsNull()) return;
      if (!value.IsString()) {
        ++counters_.BadTypes;
        return;
      }
      if (std::optional<TDateTime> t = ReadTimestamp(value.String()))
        f.DateTime = *t;
      else
        ++counters_.BadTypes;
      return;
    default:
      return;  // a station's path: nothing of the own vessel
  }
  if (slot && v) {
    *slot = *v;
    ++counters_.Values;
  }
}

void TSignalKReader::ApplyOwn(const TOwnFrame& f) {
  TNMEA& p = parser_;
  auto angle = [](double a) { return IsNoData(a) ? a : NormalisedAngle(a); };
  if (f.Variation) p.TakeVariation(*f.Variation);
  if (f.PositionNull) {
    p.TakeNoFix();
  } else if (f.Lat && f.Lon) {
    p.TakeFix(*f.Lat, *f.Lon);
    if (updateTimestamp_ > 0) p.TakeFixTime(updateTimestamp_);
  }
  if (f.DateTime) p.TakeDateTime(*f.DateTime);
  if (f.GnssAny) p.TakeGnss(f.Gnss);
  // Headings before the motion, so that a slow boat's heading is this
  // update's compass.
  if (f.HeadingTrue) p.TakeHeadingTrue(angle(*f.HeadingTrue));
  if (f.HeadingMagnetic) p.TakeHeadingMagnetic(angle(*f.HeadingMagnetic));
  if (f.Sog || f.Cog) {
    std::optional<double> cog;
    if (f.Cog) cog = angle(*f.Cog);
    p.TakeMotion(f.Sog, cog);
  }
  if (f.WaterSpeed) p.TakeWaterSpeed(*f.WaterSpeed);
  if (f.RateOfTurn) p.TakeRateOfTurn(*f.RateOfTurn);
  if (f.WaterTemp) p.TakeWaterTemp(*f.WaterTemp);

  // Depth below the transducer, or what the other depths tell of it.
  if (f.DepthT) {
    belowTransducerSeen_ = true;
    p.TakeDepth(*f.DepthT);
  } else if (!belowTransducerSeen_ && f.DepthS) {
    const double offset = IsKnown(surfaceToTransducer_) ? surfaceToTransducer_ : TransducerDepth;
    p.TakeDepth(IsKnown(*f.DepthS) ? *f.DepthS - offset : NoDataValue);
  } else if (!belowTransducerSeen_ && f.DepthK && IsKnown(transducerToKeel_)) {
    p.TakeDepth(IsKnown(*f.DepthK) ? *f.DepthK + transducerToKeel_ : NoDataValue);
  }

  // Wind: an angle with the latest speed of its kind, or a new speed with
  // the latest angle.
  auto wind = [&](const std::optional<double>& a, const std::optional<double>& s, double& lastA, double& lastS,
                  TNMEA::TWindKind kind) {
    if (!a && !s) return;
    if (a) lastA = IsNoData(*a) ? NoDataValue : angle(*a);
    if (s) lastS = *s;
    if (IsNoData(lastA)) {
      if (a) p.TakeWind(NoDataValue, 0, kind);
      return;
    }
    if (IsNoData(lastS)) return;  // the speed is still to come
    p.TakeWind(lastA, lastS, kind);
  };
  wind(f.ApparentAngle, f.ApparentSpeed, apparentAngle_, apparentSpeed_, TNMEA::TWindKind::Apparent);
  wind(f.TrueAngle, f.TrueSpeed, trueAngle_, trueSpeed_, TNMEA::TWindKind::TrueRelative);
  if (f.TrueDirection) wind(f.TrueDirection, f.TrueSpeed, trueDirection_, trueSpeed_, TNMEA::TWindKind::TrueDirection);
}

// ---------------------------------------------------------------------------
// Other stations

void TSignalKReader::TargetUpdate(TTarget& t, const TJsonValue& update) {
  bool motion = false, statics = false;
  EachValue(update, [&](const std::string& path, const TJsonValue& value) {
    TargetValue(t, path, value, motion, statics);
  });
  ApplyTarget(t, motion, statics);
}

void TSignalKReader::TargetValue(TTarget& t, std::string_view pathName, const TJsonValue& value, bool& motion,
                                 bool& statics) {
  const TPath path = PathOf(pathName);
  auto text = [&](auto& to) {
    if (value.IsNull()) {
      to.Clear();
    } else if (value.IsString()) {
      AssignText(to, value.String());
    } else {
      ++counters_.BadTypes;
      return;
    }
    statics = true;
    ++counters_.Values;
  };
  // A number, or the member `key` of an object value ({"overall": 12}).
  auto number = [&](double lo, double hi, std::string_view key = {}) -> std::optional<double> {
    const TJsonValue* v = &value;
    if (!key.empty() && value.IsObject()) {
      v = value.Find(key);
      if (!v) return std::nullopt;
    }
    return Number(*v, lo, hi);
  };
  switch (path) {
    case TPath::Root: {
      if (!value.IsObject()) {
        ++counters_.BadTypes;
        return;
      }
      for (size_t i = 0; i < value.Size(); ++i) {
        const std::string& key = value.Key(i);
        const TJsonValue& member = value.Items()[i];
        if (key == "name") {
          TargetValue(t, "name", member, motion, statics);
        } else if (key == "communication" && member.IsObject()) {
          if (const TJsonValue* cs = member.Find("callsignVhf"))
            TargetValue(t, "communication.callsignVhf", *cs, motion, statics);
        }
      }
      return;
    }
    case TPath::Name: return text(t.Name);
    case TPath::CallSign: return text(t.CallSign);
    case TPath::Destination: return text(t.Destination);
    case TPath::Position: {
      double lat, lon;
      if (!Position(value, lat, lon)) return;
      const bool known = IsKnown(lat);
      t.Lat = known ? RoundClamp(lat * 600000.0, -54000000, 54000000) : kAisLatNotAvailable;
      t.Lon = known ? RoundClamp(lon * 600000.0, -108000000, 108000000) : kAisLonNotAvailable;
      break;
    }
    case TPath::Sog: {
      std::optional<double> v = number(-kMaxSpeed, kMaxSpeed);
      if (!v) return;
      t.Speed = IsNoData(*v) ? kAisSpeedNotAvailable : RoundClamp(std::fabs(*v) * kMsToKnot * 10, 0, 1022);
      break;
    }
    case TPath::Cog: {
      std::optional<double> v = number(-kMaxAngle, kMaxAngle);
      if (!v) return;
      t.Course = IsNoData(*v) ? kAisCourseNotAvailable : RoundClamp(NormalisedAngle(*v) * kRadToDeg * 10, 0, 3600) % 3600;
      break;
    }
    case TPath::HeadingTrue: {
      std::optional<double> v = number(-kMaxAngle, kMaxAngle);
      if (!v) return;
      t.Heading = IsNoData(*v) ? kAisHeadingNotAvailable : RoundClamp(NormalisedAngle(*v) * kRadToDeg, 0, 360) % 360;
      break;
    }
    case TPath::RateOfTurn: {
      std::optional<double> v = number(-kMaxRateOfTurn, kMaxRateOfTurn);
      if (!v) return;
      if (IsNoData(*v)) {
        t.Turn = kAisTurnNotAvailable;
      } else {
        // The AIS rate of turn indicator: 4.733 times the square root of
        // degrees a minute, signed.
        const double dpm = *v * kRadPerSecToDegPerMin;
        const double raw = std::copysign(4.733 * std::sqrt(std::fabs(dpm)), dpm);
        t.Turn = RoundClamp(raw, -126, 126);
      }
      break;
    }
    case TPath::State: {
      if (value.IsNull()) {
        t.NavStatus = kStatusNotDefined;
      } else if (value.IsString()) {
        t.NavStatus = kStatusNotDefined;
        for (size_t i = 0; i < std::size(kStates); ++i)
          if (value.String() == kStates[i]) t.NavStatus = static_cast<int32_t>(i);
      } else {
        ++counters_.BadTypes;
        return;
      }
      break;
    }
    case TPath::AisClass: {
      if (!value.IsString()) {
        if (!value.IsNull()) ++counters_.BadTypes;
        return;
      }
      const std::string& c = value.String();
      const char cls = c == "A" ? 'A' : c == "B" ? 'B' : c == "BASE" ? 'S' : c == "ATON" ? 'N' : t.Class;
      ++counters_.Values;
      if (cls == t.Class) return;
      t.Class = cls;
      break;  // the report of the new kind goes to the table
    }
    case TPath::Length:
    case TPath::Beam:
    case TPath::Draft:
    case TPath::FromBow:
    case TPath::FromCenter: {
      const std::string_view key = path == TPath::Length ? "overall" : path == TPath::Draft ? "current" : "";
      const double lo = path == TPath::FromCenter ? -kMaxDimension : 0;
      std::optional<double> v = number(lo, kMaxDimension, key);
      if (!v) return;
      double& to = path == TPath::Length  ? t.Length
                   : path == TPath::Beam  ? t.Beam
                   : path == TPath::Draft ? t.Draught
                   : path == TPath::FromBow ? t.FromBow
                                            : t.FromCenter;
      to = IsNoData(*v) ? (path == TPath::FromBow ? NoDataValue : 0) : *v;
      statics = true;
      ++counters_.Values;
      return;
    }
    default:
      return;
  }
  motion = true;
  ++counters_.Values;
}

void TSignalKReader::ApplyTarget(const TTarget& t, bool motion, bool statics) {
  if (!motion && !statics) return;
  TAisMessage m;
  m.MMSI = t.Mmsi;
  m.BitCount = 168;
  m.Lat = t.Lat;
  m.Lon = t.Lon;
  // Among "atons", a station whose class is not told yet is a base station
  // when its MMSI has the coast stations' form (00MIDxxxx).
  char cls = t.Class;
  if (t.Aton && cls != 'S' && cls != 'N') cls = t.Mmsi < 10000000 ? 'S' : 'N';
  auto apply = [&] { ais_->Apply(m, false); };
  if (cls == 'N') {
    // An aid to navigation: its report carries name and position together.
    if (t.Lat == kAisLatNotAvailable) return;
    m.Type = 21;
    m.Name = t.Name;
    apply();
  } else if (cls == 'S') {
    if (!motion) return;
    m.Type = 4;
    apply();
  } else {
    if (motion) {
      m.Type = cls == 'B' ? 18 : 1;
      m.Speed = t.Speed;
      m.Course = t.Course;
      m.Heading = t.Heading;
      m.Turn = t.Turn;
      m.NavStatus = t.NavStatus;
      apply();
    }
    if (statics) {
      // The dimensions from the reference point: Signal K gives the
      // distance from the bow and from the centre line (to starboard).
      if (IsKnown(t.FromBow) && t.Length > 0) {
        m.ToBow = RoundClamp(t.FromBow, 0, 511);
        m.ToStern = RoundClamp(t.Length - t.FromBow, 0, 511);
      }
      if (t.Beam > 0) {
        m.ToPort = RoundClamp(t.Beam / 2 + t.FromCenter, 0, 63);
        m.ToStarboard = RoundClamp(t.Beam / 2 - t.FromCenter, 0, 63);
      }
      m.CallSign = t.CallSign;
      m.Name = t.Name;
      if (cls == 'B') {
        m.Type = 24;
        m.Part = 0;
        apply();
        m.Part = 1;
        apply();
      } else {
        m.Type = 5;
        m.Destination = t.Destination;
        m.Draught = RoundClamp(t.Draught * 10, 0, 255);
        apply();
      }
    }
  }
}
