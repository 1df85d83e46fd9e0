// The route and the positions on the chart, in the main window on the
// offscreen platform: the start files are drawn where brtool puts their
// positions, the route's names show as hints, an unlocked position is
// dragged to a new place (and only then), and a position's menu deletes it.
#include <QAction>
#include <QApplication>
#include <QContextMenuEvent>
#include <QImage>
#include <QMenu>
#include <QMouseEvent>

#include <cmath>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "ChartFixtures.h"
#include "PlotterFixture.h"
#include "foundation/NumText.h"
#include "geodesy/CTrans.h"
#include "navobjects/Routes.h"
#include "plotter/ChartCanvas.h"
#include "plotter/MainForm.h"

namespace {

using chartfix::TChartPlan;

// Positions in blue (12), the route in lime (10), the boat in olive (3),
// no names drawn beside the symbols.
std::string ShapeSettings(const std::string& extra = "") {
  return "[Program Setup]\r\nCom Port=0\r\nShow Rings=0\r\nSpeed Mark=0\r\nBoat Color=3\r\n"
         "Waypoint Normal Color=12\r\nRoute Normal Color=10\r\nWaypoint Infobox=0\r\nRoute Infobox=0\r\n"
         "Waypoint Size=1\r\nRoute Size=1\r\nRoute Line Width=1\r\n" +
         extra +
         "[Program State]\r\nWinLeft=0\r\nWinTop=0\r\nWinWidth=1100\r\nWinHeight=760\r\nWinState=0\r\n";
}

constexpr QRgb kBlue = 0x0000FF;
constexpr double kPixelTolerance = 1.5;
constexpr QRgb kLime = 0x00FF00;

TRoutePointRec At(const char* name, double lonDeg, double latDeg, const char* comment = "") {
  TRoutePointRec r;
  r.Name = name;
  r.Comment = comment;
  r.Position = {lonDeg * kDegToRad, latDeg * kDegToRad};
  return r;
}

// The centre of the pixels of one colour within `radius` of the pixel
// nearest to (x, y).
std::optional<TFPoint> CentreNear(const QImage& image, QRgb colour, double x, double y, int radius) {
  double sx = 0, sy = 0;
  int n = 0;
  const int cx = static_cast<int>(std::lround(x)), cy = static_cast<int>(std::lround(y));
  for (int py = cy - radius; py <= cy + radius; ++py)
    for (int px = cx - radius; px <= cx + radius; ++px) {
      if (!image.rect().contains(px, py)) continue;
      if ((image.pixel(px, py) & 0xFFFFFF) != colour) continue;
      sx += px + 0.5;
      sy += py + 0.5;
      ++n;
    }
  if (n == 0) return std::nullopt;
  return TFPoint{sx / n, sy / n};
}

bool HasColourNear(const QImage& image, QRgb colour, double x, double y, int radius) {
  return CentreNear(image, colour, x, y, radius).has_value();
}

class ShapesWindow : public PlotterClockTest {
 protected:
  // The chart pixel of a position, from brtool.
  TFPoint Geo2Pix(const std::string& chart, const TRoutePointRec& p) {
    std::istringstream in(Brtool("chart geo2pix \"" + chart + "\" " + FloatToStrDot(p.Position.X * kRadToDeg) + " " +
                                 FloatToStrDot(p.Position.Y * kRadToDeg))
                              .out);
    std::string x, y;
    in >> x >> y;
    const auto px = TryStrToFloatDot(x), py = TryStrToFloatDot(y);
    EXPECT_TRUE(px && py) << "brtool chart geo2pix gave no pixel";
    return {px.value_or(0), py.value_or(0)};
  }
  static TFPoint ViewOf(T_Form& f, const TFPoint& chartPixel) {
    return {chartPixel.X * f.Chart().View.Zoom() - f.Chart().View.Scroll().X, chartPixel.Y * f.Chart().View.Zoom() - f.Chart().View.Scroll().Y};
  }
  static void Mouse(T_Form& f, QEvent::Type type, QPointF at, Qt::MouseButton button = Qt::LeftButton,
                    Qt::MouseButtons buttons = Qt::LeftButton) {
    SendMouse(f.MapCanvas, type, at, button, buttons);
  }
  // Writes the start files into the data directory.
  void WriteStartFiles(const TRoutePoints& positions, const TRoutePoints& route) {
    TRoute p, r;
    p.IsPositions = true;
    p.InsertList(TRoutePoints(positions), 0);
    r.InsertList(TRoutePoints(route), 0);
    ASSERT_EQ(p.SaveToFile(dir_ / "T_WPALD.SRW"), static_cast<int>(positions.size()));
    ASSERT_EQ(r.SaveToFile(dir_ / "T_RTALD.SRW"), static_cast<int>(route.size()));
  }
};

TEST_F(ShapesWindow, StartFilesAreDrawnWhereTheirPositionsLie) {
  REQUIRE_PROGRAM("brtool");
  const TChartPlan plan;  // 10.0-10.5 E, 54.2-54.5 N, 400 x 300
  const std::string chart = chartfix::WriteKapChart(dir_ / "T.KAP", plan);
  const TRoutePoints positions = {At("NORTH", 10.1, 54.45), At("SOUTH", 10.37, 54.26)};
  // West to east along one parallel, so that the legs run along a row.
  const TRoutePoints route = {At("WEST", 10.12, 54.33), At("MID", 10.25, 54.33, "Turn here"),
                              At("EAST", 10.4, 54.33)};
  WriteStartFiles(positions, route);
  T_Form& f = Run(ShapeSettings());
  ASSERT_EQ(f.Positions->Count(), 2);
  ASSERT_EQ(f.Route->Count(), 3);
  EXPECT_TRUE(f.Route->FileName.empty());  // "Save" asks for a name
  ASSERT_TRUE(f.LoadChart(chart));
  for (double zoom : {1.0, 2.0}) {
    SCOPED_TRACE(zoom);
    f.Chart().ZoomTo({200, 150}, zoom);
    f.Chart().CentreOnPosition(route[1].Position);
    const QImage frame = f.ChartCanvas()->RenderFrame();
    for (const TRoutePointRec& p : positions) {
      const TFPoint v = ViewOf(f, Geo2Pix(chart, p));
      const std::optional<TFPoint> c = CentreNear(frame, kBlue, v.X, v.Y, 8);
      ASSERT_TRUE(c) << p.Name;
      // Within the rounding to a whole pixel and the half pixel of a
      // pixel's centre.
      EXPECT_NEAR(c->X, v.X, kPixelTolerance) << p.Name;
      EXPECT_NEAR(c->Y, v.Y, kPixelTolerance) << p.Name;
    }
    // The middle point's circle with the legs to both sides is centred on
    // it; the ends lie on the row; the legs are drawn between them.
    const TFPoint mid = ViewOf(f, Geo2Pix(chart, route[1]));
    const std::optional<TFPoint> c = CentreNear(frame, kLime, mid.X, mid.Y, 9);
    ASSERT_TRUE(c);
    EXPECT_NEAR(c->X, mid.X, kPixelTolerance);
    EXPECT_NEAR(c->Y, mid.Y, kPixelTolerance);
    for (size_t i = 0; i + 1 < route.size(); ++i) {
      const TFPoint a = ViewOf(f, Geo2Pix(chart, route[i])), b = ViewOf(f, Geo2Pix(chart, route[i + 1]));
      EXPECT_TRUE(HasColourNear(frame, kLime, (a.X + b.X) / 2, (a.Y + b.Y) / 2, 1)) << "leg " << i + 1;
      const std::optional<TFPoint> end = CentreNear(frame, kLime, a.X, a.Y, 9);
      ASSERT_TRUE(end);
      EXPECT_NEAR(end->Y, a.Y, kPixelTolerance);
    }
    // Away from the symbols and legs: the chart.
    EXPECT_FALSE(HasColourNear(frame, kLime, mid.X, mid.Y + 40, 3));
  }
}

TEST_F(ShapesWindow, HintsNameTheSymbolUnderTheMouse) {
  const TChartPlan plan;
  const std::string chart = chartfix::WriteKapChart(dir_ / "T.KAP", plan);
  WriteStartFiles({At("A <b>&amp;", 10.1, 54.45)}, {At("WEST", 10.12, 54.33), At("MID", 10.25, 54.33, "Turn here")});
  T_Form& f = Run(ShapeSettings());
  ASSERT_TRUE(f.LoadChart(chart));
  const TNavShape* mid = f.Route->At(1);
  const QPointF at(mid->PosX() - f.Chart().View.Scroll().X + 2, mid->PosY() - f.Chart().View.Scroll().Y - 1);
  Mouse(f, QEvent::MouseMove, at, Qt::NoButton, Qt::NoButton);
  EXPECT_EQ(f.Symbols().ChartHint(), "MID\nTurn here");
  const TNavShape* pos = f.Positions->At(0);
  Mouse(f, QEvent::MouseMove, QPointF(pos->PosX() - f.Chart().View.Scroll().X, pos->PosY() - f.Chart().View.Scroll().Y), Qt::NoButton,
        Qt::NoButton);
  EXPECT_EQ(f.Symbols().ChartHint(), "A <b>&amp;");  // the name as it is, not as markup
  Mouse(f, QEvent::MouseMove, at + QPointF(40, 40), Qt::NoButton, Qt::NoButton);
  EXPECT_EQ(f.Symbols().ChartHint(), "");
}

TEST_F(ShapesWindow, AnUnlockedPositionIsDraggedAndTheListMarkedChanged) {
  TChartPlan big;
  big.width = 1600;
  big.height = 1200;
  const std::string chart = chartfix::WriteKapChart(dir_ / "BIG.KAP", big);
  WriteStartFiles({At("BUOY", 10.2, 54.4)}, {});
  T_Form& f = Run(ShapeSettings());
  ASSERT_TRUE(f.LoadChart(chart));
  TNavShape* buoy = f.Positions->At(0);
  f.Chart().CentreOnPosition(buoy->Position);
  const TFPoint before = buoy->Position;
  const TPoint scroll = f.Chart().View.Scroll();
  const QPointF at(buoy->PosX() - scroll.X, buoy->PosY() - scroll.Y);
  auto drag = [&](QPointF from, int steps) {
    Mouse(f, QEvent::MouseButtonPress, from);
    for (int i = 1; i <= steps; ++i) Mouse(f, QEvent::MouseMove, from + QPointF(4 * i, 3 * i));
    Mouse(f, QEvent::MouseButtonRelease, from + QPointF(4 * steps, 3 * steps), Qt::LeftButton, Qt::NoButton);
  };

  // Locked (the default): the press goes to the chart, which pans.
  drag(at, 6);
  EXPECT_EQ(buoy->Position, before);
  EXPECT_FALSE(f.Positions->Modified);
  EXPECT_EQ(f.Chart().View.Scroll(), (TPoint{scroll.X - 24, scroll.Y - 18}));
  f.Chart().ScrollTo(scroll);

  f.MenuItem("WPUnlock")->trigger();
  ASSERT_TRUE(f.MenuItem("WPUnlock")->isChecked());
  // Four moves are a click: nothing moves.
  drag(at, 4);
  EXPECT_EQ(buoy->Position, before);
  EXPECT_TRUE(buoy->Selected);
  // Six moves drag it: its new place is its position.
  drag(at, 6);
  EXPECT_EQ(f.Chart().View.Scroll(), scroll);  // the chart stayed
  const TFPoint panel{at.x() + 24 + scroll.X, at.y() + 18 + scroll.Y};
  TFPoint expected;
  ASSERT_TRUE(f.Converter->PixelToGeo(panel, expected));
  EXPECT_NEAR(buoy->Position.X, expected.X, 1e-12);
  EXPECT_NEAR(buoy->Position.Y, expected.Y, 1e-12);
  EXPECT_TRUE(f.Positions->Modified);
  EXPECT_EQ(buoy->Pos(), (TPoint{static_cast<int32_t>(panel.X), static_cast<int32_t>(panel.Y)}));

  // Its menu deletes it (it is selected since the click).
  f.MenuItem("DelWPWaypoint")->trigger();
  EXPECT_EQ(f.Positions->Count(), 0);
}

}  // namespace
