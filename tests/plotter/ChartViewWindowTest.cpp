// The chart view in the main window, on the offscreen platform: every kind
// of chart opens and the boat is drawn where brtool puts its position;
// the chart itself comes out right at every zoom; the wheel and panning
// keep the chart under the mouse; AUTOMATIC switches charts ahead of the
// boat and "Previous" goes back; a chart that fails to open leaves the one
// on show, and loads of the update cycle never open a dialog.
#include <QToolButton>
#include <QAction>
#include <QApplication>
#include <QImage>
#include <QLabel>
#include <QMouseEvent>
#include <QWheelEvent>

#include <cmath>
#include <cstdio>
#include <sstream>
#include <string>
#include <vector>

#include "ChartFixtures.h"
#include "PlotterFixture.h"
#include "charts/BMPager.h"
#include "charts/ChartList.h"
#include "charts/KAPctrl.h"
#include "foundation/GenUtil.h"
#include "foundation/NumText.h"
#include "instruments/NMEA.h"
#include "navobjects/NavCtrls.h"
#include "platform/Clock.h"
#include "plotter/ChartCanvas.h"
#include "plotter/MainForm.h"
#include "plotter/core/UpdateCycle.h"

namespace {

using namespace std::chrono_literals;
using chartfix::TChartPlan;

// A window of a known size, without rings, heading stick or speed mark, so
// that only the boat's circle is drawn in the boat's colour.
std::string ViewSettings(const std::string& extra = "") {
  return "[Program Setup]\r\nCom Port=0\r\nShow Rings=0\r\nSpeed Mark=0\r\nBoat Size=1\r\n" + extra +
         "[Custom]\r\nNo Heading Stick=1\r\n"
         "[Program State]\r\nWinLeft=0\r\nWinTop=0\r\nWinWidth=1100\r\nWinHeight=760\r\nWinState=0\r\n";
}

// "x y" of brtool.
bool TwoNumbers(const std::string& text, double& a, double& b) {
  std::istringstream in(text);
  std::string x, y;
  if (!(in >> x >> y)) return false;
  const auto px = TryStrToFloatDot(x), py = TryStrToFloatDot(y);
  if (!px || !py) return false;
  a = *px;
  b = *py;
  return true;
}

// The centre of the pixels of one colour, or nullopt when there are none.
std::optional<TFPoint> ColourCentre(const QImage& image, QRgb colour) {
  double sx = 0, sy = 0;
  int n = 0;
  for (int y = 0; y < image.height(); ++y) {
    const QRgb* line = reinterpret_cast<const QRgb*>(image.constScanLine(y));
    for (int x = 0; x < image.width(); ++x)
      if ((line[x] & 0xFFFFFF) == (colour & 0xFFFFFF)) {
        sx += x + 0.5;
        sy += y + 0.5;
        ++n;
      }
  }
  if (n == 0) return std::nullopt;
  return TFPoint{sx / n, sy / n};
}

std::string NmeaSentence(const std::string& body) {
  int sum = 0;
  for (char c : body) sum ^= static_cast<unsigned char>(c);
  char tail[8];
  std::snprintf(tail, sizeof tail, "*%02X", sum);
  return "$" + body + tail;
}

class ChartWindow : public PlotterClockTest {
 protected:
  static QImage Frame(T_Form& f) { return f.ChartCanvas()->RenderFrame(); }
  // The boat at a position, drawn at the next paint.
  static void PutBoat(T_Form& f, const TFPoint& pos) {
    TNMEAINFO& n = f.Parser()->Info;
    n.Pos = pos;
    n.SOG = 0;
    n.Heading = NoDataValue;
  }
  // Writes a catalog of the charts (file, plan) for the next start.
  void WriteCatalog(const std::vector<std::pair<std::string, TChartPlan>>& charts) {
    TChartList list;
    for (const auto& [file, plan] : charts) list.AddEntry(chartfix::CatalogEntry(plan, file), false);
    ASSERT_TRUE(list.SaveToFile(dir_ / "BRAINDEX.BIN"));
  }
};

TEST_F(ChartWindow, EveryChartOpensAndTheBoatLiesWhereBrtoolPutsIt) {
  REQUIRE_PROGRAM("brtool");
  const TChartPlan plan;
  std::vector<std::string> charts = {chartfix::WriteKapChart(dir_ / "T.KAP", plan),
                                     chartfix::WriteWciChart(dir_ / "T.WCI", plan),
                                     chartfix::WritePngChart(dir_ / "T.PNG", plan)};
  for (const char* name : {"charts/NZ61401.KAP", "charts/11361_3.KAP", "charts/12205_12.KAP", "charts/14988_2.KAP",
                           "charts/australia4c.kap"}) {
    const std::string path = TestDataFile(name);
    if (path.empty())
      std::printf("test data %s is absent; only the synthetic charts are checked\n", name);
    else
      charts.push_back(path);
  }
  T_Form& f = Run(ViewSettings());
  const QRgb boat = QColor(ColorRed(f.Colours.boat), ColorGreen(f.Colours.boat), ColorBlue(f.Colours.boat)).rgb();
  for (const std::string& file : charts) {
    SCOPED_TRACE(file);
    ASSERT_TRUE(f.LoadChart(file)) << (Asked().empty() ? std::string() : Asked().back());
    EXPECT_EQ(f.Chart().CurrentChartFile, file);
    // A position a little off the middle of the chart, from brtool.
    double lon = 0, lat = 0;
    const int32_t w = f.Chart().ChartInfo.Width, h = f.Chart().ChartInfo.Height;
    ASSERT_TRUE(TwoNumbers(Brtool("chart pix2geo \"" + file + "\" " + std::to_string(w * 0.37) + " " +
                                  std::to_string(h * 0.61)).out,
                           lon, lat));
    double gx = 0, gy = 0;
    ASSERT_TRUE(TwoNumbers(Brtool("chart geo2pix \"" + file + "\" " + FloatToStrDot(lon) + " " + FloatToStrDot(lat)).out,
                           gx, gy));
    const TFPoint pos{lon * kDegToRad, lat * kDegToRad};
    PutBoat(f, pos);
    for (double zoom : {0.5, 1.0, 2.0}) {
      f.Chart().ZoomTo({300, 200}, zoom);
      ASSERT_EQ(f.Chart().View.Zoom(), zoom);
      f.Chart().CentreOnPosition(pos, 37, -23);
      const QImage frame = Frame(f);
      const std::optional<TFPoint> drawn = ColourCentre(frame, boat);
      ASSERT_TRUE(drawn) << "no boat at zoom " << zoom;
      const TFPoint expected{gx * zoom - f.Chart().View.Scroll().X, gy * zoom - f.Chart().View.Scroll().Y};
      EXPECT_NEAR(drawn->X, expected.X, 1.0) << "zoom " << zoom;
      EXPECT_NEAR(drawn->Y, expected.Y, 1.0) << "zoom " << zoom;
      if (file == charts[0]) {
        // The synthetic chart's own colours at a few chart pixels far from
        // the boat.
        for (const TPoint c : {TPoint{13, 17}, TPoint{390, 290}, TPoint{201, 57}}) {
          const int vx = static_cast<int>(std::floor((c.X + 0.5) * zoom)) - f.Chart().View.Scroll().X;
          const int vy = static_cast<int>(std::floor((c.Y + 0.5) * zoom)) - f.Chart().View.Scroll().Y;
          if (!frame.rect().contains(vx, vy)) continue;
          EXPECT_EQ(frame.pixel(vx, vy) & 0xFFFFFF, chartfix::ColourOf(chartfix::PixelColour(c.X, c.Y)) & 0xFFFFFF)
              << c.X << "," << c.Y << " at zoom " << zoom;
        }
      }
    }
  }
  EXPECT_NE(f.windowTitle().toStdString().find(" @ 200%]"), std::string::npos);
}

TEST_F(ChartWindow, WheelAndDragKeepTheChartUnderTheMouse) {
  TChartPlan big;
  big.width = 3000;
  big.height = 2400;
  const std::string file = chartfix::WriteKapChart(dir_ / "BIG.KAP", big);
  T_Form& f = Run(ViewSettings());
  ASSERT_TRUE(f.LoadChart(file));
  f.Chart().ScrollTo({900, 700});
  QWidget* canvas = f.MapCanvas;
  const QPointF mouse(317, 211);
  auto chartUnder = [&] {
    return TFPoint{(f.Chart().View.Scroll().X + mouse.x()) / f.Chart().View.Zoom(), (f.Chart().View.Scroll().Y + mouse.y()) / f.Chart().View.Zoom()};
  };
  auto wheel = [&](int delta, Qt::MouseButtons buttons = Qt::NoButton) {
    QWheelEvent e(mouse, canvas->mapToGlobal(mouse), QPoint(), QPoint(0, delta), buttons, Qt::NoModifier,
                  Qt::NoScrollPhase, false);
    QApplication::sendEvent(canvas, &e);
  };
  const TFPoint before = chartUnder();
  // A touchpad: seven small parts of a notch do nothing, the eighth zooms.
  for (int i = 0; i < 7; ++i) wheel(-15);
  EXPECT_EQ(f.Chart().View.Zoom(), 1.0);
  wheel(-15);
  EXPECT_DOUBLE_EQ(f.Chart().View.Zoom(), 1.26);
  // Whole notches in and out.
  for (int delta : {-120, -120, 120, 120, 120, 120})
    wheel(delta);
  EXPECT_NEAR(f.Chart().View.Zoom(), 1 / 1.26, 0.01);
  const TFPoint after = chartUnder();
  EXPECT_NEAR(after.X, before.X, 1.0 / f.Chart().View.Zoom());
  EXPECT_NEAR(after.Y, before.Y, 1.0 / f.Chart().View.Zoom());
  // Between steps the picture is shown scaled, each chart pixel where it
  // belongs at the new zoom; once the steps pause it is drawn anew.
  auto bandsInPlace = [&](const QImage& frame) {
    int checked = 0;
    for (int bx = 0; bx < 3000 / 16; bx += 7)
      for (int by = 0; by < 2400 / 24; by += 5) {
        const double cx = bx * 16 + 8, cy = by * 24 + 12;
        const int vx = static_cast<int>(std::floor(cx * f.Chart().View.Zoom())) - f.Chart().View.Scroll().X;
        const int vy = static_cast<int>(std::floor(cy * f.Chart().View.Zoom())) - f.Chart().View.Scroll().Y;
        if (!frame.rect().adjusted(0, 0, -1, -1).contains(vx, vy)) continue;
        ++checked;
        EXPECT_EQ(frame.pixel(vx, vy) & 0xFFFFFF,
                  chartfix::ColourOf(chartfix::PixelColour(int(cx), int(cy))) & 0xFFFFFF)
            << "band " << bx << "," << by;
      }
    return checked;
  };
  ASSERT_TRUE(f.Chart().ZoomPreviewShown());
  f.Chart().SettleZoom();
  wheel(-120);
  ASSERT_TRUE(f.Chart().ZoomPreviewShown());
  EXPECT_GT(bandsInPlace(Frame(f)), 50);
  f.Chart().SettleZoom();
  EXPECT_FALSE(f.Chart().ZoomPreviewShown());
  EXPECT_GT(bandsInPlace(Frame(f)), 50);
  // "Reverse Wheel Dir" and "Mouse Wheel" off.
  f.SysInfo.ReverseWheelDir = true;
  wheel(120);
  EXPECT_DOUBLE_EQ(f.Chart().View.Zoom(), 1.26);
  f.SysInfo.MouseWheel = false;
  wheel(120);
  EXPECT_DOUBLE_EQ(f.Chart().View.Zoom(), 1.26);

  // Dragging: the chart pixel under the mouse follows it.
  const TPoint start = f.Chart().View.Scroll();
  auto mouseEvent = [&](QEvent::Type type, QPointF at, Qt::MouseButtons buttons) {
    QMouseEvent e(type, at, canvas->mapToGlobal(at), type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton,
                  buttons, Qt::NoModifier);
    QApplication::sendEvent(canvas, &e);
  };
  mouseEvent(QEvent::MouseButtonPress, {400, 300}, Qt::LeftButton);
  for (int i = 1; i <= 10; ++i) mouseEvent(QEvent::MouseMove, {400.0 - 7 * i, 300.0 + 5 * i}, Qt::LeftButton);
  EXPECT_EQ(f.Chart().View.Scroll(), (TPoint{start.X + 70, start.Y - 50}));
  mouseEvent(QEvent::MouseButtonRelease, {330, 350}, Qt::NoButton);
  EXPECT_EQ(f.Chart().View.Drag(), TDragState::Idle);
  // Outside a drag the marker box follows the mouse.
  mouseEvent(QEvent::MouseMove, {10, 10}, Qt::NoButton);
  TFPoint under;
  ASSERT_TRUE(f.Chart().PositionAtView({10, 10}, under));
  EXPECT_EQ(f.DB_LAT->text().toStdString(), LatToStr(under.Y));
}

TEST_F(ChartWindow, DoubleClicksCentreOrMeasureByTheChosenAction) {
  TChartPlan big;
  big.width = 3000;
  big.height = 2400;
  T_Form& f = Run(ViewSettings());
  ASSERT_TRUE(f.LoadChart(chartfix::WriteKapChart(dir_ / "BIG.KAP", big)));
  f.Chart().ScrollTo({1000, 800});
  QWidget* canvas = f.MapCanvas;
  auto send = [&](QEvent::Type type, QPointF at, Qt::MouseButtons buttons) {
    QMouseEvent e(type, at, canvas->mapToGlobal(at), type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton,
                  buttons, Qt::NoModifier);
    QApplication::sendEvent(canvas, &e);
  };
  // The events of a double click, as the window system sends them.
  auto doubleClick = [&](QPointF at) {
    send(QEvent::MouseButtonPress, at, Qt::LeftButton);
    send(QEvent::MouseButtonRelease, at, Qt::NoButton);
    send(QEvent::MouseButtonDblClick, at, Qt::LeftButton);
    send(QEvent::MouseButtonRelease, at, Qt::NoButton);
  };
  // "Center": the point comes to the middle of the view (no catalog, so no
  // other chart).
  ASSERT_FALSE(f.Chart().DoubleClickMeasures());
  const TFPoint panel = f.Chart().View.ViewToPanel({200, 150});
  doubleClick({200, 150});
  EXPECT_NEAR(f.Chart().View.ViewCentrePanel().X, panel.X, 1);
  EXPECT_NEAR(f.Chart().View.ViewCentrePanel().Y, panel.Y, 1);
  EXPECT_EQ(f.Chart().View.Drag(), TDragState::Idle);
  // "Measure" (Ctrl+E): the cursor changes, and measuring runs from the
  // double click to the next release, the marker box showing the distance.
  f.Chart().ToggleDoubleClickAction();
  EXPECT_EQ(f.Cursors.CursorMode, ccMeasure);
  doubleClick({100, 100});
  EXPECT_TRUE(f.Chart().View.Measuring());
  send(QEvent::MouseMove, {400, 100}, Qt::NoButton);
  TFPoint a, b;
  ASSERT_TRUE(f.Chart().PositionAtView({100, 100}, a));
  ASSERT_TRUE(f.Chart().PositionAtView({400, 100}, b));
  EXPECT_EQ(f.DB_Dist->text().toStdString(), DistanceText(GeoDistance(a, b) * kRadToNM));
  EXPECT_EQ(f.DB_head->text().toStdString(), "90°");
  send(QEvent::MouseButtonPress, {400, 100}, Qt::LeftButton);
  send(QEvent::MouseButtonRelease, {400, 100}, Qt::NoButton);
  EXPECT_EQ(f.Chart().View.Drag(), TDragState::Idle);
  // The marker holds the marker box: no measuring then.
  f.Chart().SetMarker(a);
  doubleClick({300, 300});
  EXPECT_FALSE(f.Chart().View.Measuring());
  f.Chart().ToggleDoubleClickAction();
  EXPECT_EQ(f.Cursors.CursorMode, ccAim);
}

TEST_F(ChartWindow, OutlinesShowTheCatalogsMoreDetailedChartsInView) {
  // On a chart of 1:50 000 at zoom 1 with "Outline Factor" 20: charts of
  // 1:2 500 to 1:50 000 that overlap it are outlined.
  TChartPlan main, inner, tooFine, elsewhere;
  inner.name = "INNER";
  inner.scale = 10000;
  inner.west = 10.1, inner.east = 10.2, inner.north = 54.45, inner.south = 54.35;
  tooFine = inner;
  tooFine.name = "TOO FINE";
  tooFine.scale = 1000;
  tooFine.west = 10.3, tooFine.east = 10.4;
  elsewhere = inner;
  elsewhere.name = "ELSEWHERE";
  elsewhere.west = 12.0, elsewhere.east = 12.1;
  const std::string file = chartfix::WriteKapChart(dir_ / "MAIN.KAP", main);
  WriteCatalog({{file, main}, {dir_ / "INNER.KAP", inner}, {dir_ / "FINE.KAP", tooFine},
                {dir_ / "ELSE.KAP", elsewhere}});
  for (const char* n : {"INNER.KAP", "FINE.KAP", "ELSE.KAP"}) WriteTestFile(dir_ / n, "");
  T_Form& f = Run(ViewSettings("Chart Dir=" + dir_.path() + "\r\n"));
  ASSERT_TRUE(f.LoadChart(file));
  PutBoat(f, {9 * kDegToRad, 50 * kDegToRad});  // far away: nothing of the boat in view
  const QRgb outline =
      QColor(ColorRed(f.Colours.outline), ColorGreen(f.Colours.outline), ColorBlue(f.Colours.outline)).rgb();
  EXPECT_FALSE(ColourCentre(Frame(f), outline));
  f.MenuItem("FMOutline")->trigger();
  EXPECT_TRUE(f.MenuItem("FMOutline")->isChecked());
  const QImage frame = Frame(f);
  // Along the west edges of the inner and the finer chart (one pixel either
  // side, for rounding): the inner one is outlined, the finer one is not.
  auto outlinedAt = [&](double lon, double lat) {
    TFPoint px;
    if (!f.Converter->GeoToPixel({lon * kDegToRad, lat * kDegToRad}, px)) return false;
    const TFPoint v = f.Chart().View.PanelToView(px);
    for (int dx = -1; dx <= 1; ++dx)
      if ((frame.pixel(int(std::lround(v.X)) + dx, int(std::lround(v.Y))) & 0xFFFFFF) == (outline & 0xFFFFFF))
        return true;
    return false;
  };
  for (double lat : {54.37, 54.40, 54.43}) {
    EXPECT_TRUE(outlinedAt(10.1, lat)) << lat;
    EXPECT_FALSE(outlinedAt(10.3, lat)) << lat;
  }
  f.OutlineMnuClick();
  EXPECT_FALSE(ColourCentre(Frame(f), outline));
}

TEST_F(ChartWindow, TheMarkerIsDrawnWhereItWasSetUntilCleared) {
  T_Form& f = Run(ViewSettings());
  ASSERT_TRUE(f.LoadChart(chartfix::WriteKapChart(dir_ / "M.KAP", TChartPlan())));
  PutBoat(f, {10.1 * kDegToRad, 54.4 * kDegToRad});
  const TFPoint mob{10.3 * kDegToRad, 54.25 * kDegToRad};
  f.Chart().SetMarker(mob);
  const QRgb red = QColor(ColorRed(f.Colours.red), ColorGreen(f.Colours.red), ColorBlue(f.Colours.red)).rgb();
  const std::optional<TFPoint> drawn = ColourCentre(Frame(f), red);
  ASSERT_TRUE(drawn);
  TFPoint at;
  ASSERT_TRUE(f.Chart().PositionAtView(*drawn, at));
  EXPECT_LT(GeoDistance(at, mob) * kRadToNM * 1852, 50) << "within a few pixels of the marked position";
  f.Chart().ClearMarker();
  EXPECT_FALSE(ColourCentre(Frame(f), red));
}

// Collapsing and expanding the dashboard widens and narrows the chart area
// but leaves the chart where it was; resizing the window keeps the middle.
TEST_F(ChartWindow, TheDashboardFoldsAwayWithoutMovingTheChart) {
  TChartPlan big;
  big.width = 2400;
  big.height = 1800;
  T_Form& f = Run(ViewSettings());
  ASSERT_TRUE(f.LoadChart(chartfix::WriteKapChart(dir_ / "BIG.KAP", big)));
  f.Chart().ScrollTo({300, 200});
  const TPoint scroll = f.Chart().View.Scroll();
  const int width = f.MapCanvas->width();
  f.DBC_MENU_3->click();
  Settle();
  ASSERT_FALSE(f.Dashboard().DashboardExpanded());
  EXPECT_GT(f.MapCanvas->width(), width);
  EXPECT_EQ(f.Chart().View.Scroll(), scroll);
  f.Dashboard().ShowDashboard(true);
  Settle();
  EXPECT_EQ(f.MapCanvas->width(), width);
  EXPECT_EQ(f.Chart().View.Scroll(), scroll);
}

TEST_F(ChartWindow, AutomaticSwitchesAheadOfTheBoatAndPreviousGoesBack) {
  // Two charts side by side, overlapping between 10.06 and 10.10 degrees
  // east; the first has the larger scale and is preferred while it holds
  // the boat and the point a minute ahead.
  TChartPlan a, b;
  a.name = "WEST";
  a.west = 10.00;
  a.east = 10.10;
  a.north = 54.30;
  a.south = 54.20;
  b = a;
  b.name = "EAST";
  b.west = 10.06;
  b.east = 10.20;
  b.scale = 60000;
  const std::string fileA = chartfix::WriteKapChart(dir_ / "WEST.KAP", a);
  const std::string fileB = chartfix::WriteKapChart(dir_ / "EAST.KAP", b);
  WriteCatalog({{fileA, a}, {fileB, b}});
  // Due east at 60 knots along 54°15'N from 10.03°E, one fix a second.
  std::string replay;
  const double degPerSecond = 1.0 / 60 / 60 / std::cos(54.25 * kDegToRad);
  for (int i = 0; i < 200; ++i) {
    const double lon = 10.03 + i * degPerSecond;
    const double minutes = (lon - 10) * 60;
    char body[128];
    std::snprintf(body, sizeof body, "GPRMC,12%02d%02d,A,5415.000,N,010%06.3f,E,60.0,090.0,101225,,", i / 60,
                  i % 60, minutes);
    replay += NmeaSentence(body) + "\r\n";
  }
  WriteTestFile(dir_ / "east.nmea", replay);
  T_Form& f = Run(ViewSettings("Auto Scroll=1\r\nShow Time=2\r\nChart Prefetch=60\r\nNMEA_SIMUL_READS=0\r\n"
                               "Chart Dir=" + dir_.path() + "\r\nNMEA_SIMUL=" + dir_ / "east.nmea" + "\r\n"));
  ASSERT_EQ(f.ChartList->Count(), 2);
  const int west = f.ChartList->FindByName("WEST"), east = f.ChartList->FindByName("EAST");
  double lonAtSwitch = 0;
  bool wasOnWest = false;
  for (int i = 0; i < 190 && f.Chart().CurrentChart != east; ++i) {
    Tick(f);
    if (f.Chart().CurrentChart == west) wasOnWest = true;
    lonAtSwitch = f.Parser()->Info.Pos.X * kRadToDeg;
  }
  ASSERT_TRUE(wasOnWest);
  ASSERT_EQ(f.Chart().CurrentChart, east);
  EXPECT_EQ(f.Chart().CurrentChartFile, f.ChartList->ResolvedFileName(east));
  // The switch came while the boat was still on the first chart, about a
  // minute (a mile) short of its edge.
  EXPECT_LT(lonAtSwitch, 10.095);
  EXPECT_GT(lonAtSwitch, 10.06);
  // The view follows the boat.
  TFPoint centre;
  ASSERT_TRUE(f.Chart().PositionAtView({f.Chart().ViewSize().X / 2.0, f.Chart().ViewSize().Y / 2.0}, centre));
  EXPECT_GT(centre.X * kRadToDeg, lonAtSwitch - 0.001) << "centred on the boat or ahead of it";
  EXPECT_TRUE(Asked().empty());
  // "Previous" returns to the first chart.
  f.MenuItem("NACPrevious")->trigger();
  EXPECT_EQ(f.Chart().CurrentChart, west);
  EXPECT_EQ(f.Chart().PreviousChart, east);
  EXPECT_EQ(f.Chart().CurrentChartFile, f.ChartList->ResolvedFileName(west));
  EXPECT_EQ(f.ChartList->Current, west);
}

TEST_F(ChartWindow, AFailedChartLeavesTheChartOnShowAndSaysWhy) {
  const std::string good = chartfix::WriteKapChart(dir_ / "GOOD.KAP", TChartPlan());
  WriteTestFile(dir_ / "BROKEN.KAP", "this is no chart");
  T_Form& f = Run(ViewSettings());
  ASSERT_TRUE(f.LoadChart(good));
  const TFPoint pos{10.2 * kDegToRad, 54.3 * kDegToRad};
  PutBoat(f, pos);
  f.Chart().CentreOnPosition(pos);
  const std::string title = f.windowTitle().toStdString();
  questions_.Clear();
  // A user's command: the box, and the reason in the message panel.
  EXPECT_FALSE(f.LoadChart(dir_ / "BROKEN.KAP"));
  EXPECT_EQ(Asked(), (std::vector<std::string>{"KAP Error on reading " + dir_ / "BROKEN.KAP"}));
  EXPECT_TRUE(f.MsgP->isVisible());
  EXPECT_NE(f.MsgT->text().toStdString().find("KAP/NOS Open error"), std::string::npos);
  EXPECT_EQ(f.Chart().CurrentChartFile, good);
  EXPECT_EQ(f.windowTitle().toStdString(), title);
  EXPECT_FALSE(f.PlotterFlags.Has(pfChartLoading));
  ASSERT_TRUE(f.Pager->Active);
  EXPECT_TRUE(f.KAPDecoder->IsOpen());
  EXPECT_TRUE(f.Converter->Valid);
  // The chart is drawn as it was.
  const QImage after = Frame(f);
  for (const QPoint p : {QPoint(100, 100), QPoint(390, 280), QPoint(250, 50)})
    EXPECT_EQ(after.pixel(p) & 0xFFFFFF, chartfix::ColourOf(chartfix::PixelColour(p.x(), p.y())) & 0xFFFFFF)
        << p.x() << "," << p.y();
  // "Previous" after a failure still knows of no earlier chart.
  f.Last1Click();
  EXPECT_EQ(f.Chart().CurrentChartFile, good);
}

TEST_F(ChartWindow, LoadsOfTheUpdateCycleNeverAskAndABrokenChartIsPassedOver) {
  // The catalog's best chart for the boat is broken; the next one has a
  // datum the table does not know, with "Use KAP zero shift" 0 (which asks
  // the user at the keyboard).
  TChartPlan broken, unknown;
  broken.name = "BROKEN";
  broken.scale = 10000;
  unknown.name = "ODD DATUM";
  unknown.datum = "NOWHERE 1900";
  WriteTestFile(dir_ / "BROKEN.KAP", "this is no chart");
  const std::string odd = chartfix::WriteKapChart(dir_ / "ODD.KAP", unknown);
  WriteCatalog({{dir_ / "BROKEN.KAP", broken}, {odd, unknown}});
  T_Form& f = Run(ViewSettings("Auto Scroll=1\r\nShow Time=2\r\nUse KAP zero shift=0\r\nChart Dir=" + dir_.path() +
                               "\r\n[Program State]\r\nLast Lat=" + FloatToStrDot(54.3 * kDegToRad) +
                               "\r\nLast Long=" + FloatToStrDot(10.2 * kDegToRad) + "\r\n"));
  int datumQuestions = 0;
  f.Chart().AskDatumAlias = [&](const std::string&) {
    ++datumQuestions;
    return false;
  };
  const int brokenIndex = f.ChartList->FindByName("BROKEN");
  const int oddIndex = f.ChartList->FindByName("ODD DATUM");
  for (int i = 0; i < 4 && !f.PlotterFlags.Has(pfChartLoaded); ++i) Tick(f);
  ASSERT_TRUE(f.PlotterFlags.Has(pfChartLoaded));
  EXPECT_EQ(f.Chart().CurrentChart, oddIndex);
  // Nothing waited for an answer; the message panel tells of the datum.
  EXPECT_TRUE(Asked().empty());
  EXPECT_EQ(datumQuestions, 0);
  EXPECT_TRUE(f.MsgP->isVisible());
  EXPECT_NE(f.MsgT->text().toStdString().find("NOWHERE 1900"), std::string::npos);
  // The broken chart is not tried again at every update.
  EXPECT_FALSE(f.Chart().View.AutoRetryAllowed(f.ChartList->ResolvedFileName(brokenIndex), clock_.MonoNow()));
  EXPECT_FALSE(f.PlotterFlags.Has(pfChartLoading));
  EXPECT_FALSE(f.ComTimer().Enabled()) << "the test's stopped timer stays stopped";
  // The user's own load of the chart does ask.
  ASSERT_TRUE(f.LoadChart(odd));
  EXPECT_EQ(datumQuestions, 1);
}

}  // namespace
