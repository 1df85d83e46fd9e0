// What is drawn around the boat, on a recording canvas: the rings' solid
// and dotted pattern, very large rings cut to the view, and the order and
// options of the boat's overlays.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "foundation/Types.h"
#include "navobjects/NavCtrls.h"
#include "platform/Canvas.h"
#include "plotter/core/ChartOverlays.h"

namespace {

std::vector<std::string> Only(const std::vector<std::string>& calls, const std::string& prefix) {
  std::vector<std::string> out;
  for (const std::string& c : calls)
    if (c.rfind(prefix, 0) == 0) out.push_back(c);
  return out;
}

TEST(QuickShape, RingsAreSolidOnTheirMajorNumbers) {
  struct Case {
    int count, major;
    bool visible;
    std::vector<std::string> calls;
  } cases[] = {
      // Pen styles: 0 solid, 2 dotted.
      {4, 2, true,
       {"pen 000000 1 2", "ellipse 475,475,525,525", "pen 000000 1 0", "ellipse 450,450,550,550", "pen 000000 1 2",
        "ellipse 425,425,575,575", "pen 000000 1 0", "ellipse 400,400,600,600"}},
      {1, 8, true, {"pen 000000 1 0", "ellipse 400,400,600,600"}},  // one ring: the shape itself, solid
      {4, 2, false, {}},                                             // "Show Rings" 0
  };
  for (const Case& c : cases) {
    TQuickShape rings;
    rings.Setup(0, qpmCopy, 200, 1, qpsDot, qpsSolid);
    rings.RingCount = c.count;
    rings.MajorEvery = c.major;
    rings.ShapeVisible = c.visible;
    TRecordingCanvas canvas;
    rings.DrawAt(canvas, {500, 500});
    std::vector<std::string> calls = canvas.calls();
    std::erase_if(calls, [](const std::string& s) { return s.rfind("brush", 0) == 0; });
    EXPECT_EQ(calls, c.calls) << c.count << " rings";
  }
}

TEST(QuickShape, HugeRingsAreDrawnOnlyWhereTheyCrossTheView) {
  TQuickShape rings;
  rings.Setup(0, qpmCopy, 2000000, 1, qpsDot, qpsSolid);
  rings.RingCount = 2;
  rings.MajorEvery = 1;
  const TCanvasRect view{0, 0, 1920, 1080};
  // The boat a million pixels to the left: the outer ring (radius 10^6)
  // crosses the view, the inner one (radius 500 000) does not.
  TRecordingCanvas canvas(1920, 1080);
  rings.DrawAt(canvas, {-1000000 + 960, 540}, &view);
  EXPECT_TRUE(Only(canvas.calls(), "ellipse").empty());
  const std::vector<std::string> lines = Only(canvas.calls(), "polyline");
  ASSERT_EQ(lines.size(), 1u);
  // Every point of the arc lies near the view.
  std::vector<std::string> points;
  for (size_t at = lines[0].find(' '); at != std::string::npos; at = lines[0].find(' ', at + 1))
    points.push_back(lines[0].substr(at + 1, lines[0].find(' ', at + 1) - at - 1));
  ASSERT_GT(points.size(), 10u);
  EXPECT_LT(points.size(), 5000u);
  for (const std::string& p : points) {
    const int x = std::stoi(p.substr(0, p.find(','))), y = std::stoi(p.substr(p.find(',') + 1));
    EXPECT_NEAR(x, 960, 100) << p;
    EXPECT_GE(y, -200) << p;
    EXPECT_LE(y, 1280) << p;
  }
  // A view wholly inside the rings draws nothing.
  TRecordingCanvas inside(1920, 1080);
  rings.DrawAt(inside, {960, 540}, &view);
  EXPECT_TRUE(Only(inside.calls(), "ellipse").empty());
  EXPECT_TRUE(Only(inside.calls(), "polyline").empty());
}

TEST(BoatOverlays, OrderAndOptions) {
  TQuickShape boat, rings, speed;
  boat.Setup(0xFF00FF, qpmCopy, 16, 2, qpsSolid, qpsSolid);
  rings.Setup(0, qpmCopy, 300, 1, qpsDot, qpsSolid);
  rings.RingCount = 1;
  speed.Setup(0xFF00FF, qpmCopy, 8, 2, qpsSolid, qpsSolid);
  TBoatOverlay o;
  o.boat = {500, 400};
  o.speedMark = {560, 400};
  o.headStick = {800, 400};
  o.symbolHeading = kPi / 2;
  o.boatSymbol = &boat;
  o.rings = &rings;
  o.speedSymbol = &speed;
  o.boatColour = 0xFF00FF;
  o.stickWidth = 1;
  o.showSpeedMark = true;
  o.headingStick = true;
  o.windArrow = true;
  o.windColour = 0x0000FF;
  o.windFrom = 0;  // from the north: the arrow above the boat, pointing down at it
  o.windSpeed = 9;
  o.markerShown = true;
  o.marker = {100, 400};
  o.clip = {0, 0, 1000, 800};
  TRecordingCanvas all;
  DrawBoatOverlays(all, o);
  std::vector<std::string> draws;
  for (const std::string& c : all.calls())
    if (c.rfind("pen", 0) != 0 && c.rfind("brush", 0) != 0) draws.push_back(c);
  EXPECT_EQ(draws, (std::vector<std::string>{
                       "line 500,375 500,295",                          // wind shaft (25 + 80 pixels)
                       "line 500,375 509,363", "line 500,375 491,363",  // barbs, 36 degrees off the shaft
                       "line 100,400 500,400",                          // marker to boat
                       "ellipse 492,392,508,408",                       // the boat
                       "ellipse 350,250,650,550",                       // one ring
                       "ellipse 556,396,564,404",                       // speed mark
                       "line 500,400 800,400",                          // heading stick
                   }));
  EXPECT_EQ(Only(all.calls(), "pen 0000FF 3")[0], "pen 0000FF 3 0") << "9 m/s: three pixels, solid";

  // The arrow symbol along the heading, without speed mark, stick, wind or
  // marker.
  o.boatShape = 2;
  o.showSpeedMark = o.headingStick = o.windArrow = o.markerShown = false;
  TRecordingCanvas arrow;
  DrawBoatOverlays(arrow, o);
  const std::vector<std::string> lines = Only(arrow.calls(), "polyline");
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0], "polyline 516,400 492,408 500,400 492,392 516,400") << "the point 16 pixels east";
  EXPECT_TRUE(Only(arrow.calls(), "line").empty());
  EXPECT_EQ(Only(arrow.calls(), "ellipse").size(), 1u) << "the ring only";
}

}  // namespace
