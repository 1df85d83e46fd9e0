// The dashboard's rules without a window: which boxes the column shows in
// which state, where they go, what their fields say, and the colours of
// night shading.
//
// The column is filled from the top and from the bottom at the same time;
// a box is shown only while the free space between the two cursors holds
// it, so when space runs out the boxes late in the order go first.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "foundation/Colors.h"
#include "plotter/core/PlotterFlags.h"

struct RSysInfo;

// The boxes of the column.
enum class TDashBox : uint8_t {
  DB_MAINMENU,
  DB_GPS,
  DB_DR,
  DB_INSTR,
  DB_STATE,
  DB_MARKER,
  DB_DEPTH,
  DB_WIND,
  DB_COMPASS,
  DB_ROUTE_GO,
  DB_ROUTEGUIDE,
  DB_RTEEDIT,
  DB_RTSTAT,
  DB_QBUTT,
  DB_WAYPOINT,
  DB_AISP,
  DB_Shade,
  DB_DBLCLK,
};
inline constexpr int kDashBoxCount = static_cast<int>(TDashBox::DB_DBLCLK) + 1;
using TDashSet = TFlagSet<TDashBox>;

// One value per box, indexed by the box (or by its number).
template <class T>
struct TPerBox {
  std::array<T, kDashBoxCount> values{};
  T& operator[](TDashBox b) { return values[static_cast<size_t>(b)]; }
  const T& operator[](TDashBox b) const { return values[static_cast<size_t>(b)]; }
  T& operator[](int i) { return values[static_cast<size_t>(i)]; }
  const T& operator[](int i) const { return values[static_cast<size_t>(i)]; }
};

// The object name of a box ("DB_GPS", ...).
const char* DashBoxName(TDashBox box);

inline constexpr TDashSet kNormalDashSet = {TDashBox::DB_MAINMENU, TDashBox::DB_GPS,  TDashBox::DB_Shade,  TDashBox::DB_STATE,
                                            TDashBox::DB_MARKER,   TDashBox::DB_AISP, TDashBox::DB_DBLCLK, TDashBox::DB_WAYPOINT};
inline constexpr TDashSet kAutomaticDashSet = {TDashBox::DB_GPS, TDashBox::DB_INSTR, TDashBox::DB_Shade, TDashBox::DB_STATE, TDashBox::DB_MARKER};
inline constexpr TDashSet kRouteEditorDashSet = {TDashBox::DB_MAINMENU, TDashBox::DB_GPS,    TDashBox::DB_RTEEDIT,
                                                 TDashBox::DB_RTSTAT,   TDashBox::DB_MARKER, TDashBox::DB_WAYPOINT};

// What the choice of boxes depends on.
struct TDashState {
  bool automatic = false;
  bool routeEditor = false;
  bool routeActive = false;
  int depthShow = 1;  // "Depth Show"
  bool depthKnown = false;
  int windShow = 1;  // "Wind Show"
  bool windKnown = false;
  bool compassShow = true;  // "Compass Show"
  bool compassKnown = false;
  int showLogData = 0;  // "Show Log Data"
  bool aisPanel = false;  // "AIS Panel"
};

// The boxes to show: the route editor's set while it is open; otherwise
// the AUTOMATIC or the normal set with the boxes that depend on the route,
// the instrument values and the settings added or taken out.
TDashSet ChooseDashboardSet(const TDashState& s);

inline constexpr int kDashGap = 2;     // between boxes
inline constexpr int kDashMargin = 3;  // left of the boxes

struct TDashLayoutInput {
  TDashSet set;
  TPerBox<int> heights;
  int columnHeight = 0;
  bool gpsLost = false;
  bool routeEditor = false;
};

struct TDashLayout {
  // The set after the GPS rule: the dead-reckoning box joins it while the
  // GPS is lost (outside the route editor) and leaves it otherwise.
  TDashSet set;
  TPerBox<bool> shown;
  TPerBox<int> top;  // of shown boxes
};

// Places the boxes of the set in the column (heights and tops in pixels).
TDashLayout LayoutDashboardBoxes(const TDashLayoutInput& in);

// ---- field texts ----

// Depth below the surface: `depth` (metres below the transducer) plus the
// transducer depth, in the unit of "Depth Show" (1 metres "m", 2 feet "f",
// 3 fathoms "F"); one decimal below 9 of the shown unit, none from 9 up.
std::string DepthText(double depth, double transducerDepth, int depthShow);
// Wind speed (metres per second): "Wind Show" 2 in knots ("kt"), otherwise
// in m/s ("ms"); one decimal below 9, none from 9 up.
std::string WindSpeedText(double metresPerSecond, int windShow);
// Engine hours as whole hours, ":" and two-digit minutes; the minutes are
// rounded as a whole, so 12.9999 hours read "13:00", never "12:60".
std::string EngineHoursText(double hours);
// Radians as degrees with `decimals` decimals ("123.4"); "---" when unknown.
std::string DegreesText(double radians, int decimals);
// A value with one decimal ("5.3"); "---" when unknown.
std::string OneDecimalText(double value);
// Whole degrees of an angle in radians followed by `suffix` ("45°R").
std::string WholeDegreesText(double radians, const char* suffix);
// The dead-reckoning course typed by the user: -1 becomes 359, 360 becomes
// 0; anything else stays.
int WrapCourse(int degrees);

// ---- night shading ----

// Shade value of a level: 0 for level 0, "Shade Twilight", "Shade Dusk" and
// "Shade Night" for levels 1 to 3.
int ShadeValueForLevel(int level, const RSysInfo& sys);

// The colours the window draws with, all mapped through the shade value.
struct TWindowColours {
  int shadeValue = 0;
  std::array<TColor, kPaletteSize> palette{};
  TColor black = 0;  // ring colour
  TColor red = 0;    // alarm colour, marker pen
  TColor lime = 0;   // measuring colour
  TColor aqua = 0;   // marker colour
  TColor boat = 0;   // boat symbol, speed mark, heading stick
  TColor routeNormal = 0;
  TColor routeSelect = 0;
  TColor waypointNormal = 0;
  TColor waypointSelect = 0;
  TColor track = 0;
  TColor outline = 0;
  TColor windArrow = 0;
  TColor aisMarker = 0;
  TColor aisMsgAvail = 0;
  TColor aisTargetText = 0;
  TColor aisCpa = 0;
  // The chart background is black while shaded (else the workspace colour).
  bool blackBackground = false;
};
TWindowColours ComputeWindowColours(int shadeValue, const RSysInfo& sys);

// Contrast of two colours as the ratio of their relative luminances (1 to
// 21; 3 is the least at which bold text reads well).
double ContrastRatio(TColor a, TColor b);
inline constexpr double kMinTextContrast = 3.0;

// A text colour that reads on `background`: `text` itself when it stands
// out by at least `minRatio`, else `text` blended step by step toward
// `dark` or `light` (whichever stands out more on the background) until it
// does, or wholly that colour when even it falls short. Deep night shading
// leaves a red too close to the grey it is drawn on; this keeps it legible
// with as much of its colour as possible.
TColor ReadableTextColour(TColor text, TColor background, TColor dark, TColor light,
                          double minRatio = kMinTextContrast);
