#include "plotter/core/Dashboard.h"

#include <algorithm>
#include <cmath>

#include "foundation/NumText.h"
#include "foundation/Types.h"
#include "plotter/core/SysInfo.h"

namespace {

// What the instruments report when they report nothing.
constexpr double kNoData = 1e-13;

bool Known(double v) { return v != kNoData && std::isfinite(v); }

constexpr double kFeetPerMetre = 3.28;
constexpr double kMetresPerFathom = 1.8288;
constexpr double kKnotsPerMetreSecond = 1.9438444924406047;

// "%1.*f" with one decimal below 9 and none from 9 up, then the unit.
std::string ShortNumber(double v, const char* unit) {
  return FloatToStrFixedDot(v < 9 ? 1 : 0, v) + unit;
}

}  // namespace

const char* DashBoxName(TDashBox box) {
  static constexpr const char* kNames[kDashBoxCount] = {
      "DB_MAINMENU", "DB_GPS",      "DB_DR",      "DB_INSTR",  "DB_STATE",    "DB_MARKER",
      "DB_DEPTH",    "DB_WIND",     "DB_COMPASS", "DB_ROUTE_GO", "DB_ROUTEGUIDE", "DB_RTEEDIT",
      "DB_RTSTAT",   "DB_QBUTT",    "DB_WAYPOINT", "DB_AISP",  "DB_Shade",    "DB_DBLCLK",
  };
  const int i = static_cast<int>(box);
  return i >= 0 && i < kDashBoxCount ? kNames[i] : "";
}

TDashSet ChooseDashboardSet(const TDashState& s) {
  if (s.routeEditor) return kRouteEditorDashSet;
  TDashSet set = s.automatic ? kAutomaticDashSet : kNormalDashSet;
  set.Set(TDashBox::DB_ROUTE_GO, s.routeActive);
  set.Set(TDashBox::DB_ROUTEGUIDE, s.routeActive);
  set.Set(TDashBox::DB_QBUTT, !s.routeActive);
  set.Set(TDashBox::DB_RTSTAT, !s.routeActive);
  set.Set(TDashBox::DB_DEPTH, s.depthShow > 0 && s.depthKnown);
  set.Set(TDashBox::DB_WIND, s.windShow > 0 && s.windKnown);
  set.Set(TDashBox::DB_COMPASS, s.compassShow && s.compassKnown);
  set.Set(TDashBox::DB_INSTR, s.showLogData == 1 || (s.showLogData == 2 && s.automatic));
  set.Set(TDashBox::DB_AISP, !s.automatic && s.aisPanel);
  return set;
}

TDashLayout LayoutDashboardBoxes(const TDashLayoutInput& in) {
  TDashLayout out;
  out.set = in.set;
  const auto height = [&](TDashBox b) { return std::max(0, in.heights[b]); };
  int top = in.set.Has(TDashBox::DB_MAINMENU) ? 0 : 2;
  int bottom = in.columnHeight;

  const auto place = [&](TDashBox box, bool fromBottom, int requiredSpace = 0) {
    const int h = height(box);
    const int free = bottom - top;
    if (!out.set.Has(box) || free < h || free < requiredSpace) {
      out.shown[box] = false;
      return;
    }
    out.shown[box] = true;
    if (fromBottom) {
      bottom -= h + kDashGap;
      out.top[box] = bottom;
    } else {
      out.top[box] = top;
      top += h + kDashGap;
    }
  };

  place(TDashBox::DB_MAINMENU, false);
  // The GPS box, or the dead-reckoning box in its place while the GPS is
  // lost. In the route editor the GPS box leaves room for the editor's own
  // boxes first.
  if (!in.gpsLost) {
    out.set.Exclude(TDashBox::DB_DR);
  } else if (!in.routeEditor) {
    out.set.Include(TDashBox::DB_DR);
  }
  if (in.gpsLost && !in.routeEditor) {
    out.shown[TDashBox::DB_GPS] = false;
  } else {
    const int required = in.routeEditor ? height(TDashBox::DB_MARKER) + height(TDashBox::DB_WAYPOINT) + height(TDashBox::DB_RTEEDIT) +
                                              height(TDashBox::DB_GPS) + height(TDashBox::DB_RTSTAT) + 4 * kDashGap + 1
                                        : 0;
    place(TDashBox::DB_GPS, false, required);
  }
  place(TDashBox::DB_DR, false);
  place(TDashBox::DB_RTEEDIT, false);
  place(TDashBox::DB_INSTR, false);
  place(TDashBox::DB_ROUTE_GO, false);
  place(TDashBox::DB_ROUTEGUIDE, false);
  place(TDashBox::DB_WAYPOINT, false);
  place(TDashBox::DB_MARKER, true);
  place(TDashBox::DB_STATE, true);
  place(TDashBox::DB_QBUTT, false);
  place(TDashBox::DB_RTSTAT, false);
  place(TDashBox::DB_DEPTH, false);
  place(TDashBox::DB_WIND, false);
  place(TDashBox::DB_COMPASS, false);
  place(TDashBox::DB_AISP, false);
  place(TDashBox::DB_Shade, true);
  place(TDashBox::DB_DBLCLK, true);
  return out;
}

std::string DepthText(double depth, double transducerDepth, int depthShow) {
  if (!Known(depth)) return "---";
  const double metres = depth + (std::isfinite(transducerDepth) ? transducerDepth : 0);
  switch (depthShow) {
    case 2:
      return ShortNumber(metres * kFeetPerMetre, "f");
    case 3:
      return ShortNumber(metres / kMetresPerFathom, "F");
    default:
      return ShortNumber(metres, "m");
  }
}

std::string WindSpeedText(double metresPerSecond, int windShow) {
  if (!Known(metresPerSecond)) return "---";
  if (windShow == 2) return ShortNumber(metresPerSecond * kKnotsPerMetreSecond, "kt");
  return ShortNumber(metresPerSecond, "ms");
}

std::string EngineHoursText(double hours) {
  const int64_t minutes = std::max<int64_t>(0, RoundToInt64(hours * 60.0));
  const int64_t mm = minutes % 60;
  return std::to_string(minutes / 60) + (mm < 10 ? ":0" : ":") + std::to_string(mm);
}

std::string DegreesText(double radians, int decimals) {
  if (!Known(radians)) return "---";
  return FloatToStrFixedDot(decimals, radians * kRadToDeg);
}

std::string OneDecimalText(double value) {
  if (!Known(value)) return "---";
  return FloatToStrFixedDot(1, value);
}

std::string WholeDegreesText(double radians, const char* suffix) {
  if (!Known(radians)) return std::string("---") + suffix;
  return std::to_string(RoundToInt(radians * kRadToDeg)) + suffix;
}

int WrapCourse(int degrees) {
  if (degrees == -1) return 359;
  if (degrees == 360) return 0;
  return degrees;
}

int ShadeValueForLevel(int level, const RSysInfo& sys) {
  switch (level) {
    case 1:
      return sys.ShadeTwilight;
    case 2:
      return sys.ShadeDusk;
    case 3:
      return sys.ShadeNight;
    default:
      return 0;
  }
}

TWindowColours ComputeWindowColours(int shadeValue, const RSysInfo& sys) {
  TWindowColours c;
  c.shadeValue = shadeValue;
  c.palette = ShadePalette(shadeValue);
  // Settings were checked when read; a record filled by hand still cannot
  // index past the palette.
  const auto pick = [&](int index, int fallback) { return ShadeColor(shadeValue, PaletteColor(index, fallback)); };
  c.black = c.palette[piBlack];
  c.red = c.palette[piRed];
  c.lime = c.palette[piLime];
  c.aqua = c.palette[piAqua];
  c.boat = pick(sys.BoatColor, piFuchsia);
  c.routeNormal = pick(sys.RouteNormalColor, piBlack);
  c.routeSelect = pick(sys.RouteSelectColor, piRed);
  c.waypointNormal = pick(sys.WaypointNormalColor, piBlack);
  c.waypointSelect = pick(sys.WaypointSelectColor, piRed);
  c.track = pick(sys.TrackColor, piRed);
  c.outline = pick(sys.OutlineColor, piRed);
  c.windArrow = pick(sys.WindArrowColor, piBlack);
  c.aisMarker = pick(sys.AISMarkerColor, piOlive);
  c.aisMsgAvail = pick(sys.AISMsgAvailColor, piRed);
  c.aisTargetText = pick(sys.AISTargetTextColor, piBlack);
  c.aisCpa = pick(sys.AISCPAColor, piRed);
  c.blackBackground = shadeValue != 0;
  return c;
}

namespace {

double Linear(uint8_t c) {
  const double v = c / 255.0;
  return v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
}

double Luminance(TColor c) {
  return 0.2126 * Linear(ColorRed(c)) + 0.7152 * Linear(ColorGreen(c)) + 0.0722 * Linear(ColorBlue(c));
}

uint8_t Mix(uint8_t a, uint8_t b, int step, int steps) {
  return static_cast<uint8_t>((a * (steps - step) + b * step + steps / 2) / steps);
}

}  // namespace

double ContrastRatio(TColor a, TColor b) {
  const double la = Luminance(a);
  const double lb = Luminance(b);
  return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

TColor ReadableTextColour(TColor text, TColor background, TColor dark, TColor light, double minRatio) {
  if (ContrastRatio(text, background) >= minRatio) return text;
  const TColor target = ContrastRatio(dark, background) >= ContrastRatio(light, background) ? dark : light;
  constexpr int kSteps = 10;
  for (int step = 1; step < kSteps; ++step) {
    const TColor c = MakeColor(Mix(ColorRed(text), ColorRed(target), step, kSteps),
                               Mix(ColorGreen(text), ColorGreen(target), step, kSteps),
                               Mix(ColorBlue(text), ColorBlue(target), step, kSteps));
    if (ContrastRatio(c, background) >= minRatio) return c;
  }
  return target;
}
