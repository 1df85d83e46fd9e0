// The logic behind the smaller dialogs: reading the route grid's cells
// strictly and all at once, the grid's sums when no leg has a speed, and
// the position editor's name rule.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "foundation/GenUtil.h"
#include "plotter/core/DialogLogic.h"

namespace {

constexpr double kDeg = 0.017453292519943295;

TEST(RouteGridCells, PositionCellsAreReadStrictly) {
  const struct {
    const char* text;
    bool longitude;
    std::optional<double> degrees;
  } cases[] = {
      {"05430500N", false, 54 + 30.5 / 60},
      {"05430500s", false, -(54 + 30.5 / 60)},
      {"17959999W", true, -(179 + 59.999 / 60)},
      {"09000000N", false, 90.0},
      {"09000001N", false, std::nullopt},   // beyond the pole
      {"18000001E", true, std::nullopt},    // beyond the date line
      {"05460000N", false, std::nullopt},   // 60 minutes
      {"05430500E", false, std::nullopt},   // a longitude's letter
      {"05430500N", true, std::nullopt},
      {"054 0500N", false, std::nullopt},   // a place not typed
      {"5430500N", false, std::nullopt},    // too short
      {"054305000N", false, std::nullopt},  // too long
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    const std::optional<double> v = ReadPositionCell(c.text, c.longitude);
    ASSERT_EQ(v.has_value(), c.degrees.has_value());
    if (v) {
      EXPECT_NEAR(*v, *c.degrees * kDeg, 1e-12);
    }
  }
}

TEST(RouteGridCells, OneBadRowChangesNoPoint) {
  std::vector<TRouteGridPoint> points = {{"A", {0.1, 0.9}, 5, 0}};
  const std::vector<TRouteGridPoint> before = points;
  TRouteGridRow good{"wp 1", " New A ", "05400000N", "01000000E", "075", "005", "", "", ""};
  const std::vector<std::vector<TRouteGridRow>> bad = {
      {good, {"wp 2", "B", "05400000N", "01000000E", "07 ", "005", "", "", ""}},    // speed not typed
      {good, {"wp 2", "B", "05400000N", "01000000E", "075", "", "", "", ""}},       // no limit
      {good, {"wp 2", "B", "05400000N", "19000000E", "075", "005", "", "", ""}},    // longitude
  };
  for (const auto& rows : bad) {
    int row = -1, column = -1;
    EXPECT_FALSE(ReadRouteGrid(rows, points, &row, &column));
    EXPECT_EQ(row, 1);
    ASSERT_EQ(points.size(), 1u);
    EXPECT_EQ(points[0].Name, before[0].Name);
    EXPECT_EQ(points[0].LegSpeed, before[0].LegSpeed);
  }
  ASSERT_TRUE(ReadRouteGrid({good}, points));
  ASSERT_EQ(points.size(), 1u);
  EXPECT_EQ(points[0].Name, " New A ");  // as typed
  EXPECT_EQ(points[0].LegSpeed, 7.5);
  EXPECT_NEAR(points[0].LegXTE * 3437.7467707849392526, 0.05, 1e-12);
  EXPECT_NEAR(points[0].Position.X, 10 * kDeg, 1e-12);
}

TEST(RouteGridRows, LegsWithoutAnySpeedAddNoTimeAndNoAverage) {
  // Default speed 0 and no leg speeds: no division by zero, no endless
  // time, no average speed.
  const std::vector<TRouteGridPoint> points = {{"A", {10 * kDeg, 54 * kDeg}, 0, 0},
                                               {"B", {10 * kDeg, 54.5 * kDeg}, 0, 0}};
  const std::vector<TRouteGridRow> rows = RouteGridRows(points, 0, "Sum");
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_EQ(rows[1][6], "00300");  // 30.0 nm
  EXPECT_EQ(rows[1][7], "000:00");
  EXPECT_EQ(rows[1][8], " 0.0°");
  EXPECT_EQ(rows[2][1], "Sum");
  EXPECT_EQ(rows[2][4], "000");
  EXPECT_EQ(rows[2][6], "00300");
  // A point that is not a number makes its leg count nothing.
  const std::vector<TRouteGridPoint> broken = {points[0], {"X", {NAN, 54 * kDeg}, 5, 0}, points[1]};
  const std::vector<TRouteGridRow> r2 = RouteGridRows(broken, 5, "Sum");
  EXPECT_EQ(r2[1][6], "00000");
  EXPECT_EQ(r2[1][8], "");
}

TEST(PositionNames, TrimmedBeforeTheyAreCompared) {
  const std::vector<std::string> others = {"Pier", "Buoy 2"};
  const struct {
    const char* entered;
    TPositionNameCheck result;
  } cases[] = {
      {"Buoy", TPositionNameCheck::Unchanged},  {"  Buoy\t", TPositionNameCheck::Unchanged},
      {"buoy", TPositionNameCheck::Rename},     {" Pier ", TPositionNameCheck::InUse},
      {"pier", TPositionNameCheck::Rename},     {"   ", TPositionNameCheck::Empty},
      {"", TPositionNameCheck::Empty},          {"Buoy 3", TPositionNameCheck::Rename},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.entered);
    EXPECT_EQ(CheckPositionName(c.entered, "Buoy", others), c.result);
  }
}

}  // namespace
