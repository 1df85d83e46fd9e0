// The AIS targets on the chart (drawn onto a recording canvas) and the
// texts of the target information window.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "foundation/GenUtil.h"
#include "instruments/AIS.h"
#include "instruments/AisTestUtil.h"
#include "instruments/NMEA.h"
#include "platform/Canvas.h"
#include "platform/Clock.h"
#include "plotter/core/AisDisplay.h"
#include "plotter/core/Messages.h"

namespace {

using namespace aisfix;

constexpr double kOwnLat = 57.7, kOwnLon = 11.6;
double Rad(double deg) { return deg * kDegToRad; }

class AisDisplay : public testing::Test {
 protected:
  TManualClock clock;
  TNMEALineBuffer buffer{nullptr, clock};
  TNMEA& parser = buffer.Parser();
  TAisDecoder ais{parser};
  TMessageTable messages;

  void SetUp() override {
    buffer.Source = kSourcePortA;
    parser.AisEnabled = true;
    parser.Info.Pos = {Rad(kOwnLon), Rad(kOwnLat)};
    parser.Info.VelEast = parser.Info.VelNorth = 0;
    ais.SetAisViewArea({Rad(12), Rad(58), Rad(11), Rad(57)});
  }
  void Send(const TPayload& p) {
    buffer.FeedText(Vdm(p));
    buffer.FeedText("\r\n");
  }
  // A plain chart: 1000 pixels a degree from 11 E, 58 N.
  void Place() {
    ais.UpdateScreenPoints(true, [](const TFPoint& pos, TPoint& px) {
      px = {int(std::lround((pos.X / kDegToRad - 11) * 1000)), int(std::lround((58 - pos.Y / kDegToRad) * 1000))};
      return true;
    });
  }
  std::vector<std::string> Draw(const TAisDrawSettings& s) {
    Place();
    TRecordingCanvas canvas(2000, 2000);
    TAisOwnShip own;
    own.pos = parser.Info.Pos;
    DrawAisTargets(canvas, ais, s, {0, 0}, own, -1);
    return canvas.calls();
  }
  static int Count(const std::vector<std::string>& calls, const std::string& prefix) {
    return static_cast<int>(
        std::count_if(calls.begin(), calls.end(), [&](const std::string& c) { return c.rfind(prefix, 0) == 0; }));
  }
  static bool Has(const std::vector<std::string>& calls, const std::string& call) {
    return std::find(calls.begin(), calls.end(), call) != calls.end();
  }
};

TAisDrawSettings Settings() {
  TAisDrawSettings s;
  s.milesPerPixel = 0.01;
  s.speedMarkSeconds = 60;  // 1.67 pixels a knot: a speed line from 3 knots
  s.labels = 1;
  return s;
}

TEST_F(AisDisplay, AVesselsLinesFollowItsSpeedAndTurn) {
  struct Case {
    const char* what;
    int rawSog;
    int rot;
    int lines;  // heading line, turn tick, speed line
  };
  const Case cases[] = {
      {"0.2 kn: the triangle only", 2, -128, 0},
      {"0.4 kn: the heading line", 4, -128, 1},
      {"rate of turn 11: no tick", 4, 11, 1},
      {"rate of turn 12: a tick", 4, 12, 2},
      {"10 kn: heading and speed lines", 100, -128, 2},
      {"speed not available: no speed line", 1023, -128, 1},
  };
  for (const Case& c : cases) {
    ais.ClearTargets();
    parser.AisEnabled = true;
    Send(ClassA(211000001, 57.6, 11.5, c.rawSog, 900, 90, 0, c.rot));
    const std::vector<std::string> calls = Draw(Settings());
    EXPECT_EQ(Count(calls, "line "), 3 + c.lines) << c.what << ": the triangle's three sides and the lines";
  }
}

TEST_F(AisDisplay, TargetsAreDrawnByKindWhereTheChartPutsThem) {
  Send(ClassA(211000001, 57.6, 11.5, 0, 0, 0));
  Send(Station(4, 2190001, 57.5, 11.3));
  Send(Aton(992190002, "BUOY", 57.4, 11.2));
  Send(Sar(111000003, 57.3, 11.1, 0, 0));
  std::vector<std::string> calls = Draw(Settings());
  // Mobile station: a cross of 2a each way and a diamond, a = 6 (size 1).
  EXPECT_TRUE(Has(calls, "line 300,488 300,512")) << ::testing::PrintToString(calls);
  EXPECT_TRUE(Has(calls, "line 312,500 288,500")) << ::testing::PrintToString(calls);
  EXPECT_TRUE(Has(calls, "line 300,494 306,500") && Has(calls, "line 300,506 294,500"))
      << ::testing::PrintToString(calls);
  // Aid to navigation: a tall diamond at its place; aircraft: diagonals.
  EXPECT_TRUE(Has(calls, "line 200,592 204,600") && Has(calls, "line 200,608 196,600"))
      << ::testing::PrintToString(calls);
  EXPECT_TRUE(Has(calls, "line 88,688 112,712")) << ::testing::PrintToString(calls);
  // The unnamed vessel is labelled by its slot with "AIS Labels" 1, not
  // with 2; the aid to navigation is no vessel and gets no label.
  EXPECT_TRUE(Has(calls, "text 497,404 ?:000")) << ::testing::PrintToString(calls);
  TAisDrawSettings names = Settings();
  names.labels = 2;
  calls = Draw(names);
  EXPECT_EQ(Count(calls, "text"), 0);
  // A target with no position, or one off the view area, is not drawn.
  ais.SetAisViewArea({Rad(12), Rad(58), Rad(11.35), Rad(57)});
  calls = Draw(Settings());
  EXPECT_EQ(Count(calls, "line "), 3) << "the vessel's triangle only";
}

// In dense traffic a label that would cover one drawn before it is left
// out; every symbol is still drawn.
TEST_F(AisDisplay, LabelsThatWouldOverlapAreLeftOut) {
  Send(ClassA(211000001, 57.6, 11.5, 0, 0, 0));
  Send(ClassA(211000002, 57.6, 11.501, 0, 0, 0));  // a pixel to the east
  Send(ClassA(211000003, 57.5, 11.5, 0, 0, 0));
  const std::vector<std::string> calls = Draw(Settings());
  EXPECT_EQ(Count(calls, "line "), 9);
  EXPECT_TRUE(Has(calls, "text 497,404 ?:000")) << ::testing::PrintToString(calls);
  EXPECT_TRUE(Has(calls, "text 497,504 ?:002")) << ::testing::PrintToString(calls);
  EXPECT_EQ(Count(calls, "text"), 2) << ::testing::PrintToString(calls);
}

TEST_F(AisDisplay, TheInformationWindowReadsAsThePartsTablesSay) {
  Send(ClassA(211000001, 57.65, 11.55, 123, 450, 45, 5, 20));
  Send(Static5(211000001, "DABC", "NORDWIND", 20, 30, 4, 6, 52, "KIEL"));
  Send(ClassA(211000002, 57.6, 11.5, 1023, 3600, 511, 15));
  Send(Met(2190047, 57600, 11500, 800, 511, 1023, 0));  // 20 C; pressure and water temperature not available
  const auto slot = [&](int32_t mmsi, uint8_t kind = kAisClassA) {
    for (int i = 0; i < ais.TargetCount(); ++i)
      if (ais.Target(i).TargetState == kAisActive && ais.Target(i).Kind == kind &&
          (kind == kAisMetStation || ais.Target(i).MMSI == mmsi))
        return i;
    return -1;
  };
  const int a = slot(211000001), b = slot(211000002), m = slot(0, kAisMetStation);
  ASSERT_GE(a, 0);
  ASSERT_GE(b, 0);
  ASSERT_GE(m, 0);
  TAisInfoUnits units;
  std::vector<std::string> l = AisInfoLines(ais.Target(a), a, 1, messages, units);
  ASSERT_GE(l.size(), 16u);
  EXPECT_EQ(l[1], "Name:\tNORDWIND");
  EXPECT_EQ(l[2], "CallId:\tDABC");
  EXPECT_EQ(l[3], "Dest:\tKIEL");
  EXPECT_EQ(l[4], "SOG:\t12.3kn");
  EXPECT_EQ(l[5], "COG:\t45\xC2\xB0");
  EXPECT_EQ(l[6], "HDT:\t45\xC2\xB0");
  EXPECT_EQ(l[7], "ROT:\t18\xC2\xB0/min");  // (20 / 4.733)^2
  EXPECT_EQ(l[8], "Lat:\t" + LatToStr(Rad(57.65)));
  EXPECT_EQ(l[10], "Length:\t50m") << "bow 20 + stern 30, in the depth format";
  EXPECT_EQ(l[12], "Draft:\t5.2m");
  EXPECT_EQ(l[13], "MMSI #:\t211000001");
  EXPECT_EQ(l[14], "Status:\tMoored");
  EXPECT_EQ(l[15].rfind("RNG:\t", 0), 0u);
  // Every not-available value reads "?"; no name: the slot with "AIS Labels" 1.
  l = AisInfoLines(ais.Target(b), b, 1, messages, units);
  ASSERT_GE(l.size(), 15u);
  EXPECT_EQ(l[1], "Name:\t?:" + IntToStrPad(b, '0', 3));
  for (int i : {4, 5, 6, 7, 10, 11, 12, 14})
    EXPECT_EQ(l[i].substr(l[i].find('\t')), "\t?") << l[i];
  // The weather station: its values, the not-available ones left out.
  l = AisInfoLines(ais.Target(m), m, 1, messages, units);
  EXPECT_EQ(l[3], "Type:\tMetrologic:" + IntToStrPad(m, '0', 3));
  const std::string joined = [&] {
    std::string s;
    for (const std::string& x : l) s += x + "\n";
    return s;
  }();
  EXPECT_NE(joined.find("Air Temp  \t20\xC2\xB0" "C"), std::string::npos) << joined;
  EXPECT_EQ(joined.find("Air Prsr."), std::string::npos) << joined;
  EXPECT_EQ(joined.find("Wtr Temp "), std::string::npos) << joined;
}

TEST_F(AisDisplay, ClosestApproachLinesOnlyForAnApproachWithinADay) {
  // Ahead, coming straight at the still own vessel at 12 knots: about 15
  // minutes away.
  Send(ClassA(211000009, kOwnLat + 0.05, kOwnLon, 120, 1800, 180));
  const int i = 0;
  ASSERT_EQ(ais.Target(i).MMSI, 211000009);
  ais.UpdateRangeAndCpa(i);
  std::vector<std::string> l = AisInfoLines(ais.Target(i), i, 2, messages, {});
  ASSERT_GE(l.size(), 2u);
  EXPECT_EQ(l[l.size() - 2].rfind("CPA:\t", 0), 0u);
  EXPECT_EQ(l.back().rfind("TCPA:\t00:1", 0), 0u) << l.back();
  // Far away at a crawl: more than a day, no such lines.
  ais.ClearTargets();
  parser.AisEnabled = true;
  Send(ClassA(211000010, kOwnLat + 0.5, kOwnLon, 1, 1800, 180));
  ASSERT_EQ(ais.Target(0).MMSI, 211000010);
  ais.UpdateRangeAndCpa(0);
  l = AisInfoLines(ais.Target(0), 0, 2, messages, {});
  EXPECT_EQ(l.back().rfind("BRG:\t", 0), 0u) << l.back();
}

// The closest-approach picture starts where the alarm measured from: the
// target moved on along its course since its last report, not the report.
TEST_F(AisDisplay, TheClosestApproachPictureStartsFromTheDeadReckonedTarget) {
  // 2 nm north, 10 knots south, straight at the still own vessel.
  Send(ClassA(211000011, kOwnLat + 2.0 / 60, kOwnLon, 100, 1800, 180));
  clock.Advance(std::chrono::minutes(6));  // now 1 nm north, 6 minutes away
  ASSERT_EQ(ais.CheckAlarms(30.0 / 1440, 0.5), 1);
  ASSERT_NEAR(ais.Target(0).TCPA * 1440, 6.0, 0.01);
  TAisDrawSettings s = Settings();
  s.cpaMax = 0.5;
  Place();
  TRecordingCanvas canvas(2000, 2000);
  TAisOwnShip own;
  own.pos = parser.Info.Pos;
  own.toPixel = [](const TFPoint& pos, TPoint& px) {
    px = {int(std::lround((pos.X / kDegToRad - 11) * 1000)), int(std::lround((58 - pos.Y / kDegToRad) * 1000))};
    return true;
  };
  DrawAisTargets(canvas, ais, s, {0, 0}, own, -1);
  // The target's circle (its length is not known: radius 0) lies where the
  // own vessel is, 600, 300: the two meet there.
  bool found = false;
  for (const std::string& c : canvas.calls()) {
    int x1, y1, x2, y2;
    if (std::sscanf(c.c_str(), "ellipse %d,%d,%d,%d", &x1, &y1, &x2, &y2) != 4 || x1 != x2) continue;
    found = true;
    EXPECT_NEAR(x1, 600, 1) << c;
    EXPECT_NEAR(y1, 300, 1) << c;
  }
  EXPECT_TRUE(found);
}

// Shown values read as people write them: no binary noise in speeds and
// courses; times in UTC.
TEST_F(AisDisplay, InformationNumbersHaveNoBinaryNoise) {
  Send(ClassA(211000012, 57.65, 11.55, 3, 2193, 511));
  std::vector<std::string> l = AisInfoLines(ais.Target(0), 0, 1, messages, {});
  ASSERT_GE(l.size(), 6u);
  EXPECT_EQ(l[0], "UTC:\t" + DateTimeToText(clock.NowUTC()));
  EXPECT_EQ(l[4], "SOG:\t0.3kn");
  EXPECT_EQ(l[5], "COG:\t219.3\xC2\xB0");
}

// Hull outlines go round the hull (never across it): heading north, the
// bow on top, the shoulders and the stern corners on their sides; the own
// ship's only above its size limit.
TEST_F(AisDisplay, HullOutlinesGoRoundTheHull) {
  TAIS_Rec own;
  InitTarget(own);
  own.ToBow = 60;
  own.ToStern = 40;
  own.ToPort = 10;
  own.ToStarboard = 10;
  own.RawHeading = 0;
  MakeOutline(own);
  TRecordingCanvas canvas;
  // 1 pixel a metre: 100 m are more than 20 px + 6.
  DrawOwnShipOutline(canvas, own, {500, 500}, 0, 1 / 1852.0, 1, 0x112233, 1);
  const std::vector<std::string> calls = canvas.calls();
  ASSERT_EQ(Count(calls, "polygon"), 1) << ::testing::PrintToString(calls);
  EXPECT_TRUE(Has(calls, "polygon 500,440 490,450 490,540 510,540 510,450")) << ::testing::PrintToString(calls);
  // A hull too small to see at this scale is left to the boat symbol.
  TRecordingCanvas far;
  DrawOwnShipOutline(far, own, {500, 500}, 0, 100 / 1852.0, 1, 0x112233, 1);
  EXPECT_EQ(Count(far.calls(), "polygon"), 0);

  // A target's outline in the same order (here 1 pixel a metre).
  Send(ClassA(211000001, 57.6, 11.5, 0, 0, 0));
  Send(Static5(211000001, "DABC", "LONG SHIP", 60, 40, 10, 10, 52, "KIEL"));
  TAisDrawSettings s = Settings();
  s.milesPerPixel = 1 / 1852.0;
  const std::vector<std::string> t = Draw(s);
  for (const char* side : {"line 500,340 490,350", "line 490,350 490,440", "line 490,440 510,440",
                           "line 510,440 510,350", "line 510,350 500,340"})
    EXPECT_TRUE(Has(t, side)) << side << " in " << ::testing::PrintToString(t);
}

TEST(AisListEntry, TheSlotIsTheNumberAfterTheLastColon) {
  EXPECT_EQ(AisSlotOfListEntry("NORDWIND:012"), 12);
  EXPECT_EQ(AisSlotOfListEntry(" Base station:003"), 3);
  EXPECT_EQ(AisSlotOfListEntry("A:B:7"), 7);
  EXPECT_EQ(AisSlotOfListEntry("no number"), -1);
  EXPECT_EQ(AisSlotOfListEntry("X:"), -1);
  EXPECT_EQ(AisSlotOfListEntry("X:1a"), -1);
  EXPECT_EQ(AisSlotOfListEntry("X:99999999999"), -1);
}

}  // namespace
