#include "instruments/NMEAOutput.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "foundation/GenUtil.h"
#include "foundation/NumText.h"
#include "foundation/TextCodec.h"
#include "instruments/NMEAInfo.h"

namespace {

using TField = std::optional<std::string>;

// A number this large is no distance, cross-track error or speed: it
// cannot be formatted (and would make a sentence hundreds of digits long).
constexpr double kMaxFieldNumber = 1e6;

bool Usable(double v) { return IsKnown(v) && std::isfinite(v); }

// A name mode outside the known ones works as "Upper case".
int KnownMode(int mode) { return mode >= dnUpperCase && mode <= dnNexus ? mode : dnUpperCase; }
int Mode(const TNmeaOutputSettings& s) { return KnownMode(s.NameMode); }

std::string Talker(const TNmeaOutputSettings& s) { return OutputTalker(s.Talker); }

// Sentence body under construction: talker, identifier, ",field"...
class TBody {
 public:
  TBody(const TNmeaOutputSettings& s, const char* id) : text_(Talker(s) + id) {}
  TBody& operator<<(std::string_view field) {
    text_ += ',';
    text_ += field;
    return *this;
  }
  std::string Frame(bool withChecksum = true) const { return FrameSentence(text_, withChecksum); }

 private:
  std::string text_;
};

const char* Status(bool on) { return on ? "A" : "V"; }

// "A" only for a valid fix: after the GPS is lost and while dead reckoning
// FixStatus is not kFixValid, so the steering sentences say "V".
const char* FixStatusField(const TNMEAINFO& nav) { return Status(nav.FixStatus == kFixValid); }

// "Arrived" and "perpendicular passed": true while no route is active.
const char* ArrivedField(const TNMEAINFO& nav) { return Status(!nav.RouteActive); }

// Degrees with one decimal; "360.0" (a bearing just below north) is "0.0".
TField Angle1(double radians) {
  if (!Usable(radians)) return std::nullopt;
  NormAngle(radians);
  std::string text = FloatToStrFixedDot(1, radians * kRadToDeg);
  return text == "360.0" ? "0.0" : text;
}

// Whole degrees (halves to even), three digits; 360 is "000".
TField AngleWhole(double radians) {
  if (!Usable(radians)) return std::nullopt;
  NormAngle(radians);
  int32_t deg = RoundToInt(radians * kRadToDeg);
  if (deg == 360) deg = 0;
  return IntToStrPad(deg, '0', 3);
}

// A number with `decimals`, or nothing when it cannot be formatted.
TField Number(double v, int decimals) {
  if (!Usable(v) || !(std::fabs(v) < kMaxFieldNumber)) return std::nullopt;
  return FloatToStrFixedDot(decimals, v);
}

// Nautical miles, two decimals; a negative distance is no distance.
TField Distance(double radians) {
  if (!Usable(radians) || radians < 0) return std::nullopt;
  return Number(radians * kRadToNM, 2);
}

// The cross-track error and its steering letter as two fields. XTE > 0:
// the vessel is right of the leg, steer left ("L"); otherwise "R".
TField CrossTrack(const TNMEAINFO& nav, int decimals) {
  if (!Usable(nav.XTE) || !std::isfinite(nav.XteFactor)) return std::nullopt;
  TField magnitude = Number(std::fabs(nav.XteFactor * nav.XTE * kRadToNM), decimals);
  if (!magnitude) return std::nullopt;
  return *magnitude + (nav.XTE > 0 ? ",L" : ",R");
}

// Degrees and thousandths of a minute: the whole degrees, then the
// fraction x 60 000 rounded (halves to even); 60 000 carries into the
// degrees, so 59°59.9996' is "6000.000".
std::string DegreesMinutes(double radians, int degreeDigits, char positive, char negative) {
  const double deg = std::fabs(radians) * kRadToDeg;
  double whole = std::trunc(deg);
  double thousandths = RoundHalfEven((deg - whole) * 60000.0);
  if (thousandths >= 60000.0) {
    thousandths -= 60000.0;
    whole += 1.0;
  }
  const auto t = static_cast<int64_t>(thousandths);
  return IntToStrPad(static_cast<int64_t>(whole), '0', degreeDigits) + IntToStrPad(t / 1000, '0', 2) + "." +
         IntToStrPad(t % 1000, '0', 3) + "," + (radians < 0 ? negative : positive);
}

// Latitude and longitude as four fields.
TField Position(const TFPoint& p) {
  std::string lat = NmeaLatitude(p.Y), lon = NmeaLongitude(p.X);
  if (lat.empty() || lon.empty()) return std::nullopt;
  return lat + "," + lon;
}

// hhmmss of a date and time (whole seconds, halves to even). Unknown when
// it was never set (0 or less).
TField TimeField(TDateTime t) {
  if (!Usable(t) || !(t > 0)) return std::nullopt;
  const int64_t seconds = RoundToInt64((t - std::floor(t)) * 86400.0) % 86400;
  return IntToStrPad(seconds / 3600, '0', 2) + IntToStrPad(seconds / 60 % 60, '0', 2) +
         IntToStrPad(seconds % 60, '0', 2);
}

// Whether the magnetic values of route guidance are really magnetic: with
// no variation known they are the true values.
bool MagneticKnown(const TNMEAINFO& nav) { return Usable(nav.Variation); }

// A bearing for APA and APB: the magnetic one with "M" when a variation is
// known, else the true one with "T" (never a true bearing labelled "M").
struct TPilotBearing {
  double value;
  const char* label;
};
TPilotBearing PilotBearing(const TNMEAINFO& nav, double trueValue, double magValue) {
  return MagneticKnown(nav) ? TPilotBearing{magValue, "M"} : TPilotBearing{trueValue, "T"};
}

// The magnetic field of BOD and BWC: empty when no variation is known.
std::string MagneticField(const TNMEAINFO& nav, double magValue) {
  return MagneticKnown(nav) ? Angle1(magValue).value_or("") : "";
}

// The forms of an identifier in the steering sentences; all of them pass
// through NmeaSafeText, "raw" too, so no name breaks the framing.
enum class TIdForm { Cleaned, Dashed, Raw };

std::string IdField(const TNMEAINFO& nav, bool origin, TIdForm form, const TNmeaOutputSettings& s) {
  if (nav.RouteIdKeep) return origin ? "1" : "2";
  const std::string& id = origin ? nav.OriginId : nav.DestId;
  switch (form) {
    case TIdForm::Cleaned: return NmeaFieldName(id, Mode(s));
    case TIdForm::Dashed: return NmeaSafeText(PunctToDash(id), Mode(s));
    case TIdForm::Raw: break;
  }
  return NmeaSafeText(id, Mode(s));
}

// The sentence `build` makes of the identifiers, with the identifiers cut
// (the longest first, a byte at a time: they are single-byte text by now)
// until it keeps to kMaxNmeaSentence. A receiver may refuse, or overrun on,
// a longer line; a cut name still tells the waypoint.
std::string FitIdentifiers(std::vector<std::string> ids,
                           const std::function<std::string(const std::vector<std::string>&)>& build) {
  std::string sentence = build(ids);
  while (sentence.size() > kMaxNmeaSentence) {
    auto longest = std::max_element(ids.begin(), ids.end(),
                                    [](const std::string& a, const std::string& b) { return a.size() < b.size(); });
    if (longest == ids.end() || longest->empty()) break;  // the sentence is long without names
    longest->pop_back();
    sentence = build(ids);
  }
  return sentence;
}

// The bytes that may still be added to `body` (commas included) before
// its sentence would exceed kMaxNmeaSentence.
size_t Room(const TBody& body) {
  const size_t used = body.Frame().size();
  return used < kMaxNmeaSentence ? kMaxNmeaSentence - used : 0;
}

// The longest text of one more field.
size_t FieldRoom(const TBody& body) { return std::max<size_t>(Room(body), 1) - 1; }

// The WPL with an identifier already safe (Windows-1252).
std::string WplSentence(const TFPoint& position, std::string identifier, const TNmeaOutputSettings& s) {
  TField pos = Position(position);
  if (!pos) return {};
  TBody body(s, "WPL");
  body << *pos;
  // One byte is one character: cutting keeps whole characters.
  identifier.resize(std::min(identifier.size(), FieldRoom(body)));
  body << identifier;
  return body.Frame();
}

TBody RteBody(int64_t total, int64_t number, std::string_view routeId, const TNmeaOutputSettings& s) {
  TBody body(s, "RTE");
  body << std::to_string(total) << std::to_string(number) << "c" << routeId;
  return body;
}

// The longest an upload identifier may be so that its WPL keeps to the
// limit (the same for every position: the fields have fixed widths).
size_t WplIdRoom(const TNmeaOutputSettings& s) {
  TBody body(s, "WPL");
  body << *Position({});
  return FieldRoom(body);
}

// The waypoint list in as few RTE sentences of at most kMaxNmeaSentence as
// it takes, filled in order, with the total and number fields counting
// them. Each sentence is sized for total and number fields as wide as
// limit - 1; a wider limit is tried while the count reaches it. Empty when
// an item cannot fit even alone.
std::vector<std::string> SplitRte(const std::vector<std::string>& items, std::string_view routeId,
                                  const TNmeaOutputSettings& s) {
  for (int64_t limit = 10; limit <= 1000000000; limit *= 10) {
    const size_t room = Room(RteBody(limit - 1, limit - 1, routeId, s));
    std::vector<std::vector<std::string>> groups;
    size_t used = room;  // forces a first group
    for (const std::string& item : items) {
      const size_t need = item.size() + 1;
      if (need > room) return {};
      if (used + need > room) {
        groups.emplace_back();
        used = 0;
      }
      groups.back().push_back(item);
      used += need;
    }
    if (groups.size() >= static_cast<size_t>(limit)) continue;
    std::vector<std::string> out;
    const int total = static_cast<int>(groups.size());
    for (int k = 0; k < total; ++k) {
      TBody body = RteBody(total, k + 1, routeId, s);
      for (const std::string& item : groups[static_cast<size_t>(k)]) body << item;
      out.push_back(body.Frame());
    }
    return out;
  }
  return {};
}

// The upload identifier of waypoint n (from 1), UTF-8, cleaned as a whole.
std::string RouteWaypointId(int n, const std::string& name, int mode) {
  std::string id;
  if (mode == dnNumeric) {
    id = std::to_string(n);
  } else {
    if (mode == dnNexus) id = IntToStrPad(n + 1, '0', 3);
    id += IntToStrPad(n, '0', 2) + "-" + name;
  }
  return MakeDeviceName(id, mode);
}

// A value of the data line: zeros in its format when unknown.
std::string DataValue(int width, int decimals, double v, double scale = 1.0) {
  return FloatToStrWD(width, decimals, Usable(v) ? v * scale : 0.0);
}

}  // namespace

std::string OutputTalker(std::string_view unitId) {
  auto alnum = [](char c) { return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); };
  return unitId.size() >= 2 && alnum(unitId[0]) && alnum(unitId[1]) ? std::string(unitId.substr(0, 2))
                                                                    : std::string("EC");
}

// ---------------------------------------------------------------------------
// Fields

uint8_t NmeaChecksum(std::string_view body) {
  uint8_t x = 0;
  for (char c : body) x ^= static_cast<uint8_t>(c);
  return x;
}

std::string FrameSentence(std::string_view body, bool withChecksum) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string out;
  out.reserve(body.size() + 6);
  out += '$';
  out += body;
  if (withChecksum) {
    const uint8_t x = NmeaChecksum(body);
    out += '*';
    out += kHex[x >> 4];
    out += kHex[x & 0xF];
  }
  out += "\r\n";
  return out;
}

std::string NmeaSafeText(std::string_view text, int mode) {
  std::string out = Utf8ToCp1252(text);
  // Every mode, "As is" included: a name must never end a field or a
  // sentence. Nexus instruments read "[\]^_" as national letters.
  const bool nexus = mode == dnNexus;
  for (char& c : out) {
    const auto u = static_cast<unsigned char>(c);
    const bool framing = u < 0x20 || u == 0x7F || c == '$' || c == '*' || c == '!' || c == '~' || c == ',' ||
                         (!nexus && (c == '\\' || c == '^'));
    if (framing) c = '-';
  }
  return out;
}

std::string NmeaFieldName(std::string_view name, int mode) {
  mode = KnownMode(mode);
  return NmeaSafeText(MakeDeviceName(name, mode), mode);
}

std::string NmeaLatitude(double radians) {
  if (!std::isfinite(radians) || std::fabs(radians) * kRadToDeg > 90.0 + 1e-9) return {};
  return DegreesMinutes(radians, 2, 'N', 'S');
}

std::string NmeaLongitude(double radians) {
  NormAngleSigned(radians);
  if (!std::isfinite(radians)) return {};
  return DegreesMinutes(radians, 3, 'E', 'W');
}

// ---------------------------------------------------------------------------
// Steering sentences

std::string MakeAPA(const TNMEAINFO& nav, const TNmeaOutputSettings& s) {
  const TPilotBearing bod = PilotBearing(nav, nav.BOD, nav.BODMag);
  const TField xte = CrossTrack(nav, 2), bearing = AngleWhole(bod.value);
  if (!xte || !bearing) return {};
  return FitIdentifiers({IdField(nav, false, TIdForm::Cleaned, s)}, [&](const std::vector<std::string>& id) {
    TBody body(s, "APA");
    body << FixStatusField(nav) << "A" << *xte << "N" << ArrivedField(nav) << ArrivedField(nav) << *bearing
         << bod.label << id[0];
    return body.Frame(false);  // APA carries no checksum
  });
}

std::string MakeAPB(const TNMEAINFO& nav, const TNmeaOutputSettings& s) {
  const TPilotBearing bod = PilotBearing(nav, nav.BOD, nav.BODMag);
  const TPilotBearing toDest = PilotBearing(nav, nav.BearingToDest, nav.BearingToDestMag);
  const TPilotBearing steer = PilotBearing(nav, nav.SteerHeading, nav.SteerHeadingMag);
  const TField xte = CrossTrack(nav, 3), bodText = Angle1(bod.value), toDestText = Angle1(toDest.value);
  if (!xte || !bodText || !toDestText) return {};
  return FitIdentifiers({IdField(nav, false, TIdForm::Cleaned, s)}, [&](const std::vector<std::string>& id) {
    TBody body(s, "APB");
    body << FixStatusField(nav) << "A" << *xte << "N" << ArrivedField(nav) << ArrivedField(nav) << *bodText
         << bod.label << id[0] << *toDestText << toDest.label << Angle1(steer.value).value_or("") << steer.label;
    return body.Frame();
  });
}

std::string MakeRMB(const TNMEAINFO& nav, const TNmeaOutputSettings& s) {
  const TField xte = CrossTrack(nav, 3), pos = Position(nav.DestPos), range = Distance(nav.RangeToDest),
               bearing = Angle1(nav.BearingToDest);
  if (!xte || !pos || !range || !bearing) return {};
  return FitIdentifiers({IdField(nav, true, TIdForm::Cleaned, s), IdField(nav, false, TIdForm::Cleaned, s)},
                        [&](const std::vector<std::string>& id) {
                          TBody body(s, "RMB");
                          body << FixStatusField(nav) << *xte << id[0] << id[1] << *pos << *range << *bearing
                               << Number(nav.VMGToDest, 1).value_or("") << ArrivedField(nav);
                          return body.Frame();
                        });
}

std::string MakeBOD(const TNMEAINFO& nav, const TNmeaOutputSettings& s) {
  const TField bod = Angle1(nav.BOD);
  if (!bod) return {};
  return FitIdentifiers({IdField(nav, false, TIdForm::Dashed, s), IdField(nav, true, TIdForm::Dashed, s)},
                        [&](const std::vector<std::string>& id) {
                          TBody body(s, "BOD");
                          body << *bod << "T" << MagneticField(nav, nav.BODMag) << "M" << id[0] << id[1];
                          return body.Frame();
                        });
}

std::string MakeBWC(const TNMEAINFO& nav, const TNmeaOutputSettings& s) {
  const TField time = TimeField(nav.GpsDateTime), pos = Position(nav.DestPos), bearing = Angle1(nav.BearingToDest),
               range = Distance(nav.RangeToDest);
  if (!time || !pos || !bearing || !range) return {};
  return FitIdentifiers({IdField(nav, false, TIdForm::Raw, s)}, [&](const std::vector<std::string>& id) {
    TBody body(s, "BWC");
    body << *time << *pos << *bearing << "T" << MagneticField(nav, nav.BearingToDestMag) << "M" << *range << "N"
         << id[0];
    return body.Frame();
  });
}

std::string MakeRTEActive(const TNMEAINFO& nav, const TNmeaOutputSettings& s) {
  // Without a route being followed there is no active leg to name.
  if (!nav.RouteActive) return {};
  return FitIdentifiers({IdField(nav, true, TIdForm::Dashed, s), IdField(nav, false, TIdForm::Dashed, s)},
                        [&](const std::vector<std::string>& id) {
                          TBody body(s, "RTE");
                          body << "1" << "1" << "w" << "BRISMARE" << id[0] << id[1];
                          return body.Frame();
                        });
}

std::vector<std::string> SteeringSentences(const TNMEAINFO& nav, uint32_t autopMsg, const TNmeaOutputSettings& s,
                                           bool* allBuilt) {
  using TBuilder = std::string (*)(const TNMEAINFO&, const TNmeaOutputSettings&);
  struct TStep {
    uint32_t bits;
    TBuilder build;
  };
  // The active leg's RTE goes with APA: "WPL + RTE" alone uploads the
  // route on activation instead.
  static constexpr TStep kSteps[] = {{kAutopAPA, MakeAPA}, {kAutopAPB, MakeAPB},
                                     {kAutopRMB, MakeRMB}, {kAutopBOD, MakeBOD},
                                     {kAutopBWC, MakeBWC}, {kAutopAPA | kAutopRoute, MakeRTEActive}};
  std::vector<std::string> out;
  bool all = true;
  for (const TStep& step : kSteps) {
    if ((autopMsg & step.bits) != step.bits) continue;
    std::string sentence = step.build(nav, s);
    if (sentence.empty())
      all = false;
    else
      out.push_back(std::move(sentence));
  }
  if (allBuilt) *allBuilt = all;
  return out;
}

// ---------------------------------------------------------------------------
// Uploads

std::string MakeWPL(const TFPoint& position, std::string_view identifier, const TNmeaOutputSettings& s) {
  return WplSentence(position, NmeaSafeText(identifier, Mode(s)), s);
}

std::string MakeRTE(int total, int number, std::string_view routeId, const std::vector<std::string>& waypoints,
                    const TNmeaOutputSettings& s) {
  if (number < 1 || number > total) return {};
  TBody body = RteBody(total, number, NmeaSafeText(routeId, Mode(s)), s);
  for (const std::string& w : waypoints) body << NmeaSafeText(w, Mode(s));
  std::string sentence = body.Frame();
  return sentence.size() <= kMaxNmeaSentence ? sentence : std::string();
}

std::vector<std::string> RouteUploadSentences(const std::vector<TUploadPoint>& points, const TNmeaOutputSettings& s) {
  if (points.empty()) return {};
  const int mode = Mode(s);
  const int count = static_cast<int>(points.size());
  // Numeric and Nexus instruments take one route "00" listing the numbers;
  // the others a route "BRISMARE" with one RTE per waypoint, which must
  // also keep to the limit with the waypoint's identifier in it.
  const bool numbered = mode == dnNumeric || mode == dnNexus;
  size_t idRoom = WplIdRoom(s);
  if (!numbered) idRoom = std::min(idRoom, FieldRoom(RteBody(count, count, "BRISMARE", s)));

  std::vector<std::string> out, ids;
  for (int n = 1; n <= count; ++n) {
    std::string id = NmeaSafeText(RouteWaypointId(n, points[static_cast<size_t>(n - 1)].Name, mode), mode);
    id.resize(std::min(id.size(), idRoom));
    std::string wpl = WplSentence(points[static_cast<size_t>(n - 1)].Position, id, s);
    // A route naming a waypoint the receiver never got could be followed
    // to an old waypoint of that name: all or nothing.
    if (wpl.empty()) return {};
    out.push_back(std::move(wpl));
    ids.push_back(numbered ? std::to_string(n) : std::move(id));
  }
  if (numbered) {
    // One RTE in NMEA's 82 characters holds about 25 numbers; longer lists
    // go out in several RTE sentences of the same route.
    std::vector<std::string> rte = SplitRte(ids, "00", s);
    if (rte.empty()) return {};
    out.insert(out.end(), rte.begin(), rte.end());
  } else {
    for (int n = 1; n <= count; ++n) {
      TBody body = RteBody(count, n, "BRISMARE", s);
      body << ids[static_cast<size_t>(n - 1)];
      out.push_back(body.Frame());
    }
  }
  return out;
}

std::vector<std::string> PositionUploadSentences(const std::vector<TUploadPoint>& points,
                                                 const TNmeaOutputSettings& s) {
  const int mode = Mode(s);
  std::vector<std::string> out;
  int n = 0;
  for (const TUploadPoint& p : points) {
    ++n;
    const std::string name = mode == dnNumeric ? std::to_string(n) : p.Name;
    // No RTE refers to these: a position that cannot be written is left out.
    std::string wpl = MakeWPL(p.Position, MakeDeviceName(name, mode), s);
    if (!wpl.empty()) out.push_back(std::move(wpl));
  }
  return out;
}

// ---------------------------------------------------------------------------
// The shared data line

std::string MakeDataLine(const TNMEAINFO& nav, bool routeActive) {
  std::string line = DataValue(7, 5, nav.Pos.Y, kRadToDeg);
  for (const std::string& v :
       {DataValue(7, 5, nav.Pos.X, kRadToDeg), DataValue(4, 2, nav.SOG), DataValue(7, 5, nav.Heading),
        DataValue(7, 5, nav.MagCourse), DataValue(7, 5, nav.Variation), DataValue(3, 1, nav.Depth),
        DataValue(7, 5, nav.TrueWindAngle), DataValue(7, 5, nav.ApparentWindAngle),
        DataValue(7, 5, nav.TrueWindDirection), DataValue(4, 2, nav.TrueWindSpeed),
        DataValue(4, 2, nav.ApparentWindSpeed), DataValue(4, 2, nav.WindVMG), DataValue(7, 5, nav.MagHeading),
        DataValue(4, 2, nav.WaterSpeed)})
    line += "," + v;
  if (!routeActive) return line + ",,,,,,,,";
  for (const std::string& v :
       {DataValue(7, 5, nav.DestPos.Y, kRadToDeg), DataValue(7, 5, nav.DestPos.X, kRadToDeg),
        DataValue(7, 5, nav.BOD), DataValue(5, 3, nav.XTE, kRadToNM), DataValue(7, 5, nav.BearingToDest),
        DataValue(4, 2, nav.RangeToDest, kRadToNM), DataValue(4, 2, nav.VMGToDest)})
    line += "," + v;
  // The name is the last field: a comma in it would add a field, a line
  // end would cut the line.
  std::string name = nav.DestName;
  for (char& c : name)
    if (c == ',' || static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = '-';
  return line + "," + name;
}
