#include "plotter/core/RouteUi.h"

#include <algorithm>
#include <cmath>

#include "foundation/GenUtil.h"
#include "foundation/NumText.h"
#include "geodesy/CTrans.h"
#include "instruments/NMEAInfo.h"
#include "navobjects/Routes.h"
#include "platform/TextBasics.h"

namespace {

constexpr const char* kUnknown = "---";

bool Usable(double v) { return IsKnown(v) && std::isfinite(v); }

std::string Degrees(double radians, int width, int decimals) {
  if (!Usable(radians)) return kUnknown;
  NormAngle(radians);
  std::string text = FloatToStrWD(width, decimals, radians * kRadToDeg);
  // 359.96 degrees shows as 360.0: the same as 0.0.
  if (text == "360.0") text = "0.0";
  return text;
}

std::string Miles(double radians, int width, int decimals) {
  return Usable(radians) ? FloatToStrWD(width, decimals, radians * kRadToNM) : kUnknown;
}

// Places the point where its position lies on the chart and the legs
// round it follow.
void Replace(TRoute& route) {
  route.RecomputeView();
  route.PlacePoints();
}

}  // namespace

// ---------------------------------------------------------------------------
// Activation

TActivation ToggleRoute(TRoute& route, TNMEAINFO& nav, bool gpsLost) {
  if (route.Empty()) return TActivation::Empty;
  if (route.Following) {
    route.Stop(nav);
    return TActivation::Stopped;
  }
  if (gpsLost || nav.FixStatus != kFixValid) return TActivation::NoPosition;
  route.Start(nav, true);
  return route.Following ? TActivation::Started : TActivation::Stopped;
}

// ---------------------------------------------------------------------------
// Guidance boxes

TRouteValueTexts FormatRouteValues(const TNMEAINFO& nav, bool magnetic, double elapsedDays,
                                   const std::string& indicator) {
  const double variation = magnetic && Usable(nav.Variation) ? nav.Variation : 0;
  auto bearing = [&](double v) { return Usable(v) ? Degrees(v - variation, 3, 1) : std::string(kUnknown); };
  TRouteValueTexts t;
  t.wpId = nav.DestName;
  t.bwr = bearing(nav.BearingToDest);
  t.bod = bearing(nav.BOD);
  t.rng = Miles(nav.RangeToDest, 3, 1);
  t.trng = Usable(nav.RangeToDest) && Usable(nav.RouteRemain2) ? Miles(nav.RangeToDest + nav.RouteRemain2, 3, 1)
                                                                : std::string(kUnknown);
  t.xte = Usable(nav.XTE) ? FloatToStrWD(4, 2, nav.XTE * kRadToNM) : kUnknown;
  t.ttg = Usable(nav.TimeToDest) ? DaysToHMS(nav.TimeToDest) : kUnknown;
  if (Usable(nav.TimeToDest) && Usable(nav.RouteRemain1))
    t.tttg = SecondsToHMM(std::round((nav.TimeToDest + nav.RouteRemain1) * 86400));
  else
    t.tttg = kUnknown;
  t.next = bearing(nav.NextLegBearing);
  t.time = std::isfinite(elapsedDays) && elapsedDays >= 0 ? DaysToHMS(elapsedDays) : kUnknown;
  t.wcv = Usable(nav.VMGToDest) ? FloatToStrWD(3, 1, nav.VMGToDest) : kUnknown;
  t.hint = indicator;
  return t;
}

TRouteStatTexts RouteStats(const TRoute& route) {
  TRouteStatTexts t;
  if (route.Empty()) return t;
  t.start = route.First()->Caption;
  t.end = route.Last()->Caption;
  t.length = FloatToStrWD(4, 2, route.RouteLength(0, route.Count() - 1) * kRadToNM);
  return t;
}

// ---------------------------------------------------------------------------
// Editor fields

std::optional<double> ParsePositionText(std::string_view text, bool isLongitude) {
  if (text.size() != 9) return std::nullopt;
  for (size_t i = 0; i < 8; ++i)
    if (text[i] < '0' || text[i] > '9') return std::nullopt;
  const char letter = static_cast<char>(text[8] & ~0x20);  // upper case
  const bool negative = letter == (isLongitude ? 'W' : 'S');
  if (letter != (isLongitude ? 'E' : 'N') && !negative) return std::nullopt;
  const int degrees = (text[0] - '0') * 100 + (text[1] - '0') * 10 + (text[2] - '0');
  int thousandths = 0;
  for (size_t i = 3; i < 8; ++i) thousandths = thousandths * 10 + (text[i] - '0');
  if (thousandths >= 60000) return std::nullopt;
  const double limit = isLongitude ? 180 : 90;
  const double value = degrees + thousandths / 60000.0;
  if (value > limit) return std::nullopt;
  return (negative ? -value : value) * kDegToRad;
}

TPointFields EmptyFields() {
  TPointFields f;
  f.lat = PosToMaskText(false, 0);
  f.lon = PosToMaskText(true, 0);
  f.speed = "0";
  f.xte = "0";
  return f;
}

TPointFields FieldsOf(const TRoute& route, const TNavShape& point) {
  TPointFields f;
  if (route.SelectedCount() < 2) {
    f.number = point.Index;
    f.lat = PosToMaskText(false, point.Position.Y);
    f.lon = PosToMaskText(true, point.Position.X);
  } else {
    // Several points: the fields hold what "Update" leaves alone (no name,
    // no speed, no limit), so only what the user types goes into every
    // selected point; one point's values are never copied onto the others.
    f = EmptyFields();
    f.positionEnabled = false;
    return f;
  }
  f.name = point.Caption;
  f.speed = FloatToStrDot(std::round(point.LegSpeed * 100) / 100);
  f.xte = FloatToStrDot(std::round(point.LegXTE * kRadToNM * 1000) / 1000);
  return f;
}

std::string ApplyPointFields(TRoute& route, TNavShape& point, const TPointFields& f) {
  // Everything is read before anything changes.
  const std::optional<double> speed = TryStrToFloatDot(std::string(TrimSpaceTab(f.speed)));
  if (!speed || *speed < 0 || *speed > 999.99) return "The speed must be a number of knots from 0 to 999.99";
  const std::optional<double> xte = TryStrToFloatDot(std::string(TrimSpaceTab(f.xte)));
  if (!xte || *xte < 0 || *xte > 10) return "The XTE limit must be a number of nautical miles from 0 to 10";
  const std::string name(TrimSpaceTab(f.name));
  if (route.SelectedCount() >= 2) {
    for (int i = 0; i < route.Count(); ++i) {
      TNavShape& s = *route.At(i);
      if (!s.Selected) continue;
      if (!name.empty()) s.Caption = name;
      if (*speed != 0) s.LegSpeed = *speed;
      if (*xte != 0) s.LegXTE = *xte / kRadToNM;
    }
  } else {
    if (f.number != point.Index) return "";
    const std::optional<double> lat = ParsePositionText(f.lat, false);
    const std::optional<double> lon = ParsePositionText(f.lon, true);
    if (!lat) return "The latitude must be degrees (0-90), minutes below 60 and N or S";
    if (!lon) return "The longitude must be degrees (0-180), minutes below 60 and E or W";
    point.Position = {*lon, *lat};
    point.LegSpeed = *speed;
    point.LegXTE = *xte / kRadToNM;
    if (name != point.Caption) point.Caption = name;
  }
  Replace(route);
  route.Modified = true;
  return "";
}

// ---------------------------------------------------------------------------
// Editing

TNavShape* InsertRoutePoint(TRoute& route, const TFPoint& pos, bool extend) {
  // The editor's append mode decides; following never depends on it.
  const int index = extend ? route.Count() : route.LegIndexFor(pos, true);
  TNavShape* s = route.InsertAt({0, 0}, index);
  s->Position = pos;
  s->LegSpeed = route.Options.DefaultSpeed;
  s->LegXTE = route.Options.DefaultXTE;
  route.Select(s);
  Replace(route);
  route.StyleAll();
  route.Modified = true;
  return s;
}

TNavShape* AddPositionToRoute(TRoute& route, const TNavShape& position, bool extend) {
  const int index = extend ? route.Count() : route.LegIndexFor(position.Position, true);
  TNavShape* s = route.InsertAt({0, 0}, index);
  s->Position = position.Position;
  s->LegSpeed = NonZeroOr(route.Options.DefaultSpeed, position.LegSpeed);
  s->LegXTE = NonZeroOr(route.Options.DefaultXTE, position.LegXTE);
  s->Caption = position.Caption;
  s->Comment = position.Comment;
  route.Select(s);
  Replace(route);
  route.StyleAll();
  route.Modified = true;
  return s;
}

// ---------------------------------------------------------------------------
// Files

std::string ProposedRouteFileName(const TRoute& route) {
  if (route.Empty() || route.First()->Caption.empty() || route.Last()->Caption.empty()) return "";
  std::string name = route.First()->Caption + " - " + route.Last()->Caption;
  // Names of points may hold anything; a file name may not.
  for (char& c : name)
    if (c == '/' || c == '\\' || c == ':' || c == '*' || c == '?' || c == '"' || c == '<' || c == '>' || c == '|' ||
        static_cast<unsigned char>(c) < 0x20)
      c = '-';
  return name;
}
