#include "plotter/core/Dashboard.h"

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "foundation/Types.h"
#include "plotter/core/SysInfo.h"

namespace {

constexpr double kNoData = 1e-13;

std::vector<std::string> Names(TDashSet set) {
  std::vector<std::string> names;
  for (int b = 0; b < kDashBoxCount; ++b)
    if (set.Has(static_cast<TDashBox>(b))) names.push_back(DashBoxName(static_cast<TDashBox>(b)));
  return names;
}

TEST(Dashboard, TheBoxSetFollowsTheModeTheRouteAndTheInstruments) {
  struct Case {
    const char* label;
    TDashState state;
    TDashSet expected;
  } cases[] = {
      {"normal", {}, {TDashBox::DB_MAINMENU, TDashBox::DB_GPS, TDashBox::DB_Shade, TDashBox::DB_STATE, TDashBox::DB_MARKER, TDashBox::DB_DBLCLK, TDashBox::DB_WAYPOINT, TDashBox::DB_QBUTT, TDashBox::DB_RTSTAT}},
      {"normal with the AIS panel", {.aisPanel = true},
       {TDashBox::DB_MAINMENU, TDashBox::DB_GPS, TDashBox::DB_Shade, TDashBox::DB_STATE, TDashBox::DB_MARKER, TDashBox::DB_AISP, TDashBox::DB_DBLCLK, TDashBox::DB_WAYPOINT, TDashBox::DB_QBUTT, TDashBox::DB_RTSTAT}},
      {"AUTOMATIC without the log box", {.automatic = true, .aisPanel = true},
       {TDashBox::DB_GPS, TDashBox::DB_Shade, TDashBox::DB_STATE, TDashBox::DB_MARKER, TDashBox::DB_QBUTT, TDashBox::DB_RTSTAT}},
      {"AUTOMATIC, log box only in AUTOMATIC", {.automatic = true, .showLogData = 2},
       {TDashBox::DB_GPS, TDashBox::DB_INSTR, TDashBox::DB_Shade, TDashBox::DB_STATE, TDashBox::DB_MARKER, TDashBox::DB_QBUTT, TDashBox::DB_RTSTAT}},
      {"normal, log box only in AUTOMATIC", {.showLogData = 2},
       {TDashBox::DB_MAINMENU, TDashBox::DB_GPS, TDashBox::DB_Shade, TDashBox::DB_STATE, TDashBox::DB_MARKER, TDashBox::DB_DBLCLK, TDashBox::DB_WAYPOINT, TDashBox::DB_QBUTT, TDashBox::DB_RTSTAT}},
      {"normal, log box on", {.showLogData = 1},
       {TDashBox::DB_MAINMENU, TDashBox::DB_GPS, TDashBox::DB_INSTR, TDashBox::DB_Shade, TDashBox::DB_STATE, TDashBox::DB_MARKER, TDashBox::DB_DBLCLK, TDashBox::DB_WAYPOINT, TDashBox::DB_QBUTT, TDashBox::DB_RTSTAT}},
      {"route active", {.automatic = true, .routeActive = true},
       {TDashBox::DB_GPS, TDashBox::DB_Shade, TDashBox::DB_STATE, TDashBox::DB_MARKER, TDashBox::DB_ROUTE_GO, TDashBox::DB_ROUTEGUIDE}},
      {"instruments known", {.automatic = true, .depthKnown = true, .windKnown = true, .compassKnown = true},
       {TDashBox::DB_GPS, TDashBox::DB_Shade, TDashBox::DB_STATE, TDashBox::DB_MARKER, TDashBox::DB_QBUTT, TDashBox::DB_RTSTAT, TDashBox::DB_DEPTH, TDashBox::DB_WIND, TDashBox::DB_COMPASS}},
      {"instruments known but switched off",
       {.automatic = true, .depthShow = 0, .depthKnown = true, .windShow = 0, .windKnown = true,
        .compassShow = false, .compassKnown = true},
       {TDashBox::DB_GPS, TDashBox::DB_Shade, TDashBox::DB_STATE, TDashBox::DB_MARKER, TDashBox::DB_QBUTT, TDashBox::DB_RTSTAT}},
      {"route editor, whatever else",
       {.automatic = true, .routeEditor = true, .routeActive = true, .depthKnown = true, .showLogData = 1,
        .aisPanel = true},
       kRouteEditorDashSet},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    EXPECT_EQ(Names(ChooseDashboardSet(c.state)), Names(c.expected));
  }
}

// Box heights of a synthetic dashboard.
TPerBox<int> Heights() {
  TPerBox<int> h;
  h[TDashBox::DB_MAINMENU] = 24;
  h[TDashBox::DB_GPS] = 80;
  h[TDashBox::DB_DR] = 80;
  h[TDashBox::DB_INSTR] = 70;
  h[TDashBox::DB_STATE] = 76;
  h[TDashBox::DB_MARKER] = 60;
  h[TDashBox::DB_DEPTH] = 30;
  h[TDashBox::DB_WIND] = 60;
  h[TDashBox::DB_COMPASS] = 30;
  h[TDashBox::DB_ROUTE_GO] = 150;
  h[TDashBox::DB_ROUTEGUIDE] = 40;
  h[TDashBox::DB_RTEEDIT] = 150;
  h[TDashBox::DB_RTSTAT] = 50;
  h[TDashBox::DB_QBUTT] = 60;
  h[TDashBox::DB_WAYPOINT] = 50;
  h[TDashBox::DB_AISP] = 100;
  h[TDashBox::DB_Shade] = 28;
  h[TDashBox::DB_DBLCLK] = 24;
  return h;
}

std::vector<std::string> Shown(const TDashLayout& l) {
  std::vector<std::string> names;
  for (int b = 0; b < kDashBoxCount; ++b)
    if (l.shown[b]) names.push_back(DashBoxName(static_cast<TDashBox>(b)));
  return names;
}

TEST(Dashboard, LayoutFillsFromBothEndsAndDropsLateBoxesFirst) {
  const TDashSet normal = ChooseDashboardSet({});
  const TDashSet automatic = ChooseDashboardSet({.automatic = true, .depthKnown = true, .showLogData = 1});
  const TDashSet editor = ChooseDashboardSet({.routeEditor = true});
  struct Case {
    const char* label;
    TDashSet set;
    int height;
    bool gpsLost;
    bool editor;
    std::vector<std::string> shown;
  } cases[] = {
      {"normal, tall window", normal, 1000, false, false,
       {"DB_MAINMENU", "DB_GPS", "DB_STATE", "DB_MARKER", "DB_RTSTAT", "DB_QBUTT", "DB_WAYPOINT", "DB_Shade",
        "DB_DBLCLK"}},
      // 26 + 82 + 52 = 160 used from the top; the marker and the status
      // buttons take the rest from the bottom, then nothing fits.
      {"normal, short window", normal, 300, false, false,
       {"DB_MAINMENU", "DB_GPS", "DB_STATE", "DB_MARKER", "DB_WAYPOINT"}},
      {"normal, GPS lost", normal, 1000, true, false,
       {"DB_MAINMENU", "DB_DR", "DB_STATE", "DB_MARKER", "DB_RTSTAT", "DB_QBUTT", "DB_WAYPOINT", "DB_Shade",
        "DB_DBLCLK"}},
      {"AUTOMATIC, tall", automatic, 800, false, false,
       {"DB_GPS", "DB_INSTR", "DB_STATE", "DB_MARKER", "DB_DEPTH", "DB_RTSTAT", "DB_QBUTT", "DB_Shade"}},
      // 2 + 82 + 72 from the top, 62 + 78 from the bottom: 296 used of 400;
      // the quick buttons (60) fit, the statistics (50) no longer, the depth
      // box (30) after them still does.
      {"AUTOMATIC, short", automatic, 400, false, false,
       {"DB_GPS", "DB_INSTR", "DB_STATE", "DB_MARKER", "DB_DEPTH", "DB_QBUTT"}},
      {"route editor, room for all", editor, 600, false, true,
       {"DB_MAINMENU", "DB_GPS", "DB_MARKER", "DB_RTEEDIT", "DB_RTSTAT", "DB_WAYPOINT"}},
      // The GPS box needs 399 pixels of free space; 374 are left after the
      // menu, so the editor's own boxes come first.
      {"route editor, short", editor, 400, false, true,
       {"DB_MAINMENU", "DB_MARKER", "DB_RTEEDIT", "DB_RTSTAT", "DB_WAYPOINT"}},
      {"route editor, GPS lost", editor, 600, true, true,
       {"DB_MAINMENU", "DB_GPS", "DB_MARKER", "DB_RTEEDIT", "DB_RTSTAT", "DB_WAYPOINT"}},
      {"nothing fits", normal, 20, false, false, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    TDashLayoutInput in{c.set, Heights(), c.height, c.gpsLost, c.editor};
    const TDashLayout l = LayoutDashboardBoxes(in);
    EXPECT_EQ(Shown(l), c.shown);
    EXPECT_EQ(l.set.Has(TDashBox::DB_DR), c.gpsLost && !c.editor);
    // Shown boxes lie inside the column and never overlap.
    for (int a = 0; a < kDashBoxCount; ++a) {
      if (!l.shown[a]) continue;
      EXPECT_GE(l.top[a], 0) << DashBoxName(static_cast<TDashBox>(a));
      EXPECT_LE(l.top[a] + in.heights[a], c.height) << DashBoxName(static_cast<TDashBox>(a));
      for (int b = a + 1; b < kDashBoxCount; ++b) {
        if (!l.shown[b]) continue;
        const bool apart = l.top[a] + in.heights[a] <= l.top[b] || l.top[b] + in.heights[b] <= l.top[a];
        EXPECT_TRUE(apart) << DashBoxName(static_cast<TDashBox>(a)) << " and "
                           << DashBoxName(static_cast<TDashBox>(b));
      }
    }
  }
}

TEST(Dashboard, LayoutPositions) {
  TDashLayoutInput in{ChooseDashboardSet({}), Heights(), 1000, false, false};
  const TDashLayout l = LayoutDashboardBoxes(in);
  EXPECT_EQ(l.top[TDashBox::DB_MAINMENU], 0);
  EXPECT_EQ(l.top[TDashBox::DB_GPS], 26);
  EXPECT_EQ(l.top[TDashBox::DB_WAYPOINT], 108);
  EXPECT_EQ(l.top[TDashBox::DB_QBUTT], 160);
  EXPECT_EQ(l.top[TDashBox::DB_MARKER], 1000 - 62);
  EXPECT_EQ(l.top[TDashBox::DB_STATE], 1000 - 62 - 78);
  EXPECT_EQ(l.top[TDashBox::DB_Shade], 1000 - 62 - 78 - 30);
  EXPECT_EQ(l.top[TDashBox::DB_DBLCLK], 1000 - 62 - 78 - 30 - 26);
  // Without the menu the column starts 2 pixels down.
  in.set.Exclude(TDashBox::DB_MAINMENU);
  EXPECT_EQ(LayoutDashboardBoxes(in).top[TDashBox::DB_GPS], 2);
}

TEST(Dashboard, FieldTexts) {
  struct Case {
    std::string text;
    std::string expected;
  } cases[] = {
      {DepthText(8.44, 0.5, 1), "8.9m"},
      {DepthText(8.5, 0.5, 1), "9m"},
      {DepthText(12.26, 0.5, 1), "13m"},
      {DepthText(2, 0.5, 2), "8.2f"},
      {DepthText(3, 0, 2), "10f"},
      // 16.5 m are 9.02 fathoms of 1.8288 m (a 1.854 m fathom would say 8.9).
      {DepthText(16, 0.5, 3), "9F"},
      {DepthText(5, 0, 3), "2.7F"},
      {DepthText(kNoData, 0.5, 1), "---"},
      {WindSpeedText(5, 1), "5.0ms"},
      {WindSpeedText(12.4, 1), "12ms"},
      {WindSpeedText(4, 2), "7.8kt"},
      {WindSpeedText(5, 2), "10kt"},
      {WindSpeedText(kNoData, 2), "---"},
      {EngineHoursText(101.5), "101:30"},
      {EngineHoursText(12.9999), "13:00"},
      {EngineHoursText(12.99), "12:59"},
      {EngineHoursText(0.05), "0:03"},
      {EngineHoursText(-2), "0:00"},
      {EngineHoursText(std::numeric_limits<double>::quiet_NaN()), "0:00"},
      {DegreesText(kPi / 2, 1), "90.0"},
      {DegreesText(kNoData, 1), "---"},
      {WholeDegreesText(kPi / 4, "°R"), "45°R"},
      {OneDecimalText(6.25), "6.2"},
      {OneDecimalText(kNoData), "---"},
  };
  for (const Case& c : cases) EXPECT_EQ(c.text, c.expected);
  EXPECT_EQ(WrapCourse(-1), 359);
  EXPECT_EQ(WrapCourse(360), 0);
  EXPECT_EQ(WrapCourse(123), 123);
}

TEST(Dashboard, ShadeLevelsMapEveryColour) {
  RSysInfo sys;
  sys.BoatColor = 12;
  sys.ShadeNight = -50;  // an inverting night level
  struct Case {
    int level;
    int value;
  } cases[] = {{0, 0}, {1, 20}, {2, 40}, {3, -50}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.level);
    ASSERT_EQ(ShadeValueForLevel(c.level, sys), c.value);
    const TWindowColours w = ComputeWindowColours(c.value, sys);
    for (int i = 0; i < kPaletteSize; ++i) EXPECT_EQ(w.palette[i], ShadeColor(c.value, kPalette16[i]));
    EXPECT_EQ(w.red, ShadeColor(c.value, kPalette16[piRed]));
    EXPECT_EQ(w.black, ShadeColor(c.value, kPalette16[piBlack]));
    EXPECT_EQ(w.boat, ShadeColor(c.value, kPalette16[piBlue]));
    EXPECT_EQ(w.track, ShadeColor(c.value, kPalette16[piRed]));
    EXPECT_EQ(w.blackBackground, c.value != 0);
  }
  EXPECT_EQ(ComputeWindowColours(0, sys).palette, kPalette16);
  // Level 40 keeps 60 % of each channel.
  EXPECT_EQ(ComputeWindowColours(40, sys).red, MakeColor(153, 0, 0));
  // A colour index out of the palette (a record not read from a file) falls
  // back to the setting's default colour.
  sys.TrackColor = 99;
  EXPECT_EQ(ComputeWindowColours(0, sys).track, kPalette16[piRed]);
}

}  // namespace

namespace {

// Red captions on the grey of a button stay legible at every shade value:
// unchanged while they read, darker (still red) where deep shading brings
// the red too close to the grey.
TEST(Dashboard, AlarmTextStaysReadableWhenShaded) {
  const TColor black = kPalette16[piBlack];
  const TColor white = kPalette16[piWhite];
  const TColor red = kPalette16[piRed];
  const TColor face = MakeColor(0xEF, 0xEF, 0xEF);
  EXPECT_NEAR(ContrastRatio(black, white), 21, 1e-9);
  EXPECT_NEAR(ContrastRatio(red, red), 1, 1e-9);
  EXPECT_EQ(ReadableTextColour(red, face, black, white), red);
  for (int value : {0, 20, 40, 60, 80, -50}) {
    SCOPED_TRACE(value);
    const TColor bg = ShadeColor(value, face);
    const TColor dark = ShadeColor(value, black);
    const TColor light = ShadeColor(value, white);
    const TColor text = ReadableTextColour(ShadeColor(value, red), bg, dark, light);
    const double best = std::max(ContrastRatio(dark, bg), ContrastRatio(light, bg));
    if (best >= kMinTextContrast) {
      EXPECT_GE(ContrastRatio(text, bg), kMinTextContrast);
    } else {
      EXPECT_TRUE(text == dark || text == light);
    }
  }
  // At the default night value the caption is still red, only darker.
  const TColor night = ReadableTextColour(ShadeColor(60, red), ShadeColor(60, face), black, ShadeColor(60, white));
  EXPECT_GT(ColorRed(night), 0);
  EXPECT_LT(ColorRed(night), ColorRed(ShadeColor(60, red)));
  EXPECT_EQ(ColorGreen(night), 0);
}

}  // namespace
