// The calibration tool's working chart without a window (TCalibration and
// the arithmetic of CalView): the zoom table, the check grid, activation
// that keeps the border when the fit fails, typed positions that survive a
// move without a fit, the mirror warning, the default central meridian,
// and saving back where the calibration came from, atomically, keeping the
// header lines the record does not model.
#include "calibrator/calibration/core/Calibration.h"

#include <dirent.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "calibrator/mapview/core/CalView.h"
#include "charts/ChartInfo.h"
#include "charts/WCIctrl.h"
#include "foundation/GenUtil.h"
#include "plotter/ChartFixtures.h"

namespace {

using chartfix::TChartPlan;

constexpr double kR = kDegToRad;

std::vector<std::string> DirNames(const std::string& dir) {
  std::vector<std::string> names;
  if (DIR* d = opendir(dir.c_str())) {
    while (dirent* e = readdir(d))
      if (std::string(e->d_name) != "." && std::string(e->d_name) != "..") names.push_back(e->d_name);
    closedir(d);
  }
  std::sort(names.begin(), names.end());
  return names;
}

// The border's pixels through the calibration's fit.
std::vector<TFPoint> BorderPixels(const TCalibration& cal) {
  std::vector<TFPoint> px;
  for (int i = 0; i < cal.BorderCount(); ++i) {
    TFPoint p;
    EXPECT_TRUE(cal.BorderPixel(i, p)) << i;
    px.push_back(p);
  }
  return px;
}

void ExpectNear(const std::vector<TFPoint>& a, const std::vector<TFPoint>& b, double tolerance) {
  ASSERT_EQ(a.size(), b.size());
  for (size_t i = 0; i < a.size(); ++i) {
    EXPECT_NEAR(a[i].X, b[i].X, tolerance) << "point " << i;
    EXPECT_NEAR(a[i].Y, b[i].Y, tolerance) << "point " << i;
  }
}

// ---------------------------------------------------------------------------
// Zoom

TEST(CalZoom, TheZoomTableOfThePart) {
  // "+" from 1: 1.26, 1.5876, 2.0004 (shown as 2), 2.52, 3.1758, 4.0015
  // (shown as 4), and then no further.
  TCalZoom z;
  const double in[][2] = {{1.26, 1.26}, {1.5876, 1.5876}, {2.000376, 2}, {2.52047, 2.52047}, {3.17580, 3.17580},
                          {4.00150, 4}};
  for (const auto& [requested, applied] : in) {
    EXPECT_TRUE(z.ZoomIn(400, 300));
    EXPECT_NEAR(z.Requested(), requested, 1e-4);
    EXPECT_NEAR(z.Applied(), applied, 1e-4);
  }
  EXPECT_EQ(z.Percent(), 400);
  EXPECT_FALSE(z.ZoomIn(400, 300));
  EXPECT_NEAR(z.Requested(), 4.0015, 1e-4);

  // "-" from 1 down to a quarter: 0.7937, 0.6299, 0.4999 (shown as 1/2),
  // 0.3968, 0.3149, 0.2499 (shown as 1/4), then no further.
  z.Reset();
  const double out[][2] = {{0.79365, 0.79365}, {0.62988, 0.62988}, {0.49991, 0.5},
                           {0.39675, 0.39675}, {0.31488, 0.31488}, {0.24991, 0.25}};
  for (const auto& [requested, applied] : out) {
    EXPECT_TRUE(z.ZoomOut(400, 300));
    EXPECT_NEAR(z.Requested(), requested, 1e-4);
    EXPECT_NEAR(z.Applied(), applied, 1e-5);
  }
  EXPECT_EQ(z.Percent(), 25);
  EXPECT_FALSE(z.ZoomOut(400, 300));

  // Snapping: within 0.05 of a whole number, or of 1/n.
  const double snaps[][2] = {{0.98, 1},     {1.04, 1},      {1.06, 1.06},   {2.96, 3},   {0.3368, 1.0 / 3},
                             {0.51, 0.5},   {0.52, 0.52},   {0.2, 0.2},     {1.5, 1.5},  {0.1001, 0.1}};
  for (const auto& [requested, applied] : snaps) EXPECT_NEAR(SnapZoom(requested), applied, 1e-9) << requested;

  // The 32 760-pixel ceiling: a 20 000-pixel-wide image takes 1.26 and
  // 1.5876 (31 752 pixels), not 2 (40 000); the zoom stays where it was.
  z.Reset();
  EXPECT_TRUE(z.ZoomIn(20000, 100));
  EXPECT_TRUE(z.ZoomIn(20000, 100));
  EXPECT_FALSE(z.ZoomIn(20000, 100));
  EXPECT_NEAR(z.Applied(), 1.5876, 1e-9);
  EXPECT_NEAR(z.Requested(), 1.5876, 1e-9);
  // The same for the height.
  z.Reset();
  EXPECT_TRUE(z.ZoomIn(100, 26000));
  EXPECT_FALSE(z.ZoomIn(100, 26000));
  EXPECT_EQ(z.Percent(), 126);
}

// ---------------------------------------------------------------------------
// Grid arithmetic

TEST(CalGrid, LineCountsAndSteps) {
  struct {
    TGridDensity d;
    int size, lines;
  } counts[] = {{TGridDensity::None, 5000, 0},    {TGridDensity::Loose, 300, 5},    {TGridDensity::Loose, 5000, 10},
                {TGridDensity::Normal, 300, 20},  {TGridDensity::Normal, 5000, 50}, {TGridDensity::Tight, 300, 75},
                {TGridDensity::Tight, 5000, 250}};
  for (const auto& c : counts) EXPECT_EQ(GridLineCount(c.d, c.size), c.lines) << c.size;

  // From 1 minute (5 x lines below the extent) or 1e-7, times 5 and 2 in
  // turn until lines x step reaches the extent: 1, 5, 10, 50, 100, ...
  struct {
    int lines;
    double extent, step;
  } steps[] = {{5, 30, 10},   {5, 26, 10},  {5, 24, 5},       {20, 300, 50}, {20, 1000, 50},  {20, 1001, 100},
               {5, 6000, 5000}, {75, 18, 0.5}, {5, 0.4, 0.1}, {5, 1e-6, 5e-7}};
  for (const auto& s : steps) EXPECT_NEAR(GridStepMinutes(s.lines, s.extent), s.step, s.step * 1e-9) << s.extent;
  // No step for an extent that is not a finite positive number.
  for (double bad : {0.0, -3.0, double(NAN), double(INFINITY)}) EXPECT_EQ(GridStepMinutes(5, bad), 0) << bad;
  EXPECT_EQ(GridStepMinutes(0, 30), 0);
}

// ---------------------------------------------------------------------------
// Working charts

class CalibrationTest : public ::testing::Test {
 protected:
  // A PNG of the plan; with `cal` its ".CAL" file beside it, with extra
  // lines the record does not model.
  std::string Png(const std::string& name, const TChartPlan& plan, bool cal) {
    const std::string file = chartfix::WritePngChart(dir_ / name, plan, cal);
    if (cal) {
      const std::string calFile = file.substr(0, file.size() - 4) + ".CAL";
      WriteTestFile(calFile, ReadTestFile(calFile) + "SD=MLLW\r\nZZ=kept as it is\r\n");
    }
    return file;
  }
  static std::string Header(const std::string& file) { return ReadTestFile(file); }
  static TChartPlan Plan() { return TChartPlan(); }

  TTempDir dir_;
};

TEST_F(CalibrationTest, AFailedActivationKeepsTheBorderAndTheFixKeepsItsPixels) {
  const TChartPlan plan = Plan();
  TCalibration cal;
  ASSERT_TRUE(cal.Open(Png("T.PNG", plan, true)).Ok);
  ASSERT_TRUE(cal.FitValid());
  ASSERT_EQ(cal.RefCount(), 4);
  ASSERT_EQ(cal.BorderCount(), 4);
  const TFPointArray border = cal.Info().Layout.Border;
  const std::vector<TFPoint> pixels = BorderPixels(cal);

  // Three points on one parallel: no triangle, no fit.
  cal.LockPositions = true;
  ASSERT_TRUE(cal.DeleteRefPoint(3));
  ASSERT_TRUE(cal.MoveRefPoint(2, {200, 0}));
  ASSERT_TRUE(cal.SetRefLatitude(2, plan.north * kR));
  ASSERT_TRUE(cal.SetRefLongitude(2, (plan.west + plan.east) / 2 * kR));
  const TCalActivation failed = cal.Activate();
  EXPECT_TRUE(failed.Ran);
  EXPECT_FALSE(failed.FitOk);
  EXPECT_FALSE(cal.FitValid());
  // The border positions are as they were, not the positions of an invalid
  // fit (0, 0), and the grid has no lines.
  EXPECT_EQ(cal.Info().Layout.Border, border);
  EXPECT_TRUE(cal.Grid(TGridDensity::Normal).Lines.empty());
  // A second failed activation changes nothing either.
  EXPECT_FALSE(cal.Activate().FitOk);
  EXPECT_EQ(cal.Info().Layout.Border, border);

  // The points put right, with positions a little off the chart's (a new
  // fit): the border stays on the same pixels of the image.
  const double off = 0.01;
  ASSERT_TRUE(cal.MoveRefPoint(2, {400, 300}));
  ASSERT_TRUE(cal.SetRefLatitude(2, (plan.south + off) * kR));
  ASSERT_TRUE(cal.SetRefLongitude(2, (plan.east + off) * kR));
  ASSERT_EQ(cal.AddRefPoint({0, 300}), 3);
  ASSERT_TRUE(cal.SetRefLatitude(3, (plan.south + off) * kR));
  ASSERT_TRUE(cal.SetRefLongitude(3, (plan.west + off) * kR));
  for (int i = 0; i < 2; ++i) {
    ASSERT_TRUE(cal.SetRefLatitude(i, cal.Ref(i).Lat + off * kR));
    ASSERT_TRUE(cal.SetRefLongitude(i, cal.Ref(i).Lon + off * kR));
  }
  const TCalActivation fixed = cal.Activate();
  ASSERT_TRUE(fixed.FitOk);
  EXPECT_FALSE(fixed.Mirrored);
  ExpectNear(BorderPixels(cal), pixels, 1e-6);
  // The positions moved with the fit.
  EXPECT_NEAR(cal.Border(0).Y, border[0].Y + off * kR, 1e-9);
  EXPECT_NEAR(cal.Border(0).X, border[0].X + off * kR, 1e-9);
}

TEST_F(CalibrationTest, AMoveWithoutAValidFitKeepsTheTypedPosition) {
  const TChartPlan plan = Plan();
  TCalibration cal;
  const TCalOpenResult opened = cal.Open(Png("BARE.PNG", plan, false));
  ASSERT_TRUE(opened.Ok);
  EXPECT_TRUE(opened.AskChartInfo);
  EXPECT_FALSE(cal.FitValid());
  // No fit: a new point is at (0, 0), a typed position stays through moves.
  ASSERT_EQ(cal.AddRefPoint({10.4, 20.6}), 0);
  EXPECT_EQ(cal.Ref(0), (TGridPoint{10, 21, 0, 0}));
  ASSERT_TRUE(cal.SetRefLatitude(0, 54.4 * kR));
  ASSERT_TRUE(cal.SetRefLongitude(0, 10.1 * kR));
  ASSERT_TRUE(cal.MoveRefPoint(0, {30, 40}));
  EXPECT_EQ(cal.Ref(0), (TGridPoint{30, 40, 10.1 * kR, 54.4 * kR}));
  // A position that is not a number is refused.
  EXPECT_FALSE(cal.SetRefLatitude(0, NAN));
  EXPECT_FALSE(cal.SetRefLongitude(0, INFINITY));
  EXPECT_EQ(cal.Ref(0).Lat, 54.4 * kR);
  // Border points need a fit.
  EXPECT_EQ(cal.AddBorderPoint({50, 50}), -1);
  EXPECT_FALSE(cal.SetBorderToImage());

  // With a fit: unlocked, the position follows the fit; locked, it stays.
  TCalibration fitted;
  ASSERT_TRUE(fitted.Open(Png("T.PNG", plan, true)).Ok);
  ASSERT_TRUE(fitted.FitValid());
  const TGridPoint before = fitted.Ref(0);
  ASSERT_TRUE(fitted.MoveRefPoint(0, {1, 0}));
  TFPoint expected;
  ASSERT_TRUE(fitted.PixelToGeo({1, 0}, expected));
  EXPECT_NEAR(fitted.Ref(0).Lon, expected.X, 1e-12);
  EXPECT_NEAR(fitted.Ref(0).Lat, expected.Y, 1e-12);
  EXPECT_NE(fitted.Ref(0).Lon, before.Lon);
  fitted.LockPositions = true;
  ASSERT_TRUE(fitted.MoveRefPoint(0, {2, 1}));
  EXPECT_EQ(fitted.Ref(0), (TGridPoint{2, 1, expected.X, expected.Y}));
}

TEST_F(CalibrationTest, PointsAreCappedAndAKapChartIsReadOnly) {
  TCalibration cal;
  ASSERT_TRUE(cal.Open(Png("BARE.PNG", Plan(), false)).Ok);
  for (int i = 0; i < kMaxCalPoints; ++i) ASSERT_EQ(cal.AddRefPoint({double(i), double(i)}), i);
  EXPECT_EQ(cal.AddRefPoint({1, 2}), -1);
  EXPECT_EQ(cal.RefCount(), 127);
  // Deleting closes up the numbering.
  ASSERT_TRUE(cal.DeleteRefPoint(0));
  EXPECT_EQ(cal.Ref(0).X, 1);

  const std::string kap = chartfix::WriteKapChart(dir_ / "T.KAP", Plan());
  ASSERT_TRUE(cal.Open(kap).Ok);
  EXPECT_TRUE(cal.ReadOnly());
  EXPECT_NE(cal.Title().find("]:Read-Only"), std::string::npos) << cal.Title();
  EXPECT_EQ(cal.AddRefPoint({5, 5}), -1);
  EXPECT_FALSE(cal.DeleteRefPoint(0));
  EXPECT_FALSE(cal.MoveRefPoint(0, {5, 5}));
  EXPECT_EQ(cal.RefCount(), 4);
  EXPECT_FALSE(cal.Save().Ok);
}

TEST_F(CalibrationTest, TheGridComesOnlyFromAValidFitAndLiesOnWholeMinutes) {
  const TChartPlan plan = Plan();
  TCalibration cal;
  ASSERT_TRUE(cal.Open(Png("BARE.PNG", plan, false)).Ok);
  EXPECT_TRUE(cal.Grid(TGridDensity::Tight).Lines.empty());
  ASSERT_TRUE(cal.Open(Png("T.PNG", plan, true)).Ok);
  EXPECT_TRUE(cal.Grid(TGridDensity::None).Lines.empty());
  for (TGridDensity d : {TGridDensity::Loose, TGridDensity::Normal, TGridDensity::Tight}) {
    const TCalGrid grid = cal.Grid(d);
    ASSERT_FALSE(grid.Lines.empty());
    int lats = 0, lons = 0;
    for (const TGridLine& line : grid.Lines) {
      const double step = line.Latitude ? grid.LatStepMinutes : grid.LonStepMinutes;
      const double minutes = line.Value * kRadToDeg * 60;
      // A whole multiple of the step.
      EXPECT_NEAR(minutes / step, std::round(minutes / step), 1e-6);
      (line.Latitude ? lats : lons)++;
      ASSERT_EQ(line.Pixels.size(), 26u);
      // Every point of the line lies on its parallel (meridian).
      for (const TFPoint& px : line.Pixels) {
        TFPoint pos;
        ASSERT_TRUE(cal.PixelToGeo(px, pos));
        EXPECT_NEAR(line.Latitude ? pos.Y : pos.X, line.Value, 1e-9);
      }
    }
    // 0.3 deg = 18' of latitude over 300 px, 0.5 deg = 30' over 400 px;
    // never more than 2n + 2 lines.
    EXPECT_LE(lats, 2 * GridLineCount(d, plan.height) + 2);
    EXPECT_LE(lons, 2 * GridLineCount(d, plan.width) + 2);
    EXPECT_GE(lats, 2);
    EXPECT_GE(lons, 2);
  }
  const TCalGrid loose = cal.Grid(TGridDensity::Loose);
  EXPECT_EQ(loose.LatStepMinutes, 5);   // 5 lines over 18'
  EXPECT_EQ(loose.LonStepMinutes, 10);  // 5 lines over 30'
}

TEST_F(CalibrationTest, NoGridWhenACornerOfTheImageHasNoPosition) {
  // An orthographic view of half the globe: the image's corners lie off
  // the globe's disc, so they have no position and no grid is drawn (and
  // nothing hangs).
  TCalibration cal;
  ASSERT_TRUE(cal.Open(Png("GLOBE.PNG", Plan(), false)).Ok);
  const TGridPoint pts[3] = {{100, 60, -80 * kR, 50 * kR}, {300, 60, 80 * kR, 50 * kR}, {200, 260, 0, -50 * kR}};
  for (const TGridPoint& g : pts) {
    const int i = cal.AddRefPoint({g.X, g.Y});
    cal.SetRefLatitude(i, g.Lat);
    cal.SetRefLongitude(i, g.Lon);
  }
  RChartInfo info = cal.Info();
  info.Projection = kProjOrthographic;
  cal.SetChartInformation(info);
  ASSERT_TRUE(cal.Activate().FitOk);
  TFPoint pos;
  EXPECT_TRUE(cal.PixelToGeo({200, 150}, pos));
  ASSERT_FALSE(cal.PixelToGeo({0, 0}, pos));
  for (TGridDensity d : {TGridDensity::Loose, TGridDensity::Normal, TGridDensity::Tight})
    EXPECT_TRUE(cal.Grid(d).Lines.empty());
}

TEST_F(CalibrationTest, TheMirrorWarningFollowsTheSignOfTheJacobian) {
  const double lat = 54 * kR;
  const double d = 0.001;
  struct {
    const char* what;
    TFPoint right, below;  // offsets of the pixels to the right and below
    bool mirrored;
  } cases[] = {
      {"north up", {d, 0}, {0, -d}, false},
      {"east-west swapped", {-d, 0}, {0, -d}, true},
      {"north-south swapped", {d, 0}, {0, d}, true},
      {"turned 90 degrees", {0, -d}, {-d, 0}, false},
      {"turned 180 degrees", {-d, 0}, {0, d}, false},
      // Rotated by 45 degrees: the old rule (both differences of the
      // diagonal of the same sign) would call this mirrored.
      {"turned 45 degrees", {d, d}, {d, -d}, false},
  };
  for (const auto& c : cases) {
    const TFPoint at{10 * kR, lat};
    EXPECT_EQ(MappingMirrored(at, {at.X + c.right.X, at.Y + c.right.Y}, {at.X + c.below.X, at.Y + c.below.Y}),
              c.mirrored)
        << c.what;
  }
  // Across the antimeridian the east difference is taken round the circle.
  EXPECT_FALSE(MappingMirrored({kPi - 1e-4, lat}, {-kPi + 1e-4, lat}, {kPi - 1e-4, lat - d}));

  // Through activation: longitudes typed east where the chart lies west.
  TChartPlan west = Plan();
  west.west = -10.5;
  west.east = -10.0;
  TCalibration cal;
  ASSERT_TRUE(cal.Open(Png("W.PNG", west, true)).Ok);
  EXPECT_FALSE(cal.Activate().Mirrored);
  for (int i = 0; i < cal.RefCount(); ++i) ASSERT_TRUE(cal.SetRefLongitude(i, -cal.Ref(i).Lon));
  const TCalActivation a = cal.Activate();
  EXPECT_TRUE(a.FitOk);
  EXPECT_TRUE(a.Mirrored);
}

TEST_F(CalibrationTest, TheDefaultCentralMeridianIsACircularMean) {
  auto points = [](std::initializer_list<double> lons) {
    TGridPointArray p;
    for (double lon : lons) p.push_back({0, 0, lon * kR, 0});
    return p;
  };
  EXPECT_NEAR(std::fabs(CircularMeanLongitude(points({179, -179}))), kPi, 1e-12);
  EXPECT_NEAR(CircularMeanLongitude(points({179, -177})), -179 * kR, 1e-12);
  EXPECT_NEAR(CircularMeanLongitude(points({10, 20})), 15 * kR, 1e-12);
  EXPECT_NEAR(CircularMeanLongitude(points({-1, 3, 1})), 1 * kR, 1e-3);
  EXPECT_EQ(CircularMeanLongitude({}), 0);

  // A Transverse Mercator chart across the antimeridian gets its central
  // meridian at 180 deg, not 0 (the arithmetic mean).
  TChartPlan plan = Plan();
  TCalibration cal;
  ASSERT_TRUE(cal.Open(Png("AM.PNG", plan, false)).Ok);
  const double lons[4] = {179.8, -179.8, -179.8, 179.8};
  const double lats[4] = {plan.north, plan.north, plan.south, plan.south};
  const TFPoint px[4] = {{0, 0}, {400, 0}, {400, 300}, {0, 300}};
  for (int i = 0; i < 4; ++i) {
    ASSERT_EQ(cal.AddRefPoint(px[i]), i);
    cal.SetRefLatitude(i, lats[i] * kR);
    cal.SetRefLongitude(i, lons[i] * kR);
  }
  RChartInfo info = cal.Info();
  info.Projection = kProjTransverseMercator;
  cal.SetChartInformation(info);
  EXPECT_TRUE(cal.Activate().Ran);
  EXPECT_NEAR(std::fabs(cal.Info().Lon0), kPi, 1e-9);

  // Near Greenwich (within 2 deg) the default stays 0.
  TCalibration near;
  ASSERT_TRUE(near.Open(Png("G.PNG", Plan(), true)).Ok);
  info = near.Info();
  info.Projection = kProjTransverseMercator;
  info.Lon0 = 0;
  near.SetChartInformation(info);
  for (int i = 0; i < near.RefCount(); ++i)  // 1.0 .. 1.5 deg east
    ASSERT_TRUE(near.SetRefLongitude(i, near.Ref(i).Lon - 9 * kR));
  ASSERT_TRUE(near.Activate().FitOk);
  EXPECT_EQ(near.Info().Lon0, 0);
}

TEST_F(CalibrationTest, SavingWritesBackToTheCalFileAndKeepsWhatItDoesNotModel) {
  const TChartPlan plan = Plan();
  const std::string png = Png("T.PNG", plan, true);
  const std::string calFile = dir_ / "T.CAL";
  // A CHARTCAL.DIR section for the same image: the ".CAL" beside it wins,
  // when reading and when saving.
  TChartHeadExternalCodec section;
  TChartPlan other = plan;
  other.name = "FROM THE DIRECTORY";
  section.Lines = chartfix::CalibrationLines(other, "T.PNG");
  ASSERT_TRUE(section.WriteSection(dir_ / "CHARTCAL.DIR", "T.PNG"));
  const std::string dirBefore = ReadTestFile(dir_ / "CHARTCAL.DIR");

  TCalibration cal;
  ASSERT_TRUE(cal.Open(png).Ok);
  EXPECT_EQ(cal.Info().Layout.Name, plan.name);
  ASSERT_TRUE(cal.MoveRefPoint(1, {399, 1}));
  RChartInfo info = cal.Info();
  info.Layout.Name = "EDITED";
  cal.SetChartInformation(info);
  EXPECT_TRUE(cal.Changed());
  const TCalSaveResult saved = cal.Save();
  ASSERT_TRUE(saved.Ok) << saved.Message;
  EXPECT_EQ(saved.Message, "Calibration saved to file " + calFile);
  EXPECT_FALSE(cal.Changed());
  EXPECT_TRUE(cal.SavedSomething());
  EXPECT_EQ(ReadTestFile(dir_ / "CHARTCAL.DIR"), dirBefore);
  // Only the files that were there: no temporary file is left.
  EXPECT_EQ(DirNames(dir_.path()), (std::vector<std::string>{"CHARTCAL.DIR", "T.CAL", "T.PNG"}));

  TChartHeadBaseCodec written;
  ASSERT_TRUE(written.LoadFromFile(calFile));
  EXPECT_EQ(written.GetValue("NA="), "EDITED");
  EXPECT_EQ(written.GetValue("SD="), "MLLW");
  EXPECT_EQ(written.GetValue("ZZ="), "kept as it is");
  EXPECT_EQ(written.GetValue("C2=").substr(0, 6), "399,1,") << written.GetValue("C2=");

  // Opened again, the edit is there.
  TCalibration again;
  ASSERT_TRUE(again.Open(png).Ok);
  EXPECT_EQ(again.Info().Layout.Name, "EDITED");
  EXPECT_EQ(again.Ref(1).X, 399);
  EXPECT_EQ(again.Info().SoundingDatum, "MLLW");

  // Opened through its ".CAL" file (the way to images of other types), the
  // image is what is open and the ".CAL" is where the save goes.
  TCalibration viaCal;
  ASSERT_TRUE(viaCal.Open(calFile).Ok);
  EXPECT_EQ(viaCal.Kind(), TCalChartKind::Image);
  EXPECT_EQ(viaCal.FileName(), png);
  EXPECT_EQ(viaCal.Info().Layout.Name, "EDITED");
  info = viaCal.Info();
  info.Layout.Name = "THROUGH THE CAL";
  viaCal.SetChartInformation(info);
  EXPECT_EQ(viaCal.Save().Message, "Calibration saved to file " + calFile);
  ASSERT_TRUE(written.LoadFromFile(calFile));
  EXPECT_EQ(written.GetValue("NA="), "THROUGH THE CAL");
  EXPECT_EQ(ReadTestFile(dir_ / "CHARTCAL.DIR"), dirBefore);
}

TEST_F(CalibrationTest, AFailedSaveLeavesTheOldFileWhole) {
  const std::string png = Png("T.PNG", Plan(), true);
  const std::string calFile = dir_ / "T.CAL";
  const std::string before = ReadTestFile(calFile);
  TCalibration cal;
  ASSERT_TRUE(cal.Open(png).Ok);
  RChartInfo info = cal.Info();
  info.Layout.Name = "EDITED";
  cal.SetChartInformation(info);
  {
    TUnwritable locked(dir_.path());
    if (!locked.Ok()) GTEST_SKIP() << "cannot make a directory unwritable here";
    const TCalSaveResult r = cal.Save();
    EXPECT_FALSE(r.Ok);
    EXPECT_EQ(r.Message.rfind("FAILED SAVING CALIBRATION FOR " + png, 0), 0u) << r.Message;
  }
  EXPECT_TRUE(cal.Changed());
  EXPECT_EQ(ReadTestFile(calFile), before);
}

TEST_F(CalibrationTest, AnImageWithoutItsOwnCalFileIsSavedToItsSection) {
  const TChartPlan plan = Plan();
  const std::string png = Png("T.PNG", plan, false);
  // Another image's section is there already.
  TChartHeadExternalCodec other;
  other.Lines = chartfix::CalibrationLines(plan, "OTHER.PNG");
  other.Lines.push_back("SD=KEEP");
  ASSERT_TRUE(other.WriteSection(dir_ / "CHARTCAL.DIR", "OTHER.PNG"));

  TCalibration cal;
  ASSERT_TRUE(cal.Open(png).Ok);
  // Two points and a name: the save makes the border at 5 pixels from the
  // corners.
  const TGridPoint pts[2] = {{0, 0, plan.west * kR, plan.north * kR},
                             {400, 300, plan.east * kR, plan.south * kR}};
  for (const TGridPoint& g : pts) {
    const int i = cal.AddRefPoint({g.X, g.Y});
    cal.SetRefLatitude(i, g.Lat);
    cal.SetRefLongitude(i, g.Lon);
  }
  EXPECT_FALSE(cal.Save().Ok);  // no name yet
  RChartInfo info = cal.Info();
  info.Layout.Name = "NEW CHART";
  info.Projection = kProjMercator;
  cal.SetChartInformation(info);
  const TCalSaveResult r = cal.Save();
  ASSERT_TRUE(r.Ok) << r.Message;
  EXPECT_EQ(r.Message, "Calibration saved to section T.PNG in file " + (dir_ / "CHARTCAL.DIR"));
  EXPECT_FALSE(TestFileExists(dir_ / "T.CAL"));
  ASSERT_EQ(cal.BorderCount(), 4);
  ExpectNear(BorderPixels(cal), {{5, 5}, {5, 295}, {395, 295}, {395, 5}}, 1e-6);

  TChartHeadExternalCodec read;
  ASSERT_TRUE(read.ReadSection(dir_ / "CHARTCAL.DIR", "T.PNG"));
  EXPECT_EQ(read.GetValue("NA="), "NEW CHART");
  ASSERT_TRUE(read.ReadSection(dir_ / "CHARTCAL.DIR", "OTHER.PNG"));
  EXPECT_EQ(read.GetValue("SD="), "KEEP");

  TCalibration again;
  ASSERT_TRUE(again.Open(png).Ok);
  EXPECT_EQ(again.Info().Layout.Name, "NEW CHART");
  EXPECT_TRUE(again.FitValid());
  TFPoint pos;
  ASSERT_TRUE(again.PixelToGeo({400, 300}, pos));
  EXPECT_NEAR(pos.X, plan.east * kR, 1e-9);
  EXPECT_NEAR(pos.Y, plan.south * kR, 1e-9);

  // "Save as .CAL File" beside the image: from then on the ".CAL" is where
  // the calibration lives.
  EXPECT_EQ(again.ProposedCalFile(), dir_ / "T.CAL");
  ASSERT_TRUE(again.SaveAsCal(again.ProposedCalFile()).Ok);
  info = again.Info();
  info.Layout.Name = "AFTER SAVE AS";
  again.SetChartInformation(info);
  EXPECT_EQ(again.Save().Message, "Calibration saved to file " + (dir_ / "T.CAL"));
  read.ReadSection(dir_ / "CHARTCAL.DIR", "T.PNG");
  EXPECT_EQ(read.GetValue("NA="), "NEW CHART");
}

TEST_F(CalibrationTest, AWciChartKeepsItsTextsUnknownLines) {
  TChartPlan plan = Plan();
  const std::string wci = dir_ / "T.WCI";
  chartfix::TPictureSource picture(plan.width, plan.height);
  TWCIWriter writer;
  writer.ConfirmReplace = false;
  std::vector<std::string> lines = chartfix::CalibrationLines(plan, "T.WCI");
  lines.push_back("SD=LAT");
  lines.push_back("QQ=unknown");
  ASSERT_GT(writer.Convert(picture, wci, lines), 0);

  TCalibration cal;
  ASSERT_TRUE(cal.Open(wci).Ok);
  EXPECT_EQ(cal.Kind(), TCalChartKind::WCI);
  EXPECT_FALSE(cal.ReadOnly());
  ASSERT_TRUE(cal.MoveRefPoint(0, {2, 3}));
  const TCalSaveResult r = cal.Save();
  ASSERT_TRUE(r.Ok) << r.Message;
  EXPECT_TRUE(r.Reopened);
  EXPECT_EQ(r.Message, "Calibration updated in " + wci);

  TWCIDecoder d;
  ASSERT_GT(d.Open(wci), 0);
  TChartHeadBaseCodec text;
  text.LoadFromText(d.HeaderText());
  EXPECT_EQ(text.GetValue("SD="), "LAT");
  EXPECT_EQ(text.GetValue("QQ="), "unknown");
  EXPECT_EQ(text.GetValue("C1=").substr(0, 4), "2,3,");
}

}  // namespace
