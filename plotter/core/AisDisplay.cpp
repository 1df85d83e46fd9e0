#include "plotter/core/AisDisplay.h"

#include <algorithm>
#include <cmath>

#include "foundation/GenUtil.h"
#include "foundation/NumText.h"
#include "instruments/AIS.h"
#include "platform/LabelSpace.h"
#include "plotter/core/Dashboard.h"
#include "plotter/core/Messages.h"

namespace {

constexpr double kDeg = kPi / 180;

TCanvasPoint Offset(TPoint at, const TFPoint& polar) {
  const TPoint d = PolarToPixel(polar);
  return {at.X + d.X, at.Y - d.Y};
}

TCanvasPoint Turned(TPoint at, const TFPoint& polar, double scale, double turn) {
  const TPoint d = RotatePolarToPixel(polar, scale, turn);
  return {at.X + d.X, at.Y - d.Y};
}

std::string Slot3(int slot) { return IntToStrPad(slot, '0', 3); }

bool Finite(const TFPoint& p) { return std::isfinite(p.X) && std::isfinite(p.Y); }

// Pixels of the speed line: the target's speed over `seconds` of "Speed
// Mark" at the chart's miles per pixel.
double PixelsPerKnot(const TAisDrawSettings& s) {
  if (!(s.milesPerPixel > 0) || !std::isfinite(s.milesPerPixel)) return 0;
  return s.speedMarkSeconds / 3600.0 / s.milesPerPixel;
}

void CpaPicture(ICanvas& c, const TAIS_Rec& t, int slot, const TAisDrawSettings& s, TPoint scroll,
                const TAisOwnShip& own) {
  if (!own.toPixel || !(t.TCPA > 0) || !std::isfinite(t.TCPA)) return;
  const TFPoint ownAhead = GeoOffset(own.pos, {own.sogKnots * t.TCPA * 24 / kRadToNM, own.headingRad});
  if (!Finite(ownAhead) || (own.onChart && !own.onChart(ownAhead))) return;
  // From where the approach was computed (the dead-reckoned position), not
  // from the last report: the picture shows what the alarm measured.
  const TFPoint targetAhead = GeoOffset(t.CpaFrom, {t.SOGKnots * t.TCPA * 24 / kRadToNM, t.COGRad});
  TPoint o, f;
  if (!Finite(targetAhead) || !own.toPixel(ownAhead, o) || !own.toPixel(targetAhead, f)) return;
  o = {o.X - scroll.X, o.Y - scroll.Y};
  f = {f.X - scroll.X, f.Y - scroll.Y};
  if (!(s.milesPerPixel > 0)) return;
  c.SetPen({s.cpa, 1, TPenStyle::Dot});
  c.SetBrush({0, TBrushStyle::None});
  const double r1 = std::round(s.cpaMax / s.milesPerPixel), r2 = std::round(t.LengthM / 1852.0 / s.milesPerPixel);
  if (std::isfinite(r1) && r1 < 1e5) {
    const int r = static_cast<int>(r1);
    c.DrawEllipse({o.X - r, o.Y - r, o.X + r, o.Y + r});
  }
  if (std::isfinite(r2) && r2 < 1e5) {
    const int r = static_cast<int>(r2);
    c.DrawEllipse({f.X - r, f.Y - r, f.X + r, f.Y + r});
  }
  TPoint back{t.ChartPoint.X - scroll.X, t.ChartPoint.Y - scroll.Y};
  if (t.ChartFlag != kAisOnChart) {
    // The present position is off the chart: two miles back along the course.
    const TFPoint before = GeoOffset(targetAhead, {2 / kRadToNM, t.COGRad + kPi});
    TPoint b;
    if (!Finite(before) || !own.toPixel(before, b)) return;
    back = {b.X - scroll.X, b.Y - scroll.Y};
  }
  c.DrawLine({f.X, f.Y}, {back.X, back.Y});
  const std::string label = AisTargetLabel(t, slot, s.labels == 0 ? 2 : s.labels);
  if (!label.empty()) {
    TFont font{"", 2 * s.markerSize + 6, false, s.cpa};
    c.SetFont(font);
    c.DrawText({f.X - 4, f.Y - 6}, label);
  }
}

}  // namespace

std::string AisTargetLabel(const TAIS_Rec& t, int slot, int labels) {
  if (labels <= 0) return {};
  const std::string name = CleanAisText(t.Name.View());
  const bool named = !name.empty() && name != "?";
  if (named) return name;
  return labels == 1 ? "?:" + Slot3(slot) : std::string();
}

namespace {

// The hull outline's points around the hull: bow tip, port shoulder, stern
// port corner, stern starboard corner, starboard shoulder (as MakeOutline
// stores them: bow, port shoulder, starboard shoulder, stern port, stern
// starboard).
constexpr int kHullOrder[5] = {0, 1, 3, 4, 2};

// Lines of one pen, drawn in one call: thousands of targets stay cheap.
struct TLineBatch {
  std::vector<TCanvasPoint> ends;
  void Line(TCanvasPoint a, TCanvasPoint b) {
    ends.push_back(a);
    ends.push_back(b);
  }
  void Closed(const TCanvasPoint* p, size_t n) {
    for (size_t i = 0; i < n; ++i) Line(p[i], p[(i + 1) % n]);
  }
  void Draw(ICanvas& c, const TPen& pen) const {
    if (ends.empty()) return;
    c.SetPen(pen);
    c.DrawLines(ends.data(), ends.size() / 2);
  }
};

void Diamond(TLineBatch& b, TPoint at, int a, int tall) {
  const TCanvasPoint pts[] = {{at.X, at.Y - tall}, {at.X + a, at.Y}, {at.X, at.Y + tall}, {at.X - a, at.Y}};
  b.Closed(pts, 4);
}

}  // namespace

void DrawAisTargets(ICanvas& c, const TAisDecoder& ais, const TAisDrawSettings& s, TPoint scroll,
                    const TAisOwnShip& own, int infoSlot) {
  const int sz = std::clamp(s.markerSize, 0, 10);
  const double p = PixelsPerKnot(s);
  const double m = s.milesPerPixel > 0 ? 1 / (s.milesPerPixel * 1852) : 0;  // pixels per metre
  const double outlineMin = m > 0 ? std::round(20 / m) + 6 * sz : 1e18;
  const int vesselPen = (sz + 1) / 2 + 1, otherPen = sz / 3 + 1;
  const TFont font{"", 2 * sz + 6, false, s.text};
  const double rot = s.northRotation;
  TLineBatch vessels, others;
  struct TLabel {
    TCanvasPoint at;
    std::string text;
  };
  std::vector<TLabel> labels, marks;
  const int count = ais.TargetCount();
  for (int i = 0; i < count; ++i) {
    const TAIS_Rec& t = ais.Target(i);
    if (t.TargetState != kAisActive) continue;
    // The few pictures of targets in alarm and of the one in the
    // information window are drawn at once.
    if (t.CpaAlarm) CpaPicture(c, t, i, s, scroll, own);
    const TPoint at{t.ChartPoint.X - scroll.X, t.ChartPoint.Y - scroll.Y};
    if (i == infoSlot) {
      const int h = 5 * sz + 8;
      c.SetPen({s.marker, 1, TPenStyle::Dot});
      c.SetBrush({0, TBrushStyle::None});
      c.DrawRect({at.X - h, at.Y - h, at.X + h, at.Y + h});
    }
    if (t.ChartFlag != kAisOnChart) continue;
    auto speedLine = [&] {
      const double len = t.SOGKnots * p;
      if (std::isfinite(len) && std::isfinite(t.COGRad)) others.Line({at.X, at.Y}, Offset(at, {len, t.COGRad + rot}));
    };
    switch (t.Kind) {
      case kAisSarAircraft:
      case kAisBaseStation:
      case kAisMobileStation: {
        const int a = 2 * sz + 4;
        if (t.Kind == kAisSarAircraft) {
          others.Line({at.X - 2 * a, at.Y - 2 * a}, {at.X + 2 * a, at.Y + 2 * a});
          others.Line({at.X + 2 * a, at.Y - 2 * a}, {at.X - 2 * a, at.Y + 2 * a});
        } else {
          others.Line({at.X, at.Y - 2 * a}, {at.X, at.Y + 2 * a});
          others.Line({at.X + 2 * a, at.Y}, {at.X - 2 * a, at.Y});
        }
        Diamond(others, at, a, a);
        if (t.Kind == kAisSarAircraft && s.speedMark && t.RawSOG < 1023 && t.RawSOG * p > 5) speedLine();
        break;
      }
      case kAisAtoN:
        Diamond(others, at, sz + 3, 2 * (sz + 3));
        break;
      case kAisMetStation:
        if (s.labels > 0) labels.push_back({{at.X - 18, at.Y + 9}, "Met:" + Slot3(i)});
        Diamond(others, at, sz + 3, 2 * (sz + 3));
        break;
      case kAisClassA:
      case kAisClassB: {
        std::string label = AisTargetLabel(t, i, s.labels);
        if (!label.empty()) labels.push_back({{at.X - 3, at.Y + 4}, std::move(label)});
        if (s.outline && t.HasOutline && t.LengthM > outlineMin) {
          TCanvasPoint hull[5];
          for (int k = 0; k < 5; ++k) hull[k] = Turned(at, t.Outline[kHullOrder[k]], m, t.HeadingRad + rot);
          others.Closed(hull, 5);
        }
        const int A = 5 * sz + 10, B = 3 * sz + 3;
        const double d = t.DisplayDir + rot;
        const TCanvasPoint apex = Offset(at, {double(A), d});
        const TCanvasPoint tri[] = {apex, Offset(at, {double(B), d - 225 * kDeg}), Offset(at, {double(B), d + 225 * kDeg})};
        vessels.Closed(tri, 3);
        if (t.RawSOG > 3) {
          const TCanvasPoint end = Offset(at, {4.0 * A, d});
          vessels.Line(apex, end);
          if (t.RawROT != kAisTurnNotAvailable && t.RawROT / 12 != 0) {
            const TPoint e{end.X, end.Y};
            vessels.Line(end, Offset(e, {double(B), d + (t.RawROT > 0 ? 90 : -90) * kDeg}));
          }
        }
        if (s.speedMark && t.RawSOG < 1023 && t.RawSOG * p > 50) speedLine();
        break;
      }
      default:
        break;
    }
    if (t.NewText) marks.push_back({{at.X - 3, at.Y - 5}, "\xC2\xA4"});
  }
  c.SetBrush({0, TBrushStyle::None});
  others.Draw(c, {s.marker, otherPen, TPenStyle::Solid});
  vessels.Draw(c, {s.marker, vesselPen, TPenStyle::Solid});
  if (!labels.empty()) {
    c.SetFont(font);
    // A label that would cover one drawn before it is left out: in dense
    // traffic the names that have room stay readable (the list and the
    // information window name every target).
    TLabelSpace space(c.Width(), c.Height());
    for (const TLabel& l : labels) {
      if (l.at.X >= c.Width() || l.at.Y >= c.Height()) continue;
      const TCanvasPoint extent = c.TextExtent(l.text);
      if (l.at.X + extent.X < 0 || l.at.Y + extent.Y < 0) continue;
      if (space.Take(l.at.X, l.at.Y, l.at.X + extent.X, l.at.Y + extent.Y)) c.DrawText(l.at, l.text);
    }
  }
  if (!marks.empty()) {
    c.SetFont({"", font.pointSize, false, s.msgAvail});
    for (const TLabel& l : marks) c.DrawText(l.at, l.text);
  }
}

namespace {

std::string Num(double v) { return FloatToStrGeneral(v); }

// The value with its unit, "?" when it is the not-available value.
std::string Value(double v, double notAvailable, const std::string& unit) {
  if (v == notAvailable || !std::isfinite(v)) return "?";
  return Num(v) + unit;
}

}  // namespace

void DrawOwnShipOutline(ICanvas& c, const TAIS_Rec& own, TPoint at, double angle, double milesPerPixel,
                        int markerSize, TRGB colour, int penWidth) {
  if (own.ToBow + own.ToStern <= 0 || own.ToPort + own.ToStarboard <= 0) return;
  if (!(milesPerPixel > 0) || !std::isfinite(milesPerPixel) || !std::isfinite(angle)) return;
  const double m = 1 / (milesPerPixel * 1852);  // pixels per metre
  const int sz = std::clamp(markerSize, 0, 10);
  if (own.ToBow + own.ToStern <= std::round(20 / m) + 6 * sz) return;
  TCanvasPoint hull[5];
  for (int k = 0; k < 5; ++k) hull[k] = Turned(at, own.Outline[kHullOrder[k]], m, angle);
  c.SetPen({colour, std::max(penWidth, 1), TPenStyle::Solid});
  c.SetBrush({0, TBrushStyle::None});
  c.DrawPolygon(hull, 5);
}

std::vector<std::string> AisInfoLines(const TAIS_Rec& t, int slot, int labels, const TMessageTable& msg,
                                      const TAisInfoUnits& units) {
  std::vector<std::string> lines;
  if (t.TargetState != kAisActive) return lines;
  auto plain = [&](int label, const std::string& value) { lines.push_back(msg[label] + "\t" + value); };
  auto info = [&](const std::string& label, const std::string& value) {
    if (value.empty() || value[0] == '?') return;
    lines.push_back(PadRight(label, ' ', 10) + "\t" + value);
  };
  auto depth = [&](double metres, double notAvailable) {
    return metres == notAvailable ? std::string("?") : DepthText(metres, 0, units.depthShow);
  };
  auto wind = [&](int knots) {
    return knots == 127 ? std::string("?") : WindSpeedText(knots * 1852.0 / 3600.0, units.windShow);
  };
  // Report times are kept in UTC and shown so.
  auto when = [](TDateTime utc) { return DateTimeToText(utc); };
  const std::string name = CleanAisText(t.Name.View());
  const std::string call = CleanAisText(t.CallSign.View());
  auto rangeLines = [&] {
    plain(107, FloatToStrWD(3, 3, t.Range) + "NM");
    const double brg = std::round(t.Bearing / kDeg);
    plain(106, Value(brg, 360, "\xC2\xB0"));
    if (t.Kind <= kAisClassB && t.TCPA > 0 && t.TCPA < 1) {
      plain(108, FloatToStrWD(3, 3, t.CPA) + "NM");
      plain(109, DaysToHMS(t.TCPA));
    }
  };

  plain(85, when(t.LastReportUTC));
  const std::string lat = LatToStr(t.TargetPos.Y), lon = LonToStr(t.TargetPos.X);
  if (t.Kind == kAisClassA) {
    plain(86, name == "?" && labels == 1 ? "?:" + Slot3(slot) : name);
    plain(87, call);
    plain(88, CleanAisText(t.Destination.View()));
    plain(91, t.RawSOG == 1023 ? "?" : Value(t.SOGKnots, 102.3, "kn"));
    plain(92, Value(t.COGRad / kDeg, 360, "\xC2\xB0"));
    plain(93, Value(t.RawHeading, 511, "\xC2\xB0"));
    const double r = t.RawROT / 4.733;
    plain(99, Value(std::round(std::fabs(r) * r), -731, "\xC2\xB0/min"));
    plain(89, lat);
    plain(90, lon);
    plain(94, depth(t.ToBow + t.ToStern, 0));
    plain(95, depth(t.ToStarboard + t.ToPort, 0));
    plain(96, depth(t.Draught / 10.0, 0));
    plain(97, std::to_string(t.MMSI));
    static const char* const kStatus[] = {"Under way using engine", "At anchor", "Not under command",
                                          "Restricted manoeuvrability", "Constrained by her draught", "Moored",
                                          "Aground", "Engaged in Fishing", "Under way sailing"};
    plain(110, t.NavStatus >= 0 && t.NavStatus <= 8 ? kStatus[t.NavStatus] : "?");
    rangeLines();
  } else if (t.Kind >= kAisClassB && t.Kind <= kAisAtoN) {
    static const int kTypeText[] = {0, 101, 103, 102, 104, 105};
    plain(100, msg[kTypeText[t.Kind]]);
    if (t.Kind == kAisClassB) {
      plain(91, t.RawSOG == 1023 ? "?" : Value(t.SOGKnots, 102.3, "kn"));
      plain(92, Value(t.COGRad / kDeg, 360, "\xC2\xB0"));
      plain(93, Value(t.RawHeading, 511, "\xC2\xB0"));
    } else if (t.Kind == kAisSarAircraft) {
      plain(91, t.RawSOG == 1023 ? "?" : Value(t.SOGKnots, 1023, "kn"));
      plain(92, Value(t.COGRad / kDeg, 360, "\xC2\xB0"));
    }
    if (name != "?") plain(86, name);
    if (call != "?") plain(87, call);
    plain(89, lat);
    plain(90, lon);
    info(msg[94], depth(t.ToBow + t.ToStern, 0));
    info(msg[95], depth(t.ToStarboard + t.ToPort, 0));
    plain(97, std::to_string(t.MMSI));
    rangeLines();
  } else if (t.Kind == kAisMetStation) {
    plain(89, lat);
    plain(90, lon);
    plain(100, msg[131] + ":" + Slot3(slot));
    const std::string deg = "\xC2\xB0";
    info(msg[111], wind(t.WindSpeed));
    info(msg[112], Value(t.WindDir, 511, deg));
    info(msg[113], wind(t.GustSpeed));
    info(msg[114], Value(t.GustDir, 511, deg));
    info(msg[115], Value(t.AirTemp / 10.0, 144.7, deg + "C"));
    info(msg[116], Value(t.Humidity, 127, "%"));
    info(msg[117], Value(t.DewPoint / 10.0, 82.3, "C"));
    info(msg[118], Value(t.Pressure, 1311, "hPa"));
    info(msg[119], Value(t.Visibility / 10.0, 25.5, "NM"));
    info(msg[120], t.WaterLevel == 411 ? "?" : depth(t.WaterLevel / 10.0, 41.1));
    info(msg[121], Value(t.CurrentSpeed / 10.0, 25.5, "kt"));
    info(msg[122], Value(t.CurrentDir, 511, deg));
    info(msg[123], depth(t.WaveHeight / 10.0, 25.5));
    info(msg[124], Value(t.WavePeriod, 63, "s"));
    info(msg[125], Value(t.WaveDir, 511, deg));
    info(msg[126], depth(t.SwellHeight / 10.0, 25.5));
    info(msg[127], Value(t.SwellPeriod, 63, "s"));
    info(msg[128], Value(t.SwellDir, 511, deg));
    info(msg[129], Value(t.WaterTemp / 10.0, 92.3, deg + "C"));
    rangeLines();
  }
  if (t.TextTime != 0) lines.push_back(when(t.TextTime) + " " + t.SafetyText);
  return lines;
}

int AisSlotOfListEntry(const std::string& entry) {
  const size_t colon = entry.rfind(':');
  if (colon == std::string::npos || colon + 1 >= entry.size()) return -1;
  int v = 0;
  for (size_t i = colon + 1; i < entry.size(); ++i) {
    const char ch = entry[i];
    if (ch < '0' || ch > '9' || v > 100000000) return -1;
    v = v * 10 + (ch - '0');
  }
  return v;
}
